#include "tree_node.h"

#include <unordered_set>
#include <vector>

#include "publish_object.h"

namespace {
std::unordered_set<const CTreeNode*>& LiveNodes() {
  static std::unordered_set<const CTreeNode*> nodes;
  return nodes;
}
}  // namespace

CTreeNode::CTreeNode(CPublishObject* object, CTreeNode* parent) : m_pObject(object) {
  LiveNodes().insert(this);
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
  LiveNodes().erase(this);
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

bool CTreeNode::IsLive(const CTreeNode* node) { return node && LiveNodes().count(node) != 0; }

void CTreeNode::FreeAll() {
  std::vector<const CTreeNode*> all(LiveNodes().begin(), LiveNodes().end());
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
