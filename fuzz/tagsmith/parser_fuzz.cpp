// Parser over arbitrary bytes, handed over in pieces whose sizes the input's first bytes
// choose. The tree must not depend on the cuts: it is compared with the one read in a single
// piece, with the text elements that follow each other inside a script, style or raw-text
// block joined (that text is cut into elements where the pieces were cut, but none of it may
// change).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/tree_text.h"

namespace {

bool OpensBlock(const Elem* e) {
  return e->kind != ElemKind::Text && !e->IsEnd() &&
         (e->type == Token::SCRIPT || e->type == Token::STYLE ||
          e->type == Token::JSB_CONSTRUCTOR || e->type == Token::JSB_BODYTAG ||
          e->type == Token::JSB_STARTBODY || e->type == Token::JSB_ENDBODY);
}

// One line per element, indented by depth, with the text elements that follow each other
// after a block's start tag (in any child list: components gather what follows them) as one.
void Dump(const Elem* parent, int depth, std::string& out) {
  std::string block;
  bool inBlock = false;
  auto flush = [&] {
    if (block.empty()) return;
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += "block ";
    halyard::tagsmith::AppendQuoted(out, block.data(), block.size());
    out += '\n';
    block.clear();
  };
  for (const Elem* e = parent->firstChild; e; e = e->nextSibling) {
    if (inBlock && e->kind == ElemKind::Text) {
      block.append(e->name.data(), static_cast<std::size_t>(e->name.GetLength()));
      continue;
    }
    flush();
    inBlock = OpensBlock(e);
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += std::to_string(static_cast<int>(e->kind)) + " " + std::to_string(e->type) + " " +
           std::to_string(e->flags) + " ";
    halyard::tagsmith::AppendQuoted(out, e->name.data(),
                                    static_cast<std::size_t>(e->name.GetLength()));
    out += '\n';
    Dump(e, depth + 1, out);
  }
  flush();
}

std::string Read(const char* data, std::size_t size, const std::uint8_t* cuts, std::size_t ncuts) {
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  std::size_t at = 0, k = 0;
  while (at < size) {
    std::size_t n = ncuts ? 1 + cuts[k++ % ncuts] % 64 : size;
    if (n > size - at) n = size - at;
    p.Parse(data + at, static_cast<int>(n));
    at += n;
  }
  p.End();
  std::string out;
  Dump(&doc, 0, out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t ncuts = data[0] % 8;
  if (size < 1 + ncuts) return 0;
  const std::uint8_t* cuts = data + 1;
  const char* text = reinterpret_cast<const char*>(data + 1 + ncuts);
  std::size_t len = size - 1 - ncuts;
  std::string pieces = Read(text, len, cuts, ncuts);
  std::string whole = Read(text, len, nullptr, 0);
  if (whole != pieces) __builtin_trap();
  return 0;
}
