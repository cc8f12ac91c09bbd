// The display backend on a real X server (Xvfb through scripts/with-xvfb.sh):
// pictures, input through XTest, XDND drops from a source written here,
// shapes with and without a compositing manager, and the clipboard.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/Threads.h"
#include "platform/win/Controls.h"
#include "platform/win/X11Backend.h"
#include "platform/win/Windows.h"
#include "tests/platform_win_display/XdndSource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace {

const char* const kClass = "DisplayTestWindow";

struct Received {
  HWND wnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

struct Drop {
  std::vector<std::string> files;
  POINT point{};
  BOOL inClient = FALSE;
};

// What the test windows saw; the drop handler raises once when asked to.
std::vector<Received> received;
std::vector<Drop> drops;
bool raiseOnNextDrop = false;

LRESULT TestProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_KEYDOWN: case WM_CHAR: case WM_CLOSE:
      received.push_back(Received{w, m, wp, lp});
      return m == WM_CLOSE ? 0 : DefWindowProcW(w, m, wp, lp);
    case WM_DROPFILES: {
      HDROP h = reinterpret_cast<HDROP>(wp);
      Drop d;
      const UINT n = DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < n; ++i) {
        char name[512];
        DragQueryFileW(h, i, name, sizeof(name));
        d.files.push_back(name);
      }
      d.inClient = DragQueryPoint(h, &d.point);
      DragFinish(h);
      drops.push_back(d);
      if (raiseOnNextDrop) {
        raiseOnNextDrop = false;
        throw std::runtime_error("handler failed");
      }
      return 0;
    }
    case WM_PAINT: {
      // A pattern with steps in both directions, so that any shift or swap shows.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT r;
      GetClientRect(w, &r);
      for (int y = 0; y < r.bottom; y += 8) {
        for (int x = 0; x < r.right; x += 8) {
          RECT cell{x, y, x + 8, y + 8};
          HBRUSH b = CreateSolidBrush(RGB((x * 3) & 0xFF, (y * 5) & 0xFF, ((x + y) * 7) & 0xFF));
          FillRect(dc, &cell, b);
          DeleteObject(b);
        }
      }
      EndPaint(w, &ps);
      return 0;
    }
  }
  return DefWindowProcW(w, m, wp, lp);
}

// A 32-bit picture with its rows top first.
HBITMAP TopDownDib(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  return CreateDIBSection(nullptr, &bi, 0, bits, nullptr, 0);
}

}  // namespace

// What a window manager's close button sends, from a connection of its own.
void AskToClose(unsigned long xid) {
  Display* d = XOpenDisplay(nullptr);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = ::Window(xid);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  XSendEvent(d, ::Window(xid), False, NoEventMask, &e);
  XCloseDisplay(d);
}

namespace {

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display: run the tests through scripts/with-xvfb.sh";
    InitMainThread();
    ResetWindowLayer();
    std::string error;
    auto backend = TX11Backend::Open(nullptr, error);
    ASSERT_TRUE(backend) << error;
    x_ = backend.get();
    dpy_ = x_->XDisplay();
    SetWindowBackend(std::move(backend));
    received.clear();
    drops.clear();
    raiseOnNextDrop = false;
  }
  void TearDown() override {
    if (!x_) return;
    ResetWindowLayer();
    SetWindowBackend(std::make_unique<THeadlessBackend>());
  }

  HWND Make(DWORD style, int x, int y, int w, int h, DWORD exStyle = 0) {
    WNDCLASSEXW wc;  // again after every reset of the layer, which drops unused classes
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = kClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOW + 1));
    RegisterClassExW(&wc);
    HWND wnd = CreateWindowExW(exStyle, kClass, "Display test", style, x, y, w, h, nullptr, nullptr, nullptr,
                               nullptr);
    EXPECT_NE(wnd, nullptr);
    return wnd;
  }

  // Serves the layer (exceptions from handlers are counted) until done() holds.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const uint64_t end = x_->Now() + uint64_t(timeoutMs);
    for (;;) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        try {
          DispatchMessageW(&m);
        } catch (const std::exception&) {
          ++raised_;
        }
      }
      if (done()) return true;
      if (x_->Now() >= end) return false;
      x_->Wait({}, 10);
    }
  }

  ::Window XOf(HWND wnd) { return ::Window(x_->XWindowOf(wnd)); }

  // A left click at a point of wnd's client area, through the server.
  void Click(HWND wnd, POINT p) {
    ClientToScreen(wnd, &p);
    XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), p.x, p.y, CurrentTime);
    XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
    XFlush(dpy_);
  }

  bool Viewable(HWND wnd) {
    XWindowAttributes a;
    return XGetWindowAttributes(dpy_, XOf(wnd), &a) && a.map_state == IsViewable;
  }

  // Shows the window and waits until the server shows everything the layer drew.
  void ShowAndSettle(HWND wnd) {
    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(wnd); }));
    Settle();
  }
  void Settle() {
    PumpUntil([] { return false; }, 50);
    x_->Flush();
    XSync(dpy_, False);
  }

  // Runs fn on a second thread with its own connection while the layer is served.
  void Beside(const std::function<void(Display*)>& fn) {
    std::atomic<bool> finished{false};
    std::thread t([&] {
      Display* d = XOpenDisplay(nullptr);
      if (d) {
        fn(d);
        XCloseDisplay(d);
      }
      finished = true;
    });
    PumpUntil([&] { return finished.load(); }, 15000);
    t.join();
  }

  TX11Backend* x_ = nullptr;
  Display* dpy_ = nullptr;
  int raised_ = 0;
};

// Pixels of the X window against the surface: the count that differ in colour.
int DifferingPixels(Display* dpy, ::Window xid, HWND wnd, std::string& first) {
  HBITMAP surface = GetWindowSurface(wnd);
  DIBSECTION ds;
  GetObject(surface, sizeof(ds), &ds);
  const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
  XImage* img = XGetImage(dpy, xid, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
  if (!img) {
    first = "no image";
    return w * h;
  }
  int bad = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(ds.dsBm.bmBits) + (h - 1 - y) * ds.dsBm.bmWidthBytes;
    for (int x = 0; x < w; ++x) {
      const unsigned long want = (unsigned long)(row[x * 4 + 2]) << 16 | row[x * 4 + 1] << 8 | row[x * 4];
      const unsigned long got = XGetPixel(img, x, y) & 0xFFFFFF;
      if (want != got && bad++ == 0) first = "at " + std::to_string(x) + "," + std::to_string(y);
    }
  }
  XDestroyImage(img);
  return bad;
}

TEST_F(DisplayTest, ShownWindowHasTheSurfacePixelsAfterMovesAndResizes) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 40, 50, 240, 160);
  ShowAndSettle(w);
  std::string where;
  EXPECT_EQ(DifferingPixels(dpy_, XOf(w), w, where), 0) << where;

  MoveWindow(w, 300, 220, 333, 201, TRUE);
  UpdateWindow(w);
  Settle();
  EXPECT_EQ(DifferingPixels(dpy_, XOf(w), w, where), 0) << where;
  int x, y;
  ::Window child;
  XTranslateCoordinates(dpy_, XOf(w), DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
  XWindowAttributes a;
  XGetWindowAttributes(dpy_, XOf(w), &a);
  EXPECT_EQ((std::vector<int>{x, y, a.width, a.height}), (std::vector<int>{300, 220, 333, 201}));

  // The class's icon reaches the window manager as straight ARGB.
  {
    void* bits = nullptr;
    HBITMAP color = TopDownDib(4, 2, &bits);
    const uint32_t pixels[8] = {0xFF0000FF, 0x80008000, 0, 0xFFFFFFFF, 0x40400000, 0xFF123456, 0, 0};
    memcpy(bits, pixels, sizeof(pixels));  // straight alpha, as icon pictures are given
    HBITMAP mask = CreateBitmap(4, 2, 1, 1, nullptr);
    ICONINFO ii;
    ii.hbmColor = color;
    ii.hbmMask = mask;
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(color);
    DeleteObject(mask);
    WNDCLASSEXW wc;
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = "IconTestWindow";
    wc.hIcon = icon;
    RegisterClassExW(&wc);
    HWND iconic = CreateWindowExW(0, "IconTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 150, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ShowAndSettle(iconic);
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(dpy_, XOf(iconic), XInternAtom(dpy_, "_NET_WM_ICON", False), 0, 64, False, XA_CARDINAL, &type,
                       &format, &n, &after, &data);
    ASSERT_EQ(n, 10u);
    std::vector<unsigned long> got(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
    for (auto& v : got) v &= 0xFFFFFFFFul;
    XFree(data);
    EXPECT_EQ(got, (std::vector<unsigned long>{4, 2, 0xFF0000FF, 0x80008000, 0, 0xFFFFFFFF, 0x40400000, 0xFF123456, 0,
                                               0}));
    DestroyWindow(iconic);
    DestroyIcon(icon);
  }

  // The title reaches the window manager's property in UTF-8.
  SetWindowTextW(w, "Grüße");
  Settle();
  Atom utf8 = XInternAtom(dpy_, "UTF8_STRING", False), type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(dpy_, XOf(w), XInternAtom(dpy_, "_NET_WM_NAME", False), 0, 64, False, utf8, &type, &format, &n,
                     &after, &data);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), n), "Grüße");
  XFree(data);
}

TEST_F(DisplayTest, ClickAndTypedTextReachTheWindowThroughTheServer) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 100, 100, 300, 200);
  ShowAndSettle(w);
  ASSERT_TRUE(PumpUntil([&] {
    ::Window focus;
    int revert;
    XGetInputFocus(dpy_, &focus, &revert);
    return focus == XOf(w);
  })) << "the active window has the keyboard focus";

  Click(w, POINT{30, 40});
  auto key = [&](KeySym sym, bool down) { XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, sym), down, CurrentTime); };
  for (KeySym s : {XK_a, XK_1}) {
    key(s, true);
    key(s, false);
  }
  key(XK_Shift_L, true);
  key(XK_z, true);
  key(XK_z, false);
  key(XK_Shift_L, false);
  key(XK_Return, true);
  key(XK_Return, false);
  XFlush(dpy_);

  auto count = [](UINT msg) {
    return std::count_if(received.begin(), received.end(), [&](const Received& r) { return r.msg == msg; });
  };
  ASSERT_TRUE(PumpUntil([&] { return count(WM_LBUTTONUP) == 1 && count(WM_CHAR) == 4; }));
  std::string chars;
  std::vector<WPARAM> keys;
  for (const Received& r : received) {
    EXPECT_EQ(r.wnd, w);
    if (r.msg == WM_LBUTTONDOWN) {
      EXPECT_EQ(r.lParam, MAKELPARAM(30, 40));
    }
    if (r.msg == WM_CHAR) chars += char(r.wParam);
    if (r.msg == WM_KEYDOWN) keys.push_back(r.wParam);
  }
  EXPECT_EQ(chars, "a1Z\r");
  EXPECT_EQ(keys, (std::vector<WPARAM>{'A', '1', VK_SHIFT, 'Z', VK_RETURN}));

  // An edit control takes the focus on a click and the typed text.
  HWND edit = CreateWindowExW(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 100, 100, 150, 24, w,
                              nullptr, nullptr, nullptr);
  Settle();
  Click(edit, POINT{10, 10});
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit; }));
  for (KeySym s : {XK_x, XK_space, XK_y}) {
    key(s, true);
    key(s, false);
  }
  XFlush(dpy_);
  char text[32] = {};
  EXPECT_TRUE(PumpUntil([&] { return GetWindowTextW(edit, text, sizeof(text)) == 3; }));
  EXPECT_STREQ(text, "x y");
}

TEST_F(DisplayTest, PopupsBypassTheWindowManagerAndGrabThePointerWhileCapturing) {
  HWND owner = Make(WS_OVERLAPPEDWINDOW, 100, 100, 300, 200);
  ShowAndSettle(owner);
  HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClass, "", WS_POPUP | WS_BORDER, 150, 150, 120, 90,
                               owner, nullptr, nullptr, nullptr);
  ShowWindow(popup, SW_SHOWNA);
  ASSERT_TRUE(PumpUntil([&] { return Viewable(popup); }));
  XWindowAttributes a;
  XGetWindowAttributes(dpy_, XOf(popup), &a);
  EXPECT_TRUE(a.override_redirect);
  XGetWindowAttributes(dpy_, XOf(owner), &a);
  EXPECT_FALSE(a.override_redirect);

  // While the popup holds the capture, no other program can take the pointer.
  auto othersCanGrab = [&] {
    Display* other = XOpenDisplay(nullptr);
    const int r = XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                               None, None, CurrentTime);
    XCloseDisplay(other);  // ends its grab
    return r == GrabSuccess;
  };
  SetCapture(popup);
  Settle();
  EXPECT_FALSE(othersCanGrab());
  ReleaseCapture();
  Settle();
  EXPECT_TRUE(othersCanGrab());
}

TEST_F(DisplayTest, TheLoopWakesForTimersPostsAndCallsFromOtherThreads) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 100, 100, 200, 100);
  const uint64_t start = x_->Now();
  SetTimer(w, 7, 60, nullptr);
  MSG m;
  // Nothing else happens: only the real clock can bring the timer.
  do {
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
  } while (m.message != WM_TIMER);
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_GE(x_->Now() - start, 60u);
  KillTimer(w, 7);

  // A worker's post and a worker's call wake the sleeping loop.
  std::atomic<bool> called{false};
  std::thread worker([&] {
    usleep(50000);
    CallInMainThread([&] { called = true; });
    PostMessageW(w, WM_APP + 1, 0, 0);
  });
  do {
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
  } while (m.message != WM_APP + 1);
  worker.join();
  EXPECT_TRUE(called);
}

// What a window manager asks of a window, sent as one would send it.
TEST_F(DisplayTest, WindowManagerRequestsReachTheLayer) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 80, 90, 260, 180);
  ShowAndSettle(w);
  const ::Window xid = XOf(w);
  auto atom = [&](const char* n) { return XInternAtom(dpy_, n, False); };

  // The close button of a window manager: WM_DELETE_WINDOW becomes WM_CLOSE.
  AskToClose(xid);
  EXPECT_TRUE(PumpUntil([] { return !received.empty() && received.back().msg == WM_CLOSE; }));

  // A move by the window manager (its synthetic ConfigureNotify in root coordinates): the layer follows.
  XEvent e{};
  e.xconfigure.type = ConfigureNotify;
  e.xconfigure.event = e.xconfigure.window = xid;
  e.xconfigure.x = 150;
  e.xconfigure.y = 160;
  e.xconfigure.width = 260;
  e.xconfigure.height = 180;
  XSendEvent(dpy_, xid, False, StructureNotifyMask, &e);
  XFlush(dpy_);
  RECT r{};
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(w, &r) && r.left == 150 && r.top == 160; }));
  EXPECT_EQ(r.right - r.left, 260);

  // Minimised to a taskbar (WM_STATE iconic, then unmapped) and brought back by mapping it again.
  long iconic[2] = {IconicState, 0};
  XChangeProperty(dpy_, xid, atom("WM_STATE"), atom("WM_STATE"), 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(iconic), 2);
  XUnmapWindow(dpy_, xid);
  XFlush(dpy_);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(w) != FALSE; }));
  XMapWindow(dpy_, xid);
  XFlush(dpy_);
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(w); }));
  EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(DisplayTest, AnotherProgramTakingTheKeyboardDeactivatesUntilAClickComesBack) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 100, 100, 300, 200);
  ShowAndSettle(w);
  ASSERT_EQ(GetActiveWindow(), w);
  Display* other = XOpenDisplay(nullptr);
  ::Window theirs = XCreateSimpleWindow(other, DefaultRootWindow(other), 600, 100, 100, 100, 0, 0, 0);
  XMapWindow(other, theirs);
  XSync(other, False);
  XSetInputFocus(other, theirs, RevertToParent, CurrentTime);
  XSync(other, False);
  EXPECT_TRUE(PumpUntil([] { return GetActiveWindow() == nullptr; }));

  Click(w, POINT{20, 20});
  EXPECT_TRUE(PumpUntil([&] {
    ::Window focus;
    int revert;
    XGetInputFocus(dpy_, &focus, &revert);
    return GetActiveWindow() == w && focus == XOf(w);
  }));
  XCloseDisplay(other);
}

// Presses keys, from a connection of its own, once the window with the caption has the keyboard.
void TypeInto(const char* caption, const std::vector<KeySym>& keys) {
  Display* d = XOpenDisplay(nullptr);
  for (int i = 0; i < 500; ++i) {
    ::Window focus;
    int revert;
    XGetInputFocus(d, &focus, &revert);
    char* name = nullptr;
    const bool there = focus > PointerRoot && XFetchName(d, focus, &name) && name && strcmp(name, caption) == 0;
    if (name) XFree(name);
    if (there) break;
    usleep(10000);
  }
  for (KeySym k : keys) {
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, CurrentTime);
  }
  XCloseDisplay(d);
}

TEST_F(DisplayTest, MessageBoxesAreModalWindowsAnsweredFromTheKeyboard) {
  HWND owner = Make(WS_OVERLAPPEDWINDOW, 100, 100, 400, 300);
  ShowAndSettle(owner);
  struct Case {
    UINT type;
    std::vector<KeySym> keys;
    int answer;
  };
  const Case cases[] = {
      {MB_YESNO | MB_ICONQUESTION, {XK_Return}, IDYES},
      {MB_YESNOCANCEL | 0x100 /* MB_DEFBUTTON2 */, {XK_Return}, IDNO},
      {MB_OKCANCEL, {XK_Escape}, IDCANCEL},
      {MB_YESNO, {XK_Escape, XK_Right, XK_Return}, IDNO},  // no Cancel button: Escape does nothing
      {MB_OK, {XK_Tab, XK_Return}, IDOK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    std::thread keys(TypeInto, "Question", c.keys);
    const int answer = MessageBoxW(owner, "Delete the file?\nIt cannot be undone.", "Question", c.type);
    keys.join();
    EXPECT_EQ(answer, c.answer);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
  }
}

// A modal loop run by a handler that the backend calls while it handles an
// event (the click's WM_MOUSEACTIVATE) still gets the display's input.
TEST_F(DisplayTest, AModalLoopInsideAnEventsHandlerGoesOnServingTheDisplay) {
  HWND w = Make(WS_OVERLAPPEDWINDOW, 100, 100, 300, 200);
  HWND other = Make(WS_OVERLAPPEDWINDOW, 450, 100, 200, 150);
  ShowAndSettle(w);
  ShowAndSettle(other);
  int answer = 0;
  static WNDPROC original = nullptr;
  static int* answerOut = nullptr;
  answerOut = &answer;
  original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_MOUSEACTIVATE && !*answerOut) *answerOut = MessageBoxW(h, "Inside", "Nested", MB_OKCANCEL);
        return CallWindowProcW(original, h, m, wp, lp);
      }))));
  // Should the box never get its key, a timer closes it, which answers Cancel.
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 8000, [](HWND, UINT, UINT_PTR, DWORD) {
    PostMessageW(FindWindowW(nullptr, "Nested"), WM_CLOSE, 0, 0);
  });
  std::thread keys(TypeInto, "Nested", std::vector<KeySym>{XK_Return});
  Click(w, POINT{20, 20});
  PumpUntil([&] { return answer != 0; }, 10000);
  keys.join();
  KillTimer(nullptr, watchdog);
  EXPECT_EQ(answer, IDOK);
}

// ---- File drops from an XDND source written here ----

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "display-test-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::string Add(const std::string& name, bool folder) {
    const std::string p = path_ + "/" + name;
    if (folder) std::filesystem::create_directory(p);
    else fclose(fopen(p.c_str(), "w"));
    return p;
  }

 private:
  std::string path_;
};

TEST_F(DisplayTest, DroppedFilesAndFolderArriveAsOneMessageWithTheirPoint) {
  TempFolder tmp;
  const std::vector<std::string> files{tmp.Add("first clip.mkv", false), tmp.Add("zweite-ü #2.mp3", false),
                                       tmp.Add("Ordner", true)};
  std::string uriList;
  for (const std::string& f : files) uriList += FileUri(f) + (f == files.back() ? "/\r\n" : "\r\n");

  HWND accepting = Make(WS_OVERLAPPEDWINDOW, 60, 60, 300, 200);
  DragAcceptFiles(accepting, TRUE);
  HWND refusing = Make(WS_OVERLAPPEDWINDOW, 420, 60, 200, 150);
  ShowAndSettle(accepting);
  ShowAndSettle(refusing);
  POINT at{70, 45};
  ClientToScreen(accepting, &at);

  struct Case {
    const char* name;
    HWND target;
    POINT point;
    bool raise;
    bool accepted;
  };
  const Case cases[] = {
      {"over a window that takes files", accepting, at, false, true},
      {"over one that does not", refusing, POINT{500, 120}, false, false},
      {"a handler that raises", accepting, at, true, true},
      {"the next drop after it", accepting, at, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    drops.clear();
    raised_ = 0;
    raiseOnNextDrop = c.raise;
    SourceResult res;
    Beside([&](Display* d) { res = DragAndDrop(d, XOf(c.target), c.point.x, c.point.y, uriList); });
    PumpUntil([&] { return !drops.empty(); }, c.accepted ? 2000 : 200);
    EXPECT_EQ(res.statusAccepted, c.accepted);
    EXPECT_TRUE(res.finished) << "the source always hears the end of the exchange";
    EXPECT_EQ(res.finishedAccepted, c.accepted);
    EXPECT_EQ(res.served, c.accepted);
    EXPECT_EQ(raised_, c.raise ? 1 : 0);
    if (!c.accepted) {
      EXPECT_TRUE(drops.empty());
      continue;
    }
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].files, files);
    EXPECT_EQ(drops[0].point.x, 70);
    EXPECT_EQ(drops[0].point.y, 45);
    EXPECT_TRUE(drops[0].inClient);
  }
}

// ---- Shapes ----

// The window's bounding shape on the server as a region (window coordinates).
HRGN ServerShape(Display* dpy, ::Window xid) {
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(dpy, xid, ShapeBounding, &count, &ordering);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  for (int i = 0; i < count; ++i) {
    HRGN r = CreateRectRgn(rects[i].x, rects[i].y, rects[i].x + rects[i].width, rects[i].y + rects[i].height);
    CombineRgn(rgn, rgn, r, RGN_OR);
    DeleteObject(r);
  }
  if (rects) XFree(rects);
  return rgn;
}

std::string Describe(HRGN rgn) {
  RECT rs[64];
  const int n = GetRegionRects(rgn, rs, 64);
  std::string out;
  for (int i = 0; i < std::min(n, 64); ++i)
    out += "(" + std::to_string(rs[i].left) + "," + std::to_string(rs[i].top) + ")-(" + std::to_string(rs[i].right) +
           "," + std::to_string(rs[i].bottom) + ") ";
  return out;
}

bool Shaped(Display* dpy, ::Window xid) {
  Bool bounding = False, clip = False;
  int bx, by, cx, cy;
  unsigned bw, bh, cw, ch;
  XShapeQueryExtents(dpy, xid, &bounding, &bx, &by, &bw, &bh, &clip, &cx, &cy, &cw, &ch);
  return bounding;
}

// A 100 x 80 picture: the left half opaque red, a half-transparent blue block
// at (60, 10)-(70, 20), the rest fully transparent (premultiplied).
HBITMAP LayeredPicture() {
  void* bits = nullptr;
  HBITMAP b = TopDownDib(100, 80, &bits);
  auto* p = static_cast<uint8_t*>(bits);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 100; ++x) {
      uint8_t* px = p + (y * 100 + x) * 4;
      if (x < 50) px[2] = px[3] = 255;
      else if (x >= 60 && x < 70 && y >= 10 && y < 20) px[0] = px[3] = 128;
    }
  }
  return b;
}

unsigned long Opacity(Display* dpy, ::Window xid) {
  Atom type;
  int format;
  unsigned long n, after, v = 0xFFFFFFFFul;
  unsigned char* data = nullptr;
  XGetWindowProperty(dpy, xid, XInternAtom(dpy, "_NET_WM_WINDOW_OPACITY", False), 0, 1, False, XA_CARDINAL, &type,
                     &format, &n, &after, &data);
  if (data && n == 1) v = *reinterpret_cast<unsigned long*>(data) & 0xFFFFFFFFul;
  if (data) XFree(data);
  return v;
}

TEST_F(DisplayTest, RegionsAndLayeredWindowsShapeTheXWindowWithAndWithoutACompositor) {
  for (const bool compositor : {false, true}) {
    SCOPED_TRACE(compositor ? "with a compositing manager" : "without one");
    // A compositing manager announces itself by owning _NET_WM_CM_S<screen>; a stand-in owns it here.
    Display* cm = nullptr;
    if (compositor) {
      cm = XOpenDisplay(nullptr);
      const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(cm));
      ::Window owner = XCreateSimpleWindow(cm, DefaultRootWindow(cm), 0, 0, 1, 1, 0, 0, 0);
      XSetSelectionOwner(cm, XInternAtom(cm, name.c_str(), False), owner, CurrentTime);
      XSync(cm, False);
    }

    // A region: an ellipse joined with a bar.
    HWND shaped = Make(WS_POPUP, 50, 400, 200, 120);
    HRGN rgn = CreateEllipticRgn(0, 0, 160, 120);
    HRGN bar = CreateRectRgn(100, 50, 200, 70);
    CombineRgn(rgn, rgn, bar, RGN_OR);
    DeleteObject(bar);
    SetWindowRgn(shaped, rgn, TRUE);
    ShowAndSettle(shaped);
    HRGN want = CreateRectRgn(0, 0, 0, 0), got = ServerShape(dpy_, XOf(shaped));
    GetWindowRgn(shaped, want);
    EXPECT_TRUE(EqualRgn(want, got));
    DeleteObject(got);
    SetWindowRgn(shaped, nullptr, TRUE);
    Settle();
    EXPECT_FALSE(Shaped(dpy_, XOf(shaped)));

    // Per-pixel alpha, given after the window is shown and painted by its class.
    HWND layered = Make(WS_POPUP, 300, 400, 100, 80, WS_EX_LAYERED);
    ShowAndSettle(layered);
    HBITMAP pic = LayeredPicture();
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, pic);
    POINT zero{0, 0};
    SIZE size{100, 80};
    BLENDFUNCTION blend;
    blend.AlphaFormat = AC_SRC_ALPHA;
    EXPECT_TRUE(UpdateLayeredWindow(layered, nullptr, nullptr, &size, src, &zero, 0, &blend, ULW_ALPHA));
    Settle();
    XWindowAttributes a;
    XGetWindowAttributes(dpy_, XOf(layered), &a);
    if (compositor && a.depth != 32) {
      ADD_FAILURE() << "no 32-bit window although the server has the visual: " << a.depth;
    }
    if (compositor) {
      EXPECT_FALSE(Shaped(dpy_, XOf(layered)));
      XImage* img = XGetImage(dpy_, XOf(layered), 0, 0, 100, 80, AllPlanes, ZPixmap);
      ASSERT_NE(img, nullptr);
      EXPECT_EQ(XGetPixel(img, 10, 10), 0xFFFF0000ul);
      EXPECT_EQ(XGetPixel(img, 65, 15), 0x80000080ul);
      EXPECT_EQ(XGetPixel(img, 80, 50), 0ul);
      XDestroyImage(img);
    } else {
      HRGN expect = CreateRectRgn(0, 0, 50, 80), block = CreateRectRgn(60, 10, 70, 20);
      CombineRgn(expect, expect, block, RGN_OR);
      HRGN shape = ServerShape(dpy_, XOf(layered));
      EXPECT_TRUE(EqualRgn(expect, shape)) << Describe(shape);
      for (HRGN r : {expect, block, shape}) DeleteObject(r);
    }
    // Whole-window opacity rides along as the property compositors read.
    blend.SourceConstantAlpha = 128;
    UpdateLayeredWindow(layered, nullptr, nullptr, nullptr, src, &zero, 0, &blend, ULW_ALPHA);
    Settle();
    EXPECT_EQ(Opacity(dpy_, XOf(layered)), 0x80808080ul);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(pic);

    // A colour key cuts the key colour out: here the painted client area, leaving the frame.
    HWND keyed = Make(WS_POPUP | WS_BORDER, 450, 400, 120, 90, WS_EX_LAYERED);
    ShowAndSettle(keyed);
    RECT cr;
    GetClientRect(keyed, &cr);
    HDC dc = GetDC(keyed);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &cr, magenta);
    DeleteObject(magenta);
    ReleaseDC(keyed, dc);
    SetLayeredWindowAttributes(keyed, RGB(255, 0, 255), 255, LWA_COLORKEY);
    Settle();
    HRGN ring = CreateRectRgn(0, 0, 120, 90), hole = CreateRectRgn(1, 1, 119, 89);
    CombineRgn(ring, ring, hole, RGN_DIFF);
    HRGN keyShape = ServerShape(dpy_, XOf(keyed));
    EXPECT_TRUE(EqualRgn(ring, keyShape));
    for (HRGN r : {ring, hole, keyShape, want}) DeleteObject(r);

    ResetWindowLayer();
    if (cm) XCloseDisplay(cm);
  }
}

// ---- Clipboard ----

constexpr size_t kPiece = 50000;  // the stand-in owner's INCR pieces

// Reads and deletes a property; atom lists come back as their names.
std::string TakeProperty(Display* d, ::Window w, Atom prop, Atom& type) {
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(d, w, prop, 0, 1 << 24, True, AnyPropertyType, &type, &format, &n, &after, &data);
  std::string out;
  if (format == 32 && type == XA_ATOM) {
    for (unsigned long k = 0; k < n; ++k) {
      char* name = XGetAtomName(d, reinterpret_cast<Atom*>(data)[k]);
      out += std::string(out.empty() ? "" : " ") + name;
      XFree(name);
    }
  } else if (data) {
    out.assign(reinterpret_cast<char*>(data), n);
  }
  if (data) XFree(data);
  return out;
}

bool AwaitEvent(Display* d, ::Window w, int type, XEvent& e) {
  for (int i = 0; i < 500; ++i) {
    if (XCheckTypedWindowEvent(d, w, type, &e)) return true;
    usleep(10000);
  }
  return false;
}

// Reads the CLIPBOARD as another client would, also when it comes in INCR pieces.
std::string ReadAsPeer(Display* d, const char* targetName) {
  const Atom clip = XInternAtom(d, "CLIPBOARD", False), target = XInternAtom(d, targetName, False);
  const Atom prop = XInternAtom(d, "PEER_TRANSFER", False), incr = XInternAtom(d, "INCR", False);
  ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, w, PropertyChangeMask);
  XConvertSelection(d, clip, target, prop, w, CurrentTime);
  XFlush(d);
  std::string out = "(no answer)";
  XEvent e;
  if (AwaitEvent(d, w, SelectionNotify, e)) {
    out = "(refused)";
    Atom type = None;
    if (e.xselection.property != None) out = TakeProperty(d, w, prop, type);
    if (type == incr) {
      out.clear();
      for (;;) {
        if (!AwaitEvent(d, w, PropertyNotify, e)) {
          out = "(incomplete)";
          break;
        }
        if (e.xproperty.state != PropertyNewValue) continue;
        const std::string piece = TakeProperty(d, w, prop, type);
        if (type == None) continue;  // the notice of the INCR value itself, already taken
        if (piece.empty()) break;
        out += piece;
      }
    }
  }
  XDestroyWindow(d, w);
  return out;
}

// Owns the CLIPBOARD on its own connection and thread, serving UTF8_STRING
// (in INCR pieces when the text is long), until destroyed.
class PeerOwner {
 public:
  explicit PeerOwner(std::string text) : text_(std::move(text)) {
    thread_ = std::thread([this] { Serve(); });
    while (!owned_) usleep(1000);
  }
  ~PeerOwner() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Serve() {
    Display* d = XOpenDisplay(nullptr);
    const Atom clip = XInternAtom(d, "CLIPBOARD", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom incr = XInternAtom(d, "INCR", False);
    ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, clip, w, CurrentTime);
    XSync(d, False);
    owned_ = true;
    ::Window requestor = 0;
    Atom property = None;
    size_t sent = 0;
    while (!stop_) {
      while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == SelectionRequest && e.xselectionrequest.target == utf8 && text_.size() > kPiece) {
          XSelectionRequestEvent& r = e.xselectionrequest;
          requestor = r.requestor;
          property = r.property;
          sent = 0;
          XSelectInput(d, requestor, PropertyChangeMask);
          long size = long(text_.size());
          XChangeProperty(d, requestor, property, incr, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size),
                          1);
          Answer(d, r, utf8, nullptr);
        } else if (e.type == SelectionRequest) {
          Answer(d, e.xselectionrequest, utf8, &text_);
        } else if (e.type == PropertyNotify && e.xproperty.window == requestor && e.xproperty.atom == property &&
                   e.xproperty.state == PropertyDelete) {
          const size_t n = std::min(kPiece, text_.size() - sent);
          XChangeProperty(d, requestor, property, utf8, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text_.data() + sent), int(n));
          XFlush(d);
          sent += n;
          if (n == 0) requestor = 0;
        }
      }
      usleep(2000);
    }
    XCloseDisplay(d);
  }

  std::string text_;
  std::atomic<bool> owned_{false}, stop_{false};
  std::thread thread_;
};

TEST_F(DisplayTest, ClipboardTextGoesBothWays) {
  std::string longText;
  for (int i = 0; longText.size() < 300000; ++i) longText += "Zeile " + std::to_string(i) + " \xC3\xBC \xE2\x9C\x93\n";
  struct Case {
    const char* name;
    std::string ours, theirs;
  };
  const Case cases[] = {
      {"short", "Grüße ✓\nzweite Zeile", "von außen € ✓"},
      {"in pieces", longText, longText + "!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    x_->SetClipboardText(c.ours);
    std::string utf8, latin1, targets;
    Beside([&](Display* d) {
      utf8 = ReadAsPeer(d, "UTF8_STRING");
      latin1 = ReadAsPeer(d, "STRING");
      targets = ReadAsPeer(d, "TARGETS");
    });
    EXPECT_TRUE(utf8 == c.ours) << utf8.substr(0, 40) << " (" << utf8.size() << " bytes)";
    // Latin-1 for older clients: two-byte letters become one byte, other characters '?'.
    EXPECT_EQ(latin1.size(), c.ours.size() - 2 * size_t(std::count(c.ours.begin(), c.ours.end(), '\xE2')) -
                                 size_t(std::count(c.ours.begin(), c.ours.end(), '\xC3')));
    EXPECT_EQ(latin1.substr(0, 6), std::string(c.ours[0] == 'G' ? "Gr\xFC\xDF" "e " : c.ours.substr(0, 6)));
    EXPECT_NE(targets.find("UTF8_STRING"), std::string::npos) << targets;
    EXPECT_TRUE(x_->ClipboardText() == c.ours);

    // Another program takes the clipboard.
    PeerOwner peer(c.theirs);
    const std::string got = x_->ClipboardText();
    EXPECT_TRUE(got == c.theirs) << got.substr(0, 40) << " (" << got.size() << " bytes)";
  }
  PeerOwner peer("");
  EXPECT_EQ(x_->ClipboardText(), "");
}

TEST_F(DisplayTest, AClipboardManagerKeepsTheTextWhenTheConnectionCloses) {
  const std::string text = "kept after exit ✓";
  x_->SetClipboardText(text);
  std::atomic<bool> ready{false};
  std::string saved;
  std::thread manager([&] {
    Display* d = XOpenDisplay(nullptr);
    const Atom selection = XInternAtom(d, "CLIPBOARD_MANAGER", False);
    const Atom save = XInternAtom(d, "SAVE_TARGETS", False);
    ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, selection, w, CurrentTime);
    XSync(d, False);
    ready = true;
    XEvent e;
    if (AwaitEvent(d, w, SelectionRequest, e) && e.xselectionrequest.target == save) {
      saved = ReadAsPeer(d, "UTF8_STRING");
      XSelectionRequestEvent r = e.xselectionrequest;
      if (r.property == None) r.property = r.target;
      static const std::string nothing;
      Answer(d, r, save, &nothing);
    }
    XCloseDisplay(d);
  });
  while (!ready) usleep(1000);
  ResetWindowLayer();
  SetWindowBackend(std::make_unique<THeadlessBackend>());  // closes the connection
  x_ = nullptr;
  manager.join();
  EXPECT_EQ(saved, text);
}

}  // namespace
