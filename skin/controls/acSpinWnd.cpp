#include "skin/controls/acSpinWnd.h"

#include "platform/win/CommCtrl.h"
#include "skin/core/sGradient.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"

bool TacSpinWnd::IsVertical() const { return (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & UDS_HORZ) == 0; }

TRect TacSpinWnd::ButtonRect(int Index) const {
  const int cx = WndSize.cx, cy = WndSize.cy;
  if (IsVertical()) return Index == 0 ? TRect(lOffset, 0, cx, cy - cy / 2) : TRect(lOffset, cy / 2, cx, cy);
  return Index == 0 ? TRect(0, 0, cx - cx / 2, cy) : TRect(cx / 2, 0, cx, cy);
}

void TacSpinWnd::AfterCreation() {
  bMousePressed = false;
  Btn1State = Btn2State = 0;
  lOffset = 0;
  TacMainWnd::AfterCreation();
  UpdateWndGeometry(this);
}

void TacSpinWnd::PrepareCache() {
  TacBackgroundInfo info;
  QueryWndBgInfo(info, ParentWnd, false);
  const TCacheInfo ci = CacheInfoFromBgInfo(info);
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!skin) return;
  const bool v = IsVertical();
  // The record paints each button in the button's section, then keeps its own.
  const int ownIndex = SkinData->SkinIndex, ownBorder = SkinData->BorderIndex;
  for (int i = 0; i < 2; ++i) {
    const int side = v ? (i == 0 ? asTop : asBottom) : (i == 0 ? asLeft : asRight);
    const int state = i == 0 ? Btn1State : Btn2State;
    const TRect r = ButtonRect(i);
    const TacConstElementData& e = skin->ConstData.UpDownBtns[side];
    SkinData->SkinIndex = e.SkinIndex;
    SkinData->BorderIndex = e.MaskIndex;
    PaintControlItem(*SkinData, ci, bmp, TPoint(WndPos.X + r.Left, WndPos.Y + r.Top), r, state, !v);
    const int glyph = skin->ConstData.ScrollBtns[side].GlyphIndex;
    if (skin->IsValidImgIndex(glyph)) {
      const TsMaskData& m = skin->ma[size_t(glyph)];
      const TPoint sz = MaskSize(m);
      TCacheInfo self;
      self.Bmp = bmp;
      self.Ready = true;
      PaintMaskFrame(bmp, TPoint(r.Left + (r.Width() - sz.X) / 2, r.Top + (r.Height() - sz.Y) / 2), state, self, m, 1);
    } else {
      TColor c = 0;
      if (skin->IsValidSkinIndex(e.SkinIndex)) c = skin->gd[size_t(e.SkinIndex)].Props[state > 0 ? 1 : 0].FontColor.Color;
      const TColor argb = TColor(0xFF000000u | uint32_t(ColorToRGB(c)));
      if (v)
        PaintSmallArrow(bmp, argb, r, side == asTop ? 1 : 3);
      else
        PaintArrow(bmp, argb, TColor(0x1FFFFFFF), r, side == asLeft ? 0 : 2, ArrowLineWidth, 0, 0,
                   skin->CommonSkinData.ArrowStyle);
    }
  }
  SkinData->SkinIndex = ownIndex;
  SkinData->BorderIndex = ownBorder;
}

void TacSpinWnd::AC_WMPaint(TMessage& Message) {
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  if (!SkinData->CheckUpdating(false)) {
    UpdateWndGeometry(this);
    const TPoint c = SafeGetCursorPos();
    if (WndRect.Contains(c)) {
      TRect first = WndRect;
      if (IsVertical())
        first.Bottom -= WndSize.cy / 2;
      else
        first.Right -= WndSize.cx / 2;
      const int state = 1 + int(bMousePressed);
      Btn1State = first.Contains(c) ? state : 0;
      Btn2State = first.Contains(c) ? 0 : state;
    } else {
      Btn1State = Btn2State = 0;
    }
    HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
    SkinData->BGChanged = true;
    PrepareCache();
    const int x = IsVertical() ? lOffset : 0;
    BitBlt(dc, x, 0, WndSize.cx - x, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), x, 0, SRCCOPY);
    if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
  }
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacSpinWnd::acWndProc(TMessage& Message) {
  const UINT redraw = RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME;
  switch (Message.Msg) {
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      bMousePressed = Message.Msg == WM_LBUTTONDOWN;
      TacMainWnd::acWndProc(Message);
      RedrawWindow(CtrlHandle, nullptr, nullptr, redraw);
      return;
    case WM_LBUTTONDBLCLK:
      TacMainWnd::acWndProc(Message);
      bMousePressed = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, redraw);
      bMousePressed = false;
      return;
    case WM_MOUSELEAVE:
      InvalidateRect(CtrlHandle, nullptr, FALSE);
      break;
    case WM_SKINCOMMAND:
      if (SkinCommandOf(Message) == SKC_MOUSELEAVE)
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      break;
    case WM_MOUSEMOVE:
      TacMainWnd::acWndProc(Message);
      // Over the window it becomes the hot control (the base did that) and shows the button under the cursor.
      if (DefaultManager && IsWindowEnabled(CtrlHandle) && MouseInWindow(CtrlHandle))
        RedrawWindow(CtrlHandle, nullptr, nullptr, redraw);
      return;
  }
  TacMainWnd::acWndProc(Message);
}
