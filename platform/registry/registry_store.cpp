#include "registry_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

#include "platform/kernel/win_error.h"

namespace halyard::registry {
namespace {

struct CachedHive {
  bool loaded = false;
  bool present = false;  // the file existed
  FileStamp stamp;
  // File times are coarse (a clock tick of some milliseconds) and inode numbers are reused, so
  // a file written in the same tick as the cached one could carry the same stamp. Until the
  // cached file's write time lies clearly in the past, its bytes are compared as well.
  bool stable = false;
  std::string text;
  std::unique_ptr<KeyNode> tree;
};

constexpr long long kStableAfterNs = 100LL * 1000 * 1000;

bool OldEnough(const FileStamp& stamp) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  long long nowNs = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  return nowNs - stamp.mtimeNs > kStableAfterNs && nowNs - stamp.ctimeNs > kStableAfterNs;
}

std::mutex& StoreMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}

std::map<std::string, CachedHive>& Cache() {
  static auto* cache = new std::map<std::string, CachedHive>;
  return *cache;
}

bool OnlyBlanks(const std::string& s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

// Brings the cached tree of a hive up to date with its file. Caller holds StoreMutex.
LONG Load(Root root, const std::string& path, CachedHive** out) {
  CachedHive& c = Cache()[path];
  *out = &c;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return ERROR_CANTREAD;
    if (!c.loaded || c.present) {
      c.tree = std::make_unique<KeyNode>(RootName(root));
      c.present = false;
      c.stamp = FileStamp{};
      c.loaded = true;
    }
    return ERROR_SUCCESS;
  }
  bool sameStamp = c.loaded && c.present && c.stamp == StampOf(st);
  if (sameStamp && c.stable) return ERROR_SUCCESS;
  // Judged before reading: a file that is old now cannot be followed by one with its stamp.
  bool old = OldEnough(StampOf(st));
  std::string text;
  FileStamp stamp;
  DWORD r = ReadWholeFile(path, &text, &stamp);
  if (r == ERROR_FILE_NOT_FOUND) return Load(root, path, out);  // Replaced just now: try again.
  if (r != ERROR_SUCCESS) {
    c.loaded = false;
    return ERROR_CANTREAD;
  }
  if (sameStamp && stamp == c.stamp && text == c.text) {
    c.stable = old;
    return ERROR_SUCCESS;
  }
  auto tree = std::make_unique<KeyNode>(RootName(root));
  if (!OnlyBlanks(text)) {
    std::vector<RegSection> sections;
    std::string error;
    if (!ParseRegText(text, &sections, &error)) {
      c.loaded = false;
      return ERROR_BADDB;
    }
    ApplySections(sections, root, tree.get(), /*keepVerbatim=*/true);
  }
  c.tree = std::move(tree);
  c.present = true;
  c.stamp = stamp;
  c.stable = old && stamp == StampOf(st);
  c.text = std::move(text);
  c.loaded = true;
  return ERROR_SUCCESS;
}

std::string EnvOr(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

}  // namespace

std::string RegistryFolder() {
  std::string dir = EnvOr("HALYARD_REGISTRY");
  if (!dir.empty()) return dir;
  std::string xdg = EnvOr("XDG_CONFIG_HOME");
  if (!xdg.empty()) return xdg + "/halyard/registry";
  return EnvOr("HOME") + "/.config/halyard/registry";
}

std::string HivePath(Root root) {
  std::string dir = RegistryFolder();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir + "/" + RootName(root) + ".reg";
}

LONG ReadHive(Root root, const std::function<LONG(const KeyNode&, const FileStamp&)>& fn) {
  std::lock_guard<std::mutex> lock(StoreMutex());
  CachedHive* c = nullptr;
  LONG r = Load(root, HivePath(root), &c);
  if (r != ERROR_SUCCESS) return r;
  return fn(*c->tree, c->stamp);
}

LONG ChangeHive(Root root, const std::function<LONG(KeyNode&, bool*)>& fn) {
  std::lock_guard<std::mutex> lock(StoreMutex());
  std::string path = HivePath(root);
  FileLock fileLock;
  DWORD r = LockBeside(path, &fileLock);
  if (r != ERROR_SUCCESS) return static_cast<LONG>(r);
  CachedHive* c = nullptr;
  LONG lr = Load(root, path, &c);
  if (lr != ERROR_SUCCESS) return lr;
  bool changed = false;
  LONG result = fn(*c->tree, &changed);
  if (!changed) return result;
  if (result != ERROR_SUCCESS) {
    c->loaded = false;  // The tree may be half changed: read the file again next time.
    return result;
  }
  FileStamp stamp;
  std::string text = WriteHive(*c->tree);
  r = ReplaceFile(path, text, &stamp);
  if (r != ERROR_SUCCESS) {
    c->loaded = false;
    return static_cast<LONG>(r == ERROR_DISK_FULL ? ERROR_CANTWRITE : r);
  }
  c->present = true;
  c->stamp = stamp;
  c->stable = false;
  c->text = std::move(text);
  return ERROR_SUCCESS;
}

LONG CheckHiveWritable(Root root) {
  std::lock_guard<std::mutex> lock(StoreMutex());
  FileLock fileLock;
  return static_cast<LONG>(LockBeside(HivePath(root), &fileLock));
}

const KeyNode* FindKey(const KeyNode& tree, const std::vector<std::string>& path) {
  const KeyNode* node = &tree;
  for (const std::string& part : path) {
    node = node->Child(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

KeyNode* FindKey(KeyNode& tree, const std::vector<std::string>& path) {
  return const_cast<KeyNode*>(FindKey(static_cast<const KeyNode&>(tree), path));
}

LONG ExportKey(Root root, const std::vector<std::string>& path, std::string* text) {
  return ReadHive(root, [&](const KeyNode& tree, const FileStamp&) -> LONG {
    const KeyNode* key = FindKey(tree, path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    std::string full = RootName(root);
    const KeyNode* node = &tree;
    for (const std::string& part : path) {
      node = node->Child(part);
      full += "\\" + node->name();  // The stored spelling, not the caller's.
    }
    *text = "REGEDIT4\r\n\r\n";
    WriteSections(*key, full, text);
    return ERROR_SUCCESS;
  });
}

LONG ImportRegText(std::string_view text, std::string* error) {
  std::vector<RegSection> sections;
  if (!ParseRegText(text, &sections, error)) return ERROR_BADDB;
  for (int i = 0; i < kRootCount; ++i) {
    Root root = static_cast<Root>(i);
    bool any = false;
    for (const RegSection& s : sections) any = any || s.root == root;
    if (!any) continue;
    LONG r = ChangeHive(root, [&](KeyNode& tree, bool* changed) -> LONG {
      ApplySections(sections, root, &tree);
      *changed = true;
      return ERROR_SUCCESS;
    });
    if (r != ERROR_SUCCESS) {
      if (error) *error = std::string("cannot change ") + RootName(root);
      return r;
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace halyard::registry
