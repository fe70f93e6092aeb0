// The vaultkit tool as its users run it: output, exit codes and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
  int code;
  std::string out;
};

// Runs the tool with TZ fixed; stderr is folded into the output when asked.
Result RunTool(const std::string& args, bool withErrors = false) {
  std::string cmd = std::string("TZ=UTC0 '") + VAULTKIT_TOOL + "' " + args +
                    (withErrors ? " 2>&1" : " 2>/dev/null");
  FILE* p = popen(cmd.c_str(), "r");
  Result r{-1, ""};
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

const std::string kFixture =
    std::string(HALYARD_SOURCE_DIR) + "/tools/vaultkit/tests/data/values.txt";

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// A file in the temporary folder holding the given bytes.
struct TempFiles {
  std::vector<std::string> paths;
  ~TempFiles() {
    for (const std::string& p : paths) std::filesystem::remove(p);
  }
};

std::string Input(const std::string& bytes) {
  static TempFiles files;
  static int n = 0;
  std::string path = (std::filesystem::temp_directory_path() /
                      ("vaultkit-tool-" + std::to_string(getpid()) + "-" + std::to_string(n++)))
                         .string();
  std::ofstream(path, std::ios::binary) << bytes;
  files.paths.push_back(path);
  return path;
}

}  // namespace

TEST(VaultkitTool, DecodeStreamPrintsOneLinePerValue) {
  Result r = RunTool("decode-stream '" + kFixture + "'");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "CPDLong 42\n"
            "CPDString \"a \\\"b\\n\"\n"
            "CPDLongArray [7, 9]\n"
            "CPDStringArray [\"one\", \"\"]\n"
            "CPDBuffer 3 61 00 62\n"
            "CPDDate 1998-03-10 00:00:01\n");
}

TEST(VaultkitTool, RoundtripGivesBackWhatTheLibraryWrote) {
  Result r = RunTool("roundtrip < '" + kFixture + "'");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, ReadFile(kFixture));
}

TEST(VaultkitTool, StopsAtTheFirstLetterItCannotRecreate) {
  Result r = RunTool("decode-stream < '" + Input("U1 Q3 U2 ") + "'", true);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("CPDLong 1\n"), std::string::npos);
  EXPECT_NE(r.out.find("byte 3: letter 'Q' names no value"), std::string::npos);
  EXPECT_EQ(r.out.find("CPDLong 2"), std::string::npos);
  Result cut = RunTool("decode-stream '" + Input("T9 ab") + "'", true);
  EXPECT_EQ(cut.code, 1);
  EXPECT_NE(cut.out.find("byte 0: the CPDString that starts here is malformed or cut short"),
            std::string::npos);
}

TEST(VaultkitTool, UsageHelpAndMissingFiles) {
  Result help = RunTool("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: vaultkit decode-stream [FILE]", 0), 0u);
  EXPECT_EQ(RunTool("").code, 2);
  EXPECT_EQ(RunTool("decode").code, 2);
  EXPECT_EQ(RunTool("roundtrip a b").code, 2);
  EXPECT_EQ(RunTool("decode-stream /nonexistent/vaultkit-data").code, 3);
}

TEST(VaultkitTool, AFolderIsNotReadAsAnEmptyStream) {
  Result r =
      RunTool("decode-stream '" + std::filesystem::temp_directory_path().string() + "'", true);
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.out.find("Is a directory"), std::string::npos) << r.out;
}

TEST(VaultkitTool, AFailedWriteOfTheOutputIsNeverSuccess) {
  const std::string input = Input("U42 T3 abc ");
  for (const std::string& command : {"decode-stream " + input, "roundtrip " + input,
                                     std::string("select - 1 --where '#0 = 1'")}) {
    // Errors go to the pipe, the output to the full device; "#" ends the shell line there.
    Result r = RunTool(command + " 2>&1 >/dev/full #");
    EXPECT_EQ(r.code, 3) << command;
    EXPECT_NE(r.out.find("cannot write"), std::string::npos) << command << ": " << r.out;
  }
}

TEST(VaultkitTool, SelectPrintsTheStreamFormOrTheSavedBytes) {
  Result stream = RunTool("select - 12 --where '#1 contains \"ab\" and (#2 > 3 or #2 in (1, 2))'");
  EXPECT_EQ(stream.code, 0);
  EXPECT_EQ(stream.out, "FU2 HU12 U1 U1 T2 ab EU2 GU12 U2 U2 U3 NU12 U2 YU2 U1 U2 \n");
  Result saved = RunTool("select - 12 --archive --where '#1 = \"x\"'");
  EXPECT_EQ(saved.code, 0);
  // Count 1, new class CDAStringSelect (schema 0), type 12, field 1, operator -1, text "x".
  EXPECT_EQ(saved.out, "0100ffff00000f00" + std::string("434441537472696e6753656c656374") +
                           "0c00000001000000ffffffff0178\n");
}

TEST(VaultkitTool, SelectNamesThePositionOfASyntaxErrorAndRefusesUnknownSources) {
  Result bad = RunTool("select - 12 --where '#1 = 1 and (#2 < 4'", true);
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.out.find("position 19: expected \")\""), std::string::npos) << bad.out;
  Result name = RunTool("select - 12 --where 'Title = 1'", true);
  EXPECT_EQ(name.code, 2);
  EXPECT_NE(name.out.find("position 1: no field \"Title\""), std::string::npos) << name.out;
  EXPECT_EQ(RunTool("select - 12").code, 2);
  EXPECT_EQ(RunTool("select - twelve --where '#1 = 1'").code, 2);
  Result option = RunTool("select - 12 --where '#1 = 1' --sideways", true);
  EXPECT_EQ(option.code, 2);
  EXPECT_EQ(option.out.rfind("vaultkit: unknown option '--sideways'\n", 0), 0u) << option.out;
  Result none = RunTool("select 'ODBC;DSN=nothing-here' 12 --where '#1 = 1'", true);
  EXPECT_EQ(none.code, 1);
  EXPECT_NE(none.out.find("cannot open"), std::string::npos) << none.out;
}
