#include "platform/mfc/cmapstringtostring.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/cmemfile.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Walk(const CMapStringToString& m) {
  Pairs out;
  POSITION pos = m.GetStartPosition();
  while (pos) {
    CString k, v;
    m.GetNextAssoc(pos, k, v);
    out.emplace_back((LPCTSTR)k, (LPCTSTR)v);
  }
  return out;
}

std::vector<std::string> Keys(const CMapStringToString& m) {
  std::vector<std::string> keys;
  for (auto& p : Walk(m)) keys.push_back(p.first);
  return keys;
}

using V = std::vector<std::string>;

TEST(CMapStringToStringTest, HashIsTimes33OverSignedBytes) {
  EXPECT_EQ(CMapStringToString::HashKey(""), 0u);
  EXPECT_EQ(CMapStringToString::HashKey("a"), 97u);
  EXPECT_EQ(CMapStringToString::HashKey("ab"), 97u * 33 + 98);
  EXPECT_EQ(CMapStringToString::HashKey("\xE9"), 0xFFFFFFE9u);  // -23 as a signed char
  EXPECT_EQ(CMapStringToString::HashKey("a\xE9"), 97u * 33 - 23);
}

TEST(CMapStringToStringTest, KeysInDifferentBucketsComeInBucketOrder) {
  // Buckets of 17: width 0, alt 3, height 7, href 11, border 12, name 13, src 15, align 16.
  CMapStringToString m;
  for (const char* k : {"href", "name", "width", "height", "src", "alt", "border", "align"})
    m.SetAt(k, "v");
  EXPECT_EQ(Keys(m), (V{"width", "alt", "height", "href", "border", "name", "src", "align"}));
  EXPECT_EQ(m.GetHashTableSize(), 17u);
}

TEST(CMapStringToStringTest, CollidingKeysComeMostRecentFirst) {
  // "a", "r" and "\xE9" share bucket 12; "q" is in 11 and "b" in 13.
  CMapStringToString m;
  m["a"] = "1";
  m["b"] = "2";
  m["r"] = "3";
  m["q"] = "4";
  m["\xE9"] = "5";
  EXPECT_EQ(Keys(m), (V{"q", "\xE9", "r", "a", "b"}));
  m.SetAt("a", "changed");  // an existing key keeps its place
  EXPECT_EQ(Keys(m), (V{"q", "\xE9", "r", "a", "b"}));
  EXPECT_TRUE(m.RemoveKey("r"));
  EXPECT_FALSE(m.RemoveKey("r"));
  EXPECT_EQ(Keys(m), (V{"q", "\xE9", "a", "b"}));
  m["r"] = "again";  // re-added: now the newest in its bucket
  EXPECT_EQ(Keys(m), (V{"q", "r", "\xE9", "a", "b"}));
  CString v;
  EXPECT_TRUE(m.Lookup("a", v));
  EXPECT_EQ(v, "changed");
  EXPECT_FALSE(m.Lookup("A", v));
  EXPECT_EQ(m.GetCount(), 5);
}

TEST(CMapStringToStringTest, SignedBytesDecideTheBucket) {
  // "a\xE9" lands in bucket 16 with signed bytes (it would be 0, before "width", unsigned).
  CMapStringToString m;
  m["width"] = "";
  m["a\xE9"] = "";
  EXPECT_EQ(Keys(m), (V{"width", "a\xE9"}));
}

TEST(CMapStringToStringTest, InitHashTableSetsTheBucketCountOnlyWhileEmpty) {
  CMapStringToString m;
  m.InitHashTable(7);  // a 6, b 0, q 1
  m["a"] = "";
  m["b"] = "";
  m["q"] = "";
  EXPECT_EQ(Keys(m), (V{"b", "q", "a"}));
  m.InitHashTable(17);  // ignored: the entries stay where they are
  EXPECT_EQ(m.GetHashTableSize(), 7u);
  EXPECT_EQ(m.GetCount(), 3);
  m.RemoveAll();
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(m.GetStartPosition(), nullptr);
  m.InitHashTable(17);
  EXPECT_EQ(m.GetHashTableSize(), 17u);
}

TEST(CMapStringToStringTest, ManyEntriesAcrossBlocksSurviveRemovalAndReuse) {
  CMapStringToString m;
  m[""] = "";
  for (int i = 0; i < 500; ++i) {
    CString k;
    k.Format("key%d", i);
    m.SetAt(k, k + "=v");
  }
  for (int i = 0; i < 500; i += 2) {
    CString k;
    k.Format("key%d", i);
    EXPECT_TRUE(m.RemoveKey(k));
  }
  EXPECT_EQ(m.GetCount(), 251);  // 250 odd keys and the empty key
  CString v;
  EXPECT_TRUE(m.Lookup("key499", v));
  EXPECT_EQ(v, "key499=v");
  EXPECT_FALSE(m.Lookup("key498", v));
  EXPECT_EQ((int)Walk(m).size(), 251);
}

TEST(CMapStringToStringTest, ArchiveFormIsCountThenPairsInIterationOrder) {
  CMapStringToString m;
  m["b"] = "x";
  m["a"] = "yz";
  CMemFile f;
  {
    CArchive ar(&f, CArchive::store);
    m.Serialize(ar);
  }
  const BYTE expected[] = {2, 0, 1, 'a', 2, 'y', 'z', 1, 'b', 1, 'x'};
  ASSERT_EQ(f.GetLength(), sizeof(expected));
  BYTE* p = f.Detach();
  EXPECT_EQ(std::memcmp(p, expected, sizeof(expected)), 0);
  CMemFile in(p, sizeof(expected));
  CMapStringToString back;
  {
    CArchive ar(&in, CArchive::load);
    back.Serialize(ar);
  }
  EXPECT_EQ(Walk(back), Walk(m));
  std::free(p);
}

}  // namespace
