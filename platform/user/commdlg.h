// The common dialogs the controls open: find and replace (modeless, reporting through the
// registered message FINDMSGSTRING) and print (modal). Both are headless models: a test, a tool
// or a later desktop host plays the user (types into the fields, ticks the boxes, presses the
// buttons) and sees what the owner was told. One thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "dialog.h"
#include "richedit.h"

// Name of the message a find/replace dialog sends to its owner; lParam points at its FINDREPLACE.
constexpr const char* FINDMSGSTRING = "commdlg_FindReplace";

// FINDREPLACE flags beyond those EM_FINDTEXTEX shares (FR_DOWN, FR_WHOLEWORD, FR_MATCHCASE).
constexpr DWORD FR_FINDNEXT = 0x00000008;
constexpr DWORD FR_REPLACE = 0x00000010;
constexpr DWORD FR_REPLACEALL = 0x00000020;
constexpr DWORD FR_DIALOGTERM = 0x00000040;
constexpr DWORD FR_NOUPDOWN = 0x00000400;
constexpr DWORD FR_NOMATCHCASE = 0x00000800;
constexpr DWORD FR_NOWHOLEWORD = 0x00001000;
constexpr DWORD FR_HIDEUPDOWN = 0x00004000;

struct FINDREPLACE {
  DWORD lStructSize;
  HWND hwndOwner;
  void* hInstance;
  DWORD Flags;
  LPSTR lpstrFindWhat;
  LPSTR lpstrReplaceWith;
  WORD wFindWhatLen;
  WORD wReplaceWithLen;
  LPARAM lCustData;
  void* lpfnHook;
  LPCSTR lpTemplateName;
};

// The class library's find/replace dialog. The owner receives the registered message with lParam
// pointing at m_fr each time a button is pressed; cancelling sends FR_DIALOGTERM and destroys the
// window (the object stays with whoever created it).
class HALYARD_EXPORT CFindReplaceDialog : public CDialog {
 public:
  static constexpr int kFieldSize = 128;

  CFindReplaceDialog();
  ~CFindReplaceDialog() override;

  // FALSE when the owner is not a window.
  BOOL Create(BOOL findDialogOnly, LPCSTR findWhat, LPCSTR replaceWith = nullptr,
              DWORD flags = FR_DOWN, CWnd* owner = nullptr);
  static CFindReplaceDialog* GetNotifier(LPARAM lParam);

  std::string GetFindString() const { return findWhat_; }
  std::string GetReplaceString() const { return replaceWith_; }
  BOOL IsFindOnly() const { return findOnly_; }
  BOOL SearchDown() const { return (m_fr.Flags & FR_DOWN) != 0; }
  BOOL MatchCase() const { return (m_fr.Flags & FR_MATCHCASE) != 0; }
  BOOL MatchWholeWord() const { return (m_fr.Flags & FR_WHOLEWORD) != 0; }
  BOOL FindNext() const { return (m_fr.Flags & FR_FINDNEXT) != 0; }
  BOOL ReplaceCurrent() const { return (m_fr.Flags & FR_REPLACE) != 0; }
  BOOL ReplaceAll() const { return (m_fr.Flags & FR_REPLACEALL) != 0; }
  BOOL IsTerminating() const { return (m_fr.Flags & FR_DIALOGTERM) != 0; }

  // The user's side. Texts longer than a field holds are cut to kFieldSize - 1 characters.
  void TypeFindWhat(const std::string& text);
  void TypeReplaceWith(const std::string& text);
  void CheckMatchCase(bool on);
  void CheckWholeWord(bool on);
  void ChooseDirectionDown(bool down);
  // Each button tells the owner; FALSE when the dialog is closed, the button is missing (the
  // replace buttons of a find-only dialog) or the find text is empty.
  BOOL PressFindNext();
  BOOL PressReplace();
  BOOL PressReplaceAll();
  BOOL PressCancel();

  FINDREPLACE m_fr{};

 protected:
  void OnCancel() override { PressCancel(); }
  // Enter presses the default button, Find Next.
  void OnOK() override { PressFindNext(); }

 private:
  BOOL Notify(DWORD button);

  BOOL findOnly_ = TRUE;
  std::string findWhat_;
  std::string replaceWith_;
  char findBuf_[kFieldSize]{};
  char replaceBuf_[kFieldSize]{};
};

// PRINTDLG flags.
constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_PRINTTOFILE = 0x00000020;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;
constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;
constexpr DWORD PD_DISABLEPRINTTOFILE = 0x00080000;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

struct PRINTDLG {
  DWORD lStructSize;
  HWND hwndOwner;
  void* hDevMode;
  void* hDevNames;
  void* hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  void* hInstance;
  LPARAM lCustData;
};

namespace halyard::user {

// What the print dialog showed, and who answers it in place of a user.
struct PrintDialogCall {
  HWND owner;
  DWORD flags;
  WORD copies;
};

class HALYARD_EXPORT PrintDialogs {
 public:
  // The answerer may change the structure (copies, page range) and returns TRUE for Print,
  // FALSE for Cancel. Without one every dialog is cancelled.
  static void SetAnswerer(std::function<BOOL(PRINTDLG&)> answerer);
  static const std::vector<PrintDialogCall>& Shown();
  static void Reset();
};

}  // namespace halyard::user

// Shows the print dialog: TRUE when the user chose Print. FALSE for a null or wrongly sized
// structure (nothing shown) and when cancelled.
HALYARD_EXPORT BOOL PrintDlg(PRINTDLG* pd);
