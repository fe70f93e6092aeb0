// Helpers shared by the stub compiler's tests: loading the committed fixture libraries and
// reading names and texts out of the type information.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ole/code_page.h"
#include "platform/ole/memory_stream.h"
#include "platform/ole/testing/typelib_fixtures.h"
#include "platform/ole/typelib.h"
#include "javastubs/property_info.h"
#include "javastubs/stub_writer.h"

namespace quarb::test {

using halyard::ole::ComPtr;

// The committed fixture libraries are the type library reader's.
using halyard::ole::testing::DataPath;
using halyard::ole::testing::Find;
using halyard::ole::testing::Load;
using halyard::ole::testing::ReadFile;

inline std::string NameOf(ITypeInfo* info) {
  std::string name;
  EXPECT_TRUE(TypeName(info, &name));
  return name;
}

// The Java a writer produces for a library, as text.
template <typename Writer>
std::string Generate(ITypeLib* lib, Writer writer) {
  auto* stream = new halyard::ole::MemoryStream();
  EXPECT_EQ(writer(lib, stream), S_OK);
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  stream->Release();
  return text;
}

}  // namespace quarb::test
