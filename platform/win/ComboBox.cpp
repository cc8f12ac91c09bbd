// The "COMBOBOX" class: a selection field (an edit, or the chosen item) with
// a list that drops down in a popup "ComboLBox" window, or stays open below.

#include <algorithm>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kEditId = 1001;
constexpr int kListId = 1000;

class ComboBox : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  DWORD Kind() const { return Style() & 0x3; }
  bool HasEdit() const { return Kind() == CBS_SIMPLE || Kind() == CBS_DROPDOWN; }
  int FieldHeight() const { return FontHeight(Font()) + 8; }
  RECT ButtonRect() const {
    const RECT c = Client();
    if (Kind() == CBS_SIMPLE) return RECT{};
    return RECT{c.right - 2 - GetSystemMetrics(SM_CXVSCROLL), 2, c.right - 2, c.bottom - 2};
  }
  RECT FieldRect() const {
    RECT c = Client();
    InflateRect(&c, -2, -2);
    if (Kind() == CBS_SIMPLE) c.bottom = c.top + FieldHeight() - 4;
    else c.right = ButtonRect().left;
    return c;
  }
  LRESULT List(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageW(list_, msg, wp, lp); }
  int Current() const { return int(List(LB_GETCURSEL)); }
  std::string ItemText(int i) const;
  void ShowCurrent();  // the field shows the chosen item
  void SetCurrent(int i, bool notify);
  void DropDown();
  void CloseUp(bool accepted);
  void Layout();

  HWND edit_ = nullptr;
  HWND list_ = nullptr;
  bool dropped_ = false;
  bool focused_ = false;
  int dropHeight_ = 0;     // the whole height asked for, drop-down included
  int droppedWidth_ = 0;
  int minVisible_ = 0;     // rows the dropped list shows; 0: as dropHeight_ holds
  int beforeDrop_ = -1;    // the choice before the list dropped
};

std::string ComboBox::ItemText(int i) const {
  const LRESULT n = List(LB_GETTEXTLEN, WPARAM(i));
  if (n < 0) return std::string();
  std::string s(size_t(n) + 1, '\0');
  List(LB_GETTEXT, WPARAM(i), LPARAM(s.data()));
  s.resize(size_t(n));
  return s;
}

void ComboBox::ShowCurrent() {
  const std::string t = Current() >= 0 ? ItemText(Current()) : std::string();
  if (edit_) {
    SetWindowTextW(edit_, t.c_str());
    SendMessageW(edit_, EM_SETSEL, 0, -1);
  }
  if (Window* w = Get(hwnd)) w->text = t;
  Redraw();
}

void ComboBox::SetCurrent(int i, bool notify) {
  const int before = Current();
  List(LB_SETCURSEL, WPARAM(i));
  ShowCurrent();
  if (notify && Current() != before) Command(CBN_SELCHANGE);
}

void ComboBox::Layout() {
  const RECT c = Client();
  if (edit_) {
    const RECT f = FieldRect();
    MoveWindow(edit_, f.left + 1, f.top + 1, f.right - f.left - 2, f.bottom - f.top - 2, TRUE);
  }
  if (Kind() == CBS_SIMPLE && list_) MoveWindow(list_, 0, FieldHeight(), c.right, std::max(0, int(c.bottom) - FieldHeight()), TRUE);
}

void ComboBox::DropDown() {
  if (dropped_ || Kind() == CBS_SIMPLE) return;
  Command(CBN_DROPDOWN);
  if (!IsWindow(hwnd)) return;
  beforeDrop_ = Current();
  RECT r;
  GetWindowRect(hwnd, &r);
  const int count = std::max(1, int(List(LB_GETCOUNT)));
  const int itemHeight = std::max(1, int(List(LB_GETITEMHEIGHT)));
  int rows = minVisible_ > 0 ? minVisible_ : std::max(1, (dropHeight_ - int(r.bottom - r.top)) / itemHeight);
  rows = std::min(rows, count);
  int width = std::max(int(r.right - r.left), droppedWidth_);
  // Inside the work area: below the field, or above it where there is more room there;
  // a list taller than the room shows fewer rows and scrolls.
  MONITORINFO mi;
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi);
  const RECT& work = mi.rcWork;
  const int below = int(work.bottom - r.bottom), above = int(r.top - work.top);
  const bool up = rows * itemHeight + 2 > below && above > below;
  rows = std::max(1, std::min(rows, ((up ? above : below) - 2) / itemHeight));
  const int height = rows * itemHeight + 2;
  width = std::min(width, int(work.right - work.left));
  const int x = std::max(int(work.left), std::min(int(r.left), int(work.right) - width));
  dropped_ = true;
  SetWindowPos(list_, HWND_TOPMOST, x, up ? int(r.top) - height : int(r.bottom), width, height,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  if (Current() >= 0) List(LB_SETTOPINDEX, WPARAM(Current()));
  SetCapture(list_);
  Redraw();
}

void ComboBox::CloseUp(bool accepted) {
  if (!dropped_) return;
  dropped_ = false;
  if (GetCapture() == list_) ReleaseCapture();
  ShowWindow(list_, SW_HIDE);
  if (!accepted) List(LB_SETCURSEL, WPARAM(beforeDrop_));
  Command(accepted ? CBN_SELENDOK : CBN_SELENDCANCEL);
  if (!IsWindow(hwnd)) return;
  Command(CBN_CLOSEUP);
  if (!IsWindow(hwnd)) return;
  ShowCurrent();
  if (accepted && Current() != beforeDrop_) Command(CBN_SELCHANGE);
}

LRESULT ComboBox::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      dropHeight_ = cs->cy;
      const DWORD s = Style();
      // Scroll bars asked of a combo box are its list's; the field has none.
      if (s & (WS_VSCROLL | WS_HSCROLL)) {
        SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(s & ~(WS_VSCROLL | WS_HSCROLL)));
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      }
      DWORD listStyle = WS_VSCROLL | LBS_NOTIFY | LBS_COMBOBOX | (s & CBS_SORT ? LBS_SORT : 0) |
                        (s & CBS_HASSTRINGS ? LBS_HASSTRINGS : 0) |
                        (s & CBS_OWNERDRAWFIXED ? LBS_OWNERDRAWFIXED : 0) |
                        (s & CBS_OWNERDRAWVARIABLE ? LBS_OWNERDRAWVARIABLE : 0);
      if (Kind() == CBS_SIMPLE) {
        list_ = CreateWindowExW(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | (listStyle & ~LBS_COMBOBOX), 0,
                                0, 10, 10, hwnd, reinterpret_cast<HMENU>(uintptr_t(kListId)), nullptr, nullptr);
      } else {
        list_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, "ComboLBox", "",
                                WS_POPUP | WS_BORDER | listStyle, 0, 0, 10, 10, hwnd, nullptr, nullptr, nullptr);
        HWND self = hwnd;
        SetComboListOwner(list_, hwnd, [self](bool accepted) {
          if (Window* w = Get(self))
            if (auto* c = dynamic_cast<ComboBox*>(w->control.get())) c->CloseUp(accepted);
        });
      }
      if (HasEdit()) {
        edit_ = CreateWindowExW(0, "EDIT", cs->lpszName ? cs->lpszName : "",
                                WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | (s & CBS_UPPERCASE ? ES_UPPERCASE : 0) |
                                    (s & CBS_LOWERCASE ? ES_LOWERCASE : 0),
                                0, 0, 10, 10, hwnd, reinterpret_cast<HMENU>(uintptr_t(kEditId)), nullptr, nullptr);
      }
      if (!list_ || (HasEdit() && !edit_)) return -1;
      if (Kind() != CBS_SIMPLE) {
        // A drop-down combo box is as high as its field; the height asked for is the list's room.
        SetWindowPos(hwnd, nullptr, 0, 0, cs->cx, FieldHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      Layout();
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
      if (Kind() != CBS_SIMPLE && !(pos->flags & SWP_NOSIZE) && list_ && pos->cy != FieldHeight()) {
        dropHeight_ = pos->cy;
        pos->cy = FieldHeight();
      }
      break;
    }
    case WM_SIZE:
      Layout();
      break;
    case WM_DESTROY:
      if (list_ && Kind() != CBS_SIMPLE) DestroyWindow(list_);
      list_ = nullptr;
      break;
    case WM_SETFONT:
      if (edit_) SendMessageW(edit_, WM_SETFONT, wp, lp);
      if (list_) SendMessageW(list_, WM_SETFONT, wp, lp);
      Control::Handle(msg, wp, lp);
      Layout();
      return 0;
    case WM_COMMAND:
      if (HWND(lp) == edit_ && edit_) {
        if (HIWORD(wp) == EN_CHANGE) {
          if (Window* w = Get(hwnd)) w->text = Get(edit_)->text;
          Command(CBN_EDITCHANGE);
        } else if (HIWORD(wp) == EN_UPDATE) {
          Command(CBN_EDITUPDATE);
        } else if (HIWORD(wp) == EN_SETFOCUS) {
          Command(CBN_SETFOCUS);
        } else if (HIWORD(wp) == EN_KILLFOCUS) {
          Command(CBN_KILLFOCUS);
        }
      } else if (HWND(lp) == list_ && Kind() == CBS_SIMPLE && HIWORD(wp) == LBN_SELCHANGE) {
        ShowCurrent();
        Command(CBN_SELCHANGE);
      }
      return 0;
    case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORSTATIC:
      return Parent() ? SendMessageW(Parent(), msg, wp, LPARAM(hwnd)) : DefWindowProcW(hwnd, msg, wp, lp);
    case WM_DRAWITEM: case WM_MEASUREITEM:
      return Parent() ? SendMessageW(Parent(), msg, WPARAM(Id()), lp) : 0;
    case WM_SETFOCUS:
      if (edit_) {
        SetFocus(edit_);
        return 0;
      }
      focused_ = true;
      Redraw();
      Command(CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      if (dropped_ && HWND(wp) != list_) CloseUp(false);
      if (!IsWindow(hwnd)) return 0;
      focused_ = false;
      Redraw();
      if (!edit_) Command(CBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const RECT b = ButtonRect();
      if (!edit_) SetFocus(hwnd);
      if (Kind() == CBS_DROPDOWNLIST || PtInRect(&b, p)) {
        if (dropped_) CloseUp(false);
        else DropDown();
      }
      return 0;
    }
    case WM_KEYDOWN: {
      const bool alt = GetKeyState(VK_MENU) & 0x8000;
      if (wp == WPARAM(VK_F4) || (alt && (wp == WPARAM(VK_DOWN) || wp == WPARAM(VK_UP)))) {
        if (dropped_) CloseUp(true);
        else DropDown();
        return 0;
      }
      if (dropped_) {
        if (wp == WPARAM(VK_RETURN)) CloseUp(true);
        else if (wp == WPARAM(VK_ESCAPE)) CloseUp(false);
        else SendMessageW(list_, WM_KEYDOWN, wp, lp);
        return 0;
      }
      int i = Current();
      const int n = int(List(LB_GETCOUNT));
      switch (wp) {
        case VK_UP: case VK_LEFT: i = std::max(0, i - 1); break;
        case VK_DOWN: case VK_RIGHT: i = std::min(n - 1, i + 1); break;
        case VK_HOME: i = 0; break;
        case VK_END: i = n - 1; break;
        default: return 0;
      }
      if (n > 0) SetCurrent(i, true);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wp == WPARAM(VK_DOWN) || wp == WPARAM(VK_UP)) return Handle(WM_KEYDOWN, wp, lp);
      break;
    case WM_CHAR:
      if (!edit_ && wp >= 0x20) {
        const char c[2] = {char(wp < 0x80 ? wp : '?'), 0};
        const LRESULT i = List(LB_FINDSTRING, WPARAM(Current()), LPARAM(c));
        if (i >= 0) SetCurrent(int(i), true);
      }
      return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS | (dropped_ ? DLGC_WANTALLKEYS : 0);
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      if (edit_) SetWindowTextW(edit_, lp ? reinterpret_cast<const char*>(lp) : "");
      return r;
    }
    case WM_ENABLE:
      if (edit_) EnableWindow(edit_, BOOL(wp));
      if (list_ && Kind() == CBS_SIMPLE) EnableWindow(list_, BOOL(wp));
      break;
    // The items live in the list.
    case CB_ADDSTRING: return List(LB_ADDSTRING, wp, lp);
    case CB_INSERTSTRING: return List(LB_INSERTSTRING, wp, lp);
    case CB_DELETESTRING: return List(LB_DELETESTRING, wp, lp);
    case CB_GETCOUNT: return List(LB_GETCOUNT);
    case CB_GETLBTEXT: return List(LB_GETTEXT, wp, lp);
    case CB_GETLBTEXTLEN: return List(LB_GETTEXTLEN, wp, lp);
    case CB_FINDSTRING: return List(LB_FINDSTRING, wp, lp);
    case CB_FINDSTRINGEXACT: return List(LB_FINDSTRINGEXACT, wp, lp);
    case CB_GETITEMDATA: return List(LB_GETITEMDATA, wp, lp);
    case CB_SETITEMDATA: return List(LB_SETITEMDATA, wp, lp);
    case CB_GETTOPINDEX: return List(LB_GETTOPINDEX);
    case CB_SETTOPINDEX: return List(LB_SETTOPINDEX, wp);
    case CB_RESETCONTENT:
      List(LB_RESETCONTENT);
      ShowCurrent();
      return CB_OKAY;
    case CB_GETCURSEL: return Current();
    case CB_SETCURSEL: {
      const int n = int(List(LB_GETCOUNT));
      const int i = int(LPARAM(wp));
      SetCurrent(i >= 0 && i < n ? i : -1, false);
      return i >= 0 && i < n ? i : CB_ERR;
    }
    case CB_SELECTSTRING: {
      const LRESULT i = List(LB_FINDSTRING, wp, lp);
      if (i >= 0) SetCurrent(int(i), false);
      return i;
    }
    case CB_SHOWDROPDOWN:
      if (wp) DropDown();
      else CloseUp(false);
      return TRUE;
    case CB_GETDROPPEDSTATE: return dropped_;
    case CB_GETDROPPEDCONTROLRECT: {
      RECT r;
      GetWindowRect(hwnd, &r);
      r.bottom = r.top + std::max(int(r.bottom - r.top), dropHeight_);
      if (lp) *reinterpret_cast<RECT*>(lp) = r;
      return TRUE;
    }
    case CB_SETMINVISIBLE:
      if (int(wp) <= 0) return FALSE;
      minVisible_ = int(wp);
      return TRUE;
    case CB_GETMINVISIBLE: return minVisible_;
    case CB_SETDROPPEDWIDTH:
      droppedWidth_ = int(wp);
      return droppedWidth_;
    case CB_GETDROPPEDWIDTH: {
      RECT r;
      GetWindowRect(hwnd, &r);
      return std::max(int(r.right - r.left), droppedWidth_);
    }
    case CB_SETITEMHEIGHT:
      if (LPARAM(wp) == -1) return CB_OKAY;
      return List(LB_SETITEMHEIGHT, 0, lp);
    case CB_GETITEMHEIGHT:
      return LPARAM(wp) == -1 ? FieldHeight() - 6 : List(LB_GETITEMHEIGHT);
    case CB_GETEDITSEL: return edit_ ? SendMessageW(edit_, EM_GETSEL, wp, lp) : CB_ERR;
    case CB_SETEDITSEL: return edit_ ? (SendMessageW(edit_, EM_SETSEL, LOWORD(lp), int16_t(HIWORD(lp))), TRUE) : CB_ERR;
    case CB_LIMITTEXT: return edit_ ? (SendMessageW(edit_, EM_LIMITTEXT, wp, 0), TRUE) : CB_ERR;
    case CB_GETCOMBOBOXINFO: {
      auto* info = reinterpret_cast<COMBOBOXINFO*>(lp);
      if (!info) return FALSE;
      info->rcItem = FieldRect();
      info->rcButton = ButtonRect();
      info->stateButton = Kind() == CBS_SIMPLE ? STATE_SYSTEM_INVISIBLE : dropped_ ? STATE_SYSTEM_PRESSED : 0;
      info->hwndCombo = hwnd;
      info->hwndItem = edit_ ? edit_ : hwnd;
      info->hwndList = list_;
      return TRUE;
    }
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

void ComboBox::Paint(HDC dc) {
  const RECT c = Client();
  HBRUSH field = ParentBrush(dc, edit_ ? WM_CTLCOLOREDIT : WM_CTLCOLORLISTBOX);
  const COLORREF text = GetTextColor(dc);
  RECT box = Kind() == CBS_SIMPLE ? RECT{0, 0, c.right, FieldHeight()} : c;
  FillRect(dc, &box, field);
  DrawEdge3d(dc, box, false);
  if (Kind() != CBS_SIMPLE) {
    const RECT b = ButtonRect();
    DrawButtonFace(dc, b, dropped_);
    DrawArrowGlyph(dc, b, ArrowDir::Down, Enabled());
  }
  if (edit_) return;
  RECT f = FieldRect();
  InflateRect(&f, -1, -1);
  const bool hot = focused_ && !dropped_;
  const int cur = Current();
  if (Style() & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
    DrawItem(ODT_COMBOBOX, UINT(cur), ODS_COMBOBOXEDIT | (hot ? ODS_SELECTED | ODS_FOCUS : 0), dc, f,
             cur >= 0 ? ULONG_PTR(List(LB_GETITEMDATA, WPARAM(cur))) : 0);
    return;
  }
  if (hot) FillSys(dc, f, COLOR_HIGHLIGHT);
  RECT t = f;
  t.left += 2;
  DrawLabel(dc, Font(), cur >= 0 ? ItemText(cur) : std::string(), t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
            !Enabled() ? GetSysColor(COLOR_GRAYTEXT) : hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
  if (hot) DrawFocusRectangle(dc, f);
}

}  // namespace

LRESULT ComboBoxWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<ComboBox>(wnd, msg, wp, lp); }

}  // namespace win

BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info) {
  return BOOL(SendMessageW(combo, CB_GETCOMBOBOXINFO, 0, LPARAM(info)));
}
