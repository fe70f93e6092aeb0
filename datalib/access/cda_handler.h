// CDAHandler: the process-wide registry of open databases, addressed by a small index, and
// the factory of database objects. Indexes 0 to 5 are fixed services the caller sets (0 is
// the default database, used for catalog lookups and selection translation); any other
// index is an external source opened on demand through the connect-string provider. The
// handler owns every registered database and the provider until mExit. Back ends make
// themselves known with mSetDatabaseFactory (the object store under type 64, the relational
// back end under type 16). Process-wide state without locks: one thread only.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class CDADatabase;
class CDAConnectStringProvider;
class CObject;

class HALYARD_EXPORT CDAHandler {
 public:
  using DatabaseFactory = CDADatabase* (*)();

  // A new, unopened database of the default type.
  static CDADatabase* mNewDatabase();
  // Type 0 is the default type 64 (the object store); any other type yields null.
  static CDADatabase* mNewDatabase(unsigned short type);
  // The type from the connect text's prefix (any case): "Informix:" 32, "Sybase:" 8, "Pyx:"
  // 64, anything else (also null) the default type; then as mNewDatabase(type).
  static CDADatabase* mNewDatabase(const char* connect);
  static unsigned short mGetDefaultDatabaseType();
  static int mIsMultiUser();
  // With flag 0x1000 a new locking wrapper around db (owning it); otherwise db itself.
  static CDADatabase* mAddService(unsigned short flags, CDADatabase* db);
  // Stores db under index (replacing an earlier entry, which is not destroyed); the handler
  // owns it until mExit.
  static void mSetDatabase(LONG index, CDADatabase* db);
  // The database under index; for an index beyond 5 without an entry, a new relational
  // database opened with the provider's connect text (null when there is no provider, it
  // names nothing, or the open fails).
  static CDADatabase* mGetDatabase(LONG index);
  static void mSetConnectStringProvider(CDAConnectStringProvider* provider);
  static void mSetDefaultSessionFlags(LONG flags);
  static LONG mGetDefaultSessionFlags();
  // Destroys every registered database once (closing the external sources first), empties
  // the registry and destroys the provider.
  static void mExit();

  // Makes a back end known: mNewDatabase creates type 64 through it, mGetDatabase opens
  // external sources through type 16. Null removes the factory.
  static void mSetDatabaseFactory(unsigned short type, DatabaseFactory factory);
  // The object store's process-wide session; the handler destroys it in UninitializeDatabase.
  static void mSetEngineSession(CObject* session);
  static CObject* mGetEngineSession();
};

// Ends the object-store engine's session: destroys the session object and clears it.
HALYARD_EXPORT void UninitializeDatabase();
