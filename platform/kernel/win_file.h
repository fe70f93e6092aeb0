// A buffered file with the C runtime's text and binary modes of the original platform.
// In text mode a line feed is written as CR LF and CR LF reads as a line feed; a lone CR is
// kept. Positions (Tell, Seek) are byte offsets in the file, as the Windows runtime reports
// them, so a position noted before reading a line can be returned to and written at.
// One WinFile belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace halyard {

class WinFile {
 public:
  // fopen-style modes: "r", "w", "a", "r+", "w+", "a+", with "b" for binary ("t" or nothing is
  // text) and "x" for an exclusive create that fails when the file exists (with "w").
  // Returns null when the file cannot be opened; errno tells why.
  static std::unique_ptr<WinFile> Open(std::string_view winPath, std::string_view mode);

  // Wraps an open descriptor (not closed by Close when own is false).
  WinFile(int fd, bool text, bool own);
  ~WinFile();
  WinFile(const WinFile&) = delete;
  WinFile& operator=(const WinFile&) = delete;

  // The next character after text translation, or -1 at the end of the file or on error.
  int GetC();
  // Reads characters until a line feed (consumed, not stored) or until max characters are
  // stored, like istream::getline with a count. Returns false when nothing at all could be read
  // because the file was at its end. *sawNewline tells whether the line feed ended the line.
  bool GetLine(std::string& line, std::size_t max, bool* sawNewline = nullptr);
  // Reads up to n characters (translated). Returns the count read.
  std::size_t Read(void* buf, std::size_t n);
  // Reads a decimal number as the runtime's stream extraction does: leading white space
  // skipped, optional sign, digits. False when no digit stands there.
  bool ReadLong(long long* value);

  bool Write(const void* buf, std::size_t n);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  bool Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  bool Flush();
  // Flushes and waits until the data is on disk.
  bool Sync();
  std::int64_t Tell();
  bool Seek(std::int64_t offset, int whence = 0 /* SEEK_SET */);
  // Cuts or extends the file at the given length.
  bool Truncate(std::int64_t length);
  bool Eof() const { return eof_; }
  bool Error() const { return error_; }
  bool Close();
  int Fd() const { return fd_; }
  bool IsText() const { return text_; }

 private:
  bool Refill();
  bool DropReadAhead();

  int fd_;
  bool text_;
  bool own_;
  bool eof_ = false;
  bool error_ = false;
  // Read-ahead: raw bytes [rpos_, rlen_) of rbuf_ start at file offset rbase_ + rpos_.
  std::unique_ptr<char[]> rbuf_;
  std::size_t rpos_ = 0, rlen_ = 0;
  std::int64_t rbase_ = 0;
  bool reading_ = false;
  // Pending writes, already translated.
  std::string wbuf_;
};

// The process's standard output and input in text mode, as a console program sees them.
WinFile& WinStdout();
WinFile& WinStdin();

}  // namespace halyard
