// tagsmith layout: lays a page out with the library's least layout and prints where each
// element went.
#include <cerrno>
#include <cstring>
#include <string>

#include "html/elem_kinds.h"
#include "html/layout.h"
#include "html/parser.h"
#include "html/tree_text.h"
#include "read_input.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

using namespace halyard::tool;

int LayoutCommand(int argc, char** argv) {
  const char* file = nullptr;
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    if (a[0] == '-' && a[1] != 0) return UsageError("unknown option " + Quote(a, '\''));
    if (file) return UsageError("only one FILE");
    file = a;
  }
  std::string text;
  if (!ReadInput(file, text)) return CannotRead(file ? file : "standard input", errno);
  Document doc;
  Parser parser;
  parser.SetDocument(&doc);
  parser.Parse(text.data(), static_cast<int>(text.size()));
  parser.End();
  LayoutState* state = doc.GetLayoutState();
  LayoutContext context(state);
  context.Run(&doc);
  std::string out;
  for (const LayoutState::Placed& p : state->Items()) {
    out += halyard::tagsmith::KindWord(p.kind);
    out += ' ' + std::to_string(p.type);
    if (p.kind == static_cast<WORD>(ElemKind::Component)) out += " #" + std::to_string(p.component);
    out += ' ' + std::to_string(p.rect.left) + ',' + std::to_string(p.rect.top) + ',' +
           std::to_string(p.rect.right) + ',' + std::to_string(p.rect.bottom) + '\n';
  }
  return WriteOutput(out);
}
