#include "tests/app/XClient.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "tests/platform_win_display/XdndSource.h"

namespace {

struct TConnection {
  Display* D = XOpenDisplay(nullptr);
  ~TConnection() {
    if (D) XCloseDisplay(D);
  }
};

}  // namespace

TXWindowFacts XWindowFacts(unsigned long Window) {
  TXWindowFacts facts;
  TConnection c;
  if (!c.D) return facts;
  char* title = nullptr;
  if (XFetchName(c.D, Window, &title) && title) {
    facts.Title = title;
    XFree(title);
  }
  XSizeHints hints{};
  long supplied = 0;
  if (XGetWMNormalHints(c.D, Window, &hints, &supplied) && (hints.flags & PMinSize)) {
    facts.HasMinSize = true;
    facts.MinWidth = hints.min_width;
    facts.MinHeight = hints.min_height;
  }
  return facts;
}

void XClick(int X, int Y) {
  // One connection for every click, so that a click costs no connection set-up.
  static TConnection c;
  if (!c.D) return;
  XTestFakeMotionEvent(c.D, -1, X, Y, CurrentTime);
  XTestFakeButtonEvent(c.D, 1, True, CurrentTime);
  XTestFakeButtonEvent(c.D, 1, False, CurrentTime);
  XSync(c.D, False);
}

TXDropResult XDropPaths(unsigned long Window, int X, int Y, const std::string& Path) {
  TConnection c;
  if (!c.D) return {};
  const SourceResult r = DragAndDrop(c.D, Window, X, Y, FileUri(Path) + "\r\n");
  return {r.finished, r.finishedAccepted};
}

std::vector<uint32_t> XWindowPixels(_XDisplay* Display, unsigned long Window, int Width, int Height) {
  std::vector<uint32_t> out;
  XSync(Display, False);
  XImage* img = XGetImage(Display, Window, 0, 0, unsigned(Width), unsigned(Height), AllPlanes, ZPixmap);
  if (!img) return out;
  out.resize(size_t(Width) * size_t(Height));
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) out[size_t(y) * size_t(Width) + size_t(x)] = uint32_t(XGetPixel(img, x, y) & 0xFFFFFF);
  XDestroyImage(img);
  return out;
}

void XSyncDisplay(_XDisplay* Display) { XSync(Display, False); }

void XResizeFromOutside(unsigned long Window, int Width, int Height) {
  TConnection c;
  if (!c.D) return;
  XResizeWindow(c.D, Window, unsigned(Width), unsigned(Height));
  XSync(c.D, False);
}
