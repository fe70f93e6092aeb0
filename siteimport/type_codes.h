// The robot's code spaces: type codes from file-name suffixes, object categories, URL schemes
// and link kinds. Plain constants; any thread may use them.
#pragma once

#include <cstdint>

namespace siteglean {

using TypeCode = std::uint16_t;
using Category = std::uint16_t;

// Type codes, grouped by their high nibble.
constexpr TypeCode kTypeHtml = 0x0002;
constexpr TypeCode kTypePlainText = 0x0003;
constexpr TypeCode kTypeUnknown = 0xFFFF;
constexpr bool IsImageType(TypeCode t) { return t >= 0x1000 && t <= 0x1FFF; }

// Object categories.
constexpr Category kCatNone = 0;
constexpr Category kCatPage = 0x3000;
constexpr Category kCatPageWithForm = 0x3001;
constexpr Category kCatGateway = 0x5000;
constexpr Category kCatImage = 0x6000;
constexpr Category kCatService = 0x7000;
constexpr Category kCatFtp = 0x7001;
constexpr Category kCatMailto = 0x7002;
constexpr Category kCatGopher = 0x7003;
constexpr Category kCatNews = 0x7004;
constexpr Category kCatWais = 0x7005;
constexpr Category kCatMedia = 0x8000;
constexpr bool IsPageCategory(Category c) { return c >= 0x3000 && c <= 0x3FFE; }
constexpr bool IsImageCategory(Category c) { return c >= 0x6000 && c <= 0x6FFF; }
constexpr bool IsMediaCategory(Category c) { return c >= 0x8000 && c <= 0x8FFF; }
constexpr bool IsServiceCategory(Category c) { return c >= 0x7000 && c <= 0x7FFF; }

// URL scheme codes.
enum SchemeCode : std::uint16_t {
  kSchemeUnknown = 0,
  kSchemeHttp = 1,
  kSchemeMailto = 2,
  kSchemeGopher = 3,
  kSchemeFtp = 4,
  kSchemeWais = 5,
  kSchemeNews = 6,
  kSchemeTelnet = 7,
  kSchemeSnews = 8,
  kSchemeFile = 9,
};

// Link kinds.
constexpr std::uint16_t kLinkSelf = 0x4001;
constexpr std::uint16_t kLinkExternal = 0x4002;
constexpr std::uint16_t kLinkChild = 0x4003;
constexpr std::uint16_t kLinkDown = 0x4004;
constexpr std::uint16_t kLinkAcross = 0x4005;
constexpr std::uint16_t kLinkUp = 0x4006;

}  // namespace siteglean
