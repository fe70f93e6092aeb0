// Feeds arbitrary bytes to the profile functions as the contents of a profile file: reads of
// every kind must stay inside their buffers, and a write must keep the bytes before the
// section it changes.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry/profile.h"

namespace {

const std::string& Folder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/profile-fuzz-XXXXXX";
    std::string d = mkdtemp(tmpl);
    setenv("HALYARD_WINDIR", d.c_str(), 1);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string file = Folder() + "/fuzz.ini";
  std::string text(reinterpret_cast<const char*>(data), size);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  char small[7];
  char big[512];
  GetPrivateProfileStringA(nullptr, nullptr, "", small, sizeof small, "fuzz.ini");
  DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", big, sizeof big, "fuzz.ini");
  if (n >= sizeof big) __builtin_trap();
  // Ask for the first section and key the lists name.
  std::string section(big);
  GetPrivateProfileStringA(section.c_str(), nullptr, "", big, sizeof big, "fuzz.ini");
  std::string key(big);
  n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "d", small, sizeof small, "fuzz.ini");
  if (n >= sizeof small || small[n] != '\0') __builtin_trap();
  GetPrivateProfileIntA(section.c_str(), key.c_str(), 3, "fuzz.ini");
  GetPrivateProfileSectionA(section.c_str(), big, sizeof big, "fuzz.ini");
  if (!WritePrivateProfileStringA("zz fuzz", "k", "v", "fuzz.ini")) __builtin_trap();
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string after = ss.str();
  // A new section goes at the end; every byte before it stays (a last line may get its CR LF).
  if (after.compare(0, text.size(), text) != 0 &&
      GetPrivateProfileIntA("zz fuzz", "k", 0, "fuzz.ini") == 0)
    __builtin_trap();
  return 0;
}
