#include "skin/controls/acEditWnd.h"

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr UINT kFrameChange = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS |
                              SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT kSwallowedMsg = 0x2100;

bool Visible(HWND Wnd) { return (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0; }

// A DC other than the print DC whose clip box is empty: nothing of the window shows there.
bool NothingToPaint(TsCommonData* d, HDC DC) {
  if (!DC || DC == d->PrintDC) return false;
  RECT r{};
  return GetClipBox(DC, &r) == NULLREGION;
}

// Sets a colour through the control's setter with the record marked as changing it.
template <class F>
void WhileFontChanging(TsCommonData* d, F&& Change) {
  const unsigned held = d->CtrlSkinState & ACS_FONTCHANGING;
  d->CtrlSkinState |= ACS_FONTCHANGING;
  Change();
  d->CtrlSkinState = (d->CtrlSkinState & ~ACS_FONTCHANGING) | held;
}

}  // namespace

// ---- The base of windows with skinned bars ----

void TacBaseWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !d->Skinned()) {
    TacScrollWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_SIZE:
    case WM_EXITSIZEMOVE:
      d->BGChanged = true;
      break;
    case WM_SETCURSOR:
      Forward(M);
      return;
    case kSwallowedMsg:
      return;
    case WM_SKINCOMMAND:
      if (SkinCommandOf(M) == SKC_SKINLOADED && M.LParam == LPARAM(d->SkinManager())) {
        TacScrollWnd::acWndProc(M);
        if (IsWindowVisible(CtrlHandle)) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
        return;
      }
      if (SkinCommandOf(M) == SKC_PREPARECACHE) PrepareCtrlCache(d, CtrlHandle, false);
      break;
  }
  TacScrollWnd::acWndProc(M);
  if (Destroyed) return;
  switch (M.Msg) {
    case WM_SIZE:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (!DontRepaint) UpdateScrolls(this, true);
      break;
    case WM_ENABLE:
    case CM_ENABLEDCHANGED:
      if (IsWindowVisible(CtrlHandle)) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      break;
  }
}

// ---- The edit handler ----

void TacEditWnd::InitSkinData() {
  TacScrollWnd::InitSkinData();
  SkinData->COC = kOwnEditKind;
}

void TacEditWnd::AfterCreation() {
  TsCommonData* d = SkinData;
  if (d->COC > 230 && d->SkinSection().empty()) d->SetSkinSection("EDIT");
  if (TControl* c = d->FOwnerControl) {
    SingleLineEdit = dynamic_cast<TCustomEdit*>(c) && !(GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & ES_MULTILINE);
  } else {
    SingleLineEdit = false;
  }
  CtrlListChanged = false;
  TacScrollWnd::AfterCreation();
}

TRect TacEditWnd::ClientRect() {
  if (FClientRect.Top == -1) FClientRect = ClientRectInWindow(CtrlHandle);
  return FClientRect;
}

bool TacEditWnd::NCContent() {
  if (!dynamic_cast<TCustomEdit*>(SkinData->FOwnerControl)) return false;
  if (sBarHorz->fScrollVisible || sBarVert->fScrollVisible) return false;
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const int e = cxLeftEdge;
  const TRect inner(e, e, wr.right - wr.left - e, wr.bottom - wr.top - e);
  return ClientRect() != inner;
}

void TacEditWnd::SaveStdParams() {
  TControl* c = SkinData->FOwnerControl;
  if (!c) return;
  StdColor = c->Color();
  StdFontColor = c->Font()->Color();
  if (HasProperty(c, "FocusColor")) FocusColor = TColor(GetOrdProp(c, "FocusColor"));
}

void TacEditWnd::RestoreStdParams() {
  TacScrollWnd::RestoreStdParams();
  TsCommonData* d = SkinData;
  if (!d) return;
  TControl* c = d->FOwnerControl;
  const bool ownerAlive = c && !(c->ComponentState() & csDestroying);
  if (ownerAlive) {
    WhileFontChanging(d, [&] {
      if (!d->CustomColor()) c->SetColor(clWindow);
      if (!d->CustomFont()) {
        TNotifyEvent change = c->Font()->OnChange;
        c->Font()->OnChange = nullptr;
        c->Font()->SetColor(clWindowText);
        c->Font()->OnChange = change;
      }
      if (HasProperty(c, "FocusColor")) SetOrdProp(c, "FocusColor", FocusColor);
    });
  }
  if (IsWindowVisible(CtrlHandle) && (!c || ownerAlive)) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
}

void TacEditWnd::SetSkinParams() {
  // A colour change notifies the control, which may ask again: one run at a time.
  if (bPreventStyleChange || FInSetSkinParams) return;
  FInSetSkinParams = true;
  bPreventStyleChange = true;
  TsCommonData* d = SkinData;
  d->FUpdating = true;
  TacScrollWnd::SetSkinParams();
  const TacSkinRecords* skin = d->SkinManager();
  bool gone = false;
  if (d->Skinned() && skin) {
    if (TControl* c = d->FOwnerControl) {
      const int states = skin->IsValidSkinIndex(d->SkinIndex) ? skin->gd[size_t(d->SkinIndex)].States : 1;
      const bool hot = d->CurrentState() != 0 && states > 1;
      if (hot) CtrlState |= csNCPaintNeeded;
      if (!d->CustomColor()) {
        const TColor col = d->GetControlColor(hot ? 1 : 0, CtrlHandle);
        if (c->Color() != col) {
          if (HasProperty(c, "FocusColor")) {
            SetOrdProp(c, "Color", col);
            SetOrdProp(c, "FocusColor", col);
          } else {
            c->SetColor(col);
          }
          CtrlState |= csPaintNeeded;
        }
        Color = col;
      }
      if (!d->CustomFont()) {
        const TColor fc = GetSectionFontColor(CtrlHandle, d->SkinIndex, skin, hot ? 1 : 0);
        if (c->Font()->Color() != fc) {
          WhileFontChanging(d, [&] { c->Font()->SetColor(fc); });
          CtrlState |= csPaintNeeded;
        }
      }
      gone = Destroyed;
    } else {
      if (!d->CustomColor()) Color = DlgMode ? TColor(ColorToRGB(clWindow)) : d->GetControlColor(0, CtrlHandle);
      FrameColor = skin->Palette[pcBorder];
    }
    if (!gone) {
      d->BGChanged = true;
      d->FUpdating = false;
    }
  } else {
    FrameColor = 0;
  }
  if (!gone) bPreventStyleChange = false;
  FInSetSkinParams = false;
}

void TacEditWnd::FocusChanged(TMessage& M) {
  TsCommonData* d = SkinData;
  auto* wc = dynamic_cast<TWinControl*>(d->FOwnerControl);
  if (!(HasHotState(d, false) && wc && wc->CanFocus() && wc->TabStop())) {
    Forward(M);
    return;
  }
  d->BGChanged = true;
  d->FFocused = M.Msg == WM_SETFOCUS;
  TacBaseWnd::acWndProc(M);
  if (Destroyed) return;
  SetSkinParams();
  if (CtrlState & csPaintNeeded)
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
  else if (CtrlState & csNCPaintNeeded)
    SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacEditWnd::WMPaint(TMessage& M) {
  TsCommonData* d = SkinData;
  if (!IsWindowVisible(CtrlHandle) || bPreventStyleChange) {
    TacBaseWnd::acWndProc(M);
    return;
  }
  HDC dc = reinterpret_cast<HDC>(M.WParam);
  if (NothingToPaint(d, dc)) {
    ValidateByEmptyPaint(CtrlHandle);
    return;
  }
  if (SingleLineEdit && !IsWindowEnabled(CtrlHandle) && d->FCacheBmp) {
    // A disabled single-line edit shows the cache (the section with its greyed text) alone.
    PAINTSTRUCT ps;
    HDC wdc = BeginPaint(CtrlHandle, &ps);
    HDC target = GetWindowDC(CtrlHandle);
    BitBlt(target, 0, 0, WndSize.cx, WndSize.cy, d->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    ReleaseDC(CtrlHandle, target);
    (void)wdc;
    EndPaint(CtrlHandle, &ps);
    return;
  }
  if (d->CheckUpdating(false) || (WindowAnimationActive && !d->PrintDC)) {
    ValidateByEmptyPaint(CtrlHandle);
    return;
  }
  PaintScrollBars(this, CtrlHandle, -1, nullptr);
  CtrlState &= ~csPaintNeeded;
  if (!ParamsChanged) SetSkinParams();
  TacBaseWnd::acWndProc(M);
}

void TacEditWnd::WMEraseBkgnd(TMessage& M) {
  TsCommonData* d = SkinData;
  if (!IsWindowVisible(CtrlHandle) || bPreventStyleChange) {
    TacBaseWnd::acWndProc(M);
    return;
  }
  HDC dc = reinterpret_cast<HDC>(M.WParam);
  if (NothingToPaint(d, dc)) {
    M.Result = 1;
    return;
  }
  if (d->CheckUpdating(false)) return;
  CtrlState &= ~csPaintNeeded;
  if (!ParamsChanged) SetSkinParams();
  const bool disabledSingle = SingleLineEdit && !IsWindowEnabled(CtrlHandle);
  if (!disabledSingle && (!WindowAnimationActive || dc == d->PrintDC))
    TacBaseWnd::acWndProc(M);
  else
    M.Result = 1;
}

void TacEditWnd::WMNCPaint(TMessage& M) {
  TsCommonData* d = SkinData;
  if (!IsWindowVisible(CtrlHandle) || bPreventStyleChange) {
    TacBaseWnd::acWndProc(M);
    return;
  }
  if (WindowAnimationActive || StdNCPaint) {
    CtrlState &= ~csNCPaintNeeded;
    return;
  }
  UpdateWndGeometry(this);
  if (d->CheckUpdating(false)) return;
  if (!ScrollsInitialized) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
  HDC dc = GetWindowDC(CtrlHandle);
  if (NothingToPaint(d, dc)) {
    ReleaseDC(CtrlHandle, dc);
    return;
  }
  if (d->BGChanged) {
    if (!ParamsChanged) SetSkinParams();
    PrepareCtrlCache(d, CtrlHandle, DlgMode);
  }
  const int saved = SaveDC(dc);
  if (NCContent()) {
    // The window draws its own frame parts first, inside the skinned border.
    StdNCPaint = true;
    if (cxLeftEdge > 0) {
      HRGN rgn = CreateRectRgn(2, 2, WndSize.cx - 2, WndSize.cy - 2);
      SetWindowRgn(CtrlHandle, rgn, false);
    }
    Forward(M);
    if (cxLeftEdge > 0) SetWindowRgn(CtrlHandle, nullptr, false);
    StdNCPaint = false;
  }
  PaintScrollBars(this, CtrlHandle, -1, dc);
  if (cxLeftEdge < 0) cxLeftEdge = 2;
  if (d->FCacheBmp && cxLeftEdge > 0)
    CopyBorderStrips(dc, 0, 0, d->FCacheBmp->Width(), d->FCacheBmp->Height(), d->FCacheBmp->Canvas()->Handle(), 0,
                     0, cxLeftEdge);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
  CtrlState &= ~csNCPaintNeeded;
  M.Result = 0;
}

void TacEditWnd::WMPrint(TMessage& M) {
  TsCommonData* d = SkinData;
  Forward(M);
  if (M.Result == 2) return;
  UpdateWndGeometry(this);
  d->FUpdating = false;
  d->BGChanged = true;
  if (!ParamsChanged) SetSkinParams();
  PrepareCtrlCache(d, CtrlHandle, DlgMode);
  if (!DlgMode) FillCacheCorners(d, 0, this);
  TBitmap* cache = d->FCacheBmp.get();
  HDC dc = reinterpret_cast<HDC>(M.WParam);
  if (!cache || !dc) return;
  const int e = std::max(cxLeftEdge, 0);
  const bool clientOnly = (M.LParam & PRF_CLIENT) != 0;
  if (clientOnly) {
    POINT p;
    OffsetViewportOrgEx(dc, -e, -e, &p);
    IntersectClipRect(dc, 0, 0, cache->Width() - e, cache->Height() - e);
  } else {
    if (e > 0) CopyBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, e);
    PaintScrollBars(this, CtrlHandle, -1, dc);
  }
  const int saved = SaveDC(dc);
  POINT p;
  OffsetViewportOrgEx(dc, e, e, &p);
  if (sBarHorz->fScrollVisible || sBarVert->fScrollVisible) {
    const int w = cache->Width() - 2 * e - (sBarVert->fScrollVisible ? ScrollBarMetric(sBarVert.get(), true) : 0);
    const int h = cache->Height() - 2 * e - (sBarHorz->fScrollVisible ? ScrollBarMetric(sBarHorz.get(), true) : 0);
    IntersectClipRect(dc, 0, 0, w, h);
  }
  const int from = clientOnly ? 0 : e;
  BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), from, from, SRCCOPY);
  SendMessageW(CtrlHandle, WM_PAINT, WPARAM(dc), 0);
  SendMessageW(CtrlHandle, WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT | PRF_OWNED);
  RestoreDC(dc, saved);
  if (d->COC == kListViewKind) TacBaseWnd::acWndProc(M);
}

bool TacEditWnd::HandleAlphaCmd(TMessage& M) {
  TsCommonData* d = SkinData;
  switch (SkinCommandOf(M)) {
    case SKC_SKINLOADED:
      if (M.LParam == LPARAM(d->SkinManager())) {
        TacBaseWnd::acWndProc(M);
        if (Destroyed) return true;
        SetSkinParams();
      }
      return false;
    case SKC_REFRESH:
      if (d->FUpdating && !d->CheckUpdating(true))
        RedrawWindow(CtrlHandle, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      return false;
    case SKC_ISSKINNED:
      M.Result = 1;
      return true;
    case SKC_PREPARECACHE:
      UpdateWndGeometry(this);
      PrepareCtrlCache(d, CtrlHandle, DlgMode);
      FillCacheCorners(d, 0, this);
      return true;
    case SKC_GETSKININFO:
      if (M.LParam) reinterpret_cast<int*>(M.LParam)[1] = d->SkinIndex;
      return true;
    case SKC_GETBGINFO: {
      Forward(M);
      if (!M.LParam) return true;
      auto& info = *reinterpret_cast<TacBackgroundInfo*>(M.LParam);
      if (info.BgType == 0) {
        if (d->CustomColor()) {
          info.BgType = 1;
          info.Color = d->FOwnerControl ? d->FOwnerControl->Color() : Color;
        } else {
          d->FillBgInfo(info, d->CurrentState(), CtrlHandle);
        }
      }
      info.Offset.X += cxLeftEdge;
      info.Offset.Y += cyTopEdge;
      return true;
    }
    case SKC_BEGINREDRAW:
    case SKC_ENDREDRAW:
      if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR)) {
        TacBaseWnd::acWndProc(M);
      } else if (SkinCommandOf(M) == SKC_BEGINREDRAW) {
        SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      } else {
        SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
        InvalidateRect(CtrlHandle, nullptr, true);
      }
      return true;
    case SKC_GETAPPLICATION:
      M.Result = LRESULT(Application);
      return true;
    case SKC_SETSCALE:
      Forward(M);
      return HandleCommonSkinCommand(M, d);
    default:
      return HandleCommonSkinCommand(M, d);
  }
}

void TacEditWnd::acWndProc(TMessage& M) {
  if (M.Msg == WM_SIZE) {
    // A hidden window is not resized through the handler: its bars and cache wait for it to show.
    if (IsWindowVisible(CtrlHandle) || Visible(CtrlHandle)) TacBaseWnd::acWndProc(M);
    return;
  }
  TsCommonData* d = SkinData;
  if (M.Msg == WM_SKINCOMMAND && SkinCommandOf(M) == SKC_ISSKINNED && !Destroyed) {
    M.Result = 1;
    return;
  }
  if (M.Msg == WM_SKINCOMMAND && SkinCommandOf(M) == SKC_MOUSELEAVE && !Destroyed && d) {
    TacBaseWnd::acWndProc(M);
    if (Destroyed) return;
    if (!MouseInWindow(CtrlHandle)) d->FMouseAbove = false;
  }
  if (Destroyed || !d || !d->Skinned()) {
    TacBaseWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      FocusChanged(M);
      return;
    case WM_SETREDRAW:
      if (M.WParam == 1 && CtrlListChanged) {
        NotifyParentForm(d->FOwnerControl);
        CtrlListChanged = false;
      }
      break;
    case WM_SETTEXT:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      d->BGChanged = true;
      if (!(d->CtrlSkinState & ACS_FONTCHANGING) && !d->FUpdating)
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
      break;
    case WM_PAINT:
      WMPaint(M);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(M);
      return;
    case WM_NCPAINT:
      WMNCPaint(M);
      return;
    case WM_PRINT:
      WMPrint(M);
      return;
    case WM_SKINCOMMAND:
      if (HandleAlphaCmd(M)) return;
      break;
  }
  TacBaseWnd::acWndProc(M);
  if (Destroyed) return;
  switch (M.Msg) {
    case WM_SETFONT:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_LBUTTONDOWN:
    case CN_KEYDOWN:
    case CN_KEYUP:
      if (!DontRepaint) UpdateScrolls(this, true);
      break;
    case EM_REPLACESEL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
      UpdateScrolls(this, true);
      break;
    case LB_GETTOPINDEX:
      if (auto* lb = dynamic_cast<TCustomListBox*>(d->FOwnerControl); lb && M.Result == 0 && lb->Items()->Count() == 0)
        M.Result = -1;
      break;
    case WM_MOUSEMOVE:
      if (DefaultManager && SetActiveControlProc && IsWindowEnabled(CtrlHandle)) SetActiveControlProc(CtrlHandle);
      if (!d->FUpdating && GetCapture()) UpdateScrolls(this, true);
      break;
    case WM_PARENTNOTIFY:
      if ((M.WParam & 0xFFFF) == WM_CREATE) CtrlListChanged = true;
      break;
    case CM_CONTROLLISTCHANGE:
      CtrlListChanged = true;
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      HandleCommonMessage(M, d);
      break;
  }
}
