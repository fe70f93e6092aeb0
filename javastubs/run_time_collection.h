// RunTimeCollection: the run-time interfaces of a type library in library order and the list
// of its run-time classes that hosts index. BuildRunTimeCollection fills one from a library
// through the shared type walk; afterwards it is never changed. It holds a reference to each
// interface and class it lists.
#pragma once

#include <vector>

#include "platform/ole/typelib.h"
#include "run_time_class.h"

namespace quarb {

class RunTimeCollection : public RunTimeObject<IRunTimeClassCollection> {
 public:
  // A new empty collection with one reference owned by the caller.
  static RunTimeCollection* Create();

  void AddInterface(RunTimeInterface* iface);
  void AddClass(RunTimeClass* cls);
  const std::vector<halyard::ole::ComPtr<RunTimeInterface>>& Interfaces() const {
    return interfaces_;
  }
  const std::vector<halyard::ole::ComPtr<RunTimeClass>>& Classes() const { return classes_; }
  // The first interface built so far named name, or null.
  RunTimeInterface* FindInterface(const std::string& name) const;

  HRESULT GetCount(LONG* count) override;
  HRESULT GetClassName(LONG index, BSTR* name) override;
  HRESULT GetClass(LONG index, IRunTimeClass** found) override;

 private:
  RunTimeCollection();

  std::vector<halyard::ole::ComPtr<RunTimeInterface>> interfaces_;
  std::vector<halyard::ole::ComPtr<RunTimeClass>> classes_;
};

// A new collection for lib, owned by the caller. Types that cannot be read are left out;
// each component class stands once in the class list when at least one interface it
// implements could be read.
RunTimeCollection* BuildRunTimeCollection(ITypeLib* lib);

}  // namespace quarb
