// The robot's own small HTML tokenizer. It knows only the elements and attributes that carry
// links or page data; every other tag reads as 0. It works over the whole page text in memory,
// so that the text of an element can be read ahead and the position put back. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace siteglean {

// Element codes; an end tag adds 0xF000, the end of the page is 0xFFFF.
enum ElementCode : std::uint16_t {
  kElemUnknown = 0,
  kElemTitle = 1,
  kElemA = 2,
  kElemImg = 3,
  kElemH1 = 4,  // H1 to H6 are 4 to 9
  kElemH6 = 9,
  kElemForm = 10,
  kElemApp = 11,
  kElemFrame = 12,
  kElemBase = 14,
  kElemArea = 15,
  kElemApplet = 16,
  kElemBody = 17,
  kElemEmbed = 18,
  kElemHead = 19,
  kElemMeta = 20,
  kEndTag = 0xF000,
  kEndOfPage = 0xFFFF,
};

// Attribute numbers.
enum AttrNumber : int {
  kAttrSrc = 1,
  kAttrIsmap = 2,
  kAttrMethod = 3,
  kAttrAction = 4,
  kAttrHref = 5,
  kAttrAlt = 6,
  kAttrName = 8,
  kAttrClass = 9,
  kAttrCode = 10,
  kAttrCodebase = 11,
  kAttrBackground = 12,
  kAttrUsemap = 13,
  kAttrContent = 14,
  kAttrCount = 16,
};

class LinkTokenizer {
 public:
  static constexpr std::size_t kMaxWord = 255;
  static constexpr std::size_t kMaxText = 1023;

  explicit LinkTokenizer(std::string_view page) : page_(page) {}

  // Skips text and comments up to the next tag and reads it: its element code, 0 for an
  // unknown element, 0xF000 + code for an end tag, 0xFFFF at the end of the page.
  std::uint16_t NextToken();

  // The value of an attribute of the current tag; "1" for a present attribute that takes no
  // value; null when absent.
  const std::string* Attribute(int number) const;

  // The text from the current position up to the end tag, blanks folded, tags skipped,
  // entities decoded, at most 1023 characters; the position is put back afterwards.
  std::string TextUntil(std::uint16_t endCode);

  std::size_t Position() const { return pos_; }

  // Decodes the entities of a text as the pass does for titles and labels.
  static std::string DecodeEntities(std::string_view text);

 private:
  std::uint16_t ReadTag();
  bool NextWord(std::string_view* word);
  void SkipComment();

  std::string_view page_;
  std::size_t pos_ = 0;
  std::uint16_t element_ = 0;
  bool present_[kAttrCount] = {};
  std::string values_[kAttrCount];
};

}  // namespace siteglean
