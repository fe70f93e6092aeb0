#include "big_type_library.h"

#include <cstring>
#include <map>
#include <string>

namespace halyard::ole::testing {
namespace {

class Bytes {
 public:
  void U8(BYTE v) { b_.push_back(v); }
  void U16(WORD v) { U8(BYTE(v)), U8(BYTE(v >> 8)); }
  void I32(LONG v) { U16(WORD(DWORD(v))), U16(WORD(DWORD(v) >> 16)); }
  void Raw(const void* p, std::size_t n) {
    auto* c = static_cast<const BYTE*>(p);
    b_.insert(b_.end(), c, c + n);
  }
  void Put32(std::size_t at, LONG v) { std::memcpy(&b_[at], &v, 4); }
  std::size_t size() const { return b_.size(); }
  std::vector<BYTE>& data() { return b_; }

 private:
  std::vector<BYTE> b_;
};

constexpr LONG Simple(WORD vt) { return LONG(0x80000000u | DWORD(vt) << 16 | vt); }

struct Names {
  Bytes table;
  std::map<std::string, LONG> offsets;
  LONG Add(const std::string& name) {
    auto it = offsets.find(name);
    if (it != offsets.end()) return it->second;
    LONG off = LONG(table.size());
    table.I32(-1);
    table.I32(-1);
    table.U8(BYTE(name.size()));
    table.U8(0);
    table.U16(0);
    table.Raw(name.data(), name.size());
    while (table.size() % 4) table.U8('W');
    offsets[name] = off;
    return off;
  }
};

struct Param {
  LONG type;
  LONG name;
  LONG flags;
};

void Func(Bytes& rec, int index, LONG result, int invkind, int vft,
          const std::vector<Param>& params) {
  rec.U16(WORD(24 + 12 * params.size()));
  rec.U16(WORD(index));
  rec.I32(result);
  rec.I32(0);
  rec.U16(WORD(vft));
  rec.U16(0);
  rec.I32(1 | invkind << 3 | 4 << 8);  // pure virtual, stdcall
  rec.U16(WORD(params.size()));
  rec.U16(0);
  for (const Param& p : params) rec.I32(p.type), rec.I32(p.name), rec.I32(p.flags);
}

}  // namespace

std::vector<BYTE> BuildBigLibrary(int interfaces) {
  constexpr WORD VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8, VT_BOOL = 11, VT_UI4 = 19, VT_HRESULT = 25,
                 VT_PTR = 26, VT_USERDEFINED = 29;
  const int classes = interfaces / 10;
  const int types = 1 + interfaces + classes;  // the alias, the interfaces, the classes
  auto href = [](int type) { return LONG(type * 0x64); };

  Names names;
  Bytes guids, descs, refs, typeTable, members;
  auto guid = [&](DWORD n) {
    LONG off = LONG(guids.size());
    BYTE g[16] = {0x6B, 0x1C, 0, 0, 0, 0, 0, 0x40, 0x80};
    std::memcpy(g + 12, &n, 4);
    guids.Raw(g, 16);
    guids.I32(-1);
    guids.I32(-1);
    return off;
  };
  auto desc = [&](WORD vt, LONG ref) {
    LONG off = LONG(descs.size());
    descs.U16(vt);
    descs.U16(0x7FFE);
    descs.I32(ref);
    return off;
  };
  const LONG color = desc(VT_USERDEFINED, href(0));
  const LONG kinds[] = {Simple(VT_BSTR), Simple(VT_I4), Simple(VT_R8), Simple(VT_BOOL), color};
  LONG pointers[5];
  for (int k = 0; k < 5; ++k) pointers[k] = desc(VT_PTR, kinds[k]);
  const LONG ptrR8 = pointers[2], ptrBool = pointers[3];

  const LONG libName = names.Add("BigLib");
  const LONG nv = names.Add("v"), na = names.Add("a"), nb = names.Add("b"), nc = names.Add("c"),
             nr = names.Add("r");
  std::vector<LONG> typeBase;
  auto typeEntry = [&](DWORD kind, LONG memOffset, int funcs, LONG posGuid, WORD flags, LONG name,
                       int impls, int vft, LONG datatype1) {
    std::size_t at = typeTable.size();
    typeTable.data().resize(at + 0x64, 0);
    typeTable.Put32(at + 0x00, LONG(kind | 4 << 11));
    typeTable.Put32(at + 0x04, memOffset);
    typeTable.Put32(at + 0x18, funcs);
    typeTable.Put32(at + 0x2C, posGuid);
    typeTable.Put32(at + 0x30, flags);
    typeTable.Put32(at + 0x34, name);
    typeTable.Put32(at + 0x3C, -1);
    typeTable.Put32(at + 0x48, -1);
    typeTable.Put32(at + 0x4C, LONG(impls | vft << 16));
    typeTable.Put32(at + 0x50, 4);
    typeTable.Put32(at + 0x54, datatype1);
    typeTable.Put32(at + 0x60, -1);
  };

  // Member blocks come after the segments; their offsets are fixed up once those are laid out.
  std::vector<std::size_t> blockStarts;
  typeEntry(6, -1, 0, -1, 0, names.Add("OLE_COLOR"), 0, 0, Simple(VT_UI4));
  for (int i = 0; i < interfaces; ++i) {
    blockStarts.push_back(members.size());
    Bytes rec;
    std::vector<LONG> ids, nameOffs, recOffs;
    int vft = 28, index = 0;
    auto add = [&](const std::string& name, LONG memid, LONG result, int inv,
                   std::vector<Param> p) {
      recOffs.push_back(LONG(rec.size()));
      ids.push_back(memid);
      nameOffs.push_back(names.Add(name));
      Func(rec, index++, result, inv, vft, p);
      vft += 4;
    };
    LONG memid = 1;
    for (int p = 0; p < 15; ++p, ++memid) {
      std::string name = "Prop" + std::to_string(p);
      add(name, memid, Simple(VT_HRESULT), 2, {{pointers[p % 5], nv, 0xA}});
      add(name, memid, Simple(VT_HRESULT), 4, {{kinds[p % 5], nv, 1}});
    }
    for (int p = 0; p < 5; ++p, ++memid)
      add("Fixed" + std::to_string(p), memid, Simple(VT_HRESULT), 2, {{pointers[1], nv, 0xA}});
    for (int m = 0; m < 15; ++m, ++memid)
      add("Do" + std::to_string(m), memid, Simple(VT_HRESULT), 1,
          {{Simple(VT_I4), na, 1}, {Simple(VT_BSTR), nb, 1}, {ptrR8, nc, 3}, {ptrBool, nr, 0xA}});
    members.I32(LONG(rec.size()));
    members.Raw(rec.data().data(), rec.size());
    for (LONG v : ids) members.I32(v);
    for (LONG v : nameOffs) members.I32(v);
    for (LONG v : recOffs) members.I32(v);
    typeEntry(4, 0, 50, guid(DWORD(i + 1)), 0x1140, names.Add("IBig" + std::to_string(i)), 0, vft,
              -1);
  }
  for (int c = 0; c < classes; ++c) {
    LONG first = LONG(refs.size());
    for (int k = 0; k < 10; ++k) {
      LONG at = LONG(refs.size());
      refs.I32(href(1 + c * 10 + k));
      refs.I32(k == 0 ? 1 : 0);
      refs.I32(-1);
      refs.I32(k == 9 ? -1 : at + 16);
    }
    typeEntry(5, -1, 0, guid(DWORD(0x10000 + c)), 2, names.Add("Big" + std::to_string(c)), 10, 0,
              first);
  }

  Bytes file;
  const std::size_t headerEnd = 0x54 + 4 * std::size_t(types) + 15 * 16;
  struct Seg {
    Bytes* bytes;
    std::size_t offset = 0;
  } segs[15] = {{&typeTable}, {nullptr}, {nullptr},      {&refs},   {nullptr},
                {&guids},     {nullptr}, {&names.table}, {nullptr}, {&descs},
                {nullptr},    {nullptr}, {nullptr},      {nullptr}, {nullptr}};
  std::size_t pos = headerEnd;
  for (Seg& s : segs) {
    if (!s.bytes || s.bytes->size() == 0) continue;
    s.offset = pos;
    pos += s.bytes->size();
  }
  const std::size_t membersAt = pos;
  for (int i = 0; i < interfaces; ++i)
    typeTable.Put32(std::size_t(1 + i) * 0x64 + 4, LONG(membersAt + blockStarts[std::size_t(i)]));

  const LONG header[21] = {0x5446534D,
                           0x00010002,
                           -1,
                           0x409,
                           0,
                           0x41,
                           1,
                           0,
                           types,
                           -1,
                           0,
                           0,
                           LONG(names.offsets.size()),
                           0,
                           libName,
                           -1,
                           -1,
                           0x20,
                           0x80,
                           -1,
                           0};
  for (LONG v : header) file.I32(v);
  for (int t = 0; t < types; ++t) file.I32(href(t));
  for (Seg& s : segs) {
    bool present = s.bytes && s.bytes->size();
    file.I32(present ? LONG(s.offset) : -1);
    file.I32(present ? LONG(s.bytes->size()) : 0);
    file.I32(-1);
    file.I32(0x0F);
  }
  for (Seg& s : segs)
    if (s.bytes && s.bytes->size()) file.Raw(s.bytes->data().data(), s.bytes->size());
  file.Raw(members.data().data(), members.size());
  return std::move(file.data());
}

}  // namespace halyard::ole::testing
