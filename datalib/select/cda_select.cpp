#include "cda_select.h"

#include <istream>
#include <memory>
#include <ostream>
#include <unordered_set>
#include <vector>

#include "cda_complex_select.h"
#include "cda_type_select.h"
#include "datalib/support/csf_mem_file.h"
#include "datalib/values/cpd_buffer.h"
#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cobarray.h"
#include "select_stream.h"

IMPLEMENT_SERIAL(CDASelect, CObject, 0)

namespace {

thread_local int t_streamDepth = 0;
// The complex selections read by the mRetrieveData in progress (null outside one).
thread_local std::vector<CObject*>* t_loadedComplex = nullptr;

}  // namespace

namespace vaultkit {

void WriteSelectNumber(std::ostream& os, LONG value) { WriteTaggedNumber(os, 'U', value); }

bool ReadSelectLetter(std::istream& is, char expected) {
  is >> std::ws;
  if (is.get() != expected) {
    is.setstate(std::ios::failbit);
    return false;
  }
  return true;
}

bool ReadSelectNumber(std::istream& is, LONG& value) {
  if (!ReadSelectLetter(is, 'U')) return false;
  long long n = 0;
  if (!(is >> n) || n < -2147483648LL || n > 2147483647LL) {
    is.setstate(std::ios::failbit);
    return false;
  }
  value = static_cast<LONG>(n);
  is.get();  // the blank behind the number; a missing one at the end is harmless
  if (is.eof()) is.clear(is.rdstate() & ~std::ios::failbit);
  return true;
}

SelectDepthGuard::SelectDepthGuard() { ++t_streamDepth; }
SelectDepthGuard::~SelectDepthGuard() { --t_streamDepth; }
bool SelectDepthGuard::mOverflow() const { return t_streamDepth > kMaxSelectDepth; }

void NoteLoadedComplex(CDAComplexSelect* select) {
  if (t_loadedComplex != nullptr) t_loadedComplex->push_back(static_cast<CObject*>(select));
}

void DeleteSelectTree(CDASelect* root) {
  if (root == nullptr) return;
  // Collect every node once, then cut the lists so that no owner deletes a part twice.
  std::vector<CObject*> nodes;
  std::unordered_set<CObject*> seen;
  std::vector<CObject*> pending{root};
  while (!pending.empty()) {
    auto* node = static_cast<CDASelect*>(pending.back());
    pending.pop_back();
    if (node == nullptr || !seen.insert(node).second) continue;
    nodes.push_back(node);
    if (auto* complex = dynamic_cast<CDAComplexSelect*>(node)) {
      for (LONG i = 0; i < complex->mGetNumSelects(); ++i)
        pending.push_back(complex->mGetSelect(i));
      complex->mRemoveAllSelects();
    }
  }
  for (CObject* node : nodes) delete node;
}

}  // namespace vaultkit

namespace {

// True when every node below the roots is reached once: no shared parts, no cycles.
bool IsProperForest(const std::vector<CObject*>& roots) {
  std::unordered_set<CObject*> seen;
  std::vector<CObject*> pending(roots);
  while (!pending.empty()) {
    auto* node = static_cast<CDASelect*>(pending.back());
    pending.pop_back();
    if (node == nullptr) continue;
    if (!seen.insert(node).second) return false;
    if (auto* complex = dynamic_cast<CDAComplexSelect*>(node)) {
      for (LONG i = 0; i < complex->mGetNumSelects(); ++i)
        pending.push_back(complex->mGetSelect(i));
    }
  }
  return true;
}

}  // namespace

CDASelect::~CDASelect() = default;

void CDASelect::Serialize(CArchive& ar) { CObject::Serialize(ar); }

CObject* CDASelect::mProcessSelect(CDADataIterator*) { return nullptr; }
CObject* CDASelect::mProcessSelect(CDADatabase*) { return nullptr; }
int CDASelect::mIsComplex() { return 0; }
CPDStringArray* CDASelect::mGetLogicalOperatorList() { return nullptr; }
void CDASelect::Serialize(std::istream&) {}
void CDASelect::Serialize(std::ostream&) {}

void CDASelect::mStoreData(CPDBuffer* buffer) {
  if (buffer == nullptr) return;
  CSFMemFile file;
  CArchive ar(&file, CArchive::store, 4096);
  CObArray list;
  list.Add(this);
  list.Serialize(ar);
  ar.Close();
  file.mGetBufferCopy(buffer);
}

CDASelect* CDASelect::mRetrieveData(CPDBuffer* buffer) {
  if (buffer == nullptr || buffer->mGetLength() <= 0 || buffer->mGetBuffer() == nullptr) {
    return nullptr;
  }
  CSFMemFile file;
  file.mAttachBuffer(buffer);
  CArchive ar(&file, CArchive::load, 4096);
  std::vector<CObject*> loadedComplex;
  std::vector<CObject*> elements;
  t_loadedComplex = &loadedComplex;
  // Undoes a load: the lists are cut first so that the archive deletes each object once.
  auto discard = [&]() {
    for (CObject* c : loadedComplex) static_cast<CDAComplexSelect*>(c)->mRemoveAllSelects();
    ar.DeleteLoadedObjects();
    ar.Abort();
    t_loadedComplex = nullptr;
  };
  try {
    // The CObArray's own form, with every element required to be a selection.
    DWORD count = ar.ReadCount();
    for (DWORD i = 0; i < count; ++i) {
      elements.push_back(ar.ReadObject(RUNTIME_CLASS(CDASelect)));
    }
  } catch (...) {
    discard();
    throw;
  }
  t_loadedComplex = nullptr;
  // Shared parts, or a part that contains its own ancestor, can be neither owned nor walked.
  if (!IsProperForest(elements)) {
    t_loadedComplex = &loadedComplex;
    discard();
    AfxThrowArchiveException(CArchiveException::badIndex);
  }
  auto* first = static_cast<CDASelect*>(elements.empty() ? nullptr : elements.front());
  // Elements behind the first are not handed out.
  for (size_t i = 1; i < elements.size(); ++i) {
    vaultkit::DeleteSelectTree(static_cast<CDASelect*>(elements[i]));
  }
  ar.Close();
  return first;
}

CDASelect* CDASelect::mGetSelectHandler(LONG kind) {
  switch (kind) {
    case 0:
      return new CDAStringSelect(0, 0, CPDString(), -1);
    case 1:
      return new CDALongSelect(0, 0, 0, -1);
    case 7:
      return new CDAAndSelect();
    case 8:
      return new CDAOrSelect();
    default:
      return nullptr;
  }
}

CDASelect* CDASelect::mNew(std::istream& is) {
  char letter = 0;
  if (!(is >> letter)) return nullptr;
  CDASelect* select = nullptr;
  switch (letter) {
    case 'E':
      select = new CDAOrSelect();
      break;
    case 'F':
      select = new CDAAndSelect();
      break;
    case 'G':
      select = new CDALongSelect();
      break;
    case 'H':
      select = new CDAStringSelect();
      break;
    default:
      return nullptr;
  }
  select->Serialize(is);
  if (is.fail()) {
    vaultkit::DeleteSelectTree(select);
    return nullptr;
  }
  return select;
}

std::ostream& operator<<(std::ostream& os, CDASelect& select) {
  select.Serialize(os);
  return os;
}

std::istream& operator>>(std::istream& is, CDASelect& select) {
  select.Serialize(is);
  return is;
}
