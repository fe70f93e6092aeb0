#include "platform/kernel/win_file.h"
#include "platform/kernel/testing/scratch_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class WinFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    path_ = dir_ + "/f.txt";
  }
  halyard::testing::ScratchDir scratch_{"winfile"};
  std::string Raw() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void PutRaw(const std::string& s) { std::ofstream(path_, std::ios::binary) << s; }
  std::string dir_, path_;
};

TEST_F(WinFileTest, TextModeWritesLineFeedsAsCrLf) {
  auto f = halyard::WinFile::Open(path_, "w");
  ASSERT_TRUE(f);
  f->Write("a\nb\r\n");
  ASSERT_TRUE(f->Close());
  EXPECT_EQ(Raw(), "a\r\nb\r\r\n");
}

TEST_F(WinFileTest, BinaryModeIsByteForByte) {
  auto f = halyard::WinFile::Open(path_, "wb");
  ASSERT_TRUE(f);
  f->Write("a\nb\r\n");
  f->Close();
  EXPECT_EQ(Raw(), "a\nb\r\n");
}

TEST_F(WinFileTest, TextModeReadsCrLfAsLineFeedAndKeepsLoneCr) {
  PutRaw("x\r\r\ny\rz\r\n\r");
  auto f = halyard::WinFile::Open(path_, "r");
  ASSERT_TRUE(f);
  std::string got;
  for (int c; (c = f->GetC()) >= 0;) got.push_back(static_cast<char>(c));
  EXPECT_EQ(got, "x\r\ny\rz\n\r");
}

TEST_F(WinFileTest, CrLfSplitAcrossTheReadBufferStillReadsAsOneLineFeed) {
  std::string big(64 * 1024 - 1, 'a');
  PutRaw(big + "\r\nb");
  auto f = halyard::WinFile::Open(path_, "rb+");
  ASSERT_TRUE(f);
  f.reset();
  f = halyard::WinFile::Open(path_, "r");
  std::string line;
  ASSERT_TRUE(f->GetLine(line, 1 << 20));
  EXPECT_EQ(line.size(), big.size());
  EXPECT_EQ(f->GetC(), 'b');
  EXPECT_EQ(f->GetC(), -1);
}

TEST_F(WinFileTest, PositionNotedBeforeALineCanBeWrittenAt) {
  PutRaw("one\r\n<!--m-->\r\r\ntail\r\n");
  auto f = halyard::WinFile::Open(path_, "r+");
  ASSERT_TRUE(f);
  std::string line;
  std::int64_t at = -1;
  for (;;) {
    std::int64_t here = f->Tell();
    if (!f->GetLine(line, 99)) break;
    if (line == "<!--m-->\r") {
      at = here;
      break;
    }
  }
  ASSERT_EQ(at, 5);
  ASSERT_TRUE(f->Seek(at));
  f->Write("new\n<!--m-->\r\ntail\n");
  ASSERT_TRUE(f->Close());
  EXPECT_EQ(Raw(), "one\r\nnew\r\n<!--m-->\r\r\ntail\r\n");
}

TEST_F(WinFileTest, GetLineCutsLongLinesIntoPieces) {
  PutRaw("abcdefg\r\n");
  auto f = halyard::WinFile::Open(path_, "r");
  std::string line;
  bool nl = true;
  ASSERT_TRUE(f->GetLine(line, 3, &nl));
  EXPECT_EQ(line, "abc");
  EXPECT_FALSE(nl);
  f->GetLine(line, 3, &nl);
  f->GetLine(line, 3, &nl);
  EXPECT_EQ(line, "g");
  EXPECT_TRUE(nl);
  EXPECT_FALSE(f->GetLine(line, 3, &nl));
}

TEST_F(WinFileTest, ReadLongSkipsBlanksAndStopsAtTheFirstNonDigit) {
  PutRaw("  \r\n 42\r\nrest");
  auto f = halyard::WinFile::Open(path_, "r");
  long long v = 0;
  ASSERT_TRUE(f->ReadLong(&v));
  EXPECT_EQ(v, 42);
  EXPECT_EQ(f->GetC(), '\n');
  EXPECT_FALSE(f->ReadLong(&v));
  EXPECT_EQ(f->GetC(), 'r');
}

TEST_F(WinFileTest, ExclusiveCreateRefusesAnExistingFile) {
  auto f = halyard::WinFile::Open(path_, "wx");
  ASSERT_TRUE(f);
  f->Close();
  EXPECT_FALSE(halyard::WinFile::Open(path_, "wx"));
  EXPECT_FALSE(halyard::WinFile::Open(dir_ + "/missing/x", "r"));
  EXPECT_FALSE(halyard::WinFile::Open(dir_, "r"));
}

TEST_F(WinFileTest, AppendAddsAtTheEnd) {
  PutRaw("a\r\n");
  auto f = halyard::WinFile::Open(path_, "a");
  f->Write("b\n");
  f->Close();
  EXPECT_EQ(Raw(), "a\r\nb\r\n");
}

}  // namespace
