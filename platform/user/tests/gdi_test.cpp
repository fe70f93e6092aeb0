// Drawing into images: fills, copy and XOR lines, focus rectangles, clipped and measured text,
// bitmaps, and a window tree painted as the screen would show it.
#include "platform/user/gdi.h"

#include <gtest/gtest.h>

#include "platform/user/commctrl.h"
#include "platform/user/image_list.h"
#include "platform/user/wnd.h"

namespace {

int CountColour(CDC& dc, RECT r, COLORREF c) {
  int n = 0;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) n += dc.GetPixel(x, y) == c;
  return n;
}

TEST(Gdi, FillsHonourOriginAndClip) {
  CDC dc(40, 30);
  EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 255, 255));
  dc.SetViewportOrg(10, 5);
  dc.IntersectClipRect(RECT{0, 0, 5, 5});
  dc.FillSolidRect(RECT{-10, -10, 100, 100}, RGB(1, 2, 3));
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 40, 30}, RGB(1, 2, 3)), 25);
  EXPECT_EQ(dc.GetPixel(10, 5), RGB(1, 2, 3));
  EXPECT_EQ(dc.GetPixel(15, 5), RGB(255, 255, 255));
  EXPECT_EQ(dc.GetPixel(-1, 500), 0u);  // outside the image: no crash, 0
}

TEST(Gdi, SaveAndRestoreReturnOriginClipAndColours) {
  CDC dc(20, 20);
  int saved = dc.SaveDC();
  dc.SetViewportOrg(5, 5);
  dc.IntersectClipRect(RECT{0, 0, 2, 2});
  dc.SetTextColor(RGB(9, 9, 9));
  ASSERT_TRUE(dc.RestoreDC(saved));
  EXPECT_EQ(dc.GetViewportOrg().x, 0);
  RECT box = dc.GetClipBox();
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(dc.SetTextColor(0), 0u);
  EXPECT_FALSE(dc.RestoreDC(5));
}

TEST(Gdi, XorPenLineDrawnTwiceLeavesTheImageAsItWas) {
  CDC dc(30, 30);
  dc.FillSolidRect(RECT{0, 0, 30, 30}, RGB(10, 200, 30));
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(0xC0, 0xC0, 0xC0));
  dc.SelectObject(pen);
  dc.SetROP2(R2_XORPEN);
  dc.MoveTo(10, 0);
  dc.LineTo(10, 30);
  EXPECT_EQ(dc.GetPixel(10, 5), RGB(10 ^ 0xC0, 200 ^ 0xC0, 30 ^ 0xC0));
  EXPECT_EQ(dc.GetPixel(11, 5), RGB(10 ^ 0xC0, 200 ^ 0xC0, 30 ^ 0xC0));
  EXPECT_EQ(dc.GetPixel(12, 5), RGB(10, 200, 30));
  dc.MoveTo(10, 0);
  dc.LineTo(10, 30);
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 30, 30}, RGB(10, 200, 30)), 900);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_FALSE(DeleteObject(pen));  // stale
}

TEST(Gdi, CopyLinesLeaveTheEndPointAndFocusRectanglesUndoThemselves) {
  CDC dc(20, 20);
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  dc.SelectObject(red);
  dc.MoveTo(2, 3);
  dc.LineTo(8, 3);
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 20, 20}, RGB(255, 0, 0)), 6);
  EXPECT_EQ(dc.GetPixel(8, 3), RGB(255, 255, 255));
  dc.DrawFocusRect(RECT{1, 1, 15, 15});
  EXPECT_LT(CountColour(dc, RECT{0, 0, 20, 20}, RGB(255, 255, 255)), 400 - 6);
  dc.DrawFocusRect(RECT{1, 1, 15, 15});
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 20, 20}, RGB(255, 255, 255)), 400 - 6);
  DeleteObject(red);
}

TEST(Gdi, TextIsMeasuredDrawnInItsColourAndClippedToItsRectangle) {
  CDC dc(200, 40);
  SIZE one = dc.GetTextExtent("W");
  SIZE three = dc.GetTextExtent("WWW");
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(three.cx, 2 * one.cx);
  EXPECT_EQ(dc.GetTextExtent("").cx, 0);
  RECT calc{0, 0, 0, 0};
  dc.DrawText("Hello", &calc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(calc.right, dc.GetTextExtent("Hello").cx);
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 200, 40}, RGB(255, 255, 255)),
            8000);  // measuring draws nothing
  dc.SetTextColor(RGB(255, 0, 0));
  dc.SetBkMode(TRANSPARENT);
  RECT clip{10, 10, 20, 30};
  dc.DrawText("WWWWWWWWWW", &clip, DT_SINGLELINE);
  EXPECT_GT(CountColour(dc, RECT{10, 10, 20, 30}, RGB(255, 0, 0)), 5);
  EXPECT_EQ(CountColour(dc, RECT{20, 0, 200, 40}, RGB(255, 0, 0)), 0);
  EXPECT_EQ(CountColour(dc, RECT{0, 0, 10, 40}, RGB(255, 0, 0)), 0);
}

TEST(Gdi, HighBytesAreWindows1252) {
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(AnsiToUtf8("\xE9"), "\xC3\xA9");
  EXPECT_EQ(AnsiToUtf8("\x81"), "\xEF\xBF\xBD");
}

TEST(Gdi, ImageListMasksItsColourAndDrawsOverlaysAndDimmedImages) {
  CImageList list;
  ASSERT_TRUE(list.Create(4, 4, ILC_COLOR24 | ILC_MASK, 2, 2));
  HBITMAP bm = CreateFilledBitmap(8, 4, RGB(255, 0, 255));
  for (int x = 4; x < 8; ++x)
    bm->pixels[static_cast<size_t>(x)] = 0xFF00FF00;  // green top row of image 1
  EXPECT_EQ(list.Add(bm, RGB(255, 0, 255)), 0);
  EXPECT_EQ(list.GetImageCount(), 2);
  DeleteObject(bm);
  bool transparent = false;
  list.GetPixel(0, 1, 1, &transparent);
  EXPECT_TRUE(transparent);
  EXPECT_EQ(list.GetPixel(1, 0, 0, &transparent), RGB(0, 255, 0));
  EXPECT_FALSE(transparent);
  HICON icon = CreateFilledIcon(4, 4, RGB(0, 0, 255), 1);
  EXPECT_EQ(list.Add(icon), 2);
  DestroyIcon(icon);
  EXPECT_EQ(list.Add(static_cast<HICON>(nullptr)), -1);
  ASSERT_TRUE(list.SetOverlayImage(1, 1));
  EXPECT_FALSE(list.SetOverlayImage(9, 1));
  CDC dc(10, 10);
  dc.FillSolidRect(RECT{0, 0, 10, 10}, RGB(0, 0, 0));
  list.Draw(&dc, 2, POINT{0, 0}, ILD_NORMAL | INDEXTOOVERLAYMASK(1));
  EXPECT_EQ(dc.GetPixel(1, 0), RGB(0, 255, 0));  // overlay's green over the icon's border
  EXPECT_EQ(dc.GetPixel(1, 1), RGB(0, 0, 255));
  list.Draw(&dc, 2, POINT{5, 5}, ILD_BLEND50);
  COLORREF dim = dc.GetPixel(6, 6);
  EXPECT_GT((dim >> 16) & 0xFF, 100u);
  EXPECT_LT((dim >> 16) & 0xFF, 200u);
}

class Filler : public CWnd {
 public:
  COLORREF colour = 0;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_PRINTCLIENT) {
      RECT r;
      GetClientRect(&r);
      r.right += 100;  // painting past the window is clipped away
      reinterpret_cast<CDC*>(w)->FillSolidRect(r, colour);
      return 0;
    }
    return DefWindowProc(msg, w, l);
  }
};

TEST(Gdi, PainterDrawsEachVisibleChildAtItsPlaceClippedToIt) {
  Filler top, child, hidden;
  top.colour = RGB(0, 0, 255);
  child.colour = RGB(0, 255, 0);
  hidden.colour = RGB(255, 0, 0);
  ASSERT_TRUE(top.Create("", WS_VISIBLE, RECT{0, 0, 50, 40}, nullptr, 0));
  ASSERT_TRUE(child.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 10, 20, 30}, &top, 1));
  ASSERT_TRUE(hidden.Create("", WS_CHILD, RECT{0, 0, 50, 40}, &top, 2));
  CDC dc(60, 50);
  halyard::user::Painter::PaintWindow(&top, dc);
  EXPECT_EQ(dc.GetPixel(5, 5), RGB(0, 0, 255));
  EXPECT_EQ(dc.GetPixel(10, 10), RGB(0, 255, 0));
  EXPECT_EQ(dc.GetPixel(19, 29), RGB(0, 255, 0));
  EXPECT_EQ(dc.GetPixel(20, 29), RGB(0, 0, 255));
  EXPECT_EQ(dc.GetPixel(55, 45), RGB(255, 255, 255));
}

}  // namespace
