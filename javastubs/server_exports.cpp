// The entry points of the compiler's library, the only names it exports: class activation,
// the unload check and self-registration.
#include <string>

#include "compiler_factory.h"
#include "platform/kernel/export.h"
#include "platform/ole/guid.h"
#include "platform/registry/win_reg.h"
#include "server_lock.h"
#include "stub_compiler.h"

extern "C" HALYARD_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_QuarbCompiler)) return CLASS_E_CLASSNOTAVAILABLE;
  return quarb::CompilerFactory::Instance().QueryInterface(riid, ppv);
}

extern "C" HALYARD_EXPORT HRESULT DllCanUnloadNow() {
  return quarb::ServerInUse() ? S_FALSE : S_OK;
}

// The class is registered the way a control class is, then its "Control" key goes, so that
// hosts do not offer the compiler among the controls a page can hold. A failed registry write
// is reported rather than answered with S_OK, since the class could not be created after it.
extern "C" HALYARD_EXPORT HRESULT DllRegisterServer() {
  if (!quarb::CompilerFactory::Instance().UpdateRegistry(TRUE)) return SELFREG_E_CLASS;
  const std::string control =
      "CLSID\\" + halyard::ole::GuidToString(CLSID_QuarbCompiler) + "\\Control";
  const LSTATUS st = RegDeleteKeyA(HKEY_CLASSES_ROOT, control.c_str());
  return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
