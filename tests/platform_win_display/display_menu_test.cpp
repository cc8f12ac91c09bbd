// A popup menu on a real X server: its "#32768" window bypasses the window
// manager, holds the pointer grab while it is open, and a click through the
// server chooses an item.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/os/Threads.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

struct Idle {
  static inline std::function<void(HWND popup)> step;
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ENTERIDLE && wp == MSGF_MENU && step) {
      auto s = std::move(step);
      step = nullptr;
      s(reinterpret_cast<HWND>(lp));
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
};

TEST(DisplayMenuTest, APopupMenuGrabsThePointerAndAClickThroughTheServerChoosesAnItem) {
  const char* display = getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run the tests through scripts/with-xvfb.sh";
  InitMainThread();
  ResetWindowLayer();
  std::string error;
  auto backend = TX11Backend::Open(nullptr, error);
  ASSERT_TRUE(backend) << error;
  TX11Backend* x = backend.get();
  SetWindowBackend(std::move(backend));

  WNDCLASSEXW wc;
  wc.lpfnWndProc = &Idle::Proc;
  wc.lpszClassName = "DisplayMenuOwner";
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  RegisterClassExW(&wc);
  HWND owner = CreateWindowExW(0, "DisplayMenuOwner", "Menu owner", WS_OVERLAPPEDWINDOW, 60, 60, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
  ShowWindow(owner, SW_SHOW);
  UpdateWindow(owner);
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 101, "&Play");
  AppendMenuW(menu, MF_STRING, 102, "Open &Folder");
  AppendMenuW(menu, MF_STRING, 103, "&Remove");

  bool overrideRedirect = false, grabbed = false;
  std::thread clicker;
  std::atomic<bool> clicked{false};
  Idle::step = [&](HWND popup) {
    x->Flush();
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    XWindowAttributes a;
    if (XGetWindowAttributes(d, ::Window(x->XWindowOf(popup)), &a))
      overrideRedirect = a.override_redirect && a.map_state == IsViewable;
    // Another client cannot take the pointer while the menu holds it.
    grabbed = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                           CurrentTime) == AlreadyGrabbed;
    XCloseDisplay(d);
    RECT r;
    GetMenuItemRect(owner, menu, 1, &r);
    const POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    clicker = std::thread([at, &clicked] {
      Display* c = XOpenDisplay(nullptr);
      if (!c) return;
      XTestFakeMotionEvent(c, DefaultScreen(c), at.x, at.y, CurrentTime);
      XTestFakeButtonEvent(c, 1, True, CurrentTime);
      XTestFakeButtonEvent(c, 1, False, CurrentTime);
      XFlush(c);
      XCloseDisplay(c);
      clicked = true;
    });
  };
  // Should the click never arrive, a timer ends the menu.
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 8000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  const UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD, 120, 120, 0, owner, nullptr));
  KillTimer(nullptr, watchdog);
  if (clicker.joinable()) clicker.join();
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(overrideRedirect);
  EXPECT_TRUE(grabbed);
  EXPECT_EQ(cmd, 102u);
  DestroyMenu(menu);
  ResetWindowLayer();
  SetWindowBackend(std::make_unique<THeadlessBackend>());
}

}  // namespace
