// The committed fixture type libraries (made from their IDL by data/make-fixtures.sh) and names
// read out of type information, for the tests of the reader and of its users.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"
#include "platform/ole/typelib.h"

namespace halyard::ole::testing {

inline std::string DataPath(const std::string& name) {
  return std::string(HALYARD_SOURCE_DIR) + "/platform/ole/testing/data/" + name;
}

inline std::vector<BYTE> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), {});
}

// The text of a BSTR, which it frees.
inline std::string TakeAnsi(BSTR bstr) {
  std::string text = AnsiFromBstr(bstr);
  SysFreeString(bstr);
  return text;
}

inline ComPtr<ITypeLib> Load(const std::string& name) {
  ITypeLib* lib = nullptr;
  std::u16string path = AnsiToWide(DataPath(name));
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
  BSTR bstr = nullptr;
  EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &bstr, nullptr, nullptr, nullptr), S_OK);
  return TakeAnsi(bstr);
}

}  // namespace halyard::ole::testing
