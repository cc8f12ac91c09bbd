#include "skin/controls/acContainerWnd.h"

#include <algorithm>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TypInfo.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr UINT kFrameChange = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS |
                              SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

void DefaultSection(TsCommonData* d, const char* Section) {
  if (d->SkinSection().empty()) d->SetSkinSection(Section);
}

void MakeActiveOnMouse(HWND Wnd) {
  if (DefaultManager && SetActiveControlProc && IsWindowEnabled(Wnd)) SetActiveControlProc(Wnd);
}

// The border strips of the cache, Width wide, into the window DC (or DC).
void CopyCacheBorder(HWND Wnd, TsCommonData* d, HDC DC, int Width) {
  if (Width <= 0 || !d->FCacheBmp) return;
  HDC dc = DC ? DC : GetWindowDC(Wnd);
  const int saved = SaveDC(dc);
  CopyBorderStrips(dc, 0, 0, d->FCacheBmp->Width(), d->FCacheBmp->Height(), d->FCacheBmp->Canvas()->Handle(), 0, 0,
                   Width);
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(Wnd, dc);
}

int ClientWidth(HWND Wnd) {
  RECT r{};
  GetClientRect(Wnd, &r);
  return r.right - r.left;
}

int HalfFrame(HWND Wnd) {
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  return std::max(0, int((wr.right - wr.left) - ClientWidth(Wnd)) / 2);
}

// The cache of a window whose border is painted from it, rebuilt when the
// background changed; false when it was still good.
bool RebuildBorderCache(TacMainWnd* H, TRect& ClientRect) {
  UpdateWndGeometry(H);
  if (!H->SkinData->BGChanged) return false;
  RECT c{};
  GetClientRect(H->CtrlHandle, &c);
  ClientRect = TRect(c.left, c.top, c.right, c.bottom);
  PrepareCtrlCache(H->SkinData, H->CtrlHandle, H->DlgMode);
  FillCacheCorners(H->SkinData, 0, H);
  H->SkinData->BGChanged = false;
  return true;
}

bool OwnerBusy(TControl* C) {
  return C && ((C->ComponentState() & csDestroying) || (C->Parent() && C->Parent()->ControlState.Contains(csCreating)));
}

}  // namespace

// ---- Containers ----

void TacContainerWnd::AfterCreation() {
  DefaultSection(SkinData, "TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacContainerWnd::PrepareCache() {
  if (RebuildBorderCache(this, ClientRect)) BorderWidth = (WndSize.cy - ClientRect.Height()) / 2;
}

void TacContainerWnd::AC_WMPrint(HDC DC) {
  if (!IsWindowVisible(CtrlHandle)) return;
  SkinData->BGChanged = true;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  const int b = BorderWidth, w = cache->Width() - 2 * b, h = cache->Height() - 2 * b;
  SetAlphaInRect(cache, TRect(0, 0, w, h), 255, -1);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  BitBlt(dc, 0, 0, w, h, cache->Canvas()->Handle(), b, b, SRCCOPY);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacContainerWnd::AC_WMPaint() {
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  if (!SkinData->CheckUpdating(false)) AC_WMPrint(nullptr);
  EndPaint(CtrlHandle, &ps);
}

void TacContainerWnd::AC_WMNCPaint() {
  if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) || SkinData->CheckUpdating(false)) return;
  PrepareCache();
  CopyCacheBorder(CtrlHandle, SkinData, nullptr, (WndSize.cx - ClientRect.Width()) / 2);
}

void TacContainerWnd::acWndProc(TMessage& M) {
  if (!Destroyed) switch (M.Msg) {
      case WM_SIZE:
      case WM_WINDOWPOSCHANGED:
        SkinData->BGChanged = true;
        break;
      case WM_PAINT:
        if (!IsWindowVisible(CtrlHandle)) break;
        AC_WMPaint();
        return;
      case WM_ERASEBKGND:
        M.Result = 1;
        return;
      case WM_NCPAINT:
        if (!IsWindowVisible(CtrlHandle)) break;
        // Without a client edge the window keeps its own frame.
        if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) break;
        AC_WMNCPaint();
        return;
      case WM_PRINTCLIENT:
        AC_WMPrint(reinterpret_cast<HDC>(M.WParam));
        return;
    }
  TacMainWnd::acWndProc(M);
  if (Destroyed) return;
  switch (M.Msg) {
    case WM_SIZE:
      SkinData->BGChanged = true;
      break;
    case WM_WINDOWPOSCHANGED:
      SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      break;
    case WM_MOUSEMOVE:
      MakeActiveOnMouse(CtrlHandle);
      break;
  }
}

// ---- Search bands ----

void TacSearchWnd::AfterCreation() {
  DefaultSection(SkinData, "TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacSearchWnd::PrepareCache() { RebuildBorderCache(this, ClientRect); }

void TacSearchWnd::AC_WMNCPaint() {
  if (SkinData->CheckUpdating(false)) return;
  PrepareCache();
  CopyCacheBorder(CtrlHandle, SkinData, nullptr, 3);
}

void TacSearchWnd::acWndProc(TMessage& M) {
  if (!Destroyed) switch (M.Msg) {
      case WM_PAINT:
        TacMainWnd::acWndProc(M);
        AC_WMNCPaint();
        return;
      case WM_ERASEBKGND:
        M.Result = 1;
        return;
      case WM_NCPAINT:
        AC_WMNCPaint();
        return;
    }
  TacMainWnd::acWndProc(M);
  if (Destroyed) return;
  if (M.Msg == WM_SIZE) {
    SkinData->BGChanged = true;
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  } else if (M.Msg == WM_MOUSEMOVE) {
    MakeActiveOnMouse(CtrlHandle);
  }
}

// ---- Scroll boxes ----

void TacScrollBoxWnd::AfterCreation() {
  DefaultSection(SkinData, "PANEL_LOW");
  UpdateWndFrame(CtrlHandle, true);
  TacScrollWnd::AfterCreation();
}

void TacScrollBoxWnd::PrepareCache() {
  TsCommonData* d = SkinData;
  d->PrepareCacheBmp();
  TControl* c = d->FOwnerControl;
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const int w = c ? c->Width() : int(wr.right - wr.left), h = c ? c->Height() : int(wr.bottom - wr.top);
  d->FCacheBmp->SetSize(w, h);
  const TacSkinRecords* skin = d->SkinManager();
  if (skin && skin->IsValidSkinIndex(d->SkinIndex))
    PaintControlItem(*d, d->GetParentCache(), d->FCacheBmp.get(), c ? TPoint(c->Left(), c->Top()) : TPoint(0, 0),
                     TRect(0, 0, w, h), 0, true);
  d->BGChanged = false;
}

void TacScrollBoxWnd::AC_WMPaint(HDC DC) {
  TsCommonData* d = SkinData;
  auto* owner = dynamic_cast<TWinControl*>(d->FOwnerControl);
  if (OwnerBusy(owner) || d->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  const int saved = SaveDC(dc);
  const bool rebuild = d->HalfVisible || d->BGChanged;
  if (d->RepaintIfMoved()) {
    RECT clip{};
    GetClipBox(dc, &clip);
    d->HalfVisible = !(clip.right - clip.left >= WndSize.cx - 2 * cxLeftEdge && clip.bottom - clip.top >= WndSize.cy - 2 * cyTopEdge);
  } else {
    d->HalfVisible = false;
  }
  if (rebuild) PrepareCache();
  const int e = std::max(cxLeftEdge, 0);
  if (owner)
    CopyCacheToDC(owner, d, TPoint(e, e), TRect(0, 0, WndSize.cx - 2 * e, WndSize.cy - 2 * e), dc, true, 0, 0);
  else
    BitBlt(dc, 0, 0, WndSize.cx - 2 * e, WndSize.cy - 2 * e, d->FCacheBmp->Canvas()->Handle(), e, e, SRCCOPY);
  if (owner) {
    PaintChildrenToDC(dc, owner, false, TPoint(0, 0));
    RefreshChildControls(owner);
  }
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacScrollBoxWnd::AC_WMNCPaint(HDC DC) {
  UpdateWndGeometry(this);
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  PrepareCache();
  PaintScrollBars(this, CtrlHandle, -1, dc);
  // The border is the frame's edge; the bars beside the client are not part of it.
  CopyCacheBorder(CtrlHandle, SkinData, dc, std::max(cxLeftEdge, 0));
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

bool TacScrollBoxWnd::ContainerMessage(TMessage& M) {
  TsCommonData* d = SkinData;
  TControl* owner = d->FOwnerControl;
  switch (M.Msg) {
    case WM_SIZE:
    case CM_TEXTCHANGED:
      d->BGChanged = true;
      return false;
    case WM_SETTEXT:
      if (!IsWindowVisible(CtrlHandle)) return false;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacScrollWnd::acWndProc(M);
      SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      d->BGChanged = true;
      SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      return true;
    case WM_PAINT: {
      InvalidateRect(CtrlHandle, nullptr, true);
      PAINTSTRUCT ps;
      BeginPaint(CtrlHandle, &ps);
      EndPaint(CtrlHandle, &ps);
      return true;
    }
    case WM_ERASEBKGND:
      AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
      M.Result = 1;
      return true;
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
      if (d->IsStateTransparent(0)) d->BGChanged = true;
      return false;
    case WM_UPDATEUISTATE:
      M.Result = 1;
      return true;
    case WM_PARENTNOTIFY:
      if ((M.WParam & 0xFFFF) != WM_CREATE && (M.WParam & 0xFFFF) != WM_DESTROY) return false;
      TacScrollWnd::acWndProc(M);
      if ((M.WParam & 0xFFFF) == WM_CREATE) NotifyParentForm(owner);
      return true;
    case WM_PRINTCLIENT:
      AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
      AC_WMNCPaint(reinterpret_cast<HDC>(M.WParam));
      return true;
    case CM_SHOWINGCHANGED:
      if (owner && owner->Visible()) {
        NotifyParentForm(owner);
        TMessage changed{WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINCHANGED), LPARAM(d->SkinManager()), 0};
        BroadcastSkinMessage(owner, CtrlHandle, changed);
        TMessage loaded{WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINLOADED), LPARAM(d->SkinManager()), 0};
        BroadcastSkinMessage(owner, CtrlHandle, loaded);
      }
      return false;
  }
  return false;
}

void TacScrollBoxWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d) {
    TacScrollWnd::acWndProc(M);
    return;
  }
  if (M.Msg == WM_SKINCOMMAND) {
    switch (SkinCommandOf(M)) {
      case SKC_SKINCHANGED:
      case SKC_SKINLOADED:
        TacScrollWnd::acWndProc(M);
        if (Destroyed) return;
        HandleCommonSkinCommand(M, d);
        BroadcastSkinMessage(d->FOwnerControl, CtrlHandle, M);
        if (SkinCommandOf(M) == SKC_SKINLOADED) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
        return;
      case SKC_SKINREMOVED:
        d->SkinIndex = -1;
        if (TControl* c = d->FOwnerControl) c->ControlStyle.Exclude(csOpaque);
        HandleCommonSkinCommand(M, d);
        SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
        return;
      case SKC_REFRESH:
        TacScrollWnd::acWndProc(M);
        return;
      case SKC_ISSKINNED:
        M.Result = 1;
        return;
      case SKC_PREPARECACHE:
        return;
      case SKC_GETAPPLICATION:
        M.Result = LRESULT(Application);
        return;
    }
  }
  auto* owner = dynamic_cast<TWinControl*>(d->FOwnerControl);
  const bool container = owner && owner->ControlStyle.Contains(csAcceptsControls) && d->Skinned();
  if (container) {
    if (M.Msg == WM_NCPAINT) {
      if (IsWindowVisible(CtrlHandle) && !bPreventStyleChange) {
        UpdateScrolls(this, false);
        if (WindowAnimationActive) return;
        UpdateWndGeometry(this);
        if (d->CheckUpdating(false)) return;
        if (!ScrollsInitialized) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
        HDC dc = GetWindowDC(CtrlHandle);
        RECT clip{};
        if (dc == d->PrintDC || GetClipBox(dc, &clip) != NULLREGION) {
          if (d->BGChanged) {
            if (!ParamsChanged) SetSkinParams();
            PrepareCache();
          }
          PaintScrollBars(this, CtrlHandle, -1, dc);
          CopyCacheBorder(CtrlHandle, d, dc, std::max(cxLeftEdge, 0));
        }
        ReleaseDC(CtrlHandle, dc);
        M.Result = 0;
        return;
      }
    } else if (ContainerMessage(M)) {
      return;
    }
  }
  TacScrollWnd::acWndProc(M);
  if (!Destroyed && M.Msg == WM_WINDOWPOSCHANGING) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

// ---- Native paint ----

void TacNativePaint::AfterCreation() {
  DefaultSection(SkinData, "TRANSPARENT");
  TacScrollBoxWnd::AfterCreation();
}

void TacNativePaint::acWndProc(TMessage& M) {
  if (!Destroyed && SkinData) {
    if (M.Msg == WM_PAINT || M.Msg == WM_ERASEBKGND) {
      LPARAM lp = M.LParam;
      CallPrevWndProc(CtrlHandle, M.Msg, M.WParam, lp);  // the control paints its client itself
      return;
    }
    if (M.Msg == WM_SKINCOMMAND && SkinCommandOf(M) == SKC_PREPARECACHE) {
      Forward(M);
      if (SkinData->BGChanged) {
        UpdateWndGeometry(this);
        PrepareCache();
        FillCacheCorners(SkinData, 0, this);
      }
      return;
    }
  }
  TacScrollBoxWnd::acWndProc(M);
}

// ---- Static text ----

String StaticTextSection(bool HasBevelKind, TBevelCut Outer, TBevelCut Inner) {
  if (!HasBevelKind) return "TRANSPARENT";
  if (Outer == bvLowered) return Inner == bvRaised ? "GROUPBOX" : "PANEL_LOW";
  if (Outer == bvRaised) return Inner == bvLowered ? "GROUPBOX" : "PANEL";
  return "TRANSPARENT";
}

void TacStaticTextWnd::AfterCreation() {
  TsCommonData* d = SkinData;
  Control = dynamic_cast<TWinControl*>(d->FOwnerControl);
  if (Control) {
    const bool updating = d->FUpdating;
    d->FUpdating = true;
    if (d->SkinSection().empty()) {
      const bool kind = HasProperty(Control, "BevelKind") && GetOrdProp(Control, "BevelKind") != 0;
      const auto cut = [&](const char* name) {
        return HasProperty(Control, name) ? TBevelCut(GetOrdProp(Control, name)) : bvNone;
      };
      d->SetSkinSection(StaticTextSection(kind, cut("BevelOuter"), cut("BevelInner")));
    }
    d->FUpdating = updating;
  }
  TacMainWnd::AfterCreation();
}

void TacStaticTextWnd::WriteText(const TRect& R, TCanvas* Canvas) {
  UINT flags = DT_CENTER | DT_VCENTER;
  bool enabled = true;
  if (Control) {
    Canvas->Font()->Assign(Control->Font());
    const TAlignment a = HasProperty(Control, "Alignment") ? TAlignment(GetOrdProp(Control, "Alignment")) : taLeftJustify;
    flags = AlignToDrawTextFlags(a) | DT_WORDBREAK;
    enabled = Control->Enabled();
  }
  DrawSkinControlText(Canvas, Caption, enabled, 0, *SkinData, flags, R);
}

bool TacStaticTextWnd::PrepareCache() {
  TsCommonData* d = SkinData;
  d->PrepareCacheBmp();
  const TCacheInfo ci = d->GetParentCache();
  if (!ci.Ready && ci.FillColor == clFuchsia) {
    d->FUpdating = true;
    return false;
  }
  TBitmap* bmp = d->FCacheBmp.get();
  const int w = Control ? Control->Width() : WndSize.cx, h = Control ? Control->Height() : WndSize.cy;
  bmp->SetSize(w, h);
  const TRect all(0, 0, w, h);
  if (d->CustomColor() && Control) {
    bmp->Canvas()->Brush()->SetColor(Control->Color());
    bmp->Canvas()->FillRect(all);
  } else {
    PaintControlItem(*d, ci, bmp, Control ? TPoint(Control->Left(), Control->Top()) : TPoint(0, 0), all, 0, true);
  }
  bmp->Canvas()->Brush()->SetStyle(bsClear);
  WriteText(TextRect(), bmp->Canvas());
  d->BGChanged = false;
  return true;
}

TRect TacStaticTextWnd::TextRect() {
  RECT c{};
  GetClientRect(CtrlHandle, &c);
  return TRect(0, 0, c.right - c.left, c.bottom - c.top);
}

void TacStaticTextWnd::AC_WMPaint(HDC DC) {
  TsCommonData* d = SkinData;
  if (OwnerBusy(Control) || d->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  const int saved = SaveDC(dc);
  const bool rebuild = d->HalfVisible || d->BGChanged;
  d->HalfVisible = false;
  const bool ready = !rebuild || PrepareCache();
  if (ready && d->FCacheBmp) {
    const int b = HalfFrame(CtrlHandle);
    if (Control)
      CopyCacheToDC(Control, d, TPoint(b, b), TRect(0, 0, WndSize.cx - 2 * b, WndSize.cy - 2 * b), dc, true, 0, 0);
    else
      BitBlt(dc, 0, 0, WndSize.cx - 2 * b, WndSize.cy - 2 * b, d->FCacheBmp->Canvas()->Handle(), b, b, SRCCOPY);
  }
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacStaticTextWnd::AC_WMNCPaint(HDC DC) {
  if (SkinData->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  if (PrepareCache())
    CopyCacheBorder(CtrlHandle, SkinData, DC, HalfFrame(CtrlHandle));
  else
    SkinData->FUpdating = true;
}

void TacStaticTextWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !Control || !d) {
    TacMainWnd::acWndProc(M);
    return;
  }
  if (M.Msg == WM_SKINCOMMAND) {
    switch (SkinCommandOf(M)) {
      case SKC_SKINCHANGED:
      case SKC_SKINLOADED:
        TacMainWnd::acWndProc(M);
        if (!Destroyed) BroadcastSkinMessage(Control, CtrlHandle, M);
        return;
      case SKC_SKINREMOVED:
        d->SkinIndex = -1;
        Control->ControlStyle.Exclude(csOpaque);
        TacMainWnd::acWndProc(M);
        return;
      case SKC_ISSKINNED:
        M.Result = 1;
        return;
      case SKC_PREPARECACHE:
        PrepareCache();
        break;
      case SKC_GETAPPLICATION:
        M.Result = LRESULT(Application);
        return;
    }
  }
  if (d->Skinned()) {
    bool done = true;
    switch (M.Msg) {
      case WM_SETTEXT:
        if (!IsWindowVisible(CtrlHandle)) {
          done = false;
          break;
        }
        SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
        TacMainWnd::acWndProc(M);
        SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
        d->BGChanged = true;
        SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
        break;
      case WM_PAINT: {
        InvalidateRect(CtrlHandle, nullptr, true);
        PAINTSTRUCT ps;
        BeginPaint(CtrlHandle, &ps);
        EndPaint(CtrlHandle, &ps);
        break;
      }
      case WM_ERASEBKGND:
        AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
        M.Result = 1;
        break;
      case WM_WINDOWPOSCHANGING:
      case WM_WINDOWPOSCHANGED:
        if (d->IsStateTransparent(0)) d->BGChanged = true;
        done = false;
        break;
      case WM_NCPAINT:
        AC_WMNCPaint(nullptr);
        M.Result = 0;
        break;
      case WM_UPDATEUISTATE:
        M.Result = 1;
        break;
      case WM_PARENTNOTIFY:
        if ((M.WParam & 0xFFFF) != WM_CREATE && (M.WParam & 0xFFFF) != WM_DESTROY) {
          done = false;
          break;
        }
        TacMainWnd::acWndProc(M);
        if ((M.WParam & 0xFFFF) == WM_CREATE) NotifyParentForm(Control);
        break;
      case WM_PRINTCLIENT:
        AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
        AC_WMNCPaint(reinterpret_cast<HDC>(M.WParam));
        break;
      case CM_ENABLEDCHANGED:
        SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
        TacMainWnd::acWndProc(M);
        SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
        d->BGChanged = true;
        InvalidateRect(CtrlHandle, nullptr, true);
        break;
      case CM_TEXTCHANGED:
        d->BGChanged = true;
        done = false;
        break;
      default:
        done = false;
    }
    if (done) return;
  }
  TacMainWnd::acWndProc(M);
  if (!Destroyed && M.Msg == WM_WINDOWPOSCHANGING) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

// ---- Size grips ----

void TacSizerWnd::AfterCreation() {
  DefaultSection(SkinData, "TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacSizerWnd::AC_WMPaint() {
  UpdateWndGeometry(this);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(CtrlHandle, &ps);
  const TacSkinRecords* skin = SkinData->SkinManager();
  // The parent's background always: a skin without a grip image shows no
  // grip, but the window must not keep whatever its surface held.
  if (skin && WndSize.cx > 0 && WndSize.cy > 0) {
    auto b = NewBitmap32(WndSize.cx, WndSize.cy);
    TacBackgroundInfo info;
    info.DC = b->Canvas()->Handle();
    info.R = TRect(0, 0, WndSize.cx, WndSize.cy);
    info.Offset = WndPos;
    QueryWndBgInfo(info, ParentWnd, true);
    if (skin->IsValidImgIndex(skin->ConstData.GripRightBottom)) {
      const TsMaskData& m = skin->ma[size_t(skin->ConstData.GripRightBottom)];
      const TPoint sz = MaskSize(m);
      PaintMaskFrame(b.get(), TPoint(std::max(WndSize.cx - sz.X, 0), std::max(WndSize.cy - sz.Y, 0)), 0,
                     SelfCacheInfo(b.get()), m, 1);
    }
    BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, b->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  EndPaint(CtrlHandle, &ps);
}

void TacSizerWnd::acWndProc(TMessage& M) {
  if (!Destroyed) switch (M.Msg) {
      case WM_PAINT:
        AC_WMPaint();
        return;
      case WM_ERASEBKGND:
      case WM_NCPAINT:
        M.Result = 1;
        return;
    }
  TacMainWnd::acWndProc(M);
  if (Destroyed || M.Msg != WM_NCHITTEST) return;
  if (IsWindowEnabled(CtrlHandle) && DefaultManager && SetActiveControlProc) SetActiveControlProc(nullptr);
  M.Result = HTBOTTOMRIGHT;
}

// ---- Transparent panels ----

void TacTransPanelWnd::AfterCreation() {
  DefaultSection(SkinData, "TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacTransPanelWnd::AC_WMPaint(HDC DC) {
  GetWindowRect(CtrlHandle, reinterpret_cast<RECT*>(&WndRect));
  WndSize = TSize{WndRect.Width(), WndRect.Height()};
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  SkinData->BGChanged = true;
  PrepareCtrlCache(SkinData, CtrlHandle, DlgMode);
  if (SkinData->FCacheBmp)
    CopyCacheToWndDC(CtrlHandle, SkinData, TPoint(0, 0), TRect(0, 0, WndSize.cx, WndSize.cy), dc, false, 0, 0);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacTransPanelWnd::acWndProc(TMessage& M) {
  if (!Destroyed) switch (M.Msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(CtrlHandle, &ps);
        AC_WMPaint(ps.hdc);
        EndPaint(CtrlHandle, &ps);
        M.Result = 0;
        return;
      }
      case WM_ERASEBKGND:
        AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
        M.Result = 1;
        return;
      case WM_NCPAINT:
        M.Result = 0;
        return;
    }
  TacMainWnd::acWndProc(M);
}

// ---- Panels ----

String PanelSection(TBevelCut Outer, TBevelCut Inner, bool HasBorderStyle) {
  if (Outer == bvLowered || Outer == bvRaised) return StaticTextSection(true, Outer, Inner);
  return HasBorderStyle ? "PANEL_LOW" : "TRANSPARENT";
}

void TacPanelWnd::AfterCreation() {
  TsCommonData* d = SkinData;
  if (TControl* owner = d->FOwnerControl) {
    const bool updating = d->FUpdating;
    d->FUpdating = true;
    Control = dynamic_cast<TWinControl*>(owner);
    Panel = dynamic_cast<TacAccessPanel*>(owner);
    if (d->SkinSection().empty())
      d->SetSkinSection(Panel ? PanelSection(Panel->BevelOuter(), Panel->BevelInner(), Panel->BorderStyle() != bsNone)
                              : String("TRANSPARENT"));
    if (Control) {
      TMessage m{WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINCHANGED), LPARAM(d->SkinManager()), 0};
      BroadcastToChildren(Control, m);
    }
    d->FUpdating = updating;
  } else {
    Panel = nullptr;
    DefaultSection(d, "TRANSPARENT");
  }
  TacMainWnd::AfterCreation();
}

TRect TacPanelWnd::TextRect() {
  if (!Panel) return TacStaticTextWnd::TextRect();
  TRect r = Panel->ClientRect();
  int e = Panel->BorderWidth();
  if (Panel->BevelOuter() != bvNone) e += Panel->BevelWidth();
  if (Panel->BevelInner() != bvNone) e += Panel->BevelWidth();
  return TRect(r.Left + e, r.Top + e, r.Right - e, r.Bottom - e);
}

void TacPanelWnd::WriteText(const TRect& R, TCanvas* Canvas) {
  TControl* owner = SkinData->FOwnerControl;
  if (owner && owner->Tag == kSilentPanelTag) return;
  UINT flags = DT_CENTER | DT_VCENTER;
  bool enabled = true;
  if (owner) {
    Canvas->Font()->Assign(owner->Font());
    enabled = owner->Enabled();
  }
  Canvas->Brush()->SetStyle(bsClear);
  if (Panel) flags = AlignToDrawTextFlags(Panel->Alignment()) | DT_WORDBREAK | DT_VCENTER;
  // One text line high, in the middle of the room.
  const int h = Canvas->TextHeight("Wg");
  TRect band = R;
  band.Top = R.Top + (R.Height() - h) / 2;
  band.Bottom = band.Top + h;
  DrawSkinControlText(Canvas, Caption, enabled, 0, *SkinData, flags, band);
}

void TacPanelWnd::AC_WMPaint(HDC DC) {
  TsCommonData* d = SkinData;
  if (OwnerBusy(Control) || d->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  const int saved = SaveDC(dc);
  const bool rebuild = d->HalfVisible || d->BGChanged;
  if (d->RepaintIfMoved() && Panel) {
    RECT clip{};
    GetClipBox(dc, &clip);
    d->HalfVisible = clip.right - clip.left < Panel->Width() || clip.bottom - clip.top < Panel->Height();
  } else {
    d->HalfVisible = false;
  }
  if (!rebuild || PrepareCache()) {
    const int b = HalfFrame(CtrlHandle);
    if (Panel) {
      CopyCacheToDC(Panel, d, TPoint(b, b), TRect(0, 0, WndSize.cx - 2 * b, WndSize.cy - 2 * b), dc, true, 0, 0);
      PaintChildrenToDC(dc, Panel, false, TPoint(0, 0));
      RefreshChildControls(Panel);
    } else if (d->FCacheBmp) {
      BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, d->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
  }
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacPanelWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !Control || !Control->ControlStyle.Contains(csAcceptsControls)) {
    TacMainWnd::acWndProc(M);
    return;
  }
  if (M.Msg == WM_SKINCOMMAND) {
    switch (SkinCommandOf(M)) {
      case SKC_REFRESH:
        if (d->FUpdating) {
          d->FUpdating = false;
          RedrawWindow(CtrlHandle, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        RefreshChildControls(Control);
        return;
      case SKC_PREPARECACHE:
        PrepareCache();
        return;
    }
  }
  const bool visible = IsWindowVisible(CtrlHandle);
  switch (M.Msg) {
    case WM_ERASEBKGND:
      if (!d->Skinned()) break;
      if (visible) AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
      M.Result = 1;
      return;
    case WM_NCPAINT:
      if (!d->Skinned()) break;
      if (visible) AC_WMNCPaint(nullptr);
      M.Result = 0;
      return;
    case WM_PRINTCLIENT: {
      if (!d->Skinned()) break;
      HDC dc = reinterpret_cast<HDC>(M.WParam);
      d->BGChanged = true;
      d->FUpdating = false;
      AC_WMNCPaint(dc);
      const int b = HalfFrame(CtrlHandle);
      POINT org{};
      GetViewportOrgEx(dc, &org);
      SetViewportOrgEx(dc, org.x + b, org.y + b, nullptr);
      AC_WMPaint(dc);
      SetViewportOrgEx(dc, org.x, org.y, nullptr);
      return;
    }
    case CM_VISIBLECHANGED:
      d->BGChanged = true;
      d->FUpdating = false;
      if (M.WParam == 1) {
        PrepareCache();
        TacMainWnd::acWndProc(M);
        if (!Destroyed) RefreshChildControls(Control);
      } else {
        TacMainWnd::acWndProc(M);
      }
      return;
    case CM_SHOWINGCHANGED:
      if (Control->Visible()) {
        NotifyParentForm(Control);
        TMessage changed{WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINCHANGED), LPARAM(d->SkinManager()), 0};
        BroadcastSkinMessage(Control, CtrlHandle, changed);
        TMessage loaded{WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINLOADED), LPARAM(d->SkinManager()), 0};
        BroadcastSkinMessage(Control, CtrlHandle, loaded);
      }
      break;
  }
  TacStaticTextWnd::acWndProc(M);
}
