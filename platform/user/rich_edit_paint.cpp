// What the rich edit control shows: its lines in their fonts and colours, the selection, the
// caret and a vertical scroll bar, and the mouse and scroll messages that move through them.
// Only the lines a change touched are invalidated, so typing into a long text repaints one line.
#include <algorithm>

#include "gdi.h"
#include "mouse.h"
#include "rich_edit_ctrl.h"
#include "update_region.h"

namespace {
constexpr int kTabColumns = 8;
// Characters of one line that are laid out; the rest of a longer line is not shown.
constexpr size_t kMaxShownColumns = 4000;
}  // namespace

LONG CRichEditCtrl::LineFromChar(LONG pos) const {
  auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos);
  return static_cast<LONG>(it - lineStarts_.begin()) - 1;
}

LONG CRichEditCtrl::LineIndex(LONG line) const {
  if (line < 0 || line >= GetLineCount()) return -1;
  return lineStarts_[static_cast<size_t>(line)];
}

LONG CRichEditCtrl::VisibleLineCount() const {
  RECT c;
  GetClientRect(&c);
  return std::max<LONG>(1, (c.bottom - 2 * kMargin) / std::max(1, lineHeight_));
}

void CRichEditCtrl::TextReset() {
  lineStarts_.assign(1, 0);
  const size_t n = text_.size();
  for (size_t at = text_.find('\n', 0, n); at != halyard::user::GapText::npos;
       at = text_.find('\n', at + 1, n))
    lineStarts_.push_back(static_cast<LONG>(at + 1));
  topLine_ = 0;
  InvalidateAll();
}

void CRichEditCtrl::TextMoved(LONG pos, LONG removed, const std::string& inserted) {
  LONG line = LineFromChar(pos);
  auto lo = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos);
  auto hi = std::upper_bound(lo, lineStarts_.end(), pos + removed);
  bool breaks = lo != hi;
  lo = lineStarts_.erase(lo, hi);
  LONG delta = static_cast<LONG>(inserted.size()) - removed;
  for (auto it = lo; it != lineStarts_.end(); ++it) *it += delta;
  std::vector<LONG> added;
  for (size_t i = inserted.find('\n'); i != std::string::npos; i = inserted.find('\n', i + 1))
    added.push_back(pos + static_cast<LONG>(i) + 1);
  breaks = breaks || !added.empty();
  lineStarts_.insert(lo, added.begin(), added.end());
  if (topLine_ >= GetLineCount()) topLine_ = GetLineCount() - 1;
  if (wholeInvalid_) {
    // all of it is painted anyway
  } else if (breaks) {
    InvalidateLines(line, -1);
    RECT c;
    GetClientRect(&c);
    RECT bar{c.right - kScrollBarWidth, 0, c.right, c.bottom};
    InvalidateRect(m_hWnd, &bar, FALSE);
  } else {
    InvalidateLines(line, line);
  }
  if (CWnd::GetFocus() == this) ScrollCaretIntoView();
}

void CRichEditCtrl::InvalidateAll() {
  if (wholeInvalid_ || !m_hWnd) return;
  wholeInvalid_ = true;
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CRichEditCtrl::InvalidateLines(LONG first, LONG last) {
  // Nothing to add while all of it waits for paint (a load colours thousands of tokens).
  if (!m_hWnd || wholeInvalid_) return;
  RECT c;
  GetClientRect(&c);
  LONG shownLast = topLine_ + VisibleLineCount();
  if (last < 0 || last > shownLast) last = shownLast;
  if (first < topLine_) first = topLine_;
  if (first > last) return;
  RECT r{0, kMargin + (first - topLine_) * lineHeight_, c.right - kScrollBarWidth,
         kMargin + (last - topLine_ + 1) * lineHeight_};
  if (first == topLine_) r.top = 0;
  if (last == shownLast) r.bottom = c.bottom;
  InvalidateRect(m_hWnd, &r, FALSE);
}

void CRichEditCtrl::InvalidateSelection(LONG oldMin, LONG oldMax, LONG oldCaret) {
  if (wholeInvalid_) return;
  LONG newMin = SelMin(), newMax = SelMax();
  if (oldMin == newMin && oldMax == newMax && oldCaret == caret_) return;
  LONG a = LineFromChar(oldMin), b = LineFromChar(oldMax);
  LONG c = LineFromChar(newMin), d = LineFromChar(newMax);
  if (b + 1 < c || d + 1 < a) {
    InvalidateLines(a, b);
    InvalidateLines(c, d);
  } else {
    InvalidateLines(std::min(a, c), std::max(b, d));
  }
}

void CRichEditCtrl::ScrollToLine(LONG line) {
  LONG top = std::clamp<LONG>(line, 0, std::max<LONG>(0, GetLineCount() - VisibleLineCount()));
  if (top == topLine_) return;
  topLine_ = top;
  InvalidateAll();
}

void CRichEditCtrl::ScrollCaretIntoView() {
  LONG line = LineFromChar(caret_);
  LONG shown = VisibleLineCount();
  if (line < topLine_) {
    ScrollToLine(line);
  } else if (line >= topLine_ + shown) {
    ScrollToLine(line - shown + 1);
  }
}

void CRichEditCtrl::DisplayLine(LONG line, std::string& shown, std::vector<int>& columns) const {
  shown.clear();
  columns.clear();
  LONG start = LineIndex(line);
  if (start < 0) return;
  LONG end = line + 1 < GetLineCount() ? lineStarts_[static_cast<size_t>(line + 1)] : GetTextLength();
  while (end > start && (text_.at(static_cast<size_t>(end - 1)) == '\n' ||
                         text_.at(static_cast<size_t>(end - 1)) == '\r'))
    --end;
  for (LONG p = start; p < end && shown.size() < kMaxShownColumns; ++p) {
    char ch = text_.at(static_cast<size_t>(p));
    columns.push_back(static_cast<int>(shown.size()));
    if (ch == '\t') {
      shown.append(kTabColumns - shown.size() % kTabColumns, ' ');
    } else if (static_cast<unsigned char>(ch) < 0x20) {
      shown.push_back(' ');
    } else {
      shown.push_back(ch);
    }
  }
}

HFONT CRichEditCtrl::FontFor(DWORD effects) {
  const Format& f = formats_[default_];
  std::string face = f.face[0] ? std::string(f.face.data()) : std::string("Monospace");
  // Heights are twips; at 96 pixels an inch a pixel is 15 twips.
  int px = f.height > 0 ? std::max<int>(6, static_cast<int>((f.height + 7) / 15)) : 13;
  std::string key = face + "/" + std::to_string(px);
  if (key != fontKey_ || !font_) {
    if (font_) DeleteObject(font_);
    if (boldFont_) DeleteObject(boldFont_);
    font_ = CreateFont(-px, 400, face.c_str());
    boldFont_ = CreateFont(-px, 700, face.c_str());
    fontKey_ = key;
  }
  return (effects & CFE_BOLD) ? boldFont_ : font_;
}

int CRichEditCtrl::XOfColumn(CDC& dc, const std::string& shown, int column) {
  if (column <= 0) return kMargin;
  return kMargin + dc.GetTextExtent(std::string_view(shown).substr(0, static_cast<size_t>(column))).cx;
}

void CRichEditCtrl::Paint(CDC& dc) {
  wholeInvalid_ = false;
  RECT client;
  GetClientRect(&client);
  int saved = dc.SaveDC();
  dc.SelectObject(FontFor(0));
  lineHeight_ = std::max(1, dc.GetTextHeight());
  COLORREF bg = systemBackground_ ? GetSysColor(COLOR_WINDOW) : background_;
  RECT clip = dc.GetClipBox();
  RECT area{0, 0, std::max<LONG>(0, client.right - kScrollBarWidth), client.bottom};
  RECT fill{std::max(clip.left, area.left), std::max(clip.top, area.top),
            std::min(clip.right, area.right), std::min(clip.bottom, area.bottom)};
  if (fill.right > fill.left && fill.bottom > fill.top) dc.FillSolidRect(fill, bg);

  bool focused = CWnd::GetFocus() == this;
  LONG selMin = SelMin(), selMax = SelMax();
  dc.SaveDC();
  dc.IntersectClipRect(area);
  dc.SetBkMode(TRANSPARENT);
  LONG first = topLine_ + std::max<LONG>(0, (clip.top - kMargin) / lineHeight_);
  LONG last = std::min<LONG>(GetLineCount() - 1,
                             topLine_ + std::max<LONG>(0, (clip.bottom - kMargin) / lineHeight_));
  std::string shown;
  std::vector<int> cols;
  for (LONG line = first; line <= last; ++line) {
    int y = kMargin + static_cast<int>(line - topLine_) * lineHeight_;
    DisplayLine(line, shown, cols);
    LONG start = LineIndex(line);
    LONG n = static_cast<LONG>(cols.size());
    auto colOf = [&](LONG i) { return i < n ? cols[static_cast<size_t>(i)] : static_cast<int>(shown.size()); };
    LONG sa = std::clamp<LONG>(selMin - start, 0, n), sb = std::clamp<LONG>(selMax - start, 0, n);
    runs_.ForEach(start, start + n, [&](LONG s, LONG e, UINT fmt) {
      const Format& f = formats_[fmt];
      LONG cuts[4] = {s - start, e - start, sa, sb};
      LONG from = s - start;
      while (from < e - start) {
        LONG to = e - start;
        for (LONG c : cuts)
          if (c > from && c < to) to = c;
        bool selected = from >= sa && from < sb;
        dc.SelectObject(FontFor(f.effects));
        int x0 = XOfColumn(dc, shown, colOf(from));
        int x1 = XOfColumn(dc, shown, colOf(to));
        if (selected) dc.FillSolidRect(RECT{x0, y, x1, y + lineHeight_}, GetSysColor(COLOR_HIGHLIGHT));
        dc.SetTextColor(selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : EffectiveColour(fmt));
        std::string_view piece = std::string_view(shown).substr(
            static_cast<size_t>(colOf(from)), static_cast<size_t>(colOf(to) - colOf(from)));
        dc.TextOut(x0, y, piece);
        COLORREF ink = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : EffectiveColour(fmt);
        if (f.effects & CFE_UNDERLINE) dc.FillSolidRect(RECT{x0, y + lineHeight_ - 2, x1, y + lineHeight_ - 1}, ink);
        if (f.effects & CFE_STRIKEOUT) dc.FillSolidRect(RECT{x0, y + lineHeight_ / 2, x1, y + lineHeight_ / 2 + 1}, ink);
        from = to;
      }
    });
    // A selection that runs on past the line's end shows its line break as a narrow block.
    if (selMax > start + n && selMin <= start + n && start + n < GetTextLength()) {
      dc.SelectObject(FontFor(0));
      int x = XOfColumn(dc, shown, colOf(n));
      dc.FillSolidRect(RECT{x, y, x + lineHeight_ / 3, y + lineHeight_}, GetSysColor(COLOR_HIGHLIGHT));
    }
    if (focused && selMin == selMax && caret_ >= start && caret_ <= start + n) {
      dc.SelectObject(FontFor(0));
      int x = XOfColumn(dc, shown, colOf(caret_ - start));
      dc.FillSolidRect(RECT{x, y, x + 1, y + lineHeight_}, 0x000000);
    }
  }
  dc.RestoreDC(-1);

  // The scroll bar: its trough and, when there is more text than fits, the thumb.
  RECT bar{area.right, 0, client.right, client.bottom};
  if (bar.right > bar.left) {
    dc.FillSolidRect(bar, GetSysColor(COLOR_BTNFACE));
    LONG total = GetLineCount(), shownLines = VisibleLineCount();
    if (total > shownLines) {
      LONG h = bar.bottom - bar.top;
      LONG thumb = std::max<LONG>(8, static_cast<LONG>(static_cast<long long>(h) * shownLines / total));
      LONG top = static_cast<LONG>(static_cast<long long>(h - thumb) * topLine_ /
                                   std::max<LONG>(1, total - shownLines));
      dc.FillSolidRect(RECT{bar.left + 2, top, bar.right - 2, top + thumb}, GetSysColor(COLOR_BTNSHADOW));
    }
  }
  dc.RestoreDC(saved);
}

POINT CRichEditCtrl::PosFromChar(LONG pos) {
  pos = std::clamp<LONG>(pos, 0, GetTextLength());
  LONG line = LineFromChar(pos);
  CDC dc(1, 1);
  dc.SelectObject(FontFor(0));
  std::string shown;
  std::vector<int> cols;
  DisplayLine(line, shown, cols);
  LONG i = pos - LineIndex(line);
  int col = i < static_cast<LONG>(cols.size()) ? cols[static_cast<size_t>(i)] : static_cast<int>(shown.size());
  return POINT{XOfColumn(dc, shown, col), kMargin + static_cast<LONG>(line - topLine_) * lineHeight_};
}

LONG CRichEditCtrl::CharFromPos(POINT pt) {
  LONG line = topLine_ + (pt.y - kMargin) / std::max(1, lineHeight_);
  if (pt.y < kMargin) line = topLine_ - 1;
  line = std::clamp<LONG>(line, 0, GetLineCount() - 1);
  CDC dc(1, 1);
  dc.SelectObject(FontFor(0));
  std::string shown;
  std::vector<int> cols;
  DisplayLine(line, shown, cols);
  LONG start = LineIndex(line);
  // The first character whose middle lies right of the point.
  LONG lo = 0, hi = static_cast<LONG>(cols.size());
  while (lo < hi) {
    LONG mid = (lo + hi) / 2;
    int c0 = cols[static_cast<size_t>(mid)];
    int c1 = mid + 1 < static_cast<LONG>(cols.size()) ? cols[static_cast<size_t>(mid + 1)] : static_cast<int>(shown.size());
    int middle = (XOfColumn(dc, shown, c0) + XOfColumn(dc, shown, c1)) / 2;
    if (middle <= pt.x) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return start + lo;
}

LRESULT CRichEditCtrl::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT c;
  GetClientRect(&c);
  bool onBar = pt.x >= c.right - kScrollBarWidth;
  switch (msg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_IBEAM));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (onBar) {
        LONG total = GetLineCount(), shown = VisibleLineCount();
        LONG h = std::max<LONG>(1, c.bottom);
        LONG thumb = total > 0 ? static_cast<LONG>(static_cast<long long>(h) * topLine_ / total) : 0;
        ScrollToLine(pt.y < thumb ? topLine_ - shown : topLine_ + shown);
        return 0;
      }
      SetFocus();
      InvalidateAll();
      {
        LONG pos = CharFromPos(pt);
        Select((wParam & MK_SHIFT) ? anchor_ : pos, pos);
      }
      selecting_ = true;
      SetCapture(m_hWnd);
      return 0;
    case WM_MOUSEMOVE:
      if (selecting_ && (wParam & MK_LBUTTON)) {
        Select(anchor_, CharFromPos(pt));
        ScrollCaretIntoView();
      }
      return 0;
    case WM_LBUTTONUP:
      selecting_ = false;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK: {
      if (onBar) return 0;
      LONG pos = CharFromPos(pt), a = pos, b = pos;
      auto word = [&](LONG p) {
        unsigned char ch = static_cast<unsigned char>(CharAt(p));
        return std::isalnum(ch) || ch == '_';
      };
      while (a > 0 && word(a - 1)) --a;
      while (b < GetTextLength() && word(b)) ++b;
      Select(a, b);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int notches = static_cast<SHORT>(HIWORD(wParam)) / WHEEL_DELTA;
      ScrollToLine(topLine_ - notches * 3);
      return 0;
    }
    case WM_VSCROLL: {
      LONG shown = VisibleLineCount();
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollToLine(topLine_ - 1); break;
        case SB_LINEDOWN: ScrollToLine(topLine_ + 1); break;
        case SB_PAGEUP: ScrollToLine(topLine_ - shown); break;
        case SB_PAGEDOWN: ScrollToLine(topLine_ + shown); break;
        case SB_THUMBTRACK: ScrollToLine(HIWORD(wParam)); break;
        case SB_TOP: ScrollToLine(0); break;
        case SB_BOTTOM: ScrollToLine(GetLineCount()); break;
        default: break;
      }
      return 0;
    }
    default:
      return 0;
  }
}
