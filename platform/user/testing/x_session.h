// End-to-end tests of desktop programs: an Xvfb server of its own on a free display number
// (stopped when the session goes, also when a test fails), programs started on it, xdotool for
// typing and clicking like a user, and screenshots read back as pixels and kept as PNG files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/user/user_types.h"

namespace halyard::user::testing {

struct Screenshot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top first
  COLORREF At(int x, int y) const;    // as a COLORREF (0x00BBGGRR); 0 outside
  // Pixels of the colour in the rectangle.
  int Count(const RECT& r, COLORREF c) const;
  bool SavePng(const std::string& path) const;
};

// Reads an X window dump (ZPixmap, 24 or 32 bits a pixel); false for anything else.
bool ParseXwd(const std::string& bytes, Screenshot& out, std::string* error);

class XSession {
 public:
  XSession();
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Whether Xvfb, xdotool and xwd are installed (without them the tests skip).
  static bool ToolsPresent(std::string* missing);
  // Whether a program of that name is on the PATH.
  static bool Installed(const std::string& program);
  // Starts the server on a display number it finds free; false with the reason in error.
  bool Start(int width, int height, std::string* error);
  const std::string& Display() const { return display_; }

  // Starts a program on the display with its output in logFile; its process id.
  pid_t Launch(const std::vector<std::string>& argv, const std::string& logFile,
               const std::vector<std::string>& extraEnv = {});
  // Waits (up to seconds) for the program to end; its exit status, or -1 when it did not end
  // in time (it is then killed).
  int WaitExit(pid_t pid, double seconds);
  void Kill(pid_t pid);
  // Whether the program has ended, without waiting; its exit status then in status (as
  // WaitExit gives it).
  bool Ended(pid_t pid, int* status);

  // Runs xdotool with the arguments on the display; its standard output; ok tells success.
  std::string Xdotool(const std::vector<std::string>& args, bool* ok = nullptr);
  // The first visible window whose name matches (xdotool's pattern), waiting up to seconds; 0
  // when none came.
  unsigned long WaitForWindow(const std::string& name, double seconds);
  // A window's place and size on the screen.
  bool Geometry(unsigned long window, RECT* r);
  // The whole screen.
  bool Shoot(Screenshot& out, std::string* error);

 private:
  pid_t server_ = 0;
  std::string display_;
  std::vector<pid_t> launched_;
};

}  // namespace halyard::user::testing
