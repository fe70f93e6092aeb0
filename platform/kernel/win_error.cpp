#include "win_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

thread_local DWORD tLastError = 0;

struct MessageEntry {
  DWORD code;
  const char* text;
};

constexpr MessageEntry kMessages[] = {
#include "win_error_messages.inc"
};

// Formats one insert. fmt is the printf conversion between the exclamation marks (default
// "s"); arg carries the insert as the caller's pointer-sized value.
void AppendInsert(std::string& out, const std::string& fmt, DWORD_PTR arg) {
  char conv = fmt.empty() ? 's' : fmt.back();
  char buf[128];
  if (conv == 's') {
    const char* s = reinterpret_cast<const char*>(arg);
    out += s != nullptr ? s : "(null)";
    return;
  }
  if (conv == 'c') {
    out += static_cast<char>(arg);
    return;
  }
  // Numbers: drop any size modifiers and format the pointer-sized value as a long long.
  std::string flags;
  for (char c : fmt.substr(0, fmt.size() - 1))
    if (std::strchr("-+ #0123456789.", c) != nullptr) flags += c;
  std::string format = "%" + flags + "ll" + conv;
  if (std::strchr("dixXuo", conv) == nullptr) {
    out += "%" + fmt;
    return;
  }
  long long v = (conv == 'd' || conv == 'i') ? static_cast<long long>(static_cast<INT>(arg))
                                             : static_cast<long long>(static_cast<DWORD>(arg));
  std::snprintf(buf, sizeof buf, format.c_str(), v);
  out += buf;
}

// Expands the escapes and inserts of a message text. args[k-1] is insert k.
bool ExpandMessage(const char* text, bool ignoreInserts, const DWORD_PTR* args, std::size_t nargs,
                   std::string& out) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    char c = p[1];
    if (c == '\0') {
      out += '%';
      break;
    }
    if (ignoreInserts && c >= '1' && c <= '9') {
      out += '%';
      continue;
    }
    ++p;
    if (c == '0') return true;  // Ends the message without a line break.
    if (c == 'n') {
      out += "\r\n";
    } else if (c == 'r') {
      out += '\r';
    } else if (c == 't') {
      out += '\t';
    } else if (c >= '1' && c <= '9') {
      unsigned idx = static_cast<unsigned>(c - '0');
      if (p[1] >= '0' && p[1] <= '9') idx = idx * 10 + static_cast<unsigned>(*++p - '0');
      std::string fmt = "s";
      if (p[1] == '!') {
        const char* end = std::strchr(p + 2, '!');
        if (end == nullptr) return false;
        fmt.assign(p + 2, end);
        p = end;
      }
      if (idx > nargs) return false;
      AppendInsert(out, fmt, args[idx - 1]);
    } else {
      out += c;  // %% %. %! and a space stand for themselves.
    }
  }
  return true;
}

// Collects the inserts from a va_list: in the order of their numbers, each with the type of
// its first use in the text (a string unless !fmt! says otherwise).
std::size_t CollectVaInserts(const char* text, va_list* ap, DWORD_PTR* args) {
  char kinds[100] = {};  // 's' pointer, 'i' int
  unsigned highest = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%' || p[1] < '1' || p[1] > '9') {
      if (*p == '%' && p[1] != '\0') ++p;
      continue;
    }
    ++p;
    unsigned idx = static_cast<unsigned>(*p - '0');
    if (p[1] >= '0' && p[1] <= '9') idx = idx * 10 + static_cast<unsigned>(*++p - '0');
    char kind = 's';
    if (p[1] == '!') {
      const char* end = std::strchr(p + 2, '!');
      if (end != nullptr && end > p + 2) {
        char conv = end[-1];
        kind = (conv == 's') ? 's' : 'i';
        if (std::strstr(std::string(p + 2, end).c_str(), "I64") != nullptr) kind = 'l';
      }
    }
    if (kinds[idx] == 0) kinds[idx] = kind;
    if (idx > highest) highest = idx;
  }
  if (ap == nullptr) return 0;
  for (unsigned i = 1; i <= highest; ++i) {
    switch (kinds[i]) {
      case 'i':
        args[i - 1] = static_cast<DWORD_PTR>(static_cast<DWORD>(va_arg(*ap, int)));
        break;
      case 'l':
        args[i - 1] = static_cast<DWORD_PTR>(va_arg(*ap, long long));
        break;
      default:
        args[i - 1] = reinterpret_cast<DWORD_PTR>(va_arg(*ap, void*));
        break;
    }
  }
  return highest;
}

}  // namespace

DWORD GetLastError() { return tLastError; }

void SetLastError(DWORD code) { tLastError = code; }

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD /*dwLanguageId*/,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
  std::string source;
  if ((dwFlags & FORMAT_MESSAGE_FROM_STRING) != 0) {
    if (lpSource == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    source = static_cast<const char*>(lpSource);
  } else if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) {
    const char* text = halyard::SystemMessageText(dwMessageId);
    if (text == nullptr) {
      SetLastError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
    source = std::string(text) + "\r\n";
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (lpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  bool ignore = (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  DWORD_PTR vaArgs[99] = {};
  const DWORD_PTR* args = nullptr;
  std::size_t nargs = 0;
  if (!ignore) {
    if ((dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0) {
      args = reinterpret_cast<const DWORD_PTR*>(Arguments);
      nargs = args != nullptr ? 99 : 0;
    } else {
      nargs = CollectVaInserts(source.c_str(), Arguments, vaArgs);
      args = vaArgs;
    }
  }
  if ((dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
    // The text's own line breaks are dropped (a break between words becomes a blank); only
    // %n breaks the output.
    std::string flat;
    for (std::size_t i = 0; i < source.size(); ++i) {
      char c = source[i];
      if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 < source.size() && source[i + 1] == '\n') ++i;
        if (i + 1 < source.size()) flat += ' ';
        continue;
      }
      flat += c;
    }
    source = flat;
  }
  std::string out;
  if (!ExpandMessage(source.c_str(), ignore, args, nargs, out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    std::size_t size = out.size() + 1 > nSize ? out.size() + 1 : nSize;
    char* block = static_cast<char*>(std::malloc(size));
    if (block == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(block, out.c_str(), out.size() + 1);
    *reinterpret_cast<char**>(lpBuffer) = block;
    return static_cast<DWORD>(out.size());
  }
  if (out.size() + 1 > nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, out.c_str(), out.size() + 1);
  return static_cast<DWORD>(out.size());
}

HLOCAL LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

namespace halyard {

const char* SystemMessageText(DWORD code) {
  for (const auto& m : kMessages)
    if (m.code == code) return m.text;
  return nullptr;
}

DWORD WinErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EWOULDBLOCK:
      return ERROR_LOCK_VIOLATION;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
      return ERROR_WRITE_FAULT;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

DWORD SetLastErrorForPath(const char* hostPath) {
  int err = errno;
  DWORD code = WinErrorFromErrno(err);
  if (err == ENOENT && hostPath != nullptr) {
    std::string parent = hostPath;
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    std::size_t cut = parent.find_last_of('/');
    if (cut != std::string::npos) {
      parent.resize(cut == 0 ? 1 : cut);
      struct stat st;
      if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) code = ERROR_PATH_NOT_FOUND;
    }
  }
  SetLastError(code);
  errno = err;
  return code;
}

DWORD SetLastErrorFromErrno() {
  DWORD code = WinErrorFromErrno(errno);
  SetLastError(code);
  return code;
}

}  // namespace halyard
