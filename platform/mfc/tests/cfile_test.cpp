#include "platform/mfc/cfile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/cmemoryexception.h"
#include "platform/mfc/cstdiofile.h"

namespace {

// Runs fn and returns the cause of the CFileException it throws (-1 when it throws none).
template <typename Fn>
int FileCause(Fn fn, LONG* osError = nullptr) {
  try {
    fn();
  } catch (CFileException* e) {
    int cause = e->m_cause;
    if (osError) *osError = e->m_lOsError;
    e->Delete();
    return cause;
  }
  return -1;
}

template <typename Fn>
bool ThrowsMemory(Fn fn) {
  try {
    fn();
  } catch (CMemoryException* e) {
    e->Delete();
    return true;
  }
  return false;
}

TEST(CMemFileTest, GrowsInStepsAndReadsBackWhatWasWritten) {
  CMemFile f(16);
  f.Write("hello", 5);
  f.Write(" world, more than sixteen", 25);
  EXPECT_EQ(f.GetLength(), 30u);
  EXPECT_EQ(f.Seek(0, CFile::begin), 0);
  char buf[64] = {};
  EXPECT_EQ(f.Read(buf, sizeof(buf)), 30u);
  EXPECT_STREQ(buf, "hello world, more than sixteen");
  EXPECT_EQ(f.Read(buf, 4), 0u);
  EXPECT_EQ(f.Seek(-5, CFile::end), 25);
  EXPECT_EQ(f.Read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "xte");
  EXPECT_EQ(FileCause([&] { f.Seek(-100, CFile::current); }), CFileException::badSeek);
  // A write past the end fills the gap with zeros.
  f.Seek(40, CFile::begin);
  f.Write("!", 1);
  EXPECT_EQ(f.GetLength(), 41u);
  f.Seek(30, CFile::begin);
  EXPECT_EQ(f.Read(buf, 11), 11u);
  EXPECT_EQ(std::string(buf, 11), std::string(10, '\0') + "!");
  f.SetLength(3);
  EXPECT_EQ(f.GetPosition(), 3u);
  EXPECT_EQ(f.GetLength(), 3u);
}

TEST(CMemFileTest, AttachedMemoryWithoutGrowthIsTheFileAndCannotGrow) {
  BYTE mem[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  CMemFile f;
  f.Attach(mem, sizeof(mem));
  EXPECT_EQ(f.GetLength(), 8u);
  char buf[4];
  EXPECT_EQ(f.Read(buf, 3), 3u);
  f.Write("XY", 2);  // overwrites the caller's bytes in place
  EXPECT_EQ(mem[3], 'X');
  EXPECT_EQ(mem[4], 'Y');
  f.Seek(7, CFile::begin);
  EXPECT_TRUE(ThrowsMemory([&] { f.Write("12", 2); }));
  EXPECT_EQ(mem[7], 'h');
  EXPECT_EQ(f.Detach(), mem);
  EXPECT_EQ(f.GetLength(), 0u);
}  // the file never frees mem (a stack array: freeing it would crash here)

TEST(CMemFileTest, AttachedMemoryWithGrowthMovesToItsOwnBlockAndLeavesTheCallersAlone) {
  BYTE mem[4] = {1, 2, 3, 4};
  CMemFile f(mem, sizeof(mem), 16);
  EXPECT_EQ(f.GetLength(), 0u);  // with a growth step the file starts empty
  f.Write("abcdefgh", 8);
  EXPECT_EQ(mem[0], 1);
  EXPECT_EQ(f.GetLength(), 8u);
  BYTE* own = f.Detach();
  ASSERT_NE(own, mem);
  EXPECT_EQ(std::memcmp(own, "abcdefgh", 8), 0);
  std::free(own);  // detached blocks are the caller's, released with free
}

TEST(CMemFileTest, DetachHandsOverTheOwnBlock) {
  CMemFile f(64);
  f.Write("data", 4);
  DWORD len = f.GetLength();
  BYTE* p = f.Detach();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p), len), "data");
  f.Write("z", 1);  // the file starts a fresh block
  EXPECT_EQ(f.GetLength(), 1u);
  std::free(p);
}

class DiskFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("HALYARD_DRIVE_C", dir_.c_str(), 1);
  }
  void TearDown() override { unsetenv("HALYARD_DRIVE_C"); }
  halyard::testing::ScratchDir scratch_{"mfc-file"};
  std::string Raw(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void PutRaw(const std::string& name, const std::string& s) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << s;
  }
  std::string dir_;
};

TEST_F(DiskFileTest, BinaryFileReadWriteSeekLength) {
  CFile f;
  ASSERT_TRUE(f.Open("C:\\data.bin", CFile::modeCreate | CFile::modeReadWrite));
  f.Write("a\nb\r\n", 5);
  EXPECT_EQ(f.GetLength(), 5u);
  EXPECT_EQ(f.GetPosition(), 5u);
  f.SeekToBegin();
  char buf[8];
  EXPECT_EQ(f.Read(buf, 8), 5u);
  f.SetLength(2);
  EXPECT_EQ(f.GetLength(), 2u);
  EXPECT_EQ(f.GetFileName(), "data.bin");
  EXPECT_EQ(f.GetFileTitle(), "data");
  EXPECT_EQ(FileCause([&] { f.Seek(-1, CFile::begin); }), CFileException::badSeek);
  f.Close();
  EXPECT_EQ(Raw("data.bin"), "a\n");
}

TEST_F(DiskFileTest, OpenFailuresReportCauseAndOsError) {
  CFile f;
  CFileException e;
  EXPECT_FALSE(f.Open("C:\\missing.txt", CFile::modeRead, &e));
  EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(e.m_lOsError, 2);
  EXPECT_EQ(e.m_strFileName, "C:\\missing.txt");
  EXPECT_FALSE(f.Open("C:\\no\\such\\dir\\x", CFile::modeCreate | CFile::modeWrite, &e));
  EXPECT_EQ(e.m_cause, CFileException::fileNotFound);  // ENOENT for a missing folder too
  EXPECT_EQ(FileCause([] { CFile g("C:\\missing.txt", CFile::modeRead); }),
            CFileException::fileNotFound);
  PutRaw("keep.txt", "kept");
  ASSERT_TRUE(f.Open("C:\\keep.txt", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
  f.Close();
  EXPECT_EQ(Raw("keep.txt"), "kept");
}

TEST_F(DiskFileTest, RenameRefusesAnExistingTargetAndRemoveReportsMissingFiles) {
  PutRaw("a.txt", "A");
  PutRaw("b.txt", "B");
  LONG os = 0;
  EXPECT_EQ(FileCause([] { CFile::Rename("C:\\a.txt", "C:\\b.txt"); }, &os),
            CFileException::accessDenied);
  EXPECT_EQ(os, 183);
  EXPECT_EQ(Raw("b.txt"), "B");
  EXPECT_EQ(FileCause([] { CFile::Rename("C:\\a.txt", "C:\\c.txt"); }), -1);
  EXPECT_EQ(Raw("c.txt"), "A");
  EXPECT_EQ(FileCause([] { CFile::Remove("C:\\c.txt"); }), -1);
  EXPECT_EQ(FileCause([] { CFile::Remove("C:\\c.txt"); }), CFileException::fileNotFound);
}

TEST(CFileExceptionTest, ThrowOsErrorMapsWin32Codes) {
  struct {
    LONG os;
    int cause;
  } cases[] = {{2, CFileException::fileNotFound},   {3, CFileException::badPath},
               {5, CFileException::accessDenied},   {32, CFileException::sharingViolation},
               {33, CFileException::lockViolation}, {112, CFileException::diskFull},
               {38, CFileException::endOfFile},     {131, CFileException::badSeek},
               {12345, CFileException::generic}};
  for (auto& c : cases) {
    LONG os = 0;
    EXPECT_EQ(FileCause([&] { CFileException::ThrowOsError(c.os, "f"); }, &os), c.cause) << c.os;
    EXPECT_EQ(os, c.os);
  }
  CFileException e(CFileException::diskFull, 112, "C:\\x");
  char msg[256];
  EXPECT_TRUE(e.GetErrorMessage(msg, sizeof(msg)));
  EXPECT_NE(std::strstr(msg, "C:\\x"), nullptr);
  char tiny[4];
  EXPECT_TRUE(e.GetErrorMessage(tiny, sizeof(tiny)));
  EXPECT_EQ(std::strlen(tiny), 3u);
}

TEST_F(DiskFileTest, StdioFileWritesCrLfAndReadsLinesWithoutThem) {
  {
    CStdioFile f("C:\\t.txt", CFile::modeCreate | CFile::modeWrite | CFile::typeText);
    f.WriteString("one\ntwo\n");
    f.WriteString("three");
    f.Close();
  }
  EXPECT_EQ(Raw("t.txt"), "one\r\ntwo\r\nthree");
  CStdioFile f;
  ASSERT_TRUE(f.Open("C:\\t.txt", CFile::modeRead));
  CString line;
  EXPECT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "one");
  DWORD at = f.GetPosition();
  EXPECT_EQ(at, 5u);  // a byte position in the file, CR LF counted as two
  EXPECT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "two");
  EXPECT_TRUE(f.ReadString(line));  // the last line has no line feed but is still a line
  EXPECT_EQ(line, "three");
  EXPECT_FALSE(f.ReadString(line));
  EXPECT_TRUE(line.IsEmpty());
  f.Seek((LONG)at, CFile::begin);
  char buf[5];
  EXPECT_STREQ(f.ReadString(buf, sizeof(buf)), "two\n");
  EXPECT_STREQ(f.ReadString(buf, 3), "th");
  f.Seek(0, CFile::end);
  EXPECT_EQ(f.ReadString(buf, sizeof(buf)), nullptr);
}

TEST_F(DiskFileTest, StdioFileKeepsLoneCrAndLongLines) {
  std::string longLine(1000, 'x');
  PutRaw("l.txt", "a\rb\r\n" + longLine + "\r\n\r\n");
  CStdioFile f("C:\\l.txt", CFile::modeRead | CFile::typeText);
  CString line;
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "a\rb");
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line.GetLength(), 1000);
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_TRUE(line.IsEmpty());
  EXPECT_FALSE(f.ReadString(line));
}

TEST_F(DiskFileTest, StdioFileBinaryModeAndNoTruncateKeepsContents) {
  PutRaw("b.txt", "x\r\ny");
  CStdioFile f("C:\\b.txt", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite |
                                CFile::typeBinary);
  EXPECT_EQ(f.GetLength(), 4u);
  char buf[8];
  EXPECT_EQ(f.Read(buf, 8), 4u);
  EXPECT_EQ(std::string(buf, 4), "x\r\ny");
  f.Write("\n", 1);
  EXPECT_EQ(f.GetLength(), 5u);
  f.Close();
  EXPECT_EQ(Raw("b.txt"), "x\r\ny\n");
  EXPECT_EQ(FileCause([] { CStdioFile g("C:\\none.txt", CFile::modeRead); }),
            CFileException::fileNotFound);
}

}  // namespace
