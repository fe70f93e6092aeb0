// RunTimeClass: one component class of a type library with the run-time interfaces of the
// interfaces it implements that the library describes, in the class's order. It holds a
// reference to each of its interfaces. Filled by the collection's builder, then read only.
#pragma once

#include <string>
#include <vector>

#include "platform/ole/unknown.h"
#include "run_time_interface.h"

namespace quarb {

class RunTimeClass : public RunTimeObject<IRunTimeClass> {
 public:
  // A new class without interfaces, with one reference owned by the caller.
  static RunTimeClass* Create(const std::string& name);

  // Adds iface (taking a reference of its own).
  void AddInterface(RunTimeInterface* iface);
  const std::string& Name() const { return name_; }
  const std::vector<halyard::ole::ComPtr<RunTimeInterface>>& Interfaces() const {
    return interfaces_;
  }

  HRESULT GetName(BSTR* name) override;
  HRESULT GetInterface(LPCOLESTR name, IRunTimeInterface** found) override;

 private:
  explicit RunTimeClass(const std::string& name);

  std::string name_;
  std::vector<halyard::ole::ComPtr<RunTimeInterface>> interfaces_;
};

}  // namespace quarb
