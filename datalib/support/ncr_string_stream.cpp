#include "ncr_string_stream.h"

#include <cstdlib>
#include <cstring>

NCRStringStreamBuf::NCRStringStreamBuf() : mOutput(nullptr), mInput(nullptr) {}

NCRStringStreamBuf::~NCRStringStreamBuf() {
  sync();
  std::free(mOutput);
  std::free(mInput);
}

LONG NCRStringStreamBuf::mGetOutputDataLength() const {
  return mOutput == nullptr ? 0 : static_cast<LONG>(pptr() - mOutput);
}

NCRStringStreamBuf::int_type NCRStringStreamBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  size_t written = mOutput == nullptr ? 0 : static_cast<size_t>(pptr() - mOutput);
  if (written > static_cast<size_t>(0x7FFFFFFF - kGrowthStep - 1)) return traits_type::eof();
  // A block of what was written plus the overflowing character and the next 100000 bytes.
  // realloc keeps the bytes written so far, as allocating, copying and freeing would.
  size_t size = written + kGrowthStep + 1;
  char* block = static_cast<char*>(std::realloc(mOutput, size));
  if (block == nullptr) return traits_type::eof();
  mOutput = block;
  mOutput[written] = traits_type::to_char_type(ch);
  setp(mOutput + written + 1, mOutput + size);
  return ch;
}

void NCRStringStreamBuf::mSetInputData(const char* data, LONG length) {
  std::free(mInput);
  mInput = nullptr;
  setg(nullptr, nullptr, nullptr);
  if (length <= 0 || data == nullptr) return;
  mInput = static_cast<char*>(std::malloc(static_cast<size_t>(length)));
  if (mInput == nullptr) return;
  std::memcpy(mInput, data, static_cast<size_t>(length));
  setg(mInput, mInput, mInput + length);
}

NCRStringStream::NCRStringStream() : std::iostream(nullptr), mBuf(new NCRStringStreamBuf()) {
  rdbuf(mBuf);
}

NCRStringStream::~NCRStringStream() {
  rdbuf(nullptr);
  delete mBuf;
}
