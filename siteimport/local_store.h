// Local copies of fetched objects: the local name of a URL, 8.3 names, moving a fetched
// temporary file to its place under the local root, the fetch of one object in all its steps,
// and the HTML index of a local folder that has no default page. Runs on the exploring thread.
#pragma once

#include "platform/kernel/export.h"

#include <string>
#include <string_view>

#include "fetcher.h"
#include "web_site.h"

namespace siteglean {

// The relative path of a URL (the last of its redirect chain): the decoded directory path,
// "/", and the file name or the default name. "." and ".." segments are dropped, so the path
// never leaves the local root; false for a name that cannot be stored safely (a NUL byte or a
// drive letter in it).
bool LocalName(const UrlNode* url, std::string_view defaultName, std::string* relative);

// Cuts every component of a path to 8 characters, the first "." and 3 more; "\" becomes "/".
std::string DosName(std::string_view path);

// Moves the fetched temporary file to the object's place and sets its local path. False when
// storing failed (the temporary file is gone then; a full disk gives the URL status 150).
bool StoreFetched(WebSite& site, WebObj* obj, const std::string& tempName);

// Fetches or reads one object (check only: HEAD, nothing kept; force: the robots rules are not
// asked) and takes over what the response says. True when the object was fetched.
// The response record of the fetch is copied to *response when one is given.
bool FetchObject(WebSite& site, Fetcher& fetcher, WebObj* obj, bool checkOnly, bool force,
                 int* lastError = nullptr, ResponseRecord* response = nullptr);

// Writes the index page of a local folder to the object's local path (local imports only).
bool WriteDirectoryIndex(WebSite& site, WebObj* obj);

}  // namespace siteglean
