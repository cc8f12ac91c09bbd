// Surfaces, device contexts over them, update regions and the paint cycle.

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win/WinInternal.h"

namespace win {

namespace {

HRGN EmptyRgn() { return CreateRectRgn(0, 0, 0, 0); }

bool RgnEmpty(HRGN r) {
  RECT b;
  return GetRgnBox(r, &b) == NULLREGION;
}

Window* OwnerOfDcWindow(const DcRecord& d) { return Get(d.wnd); }

void ApplyDc(DcRecord& d) {
  Window* w = OwnerOfDcWindow(d);
  if (!w) return;
  Window* root = Root(w);
  if (root->surface) SelectObject(d.dc, root->surface);
  POINT o = SurfaceOrigin(w);
  if (!d.window) {
    o.x += w->client.left;
    o.y += w->client.top;
  }
  SetViewportOrgEx(d.dc, o.x, o.y, nullptr);
  HRGN vis = VisibleRegion(w, !d.window);
  if (d.extraClip) {
    HRGN extra = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(extra, d.extraClip, nullptr, RGN_COPY);
    OffsetRgn(extra, o.x, o.y);
    CombineRgn(vis, vis, extra, RGN_AND);
    DeleteObject(extra);
  }
  SelectClipRgn(d.dc, vis);
  DeleteObject(vis);
}

void SubtractWindow(HRGN rgn, Window* w) {
  POINT o = SurfaceOrigin(w);
  RECT r = WindowRectOf(w);
  OffsetRect(&r, o.x, o.y);
  HRGN cut = CreateRectRgnIndirect(&r);
  CombineRgn(rgn, rgn, cut, RGN_DIFF);
  DeleteObject(cut);
}

void IntersectRectRgn(HRGN rgn, const RECT& r) {
  HRGN x = CreateRectRgnIndirect(&r);
  CombineRgn(rgn, rgn, x, RGN_AND);
  DeleteObject(x);
}

// Invalidation mode for children: 0 none, 1 unless WS_CLIPCHILDREN, 2 all.
// A window that shows a picture given by UpdateLayeredWindow is never painted
// (nor erased): its picture stays until the next update.
bool PictureWindow(Window* w) {
  const Window* root = Root(w);
  return (root->exStyle & WS_EX_LAYERED) && root->perPixelAlpha;
}

void Invalidate(Window* w, HRGN rgn, bool erase, int childMode) {
  if (!Visible(w) || PictureWindow(w)) return;
  RECT cr = ClientRectOf(w);
  HRGN add = CreateRectRgnIndirect(&cr);
  if (rgn) CombineRgn(add, add, rgn, RGN_AND);
  if (RgnEmpty(add)) {
    DeleteObject(add);
    return;
  }
  if (!w->update) {
    w->update = EmptyRgn();
  }
  CombineRgn(w->update, w->update, add, RGN_OR);
  if (erase) w->erasePending = true;
  if (childMode == 2 || (childMode == 1 && !(w->style & WS_CLIPCHILDREN))) {
    for (HWND k : w->children) {
      Window* c = Get(k);
      if (!(c->style & WS_VISIBLE)) continue;
      HRGN part = CreateRectRgn(0, 0, 0, 0);
      CombineRgn(part, add, nullptr, RGN_COPY);
      IntersectRectRgn(part, c->rect);
      if (!RgnEmpty(part)) {
        const RECT whole = WindowRectOf(c);
        if (!EqualRect(&c->client, &whole)) c->ncPending = true;
        OffsetRgn(part, -(c->rect.left + c->client.left), -(c->rect.top + c->client.top));
        Invalidate(c, part, erase, childMode);
      }
      DeleteObject(part);
    }
  }
  DeleteObject(add);
}

Window* FindPaintIn(Window* w) {
  if (!(w->style & WS_VISIBLE)) return nullptr;
  if (w->update || w->ncPending) return w;
  for (HWND k : w->children)
    if (Window* p = FindPaintIn(Get(k))) return p;
  return nullptr;
}

}  // namespace

void EnsureSurface(Window* root) {
  const int w = std::max(1, int(root->rect.right - root->rect.left));
  const int h = std::max(1, int(root->rect.bottom - root->rect.top));
  BITMAP bm{};
  if (root->surface && GetObject(root->surface, sizeof(bm), &bm) && bm.bmWidth == w && bm.bmHeight == h) return;
  HBITMAP old = root->surface;
  root->surface = CreateCompatibleBitmap(nullptr, w, h);
  if (old) {
    // The picture so far stays until its windows paint again: a resized
    // window shows no black while its controls catch up.
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, old), oldTo = SelectObject(to, root->surface);
    BitBlt(to, 0, 0, std::min(w, int(bm.bmWidth)), std::min(h, int(bm.bmHeight)), from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
  }
  RefreshDcs(root);
  if (old) DeleteObject(old);
}

void RefreshDcs(Window* root) {
  for (DcRecord& d : S().dcs) {
    Window* w = Get(d.wnd);
    if (w && Root(w) == root) ApplyDc(d);
  }
}

void ReleaseDcsOf(HWND wnd) {
  auto& dcs = S().dcs;
  for (auto it = dcs.begin(); it != dcs.end();) {
    if (it->wnd != wnd) {
      ++it;
      continue;
    }
    SelectObject(it->dc, it->oldBitmap);
    DeleteDC(it->dc);
    if (it->extraClip) DeleteObject(it->extraClip);
    it = dcs.erase(it);
  }
}

namespace {
// Keeps rgn (surface coordinates) inside the window's shape, when it has one.
void IntersectShape(HRGN rgn, Window* w) {
  if (!w->shape) return;
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(shape, w->shape, nullptr, RGN_COPY);
  POINT o = SurfaceOrigin(w);
  OffsetRgn(shape, o.x, o.y);
  CombineRgn(rgn, rgn, shape, RGN_AND);
  DeleteObject(shape);
}
}  // namespace

HRGN VisibleRegion(Window* w, bool client) {
  if (!Visible(w)) return EmptyRgn();
  POINT o = SurfaceOrigin(w);
  RECT r = client ? w->client : WindowRectOf(w);
  OffsetRect(&r, o.x, o.y);
  HRGN rgn = CreateRectRgnIndirect(&r);
  IntersectShape(rgn, w);
  for (Window* c = w; c->parent;) {
    Window* p = Get(c->parent);
    RECT pc = p->client;
    POINT po = SurfaceOrigin(p);
    OffsetRect(&pc, po.x, po.y);
    IntersectRectRgn(rgn, pc);
    IntersectShape(rgn, p);
    if (c->style & WS_CLIPSIBLINGS) {
      for (HWND sib : p->children) {
        if (sib == c->handle) break;
        Window* s = Get(sib);
        if (s->style & WS_VISIBLE) SubtractWindow(rgn, s);
      }
    }
    c = p;
  }
  if (w->style & WS_CLIPCHILDREN) {
    // Children show only inside the client area: a child that hangs over the
    // edge leaves the frame below it to the window's own painting.
    HRGN kids = EmptyRgn();
    for (HWND k : w->children) {
      Window* c = Get(k);
      if (!(c->style & WS_VISIBLE)) continue;
      RECT r = c->rect;
      OffsetRect(&r, o.x + w->client.left, o.y + w->client.top);
      HRGN one = CreateRectRgnIndirect(&r);
      CombineRgn(kids, kids, one, RGN_OR);
      DeleteObject(one);
    }
    RECT cr = w->client;
    OffsetRect(&cr, o.x, o.y);
    IntersectRectRgn(kids, cr);
    CombineRgn(rgn, rgn, kids, RGN_DIFF);
    DeleteObject(kids);
  }
  return rgn;
}

void InvalidateClient(Window* w, HRGN rgn, bool erase, bool children) { Invalidate(w, rgn, erase, children ? 1 : 0); }

void InvalidateAll(Window* w, HRGN rgn) { Invalidate(w, rgn, true, 2); }

void InvalidateFrame(Window* w) {
  if (PictureWindow(w)) return;
  RECT wr = WindowRectOf(w);
  if (!EqualRect(&wr, &w->client)) w->ncPending = true;
}

void Validate(Window* w) {
  if (w->update) DeleteObject(w->update);
  w->update = nullptr;
  w->erasePending = false;
}

void DiscardPaint(Window* w) {
  Validate(w);
  w->ncPending = false;
  for (HWND k : w->children) DiscardPaint(Get(k));
}

Window* FindPaintWindow(HWND filter) {
  if (filter) {
    Window* w = Get(filter);
    return w && Visible(w) ? FindPaintIn(w) : nullptr;
  }
  for (HWND t : S().topLevel)
    if (Window* p = FindPaintIn(Get(t))) return p;
  return nullptr;
}

bool ViewPixels(HBITMAP bmp, PixelRows32& v) {
  DIBSECTION ds;
  if (!bmp || GetObject(bmp, sizeof(ds), &ds) != int(sizeof(ds)) || !ds.dsBm.bmBits || ds.dsBm.bmBitsPixel != 32)
    return false;
  v.bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
  v.width = ds.dsBm.bmWidth;
  v.height = ds.dsBm.bmHeight;
  v.stride = ds.dsBm.bmWidthBytes;
  v.bottomUp = ds.dsBmih.biHeight > 0;
  return true;
}

namespace {

// One top-level window's surface laid over the screen picture (origin at
// screen point org) as the display shows it: inside its region, its key colour
// left out, its per-pixel or constant alpha applied.
void ComposeWindow(const PixelRows32& screen, POINT org, Window* w) {
  PixelRows32 src;
  if (!ViewPixels(w->surface, src)) return;
  const bool layered = w->exStyle & WS_EX_LAYERED;
  const bool perPixel = layered && w->perPixelAlpha;
  const bool keyed = layered && (w->layeredFlags & LWA_COLORKEY);
  const unsigned constant = layered && (w->layeredFlags & LWA_ALPHA) ? w->layeredAlpha : 255;
  std::vector<RECT> parts;
  const RECT whole{0, 0, std::min(src.width, int(w->rect.right - w->rect.left)),
                   std::min(src.height, int(w->rect.bottom - w->rect.top))};
  if (w->shape) {
    parts.resize(size_t(std::max(0, GetRegionRects(w->shape, nullptr, 0))));
    if (!parts.empty()) GetRegionRects(w->shape, parts.data(), int(parts.size()));
  } else {
    parts.push_back(whole);
  }
  const POINT at{w->rect.left - org.x, w->rect.top - org.y};
  for (RECT r : parts) {
    IntersectRect(&r, &r, &whole);
    const int x0 = std::max(int(r.left), -int(at.x)), x1 = std::min(int(r.right), screen.width - int(at.x));
    const int y0 = std::max(int(r.top), -int(at.y)), y1 = std::min(int(r.bottom), screen.height - int(at.y));
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src.Row(y) + x0 * 4;
      uint8_t* d = screen.Row(y + at.y) + (x0 + at.x) * 4;
      for (int x = x0; x < x1; ++x, s += 4, d += 4) {
        if (keyed && RGB(s[2], s[1], s[0]) == w->layeredKey) continue;
        if (perPixel) {  // premultiplied source, scaled by the constant alpha
          const unsigned a = s[3] * constant / 255;
          for (int c = 0; c < 3; ++c) d[c] = uint8_t(std::min(255u, (s[c] * constant + d[c] * (255 - a)) / 255));
        } else if (constant < 255) {
          for (int c = 0; c < 3; ++c) d[c] = uint8_t((s[c] * constant + d[c] * (255 - constant)) / 255);
        } else {
          d[0] = s[0], d[1] = s[1], d[2] = s[2];
        }
        d[3] = 255;
      }
    }
  }
}

HBITMAP ComposeScreen(POINT& origin) {
  origin = POINT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
  const int width = std::max(1, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  const int height = std::max(1, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  HBITMAP image = CreateCompatibleBitmap(nullptr, width, height);
  PixelRows32 screen;
  if (!ViewPixels(image, screen)) return image;
  for (int y = 0; y < height; ++y) {  // the desktop: black
    uint8_t* d = screen.Row(y);
    for (int x = 0; x < width; ++x) d[x * 4 + 0] = d[x * 4 + 1] = d[x * 4 + 2] = 0, d[x * 4 + 3] = 255;
  }
  const auto& order = S().topLevel;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Window* w = Get(*it);
    if (w && (w->style & WS_VISIBLE) && !(w->style & WS_MINIMIZE)) ComposeWindow(screen, origin, w);
  }
  return image;
}

void InvalidateScreen(HRGN area, bool erase, int childMode, bool frame) {
  std::vector<HWND> order = S().topLevel;
  for (HWND h : order) {
    Window* w = Get(h);
    if (!w || !Visible(w)) continue;
    HRGN part = CreateRectRgnIndirect(&w->rect);
    if (area) CombineRgn(part, part, area, RGN_AND);
    if (!RgnEmpty(part)) {
      HRGN inClient = CreateRectRgn(0, 0, 0, 0);
      CombineRgn(inClient, part, nullptr, RGN_COPY);
      OffsetRgn(inClient, -(w->rect.left + w->client.left), -(w->rect.top + w->client.top));
      Invalidate(w, inClient, erase, childMode);
      DeleteObject(inClient);
      // The frame too, where the area meets it.
      RECT cr = w->client;
      OffsetRect(&cr, w->rect.left, w->rect.top);
      HRGN client = CreateRectRgnIndirect(&cr);
      CombineRgn(part, part, client, RGN_DIFF);
      DeleteObject(client);
      if (frame || !RgnEmpty(part)) InvalidateFrame(w);
    }
    DeleteObject(part);
  }
}

}  // namespace

}  // namespace win

using namespace win;

HBITMAP GetWindowSurface(HWND wnd) {
  Window* w = Get(wnd);
  return w ? Root(w)->surface : nullptr;
}

POINT GetWindowSurfaceOffset(HWND wnd) {
  Window* w = Get(wnd);
  return w ? SurfaceOrigin(w) : POINT{};
}

HDC GetDCEx(HWND wnd, HRGN clip, DWORD flags) {
  if (!wnd) {
    // The screen: a picture of what the top-level windows show now; drawing
    // into it changes nothing on screen.
    DcRecord d;
    POINT origin;
    d.screenImage = ComposeScreen(origin);
    d.dc = CreateCompatibleDC(nullptr);
    d.oldBitmap = SelectObject(d.dc, d.screenImage);
    SetViewportOrgEx(d.dc, -origin.x, -origin.y, nullptr);
    S().dcs.push_back(d);
    return d.dc;
  }
  Window* w = Get(wnd);
  if (!w) return nullptr;
  DcRecord d;
  d.dc = CreateCompatibleDC(nullptr);
  d.wnd = wnd;
  d.window = flags & DCX_WINDOW;
  if (clip && (flags & DCX_INTERSECTRGN)) {
    d.extraClip = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(d.extraClip, clip, nullptr, RGN_COPY);
  }
  Window* root = Root(w);
  EnsureSurface(root);
  d.oldBitmap = SelectObject(d.dc, root->surface);
  S().dcs.push_back(d);
  ApplyDc(S().dcs.back());
  return d.dc;
}

HDC GetDC(HWND wnd) { return GetDCEx(wnd, nullptr, 0); }
HDC GetWindowDC(HWND wnd) { return GetDCEx(wnd, nullptr, DCX_WINDOW); }

int ReleaseDC(HWND, HDC dc) {
  auto& dcs = S().dcs;
  auto it = std::find_if(dcs.begin(), dcs.end(), [&](const DcRecord& d) { return d.dc == dc; });
  if (it == dcs.end()) return 0;
  DcRecord d = *it;
  dcs.erase(it);
  SelectObject(d.dc, d.oldBitmap);
  DeleteDC(d.dc);
  if (d.extraClip) DeleteObject(d.extraClip);
  if (d.screenImage) DeleteObject(d.screenImage);
  if (Window* w = Get(d.wnd)) {
    Window* root = Root(w);
    POINT o = SurfaceOrigin(w);
    RECT r = WindowRectOf(w);
    OffsetRect(&r, o.x, o.y);
    WindowBackend().SurfaceChanged(root->handle, r);
  }
  return 1;
}

HWND WindowFromDC(HDC dc) {
  for (const DcRecord& d : S().dcs)
    if (d.dc == dc) return d.wnd;
  return nullptr;
}

BOOL InvalidateRgn(HWND wnd, HRGN rgn, BOOL erase) {
  if (!wnd) {
    InvalidateScreen(rgn, erase, 1, false);
    return TRUE;
  }
  Window* w = Get(wnd);
  if (!w) return FALSE;
  Invalidate(w, rgn, erase, 1);
  return TRUE;
}

BOOL InvalidateRect(HWND wnd, const RECT* r, BOOL erase) {
  Window* w = Get(wnd);
  if (!w && wnd) return FALSE;
  HRGN rgn = r ? CreateRectRgnIndirect(r) : nullptr;
  if (w) Invalidate(w, rgn, erase, 1);
  else InvalidateScreen(rgn, erase, 1, false);
  if (rgn) DeleteObject(rgn);
  return TRUE;
}

BOOL ValidateRect(HWND wnd, const RECT* r) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  if (!r || !w->update) {
    Validate(w);
    return TRUE;
  }
  HRGN cut = CreateRectRgnIndirect(r);
  CombineRgn(w->update, w->update, cut, RGN_DIFF);
  DeleteObject(cut);
  RECT b;
  if (GetRgnBox(w->update, &b) == NULLREGION) Validate(w);
  return TRUE;
}

BOOL RedrawWindow(HWND wnd, const RECT* r, HRGN rgn, UINT flags) {
  const int childMode = (flags & RDW_ALLCHILDREN) ? 2 : (flags & RDW_NOCHILDREN) ? 0 : 1;
  HRGN area = rgn ? nullptr : r ? CreateRectRgnIndirect(r) : nullptr;
  HRGN use = rgn ? rgn : area;
  if (!wnd) {
    // The desktop: every top-level window the area (screen coordinates) meets.
    std::vector<HWND> met;
    for (HWND h : S().topLevel) {
      Window* t = Get(h);
      RECT box{}, x;
      if (use) GetRgnBox(use, &box);
      if (t && Visible(t) && (!use || IntersectRect(&x, &box, &t->rect))) met.push_back(h);
    }
    if (flags & RDW_INVALIDATE) InvalidateScreen(use, flags & RDW_ERASE, childMode, flags & RDW_FRAME);
    if (area) DeleteObject(area);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
      for (HWND h : met) UpdateWindow(h);
    return TRUE;
  }
  Window* w = Get(wnd);
  if (!w) {
    if (area) DeleteObject(area);
    return FALSE;
  }
  if (flags & RDW_INVALIDATE) {
    Invalidate(w, use, flags & RDW_ERASE, childMode);
    if ((flags & RDW_FRAME) && Visible(w)) InvalidateFrame(w);
  }
  if (flags & RDW_VALIDATE) {
    if (!use) {
      Validate(w);
      if (flags & RDW_FRAME) w->ncPending = false;
    } else if (w->update) {
      CombineRgn(w->update, w->update, use, RGN_DIFF);
      if (RgnEmpty(w->update)) Validate(w);
    }
  }
  if (area) DeleteObject(area);
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(wnd);
  return TRUE;
}

BOOL UpdateWindow(HWND wnd) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  if (Visible(w) && (w->update || w->ncPending)) {
    Send(w, WM_PAINT, 0, 0);
    if (!(w = Get(wnd))) return TRUE;
    Validate(w);
    w->ncPending = false;
  }
  std::vector<HWND> kids = w->children;
  for (HWND k : kids) UpdateWindow(k);
  return TRUE;
}

BOOL GetUpdateRect(HWND wnd, RECT* r, BOOL) {
  Window* w = Get(wnd);
  RECT b{};
  if (w && w->update) GetRgnBox(w->update, &b);
  if (r) *r = b;
  return !IsRectEmpty(&b);
}

int GetUpdateRgn(HWND wnd, HRGN rgn, BOOL) {
  Window* w = Get(wnd);
  if (!w || !rgn) return ERROR;
  if (!w->update) return SetRectRgn(rgn, 0, 0, 0, 0) ? NULLREGION : ERROR;
  return CombineRgn(rgn, w->update, nullptr, RGN_COPY);
}

HDC BeginPaint(HWND wnd, PAINTSTRUCT* ps) {
  Window* w = Get(wnd);
  if (!w || !ps) return nullptr;
  *ps = PAINTSTRUCT{};
  if (w->ncPending) {
    w->ncPending = false;
    Send(w, WM_NCPAINT, 1, 0);
    if (!(w = Get(wnd))) return nullptr;
  }
  HRGN update = w->update ? w->update : EmptyRgn();
  w->update = nullptr;
  const bool erase = w->erasePending;
  w->erasePending = false;
  HDC dc = GetDCEx(wnd, update, DCX_INTERSECTRGN);
  RECT box;
  GetRgnBox(update, &box);
  RECT cr = ClientRectOf(w);
  IntersectRect(&ps->rcPaint, &box, &cr);
  DeleteObject(update);
  ps->hdc = dc;
  ps->fErase = erase ? TRUE : FALSE;
  if (erase) ps->fErase = Send(w, WM_ERASEBKGND, WPARAM(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND wnd, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  ReleaseDC(wnd, ps->hdc);
  return TRUE;
}

HBRUSH GetSysColorBrush(int index) {
  // One brush per colour, kept for the process: callers never delete these.
  static std::mutex lock;
  static auto* brushes = new std::map<COLORREF, HBRUSH>();
  COLORREF color = 0;
  HBRUSH given = nullptr;
  TSysColorOverride o = GetSysColorOverride();
  if (o && o(index, &color, &given)) {
    if (given) return given;
  } else {
    // The override declined the brush: the system's brush, in the system's colour.
    if (index < 0 || index > COLOR_MENUBAR) return nullptr;
    color = GetSystemOwnColor(index);
  }
  std::lock_guard<std::mutex> g(lock);
  HBRUSH& b = (*brushes)[color];
  if (!b) b = CreateSolidBrush(color);
  return b;
}

// ---- Shapes and layered windows ----

int SetWindowRgn(HWND wnd, HRGN rgn, BOOL redraw) {
  Window* w = Get(wnd);
  if (!w) return 0;
  if (w->shape && w->shape != rgn) DeleteObject(w->shape);
  w->shape = rgn;
  Window* root = Root(w);
  RefreshDcs(root);
  if (redraw && Visible(w)) {
    if (w->parent) {
      HRGN area = CreateRectRgnIndirect(&w->rect);
      InvalidateClient(Get(w->parent), area, true, true);
      DeleteObject(area);
    }
    InvalidateFrame(w);
    InvalidateClient(w, nullptr, true, true);
  }
  WindowBackend().ShapeChanged(root->handle);
  return 1;
}

int GetWindowRgn(HWND wnd, HRGN rgn) {
  Window* w = Get(wnd);
  if (!w || !w->shape || !rgn) return ERROR;
  return CombineRgn(rgn, w->shape, nullptr, RGN_COPY);
}

BOOL SetLayeredWindowAttributes(HWND wnd, COLORREF key, BYTE alpha, DWORD flags) {
  Window* w = Get(wnd);
  if (!w || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
  w->layeredKey = key;
  w->layeredAlpha = alpha;
  w->layeredFlags = flags;
  w->perPixelAlpha = false;
  WindowBackend().ShapeChanged(Root(w)->handle);
  return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND wnd, COLORREF* key, BYTE* alpha, DWORD* flags) {
  Window* w = Get(wnd);
  if (!w || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
  if (key) *key = w->layeredKey;
  if (alpha) *alpha = w->layeredAlpha;
  if (flags) *flags = w->layeredFlags | (w->perPixelAlpha ? LWA_ALPHA : 0);
  return TRUE;
}

BOOL UpdateLayeredWindow(HWND wnd, HDC, const POINT* dstPos, const SIZE* size, HDC src, const POINT* srcPos,
                         COLORREF key, const BLENDFUNCTION* blend, DWORD flags) {
  Window* w = Get(wnd);
  if (!w || !IsTopLevel(w) || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
  if (dstPos || size) {
    UINT swp = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | (dstPos ? 0 : SWP_NOMOVE) | (size ? 0 : SWP_NOSIZE);
    SetWindowPos(wnd, nullptr, dstPos ? dstPos->x : 0, dstPos ? dstPos->y : 0, size ? size->cx : 0,
                 size ? size->cy : 0, swp);
    if (!(w = Get(wnd))) return FALSE;
  }
  EnsureSurface(w);
  RECT whole = WindowRectOf(w);
  if (src) {
    // Straight into the surface: a layered window's picture is set even while it is hidden.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, w->surface);
    BitBlt(dc, 0, 0, whole.right, whole.bottom, src, srcPos ? srcPos->x : 0, srcPos ? srcPos->y : 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  w->layeredKey = key;
  w->layeredAlpha = blend ? blend->SourceConstantAlpha : 255;
  w->layeredFlags = ((flags & ULW_COLORKEY) ? LWA_COLORKEY : 0) | (blend ? LWA_ALPHA : 0);
  w->perPixelAlpha = (flags & ULW_ALPHA) != 0;
  WindowBackend().SurfaceChanged(wnd, whole);
  WindowBackend().ShapeChanged(wnd);
  return TRUE;
}
