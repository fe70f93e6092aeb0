// ChangeRecord: one undoable change of the view, and the change kinds with the flag words that
// request them. The view keeps its records in its change stack; a record of kind 16 owns its
// data, a CString allocated with new by whoever made the record, which the view deletes with
// the record.
#pragma once

#include "platform/kernel/export.h"
#include "platform/mfc/cstring.h"

class CPublishObject;

enum ChangeKind : int {
  kChangeProperty = 1,     // a property of the object (request flag 0x40); data 1 unless "D"
  kChangeMove = 2,         // data: the other parent (former one, or after an undo the later one)
  kChangeRename = 4,       // name: the other name
  kChangeNewFolder = 8,    // data: the parent
  kChangeSettings = 16,    // request flag 0x20; data: an owned CString* or null
  kChangeGroupStart = 32,  // start of a group of changes (paste of several objects)
  kChangeGroupEnd = 64,    // end of a group
  kChangeDelete = 128,     // data: the parent the folder was deleted from
};

struct ChangeRecord {
  CPublishObject* m_pObject = nullptr;
  int m_nKind = 0;
  DWORD_PTR m_dwData = 0;
  CString m_strName;
};

// The kind a flag word requests: the first flag found in the order 1, 2, 4, 8, 0x20, 0x40,
// 0x10, 0x80 decides (1 rename, 2 move, 4 group start, 8 group end, 0x20 kind 16, 0x40 kind 1,
// 0x10 new folder, 0x80 delete); 0 when no known flag is set.
HALYARD_EXPORT int ChangeKindFromFlags(DWORD flags);
