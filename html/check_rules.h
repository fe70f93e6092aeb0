// The checker's element classes and content rules: which types are empty, which end tags may be
// left out, the sets B, N, F, L and H, and the rule that says whether an innermost container may
// hold an element. Built once from check_rules.inc; read-only afterwards, so any thread may ask.
#pragma once

namespace halyard::tagsmith {

bool IsEmptyType(int type);
inline bool IsContainerType(int type) { return !IsEmptyType(type); }
bool HasOmissibleEnd(int type);
bool IsSelfClosingRepeat(int type);
bool InBlockSet(int type);
bool InNonBodySet(int type);
bool InFontSet(int type);
bool InListItemSet(int type);
// H: the listed types, every type above 118 and type 0.
bool InHeadSet(int type);

// The content rule for innermost container type `container` and element type `type`: 1 when
// allowed, else the error number. Comments are allowed everywhere, and anything is allowed in a
// container of type 0 or above 113.
int ContentRule(int container, int type);

}  // namespace halyard::tagsmith
