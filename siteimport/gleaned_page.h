// The views through which a host walks the page hierarchy of an import: a page
// (GleanedPage), the snapshot of its child-link list (GleanedPageList) and one link of it
// (GleanedPageLink). They read the robot's objects at the moment they are asked and copy
// nothing. Every view belongs to the object that handed it out and lives until that owner is
// destroyed or hands out a replacement; the host never deletes one. Meant for the host's
// thread once the exploration has ended.
#pragma once

#include <cstddef>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "robot_list.h"

namespace siteglean {
class WebSite;
struct WebObj;
struct ObjectLink;
}  // namespace siteglean

class GleanedPageList;
class GleanedPageLink;

class HALYARD_EXPORT GleanedPage {
 public:
  GleanedPage(siteglean::WebSite* site, siteglean::WebObj* obj);
  ~GleanedPage();
  GleanedPage(const GleanedPage&) = delete;
  GleanedPage& operator=(const GleanedPage&) = delete;

  // The object's name (a page's title, empty without one), at most 1023 characters, in a
  // buffer of this view that the next call overwrites.
  const char* mGetName();
  // The full local path of the object's file: the local root and the object's relative path.
  // Only the root when the buffer holds no more; empty when it cannot hold the root.
  void mGetPathName(char* buf, LONG len);
  // The object's full URL; a URL of len characters or more leaves buf unchanged.
  void mGetURL(char* buf, LONG len);
  // A list view over the object's child links as they are now (the previous one is freed).
  GleanedPageList* mHierarchicalList();

  // Aims the view at another object (GleanedPageLink::mPage reuses its one view).
  void Aim(siteglean::WebObj* obj);

 private:
  using Node = siteglean::RobotList<siteglean::ObjectLink>::Node;
  siteglean::WebObj* obj_;
  Node* first_;
  Node* last_;
  std::size_t count_;
  GleanedPageList* list_ = nullptr;
  char name_[1024];
  siteglean::WebSite* site_;
};

class HALYARD_EXPORT GleanedPageList {
 public:
  using Node = siteglean::RobotList<siteglean::ObjectLink>::Node;
  GleanedPageList(siteglean::WebSite* site, Node* first, Node* last, std::size_t count);
  ~GleanedPageList();
  GleanedPageList(const GleanedPageList&) = delete;
  GleanedPageList& operator=(const GleanedPageList&) = delete;

  // A link view on the first node (replacing the one an earlier call handed out); null for an
  // empty list.
  GleanedPageLink* mHead();
  // The next node; null at the end and after it. Every call re-aims the same view.
  GleanedPageLink* mNext();

 private:
  Node* first_;
  Node* last_;
  std::size_t count_;
  Node* cursor_ = nullptr;
  GleanedPageLink* head_ = nullptr;
  GleanedPageLink* next_ = nullptr;
  bool atEnd_ = false;
  siteglean::WebSite* site_;
};

class HALYARD_EXPORT GleanedPageLink {
 public:
  using Node = siteglean::RobotList<siteglean::ObjectLink>::Node;
  GleanedPageLink(siteglean::WebSite* site, Node* node);
  ~GleanedPageLink();
  GleanedPageLink(const GleanedPageLink&) = delete;
  GleanedPageLink& operator=(const GleanedPageLink&) = delete;

  // Remember the link and answer whether its target is a page / lies on the imported site.
  int mIsPage();
  int mIsPageLocal();
  // A page view of the target of the link remembered last (one view, re-aimed each call);
  // null when no link was remembered yet.
  GleanedPage* mPage();

  void Aim(Node* node) { node_ = node; }

 private:
  Node* node_;
  GleanedPage* page_ = nullptr;
  siteglean::ObjectLink* remembered_ = nullptr;
  siteglean::WebSite* site_;
};
