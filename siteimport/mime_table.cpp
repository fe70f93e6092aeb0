#include "mime_table.h"

#include "platform/kernel/text.h"

namespace siteglean {
namespace {

struct RowData {
  const char* suffix;
  TypeCode code;
  const char* mime;
};

constexpr RowData kRows[] = {
#include "mime_table_data.inc"
};

}  // namespace

MimeTable& MimeTable::Instance() {
  static MimeTable table;
  return table;
}

MimeTable::MimeTable() {
  rows_.reserve(std::size(kRows));
  for (const RowData& r : kRows) rows_.push_back({r.suffix, r.code, r.mime});
}

void MimeTable::ReplaceSuffix(std::size_t row, std::string_view suffix) {
  if (row < 2 && row < rows_.size()) rows_[row].suffix = std::string(suffix);
}

TypeCode MimeTable::CodeOfName(std::string_view name, TypeCode defaultCode) const {
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return defaultCode;
  std::string_view suffix = name.substr(dot + 1);
  for (const MimeRow& r : rows_) {
    if (halyard::EqualsNoCaseAscii(r.suffix, suffix))
      return r.code;
  }
  return kTypeUnknown;
}

std::string_view MimeTable::MimeOf(TypeCode code) const {
  for (const MimeRow& r : rows_)
    if (r.code == code) return r.mime;
  return kDefaultMime;
}

const char* MimeTable::SuffixOf(TypeCode code) const {
  for (const MimeRow& r : rows_)
    if (r.code == code) return r.suffix.c_str();
  return nullptr;
}

Category CategoryOf(SchemeCode scheme, TypeCode code) {
  switch (scheme) {
    case kSchemeUnknown:
      return kCatNone;
    case kSchemeFtp:
      return kCatFtp;
    case kSchemeMailto:
      return kCatMailto;
    case kSchemeGopher:
      return kCatGopher;
    case kSchemeNews:
      return kCatNews;
    case kSchemeWais:
      return kCatWais;
    case kSchemeTelnet:
    case kSchemeSnews:
      return kCatService;
    case kSchemeHttp:
    case kSchemeFile:
      if (code == kTypeHtml) return kCatPage;
      if (code >= 0x3001 && code <= 0x3FFE) return kCatGateway;
      if (code >= 0x1001 && code <= 0x1FFE) return kCatImage;
      return kCatMedia;
  }
  return kCatNone;
}

const char* CategoryName(Category c) {
  switch (c) {
    case kCatNone:
      return "none";
    case kCatPage:
      return "page";
    case kCatPageWithForm:
      return "page-with-form";
    case kCatGateway:
      return "gateway";
    case kCatImage:
      return "image";
    case kCatService:
      return "service";
    case kCatFtp:
      return "ftp";
    case kCatMailto:
      return "mailto";
    case kCatGopher:
      return "gopher";
    case kCatNews:
      return "news";
    case kCatWais:
      return "wais";
    case kCatMedia:
      return "media";
  }
  return "unknown";
}

}  // namespace siteglean
