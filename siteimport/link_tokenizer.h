// The robot's own small HTML tokenizer. It knows only the elements and attributes that carry
// links or page data; every other tag reads as 0. It works over the whole page text in memory,
// so that the text of an element can be read ahead and the position put back. One thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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
  // entities decoded, at most 1023 characters; the position is put back afterwards. The page
  // is split into tags and text runs once, on the first call, with the next end tag and the
  // next run of visible text known for every place; so a page of unclosed headings, each of
  // whose texts would reach to the end of the page, is still read in linear time.
  std::string TextUntil(std::uint16_t endCode);
  // The same text read character by character from the current position (the reading for a
  // place that is no boundary of the pieces; tests compare the two).
  std::string TextByScan(std::uint16_t endCode);

  std::size_t Position() const { return pos_; }

  // Decodes the entities of a text as the pass does for titles and labels.
  static std::string DecodeEntities(std::string_view text);

 private:
  // One piece of the page: a tag (its element code) or a run of text between tags.
  struct Piece {
    std::size_t pos;
    std::size_t end;
    std::uint16_t code;
    bool text;
    bool visible;  // text with a character other than white space
  };
  void SplitPieces();
  const std::vector<std::uint32_t>& NextEndTag(std::uint16_t endCode);

  std::uint16_t ReadTag();
  bool NextWord(std::string_view* word);
  void SkipComment();

  std::string_view page_;
  std::size_t pos_ = 0;
  std::uint16_t element_ = 0;
  bool present_[kAttrCount] = {};
  std::string values_[kAttrCount];

  bool split_ = false;
  std::vector<Piece> pieces_;
  std::vector<std::uint32_t> nextVisible_;  // per piece: the first visible text run from it on
  std::vector<std::uint32_t> blankRuns_;    // blank-only text runs before each piece
  std::map<std::uint16_t, std::vector<std::uint32_t>> nextEnd_;
};

}  // namespace siteglean
