#include "cda_database.h"

#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

CDADatabase::~CDADatabase() = default;

void CDADatabase::mSetContext(LONG, LONG) {}
void CDADatabase::mContextPairA(LONG, LONG) {}
void CDADatabase::mContextPairB(LONG, LONG) {}
void CDADatabase::mClearContext() {}
LONG CDADatabase::mGetContextType() { return 0; }
LONG CDADatabase::mReserved1() { return 0; }
LONG CDADatabase::mReserved2() { return 0; }
LONG CDADatabase::mReserved3() { return 0; }
LONG CDADatabase::mReserved4() { return 0; }
LONG CDADatabase::mReserved5() { return 0; }
LONG CDADatabase::mReserved6() { return 0; }
LONG CDADatabase::mReserved7() { return 0; }
LONG CDADatabase::mReserved8() { return 0; }
LONG CDADatabase::mReserved9() { return 0; }
LONG CDADatabase::mReserved10() { return 0; }
LONG CDADatabase::mReserved11() { return 0; }
LONG CDADatabase::mReserved12() { return 0; }
LONG CDADatabase::mReserved13() { return 0; }
LONG CDADatabase::mReserved14() { return 0; }
LONG CDADatabase::mReserved15() { return 0; }
LONG CDADatabase::mReserved16() { return 0; }
LONG CDADatabase::mReserved17() { return -1; }
LONG CDADatabase::mReserved18() { return 0; }

void CDADatabase::mGetFieldNumbers(LONG type, CPDStringArray* names, CPDLongArray* kinds,
                                   CPDLongArray* numbers) {
  CPDStringArray ownNames;
  CPDStringArray* n = names != nullptr ? names : &ownNames;
  const LONG before = n->mGetNumItems();
  mGetFields(type, n, kinds);
  if (numbers == nullptr) return;
  for (LONG i = 0; i < n->mGetNumItems() - before; ++i) {
    LONG number = i;
    numbers->mAdd(&number);
  }
}

void CDADatabase::mPrepareType(LONG) {}

void CDADatabase::mGetFieldKindNames(CPDStringArray* names, CPDLongArray* kinds) {
  static const struct {
    const char* name;
    LONG kind;
  } kKinds[] = {{"Formatted Text", kDAKindFormattedText},
                {"Memo", kDAKindText},
                {"File", kDAKindFile},
                {"Date", kDAKindDate}};
  for (const auto& k : kKinds) {
    if (names != nullptr) names->mAdd(CPDString(k.name));
    if (kinds != nullptr) {
      LONG kind = k.kind;
      kinds->mAdd(&kind);
    }
  }
}
