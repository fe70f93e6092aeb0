#include "parser2.h"

#include <string>
#include <vector>

#include "elem_kinds.h"
#include "mfc/cmemfile.h"
#include "parser.h"
#include "tag_token.h"
#include "token_reader.h"

Parser2::Parser2() = default;

Parser2::~Parser2() = default;

void Parser2::Begin() {}

void Parser2::Parse(const char* bytes, int length) {
  if (!root_ || !bytes || length <= 0) return;
  // The stream only reads the caller's bytes.
  CMemFile file(reinterpret_cast<BYTE*>(const_cast<char*>(bytes)), static_cast<UINT>(length));
  TokenReader reader(&file);
  TagToken tag;
  std::string upper;
  std::vector<CString> keys;
  std::vector<Elem::AttrRef> refs;
  for (;;) {
    int kind = reader.NextToken();
    if (kind == TokenReader::kEnd) break;
    std::string& text = reader.Token();
    switch (kind) {
      case TokenReader::kText:
        TokenReader::DecodeEntities(text);
        root_->Append(new TextElem(text.data(), static_cast<int>(text.size()),
                                   reader.Space().empty() ? 0 : Elem::kSpaceBefore));
        break;
      case TokenReader::kTag: {
        TokenReader::DecodeEntities(text);
        if (!TokenReader::ParseTag(text, tag)) break;
        upper.assign(static_cast<const char*>(tag.name),
                     static_cast<std::size_t>(tag.name.GetLength()));
        for (char& c : upper)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        Elem* e = CreateElem(tag.type, upper.data(), static_cast<int>(upper.size()), tag.end);
        if (!tag.attributes.IsEmpty()) {
          // The element's map is a copy of the token's: its pairs added in the token map's
          // iteration order.
          keys.clear();
          refs.clear();
          CString key, value;
          for (POSITION pos = tag.attributes.GetStartPosition(); pos;) {
            tag.attributes.GetNextAssoc(pos, key, value);
            keys.push_back(key);
            keys.push_back(value);
          }
          for (std::size_t i = 0; i < keys.size(); i += 2)
            refs.push_back({keys[i], keys[i].GetLength(), keys[i + 1], keys[i + 1].GetLength()});
          e->SetAttributeList(refs.data(), static_cast<int>(refs.size()));
        }
        static_cast<Tag*>(e)->SetExtra(reader.Space().data(),
                                       static_cast<int>(reader.Space().size()));
        root_->Append(e);
        break;
      }
      case TokenReader::kComment:
        root_->Append(new CommentElem(text.data(), static_cast<int>(text.size())));
        break;
    }
  }
}

void Parser2::End() { halyard::tagsmith::FinishChildren(root_); }
