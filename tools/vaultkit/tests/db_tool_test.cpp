// vaultkit db end to end: a database made, filled and queried through the tool on SQLite and
// on SQLite through ODBC, read back by the sqlite3 program, and the tool's answers to bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"

namespace {

using halyard::testing::ScratchDir;

struct Result {
  int code;
  std::string out;
};

Result RunDb(const std::string& args, bool withErrors = false) {
  std::string cmd = std::string("TZ=UTC0 '") + VAULTKIT_TOOL + "' " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
  Result r{-1, ""};
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = ::pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A shop with one product type and three products; CONNECT is quoted for the shell.
void MakeShop(const std::string& create, const std::string& connect) {
  ASSERT_EQ(RunDb("db create " + create).code, 0);
  ASSERT_EQ(RunDb("db register-type " + connect + " 100 Product --layout dProduct").code, 0);
  EXPECT_EQ(RunDb("db add-field " + connect + " 100 Name text").out, "1\n");
  EXPECT_EQ(RunDb("db add-field " + connect + " 100 Price long").out, "2\n");
  EXPECT_EQ(RunDb("db add-field " + connect + " 100 Added date").out, "3\n");
  EXPECT_EQ(RunDb("db insert " + connect + " 100 'Name=Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65' Price=450 Added=2024-05-01").out, "1\n");
  EXPECT_EQ(RunDb("db insert " + connect + " 100 \"Name=O'Hara's Tea\" Price=120").out, "2\n");
  EXPECT_EQ(RunDb("db insert " + connect + " 100 'Name=50% off' Price=99 System=10").out, "10\n");
}

void ExpectShopQueries(const std::string& connect) {
  EXPECT_EQ(RunDb("db types " + connect).out,
            "-10184\tSysFields\tdULSysField\t0\n-10183\tSysTypes\tdULSysType\t0\n100\tProduct\tdProduct\t0\n");
  EXPECT_EQ(RunDb("db fields " + connect + " 100").out, "System\tlong\nName\ttext\nPrice\tlong\nAdded\tdate\n");
  EXPECT_EQ(RunDb("db query " + connect + " 100 --where 'Price > 100' --sort Name:desc").out,
            "System\tName\tPrice\tAdded\n2\tO'Hara's Tea\t120\t\n1\tCr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\t450\t2024-05-01 00:00:00\n");
  // The % of the text matches itself only; an apostrophe is just a character.
  EXPECT_EQ(RunDb("db query " + connect + " 100 --where 'Name contains \"%\"' --format json").out,
            "[\n  {\"System\": 10, \"Name\": \"50% off\", \"Price\": 99, \"Added\": null}\n]\n");
  EXPECT_EQ(RunDb("db query " + connect + " 100 --where \"Name begins \\\"o'\\\"\" --format json").out,
            "[\n  {\"System\": 2, \"Name\": \"O'Hara's Tea\", \"Price\": 120, \"Added\": null}\n]\n");
  EXPECT_EQ(RunDb("db query " + connect + " 100 --where 'System in (1, 10)' --sort System").out,
            "System\tName\tPrice\tAdded\n1\tCr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\t450\t2024-05-01 00:00:00\n10\t50% off\t99\t\n");
  EXPECT_EQ(RunDb("db query " + connect + " 100 --where 'Price > 1000'").out, "System\tName\tPrice\tAdded\n");
}

TEST(VaultkitDbTool, ShopIsMadeFilledAndQueriedOnAFile) {
  ScratchDir dir("vaultkit-db");
  std::string db = "'" + dir.Join("shop.db") + "'";
  MakeShop(db, db);
  ExpectShopQueries(db);
  // Other programs read the same texts.
  FILE* p = ::popen(("sqlite3 " + db + " 'SELECT Name FROM Product WHERE System = 1'").c_str(), "r");
  char buf[256] = "";
  size_t n = std::fread(buf, 1, sizeof buf - 1, p);
  ::pclose(p);
  EXPECT_EQ(std::string(buf, n), "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\n");
}

#ifdef SQLITE_ODBC_DRIVER
TEST(VaultkitDbTool, ShopIsMadeFilledAndQueriedThroughOdbc) {
  ScratchDir dir("vaultkit-db");
  std::string connect = "'ODBC;DRIVER=" + std::string(SQLITE_ODBC_DRIVER) + ";DATABASE=" + dir.Join("shop.db") + ";'";
  MakeShop(connect, connect);
  ExpectShopQueries(connect);
}
#endif

TEST(VaultkitDbTool, SqlTextIsTheOneTheBackEndRuns) {
  ScratchDir dir("vaultkit-db");
  std::string db = "'" + dir.Join("shop.db") + "'";
  MakeShop(db, db);
  EXPECT_EQ(RunDb("db sql " + db + " 100").out, "SELECT * FROM [Product] \n");
  EXPECT_EQ(RunDb("db sql " + db + " 100 --where '(Price > 100 or Price < 50) and Name begins \"O*\"' --sort Price").out,
            "SELECT * FROM [Product] WHERE ([Price] > 100 OR [Price] < 50) AND [Name] like 'O[*]*' ORDER BY [Price] ASC\n");
  EXPECT_EQ(RunDb("db sql " + db + " 100 --where \"Name = \\\"it's\\\"\"").out,
            "SELECT * FROM [Product] WHERE [Name] = 'it''s' \n");
}

TEST(VaultkitDbTool, BadInputGetsItsExitCodeAndNothingIsHalfWritten) {
  ScratchDir dir("vaultkit-db");
  std::string db = "'" + dir.Join("shop.db") + "'";
  MakeShop(db, db);
  Result r = RunDb("db query " + db + " 100 --where 'Price >'", true);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("position 8"), std::string::npos) << r.out;
  EXPECT_EQ(RunDb("db query " + db + " 100 --where 'Colour = 3'").code, 2);
  EXPECT_EQ(RunDb("db query " + db + " 777").code, 1);
  EXPECT_EQ(RunDb("db query '" + dir.Join("absent.db") + "' 100").code, 3);
  ScratchDir::Write(dir.Join("junk.db"), std::string(2048, 'j'));
  EXPECT_EQ(RunDb("db types '" + dir.Join("junk.db") + "'").code, 3);
  EXPECT_EQ(RunDb("db create " + db).code, 1);  // never over an existing file
  EXPECT_EQ(RunDb("db register-type " + db + " 100 Again").code, 1);
  EXPECT_EQ(RunDb("db add-field " + db + " 100 Name text").code, 1);
  EXPECT_EQ(RunDb("db add-field " + db + " 100 Weight kilos").code, 2);
  EXPECT_EQ(RunDb("db frobnicate " + db).code, 2);
  // A value that does not fit its field fails the insert, which leaves no record behind.
  EXPECT_EQ(RunDb("db insert " + db + " 100 Name=Bad Price=lots").code, 2);
  EXPECT_EQ(RunDb("db insert " + db + " 100 Name=Twin System=1").code, 1);  // the key is taken
  EXPECT_EQ(RunDb("db query " + db + " 100 --where 'Name = \"Bad\" or Name = \"Twin\"'").out, "System\tName\tPrice\tAdded\n");
  // Output that cannot be written is a failure.
  EXPECT_EQ(RunDb("db types " + db + " > /dev/full").code, 3);
}

}  // namespace
