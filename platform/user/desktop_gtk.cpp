#include "desktop_gtk.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "clipboard.h"
#include "commdlg.h"
#include "desktop.h"
#include "gdi.h"
#include "menu.h"
#include "mouse.h"
#include "platform/kernel/win_thread.h"
#include "timer.h"
#include "update_region.h"
#include "wnd.h"

namespace halyard::user {
namespace {

using Clock = std::chrono::steady_clock;

// Code points of Windows-1252's bytes 0x80..0x9F (0 where the byte is unassigned).
constexpr std::uint16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// UTF-8 as Windows-1252; characters it cannot hold become '?'.
std::string Utf8ToAnsi(const char* s) {
  std::string out;
  if (!s) return out;
  for (const char* p = s; *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char_validated(p, -1);
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      out.push_back('?');
      ++p;  // skip one byte of a malformed sequence
      if (!*p) break;
      continue;
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char b = '?';
    for (int i = 0; i < 32; ++i)
      if (kHigh1252[i] == c && c != 0) b = static_cast<char>(0x80 + i);
    out.push_back(b);
  }
  return out;
}

// Every desktop window takes the screen's own visual. GTK picks a GL-capable one, which the X
// server's compositing extension keeps offscreen and composites itself; without a compositing
// manager (Xvfb, a bare X server) a window of that visual lying wholly inside another one is
// never shown: a dialog over the window it belongs to stays black.
void UseScreenVisual(GtkWidget* w) {
#ifdef GDK_WINDOWING_X11
  GdkScreen* screen = gtk_widget_get_screen(w);
  if (!GDK_IS_X11_SCREEN(screen)) return;
  Screen* xs = gdk_x11_screen_get_xscreen(screen);
  if (GdkVisual* v = gdk_x11_screen_lookup_visual(screen, DefaultVisualOfScreen(xs)->visualid))
    gtk_widget_set_visual(w, v);
#else
  (void)w;
#endif
}

struct Host {
  CWnd* top = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* area = nullptr;
  std::unique_ptr<CDC> image;
  HCURSOR shownCursor = nullptr;
  // Windows that do not invalidate what they change are painted whole after every input.
  bool repaintAfterInput = false;
  // What changed in the image since it was last put on the window.
  cairo_region_t* dirty = cairo_region_create();
  ~Host() { cairo_region_destroy(dirty); }
};

struct State {
  bool open = false;
  std::vector<std::unique_ptr<Host>> hosts;
  GMainLoop* loop = nullptr;
  GtkIMContext* im = nullptr;
  Host* imHost = nullptr;
  std::function<void(double)> keyTimer;
  std::function<bool(int, bool, bool)> accelerators;
  std::string lastClipboard;
  bool clipboardKnown = false;
  bool flushQueued = false;
  guint timerSource = 0;
  bool timerWakeQueued = false;
  std::map<CFindReplaceDialog*, GtkWidget*> findDialogs;
  // Keys held down (their keyboard codes), to tell a repeat from a first press.
  std::set<guint16> keysDown;
  // The lParam of the key being handled, for the characters it types.
  LPARAM keyParam = 1;
};

State& St() {
  static State* s = new State;  // lives as long as the process: GTK may call in during exit
  return *s;
}

Host* HostOf(CWnd* top) {
  for (auto& h : St().hosts)
    if (h->top == top) return h.get();
  return nullptr;
}

// The window that gets keys: the focus if it lies in this host's tree, else the top.
CWnd* KeyTarget(Host* h) {
  CWnd* f = CWnd::GetFocus();
  for (CWnd* w = f; w; w = w->GetParent())
    if (w == h->top) return f;
  return h->top;
}

void Repaint(Host* h, const RECT& r) {
  if (!h->image) return;
  CDC& dc = *h->image;
  int saved = dc.SaveDC();
  dc.IntersectClipRect(r);
  dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
  Painter::PaintWindow(h->top, dc);
  dc.RestoreDC(saved);
  cairo_rectangle_int_t cr{r.left, r.top, r.right - r.left, r.bottom - r.top};
  cairo_region_union_rectangle(h->dirty, &cr);
}

// The image's pixels as a cairo source.
void PaintImage(Host* h, cairo_t* cr) {
  int stride = 0;
  const std::uint32_t* px = h->image->Pixels(&stride);
  cairo_surface_t* s = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(px)), CAIRO_FORMAT_ARGB32,
      h->image->Width(), h->image->Height(), stride);
  cairo_set_source_surface(cr, s, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(s);
}

// Puts the changed parts of the image on the window now.
void Present(Host* h) {
  if (!h->image || cairo_region_is_empty(h->dirty)) return;
  GdkWindow* gw = gtk_widget_get_window(h->area);
  if (!gw || !gtk_widget_get_mapped(h->area)) return;
  GdkDrawingContext* ctx = gdk_window_begin_draw_frame(gw, h->dirty);
  PaintImage(h, gdk_drawing_context_get_cairo_context(ctx));
  gdk_window_end_draw_frame(gw, ctx);
  cairo_region_destroy(h->dirty);
  h->dirty = cairo_region_create();
}

void PaintPending() {
  // Rectangles gathered per window are merged first: a load may have invalidated thousands of
  // overlapping lines, which are painted once.
  std::map<Host*, cairo_region_t*> regions;
  for (const Invalidation& inv : UpdateRegion::Take()) {
    Host* h = HostOf(inv.top);
    if (!h) continue;
    cairo_region_t*& r = regions[h];
    if (!r) r = cairo_region_create();
    cairo_rectangle_int_t c{inv.rect.left, inv.rect.top, inv.rect.right - inv.rect.left,
                            inv.rect.bottom - inv.rect.top};
    cairo_region_union_rectangle(r, &c);
  }
  for (auto& [h, region] : regions) {
    int n = cairo_region_num_rectangles(region);
    for (int i = 0; i < n; ++i) {
      cairo_rectangle_int_t c;
      cairo_region_get_rectangle(region, i, &c);
      Repaint(h, RECT{c.x, c.y, c.x + c.width, c.y + c.height});
    }
    cairo_region_destroy(region);
  }
}

// The platform's clipboard text goes to the desktop when it changed.
void PushClipboard() {
  std::string text;
  bool has = Clipboard::GetText(text);
  if (St().clipboardKnown && has && text == St().lastClipboard) return;
  if (!has) return;
  St().lastClipboard = text;
  St().clipboardKnown = true;
  std::string utf8 = AnsiToUtf8(text);
  gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), utf8.c_str(),
                         static_cast<gint>(utf8.size()));
}

// The desktop's clipboard text comes to the platform (before a paste can want it).
void PullClipboard() {
  gchar* t = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  if (!t) return;
  std::string text = Utf8ToAnsi(t);
  g_free(t);
  if (St().clipboardKnown && text == St().lastClipboard) return;
  Clipboard::SetText(text);
  St().lastClipboard = text;
  St().clipboardKnown = true;
}

void AfterInput() {
  PumpMessages();
  for (auto& h : St().hosts)
    if (h->repaintAfterInput && IsWindow(h->top->m_hWnd)) InvalidateRect(h->top->m_hWnd, nullptr, FALSE);
  PushClipboard();
  GtkDisplay::Flush();
}

void ApplyCursor(Host* h) {
  HCURSOR c = GetCursor();
  if (c == h->shownCursor) return;
  h->shownCursor = c;
  const char* name = "default";
  switch (CursorId(c)) {
    case IDC_IBEAM: name = "text"; break;
    case IDC_WAIT: name = "wait"; break;
    case IDC_SIZEWE: name = "col-resize"; break;
    case IDC_NO: name = "not-allowed"; break;
    default: break;
  }
  GdkWindow* gw = gtk_widget_get_window(h->area);
  if (!gw) return;
  GdkCursor* cur = gdk_cursor_new_from_name(gdk_window_get_display(gw), name);
  gdk_window_set_cursor(gw, cur);
  if (cur) g_object_unref(cur);
}

// The virtual key of a key symbol as a US keyboard gives it; 0 for keys without one.
int VirtualKeyOf(guint keyval) {
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return static_cast<int>(keyval - GDK_KEY_a + 'A');
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return static_cast<int>(keyval - GDK_KEY_A + 'A');
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return static_cast<int>(keyval - GDK_KEY_0 + '0');
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return static_cast<int>(0x70 + keyval - GDK_KEY_F1);
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return static_cast<int>(0x60 + keyval - GDK_KEY_KP_0);
  switch (keyval) {
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_space: return 0x20;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: return VK_PRIOR;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: return VK_NEXT;
    case GDK_KEY_End:
    case GDK_KEY_KP_End: return VK_END;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home: return VK_HOME;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: return VK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: return VK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: return VK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: return VK_DOWN;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert: return VK_INSERT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete: return VK_DELETE;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R: return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R: return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R:
    case GDK_KEY_ISO_Level3_Shift: return VK_MENU;
    case GDK_KEY_Pause: return 0x13;
    case GDK_KEY_Caps_Lock: return 0x14;
    case GDK_KEY_Print: return 0x2C;
    case GDK_KEY_Super_L: return 0x5B;
    case GDK_KEY_Super_R: return 0x5C;
    case GDK_KEY_Menu: return 0x5D;
    case GDK_KEY_KP_Multiply: return 0x6A;
    case GDK_KEY_KP_Add: return 0x6B;
    case GDK_KEY_KP_Subtract: return 0x6D;
    case GDK_KEY_KP_Decimal: return 0x6E;
    case GDK_KEY_KP_Divide: return 0x6F;
    case GDK_KEY_Num_Lock: return 0x90;
    case GDK_KEY_Scroll_Lock: return 0x91;
    // The punctuation keys of a US keyboard (the OEM keys).
    case GDK_KEY_semicolon: return 0xBA;
    case GDK_KEY_equal: return 0xBB;
    case GDK_KEY_comma: return 0xBC;
    case GDK_KEY_minus: return 0xBD;
    case GDK_KEY_period: return 0xBE;
    case GDK_KEY_slash: return 0xBF;
    case GDK_KEY_grave: return 0xC0;
    case GDK_KEY_bracketleft: return 0xDB;
    case GDK_KEY_backslash: return 0xDC;
    case GDK_KEY_bracketright: return 0xDD;
    case GDK_KEY_apostrophe: return 0xDE;
    default: return 0;
  }
}

// The virtual key names the key, not what it types: Shift+1 is still the key '1'. The key
// symbol without modifiers (but Num Lock) decides, else (a key the keymap does not know) the
// one typed.
int VirtualKey(const GdkEventKey* ev) {
  guint base = 0;
  GdkKeymap* map = gdk_keymap_get_for_display(gdk_window_get_display(ev->window));
  if (gdk_keymap_translate_keyboard_state(map, ev->hardware_keycode,
                                          GdkModifierType(ev->state & GDK_MOD2_MASK), ev->group,
                                          &base, nullptr, nullptr, nullptr)) {
    if (int vk = VirtualKeyOf(base)) return vk;
  }
  return VirtualKeyOf(ev->keyval);
}

// The key's scan code as a PC keyboard sends it (the keyboard's own code under X, less 8, for
// the main block) and whether it is one of the extended keys (the arrows and the editing
// block beside them, the right-hand Control and Alt, the keypad's Enter and /).
void ScanCode(const GdkEventKey* ev, UINT* scan, bool* extended) {
  *extended = true;
  switch (ev->keyval) {
    case GDK_KEY_Up: *scan = 0x48; return;
    case GDK_KEY_Down: *scan = 0x50; return;
    case GDK_KEY_Left: *scan = 0x4B; return;
    case GDK_KEY_Right: *scan = 0x4D; return;
    case GDK_KEY_Home: *scan = 0x47; return;
    case GDK_KEY_End: *scan = 0x4F; return;
    case GDK_KEY_Page_Up: *scan = 0x49; return;
    case GDK_KEY_Page_Down: *scan = 0x51; return;
    case GDK_KEY_Insert: *scan = 0x52; return;
    case GDK_KEY_Delete: *scan = 0x53; return;
    case GDK_KEY_Control_R: *scan = 0x1D; return;
    case GDK_KEY_Alt_R:
    case GDK_KEY_ISO_Level3_Shift: *scan = 0x38; return;
    case GDK_KEY_KP_Enter: *scan = 0x1C; return;
    case GDK_KEY_KP_Divide: *scan = 0x35; return;
    case GDK_KEY_Super_L: *scan = 0x5B; return;
    case GDK_KEY_Super_R: *scan = 0x5C; return;
    case GDK_KEY_Menu: *scan = 0x5D; return;
    default: break;
  }
  *extended = false;
  UINT code = ev->hardware_keycode >= 8 ? ev->hardware_keycode - 8u : 0u;
  *scan = code < 0x59 ? code : 0;
}

// A key message's lParam: repeat count 1, scan code, extended key, Alt held (context),
// previously down, released (transition).
LPARAM KeyParam(const GdkEventKey* ev, bool press, bool wasDown, bool alt) {
  UINT scan = 0;
  bool extended = false;
  ScanCode(ev, &scan, &extended);
  DWORD bits = 1u | (scan & 0xFFu) << 16;
  if (extended) bits |= 1u << 24;
  if (alt) bits |= 1u << 29;
  if (!press || wasDown) bits |= 1u << 30;
  if (!press) bits |= 1u << 31;
  return static_cast<LPARAM>(bits);
}

void SyncModifiers(guint state) {
  Desktop::SetKeyDown(VK_SHIFT, (state & GDK_SHIFT_MASK) != 0);
  Desktop::SetKeyDown(VK_CONTROL, (state & GDK_CONTROL_MASK) != 0);
  Desktop::SetKeyDown(VK_MENU, (state & GDK_MOD1_MASK) != 0);
}

void OnCommit(GtkIMContext*, const gchar* str, gpointer) {
  Host* h = St().imHost;
  if (!h) return;
  for (char c : Utf8ToAnsi(str)) {
    CWnd* target = KeyTarget(h);
    target->SendMessage(WM_CHAR, static_cast<unsigned char>(c), St().keyParam);
  }
}

// Every key press sends WM_KEYDOWN (WM_SYSKEYDOWN with Alt or for F10), then the characters it
// types: through the input method, or those Windows makes of Enter, Tab, Backspace, Escape
// and Ctrl with a letter, or WM_SYSCHAR with Alt. Its release sends WM_KEYUP (WM_SYSKEYUP).
// The host's accelerators see a press first and may take it.
gboolean OnKey(GtkWidget*, GdkEventKey* ev, gpointer data) {
  auto* h = static_cast<Host*>(data);
  State& st = St();
  auto start = Clock::now();
  bool press = ev->type == GDK_KEY_PRESS;
  int vk = VirtualKey(ev);
  guint state = ev->state;
  // The modifier's own key changes the state only after this event.
  auto own = [&](int key, guint mask) {
    if (vk == key) state = press ? state | mask : state & ~mask;
  };
  own(VK_SHIFT, GDK_SHIFT_MASK);
  own(VK_CONTROL, GDK_CONTROL_MASK);
  // Alt itself (AltGr, the third level's shift, is another key and types characters).
  bool altKey = ev->keyval == GDK_KEY_Alt_L || ev->keyval == GDK_KEY_Alt_R ||
                ev->keyval == GDK_KEY_Meta_L || ev->keyval == GDK_KEY_Meta_R;
  if (altKey) own(VK_MENU, GDK_MOD1_MASK);
  SyncModifiers(state);
  bool ctrl = (state & GDK_CONTROL_MASK) != 0;
  bool alt = (state & GDK_MOD1_MASK) != 0;
  // With Control too, Alt is a shift of its own (AltGr): the keys are ordinary ones. The Alt
  // key's own release is a system key still.
  bool sys = (alt && !ctrl) || vk == 0x79 /* F10 */ || (!press && altKey && !ctrl);
  bool wasDown = st.keysDown.count(ev->hardware_keycode) != 0;
  if (press)
    st.keysDown.insert(ev->hardware_keycode);
  else
    st.keysDown.erase(ev->hardware_keycode);
  // Alt's state in lParam is the key's context: held while this key went down or up.
  bool altHeld = alt || (!press && altKey);
  LPARAM param = KeyParam(ev, press, wasDown, altHeld);
  st.keyParam = param;
  st.imHost = h;
  if (!press) {
    if (vk && IsWindow(h->top->m_hWnd))
      KeyTarget(h)->SendMessage(sys ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk), param);
    gtk_im_context_filter_keypress(st.im, ev);
    AfterInput();
    return TRUE;
  }
  if (vk && st.accelerators && st.accelerators(vk, ctrl, (state & GDK_SHIFT_MASK) != 0)) {
    AfterInput();
    return TRUE;
  }
  if ((ctrl && vk == 'V') || ((state & GDK_SHIFT_MASK) && vk == VK_INSERT)) PullClipboard();
  if (vk) KeyTarget(h)->SendMessage(sys ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk), param);
  if (!IsWindow(h->top->m_hWnd)) return TRUE;
  if (sys) {
    gunichar u = gdk_keyval_to_unicode(ev->keyval);
    if (u >= 0x20 && u < 0x7F) KeyTarget(h)->SendMessage(WM_SYSCHAR, static_cast<WPARAM>(u), param);
  } else if (ctrl || !gtk_im_context_filter_keypress(st.im, ev)) {
    // The characters Windows makes of keys that type none through an input method.
    int ch = 0;
    if (ctrl && vk >= 'A' && vk <= 'Z') ch = vk & 0x1F;
    else if (vk == VK_RETURN) ch = '\r';
    else if (vk == VK_TAB) ch = '\t';
    else if (vk == VK_BACK) ch = 0x08;
    else if (vk == VK_ESCAPE) ch = 0x1B;
    if (ch && IsWindow(h->top->m_hWnd)) KeyTarget(h)->SendMessage(WM_CHAR, static_cast<WPARAM>(ch), param);
  }
  // else the input method took the key: it commits characters (OnCommit) or composes.
  AfterInput();
  if (st.keyTimer) {
    std::chrono::duration<double, std::milli> ms = Clock::now() - start;
    st.keyTimer(ms.count());
  }
  return TRUE;
}

WPARAM MouseKeys(guint state) {
  WPARAM k = 0;
  if (state & GDK_BUTTON1_MASK) k |= MK_LBUTTON;
  if (state & GDK_BUTTON3_MASK) k |= MK_RBUTTON;
  if (state & GDK_SHIFT_MASK) k |= MK_SHIFT;
  if (state & GDK_CONTROL_MASK) k |= MK_CONTROL;
  return k;
}

gboolean OnButton(GtkWidget* w, GdkEventButton* ev, gpointer data) {
  auto* h = static_cast<Host*>(data);
  if (ev->type == GDK_3BUTTON_PRESS) return TRUE;
  gtk_widget_grab_focus(w);
  SyncModifiers(ev->state);
  bool down = ev->type == GDK_BUTTON_PRESS || ev->type == GDK_2BUTTON_PRESS;
  bool twice = ev->type == GDK_2BUTTON_PRESS;
  UINT msg = 0;
  WPARAM keys = MouseKeys(ev->state);
  if (ev->button == 1) {
    msg = twice ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    keys = down ? keys | MK_LBUTTON : keys & ~MK_LBUTTON;
  } else if (ev->button == 3) {
    msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    keys = down ? keys | MK_RBUTTON : keys & ~MK_RBUTTON;
  }
  if (!msg) return TRUE;
  POINT p{static_cast<LONG>(ev->x), static_cast<LONG>(ev->y)};
  Mouse::Send(h->top, msg, p, keys);
  AfterInput();
  ApplyCursor(h);
  return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* ev, gpointer data) {
  auto* h = static_cast<Host*>(data);
  POINT p{static_cast<LONG>(ev->x), static_cast<LONG>(ev->y)};
  Mouse::Send(h->top, WM_MOUSEMOVE, p, MouseKeys(ev->state));
  AfterInput();
  ApplyCursor(h);
  return TRUE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* ev, gpointer data) {
  auto* h = static_cast<Host*>(data);
  // Turns away from the user are positive, and sideways ones to the right.
  int notches = 0, sideways = 0;
  if (ev->direction == GDK_SCROLL_UP) notches = 1;
  if (ev->direction == GDK_SCROLL_DOWN) notches = -1;
  if (ev->direction == GDK_SCROLL_LEFT) sideways = -1;
  if (ev->direction == GDK_SCROLL_RIGHT) sideways = 1;
  if (ev->direction == GDK_SCROLL_SMOOTH) {
    notches = ev->delta_y < 0 ? 1 : ev->delta_y > 0 ? -1 : 0;
    sideways = ev->delta_x < 0 ? -1 : ev->delta_x > 0 ? 1 : 0;
  }
  if (!notches && !sideways) return TRUE;
  POINT p{static_cast<LONG>(ev->x), static_cast<LONG>(ev->y)};
  CWnd* under = Mouse::WindowAt(h->top, p);
  CWnd* target = under ? under : h->top;
  auto send = [&](UINT msg, int turns) {
    WPARAM w = static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(turns * WHEEL_DELTA))) << 16 |
               MouseKeys(ev->state);
    target->SendMessage(msg, w, MAKELPARAM(p.x, p.y));
  };
  if (notches) send(WM_MOUSEWHEEL, notches);
  if (sideways) send(WM_MOUSEHWHEEL, sideways);
  AfterInput();
  return TRUE;
}

gboolean OnFocus(GtkWidget*, GdkEventFocus* ev, gpointer data) {
  auto* h = static_cast<Host*>(data);
  CWnd* f = KeyTarget(h);
  if (ev->in) {
    St().imHost = h;
    gtk_im_context_focus_in(St().im);
    f->SendMessage(WM_SETFOCUS, 0, 0);
    InvalidateRect(f->m_hWnd, nullptr, FALSE);
  } else {
    // Releases go to whoever has the keyboard now.
    St().keysDown.clear();
    gtk_im_context_focus_out(St().im);
    f->SendMessage(WM_KILLFOCUS, 0, 0);
    InvalidateRect(f->m_hWnd, nullptr, FALSE);
  }
  AfterInput();
  return FALSE;
}

void OnSize(GtkWidget*, GdkRectangle* a, gpointer data) {
  auto* h = static_cast<Host*>(data);
  if (h->image && h->image->Width() == a->width && h->image->Height() == a->height) return;
  h->image = std::make_unique<CDC>(std::max(1, a->width), std::max(1, a->height));
  h->top->MoveWindow(RECT{0, 0, a->width, a->height});
  InvalidateRect(h->top->m_hWnd, nullptr, FALSE);
  PumpMessages();
  PaintPending();
  // The window is drawn whole after a new size (its draw handler shows the image).
  cairo_region_destroy(h->dirty);
  h->dirty = cairo_region_create();
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* h = static_cast<Host*>(data);
  if (!h->image) return TRUE;
  PaintImage(h, cr);
  return TRUE;
}

void Forget(Host* h) {
  UpdateRegion::Forget(h->top);
  auto& hs = St().hosts;
  std::erase_if(hs, [h](const std::unique_ptr<Host>& p) { return p.get() == h; });
  if (St().imHost == h) St().imHost = nullptr;
  if (hs.empty() && St().loop) g_main_loop_quit(St().loop);
}

// The desktop window goes, then the host: destroying the window still emits signals (focus
// out), which must not reach a host that is gone.
void Drop(Host* h) {
  g_signal_handlers_disconnect_by_data(h->area, h);
  g_signal_handlers_disconnect_by_data(h->window, h);
  gtk_widget_destroy(h->window);
  Forget(h);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* h = static_cast<Host*>(data);
  LRESULT keep = IsWindow(h->top->m_hWnd) ? h->top->SendMessage(WM_CLOSE, 0, 0) : 0;
  if (keep) return TRUE;
  Drop(h);
  return TRUE;
}

gboolean OnIdleFlush(gpointer) {
  St().flushQueued = false;
  GtkDisplay::Flush();
  return G_SOURCE_REMOVE;
}

void OnInvalidate(const Invalidation&) {
  // Invalidations from outside input handling (a timer, a dialog) are painted when idle.
  if (St().flushQueued) return;
  St().flushQueued = true;
  g_idle_add_full(G_PRIORITY_HIGH_IDLE, OnIdleFlush, nullptr, nullptr);
}

// A tracked popup menu as a desktop menu at the pointer; the command chosen, 0 when dismissed.
UINT ChooseFromMenu(const TrackedMenu& tracked) {
  GtkWidget* menu = gtk_menu_new();
  UINT chosen = 0;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  for (const auto& e : tracked.entries) {
    GtkWidget* item = e.text.empty() ? gtk_separator_menu_item_new()
                                     : gtk_menu_item_new_with_mnemonic(AnsiToUtf8(e.text).c_str());
    // The class library marks mnemonics with &, GTK with _.
    if (!e.text.empty()) {
      std::string label = AnsiToUtf8(e.text);
      for (char& c : label)
        if (c == '&') c = '_';
      gtk_menu_item_set_label(GTK_MENU_ITEM(item), label.c_str());
    }
    gtk_widget_set_sensitive(item, e.enabled);
    g_object_set_data(G_OBJECT(item), "halyard-command", GUINT_TO_POINTER(e.id));
    g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* i, gpointer out) {
                       *static_cast<UINT*>(out) = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(i), "halyard-command"));
                     }),
                     &chosen);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer l) {
                     // The item's activate comes after the menu went; let it arrive first.
                     g_idle_add([](gpointer lp) {
                       g_main_loop_quit(static_cast<GMainLoop*>(lp));
                       return G_SOURCE_REMOVE;
                     }, l);
                   }),
                   loop);
  UseScreenVisual(gtk_widget_get_toplevel(menu));
  gtk_widget_show_all(menu);
  GdkWindow* at = St().hosts.empty() ? nullptr : gtk_widget_get_window(St().hosts.front()->area);
  if (at) {
    GdkRectangle r{static_cast<int>(tracked.at.x), static_cast<int>(tracked.at.y), 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(menu), at, &r, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
    g_main_loop_run(loop);
  }
  g_main_loop_unref(loop);
  gtk_widget_destroy(menu);
  return chosen;
}

void ScheduleTimers();

gboolean OnTimerDue(gpointer) {
  St().timerSource = 0;
  Timers::Advance(0);
  AfterInput();
  ScheduleTimers();
  return G_SOURCE_REMOVE;
}

// One main loop timeout for the next window timer due.
void ScheduleTimers() {
  State& st = St();
  if (st.timerSource) {
    g_source_remove(st.timerSource);
    st.timerSource = 0;
  }
  long long due = Timers::NextDue();
  if (due < 0) return;
  st.timerSource = g_timeout_add(static_cast<guint>(due), OnTimerDue, nullptr);
}

void OnTimersChanged() {
  // SetTimer and KillTimer come from inside window procedures: reschedule once they return.
  if (St().timerWakeQueued) return;
  St().timerWakeQueued = true;
  g_idle_add_full(G_PRIORITY_HIGH, [](gpointer) {
    St().timerWakeQueued = false;
    ScheduleTimers();
    return G_SOURCE_REMOVE;
  }, nullptr, nullptr);
}

// The desktop window a dialog belongs to: the one showing the owner's top-level window, else
// the first shown; null when none is shown. Dialogs stay above it and open over it.
GtkWindow* DialogParent(HWND owner) {
  CWnd* w = owner ? CWnd::FromHandle(owner) : nullptr;
  while (w && w->GetParent()) w = w->GetParent();
  Host* h = w ? HostOf(w) : nullptr;
  if (!h && !St().hosts.empty()) h = St().hosts.front().get();
  return h ? GTK_WINDOW(h->window) : nullptr;
}

int AskMessageBox(const MessageBoxCall& call) {
  UINT buttons = call.type & 0x0F;
  GtkButtonsType b = GTK_BUTTONS_OK;
  if (buttons == MB_OKCANCEL) b = GTK_BUTTONS_OK_CANCEL;
  if (buttons == MB_YESNO || buttons == 0x3u) b = GTK_BUTTONS_YES_NO;
  GtkWidget* d = gtk_message_dialog_new(DialogParent(call.owner), GTK_DIALOG_MODAL,
                                        GTK_MESSAGE_INFO, b, "%s",
                                        AnsiToUtf8(call.text).c_str());
  gtk_window_set_title(GTK_WINDOW(d), AnsiToUtf8(call.caption.empty() ? "Error" : call.caption).c_str());
  UseScreenVisual(d);
  if (buttons == 0x3u) gtk_dialog_add_button(GTK_DIALOG(d), "Cancel", GTK_RESPONSE_CANCEL);
  int r = gtk_dialog_run(GTK_DIALOG(d));
  gtk_widget_destroy(d);
  switch (r) {
    case GTK_RESPONSE_OK: return IDOK;
    case GTK_RESPONSE_YES: return IDYES;
    case GTK_RESPONSE_NO: return IDNO;
    default: return buttons == MB_OK ? IDOK : IDCANCEL;
  }
}

BOOL AskPrint(PRINTDLG& pd) {
  GtkWidget* d = gtk_dialog_new_with_buttons("Print", DialogParent(pd.hwndOwner), GTK_DIALOG_MODAL,
                                             "Cancel",
                                             GTK_RESPONSE_CANCEL, "Print", GTK_RESPONSE_OK, nullptr);
  GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(d));
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_box_pack_start(GTK_BOX(row), gtk_label_new("Copies:"), FALSE, FALSE, 0);
  GtkWidget* copies = gtk_spin_button_new_with_range(1, 999, 1);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(copies), pd.nCopies ? pd.nCopies : 1);
  gtk_box_pack_start(GTK_BOX(row), copies, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 6);
  UseScreenVisual(d);
  gtk_widget_show_all(d);
  int r = gtk_dialog_run(GTK_DIALOG(d));
  pd.nCopies = static_cast<WORD>(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(copies)));
  gtk_widget_destroy(d);
  return r == GTK_RESPONSE_OK;
}

// The find/replace dialog's widgets.
struct FindWidgets {
  CFindReplaceDialog* dialog;
  HWND hwnd;  // the dialog is followed only while this handle is its window
  GtkWidget* window;
  GtkWidget* find;
  GtkWidget* replace;
  GtkWidget* matchCase;
  GtkWidget* wholeWord;
  GtkWidget* down;
};

void TransferFields(FindWidgets* f) {
  f->dialog->TypeFindWhat(Utf8ToAnsi(gtk_entry_get_text(GTK_ENTRY(f->find))));
  if (f->replace) f->dialog->TypeReplaceWith(Utf8ToAnsi(gtk_entry_get_text(GTK_ENTRY(f->replace))));
  f->dialog->CheckMatchCase(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->matchCase)));
  f->dialog->CheckWholeWord(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->wholeWord)));
  f->dialog->ChooseDirectionDown(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->down)));
}

void OnFindResponse(GtkDialog* d, int response, gpointer data) {
  auto* f = static_cast<FindWidgets*>(data);
  if (CWnd::FromHandle(f->hwnd) != f->dialog) {
    // Its owner closed the dialog meanwhile.
    St().findDialogs.erase(f->dialog);
    gtk_widget_destroy(GTK_WIDGET(d));
    return;
  }
  TransferFields(f);
  switch (response) {
    case 1: f->dialog->PressFindNext(); break;
    case 2: f->dialog->PressReplace(); break;
    case 3: f->dialog->PressReplaceAll(); break;
    default:
      f->dialog->PressCancel();
      St().findDialogs.erase(f->dialog);
      gtk_widget_destroy(GTK_WIDGET(d));
      break;
  }
  AfterInput();
}

GtkWidget* Labelled(GtkWidget* grid, int row, const char* label, const std::string& text) {
  GtkWidget* l = gtk_label_new_with_mnemonic(label);
  gtk_widget_set_halign(l, GTK_ALIGN_START);
  GtkWidget* e = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(e), AnsiToUtf8(text).c_str());
  gtk_entry_set_max_length(GTK_ENTRY(e), CFindReplaceDialog::kFieldSize - 1);
  gtk_entry_set_activates_default(GTK_ENTRY(e), TRUE);
  gtk_label_set_mnemonic_widget(GTK_LABEL(l), e);
  gtk_grid_attach(GTK_GRID(grid), l, 0, row, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), e, 1, row, 1, 1);
  return e;
}

}  // namespace

bool GtkDisplay::Open(std::string* error) {
  State& st = St();
  if (st.open) return true;
  // Windows show images drawn with cairo: the display's OpenGL support, which loads the GL
  // drivers at start (tens of milliseconds), is not needed. A setting of the user's stays.
  setenv("GDK_GL", "disable", 0);
  if (!gtk_init_check(nullptr, nullptr)) {
    if (error) *error = "cannot open the display";
    return false;
  }
  st.open = true;
  st.im = gtk_im_multicontext_new();
  g_signal_connect(st.im, "commit", G_CALLBACK(OnCommit), nullptr);
  UpdateRegion::SetListener(OnInvalidate);
  Desktop::SetMessageBoxAnswerer(AskMessageBox);
  PrintDialogs::SetAnswerer(AskPrint);
  MenuTracker::SetChooser(ChooseFromMenu);
  Timers::UseClock([] { return static_cast<unsigned long long>(g_get_monotonic_time() / 1000); });
  Timers::SetWaker(OnTimersChanged);
  ScheduleTimers();
  // Carets blink as the desktop's own text fields do: its setting is the length of a whole
  // cycle, shown and hidden.
  gboolean blink = TRUE;
  gint cycle = 1200;
  g_object_get(gtk_settings_get_default(), "gtk-cursor-blink", &blink, "gtk-cursor-blink-time", &cycle, nullptr);
  SetCaretBlinkTime(!blink || cycle <= 0 ? INFINITE : static_cast<UINT>(std::max(cycle / 2, 50)));
  return true;
}

bool GtkDisplay::IsOpen() { return St().open; }

bool GtkDisplay::Show(CWnd* top) {
  if (!St().open || !top || !top->GetSafeHwnd() || top->GetParent() || HostOf(top)) return false;
  auto host = std::make_unique<Host>();
  Host* h = host.get();
  h->top = top;
  RECT r;
  top->GetWindowRect(&r);
  int w = std::max<int>(1, r.right - r.left), ht = std::max<int>(1, r.bottom - r.top);
  h->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  UseScreenVisual(h->window);
  gtk_window_set_title(GTK_WINDOW(h->window), AnsiToUtf8(top->GetWindowText()).c_str());
  gtk_window_set_default_size(GTK_WINDOW(h->window), w, ht);
  h->area = gtk_drawing_area_new();
  gtk_widget_set_can_focus(h->area, TRUE);
  gtk_widget_add_events(h->area, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_BUTTON_PRESS_MASK |
                                     GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                     GDK_SCROLL_MASK | GDK_FOCUS_CHANGE_MASK);
  gtk_container_add(GTK_CONTAINER(h->window), h->area);
  g_signal_connect(h->area, "draw", G_CALLBACK(OnDraw), h);
  g_signal_connect(h->area, "size-allocate", G_CALLBACK(OnSize), h);
  g_signal_connect(h->area, "key-press-event", G_CALLBACK(OnKey), h);
  g_signal_connect(h->area, "key-release-event", G_CALLBACK(OnKey), h);
  g_signal_connect(h->area, "button-press-event", G_CALLBACK(OnButton), h);
  g_signal_connect(h->area, "button-release-event", G_CALLBACK(OnButton), h);
  g_signal_connect(h->area, "motion-notify-event", G_CALLBACK(OnMotion), h);
  g_signal_connect(h->area, "scroll-event", G_CALLBACK(OnScroll), h);
  g_signal_connect(h->area, "focus-in-event", G_CALLBACK(OnFocus), h);
  g_signal_connect(h->area, "focus-out-event", G_CALLBACK(OnFocus), h);
  g_signal_connect(h->window, "delete-event", G_CALLBACK(OnDelete), h);
  St().hosts.push_back(std::move(host));
  gtk_widget_show_all(h->window);
  gtk_widget_grab_focus(h->area);
  gtk_im_context_set_client_window(St().im, gtk_widget_get_window(h->area));
  return true;
}

bool GtkDisplay::Hide(CWnd* top) {
  Host* h = HostOf(top);
  if (!h) return false;
  Drop(h);
  return true;
}

bool GtkDisplay::RepaintAfterInput(CWnd* top, bool on) {
  Host* h = HostOf(top);
  if (!h) return false;
  h->repaintAfterInput = on;
  return true;
}

void GtkDisplay::Run() {
  State& st = St();
  if (!st.open || st.hosts.empty()) return;
  st.loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(st.loop);
  g_main_loop_unref(st.loop);
  st.loop = nullptr;
  while (!st.hosts.empty()) Drop(st.hosts.back().get());
  for (auto& [d, w] : st.findDialogs) gtk_widget_destroy(w);
  st.findDialogs.clear();
}

void GtkDisplay::Quit() {
  if (St().loop) g_main_loop_quit(St().loop);
}

void GtkDisplay::Flush() {
  if (!St().open) return;
  PaintPending();
  for (auto& h : St().hosts) Present(h.get());
  gdk_display_sync(gdk_display_get_default());
}

bool GtkDisplay::ShowFindReplace(CFindReplaceDialog* dialog) {
  if (!St().open || !dialog || !dialog->GetSafeHwnd()) return false;
  // Desktop dialogs of headless ones that have gone meanwhile go too.
  for (auto i = St().findDialogs.begin(); i != St().findDialogs.end();) {
    auto* w = static_cast<FindWidgets*>(g_object_get_data(G_OBJECT(i->second), "halyard-find"));
    if (w && CWnd::FromHandle(w->hwnd) == w->dialog) {
      ++i;
    } else {
      gtk_widget_destroy(i->second);
      i = St().findDialogs.erase(i);
    }
  }
  auto it = St().findDialogs.find(dialog);
  if (it != St().findDialogs.end()) {
    gtk_window_present(GTK_WINDOW(it->second));
    return true;
  }
  bool findOnly = dialog->IsFindOnly();
  GtkWidget* d = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(d), findOnly ? "Find" : "Replace");
  CWnd* owner = dialog->GetOwner();
  gtk_window_set_transient_for(GTK_WINDOW(d), DialogParent(owner ? owner->m_hWnd : nullptr));
  UseScreenVisual(d);
  gtk_dialog_add_button(GTK_DIALOG(d), "_Find Next", 1);
  if (!findOnly) {
    gtk_dialog_add_button(GTK_DIALOG(d), "_Replace", 2);
    gtk_dialog_add_button(GTK_DIALOG(d), "Replace _All", 3);
  }
  gtk_dialog_add_button(GTK_DIALOG(d), "Cancel", GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(d), 1);
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 6);
  auto* f = new FindWidgets{dialog, dialog->GetSafeHwnd(), d, nullptr, nullptr, nullptr, nullptr, nullptr};
  f->find = Labelled(grid, 0, "Fi_nd what:", dialog->GetFindString());
  if (!findOnly) f->replace = Labelled(grid, 1, "Re_place with:", dialog->GetReplaceString());
  f->matchCase = gtk_check_button_new_with_mnemonic("Match _case");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f->matchCase), dialog->MatchCase());
  f->wholeWord = gtk_check_button_new_with_mnemonic("Match _whole word only");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f->wholeWord), dialog->MatchWholeWord());
  GtkWidget* up = gtk_radio_button_new_with_mnemonic(nullptr, "_Up");
  f->down = gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(up), "_Down");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->SearchDown() ? f->down : up), TRUE);
  gtk_grid_attach(GTK_GRID(grid), f->matchCase, 0, 2, 2, 1);
  gtk_grid_attach(GTK_GRID(grid), f->wholeWord, 0, 3, 2, 1);
  GtkWidget* dir = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_box_pack_start(GTK_BOX(dir), up, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(dir), f->down, FALSE, FALSE, 0);
  gtk_grid_attach(GTK_GRID(grid), dir, 0, 4, 2, 1);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(d))), grid, TRUE, TRUE, 0);
  g_signal_connect_data(d, "response", G_CALLBACK(OnFindResponse), f,
                        [](gpointer p, GClosure*) { delete static_cast<FindWidgets*>(p); },
                        GConnectFlags(0));
  g_object_set_data(G_OBJECT(d), "halyard-find", f);
  St().findDialogs[dialog] = d;
  gtk_widget_show_all(d);
  return true;
}

void GtkDisplay::SetKeyTimer(std::function<void(double)> timer) { St().keyTimer = std::move(timer); }

void GtkDisplay::SetAccelerators(std::function<bool(int, bool, bool)> filter) {
  St().accelerators = std::move(filter);
}

}  // namespace halyard::user
