// The display backend: X windows mirroring the layer's top-level windows,
// their pictures and shapes, the event loop and input.

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/win/Controls.h"
#include "platform/win/MessageBox.h"
#include "platform/win/X11Internal.h"

#include <X11/XKBlib.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <X11/extensions/shape.h>

using x11::Mirror;

namespace {

// Requests the server refuses (a window the window manager reparented, an
// attach of shared memory over a remote link) must not end the process, as
// Xlib's default handler would. The count lets a caller notice a failure.
int errorCount = 0;
int IgnoreErrors(Display*, XErrorEvent*) {
  ++errorCount;
  return 0;
}

// A popup in the layer's sense: shown without the window manager's involvement.
bool IsPopup(const win::Window* w) {
  return (w->style & WS_POPUP) && (w->exStyle & WS_EX_TOOLWINDOW) && (w->style & WS_CAPTION) != WS_CAPTION;
}

// Per-pixel alpha that the compositor should show.
bool WantsArgb(const win::Window* w) { return (w->exStyle & WS_EX_LAYERED) && w->perPixelAlpha; }

bool RectEmptyOrNull(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// The surface's rows as they appear on screen (top first).
struct SurfaceView {
  const uint8_t* bits = nullptr;
  int width = 0, height = 0;
  long stride = 0;
  bool bottomUp = true;
  const uint8_t* Row(int y) const { return bits + (bottomUp ? height - 1 - y : y) * stride; }
};

bool ViewSurface(HWND wnd, SurfaceView& v) {
  HBITMAP surface = GetWindowSurface(wnd);
  DIBSECTION ds;
  if (!surface || GetObject(surface, sizeof(ds), &ds) != int(sizeof(ds)) || !ds.dsBm.bmBits ||
      ds.dsBm.bmBitsPixel != 32)
    return false;
  v.bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  v.width = ds.dsBm.bmWidth;
  v.height = ds.dsBm.bmHeight;
  v.stride = ds.dsBm.bmWidthBytes;
  v.bottomUp = ds.dsBmih.biHeight > 0;
  return true;
}

// Rectangles covering the pixels that pass keep(x, y), merged into bands of equal rows.
template <typename Keep>
std::vector<XRectangle> MaskRects(int width, int height, Keep keep) {
  std::vector<XRectangle> out;
  std::vector<std::pair<int, int>> prev, runs;
  size_t prevStart = 0;
  for (int y = 0; y < height; ++y) {
    runs.clear();
    for (int x = 0; x < width;) {
      while (x < width && !keep(x, y)) ++x;
      const int start = x;
      while (x < width && keep(x, y)) ++x;
      if (x > start) runs.emplace_back(start, x);
    }
    if (y > 0 && runs == prev) {
      for (size_t i = prevStart; i < out.size(); ++i) out[i].height++;
      continue;
    }
    prevStart = out.size();
    for (auto [a, b] : runs) out.push_back(XRectangle{short(a), short(y), (unsigned short)(b - a), 1});
    prev = runs;
  }
  return out;
}

int CursorFontShape(int idc) {
  switch (idc) {
    case 32513: return XC_xterm;               // IDC_IBEAM
    case 32514: return XC_watch;               // IDC_WAIT
    case 32515: return XC_crosshair;           // IDC_CROSS
    case 32516: return XC_sb_up_arrow;         // IDC_UPARROW
    case 32642: return XC_bottom_right_corner;  // IDC_SIZENWSE
    case 32643: return XC_bottom_left_corner;  // IDC_SIZENESW
    case 32644: return XC_sb_h_double_arrow;   // IDC_SIZEWE
    case 32645: return XC_sb_v_double_arrow;   // IDC_SIZENS
    case 32646: return XC_fleur;               // IDC_SIZEALL
    case 32648: return XC_X_cursor;            // IDC_NO
    case 32649: return XC_hand2;               // IDC_HAND
    case 32650: return XC_watch;               // IDC_APPSTARTING
    case 32651: return XC_question_arrow;      // IDC_HELP
  }
  return XC_left_ptr;
}

}  // namespace

// ---- Impl: windows ----

TX11Backend::Impl::~Impl() {
  if (!dpy) return;
  for (auto& [h, m] : mirrors) DestroyXWindow(m);
  mirrors.clear();
  if (cursor) XFreeCursor(dpy, cursor);
  if (helper) XDestroyWindow(dpy, helper);
  if (im) XCloseIM(im);
  if (argbColormap) XFreeColormap(dpy, argbColormap);
  XCloseDisplay(dpy);
}

uint64_t TX11Backend::Impl::Now() const {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec / 1000000);
}

Mirror* TX11Backend::Impl::Find(HWND wnd) {
  auto it = mirrors.find(wnd);
  return it == mirrors.end() ? nullptr : &it->second;
}

Mirror* TX11Backend::Impl::FindX(::Window xid) {
  for (auto& [h, m] : mirrors)
    if (m.xid == xid) return &m;
  return nullptr;
}

void TX11Backend::Impl::CreateXWindow(Mirror& m, win::Window* w) {
  m.argb = WantsArgb(w) && compositor && hasArgb;
  m.popup = IsPopup(w);
  const RECT r = w->rect;
  const int width = std::max(1, int(r.right - r.left)), height = std::max(1, int(r.bottom - r.top));
  XSetWindowAttributes a{};
  a.background_pixmap = None;  // the surface covers everything: no flash of a background
  a.border_pixel = 0;
  a.bit_gravity = NorthWestGravity;
  a.override_redirect = m.popup ? True : False;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                 LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask;
  unsigned long mask = CWBackPixmap | CWBorderPixel | CWBitGravity | CWOverrideRedirect | CWEventMask;
  if (m.argb) {
    a.colormap = argbColormap;
    mask |= CWColormap;
  }
  m.xid = XCreateWindow(dpy, root, r.left, r.top, unsigned(width), unsigned(height), 0,
                        m.argb ? 32 : depth, InputOutput, m.argb ? argbVisual.visual : visual, mask, &a);
  m.xrect = RECT{r.left, r.top, r.left + width, r.top + height};
  m.mapped = false;
  m.pendingConfigures = 0;

  Atom protocols[] = {atoms.WM_DELETE_WINDOW, atoms.WM_TAKE_FOCUS, atoms._NET_WM_PING};
  XSetWMProtocols(dpy, m.xid, protocols, 3);
  // No decoration: the layer draws its own frame inside the window.
  long motif[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
  XChangeProperty(dpy, m.xid, atoms._MOTIF_WM_HINTS, atoms._MOTIF_WM_HINTS, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(motif), 5);
  XClassHint cls{const_cast<char*>("tarnwick"), const_cast<char*>("Tarnwick")};
  XSetClassHint(dpy, m.xid, &cls);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(dpy, m.xid, &hints);
  long pid = long(getpid());
  XChangeProperty(dpy, m.xid, atoms._NET_WM_PID, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  long version = 5;
  XChangeProperty(dpy, m.xid, atoms.XdndAware, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&version), 1);
  Atom type = atoms._NET_WM_WINDOW_TYPE_NORMAL;
  if (m.popup) type = atoms._NET_WM_WINDOW_TYPE_POPUP_MENU;
  else if (w->exStyle & WS_EX_TOOLWINDOW) type = atoms._NET_WM_WINDOW_TYPE_UTILITY;
  else if (w->owner) type = atoms._NET_WM_WINDOW_TYPE_DIALOG;
  XChangeProperty(dpy, m.xid, atoms._NET_WM_WINDOW_TYPE, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  if (cursor) XDefineCursor(dpy, m.xid, cursor);
  if (im) {
    m.ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, m.xid,
                     XNFocusWindow, m.xid, nullptr);
    long filter = 0;
    if (m.ic && !XGetICValues(m.ic, XNFilterEvents, &filter, nullptr) && filter)
      XSelectInput(dpy, m.xid, a.event_mask | filter);
  }
  m.title.clear();
  m.owner = nullptr;
  m.exStyle = ~w->exStyle;  // every property is sent on the first sync
  m.opacity = 0xFFFFFFFFul;
  m.shapeDirty = true;
  m.dirty = RECT{0, 0, width, height};
  SyncProperties(m, w);
}

void TX11Backend::Impl::FreeImage(Mirror& m) {
  if (!m.image) return;
  if (m.shmAttached) {
    XShmDetach(dpy, &m.shm);
    XSync(dpy, False);
    shmdt(m.shm.shmaddr);
    m.shmAttached = false;
  }
  XDestroyImage(m.image);  // also frees our own buffer when not shared
  m.image = nullptr;
}

void TX11Backend::Impl::DestroyXWindow(Mirror& m) {
  if (grabbed == m.hwnd) {
    XUngrabPointer(dpy, CurrentTime);
    grabbed = nullptr;
  }
  if (focusRequested == m.hwnd) focusRequested = nullptr;
  FreeImage(m);
  if (m.ic) XDestroyIC(m.ic);
  m.ic = nullptr;
  if (m.xid) XDestroyWindow(dpy, m.xid);
  m.xid = 0;
}

void TX11Backend::Impl::EnsureImage(Mirror& m, int width, int height) {
  if (m.image && m.image->width == width && m.image->height == height) return;
  FreeImage(m);
  Visual* v = m.argb ? argbVisual.visual : visual;
  const unsigned d = m.argb ? 32 : unsigned(depth);
  if (hasShm) {
    m.image = XShmCreateImage(dpy, v, d, ZPixmap, nullptr, &m.shm, unsigned(width), unsigned(height));
    if (m.image) {
      m.shm.shmid = shmget(IPC_PRIVATE, size_t(m.image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
      void* addr = m.shm.shmid >= 0 ? shmat(m.shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (addr != reinterpret_cast<void*>(-1)) {
        m.shm.shmaddr = m.image->data = static_cast<char*>(addr);
        m.shm.readOnly = False;
        const int before = errorCount;
        XShmAttach(dpy, &m.shm);
        XSync(dpy, False);
        shmctl(m.shm.shmid, IPC_RMID, nullptr);  // freed once both sides detach
        if (errorCount == before) {
          m.shmAttached = true;
          return;
        }
        shmdt(addr);
        hasShm = false;  // a remote server: plain requests from now on
      } else if (m.shm.shmid >= 0) {
        shmctl(m.shm.shmid, IPC_RMID, nullptr);
      }
      m.image->data = nullptr;
      XDestroyImage(m.image);
      m.image = nullptr;
    }
  }
  m.image = XCreateImage(dpy, v, d, ZPixmap, 0, nullptr, unsigned(width), unsigned(height), 32, 0);
  m.image->data = static_cast<char*>(calloc(size_t(m.image->bytes_per_line) * size_t(height), 1));
}

void TX11Backend::Impl::SyncProperties(Mirror& m, win::Window* w) {
  if (m.title != w->text) {
    m.title = w->text;
    for (Atom name : {atoms._NET_WM_NAME, atoms._NET_WM_ICON_NAME})
      XChangeProperty(dpy, m.xid, name, atoms.UTF8_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(m.title.data()), int(m.title.size()));
    XStoreName(dpy, m.xid, m.title.c_str());
  }
  if (m.owner != w->owner) {
    m.owner = w->owner;
    Mirror* o = Find(w->owner);
    if (o && o->xid) XSetTransientForHint(dpy, m.xid, o->xid);
    else XDeleteProperty(dpy, m.xid, atoms.WM_TRANSIENT_FOR);
  }
  if ((m.exStyle ^ w->exStyle) & WS_EX_TOPMOST) {
    const bool above = w->exStyle & WS_EX_TOPMOST;
    if (m.mapped && windowManager) {
      SendClientMessage(root, atoms._NET_WM_STATE, above ? 1 : 0, long(atoms._NET_WM_STATE_ABOVE), 0, 1, 0,
                        SubstructureRedirectMask | SubstructureNotifyMask);
      SendClientMessage(m.xid, atoms._NET_WM_STATE, above ? 1 : 0, long(atoms._NET_WM_STATE_ABOVE), 0, 1, 0);
    }
    if (above)
      XChangeProperty(dpy, m.xid, atoms._NET_WM_STATE, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&atoms._NET_WM_STATE_ABOVE), 1);
    else
      XDeleteProperty(dpy, m.xid, atoms._NET_WM_STATE);
  }
  m.exStyle = w->exStyle;
}

void TX11Backend::Impl::SendClientMessage(::Window to, Atom type, long l0, long l1, long l2, long l3, long l4,
                                          long mask) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = to;
  e.xclient.message_type = type;
  e.xclient.format = 32;
  long l[5] = {l0, l1, l2, l3, l4};
  for (int i = 0; i < 5; ++i) e.xclient.data.l[i] = l[i];
  XSendEvent(dpy, to == root ? root : to, False, mask, &e);
}

void TX11Backend::Impl::CheckCompositor() {
  const bool now = XGetSelectionOwner(dpy, atoms.cmSelection) != None;
  compositorCheckedAt = Now();
  if (now == compositor) return;
  compositor = now;
  for (auto& [h, m] : mirrors)
    if (win::Window* w = win::Get(h)) MatchVisual(m, w);
}

// The visual of a window cannot change: a layered window whose alpha the
// compositor should now show, or no longer can, is made again.
void TX11Backend::Impl::MatchVisual(Mirror& m, win::Window* w) {
  if ((WantsArgb(w) && hasArgb && compositor) == m.argb) return;
  const bool wasMapped = m.mapped;
  DestroyXWindow(m);
  CreateXWindow(m, w);
  if (m.icon) WriteIcon(m);
  if (wasMapped) {
    XMapRaised(dpy, m.xid);
    m.mapped = true;
  }
}

// Layer state that has no notification of its own: titles, owners, the
// topmost flag, layered visuals, the capture's pointer grab and activation.
void TX11Backend::Impl::SyncState() {
  if (Now() - compositorCheckedAt >= 1000) CheckCompositor();
  for (auto& [h, m] : mirrors) {
    win::Window* w = win::Get(h);
    if (!w) continue;
    MatchVisual(m, w);
    SyncProperties(m, w);
  }
  win::State& s = win::S();
  HWND captureRoot = nullptr;
  if (win::Window* c = win::Get(s.capture)) captureRoot = win::Root(c)->handle;
  if (captureRoot != grabbed) {
    if (grabbed) XUngrabPointer(dpy, CurrentTime);
    grabbed = nullptr;
    Mirror* m = Find(captureRoot);
    if (m && m->mapped &&
        XGrabPointer(dpy, m->xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
      grabbed = captureRoot;
  }
  if (s.active != focusRequested) {
    Mirror* m = Find(s.active);
    if (m && m->mapped && !m->popup) {
      if (windowManager) SendClientMessage(root, atoms._NET_ACTIVE_WINDOW, 1, long(lastTime), 0, 0, 0,
                                           SubstructureRedirectMask | SubstructureNotifyMask);
      else XSetInputFocus(dpy, m->xid, RevertToParent, CurrentTime);
      focusRequested = s.active;
    } else if (!s.active) {
      focusRequested = nullptr;
    }
  }
}

void TX11Backend::Impl::ApplyShape(Mirror& m, win::Window* w) {
  m.shapeDirty = false;
  if (!hasShape) return;
  const int width = std::max(1, int(w->rect.right - w->rect.left));
  const int height = std::max(1, int(w->rect.bottom - w->rect.top));
  const bool layered = w->exStyle & WS_EX_LAYERED;
  const bool alphaShape = layered && w->perPixelAlpha && !m.argb;
  const bool keyShape = layered && (w->layeredFlags & LWA_COLORKEY);
  // Whole-window opacity: the compositor applies it; without one it has no effect.
  unsigned long opacity = 0xFFFFFFFFul;
  if (layered && (w->layeredFlags & LWA_ALPHA) && w->layeredAlpha < 255) opacity = 0x01010101ul * w->layeredAlpha;
  if (opacity != m.opacity) {
    m.opacity = opacity;
    if (opacity == 0xFFFFFFFFul) {
      XDeleteProperty(dpy, m.xid, atoms._NET_WM_WINDOW_OPACITY);
    } else {
      long v = long(opacity);
      XChangeProperty(dpy, m.xid, atoms._NET_WM_WINDOW_OPACITY, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&v), 1);
    }
  }
  ApplyInputShape(m, w);
  if (!w->shape && !alphaShape && !keyShape) {
    XShapeCombineMask(dpy, m.xid, ShapeBounding, 0, 0, None, ShapeSet);
    return;
  }
  std::vector<XRectangle> rects;
  if (w->shape) {
    const int n = GetRegionRects(w->shape, nullptr, 0);
    std::vector<RECT> rs(size_t(std::max(0, n)));
    if (n > 0) GetRegionRects(w->shape, rs.data(), n);
    for (const RECT& r : rs)
      rects.push_back(XRectangle{short(r.left), short(r.top), (unsigned short)(r.right - r.left),
                                 (unsigned short)(r.bottom - r.top)});
  } else {
    rects.push_back(XRectangle{0, 0, (unsigned short)width, (unsigned short)height});
  }
  XShapeCombineRectangles(dpy, m.xid, ShapeBounding, 0, 0, rects.data(), int(rects.size()), ShapeSet, Unsorted);
  SurfaceView v;
  if ((alphaShape || keyShape) && ViewSurface(w->handle, v)) {
    const COLORREF key = w->layeredKey;
    auto keep = [&](int x, int y) {
      const uint8_t* p = v.Row(y) + x * 4;
      if (alphaShape && p[3] == 0) return false;
      return !keyShape || RGB(p[2], p[1], p[0]) != key;
    };
    std::vector<XRectangle> mask = MaskRects(std::min(width, v.width), std::min(height, v.height), keep);
    XShapeCombineRectangles(dpy, m.xid, ShapeBounding, 0, 0, mask.data(), int(mask.size()), ShapeIntersect,
                            YXBanded);
  }
}

void TX11Backend::Impl::ApplyInputShape(Mirror& m, win::Window* w) {
  // The layer routes the mouse past click-through windows itself; the server
  // must not hand their clicks to them either, or another program's window
  // beneath would never get them.
  const bool layered = w->exStyle & WS_EX_LAYERED;
  if (layered && (w->exStyle & WS_EX_TRANSPARENT)) {
    XShapeCombineRectangles(dpy, m.xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    return;
  }
  // Shown through the compositor, fully transparent pixels keep their place in
  // the bounding shape: only the input shape leaves them out.
  SurfaceView v;
  if (layered && w->perPixelAlpha && m.argb && ViewSurface(w->handle, v)) {
    const int width = std::min(v.width, int(w->rect.right - w->rect.left));
    const int height = std::min(v.height, int(w->rect.bottom - w->rect.top));
    std::vector<XRectangle> mask = MaskRects(width, height, [&](int x, int y) { return v.Row(y)[x * 4 + 3] != 0; });
    XShapeCombineRectangles(dpy, m.xid, ShapeInput, 0, 0, mask.data(), int(mask.size()), ShapeSet, YXBanded);
    return;
  }
  XShapeCombineMask(dpy, m.xid, ShapeInput, 0, 0, None, ShapeSet);
}

void TX11Backend::Impl::FlushImages() {
  lastFlush = Now();
  for (auto& [h, m] : mirrors) {
    win::Window* w = win::Get(h);
    if (!w || !m.xid) continue;
    const bool pixelShape = (w->exStyle & WS_EX_LAYERED) && (w->perPixelAlpha || (w->layeredFlags & LWA_COLORKEY));
    if (m.shapeDirty || (pixelShape && !RectEmptyOrNull(m.dirty))) ApplyShape(m, w);
    if (!m.mapped || RectEmptyOrNull(m.dirty)) continue;
    SurfaceView v;
    if (!ViewSurface(h, v)) continue;
    EnsureImage(m, v.width, v.height);
    RECT r = m.dirty;
    m.dirty = RECT{};
    r.left = std::max(0L, long(r.left));
    r.top = std::max(0L, long(r.top));
    r.right = std::min(long(v.width), long(r.right));
    r.bottom = std::min(long(v.height), long(r.bottom));
    if (RectEmptyOrNull(r)) continue;
    XImage* img = m.image;
    // The surface's byte order is the 32-bit visual's on a little-endian client (blue first).
    const bool direct = img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xFF0000 &&
                        img->green_mask == 0xFF00 && img->blue_mask == 0xFF;
    for (int y = int(r.top); y < r.bottom; ++y) {
      const uint8_t* src = v.Row(y) + r.left * 4;
      if (direct) {
        memcpy(img->data + long(y) * img->bytes_per_line + r.left * 4, src, size_t(r.right - r.left) * 4);
        continue;
      }
      for (int x = int(r.left); x < r.right; ++x, src += 4)
        XPutPixel(img, x, y,
                  (unsigned long)(src[2]) << 16 | (unsigned long)(src[1]) << 8 | src[0] |
                      (m.argb ? (unsigned long)(src[3]) << 24 : 0));
    }
    GC gc = DefaultGC(dpy, screen);
    if (m.argb) gc = XCreateGC(dpy, m.xid, 0, nullptr);
    const unsigned cw = unsigned(r.right - r.left), ch = unsigned(r.bottom - r.top);
    if (m.shmAttached)
      XShmPutImage(dpy, m.xid, gc, img, int(r.left), int(r.top), int(r.left), int(r.top), cw, ch, False);
    else
      XPutImage(dpy, m.xid, gc, img, int(r.left), int(r.top), int(r.left), int(r.top), cw, ch);
    if (m.argb) XFreeGC(dpy, gc);
  }
  XFlush(dpy);
}

long TX11Backend::Impl::WmState(Mirror& m) {
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  long state = WithdrawnState;
  if (XGetWindowProperty(dpy, m.xid, atoms.WM_STATE, 0, 2, False, atoms.WM_STATE, &type, &format, &n, &after,
                         &data) == Success && data) {
    if (n >= 1 && format == 32) state = reinterpret_cast<const long*>(data)[0];
    XFree(data);
  }
  return state;
}

// The window's icon for taskbars and switchers: what WM_GETICON answers, else the class's.
void TX11Backend::Impl::SyncIcon(Mirror& m) {
  const HWND h = m.hwnd;
  HICON icon = reinterpret_cast<HICON>(SendMessageW(h, WM_GETICON, 1 /* big */, 0));
  if (!icon) icon = reinterpret_cast<HICON>(SendMessageW(h, WM_GETICON, 0 /* small */, 0));
  win::Window* w = win::Get(h);
  if (!w || !Find(h)) return;
  if (!icon) icon = w->cls->wc.hIcon ? w->cls->wc.hIcon : w->cls->wc.hIconSm;
  if (icon == m.icon) return;
  m.icon = icon;
  WriteIcon(m);
}

void TX11Backend::Impl::WriteIcon(Mirror& m) {
  const HICON icon = m.icon;
  ICONINFO ii;
  BITMAP bm{};
  if (!icon || !GetIconInfo(icon, &ii)) {
    XDeleteProperty(dpy, m.xid, atoms._NET_WM_ICON);
    return;
  }
  GetObject(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof(bm), &bm);
  const int width = bm.bmWidth, height = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
  for (HBITMAP b : {ii.hbmColor, ii.hbmMask})
    if (b) DeleteObject(b);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP pic = width > 0 && height > 0 ? CreateDIBSection(nullptr, &bi, 0, &bits, nullptr, 0) : nullptr;
  if (!pic) return;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, pic);
  DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  SelectObject(dc, old);
  DeleteDC(dc);
  // Width, height, then straight (not premultiplied) ARGB, one CARDINAL each.
  std::vector<long> data{width, height};
  const uint8_t* p = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < width * height; ++i, p += 4) {
    const unsigned a = p[3];
    auto straight = [&](unsigned c) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0u; };
    data.push_back(long(a << 24 | straight(p[2]) << 16 | straight(p[1]) << 8 | straight(p[0])));
  }
  DeleteObject(pic);
  XChangeProperty(dpy, m.xid, atoms._NET_WM_ICON, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), int(data.size()));
}

// The keyboard went to another program: the layer deactivates, as the
// application does when the user switches away (menus close, carets stop).
void TX11Backend::Impl::CheckFocusLeft() {
  focusLeft = false;
  ::Window focus = None;
  int revert;
  XGetInputFocus(dpy, &focus, &revert);
  if (focus == None || focus == PointerRoot || focus == helper || FindX(focus)) return;
  if (!win::S().active) return;
  focusRequested = nullptr;
  win::ActivateWindow(nullptr, WA_INACTIVE);
}

POINT TX11Backend::Impl::LayerPoint(Mirror& m, int x, int y) {
  // Relative to the layer's own idea of where the window is, so that input
  // and hit testing agree even while a window manager's move is under way.
  RECT r{};
  GetWindowRect(m.hwnd, &r);
  return POINT{r.left + x, r.top + y};
}

// ---- Impl: events ----

void TX11Backend::Impl::Handle(XEvent& e) {
  switch (e.type) {
    case KeyPress:
    case KeyRelease: lastTime = e.xkey.time; break;
    case ButtonPress:
    case ButtonRelease: lastTime = e.xbutton.time; break;
    case MotionNotify: lastTime = e.xmotion.time; break;
    case EnterNotify:
    case LeaveNotify: lastTime = e.xcrossing.time; break;
    case PropertyNotify: lastTime = e.xproperty.time; break;
  }
  if (e.type == SelectionRequest) return HandleSelectionRequest(e.xselectionrequest);
  if (e.type == SelectionClear) return HandleSelectionClear(e.xselectionclear);
  if (e.type == PropertyNotify) return HandleOutgoingProperty(e.xproperty);
  if (e.type == MappingNotify) {
    XRefreshKeyboardMapping(&e.xmapping);
    return;
  }
  if (e.type == ClientMessage && e.xclient.window == root) return;
  Mirror* m = FindX(e.xany.window);
  if (!m) {
    if (e.type == ClientMessage) HandleDnd(e.xclient);
    return;
  }
  const HWND h = m->hwnd;
  switch (e.type) {
    case Expose: {
      const RECT r{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height};
      UnionRect(&m->dirty, &m->dirty, &r);
      break;
    }
    case MapNotify:
      m->dirty = RECT{0, 0, m->xrect.right - m->xrect.left, m->xrect.bottom - m->xrect.top};
      if (m->iconic) {
        // The window manager brought the minimised window back (a taskbar click).
        m->iconic = false;
        if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
      }
      break;
    case UnmapNotify:
      if (m->mapped && !m->iconic && !m->popup && WmState(*m) == IconicState) {
        // Unmapped while shown, not by us: the window manager minimised it.
        m->iconic = true;
        if (!IsIconic(h)) ShowWindow(h, SW_MINIMIZE);
      }
      break;
    case ConfigureNotify: {
      const XConfigureEvent& c = e.xconfigure;
      if (!e.xany.send_event && m->pendingConfigures > 0) {
        --m->pendingConfigures;  // the echo of our own request
        break;
      }
      int x = c.x, y = c.y;
      if (!e.xany.send_event) {
        ::Window child;
        XTranslateCoordinates(dpy, m->xid, root, 0, 0, &x, &y, &child);
      }
      const RECT now{x, y, x + c.width, y + c.height};
      if (EqualRect(&now, &m->xrect)) {
        m->pendingConfigures = 0;
        break;
      }
      if (m->popup) break;
      // The window manager moved or sized the window: the layer follows.
      m->xrect = now;
      SetWindowPos(h, nullptr, x, y, c.width, c.height, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case ButtonPress:
    case ButtonRelease: {
      const POINT p = LayerPoint(*m, e.xbutton.x, e.xbutton.y);
      const bool down = e.type == ButtonPress;
      switch (e.xbutton.button) {
        case Button1: InjectMouseButton(TMouseButton::Left, down, p.x, p.y); break;
        case Button2: InjectMouseButton(TMouseButton::Middle, down, p.x, p.y); break;
        case Button3: InjectMouseButton(TMouseButton::Right, down, p.x, p.y); break;
        case Button4:
        case Button5:
          if (down) InjectMouseWheel(e.xbutton.button == Button4 ? 120 : -120, p.x, p.y);
          break;
      }
      break;
    }
    case MotionNotify: {
      // Only the latest position of a burst matters.
      XEvent next;
      while (XCheckTypedWindowEvent(dpy, m->xid, MotionNotify, &next)) e = next;
      lastTime = e.xmotion.time;
      const POINT p = LayerPoint(*m, e.xmotion.x, e.xmotion.y);
      InjectMouseMove(p.x, p.y);
      break;
    }
    case EnterNotify:
    case LeaveNotify:
      if (e.xcrossing.mode == NotifyNormal) {
        const POINT p = LayerPoint(*m, e.xcrossing.x, e.xcrossing.y);
        InjectMouseMove(p.x, p.y);
      }
      break;
    case KeyPress:
    case KeyRelease: HandleKey(e.xkey, m); break;
    case FocusIn:
      if (m->ic) XSetICFocus(m->ic);
      if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab && win::S().active != h &&
          IsWindowEnabled(h) && IsWindowVisible(h)) {
        focusRequested = h;
        SetActiveWindow(h);
      }
      break;
    case FocusOut:
      if (m->ic) XUnsetICFocus(m->ic);
      if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab && e.xfocus.detail != NotifyInferior)
        focusLeft = true;
      break;
    case ClientMessage:
      if (e.xclient.message_type == atoms.WM_PROTOCOLS) {
        const Atom what = Atom(e.xclient.data.l[0]);
        if (what == atoms.WM_DELETE_WINDOW) {
          if (IsWindowEnabled(h)) PostMessageW(h, WM_CLOSE, 0, 0);
        } else if (what == atoms.WM_TAKE_FOCUS) {
          if (IsWindowEnabled(h))
            XSetInputFocus(dpy, m->xid, RevertToParent, Time(e.xclient.data.l[1]));
        } else if (what == atoms._NET_WM_PING) {
          XEvent reply = e;
          reply.xclient.window = root;
          XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &reply);
        }
      } else {
        HandleDnd(e.xclient);
      }
      break;
  }
}

namespace {

int VirtualKey(KeySym k) {
  if (k >= XK_a && k <= XK_z) return int('A' + (k - XK_a));
  if (k >= XK_A && k <= XK_Z) return int('A' + (k - XK_A));
  if (k >= XK_0 && k <= XK_9) return int('0' + (k - XK_0));
  if (k >= XK_F1 && k <= XK_F24) return 0x70 + int(k - XK_F1);
  if (k >= XK_KP_0 && k <= XK_KP_9) return 0x60 + int(k - XK_KP_0);
  switch (k) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return: case XK_KP_Enter: return VK_RETURN;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_Pause: return 0x13;
    case XK_Caps_Lock: return 0x14;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Prior: case XK_KP_Prior: return VK_PRIOR;
    case XK_Next: case XK_KP_Next: return VK_NEXT;
    case XK_End: case XK_KP_End: return VK_END;
    case XK_Home: case XK_KP_Home: return VK_HOME;
    case XK_Left: case XK_KP_Left: return VK_LEFT;
    case XK_Up: case XK_KP_Up: return VK_UP;
    case XK_Right: case XK_KP_Right: return VK_RIGHT;
    case XK_Down: case XK_KP_Down: return VK_DOWN;
    case XK_Insert: case XK_KP_Insert: return VK_INSERT;
    case XK_Delete: case XK_KP_Delete: return VK_DELETE;
    case XK_Super_L: return 0x5B;
    case XK_Super_R: return 0x5C;
    case XK_Menu: return 0x5D;
    case XK_KP_Multiply: return 0x6A;
    case XK_KP_Add: return 0x6B;
    case XK_KP_Subtract: return 0x6D;
    case XK_KP_Decimal: return 0x6E;
    case XK_KP_Divide: return 0x6F;
    case XK_Num_Lock: return 0x90;
    case XK_Scroll_Lock: return 0x91;
    case XK_semicolon: case XK_colon: return 0xBA;
    case XK_equal: case XK_plus: return 0xBB;
    case XK_comma: case XK_less: return 0xBC;
    case XK_minus: case XK_underscore: return 0xBD;
    case XK_period: case XK_greater: return 0xBE;
    case XK_slash: case XK_question: return 0xBF;
    case XK_grave: case XK_asciitilde: return 0xC0;
    case XK_bracketleft: case XK_braceleft: return 0xDB;
    case XK_backslash: case XK_bar: return 0xDC;
    case XK_bracketright: case XK_braceright: return 0xDD;
    case XK_apostrophe: case XK_quotedbl: return 0xDE;
  }
  return 0;
}

// Decodes UTF-8 into code points; malformed bytes are skipped.
std::u32string DecodeUtf8(const char* s, size_t n) {
  std::u32string out;
  for (size_t i = 0; i < n;) {
    const uint8_t c = uint8_t(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + size_t(len) > n) {
      ++i;
      continue;
    }
    char32_t cp = len == 1 ? c : c & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      const uint8_t cc = uint8_t(s[i + size_t(k)]);
      ok = ok && (cc >> 6) == 2;
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += ok ? size_t(len) : 1;
    if (ok) out.push_back(cp);
  }
  return out;
}

// The character of a key sym without an input method (Latin-1 and Unicode key syms).
char32_t KeySymChar(KeySym k, const char* latin, int n) {
  if (k >= 0x01000100 && k <= 0x0110FFFF) return char32_t(k - 0x01000000);
  if (n == 1) return char32_t(uint8_t(latin[0]));
  if ((k >= 0x20 && k <= 0x7E) || (k >= 0xA0 && k <= 0xFF)) return char32_t(k);
  return 0;
}

}  // namespace

void TX11Backend::Impl::HandleKey(XKeyEvent& e, Mirror* m) {
  char buf[64];
  KeySym sym = NoSymbol;
  std::u32string text;
  if (e.type == KeyPress && m && m->ic) {
    Status status = 0;
    int n = Xutf8LookupString(m->ic, &e, buf, sizeof(buf), &sym, &status);
    std::string big;
    if (status == XBufferOverflow) {
      big.resize(size_t(n));
      n = Xutf8LookupString(m->ic, &e, big.data(), n, &sym, &status);
    }
    const char* data = big.empty() ? buf : big.data();
    if (status == XLookupChars || status == XLookupBoth) text = DecodeUtf8(data, size_t(std::max(0, n)));
    if (status != XLookupKeySym && status != XLookupBoth) sym = NoSymbol;
  } else {
    const int n = XLookupString(&e, buf, sizeof(buf), &sym, nullptr);
    if (e.type == KeyPress)
      if (char32_t c = KeySymChar(sym, buf, n)) text.push_back(c);
  }
  if (sym == NoSymbol && e.type == KeyRelease) sym = XLookupKeysym(&e, 0);
  if (const int vk = VirtualKey(sym)) InjectKey(vk, e.type == KeyPress);
  for (char32_t c : text)
    if (c != 0x7F) InjectChar(c);  // Delete is a key, not a character
}

// ---- The backend ----

TX11Backend::TX11Backend(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TX11Backend::~TX11Backend() { impl_->HandOverClipboard(); }

std::unique_ptr<TX11Backend> TX11Backend::Open(const char* displayName, std::string& error) {
  const char* shown = displayName ? displayName : getenv("DISPLAY");
  if (!shown || !*shown) {
    error = "no display to show windows on (DISPLAY is not set)";
    return nullptr;
  }
  // The input method needs a locale for its character set; only LC_CTYPE changes.
  if (const char* ct = setlocale(LC_CTYPE, nullptr); ct && (!strcmp(ct, "C") || !strcmp(ct, "POSIX"))) {
    if (!setlocale(LC_CTYPE, "") || !XSupportsLocale()) setlocale(LC_CTYPE, "C.UTF-8");
  }
  XSetErrorHandler(IgnoreErrors);
  XSetIOErrorHandler([](Display*) -> int {
    fprintf(stderr, "tarnwick: the connection to the display was lost\n");
    exit(1);
  });
  Display* dpy = XOpenDisplay(displayName);
  if (!dpy) {
    error = std::string("cannot open the display \"") + shown + "\"";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  Impl& d = *impl;
  d.dpy = dpy;
  d.screen = DefaultScreen(dpy);
  d.root = RootWindow(dpy, d.screen);
  d.visual = DefaultVisual(dpy, d.screen);
  d.depth = DefaultDepth(dpy, d.screen);
  std::vector<char*> names;
  std::vector<Atom*> slots;
  std::vector<std::string> owned;
#define TARNWICK_ATOM_NAME(name) owned.push_back(#name), slots.push_back(&d.atoms.name);
  TARNWICK_X11_ATOMS(TARNWICK_ATOM_NAME)
#undef TARNWICK_ATOM_NAME
  for (std::string& n : owned) {
    if (n == "text_plain_utf8") n = "text/plain;charset=utf-8";
    if (n == "text_uri_list") n = "text/uri-list";
  }
  owned.push_back("_NET_WM_CM_S" + std::to_string(d.screen));
  slots.push_back(&d.atoms.cmSelection);
  for (std::string& n : owned) names.push_back(n.data());
  std::vector<Atom> values(names.size());
  XInternAtoms(dpy, names.data(), int(names.size()), False, values.data());
  for (size_t i = 0; i < slots.size(); ++i) *slots[i] = values[i];

  int eventBase, errorBase;
  d.hasShape = XShapeQueryExtension(dpy, &eventBase, &errorBase);
  d.hasShm = XShmQueryExtension(dpy);
  d.hasArgb = XMatchVisualInfo(dpy, d.screen, 32, TrueColor, &d.argbVisual);
  if (d.hasArgb) d.argbColormap = XCreateColormap(dpy, d.root, d.argbVisual.visual, AllocNone);
  {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, d.root, d.atoms._NET_SUPPORTING_WM_CHECK, 0, 1, False, XA_WINDOW, &type, &format,
                           &n, &after, &data) == Success && data) {
      d.windowManager = n == 1;
      XFree(data);
    }
  }
  // Key releases during auto-repeat would read as the key going up and down.
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(dpy, True, &detectable);
  XSetLocaleModifiers("");
  d.im = XOpenIM(dpy, nullptr, nullptr, nullptr);
  if (!d.im) {
    XSetLocaleModifiers("@im=none");
    d.im = XOpenIM(dpy, nullptr, nullptr, nullptr);
  }
  XSetWindowAttributes a{};
  a.event_mask = PropertyChangeMask;
  a.override_redirect = True;
  d.helper = XCreateWindow(dpy, d.root, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                           CWEventMask | CWOverrideRedirect, &a);
  d.CheckCompositor();
  return std::unique_ptr<TX11Backend>(new TX11Backend(std::move(impl)));
}

uint64_t TX11Backend::Now() { return impl_->Now(); }

int TX11Backend::DueIn(uint64_t due) {
  const uint64_t now = impl_->Now();
  return due <= now ? 0 : int(std::min<uint64_t>(due - now, 1u << 30));
}

void TX11Backend::Wait(const std::vector<int>& fds, int timeoutMs) {
  Flush();
  if (XPending(impl_->dpy)) return;
  std::vector<pollfd> p;
  for (int fd : fds) p.push_back(pollfd{fd, POLLIN, 0});
  p.push_back(pollfd{ConnectionNumber(impl_->dpy), POLLIN, 0});
  poll(p.data(), p.size(), timeoutMs);
}

// Runs nested too: a window procedure called while an event is handled (a
// click's WM_MOUSEACTIVATE, a focus change's WM_ACTIVATE) may run a modal
// loop, which must go on serving the display.
void TX11Backend::PumpEvents() {
  Impl& d = *impl_;
  d.SyncState();
  while (XPending(d.dpy)) {
    XEvent e;
    XNextEvent(d.dpy, &e);
    if (XFilterEvent(&e, None)) continue;
    d.Handle(e);
  }
  if (d.focusLeft) d.CheckFocusLeft();
  if (d.Now() - d.lastFlush >= 16) d.FlushImages();
}

void TX11Backend::Flush() {
  impl_->SyncState();
  impl_->FlushImages();
}

std::vector<TMonitorDesc> TX11Backend::Monitors() {
  Impl& d = *impl_;
  TMonitorDesc m;
  m.Bounds = RECT{0, 0, DisplayWidth(d.dpy, d.screen), DisplayHeight(d.dpy, d.screen)};
  m.WorkArea = m.Bounds;
  m.Primary = true;
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d.dpy, d.root, d.atoms._NET_WORKAREA, 0, 4, False, XA_CARDINAL, &type, &format, &n,
                         &after, &data) == Success && data) {
    if (n == 4 && format == 32) {
      const long* l = reinterpret_cast<const long*>(data);
      m.WorkArea = RECT{int(l[0]), int(l[1]), int(l[0] + l[2]), int(l[1] + l[3])};
    }
    XFree(data);
  }
  return {m};
}

int TX11Backend::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return ShowMessageBoxWindow(owner, text, caption, type);
}

void TX11Backend::WindowCreated(HWND wnd) {
  win::Window* w = win::Get(wnd);
  if (!w) return;
  // Layered windows take their visual from whether a compositor runs now.
  if (w->exStyle & WS_EX_LAYERED) impl_->CheckCompositor();
  Mirror& m = impl_->mirrors[wnd];
  m.hwnd = wnd;
  impl_->CreateXWindow(m, w);
}

void TX11Backend::WindowDestroyed(HWND wnd) {
  Mirror* m = impl_->Find(wnd);
  if (!m) return;
  impl_->DestroyXWindow(*m);
  impl_->mirrors.erase(wnd);
  XFlush(impl_->dpy);
}

void TX11Backend::WindowShown(HWND wnd, bool shown) {
  Impl& d = *impl_;
  Mirror* m = d.Find(wnd);
  win::Window* w = win::Get(wnd);
  if (!m || !w || m->mapped == shown) return;
  m->mapped = shown;
  if (shown) {
    d.SyncIcon(*m);
    if (!(m = d.Find(wnd)) || !(w = win::Get(wnd))) return;
    d.SyncProperties(*m, w);
    // Managed windows keep their place; sizeable ones the limits the window asks
    // for (a form's constraints), a fixed frame its size.
    XSizeHints hints{};
    hints.flags = PPosition | USPosition | PSize | PMinSize;
    hints.x = w->rect.left;
    hints.y = w->rect.top;
    hints.width = hints.min_width = w->rect.right - w->rect.left;
    hints.height = hints.min_height = w->rect.bottom - w->rect.top;
    if (w->style & WS_THICKFRAME) {
      const MINMAXINFO mmi = win::AskMinMaxInfo(w);
      if (!(m = d.Find(wnd)) || !(w = win::Get(wnd))) return;
      hints.min_width = std::min(hints.width, int(mmi.ptMinTrackSize.x));
      hints.min_height = std::min(hints.height, int(mmi.ptMinTrackSize.y));
      if (mmi.ptMaxTrackSize.x < 32767 || mmi.ptMaxTrackSize.y < 32767) {
        hints.flags |= PMaxSize;
        hints.max_width = std::max(hints.width, int(mmi.ptMaxTrackSize.x));
        hints.max_height = std::max(hints.height, int(mmi.ptMaxTrackSize.y));
      }
    }
    XSetWMNormalHints(d.dpy, m->xid, &hints);
    m->shapeDirty = true;
    d.ApplyShape(*m, w);
    XMapRaised(d.dpy, m->xid);
    m->dirty = RECT{0, 0, hints.width, hints.height};
  } else if (m->popup || !d.windowManager) {
    XUnmapWindow(d.dpy, m->xid);
  } else {
    XWithdrawWindow(d.dpy, m->xid, d.screen);
  }
  XFlush(d.dpy);
}

void TX11Backend::WindowMoved(HWND wnd, const RECT& r) {
  Impl& d = *impl_;
  Mirror* m = d.Find(wnd);
  if (!m) return;
  // Under a window manager a minimised window goes to its taskbar, keeping its place.
  if (d.windowManager && !m->popup) {
    if (IsIconic(wnd)) {
      if (!m->iconic && m->mapped) XIconifyWindow(d.dpy, m->xid, d.screen);
      m->iconic = true;
      return;
    }
    if (m->iconic) {
      m->iconic = false;
      if (m->mapped) XMapRaised(d.dpy, m->xid);
    }
  }
  const RECT want{r.left, r.top, r.left + std::max(1, int(r.right - r.left)),
                  r.top + std::max(1, int(r.bottom - r.top))};
  if (EqualRect(&want, &m->xrect)) return;
  const bool sized = want.right - want.left != m->xrect.right - m->xrect.left ||
                     want.bottom - want.top != m->xrect.bottom - m->xrect.top;
  m->xrect = want;
  m->pendingConfigures++;
  XMoveResizeWindow(d.dpy, m->xid, want.left, want.top, unsigned(want.right - want.left),
                    unsigned(want.bottom - want.top));
  if (sized) {
    m->shapeDirty = true;
    m->dirty = RECT{0, 0, want.right - want.left, want.bottom - want.top};
  }
}

void TX11Backend::ZOrderChanged() {
  Impl& d = *impl_;
  std::vector<::Window> order;  // front first, as XRestackWindows wants
  for (HWND h : win::S().topLevel)
    if (Mirror* m = d.Find(h); m && m->mapped) order.push_back(m->xid);
  if (order.size() > 1) XRestackWindows(d.dpy, order.data(), int(order.size()));
}

void TX11Backend::SurfaceChanged(HWND wnd, const RECT& r) {
  if (Mirror* m = impl_->Find(wnd)) UnionRect(&m->dirty, &m->dirty, &r);
}

void TX11Backend::ShapeChanged(HWND wnd) {
  if (Mirror* m = impl_->Find(wnd)) m->shapeDirty = true;
}

void TX11Backend::SetCursorShape(int shape) {
  Impl& d = *impl_;
  if (shape == d.cursorShape) return;
  d.cursorShape = shape;
  if (d.cursor) XFreeCursor(d.dpy, d.cursor);
  d.cursor = 0;
  if (shape == 0) {
    // Hidden: a cursor made of an empty bitmap.
    char none = 0;
    Pixmap p = XCreateBitmapFromData(d.dpy, d.root, &none, 1, 1);
    XColor black{};
    d.cursor = XCreatePixmapCursor(d.dpy, p, p, &black, &black, 0, 0);
    XFreePixmap(d.dpy, p);
  } else {
    d.cursor = XCreateFontCursor(d.dpy, unsigned(CursorFontShape(shape)));
  }
  for (auto& [h, m] : d.mirrors) XDefineCursor(d.dpy, m.xid, d.cursor);
  XFlush(d.dpy);
}

_XDisplay* TX11Backend::XDisplay() const { return impl_->dpy; }

unsigned long TX11Backend::XWindowOf(HWND wnd) const {
  Mirror* m = impl_->Find(wnd);
  return m ? m->xid : 0;
}

bool TX11Backend::CompositingManager() const { return impl_->compositor; }

void UseDisplayBackendOrExit() {
  std::string error;
  auto backend = TX11Backend::Open(nullptr, error);
  if (!backend) {
    fprintf(stderr, "tarnwick: %s\n", error.c_str());
    exit(1);
  }
  SetWindowBackend(std::move(backend));
}
