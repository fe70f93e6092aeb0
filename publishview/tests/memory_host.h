// A host kept in memory for the view's tests: folders and files whose every answer the test
// sets, which record what the view told them. Objects live as long as the host.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "publishview/change_record.h"
#include "publishview/publish_object.h"
#include "publishview/tree_node.h"

namespace outfold_test {

class MemoryHost;

class MemoryObject : public CPublishObject {
 public:
  MemoryObject(MemoryHost* host, std::string name, bool file)
      : host_(host), name(std::move(name)), file(file) {}

  void GetName(CString& out) override {
    if (nameCycle) {
      // Answers every probe of a new name as if that name were taken.
      out = cycleCount == 0 ? CString("New Folder")
                            : CString(("New Folder (" + std::to_string(cycleCount) + ")").c_str());
      ++cycleCount;
      return;
    }
    out = name.c_str();
  }
  void SetName(const CString& n) override {
    if (refuseNames) return;
    name = static_cast<LPCSTR>(n);
  }
  ChangeRecord* ShowProperties(CWnd*) override {
    ++propertiesShown;
    if (!propertiesKind) return nullptr;
    auto* r = new ChangeRecord;
    r->m_pObject = this;
    r->m_nKind = propertiesKind;
    if (propertiesKind == kChangeSettings)
      r->m_dwData = reinterpret_cast<DWORD_PTR>(new CString("old settings"));
    r->m_strName = "props";
    return r;
  }
  BYTE GetAttributes() override { return attrs; }
  int GetImage(int state) override { return file ? 300 : ((state & kImageSelected) ? 201 : 200); }
  HICON GetIcon() override { return nullptr; }
  HBITMAP GetBitmap(int image) override {
    ++bitmapsAsked;
    return CreateFilledBitmap(16, 16, image == 300 ? RGB(0, 0, 255) : RGB(255, 255, 0));
  }
  int GetOverlayImage(int n) override { return 400 + n; }
  BOOL CanCut() override { return canCut; }
  BOOL CanAccept(CPublishObject*) override { return canAccept; }
  BOOL CanRename() override { return canRename; }
  void AttachNode(CTreeNode* n) override { node = n; }
  CTreeNode* GetNode() override { return node; }
  void GetSortKey(CString& key) override { key = name.c_str(); }
  void GetTypeText(CString& text) override { text = type.c_str(); }
  void Destroy(int abandoned) override {
    destroyed = true;
    destroyedAbandoned = abandoned;
  }
  BOOL IsFile() override { return file; }
  CPublishObject* CreateFolder() override;
  BOOL CanAddFolder() override { return canAdd; }
  LONG GetRemotePublishTime() override { return remote; }
  BOOL IsChanged() override { return changed; }
  BOOL NeedsRemotePublish() override { return needsRemote; }
  BOOL NeedsLocalPublish() override { return needsLocal; }
  LONG GetLocalPublishTime() override { return local; }
  void OnChange(ChangeRecord* c) override { told.push_back(c->m_nKind); }
  void OnUndo(ChangeRecord* c) override { told.push_back(-c->m_nKind); }

  MemoryHost* host_;
  std::string name;
  bool file;
  std::string type = "Folder";
  BYTE attrs = 0;
  LONG remote = 0, local = -1;
  BOOL changed = FALSE, needsRemote = FALSE, needsLocal = FALSE;
  BOOL canCut = TRUE, canAccept = TRUE, canRename = TRUE, canAdd = TRUE;
  bool failCreate = false, refuseNames = false, nameCycle = false;
  int cycleCount = 0;
  int propertiesKind = 0, propertiesShown = 0, bitmapsAsked = 0;
  bool destroyed = false;
  int destroyedAbandoned = -1;
  CTreeNode* node = nullptr;
  std::vector<int> told;  // kinds told by OnChange, negated for OnUndo
};

class MemoryHost {
 public:
  MemoryObject* Make(const std::string& name, bool file = false) {
    objects.push_back(std::make_unique<MemoryObject>(this, name, file));
    if (file) objects.back()->type = "HTML Document";
    return objects.back().get();
  }
  // A child object with its node under the parent's node.
  MemoryObject* Add(MemoryObject* parent, const std::string& name, bool file = false) {
    MemoryObject* o = Make(name, file);
    auto* n = new CTreeNode(o, parent->node);
    o->AttachNode(n);
    return o;
  }
  std::vector<std::unique_ptr<MemoryObject>> objects;
};

inline CPublishObject* MemoryObject::CreateFolder() {
  if (failCreate) return nullptr;
  MemoryObject* o = host_->Make("");
  o->attrs = kPublishNewFolder;
  return o;
}

}  // namespace outfold_test
