// Menus: the menu records and their items, layout and drawing of popups and
// of the menu bar in the frame, the system menu, and the modal loop that
// tracks a menu through the "#32768" popup windows.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <unordered_map>

#include "platform/win/ControlsInternal.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"

namespace win {

namespace {

constexpr ATOM kMenuAtom = 0x8000;  // "#32768"
constexpr int kSeparatorHeight = 8;
constexpr int kBarItemPadding = 8;   // each side of a bar item's text
constexpr int kArrowWidth = 16;      // room for a submenu's arrow
constexpr int kShortcutGap = 16;     // between the text and its shortcut

struct MenuItem {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU sub = nullptr;
  ULONG_PTR data = 0;
  std::string text;
  HBITMAP bitmap = nullptr;
  HBITMAP checked = nullptr;
  HBITMAP unchecked = nullptr;
  RECT rect{};  // popup: client coordinates of its window; bar: window coordinates of the frame
};

struct MenuRecord {
  bool bar = false;
  bool system = false;
  std::vector<MenuItem> items;
  MENUINFO info;
  HWND barWnd = nullptr;    // the window whose bar this is
  HWND popupWnd = nullptr;  // the "#32768" window showing it now
  HWND notify = nullptr;    // who gets the owner-draw messages while it shows
  int barHeight = 0;        // the bar's height at the last layout
};

struct Menus {
  std::unordered_map<HMENU, std::unique_ptr<MenuRecord>> records;
  std::unordered_map<HWND, HMENU> bars;
  std::unordered_map<HWND, HMENU> systemMenus;
  uintptr_t next = 0x7F000000;
};

Menus& M() {
  static auto* m = new Menus();
  return *m;
}

MenuRecord* Rec(HMENU menu) {
  auto it = M().records.find(menu);
  return it == M().records.end() ? nullptr : it->second.get();
}

HMENU NewMenu(bool bar) {
  HMENU h = reinterpret_cast<HMENU>(M().next += 4);
  auto r = std::make_unique<MenuRecord>();
  r->bar = bar;
  M().records[h] = std::move(r);
  return h;
}

// The item at a position, or the first with the command id (submenus searched
// too, depth first); menu is set to the menu that holds it.
MenuItem* FindItem(HMENU& menu, UINT item, bool byPosition, int* position = nullptr) {
  MenuRecord* r = Rec(menu);
  if (!r) return nullptr;
  if (byPosition) {
    if (item >= r->items.size()) return nullptr;
    if (position) *position = int(item);
    return &r->items[item];
  }
  for (size_t i = 0; i < r->items.size(); ++i) {
    MenuItem& it = r->items[i];
    if (!it.sub && it.id == item) {
      if (position) *position = int(i);
      return &it;
    }
  }
  for (size_t i = 0; i < r->items.size(); ++i) {
    if (!r->items[i].sub) continue;
    HMENU sub = r->items[i].sub;
    if (MenuItem* found = FindItem(sub, item, false, position)) {
      menu = sub;
      return found;
    }
    // A submenu's own id finds the item that opens it.
    if (r->items[i].id == item && item != 0) {
      if (position) *position = int(i);
      return &r->items[i];
    }
  }
  return nullptr;
}

bool IsSeparator(const MenuItem& it) { return it.type & MFT_SEPARATOR; }
bool IsEnabled(const MenuItem& it) { return !(it.state & (MF_GRAYED | MF_DISABLED)); }
bool Selectable(const MenuItem& it) { return !IsSeparator(it); }

HFONT MenuFont(bool bold) {
  static HFONT normal = nullptr, heavy = nullptr;
  if (!normal) {
    NONCLIENTMETRICSW ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    normal = CreateFontIndirect(&ncm.lfMenuFont);
    ncm.lfMenuFont.lfWeight = FW_BOLD;
    heavy = CreateFontIndirect(&ncm.lfMenuFont);
  }
  return bold ? heavy : normal;
}

// The text before and after the tab (the shortcut).
std::pair<std::string, std::string> SplitText(const std::string& text) {
  const size_t tab = text.find('\t');
  if (tab == std::string::npos) return {text, std::string()};
  return {text.substr(0, tab), text.substr(tab + 1)};
}

SIZE TextSize(HDC dc, const std::string& text, bool bold) {
  if (text.empty()) return SIZE{0, 0};
  HGDIOBJ old = SelectObject(dc, MenuFont(bold));
  RECT r{0, 0, 0, 0};
  DrawText(dc, text.c_str(), int(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Asks the owner for an owner-drawn item's size.
SIZE MeasureOwnerDrawn(HWND owner, const MenuItem& it) {
  MEASUREITEMSTRUCT mis;
  mis.CtlType = ODT_MENU;
  mis.itemID = it.id;
  mis.itemHeight = UINT(GetSystemMetrics(SM_CYMENU));
  mis.itemData = it.data;
  if (owner) SendMessageW(owner, WM_MEASUREITEM, 0, LPARAM(&mis));
  return SIZE{LONG(mis.itemWidth), LONG(mis.itemHeight)};
}

int CheckColumn() { return GetSystemMetrics(SM_CXMENUCHECK) + 6; }

// Lays the popup's items out in columns (a break starts a new one); returns the client size.
SIZE LayoutPopup(MenuRecord* r, HWND owner) {
  HDC dc = CreateCompatibleDC(nullptr);
  const int lineHeight = GetSystemMetrics(SM_CYMENU);
  int x = 0, y = 0, height = 0;
  size_t columnStart = 0;
  int columnWidth = 0;
  auto closeColumn = [&](size_t end) {
    for (size_t i = columnStart; i < end; ++i) {
      r->items[i].rect.left = x;
      r->items[i].rect.right = x + columnWidth;
    }
    x += columnWidth;
    columnWidth = 0;
    columnStart = end;
    y = 0;
  };
  for (size_t i = 0; i < r->items.size(); ++i) {
    MenuItem& it = r->items[i];
    if (i > 0 && (it.type & (MFT_MENUBREAK | MFT_MENUBARBREAK))) closeColumn(i);
    SIZE s{0, lineHeight};
    if (it.type & MFT_OWNERDRAW) {
      s = MeasureOwnerDrawn(owner, it);
    } else if (IsSeparator(it)) {
      s = SIZE{0, kSeparatorHeight};
    } else {
      auto [label, shortcut] = SplitText(it.text);
      const bool bold = it.state & MFS_DEFAULT;
      s.cx = CheckColumn() + TextSize(dc, label, bold).cx + kArrowWidth;
      if (!shortcut.empty()) s.cx += kShortcutGap + TextSize(dc, shortcut, bold).cx;
    }
    it.rect.top = y;
    it.rect.bottom = y + int(s.cy);
    y += int(s.cy);
    height = std::max(height, y);
    columnWidth = std::max(columnWidth, int(s.cx));
  }
  closeColumn(r->items.size());
  DeleteDC(dc);
  return SIZE{std::max(x, 16), std::max(height, 4)};
}

RECT BarArea(Window* w) {
  FrameMetrics m = MetricsFor(w->style, w->exStyle);
  const int width = w->rect.right - w->rect.left;
  return RECT{m.border, m.border + m.caption, width - m.border, m.border + m.caption};
}

// The layer's own bar glyphs (HBMMENU_*) are small handle values; any other is a bitmap.
bool IsBarGlyph(HBITMAP b) { return reinterpret_cast<uintptr_t>(b) < 16; }

int BarBitmapWidth(HBITMAP b, int lineHeight) {
  if (IsBarGlyph(b)) return lineHeight;
  BITMAP bm{};
  if (!GetObject(b, sizeof(bm), &bm)) return lineHeight;
  return int(bm.bmWidth) + 4;
}

// A bitmap item of the bar: the window icon of an MDI child, its buttons, or a picture.
void PaintBarBitmap(HDC dc, const MenuItem& it, bool hot) {
  RECT r = it.rect;
  InflateRect(&r, -2, -2);
  if (it.bitmap == HBMMENU_SYSTEM) {
    HWND wnd = reinterpret_cast<HWND>(it.data);
    HICON icon = IsWindow(wnd) ? reinterpret_cast<HICON>(SendMessageW(wnd, WM_GETICON, 0, 0)) : nullptr;
    if (icon) {
      DrawIconEx(dc, r.left, r.top, icon, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
    } else {
      FillSys(dc, r, COLOR_BTNFACE);
      FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    return;
  }
  const uintptr_t v = reinterpret_cast<uintptr_t>(it.bitmap);
  if (IsBarGlyph(it.bitmap)) {
    const LRESULT code = it.bitmap == HBMMENU_MBAR_CLOSE || it.bitmap == HBMMENU_MBAR_CLOSE_D ? HTCLOSE
                         : it.bitmap == HBMMENU_MBAR_RESTORE                                  ? HTMAXBUTTON
                                                                                              : HTMINBUTTON;
    const bool dimmed = v == uintptr_t(HBMMENU_MBAR_CLOSE_D) || v == uintptr_t(HBMMENU_MBAR_MINIMIZE_D);
    DrawCaptionButtonFace(dc, r, code, code == HTMAXBUTTON, hot, !dimmed && IsEnabled(it));
    return;
  }
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, it.bitmap);
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

// Lays the bar's items out in lines across the window's width; returns the bar's height.
int LayoutBar(MenuRecord* r, Window* w, int width) {
  FrameMetrics m = MetricsFor(w->style, w->exStyle);
  const int left = m.border, right = width - m.border, top = m.border + m.caption;
  const int lineHeight = GetSystemMetrics(SM_CYMENU);
  HDC dc = CreateCompatibleDC(nullptr);
  int x = left, y = top, lines = 1;
  for (size_t i = 0; i < r->items.size(); ++i) {
    MenuItem& it = r->items[i];
    SIZE s{0, lineHeight};
    if (it.type & MFT_OWNERDRAW) s = MeasureOwnerDrawn(w->handle, it);
    else if (IsSeparator(it)) s.cx = kBarItemPadding;
    else if (it.bitmap && it.text.empty()) s.cx = BarBitmapWidth(it.bitmap, lineHeight);
    else s.cx = TextSize(dc, SplitText(it.text).first, false).cx + 2 * kBarItemPadding;
    const bool forced = i > 0 && (it.type & (MFT_MENUBREAK | MFT_MENUBARBREAK));
    if (forced || (x > left && x + s.cx > right)) {
      x = left;
      y += lineHeight;
      ++lines;
    }
    it.rect = RECT{x, y, std::min(x + int(s.cx), std::max(right, x + 1)), y + lineHeight};
    x += int(s.cx);
  }
  DeleteDC(dc);
  // A right-justified item and those after it on its line move to the line's end.
  for (size_t k = 0; k < r->items.size(); ++k) {
    if (!(r->items[k].type & MFT_RIGHTJUSTIFY)) continue;
    size_t last = k;
    while (last + 1 < r->items.size() && r->items[last + 1].rect.top == r->items[k].rect.top) ++last;
    const int shift = right - r->items[last].rect.right;
    if (shift > 0)
      for (size_t j = k; j <= last; ++j) OffsetRect(&r->items[j].rect, shift, 0);
    break;
  }
  r->barHeight = lines * lineHeight;
  return r->barHeight;
}

// ---- Drawing ----

void DrawItemText(HDC dc, const MenuItem& it, RECT r, COLORREF color, bool popup) {
  auto [label, shortcut] = SplitText(it.text);
  const bool bold = it.state & MFS_DEFAULT;
  HGDIOBJ old = SelectObject(dc, MenuFont(bold));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  const UINT fmt = DT_SINGLELINE | DT_VCENTER | (popup ? DT_LEFT : DT_CENTER);
  DrawText(dc, label.c_str(), int(label.size()), &r, fmt);
  if (!shortcut.empty()) {
    RECT sr = r;
    sr.right -= kArrowWidth;
    DrawText(dc, shortcut.c_str(), int(shortcut.size()), &sr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  }
  SelectObject(dc, old);
}

UINT OwnerDrawState(const MenuItem& it) {
  UINT s = 0;
  if (it.state & MF_HILITE) s |= ODS_SELECTED;
  if (it.state & MF_GRAYED) s |= ODS_GRAYED;
  if (it.state & MF_DISABLED) s |= ODS_DISABLED;
  if (it.state & MF_CHECKED) s |= ODS_CHECKED;
  if (it.state & MFS_DEFAULT) s |= ODS_DEFAULT;
  return s;
}

void SendDrawItem(HWND owner, HMENU menu, const MenuItem& it, HDC dc) {
  DRAWITEMSTRUCT dis;
  dis.CtlType = ODT_MENU;
  dis.itemID = it.id;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = OwnerDrawState(it);
  dis.hwndItem = reinterpret_cast<HWND>(menu);
  dis.hDC = dc;
  dis.rcItem = it.rect;
  dis.itemData = it.data;
  if (owner) SendMessageW(owner, WM_DRAWITEM, 0, LPARAM(&dis));
}

void PaintPopupItem(HDC dc, HMENU menu, MenuRecord* r, const MenuItem& it) {
  if (it.type & MFT_OWNERDRAW) {
    const int saved = SaveDC(dc);
    SendDrawItem(r->notify, menu, it, dc);
    RestoreDC(dc, saved);
    return;
  }
  RECT rc = it.rect;
  if (IsSeparator(it)) {
    FillSys(dc, rc, COLOR_MENU);
    const int y = (rc.top + rc.bottom) / 2 - 1;
    RECT dark{rc.left + 1, y, rc.right - 1, y + 1}, light{rc.left + 1, y + 1, rc.right - 1, y + 2};
    FillSys(dc, dark, COLOR_BTNSHADOW);
    FillSys(dc, light, COLOR_BTNHIGHLIGHT);
    return;
  }
  const bool hot = it.state & MF_HILITE;
  FillSys(dc, rc, hot ? COLOR_HIGHLIGHT : COLOR_MENU);
  const COLORREF color = GetSysColor(!IsEnabled(it) ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  if (it.state & MF_CHECKED) {
    RECT box{rc.left + 2, rc.top, rc.left + CheckColumn() - 2, rc.bottom};
    if (it.type & MFT_RADIOCHECK) {
      HBRUSH b = CreateSolidBrush(color);
      const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
      RECT dot{cx - 3, cy - 3, cx + 3, cy + 3};
      FillRect(dc, &dot, b);
      DeleteObject(b);
    } else {
      DrawCheckMark(dc, box, color);
    }
  }
  RECT text{rc.left + CheckColumn(), rc.top, rc.right, rc.bottom};
  DrawItemText(dc, it, text, color, true);
  if (it.sub) {
    RECT arrow{rc.right - kArrowWidth, rc.top, rc.right - 2, rc.bottom};
    DrawArrowGlyph(dc, arrow, ArrowDir::Right, IsEnabled(it));
  }
}

void PaintPopup(HMENU menu, HDC dc) {
  MenuRecord* r = Rec(menu);
  if (!r) return;
  for (const MenuItem& it : r->items) PaintPopupItem(dc, menu, r, it);
}

void InvalidateItem(HMENU menu, int pos) {
  MenuRecord* r = Rec(menu);
  if (!r || pos < 0 || size_t(pos) >= r->items.size()) return;
  if (r->popupWnd) {
    InvalidateRect(r->popupWnd, &r->items[size_t(pos)].rect, TRUE);
  } else if (r->bar && r->barWnd) {
    if (Window* w = Get(r->barWnd); w && Visible(w)) PaintFrame(w);
  }
}

// ---- The "#32768" window ----

LRESULT MenuWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  HMENU menu = reinterpret_cast<HMENU>(GetWindowLongPtrW(wnd, 0));
  switch (msg) {
    case MN_GETHMENU:
      return LRESULT(reinterpret_cast<uintptr_t>(menu));
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(wnd, &r);
      FillSys(reinterpret_cast<HDC>(wp), r, COLOR_MENU);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (dc) PaintPopup(menu, dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintPopup(menu, reinterpret_cast<HDC>(wp));
      return 0;
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(wnd);
      RECT r;
      GetWindowRect(wnd, &r);
      OffsetRect(&r, -r.left, -r.top);
      FillSys(dc, r, COLOR_MENU);
      DrawEdge3d(dc, r, true);
      ReleaseDC(wnd, dc);
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void RegisterMenuClass() {
  WNDCLASSEXW probe;
  if (GetClassInfoExW(nullptr, MAKEINTATOM(kMenuAtom), &probe)) return;
  WNDCLASSEXW wc;
  wc.style = CS_SAVEBITS | CS_DBLCLKS | CS_GLOBALCLASS;
  wc.lpfnWndProc = MenuWndProc;
  wc.cbWndExtra = int(sizeof(void*));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = "#32768";
  RegisterClassAtom(&wc, kMenuAtom);
}

// ---- Tracking ----

struct Level {
  HMENU menu = nullptr;
  HWND wnd = nullptr;
};

struct Hit {
  int level = -2;  // -1: the bar; >= 0: an open popup; -2: nothing of the menu
  int item = -1;
};

// The items whose "&" letter is ch (ignoring case), in order.
std::vector<int> MnemonicMatches(const MenuRecord* r, char32_t ch) {
  std::vector<int> matches;
  if (!r || ch >= 128) return matches;
  for (size_t i = 0; i < r->items.size(); ++i) {
    const std::string& t = r->items[i].text;
    for (size_t k = 0; k + 1 < t.size(); ++k) {
      if (t[k] != '&') continue;
      if (t[k + 1] == '&') {
        ++k;
        continue;
      }
      if (std::tolower(static_cast<unsigned char>(t[k + 1])) == std::tolower(int(ch))) matches.push_back(int(i));
      break;
    }
  }
  return matches;
}

class Tracker {
 public:
  Tracker(HWND owner, UINT flags, bool popup) : owner_(owner), flags_(flags), popup_(popup) {}

  // Runs the loop; true when an item was chosen (command()).
  bool Run();
  UINT Command() const { return command_; }
  bool System() const { return system_; }
  void Cancel() { done_ = true; }

  bool OpenPopup(HMENU menu, int position, POINT at, const RECT* exclude);
  void StartBar(HMENU bar, int item);
  // From the keyboard: the bar item is selected, and its popup opened when asked.
  void StartBarKeys(HMENU bar, int item, bool open);
  void SetSystem(bool s) { system_ = s; }

 private:
  bool Notify() const { return !(flags_ & TPM_NONOTIFY); }
  int Selected(int level) const;
  void Select(int level, int item, bool open);
  void CloseFrom(size_t level);
  void SwitchBar(int item, bool selectFirst);
  // Keyboard mode: only the bar item is selected, no popup is open.
  void HighlightBar(int item);
  HWND BarWindow() const;
  void OpenSubmenu(int level, int item);
  Hit HitAt(POINT screen) const;
  void Mouse(UINT msg, POINT screen);
  void Key(WPARAM vk);
  void Mnemonic(char32_t ch);
  void Choose(const MenuItem& it);
  void MoveSelection(int level, int step);
  bool Ours(HWND wnd) const;
  void SendMenuSelect(HMENU menu, int item);

  HWND owner_;
  UINT flags_;
  bool popup_;
  bool system_ = false;
  HMENU bar_ = nullptr;
  int barSel_ = -1;
  std::vector<Level> levels_;
  bool done_ = false;
  bool chosen_ = false;
  bool keys_ = false;  // entered from the keyboard: the bar stays selected without a popup
  UINT command_ = 0;
};

Tracker* current = nullptr;

int Tracker::Selected(int level) const {
  HMENU menu = level < 0 ? bar_ : levels_[size_t(level)].menu;
  MenuRecord* r = Rec(menu);
  if (!r) return -1;
  for (size_t i = 0; i < r->items.size(); ++i)
    if (r->items[i].state & MF_HILITE) return int(i);
  return -1;
}

bool Tracker::Ours(HWND wnd) const {
  for (const Level& l : levels_)
    if (l.wnd == wnd) return true;
  return false;
}

void Tracker::SendMenuSelect(HMENU menu, int item) {
  if (!Notify()) return;
  MenuRecord* r = Rec(menu);
  if (!r || item < 0) return;
  const MenuItem& it = r->items[size_t(item)];
  UINT flags = (it.state & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MFS_DEFAULT)) | it.type;
  if (it.sub) flags |= MF_POPUP;
  if (r->system) flags |= MF_SYSMENU;
  const UINT id = it.sub ? UINT(item) : it.id;
  SendMessageW(owner_, WM_MENUSELECT, MAKEWPARAM(int(id), int(flags & 0xFFFF)), LPARAM(reinterpret_cast<uintptr_t>(menu)));
}

bool Tracker::OpenPopup(HMENU menu, int position, POINT at, const RECT* exclude) {
  MenuRecord* r = Rec(menu);
  if (!r || r->popupWnd) return false;
  if (Notify()) {
    SendMessageW(owner_, WM_INITMENUPOPUP, WPARAM(reinterpret_cast<uintptr_t>(menu)),
                 MAKELPARAM(position, r->system ? 1 : 0));
    if (!(r = Rec(menu)) || done_) return false;
  }
  r->notify = owner_;
  SIZE client = LayoutPopup(r, owner_);
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_NOACTIVATE;
  RECT wr{0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&wr, style, FALSE, exStyle);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  // Inside the work area of the monitor at the point: flipped left or up when it does not fit.
  MONITORINFO mi;
  GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &mi);
  const RECT& work = mi.rcWork;
  int x = at.x, y = at.y;
  if (levels_.empty() && popup_) {
    if (flags_ & TPM_RIGHTALIGN) x -= w;
    else if (flags_ & TPM_CENTERALIGN) x -= w / 2;
    if (flags_ & TPM_BOTTOMALIGN) y -= h;
    else if (flags_ & TPM_VCENTERALIGN) y -= h / 2;
  }
  const bool submenu = !levels_.empty();
  if (x + w > work.right) x = submenu && exclude ? int(exclude->left) - w + GetSystemMetrics(SM_CXDLGFRAME) : int(work.right) - w;
  if (y + h > work.bottom) y = submenu ? int(work.bottom) - h : exclude ? int(exclude->top) - h : y - h;
  x = std::max(x, int(work.left));
  y = std::max(y, int(work.top));
  RegisterMenuClass();
  HWND wnd = CreateWindowExW(exStyle, MAKEINTATOM(kMenuAtom), "", style, x, y, w, h, owner_, nullptr, nullptr, nullptr);
  if (!wnd || !(r = Rec(menu))) return false;
  SetWindowLongPtrW(wnd, 0, LONG_PTR(reinterpret_cast<uintptr_t>(menu)));
  r->popupWnd = wnd;
  levels_.push_back(Level{menu, wnd});
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  UpdateWindow(wnd);
  if (levels_.size() == 1 || GetCapture() != levels_.front().wnd) SetCapture(levels_.front().wnd);
  return true;
}

void Tracker::CloseFrom(size_t level) {
  while (levels_.size() > level) {
    Level l = levels_.back();
    levels_.pop_back();
    if (MenuRecord* r = Rec(l.menu)) {
      r->popupWnd = nullptr;
      for (MenuItem& it : r->items) it.state &= ~MF_HILITE;
    }
    if (levels_.empty() && GetCapture() == l.wnd) ReleaseCapture();
    DestroyWindow(l.wnd);
    if (Notify()) SendMessageW(owner_, WM_UNINITMENUPOPUP, WPARAM(reinterpret_cast<uintptr_t>(l.menu)), 0);
  }
  if (!levels_.empty() && GetCapture() != levels_.front().wnd) SetCapture(levels_.front().wnd);
}

void Tracker::OpenSubmenu(int level, int item) {
  MenuRecord* r = Rec(levels_[size_t(level)].menu);
  if (!r) return;
  const MenuItem& it = r->items[size_t(item)];
  if (!it.sub || !IsEnabled(it) || (Rec(it.sub) && Rec(it.sub)->popupWnd)) return;
  RECT ir = it.rect, wr;
  MapWindowPoints(levels_[size_t(level)].wnd, nullptr, reinterpret_cast<POINT*>(&ir), 2);
  GetWindowRect(levels_[size_t(level)].wnd, &wr);
  const int border = GetSystemMetrics(SM_CXDLGFRAME);
  OpenPopup(it.sub, item, POINT{wr.right - border, ir.top - border}, &wr);
}

void Tracker::Select(int level, int item, bool open) {
  if (level < 0) return SwitchBar(item, false);
  CloseFrom(size_t(level) + 1);
  const Level l = levels_[size_t(level)];
  MenuRecord* r = Rec(l.menu);
  if (!r) return;
  const int old = Selected(level);
  if (old != item) {
    if (old >= 0) {
      r->items[size_t(old)].state &= ~MF_HILITE;
      InvalidateItem(l.menu, old);
    }
    if (item >= 0 && Selectable(r->items[size_t(item)])) {
      r->items[size_t(item)].state |= MF_HILITE;
      InvalidateItem(l.menu, item);
      SendMenuSelect(l.menu, item);
    }
    if (l.wnd) UpdateWindow(l.wnd);
  }
  if (open && item >= 0 && !done_ && Rec(l.menu) && size_t(level) < levels_.size()) OpenSubmenu(level, item);
}

void Tracker::MoveSelection(int level, int step) {
  MenuRecord* r = Rec(levels_[size_t(level)].menu);
  if (!r || r->items.empty()) return;
  const int n = int(r->items.size());
  int at = Selected(level);
  for (int tries = 0; tries < n; ++tries) {
    at = at < 0 ? (step > 0 ? 0 : n - 1) : (at + step + n) % n;
    if (Selectable(r->items[size_t(at)])) return Select(level, at, false);
  }
}

void Tracker::StartBar(HMENU bar, int item) {
  bar_ = bar;
  SwitchBar(item, false);
}

void Tracker::StartBarKeys(HMENU bar, int item, bool open) {
  bar_ = bar;
  keys_ = true;
  if (open) SwitchBar(item, true);
  else HighlightBar(item);
}

HWND Tracker::BarWindow() const {
  MenuRecord* r = Rec(bar_);
  return r ? r->barWnd : nullptr;
}

void Tracker::HighlightBar(int item) {
  MenuRecord* r = Rec(bar_);
  if (!r || item < 0 || size_t(item) >= r->items.size()) return;
  CloseFrom(0);
  if (barSel_ >= 0 && size_t(barSel_) < r->items.size()) r->items[size_t(barSel_)].state &= ~MF_HILITE;
  barSel_ = item;
  r->items[size_t(item)].state |= MF_HILITE;
  InvalidateItem(bar_, item);
  SendMenuSelect(bar_, item);
  SetCapture(r->barWnd);
}

void Tracker::SwitchBar(int item, bool selectFirst) {
  MenuRecord* r = Rec(bar_);
  if (!r || item < 0 || size_t(item) >= r->items.size()) return;
  if (item == barSel_ && !levels_.empty()) return;
  // The new popup opens before the old one goes, so that the capture never lapses.
  std::vector<Level> old = std::move(levels_);
  levels_.clear();
  if (barSel_ >= 0 && size_t(barSel_) < r->items.size()) r->items[size_t(barSel_)].state &= ~MF_HILITE;
  barSel_ = item;
  MenuItem& it = r->items[size_t(item)];
  it.state |= MF_HILITE;
  InvalidateItem(bar_, item);
  SendMenuSelect(bar_, item);
  bool opened = false;
  if (it.sub && IsEnabled(it)) {
    RECT ir = it.rect;
    RECT wr;
    GetWindowRect(r->barWnd, &wr);
    OffsetRect(&ir, wr.left, wr.top);
    opened = OpenPopup(it.sub, item, POINT{ir.left, ir.bottom}, &ir);
  }
  std::vector<Level> opening = std::move(levels_);
  levels_ = std::move(old);
  CloseFrom(0);
  levels_ = std::move(opening);
  if (!levels_.empty()) SetCapture(levels_.front().wnd);
  if (opened && selectFirst) MoveSelection(0, 1);
  if (!opened && levels_.empty()) {
    // A bar item without a popup is a command of its own.
    if (IsEnabled(it) && !it.sub) Choose(it);
    else if (keys_) SetCapture(r->barWnd);
    else done_ = true;
  }
}

Hit Tracker::HitAt(POINT screen) const {
  for (int i = int(levels_.size()) - 1; i >= 0; --i) {
    RECT wr;
    GetWindowRect(levels_[size_t(i)].wnd, &wr);
    if (!PtInRect(&wr, screen)) continue;
    POINT p = screen;
    ScreenToClient(levels_[size_t(i)].wnd, &p);
    Hit h{i, -1};
    if (MenuRecord* r = Rec(levels_[size_t(i)].menu))
      for (size_t k = 0; k < r->items.size(); ++k)
        if (PtInRect(&r->items[k].rect, p)) h.item = int(k);
    return h;
  }
  if (MenuRecord* r = Rec(bar_); r && r->barWnd) {
    RECT wr;
    GetWindowRect(r->barWnd, &wr);
    POINT p{screen.x - wr.left, screen.y - wr.top};
    for (size_t k = 0; k < r->items.size(); ++k)
      if (PtInRect(&r->items[k].rect, p)) return Hit{-1, int(k)};
  }
  return Hit{};
}

void Tracker::Choose(const MenuItem& it) {
  command_ = it.id;
  chosen_ = true;
  done_ = true;
}

void Tracker::Mouse(UINT msg, POINT screen) {
  const Hit h = HitAt(screen);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (h.level >= 0 && h.item >= 0) {
        Select(h.level, h.item, true);
      } else if (h.level == -1) {
        if (h.item != barSel_) SwitchBar(h.item, false);
      } else if (!levels_.empty()) {
        // Off the items: the deepest popup loses its selection unless it opened a submenu.
        const int deepest = int(levels_.size()) - 1;
        const int sel = Selected(deepest);
        if (sel >= 0 && !Rec(levels_.back().menu)->items[size_t(sel)].sub) Select(deepest, -1, false);
      }
      return;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK:
      if (h.level == -2) return Cancel();
      if (h.level == -1) {
        if (h.item == barSel_) return Cancel();
        return SwitchBar(h.item, false);
      }
      if (h.item >= 0) Select(h.level, h.item, true);
      return;
    case WM_LBUTTONUP: case WM_RBUTTONUP: {
      if (msg == WM_RBUTTONUP && popup_ && !(flags_ & TPM_RIGHTBUTTON)) return;
      if (h.level < 0 || h.item < 0) return;
      const MenuItem& it = Rec(levels_[size_t(h.level)].menu)->items[size_t(h.item)];
      if (!it.sub && Selectable(it) && IsEnabled(it)) Choose(it);
      return;
    }
  }
}

void Tracker::Key(WPARAM vk) {
  if (levels_.empty()) {
    // Keyboard mode on the bar: the arrows move along it, Down or Enter opens.
    MenuRecord* bar = Rec(bar_);
    if (!keys_ || !bar || bar->items.empty()) return Cancel();
    const int n = int(bar->items.size());
    switch (vk) {
      case VK_LEFT: return HighlightBar((barSel_ + n - 1) % n);
      case VK_RIGHT: return HighlightBar((barSel_ + 1) % n);
      case VK_DOWN: case VK_UP: case VK_RETURN: case VK_SPACE: return SwitchBar(barSel_, true);
      case VK_ESCAPE: case VK_MENU: case VK_F10: return Cancel();
    }
    return;
  }
  const int deepest = int(levels_.size()) - 1;
  MenuRecord* r = Rec(levels_.back().menu);
  const int sel = Selected(deepest);
  switch (vk) {
    case VK_DOWN: return MoveSelection(deepest, 1);
    case VK_UP: return MoveSelection(deepest, -1);
    case VK_RIGHT:
      if (sel >= 0 && r->items[size_t(sel)].sub && IsEnabled(r->items[size_t(sel)])) {
        OpenSubmenu(deepest, sel);
        if (int(levels_.size()) > deepest + 1) MoveSelection(deepest + 1, 1);
      } else if (bar_) {
        const int n = int(Rec(bar_)->items.size());
        SwitchBar((barSel_ + 1) % n, true);
      }
      return;
    case VK_LEFT:
      if (levels_.size() > 1) return CloseFrom(levels_.size() - 1);
      if (bar_) {
        const int n = int(Rec(bar_)->items.size());
        SwitchBar((barSel_ + n - 1) % n, true);
      }
      return;
    case VK_RETURN: case VK_SPACE:
      if (sel < 0) return;
      if (r->items[size_t(sel)].sub) return Key(VK_RIGHT);
      if (IsEnabled(r->items[size_t(sel)])) Choose(r->items[size_t(sel)]);
      return;
    case VK_ESCAPE:
      if (levels_.size() > 1) return CloseFrom(levels_.size() - 1);
      if (keys_ && bar_) return HighlightBar(barSel_);  // back to the bar
      return Cancel();
    case VK_MENU: case VK_F10:
      return Cancel();
  }
}

void Tracker::Mnemonic(char32_t ch) {
  if (ch >= 128) return;
  if (levels_.empty()) {
    if (!keys_) return;
    const std::vector<int> onBar = MnemonicMatches(Rec(bar_), ch);
    if (!onBar.empty()) SwitchBar(onBar.front(), true);
    return;
  }
  const int deepest = int(levels_.size()) - 1;
  MenuRecord* r = Rec(levels_.back().menu);
  const std::vector<int> matches = MnemonicMatches(r, ch);
  if (matches.empty()) {
    if (Notify()) {
      const LRESULT a = SendMessageW(owner_, WM_MENUCHAR, MAKEWPARAM(int(ch), MF_POPUP),
                                     LPARAM(reinterpret_cast<uintptr_t>(levels_.back().menu)));
      const int index = LOWORD(uintptr_t(a));
      if (HIWORD(uintptr_t(a)) == MNC_CLOSE) return Cancel();
      if ((HIWORD(uintptr_t(a)) == MNC_EXECUTE || HIWORD(uintptr_t(a)) == MNC_SELECT) && size_t(index) < r->items.size()) {
        Select(deepest, index, false);
        if (HIWORD(uintptr_t(a)) == MNC_EXECUTE) Key(VK_RETURN);
      }
    }
    return;
  }
  Select(deepest, matches.front(), false);
  if (matches.size() == 1) Key(VK_RETURN);
}

bool Tracker::Run() {
  current = this;
  bool idleSent = false;
  MSG m;
  while (!done_) {
    // Dismissed from outside (WM_CANCELMODE, a lost capture).
    const bool barOnly = levels_.empty() && keys_ && BarWindow();
    if (barOnly ? GetCapture() != BarWindow() : (levels_.empty() || !Ours(GetCapture()))) break;
    HWND loopWnd = barOnly ? BarWindow() : levels_.back().wnd;
    if (!NextModalMessage(&m, Notify() ? owner_ : nullptr, MSGF_MENU, loopWnd, &idleSent)) continue;
    if (m.message == WM_QUIT) {
      PostQuitMessage(int(m.wParam));  // the main loop's, not ours
      break;
    }
    if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) {
      if (!Ours(m.hwnd) && !(levels_.empty() && m.hwnd == BarWindow())) continue;
      POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
      if (m.message != WM_MOUSEWHEEL) ClientToScreen(m.hwnd, &p);
      Mouse(m.message, p);
      continue;
    }
    if (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK) {
      Mouse(m.message - WM_NCMOUSEMOVE + WM_MOUSEMOVE, POINT{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)});
      continue;
    }
    if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) {
      Key(m.wParam);
      continue;
    }
    if (m.message == WM_CHAR || m.message == WM_SYSCHAR) {
      Mnemonic(char32_t(m.wParam));
      continue;
    }
    if (m.message == WM_KEYUP || m.message == WM_SYSKEYUP) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  S().altTapped = false;  // the Alt that ends the menu does not open it again on release
  CloseFrom(0);
  if (keys_ && GetCapture() == BarWindow()) ReleaseCapture();
  if (MenuRecord* r = Rec(bar_)) {
    for (MenuItem& it : r->items) it.state &= ~MF_HILITE;
    if (Window* w = Get(r->barWnd); w && Visible(w)) PaintFrame(w);
  }
  current = nullptr;
  return chosen_;
}

// Runs a tracker from its start to the delivery of the command.
UINT RunTracking(Tracker& t, HWND owner, UINT flags, bool popup, HMENU initMenu, const std::function<bool()>& open) {
  const bool notify = !(flags & TPM_NONOTIFY);
  if (notify) {
    SendMessageW(owner, WM_ENTERMENULOOP, popup ? TRUE : FALSE, 0);
    if (!popup || (Rec(initMenu) && Rec(initMenu)->system))
      SendMessageW(owner, WM_INITMENU, WPARAM(reinterpret_cast<uintptr_t>(initMenu)), 0);
  }
  bool chosen = false;
  if (open()) chosen = t.Run();
  else current = nullptr;
  if (notify && IsWindow(owner)) {
    SendMessageW(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    SendMessageW(owner, WM_EXITMENULOOP, popup ? TRUE : FALSE, 0);
  }
  if (!chosen) return 0;
  if (!(flags & TPM_RETURNCMD) && IsWindow(owner))
    PostMessageW(owner, t.System() ? WM_SYSCOMMAND : WM_COMMAND, t.Command(), 0);
  return t.Command();
}

HMENU MakeSystemMenu() {
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, SC_RESTORE, "&Restore");
  AppendMenuW(m, MF_STRING, SC_MOVE, "&Move");
  AppendMenuW(m, MF_STRING, SC_SIZE, "&Size");
  AppendMenuW(m, MF_STRING, SC_MINIMIZE, "Mi&nimize");
  AppendMenuW(m, MF_STRING, SC_MAXIMIZE, "Ma&ximize");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
  SetMenuDefaultItem(m, SC_CLOSE, FALSE);
  Rec(m)->system = true;
  return m;
}

// The system menu's items follow the window's state when it opens from the frame.
void UpdateSystemMenu(Window* w, HMENU m) {
  const bool iconic = w->style & WS_MINIMIZE, zoomed = w->style & WS_MAXIMIZE;
  const bool sizeable = w->style & WS_THICKFRAME;
  auto set = [&](UINT id, bool on) { EnableMenuItem(m, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  set(SC_RESTORE, iconic || zoomed);
  set(SC_MOVE, !zoomed);
  set(SC_SIZE, sizeable && !iconic && !zoomed);
  set(SC_MINIMIZE, (w->style & WS_MINIMIZEBOX) && !iconic);
  set(SC_MAXIMIZE, (w->style & WS_MAXIMIZEBOX) && !zoomed);
  set(SC_CLOSE, !(w->cls->wc.style & CS_NOCLOSE));
}

void SetItemText(MenuItem& it, const char* text) { it.text = text ? text : ""; }

// Applies MF_* flags and the new item value of the flat menu calls.
void ApplyFlags(MenuItem& it, UINT flags, UINT_PTR newItem, const char* text) {
  it.type = flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK | MF_RIGHTJUSTIFY);
  it.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
  it.sub = nullptr;
  it.data = 0;
  it.text.clear();
  if (flags & MF_POPUP) {
    it.sub = reinterpret_cast<HMENU>(newItem);
    it.id = UINT(newItem);
  } else {
    it.id = UINT(newItem);
  }
  if (flags & MF_OWNERDRAW) it.data = reinterpret_cast<ULONG_PTR>(text);
  else if (flags & MF_BITMAP) it.bitmap = reinterpret_cast<HBITMAP>(const_cast<char*>(text));
  else if (!(flags & MF_SEPARATOR)) SetItemText(it, text);
}

void ApplyInfo(MenuItem& it, const MENUITEMINFOW* info) {
  const UINT mask = info->fMask;
  if (mask & MIIM_TYPE) {
    it.type = info->fType;
    if (info->fType & MFT_BITMAP) it.bitmap = reinterpret_cast<HBITMAP>(info->dwTypeData);
    else if (!(info->fType & (MFT_SEPARATOR | MFT_OWNERDRAW))) SetItemText(it, info->dwTypeData);
  }
  if (mask & MIIM_FTYPE) it.type = info->fType;
  if (mask & MIIM_STRING) SetItemText(it, info->dwTypeData);
  if (mask & MIIM_STATE) it.state = (it.state & MF_HILITE) | (info->fState & ~MF_HILITE) | (info->fState & MF_HILITE);
  if (mask & MIIM_ID) it.id = info->wID;
  if (mask & MIIM_SUBMENU) it.sub = info->hSubMenu;
  if (mask & MIIM_CHECKMARKS) {
    it.checked = info->hbmpChecked;
    it.unchecked = info->hbmpUnchecked;
  }
  if (mask & MIIM_DATA) it.data = info->dwItemData;
  if (mask & MIIM_BITMAP) it.bitmap = info->hbmpItem;
}

// The bar changed: the frame of the window that shows it is laid out again.
void MenuChanged(HMENU menu) {
  MenuRecord* r = Rec(menu);
  if (r && r->bar && r->barWnd && IsWindow(r->barWnd)) DrawMenuBar(r->barWnd);
}

BOOL InsertAt(HMENU menu, UINT position, bool byPosition, MenuItem item) {
  MenuRecord* r = Rec(menu);
  if (!r) return FALSE;
  HMENU holder = menu;
  size_t at = r->items.size();
  if (byPosition) {
    if (position < at) at = position;
  } else {
    int pos = -1;
    if (FindItem(holder, position, false, &pos)) {
      r = Rec(holder);
      at = size_t(pos);
    }
  }
  r->items.insert(r->items.begin() + long(at), std::move(item));
  MenuChanged(holder);
  return TRUE;
}

BOOL Erase(HMENU menu, UINT position, UINT flags, bool destroySub) {
  int pos = -1;
  HMENU holder = menu;
  MenuItem* it = FindItem(holder, position, flags & MF_BYPOSITION, &pos);
  if (!it) return FALSE;
  HMENU sub = it->sub;
  Rec(holder)->items.erase(Rec(holder)->items.begin() + pos);
  if (destroySub && sub) DestroyMenu(sub);
  MenuChanged(holder);
  return TRUE;
}

}  // namespace

// ---- For the frame (NonClient.cpp) ----

int MenuBarHeight(Window* w, int width) {
  if (!w || w->parent) return 0;
  auto it = M().bars.find(w->handle);
  MenuRecord* r = it == M().bars.end() ? nullptr : Rec(it->second);
  if (!r) return 0;
  r->barWnd = w->handle;
  return LayoutBar(r, w, width);
}

int PaintMenuBar(Window* w, HDC dc) {
  if (w->parent) return 0;
  auto found = M().bars.find(w->handle);
  if (found == M().bars.end()) return 0;
  HMENU menu = found->second;
  MenuRecord* r = Rec(menu);
  if (!r) return 0;
  RECT area = BarArea(w);
  area.bottom = area.top + r->barHeight;
  FillSys(dc, area, COLOR_MENU);
  for (const MenuItem& it : r->items) {
    if (it.type & MFT_OWNERDRAW) {
      const int saved = SaveDC(dc);
      SendDrawItem(w->handle, menu, it, dc);
      RestoreDC(dc, saved);
      continue;
    }
    if (IsSeparator(it)) continue;
    const bool hot = it.state & MF_HILITE;
    if (it.bitmap && it.text.empty()) {
      PaintBarBitmap(dc, it, hot);
      continue;
    }
    if (hot) FillSys(dc, it.rect, COLOR_HIGHLIGHT);
    DrawItemText(dc, it, it.rect,
                 GetSysColor(!IsEnabled(it) ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT), false);
  }
  return r->barHeight;
}

bool MenuBarContains(Window* w, POINT windowPoint) {
  if (w->parent || !M().bars.count(w->handle)) return false;
  MenuRecord* r = Rec(M().bars[w->handle]);
  if (!r) return false;
  RECT area = BarArea(w);
  area.bottom = area.top + r->barHeight;
  return PtInRect(&area, windowPoint);
}

// The system menu below the window icon.
static void TrackSystemMenu(Window* w) {
  HWND wnd = w->handle;
  RECT wr;
  GetWindowRect(wnd, &wr);
  const RECT icon = CaptionButtonRect(w, HTSYSMENU);
  HMENU sys = GetSystemMenu(wnd, FALSE);
  UpdateSystemMenu(w, sys);
  Tracker t(wnd, 0, true);
  t.SetSystem(true);
  RunTracking(t, wnd, 0, true, sys, [&] {
    current = &t;
    return t.OpenPopup(sys, 0, POINT{wr.left + icon.left, wr.top + icon.bottom}, nullptr);
  });
}

// SC_MOUSEMENU: a press on the bar opens the item's popup; on the window icon, the system menu.
void TrackFrameMenu(Window* w, POINT screen) {
  if (current) return;
  HWND wnd = w->handle;
  RECT wr;
  GetWindowRect(wnd, &wr);
  POINT p{screen.x - wr.left, screen.y - wr.top};
  if (MenuBarContains(w, p)) {
    HMENU bar = M().bars[wnd];
    MenuRecord* r = Rec(bar);
    int item = -1;
    for (size_t k = 0; k < r->items.size(); ++k)
      if (PtInRect(&r->items[k].rect, p)) item = int(k);
    if (item < 0) return;
    Tracker t(wnd, 0, false);
    RunTracking(t, wnd, 0, false, bar, [&] {
      current = &t;
      t.StartBar(bar, item);
      return true;
    });
    return;
  }
  RECT icon = CaptionButtonRect(w, HTSYSMENU);
  if (PtInRect(&icon, p)) TrackSystemMenu(w);
}

void TrackKeyMenu(Window* w, char32_t ch) {
  if (current) return;
  HWND wnd = w->handle;
  auto found = M().bars.find(wnd);
  MenuRecord* r = found == M().bars.end() ? nullptr : Rec(found->second);
  if (ch == U' ' || !r || !r->barWnd || r->items.empty()) {
    if (ch == U' ' && (w->style & WS_SYSMENU)) TrackSystemMenu(w);  // Alt+Space
    return;
  }
  int item = 0;
  if (ch) {
    const std::vector<int> matches = MnemonicMatches(r, ch);
    if (matches.empty()) return;
    item = matches.front();
  }
  HMENU bar = found->second;
  Tracker t(wnd, 0, false);
  RunTracking(t, wnd, 0, false, bar, [&] {
    current = &t;
    t.StartBarKeys(bar, item, ch != 0);
    return true;
  });
}

void ForgetWindowMenus(HWND wnd) {
  Menus& m = M();
  if (auto it = m.bars.find(wnd); it != m.bars.end()) {
    HMENU menu = it->second;
    m.bars.erase(it);
    DestroyMenu(menu);
  }
  if (auto it = m.systemMenus.find(wnd); it != m.systemMenus.end()) {
    HMENU menu = it->second;
    m.systemMenus.erase(it);
    DestroyMenu(menu);
  }
}

}  // namespace win

using namespace win;

HMENU CreateMenu() { return NewMenu(true); }
HMENU CreatePopupMenu() { return NewMenu(false); }
BOOL IsMenu(HMENU menu) { return Rec(menu) != nullptr; }

BOOL DestroyMenu(HMENU menu) {
  auto it = M().records.find(menu);
  if (it == M().records.end()) return FALSE;
  std::unique_ptr<MenuRecord> r = std::move(it->second);
  M().records.erase(it);
  for (auto b = M().bars.begin(); b != M().bars.end(); ++b)
    if (b->second == menu) {
      M().bars.erase(b);
      break;
    }
  if (r->popupWnd && current) current->Cancel();
  for (const MenuItem& item : r->items)
    if (item.sub) DestroyMenu(item.sub);
  return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR newItem, const char* text) {
  return InsertMenuW(menu, 0xFFFFFFFF, flags | MF_BYPOSITION, newItem, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text) {
  MenuItem it;
  ApplyFlags(it, flags, newItem, text);
  return InsertAt(menu, position, flags & MF_BYPOSITION, std::move(it));
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text) {
  HMENU holder = menu;
  MenuItem* it = FindItem(holder, position, flags & MF_BYPOSITION);
  if (!it) return FALSE;
  const HMENU oldSub = it->sub;
  ApplyFlags(*it, flags, newItem, text);
  if (oldSub && oldSub != it->sub) DestroyMenu(oldSub);
  MenuChanged(holder);
  return TRUE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info) {
  if (!info) return FALSE;
  MenuItem it;
  ApplyInfo(it, info);
  return InsertAt(menu, byPosition ? item : item, byPosition, std::move(it));
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
  if (!info) return FALSE;
  MenuItem* it = FindItem(menu, item, byPosition);
  if (!it) return FALSE;
  const UINT mask = info->fMask;
  if (mask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = it->type;
  if (mask & MIIM_STATE) info->fState = it->state;
  if (mask & MIIM_ID) info->wID = it->id;
  if (mask & MIIM_SUBMENU) info->hSubMenu = it->sub;
  if (mask & MIIM_CHECKMARKS) {
    info->hbmpChecked = it->checked;
    info->hbmpUnchecked = it->unchecked;
  }
  if (mask & MIIM_DATA) info->dwItemData = it->data;
  if (mask & MIIM_BITMAP) info->hbmpItem = it->bitmap;
  if (mask & (MIIM_STRING | MIIM_TYPE)) {
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min(it->text.size(), size_t(info->cch - 1));
      memcpy(info->dwTypeData, it->text.data(), n);
      info->dwTypeData[n] = 0;
    }
    info->cch = UINT(it->text.size());
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info) {
  if (!info) return FALSE;
  HMENU holder = menu;
  MenuItem* it = FindItem(holder, item, byPosition);
  if (!it) return FALSE;
  ApplyInfo(*it, info);
  MenuChanged(holder);
  if (MenuRecord* r = Rec(holder); r && r->popupWnd) InvalidateRect(r->popupWnd, nullptr, TRUE);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return Erase(menu, position, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return Erase(menu, position, flags, false); }

int GetMenuItemCount(HMENU menu) {
  MenuRecord* r = Rec(menu);
  return r ? int(r->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int pos) {
  MenuRecord* r = Rec(menu);
  if (!r || pos < 0 || size_t(pos) >= r->items.size() || r->items[size_t(pos)].sub) return 0xFFFFFFFF;
  return r->items[size_t(pos)].id;
}

HMENU GetSubMenu(HMENU menu, int pos) {
  MenuRecord* r = Rec(menu);
  if (!r || pos < 0 || size_t(pos) >= r->items.size()) return nullptr;
  return r->items[size_t(pos)].sub;
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags) {
  MenuItem* it = FindItem(menu, id, flags & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  const UINT bits = it->type | it->state;
  if (it->sub) return (UINT(std::min(255, GetMenuItemCount(it->sub))) << 8) | MF_POPUP | (bits & 0xFF);
  return bits;
}

int GetMenuStringW(HMENU menu, UINT item, char* text, int maxCount, UINT flags) {
  MenuItem* it = FindItem(menu, item, flags & MF_BYPOSITION);
  if (!it) return 0;
  if (!text || maxCount <= 0) return int(it->text.size());
  const int n = std::min(int(it->text.size()), maxCount - 1);
  memcpy(text, it->text.data(), size_t(n));
  text[n] = 0;
  return n;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  HMENU holder = menu;
  MenuItem* it = FindItem(holder, item, enable & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  const UINT old = it->state & (MF_GRAYED | MF_DISABLED);
  it->state = (it->state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  if (MenuRecord* r = Rec(holder); r && r->bar) MenuChanged(holder);
  return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  MenuItem* it = FindItem(menu, item, check & MF_BYPOSITION);
  if (!it) return 0xFFFFFFFF;
  const DWORD old = it->state & MF_CHECKED;
  it->state = (it->state & ~MF_CHECKED) | (check & MF_CHECKED);
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  MenuRecord* r = Rec(menu);
  if (!r) return FALSE;
  int a = -1, b = -1, c = -1;
  if (flags & MF_BYPOSITION) {
    a = int(first), b = int(last), c = int(check);
  } else {
    for (size_t i = 0; i < r->items.size(); ++i) {
      if (r->items[i].id == first) a = int(i);
      if (r->items[i].id == last) b = int(i);
      if (r->items[i].id == check) c = int(i);
    }
  }
  if (a < 0 || b < a || size_t(b) >= r->items.size()) return FALSE;
  for (int i = a; i <= b; ++i) {
    MenuItem& it = r->items[size_t(i)];
    it.state &= ~MF_CHECKED;
    if (i == c) {
      it.state |= MF_CHECKED;
      it.type |= MFT_RADIOCHECK;
    }
  }
  return TRUE;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  MenuRecord* r = Rec(menu);
  if (!r) return FALSE;
  MenuItem* target = item == 0xFFFFFFFF ? nullptr : FindItem(menu, item, byPosition);
  if (item != 0xFFFFFFFF && (!target || Rec(menu) != r)) return FALSE;
  for (MenuItem& it : r->items) it.state &= ~MFS_DEFAULT;
  if (target) target->state |= MFS_DEFAULT;
  return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT) {
  MenuRecord* r = Rec(menu);
  if (!r) return 0xFFFFFFFF;
  for (size_t i = 0; i < r->items.size(); ++i)
    if (r->items[i].state & MFS_DEFAULT) return byPosition ? UINT(i) : r->items[i].id;
  return 0xFFFFFFFF;
}

BOOL HiliteMenuItem(HWND, HMENU menu, UINT item, UINT hilite) {
  int pos = -1;
  HMENU holder = menu;
  MenuItem* it = FindItem(holder, item, hilite & MF_BYPOSITION, &pos);
  if (!it) return FALSE;
  if (hilite & MF_HILITE) it->state |= MF_HILITE;
  else it->state &= ~MF_HILITE;
  InvalidateItem(holder, pos);
  return TRUE;
}

BOOL GetMenuInfo(HMENU menu, MENUINFO* info) {
  MenuRecord* r = Rec(menu);
  if (!r || !info) return FALSE;
  const DWORD mask = info->fMask;
  if (mask & MIM_STYLE) info->dwStyle = r->info.dwStyle;
  if (mask & MIM_MAXHEIGHT) info->cyMax = r->info.cyMax;
  if (mask & MIM_BACKGROUND) info->hbrBack = r->info.hbrBack;
  if (mask & MIM_HELPID) info->dwContextHelpID = r->info.dwContextHelpID;
  if (mask & MIM_MENUDATA) info->dwMenuData = r->info.dwMenuData;
  return TRUE;
}

BOOL SetMenuInfo(HMENU menu, const MENUINFO* info) {
  MenuRecord* r = Rec(menu);
  if (!r || !info) return FALSE;
  const DWORD mask = info->fMask;
  if (mask & MIM_STYLE) r->info.dwStyle = info->dwStyle;
  if (mask & MIM_MAXHEIGHT) r->info.cyMax = info->cyMax;
  if (mask & MIM_BACKGROUND) r->info.hbrBack = info->hbrBack;
  if (mask & MIM_HELPID) r->info.dwContextHelpID = info->dwContextHelpID;
  if (mask & MIM_MENUDATA) r->info.dwMenuData = info->dwMenuData;
  if (mask & MIM_APPLYTOSUBMENUS)
    for (const MenuItem& it : r->items)
      if (it.sub) SetMenuInfo(it.sub, info);
  return TRUE;
}

BOOL GetMenuItemRect(HWND wnd, HMENU menu, UINT item, RECT* rect) {
  MenuRecord* r = Rec(menu);
  if (!r || !rect || item >= r->items.size()) return FALSE;
  RECT ir = r->items[item].rect;
  if (r->popupWnd) {
    MapWindowPoints(r->popupWnd, nullptr, reinterpret_cast<POINT*>(&ir), 2);
  } else if (r->bar && wnd && GetMenu(wnd) == menu) {
    RECT wr;
    GetWindowRect(wnd, &wr);
    OffsetRect(&ir, wr.left, wr.top);
  } else {
    return FALSE;
  }
  *rect = ir;
  return TRUE;
}

int MenuItemFromPoint(HWND wnd, HMENU menu, POINT screen) {
  MenuRecord* r = Rec(menu);
  if (!r) return -1;
  for (UINT i = 0; i < r->items.size(); ++i) {
    RECT ir;
    if (GetMenuItemRect(wnd, menu, i, &ir) && PtInRect(&ir, screen)) return int(i);
  }
  return -1;
}

BOOL SetMenu(HWND wnd, HMENU menu) {
  Window* w = Get(wnd);
  if (!w || w->parent || (menu && !Rec(menu))) return FALSE;
  Menus& m = M();
  if (auto it = m.bars.find(wnd); it != m.bars.end()) {
    if (MenuRecord* old = Rec(it->second)) old->barWnd = nullptr;
    m.bars.erase(it);
  }
  if (menu) {
    // A menu shows on one window at a time.
    for (auto it = m.bars.begin(); it != m.bars.end(); ++it)
      if (it->second == menu) {
        m.bars.erase(it);
        break;
      }
    m.bars[wnd] = menu;
    Rec(menu)->barWnd = wnd;
  }
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return TRUE;
}

HMENU GetMenu(HWND wnd) {
  auto it = M().bars.find(wnd);
  return it == M().bars.end() ? nullptr : it->second;
}

BOOL DrawMenuBar(HWND wnd) {
  if (!GetMenu(wnd)) return FALSE;
  return SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HMENU GetSystemMenu(HWND wnd, BOOL revert) {
  Window* w = Get(wnd);
  if (!w) return nullptr;
  Menus& m = M();
  auto it = m.systemMenus.find(wnd);
  if (revert) {
    if (it != m.systemMenus.end()) {
      HMENU old = it->second;
      m.systemMenus.erase(it);
      DestroyMenu(old);
    }
    return nullptr;
  }
  // A window made with a system menu keeps it when WS_SYSMENU is taken away
  // later (a frame that draws its own caption buttons still offers the menu).
  if (!(w->style & WS_SYSMENU) && !w->madeWithSysMenu) return nullptr;
  if (it != m.systemMenus.end() && Rec(it->second)) return it->second;
  HMENU menu = MakeSystemMenu();
  m.systemMenus[wnd] = menu;
  return menu;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params) {
  if (!Rec(menu) || !IsWindow(owner) || current || Rec(menu)->popupWnd) return FALSE;
  Tracker t(owner, flags, true);
  t.SetSystem(Rec(menu)->system);
  bool shown = false;
  const UINT cmd = RunTracking(t, owner, flags, true, menu, [&] {
    current = &t;
    shown = t.OpenPopup(menu, 0, POINT{x, y}, params ? &params->rcExclude : nullptr);
    return shown;
  });
  if (flags & TPM_RETURNCMD) return BOOL(cmd);
  return shown ? TRUE : FALSE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
  if (!current) return FALSE;
  current->Cancel();
  PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes the loop
  return TRUE;
}
