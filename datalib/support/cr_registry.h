// CRRegistry and CRSimpleRegistry: thin wrappers of one open registry key under
// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER. CRRegistry reads and writes persistent values,
// CRSimpleRegistry plain C types; reads can fall back to a default that is then written. The
// key is held from construction to destruction; every operation answers 0 without a key.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/registry/win_reg.h"

class CPDString;
class CPDLong;

class HALYARD_EXPORT CRRegistry {
 public:
  enum CRRegistrySetting : int { eLocalMachine = 0, eCurrentUser = 1 };

  // Creates or opens the sub-key with full access; the key stays null on failure.
  CRRegistry(CRRegistrySetting setting, const char* subKey);
  ~CRRegistry();
  CRRegistry(const CRRegistry&) = delete;
  CRRegistry& operator=(const CRRegistry&) = delete;

  int mWriteString(const char* name, const CPDString& text);
  int mWriteLong(const char* name, const CPDLong& value);
  // At most 255 bytes; a missing value is written from the fallback (when given) and read
  // again. 1 only for a REG_SZ value.
  int mReadString(const char* name, CPDString& out, const CPDString* fallback);
  // 1 and out set only for a 4-byte REG_DWORD.
  int mReadLong(const char* name, CPDLong& out, const CPDLong* fallback);
  int mDelete(const char* name);
  int mDeleteKey(const char* subKey);
  HKEY mGetKey() const { return mKey; }

 private:
  HKEY mKey;
};

class HALYARD_EXPORT CRSimpleRegistry {
 public:
  enum CRRegistrySetting : int { eLocalMachine = 0, eCurrentUser = 1 };

  // Creates or opens the sub-key with full access, else opens it for reading only.
  CRSimpleRegistry(CRRegistrySetting setting, const char* subKey);
  ~CRSimpleRegistry();
  CRSimpleRegistry(const CRSimpleRegistry&) = delete;
  CRSimpleRegistry& operator=(const CRSimpleRegistry&) = delete;

  int mWriteString(char* name, char* text);
  int mWriteLong(char* name, LONG value);
  // At most size bytes, always terminated within them.
  int mReadString(char* name, char* out, unsigned long size, char* fallback);
  int mReadLong(char* name, LONG* out, LONG fallback);
  HKEY mGetKey() const { return mKey; }

 private:
  HKEY mKey;
};
