// CPublishObject: what the view asks of a folder or file of the host. The host implements it
// and owns the objects; the view only arranges them in its nodes, asks them for names, images,
// dates and permissions, and tells them what changed. Calls come on the view's thread.
// CTreeNode and ChangeRecord are the view's own records that these operations exchange.
#pragma once

#include "platform/kernel/export.h"
#include "platform/mfc/cstring.h"
#include "platform/user/gdi.h"
#include "platform/user/wnd.h"

class CTreeNode;
struct ChangeRecord;

// Attribute flags of GetAttributes.
constexpr BYTE kPublishReadOnly = 0x01;   // "R"; the folder may not be deleted
constexpr BYTE kPublishExcluded = 0x02;   // "D"; the tree marks it with state image 2
constexpr BYTE kPublishNewFolder = 0x10;  // created in this view

// Image states of GetImage (the tree adds the attribute flags).
constexpr int kImageNormal = 0;
constexpr int kImageSelected = 8;
// GetImage's answer when GetIcon gives the image.
constexpr int kImageFromIcon = 1;

class HALYARD_EXPORT CPublishObject {
 public:
  virtual void GetName(CString& name) = 0;
  virtual void SetName(const CString& name) = 0;
  // The host's properties dialog; a new ChangeRecord (allocated with new) describing what it
  // changed, which the view pushes and then deletes, or null.
  virtual ChangeRecord* ShowProperties(CWnd* parent) = 0;
  virtual BYTE GetAttributes() = 0;
  virtual int GetImage(int state) = 0;
  virtual HICON GetIcon() = 0;
  // A new bitmap for the image identifier; the view copies it and deletes the handle.
  virtual HBITMAP GetBitmap(int image) = 0;
  // Image identifiers of the overlay images 1 and 2.
  virtual int GetOverlayImage(int n) = 0;
  virtual BOOL CanCut() = 0;
  virtual BOOL CanAccept(CPublishObject* child) = 0;
  virtual BOOL CanRename() = 0;
  // The view's node for this object (null when the view lets go of it).
  virtual void AttachNode(CTreeNode* node) = 0;
  virtual CTreeNode* GetNode() = 0;
  virtual void GetSortKey(CString& key) = 0;
  virtual void GetTypeText(CString& text) = 0;
  // The object deletes itself; abandoned is 1 for a just-created folder the view gives up.
  virtual void Destroy(int abandoned) = 0;
  virtual BOOL IsFile() = 0;
  virtual CPublishObject* CreateFolder() = 0;
  virtual BOOL CanAddFolder() = 0;
  // Seconds since 1970; 0 never published, -1 not applicable.
  virtual LONG GetRemotePublishTime() = 0;
  virtual BOOL IsChanged() = 0;
  virtual BOOL NeedsRemotePublish() = 0;
  virtual BOOL NeedsLocalPublish() = 0;
  virtual LONG GetLocalPublishTime() = 0;
  // Told once the view has made a change (pushed or redone), and once it has undone one.
  virtual void OnChange(ChangeRecord* change) = 0;
  virtual void OnUndo(ChangeRecord* change) = 0;

 protected:
  // Out of line: the library holds the class's type information and virtual table.
  virtual ~CPublishObject();
};
