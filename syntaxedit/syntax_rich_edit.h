// SyntaxRichEdit: the rich edit control inside CSyntaxEdit. On top of ordinary editing it
// colours the text (the whole text when it is set, the span around a change after typing,
// deleting, cutting and pasting), refuses edits of protected ranges and hidden fields with a
// beep, keeps the protected ranges in step with its edits and records protect ranges while
// protect recording is on. Colouring keeps no state but one: a pass to the end of the text
// colours at once what is shown (with a margin) and leaves the rest for later, a start from which
// the same pass goes on, in slices on a window timer or at once as soon as anything reads,
// shows, changes or edits formats or text from there on. The owner outlives this control; one
// thread only.
#pragma once

#include <string>

#include "platform/user/rich_edit_ctrl.h"

class CSyntaxEdit;

class SyntaxRichEdit : public CRichEditCtrl {
 public:
  explicit SyntaxRichEdit(CSyntaxEdit* owner);

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Selects [a, b), gives it the colour (automatic colour cleared), restores the selection.
  void ColourRange(LONG a, LONG b, COLORREF colour);
  // The full colouring pass over [start, end); true when a comment or component tag that no
  // ">" closed turned the rest of the text green, which ends the pass.
  bool FullPass(LONG start, LONG end);
  // Where pos stands: 0, or the tag, comment or component flag with the extent of the tag word.
  DWORD ContextAt(LONG pos, LONG* wordStart = nullptr, LONG* wordEnd = nullptr);
  // The class of the word around the caret (the end of the selection), glyphpad::kWord..., with
  // the word's extent. The word runs between blanks, quotes, "=", "<" and ">", and takes a "<"
  // right before it (a tag word).
  int WordClassAtCaret(LONG* wordStart = nullptr, LONG* wordEnd = nullptr);
  // Recolours [a, b) widened to the "<" or ">" on either side; the end of the span recoloured.
  LONG RecolourChange(LONG a, LONG b);
  // An edit of the range is refused: it is protected or cuts into a hidden field.
  bool Refused(CHARRANGE cr);

  // A pass to the end of the text colours what lies past the window later (on by default); off,
  // every pass is done at once. Turning it off finishes what was left.
  void SetLazyColouring(bool on);
  // Finishes the colouring left for later.
  void FinishColouring() { SettleFormats(GetTextLength()); }
  // Where the colouring left for later starts; the text length when none is left.
  LONG GetColouredEnd() const { return pendingFrom_ < 0 ? GetTextLength() : pendingFrom_; }
  // The window timer the rest is coloured on, a slice at a time.
  static constexpr UINT_PTR kColourTimer = 0x434C;
  static constexpr UINT kSliceInterval = 10;  // ms
  // Characters a slice colours, and what a pass colours at once past the end of the window.
  static constexpr LONG kSliceChars = 65536;
  static constexpr LONG kMarginChars = 4096;

  // Protect recording.
  void SetProtect(bool on);
  bool IsProtectOn() const { return protectOn_; }
  LONG GetProtectMark() const { return protectMark_; }

 protected:
  void OnTextChanged(LONG pos, LONG removed, LONG inserted) override;
  void SettleFormats(LONG end) override;

 private:
  // The clipboard text fits under the text limit in place of the selection; a paste that does
  // not is refused whole.
  bool PasteFits();
  // What undoing the last change would replace.
  CHARRANGE UndoSpan() const;
  // Lets the rich edit control handle an editing message, then recolours what it changed.
  LRESULT EditAndRecolour(UINT msg, WPARAM wParam, LPARAM lParam);
  // Escape and Tab, which belong to the dialog around the control; true when handled.
  bool DialogKey(int vk);
  void AfterTyped(LONG p, LONG n, unsigned char ch);
  void ColourText(const std::string& t, LONG base, LONG a, LONG b);
  // Colours the tag span [a, e); true when a comment or component opened there runs on to the
  // end of the text, which ends the pass.
  bool ColourTag(const std::string& t, LONG base, LONG a, LONG e);
  void ColourAttributes(const std::string& t, LONG base, LONG a, LONG b);
  // Colours the hidden fields within [a, b), each taken shift characters on: the text left for
  // later has moved by that much since the fields stood where they were meant for it.
  void ColourHidden(LONG a, LONG b, LONG shift = 0);
  // Tag span from a "<" at a: up to the next ">" (inclusive) or "<" (exclusive), or the end.
  LONG TagSpanEnd(LONG from) const;
  void RecolourTagSpan(LONG a, LONG e);
  void RecolourTextSpan(LONG a, LONG e);
  void RecolourAttributeName(LONG a, LONG e);
  // Run-on comments: a comment or component tag that a "<" ends before any ">" makes the text
  // from that "<" to the end green. These read that state back from the colours before a
  // position, which no edit after it has touched.
  bool RunsOnFromTag(LONG lt) const;  // the tag span at the "<" at lt lies in such green
  bool RunsOnAfterGt(LONG gt) const;  // the text after the ">" at gt does
  bool RunsOnAt(LONG pos) const;      // the character at pos does
  // After a local recolouring that ended at pos outside any run-on: green that an earlier
  // run-on left from pos on is recoloured by a pass to the end.
  void ClearStaleRunOn(LONG pos);
  // A comment ("<!--") or component ("<q-") tag word starts at the "<" at lt.
  bool OpensComment(LONG lt) const;
  bool OpensGrayText(LONG lt) const;
  void ResetCaretColour();
  // The full pass over [start, end), hidden meanwhile, stopping at the end of the first tag
  // span that reaches stopAt; where it stopped (end when it came through, the text length when
  // a run-on comment ended it).
  LONG PassTo(LONG start, LONG end, LONG stopAt, bool* ended);
  // The colouring of the pass, shown or not: what PassTo does inside.
  LONG ColourSpans(LONG start, LONG end, LONG stopAt, bool* ended, LONG shift = 0);
  // The full pass from pos to the end of the text: at once up to past the window, the rest
  // left for later.
  void PassToEnd(LONG pos);
  // Leaves the rest of the pass from pos for later, on the timer; forgets it; forgets it when
  // everything from pos on is being coloured anew.
  void LeavePending(LONG pos);
  void DropPending();
  void Overwritten(LONG pos);
  // Goes on with the pass left for later up to stopAt at least, shown as it goes.
  void ContinuePass(LONG stopAt);
  // The last character the window shows, plus one.
  LONG ShownEnd();

  CSyntaxEdit* owner_;
  bool protectOn_ = false;
  LONG protectMark_ = 0;
  bool swallowTab_ = false;  // the tab character of a Tab key that moved the focus
  unsigned changeSerial_ = 0;
  LONG lastChangePos_ = 0;
  LONG lastChangeInserted_ = 0;
  bool lazy_ = true;
  LONG pendingFrom_ = -1;  // where the pass left for later goes on; -1 none
  // How far edits before it moved that part since the pass began: hidden fields stay where
  // they are while the text moves, so the pass colours them where they were at its start.
  LONG pendingShift_ = 0;
};
