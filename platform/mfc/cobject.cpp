#include "cobject.h"

#include <cstring>
#include <mutex>

CRuntimeClass CObject::classCObject = {
    "CObject", (int)sizeof(CObject), kNotSerializableSchema, nullptr, nullptr, nullptr};

CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

BOOL CObject::IsSerializable() const {
  return GetRuntimeClass()->m_wSchema != kNotSerializableSchema;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
CRuntimeClass* g_firstClass = nullptr;

}  // namespace

void AfxClassInit(CRuntimeClass* pNewClass) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (CRuntimeClass* p = g_firstClass; p; p = p->m_pNextClass)
    if (p == pNewClass) return;
  pNewClass->m_pNextClass = g_firstClass;
  g_firstClass = pNewClass;
}

CObject* CRuntimeClass::CreateObject() {
  if (m_pfnCreateObject == nullptr) return nullptr;
  return m_pfnCreateObject();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass)
    if (p == pBaseClass) return TRUE;
  return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR lpszClassName) {
  if (lpszClassName == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (CRuntimeClass* p = g_firstClass; p; p = p->m_pNextClass)
    if (std::strcmp(p->m_lpszClassName, lpszClassName) == 0) return p;
  return nullptr;
}

CObject* CRuntimeClass::CreateObject(LPCSTR lpszClassName) {
  CRuntimeClass* p = FromName(lpszClassName);
  return p ? p->CreateObject() : nullptr;
}
