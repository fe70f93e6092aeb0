#include "check_rules.h"

#include <cstdint>
#include <initializer_list>

namespace halyard::tagsmith {

namespace {

enum Allowed {
  kNotBlockNorAnchor,
  kParagraphOrNotBlock,
  kParamOrNotBlock,
  kNothing,
  kAnything,
  kNotNonBody,
  kType19,
  kNotListItemSet,
  kListItemOr64,
  kTermOrDefinition,
  kNotFontSet,
  kNotNonBodyNorForm,
  kFrames,
  kHeadSet,
  kHtmlContent,
  kArea,
  kBodyOrNotNonBody,
  kMarksAndText,
  kPreformatted,
  kOption,
  kRowOrCaption,
  kTextOnly,
  kCell,
  kNotBlock,  // every container in no row
};

// A set of the type numbers 0 to 255.
struct TypeSet {
  std::uint64_t words[4] = {};
  constexpr void set(std::size_t t) { words[t / 64] |= std::uint64_t{1} << (t % 64); }
  constexpr bool test(std::size_t t) const { return (words[t / 64] >> (t % 64)) & 1u; }
};

struct Rules {
  TypeSet kEmpty, kOmissibleEnd, kSelfClosingRepeat, kBlock, kNonBody, kFont, kListItem, kHead;
  unsigned char allowed[256] = {};
  unsigned char error[256] = {};

  constexpr Rules() {
    for (int i = 0; i < 256; ++i) {
      allowed[i] = kNotBlock;
      error[i] = 3;
    }
    auto fill = [](TypeSet& set, std::initializer_list<int> types) {
      for (int t : types) set.set(static_cast<std::size_t>(t));
    };
    auto rule = [this](Allowed a, int err, std::initializer_list<int> containers) {
      for (int c : containers) {
        if (allowed[c] != kNotBlock) continue;  // the first row naming a type holds
        allowed[c] = static_cast<unsigned char>(a);
        error[c] = static_cast<unsigned char>(err);
      }
    };
#define CHECK_SET(set, ...) fill(set, {__VA_ARGS__});
#define CHECK_RULE(allowedKind, err, ...) rule(allowedKind, err, {__VA_ARGS__});
#include "check_rules.inc"
#undef CHECK_SET
#undef CHECK_RULE
  }
};

// Built while compiling: constant data.
constexpr Rules kRules;

constexpr const Rules& R() { return kRules; }

bool In(const TypeSet& set, int type) {
  return type >= 0 && type < 256 && set.test(static_cast<std::size_t>(type));
}

bool IsOneOf(int type, std::initializer_list<int> types) {
  for (int t : types)
    if (t == type) return true;
  return false;
}

}  // namespace

bool IsEmptyType(int type) { return In(R().kEmpty, type); }
bool HasOmissibleEnd(int type) { return In(R().kOmissibleEnd, type); }
bool IsSelfClosingRepeat(int type) { return In(R().kSelfClosingRepeat, type); }
bool InBlockSet(int type) { return In(R().kBlock, type); }
bool InNonBodySet(int type) { return In(R().kNonBody, type); }
bool InFontSet(int type) { return In(R().kFont, type); }
bool InListItemSet(int type) { return In(R().kListItem, type); }
bool InHeadSet(int type) { return type == 0 || type > 118 || In(R().kHead, type); }

int ContentRule(int c, int t) {
  if (t == 115) return 1;
  if (c == 0 || c > 113) return 1;
  const Rules& r = R();
  bool ok = false;
  switch (r.allowed[c]) {
    case kNotBlockNorAnchor:
      ok = !InBlockSet(t) && t != 1;
      break;
    case kParagraphOrNotBlock:
      ok = t == 82 || !InBlockSet(t);
      break;
    case kParamOrNotBlock:
      ok = t == 83 || !InBlockSet(t);
      break;
    case kNothing:
      ok = false;
      break;
    case kAnything:
      ok = true;
      break;
    case kNotNonBody:
      ok = !InNonBodySet(t);
      break;
    case kType19:
      ok = !InNonBodySet(t) && !IsOneOf(t, {1, 19, 37, 41, 57, 59, 61, 91, 104});
      break;
    case kNotListItemSet:
      ok = !InListItemSet(t);
      break;
    case kListItemOr64:
      ok = t == 65 || t == 64;
      break;
    case kTermOrDefinition:
      ok = t == 34 || t == 28;
      break;
    case kNotFontSet:
      ok = !InFontSet(t);
      break;
    case kNotNonBodyNorForm:
      ok = !InNonBodySet(t) && t != 41;
      break;
    case kFrames:
      ok = IsOneOf(t, {42, 43, 75});
      break;
    case kHeadSet:
      ok = InHeadSet(t);
      break;
    case kHtmlContent:
      ok = IsOneOf(t, {17, 42, 43, 50, 74, 75});
      break;
    case kArea:
      ok = t == 6;
      break;
    case kBodyOrNotNonBody:
      ok = t == 17 || !InNonBodySet(t);
      break;
    case kMarksAndText:
      ok = IsOneOf(t, {116, 117, 118});
      break;
    case kPreformatted:
      ok = (t == 116 || t == 117 || !InBlockSet(t)) && !IsOneOf(t, {14, 40, 56, 92, 98});
      break;
    case kOption:
      ok = t == 80;
      break;
    case kRowOrCaption:
      // Row groups and column groups too: without them every table that has a TBODY would
      // lose its end tag to the first group and its rows to the body.
      ok = t == 109 || t == 20 || IsOneOf(t, {25, 26, 102, 105, 107});
      break;
    case kTextOnly:
      ok = t == 118;
      break;
    case kCell:
      ok = t == 103 || t == 106;
      break;
    default:
      ok = !InBlockSet(t);
      break;
  }
  return ok ? 1 : r.error[c];
}

}  // namespace halyard::tagsmith
