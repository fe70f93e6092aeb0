// A temporary folder for one test, made under $TMPDIR (or /tmp) and removed with everything in
// it when the object goes. Tests that point HALYARD_REGISTRY, HALYARD_WINDIR or a drive at a
// temporary place make it with this. Header-only, so that any test can use it without linking
// more than it already does. One object belongs to one test.
#pragma once

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halyard::testing {

class ScratchDir {
 public:
  // prefix becomes the start of the folder's name, to tell whose leftovers are whose.
  explicit ScratchDir(std::string_view prefix = "halyard-test") {
    const char* base = ::getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    pattern += '/';
    pattern += prefix;
    pattern += "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a scratch folder from " + pattern);
    path_ = pattern;
  }
  ~ScratchDir() { RemoveTree(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // A path inside the folder.
  std::string Join(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
  }

  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void Write(const std::string& file, std::string_view text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  // Removes a folder and its contents without following symbolic links out of it.
  static void RemoveTree(const std::string& path) {
    if (path.empty()) return;
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
          ::remove(p);
          return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
  }

 private:
  std::string path_;
};

}  // namespace halyard::testing
