// The halyard-reg tool as its users meet it: the built program, run with a scratch registry.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class HalyardRegTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/halyard-reg-tool-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("HALYARD_REGISTRY", (dir_ + "/registry").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    unsetenv("HALYARD_REGISTRY");
  }
  // Runs the tool with the arguments (already quoted for the shell) and stdin text.
  int Run(const std::string& args, std::string* out = nullptr, const std::string& input = "") {
    std::string cmd =
        "printf '%s' '" + input + "' | " HALYARD_BINARY_DIR "/bin/halyard-reg " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string dir_;
};

TEST_F(HalyardRegTool, AddQueryDeleteAsTheRegCommandDoes) {
  const std::string key = "'HKCU\\Software\\Quillmarks\\Halyard\\3.0'";
  std::string out;
  EXPECT_EQ(Run("add " + key + " /v OutfoldHorzRatio /t REG_DWORD /d 30", &out), 0);
  EXPECT_EQ(out, "The operation completed successfully.\n");
  EXPECT_EQ(Run("add " + key + " /v 'Field 1' /t REG_DWORD /d 0x50"), 0);
  EXPECT_EQ(Run("add " + key + " /ve /d 'default text'"), 0);
  EXPECT_EQ(Run("add " + key + "\\\\Sub"), 0);
  EXPECT_EQ(Run("query " + key, &out), 0);
  EXPECT_EQ(out,
            "\nHKEY_CURRENT_USER\\Software\\Quillmarks\\Halyard\\3.0\n"
            "    OutfoldHorzRatio    REG_DWORD    0x1e\n"
            "    Field 1    REG_DWORD    0x50\n"
            "    (Default)    REG_SZ    default text\n\n"
            "HKEY_CURRENT_USER\\Software\\Quillmarks\\Halyard\\3.0\\Sub\n");
  EXPECT_EQ(Run("query 'hkey_current_user\\software\\quillmarks\\halyard\\3.0' /v 'field 1'", &out),
            0);
  EXPECT_NE(out.find("    field 1    REG_DWORD    0x50\n"), std::string::npos);

  // Overwriting asks first; no answer cancels, /f does not ask.
  EXPECT_EQ(Run("add " + key + " /v OutfoldHorzRatio /t REG_DWORD /d 40", &out), 1);
  EXPECT_NE(out.find("cancelled"), std::string::npos);
  EXPECT_EQ(Run("add " + key + " /v OutfoldHorzRatio /t REG_DWORD /d 40", &out, "yes\n"), 0);
  EXPECT_EQ(Run("query " + key + " /v OutfoldHorzRatio", &out), 0);
  EXPECT_NE(out.find("0x28"), std::string::npos);

  EXPECT_EQ(Run("delete " + key + " /v 'Field 1' /f"), 0);
  EXPECT_EQ(Run("query " + key + " /v 'Field 1'", &out), 1);
  EXPECT_EQ(out, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_EQ(Run("delete 'HKCU\\Software\\Quillmarks' /f"), 0);
  EXPECT_EQ(Run("query " + key), 1);
}

TEST_F(HalyardRegTool, ExportAndImportRoundTripTheExactBytes) {
  EXPECT_EQ(Run("add 'HKLM\\SOFTWARE\\Quillmarks\\Scriptorium Server' /v ScriptoriumServerRoot "
                "/d 'C:\\ScriptoriumServer'"),
            0);
  EXPECT_EQ(Run("add 'HKLM\\SOFTWARE\\Quillmarks\\Scriptorium Server' /v Blob /t REG_BINARY /d "
                "00ff10"),
            0);
  std::string file = dir_ + "/out.reg";
  EXPECT_EQ(Run("export 'HKLM\\software\\quillmarks' '" + file + "'"), 0);
  std::string exported = Read(file);
  EXPECT_EQ(
      exported,
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarks]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarks\\Scriptorium Server]\r\n"
      "\"ScriptoriumServerRoot\"=\"C:\\\\ScriptoriumServer\"\r\n\"Blob\"=hex:00,ff,10\r\n\r\n");
  std::string hive = Read(dir_ + "/registry/HKEY_LOCAL_MACHINE.reg");
  EXPECT_EQ(Run("delete 'HKLM\\SOFTWARE\\Quillmarks' /f"), 0);
  EXPECT_EQ(Run("import '" + file + "'"), 0);
  EXPECT_EQ(Read(dir_ + "/registry/HKEY_LOCAL_MACHINE.reg"), hive);
  // An existing file is kept unless /y is given.
  EXPECT_EQ(Run("export 'HKLM\\SOFTWARE' '" + file + "'"), 1);
  EXPECT_EQ(Read(file), exported);
  EXPECT_EQ(Run("export 'HKLM\\SOFTWARE' '" + file + "' /y"), 0);
  EXPECT_NE(Read(file), exported);
}

TEST_F(HalyardRegTool, ImportAppliesDeletionsAndRefusesOtherFiles) {
  std::string file = dir_ + "/in.reg";
  std::ofstream(file, std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"keep\"=\"1\"\r\n\"drop\"=dword:00000002\r\n"
         "[HKEY_CLASSES_ROOT\\QuarbCompiler.Compiler.1]\r\n@=\"QUARB Compiler\"\r\n";
  EXPECT_EQ(Run("import '" + file + "'"), 0);
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      << "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"drop\"=-\r\n[-HKEY_CLASSES_ROOT\\QuarbCompiler."
         "Compiler.1]\r\n";
  EXPECT_EQ(Run("import '" + file + "'"), 0);
  std::string out;
  EXPECT_EQ(Run("query HKCU\\\\A", &out), 0);
  EXPECT_NE(out.find("keep"), std::string::npos);
  EXPECT_EQ(out.find("drop"), std::string::npos);
  EXPECT_EQ(Run("query HKCR\\\\QuarbCompiler.Compiler.1"), 1);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "not a registry file\r\n";
  EXPECT_EQ(Run("import '" + file + "'", &out), 1);
  EXPECT_NE(out.find("not a REGEDIT4 file"), std::string::npos);
  EXPECT_EQ(Run("import '" + dir_ + "/missing.reg'"), 3);
}

TEST_F(HalyardRegTool, VerbsInAnyCaseAndFilesThatCannotBeReadOrWrittenExitThree) {
  EXPECT_EQ(Run("ADD 'HKCU\\Software\\Quillmarks' /v Size /t REG_DWORD /d 7"), 0);
  std::string out;
  EXPECT_EQ(Run("Query 'HKCU\\Software\\Quillmarks' /V Size", &out), 0);
  EXPECT_NE(out.find("Size    REG_DWORD    0x7"), std::string::npos) << out;
  // An export to a full disk fails, and says which file.
  EXPECT_EQ(Run("export 'HKCU\\Software' /dev/full /y", &out), 3);
  EXPECT_NE(out.find("cannot write /dev/full: No space left on device"), std::string::npos) << out;
  // A hive that cannot be read is a file failure, not a missing key.
  const std::string hive = dir_ + "/registry/HKEY_LOCAL_MACHINE.reg";
  ASSERT_EQ(mkdir(hive.c_str(), 0755), 0);
  EXPECT_EQ(Run("query 'HKLM\\SOFTWARE'", &out), 3);
  EXPECT_NE(out.find("ERROR: "), std::string::npos) << out;
  EXPECT_EQ(Run("add 'HKLM\\SOFTWARE\\X' /v a /d b /f"), 3);
}

TEST_F(HalyardRegTool, WrongUsageExitsWithTwo) {
  std::string out;
  EXPECT_EQ(Run("--help", &out), 0);
  EXPECT_NE(out.find("halyard-reg add KEY"), std::string::npos);
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("frobnicate HKCU\\\\x"), 2);
  EXPECT_EQ(Run("add 'HKXX\\Software' /v a /d b"), 2);
  EXPECT_EQ(Run("add HKCU\\\\Software /v a /t REG_DWORD /d twelve"), 2);
  EXPECT_EQ(Run("add HKCU\\\\Software /v a /t REG_DWORD /d 0x100000000"), 2);
  EXPECT_EQ(Run("add HKCU\\\\Software /v"), 2);
  EXPECT_EQ(Run("query HKCU\\\\Software /q"), 2);
  EXPECT_EQ(Run("delete HKCU /f"), 2);
}

}  // namespace
