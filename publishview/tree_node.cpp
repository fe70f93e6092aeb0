#include "tree_node.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "publish_object.h"

namespace {

// The live nodes: a set of addresses with open addressing (linear probing, and on removal the
// entries after a gap moved back into it), so that making the node list of a large tree costs
// no allocation per node.
class NodeSet {
 public:
  bool Contains(const CTreeNode* node) const {
    if (!node || slots_.empty()) return false;
    for (size_t i = Home(node);; i = Next(i)) {
      if (slots_[i] == node) return true;
      if (!slots_[i]) return false;
    }
  }
  void Insert(const CTreeNode* node) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    size_t i = Home(node);
    for (; slots_[i]; i = Next(i))
      if (slots_[i] == node) return;
    slots_[i] = node;
    ++count_;
  }
  void Erase(const CTreeNode* node) {
    if (!node || slots_.empty()) return;
    size_t gap = Home(node);
    for (; slots_[gap] != node; gap = Next(gap))
      if (!slots_[gap]) return;
    slots_[gap] = nullptr;
    --count_;
    // An entry after the gap moves back into it unless its home lies after the gap, up to it.
    for (size_t j = Next(gap); slots_[j]; j = Next(j)) {
      size_t home = Home(slots_[j]);
      bool stays = gap < j ? (home > gap && home <= j) : (home > gap || home <= j);
      if (stays) continue;
      slots_[gap] = slots_[j];
      slots_[j] = nullptr;
      gap = j;
    }
  }
  std::vector<const CTreeNode*> All() const {
    std::vector<const CTreeNode*> all;
    all.reserve(count_);
    for (const CTreeNode* n : slots_)
      if (n) all.push_back(n);
    return all;
  }

 private:
  size_t Home(const CTreeNode* node) const {
    std::uint64_t x = reinterpret_cast<std::uintptr_t>(node);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<size_t>(x) & (slots_.size() - 1);
  }
  size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }
  void Grow() {
    std::vector<const CTreeNode*> old(std::max<size_t>(64, slots_.size() * 2), nullptr);
    old.swap(slots_);
    count_ = 0;
    for (const CTreeNode* n : old)
      if (n) Insert(n);
  }

  std::vector<const CTreeNode*> slots_;  // a power of two of them once any was added
  size_t count_ = 0;
};

NodeSet& LiveNodes() {
  static NodeSet nodes;
  return nodes;
}

}  // namespace

CTreeNode::CTreeNode(CPublishObject* object, CTreeNode* parent) : m_pObject(object) {
  LiveNodes().Insert(this);
  if (parent && IsLive(parent)) parent->AddChild(this);
}

CTreeNode::~CTreeNode() {
  if (m_pParent) m_pParent->RemoveChild(this);
  // Children left behind become parentless rather than pointing at freed memory.
  for (CTreeNode* c = m_pFirstChild; c;) {
    CTreeNode* next = c->m_pNext;
    c->m_pParent = nullptr;
    c->m_pNext = nullptr;
    c = next;
  }
  m_pFirstChild = m_pLastChild = nullptr;
  LiveNodes().Erase(this);
}

void CTreeNode::AddChild(CTreeNode* child) {
  if (!child || child == this) return;
  if (child->m_pParent) child->m_pParent->RemoveChild(child);
  child->m_pParent = this;
  child->m_pNext = nullptr;
  if (m_pLastChild)
    m_pLastChild->m_pNext = child;
  else
    m_pFirstChild = child;
  m_pLastChild = child;
}

BOOL CTreeNode::RemoveChild(CTreeNode* child) {
  CTreeNode* before = nullptr;
  for (CTreeNode** at = &m_pFirstChild; *at; before = *at, at = &(*at)->m_pNext) {
    if (*at == child) {
      *at = child->m_pNext;
      if (m_pLastChild == child) m_pLastChild = before;
      child->m_pNext = nullptr;
      child->m_pParent = nullptr;
      return TRUE;
    }
  }
  return FALSE;
}

int CTreeNode::ChildCount() const {
  int n = 0;
  for (CTreeNode* c = m_pFirstChild; c; c = c->m_pNext) ++n;
  return n;
}

bool CTreeNode::IsLive(const CTreeNode* node) { return LiveNodes().Contains(node); }

void CTreeNode::FreeAll() {
  std::vector<const CTreeNode*> all = LiveNodes().All();
  for (const CTreeNode* n : all) {
    auto* node = const_cast<CTreeNode*>(n);
    // Unlink first so that no destructor walks a freed neighbour.
    node->m_pParent = nullptr;
    node->m_pFirstChild = nullptr;
    node->m_pLastChild = nullptr;
    node->m_pNext = nullptr;
  }
  for (const CTreeNode* n : all) {
    auto* node = const_cast<CTreeNode*>(n);
    if (node->m_pObject) node->m_pObject->AttachNode(nullptr);
    delete node;
  }
}
