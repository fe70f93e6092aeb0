// Plain-text views of an element tree, for the command-line tool and the tests: one element a
// line with its kind, type, name, attributes and flags; a count per kind; and the HTML text
// form of a sequence of elements.
#pragma once

#include <functional>
#include <string>

class Elem;

namespace halyard::tagsmith {

// The word for an element kind: "text", "comment", "tag", "document", "image", "table",
// "control", "list", "rule", "object", "anchor", "script", "paragraph", "font", "title",
// "style", "component".
const char* KindWord(int kind);
// bytes as a double-quoted string with C escapes (octal for bytes that are not printable).
void AppendQuoted(std::string& out, const char* bytes, std::size_t length);
// One line per element below root (root itself not shown), indented two blanks per level:
// kind, type, the quoted name or text, "#number" for components, NAME="value" per attribute in
// map order, then "end", "space-before", "space-after" for the flags that are set.
void DumpTree(const Elem* root, std::string& out);
// "kind count" lines, in kind order, for the kinds that occur below root, then "total N".
void DumpSummary(const Elem* root, std::string& out);
// The text form of each child of root in order; a component's gathered content follows it.
void WriteChildren(const Elem* root, std::string& out);
// The whole tree below root as an HTML page that reads back into the same tree: every element's
// text form in document order, children after their element (a comment's further lines are in
// its own text form); the preformatted marks as a tab and a line feed; "&", "<" and ">" in text
// and "&" and '"' in attribute values as entities, except in the content of SCRIPT, STYLE and
// the raw-text JSB tags, which is written as it stands.
void WriteHtml(const Elem* root, std::string& out);
// The same for a page too large to hold twice: whenever out has grown past 8 KB, drain is
// called to take it away (it writes and empties it).
void WriteHtml(const Elem* root, std::string& out, const std::function<void(std::string&)>& drain);

}  // namespace halyard::tagsmith
