#include "cda_handler.h"

#include <map>

#include "cda_connect_string_provider.h"
#include "cda_database.h"
#include "cda_lock_database.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_string.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cobject.h"

CDAConnectStringProvider::~CDAConnectStringProvider() = default;

namespace {

// The handler's state, made on first use so that start-up order does not matter.
struct HandlerState {
  std::map<LONG, CDADatabase*> databases;
  CDAConnectStringProvider* provider = nullptr;
  LONG sessionFlags = 0;
  std::map<unsigned short, CDAHandler::DatabaseFactory> factories;
  CObject* engineSession = nullptr;
};

HandlerState& State() {
  static HandlerState state;
  return state;
}

constexpr LONG kLastFixedIndex = 5;

bool HasPrefix(const char* text, const char* prefix) {
  return halyard::StartsWithNoCaseAscii(text, prefix);
}

CDADatabase* Create(unsigned short type) {
  auto& factories = State().factories;
  auto it = factories.find(type);
  return it == factories.end() || it->second == nullptr ? nullptr : it->second();
}

}  // namespace

CDADatabase* CDAHandler::mNewDatabase() { return mNewDatabase(static_cast<unsigned short>(0)); }

CDADatabase* CDAHandler::mNewDatabase(unsigned short type) {
  if (type == 0) type = mGetDefaultDatabaseType();
  if (type != kDATypeObjectStore) return nullptr;
  return Create(kDATypeObjectStore);
}

CDADatabase* CDAHandler::mNewDatabase(const char* connect) {
  unsigned short type = mGetDefaultDatabaseType();
  if (connect != nullptr) {
    if (HasPrefix(connect, "Informix:")) {
      type = kDATypeInformix;
    } else if (HasPrefix(connect, "Sybase:")) {
      type = kDATypeSybase;
    } else if (HasPrefix(connect, "Pyx:")) {
      type = kDATypeObjectStore;
    }
  }
  return mNewDatabase(type);
}

unsigned short CDAHandler::mGetDefaultDatabaseType() { return kDATypeObjectStore; }

int CDAHandler::mIsMultiUser() { return 0; }

CDADatabase* CDAHandler::mAddService(unsigned short flags, CDADatabase* db) {
  if ((flags & kDAServiceLocking) != 0 && db != nullptr) return new CDALockDatabase(db);
  return db;
}

void CDAHandler::mSetDatabase(LONG index, CDADatabase* db) { State().databases[index] = db; }

CDADatabase* CDAHandler::mGetDatabase(LONG index) {
  HandlerState& state = State();
  auto it = state.databases.find(index);
  if (it != state.databases.end()) return it->second;
  if (index >= 0 && index <= kLastFixedIndex) return nullptr;
  if (state.provider == nullptr) return nullptr;

  auto def = state.databases.find(0);
  CDADatabase* defaultDb = def != state.databases.end() ? def->second : nullptr;
  CPDString connect;
  CPDBuffer extra;
  if (state.provider->mGetConnectString(defaultDb, index, &connect, &extra) == 0) return nullptr;
  // Without a default database there are no flags to read: the relational back end serves.
  const unsigned short flags = defaultDb != nullptr ? defaultDb->mGetTypeFlags() : 0;
  CDADatabase* db = (flags & (0x80 | kDATypeSybase)) != 0 ? mNewDatabase(kDATypeInformix)
                                                          : Create(kDATypeRelational);
  if (db == nullptr) return nullptr;
  int opened = 0;
  try {
    opened = db->mOpen(connect);
  } catch (...) {
    delete db;
    throw;
  }
  if (opened == 0) {
    delete db;
    return nullptr;
  }
  state.databases[index] = db;
  return db;
}

void CDAHandler::mSetConnectStringProvider(CDAConnectStringProvider* provider) {
  HandlerState& state = State();
  if (state.provider != provider) delete state.provider;
  state.provider = provider;
}

void CDAHandler::mSetDefaultSessionFlags(LONG flags) { State().sessionFlags = flags; }
LONG CDAHandler::mGetDefaultSessionFlags() { return State().sessionFlags; }

void CDAHandler::mExit() {
  HandlerState& state = State();
  for (auto it = state.databases.begin(); it != state.databases.end(); ++it) {
    CDADatabase* db = it->second;
    if (db == nullptr) continue;
    bool storedLater = false;
    for (auto later = std::next(it); later != state.databases.end(); ++later) {
      if (later->second == db) {
        storedLater = true;
        break;
      }
    }
    if (storedLater) continue;
    if (it->first < 0 || it->first > kLastFixedIndex) db->mClose();
    delete db;
  }
  state.databases.clear();
  delete state.provider;
  state.provider = nullptr;
}

void CDAHandler::mSetDatabaseFactory(unsigned short type, DatabaseFactory factory) {
  if (factory == nullptr) {
    State().factories.erase(type);
  } else {
    State().factories[type] = factory;
  }
}

void CDAHandler::mSetEngineSession(CObject* session) {
  HandlerState& state = State();
  if (state.engineSession != session) delete state.engineSession;
  state.engineSession = session;
}

CObject* CDAHandler::mGetEngineSession() { return State().engineSession; }

void UninitializeDatabase() {
  HandlerState& state = State();
  delete state.engineSession;
  state.engineSession = nullptr;
}
