// Pieces of the selections' text stream forms shared by the selection classes: numbers as
// CPDLong forms ("U", decimal, blank) and the nesting guard of the stream reader.
#pragma once

#include <iosfwd>

#include "platform/kernel/win_types.h"

namespace vaultkit {

void WriteSelectNumber(std::ostream& os, LONG value);
// Reads a CPDLong form; a missing "U" or a malformed number fails the stream.
bool ReadSelectNumber(std::istream& is, LONG& value);
// Skips white space and reads the expected letter; anything else fails the stream.
bool ReadSelectLetter(std::istream& is, char expected);

// Counts the nesting of complex selections being read; beyond kMaxSelectDepth the guard
// reports overflow.
class SelectDepthGuard {
 public:
  SelectDepthGuard();
  ~SelectDepthGuard();
  SelectDepthGuard(const SelectDepthGuard&) = delete;
  SelectDepthGuard& operator=(const SelectDepthGuard&) = delete;
  bool mOverflow() const;
};

// While mRetrieveData loads, every complex selection read is noted here so that a failed
// load can take the parts away from their owners before the archive deletes what it made.
void NoteLoadedComplex(class CDAComplexSelect* select);

}  // namespace vaultkit
