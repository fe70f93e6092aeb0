#include "cmapstringtostring.h"

#include <cstring>

#include "carchive.h"
#include "carchiveexception.h"
#include "cmemoryexception.h"

IMPLEMENT_SERIAL(CMapStringToString, CObject, 0)

CMapStringToString::CMapStringToString(int nBlockSize)
    : m_pHashTable(nullptr),
      m_nHashTableSize(17),
      m_nCount(0),
      m_pFreeList(nullptr),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

CMapStringToString::~CMapStringToString() { RemoveAll(); }

UINT CMapStringToString::HashKey(LPCTSTR key) {
  UINT nHash = 0;
  // The original's characters are signed: bytes from 0x80 on add a negative amount.
  while (*key) nHash = (nHash << 5) + nHash + (UINT)(int)(signed char)*key++;
  return nHash;
}

void CMapStringToString::InitHashTable(UINT hashSize, BOOL bAllocNow) {
  if (m_nCount != 0 || hashSize == 0) return;
  delete[] m_pHashTable;
  m_pHashTable = nullptr;
  if (bAllocNow) m_pHashTable = new CAssoc*[hashSize]();
  m_nHashTableSize = hashSize;
}

void CMapStringToString::RemoveAll() {
  delete[] m_pHashTable;
  m_pHashTable = nullptr;
  m_nCount = 0;
  m_pFreeList = nullptr;
  m_blocks.clear();
}

CMapStringToString::CAssoc* CMapStringToString::NewAssoc() {
  if (m_pFreeList == nullptr) {
    std::unique_ptr<CAssoc[]> block(new CAssoc[(std::size_t)m_nBlockSize]);
    // Chain the new block's entries onto the free list, last first, as the original does.
    for (int i = m_nBlockSize - 1; i >= 0; --i) {
      block[i].pNext = m_pFreeList;
      m_pFreeList = &block[i];
    }
    m_blocks.push_back(std::move(block));
  }
  CAssoc* p = m_pFreeList;
  m_pFreeList = p->pNext;
  ++m_nCount;
  return p;
}

void CMapStringToString::FreeAssoc(CAssoc* pAssoc) {
  pAssoc->key.Empty();
  pAssoc->value.Empty();
  pAssoc->pNext = m_pFreeList;
  m_pFreeList = pAssoc;
  if (--m_nCount == 0) RemoveAll();
}

CMapStringToString::CAssoc* CMapStringToString::GetAssocAt(LPCTSTR key, UINT& nHash) const {
  nHash = HashKey(key) % m_nHashTableSize;
  if (m_pHashTable == nullptr) return nullptr;
  for (CAssoc* p = m_pHashTable[nHash]; p; p = p->pNext)
    if (p->key == key) return p;
  return nullptr;
}

BOOL CMapStringToString::Lookup(LPCTSTR key, CString& rValue) const {
  UINT nHash;
  CAssoc* p = GetAssocAt(key ? key : "", nHash);
  if (p == nullptr) return FALSE;
  rValue = p->value;
  return TRUE;
}

BOOL CMapStringToString::LookupKey(LPCTSTR key, LPCTSTR& rKey) const {
  UINT nHash;
  CAssoc* p = GetAssocAt(key ? key : "", nHash);
  if (p == nullptr) return FALSE;
  rKey = p->key;
  return TRUE;
}

CString& CMapStringToString::operator[](LPCTSTR key) {
  if (key == nullptr) key = "";
  UINT nHash;
  CAssoc* p = GetAssocAt(key, nHash);
  if (p == nullptr) {
    if (m_pHashTable == nullptr) InitHashTable(m_nHashTableSize);
    p = NewAssoc();
    p->nHashValue = nHash;
    p->key = key;
    p->pNext = m_pHashTable[nHash];
    m_pHashTable[nHash] = p;
  }
  return p->value;
}

BOOL CMapStringToString::RemoveKey(LPCTSTR key) {
  if (m_pHashTable == nullptr || key == nullptr) return FALSE;
  CAssoc** ppPrev = &m_pHashTable[HashKey(key) % m_nHashTableSize];
  for (CAssoc* p = *ppPrev; p; p = p->pNext) {
    if (p->key == key) {
      *ppPrev = p->pNext;
      FreeAssoc(p);
      return TRUE;
    }
    ppPrev = &p->pNext;
  }
  return FALSE;
}

void CMapStringToString::GetNextAssoc(POSITION& rNextPosition, CString& rKey,
                                      CString& rValue) const {
  if (rNextPosition == nullptr || m_pHashTable == nullptr) {
    rNextPosition = nullptr;
    return;
  }
  CAssoc* pRet = reinterpret_cast<CAssoc*>(rNextPosition);
  if (rNextPosition == BEFORE_START_POSITION) {
    pRet = nullptr;
    for (UINT b = 0; b < m_nHashTableSize && pRet == nullptr; ++b) pRet = m_pHashTable[b];
    if (pRet == nullptr) {
      rNextPosition = nullptr;
      return;
    }
  }
  CAssoc* pNext = pRet->pNext;
  if (pNext == nullptr) {
    for (UINT b = pRet->nHashValue % m_nHashTableSize + 1; b < m_nHashTableSize; ++b) {
      if ((pNext = m_pHashTable[b]) != nullptr) break;
    }
  }
  rNextPosition = reinterpret_cast<POSITION>(pNext);
  rKey = pRet->key;
  rValue = pRet->value;
}

void CMapStringToString::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    ar.WriteCount((DWORD)m_nCount);
    if (m_nCount == 0) return;
    for (UINT b = 0; b < m_nHashTableSize; ++b)
      for (CAssoc* p = m_pHashTable ? m_pHashTable[b] : nullptr; p; p = p->pNext)
        ar << p->key << p->value;
  } else {
    // Each pair takes at least two bytes, so a count beyond the data ends in endOfFile while
    // reading rather than in a huge allocation.
    DWORD nNewCount = ar.ReadCount();
    for (DWORD i = 0; i < nNewCount; ++i) {
      CString key, value;
      ar >> key >> value;
      SetAt(key, value);
    }
  }
}
