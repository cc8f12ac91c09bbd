// The move and size loops: a press on the caption or a border runs a modal
// loop until the button goes up, with the documented messages per
// step. The drag is scripted through the headless backend's input queue,
// which the loop meets while it waits.

#include "tests/platform_win/WinTestUtil.h"

namespace {

class MoveSizeTest : public WindowTest {
 protected:
  HWND MakeWindow(DWORD style, int x, int y, int w, int h) {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &Proc;
    wc.lpszClassName = "MoveSizeTestWindow";
    RegisterClassExW(&wc);
    HWND wnd = CreateWindowExW(0, "MoveSizeTestWindow", "Drag", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    Pump();
    return wnd;
  }
  static void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
  // Queues a press at "from", a drag to "to" (in two steps) and its release, and lets them run.
  void Drag(POINT from, POINT to, std::function<void()> whileDragging = nullptr) {
    POINT mid{(from.x + to.x) / 2, (from.y + to.y) / 2};
    Headless().QueueInput([from] { InjectMouseButton(TMouseButton::Left, true, from.x, from.y); });
    Headless().QueueInput([mid, whileDragging] {
      InjectMouseMove(mid.x, mid.y);
      if (whileDragging) whileDragging();
    });
    Headless().QueueInput([to] { InjectMouseMove(to.x, to.y); });
    Headless().QueueInput([to] { InjectMouseButton(TMouseButton::Left, false, to.x, to.y); });
    Pump();
  }
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (hook) hook(m);
    if (m == WM_SIZING && minWidth > 0) {
      // Keeps a minimum width by moving the dragged edge back, as applications do.
      auto* r = reinterpret_cast<RECT*>(lp);
      if (r->right - r->left < minWidth) r->right = r->left + minWidth;
      return TRUE;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  static inline int minWidth = 0;
  static inline std::function<void(UINT)> hook;
  void TearDown() override {
    hook = nullptr;
    WindowTest::TearDown();
  }
};

TEST_F(MoveSizeTest, DraggingTheCaptionRunsAModalMoveLoopUntilRelease) {
  MessageRecorder rec;
  HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 150);
  rec.log.clear();
  bool capturedMeanwhile = false, loopRunning = false;
  // The steps after the press run inside the loop: the loop has begun and not yet ended.
  static bool seenEnter = false;
  seenEnter = false;
  hook = [](UINT m) {
    if (m == WM_ENTERSIZEMOVE) seenEnter = true;
    if (m == WM_EXITSIZEMOVE) seenEnter = false;
  };
  Drag(POINT{150, 110}, POINT{190, 140}, [&] {
    capturedMeanwhile = GetCapture() == w;
    loopRunning = seenEnter;
  });
  EXPECT_TRUE(capturedMeanwhile);
  EXPECT_TRUE(loopRunning);
  EXPECT_EQ(Headless().QueuedInput(), 0u);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 140);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(GetCapture(), nullptr);

  std::vector<UINT> seen;
  for (UINT m : rec.MessagesOf(w))
    if (m == WM_ENTERSIZEMOVE || m == WM_MOVING || m == WM_WINDOWPOSCHANGING || m == WM_EXITSIZEMOVE ||
        m == WM_SYSCOMMAND || m == WM_CAPTURECHANGED)
      seen.push_back(m);
  EXPECT_EQ(Names(seen), "SYSCOMMAND ENTERSIZEMOVE MOVING WINDOWPOSCHANGING MOVING WINDOWPOSCHANGING MOVING "
                         "WINDOWPOSCHANGING CAPTURECHANGED EXITSIZEMOVE");
}

TEST_F(MoveSizeTest, EscapePutsTheWindowBackAndSizingKeepsTheApplicationsLimits) {
  HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 150);
  Headless().QueueInput([] { InjectMouseButton(TMouseButton::Left, true, 150, 110); });
  Headless().QueueInput([] { InjectMouseMove(250, 250); });
  Headless().QueueInput([] {
    InjectKey(VK_ESCAPE, true);
    InjectKey(VK_ESCAPE, false);
  });
  Pump();
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  InjectMouseButton(TMouseButton::Left, false, 250, 250);
  Pump();
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 100);  // the release after the loop ended moves nothing

  // The bottom-right corner sizes; WM_SIZING may change the rectangle the step takes.
  minWidth = 180;
  Drag(POINT{r.right - 2, r.bottom - 2}, POINT{r.right - 62, r.bottom + 38});
  minWidth = 0;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, 180);
  EXPECT_EQ(r.bottom - r.top, 190);
}

TEST_F(MoveSizeTest, TheStatusBarsGripSizesItsWindow) {
  HWND w = MakeWindow(WS_POPUP | WS_THICKFRAME | WS_VISIBLE, 100, 100, 300, 200);
  HWND sb = CreateWindowExW(0, STATUSCLASSNAMEW, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, w, nullptr,
                            nullptr, nullptr);
  Pump();
  RECT g;
  GetWindowRect(sb, &g);
  Drag(POINT{g.right - 3, g.bottom - 3}, POINT{g.right + 47, g.bottom + 27});
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, 350);
  EXPECT_EQ(r.bottom - r.top, 230);
}

}  // namespace
