// Reader of the MSFT type library format. Layout of a file: a header, the offsets of the
// type entries, a directory of fifteen segments (type entries, import entries, imported
// files, implemented-interface records, a GUID hash, GUIDs, a name hash, names, strings,
// type descriptions, array descriptions, custom data, ...), and after them the member
// blocks of the types. Every read below goes through Span, which refuses ranges outside
// the file, so a damaged file ends in an error code and never in a read past its end.
#include "typelib_msft.h"

#include <cstring>
#include <map>

namespace halyard::typelib {

const char* MsftErrorText(MsftError e) {
  switch (e) {
    case MsftError::kNone:
      return "no error";
    case MsftError::kTruncated:
      return "truncated";
    case MsftError::kBadMagic:
      return "not an MSFT type library";
    case MsftError::kBadOffset:
      return "offset out of range";
    case MsftError::kBadCount:
      return "count out of range";
    case MsftError::kBadName:
      return "name out of range";
    case MsftError::kBadType:
      return "bad type description";
    case MsftError::kBadRef:
      return "bad type reference";
  }
  return "unknown";
}

int MsftLibrary::LocalIndex(DWORD href) const {
  if (href & 3) return -1;
  DWORD index = href / kMsftTypeEntrySize;
  if (href % kMsftTypeEntrySize != 0 || index >= types.size()) return -1;
  return static_cast<int>(index);
}

const MsftImportRef* MsftLibrary::Import(DWORD href) const {
  for (const MsftImportRef& r : imports)
    if (r.href == href) return &r;
  return nullptr;
}

namespace {

constexpr DWORD kMagic = 0x5446534D;  // "MSFT"
constexpr LONG kHelpDllFlag = 0x100;
constexpr std::size_t kHeaderSize = 0x54;
constexpr int kSegments = 15;
constexpr int kMaxTypeDepth = 64;

enum Segment {
  kSegTypeInfo = 0,
  kSegImpInfo = 1,
  kSegImpFiles = 2,
  kSegRefTab = 3,
  kSegGuid = 5,
  kSegName = 7,
  kSegString = 8,
  kSegTypeDesc = 9,
  kSegArrayDesc = 10,
  kSegCustData = 11,
};

// A checked view of a byte range.
class Span {
 public:
  Span() = default;
  Span(const BYTE* p, std::size_t n) : p_(p), n_(n) {}
  std::size_t size() const { return n_; }
  bool Has(std::size_t off, std::size_t len) const { return off <= n_ && len <= n_ - off; }
  bool Has(LONG off, std::size_t len) const {
    return off >= 0 && Has(static_cast<std::size_t>(off), len);
  }
  Span Sub(std::size_t off, std::size_t len) const { return Span(p_ + off, len); }
  // Callers check Has first; out-of-range reads give 0 rather than touching memory.
  DWORD U32(std::size_t off) const {
    if (!Has(off, 4)) return 0;
    return DWORD(p_[off]) | DWORD(p_[off + 1]) << 8 | DWORD(p_[off + 2]) << 16 |
           DWORD(p_[off + 3]) << 24;
  }
  LONG I32(std::size_t off) const { return static_cast<LONG>(U32(off)); }
  WORD U16(std::size_t off) const {
    if (!Has(off, 2)) return 0;
    return WORD(p_[off] | p_[off + 1] << 8);
  }
  BYTE U8(std::size_t off) const { return Has(off, 1) ? p_[off] : 0; }
  const BYTE* Ptr(std::size_t off) const { return p_ + off; }

 private:
  const BYTE* p_ = nullptr;
  std::size_t n_ = 0;
};

class Parser {
 public:
  Parser(const BYTE* data, std::size_t size, MsftLibrary* lib) : file_(data, size), lib_(lib) {}
  MsftError Run();

 private:
  MsftError Fail(MsftError e) {
    if (error_ == MsftError::kNone) error_ = e;
    return e;
  }
  bool ReadHeader();
  bool ReadName(LONG off, std::string* out);
  bool ReadString(LONG off, std::string* out);
  bool ReadGuid(LONG off, MsftGuid* out);
  int DecodeType(LONG encoded, int depth);
  int SimpleType(WORD vt);
  bool ReadArrayDesc(LONG off, int depth, int* index);
  bool ReadValue(LONG encoded, WORD hintVt, MsftValue* out);
  bool ReadType(int index);
  bool ReadMembers(MsftType& type, LONG memOffset, int nFuncs, int nVars);
  bool ReadFunc(Span rec, MsftFunc* f);
  bool ReadVar(Span rec, MsftVar* v);
  bool ReadImpls(MsftType& type, LONG refOffset, int count);
  bool CheckRef(DWORD href);
  int ImportLib(LONG off);

  Span file_;
  MsftLibrary* lib_;
  MsftError error_ = MsftError::kNone;
  LONG dispatchHref_ = -1;
  Span seg_[kSegments];
  bool segPresent_[kSegments] = {};
  std::vector<LONG> typeOffsets_;
  std::map<LONG, int> simpleTypes_;   // vt -> node
  std::map<LONG, int> descByOffset_;  // type description offset -> node (-2 while decoding)
  std::map<LONG, int> arrayByOffset_;
  std::map<LONG, int> libByOffset_;
};

bool Parser::ReadHeader() {
  if (!file_.Has(std::size_t{0}, kHeaderSize)) return Fail(MsftError::kTruncated), false;
  if (file_.U32(0) != kMagic || file_.U32(4) != 0x00010002)
    return Fail(MsftError::kBadMagic), false;
  LONG posGuid = file_.I32(0x08);
  lib_->lcid = file_.I32(0x0C);
  LONG varflags = file_.I32(0x14);
  lib_->syskind = varflags & 0xF;
  if (lib_->syskind > 3) return Fail(MsftError::kBadType), false;
  DWORD version = file_.U32(0x18);
  lib_->major = version & 0xFFFF;
  lib_->minor = version >> 16;
  lib_->flags = file_.U32(0x1C) & 0xFFFF;
  LONG nTypes = file_.I32(0x20);
  LONG helpString = file_.I32(0x24);
  lib_->helpContext = file_.U32(0x2C);
  LONG nameOffset = file_.I32(0x38);
  LONG helpFile = file_.I32(0x3C);
  dispatchHref_ = file_.I32(0x4C);

  std::size_t pos = kHeaderSize;
  if (varflags & kHelpDllFlag) pos += 4;
  if (nTypes < 0) return Fail(MsftError::kBadCount), false;
  if (!file_.Has(pos, std::size_t(nTypes) * 4)) return Fail(MsftError::kTruncated), false;
  for (LONG i = 0; i < nTypes; ++i) typeOffsets_.push_back(file_.I32(pos + 4 * i));
  pos += std::size_t(nTypes) * 4;
  if (!file_.Has(pos, std::size_t(kSegments) * 16)) return Fail(MsftError::kTruncated), false;
  for (int s = 0; s < kSegments; ++s) {
    LONG off = file_.I32(pos + 16 * s);
    LONG len = file_.I32(pos + 16 * s + 4);
    if (off == -1 || len <= 0) continue;
    if (!file_.Has(off, std::size_t(len))) return Fail(MsftError::kBadOffset), false;
    seg_[s] = file_.Sub(off, len);
    segPresent_[s] = true;
  }
  if (std::size_t(nTypes) * kMsftTypeEntrySize > seg_[kSegTypeInfo].size())
    return Fail(MsftError::kBadCount), false;

  if (posGuid >= 0) {
    if (!ReadGuid(posGuid, &lib_->guid)) return false;
    lib_->hasGuid = true;
  }
  if (nameOffset >= 0 && !ReadName(nameOffset, &lib_->name)) return false;
  if (helpString >= 0 && !ReadString(helpString, &lib_->doc)) return false;
  if (helpFile >= 0 && !ReadString(helpFile, &lib_->helpFile)) return false;
  return true;
}

bool Parser::ReadName(LONG off, std::string* out) {
  const Span& s = seg_[kSegName];
  if (!s.Has(off, 12)) return Fail(MsftError::kBadName), false;
  std::size_t len = s.U8(off + 8);
  if (!s.Has(std::size_t(off) + 12, len)) return Fail(MsftError::kBadName), false;
  out->assign(reinterpret_cast<const char*>(s.Ptr(off + 12)), len);
  return true;
}

bool Parser::ReadString(LONG off, std::string* out) {
  const Span& s = seg_[kSegString];
  if (!s.Has(off, 2)) return Fail(MsftError::kBadName), false;
  std::size_t len = s.U16(off);
  if (!s.Has(std::size_t(off) + 2, len)) return Fail(MsftError::kBadName), false;
  out->assign(reinterpret_cast<const char*>(s.Ptr(off + 2)), len);
  return true;
}

bool Parser::ReadGuid(LONG off, MsftGuid* out) {
  const Span& s = seg_[kSegGuid];
  if (!s.Has(off, 16)) return Fail(MsftError::kBadOffset), false;
  std::memcpy(out->data(), s.Ptr(off), 16);
  return true;
}

int Parser::SimpleType(WORD vt) {
  auto it = simpleTypes_.find(vt);
  if (it != simpleTypes_.end()) return it->second;
  MsftTypeDesc d;
  d.vt = vt;
  lib_->descs.push_back(d);
  int index = int(lib_->descs.size()) - 1;
  simpleTypes_[vt] = index;
  return index;
}

// A type as stored in a member: negative values carry a base type in their low word,
// others are offsets into the type description segment.
int Parser::DecodeType(LONG encoded, int depth) {
  if (encoded < 0) {
    // Pointers, arrays and references need a description of their own.
    WORD vt = encoded & 0xFFFF;
    WORD base = vt & 0x0FFF;
    if (base >= 26 && base <= 29) return Fail(MsftError::kBadType), -1;
    return SimpleType(vt);
  }
  if (depth > kMaxTypeDepth) return Fail(MsftError::kBadType), -1;
  auto it = descByOffset_.find(encoded);
  if (it != descByOffset_.end()) {
    if (it->second < 0) return Fail(MsftError::kBadType), -1;  // refers to itself
    return it->second;
  }
  const Span& s = seg_[kSegTypeDesc];
  if (!s.Has(encoded, 8)) return Fail(MsftError::kBadType), -1;
  descByOffset_[encoded] = -2;
  MsftTypeDesc d;
  d.vt = s.U16(encoded);
  LONG ref = s.I32(encoded + 4);
  switch (d.vt & 0x0FFF) {
    case 26:  // VT_PTR
    case 27:  // VT_SAFEARRAY
      d.child = DecodeType(ref, depth + 1);
      if (d.child < 0) return -1;
      break;
    case 29:  // VT_USERDEFINED
      d.href = DWORD(ref);
      if (!CheckRef(d.href)) return -1;
      break;
    case 28:  // VT_CARRAY
      if (!ReadArrayDesc(ref, depth + 1, &d.array)) return -1;
      break;
    default:
      break;
  }
  lib_->descs.push_back(d);
  int index = int(lib_->descs.size()) - 1;
  descByOffset_[encoded] = index;
  return index;
}

bool Parser::ReadArrayDesc(LONG off, int depth, int* index) {
  auto it = arrayByOffset_.find(off);
  if (it != arrayByOffset_.end()) {
    if (it->second < 0) return Fail(MsftError::kBadType), false;
    *index = it->second;
    return true;
  }
  const Span& s = seg_[kSegArrayDesc];
  if (!s.Has(off, 8)) return Fail(MsftError::kBadType), false;
  arrayByOffset_[off] = -2;
  MsftArrayDesc a;
  LONG elem = s.I32(off);
  WORD dims = s.U16(off + 4);
  if (!s.Has(std::size_t(off) + 8, std::size_t(dims) * 8)) return Fail(MsftError::kBadType), false;
  a.element = DecodeType(elem, depth);
  if (a.element < 0) return false;
  for (WORD i = 0; i < dims; ++i)
    a.bounds.emplace_back(s.U32(off + 8 + 8 * i), s.I32(off + 12 + 8 * i));
  lib_->arrays.push_back(std::move(a));
  *index = int(lib_->arrays.size()) - 1;
  arrayByOffset_[off] = *index;
  return true;
}

// Constants and default values: a negative value holds a small integer in its low 26
// bits and its type above them; other values are offsets of a typed value in the custom
// data segment.
bool Parser::ReadValue(LONG encoded, WORD hintVt, MsftValue* out) {
  if (encoded < 0) {
    out->vt = (DWORD(encoded) >> 26) & 0x1F;
    if (out->vt == 0) out->vt = hintVt;
    LONG v = encoded & 0x03FFFFFF;
    if (v & 0x02000000) v |= ~0x03FFFFFF;  // sign of the 26-bit value
    out->integer = v;
    out->real = v;
    return true;
  }
  const Span& s = seg_[kSegCustData];
  if (!s.Has(encoded, 2)) return Fail(MsftError::kBadOffset), false;
  out->vt = s.U16(encoded);
  std::size_t p = std::size_t(encoded) + 2;
  auto need = [&](std::size_t n) {
    if (!s.Has(p, n)) return Fail(MsftError::kTruncated), false;
    return true;
  };
  switch (out->vt) {
    case 2:
    case 11:
    case 18:  // I2, BOOL, UI2
      if (!need(2)) return false;
      out->integer = out->vt == 18 ? LONGLONG(s.U16(p)) : LONGLONG(SHORT(s.U16(p)));
      break;
    case 16:
    case 17:  // I1, UI1
      if (!need(1)) return false;
      out->integer = out->vt == 16 ? LONGLONG(static_cast<signed char>(s.U8(p))) : s.U8(p);
      break;
    case 3:
    case 10:
    case 22:
    case 25:  // I4, ERROR, INT, HRESULT
      if (!need(4)) return false;
      out->integer = s.I32(p);
      break;
    case 19:
    case 23:  // UI4, UINT
      if (!need(4)) return false;
      out->integer = s.U32(p);
      break;
    case 4: {  // R4
      if (!need(4)) return false;
      DWORD bits = s.U32(p);
      float f;
      std::memcpy(&f, &bits, 4);
      out->real = f;
      break;
    }
    case 5:
    case 7:
    case 6:
    case 20:
    case 21: {  // R8, DATE, CY, I8, UI8
      if (!need(8)) return false;
      ULONGLONG bits = ULONGLONG(s.U32(p)) | ULONGLONG(s.U32(p + 4)) << 32;
      if (out->vt == 5 || out->vt == 7) {
        std::memcpy(&out->real, &bits, 8);
      } else {
        out->integer = LONGLONG(bits);
      }
      break;
    }
    case 8: {  // BSTR: length (or -1 for none) and the characters
      if (!need(4)) return false;
      LONG len = s.I32(p);
      if (len < 0) break;
      p += 4;
      if (!need(std::size_t(len))) return false;
      out->text.assign(reinterpret_cast<const char*>(s.Ptr(p)), std::size_t(len));
      break;
    }
    default:
      break;  // other kinds keep only their type
  }
  if (out->vt != 4 && out->vt != 5 && out->vt != 7) out->real = double(out->integer);
  return true;
}

bool Parser::CheckRef(DWORD href) {
  if ((href & 3) == 0) {
    // A local type: an offset in the type entry table.
    if (href % kMsftTypeEntrySize != 0 || href / kMsftTypeEntrySize >= typeOffsets_.size())
      return Fail(MsftError::kBadRef), false;
    return true;
  }
  for (const MsftImportRef& r : lib_->imports)
    if (r.href == href) return true;
  // An imported type: the offset of its import entry, plus one.
  LONG off = LONG(href & ~3u);
  const Span& s = seg_[kSegImpInfo];
  if ((href & 3) != 1 || !s.Has(off, 12)) return Fail(MsftError::kBadRef), false;
  MsftImportRef r;
  r.href = href;
  BYTE flags = s.U8(off + 2);
  r.kind = s.U8(off + 3);
  LONG file = s.I32(off + 4);
  LONG guidOrIndex = s.I32(off + 8);
  r.byGuid = flags & 1;
  if (r.byGuid) {
    // Some compilers leave the GUID out (-1); such a reference loads as a type that
    // cannot be found, which only its users notice.
    if (guidOrIndex != -1 && !ReadGuid(guidOrIndex, &r.guid)) return false;
    if (guidOrIndex == -1) r.index = -1;
    // The header names the handle of IDispatch, which is how such a reference is meant.
    if (guidOrIndex == -1 && LONG(href) == dispatchHref_) {
      static const MsftGuid kIDispatch = {0x00, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
      r.guid = kIDispatch;
      r.index = 0;
    }
  } else {
    r.index = guidOrIndex;
  }
  r.lib = ImportLib(file);
  if (r.lib < 0) return false;
  lib_->imports.push_back(r);
  return true;
}

int Parser::ImportLib(LONG off) {
  auto it = libByOffset_.find(off);
  if (it != libByOffset_.end()) return it->second;
  const Span& s = seg_[kSegImpFiles];
  if (!s.Has(off, 14)) return Fail(MsftError::kBadOffset), -1;
  MsftImportLib l;
  if (!ReadGuid(s.I32(off), &l.guid)) return -1;
  l.lcid = s.I32(off + 4);
  l.major = s.U16(off + 8);
  l.minor = s.U16(off + 10);
  std::size_t len = s.U16(off + 12) >> 2;
  if (!s.Has(std::size_t(off) + 14, len)) return Fail(MsftError::kBadName), -1;
  l.file.assign(reinterpret_cast<const char*>(s.Ptr(off + 14)), len);
  lib_->importLibs.push_back(std::move(l));
  int index = int(lib_->importLibs.size()) - 1;
  libByOffset_[off] = index;
  return index;
}

bool Parser::ReadImpls(MsftType& type, LONG refOffset, int count) {
  const Span& s = seg_[kSegRefTab];
  LONG off = refOffset;
  for (int i = 0; i < count; ++i) {
    if (!s.Has(off, 16)) return Fail(MsftError::kBadOffset), false;
    MsftImpl impl;
    impl.href = s.U32(off);
    impl.flags = s.I32(off + 4);
    if (!CheckRef(impl.href)) return false;
    type.impls.push_back(impl);
    LONG next = s.I32(off + 12);
    if (i + 1 < count && next <= off) return Fail(MsftError::kBadOffset), false;  // no loops
    off = next;
  }
  return true;
}

bool Parser::ReadFunc(Span rec, MsftFunc* f) {
  if (!rec.Has(std::size_t{0}, 24)) return Fail(MsftError::kTruncated), false;
  f->result = DecodeType(rec.I32(4), 0);
  if (f->result < 0) return false;
  f->funcFlags = rec.U32(8) & 0xFFFF;
  f->oVft = SHORT(rec.U16(12));
  DWORD fkccic = rec.U32(16);
  f->funcKind = fkccic & 7;
  f->invKind = (fkccic >> 3) & 0xF;
  f->callConv = (fkccic >> 8) & 0xF;
  if (f->funcKind > 4 || f->callConv > 9 ||
      (f->invKind != 1 && f->invKind != 2 && f->invKind != 4 && f->invKind != 8))
    return Fail(MsftError::kBadType), false;
  bool hasDefaults = fkccic & 0x1000;
  SHORT nParams = SHORT(rec.U16(20));
  f->optionalParams = SHORT(rec.U16(22));
  if (nParams < 0) return Fail(MsftError::kBadCount), false;
  std::size_t paramBytes = std::size_t(nParams) * 12;
  std::size_t defaultBytes = hasDefaults ? std::size_t(nParams) * 4 : 0;
  if (rec.size() < 24 + paramBytes + defaultBytes) return Fail(MsftError::kBadCount), false;
  std::size_t optional = (rec.size() - 24 - paramBytes - defaultBytes) / 4;
  if (optional >= 1) f->helpContext = rec.U32(24);
  if (optional >= 2) {
    LONG doc = rec.I32(28);
    if (doc >= 0 && !ReadString(doc, &f->doc)) return false;
  }
  std::size_t paramStart = rec.size() - paramBytes;
  std::size_t defaultStart = paramStart - defaultBytes;
  for (SHORT i = 0; i < nParams; ++i) {
    std::size_t p = paramStart + std::size_t(i) * 12;
    MsftParam param;
    param.type = DecodeType(rec.I32(p), 0);
    if (param.type < 0) return false;
    LONG name = rec.I32(p + 4);
    if (name >= 0 && !ReadName(name, &param.name)) return false;
    param.flags = rec.U32(p + 8) & 0xFFFF;
    if (hasDefaults && (param.flags & 0x20)) {
      WORD vt = lib_->descs[param.type].vt;
      if (!ReadValue(rec.I32(defaultStart + std::size_t(i) * 4), vt, &param.defaultValue))
        return false;
    }
    f->params.push_back(std::move(param));
  }
  return true;
}

bool Parser::ReadVar(Span rec, MsftVar* v) {
  if (!rec.Has(std::size_t{0}, 20)) return Fail(MsftError::kTruncated), false;
  v->type = DecodeType(rec.I32(4), 0);
  if (v->type < 0) return false;
  v->varFlags = rec.U32(8) & 0xFFFF;
  v->varKind = rec.U16(12) & 0xFF;
  if (v->varKind > 3) return Fail(MsftError::kBadType), false;
  LONG value = rec.I32(16);
  if (v->varKind == 2) {  // VAR_CONST
    if (!ReadValue(value, lib_->descs[v->type].vt, &v->value)) return false;
  } else {
    v->offset = value;
  }
  std::size_t optional = (rec.size() - 20) / 4;
  if (optional >= 1) v->helpContext = rec.U32(20);
  if (optional >= 2) {
    LONG doc = rec.I32(24);
    if (doc >= 0 && !ReadString(doc, &v->doc)) return false;
  }
  return true;
}

bool Parser::ReadMembers(MsftType& type, LONG memOffset, int nFuncs, int nVars) {
  std::size_t n = std::size_t(nFuncs) + std::size_t(nVars);
  if (!file_.Has(memOffset, 4)) return Fail(MsftError::kBadOffset), false;
  // The records, then three tables with one entry per member: member ids, name offsets
  // and record offsets.
  DWORD recordBytes = file_.U32(memOffset);
  std::size_t start = std::size_t(memOffset) + 4;
  if (!file_.Has(start, recordBytes)) return Fail(MsftError::kTruncated), false;
  Span records = file_.Sub(start, recordBytes);
  if (!file_.Has(start + recordBytes, n * 12)) return Fail(MsftError::kBadCount), false;
  Span block = file_.Sub(start, recordBytes + n * 12);
  std::size_t tables = recordBytes;
  for (std::size_t i = 0; i < n; ++i) {
    LONG memid = block.I32(tables + 4 * i);
    LONG name = block.I32(tables + 4 * (n + i));
    LONG off = block.I32(tables + 4 * (2 * n + i));
    if (!records.Has(off, 4)) return Fail(MsftError::kBadOffset), false;
    std::size_t size = records.U16(off);
    if (!records.Has(off, size)) return Fail(MsftError::kTruncated), false;
    Span rec = records.Sub(off, size);
    std::string memberName;
    if (name >= 0 && !ReadName(name, &memberName)) return false;
    if (i < std::size_t(nFuncs)) {
      MsftFunc f;
      f.memid = memid;
      f.name = std::move(memberName);
      if (!ReadFunc(rec, &f)) return false;
      type.funcs.push_back(std::move(f));
    } else {
      MsftVar v;
      v.memid = memid;
      v.name = std::move(memberName);
      if (!ReadVar(rec, &v)) return false;
      type.vars.push_back(std::move(v));
    }
  }
  return true;
}

bool Parser::ReadType(int index) {
  const Span& s = seg_[kSegTypeInfo];
  std::size_t base = std::size_t(index) * kMsftTypeEntrySize;
  MsftType& t = lib_->types[index];
  DWORD kind = s.U32(base);
  t.kind = kind & 0xF;
  if (t.kind > 7) return Fail(MsftError::kBadType), false;
  t.alignment = (kind >> 11) & 0x1F;
  LONG memOffset = s.I32(base + 0x04);
  DWORD elements = s.U32(base + 0x18);
  int nFuncs = elements & 0xFFFF;
  int nVars = elements >> 16;
  LONG posGuid = s.I32(base + 0x2C);
  t.flags = s.U32(base + 0x30) & 0xFFFF;
  LONG name = s.I32(base + 0x34);
  DWORD version = s.U32(base + 0x38);
  t.major = version & 0xFFFF;
  t.minor = version >> 16;
  LONG doc = s.I32(base + 0x3C);
  t.helpContext = s.U32(base + 0x44);
  int nImpl = s.U16(base + 0x4C);
  t.sizeVft = s.U16(base + 0x4E);
  t.sizeInstance = s.U32(base + 0x50);
  LONG datatype1 = s.I32(base + 0x54);

  if (posGuid >= 0) {
    if (!ReadGuid(posGuid, &t.guid)) return false;
    t.hasGuid = true;
  }
  if (!ReadName(name, &t.name)) return false;
  if (doc >= 0 && !ReadString(doc, &t.doc)) return false;
  if (nFuncs + nVars > 0 && !ReadMembers(t, memOffset, nFuncs, nVars)) return false;
  switch (t.kind) {
    case 5:  // TKIND_COCLASS: a chain of implemented-interface records
      if (nImpl > 0 && !ReadImpls(t, datatype1, nImpl)) return false;
      break;
    case 3:  // TKIND_INTERFACE
    case 4:  // TKIND_DISPATCH: the base interface
      if (nImpl > 0 && datatype1 != -1) {
        if (!CheckRef(DWORD(datatype1))) return false;
        t.impls.push_back({DWORD(datatype1), 0});
      }
      break;
    case 6:  // TKIND_ALIAS
      t.alias = DecodeType(datatype1, 0);
      if (t.alias < 0) return false;
      break;
    case 2:  // TKIND_MODULE
      if (datatype1 >= 0 && !ReadName(datatype1, &t.dllName)) return false;
      break;
    default:
      break;
  }
  return true;
}

MsftError Parser::Run() {
  if (!ReadHeader()) return error_;
  lib_->types.resize(typeOffsets_.size());
  for (std::size_t i = 0; i < typeOffsets_.size(); ++i)
    if (!ReadType(int(i))) return error_;
  return MsftError::kNone;
}

}  // namespace

MsftError ParseMsft(const BYTE* data, std::size_t size, MsftLibrary* out) {
  *out = MsftLibrary();
  Parser parser(data, size, out);
  MsftError e = parser.Run();
  if (e != MsftError::kNone) *out = MsftLibrary();
  return e;
}

}  // namespace halyard::typelib
