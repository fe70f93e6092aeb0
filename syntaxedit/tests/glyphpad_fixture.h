// A syntax edit control in a headless frame, driven through its messages and keys, with the
// colours read back one character at a time through EM_GETCHARFORMAT.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_messages.h"
#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"

class GlyphpadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    halyard::user::Desktop::Reset();
    halyard::user::Clipboard::Empty();
    RECT r{0, 0, 400, 300};
    ASSERT_TRUE(frame.Create("frame", WS_VISIBLE, r, nullptr, 0));
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL, r, &frame, 100));
    inner = ::GetDlgItem(edit.m_hWnd, SYNTAX_RICHEDIT_ID);
    ASSERT_NE(inner, nullptr);
  }

  LRESULT Edit(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(edit.m_hWnd, m, w, l); }
  LRESULT Inner(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(inner, m, w, l); }

  void SetContent(const std::string& text) {
    Edit(SEM_SETCONTENT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::string Text() {
    LONG n = static_cast<LONG>(Edit(SEM_GETCONTENTLENGTH));
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    Edit(SEM_GETCONTENT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(n));
    return buf;
  }
  void Select(LONG a, LONG b) { Edit(SEM_SETSEL, static_cast<WPARAM>(a), b); }
  CHARRANGE Sel() {
    LONG a = -1, b = -1;
    Edit(SEM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    return CHARRANGE{a, b};
  }
  void Type(const std::string& s) {
    for (unsigned char c : s) Inner(WM_CHAR, c);
  }
  void Key(int vk, bool shift = false, bool ctrl = false) {
    halyard::user::Desktop::SetKeyDown(VK_SHIFT, shift);
    halyard::user::Desktop::SetKeyDown(VK_CONTROL, ctrl);
    Inner(WM_KEYDOWN, static_cast<WPARAM>(vk));
    halyard::user::Desktop::SetKeyDown(VK_SHIFT, false);
    halyard::user::Desktop::SetKeyDown(VK_CONTROL, false);
  }
  size_t Beeps() { return halyard::user::Desktop::Beeps().size(); }

  // One letter a character: B blue, D dark red, M magenta, R red, G green, S silver, O olive,
  // K black, ? anything else.
  std::string Colours() {
    CHARRANGE keep;
    Inner(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&keep));
    LONG n = static_cast<LONG>(Inner(WM_GETTEXTLENGTH));
    std::string out;
    for (LONG i = 0; i < n; ++i) {
      CHARRANGE cr{i, i + 1};
      Inner(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
      CHARFORMAT cf{};
      cf.cbSize = sizeof cf;
      Inner(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
      COLORREF c = (cf.dwEffects & CFE_AUTOCOLOR) ? 0 : cf.crTextColor;
      switch (c) {
        case 0xFF0000:
          out += 'B';
          break;
        case 128:
          out += 'D';
          break;
        case 0xFF00FF:
          out += 'M';
          break;
        case 255:
          out += 'R';
          break;
        case 0x8000:
          out += 'G';
          break;
        case 0xC0C0C0:
          out += 'S';
          break;
        case 0x8080:
          out += 'O';
          break;
        case 0:
          out += 'K';
          break;
        default:
          out += '?';
      }
    }
    Inner(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&keep));
    return out;
  }
  std::string ColoursOf(const std::string& text) {
    SetContent(text);
    return Colours();
  }
  std::string TypedColours(const std::string& text) {
    SetContent("");
    Type(text);
    EXPECT_EQ(Text(), text);
    return Colours();
  }

  CWnd frame;
  CSyntaxEdit edit;
  HWND inner = nullptr;
};
