// The process-wide state of the headless window manager that a display would otherwise hold:
// the keyboard's modifier keys, beeps, message boxes (recorded, and answered by a callback the
// test installs), the wait cursor and the queue of posted messages. One thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "user_types.h"

// Keys pressed with Alt (and F10) arrive as system keys; a character typed with Alt as a
// system character.
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;

namespace halyard::user {

struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

class HALYARD_EXPORT Desktop {
 public:
  // Keys held down, as GetKeyState reports them.
  static void SetKeyDown(int vk, bool down);
  static bool IsKeyDown(int vk);

  // Every MessageBeep, in order (the beep type).
  static const std::vector<UINT>& Beeps();
  static void Beep(UINT type);

  // Message boxes shown so far; the answerer decides the button (IDOK when none is set).
  static const std::vector<MessageBoxCall>& MessageBoxes();
  static void SetMessageBoxAnswerer(std::function<int(const MessageBoxCall&)> answerer);
  static int ShowMessageBox(const MessageBoxCall& call);

  // Wait cursor: depth of nested Begin/End pairs and how often it was put up.
  static void BeginWaitCursor();
  static void EndWaitCursor();
  static int WaitCursorDepth();
  static int WaitCursorShownCount();

  // Forgets keys, beeps, message boxes, the wait cursor and the posted messages.
  static void Reset();
};

}  // namespace halyard::user

HALYARD_EXPORT BOOL MessageBeep(UINT type);
HALYARD_EXPORT int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// High bit set (negative) while the key is down.
HALYARD_EXPORT SHORT GetKeyState(int vk);
