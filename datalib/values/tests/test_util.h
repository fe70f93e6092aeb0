// Helpers of the value tests: archive round trips through memory, and a record held in memory.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "datalib/access/cda_data_object.h"
#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cmemfile.h"
#include "platform/ole/colevariant.h"

namespace vaultkit_test {

// The bytes an object writes into a storing archive.
inline std::vector<BYTE> Store(const std::function<void(CArchive&)>& write) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
  }
  std::vector<BYTE> bytes(file.GetLength());
  file.SeekToBegin();
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// Loads from the bytes; returns the archive exception's cause, or -1 when none was thrown.
inline int Load(const std::vector<BYTE>& bytes, const std::function<void(CArchive&)>& read) {
  CMemFile file;
  if (!bytes.empty()) file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
  file.SeekToBegin();
  CArchive ar(&file, CArchive::load);
  try {
    read(ar);
  } catch (CArchiveException* e) {
    int cause = e->m_cause;
    e->Delete();
    return cause;
  } catch (CException* e) {
    e->Delete();
    return 1000;
  }
  return -1;
}

// A record whose fields are variants in a map; a field marked failing throws on reading.
class MemRecord : public CDADataObject {
 public:
  std::map<LONG, COleVariant> fields;
  LONG failing = -1;

 protected:
  void mReadField(LONG field, COleVariant* out) override {
    if (field == failing) throw 1;
    auto it = fields.find(field);
    if (it != fields.end()) *out = it->second;
  }
  void mWriteField(LONG field, const COleVariant& in) override { fields[field] = in; }
};

}  // namespace vaultkit_test
