#include <algorithm>
#include <cstddef>
#include <cstring>

#include "commdlg.h"

namespace {

UINT FindMessage() {
  static const UINT msg = RegisterWindowMessage(FINDMSGSTRING);
  return msg;
}

void CopyField(char* buf, const std::string& text, std::string& kept) {
  size_t n = std::min<size_t>(text.size(), CFindReplaceDialog::kFieldSize - 1);
  kept.assign(text, 0, n);
  // A NUL inside the text ends the field, as it would in the edit box.
  kept.resize(std::strlen(kept.c_str()));
  std::memcpy(buf, kept.c_str(), kept.size() + 1);
}

}  // namespace

CFindReplaceDialog::CFindReplaceDialog() {
  m_fr.lStructSize = sizeof(FINDREPLACE);
  m_fr.lpstrFindWhat = findBuf_;
  m_fr.lpstrReplaceWith = replaceBuf_;
  m_fr.wFindWhatLen = kFieldSize;
  m_fr.wReplaceWithLen = kFieldSize;
  m_fr.lCustData = reinterpret_cast<LPARAM>(this);
}

CFindReplaceDialog::~CFindReplaceDialog() {
  if (m_hWnd) DestroyWindow();
}

BOOL CFindReplaceDialog::Create(BOOL findDialogOnly, LPCSTR findWhat, LPCSTR replaceWith,
                                DWORD flags, CWnd* owner) {
  if (!owner || !owner->GetSafeHwnd() || m_hWnd) return FALSE;
  findOnly_ = findDialogOnly;
  m_fr.hwndOwner = owner->m_hWnd;
  m_fr.Flags = flags & ~(FR_FINDNEXT | FR_REPLACE | FR_REPLACEALL | FR_DIALOGTERM);
  CopyField(findBuf_, findWhat ? findWhat : "", findWhat_);
  CopyField(replaceBuf_, replaceWith ? replaceWith : "", replaceWith_);
  RECT r{0, 0, 360, findDialogOnly ? 100 : 160};
  return CreateDialogWindow(findDialogOnly ? "Find" : "Replace", WS_VISIBLE, r, owner);
}

CFindReplaceDialog* CFindReplaceDialog::GetNotifier(LPARAM lParam) {
  auto* fr = reinterpret_cast<FINDREPLACE*>(lParam);
  return fr ? reinterpret_cast<CFindReplaceDialog*>(fr->lCustData) : nullptr;
}

void CFindReplaceDialog::TypeFindWhat(const std::string& text) {
  CopyField(findBuf_, text, findWhat_);
}

void CFindReplaceDialog::TypeReplaceWith(const std::string& text) {
  CopyField(replaceBuf_, text, replaceWith_);
}

void CFindReplaceDialog::CheckMatchCase(bool on) {
  m_fr.Flags = on ? m_fr.Flags | FR_MATCHCASE : m_fr.Flags & ~FR_MATCHCASE;
}

void CFindReplaceDialog::CheckWholeWord(bool on) {
  m_fr.Flags = on ? m_fr.Flags | FR_WHOLEWORD : m_fr.Flags & ~FR_WHOLEWORD;
}

void CFindReplaceDialog::ChooseDirectionDown(bool down) {
  m_fr.Flags = down ? m_fr.Flags | FR_DOWN : m_fr.Flags & ~FR_DOWN;
}

BOOL CFindReplaceDialog::Notify(DWORD button) {
  if (!m_hWnd || !IsWindow(m_fr.hwndOwner)) return FALSE;
  if (button != FR_DIALOGTERM && findWhat_.empty()) return FALSE;
  m_fr.Flags = (m_fr.Flags & ~(FR_FINDNEXT | FR_REPLACE | FR_REPLACEALL | FR_DIALOGTERM)) | button;
  // The owner may be told to let go of the dialog while it handles the message; nothing of
  // this object is used after the send.
  ::SendMessage(m_fr.hwndOwner, FindMessage(), 0, reinterpret_cast<LPARAM>(&m_fr));
  return TRUE;
}

BOOL CFindReplaceDialog::PressFindNext() { return Notify(FR_FINDNEXT); }

BOOL CFindReplaceDialog::PressReplace() { return findOnly_ ? FALSE : Notify(FR_REPLACE); }

BOOL CFindReplaceDialog::PressReplaceAll() { return findOnly_ ? FALSE : Notify(FR_REPLACEALL); }

BOOL CFindReplaceDialog::PressCancel() {
  if (!m_hWnd) return FALSE;
  EndDialog(IDCANCEL);
  HWND self = m_hWnd;
  Notify(FR_DIALOGTERM);
  // The window goes; the object belongs to whoever created it.
  if (IsWindow(self)) ::DestroyWindow(self);
  return TRUE;
}

// ---- print ----

namespace halyard::user {
namespace {

struct PrintState {
  std::function<BOOL(PRINTDLG&)> answerer;
  std::vector<PrintDialogCall> shown;
};

PrintState& P() {
  static PrintState s;
  return s;
}

}  // namespace

void PrintDialogs::SetAnswerer(std::function<BOOL(PRINTDLG&)> answerer) {
  P().answerer = std::move(answerer);
}

const std::vector<PrintDialogCall>& PrintDialogs::Shown() { return P().shown; }

void PrintDialogs::Reset() {
  P().answerer = nullptr;
  P().shown.clear();
}

}  // namespace halyard::user

BOOL PrintDlg(PRINTDLG* pd) {
  if (!pd || pd->lStructSize != sizeof(PRINTDLG)) return FALSE;
  // The dialog starts at one copy unless the caller asked for more.
  if (pd->nCopies == 0) pd->nCopies = 1;
  auto& s = halyard::user::P();
  s.shown.push_back(halyard::user::PrintDialogCall{pd->hwndOwner, pd->Flags, pd->nCopies});
  return s.answerer ? s.answerer(*pd) : FALSE;
}
