// Every stub the writers produce for the fixtures compiles with javac. The stream holds
// several top-level types, so it is split into one source file per type first.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace quarb::test {
namespace {

// Splits a stub stream at the lines that open a top-level type; returns the type names.
std::vector<std::string> SplitIntoFiles(const std::string& text, const std::string& dir) {
  static const char* const kOpeners[] = {"public interface ", "public class ", "interface ",
                                         "class "};
  std::vector<std::string> names;
  std::ofstream out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    for (const char* opener : kOpeners) {
      if (line.rfind(opener, 0) == 0) {
        std::string rest = line.substr(std::strlen(opener));
        std::string name = rest.substr(0, rest.find(' '));
        names.push_back(name);
        out.close();
        out.open(dir + "/" + name + ".java", std::ios::binary);
        break;
      }
    }
    EXPECT_TRUE(out.is_open()) << "text before the first type: " << line;
    out << line << '\n';
    pos = end + 1;
  }
  return names;
}

void ExpectCompiles(const std::string& text, const std::vector<std::string>& types) {
  ASSERT_EQ(std::system("command -v javac >/dev/null 2>&1"), 0)
      << "javac is missing (scripts/deps installs default-jdk-headless)";
  char tmpl[] = "/tmp/quarb-javac-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::vector<std::string> names = SplitIntoFiles(text, dir);
  EXPECT_EQ(names, types);
  std::string command = "cd '" + dir + "' && javac -nowarn -d classes *.java > javac.log 2>&1";
  int rc = std::system(command.c_str());
  if (rc != 0) {
    std::ifstream log(dir + "/javac.log");
    ADD_FAILURE() << "javac failed:\n" << std::string(std::istreambuf_iterator<char>(log), {});
  }
  for (const std::string& name : names)
    EXPECT_TRUE(std::filesystem::exists(dir + "/classes/" + name + ".class")) << name;
  std::filesystem::remove_all(dir);
}

const std::vector<std::string> kGadgetTypes = {"IPeer",  "IGadget", "Shade",  "Hollow", "ICaption",
                                               "IPlain", "IEvents", "Gadget", "Nothing"};

TEST(JavaCompile, InterfaceStubsOfTheFixturesCompile) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ExpectCompiles(Generate(lib.Get(), WriteInterfaceStubs), kGadgetTypes);
}

TEST(JavaCompile, ClassStubsOfTheFixturesCompile) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ExpectCompiles(Generate(lib.Get(), WriteClassStubs), kGadgetTypes);
}

TEST(JavaCompile, StubsWithFloatPropertiesAndResultsCompile) {
  ComPtr<ITypeLib> lib = Load("floats.tlb");
  const std::vector<std::string> types = {"IGauge", "DGauge", "Gauge"};
  ExpectCompiles(Generate(lib.Get(), WriteInterfaceStubs), types);
  ExpectCompiles(Generate(lib.Get(), WriteClassStubs), types);
}

TEST(JavaCompile, StubsOfDerivedDualInterfacesCompile) {
  ComPtr<ITypeLib> lib = Load("derived.tlb");
  const std::vector<std::string> types = {"IBase", "IDerived", "Widget"};
  ExpectCompiles(Generate(lib.Get(), WriteInterfaceStubs), types);
  ExpectCompiles(Generate(lib.Get(), WriteClassStubs), types);
}

TEST(JavaCompile, StubsOfTheAutomationLibraryCompile) {
  ComPtr<ITypeLib> lib = Load("stdole2.tlb");
  const std::vector<std::string> types = {"IUnknown", "IDispatch", "IFontDisp", "IPictureDisp"};
  ExpectCompiles(Generate(lib.Get(), WriteInterfaceStubs), types);
  ExpectCompiles(Generate(lib.Get(), WriteClassStubs), types);
}

}  // namespace
}  // namespace quarb::test
