// Surfaces, device contexts over them, update regions and the paint cycle.

#include <algorithm>
#include <mutex>

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
void Invalidate(Window* w, HRGN rgn, bool erase, int childMode) {
  if (!Visible(w)) return;
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
  Window* w = Get(wnd);
  if (!w) return FALSE;
  Invalidate(w, rgn, erase, 1);
  return TRUE;
}

BOOL InvalidateRect(HWND wnd, const RECT* r, BOOL erase) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  HRGN rgn = r ? CreateRectRgnIndirect(r) : nullptr;
  Invalidate(w, rgn, erase, 1);
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
  Window* w = Get(wnd);
  if (!w) return FALSE;
  const int childMode = (flags & RDW_ALLCHILDREN) ? 2 : (flags & RDW_NOCHILDREN) ? 0 : 1;
  HRGN area = rgn ? nullptr : r ? CreateRectRgnIndirect(r) : nullptr;
  HRGN use = rgn ? rgn : area;
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
    if (index < 0 || index > COLOR_MENUBAR) return nullptr;
    color = GetSysColor(index);
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
