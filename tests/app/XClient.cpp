#include "tests/app/XClient.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
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

namespace {

bool WindowManagerRuns(Display* D) {
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  const Atom check = XInternAtom(D, "_NET_SUPPORTING_WM_CHECK", False);
  if (XGetWindowProperty(D, DefaultRootWindow(D), check, 0, 1, False, XA_WINDOW, &type, &format, &n, &after,
                         &data) != Success)
    return false;
  if (data) XFree(data);
  return n == 1;
}

}  // namespace

int StartWindowManager() {
  TConnection c;
  if (!c.D) return 0;
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  // The server's built-in font: the test server has no font files.
  char* argv[] = {const_cast<char*>("evilwm"), const_cast<char*>("-fn"), const_cast<char*>("fixed"),
                  const_cast<char*>("-snap"), const_cast<char*>("0"), nullptr};
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, "evilwm", &quiet, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (failed) return 0;
  for (int i = 0; i < 300; ++i) {
    if (WindowManagerRuns(c.D)) return pid;
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) return 0;  // it gave up (not installed, or no screen)
    usleep(10000);
  }
  StopWindowManager(pid);
  return 0;
}

void StopWindowManager(int Pid) {
  if (Pid <= 0) return;
  kill(Pid, SIGTERM);
  int status;
  waitpid(Pid, &status, 0);
}

void XAskWindowManagerToResize(unsigned long Window, int Width, int Height) {
  TConnection c;
  if (!c.D) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = Window;
  e.xclient.message_type = XInternAtom(c.D, "_NET_MOVERESIZE_WINDOW", False);
  e.xclient.format = 32;
  // Width and height given, asked by a pager or the user (source 2), gravity kept.
  e.xclient.data.l[0] = (1L << 10) | (1L << 11) | (2L << 12);
  e.xclient.data.l[3] = Width;
  e.xclient.data.l[4] = Height;
  XSendEvent(c.D, DefaultRootWindow(c.D), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XSync(c.D, False);
}
