// The control classes' common ground: registration, the control object's
// defaults and notifications, and the plain default look they paint with.

#include <algorithm>

#include "platform/win/ControlsInternal.h"

namespace win {

void RegisterSystemClasses() {
  struct Entry {
    const char* name;
    WNDPROC proc;
    UINT style;
    ATOM atom;
  };
  const Entry entries[] = {
      {"SCROLLBAR", &ScrollBarWndProc, CS_DBLCLKS, 0},
      {"BUTTON", &ButtonWndProc, CS_DBLCLKS | CS_PARENTDC, 0},
      {"STATIC", &StaticWndProc, CS_PARENTDC, 0},
      {"EDIT", &EditWndProc, CS_DBLCLKS | CS_PARENTDC, 0},
      {"LISTBOX", &ListBoxWndProc, CS_DBLCLKS | CS_PARENTDC, 0},
      {"ComboLBox", &ListBoxWndProc, CS_DBLCLKS | CS_SAVEBITS, 0},
      {"COMBOBOX", &ComboBoxWndProc, CS_DBLCLKS | CS_PARENTDC | CS_VREDRAW | CS_HREDRAW, 0},
      {TRACKBAR_CLASSW, &TrackBarWndProc, CS_DBLCLKS, 0},
      {PROGRESS_CLASSW, &ProgressWndProc, CS_HREDRAW | CS_VREDRAW, 0},
      {UPDOWN_CLASSW, &UpDownWndProc, CS_DBLCLKS, 0},
      // Tab controls, status bars, tool bars and tree views.
      {WC_TABCONTROLW, &TabWndProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, 0},
      {STATUSCLASSNAMEW, &StatusBarWndProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, 0},
      {TOOLBARCLASSNAMEW, &ToolbarWndProc, CS_DBLCLKS, 0},
      {WC_TREEVIEWW, &TreeViewWndProc, CS_DBLCLKS, 0},
      // List view, its column header and tooltips.
      {WC_LISTVIEWW, &ListViewWndProc, CS_DBLCLKS, 0},
      {WC_HEADERW, &HeaderWndProc, CS_DBLCLKS, 0},
      {TOOLTIPS_CLASSW, &ToolTipWndProc, CS_SAVEBITS, 0},
  };
  for (const Entry& e : entries) {
    WNDCLASSEXW wc;
    wc.style = e.style | CS_GLOBALCLASS;
    wc.hCursor = LoadCursorW(nullptr, e.proc == &EditWndProc ? IDC_IBEAM : IDC_ARROW);
    wc.lpfnWndProc = e.proc;
    wc.lpszClassName = e.name;
    RegisterClassAtom(&wc, e.atom);
  }
  RegisterDialogClass();
  RegisterMdiClientClass();
}

// ---- Control ----

LRESULT Control::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wp);
      if (LOWORD(lp)) Redraw();
      return 0;
    case WM_GETFONT:
      return LRESULT(font_);
    case WM_PAINT: {
      // A DC in wParam: paint into it (a framework control painting its graphic children over it).
      if (wp) {
        HDC given = reinterpret_cast<HDC>(wp);
        const int saved = SaveDC(given);
        Paint(given);
        RestoreDC(given, saved);
        return 0;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        const int saved = SaveDC(dc);
        Paint(dc);
        RestoreDC(dc, saved);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(wp);
      const int saved = SaveDC(dc);
      Paint(dc);
      RestoreDC(dc, saved);
      return 0;
    }
    case WM_ENABLE:
      Redraw();
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

RECT Control::Client() const {
  RECT r;
  GetClientRect(hwnd, &r);
  return r;
}

std::string Control::Text() const {
  Window* w = Get(hwnd);
  return w ? w->text : std::string();
}

void Control::Command(WORD code) {
  if (HWND p = Parent()) SendMessageW(p, WM_COMMAND, MAKEWPARAM(Id(), code), LPARAM(hwnd));
}

LRESULT Control::Notify(UINT code, NMHDR* header) {
  NMHDR plain;
  if (!header) header = &plain;
  header->hwndFrom = hwnd;
  header->idFrom = UINT_PTR(Id());
  header->code = code;
  HWND p = Parent();
  return p ? SendMessageW(p, WM_NOTIFY, WPARAM(Id()), LPARAM(header)) : 0;
}

void Control::DrawItem(UINT type, UINT item, UINT state, HDC dc, const RECT& r, ULONG_PTR data, HWND owner) {
  if (!owner) owner = hwnd;
  DRAWITEMSTRUCT di;
  di.CtlType = type;
  di.CtlID = UINT(GetWindowLongPtrW(owner, GWLP_ID));
  di.itemID = item;
  di.itemAction = ODA_DRAWENTIRE;
  di.itemState = state | (IsWindowEnabled(owner) ? 0 : ODS_DISABLED);
  di.hwndItem = owner;
  di.hDC = dc;
  di.rcItem = r;
  di.itemData = data;
  if (HWND p = GetParent(owner)) SendMessageW(p, WM_DRAWITEM, di.CtlID, LPARAM(&di));
}

LRESULT Control::CustomDraw(DWORD stage, HDC dc, const RECT& r, ULONG_PTR item, UINT state, LPARAM itemParam) {
  NMCUSTOMDRAW cd;
  cd.dwDrawStage = stage;
  cd.hdc = dc;
  cd.rc = r;
  cd.dwItemSpec = item;
  cd.uItemState = state;
  cd.lItemlParam = itemParam;
  return Notify(NM_CUSTOMDRAW, &cd.hdr);
}

HBRUSH Control::ParentBrush(HDC dc, UINT ctlColorMsg) {
  HWND p = Parent();
  HBRUSH b = nullptr;
  SetTextColor(dc, GetSysColor(ctlColorMsg == WM_CTLCOLOREDIT || ctlColorMsg == WM_CTLCOLORLISTBOX ? COLOR_WINDOWTEXT
                                                                                                     : COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(ctlColorMsg == WM_CTLCOLOREDIT || ctlColorMsg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW
                                                                                                   : COLOR_BTNFACE));
  if (p) b = reinterpret_cast<HBRUSH>(SendMessageW(p, ctlColorMsg, WPARAM(dc), LPARAM(hwnd)));
  if (!b) b = reinterpret_cast<HBRUSH>(DefWindowProcW(hwnd, ctlColorMsg, WPARAM(dc), LPARAM(hwnd)));
  return b;
}

// ---- Drawing ----

void FillSys(HDC dc, const RECT& r, int colorIndex) { FillRect(dc, &r, GetSysColorBrush(colorIndex)); }

void FillColorOr(HDC dc, const RECT& r, COLORREF color, int colorIndex) {
  if (color == CLR_DEFAULT || color == CLR_NONE) {
    FillSys(dc, r, colorIndex);
    return;
  }
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

namespace {
void HLine(HDC dc, int x0, int x1, int y, int color) {
  RECT r{x0, y, x1, y + 1};
  FillSys(dc, r, color);
}
void VLine(HDC dc, int x, int y0, int y1, int color) {
  RECT r{x, y0, x + 1, y1};
  FillSys(dc, r, color);
}
void Bevel(HDC dc, const RECT& r, int topLeft, int bottomRight) {
  HLine(dc, r.left, r.right - 1, r.top, topLeft);
  VLine(dc, r.left, r.top, r.bottom - 1, topLeft);
  HLine(dc, r.left, r.right, r.bottom - 1, bottomRight);
  VLine(dc, r.right - 1, r.top, r.bottom, bottomRight);
}
}  // namespace

void DrawEdge3d(HDC dc, const RECT& r, bool raised, bool thin) {
  if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
  if (thin) {
    Bevel(dc, r, raised ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW, raised ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
    return;
  }
  RECT in = r;
  InflateRect(&in, -1, -1);
  if (raised) {
    Bevel(dc, r, COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    Bevel(dc, in, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
  } else {
    Bevel(dc, r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    Bevel(dc, in, COLOR_3DDKSHADOW, COLOR_3DLIGHT);
  }
}

void DrawButtonFace(HDC dc, const RECT& r, bool pressed) {
  FillSys(dc, r, COLOR_BTNFACE);
  if (pressed) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  } else {
    DrawEdge3d(dc, r, true);
  }
}

void DrawArrowGlyph(HDC dc, const RECT& r, ArrowDir dir, bool enabled) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int size = std::max(2, std::min(w, h) / 4);  // half the triangle's base
  const int cx = r.left + w / 2, cy = r.top + h / 2;
  const int color = enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
  // A triangle drawn as lines of shrinking length, so that it stays crisp at every size.
  for (int i = 0; i < size; ++i) {
    switch (dir) {
      // Line i is the i-th from the base, which lies opposite the tip.
      case ArrowDir::Up: HLine(dc, cx - size + 1 + i, cx + size - i, cy + size / 2 - i, color); break;
      case ArrowDir::Down: HLine(dc, cx - size + 1 + i, cx + size - i, cy - size / 2 + i, color); break;
      case ArrowDir::Left: VLine(dc, cx + size / 2 - i, cy - size + 1 + i, cy + size - i, color); break;
      case ArrowDir::Right: VLine(dc, cx - size / 2 + i, cy - size + 1 + i, cy + size - i, color); break;
    }
  }
}

void DrawFocusRectangle(HDC dc, const RECT& r) {
  // Dotted: every other pixel of the outline inverted, so drawing it twice removes it.
  for (int x = r.left; x < r.right; x += 2) {
    RECT a{x, r.top, x + 1, r.top + 1}, b{x, r.bottom - 1, x + 1, r.bottom};
    InvertRect(dc, &a);
    if (r.bottom - 1 > r.top) InvertRect(dc, &b);
  }
  for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
    RECT a{r.left, y, r.left + 1, y + 1}, b{r.right - 1, y, r.right, y + 1};
    InvertRect(dc, &a);
    if (r.right - 1 > r.left) InvertRect(dc, &b);
  }
}

void DrawCheckMark(HDC dc, const RECT& box, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  const int x0 = box.left + 3, y0 = box.top + (box.bottom - box.top) / 2 - 1;
  // A tick: down-right for three pixels, then up-right, three pixels thick.
  for (int i = 0; i < 7; ++i) {
    const int x = x0 + i;
    const int y = i < 3 ? y0 + i : y0 + 4 - i;
    RECT r{x, y, x + 1, y + 3};
    FillRect(dc, &r, b);
  }
  DeleteObject(b);
}

void DrawLabel(HDC dc, HFONT font, const std::string& text, RECT r, UINT format, COLORREF color) {
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawText(dc, text.c_str(), int(text.size()), &r, format);
  SelectObject(dc, old);
}

namespace {
// Measures through a scratch DC with the font selected.
template <class F>
auto WithFont(HFONT font, F f) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  auto result = f(dc);
  SelectObject(dc, old);
  DeleteDC(dc);
  return result;
}
}  // namespace

int FontHeight(HFONT font) {
  return WithFont(font, [](HDC dc) {
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    return int(tm.tmHeight);
  });
}

int TextWidth(HFONT font, const std::string& text) {
  if (text.empty()) return 0;
  return WithFont(font, [&](HDC dc) {
    SIZE sz{};
    GetTextExtentPoint32(dc, text.c_str(), int(text.size()), &sz);
    return int(sz.cx);
  });
}

}  // namespace win
