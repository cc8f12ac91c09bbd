#include "skin/controls/acCheckBoxWnd.h"

#include <algorithm>

#include "platform/win/Controls.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sFade.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"

namespace {

// The font colour of the section's first hot state (the focus rectangle's).
TColor FocusColor(TsCommonData* D) {
  const TacSkinRecords* skin = D->SkinManager();
  if (!skin || !skin->IsValidSkinIndex(D->SkinIndex)) return clBtnText;
  const TsGeneralData& g = skin->gd[size_t(D->SkinIndex)];
  return g.Props[size_t(std::clamp(std::min(1, g.States), 0, 2))].FontColor.Color;
}

}  // namespace

// ---- Check boxes and radio buttons ----

void TacCheckBoxWnd::AfterCreation() {
  OwnerDraw = (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & BS_OWNERDRAW) == BS_OWNERDRAW;
  SkinData->COC = 32;
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("CHECKBOX");
  TacMainWnd::AfterCreation();
}

TCheckBoxState TacCheckBoxWnd::State() {
  const LRESULT s = ProcessMessage(BM_GETSTATE, 0, 0);
  return (s & BST_INDETERMINATE) ? cbGrayed : (s & BST_CHECKED) ? cbChecked : cbUnchecked;
}

int TacCheckBoxWnd::CtlState() {
  const LRESULT s = ProcessMessage(BM_GETSTATE, 0, 0);
  if (s & BST_PUSHED) return 2;
  if (NoMouseHover) return 0;
  return (s & BST_FOCUS) || ManagerActiveControl() == CtrlHandle ? 1 : 0;
}

int TacCheckBoxWnd::GlyphMaskIndex(TCheckBoxState AState) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!skin) return -1;
  const LONG_PTR s = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  const bool radio = ((s & 4) != 0 || (s & 9) == 9) && (s & 2) == 0 && (s & 5) != 5;
  if (radio) return skin->ConstData.RadioButton[AState == cbChecked ? 1 : 0];
  return skin->ConstData.CheckBox[size_t(AState)];
}

TRect TacCheckBoxWnd::SkinCheckRect(int Index) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (Index < 0 || !skin || !skin->IsValidImgIndex(Index)) return TRect();
  const TPoint sz = MaskSize(skin->ma[size_t(Index)]);
  const int top = (WndSize.cy - sz.Y) / 2;
  const int left = (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & BS_LEFTTEXT) ? WndSize.cx - sz.X : 0;
  return TRect(left, top, left + sz.X, top + sz.Y);
}

TRect TacCheckBoxWnd::CheckRect() {
  const int i = GlyphMaskIndex(cbChecked);
  const TacSkinRecords* skin = SkinData->SkinManager();
  return i >= 0 && skin && skin->IsValidImgIndex(i) ? SkinCheckRect(i) : TRect(0, 0, 16, 16);
}

void TacCheckBoxWnd::DrawSkinGlyph(int Index) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  if (!bmp || bmp->Width() == 0 || Index < 0 || !skin || !skin->IsValidImgIndex(Index)) return;
  TCacheInfo self;
  self.Bmp = bmp;
  self.Ready = true;
  const TRect r = SkinCheckRect(Index);
  PaintMaskFrame(bmp, TPoint(r.Left, r.Top), CtlState(), self, skin->ma[size_t(Index)], 1);
}

void TacCheckBoxWnd::DrawCheckText() {
  if (Caption.empty()) return;
  const int C = CheckRect().Width();
  SelectCacheFont(this);
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  const LONG_PTR style = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  const bool multi = (style & BS_MULTILINE) != 0;
  RECT m{0, 0, std::max(0, WndSize.cx - C - 2), 0};
  DrawText(c->Handle(), Caption.c_str(), -1, &m, DT_CALCRECT | (multi ? DT_WORDBREAK : DT_SINGLELINE));
  const int tw = m.right - m.left, th = m.bottom - m.top;
  const int top = std::max(0, (WndSize.cy - th) / 2);
  TRect r;
  UINT flags = 0;
  if (!(style & BS_LEFTTEXT)) {
    r = TRect(C + 4 - (multi ? 1 : 0), top - 1, C + 4 + tw - (multi ? 1 : 0), WndSize.cy - top - 1);
  } else if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) {
    const int right = WndSize.cx - C - 6;
    r = TRect(right - tw, top, right, WndSize.cy - top);
    flags = DT_RTLREADING | (multi ? 0 : DT_RIGHT);
  } else {
    r = TRect(2, top, tw + 2, WndSize.cy - top);
  }
  const TacSkinRecords* skin = SkinData->SkinManager();
  c->Font()->SetColor(GetSectionFontColor(CtrlHandle, SkinData->SkinIndex, skin, 0));
  SetBkMode(c->Handle(), TRANSPARENT);
  DrawSkinText(c, Caption, true, skin, SkinData->CurrentState(), -1, flags | (multi ? DT_WORDBREAK : DT_SINGLELINE), r);
  if (ProcessMessage(BM_GETSTATE, 0, 0) & BST_FOCUS)
    DrawDottedFocusRect(c, TRect(r.Left - 2, r.Top, r.Right + 2, r.Bottom), FocusColor(SkinData), kNoColorTone);
}

void TacCheckBoxWnd::PrepareCache() {
  UpdateWndGeometry(this);
  SkinData->PrepareCacheBmp();
  if (OwnerDraw) return;
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  const TCacheInfo bg = GetParentCacheOfWnd(CtrlHandle);
  PaintControlItem(*SkinData, bg, bmp, WndPos, TRect(0, 0, WndSize.cx, WndSize.cy), SkinData->CurrentState(), true);
  DrawCheckText();
  DrawSkinGlyph(GlyphMaskIndex(State()));
  if (!IsWindowEnabled(CtrlHandle)) FadeDisabledCache(this, bg);
  SkinData->BGChanged = false;
}

void TacCheckBoxWnd::AC_WMPaint(TMessage& Message) {
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
  if (SkinData->AnimationRunning() && SkinData->AnimTimer->BmpOut) {
    TBitmap* out = SkinData->AnimTimer->BmpOut.get();
    BitBlt(dc, 0, 0, out->Width(), out->Height(), out->Canvas()->Handle(), 0, 0, SRCCOPY);
  } else {
    UpdateWndGeometry(this);
    if (!SkinData->CheckUpdating(false) && !OwnerDraw && (IsWindowVisible(CtrlHandle) || Message.WParam)) {
      PrepareCache();
      BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
  }
  if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacCheckBoxWnd::ChangeState(int State) {
  AnimateStateChange(SkinData, State, &FadeStep, ButtonsOptions.Animated, false, true);
  if (!SkinData->FOwnerControl && !SkinData->AnimationRunning())
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TacCheckBoxWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
      TacMainWnd::acWndProc(Message);
      return;
    case WM_ENABLE:
    case BM_SETCHECK:
    case BM_SETSTATE:
    case CM_TEXTCHANGED:
      if (IsWindowVisible(CtrlHandle)) {
        SendSetRedraw(CtrlHandle, false);
        d->KillAnimation();
        TacMainWnd::acWndProc(Message);
        SendSetRedraw(CtrlHandle, true);
        SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
        return;
      }
      break;
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      if (OwnerDraw) {
        // The owner paints the box; the handler gives it the parent's background.
        HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
        UpdateWndGeometry(this);
        const TCacheInfo bg = GetParentCacheOfWnd(CtrlHandle);
        if (bg.Ready && bg.Bmp)
          BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, bg.Bmp->Canvas()->Handle(), bg.X + WndPos.X, bg.Y + WndPos.Y,
                 SRCCOPY);
        else
          PaintSolidRect(dc, TRect(0, 0, WndSize.cx, WndSize.cy), bg.FillColor);
        if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
      }
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      d->KillAnimation();
      break;
    case WM_SKINCOMMAND:
      if (!ManagerActive()) break;
      switch (SkinCommandOf(Message)) {
        case SKC_PREPARECACHE:
          PrepareCache();
          return;
        case SKC_MOUSEENTER:
          if (!d->FMouseAbove && ManagerActiveControl() == CtrlHandle && !NoMouseHover) {
            UpdateWndGeometry(this);
            if (!WndRect.Contains(SafeGetCursorPos())) return;
            d->FMouseAbove = true;
            d->BGChanged = d->FUpdating = false;
            ChangeState(1);
            return;
          }
          break;
        case SKC_MOUSELEAVE:
          if (d->FMouseAbove) {
            d->FMouseAbove = d->FUpdating = d->BGChanged = false;
            ChangeState(0);
            return;
          }
          break;
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
  switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      break;
    case WM_NCHITTEST:
      if (IsWindowEnabled(CtrlHandle) && SetActiveControlProc && ManagerActiveControl() != CtrlHandle)
        SetActiveControlProc(CtrlHandle);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if ((Message.WParam & 0xFFFF) == VK_SPACE) SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      break;
  }
}

// ---- Group boxes ----

void TacGroupBoxWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("GROUPBOX");
  if (auto* wc = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) {
    TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINCHANGED), LPARAM(SkinManager));
    BroadcastToChildren(wc, m);
  }
  TacMainWnd::AfterCreation();
}

TRect TacGroupBoxWnd::CaptionRect() {
  SelectCacheFont(this);
  RECT m{0, 0, 0, 0};
  if (!Caption.empty())
    DrawText(SkinData->FCacheBmp->Canvas()->Handle(), Caption.c_str(), -1, &m, DT_CALCRECT | DT_CENTER);
  const int tw = m.right - m.left, th = m.bottom - m.top;
  const int left = (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) ? WndSize.cx - tw - 14 : 6;
  // A caption wider than the box ends one pixel inside its right edge.
  return TRect(left, 0, std::min(left + tw + 8, WndSize.cx - 1), std::max(4, th) + 2);
}

namespace {

// R of the bitmap takes the parent's background behind the window at Pos.
void FillFromParent(TBitmap* Bmp, const TRect& R, HWND Parent, const TPoint& Pos) {
  TacBackgroundInfo info;
  QueryWndBgInfo(info, Parent, false);
  const TCacheInfo ci = CacheInfoFromBgInfo(info);
  if (ci.Ready && ci.Bmp) {
    BitBlt(Bmp->Canvas()->Handle(), R.Left, R.Top, R.Width(), R.Height(), ci.Bmp->Canvas()->Handle(),
           ci.X + Pos.X + R.Left, ci.Y + Pos.Y + R.Top, SRCCOPY);
  } else {
    Bmp->Canvas()->Brush()->SetStyle(bsSolid);
    Bmp->Canvas()->Brush()->SetColor(TColor(ColorToRGB(ci.FillColor == clFuchsia ? info.Color : ci.FillColor)));
    Bmp->Canvas()->FillRect(R);
  }
}

}  // namespace

void TacGroupBoxWnd::PrepareCache() {
  UpdateWndGeometry(this);
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  const TRect r = CaptionRect();
  const int h = r.Height();
  FillFromParent(bmp, TRect(0, 0, WndSize.cx, h), ParentWnd, WndPos);
  TacBackgroundInfo info;
  QueryWndBgInfo(info, ParentWnd, false);
  PaintControlItem(*SkinData, CacheInfoFromBgInfo(info), bmp, TPoint(WndPos.X, WndPos.Y + h / 2),
                   TRect(0, h / 2, WndSize.cx, WndSize.cy), 0, true);
  if (!Caption.empty()) WriteText(r);
  SkinData->BGChanged = false;
}

void TacGroupBoxWnd::WriteText(const TRect& R) {
  TBitmap* bmp = SkinData->FCacheBmp.get();
  FillFromParent(bmp, R, ParentWnd, WndPos);
  TCanvas* c = bmp->Canvas();
  c->Brush()->SetStyle(bsClear);
  const TacSkinRecords* skin = SkinData->SkinManager();
  c->Font()->SetColor(GetSectionFontColor(CtrlHandle, SkinData->SkinIndex, skin, 0));
  UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) flags |= DT_RTLREADING;
  DrawSkinText(c, Caption, true, skin, 0, -1, flags, R);
}

void TacGroupBoxWnd::AC_WMPaint(HDC DC) {
  UpdateWndGeometry(this);
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  if (!SkinData->CheckUpdating(false)) {
    HDC dc = DC ? DC : GetDC(CtrlHandle);
    PrepareCache();
    const TacSkinRecords* skin = DefaultManager;
    if (DlgMode && skin && skin->IsValidImgIndex(SkinData->BorderIndex)) {
      // In a dialog only the frame is the group box's; its inside is the dialog's.
      const TsMaskData& m = skin->ma[size_t(SkinData->BorderIndex)];
      ExcludeClipRect(dc, m.WL, CaptionRect().Height(), WndSize.cx - m.WR, WndSize.cy - m.WB);
    }
    const TRect all(0, 0, WndSize.cx, WndSize.cy);
    if (auto* wc = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) {
      CopyCacheToDC(wc, SkinData, TPoint(0, 0), all, dc, false, 0, 0);
      PaintChildrenToDC(dc, wc, false, TPoint(0, 0));
    } else {
      CopyCacheToWndDC(CtrlHandle, SkinData, TPoint(0, 0), all, dc, false, 0, 0);
    }
    if (!DC) ReleaseDC(CtrlHandle, dc);
    RefreshChildWindows(CtrlHandle);
  }
  EndPaint(CtrlHandle, &ps);
}

void TacGroupBoxWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  const UINT redraw = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME;
  TControl* owner = d->FOwnerControl;
  switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SendSetRedraw(CtrlHandle, false);
      TacMainWnd::acWndProc(Message);
      SendSetRedraw(CtrlHandle, true);
      d->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, redraw);
      return;
    case WM_SETTEXT:
      TacMainWnd::acWndProc(Message);
      d->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, redraw);
      return;
    case WM_PAINT:
      if (DlgMode) break;
      AC_WMPaint(nullptr);
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      if (DlgMode) break;
      if (owner && !owner->ControlState.Contains(csPaintCopy) && LPARAM(Message.WParam) != Message.LParam) {
        if (owner->ComponentState() & csDesigning) TacMainWnd::acWndProc(Message);
      } else if (Message.WParam) {
        if (d->BGChanged) PrepareCache();
        if (!d->BGChanged)
          BitBlt(reinterpret_cast<HDC>(Message.WParam), 0, 0, WndSize.cx, WndSize.cy,
                 d->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
      }
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      if (!DlgMode) break;
      AC_WMPaint(nullptr);
      Message.Result = 1;
      return;
    case WM_PARENTNOTIFY:
      TacMainWnd::acWndProc(Message);
      if ((Message.WParam & 0xFFFF) == WM_CREATE && owner) NotifyParentForm(owner);
      return;
    case WM_PRINT:
      d->BGChanged = true;
      d->FUpdating = false;
      Message.LParam = 1;
      AC_WMPaint(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_SKINCOMMAND:
      if (!ManagerActive()) break;
      switch (SkinCommandOf(Message)) {
        case SKC_SKINREMOVED:
          if (owner) owner->ControlStyle.Exclude(csOpaque);
          break;
        case SKC_GETSKINMANAGER:  // the caption strip's height
          UpdateWndGeometry(this);
          Message.Result = CaptionRect().Height();
          return;
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
}
