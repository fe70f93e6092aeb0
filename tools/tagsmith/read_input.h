// The input of the tagsmith subcommands that read one file: the named file, or standard input.
#pragma once

#include <string>

namespace halyard::tool {

// Reads all of path (standard input when path is null) into out; false with errno set when it
// cannot be read.
bool ReadInput(const char* path, std::string& out);

}  // namespace halyard::tool
