// The per-thread last-error code of the Windows kernel, the system error codes the components
// meet, and FormatMessageA for the system's own message texts. Every thread has its own last
// error; the message table is constant and may be read from any thread.
#pragma once

#include <cstdarg>

#include "win_types.h"

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_FORMAT 11L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_HANDLE_EOF 38L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BROKEN_PIPE 109L
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_DISK_FULL 112L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_DIRECTORY 267L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_NOACCESS 998L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_BADDB 1009L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_REGISTRY_CORRUPT 1015L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L
#define ERROR_TIMEOUT 1460L

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((static_cast<WORD>(s) << 10) | static_cast<WORD>(p))

DWORD GetLastError();
void SetLastError(DWORD code);

// Writes the text of a system message. Supported: FORMAT_MESSAGE_FROM_SYSTEM (the English
// texts of the codes above, each ending in CR LF as the system's do) and
// FORMAT_MESSAGE_FROM_STRING, with FORMAT_MESSAGE_IGNORE_INSERTS or with inserts %1..%99 taken
// as strings from Arguments (an array of const char* with FORMAT_MESSAGE_ARGUMENT_ARRAY, else a
// va_list*). With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is a char** that receives a block
// to be freed with LocalFree, and nSize is the least size to allocate. With the width mask
// FORMAT_MESSAGE_MAX_WIDTH_MASK the text's own line breaks (and a system message's final
// CR LF) are dropped; other widths are not applied. Returns the number of
// characters stored without the NUL, or 0 with the last error set (ERROR_MR_MID_NOT_FOUND for an
// unknown code, ERROR_INSUFFICIENT_BUFFER when the text does not fit).
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments);

// Frees a block handed out by FormatMessageA; returns null on success.
HLOCAL LocalFree(HLOCAL hMem);

namespace halyard {

// The Windows error code for a C library errno value, as the kernel would report the same
// failure (ENOENT is ERROR_FILE_NOT_FOUND, ENOTDIR ERROR_PATH_NOT_FOUND, ENOSPC
// ERROR_DISK_FULL...).
DWORD WinErrorFromErrno(int err);

// Sets the thread's last error from errno and returns the code.
DWORD SetLastErrorFromErrno();

// The same for a failed call on a host path: a missing file whose folder is missing too is
// ERROR_PATH_NOT_FOUND, as the system reports it.
DWORD SetLastErrorForPath(const char* hostPath);

// The system text of a code without its CR LF, or null when the code has none.
const char* SystemMessageText(DWORD code);

}  // namespace halyard
