// The "BUTTON" class: push buttons, check boxes, radio buttons, group boxes
// and owner-drawn buttons.

#include <algorithm>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kBoxSize = 13;  // check box and radio button glyphs

class Button : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_GETDLGCODE: {
        switch (Type()) {
          case BS_DEFPUSHBUTTON: case BS_DEFSPLITBUTTON: case BS_DEFCOMMANDLINK: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
          case BS_PUSHBUTTON: case BS_SPLITBUTTON: case BS_COMMANDLINK: case BS_OWNERDRAW: case BS_USERBUTTON:
          case BS_PUSHBOX:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
          case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
          case BS_GROUPBOX: return DLGC_STATIC;
        }
        return DLGC_BUTTON;
      }
      case WM_NCHITTEST:
        if (Type() == BS_GROUPBOX) return HTTRANSPARENT;  // clicks go to what the group box holds
        break;
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK:
        if (msg == WM_LBUTTONDBLCLK && (IsCheckOrRadio() ? false : (Style() & BS_NOTIFY))) {
          Command(BN_DOUBLECLICKED);
          return 0;
        }
        SetFocus(hwnd);
        SetCapture(hwnd);
        SetPushed(true);
        return 0;
      case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) {
          POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
          RECT r = Client();
          SetPushed(PtInRect(&r, p) != FALSE);
        }
        return 0;
      case WM_LBUTTONUP: {
        if (GetCapture() != hwnd) return 0;
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        RECT r = Client();
        const bool inside = PtInRect(&r, p) != FALSE;
        ReleaseCapture();
        if (inside) Click();
        return 0;
      }
      case WM_CAPTURECHANGED:
        SetPushed(false);
        return 0;
      case WM_KEYDOWN:
        if (wp == WPARAM(VK_SPACE) && !(HIWORD(lp) & 0x4000)) SetPushed(true);
        return 0;
      case WM_KEYUP:
        if (wp == WPARAM(VK_SPACE) && pushed_) {
          SetPushed(false);
          Click();
        }
        return 0;
      case WM_CHAR:
        return 0;
      case WM_SETFOCUS:
        focused_ = true;
        Redraw();
        if (Style() & BS_NOTIFY) Command(BN_SETFOCUS);
        return 0;
      case WM_KILLFOCUS:
        focused_ = false;
        if (pushed_ && GetCapture() != hwnd) SetPushed(false);
        Redraw();
        if (Style() & BS_NOTIFY) Command(BN_KILLFOCUS);
        return 0;
      case BM_GETCHECK: return IsCheckOrRadio() ? check_ : BST_UNCHECKED;
      case BM_SETCHECK: {
        if (!IsCheckOrRadio()) return 0;
        const LRESULT v = (wp == WPARAM(BST_INDETERMINATE) && Is3State()) ? BST_INDETERMINATE
                          : wp ? BST_CHECKED : BST_UNCHECKED;
        if (v != check_) {
          check_ = v;
          Redraw();
        }
        // A checked radio button is the one the Tab key lands on in its group.
        if (IsRadio()) {
          DWORD s = Style();
          SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(check_ ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP)));
        }
        return 0;
      }
      case BM_GETSTATE:
        return (IsCheckOrRadio() ? check_ : 0) | (pushed_ ? BST_PUSHED : 0) | (focused_ ? BST_FOCUS : 0);
      case BM_SETSTATE:
        SetPushed(wp != 0);
        return 0;
      case BM_SETSTYLE: {
        const DWORD s = (Style() & ~0xFFFFu) | DWORD(wp & 0xFFFF);
        SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(s));
        if (lp) Redraw();
        return 0;
      }
      case BM_CLICK:
        if (Enabled()) {
          SetPushed(true);
          SetPushed(false);
          Click();
        }
        return 0;
      case BM_SETIMAGE: {
        HANDLE old = image_;
        image_ = reinterpret_cast<HANDLE>(lp);
        imageType_ = UINT(wp);
        Redraw();
        return LRESULT(old);
      }
      case BM_GETIMAGE:
        return UINT(wp) == imageType_ ? LRESULT(image_) : 0;
      case BCM_SETIMAGELIST:
        if (!lp) return FALSE;
        imageList_ = *reinterpret_cast<const BUTTON_IMAGELIST*>(lp);
        Redraw();
        return TRUE;
      case BCM_GETIMAGELIST:
        if (!lp) return FALSE;
        *reinterpret_cast<BUTTON_IMAGELIST*>(lp) = imageList_;
        return TRUE;
      case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
        Redraw();
        return r;
      }
      case WM_ERASEBKGND: return 1;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override;

 private:
  DWORD Type() const { return Style() & BS_TYPEMASK; }
  bool IsRadio() const { return Type() == BS_RADIOBUTTON || Type() == BS_AUTORADIOBUTTON; }
  bool Is3State() const { return Type() == BS_3STATE || Type() == BS_AUTO3STATE; }
  bool IsCheckOrRadio() const {
    const DWORD t = Type();
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE || IsRadio();
  }

  void SetPushed(bool on) {
    if (on == pushed_) return;
    pushed_ = on;
    Redraw();
  }

  // The button was clicked: automatic kinds change their state, then the parent hears of it.
  void Click() {
    switch (Type()) {
      case BS_AUTOCHECKBOX: SendMessageW(hwnd, BM_SETCHECK, check_ ? BST_UNCHECKED : BST_CHECKED, 0); break;
      case BS_AUTO3STATE:
        SendMessageW(hwnd, BM_SETCHECK, check_ == BST_UNCHECKED ? BST_CHECKED
                                        : check_ == BST_CHECKED ? BST_INDETERMINATE : BST_UNCHECKED, 0);
        break;
      case BS_AUTORADIOBUTTON: CheckInGroup(); break;
    }
    Command(BN_CLICKED);
  }

  // Checks this radio button and clears the other automatic ones of its group.
  void CheckInGroup() {
    SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    HWND first = hwnd;
    while (!(GetWindowLongPtrW(first, GWL_STYLE) & WS_GROUP)) {
      HWND prev = GetWindow(first, GW_HWNDPREV);
      if (!prev) break;
      first = prev;
    }
    for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
      if (h != first && (GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
      if (h == hwnd) continue;
      if ((GetWindowLongPtrW(h, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
          SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
        SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }

  void PaintPush(HDC dc, RECT r);
  void PaintCheck(HDC dc, RECT r);
  void PaintGroup(HDC dc, RECT r);
  UINT TextFormat() const;
  void PaintContent(HDC dc, RECT r, UINT format);
  // Draws the image list's image for the state at its place; r becomes the text's room.
  void PaintListImage(HDC dc, RECT& r);

  LRESULT check_ = BST_UNCHECKED;
  bool pushed_ = false;
  bool focused_ = false;
  HANDLE image_ = nullptr;
  UINT imageType_ = IMAGE_BITMAP;
  BUTTON_IMAGELIST imageList_;
};

UINT Button::TextFormat() const {
  const DWORD s = Style();
  UINT f = (s & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  const DWORD h = s & BS_CENTER;
  const bool push = !IsCheckOrRadio();
  f |= h == BS_LEFT ? DT_LEFT : h == BS_RIGHT ? DT_RIGHT : h == BS_CENTER ? DT_CENTER : push ? DT_CENTER : DT_LEFT;
  const DWORD v = s & BS_VCENTER;
  f |= v == BS_TOP ? DT_TOP : v == BS_BOTTOM ? DT_BOTTOM : DT_VCENTER;
  return f;
}

void Button::PaintListImage(HDC dc, RECT& r) {
  HIMAGELIST list = imageList_.himl;
  const int count = list ? ImageList_GetImageCount(list) : 0;
  int cx = 0, cy = 0;
  if (count <= 0 || !ImageList_GetIconSize(list, &cx, &cy)) return;
  const bool def = Type() == BS_DEFPUSHBUTTON;
  int index = 0;
  if (count > 1) index = !Enabled() ? 3 : pushed_ ? 2 : (focused_ || def) && count > 4 ? 4 : 0;
  const RECT& m = imageList_.margin;
  int x = r.left + (r.right - r.left - cx) / 2, y = r.top + (r.bottom - r.top - cy) / 2;
  switch (imageList_.uAlign) {
    case BUTTON_IMAGELIST_ALIGN_LEFT: x = r.left + m.left; r.left = x + cx + m.right; break;
    case BUTTON_IMAGELIST_ALIGN_RIGHT: x = r.right - m.right - cx; r.right = x - m.left; break;
    case BUTTON_IMAGELIST_ALIGN_TOP: y = r.top + m.top; r.top = y + cy + m.bottom; break;
    case BUTTON_IMAGELIST_ALIGN_BOTTOM: y = r.bottom - m.bottom - cy; r.bottom = y - m.top; break;
  }
  ImageList_Draw(list, std::min(index, count - 1), dc, x, y, ILD_NORMAL);
}

void Button::PaintContent(HDC dc, RECT r, UINT format) {
  if (!IsCheckOrRadio()) PaintListImage(dc, r);
  if (image_ && imageType_ == IMAGE_BITMAP) {
    BITMAP bm;
    if (GetObject(image_, sizeof(bm), &bm)) {
      HDC src = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(src, image_);
      const int x = r.left + (r.right - r.left - bm.bmWidth) / 2, y = r.top + (r.bottom - r.top - bm.bmHeight) / 2;
      BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
      SelectObject(src, old);
      DeleteDC(src);
      if (Style() & (BS_BITMAP | BS_ICON)) return;
    }
  }
  DrawLabel(dc, Font(), Text(), r, format, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
}

void Button::PaintPush(HDC dc, RECT r) {
  const bool def = Type() == BS_DEFPUSHBUTTON || Type() == BS_DEFSPLITBUTTON || Type() == BS_DEFCOMMANDLINK;
  const bool down = pushed_ || ((Style() & BS_PUSHLIKE) && check_ == BST_CHECKED);
  if (def) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&r, -1, -1);
  }
  DrawButtonFace(dc, r, down);
  RECT content = r;
  InflateRect(&content, -4, -3);
  if (down) OffsetRect(&content, 1, 1);
  PaintContent(dc, content, TextFormat());
  if (focused_) {
    RECT f = r;
    InflateRect(&f, -3, -3);
    DrawFocusRectangle(dc, f);
  }
}

void Button::PaintCheck(HDC dc, RECT r) {
  const bool leftText = Style() & BS_LEFTTEXT;
  const int top = r.top + (r.bottom - r.top - kBoxSize) / 2;
  RECT box = leftText ? RECT{r.right - kBoxSize, top, r.right, top + kBoxSize}
                      : RECT{r.left, top, r.left + kBoxSize, top + kBoxSize};
  const bool enabled = Enabled();
  const int face = pushed_ || !enabled ? COLOR_BTNFACE : COLOR_WINDOW;
  if (IsRadio()) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(face));
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    if (check_) {
      SelectObject(dc, GetSysColorBrush(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
      SelectObject(dc, GetStockObject(NULL_PEN));
      Ellipse(dc, box.left + 4, box.top + 4, box.right - 4, box.bottom - 4);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  } else {
    FillSys(dc, box, face);
    DrawEdge3d(dc, box, false);
    if (check_) DrawCheckMark(dc, box, GetSysColor(check_ == BST_INDETERMINATE || !enabled ? COLOR_GRAYTEXT
                                                                                            : COLOR_WINDOWTEXT));
  }
  RECT text = r;
  if (leftText) text.right = box.left - 4;
  else text.left = box.right + 4;
  PaintContent(dc, text, TextFormat());
  if (focused_) {
    RECT f = text;
    HGDIOBJ old = SelectObject(dc, Font());
    const std::string t = Text();
    DrawText(dc, t.c_str(), int(t.size()), &f, TextFormat() | DT_CALCRECT);
    SelectObject(dc, old);
    InflateRect(&f, 1, 1);
    f.right = std::min(f.right, r.right);
    DrawFocusRectangle(dc, f);
  }
}

void Button::PaintGroup(HDC dc, RECT r) {
  const int half = FontHeight(Font()) / 2;
  RECT frame{r.left, r.top + half, r.right, r.bottom};
  DrawEdge3d(dc, frame, false, true);
  RECT inner = frame;
  InflateRect(&inner, -1, -1);
  DrawEdge3d(dc, inner, true, true);
  const std::string t = Text();
  if (t.empty()) return;
  RECT text{r.left + 8, r.top, r.right - 8, r.top + 2 * half + 1};
  HGDIOBJ old = SelectObject(dc, Font());
  RECT measured = text;
  DrawText(dc, t.c_str(), int(t.size()), &measured, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  RECT gap{measured.left - 2, r.top, std::min(measured.right + 2, r.right - 6), text.bottom};
  FillRect(dc, &gap, ParentBrush(dc, WM_CTLCOLORSTATIC));
  DrawLabel(dc, Font(), t, text, DT_SINGLELINE | DT_LEFT | DT_TOP, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
}

void Button::Paint(HDC dc) {
  RECT r = Client();
  if (Type() == BS_OWNERDRAW) {
    DrawItem(ODT_BUTTON, 0, (pushed_ ? ODS_SELECTED : 0) | (focused_ ? ODS_FOCUS : 0), dc, r);
    return;
  }
  const bool pushLike = !IsCheckOrRadio() || (Style() & BS_PUSHLIKE);
  if (Type() == BS_GROUPBOX) {
    FillRect(dc, &r, ParentBrush(dc, WM_CTLCOLORSTATIC));
    PaintGroup(dc, r);
  } else if (pushLike) {
    ParentBrush(dc, WM_CTLCOLORBTN);
    PaintPush(dc, r);
  } else {
    FillRect(dc, &r, ParentBrush(dc, WM_CTLCOLORSTATIC));
    PaintCheck(dc, r);
  }
}

}  // namespace

LRESULT ButtonWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Button>(wnd, msg, wp, lp); }

}  // namespace win
