#include "read_input.h"

#include <cerrno>
#include <cstdio>

namespace halyard::tool {

bool ReadInput(const char* path, std::string& out) {
  std::FILE* f = path ? std::fopen(path, "rb") : stdin;
  if (!f) return false;
  char chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, got);
  bool ok = !std::ferror(f);
  int err = errno;
  if (path) std::fclose(f);
  errno = err;
  return ok;
}

}  // namespace halyard::tool
