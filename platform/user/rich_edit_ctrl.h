// CRichEditCtrl: a headless rich edit control. It keeps the text exactly as given (a line
// break is whatever the text holds; Enter types CR LF), the selection with its anchor, a
// character format for every character (as runs over a table of distinct formats), the
// pending format of the insertion point, read-only state, background colour, the text limit
// for what the user enters, and one level of undo. It answers the edit and rich edit messages,
// the clipboard messages over the process clipboard, and WM_KEYDOWN / WM_CHAR with ordinary
// editing. A subclass overrides WindowProc and calls CRichEditCtrl::WindowProc for the default
// handling; OnTextChanged tells it about every change made to the text. One thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/export.h"
#include "format_runs.h"
#include "gap_text.h"
#include "richedit.h"
#include "wnd.h"

class CDC;
struct HFONT__;

class HALYARD_EXPORT CRichEditCtrl : public CWnd {
 public:
  // What the control allows the user to enter before EM_EXLIMITTEXT, and what
  // EM_EXLIMITTEXT 0 sets.
  static constexpr LONG kInitialLimit = 32767;
  static constexpr LONG kDefaultLimit = 65536;

  CRichEditCtrl();
  ~CRichEditCtrl() override;

  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // The class library's wrappers; each sends its message.
  void SetSel(LONG start, LONG end);
  void SetSel(CHARRANGE& cr);
  void GetSel(CHARRANGE& cr);
  void ReplaceSel(LPCSTR text, BOOL canUndo = FALSE);
  BOOL SetSelectionCharFormat(CHARFORMAT& cf);
  BOOL SetDefaultCharFormat(CHARFORMAT& cf);
  DWORD GetSelectionCharFormat(CHARFORMAT& cf);
  DWORD GetDefaultCharFormat(CHARFORMAT& cf);
  void LimitText(LONG limit = 0);
  BOOL CanUndo();
  BOOL Undo();
  void Cut();
  void Copy();
  void Paste();
  BOOL CanPaste(UINT format = 0);
  BOOL SetReadOnly(BOOL readOnly = TRUE);
  COLORREF SetBackgroundColor(BOOL useSystem, COLORREF colour);
  LONG FindText(DWORD flags, FINDTEXTEX* find);

  // Direct reads of the model (no message): for subclasses, tools and tests.
  LONG GetTextLength() const { return static_cast<LONG>(text_.size()); }
  char CharAt(LONG pos) const;
  std::string GetTextRange(LONG start, LONG end) const;
  // First position in [from, to) holding c, or -1.
  LONG FindChar(char c, LONG from, LONG to) const;
  // The colour the character shows: the automatic colour is the window text colour, black.
  COLORREF ColorAt(LONG pos) const;
  // Calls fn(start, end, colour) for runs of one colour over the whole text, joined.
  template <typename Fn>
  void ForEachColourRun(Fn fn) const {
    Settle(GetTextLength());
    LONG rs = 0, re = 0;
    COLORREF rc = 0;
    runs_.ForEach(0, runs_.size(), [&](LONG s, LONG e, UINT f) {
      COLORREF c = EffectiveColour(f);
      if (re > rs && c == rc && s == re) {
        re = e;
        return;
      }
      if (re > rs) fn(rs, re, rc);
      rs = s;
      re = e;
      rc = c;
    });
    if (re > rs) fn(rs, re, rc);
  }
  BOOL IsReadOnly() const { return (GetStyle() & ES_READONLY) != 0; }
  COLORREF GetBackgroundColour() const { return background_; }
  BOOL UsesSystemBackground() const { return systemBackground_; }
  LONG GetLimitText() const { return limit_; }

  // What the control shows. Lines end after each LF; the text area is the client area less
  // the vertical scroll bar on the right and the horizontal one at the bottom, each
  // kScrollBarWidth wide, and a margin of kMargin. Every character is drawn in its own format's
  // font (face, size, bold, italic), colour, underline, strike-out and offset, and advances by
  // its own width; a tab advances to the next multiple of eight spaces of the default font.
  static constexpr int kScrollBarWidth = 16;
  static constexpr int kMargin = 2;
  // The caret blinks on this window timer while the control has the focus, each
  // GetCaretBlinkTime() milliseconds (it stays shown when that is INFINITE).
  static constexpr UINT_PTR kCaretTimer = 0x4352;
  LONG GetLineCount() const { return static_cast<LONG>(lineStarts_.size()); }
  LONG LineFromChar(LONG pos) const;
  LONG LineIndex(LONG line) const;
  LONG GetFirstVisibleLine() const { return topLine_; }
  // How far the text is scrolled sideways, in pixels.
  int GetScrollX() const { return scrollX_; }
  // Scrolls sideways so that x pixels of the text are left of the text area (0 or more).
  void ScrollToX(int x);
  // The caret is drawn now (it blinks while the control has the focus).
  bool IsCaretShown() const { return caretShown_; }
  int GetLineHeight() const { return lineHeight_; }
  // Lines that fit the client area whole (at least one).
  LONG VisibleLineCount() const;
  // Scrolls so that the line is the first shown (as far as the text allows).
  void ScrollToLine(LONG line);
  // Client point of the top left corner of the character (the caret's place); the character
  // nearest a client point. Characters of lines above the first shown have negative y, those
  // scrolled off to the left negative x.
  POINT PosFromChar(LONG pos);
  LONG CharFromPos(POINT pt);
  // Paints the visible lines that meet the context's clip box, and of each only the characters
  // within it; the same as WM_PRINTCLIENT.
  void Paint(CDC& dc);

 protected:
  // After every change of the text other than replacing all of it with WM_SETTEXT: at pos,
  // removed characters went away and inserted characters came.
  virtual void OnTextChanged(LONG pos, LONG removed, LONG inserted);
  // The formats of [0, end) are about to be read, replaced or shown: a subclass that leaves
  // formatting for later brings them up to date here. Called before every read of the formats
  // (messages, direct reads, painting) and before every change of them or of the text.
  virtual void SettleFormats(LONG end) { (void)end; }
  // Formats [a, b) (within the text, a < b) and leaves the selection as selecting the range,
  // setting the selection's format and selecting the old selection's extent again would
  // (EM_EXSETSEL, EM_SETCHARFORMAT with SCF_SELECTION, EM_EXSETSEL), without the messages: for
  // a subclass that formats a great many ranges in a row.
  void FormatRangeKeepingSelection(LONG a, LONG b, const CHARFORMAT& cf);
  // A batch of FormatRangeKeepingSelection calls over [a, b): the formats of the range are
  // changed in an array of their own and put back as runs in one step at EndFormatBatch, so a
  // pass over a large text costs little per range. The text must not change meanwhile; any
  // message to the control ends the batch first, and so does a second Begin.
  void BeginFormatBatch(LONG a, LONG b);
  void EndFormatBatch();

 private:
  struct Format {
    DWORD effects = 0;
    LONG height = 0;
    LONG offset = 0;
    COLORREF colour = 0;
    BYTE charset = 0;
    BYTE pitch = 0;
    std::array<char, LF_FACESIZE> face{};
    bool operator==(const Format& o) const;
  };
  struct FormatHash {
    size_t operator()(const Format& f) const;
  };
  struct UndoRecord {
    bool valid = false;
    LONG pos = 0;
    std::string removed;
    std::vector<halyard::user::FormatRuns::Run> removedRuns;
    LONG inserted = 0;
  };

  // SettleFormats from the const readers: settling only brings formats up to date.
  void Settle(LONG end) const { const_cast<CRichEditCtrl*>(this)->SettleFormats(end); }
  UINT Intern(const Format& f);
  UINT Transform(UINT fmt, const CHARFORMAT& cf);
  UINT TransformUncached(UINT fmt, const CHARFORMAT& cf);
  void Fill(const Format& f, DWORD mask, CHARFORMAT& cf) const;
  COLORREF EffectiveColour(UINT fmt) const;
  UINT InsertionFormat(LONG a, LONG b) const;
  LONG SelMin() const { return anchor_ < caret_ ? anchor_ : caret_; }
  LONG SelMax() const { return anchor_ < caret_ ? caret_ : anchor_; }
  void Select(LONG anchor, LONG caret);
  // Replaces [a, b) with text in format fmt, caret after it; records undo.
  void ReplaceRange(LONG a, LONG b, const std::string& text, UINT fmt);
  // Fits text to the limit for user input; false when nothing fits.
  bool FitToLimit(std::string& text, LONG replaced) const;
  LRESULT SetCharFormat(WPARAM scope, const CHARFORMAT* cf);
  LRESULT GetCharFormat(WPARAM scope, CHARFORMAT* cf);
  LRESULT Find(DWORD flags, FINDTEXTEX* find);
  LRESULT DoUndo();
  void DoCut();
  void DoCopy();
  void DoPaste();
  void DoClear();
  void OnKeyDown(int vk);
  void OnChar(unsigned char ch);
  LONG PrevPos(LONG p) const;
  LONG NextPos(LONG p) const;
  LONG LineStart(LONG p) const;
  LONG LineEnd(LONG p) const;
  // Painting's side of a change: the line index follows the text, and the lines from the
  // change on are invalidated (only the changed line when no line break came or went).
  void TextMoved(LONG pos, LONG removed, const std::string& inserted);
  void TextReset();
  // The messages of the text model (everything but painting, mouse and scrolling).
  LRESULT WindowProcModel(UINT msg, WPARAM wParam, LPARAM lParam);
  void InvalidateAll();
  void InvalidateLines(LONG first, LONG last);
  void InvalidateSelection(LONG oldMin, LONG oldMax, LONG oldCaret);
  void ScrollCaretIntoView();
  LRESULT OnMouse(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnScroll(UINT msg, WPARAM wParam, LPARAM lParam);

  // Layout. A font of the formats with the widths of its characters, measured as needed.
  struct FontSlot {
    std::string key;
    HFONT__* font = nullptr;
    int height = 0;
    int ascent = 0;
    std::array<std::int16_t, 256> width;
  };
  // The text area (client area less the scroll bars) and the corner where the bars meet.
  RECT TextArea() const;
  int Slot(UINT fmt);
  int CharWidth(int slot, unsigned char ch);
  int TabWidth();
  // Line height and fonts of the default format; measured before layout and painting.
  void Measure();
  // The line's characters, its line break left out: [start, end).
  void LineSpan(LONG line, LONG& start, LONG& end) const;
  // Walks the line's characters: fn(pos, x, width, fmt) with x in pixels from the line's
  // start, until fn returns false. Returns the x after the last character walked. Characters
  // before fromPos or ending left of fromX may be left out: the walk starts at the last mark
  // of a long line before them.
  template <typename Fn>
  int WalkLine(LONG line, LONG fromPos, int fromX, Fn fn);
  // Marks along the last long line walked: the x of every kMarkStep-th character, so that a
  // walk to the far end of a line of a megabyte does not start from its beginning. A change
  // of text or format at pos forgets the marks after it.
  void ForgetMarks(LONG pos);
  // x of the character at pos within its line (of the line's end past it).
  int XOfPos(LONG pos);
  // Width of the widest line, estimated from its character count.
  int ContentWidth();
  // Blink: the caret shows again and the blink starts over (after a key or a click).
  void RestartBlink();
  void StartBlink();
  void InvalidateCaret();
  void PaintLine(CDC& dc, LONG line, int y, const RECT& clip, COLORREF bg);
  void PaintScrollBars(CDC& dc, const RECT& client);

  std::vector<LONG> lineStarts_{0};
  LONG topLine_ = 0;
  int scrollX_ = 0;
  int lineHeight_ = 16;
  bool selecting_ = false;
  bool caretShown_ = true;
  // The whole client area is invalidated and not yet painted.
  bool wholeInvalid_ = false;
  std::vector<FontSlot> slots_;
  std::vector<int> formatSlot_;  // per format; -1 not yet known
  std::unique_ptr<CDC> measure_;  // made by the first layout
  struct Mark {
    LONG pos;
    int x;
  };
  static constexpr LONG kMarkStep = 2048;
  LONG marksLine_ = -1;  // the start of the line the marks are of
  std::vector<Mark> marks_;
  // Characters of the longest line; -1 when lines changed since it was counted.
  LONG longestLine_ = -1;

  halyard::user::GapText text_;
  halyard::user::FormatRuns runs_;
  std::vector<Format> formats_;
  std::unordered_map<Format, UINT, FormatHash> formatIndex_;
  UINT default_ = 0;
  bool pending_ = false;
  UINT pendingFmt_ = 0;
  LONG anchor_ = 0;
  LONG caret_ = 0;
  LONG limit_ = kInitialLimit;
  COLORREF background_ = 0xFFFFFF;
  BOOL systemBackground_ = TRUE;
  UndoRecord undo_;
  struct FormatBatch {
    bool on = false;
    LONG start = 0;
    std::vector<UINT> formats;  // of the characters from start on
  };
  FormatBatch batch_;
  // Colour-only changes dominate (the syntax colouring): their results, direct-mapped.
  struct ColourCacheEntry {
    std::uint64_t key = ~0ull;
    UINT out = 0;
  };
  std::array<ColourCacheEntry, 256> colourCache_{};
};
