// A temporary folder for one test, with the registry and the Windows folder pointed into it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace halyard::registry::testing {

class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/halyard-reg-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    setenv("HALYARD_REGISTRY", (path_ + "/registry").c_str(), 1);
    setenv("HALYARD_WINDIR", (path_ + "/windows").c_str(), 1);
    setenv("HALYARD_DRIVE_C", path_.c_str(), 1);
  }
  ~ScratchDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    (void)system(cmd.c_str());
    unsetenv("HALYARD_REGISTRY");
    unsetenv("HALYARD_WINDIR");
    unsetenv("HALYARD_DRIVE_C");
  }
  const std::string& path() const { return path_; }
  std::string Hive(const char* root) const { return path_ + "/registry/" + root + ".reg"; }

  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void Write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  }

 private:
  std::string path_;
};

}  // namespace halyard::registry::testing
