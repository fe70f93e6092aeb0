// The benchmark's generated library is a real MSFT file: it loads, and its stubs are what
// its layout describes.
#include "platform/ole/testing/big_type_library.h"

#include "test_support.h"

namespace quarb::test {
namespace {

TEST(BigLibrary, GeneratedLibraryLoadsAndGivesTheStubsItDescribes) {
  std::vector<BYTE> bytes = halyard::ole::testing::BuildBigLibrary(20);
  ITypeLib* raw = nullptr;
  ASSERT_EQ(halyard::ole::LoadTypeLibFromMemory(bytes.data(), bytes.size(), "", &raw), S_OK);
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  ASSERT_EQ(lib->GetTypeInfoCount(), 23u);  // the alias, 20 interfaces, 2 classes
  std::string text = Generate(lib.Get(), WriteInterfaceStubs);
  std::string first =
      "public interface IBig0 \n"
      "{\n"
      "   // properties\n"
      "    public abstract String getProp0();\n"
      "    public abstract void setProp0(String Prop0);\n"
      "    public abstract int getProp1();\n"
      "    public abstract void setProp1(int Prop1);\n"
      "    public abstract double getProp2();\n"
      "    public abstract void setProp2(double Prop2);\n"
      "    public abstract boolean getProp3();\n"
      "    public abstract void setProp3(boolean Prop3);\n"
      "    public abstract int getProp4();\n"
      "    public abstract void setProp4(int Prop4);\n";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_NE(text.find("    public abstract int getFixed4();\n   // methods\n"
                      "    public abstract boolean Do0(int a, String b, double[] c);\n"),
            std::string::npos);
  EXPECT_NE(text.find("public class Big1 extends Object\n                /*implements IBig10*/\n"),
            std::string::npos);
  ComPtr<ITypeInfo> big = Find(lib.Get(), "IBig3");
  PropertyList props;
  CollectProperties(big.Get(), &props);
  EXPECT_EQ(props.properties.size(), 20u);
  EXPECT_EQ(props.properties[4].type, kColorCode);
  std::vector<MethodInfo> methods;
  CollectMethods(big.Get(), true, &methods);
  EXPECT_EQ(methods.size(), 15u);
}

}  // namespace
}  // namespace quarb::test
