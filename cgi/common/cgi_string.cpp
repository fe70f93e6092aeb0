#include "cgi_string.h"

#include <cstdlib>
#include <cstring>

#include "platform/kernel/win_file.h"

namespace {

int HexDigitValue(char c) {
  // Bytes from 128 up are negative as signed chars and so count as below "A".
  signed char s = static_cast<signed char>(c);
  if (s >= 65) return (static_cast<unsigned char>(c) & 0xDF) - 55;
  return static_cast<unsigned char>(c) - 48;
}

// Decodes [text, text + length) in place; returns the decoded length.
std::size_t DecodeInPlace(char* text, std::size_t length) {
  std::size_t in = 0, out = 0;
  while (in < length) {
    char c = text[in];
    if (c == '+') {
      text[out++] = ' ';
      ++in;
    } else if (c == '%' && length - in >= 3) {
      text[out++] = static_cast<char>(HexPairValue(text + in + 1));
      in += 3;
    } else {
      text[out++] = c;
      ++in;
    }
  }
  return out;
}

}  // namespace

void SplitAt(char* destination, char* source, char delimiter) {
  SplitAt(destination, std::strlen(source) + 1, source, delimiter);
}

void SplitAt(char* destination, std::size_t destinationSize, char* source, char delimiter) {
  std::size_t length = std::strlen(source);
  const char* at = static_cast<const char*>(std::memchr(source, delimiter, length));
  std::size_t piece = at == nullptr ? length : static_cast<std::size_t>(at - source);
  if (destinationSize > 0) {
    std::size_t kept = piece < destinationSize - 1 ? piece : destinationSize - 1;
    std::memmove(destination, source, kept);
    destination[kept] = '\0';
  }
  std::size_t removed = at == nullptr ? piece : piece + 1;
  std::memmove(source, source + removed, length - removed + 1);
}

char* SplitAtCopy(char* source, char delimiter) {
  const char* at = std::strchr(source, delimiter);
  std::size_t piece = at == nullptr || delimiter == '\0' ? std::strlen(source)
                                                         : static_cast<std::size_t>(at - source);
  char* copy = static_cast<char*>(std::malloc(piece + 1));
  if (copy == nullptr) return nullptr;
  SplitAt(copy, piece + 1, source, delimiter);
  return copy;
}

int HexPairValue(const char* pair) {
  return (HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1])) & 0xFF;
}

void DecodeUrl(char* text) {
  std::size_t n = DecodeInPlace(text, std::strlen(text));
  text[n] = '\0';
}

int ReadConfigText(const char* fileName, char* buffer, std::size_t bufferSize) {
  if (bufferSize == 0) return 1;
  std::size_t limit = bufferSize - 1 < 2048 ? bufferSize - 1 : 2048;
  std::size_t stored = 0;
  if (auto file = halyard::WinFile::Open(fileName, "r")) {
    while (stored < limit) {
      int c = file->GetC();
      if (c < 0) break;
      buffer[stored++] = static_cast<char>(c);
    }
  }
  buffer[stored] = '\0';
  return 1;
}

namespace halyard::cgi {

std::string TextModeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

std::string DecodeUrlText(std::string_view text) {
  std::string out(text);
  out.resize(DecodeInPlace(out.data(), out.size()));
  std::size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}

}  // namespace halyard::cgi
