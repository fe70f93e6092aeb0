#include "board_form.h"

#include <string>

#include "form_pieces.h"
#include "cgi/common/board_config.h"
#include "cgi/common/board_refresh.h"
#include "cgi/common/cgi_request.h"
#include "cgi/common/cgi_string.h"
#include "cgi/common/text_escape.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"

namespace halyard::board {
namespace {

constexpr long long kMaxThreadNumber = 2147483646;
// As post-board: renamed into place without waiting for the disk.
constexpr bool kSyncBoardFiles = false;

struct FormFiles {
  std::string threadCounter, counter, index, original, lockFile;
};

FormFiles NamesFor(const BoardConfig& config) {
  FormFiles f;
  f.threadCounter = config.boardDirectory + "\\message\\thread_counter";
  f.counter = config.boardDirectory + "\\message\\counter";
  f.index = config.boardDirectory + "\\message\\bbs-data.html";
  f.original = config.boardDirectory + "\\message\\bbs-data.original";
  // The same lock post-board holds while it numbers a message.
  f.lockFile = config.boardDirectory + "\\message\\board.lock";
  return f;
}

// Creates the file with the given text (written as text) only when no file of that name
// exists; an existing file is never opened. The file appears whole or not at all.
void CreateIfAbsent(const std::string& winPath, const std::string& text) {
  ReplacementFile file(MapWinPath(winPath));
  if (file.Begin() != 0 || file.Write(cgi::TextModeBytes(text)) != 0) return;
  file.CommitIfAbsent(kSyncBoardFiles);
}

void SetUpBoard(const FormFiles& files) {
  if (!WinPathExists(files.threadCounter)) CreateIfAbsent(files.threadCounter, "2\n");
  if (!WinPathExists(files.counter)) CreateIfAbsent(files.counter, "0\n");
  if (!WinPathExists(files.index)) {
    // The template is copied as text, so its CR LF line ends (and the marker's CR CR LF)
    // arrive unchanged; one line feed follows it.
    std::string text;
    if (auto original = WinFile::Open(files.original, "r")) {
      char buf[65536];
      std::size_t got;
      while ((got = original->Read(buf, sizeof buf)) > 0) text.append(buf, got);
    }
    text += "\n";
    CreateIfAbsent(files.index, text);
  }
}

// Takes the next thread number from the thread counter (1 when it holds none), or -1 when
// the counter cannot be advanced: a number that is not stored would be handed out again.
long long TakeThreadNumber(const FormFiles& files) {
  FileLock lock;
  lock.Acquire(MapWinPath(files.lockFile));  // Without the lock the counter is still served.
  long long t = 1;
  if (auto file = WinFile::Open(files.threadCounter, "r")) {
    long long n;
    if (file->ReadLong(&n) && n >= 0 && n <= kMaxThreadNumber) t = n;
  }
  ReplacementFile file(MapWinPath(files.threadCounter));
  if (file.Begin() != 0 || file.Write(std::to_string(t + 1) + "\r\n") != 0) return -1;
  return file.Commit(kSyncBoardFiles) == 0 ? t : -1;
}

}  // namespace

int HandleForm(CgiRequest& request) {
  BoardConfig config = BoardConfig::Read();
  FormFiles files = NamesFor(config);
  SetUpBoard(files);

  char buffer[20] = {};
  request.ReadContent(buffer, sizeof buffer);
  DWORD length = request.ContentLength();
  buffer[length < sizeof buffer - 1 ? length : sizeof buffer - 1] = '\0';
  std::string query = buffer;
  bool reply = !query.empty();

  // The thread number is taken before anything of the page is written, so that a board that
  // cannot store it answers with its error page instead.
  long long threadNumber = reply ? 0 : TakeThreadNumber(files);
  if (threadNumber < 0) {
    cgi::AnswerBoardError(request, config);
    return 0;
  }

  for (const char* piece : kPageHead) request.WriteText(piece);

  std::string thread;
  if (reply) {
    thread = cgi::HtmlEscape(query);
    request.WriteText(kHeadingReply);
    request.WriteText(thread.c_str());
    request.WriteText(kHeadingClose);
  } else {
    thread = std::to_string(threadNumber);
    request.WriteText(kHeadingNew);
    request.WriteText(thread.c_str());
    request.WriteText(kHeadingClose);
  }

  request.WriteText(kFormOpen);
  request.WriteText(kParentOpen);
  request.WriteText(reply ? "0" : "1");
  request.WriteText(kHiddenClose);
  request.WriteText(kThreadOpen);
  request.WriteText(thread.c_str());
  request.WriteText(kHiddenClose);
  for (const char* piece : kTimeScript) request.WriteText(piece);

  std::string subjectArgument = cgi::ScriptEscape(query);
  for (const char* piece : kTable) request.WriteText(piece ? piece : subjectArgument.c_str());
  for (const char* piece : kPageClose) request.WriteText(piece);
  return 0;
}

}  // namespace halyard::board
