#include "skin/controls/acMainWnd.h"

#include <algorithm>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Controls.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

String WindowText(HWND Wnd) {
  const int n = GetWindowTextLengthW(Wnd);
  String s(size_t(std::max(n, 0)) + 1, '\0');
  s.resize(size_t(std::max(GetWindowTextW(Wnd, s.data(), n + 1), 0)));
  return s;
}

bool OwnerGone(TControl* C) { return !C || (C->ComponentState() & csDestroying); }

}  // namespace

// ---- Creation and subclassing ----

void TacMainWnd::Attach(HWND AHandle, TsCommonData* ASkinData, const TacSkinRecords* ASkinManager,
                        const TacSkinParams& Params, bool Repaint) {
  CtrlHandle = AHandle;
  OldWndProc = nullptr;
  OldProc = nullptr;
  // Visual styles need no switching off: the layer draws its controls one way only.
  NewWndProcInstance = nullptr;
  SkinManager = ASkinManager;
  Destroyed = false;
  if (ASkinData) {
    SkinData = ASkinData;
  } else {
    OwnSkinData = true;
    InitSkinData();
    SkinData->FOwnerControl = Params.Control;
    SkinData->FOwnerObject = Params.Control;
    if (!Params.SkinSection.empty()) SkinData->SetSkinSection(Params.SkinSection);
    SkinData->SetCustomProp(1, !Params.UseSkinFontColor);
    SkinData->SetCustomProp(0, !Params.UseSkinColor);
  }
  SkinData->FCustomFont = ForceCustomFont || SkinData->FCustomFont;
  SkinData->FSWHandle = AHandle;
  Tag = 0;
  DlgMode = DlgModeFlag;
  SaveStdParams();
  ParamsChanged = false;
  Caption = WindowText(AHandle);
  SubclassWindow(AHandle, Repaint);
  if (TControl* c = SkinData->FOwnerControl) {
    OldCtrlStyle = c->ControlStyle;
    c->ControlStyle.Include(csOpaque);
  }
  AfterCreation();
}

void TacMainWnd::InitSkinData() {
  if (SkinData) return;
  SkinData = new TsCommonData(nullptr, true);
  SkinData->FSkinManager = SkinManager;
  SkinData->Loading = true;
}

void TacMainWnd::AfterCreation() {
  SkinData->Loading = false;
  SkinData->InitCommonProp();
}

TControl* TacMainWnd::SubclassTarget() const { return SkinData ? SkinData->FOwnerControl : nullptr; }

void TacMainWnd::SubclassWindow(HWND Wnd, bool) {
  DontRepaint = false;
  CtrlHandle = Wnd;
  TControl* target = SubclassTarget();
  if (!target) {
    OldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC));
    FLink = std::make_shared<Link>(Link{this, OldProc});
    NewWndProcInstance = MakeObjectInstance([link = FLink](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (TacMainWnd* h = link->Handler) {
        TMessage msg{m, wp, lp, 0};
        h->acWndProc(msg);
        return msg.Result;
      }
      return CallWindowProcW(link->Old, w, m, wp, lp);
    });
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(NewWndProcInstance)));
  } else {
    auto proc = [this](TMessage& m) { acWndProc(m); };
    SkinData->WndProc = proc;
    OldWndProc = target->WindowProc;
    target->WindowProc = proc;
  }
}

bool TacMainWnd::Unsubclass(TControl* Target) {
  if (OldWndProc) {
    if (SkinData) SkinData->WndProc = OldWndProc;
    if (Target) Target->WindowProc = OldWndProc;
    return true;
  }
  if (!NewWndProcInstance ||
      GetWindowLongPtrW(CtrlHandle, GWLP_WNDPROC) != LONG_PTR(reinterpret_cast<uintptr_t>(NewWndProcInstance)))
    return false;
  SetWindowLongPtrW(CtrlHandle, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(OldProc)));
  OldProc = nullptr;
  UnlinkInstance();
  FreeObjectInstance(NewWndProcInstance);
  NewWndProcInstance = nullptr;
  return true;
}

void TacMainWnd::UnlinkInstance() {
  if (FLink) FLink->Handler = nullptr;
  FLink.reset();
}

// ---- Messages ----

LRESULT TacMainWnd::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  acWndProc(m);
  return m.Result;
}

LRESULT TacMainWnd::CallPrevWndProc(HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam) {
  if (OldWndProc) {
    TMessage m{Msg, WParam, LParam, 0};
    OldWndProc(m);
    LParam = m.LParam;
    return m.Result;
  }
  if (OldProc) {
    try {
      return CallWindowProcW(OldProc, Handle, Msg, WParam, LParam);
    } catch (...) {
      return 0;  // a foreign procedure's failure never reaches the handler's callers
    }
  }
  return 0;
}

bool TacMainWnd::ManagerActive() const {
  const TacSkinRecords* m = SkinData ? SkinData->SkinManager() : nullptr;
  return m && m->CommonSkinData.Active;
}

void TacMainWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CREATE:
    case WM_NCCREATE:
      Forward(Message);
      if (SkinData) SkinData->InitCommonProp();
      return;
    case WM_DESTROY:
    case WM_NCDESTROY:
      WMDestroy(Message);
      return;
    case WM_SIZE:
      if (SkinData) SkinData->BGChanged = true;
      break;
    case WM_SETTEXT:
      Forward(Message);
      Caption = WindowText(CtrlHandle);
      return;
    case WM_MOUSEMOVE:
      if (DefaultManager && SetActiveControlProc && IsWindowEnabled(CtrlHandle)) SetActiveControlProc(CtrlHandle);
      break;
    case WM_PRINT:
      Message.Result = SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      return;
    case WM_UPDATEUISTATE:
      return;
    case WM_SKINCOMMAND:
      if (ManagerActive() && SkinCommand(Message)) return;
      break;
  }
  Forward(Message);
}

bool TacMainWnd::SkinCommand(TMessage& Message) {
  TsCommonData* d = SkinData;
  const bool own = Message.LParam == LPARAM(d->SkinManager());
  TControl* owner = d->FOwnerControl;
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (own) {
        d->UpdateIndexes(true);
        d->BGChanged = true;
        BroadcastSkinMessage(owner, CtrlHandle, Message);
      }
      return false;
    case SKC_SKINREMOVED:
      if (own) RestoreStdParams();
      return false;
    case SKC_SKINLOADED:
      if (own) {
        d->UpdateIndexes(true);
        d->BGChanged = true;
        d->FUpdating = false;
        if (!WindowAnimationActive && (owner ? owner->Visible() : IsWindowVisible(CtrlHandle)))
          SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
        BroadcastSkinMessage(owner, CtrlHandle, Message);
      }
      return true;
    case SKC_REFRESH:
      if (!d->FUpdating) return false;
      if (!d->CheckUpdating(true)) {
        SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      }
      if (auto* wc = dynamic_cast<TWinControl*>(owner)) RefreshChildControls(wc);
      return true;
    case SKC_ISUPDATING:
      Message.Result = d->GetUpdating() ? 1 : 0;
      return true;
    case SKC_COMPLEXBG:
      return owner && HandleCommonSkinCommand(Message, d);
    case SKC_PREPARECACHE:
      PrepareCtrlCache(d, CtrlHandle, false);
      return false;
    case SKC_GETBGINFO:
      if (Message.LParam)
        d->FillBgInfo(*reinterpret_cast<TacBackgroundInfo*>(Message.LParam), d->CurrentState(), CtrlHandle);
      return true;
    case SKC_SETPRINTDC:
      if (Message.LParam)
        d->CtrlSkinState |= ACS_PRINTING;
      else
        d->CtrlSkinState &= ~ACS_PRINTING;
      d->PrintDC = reinterpret_cast<HDC>(Message.LParam);
      return false;
    default:
      return HandlerAnswer(Message) || HandleCommonSkinCommand(Message, d);
  }
}

bool TacMainWnd::HandlerAnswer(TMessage& Message) {
  TsCommonData* d = SkinData;
  switch (SkinCommandOf(Message)) {
    case SKC_ISSKINNED:
      Message.Result = 1;
      return true;
    case SKC_GETHANDLER:
      Message.Result = LRESULT(this);
      return true;
    case SKC_SETSECTION:
      if (Message.LParam) {
        d->SetSkinSection(*reinterpret_cast<const String*>(Message.LParam));
        Message.Result = 1;
      } else {
        Message.Result = 0;
      }
      return true;
    case SKC_GETBGCOLOR:
      Forward(Message);
      if (Message.Result == 0) Message.Result = LRESULT(d->GetControlColor(d->CurrentState(), CtrlHandle));
      return true;
    case SKC_GETSKINDATA:
      Message.Result = LRESULT(d);
      return true;
    case SKC_GETAPPLICATION:
      Message.Result = LRESULT(Application);
      return true;
  }
  return false;
}

void TacMainWnd::WMDestroy(TMessage& Message) {
  WindowEnding = true;
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (SkinData) SkinData->KillAnimation();
  if (auto* wc = dynamic_cast<TWinControl*>(owner))
    for (int i = 0; i < wc->ControlCount(); ++i)
      if (auto* sb = dynamic_cast<TSpeedButton*>(wc->Controls(i))) sb->Perform(WM_DESTROY, 0, 0);
  if (Subclassing()) {
    try {
      if (TControl* target = SubclassTarget()) {
        ReleaseWndHandler(CtrlHandle, false, this);
        // The restored procedure sees the message once, straight: sending it to
        // the window again would show it twice to every window-level subclass.
        target->WindowProc(Message);
      } else {
        Forward(Message);
        if (Message.Result == 0) ReleaseWndHandler(CtrlHandle, false, this);
      }
    } catch (...) {
    }
    Message.Result = 1;
  } else {
    // Nothing was before the handler: the default end of a window, never a second message to it.
    Message.Result = DefWindowProcW(CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
  }
  if (SkinData && SkinData->FCacheBmp) SkinData->FCacheBmp->SetSize(0, 0);
}

// ---- Release and destruction ----

void TacMainWnd::RestoreStdParams() {
  if (OwnSkinData && SkinData) SkinData->RemoveCommonProp();
  if (CtrlHandle) RemovePropW(CtrlHandle, kScrollHandlerProp);
  ParamsChanged = false;
}

void TacMainWnd::SetSkinParams() { ParamsChanged = true; }

void ReleaseWndHandler(HWND, bool Repaint, TacMainWnd* H) {
  if (!H || H->Destroyed) return;
  TControl* target = H->SubclassTarget();
  const bool released = H->Unsubclass(target);
  // The control's style comes back with its procedure.
  if (released && target && !OwnerGone(target)) target->ControlStyle = H->OldCtrlStyle;
  H->RestoreStdParams();
  if (IsWindowVisible(H->CtrlHandle)) UpdateWndFrame(H->CtrlHandle, Repaint);
  if (H->OwnSkinData && H->SkinData) H->SkinData->ClearLinks();
  H->Destroyed = released;
  if (released) H->Released();
}

void TacMainWnd::BeforeDestruction() {
  TControl* target = SubclassTarget();
  if (SkinData && SkinManager) {
    if (Destroyed) {
      if (!OwnerGone(target)) RestoreStdParams();
    }
  }
  if (!Destroyed && !AdapterRemovingItems) {
    // Whatever the skin, a freed handler never stays where the window can call it.
    if (Unsubclass(target) && target && !OwnerGone(target)) target->ControlStyle = OldCtrlStyle;
    if (SkinData && SkinManager) RestoreStdParams();
    Destroyed = true;
  }
  if (SkinData) {
    if (CtrlHandle) RemovePropW(CtrlHandle, kScrollHandlerProp);
    if (OwnSkinData) delete SkinData;
    SkinData = nullptr;
  }
  SkinManager = nullptr;
}

TacMainWnd::~TacMainWnd() {
  // Somebody subclassed the window after this handler: its procedure instance
  // stays in their chain and passes every message to the procedure before it.
  UnlinkInstance();
  if (OwnSkinData) delete SkinData;
}

void TacHandlerDeleter::operator()(TacMainWnd* Handler) const {
  if (!Handler) return;
  Handler->InDestroying = true;
  Handler->BeforeDestruction();
  delete Handler;
}

// ---- Shared services ----

void UpdateWndGeometry(HWND Wnd, HWND& ParentWnd, TRect& WndRect, TRect& ParentRect, TSize& WndSize, TPoint& WndPos) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  WndRect = TRect(r.left, r.top, r.right, r.bottom);
  ParentWnd = GetParent(Wnd);
  RECT pr{};
  if (ParentWnd) GetWindowRect(ParentWnd, &pr);
  ParentRect = TRect(pr.left, pr.top, pr.right, pr.bottom);
  WndSize = TSize(WndRect.Width(), WndRect.Height());
  POINT p{r.left, r.top};
  if (ParentWnd) ScreenToClient(ParentWnd, &p);
  WndPos = TPoint(p.x, p.y);
}

void UpdateWndGeometry(TacMainWnd* H) {
  UpdateWndGeometry(H->CtrlHandle, H->ParentWnd, H->WndRect, H->ParentRect, H->WndSize, H->WndPos);
}

void PrepareCtrlCache(TsCommonData* Data, HWND Wnd, bool DlgMode) {
  if (!Data || !Data->BGChanged || !Wnd) return;
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  Data->PrepareCacheBmp();
  HWND parent = GetParent(Wnd);
  TCacheInfo ci = EmptyCI;
  if (parent) {
    TacBackgroundInfo info;
    QueryWndBgInfo(info, parent, false);
    if (info.BgType == 3) {  // the parent has no image yet: try again later
      Data->FUpdating = true;
      return;
    }
    ci = CacheInfoFromBgInfo(info);
  }
  TBitmap* bmp = Data->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(wr.right - wr.left, wr.bottom - wr.top);
  const TRect all(0, 0, bmp->Width(), bmp->Height());
  if (DlgMode && DefaultManager && DefaultManager->Palette[pcBorder] != clFuchsia) {
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(TColor(ColorToRGB(clWindow)));
    c->FillRect(all);
    c->Brush()->SetColor(DefaultManager->Palette[pcBorder]);
    c->FrameRect(all);
  } else {
    POINT p{wr.left, wr.top};
    if (!parent || !ScreenToClient(parent, &p)) return;
    const TacSkinRecords* skin = Data->SkinManager();
    if (skin && skin->IsValidSkinIndex(Data->SkinIndex)) {
      const int state = Data->FFocused || (Data->FMouseAbove && HasHotState(Data, true)) ? 1 : 0;
      auto* edit = dynamic_cast<TCustomEdit*>(Data->FOwnerControl);
      if (edit && edit->BorderStyle() == bsNone)
        PaintControlBg(*Data, ci, state, bmp, TPoint(p.x, p.y), all);
      else
        PaintControlItem(*Data, ci, bmp, TPoint(p.x, p.y), all, state, !DlgMode);
    }
  }
  TControl* owner = Data->FOwnerControl;
  if (owner && !owner->Enabled()) {
    int kind = 1;
    if (HasProperty(owner, "DisabledKind"))
      kind = (SetPropHasElement(owner, "DisabledKind", "dkBlended") ? 1 : 0) |
             (SetPropHasElement(owner, "DisabledKind", "dkGrayed") ? 2 : 0);
    CopyParentBg(bmp, kind, owner->Parent(), Data->GetParentCache(), TPoint(owner->Left(), owner->Top()));
  }
  Data->BGChanged = false;
}

void FillCacheCorners(TsCommonData* Data, int State, TacMainWnd* Handler) {
  if (!Data || (Handler && Handler->DlgMode) || !Data->SkinManager() || !Data->FCacheBmp) return;
  if (Data->FCacheBmp->Width() <= 1 || Data->FCacheBmp->Height() <= 1) return;
  RefreshBgFromParent(Data, State, 15);
}

HFONT CreateNonClientFont(int Kind) {
  NONCLIENTMETRICSW m;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) return nullptr;
  const LOGFONT* f = &m.lfMessageFont;
  switch (Kind) {
    case 1: f = &m.lfCaptionFont; break;
    case 2: f = &m.lfSmCaptionFont; break;
    case 3: f = &m.lfMenuFont; break;
    case 4: f = &m.lfStatusFont; break;
  }
  return CreateFontIndirect(f);
}

namespace {

// The canvas's font takes a font handle's face, height and style.
void AssignFontHandle(TCanvas* Canvas, HFONT Font) {
  LOGFONT lf;
  if (!Font || !GetObject(Font, sizeof lf, &lf)) return;
  TFont* f = Canvas->Font();
  f->SetName(lf.lfFaceName);
  f->SetHeight(lf.lfHeight);
  TFontStyles st;
  if (lf.lfWeight >= FW_BOLD) st.Include(fsBold);
  if (lf.lfItalic) st.Include(fsItalic);
  if (lf.lfUnderline) st.Include(fsUnderline);
  if (lf.lfStrikeOut) st.Include(fsStrikeOut);
  f->SetStyle(st);
  SelectObject(Canvas->Handle(), f->Handle());
}

}  // namespace

void SelectNonClientFont(TCanvas* Canvas, int Kind) {
  HFONT f = CreateNonClientFont(Kind);
  if (!f) return;
  AssignFontHandle(Canvas, f);
  DeleteObject(f);
}

void SelectCacheFont(TacMainWnd* H) {
  if (!H || !H->SkinData) return;
  H->SkinData->PrepareCacheBmp();
  TCanvas* c = H->SkinData->FCacheBmp->Canvas();
  if (TControl* ctrl = H->SkinData->FOwnerControl) {
    c->Font()->Assign(ctrl->Font());
    SelectObject(c->Handle(), c->Font()->Handle());
  } else if (HFONT f = reinterpret_cast<HFONT>(SendSkinMessage(H->CtrlHandle, WM_GETFONT, 0, 0))) {
    AssignFontHandle(c, f);
  } else {
    SelectNonClientFont(c, 5);
  }
}

bool HasHotState(TsCommonData* Data, bool CheckKind) {
  const TacSkinRecords* m = Data ? Data->SkinManager() : nullptr;
  if (!m || Data->SkinIndex < 0 || Data->BorderIndex < 0) return false;
  if (CheckKind && ((Data->COC >= 2 && Data->COC <= 18) || (Data->COC >= 76 && Data->COC <= 85)) && !HotEditsAllowed)
    return false;
  if (CheckKind && NoMouseHover) return false;
  if (m->IsValidImgIndex(Data->BorderIndex) && m->ma[size_t(Data->BorderIndex)].ImageCount > 1) return true;
  return m->IsValidSkinIndex(Data->SkinIndex) && m->gd[size_t(Data->SkinIndex)].States > 1;
}

void BroadcastSkinMessage(TControl* Control, HWND Wnd, TMessage& Message) {
  if (auto* wc = dynamic_cast<TWinControl*>(Control))
    BroadcastToChildren(wc, Message);
  else if (!Control && Wnd)
    BroadcastToChildWindows(Wnd, Message);
}

void SetOrdPropIfExists(TObject* Control, const String& Name, int64_t Value) {
  if (Control && HasProperty(Control, Name)) SetOrdPropByName(Control, Name, Value);
}

int GetOrdPropIfExists(TObject* Control, const String& Name) {
  return Control && HasProperty(Control, Name) ? int(GetOrdPropByName(Control, Name)) : 0;
}

int GetColorPropRGB(TObject* Control, const String& Name) {
  return Control && HasProperty(Control, Name) ? int(ColorToRGB(TColor(GetOrdPropByName(Control, Name)))) : 0;
}

void UpdateWndFrame(HWND Wnd, bool UseFrameChange) {
  if (UseFrameChange)
    SetWindowPos(Wnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                     SWP_NOSENDCHANGING);
  else
    SendSkinMessage(Wnd, WM_NCPAINT, 1, 0);
}

void AdaptTopParent(HWND Wnd) {
  HWND top = Wnd;
  while (HWND p = GetParent(top)) top = p;
  if (top) SendSkinCommand(top, SKC_ADAPTCONTROL, 0);
}

void ValidateByEmptyPaint(HWND Wnd) {
  PAINTSTRUCT ps;
  BeginPaint(Wnd, &ps);
  EndPaint(Wnd, &ps);
}
