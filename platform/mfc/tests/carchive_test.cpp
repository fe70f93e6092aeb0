#include "platform/mfc/carchive.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cfile.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/cmemoryexception.h"
#include "platform/mfc/cobarray.h"

using Bytes = std::vector<BYTE>;

// A small serialisable object: a number and a link to another object (possibly shared).
class CTestItem : public CObject {
  DECLARE_SERIAL(CTestItem)
 public:
  CTestItem() = default;
  explicit CTestItem(LONG v) : value(v) {}
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar << value << link;
    } else {
      ar >> value;
      CObject* p;
      ar >> p;
      link = p;
    }
  }
  LONG value = 0;
  CObject* link = nullptr;
};
IMPLEMENT_SERIAL(CTestItem, CObject, 1)

// A derived class, stored with its own name.
class CTestDerived : public CTestItem {
  DECLARE_SERIAL(CTestDerived)
};
IMPLEMENT_SERIAL(CTestDerived, CTestItem, 1)

// A versionable class at schema 3 that still reads schema 1 data.
class CTestVersioned : public CObject {
  DECLARE_SERIAL(CTestVersioned)
 public:
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar << (WORD)7;
    } else {
      loadedSchema = ar.GetObjectSchema();
      WORD w;
      ar >> w;
    }
  }
  UINT loadedSchema = 0;
};
IMPLEMENT_SERIAL(CTestVersioned, CObject, VERSIONABLE_SCHEMA | 3)

namespace {

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Runs a store function over a fresh memory file and returns the bytes written.
template <typename Fn>
Bytes Store(Fn fn, int bufSize = 4096) {
  CMemFile f;
  {
    CArchive ar(&f, CArchive::store, bufSize);
    fn(ar);
    ar.Close();
  }
  DWORD n = f.GetLength();
  BYTE* p = f.Detach();
  Bytes out(p, p + n);
  std::free(p);
  return out;
}

// Loads from the given bytes; returns the CArchiveException cause (-1: none; -2: CFileException
// or CMemoryException). Objects created by a failed load are deleted.
template <typename Fn>
int Load(const Bytes& bytes, Fn fn, int bufSize = 4096) {
  Bytes copy(bytes);
  CMemFile f(copy.data(), (UINT)copy.size());
  CArchive ar(&f, CArchive::load, bufSize);
  try {
    fn(ar);
  } catch (CArchiveException* e) {
    int cause = e->m_cause;
    e->Delete();
    ar.DeleteLoadedObjects();
    return cause;
  } catch (CException* e) {
    e->Delete();
    ar.DeleteLoadedObjects();
    return -2;
  }
  return -1;
}

TEST(CArchiveTest, ScalarsAreLittleEndianWithWin32Widths) {
  Bytes got = Store([](CArchive& ar) {
    ar << (BYTE)0x12 << (WORD)0x3456 << (LONG)-2 << (DWORD)0x89ABCDEF << 1.5f << -2.0 << 7 << 'c'
       << (short)-1 << (LONGLONG)0x0102030405060708ll;
  });
  Bytes want = {0x12, 0x56, 0x34, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xCD, 0xAB, 0x89, 0x00, 0x00,
                0xC0, 0x3F, 0,    0,    0,    0,    0,    0,    0,    0xC0, 7,    0,    0,
                0,    'c',  0xFF, 0xFF, 8,    7,    6,    5,    4,    3,    2,    1};
  EXPECT_EQ(got, want);
  BYTE b;
  WORD w;
  LONG l;
  DWORD d;
  float f;
  double g;
  int i;
  char c;
  short s;
  LONGLONG ll;
  EXPECT_EQ(
      Load(want, [&](CArchive& ar) { ar >> b >> w >> l >> d >> f >> g >> i >> c >> s >> ll; }), -1);
  EXPECT_EQ(b, 0x12);
  EXPECT_EQ(w, 0x3456);
  EXPECT_EQ(l, -2);
  EXPECT_EQ(d, 0x89ABCDEFu);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(g, -2.0);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(s, -1);
  EXPECT_EQ(ll, 0x0102030405060708ll);
}

TEST(CArchiveTest, StringLengthFormsAtEachBoundary) {
  struct {
    int len;
    Bytes prefix;
  } cases[] = {
      {0, {0x00}},
      {3, {0x03}},
      {254, {0xFE}},
      {255, {0xFF, 0xFF, 0x00}},
      {65533, {0xFF, 0xFD, 0xFF}},
      {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
      {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (auto& c : cases) {
    CString s('x', c.len);
    Bytes got = Store([&](CArchive& ar) { ar << s; });
    Bytes want = Cat({c.prefix, Bytes((std::size_t)c.len, 'x')});
    EXPECT_EQ(got, want) << c.len;
    CString back("old");
    EXPECT_EQ(Load(want, [&](CArchive& ar) { ar >> back; }), -1);
    EXPECT_EQ(back.GetLength(), c.len);
    EXPECT_EQ(back, s);
  }
}

TEST(CArchiveTest, WideStringsOfUnicodeBuildsLoadAsWindows1252) {
  // 0xFF 0xFFFE marks wide text: 4 units 'a', U+20AC (euro, 0x80), U+00E9, U+2601 (no 1252 form).
  Bytes wide = {0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 0xAC, 0x20, 0xE9, 0x00, 0x01, 0x26};
  CString s;
  EXPECT_EQ(Load(wide, [&](CArchive& ar) { ar >> s; }), -1);
  EXPECT_EQ(s, "a\x80\xE9?");
  Bytes twice = {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00};
  EXPECT_EQ(Load(twice, [&](CArchive& ar) { ar >> s; }), CArchiveException::generic);
}

TEST(CArchiveTest, CountsAreWordsUpToFFFEThenFFFFAndADword) {
  Bytes got = Store([](CArchive& ar) {
    ar.WriteCount(0);
    ar.WriteCount(0xFFFE);
    ar.WriteCount(0xFFFF);
    ar.WriteCount(0x12345);
  });
  Bytes want = {0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0};
  EXPECT_EQ(got, want);
  std::vector<DWORD> counts;
  EXPECT_EQ(Load(want,
                 [&](CArchive& ar) {
                   for (int i = 0; i < 4; ++i) counts.push_back(ar.ReadCount());
                 }),
            -1);
  EXPECT_EQ(counts, (std::vector<DWORD>{0, 0xFFFE, 0xFFFF, 0x12345}));
}

// The array [a, b, a, null] with a = 1 and b = 2, as the persistent object format lays it out.
Bytes ArrayBytes() {
  return Cat({{0xFF, 0xFF, 0x00, 0x00, 0x08, 0x00},
              Str("CObArray"),  // class 1, array is 2
              {0x04, 0x00},     // count
              {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00},
              Str("CTestItem"),             // class 3, a is 4
              {0x01, 0, 0, 0, 0x00, 0x00},  // a: value, null link
              {0x03, 0x80},                 // class 3 again, b is 5
              {0x02, 0, 0, 0, 0x00, 0x00},  // b
              {0x04, 0x00},                 // a again
              {0x00, 0x00}});               // null
}

TEST(CArchiveTest, ObjectsClassesReferencesAndNullInThePersistentFormat) {
  CTestItem a(1), b(2);
  CObArray arr;
  arr.Add(&a);
  arr.Add(&b);
  arr.Add(&a);
  arr.Add(nullptr);
  EXPECT_EQ(Store([&](CArchive& ar) { ar << &arr; }), ArrayBytes());

  CObArray* back = nullptr;
  EXPECT_EQ(Load(ArrayBytes(), [&](CArchive& ar) { ar >> back; }), -1);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->GetSize(), 4);
  auto* a2 = static_cast<CTestItem*>(back->GetAt(0));
  auto* b2 = static_cast<CTestItem*>(back->GetAt(1));
  EXPECT_TRUE(a2->IsKindOf(RUNTIME_CLASS(CTestItem)));
  EXPECT_EQ(a2->value, 1);
  EXPECT_EQ(b2->value, 2);
  EXPECT_EQ(back->GetAt(2), a2);
  EXPECT_EQ(back->GetAt(3), nullptr);
  delete a2;
  delete b2;
  delete back;
}

TEST(CArchiveTest, MapObjectNumbersEachStoreCallAndNoNullOnLoad) {
  CTestItem owner(1), b(7);
  b.link = &owner;
  Bytes bytes = Store([&](CArchive& ar) {
    ar.MapObject(nullptr);  // takes no number
    ar.MapObject(&owner);   // 1
    ar.MapObject(&owner);   // 2: every call takes one; later references use the last
    ar << &b;               // class 3, object 4; its link refers to 2
    ar << &owner;
    ar << &b;
  });
  Bytes expected = Cat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00},
                        Str("CTestItem"),
                        {0x07, 0x00, 0x00, 0x00},
                        {0x02, 0x00},
                        {0x02, 0x00},
                        {0x04, 0x00}});
  EXPECT_EQ(bytes, expected);

  CTestItem owner2;
  CObject *first = nullptr, *second = nullptr, *third = nullptr;
  EXPECT_EQ(Load(bytes,
                 [&](CArchive& ar) {
                   ar.MapObject(nullptr);
                   ar.MapObject(&owner2);
                   ar.MapObject(&owner2);
                   ar >> first >> second >> third;
                 }),
            -1);
  auto* b2 = dynamic_cast<CTestItem*>(first);
  ASSERT_NE(b2, nullptr);
  EXPECT_EQ(b2->value, 7);
  EXPECT_EQ(b2->link, &owner2);
  EXPECT_EQ(second, &owner2);
  EXPECT_EQ(third, b2);
  delete b2;
}

TEST(CArchiveTest, ObjectsWrittenAfterMapObjectOfNullReadBack) {
  CTestItem a(5);
  Bytes bytes = Store([&](CArchive& ar) {
    ar.MapObject(nullptr);
    ar << &a << &a;
  });
  CObject *x = nullptr, *y = nullptr;
  EXPECT_EQ(Load(bytes,
                 [&](CArchive& ar) {
                   ar.MapObject(nullptr);
                   ar >> x >> y;
                 }),
            -1);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(static_cast<CTestItem*>(x)->value, 5);
  EXPECT_EQ(y, x);
  delete x;
}

TEST(CArchiveTest, CyclesAndSharedObjectsRoundTripWithTheirIdentity) {
  CTestItem a(10);
  CTestDerived d;
  d.value = 20;
  CTestItem c(30);
  a.link = &d;
  d.link = &a;  // a cycle
  c.link = &d;  // d shared by a and c
  CObArray arr;
  arr.Add(&a);
  arr.Add(&c);
  arr.Add(&c);
  Bytes bytes = Store([&](CArchive& ar) { arr.Serialize(ar); });
  // CObArray's own form written directly: count, then elements.
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 3);

  CObArray back;
  CObject* objs[3] = {};
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { back.Serialize(ar); }), -1);
  ASSERT_EQ(back.GetSize(), 3);
  auto* a2 = static_cast<CTestItem*>(back[0]);
  auto* c2 = static_cast<CTestItem*>(back[1]);
  EXPECT_EQ(back[2], c2);
  auto* d2 = static_cast<CTestItem*>(a2->link);
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(d2->GetRuntimeClass(), RUNTIME_CLASS(CTestDerived));
  EXPECT_STREQ(d2->GetRuntimeClass()->m_lpszClassName, "CTestDerived");
  EXPECT_EQ(d2->value, 20);
  EXPECT_EQ(d2->link, a2);
  EXPECT_EQ(c2->link, d2);
  objs[0] = a2;
  objs[1] = c2;
  objs[2] = d2;
  for (CObject* p : objs) delete p;
}

TEST(CArchiveTest, IndicesFrom7FFFUseTheBigTag) {
  // Class CTestItem is 1, objects 2 .. 0x7FFF+; a second class arrives after 0x7FFF entries.
  const int n = 0x7FFF;
  std::vector<CTestItem> items((std::size_t)n);
  CTestDerived late;
  CTestDerived later;
  Bytes bytes = Store(
      [&](CArchive& ar) {
        for (auto& it : items) ar << &it;
        ar << &items.back();  // index 0x8000: 0x7FFF then the DWORD
        ar << &late;          // new class at index 0x8001, object 0x8002
        ar << &later;         // class by index: 0x7FFF then 0x80000000 | 0x8001
        ar << &items[0];      // index 2: a WORD
      },
      128);
  // The same items alone tell where the references begin.
  std::size_t head = Store(
                         [&](CArchive& ar) {
                           for (auto& it : items) ar << &it;
                         },
                         128)
                         .size();
  Bytes tail(bytes.begin() + (long)head, bytes.end());
  Bytes want = {0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00};  // object 0x8000
  want.insert(want.end(), {0xFF, 0xFF, 0x01, 0x00, 0x0C, 0x00});
  Bytes nm = Str("CTestDerived");
  want.insert(want.end(), nm.begin(), nm.end());                  // class 0x8001
  want.insert(want.end(), {0, 0, 0, 0, 0, 0});                    // late's value and null link
  want.insert(want.end(), {0xFF, 0x7F, 0x01, 0x80, 0x00, 0x80});  // class 0x8001 by index
  want.insert(want.end(), {0, 0, 0, 0, 0, 0});                    // later's data
  want.insert(want.end(), {0x02, 0x00});                          // items[0]
  EXPECT_EQ(tail, want);

  std::vector<CObject*> loaded;
  EXPECT_EQ(Load(bytes,
                 [&](CArchive& ar) {
                   for (int i = 0; i < n + 4; ++i) {
                     CObject* p;
                     ar >> p;
                     loaded.push_back(p);
                   }
                   ar.DeleteLoadedObjects();
                 }),
            -1);
  ASSERT_EQ(loaded.size(), (std::size_t)n + 4);
  EXPECT_EQ(loaded[(std::size_t)n], loaded[(std::size_t)n - 1]);
  EXPECT_EQ(loaded[(std::size_t)n + 3], loaded[0]);
}

TEST(CArchiveTest, VersionableClassesLoadOlderSchemasOthersRefuseThem) {
  CTestVersioned v;
  Bytes bytes = Store([&](CArchive& ar) { ar << &v; });
  EXPECT_EQ(bytes, Cat({{0xFF, 0xFF, 0x03, 0x00, 0x0E, 0x00}, Str("CTestVersioned"), {7, 0}}));
  bytes[2] = 0x01;  // schema 1 in the archive
  CObject* p = nullptr;
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { ar >> p; }), -1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<CTestVersioned*>(p)->loadedSchema, 1u);
  delete p;

  Bytes item = Cat({{0xFF, 0xFF, 0x02, 0x00, 0x09, 0x00}, Str("CTestItem"), {0, 0, 0, 0, 0, 0}});
  EXPECT_EQ(Load(item, [&](CArchive& ar) { ar >> p; }), CArchiveException::badSchema);
}

TEST(CArchiveTest, BadBytesGiveArchiveExceptionsNotCrashes) {
  CObject* p = nullptr;
  auto readObject = [&](CArchive& ar) { ar >> p; };
  auto name = [](const char* n) {
    Bytes b = {0xFF, 0xFF, 0x00, 0x00, (BYTE)std::strlen(n), 0};
    Bytes s = Str(n);
    b.insert(b.end(), s.begin(), s.end());
    return b;
  };
  EXPECT_EQ(Load(name("CNoSuchClass"), readObject), CArchiveException::badClass);
  EXPECT_EQ(Load(Cat({{0xFF, 0xFF, 0x01, 0x00, 0x40, 0x00}, Bytes(64, 'A')}), readObject),
            CArchiveException::badClass);                                  // name too long
  EXPECT_EQ(Load({0x05, 0x80}, readObject), CArchiveException::badIndex);  // no class 5
  EXPECT_EQ(Load({0x00, 0x80}, readObject), CArchiveException::badIndex);  // class index 0
  EXPECT_EQ(Load({0x09, 0x00}, readObject), CArchiveException::badIndex);  // no object 9
  EXPECT_EQ(Load({0xFF, 0x7F, 0x09, 0x00, 0x00, 0x80}, readObject), CArchiveException::badIndex);
  EXPECT_EQ(Load({0xFF, 0x7F, 0x09, 0x00}, readObject), CArchiveException::endOfFile);
  EXPECT_EQ(Load({0xFF}, readObject), CArchiveException::endOfFile);
  EXPECT_EQ(Load({}, readObject), CArchiveException::endOfFile);
  // An element that refers back to the array's class slot (1) as if it were an object.
  EXPECT_EQ(Load(Cat({name("CObArray"), {0x01, 0x00, 0x01, 0x00}}), readObject),
            CArchiveException::badIndex);
  // A class tag that points at the array object (2) instead of a class.
  EXPECT_EQ(Load(Cat({name("CObArray"), {0x01, 0x00, 0x02, 0x80}}), readObject),
            CArchiveException::badIndex);
  // Asking for one class and finding another.
  CTestItem* item = nullptr;
  EXPECT_EQ(Load(Cat({name("CObArray"), {0x00, 0x00}}), [&](CArchive& ar) { ar >> item; }),
            CArchiveException::badClass);
  EXPECT_EQ(Load(ArrayBytes(),
                 [&](CArchive& ar) {
                   CObArray* arr;
                   ar >> arr;
                   ar >> item;  // nothing left
                 }),
            CArchiveException::endOfFile);
}

TEST(CArchiveTest, CountsAndLengthsBeyondTheDataEndWithoutHugeAllocations) {
  // A CObArray claiming 0x7FFFFFFF elements, then two nulls and the end.
  Bytes arr = {0xFF, 0xFF, 0x00, 0x00, 0x08, 0x00};
  Bytes s = Str("CObArray");
  arr.insert(arr.end(), s.begin(), s.end());
  for (BYTE b : {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00}) arr.push_back(b);
  CObject* p = nullptr;
  EXPECT_EQ(Load(arr, [&](CArchive& ar) { ar >> p; }), CArchiveException::endOfFile);
  CString str;
  EXPECT_EQ(Load({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F, 'a'}, [&](CArchive& ar) { ar >> str; }),
            CArchiveException::endOfFile);
  EXPECT_EQ(Load({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, [&](CArchive& ar) { ar >> str; }),
            CArchiveException::endOfFile);
  EXPECT_EQ(Load({0x05, 'a', 'b'}, [&](CArchive& ar) { ar >> str; }), CArchiveException::endOfFile);
}

TEST(CArchiveTest, EveryTruncationOfAValidArchiveFailsCleanly) {
  Bytes full = ArrayBytes();
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + (long)n);
    CObject* p = nullptr;
    int cause = Load(
        cut, [&](CArchive& ar) { ar >> p; }, 128);
    // Cut inside a class name, the name cannot be read: an unknown class, as in the original.
    EXPECT_TRUE(cause == CArchiveException::endOfFile || cause == CArchiveException::badClass)
        << n << " " << cause;
  }
}

TEST(CArchiveTest, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
  // Arrays each holding one array: class tag once, then 0x8001 and a count of 1 per level.
  Bytes b = {0xFF, 0xFF, 0x00, 0x00, 0x08, 0x00};
  Bytes s = Str("CObArray");
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(1);
  b.push_back(0);
  for (int i = 0; i < 5000; ++i) {
    for (BYTE x : {0x01, 0x80, 0x01, 0x00}) b.push_back(x);
  }
  CObject* p = nullptr;
  EXPECT_EQ(Load(b, [&](CArchive& ar) { ar >> p; }), CArchiveException::generic);
}

TEST(CArchiveTest, WrongDirectionThrows) {
  CMemFile f;
  CArchive st(&f, CArchive::store);
  BYTE b;
  try {
    st >> b;
    FAIL();
  } catch (CArchiveException* e) {
    EXPECT_EQ(e->m_cause, CArchiveException::writeOnly);
    e->Delete();
  }
  st.Close();
  BYTE data[2] = {1, 2};
  CMemFile in(data, 2);
  CArchive ld(&in, CArchive::load);
  try {
    ld << b;
    FAIL();
  } catch (CArchiveException* e) {
    EXPECT_EQ(e->m_cause, CArchiveException::readOnly);
    e->Delete();
  }
}

TEST(CArchiveTest, RawBlocksLargerThanTheBufferAndCloseGivesBackUnreadBytes) {
  Bytes block(100000);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = (BYTE)(i * 7);
  Bytes bytes = Store(
      [&](CArchive& ar) {
        ar << (WORD)1;
        ar.Write(block.data(), (UINT)block.size());
        ar << (BYTE)9;
      },
      256);
  ASSERT_EQ(bytes.size(), block.size() + 3);
  CMemFile f(bytes.data(), (UINT)bytes.size());
  {
    CArchive ar(&f, CArchive::load, 256);
    WORD w;
    ar >> w;
    Bytes back(block.size());
    EXPECT_EQ(ar.Read(back.data(), (UINT)back.size()), back.size());
    EXPECT_EQ(back, block);
    EXPECT_EQ(ar.Read(back.data(), 10), 1u);  // only one byte left
    EXPECT_TRUE(ar.IsBufferEmpty());
  }
  f.SeekToBegin();
  {
    CArchive ar(&f, CArchive::load, 128);
    WORD w;
    ar >> w;
    ar.Close();  // the archive read ahead; the file goes back to just behind the WORD
  }
  EXPECT_EQ(f.GetPosition(), 2u);
}

TEST(CArchiveTest, StringLinesAndRunTimeClassLookup) {
  Bytes bytes = Store([](CArchive& ar) { ar.WriteString("one\r\ntwo\nlast"); });
  EXPECT_EQ(bytes, Str("one\r\ntwo\nlast"));
  std::vector<std::string> lines;
  EXPECT_EQ(Load(bytes,
                 [&](CArchive& ar) {
                   CString s;
                   while (ar.ReadString(s)) lines.push_back((LPCTSTR)s);
                 }),
            -1);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "last"}));
  EXPECT_EQ(CRuntimeClass::FromName("CTestItem"), RUNTIME_CLASS(CTestItem));
  EXPECT_EQ(CRuntimeClass::FromName("CObArray"), RUNTIME_CLASS(CObArray));
  EXPECT_EQ(CRuntimeClass::FromName("ctestitem"), nullptr);
  CObject* o = CRuntimeClass::CreateObject("CTestDerived");
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(o->IsKindOf(RUNTIME_CLASS(CTestItem)));
  EXPECT_FALSE(o->IsKindOf(RUNTIME_CLASS(CObArray)));
  EXPECT_TRUE(o->IsSerializable());
  delete o;
  EXPECT_EQ(RUNTIME_CLASS(CTestDerived)->m_pBaseClass, RUNTIME_CLASS(CTestItem));
  EXPECT_EQ(RUNTIME_CLASS(CTestItem)->m_wSchema, 1u);
}

}  // namespace

namespace {

TEST(CArchiveTest, ArchiveOnADiskFileRoundTrips) {
  halyard::testing::ScratchDir scratch("mfc-archive");
  const std::string& dir = scratch.path();
  setenv("HALYARD_DRIVE_C", dir.c_str(), 1);
  CTestItem a(5);
  a.link = &a;  // refers to itself
  {
    CFile f("C:\\saved.dat", CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&f, CArchive::store, 128);
    ar << CString(std::string(1000, 'q').c_str()) << &a;
    ar.Close();
    f.Close();
  }
  CFile f("C:\\saved.dat", CFile::modeRead);
  EXPECT_EQ(f.GetLength(), 3u + 1000 + 6 + 9 + 6);
  CArchive ar(&f, CArchive::load, 128);
  CString s;
  CTestItem* back = nullptr;
  ar >> s >> back;
  EXPECT_EQ(s.GetLength(), 1000);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->value, 5);
  EXPECT_EQ(back->link, back);
  delete back;
  ar.Close();
  f.Close();
  CFile::Remove("C:\\saved.dat");
  unsetenv("HALYARD_DRIVE_C");
}

}  // namespace
