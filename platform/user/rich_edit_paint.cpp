// What the rich edit control shows: its lines in their fonts, colours and effects, the
// selection, a blinking caret and the two scroll bars, and the mouse and scroll messages that
// move through them. Only the lines a change touched are invalidated, so typing into a long text
// repaints one line, and of a line only the characters within the clip are laid out and drawn,
// so a line of a megabyte costs no more to show than a short one beyond walking its widths.
#include <algorithm>

#include "gdi.h"
#include "mouse.h"
#include "rich_edit_ctrl.h"
#include "timer.h"
#include "update_region.h"

namespace {
constexpr int kTabColumns = 8;

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
}  // namespace

LONG CRichEditCtrl::LineFromChar(LONG pos) const {
  auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos);
  return static_cast<LONG>(it - lineStarts_.begin()) - 1;
}

LONG CRichEditCtrl::LineIndex(LONG line) const {
  if (line < 0 || line >= GetLineCount()) return -1;
  return lineStarts_[static_cast<size_t>(line)];
}

RECT CRichEditCtrl::TextArea() const {
  RECT c;
  GetClientRect(&c);
  return RECT{0, 0, std::max<LONG>(0, c.right - kScrollBarWidth),
              std::max<LONG>(0, c.bottom - kScrollBarWidth)};
}

LONG CRichEditCtrl::VisibleLineCount() const {
  return std::max<LONG>(1, (TextArea().bottom - 2 * kMargin) / std::max(1, lineHeight_));
}

void CRichEditCtrl::TextReset() {
  ForgetMarks(-1);
  lineStarts_.assign(1, 0);
  const size_t n = text_.size();
  for (size_t at = text_.find('\n', 0, n); at != halyard::user::GapText::npos;
       at = text_.find('\n', at + 1, n))
    lineStarts_.push_back(static_cast<LONG>(at + 1));
  topLine_ = 0;
  scrollX_ = 0;
  longestLine_ = -1;
  InvalidateAll();
}

void CRichEditCtrl::TextMoved(LONG pos, LONG removed, const std::string& inserted) {
  ForgetMarks(pos);
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
  LONG longest = longestLine_;
  longestLine_ = -1;
  if (wholeInvalid_ || !measure_) {
    // all of it is painted anyway, or nothing has been yet
  } else {
    if (breaks) {
      InvalidateLines(line, -1);
      RECT c;
      GetClientRect(&c);
      RECT bar{c.right - kScrollBarWidth, 0, c.right, c.bottom};
      InvalidateRect(m_hWnd, &bar, FALSE);
    } else {
      InvalidateLines(line, line);
    }
    // The horizontal bar's thumb follows the longest line once that is wider than the view.
    int view = TextArea().right - 2 * kMargin;
    int before = longest < 0 ? -1 : static_cast<int>(std::min<long long>(
        static_cast<long long>(longest) * CharWidth(Slot(default_), 'x') + 1, 0x3FFFFFFF));
    int after = ContentWidth();
    if (before != after && (before > view || after > view)) {
      RECT area = TextArea(), c;
      GetClientRect(&c);
      RECT bar{0, area.bottom, c.right, c.bottom};
      InvalidateRect(m_hWnd, &bar, FALSE);
    }
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
  RECT area = TextArea();
  LONG shownLast = topLine_ + VisibleLineCount();
  if (last < 0 || last > shownLast) last = shownLast;
  if (first < topLine_) first = topLine_;
  if (first > last) return;
  RECT r{0, kMargin + (first - topLine_) * lineHeight_, area.right,
         kMargin + (last - topLine_ + 1) * lineHeight_};
  if (first == topLine_) r.top = 0;
  if (last == shownLast) r.bottom = area.bottom;
  r = Intersect(r, area);
  if (!Empty(r)) InvalidateRect(m_hWnd, &r, FALSE);
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

void CRichEditCtrl::InvalidateCaret() {
  if (!m_hWnd || wholeInvalid_ || !measure_ || SelMin() != SelMax()) return;
  POINT p = PosFromChar(caret_);
  RECT r = Intersect(RECT{p.x, p.y, p.x + 1, p.y + lineHeight_}, TextArea());
  if (!Empty(r)) InvalidateRect(m_hWnd, &r, FALSE);
}

void CRichEditCtrl::RestartBlink() {
  if (!m_hWnd || CWnd::GetFocus() != this) return;
  if (!caretShown_) {
    caretShown_ = true;
    InvalidateCaret();
  }
  StartBlink();
}

void CRichEditCtrl::StartBlink() {
  UINT ms = GetCaretBlinkTime();
  if (ms == 0xFFFFFFFFu)
    KillTimer(m_hWnd, kCaretTimer);
  else
    SetTimer(m_hWnd, kCaretTimer, ms, nullptr);
}

void CRichEditCtrl::ScrollToLine(LONG line) {
  LONG top = std::clamp<LONG>(line, 0, std::max<LONG>(0, GetLineCount() - VisibleLineCount()));
  if (top == topLine_) return;
  topLine_ = top;
  InvalidateAll();
}

void CRichEditCtrl::ScrollToX(int x) {
  int view = std::max<int>(1, TextArea().right - 2 * kMargin);
  x = std::clamp(x, 0, std::max(0, ContentWidth() - view));
  if (x == scrollX_) return;
  scrollX_ = x;
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
  // Sideways the view jumps by a third of its width, so that typing on past the edge does not
  // scroll at every character. Nothing is laid out before the first paint or measurement (a
  // control that is never shown never loads a font).
  if (!measure_) return;
  int x = XOfPos(caret_);
  int view = TextArea().right - 2 * kMargin;
  if (view <= 0) return;
  int to = scrollX_;
  if (x < scrollX_) {
    to = std::max(0, x - view / 3);
  } else if (x + 1 > scrollX_ + view) {
    to = x + 1 - view * 2 / 3;
  }
  if (to != scrollX_) {
    scrollX_ = to;
    InvalidateAll();
  }
}

// ---- layout ----

int CRichEditCtrl::Slot(UINT fmt) {
  if (formatSlot_.size() < formats_.size()) formatSlot_.resize(formats_.size(), -1);
  if (formatSlot_[fmt] >= 0) return formatSlot_[fmt];
  const Format& f = formats_[fmt];
  std::string face = f.face[0] ? std::string(f.face.data()) : std::string("Monospace");
  // Heights are twips; at 96 pixels an inch a pixel is 15 twips.
  int px = f.height > 0 ? std::clamp<int>(static_cast<int>((f.height + 7) / 15), 6, 400) : 13;
  bool bold = (f.effects & CFE_BOLD) != 0, italic = (f.effects & CFE_ITALIC) != 0;
  std::string key = face + "/" + std::to_string(px) + (bold ? "/b" : "") + (italic ? "/i" : "");
  int slot = -1;
  for (size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i].key == key) slot = static_cast<int>(i);
  if (slot < 0) {
    if (!measure_) measure_ = std::make_unique<CDC>(1, 1);
    FontSlot s;
    s.key = key;
    s.font = CreateFont(-px, bold ? 700 : 400, face.c_str());
    s.font->italic = italic;
    s.width.fill(-1);
    measure_->SelectObject(s.font);
    s.height = std::max(1, measure_->GetTextHeight());
    s.ascent = measure_->GetTextAscent();
    slot = static_cast<int>(slots_.size());
    slots_.push_back(std::move(s));
  }
  formatSlot_[fmt] = slot;
  return slot;
}

int CRichEditCtrl::CharWidth(int slot, unsigned char ch) {
  FontSlot& s = slots_[static_cast<size_t>(slot)];
  if (s.width[ch] < 0) {
    // Other control characters show as blanks.
    char shown = ch < 0x20 ? ' ' : static_cast<char>(ch);
    measure_->SelectObject(s.font);
    s.width[ch] = static_cast<std::int16_t>(
        std::clamp<LONG>(measure_->GetTextExtent(std::string_view(&shown, 1)).cx, 0, 4000));
  }
  return s.width[ch];
}

int CRichEditCtrl::TabWidth() { return std::max(1, kTabColumns * CharWidth(Slot(default_), ' ')); }

void CRichEditCtrl::Measure() { lineHeight_ = slots_[static_cast<size_t>(Slot(default_))].height; }

void CRichEditCtrl::LineSpan(LONG line, LONG& start, LONG& end) const {
  start = LineIndex(line);
  if (start < 0) {
    start = end = 0;
    return;
  }
  end = line + 1 < GetLineCount() ? lineStarts_[static_cast<size_t>(line + 1)] : GetTextLength();
  while (end > start && (text_.at(static_cast<size_t>(end - 1)) == '\n' ||
                         text_.at(static_cast<size_t>(end - 1)) == '\r'))
    --end;
}

void CRichEditCtrl::ForgetMarks(LONG pos) {
  if (marksLine_ < 0) return;
  if (pos <= marksLine_) {
    marksLine_ = -1;
    marks_.clear();
    return;
  }
  while (!marks_.empty() && marks_.back().pos > pos) marks_.pop_back();
}

template <typename Fn>
int CRichEditCtrl::WalkLine(LONG line, LONG fromPos, int fromX, Fn fn) {
  LONG start, end;
  LineSpan(line, start, end);
  const int tab = TabWidth();
  const bool marking = end - start > 2 * kMarkStep;
  LONG from = start;
  int x = 0;
  if (marking) {
    if (marksLine_ != start) {
      marksLine_ = start;
      marks_.assign(1, Mark{start, 0});
    }
    // The last mark before what the caller asks for.
    for (auto it = marks_.rbegin(); it != marks_.rend(); ++it) {
      if (it->pos <= fromPos && it->x <= fromX) {
        from = it->pos;
        x = it->x;
        break;
      }
    }
  }
  LONG nextMark = marking ? marks_.back().pos + kMarkStep : end;
  // The characters in place, up to the gap of the text and then after it.
  const char* chars = nullptr;
  LONG charsFrom = 0, charsTo = 0;
  runs_.ForEachWhile(from, end, [&](LONG s, LONG e, UINT fmt) {
    const int slot = Slot(fmt);
    const std::int16_t* widths = slots_[static_cast<size_t>(slot)].width.data();
    for (LONG p = s; p < e; ++p) {
      if (p == nextMark) {
        if (marks_.back().pos < p) marks_.push_back(Mark{p, x});
        nextMark = marks_.back().pos + kMarkStep;
      }
      if (p >= charsTo) {
        size_t n = 0;
        chars = text_.span(static_cast<size_t>(p), &n);
        charsFrom = p;
        charsTo = p + static_cast<LONG>(n);
      }
      auto ch = static_cast<unsigned char>(chars[p - charsFrom]);
      int w = ch == '\t' ? tab - x % tab : widths[ch];
      if (w < 0) {
        w = CharWidth(slot, ch);
        widths = slots_[static_cast<size_t>(slot)].width.data();
      }
      if (!fn(p, x, w, fmt)) return false;
      x += w;
    }
    return true;
  });
  return x;
}

int CRichEditCtrl::XOfPos(LONG pos) {
  return WalkLine(LineFromChar(pos), pos, 0x7FFFFFFF, [&](LONG p, int, int, UINT) { return p < pos; });
}

int CRichEditCtrl::ContentWidth() {
  if (longestLine_ < 0) {
    LONG longest = 0, len = GetTextLength();
    for (size_t i = 0; i < lineStarts_.size(); ++i) {
      LONG end = i + 1 < lineStarts_.size() ? lineStarts_[i + 1] : len;
      longest = std::max(longest, end - lineStarts_[i]);
    }
    longestLine_ = longest;
  }
  long long w = static_cast<long long>(longestLine_) * CharWidth(Slot(default_), 'x') + 1;
  return static_cast<int>(std::min<long long>(w, 0x3FFFFFFF));
}

POINT CRichEditCtrl::PosFromChar(LONG pos) {
  Measure();
  pos = std::clamp<LONG>(pos, 0, GetTextLength());
  LONG line = LineFromChar(pos);
  return POINT{kMargin - scrollX_ + XOfPos(pos), kMargin + static_cast<LONG>(line - topLine_) * lineHeight_};
}

LONG CRichEditCtrl::CharFromPos(POINT pt) {
  Measure();
  LONG line = topLine_ + (pt.y - kMargin) / std::max(1, lineHeight_);
  if (pt.y < kMargin) line = topLine_ - 1;
  line = std::clamp<LONG>(line, 0, GetLineCount() - 1);
  // The first character whose middle lies right of the point; the line's end past them all.
  int x = pt.x - kMargin + scrollX_;
  LONG start, end;
  LineSpan(line, start, end);
  LONG hit = end;
  WalkLine(line, end, x, [&](LONG p, int cx, int w, UINT) {
    if (cx + w / 2 > x) {
      hit = p;
      return false;
    }
    return true;
  });
  return hit;
}

// ---- painting ----

void CRichEditCtrl::PaintLine(CDC& dc, LONG line, int y, const RECT& clip, COLORREF) {
  LONG start, end;
  LineSpan(line, start, end);
  const int origin = kMargin - scrollX_;  // client x of the line's start
  const int left = clip.left - origin, right = clip.right - origin;
  const LONG selMin = SelMin(), selMax = SelMax();
  const COLORREF hlText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  // Pieces of the line between tabs that meet the clip, each drawn as one run of text.
  struct Piece {
    int x;
    std::string text;
    std::vector<TextRun> runs;
    UINT fmt = 0;
    bool selected = false;
  };
  std::vector<Piece> pieces;
  bool open = false, reachedEnd = true;
  int endX = WalkLine(line, end, left, [&](LONG p, int x, int w, UINT fmt) {
    if (x >= right) {
      reachedEnd = false;
      return false;
    }
    if (x + w <= left) return true;
    char ch = text_.at(static_cast<size_t>(p));
    if (ch == '\t') {
      open = false;
      return true;
    }
    bool selected = p >= selMin && p < selMax;
    if (!open) {
      pieces.push_back(Piece{x, {}, {}});
      open = true;
    }
    Piece& pc = pieces.back();
    if (pc.runs.empty() || pc.fmt != fmt || pc.selected != selected) {
      const Format& f = formats_[fmt];
      TextRun run;
      run.length = 0;
      run.font = slots_[static_cast<size_t>(Slot(fmt))].font;
      run.color = selected ? hlText : EffectiveColour(fmt);
      run.underline = (f.effects & CFE_UNDERLINE) != 0;
      run.strikeout = (f.effects & CFE_STRIKEOUT) != 0;
      run.rise = static_cast<int>(std::clamp<LONG>(f.offset / 15, -1000, 1000));
      pc.runs.push_back(run);
      pc.fmt = fmt;
      pc.selected = selected;
    }
    ++pc.runs.back().length;
    pc.text.push_back(static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch);
    return true;
  });
  // The selection's part of the line, as far as it is shown.
  LONG sa = std::max(selMin, start), sb = std::min(selMax, end);
  if (sa < sb) {
    int x0 = XOfPos(sa);
    int x1 = x0 < right ? std::min(right, XOfPos(sb)) : x0;
    if (x1 > x0) dc.FillSolidRect(RECT{origin + x0, y, origin + x1, y + lineHeight_}, GetSysColor(COLOR_HIGHLIGHT));
  }
  // A selection that runs on past the line's end shows its line break as a narrow block.
  if (reachedEnd && selMax > end && selMin <= end && end < GetTextLength())
    dc.FillSolidRect(RECT{origin + endX, y, origin + endX + lineHeight_ / 3, y + lineHeight_},
                     GetSysColor(COLOR_HIGHLIGHT));
  // Lines are as tall as the default font: every piece keeps its baseline, so a larger font
  // reaches up into the line above rather than pushing the line's text down out of its row.
  const int baseline = slots_[static_cast<size_t>(Slot(default_))].ascent;
  for (const Piece& pc : pieces) dc.DrawTextRuns(origin + pc.x, y, pc.text, pc.runs, baseline);
  if (caretShown_ && CWnd::GetFocus() == this && selMin == selMax && caret_ >= start && caret_ <= end) {
    int caretX = XOfPos(caret_);
    dc.FillSolidRect(RECT{origin + caretX, y, origin + caretX + 1, y + lineHeight_}, 0x000000);
  }
}

void CRichEditCtrl::PaintScrollBars(CDC& dc, const RECT& client) {
  RECT area = TextArea();
  const COLORREF face = GetSysColor(COLOR_BTNFACE), thumbColour = GetSysColor(COLOR_BTNSHADOW);
  // The vertical bar: its trough and, when there is more text than fits, the thumb.
  RECT v{area.right, 0, client.right, area.bottom};
  if (!Empty(v)) {
    dc.FillSolidRect(v, face);
    LONG total = GetLineCount(), shownLines = VisibleLineCount();
    if (total > shownLines) {
      LONG h = v.bottom - v.top;
      LONG thumb = std::max<LONG>(8, static_cast<LONG>(static_cast<long long>(h) * shownLines / total));
      LONG top = static_cast<LONG>(static_cast<long long>(h - thumb) * topLine_ /
                                   std::max<LONG>(1, total - shownLines));
      dc.FillSolidRect(RECT{v.left + 2, top, v.right - 2, top + thumb}, thumbColour);
    }
  }
  // The horizontal bar, when a line is wider than the text area or the text is scrolled.
  RECT hb{0, area.bottom, area.right, client.bottom};
  if (!Empty(hb)) {
    dc.FillSolidRect(hb, face);
    long long view = std::max<LONG>(1, area.right - 2 * kMargin);
    long long total = std::max<long long>(ContentWidth(), scrollX_ + view);
    if (total > view) {
      long long w = hb.right - hb.left;
      long long thumb = std::max<long long>(8, w * view / total);
      long long left = (w - thumb) * scrollX_ / std::max<long long>(1, total - view);
      dc.FillSolidRect(RECT{static_cast<LONG>(left), hb.top + 2, static_cast<LONG>(left + thumb), hb.bottom - 2},
                       thumbColour);
    }
  }
  RECT corner{area.right, area.bottom, client.right, client.bottom};
  if (!Empty(corner)) dc.FillSolidRect(corner, face);
}

void CRichEditCtrl::Paint(CDC& dc) {
  wholeInvalid_ = false;
  Measure();
  RECT client;
  GetClientRect(&client);
  int saved = dc.SaveDC();
  COLORREF bg = systemBackground_ ? GetSysColor(COLOR_WINDOW) : background_;
  RECT area = TextArea();
  RECT clip = Intersect(dc.GetClipBox(), area);
  if (!Empty(clip)) {
    dc.FillSolidRect(clip, bg);
    dc.SaveDC();
    dc.IntersectClipRect(area);
    LONG first = topLine_ + std::max<LONG>(0, (clip.top - kMargin) / lineHeight_);
    LONG last = std::min<LONG>(GetLineCount() - 1,
                               topLine_ + std::max<LONG>(0, (clip.bottom - kMargin) / lineHeight_));
    // The formats of the lines painted, up to the end of the last.
    Settle(last + 1 < GetLineCount() ? LineIndex(last + 1) : GetTextLength());
    for (LONG line = first; line <= last; ++line)
      PaintLine(dc, line, kMargin + static_cast<int>(line - topLine_) * lineHeight_, clip, bg);
    dc.RestoreDC(-1);
  }
  PaintScrollBars(dc, client);
  dc.RestoreDC(saved);
}

// ---- mouse and scrolling ----

LRESULT CRichEditCtrl::OnScroll(UINT msg, WPARAM wParam, LPARAM lParam) {
  Measure();
  switch (msg) {
    case WM_VSCROLL: {
      LONG shown = VisibleLineCount();
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollToLine(topLine_ - 1); break;
        case SB_LINEDOWN: ScrollToLine(topLine_ + 1); break;
        case SB_PAGEUP: ScrollToLine(topLine_ - shown); break;
        case SB_PAGEDOWN: ScrollToLine(topLine_ + shown); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: ScrollToLine(HIWORD(wParam)); break;
        case SB_TOP: ScrollToLine(0); break;
        case SB_BOTTOM: ScrollToLine(GetLineCount()); break;
        default: break;
      }
      return 0;
    }
    case WM_HSCROLL: {
      int step = std::max(1, CharWidth(Slot(default_), 'x'));
      int page = std::max(step, static_cast<int>(TextArea().right) - 2 * kMargin - step);
      switch (LOWORD(wParam)) {
        case SB_LINELEFT: ScrollToX(scrollX_ - step); break;
        case SB_LINERIGHT: ScrollToX(scrollX_ + step); break;
        case SB_PAGELEFT: ScrollToX(scrollX_ - page); break;
        case SB_PAGERIGHT: ScrollToX(scrollX_ + page); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: ScrollToX(HIWORD(wParam)); break;
        case SB_LEFT: ScrollToX(0); break;
        case SB_RIGHT: ScrollToX(ContentWidth()); break;
        default: break;
      }
      return 0;
    }
    case EM_LINESCROLL: {
      // Characters sideways (of the default font's width), lines down.
      long long dx = static_cast<long long>(static_cast<LONG>(wParam)) * CharWidth(Slot(default_), 'x');
      ScrollToX(static_cast<int>(std::clamp<long long>(scrollX_ + dx, 0, 0x3FFFFFFF)));
      ScrollToLine(topLine_ + static_cast<LONG>(lParam));
      return TRUE;
    }
    case EM_SCROLLCARET:
      ScrollCaretIntoView();
      return 0;
    case EM_GETFIRSTVISIBLELINE:
      return topLine_;
    default:
      return 0;
  }
}

LRESULT CRichEditCtrl::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT area = TextArea();
  bool onVBar = pt.x >= area.right && pt.y < area.bottom;
  bool onHBar = pt.y >= area.bottom && pt.x < area.right;
  switch (msg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_IBEAM));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (onVBar) {
        LONG total = GetLineCount(), shown = VisibleLineCount();
        LONG h = std::max<LONG>(1, area.bottom);
        LONG thumb = total > 0 ? static_cast<LONG>(static_cast<long long>(h) * topLine_ / total) : 0;
        ScrollToLine(pt.y < thumb ? topLine_ - shown : topLine_ + shown);
        return 0;
      }
      if (onHBar) {
        long long view = std::max<LONG>(1, area.right - 2 * kMargin);
        long long total = std::max<long long>(ContentWidth(), scrollX_ + view);
        long long thumbLeft = area.right * static_cast<long long>(scrollX_) / std::max<long long>(1, total);
        OnScroll(WM_HSCROLL, pt.x < thumbLeft ? SB_PAGELEFT : SB_PAGERIGHT, 0);
        return 0;
      }
      if (pt.y >= area.bottom) return 0;  // the corner between the bars
      SetFocus();
      InvalidateAll();
      {
        LONG pos = CharFromPos(pt);
        Select((wParam & MK_SHIFT) ? anchor_ : pos, pos);
      }
      selecting_ = true;
      SetCapture(m_hWnd);
      RestartBlink();
      return 0;
    case WM_MOUSEMOVE:
      if (selecting_ && (wParam & MK_LBUTTON)) {
        Select(anchor_, CharFromPos(pt));
        ScrollCaretIntoView();
        RestartBlink();
      }
      return 0;
    case WM_LBUTTONUP:
      selecting_ = false;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK: {
      if (onVBar || onHBar) return 0;
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
    case WM_MOUSEHWHEEL: {
      // Sideways by three characters of the default font a notch.
      int notches = static_cast<SHORT>(HIWORD(wParam)) / WHEEL_DELTA;
      long long dx = 3LL * std::max(1, CharWidth(Slot(default_), 'x')) * notches;
      ScrollToX(static_cast<int>(std::clamp<long long>(scrollX_ + dx, 0, 0x3FFFFFFF)));
      return 0;
    }
    default:
      return 0;
  }
}
