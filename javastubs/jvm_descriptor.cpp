// The descriptor table of the run-time interfaces, in the order of the type codes' rows.
#include "jvm_descriptor.h"

namespace {

struct Descriptor {
  TypeCode code;
  const char* text;
};

constexpr Descriptor kDescriptors[] = {
    {2, "I"},                    // VT_I2
    {3, "I"},                    // VT_I4
    {6, "I"},                    // VT_CY
    {22, "I"},                   // VT_INT
    {23, "I"},                   // VT_UINT
    {quarb::kFontCode, "I"},     // the special codes of controls' user-defined types
    {quarb::kPictureCode, "I"},  //
    {quarb::kColorCode, "I"},    //
    {quarb::kSpareCode, "I"},    //
    {4, "F"},                    // VT_R4
    {5, "D"},                    // VT_R8
    {7, "D"},                    // VT_DATE
    {8, "Ljava/lang/String;"},   // VT_BSTR
    {9, "Ljava/lang/Object;"},   // VT_DISPATCH
    {13, "Ljava/lang/Object;"},  // VT_UNKNOWN
    {11, "Z"},                   // VT_BOOL
    {24, "V"},                   // VT_VOID
    {10, ""},                    // VT_ERROR
    {12, ""},                    // VT_VARIANT
    {26, ""},                    // VT_PTR
};

}  // namespace

std::string JvmDescriptor(TypeCode code) {
  if (code & quarb::kByRef) return "[" + JvmDescriptor(TypeCode(code & ~quarb::kByRef));
  for (const Descriptor& d : kDescriptors)
    if (d.code == code) return d.text;
  return std::string();
}

namespace quarb {

std::string JvmInterfaceDescriptor(const std::string& iface) { return "L" + iface + ";"; }

}  // namespace quarb
