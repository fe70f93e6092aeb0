#include "platform/kernel/text.h"
#include "syntax_edit.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "key_tables.h"
#include "text_matcher.h"
#include "syntax_colours.h"
#include "syntax_messages.h"
#include "syntax_rich_edit.h"
#include "platform/user/commdlg.h"
#include "platform/user/desktop.h"

namespace {

// The find/replace dialog's message, numbered once when the library is loaded.
const UINT kFindReplaceMessage = RegisterWindowMessage(FINDMSGSTRING);

// Positions move by edits; a host may hand in any value, so the sums saturate instead of
// overflowing.
LONG Moved(LONG pos, LONG delta) {
  long long v = static_cast<long long>(pos) + delta;
  return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

void Trim(std::string& s) {
  size_t b = 0;
  while (b < s.size() && halyard::IsCLocaleSpace(s[b])) ++b;
  size_t e = s.size();
  while (e > b && halyard::IsCLocaleSpace(s[e - 1])) --e;
  s = s.substr(b, e - b);
}

void TrimRight(std::string& s) {
  while (!s.empty() && halyard::IsCLocaleSpace(s.back())) s.pop_back();
}

// Case is folded for ASCII letters only, as the Windows ANSI comparison does for the keys.
char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(const char* a, const std::string& b) {
  for (size_t i = 0; i < b.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

bool MatchTable(const KeyEntry* table, int count, const std::string& s, bool forceCase) {
  if (!table) return false;
  for (int i = 0; i < count; ++i) {
    const KeyEntry& k = table[i];
    if (static_cast<size_t>(k.key.GetLength()) != s.size()) continue;
    const char* key = k.key;
    bool withCase = forceCase || (k.flags & KEY_MATCHCASE);
    if (withCase ? s.compare(0, s.size(), key, s.size()) == 0 : EqualNoCase(key, s)) return true;
  }
  return false;
}

std::string FromCString(const CString& s) {
  return std::string(static_cast<LPCSTR>(s), static_cast<size_t>(s.GetLength()));
}

KeyEntry* MakeTable(int capacity, const char* const* keys, size_t n, COLORREF colour, int* count) {
  KeyEntry* t = new (std::nothrow) KeyEntry[static_cast<size_t>(capacity)];
  *count = 0;
  if (!t) return nullptr;
  for (size_t i = 0; i < n && static_cast<int>(i) < capacity; ++i) {
    t[i].key = keys[i];
    t[i].colour = colour;
    t[i].flags = 0;
    ++*count;
  }
  return t;
}

}  // namespace

CSyntaxEdit::CSyntaxEdit() { BuildTmpKeyTable(); }

CSyntaxEdit::~CSyntaxEdit() {
  m_pFindDlg.reset();
  m_pClosedDlg.reset();
  m_pReverseEdit.reset();
  // The inner control goes first, while this window is still its parent.
  m_pRichEdit.reset();
  FreeKeyTables();
  std::free(m_pProtect);
  FreeHiddenFields();
}

BOOL CSyntaxEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, "", style, rect, parent, id);
}

void CSyntaxEdit::FreeKeyTables() {
  delete[] m_pPrimaryKeys;
  delete[] m_pSecondaryKeys;
  delete[] m_pOutsideKeys;
  delete[] m_pNumericKeys;
  m_pPrimaryKeys = m_pSecondaryKeys = m_pOutsideKeys = m_pNumericKeys = nullptr;
  m_nPrimaryCount = m_nSecondaryCount = m_nOutsideCount = m_nNumericCount = 0;
}

void CSyntaxEdit::FreeHiddenFields() {
  for (int i = 0; i < m_nHiddenCount; ++i) {
    std::free(m_pHidden[i].first);
    std::free(m_pHidden[i].second);
  }
  std::free(m_pHidden);
  m_pHidden = nullptr;
  m_nHiddenCount = 0;
}

void CSyntaxEdit::BuildTmpKeyTable() {
  using namespace glyphpad;
  FreeKeyTables();
  m_pPrimaryKeys =
      MakeTable(kPrimaryCapacity, kPrimaryKeys, kPrimaryKeyCount, kTagColour, &m_nPrimaryCount);
  m_pSecondaryKeys = MakeTable(kSecondaryCapacity, kSecondaryKeys, kSecondaryKeyCount, kKeyColour,
                               &m_nSecondaryCount);
  m_pOutsideKeys =
      MakeTable(kOutsideCapacity, kOutsideKeys, kOutsideKeyCount, kKeyColour, &m_nOutsideCount);
  m_pNumericKeys =
      MakeTable(kNumericCapacity, kNumericKeys, kNumericKeyCount, kKeyColour, &m_nNumericCount);
}

const KeyEntry* CSyntaxEdit::GetKeyTable(int table, int* count) const {
  const KeyEntry* t = nullptr;
  int n = 0;
  switch (table) {
    case 0:
      t = m_pPrimaryKeys, n = m_nPrimaryCount;
      break;
    case 1:
      t = m_pSecondaryKeys, n = m_nSecondaryCount;
      break;
    case 2:
      t = m_pOutsideKeys, n = m_nOutsideCount;
      break;
    case 3:
      t = m_pNumericKeys, n = m_nNumericCount;
      break;
  }
  if (count) *count = n;
  return t;
}

void CSyntaxEdit::RemoveLeadChars(CString& text, char c) { text.TrimLeft(c); }

void CSyntaxEdit::RemoveTrailChars(CString& text, char c) { text.TrimRight(c); }

namespace {

void StripLead(std::string& text, char c) {
  size_t i = 0;
  while (i < text.size() && text[i] == c) ++i;
  text.erase(0, i);
}

void StripTrail(std::string& text, char c) {
  while (!text.empty() && text.back() == c) text.pop_back();
}

}  // namespace

int CSyntaxEdit::InBetweenValue(int x, int lo, int hi) { return lo <= x && x < hi ? 1 : 0; }

int CSyntaxEdit::FoundPrimaryKey(CString text) { return MatchPrimary(FromCString(text)); }

int CSyntaxEdit::FoundSecondaryKey(CString text) { return MatchSecondary(FromCString(text)); }

int CSyntaxEdit::FoundOutsideKey(CString text) { return MatchOutside(FromCString(text)); }

int CSyntaxEdit::FoundComments(CString text) { return MatchComments(FromCString(text)); }

int CSyntaxEdit::FoundGrayText(CString text) { return MatchGrayText(FromCString(text)); }

int CSyntaxEdit::MatchPrimary(std::string text) const {
  Trim(text);
  StripTrail(text, '>');
  return MatchTable(m_pPrimaryKeys, m_nPrimaryCount, text, false) ? 1 : 0;
}

int CSyntaxEdit::MatchSecondary(std::string text) const {
  Trim(text);
  StripLead(text, '<');
  StripTrail(text, '=');
  TrimRight(text);
  return MatchTable(m_pSecondaryKeys, m_nSecondaryCount, text, false) ? 1 : 0;
}

int CSyntaxEdit::MatchOutside(std::string text) const {
  Trim(text);
  if (text.size() <= 1 || text[0] != '&') return 0;
  if (text.back() == ';') text.pop_back();
  if (text.size() > 1 && text[1] == '#')
    return MatchTable(m_pNumericKeys, m_nNumericCount, text, true) ? 1 : 0;
  return MatchTable(m_pOutsideKeys, m_nOutsideCount, text, false) ? 1 : 0;
}

int CSyntaxEdit::MatchComments(std::string text) {
  Trim(text);
  return text.size() >= 4 && text.compare(0, 4, "<!--") == 0 ? 1 : 0;
}

int CSyntaxEdit::MatchGrayText(std::string text) {
  Trim(text);
  return text.size() >= 3 && EqualNoCase("<q-", text.substr(0, 3)) ? 1 : 0;
}

// ---- protected ranges ----

int CSyntaxEdit::HasOverlapedProtectRange(int a, int b) {
  if (!m_pProtect) return -1;
  for (int i = 0; i < m_nProtectCount; ++i) {
    const ProtectRange& r = m_pProtect[i];
    if ((r.start <= a && a < r.end) || (r.start <= b && b < r.end)) return i;
  }
  return -1;
}

void CSyntaxEdit::AddProtectRange(int start, int end) {
  if (start > end) std::swap(start, end);
  if (start == end || start < 0) return;
  // Refuse any range that shares a character with one already there, also one that encloses
  // it; a range that only touches another (end exclusive) is fine.
  for (int i = 0; i < m_nProtectCount; ++i)
    if (start < m_pProtect[i].end && m_pProtect[i].start < end) return;
  auto* grown = static_cast<ProtectRange*>(
      std::realloc(m_pProtect, sizeof(ProtectRange) * static_cast<size_t>(m_nProtectCount + 1)));
  if (!grown) return;
  m_pProtect = grown;
  // Kept in ascending order, which the region numbering relies on.
  int at = m_nProtectCount;
  while (at > 0 && m_pProtect[at - 1].start > start) {
    m_pProtect[at] = m_pProtect[at - 1];
    --at;
  }
  m_pProtect[at] = ProtectRange{start, end};
  ++m_nProtectCount;
}

void CSyntaxEdit::SetProtectField(const ProtectRange* ranges, int count) {
  if (!ranges || count <= 0) {
    std::free(m_pProtect);
    m_pProtect = nullptr;
    m_nProtectCount = 0;
    return;
  }
  auto* copy =
      static_cast<ProtectRange*>(std::malloc(sizeof(ProtectRange) * static_cast<size_t>(count)));
  if (!copy) return;
  std::memcpy(copy, ranges, sizeof(ProtectRange) * static_cast<size_t>(count));
  std::free(m_pProtect);
  m_pProtect = copy;
  m_nProtectCount = count;
}

int CSyntaxEdit::IsInProtectedRange(CHARRANGE& cr) {
  for (int i = 0; i < m_nProtectCount; ++i) {
    LONG s = m_pProtect[i].start, e = m_pProtect[i].end;
    if (cr.cpMin != cr.cpMax) {
      if (s <= cr.cpMin && cr.cpMin < e) return 1;
      if (s < cr.cpMax && e >= cr.cpMax) return 1;
      if (cr.cpMin < s && e < cr.cpMax) return 1;
    } else if (s < cr.cpMin && cr.cpMin < e) {
      return 1;
    }
  }
  return 0;
}

int CSyntaxEdit::CanDelete(int a, int b) {
  for (int i = 0; i < m_nProtectCount; ++i) {
    LONG s = m_pProtect[i].start, e = m_pProtect[i].end;
    if (s <= a && a < e) return 0;
    if (s < b && e >= b) return 0;
  }
  return 1;
}

int CSyntaxEdit::OffsetProtectField(int pos, int delta) {
  for (int i = 0; i < m_nProtectCount; ++i) {
    if (m_pProtect[i].start >= pos) {
      m_pProtect[i].start = Moved(m_pProtect[i].start, delta);
      m_pProtect[i].end = Moved(m_pProtect[i].end, delta);
    }
  }
  return 1;
}

int CSyntaxEdit::GetRegionCount() { return 2 * m_nProtectCount + 1; }

int CSyntaxEdit::GetRegionText(int index, CString& text, int& isProtected) {
  text.Empty();
  isProtected = 0;
  LONG len = m_pRichEdit ? m_pRichEdit->GetTextLength() : 0;
  if (index < 0 || index > 2 * m_nProtectCount) return 1;
  LONG a, b;
  if (index % 2 == 1) {
    const ProtectRange& r = m_pProtect[(index - 1) / 2];
    a = r.start;
    b = r.end;
    isProtected = 1;
  } else {
    int k = index / 2;
    a = k == 0 ? 0 : m_pProtect[k - 1].end;
    b = k == m_nProtectCount ? len : m_pProtect[k].start;
  }
  a = std::clamp<LONG>(a, 0, len);
  b = std::clamp<LONG>(b, 0, len);
  if (b > a && m_pRichEdit) {
    std::string s = m_pRichEdit->GetTextRange(a, b);
    text = CString(s.data(), static_cast<int>(s.size()));
  }
  return 1;
}

// ---- hidden fields ----

void CSyntaxEdit::AddHiddenField(const char* first, const char* second, int start, int end) {
  // Colouring left for later must not see the field before the colours it was added over.
  if (m_pRichEdit) m_pRichEdit->FinishColouring();
  char* a = strdup(first ? first : "");
  char* b = strdup(second ? second : "");
  auto* grown = static_cast<HiddenField*>(
      std::realloc(m_pHidden, sizeof(HiddenField) * static_cast<size_t>(m_nHiddenCount + 1)));
  if (!a || !b || !grown) {
    std::free(a);
    std::free(b);
    if (grown) m_pHidden = grown;
    return;
  }
  m_pHidden = grown;
  m_pHidden[m_nHiddenCount++] = HiddenField{a, b, start, end};
}

int CSyntaxEdit::IsInHiddenField(CHARRANGE& cr) {
  int flags = 0;
  for (int i = 0; i < m_nHiddenCount; ++i) {
    LONG s = m_pHidden[i].start, e = m_pHidden[i].end;
    if (cr.cpMin == cr.cpMax) {
      if (s < cr.cpMin && cr.cpMin < e) return 4;
      continue;
    }
    bool inside = s < cr.cpMin && cr.cpMax < e;
    if (inside) flags |= 4;
    bool startsIn = s < cr.cpMin && cr.cpMin < e;
    bool endsIn = s < cr.cpMax && cr.cpMax < e;
    if ((startsIn || endsIn) && !inside) flags |= 2;
    if (s >= cr.cpMin && e <= cr.cpMax) flags |= 1;
  }
  return flags;
}

void CSyntaxEdit::RemoveHiddenFields(CHARRANGE& cr) {
  if (m_pRichEdit) m_pRichEdit->FinishColouring();
  int w = 0;
  for (int i = 0; i < m_nHiddenCount; ++i) {
    HiddenField& f = m_pHidden[i];
    if (f.start >= cr.cpMin && f.end <= cr.cpMax) {
      std::free(f.first);
      std::free(f.second);
    } else {
      m_pHidden[w++] = f;
    }
  }
  m_nHiddenCount = w;
  if (w == 0) {
    std::free(m_pHidden);
    m_pHidden = nullptr;
  }
}

void CSyntaxEdit::UpdateHiddenFields(int pos, int delta) {
  if (m_pRichEdit) m_pRichEdit->FinishColouring();
  for (int i = 0; i < m_nHiddenCount; ++i) {
    HiddenField& f = m_pHidden[i];
    if (f.start >= pos) {
      f.start = Moved(f.start, delta);
      f.end = Moved(f.end, delta);
    } else if (f.end >= pos) {
      f.end = Moved(f.end, delta);
    }
  }
}

int CSyntaxEdit::IsProtectOn() { return m_pRichEdit && m_pRichEdit->IsProtectOn() ? 1 : 0; }

// ---- clipboard requests ----

int CSyntaxEdit::HasSelection() {
  if (!m_pRichEdit) return 0;
  CHARRANGE cr;
  m_pRichEdit->GetSel(cr);
  return cr.cpMin != cr.cpMax ? 1 : 0;
}

int CSyntaxEdit::CanPaste() { return m_pRichEdit && m_pRichEdit->CanPaste(0) ? 1 : 0; }

void CSyntaxEdit::Cut() {
  // The inner control ignores a cut of a protected selection without a beep.
  if (HasSelection()) m_pRichEdit->Cut();
}

void CSyntaxEdit::Copy() {
  if (HasSelection()) m_pRichEdit->Copy();
}

void CSyntaxEdit::Paste() {
  // As for Cut: a protected selection makes the inner control ignore the paste.
  if (CanPaste()) m_pRichEdit->Paste();
}

// ---- window ----

int CSyntaxEdit::OnCreate() {
  auto inner = std::make_unique<SyntaxRichEdit>(this);
  DWORD scroll = GetStyle() & (WS_HSCROLL | WS_VSCROLL);
  ModifyStyle(WS_HSCROLL | WS_VSCROLL, 0);
  RECT client;
  GetClientRect(&client);
  DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                ES_NOHIDESEL | ES_WANTRETURN | ES_SAVESEL | scroll;
  if (!inner->Create(style, client, this, SYNTAX_RICHEDIT_ID)) return -1;
  m_pRichEdit = std::move(inner);
  SetDefaultFont(10, "courier new");
  m_pRichEdit->LimitText(0);
  return 0;
}

void CSyntaxEdit::SetDefaultFont(int points, const char* face) {
  if (!m_pRichEdit) return;
  CHARFORMAT cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_SIZE;
  cf.dwEffects = 0;
  // Twips; a size no font has is held at the largest height the format can carry.
  cf.yHeight = static_cast<LONG>(std::clamp<long long>(20LL * points, 0, INT32_MAX));
  if (face) {
    cf.dwMask |= CFM_FACE;
    std::strncpy(cf.szFaceName, face, LF_FACESIZE - 1);
    cf.szFaceName[LF_FACESIZE - 1] = '\0';
  }
  m_pRichEdit->SetDefaultCharFormat(cf);
}

int CSyntaxEdit::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent || m_hWnd) return 0;
  CWnd* item = parent->GetDlgItem(static_cast<int>(id));
  if (!item) return 0;
  RECT rect;
  item->GetWindowRect(&rect);
  // The control also takes the item's place in the dialog's tab order.
  const auto& siblings = parent->GetChildren();
  auto it = std::find(siblings.begin(), siblings.end(), item);
  CWnd* before = it == siblings.begin() ? nullptr : *(it - 1);
  item->DestroyWindow();
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | m_dwExtraStyle;
  if (!CreateEx(WS_EX_CLIENTEDGE, "", style, rect, parent, id)) return 0;
  SetOrderAfter(before);
  return 1;
}

void CSyntaxEdit::SetTabDialog(int tabbed) {
  if (tabbed) m_dwExtraStyle = kTabDialogStyle;
}

CWnd* CSyntaxEdit::GetDialog() const {
  CWnd* dlg = GetParent();
  if (dlg && (GetStyle() & kTabDialogStyle)) dlg = dlg->GetParent();
  return dlg;
}

int CSyntaxEdit::PrintText() {
  PRINTDLG pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = m_hWnd;
  pd.Flags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
             PD_NOSELECTION;
  return PrintDlg(&pd) ? 1 : 0;
}

// ---- find and replace ----

void CSyntaxEdit::BringUpFindReplaceDlg(int findOnly) {
  // A dialog still open is closed: two would both drive this view.
  m_pClosedDlg.reset();
  m_pFindDlg.reset();
  auto dlg = std::make_unique<CFindReplaceDialog>();
  if (!dlg->Create(findOnly ? TRUE : FALSE, m_strLastFind.c_str(), nullptr, FR_DOWN, this))
    return;
  m_pFindDlg = std::move(dlg);
}

namespace {

DWORD SearchFlags(BOOL matchCase, BOOL wholeWord) {
  return FR_DOWN | (matchCase ? FR_MATCHCASE : 0) | (wholeWord ? FR_WHOLEWORD : 0);
}

}  // namespace

LONG CSyntaxEdit::SearchDown(const std::string& what, LONG from, DWORD flags) {
  if (!m_pRichEdit || what.empty()) return -1;
  FINDTEXTEX ft{};
  ft.chrg = CHARRANGE{from, -1};
  ft.lpstrText = what.c_str();
  return m_pRichEdit->FindText(flags, &ft) < 0 ? -1 : ft.chrgText.cpMin;
}

LONG CSyntaxEdit::SearchUp(const std::string& what, LONG from, DWORD flags) {
  if (!m_pRichEdit || what.empty() || from < static_cast<LONG>(what.size())) return -1;
  if (!m_pReverseEdit) {
    auto rev = std::make_unique<CRichEditCtrl>();
    RECT none{0, 0, 0, 0};
    if (!rev->Create(ES_MULTILINE, none, nullptr, 0)) return -1;
    rev->LimitText(0x7FFFFFFF);
    m_pReverseEdit = std::move(rev);
  }
  std::string before = m_pRichEdit->GetTextRange(0, from);
  std::reverse(before.begin(), before.end());
  m_pReverseEdit->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(before.c_str()));
  std::string needle(what.rbegin(), what.rend());
  FINDTEXTEX ft{};
  ft.chrg = CHARRANGE{0, -1};
  ft.lpstrText = needle.c_str();
  if (m_pReverseEdit->FindText(flags, &ft) < 0) return -1;
  // [s, e) in the reversed text is [from - e, from - s) in the real one.
  return from - ft.chrgText.cpMax;
}

BOOL CSyntaxEdit::FindNextMatch(const std::string& what, BOOL down, BOOL matchCase,
                                BOOL wholeWord) {
  if (!m_pRichEdit || what.empty()) return FALSE;
  CHARRANGE sel;
  m_pRichEdit->GetSel(sel);
  DWORD flags = SearchFlags(matchCase, wholeWord);
  LONG at = down ? SearchDown(what, sel.cpMax, flags) : SearchUp(what, sel.cpMin, flags);
  if (at < 0) {
    MessageBox(m_hWnd, down ? "Reach the end of the document" : "Reach the top of the document",
               nullptr, MB_OK);
    return FALSE;
  }
  m_pRichEdit->SetSel(at, at + static_cast<LONG>(what.size()));
  return TRUE;
}

BOOL CSyntaxEdit::ReplaceCurrent(const std::string& what, const std::string& with,
                                 BOOL matchCase, BOOL wholeWord) {
  if (!m_pRichEdit || what.empty()) return FALSE;
  CHARRANGE sel;
  m_pRichEdit->GetSel(sel);
  std::string selected = m_pRichEdit->GetTextRange(sel.cpMin, sel.cpMax);
  bool same = matchCase ? selected == what : halyard::EqualsNoCaseAscii(selected, what);
  LONG room = m_pRichEdit->GetLimitText() - (m_pRichEdit->GetTextLength() - (sel.cpMax - sel.cpMin));
  if (!same || m_pRichEdit->Refused(sel) || static_cast<LONG>(with.size()) > room) {
    MessageBeep(MB_OK);
    return FALSE;
  }
  m_pRichEdit->ReplaceSel(with.c_str(), TRUE);
  LONG end = sel.cpMin + static_cast<LONG>(with.size());
  m_pRichEdit->RecolourChange(sel.cpMin, end);
  LONG next = SearchDown(what, end, SearchFlags(matchCase, wholeWord));
  if (next >= 0)
    m_pRichEdit->SetSel(next, next + static_cast<LONG>(what.size()));
  else
    m_pRichEdit->SetSel(end, end);
  return TRUE;
}

int CSyntaxEdit::ReplaceAllMatches(const std::string& what, const std::string& with,
                                   BOOL matchCase, BOOL wholeWord) {
  if (!m_pRichEdit || what.empty()) return 0;
  SyntaxRichEdit& edit = *m_pRichEdit;
  // The matches are sought in the text as it was, in one sweep: the search goes on after each
  // replacement, so the text before the sweep point is the new one and the text after it the
  // old one, and only the character before a match (for whole words) comes from the new text.
  const std::string text = edit.GetTextRange(0, edit.GetTextLength());
  const LONG n = static_cast<LONG>(what.size());
  const LONG w = static_cast<LONG>(with.size());
  glyphpad::Matcher match(what, matchCase != 0, wholeWord != 0);
  std::vector<std::pair<LONG, LONG>> changed;  // in the new text
  LONG delta = 0;
  int count = 0;
  char before = 0;  // the character before the sweep point in the new text (0: none)
  LONG p = 0;
  const LONG len = static_cast<LONG>(text.size());
  while (p + n <= len) {
    LONG at = match.Next(text, p, before);
    if (at < 0) break;
    LONG pos = at + delta;
    CHARRANGE cr{pos, pos + n};
    LONG room = edit.GetLimitText() - (edit.GetTextLength() - n);
    if (edit.Refused(cr) || w > room) {
      if (w > room) {
        MessageBeep(MB_OK);
        break;
      }
      before = text[static_cast<size_t>(at + n - 1)];
      p = at + n;
      continue;
    }
    edit.SetSel(cr.cpMin, cr.cpMax);
    edit.ReplaceSel(with.c_str(), TRUE);
    changed.emplace_back(pos, pos + w);
    delta += w - n;
    ++count;
    before = w > 0 ? with.back() : (at > p ? text[static_cast<size_t>(at - 1)] : before);
    p = at + n;
  }
  // Recoloured span by span; a span already covered by the recolouring of the one before it
  // is not done again.
  LONG covered = -1;
  for (auto [a, b] : changed) {
    if (b <= covered) continue;
    covered = edit.RecolourChange(std::max(a, covered), b);
  }
  if (!changed.empty()) edit.SetSel(changed.back().second, changed.back().second);
  return count;
}

LRESULT CSyntaxEdit::OnFindReplace(LPARAM lParam) {
  CFindReplaceDialog* dlg = CFindReplaceDialog::GetNotifier(lParam);
  if (!dlg || dlg != m_pFindDlg.get()) return 0;
  m_strLastFind = dlg->GetFindString();
  if (dlg->IsTerminating()) {
    // The dialog is still on its way out of this call: it is freed later, not here.
    m_pClosedDlg = std::move(m_pFindDlg);
    return 0;
  }
  std::string with = dlg->GetReplaceString();
  if (dlg->FindNext())
    FindNextMatch(m_strLastFind, dlg->SearchDown(), dlg->MatchCase(), dlg->MatchWholeWord());
  else if (dlg->ReplaceCurrent())
    ReplaceCurrent(m_strLastFind, with, dlg->MatchCase(), dlg->MatchWholeWord());
  else if (dlg->ReplaceAll())
    ReplaceAllMatches(m_strLastFind, with, dlg->MatchCase(), dlg->MatchWholeWord());
  return 0;
}

LRESULT CSyntaxEdit::InsertText(bool marker, const char* text) {
  if (!m_pRichEdit) return 0;
  CHARRANGE cr;
  m_pRichEdit->GetSel(cr);
  if (IsInProtectedRange(cr)) {
    MessageBeep(MB_OK);
    return 0;
  }
  const char* what = marker ? HIDDEN_TEXT_MARKER : (text ? text : "");
  // Text that does not fit under the limit is refused whole: a cut marker would read as text.
  LONG room = m_pRichEdit->GetLimitText() - (m_pRichEdit->GetTextLength() - (cr.cpMax - cr.cpMin));
  if (static_cast<LONG>(std::strlen(what)) > room) {
    MessageBeep(MB_OK);
    return 0;
  }
  // The protected ranges follow through the inner control's change hook, by the length that
  // was really inserted.
  m_pRichEdit->ReplaceSel(what, TRUE);
  LONG len = static_cast<LONG>(std::strlen(what));
  m_pRichEdit->RecolourChange(cr.cpMin, cr.cpMin + len);
  return 0;
}

LRESULT CSyntaxEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  SyntaxRichEdit* inner = m_pRichEdit.get();
  if (msg == kFindReplaceMessage && msg != 0) return OnFindReplace(lParam);
  switch (msg) {
    case WM_CREATE:
      return OnCreate();
    case WM_SHOWWINDOW:
      if (inner) inner->ShowWindow(wParam ? SW_SHOW : SW_HIDE);
      return 0;
    case SEM_SETREADONLY:
      if (inner) inner->SetReadOnly(wParam != 0);
      return 0;
    case SEM_SETFIXKEY:
    case SEM_SETPAIRKEY:
    case SEM_SETVARKEY:
    case SEM_GETLISTOFCHANGES:
    case SEM_SETINITFORMAT:
      // Accepted for the host's sake; the key tables and formats are fixed.
      return 0;
    case SEM_UNDOLASTCHANGE:
      if (inner && inner->CanUndo()) inner->Undo();
      return 0;
    case SEM_SETBACKGROUND:
      if (inner) inner->SetBackgroundColor(wParam != 0, static_cast<COLORREF>(lParam));
      return 0;
    case SEM_SETDEFAULTFONT:
      SetDefaultFont(static_cast<int>(static_cast<std::intptr_t>(wParam)),
                     reinterpret_cast<const char*>(lParam));
      return 0;
    case WM_SETFOCUS:
      if (inner) inner->SetFocus();
      return 0;
    case WM_SIZE:
      if (inner) {
        RECT client;
        GetClientRect(&client);
        inner->MoveWindow(client);
      }
      return 0;
    case WM_SETTEXT:
    case SEM_SETCONTENT:
      if (!inner) return 0;
      inner->SendMessage(WM_SETTEXT, 0, lParam);
      return msg == WM_SETTEXT ? TRUE : 0;
    case WM_GETTEXT:
      return inner ? inner->SendMessage(WM_GETTEXT, wParam, lParam) : 0;
    case WM_GETTEXTLENGTH:
    case SEM_GETCONTENTLENGTH:
      return inner ? inner->GetTextLength() : 0;
    case SEM_GETCONTENT: {
      char* buf = reinterpret_cast<char*>(lParam);
      if (!inner || !buf) return 0;
      LONG len = inner->GetTextLength();
      LONG want = static_cast<LONG>(static_cast<std::intptr_t>(wParam));
      if (want < 0 || want > len) want = len;
      std::string s = inner->GetTextRange(0, want);
      std::memcpy(buf, s.data(), s.size());
      buf[s.size()] = '\0';
      return 0;
    }
    case SEM_SETPROTECTFIELD:
      SetProtectField(reinterpret_cast<const ProtectRange*>(lParam),
                      static_cast<int>(static_cast<std::intptr_t>(wParam)));
      return 0;
    case SEM_INSERTTEXT:
      return InsertText(wParam != 0, reinterpret_cast<const char*>(lParam));
    case SEM_SETPROTECT:
      if (inner) inner->SetProtect(wParam != 0);
      return 0;
    case SEM_GETPROTECT:
      return IsProtectOn();
    case SEM_GETSEL: {
      auto* start = reinterpret_cast<LONG*>(wParam);
      auto* end = reinterpret_cast<LONG*>(lParam);
      if (!inner || !start || !end) return 0;
      CHARRANGE cr;
      inner->GetSel(cr);
      *start = cr.cpMin;
      *end = cr.cpMax;
      return 1;
    }
    case SEM_SETSEL: {
      if (!inner) return 0;
      LONG len = inner->GetTextLength();
      LONG a = static_cast<LONG>(static_cast<std::intptr_t>(wParam));
      LONG b = static_cast<LONG>(lParam);
      a = std::clamp<LONG>(a, 0, len);
      b = std::clamp<LONG>(b, 0, len);
      inner->SetSel(a, b);
      return 0;
    }
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}
