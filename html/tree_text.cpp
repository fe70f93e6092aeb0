#include "tree_text.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "elem.h"
#include "elem_kinds.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cmapstringtostring.h"

namespace halyard::tagsmith {

namespace {

const char* const kKindWords[] = {
    "?",    "text",   "comment", "tag",    "document",  "image", "table", "control", "list",
    "rule", "object", "anchor",  "script", "paragraph", "font",  "title", "style",   "component"};

void AppendCString(std::string& out, const CString& s) {
  AppendQuoted(out, static_cast<const char*>(s), static_cast<std::size_t>(s.GetLength()));
}

void AppendEscaped(std::string& out, const CString& s) {
  std::string q;
  AppendQuoted(q, static_cast<const char*>(s), static_cast<std::size_t>(s.GetLength()));
  out.append(q, 1, q.size() - 2);
}

void DumpOne(const Elem* e, int depth, std::string& out) {
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
  out += KindWord(static_cast<int>(e->kind));
  out += ' ';
  out += std::to_string(static_cast<int>(e->type));
  out += ' ';
  AppendQuoted(out, e->name.data(), static_cast<std::size_t>(e->name.GetLength()));
  if (e->kind == ElemKind::Component) {
    out += " #";
    out += std::to_string(static_cast<const ComponentTag*>(e)->number);
  }
  if (CMapStringToString* map = e->Attributes()) {
    CString key, value;
    for (POSITION pos = map->GetStartPosition(); pos;) {
      map->GetNextAssoc(pos, key, value);
      out += ' ';
      AppendEscaped(out, key);
      out += '=';
      AppendCString(out, value);
    }
  }
  if (e->kind == ElemKind::Text) {
    if (e->flags & Elem::kSpaceBefore) out += " space-before";
    if (e->flags & Elem::kSpaceAfter) out += " space-after";
  } else if (e->kind != ElemKind::Comment && e->kind != ElemKind::Document) {
    if (e->flags & Elem::kEndTag) out += " end";
  }
  out += '\n';
}

// Calls visit(element, depth) for every element below root in document order, without
// recursion (component content may nest deeply).
template <typename Visit>
void Walk(const Elem* root, Visit visit) {
  const Elem* e = root->firstChild;
  int depth = 0;
  while (e) {
    visit(e, depth);
    if (e->firstChild) {
      e = e->firstChild;
      ++depth;
      continue;
    }
    while (e && !e->nextSibling && e->parent != root) {
      e = e->parent;
      --depth;
    }
    e = e ? e->nextSibling : nullptr;
  }
}

}  // namespace

const char* KindWord(int kind) { return kind >= 1 && kind <= 17 ? kKindWords[kind] : "?"; }

void AppendQuoted(std::string& out, const char* bytes, std::size_t length) {
  halyard::AppendQuoted(out, std::string_view(bytes, length));
}

void DumpTree(const Elem* root, std::string& out) {
  if (!root) return;
  Walk(root, [&](const Elem* e, int depth) { DumpOne(e, depth, out); });
}

void DumpSummary(const Elem* root, std::string& out) {
  if (!root) return;
  long counts[18] = {};
  long total = 0;
  Walk(root, [&](const Elem* e, int) {
    int k = static_cast<int>(e->kind);
    ++counts[k >= 1 && k <= 17 ? k : 0];
    ++total;
  });
  for (int k = 1; k <= 17; ++k) {
    if (!counts[k]) continue;
    out += kKindWords[k];
    out += ' ';
    out += std::to_string(counts[k]);
    out += '\n';
  }
  out += "total ";
  out += std::to_string(total);
  out += '\n';
}

void WriteChildren(const Elem* root, std::string& out) {
  if (!root) return;
  std::vector<const Elem*> stack;
  const Elem* e = root->firstChild;
  while (e || !stack.empty()) {
    if (!e) {
      e = stack.back()->nextSibling;
      stack.pop_back();
      continue;
    }
    CString text = e->TextForm();
    out.append(static_cast<const char*>(text), static_cast<std::size_t>(text.GetLength()));
    if (e->kind == ElemKind::Component && e->firstChild) {
      stack.push_back(e);
      e = e->firstChild;
      continue;
    }
    e = e->nextSibling;
  }
}

}  // namespace halyard::tagsmith

namespace halyard::tagsmith {

namespace {

bool IsRawTextType(int type) {
  return type == Token::SCRIPT || type == Token::STYLE || type == Token::JSB_CONSTRUCTOR ||
         type == Token::JSB_BODYTAG || type == Token::JSB_STARTBODY || type == Token::JSB_ENDBODY;
}

// Which bytes a text (and which a value) writes as a reference.
struct EntityClasses {
  bool text[256] = {};
  bool value[256] = {};
  EntityClasses() {
    text[static_cast<unsigned char>('&')] = text[static_cast<unsigned char>('<')] =
        text[static_cast<unsigned char>('>')] = true;
    value[static_cast<unsigned char>('&')] = value[static_cast<unsigned char>('"')] = true;
  }
};
const EntityClasses kEntityClasses;

// Whether text holds a byte that a text writes as a reference.
bool HasTextEntity(const char* p, int n) {
  for (int i = 0; i < n; ++i)
    if (kEntityClasses.text[static_cast<unsigned char>(p[i])]) return true;
  return false;
}

// Where the writer puts the page: a buffer of its own, moved onto the caller's text whenever it
// fills (and at the end), so that most elements are written with plain copies; the caller's
// drain runs once its text has reached kDrainAt.
class PageSink {
 public:
  static constexpr std::size_t kDrainAt = 8 * 1024;

  PageSink(std::string& out, const std::function<void(std::string&)>* drain)
      : out_(out), drain_(drain) {}
  PageSink(const PageSink&) = delete;
  PageSink& operator=(const PageSink&) = delete;
  ~PageSink() { Flush(); }

  void Put(char c) {
    if (at_ == sizeof buf_) Flush();
    buf_[at_++] = c;
  }
  // The buffer is filled to the brim before it goes, so that the caller's text takes it in
  // pieces of one size and never grows past it while drained.
  void Put(const char* p, std::size_t n) {
    while (n > 0) {
      if (at_ == sizeof buf_) Flush();
      std::size_t k = sizeof buf_ - at_ < n ? sizeof buf_ - at_ : n;
      std::memcpy(buf_ + at_, p, k);
      at_ += k;
      p += k;
      n -= k;
    }
  }
  // A word with the blanks before and after it.
  void PutWord(bool before, const char* p, std::size_t n, bool after) {
    if (n + 2 > sizeof buf_ - at_) {
      if (before) Put(' ');
      Put(p, n);
      if (after) Put(' ');
      return;
    }
    if (before) buf_[at_++] = ' ';
    if (n) std::memcpy(buf_ + at_, p, n);
    at_ += n;
    if (after) buf_[at_++] = ' ';
  }
  // Bytes with those that special marks written as references.
  void PutEntities(const char* p, int n, const bool* special) {
    int i = 0;
    while (i < n) {
      int j = i;
      while (j < n && !special[static_cast<unsigned char>(p[j])]) ++j;
      Put(p + i, static_cast<std::size_t>(j - i));
      if (j == n) break;
      switch (p[j]) {
        case '&':
          Put("&amp;", 5);
          break;
        case '<':
          Put("&lt;", 4);
          break;
        case '>':
          Put("&gt;", 4);
          break;
        default:
          Put("&quot;", 6);
          break;
      }
      i = j + 1;
    }
  }
  void Flush() {
    if (at_) out_.append(buf_, at_);
    at_ = 0;
    Drain();
  }

 private:
  void Drain() {
    if (drain_ && *drain_ && out_.size() >= kDrainAt) (*drain_)(out_);
  }

  std::string& out_;
  const std::function<void(std::string&)>* drain_;
  std::size_t at_ = 0;
  char buf_[kDrainAt];
};

void WriteTag(const Elem* e, PageSink& out) {
  out.Put('<');
  if (e->IsEnd()) out.Put('/');
  out.Put(e->name.data(), static_cast<std::size_t>(e->name.GetLength()));
  // Packed attributes are written in the map's order without building the map.
  thread_local std::vector<Elem::AttrRef> attrs;
  if (e->PackedAttributesInMapOrder(attrs)) {
    for (const Elem::AttrRef& a : attrs) {
      out.Put(' ');
      out.Put(a.key, static_cast<std::size_t>(a.keyLength));
      out.Put("=\"", 2);
      out.PutEntities(a.value, a.valueLength, kEntityClasses.value);
      out.Put('"');
    }
  } else if (CMapStringToString* map = e->Attributes()) {
    CString key, value;
    for (POSITION pos = map->GetStartPosition(); pos;) {
      map->GetNextAssoc(pos, key, value);
      out.Put(' ');
      out.Put(static_cast<const char*>(key), static_cast<std::size_t>(key.GetLength()));
      out.Put("=\"", 2);
      out.PutEntities(value, value.GetLength(), kEntityClasses.value);
      out.Put('"');
    }
  }
  out.Put('>');
}

}  // namespace

void WriteHtml(const Elem* root, std::string& out) { WriteHtml(root, out, nullptr); }

void WriteHtml(const Elem* root, std::string& out, const std::function<void(std::string&)>& drain) {
  if (!root) return;
  PageSink sink(out, &drain);
  int rawType = -1;  // the type whose content is being written as it stands
  std::vector<const Elem*> stack;
  const Elem* e = root->firstChild;
  while (e || !stack.empty()) {
    if (!e) {
      e = stack.back()->nextSibling;
      stack.pop_back();
      continue;
    }
    switch (e->kind) {
      case ElemKind::Text: {
        const char* word = e->name.data();
        const int n = e->name.GetLength();
        const bool before = (e->flags & Elem::kSpaceBefore) != 0;
        const bool after = (e->flags & Elem::kSpaceAfter) != 0;
        if (rawType >= 0 || !HasTextEntity(word, n)) {
          sink.PutWord(before, word, static_cast<std::size_t>(n), after);
        } else {
          if (before) sink.Put(' ');
          sink.PutEntities(word, n, kEntityClasses.text);
          if (after) sink.Put(' ');
        }
        break;
      }
      case ElemKind::Comment: {
        CString text = e->TextForm();
        sink.Put(static_cast<const char*>(text), static_cast<std::size_t>(text.GetLength()));
        e = e->nextSibling;  // the further lines are in its text form
        continue;
      }
      case ElemKind::Document:
        break;
      default:
        if (e->type == Token::TABCHAR) {
          sink.Put('\t');
        } else if (e->type == Token::LFCHAR) {
          sink.Put('\n');
        } else {
          WriteTag(e, sink);
          if (rawType < 0 && !e->IsEnd() && IsRawTextType(e->type))
            rawType = e->type;
          else if (rawType == e->type && e->IsEnd())
            rawType = -1;
        }
        break;
    }
    if (e->firstChild) {
      stack.push_back(e);
      e = e->firstChild;
      continue;
    }
    e = e->nextSibling;
  }
}

}  // namespace halyard::tagsmith
