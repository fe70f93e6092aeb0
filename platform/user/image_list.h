// CImageList: a row of equally sized images (bitmaps whose mask colour becomes transparent, or
// icons), overlay images that are drawn over another image on request, and the one drag image
// of the process that follows the pointer while something is dragged. The list owns copies of
// what was added; the caller keeps (and deletes) the bitmaps and icons it passed. One thread.
#pragma once

#include <vector>

#include "gdi.h"
#include "platform/kernel/export.h"
#include "user_types.h"

constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;

constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_BLEND25 = 0x0002;
constexpr UINT ILD_BLEND50 = 0x0004;
constexpr UINT ILD_OVERLAYMASK = 0x0F00;
constexpr UINT ILD_SELECTED = ILD_BLEND50;
constexpr UINT ILD_FOCUS = ILD_BLEND25;

class HALYARD_EXPORT CImageList {
 public:
  CImageList();
  ~CImageList();
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  BOOL DeleteImageList();
  bool IsCreated() const { return cx_ > 0; }

  // Adds the bitmap, cut into images of the list's width (a narrower or shorter one is padded
  // transparent); pixels of the mask colour become transparent. Returns the index of the first
  // image, -1 for a bad bitmap.
  int Add(HBITMAP bitmap, COLORREF mask);
  // Adds the icon scaled to no size: copied into the image's corner. -1 for a bad icon.
  int Add(HICON icon);
  int GetImageCount() const { return static_cast<int>(images_.size()); }
  SIZE GetIconSize() const { return SIZE{cx_, cy_}; }
  BOOL Remove(int image);

  // Makes image the overlay number overlay (1 to 15) that INDEXTOOVERLAYMASK(overlay) draws.
  BOOL SetOverlayImage(int image, int overlay);
  int GetOverlayImage(int overlay) const;

  // Draws the image with its top left corner at the point. ILD_BLEND50 (ILD_SELECTED) and
  // ILD_BLEND25 draw it faded; an overlay number in ILD_OVERLAYMASK draws that overlay on top.
  BOOL Draw(CDC* dc, int image, POINT pt, UINT style) const;
  // The colour of a pixel of an image (for checks); 0 outside.
  COLORREF GetPixel(int image, int x, int y, bool* transparent = nullptr) const;

  // The drag image: one per process. BeginDrag takes a copy of the image; DragEnter shows it
  // at the point in the window, DragMove moves it, DragLeave hides it, EndDrag ends the drag.
  BOOL BeginDrag(int image, POINT hotspot);
  static BOOL DragEnter(HWND lock, POINT pt);
  static BOOL DragMove(POINT pt);
  static BOOL DragShowNolock(BOOL show);
  static BOOL DragLeave(HWND lock);
  static void EndDrag();
  struct DragState {
    bool dragging = false;
    bool shown = false;
    HWND lock = nullptr;
    POINT pos{0, 0};
    POINT hotspot{0, 0};
    int width = 0, height = 0;
  };
  static const DragState& GetDragState();

 private:
  int cx_ = 0, cy_ = 0;
  UINT flags_ = 0;
  std::vector<HBITMAP__> images_;
  int overlays_[16];
};
