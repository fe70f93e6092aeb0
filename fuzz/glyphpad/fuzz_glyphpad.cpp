// Sets fuzzed text (the full colouring pass), then applies fuzzed edits through the control's
// keys, characters and clipboard messages (the keystroke recolouring), with fuzzed protected
// ranges and hidden fields. Checks that every character keeps one of the colouring's colours
// and that the runs cover the text exactly.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_messages.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"

namespace {

bool Known(COLORREF c) {
  switch (c) {
    case 0xFF0000:
    case 128:
    case 0xFF00FF:
    case 255:
    case 0x8000:
    case 0xC0C0C0:
    case 0x8080:
    case 0:
      return true;
  }
  return false;
}

void Check(SyntaxRichEdit* inner) {
  LONG covered = 0;
  inner->ForEachColourRun([&](LONG s, LONG e, COLORREF c) {
    if (s != covered || e <= s || !Known(c)) std::abort();
    covered = e;
  });
  if (covered != inner->GetTextLength()) std::abort();
}

// Text characters with the ones the colouring cares about made likely.
char PickChar(FuzzedDataProvider& in) {
  static const char kInteresting[] = "<>=\"'&;#! \t\r\n-qQ/PAHREFx0123456789";
  uint8_t b = in.ConsumeIntegral<uint8_t>();
  if (b < 200) return kInteresting[b % (sizeof kInteresting - 1)];
  return static_cast<char>(b == 0 ? 'z' : b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  halyard::user::Desktop::Reset();
  CWnd frame;
  CSyntaxEdit edit;
  RECT r{0, 0, 100, 100};
  if (!frame.Create("f", WS_VISIBLE, r, nullptr, 0) ||
      !edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 1))
    return 0;
  SyntaxRichEdit* inner = edit.GetRichEdit();
  std::string text = in.ConsumeRandomLengthString(4096);
  int fields = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < fields; ++i) {
    bool wild = in.ConsumeBool();
    int a = wild ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-5, 300);
    int b = wild ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-5, 300);
    if (in.ConsumeBool())
      edit.AddProtectRange(a, b);
    else
      edit.AddHiddenField("a", "b", a, b);
  }
  edit.SendMessage(SEM_SETCONTENT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  Check(inner);
  int steps = 0;
  while (in.remaining_bytes() > 0 && steps++ < 200) {
    LONG len = inner->GetTextLength();
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1: {
        LONG a = in.ConsumeIntegralInRange<LONG>(-2, len + 2);
        LONG b = in.ConsumeBool() ? a : in.ConsumeIntegralInRange<LONG>(-2, len + 2);
        edit.SendMessage(SEM_SETSEL, static_cast<WPARAM>(a), b);
        break;
      }
      case 2:
      case 3:
      case 4:
        inner->SendMessage(WM_CHAR, static_cast<unsigned char>(PickChar(in)), 0);
        break;
      case 5: {
        static const int kKeys[] = {VK_BACK, VK_DELETE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN,
                                    VK_HOME, VK_END,    'X',     'V',      'C',   'Z'};
        int vk = kKeys[in.ConsumeIntegralInRange<size_t>(0, 11)];
        halyard::user::Desktop::SetKeyDown(VK_SHIFT, in.ConsumeBool());
        halyard::user::Desktop::SetKeyDown(VK_CONTROL, vk >= 'C' || in.ConsumeBool());
        inner->SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
        halyard::user::Desktop::SetKeyDown(VK_SHIFT, false);
        halyard::user::Desktop::SetKeyDown(VK_CONTROL, false);
        break;
      }
      case 6: {
        std::string clip;
        int n = in.ConsumeIntegralInRange(0, 12);
        for (int i = 0; i < n; ++i) clip += PickChar(in);
        halyard::user::Clipboard::SetText(clip);
        inner->SendMessage(in.ConsumeBool() ? WM_PASTE : WM_CUT, 0, 0);
        break;
      }
      case 7: {
        std::string ins;
        int n = in.ConsumeIntegralInRange(0, 8);
        for (int i = 0; i < n; ++i) ins += PickChar(in);
        edit.SendMessage(SEM_INSERTTEXT, in.ConsumeBool() ? 1 : 0,
                         reinterpret_cast<LPARAM>(ins.c_str()));
        break;
      }
      case 8:
        edit.SendMessage(SEM_SETPROTECT, in.ConsumeBool() ? 1 : 0, 0);
        break;
      case 9:
        edit.UpdateHiddenFields(
            in.ConsumeIntegralInRange(0, 300),
            in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-20, 20));
        break;
    }
    Check(inner);
  }
  for (int i = 0; i < edit.GetRegionCount(); ++i) {
    CString region;
    int prot = 0;
    edit.GetRegionText(i, region, prot);
  }
  return 0;
}
