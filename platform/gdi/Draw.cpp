// Pixels, rectangle fills, lines and shapes.

#include <cmath>

#include "platform/gdi/GdiInternal.h"

using namespace gdi;

namespace {

HDC__* Dc(HDC h) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  return (dc && dc->st.bitmap) ? dc : nullptr;
}

RECT DeviceRect(HDC__* dc, const RECT& r) {
  return dc->ToSurface(RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                            std::max(r.top, r.bottom)});
}

void Plot(HDC__* dc, int x, int y, int width, COLORREF color) {
  const int h = width / 2;
  FillDeviceRect(dc, RECT{x - h, y - h, x - h + width, y - h + width}, color);
}

constexpr int kLineMargin = 1024;

// Cuts segment a-b to box (Liang-Barsky); false when nothing of it is inside.
bool ClipLine(POINT& a, POINT& b, const RECT& box) {
  const double x0 = a.x, y0 = a.y, dx = double(b.x) - a.x, dy = double(b.y) - a.y;
  double t0 = 0, t1 = 1;
  const auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
    return true;
  };
  if (!edge(-dx, x0 - box.left) || !edge(dx, box.right - x0) || !edge(-dy, y0 - box.top) ||
      !edge(dy, box.bottom - y0))
    return false;
  a = POINT{LONG(std::lround(x0 + t0 * dx)), LONG(std::lround(y0 + t0 * dy))};
  b = POINT{LONG(std::lround(x0 + t1 * dx)), LONG(std::lround(y0 + t1 * dy))};
  return true;
}

// Device-unit line from a to b without its end point.
void DeviceLine(HDC__* dc, POINT a, POINT b, int width, COLORREF color) {
  if (width == 1 && (a.y == b.y || a.x == b.x)) {
    if (a.y == b.y && a.x != b.x) {
      // End point excluded: from a towards b.
      FillDeviceRect(dc, a.x < b.x ? RECT{a.x, a.y, b.x, a.y + 1} : RECT{b.x + 1, a.y, a.x + 1, a.y + 1}, color);
    } else if (a.x == b.x && a.y != b.y) {
      FillDeviceRect(dc, a.y < b.y ? RECT{a.x, a.y, a.x + 1, b.y} : RECT{a.x, b.y + 1, a.x + 1, a.y + 1}, color);
    }
    return;
  }
  // A line reaching far past the bitmap is first cut to the part near it, so that
  // its length costs nothing; lines that stay near keep their exact pixels.
  RECT near = dc->visible.Box();
  InflateRect(&near, width + kLineMargin, width + kLineMargin);
  const auto far = [&](POINT p) {
    return p.x < near.left - kLineMargin || p.x > near.right + kLineMargin || p.y < near.top - kLineMargin ||
           p.y > near.bottom + kLineMargin;
  };
  if ((far(a) || far(b)) && !ClipLine(a, b, near)) return;
  int x = a.x, y = a.y;
  const int64_t dx = std::abs(int64_t(b.x) - a.x), dy = -std::abs(int64_t(b.y) - a.y);
  const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  int64_t err = dx + dy;
  while (x != b.x || y != b.y) {
    Plot(dc, x, y, width, color);
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

struct RowSpan {
  int x0 = 0, x1 = 0;  // empty when x0 >= x1
};

// Paints a shape given as one span per row from top: brush inside, pen on the
// outline (the shape minus its erosion by the pen width).
void PaintRows(HDC__* dc, int top, const std::vector<RowSpan>& rows) {
  COLORREF penColor = 0, brushColor = 0;
  int width = 1;
  const bool pen = PenColor(dc, penColor, width);
  const bool brush = BrushColor(dc, dc->st.brush, brushColor);
  const int n = int(rows.size());
  for (int i = 0; i < n; ++i) {
    const RowSpan& o = rows[size_t(i)];
    if (o.x0 >= o.x1) continue;
    RowSpan in{o.x0 + (pen ? width : 0), o.x1 - (pen ? width : 0)};
    if (pen) {
      for (int k = i - width; k <= i + width; ++k) {
        if (k < 0 || k >= n) {
          in = RowSpan{};
          break;
        }
        in.x0 = std::max(in.x0, rows[size_t(k)].x0 + width);
        in.x1 = std::min(in.x1, rows[size_t(k)].x1 - width);
      }
    }
    const int y = top + i;
    if (in.x0 < in.x1) {
      if (brush) FillDeviceSpan(dc, y, in.x0, in.x1, brushColor);
      FillDeviceSpan(dc, y, o.x0, in.x0, penColor);
      FillDeviceSpan(dc, y, in.x1, o.x1, penColor);
    } else if (pen) {
      FillDeviceSpan(dc, y, o.x0, o.x1, penColor);
    }
  }
}

bool HasPen(HDC__* dc) {
  COLORREF c;
  int w;
  return PenColor(dc, c, w);
}

// Paints a shape within bounds d, given its span on each row; only rows within
// reach of the visible area are built, so huge shapes cost no more than small ones.
template <class RowFn>
void PaintShape(HDC__* dc, const RECT& d, RowFn&& rowOf) {
  COLORREF c;
  int w = 0;
  if (!PenColor(dc, c, w)) w = 0;
  const RECT box = dc->visible.Box();
  const int top = std::max(int(d.top), int(box.top) - w);
  const int bottom = std::min(int(d.bottom), int(box.bottom) + w);
  if (top >= bottom) return;
  std::vector<RowSpan> rows(size_t(bottom - top));
  for (int y = top; y < bottom; ++y) rows[size_t(y - top)] = rowOf(y);
  PaintRows(dc, top, rows);
}

}  // namespace

COLORREF GetPixel(HDC h, int x, int y) {
  HDC__* dc = Dc(h);
  if (!dc) return CLR_INVALID;
  const POINT p = dc->ToSurface(x, y);
  if (!dc->visible.Contains(p.x, p.y)) return CLR_INVALID;
  return BgraToColor(dc->st.bitmap->Read(p.x, p.y));
}

COLORREF SetPixel(HDC h, int x, int y, COLORREF color) {
  HDC__* dc = Dc(h);
  if (!dc) return CLR_INVALID;
  const POINT p = dc->ToSurface(x, y);
  if (!dc->visible.Contains(p.x, p.y)) return CLR_INVALID;
  HBITMAP__* b = dc->st.bitmap;
  b->Write(p.x, p.y, ColorToBgra(color));
  return BgraToColor(b->Read(p.x, p.y));
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID; }

int FillRect(HDC h, const RECT* r, HBRUSH brush) {
  HDC__* dc = Dc(h);
  COLORREF color;
  if (!dc || !r || !BrushColor(dc, brush, color)) return FALSE;
  FillDeviceRect(dc, dc->ToSurface(*r), color);
  return TRUE;
}

int FrameRect(HDC h, const RECT* r, HBRUSH brush) {
  HDC__* dc = Dc(h);
  COLORREF c;
  if (!dc || !r || !BrushColor(dc, brush, c)) return FALSE;
  const RECT d = DeviceRect(dc, *r);
  if (IsRectEmpty(&d)) return TRUE;
  FillDeviceRect(dc, RECT{d.left, d.top, d.right, d.top + 1}, c);
  FillDeviceRect(dc, RECT{d.left, d.bottom - 1, d.right, d.bottom}, c);
  FillDeviceRect(dc, RECT{d.left, d.top + 1, d.left + 1, d.bottom - 1}, c);
  FillDeviceRect(dc, RECT{d.right - 1, d.top + 1, d.right, d.bottom - 1}, c);
  return TRUE;
}

BOOL InvertRect(HDC h, const RECT* r) {
  HDC__* dc = Dc(h);
  if (!dc || !r) return FALSE;
  HBITMAP__* b = dc->st.bitmap;
  dc->visible.ForEachRectIn(DeviceRect(dc, *r), [&](const RECT& c) {
    for (int y = c.top; y < c.bottom; ++y)
      for (int x = c.left; x < c.right; ++x) b->Write(x, y, (b->Read(x, y) ^ 0xFFFFFFu) & 0xFFFFFFu);
  });
  return TRUE;
}

BOOL FillRgn(HDC h, HRGN rgn, HBRUSH brush) {
  HDC__* dc = Dc(h);
  HRGN__* r = As<HRGN__>(rgn, OBJ_REGION);
  COLORREF c;
  if (!dc || !r || !BrushColor(dc, brush, c)) return FALSE;
  for (const Band& b : r->data.bands)
    for (const Span& s : b.spans) {
      FillDeviceRect(dc, dc->ToSurface(RECT{s.x0, b.top, s.x1, b.bottom}), c);
    }
  return TRUE;
}

BOOL MoveToEx(HDC h, int x, int y, POINT* old) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  if (!dc) return FALSE;
  if (old) *old = dc->st.pos;
  dc->st.pos = POINT{x, y};
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC h, POINT* pos) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  if (!dc || !pos) return FALSE;
  *pos = dc->st.pos;
  return TRUE;
}

BOOL LineTo(HDC h, int x, int y) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  COLORREF c;
  int w;
  if (PenColor(dc, c, w)) {
    DeviceLine(dc, dc->ToSurface(dc->st.pos.x, dc->st.pos.y), dc->ToSurface(x, y), w, c);
  }
  dc->st.pos = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC h, const POINT* points, int count) {
  HDC__* dc = Dc(h);
  if (!dc || !points || count < 2) return FALSE;
  COLORREF c;
  int w;
  if (!PenColor(dc, c, w)) return TRUE;
  for (int i = 0; i + 1 < count; ++i)
    DeviceLine(dc, dc->ToSurface(points[i].x, points[i].y), dc->ToSurface(points[i + 1].x, points[i + 1].y), w, c);
  return TRUE;
}

namespace {

// Device bounds of a shape. Without a pen the fill covers one pixel less in each direction.
RECT ShapeBounds(HDC__* dc, int left, int top, int right, int bottom) {
  RECT d = DeviceRect(dc, RECT{left, top, right, bottom});
  if (!HasPen(dc)) {
    --d.right;
    --d.bottom;
  }
  return d;
}

}  // namespace

BOOL Rectangle(HDC h, int left, int top, int right, int bottom) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  const RECT d = ShapeBounds(dc, left, top, right, bottom);
  if (IsRectEmpty(&d)) return TRUE;
  PaintShape(dc, d, [&](int) { return RowSpan{d.left, d.right}; });
  return TRUE;
}

BOOL Ellipse(HDC h, int left, int top, int right, int bottom) {
  HDC__* dc = Dc(h);
  if (!dc) return FALSE;
  const RECT d = ShapeBounds(dc, left, top, right, bottom);
  if (IsRectEmpty(&d)) return TRUE;
  PaintShape(dc, d, [&](int y) {
    RowSpan r;
    if (!EllipseRow(d.left, d.top, d.right, d.bottom, y, r.x0, r.x1)) r = RowSpan{};
    return r;
  });
  return TRUE;
}

BOOL Polygon(HDC h, const POINT* points, int count) {
  HDC__* dc = Dc(h);
  if (!dc || !points || count < 2) return FALSE;
  std::vector<POINT> p(static_cast<size_t>(count));
  int top = INT32_MAX, bottom = INT32_MIN;
  for (int i = 0; i < count; ++i) {
    p[size_t(i)] = dc->ToSurface(points[i].x, points[i].y);
    top = std::min(top, int(p[size_t(i)].y));
    bottom = std::max(bottom, int(p[size_t(i)].y));
  }
  COLORREF brushColor;
  if (BrushColor(dc, dc->st.brush, brushColor)) {
    // Scan lines through pixel centres; a pixel is inside when its centre is.
    struct Cross {
      double x;
      int dir;
    };
    std::vector<Cross> xs;
    const RECT box = dc->visible.Box();
    for (int y = std::max(top, int(box.top)); y < std::min(bottom, int(box.bottom)); ++y) {
      const double yc = y + 0.5;
      xs.clear();
      for (int i = 0; i < count; ++i) {
        const POINT a = p[size_t(i)], b = p[size_t((i + 1) % count)];
        if (a.y == b.y) continue;
        const bool down = a.y < b.y;
        const double y0 = down ? a.y : b.y, y1 = down ? b.y : a.y;
        if (yc < y0 || yc >= y1) continue;
        xs.push_back(Cross{a.x + (yc - a.y) * double(b.x - a.x) / double(b.y - a.y), down ? 1 : -1});
      }
      std::sort(xs.begin(), xs.end(), [](const Cross& l, const Cross& r) { return l.x < r.x; });
      int winding = 0;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        winding += xs[i].dir;
        const bool inside = dc->st.polyFillMode == WINDING ? winding != 0 : (i % 2) == 0;
        if (!inside) continue;
        const int x0 = int(std::ceil(xs[i].x - 0.5)), x1 = int(std::ceil(xs[i + 1].x - 0.5));
        FillDeviceSpan(dc, y, x0, x1, brushColor);
      }
    }
  }
  COLORREF c;
  int w;
  if (PenColor(dc, c, w)) {
    for (int i = 0; i < count; ++i) DeviceLine(dc, p[size_t(i)], p[size_t((i + 1) % count)], w, c);
  }
  return TRUE;
}
