#include "com_runtime.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/win_path.h"
#include "bstr.h"
#include "code_page.h"
#include "com_memory.h"
#include "platform/registry/win_reg.h"

namespace {

struct Registered {
  GUID clsid;
  IUnknown* object;
  DWORD context;
};

struct Server {
  void* handle;
  LPFNGETCLASSOBJECT getClassObject;
  LPFNCANUNLOADNOW canUnloadNow;
};

std::mutex& Lock() {
  static std::mutex m;
  return m;
}

std::map<DWORD, Registered>& Classes() {
  static std::map<DWORD, Registered> classes;
  return classes;
}

std::map<std::string, Server>& Servers() {
  static std::map<std::string, Server> servers;
  return servers;
}

DWORD g_nextCookie = 1;
thread_local int t_initCount = 0;

// The default value of a key under HKEY_CLASSES_ROOT, or false.
bool ClassesRootText(const std::string& subKey, std::string* out) {
  std::vector<char> buf(1024);
  for (int attempt = 0; attempt < 4; ++attempt) {
    LONG size = static_cast<LONG>(buf.size());
    const LSTATUS st = RegQueryValueA(HKEY_CLASSES_ROOT, subKey.c_str(), buf.data(), &size);
    if (st == ERROR_SUCCESS) {
      size_t n = size > 0 ? static_cast<size_t>(size) : 0;
      while (n > 0 && buf[n - 1] == '\0') --n;
      out->assign(buf.data(), n);
      return true;
    }
    if (st != ERROR_MORE_DATA) return false;
    buf.resize(static_cast<size_t>(size) + 1);
  }
  return false;
}

std::string ClassKey(REFCLSID clsid) { return "CLSID\\" + halyard::ole::GuidToString(clsid); }

HRESULT LoadServer(const std::string& path, Server* out) {
  auto& servers = Servers();
  auto it = servers.find(path);
  if (it != servers.end()) {
    *out = it->second;
    return S_OK;
  }
  const std::string host = !path.empty() && path[0] == '/' ? path : halyard::MapWinPath(path);
  void* handle = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return CO_E_DLLNOTFOUND;
  Server server;
  server.handle = handle;
  server.getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
  server.canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
  if (server.getClassObject == nullptr) {
    dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  servers.emplace(path, server);
  *out = server;
  return S_OK;
}

}  // namespace

HRESULT CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(LPVOID, DWORD) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  IUnknown* local = nullptr;
  {
    std::lock_guard<std::mutex> guard(Lock());
    for (const auto& entry : Classes()) {
      if (IsEqualCLSID(entry.second.clsid, rclsid) && (entry.second.context & dwClsContext) != 0) {
        local = entry.second.object;
        local->AddRef();
        break;
      }
    }
  }
  if (local != nullptr) {
    const HRESULT hr = local->QueryInterface(riid, ppv);
    local->Release();
    return hr;
  }
  // Only in-process servers exist here.
  if ((dwClsContext & CLSCTX_INPROC) == 0) return REGDB_E_CLASSNOTREG;
  std::string path;
  if (!ClassesRootText(ClassKey(rclsid) + "\\InprocServer32", &path) || path.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  Server server;
  {
    std::lock_guard<std::mutex> guard(Lock());
    const HRESULT hr = LoadServer(path, &server);
    if (FAILED(hr)) return hr;
  }
  return server.getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD,
                              LPDWORD lpdwRegister) {
  if (pUnk == nullptr || lpdwRegister == nullptr) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(Lock());
  pUnk->AddRef();
  const DWORD cookie = g_nextCookie++;
  Classes()[cookie] = Registered{rclsid, pUnk, dwClsContext};
  *lpdwRegister = cookie;
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
  IUnknown* object = nullptr;
  {
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Classes().find(dwRegister);
    if (it == Classes().end()) return CO_E_OBJNOTREG;
    object = it->second.object;
    Classes().erase(it);
  }
  object->Release();
  return S_OK;
}

void CoFreeUnusedLibraries() {
  std::lock_guard<std::mutex> guard(Lock());
  auto& servers = Servers();
  for (auto it = servers.begin(); it != servers.end();) {
    if (it->second.canUnloadNow != nullptr && it->second.canUnloadNow() == S_OK) {
      dlclose(it->second.handle);
      it = servers.erase(it);
    } else {
      ++it;
    }
  }
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  std::u16string_view name(lpszProgID);
  if (name.empty() || name.size() > 255) return CO_E_CLASSSTRING;
  std::string text;
  if (!ClassesRootText(halyard::ole::WideToAnsi(name) + "\\CLSID", &text)) return CO_E_CLASSSTRING;
  return halyard::ole::ParseGuid(text, lpclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::string text;
  if (!ClassesRootText(ClassKey(clsid) + "\\ProgID", &text) || text.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  *lplpszProgID = halyard::ole::CoTaskStrDup(halyard::ole::AnsiToWide(text).c_str());
  return *lplpszProgID != nullptr ? S_OK : E_OUTOFMEMORY;
}
