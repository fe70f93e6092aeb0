// Random sequences of the control's messages, keys, clipboard members and find/replace
// requests. Beyond not crashing, the text of every protected range must stay as it was when
// the range was set: nothing the user or the host's edit requests do may change it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_messages.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "platform/user/clipboard.h"
#include "platform/user/commdlg.h"
#include "platform/user/desktop.h"

namespace {

std::string Pick(FuzzedDataProvider& in, int max) {
  static const char kChars[] = "<>=\"'&;! -qQBPab";
  std::string s;
  int n = in.ConsumeIntegralInRange(0, max);
  for (int i = 0; i < n; ++i) s += kChars[in.ConsumeIntegralInRange<size_t>(0, sizeof kChars - 2)];
  return s;
}


// The texts of the protected ranges, as the ranges stand now.
std::vector<std::string> ProtectedTexts(CSyntaxEdit& edit) {
  std::vector<std::string> out;
  SyntaxRichEdit* inner = edit.GetRichEdit();
  for (int i = 0; i < edit.GetProtectRangeCount(); ++i) {
    const ProtectRange& r = edit.GetProtectRanges()[i];
    out.push_back(inner->GetTextRange(r.start, r.end));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  halyard::user::Desktop::Reset();
  halyard::user::Clipboard::Empty();
  CWnd frame;
  CSyntaxEdit edit;
  RECT r{0, 0, 100, 100};
  if (!frame.Create("f", WS_VISIBLE, r, nullptr, 0) ||
      !edit.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, r, &frame, 1))
    return 0;
  SyntaxRichEdit* inner = edit.GetRichEdit();
  std::string text = in.ConsumeRandomLengthString(512);
  edit.SendMessage(SEM_SETCONTENT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  std::vector<std::string> guarded = ProtectedTexts(edit);
  int steps = 0;
  while (in.remaining_bytes() > 0 && steps++ < 120) {
    LONG len = inner->GetTextLength();
    bool reguard = false;
    switch (in.ConsumeIntegralInRange(0, 13)) {
      case 0: {
        LONG a = in.ConsumeIntegralInRange<LONG>(-3, len + 3);
        edit.SendMessage(SEM_SETSEL, static_cast<WPARAM>(a), in.ConsumeIntegralInRange<LONG>(-3, len + 3));
        break;
      }
      case 1: {
        // Sorted, disjoint ranges within the text.
        std::vector<ProtectRange> list;
        LONG at = 0;
        int n = in.ConsumeIntegralInRange(0, 3);
        for (int i = 0; i < n && at < len; ++i) {
          LONG s = in.ConsumeIntegralInRange<LONG>(at, len);
          LONG e = in.ConsumeIntegralInRange<LONG>(s, len);
          if (e > s) list.push_back(ProtectRange{s, e});
          at = e;
        }
        edit.SendMessage(SEM_SETPROTECTFIELD, list.size(),
                         list.empty() ? 0 : reinterpret_cast<LPARAM>(list.data()));
        reguard = true;
        break;
      }
      case 2:
        edit.SendMessage(SEM_SETPROTECT, in.ConsumeBool() ? 1 : 0);
        reguard = true;
        break;
      case 3:
      case 4:
        inner->SendMessage(WM_CHAR, static_cast<unsigned char>(in.ConsumeIntegral<uint8_t>()));
        break;
      case 5: {
        static const int kKeys[] = {VK_BACK, VK_DELETE, VK_LEFT, VK_RIGHT, VK_HOME, VK_END,
                                    VK_TAB,  VK_ESCAPE, 'X',     'V',      'C',     'Z'};
        int vk = kKeys[in.ConsumeIntegralInRange<size_t>(0, 11)];
        halyard::user::Desktop::SetKeyDown(VK_SHIFT, in.ConsumeBool());
        halyard::user::Desktop::SetKeyDown(VK_CONTROL, vk >= 'C' || in.ConsumeBool());
        inner->SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk));
        halyard::user::Desktop::SetKeyDown(VK_SHIFT, false);
        halyard::user::Desktop::SetKeyDown(VK_CONTROL, false);
        break;
      }
      case 6:
        halyard::user::Clipboard::SetText(Pick(in, 10));
        switch (in.ConsumeIntegralInRange(0, 2)) {
          case 0: edit.Cut(); break;
          case 1: edit.Paste(); break;
          default: edit.Copy();
        }
        break;
      case 7: {
        std::string ins = Pick(in, 8);
        edit.SendMessage(SEM_INSERTTEXT, in.ConsumeBool(), reinterpret_cast<LPARAM>(ins.c_str()));
        break;
      }
      case 8:
        edit.SendMessage(SEM_UNDOLASTCHANGE);
        break;
      case 9: {
        std::string what = Pick(in, 3), with = Pick(in, 4);
        bool matchCase = in.ConsumeBool(), word = in.ConsumeBool();
        switch (in.ConsumeIntegralInRange(0, 2)) {
          case 0: edit.FindNextMatch(what, in.ConsumeBool(), matchCase, word); break;
          case 1: edit.ReplaceCurrent(what, with, matchCase, word); break;
          default: edit.ReplaceAllMatches(what, with, matchCase, word);
        }
        break;
      }
      case 10: {
        edit.BringUpFindReplaceDlg(in.ConsumeBool());
        CFindReplaceDialog* dlg = edit.GetFindReplaceDialog();
        if (!dlg) std::abort();
        dlg->TypeFindWhat(Pick(in, 3));
        dlg->TypeReplaceWith(Pick(in, 3));
        dlg->ChooseDirectionDown(in.ConsumeBool());
        int presses = in.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < presses && edit.GetFindReplaceDialog() == dlg; ++i) {
          switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: dlg->PressFindNext(); break;
            case 1: dlg->PressReplace(); break;
            case 2: dlg->PressReplaceAll(); break;
            default: dlg->PressCancel();
          }
        }
        break;
      }
      case 11: {
        UINT m = WM_USER + in.ConsumeIntegralInRange(400, 418);
        // Only the messages whose parameters carry no pointer take fuzzed numbers.
        if (m == SEM_SETCONTENT || m == SEM_GETCONTENT || m == SEM_SETPROTECTFIELD ||
            m == SEM_INSERTTEXT || m == SEM_GETSEL || m == SEM_SETDEFAULTFONT)
          m = SEM_GETCONTENTLENGTH;
        edit.SendMessage(m, static_cast<WPARAM>(in.ConsumeIntegral<int32_t>()),
                         in.ConsumeIntegral<int32_t>());
        reguard = m == SEM_SETPROTECT;
        break;
      }
      case 12: {
        std::string font = Pick(in, 40);
        edit.SendMessage(SEM_SETDEFAULTFONT, in.ConsumeIntegral<int32_t>(),
                         in.ConsumeBool() ? 0 : reinterpret_cast<LPARAM>(font.c_str()));
        break;
      }
      default: {
        std::vector<char> buf(static_cast<size_t>(len) + 1);
        LONG want = in.ConsumeIntegralInRange<LONG>(-1, len);
        edit.SendMessage(SEM_GETCONTENT, static_cast<WPARAM>(want), reinterpret_cast<LPARAM>(buf.data()));
        LONG a = 0, b = 0;
        if (edit.SendMessage(SEM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b)) != 1)
          std::abort();
        if (a < 0 || b < a || b > len) std::abort();
      }
    }
    halyard::user::PumpMessages();
    std::vector<std::string> now = ProtectedTexts(edit);
    if (reguard) {
      guarded = now;
    } else if (now != guarded) {
      std::abort();
    }
  }
  return 0;
}
