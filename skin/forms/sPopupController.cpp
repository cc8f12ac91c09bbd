// Popup forms of controls: showing beside the control, the unroll animation,
// the shadow window, and every way a popup closes.

#include "skin/forms/sPopupController.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"

namespace {

constexpr unsigned kCheckInterval = 100;  // ms between the checks of an open popup
constexpr int kFrameTime = 12;            // ms of one unroll frame
constexpr UINT kTopNoActivate = 0x65B;    // no size, move, redraw, activation or owner order; show; no changing
constexpr UINT kAnimTop = 0x718;          // no redraw, activation, copy bits, owner order or changing
constexpr UINT kAfterAnim = 0x61B;        // no size, move, redraw, activation, owner order or changing

std::unique_ptr<TsPopupController> Shared;

bool ApplicationActive() { return GetActiveWindow() != nullptr; }

bool WindowWithin(HWND W, HWND Parent) { return W && Parent && (W == Parent || IsChild(Parent, W)); }

TsSkinProvider* ProviderOfForm(TForm* F) {
  if (!F || !F->HandleAllocated()) return nullptr;
  return dynamic_cast<TsSkinProvider*>(reinterpret_cast<TObject*>(
      SendSkinMessage(F->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_GETPROVIDER), 0)));
}

TForm* ParentFormOf(TWinControl* C) {
  TWinControl* p = C;
  while (p && p->Parent()) p = p->Parent();
  return dynamic_cast<TForm*>(p);
}

// The shadow picture: 19 x 19, black whose alpha falls off over 9 pixels
// around a transparent centre.
std::unique_ptr<TBitmap> MakeShadowTemplate() {
  constexpr int kSide = 2 * TacShadowForm::ShadowSize + 1;
  auto b = NewBitmap32(kSide, kSide);
  const int c = kSide / 2;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const double d = std::max(std::abs(x - c), std::abs(y - c));
      const double f = std::clamp((TacShadowForm::ShadowSize - d) / TacShadowForm::ShadowSize, 0.0, 1.0);
      const uint32_t a = d == 0 ? 0 : uint32_t(std::lround(72 * f * f));
      SetPixel32(b.get(), x, y, a << 24);
    }
  return b;
}

}  // namespace

TsPopupController* PopupController() {
  if (!Shared) Shared = std::make_unique<TsPopupController>(nullptr);
  return Shared.get();
}

void FreePopupController() { Shared.reset(); }

// ---- TacShadowForm ----

TacShadowForm::TacShadowForm(TForm* AOwner, int) : TacGlowForm(nullptr), FOwnerForm(AOwner) {
  Tag = kNoSkinTag;
  TransparentMouse = true;
  OldWndProc = FOwnerForm->WindowProc;
  FOwnerForm->WindowProc = [this](TMessage& M) { NewWndProc(M); };
}

TacShadowForm::~TacShadowForm() {
  *FAlive = false;
  KillShadow();
}

TBitmap* TacShadowForm::ShadowTemplate() {
  static std::unique_ptr<TBitmap> t = MakeShadowTemplate();
  return t.get();
}

void TacShadowForm::NewWndProc(TMessage& Message) {
  if (Message.Msg == WM_CLOSE || (Message.Msg == WM_SHOWWINDOW && Message.WParam == 0)) HideWnd();
  if (Message.Msg == WM_SKINCOMMAND && SkinCommandOf(Message) == SKC_SETSHADOWPOS) {
    const auto* r = reinterpret_cast<const TacShadowPos*>(Message.LParam);
    Locked = false;
    if (r && r->R.Height() > 0) SetNewPos(r->R.Left, r->R.Top, r->R.Width(), r->R.Height(), r->Blend);
    return;
  }
  // The popup's own handling may free this shadow (its handler goes with the window).
  const std::shared_ptr<bool> alive = FAlive;
  if (OldWndProc) {
    TWndMethod old = OldWndProc;
    old(Message);
  }
  if (!*alive || Locked || FDestroyed) return;
  if (Message.Msg == WM_SIZE || Message.Msg == WM_WINDOWPOSCHANGING || Message.Msg == WM_WINDOWPOSCHANGED) {
    if (!FOwnerForm || !FOwnerForm->HandleAllocated() || !IsWindowVisible(FOwnerForm->Handle()))
      HideWnd();
    else
      UpdateShadowPos();
  }
}

void TacShadowForm::UpdateShadowPos() {
  if (Locked || FDestroyed || !FOwnerForm || !FOwnerForm->HandleAllocated() || !IsWindowVisible(FOwnerForm->Handle()))
    return;
  RECT wr;
  GetWindowRect(FOwnerForm->Handle(), &wr);
  SetNewPos(wr.left, wr.top, FOwnerForm->Width(), FOwnerForm->Height(), 255);
}

void TacShadowForm::SetNewPos(int ALeft, int ATop, int AWidth, int AHeight, uint8_t BlendValue) {
  if (FDestroyed) return;
  constexpr int s = ShadowSize;
  auto bmp = NewBitmap32(AWidth + 2 * s, AHeight + 2 * s);
  FillRect32(bmp.get(), TRect(0, 0, bmp->Width(), bmp->Height()), 0, 0);
  TBitmap* t = ShadowTemplate();
  const int outer = (t->Width() - 1) / 2;
  CopyBitmapNineParts(bmp.get(), t, TRect(0, 0, bmp->Width(), bmp->Height()), TRect(0, 0, t->Width(), t->Height()),
                      TRect(outer, outer, outer, outer), TRect(s, s, s, s), TRect(1, 1, 1, 1), true, false);
  HWND h = Handle();
  const TPoint at(ALeft - s, ATop - s);
  SetWindowPos(h, nullptr, at.X, at.Y, bmp->Width(), bmp->Height(), SWP_NOACTIVATE | SWP_NOZORDER);
  UpdateGlowWindow(h, bmp.get(), BlendValue, &at);
  ShowWindow(h, SW_SHOWNOACTIVATE);
  if (FOwnerForm && FOwnerForm->HandleAllocated()) SetWindowPos(h, FOwnerForm->Handle(), 0, 0, 0, 0, kTopNoActivate);
}

void TacShadowForm::HideWnd() {
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
  Locked = true;
}

void TacShadowForm::KillShadow() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (FOwnerForm && OldWndProc) FOwnerForm->WindowProc = std::move(OldWndProc);
  FOwnerForm = nullptr;
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

// ---- TacFormHandler ----

TacFormHandler::~TacFormHandler() { ReleaseHooks(); }

void TacFormHandler::ReleaseHooks() {
  if (!Initialized) return;
  Initialized = false;
  CheckTimer.reset();
  if (ShadowForm) {
    ShadowForm->KillShadow();
    delete std::exchange(ShadowForm, nullptr);
  }
  if (PopupForm) {
    if (!(PopupForm->ComponentState() & csDestroying) && FormWndProc) PopupForm->WindowProc = std::move(FormWndProc);
    PopupForm->OnDeactivate = nullptr;
    if (OldOnClose) PopupForm->OnClose = std::move(OldOnClose);
    else PopupForm->OnClose = nullptr;
    PopupForm->RemoveFreeNotification(Controller);
  }
  if (PopupCtrl && CtrlHooked) {
    PopupCtrl->WindowProc = std::move(CtrlWndProc);
    PopupCtrl->RemoveFreeNotification(Controller);
  }
  CtrlHooked = false;
  PopupForm = nullptr;
  PopupCtrl = nullptr;
}

void TacFormHandler::CloseForm(bool Hide) {
  if (CheckTimer) CheckTimer->SetEnabled(false);
  if (Closed || ClosingForbidden || !PopupForm || !PopupForm->CloseQuery()) return;
  Closed = true;
  TCloseAction action = caHide;
  if (OldOnClose) OldOnClose(PopupForm, action);
  if (action == caNone) {
    Closed = false;
    return;
  }
  // The opening control learns that its popup went.
  if (PopupCtrl && PopupCtrl->HandleAllocated())
    SendSkinMessage(PopupCtrl->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_POPUPCLOSED), LPARAM(PopupForm));
  if (Hide) {
    if (action == caHide) PopupForm->Hide();
    else if (action == caFree) PopupForm->Release();
  }
  if (!ApplicationActive() && ParentForm && ParentForm->HandleAllocated())
    SendMessageW(ParentForm->Handle(), WM_NCACTIVATE, FALSE, 0);
}

void TacFormHandler::OnCheckTimer(TObject*) {
  if (Closed || !PopupForm) return;
  if (ApplicationActive()) {
    HWND c = GetCapture();
    const bool keep = !c || c == CaptureHandle || (PopupForm->HandleAllocated() && WindowWithin(c, PopupForm->Handle())) ||
                      (PopupCtrl && PopupCtrl->HandleAllocated() && WindowWithin(c, PopupCtrl->Handle())) ||
                      (Controller && Controller->HasChild(PopupForm));
    if (keep) return;
  }
  CloseForm(true);
}

void TacFormHandler::NewFormWndProc(TMessage& Message) {
  auto passOn = [&] {
    if (FormWndProc) FormWndProc(Message);
  };
  switch (Message.Msg) {
    case WM_DESTROY:
      passOn();
      ReleaseHooks();
      return;
    case WM_MOUSEACTIVATE:
      passOn();
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_WINDOWPOSCHANGING: {
      passOn();
      const auto* wp = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      // Another window put over it: the popup goes.
      if (wp && wp->flags == (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE) && PopupForm &&
          wp->hwnd != PopupForm->Handle())
        CloseForm(true);
      return;
    }
    case WM_SKINCOMMAND:
      if (SkinCommandOf(Message) == SKC_SKINREMOVED) {
        passOn();
        ReleaseHooks();
        return;
      }
      break;
  }
  passOn();
}

void TacFormHandler::NewCtrlWndProc(TMessage& Message) {
  auto passOn = [&] {
    if (CtrlWndProc) CtrlWndProc(Message);
  };
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case CM_CANCELMODE:
    case CM_FOCUSCHANGED:
      if (!Closed && PopupForm && PopupForm->Visible()) {
        // The click (or focus change) closes the popup and goes no further.
        CloseForm(true);
        return;
      }
      break;
    case WM_MOUSEWHEEL:
      if (!Closed && PopupForm && FormWndProc) {
        FormWndProc(Message);
        return;
      }
      break;
    case WM_DESTROY: {
      if (ShadowForm) ShadowForm->KillShadow();
      TWndMethod old = CtrlWndProc;
      if (old) old(Message);
      ReleaseHooks();
      return;
    }
  }
  passOn();
}

// ---- TsPopupController ----

TsPopupController::TsPopupController(TComponent* AOwner) : TComponent(AOwner) {}

TsPopupController::~TsPopupController() { FormHandlers.clear(); }

TacFormHandler* TsPopupController::HandlerOf(TForm* Form) {
  const int i = GetFormIndex(Form);
  return i < 0 ? nullptr : FormHandlers[size_t(i)].get();
}

int TsPopupController::GetFormIndex(TForm* Form) {
  for (size_t i = 0; i < FormHandlers.size(); ++i)
    if (Form && FormHandlers[i]->PopupForm == Form) return int(i);
  return -1;
}

int TsPopupController::RegisterForm(TForm* Form, TWinControl* Control) {
  int i = GetFormIndex(Form);
  if (i < 0) {
    auto h = std::make_unique<TacFormHandler>();
    h->Controller = this;
    h->PopupForm = Form;
    h->FormWndProc = Form->WindowProc;
    TacFormHandler* raw = h.get();
    Form->WindowProc = [raw](TMessage& M) { raw->NewFormWndProc(M); };
    Form->FreeNotification(this);
    h->Initialized = true;
    FormHandlers.push_back(std::move(h));
    i = int(FormHandlers.size()) - 1;
  }
  TacFormHandler* h = FormHandlers[size_t(i)].get();
  if (h->PopupCtrl != Control && h->PopupCtrl && h->CtrlHooked) {
    h->PopupCtrl->WindowProc = std::move(h->CtrlWndProc);
    h->CtrlHooked = false;
  }
  h->PopupCtrl = Control;
  h->ParentForm = ParentFormOf(Control);
  if (Control && !h->CtrlHooked) {
    h->CtrlWndProc = Control->WindowProc;
    Control->WindowProc = [h](TMessage& M) { h->NewCtrlWndProc(M); };
    Control->FreeNotification(this);
    h->CtrlHooked = true;
  }
  Form->OnDeactivate = [h](TObject*) { h->PopupForm->Close(); };
  if (!h->OldOnClose) {
    // The form's own close handler is kept once; the controller's takes its place.
    TCloseEvent own = Form->OnClose;
    if (own) h->OldOnClose = std::move(own);
  }
  Form->OnClose = [h](TObject*, TCloseAction& Action) {
    h->CloseForm(false);
    if (!h->Closed) Action = caNone;
  };
  h->Closed = false;
  return i;
}

void TsPopupController::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  for (auto& h : FormHandlers) {
    if (h->PopupCtrl == AComponent) {
      h->CtrlHooked = false;  // its procedure goes with it
      h->PopupCtrl = nullptr;
    }
    if (h->ParentForm == AComponent) h->ParentForm = nullptr;
  }
  std::erase_if(FormHandlers, [&](const std::unique_ptr<TacFormHandler>& h) {
    if (h->PopupForm != AComponent) return false;
    h->ReleaseHooks();
    return true;
  });
}

void TsPopupController::ShowForm(TForm* AForm, TWinControl* AOwnerControl, int AnimTime, int ALeft, int ATop) {
  if (!AForm || !AOwnerControl || SkipOpen) {
    SkipOpen = false;
    return;
  }
  SkipOpen = false;
  ShowPopup(AForm, AOwnerControl, AnimTime, TPoint(ALeft, ATop), false);
}

void TsPopupController::ShowFormPos(TForm* AForm, const TPoint& ALeftTop, int AnimTime) {
  if (!AForm || SkipOpen) {
    SkipOpen = false;
    return;
  }
  SkipOpen = false;
  ShowPopup(AForm, nullptr, AnimTime, ALeftTop, true);
}

void TsPopupController::ShowPopup(TForm* AForm, TWinControl* Control, int AnimTime, TPoint At, bool FromPoint) {
  TsSkinManager* sm = DefaultSkinManager();
  bool animate = FromPoint || (sm && sm->Active() && sm->Effects.AllowAnimation);
  TsSkinProvider* sp = ProviderOfForm(AForm);
  if (sp && !FromPoint) {
    animate = animate && sp->AllowAnimation;
    sp->AllowAnimation = false;
  }
  AForm->Hide();
  AForm->SetPosition(poDesigned);
  const uint8_t blend = 255;
  if (AForm->BorderStyle() != bsNone) {
    const int caption = SysCaptionHeight(AForm);
    AForm->SetBorderStyle(bsNone);
    AForm->SetHeight(AForm->Height() - caption);
  }
  TacFormHandler* h = FormHandlers[size_t(RegisterForm(AForm, Control))].get();
  if (!h->ShadowForm) h->ShadowForm = new TacShadowForm(AForm, 0);
  h->ShadowForm->Locked = true;
  h->CaptureHandle = GetCapture();
  if (!h->CheckTimer) {
    h->CheckTimer = std::make_unique<TacThreadedTimer>(nullptr);
    h->CheckTimer->SetInterval(kCheckInterval);
    h->CheckTimer->SetOnTimer([h](TObject* S) { h->OnCheckTimer(S); });
  }
  h->CheckTimer->SetEnabled(true);

  HWND wnd = AForm->Handle();
  SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_POPUP | WS_CLIPSIBLINGS);
  // A popup never takes activation from its parent.
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
  SetWindowLayered(wnd, true, 1);

  // Beside the control: below it, above it when there is no room below, and
  // moved left when it would pass the work area's right edge.
  TRect work;
  int left = At.X, top = At.Y;
  if (FromPoint) {
    GetWorkAreaAtPoint(At, work);
    top = At.Y - 2;
    if (top + AForm->Height() > work.Bottom) {
      top = At.Y - AForm->ClientHeight() - 1;
      AnimDirection = 1;
    } else {
      AnimDirection = 0;
    }
    if (left + AForm->Width() > work.Right) {
      left = work.Right - AForm->ClientWidth() - 1;
      AnimDirection |= 2;
    }
  } else {
    RECT cr;
    GetWindowRect(Control->Handle(), &cr);
    if (left == -1 && top == -1) {
      left = cr.left;
      top = cr.bottom - 2;
    }
    GetWorkAreaAtPoint(TPoint(cr.left, cr.top), work);
    if (top + AForm->Height() > work.Bottom) {
      top = std::max<int>(work.Top, cr.top - AForm->ClientHeight() - 1);
      AnimDirection = 1;
    } else {
      AnimDirection = 0;
    }
    if (left + AForm->Width() > work.Right) {
      left = work.Right - AForm->ClientWidth();
      AnimDirection |= 2;  // the right alignment is the value 2
    }
  }
  AForm->SetBounds(left, top, AForm->Width(), AForm->Height());

  if (h->ParentForm && h->ParentForm->FormStyle() == fsStayOnTop) AForm->SetFormStyle(fsStayOnTop);
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, kTopNoActivate);
  AForm->SetVisible(true);
  if (animate) {
    AnimShowPopup(AForm, AnimTime, blend);
  } else {
    SetWindowLayered(wnd, false, 255);
    SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
    SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_VISIBLE);
    RefreshChildControls(AForm);
    if (sp)
      SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, kTopNoActivate);
    else
      ShowWindow(wnd, SW_SHOWNOACTIVATE);
    h->ShadowForm->Locked = false;
  }
  if (sp && !FromPoint) sp->AllowAnimation = animate;
  if (h->ShadowForm && !h->ShadowForm->FDestroyed) h->ShadowForm->UpdateShadowPos();
}

void TsPopupController::AnimShowPopup(TForm* aForm, int wTime, uint8_t BlendValue) {
  HWND wnd = aForm->Handle();
  TacFormHandler* h = HandlerOf(aForm);
  auto anim = std::make_unique<TacGlowForm>(nullptr);
  FormAnimating = true;
  const int W = aForm->Width(), H = aForm->Height();
  auto snap = NewBitmap32(W, H);
  PaintControlToBitmap(snap.get(), aForm, 0, 0, ProviderOfForm(aForm), false);
  SetAlphaInRect(snap.get(), TRect(0, 0, W, H), 255, 0x1FFFFFFF);
  const int steps = wTime / kFrameTime;
  const uint8_t target = BlendValue;
  RECT wr;
  GetWindowRect(wnd, &wr);
  HWND aw = anim->Handle();
  SetWindowLongPtrW(aw, GWL_EXSTYLE, GetWindowLongPtrW(aw, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetWindowPos(aw, HWND_TOPMOST, wr.left, wr.top, W, H, kAnimTop);
  ShowWindow(aw, SW_SHOWNOACTIVATE);

  if (steps > 0) {
    auto frame = NewBitmap32(W, H);
    FillRect32(frame.get(), TRect(0, 0, W, H), 0, 0);
    SetStretchBltMode(frame->Canvas()->Handle(), HALFTONE);
    const int ctrlW = h && h->PopupCtrl ? h->PopupCtrl->Width() : 0;
    const bool up = (AnimDirection & 1) != 0, right = (AnimDirection & 2) != 0;
    double y0 = up ? H : 0, y1 = y0;
    double x0 = right ? W - ctrlW : 0, x1 = right ? W : ctrlW;
    double dy = H / 3.5, dx = right ? W / 3.5 : (W - x1) / 3.5;
    double alpha = 0;
    const TPoint at(wr.left, wr.top);
    for (int i = 0; i <= steps; ++i) {
      const DWORD start = GetTickCount();
      alpha = std::min<double>(target, alpha + double(target) / steps);
      const TRect vis(int(std::lround(x0)), int(std::lround(y0)), int(std::lround(x1)), int(std::lround(y1)));
      FillRect32(frame.get(), TRect(0, 0, W, H), 0, 0);
      if (vis.Width() > 0 && vis.Height() > 0)
        StretchBlt(frame->Canvas()->Handle(), vis.Left, vis.Top, vis.Width(), vis.Height(), snap->Canvas()->Handle(), 0,
                   0, W, H, SRCCOPY);
      const uint8_t a = uint8_t(std::lround(alpha));
      UpdateGlowWindow(aw, frame.get(), a, &at);
      const TRect onScreen(wr.left + vis.Left, wr.top + vis.Top, wr.left + vis.Right, wr.top + vis.Bottom);
      TacShadowPos pos{onScreen, a};
      SendSkinMessage(wnd, WM_SKINCOMMAND, SkinCommandWParam(SKC_SETSHADOWPOS), LPARAM(&pos));
      if (OnUnrollFrame) OnUnrollFrame(onScreen, a);
      if (up) {
        y0 = dy;
        y1 = H;
      } else {
        y0 = 0;
        y1 = H - dy;
      }
      if (right) {
        x0 = dx;
        x1 = W;
      } else {
        x0 = 0;
        x1 = W - dx;
      }
      dx /= 3.5;
      dy /= 3.5;
      WaitTicks(start, kFrameTime);
    }
  }
  const TPoint at(wr.left, wr.top);
  UpdateGlowWindow(aw, snap.get(), 255, &at);

  SetWindowLayered(wnd, true, BlendValue);
  SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_VISIBLE);
  SetWindowPos(wnd, aw, 0, 0, 0, 0, kAfterAnim);
  FormAnimating = false;
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SetWindowPos(aw, wnd, 0, 0, 0, 0, kAfterAnim);
  anim.reset();
  if (h && h->ShadowForm) h->ShadowForm->Locked = false;
}

void TsPopupController::KillAllForms(TWinControl* ExceptChild) {
  for (auto& h : FormHandlers) {
    if (!h->PopupForm) continue;
    if (ExceptChild && h->PopupForm->HandleAllocated() && ExceptChild->HandleAllocated() &&
        WindowWithin(ExceptChild->Handle(), h->PopupForm->Handle()))
      continue;
    h->CloseForm(true);
  }
  if (PopupCount() == 0) FormHandlers.clear();
}

int TsPopupController::PopupCount(TForm* ExceptForm) {
  int n = 0;
  for (auto& h : FormHandlers)
    if (h->PopupForm && h->PopupForm != ExceptForm && h->PopupForm->Visible()) ++n;
  return n;
}

int TsPopupController::PopuChildCount(TForm* ExceptForm) {
  int n = 0;
  for (auto& h : FormHandlers)
    if (h->PopupForm && h->ParentForm == ExceptForm && h->PopupForm->Visible()) ++n;
  return n;
}

bool TsPopupController::HasChild(TForm* Parent) {
  for (auto& h : FormHandlers)
    if (h->PopupForm && h->PopupForm != Parent && h->ParentForm == Parent && !h->Closed) return true;
  return false;
}

void TsPopupController::ClosingForbide(TForm* AForm) {
  if (TacFormHandler* h = HandlerOf(AForm)) h->ClosingForbidden = true;
}

void TsPopupController::ClosingAllow(TForm* AForm) {
  if (TacFormHandler* h = HandlerOf(AForm)) h->ClosingForbidden = false;
}
