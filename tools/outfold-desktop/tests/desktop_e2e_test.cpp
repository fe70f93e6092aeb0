// outfold-desktop as a user meets it, on an X server of the test's own: a folder dragged onto
// another moves on disk and in the picture, undo puts it back, label editing renames a folder
// on disk and the Delete key removes one. Where things are comes from the same view made
// without a display over the same folder; screenshots are kept in the build folder (e2e-shots/).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/gdi.h"
#include "platform/user/mouse.h"
#include "platform/user/testing/x_session.h"
#include "publishview/folder_host.h"
#include "publishview/outfold.h"
#include "publishview/page_wnd.h"

using halyard::testing::ScratchDir;
using halyard::user::testing::Screenshot;
using halyard::user::testing::XSession;

namespace {

constexpr int kWidth = 700, kHeight = 400;

void Pause(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

bool IsDir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The view over the folder without a display, to say where the tree shows a folder.
struct Mirror {
  CWnd frame;
  CPageWnd* view = nullptr;
  std::unique_ptr<halyard::outfold::FolderHost> host;
  explicit Mirror(const std::string& dir) {
    frame.Create("mirror", WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, nullptr, 0);
    view = CreateView(frame.m_hWnd);
    view->MoveWindow(RECT{0, 0, kWidth, kHeight});
    host = std::make_unique<halyard::outfold::FolderHost>(dir);
    std::string error;
    host->Load(&error);
    host->Attach(view);
    CDC dc(kWidth, kHeight);
    halyard::user::Painter::PaintWindow(&frame, dc);
  }
  ~Mirror() {
    DestroyView(view);
    frame.DestroyWindow();
  }
  HTREEITEM Find(HTREEITEM item, const std::string& name) {
    CTreeCtrl& t = view->Tree();
    for (; item; item = t.GetNextSiblingItem(item)) {
      if (t.GetItemText(item) == name) return item;
      if (HTREEITEM in = Find(t.GetChildItem(item), name)) return in;
    }
    return nullptr;
  }
  // The middle of the folder's label in the window.
  bool Where(const std::string& name, POINT* p) {
    CTreeCtrl& t = view->Tree();
    HTREEITEM item = Find(t.GetRootItem(), name);
    RECT r;
    if (!item || !t.GetItemRect(item, &r, TRUE)) return false;
    POINT c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(t.m_hWnd, &c);
    POINT origin{0, 0};
    ClientToScreen(frame.m_hWnd, &origin);
    *p = POINT{c.x - origin.x, c.y - origin.y};
    return true;
  }
};

class OutfoldDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!XSession::ToolsPresent(&missing)) GTEST_SKIP() << missing << " is not installed";
    std::string error;
    ASSERT_TRUE(x.Start(1024, 768, &error)) << error;
    shots = std::string(HALYARD_BINARY_DIR) + "/e2e-shots";
    mkdir(shots.c_str(), 0755);
    site = dir.Join("site");
    for (const char* d : {"", "/alpha", "/alpha/one", "/beta", "/gamma"}) mkdir((site + d).c_str(), 0755);
    ScratchDir::Write(site + "/index.html", "<P>hi</P>\n");
    setenv("HALYARD_REGISTRY", dir.Join("registry").c_str(), 1);
    pid = x.Launch({OUTFOLD_DESKTOP, site, "--size", std::to_string(kWidth) + "x" + std::to_string(kHeight)},
                   dir.Join("log.txt"), {"HALYARD_REGISTRY=" + dir.Join("registry")});
    ASSERT_GT(pid, 0);
    window = x.WaitForWindow("Outfold", 20);
    ASSERT_NE(window, 0u) << ScratchDir::Read(dir.Join("log.txt"));
    ASSERT_TRUE(x.Geometry(window, &place));
    ASSERT_NO_FATAL_FAILURE(Settle());
  }
  void TearDown() override {
    if (pid > 0) x.Kill(pid);
  }
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
  void Keep(const std::string& name) { screen.SavePng(shots + "/outfold-" + name + ".png"); }
  std::string At(POINT p, int dx = 0) {
    return std::to_string(place.left + p.x + dx);
  }
  std::string AtY(POINT p) { return std::to_string(place.top + p.y); }
  // Window pixels that differ from the headless painting of the view over the folder.
  int Differences() {
    Mirror m(site);
    m.view->Tree().SetFocus();  // as the program starts
    CDC dc(kWidth, kHeight);
    halyard::user::Painter::PaintWindow(&m.frame, dc);
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x0 = 0; x0 < kWidth; ++x0) n += screen.At(place.left + x0, place.top + y) != dc.GetPixel(x0, y);
    return n;
  }

  XSession x;
  ScratchDir dir{"outfold-e2e"};
  std::string shots, site;
  pid_t pid = 0;
  unsigned long window = 0;
  RECT place{};
  Screenshot screen;
};

TEST_F(OutfoldDesktop, DragAFolderOntoAnotherThenUndo) {
  Keep("open");
  POINT gamma, beta;
  {
    Mirror m(site);
    ASSERT_TRUE(m.Where("gamma", &gamma));
    ASSERT_TRUE(m.Where("beta", &beta));
  }
  x.Xdotool({"mousemove", At(gamma), AtY(gamma), "mousedown", "1"});
  // A drag starts once the pointer has moved a few pixels; then it travels to the target.
  for (int step = 1; step <= 6; ++step) {
    int y = gamma.y + (beta.y - gamma.y) * step / 6;
    x.Xdotool({"mousemove", At(gamma), std::to_string(place.top + y)});
    Pause(0.03);
  }
  x.Xdotool({"mousemove", At(beta), AtY(beta), "mouseup", "1"});
  Pause(0.3);
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("dragged");
  EXPECT_TRUE(IsDir(site + "/beta/gamma"));
  EXPECT_FALSE(IsDir(site + "/gamma"));
  {
    // In the picture: gamma is no longer where it stood among the top folders.
    Mirror m(site);
    POINT moved;
    EXPECT_FALSE(m.Find(m.view->Tree().GetRootItem(), "gamma") && m.Where("gamma", &moved) &&
                 moved.y == gamma.y && moved.x == gamma.x);
  }
  x.Xdotool({"key", "ctrl+z"});
  Pause(0.3);
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("undone");
  EXPECT_TRUE(IsDir(site + "/gamma"));
  EXPECT_FALSE(IsDir(site + "/beta/gamma"));
  x.Xdotool({"key", "ctrl+y"});
  Pause(0.3);
  EXPECT_TRUE(IsDir(site + "/beta/gamma"));
}

TEST_F(OutfoldDesktop, RenameThroughLabelEditing) {
  POINT beta;
  {
    Mirror m(site);
    ASSERT_TRUE(m.Where("beta", &beta));
  }
  x.Xdotool({"mousemove", At(beta), AtY(beta), "click", "1"});
  Pause(0.2);
  x.Xdotool({"key", "F2"});
  Pause(0.2);
  x.Xdotool({"key", "ctrl+a", "BackSpace"});
  x.Xdotool({"type", "--delay", "20", "delta"});
  x.Xdotool({"key", "Return"});
  Pause(0.3);
  ASSERT_NO_FATAL_FAILURE(Settle());
  Keep("renamed");
  EXPECT_TRUE(IsDir(site + "/delta"));
  EXPECT_FALSE(IsDir(site + "/beta"));
}

TEST_F(OutfoldDesktop, DeleteKeyRemovesTheFolderAndUndoBringsItBack) {
  POINT beta;
  {
    Mirror m(site);
    ASSERT_TRUE(m.Where("beta", &beta));
  }
  x.Xdotool({"mousemove", At(beta), AtY(beta), "click", "1"});
  Pause(0.2);
  x.Xdotool({"key", "Delete"});
  Pause(0.3);
  EXPECT_FALSE(IsDir(site + "/beta"));
  x.Xdotool({"key", "ctrl+z"});
  Pause(0.3);
  EXPECT_TRUE(IsDir(site + "/beta"));
}

TEST_F(OutfoldDesktop, TheWindowShowsWhatTheViewPaints) {
  // Selection and focus as the program starts: the root selected, the tree focused.
  EXPECT_EQ(Differences(), 0);
}

}  // namespace
