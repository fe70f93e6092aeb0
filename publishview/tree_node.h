// CTreeNode: the view's node for one host object: the object, the parent node, the first child
// and the next sibling, and the row of the tree that shows it (null when not shown). A node
// adds itself to its parent when made. Nodes are made by the view and by the host while it
// fills the node list, and freed by the view (Reset, destruction); every live node is known,
// so that a stale node handed in from outside is recognised and refused. View thread only.
#pragma once

#include "platform/kernel/export.h"
#include "platform/user/commctrl.h"

class CPublishObject;

class HALYARD_EXPORT CTreeNode {
 public:
  CTreeNode(CPublishObject* object, CTreeNode* parent);
  ~CTreeNode();
  CTreeNode(const CTreeNode&) = delete;
  CTreeNode& operator=(const CTreeNode&) = delete;

  // Appends the child (taking it from any former parent).
  void AddChild(CTreeNode* child);
  // Unlinks the child; FALSE when it is not a child of this node.
  BOOL RemoveChild(CTreeNode* child);
  int ChildCount() const;

  static bool IsLive(const CTreeNode* node);
  // Frees every live node (the objects are told with AttachNode(null)).
  static void FreeAll();

  CPublishObject* m_pObject;
  CTreeNode* m_pParent = nullptr;
  CTreeNode* m_pFirstChild = nullptr;
  CTreeNode* m_pNext = nullptr;
  HTREEITEM m_hItem = nullptr;

 private:
  // The end of the child list, so that appending does not walk it.
  CTreeNode* m_pLastChild = nullptr;
};
