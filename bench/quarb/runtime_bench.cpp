// The run-time class collection: building it for the library of 1,000 dual interfaces
// (target under 50 ms), FindMember over an interface of 200 members (target at least five
// million lookups a second) and InvokeMember of a property get on an in-process automation
// object (target under 2 microseconds).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "javastubs/run_time_collection.h"
#include "platform/ole/code_page.h"
#include "platform/ole/testing/big_type_library.h"
#include "platform/ole/typelib.h"

namespace {

using halyard::ole::ComPtr;

ComPtr<ITypeLib> BigLibrary() {
  static const std::vector<BYTE> bytes = halyard::ole::testing::BuildBigLibrary(1000);
  ITypeLib* lib = nullptr;
  if (FAILED(halyard::ole::LoadTypeLibFromMemory(bytes.data(), bytes.size(), "", &lib))) {
    std::fprintf(stderr, "the generated library does not load\n");
    std::abort();
  }
  return ComPtr<ITypeLib>::Attach(lib);
}

void BM_CreateRunTimeClasses(benchmark::State& state) {
  ComPtr<ITypeLib> lib = BigLibrary();
  std::size_t interfaces = 0;
  for (auto _ : state) {
    quarb::RunTimeCollection* c = quarb::BuildRunTimeCollection(lib.Get());
    interfaces = c->Interfaces().size();
    c->Release();
  }
  state.counters["interfaces"] = double(interfaces);
}
BENCHMARK(BM_CreateRunTimeClasses)->Unit(benchmark::kMillisecond);

// 100 read-write properties of the automation types: 200 accessor entries.
quarb::RunTimeInterface* TwoHundredMembers(std::vector<std::u16string>* names) {
  static const TypeCode kTypes[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_BOOL, VT_DISPATCH};
  quarb::RunTimeInterface* iface = quarb::RunTimeInterface::Create("IWide");
  for (int i = 0; i < 100; ++i) {
    PropertyInfo p;
    p.name = "Property" + std::to_string(i);
    p.memid = i + 1;
    p.flags = quarb::kPropReadable | quarb::kPropWritable;
    p.type = kTypes[i % 7];
    iface->AddAccessors(p, {});
  }
  for (const quarb::AccessorEntry& e : iface->Accessors())
    names->push_back(halyard::ole::AnsiToWide(e.name));
  return iface;
}

void BM_FindMember(benchmark::State& state) {
  std::vector<std::u16string> names;
  quarb::RunTimeInterface* iface = TwoHundredMembers(&names);
  std::size_t next = 0;
  for (auto _ : state) {
    DWORD id = 0;
    WORD signature[4];
    UINT length = 4;
    iface->FindMember(names[next].c_str(), &id, signature, &length);
    benchmark::DoNotOptimize(id);
    if (++next == names.size()) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
  iface->Release();
}
BENCHMARK(BM_FindMember);

// An automation object that answers every property get with an int.
struct Counter : IDispatch {
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID memid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (!(flags & DISPATCH_PROPERTYGET) || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_I4;
    result->lVal = memid + ++calls;
    return S_OK;
  }
  LONG calls = 0;
};

void BM_InvokePropertyGet(benchmark::State& state) {
  std::vector<std::u16string> names;
  quarb::RunTimeInterface* iface = TwoHundredMembers(&names);
  Counter object;
  DWORD id = 0;
  WORD signature[4];
  UINT length = 4;
  iface->FindMember(u"getProperty1()I", &id, signature, &length);
  VARIANT result;
  VariantInit(&result);
  for (auto _ : state) {
    iface->InvokeMember(&object, id, &result, 0, 0, nullptr);
    benchmark::DoNotOptimize(result.lVal);
  }
  VariantClear(&result);
  iface->Release();
}
BENCHMARK(BM_InvokePropertyGet);

}  // namespace

BENCHMARK_MAIN();
