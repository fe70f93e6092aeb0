#include "parser2.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "elem_kinds.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cmapstringtostring.h"
#include "platform/mfc/cmemfile.h"
#include "parser.h"
#include "tag_token.h"
#include "tag_type_table.h"
#include "token_reader.h"

namespace {

// The element's attribute map is a copy of the one the tag token's would be: the pairs added in
// the order that map gives. That order is worked out here without building the token's map:
// the class library's map walks its 17 buckets in ascending order and, within one, the most
// recently added key first; a repeated key keeps its place and takes the later value. Keys and
// values end at a NUL, as the map stores them.
void AttachAttributes(Elem* e, const char* text, const TokenReader::ScannedTag& tag) {
  struct Entry {
    std::size_t key, keyLength;
    const char* value;
    std::size_t valueLength;
    UINT bucket;
    std::size_t order;
  };
  thread_local std::string keys;
  thread_local std::vector<Entry> entries;
  thread_local std::vector<Elem::AttrRef> refs;
  keys.clear();
  entries.clear();
  for (std::size_t k = 0; k < tag.attrs.size(); ++k) {
    const auto& a = tag.attrs[k];
    std::size_t at = keys.size();
    keys.append(text + a.name, a.nameLength);
    keys.push_back('\0');
    std::size_t klen = std::strlen(keys.data() + at);
    for (std::size_t c = at; c < at + klen; ++c)
      if (keys[c] >= 'a' && keys[c] <= 'z') keys[c] = static_cast<char>(keys[c] - 'a' + 'A');
    const char* value = text + a.value;
    const void* nul = std::memchr(value, 0, a.valueLength);
    std::size_t vlen =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - value) : a.valueLength;
    bool repeated = false;
    for (Entry& old : entries) {
      if (old.keyLength == klen &&
          std::memcmp(keys.data() + old.key, keys.data() + at, klen) == 0) {
        old.value = value;
        old.valueLength = vlen;
        repeated = true;
        break;
      }
    }
    if (repeated) continue;
    UINT bucket = CMapStringToString::HashKey(keys.data() + at) % 17u;
    entries.push_back({at, klen, value, vlen, bucket, k});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
    return x.bucket != y.bucket ? x.bucket < y.bucket : x.order > y.order;
  });
  refs.clear();
  for (const Entry& en : entries)
    refs.push_back({keys.data() + en.key, static_cast<int>(en.keyLength), en.value,
                    static_cast<int>(en.valueLength)});
  e->SetAttributeList(refs.data(), static_cast<int>(refs.size()));
}

}  // namespace

Parser2::Parser2() : endOfInput_(new halyard::tagsmith::EndOfInput) {}

Parser2::~Parser2() { delete endOfInput_; }

void Parser2::SetDocument(Elem* root) {
  root_ = root;
  *endOfInput_ = halyard::tagsmith::EndOfInput();
}

void Parser2::Begin() {}

void Parser2::Parse(const char* bytes, int length) {
  if (!root_ || !bytes || length <= 0) return;
  endOfInput_->Begin(root_);
  // The stream only reads the caller's bytes.
  CMemFile file(reinterpret_cast<BYTE*>(const_cast<char*>(bytes)), static_cast<UINT>(length));
  TokenReader reader(&file);
  TokenReader::ScannedTag scanned;
  std::string upper;
  for (;;) {
    int kind = reader.NextToken();
    if (kind == TokenReader::kEnd) break;
    std::string& text = reader.Token();
    switch (kind) {
      case TokenReader::kText:
        TokenReader::DecodeEntities(text);
        root_->Append(new TextElem(text.data(), static_cast<int>(text.size()),
                                   reader.Space().empty() ? DWORD{0} : DWORD{Elem::kSpaceBefore}));
        break;
      case TokenReader::kTag: {
        if (!TokenReader::ScanTag(text, scanned)) break;
        // References are decoded once the values are split off, so that a "&quot;" inside a
        // quoted value stays inside it.
        char* b = text.data();
        for (TokenReader::ScannedTag::Attr& a : scanned.attrs)
          a.valueLength = TokenReader::DecodeEntities(b + a.value, a.valueLength);
        upper.assign(b + scanned.name, scanned.nameLength);
        halyard::MakeAsciiUpper(upper);
        Token::Type type = TagTypeTable::LookupWithoutJsb(upper.data(), upper.size());
        Elem* e = CreateElem(type, upper.data(), static_cast<int>(upper.size()), scanned.end);
        if (!scanned.attrs.empty()) AttachAttributes(e, b, scanned);
        static_cast<Tag*>(e)->SetExtra(reader.Space().data(),
                                       static_cast<int>(reader.Space().size()));
        root_->Append(e);
        endOfInput_->Note(e);
        break;
      }
      case TokenReader::kComment:
        root_->Append(new CommentElem(text.data(), static_cast<int>(text.size())));
        endOfInput_->Note(root_->lastChild);
        break;
    }
  }
}

void Parser2::End() {
  endOfInput_->Begin(root_);
  endOfInput_->Run(root_);
}
