#include "platform/kernel/win_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

namespace {

TEST(WinError, LastErrorIsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen = 1;
  std::thread([&] {
    seen = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
  }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(WinError, SystemMessagesEndInCrLfAndCanBeAllocated) {
  char* text = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&text), 0, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "The system cannot find the file specified.\r\n");
  EXPECT_EQ(n, std::strlen(text));
  EXPECT_EQ(LocalFree(text), nullptr);

  char buf[64];
  n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, sizeof buf,
                     nullptr);
  EXPECT_STREQ(buf, "Access is denied.\r\n");
  EXPECT_EQ(n, 19u);
  n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
                     ERROR_ACCESS_DENIED, 0, buf, sizeof buf, nullptr);
  EXPECT_STREQ(buf, "Access is denied.");
  FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_MAX_WIDTH_MASK, "one\r\ntwo%nthree", 0,
                 0, buf, sizeof buf, nullptr);
  EXPECT_STREQ(buf, "one two\r\nthree");
}

TEST(WinError, UnknownCodesAndShortBuffersFail) {
  char buf[8] = "keep";
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 4242, 0, buf, sizeof buf, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf,
                           sizeof buf, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_STREQ(buf, "keep");
}

DWORD Format(char* out, DWORD size, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, fmt, 0, 0, out, size, &ap);
  va_end(ap);
  return n;
}

TEST(WinError, StringMessagesTakeInsertsByNumber) {
  char buf[128];
  EXPECT_GT(Format(buf, sizeof buf, "%2 then %1!d! (%1!04x!)%n100%% done%0 cut", 42, "second"), 0u);
  EXPECT_STREQ(buf, "second then 42 (002a)\r\n100% done");

  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>("a"), reinterpret_cast<DWORD_PTR>("b")};
  FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "[%2%1]", 0, 0, buf,
                 sizeof buf, reinterpret_cast<va_list*>(args));
  EXPECT_STREQ(buf, "[ba]");

  FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, "keep %1 as is", 0, 0,
                 buf, sizeof buf, nullptr);
  EXPECT_STREQ(buf, "keep %1 as is");
}

TEST(WinError, ErrnoValuesMapToTheSystemCodes) {
  EXPECT_EQ(halyard::WinErrorFromErrno(ENOENT), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(halyard::WinErrorFromErrno(ENOTDIR), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(halyard::WinErrorFromErrno(EACCES), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(halyard::WinErrorFromErrno(EEXIST), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(halyard::WinErrorFromErrno(ENOSPC), static_cast<DWORD>(ERROR_DISK_FULL));
  errno = EROFS;
  EXPECT_EQ(halyard::SetLastErrorFromErrno(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
