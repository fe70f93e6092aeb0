// CDASelect: the root of the selection classes, small trees of conditions on the fields of
// one object type that every back end understands. Selections are serialisable run-time
// classes (schema 0) so that an archive re-creates them by class name; they also have a text
// stream form that starts with a kind letter. mStoreData/mRetrieveData keep a selection in a
// CPDBuffer as an archive of a one-element CObArray. Factories (mNew, mRetrieveData,
// mGetSelectHandler, mProcessSelect) return heap objects owned by the caller. A plain AND or
// OR selection does not own its parts: vaultkit::DeleteSelectTree frees a whole tree. One
// thread at a time.
#pragma once

#include <iosfwd>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cobject.h"

class CDADatabase;
class CDADataIterator;
class CPDBuffer;
class CPDStringArray;

class HALYARD_EXPORT CDASelect : public CObject {
  DECLARE_SERIAL(CDASelect)

 public:
  CDASelect() = default;
  ~CDASelect() override;
  void Serialize(CArchive& ar) override;

  // Applies the selection to an iterator / has the database translate it; null by default.
  virtual CObject* mProcessSelect(CDADataIterator* it);
  virtual CObject* mProcessSelect(CDADatabase* db);
  // 1 for AND and OR selections, 0 for the others.
  virtual int mIsComplex();
  // The operator names of the class (process-wide, not to be freed); null when it has none.
  virtual CPDStringArray* mGetLogicalOperatorList();
  // Reads the body, the kind letter already consumed. A malformed body fails the stream.
  virtual void Serialize(std::istream& is);
  // Writes the kind letter and the body.
  virtual void Serialize(std::ostream& os);

  // Writes this selection into the buffer (replacing its contents).
  void mStoreData(CPDBuffer* buffer);
  // The selection a buffer holds; null for a null or empty buffer. A damaged buffer raises
  // the archive's exception and leaves nothing allocated.
  static CDASelect* mRetrieveData(CPDBuffer* buffer);
  // A new empty selection for a field kind: 0 text, 1 long, 7 AND, 8 OR; null otherwise.
  static CDASelect* mGetSelectHandler(LONG kind);
  // Reads a kind letter (white space skipped) and the selection behind it: only "E" OR,
  // "F" AND, "G" long and "H" string selections; null for any other letter or a body that
  // cannot be read.
  static CDASelect* mNew(std::istream& is);
};

HALYARD_EXPORT std::ostream& operator<<(std::ostream& os, CDASelect& select);
// Reads the body only: the caller consumes the letter first.
HALYARD_EXPORT std::istream& operator>>(std::istream& is, CDASelect& select);

namespace vaultkit {

// Deletes a selection and every part below it, whatever owns what; each node once.
void DeleteSelectTree(CDASelect* root);

// The deepest nesting of AND and OR selections that is read from an archive or a stream.
inline constexpr int kMaxSelectDepth = 100;

}  // namespace vaultkit
