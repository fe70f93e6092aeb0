// Maps the Windows paths the components are written with onto this host's file system.
// Backslash and slash both separate; "X:" maps to the folder in HALYARD_DRIVE_X (default "/");
// a path that starts with a separator and names no drive is on the current drive, the one named
// by HALYARD_DRIVE (default C). Relative paths stay relative to the current directory.
// All functions are pure apart from reading the environment; any thread may call them.
#pragma once

#include <string>
#include <string_view>

namespace halyard {

// The host path for a Windows path. An empty path maps to an empty path.
std::string MapWinPath(std::string_view winPath);

// The Windows name of a host path, "X:\\rest" through the drive whose root holds it most
// closely (the current drive first among equals); a path under no drive root keeps its
// host name with backslashes.
std::string WinNameOfHostPath(const std::string& hostPath);

// True when the Windows path names an existing file or folder.
bool WinPathExists(std::string_view winPath);

// Creates one folder level, as the C runtime's _mkdir does; false when it fails or exists.
bool WinMakeDirectory(std::string_view winPath);

// Removes a file; false when it fails.
bool WinRemoveFile(std::string_view winPath);

}  // namespace halyard
