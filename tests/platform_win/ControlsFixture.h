#pragma once
// The fixture of the control tests: a parent window that records what its
// controls tell it, and helpers that inject clicks and keys and read pixels.

#include <functional>

#include "tests/platform_win/WinTestUtil.h"

namespace {

inline const char* const kParentClass = "ControlsTestParent";

// What a parent window hears from its controls.
struct Heard {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  UINT notifyCode;  // WM_NOTIFY: the header's code
};
inline std::vector<Heard>* heard = nullptr;

inline LRESULT ParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (heard && (m == WM_COMMAND || m == WM_NOTIFY || m == WM_VSCROLL || m == WM_HSCROLL || m == WM_DRAWITEM)) {
    heard->push_back(Heard{m, wp, lp, m == WM_NOTIFY ? reinterpret_cast<NMHDR*>(lp)->code : 0});
    if (m == WM_DRAWITEM) return TRUE;
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

inline void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

class ControlsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    heard = &log;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = kParentClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
    RegisterClassExW(&wc);
    parent = CreateWindowExW(0, kParentClass, "Parent", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
    Pump();
  }
  void TearDown() override {
    heard = nullptr;
    WindowTest::TearDown();
  }

  HWND Make(const char* cls, DWORD style, int x, int y, int w, int h, const char* text = "", int id = 7) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
    Pump();
    return c;
  }
  // Clicks at a point of the control's client area.
  void Click(HWND c, int x, int y) {
    POINT p{x, y};
    ClientToScreen(c, &p);
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    Pump();
    InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
    Pump();
  }
  std::vector<WORD> Commands() const {
    std::vector<WORD> out;
    for (const Heard& h : log)
      if (h.msg == WM_COMMAND) out.push_back(HIWORD(h.wParam));
    return out;
  }
  std::vector<WORD> ScrollCodes(UINT msg) const {
    std::vector<WORD> out;
    for (const Heard& h : log)
      if (h.msg == msg) out.push_back(LOWORD(h.wParam));
    return out;
  }
  // A pixel of the control's client area, read from its root's surface.
  COLORREF Pixel(HWND c, int x, int y) {
    UpdateWindow(parent);
    POINT p{x, y};
    MapWindowPoints(c, parent, &p, 1);
    return SurfacePixel(parent, p.x, p.y);
  }
  // How many pixels of a client rectangle differ from a colour (one look at the surface).
  int Ink(HWND c, const RECT& r, COLORREF background) {
    return CountPixels(c, r, [&](COLORREF px) { return px != background; });
  }
  // How many pixels of a client rectangle pass a test (one look at the surface).
  template <class F>
  int CountPixels(HWND c, const RECT& r, F test) {
    UpdateWindow(parent);
    TBitmap b;
    GetWindowSurfaceBitmap(parent, b);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        POINT p{x, y};
        MapWindowPoints(c, parent, &p, 1);
        const auto* row = static_cast<const uint8_t*>(b.ScanLine(p.y));
        n += test(RGB(row[p.x * 4 + 2], row[p.x * 4 + 1], row[p.x * 4])) ? 1 : 0;
      }
    return n;
  }

  std::vector<Heard> log;
  HWND parent = nullptr;
};

using Codes = std::vector<WORD>;

inline std::string TextOf(HWND w) {
  char buf[512];
  GetWindowTextW(w, buf, sizeof(buf));
  return buf;
}

inline void Type(const std::u32string& s) {
  for (char32_t c : s) InjectChar(c);
  Pump();
}

inline void Key(int vk, bool shift = false, bool ctrl = false) {
  if (shift) InjectKey(VK_SHIFT, true);
  if (ctrl) InjectKey(VK_CONTROL, true);
  InjectKey(vk, true);
  Pump();  // the modifiers are read while the key is handled
  InjectKey(vk, false);
  if (ctrl) InjectKey(VK_CONTROL, false);
  if (shift) InjectKey(VK_SHIFT, false);
  Pump();
}

}  // namespace
