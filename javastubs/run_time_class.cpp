#include "run_time_class.h"

#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"

namespace quarb {

RunTimeClass* RunTimeClass::Create(const std::string& name) { return new RunTimeClass(name); }

RunTimeClass::RunTimeClass(const std::string& name)
    : RunTimeObject(IID_IRunTimeClass, DIID_RunTimeClass), name_(name) {}

void RunTimeClass::AddInterface(RunTimeInterface* iface) { interfaces_.emplace_back(iface); }

HRESULT RunTimeClass::GetName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = halyard::ole::BstrFromAnsi(name_);
  return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT RunTimeClass::GetInterface(LPCOLESTR name, IRunTimeInterface** found) {
  if (name == nullptr || found == nullptr) return E_POINTER;
  const std::u16string_view wanted(name);
  RunTimeInterface* match = nullptr;
  if (wanted == u"*") {
    if (!interfaces_.empty()) match = interfaces_.front().Get();
  } else {
    const std::string ansi = halyard::ole::WideToAnsi(wanted);
    for (const auto& iface : interfaces_) {
      // A name with characters the code page lacks can match no interface name.
      if (iface->Name() == ansi && halyard::ole::AnsiToWide(ansi) == wanted) {
        match = iface.Get();
        break;
      }
    }
  }
  if (match == nullptr) return S_FALSE;
  match->AddRef();
  *found = match;
  return S_OK;
}

}  // namespace quarb
