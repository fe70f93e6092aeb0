#include "checker.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "check_rules.h"
#include "elem_kinds.h"
#include "log.h"
#include "platform/mfc/cmapstringtostring.h"

using halyard::tagsmith::ContentRule;
using halyard::tagsmith::HasOmissibleEnd;
using halyard::tagsmith::InHeadSet;
using halyard::tagsmith::InListItemSet;
using halyard::tagsmith::InNonBodySet;
using halyard::tagsmith::IsContainerType;
using halyard::tagsmith::IsSelfClosingRepeat;

namespace {

bool IsTag(const Elem* e) {
  return e->kind != ElemKind::Text && e->kind != ElemKind::Comment &&
         e->kind != ElemKind::Document;
}
bool IsStartOf(const Elem* e, int type) { return IsTag(e) && e->type == type && !e->IsEnd(); }
bool IsEndOf(const Elem* e, int type) { return IsTag(e) && e->type == type && e->IsEnd(); }
bool IsTagOf(const Elem* e, int type) { return IsTag(e) && e->type == type; }
bool IsContainerStart(const Elem* e) {
  return IsTag(e) && !e->IsEnd() && IsContainerType(e->type);
}

// The name a tag of this type is built with when the checker makes one up.
const char* DefaultName(int type) {
  switch (type) {
    case Token::A:
      return "A";
    case Token::BODY:
      return "BODY";
    case Token::DD:
      return "DD";
    case Token::DT:
      return "DT";
    case Token::FORM:
      return "FORM";
    case Token::HEAD:
      return "HEAD";
    case Token::HTML:
      return "HTML";
    case Token::LI:
      return "LI";
    case Token::OPTION:
      return "OPTION";
    case Token::P:
      return "P";
    case Token::PRE:
      return "PRE";
    case Token::TD:
      return "TD";
    case Token::TR:
      return "TR";
    default:
      return "";
  }
}

Elem* NewTag(int type, const char* name, bool end) {
  return CreateElem(static_cast<Token::Type>(type), name, static_cast<int>(std::strlen(name)), end);
}
Elem* NewTag(int type, bool end) { return NewTag(type, DefaultName(type), end); }
// A tag of the same type and name as `like` (a list keeps its own name: OL, UL, DIR, MENU).
Elem* NewTagLike(const Elem* like, bool end) {
  return CreateElem(like->type, like->name.data(), like->name.GetLength(), end);
}

// The first end tag of c's type after e among e's following siblings, skipping nested pairs of
// that type; gives up at a start tag of the type when its end may be left out.
Elem* FindEnd(const Elem* e, const Elem* c) {
  if (!c) return nullptr;
  const int type = c->type;
  const bool omissible = HasOmissibleEnd(type);
  int depth = 0;
  for (Elem* s = e->nextSibling; s; s = s->nextSibling) {
    if (!IsTagOf(s, type)) continue;
    if (s->IsEnd()) {
      if (depth == 0) return s;
      --depth;
    } else {
      if (omissible) return nullptr;
      ++depth;
    }
  }
  return nullptr;
}

// The end tag that pairs with the container start tag e among its following siblings, before
// `limit` (null: the end of the list).
Elem* FindOwnEnd(const Elem* e, const Elem* limit) {
  if (!IsContainerStart(e)) return nullptr;
  int depth = 0;
  for (Elem* s = e->nextSibling; s && s != limit; s = s->nextSibling) {
    if (!IsTagOf(s, e->type)) continue;
    if (!s->IsEnd()) {
      ++depth;
    } else if (depth == 0) {
      return s;
    } else {
      --depth;
    }
  }
  return nullptr;
}

// The last element of e's extent: e's own end tag; for a container without one, the element
// before C's end (or the last sibling); an empty element or text is its own extent.
Elem* ExtentEnd(Elem* e, const Elem* cEnd) {
  if (!IsContainerStart(e)) return e;
  if (Elem* own = FindOwnEnd(e, cEnd)) return own;
  if (cEnd) return cEnd->prevSibling ? cEnd->prevSibling : e;
  Elem* last = e;
  while (last->nextSibling) last = last->nextSibling;
  return last;
}

// Moves the siblings first..last (in order) to just after ref, or just before it.
void MoveRangeAfter(Elem* first, Elem* last, Elem* ref) {
  Elem* stop = last->nextSibling;
  Elem* at = ref;
  for (Elem* s = first; s && s != stop;) {
    Elem* n = s->nextSibling;
    at->parent->InsertAfter(at, s);
    at = s;
    s = n;
  }
}
void MoveRangeBefore(Elem* first, Elem* last, Elem* ref) {
  Elem* stop = last->nextSibling;
  for (Elem* s = first; s && s != stop;) {
    Elem* n = s->nextSibling;
    ref->parent->InsertBefore(ref, s);
    s = n;
  }
}

// The nearest sibling before e that is a tag of one of the types, or null; the search stops at
// `stop` (which is returned when it matches).
Elem* PrevTagOf(Elem* e, std::initializer_list<int> types, const Elem* stop = nullptr) {
  for (Elem* s = e->prevSibling; s; s = s->prevSibling) {
    if (IsTag(s))
      for (int t : types)
        if (s->type == t) return s;
    if (s == stop) return nullptr;
  }
  return nullptr;
}
Elem* NextTagOf(Elem* e, std::initializer_list<int> types, const Elem* stop = nullptr) {
  for (Elem* s = e->nextSibling; s && s != stop; s = s->nextSibling) {
    if (IsTag(s))
      for (int t : types)
        if (s->type == t) return s;
  }
  return nullptr;
}

// The element now at the place where the sibling after `prev` stood (the list's first when
// prev is null).
Elem* At(Elem* list, Elem* prev) { return prev ? prev->nextSibling : list->firstChild; }

// Deletes e (with its subtree) and returns the element that followed it.
Elem* DeleteElem(Elem* e) {
  Elem* next = e->nextSibling;
  delete e;
  return next;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Handlers

CheckHandler::CheckHandler(Checker* checker_, int error_, Repair repair, CheckHandler* next_)
    : next(next_), error(error_), checker(checker_), repair_(repair) {}

CheckHandler::~CheckHandler() = default;

Elem* CheckHandler::HandleCheckError(Elem* e, CheckHtml::Error err) {
  if (error != 0 && error != err) return next ? next->HandleCheckError(e, err) : nullptr;
  return (checker->*repair_)(e);
}

// ---------------------------------------------------------------------------------------------
// Checker

Checker::Checker() = default;

Checker::~Checker() {
  CleanUp();
  while (CheckHandler* h = handlers_) {
    handlers_ = h->next;
    delete h;
  }
}

void Checker::AddCheckHandler() {
  while (CheckHandler* h = handlers_) {
    handlers_ = h->next;
    delete h;
  }
  static const struct {
    int error;
    CheckHandler::Repair repair;
  } kChain[] = {
      {2, &Checker::RepairPcdata},          {3, &Checker::RepairInline},
      {4, &Checker::RepairOutsideHtml},     {5, &Checker::RepairHtml},
      {6, &Checker::RepairHead},            {7, &Checker::RepairBodyContent},
      {8, &Checker::RepairFlow},            {9, &Checker::RepairDefinitionList},
      {10, &Checker::RepairAnchor},         {11, &Checker::RepairForm},
      {14, &Checker::RepairParagraph},      {15, &Checker::RepairPreformatted},
      {16, &Checker::RepairSelect},         {17, &Checker::RepairList},
      {18, &Checker::RepairTable},          {19, &Checker::RepairRow},
      {20, &Checker::RepairMap},            {21, &Checker::RepairEmpty},
      {22, &Checker::RepairDelete},
  };
  CheckHandler* chain = new CheckHandler(this, 0, &Checker::RepairUnhandled, nullptr);
  for (int i = static_cast<int>(sizeof kChain / sizeof kChain[0]) - 1; i >= 0; --i)
    chain = new CheckHandler(this, kChain[i].error, kChain[i].repair, chain);
  handlers_ = chain;
}

Elem* Checker::HandleCheckError(Elem* e, ::CheckHtml::Error error) {
  if (!handlers_) return nullptr;
  error_ = error;
  return handlers_->HandleCheckError(e, error);
}

Tag* Checker::PopContainer() { return Pop(); }

void Checker::CleanUp() { stack_.clear(); }

void Checker::Trace(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return;
  Log("%s", small);
  if (sink_) sink_->emplace_back(small);
}

void Checker::Push(Tag* t) {
  stack_.push_back(t);
  switch (t->type) {
    case Token::A:
      anchorOpen = 1;
      break;
    case Token::FORM:
      formOpen = 1;
      break;
    case Token::HTML:
      htmlSeen = 1;
      break;
    case Token::PRE:
      preformattedOpen = 1;
      break;
    default:
      break;
  }
}

Tag* Checker::Pop() {
  if (stack_.empty()) return nullptr;
  Tag* t = stack_.back();
  stack_.pop_back();
  // A container closed by an end tag the checker put in is as closed as by the page's own.
  switch (t->type) {
    case Token::A:
      anchorOpen = 0;
      break;
    case Token::FORM:
      formOpen = 0;
      break;
    case Token::PRE:
      preformattedOpen = 0;
      break;
    default:
      break;
  }
  return t;
}

Elem* Checker::CheckHtml(Elem* root) {
  if (!root) return nullptr;
  std::vector<Elem*> lists{root};
  root->SetCursor(root->firstChild);
  while (!lists.empty()) {
    Elem* list = lists.back();
    Elem* e = list->GetCursor();
    if (!e) {
      CloseAtEnd(list);
      lists.pop_back();
      if (!lists.empty() && list->parent == lists.back()) lists.back()->SetCursor(list->nextSibling);
      continue;
    }
    int result = Check(e);
    if (result == 1) {
      if (e->firstChild && e->kind != ElemKind::Comment) {
        e->SetCursor(e->firstChild);
        lists.push_back(e);
      } else {
        list->SetCursor(e->nextSibling);
      }
      continue;
    }
    if (++corrections_ > kCorrectionLimit) {
      CleanUp();
      throw -1;
    }
    Elem* next;
    if (handlers_)
      next = HandleCheckError(e, static_cast<::CheckHtml::Error>(result));
    else
      next = e->nextSibling;
    // A handler that moved the element out of this list ends the list here; the walk goes on
    // after it in the outer list.
    list->SetCursor(next && next->parent == list ? next : nullptr);
  }
  // The walk has left the root: nothing is open any more.
  CleanUp();
  return nullptr;
}

void Checker::CloseAtEnd(Elem* list) {
  while (Tag* top = Top()) {
    if (top->parent == list) {
      list->Append(NewTagLike(top, true));
    } else if (top == list) {
      // A container that holds its content: its end tag is its last child.
      list->Append(NewTagLike(top, true));
    } else {
      break;
    }
    if (!HasOmissibleEnd(top->type)) ++closedAtEnd_;
    Pop();
  }
}

int Checker::FlagRule(Elem* e) const {
  switch (static_cast<int>(e->type)) {
    case Token::A:
      return anchorOpen ? 10 : 1;
    case Token::BIG:
    case Token::FONT:
    case Token::IMG:
    case Token::SMALL:
    case 98:
    case 99:
      return preformattedOpen ? 15 : 1;
    case Token::FORM:
      return formOpen ? 11 : 1;
    case Token::HTML:
      return htmlSeen ? 22 : 1;
    case Token::P:
      return paragraphOpen ? 14 : 1;
    default:
      return 1;
  }
}

int Checker::CheckEndTag(Elem* e) {
  const int t = e->type;
  switch (t) {
    case Token::A:
      anchorOpen = 0;
      break;
    case Token::FORM:
      formOpen = 0;
      break;
    case Token::P:
      paragraphOpen = 0;
      break;
    case Token::PRE:
      preformattedOpen = 0;
      break;
    default:
      break;
  }
  std::size_t i = stack_.size();
  while (i > 0) {
    Tag* s = stack_[i - 1];
    if (s->type == t && (s == e->parent || s->parent == e->parent)) break;
    --i;
  }
  if (i == 0) return 22;
  Tag* match = stack_[i - 1];
  while (stack_.size() > i) {
    Tag* above = Top();
    if (above == e->parent) {
      switch (above->type) {
        case Token::A:
          return 10;
        case Token::UL:
          return 17;
        case Token::SELECT:
          return 16;
        case Token::TABLE:
          return 18;
        default:
          break;
      }
    }
    e->parent->InsertBefore(e, NewTagLike(above, true));
    Pop();
  }
  if (match == e->parent && e->nextSibling && match->parent)
    MoveRangeAfter(e->nextSibling, match->lastChild, match);
  Pop();
  return 1;
}

int Checker::Check(Elem* e) {
  const int t = e->type;
  if (IsTag(e) && e->IsEnd() && IsContainerType(t)) return CheckEndTag(e);
  Tag* c = Top();
  if (c && c->type == t && IsSelfClosingRepeat(t) && IsContainerStart(e)) {
    e->parent->InsertBefore(e, NewTagLike(c, true));
    stack_.back() = static_cast<Tag*>(e);
    return 1;
  }
  if (IsTag(e) && !(e->IsEnd() && IsContainerType(t))) {
    int flag = FlagRule(e);
    if (flag != 1) return flag;
  }
  for (;;) {
    c = Top();
    int rule = c ? ContentRule(c->type, t) : (t == Token::HTML || t == Token::COMMENT ? 1 : 4);
    if (rule == 1) break;
    if (!closeImplied || !c || !HasOmissibleEnd(c->type)) return rule;
    e->parent->InsertBefore(e, NewTagLike(c, true));
    Pop();
  }
  if (IsContainerStart(e)) Push(static_cast<Tag*>(e));
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Corrections

Elem* Checker::AddEndTag(Elem* e) {
  Tag* c = Top();
  if (!c) return RepairUnhandled(e);
  Elem* end = NewTagLike(c, true);
  e->parent->InsertBefore(e, end);
  Trace("Correction : Add End Tag type %d\n", c->type);
  return end;
}

Elem* Checker::Remove(Elem* e) {
  Trace("Correction : Remove ");
  return DeleteElem(e);
}

Elem* Checker::MoveBehind(Elem* e, const char* line, Elem* last) {
  Tag* c = Top();
  Elem* cEnd = FindEnd(e, c);
  if (!cEnd) return AddEndTag(e);
  if (!last) last = ExtentEnd(e, cEnd);
  Elem* list = e->parent;
  Elem* prev = e->prevSibling;
  MoveRangeAfter(e, last, cEnd);
  Trace(line ? line : "Correction : Move Illegal Html to After type %d\n", c->type);
  return At(list, prev);
}

Elem* Checker::MoveEndBefore(Elem* e) {
  Tag* c = Top();
  Elem* cEnd = FindEnd(e, c);
  if (!cEnd) return AddEndTag(e);
  e->parent->InsertBefore(e, cEnd);
  Pop();
  Trace("Correction : Move to Before type %d\n", c->type);
  return e;
}

Elem* Checker::EndAndResume(Elem* e) {
  Tag* c = Top();
  Elem* cEnd = FindEnd(e, c);
  Elem* own = FindOwnEnd(e, cEnd);
  Elem* end = NewTagLike(c, true);
  e->parent->InsertBefore(e, end);
  auto resumed = [c]() {
    Elem* start = NewTagLike(c, false);
    // A resumed FONT keeps the font it resumes.
    if (c->type == Token::FONT) {
      if (CMapStringToString* attrs = c->Attributes()) {
        auto* copy = new CMapStringToString;
        CString key, value;
        for (POSITION pos = attrs->GetStartPosition(); pos;) {
          attrs->GetNextAssoc(pos, key, value);
          copy->SetAt(key, value);
        }
        start->SetAttributes(copy);
      }
    }
    return start;
  };
  // Not resumed inside an element that may not hold it (a P inside a UL would cost the list its
  // items): there it opens again only after the element's end.
  if (!IsContainerStart(e) || ContentRule(e->type, c->type) == 1)
    e->parent->InsertAfter(e, resumed());
  if (own) own->parent->InsertAfter(own, resumed());
  Trace("Correction : end type %d here and resume after type %d ends\n", e->type, c->type);
  return end;
}

// ---------------------------------------------------------------------------------------------
// Repairs, one per error number

Elem* Checker::RepairPcdata(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d PCData Container type %d Can't Contain type %d", 2, c ? c->type : 0,
        e->type);
  if (!FindEnd(e, c)) return AddEndTag(e);
  if (removeIllegal) return Remove(e);
  return MoveBehind(e);
}

Elem* Checker::RepairInline(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d InLine Container type %d Can't Contain type %d", 3, c ? c->type : 0,
        e->type);
  if (!FindEnd(e, c)) return AddEndTag(e);
  if (endAndResume) return EndAndResume(e);
  if (moveIllegalAfter) return MoveBehind(e);
  return MoveEndBefore(e);
}

Elem* Checker::RepairOutsideHtml(Elem* e) {
  Trace("CheckHtml : Error %d Contain type %d must be within HTML tag", 4, e->type);
  Elem* list = e->parent;
  if (Elem* before = PrevTagOf(e, {Token::HTML})) {
    if (!before->IsEnd()) {
      Trace("Correction : No correction; should never happen %d\n", Token::HTML);
      return e->nextSibling;
    }
    // The premature end tag goes and the HTML it closed is open again.
    Elem* start = PrevTagOf(before, {Token::HTML});
    Trace("Correction : delete first Html end tag type %d\n", Token::HTML);
    delete before;
    if (start && !start->IsEnd()) {
      Push(static_cast<Tag*>(start));
    } else {
      Elem* html = NewTag(Token::HTML, false);
      list->InsertBefore(e, html);
      Push(static_cast<Tag*>(html));
    }
    return e;
  }
  Elem* after = NextTagOf(e, {Token::HTML});
  if (!after || after->IsEnd()) {
    // Pushed at once: checked again it would meet the flag of an HTML seen before.
    Elem* html = NewTag(Token::HTML, false);
    list->InsertBefore(e, html);
    Push(static_cast<Tag*>(html));
    Trace("Correction : Add Start Tag type %d\n", Token::HTML);
    return e;
  }
  MoveRangeAfter(e, after->prevSibling, after);
  Trace("Correction : Move after into Html type %d\n", Token::HTML);
  return after;
}

// Reopens the container that `before` (a tag of type `type` preceding e) stands for, taking e
// and what follows it up to a tag of one of the stop types: before a premature end tag the range
// moves in front of it. Returns false when no start tag is there to open again.
bool Checker::ReopenBefore(Elem* e, Elem* before, int type, std::initializer_list<int> stops) {
  Elem* start = before->IsEnd() ? PrevTagOf(before, {type}) : before;
  if (!start || start->IsEnd()) return false;
  if (before->IsEnd()) {
    Elem* last = e;
    while (last->nextSibling) {
      Elem* n = last->nextSibling;
      bool stop = false;
      if (IsTag(n))
        for (int s : stops)
          if (n->type == s && !(s == Token::HTML && !n->IsEnd())) stop = true;
      if (stop) break;
      last = n;
    }
    MoveRangeBefore(e, last, before);
  }
  Push(static_cast<Tag*>(start));
  return true;
}

Elem* Checker::RepairHtml(Elem* e) {
  Tag* c = Top();
  const int t = e->type;
  Trace("CheckHtml : Error %d HTML Tag type %d Can't Contain type %d", 5, c ? c->type : 0, t);
  Elem* list = e->parent;
  Elem* prev = e->prevSibling;
  if (!InNonBodySet(t)) {
    if (Elem* body = NextTagOf(e, {Token::BODY})) {
      if (body->IsEnd()) {
        Elem* before = PrevTagOf(e, {Token::BODY});
        if (before && before->IsEnd()) {
          Elem* start = PrevTagOf(before, {Token::BODY});
          Trace("Correction : delete first Body end tag type %d\n", Token::BODY);
          delete before;
          if (start && !start->IsEnd()) {
            Push(static_cast<Tag*>(start));
          } else {
            Elem* open = NewTag(Token::BODY, false);
            list->InsertBefore(e, open);
            Push(static_cast<Tag*>(open));
          }
          return e;
        }
        if (before) {
          Trace("Correction : No correction; should never happen %d\n", Token::BODY);
          return e->nextSibling;
        }
        Elem* open = NewTag(Token::BODY, false);
        list->InsertBefore(e, open);
        Trace("Correction : Add Start Tag type %d\n", Token::BODY);
        return open;
      }
      Elem* head = NextTagOf(e, {Token::HEAD}, body);
      MoveRangeAfter(e, (head ? head : body)->prevSibling, body);
      Trace("Correction : Move after into Body type %d\n", Token::BODY);
      return At(list, prev);
    }
    if (Elem* frames = NextTagOf(e, {Token::NOFRAMES}); frames && !frames->IsEnd()) {
      Elem* head = NextTagOf(e, {Token::HEAD}, frames);
      MoveRangeAfter(e, (head ? head : frames)->prevSibling, frames);
      Trace("Correction : Move after into NoFrames type %d\n", Token::NOFRAMES);
      return At(list, prev);
    }
    if (Elem* body = PrevTagOf(e, {Token::BODY});
        body && ReopenBefore(e, body, Token::BODY, {Token::HEAD, Token::HTML})) {
      Trace("Correction : Move before into Body type %d\n", Token::BODY);
      return e;
    }
    if (Elem* frames = PrevTagOf(e, {Token::NOFRAMES});
        frames && ReopenBefore(e, frames, Token::NOFRAMES, {Token::HEAD, Token::HTML})) {
      Trace("Correction : Move before into NoFrames type %d\n", Token::NOFRAMES);
      return e;
    }
    Elem* open = NewTag(Token::BODY, false);
    list->InsertBefore(e, open);
    Trace("Correction : Add Start Tag type %d\n", Token::BODY);
    return open;
  }
  if (InHeadSet(t)) {
    if (Elem* head = NextTagOf(e, {Token::HEAD}); head && !head->IsEnd()) {
      Elem* own = FindOwnEnd(e, head);
      MoveRangeAfter(e, own ? own : e, head);
      Trace("Correction : Move after into head type %d\n", Token::HEAD);
      return At(list, prev);
    }
    if (Elem* head = PrevTagOf(e, {Token::HEAD});
        head && ReopenBefore(e, head, Token::HEAD, {Token::BODY, Token::HTML})) {
      Trace("Correction : Move before into Head type %d\n", Token::HEAD);
      return e;
    }
    Elem* open = NewTag(Token::HEAD, false);
    list->InsertBefore(e, open);
    Trace("Correction : Add Start Tag type %d\n", Token::HEAD);
    return open;
  }
  Trace("Correction : Delete Tag type %d\n", t);
  return DeleteElem(e);
}

Elem* Checker::RepairHead(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d HEAD Container type %d Can't Contain type %d", 6, c ? c->type : 0,
        e->type);
  if (!FindEnd(e, c)) return AddEndTag(e);
  return MoveBehind(e, "Correction : Move after out of head type %d\n");
}

// Moves e's extent to just before the nearest BODY start tag before it and pops the containers
// up to and including that BODY; false when no BODY precedes.
bool Checker::MoveBeforeBody(Elem* e) {
  Elem* body = PrevTagOf(e, {Token::BODY});
  if (!body || body->IsEnd()) return false;
  Elem* last = ExtentEnd(e, FindEnd(e, Top()));
  MoveRangeBefore(e, last, body);
  for (std::size_t i = stack_.size(); i > 0; --i) {
    if (stack_[i - 1] == body) {
      while (stack_.size() >= i) Pop();
      break;
    }
  }
  return true;
}

Elem* Checker::RepairBodyContent(Elem* e) {
  Tag* c = Top();
  const int t = e->type;
  Trace("CheckHtml : Error %d BODY Content Container type %d Can't Contain type %d", 7,
        c ? c->type : 0, t);
  switch (t) {
    case Token::HTML:
      if (e->IsEnd()) return AddEndTag(e);
      Trace("Correction : Delete Tag type %d\n", t);
      return DeleteElem(e);
    case Token::HEAD:
      if (e->IsEnd()) {
        Trace("Correction : Del Head End Tag form body type %d\n", t);
        return DeleteElem(e);
      }
      if (MoveBeforeBody(e)) {
        Trace("Correction : Move to before Body type %d\n", t);
        return e;
      }
      Trace("Correction : Delete type %d\n", t);
      return DeleteElem(e);
    case Token::LI:
      Trace("Correction : Delete type %d\n", t);
      return DeleteElem(e);
    case Token::TR:
      if (c && (c->type == Token::TD || c->type == Token::TH)) {
        Elem* cellEnd = NewTagLike(c, true);
        e->parent->InsertBefore(e, cellEnd);
        e->parent->InsertBefore(e, NewTag(Token::TR, true));
        Trace("Correction : Add End Tag type %d and \n", c->type);
        return cellEnd;
      }
      Trace("Correction : Delete type %d\n", t);
      return DeleteElem(e);
    case Token::TD:
    case Token::DD:
      Trace("Correction : Delete Tag type %d\n", t);
      return DeleteElem(e);
    default:
      break;
  }
  if (InHeadSet(t) && MoveBeforeBody(e)) {
    Trace("Correction : Move to before Body %d\n", t);
    return e;
  }
  Trace("Correction : Delete type %d\n", t);
  return DeleteElem(e);
}

Elem* Checker::RepairFlow(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d Flow Container type %d Can't Contain type %d", 8, c ? c->type : 0,
        e->type);
  if ((c && IsStartOf(e, c->type)) || !FindEnd(e, c)) return AddEndTag(e);
  if (moveIllegalAfter) return MoveBehind(e);
  return MoveEndBefore(e);
}

Elem* Checker::Wrap(Elem* first, Elem* last, int type) {
  Elem* start = NewTag(type, false);
  first->parent->InsertBefore(first, start);
  last->parent->InsertAfter(last, NewTag(type, true));
  return start;
}

Elem* Checker::RepairDefinitionList(Elem* e) {
  Tag* c = Top();
  const int t = e->type;
  Trace("CheckHtml : Error %d DL type %d Can't Contain type %d", 9, c ? c->type : 0, t);
  Elem* cEnd = FindEnd(e, c);
  if (!cEnd) return AddEndTag(e);
  Elem* next = NextTagOf(e, {Token::DD, Token::DL, Token::DT});
  Elem* before = PrevTagOf(e, {Token::DD, Token::DL, Token::DT}, c);
  if (before == c) before = nullptr;
  if (next && next->IsEnd() && (next->type == Token::DD || next->type == Token::DT)) {
    Elem* start = NewTag(next->type, false);
    e->parent->InsertBefore(e, start);
    Trace(next->type == Token::DD ? "Correction : Add DD tag\n" : "Correction : Add DT tag\n");
    return start;
  }
  if (t == Token::TD && IsTag(e)) {
    Elem* dt = NewTag(Token::DT, e->IsEnd());
    e->parent->InsertBefore(e, dt);
    delete e;
    Trace("Correction :Change TD to DT tag\n");
    return dt;
  }
  Elem* last = ExtentEnd(e, cEnd);
  if (before && before->type == Token::DT) {
    if (next && IsStartOf(next, Token::DD)) {
      e->parent->InsertBefore(e, next);
      Trace("Correction : Move next start type %d\n", next->type);
      return next;
    }
    Elem* start = Wrap(e, last, Token::DD);
    Trace("Correction : Add DD \n");
    return start;
  }
  if (before && before->type == Token::DD) {
    if (before->IsEnd() && next && (next->type == Token::DT || next->type == Token::DL)) {
      Elem* start = PrevTagOf(before, {Token::DD});
      if (start && !start->IsEnd()) {
        e->parent->InsertAfter(last, before);
        Push(static_cast<Tag*>(start));
        Trace("Correction : Move DD end tag\n");
        return e;
      }
    }
    Elem* start = Wrap(e, last, Token::DT);
    Trace("Correction : Add DT start tag\n");
    return start;
  }
  if (next && (next->type == Token::DT || next->type == Token::DL) && c && c->parent == e->parent) {
    MoveRangeBefore(e, last, c);
    Pop();
    Trace("Correction : Move before DL\n");
    return e;
  }
  Elem* start = Wrap(e, last, Token::DT);
  Trace("Correction : Add DT start tag\n");
  return start;
}

// Closes the open anchor at e: the containers opened inside it and the anchor itself get end
// tags before e and are popped.
void Checker::CloseAt(Elem* e, Tag* anchor) {
  while (Tag* top = Top()) {
    e->parent->InsertBefore(e, NewTagLike(top, true));
    Pop();
    if (top == anchor) break;
  }
}

Elem* Checker::RepairAnchor(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d A anchor type %d Can't Contain type %d", 10, c ? c->type : 0,
        e->type);
  Tag* anchor = nullptr;
  for (std::size_t i = stack_.size(); i > 0 && !anchor; --i)
    if (stack_[i - 1]->type == Token::A) anchor = stack_[i - 1];
  if (!anchor) {
    anchorOpen = 0;
    Trace("Correction : Parent != container\n");
    return e;
  }
  Elem* anchorEnd = nullptr;
  for (Elem* s = e->nextSibling; s && !anchorEnd; s = s->nextSibling)
    if (IsEndOf(s, Token::A)) anchorEnd = s;
  if (e->parent == anchor) {
    // The anchor holds e: e and what follows it inside (up to the anchor's own end tag) move
    // out behind it.
    Elem* last = anchorEnd ? anchorEnd->prevSibling : anchor->lastChild;
    MoveRangeAfter(e, last, anchor);
    Trace("Correction : Move after Anchor\n");
    return anchorEnd;  // null: the anchor's list is done and the walk goes on behind it
  }
  CloseAt(e, anchor);
  if (anchorEnd) {
    delete anchorEnd;
    Trace("Correction : Delete type %d\n", Token::A);
  } else {
    Trace("Correction : Parent != container\n");
  }
  return e;
}

// The repair shared by FORM and P, which may not nest: a second start tag first ends the open
// one; anything else moves behind the container's end, or the container is ended before it.
Elem* Checker::EndSelfOrMove(Elem* e, Tag* c, int self, const char* correction) {
  if (IsStartOf(e, self)) {
    Elem* end = NewTag(self, true);
    e->parent->InsertBefore(e, end);
    Trace("%s", correction);
    return end;
  }
  if (FindEnd(e, c)) return MoveBehind(e);
  return AddEndTag(e);
}

Elem* Checker::RepairForm(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d Form type %d Can't Contain type %d", 11, c ? c->type : 0, e->type);
  return EndSelfOrMove(e, c, Token::FORM, "Correction : Form in form, add end form tag\n");
}

Elem* Checker::RepairParagraph(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d P type %d Can't Contain type %d", 14, c ? c->type : 0, e->type);
  return EndSelfOrMove(e, c, Token::P, "Correction : P in P , add end P tag\n");
}

Elem* Checker::RepairPreformatted(Elem* e) {
  Tag* c = Top();
  const int t = e->type;
  Trace("CheckHtml : Error %d PRE type %d Can't Contain type %d", 15, c ? c->type : 0, t);
  if (t == Token::BIG || t == Token::FONT || t == Token::IMG || t == Token::SMALL || t == 98 ||
      t == 99) {
    Elem* end = NewTag(Token::PRE, true);
    e->parent->InsertBefore(e, end);
    Trace("Correction : Add end PRE tag\n");
    return end;
  }
  if (FindEnd(e, c)) return MoveBehind(e);
  return AddEndTag(e);
}

Elem* Checker::ListLike(Elem* e, int error, int item, DWORD wrapSwitch) {
  Tag* c = Top();
  const int t = e->type;
  if (error == 18 && IsStartOf(e, Token::TD)) {
    Elem* row = NewTag(Token::TR, false);
    e->parent->InsertBefore(e, row);
    Trace("Correction : Add TR start tag before TD type %d\n", t);
    return row;
  }
  Elem* cEnd = FindEnd(e, c);
  if (!cEnd) return AddEndTag(e);
  if (error == 17 && InListItemSet(t))
    return MoveBehind(e, "Correction : Move after Tag type %d\n");
  // Stray end tags of the item type between e and the next item are dropped.
  for (Elem* s = e->nextSibling; s && s != cEnd;) {
    if (IsStartOf(s, item)) break;
    Elem* n = s->nextSibling;
    if (IsEndOf(s, item)) delete s;
    s = n;
  }
  Elem* nextItem = cEnd;
  for (Elem* s = e->nextSibling; s && s != cEnd; s = s->nextSibling)
    if (IsStartOf(s, item)) {
      nextItem = s;
      break;
    }
  Elem* before = PrevTagOf(e, {item}, c);
  if (before && !before->IsEnd()) return RepairUnhandled(e);
  if (before) {
    // The item before is closed: its end tag moves on so that the item holds e, and the item
    // is open again.
    Elem* start = PrevTagOf(before, {item}, c);
    nextItem->parent->InsertBefore(nextItem, before);
    if (start && !start->IsEnd()) Push(static_cast<Tag*>(start));
    switch (error) {
      case 16:
        Trace("Correction : Move last OPTION end tag to contain type %d\n", t);
        break;
      case 17:
        Trace("Correction : Move last LI end tag to contain type %d\n", t);
        break;
      case 18:
        Trace("Correction : Move previous TR end tag after type %d\n", t);
        break;
      default:
        Trace("Correction : Move last TD end tag after type %d\n", t);
        break;
    }
    return start && !start->IsEnd() ? e : before;
  }
  // Text straight in a row: moving the row's end before it would hand it to the table, whose
  // repair moves the same end tag back. It goes into a cell of its own instead.
  const bool wrap = wrapSwitch || (error == 19 && !moveIllegalAfter);
  if (wrap) {
    Elem* start = Wrap(e, nextItem->prevSibling, item);
    switch (error) {
      case 16:
        Trace("Correction : Add OPTION start tag\n");
        break;
      case 17:
        Trace("Correction : Add LI start tag\n");
        break;
      case 18:
        Trace("Correction : Add TR start tag before type %d\n", t);
        break;
      default:
        Trace("Correction : Add TD start tag before type %d\n", t);
        break;
    }
    return start;
  }
  if (moveIllegalAfter) return MoveBehind(e);
  return MoveEndBefore(e);
}

Elem* Checker::RepairSelect(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d SELECT type %d Can't Contain type %d", 16, c ? c->type : 0, e->type);
  return ListLike(e, 16, Token::OPTION, addOption);
}

Elem* Checker::RepairList(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d List can only have LI items, type %d Can't Contain type %d", 17,
        c ? c->type : 0, e->type);
  return ListLike(e, 17, Token::LI, addListItem);
}

Elem* Checker::RepairTable(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d TABLE type %d Can't Contain type %d", 18, c ? c->type : 0, e->type);
  return ListLike(e, 18, Token::TR, addRowOrCell);
}

Elem* Checker::RepairRow(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d TR type %d Can't Contain type %d", 19, c ? c->type : 0, e->type);
  return ListLike(e, 19, Token::TD, addRowOrCell);
}

Elem* Checker::RepairMap(Elem* e) {
  Tag* c = Top();
  Trace("CheckHtml : Error %d MAP type %d Can't Contain type %d", 20, c ? c->type : 0, e->type);
  Elem* cEnd = FindEnd(e, c);
  if (!cEnd) return AddEndTag(e);
  Elem* last = FindOwnEnd(e, cEnd);
  if (!last) {
    // Without an end tag of its own the extent stops before the next AREA.
    Elem* area = NextTagOf(e, {Token::AREA}, cEnd);
    last = (area ? area : cEnd)->prevSibling;
  }
  return MoveBehind(e, nullptr, last);
}

Elem* Checker::RepairEmpty(Elem* e) {
  Trace("CheckHtml : Error %d EMPTY Can't Contain type %d", 21, e->type);
  return RepairUnhandled(e);
}

Elem* Checker::RepairDelete(Elem* e) {
  Trace("CheckHtml : Error %d Delete Tag type %d", 22, e->type);
  Trace("Correction : Delete.\n");
  return DeleteElem(e);
}

Elem* Checker::RepairUnhandled(Elem* e) {
  Trace("CheckHtml : NO HANDLER for error %d, token type %d\n", static_cast<int>(error_), e->type);
  return e->nextSibling;
}
