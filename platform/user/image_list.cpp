#include "image_list.h"

#include <algorithm>

namespace {
CImageList::DragState& Drag() {
  static CImageList::DragState state;
  return state;
}
}  // namespace

CImageList::CImageList() { std::fill(std::begin(overlays_), std::end(overlays_), -1); }

CImageList::~CImageList() = default;

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  if (cx <= 0 || cy <= 0 || cx > 256 || cy > 256 || IsCreated()) return FALSE;
  cx_ = cx;
  cy_ = cy;
  flags_ = flags;
  images_.reserve(static_cast<size_t>(std::clamp(initial, 0, 1024)));
  (void)grow;
  return TRUE;
}

BOOL CImageList::DeleteImageList() {
  if (!IsCreated()) return FALSE;
  images_.clear();
  cx_ = cy_ = 0;
  std::fill(std::begin(overlays_), std::end(overlays_), -1);
  return TRUE;
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask) {
  if (!IsCreated() || !IsGdiObject(bitmap) || bitmap->width <= 0 || bitmap->height <= 0) return -1;
  // Opaque pixel of the mask colour, as stored in a bitmap.
  std::uint32_t maskPx =
      0xFF000000u | ((mask & 0xFF) << 16) | (mask & 0xFF00) | ((mask >> 16) & 0xFF);
  bool useMask = (flags_ & ILC_MASK) != 0;
  int first = GetImageCount();
  int count = std::max(1, bitmap->width / cx_);
  for (int n = 0; n < count; ++n) {
    HBITMAP__ img;
    img.width = cx_;
    img.height = cy_;
    img.pixels.assign(static_cast<size_t>(cx_) * cy_, 0);
    for (int y = 0; y < std::min(cy_, bitmap->height); ++y)
      for (int x = 0; x < cx_ && n * cx_ + x < bitmap->width; ++x) {
        std::uint32_t p = bitmap->pixels[static_cast<size_t>(y) * bitmap->width + n * cx_ + x];
        img.pixels[static_cast<size_t>(y) * cx_ + x] = (useMask && p == maskPx) ? 0 : p;
      }
    images_.push_back(std::move(img));
  }
  return first;
}

int CImageList::Add(HICON icon) {
  if (!IsCreated() || !IsGdiObject(icon)) return -1;
  HBITMAP__ img;
  img.width = cx_;
  img.height = cy_;
  img.pixels.assign(static_cast<size_t>(cx_) * cy_, 0);
  for (int y = 0; y < std::min(cy_, icon->height); ++y)
    for (int x = 0; x < std::min(cx_, icon->width); ++x)
      img.pixels[static_cast<size_t>(y) * cx_ + x] =
          icon->pixels[static_cast<size_t>(y) * icon->width + x];
  images_.push_back(std::move(img));
  return GetImageCount() - 1;
}

BOOL CImageList::Remove(int image) {
  if (image < 0 || image >= GetImageCount()) return FALSE;
  images_.erase(images_.begin() + image);
  for (int& o : overlays_) {
    if (o == image)
      o = -1;
    else if (o > image)
      --o;
  }
  return TRUE;
}

BOOL CImageList::SetOverlayImage(int image, int overlay) {
  if (image < 0 || image >= GetImageCount() || overlay < 1 || overlay > 15) return FALSE;
  overlays_[overlay] = image;
  return TRUE;
}

int CImageList::GetOverlayImage(int overlay) const {
  return overlay >= 1 && overlay <= 15 ? overlays_[overlay] : -1;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT pt, UINT style) const {
  if (!dc || image < 0 || image >= GetImageCount()) return FALSE;
  // A temporary tracked bitmap is not needed: draw from a private copy through DrawBitmap's
  // path, which accepts only live objects, so register a short-lived one.
  HBITMAP tmp = CreateFilledBitmap(cx_, cy_, 0);
  if (!tmp) return FALSE;
  tmp->pixels = images_[static_cast<size_t>(image)].pixels;
  int alpha = (style & ILD_BLEND50) ? 128 : (style & ILD_BLEND25) ? 192 : 255;
  dc->DrawBitmap(tmp, pt.x, pt.y, alpha);
  UINT overlay = (style & ILD_OVERLAYMASK) >> 8;
  if (overlay && overlays_[overlay] >= 0 && overlays_[overlay] < GetImageCount()) {
    tmp->pixels = images_[static_cast<size_t>(overlays_[overlay])].pixels;
    dc->DrawBitmap(tmp, pt.x, pt.y, 255);
  }
  DeleteObject(tmp);
  return TRUE;
}

COLORREF CImageList::GetPixel(int image, int x, int y, bool* transparent) const {
  if (transparent) *transparent = true;
  if (image < 0 || image >= GetImageCount() || x < 0 || y < 0 || x >= cx_ || y >= cy_) return 0;
  std::uint32_t p = images_[static_cast<size_t>(image)].pixels[static_cast<size_t>(y) * cx_ + x];
  if (transparent) *transparent = (p >> 24) == 0;
  return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

BOOL CImageList::BeginDrag(int image, POINT hotspot) {
  if (image < 0 || image >= GetImageCount() || Drag().dragging) return FALSE;
  Drag() = DragState{true, false, nullptr, {0, 0}, hotspot, cx_, cy_};
  return TRUE;
}

BOOL CImageList::DragEnter(HWND lock, POINT pt) {
  if (!Drag().dragging) return FALSE;
  Drag().lock = lock;
  Drag().pos = pt;
  Drag().shown = true;
  return TRUE;
}

BOOL CImageList::DragMove(POINT pt) {
  if (!Drag().dragging) return FALSE;
  Drag().pos = pt;
  return TRUE;
}

BOOL CImageList::DragShowNolock(BOOL show) {
  if (!Drag().dragging) return FALSE;
  Drag().shown = show != FALSE;
  return TRUE;
}

BOOL CImageList::DragLeave(HWND) {
  if (!Drag().dragging) return FALSE;
  Drag().shown = false;
  Drag().lock = nullptr;
  return TRUE;
}

void CImageList::EndDrag() { Drag() = DragState{}; }

const CImageList::DragState& CImageList::GetDragState() { return Drag(); }
