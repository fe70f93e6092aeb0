#include "csf_mem_file.h"

#include "datalib/values/cpd_buffer.h"

CSFMemFile::CSFMemFile() : CMemFile(65536), mBuffer(nullptr) {}

CSFMemFile::~CSFMemFile() {
  // The attached bytes are the buffer's; the file must not free them.
  if (mBuffer != nullptr) Detach();
}

void CSFMemFile::mAttachBuffer(CPDBuffer* buffer) {
  if (buffer == nullptr) return;
  if (mBuffer != nullptr) Detach();
  mBuffer = buffer;
  Attach(reinterpret_cast<BYTE*>(buffer->mGetBuffer()), static_cast<UINT>(buffer->mGetLength()), 0);
}

void CSFMemFile::mGetBufferCopy(CPDBuffer* out) const {
  if (out == nullptr) return;
  if (GetLength() == 0 || m_lpBuffer == nullptr) {
    out->mInit(nullptr, 0);
    return;
  }
  out->mInit(reinterpret_cast<const char*>(m_lpBuffer), static_cast<LONG>(GetLength()));
}
