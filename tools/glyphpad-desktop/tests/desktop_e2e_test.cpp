// glyphpad-desktop as a user meets it, on an X server of the test's own: the page shows in its
// colours where the control's text says (the screen matches the control painted without a
// display, pixel for pixel), typing moves the pixels, a protected range refuses typing,
// find/replace through the dialog (drawn over the page) changes the page, which Ctrl+S saves,
// copy and paste go through the desktop's clipboard (another program, xclip, reads and fills
// it), a failed save says so in a message box and printing asks in a print dialog. Screenshots
// are kept in the build folder (e2e-shots/).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/gdi.h"
#include "platform/user/testing/x_session.h"
#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "tools/glyphpad-desktop/side_file.h"

using halyard::testing::ScratchDir;
using halyard::user::testing::Screenshot;
using halyard::user::testing::XSession;

namespace {

const char kPage[] =
    "<HTML>\r\n"
    "<!-- greeting -->\r\n"
    "<BODY BGCOLOR=\"#FFFFFF\">\r\n"
    "<P ALIGN=center>Hello world</P>\r\n"
    "</BODY>\r\n"
    "</HTML>\r\n";

void Pause(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// The control as the program holds it, without a display, to say where things are and what
// the window should show.
struct Mirror {
  CWnd frame;
  CSyntaxEdit edit;
  Mirror(int w, int h, const std::string& text) {
    RECT r{0, 0, w, h};
    frame.Create("mirror", WS_VISIBLE, r, nullptr, 0);
    edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 100);
    halyard::glyphpad::StyleEditor(edit);
    edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    edit.GetRichEdit()->SetSel(0, 0);
    edit.GetRichEdit()->SetFocus();
    CDC dc(w, h);  // a first paint learns the line height
    halyard::user::Painter::PaintWindow(&frame, dc);
  }
  ~Mirror() { frame.DestroyWindow(); }
  CRichEditCtrl& Rich() { return *edit.GetRichEdit(); }
  RECT Cell(LONG a, LONG b) {
    POINT p = Rich().PosFromChar(a), q = Rich().PosFromChar(b);
    return RECT{p.x, p.y, q.x, p.y + Rich().GetLineHeight()};
  }
  std::unique_ptr<CDC> Paint(int w, int h) {
    auto dc = std::make_unique<CDC>(w, h);
    halyard::user::Painter::PaintWindow(&frame, *dc);
    return dc;
  }
};

class GlyphpadDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!XSession::ToolsPresent(&missing)) GTEST_SKIP() << missing << " is not installed";
    std::string error;
    ASSERT_TRUE(x.Start(1024, 768, &error)) << error;
    shots = std::string(HALYARD_BINARY_DIR) + "/e2e-shots";
    mkdir(shots.c_str(), 0755);
  }
  void Open(const std::string& text, const std::string& fields = "") {
    page = dir.Join("page.html");
    ScratchDir::Write(page, text);
    std::vector<std::string> argv{GLYPHPAD_DESKTOP, page, "--size", "640x360"};
    if (!fields.empty()) {
      ScratchDir::Write(dir.Join("page.fields"), fields);
      argv.push_back("--fields");
      argv.push_back(dir.Join("page.fields"));
    }
    // The caret holds still, as the desktop's settings say: pictures are compared whole.
    mkdir(dir.Join("config").c_str(), 0755);
    mkdir(dir.Join("config/gtk-3.0").c_str(), 0755);
    ScratchDir::Write(dir.Join("config/gtk-3.0/settings.ini"), "[Settings]\ngtk-cursor-blink=false\n");
    pid = x.Launch(argv, dir.Join("log.txt"), {"HALYARD_DESKTOP_TIMING=1", "XDG_CONFIG_HOME=" + dir.Join("config")});
    ASSERT_GT(pid, 0);
    window = x.WaitForWindow("page.html", 20);
    ASSERT_NE(window, 0u) << ScratchDir::Read(dir.Join("log.txt"));
    ASSERT_TRUE(x.Geometry(window, &place));
    ASSERT_NO_FATAL_FAILURE(Settle());
  }
  // Waits until two screenshots in a row agree, and keeps the last.
  void Settle() {
    Screenshot a, b;
    std::string error;
    ASSERT_TRUE(x.Shoot(a, &error)) << error;
    for (int i = 0; i < 50; ++i) {
      Pause(0.05);
      ASSERT_TRUE(x.Shoot(b, &error)) << error;
      if (a.pixels == b.pixels) break;
      a = b;
    }
    screen = b;
  }
  void Keep(const std::string& name) { screen.SavePng(shots + "/glyphpad-" + name + ".png"); }
  int Width() const { return place.right - place.left; }
  int Height() const { return place.bottom - place.top; }
  // Window pixels that differ from the picture.
  int Differences(CDC& dc) {
    int n = 0;
    for (int y = 0; y < Height(); ++y)
      for (int x0 = 0; x0 < Width(); ++x0) n += screen.At(place.left + x0, place.top + y) != dc.GetPixel(x0, y);
    return n;
  }
  void Click(POINT client) {
    x.Xdotool({"mousemove", std::to_string(place.left + client.x), std::to_string(place.top + client.y),
               "click", "1"});
  }
  RECT OnScreen(RECT r) const {
    return RECT{r.left + place.left, r.top + place.top, r.right + place.left, r.bottom + place.top};
  }
  void TearDown() override {
    if (pid > 0) x.Kill(pid);
  }

  XSession x;
  ScratchDir dir{"glyphpad-e2e"};
  std::string shots, page;
  pid_t pid = 0;
  unsigned long window = 0;
  RECT place{};
  Screenshot screen;
};

TEST_F(GlyphpadDesktop, PageShowsItsColoursWhereTheControlSays) {
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  Keep("open");
  Mirror m(Width(), Height(), kPage);
  auto picture = m.Paint(Width(), Height());
  EXPECT_EQ(Differences(*picture), 0);
  // Each kind of text in its colour at its place: the tag's bracket and name, an attribute,
  // its value, the comment.
  std::string t = kPage;
  struct Part {
    const char* what;
    LONG at, len;
  } parts[] = {{"bracket", 0, 1},
               {"tag", 1, 4},
               {"comment", static_cast<LONG>(t.find("greeting")), 8},
               {"attribute", static_cast<LONG>(t.find("BGCOLOR")), 7},
               {"value", static_cast<LONG>(t.find("#FFFFFF")), 7}};
  for (const Part& p : parts) {
    COLORREF c = m.Rich().ColorAt(p.at);
    RECT cell = OnScreen(m.Cell(p.at, p.at + p.len));
    EXPECT_GT(screen.Count(cell, c), p.len) << p.what;
  }
  // The kinds differ in colour (or the check above proves little).
  EXPECT_NE(m.Rich().ColorAt(1), m.Rich().ColorAt(static_cast<LONG>(t.find("BGCOLOR"))));
  EXPECT_NE(m.Rich().ColorAt(static_cast<LONG>(t.find("greeting"))), m.Rich().ColorAt(1));
}

TEST_F(GlyphpadDesktop, TypingIntoATagMovesThePixels) {
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  Mirror m(Width(), Height(), kPage);
  LONG at = static_cast<LONG>(std::string(kPage).find("ALIGN"));
  POINT p = m.Rich().PosFromChar(at);
  Click(POINT{p.x, p.y + m.Rich().GetLineHeight() / 2});
  x.Xdotool({"type", "--delay", "20", "ID=x "});
  Settle();
  Keep("typed");
  m.Rich().SetSel(at, at);
  for (char c : std::string("ID=x ")) m.Rich().SendMessage(WM_CHAR, static_cast<unsigned char>(c));
  auto picture = m.Paint(Width(), Height());
  EXPECT_EQ(Differences(*picture), 0);
  // The attribute's name now stands where ALIGN stood, in the attribute colour.
  COLORREF attr = m.Rich().ColorAt(at);
  EXPECT_GT(screen.Count(OnScreen(m.Cell(at, at + 2)), attr), 2);
  // Save and look at the file.
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  std::string saved = ScratchDir::Read(page);
  EXPECT_NE(saved.find("<P ID=x ALIGN=center>"), std::string::npos) << saved;
}

TEST_F(GlyphpadDesktop, AProtectedRangeRefusesTyping) {
  std::string t = kPage;
  LONG a = static_cast<LONG>(t.find("<BODY")), b = static_cast<LONG>(t.find("\r\n<P"));
  ASSERT_NO_FATAL_FAILURE(Open(kPage, "protect " + std::to_string(a) + " " + std::to_string(b) + "\n"));
  Mirror m(Width(), Height(), kPage);
  POINT p = m.Rich().PosFromChar(a + 3);
  Click(POINT{p.x, p.y + m.Rich().GetLineHeight() / 2});
  Settle();
  Screenshot before = screen;
  x.Xdotool({"type", "--delay", "20", "zz"});
  x.Xdotool({"key", "Delete", "BackSpace"});
  Settle();
  Keep("protected");
  EXPECT_EQ(before.pixels, screen.pixels);
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  EXPECT_EQ(ScratchDir::Read(page), t);
}

TEST_F(GlyphpadDesktop, FindAndReplaceThroughTheDialog) {
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  Click(POINT{3, 5});  // the keyboard follows the pointer: there is no window manager
  x.Xdotool({"key", "ctrl+h"});
  unsigned long dialog = x.WaitForWindow("^Replace$", 10);
  ASSERT_NE(dialog, 0u);
  RECT box;
  ASSERT_TRUE(x.Geometry(dialog, &box));
  // The pointer over the dialog gives it the keyboard; its first field has the focus.
  x.Xdotool({"mousemove", std::to_string((box.left + box.right) / 2), std::to_string(box.bottom - 5)});
  Pause(0.2);
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("replace-dialog");
  // The dialog lies over the page and is drawn there: its face, labels and fields, not black.
  int area = (box.right - box.left) * (box.bottom - box.top);
  EXPECT_LT(screen.Count(box, RGB(0, 0, 0)), area / 4);
  EXPECT_GT(screen.Count(box, RGB(0xFF, 0xFF, 0xFF)), 0);  // the fields
  x.Xdotool({"type", "--delay", "20", "BODY"});
  x.Xdotool({"key", "Tab"});
  x.Xdotool({"type", "--delay", "20", "DIV"});
  x.Xdotool({"key", "alt+a"});
  Pause(0.3);
  x.Xdotool({"key", "Escape"});
  Pause(0.3);
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("replaced");
  std::string expected = kPage;
  for (size_t at; (at = expected.find("BODY")) != std::string::npos;) expected.replace(at, 4, "DIV");
  Mirror m(Width(), Height(), expected);
  // The tag names that changed show in the tag colour.
  LONG div = static_cast<LONG>(expected.find("DIV"));
  EXPECT_GT(screen.Count(OnScreen(m.Cell(div, div + 3)), m.Rich().ColorAt(div)), 3);
  x.Xdotool({"windowactivate", std::to_string(window)});
  Click(POINT{5, 5});
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  EXPECT_EQ(ScratchDir::Read(page), expected);
}

TEST_F(GlyphpadDesktop, CopyAndPasteGoThroughTheDesktopClipboard) {
  if (!XSession::Installed("xclip")) GTEST_SKIP() << "xclip is not installed";
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  // Copied here, read by another program.
  Click(POINT{3, 5});
  x.Xdotool({"key", "ctrl+a", "ctrl+c"});
  Pause(0.2);
  pid_t p = x.Launch({"xclip", "-o", "-selection", "clipboard"}, dir.Join("copied.txt"));
  ASSERT_EQ(x.WaitExit(p, 10), 0);
  EXPECT_EQ(ScratchDir::Read(dir.Join("copied.txt")), kPage);

  // Put there by another program (in UTF-8), pasted here (in the page's code page) where the
  // caret is, and saved.
  ScratchDir::Write(dir.Join("paste.txt"), "<B>caf\xC3\xA9</B> ");
  p = x.Launch({"xclip", "-i", "-selection", "clipboard", dir.Join("paste.txt")}, dir.Join("xclip.log"));
  ASSERT_EQ(x.WaitExit(p, 10), 0);  // it goes on serving from a child of its own
  Mirror m(Width(), Height(), kPage);
  LONG at = static_cast<LONG>(std::string(kPage).find("Hello"));
  POINT q = m.Rich().PosFromChar(at);
  Click(POINT{q.x, q.y + m.Rich().GetLineHeight() / 2});
  x.Xdotool({"key", "ctrl+v"});
  Pause(0.2);
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  std::string expected = kPage;
  expected.insert(static_cast<size_t>(at), "<B>caf\xE9</B> ");
  EXPECT_EQ(ScratchDir::Read(page), expected);
  Settle();
  Keep("pasted");
}

TEST_F(GlyphpadDesktop, AFailedSaveSaysSoInAMessageBox) {
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  // The file cannot be written any more: a folder stands in its place.
  ASSERT_EQ(unlink(page.c_str()), 0);
  ASSERT_EQ(mkdir(page.c_str(), 0755), 0);
  Click(POINT{3, 5});
  x.Xdotool({"key", "ctrl+s"});
  unsigned long box = x.WaitForWindow("^Glyphpad$", 10);
  ASSERT_NE(box, 0u) << "no message box";
  RECT r;
  ASSERT_TRUE(x.Geometry(box, &r));
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("message-box");
  int area = (r.right - r.left) * (r.bottom - r.top);
  EXPECT_LT(screen.Count(r, RGB(0, 0, 0)), area / 4) << "the message box is not drawn";
  // Its button answers it; the page stays open and takes keys again.
  x.Xdotool({"mousemove", std::to_string((r.left + r.right) / 2), std::to_string((r.top + r.bottom) / 2)});
  x.Xdotool({"key", "Return"});
  for (int i = 0; i < 100 && !x.Xdotool({"search", "--onlyvisible", "--name", "^Glyphpad$"}).empty(); ++i) Pause(0.05);
  EXPECT_EQ(x.Xdotool({"search", "--onlyvisible", "--name", "^Glyphpad$"}), "");
  ASSERT_EQ(rmdir(page.c_str()), 0);
  Click(POINT{3, 5});
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  EXPECT_EQ(ScratchDir::Read(page), kPage);
}

TEST_F(GlyphpadDesktop, PrintOpensADrawnPrintDialogThatEscapeCloses) {
  ASSERT_NO_FATAL_FAILURE(Open(kPage));
  Click(POINT{3, 5});
  x.Xdotool({"key", "ctrl+p"});
  unsigned long box = x.WaitForWindow("^Print$", 10);
  ASSERT_NE(box, 0u) << "no print dialog";
  RECT r;
  ASSERT_TRUE(x.Geometry(box, &r));
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("print-dialog");
  int area = (r.right - r.left) * (r.bottom - r.top);
  EXPECT_LT(screen.Count(r, RGB(0, 0, 0)), area / 4) << "the print dialog is not drawn";
  x.Xdotool({"mousemove", std::to_string((r.left + r.right) / 2), std::to_string((r.top + r.bottom) / 2)});
  x.Xdotool({"key", "Escape"});
  for (int i = 0; i < 100 && !x.Xdotool({"search", "--onlyvisible", "--name", "^Print$"}).empty(); ++i) Pause(0.05);
  EXPECT_EQ(x.Xdotool({"search", "--onlyvisible", "--name", "^Print$"}), "");
  // The page is as it was and still takes keys.
  Click(POINT{3, 5});
  x.Xdotool({"key", "ctrl+s"});
  Pause(0.3);
  EXPECT_EQ(ScratchDir::Read(page), kPage);
}

TEST(Xwd, ReadsAZPixmapDumpAndRefusesOthers) {
  std::string b(100, '\0');
  auto put = [&](size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put(0, 100);
  put(4, 7);
  put(8, 2);
  put(16, 2);
  put(20, 1);
  put(28, 0);  // least significant byte first
  put(44, 32);
  put(48, 8);
  put(76, 0);
  b += std::string("\x30\x20\x10\x00\xFF\x00\x00\x00", 8);
  Screenshot s;
  std::string error;
  ASSERT_TRUE(halyard::user::testing::ParseXwd(b, s, &error)) << error;
  EXPECT_EQ(s.At(0, 0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(s.At(1, 0), RGB(0, 0, 0xFF));
  EXPECT_FALSE(halyard::user::testing::ParseXwd(b.substr(0, 104), s, &error));
  EXPECT_EQ(error, "truncated pixels");
  put(44, 16);  // two bytes a pixel
  EXPECT_FALSE(halyard::user::testing::ParseXwd(b, s, &error));
}

}  // namespace
