// The quoting every tool's output shares: exact for every byte and plain ASCII.
#include "tools/common/quote.h"

#include <gtest/gtest.h>

#include <random>
#include <string>


namespace halyard::tool {
namespace {

// Reads a quoted text back the way a C compiler reads a string literal; false on anything a
// literal could not hold.
bool Unquote(const std::string& quoted, char mark, std::string* text) {
  if (quoted.size() < 2 || quoted.front() != mark || quoted.back() != mark) return false;
  text->clear();
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == mark) return false;
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++i >= quoted.size() - 1) return false;  // a backslash before the closing mark
    c = quoted[i];
    if (c == 'n') {
      *text += '\n';
    } else if (c == 'r') {
      *text += '\r';
    } else if (c == 't') {
      *text += '\t';
    } else if (c == '\\' || c == '"' || c == '\'') {
      *text += c;
    } else if (c >= '0' && c <= '7') {
      if (i + 2 >= quoted.size() - 1) return false;
      int v = 0;
      for (std::size_t k = i; k < i + 3; ++k) {
        if (quoted[k] < '0' || quoted[k] > '7') return false;
        v = v * 8 + (quoted[k] - '0');
      }
      if (v > 255) return false;
      i += 2;
      *text += static_cast<char>(v);
    } else {
      return false;
    }
  }
  return true;
}

TEST(Quote, EscapesWhatAReaderCouldMistake) {
  EXPECT_EQ(Quote(""), "\"\"");
  EXPECT_EQ(Quote("plain text"), "\"plain text\"");
  EXPECT_EQ(Quote("say \"hi\"\\now"), "\"say \\\"hi\\\"\\\\now\"");
  EXPECT_EQ(Quote("a\tb\r\nc"), "\"a\\tb\\r\\nc\"");
  // Octal always takes three digits, so a digit after it stays a digit.
  EXPECT_EQ(Quote(std::string("\0"
                              "12",
                              3)),
            "\"\\00012\"");
  EXPECT_EQ(Quote("\x1b[2J\x7f"), "\"\\033[2J\\177\"");
  // Windows-1252 letters are bytes like any other: shown, not passed to the terminal raw.
  EXPECT_EQ(Quote("caf\xe9"), "\"caf\\351\"");
  // In single marks the double mark needs no escape and the single one does.
  EXPECT_EQ(Quote("it's \"x\"", '\''), "'it\\'s \"x\"'");
}

TEST(Quote, EveryTextReadsBackExactlyAndStaysPrintableAscii) {
  std::mt19937 random(12);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += static_cast<char>(byte(random));
    for (char mark : {'"', '\''}) {
      const std::string quoted = Quote(text, mark);
      for (char c : quoted) ASSERT_TRUE(c >= 0x20 && c < 0x7F) << quoted;
      std::string back;
      ASSERT_TRUE(Unquote(quoted, mark, &back)) << quoted;
      ASSERT_EQ(back, text) << quoted;
    }
  }
}

}  // namespace
}  // namespace halyard::tool
