// A host for the view over a real folder on disk: every folder and file under the root is a
// FolderObject, so that the view has something real to arrange. Moves, renames, new folders
// and deletions the view makes are carried out on disk when the view tells the objects of them
// (and undone on disk when it undoes them); a change the disk refuses is refused before the
// view records it. Publish times and the "not published" flag come from a small state file
// beside the root ("ROOT.outfold": lines of remote time, local time, "D" or "-", and the path
// under the root). The host owns its objects until it goes. Load touches no window and may run
// on another thread before Attach; everything else on the view's thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "publishview/page_wnd.h"
#include "publishview/publish_object.h"

namespace halyard::outfold {

class FolderHost;

class FolderObject : public CPublishObject {
 public:
  FolderObject(FolderHost* host, FolderObject* parent, std::string name, bool file, bool onDisk);
  ~FolderObject() override = default;

  void GetName(CString& name) override { name = name_.c_str(); }
  void SetName(const CString& name) override;
  ChangeRecord* ShowProperties(CWnd* parent) override;
  BYTE GetAttributes() override;
  int GetImage(int state) override;
  HICON GetIcon() override;
  HBITMAP GetBitmap(int image) override;
  int GetOverlayImage(int n) override { return n == 1 ? 110 : n == 2 ? 111 : 0; }
  BOOL CanCut() override { return parent_ != nullptr && !destroyed_; }
  BOOL CanAccept(CPublishObject* child) override;
  BOOL CanRename() override { return parent_ != nullptr && !destroyed_; }
  void AttachNode(CTreeNode* node) override { node_ = node; }
  CTreeNode* GetNode() override { return node_; }
  void GetSortKey(CString& key) override;
  void GetTypeText(CString& text) override;
  void Destroy(int abandoned) override;
  BOOL IsFile() override { return file_; }
  CPublishObject* CreateFolder() override;
  BOOL CanAddFolder() override;
  LONG GetRemotePublishTime() override { return remote_; }
  BOOL IsChanged() override;
  BOOL NeedsRemotePublish() override;
  BOOL NeedsLocalPublish() override;
  LONG GetLocalPublishTime() override { return local_; }
  void OnChange(ChangeRecord* change) override;
  void OnUndo(ChangeRecord* change) override;

  const std::string& Name() const { return name_; }
  FolderObject* Parent() const { return parent_; }
  bool OnDisk() const { return onDisk_; }
  bool Destroyed() const { return destroyed_; }
  // The object's path on disk (where it is, or would be).
  std::string Path() const;
  std::string RelativePath() const;

 private:
  friend class FolderHost;
  // Brings the disk in line with where the view's node puts the object.
  void Sync();
  long long ModifiedTime() const;

  FolderHost* host_;
  FolderObject* parent_;
  std::string name_;
  bool file_;
  bool onDisk_;
  bool created_ = false;
  bool excluded_ = false;
  bool destroyed_ = false;
  bool toggledByDialog_ = false;
  LONG remote_ = 0;
  LONG local_ = 0;
  CTreeNode* node_ = nullptr;
};

class FolderHost {
 public:
  explicit FolderHost(std::string root);
  ~FolderHost();
  FolderHost(const FolderHost&) = delete;
  FolderHost& operator=(const FolderHost&) = delete;

  // Reads the folder tree and the state file; false (with the reason) when the root is no
  // folder or cannot be read.
  bool Load(std::string* error);
  FolderObject* Root() const { return root_; }
  // Hands the tree to the view: the root, a node for every object, and the tree filled.
  CTreeNode* Attach(CPageWnd* view);
  // The object at a path under the root ("" or "/" the root), null when there is none.
  FolderObject* Find(const std::string& relative) const;
  const std::string& RootPath() const { return rootPath_; }
  // How many folder listings the last Load read.
  int FoldersRead() const { return foldersRead_; }
  std::string StatePath() const { return rootPath_ + ".outfold"; }
  // What went wrong on disk, one line each, since the last call.
  std::vector<std::string> TakeErrors();
  // Writes the state file again (when it exists or holds anything).
  void SaveState();

 private:
  friend class FolderObject;
  FolderObject* Make(FolderObject* parent, std::string name, bool file, bool onDisk);
  // Reads the folder open as fd (and takes the handle) and everything under it.
  bool Scan(FolderObject* folder, int fd, int depth, std::string* error);
  void ReadState();
  // While loading: where the name is among a folder's children in name order (their count when
  // it is not there), and the child of that name.
  static size_t ChildIndex(const std::vector<FolderObject*>& kids, std::string_view name);
  FolderObject* Child(FolderObject* folder, std::string_view name) const;
  void NodesFor(FolderObject* folder, CTreeNode* node);
  void Error(std::string what) { errors_.push_back(std::move(what)); }

  std::string rootPath_;
  FolderObject* root_ = nullptr;
  std::vector<std::unique_ptr<FolderObject>> objects_;
  std::vector<std::string> errors_;
  HICON icon_ = nullptr;
  int foldersRead_ = 0;
  // While loading: the buffer folder listings are read into.
  std::vector<char> listing_;
  // While loading: each folder read and its children in name order.
  std::unordered_map<const FolderObject*, std::vector<FolderObject*>> scanned_;
};

}  // namespace halyard::outfold
