#include "cda_complex_select.h"

#include <istream>
#include <ostream>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_database.h"
#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "select_stream.h"

IMPLEMENT_SERIAL(CDAComplexSelect, CDASelect, 0)
IMPLEMENT_SERIAL(CDAAndSelect, CDAComplexSelect, 0)
IMPLEMENT_SERIAL(CDAOrSelect, CDAComplexSelect, 0)
IMPLEMENT_SERIAL(CDAAndSelectWithDelete, CDAAndSelect, 0)
IMPLEMENT_SERIAL(CDAOrSelectWithDelete, CDAOrSelect, 0)

CDAComplexSelect::CDAComplexSelect() = default;
CDAComplexSelect::~CDAComplexSelect() = default;

void CDAComplexSelect::Serialize(CArchive& ar) {
  CDASelect::Serialize(ar);
  if (ar.IsStoring()) {
    mSelects.Serialize(ar);
    return;
  }
  vaultkit::SelectDepthGuard depth;
  if (depth.mOverflow()) AfxThrowArchiveException(CArchiveException::generic);
  vaultkit::NoteLoadedComplex(this);
  // The array's form, with every part required to be a selection.
  mSelects.RemoveAll();
  DWORD count = ar.ReadCount();
  for (DWORD i = 0; i < count; ++i) mSelects.Add(ar.ReadObject(RUNTIME_CLASS(CDASelect)));
}

int CDAComplexSelect::mIsComplex() { return 1; }

void CDAComplexSelect::Serialize(std::ostream& os) {
  // Null slots have no form: the count says how many parts follow, so it leaves them out.
  LONG parts = 0;
  for (LONG i = 0; i < mSelects.GetSize(); ++i) parts += mSelects.GetAt(i) != nullptr ? 1 : 0;
  os.put(mStreamLetter());
  vaultkit::WriteSelectNumber(os, parts);
  for (LONG i = 0; i < mSelects.GetSize(); ++i) {
    auto* part = static_cast<CDASelect*>(mSelects.GetAt(i));
    if (part != nullptr) part->Serialize(os);
  }
}

void CDAComplexSelect::Serialize(std::istream& is) {
  vaultkit::SelectDepthGuard depth;
  LONG count = 0;
  if (depth.mOverflow() || !vaultkit::ReadSelectNumber(is, count) || count < 0) {
    is.setstate(std::ios::failbit);
    return;
  }
  // Parts are appended as they arrive, so a false count costs nothing beyond the data.
  for (LONG i = 0; i < count; ++i) {
    CDASelect* part = CDASelect::mNew(is);
    if (part == nullptr) {
      is.setstate(std::ios::failbit);
      return;
    }
    mSelects.Add(part);
  }
}

void CDAComplexSelect::mAddSelect(CDASelect* select) { mSelects.Add(select); }

CDASelect* CDAComplexSelect::mGetSelect(LONG index) const {
  if (index < 0 || index >= mSelects.GetSize()) return nullptr;
  return static_cast<CDASelect*>(mSelects.GetAt(index));
}

void CDAComplexSelect::mDeleteParts() {
  for (LONG i = 0; i < mSelects.GetSize(); ++i) delete mSelects.GetAt(i);
  mSelects.RemoveAll();
}

CDAAndSelect::CDAAndSelect() = default;
CDAAndSelect::~CDAAndSelect() = default;

CObject* CDAAndSelect::mProcessSelect(CDADataIterator* it) {
  return it != nullptr ? it->mProcessAndSelect(this) : nullptr;
}

CObject* CDAAndSelect::mProcessSelect(CDADatabase* db) {
  return db != nullptr ? db->mProcessAndSelect(this) : nullptr;
}

CDAOrSelect::CDAOrSelect() = default;
CDAOrSelect::~CDAOrSelect() = default;

CObject* CDAOrSelect::mProcessSelect(CDADataIterator* it) {
  return it != nullptr ? it->mProcessOrSelect(this) : nullptr;
}

CObject* CDAOrSelect::mProcessSelect(CDADatabase* db) {
  return db != nullptr ? db->mProcessOrSelect(this) : nullptr;
}

CDAAndSelectWithDelete::CDAAndSelectWithDelete() = default;
CDAAndSelectWithDelete::~CDAAndSelectWithDelete() { mDeleteParts(); }

CDAOrSelectWithDelete::CDAOrSelectWithDelete() = default;
CDAOrSelectWithDelete::~CDAOrSelectWithDelete() { mDeleteParts(); }
