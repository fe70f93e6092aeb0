#include "cobarray.h"

#include <stdexcept>

#include "carchive.h"

IMPLEMENT_SERIAL(CObArray, CObject, 0)

void CObArray::CheckIndex(int nIndex) const {
  if (nIndex < 0 || nIndex >= (int)m_data.size()) throw std::out_of_range("CObArray index");
}

void CObArray::SetSize(int nNewSize, int) {
  if (nNewSize < 0) throw std::out_of_range("CObArray size");
  m_data.resize((std::size_t)nNewSize, nullptr);
}

CObject* CObArray::GetAt(int nIndex) const {
  CheckIndex(nIndex);
  return m_data[(std::size_t)nIndex];
}

void CObArray::SetAt(int nIndex, CObject* newElement) {
  CheckIndex(nIndex);
  m_data[(std::size_t)nIndex] = newElement;
}

CObject*& CObArray::ElementAt(int nIndex) {
  CheckIndex(nIndex);
  return m_data[(std::size_t)nIndex];
}

void CObArray::SetAtGrow(int nIndex, CObject* newElement) {
  if (nIndex < 0) throw std::out_of_range("CObArray index");
  if (nIndex >= (int)m_data.size()) m_data.resize((std::size_t)nIndex + 1, nullptr);
  m_data[(std::size_t)nIndex] = newElement;
}

int CObArray::Add(CObject* newElement) {
  m_data.push_back(newElement);
  return (int)m_data.size() - 1;
}

int CObArray::Append(const CObArray& src) {
  int at = (int)m_data.size();
  if (&src == this) {
    std::vector<CObject*> copy(src.m_data);
    m_data.insert(m_data.end(), copy.begin(), copy.end());
  } else {
    m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
  }
  return at;
}

void CObArray::Copy(const CObArray& src) {
  if (&src != this) m_data = src.m_data;
}

void CObArray::InsertAt(int nIndex, CObject* newElement, int nCount) {
  if (nIndex < 0 || nCount < 0) throw std::out_of_range("CObArray index");
  if (nCount == 0) return;
  if (nIndex >= (int)m_data.size()) {
    m_data.resize((std::size_t)nIndex, nullptr);
    m_data.insert(m_data.end(), (std::size_t)nCount, newElement);
  } else {
    m_data.insert(m_data.begin() + nIndex, (std::size_t)nCount, newElement);
  }
}

void CObArray::InsertAt(int nStartIndex, CObArray* pNewArray) {
  if (pNewArray == nullptr || pNewArray->m_data.empty()) return;
  std::vector<CObject*> copy(pNewArray->m_data);
  InsertAt(nStartIndex, nullptr, (int)copy.size());
  for (std::size_t i = 0; i < copy.size(); ++i) m_data[(std::size_t)nStartIndex + i] = copy[i];
}

void CObArray::RemoveAt(int nIndex, int nCount) {
  if (nIndex < 0 || nCount < 0 || (long long)nIndex + nCount > (long long)m_data.size())
    throw std::out_of_range("CObArray index");
  m_data.erase(m_data.begin() + nIndex, m_data.begin() + nIndex + nCount);
}

void CObArray::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    ar.WriteCount((DWORD)m_data.size());
    for (CObject* p : m_data) ar << p;
  } else {
    // The elements are appended as they arrive: a count larger than the data ends in
    // endOfFile, not in an allocation of that size.
    DWORD nCount = ar.ReadCount();
    m_data.clear();
    for (DWORD i = 0; i < nCount; ++i) {
      CObject* p = nullptr;
      ar >> p;
      m_data.push_back(p);
    }
  }
}
