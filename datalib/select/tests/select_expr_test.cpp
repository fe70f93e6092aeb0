// The tools' condition language: each construct and the selection it makes, precedence,
// catalog lookups and errors that name their position.
#include "datalib/select/select_expr.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "datalib/select/cda_select.h"
#include "memory_database.h"

namespace {

using vaultkit::CatalogFieldResolver;
using vaultkit::ParseSelectExpr;
using vaultkit::SelectExprError;

class SelectExpr : public ::testing::Test {
 protected:
  void SetUp() override {
    db.AddType(30, {{"Title", kDAKindText},
                    {"Pages", kDAKindLong},
                    {"Cover", kDAKindBinary},
                    {"Page Count", kDAKindLong}});
  }

  // The stream form of what the text parses to, or "error: " and the message.
  std::string Parse(const std::string& text) {
    CatalogFieldResolver fields(&db, 30);
    SelectExprError error;
    CDASelect* s = ParseSelectExpr(text, 30, &fields, &error);
    if (s == nullptr) return "error: " + error.message;
    std::ostringstream os;
    os << *s;
    vaultkit::DeleteSelectTree(s);
    return os.str();
  }

  vaultkit_test::MemoryDatabase db;
};

TEST_F(SelectExpr, EachConditionMapsToOneSelection) {
  EXPECT_EQ(Parse("Title begins \"Ab\""), "HU30 U0 U0 T2 Ab ");
  EXPECT_EQ(Parse("title CONTAINS \"a \\\"q\\\" b\""), "HU30 U0 U1 T7 a \"q\" b ");
  EXPECT_EQ(Parse("Title ends \"z\""), "HU30 U0 U2 T1 z ");
  EXPECT_EQ(Parse("Title = \"exact\""), "HU30 U0 U-1 T5 exact ");
  EXPECT_EQ(Parse("Pages = 12"), "GU30 U1 U0 U12 ");
  EXPECT_EQ(Parse("Pages<-3"), "GU30 U1 U1 U-3 ");
  EXPECT_EQ(Parse("Pages > 2147483647"), "GU30 U1 U2 U2147483647 ");
  EXPECT_EQ(Parse("Pages in (1, 2,3)"), "NU30 U1 YU3 U1 U2 U3 ");
  EXPECT_EQ(Parse("[Page Count] = 4"), "GU30 U3 U0 U4 ");
  EXPECT_EQ(Parse("#7 = 1"), "GU30 U7 U0 U1 ");
}

TEST_F(SelectExpr, AndBindsTighterThanOrAndChainsShareOneSelection) {
  EXPECT_EQ(Parse("Pages = 1 or Pages = 2 and Title = \"x\""),
            "EU2 GU30 U1 U0 U1 FU2 GU30 U1 U0 U2 HU30 U0 U-1 T1 x ");
  EXPECT_EQ(Parse("(Pages = 1 or Pages = 2) and Title = \"x\""),
            "FU2 EU2 GU30 U1 U0 U1 GU30 U1 U0 U2 HU30 U0 U-1 T1 x ");
  EXPECT_EQ(Parse("Pages=1 and Pages=2 and Pages=3"),
            "FU3 GU30 U1 U0 U1 GU30 U1 U0 U2 GU30 U1 U0 U3 ");
  EXPECT_EQ(Parse("((Pages = 1))"), "GU30 U1 U0 U1 ");
}

TEST_F(SelectExpr, TheParsedTreeTranslatesToTheSqlItReads) {
  CatalogFieldResolver fields(&db, 30);
  SelectExprError error;
  CDASelect* s = ParseSelectExpr("(Title contains \"it's\" or Pages < 5) and Pages in (7)", 30,
                                 &fields, &error);
  ASSERT_NE(s, nullptr) << error.message;
  EXPECT_EQ(vaultkit_test::SqlOf(s->mProcessSelect(&db)),
            "([Title] like '*it''s*' OR [Pages] < 5) AND [Pages] IN (7)");
  vaultkit::DeleteSelectTree(s);
}

TEST_F(SelectExpr, ErrorsNameTheirPosition) {
  EXPECT_EQ(Parse(""), "error: position 1: expected a field name");
  EXPECT_EQ(Parse("Pages = 1 and"), "error: position 14: expected a field name");
  EXPECT_EQ(Parse("Nope = 1"), "error: position 1: no field \"Nope\" in this type");
  EXPECT_EQ(Parse("Pages == 1"), "error: position 8: expected a number or a text");
  EXPECT_EQ(Parse("Pages is 1"),
            "error: position 7: expected begins, contains, ends, =, <, > or in");
  EXPECT_EQ(Parse("Title begins \"open"),
            "error: position 14: the text that starts here has no closing quote");
  EXPECT_EQ(Parse("(Pages = 1"), "error: position 11: expected \")\"");
  EXPECT_EQ(Parse("Pages = 1)"),
            "error: position 10: expected \"and\", \"or\" or the end of the condition");
  EXPECT_EQ(Parse("Pages in (1,)"), "error: position 13: expected a number");
  EXPECT_EQ(Parse("Pages < 99999999999"), "error: position 9: number out of the 32-bit range");
  EXPECT_EQ(Parse("Pages begins \"a\""), "error: position 1: field \"Pages\" does not hold text");
  EXPECT_EQ(Parse("Title > 3"), "error: position 1: field \"Title\" does not hold numbers");
  EXPECT_EQ(Parse("Cover = 3"), "error: position 1: field \"Cover\" does not hold numbers");
  EXPECT_EQ(Parse("[Page Count = 1"), "error: position 1: a field name in \"[\" has no \"]\"");
  EXPECT_EQ(Parse(std::string(70, '(') + "Pages = 1" + std::string(70, ')')),
            "error: position 65: parentheses nested too deeply");
}

TEST(SelectExprAlone, WithoutACatalogOnlyFieldNumbersAreKnown) {
  SelectExprError error;
  CDASelect* s = ParseSelectExpr("#2 contains \"x\"", 4, nullptr, &error);
  ASSERT_NE(s, nullptr);
  delete s;
  EXPECT_EQ(ParseSelectExpr("Title = 1", 4, nullptr, &error), nullptr);
  EXPECT_EQ(error.position, 1u);
  EXPECT_EQ(ParseSelectExpr("#-1 = 1", 4, nullptr, &error), nullptr);
}

}  // namespace
