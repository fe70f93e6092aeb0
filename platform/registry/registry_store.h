// The hive files behind the registry functions: where they live, a per-process cache of their
// parsed trees (checked against the file's identity on every use, so a change by another
// process is seen at once), locked changes, and whole-text export and import for halyard-reg.
// All functions are guarded by one process-wide mutex and may be called from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/win_types.h"
#include "hive.h"
#include "locked_file.h"

namespace halyard::registry {

// HALYARD_REGISTRY, else $XDG_CONFIG_HOME/halyard/registry, else $HOME/.config/halyard/registry.
std::string RegistryFolder();
std::string HivePath(Root root);

// Runs fn over the current tree of a hive (an empty tree when the file does not exist yet).
// Returns ERROR_BADDB for a file that is not REGEDIT4 text, ERROR_CANTREAD when it cannot be
// read, else what fn returns.
LONG ReadHive(Root root, const std::function<LONG(const KeyNode& tree, const FileStamp&)>& fn);

// Runs fn over the tree under the hive's lock; when fn returns 0 and sets *changed, the new
// tree replaces the file atomically. ERROR_ACCESS_DENIED when the hive cannot be written,
// ERROR_BADDB when the file is damaged (it is then left alone), else fn's result.
LONG ChangeHive(Root root, const std::function<LONG(KeyNode& tree, bool* changed)>& fn);

// 0 when the hive can be changed, else ERROR_ACCESS_DENIED or another code.
LONG CheckHiveWritable(Root root);

// The key under root at path; null when one of its keys is missing.
const KeyNode* FindKey(const KeyNode& tree, const std::vector<std::string>& path);
KeyNode* FindKey(KeyNode& tree, const std::vector<std::string>& path);

// A REGEDIT4 text of the key and its subtree. ERROR_FILE_NOT_FOUND when the key is missing.
LONG ExportKey(Root root, const std::vector<std::string>& path, std::string* text);

// Applies a REGEDIT4 text (with its [-key] and "name"=- deletions) to the hives, one locked
// change per hive. ERROR_BADDB, with a reason, when the text is not REGEDIT4.
LONG ImportRegText(std::string_view text, std::string* error);

}  // namespace halyard::registry
