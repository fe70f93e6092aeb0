// quarb-stubs as its users run it: commands, options, output and exit codes.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace quarb::test {
namespace {

struct ToolRun {
  int code;
  std::string out;
};

ToolRun Tool(const std::string& args) {
  std::string command =
      std::string(HALYARD_BINARY_DIR) + "/bin/quarb-stubs " + args + " 2>/dev/null";
  ToolRun r{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  int status = pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(QuarbStubsTool, WritesBothKindsOfStubsAsTheWritersDo) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  std::string tlb = DataPath("gadgets.tlb");
  ToolRun interfaces = Tool("interfaces " + tlb);
  EXPECT_EQ(interfaces.code, 0);
  EXPECT_EQ(interfaces.out, Generate(lib.Get(), WriteInterfaceStubs));
  char tmpl[] = "/tmp/quarb-tool-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  ToolRun classes = Tool("classes " + tlb + " -o " + dir + "/Stubs.txt");
  EXPECT_EQ(classes.code, 0);
  EXPECT_EQ(classes.out, "");
  std::vector<BYTE> written = ReadFile(dir + "/Stubs.txt");
  EXPECT_EQ(std::string(written.begin(), written.end()), Generate(lib.Get(), WriteClassStubs));
  EXPECT_EQ(Tool("interfaces " + tlb + " -o " + dir + "/missing/Stubs.txt").code, 3);
  std::filesystem::remove_all(dir);
}

TEST(QuarbStubsTool, DumpListsTypesMembersAndTypeCodes) {
  ToolRun dump = Tool("dump " + DataPath("gadgets.tlb"));
  EXPECT_EQ(dump.code, 0);
  for (const char* line : {
           "library Gadgets {5A0B1000-7C1E-4D2A-9F31-0C6E2B7D4A0D} version 1.2 lcid 0x409 "
           "\"Quarb test gadgets\"\n",
           "type 7 dispatch ICaption {5A0B1003-7C1E-4D2A-9F31-0C6E2B7D4A10} flags 0x1140\n"
           "  inherits IDispatch flags 0x0\n"
           "  func Caption: kind dispatch, memid 1, invoke propget, flags 0x0, result 0x0008 "
           "String\n",
           "  func Move: kind dispatch, memid 20, invoke func, flags 0x0, result 0x0018 void\n"
           "    param x: flags 0x1, type 0x0003 int\n"
           "    param y: flags 0x3, type 0x4003 int[]\n",
           "  var shDark: kind const, memid 1073741826, flags 0x0, type 0x0016 int, value -2\n",
           "  implements IEvents flags 0x3\n",
           "  property ForeColor: flags 0x15, memid -513, type 0x1003 int\n",
       })
    EXPECT_NE(dump.out.find(line), std::string::npos) << line;
}

TEST(QuarbStubsTool, StubsThatCannotBeWrittenAreAnErrorAndAFailedLoadKeepsOut) {
  const std::string tlb = DataPath("gadgets.tlb");
  EXPECT_EQ(Tool("interfaces " + tlb + " > /dev/full").code, 3);
  EXPECT_EQ(Tool("classes " + tlb + " -o /dev/full").code, 3);
  EXPECT_EQ(Tool("dump " + tlb + " > /dev/full").code, 3);
  char tmpl[] = "/tmp/quarb-tool-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::ofstream(dir + "/Stubs.txt") << "kept";
  EXPECT_EQ(Tool("classes " + DataPath("gadgets.idl") + " -o " + dir + "/Stubs.txt").code, 1);
  std::vector<BYTE> kept = ReadFile(dir + "/Stubs.txt");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
  std::filesystem::remove_all(dir);
}

TEST(QuarbStubsTool, HelpUsageAndLoadFailuresHaveTheirExitCodes) {
  ToolRun help = Tool("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: quarb-stubs interfaces FILE [-o OUT]\n", 0), 0u);
  EXPECT_EQ(Tool("").code, 2);
  EXPECT_EQ(Tool("compile " + DataPath("gadgets.tlb")).code, 2);
  EXPECT_EQ(Tool("dump " + DataPath("gadgets.tlb") + " -o x").code, 2);
  EXPECT_EQ(Tool("interfaces " + DataPath("gadgets.tlb") + " -o").code, 2);
  EXPECT_EQ(Tool("interfaces " + DataPath("missing.tlb")).code, 3);
  EXPECT_EQ(Tool("dump " + DataPath("gadgets.idl")).code, 1);
}

}  // namespace
}  // namespace quarb::test
