// Fuzzes the run-time class collection over whatever LoadTypeLib accepts: building the
// collection, walking its classes and their interfaces, and looking up every member name (and
// some near misses) with signature buffers of every length up to the one that fits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "javastubs/run_time_collection.h"
#include "platform/ole/code_page.h"
#include "platform/ole/typelib.h"

namespace {

using halyard::ole::ComPtr;

void Lookup(IRunTimeInterface* iface, const std::string& name) {
  std::u16string wide = halyard::ole::AnsiToWide(name);
  WORD signature[16];
  for (UINT room = 0; room <= 16; room += 3) {
    DWORD id = 0;
    UINT length = room;
    if (iface->FindMember(wide.c_str(), &id, signature, &length) == S_OK && length > room)
      __builtin_trap();  // a signature longer than its buffer
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ITypeLib* raw = nullptr;
  if (FAILED(halyard::ole::LoadTypeLibFromMemory(data, size, QUARB_FIXTURES, &raw))) return 0;
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  ComPtr<quarb::RunTimeCollection> c =
      ComPtr<quarb::RunTimeCollection>::Attach(quarb::BuildRunTimeCollection(lib.Get()));
  LONG count = 0;
  c->GetCount(&count);
  for (LONG i = 0; i <= count; ++i) {
    IRunTimeClass* cls = nullptr;
    BSTR name = nullptr;
    if (FAILED(c->GetClassName(i, &name))) continue;
    SysFreeString(name);
    if (FAILED(c->GetClass(i, &cls))) continue;
    IRunTimeInterface* first = nullptr;
    if (cls->GetInterface(u"*", &first) == S_OK) first->Release();
    cls->Release();
  }
  for (const auto& iface : c->Interfaces()) {
    for (const quarb::AccessorEntry& e : iface->Accessors()) Lookup(iface.Get(), e.name);
    for (const quarb::MethodEntry& e : iface->Methods()) {
      Lookup(iface.Get(), e.name);
      Lookup(iface.Get(), e.name.substr(0, e.name.size() / 2));
    }
  }
  return 0;
}
