#include "carchive.h"

#include <cstring>
#include <string>

#include "carchiveexception.h"
#include "cfile.h"
#include "cfileexception.h"
#include "cmemoryexception.h"
#include "cobject.h"
#include "cruntimeclass.h"

namespace {

// Tags of the persistent object format.
constexpr WORD wNullTag = 0;
constexpr WORD wNewClassTag = 0xFFFF;
constexpr WORD wClassTag = 0x8000;
constexpr DWORD dwBigClassTag = 0x80000000;
constexpr WORD wBigObjectTag = 0x7FFF;
constexpr DWORD nMaxMapCount = 0x3FFFFFFE;

constexpr UINT kMinBufSize = 128;
// Texts arrive in pieces of this size, so a length field larger than the data cannot make
// the loader allocate more than the data holds.
constexpr UINT kStringChunk = 64 * 1024;
// Objects nested deeper than this while loading are refused, so that a crafted archive cannot
// exhaust the stack.
constexpr int kMaxLoadDepth = 1024;

thread_local int t_loadDepth = 0;

struct DepthGuard {
  DepthGuard() {
    if (++t_loadDepth > kMaxLoadDepth) {
      --t_loadDepth;
      AfxThrowArchiveException(CArchiveException::generic);
    }
  }
  ~DepthGuard() { --t_loadDepth; }
};

// The Windows-1252 bytes 0x80 to 0x9F as UTF-16; the five undefined ones map to themselves.
const WORD kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char WideToAnsi(WORD w) {
  if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) return (char)w;
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == w) return (char)(0x80 + i);
  return '?';
}

}  // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* lpBuf)
    : m_pFile(pFile),
      m_nMode(nMode),
      m_nBufSize(nBufSize < (int)kMinBufSize ? kMinBufSize : (UINT)nBufSize),
      m_lpBufStart(nullptr),
      m_lpBufCur(nullptr),
      m_lpBufMax(nullptr),
      m_nObjectSchema((UINT)-1),
      m_nMapCount(1),
      m_bMapsReady(false) {
  if (lpBuf != nullptr && nBufSize >= (int)kMinBufSize) {
    m_lpBufStart = static_cast<BYTE*>(lpBuf);
  } else {
    m_ownBuf.reset(new BYTE[m_nBufSize]);
    m_lpBufStart = m_ownBuf.get();
  }
  m_lpBufCur = m_lpBufStart;
  m_lpBufMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
}

CArchive::~CArchive() {
  if (m_pFile != nullptr && !(m_nMode & bNoFlushOnDelete)) {
    try {
      Close();
    } catch (CException* e) {
      e->Delete();
    }
  }
}

UINT CArchive::GetObjectSchema() {
  UINT n = m_nObjectSchema;
  m_nObjectSchema = (UINT)-1;
  return n;
}

void CArchive::CheckStoring() const {
  if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
  if (m_pFile == nullptr) AfxThrowArchiveException(CArchiveException::generic, m_strFileName);
}

void CArchive::CheckLoading() const {
  if (IsStoring()) AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
  if (m_pFile == nullptr) AfxThrowArchiveException(CArchiveException::generic, m_strFileName);
}

void CArchive::FillBuffer(UINT nBytes) {
  UINT avail = (UINT)(m_lpBufMax - m_lpBufCur);
  if (avail >= nBytes) return;
  CheckLoading();
  if (avail && m_lpBufCur != m_lpBufStart) std::memmove(m_lpBufStart, m_lpBufCur, avail);
  m_lpBufCur = m_lpBufStart;
  m_lpBufMax = m_lpBufStart + avail;
  while (avail < nBytes) {
    UINT n = m_pFile->Read(m_lpBufMax, m_nBufSize - avail);
    if (n == 0) break;
    avail += n;
    m_lpBufMax += n;
  }
  if (avail < nBytes) AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
}

void CArchive::Reserve(UINT nBytes) {
  CheckStoring();
  if ((UINT)(m_lpBufMax - m_lpBufCur) < nBytes) Flush();
}

void CArchive::PutLE(ULONGLONG v, UINT nBytes) {
  Reserve(nBytes);
  for (UINT i = 0; i < nBytes; ++i) *m_lpBufCur++ = (BYTE)(v >> (8 * i));
}

ULONGLONG CArchive::GetLE(UINT nBytes) {
  if (IsStoring()) CheckLoading();
  FillBuffer(nBytes);
  ULONGLONG v = 0;
  for (UINT i = 0; i < nBytes; ++i) v |= (ULONGLONG)m_lpBufCur[i] << (8 * i);
  m_lpBufCur += nBytes;
  return v;
}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
  CheckLoading();
  BYTE* out = static_cast<BYTE*>(lpBuf);
  UINT done = 0;
  while (done < nMax) {
    UINT avail = (UINT)(m_lpBufMax - m_lpBufCur);
    if (avail) {
      UINT n = avail < nMax - done ? avail : nMax - done;
      std::memcpy(out + done, m_lpBufCur, n);
      m_lpBufCur += n;
      done += n;
      continue;
    }
    UINT want = nMax - done;
    if (want >= m_nBufSize) {
      // Large blocks go straight from the file.
      UINT n = m_pFile->Read(out + done, want);
      if (n == 0) break;
      done += n;
    } else {
      m_lpBufCur = m_lpBufMax = m_lpBufStart;
      UINT n = m_pFile->Read(m_lpBufStart, m_nBufSize);
      if (n == 0) break;
      m_lpBufMax += n;
    }
  }
  return done;
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
  CheckStoring();
  if (nMax == 0) return;
  const BYTE* in = static_cast<const BYTE*>(lpBuf);
  UINT space = (UINT)(m_lpBufMax - m_lpBufCur);
  if (nMax <= space) {
    std::memcpy(m_lpBufCur, in, nMax);
    m_lpBufCur += nMax;
    return;
  }
  Flush();
  if (nMax >= m_nBufSize) {
    m_pFile->Write(in, nMax);
  } else {
    std::memcpy(m_lpBufCur, in, nMax);
    m_lpBufCur += nMax;
  }
}

void CArchive::WriteString(LPCTSTR lpsz) {
  if (lpsz) Write(lpsz, (UINT)std::strlen(lpsz));
}

BOOL CArchive::ReadString(CString& rString) {
  CheckLoading();
  std::string line;
  bool any = false;
  for (;;) {
    if (m_lpBufCur == m_lpBufMax) {
      m_lpBufCur = m_lpBufMax = m_lpBufStart;
      UINT n = m_pFile->Read(m_lpBufStart, m_nBufSize);
      if (n == 0) break;
      m_lpBufMax += n;
    }
    any = true;
    char c = (char)*m_lpBufCur++;
    if (c == '\n') break;
    line.push_back(c);
    if (line.size() > 0x7FFFFFFE) AfxThrowMemoryException();
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  rString = CString(line.data(), (int)line.size());
  return any ? TRUE : FALSE;
}

void CArchive::Flush() {
  if (m_pFile == nullptr) return;
  if (IsLoading()) {
    if (m_lpBufMax != m_lpBufCur) m_pFile->Seek(-(LONG)(m_lpBufMax - m_lpBufCur), 1 /* current */);
    m_lpBufCur = m_lpBufMax;
  } else {
    if (m_lpBufCur != m_lpBufStart) {
      UINT n = (UINT)(m_lpBufCur - m_lpBufStart);
      m_lpBufCur = m_lpBufStart;
      m_pFile->Write(m_lpBufStart, n);
    }
  }
}

void CArchive::Close() {
  Flush();
  m_pFile = nullptr;
}

void CArchive::Abort() {
  m_lpBufCur = IsLoading() ? m_lpBufMax : m_lpBufStart;
  m_pFile = nullptr;
}

CArchive& CArchive::operator<<(BYTE by) {
  PutLE(by, 1);
  return *this;
}
CArchive& CArchive::operator<<(WORD w) {
  PutLE(w, 2);
  return *this;
}
CArchive& CArchive::operator<<(LONG l) {
  PutLE((DWORD)l, 4);
  return *this;
}
CArchive& CArchive::operator<<(DWORD dw) {
  PutLE(dw, 4);
  return *this;
}
CArchive& CArchive::operator<<(float f) {
  DWORD bits;
  std::memcpy(&bits, &f, 4);
  PutLE(bits, 4);
  return *this;
}
CArchive& CArchive::operator<<(double d) {
  ULONGLONG bits;
  std::memcpy(&bits, &d, 8);
  PutLE(bits, 8);
  return *this;
}
CArchive& CArchive::operator<<(LONGLONG n) {
  PutLE((ULONGLONG)n, 8);
  return *this;
}
CArchive& CArchive::operator<<(ULONGLONG n) {
  PutLE(n, 8);
  return *this;
}

CArchive& CArchive::operator>>(BYTE& by) {
  by = (BYTE)GetLE(1);
  return *this;
}
CArchive& CArchive::operator>>(WORD& w) {
  w = (WORD)GetLE(2);
  return *this;
}
CArchive& CArchive::operator>>(LONG& l) {
  l = (LONG)(DWORD)GetLE(4);
  return *this;
}
CArchive& CArchive::operator>>(DWORD& dw) {
  dw = (DWORD)GetLE(4);
  return *this;
}
CArchive& CArchive::operator>>(float& f) {
  DWORD bits = (DWORD)GetLE(4);
  std::memcpy(&f, &bits, 4);
  return *this;
}
CArchive& CArchive::operator>>(double& d) {
  ULONGLONG bits = GetLE(8);
  std::memcpy(&d, &bits, 8);
  return *this;
}
CArchive& CArchive::operator>>(LONGLONG& n) {
  n = (LONGLONG)GetLE(8);
  return *this;
}
CArchive& CArchive::operator>>(ULONGLONG& n) {
  n = GetLE(8);
  return *this;
}

void CArchive::WriteCount(DWORD dwCount) {
  if (dwCount < 0xFFFF) {
    *this << (WORD)dwCount;
  } else {
    *this << (WORD)0xFFFF;
    *this << dwCount;
  }
}

DWORD CArchive::ReadCount() {
  WORD wCount;
  *this >> wCount;
  if (wCount != 0xFFFF) return wCount;
  DWORD dwCount;
  *this >> dwCount;
  return dwCount;
}

void CArchive::InitMaps() {
  if (m_bMapsReady) return;
  m_bMapsReady = true;
  m_nMapCount = 1;
  if (IsLoading()) {
    m_loadArray.clear();
    m_loadArray.push_back({nullptr, false, false, 0});  // index 0 is the null object
  } else {
    m_storeMap.clear();
  }
}

void CArchive::CheckCount() const {
  if (m_nMapCount >= nMaxMapCount)
    AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
}

void CArchive::MapObject(const CObject* pOb) {
  InitMaps();
  // Null takes no number on either side. Every other call takes the next number, even for an
  // object that has one already (later references then use the new one), so that a loading
  // archive making the same calls counts the same numbers.
  if (pOb == nullptr) return;
  CheckCount();
  if (IsStoring()) {
    m_storeMap[pOb] = m_nMapCount++;
  } else {
    m_loadArray.push_back({const_cast<CObject*>(pOb), false, false, 0});
    m_nMapCount++;
  }
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef) {
  CheckStoring();
  InitMaps();
  if (pClassRef == nullptr || pClassRef->m_wSchema == kNotSerializableSchema)
    AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
  auto it = m_storeMap.find(pClassRef);
  if (it != m_storeMap.end()) {
    DWORD nClassIndex = it->second;
    if (nClassIndex < wBigObjectTag) {
      *this << (WORD)(wClassTag | nClassIndex);
    } else {
      *this << wBigObjectTag;
      *this << (DWORD)(dwBigClassTag | nClassIndex);
    }
    return;
  }
  *this << wNewClassTag;
  pClassRef->Store(*this);
  CheckCount();
  m_storeMap[pClassRef] = m_nMapCount++;
}

void CArchive::WriteObject(const CObject* pOb) {
  CheckStoring();
  InitMaps();
  if (pOb == nullptr) {
    *this << wNullTag;
    return;
  }
  auto it = m_storeMap.find(pOb);
  if (it != m_storeMap.end()) {
    DWORD nObIndex = it->second;
    if (nObIndex < wBigObjectTag) {
      *this << (WORD)nObIndex;
    } else {
      *this << wBigObjectTag;
      *this << nObIndex;
    }
    return;
  }
  WriteClass(pOb->GetRuntimeClass());
  CheckCount();
  m_storeMap[pOb] = m_nMapCount++;
  const_cast<CObject*>(pOb)->Serialize(*this);
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema,
                                   DWORD* pObTag) {
  CheckLoading();
  InitMaps();
  WORD wTag;
  *this >> wTag;
  DWORD obTag;
  if (wTag == wBigObjectTag)
    *this >> obTag;
  else
    obTag = ((DWORD)(wTag & wClassTag) << 16) | (DWORD)(wTag & ~wClassTag);

  if (!(obTag & dwBigClassTag)) {
    if (pObTag == nullptr) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    *pObTag = obTag;
    return nullptr;
  }

  CRuntimeClass* pClassRef;
  UINT nSchema;
  if (wTag == wNewClassTag) {
    CheckCount();
    pClassRef = CRuntimeClass::Load(*this, &nSchema);
    if (pClassRef == nullptr) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    if ((pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA) != nSchema &&
        !(pClassRef->m_wSchema & VERSIONABLE_SCHEMA))
      AfxThrowArchiveException(CArchiveException::badSchema, m_strFileName);
    m_loadArray.push_back({pClassRef, true, false, nSchema});
    m_nMapCount++;
  } else {
    DWORD nClassIndex = obTag & ~dwBigClassTag;
    // The index must name a class read before; an object there is as wrong as nothing.
    if (nClassIndex == 0 || nClassIndex >= m_loadArray.size() || !m_loadArray[nClassIndex].isClass)
      AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
    pClassRef = static_cast<CRuntimeClass*>(m_loadArray[nClassIndex].p);
    nSchema = m_loadArray[nClassIndex].schema;
  }
  if (pClassRefRequested != nullptr && !pClassRef->IsDerivedFrom(pClassRefRequested))
    AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
  if (pSchema) *pSchema = nSchema;
  return pClassRef;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef) {
  if (IsStoring())
    WriteClass(pClassRef);
  else
    ReadClass(pClassRef);
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested) {
  CheckLoading();
  DepthGuard depth;
  UINT nSchema = 0;
  DWORD obTag = 0;
  CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &obTag);
  if (pClassRef == nullptr) {
    // A reference to an object read before (or the null tag).
    if (obTag >= m_loadArray.size() || m_loadArray[obTag].isClass)
      AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
    CObject* pOb = static_cast<CObject*>(m_loadArray[obTag].p);
    if (pOb != nullptr && pClassRefRequested != nullptr && !pOb->IsKindOf(pClassRefRequested))
      AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    return pOb;
  }
  CObject* pOb = pClassRef->CreateObject();
  if (pOb == nullptr) AfxThrowMemoryException();
  CheckCount();
  // Entered before its data is read, so that the object's own members may refer to it.
  m_loadArray.push_back({pOb, false, true, 0});
  m_nMapCount++;
  UINT nSchemaSave = m_nObjectSchema;
  m_nObjectSchema = nSchema;
  try {
    pOb->Serialize(*this);
  } catch (...) {
    m_nObjectSchema = nSchemaSave;
    throw;
  }
  m_nObjectSchema = nSchemaSave;
  return pOb;
}

void CArchive::DeleteLoadedObjects() {
  for (auto it = m_loadArray.rbegin(); it != m_loadArray.rend(); ++it) {
    if (it->created && !it->isClass && it->p) {
      delete static_cast<CObject*>(it->p);
      it->p = nullptr;
    }
  }
}

// CRuntimeClass's archive form lives here, beside the tags that use it.
void CRuntimeClass::Store(CArchive& ar) const {
  WORD nLen = (WORD)std::strlen(m_lpszClassName);
  ar << (WORD)m_wSchema << nLen;
  ar.Write(m_lpszClassName, nLen);
}

CRuntimeClass* CRuntimeClass::Load(CArchive& ar, UINT* pwSchemaNum) {
  // Class names are at most 63 bytes, as the original's buffer holds; longer ones are refused.
  char szClassName[64];
  WORD wSchema, nLen;
  ar >> wSchema >> nLen;
  *pwSchemaNum = wSchema;
  if (nLen >= sizeof(szClassName) || ar.Read(szClassName, nLen) != nLen) return nullptr;
  szClassName[nLen] = '\0';
  return FromName(szClassName);
}

CArchive& operator<<(CArchive& ar, const CString& s) {
  DWORD len = (DWORD)s.GetLength();
  if (len < 255) {
    ar << (BYTE)len;
  } else if (len < 0xFFFE) {
    ar << (BYTE)0xFF << (WORD)len;
  } else {
    ar << (BYTE)0xFF << (WORD)0xFFFF << len;
  }
  ar.Write((LPCTSTR)s, len);
  return ar;
}

namespace {

// A string length: a BYTE, or 0xFF and a WORD, or 0xFF 0xFFFF and a DWORD. *wide is set when
// the 0xFF 0xFFFE marker of a wide-text string comes first.
DWORD ReadStringLength(CArchive& ar, bool* wide) {
  BYTE bLen;
  ar >> bLen;
  if (bLen < 0xFF) return bLen;
  WORD wLen;
  ar >> wLen;
  if (wLen < 0xFFFE) return wLen;
  if (wLen == 0xFFFE) {
    if (*wide) AfxThrowArchiveException(CArchiveException::generic);  // a second marker
    *wide = true;
    return ReadStringLength(ar, wide);
  }
  DWORD dwLen;
  ar >> dwLen;
  return dwLen;
}

}  // namespace

CArchive& operator>>(CArchive& ar, CString& s) {
  bool wide = false;
  DWORD len = ReadStringLength(ar, &wide);
  if (len > 0x7FFFFFFE) AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
  std::string text;
  DWORD left = len;
  BYTE chunk[kStringChunk];
  while (left > 0) {
    if (wide) {
      UINT units = left < kStringChunk / 2 ? left : kStringChunk / 2;
      if (ar.Read(chunk, units * 2) != units * 2)
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
      for (UINT i = 0; i < units; ++i)
        text.push_back(WideToAnsi((WORD)(chunk[2 * i] | (chunk[2 * i + 1] << 8))));
      left -= units;
    } else {
      UINT n = left < kStringChunk ? left : kStringChunk;
      if (ar.Read(chunk, n) != n)
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
      text.append(reinterpret_cast<char*>(chunk), n);
      left -= n;
    }
  }
  s = CString(text.data(), (int)text.size());
  return ar;
}
