// The root of the class library's object hierarchy: run-time class information, kind tests and
// serialisation through CArchive. Objects are not copyable unless a class says so.
#pragma once

#include "afx_types.h"
#include "cruntimeclass.h"

class CObject {
 public:
  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  // Writes or reads the object's own data; CObject has none.
  virtual void Serialize(CArchive& ar);
  virtual void AssertValid() const {}

  BOOL IsSerializable() const;
  BOOL IsKindOf(const CRuntimeClass* pClass) const;

  static CRuntimeClass classCObject;

 protected:
  CObject() = default;

 public:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};
