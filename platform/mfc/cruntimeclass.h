// Run-time class information: each class that uses the DECLARE_/IMPLEMENT_ macros below has one
// static CRuntimeClass that names it, gives its schema number and its base, and can create an
// instance. Serialisable classes (IMPLEMENT_SERIAL) are entered in a process-wide registry at
// start-up so that an archive can re-create them from the class name it stores. The registry
// is filled by static initialisers and only read afterwards; any thread may look classes up.
#pragma once

#include "afx_types.h"

class CObject;
class CArchive;

// The schema of a class that is not serialisable.
constexpr UINT kNotSerializableSchema = 0xFFFF;
// OR'ed into a schema: objects stored with another schema may still be loaded; the object
// asks CArchive::GetObjectSchema which one it got.
#define VERSIONABLE_SCHEMA (0x80000000u)

struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;
  CObject* (*m_pfnCreateObject)();
  CRuntimeClass* m_pBaseClass;
  CRuntimeClass* m_pNextClass;  // registry link, set when the class is registered

  // A new instance on the heap, or null when the class cannot be created dynamically.
  CObject* CreateObject();
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

  // The registered serialisable class with exactly this name (case-sensitive), or null.
  static CRuntimeClass* FromName(LPCSTR lpszClassName);
  // Creates an instance of the registered class with this name, or null.
  static CObject* CreateObject(LPCSTR lpszClassName);

  // Writes the class's archive form: schema (WORD), name length (WORD), name bytes.
  void Store(CArchive& ar) const;
  // Reads a class's archive form; the registered class of that name, or null when the name is
  // too long or unknown. *pwSchemaNum receives the stored schema.
  static CRuntimeClass* Load(CArchive& ar, UINT* pwSchemaNum);
};

// Enters a class into the registry of serialisable classes (done by IMPLEMENT_SERIAL).
void AfxClassInit(CRuntimeClass* pNewClass);

struct AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* pNewClass) { AfxClassInit(pNewClass); }
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                \
 public:                                           \
  static CRuntimeClass class##class_name;          \
  CRuntimeClass* GetRuntimeClass() const override; \
                                                   \
 private:

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
 public:                              \
  static CObject* CreateObject();     \
                                      \
 private:

#define DECLARE_SERIAL(class_name)                             \
  DECLARE_DYNCREATE(class_name)                                \
 public:                                                       \
  friend CArchive& operator>>(CArchive& ar, class_name*& pOb); \
                                                               \
 private:

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew) \
  CRuntimeClass class_name::class##class_name = {                            \
      #class_name, (int)sizeof(class_name),        (UINT)(wSchema),          \
      pfnNew,      RUNTIME_CLASS(base_class_name), nullptr};                 \
  CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)         \
  CObject* class_name::CreateObject() { return new class_name; } \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                           \
  CObject* class_name::CreateObject() { return new class_name; }                         \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject) \
  static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));              \
  CArchive& operator>>(CArchive& ar, class_name*& pOb) {                                 \
    pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));            \
    return ar;                                                                           \
  }
