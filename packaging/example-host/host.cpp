// A small host of the installed Halyard libraries, built outside the source tree: it tokenizes
// a page with Tagsmith, keeps the page's text forms in Vaultkit values, sends them through
// their stream form and prints what came back. Its output is checked by the install test.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "html/elem_kinds.h"
#include "html/parser.h"

int main() {
  const std::string page = "<P ALIGN=center>Hello <B>host</B></P>";
  Document doc;
  Parser parser;
  parser.SetDocument(&doc);
  parser.Parse(page.data(), static_cast<int>(page.size()));
  parser.End();

  std::string text;
  long elements = 0;
  for (const Elem* e = doc.firstChild; e; e = e->nextSibling) {
    CString form = e->TextForm();
    text.append(static_cast<const char*>(form), static_cast<std::size_t>(form.GetLength()));
    ++elements;
  }

  CPDString value(text.c_str());
  CPDLong count(static_cast<LONG>(elements));
  std::ostringstream os;
  os << value << count;
  std::istringstream is(os.str());
  std::unique_ptr<CPDObject> a(CPDObject::mNew(is));
  std::unique_ptr<CPDObject> b(CPDObject::mNew(is));
  auto* s = dynamic_cast<CPDString*>(a.get());
  auto* n = dynamic_cast<CPDLong*>(b.get());
  if (!s || !n) {
    std::fprintf(stderr, "host: the values did not come back from \"%s\"\n", os.str().c_str());
    return 1;
  }
  std::printf("%s\n%ld\n", static_cast<char*>(*s), static_cast<long>(n->mGetValue()));
  return 0;
}
