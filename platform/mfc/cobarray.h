// CObArray: a growable array of CObject pointers. It does not own the objects it points to.
// Its archive form is a count (CArchive::WriteCount) followed by each element as an object
// (null, new, or a reference to one stored before). Indexing outside the array throws
// std::out_of_range instead of touching memory that is not there. One thread at a time.
#pragma once

#include <vector>

#include "afx_types.h"
#include "cobject.h"

class CObArray : public CObject {
  DECLARE_SERIAL(CObArray)

 public:
  CObArray() = default;
  ~CObArray() override = default;

  int GetSize() const { return (int)m_data.size(); }
  int GetCount() const { return (int)m_data.size(); }
  BOOL IsEmpty() const { return m_data.empty(); }
  int GetUpperBound() const { return (int)m_data.size() - 1; }
  // New slots are null. nGrowBy is accepted for compatibility; growth is amortised anyway.
  void SetSize(int nNewSize, int nGrowBy = -1);
  void FreeExtra() { m_data.shrink_to_fit(); }
  void RemoveAll() { m_data.clear(); }

  CObject* GetAt(int nIndex) const;
  void SetAt(int nIndex, CObject* newElement);
  CObject*& ElementAt(int nIndex);
  const CObject** GetData() const { return const_cast<const CObject**>(m_data.data()); }
  CObject** GetData() { return m_data.data(); }

  // Grows the array (with null slots) to reach nIndex.
  void SetAtGrow(int nIndex, CObject* newElement);
  // The index of the new element.
  int Add(CObject* newElement);
  // The index of the first appended element.
  int Append(const CObArray& src);
  void Copy(const CObArray& src);

  CObject* operator[](int nIndex) const { return GetAt(nIndex); }
  CObject*& operator[](int nIndex) { return ElementAt(nIndex); }

  // Inserts nCount copies of newElement at nIndex (which may be at or past the end).
  void InsertAt(int nIndex, CObject* newElement, int nCount = 1);
  void InsertAt(int nStartIndex, CObArray* pNewArray);
  void RemoveAt(int nIndex, int nCount = 1);

  void Serialize(CArchive& ar) override;

 private:
  void CheckIndex(int nIndex) const;
  std::vector<CObject*> m_data;
};
