// GDI drawing over cairo and Pango: bitmaps, pens (copy and XOR), brushes, fonts and a device
// context (CDC) that draws into a 32-bit image. Coordinates are whole pixels, lines are one
// pixel wide unless the pen says otherwise and are drawn without smoothing, and text is drawn
// without anti-aliasing, so that what a window paints can be checked pixel by pixel. Texts are
// Windows-1252. GDI objects are heap objects behind handles that DeleteObject frees; a stale or
// foreign handle is refused, never followed. One thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/export.h"
#include "user_types.h"

struct HGDIOBJ__ {
  virtual ~HGDIOBJ__() = default;
};
using HGDIOBJ = HGDIOBJ__*;

// A bitmap: premultiplied ARGB pixels, row by row, top row first.
struct HBITMAP__ : HGDIOBJ__ {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};
using HBITMAP = HBITMAP__*;

struct HPEN__ : HGDIOBJ__ {
  int style = 0;
  int width = 1;
  COLORREF color = 0;
};
using HPEN = HPEN__*;

struct HBRUSH__ : HGDIOBJ__ {
  COLORREF color = 0;
  bool null = false;
};
using HBRUSH = HBRUSH__*;

struct HFONT__ : HGDIOBJ__ {
  int height = 11;  // pixels
  int weight = 400;
  bool italic = false;
  std::string face = "Sans";
};
using HFONT = HFONT__*;

// An icon: a bitmap whose transparent pixels have alpha 0.
struct HICON__ : HBITMAP__ {};
using HICON = HICON__*;

constexpr int PS_SOLID = 0;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Raster operations of SetROP2.
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_COPYPEN = 13;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

// System colours the controls paint with.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
HALYARD_EXPORT COLORREF GetSysColor(int index);

HALYARD_EXPORT HPEN CreatePen(int style, int width, COLORREF color);
HALYARD_EXPORT HBRUSH CreateSolidBrush(COLORREF color);
// height in pixels (a negative height as the character height, as in a LOGFONT); weight 400
// normal, 700 bold.
HALYARD_EXPORT HFONT CreateFont(int height, int weight, LPCSTR face);
// A bitmap of the size, filled with the colour (opaque).
HALYARD_EXPORT HBITMAP CreateFilledBitmap(int width, int height, COLORREF color);
// An icon of the size filled with the colour, with a transparent border of `border` pixels.
HALYARD_EXPORT HICON CreateFilledIcon(int width, int height, COLORREF color, int border);
HALYARD_EXPORT BOOL DestroyIcon(HICON icon);
// FALSE for a handle that is not a live GDI object (deleted, or never made here).
HALYARD_EXPORT BOOL DeleteObject(HGDIOBJ object);
HALYARD_EXPORT bool IsGdiObject(HGDIOBJ object);
// The font the controls use unless told otherwise (owned by the platform, never deleted).
HALYARD_EXPORT HFONT GetDefaultGuiFont();

// Windows-1252 text as UTF-8, for Pango.
HALYARD_EXPORT std::string AnsiToUtf8(std::string_view text);

// A piece of a line of text for CDC::DrawTextRuns: `length` characters in a font and colour.
struct TextRun {
  size_t length = 0;
  HFONT font = nullptr;
  COLORREF color = 0;
  bool underline = false;
  bool strikeout = false;
  int rise = 0;  // pixels above the line's baseline (negative: below)
};

class HALYARD_EXPORT CDC {
 public:
  // A device context over a new image of the size, filled white.
  CDC(int width, int height);
  ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  int Width() const;
  int Height() const;

  // The origin of the logical coordinates in image pixels; returns the old one.
  POINT SetViewportOrg(int x, int y);
  POINT GetViewportOrg() const { return origin_; }
  // Narrows the clip region to the rectangle (logical coordinates).
  void IntersectClipRect(const RECT& rect);
  RECT GetClipBox() const;  // logical coordinates
  // Saves origin, clip, objects, colours and modes; RestoreDC(-1) returns to the last save.
  int SaveDC();
  BOOL RestoreDC(int saved);

  HGDIOBJ SelectObject(HGDIOBJ object);
  HPEN GetCurrentPen() const { return pen_; }
  HBRUSH GetCurrentBrush() const { return brush_; }
  HFONT GetCurrentFont() const { return font_; }

  int SetROP2(int rop);
  COLORREF SetTextColor(COLORREF color);
  COLORREF SetBkColor(COLORREF color);
  int SetBkMode(int mode);

  void FillSolidRect(const RECT& rect, COLORREF color);
  void FillRect(const RECT& rect, HBRUSH brush);
  // The current pen's outline and the current brush's fill.
  void Rectangle(const RECT& rect);
  POINT MoveTo(int x, int y);
  // A line from the current position to the point, which is not drawn (as GDI does).
  void LineTo(int x, int y);
  // A dotted rectangle drawn by inverting pixels: drawing it twice leaves the image unchanged.
  void DrawFocusRect(const RECT& rect);
  // Inverts the pixels of the rectangle.
  void InvertRect(const RECT& rect);

  // Text in the current font and text colour, clipped to the rectangle unless DT_NOCLIP;
  // DT_CALCRECT only measures and sets the rectangle's right and bottom. Returns the height.
  int DrawText(std::string_view text, RECT* rect, UINT format);
  BOOL TextOut(int x, int y, std::string_view text);
  SIZE GetTextExtent(std::string_view text);
  int GetTextHeight();
  // Pixels from the top of a line of text in the current font to its baseline.
  int GetTextAscent();
  // One line of text with its top left corner at the point, each run in its own font, colour
  // and effects (runs beyond the text are ignored; text beyond the runs is not drawn). Kerning
  // and ligatures are off, so every character advances by its own width, GetTextExtent of the
  // character alone, and a text's width is the sum of its characters' widths. Background mode
  // and colour are not used. The baseline lies `baseline` pixels below y when that is not
  // negative (a line of fixed height: taller fonts reach above it), else below the tallest
  // font's ascent.
  void DrawTextRuns(int x, int y, std::string_view text, const std::vector<TextRun>& runs, int baseline = -1);

  // Draws a bitmap (its alpha respected) with its top left corner at the point; alpha 0..255
  // scales its opacity.
  void DrawBitmap(HBITMAP bitmap, int x, int y, int alpha = 255);

  // The colour of an image pixel (image coordinates), 0 outside.
  COLORREF GetPixel(int x, int y);
  // Writes the image as a PNG file; FALSE when it cannot be written.
  BOOL SaveAsPng(const std::string& path);
  // The image's premultiplied ARGB pixels (stride bytes a row), current with what was drawn;
  // valid until the next drawing call. For a display that shows the image.
  const std::uint32_t* Pixels(int* stride);

 private:
  struct Saved {
    POINT origin;
    RECT clip;
    HPEN pen;
    HBRUSH brush;
    HFONT font;
    int rop;
    COLORREF text, bk;
    int bkMode;
  };
  void Flush();
  void Dirty();
  // Inverts (XORs with mask) the pixels of an image rectangle within the clip; dotted takes
  // every other pixel.
  void XorRect(RECT r, std::uint32_t mask, bool dotted);
  void ClipToCairo();

  struct Impl;
  std::unique_ptr<Impl> impl_;
  POINT origin_{0, 0};
  RECT clip_{0, 0, 0, 0};  // image coordinates
  POINT pos_{0, 0};
  HPEN pen_;
  HBRUSH brush_;
  HFONT font_;
  int rop_ = R2_COPYPEN;
  COLORREF text_ = 0;
  COLORREF bk_ = 0xFFFFFF;
  int bkMode_ = OPAQUE;
  std::vector<Saved> saved_;
};
using HDC = CDC*;

class CWnd;

namespace halyard::user {
class HALYARD_EXPORT Painter {
 public:
  // Paints the window and its visible children into the device context, each child at its
  // place and clipped to its rectangle, as the screen would show them: every window gets
  // WM_PRINTCLIENT with the context, its origin set to the window's corner.
  static void PaintWindow(CWnd* window, CDC& dc);
};
}  // namespace halyard::user
