// The registry's keys and values in memory, and their REGEDIT4 text: the form of the hive
// files and of the files that halyard-reg exports and imports. A KeyNode owns its subkeys;
// subkeys are kept in the system's order of names and values in the order they were first
// set, which is the order the enumeration functions and the text give them. The parser takes
// any bytes: what is not REGEDIT4 is refused, and nothing it reads can make it overrun or
// recurse without bound. Lines it does not understand are skipped when a text is imported, but
// a hive keeps them verbatim under the key they stood under (or before the first key), so that
// rewriting a hive never drops anything stored in it. Not thread-safe; the caller guards a tree.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/kernel/win_types.h"

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

  // Lines of the hive text under this key that are not values the parser understood, kept
  // as they were and written back after the values.
  const std::vector<std::string>& verbatim() const { return verbatim_; }
  void AddVerbatim(std::string line) { verbatim_.push_back(std::move(line)); }

 private:
  std::string name_;
  std::vector<RegValue> values_;
  std::vector<std::string> verbatim_;
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
  // Lines without a section of their own: those before the first section, and a header the
  // parser cannot read with the lines under it. Only verbatim is filled.
  bool orphan = false;
  std::vector<RegEntry> entries;
  std::vector<std::string> verbatim;  // lines of this section that were not understood
  std::vector<std::string> raw;       // every line of a section, its header first
};

// Parses a REGEDIT4 text. False, with a reason, when it does not start with the REGEDIT4
// line. Lines it cannot read (malformed headers, names and values, stray text, comments)
// go to the verbatim lines of the section they stand in, or of an orphan section.
bool ParseRegText(std::string_view text, std::vector<RegSection>* sections, std::string* error);

// Applies the sections of one root to that root's tree (creations, deletions, values). With
// keepVerbatim (reading a hive file) the lines that were not understood, and whole sections
// of other roots, are kept on the key they followed; without it (importing) they are dropped.
void ApplySections(const std::vector<RegSection>& sections, Root root, KeyNode* tree,
                   bool keepVerbatim = false);

// The REGEDIT4 sections of a key and its subtree; fullPath is the key's name with its root.
// Verbatim lines are left out: this is the clean text that exports give.
void WriteSections(const KeyNode& key, const std::string& fullPath, std::string* out);

// A whole hive file: the REGEDIT4 line, a blank line, the root's verbatim lines (then a blank
// line), and every key of the tree with its verbatim lines after its values.
std::string WriteHive(const KeyNode& tree);

}  // namespace halyard::registry
