// The string resources of the compiler's library. They are registered only while a
// StringResources object lives, so that the texts looked up through it are this library's own
// even when another library in the process registered the same ids.
#pragma once

#include "platform/mfc/stringtable.h"

namespace quarb {

// The registered type name of the compiler class.
inline constexpr UINT IDS_QUARBCOMPILER = 1;

class StringResources {
 public:
  StringResources();

 private:
  halyard::StringTableRegistration registration_;
};

}  // namespace quarb
