#include "rich_edit_ctrl.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "clipboard.h"
#include "desktop.h"
#include "gdi.h"
#include "timer.h"
#include "update_region.h"

using halyard::user::FormatRuns;

namespace {

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0xC0; }

unsigned char Fold(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

}  // namespace

bool CRichEditCtrl::Format::operator==(const Format& o) const {
  return effects == o.effects && height == o.height && offset == o.offset && colour == o.colour &&
         charset == o.charset && pitch == o.pitch && face == o.face;
}

size_t CRichEditCtrl::FormatHash::operator()(const Format& f) const {
  size_t h = f.effects;
  h = h * 1000003u ^ static_cast<size_t>(f.height);
  h = h * 1000003u ^ static_cast<size_t>(f.offset);
  h = h * 1000003u ^ f.colour;
  h = h * 1000003u ^ (static_cast<size_t>(f.charset) << 8 | f.pitch);
  for (char c : f.face) {
    if (!c) break;
    h = h * 131u ^ static_cast<unsigned char>(c);
  }
  return h;
}

CRichEditCtrl::CRichEditCtrl() {
  Format f;
  f.effects = CFE_AUTOCOLOR;
  f.height = 200;
  std::strcpy(f.face.data(), "Arial");
  default_ = Intern(f);
}

CRichEditCtrl::~CRichEditCtrl() {
  for (FontSlot& s : slots_) DeleteObject(s.font);
}

BOOL CRichEditCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, "", style, rect, parent, id);
}

void CRichEditCtrl::OnTextChanged(LONG, LONG, LONG) {}

UINT CRichEditCtrl::Intern(const Format& f) {
  auto it = formatIndex_.find(f);
  if (it != formatIndex_.end()) return it->second;
  UINT idx = static_cast<UINT>(formats_.size());
  formats_.push_back(f);
  formatIndex_.emplace(f, idx);
  return idx;
}

UINT CRichEditCtrl::Transform(UINT fmt, const CHARFORMAT& cf) {
  ColourCacheEntry* slot = nullptr;
  std::uint64_t key = 0;
  if (cf.dwMask == CFM_COLOR) {
    key = (static_cast<std::uint64_t>(fmt) << 32) | (cf.crTextColor & 0xFFFFFF) |
          ((cf.dwEffects & CFE_AUTOCOLOR) ? 0x80000000u : 0);
    slot = &colourCache_[(fmt * 31u + cf.crTextColor * 7u + (cf.crTextColor >> 16)) & 255u];
    if (slot->key == key) return slot->out;
  }
  UINT out = TransformUncached(fmt, cf);
  if (slot) *slot = ColourCacheEntry{key, out};
  return out;
}

UINT CRichEditCtrl::TransformUncached(UINT fmt, const CHARFORMAT& cf) {
  Format f = formats_[fmt];
  const DWORD flagBits = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED;
  DWORD m = cf.dwMask;
  f.effects = (f.effects & ~(m & flagBits)) | (cf.dwEffects & m & flagBits);
  if (m & CFM_COLOR) {
    f.effects = (f.effects & ~CFE_AUTOCOLOR) | (cf.dwEffects & CFE_AUTOCOLOR);
    f.colour = cf.crTextColor;
  }
  if (m & CFM_SIZE) f.height = cf.yHeight;
  if (m & CFM_OFFSET) f.offset = cf.yOffset;
  if (m & CFM_CHARSET) f.charset = cf.bCharSet;
  if (m & CFM_FACE) {
    f.face.fill('\0');
    f.pitch = cf.bPitchAndFamily;
    size_t n = strnlen(cf.szFaceName, LF_FACESIZE - 1);
    std::memcpy(f.face.data(), cf.szFaceName, n);
  }
  return f == formats_[fmt] ? fmt : Intern(f);
}

void CRichEditCtrl::Fill(const Format& f, DWORD mask, CHARFORMAT& cf) const {
  cf.dwMask = mask;
  cf.dwEffects = f.effects;
  cf.yHeight = f.height;
  cf.yOffset = f.offset;
  cf.crTextColor = f.colour;
  cf.bCharSet = f.charset;
  cf.bPitchAndFamily = f.pitch;
  std::memcpy(cf.szFaceName, f.face.data(), LF_FACESIZE);
}

COLORREF CRichEditCtrl::EffectiveColour(UINT fmt) const {
  const Format& f = formats_[fmt];
  return (f.effects & CFE_AUTOCOLOR) ? 0 : f.colour;
}

COLORREF CRichEditCtrl::ColorAt(LONG pos) const {
  if (pos < 0 || pos >= GetTextLength()) return EffectiveColour(default_);
  Settle(pos + 1);
  return EffectiveColour(runs_.At(pos));
}

char CRichEditCtrl::CharAt(LONG pos) const {
  if (pos < 0 || pos >= GetTextLength()) return '\0';
  return text_.at(static_cast<size_t>(pos));
}

std::string CRichEditCtrl::GetTextRange(LONG start, LONG end) const {
  LONG len = GetTextLength();
  start = std::clamp<LONG>(start, 0, len);
  end = std::clamp<LONG>(end, start, len);
  return text_.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

LONG CRichEditCtrl::FindChar(char c, LONG from, LONG to) const {
  if (from < 0) from = 0;
  if (to > GetTextLength()) to = GetTextLength();
  if (from >= to) return -1;
  size_t p = text_.find(c, static_cast<size_t>(from), static_cast<size_t>(to));
  return p == halyard::user::GapText::npos ? -1 : static_cast<LONG>(p);
}

UINT CRichEditCtrl::InsertionFormat(LONG a, LONG b) const {
  Settle(std::max<LONG>(a, 0) + 1);
  if (a < b) return runs_.At(a);
  if (pending_) return pendingFmt_;
  if (a > 0) return runs_.At(a - 1);
  if (GetTextLength() > 0) return runs_.At(0);
  return default_;
}

void CRichEditCtrl::Select(LONG anchor, LONG caret) {
  LONG len = GetTextLength();
  anchor = std::clamp<LONG>(anchor, 0, len);
  caret = std::clamp<LONG>(caret, 0, len);
  if (anchor != anchor_ || caret != caret_) pending_ = false;
  LONG oldMin = SelMin(), oldMax = SelMax(), oldCaret = caret_;
  anchor_ = anchor;
  caret_ = caret;
  InvalidateSelection(oldMin, oldMax, oldCaret);
}

void CRichEditCtrl::ReplaceRange(LONG a, LONG b, const std::string& text, UINT fmt) {
  LONG len = GetTextLength();
  a = std::clamp<LONG>(a, 0, len);
  b = std::clamp<LONG>(b, a, len);
  Settle(b);
  UndoRecord rec;
  rec.valid = true;
  rec.pos = a;
  rec.removed = text_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
  rec.removedRuns = runs_.Extract(a, b - a);
  rec.inserted = static_cast<LONG>(text.size());
  text_.erase(static_cast<size_t>(a), static_cast<size_t>(b - a));
  runs_.Erase(a, b - a);
  text_.insert(static_cast<size_t>(a), text.data(), text.size());
  runs_.Insert(a, static_cast<LONG>(text.size()), fmt);
  undo_ = std::move(rec);
  pending_ = false;
  anchor_ = caret_ = a + static_cast<LONG>(text.size());
  TextMoved(a, b - a, text);
  OnTextChanged(a, b - a, static_cast<LONG>(text.size()));
}

bool CRichEditCtrl::FitToLimit(std::string& text, LONG replaced) const {
  LONG room = limit_ - (GetTextLength() - replaced);
  if (room <= 0) return text.empty();
  if (static_cast<LONG>(text.size()) > room) text.resize(static_cast<size_t>(room));
  return true;
}

LRESULT CRichEditCtrl::DoUndo() {
  if (!undo_.valid) return FALSE;
  UndoRecord rec = std::move(undo_);
  LONG a = rec.pos;
  LONG b = std::min(a + rec.inserted, GetTextLength());
  Settle(b);
  UndoRecord redo;
  redo.valid = true;
  redo.pos = a;
  redo.removed = text_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
  redo.removedRuns = runs_.Extract(a, b - a);
  redo.inserted = static_cast<LONG>(rec.removed.size());
  text_.erase(static_cast<size_t>(a), static_cast<size_t>(b - a));
  runs_.Erase(a, b - a);
  text_.insert(static_cast<size_t>(a), rec.removed.data(), rec.removed.size());
  runs_.InsertRuns(a, rec.removedRuns);
  undo_ = std::move(redo);
  pending_ = false;
  anchor_ = a;
  caret_ = a + static_cast<LONG>(rec.removed.size());
  TextMoved(a, b - a, rec.removed);
  OnTextChanged(a, b - a, static_cast<LONG>(rec.removed.size()));
  return TRUE;
}

void CRichEditCtrl::DoCopy() {
  if (SelMin() < SelMax()) halyard::user::Clipboard::SetText(GetTextRange(SelMin(), SelMax()));
}

void CRichEditCtrl::DoCut() {
  if (IsReadOnly() || SelMin() == SelMax()) return;
  DoCopy();
  ReplaceRange(SelMin(), SelMax(), std::string(), default_);
}

void CRichEditCtrl::DoClear() {
  if (IsReadOnly() || SelMin() == SelMax()) return;
  ReplaceRange(SelMin(), SelMax(), std::string(), default_);
}

void CRichEditCtrl::DoPaste() {
  std::string text;
  if (IsReadOnly() || !halyard::user::Clipboard::GetText(text)) return;
  if (!FitToLimit(text, SelMax() - SelMin())) {
    MessageBeep(MB_OK);
    return;
  }
  ReplaceRange(SelMin(), SelMax(), text, InsertionFormat(SelMin(), SelMax()));
}

LRESULT CRichEditCtrl::SetCharFormat(WPARAM scope, const CHARFORMAT* cf) {
  if (!cf || cf->cbSize != sizeof(CHARFORMAT)) return 0;
  // Widths may change from the first character changed on; the default font sets the tabs.
  ForgetMarks((scope & SCF_SELECTION) && !(scope & SCF_ALL) ? SelMin() : -1);
  if (scope & SCF_ALL) {
    Settle(GetTextLength());
    runs_.Apply(0, runs_.size(), [&](UINT f) { return Transform(f, *cf); });
    default_ = Transform(default_, *cf);
    return 1;
  }
  if (scope & SCF_SELECTION) {
    LONG a = SelMin(), b = SelMax();
    if (a == b) {
      pendingFmt_ = Transform(InsertionFormat(a, b), *cf);
      pending_ = true;
    } else {
      Settle(b);
      // The same few formats come back again and again over a range: remember the answers.
      UINT lastIn = ~0u, lastOut = 0;
      runs_.Apply(a, b, [&](UINT f) {
        if (f != lastIn) {
          lastIn = f;
          lastOut = Transform(f, *cf);
        }
        return lastOut;
      });
    }
    return 1;
  }
  default_ = Transform(default_, *cf);
  return 1;
}

void CRichEditCtrl::FormatRangeKeepingSelection(LONG a, LONG b, const CHARFORMAT& cf) {
  LONG len = GetTextLength();
  a = std::clamp<LONG>(a, 0, len);
  b = std::clamp<LONG>(b, a, len);
  if (a == b) return;
  Settle(b);
  LONG oldMin = SelMin(), oldMax = SelMax();
  // Selecting the range forgets the insertion point's pending format.
  if (anchor_ != a || caret_ != b) pending_ = false;
  ForgetMarks(a);
  UINT lastIn = ~0u, lastOut = 0;
  auto transform = [&](UINT f) {
    if (f != lastIn) {
      lastIn = f;
      lastOut = Transform(f, cf);
    }
    return lastOut;
  };
  LONG s = a, e = a;  // the part within a batch
  if (batch_.on) {
    s = std::clamp<LONG>(a, batch_.start, batch_.start + static_cast<LONG>(batch_.formats.size()));
    e = std::clamp<LONG>(b, s, batch_.start + static_cast<LONG>(batch_.formats.size()));
    for (LONG p = s; p < e; ++p) {
      UINT& f = batch_.formats[static_cast<size_t>(p - batch_.start)];
      f = transform(f);
    }
  }
  if (s == e) {
    runs_.Apply(a, b, transform);
  } else {
    if (a < s) runs_.Apply(a, s, transform);
    if (e < b) runs_.Apply(e, b, transform);
  }
  if (!wholeInvalid_ && !(s == a && e == b)) InvalidateLines(LineFromChar(a), LineFromChar(b));
  Select(oldMin, oldMax);
}

void CRichEditCtrl::BeginFormatBatch(LONG a, LONG b) {
  EndFormatBatch();
  LONG len = GetTextLength();
  a = std::clamp<LONG>(a, 0, len);
  b = std::clamp<LONG>(b, a, len);
  if (a == b) return;
  Settle(b);
  batch_.on = true;
  batch_.start = a;
  batch_.formats.resize(static_cast<size_t>(b - a));
  runs_.ForEach(a, b, [&](LONG s, LONG e, UINT f) {
    std::fill(batch_.formats.begin() + (s - a), batch_.formats.begin() + (e - a), f);
  });
}

void CRichEditCtrl::EndFormatBatch() {
  if (!batch_.on) return;
  batch_.on = false;
  std::vector<FormatRuns::Run> runs;
  for (UINT f : batch_.formats) {
    if (!runs.empty() && runs.back().fmt == f)
      ++runs.back().len;
    else
      runs.push_back(FormatRuns::Run{1, f});
  }
  LONG a = batch_.start, b = a + static_cast<LONG>(batch_.formats.size());
  runs_.Replace(a, runs);
  ForgetMarks(a);
  batch_.formats = std::vector<UINT>();
  if (!wholeInvalid_) InvalidateLines(LineFromChar(a), LineFromChar(b));
}

LRESULT CRichEditCtrl::GetCharFormat(WPARAM scope, CHARFORMAT* cf) {
  if (!cf || cf->cbSize != sizeof(CHARFORMAT)) return 0;
  if (!(scope & SCF_SELECTION)) {
    Fill(formats_[default_], CFM_ALL, *cf);
    return CFM_ALL;
  }
  LONG a = SelMin(), b = SelMax();
  if (a == b) {
    Fill(formats_[InsertionFormat(a, b)], CFM_ALL, *cf);
    return CFM_ALL;
  }
  Settle(b);
  const Format& first = formats_[runs_.At(a)];
  DWORD mask = CFM_ALL;
  runs_.ForEach(a, b, [&](LONG, LONG, UINT fi) {
    const Format& f = formats_[fi];
    DWORD diff = f.effects ^ first.effects;
    mask &= ~(diff & (CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED));
    if ((diff & CFE_AUTOCOLOR) || f.colour != first.colour) mask &= ~CFM_COLOR;
    if (f.height != first.height) mask &= ~CFM_SIZE;
    if (f.offset != first.offset) mask &= ~CFM_OFFSET;
    if (f.charset != first.charset) mask &= ~CFM_CHARSET;
    if (f.face != first.face || f.pitch != first.pitch) mask &= ~CFM_FACE;
  });
  Fill(first, mask, *cf);
  return mask;
}

LRESULT CRichEditCtrl::Find(DWORD flags, FINDTEXTEX* find) {
  if (!find || !find->lpstrText) return -1;
  LONG len = GetTextLength();
  LONG from = std::clamp<LONG>(find->chrg.cpMin, 0, len);
  LONG to = find->chrg.cpMax < 0 ? len : std::clamp<LONG>(find->chrg.cpMax, 0, len);
  std::string needle = find->lpstrText;
  LONG n = static_cast<LONG>(needle.size());
  if (n == 0) return -1;
  bool matchCase = (flags & FR_MATCHCASE) != 0;
  bool whole = (flags & FR_WHOLEWORD) != 0;
  for (LONG p = from; p + n <= to; ++p) {
    bool ok = true;
    for (LONG i = 0; i < n && ok; ++i) {
      unsigned char c = static_cast<unsigned char>(text_.at(static_cast<size_t>(p + i)));
      unsigned char d = static_cast<unsigned char>(needle[static_cast<size_t>(i)]);
      ok = matchCase ? c == d : Fold(c) == Fold(d);
    }
    if (!ok) continue;
    if (whole) {
      if (p > 0 && IsWordChar(static_cast<unsigned char>(CharAt(p - 1)))) continue;
      if (p + n < len && IsWordChar(static_cast<unsigned char>(CharAt(p + n)))) continue;
    }
    find->chrgText.cpMin = p;
    find->chrgText.cpMax = p + n;
    return p;
  }
  return -1;
}

LONG CRichEditCtrl::PrevPos(LONG p) const {
  if (p <= 0) return 0;
  if (p >= 2 && CharAt(p - 2) == '\r' && CharAt(p - 1) == '\n') return p - 2;
  return p - 1;
}

LONG CRichEditCtrl::NextPos(LONG p) const {
  LONG len = GetTextLength();
  if (p >= len) return len;
  if (CharAt(p) == '\r' && CharAt(p + 1) == '\n') return p + 2;
  return p + 1;
}

LONG CRichEditCtrl::LineStart(LONG p) const {
  while (p > 0 && CharAt(p - 1) != '\n' && CharAt(p - 1) != '\r') --p;
  return p;
}

LONG CRichEditCtrl::LineEnd(LONG p) const {
  LONG len = GetTextLength();
  while (p < len && CharAt(p) != '\n' && CharAt(p) != '\r') ++p;
  return p;
}

void CRichEditCtrl::OnKeyDown(int vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  LONG len = GetTextLength();
  LONG target = -1;
  switch (vk) {
    case VK_LEFT:
      if (!shift && SelMin() != SelMax())
        target = SelMin();
      else if (ctrl) {
        LONG p = caret_;
        while (p > 0 && !IsWordChar(static_cast<unsigned char>(CharAt(p - 1)))) --p;
        while (p > 0 && IsWordChar(static_cast<unsigned char>(CharAt(p - 1)))) --p;
        target = p;
      } else
        target = PrevPos(caret_);
      break;
    case VK_RIGHT:
      if (!shift && SelMin() != SelMax())
        target = SelMax();
      else if (ctrl) {
        LONG p = caret_;
        while (p < len && IsWordChar(static_cast<unsigned char>(CharAt(p)))) ++p;
        while (p < len && !IsWordChar(static_cast<unsigned char>(CharAt(p)))) ++p;
        target = p;
      } else
        target = NextPos(caret_);
      break;
    case VK_HOME:
      target = ctrl ? 0 : LineStart(caret_);
      break;
    case VK_END:
      target = ctrl ? len : LineEnd(caret_);
      break;
    case VK_UP:
    case VK_DOWN: {
      LONG ls = LineStart(caret_);
      LONG col = caret_ - ls;
      LONG start;
      if (vk == VK_UP) {
        if (ls == 0) {
          target = caret_;
          break;
        }
        start = LineStart(PrevPos(ls));
      } else {
        LONG le = LineEnd(caret_);
        if (le >= len) {
          target = caret_;
          break;
        }
        start = NextPos(le);
      }
      target = std::min(start + col, LineEnd(start));
      break;
    }
    case VK_PRIOR:
    case VK_NEXT: {
      // A page up or down: the view and the caret move by the lines the view shows.
      LONG page = VisibleLineCount() * (vk == VK_PRIOR ? -1 : 1);
      LONG line = LineFromChar(caret_);
      LONG to = std::clamp<LONG>(line + page, 0, GetLineCount() - 1);
      LONG start, end;
      LineSpan(to, start, end);
      target = std::min(start + (caret_ - LineIndex(line)), end);
      ScrollToLine(topLine_ + page);
      break;
    }
    case VK_DELETE:
    case VK_BACK: {
      if (IsReadOnly()) {
        MessageBeep(MB_OK);
        return;
      }
      LONG a = SelMin(), b = SelMax();
      if (a == b) {
        if (vk == VK_DELETE)
          b = NextPos(a);
        else
          a = PrevPos(a);
      }
      if (a < b) ReplaceRange(a, b, std::string(), default_);
      return;
    }
    default:
      if (ctrl) {
        switch (vk) {
          case 'X':
            DoCut();
            break;
          case 'C':
          case VK_INSERT:
            DoCopy();
            break;
          case 'V':
            DoPaste();
            break;
          case 'Z':
            DoUndo();
            break;
          case 'A':
            Select(0, len);
            break;
        }
      }
      return;
  }
  if (target < 0) return;
  if (shift)
    Select(anchor_, target);
  else
    Select(target, target);
}

void CRichEditCtrl::OnChar(unsigned char ch) {
  // Control characters other than tab and the line breaks are commands, not text.
  if (ch < 0x20 && ch != '\t' && ch != '\r' && ch != '\n') return;
  if (IsReadOnly()) {
    MessageBeep(MB_OK);
    return;
  }
  std::string text = ch == '\r' ? std::string("\r\n") : std::string(1, static_cast<char>(ch));
  LONG a = SelMin(), b = SelMax();
  if (GetTextLength() - (b - a) + static_cast<LONG>(text.size()) > limit_) {
    MessageBeep(MB_OK);
    return;
  }
  ReplaceRange(a, b, text, InsertionFormat(a, b));
}

LRESULT CRichEditCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  EndFormatBatch();
  switch (msg) {
    case WM_PRINTCLIENT:
      if (wParam) Paint(*reinterpret_cast<CDC*>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_SETCURSOR:
      return OnMouse(msg, wParam, lParam);
    case WM_VSCROLL:
    case WM_HSCROLL:
    case EM_LINESCROLL:
    case EM_SCROLLCARET:
    case EM_GETFIRSTVISIBLELINE:
      return OnScroll(msg, wParam, lParam);
    case WM_TIMER:
      if (wParam != kCaretTimer) return WindowProcModel(msg, wParam, lParam);
      if (CWnd::GetFocus() != this) {
        KillTimer(m_hWnd, kCaretTimer);
        return 0;
      }
      // Blinking repaints the caret's own rectangle, nothing else.
      if (GetCaretBlinkTime() == 0xFFFFFFFFu) {
        KillTimer(m_hWnd, kCaretTimer);
        if (caretShown_) return 0;
      }
      caretShown_ = !caretShown_;
      InvalidateCaret();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      caretShown_ = true;
      if (msg == WM_SETFOCUS)
        StartBlink();
      else
        KillTimer(m_hWnd, kCaretTimer);
      WindowProcModel(msg, wParam, lParam);
      InvalidateAll();
      return 0;
    case EM_SETCHARFORMAT: {
      // A change of the selection's format repaints its lines; of the default or of all the
      // text, everything.
      LRESULT r = WindowProcModel(msg, wParam, lParam);
      if (!r) return r;
      if ((wParam & SCF_SELECTION) && !(wParam & SCF_ALL)) {
        if (SelMin() < SelMax() && !wholeInvalid_)
          InvalidateLines(LineFromChar(SelMin()), LineFromChar(SelMax()));
      } else {
        InvalidateAll();
      }
      return r;
    }
    case WM_SIZE:
    case EM_SETBKGNDCOLOR:
    case EM_SETREADONLY: {
      LRESULT r = WindowProcModel(msg, wParam, lParam);
      if (msg == WM_SIZE) ScrollToLine(topLine_);
      InvalidateAll();
      return r;
    }
    case WM_KEYDOWN:
    case WM_CHAR: {
      LRESULT r = WindowProcModel(msg, wParam, lParam);
      ScrollCaretIntoView();
      RestartBlink();
      return r;
    }
    default:
      return WindowProcModel(msg, wParam, lParam);
  }
}

LRESULT CRichEditCtrl::WindowProcModel(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT: {
      const char* s = lParam ? reinterpret_cast<const char*>(lParam) : "";
      size_t n = std::strlen(s);
      text_.assign(s, n);
      runs_.Assign(static_cast<LONG>(n), default_);
      undo_ = UndoRecord();
      pending_ = false;
      anchor_ = caret_ = 0;
      TextReset();
      return TRUE;
    }
    case WM_GETTEXT: {
      char* buf = reinterpret_cast<char*>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min<size_t>(text_.size(), wParam - 1);
      std::string s = text_.substr(0, n);
      std::memcpy(buf, s.data(), n);
      buf[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return GetTextLength();
    case EM_EXGETSEL: {
      auto* cr = reinterpret_cast<CHARRANGE*>(lParam);
      if (cr) *cr = CHARRANGE{SelMin(), SelMax()};
      return 0;
    }
    case EM_EXSETSEL: {
      auto* cr = reinterpret_cast<CHARRANGE*>(lParam);
      if (!cr) return SelMax();
      LONG len = GetTextLength();
      if (cr->cpMin == 0 && cr->cpMax == -1)
        Select(0, len);
      else if (cr->cpMin < 0)
        Select(SelMax(), SelMax());
      else
        Select(cr->cpMin, cr->cpMax < 0 ? len : cr->cpMax);
      return SelMax();
    }
    case EM_GETSEL: {
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(SelMin());
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(SelMax());
      return static_cast<LRESULT>((static_cast<DWORD>(SelMax()) << 16) |
                                  (static_cast<DWORD>(SelMin()) & 0xFFFF));
    }
    case EM_SETSEL: {
      LONG a = static_cast<LONG>(static_cast<std::intptr_t>(wParam));
      LONG b = static_cast<LONG>(lParam);
      LONG len = GetTextLength();
      if (a == 0 && b == -1)
        Select(0, len);
      else if (a < 0)
        Select(SelMax(), SelMax());
      else
        Select(a, b < 0 ? len : b);
      return 0;
    }
    case EM_REPLACESEL: {
      std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      LONG a = SelMin(), b = SelMax();
      UINT fmt = InsertionFormat(a, b);
      if (!FitToLimit(text, b - a)) return 0;
      ReplaceRange(a, b, text, fmt);
      // A replacement that may not be undone leaves nothing to undo.
      if (!wParam) undo_ = UndoRecord();
      return 0;
    }
    case EM_GETSELTEXT: {
      char* buf = reinterpret_cast<char*>(lParam);
      std::string s = GetTextRange(SelMin(), SelMax());
      if (buf) {
        std::memcpy(buf, s.data(), s.size());
        buf[s.size()] = '\0';
      }
      return static_cast<LRESULT>(s.size());
    }
    case EM_GETTEXTRANGE: {
      auto* tr = reinterpret_cast<TEXTRANGE*>(lParam);
      if (!tr || !tr->lpstrText) return 0;
      LONG end = tr->chrg.cpMax < 0 ? GetTextLength() : tr->chrg.cpMax;
      std::string s = GetTextRange(tr->chrg.cpMin, end);
      std::memcpy(tr->lpstrText, s.data(), s.size());
      tr->lpstrText[s.size()] = '\0';
      return static_cast<LRESULT>(s.size());
    }
    case EM_SETCHARFORMAT:
      return SetCharFormat(wParam, reinterpret_cast<const CHARFORMAT*>(lParam));
    case EM_GETCHARFORMAT:
      return GetCharFormat(wParam, reinterpret_cast<CHARFORMAT*>(lParam));
    case EM_EXLIMITTEXT:
      limit_ =
          lParam <= 0 ? kDefaultLimit : static_cast<LONG>(std::min<LPARAM>(lParam, 0x7FFFFFFF));
      return 0;
    case EM_GETLIMITTEXT:
      return limit_;
    case EM_SETREADONLY:
      ModifyStyle(wParam ? 0 : ES_READONLY, wParam ? ES_READONLY : 0);
      return TRUE;
    case EM_SETBKGNDCOLOR: {
      COLORREF old = background_;
      systemBackground_ = wParam != 0;
      if (!wParam) background_ = static_cast<COLORREF>(lParam);
      return old;
    }
    case EM_CANUNDO:
      return undo_.valid ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO:
      return DoUndo();
    case EM_EMPTYUNDOBUFFER:
      undo_ = UndoRecord();
      return 0;
    case EM_CANPASTE:
      return (wParam == 0 || wParam == CF_TEXT) && halyard::user::Clipboard::HasText();
    case EM_FINDTEXTEX:
      return Find(static_cast<DWORD>(wParam), reinterpret_cast<FINDTEXTEX*>(lParam));
    case WM_CUT:
      DoCut();
      return 0;
    case WM_COPY:
      DoCopy();
      return 0;
    case WM_PASTE:
      DoPaste();
      return 0;
    case WM_CLEAR:
      DoClear();
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<int>(wParam));
      return 0;
    case WM_CHAR:
      OnChar(static_cast<unsigned char>(wParam & 0xFF));
      return 0;
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}

void CRichEditCtrl::SetSel(LONG start, LONG end) {
  CHARRANGE cr{start, end};
  SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
}

void CRichEditCtrl::SetSel(CHARRANGE& cr) {
  SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
}

void CRichEditCtrl::GetSel(CHARRANGE& cr) {
  SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
}

void CRichEditCtrl::ReplaceSel(LPCSTR text, BOOL canUndo) {
  SendMessage(EM_REPLACESEL, canUndo ? 1 : 0, reinterpret_cast<LPARAM>(text));
}

BOOL CRichEditCtrl::SetSelectionCharFormat(CHARFORMAT& cf) {
  return SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0;
}

BOOL CRichEditCtrl::SetDefaultCharFormat(CHARFORMAT& cf) {
  return SendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)) != 0;
}

DWORD CRichEditCtrl::GetSelectionCharFormat(CHARFORMAT& cf) {
  cf.cbSize = sizeof(CHARFORMAT);
  return static_cast<DWORD>(
      SendMessage(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
}

DWORD CRichEditCtrl::GetDefaultCharFormat(CHARFORMAT& cf) {
  cf.cbSize = sizeof(CHARFORMAT);
  return static_cast<DWORD>(
      SendMessage(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)));
}

void CRichEditCtrl::LimitText(LONG limit) { SendMessage(EM_EXLIMITTEXT, 0, limit); }

BOOL CRichEditCtrl::CanUndo() { return SendMessage(EM_CANUNDO) != 0; }

BOOL CRichEditCtrl::Undo() { return SendMessage(EM_UNDO) != 0; }

void CRichEditCtrl::Cut() { SendMessage(WM_CUT); }

void CRichEditCtrl::Copy() { SendMessage(WM_COPY); }

void CRichEditCtrl::Paste() { SendMessage(WM_PASTE); }

BOOL CRichEditCtrl::CanPaste(UINT format) { return SendMessage(EM_CANPASTE, format) != 0; }

BOOL CRichEditCtrl::SetReadOnly(BOOL readOnly) {
  return SendMessage(EM_SETREADONLY, readOnly ? 1 : 0) != 0;
}

COLORREF CRichEditCtrl::SetBackgroundColor(BOOL useSystem, COLORREF colour) {
  return static_cast<COLORREF>(SendMessage(EM_SETBKGNDCOLOR, useSystem ? 1 : 0, colour));
}

LONG CRichEditCtrl::FindText(DWORD flags, FINDTEXTEX* find) {
  return static_cast<LONG>(SendMessage(EM_FINDTEXTEX, flags, reinterpret_cast<LPARAM>(find)));
}
