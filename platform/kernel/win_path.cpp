#include "win_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "text.h"

namespace halyard {
namespace {

std::string DriveRoot(char letter) {
  char name[] = "HALYARD_DRIVE_X";
  name[sizeof(name) - 2] = AsciiUpper(letter);
  const char* root = std::getenv(name);
  if (root == nullptr || *root == '\0') return "/";
  return root;
}

char CurrentDrive() {
  const char* d = std::getenv("HALYARD_DRIVE");
  if (d != nullptr && std::isalpha(static_cast<unsigned char>(d[0]))) return d[0];
  return 'C';
}

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Joins a drive root and the rest of a rooted path. "." and ".." are resolved by name, as the
// system resolves a full path, and ".." at the root stays there: "C:\\..\\etc" is "C:\\etc", so
// no rooted path leads out of its drive's folder. A trailing separator is kept.
std::string JoinRoot(std::string root, std::string_view rest) {
  if (root.empty() || root.back() != '/') root += '/';
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < rest.size()) {
    std::size_t j = i;
    while (j < rest.size() && !IsSep(rest[j])) ++j;
    std::string_view part = rest.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) root += '/';
    root += parts[k];
  }
  if (!parts.empty() && IsSep(rest.back())) root += '/';
  return root;
}

}  // namespace

std::string WinNameOfHostPath(const std::string& host) {
  const char* cur = std::getenv("HALYARD_DRIVE");
  char current = (cur != nullptr && std::isalpha(static_cast<unsigned char>(cur[0])) != 0)
                     ? AsciiUpper(cur[0])
                     : 'C';
  std::string order(1, current);
  for (char c = 'A'; c <= 'Z'; ++c)
    if (c != current) order += c;
  // The most specific root wins; among equal ones the current drive comes first.
  std::size_t bestLen = 0;
  char best = 0;
  std::string bestRest;
  for (char letter : order) {
    std::string root = DriveRoot(letter);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::string rest;
    if (root == "/") {
      if (host.empty() || host[0] != '/') continue;
      rest = host.substr(1);
    } else if (host == root) {
      rest.clear();
    } else if (host.compare(0, root.size(), root) == 0 && host.size() > root.size() &&
               host[root.size()] == '/') {
      rest = host.substr(root.size() + 1);
    } else {
      continue;
    }
    if (best == 0 || root.size() > bestLen) {
      best = letter;
      bestLen = root.size();
      bestRest = rest;
    }
  }
  if (best != 0) {
    std::string out = std::string(1, best) + ":\\";
    for (char c : bestRest) out += c == '/' ? '\\' : c;
    return out;
  }
  std::string out = host;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string MapWinPath(std::string_view p) {
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    // "C:dir" (drive-relative) is taken as rooted on that drive: there is no per-drive
    // current directory here.
    return JoinRoot(DriveRoot(p[0]), p.substr(2));
  }
  if (!p.empty() && IsSep(p[0])) {
    if (p.size() >= 2 && IsSep(p[1])) {
      // A UNC name has no mapping of its own; keep it inside the current drive's root.
      return JoinRoot(DriveRoot(CurrentDrive()), p.substr(2));
    }
    return JoinRoot(DriveRoot(CurrentDrive()), p);
  }
  std::string out(p);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool WinPathExists(std::string_view winPath) {
  struct stat st;
  return ::stat(MapWinPath(winPath).c_str(), &st) == 0;
}

bool WinMakeDirectory(std::string_view winPath) {
  return ::mkdir(MapWinPath(winPath).c_str(), 0777) == 0;
}

bool WinRemoveFile(std::string_view winPath) {
  return ::unlink(MapWinPath(winPath).c_str()) == 0;
}

}  // namespace halyard
