// JvmDescriptor: the JVM field descriptor that names a type code in the members of a run-time
// interface ("I", "Ljava/lang/String;", "[I" for a by-reference int). The table is in
// jvm_descriptor.cpp.
#pragma once

#include <string>

#include "type_code.h"

// The descriptor of code; a by-reference code is "[" and the descriptor of its base type.
// Codes the table does not name (VT_ERROR, VT_VARIANT and the rest) have the empty text.
std::string JvmDescriptor(TypeCode code);

namespace quarb {

// The descriptor of a property resolved to the dispatch interface named iface.
std::string JvmInterfaceDescriptor(const std::string& iface);

}  // namespace quarb
