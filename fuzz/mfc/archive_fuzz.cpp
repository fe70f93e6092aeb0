// Feeds arbitrary bytes to the archive loader. The first byte picks what is read (objects,
// strings and counts, an array's or a map's own form) and the archive's buffer size; the rest
// is the archive. Every outcome must be a value or a CException, never a crash, an overrun or
// a leak.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cmapstringtostring.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/cobarray.h"

// An object with data of every kind and a link, as the loaders of the libraries meet them.
class CFuzzItem : public CObject {
  DECLARE_SERIAL(CFuzzItem)
 public:
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar << value << ratio << name << link;
    } else {
      ar >> value >> ratio >> name;
      CObject* p;
      ar >> p;
      link = p;
    }
  }
  LONG value = 0;
  double ratio = 0;
  CString name;
  CObject* link = nullptr;
};
IMPLEMENT_SERIAL(CFuzzItem, CObject, 1)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = data[0] & 3;
  const int bufSize = 128 << ((data[0] >> 2) & 7);
  std::vector<BYTE> bytes(data + 1, data + size);
  CMemFile file(bytes.data(), (UINT)bytes.size());
  CArchive ar(&file, CArchive::load, bufSize);
  CObArray arr;
  CMapStringToString map;
  try {
    switch (mode) {
      case 0:
        for (int i = 0; i < 64 && !(ar.IsBufferEmpty() && file.GetPosition() == file.GetLength());
             ++i) {
          CObject* p;
          ar >> p;
        }
        break;
      case 1:
        for (int i = 0; i < 64; ++i) {
          CString s;
          ar >> s;
          DWORD n = ar.ReadCount();
          (void)n;
        }
        break;
      case 2:
        arr.Serialize(ar);
        break;
      default:
        map.Serialize(ar);
        break;
    }
  } catch (CException* e) {
    e->Delete();
  }
  // The objects created belong to this caller; none of them owns another.
  ar.DeleteLoadedObjects();
  ar.Abort();
  return 0;
}
