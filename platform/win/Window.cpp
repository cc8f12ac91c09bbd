// Window records, classes, creation and destruction, long values, properties,
// text, relations, z-order, positions, showing and window procedures.

#include <algorithm>
#include <cstring>

#include "platform/os/Threads.h"
#include "platform/win/WinInternal.h"

namespace win {

State& S() {
  static State* state = new State();  // never freed: windows may outlive static destructors
  return *state;
}

Window* Get(HWND wnd) {
  if (!wnd) return nullptr;
  auto& m = S().windows;
  auto it = m.find(wnd);
  return it == m.end() ? nullptr : it->second.get();
}

bool IsTopLevel(const Window* w) { return w->parent == nullptr; }

MINMAXINFO AskMinMaxInfo(Window* w) {
  MINMAXINFO mmi{};
  // Maximised, the frame lies just outside the work area of the window's monitor.
  MONITORINFO mi;
  GetMonitorInfoW(MonitorFromWindow(w->handle, MONITOR_DEFAULTTOPRIMARY), &mi);
  const int border = MetricsFor(w->style, w->exStyle).border;
  mmi.ptMaxPosition = POINT{-border, -border};
  mmi.ptMaxSize = POINT{mi.rcWork.right - mi.rcWork.left + 2 * border, mi.rcWork.bottom - mi.rcWork.top + 2 * border};
  mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  mmi.ptMaxTrackSize = POINT{32767, 32767};
  Send(w, WM_GETMINMAXINFO, 0, LPARAM(&mmi));
  return mmi;
}

Window* Root(Window* w) {
  while (w && w->parent) w = Get(w->parent);
  return w;
}

bool Visible(const Window* w) {
  for (const Window* p = w; p; p = p->parent ? Get(p->parent) : nullptr)
    if (!(p->style & WS_VISIBLE)) return false;
  return true;
}

POINT ScreenOrigin(const Window* w) {
  POINT p{w->rect.left, w->rect.top};
  for (const Window* c = w; c->parent;) {
    const Window* par = Get(c->parent);
    p.x += par->rect.left + par->client.left;
    p.y += par->rect.top + par->client.top;
    c = par;
  }
  return p;
}

POINT SurfaceOrigin(const Window* w) {
  POINT p{0, 0};
  for (const Window* c = w; c->parent;) {
    const Window* par = Get(c->parent);
    p.x += c->rect.left + par->client.left;
    p.y += c->rect.top + par->client.top;
    c = par;
  }
  return p;
}

RECT ClientRectOf(const Window* w) { return RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top}; }
RECT WindowRectOf(const Window* w) { return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top}; }

namespace {

WindowClass* FindClass(const char* name) {
  if (!S().systemClasses) {
    S().systemClasses = true;
    RegisterSystemClasses();
  }
  const uintptr_t v = reinterpret_cast<uintptr_t>(name);
  for (auto& c : S().classes) {
    if (v < 0x10000 ? c->atom == ATOM(v) : strcasecmp(c->name.c_str(), name) == 0) return c.get();
  }
  return nullptr;
}

std::vector<HWND>& SiblingList(Window* w) { return w->parent ? Get(w->parent)->children : S().topLevel; }

bool IsOwnedBy(Window* w, HWND owner) {
  for (Window* o = w; o && o->owner; o = Get(o->owner))
    if (o->owner == owner) return true;
  return false;
}

// Places w in its sibling list; keeps the topmost band first and owned windows above their owners.
void PlaceInZOrder(Window* w, HWND after) {
  auto& list = SiblingList(w);
  list.erase(std::remove(list.begin(), list.end(), w->handle), list.end());
  const bool top = IsTopLevel(w);
  if (top && after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
  if (top && (after == HWND_NOTOPMOST || after == HWND_BOTTOM)) w->exStyle &= ~WS_EX_TOPMOST;
  auto band = [](HWND h) { return (Get(h)->exStyle & WS_EX_TOPMOST) != 0; };
  size_t pos = 0;
  if (after == HWND_BOTTOM) {
    pos = list.size();
  } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
    pos = 0;
  } else {
    auto it = std::find(list.begin(), list.end(), after);
    pos = it == list.end() ? 0 : size_t(it - list.begin()) + 1;
  }
  list.insert(list.begin() + long(pos), w->handle);
  if (!top) return;
  std::stable_partition(list.begin(), list.end(), band);
  // Owned windows come right in front of their owner when they fell behind it.
  auto self = std::find(list.begin(), list.end(), w->handle);
  std::vector<HWND> owned;
  for (auto it = self + 1; it != list.end(); ++it)
    if (IsOwnedBy(Get(*it), w->handle) && band(*it) == band(w->handle)) owned.push_back(*it);
  for (HWND o : owned) {
    list.erase(std::find(list.begin(), list.end(), o));
    list.insert(std::find(list.begin(), list.end(), w->handle), o);
  }
}

void DestroyTree(HWND wnd) {
  Window* w = Get(wnd);
  if (!w) return;
  w->destroying = true;
  Send(w, WM_DESTROY, 0, 0);
  if (!(w = Get(wnd))) return;
  std::vector<HWND> kids = w->children;
  for (HWND k : kids) DestroyTree(k);
  if (!(w = Get(wnd))) return;
  Send(w, WM_NCDESTROY, 0, 0);
  if (!(w = Get(wnd))) return;
  auto& list = SiblingList(w);
  list.erase(std::remove(list.begin(), list.end(), wnd), list.end());
  auto& timers = S().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const TimerRecord& t) { return t.wnd == wnd; }),
               timers.end());
  ForgetWindowMessages(wnd);
  ReleaseDcsOf(wnd);
  OnWindowGone(wnd);
  ForgetWindowMenus(wnd);
  if (w->update) DeleteObject(w->update);
  if (w->shape) DeleteObject(w->shape);
  if (IsTopLevel(w)) WindowBackend().WindowDestroyed(wnd);
  if (w->surface) DeleteObject(w->surface);
  w->cls->windows--;
  S().windows.erase(wnd);
}

}  // namespace

}  // namespace win

using namespace win;

// ---- Object instances ----

namespace {
std::unordered_map<WNDPROC, std::shared_ptr<TWndProcFunction>>& Instances() {
  static auto* m = new std::unordered_map<WNDPROC, std::shared_ptr<TWndProcFunction>>();
  return *m;
}
}  // namespace

WNDPROC MakeObjectInstance(TWndProcFunction fn) {
  auto holder = std::make_shared<TWndProcFunction>(std::move(fn));
  // The holder's address is the procedure value: unique while it lives, and
  // never called as code (CallWindowProcW looks it up first).
  WNDPROC key = reinterpret_cast<WNDPROC>(holder.get());
  Instances()[key] = std::move(holder);
  return key;
}

void FreeObjectInstance(WNDPROC instance) { Instances().erase(instance); }

LRESULT CallWindowProcW(WNDPROC proc, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  auto& inst = Instances();
  auto it = inst.find(proc);
  if (it != inst.end()) {
    std::shared_ptr<TWndProcFunction> keep = it->second;  // survives FreeObjectInstance inside the call
    return (*keep)(wnd, msg, wParam, lParam);
  }
  return proc(wnd, msg, wParam, lParam);
}

// ---- Classes ----

namespace win {
ATOM RegisterClassAtom(const WNDCLASSEXW* wc, ATOM atom) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || FindClass(wc->lpszClassName)) return 0;
  auto c = std::make_unique<WindowClass>();
  c->atom = atom ? atom : S().nextAtom++;
  c->name = wc->lpszClassName;
  c->wc = *wc;
  c->wc.lpszClassName = c->name.c_str();
  c->wc.lpszMenuName = nullptr;
  ATOM a = c->atom;
  S().classes.push_back(std::move(c));
  return a;
}
}  // namespace win

ATOM RegisterClassExW(const WNDCLASSEXW* wc) { return RegisterClassAtom(wc, 0); }

BOOL UnregisterClassW(const char* className, HINSTANCE) {
  WindowClass* c = FindClass(className);
  if (!c || c->windows > 0) return FALSE;
  auto& cl = S().classes;
  cl.erase(std::find_if(cl.begin(), cl.end(), [&](auto& p) { return p.get() == c; }));
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, const char* className, WNDCLASSEXW* wc) {
  WindowClass* c = FindClass(className);
  if (!c) return FALSE;
  if (wc) *wc = c->wc;
  return TRUE;
}

int GetClassNameW(HWND wnd, char* name, int maxCount) {
  Window* w = Get(wnd);
  if (!w || !name || maxCount <= 0) return 0;
  int n = std::min(int(w->cls->name.size()), maxCount - 1);
  memcpy(name, w->cls->name.data(), size_t(n));
  name[n] = 0;
  return n;
}

// ---- Creation and destruction ----

HWND CreateWindowExW(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  InstallWindowMessagePump();
  WindowClass* cls = FindClass(className);
  if (!cls) return nullptr;
  if ((style & WS_CHILD) && !Get(parent)) return nullptr;
  State& s = S();
  auto owned = std::make_unique<Window>();
  Window* w = owned.get();
  s.nextHandle += 4;
  // That value stands for the desktop: a window holding it would be taken for the desktop.
  if (s.nextHandle == reinterpret_cast<uintptr_t>(GetDesktopWindow())) s.nextHandle += 4;
  w->handle = reinterpret_cast<HWND>(s.nextHandle);
  w->cls = cls;
  w->proc = cls->wc.lpfnWndProc;
  w->instance = instance;
  w->extra.assign(size_t(std::max(0, cls->wc.cbWndExtra)), 0);
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = LONG_PTR(reinterpret_cast<uintptr_t>(menu));
  } else if (parent) {
    Window* p = Get(parent);
    w->owner = p ? Root(p)->handle : nullptr;
  }
  if (x == CW_USEDEFAULT) {
    static int cascade = 0;
    x = y = 32 + 24 * (cascade++ % 8);
  }
  if (width == CW_USEDEFAULT) {
    width = 400;
    height = 300;
  }
  HWND h = w->handle;
  cls->windows++;
  s.windows[h] = std::move(owned);

  CREATESTRUCTW cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.x = x;
  cs.y = y;
  cs.cx = width;
  cs.cy = height;
  cs.style = LONG(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;  // as given: an atom stays an atom, as hooks expect
  cs.dwExStyle = exStyle;
  // Children join their siblings at the bottom, so that z-order is creation order (the tab order).
  CBT_CREATEWNDW cbt{&cs, (style & WS_CHILD) ? HWND_BOTTOM : HWND_TOP};
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->rect = RECT{x, y, x + width, y + height};
  if (CallCbtHook(HCBT_CREATEWND, WPARAM(h), LPARAM(&cbt))) {
    cls->windows--;
    s.windows.erase(h);
    return nullptr;
  }
  // The hook may have changed the creation data.
  style = DWORD(cs.style);
  w->style = style & ~WS_VISIBLE;
  w->madeWithSysMenu = (style & WS_SYSMENU) != 0;
  w->exStyle = exStyle = cs.dwExStyle;
  w->rect = RECT{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
  PlaceInZOrder(w, cbt.hwndInsertAfter);
  if (IsTopLevel(w)) WindowBackend().WindowCreated(h);

  auto gone = [&] { return (w = Get(h)) == nullptr; };
  if (!(style & WS_CHILD) && ((style & WS_THICKFRAME) || (style & WS_CAPTION) == WS_CAPTION)) {
    // Captioned windows are asked for their limits; only sizeable ones are held to the minimum.
    const bool sizeable = style & WS_THICKFRAME;
    const MINMAXINFO mmi = AskMinMaxInfo(w);
    if (gone()) return nullptr;
    const int minX = sizeable ? int(mmi.ptMinTrackSize.x) : 0, minY = sizeable ? int(mmi.ptMinTrackSize.y) : 0;
    int cx = std::clamp(int(w->rect.right - w->rect.left), minX, std::max(minX, int(mmi.ptMaxTrackSize.x)));
    int cy = std::clamp(int(w->rect.bottom - w->rect.top), minY, std::max(minY, int(mmi.ptMaxTrackSize.y)));
    w->rect.right = w->rect.left + cx;
    w->rect.bottom = w->rect.top + cy;
  }
  w->normalRect = w->rect;
  if (!Send(w, WM_NCCREATE, 0, LPARAM(&cs))) {
    if (!gone()) DestroyWindow(h);
    return nullptr;
  }
  if (gone()) return nullptr;
  RECT r = w->rect;
  Send(w, WM_NCCALCSIZE, FALSE, LPARAM(&r));
  if (gone()) return nullptr;
  w->client = RECT{r.left - w->rect.left, r.top - w->rect.top, r.right - w->rect.left, r.bottom - w->rect.top};
  if (IsTopLevel(w)) EnsureSurface(w);
  if (Send(w, WM_CREATE, 0, LPARAM(&cs)) == -1) {
    if (!gone()) DestroyWindow(h);
    return nullptr;
  }
  if (gone()) return nullptr;
  w->created = true;
  Send(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client.right - w->client.left, w->client.bottom - w->client.top));
  if (gone()) return nullptr;
  POINT co{w->rect.left + w->client.left, w->rect.top + w->client.top};
  Send(w, WM_MOVE, 0, MAKELPARAM(co.x, co.y));
  if (gone()) return nullptr;
  if ((style & WS_CHILD) && !(exStyle & WS_EX_NOPARENTNOTIFY)) {
    for (Window* p = Get(w->parent); p; p = p->parent ? Get(p->parent) : nullptr) {
      Send(p, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, int(w->id)), LPARAM(h));
      if (p->exStyle & WS_EX_NOPARENTNOTIFY) break;
    }
    if (gone()) return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
  return Get(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND wnd) {
  Window* w = Get(wnd);
  if (!w || w->destroying) return FALSE;
  if (CallCbtHook(HCBT_DESTROYWND, WPARAM(wnd), 0)) return FALSE;
  // Owned windows go first, as they cannot outlive their owner.
  if (IsTopLevel(w)) {
    std::vector<HWND> owned;
    for (HWND t : S().topLevel)
      if (Get(t)->owner == wnd) owned.push_back(t);
    for (HWND o : owned) DestroyWindow(o);
    if (!(w = Get(wnd))) return TRUE;
  }
  if (w->style & WS_VISIBLE) {
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    if (!(w = Get(wnd))) return TRUE;
  }
  OnWindowHidden(w);  // activation, focus and capture leave before the window goes
  if (!(w = Get(wnd))) return TRUE;
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY)) {
    if (Window* p = Get(w->parent)) Send(p, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, int(w->id)), LPARAM(wnd));
    if (!(w = Get(wnd))) return TRUE;
  }
  DestroyTree(wnd);
  return TRUE;
}

void ResetWindowLayer() {
  State& s = S();
  while (!s.topLevel.empty()) {
    HWND h = s.topLevel.front();
    if (!DestroyWindow(h)) DestroyTree(h);  // a hook refusing must not keep test windows alive
    s.topLevel.erase(std::remove(s.topLevel.begin(), s.topLevel.end(), h), s.topLevel.end());
  }
  ClearQueue();
  s.timers.clear();
  s.hooks.clear();
  s.capture = s.focus = s.active = nullptr;
  s.tracking = Tracking{};
  s.pressedButtonWnd = nullptr;
  memset(s.keys, 0, sizeof(s.keys));
  s.classes.erase(std::remove_if(s.classes.begin(), s.classes.end(), [](auto& c) { return c->windows == 0; }),
                  s.classes.end());
  s.systemClasses = false;
}

BOOL IsWindow(HWND wnd) { return Get(wnd) != nullptr; }
BOOL IsWindowVisible(HWND wnd) {
  Window* w = Get(wnd);
  return w && Visible(w);
}
BOOL IsWindowEnabled(HWND wnd) {
  Window* w = Get(wnd);
  return w && !(w->style & WS_DISABLED);
}
BOOL EnableWindow(HWND wnd, BOOL enable) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  const BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
  if (bool(enable) == !wasDisabled) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    if (S().focus && (S().focus == wnd || IsChild(wnd, S().focus))) SetFocus(nullptr);
    if (S().capture == wnd) ReleaseCapture();
  }
  if ((w = Get(wnd))) Send(w, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}
BOOL IsChild(HWND parent, HWND wnd) {
  for (Window* w = Get(wnd); w && w->parent; w = Get(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}
BOOL IsIconic(HWND wnd) {
  Window* w = Get(wnd);
  return w && (w->style & WS_MINIMIZE);
}
BOOL IsZoomed(HWND wnd) {
  Window* w = Get(wnd);
  return w && (w->style & WS_MAXIMIZE);
}
HWND GetParent(HWND wnd) {
  Window* w = Get(wnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND wnd, HWND newParent) {
  Window* w = Get(wnd);
  Window* np = Get(newParent);
  if (!w || (newParent && !np) || wnd == newParent || (np && IsChild(wnd, newParent))) return nullptr;
  HWND old = w->parent ? w->parent : GetDesktopWindow();
  const bool wasVisible = w->style & WS_VISIBLE;
  if (wasVisible) ShowWindow(wnd, SW_HIDE);
  if (!(w = Get(wnd))) return nullptr;
  auto& list = SiblingList(w);
  list.erase(std::remove(list.begin(), list.end(), wnd), list.end());
  const bool wasTop = IsTopLevel(w);
  if (np) {
    w->parent = newParent;
    w->owner = nullptr;
    w->style = (w->style & ~WS_POPUP) | WS_CHILD;
    if (wasTop) {
      WindowBackend().WindowDestroyed(wnd);
      if (w->surface) {
        ReleaseDcsOf(wnd);
        DeleteObject(w->surface);
        w->surface = nullptr;
      }
    }
  } else {
    w->parent = nullptr;
    w->style &= ~WS_CHILD;
    WindowBackend().WindowCreated(wnd);
    EnsureSurface(w);
  }
  PlaceInZOrder(w, HWND_TOP);
  RefreshDcs(Root(w));
  if (wasVisible) ShowWindow(wnd, SW_SHOWNA);
  return old;
}

HWND GetAncestor(HWND wnd, UINT flags) {
  Window* w = Get(wnd);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->parent ? w->parent : GetDesktopWindow();
  Window* r = Root(w);
  if (flags == GA_ROOTOWNER)
    while (r->owner && Get(r->owner)) r = Get(r->owner);
  return r->handle;
}

HWND GetDesktopWindow() {
  // No desktop window exists; this value stands for it as a parent.
  return reinterpret_cast<HWND>(uintptr_t(0x10010));
}

HWND GetWindow(HWND wnd, UINT cmd) {
  Window* w = Get(wnd);
  if (!w) return nullptr;
  if (cmd == GW_OWNER) return w->owner;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  auto& list = SiblingList(w);
  auto it = std::find(list.begin(), list.end(), wnd);
  switch (cmd) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return it + 1 == list.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == list.begin() ? nullptr : *(it - 1);
  }
  return nullptr;
}

HWND GetTopWindow(HWND wnd) {
  if (!wnd || wnd == GetDesktopWindow()) return S().topLevel.empty() ? nullptr : S().topLevel.front();
  return GetWindow(wnd, GW_CHILD);
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
  std::vector<HWND> list = S().topLevel;
  for (HWND h : list)
    if (Get(h) && !proc(h, param)) return FALSE;
  return TRUE;
}

namespace {
bool EnumTree(HWND parent, WNDENUMPROC proc, LPARAM param) {
  Window* p = Get(parent);
  if (!p) return true;
  std::vector<HWND> kids = p->children;
  for (HWND k : kids) {
    if (!Get(k)) continue;
    if (!proc(k, param) || !EnumTree(k, proc, param)) return false;
  }
  return true;
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) { return EnumTree(parent, proc, param); }

HWND FindWindowW(const char* className, const char* windowName) {
  return FindWindowExW(nullptr, nullptr, className, windowName);
}

HWND FindWindowExW(HWND parent, HWND childAfter, const char* className, const char* windowName) {
  const bool top = !parent || parent == GetDesktopWindow();
  Window* p = top ? nullptr : Get(parent);
  if (!top && !p) return nullptr;
  const std::vector<HWND>& list = top ? S().topLevel : p->children;
  const uintptr_t atom = reinterpret_cast<uintptr_t>(className);
  bool started = childAfter == nullptr;
  for (HWND h : list) {
    if (!started) {
      started = h == childAfter;
      continue;
    }
    Window* w = Get(h);
    if (!w) continue;
    if (className && (atom < 0x10000 ? w->cls->atom != ATOM(atom) : strcasecmp(w->cls->name.c_str(), className) != 0))
      continue;
    if (windowName && w->text != windowName) continue;
    return h;
  }
  return nullptr;
}

// ---- Long values, text, properties ----

LONG_PTR GetWindowLongPtrW(HWND wnd, int index) {
  Window* w = Get(wnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return LONG_PTR(reinterpret_cast<uintptr_t>(w->proc));
    case GWLP_HINSTANCE: return LONG_PTR(reinterpret_cast<uintptr_t>(w->instance));
    case GWLP_HWNDPARENT: return LONG_PTR(reinterpret_cast<uintptr_t>(w->parent ? w->parent : w->owner));
    case GWLP_ID: return w->id;
    case GWL_STYLE: return LONG_PTR(LONG(w->style));
    case GWL_EXSTYLE: return LONG_PTR(LONG(w->exStyle));
    case GWLP_USERDATA: return w->userData;
  }
  if (index >= 0 && size_t(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    LONG_PTR v;
    memcpy(&v, w->extra.data() + index, sizeof(v));
    return v;
  }
  return 0;
}

LONG_PTR SetWindowLongPtrW(HWND wnd, int index, LONG_PTR value) {
  Window* w = Get(wnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrW(wnd, index);
  switch (index) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(uintptr_t(value)); return old;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(uintptr_t(value)); return old;
    case GWLP_HWNDPARENT:
      if (IsTopLevel(w)) {
        Window* o = Get(reinterpret_cast<HWND>(uintptr_t(value)));
        w->owner = o ? Root(o)->handle : nullptr;
      }
      return old;
    case GWLP_ID: w->id = value; return old;
    case GWLP_USERDATA: w->userData = value; return old;
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      STYLESTRUCT ss{DWORD(old), DWORD(value)};
      const WPARAM which = WPARAM(index);
      Send(w, WM_STYLECHANGING, which, LPARAM(&ss));
      if (!(w = Get(wnd))) return old;
      // WS_VISIBLE is stored as given, like WM_SETREDRAW: no show or hide
      // messages and nothing mapped or unmapped; a window without it paints nothing.
      if (index == GWL_STYLE) {
        w->style = ss.styleNew;
      } else {
        w->exStyle = ss.styleNew;
        // Whether the window lets clicks through is part of its shape on a display.
        if (IsTopLevel(w) && ((ss.styleOld ^ ss.styleNew) & (WS_EX_LAYERED | WS_EX_TRANSPARENT)))
          WindowBackend().ShapeChanged(wnd);
      }
      Send(w, WM_STYLECHANGED, which, LPARAM(&ss));
      return old;
    }
  }
  if (index >= 0 && size_t(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    memcpy(w->extra.data() + index, &value, sizeof(value));
    return old;
  }
  return 0;
}

BOOL SetWindowTextW(HWND wnd, const char* text) {
  Window* w = Get(wnd);
  return w ? BOOL(Send(w, WM_SETTEXT, 0, LPARAM(text ? text : ""))) : FALSE;
}

int GetWindowTextW(HWND wnd, char* text, int maxCount) {
  Window* w = Get(wnd);
  return w ? int(Send(w, WM_GETTEXT, WPARAM(maxCount), LPARAM(text))) : 0;
}

int GetWindowTextLengthW(HWND wnd) {
  Window* w = Get(wnd);
  return w ? int(Send(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

BOOL SetPropW(HWND wnd, const char* name, HANDLE data) {
  Window* w = Get(wnd);
  if (!w || !name) return FALSE;
  w->props[name] = data;
  return TRUE;
}

HANDLE GetPropW(HWND wnd, const char* name) {
  Window* w = Get(wnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(name);
  return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND wnd, const char* name) {
  Window* w = Get(wnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(name);
  if (it == w->props.end()) return nullptr;
  HANDLE v = it->second;
  w->props.erase(it);
  return v;
}

// ---- Positions ----

BOOL GetWindowRect(HWND wnd, RECT* r) {
  Window* w = Get(wnd);
  if (!w || !r) return FALSE;
  POINT o = ScreenOrigin(w);
  *r = RECT{o.x, o.y, o.x + w->rect.right - w->rect.left, o.y + w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL GetClientRect(HWND wnd, RECT* r) {
  Window* w = Get(wnd);
  if (!w || !r) return FALSE;
  *r = ClientRectOf(w);
  return TRUE;
}

BOOL ClientToScreen(HWND wnd, POINT* p) {
  Window* w = Get(wnd);
  if (!w || !p) return FALSE;
  POINT o = ScreenOrigin(w);
  p->x += o.x + w->client.left;
  p->y += o.y + w->client.top;
  return TRUE;
}

BOOL ScreenToClient(HWND wnd, POINT* p) {
  Window* w = Get(wnd);
  if (!w || !p) return FALSE;
  POINT o = ScreenOrigin(w);
  p->x -= o.x + w->client.left;
  p->y -= o.y + w->client.top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT d{0, 0};
  if (Window* f = Get(from)) ClientToScreen(f->handle, &d);
  POINT t{0, 0};
  if (Window* tw = Get(to)) ClientToScreen(tw->handle, &t);
  const int dx = d.x - t.x, dy = d.y - t.y;
  for (UINT i = 0; i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELPARAM(dx, dy);
}

BOOL AdjustWindowRectEx(RECT* r, DWORD style, BOOL menu, DWORD exStyle) {
  if (!r) return FALSE;
  FrameMetrics m = MetricsFor(style, exStyle);
  r->left -= m.border + m.edge;
  r->right += m.border + m.edge;
  r->top -= m.border + m.caption + m.edge + (menu ? GetSystemMetrics(SM_CYMENU) : 0);
  r->bottom += m.border + m.edge;
  return TRUE;
}

namespace {
// Inside the window's rectangle and its shape (screen coordinates).
bool Covers(Window* w, POINT screen) {
  RECT r;
  GetWindowRect(w->handle, &r);
  if (!PtInRect(&r, screen)) return false;
  return !w->shape || PtInRegion(w->shape, screen.x - r.left, screen.y - r.top);
}

Window* ChildAt(Window* p, POINT screen, bool skipDisabled) {
  for (HWND k : p->children) {
    Window* c = Get(k);
    if (!(c->style & WS_VISIBLE) || (skipDisabled && (c->style & WS_DISABLED))) continue;
    if (Covers(c, screen)) return c;
  }
  return nullptr;
}
}  // namespace

namespace win {

bool ClickThrough(Window* w, POINT screen) {
  if (!(w->exStyle & WS_EX_LAYERED)) return false;
  if (w->exStyle & WS_EX_TRANSPARENT) return true;
  PixelRows32 v;
  if (!w->perPixelAlpha || !ViewPixels(w->surface, v)) return false;
  const int x = screen.x - w->rect.left, y = screen.y - w->rect.top;
  return x >= 0 && y >= 0 && x < v.width && y < v.height && v.Row(y)[x * 4 + 3] == 0;
}

Window* TopLevelAt(POINT p, HWND below) {
  auto& list = S().topLevel;
  auto it = list.begin();
  if (below) {
    it = std::find(list.begin(), list.end(), below);
    if (it == list.end()) return nullptr;
    ++it;
  }
  for (; it != list.end(); ++it) {
    Window* w = Get(*it);
    if ((w->style & WS_VISIBLE) && Covers(w, p) && !ClickThrough(w, p)) return w;
  }
  return nullptr;
}

Window* DeepestAt(Window* w, POINT p) {
  // Descend into children that cover the point (through the client area only).
  for (;;) {
    RECT cr = w->client;
    POINT o = ScreenOrigin(w);
    OffsetRect(&cr, o.x, o.y);
    if (!PtInRect(&cr, p)) return w;
    Window* c = ChildAt(w, p, false);
    if (!c) return w;
    w = c;
  }
}

}  // namespace win

HWND WindowFromPoint(POINT p) {
  Window* w = TopLevelAt(p, nullptr);
  return w ? DeepestAt(w, p)->handle : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT clientPoint) {
  Window* p = Get(parent);
  if (!p) return nullptr;
  POINT s = clientPoint;
  ClientToScreen(parent, &s);
  RECT cr = ClientRectOf(p);
  if (!PtInRect(&cr, clientPoint)) return nullptr;
  for (HWND k : p->children) {
    Window* c = Get(k);
    RECT r = c->rect;
    if (PtInRect(&r, clientPoint)) return k;
  }
  return parent;
}

BOOL SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  WINDOWPOS wp{wnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    wp.x = w->rect.left;
    wp.y = w->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    wp.cx = w->rect.right - w->rect.left;
    wp.cy = w->rect.bottom - w->rect.top;
  }
  if (IsTopLevel(w) && !(flags & SWP_NOZORDER) && insertAfter == HWND_TOP && S().topLevel.front() == wnd)
    wp.flags |= SWP_NOZORDER;  // nothing to change
  if (!(flags & SWP_NOSENDCHANGING)) {
    Send(w, WM_WINDOWPOSCHANGING, 0, LPARAM(&wp));
    if (!(w = Get(wnd))) return FALSE;
  }
  flags = wp.flags;
  wp.cx = std::max(0, wp.cx);
  wp.cy = std::max(0, wp.cy);
  const RECT oldRect = w->rect;
  const RECT newRect{wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
  const bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
  const bool sized = (newRect.right - newRect.left) != (oldRect.right - oldRect.left) ||
                     (newRect.bottom - newRect.top) != (oldRect.bottom - oldRect.top);
  const bool showing = (flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE);
  const bool hiding = (flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE);
  const bool wasVisible = Visible(w);
  if (!moved) flags |= SWP_NOMOVE;
  if (!sized) flags |= SWP_NOSIZE;
  const RECT oldClient = w->client;

  if (sized || (flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS p;
    p.rgrc[0] = newRect;
    p.rgrc[1] = oldRect;
    p.rgrc[2] = oldClient;
    OffsetRect(&p.rgrc[2], oldRect.left, oldRect.top);
    p.lppos = &wp;
    Send(w, WM_NCCALCSIZE, TRUE, LPARAM(&p));
    if (!(w = Get(wnd))) return FALSE;
    const RECT& c = p.rgrc[0];
    w->client = RECT{c.left - newRect.left, c.top - newRect.top, c.right - newRect.left, c.bottom - newRect.top};
  }
  w->rect = newRect;
  if (!(flags & SWP_NOZORDER)) PlaceInZOrder(w, insertAfter);
  if (showing) w->style |= WS_VISIBLE;
  if (hiding) w->style &= ~WS_VISIBLE;
  Window* root = Root(w);
  TWindowBackend& backend = WindowBackend();
  if (IsTopLevel(w)) {
    EnsureSurface(w);
    if (moved || sized) backend.WindowMoved(wnd, w->rect);
    if (showing || hiding) backend.WindowShown(wnd, showing);
    if (!(flags & SWP_NOZORDER)) backend.ZOrderChanged();
  }
  RefreshDcs(root);

  // Repaint what changed: the window itself, and for a child the parent's uncovered area.
  const bool clientChanged = sized || !EqualRect(&oldClient, &w->client);
  if (!(flags & SWP_NOREDRAW)) {
    if (w->parent && wasVisible && (hiding || moved || sized)) {
      Window* p = Get(w->parent);
      HRGN old = CreateRectRgnIndirect(&oldRect);
      InvalidateAll(p, old);
      DeleteObject(old);
    }
    if (Visible(w) && (showing || clientChanged || (flags & SWP_FRAMECHANGED) || (w->parent && moved))) {
      InvalidateFrame(w);
      InvalidateAll(w, nullptr);
    }
  }
  // Without SWP_NOACTIVATE a shown top-level window becomes the active one.
  if (IsTopLevel(w) && Visible(w) && !(flags & SWP_NOACTIVATE) && !(w->exStyle & WS_EX_NOACTIVATE) &&
      S().active != wnd) {
    ActivateWindow(w, WA_ACTIVE);
    if (!(w = Get(wnd))) return TRUE;
  }
  // The frame and the background are drawn before the change is announced.
  if (Visible(w) && !(flags & SWP_NOREDRAW)) {
    if (w->ncPending) {
      w->ncPending = false;
      Send(w, WM_NCPAINT, 1, 0);
      if (!(w = Get(wnd))) return TRUE;
    }
    if (w->erasePending && w->update && !(flags & SWP_DEFERERASE)) {
      HDC dc = GetDCEx(wnd, w->update, DCX_INTERSECTRGN);
      w->erasePending = Send(w, WM_ERASEBKGND, WPARAM(dc), 0) == 0;
      ReleaseDC(wnd, dc);
      if (!(w = Get(wnd))) return TRUE;
    }
  }
  if (hiding) DiscardPaint(w);
  wp.flags = flags;
  Send(w, WM_WINDOWPOSCHANGED, 0, LPARAM(&wp));
  return TRUE;
}

BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(wnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND wnd) { return SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL ShowWindow(HWND wnd, int cmd) {
  Window* w = Get(wnd);
  if (!w) return FALSE;
  const BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
  const bool child = !IsTopLevel(w);
  UINT noActivate = child ? (SWP_NOACTIVATE | SWP_NOZORDER) : 0;
  if (cmd == SW_HIDE) {
    if (!wasVisible) return FALSE;
    Send(w, WM_SHOWWINDOW, FALSE, 0);
    if (!Get(wnd)) return wasVisible;
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    if ((w = Get(wnd))) OnWindowHidden(w);
    return wasVisible;
  }
  if (cmd == SW_SHOWNA || cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWMINNOACTIVE) noActivate = SWP_NOACTIVATE;
  // State changes: minimise, maximise and restore change the rectangle too.
  RECT target = w->rect;
  DWORD state = w->style & (WS_MINIMIZE | WS_MAXIMIZE);
  DWORD newState = state;
  if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) newState = WS_MINIMIZE;
  else if (cmd == SW_SHOWMAXIMIZED) newState = WS_MAXIMIZE;
  else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) newState = 0;
  UINT sizeFlags = SWP_NOMOVE | SWP_NOSIZE;
  if (newState != state) {
    if (state == 0) w->normalRect = w->rect;
    if (newState == WS_MAXIMIZE && IsTopLevel(w)) {
      // The window's answer places it; the position counts from the work area's corner.
      const MINMAXINFO mmi = AskMinMaxInfo(w);
      if (!(w = Get(wnd))) return wasVisible;
      MONITORINFO mi;
      GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTOPRIMARY), &mi);
      const int left = mi.rcWork.left + mmi.ptMaxPosition.x, top = mi.rcWork.top + mmi.ptMaxPosition.y;
      target = RECT{left, top, left + std::max(0, int(mmi.ptMaxSize.x)), top + std::max(0, int(mmi.ptMaxSize.y))};
    } else if (newState == WS_MAXIMIZE) {
      // A child fills its parent's client area, its frame just outside; the
      // window's answer to WM_GETMINMAXINFO (parent's client coordinates) places it.
      Window* parent = Get(w->parent);
      const RECT pc = parent ? ClientRectOf(parent) : RECT{};
      const FrameMetrics fm = MetricsFor(w->style, w->exStyle);
      const int side = fm.border + fm.edge;
      const RECT grown{side, side + fm.caption, side, side};
      MINMAXINFO mmi{};
      mmi.ptMaxPosition = POINT{-grown.left, -grown.top};
      mmi.ptMaxSize = POINT{pc.right + grown.left + grown.right, pc.bottom + grown.top + grown.bottom};
      mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
      mmi.ptMaxTrackSize = POINT{32767, 32767};
      Send(w, WM_GETMINMAXINFO, 0, LPARAM(&mmi));
      if (!(w = Get(wnd))) return wasVisible;
      target = RECT{mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxPosition.x + std::max(0, int(mmi.ptMaxSize.x)),
                    mmi.ptMaxPosition.y + std::max(0, int(mmi.ptMaxSize.y))};
    } else if (newState == WS_MINIMIZE && !IsTopLevel(w)) {
      // A minimised child lies at the bottom left of its parent's client area.
      Window* parent = Get(w->parent);
      const RECT pc = parent ? ClientRectOf(parent) : RECT{};
      const int h = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
      target = RECT{0, pc.bottom - h, 160, pc.bottom};
    } else if (newState == WS_MINIMIZE) {
      MONITORINFO mi;
      GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTOPRIMARY), &mi);
      const int h = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
      target = RECT{mi.rcWork.left, mi.rcWork.bottom - h, mi.rcWork.left + 160, mi.rcWork.bottom};
    } else {
      target = w->normalRect;
    }
    w->style = (w->style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | newState;
    sizeFlags = SWP_FRAMECHANGED;
    if (newState == WS_MINIMIZE) noActivate |= SWP_NOACTIVATE;
  }
  if (!wasVisible) {
    Send(w, WM_SHOWWINDOW, TRUE, 0);
    if (!Get(wnd)) return wasVisible;
  } else if (sizeFlags == (SWP_NOMOVE | SWP_NOSIZE)) {
    if (!noActivate && IsTopLevel(w)) ActivateWindow(w, WA_ACTIVE);
    return wasVisible;
  }
  SetWindowPos(wnd, HWND_TOP, target.left, target.top, target.right - target.left, target.bottom - target.top,
               sizeFlags | SWP_SHOWWINDOW | noActivate);
  return wasVisible;
}

// ---- Metrics and monitors ----

namespace {
std::vector<TMonitorDesc> MonitorList() {
  auto list = WindowBackend().Monitors();
  if (list.empty()) list.push_back(TMonitorDesc{RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 728}, true});
  return list;
}
size_t PrimaryIndex(const std::vector<TMonitorDesc>& list) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].Primary) return i;
  return 0;
}
HMONITOR MonitorHandle(size_t i) { return reinterpret_cast<HMONITOR>(uintptr_t(i + 1)); }
}  // namespace

int GetSystemMetrics(int index) {
  auto list = MonitorList();
  const TMonitorDesc& prim = list[PrimaryIndex(list)];
  RECT u = list[0].Bounds;  // the virtual screen
  for (auto& m : list) UnionRect(&u, &u, &m.Bounds);
  switch (index) {
    case SM_CXSCREEN: return prim.Bounds.right - prim.Bounds.left;
    case SM_CYSCREEN: return prim.Bounds.bottom - prim.Bounds.top;
    case SM_CXVSCROLL: case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CYSMCAPTION: return 16;
    case SM_CXSMSIZE: case SM_CYSMSIZE: return 15;
    case SM_CYVSCROLL: case SM_CXHSCROLL: case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CYMENU: return 20;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 19;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXFOCUSBORDER: case SM_CYFOCUSBORDER: return 1;
    case SM_MOUSEWHEELPRESENT: return 1;
    case SM_CXMAXTRACK: case SM_CYMAXTRACK: case SM_CXMAXIMIZED: case SM_CYMAXIMIZED: {
      const RECT& work = prim.WorkArea;
      if (index == SM_CXMAXTRACK) return u.right - u.left + 2 * GetSystemMetrics(SM_CXFRAME);
      if (index == SM_CYMAXTRACK) return u.bottom - u.top + 2 * GetSystemMetrics(SM_CYFRAME);
      if (index == SM_CXMAXIMIZED) return work.right - work.left + 2 * GetSystemMetrics(SM_CXFRAME);
      return work.bottom - work.top + 2 * GetSystemMetrics(SM_CYFRAME);
    }
    case SM_CMONITORS: return int(list.size());
    case SM_XVIRTUALSCREEN: case SM_YVIRTUALSCREEN: case SM_CXVIRTUALSCREEN: case SM_CYVIRTUALSCREEN: {
      if (index == SM_XVIRTUALSCREEN) return u.left;
      if (index == SM_YVIRTUALSCREEN) return u.top;
      return index == SM_CXVIRTUALSCREEN ? u.right - u.left : u.bottom - u.top;
    }
  }
  return 0;
}

namespace {
struct Parameters {
  BOOL animation = FALSE;
};
Parameters& Params() {
  static Parameters p;
  return p;
}
void FillFont(LOGFONT* f, int height, LONG weight) {
  *f = LOGFONT{};
  f->lfHeight = height;
  f->lfWeight = weight;
  strcpy(f->lfFaceName, "Tahoma");
}
}  // namespace

BOOL SystemParametersInfoW(UINT action, UINT, void* pvParam, UINT) {
  switch (action) {
    case SPI_GETWORKAREA: {
      if (!pvParam) return FALSE;
      auto list = MonitorList();
      *static_cast<RECT*>(pvParam) = list[PrimaryIndex(list)].WorkArea;
      return TRUE;
    }
    case SPI_SETWORKAREA: {
      // Only the headless backend's monitors can be changed from here.
      THeadlessBackend* h = HeadlessBackend();
      if (!pvParam || !h) return FALSE;
      auto list = h->Monitors();
      if (list.empty()) return FALSE;
      list[PrimaryIndex(list)].WorkArea = *static_cast<const RECT*>(pvParam);
      h->SetMonitors(list);
      return TRUE;
    }
    case SPI_GETNONCLIENTMETRICS: {
      auto* m = static_cast<NONCLIENTMETRICSW*>(pvParam);
      if (!m) return FALSE;
      m->iBorderWidth = 1;
      m->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
      m->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
      m->iCaptionWidth = m->iCaptionHeight = GetSystemMetrics(SM_CYCAPTION) - 1;
      m->iSmCaptionWidth = m->iSmCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION) - 1;
      m->iMenuWidth = m->iMenuHeight = GetSystemMetrics(SM_CYMENU) - 1;
      FillFont(&m->lfCaptionFont, -11, FW_BOLD);
      FillFont(&m->lfSmCaptionFont, -11, FW_BOLD);
      FillFont(&m->lfMenuFont, -11, FW_NORMAL);
      FillFont(&m->lfStatusFont, -11, FW_NORMAL);
      FillFont(&m->lfMessageFont, -11, FW_NORMAL);
      return TRUE;
    }
    case SPI_GETANIMATION: {
      auto* a = static_cast<ANIMATIONINFO*>(pvParam);
      if (!a) return FALSE;
      a->iMinAnimate = Params().animation;
      return TRUE;
    }
    case SPI_SETANIMATION: {
      auto* a = static_cast<const ANIMATIONINFO*>(pvParam);
      if (!a) return FALSE;
      Params().animation = a->iMinAnimate ? TRUE : FALSE;
      return TRUE;
    }
    case SPI_GETDRAGFULLWINDOWS:
    case SPI_GETMENUANIMATION: case SPI_GETCOMBOBOXANIMATION: case SPI_GETLISTBOXSMOOTHSCROLLING:
    case SPI_GETKEYBOARDCUES: case SPI_GETTOOLTIPANIMATION: case SPI_GETTOOLTIPFADE: case SPI_GETFLATMENU:
    case SPI_GETDROPSHADOW:
      if (!pvParam) return FALSE;
      // Windows are dragged whole; the effects stay off so that drawing is the same everywhere.
      *static_cast<BOOL*>(pvParam) = action == SPI_GETDRAGFULLWINDOWS || action == SPI_GETKEYBOARDCUES;
      return TRUE;
    case SPI_GETWHEELSCROLLLINES:
      if (!pvParam) return FALSE;
      *static_cast<UINT*>(pvParam) = 3;
      return TRUE;
  }
  return FALSE;
}

HMONITOR MonitorFromRect(const RECT* r, DWORD flags) {
  auto list = MonitorList();
  long best = 0;
  size_t bestIndex = list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    RECT x;
    if (IntersectRect(&x, &list[i].Bounds, r)) {
      long area = long(x.right - x.left) * (x.bottom - x.top);
      if (area > best) {
        best = area;
        bestIndex = i;
      }
    }
  }
  if (bestIndex < list.size()) return MonitorHandle(bestIndex);
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  if (flags == MONITOR_DEFAULTTONEAREST) {
    long bestDist = -1;
    POINT c{(r->left + r->right) / 2, (r->top + r->bottom) / 2};
    for (size_t i = 0; i < list.size(); ++i) {
      const RECT& b = list[i].Bounds;
      long dx = c.x < b.left ? b.left - c.x : c.x >= b.right ? c.x - b.right + 1 : 0;
      long dy = c.y < b.top ? b.top - c.y : c.y >= b.bottom ? c.y - b.bottom + 1 : 0;
      long d = dx * dx + dy * dy;
      if (bestDist < 0 || d < bestDist) {
        bestDist = d;
        bestIndex = i;
      }
    }
    return MonitorHandle(bestIndex);
  }
  return MonitorHandle(PrimaryIndex(list));
}

HMONITOR MonitorFromPoint(POINT p, DWORD flags) {
  RECT r{p.x, p.y, p.x + 1, p.y + 1};
  return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND wnd, DWORD flags) {
  RECT r;
  if (!GetWindowRect(wnd, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorHandle(0);
  if (IsRectEmpty(&r)) r = RECT{r.left, r.top, r.left + 1, r.top + 1};
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  auto list = MonitorList();
  size_t i = reinterpret_cast<uintptr_t>(monitor) - 1;
  if (!info || i >= list.size()) return FALSE;
  info->rcMonitor = list[i].Bounds;
  info->rcWork = list[i].WorkArea;
  info->dwFlags = i == PrimaryIndex(list) ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

BOOL EnumDisplayMonitors(HDC, const RECT* clip, MONITORENUMPROC proc, LPARAM data) {
  auto list = MonitorList();
  for (size_t i = 0; i < list.size(); ++i) {
    RECT r = list[i].Bounds;
    if (clip && !IntersectRect(&r, &r, clip)) continue;
    if (!proc(MonitorHandle(i), nullptr, &r, data)) return FALSE;
  }
  return TRUE;
}

namespace {
std::string& ApplicationTitle() {
  static auto* title = new std::string();
  return *title;
}
}  // namespace

void SetApplicationTitle(const char* title) { ApplicationTitle() = title ? title : ""; }
const char* GetApplicationTitle() { return ApplicationTitle().c_str(); }

int MessageBoxW(HWND owner, const char* text, const char* caption, UINT type) {
  if (!caption) caption = ApplicationTitle().empty() ? "Error" : ApplicationTitle().c_str();
  return WindowBackend().MessageBox(owner, text ? text : "", caption, type);
}
