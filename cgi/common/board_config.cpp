#include "board_config.h"

#include "cgi_string.h"

BoardConfig BoardConfig::FromText(const std::string& text) {
  BoardConfig config;
  std::size_t lf = text.find('\n');
  if (lf == std::string::npos) {
    config.boardDirectory = text;
  } else {
    config.boardDirectory = text.substr(0, lf);
    config.scriptUrlPrefix = text.substr(lf + 1);
  }
  config.boardUrlBase = config.boardDirectory;
  for (char& c : config.boardUrlBase)
    if (c == '\\') c = '/';
  return config;
}

BoardConfig BoardConfig::Read() {
  char text[2049];
  ReadConfigText("bbs_NT.cfg", text, sizeof text);
  return FromText(text);
}
