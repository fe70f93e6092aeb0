#include "cpd_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "datalib/access/cda_data_object.h"
#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cfile.h"
#include "platform/ole/colevariant.h"
#include "platform/ole/safearray.h"

namespace {
// Pieces in which lengths that come from outside are read, so that memory follows the data.
constexpr LONG kReadPiece = 65536;
}  // namespace

CPDBuffer::CPDBuffer(LONG initialLength, LONG growthStep)
    : mData(nullptr), mLength(0), mAllocated(0), mGrowthStep(growthStep), mLocked(0) {
  if (initialLength > 0) {
    long long step = growthStep > 0 ? growthStep : 1;
    long long size = (initialLength + step - 1) / step * step;
    if (size > vaultkit::kMaxLoadLength) size = initialLength;
    mData = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
    if (mData != nullptr) {
      mAllocated = static_cast<LONG>(size);
      mLength = initialLength;
    }
  }
}

CPDBuffer::CPDBuffer(const CPDBuffer& other)
    : CPDObject(),
      mData(nullptr),
      mLength(0),
      mAllocated(0),
      mGrowthStep(other.mGrowthStep),
      mLocked(0) {
  if (other.mLength > 0) mInit(other.mData, other.mLength);
}

CPDBuffer::~CPDBuffer() { std::free(mData); }

bool CPDBuffer::mGrow(LONG n) {
  if (n < 0) return false;
  long long need = static_cast<long long>(n) + 1;
  if (need <= mAllocated) return true;
  if (mLocked) return false;
  long long step = mGrowthStep > 0 ? mGrowthStep : 1;
  long long size = mAllocated + (need - mAllocated + step - 1) / step * step;
  if (size > 0x7FFFFFFFLL) size = need;  // the last step would leave the 32-bit range
  if (size > 0x7FFFFFFFLL) return false;
  char* block = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
  if (block == nullptr) return false;
  if (mData != nullptr && mLength > 0) std::memcpy(block, mData, static_cast<size_t>(mLength));
  std::free(mData);
  mData = block;
  mAllocated = static_cast<LONG>(size);
  return true;
}

void CPDBuffer::mInit(const char* data, LONG count) {
  if (count == 0 && data != nullptr) {
    size_t n = std::strlen(data) + 1;
    if (n > static_cast<size_t>(vaultkit::kMaxLoadLength)) return;
    count = static_cast<LONG>(n);
  }
  if (count < 0 || !mGrow(count)) return;
  if (count > 0) {
    if (data != nullptr) {
      std::memmove(mData, data, static_cast<size_t>(count));
    } else {
      std::memset(mData, 0, static_cast<size_t>(count));
    }
  }
  mLength = count;
}

void CPDBuffer::mConcat(const char* data, LONG count) {
  if (count == 0 && data != nullptr) {
    size_t n = std::strlen(data);
    if (n > static_cast<size_t>(vaultkit::kMaxLoadLength)) return;
    count = static_cast<LONG>(n);
  }
  if (count <= 0) return;
  if (static_cast<long long>(mLength) + count > vaultkit::kMaxLoadLength) return;
  // The data may lie inside this buffer; keep its offset across the move of the block.
  bool inside = data != nullptr && mData != nullptr && data >= mData && data < mData + mAllocated;
  ptrdiff_t offset = inside ? data - mData : 0;
  if (!mGrow(mLength + count)) return;
  if (inside) data = mData + offset;
  if (data != nullptr) {
    std::memmove(mData + mLength, data, static_cast<size_t>(count));
  } else {
    std::memset(mData + mLength, 0, static_cast<size_t>(count));
  }
  mLength += count;
}

void CPDBuffer::mClearBuffer() {
  mLength = 0;
  if (mData != nullptr && mAllocated > 0) mData[0] = 0;
}

void CPDBuffer::mClear() {
  if (mLocked) return;
  std::free(mData);
  mData = nullptr;
  mLength = 0;
  mAllocated = 0;
}

CPDBuffer::operator const char*() {
  if (mLength >= mAllocated && !mGrow(mLength)) {
    // No room for the terminator (a locked, full buffer): the bytes as they are.
    return mData;
  }
  mData[mLength] = 0;
  return mData;
}

char* CPDBuffer::mLockBuffer(int extra) {
  if (mLocked) return nullptr;
  if (extra < 0) extra = 0;
  if (static_cast<long long>(mLength) + extra > vaultkit::kMaxLoadLength) return nullptr;
  if (!mGrow(mLength + extra)) return nullptr;
  mLocked = 1;
  return mData + mLength;
}

void CPDBuffer::mUnlock(int used) {
  // Never count more than the block holds (it keeps room for a terminator).
  long long room = mAllocated > 0 ? static_cast<long long>(mAllocated) - 1 - mLength : 0;
  long long add = std::clamp<long long>(used, -static_cast<long long>(mLength), room);
  mLength += static_cast<LONG>(add);
  mLocked = 0;
}

void CPDBuffer::mRollBack(LONG length) {
  LONG limit = mAllocated > 0 ? mAllocated - 1 : 0;
  mLength = std::clamp<LONG>(length, 0, limit);
}

int CPDBuffer::mIsNull() const {
  for (LONG i = 0; i < mLength; ++i) {
    if (mData[i] != 0) return 0;
  }
  return 1;
}

int CPDBuffer::mReplaceAll(const char* find, const char* replace) {
  if (find == nullptr || *find == 0 || mLength == 0) return 0;
  if (replace == nullptr) replace = "";
  const size_t fl = std::strlen(find);
  const size_t rl = std::strlen(replace);
  const size_t len = static_cast<size_t>(mLength);
  std::vector<char> out;
  out.reserve(len);
  int count = 0;
  size_t pos = 0;
  while (pos < len) {
    const void* hit = std::memchr(mData + pos, find[0], len - pos);
    if (hit == nullptr) break;
    size_t at = static_cast<size_t>(static_cast<const char*>(hit) - mData);
    if (at + fl > len) break;
    if (std::memcmp(mData + at, find, fl) != 0) {
      out.insert(out.end(), mData + pos, mData + at + 1);
      pos = at + 1;
      continue;
    }
    size_t projected = out.size() + (at - pos) + rl + (len - at - fl);
    if (projected > static_cast<size_t>(vaultkit::kMaxLoadLength) ||
        (projected + 1 > static_cast<size_t>(mAllocated) && mLocked)) {
      break;  // the result would not fit a buffer that cannot grow
    }
    out.insert(out.end(), mData + pos, mData + at);
    out.insert(out.end(), replace, replace + rl);
    pos = at + fl;
    ++count;
  }
  if (count == 0) return 0;
  out.insert(out.end(), mData + pos, mData + len);
  LONG n = static_cast<LONG>(out.size());
  if (!mGrow(n)) return 0;
  std::memcpy(mData, out.data(), out.size());
  mLength = n;
  return count;
}

LONG CPDBuffer::mReadFromFile(CFile& file) {
  LONG total = 0;
  char chunk[512];
  for (;;) {
    UINT got = file.Read(chunk, sizeof chunk);
    if (got == 0) break;
    LONG before = mLength;
    mConcat(chunk, static_cast<LONG>(got));
    if (mLength == before) break;  // no more room
    total += static_cast<LONG>(got);
    if (got < sizeof chunk) break;
  }
  if (mGrow(mLength + 1)) {
    mData[mLength] = 0;
    ++mLength;
  }
  return total;
}

CPDObject* CPDBuffer::mCopy() const {
  auto* copy = new CPDBuffer(0, 128);
  if (mLength > 0) copy->mInit(mData, mLength);
  return copy;
}

CPDObject* CPDBuffer::mNew() const { return new CPDBuffer(0, 128); }

CPDObject& CPDBuffer::operator=(const CPDObject& other) {
  if (&other == this) return *this;
  const auto* o = dynamic_cast<const CPDBuffer*>(&other);
  if (o == nullptr) throw static_cast<char*>(cPDUnsupportedConversion);
  if (o->mLength == 0) {
    if (!mLocked || mAllocated > 0) mLength = 0;
    return *this;
  }
  if (!mGrow(o->mLength)) return *this;
  std::memcpy(mData, o->mData, static_cast<size_t>(o->mLength));
  mLength = o->mLength;
  return *this;
}

int CPDBuffer::mCompare(const CPDObject* other) const {
  const auto* o = dynamic_cast<const CPDBuffer*>(other);
  if (o == nullptr) return -1;
  LONG n = std::min(mLength, o->mLength);
  if (n > 0) {
    int r = std::memcmp(mData, o->mData, static_cast<size_t>(n));
    if (r != 0) return r;
  }
  return mLength < o->mLength ? -1 : (mLength > o->mLength ? 1 : 0);
}

void CPDBuffer::mGetValue(CDADataObject* record, LONG field) {
  if (record != nullptr) record->mGetFieldBuffer(field, this);
}

void CPDBuffer::mSetValue(CDADataObject* record, LONG field) {
  if (record != nullptr) record->mSetFieldBuffer(field, this);
}

void CPDBuffer::mConvertFromOleVariant(const COleVariant& var) {
  if (var.vt == VT_BSTR) {
    mInit(V_BSTRT(&var), 0);
    return;
  }
  // Anything else is taken as a one-dimensional byte array; a variant that holds no array
  // changes nothing.
  if ((var.vt & VT_ARRAY) == 0 || (var.vt & VT_BYREF) != 0) return;
  SAFEARRAY* psa = var.parray;
  if (psa == nullptr || psa->cDims < 1) return;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(psa, &data))) return;
  ULONG elements = psa->rgsabound[psa->cDims - 1].cElements;
  unsigned long long bytes = static_cast<unsigned long long>(psa->cbElements);
  for (USHORT d = 0; d < psa->cDims; ++d) bytes *= psa->rgsabound[d].cElements;
  // The count of the first dimension, never more bytes than the array holds.
  unsigned long long take = std::min<unsigned long long>(elements, bytes);
  if (take > 0 && take <= static_cast<unsigned long long>(vaultkit::kMaxLoadLength)) {
    mInit(static_cast<const char*>(data), static_cast<LONG>(take));
  } else if (take == 0) {
    mLength = 0;
  }
  SafeArrayUnaccessData(psa);
}

void CPDBuffer::mConvertToOleVariant(COleVariant* var) const {
  if (var == nullptr) return;
  // The bytes as a text: up to the first NUL, never past the bytes in use.
  std::string text(mData != nullptr ? mData : "", mData != nullptr ? strnlen(mData, mLength) : 0);
  *var = COleVariant(text.c_str(), static_cast<VARTYPE>(VT_BSTRT));
}

void CPDBuffer::Serialize(std::ostream& os) {
  vaultkit::WriteTaggedNumber(os, 'V', mLength);
  if (mLength > 0) os.write(mData, mLength);
  os.put(' ');
}

bool CPDBuffer::mAppendFromStream(std::istream& is, LONG count) {
  while (count > 0) {
    LONG piece = std::min(count, kReadPiece);
    if (!mGrow(mLength + piece)) {
      is.setstate(std::ios::failbit);
      return false;
    }
    is.read(mData + mLength, piece);
    mLength += static_cast<LONG>(is.gcount());
    if (is.gcount() != piece) return false;
    count -= piece;
  }
  return true;
}

void CPDBuffer::Serialize(std::istream& is) {
  LONG length = 0;
  if (!vaultkit::ReadStreamLength(is, length)) return;
  is.get();
  mLength = 0;
  if (!mAppendFromStream(is, length)) return;
  is.get();
}

void CPDBuffer::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<DWORD>(mLength));
    if (mLength > 0) ar.Write(mData, static_cast<UINT>(mLength));
    return;
  }
  DWORD count = ar.ReadCount();
  if (count > static_cast<DWORD>(vaultkit::kMaxLoadLength)) {
    AfxThrowArchiveException(CArchiveException::badIndex);
  }
  // Read in pieces into a block of our own, so a false count costs no memory and a
  // truncated archive leaves this buffer as it was.
  CPDBuffer loaded(0, mGrowthStep);
  LONG left = static_cast<LONG>(count);
  while (left > 0) {
    LONG piece = std::min(left, kReadPiece);
    if (!loaded.mGrow(loaded.mLength + piece)) AfxThrowMemoryException();
    UINT got = ar.Read(loaded.mData + loaded.mLength, static_cast<UINT>(piece));
    if (got != static_cast<UINT>(piece)) AfxThrowArchiveException(CArchiveException::endOfFile);
    loaded.mLength += piece;
    left -= piece;
  }
  if (count == 0) {
    mClearBuffer();
    return;
  }
  *this = loaded;
}
