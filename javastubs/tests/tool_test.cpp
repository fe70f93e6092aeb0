// quarb-stubs as its users run it: commands, options, output and exit codes.
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace quarb::test {
namespace {

struct ToolRun {
  int code;
  std::string out;
};

// An empty registry for the runs that name none, so that no registration of the user's
// decides which compiler the tool uses.
const std::string& EmptyRegistry() {
  static struct Folder {
    Folder() {
      char tmpl[] = "/tmp/quarb-noreg-XXXXXX";
      path = mkdtemp(tmpl) ? tmpl : "/nonexistent";
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
  } folder;
  return folder.path;
}

// Runs the tool through the shell; prefix goes before it (variables, limits).
ToolRun Tool(const std::string& args, const std::string& prefix = "") {
  std::string command = "HALYARD_REGISTRY=" + EmptyRegistry() + " " + prefix +
                        std::string(HALYARD_BINARY_DIR) + "/bin/quarb-stubs " + args +
                        " 2>/dev/null";
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

// A registry folder of its own for the tool runs that register the compiler.
class QuarbStubsRegistered : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quarb-reg-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  ToolRun Run(const std::string& args) { return Tool(args, "HALYARD_REGISTRY=" + dir_ + " "); }
  std::string Hive() {
    std::vector<BYTE> bytes = ReadFile(dir_ + "/HKEY_CLASSES_ROOT.reg");
    return std::string(bytes.begin(), bytes.end());
  }
  std::string dir_;
};

TEST(QuarbStubsTool, RuntimeListsClassesTheirInterfacesAndEveryMemberWithIdAndSignature) {
  ToolRun r = Tool("runtime " + DataPath("gadgets.tlb"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("class \"Gadget\"\n"
                        "  interface \"IGadget\"\n"
                        "  interface \"ICaption\"\n"
                        "  interface \"IEvents\"\n"
                        "interface \"IPeer\"\n",
                        0),
            0u)
      << r.out;
  for (const char* line : {
           "interface \"ICaption\"\n"
           "  0x00000000 \"getCaption()Ljava/lang/String;\" (0x0008)\n"
           "  0x00000001 \"setCaption(Ljava/lang/String;)V\" (0x0018 0x0008)\n"
           "  0xF0000000 \"Refresh()V\" (0x0018)\n",
           "  0xF0000000 \"Move(I[I[Z)V\" (0x0018 0x0003 0x4003 0x400B)\n",
           "  0x00000006 \"getPeer()LIPeer;\" (0x0009)\n",
           "interface \"IEvents\"\n",
       })
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  EXPECT_EQ(Tool("runtime " + DataPath("empty.tlb")).out, "");
  EXPECT_EQ(Tool("runtime " + DataPath("gadgets.idl")).code, 1);
  EXPECT_EQ(Tool("runtime").code, 2);
}

TEST(QuarbStubsTool, ScanPrintsTheCompilersAnswerAndExitsByIt) {
  ToolRun ok = Tool("scan " + DataPath("gadgets.ocx"));
  EXPECT_EQ(ok.code, 0);
  EXPECT_EQ(ok.out, "S_OK\n");
  ToolRun bad = Tool("scan " + DataPath("gadgets.idl"));
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.out.rfind("0x8002", 0), 0u) << bad.out;
  EXPECT_EQ(Tool("scan " + DataPath("missing.tlb")).code, 3);
  EXPECT_EQ(Tool("scan").code, 2);
  EXPECT_EQ(Tool("scan a b").code, 2);
}

TEST(QuarbStubsTool, OutputThatDoesNotFitLeavesOutAsItWasAndExitsWithTheWriteError) {
  char tmpl[] = "/tmp/quarb-tool-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::ofstream(dir + "/Kept.txt") << "kept";
  // A file-size limit of one block: the stubs are larger. The signal the limit raises is
  // ignored, as it is for programs run under such a limit, so the write fails instead.
  const std::string limit = "trap '' XFSZ; ulimit -f 1; ";
  for (const char* command : {"classes", "interfaces", "runtime"}) {
    for (const char* name : {"/Kept.txt", "/New.txt"}) {
      EXPECT_EQ(
          Tool(std::string(command) + " " + DataPath("gadgets.tlb") + " -o " + dir + name, limit)
              .code,
          3)
          << command << name;
    }
  }
  std::vector<BYTE> kept = ReadFile(dir + "/Kept.txt");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"Kept.txt"});
  // Without the limit the same command writes the whole text.
  EXPECT_EQ(Tool("classes " + DataPath("gadgets.tlb") + " -o " + dir + "/Kept.txt").code, 0);
  EXPECT_EQ(ReadFile(dir + "/Kept.txt").size(),
            Tool("classes " + DataPath("gadgets.tlb")).out.size());
  std::filesystem::remove_all(dir);
}

TEST_F(QuarbStubsRegistered, RegisterWritesTheClassAndLaterCommandsCreateTheCompilerThroughIt) {
  const std::string before = Tool("runtime " + DataPath("gadgets.tlb")).out;
  ToolRun reg = Run("register");
  ASSERT_EQ(reg.code, 0);
  EXPECT_NE(reg.out.find("libquarbcompiler.so"), std::string::npos) << reg.out;
  const std::string hive = Hive();
  EXPECT_NE(hive.find("[HKEY_CLASSES_ROOT\\QuarbCompiler.Compiler.1\\CLSID]"), std::string::npos);
  EXPECT_NE(hive.find("{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}\\InprocServer32]"),
            std::string::npos);
  EXPECT_EQ(hive.find("\\Control]"), std::string::npos);
  EXPECT_EQ(Run("runtime " + DataPath("gadgets.tlb")).out, before);
  EXPECT_EQ(Run("classes " + DataPath("gadgets.tlb")).out,
            Tool("classes " + DataPath("gadgets.tlb")).out);
  EXPECT_EQ(Run("scan " + DataPath("gadgets.tlb")).code, 0);

  // The commands really go through the registration: one that names a library that is not
  // there makes them fail rather than use the compiler built into the tool.
  std::string broken = hive;
  const std::size_t at = broken.find("libquarbcompiler.so");
  ASSERT_NE(at, std::string::npos);
  broken.replace(at, std::strlen("libquarbcompiler.so"), "libmissing.so");
  std::ofstream(dir_ + "/HKEY_CLASSES_ROOT.reg", std::ios::binary) << broken;
  for (const char* command : {"runtime", "classes", "interfaces", "scan"})
    EXPECT_EQ(Run(std::string(command) + " " + DataPath("gadgets.tlb")).code, 1) << command;
  EXPECT_EQ(Run("register " + DataPath("gadgets.tlb")).code, 1);
  EXPECT_EQ(Run("register a b").code, 2);
}

}  // namespace
}  // namespace quarb::test
