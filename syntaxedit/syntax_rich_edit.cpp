#include "platform/kernel/text.h"
#include "syntax_rich_edit.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "syntax_colours.h"
#include "syntax_edit.h"
#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"
#include "platform/user/dialog.h"
#include "platform/user/timer.h"

using namespace glyphpad;

namespace {

bool IsQuote(char c) { return c == '"' || c == '\''; }
// Ends the tag word of a tag span.
bool EndsTagWord(char c) { return halyard::IsSpaceTabCrLf(c) || IsQuote(c) || c == '<' || c == '=' || c == '>'; }
// Ends the tag word that decides the context at a position.
bool EndsContextWord(char c) { return halyard::IsSpaceTabCrLf(c) || c == '=' || c == '>'; }
// Ends a word of plain text around the caret.
bool EndsTextWord(char c) { return halyard::IsSpaceTabCrLf(c) || c == '<' || c == '>'; }
// Ends the word whose class the caret asks for: the places where tag words, attribute names and
// values end.
bool EndsCaretWord(char c) { return EndsTagWord(c); }
bool IsRefChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

}  // namespace

SyntaxRichEdit::SyntaxRichEdit(CSyntaxEdit* owner) : owner_(owner) {}

// ---- colouring ----

void SyntaxRichEdit::ColourRange(LONG a, LONG b, COLORREF colour) {
  if (a < 0) a = 0;
  if (b > GetTextLength()) b = GetTextLength();
  if (a >= b) return;
  CHARFORMAT cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR;
  cf.dwEffects = 0;
  cf.crTextColor = colour;
  // Select, format, select the old selection again, without a message each: a pass over a
  // large page colours a great many ranges.
  FormatRangeKeepingSelection(a, b, cf);
}

void SyntaxRichEdit::ColourText(const std::string& t, LONG base, LONG a, LONG b) {
  ColourRange(a, b, kTextColour);
  for (LONG i = a; i < b; ++i) {
    if (t[static_cast<size_t>(i - base)] != '&') continue;
    LONG j = i + 1;
    while (j < b && IsRefChar(t[static_cast<size_t>(j - base)])) ++j;
    if (j > i + 1 &&
        owner_->MatchOutside(t.substr(static_cast<size_t>(i - base), static_cast<size_t>(j - i)))) {
      LONG end = j;
      if (end < b && t[static_cast<size_t>(end - base)] == ';') ++end;
      ColourRange(i, end, kKeyColour);
    }
    i = j - 1;
  }
}

void SyntaxRichEdit::ColourAttributes(const std::string& t, LONG base, LONG a, LONG b) {
  auto at = [&](LONG i) { return t[static_cast<size_t>(i - base)]; };
  bool afterEquals = false;
  LONG i = a;
  while (i < b) {
    char c = at(i);
    if (halyard::IsSpaceTabCrLf(c) || IsQuote(c)) {
      ++i;
      continue;
    }
    LONG j = i;
    while (j < b) {
      char d = at(j);
      if (halyard::IsSpaceTabCrLf(d) || IsQuote(d) || d == '<' || d == '>') break;
      ++j;
      if (d == '=') break;
    }
    if (j == i) {
      ++i;  // a stray "<" or ">" before the span's end
      continue;
    }
    bool endsWithEquals = at(j - 1) == '=';
    if (c == '=' || afterEquals) {
      ColourRange(i, j, kDelimiterColour);
    } else {
      LONG nameEnd = endsWithEquals ? j - 1 : j;
      std::string word = t.substr(static_cast<size_t>(i - base), static_cast<size_t>(j - i));
      ColourRange(i, nameEnd, owner_->MatchSecondary(word) ? kKeyColour : kUnknownColour);
      if (endsWithEquals) ColourRange(nameEnd, j, kDelimiterColour);
    }
    afterEquals = endsWithEquals;
    i = j;
  }
  // Quoted values, from the opening quote on: closed ones are values, open ones are errors.
  for (i = a; i < b; ++i) {
    char q = at(i);
    if (!IsQuote(q)) continue;
    LONG j = i + 1;
    while (j < b && at(j) != q && at(j) != '>') ++j;
    if (j < b && at(j) == q) {
      ColourRange(i, j + 1, kDelimiterColour);
      i = j;
    } else {
      ColourRange(i, j, kUnknownColour);
      i = j - 1;
    }
  }
}

bool SyntaxRichEdit::ColourTag(const std::string& t, LONG base, LONG a, LONG e) {
  auto at = [&](LONG i) { return t[static_cast<size_t>(i - base)]; };
  ColourRange(a, e, kTextColour);
  ColourRange(a, a + 1, kDelimiterColour);
  LONG w = a + 1;
  while (w < e && !EndsTagWord(at(w))) ++w;
  std::string word = t.substr(static_cast<size_t>(a - base), static_cast<size_t>(w - a));
  if (owner_->MatchPrimary(word)) {
    ColourRange(a + 1, w, kTagColour);
  } else {
    bool comment = owner_->MatchComments(word) != 0;
    if (comment || owner_->MatchGrayText(word)) {
      ColourRange(a, e, comment ? kCommentColour : kGrayTextColour);
      // No ">" came before the next "<": the rest of the text reads as comment.
      bool closed = e - 1 > a && at(e - 1) == '>';
      if (!closed && e < GetTextLength() && CharAt(e) == '<') {
        Overwritten(e);
        ColourRange(e, GetTextLength(), kCommentColour);
        return true;
      }
      return false;
    }
    ColourRange(a + 1, w, kUnknownColour);
  }
  bool closed = e - 1 > a && at(e - 1) == '>';
  ColourAttributes(t, base, w, closed ? e - 1 : e);
  if (closed) ColourRange(e - 1, e, kDelimiterColour);
  return false;
}

void SyntaxRichEdit::ColourHidden(LONG a, LONG b, LONG shift) {
  const HiddenField* f = owner_->GetHiddenFields();
  for (int i = 0; i < owner_->GetHiddenFieldCount(); ++i) {
    LONG s = std::max(a, f[i].start + shift), e = std::min(b, f[i].end + shift);
    if (s < e) ColourRange(s, e, kHiddenColour);
  }
}

bool SyntaxRichEdit::FullPass(LONG start, LONG end) {
  LONG len = GetTextLength();
  start = std::clamp<LONG>(start, 0, len);
  end = std::clamp<LONG>(end, start, len);
  bool ended = false;
  PassTo(start, end, end, &ended);
  return ended;
}

LONG SyntaxRichEdit::PassTo(LONG start, LONG end, LONG stopAt, bool* ended) {
  CWnd* focus = end - start >= 1025 ? CWnd::GetFocus() : nullptr;
  HWND focusHandle = focus ? focus->m_hWnd : nullptr;
  BOOL wasVisible = ShowWindow(SW_HIDE);
  LONG stop = ColourSpans(start, end, stopAt, ended);
  if (!*ended && stop < end) LeavePending(stop);
  if (wasVisible) ShowWindow(SW_SHOW);
  if (focusHandle && IsWindow(focusHandle)) ::SetFocus(focusHandle);
  return stop;
}

LONG SyntaxRichEdit::ColourSpans(LONG start, LONG end, LONG stopAt, bool* ended, LONG shift) {
  LONG len = GetTextLength();
  *ended = false;
  if (pendingFrom_ >= 0 && pendingFrom_ < end) {
    // A pass to the end of the text colours anew all that is left for later from its start on;
    // any other pass into that part needs it done first.
    if (end == len) {
      SettleFormats(start);
      DropPending();
    } else {
      SettleFormats(end);
    }
  }
  // The text is read as the pass goes: a pass that may stop early reads a slice at a time.
  const LONG chunk = stopAt < end ? kSliceChars : end - start;
  std::string t;
  LONG have = start;  // t holds [start, have)
  auto readTo = [&](LONG to) {
    to = std::min(end, std::max(to, have + chunk));
    if (to > have) {
      t += GetTextRange(have, to);
      have = to;
    }
  };
  readTo(std::max(stopAt, start));
  auto at = [&](LONG i) { return t[static_cast<size_t>(i - start)]; };
  LONG pos = start;
  bool stopped = false;
  // The ranges of the pass are coloured in one batch, put into the control at its end: up to
  // where it stops, with room for the span it stops after (a longer one is coloured outside).
  BeginFormatBatch(start, stopAt < end ? std::min(end, std::max(stopAt, start) + 4096) : end);
  for (;;) {
    if (pos >= stopAt && pos < end) {
      stopped = true;
      break;
    }
    size_t found = t.find('<', static_cast<size_t>(pos - start));
    while (found == std::string::npos && have < end) {
      size_t from = t.size();
      readTo(have + chunk);
      found = t.find('<', from);
    }
    if (found == std::string::npos) break;
    LONG lt = start + static_cast<LONG>(found);
    ColourText(t, start, pos, lt);
    LONG k = lt + 1;
    for (;;) {
      while (k < have && at(k) != '>' && at(k) != '<') ++k;
      if (k < have || have >= end) break;
      readTo(have + chunk);
    }
    LONG e = (k < end && at(k) == '>') ? k + 1 : k;
    if (ColourTag(t, start, lt, e)) {
      *ended = true;
      break;
    }
    pos = e;
  }
  if (!*ended && !stopped) {
    ColourText(t, start, pos, end);
    pos = end;
  }
  ColourHidden(start, *ended ? len : pos, shift);
  EndFormatBatch();
  return *ended ? len : pos;
}

void SyntaxRichEdit::LeavePending(LONG from) {
  pendingFrom_ = from;
  pendingShift_ = 0;
  if (m_hWnd) SetTimer(m_hWnd, kColourTimer, kSliceInterval, nullptr);
}

void SyntaxRichEdit::DropPending() {
  if (pendingFrom_ < 0) return;
  pendingFrom_ = -1;
  pendingShift_ = 0;
  if (m_hWnd) KillTimer(m_hWnd, kColourTimer);
}

void SyntaxRichEdit::Overwritten(LONG from) {
  if (pendingFrom_ >= from) DropPending();
}

void SyntaxRichEdit::ContinuePass(LONG stopAt) {
  LONG from = pendingFrom_;
  if (from < 0) return;
  pendingFrom_ = -1;  // the slice below owns that part now; the timer runs on
  bool ended = false;
  LONG len = GetTextLength();
  LONG stop = ColourSpans(from, len, stopAt, &ended, pendingShift_);
  if (!ended && stop < len) {
    pendingFrom_ = stop;
  } else {
    pendingShift_ = 0;
    if (m_hWnd) KillTimer(m_hWnd, kColourTimer);
  }
}

void SyntaxRichEdit::SettleFormats(LONG end) {
  while (pendingFrom_ >= 0 && pendingFrom_ < end) ContinuePass(end);
}

void SyntaxRichEdit::SetLazyColouring(bool on) {
  lazy_ = on;
  if (!on) FinishColouring();
}

LONG SyntaxRichEdit::ShownEnd() {
  // By whole lines, one more for a line shown in part; painting colours what it shows anyway.
  LONG next = GetFirstVisibleLine() + VisibleLineCount() + 1;
  return next < GetLineCount() ? LineIndex(next) : GetTextLength();
}

void SyntaxRichEdit::PassToEnd(LONG pos) {
  LONG len = GetTextLength();
  pos = std::clamp<LONG>(pos, 0, len);
  if (!lazy_) {
    FullPass(pos, len);
    return;
  }
  bool ended = false;
  PassTo(pos, len, std::max(pos, ShownEnd()) + kMarginChars, &ended);
}

LONG SyntaxRichEdit::TagSpanEnd(LONG from) const {
  LONG len = GetTextLength();
  for (LONG k = from; k < len; ++k) {
    char c = CharAt(k);
    if (c == '>') return k + 1;
    if (c == '<') return k;
  }
  return len;
}

void SyntaxRichEdit::RecolourTagSpan(LONG a, LONG e) {
  if (a >= e) return;
  BOOL wasVisible = ShowWindow(SW_HIDE);
  std::string t = GetTextRange(a, e);
  bool toEnd = ColourTag(t, a, a, e);
  ColourHidden(a, toEnd ? GetTextLength() : e);
  if (!toEnd) ClearStaleRunOn(e);
  if (wasVisible) ShowWindow(SW_SHOW);
}

namespace {
bool CommentGreen(COLORREF c) { return c == kCommentColour || c == kGrayTextColour; }
}  // namespace

bool SyntaxRichEdit::RunsOnFromTag(LONG lt) const {
  // Green or silver right before a "<" that is no ">": a comment or component span ended at
  // this "<", or the green was already running on.
  for (;;) {
    if (lt <= 0 || !CommentGreen(ColorAt(lt - 1))) return false;
    if (CharAt(lt - 1) != '>') return true;
    // A green ">": the end of a closed comment or component tag, which says nothing by itself,
    // or any other ">" within run-on green.
    LONG gt = lt - 1, open = -1;
    for (LONG i = gt - 1; i >= 0; --i) {
      char c = CharAt(i);
      if (c == '>') break;
      if (c == '<') {
        open = i;
        break;
      }
    }
    if (open < 0) return true;  // a ">" of plain text is black unless it runs on
    if (!OpensComment(open) && !OpensGrayText(open)) return true;
    lt = open;
  }
}

bool SyntaxRichEdit::RunsOnAfterGt(LONG gt) const {
  // The text after a ">" runs on exactly when the ">" does: as the one before a "<" would.
  return gt >= 0 && CommentGreen(ColorAt(gt)) && RunsOnFromTag(gt + 1);
}

bool SyntaxRichEdit::RunsOnAt(LONG pos) const {
  for (LONG i = pos - 1; i >= 0; --i) {
    char c = CharAt(i);
    if (c == '<') return RunsOnFromTag(i);
    if (c == '>') return RunsOnAfterGt(i);
  }
  return false;
}

bool SyntaxRichEdit::OpensComment(LONG lt) const {
  // The tag word of a comment begins "<!--", of a component "<q-"; none of those characters
  // ends a tag word, so the first characters decide.
  return CharAt(lt) == '<' && CharAt(lt + 1) == '!' && CharAt(lt + 2) == '-' &&
         CharAt(lt + 3) == '-';
}

bool SyntaxRichEdit::OpensGrayText(LONG lt) const {
  return CharAt(lt) == '<' && (CharAt(lt + 1) == 'q' || CharAt(lt + 1) == 'Q') &&
         CharAt(lt + 2) == '-';
}

void SyntaxRichEdit::ClearStaleRunOn(LONG pos) {
  LONG len = GetTextLength();
  if (pos <= 0 || pos >= len || RunsOnAt(pos)) return;
  if (CharAt(pos) != '<' && ColorAt(pos) != kCommentColour) {
    // Text here, or what is left of a comment or component span that ran on from its end:
    // green left by such a run-on starts at the next "<".
    pos = FindChar('<', pos, len);
    if (pos < 0) return;
  }
  // Closed comments read the same whether an earlier run-on left them green or a pass
  // coloured them: they are stepped over, not recoloured, so that a page of thousands of
  // them costs a scan, not a pass per keystroke. An open one runs on by itself from there.
  if (OpensComment(pos)) {
    // One copy of the rest, read at memory speed: a page may hold a great many of them.
    const std::string t = GetTextRange(pos, len);
    const char* p = t.data();
    const char* end = p + t.size();
    while (end - p >= 4 && p[0] == '<' && p[1] == '!' && p[2] == '-' && p[3] == '-') {
      const char* q = p + 4;
      while (q < end && *q != '>' && *q != '<') ++q;
      if (q == end || *q != '>') return;
      p = q + 1;
    }
    pos += static_cast<LONG>(p - t.data());
  }
  if (pos < len && ColorAt(pos) == kCommentColour) PassToEnd(pos);
}

void SyntaxRichEdit::RecolourTextSpan(LONG a, LONG e) {
  if (a >= e) return;
  std::string t = GetTextRange(a, e);
  ColourText(t, a, a, e);
  ColourHidden(a, e);
}

LONG SyntaxRichEdit::RecolourChange(LONG a, LONG b) {
  LONG len = GetTextLength();
  a = std::clamp<LONG>(a, 0, len);
  b = std::clamp<LONG>(b, a, len);
  LONG lo = 0;
  bool runsOn = false;  // within run-on green the edit changes only its own characters' colour
  for (LONG i = a - 1; i >= 0; --i) {
    char c = CharAt(i);
    if (c == '<') {
      lo = i;
      runsOn = RunsOnFromTag(i);
      break;
    }
    if (c == '>') {
      lo = i + 1;  // the ">" closes the tag before; it keeps its colour
      runsOn = RunsOnAfterGt(i);
      break;
    }
  }
  LONG hi = len;
  for (LONG k = b; k < len; ++k) {
    char c = CharAt(k);
    if (c == '>') {
      hi = k + 1;
      break;
    }
    if (c == '<') {
      // The tag that starts there is taken whole: its "<" alone would be coloured as that of
      // an ordinary tag, also where it opens a comment or a component tag.
      hi = TagSpanEnd(k + 1);
      break;
    }
  }
  if (runsOn) {
    ColourRange(lo, hi, kCommentColour);
    ColourHidden(lo, hi);
    return hi;
  }
  if (FullPass(lo, hi)) return GetTextLength();
  ClearStaleRunOn(hi);
  return hi;
}

void SyntaxRichEdit::ResetCaretColour() {
  CHARFORMAT cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = kTextColour;
  SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

DWORD SyntaxRichEdit::ContextAt(LONG pos, LONG* wordStart, LONG* wordEnd) {
  LONG len = GetTextLength();
  pos = std::clamp<LONG>(pos, 0, len);
  for (LONG i = pos - 1; i >= 0; --i) {
    char c = CharAt(i);
    if (c == '>') return kContextOutside;
    if (c != '<') continue;
    LONG j = i + 1;
    while (j < len && !EndsContextWord(CharAt(j))) ++j;
    if (wordStart) *wordStart = i;
    if (wordEnd) *wordEnd = j;
    std::string word = GetTextRange(i, j);
    if (owner_->MatchComments(word)) return kContextComment;
    if (owner_->MatchGrayText(word)) return kContextGrayText;
    return kContextTag;  // a known tag or any word that begins with "<"
  }
  return kContextOutside;
}

int SyntaxRichEdit::WordClassAtCaret(LONG* wordStart, LONG* wordEnd) {
  CHARRANGE cr;
  GetSel(cr);
  LONG len = GetTextLength();
  LONG caret = std::clamp<LONG>(cr.cpMax, 0, len);
  LONG tagStart = -1;
  DWORD ctx = ContextAt(caret, &tagStart);
  LONG s = caret;
  while (s > 0 && !EndsCaretWord(CharAt(s - 1))) --s;
  if (s > 0 && CharAt(s - 1) == '<') --s;
  LONG e = caret;
  while (e < len && !EndsCaretWord(CharAt(e))) ++e;
  if (wordStart) *wordStart = s;
  if (wordEnd) *wordEnd = e;
  std::string word = GetTextRange(s, e);
  if (ctx == kContextComment || ctx == kContextGrayText) {
    if (owner_->MatchComments(word) || owner_->MatchGrayText(word)) return kWordOther;
  }
  if (!word.empty() && word[0] == '<')
    return owner_->MatchPrimary(word) ? kWordKnownTag : kWordUnknownTag;
  if (ctx != kContextTag) return kWordOther;
  // Within quotes: the quotes before the caret, from the tag word on, pair up or leave one open.
  char open = 0;
  for (LONG i = tagStart + 1; i < caret; ++i) {
    char c = CharAt(i);
    if (open ? c == open : IsQuote(c)) open = open ? 0 : c;
  }
  if (open) return kWordQuoted;
  if (word.empty()) return kWordOther;
  // A word right after "=" (blanks between allowed) is a value, not an attribute name, even
  // when it reads like one ("TEXT" in TYPE=TEXT).
  LONG v = s;
  while (v > tagStart + 1 && halyard::IsSpaceTabCrLf(CharAt(v - 1))) --v;
  if (v > tagStart + 1 && CharAt(v - 1) == '=') return kWordOther;
  return owner_->MatchSecondary(word) ? kWordKnownAttribute : kWordUnknownAttribute;
}

void SyntaxRichEdit::RecolourAttributeName(LONG a, LONG e) {
  if (a >= e) return;
  ColourRange(a, e, kKeyColour);
  ColourHidden(a, e);
}

void SyntaxRichEdit::AfterTyped(LONG p, LONG n, unsigned char ch) {
  LONG len = GetTextLength();
  if (RunsOnAt(p)) {
    // Past the "<" that ended an open comment everything is green, whatever is typed.
    ColourRange(p, p + n, kCommentColour);
    ColourHidden(p, p + n);
    return;
  }
  LONG tagStart = -1, wordEnd = -1;
  DWORD ctx = ContextAt(p, &tagStart, &wordEnd);
  if (ctx == kContextComment || ctx == kContextGrayText) {
    if (ch == '>') {
      ColourRange(p, p + n, ctx == kContextComment ? kCommentColour : kGrayTextColour);
      PassToEnd(p + n);
      ResetCaretColour();
    } else if (ch == '<' && p >= wordEnd) {
      // The "<" ends the open comment before any ">": from it on the text is green.
      Overwritten(p);
      ColourRange(p, len, kCommentColour);
      ColourHidden(p, len);
    } else if (p < wordEnd) {
      // Still typing the opening word ("<!-" becoming "<!--"): the tag is what changed.
      RecolourTagSpan(tagStart, TagSpanEnd(tagStart + 1));
    } else {
      // No colour around it changes; the new character itself takes the span's colour rather
      // than that of a hidden field it was typed right after.
      ColourRange(p, p + n, ctx == kContextComment ? kCommentColour : kGrayTextColour);
      ColourHidden(p, p + n);
    }
    return;
  }
  if (ch == '<') {
    if (ctx == kContextTag) {
      RecolourTagSpan(tagStart, p);
    } else {
      // The word the "<" cut off may have been a character reference.
      LONG a = p;
      while (a > 0 && !EndsTextWord(CharAt(a - 1))) --a;
      RecolourTextSpan(a, p);
    }
    RecolourTagSpan(p, TagSpanEnd(p + 1));
    return;
  }
  if (ch == '>') {
    if (ctx == kContextTag) {
      RecolourTagSpan(tagStart, p + n);
    } else {
      LONG from = p;
      while (from > 0 && CharAt(from - 1) != '>' && CharAt(from - 1) != '<') --from;
      RecolourTextSpan(from, p + n);
    }
    // What followed the ">" is text now, up to the next tag.
    LONG next = FindChar('<', p + n, len);
    RecolourTextSpan(p + n, next < 0 ? len : next);
    ResetCaretColour();
    return;
  }
  if (ctx == kContextTag) {
    // A character that went into a word: a known attribute name is all that changed, as no
    // other word of the tag reads differently for it.
    if (!EndsCaretWord(static_cast<char>(ch))) {
      LONG ws = p, we = p + n;
      if (WordClassAtCaret(&ws, &we) == kWordKnownAttribute) {
        RecolourAttributeName(ws, we);
        return;
      }
    }
    // A known or unknown tag word, an unknown attribute name, a value, "=", a quote or the
    // blanks between words changed: the tag is recoloured as a whole. That covers each of these
    // keystrokes (the value after "=", a closing or opening quote, a blank splitting two words)
    // and gives the colours a full pass would.
    RecolourTagSpan(tagStart, TagSpanEnd(tagStart + 1));
    return;
  }
  LONG a = p;
  while (a > 0 && !EndsTextWord(CharAt(a - 1))) --a;
  LONG b = p + n;
  while (b < len && !EndsTextWord(CharAt(b))) ++b;
  RecolourTextSpan(a, b);
}

// ---- protection and recording ----

CHARRANGE SyntaxRichEdit::UndoSpan() const {
  return CHARRANGE{lastChangePos_, lastChangePos_ + lastChangeInserted_};
}

bool SyntaxRichEdit::PasteFits() {
  std::string text;
  if (!halyard::user::Clipboard::GetText(text)) return true;  // nothing to paste
  text.resize(std::strlen(text.c_str()));
  CHARRANGE sel;
  GetSel(sel);
  LONG room = GetLimitText() - (GetTextLength() - (sel.cpMax - sel.cpMin));
  return static_cast<LONG>(text.size()) <= room;
}

bool SyntaxRichEdit::DialogKey(int vk) {
  if (vk == VK_ESCAPE) {
    if (CWnd* dlg = owner_->GetDialog()) dlg->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    return true;
  }
  if (vk == VK_TAB && GetKeyState(VK_CONTROL) >= 0 && (owner_->GetStyle() & WS_TABSTOP)) {
    CWnd* dlg = owner_->GetDialog();
    if (!dlg) return false;
    HWND next = GetNextDlgTabItem(dlg->m_hWnd, owner_->m_hWnd, GetKeyState(VK_SHIFT) < 0);
    if (next) ::SetFocus(next);
    swallowTab_ = true;
    return true;
  }
  return false;
}

bool SyntaxRichEdit::Refused(CHARRANGE cr) {
  return owner_->IsInProtectedRange(cr) || (owner_->IsInHiddenField(cr) & 6);
}

void SyntaxRichEdit::SetProtect(bool on) {
  CHARRANGE cr;
  GetSel(cr);
  if (on && !protectOn_) {
    protectOn_ = true;
    protectMark_ = cr.cpMin;
  } else if (!on && protectOn_) {
    protectOn_ = false;
    if (protectMark_ != cr.cpMax)
      owner_->AddProtectRange(std::min(protectMark_, cr.cpMax), std::max(protectMark_, cr.cpMax));
    protectMark_ = 0;
  }
}

void SyntaxRichEdit::OnTextChanged(LONG pos, LONG removed, LONG inserted) {
  LONG delta = inserted - removed;
  if (delta != 0) owner_->OffsetProtectField(pos, delta);
  if (protectOn_ && pos < protectMark_) protectMark_ = std::max(pos, protectMark_ + delta);
  // Formats are brought up to date before any change reaches into what is left for later, so
  // that part only moves with the text.
  if (pendingFrom_ >= 0 && pos + removed <= pendingFrom_) {
    pendingFrom_ += delta;
    pendingShift_ += delta;
  } else if (pendingFrom_ >= 0) {
    pendingFrom_ = pos;  // not reached: the control settles formats up to a change first
  }
  ++changeSerial_;
  lastChangePos_ = pos;
  lastChangeInserted_ = inserted;
}

LRESULT SyntaxRichEdit::EditAndRecolour(UINT msg, WPARAM wParam, LPARAM lParam) {
  unsigned serial = changeSerial_;
  LRESULT r = CRichEditCtrl::WindowProc(msg, wParam, lParam);
  if (serial != changeSerial_) RecolourChange(lastChangePos_, lastChangePos_ + lastChangeInserted_);
  return r;
}

LRESULT SyntaxRichEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT: {
      BeginWaitCursor();
      DropPending();  // the whole text is coloured anew
      BOOL wasVisible = ShowWindow(SW_HIDE);
      CRichEditCtrl::WindowProc(WM_SETTEXT, wParam, lParam);
      FullPass(0, GetTextLength());
      SetSel(0, 0);
      if (wasVisible) ShowWindow(SW_SHOW);
      EndWaitCursor();
      return TRUE;
    }
    case WM_CHAR: {
      unsigned char ch = static_cast<unsigned char>(wParam & 0xFF);
      if (std::exchange(swallowTab_, false) && ch == '\t') return 0;
      if (ch == 0x1B) return 0;  // Escape went to the dialog
      bool inserts = ch >= 0x20 || ch == '\t' || ch == '\r' || ch == '\n';
      if (!inserts) return CRichEditCtrl::WindowProc(msg, wParam, lParam);
      CHARRANGE sel;
      GetSel(sel);
      if (Refused(sel)) {
        MessageBeep(MB_OK);
        return 0;
      }
      unsigned serial = changeSerial_;
      CRichEditCtrl::WindowProc(msg, wParam, lParam);
      if (serial == changeSerial_) return 0;
      if (sel.cpMin == sel.cpMax)
        AfterTyped(lastChangePos_, lastChangeInserted_, ch);
      else
        RecolourChange(lastChangePos_, lastChangePos_ + lastChangeInserted_);
      return 0;
    }
    case WM_KEYDOWN: {
      int vk = static_cast<int>(wParam);
      swallowTab_ = false;
      if (DialogKey(vk)) return 0;
      bool ctrl = GetKeyState(VK_CONTROL) < 0;
      bool edits =
          vk == VK_DELETE || vk == VK_BACK || (ctrl && (vk == 'X' || vk == 'V' || vk == 'Z'));
      if (edits) {
        CHARRANGE sel;
        GetSel(sel);
        // Undo takes out what the last change put in and puts back what it took: that span
        // may have been protected since.
        CHARRANGE check = vk == 'Z' ? UndoSpan() : sel;
        // A lone Delete or Backspace removes the character beside the caret: that character
        // is what must not be protected or hidden.
        if (sel.cpMin == sel.cpMax && (vk == VK_DELETE || vk == VK_BACK)) {
          LONG c = sel.cpMin;
          if (vk == VK_DELETE && c < GetTextLength()) {
            LONG n = (CharAt(c) == '\r' && CharAt(c + 1) == '\n') ? 2 : 1;
            check = CHARRANGE{c, c + n};
          } else if (vk == VK_BACK && c > 0) {
            LONG n = (c >= 2 && CharAt(c - 2) == '\r' && CharAt(c - 1) == '\n') ? 2 : 1;
            check = CHARRANGE{c - n, c};
          }
        }
        if (Refused(check) || (ctrl && vk == 'V' && !PasteFits())) {
          MessageBeep(MB_OK);
          return 0;
        }
      }
      unsigned serial = changeSerial_;
      CRichEditCtrl::WindowProc(msg, wParam, lParam);
      if (serial != changeSerial_)
        RecolourChange(lastChangePos_, lastChangePos_ + lastChangeInserted_);
      return 0;
    }
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR: {
      CHARRANGE sel;
      GetSel(sel);
      if (Refused(sel)) return 0;
      if (msg == WM_PASTE && !PasteFits()) {
        MessageBeep(MB_OK);
        return 0;
      }
      return EditAndRecolour(msg, wParam, lParam);
    }
    case EM_UNDO:
    case WM_UNDO:
      if (CanUndo() && Refused(UndoSpan())) return 0;
      return EditAndRecolour(msg, wParam, lParam);
    case WM_TIMER:
      if (wParam != kColourTimer) return CRichEditCtrl::WindowProc(msg, wParam, lParam);
      if (pendingFrom_ < 0)
        KillTimer(m_hWnd, kColourTimer);
      else
        ContinuePass(pendingFrom_ + kSliceChars);
      return 0;
    default:
      return CRichEditCtrl::WindowProc(msg, wParam, lParam);
  }
}
