// The window layer: message sequences, subclassing, painting and clipping,
// hit testing, injected input, capture and timers.

#include <functional>
#include <optional>

#include "tests/platform_win/WinTestUtil.h"

namespace {

const char* const kClass = "WinTestWindow";

// Paints its whole client area in the colour kept in its user data.
LRESULT PaintingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PRINTCLIENT) {
    HBRUSH b = CreateSolidBrush(COLORREF(GetWindowLongPtrW(w, GWLP_USERDATA)));
    RECT r;
    GetClientRect(w, &r);
    FillRect(reinterpret_cast<HDC>(wp), &r, b);
    DeleteObject(b);
    return 0;
  }
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    HBRUSH b = CreateSolidBrush(COLORREF(GetWindowLongPtrW(w, GWLP_USERDATA)));
    RECT r;
    GetClientRect(w, &r);
    FillRect(dc, &r, b);
    DeleteObject(b);
    EndPaint(w, &ps);
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

void RegisterTestClass() {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = PaintingProc;
  wc.lpszClassName = kClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOW + 1));
  RegisterClassExW(&wc);
}

HWND MakeWindow(DWORD style, int x, int y, int w, int h, HWND parent = nullptr, DWORD exStyle = 0) {
  RegisterTestClass();
  return CreateWindowExW(exStyle, kClass, "Test", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

using Seq = std::vector<std::pair<char, UINT>>;

class WinTest : public WindowTest {};

// Each case prepares windows A and B (B may stay null), then acts; the table
// gives every message the two windows received during the action, in order.
TEST_F(WinTest, MessageSequencesFollowTheDocumentedOrder) {
  struct Case {
    const char* name;
    std::function<void(HWND& a, HWND& b)> prepare;
    std::function<void(HWND& a, HWND& b)> act;
    Seq expected;
  };
  const DWORD ov = WS_OVERLAPPEDWINDOW;
  const std::vector<Case> cases{
      {"create hidden", [](HWND&, HWND&) {},
       [&](HWND& a, HWND&) { a = MakeWindow(ov, 10, 10, 200, 150); },
       {{'A', WM_GETMINMAXINFO}, {'A', WM_NCCREATE}, {'A', WM_NCCALCSIZE}, {'A', WM_CREATE}, {'A', WM_SIZE},
        {'A', WM_MOVE}}},
      {"create child", [&](HWND& a, HWND&) { a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150); },
       [&](HWND& a, HWND& b) { b = MakeWindow(WS_CHILD, 5, 5, 50, 40, a); },
       {{'B', WM_NCCREATE}, {'B', WM_NCCALCSIZE}, {'B', WM_CREATE}, {'B', WM_SIZE}, {'B', WM_MOVE},
        {'A', WM_PARENTNOTIFY}}},
      {"show", [&](HWND& a, HWND&) { a = MakeWindow(ov, 10, 10, 200, 150); },
       [](HWND& a, HWND&) { ShowWindow(a, SW_SHOW); },
       {{'A', WM_SHOWWINDOW}, {'A', WM_WINDOWPOSCHANGING}, {'A', WM_ACTIVATEAPP}, {'A', WM_NCACTIVATE},
        {'A', WM_ACTIVATE}, {'A', WM_SETFOCUS}, {'A', WM_NCPAINT}, {'A', WM_ERASEBKGND},
        {'A', WM_WINDOWPOSCHANGED}}},
      {"move", [&](HWND& a, HWND&) { a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150); },
       [](HWND& a, HWND&) { SetWindowPos(a, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); },
       {{'A', WM_WINDOWPOSCHANGING}, {'A', WM_WINDOWPOSCHANGED}, {'A', WM_MOVE}}},
      {"resize", [&](HWND& a, HWND&) { a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150); },
       [](HWND& a, HWND&) { SetWindowPos(a, nullptr, 0, 0, 260, 180, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); },
       {{'A', WM_WINDOWPOSCHANGING}, {'A', WM_GETMINMAXINFO}, {'A', WM_NCCALCSIZE}, {'A', WM_NCPAINT},
        {'A', WM_ERASEBKGND}, {'A', WM_WINDOWPOSCHANGED}, {'A', WM_SIZE}}},
      {"hide", [&](HWND& a, HWND&) { a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150); },
       [](HWND& a, HWND&) { ShowWindow(a, SW_HIDE); },
       {{'A', WM_SHOWWINDOW}, {'A', WM_WINDOWPOSCHANGING}, {'A', WM_WINDOWPOSCHANGED}, {'A', WM_NCACTIVATE},
        {'A', WM_ACTIVATE}, {'A', WM_ACTIVATEAPP}, {'A', WM_KILLFOCUS}}},
      {"activate another",
       [&](HWND& a, HWND& b) {
         b = MakeWindow(ov | WS_VISIBLE, 300, 10, 200, 150);
         a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150);
       },
       [](HWND&, HWND& b) { SetActiveWindow(b); },
       {{'A', WM_NCACTIVATE}, {'A', WM_ACTIVATE}, {'B', WM_WINDOWPOSCHANGING}, {'B', WM_WINDOWPOSCHANGED},
        {'B', WM_NCACTIVATE}, {'B', WM_ACTIVATE}, {'A', WM_KILLFOCUS}, {'B', WM_SETFOCUS}}},
      {"destroy shown", [&](HWND& a, HWND&) { a = MakeWindow(ov | WS_VISIBLE, 10, 10, 200, 150); },
       [](HWND& a, HWND&) { DestroyWindow(a); },
       {{'A', WM_WINDOWPOSCHANGING}, {'A', WM_WINDOWPOSCHANGED}, {'A', WM_NCACTIVATE}, {'A', WM_ACTIVATE},
        {'A', WM_ACTIVATEAPP}, {'A', WM_KILLFOCUS}, {'A', WM_DESTROY}, {'A', WM_NCDESTROY}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetWindowLayer();
    MessageRecorder rec;
    HWND a = nullptr, b = nullptr;
    c.prepare(a, b);
    Pump();
    rec.log.clear();
    c.act(a, b);
    Seq got;
    for (const auto& e : rec.log) got.emplace_back(e.wnd == a ? 'A' : e.wnd == b ? 'B' : '?', e.msg);
    auto text = [](const Seq& s) {
      std::string t;
      for (auto& [w, m] : s) t += std::string(t.empty() ? "" : " ") + w + ":" + MessageName(m);
      return t;
    };
    EXPECT_EQ(text(got), text(c.expected));
  }
}

TEST_F(WinTest, SubclassSeesMessagesFirstAndRestoringLeavesTheWindowIntact) {
  HWND w = MakeWindow(WS_OVERLAPPEDWINDOW, 10, 10, 200, 150);
  std::vector<std::string> order;
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC));
  WNDPROC inner = MakeObjectInstance([&](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT) order.push_back("original");
    return CallWindowProcW(original, h, m, wp, lp);
  });
  SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(inner)));
  WNDPROC saved = nullptr;
  WNDPROC outer = MakeObjectInstance([&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_SETTEXT) {
      order.push_back("subclass");
      if (std::string(reinterpret_cast<const char*>(lp)) == "refused") return FALSE;  // swallowed
    }
    return CallWindowProcW(saved, h, m, wp, lp);
  });
  saved = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(outer))));
  EXPECT_EQ(saved, inner);

  EXPECT_TRUE(SetWindowTextW(w, "passed on"));
  EXPECT_FALSE(SetWindowTextW(w, "refused"));
  EXPECT_EQ(order, (std::vector<std::string>{"subclass", "original", "subclass"}));
  char text[64];
  GetWindowTextW(w, text, sizeof(text));
  EXPECT_STREQ(text, "passed on");

  // Restoring the saved procedure takes the subclass out of the chain for good.
  SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(saved)));
  FreeObjectInstance(outer);
  order.clear();
  EXPECT_TRUE(SetWindowTextW(w, "refused"));
  EXPECT_EQ(order, std::vector<std::string>{"original"});
  ShowWindow(w, SW_SHOW);
  Pump();
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_TRUE(DestroyWindow(w));
  FreeObjectInstance(inner);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(WinTest, InvalidatingPartOfAWindowRepaintsOnlyThatPart) {
  HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 80);
  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(255, 0, 0));
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  EXPECT_EQ(SurfacePixel(w, 50, 40), RGB(255, 0, 0));

  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(0, 0, 255));
  RECT part{10, 10, 30, 20};
  InvalidateRect(w, &part, FALSE);
  RECT upd;
  EXPECT_TRUE(GetUpdateRect(w, &upd, FALSE));
  EXPECT_TRUE(EqualRect(&upd, &part));
  Pump();  // WM_PAINT comes from the queue
  EXPECT_FALSE(GetUpdateRect(w, &upd, FALSE));
  EXPECT_EQ(SurfacePixel(w, 10, 10), RGB(0, 0, 255));
  EXPECT_EQ(SurfacePixel(w, 29, 19), RGB(0, 0, 255));
  EXPECT_EQ(SurfacePixel(w, 30, 19), RGB(255, 0, 0));
  EXPECT_EQ(SurfacePixel(w, 29, 20), RGB(255, 0, 0));
  EXPECT_EQ(SurfacePixel(w, 9, 15), RGB(255, 0, 0));
}

TEST_F(WinTest, ChildrenClipToTheirParentAndClippingParentsSpareThem) {
  // Parent client is 200 x 100 at (4, 23) inside its frame; the child hangs over its right edge.
  HWND parent = MakeWindow(WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 208,
                           127);
  RECT cr;
  GetClientRect(parent, &cr);
  ASSERT_EQ(cr.right, 200);
  ASSERT_EQ(cr.bottom, 100);
  SetWindowLongPtrW(parent, GWLP_USERDATA, RGB(255, 0, 0));
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, 150, 60, 100, 100, parent);
  SetWindowLongPtrW(child, GWLP_USERDATA, RGB(0, 255, 0));
  InvalidateRect(parent, nullptr, TRUE);
  InvalidateRect(child, nullptr, TRUE);
  Pump();
  const POINT o{4, 23};  // client origin inside the surface
  EXPECT_EQ(SurfacePixel(parent, o.x + 160, o.y + 70), RGB(0, 255, 0));    // child
  EXPECT_EQ(SurfacePixel(parent, o.x + 140, o.y + 70), RGB(255, 0, 0));    // parent beside it
  EXPECT_NE(SurfacePixel(parent, o.x + 201, o.y + 70), RGB(0, 255, 0));    // right border: clipped
  EXPECT_NE(SurfacePixel(parent, o.x + 160, o.y + 101), RGB(0, 255, 0));   // bottom border: clipped

  // The clipping parent repaints around the child, never over it.
  InvalidateRect(parent, nullptr, TRUE);
  UpdateWindow(parent);
  EXPECT_EQ(SurfacePixel(parent, o.x + 160, o.y + 70), RGB(0, 255, 0));
}

// Nothing is drawn for hidden windows, and a window's whole tree shares one
// surface: showing or resizing a window paints every control in it again,
// also inside clipping parents, and its frame at the new edges.
TEST_F(WinTest, ShowingAndResizingRepaintEveryControlAndTheFrame) {
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  HWND top = MakeWindow(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 208, 127);
  SetWindowLongPtrW(top, GWLP_USERDATA, red);
  HWND panel = MakeWindow(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 120, 60, top);
  SetWindowLongPtrW(panel, GWLP_USERDATA, green);
  HWND inner = MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, 40, 20, panel);
  SetWindowLongPtrW(inner, GWLP_USERDATA, blue);
  const POINT o{4, 23};  // client origin inside the surface
  const auto painted = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(SurfacePixel(top, o.x + 5, o.y + 5), red);
    EXPECT_EQ(SurfacePixel(top, o.x + 15, o.y + 15), green);
    EXPECT_EQ(SurfacePixel(top, o.x + 25, o.y + 25), blue);
    RECT wr;
    GetWindowRect(top, &wr);
    const int right = wr.right - wr.left - 1, bottom = wr.bottom - wr.top - 1;
    EXPECT_EQ(SurfacePixel(top, right, 60), GetSysColor(COLOR_BTNSHADOW));   // right edge of the frame
    EXPECT_EQ(SurfacePixel(top, 60, bottom), GetSysColor(COLOR_BTNSHADOW));  // bottom edge
    EXPECT_EQ(SurfacePixel(top, right - 2, 60), GetSysColor(COLOR_ACTIVEBORDER));
  };
  ShowWindow(top, SW_SHOW);
  Pump();
  painted("shown");
  SetWindowPos(top, nullptr, 0, 0, 160, 90, SWP_NOZORDER | SWP_NOMOVE);
  Pump();
  painted("made smaller");
  SetWindowPos(top, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
  Pump();
  painted("made larger");
  EXPECT_EQ(SurfacePixel(top, o.x + 125, o.y + 15), green);  // the panel's part that was outside before
  // Until it paints again, a resized window keeps the picture it had.
  SetWindowPos(top, nullptr, 0, 0, 320, 210, SWP_NOZORDER | SWP_NOMOVE | SWP_NOREDRAW);
  EXPECT_EQ(SurfacePixel(top, o.x + 25, o.y + 25), blue);
}

TEST_F(WinTest, SurfaceShowsThePlainFrameAndTheClient) {
  HWND w = MakeWindow(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 160, 100);
  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(10, 20, 30));
  InvalidateRect(w, nullptr, TRUE);
  Pump();
  // Fixed frame: 3 pixels of border, a 19 pixel caption (active), then the client.
  EXPECT_EQ(SurfacePixel(w, 0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(SurfacePixel(w, 1, 50), GetSysColor(COLOR_ACTIVEBORDER));
  EXPECT_EQ(SurfacePixel(w, 60, 4), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(SurfacePixel(w, 80, 60), RGB(10, 20, 30));
  RECT close;
  GetWindowRect(w, &close);
  EXPECT_EQ(SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(150, 10)), HTCLOSE);
  // Deactivated, the caption turns to the inactive colour.
  SendMessageW(w, WM_NCACTIVATE, FALSE, 0);
  EXPECT_EQ(SurfacePixel(w, 60, 4), GetSysColor(COLOR_INACTIVECAPTION));
}

TEST_F(WinTest, HitTestCodesAcrossTheFrame) {
  // Sizeable frame of 4, caption 19: client (104, 123)-(296, 246).
  HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 150);
  const struct {
    int x, y;
    LRESULT code;
  } points[]{
      {150, 110, HTCAPTION}, {285, 110, HTCLOSE},      {262, 110, HTMAXBUTTON}, {245, 110, HTMINBUTTON},
      {110, 110, HTSYSMENU}, {101, 180, HTLEFT},       {298, 180, HTRIGHT},     {200, 101, HTTOP},
      {200, 248, HTBOTTOM},  {101, 101, HTTOPLEFT},    {299, 249, HTBOTTOMRIGHT}, {101, 249, HTBOTTOMLEFT},
      {200, 200, HTCLIENT},  {99, 200, HTNOWHERE},     {300, 200, HTNOWHERE},
  };
  for (const auto& p : points) {
    SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
    EXPECT_EQ(SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), p.code);
  }
}

TEST_F(WinTest, InjectedClicksReachCaptionAndClientAndDragTheWindow) {
  MessageRecorder rec;
  HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 150);
  Pump();
  rec.log.clear();
  InjectMouseButton(TMouseButton::Left, true, 200, 200);
  InjectMouseButton(TMouseButton::Left, false, 200, 200);
  Pump();
  ASSERT_EQ(Names(rec.MessagesOf(w)), "LBUTTONDOWN LBUTTONUP");
  EXPECT_EQ(GET_X_LPARAM(rec.log[0].lParam), 96);  // client coordinates
  EXPECT_EQ(GET_Y_LPARAM(rec.log[0].lParam), 77);

  // A press on the caption starts a move that follows the mouse until release
  // (the move loop is modal: the drag is queued for it to meet).
  rec.log.clear();
  Headless().QueueInput([] { InjectMouseMove(180, 130); });
  Headless().QueueInput([] { InjectMouseButton(TMouseButton::Left, false, 180, 130); });
  InjectMouseButton(TMouseButton::Left, true, 150, 110);
  Pump();
  ASSERT_GE(rec.log.size(), 2u);
  EXPECT_EQ(rec.log[0].msg, WM_NCLBUTTONDOWN);
  EXPECT_EQ(rec.log[0].wParam, WPARAM(HTCAPTION));
  EXPECT_EQ(rec.log[1].msg, WM_SYSCOMMAND);
  EXPECT_EQ(rec.log[1].wParam & 0xFFF0, SC_MOVE);
  const auto msgs = rec.MessagesOf(w);
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), WM_ENTERSIZEMOVE), msgs.end());
  EXPECT_EQ(msgs.back(), WM_EXITSIZEMOVE);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 130);
  EXPECT_EQ(r.top, 120);

  // The close button closes on release over it.
  InjectMouseButton(TMouseButton::Left, true, 315, 130);
  Pump();
  EXPECT_TRUE(IsWindow(w));
  InjectMouseButton(TMouseButton::Left, false, 315, 130);
  Pump();
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(WinTest, CaptureSendsTheMouseToTheCapturingWindow) {
  MessageRecorder rec;
  HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
  HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 200, 0, 100, 100);
  Pump();
  rec.log.clear();
  SetCapture(a);
  InjectMouseMove(250, 50);  // over b, outside a
  Pump();
  ASSERT_EQ(Names(rec.MessagesOf(a)), "MOUSEMOVE");
  EXPECT_EQ(GET_X_LPARAM(rec.log.back().lParam), 250);
  EXPECT_TRUE(rec.MessagesOf(b).empty());
  SetCapture(b);
  EXPECT_EQ(Names(rec.MessagesOf(a)), "MOUSEMOVE CAPTURECHANGED");
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Names(rec.MessagesOf(b)), "CAPTURECHANGED");
  rec.log.clear();
  InjectMouseMove(50, 50);
  Pump();
  EXPECT_EQ(Names(rec.MessagesOf(a)), "MOUSEMOVE");
}

TEST_F(WinTest, TimersFollowTheVirtualClockAndQuitComesAfterPostedMessages) {
  HWND w = MakeWindow(WS_POPUP, 0, 0, 10, 10);
  SetTimer(w, 7, 100, nullptr);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  Headless().AdvanceClock(100);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));  // next one is 100 ms away
  KillTimer(w, 7);
  Headless().AdvanceClock(500);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));

  PostQuitMessage(3);
  PostMessageW(w, WM_USER, 1, 0);
  ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_USER);
  EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WinTest, NestedWaitsServeWindowMessagesButKeepTheQuitRequest) {
  SetMessagePump(PumpWindowMessages);  // the layer's own, without the application
  HWND w = MakeWindow(WS_POPUP, 0, 0, 10, 10);
  int seen = 0;
  WNDPROC inst = MakeObjectInstance([&](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_USER) ++seen;
    return DefWindowProcW(h, m, wp, lp);
  });
  SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(inst)));
  PostMessageW(w, WM_USER, 0, 0);
  PostQuitMessage(0);
  ProcessPendingMessages();
  EXPECT_EQ(seen, 1);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  DestroyWindow(w);
  FreeObjectInstance(inst);
}

TEST_F(WinTest, CreationHookCanRefuseAWindowAndMonitorsComeFromTheBackend) {
  static bool refuse = true;
  HHOOK hook = SetWindowsHookExW(
      WH_CBT, [](int code, WPARAM, LPARAM) -> LRESULT { return code == HCBT_CREATEWND && refuse ? 1 : 0; }, nullptr,
      0);
  EXPECT_EQ(MakeWindow(WS_POPUP, 0, 0, 10, 10), nullptr);
  refuse = false;
  EXPECT_NE(MakeWindow(WS_POPUP, 0, 0, 10, 10), nullptr);
  UnhookWindowsHookEx(hook);

  Headless().SetMonitors({{RECT{0, 0, 800, 600}, RECT{0, 0, 800, 560}, false},
                          {RECT{800, 0, 2720, 1080}, RECT{800, 0, 2720, 1040}, true}});
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  HWND onSecond = MakeWindow(WS_POPUP, 100, 100, 50, 50);
  MONITORINFO mi;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(onSecond, MONITOR_DEFAULTTONULL), &mi));
  EXPECT_EQ(mi.rcMonitor.right, 800);
  EXPECT_EQ(mi.dwFlags, 0u);
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work.bottom, 1040);
}

TEST_F(WinTest, TopmostWindowsStayAboveAndOwnedWindowsAboveTheirOwner) {
  HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, WS_EX_TOPMOST);
  HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
  HWND owned = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, owner);
  HWND other = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
  EXPECT_EQ(GetTopWindow(nullptr), top);
  BringWindowToTop(owner);
  EXPECT_EQ(GetActiveWindow(), owner);  // brought to top without SWP_NOACTIVATE: activated
  EXPECT_EQ(GetWindow(top, GW_HWNDNEXT), owned);
  EXPECT_EQ(GetWindow(owned, GW_HWNDNEXT), owner);
  EXPECT_EQ(GetWindow(owner, GW_HWNDNEXT), other);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  // Destroying the owner takes the owned window with it.
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_TRUE(IsWindow(other));
}

TEST_F(WinTest, PrintDrawsFrameClientAndChildrenIntoAnyDCEvenWhenHidden) {
  HWND parent = MakeWindow(WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME, 0, 0, 208, 127);  // client at (4, 23)
  SetWindowLongPtrW(parent, GWLP_USERDATA, RGB(255, 0, 0));
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, 20, 30, 40, 20, parent);
  SetWindowLongPtrW(child, GWLP_USERDATA, RGB(0, 0, 255));
  TBitmap shot(208, 127);
  SendMessageW(parent, WM_PRINT, WPARAM(shot.Canvas()->Handle()),
               PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  auto pixel = [&](int x, int y) {
    const auto* row = static_cast<const uint8_t*>(shot.ScanLine(y));
    return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
  };
  EXPECT_EQ(pixel(60, 8), GetSysColor(COLOR_INACTIVECAPTION));
  EXPECT_EQ(pixel(4 + 10, 23 + 10), RGB(255, 0, 0));
  EXPECT_EQ(pixel(4 + 25, 23 + 35), RGB(0, 0, 255));
  EXPECT_EQ(pixel(4 + 61, 23 + 35), RGB(255, 0, 0));
  // With PRF_CHECKVISIBLE a hidden window prints nothing.
  TBitmap none(208, 127);
  SendMessageW(parent, WM_PRINT, WPARAM(none.Canvas()->Handle()), PRF_CHECKVISIBLE | PRF_NONCLIENT | PRF_CLIENT);
  EXPECT_EQ(static_cast<const uint8_t*>(none.ScanLine(8))[60 * 4 + 2], 0);
}

TEST_F(WinTest, WindowRegionLimitsHitTestingAndDrawing) {
  HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(255, 0, 0));
  SetWindowRgn(w, CreateEllipticRgn(0, 0, 100, 100), TRUE);
  Pump();
  EXPECT_EQ(WindowFromPoint(POINT{3, 3}), nullptr);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), w);
  EXPECT_EQ(SurfacePixel(w, 50, 50), RGB(255, 0, 0));
  EXPECT_NE(SurfacePixel(w, 3, 3), RGB(255, 0, 0));
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(w, copy), COMPLEXREGION);
  DeleteObject(copy);
  SetWindowRgn(w, nullptr, TRUE);
  EXPECT_EQ(WindowFromPoint(POINT{3, 3}), w);
}

TEST_F(WinTest, LayeredWindowTakesItsPictureAndPlaceFromUpdateLayeredWindow) {
  HWND w = MakeWindow(WS_POPUP, 0, 0, 10, 10, nullptr, WS_EX_LAYERED);
  TBitmap src(40, 30);
  src.Canvas()->Brush()->SetColor(clBlue);
  src.Canvas()->FillRect(Rect(0, 0, 40, 30));
  POINT pos{200, 100}, origin{0, 0};
  SIZE size{40, 30};
  BLENDFUNCTION blend;
  blend.AlphaFormat = AC_SRC_ALPHA;
  ASSERT_TRUE(UpdateLayeredWindow(w, nullptr, &pos, &size, src.Canvas()->Handle(), &origin, 0, &blend, ULW_ALPHA));
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.bottom, 130);
  EXPECT_EQ(SurfacePixel(w, 39, 29), RGB(0, 0, 255));
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(w, nullptr, nullptr, &flags));
  EXPECT_TRUE(flags & LWA_ALPHA);
  EXPECT_FALSE(UpdateLayeredWindow(MakeWindow(WS_POPUP, 0, 0, 10, 10), nullptr, &pos, &size, nullptr, nullptr, 0,
                                   nullptr, 0));
}

TEST_F(WinTest, LeaveTrackingPostsOnceWhenTheMouseLeaves) {
  MessageRecorder rec;
  HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
  HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 200, 0, 100, 100);
  InjectMouseMove(50, 50);
  Pump();
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = a;
  ASSERT_TRUE(TrackMouseEvent(&tme));
  rec.log.clear();
  InjectMouseMove(60, 50);
  InjectMouseMove(250, 50);
  InjectMouseMove(60, 50);
  InjectMouseMove(250, 50);
  Pump();
  EXPECT_EQ(Names(rec.MessagesOf(a)), "MOUSEMOVE MOUSELEAVE MOUSEMOVE");
  EXPECT_EQ(Names(rec.MessagesOf(b)), "MOUSEMOVE MOUSEMOVE");
  // Asked for while the mouse is elsewhere: the leave comes at once.
  rec.log.clear();
  ASSERT_TRUE(TrackMouseEvent(&tme));
  Pump();
  EXPECT_EQ(Names(rec.MessagesOf(a)), "MOUSELEAVE");
}

TEST_F(WinTest, DroppedFilesReachTheAcceptingWindowWithTheirPoint) {
  HWND parent = MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 200, 200);
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, parent);
  EXPECT_FALSE(InjectDropFiles({"/tmp/a.mp4"}, 120, 120));  // nobody accepts files yet
  DragAcceptFiles(parent, TRUE);
  HDROP got = nullptr;
  HWND receiver = nullptr;
  WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent, GWLP_WNDPROC));
  WNDPROC spy = MakeObjectInstance([&](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DROPFILES) {
      got = reinterpret_cast<HDROP>(wp);
      receiver = h;
      return LRESULT(0);
    }
    return CallWindowProcW(old, h, m, wp, lp);
  });
  SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(spy)));
  ASSERT_TRUE(InjectDropFiles({"/tmp/a.mp4", "/tmp/folder"}, 125, 130));  // over the child
  Pump();
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(receiver, parent);
  EXPECT_EQ(DragQueryFileW(got, 0xFFFFFFFF, nullptr, 0), 2u);
  char name[8];
  EXPECT_EQ(DragQueryFileW(got, 1, nullptr, 0), 11u);
  EXPECT_EQ(DragQueryFileW(got, 1, name, sizeof(name)), 7u);  // cut to the buffer
  EXPECT_STREQ(name, "/tmp/fo");
  POINT pt;
  EXPECT_TRUE(DragQueryPoint(got, &pt));
  EXPECT_EQ(pt.x, 25);
  EXPECT_EQ(pt.y, 30);
  DragFinish(got);
  EXPECT_EQ(DragQueryFileW(got, 0xFFFFFFFF, nullptr, 0), 0u);  // a finished drop is gone
  (void)child;
  SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(old)));
  FreeObjectInstance(spy);
}

}  // namespace

namespace {

// Counts the show and hide notifications a display backend would map and unmap on.
class ShowCountingBackend : public THeadlessBackend {
 public:
  void WindowShown(HWND, bool) override { ++shown; }
  int shown = 0;
};

// A premultiplied 32-bit picture, one colour and alpha per half (left, right).
std::unique_ptr<TBitmap> HalvesPicture(int w, int h, uint32_t left, uint32_t right) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint32_t*>(b->ScanLine(y));
    for (int x = 0; x < w; ++x) row[x] = x < w / 2 ? left : right;
  }
  return b;
}

void ShowPicture(HWND w, TBitmap& pic, BYTE alpha = 255) {
  POINT origin{0, 0};
  SIZE size{pic.Width(), pic.Height()};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  UpdateLayeredWindow(w, nullptr, nullptr, &size, pic.Canvas()->Handle(), &origin, 0, &blend, ULW_ALPHA);
  SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT TransparentHitProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return m == WM_NCHITTEST ? HTTRANSPARENT : DefWindowProcW(w, m, wp, lp);
}

}  // namespace

TEST_F(WinTest, StyleWriteStoresVisibleWithoutShowingOrHiding) {
  auto backend = std::make_unique<ShowCountingBackend>();
  ShowCountingBackend* spy = backend.get();
  SetWindowBackend(std::move(backend));
  HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 50, 50);
  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(255, 0, 0));
  UpdateWindow(w);
  ASSERT_EQ(SurfacePixel(w, 5, 5), RGB(255, 0, 0));
  MessageRecorder rec;
  SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&PaintingProc)));
  const int shownBefore = spy->shown;

  const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
  SetWindowLongPtrW(w, GWL_STYLE, style & ~LONG_PTR(WS_VISIBLE));
  EXPECT_FALSE(IsWindowVisible(w));
  // Hidden by its style, the window paints nothing.
  SetWindowLongPtrW(w, GWLP_USERDATA, RGB(0, 255, 0));
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  EXPECT_EQ(SurfacePixel(w, 5, 5), RGB(255, 0, 0));

  SetWindowLongPtrW(w, GWL_STYLE, style);
  EXPECT_TRUE(IsWindowVisible(w));
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  EXPECT_EQ(SurfacePixel(w, 5, 5), RGB(0, 255, 0));
  EXPECT_EQ(spy->shown, shownBefore);
  for (UINT m : rec.MessagesOf(w)) EXPECT_TRUE(m != WM_SHOWWINDOW && m != WM_WINDOWPOSCHANGED) << MessageName(m);
}

TEST_F(WinTest, ClickThroughWindowsLeaveTheMouseToTheWindowBelow) {
  MessageRecorder rec;
  HWND form = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
  HWND marked = MakeWindow(WS_POPUP, 0, 0, 200, 100, nullptr, WS_EX_LAYERED | WS_EX_TRANSPARENT);
  auto solid = HalvesPicture(200, 100, 0xFF0000FF, 0xFF0000FF);
  ShowPicture(marked, *solid);
  EXPECT_EQ(WindowFromPoint(POINT{20, 20}), form);
  SetWindowLongPtrW(marked, GWL_EXSTYLE, WS_EX_LAYERED);
  EXPECT_EQ(WindowFromPoint(POINT{20, 20}), marked);
  DestroyWindow(marked);

  // Per-pixel alpha: the clear half lets the mouse through, the opaque half takes it.
  HWND halves = MakeWindow(WS_POPUP, 0, 0, 200, 100, nullptr, WS_EX_LAYERED);
  auto pic = HalvesPicture(200, 100, 0x00000000, 0xFF00FF00);
  ShowPicture(halves, *pic);
  EXPECT_EQ(WindowFromPoint(POINT{20, 20}), form);
  EXPECT_EQ(WindowFromPoint(POINT{150, 20}), halves);
  DestroyWindow(halves);

  // A top-level window answering HTTRANSPARENT hands the click to the one beneath.
  HWND passing = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
  SetWindowLongPtrW(passing, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&TransparentHitProc)));
  EXPECT_EQ(WindowFromPoint(POINT{20, 20}), passing);
  rec.log.clear();
  InjectMouseButton(TMouseButton::Left, true, 20, 20);
  InjectMouseButton(TMouseButton::Left, false, 20, 20);
  Pump();
  std::vector<UINT> got = rec.MessagesOf(form);
  EXPECT_NE(std::find(got.begin(), got.end(), UINT(WM_LBUTTONDOWN)), got.end()) << Names(got);
  for (UINT m : rec.MessagesOf(passing)) EXPECT_TRUE(m != WM_LBUTTONDOWN && m != WM_NCLBUTTONDOWN);
}

TEST_F(WinTest, ScreenDcShowsTheComposedWindowsAndKeepsNothingDrawn) {
  Headless().SetMonitors({TMonitorDesc{RECT{0, 0, 400, 300}, RECT{0, 0, 400, 280}, true}});
  HWND back = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 260, 100);
  SetWindowLongPtrW(back, GWLP_USERDATA, RGB(255, 0, 0));
  UpdateWindow(back);
  // Left half clear, right half blue at alpha 128 (premultiplied).
  HWND glass = MakeWindow(WS_POPUP, 100, 0, 200, 100, nullptr, WS_EX_LAYERED);
  auto pic = HalvesPicture(200, 100, 0x00000000, 0x80000080);
  ShowPicture(glass, *pic);
  HWND hidden = MakeWindow(WS_POPUP, 0, 200, 50, 50);
  SetWindowLongPtrW(hidden, GWLP_USERDATA, RGB(0, 255, 0));
  // A region cuts the corner of a green window open.
  HWND cut = MakeWindow(WS_POPUP | WS_VISIBLE, 300, 200, 50, 50);
  SetWindowLongPtrW(cut, GWLP_USERDATA, RGB(0, 255, 0));
  SetWindowRgn(cut, CreateRectRgn(10, 10, 50, 50), TRUE);
  UpdateWindow(cut);

  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  struct Probe {
    int x, y;
    COLORREF want;
  } probes[] = {
      {10, 10, RGB(255, 0, 0)},     // the back window alone
      {150, 10, RGB(255, 0, 0)},    // under the clear half
      {250, 10, RGB(127, 0, 128)},  // red through blue at alpha 128
      {290, 10, RGB(0, 0, 128)},    // the same over the black desktop
      {20, 220, RGB(0, 0, 0)},      // a hidden window shows nothing
      {305, 205, RGB(0, 0, 0)},     // outside the region
      {320, 220, RGB(0, 255, 0)},
  };
  for (const Probe& p : probes) EXPECT_EQ(GetPixel(dc, p.x, p.y), p.want) << p.x << "," << p.y;
  RECT all{0, 0, 400, 300};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(SurfacePixel(back, 10, 10), RGB(255, 0, 0));
  dc = GetDC(nullptr);
  EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
  ReleaseDC(nullptr, dc);
}

TEST_F(WinTest, InvalidationWithoutAWindowReachesEveryTopLevelWindowItMeets) {
  MessageRecorder rec;
  HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
  HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 200, 0, 100, 100);
  HWND framed = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 200, 200, 150);
  for (HWND h : {a, b, framed}) UpdateWindow(h);
  RECT r{50, 50, 250, 60};
  InvalidateRect(nullptr, &r, TRUE);
  RECT ua, ub, uf;
  GetUpdateRect(a, &ua, FALSE);
  GetUpdateRect(b, &ub, FALSE);
  const RECT wantA{50, 50, 100, 60}, wantB{0, 50, 50, 60};
  EXPECT_TRUE(EqualRect(&ua, &wantA));
  EXPECT_TRUE(EqualRect(&ub, &wantB));
  EXPECT_FALSE(GetUpdateRect(framed, &uf, FALSE));

  rec.log.clear();
  RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  for (HWND h : {a, b, framed}) EXPECT_FALSE(GetUpdateRect(h, &uf, FALSE));
  std::vector<UINT> got = rec.MessagesOf(framed);
  EXPECT_NE(std::find(got.begin(), got.end(), UINT(WM_NCPAINT)), got.end()) << Names(got);
}

namespace {
// Answers WM_GETMINMAXINFO with its own maximised place when one is set.
std::optional<std::pair<POINT, POINT>> gMaxPlace;
MINMAXINFO gAskedDefaults{};
LRESULT MaxPlaceProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_GETMINMAXINFO) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
    gAskedDefaults = *mmi;
    if (gMaxPlace) {
      mmi->ptMaxPosition = gMaxPlace->first;
      mmi->ptMaxSize = gMaxPlace->second;
    }
    return 0;
  }
  return PaintingProc(w, m, wp, lp);
}
TEST_F(WinTest, NoWindowIsGivenTheDesktopsHandle) {
  // Walking a childless window's children must end there, never at the top-level windows.
  std::vector<HWND> made;
  for (int i = 0; i < 12; ++i) {
    made.push_back(MakeWindow(WS_POPUP, 0, 0, 10, 10));
    EXPECT_NE(made.back(), GetDesktopWindow());
    EXPECT_EQ(GetTopWindow(made.back()), nullptr);
  }
  for (HWND w : made) DestroyWindow(w);
}

}  // namespace

TEST_F(WinTest, MaximisingTakesThePlaceTheWindowAnswersToGetMinMaxInfo) {
  // A work area that does not start at the screen's corner (a panel at the top).
  Headless().SetMonitors({{RECT{0, 0, 1024, 768}, RECT{0, 30, 1024, 768}, true}});
  struct Case {
    const char* name;
    DWORD style;
    std::optional<std::pair<POINT, POINT>> answer;
    RECT expected;
  };
  const Case cases[] = {
      // Defaults: the work area grown by the frame on every side.
      {"sizeable", WS_OVERLAPPEDWINDOW, std::nullopt, RECT{-4, 26, 1028, 772}},
      {"dialog frame", WS_POPUP | WS_CAPTION | WS_SYSMENU, std::nullopt, RECT{-3, 27, 1027, 771}},
      {"no frame", WS_POPUP, std::nullopt, RECT{0, 30, 1024, 768}},
      // The window's own answer, counted from the work area's corner.
      {"answered", WS_OVERLAPPEDWINDOW, std::make_pair(POINT{-6, 20}, POINT{1036, 724}), RECT{-6, 50, 1030, 774}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gMaxPlace = c.answer;
    HWND w = MakeWindow(c.style, 100, 120, 300, 200);
    SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&MaxPlaceProc)));
    ShowWindow(w, SW_SHOWMAXIMIZED);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
    EXPECT_TRUE(IsZoomed(w));
    // Restoring gives the window its place from before.
    ShowWindow(w, SW_RESTORE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    DestroyWindow(w);
  }
  EXPECT_EQ(gAskedDefaults.ptMaxPosition.x, -4);  // the last window was sizeable
  EXPECT_EQ(gAskedDefaults.ptMaxSize.y, 738 + 8);
  gMaxPlace.reset();
}
