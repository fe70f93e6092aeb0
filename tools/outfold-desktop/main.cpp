// outfold-desktop: the publish structure view (liboutfold) in a window on the desktop, over a
// folder on disk through the sample host: the tree and list, their context menus, drag and
// drop, label editing, undo (Ctrl+Z) and redo (Ctrl+Y) change the folder itself.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "platform/user/desktop_gtk.h"
#include "publishview/folder_host.h"
#include "publishview/outfold.h"

namespace {

using halyard::user::GtkDisplay;

const char kUsage[] =
    "usage: outfold-desktop DIR [--size WxH]\n"
    "\n"
    "Shows the publish structure view over the folder DIR in a window on the desktop DISPLAY\n"
    "names. Moves, renames, new folders and deletions change DIR. Keys: Ctrl+Z undo, Ctrl+Y\n"
    "redo, Ctrl+X cut, Ctrl+V paste, Ctrl+Shift+N new folder; the context menus offer the rest.\n"
    "Publish times come from DIR.outfold beside DIR, as for the outfold tool.\n"
    "\n"
    "exit status: 0 closed, 1 DIR is no folder, 2 bad usage, 4 no display.\n";

// The frame keeps the view filling its client area.
class Frame : public CWnd {
 public:
  CPageWnd* view = nullptr;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SIZE && view) {
      RECT c;
      GetClientRect(&c);
      view->MoveWindow(c);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int width = 900, height = 600;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--version") {
      std::cout << "outfold-desktop " HALYARD_VERSION "\n";
      return 0;
    } else if (a == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 100 || height < 100 ||
          width > 10000 || height > 10000) {
        std::cerr << "outfold-desktop: bad size " << argv[i] << "\n";
        return 2;
      }
    } else if (dir.empty() && !a.empty() && a[0] != '-') {
      dir = a;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (dir.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  auto started = std::chrono::steady_clock::now();
  const bool timing = std::getenv("HALYARD_DESKTOP_TIMING") != nullptr;
  // With timing on, each phase of the opening is told as "phase NAME MS" and the whole as
  // "open MS", from the start of main to the first picture on the server.
  auto last = started;
  auto phase = [&](const char* name) {
    if (!timing) return;
    auto now = std::chrono::steady_clock::now();
    std::chrono::duration<double, std::milli> ms = now - last;
    std::fprintf(stderr, "phase %s %.3f ms\n", name, ms.count());
    last = now;
  };
  // The folder is read while the display opens: the host touches no window until Attach.
  auto host = std::make_unique<halyard::outfold::FolderHost>(dir);
  std::string loadError;
  bool loaded = false;
  double readMs = 0;
  std::thread reader([&] {
    auto begun = std::chrono::steady_clock::now();
    loaded = host->Load(&loadError);
    readMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count();
  });
  struct Joiner {
    std::thread& t;
    ~Joiner() {
      if (t.joinable()) t.join();
    }
  } joiner{reader};
  std::string error;
  if (!GtkDisplay::Open(&error)) {
    const char* display = std::getenv("DISPLAY");
    std::cerr << "outfold-desktop: " << error << " (DISPLAY=" << (display ? display : "") << ")\n";
    return 4;
  }
  phase("display");
  Frame frame;
  std::string title = dir + " - Outfold";
  if (!frame.Create(title.c_str(), WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 0)) return 1;
  frame.view = CreateView(frame.m_hWnd);
  if (!frame.view) {
    std::cerr << "outfold-desktop: cannot create the view\n";
    return 1;
  }
  frame.view->MoveWindow(RECT{0, 0, width, height});
  phase("view");
  reader.join();
  if (timing) std::fprintf(stderr, "phase read-beside %.3f ms\n", readMs);
  if (!loaded) {
    std::cerr << "outfold-desktop: " << loadError << "\n";
    DestroyView(frame.view);
    return 1;
  }
  phase("read-wait");
  host->Attach(frame.view);
  phase("fill");
  frame.view->Tree().SetFocus();

  // The design tool's Edit menu commands, through the library's exported functions.
  GtkDisplay::SetAccelerators([&](int vk, bool ctrl, bool shift) {
    if (ctrl && vk == 'Z') {
      if (canundo()) undo();
    } else if (ctrl && vk == 'Y') {
      if (canredo()) redo();
    } else if (ctrl && vk == 'X') {
      if (CanOutfoldCut()) OutfoldCut();
    } else if (ctrl && vk == 'V') {
      if (CanOutfoldPaste()) OutfoldPaste();
    } else if (ctrl && shift && vk == 'N') {
      if (CanAddNewFolder()) AddNewFolder();
    } else if (!ctrl && !shift && vk == VK_DELETE) {
      // The design tool's message loop offers Delete to the view before anything else.
      return PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0) != 0;
    } else {
      return false;
    }
    return true;
  });
  GtkDisplay::Show(&frame);
  // The view paints what it changed on the next paint, not through invalidation.
  GtkDisplay::RepaintAfterInput(&frame, true);
  GtkDisplay::Flush();
  phase("paint");
  if (timing) {
    std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - started;
    std::fprintf(stderr, "open %.3f ms\n", ms.count());
  }
  GtkDisplay::Run();
  DestroyView(frame.view);
  frame.view = nullptr;
  frame.DestroyWindow();
  return 0;
}
