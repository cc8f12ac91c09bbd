// The "STATIC" class: labels, frames, rectangles, etched lines, pictures.

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

class Static : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_NCHITTEST:
        // Labels let the mouse through to their parent unless asked to report clicks.
        if (!(Style() & SS_NOTIFY)) return HTTRANSPARENT;
        break;
      case WM_LBUTTONDOWN:
        if (Style() & SS_NOTIFY) Command(STN_CLICKED);
        return 0;
      case WM_LBUTTONDBLCLK:
        if (Style() & SS_NOTIFY) Command(STN_DBLCLK);
        return 0;
      case WM_GETDLGCODE: return DLGC_STATIC;
      case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
        Redraw();
        return r;
      }
      case STM_SETIMAGE: case STM_SETICON: {
        HANDLE old = image_;
        image_ = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wp : WPARAM(lp));
        if (msg == STM_SETIMAGE) imageType_ = UINT(wp);
        else imageType_ = IMAGE_ICON;
        Redraw();
        return LRESULT(old);
      }
      case STM_GETIMAGE: return UINT(wp) == imageType_ ? LRESULT(image_) : 0;
      case STM_GETICON: return imageType_ == IMAGE_ICON ? LRESULT(image_) : 0;
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT r = Client();
    const DWORD type = Style() & SS_TYPEMASK;
    switch (type) {
      case SS_BLACKRECT: case SS_GRAYRECT: case SS_WHITERECT:
        FillSys(dc, r, type == SS_BLACKRECT ? COLOR_WINDOWFRAME : type == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_WINDOW);
        return;
      case SS_BLACKFRAME: case SS_GRAYFRAME: case SS_WHITEFRAME:
        FrameRect(dc, &r, GetSysColorBrush(type == SS_BLACKFRAME ? COLOR_WINDOWFRAME
                                           : type == SS_GRAYFRAME ? COLOR_BTNSHADOW : COLOR_WINDOW));
        return;
      case SS_ETCHEDHORZ: case SS_ETCHEDVERT: case SS_ETCHEDFRAME: {
        RECT e = r;
        if (type == SS_ETCHEDHORZ) e.bottom = e.top + 2;
        if (type == SS_ETCHEDVERT) e.right = e.left + 2;
        DrawEdge3d(dc, e, false, true);
        RECT in = e;
        InflateRect(&in, -1, -1);
        if (type == SS_ETCHEDFRAME) DrawEdge3d(dc, in, true, true);
        return;
      }
      case SS_OWNERDRAW: {
        DrawItem(ODT_STATIC, 0, 0, dc, r);
        return;
      }
    }
    FillRect(dc, &r, ParentBrush(dc, WM_CTLCOLORSTATIC));
    if (type == SS_ICON || type == SS_BITMAP) {
      PaintImage(dc, r);
      return;
    }
    const DWORD s = Style();
    UINT f = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) f |= DT_SINGLELINE;
    else f |= DT_WORDBREAK;
    if (s & SS_CENTERIMAGE) f |= DT_SINGLELINE | DT_VCENTER;
    if (s & SS_NOPREFIX) f |= DT_NOPREFIX;
    const DWORD ell = s & SS_ELLIPSISMASK;
    if (ell == SS_ENDELLIPSIS) f |= DT_END_ELLIPSIS;
    else if (ell == SS_PATHELLIPSIS) f |= DT_PATH_ELLIPSIS;
    else if (ell == SS_WORDELLIPSIS) f |= DT_WORD_ELLIPSIS;
    DrawLabel(dc, Font(), Text(), r, f, Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT));
  }

 private:
  void PaintImage(HDC dc, const RECT& r) {
    if (!image_) return;
    if (imageType_ == IMAGE_ICON || imageType_ == IMAGE_CURSOR) {
      DrawIconEx(dc, r.left, r.top, reinterpret_cast<HICON>(image_), 0, 0, 0, nullptr, DI_NORMAL);
      return;
    }
    BITMAP bm;
    if (!GetObject(image_, sizeof(bm), &bm)) return;
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, image_);
    int x = r.left, y = r.top;
    if (Style() & SS_CENTERIMAGE) {
      x += (r.right - r.left - bm.bmWidth) / 2;
      y += (r.bottom - r.top - bm.bmHeight) / 2;
    }
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
    SelectObject(src, old);
    DeleteDC(src);
  }

  HANDLE image_ = nullptr;
  UINT imageType_ = IMAGE_BITMAP;
};

}  // namespace

LRESULT StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Static>(wnd, msg, wp, lp); }

}  // namespace win
