#include "form_catcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "cgi/common/cgi_request.h"
#include "cgi/common/cgi_string.h"
#include "cgi/common/text_escape.h"
#include "catcher_pieces.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"

namespace halyard::catcher {
namespace {

constexpr std::size_t kFormDataSize = 10000;  // bytes of form data, terminator included
constexpr std::size_t kConfigSize = 1024;
constexpr cgi::FieldLimits kLimits = {9, 255};

enum Hidden { kSuccess, kError, kFileName, kHiddenCount };
const std::vector<std::string_view> kHiddenNames = {"success", "error", "filename"};

template <std::size_t N>
void Answer(CgiRequest& request, const char* const (&pieces)[N]) {
  for (const char* piece : pieces) request.WriteText(piece);
}

void AnswerRefresh(CgiRequest& request, const std::string& url, const char* urlEnd) {
  Answer(request, kRefreshOpen);
  request.WriteText(cgi::HtmlEscape(url).c_str());
  request.WriteText(urlEnd);
  Answer(request, kRefreshClose);
}

// Appends the line with one write to an existing data file, holding an exclusive lock on it so
// that lines of submissions at the same moment never mix. A write that fails part-way (a full
// disk) is cut back off the file before the lock goes. *missing tells that there was no file.
bool AppendToExisting(const std::string& dataFile, const std::string& line, bool* missing) {
  *missing = false;
  int fd = ::open(MapWinPath(dataFile).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    *missing = errno == ENOENT;
    return false;
  }
  struct stat st;
  bool ok = LockDescriptor(fd) == 0 && ::fstat(fd, &st) == 0;
  if (ok) {
    WinFile file(fd, true, false);
    ok = file.Write(line) && file.Flush();
    // Closed before the cut, so that nothing still buffered can follow it.
    ok = file.Close() && ok;
    if (!ok && ::ftruncate(fd, st.st_size) != 0) {
      // Nothing more can be done about it; the failure is reported all the same.
    }
  }
  ::close(fd);  // drops the lock
  return ok;
}

// Stores the line: appended to the data file, or, when there is none yet, as the whole first
// version of it, which appears with its line or not at all. A store that fails never leaves
// an empty data file behind.
bool AppendLine(const std::string& dataFile, const std::string& line) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool missing = false;
    if (AppendToExisting(dataFile, line, &missing)) return true;
    if (!missing) return false;
    ReplacementFile first(MapWinPath(dataFile));
    if (first.Begin() != 0 || first.Write(cgi::TextModeBytes(line)) != 0) return false;
    int err = first.CommitIfAbsent(false);
    if (err == 0) return true;
    if (err != EEXIST) return false;
    // Another submission created the file meanwhile: append to it.
  }
  return false;
}

}  // namespace

bool IsSafeFileName(std::string_view name) {
  if (name.empty()) return true;  // names the folder itself: it cannot be opened as a file
  if (name[0] == '\\' || name[0] == '/') return false;
  if (name.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t sep = name.find_first_of("\\/", start);
    std::size_t end = sep == std::string_view::npos ? name.size() : sep;
    if (name.substr(start, end - start) == "..") return false;
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  return true;
}

std::string DataLine(const std::vector<cgi::FormField>& fields) {
  std::string line;
  for (const cgi::FormField& f : fields) {
    if (f.name.empty()) break;
    if (f.name[0] < '0' || f.name[0] > '9' || f.value == "TRUE") continue;
    if (std::atoi(f.name.c_str()) != 1) line += '\t';
    for (char c : f.value) {
      if (c == '\r') continue;
      line += (c == '\n' || c == '\t') ? ' ' : c;
    }
  }
  line += '\n';
  return line;
}

int HandleSubmission(CgiRequest& request) {
  char data[kFormDataSize] = {};
  request.ReadContent(data, kFormDataSize);
  DWORD length = request.ContentLength();
  data[length < kFormDataSize - 1 ? length : kFormDataSize - 1] = '\0';
  if (data[0] == '\0') {
    Answer(request, kUsagePage);
    return 0;
  }

  char config[kConfigSize];
  ReadConfigText("config", config, sizeof config);
  std::string directory = config[0] != '\0' ? config : kDefaultDataDirectory;

  std::vector<cgi::FormField> fields = cgi::CutFormData(data, kLimits);
  cgi::FieldWalk walk = cgi::WalkFields(fields, kHiddenNames);
  if (walk.matchCount != kHiddenCount) {
    Answer(request, kMisconfigurationPage);
    return 0;
  }
  const std::string& fileName = fields[walk.positions[kFileName]].value;
  if (!IsSafeFileName(fileName)) {
    Answer(request, kFileNameRefusedPage);
    return 0;
  }
  if (walk.stopped) {
    AnswerRefresh(request, fields[walk.positions[kError]].value, kErrorUrlEnd);
    return 0;
  }

  WinMakeDirectory(directory);
  if (!AppendLine(directory + fileName, DataLine(fields))) {
    Answer(request, kNotStoredPage);
    return 0;
  }
  AnswerRefresh(request, fields[walk.positions[kSuccess]].value, kSuccessUrlEnd);
  return 0;
}

}  // namespace halyard::catcher
