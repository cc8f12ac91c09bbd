#include "skin/controls/acStatusBarWnd.h"

#include <algorithm>

#include "platform/vcl/ComCtrls.h"
#include "platform/win/CommCtrl.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

bool TacStatusBarWnd::SimplePanel() { return ProcessMessage(SB_ISSIMPLE, 0, 0) == 1; }

int TacStatusBarWnd::PartsCount() { return int(ProcessMessage(SB_GETPARTS, 0, 0)); }

TRect TacStatusBarWnd::PartRect(int Index) {
  RECT r{};
  ProcessMessage(SB_GETRECT, WPARAM(Index), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

String TacStatusBarWnd::PartText(int Index) {
  if (PartsCount() == 0) return String();
  if (SimplePanel()) {
    const int n = int(ProcessMessage(WM_GETTEXTLENGTH, 0, 0));
    String s(size_t(std::max(n, 0)) + 1, '\0');
    const int got = int(ProcessMessage(WM_GETTEXT, WPARAM(n + 1), LPARAM(s.data())));
    s.resize(size_t(std::clamp(got, 0, n)));
    return s;
  }
  if (!StatusBar) return String();
  if (StatusBar->Panels()->Count() == 0) return StatusBar->SimpleText();
  return Index >= 0 && Index < StatusBar->Panels()->Count() ? StatusBar->Panels()->Items(Index)->Text() : String();
}

int TacStatusBarWnd::BorderWidth() { return StatusBar ? GetOrdPropIfExists(StatusBar, "BorderWidth") : 0; }

void TacStatusBarWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("STATUSBAR");
  StatusBar = dynamic_cast<TStatusBar*>(SkinData->FOwnerControl);
  TacMainWnd::AfterCreation();
}

void TacStatusBarWnd::DoDrawText(const String& Text, const TRect& Rect, UINT Flags) {
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  if (StatusBar) c->Font()->Assign(StatusBar->Font());
  DrawSkinControlText(c, Text, IsWindowEnabled(CtrlHandle) != FALSE, 0, *SkinData, Flags | DT_VCENTER | DT_SINGLELINE,
                      Rect);
}

void TacStatusBarWnd::InternalDrawPanel(int Index, const TRect& Rect) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!skin) return;
  TBitmap* bmp = SkinData->FCacheBmp.get();
  const bool simple = SimplePanel();
  if (skin->IsValidSkinIndex(SkinData->SkinIndex)) {
    const int panel = skin->GetMaskIndex(SkinData->SkinIndex, "STATUSPANELMASK");
    if (skin->IsValidImgIndex(panel)) {
      PaintMask(bmp, simple ? TRect(0, 0, WndSize.cx, WndSize.cy) : Rect, EmptyCI, skin->ma[size_t(panel)], 0, true);
    } else if (!simple && Index != PartsCount() - 1) {
      const int divider = skin->ConstData.Sections[ssDivider];
      const int mask = skin->IsValidSkinIndex(divider) ? skin->gd[size_t(divider)].BorderIndex : -1;
      if (skin->IsValidImgIndex(mask)) {
        const TsMaskData& m = skin->ma[size_t(mask)];
        const int w = std::max(2, m.WL + m.WR), h = WndSize.cy - 2;
        const int x = Rect.Right - w;
        auto piece = NewBitmap32(w, h);
        BitBlt(piece->Canvas()->Handle(), 0, 0, w, h, bmp->Canvas()->Handle(), x, Rect.Top, SRCCOPY);
        TCacheInfo ci;
        ci.Bmp = bmp;
        ci.Ready = true;
        PaintSkinItem(divider, ci, -1, -1, skin, piece.get(), TPoint(x, 1), TRect(0, 0, w, h), 0);
        BitBlt(bmp->Canvas()->Handle(), x, 1, w, h, piece->Canvas()->Handle(), 0, 0, SRCCOPY);
      }
    }
  }
  if (StatusBar && Index >= 0 && Index < StatusBar->Panels()->Count()) {
    TStatusPanel* p = StatusBar->Panels()->Items(Index);
    if (p->Style() == psOwnerDraw && StatusBar->OnDrawPanel) {
      TCanvas* c = StatusBar->Canvas();
      const HDC old = c->Handle();
      c->SetHandle(bmp->Canvas()->Handle());
      StatusBar->OnDrawPanel(StatusBar, p, Rect);
      c->SetHandle(old);
      return;
    }
  }
  if (!StatusBar) return;
  TRect r(Rect.Left + 1 + 2, Rect.Top + 1, Rect.Right - 1 - 4, Rect.Bottom - 1 - 1);
  bmp->Canvas()->Font()->Assign(StatusBar->Font());
  const String text = EllipsizeText(bmp->Canvas(), PartText(Index), r.Width());
  const bool panel = !StatusBar->SimplePanel() && Index >= 0 && Index < StatusBar->Panels()->Count();
  DoDrawText(text, r, panel ? AlignToDrawTextFlags(StatusBar->Panels()->Items(Index)->Alignment()) : DT_LEFT);
}

void TacStatusBarWnd::DrawPanel(int Index, TRect Rect) {
  Rect = TRect(Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1);
  InternalDrawPanel(Index, Rect);
}

void TacStatusBarWnd::PaintPanels() {
  if (SimplePanel()) {
    InternalDrawPanel(-1, TRect(0, 1, WndSize.cx - 1, WndSize.cy - 1));
    return;
  }
  const int n = PartsCount();
  for (int i = 0; i < n; ++i) DrawPanel(i, PartRect(i));
}

void TacStatusBarWnd::PaintGrip() {
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!StatusBar || !StatusBar->SizeGrip() || !skin || !skin->IsValidImgIndex(skin->ConstData.GripRightBottom)) return;
  const TsMaskData& m = skin->ma[size_t(skin->ConstData.GripRightBottom)];
  TBitmap* bmp = SkinData->FCacheBmp.get();
  TCacheInfo self;
  self.Bmp = bmp;
  self.Ready = true;
  const int bw = BorderWidth();
  PaintMaskFrame(bmp, TPoint(bmp->Width() - m.Width - bw, bmp->Height() - m.Height - bw), 0, self, m, 1);
}

void TacStatusBarWnd::PrepareCache() {
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  PaintControlItem(*SkinData, SkinData->GetParentCache(), bmp, WndPos, TRect(0, 0, WndSize.cx, WndSize.cy), 0, true);
  PaintPanels();
  PaintGrip();
  SkinData->BGChanged = false;
}

void TacStatusBarWnd::WMPaint(HDC aDC) {
  UpdateWndGeometry(this);
  PrepareCache();
  HDC dc = aDC ? aDC : GetDC(CtrlHandle);
  BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  if (!aDC) ReleaseDC(CtrlHandle, dc);
}

void TacStatusBarWnd::WMNCPaint(HDC aDC) {
  UpdateWndGeometry(this);
  if (!StatusBar) return;
  HDC dc = aDC ? aDC : GetWindowDC(CtrlHandle);
  if (SkinData->BGChanged) PrepareCache();
  CopyBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, BorderWidth());
  if (!aDC) ReleaseDC(CtrlHandle, dc);
}

void TacStatusBarWnd::acWndProc(TMessage& Message) {
  if (SkinData && SkinData->Skinned()) {
    switch (Message.Msg) {
      case WM_PAINT:
        if (Message.WParam) {
          // A paint into a given DC (printing) has no erase to do it.
          WMPaint(reinterpret_cast<HDC>(Message.WParam));
        } else {
          // The bar is built on the erase that BeginPaint sends.
          InvalidateRect(CtrlHandle, nullptr, TRUE);
          ValidateByEmptyPaint(CtrlHandle);
        }
        Message.Result = 0;
        return;
      case WM_ERASEBKGND:
        WMPaint(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!WindowAnimationActive) WMNCPaint(nullptr);
        Message.Result = 0;
        return;
      case WM_PRINTCLIENT:
        WMPaint(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 0;
        return;
    }
  }
  TacMainWnd::acWndProc(Message);
  if (Message.Msg == WM_SIZE && SkinData && SkinData->Skinned())
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}
