// Getting the painted image to the screen: the frame strips on WM_NCPAINT,
// the client part on WM_PAINT and WM_ERASEBKGND, the size grip, and a whole
// repaint of the frame after a change.

#include <algorithm>

#include "skin/core/GeneralUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"

namespace {

void Copy(HDC DC, int X, int Y, int W, int H, TBitmap* Img, int SX, int SY) {
  if (W > 0 && H > 0) BitBlt(DC, X, Y, W, H, Img->Canvas()->Handle(), SX, SY, SRCCOPY);
}

}  // namespace

void TsSkinProvider::PaintNonClient(HDC DC) {
  HWND h = Form->Handle();
  const int a = SysBorderWidthNoEx(h, BorderForm, true), c = CaptionHeight(true), W = CaptionWidth();
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (BGChanged()) {
    if (MenuChanged || !img || IsSingleImageMask(FCommonData->BorderIndex, Skin()) || W != img->Width() ||
        img->Height() != Form->Height() || !HaveBorder(this))
      ControlsChanged = !FirstInitialized;
    PaintAll();
    SetBGChanged(false);
    FCommonData->FUpdating = false;
    img = FCommonData->FCacheBmp.get();
  }
  if (!img) return;
  const int m = MenuPresent() ? LinesCount() * MenuHeight() + 1 : 0;
  const int hb = BorderHeight(true), bw = BorderWidth(true);
  const int y = (GetWindowLongPtrW(h, GWL_STYLE) & (WS_BORDER | WS_DLGFRAME)) ? HeaderHeight() : hb;
  const int s = m + a + c + (IsIconic(h) ? 1 : 0) + FormBorderWidth(Form);
  const int fh = Form->Height(), ih = img->Height(), iw = img->Width();
  Copy(DC, 0, 0, W, y != 0 ? y : m, img, 0, 0);
  Copy(DC, 0, y, bw, ih - y, img, 0, s);
  Copy(DC, bw, fh - hb, W - bw, hb, img, SysBorderWidth(h, BorderForm, true) + FormBorderWidth(Form), fh - hb);
  Copy(DC, iw - bw, y, hb, ih - hb, img, iw - bw, s);
}

void TsSkinProvider::WMNCPaint() {
  if (MDICreating || !FDrawNonClientArea || LockCount > 0 || !Form->HandleAllocated()) return;
  // MDI: a child behind a maximized sibling does not paint.
  PrepareMenuLine();
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!img || img->Width() == 0) SetBGChanged(true);
  if (BGChanged() && !PaintAll()) return;
  HWND h = Form->Handle();
  if (!RgnChanging && RgnChanged) {
    if (HaveBorder(this) || IsSizeable(h) || IsIconic(h)) {
      if (IsIconic(h) && (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_APPWINDOW)) return;
      if (!BorderForm) UpdateRgnRects();
      RgnChanged = false;
      // The region is set without a repaint: the frame is painted right below.
      UpdateRgn(false, true);
    } else {
      SetWindowRgn(h, nullptr, FALSE);
      RgnChanged = false;
    }
  }
  FCommonData->FUpdating = false;
  HDC dc = GetWindowDC(h);
  const int saved = SaveDC(dc);
  img = FCommonData->FCacheBmp.get();
  if (BorderForm) {
    const TRect sh = ShadowSize();
    const int x = SysBorderWidth(h, BorderForm, false);
    int hh = CaptionHeight(false) + x - (FSysExHeight ? 4 : 0);
    int m = (FormHasMenuLine(this) ? LinesCount() * MenuHeight() + 1 : 0) + FormBorderWidth(Form);
    TsSkinManager* mgr = Manager();
    if (mgr && mgr->SysFontScale > 0 && mgr->Options.ScaleMode() == smOldMode) {
      m += 2;
      hh -= 1;
    }
    Copy(dc, x, hh, img->Width() - sh.Left - sh.Right, m, img, SysBorderWidth(h, BorderForm, true) + sh.Left, OffsetY() - m);
  } else if (HaveBorder(this) || !IsSizeable(h)) {
    PaintNonClient(dc);
  } else if (IsIconic(h)) {
    PaintNonClient(dc);
  } else {
    const int b = BorderWidth(true) + 3, fw = Form->Width(), fh = Form->Height(), ih = img->Height(), iw = img->Width();
    Copy(dc, 0, 0, fw, b, img, 0, 0);
    Copy(dc, 0, b, b, ih, img, 0, b);
    Copy(dc, b, fh - b, fw - b, b, img, b, fh - b);
    Copy(dc, iw - b, b, b, ih, img, iw - b, b);
  }
  RestoreDC(dc, saved);
  ReleaseDC(h, dc);
  RgnChanging = false;
  if (BorderForm) BorderForm->UpdateExBordersPos(true, 255);
}

void TsSkinProvider::WMPaint(TMessage& Message) {
  HWND h = Form->Handle();
  if (fAnimating || (FormAnimating && Message.WParam == 0) || FormDestroying()) {
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    EndPaint(h, &ps);
    return;
  }
  PAINTSTRUCT ps{};
  HDC dc = FormAnimating ? reinterpret_cast<HDC>(Message.WParam) : BeginPaint(h, &ps);
  const int saved = SaveDC(dc);
  FCommonData->FUpdating = Form->Parent() ? FCommonData->GetUpdating() : false;
  try {
    if (!FCommonData->FUpdating) PaintClient(dc, TRect(ps.rcPaint), true);
  } catch (...) {
    RestoreDC(dc, saved);
    if (!FormAnimating) EndPaint(h, &ps);
    throw;
  }
  RestoreDC(dc, saved);
  if (!FormAnimating) EndPaint(h, &ps);
}

void TsSkinProvider::PaintClient(HDC DC, const TRect& R, bool Children) {
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  PaintAll();
  if (Form->FormStyle() != fsMDIForm) {
    const TRect client(0, 0, Form->ClientWidth(), Form->ClientHeight());
    CopyCacheToDC(Form, FCommonData.get(), TPoint(OffsetX(), OffsetY()), client, DC, false, 0, 0);
    PaintChildrenToDC(DC, Form, false, TPoint(0, 0));
  }
  if (Children) RefreshChildControls(Form);
  ControlsChanged = false;
}

void TsSkinProvider::PaintClientBackground(HDC DC) {
  HWND h = Form->Handle();
  bool own = false;
  if (!DC || (FCommonData->PrintDC && DC != FCommonData->PrintDC)) {
    DC = GetDC(h);
    own = true;
  }
  FCommonData->FUpdating = false;
  if (!fAnimating && !FormDestroying()) {
    const int saved = SaveDC(DC);
    ExcludeControlsFromClip(DC, Form, 0, 0);
    PaintClient(DC, TRect(0, 0, Form->Width(), Form->Height()), true);
    if (GripVisible()) {
      POINT old;
      OffsetViewportOrgEx(DC, -OffsetX(), -OffsetY(), &old);
      PaintGripToDC(DC);
    }
    RestoreDC(DC, saved);
  }
  if (own) ReleaseDC(h, DC);
}

void TsSkinProvider::PaintGripToDC(HDC DC) {
  const TacSkinRecords* s = Skin();
  const int g = s ? s->ConstData.GripRightBottom : -1;
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!s || !s->IsValidImgIndex(g) || !img) return;
  const TsMaskData& m = s->ma[size_t(g)];
  const TPoint size = MaskSize(m);
  auto t = NewBitmap32(size.X, size.Y);
  const TPoint p = GripPos(g);
  // A top-level form's background here is its own image.
  BitBlt(t->Canvas()->Handle(), 0, 0, size.X, size.Y, img->Canvas()->Handle(), p.X, p.Y, SRCCOPY);
  PaintMaskFrame(t.get(), TPoint(0, 0), 0, SelfCacheInfo(t.get()), m, 1);
  BitBlt(DC, p.X, p.Y, size.X, size.Y, t->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TsSkinProvider::UpdateNonClient() {
  if (FInAnimation || !Form || !Form->Visible() || !FDrawNonClientArea || !Form->HandleAllocated() ||
      Form->ControlState.Contains(csDestroyingHandle) || !FCommonData->Skinned())
    return;
  // MDI: a maximized child repaints its MDI form's frame instead.
  if (BorderForm) {
    FGlow1.reset();
    FGlow2.reset();
    SetBGChanged(true);
    if (Form->Menu()) ProcessMessage(WM_NCPAINT);
    BorderForm->UpdateExBordersPos(true, 255);
    return;
  }
  SetBGChanged(true);
  if (!FCommonData->FCacheBmp) {
    TsSkinManager* m = Manager();
    UpdateExBorders(m && m->ExtendedBorders());
  }
  HWND h = Form->Handle();
  HDC dc = GetWindowDC(h);
  PaintNonClient(dc);
  ReleaseDC(h, dc);
}
