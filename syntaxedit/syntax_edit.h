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

  // Creates the view and, from its WM_CREATE, the inner control; FALSE when either fails.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

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

  std::unique_ptr<SyntaxRichEdit> m_pRichEdit;
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
