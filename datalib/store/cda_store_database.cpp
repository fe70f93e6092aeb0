#include "cda_store_database.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/support/cr_registry.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/text.h"
#include "platform/kernel/win_path.h"
#include "platform/kernel/win_system.h"
#include "platform/mfc/cfileexception.h"
#include "pyx_engine.h"

using vaultkit::OwnedPtr;
using vaultkit::kStoreAttributeBase;
using vaultkit::pyx::PyxIDList;
using vaultkit::pyx::PyxQuery;
using vaultkit::pyx::PyxSelect;
using vaultkit::pyx::PyxStore;

namespace {

constexpr char kServerKey[] = "SOFTWARE\\Quillmarks\\Scriptorium Server";
constexpr char kDataKey[] = "SOFTWARE\\Quillmarks\\Scriptorium Server\\Data";
constexpr DWORD kCacheCeiling = 10000000;

bool g_cacheLimitSet = false;

// The object store is the handler's default type.
CDADatabase* MakeStore() { return new CDAStoreDatabase(); }
const bool kRegistered = [] {
  CDAHandler::mSetDatabaseFactory(kDATypeObjectStore, MakeStore);
  return true;
}();

bool ReadValue(const char* key, const char* name, const char* fallback, std::string* out) {
  CRRegistry registry(CRRegistry::eLocalMachine, key);
  if (registry.mGetKey() == nullptr) return false;
  CPDString value;
  CPDString def(fallback);
  if (registry.mReadString(name, value, &def) == 0) value = def;
  *out = static_cast<char*>(value);
  return true;
}

// A query result or a new record of the store: the identifiers the query found, read one
// object at a time; changes to the current object wait for mUpdateRecord.
class StoreIterator : public CDADataIterator {
 public:
  StoreIterator(PyxStore* store, LONG type, PyxIDList* list) : mStore(store), mType(type), mList(list) {}
  // A new record, inserted by mUpdateRecord.
  StoreIterator(PyxStore* store, LONG type) : mStore(store), mType(type), mList(new PyxIDList()), mNew(true) {
    mList->mType = type;
  }
  ~StoreIterator() override { delete mList; }

  int mUpdateRecord() override {
    if (mNew) {
      const sqlite3_int64 id = mStore->Insert(mType, mPending);
      mList->mIds.push_back(id);
      mPosition = static_cast<LONG>(mList->mIds.size()) - 1;
      mNew = false;
    } else {
      if (mPending.empty()) return 1;
      if (!OnRecord()) return 0;
      mStore->Update(mType, Current(), mPending);
    }
    mPending.clear();
    mLoaded = false;
    return 1;
  }
  int mDeleteRecord() override {
    if (mNew || !OnRecord()) return 0;
    mStore->Delete(mType, Current());
    mList->mIds.erase(mList->mIds.begin() + mPosition);
    Moved();
    return 1;
  }
  int mIsEOF() override { return mNew ? 0 : mPosition >= Size() ? 1 : 0; }
  int mIsBOF() override { return mNew ? 0 : (mPosition < 0 || Size() == 0) ? 1 : 0; }
  int mSetAbsolutePosition(LONG index) override {
    if (index < 0 || index >= Size()) return 0;
    mPosition = index;
    Moved();
    return 1;
  }
  LONG mGetRecordCount() override { return Size(); }
  void mMoveNext() override {
    if (mPosition < Size()) ++mPosition;
    Moved();
  }
  void mMovePrev() override {
    if (mPosition >= 0) --mPosition;
    Moved();
  }
  void mMoveFirst() override {
    if (Size() > 0) mPosition = 0;
    Moved();
  }
  void mMoveLast() override {
    if (Size() > 0) mPosition = Size() - 1;
    Moved();
  }

 protected:
  void mReadField(LONG field, COleVariant* out) override {
    const LONG attribute = field + kStoreAttributeBase;
    for (auto it = mPending.rbegin(); it != mPending.rend(); ++it) {
      if (it->first == attribute) {
        *out = it->second;
        return;
      }
    }
    const auto& attributes = mStore->Attributes(mType);
    if (field < 0 || field >= static_cast<LONG>(attributes.size()))
      CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mStore->Path().c_str());
    if (mNew || !OnRecord()) return;  // nothing stored yet: the value stays as it is
    if (!mLoaded) {
      // An object removed by another writer reads as empty.
      if (!mStore->Read(mType, Current(), &mRow)) mRow.clear();
      mLoaded = true;
    }
    if (field < static_cast<LONG>(mRow.size())) *out = mRow[static_cast<size_t>(field)];
  }
  void mWriteField(LONG field, const COleVariant& in) override {
    const LONG attribute = field + kStoreAttributeBase;
    if (field < 0 || field >= static_cast<LONG>(mStore->Attributes(mType).size()))
      CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mStore->Path().c_str());
    for (auto& [a, v] : mPending) {
      if (a == attribute) {
        v = in;
        return;
      }
    }
    mPending.emplace_back(attribute, in);
  }

 private:
  LONG Size() const { return static_cast<LONG>(mList->mIds.size()); }
  bool OnRecord() const { return mPosition >= 0 && mPosition < Size(); }
  sqlite3_int64 Current() const { return mList->mIds[static_cast<size_t>(mPosition)]; }
  // Leaving a record drops its unsaved changes, as a recordset does.
  void Moved() {
    mPending.clear();
    mLoaded = false;
  }

  PyxStore* mStore;
  LONG mType;
  PyxIDList* mList;
  bool mNew = false;
  LONG mPosition = 0;
  std::vector<std::pair<LONG, COleVariant>> mPending;
  std::vector<COleVariant> mRow;
  bool mLoaded = false;
};

}  // namespace

CDAStoreDatabase::CDAStoreDatabase() { (void)kRegistered; }

CDAStoreDatabase::~CDAStoreDatabase() { delete mStore; }

DWORD CDAStoreDatabase::mInitCacheLimit() {
  auto& session = vaultkit::pyx::PyxSession::Get();
  if (!g_cacheLimitSet) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    session.SetCacheLimit(static_cast<DWORD>(std::min<SIZE_T>(status.dwTotalPhys / 6, kCacheCeiling)));
    g_cacheLimitSet = true;
  }
  return session.GetCacheLimit();
}

bool CDAStoreDatabase::mResolvePath(const std::string& connect, std::string* path) {
  std::string name = connect;
  if (halyard::StartsWithNoCaseAscii(name.c_str(), "Pyx:")) name.erase(0, 4);
  if (!name.empty() && (name.find(".qld") != std::string::npos || name.find(".qlt") != std::string::npos ||
                        name.find('\\') != std::string::npos)) {
    *path = name;
    return true;
  }
  std::string root;
  if (!ReadValue(kServerKey, "ScriptoriumServerRoot", "C:\\ScriptoriumServer", &root)) return false;
  if (name.empty()) {
    std::string file;
    if (!ReadValue(kServerKey, "AdminDatabaseFile", "Admin\\Admin.qld", &file)) return false;
    *path = root + "\\" + file;
    return true;
  }
  std::string data;
  if (!ReadValue(kDataKey, "DataFileDirectory", "User Sites", &data)) return false;
  *path = root + "\\" + data + "\\" + name + "\\" + name + ".qld";
  return true;
}

void CDAStoreDatabase::mOpenFile(const std::string& path, bool writable, bool create) {
  delete mStore;
  mStore = nullptr;
  mStore = new PyxStore(path, writable, create);
  // The engine's own classes, then the catalog.
  for (const std::string& name : vaultkit::pyx::PyxSession::Get().Classes()) mStore->RegisterClass(name);
  if (mStore->InTransaction()) mStore->Commit();
}

int CDAStoreDatabase::mOpen(const CPDString& connect) {
  mInitCacheLimit();
  std::string text = static_cast<char*>(const_cast<CPDString&>(connect));
  bool writable = true;
  const std::size_t bar = text.find('|');
  if (bar != std::string::npos) {
    writable = std::atol(text.c_str() + bar + 1) != 0;
    text.resize(bar);
  }
  std::string path;
  if (!mResolvePath(text, &path)) return 0;
  mPath = path;
  mOpenFile(path, writable, false);
  return 1;
}

int CDAStoreDatabase::mCreate(const CPDString& pathText) {
  mInitCacheLimit();
  std::string path;
  if (!mResolvePath(static_cast<char*>(const_cast<CPDString&>(pathText)), &path)) return 0;
  mPath = path;
  halyard::MakeParentFolders(halyard::MapWinPath(path));
  mOpenFile(path, true, true);
  if (mStore->Created()) {
    try {
      mCreateCatalog();
      mStore->Commit();
    } catch (...) {
      delete mStore;
      mStore = nullptr;
      throw;
    }
  }
  return 1;
}

void CDAStoreDatabase::mCreateCatalog() {
  PyxStore& store = *mStore;
  store.DefineType(kDASysTypes, "SysTypes");
  for (LONG kind : {1, 1, 0, 1, 0, 1, 1}) store.AddAttribute(kDASysTypes, kind);  // fields 0 to 6
  store.DefineType(kDASysFields, "SysFields");
  for (LONG kind : {1, 0, 1, 1, 1}) store.AddAttribute(kDASysFields, kind);
  store.CreateIndex(kDASysTypes, kStoreAttributeBase + 1);   // fType
  store.CreateIndex(kDASysFields, kStoreAttributeBase + 0);  // fObjectType
  vaultkit::WriteInitialCatalog(this);
}

void CDAStoreDatabase::mClose() {
  delete mStore;
  mStore = nullptr;
}

int CDAStoreDatabase::mIsWritable() const { return mStore != nullptr && mStore->Writable() ? 1 : 0; }

unsigned short CDAStoreDatabase::mGetTypeFlags() { return kDATypeObjectStore; }

PyxStore& CDAStoreDatabase::mRequireStore() const {
  if (mStore == nullptr) CFileException::ThrowOsError(6 /* ERROR_INVALID_HANDLE */, mPath.c_str());
  return *mStore;
}

void CDAStoreDatabase::mBeginTransaction() {}

void CDAStoreDatabase::mCommitTransaction(CObject*) { mRequireStore().Commit(); }

void CDAStoreDatabase::mRollback() { mRequireStore().Rollback(); }

CDADataIterator* CDAStoreDatabase::mRun(LONG type, CObject* select, CDASort* sort) {
  PyxStore& store = mRequireStore();
  OwnedPtr<CObject> owned(select);
  auto* engineSelect = dynamic_cast<PyxSelect*>(select);
  if (select != nullptr && engineSelect == nullptr) return nullptr;  // not a selection of this engine
  if (!store.HasType(type)) return nullptr;
  const LONG order = sort != nullptr && sort->mGetFieldIndex() >= 0 ? sort->mGetFieldIndex() + kStoreAttributeBase : -1;
  PyxQuery query(type, static_cast<PyxSelect*>(owned.release()), order, sort == nullptr || sort->mIsAscendingSort() != 0);
  OwnedPtr<PyxIDList> list(store.Evaluate(query));
  if (list->mIds.empty()) return nullptr;
  return new StoreIterator(&store, type, list.release());
}

CDADataIterator* CDAStoreDatabase::mQueryType(LONG type, CDASort* sort) { return mRun(type, nullptr, sort); }

CDADataIterator* CDAStoreDatabase::mQuery(LONG type, CDASelect* select, CDASort* sort) {
  CObject* translated = select != nullptr ? select->mProcessSelect(this) : nullptr;
  return mRun(type, translated, sort);
}

LONG CDAStoreDatabase::mFieldNumber(LONG type, const char* name) {
  if (type == kDASysTypes) {
    static const char* const kNames[] = {"System", "fType", "fName", "fCL", "fDefaultLayout", "fOwnerType"};
    for (LONG i = 0; i < 6; ++i)
      if (std::string(kNames[i]) == name) return i;
    return -1;
  }
  if (type == kDASysFields) return -1;
  CPDStringArray names;
  CPDLongArray kinds;
  // The catalog lists a type's fields in field order; look the number up in SysFields itself.
  CDAAndSelectWithDelete both;
  both.mAddSelect(new CDALongSelect(kDASysFields, 0, type, 0));
  both.mAddSelect(new CDAStringSelect(kDASysFields, 1, CPDString(name), -1));
  OwnedPtr<CDADataIterator> found(mQuery(kDASysFields, &both, nullptr));
  if (!found) return -1;
  CPDLong count(-1);
  found->mGetField(4, &count);
  return count.mGetValue();
}

CDADataIterator* CDAStoreDatabase::mFind(LONG type, const char* field, CObject* select) {
  OwnedPtr<CObject> owned(select);
  LONG number = mFieldNumber(type, field);
  if (number < 0 || !mRequireStore().HasType(type)) return nullptr;
  if (number >= static_cast<LONG>(mStore->Attributes(type).size())) return nullptr;
  if (auto* s = dynamic_cast<vaultkit::pyx::PyxLongSelect*>(select)) s->mAttribute = number + kStoreAttributeBase;
  if (auto* s = dynamic_cast<vaultkit::pyx::PyxStringSelect*>(select)) s->mAttribute = number + kStoreAttributeBase;
  return mRun(type, owned.release(), nullptr);
}

CDADataIterator* CDAStoreDatabase::mFindByNumber(LONG type, LONG number) {
  return mFind(type, "fNumber", mRequireStore().NewLongSelect(0, number, 0));
}
CDADataIterator* CDAStoreDatabase::mFindByType(LONG type, LONG value) {
  return mFind(type, "fType", mRequireStore().NewLongSelect(0, value, 0));
}
CDADataIterator* CDAStoreDatabase::mFindByClass(LONG type, LONG value) {
  return mFind(type, "fCL", mRequireStore().NewLongSelect(0, value, 0));
}
CDADataIterator* CDAStoreDatabase::mFindByName(LONG type, CPDString* name) {
  CPDString empty("");
  return mFind(type, "fName", mRequireStore().NewStringSelect(0, name != nullptr ? *name : empty, -1));
}

void CDAStoreDatabase::mCreateTypeTable(LONG type, const CPDString& name) {
  mRequireStore().DefineType(type, static_cast<char*>(const_cast<CPDString&>(name)));
}

LONG CDAStoreDatabase::mAddField(LONG type, const CPDString&, LONG kind) {
  if (mGetNativeFieldType(kind) == 0) return -1;  // a kind this back end does not store
  return mRequireStore().AddAttribute(type, kind) - kStoreAttributeBase;
}

LONG CDAStoreDatabase::mGetNativeFieldType(LONG kind) {
  switch (kind) {
    case kDAKindText:
    case kDAKindFile:
      return 3;
    case kDAKindLong:
      return 1;
    case kDAKindBinary:
    case kDAKindFormattedText:
      return 4;
    case kDAKindDate:
    case kDAKindDouble:
      return 2;
    default:
      return 0;
  }
}

void CDAStoreDatabase::mIndexField(LONG type, LONG field) {
  mRequireStore().CreateIndex(type, field + kStoreAttributeBase);
}

void CDAStoreDatabase::mPrepareType(LONG type) {
  PyxStore& store = mRequireStore();
  if (store.HasType(type) && store.Attributes(type).size() >= 2) {
    mIndexField(type, 0);
    mIndexField(type, 1);
  }
}

void CDAStoreDatabase::mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) {
  CDALongSelect ofType(kDASysFields, 0, type, 0);
  CDASort byNumber;
  byNumber.mInit(4, 1);
  OwnedPtr<CDADataIterator> it(mQuery(kDASysFields, &ofType, &byNumber));
  if (!it) return;
  for (; it->mIsEOF() == 0; it->mMoveNext()) {
    CPDString name;
    CPDLong kind(0);
    it->mGetField(1, &name);
    it->mGetField(2, &kind);
    if (names != nullptr) names->mAdd(name);
    if (kinds != nullptr) {
      LONG k = kind.mGetValue();
      kinds->mAdd(&k);
    }
  }
}

void CDAStoreDatabase::mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) {
  CDAAndSelectWithDelete both;
  both.mAddSelect(new CDALongSelect(kDASysFields, 0, type, 0));
  both.mAddSelect(new CDALongSelect(kDASysFields, 4, field, 0));
  OwnedPtr<CDADataIterator> it(mQuery(kDASysFields, &both, nullptr));
  if (!it) return;
  if (name != nullptr) it->mGetField(1, name);
  if (kind != nullptr) {
    CPDLong k(*kind);
    it->mGetField(2, &k);
    *kind = k.mGetValue();
  }
}

CDADataObject* CDAStoreDatabase::mNewRecord(LONG type) {
  PyxStore& store = mRequireStore();
  if (!store.HasType(type)) return nullptr;
  return new StoreIterator(&store, type);
}

CObject* CDAStoreDatabase::mProcessInLongSelect(CDAInLongSelect*) { return nullptr; }

CObject* CDAStoreDatabase::mProcessStringSelect(CDAStringSelect* select) {
  return select != nullptr ? vaultkit::StoreStringSelect(*select, mRequireStore()) : nullptr;
}

CObject* CDAStoreDatabase::mProcessLongSelect(CDALongSelect* select) {
  return select != nullptr ? vaultkit::StoreLongSelect(*select, mRequireStore()) : nullptr;
}

CObject* CDAStoreDatabase::mProcessOrSelect(CDAOrSelect* select) {
  return select != nullptr ? vaultkit::StoreComplexSelect(*select, this, mRequireStore(), false) : nullptr;
}

CObject* CDAStoreDatabase::mProcessAndSelect(CDAAndSelect* select) {
  return select != nullptr ? vaultkit::StoreComplexSelect(*select, this, mRequireStore(), true) : nullptr;
}
