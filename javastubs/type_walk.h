// The walk over the types of a type library that the stub writers, the library scan and the
// run-time class builder share: every type in library order with its kind, its name and its
// type information. A type whose kind, name or type information cannot be read is skipped.
// The type information handed to the visitor is released after the visit, so a visitor that
// keeps it takes a reference of its own. Runs on the caller's thread.
#pragma once

#include <functional>
#include <string>

#include "platform/ole/typelib.h"

namespace quarb {

using TypeVisitor = std::function<void(TYPEKIND kind, const std::string& name, ITypeInfo* info)>;

void WalkTypeLibrary(ITypeLib* lib, const TypeVisitor& visit);

}  // namespace quarb
