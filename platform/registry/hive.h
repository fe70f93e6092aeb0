// The registry's keys and values in memory, and their REGEDIT4 text: the form of the hive
// files and of the files that halyard-reg exports and imports. A KeyNode owns its subkeys;
// subkeys are kept in the system's order of names and values in the order they were first
// set, which is the order the enumeration functions and the text give them. The parser takes
// any bytes: what is not REGEDIT4 is refused, lines it does not understand are skipped, and
// nothing it reads can make it overrun or recurse without bound. Not thread-safe; the caller
// guards a tree.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kernel/win_types.h"

namespace halyard::registry {

// The roots the hive files hold, in the order of their file names.
enum class Root { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2 };
constexpr int kRootCount = 3;
const char* RootName(Root root);  // "HKEY_CLASSES_ROOT"...
// The root of a full or short name ("HKEY_CURRENT_USER", "HKCU"), without regard to case.
bool RootFromName(std::string_view name, Root* root);

// The system's limits: 255 bytes for a key name, 16383 for a value name, 512 levels.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr std::size_t kMaxDepth = 512;

struct RegValue {
  std::string name;
  DWORD type = 0;
  std::string data;
};

class KeyNode {
 public:
  explicit KeyNode(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

  KeyNode* Child(std::string_view name) const;
  // The child of that name, created when missing (*created tells which).
  KeyNode* AddChild(std::string_view name, bool* created = nullptr);
  bool RemoveChild(std::string_view name);
  // Children in the system's order of names.
  const std::map<std::string, std::unique_ptr<KeyNode>>& children() const { return children_; }

  const RegValue* FindValue(std::string_view name) const;
  // Replaces the value of that name where it stands, or appends it.
  void SetValue(std::string_view name, DWORD type, std::string data);
  bool DeleteValue(std::string_view name);
  void ClearValues() {
    values_.clear();
    valueIndex_.clear();
  }
  const std::vector<RegValue>& values() const { return values_; }

 private:
  std::string name_;
  std::vector<RegValue> values_;
  std::unordered_map<std::string, std::size_t> valueIndex_;   // SortKey of a name -> position
  std::map<std::string, std::unique_ptr<KeyNode>> children_;  // by SortKey
};

// One "[...]" section of a REGEDIT4 text and the value lines under it.
struct RegEntry {
  std::string name;     // empty for the default value "@"
  bool remove = false;  // "name"=-
  DWORD type = 0;
  std::string data;
};
struct RegSection {
  Root root = Root::kCurrentUser;
  std::vector<std::string> path;  // below the root
  bool remove = false;            // [-...]
  std::vector<RegEntry> entries;
};

// Parses a REGEDIT4 text. False, with a reason, when it does not start with the REGEDIT4
// line. Sections under other roots, malformed names and malformed values are skipped.
bool ParseRegText(std::string_view text, std::vector<RegSection>* sections, std::string* error);

// Applies the sections of one root to that root's tree (creations, deletions, values).
void ApplySections(const std::vector<RegSection>& sections, Root root, KeyNode* tree);

// The REGEDIT4 sections of a key and its subtree; fullPath is the key's name with its root.
void WriteSections(const KeyNode& key, const std::string& fullPath, std::string* out);

// A whole hive file: the REGEDIT4 line, a blank line, and every key of the tree.
std::string WriteHive(const KeyNode& tree);

}  // namespace halyard::registry
