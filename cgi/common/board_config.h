// The message board's configuration from "bbs_NT.cfg" in the current directory: the board
// directory on its first line, the URL prefix of the programs after it. Plain value.
#pragma once

#include <string>

struct BoardConfig {
  std::string boardDirectory;   // prefix of every board file
  std::string scriptUrlPrefix;  // everything after the first line feed, verbatim
  std::string boardUrlBase;     // boardDirectory with backslashes turned into slashes

  // Splits a configuration text as read by ReadConfigText.
  static BoardConfig FromText(const std::string& text);
  // Reads "bbs_NT.cfg"; a missing file gives an empty configuration.
  static BoardConfig Read();
};
