// The Java type table. Every type code has a name and a default value here, so every
// generated declaration and body compiles: where the classic table leaves a type without
// one, the entry says which Java type stands in for it.
#include "java_types.h"

#include "property_info.h"

namespace {

struct JavaType {
  TypeCode code;
  const char* name;
  const char* value;
};

constexpr JavaType kJavaTypes[] = {
    {2, "short", "0"},         // VT_I2
    {3, "int", "0"},           // VT_I4
    {22, "int", "0"},          // VT_INT
    {23, "int", "0"},          // VT_UINT
    {4, "float", "0.0f"},      // VT_R4: a float literal, as javac takes no double here
    {5, "double", "0.0"},      // VT_R8
    {7, "double", "0.0"},      // VT_DATE (a day count)
    {6, "long", "0"},          // VT_CY (scaled by 10,000)
    {8, "String", "null"},     // VT_BSTR
    {9, "Object", "null"},     // VT_DISPATCH
    {13, "Object", "null"},    // VT_UNKNOWN
    {11, "boolean", "false"},  // VT_BOOL
    {24, "void", ""},          // VT_VOID
    {10, "int", "0"},          // VT_ERROR: a 32-bit status code
    {12, "Object", "null"},    // VT_VARIANT: any value
    {quarb::kFontCode, "int", "0"},
    {quarb::kPictureCode, "int", "0"},
    {quarb::kColorCode, "int", "0"},
    {quarb::kSpareCode, "int", "0"},
    // Types Java has no name of its own for: integers of the same width, texts, objects.
    {16, "byte", "0"},       // VT_I1
    {17, "byte", "0"},       // VT_UI1
    {18, "short", "0"},      // VT_UI2
    {19, "int", "0"},        // VT_UI4
    {20, "long", "0"},       // VT_I8
    {21, "long", "0"},       // VT_UI8
    {25, "int", "0"},        // VT_HRESULT
    {30, "String", "null"},  // VT_LPSTR
    {31, "String", "null"},  // VT_LPWSTR
};

// Everything else (records, arrays, unresolved user-defined types, empty types) is an object.
constexpr JavaType kOther = {0, "Object", "null"};

const JavaType& Find(TypeCode code) {
  for (const JavaType& t : kJavaTypes)
    if (t.code == code) return t;
  return kOther;
}

}  // namespace

const char* JavaTypeName(TypeCode code) { return Find(code & ~quarb::kByRef).name; }

const char* JavaDefaultValue(TypeCode code) {
  if (code & quarb::kByRef) return "null";  // an array
  return Find(code).value;
}

namespace quarb {

std::string JavaPropertyType(TypeCode code, DWORD flags,
                             const std::vector<std::string>& interfaces) {
  if ((flags & kPropDispatch) == kPropDispatch && code < interfaces.size()) return interfaces[code];
  if (flags & kPropEnum) return "int";  // enumeration interfaces hold int constants
  return JavaTypeName(code);
}

std::string JavaPropertyDefault(TypeCode code, DWORD flags) {
  if ((flags & kPropDispatch) == kPropDispatch) return "null";
  if (flags & kPropEnum) return "0";
  return JavaDefaultValue(code);
}

std::string JavaMemberType(TypeCode code) {
  if (!(code & kByRef)) return JavaTypeName(code);
  TypeCode base = code & ~kByRef;
  if (base == 24) return "Object";  // a pointer to anything
  return std::string(JavaTypeName(base)) + "[]";
}

}  // namespace quarb
