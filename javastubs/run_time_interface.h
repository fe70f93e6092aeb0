// RunTimeInterface: the members of one interface or dispatch interface of a type library as
// Java-named entries, looked up by name and invoked by identifier on a control's automation
// object. Filled once from the interface's type information (which it does not keep), then
// read only. The entry lists are public to the builder and to tests; hosts see only
// IRunTimeInterface.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ole/typelib.h"
#include "property_info.h"
#include "run_time_object.h"

namespace quarb {

// AccessorEntry flags.
inline constexpr DWORD kGetEntry = 0x1;
inline constexpr DWORD kSetEntry = 0x2;

struct AccessorEntry {
  std::string name;  // "getCaption()Ljava/lang/String;" or "setCaption(Ljava/lang/String;)V"
  DWORD flags = 0;   // kGetEntry or kSetEntry
  MEMBERID memid = 0;
  // The type the accessor is described and invoked with: the property's own type code, VT_I4
  // for enumerations and colours, VT_DISPATCH for dispatch interfaces, fonts and pictures.
  TypeCode type = 0;
  DWORD typeFlags = 0;  // the property's PropertyInfo flags
};

struct MethodEntry {
  std::string name;  // "Refresh()V", "Move(I[I[Z)I"
  MEMBERID memid = 0;
  TypeCode result = 24;
  UINT paramCount = 0;
  std::vector<TypeCode> paramTypes;  // every parameter, however many
};

class RunTimeInterface : public RunTimeObject<IRunTimeInterface> {
 public:
  // A new empty interface named name, with one reference owned by the caller.
  static RunTimeInterface* Create(const std::string& name);

  // Builds the entries from the properties and methods of info.
  void Fill(ITypeInfo* info);
  // Adds entries (the builder's and the tests' way to describe members without a library).
  void AddAccessors(const PropertyInfo& p, const std::vector<std::string>& interfaces);
  void AddMethod(const MethodInfo& m);

  const std::string& Name() const { return name_; }
  const std::vector<AccessorEntry>& Accessors() const { return accessors_; }
  const std::vector<MethodEntry>& Methods() const { return methods_; }

  HRESULT FindMember(LPCOLESTR name, DWORD* id, WORD* signature, UINT* length) override;
  HRESULT InvokeMember(IDispatch* object, DWORD id, VARIANT* result, DWORD reserved, UINT count,
                       VARIANT* params) override;

 private:
  explicit RunTimeInterface(const std::string& name);

  HRESULT InvokeAccessor(IDispatch* object, const AccessorEntry& e, VARIANT* result, UINT count,
                         VARIANT* params);
  HRESULT InvokeMethod(IDispatch* object, const MethodEntry& e, VARIANT* result, UINT count,
                       VARIANT* params);

  // Builds the name indexes at the first lookup: most interfaces of a large library are never
  // asked for a member, and the collection is not changed once a host holds it.
  void IndexNames();

  std::string name_;
  std::vector<AccessorEntry> accessors_;
  std::vector<MethodEntry> methods_;
  // Wide names to positions; the first entry of a name wins, as a search in order would.
  bool indexed_ = false;
  std::unordered_map<std::u16string, DWORD> accessorIndex_;
  std::unordered_map<std::u16string, DWORD> methodIndex_;
};

}  // namespace quarb
