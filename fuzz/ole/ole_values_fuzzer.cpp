// Feeds arbitrary bytes to the decoders of the OLE values: variants loaded from an archive,
// texts converted to every variant type, dates and numbers parsed, GUIDs read, and the code
// page conversions. The first byte picks the decoder; none may crash, leak or overrun.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/cmemoryexception.h"
#include "platform/ole/code_page.h"
#include "platform/ole/coleexception.h"
#include "platform/ole/colevariant.h"
#include "platform/ole/guid.h"

namespace {

void LoadVariants(const uint8_t* data, size_t size) {
  std::vector<BYTE> bytes(data, data + size);
  CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
  CArchive ar(&file, CArchive::load);
  try {
    for (int i = 0; i < 16; ++i) {
      COleVariant v;
      ar >> v;
      // Whatever loaded must convert or refuse cleanly.
      COleVariant text;
      VariantChangeType(&text, &v, 0, VT_BSTR);
    }
  } catch (CException* e) {
    e->Delete();
    ar.Abort();
    return;
  }
  ar.Close();
}

void ConvertText(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  VARIANT src;
  VariantInit(&src);
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  const VARTYPE types[] = {VT_I1,  VT_UI1, VT_I2, VT_UI2, VT_I4,   VT_UI4,  VT_I8,
                           VT_UI8, VT_R4,  VT_R8, VT_CY,  VT_DATE, VT_BOOL, VT_ARRAY | VT_UI1,
                           VT_INT};
  for (VARTYPE vt : types) {
    VARIANT out;
    VariantInit(&out);
    if (SUCCEEDED(VariantChangeType(&out, &src, 0, vt))) {
      VARIANT back;
      VariantInit(&back);
      VariantChangeType(&back, &out, 0, VT_BSTR);
      VariantClear(&back);
    }
    VariantClear(&out);
  }
  VariantClear(&src);
  GUID g;
  halyard::ole::ParseGuid(text, &g);
  COleDateTime d;
  d.ParseDateTime(halyard::ole::WideToAnsi(text).c_str());
  d.Format("%c %j %U");
}

void CodePages(const uint8_t* data, size_t size) {
  if (size == 0 || size > 1 << 16) return;
  const char* in = reinterpret_cast<const char*>(data);
  const int n = static_cast<int>(size);
  for (UINT page : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_UTF8)}) {
    const int need = MultiByteToWideChar(page, 0, in, n, nullptr, 0);
    if (need <= 0) continue;
    std::vector<WCHAR> wide(static_cast<size_t>(need));
    MultiByteToWideChar(page, 0, in, n, wide.data(), need);
    const int back = WideCharToMultiByte(page, 0, wide.data(), need, nullptr, 0, nullptr, nullptr);
    if (back <= 0) continue;
    std::vector<char> narrow(static_cast<size_t>(back));
    WideCharToMultiByte(page, 0, wide.data(), need, narrow.data(), back, nullptr, nullptr);
    // Windows-1252 keeps every byte.
    if (page == CP_ACP && (back != n || std::memcmp(narrow.data(), in, size) != 0))
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  switch (data[0] % 3) {
    case 0:
      LoadVariants(data + 1, size - 1);
      break;
    case 1:
      ConvertText(data + 1, size - 1);
      break;
    default:
      CodePages(data + 1, size - 1);
      break;
  }
  return 0;
}
