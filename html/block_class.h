// The block class of a tag type: how the page layout treats an element of that type (33 inline
// text markup, 2 line break, 6, 7, 22, 23, 30 and 31 kinds of block, 0 everything else). A
// constant table; any thread may use it.
#pragma once

namespace halyard::tagsmith {

// The class of the type (0 for types outside the table, also negative or unknown ones).
int BlockClassOf(int type);
// True for the classes that begin and end a block of their own.
bool IsBlockClass(int blockClass);

}  // namespace halyard::tagsmith
