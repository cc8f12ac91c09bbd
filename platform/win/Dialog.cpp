// The dialog manager: the "#32770" class with its default procedure (default
// button, focus kept across activation, Escape and close as IDCANCEL) and the
// keyboard navigation of IsDialogMessageW; and the window and device queries
// that sit beside it: scrolling a client area, GetDeviceCaps, DrawStateW.

#include <algorithm>
#include <functional>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr const char* kFocusProp = "DialogFocus";   // the control that had the focus at deactivation
constexpr const char* kDefIdProp = "DialogDefId";   // DM_SETDEFID, plus one (0: none set)

bool Usable(HWND h) { return IsWindowVisible(h) && IsWindowEnabled(h); }
DWORD StyleOf(HWND h) { return DWORD(GetWindowLongPtrW(h, GWL_STYLE)); }
LRESULT CodeOf(HWND h, WPARAM vk = 0, MSG* msg = nullptr) {
  return SendMessageW(h, WM_GETDLGCODE, vk, LPARAM(msg));
}

// The dialog's controls in tab order: children front to back, descending into
// children that hold controls of their own (WS_EX_CONTROLPARENT).
void Controls(HWND parent, std::vector<HWND>& out) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetWindowLongPtrW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      if (IsWindowVisible(c) && IsWindowEnabled(c)) Controls(c, out);
    } else {
      out.push_back(c);
    }
  }
}

// The dialog a control belongs to for navigation: its nearest ancestor that is
// not a control parent, or the root.
HWND DialogOf(HWND ctl) {
  HWND p = GetParent(ctl);
  while (p && (GetWindowLongPtrW(p, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && GetParent(p)) p = GetParent(p);
  return p;
}

HWND DefaultButton(HWND dlg) {
  const LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
  return HIWORD(def) == DC_HASDEFID ? GetDlgItem(dlg, LOWORD(def)) : nullptr;
}

// Focus moved to ctl: a push button takes the default look while it has the
// focus; elsewhere the dialog's default button gets it back.
void ShowDefault(HWND dlg, HWND ctl) {
  std::vector<HWND> all;
  Controls(dlg, all);
  const bool onButton = ctl && (CodeOf(ctl) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
  HWND wanted = onButton ? ctl : DefaultButton(dlg);
  for (HWND c : all) {
    const LRESULT code = CodeOf(c);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
    const bool isDefault = code & DLGC_DEFPUSHBUTTON;
    if (c == wanted && !isDefault) SendMessageW(c, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    else if (c != wanted && isDefault) SendMessageW(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
}

void FocusControl(HWND dlg, HWND ctl, bool selectText) {
  if (!ctl) return;
  SetFocus(ctl);
  if (selectText && (CodeOf(ctl) & DLGC_HASSETSEL)) SendMessageW(ctl, EM_SETSEL, 0, -1);
  ShowDefault(dlg, ctl);
}

// Enter: the focused push button, else the default one, else IDOK.
void PressDefault(HWND dlg, HWND focus) {
  int id = IDOK;
  HWND button = nullptr;
  if (focus && (CodeOf(focus) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
    button = focus;
    id = GetDlgCtrlID(focus);
  } else {
    const LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
    button = GetDlgItem(dlg, id);
  }
  if (button && !IsWindowEnabled(button)) {
    MessageBeep(0);
    return;
  }
  SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
}

}  // namespace

}  // namespace win

using namespace win;

// ---- Dialog procedure ----

LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dlg, DWLP_DLGPROC))) {
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
    if (const LONG_PTR r = proc(dlg, msg, wParam, lParam)) {
      // These answers are the procedure's own return value; all others come through DWLP_MSGRESULT.
      switch (msg) {
        case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG: case WM_CTLCOLORSTATIC: case WM_CTLCOLORSCROLLBAR: case WM_VKEYTOITEM:
        case WM_CHARTOITEM: case WM_COMPAREITEM:
          return r;
      }
      return GetWindowLongPtrW(dlg, DWLP_MSGRESULT);
    }
    if (!IsWindow(dlg)) return 0;
  }
  switch (msg) {
    case DM_GETDEFID: {
      if (const auto id = reinterpret_cast<uintptr_t>(GetPropW(dlg, kDefIdProp)))
        return MAKELRESULT(int(id - 1), DC_HASDEFID);
      std::vector<HWND> all;
      Controls(dlg, all);
      for (HWND c : all)
        if (CodeOf(c) & DLGC_DEFPUSHBUTTON) return MAKELRESULT(GetDlgCtrlID(c), DC_HASDEFID);
      return 0;
    }
    case DM_SETDEFID:
      SetPropW(dlg, kDefIdProp, reinterpret_cast<HANDLE>(uintptr_t(WORD(wParam)) + 1));
      ShowDefault(dlg, GetFocus());
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(dlg, GetFocus(), wParam ? TRUE : FALSE);
      FocusControl(dlg, target, true);
      return 0;
    }
    case WM_ACTIVATE:
      // Deactivation keeps the focused control; activation gives it back.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(dlg, f)) SetPropW(dlg, kFocusProp, f);
      } else {
        HWND f = static_cast<HWND>(GetPropW(dlg, kFocusProp));
        if (!f || !IsWindow(f) || !IsChild(dlg, f)) f = GetNextDlgTabItem(dlg, nullptr, FALSE);
        if (f) FocusControl(dlg, f, false);
      }
      return 0;
    case WM_SETFOCUS: {
      HWND f = GetNextDlgTabItem(dlg, nullptr, FALSE);
      if (f) FocusControl(dlg, f, true);
      return 0;
    }
    case WM_CLOSE:
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), LPARAM(GetDlgItem(dlg, IDCANCEL)));
      return 0;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT r;
      GetClientRect(dlg, &r);
      auto b = reinterpret_cast<HBRUSH>(SendMessageW(dlg, WM_CTLCOLORDLG, wParam, LPARAM(dlg)));
      FillRect(dc, &r, b ? b : GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_NCDESTROY:
      RemovePropW(dlg, kFocusProp);
      RemovePropW(dlg, kDefIdProp);
      break;
  }
  return DefWindowProcW(dlg, msg, wParam, lParam);
}

// ---- Navigation ----

HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
  std::vector<HWND> all;
  Controls(dlg, all);
  const int n = int(all.size());
  if (!n) return nullptr;
  int at = ctl ? int(std::find(all.begin(), all.end(), ctl) - all.begin()) : n;
  if (at == n) at = previous ? 0 : n - 1;  // no control yet: start from the ends
  for (int k = 1; k <= n; ++k) {
    const int i = ((previous ? at - k : at + k) % n + n) % n;
    if ((StyleOf(all[size_t(i)]) & WS_TABSTOP) && Usable(all[size_t(i)])) return all[size_t(i)];
  }
  return ctl;
}

HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
  if (!ctl) return GetNextDlgTabItem(dlg, nullptr, previous);
  HWND parent = GetParent(ctl);
  std::vector<HWND> sibs;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) sibs.push_back(c);
  const int at = int(std::find(sibs.begin(), sibs.end(), ctl) - sibs.begin());
  if (at == int(sibs.size())) return nullptr;
  // The group: from the last WS_GROUP at or before ctl up to the next WS_GROUP.
  int first = at;
  while (first > 0 && !(StyleOf(sibs[size_t(first)]) & WS_GROUP)) --first;
  int last = at;
  while (last + 1 < int(sibs.size()) && !(StyleOf(sibs[size_t(last + 1)]) & WS_GROUP)) ++last;
  const int n = last - first + 1;
  for (int k = 1; k < n; ++k) {
    const int i = first + (((at - first) + (previous ? -k : k)) % n + n) % n;
    if (Usable(sibs[size_t(i)])) return sibs[size_t(i)];
  }
  return ctl;
}

BOOL IsDialogMessageW(HWND dlg, MSG* msg) {
  if (!msg || !dlg || !IsWindow(dlg)) return FALSE;
  if (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    const int vk = int(msg->wParam);
    const LRESULT code = msg->hwnd ? CodeOf(msg->hwnd, msg->wParam, msg) : 0;
    if (!(code & DLGC_WANTALLKEYS)) {
      HWND focus = GetFocus();
      HWND owner = focus && IsChild(dlg, focus) ? DialogOf(focus) : dlg;
      if (!owner || (owner != dlg && !IsChild(dlg, owner))) owner = dlg;
      switch (vk) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          FocusControl(dlg, GetNextDlgTabItem(dlg, focus && IsChild(dlg, focus) ? focus : nullptr,
                                              (GetKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE),
                       true);
          return TRUE;
        case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: {
          if (code & DLGC_WANTARROWS) break;
          if (!focus || !IsChild(dlg, focus)) return TRUE;
          HWND next = GetNextDlgGroupItem(owner, focus, vk == VK_LEFT || vk == VK_UP);
          if (next && next != focus) {
            FocusControl(dlg, next, false);
            // Arrowing onto an automatic radio button checks it.
            if ((CodeOf(next) & DLGC_RADIOBUTTON) && (StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
              SendMessageW(next, BM_CLICK, 0, 0);
          }
          return TRUE;
        }
        case VK_RETURN:
          PressDefault(dlg, focus && IsChild(dlg, focus) ? focus : nullptr);
          return TRUE;
        case VK_ESCAPE: {
          HWND cancel = GetDlgItem(dlg, IDCANCEL);
          if (cancel && !IsWindowEnabled(cancel)) return TRUE;
          SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), LPARAM(cancel));
          return TRUE;
        }
      }
    }
  } else if (msg->message == WM_CHAR) {
    // Tab, Enter and Escape also arrive as characters: only a control that wants the key sees them.
    const int ch = int(msg->wParam);
    if (ch == '\t' || ch == '\r' || ch == 27) {
      const LRESULT code = msg->hwnd ? CodeOf(msg->hwnd, msg->wParam, msg) : 0;
      if (!(code & DLGC_WANTALLKEYS) && !(ch == '\t' && (code & DLGC_WANTTAB))) return TRUE;
    }
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

HWND GetDlgItem(HWND dlg, int id) {
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetDlgCtrlID(c) == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND wnd) { return int(GetWindowLongPtrW(wnd, GWLP_ID)); }

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND c = GetDlgItem(dlg, id);
  return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

// ---- Scrolling ----

BOOL ScrollWindow(HWND wnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
  return ScrollWindowEx(wnd, dx, dy, scroll, clip, nullptr, nullptr,
                        SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN)) != ERROR;
}

int ScrollWindowEx(HWND wnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags) {
  Window* w = Get(wnd);
  if (!w) return ERROR;
  RECT client;
  GetClientRect(wnd, &client);
  RECT area = scroll ? *scroll : client;
  IntersectRect(&area, &area, &client);
  RECT limit = clip ? *clip : client;
  IntersectRect(&limit, &limit, &client);
  // The pixels that stay visible: the area moved, inside the clip.
  RECT moved = area;
  OffsetRect(&moved, dx, dy);
  RECT dest;
  IntersectRect(&dest, &moved, &limit);
  IntersectRect(&dest, &dest, &area);
  if (!IsRectEmpty(&dest) && IsWindowVisible(wnd)) {
    HDC dc = GetDC(wnd);
    const int width = dest.right - dest.left, height = dest.bottom - dest.top;
    // Through a copy: source and destination overlap.
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, dc, dest.left - dx, dest.top - dy, SRCCOPY);
    BitBlt(dc, dest.left, dest.top, width, height, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(wnd, dc);
  }
  // What needs painting: the area inside the clip that no moved pixel covers, plus
  // pending updates that moved with their pixels.
  HRGN uncovered = CreateRectRgn(area.left, area.top, area.right, area.bottom);
  HRGN limitRgn = CreateRectRgn(limit.left, limit.top, limit.right, limit.bottom);
  CombineRgn(uncovered, uncovered, limitRgn, RGN_AND);
  HRGN destRgn = CreateRectRgn(dest.left, dest.top, dest.right, dest.bottom);
  CombineRgn(uncovered, uncovered, destRgn, RGN_DIFF);
  if (w->update) {
    HRGN pending = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(pending, w->update, nullptr, RGN_COPY);
    HRGN areaRgn = CreateRectRgn(area.left, area.top, area.right, area.bottom);
    CombineRgn(pending, pending, areaRgn, RGN_AND);
    OffsetRgn(pending, dx, dy);
    CombineRgn(pending, pending, limitRgn, RGN_AND);
    CombineRgn(uncovered, uncovered, pending, RGN_OR);
    DeleteObject(areaRgn);
    DeleteObject(pending);
  }
  if (flags & SW_SCROLLCHILDREN) {
    for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      RECT r;
      GetWindowRect(c, &r);
      POINT tl{r.left, r.top};
      ScreenToClient(wnd, &tl);
      RECT inArea{tl.x, tl.y, tl.x + (r.right - r.left), tl.y + (r.bottom - r.top)};
      RECT meet;
      if (!scroll || IntersectRect(&meet, &inArea, &area))
        SetWindowPos(c, nullptr, tl.x + dx, tl.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
  }
  if (update) CombineRgn(update, uncovered, nullptr, RGN_COPY);
  RECT box{};
  const int kind = GetRgnBox(uncovered, &box);
  if (updateRect) *updateRect = box;
  if (flags & (SW_INVALIDATE | SW_ERASE))
    InvalidateRgn(wnd, uncovered, (flags & SW_ERASE) ? TRUE : FALSE);
  if (flags & SW_SCROLLCHILDREN) {
    // Children moved without drawing: their new places are painted afresh.
    for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
  DeleteObject(destRgn);
  DeleteObject(limitRgn);
  DeleteObject(uncovered);
  return kind;
}

BOOL AnimateWindow(HWND wnd, DWORD, DWORD flags) {
  if (!IsWindow(wnd)) return FALSE;
  const bool visible = IsWindowVisible(wnd);
  if (flags & AW_HIDE) {
    if (!visible) return FALSE;
    ShowWindow(wnd, SW_HIDE);
  } else {
    if (visible) return FALSE;
    ShowWindow(wnd, (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
  }
  return TRUE;
}

// ---- Device queries ----

int GetDeviceCaps(HDC, int index) {
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  switch (index) {
    case HORZRES: case DESKTOPHORZRES: return screen.right;
    case VERTRES: case DESKTOPVERTRES: return screen.bottom;
    case HORZSIZE: return screen.right * 254 / 960;  // millimetres at 96 dots per inch
    case VERTSIZE: return screen.bottom * 254 / 960;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case SIZEPALETTE: return 0;
    case COLORRES: return 24;
    case LOGPIXELSX: case LOGPIXELSY: return 96;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP;
  }
  return 0;
}

// ---- DrawStateW ----

namespace {

// Draws the content into a mask: every pixel the content sets becomes opaque.
void DrawContent(HDC dc, UINT kind, DRAWSTATEPROC proc, LPARAM data, WPARAM wData, int w, int h, UINT flags) {
  RECT r{0, 0, w, h};
  switch (kind) {
    case DST_TEXT: case DST_PREFIXTEXT: {
      const char* text = reinterpret_cast<const char*>(data);
      UINT fmt = DT_SINGLELINE | DT_LEFT | DT_TOP;
      if (kind == DST_TEXT) fmt |= DT_NOPREFIX;
      if (flags & DSS_HIDEPREFIX) fmt |= DT_HIDEPREFIX;
      if (flags & DSS_PREFIXONLY) fmt |= DT_PREFIXONLY;
      if (flags & DSS_RIGHT) fmt = (fmt & ~DT_LEFT) | DT_RIGHT;
      SetBkMode(dc, TRANSPARENT);
      DrawText(dc, text ? text : "", wData ? int(wData) : -1, &r, fmt);
      break;
    }
    case DST_ICON:
      DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(data), w, h, 0, nullptr, DI_NORMAL);
      break;
    case DST_BITMAP: {
      HDC src = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(src, reinterpret_cast<HBITMAP>(data));
      BitBlt(dc, 0, 0, w, h, src, 0, 0, SRCCOPY);
      SelectObject(src, old);
      DeleteDC(src);
      break;
    }
    default:
      if (proc) proc(dc, data, wData, w, h);
      break;
  }
}

SIZE ContentSize(HDC dc, UINT kind, LPARAM data, WPARAM wData) {
  SIZE s{};
  if (kind == DST_TEXT || kind == DST_PREFIXTEXT) {
    RECT r{};
    const char* text = reinterpret_cast<const char*>(data);
    DrawText(dc, text ? text : "", wData ? int(wData) : -1, &r,
             DT_SINGLELINE | DT_CALCRECT | (kind == DST_TEXT ? DT_NOPREFIX : 0));
    s = SIZE{r.right, r.bottom};
  } else if (kind == DST_ICON) {
    ICONINFO ii;
    if (GetIconInfo(reinterpret_cast<HICON>(data), &ii)) {
      BITMAP bm{};
      GetObject(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof(bm), &bm);
      s = SIZE{bm.bmWidth, ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
  } else if (kind == DST_BITMAP) {
    BITMAP bm{};
    if (GetObject(reinterpret_cast<HBITMAP>(data), sizeof(bm), &bm)) s = SIZE{bm.bmWidth, bm.bmHeight};
  }
  return s;
}

// Paints colour through the shape that the content left in a white-on-black stencil.
void PaintShape(HDC dc, HDC stencil, int x, int y, int w, int h, COLORREF color, bool dither) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      if (dither && ((i + j) & 1)) continue;
      if (GetPixel(stencil, i, j) != RGB(0, 0, 0)) SetPixelV(dc, x + i, y + j, color);
    }
}

}  // namespace

BOOL DrawStateW(HDC dc, HBRUSH brush, DRAWSTATEPROC proc, LPARAM data, WPARAM wData, int x, int y, int cx, int cy,
                UINT flags) {
  const UINT kind = flags & 0x000F;
  const UINT look = flags & 0x01F0;
  if (!cx || !cy) {
    const SIZE s = ContentSize(dc, kind, data, wData);
    if (!cx) cx = s.cx;
    if (!cy) cy = s.cy;
  }
  if (cx <= 0 || cy <= 0) return kind == DST_COMPLEX && proc ? proc(dc, data, wData, cx, cy) : FALSE;
  if (look == DSS_NORMAL && kind != DST_TEXT && kind != DST_PREFIXTEXT) {
    // Plain pictures and callbacks draw straight into the DC.
    const int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    DrawContent(dc, kind, proc, data, wData, cx, cy, flags);
    RestoreDC(dc, saved);
    return TRUE;
  }
  if (look == DSS_NORMAL) {
    RECT r{x, y, x + cx, y + cy};
    const char* text = reinterpret_cast<const char*>(data);
    const int mode = SetBkMode(dc, TRANSPARENT);
    DrawText(dc, text ? text : "", wData ? int(wData) : -1, &r,
             DT_SINGLELINE | (kind == DST_TEXT ? DT_NOPREFIX : 0) | ((flags & DSS_RIGHT) ? DT_RIGHT : 0));
    SetBkMode(dc, mode);
    return TRUE;
  }
  // Every other look draws the content's shape: text and pictures alike.
  HDC stencil = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, cx, cy);
  HGDIOBJ oldBmp = SelectObject(stencil, bmp);
  RECT all{0, 0, cx, cy};
  FillRect(stencil, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ oldFont = SelectObject(stencil, GetCurrentObject(dc, OBJ_FONT));
  SetTextColor(stencil, RGB(255, 255, 255));
  DrawContent(stencil, kind, proc, data, wData, cx, cy, flags);
  SelectObject(stencil, oldFont);
  if (look & DSS_DISABLED) {
    PaintShape(dc, stencil, x + 1, y + 1, cx, cy, GetSysColor(COLOR_BTNHIGHLIGHT), false);
    PaintShape(dc, stencil, x, y, cx, cy, GetSysColor(COLOR_BTNSHADOW), false);
  } else {
    LOGBRUSH lb{};
    if (!brush || !GetObject(brush, sizeof(lb), &lb)) lb.lbColor = GetTextColor(dc);
    PaintShape(dc, stencil, x, y, cx, cy, (look & DSS_MONO) ? lb.lbColor : GetTextColor(dc), (look & DSS_UNION) != 0);
  }
  SelectObject(stencil, oldBmp);
  DeleteObject(bmp);
  DeleteDC(stencil);
  return TRUE;
}

namespace win {

void RegisterDialogClass() {
  WNDCLASSEXW wc;
  wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_GLOBALCLASS;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.lpfnWndProc = &DefDlgProcW;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = "#32770";
  RegisterClassAtom(&wc, 0x8002);
}

}  // namespace win
