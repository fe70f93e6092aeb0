#include "post_board.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cgi/common/board_config.h"
#include "cgi/common/board_refresh.h"
#include "cgi/common/cgi_request.h"
#include "cgi/common/cgi_string.h"
#include "cgi/common/form_field.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"
#include "index_page.h"
#include "message_page.h"
#include "message_pieces.h"

namespace halyard::board {
namespace {

// No board message comes near this; a larger CONTENT_LENGTH is refused, not allocated.
constexpr DWORD kMaxFormData = 1u << 20;
// Message numbers stay within a 32-bit LONG, as the counter always was.
constexpr long long kMaxMessageNumber = 2147483646;
// The board's files are renamed into place without waiting for the disk: a post answers as
// quickly as it always has, and the rename alone keeps readers and a program killed half-way
// from ever seeing part of a file.
constexpr bool kSyncBoardFiles = false;

enum Field { kTime, kParent, kThread, kRealTime, kName, kEmail, kSubject, kBody, kFieldCount };
const std::vector<std::string_view> kFieldNames = {"time", "parent", "thread",  "RealTime",
                                                   "name", "email",  "subject", "body"};

struct BoardFiles {
  std::string messageFolder, indexFile, counterFile, lockFile;
};

BoardFiles NamesFor(const BoardConfig& config) {
  BoardFiles f;
  f.messageFolder = config.boardDirectory + "\\message\\";
  f.indexFile = config.boardDirectory + "\\message\\bbs-data.html";
  f.counterFile = config.boardDirectory + "\\message\\counter";
  f.lockFile = f.messageFolder + "board.lock";
  return f;
}

// The number in the counter file, or -1 when it is missing or holds no usable number.
long long ReadCounter(const std::string& counterFile) {
  auto file = WinFile::Open(counterFile, "r");
  long long n;
  if (!file || !file->ReadLong(&n) || n < 0 || n > kMaxMessageNumber) return -1;
  return n;
}

// One past the highest message page in the folder (0 for none), for a board whose counter
// was lost: numbering restarts above every page that exists.
long long NumberAfterExistingPages(const std::string& messageFolder) {
  long long next = 0;
  std::vector<FolderEntry> entries;
  if (ListFolder(MapWinPath(messageFolder), &entries) != 0) return 0;
  for (const FolderEntry& entry : entries) {
    const std::string& name = entry.name;
    if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".html") != 0) continue;
    std::string digits = name.substr(0, name.size() - 5);
    if (!IsDigits(digits) || digits.size() > 10) continue;
    long long n = std::stoll(digits);
    if (n >= next && n <= kMaxMessageNumber) next = n + 1;
  }
  return next;
}

// Writes the page of the first number from *n on whose page does not exist yet: the page is
// created exclusively, so an existing page is never opened for writing. A page that cannot be
// written whole is removed again. *n becomes the number taken.
bool WriteMessagePage(const BoardFiles& files, const BoardConfig& config, const Message& m,
                      long long* n) {
  for (; *n <= kMaxMessageNumber; ++*n) {
    std::string page = files.messageFolder + std::to_string(*n) + ".html";
    auto file = WinFile::Open(page, "wx");
    if (!file) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = file->Write(MessagePageText(m, config.scriptUrlPrefix, *n));
    ok = file->Close() && ok;
    if (!ok) WinRemoveFile(page);
    return ok;
  }
  return false;
}

// Writes the counter's next value into a new version of the counter file, not yet in place:
// the caller puts it there once the message is listed.
bool PrepareCounter(ReplacementFile& file, long long next) {
  return file.Begin() == 0 && file.Write(std::to_string(next) + "\r\n") == 0;
}

// The bytes of a file, mapped for reading: the index of a big board is scanned on every post
// and its unchanged part goes from this mapping straight into the new version.
class MappedFile {
 public:
  explicit MappedFile(const std::string& winPath) {
    auto file = WinFile::Open(winPath, "rb");
    struct stat st;
    if (!file || ::fstat(file->Fd(), &st) != 0) return;
    ok_ = true;
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ == 0) return;
    void* at = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file->Fd(), 0);
    if (at == MAP_FAILED) {
      ok_ = false;
      size_ = 0;
      return;
    }
    data_ = static_cast<const char*>(at);
  }
  ~MappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<char*>(data_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  bool ok() const { return ok_; }
  std::string_view bytes() const { return {data_ == nullptr ? "" : data_, size_}; }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  bool ok_ = false;
};

// Puts the message's line above the marker line: the new text is written where the marker
// stood, over the old marker and tail, in a new version of the file.
bool InsertIndexLine(const std::string& indexFile, const std::string& line) {
  MappedFile index(indexFile);
  if (!index.ok()) return false;
  std::string_view disk = index.bytes();
  std::size_t at = FindInsertionPoint(disk);
  if (at == std::string::npos) return false;
  std::string text = cgi::TextModeBytes(InsertionText(line));
  std::size_t end = at + text.size();
  ReplacementFile file(MapWinPath(indexFile));
  if (file.Begin() != 0 || file.Write(disk.substr(0, at)) != 0 || file.Write(text) != 0)
    return false;
  if (end < disk.size() && file.Write(disk.substr(end)) != 0) return false;
  return file.Commit(kSyncBoardFiles) == 0;
}

// Stores the message under the board lock: page, then index line, then counter. The index is
// the commit: until its new version is in place nothing is listed, so any failure up to there
// removes the page again and leaves the counter as it was, and the visitor told "error" leaves
// nothing behind. True when the message is listed.
bool StoreMessage(const BoardFiles& files, const BoardConfig& config, const Message& m) {
  FileLock lock;
  if (lock.Acquire(MapWinPath(files.lockFile)) != 0) return false;
  long long n = ReadCounter(files.counterFile);
  if (n < 0) n = NumberAfterExistingPages(files.messageFolder);
  if (!WriteMessagePage(files, config, m, &n)) return false;
  ReplacementFile counter(MapWinPath(files.counterFile));
  if (!PrepareCounter(counter, n + 1) || !InsertIndexLine(files.indexFile, IndexLineText(m, n))) {
    WinRemoveFile(files.messageFolder + std::to_string(n) + ".html");
    return false;
  }
  // Only the rename is left, and should even that fail the message is stored and listed: the
  // next post finds this page taken and numbers itself above it.
  counter.Commit(kSyncBoardFiles);
  return true;
}

}  // namespace

int HandlePost(CgiRequest& request) {
  BoardConfig config = BoardConfig::Read();
  BoardFiles files = NamesFor(config);

  DWORD length = request.ContentLength();
  if (length > kMaxFormData) {
    cgi::AnswerBoardError(request, config);
    return 0;
  }
  std::vector<char> data(static_cast<std::size_t>(length) + 1, '\0');
  request.ReadContent(data.data(), length + 1);
  data[length] = '\0';
  std::vector<cgi::FormField> fields = cgi::CutFormData(data.data(), {15, 0});

  cgi::FieldWalk walk = cgi::WalkFields(fields, kFieldNames);
  if (walk.matchCount != kFieldCount) {
    cgi::AnswerBoardError(request, config);
    return 0;
  }
  auto value = [&](Field f) -> std::string& { return fields[walk.positions[f]].value; };
  for (char& c : value(kRealTime))
    if (c == '_') c = ' ';
  Message m{value(kName),   value(kEmail),  value(kSubject), value(kBody),
            value(kThread), value(kParent), value(kTime),    value(kRealTime)};

  // These three stand in the index page's script unquoted or in comments.
  bool numbersOk = IsDigits(m.thread) && (m.parent.empty() || IsDigits(m.parent)) &&
                   (m.time.empty() || IsDigits(m.time));
  if (!numbersOk || !StoreMessage(files, config, m)) {
    cgi::AnswerBoardError(request, config);
    return 0;
  }
  cgi::AnswerBoardSuccess(request, config);
  return 0;
}

}  // namespace halyard::board
