#include "local_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "platform/kernel/file_system.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"
#include "mime_table.h"

namespace siteglean {

using halyard::MapWinPath;
using halyard::WinFile;
using halyard::WinRemoveFile;
namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

std::string JoinRoot(const std::string& root, const std::string& relative) {
  std::string full = root;
  if (!full.empty() && IsSep(full.back()) && !relative.empty() && IsSep(relative.front()))
    full.pop_back();
  else if (!full.empty() && !IsSep(full.back()) && !relative.empty() && !IsSep(relative.front()))
    full += '/';
  return full + relative;
}

}  // namespace

bool LocalName(const UrlNode* url, std::string_view defaultName, std::string* relative) {
  const UrlNode* u = url->Final();
  std::string dir = u->parts.dir.empty() ? std::string("/") : DecodePercent(u->parts.dir);
  // Only the directory is decoded: "a%2fb.html" is one file, not "b.html" in a folder "a".
  std::string file = u->parts.file.empty() ? std::string(defaultName) : u->parts.file;
  // Rebuild the path from its segments: "." and ".." are dropped, so that "%2e%2e/" in a URL
  // cannot lead out of the local root.
  std::string out;
  std::string seg;
  auto flush = [&](bool asDir) -> bool {
    if (seg.find('\0') != std::string::npos) return false;
    if (seg.size() >= 2 && std::isalpha(static_cast<unsigned char>(seg[0])) && seg[1] == ':')
      return false;
    if (!seg.empty() && seg != "." && seg != "..") {
      out += seg;
      if (asDir) out += '/';
    }
    seg.clear();
    return true;
  };
  out = "/";
  for (char c : dir) {
    if (IsSep(c)) {
      if (!flush(true)) return false;
    } else {
      seg.push_back(c);
    }
  }
  if (!flush(true)) return false;
  for (char c : file) {
    if (IsSep(c)) {
      if (!flush(true)) return false;
    } else {
      seg.push_back(c);
    }
  }
  if (!flush(false)) return false;
  *relative = out;
  return true;
}

std::string DosName(std::string_view path) {
  std::string out;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t j = i;
    while (j < path.size() && !IsSep(path[j])) ++j;
    std::string_view comp = path.substr(i, j - i);
    std::size_t dot = comp.find('.');
    std::string_view stem = comp.substr(0, dot);
    out.append(stem.substr(0, 8));
    if (dot != std::string_view::npos) {
      std::string_view ext = comp.substr(dot + 1);
      ext = ext.substr(0, ext.find('.'));
      out.push_back('.');
      out.append(ext.substr(0, 3));
    }
    if (j < path.size()) out.push_back('/');
    i = j + 1;
  }
  return out;
}

bool StoreFetched(WebSite& site, WebObj* obj, const std::string& tempName) {
  UrlNode* url = obj->url->Final();
  const char* suffix = MimeTable::Instance().SuffixOf(url->type);
  std::string relative, target;
  bool onSite = false;
  if (site.downloadCopies && site.IsUnderBase(obj->url)) {
    if (!LocalName(obj->url, "index", &relative)) {
      WinRemoveFile(tempName);
      return false;
    }
    if (url->parts.file.empty() && suffix != nullptr) {
      relative += '.';
      relative += suffix;
    }
    if (site.dosNames) relative = DosName(relative);
    target = JoinRoot(site.LocalRoot(), relative);
    onSite = true;
  } else {
    target = tempName;
    if (suffix != nullptr) {
      target += '.';
      target += suffix;
    }
    if (site.dosNames) {
      std::size_t cut = target.find_last_of("/\\");
      std::string dir = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
      target = dir + DosName(target.substr(dir.size()));
    }
  }
  if (target != tempName) {
    std::string hostTarget = MapWinPath(target);
    std::string hostTemp = MapWinPath(tempName);
    int err = halyard::MakeParentFolders(hostTarget);
    if (err == 0) err = halyard::MoveFile(hostTemp, hostTarget);
    if (err != 0) {
      if (err == ENOSPC) url->status = kStatusDiskFull;
      ::unlink(hostTemp.c_str());
      return false;
    }
  }
  if (onSite) obj->flags |= kObjOnSite;
  obj->localPath = site.Pool().Copy(onSite ? relative : target);
  return true;
}

bool FetchObject(WebSite& site, Fetcher& fetcher, WebObj* obj, bool checkOnly, bool force,
                 int* lastError, ResponseRecord* response) {
  UrlNode* url = obj->url;
  bool onSite = site.IsUnderBase(url);
  if (site.Server().local && onSite) {
    if (obj->localPath == nullptr) {
      std::string rel;
      if (LocalName(url, site.home && site.home->url ? site.home->url->parts.file : std::string(),
                    &rel))
        obj->localPath = site.Pool().Copy(rel);
    }
    struct stat st;
    std::string path = obj->localPath ? MapWinPath(JoinRoot(site.LocalRoot(), obj->localPath)) : "";
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
      url->status = kStatusLocalMissing;
      obj->flags |= kObjNotFetched;
      if (obj->flags & kObjFetched) {
        obj->flags &= static_cast<std::uint16_t>(~kObjFetched);
        site.UpdateLinksTo(obj);
      }
      return false;
    }
    url->status = kStatusFetched;
    url->size = st.st_size;
    obj->size = st.st_size;
    url->mtime = st.st_mtime;
    obj->flags |= kObjOnSite;
    // Read from disk counts as fetched: links to the object are not broken.
    bool wasFetched = (obj->flags & kObjFetched) != 0;
    obj->flags |= kObjFetched;
    if (!wasFetched) site.UpdateLinksTo(obj);
    return true;
  }
  if (!force && site.robotsInForce && site.robotsAllow && !site.robotsAllow(url->full)) {
    url->status = kStatusRobotsExcluded;
    obj->flags |= kObjRobotsExcluded;
    return false;
  }
  UrlNode* last = url->Final();
  if (last->parts.host.empty() && last->parts.schemeCode != kSchemeFile) return false;

  url->status = kStatusNotFetched;
  FetchRequest req;
  req.url = EscapeForRequest(last->full);
  req.checkOnly = checkOnly;
  int result = fetcher.Fetch(req);
  // A redirect chain is judged by its last answer: a 302 to a page that answers 200 is that
  // page, a 302 to a 404 is a 404.
  url->status = req.response.finalStatus != 0 ? req.response.finalStatus : req.response.status;
  if (response) *response = req.response;
  bool wasFetched = (obj->flags & kObjFetched) != 0;
  if (result < 0) {
    if (lastError) *lastError = result;
    if (result != kFetchAborted && wasFetched) {
      obj->flags &= static_cast<std::uint16_t>(~kObjFetched);
      site.UpdateLinksTo(obj);
    }
    return false;
  }
  const ResponseRecord& rr = req.response;
  obj->size = rr.contentLength;
  url->size = rr.contentLength;
  if (rr.lastModified > 0) url->mtime = rr.lastModified;
  url->mime = rr.contentType;
  if (!rr.location.empty()) {
    UrlParts p;
    if (SplitUrl(rr.location, &p)) {
      ResolveAgainst(&p, last->parts);
      UrlNode* target = site.Urls().Enter(p, {});
      if (target != url && target->Final() != url) {
        target->type = last->type;
        last->redirect = target;
      }
    }
  }
  ServerInfo& server = site.Server();
  if (server.httpVersion.empty() && !rr.version.empty()) {
    server.httpVersion = rr.version;
    server.server = rr.server;
  }
  if (!checkOnly) {
    if (!StoreFetched(site, obj, req.tempName)) {
      obj->localPath = nullptr;
      obj->flags &= static_cast<std::uint16_t>(~(kObjOnSite | kObjFetched));
      obj->flags |= kObjNotFetched;
      if (wasFetched) site.UpdateLinksTo(obj);
      return false;
    }
    if (rr.lastModified > 0 && obj->localPath != nullptr) {
      std::string path = obj->flags & kObjOnSite
                             ? MapWinPath(JoinRoot(site.LocalRoot(), obj->localPath))
                             : MapWinPath(obj->localPath);
      halyard::SetFileTimes(path, static_cast<std::time_t>(rr.lastModified));
    }
  }
  obj->flags |= kObjFetched;
  if (!wasFetched) site.UpdateLinksTo(obj);
  return true;
}

bool WriteDirectoryIndex(WebSite& site, WebObj* obj) {
  if (obj->localPath == nullptr) return false;
  std::string local = obj->localPath;
  std::size_t cut = local.find("index.HTM");
  std::string dir = cut == std::string::npos ? local : local.substr(0, cut);
  std::string title = (obj->name && *obj->name) ? obj->name : dir;
  bool titled = obj->name && *obj->name;
  auto out = WinFile::Open(JoinRoot(site.LocalRoot(), local), "w");
  if (!out) return false;
  out->Write("<HTML><HEAD><TITLE>Index of " + title + "</TITLE></HEAD><BODY>");
  out->Write("<H1>Index of " + title + "</H1>\n");
  std::string hostDir = MapWinPath(JoinRoot(site.LocalRoot(), dir));
  std::vector<halyard::FolderEntry> entries;
  if (halyard::ListFolder(hostDir, &entries) == 0) {
    for (const halyard::FolderEntry& entry : entries) {
      const std::string& name = entry.name;
      bool isDir = entry.kind == halyard::FolderEntry::Kind::kFolder;
      std::string line = "<P><A HREF=\"";
      line += titled ? dir : name;
      if (titled) line += name;
      if (isDir) line += '/';
      line += "\">" + name + "</A></P>\n";
      out->Write(line);
    }
  }
  out->Write("</BODY></HTML>");
  if (!out->Close()) return false;
  obj->flags |= kObjDeleteCopy;
  return true;
}

}  // namespace siteglean
