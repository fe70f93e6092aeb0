#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/mfc/carchive.h"
#include "platform/registry/win_reg.h"
#include "datalib/support/cr_error.h"
#include "datalib/support/cr_registry.h"
#include "datalib/support/csf_mem_file.h"
#include "datalib/support/ncr_string_stream.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"

TEST(CRError, TableMessagesAndFormatting) {
  EXPECT_STREQ(CRError::mGetMessage(10002), "Undefined error");
  EXPECT_STREQ(CRError::mGetMessage(10018), "Incorrect connect string");
  char a[] = "C:\\a.txt", b[] = "D:\\b.txt";
  EXPECT_STREQ(CRError::mFormatString(10012, a, b),
               "Error copying file from C:\\a.txt to D:\\b.txt");
  char name[] = "Smith";
  EXPECT_STREQ(CRError::mFormatString(10013, name),
               "The name \"Smith\" cannot be used as a site name");
  // Fewer arguments than conversions, or a number where a text belongs: never a crash.
  EXPECT_STREQ(CRError::mFormatString(10012, a), "Error copying file from C:\\a.txt to ");
  EXPECT_STREQ(CRError::mFormatString(10010, 42, name), "Error reading registry key 42/Smith");
  EXPECT_STREQ(CRError::mFormatString(10010, name, 7), "Error reading registry key Smith/7");
  EXPECT_STREQ(CRError::mFormatString(10011, nullptr), "Error creating directory (null)");
}

TEST(CRError, MessagesAreCutAt255AndTheFormattingBufferIsBounded) {
  std::string longText(5000, 'p');
  CRError e(CRError::eError, 10011, longText.data());
  EXPECT_EQ(std::strlen(e.mGetMessage()), 255u);
  EXPECT_EQ(std::string(e.mGetMessage()).substr(0, 25), "Error creating directory ");
  char* formatted = CRError::mFormatString(10012, longText.data(), longText.data());
  EXPECT_LT(std::strlen(formatted), 1024u);
  CRError plain(CRError::eWarning, 0, longText.data());  // number 0: the text itself
  EXPECT_EQ(std::string(plain.mGetMessage()), longText.substr(0, 255));
  CRError n(CRError::eError, 10016);
  EXPECT_STREQ(n.mGetMessage(), CRError::mGetMessage(10016));
  char t[] = "x";
  CRError copy(CRError::eFatal, t);
  CRError other;
  other = copy;
  EXPECT_STREQ(other.mGetMessage(), "x");
  EXPECT_EQ(other.mGetSeverity(), CRError::eFatal);
}

TEST(CRErrorHandler, LastErrorIsReplacedByEachReport) {
  CRErrorHandler::mFatalError(10021);
  CRError* last = CRErrorHandler::mGetLastError();
  EXPECT_EQ(last->mGetSeverity(), 30);
  EXPECT_STREQ(last->mGetMessage(), "Failed to copy template file");
  char t[] = "warned";
  CRError w(CRError::eWarning, t);
  CRErrorHandler::mReportError(w);
  EXPECT_STREQ(CRErrorHandler::mGetLastError()->mGetMessage(), "warned");
  CRErrorHandler::mClearError();
  EXPECT_EQ(last->mGetSeverity(), 0);
  EXPECT_STREQ(last->mGetMessage(), "");
}

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vaultkit-reg-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    setenv("HALYARD_REGISTRY", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

}  // namespace

TEST_F(Registry, ReadsFallBackToAWrittenDefault) {
  CRRegistry reg(CRRegistry::eCurrentUser, "Software\\Vaultkit\\Test");
  ASSERT_NE(reg.mGetKey(), nullptr);
  CPDLong out(1);
  EXPECT_EQ(reg.mReadLong("Missing", out, nullptr), 0);
  CPDLong fallback(77);
  EXPECT_EQ(reg.mReadLong("Count", out, &fallback), 1);
  EXPECT_EQ(out.mGetValue(), 77);
  CPDLong other(5);
  EXPECT_EQ(reg.mReadLong("Count", out, &other), 1);  // the stored value wins now
  EXPECT_EQ(out.mGetValue(), 77);
  CPDString s;
  CPDString def("default text");
  EXPECT_EQ(reg.mReadString("Name", s, nullptr), 0);
  EXPECT_EQ(reg.mReadString("Name", s, &def), 1);
  EXPECT_STREQ(static_cast<char*>(s), "default text");
  EXPECT_EQ(reg.mWriteString("Name", CPDString("new")), 1);
  EXPECT_EQ(reg.mReadString("Name", s, &def), 1);
  EXPECT_STREQ(static_cast<char*>(s), "new");
  // A value of the wrong type reads as failure and is not overwritten by the fallback.
  EXPECT_EQ(reg.mReadLong("Name", out, &fallback), 0);
  EXPECT_EQ(reg.mReadString("Name", s, nullptr), 1);
  EXPECT_EQ(reg.mReadString("Count", s, &def), 0);
  EXPECT_EQ(reg.mDelete("Name"), 1);
  EXPECT_EQ(reg.mDelete("Name"), 0);
}

TEST_F(Registry, LongStringsAreCutNotReplaced) {
  CRRegistry reg(CRRegistry::eLocalMachine, "SOFTWARE\\Vaultkit");
  std::string big(400, 'L');
  HKEY key = reg.mGetKey();
  ASSERT_EQ(RegSetValueExA(key, "Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                           static_cast<DWORD>(big.size() + 1)),
            ERROR_SUCCESS);
  CPDString s;
  CPDString def("d");
  EXPECT_EQ(reg.mReadString("Big", s, &def), 1);
  EXPECT_EQ(s.getLength(), 254);  // 255 bytes with the terminator
  char small[10];
  CRSimpleRegistry simple(CRSimpleRegistry::eLocalMachine, "SOFTWARE\\Vaultkit");
  EXPECT_EQ(simple.mReadString(const_cast<char*>("Big"), small, sizeof small, nullptr), 1);
  EXPECT_EQ(std::strlen(small), 9u);
}

TEST_F(Registry, KeysSubKeysAndSettingsWithoutAHive) {
  CRRegistry none(static_cast<CRRegistry::CRRegistrySetting>(2), "Software\\X");
  EXPECT_EQ(none.mGetKey(), nullptr);
  CPDLong out;
  CPDLong fb(1);
  EXPECT_EQ(none.mReadLong("a", out, &fb), 0);
  EXPECT_EQ(none.mWriteLong("a", fb), 0);
  EXPECT_EQ(none.mWriteString("a", CPDString("x")), 0);
  EXPECT_EQ(none.mDeleteKey("b"), 0);
  {
    CRRegistry child(CRRegistry::eCurrentUser, "Software\\Parent\\Child");
    EXPECT_EQ(child.mWriteLong("v", CPDLong(3)), 1);
  }
  CRRegistry parent(CRRegistry::eCurrentUser, "Software\\Parent");
  EXPECT_EQ(parent.mDeleteKey("Child"), 1);
  EXPECT_EQ(parent.mDeleteKey("Child"), 0);
}

TEST_F(Registry, SimpleRegistryAlwaysWritesTheLongFallback) {
  CRSimpleRegistry reg(CRSimpleRegistry::eCurrentUser, "Software\\Simple");
  LONG v = 0;
  EXPECT_EQ(reg.mReadLong(const_cast<char*>("n"), &v, 0), 1);  // 0 is written as well
  EXPECT_EQ(v, 0);
  EXPECT_EQ(reg.mWriteLong(const_cast<char*>("n"), -4), 1);
  EXPECT_EQ(reg.mReadLong(const_cast<char*>("n"), &v, 9), 1);
  EXPECT_EQ(v, -4);
  char text[64];
  EXPECT_EQ(reg.mReadString(const_cast<char*>("s"), text, sizeof text, nullptr), 0);
  EXPECT_EQ(reg.mReadString(const_cast<char*>("s"), text, sizeof text, const_cast<char*>("fb")), 1);
  EXPECT_STREQ(text, "fb");
  CRSimpleRegistry none(static_cast<CRSimpleRegistry::CRRegistrySetting>(5), "Software\\Simple");
  EXPECT_EQ(none.mReadLong(const_cast<char*>("n"), &v, 1), 0);
}

TEST(NCRStringStream, OutputGrowsInStepsOfOneHundredThousand) {
  NCRStringStream s;
  EXPECT_EQ(s.mGetOutputData(), nullptr);
  EXPECT_EQ(s.mGetOutputDataLength(), 0);
  std::string chunk(1000, 'a');
  for (int i = 0; i < 250; ++i) {
    chunk[0] = static_cast<char>('A' + i % 26);
    s << chunk;
  }
  s.put('!');
  s.flush();
  ASSERT_EQ(s.mGetOutputDataLength(), 250001);
  const char* data = s.mGetOutputData();
  EXPECT_EQ(data[0], 'A');
  EXPECT_EQ(data[1000 * 199], static_cast<char>('A' + 199 % 26));
  EXPECT_EQ(data[250000], '!');
}

TEST(NCRStringStream, InputIsACopyAndEndsInEndOfFile) {
  NCRStringStream s;
  char text[] = "U12 rest";
  s.mSetInputData(text, 3);
  text[0] = 'X';  // the stream holds its own copy
  std::string word;
  s >> word;
  EXPECT_EQ(word, "U12");
  EXPECT_EQ(s.get(), EOF);
  s.mSetInputData(text, 0);
  EXPECT_EQ(s.get(), EOF);
  EXPECT_TRUE(s.eof());
}

TEST(CSFMemFile, WorksOnTheBuffersOwnBytes) {
  CPDBuffer buf;
  buf.mInit("abcdef", 6);
  {
    CSFMemFile f;
    f.mAttachBuffer(&buf);
    char two[2];
    EXPECT_EQ(f.Read(two, 2), 2u);
    EXPECT_EQ(two[1], 'b');
    f.Write("XY", 2);  // overwrites the buffer's own bytes
    EXPECT_EQ(f.mGetBuffer(), reinterpret_cast<BYTE*>(buf.mGetBuffer()));
    CPDBuffer copy;
    f.mGetBufferCopy(&copy);
    EXPECT_EQ(std::string(copy.mGetBuffer(), copy.mGetLength()), "abXYef");
  }
  // The file is gone and the buffer's block is still the buffer's.
  EXPECT_EQ(std::string(buf.mGetBuffer(), 6), "abXYef");
  CSFMemFile grow;
  CArchive ar(&grow, CArchive::store);
  ar << static_cast<LONG>(0x11223344);
  ar.Close();
  CPDBuffer out;
  grow.mGetBufferCopy(&out);
  EXPECT_EQ(out.mGetLength(), 4);
  CSFMemFile empty;
  empty.mGetBufferCopy(&out);
  EXPECT_EQ(out.mGetLength(), 0);
}
