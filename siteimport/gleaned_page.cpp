#include "gleaned_page.h"

#include <cstring>
#include <string>

#include "web_site.h"

using siteglean::ObjectLink;
using siteglean::WebObj;
using siteglean::WebSite;

GleanedPage::GleanedPage(WebSite* site, WebObj* obj) : site_(site) {
  name_[0] = '\0';
  Aim(obj);
}

GleanedPage::~GleanedPage() { delete list_; }

void GleanedPage::Aim(WebObj* obj) {
  obj_ = obj;
  first_ = obj ? obj->childLinks.First() : nullptr;
  last_ = obj ? obj->childLinks.Last() : nullptr;
  count_ = obj ? obj->childLinks.Count() : 0;
}

const char* GleanedPage::mGetName() {
  const char* name = obj_ && obj_->name ? obj_->name : "";
  std::size_t n = std::strlen(name);
  if (n > sizeof name_ - 1) n = sizeof name_ - 1;
  std::memcpy(name_, name, n);
  name_[n] = '\0';
  return name_;
}

void GleanedPage::mGetPathName(char* buf, LONG len) {
  if (buf == nullptr || len <= 0) return;
  buf[0] = '\0';
  if (obj_ == nullptr || obj_->localPath == nullptr) return;
  std::string root, rest;
  if (obj_->flags & siteglean::kObjOnSite) {
    root = site_->LocalRoot();
    rest = obj_->localPath;
    if (!root.empty() && (root.back() == '/' || root.back() == '\\') && !rest.empty() &&
        (rest.front() == '/' || rest.front() == '\\'))
      rest.erase(0, 1);
  } else {
    rest = obj_->localPath;
  }
  auto size = static_cast<std::size_t>(len);
  if (root.size() + 1 > size) return;
  std::memcpy(buf, root.data(), root.size());
  buf[root.size()] = '\0';
  if (root.size() + rest.size() + 1 > size) return;
  std::memcpy(buf + root.size(), rest.data(), rest.size());
  buf[root.size() + rest.size()] = '\0';
}

void GleanedPage::mGetURL(char* buf, LONG len) {
  if (buf == nullptr || len <= 0) return;
  const std::string& url = obj_ && obj_->url ? obj_->url->full : std::string();
  if (url.empty()) {
    buf[0] = '\0';
    return;
  }
  if (url.size() >= static_cast<std::size_t>(len)) return;
  std::memcpy(buf, url.c_str(), url.size() + 1);
}

GleanedPageList* GleanedPage::mHierarchicalList() {
  delete list_;
  list_ = nullptr;
  if (obj_ == nullptr) return nullptr;
  Aim(obj_);
  list_ = new GleanedPageList(site_, first_, last_, count_);
  return list_;
}

GleanedPageList::GleanedPageList(WebSite* site, Node* first, Node* last, std::size_t count)
    : first_(first), last_(last), count_(count), site_(site) {}

GleanedPageList::~GleanedPageList() {
  delete head_;
  delete next_;
}

GleanedPageLink* GleanedPageList::mHead() {
  cursor_ = count_ == 0 ? nullptr : first_;
  atEnd_ = cursor_ == nullptr;
  delete head_;
  head_ = nullptr;
  if (cursor_ == nullptr) return nullptr;
  head_ = new GleanedPageLink(site_, cursor_);
  return head_;
}

GleanedPageLink* GleanedPageList::mNext() {
  if (atEnd_ || cursor_ == nullptr) {
    atEnd_ = true;
    return nullptr;
  }
  // The snapshot ends at the node that was last when it was taken.
  cursor_ = cursor_ == last_ ? nullptr : cursor_->next;
  if (cursor_ == nullptr) {
    atEnd_ = true;
    return nullptr;
  }
  if (next_ == nullptr)
    next_ = new GleanedPageLink(site_, cursor_);
  else
    next_->Aim(cursor_);
  return next_;
}

GleanedPageLink::GleanedPageLink(WebSite* site, Node* node) : node_(node), site_(site) {}

GleanedPageLink::~GleanedPageLink() { delete page_; }

int GleanedPageLink::mIsPage() {
  remembered_ = node_ ? node_->item : nullptr;
  return remembered_ && remembered_->target &&
                 siteglean::IsPageCategory(remembered_->target->category)
             ? 1
             : 0;
}

int GleanedPageLink::mIsPageLocal() {
  remembered_ = node_ ? node_->item : nullptr;
  return remembered_ && remembered_->target && (remembered_->target->flags & siteglean::kObjOnSite)
             ? 1
             : 0;
}

GleanedPage* GleanedPageLink::mPage() {
  if (remembered_ == nullptr || remembered_->target == nullptr) return nullptr;
  if (page_ == nullptr)
    page_ = new GleanedPage(site_, remembered_->target);
  else
    page_->Aim(remembered_->target);
  return page_;
}
