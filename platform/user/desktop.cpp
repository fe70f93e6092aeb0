#include "desktop.h"

#include <set>

#include "clipboard.h"
#include "wnd.h"

namespace halyard::user {
namespace {

struct State {
  std::set<int> keys;
  std::vector<UINT> beeps;
  std::vector<MessageBoxCall> boxes;
  std::function<int(const MessageBoxCall&)> answerer;
  int waitDepth = 0;
  int waitShown = 0;
};

State& S() {
  static State s;
  return s;
}

struct ClipState {
  bool has = false;
  std::string text;
};

ClipState& C() {
  static ClipState c;
  return c;
}

}  // namespace

void Desktop::SetKeyDown(int vk, bool down) {
  if (down)
    S().keys.insert(vk);
  else
    S().keys.erase(vk);
}

bool Desktop::IsKeyDown(int vk) { return S().keys.count(vk) != 0; }

const std::vector<UINT>& Desktop::Beeps() { return S().beeps; }

void Desktop::Beep(UINT type) { S().beeps.push_back(type); }

const std::vector<MessageBoxCall>& Desktop::MessageBoxes() { return S().boxes; }

void Desktop::SetMessageBoxAnswerer(std::function<int(const MessageBoxCall&)> answerer) {
  S().answerer = std::move(answerer);
}

int Desktop::ShowMessageBox(const MessageBoxCall& call) {
  S().boxes.push_back(call);
  return S().answerer ? S().answerer(call) : IDOK;
}

void Desktop::BeginWaitCursor() {
  if (S().waitDepth++ == 0) ++S().waitShown;
}

void Desktop::EndWaitCursor() {
  if (S().waitDepth > 0) --S().waitDepth;
}

int Desktop::WaitCursorDepth() { return S().waitDepth; }

int Desktop::WaitCursorShownCount() { return S().waitShown; }

void Desktop::Reset() {
  S() = State();
  DiscardPostedMessages();
}

void Clipboard::SetText(const std::string& text) {
  C().has = true;
  C().text = text;
}

bool Clipboard::GetText(std::string& text) {
  if (!C().has) return false;
  text = C().text;
  return true;
}

bool Clipboard::HasText() { return C().has; }

void Clipboard::Empty() {
  C().has = false;
  C().text.clear();
}

}  // namespace halyard::user

BOOL MessageBeep(UINT type) {
  halyard::user::Desktop::Beep(type);
  return TRUE;
}

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return halyard::user::Desktop::ShowMessageBox(
      {owner, text ? text : "", caption ? caption : "Error", type});
}

SHORT GetKeyState(int vk) {
  return halyard::user::Desktop::IsKeyDown(vk) ? static_cast<SHORT>(0x8000) : 0;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  return format == CF_TEXT && halyard::user::Clipboard::HasText();
}
