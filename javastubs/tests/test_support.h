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
#include "platform/ole/typelib.h"
#include "javastubs/property_info.h"
#include "javastubs/stub_writer.h"

namespace quarb::test {

using halyard::ole::ComPtr;

inline std::string DataPath(const std::string& name) {
  return std::string(HALYARD_SOURCE_DIR) + "/javastubs/tests/data/" + name;
}

inline std::vector<BYTE> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), {});
}

inline ComPtr<ITypeLib> Load(const std::string& name) {
  ITypeLib* lib = nullptr;
  std::u16string path = halyard::ole::AnsiToWide(DataPath(name));
  HRESULT hr = LoadTypeLib(path.c_str(), &lib);
  EXPECT_EQ(hr, S_OK) << name;
  return ComPtr<ITypeLib>::Attach(lib);
}

inline ComPtr<ITypeInfo> Find(ITypeLib* lib, const std::string& name) {
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    BSTR bstr = nullptr;
    if (FAILED(lib->GetDocumentation(INT(i), &bstr, nullptr, nullptr, nullptr))) continue;
    if (TakeAnsi(bstr) == name) {
      ComPtr<ITypeInfo> info;
      EXPECT_EQ(lib->GetTypeInfo(i, info.Put()), S_OK);
      return info;
    }
  }
  ADD_FAILURE() << "no type " << name;
  return {};
}

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
