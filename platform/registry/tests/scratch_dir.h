// A temporary folder for one registry test, with the registry, the Windows folder and drive C
// pointed into it for the test's lifetime.
#pragma once

#include <stdlib.h>

#include <string>

#include "platform/kernel/testing/scratch_dir.h"

namespace halyard::registry::testing {

class ScratchDir : public halyard::testing::ScratchDir {
 public:
  ScratchDir() : halyard::testing::ScratchDir("halyard-reg-test") {
    setenv("HALYARD_REGISTRY", (path() + "/registry").c_str(), 1);
    setenv("HALYARD_WINDIR", (path() + "/windows").c_str(), 1);
    setenv("HALYARD_DRIVE_C", path().c_str(), 1);
  }
  ~ScratchDir() {
    unsetenv("HALYARD_REGISTRY");
    unsetenv("HALYARD_WINDIR");
    unsetenv("HALYARD_DRIVE_C");
  }
  std::string Hive(const char* root) const { return path() + "/registry/" + root + ".reg"; }
};

}  // namespace halyard::registry::testing
