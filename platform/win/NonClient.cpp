// The layer's own non-client frame (border, caption, caption buttons, client
// edge), hit testing, moving and sizing by the frame, and DefWindowProcW.

#include <algorithm>
#include <cstring>

#include "platform/win/WinInternal.h"

namespace win {

FrameMetrics MetricsFor(DWORD style, DWORD exStyle) {
  FrameMetrics m;
  if (style & WS_THICKFRAME) m.border = GetSystemMetrics(SM_CXFRAME);
  else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) m.border = GetSystemMetrics(SM_CXDLGFRAME);
  else if (style & WS_BORDER) m.border = GetSystemMetrics(SM_CXBORDER);
  if ((style & WS_CAPTION) == WS_CAPTION)
    m.caption = GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (exStyle & WS_EX_CLIENTEDGE) m.edge = GetSystemMetrics(SM_CXEDGE);
  else if (exStyle & WS_EX_STATICEDGE) m.edge = 1;
  return m;
}

RECT ClientFromWindow(DWORD style, DWORD exStyle, const RECT& wr) {
  FrameMetrics m = MetricsFor(style, exStyle);
  RECT c{wr.left + m.border + m.edge, wr.top + m.border + m.caption + m.edge, wr.right - m.border - m.edge,
         wr.bottom - m.border - m.edge};
  c.right = std::max(c.left, c.right);
  c.bottom = std::max(c.top, c.bottom);
  return c;
}

RECT CaptionButtonRect(Window* w, LRESULT code) {
  FrameMetrics m = MetricsFor(w->style, w->exStyle);
  if (!m.caption || !(w->style & WS_SYSMENU)) return RECT{};
  const bool tool = w->exStyle & WS_EX_TOOLWINDOW;
  const int width = w->rect.right - w->rect.left;
  const int bh = m.caption - 4;
  const int bw = tool ? bh : bh + 2;
  const int top = m.border + 1;
  RECT close{width - m.border - 2 - bw, top, width - m.border - 2, top + bh};
  if (code == HTCLOSE) return close;
  if (code == HTSYSMENU) return tool ? RECT{} : RECT{m.border + 2, top, m.border + 2 + bh, top + bh};
  const bool boxes = !tool && (w->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  if (!boxes) return RECT{};
  RECT max{close.left - 2 - bw, top, close.left - 2, top + bh};
  if (code == HTMAXBUTTON) return max;
  if (code == HTMINBUTTON) return RECT{max.left - bw, top, max.left, top + bh};
  return RECT{};
}

LRESULT HitTest(Window* w, POINT screen) {
  RECT wr;
  GetWindowRect(w->handle, &wr);
  if (!PtInRect(&wr, screen)) return HTNOWHERE;
  if (w->style & WS_MINIMIZE) return HTCAPTION;
  POINT p{screen.x - wr.left, screen.y - wr.top};
  if (PtInRect(&w->client, p)) return HTCLIENT;
  for (int bar : {SB_VERT, SB_HORZ}) {
    RECT b = NcScrollBarRect(w, bar);
    if (PtInRect(&b, p)) return bar == SB_VERT ? HTVSCROLL : HTHSCROLL;
  }
  FrameMetrics m = MetricsFor(w->style, w->exStyle);
  const int width = wr.right - wr.left, height = wr.bottom - wr.top;
  const bool left = p.x < m.border, right = p.x >= width - m.border;
  const bool top = p.y < m.border, bottom = p.y >= height - m.border;
  if (left || right || top || bottom) {
    if (!(w->style & WS_THICKFRAME)) return HTBORDER;
    const int corner = GetSystemMetrics(SM_CYCAPTION) + m.border;
    const bool nearLeft = p.x < corner, nearRight = p.x >= width - corner;
    const bool nearTop = p.y < corner, nearBottom = p.y >= height - corner;
    if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    return left ? HTLEFT : HTRIGHT;
  }
  if (MenuBarContains(w, p)) return HTMENU;
  if (m.caption && p.y < m.border + m.caption) {
    for (LRESULT code : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON, HTSYSMENU}) {
      RECT b = CaptionButtonRect(w, code);
      if (PtInRect(&b, p)) return code;
    }
    return HTCAPTION;
  }
  return HTBORDER;  // the client edge
}

namespace {

HFONT CaptionFont() {
  static HFONT font = CreateFont(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
  return font;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

void DrawButton(HDC dc, Window* w, LRESULT code) {
  RECT r = CaptionButtonRect(w, code);
  if (IsRectEmpty(&r)) return;
  const bool pressed = S().pressedButtonWnd == w->handle && S().pressedButton == code;
  if (code == HTSYSMENU) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    return;
  }
  DrawCaptionButtonFace(dc, r, code, false, pressed, true);
}

}  // namespace

void DrawCaptionButtonFace(HDC dc, const RECT& r, LRESULT code, bool restore, bool pressed, bool enabled) {
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  FrameRect(dc, &r, GetSysColorBrush(pressed ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW));
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const int d = std::max(2, int(r.bottom - r.top) / 4);
  if (code == HTCLOSE) {
    Line(dc, cx - d, cy - d, cx + d + 1, cy + d + 1);
    Line(dc, cx + d, cy - d, cx - d - 1, cy + d + 1);
  } else if (code == HTMAXBUTTON && restore) {
    // Two boxes, the back one up and right.
    RECT back{cx - d + 2, cy - d - 1, cx + d + 2, cy + d - 1};
    RECT front{cx - d - 1, cy - d + 2, cx + d - 1, cy + d + 2};
    Line(dc, back.left, back.top, back.right, back.top);
    Line(dc, back.right - 1, back.top, back.right - 1, back.bottom);
    FillRect(dc, &front, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &front, GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  } else if (code == HTMAXBUTTON) {
    RECT b{cx - d, cy - d, cx + d + 1, cy + d + 1};
    FrameRect(dc, &b, GetSysColorBrush(COLOR_BTNTEXT));
    Line(dc, b.left, b.top + 1, b.right, b.top + 1);
  } else {
    Line(dc, cx - d, cy + d, cx + d + 1, cy + d);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

namespace {
}  // namespace

void PaintFrame(Window* w) {
  const RECT whole = WindowRectOf(w);
  if (EqualRect(&whole, &w->client)) return;
  HDC dc = GetWindowDC(w->handle);
  PaintFrameInto(w, dc);
  ReleaseDC(w->handle, dc);
}

void PaintFrameInto(Window* w, HDC dc) {
  const RECT whole = WindowRectOf(w);
  if (EqualRect(&whole, &w->client)) return;
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, w->client.left, w->client.top, w->client.right, w->client.bottom);
  FrameMetrics m = MetricsFor(w->style, w->exStyle);
  const bool active = w->ncActive;
  RECT r = whole;
  if (m.border > 0) {
    FillRect(dc, &r, GetSysColorBrush(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER));
    FrameRect(dc, &r, GetSysColorBrush(m.border == 1 ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
    InflateRect(&r, -m.border, -m.border);
  }
  if (m.caption) {
    RECT cap{r.left, r.top, r.right, r.top + m.caption - 1};
    FillRect(dc, &cap, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    RECT line{r.left, cap.bottom, r.right, cap.bottom + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
    RECT text = cap;
    text.left += 4;
    RECT icon = CaptionButtonRect(w, HTSYSMENU);
    if (!IsRectEmpty(&icon)) text.left = icon.right + 4;
    for (LRESULT code : {HTMINBUTTON, HTMAXBUTTON, HTCLOSE}) {
      RECT b = CaptionButtonRect(w, code);
      if (!IsRectEmpty(&b)) {
        text.right = std::min(text.right, b.left - 2);
        break;
      }
    }
    HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    DrawText(dc, w->text.c_str(), int(w->text.size()), &text,
             DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    for (LRESULT code : {HTSYSMENU, HTMINBUTTON, HTMAXBUTTON, HTCLOSE}) DrawButton(dc, w, code);
    r.top += m.caption;
  }
  r.top += PaintMenuBar(w, dc);
  PaintNcScrollBars(w, dc);
  if (m.edge > 0) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    if (m.edge > 1) {
      InflateRect(&r, -1, -1);
      FrameRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
    }
  }
  RestoreDC(dc, saved);
}

namespace {

// Ends the drag of the window being moved or sized; restore puts it back where it started.
void EndTracking(bool restore) {
  State& s = S();
  const Tracking t = s.tracking;
  s.tracking = Tracking{};
  if (!IsWindow(t.wnd)) return;
  if (restore)
    SetWindowPos(t.wnd, nullptr, t.startRect.left, t.startRect.top, t.startRect.right - t.startRect.left,
                 t.startRect.bottom - t.startRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (GetCapture() == t.wnd) ReleaseCapture();
  if (Window* w = Get(t.wnd)) Send(w, WM_EXITSIZEMOVE, 0, 0);
}

bool MouseMessage(UINT m) {
  return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK);
}

}  // namespace

void StartTracking(Window* w, WPARAM edge, POINT screen) {
  State& s = S();
  const HWND wnd = w->handle;
  s.tracking = Tracking{wnd, edge, screen, w->rect};
  SetCapture(wnd);
  if (!(w = Get(wnd)) || s.tracking.wnd != wnd) return;
  Send(w, WM_ENTERSIZEMOVE, 0, 0);
  // The button may have gone up before the press was dispatched: the drag then
  // ends at once where the mouse is now.
  if (!(s.keys[VK_LBUTTON] & 0x80) && s.tracking.wnd == wnd) TrackMouse(s.cursor, true);
  // Modal until the drag ends: the mouse reaches the drag as the backend reports it
  // (TrackMouse); keys end it (Escape puts the window back); everything else is served.
  while (s.tracking.wnd == wnd) {
    if (GetCapture() != wnd) {
      EndTracking(false);
      break;
    }
    MSG m;
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (s.tracking.wnd == wnd) WaitMessage();  // the look may have ended the drag
      continue;
    }
    if (m.message == WM_QUIT) {
      PostQuitMessage(int(m.wParam));
      EndTracking(false);
      break;
    }
    if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) {
      if (m.wParam == WPARAM(VK_ESCAPE)) EndTracking(true);
      else if (m.wParam == WPARAM(VK_RETURN)) EndTracking(false);
      continue;
    }
    if (m.message == WM_CHAR || m.message == WM_KEYUP || m.message == WM_SYSKEYUP || MouseMessage(m.message)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

bool TrackMouse(POINT screen, bool buttonUp) {
  State& s = S();
  if (s.pressedButtonWnd) {
    if (!buttonUp) return true;
    HWND h = s.pressedButtonWnd;
    const LRESULT code = s.pressedButton;
    s.pressedButtonWnd = nullptr;
    Window* w = Get(h);
    if (!w) return true;
    if (Visible(w)) PaintFrame(w);
    if (HitTest(w, screen) == code) {
      const WPARAM cmd = code == HTCLOSE ? SC_CLOSE : code == HTMINBUTTON ? SC_MINIMIZE
                         : (w->style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
      Send(w, WM_SYSCOMMAND, cmd, PointToLParam(screen));
    }
    return true;
  }
  Tracking t = s.tracking;
  Window* w = Get(t.wnd);
  if (!w) {
    s.tracking = Tracking{};
    return false;
  }
  const int dx = screen.x - t.start.x, dy = screen.y - t.start.y;
  RECT r = t.startRect;
  if (t.edge == 0) {
    OffsetRect(&r, dx, dy);
  } else {
    const WPARAM e = t.edge;
    if (e == WMSZ_LEFT || e == WMSZ_TOPLEFT || e == WMSZ_BOTTOMLEFT) r.left += dx;
    if (e == WMSZ_RIGHT || e == WMSZ_TOPRIGHT || e == WMSZ_BOTTOMRIGHT) r.right += dx;
    if (e == WMSZ_TOP || e == WMSZ_TOPLEFT || e == WMSZ_TOPRIGHT) r.top += dy;
    if (e == WMSZ_BOTTOM || e == WMSZ_BOTTOMLEFT || e == WMSZ_BOTTOMRIGHT) r.bottom += dy;
  }
  Send(w, t.edge == 0 ? WM_MOVING : WM_SIZING, t.edge, LPARAM(&r));
  if ((w = Get(t.wnd))) {
    SetWindowPos(t.wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (t.edge == 0 ? SWP_NOSIZE : 0));
  }
  if (buttonUp && s.tracking.wnd == t.wnd) EndTracking(false);
  return true;
}

}  // namespace win

using namespace win;

LRESULT DefWindowProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Get(wnd);
  if (!w) return 0;
  State& s = S();
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      if (cs && cs->lpszName) w->text = cs->lpszName;
      return TRUE;
    }
    case WM_NCCALCSIZE: {
      RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      const int width = r->right - r->left;
      *r = ClientFromWindow(w->style, w->exStyle, *r);
      r->top = std::min(r->bottom, r->top + MenuBarHeight(w, width));
      AdjustClientForScrollBars(w, r);
      return 0;
    }
    case WM_NCHITTEST: return HitTest(w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
      if (Visible(w)) PaintFrame(w);
      return 0;
    case WM_NCACTIVATE:
      w->ncActive = wParam != 0;
      if (Visible(w)) PaintFrame(w);
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam) && s.focus != wnd && !IsChild(wnd, s.focus))
        SetFocus(wnd);
      return 0;
    case WM_MOUSEACTIVATE:
      if (w->parent) {
        LRESULT r = SendMessageW(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_SETCURSOR: {
      if (w->parent && SendMessageW(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (!(w = Get(wnd))) return FALSE;
      const short hit = short(LOWORD(lParam));
      const char* shape = IDC_ARROW;
      switch (hit) {
        case HTLEFT: case HTRIGHT: shape = IDC_SIZEWE; break;
        case HTTOP: case HTBOTTOM: shape = IDC_SIZENS; break;
        case HTTOPLEFT: case HTBOTTOMRIGHT: shape = IDC_SIZENWSE; break;
        case HTTOPRIGHT: case HTBOTTOMLEFT: shape = IDC_SIZENESW; break;
        case HTCLIENT:
          // Only the window the mouse is over chooses; a parent asked on a child's behalf stays out.
          if (HWND(wParam) != wnd) return FALSE;
          if (w->cls->wc.hCursor) {
            SetCursor(w->cls->wc.hCursor);
            return TRUE;
          }
          break;
        case HTERROR: return FALSE;
      }
      if (HWND(wParam) == wnd) SetCursor(LoadCursorW(nullptr, shape));
      return FALSE;
    }
    case WM_CONTEXTMENU:
      if (w->parent) SendMessageW(w->parent, WM_CONTEXTMENU, wParam, lParam);
      return 0;
    case WM_RBUTTONUP: {
      // A right click asks for the context menu, at the screen point.
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(wnd, &p);
      Send(w, WM_CONTEXTMENU, WPARAM(wnd), PointToLParam(p));
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = w->cls->wc.hbrBackground;
      if (!brush) return 0;
      uintptr_t v = reinterpret_cast<uintptr_t>(brush);
      if (v <= 64) brush = GetSysColorBrush(int(v) - 1);
      RECT cr = ClientRectOf(w);
      FillRect(reinterpret_cast<HDC>(wParam), &cr, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      return 0;
    case WM_PRINT: {
      // Draws the window into a caller's DC (origin at the window's corner): frame, background, client, children.
      HDC dc = reinterpret_cast<HDC>(wParam);
      const LPARAM flags = lParam;
      if ((flags & PRF_CHECKVISIBLE) && !Visible(w)) return 0;
      if (flags & PRF_NONCLIENT) PaintFrameInto(w, dc);
      if (flags & (PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN)) {
        POINT old;
        OffsetViewportOrgEx(dc, w->client.left, w->client.top, &old);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, 0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top);
        if (flags & PRF_ERASEBKGND) Send(w, WM_ERASEBKGND, wParam, 0);
        if ((flags & PRF_CLIENT) && (w = Get(wnd))) Send(w, WM_PRINTCLIENT, wParam, flags);
        if ((flags & PRF_CHILDREN) && (w = Get(wnd))) {
          std::vector<HWND> kids(w->children.rbegin(), w->children.rend());  // back to front
          for (HWND k : kids) {
            Window* c = Get(k);
            if (!c || !(c->style & WS_VISIBLE)) continue;
            POINT inner;
            OffsetViewportOrgEx(dc, c->rect.left, c->rect.top, &inner);
            Send(c, WM_PRINT, wParam, flags & ~PRF_CHECKVISIBLE);
            SetViewportOrgEx(dc, inner.x, inner.y, nullptr);
          }
        }
        RestoreDC(dc, saved);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
      // Only sizeable windows keep to the tracking sizes; a fixed frame takes any size it is given.
      if (!(wp->flags & SWP_NOSIZE) && IsTopLevel(w) && (w->style & WS_THICKFRAME) &&
          !(w->style & (WS_MINIMIZE | WS_MAXIMIZE))) {
        const MINMAXINFO mmi = AskMinMaxInfo(w);
        wp->cx = std::clamp(wp->cx, int(mmi.ptMinTrackSize.x), std::max(int(mmi.ptMinTrackSize.x), int(mmi.ptMaxTrackSize.x)));
        wp->cy = std::clamp(wp->cy, int(mmi.ptMinTrackSize.y), std::max(int(mmi.ptMinTrackSize.y), int(mmi.ptMaxTrackSize.y)));
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
      if (!(wp->flags & SWP_NOMOVE))
        Send(w, WM_MOVE, 0, MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
      if ((w = Get(wnd)) && (!(wp->flags & SWP_NOSIZE) || (wp->flags & SWP_FRAMECHANGED))) {
        const WPARAM kind = (w->style & WS_MINIMIZE) ? SIZE_MINIMIZED : (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                                                               : SIZE_RESTORED;
        Send(w, WM_SIZE, kind, MAKELPARAM(w->client.right - w->client.left, w->client.bottom - w->client.top));
      }
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(wnd);
      return 0;
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (Visible(w) && (w->style & WS_CAPTION) == WS_CAPTION) PaintFrame(w);
      return TRUE;
    case WM_GETTEXT: {
      char* out = reinterpret_cast<char*>(lParam);
      const int max = int(wParam);
      if (!out || max <= 0) return 0;
      const int n = std::min(int(w->text.size()), max - 1);
      memcpy(out, w->text.data(), size_t(n));
      out[n] = 0;
      return n;
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(w->text.size());
    case WM_SETREDRAW:
      if (wParam) w->style |= WS_VISIBLE;
      else w->style &= ~WS_VISIBLE;
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          if (!(w->cls->wc.style & CS_NOCLOSE)) Send(w, WM_CLOSE, 0, 0);
          return 0;
        case SC_MOVE:
        case SC_SIZE: {
          // The drag starts where the button went down, which the message carries.
          POINT at = lParam ? POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)} : s.cursor;
          StartTracking(w, (wParam & 0xFFF0) == SC_MOVE ? 0 : (wParam & 0x000F), at);
          return 0;
        }
        case SC_MOUSEMENU:
          TrackFrameMenu(w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
          return 0;
        case SC_KEYMENU:
          TrackKeyMenu(w, char32_t(lParam));
          return 0;
        case SC_MINIMIZE: ShowWindow(wnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(wnd, SW_SHOWMAXIMIZED); return 0;
        case SC_RESTORE: ShowWindow(wnd, SW_RESTORE); return 0;
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      switch (wParam) {
        case HTCAPTION:
          Send(w, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
          return 0;
        case HTLEFT: case HTRIGHT: case HTTOP: case HTTOPLEFT: case HTTOPRIGHT:
        case HTBOTTOM: case HTBOTTOMLEFT: case HTBOTTOMRIGHT:
          if (w->style & WS_THICKFRAME) Send(w, WM_SYSCOMMAND, SC_SIZE + WPARAM(wParam - HTLEFT + WMSZ_LEFT), lParam);
          return 0;
        case HTMENU: case HTSYSMENU:
          Send(w, WM_SYSCOMMAND, SC_MOUSEMENU, lParam);
          return 0;
        case HTVSCROLL: case HTHSCROLL:
          StartNcScrollTracking(w, LRESULT(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
          return 0;
        case HTCLOSE: case HTMINBUTTON: case HTMAXBUTTON:
          s.pressedButtonWnd = wnd;
          s.pressedButton = LRESULT(wParam);
          if (Visible(w)) PaintFrame(w);
          // Released before the press was dispatched: the click completes now.
          if (!(s.keys[VK_LBUTTON] & 0x80)) TrackMouse(s.cursor, true);
          return 0;
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTVSCROLL || wParam == HTHSCROLL) return DefWindowProcW(wnd, WM_NCLBUTTONDOWN, wParam, lParam);
      if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX))
        Send(w, WM_SYSCOMMAND, (w->style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == WPARAM(VK_F4)) SendMessageW(GetAncestor(wnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
      if (wParam == WPARAM(VK_F10) && !(s.keys[VK_SHIFT] & 0x80))
        SendMessageW(GetAncestor(wnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    case WM_SYSKEYUP:
      if (wParam == WPARAM(VK_MENU) && s.altTapped) {
        s.altTapped = false;
        SendMessageW(GetAncestor(wnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, 0);
      }
      return 0;
    case WM_SYSCHAR:
      if (wParam != WPARAM(VK_TAB) && wParam != WPARAM(VK_ESCAPE))
        SendMessageW(GetAncestor(wnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, LPARAM(wParam));
      return 0;
    case WM_CANCELMODE:
      if (s.capture == wnd) ReleaseCapture();
      if (s.tracking.wnd == wnd) EndTracking(false);
      return 0;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return LRESULT(reinterpret_cast<uintptr_t>(GetSysColorBrush(COLOR_BTNFACE)));
    case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
      return LRESULT(reinterpret_cast<uintptr_t>(GetSysColorBrush(COLOR_WINDOW)));
  }
  return 0;
}
