#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/name_case.h"

namespace {

using halyard::registry::ApplySections;
using halyard::registry::KeyNode;
using halyard::registry::ParseRegText;
using halyard::registry::RegSection;
using halyard::registry::Root;
using halyard::registry::WriteHive;

KeyNode Load(const std::string& text, Root root = Root::kCurrentUser) {
  std::vector<RegSection> sections;
  std::string error;
  EXPECT_TRUE(ParseRegText(text, &sections, &error)) << error;
  KeyNode tree(halyard::registry::RootName(root));
  ApplySections(sections, root, &tree);
  return tree;
}

TEST(Hive, WritesTheRegedit4FormByteForByte) {
  KeyNode tree("HKEY_CURRENT_USER");
  KeyNode* k = tree.AddChild("Software")->AddChild("Quillmarks");
  k->SetValue("", 1, std::string("default\0", 8));
  k->SetValue("Path", 1, std::string("C:\\dir \"q\"\0", 11));
  k->SetValue("Count", 4, std::string("\x14\x00\x00\x00", 4));
  k->SetValue("Odd", 4, std::string("\x01\x02", 2));
  k->SetValue("Lines", 1, std::string("a\r\nb\0", 5));
  k->SetValue("Raw", 1, std::string("no nul", 6));
  k->SetValue("Empty", 3, "");
  k->SetValue("Expand", 2, std::string("%T%\0", 4));
  EXPECT_EQ(WriteHive(tree),
            "REGEDIT4\r\n\r\n"
            "[HKEY_CURRENT_USER]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmarks]\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\dir \\\"q\\\"\"\r\n"
            "\"Count\"=dword:00000014\r\n"
            "\"Odd\"=hex(4):01,02\r\n"
            "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
            "\"Raw\"=hex(1):6e,6f,20,6e,75,6c\r\n"
            "\"Empty\"=hex:\r\n"
            "\"Expand\"=hex(2):25,54,25,00\r\n"
            "\r\n");
}

TEST(Hive, LongBinaryValuesWrapAtEightyColumnsAndReadBack) {
  KeyNode tree("HKEY_LOCAL_MACHINE");
  std::string bytes;
  for (int i = 0; i < 60; ++i) bytes.push_back(static_cast<char>(i));
  tree.SetValue("Bin", 3, bytes);
  std::string text = WriteHive(tree);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    start = end + 2;
  }
  EXPECT_NE(text.find("16,\\\r\n  17,"), std::string::npos);
  KeyNode back = Load(text, Root::kLocalMachine);
  ASSERT_NE(back.FindValue("bin"), nullptr);
  EXPECT_EQ(back.FindValue("bin")->data, bytes);
  EXPECT_EQ(WriteHive(back), text);
}

TEST(Hive, ReadsHandWrittenFilesAndSkipsWhatItCannotUnderstand) {
  KeyNode tree = Load(
      "\xEF\xBB\xBF\r\nREGEDIT4  \n"
      "; a comment\n"
      "\"before any key\"=\"ignored\"\n"
      "[HKEY_CURRENT_USER\\A\\B]\n"
      "  \"s\" = \"x\\\\y\"\n"
      "\"d\"=DWORD:FFFFFFFF\n"
      "\"h\"=hex:01, 02,\\\n"
      "     03\n"
      "\"bad dword\"=dword:123456789\n"
      "\"bad hex\"=hex:01,zz\n"
      "\"unterminated=\"x\n"
      "garbage line\n"
      "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
      "\"other\"=\"root\"\n"
      "[HKEY_CURRENT_USER\\A\\\\Empty part]\n"
      "\"lost\"=\"too\"\n"
      "[HKEY_CURRENT_USER\\a\\b]\n"
      "\"S\"=\"replaced\"\n");
  const KeyNode* b = tree.Child("a")->Child("B");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->values().size(), 3u);
  EXPECT_EQ(b->values()[0].name, "s");
  EXPECT_EQ(b->values()[0].data, std::string("replaced\0", 9));
  EXPECT_EQ(b->values()[1].data, std::string("\xff\xff\xff\xff", 4));
  EXPECT_EQ(b->values()[2].data, std::string("\x01\x02\x03", 3));
  EXPECT_EQ(tree.Child("Elsewhere"), nullptr);
  EXPECT_EQ(tree.children().size(), 1u);
}

TEST(Hive, RefusesTextsThatAreNotRegedit4) {
  std::vector<RegSection> sections;
  std::string error;
  EXPECT_FALSE(ParseRegText("", &sections, &error));
  EXPECT_FALSE(ParseRegText("Windows Registry Editor Version 5.00\r\n", &sections, &error));
  EXPECT_FALSE(ParseRegText("[HKEY_CURRENT_USER\\x]\r\n", &sections, &error));
  EXPECT_FALSE(error.empty());
}

TEST(Hive, ImportTextsDeleteKeysAndValues) {
  KeyNode tree = Load(
      "REGEDIT4\n[HKEY_CURRENT_USER\\K\\Sub]\n\"v\"=\"1\"\n\"w\"=\"2\"\n[HKEY_CURRENT_"
      "USER\\Gone\\Deep]\n");
  std::vector<RegSection> sections;
  ASSERT_TRUE(
      ParseRegText("REGEDIT4\n[-HKEY_CURRENT_USER\\gone]\n[HKEY_CURRENT_USER\\k\\sub]\n\"V\"=-\n[-"
                   "HKEY_CURRENT_USER]\n",
                   &sections, nullptr));
  ApplySections(sections, Root::kCurrentUser, &tree);
  EXPECT_EQ(tree.Child("Gone"), nullptr);
  const KeyNode* sub = tree.Child("K")->Child("Sub");
  ASSERT_EQ(sub->values().size(), 1u);
  EXPECT_EQ(sub->values()[0].name, "w");
}

TEST(Hive, SubkeysSortByTheirCapitalsAsTheSystemSortsThem) {
  KeyNode tree("HKEY_CLASSES_ROOT");
  for (const char* n : {"_under", "beta", "Alpha", "gamma", "\xE9t\xE9", "Zulu", "\x8Aka"})
    tree.AddChild(n);
  std::vector<std::string> order;
  for (const auto& [k, child] : tree.children()) order.push_back(child->name());
  // Capitals: ALPHA BETA GAMMA ZULU _UNDER, then E acute (U+00C9) before S caron (U+0160).
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha", "beta", "gamma", "Zulu", "_under",
                                             "\xE9t\xE9", "\x8Aka"}));
  EXPECT_NE(tree.Child("\xC9T\xC9"), nullptr);
  EXPECT_NE(tree.Child("\x9A"
                       "KA"),
            nullptr);
  EXPECT_TRUE(halyard::registry::NamesEqual("\xFF", "\x9F"));
}

}  // namespace

namespace {

// A hive read as the store reads it, keeping what it cannot understand.
std::string Rewrite(const std::string& text, Root root = Root::kCurrentUser) {
  std::vector<RegSection> sections;
  std::string error;
  EXPECT_TRUE(ParseRegText(text, &sections, &error)) << error;
  KeyNode tree(halyard::registry::RootName(root));
  ApplySections(sections, root, &tree, /*keepVerbatim=*/true);
  return WriteHive(tree);
}

const char* const kDamagedHive =
    "REGEDIT4\r\n"
    "\r\n"
    "stray before any key\r\n"
    "[HKEY_CURRENT_USER]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\A]\r\n"
    "\"good\"=\"1\"\r\n"
    "\"open\"=\"no closing quote\r\n"
    "\"bytes\"=hex:zz,01\r\n"
    "\"wrapped\"=hex:01,02,\\\r\n"
    "  qq\r\n"
    "; a comment\r\n"
    "\x01\x02\xff binary junk\r\n"
    "\"after\"=dword:00000002\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Broken\r\n"
    "\"under\"=\"the broken header\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n"
    "\"other\"=\"root\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\B]\r\n"
    "\"b\"=\"2\"\r\n"
    "\r\n";

}  // namespace

TEST(HiveKeepsWhatItCannotRead, EveryDamagedLineSurvivesARewrite) {
  std::string once = Rewrite(kDamagedHive);
  for (const char* line :
       {"stray before any key", "\"open\"=\"no closing quote", "\"bytes\"=hex:zz,01",
        "\"wrapped\"=hex:01,02,\\", "  qq", "; a comment", "\x01\x02\xff binary junk",
        "[HKEY_CURRENT_USER\\Software\\Broken", "\"under\"=\"the broken header\"",
        "[HKEY_LOCAL_MACHINE\\Elsewhere]", "\"other\"=\"root\""}) {
    EXPECT_NE(once.find(std::string(line) + "\r\n"), std::string::npos) << line;
  }
  // The values it understood are still values.
  KeyNode tree = Load(once);
  const KeyNode* a = tree.Child("Software")->Child("A");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a->FindValue("good"), nullptr);
  ASSERT_NE(a->FindValue("after"), nullptr);
  EXPECT_EQ(a->FindValue("open"), nullptr);
  EXPECT_NE(tree.Child("Software")->Child("B"), nullptr);
  EXPECT_EQ(tree.Child("Software")->Child("Broken"), nullptr);
  // Read and written again, the text stays as it is.
  EXPECT_EQ(Rewrite(once), once);
}

TEST(HiveKeepsWhatItCannotRead, KeptLinesStayUnderTheKeyTheyFollowed) {
  std::string once = Rewrite(kDamagedHive);
  std::size_t a = once.find("[HKEY_CURRENT_USER\\Software\\A]");
  std::size_t b = once.find("[HKEY_CURRENT_USER\\Software\\B]");
  std::size_t root = once.find("[HKEY_CURRENT_USER]");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  // Lines before the first key stay before it; A's lines, the broken section and the other
  // root's section that followed A stay between A and B.
  EXPECT_LT(once.find("stray before any key"), root);
  for (const char* line : {"\"bytes\"=hex:zz", "[HKEY_CURRENT_USER\\Software\\Broken",
                           "[HKEY_LOCAL_MACHINE\\Elsewhere]"}) {
    std::size_t at = once.find(line);
    EXPECT_GT(at, a) << line;
    EXPECT_LT(at, b) << line;
  }
  // Good values are written before the kept lines of their key.
  EXPECT_LT(once.find("\"after\"=dword:00000002"), once.find("\"open\"="));
}

TEST(HiveKeepsWhatItCannotRead, ImportsAndExportsStayClean) {
  // An import applies what it understands and nothing else.
  KeyNode tree = Load(kDamagedHive);
  EXPECT_TRUE(tree.verbatim().empty());
  EXPECT_TRUE(tree.Child("Software")->Child("A")->verbatim().empty());
  std::string hive = Rewrite(kDamagedHive);
  std::vector<RegSection> sections;
  std::string error;
  ASSERT_TRUE(ParseRegText(hive, &sections, &error));
  KeyNode kept("HKEY_CURRENT_USER");
  ApplySections(sections, Root::kCurrentUser, &kept, true);
  std::string exported;
  halyard::registry::WriteSections(*kept.Child("Software"), "HKEY_CURRENT_USER\\Software",
                                   &exported);
  EXPECT_EQ(exported.find("hex:zz"), std::string::npos);
  EXPECT_NE(exported.find("\"good\"=\"1\""), std::string::npos);
}
