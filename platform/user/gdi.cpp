#include "gdi.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "wnd.h"

namespace {

std::unordered_set<HGDIOBJ>& Live() {
  static std::unordered_set<HGDIOBJ> live;
  return live;
}

template <class T>
T* Track(T* object) {
  Live().insert(object);
  return object;
}

// COLORREF 0x00BBGGRR to an opaque cairo pixel 0xAARRGGBB.
std::uint32_t PixelOf(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

void SourceColour(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                       ((c >> 16) & 0xFF) / 255.0);
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// The bytes 0x80 to 0x9F of Windows-1252; 0 where the code page has no character.
const std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    unsigned cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
      return RGB(0, 0, 128);
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_BTNFACE:
      return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
      return RGB(128, 128, 128);
    case COLOR_GRAYTEXT:
      return RGB(128, 128, 128);
    case COLOR_BTNTEXT:
      return RGB(0, 0, 0);
    default:
      return RGB(0, 0, 0);
  }
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new HPEN__;
  p->style = style;
  p->width = std::clamp(width, 1, 1000);
  p->color = color;
  return Track(p);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new HBRUSH__;
  b->color = color;
  return Track(b);
}

HFONT CreateFont(int height, int weight, LPCSTR face) {
  auto* f = new HFONT__;
  f->height = std::clamp(height < 0 ? -height : height, 1, 1000);
  if (f->height == 0) f->height = 11;
  f->weight = weight;
  if (face && *face) f->face = face;
  return Track(f);
}

HBITMAP CreateFilledBitmap(int width, int height, COLORREF color) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  auto* b = new HBITMAP__;
  b->width = width;
  b->height = height;
  b->pixels.assign(static_cast<size_t>(width) * height, PixelOf(color));
  return Track(b);
}

HICON CreateFilledIcon(int width, int height, COLORREF color, int border) {
  if (width <= 0 || height <= 0 || width > 1024 || height > 1024) return nullptr;
  auto* i = new HICON__;
  i->width = width;
  i->height = height;
  i->pixels.assign(static_cast<size_t>(width) * height, 0);
  for (int y = border; y < height - border; ++y)
    for (int x = border; x < width - border; ++x)
      i->pixels[static_cast<size_t>(y) * width + x] = PixelOf(color);
  return Track(i);
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!object || object == GetDefaultGuiFont() || !Live().erase(object)) return FALSE;
  delete object;
  return TRUE;
}

BOOL DestroyIcon(HICON icon) { return DeleteObject(icon); }

bool IsGdiObject(HGDIOBJ object) { return object && Live().count(object) != 0; }

HFONT GetDefaultGuiFont() {
  static HFONT font = Track(new HFONT__);
  return font;
}

namespace {
HPEN StockBlackPen() {
  static HPEN pen = Track(new HPEN__);
  return pen;
}
HBRUSH StockWhiteBrush() {
  static HBRUSH brush = [] {
    auto* b = Track(new HBRUSH__);
    b->color = RGB(255, 255, 255);
    return b;
  }();
  return brush;
}
}  // namespace

struct CDC::Impl {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoLayout* layout = nullptr;
  std::string layoutFont;
  std::unordered_map<std::string, PangoFontDescription*> fonts;
  // The text the layout holds now and its size.
  bool measured = false;
  std::string lastText;
  SIZE lastSize{0, 0};
  int width = 0, height = 0;
  ~Impl() {
    for (auto& [f, d] : fonts) pango_font_description_free(d);
    if (layout) g_object_unref(layout);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }
};

CDC::CDC(int width, int height) : impl_(std::make_unique<Impl>()) {
  width = std::clamp(width, 1, 16384);
  height = std::clamp(height, 1, 16384);
  impl_->width = width;
  impl_->height = height;
  impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  impl_->cr = cairo_create(impl_->surface);
  cairo_set_antialias(impl_->cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(impl_->cr, 1, 1, 1);
  cairo_paint(impl_->cr);
  // One font map for the whole process, whatever thread draws.
  static PangoFontMap* const fontMap = pango_cairo_font_map_new();
  PangoContext* context = pango_font_map_create_context(fontMap);
  pango_cairo_update_context(impl_->cr, context);
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_ON);
  pango_cairo_context_set_font_options(context, opts);
  cairo_font_options_destroy(opts);
  impl_->layout = pango_layout_new(context);
  g_object_unref(context);
  clip_ = RECT{0, 0, width, height};
  pen_ = StockBlackPen();
  brush_ = StockWhiteBrush();
  font_ = GetDefaultGuiFont();
}

CDC::~CDC() = default;

int CDC::Width() const { return impl_->width; }
int CDC::Height() const { return impl_->height; }

void CDC::Flush() { cairo_surface_flush(impl_->surface); }
void CDC::Dirty() { cairo_surface_mark_dirty(impl_->surface); }

POINT CDC::SetViewportOrg(int x, int y) {
  POINT old = origin_;
  origin_ = POINT{x, y};
  return old;
}

void CDC::IntersectClipRect(const RECT& r) {
  RECT img{r.left + origin_.x, r.top + origin_.y, r.right + origin_.x, r.bottom + origin_.y};
  clip_ = Intersect(clip_, img);
}

RECT CDC::GetClipBox() const {
  return RECT{clip_.left - origin_.x, clip_.top - origin_.y, clip_.right - origin_.x,
              clip_.bottom - origin_.y};
}

int CDC::SaveDC() {
  saved_.push_back(Saved{origin_, clip_, pen_, brush_, font_, rop_, text_, bk_, bkMode_});
  return static_cast<int>(saved_.size());
}

BOOL CDC::RestoreDC(int saved) {
  if (saved < 0) saved = static_cast<int>(saved_.size()) + 1 + saved;
  if (saved < 1 || saved > static_cast<int>(saved_.size())) return FALSE;
  const Saved& s = saved_[static_cast<size_t>(saved) - 1];
  origin_ = s.origin;
  clip_ = s.clip;
  pen_ = s.pen;
  brush_ = s.brush;
  font_ = s.font;
  rop_ = s.rop;
  text_ = s.text;
  bk_ = s.bk;
  bkMode_ = s.bkMode;
  saved_.resize(static_cast<size_t>(saved) - 1);
  return TRUE;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
  if (!IsGdiObject(object)) return nullptr;
  if (auto* p = dynamic_cast<HPEN>(object)) {
    HPEN old = pen_;
    pen_ = p;
    return old;
  }
  if (auto* b = dynamic_cast<HBRUSH>(object)) {
    HBRUSH old = brush_;
    brush_ = b;
    return old;
  }
  if (auto* f = dynamic_cast<HFONT>(object)) {
    HFONT old = font_;
    font_ = f;
    return old;
  }
  return nullptr;
}

int CDC::SetROP2(int rop) {
  int old = rop_;
  rop_ = rop;
  return old;
}
COLORREF CDC::SetTextColor(COLORREF c) {
  COLORREF old = text_;
  text_ = c;
  return old;
}
COLORREF CDC::SetBkColor(COLORREF c) {
  COLORREF old = bk_;
  bk_ = c;
  return old;
}
int CDC::SetBkMode(int mode) {
  int old = bkMode_;
  bkMode_ = mode;
  return old;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
  RECT r = Intersect(clip_, RECT{rect.left + origin_.x, rect.top + origin_.y,
                                 rect.right + origin_.x, rect.bottom + origin_.y});
  if (r.left >= r.right || r.top >= r.bottom) return;
  Flush();
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(impl_->surface));
  int stride = cairo_image_surface_get_stride(impl_->surface) / 4;
  std::uint32_t px = PixelOf(color);
  for (LONG y = r.top; y < r.bottom; ++y)
    std::fill(data + y * stride + r.left, data + y * stride + r.right, px);
  Dirty();
}

void CDC::FillRect(const RECT& rect, HBRUSH brush) {
  if (!IsGdiObject(brush) || brush->null) return;
  FillSolidRect(rect, brush->color);
}

void CDC::XorRect(RECT r, std::uint32_t mask, bool dotted) {
  r = Intersect(clip_, r);
  if (r.left >= r.right || r.top >= r.bottom) return;
  Flush();
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(impl_->surface));
  int stride = cairo_image_surface_get_stride(impl_->surface) / 4;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x)
      if (!dotted || ((x + y) & 1) == 0) data[y * stride + x] ^= mask;
  Dirty();
}

void CDC::Rectangle(const RECT& r) {
  if (brush_ && !brush_->null)
    FillSolidRect(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush_->color);
  POINT old = pos_;
  MoveTo(r.left, r.top);
  LineTo(r.right - 1, r.top);
  LineTo(r.right - 1, r.bottom - 1);
  LineTo(r.left, r.bottom - 1);
  LineTo(r.left, r.top);
  pos_ = old;
}

POINT CDC::MoveTo(int x, int y) {
  POINT old = pos_;
  pos_ = POINT{x, y};
  return old;
}

void CDC::LineTo(int x, int y) {
  POINT from = pos_;
  pos_ = POINT{x, y};
  if (!pen_ || pen_->style == PS_NULL) return;
  int w = pen_->width;
  int ox = origin_.x, oy = origin_.y;
  if (from.x == x || from.y == y) {
    // Axis-aligned: the pen covers w pixels across the line, starting at the line.
    RECT r;
    if (from.x == x)
      r = RECT{x + ox, std::min(from.y, y) + oy, x + ox + w, std::max(from.y, y) + oy};
    else
      r = RECT{std::min(from.x, x) + ox, y + oy, std::max(from.x, x) + ox, y + oy + w};
    if (from.x == x && from.y == y) return;
    // The end point is not drawn: trim the far end.
    if (from.x == x && y < from.y) ++r.top, ++r.bottom;
    if (from.y == y && x < from.x) ++r.left, ++r.right;
    if (rop_ == R2_XORPEN)
      XorRect(r, PixelOf(pen_->color) & 0x00FFFFFF, false);
    else if (rop_ == R2_NOT)
      XorRect(r, 0x00FFFFFF, false);
    else
      FillSolidRect(RECT{r.left - ox, r.top - oy, r.right - ox, r.bottom - oy}, pen_->color);
    return;
  }
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_rectangle(cr, clip_.left, clip_.top, clip_.right - clip_.left, clip_.bottom - clip_.top);
  cairo_clip(cr);
  SourceColour(cr, pen_->color);
  cairo_set_line_width(cr, w);
  cairo_move_to(cr, from.x + ox + 0.5, from.y + oy + 0.5);
  cairo_line_to(cr, x + ox + 0.5, y + oy + 0.5);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void CDC::DrawFocusRect(const RECT& rect) {
  RECT r{rect.left + origin_.x, rect.top + origin_.y, rect.right + origin_.x,
         rect.bottom + origin_.y};
  if (r.right <= r.left || r.bottom <= r.top) return;
  XorRect(RECT{r.left, r.top, r.right, r.top + 1}, 0x00FFFFFF, true);
  if (r.bottom - 1 > r.top)
    XorRect(RECT{r.left, r.bottom - 1, r.right, r.bottom}, 0x00FFFFFF, true);
  XorRect(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, 0x00FFFFFF, true);
  if (r.right - 1 > r.left)
    XorRect(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, 0x00FFFFFF, true);
}

void CDC::InvertRect(const RECT& rect) {
  XorRect(RECT{rect.left + origin_.x, rect.top + origin_.y, rect.right + origin_.x,
               rect.bottom + origin_.y},
          0x00FFFFFF, false);
}

namespace {
PangoFontDescription* FontDescription(std::unordered_map<std::string, PangoFontDescription*>& cache,
                                      HFONT font, const std::string& key) {
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, font->face.c_str());
  pango_font_description_set_absolute_size(d, font->height * PANGO_SCALE);
  pango_font_description_set_weight(d,
                                    font->weight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  if (font->italic) pango_font_description_set_style(d, PANGO_STYLE_ITALIC);
  cache.emplace(key, d);
  return d;
}
// Fonts are told apart by what they are, not by their handles, which may be reused.
std::string FontKey(HFONT f) {
  return f->face + '/' + std::to_string(f->height) + '/' + std::to_string(f->weight) +
         (f->italic ? "/i" : "");
}
}  // namespace

SIZE CDC::GetTextExtent(std::string_view text) {
  HFONT f = IsGdiObject(font_) ? font_ : GetDefaultGuiFont();
  std::string key = FontKey(f);
  if (impl_->layoutFont != key) {
    pango_layout_set_font_description(impl_->layout, FontDescription(impl_->fonts, f, key));
    impl_->layoutFont = key;
    impl_->measured = false;
  }
  // Measuring and then drawing one text lays it out once.
  if (impl_->measured && impl_->lastText == text) return impl_->lastSize;
  std::string utf8 = AnsiToUtf8(text);
  pango_layout_set_text(impl_->layout, utf8.data(), static_cast<int>(utf8.size()));
  int w = 0, h = 0;
  pango_layout_get_pixel_size(impl_->layout, &w, &h);
  if (text.empty()) w = 0;
  impl_->lastText.assign(text);
  impl_->lastSize = SIZE{w, h};
  impl_->measured = true;
  return impl_->lastSize;
}

int CDC::GetTextHeight() { return GetTextExtent("Ag").cy; }

int CDC::GetTextAscent() {
  GetTextExtent("Ag");  // leaves the layout holding the text in the current font
  return pango_layout_get_baseline(impl_->layout) / PANGO_SCALE;
}

int CDC::DrawText(std::string_view text, RECT* rect, UINT format) {
  if (!rect) return 0;
  SIZE size = GetTextExtent(text);  // leaves the layout holding the text
  if (format & DT_CALCRECT) {
    rect->right = rect->left + size.cx;
    rect->bottom = rect->top + size.cy;
    return size.cy;
  }
  int x = rect->left, y = rect->top;
  if (format & DT_CENTER) x = rect->left + (rect->right - rect->left - size.cx) / 2;
  if (format & DT_RIGHT) x = rect->right - size.cx;
  if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
    y = rect->top + (rect->bottom - rect->top - size.cy) / 2;
  RECT clip = clip_;
  if (!(format & DT_NOCLIP))
    clip = Intersect(clip, RECT{rect->left + origin_.x, rect->top + origin_.y,
                                rect->right + origin_.x, rect->bottom + origin_.y});
  if (clip.left >= clip.right || clip.top >= clip.bottom) return size.cy;
  if (bkMode_ == OPAQUE && !text.empty()) {
    RECT saved = clip_;
    clip_ = clip;
    FillSolidRect(RECT{x, y, x + size.cx, y + size.cy}, bk_);
    clip_ = saved;
  }
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_rectangle(cr, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
  cairo_clip(cr);
  SourceColour(cr, text_);
  cairo_move_to(cr, x + origin_.x, y + origin_.y);
  pango_cairo_show_layout(cr, impl_->layout);
  cairo_restore(cr);
  return size.cy;
}

void CDC::DrawTextRuns(int x, int y, std::string_view text, const std::vector<TextRun>& runs, int baseline) {
  if (text.empty() || clip_.left >= clip_.right || clip_.top >= clip_.bottom) return;
  // A layout of its own: the shared one keeps what GetTextExtent last measured.
  PangoLayout* layout = pango_layout_new(pango_layout_get_context(impl_->layout));
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_font_features_new("kern 0, liga 0, clig 0"));
  // The same without raising and lowering, when a run does: the line keeps the baseline it
  // has without them, which raised runs would move down.
  PangoAttrList* flat = nullptr;
  if (std::any_of(runs.begin(), runs.end(), [](const TextRun& r) { return r.rise != 0; }))
    flat = pango_attr_list_copy(attrs);
  std::string utf8;
  size_t at = 0;
  HFONT first = nullptr;
  std::string firstKey;
  for (const TextRun& run : runs) {
    if (at >= text.size()) break;
    size_t n = std::min(run.length, text.size() - at);
    if (n == 0) continue;
    HFONT f = IsGdiObject(run.font) ? run.font : GetDefaultGuiFont();
    if (!first) first = f;
    auto from = static_cast<guint>(utf8.size());
    utf8 += AnsiToUtf8(text.substr(at, n));
    auto to = static_cast<guint>(utf8.size());
    auto add = [&](PangoAttribute* a) {
      a->start_index = from;
      a->end_index = to;
      if (flat) pango_attr_list_insert(flat, pango_attribute_copy(a));
      pango_attr_list_insert(attrs, a);
    };
    // The layout's own font is the first run's: the others that differ say theirs.
    std::string key = FontKey(f);
    if (firstKey.empty()) firstKey = key;
    if (key != firstKey) add(pango_attr_font_desc_new(FontDescription(impl_->fonts, f, key)));
    add(pango_attr_foreground_new(static_cast<guint16>((run.color & 0xFF) * 257),
                                  static_cast<guint16>((run.color >> 8 & 0xFF) * 257),
                                  static_cast<guint16>((run.color >> 16 & 0xFF) * 257)));
    if (run.underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (run.strikeout) add(pango_attr_strikethrough_new(TRUE));
    if (run.rise) {
      PangoAttribute* a = pango_attr_rise_new(run.rise * PANGO_SCALE);
      a->start_index = from;
      a->end_index = to;
      pango_attr_list_insert(attrs, a);
    }
    at += n;
  }
  if (first) {
    pango_layout_set_font_description(layout, FontDescription(impl_->fonts, first, firstKey));
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    int natural;  // the baseline without raising and lowering
    if (flat) {
      pango_layout_set_attributes(layout, flat);
      natural = pango_layout_get_baseline(layout);
      pango_layout_set_attributes(layout, attrs);
      y -= (pango_layout_get_baseline(layout) - natural) / PANGO_SCALE;
    } else {
      pango_layout_set_attributes(layout, attrs);
      natural = pango_layout_get_baseline(layout);
    }
    if (baseline >= 0) y += baseline - natural / PANGO_SCALE;
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_rectangle(cr, clip_.left, clip_.top, clip_.right - clip_.left, clip_.bottom - clip_.top);
    cairo_clip(cr);
    cairo_move_to(cr, x + origin_.x, y + origin_.y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
  }
  pango_attr_list_unref(attrs);
  if (flat) pango_attr_list_unref(flat);
  g_object_unref(layout);
}

BOOL CDC::TextOut(int x, int y, std::string_view text) {
  SIZE size = GetTextExtent(text);
  RECT r{x, y, x + size.cx, y + size.cy};
  DrawText(text, &r, DT_SINGLELINE | DT_NOCLIP);
  return TRUE;
}

void CDC::DrawBitmap(HBITMAP bitmap, int x, int y, int alpha) {
  if (!IsGdiObject(bitmap) || bitmap->pixels.empty()) return;
  cairo_surface_t* src = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(bitmap->pixels.data()), CAIRO_FORMAT_ARGB32, bitmap->width,
      bitmap->height, bitmap->width * 4);
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_rectangle(cr, clip_.left, clip_.top, clip_.right - clip_.left, clip_.bottom - clip_.top);
  cairo_clip(cr);
  cairo_set_source_surface(cr, src, x + origin_.x, y + origin_.y);
  cairo_paint_with_alpha(cr, std::clamp(alpha, 0, 255) / 255.0);
  cairo_restore(cr);
  cairo_surface_destroy(src);
}

COLORREF CDC::GetPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= impl_->width || y >= impl_->height) return 0;
  Flush();
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(impl_->surface));
  std::uint32_t p = data[y * (cairo_image_surface_get_stride(impl_->surface) / 4) + x];
  return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

BOOL CDC::SaveAsPng(const std::string& path) {
  Flush();
  return cairo_surface_write_to_png(impl_->surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

const std::uint32_t* CDC::Pixels(int* stride) {
  Flush();
  if (stride) *stride = cairo_image_surface_get_stride(impl_->surface);
  return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(impl_->surface));
}

namespace halyard::user {

void Painter::PaintWindow(CWnd* window, CDC& dc) {
  if (!window || !window->m_hWnd) return;
  RECT client;
  window->GetClientRect(&client);
  int saved = dc.SaveDC();
  dc.IntersectClipRect(client);
  window->SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(&dc), 0);
  POINT org = dc.GetViewportOrg();
  // A copy: painting must not be able to invalidate the walk.
  std::vector<CWnd*> children = window->GetChildren();
  for (CWnd* child : children) {
    if (!CWnd::FromHandle(child->m_hWnd) || !(child->GetStyle() & WS_VISIBLE)) continue;
    RECT r;
    child->GetWindowRect(&r);
    int inner = dc.SaveDC();
    dc.SetViewportOrg(org.x + r.left, org.y + r.top);
    PaintWindow(child, dc);
    dc.RestoreDC(inner);
  }
  dc.RestoreDC(saved);
}

}  // namespace halyard::user
