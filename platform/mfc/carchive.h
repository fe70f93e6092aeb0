// CArchive: the class library's binary serialisation over a CFile, byte for byte as the
// original writes it, so that archives move between the two. Numbers are little-endian;
// BYTE, WORD, LONG/int, DWORD, float, double keep their Win32 widths (int is 32 bits).
// Counts are a WORD, or 0xFFFF and a DWORD from 0xFFFF on. Objects follow the persistent
// object format: a null tag (0), a new class (0xFFFF, schema WORD, name length WORD, name)
// or a known class (0x8000 | index), then the object's own data; an object stored before is
// written as its index; indices from 0x7FFF on are written as 0x7FFF and a DWORD. Classes
// and objects share one index sequence starting at 1.
//
// Loading never trusts the bytes: reading past the end throws CArchiveException::endOfFile,
// unknown or unexpected classes badClass, an index that names nothing (or names a class where
// an object belongs, or the reverse) badIndex, a wrong schema badSchema. Memory grows only
// with the data actually read. Objects created while loading belong to the caller; after a
// failed load, DeleteLoadedObjects frees the ones this archive created.
//
// The archive buffers nBufSize bytes (at least 128); Close (or the destructor) writes the
// rest to the file. One archive belongs to one thread at a time.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "afx_types.h"
#include "cstring.h"

class CFile;
class CObject;
struct CRuntimeClass;

class CArchive {
 public:
  enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

  // lpBuf: an optional caller buffer of nBufSize bytes to use instead of an own one.
  CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsLoading() const { return (m_nMode & load) != 0; }
  BOOL IsStoring() const { return (m_nMode & load) == 0; }
  BOOL IsByteSwapping() const { return FALSE; }
  // Loading: nothing is left in the buffer (the file may hold more).
  BOOL IsBufferEmpty() const { return m_lpBufCur == m_lpBufMax; }
  CFile* GetFile() const { return m_pFile; }

  // The schema of the object being loaded (for versionable classes), once; then (UINT)-1.
  UINT GetObjectSchema();
  void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

  // Raw bytes. Read returns fewer than nMax bytes only at the end of the data.
  UINT Read(void* lpBuf, UINT nMax);
  void Write(const void* lpBuf, UINT nMax);
  // Text without a terminator; ReadString reads to a line feed (dropping CR LF or LF).
  void WriteString(LPCTSTR lpsz);
  BOOL ReadString(CString& rString);

  // Storing: writes the buffer to the file. Loading: gives back unread buffered bytes by
  // moving the file position back to just behind what was consumed.
  void Flush();
  // Flushes and detaches from the file; the file stays open.
  void Close();
  // Detaches without writing what is buffered.
  void Abort();

  CArchive& operator<<(BYTE by);
  CArchive& operator<<(WORD w);
  CArchive& operator<<(LONG l);
  CArchive& operator<<(DWORD dw);
  CArchive& operator<<(float f);
  CArchive& operator<<(double d);
  CArchive& operator<<(char ch) { return *this << (BYTE)ch; }
  CArchive& operator<<(signed char ch) { return *this << (BYTE)ch; }
  CArchive& operator<<(short w) { return *this << (WORD)w; }
  CArchive& operator<<(LONGLONG n);
  CArchive& operator<<(ULONGLONG n);
  CArchive& operator<<(const CObject* pOb) {
    WriteObject(pOb);
    return *this;
  }

  CArchive& operator>>(BYTE& by);
  CArchive& operator>>(WORD& w);
  CArchive& operator>>(LONG& l);
  CArchive& operator>>(DWORD& dw);
  CArchive& operator>>(float& f);
  CArchive& operator>>(double& d);
  CArchive& operator>>(char& ch) { return *this >> reinterpret_cast<BYTE&>(ch); }
  CArchive& operator>>(signed char& ch) { return *this >> reinterpret_cast<BYTE&>(ch); }
  CArchive& operator>>(short& w) { return *this >> reinterpret_cast<WORD&>(w); }
  CArchive& operator>>(LONGLONG& n);
  CArchive& operator>>(ULONGLONG& n);
  CArchive& operator>>(CObject*& pOb) {
    pOb = ReadObject(nullptr);
    return *this;
  }
  CArchive& operator>>(const CObject*& pOb) {
    pOb = ReadObject(nullptr);
    return *this;
  }

  void WriteCount(DWORD dwCount);
  DWORD ReadCount();

  void WriteObject(const CObject* pOb);
  // An object of pClassRefRequested (or a class derived from it; any class when null).
  CObject* ReadObject(const CRuntimeClass* pClassRefRequested);
  void WriteClass(const CRuntimeClass* pClassRef);
  // Reads a class tag. When pObTag is given, an object tag is accepted too: then the result
  // is null and *pObTag the object index.
  CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr,
                           UINT* pSchema = nullptr, DWORD* pObTag = nullptr);
  void SerializeClass(const CRuntimeClass* pClassRef);
  // Gives an object an index without writing it, so that later references find it.
  void MapObject(const CObject* pOb);

  // After a failed load: deletes every object this archive created. Only for object graphs in
  // which no loaded object deletes another.
  void DeleteLoadedObjects();

  CString m_strFileName;

 private:
  struct LoadEntry {
    void* p;  // CObject* or CRuntimeClass*
    bool isClass;
    bool created;  // made by this archive (not mapped by the caller)
    UINT schema;   // for classes: the schema read from the archive
  };

  void CheckStoring() const;
  void CheckLoading() const;
  // Loading: makes at least nBytes readable in the buffer or throws endOfFile.
  void FillBuffer(UINT nBytes);
  // Storing: makes room for nBytes in the buffer.
  void Reserve(UINT nBytes);
  void PutLE(ULONGLONG v, UINT nBytes);
  ULONGLONG GetLE(UINT nBytes);
  void CheckCount() const;
  void InitMaps();
  DWORD ReadObjectTag(WORD* pwTag);

  CFile* m_pFile;
  UINT m_nMode;
  UINT m_nBufSize;
  std::unique_ptr<BYTE[]> m_ownBuf;
  BYTE* m_lpBufStart;
  BYTE* m_lpBufCur;
  BYTE* m_lpBufMax;
  UINT m_nObjectSchema;
  DWORD m_nMapCount;
  std::unordered_map<const void*, DWORD> m_storeMap;
  std::vector<LoadEntry> m_loadArray;
  bool m_bMapsReady;
};

CArchive& operator<<(CArchive& ar, const CString& s);
CArchive& operator>>(CArchive& ar, CString& s);
