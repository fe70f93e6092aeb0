// The Java that both stub writers give for the gadgets fixture, byte for byte, shared by the
// writer tests and the tests that drive the compiler through COM. The texts follow the stub
// formats line by line: "interface %s \n{\n", "    public abstract %s get%s();\n" and so on,
// with the member order of the IDL.
#pragma once

#include <string>

namespace quarb::test {

inline constexpr char kShade[] =
    "interface Shade \n"
    "{\n"
    "    public static final int shNone = 0;\n"
    "    public static final int shLight = 1;\n"
    "    public static final int shDark = -2;\n"
    "    public static final int shDeep = 2147483647;\n"
    "}\n"
    "\n";

inline constexpr char kHollow[] = "interface Hollow \n{\n\n}\n\n";

inline constexpr char kCaption[] =
    "public interface ICaption \n"
    "{\n"
    "   // properties\n"
    "    public abstract String getCaption();\n"
    "    public abstract void setCaption(String Caption);\n"
    "   // methods\n"
    "    public abstract void Refresh();\n"
    "}\n";

inline constexpr char kPeer[] =
    "public interface IPeer \n"
    "{\n"
    "   // properties\n"
    "    public abstract String getLabel();\n"
    "    public abstract void setLabel(String Label);\n"
    "    public abstract String getName();\n"
    "    public abstract void setName(String Name);\n"
    "    public abstract int getId();\n"
    "    public abstract int getBound();\n"
    "    public abstract void setBound(int Bound);\n"
    "    public abstract double getWeight();\n"
    "    public abstract void setWeight(double Weight);\n"
    "   // methods\n"
    "    public abstract void Ping(int times);\n"
    "    public abstract boolean Compare(Object other);\n"
    "}\n";

// Count is read-only, Limit write-only, Target put-by-reference only (no line), Secret
// hidden, Locked restricted and Item indexed (all left out); ForeColor, Font and Picture
// are written as int, Peer with its dispatch interface's name, Style (an alias of an
// enumeration) as int.
inline constexpr char kGadget[] =
    "public interface IGadget \n"
    "{\n"
    "   // properties\n"
    "    public abstract int getCount();\n"
    "    public abstract void setLimit(int Limit);\n"
    "    public abstract int getForeColor();\n"
    "    public abstract void setForeColor(int ForeColor);\n"
    "    public abstract int getFont();\n"
    "    public abstract int getPicture();\n"
    "    public abstract IPeer getPeer();\n"
    "    public abstract int getStyle();\n"
    "    public abstract void setStyle(int Style);\n"
    "    public abstract boolean getEnabled();\n"
    "    public abstract void setEnabled(boolean Enabled);\n"
    "   // methods\n"
    "    public abstract void Move(int x, int[] y, boolean[] moved);\n"
    "    public abstract boolean Measure(double a, float b, short c, double d, long e);\n"
    "    public abstract Object Blend(Object v, int code);\n"
    "    public abstract Object Tweak(Object other);\n"
    "    public abstract void Wipe(int Shade);\n"
    "    public abstract void Spread(int a1, int a2, int a3, int a4, int a5, int a6, int a7, "
    "int a8, int a9, int a10, int a11, String a12);\n"
    "    public abstract String Describe();\n"
    "}\n";

inline constexpr char kPlain[] =
    "public interface IPlain \n"
    "{\n"
    "   // properties\n"
    "    public abstract int getSize();\n"
    "    public abstract void setSize(int Size);\n"
    "   // methods\n"
    "    public abstract int Poke(int a, int[] b);\n"
    "}\n";

inline constexpr char kEvents[] =
    "public interface IEvents \n{\n   // properties\n   // methods\n\n}\n";

inline constexpr char kGadgetShell[] =
    "public class Gadget extends Object\n"
    "                /*implements IGadget*/\n"
    "                /*implements ICaption*/\n"
    "                /*implements IEvents*/\n"
    "{\n"
    "}\n";

inline constexpr char kNothingShell[] = "public class Nothing extends Object\n{\n}\n";

inline constexpr char kGadgetClass[] =
    "class Gadget extends Object\n"
    "{\n"
    "                /*implements IGadget*/\n"
    "   // properties\n"
    "    public int getCount() { return 0; }\n"
    "    public void setLimit(int Limit) {}\n"
    "    public int getForeColor() { return 0; }\n"
    "    public void setForeColor(int ForeColor) {}\n"
    "    public int getFont() { return 0; }\n"
    "    public int getPicture() { return 0; }\n"
    "    public IPeer getPeer() { return null; }\n"
    "    public int getStyle() { return 0; }\n"
    "    public void setStyle(int Style) {}\n"
    "    public boolean getEnabled() { return false; }\n"
    "    public void setEnabled(boolean Enabled) {}\n"
    "   // methods\n"
    "    public void Move(int x, int[] y, boolean[] moved)  {  };\n"
    "    public boolean Measure(double a, float b, short c, double d, long e)  { return false; };\n"
    "    public Object Blend(Object v, int code)  { return null; };\n"
    "    public Object Tweak(Object other)  { return null; };\n"
    "    public void Wipe(int Shade)  {  };\n"
    "    public void Spread(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, "
    "int a9, int a10, int a11, String a12)  {  };\n"
    "    public String Describe()  { return null; };\n"
    "                /*implements ICaption*/\n"
    "   // properties\n"
    "    public String getCaption() { return null; }\n"
    "    public void setCaption(String Caption) {}\n"
    "   // methods\n"
    "    public void Refresh()  {  };\n"
    "                /*implements IEvents*/\n"
    "   // properties\n"
    "   // methods\n"
    "}\n"
    "\n";

inline constexpr char kNothingClass[] = "class Nothing extends Object\n{\n}\n\n";

inline std::string Expected(bool classes) {
  std::string s = std::string(kPeer) + kGadget + kShade + kHollow + kCaption + kPlain + kEvents;
  if (classes) return s + kGadgetClass + kNothingClass;
  return s + kGadgetShell + kNothingShell;
}

}  // namespace quarb::test
