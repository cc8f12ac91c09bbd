// The "MDICLIENT" class, the frame's and the children's default procedures,
// and the MDI keys.

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kScrollUnit = 8;  // pixels per position of the client's bars
constexpr int kListedMax = 9;   // children listed in the window menu

class MdiClient : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

  HWND Active() const { return active_; }
  HWND Maximized() const { return maximized_ && IsWindow(maximized_) && IsZoomed(maximized_) ? maximized_ : nullptr; }
  bool OwnsCommand(UINT id) const {
    return (windowMenu_ || idFirst_) && id >= idFirst_ && id < idFirst_ + UINT(kids_.size());
  }
  HWND ChildOfCommand(UINT id) const { return kids_[id - idFirst_]; }

  void Add(HWND child);
  void Forget(HWND child);
  void Activate(HWND child);
  void ChildSized(HWND child, WPARAM kind);
  void UpdateScrolls();
  void RefreshWindowMenu();
  HWND Next(HWND from, bool previous) const;

 private:
  HWND Frame() const { return GetParent(hwnd); }
  std::vector<HWND> ZOrder() const;  // our children, front first
  HWND Create(const MDICREATESTRUCTW* mcs);
  void Destroy(HWND child);
  std::vector<HWND> Arrangeable(WPARAM how) const;
  void Tile(WPARAM how);
  void Cascade(WPARAM how);
  void ArrangeIcons();
  void RestoreMaximized();
  void AddBarItems(HWND child);
  void RemoveBarItems();
  void Scroll(int bar, WORD code, int thumb);
  HMENU SetMenus(HMENU frameMenu, HMENU windowMenu);

  std::vector<HWND> kids_;  // creation order: ids follow it
  HWND active_ = nullptr;
  HWND maximized_ = nullptr;    // whose items are in the bar
  HMENU itemsBar_ = nullptr;    // the bar holding them
  HMENU windowMenu_ = nullptr;
  UINT idFirst_ = 0;
  int listed_ = 0;              // entries added to the window menu, the separator included
  bool scrollable_ = false;
  bool scrolling_ = false;

 public:
  HWND showing = nullptr;  // a child between WM_SHOWWINDOW and its being shown
};

MdiClient* ClientOf(HWND client) {
  Window* w = Get(client);
  return w ? dynamic_cast<MdiClient*>(w->control.get()) : nullptr;
}

bool Live(HWND wnd) { return IsWindow(wnd) && !Get(wnd)->destroying; }

LRESULT MdiClientProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<MdiClient>(wnd, msg, wp, lp); }

std::vector<HWND> MdiClient::ZOrder() const {
  std::vector<HWND> out;
  for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (std::find(kids_.begin(), kids_.end(), c) != kids_.end() && Live(c)) out.push_back(c);
  return out;
}

void MdiClient::Add(HWND child) {
  if (std::find(kids_.begin(), kids_.end(), child) != kids_.end()) return;
  kids_.push_back(child);
  SetWindowLongPtrW(child, GWLP_ID, LONG_PTR(idFirst_ + kids_.size() - 1));
  RefreshWindowMenu();
}

void MdiClient::Forget(HWND child) {
  auto it = std::find(kids_.begin(), kids_.end(), child);
  if (it == kids_.end()) return;
  kids_.erase(it);
  for (size_t i = 0; i < kids_.size(); ++i)
    if (Live(kids_[i])) SetWindowLongPtrW(kids_[i], GWLP_ID, LONG_PTR(idFirst_ + i));
  const bool wasMax = maximized_ == child;
  if (wasMax) RemoveBarItems();
  if (active_ == child) {
    active_ = nullptr;
    // The next child in z-order takes over, maximised when the last one was.
    for (HWND next : ZOrder()) {
      if (next == child || !IsWindowVisible(next)) continue;
      Activate(next);
      if (wasMax) ShowWindow(next, SW_SHOWMAXIMIZED);
      break;
    }
  }
  RefreshWindowMenu();
  UpdateScrolls();
}

void MdiClient::Activate(HWND child) {
  if (child == active_ || (child && !Live(child))) return;
  HWND old = active_ && Live(active_) ? active_ : nullptr;
  const bool wasMax = old && IsZoomed(old);
  active_ = child;
  if (old) {
    SendMessageW(old, WM_NCACTIVATE, FALSE, 0);
    SendMessageW(old, WM_MDIACTIVATE, WPARAM(old), LPARAM(child));
  }
  if (child) {
    SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The maximised state follows the active child.
    if (wasMax) {
      ShowWindow(old, SW_SHOWNORMAL);
      if (!IsZoomed(child)) ShowWindow(child, SW_SHOWMAXIMIZED);
    }
    HWND root = GetAncestor(hwnd, GA_ROOT);
    SendMessageW(child, WM_NCACTIVATE, GetActiveWindow() == root, 0);
    SendMessageW(child, WM_MDIACTIVATE, WPARAM(old), LPARAM(child));
    if (Live(child) && GetActiveWindow() == root && GetFocus() != child && !IsChild(child, GetFocus()))
      SetFocus(child);
  }
  RefreshWindowMenu();
}

HWND MdiClient::Next(HWND from, bool previous) const {
  std::vector<HWND> order = ZOrder();
  order.erase(std::remove_if(order.begin(), order.end(), [](HWND c) { return !IsWindowVisible(c); }), order.end());
  if (order.size() < 2) return nullptr;
  if (!from) from = active_;
  auto it = std::find(order.begin(), order.end(), from);
  if (it == order.end()) return order.front();
  // Next: the one just behind; previous: the bottom-most one (the next one sends the current one there).
  if (previous) return order.back();
  return std::next(it) == order.end() ? order.front() : *std::next(it);
}

void MdiClient::ChildSized(HWND child, WPARAM kind) {
  if (kind == SIZE_MAXIMIZED) {
    // Only the active child is ever maximised.
    if (active_ != child) Activate(child);
    if (maximized_ != child) {
      RemoveBarItems();
      maximized_ = child;
      AddBarItems(child);
    }
  } else if (maximized_ == child) {
    RemoveBarItems();
  }
  UpdateScrolls();
}

void MdiClient::AddBarItems(HWND child) {
  HWND frame = Frame();
  HMENU bar = GetMenu(frame);
  maximized_ = child;
  if (!bar) return;
  itemsBar_ = bar;
  MENUITEMINFOW icon;
  icon.fMask = MIIM_BITMAP | MIIM_DATA | MIIM_ID | MIIM_SUBMENU;
  icon.hbmpItem = HBMMENU_SYSTEM;
  icon.dwItemData = ULONG_PTR(reinterpret_cast<uintptr_t>(child));
  icon.hSubMenu = GetSystemMenu(child, FALSE);
  InsertMenuItemW(bar, 0, TRUE, &icon);
  const DWORD style = DWORD(GetWindowLongPtrW(child, GWL_STYLE));
  struct Button {
    UINT id;
    HBITMAP glyph;
  };
  const Button buttons[] = {{UINT(SC_MINIMIZE), (style & WS_MINIMIZEBOX) ? HBMMENU_MBAR_MINIMIZE : HBMMENU_MBAR_MINIMIZE_D},
                            {UINT(SC_RESTORE), HBMMENU_MBAR_RESTORE},
                            {UINT(SC_CLOSE), HBMMENU_MBAR_CLOSE}};
  bool first = true;
  for (const Button& b : buttons) {
    MENUITEMINFOW mi;
    mi.fMask = MIIM_BITMAP | MIIM_ID | MIIM_FTYPE;
    mi.fType = first ? MFT_RIGHTJUSTIFY : 0;
    mi.wID = b.id;
    mi.hbmpItem = b.glyph;
    InsertMenuItemW(bar, UINT(GetMenuItemCount(bar)), TRUE, &mi);
    first = false;
  }
  DrawMenuBar(frame);
}

void MdiClient::RemoveBarItems() {
  HMENU bar = itemsBar_;
  maximized_ = nullptr;
  itemsBar_ = nullptr;
  if (!bar || !IsMenu(bar)) return;
  // The icon item shows the child's own system menu: taken out, never destroyed.
  for (int i = GetMenuItemCount(bar) - 1; i >= 0; --i) {
    MENUITEMINFOW mi;
    mi.fMask = MIIM_BITMAP | MIIM_ID;
    GetMenuItemInfoW(bar, UINT(i), TRUE, &mi);
    const bool ours = mi.hbmpItem == HBMMENU_SYSTEM ||
                      ((mi.hbmpItem == HBMMENU_MBAR_MINIMIZE || mi.hbmpItem == HBMMENU_MBAR_MINIMIZE_D ||
                        mi.hbmpItem == HBMMENU_MBAR_RESTORE || mi.hbmpItem == HBMMENU_MBAR_CLOSE) &&
                       mi.wID >= 0xF000);
    if (ours) RemoveMenu(bar, UINT(i), MF_BYPOSITION);
  }
  if (GetMenu(Frame()) == bar) DrawMenuBar(Frame());
}

void MdiClient::RefreshWindowMenu() {
  if (!windowMenu_ || !IsMenu(windowMenu_)) return;
  for (; listed_ > 0; --listed_) {
    const int n = GetMenuItemCount(windowMenu_);
    if (n <= 0) break;
    RemoveMenu(windowMenu_, UINT(n - 1), MF_BYPOSITION);
  }
  listed_ = 0;
  std::vector<HWND> shown;
  for (HWND c : kids_)
    if (Live(c) && IsWindowVisible(c)) shown.push_back(c);
  if (shown.empty()) return;
  AppendMenuW(windowMenu_, MF_SEPARATOR, 0, nullptr);
  listed_ = 1;
  for (size_t i = 0; i < shown.size() && int(i) < kListedMax; ++i) {
    char title[256] = {};
    GetWindowTextW(shown[i], title, int(sizeof(title)));
    const std::string text = "&" + std::to_string(i + 1) + " " + title;
    const UINT id = UINT(GetWindowLongPtrW(shown[i], GWLP_ID));
    AppendMenuW(windowMenu_, MF_STRING | (shown[i] == active_ ? MF_CHECKED : 0), id, text.c_str());
    ++listed_;
  }
}

HWND MdiClient::Create(const MDICREATESTRUCTW* mcs) {
  if (!mcs || !mcs->szClass) return nullptr;
  DWORD style = mcs->style;
  if (!(Style() & MDIS_ALLCHILDSTYLES))
    style = (style & (WS_MINIMIZE | WS_MAXIMIZE | WS_HSCROLL | WS_VSCROLL)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
            WS_SYSMENU | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  style = (style | WS_CHILD) & ~(WS_POPUP | WS_VISIBLE);
  int x = mcs->x, y = mcs->y, cx = mcs->cx, cy = mcs->cy;
  RECT cr = Client();
  if (x == CW_USEDEFAULT) {
    const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    const int n = int(kids_.size());
    x = y = (n % 8) * step;
  }
  if (cx == CW_USEDEFAULT) {
    cx = std::max(GetSystemMetrics(SM_CXMINTRACK), int(cr.right) * 3 / 4);
    cy = std::max(GetSystemMetrics(SM_CYMINTRACK), int(cr.bottom) * 3 / 4);
  }
  const bool maximize = (style & WS_MAXIMIZE) || Maximized();
  style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
  HWND child = CreateWindowExW(WS_EX_MDICHILD, mcs->szClass, mcs->szTitle, style, x, y, cx, cy, hwnd,
                               reinterpret_cast<HMENU>(uintptr_t(idFirst_ + kids_.size())), mcs->hOwner,
                               const_cast<MDICREATESTRUCTW*>(mcs));
  if (!child) return nullptr;
  Add(child);
  ShowWindow(child, maximize ? SW_SHOWMAXIMIZED : (mcs->style & WS_MINIMIZE) ? SW_SHOWMINNOACTIVE : SW_SHOW);
  if (Live(child)) Activate(child);
  return Live(child) ? child : nullptr;
}

void MdiClient::Destroy(HWND child) {
  if (!Live(child) || std::find(kids_.begin(), kids_.end(), child) == kids_.end()) return;
  const bool wasMax = Maximized() == child;
  HWND next = active_ == child ? Next(child, false) : nullptr;
  if (next == child) next = nullptr;
  if (active_ == child && next) {
    Activate(next);
    if (wasMax && Live(next) && !IsZoomed(next)) ShowWindow(next, SW_SHOWMAXIMIZED);
  }
  DestroyWindow(child);
  Forget(child);
}

void MdiClient::RestoreMaximized() {
  if (HWND m = Maximized()) ShowWindow(m, SW_SHOWNORMAL);
}

// The children tile and cascade place, front first: shown, not minimised, enabled when asked.
std::vector<HWND> MdiClient::Arrangeable(WPARAM how) const {
  std::vector<HWND> order;
  for (HWND c : ZOrder()) {
    if (!IsWindowVisible(c) || IsIconic(c)) continue;
    if ((how & MDITILE_SKIPDISABLED) && !IsWindowEnabled(c)) continue;
    order.push_back(c);
  }
  return order;
}

void MdiClient::Tile(WPARAM how) {
  RestoreMaximized();
  std::vector<HWND> order = Arrangeable(how);
  if (order.empty()) return;
  const RECT cr = Client();
  const int n = int(order.size());
  const bool across = !(how & MDITILE_HORIZONTAL);  // vertical tiling: columns side by side
  const int lanes = n <= 3 ? n : int(std::ceil(std::sqrt(double(n))));
  const int extent = across ? cr.right : cr.bottom;
  const int depth = across ? cr.bottom : cr.right;
  int k = 0;
  for (int lane = 0; lane < lanes; ++lane) {
    // The last lanes take one more window each when they do not divide evenly.
    const int inLane = n / lanes + (lane >= lanes - n % lanes ? 1 : 0);
    const int a0 = extent * lane / lanes, a1 = extent * (lane + 1) / lanes;
    for (int j = 0; j < inLane && k < n; ++j, ++k) {
      const int b0 = depth * j / inLane, b1 = depth * (j + 1) / inLane;
      RECT r = across ? RECT{a0, b0, a1, b1} : RECT{b0, a0, b1, a1};
      SetWindowPos(order[size_t(k)], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  UpdateScrolls();
}

void MdiClient::Cascade(WPARAM how) {
  RestoreMaximized();
  std::vector<HWND> order = Arrangeable(how);
  std::reverse(order.begin(), order.end());  // the bottom window first, the active one last and in front
  const RECT cr = Client();
  const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
  const int w = std::max(GetSystemMetrics(SM_CXMINTRACK), int(cr.right) * 3 / 4);
  const int h = std::max(GetSystemMetrics(SM_CYMINTRACK), int(cr.bottom) * 3 / 4);
  const int fit = std::max(1, (int(cr.bottom) - h) / step + 1);
  for (size_t i = 0; i < order.size(); ++i) {
    const int at = int(i % size_t(fit)) * step;
    SetWindowPos(order[i], nullptr, at, at, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  UpdateScrolls();
}

void MdiClient::ArrangeIcons() {
  const RECT cr = Client();
  int x = 0;
  for (HWND c : kids_) {
    if (!Live(c) || !IsIconic(c)) continue;
    RECT r;
    GetWindowRect(c, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(c, nullptr, x, cr.bottom - h, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    x += w;
  }
  UpdateScrolls();
}

void MdiClient::UpdateScrolls() {
  if (!scrollable_ || scrolling_) return;
  scrolling_ = true;
  const RECT cr = Client();
  RECT all = cr;
  if (!Maximized()) {
    for (HWND c : kids_) {
      if (!Live(c) || !IsWindowVisible(c)) continue;
      RECT r;
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
      UnionRect(&all, &all, &r);
    }
  }
  // The client's own area always sits at position 0 of each bar.
  const bool needH = all.left < cr.left || all.right > cr.right;
  const bool needV = all.top < cr.top || all.bottom > cr.bottom;
  ShowScrollBar(hwnd, SB_HORZ, needH);
  ShowScrollBar(hwnd, SB_VERT, needV);
  const RECT inner = Client();  // the bars may have taken room
  // Positions count in units of a few pixels, rounded outwards.
  auto down = [](int v) { return v >= 0 ? v / kScrollUnit : -((-v + kScrollUnit - 1) / kScrollUnit); };
  auto up = [&](int v) { return -down(-v); };
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nPos = 0;
  if (needH) {
    si.nMin = down(std::min(all.left, inner.left));
    si.nMax = up(std::max(all.right, inner.right)) - 1;
    si.nPage = UINT(std::max(1, int(inner.right - inner.left) / kScrollUnit));
    SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
  }
  if (needV) {
    si.nMin = down(std::min(all.top, inner.top));
    si.nMax = up(std::max(all.bottom, inner.bottom)) - 1;
    si.nPage = UINT(std::max(1, int(inner.bottom - inner.top) / kScrollUnit));
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
  }
  scrolling_ = false;
}

void MdiClient::Scroll(int bar, WORD code, int thumb) {
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  if (!GetScrollInfo(hwnd, bar, &si)) return;
  const int page = std::max(1, int(si.nPage));
  const int last = si.nMax - std::max(int(si.nPage) - 1, 0);
  int pos = si.nPos;
  switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBPOSITION: pos = thumb; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = last; break;
    case SB_ENDSCROLL: UpdateScrolls(); return;
    default: return;
  }
  pos = std::clamp(pos, si.nMin, std::max(si.nMin, last));
  const int delta = (si.nPos - pos) * kScrollUnit;
  if (!delta) return;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, TRUE);
  ScrollWindowEx(hwnd, bar == SB_HORZ ? delta : 0, bar == SB_VERT ? delta : 0, nullptr, nullptr, nullptr, nullptr,
                 SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  if (code == SB_THUMBPOSITION) UpdateScrolls();
}

HMENU MdiClient::SetMenus(HMENU frameMenu, HMENU windowMenu) {
  HWND frame = Frame();
  HMENU old = GetMenu(frame);
  HWND max = Maximized();
  if (windowMenu && windowMenu != windowMenu_) {
    const int keep = listed_;
    RefreshWindowMenu();  // nothing listed in the old menu any more below
    listed_ = keep;
    for (; listed_ > 0; --listed_) {
      const int n = GetMenuItemCount(windowMenu_);
      if (n <= 0) break;
      RemoveMenu(windowMenu_, UINT(n - 1), MF_BYPOSITION);
    }
    windowMenu_ = windowMenu;
  }
  if (frameMenu && frameMenu != old) {
    if (max) RemoveBarItems();
    SetMenu(frame, frameMenu);
    if (max) AddBarItems(max);
  }
  RefreshWindowMenu();
  return old;
}

LRESULT MdiClient::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
      if (const auto* ccs = cs ? static_cast<const CLIENTCREATESTRUCT*>(cs->lpCreateParams) : nullptr) {
        windowMenu_ = ccs->hWindowMenu;
        idFirst_ = ccs->idFirstChild;
      }
      scrollable_ = (Style() & (WS_HSCROLL | WS_VSCROLL)) != 0;
      // The bars show only while children lie beyond the area.
      ShowScrollBar(hwnd, SB_BOTH, FALSE);
      return 0;
    }
    case WM_MDICREATE: return LRESULT(reinterpret_cast<uintptr_t>(Create(reinterpret_cast<const MDICREATESTRUCTW*>(lp))));
    case WM_MDIDESTROY: Destroy(reinterpret_cast<HWND>(wp)); return 0;
    case WM_MDIACTIVATE: {
      HWND child = reinterpret_cast<HWND>(wp);
      if (std::find(kids_.begin(), kids_.end(), child) != kids_.end()) Activate(child);
      return 0;
    }
    case WM_MDINEXT: {
      if (HWND next = Next(reinterpret_cast<HWND>(wp), lp != 0)) {
        HWND current = active_;
        Activate(next);
        // Going forward, the child left behind goes to the back.
        if (!lp && current && Live(current) && current != next)
          SetWindowPos(current, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
      return 0;
    }
    case WM_MDIMAXIMIZE: {
      HWND child = reinterpret_cast<HWND>(wp);
      if (std::find(kids_.begin(), kids_.end(), child) == kids_.end()) return 0;
      Activate(child);
      ShowWindow(child, SW_SHOWMAXIMIZED);
      return 0;
    }
    case WM_MDIRESTORE: {
      HWND child = reinterpret_cast<HWND>(wp);
      if (std::find(kids_.begin(), kids_.end(), child) != kids_.end()) ShowWindow(child, SW_RESTORE);
      return 0;
    }
    case WM_MDITILE: Tile(wp); return TRUE;
    case WM_MDICASCADE: Cascade(wp); return TRUE;
    case WM_MDIICONARRANGE: ArrangeIcons(); return 0;
    case WM_MDIGETACTIVE:
      if (lp) *reinterpret_cast<BOOL*>(lp) = Maximized() != nullptr;
      return LRESULT(reinterpret_cast<uintptr_t>(active_ && Live(active_) ? active_ : nullptr));
    case WM_MDISETMENU:
      return LRESULT(reinterpret_cast<uintptr_t>(SetMenus(reinterpret_cast<HMENU>(wp), reinterpret_cast<HMENU>(lp))));
    case WM_MDIREFRESHMENU:
      if (HWND max = Maximized(); max && GetMenu(Frame()) != itemsBar_) {
        RemoveBarItems();
        AddBarItems(max);
      }
      RefreshWindowMenu();
      DrawMenuBar(Frame());
      return LRESULT(reinterpret_cast<uintptr_t>(GetMenu(Frame())));
    case WM_PARENTNOTIFY: {
      HWND child = reinterpret_cast<HWND>(lp);
      if (GetParent(child) != hwnd) return 0;
      if (LOWORD(wp) == WM_CREATE && (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_MDICHILD)) Add(child);
      else if (LOWORD(wp) == WM_DESTROY) Forget(child);
      return 0;
    }
    case WM_SIZE:
      if (HWND max = Maximized()) {
        // The maximised child keeps filling the client, its frame outside.
        ShowWindow(max, SW_SHOWNORMAL);
        ShowWindow(max, SW_SHOWMAXIMIZED);
      }
      UpdateScrolls();
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      Scroll(msg == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wp), int(int16_t(HIWORD(wp))));
      return 0;
    case WM_SETFOCUS:
      if (active_ && Live(active_)) SetFocus(active_);
      return 0;
    case WM_DESTROY:
      if (maximized_) RemoveBarItems();
      RefreshWindowMenu();
      return 0;
  }
  return Control::Handle(msg, wp, lp);
}

}  // namespace

void RegisterMdiClientClass() {
  WNDCLASSEXW wc;
  wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
  wc.lpfnWndProc = &MdiClientProc;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_APPWORKSPACE + 1));
  wc.lpszClassName = "MDICLIENT";
  RegisterClassAtom(&wc, 0);
}

// A press inside a child that is not the active one activates it first.
void ActivateMdiChildAt(HWND target) {
  for (HWND w = target; w; w = GetParent(w)) {
    if (!(GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_MDICHILD)) continue;
    MdiClient* c = ClientOf(GetParent(w));
    if (c && c->Active() != w) c->Activate(w);
  }
}

}  // namespace win

using namespace win;

LRESULT DefFrameProcW(HWND frame, HWND client, UINT msg, WPARAM wp, LPARAM lp) {
  MdiClient* c = client ? ClientOf(client) : nullptr;
  if (c) {
    switch (msg) {
      case WM_COMMAND: {
        const UINT id = LOWORD(wp);
        if (c->OwnsCommand(id)) {
          HWND child = c->ChildOfCommand(id);
          if (IsIconic(child)) ShowWindow(child, SW_RESTORE);
          SendMessageW(client, WM_MDIACTIVATE, WPARAM(child), 0);
          return 0;
        }
        if (id >= 0xF000) {
          if (HWND max = c->Maximized()) {
            SendMessageW(max, WM_SYSCOMMAND, id, lp);
            return 0;
          }
        }
        break;
      }
      case WM_SIZE: {
        RECT r;
        GetClientRect(frame, &r);
        MoveWindow(client, 0, 0, r.right, r.bottom, TRUE);
        return 0;
      }
      case WM_SETFOCUS:
        SetFocus(client);
        return 0;
      case WM_NCACTIVATE: {
        const LRESULT r = DefWindowProcW(frame, msg, wp, lp);
        if (HWND active = c->Active()) SendMessageW(active, WM_NCACTIVATE, wp, 0);
        return r;
      }
    }
  }
  return DefWindowProcW(frame, msg, wp, lp);
}

LRESULT DefMDIChildProcW(HWND child, UINT msg, WPARAM wp, LPARAM lp) {
  HWND client = GetParent(child);
  MdiClient* c = ClientOf(client);
  if (!c) return DefWindowProcW(child, msg, wp, lp);
  switch (msg) {
    case WM_CREATE:
      c->Add(child);
      break;
    case WM_CHILDACTIVATE:
    case WM_SETFOCUS:
      c->Activate(child);
      break;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      c->Activate(child);
      if (!IsWindow(child)) return 0;
      break;
    case WM_CLOSE:
      SendMessageW(client, WM_MDIDESTROY, WPARAM(child), 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_NEXTWINDOW: SendMessageW(client, WM_MDINEXT, 0, 0); return 0;
        case SC_PREVWINDOW: SendMessageW(client, WM_MDINEXT, 0, 1); return 0;
        case SC_MAXIMIZE:
          c->Activate(child);
          break;
      }
      break;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(child, msg, wp, lp);
      if ((c = ClientOf(client))) c->RefreshWindowMenu();
      return r;
    }
    case WM_SIZE: {
      const LRESULT r = DefWindowProcW(child, msg, wp, lp);
      if ((c = ClientOf(client))) c->ChildSized(child, wp);
      return r;
    }
    case WM_MOVE: {
      const LRESULT r = DefWindowProcW(child, msg, wp, lp);
      if ((c = ClientOf(client))) c->UpdateScrolls();
      return r;
    }
    case WM_SHOWWINDOW:
      if (wp) c->showing = child;
      break;
    case WM_WINDOWPOSCHANGED: {
      const LRESULT r = DefWindowProcW(child, msg, wp, lp);
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (!(c = ClientOf(client)) || !pos) return r;
      if ((pos->flags & SWP_SHOWWINDOW) && c->showing == child) {
        // A child that comes into view becomes the active one.
        c->showing = nullptr;
        c->Activate(child);
        c->RefreshWindowMenu();
        c->UpdateScrolls();
      } else if (pos->flags & SWP_HIDEWINDOW) {
        if (c->Active() == child) {
          if (HWND next = c->Next(child, false); next && next != child) c->Activate(next);
        }
        c->RefreshWindowMenu();
        c->UpdateScrolls();
      }
      return r;
    }
    case WM_DESTROY:
      c->Forget(child);
      break;
  }
  return DefWindowProcW(child, msg, wp, lp);
}

BOOL TranslateMDISysAccel(HWND client, MSG* msg) {
  MdiClient* c = ClientOf(client);
  if (!c || !msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  if (!(GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000)) return FALSE;
  HWND active = c->Active();
  if (!active) return FALSE;
  if (msg->wParam == WPARAM(VK_F4)) {
    SendMessageW(active, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
  }
  if (msg->wParam == WPARAM(VK_F6)) {
    const bool back = GetKeyState(VK_SHIFT) & 0x8000;
    SendMessageW(active, WM_SYSCOMMAND, back ? SC_PREVWINDOW : SC_NEXTWINDOW, 0);
    return TRUE;
  }
  return FALSE;
}
