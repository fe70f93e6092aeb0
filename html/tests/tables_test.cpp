#include <gtest/gtest.h>

#include <cstring>

#include "html/component_table.h"
#include "html/entity_table.h"
#include "html/scheme_table.h"
#include "html/script_keyword_table.h"
#include "html/tag_type_table.h"

namespace {

TEST(TagTypeTable, HoldsTheTagsComponentsAndJsbTagsWithTheirNumbers) {
  EXPECT_EQ(TagTypeTable::Count(), 86u + 64u + 11u);
  EXPECT_EQ(TagTypeTable::Lookup("A"), 1);
  EXPECT_EQ(TagTypeTable::Lookup("H1"), 44);
  EXPECT_EQ(TagTypeTable::Lookup("H6"), 49);
  EXPECT_EQ(TagTypeTable::Lookup("NOFRAME"), 74);
  EXPECT_EQ(TagTypeTable::Lookup("WBR"), 114);
  EXPECT_EQ(TagTypeTable::Lookup("Q-SELECTION"), 119);
  EXPECT_EQ(TagTypeTable::Lookup("Q-DBTEXTFIELD"), 119);
  EXPECT_EQ(TagTypeTable::Lookup("JSB"), 120);
  EXPECT_EQ(TagTypeTable::Lookup("JSB_DESCRIPTOR"), 122);
  EXPECT_EQ(TagTypeTable::Lookup("JSB_ENDBODY"), 131);
  // Upper case only, unknown names 0.
  EXPECT_EQ(TagTypeTable::Lookup("a"), 0);
  EXPECT_EQ(TagTypeTable::Lookup("BLINKY"), 0);
  EXPECT_EQ(TagTypeTable::Lookup(""), 0);
}

TEST(TagTypeTable, CopyWithoutJsbAgreesOnEverySharedName) {
  EXPECT_EQ(TagTypeTable::CountWithoutJsb(), 86u + 64u);
  EXPECT_EQ(TagTypeTable::LookupWithoutJsb("JSB", 3), 0);
  EXPECT_EQ(TagTypeTable::LookupWithoutJsb("JSB_BODYTAG", 11), 0);
  for (const char* n : {"A", "TABLE", "UL", "Q-TEXT", "SCRIPT", "TT"})
    EXPECT_EQ(TagTypeTable::LookupWithoutJsb(n, std::strlen(n)), TagTypeTable::Lookup(n)) << n;
}

TEST(EntityTable, HoldsNinetyNamesCaseSensitively) {
  EXPECT_EQ(EntityTable::Count(), 90u);
  EXPECT_EQ(EntityTable::Lookup("nbsp", 4), 160);
  EXPECT_EQ(EntityTable::Lookup("copy", 4), 169);
  EXPECT_EQ(EntityTable::Lookup("yuml", 4), 255);
  EXPECT_EQ(EntityTable::Lookup("Agrave", 6), 192);
  EXPECT_EQ(EntityTable::Lookup("agrave", 6), 224);
  EXPECT_EQ(EntityTable::Lookup("THORN", 5), 222);
  EXPECT_EQ(EntityTable::Lookup("amp", 3), 38);
  EXPECT_EQ(EntityTable::Lookup("quot", 4), 34);
  EXPECT_EQ(EntityTable::Lookup("AMP", 3), -1);
  for (const char* n : {"curren", "uml", "ordf", "shy", "macr", "acute", "cedil", "ordm", "times",
                        "divide", "euro", "apos"})
    EXPECT_EQ(EntityTable::Lookup(n, std::strlen(n)), -1) << n;
}

TEST(ScriptKeywordTable, NumbersTheWordsInOrder) {
  EXPECT_EQ(ScriptKeywordTable::Lookup("abstract", 8), 1);
  EXPECT_EQ(ScriptKeywordTable::Lookup("function", 8), 21);
  EXPECT_EQ(ScriptKeywordTable::Lookup("var", 3), 50);
  EXPECT_EQ(ScriptKeywordTable::Lookup("with", 4), 53);
  EXPECT_EQ(ScriptKeywordTable::Lookup("in", 2), 26);
  EXPECT_EQ(ScriptKeywordTable::Lookup("instanceof", 10), 27);
  EXPECT_EQ(ScriptKeywordTable::Lookup("Var", 3), 0);
  EXPECT_EQ(ScriptKeywordTable::Lookup("i", 1), 0);
  EXPECT_STREQ(ScriptKeywordTable::Word(53), "with");
  EXPECT_EQ(ScriptKeywordTable::Word(54), nullptr);
}

TEST(ComponentTable, NumbersTheSixtyFourPseudoTags) {
  EXPECT_EQ(ComponentTable::Lookup("Q-SELECTION", 11), 1);
  EXPECT_EQ(ComponentTable::Lookup("Q-TEXT", 6), 6);
  EXPECT_EQ(ComponentTable::Lookup("Q-ODBC_DBLIST", 13), 45);
  EXPECT_EQ(ComponentTable::Lookup("Q-DBTEXTFIELD", 13), 64);
  EXPECT_EQ(ComponentTable::Lookup("Q-text", 6), 0);
  EXPECT_EQ(ComponentTable::Lookup("Q-NONE", 6), 0);
  for (int n = 1; n <= ComponentTable::kCount; ++n) {
    const char* name = ComponentTable::Name(n);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(ComponentTable::Lookup(name, std::strlen(name)), n);
    EXPECT_EQ(TagTypeTable::Lookup(name), 119) << name;
  }
}

TEST(SchemeTable, IsSearchedInOrderWithCaseSensitivePrefixes) {
  ASSERT_EQ(SchemeTable::Count(), 15u);
  EXPECT_STREQ(SchemeTable::At(0).prefix, "ftp://");
  EXPECT_STREQ(SchemeTable::At(14).prefix, "afs://");
  EXPECT_EQ(SchemeTable::Match("shttp://x")->number, 2u);
  EXPECT_EQ(SchemeTable::Match("mailto://x")->number, 4098u);
  EXPECT_STREQ(SchemeTable::Match("mailto:x")->prefix, "mailto:");
  EXPECT_EQ(SchemeTable::Match("prospero://x")->number, 4103u);
  EXPECT_EQ(SchemeTable::Match("HTTP://x"), nullptr);
  EXPECT_EQ(SchemeTable::Match("http:/x"), nullptr);
}

}  // namespace
