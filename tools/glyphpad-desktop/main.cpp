// glyphpad-desktop: the syntax edit control in a window on the desktop. It opens FILE (an empty
// page without one), takes protected ranges and hidden fields from a side file, and offers find
// (Ctrl+F, F3), replace (Ctrl+H), print (Ctrl+P) and save (Ctrl+S, back to FILE).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/file_system.h"
#include "platform/user/desktop.h"
#include "platform/user/desktop_gtk.h"
#include "platform/user/gdi.h"
#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_messages.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "tools/glyphpad-desktop/side_file.h"

namespace {

using halyard::user::GtkDisplay;

const char kUsage[] =
    "usage: glyphpad-desktop [FILE] [--fields SIDEFILE] [--size WxH]\n"
    "\n"
    "Opens FILE in the syntax edit control in a window on the desktop DISPLAY names.\n"
    "SIDEFILE (FILE.fields beside FILE when it exists and none is given) holds one field a\n"
    "line: \"protect START END\" or \"hidden START END FIRST SECOND\" (positions in characters,\n"
    "END exclusive). Keys: Ctrl+F find, F3 find next, Ctrl+H replace, Ctrl+P print, Ctrl+S save.\n"
    "\n"
    "exit status: 0 closed, 2 bad usage or a bad side file, 3 FILE cannot be read, 4 no display.\n";

// The frame: keeps the control filling its client area.
class Frame : public CWnd {
 public:
  CSyntaxEdit edit;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SIZE && edit.GetSafeHwnd()) {
      RECT c;
      GetClientRect(&c);
      edit.MoveWindow(c);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return !in.bad();
}

std::string Content(CSyntaxEdit& edit) {
  LRESULT len = edit.SendMessage(SEM_GETCONTENTLENGTH);
  std::vector<char> buf(static_cast<size_t>(len) + 1);
  edit.SendMessage(SEM_GETCONTENT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(buf.data()));
  return std::string(buf.data(), static_cast<size_t>(len));
}

}  // namespace

int main(int argc, char** argv) {
  std::string file, fields;
  int width = 800, height = 600;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--version") {
      std::cout << "glyphpad-desktop " HALYARD_VERSION "\n";
      return 0;
    } else if (a == "--fields" && i + 1 < argc) {
      fields = argv[++i];
    } else if (a == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 50 || height < 50 ||
          width > 10000 || height > 10000) {
        std::cerr << "glyphpad-desktop: bad size " << argv[i] << "\n";
        return 2;
      }
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << kUsage;
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  auto started = std::chrono::steady_clock::now();
  std::string text;
  if (!file.empty() && !ReadFile(file, text)) {
    std::cerr << "glyphpad-desktop: cannot read " << file << "\n";
    return 3;
  }
  if (fields.empty() && !file.empty()) {
    std::ifstream probe(file + ".fields");
    if (probe) fields = file + ".fields";
  }
  std::vector<halyard::glyphpad::SideField> sideFields;
  if (!fields.empty()) {
    std::string sideText, error;
    if (!ReadFile(fields, sideText)) {
      std::cerr << "glyphpad-desktop: cannot read " << fields << "\n";
      return 3;
    }
    if (!halyard::glyphpad::ParseSideFile(sideText, static_cast<long>(text.size()), sideFields, &error)) {
      std::cerr << "glyphpad-desktop: " << fields << ": " << error << "\n";
      return 2;
    }
  }
  std::string error;
  if (!GtkDisplay::Open(&error)) {
    const char* display = std::getenv("DISPLAY");
    std::cerr << "glyphpad-desktop: " << error << " (DISPLAY=" << (display ? display : "") << ")\n";
    return 4;
  }

  Frame frame;
  std::string title = file.empty() ? std::string("Glyphpad") : file + " - Glyphpad";
  RECT r{0, 0, width, height};
  if (!frame.Create(title.c_str(), WS_VISIBLE, r, nullptr, 0) ||
      !frame.edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 100)) {
    std::cerr << "glyphpad-desktop: cannot create the control\n";
    return 1;
  }
  halyard::glyphpad::StyleEditor(frame.edit);
  // The control's own limit for what the user enters is 64 KB, less than many a page: the
  // host lets the user edit a page of any size.
  frame.edit.GetRichEdit()->LimitText(0x7FFFFFFF);
  frame.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  halyard::glyphpad::ApplySideFields(frame.edit, sideFields);
  frame.edit.GetRichEdit()->SetSel(0, 0);
  frame.edit.GetRichEdit()->SetFocus();

  GtkDisplay::SetAccelerators([&](int vk, bool ctrl, bool) {
    if (ctrl && vk == 'F') {
      frame.edit.BringUpFindReplaceDlg(1);
    } else if (ctrl && vk == 'H') {
      frame.edit.BringUpFindReplaceDlg(0);
    } else if (vk == 0x72 /* F3 */ && !frame.edit.GetLastSearchText().empty()) {
      frame.edit.FindNextMatch(frame.edit.GetLastSearchText(), TRUE, FALSE, FALSE);
      return true;
    } else if (ctrl && vk == 'P') {
      frame.edit.PrintText();
      return true;
    } else if (ctrl && vk == 'S') {
      if (file.empty()) return true;
      // Written beside the file and put in its place whole: a save that fails part way (a full
      // disk) leaves the file as it was.
      halyard::ReplacementFile out(file);
      int err = out.Begin();
      if (err == 0) err = out.Write(Content(frame.edit));
      if (err == 0) err = out.Commit();
      if (err != 0)
        MessageBox(frame.m_hWnd, ("Cannot save " + file + ": " + std::strerror(err)).c_str(), "Glyphpad", MB_OK);
      return true;
    } else {
      return false;
    }
    if (CFindReplaceDialog* d = frame.edit.GetFindReplaceDialog()) GtkDisplay::ShowFindReplace(d);
    return true;
  });
  if (std::getenv("HALYARD_DESKTOP_TIMING")) {
    GtkDisplay::SetKeyTimer([](double ms) { std::fprintf(stderr, "key %.3f ms\n", ms); });
  }
  GtkDisplay::Show(&frame);
  GtkDisplay::Flush();
  if (std::getenv("HALYARD_DESKTOP_TIMING")) {
    std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - started;
    std::fprintf(stderr, "open %.3f ms\n", ms.count());
  }
  GtkDisplay::Run();
  frame.DestroyWindow();
  return 0;
}
