#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/kernel/win_error.h"
#include "platform/ole/com_memory.h"
#include "platform/ole/file_stream.h"
#include "platform/ole/memory_stream.h"

namespace {

using halyard::ole::ComPtr;

LARGE_INTEGER Move(LONGLONG n) {
  LARGE_INTEGER li;
  li.QuadPart = n;
  return li;
}

ULARGE_INTEGER Size(ULONGLONG n) {
  ULARGE_INTEGER li;
  li.QuadPart = n;
  return li;
}

std::string ReadAll(IStream* s) {
  EXPECT_EQ(s->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
  std::string out;
  char buf[7];
  ULONG got = 0;
  while (s->Read(buf, sizeof(buf), &got) == S_OK && got > 0) out.append(buf, got);
  return out;
}

TEST(MemoryStream, ReadsStopAtTheEndAndWritesPastItFillWithZeros) {
  ComPtr<IStream> s;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
  ULONG n = 0;
  ASSERT_EQ(s->Write("abc", 3, &n), S_OK);
  EXPECT_EQ(n, 3u);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(Move(2), STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 5u);
  ASSERT_EQ(s->Write("z", 1, nullptr), S_OK);
  EXPECT_EQ(ReadAll(s.Get()), std::string("abc\0\0z", 6));
  char buf[4];
  ASSERT_EQ(s->Read(buf, 4, &n), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->Seek(Move(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(Move(0), 7, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
  // A write that would pass the 32-bit reach of the block is refused, not attempted.
  ASSERT_EQ(s->Seek(Move(0xFFFFFFFFll), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(s->Write("xy", 2, &n), STG_E_MEDIUMFULL);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(CreateStreamOnHGlobal(reinterpret_cast<HGLOBAL>(1), TRUE, s.Put()), E_INVALIDARG);
}

TEST(MemoryStream, SetSizeStatCloneAndCopyTo) {
  ComPtr<IStream> s =
      ComPtr<IStream>::Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>("0123456789"), 10));
  ASSERT_TRUE(s);
  ASSERT_EQ(s->SetSize(Size(4)), S_OK);
  STATSTG st;
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(st.cbSize.QuadPart, 4u);
  EXPECT_EQ(st.pwcsName, nullptr);
  ComPtr<IStream> clone;
  ASSERT_EQ(s->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Clone(clone.Put()), S_OK);
  ULARGE_INTEGER pos;
  ASSERT_EQ(clone->Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 1u);
  ASSERT_EQ(clone->Write("X", 1, nullptr), S_OK);  // the clone shares the bytes
  EXPECT_EQ(ReadAll(s.Get()), "0X23");
  ComPtr<IStream> target;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, target.Put()), S_OK);
  ASSERT_EQ(s->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
  ULARGE_INTEGER read, written;
  ASSERT_EQ(s->CopyTo(target.Get(), Size(100), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 3u);
  EXPECT_EQ(written.QuadPart, 3u);
  EXPECT_EQ(ReadAll(target.Get()), "X23");
  EXPECT_EQ(s->LockRegion(Size(0), Size(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
}

TEST(MemoryStream, AnswersOnlyForStreamInterfaces) {
  auto* s = new halyard::ole::MemoryStream();
  void* p = nullptr;
  EXPECT_EQ(s->QueryInterface(IID_ISequentialStream, &p), S_OK);
  EXPECT_EQ(p, static_cast<ISequentialStream*>(s));
  EXPECT_EQ(s->Release(), 1u);
  EXPECT_EQ(s->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(s->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(s->Release(), 0u);
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("HALYARD_DRIVE_D", dir_.c_str(), 1);
  }
  void TearDown() override { unsetenv("HALYARD_DRIVE_D"); }
  halyard::testing::ScratchDir scratch_{"ole-stream"};
  std::string dir_;
};

TEST_F(FileStreamTest, CreateWriteReopenAndRead) {
  ComPtr<IStream> s;
  ASSERT_EQ(SHCreateStreamOnFileA("D:\\stub.java", STGM_CREATE | STGM_READWRITE, s.Put()), S_OK);
  ASSERT_EQ(s->Write("public interface A {\n}\n", 23, nullptr), S_OK);
  ASSERT_EQ(s->Commit(STGC_DEFAULT), S_OK);
  STATSTG st;
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 23u);
  EXPECT_EQ(std::u16string(st.pwcsName), u"stub.java");
  CoTaskMemFree(st.pwcsName);
  s.Reset();
  std::ifstream in(dir_ + "/stub.java", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "public interface A {\n}\n");

  ASSERT_EQ(SHCreateStreamOnFileA("D:/stub.java", STGM_READ, s.Put()), S_OK);
  EXPECT_EQ(ReadAll(s.Get()), "public interface A {\n}\n");
  ULONG n = 9;
  EXPECT_EQ(s->Write("x", 1, &n), STG_E_ACCESSDENIED);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->SetSize(Size(1)), STG_E_ACCESSDENIED);
}

TEST_F(FileStreamTest, OpeningAMissingFileWithoutCreateFails) {
  ComPtr<IStream> s;
  EXPECT_EQ(SHCreateStreamOnFileA("D:\\missing.bin", STGM_READ, s.Put()),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(s);
  EXPECT_EQ(SHCreateStreamOnFileA("D:\\x.bin", STGM_CREATE | STGM_TRANSACTED, s.Put()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(SHCreateStreamOnFileA(nullptr, STGM_READ, s.Put()), E_INVALIDARG);
}

TEST_F(FileStreamTest, SeekAndSetSizeWorkOnTheFile) {
  ComPtr<IStream> s;
  ASSERT_EQ(SHCreateStreamOnFileA("D:\\data.bin", STGM_CREATE | STGM_READWRITE, s.Put()), S_OK);
  ASSERT_EQ(s->Write("abcdef", 6, nullptr), S_OK);
  ASSERT_EQ(s->SetSize(Size(3)), S_OK);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(Move(0), STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 3u);
  ASSERT_EQ(s->Seek(Move(-1), STREAM_SEEK_CUR, &pos), S_OK);
  ASSERT_EQ(s->Write("Z", 1, nullptr), S_OK);
  EXPECT_EQ(ReadAll(s.Get()), "abZ");
  EXPECT_EQ(s->Seek(Move(-10), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  ComPtr<IStream> clone;
  EXPECT_EQ(s->Clone(clone.Put()), E_NOTIMPL);
}

}  // namespace

#include "platform/mfc/carchive.h"
#include "platform/mfc/cmemoryexception.h"
#include "platform/ole/colestreamfile.h"

namespace {

TEST(COleStreamFile, AnArchiveWritesThroughTheStreamThatStaysTheCallers) {
  auto* stream = new halyard::ole::MemoryStream();
  ASSERT_EQ(stream->Write("pre", 3, nullptr), S_OK);  // the file writes from where it stands
  {
    COleStreamFile file;
    file.Attach(stream);
    CArchive ar(&file, CArchive::store);
    ar << static_cast<LONG>(0x01020304) << CString("ab");
    ar.Close();
    EXPECT_EQ(file.GetPosition(), 10u);
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Detach(), stream);
  }
  const std::vector<BYTE> want = {'p', 'r', 'e', 4, 3, 2, 1, 2, 'a', 'b'};
  EXPECT_EQ(stream->Bytes(), want);
  // Not released by the file: this is the caller's only reference.
  EXPECT_EQ(stream->Release(), 0u);
}

TEST(COleStreamFile, StreamFailuresBecomeFileExceptions) {
  COleStreamFile file;
  ASSERT_TRUE(file.CreateMemoryStream());
  file.Write("abc", 3);
  file.SeekToBegin();
  char buf[8];
  EXPECT_EQ(file.Read(buf, sizeof(buf)), 3u);
  try {
    file.Seek(-5, CFile::begin);
    FAIL() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::accessDenied);
    EXPECT_EQ(e->m_lOsError, STG_E_INVALIDFUNCTION);
    e->Delete();
  }
  IStream* readOnly = nullptr;
  halyard::testing::ScratchDir scratch("ole-sf");
  setenv("HALYARD_DRIVE_D", scratch.path().c_str(), 1);
  ASSERT_EQ(SHCreateStreamOnFileA("D:\\r.txt", STGM_CREATE | STGM_WRITE, &readOnly), S_OK);
  readOnly->Release();
  ASSERT_EQ(SHCreateStreamOnFileA("D:\\r.txt", STGM_READ, &readOnly), S_OK);
  COleStreamFile reader(readOnly);
  try {
    reader.Write("x", 1);
    FAIL() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::accessDenied);
    e->Delete();
  }
  reader.Close();  // Close releases the stream
  EXPECT_EQ(reader.GetStream(), nullptr);
  unsetenv("HALYARD_DRIVE_D");
}

}  // namespace
