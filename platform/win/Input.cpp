// Activation, focus, capture, key state and the routing of backend input
// through hit testing and capture into non-client and client messages.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win/WinInternal.h"

namespace win {

namespace {

struct ClickMemory {
  HWND wnd = nullptr;
  UINT msg = 0;
  uint64_t time = 0;
  POINT pt;
};
ClickMemory lastClick;

void SwitchActive(Window* to, WORD how) {
  State& s = S();
  HWND old = s.active;
  HWND nw = to ? to->handle : nullptr;
  if (old == nw) return;
  if (nw) {
    CBTACTIVATESTRUCT cas{how == WA_CLICKACTIVE, old};
    if (CallCbtHook(HCBT_ACTIVATE, WPARAM(nw), LPARAM(&cas))) return;
  }
  if (Window* o = Get(old)) {
    Send(o, WM_NCACTIVATE, FALSE, LPARAM(nw));
    if ((o = Get(old))) Send(o, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, (o->style & WS_MINIMIZE) ? 1 : 0), LPARAM(nw));
  }
  s.active = nw;
  if (!old || !nw || !Get(old)) {
    std::vector<HWND> tops = s.topLevel;
    for (HWND t : tops)
      if (Window* tw = Get(t)) Send(tw, WM_ACTIVATEAPP, nw ? TRUE : FALSE, 0);
  }
  if (!nw || !Get(nw)) {
    if (HWND f = s.focus) {
      s.focus = nullptr;
      if (Window* fw = Get(f)) Send(fw, WM_KILLFOCUS, 0, 0);
    }
    return;
  }
  Window* w = Get(nw);
  if (s.topLevel.front() != nw) {
    SetWindowPos(nw, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!(w = Get(nw))) return;
  }
  Send(w, WM_NCACTIVATE, TRUE, LPARAM(old));
  if ((w = Get(nw))) Send(w, WM_ACTIVATE, MAKEWPARAM(how, (w->style & WS_MINIMIZE) ? 1 : 0), LPARAM(old));
}

// The window to activate when the active one goes away.
Window* NextToActivate(Window* leaving) {
  if (Window* o = Get(leaving->owner); o && Visible(o) && !(o->style & WS_DISABLED)) return o;
  for (HWND t : S().topLevel) {
    Window* w = Get(t);
    if (w != leaving && Visible(w) && !(w->style & WS_DISABLED) && !(w->exStyle & WS_EX_NOACTIVATE)) return w;
  }
  return nullptr;
}

WPARAM KeyFlags() {
  const uint8_t* k = S().keys;
  WPARAM f = 0;
  if (k[VK_LBUTTON] & 0x80) f |= MK_LBUTTON;
  if (k[VK_RBUTTON] & 0x80) f |= MK_RBUTTON;
  if (k[VK_MBUTTON] & 0x80) f |= MK_MBUTTON;
  if (k[VK_SHIFT] & 0x80) f |= MK_SHIFT;
  if (k[VK_CONTROL] & 0x80) f |= MK_CONTROL;
  return f;
}

// The window under the cursor (or the capture) and its hit-test code.
Window* MouseTarget(POINT pt, LRESULT& hit, UINT mouseMsg) {
  State& s = S();
  if (Window* c = Get(s.capture)) {
    hit = HTCLIENT;
    return c;
  }
  Window* w = Get(WindowFromPoint(pt));
  // Transparent windows pass the mouse to what lies beneath: a child to its
  // parent, a top-level window to the window under it.
  while (w) {
    hit = Send(w, WM_NCHITTEST, 0, PointToLParam(pt));
    if (!(w = Get(w->handle))) return nullptr;
    if (hit != HTTRANSPARENT) break;
    if (w->parent) {
      w = Get(w->parent);
    } else {
      Window* below = TopLevelAt(pt, w->handle);
      w = below ? DeepestAt(below, pt) : nullptr;
    }
  }
  if (!w) return nullptr;
  Send(w, WM_SETCURSOR, WPARAM(w->handle), MAKELPARAM(int(hit), int(mouseMsg)));
  return Get(w->handle);
}

void PostMouse(Window* w, LRESULT hit, UINT clientMsg, POINT pt, WPARAM extra = 0) {
  if (hit == HTCLIENT) {
    POINT c = pt;
    ScreenToClient(w->handle, &c);
    PostInput(w->handle, clientMsg, KeyFlags() | extra, PointToLParam(c));
  } else if (hit != HTNOWHERE && hit != HTERROR && clientMsg != WM_MOUSEWHEEL) {
    PostInput(w->handle, clientMsg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, WPARAM(hit), PointToLParam(pt));
  }
}

// A pending TME_HOVER request: the mouse must rest inside a small square around start.
struct HoverRequest {
  HWND wnd = nullptr;
  bool nonClient = false;
  UINT time = 0;
  POINT start;
  UINT_PTR timer = 0;
};
HoverRequest hoverRequest;
constexpr int kHoverSquare = 4;         // side of the square the resting mouse may wander in
constexpr UINT kDefaultHoverTime = 400;  // HOVER_DEFAULT

void CancelHover(HWND wnd) {
  if (!hoverRequest.wnd || (wnd && hoverRequest.wnd != wnd)) return;
  if (hoverRequest.timer) KillTimer(nullptr, hoverRequest.timer);
  hoverRequest = HoverRequest{};
}

void HoverDue(HWND, UINT, UINT_PTR, DWORD) {
  const HoverRequest r = hoverRequest;
  CancelHover(nullptr);
  Window* w = Get(r.wnd);
  if (!w) return;
  w->trackFlags &= ~TME_HOVER;
  POINT p = S().cursor;
  if (r.nonClient) {
    PostInput(r.wnd, WM_NCMOUSEHOVER, WPARAM(Send(w, WM_NCHITTEST, 0, PointToLParam(p))), PointToLParam(p));
  } else {
    ScreenToClient(r.wnd, &p);
    PostInput(r.wnd, WM_MOUSEHOVER, KeyFlags(), PointToLParam(p));
  }
}

void ArmHover() {
  if (hoverRequest.timer) KillTimer(nullptr, hoverRequest.timer);
  hoverRequest.start = S().cursor;
  hoverRequest.timer = SetTimer(nullptr, 0, hoverRequest.time, &HoverDue);
}

// A move out of the resting square starts the wait again from there.
void HoverMoved() {
  if (!hoverRequest.wnd) return;
  const POINT p = S().cursor;
  if (std::abs(p.x - hoverRequest.start.x) > kHoverSquare / 2 || std::abs(p.y - hoverRequest.start.y) > kHoverSquare / 2)
    ArmHover();
}

// Posts the leave message that the window the mouse just left asked for.
void UpdateHover(Window* w, LRESULT hit) {
  State& s = S();
  HWND now = w ? w->handle : nullptr;
  const bool nonClient = hit != HTCLIENT;
  if (s.hover && (s.hover != now || s.hoverNonClient != nonClient)) {
    Window* old = Get(s.hover);
    if (old && (old->trackFlags & TME_LEAVE) && bool(old->trackFlags & TME_NONCLIENT) == s.hoverNonClient) {
      PostInput(old->handle, s.hoverNonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
      old->trackFlags = 0;
    }
    CancelHover(s.hover);
  }
  s.hover = now;
  s.hoverNonClient = nonClient;
  HoverMoved();
}

}  // namespace

void ActivateWindow(Window* w, WORD how) { SwitchActive(w, how); }

void OnWindowHidden(Window* w) {
  State& s = S();
  HWND h = w->handle;
  if (s.focus && (s.focus == h || IsChild(h, s.focus)) && !IsTopLevel(w)) SetFocus(nullptr);
  if (!(w = Get(h))) return;
  if (s.active == h) SwitchActive(NextToActivate(w), WA_ACTIVE);
  if (s.capture == h || IsChild(h, s.capture)) ReleaseCapture();
}

void OnWindowGone(HWND wnd) {
  State& s = S();
  if (s.capture == wnd) s.capture = nullptr;
  if (s.focus == wnd) s.focus = nullptr;
  if (s.active == wnd) s.active = nullptr;
  if (s.tracking.wnd == wnd) s.tracking = Tracking{};
  if (s.pressedButtonWnd == wnd) s.pressedButtonWnd = nullptr;
  if (s.hover == wnd) s.hover = nullptr;
  if (lastClick.wnd == wnd) lastClick = ClickMemory{};
  CancelHover(wnd);
}

}  // namespace win

using namespace win;

HWND SetCapture(HWND wnd) {
  State& s = S();
  HWND old = s.capture;
  if (!Get(wnd)) return old;
  s.capture = wnd;
  if (old && old != wnd)
    if (Window* o = Get(old)) Send(o, WM_CAPTURECHANGED, 0, LPARAM(wnd));
  return old;
}

BOOL ReleaseCapture() {
  State& s = S();
  HWND old = s.capture;
  s.capture = nullptr;
  if (Window* o = Get(old)) Send(o, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return S().capture; }
HWND GetFocus() { return S().focus; }
HWND GetActiveWindow() { return S().active; }
HWND GetForegroundWindow() { return S().active; }

HWND SetFocus(HWND wnd) {
  State& s = S();
  HWND old = s.focus;
  if (wnd == old) return old;
  Window* w = Get(wnd);
  if (wnd && (!w || (w->style & WS_DISABLED))) return nullptr;
  if (CallCbtHook(HCBT_SETFOCUS, WPARAM(wnd), LPARAM(old))) return nullptr;
  s.focus = wnd;  // first, so that activation leaves the focus where it is going
  if (w) {
    Window* root = Root(w);
    if (root->handle != s.active) SwitchActive(root, WA_ACTIVE);
  }
  if (s.focus != wnd) return old;
  if (Window* o = Get(old)) Send(o, WM_KILLFOCUS, WPARAM(wnd), 0);
  if (s.focus == wnd && (w = Get(wnd))) Send(w, WM_SETFOCUS, WPARAM(old), 0);
  return old;
}

HWND SetActiveWindow(HWND wnd) {
  HWND old = S().active;
  Window* w = Get(wnd);
  if (!w || !IsTopLevel(w)) return nullptr;
  SwitchActive(w, WA_ACTIVE);
  return old;
}

BOOL SetForegroundWindow(HWND wnd) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  SwitchActive(Root(w), WA_ACTIVE);
  return TRUE;
}

BOOL GetCursorPos(POINT* p) {
  if (!p) return FALSE;
  *p = S().cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  S().cursor = POINT{x, y};
  return TRUE;
}

short GetKeyState(int vk) { return (vk >= 0 && vk < 256 && (S().keys[vk] & 0x80)) ? short(0x8000) : 0; }
short GetAsyncKeyState(int vk) { return GetKeyState(vk); }

void InjectMouseMove(int x, int y) {
  State& s = S();
  POINT pt{x, y};
  s.cursor = pt;
  if ((s.tracking.wnd || s.pressedButtonWnd) && TrackMouse(pt, false)) return;
  if (ScrollTracking()) return TrackScrollMouse(pt, false);
  LRESULT hit = HTNOWHERE;
  Window* w = MouseTarget(pt, hit, WM_MOUSEMOVE);
  UpdateHover(w, hit);
  if (w) PostMouse(w, hit, WM_MOUSEMOVE, pt);
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* event) {
  if (!event) return FALSE;
  Window* w = Get(event->hwndTrack);
  if (!w) return FALSE;
  if (event->dwFlags & TME_CANCEL) {
    w->trackFlags &= ~(event->dwFlags & (TME_LEAVE | TME_HOVER));
    if (event->dwFlags & TME_HOVER) CancelHover(w->handle);
    if (!(w->trackFlags & (TME_LEAVE | TME_HOVER))) w->trackFlags = 0;
    return TRUE;
  }
  w->trackFlags = event->dwFlags & (TME_LEAVE | TME_NONCLIENT | TME_HOVER);
  State& s = S();
  const bool nonClient = w->trackFlags & TME_NONCLIENT;
  // Hover waits only while the mouse is over the window (client area or frame as asked).
  if ((event->dwFlags & TME_HOVER) && s.hover == w->handle && s.hoverNonClient == nonClient) {
    CancelHover(nullptr);
    hoverRequest.wnd = w->handle;
    hoverRequest.nonClient = nonClient;
    hoverRequest.time = event->dwHoverTime == HOVER_DEFAULT || event->dwHoverTime == 0 ? kDefaultHoverTime
                                                                                         : event->dwHoverTime;
    ArmHover();
  }
  // Asked while the mouse is already elsewhere: the leave is posted at once.
  if ((w->trackFlags & TME_LEAVE) && (s.hover != w->handle || s.hoverNonClient != nonClient)) {
    PostInput(w->handle, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    w->trackFlags = 0;
  }
  return TRUE;
}

void InjectMouseButton(TMouseButton button, bool down, int x, int y) {
  State& s = S();
  POINT pt{x, y};
  s.cursor = pt;
  const int vk = button == TMouseButton::Left ? VK_LBUTTON : button == TMouseButton::Right ? VK_RBUTTON : VK_MBUTTON;
  s.keys[vk] = down ? 0x80 : 0;
  if (!down && (s.tracking.wnd || s.pressedButtonWnd) && TrackMouse(pt, true)) return;
  if (!down && vk == VK_LBUTTON && ScrollTracking()) return TrackScrollMouse(pt, true);
  const UINT base = button == TMouseButton::Left ? WM_LBUTTONDOWN : button == TMouseButton::Right ? WM_RBUTTONDOWN
                                                                                                  : WM_MBUTTONDOWN;
  UINT msg = down ? base : base + 1;
  LRESULT hit = HTNOWHERE;
  Window* w = MouseTarget(pt, hit, msg);
  if (!w) return;
  HWND h = w->handle;
  Window* root = Root(w);
  if (root->style & WS_DISABLED) return;
  if (down) {
    if (root->handle != s.active && !(root->exStyle & WS_EX_NOACTIVATE) && !s.capture) {
      LRESULT r = Send(w, WM_MOUSEACTIVATE, WPARAM(root->handle), MAKELPARAM(int(hit), int(msg)));
      if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) {
        if (Window* rt = Get(root->handle)) SwitchActive(rt, WA_CLICKACTIVE);
      }
      if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return;
      if (!(w = Get(h))) return;
    }
    const uint64_t now = WindowBackend().Now();
    const bool dbl = (w->cls->wc.style & CS_DBLCLKS || hit != HTCLIENT) && lastClick.wnd == h &&
                     lastClick.msg == msg && now - lastClick.time <= 500 &&
                     std::abs(lastClick.pt.x - x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
                     std::abs(lastClick.pt.y - y) <= GetSystemMetrics(SM_CYDOUBLECLK);
    if (dbl) {
      msg = base + 2;
      lastClick = ClickMemory{};
    } else {
      lastClick = ClickMemory{h, msg, now, pt};
    }
  }
  if (w->style & WS_DISABLED) return;
  if (down) {
    ActivateMdiChildAt(h);
    if (!(w = Get(h))) return;
  }
  PostMouse(w, hit, msg, pt);
}

void InjectMouseWheel(int delta, int x, int y) {
  State& s = S();
  s.cursor = POINT{x, y};
  HWND target = s.focus ? s.focus : s.active;
  if (target) PostInput(target, WM_MOUSEWHEEL, MAKEWPARAM(int(KeyFlags()), delta), MAKELPARAM(x, y));
}

void InjectKey(int vk, bool down) {
  State& s = S();
  if (vk < 0 || vk > 255) return;
  const bool repeat = down && (s.keys[vk] & 0x80);
  s.keys[vk] = down ? 0x80 : 0;
  if (down && !repeat) s.altTapped = vk == VK_MENU;
  HWND target = s.focus ? s.focus : s.active;
  if (!target) return;
  const bool alt = s.keys[VK_MENU] & 0x80;
  const bool sys = alt || vk == VK_MENU || vk == VK_F10 || (!s.focus);
  const UINT msg = sys ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  LPARAM lp = 1 | (alt ? (1 << 29) : 0) | (repeat ? (1 << 30) : 0);
  if (!down) lp |= LPARAM(0xC0000000u);
  PostInput(target, msg, WPARAM(vk), lp);
}

void InjectChar(char32_t ch) {
  State& s = S();
  HWND target = s.focus ? s.focus : s.active;
  if (target) PostInput(target, (s.keys[VK_MENU] & 0x80) ? WM_SYSCHAR : WM_CHAR, WPARAM(ch), 1);
}

// ---- Dropped files ----

struct HDROP__ {
  std::vector<std::string> files;
  POINT point;  // client coordinates of the receiving window
  bool inClient = false;
};

namespace {
std::vector<HDROP>& LiveDrops() {
  static auto* drops = new std::vector<HDROP>();
  return *drops;
}
bool IsLive(HDROP drop) {
  auto& d = LiveDrops();
  return drop && std::find(d.begin(), d.end(), drop) != d.end();
}
}  // namespace

void DragAcceptFiles(HWND wnd, BOOL accept) {
  Window* w = Get(wnd);
  if (!w) return;
  if (accept) w->exStyle |= WS_EX_ACCEPTFILES;
  else w->exStyle &= ~WS_EX_ACCEPTFILES;
}

bool InjectDropFiles(const std::vector<std::string>& files, int x, int y) {
  POINT pt{x, y};
  Window* w = Get(WindowFromPoint(pt));
  while (w && !(w->exStyle & WS_EX_ACCEPTFILES)) w = w->parent ? Get(w->parent) : nullptr;
  if (!w || files.empty()) return false;
  auto* drop = new HDROP__{files, pt, false};
  ScreenToClient(w->handle, &drop->point);
  RECT cr = ClientRectOf(w);
  drop->inClient = PtInRect(&cr, drop->point);
  LiveDrops().push_back(drop);
  PostInput(w->handle, WM_DROPFILES, WPARAM(drop), 0);
  return true;
}

UINT DragQueryFileW(HDROP drop, UINT index, char* file, UINT size) {
  if (!IsLive(drop)) return 0;
  if (index == 0xFFFFFFFF) return UINT(drop->files.size());
  if (index >= drop->files.size()) return 0;
  const std::string& name = drop->files[index];
  if (!file) return UINT(name.size());
  if (size == 0) return 0;
  const size_t n = std::min(name.size(), size_t(size - 1));
  memcpy(file, name.data(), n);
  file[n] = 0;
  return UINT(n);
}

BOOL DragQueryPoint(HDROP drop, POINT* point) {
  if (!IsLive(drop) || !point) return FALSE;
  *point = drop->point;
  return drop->inClient ? TRUE : FALSE;
}

void DragFinish(HDROP drop) {
  auto& d = LiveDrops();
  auto it = std::find(d.begin(), d.end(), drop);
  if (it == d.end()) return;
  d.erase(it);
  delete drop;
}
