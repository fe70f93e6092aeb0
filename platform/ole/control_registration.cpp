#include "control_registration.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "platform/mfc/cstring.h"
#include "platform/registry/win_reg.h"

namespace halyard::ole {

std::string ModulePath(HINSTANCE address) {
  const char* name = nullptr;
  Dl_info info;
  if (address != nullptr) {
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    name = info.dli_fname;
  } else {
    name = "/proc/self/exe";
  }
  char resolved[PATH_MAX];
  if (realpath(name, resolved) == nullptr) return {};
  return resolved;
}

}  // namespace halyard::ole

namespace {

// Sets the default value (name null) or a named value of a key below HKEY_CLASSES_ROOT,
// creating the key.
bool SetText(const std::string& key, const char* name, const std::string& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS st =
      RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(h);
  return st == ERROR_SUCCESS;
}

}  // namespace

BOOL AfxOleRegisterControlClass(HINSTANCE hInstance, REFCLSID clsid, LPCTSTR pszProgID,
                                UINT idTypeName, UINT idBitmap, int nRegFlags, DWORD dwMiscStatus,
                                REFGUID tlid, WORD wVerMajor, WORD wVerMinor) {
  CString typeName;
  if (!typeName.LoadString(idTypeName)) return FALSE;
  const std::string module = halyard::ole::ModulePath(hInstance);
  if (module.empty()) return FALSE;
  const std::string name(static_cast<LPCTSTR>(typeName));
  const std::string classKey = "CLSID\\" + halyard::ole::GuidToString(clsid);
  const bool insertable = (nRegFlags & afxRegInsertable) != 0;
  bool ok = true;
  if (pszProgID != nullptr && *pszProgID != '\0') {
    const std::string progKey = pszProgID;
    ok = ok && SetText(progKey, nullptr, name);
    ok = ok && SetText(progKey + "\\CLSID", nullptr, halyard::ole::GuidToString(clsid));
    if (insertable) ok = ok && SetText(progKey + "\\Insertable", nullptr, "");
    ok = ok && SetText(classKey + "\\ProgID", nullptr, progKey);
  }
  ok = ok && SetText(classKey, nullptr, name);
  ok = ok && SetText(classKey + "\\InprocServer32", nullptr, module);
  const int threading = nRegFlags & (afxRegApartmentThreading | afxRegFreeThreading);
  if (threading != 0) {
    const char* model = threading == afxRegApartmentThreading ? "Apartment"
                        : threading == afxRegFreeThreading    ? "Free"
                                                              : "Both";
    ok = ok && SetText(classKey + "\\InprocServer32", "ThreadingModel", model);
  }
  if (idBitmap != 0) {
    ok = ok &&
         SetText(classKey + "\\ToolboxBitmap32", nullptr, module + ", " + std::to_string(idBitmap));
  }
  ok = ok && SetText(classKey + "\\MiscStatus", nullptr, "0");
  ok = ok && SetText(classKey + "\\MiscStatus\\1", nullptr, std::to_string(dwMiscStatus));
  ok = ok && SetText(classKey + "\\Control", nullptr, "");
  if (insertable) ok = ok && SetText(classKey + "\\Insertable", nullptr, "");
  ok = ok && SetText(classKey + "\\TypeLib", nullptr, halyard::ole::GuidToString(tlid));
  ok = ok && SetText(classKey + "\\Version", nullptr,
                     std::to_string(wVerMajor) + "." + std::to_string(wVerMinor));
  return ok ? TRUE : FALSE;
}

BOOL AfxOleUnregisterClass(REFCLSID clsid, LPCTSTR pszProgID) {
  const std::string classKey = "CLSID\\" + halyard::ole::GuidToString(clsid);
  LSTATUS st = RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str());
  bool ok = st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND;
  if (pszProgID != nullptr && *pszProgID != '\0') {
    st = RegDeleteTreeA(HKEY_CLASSES_ROOT, pszProgID);
    ok = ok && (st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND);
  }
  return ok ? TRUE : FALSE;
}
