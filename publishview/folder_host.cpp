#include "folder_host.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>
#include <unordered_map>

#include "platform/kernel/file_system.h"
#include "platform/kernel/text.h"
#include "publishview/change_record.h"

namespace halyard::outfold {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ValidName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos && name.size() < 256;
}

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string()
                                              : AsciiLowerCopy(name.substr(dot + 1));
}

// 16 x 16 pictures on magenta, the colour the view takes for transparent.
HBITMAP Picture(int image) {
  HBITMAP bm = CreateFilledBitmap(16, 16, RGB(255, 0, 255));
  if (!bm) return nullptr;
  auto fill = [&](int x0, int y0, int x1, int y1, COLORREF c) {
    std::uint32_t px = 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) bm->pixels[static_cast<size_t>(y) * 16 + x] = px;
  };
  switch (image) {
    case 100:  // folder
    case 101:  // open folder
      fill(1, 3, 7, 5, RGB(128, 128, 0));
      fill(1, 5, 15, 14, RGB(128, 128, 0));
      fill(2, 6, 14, 13, image == 100 ? RGB(255, 255, 0) : RGB(255, 255, 160));
      break;
    case 110:  // overlay 1: an arrow in the lower left corner
      fill(0, 12, 5, 16, RGB(255, 255, 255));
      fill(1, 13, 4, 15, RGB(0, 0, 0));
      break;
    case 111:  // overlay 2: a blue dot in the lower right corner
      fill(11, 11, 16, 16, RGB(0, 0, 255));
      break;
    default:  // a page; html with blue lines, pictures with a green square
      fill(3, 1, 13, 15, RGB(0, 0, 0));
      fill(4, 2, 12, 14, RGB(255, 255, 255));
      if (image == 103)
        for (int y = 4; y < 13; y += 3) fill(5, y, 11, y + 1, RGB(0, 0, 255));
      if (image == 104) fill(5, 5, 11, 11, RGB(0, 160, 0));
      break;
  }
  return bm;
}

}  // namespace

FolderObject::FolderObject(FolderHost* host, FolderObject* parent, std::string name, bool file,
                           bool onDisk)
    : host_(host), parent_(parent), name_(std::move(name)), file_(file), onDisk_(onDisk) {}

std::string FolderObject::Path() const {
  if (!parent_) return host_->rootPath_;
  return parent_->Path() + "/" + name_;
}

std::string FolderObject::RelativePath() const {
  if (!parent_) return std::string();
  std::string up = parent_->RelativePath();
  return up.empty() ? name_ : up + "/" + name_;
}

long long FolderObject::ModifiedTime() const {
  struct stat st;
  if (!onDisk_ || ::stat(Path().c_str(), &st) != 0) return 0;
  return static_cast<long long>(st.st_mtime);
}

void FolderObject::SetName(const CString& name) {
  std::string next(static_cast<LPCSTR>(name), static_cast<size_t>(name.GetLength()));
  if (destroyed_ || !ValidName(next) || !parent_) return;
  if (onDisk_ && next != name_) {
    std::string from = Path();
    std::string to = parent_->Path() + "/" + next;
    // Only a change of case may land on the same entry; anything else there is refused.
    if (Exists(to) && !EqualsNoCaseAscii(next, name_)) {
      host_->Error("cannot rename " + from + ": " + to + " exists");
      return;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
      host_->Error("cannot rename " + from + ": " + std::strerror(errno));
      return;
    }
  }
  name_ = next;
  host_->SaveState();
}

ChangeRecord* FolderObject::ShowProperties(CWnd*) {
  if (destroyed_ || !parent_) return nullptr;
  // The properties this host offers: whether the object is published at all.
  excluded_ = !excluded_;
  toggledByDialog_ = true;
  host_->SaveState();
  auto* change = new ChangeRecord;
  change->m_pObject = this;
  change->m_nKind = kChangeProperty;
  change->m_dwData = excluded_ ? 0 : 1;
  return change;
}

BYTE FolderObject::GetAttributes() {
  BYTE attrs = 0;
  if (onDisk_ && ::access(Path().c_str(), W_OK) != 0) attrs |= kPublishReadOnly;
  if (excluded_) attrs |= kPublishExcluded;
  if (created_) attrs |= kPublishNewFolder;
  return attrs;
}

int FolderObject::GetImage(int state) {
  if (!file_) return (state & kImageSelected) ? 101 : 100;
  std::string ext = Extension(name_);
  if (ext == "ico") return kImageFromIcon;
  if (ext == "html" || ext == "htm") return 103;
  if (ext == "gif" || ext == "jpg" || ext == "jpeg" || ext == "png") return 104;
  return 102;
}

HICON FolderObject::GetIcon() {
  if (!host_->icon_) host_->icon_ = CreateFilledIcon(16, 16, RGB(200, 0, 0), 3);
  return host_->icon_;
}

HBITMAP FolderObject::GetBitmap(int image) { return Picture(image); }

BOOL FolderObject::CanAccept(CPublishObject* child) {
  auto* c = dynamic_cast<FolderObject*>(child);
  if (!c || file_ || destroyed_ || c->destroyed_ || !onDisk_ || !c->onDisk_) return FALSE;
  // The disk decides too: both must still be there, and the name free in this folder.
  if (!IsDirectory(Path()) || !Exists(c->Path())) return FALSE;
  if (Exists(Path() + "/" + c->name_)) return FALSE;
  return ::access(Path().c_str(), W_OK) == 0 ? TRUE : FALSE;
}

void FolderObject::GetSortKey(CString& key) {
  key = parent_ ? name_.c_str() : host_->rootPath_.c_str();
}

void FolderObject::GetTypeText(CString& text) {
  if (!file_) {
    text = "Folder";
    return;
  }
  std::string ext = Extension(name_);
  if (ext == "html" || ext == "htm")
    text = "HTML Document";
  else if (ext == "gif")
    text = "GIF Image";
  else if (ext == "jpg" || ext == "jpeg")
    text = "JPEG Image";
  else if (ext == "png")
    text = "PNG Image";
  else if (ext.empty())
    text = "File";
  else
    text = (AsciiUpperCopy(ext) + " File").c_str();
}

void FolderObject::Destroy(int abandoned) {
  if (destroyed_) return;
  // An abandoned new folder leaves nothing behind on disk.
  if (abandoned && created_ && onDisk_ && ::rmdir(Path().c_str()) == 0) onDisk_ = false;
  destroyed_ = true;
  node_ = nullptr;
}

CPublishObject* FolderObject::CreateFolder() {
  if (!CanAddFolder()) return nullptr;
  FolderObject* made = host_->Make(this, std::string(), false, false);
  made->created_ = true;
  return made;
}

BOOL FolderObject::CanAddFolder() {
  return !file_ && !destroyed_ && onDisk_ && IsDirectory(Path()) &&
         ::access(Path().c_str(), W_OK) == 0;
}

BOOL FolderObject::IsChanged() { return local_ > 0 && ModifiedTime() > local_; }

BOOL FolderObject::NeedsRemotePublish() {
  return !excluded_ && remote_ != -1 && (remote_ == 0 || ModifiedTime() > remote_);
}

BOOL FolderObject::NeedsLocalPublish() {
  return !excluded_ && local_ != -1 && (local_ == 0 || ModifiedTime() > local_);
}

void FolderObject::Sync() {
  if (destroyed_) return;
  FolderObject* want = nullptr;
  if (node_ && CTreeNode::IsLive(node_) && node_->m_pParent)
    want = dynamic_cast<FolderObject*>(node_->m_pParent->m_pObject);
  if (!parent_ && !want && name_.empty()) return;
  if (onDisk_ && !want) {
    if (file_ || ::rmdir(Path().c_str()) != 0) {
      host_->Error("cannot remove " + Path() + ": " + std::strerror(errno));
      return;
    }
    onDisk_ = false;
  } else if (!onDisk_ && want) {
    std::string path = want->Path() + "/" + name_;
    if (file_ || Exists(path) || ::mkdir(path.c_str(), 0777) != 0) {
      host_->Error("cannot make " + path + (Exists(path) ? ": it exists" : ""));
      return;
    }
    onDisk_ = true;
    parent_ = want;
  } else if (onDisk_ && want && want != parent_) {
    std::string from = Path();
    std::string to = want->Path() + "/" + name_;
    if (Exists(to) || ::rename(from.c_str(), to.c_str()) != 0) {
      host_->Error("cannot move " + from + " to " + to);
      return;
    }
    parent_ = want;
  }
  if (want) parent_ = want;
  host_->SaveState();
}

void FolderObject::OnChange(ChangeRecord* change) {
  if (!change) return;
  switch (change->m_nKind) {
    case kChangeMove:
    case kChangeNewFolder:
    case kChangeDelete:
      Sync();
      break;
    case kChangeProperty:
      // The dialog made the change already; a redo makes it again.
      if (toggledByDialog_)
        toggledByDialog_ = false;
      else
        excluded_ = !excluded_;
      host_->SaveState();
      break;
    default:
      break;
  }
}

void FolderObject::OnUndo(ChangeRecord* change) {
  if (!change) return;
  switch (change->m_nKind) {
    case kChangeMove:
    case kChangeNewFolder:
    case kChangeDelete:
      Sync();
      break;
    case kChangeProperty:
      toggledByDialog_ = false;
      excluded_ = !excluded_;
      host_->SaveState();
      break;
    default:
      break;
  }
}

FolderHost::FolderHost(std::string root) : rootPath_(std::move(root)) {
  while (rootPath_.size() > 1 && rootPath_.back() == '/') rootPath_.pop_back();
}

FolderHost::~FolderHost() {
  if (icon_) DestroyIcon(icon_);
}

FolderObject* FolderHost::Make(FolderObject* parent, std::string name, bool file, bool onDisk) {
  objects_.push_back(std::make_unique<FolderObject>(this, parent, std::move(name), file, onDisk));
  return objects_.back().get();
}

bool FolderHost::Scan(FolderObject* folder, int fd, int depth, std::string* error) {
  // The folder is reached through its parent's open handle rather than by its whole path, its
  // listing read straight into one buffer kept for every folder, and the kinds come from the
  // listing itself; only an entry it cannot name is looked up.
  struct Entry {
    std::string name;
    bool file;
  };
  std::vector<Entry> entries;
  int err = 0;
  if (listing_.empty()) listing_.resize(64 * 1024);
  for (;;) {
    ssize_t got = ::getdents64(fd, listing_.data(), listing_.size());
    if (got <= 0) {
      if (got < 0) err = errno;
      break;
    }
    for (size_t at = 0; at < static_cast<size_t>(got);) {
      const auto* de = reinterpret_cast<const struct dirent64*>(listing_.data() + at);
      at += de->d_reclen;
      const char* name = de->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      unsigned char type = de->d_type;
      if (type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
      }
      // Links stay out, as do devices, pipes and sockets.
      if (type != DT_DIR && type != DT_REG) continue;
      entries.push_back(Entry{name, type == DT_REG});
    }
  }
  ++foldersRead_;
  bool ok = err == 0;
  if (!ok && error) *error = "cannot read " + folder->Path() + ": " + std::strerror(err);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  std::vector<FolderObject*>& kids = scanned_[folder];
  kids.reserve(entries.size());
  for (size_t i = 0; ok && i < entries.size(); ++i) {
    Entry& e = entries[i];
    FolderObject* o = Make(folder, std::move(e.name), e.file, true);
    kids.push_back(o);
    if (o->file_ || depth >= 64) continue;  // deeper folders are left out, not followed forever
    int child = ::openat(fd, o->name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) {
      if (error) *error = "cannot read " + o->Path() + ": " + std::strerror(errno);
      ok = false;
    } else {
      ok = Scan(o, child, depth + 1, error);
    }
  }
  ::close(fd);
  return ok;
}

bool FolderHost::Load(std::string* error) {
  objects_.clear();
  root_ = nullptr;
  if (!IsDirectory(rootPath_)) {
    if (error) *error = rootPath_ + " is no folder";
    return false;
  }
  size_t slash = rootPath_.find_last_of('/');
  std::string name = slash == std::string::npos ? rootPath_ : rootPath_.substr(slash + 1);
  root_ = Make(nullptr, name.empty() ? rootPath_ : name, false, true);
  foldersRead_ = 0;
  int fd = ::open(rootPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = "cannot read " + rootPath_ + ": " + std::strerror(errno);
    return false;
  }
  bool ok = Scan(root_, fd, 0, error);
  if (ok) ReadState();
  scanned_.clear();
  listing_ = std::vector<char>();
  return ok;
}

FolderObject* FolderHost::Find(const std::string& relative) const {
  std::string want = relative;
  while (!want.empty() && want.front() == '/') want.erase(0, 1);
  while (!want.empty() && want.back() == '/') want.pop_back();
  for (const auto& o : objects_)
    if (!o->destroyed_ && (o->onDisk_ || o->node_) && o->RelativePath() == want &&
        (o.get() == root_ || o->parent_))
      return o.get();
  return nullptr;
}

namespace {

bool SkipSpace(std::string_view& s) {
  size_t n = 0;
  while (n < s.size() && std::isspace(static_cast<unsigned char>(s[n]))) ++n;
  s.remove_prefix(n);
  return !s.empty();
}

// A whole number at the front of s (after white space), which it takes off.
bool TakeNumber(std::string_view& s, long long* value) {
  if (!SkipSpace(s)) return false;
  if (s.front() == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value);
  if (ec != std::errc()) return false;
  s.remove_prefix(static_cast<size_t>(end - s.data()));
  return true;
}

// A state file line: remote time, local time, flags and the path under the root (the rest of
// the line, leading spaces and the slashes at either end taken off). False for anything else.
bool ParseStateLine(std::string_view s, long long* remote, long long* local,
                    std::string_view* flags, std::string_view* path) {
  if (!TakeNumber(s, remote) || !TakeNumber(s, local) || !SkipSpace(s)) return false;
  size_t n = 0;
  while (n < s.size() && !std::isspace(static_cast<unsigned char>(s[n]))) ++n;
  *flags = s.substr(0, n);
  s.remove_prefix(n);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.front() == '/') s.remove_prefix(1);
  while (!s.empty() && s.back() == '/') s.remove_suffix(1);
  *path = s;
  return true;
}

}  // namespace

size_t FolderHost::ChildIndex(const std::vector<FolderObject*>& kids, std::string_view name) {
  auto at = std::lower_bound(kids.begin(), kids.end(), name,
                             [](const FolderObject* c, std::string_view n) { return c->name_ < n; });
  return at != kids.end() && (*at)->name_ == name ? static_cast<size_t>(at - kids.begin()) : kids.size();
}

FolderObject* FolderHost::Child(FolderObject* folder, std::string_view name) const {
  auto it = scanned_.find(folder);
  if (it == scanned_.end()) return nullptr;
  size_t at = ChildIndex(it->second, name);
  return at < it->second.size() ? it->second[at] : nullptr;
}

void FolderHost::ReadState() {
  std::ifstream in(StatePath(), std::ios::binary);
  if (!in) return;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size <= 0) return;
  std::string text(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(text.data(), size)) return;
  std::string_view rest = text;
  std::string_view lastFolderPath;
  const std::vector<FolderObject*>* kids = nullptr;  // of the last line's folder
  size_t lastAt = 0;                                 // where that line's object is in it
  while (!rest.empty()) {
    size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    long long remote = 0, local = 0;
    std::string_view flags, path;
    if (!ParseStateLine(line, &remote, &local, &flags, &path)) continue;
    // The file lists a folder's objects one after another in name order, as SaveState writes
    // them: a line in the folder of the line before tries the object after that line's first.
    size_t cut = path.rfind('/');
    std::string_view folderPath = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
    std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
    if (!kids || folderPath != lastFolderPath) {
      kids = nullptr;
      lastFolderPath = folderPath;
      if (!path.empty()) {
        // Down from the root a name at a time.
        FolderObject* f = root_;
        while (f && !folderPath.empty()) {
          size_t slash = folderPath.find('/');
          f = Child(f, folderPath.substr(0, slash));
          folderPath.remove_prefix(slash == std::string_view::npos ? folderPath.size() : slash + 1);
        }
        auto it = f ? scanned_.find(f) : scanned_.end();
        if (it != scanned_.end()) {
          kids = &it->second;
          lastAt = kids->size();
        }
      }
    }
    FolderObject* o = path.empty() ? root_ : nullptr;
    if (kids) {
      if (lastAt + 1 < kids->size() && (*kids)[lastAt + 1]->name_ == name)
        ++lastAt;
      else
        lastAt = ChildIndex(*kids, name);
      if (lastAt < kids->size()) o = (*kids)[lastAt];
    }
    if (!o) continue;
    o->remote_ = static_cast<LONG>(std::clamp<long long>(remote, -1, INT32_MAX));
    o->local_ = static_cast<LONG>(std::clamp<long long>(local, -1, INT32_MAX));
    o->excluded_ = flags.find('D') != std::string_view::npos;
  }
}

void FolderHost::SaveState() {
  std::string text;
  for (const auto& o : objects_) {
    if (o->destroyed_ || !o->onDisk_ || (o->remote_ == 0 && o->local_ == 0 && !o->excluded_))
      continue;
    text += std::to_string(o->remote_) + " " + std::to_string(o->local_) + " " +
            (o->excluded_ ? "D" : "-") + " " + o->RelativePath() + "\n";
  }
  if (text.empty() && !Exists(StatePath())) return;
  if (ReplaceFileContents(StatePath(), text, false) != 0) Error("cannot write " + StatePath());
}

void FolderHost::NodesFor(FolderObject* folder, CTreeNode* node) {
  // The children of every folder, in the order the objects were made, gathered in one pass.
  std::unordered_map<FolderObject*, std::vector<FolderObject*>> children;
  for (const auto& o : objects_)
    if (o->parent_ && !o->destroyed_ && o->onDisk_) children[o->parent_].push_back(o.get());
  std::vector<std::pair<FolderObject*, CTreeNode*>> stack{{folder, node}};
  while (!stack.empty()) {
    auto [f, n] = stack.back();
    stack.pop_back();
    auto it = children.find(f);
    if (it == children.end()) continue;
    for (FolderObject* o : it->second) {
      auto* child = new CTreeNode(o, n);
      o->AttachNode(child);
      if (!o->file_) stack.emplace_back(o, child);
    }
  }
}

CTreeNode* FolderHost::Attach(CPageWnd* view) {
  if (!view || !root_) return nullptr;
  CTreeNode* rootNode = view->AddRoot(root_);
  NodesFor(root_, rootNode);
  view->FinishExpand(rootNode);
  return rootNode;
}

std::vector<std::string> FolderHost::TakeErrors() {
  std::vector<std::string> out;
  out.swap(errors_);
  return out;
}

}  // namespace halyard::outfold
