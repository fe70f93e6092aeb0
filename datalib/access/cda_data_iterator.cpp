#include "cda_data_iterator.h"

CDADataIterator::~CDADataIterator() = default;

CObject* CDADataIterator::mProcessStringSelect(CDAStringSelect*) { return nullptr; }
CObject* CDADataIterator::mProcessLongSelect(CDALongSelect*) { return nullptr; }
CObject* CDADataIterator::mProcessOrSelect(CDAOrSelect*) { return nullptr; }
CObject* CDADataIterator::mProcessAndSelect(CDAAndSelect*) { return nullptr; }
