// CMapStringToString: a hash map from CString to CString that hashes, stores and iterates
// exactly as the original, because callers write out entries in the order the map gives:
// a table of 17 buckets unless InitHashTable says otherwise, the hash h = h * 33 + c over the
// key's bytes taken as signed chars, buckets walked in ascending order, and within a bucket
// the most recently added key first. Entries are allocated in blocks (10 by default) and
// reused after removal. A map belongs to one thread at a time.
#pragma once

#include <memory>
#include <vector>

#include "afx_types.h"
#include "cobject.h"
#include "cstring.h"

class CMapStringToString : public CObject {
  DECLARE_SERIAL(CMapStringToString)

 public:
  explicit CMapStringToString(int nBlockSize = 10);
  ~CMapStringToString() override;

  int GetCount() const { return m_nCount; }
  int GetSize() const { return m_nCount; }
  BOOL IsEmpty() const { return m_nCount == 0; }

  BOOL Lookup(LPCTSTR key, CString& rValue) const;
  BOOL LookupKey(LPCTSTR key, LPCTSTR& rKey) const;
  // The value for key, added (empty) when missing.
  CString& operator[](LPCTSTR key);
  void SetAt(LPCTSTR key, LPCTSTR newValue) { (*this)[key] = newValue; }
  BOOL RemoveKey(LPCTSTR key);
  void RemoveAll();

  // Null when the map is empty.
  POSITION GetStartPosition() const { return m_nCount == 0 ? nullptr : BEFORE_START_POSITION; }
  // Yields the entry at rNextPosition and advances it (null after the last entry).
  void GetNextAssoc(POSITION& rNextPosition, CString& rKey, CString& rValue) const;

  UINT GetHashTableSize() const { return m_nHashTableSize; }
  // Sets the number of buckets; only while the map is empty (otherwise ignored, so that no
  // entry is lost).
  void InitHashTable(UINT hashSize, BOOL bAllocNow = TRUE);
  // The original's string hash, before it is reduced to a bucket.
  static UINT HashKey(LPCTSTR key);

  // Count, then each key and value in iteration order; loading adds the pairs read.
  void Serialize(CArchive& ar) override;

 protected:
  struct CAssoc {
    CAssoc* pNext;
    UINT nHashValue;  // the bucket index
    CString key;
    CString value;
  };
  CAssoc* NewAssoc();
  void FreeAssoc(CAssoc* pAssoc);
  CAssoc* GetAssocAt(LPCTSTR key, UINT& nHash) const;

  CAssoc** m_pHashTable;
  UINT m_nHashTableSize;
  int m_nCount;
  CAssoc* m_pFreeList;
  std::vector<std::unique_ptr<CAssoc[]>> m_blocks;
  int m_nBlockSize;
};
