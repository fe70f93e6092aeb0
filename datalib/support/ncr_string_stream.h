// NCRStringStreamBuf and NCRStringStream: an in-memory iostream through which persistent
// values become bytes and back. Output grows in steps of 100000 bytes without limit; input is
// a private copy of the bytes handed in, and reading past them gives end of file. A stream is
// used either for writing or for reading, on one thread.
#pragma once

#include <iostream>
#include <streambuf>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class HALYARD_EXPORT NCRStringStreamBuf : public std::streambuf {
 public:
  static constexpr LONG kGrowthStep = 100000;

  NCRStringStreamBuf();
  ~NCRStringStreamBuf() override;
  NCRStringStreamBuf(const NCRStringStreamBuf&) = delete;
  NCRStringStreamBuf& operator=(const NCRStringStreamBuf&) = delete;

  // The bytes written so far (not terminated), or null when nothing was written.
  char* mGetOutputData() const { return mOutput; }
  LONG mGetOutputDataLength() const;
  // Replaces the input by a copy of the bytes; a length of 0 (or less) leaves no input.
  void mSetInputData(const char* data, LONG length);

 protected:
  int_type overflow(int_type ch) override;

 private:
  char* mOutput;
  char* mInput;
};

class HALYARD_EXPORT NCRStringStream : public std::iostream {
 public:
  NCRStringStream();
  ~NCRStringStream() override;

  void mSetInputData(const char* data, LONG length) {
    clear();
    mBuf->mSetInputData(data, length);
  }
  char* mGetOutputData() const { return mBuf->mGetOutputData(); }
  LONG mGetOutputDataLength() const { return mBuf->mGetOutputDataLength(); }

 private:
  NCRStringStreamBuf* mBuf;
};
