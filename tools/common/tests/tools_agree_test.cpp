// Every tool, run as users run it, keeps the same contract: --help and --version, usage errors
// that exit 2 and name what was wrong, files that cannot be read exit 3, and output that
// cannot be written (a full disk, here /dev/full) is never reported as success.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ostream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace halyard::tool::test {
namespace {

using Args = std::vector<std::string>;

struct ToolCase {
  const char* id;        // the test name's suffix
  const char* name;      // as the tool calls itself
  const char* program;   // the built program
  Args work;             // a command that succeeds and writes to standard output
  Args missingFile;      // a command whose input file does not exist (empty: none reads files)
  Args missingArgument;  // a known command without an argument it needs
};

const std::string kSource = HALYARD_SOURCE_DIR;
const std::string kMissing = "/nonexistent/halyard-tools-input";

const ToolCase kTools[] = {
    {"glyphpad",
     "glyphpad",
     GLYPHPAD_TOOL,
     {"colour", kSource + "/tools/glyphpad/tests/align.html"},
     {"colour", kMissing},
     {"type"}},
    {"halyard_ole",
     "halyard-ole",
     HALYARD_OLE_TOOL,
     {"convert", "I4", "42"},
     {},
     {"convert", "I4"}},
    {"halyard_reg",
     "halyard-reg",
     HALYARD_REG_TOOL,
     {"query", "HKCU"},
     {"import", kMissing},
     {"add"}},
    {"quarb_stubs", "quarb-stubs", QUARB_STUBS_TOOL, {}, {"dump", kMissing}, {"dump"}},
    {"siteglean",
     "siteglean",
     SITEGLEAN_TOOL,
     {"classify", "PHOTO.JPG"},
     {"links", kMissing, "http://h.example/"},
     {"links", "page.html"}},
    {"tagsmith",
     "tagsmith",
     TAGSMITH_TOOL,
     {"url", "parse", "http://h.example/a.htm"},
     {"tokens", kMissing},
     {"url", "parse"}},
    {"vaultkit",
     "vaultkit",
     VAULTKIT_TOOL,
     {"decode-stream", kSource + "/tools/vaultkit/tests/data/values.txt"},
     {"roundtrip", kMissing},
     {"roundtrip", "a", "b"}},
};

// Failures name the tool rather than dump the case's bytes.
void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

class ToolAgreement : public ::testing::TestWithParam<ToolCase> {
 protected:
  // Tools that touch the registry or the settings find them in the scratch folder.
  void SetUp() override {
    setenv("HALYARD_REGISTRY", (scratch_.path() + "/registry").c_str(), 1);
    setenv("HALYARD_WINDIR", scratch_.path().c_str(), 1);
    setenv("TZ", "UTC0", 1);
  }
  ToolRun Run(const Args& args, const std::string& stdoutPath = "") {
    return RunTool(GetParam().program, args, stdoutPath);
  }
  std::string Name() const { return GetParam().name; }

  ScratchDir scratch_;
};

TEST_P(ToolAgreement, HelpAndVersionGoToStandardOutputAndExitZero) {
  ToolRun help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_TRUE(StartsWith(help.out, "usage: " + Name() + " ")) << help.out;
  EXPECT_EQ(help.err, "");
  for (const char* alias : {"-h", "help"}) EXPECT_EQ(Run({alias}).out, help.out) << alias;
  if (!GetParam().missingArgument.empty()) {
    // --help after a command asks for the same help instead of running the command.
    ToolRun late = Run({GetParam().missingArgument[0], "--help"});
    EXPECT_EQ(late.code, 0);
    EXPECT_EQ(late.out, help.out);
  }

  ToolRun version = Run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, Name() + " " + HALYARD_VERSION + "\n");
  EXPECT_EQ(version.err, "");
}

TEST_P(ToolAgreement, UsageErrorsExitTwoAndSayWhatWasWrong) {
  ToolRun none = Run({});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(StartsWith(none.err, Name() + ": ")) << none.err;
  EXPECT_NE(none.err.find("usage: " + Name() + " "), std::string::npos) << none.err;

  ToolRun unknown = Run({"frob"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_TRUE(StartsWith(unknown.err, Name() + ": unknown command 'frob'\n")) << unknown.err;

  // The name is shown escaped, so that a control byte cannot garble the terminal.
  ToolRun odd = Run({"fr\033ob"});
  EXPECT_EQ(odd.code, 2);
  EXPECT_TRUE(StartsWith(odd.err, Name() + ": unknown command 'fr\\033ob'\n")) << odd.err;

  ToolRun option = Run({"--frob"});
  EXPECT_EQ(option.code, 2);
  EXPECT_TRUE(StartsWith(option.err, Name() + ": unknown option '--frob'\n")) << option.err;

  ToolRun missing = Run(GetParam().missingArgument);
  EXPECT_EQ(missing.code, 2) << missing.err;
  EXPECT_TRUE(StartsWith(missing.err, Name() + ": ")) << missing.err;
}

TEST_P(ToolAgreement, AnInputFileThatCannotBeReadExitsThree) {
  if (GetParam().missingFile.empty()) GTEST_SKIP() << Name() << " reads no files";
  ToolRun run = Run(GetParam().missingFile);
  EXPECT_EQ(run.code, 3);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(kMissing), std::string::npos) << run.err;
}

TEST_P(ToolAgreement, OutputThatCannotBeWrittenIsAnErrorNeverSuccess) {
  for (const Args& args : {Args{"--help"}, Args{"--version"}, GetParam().work}) {
    if (args.empty()) continue;
    ASSERT_EQ(Run(args).code, 0) << args[0];
    ToolRun full = Run(args, "/dev/full");
    EXPECT_EQ(full.code, 3) << args[0];
    // One message, however many writes failed.
    EXPECT_EQ(full.err, Name() + ": cannot write the output: No space left on device\n") << args[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Every, ToolAgreement, ::testing::ValuesIn(kTools),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                           return std::string(info.param.id);
                         });

}  // namespace
}  // namespace halyard::tool::test
