// The GTK display: real windows on the desktop DISPLAY names for the platform's top-level
// windows. A host program opens it once at start; without that, everything stays headless.
// A shown window's picture is the platform's painting (Painter::PaintWindow) kept in an image
// of the window's size and brought up to date where windows invalidated; keys (typed
// characters through the input method), the mouse, the wheel, focus, resizing and cursors
// arrive as the platform's messages, window timers as WM_TIMER on the desktop's clock; the platform clipboard follows the desktop's for text;
// message boxes, the print dialog and find/replace dialogs become real dialogs.
// Lives in its own library (libhalyard_desktop) so that the platform runtime never loads GTK.
// One thread only.
#pragma once

#include <functional>
#include <string>

#include "platform/kernel/export.h"
#include "user_types.h"

class CWnd;
class CFindReplaceDialog;

namespace halyard::user {

class HALYARD_EXPORT GtkDisplay {
 public:
  // Connects to the display; false with the reason in error when there is none.
  static bool Open(std::string* error);
  static bool IsOpen();
  // Shows the top-level window (no parent) as a desktop window of its size and title, placed
  // at the origin of the platform's screen. False when not open or the window is not top-level.
  static bool Show(CWnd* top);
  // Takes the desktop window of a shown window away without closing the platform's window (no
  // WM_CLOSE); false for a window not shown.
  static bool Hide(CWnd* top);
  // For a shown window whose windows do not all invalidate what they change: it is painted
  // whole after every input. False for a window not shown.
  static bool RepaintAfterInput(CWnd* top, bool on);
  // Tracked popup menus become desktop menus at the pointer.
  // Runs until Quit or until the last shown window is closed. Closing a window sends it
  // WM_CLOSE; a non-zero answer keeps it open.
  static void Run();
  static void Quit();
  // Paints what was invalidated and hands it to the display server, waiting until the server
  // has it; what Run does after every input event.
  static void Flush();
  // Shows a desktop dialog for the headless find/replace dialog: its fields and buttons drive
  // the dialog's user side, so its owner hears of each button as usual. Closing it presses
  // Cancel.
  static bool ShowFindReplace(CFindReplaceDialog* dialog);
  // Told, after every key press, the milliseconds from the key's arrival to its painting being
  // on the server.
  static void SetKeyTimer(std::function<void(double)> timer);
  // The host's accelerators: asked first about every key pressed (its virtual key and the
  // modifiers); true takes the key, which then reaches no window.
  static void SetAccelerators(std::function<bool(int vk, bool ctrl, bool shift)> filter);
};

}  // namespace halyard::user
