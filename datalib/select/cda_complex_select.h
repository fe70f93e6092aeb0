// AND and OR selections: a list of part selections (a CObArray of CDASelect pointers),
// archived as that array (count, then each part as an object). CDAAndSelect and CDAOrSelect
// do not own their parts; the WithDelete variants delete every non-null part when they are
// destroyed. The WithDelete variants write the stream letter of their base.
#pragma once

#include "cda_select.h"
#include "platform/mfc/cobarray.h"

class HALYARD_EXPORT CDAComplexSelect : public CDASelect {
  DECLARE_SERIAL(CDAComplexSelect)

 public:
  CDAComplexSelect();
  ~CDAComplexSelect() override;
  void Serialize(CArchive& ar) override;
  int mIsComplex() override;
  void Serialize(std::istream& is) override;
  void Serialize(std::ostream& os) override;

  void mAddSelect(CDASelect* select);
  LONG mGetNumSelects() const { return mSelects.GetSize(); }
  // The part under index; null outside the list.
  CDASelect* mGetSelect(LONG index) const;
  // Forgets every part without deleting it.
  void mRemoveAllSelects() { mSelects.RemoveAll(); }

 protected:
  // The kind letter of the stream form.
  virtual char mStreamLetter() const { return 'J'; }
  void mDeleteParts();

  CObArray mSelects;
};

class HALYARD_EXPORT CDAAndSelect : public CDAComplexSelect {
  DECLARE_SERIAL(CDAAndSelect)

 public:
  CDAAndSelect();
  ~CDAAndSelect() override;
  CObject* mProcessSelect(CDADataIterator* it) override;
  CObject* mProcessSelect(CDADatabase* db) override;

 protected:
  char mStreamLetter() const override { return 'F'; }
};

class HALYARD_EXPORT CDAOrSelect : public CDAComplexSelect {
  DECLARE_SERIAL(CDAOrSelect)

 public:
  CDAOrSelect();
  ~CDAOrSelect() override;
  CObject* mProcessSelect(CDADataIterator* it) override;
  CObject* mProcessSelect(CDADatabase* db) override;

 protected:
  char mStreamLetter() const override { return 'E'; }
};

class HALYARD_EXPORT CDAAndSelectWithDelete : public CDAAndSelect {
  DECLARE_SERIAL(CDAAndSelectWithDelete)

 public:
  CDAAndSelectWithDelete();
  ~CDAAndSelectWithDelete() override;
};

class HALYARD_EXPORT CDAOrSelectWithDelete : public CDAOrSelect {
  DECLARE_SERIAL(CDAOrSelectWithDelete)

 public:
  CDAOrSelectWithDelete();
  ~CDAOrSelectWithDelete() override;
};
