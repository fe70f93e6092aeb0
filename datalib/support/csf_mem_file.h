// CSFMemFile: a memory file (growth step 65536) that can work on the bytes of a CPDBuffer:
// attached, it reads and overwrites the buffer's own bytes and never frees them. The buffer
// is not owned and must outlive the attachment. One thread at a time.
#pragma once

#include "platform/kernel/export.h"
#include "platform/mfc/cmemfile.h"

class CPDBuffer;

class HALYARD_EXPORT CSFMemFile : public CMemFile {
 public:
  CSFMemFile();
  ~CSFMemFile() override;

  void mAttachBuffer(CPDBuffer* buffer);
  BYTE* mGetBuffer() const { return m_lpBuffer; }
  // The whole contents of the file into out.
  void mGetBufferCopy(CPDBuffer* out) const;

 private:
  CPDBuffer* mBuffer;
};
