#pragma once
// Shared fixture of the window-layer tests: a fresh headless backend and a
// clean window layer per test, and a recorder that subclasses every new window.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/os/Threads.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Backend.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    ResetWindowLayer();
    SetWindowBackend(std::make_unique<THeadlessBackend>());
    Application->ResetForTests();
    Application->Initialize();
  }
  void TearDown() override {
    ResetWindowLayer();
    Application->ResetForTests();
  }
  THeadlessBackend& Headless() { return *HeadlessBackend(); }
  // A shown, active form without a frame at the screen's corner.
  void ShowForm(TForm& form, int w = 400, int h = 300) {
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, w, h);
    form.Show();
    SetActiveWindow(form.Handle());
    Application->ProcessMessages();
  }
};

// Records every message of every window created while it is installed,
// through a procedure put in front of the window's own at creation.
class MessageRecorder {
 public:
  struct Entry {
    HWND wnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    TThreadID thread;
  };

  MessageRecorder() {
    self_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &Cbt, nullptr, 0);
  }
  ~MessageRecorder() {
    UnhookWindowsHookEx(hook_);
    self_ = nullptr;
  }

  std::vector<Entry> log;
  // Messages left out of the log (noise for sequence tables).
  std::vector<UINT> ignored{WM_GETTEXT, WM_GETTEXTLENGTH, WM_SETCURSOR, WM_NCHITTEST, WM_STYLECHANGING,
                            WM_STYLECHANGED, WM_PAINT, WM_TIMER};

  std::vector<UINT> MessagesOf(HWND wnd) const {
    std::vector<UINT> out;
    for (const Entry& e : log)
      if (e.wnd == wnd) out.push_back(e.msg);
    return out;
  }

 private:
  static LRESULT Cbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && self_) {
      HWND w = reinterpret_cast<HWND>(wParam);
      self_->old_[w] = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Proc))));
    }
    return self_ ? CallNextHookEx(self_->hook_, code, wParam, lParam) : 0;
  }
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    WNDPROC old = self_ ? self_->old_[w] : nullptr;
    if (self_ && std::find(self_->ignored.begin(), self_->ignored.end(), m) == self_->ignored.end())
      self_->log.push_back(Entry{w, m, wp, lp, GetCurrentThreadId()});
    return old ? CallWindowProcW(old, w, m, wp, lp) : DefWindowProcW(w, m, wp, lp);
  }

  static inline MessageRecorder* self_ = nullptr;
  HHOOK hook_ = nullptr;
  std::map<HWND, WNDPROC> old_;
};

inline std::string MessageName(UINT m) {
  static const std::map<UINT, const char*> names{
      {WM_CREATE, "CREATE"}, {WM_DESTROY, "DESTROY"}, {WM_MOVE, "MOVE"}, {WM_SIZE, "SIZE"},
      {WM_ACTIVATE, "ACTIVATE"}, {WM_SETFOCUS, "SETFOCUS"}, {WM_KILLFOCUS, "KILLFOCUS"},
      {WM_SETTEXT, "SETTEXT"}, {WM_PAINT, "PAINT"}, {WM_CLOSE, "CLOSE"}, {WM_ERASEBKGND, "ERASEBKGND"},
      {WM_SHOWWINDOW, "SHOWWINDOW"}, {WM_ACTIVATEAPP, "ACTIVATEAPP"}, {WM_MOUSEACTIVATE, "MOUSEACTIVATE"},
      {WM_GETMINMAXINFO, "GETMINMAXINFO"}, {WM_WINDOWPOSCHANGING, "WINDOWPOSCHANGING"},
      {WM_WINDOWPOSCHANGED, "WINDOWPOSCHANGED"}, {WM_NCCREATE, "NCCREATE"}, {WM_NCDESTROY, "NCDESTROY"},
      {WM_NCCALCSIZE, "NCCALCSIZE"}, {WM_NCPAINT, "NCPAINT"}, {WM_NCACTIVATE, "NCACTIVATE"},
      {WM_PARENTNOTIFY, "PARENTNOTIFY"}, {WM_NCLBUTTONDOWN, "NCLBUTTONDOWN"}, {WM_LBUTTONDOWN, "LBUTTONDOWN"},
      {WM_LBUTTONUP, "LBUTTONUP"}, {WM_MOUSEMOVE, "MOUSEMOVE"}, {WM_NCMOUSEMOVE, "NCMOUSEMOVE"},
      {WM_SYSCOMMAND, "SYSCOMMAND"}, {WM_CAPTURECHANGED, "CAPTURECHANGED"}, {WM_ENTERSIZEMOVE, "ENTERSIZEMOVE"},
      {WM_EXITSIZEMOVE, "EXITSIZEMOVE"}, {WM_MOVING, "MOVING"}, {WM_NCLBUTTONUP, "NCLBUTTONUP"},
      {WM_MOUSELEAVE, "MOUSELEAVE"}, {WM_NCMOUSELEAVE, "NCMOUSELEAVE"}};
  auto it = names.find(m);
  if (it != names.end()) return it->second;
  char buf[16];
  snprintf(buf, sizeof(buf), "0x%04X", m);
  return buf;
}

inline std::string Names(const std::vector<UINT>& msgs) {
  std::string s;
  for (UINT m : msgs) s += (s.empty() ? "" : " ") + MessageName(m);
  return s;
}

// The colour of a pixel of a window's surface (window coordinates of its root).
inline COLORREF SurfacePixel(HWND wnd, int x, int y) {
  TBitmap b;
  GetWindowSurfaceBitmap(wnd, b);
  const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
  return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
}
