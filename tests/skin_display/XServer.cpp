#include "tests/skin_display/XServer.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win/X11Backend.h"
#include "skin/core/ownskin/PngWrite.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

namespace xserver {

int DifferingPixels(TX11Backend& x, HWND wnd, bool OpaqueOnly, std::string& first) {
  x.Flush();
  XSync(x.XDisplay(), False);
  DIBSECTION ds;
  if (GetObject(GetWindowSurface(wnd), sizeof(ds), &ds) != int(sizeof(ds))) return -1;
  const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
  XImage* img = XGetImage(x.XDisplay(), ::Window(x.XWindowOf(wnd)), 0, 0, unsigned(w), unsigned(h), AllPlanes,
                          ZPixmap);
  if (!img) {
    first = "no image";
    return w * h;
  }
  // Outside the window's region the X window has no pixels of its own.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  const bool shaped = GetWindowRgn(wnd, rgn) != ERROR;
  int bad = 0;
  for (int y = 0; y < h; ++y) {
    const int row = ds.dsBmih.biHeight > 0 ? h - 1 - y : y;
    const auto* p = static_cast<const uint8_t*>(ds.dsBm.bmBits) + long(row) * ds.dsBm.bmWidthBytes;
    for (int c = 0; c < w; ++c, p += 4) {
      if ((OpaqueOnly && p[3] == 0) || (shaped && !PtInRegion(rgn, c, y))) continue;
      const unsigned long want = (unsigned long)(p[2]) << 16 | (unsigned long)(p[1]) << 8 | p[0];
      const unsigned long got = XGetPixel(img, c, y) & 0xFFFFFF;
      if (got != want && bad++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "at %d,%d: shown %06lX, surface %06lX alpha %u", c, y, got, want, p[3]);
        first = text;
      }
    }
  }
  XDestroyImage(img);
  DeleteObject(rgn);
  return bad;
}

bool WritePng(TX11Backend& x, HWND wnd, const std::string& fileName) {
  x.Flush();
  XSync(x.XDisplay(), False);
  RECT r;
  if (!GetWindowRect(wnd, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  XImage* img = XGetImage(x.XDisplay(), ::Window(x.XWindowOf(wnd)), 0, 0, unsigned(w), unsigned(h), AllPlanes,
                          ZPixmap);
  if (!img) return false;
  std::vector<uint32_t> px(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int c = 0; c < w; ++c) px[size_t(y) * size_t(w) + size_t(c)] = 0xFF000000u | (XGetPixel(img, c, y) & 0xFFFFFF);
  XDestroyImage(img);
  const std::vector<uint8_t> png = ownskin::EncodePng(w, h, px);
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  return bool(out);
}

int InputShapeRects(TX11Backend& x, HWND wnd) {
  x.Flush();
  XSync(x.XDisplay(), False);
  int count = 0, ordering = 0;
  XRectangle* r = XShapeGetRectangles(x.XDisplay(), ::Window(x.XWindowOf(wnd)), ShapeInput, &count, &ordering);
  if (r) XFree(r);
  return count;
}

void Click(TX11Backend& x, int X, int Y) {
  Display* d = x.XDisplay();
  XTestFakeMotionEvent(d, DefaultScreen(d), X, Y, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
}

void Sync(TX11Backend& x) {
  x.Flush();
  XSync(x.XDisplay(), False);
}

}  // namespace xserver
