#include "form-catcher/form_catcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/cgi_request.h"
#include "common/cgi_string.h"
#include "common/file_lock.h"
#include "common/text_escape.h"
#include "form-catcher/catcher_pieces.h"
#include "kernel/win_file.h"
#include "kernel/win_path.h"

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

// Appends the line with one write while holding an exclusive lock on the data file, so lines
// of submissions at the same moment never mix. A write that fails part-way (a full disk) is cut
// back off the file before the lock goes.
bool AppendLine(const std::string& dataFile, const std::string& line) {
  cgi::FileLock lock;
  if (!lock.Acquire(dataFile)) return false;  // creates the file when missing
  struct stat st;
  if (::fstat(lock.Fd(), &st) != 0) return false;
  auto file = WinFile::Open(dataFile, "a");
  if (!file) return false;
  bool ok = file->Write(line) && file->Flush();
  ok = file->Close() && ok;
  if (!ok && ::ftruncate(lock.Fd(), st.st_size) != 0) {
    // Nothing more can be done about it; the failure is reported all the same.
  }
  return ok;
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
    Answer(request, kMisconfigurationPage);
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
