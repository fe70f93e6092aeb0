#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ole/bstr.h"
#include "platform/ole/guid.h"

namespace {

constexpr GUID kCompiler = {
    0x3C7A51D2, 0x6E04, 0x4B9F, {0x8A, 0x21, 0x5D, 0x0E, 0x93, 0xC4, 0xB7, 0x16}};

TEST(Guid, BracedFormIsUpperCaseAndRoundTrips) {
  EXPECT_EQ(halyard::ole::GuidToString(kCompiler), "{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}");
  OLECHAR wide[39];
  ASSERT_EQ(StringFromGUID2(kCompiler, wide, 39), 39);
  EXPECT_EQ(std::u16string(wide), u"{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}");
  GUID back{};
  ASSERT_EQ(CLSIDFromString(wide, &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, kCompiler));
  EXPECT_EQ(halyard::ole::GuidToString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(halyard::ole::GuidToString(IID_ISequentialStream),
            "{0C733A30-2A1C-11CE-ADE5-00AA0044773A}");
}

TEST(Guid, ParsingAcceptsEitherCaseAndRejectsEverythingElse) {
  GUID g{};
  ASSERT_TRUE(halyard::ole::ParseGuid("{3c7a51d2-6e04-4b9f-8a21-5d0e93c4b716}", &g));
  EXPECT_TRUE(g == kCompiler);
  const char* bad[] = {
      "3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716",    "{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B71}",
      "{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B7160}", "{3C7A51D2+6E04-4B9F-8A21-5D0E93C4B716}",
      "{3C7A51D2-6E04-4B9F-8A215-D0E93C4B716}",  "{3C7A51G2-6E04-4B9F-8A21-5D0E93C4B716}",
      "(3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716)",  ""};
  for (const char* text : bad) {
    GUID untouched = kCompiler;
    EXPECT_FALSE(halyard::ole::ParseGuid(text, &untouched)) << text;
    EXPECT_TRUE(untouched == kCompiler);
  }
  GUID out{};
  EXPECT_EQ(CLSIDFromString(u"{3C7A51D2-6E04-4B9F}", &out), CO_E_CLASSSTRING);
  EXPECT_EQ(IIDFromString(u"nonsense", &out), E_INVALIDARG);
  // A text far longer than a GUID is rejected without reading it all.
  std::u16string longText(100000, u'A');
  EXPECT_EQ(CLSIDFromString(longText.c_str(), &out), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(nullptr, &out), S_OK);
  EXPECT_TRUE(out == CLSID_NULL);
  OLECHAR small[38];
  EXPECT_EQ(StringFromGUID2(kCompiler, small, 38), 0);
}

TEST(Guid, NewGuidsAreRandomVersionFour) {
  GUID a{}, b{};
  ASSERT_EQ(CoCreateGuid(&a), S_OK);
  ASSERT_EQ(CoCreateGuid(&b), S_OK);
  EXPECT_FALSE(a == b);
  EXPECT_EQ(a.Data3 >> 12, 4);
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
  EXPECT_EQ(halyard::ole::GuidToString(a)[15], '4');
  EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST(Bstr, LengthPrefixHoldsTheByteCountAndATerminatorFollows) {
  BSTR b = SysAllocString(u"Hello");
  ASSERT_NE(b, nullptr);
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(SysStringLen(b), 5u);
  EXPECT_EQ(SysStringByteLen(b), 10u);
  EXPECT_EQ(b[5], 0);
  SysFreeString(b);

  // Embedded NULs count; the stored length, not the first NUL, is the length.
  const OLECHAR withNul[] = {u'a', 0, u'b'};
  b = SysAllocStringLen(withNul, 3);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(halyard::ole::BstrView(b), std::u16string_view(withNul, 3));
  SysFreeString(b);

  b = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(b), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(b[i], 0);
  SysFreeString(b);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Bstr, ByteStringsKeepOddLengthsAndAreTerminated) {
  BSTR b = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(b), 3u);
  EXPECT_EQ(SysStringLen(b), 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(b), "abc");
  // The wide terminator after the last whole character is present too.
  EXPECT_EQ(reinterpret_cast<const char*>(b)[4], 0);
  SysFreeString(b);
}

TEST(Bstr, ReallocationReplacesAndMayReadFromTheOldString) {
  BSTR b = SysAllocString(u"abcdef");
  ASSERT_TRUE(SysReAllocStringLen(&b, b + 2, 3));
  EXPECT_EQ(halyard::ole::BstrView(b), u"cde");
  ASSERT_TRUE(SysReAllocString(&b, u"longer text"));
  EXPECT_EQ(halyard::ole::BstrView(b), u"longer text");
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
  SysFreeString(b);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFF), nullptr);
}

TEST(Bstr, AnsiTextConvertsThroughWindows1252) {
  BSTR b = halyard::ole::BstrFromAnsi("\x80 caf\xE9 \x81");
  EXPECT_EQ(halyard::ole::BstrView(b), u"\u20AC caf\u00E9 \u0081");
  EXPECT_EQ(halyard::ole::AnsiFromBstr(b), "\x80 caf\xE9 \x81");
  SysFreeString(b);
}

}  // namespace
