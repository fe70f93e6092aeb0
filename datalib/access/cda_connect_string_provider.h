// CDAConnectStringProvider: implemented by the caller to name the external data sources that
// CDAHandler::mGetDatabase opens on demand. The handler owns the provider once it is set and
// deletes it in mExit.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class CDADatabase;
class CPDString;
class CPDBuffer;

class HALYARD_EXPORT CDAConnectStringProvider {
 public:
  virtual ~CDAConnectStringProvider();
  // Fills the connect text (and any extra data) for the source under index, given the
  // default database; 0 when there is no such source.
  virtual int mGetConnectString(CDADatabase* defaultDatabase, LONG index, CPDString* connect,
                                CPDBuffer* extra) = 0;
};
