// CSyntaxEdit: the syntax edit control the host places in its windows. It owns the inner rich
// edit control (SyntaxRichEdit, its only child) that does the editing and colouring, the four
// key tables the colouring matches against, the protected ranges the user may not change and
// the hidden fields that stand for text the host keeps aside. The host drives it through
// window messages and the members below; everything runs on the caller's thread.
#pragma once

#include <memory>
#include <string>

#include "platform/kernel/export.h"
#include "key_entry.h"
#include "platform/mfc/cstring.h"
#include "protect_range.h"
#include "platform/user/richedit.h"
#include "platform/user/wnd.h"

class CFindReplaceDialog;
class CRichEditCtrl;
class SyntaxRichEdit;

class HALYARD_EXPORT CSyntaxEdit : public CWnd {
 public:
  // Capacities of the key tables (primary, secondary, outside, numeric).
  static constexpr int kPrimaryCapacity = 120;
  static constexpr int kSecondaryCapacity = 80;
  static constexpr int kOutsideCapacity = 30;
  static constexpr int kNumericCapacity = 256;

  CSyntaxEdit();
  ~CSyntaxEdit() override;

  // The extra style of a control that sits on a page of a tabbed dialog.
  static constexpr DWORD kTabDialogStyle = 0x01000000;

  // Creates the view and, from its WM_CREATE, the inner control; FALSE when either fails.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Takes the place of the parent's dialog item id (its rectangle, its identifier); 1 on
  // success, 0 when there is no such item or the control cannot be created there.
  int SubclassDlgItem(UINT id, CWnd* parent);
  // Non-zero: the control will sit on a page of a tabbed dialog (call before SubclassDlgItem).
  void SetTabDialog(int tabbed);
  DWORD GetExtraStyle() const { return m_dwExtraStyle; }
  // The dialog the keyboard talks to: the view's parent, one level higher on a tabbed dialog.
  CWnd* GetDialog() const;

  // Sets the default character format: size in points, face cut at 31 characters.
  void SetDefaultFont(int points, const char* face);

  // Key tables and the classification of words.
  void BuildTmpKeyTable();
  int FoundPrimaryKey(CString text);
  int FoundSecondaryKey(CString text);
  int FoundOutsideKey(CString text);
  int FoundComments(CString text);
  int FoundGrayText(CString text);
  static void RemoveLeadChars(CString& text, char c);
  static void RemoveTrailChars(CString& text, char c);
  static int InBetweenValue(int x, int lo, int hi);
  // Table 0 primary, 1 secondary, 2 outside, 3 numeric: its entries and how many are in use.
  const KeyEntry* GetKeyTable(int table, int* count) const;

  // Protected ranges and the editable regions between them.
  void AddProtectRange(int start, int end);
  int HasOverlapedProtectRange(int a, int b);
  int IsInProtectedRange(CHARRANGE& cr);
  int CanDelete(int a, int b);
  int OffsetProtectField(int pos, int delta);
  int GetRegionCount();
  int GetRegionText(int index, CString& text, int& isProtected);
  // Replaces the list with a copy of count ranges (none for a null array or a count below 1).
  void SetProtectField(const ProtectRange* ranges, int count);
  int GetProtectRangeCount() const { return m_nProtectCount; }
  const ProtectRange* GetProtectRanges() const { return m_pProtect; }

  // Hidden fields.
  void AddHiddenField(const char* first, const char* second, int start, int end);
  int IsInHiddenField(CHARRANGE& cr);
  void RemoveHiddenFields(CHARRANGE& cr);
  void UpdateHiddenFields(int pos, int delta);
  int GetHiddenFieldCount() const { return m_nHiddenCount; }
  const HiddenField* GetHiddenFields() const { return m_pHidden; }

  int IsProtectOn();

  // Clipboard requests of the host.
  int HasSelection();
  int CanCut() { return HasSelection(); }
  int CanCopy() { return HasSelection(); }
  int CanPaste();
  void Cut();
  void Copy();
  void Paste();

  // Find and replace. The dialog is modeless and reports through the registered message.
  void BringUpFindReplaceDlg(int findOnly);
  CFindReplaceDialog* GetFindReplaceDialog() const { return m_pFindDlg.get(); }
  const std::string& GetLastSearchText() const { return m_strLastFind; }
  // Seeks what from the end of the selection down, or from its start up; a match is selected,
  // else a message box tells that the end (top) of the text was reached. TRUE when found.
  BOOL FindNextMatch(const std::string& what, BOOL down, BOOL matchCase, BOOL wholeWord);
  // Replaces the selection when it equals what, recolours around it and selects the next
  // match; beeps and changes nothing when it does not match or may not be edited.
  BOOL ReplaceCurrent(const std::string& what, const std::string& with, BOOL matchCase,
                      BOOL wholeWord);
  // Replaces every match from the start of the text and recolours what changed; the number
  // replaced. Matches that may not be edited are left as they are.
  int ReplaceAllMatches(const std::string& what, const std::string& with, BOOL matchCase,
                        BOOL wholeWord);

  // Shows the print dialog; 1 when the user chose to print (the control prints nothing).
  int PrintText();

  SyntaxRichEdit* GetRichEdit() const { return m_pRichEdit.get(); }

 private:
  friend class SyntaxRichEdit;
  // The matching behind the Found... members, on the colouring's own strings.
  int MatchPrimary(std::string text) const;
  int MatchSecondary(std::string text) const;
  int MatchOutside(std::string text) const;
  static int MatchComments(std::string text);
  static int MatchGrayText(std::string text);
  int OnCreate();
  void FreeKeyTables();
  void FreeHiddenFields();
  LRESULT InsertText(bool marker, const char* text);
  LRESULT OnFindReplace(LPARAM lParam);
  // First match of what at or after from (down) or ending at or before from (up), or -1.
  LONG SearchDown(const std::string& what, LONG from, DWORD flags);
  LONG SearchUp(const std::string& what, LONG from, DWORD flags);

  std::unique_ptr<SyntaxRichEdit> m_pRichEdit;
  // Holds the text before the selection reversed, for searching up; made on first use.
  std::unique_ptr<CRichEditCtrl> m_pReverseEdit;
  std::unique_ptr<CFindReplaceDialog> m_pFindDlg;
  // A dialog that closed itself while telling this view so: freed at the next chance.
  std::unique_ptr<CFindReplaceDialog> m_pClosedDlg;
  std::string m_strLastFind;
  DWORD m_dwExtraStyle = 0;
  KeyEntry* m_pPrimaryKeys = nullptr;
  int m_nPrimaryCount = 0;
  KeyEntry* m_pSecondaryKeys = nullptr;
  int m_nSecondaryCount = 0;
  KeyEntry* m_pOutsideKeys = nullptr;
  int m_nOutsideCount = 0;
  KeyEntry* m_pNumericKeys = nullptr;
  int m_nNumericCount = 0;
  ProtectRange* m_pProtect = nullptr;
  int m_nProtectCount = 0;
  HiddenField* m_pHidden = nullptr;
  int m_nHiddenCount = 0;
};
