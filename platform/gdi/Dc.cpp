// Device contexts over bitmaps: selected objects, origin, clip region and colours.

#include "platform/gdi/GdiInternal.h"

using namespace gdi;

namespace {

HDC__* Dc(HDC h) { return As<HDC__>(h, OBJ_DC); }

constexpr int kHuge = 1 << 29;  // "everything" for clip operations without a clip region

void Select(HGDIOBJ& slot, HGDIOBJ obj) {
  if (slot == obj) return;
  if (slot) {
    if (Object* old = Lookup(slot)) --old->selectedCount;
  }
  slot = obj;
  if (obj) ++static_cast<Object*>(obj)->selectedCount;
}

template <class T>
void SelectTyped(T& slot, HGDIOBJ obj) {
  HGDIOBJ s = slot;
  Select(s, obj);
  slot = static_cast<T>(s);
}

}  // namespace

HDC__::~HDC__() {
  SelectTyped(st.bitmap, nullptr);
  SelectTyped(st.pen, nullptr);
  SelectTyped(st.brush, nullptr);
  SelectTyped(st.font, nullptr);
  if (defaultBitmap) {
    Unregister(defaultBitmap);
    delete defaultBitmap;
  }
}

void HDC__::UpdateVisible() {
  HBITMAP__* b = st.bitmap;
  visible = b ? RegionData::FromRect(0, 0, b->width, b->height) : RegionData{};
  if (hasSurfaceVisible) visible = Combine(visible, surfaceVisible, RGN_AND);
  if (st.hasClip) {
    RegionData clip = st.clip;
    clip.Offset(surfaceOrigin.x, surfaceOrigin.y);
    visible = Combine(visible, clip, RGN_AND);
  }
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new HDC__;
  dc->defaultBitmap = CreateBitmap(1, 1, 1, 1, nullptr);
  dc->defaultBitmap->stock = true;
  Register(dc);
  SelectObject(dc, dc->defaultBitmap);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  return dc;
}

HDC CreateSurfaceDC(HBITMAP surface, POINT origin, HRGN visible) {
  if (!As<HBITMAP__>(surface, OBJ_BITMAP) || (visible && !As<HRGN__>(visible, OBJ_REGION))) return nullptr;
  auto* dc = new HDC__;
  dc->type = OBJ_DC;
  dc->surface = true;
  Register(dc);
  SelectTyped(dc->st.bitmap, surface);  // shared: not bound by the one-DC rule of SelectObject
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetSurfaceDCVisible(dc, origin, visible);
  return dc;
}

BOOL SetSurfaceDCVisible(HDC h, POINT origin, HRGN visible) {
  HDC__* dc = Dc(h);
  HRGN__* v = visible ? As<HRGN__>(visible, OBJ_REGION) : nullptr;
  if (!dc || !dc->surface || (visible && !v)) return FALSE;
  dc->surfaceOrigin = origin;
  dc->hasSurfaceVisible = v != nullptr;
  dc->surfaceVisible = v ? v->data : RegionData{};
  dc->UpdateVisible();
  return TRUE;
}

BOOL GetDCOrgEx(HDC h, POINT* origin) {
  HDC__* dc = Dc(h);
  if (!dc || !origin) return FALSE;
  *origin = dc->surfaceOrigin;
  return TRUE;
}

BOOL DeleteDC(HDC h) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  Unregister(dc);
  delete dc;
  return TRUE;
}

HGDIOBJ SelectObject(HDC h, HGDIOBJ obj) {
  HDC__* dc = Dc(h);
  Object* o = Lookup(obj);
  if (!dc || !o) return nullptr;
  HGDIOBJ old = nullptr;
  switch (o->type) {
    case OBJ_BITMAP: {
      auto* b = static_cast<HBITMAP__*>(o);
      if (b == dc->st.bitmap) return b;
      // A bitmap may be selected into several DCs at once (the documented interface refuses that): window
      // surfaces are drawn through many. Surface DCs keep their surface.
      if (dc->surface) return nullptr;
      old = dc->st.bitmap;
      SelectTyped(dc->st.bitmap, b);
      dc->UpdateVisible();
      return old;
    }
    case OBJ_PEN:
      old = dc->st.pen;
      SelectTyped(dc->st.pen, obj);
      return old;
    case OBJ_BRUSH:
      old = dc->st.brush;
      SelectTyped(dc->st.brush, obj);
      return old;
    case OBJ_FONT:
      old = dc->st.font;
      SelectTyped(dc->st.font, obj);
      return old;
    case OBJ_REGION:
      return reinterpret_cast<HGDIOBJ>(intptr_t(SelectClipRgn(h, static_cast<HRGN>(obj))));
    default:
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC h, UINT type) {
  HDC__* dc = Dc(h);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_BITMAP: return dc->st.bitmap;
    case OBJ_PEN: return dc->st.pen;
    case OBJ_BRUSH: return dc->st.brush;
    case OBJ_FONT: return dc->st.font;
    default: return nullptr;
  }
}

int SaveDC(HDC h) {
  HDC__* dc = Dc(h);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  return int(dc->saved.size());
}

BOOL RestoreDC(HDC h, int level) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  const int n = int(dc->saved.size());
  if (level < 0) level = n + 1 + level;
  if (level < 1 || level > n) return FALSE;
  DCState s = dc->saved[size_t(level - 1)];
  dc->saved.resize(size_t(level - 1));
  // Objects deleted while saved cannot come back.
  if (dc->surface || !Lookup(s.bitmap, OBJ_BITMAP)) s.bitmap = dc->st.bitmap;
  if (!Lookup(s.pen, OBJ_PEN)) s.pen = dc->st.pen;
  if (!Lookup(s.brush, OBJ_BRUSH)) s.brush = dc->st.brush;
  if (!Lookup(s.font, OBJ_FONT)) s.font = dc->st.font;
  SelectTyped(dc->st.bitmap, s.bitmap);
  SelectTyped(dc->st.pen, s.pen);
  SelectTyped(dc->st.brush, s.brush);
  SelectTyped(dc->st.font, s.font);
  dc->st = std::move(s);
  dc->UpdateVisible();
  return TRUE;
}

BOOL SetViewportOrgEx(HDC h, int x, int y, POINT* old) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.origin;
  dc->st.origin = POINT{x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC h, POINT* org) {
  HDC__* dc = Dc(h);
  if (!dc || !org) return FALSE;
  *org = dc->st.origin;
  return TRUE;
}

BOOL OffsetViewportOrgEx(HDC h, int dx, int dy, POINT* old) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.origin;
  dc->st.origin.x += dx;
  dc->st.origin.y += dy;
  return TRUE;
}

BOOL SetBrushOrgEx(HDC h, int x, int y, POINT* old) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.brushOrigin;
  dc->st.brushOrigin = POINT{x, y};
  return TRUE;
}

int ExtSelectClipRgn(HDC h, HRGN rgn, int mode) {
  HDC__* dc = Dc(h);
  if (!dc) return ERROR;
  if (mode == RGN_COPY) {
    if (!rgn) {
      dc->st.hasClip = false;
      dc->st.clip = RegionData{};
    } else {
      HRGN__* r = As<HRGN__>(rgn, OBJ_REGION);
      if (!r) return ERROR;
      dc->st.clip = r->data;
      dc->st.hasClip = true;
    }
  } else {
    HRGN__* r = As<HRGN__>(rgn, OBJ_REGION);
    if (!r || mode < RGN_AND || mode > RGN_DIFF) return ERROR;
    const RegionData current =
        dc->st.hasClip ? dc->st.clip : RegionData::FromRect(-kHuge, -kHuge, kHuge, kHuge);
    dc->st.clip = Combine(current, r->data, mode);
    dc->st.hasClip = true;
  }
  dc->UpdateVisible();
  return dc->visible.Type();
}

int SelectClipRgn(HDC dc, HRGN rgn) { return ExtSelectClipRgn(dc, rgn, RGN_COPY); }

namespace {

int ClipWithRect(HDC h, int left, int top, int right, int bottom, int mode) {
  HDC__* dc = Dc(h);
  if (!dc) return ERROR;
  const POINT a = dc->ToDevice(left, top), b = dc->ToDevice(right, bottom);
  const RegionData rect =
      RegionData::FromRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
  const RegionData current = dc->st.hasClip ? dc->st.clip : RegionData::FromRect(-kHuge, -kHuge, kHuge, kHuge);
  dc->st.clip = Combine(current, rect, mode);
  dc->st.hasClip = true;
  dc->UpdateVisible();
  return dc->visible.Type();
}

}  // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ClipWithRect(dc, left, top, right, bottom, RGN_AND);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ClipWithRect(dc, left, top, right, bottom, RGN_DIFF);
}

int GetClipBox(HDC h, RECT* r) {
  HDC__* dc = Dc(h);
  if (!dc || !r) return ERROR;
  *r = dc->visible.Box();
  if (!dc->visible.Empty()) {
    const POINT o = dc->ToSurface(0, 0);
    OffsetRect(r, -o.x, -o.y);
  }
  return dc->visible.Type();
}

BOOL RectVisible(HDC h, const RECT* r) {
  HDC__* dc = Dc(h);
  if (!dc || !r) return FALSE;
  bool any = false;
  dc->visible.ForEachRectIn(dc->ToSurface(*r), [&](const RECT&) { any = true; });
  return any ? TRUE : FALSE;
}

int GetClipRgn(HDC h, HRGN rgn) {
  HDC__* dc = Dc(h);
  HRGN__* r = As<HRGN__>(rgn, OBJ_REGION);
  if (!dc || !r) return -1;
  if (!dc->st.hasClip) return 0;
  r->data = dc->st.clip;
  return 1;
}

BOOL PtVisible(HDC h, int x, int y) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  const POINT p = dc->ToSurface(x, y);
  return dc->visible.Contains(p.x, p.y);
}

namespace {

template <class T, class V>
V Swap(HDC h, T DCState::*field, V value, V fail) {
  HDC__* dc = Dc(h);
  if (!dc) return fail;
  V old = V(dc->st.*field);
  dc->st.*field = T(value);
  return old;
}

template <class T, class V>
V Get(HDC h, T DCState::*field, V fail) {
  HDC__* dc = Dc(h);
  return dc ? V(dc->st.*field) : fail;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF c) { return Swap(dc, &DCState::textColor, c, CLR_INVALID); }
COLORREF GetTextColor(HDC dc) { return Get(dc, &DCState::textColor, CLR_INVALID); }
COLORREF SetBkColor(HDC dc, COLORREF c) { return Swap(dc, &DCState::bkColor, c, CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return Get(dc, &DCState::bkColor, CLR_INVALID); }
COLORREF SetDCBrushColor(HDC dc, COLORREF c) { return Swap(dc, &DCState::dcBrushColor, c, CLR_INVALID); }
COLORREF SetDCPenColor(HDC dc, COLORREF c) { return Swap(dc, &DCState::dcPenColor, c, CLR_INVALID); }
int GetBkMode(HDC dc) { return Get(dc, &DCState::bkMode, 0); }
int GetStretchBltMode(HDC dc) { return Get(dc, &DCState::stretchMode, 0); }

int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return Swap(dc, &DCState::bkMode, mode, 0);
}

int SetStretchBltMode(HDC dc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return Swap(dc, &DCState::stretchMode, mode, 0);
}

int SetPolyFillMode(HDC dc, int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  return Swap(dc, &DCState::polyFillMode, mode, 0);
}

// ---- Shared fill helpers ----

namespace gdi {

void FillDeviceRect(HDC dc, const RECT& r, COLORREF color) {
  HBITMAP__* bmp = dc->st.bitmap;
  if (!bmp || IsRectEmpty(&r)) return;
  const uint32_t v = bmp->Encode(ColorToBgra(color));
  dc->visible.ForEachRectIn(r, [&](const RECT& c) {
    for (int y = c.top; y < c.bottom; ++y) bmp->FillSpan(y, c.left, c.right, v);
  });
}

void FillDeviceSpan(HDC dc, int y, int x0, int x1, COLORREF color) {
  FillDeviceRect(dc, RECT{x0, y, x1, y + 1}, color);
}

bool BrushColor(HDC dc, HBRUSH brush, COLORREF& color) {
  HBRUSH__* b = As<HBRUSH__>(brush, OBJ_BRUSH);
  if (!b || b->log.lbStyle == BS_NULL) return false;
  color = (brush == GetStockObject(DC_BRUSH)) ? dc->st.dcBrushColor : b->log.lbColor;
  return true;
}

bool PenColor(HDC dc, COLORREF& color, int& width) {
  HPEN__* p = As<HPEN__>(dc->st.pen, OBJ_PEN);
  if (!p || p->log.lopnStyle == PS_NULL) return false;
  color = (dc->st.pen == GetStockObject(DC_PEN)) ? dc->st.dcPenColor : p->log.lopnColor;
  width = std::max(1, int(p->log.lopnWidth.x));
  return true;
}

}  // namespace gdi
