// Animations of a skinned form: the picture that flies away when the form is
// minimised and back when it is restored, the translucency of a form while it
// is dragged (each on a timer kept in the provider's FormTimer), and the fades
// of its title buttons (a timer per button), one step every 12 ms.

#include <algorithm>
#include <cmath>
#include <utility>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"

namespace {

constexpr UINT kNoChange = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;

int RoundEven(double V) { return int(std::nearbyint(V)); }

void RemoveLayered(HWND Wnd) {
  const LONG_PTR ex = GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
  if (ex & WS_EX_LAYERED) SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
}

bool MinimizingAllowed(TsSkinProvider* Provider) {
  TsSkinManager* m = Provider ? Provider->Manager() : nullptr;
  return m && m->AnimEffects.Minimizing.Active && m->Effects.AllowAnimation && Provider->AllowAnimation;
}

// Each glued slave of the form takes the form's opacity.
void SetSlavesAlpha(HWND Master, int Alpha, bool VisibleOnly) {
  for (const TacFormsCouple& c : FormsCouples) {
    if (!c.Master || !c.Slave || !c.Master->HandleAllocated() || c.Master->Handle() != Master) continue;
    if (!c.Slave->HandleAllocated() || (VisibleOnly && !IsWindowVisible(c.Slave->Handle()))) continue;
    SendSkinCommand(c.Slave->Handle(), SKC_SETALPHA, Alpha);
  }
}

}  // namespace

// ---- Shared pictures ----

TacGlowForm* MakeCoverForm(HWND Wnd) {
  RECT wr;
  GetWindowRect(Wnd, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  auto* cover = new TacGlowForm(nullptr);
  cover->SetBounds(wr.left, wr.top, w, h);
  auto picture = NewBitmap32(w, h);
  HDC dc = GetWindowDC(Wnd);
  BitBlt(picture->Canvas()->Handle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
  ReleaseDC(Wnd, dc);
  SetAlphaInRect(picture.get(), TRect(0, 0, w, h), 255, 0x1FFFFFFF);
  if (auto* data = reinterpret_cast<TsCommonData*>(SendSkinCommand(Wnd, SKC_GETSKINDATA))) {
    const TacSkinRecords* s = data->SkinManager();
    FillTransparentCorners(data->SkinIndex, picture.get(), s);
    if (s && (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_CAPTION) && s->ConstData.Sections[ssFormTitle] >= 0)
      FillTransparentCorners(s->ConstData.Sections[ssFormTitle], picture.get(), s);
  }
  HWND cw = cover->Handle();
  UpdateGlowWindow(cw, picture.get(), 255);
  SetWindowPos(cw, HWND_TOPMOST, wr.left, wr.top, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  return cover;
}

std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool FreeCache) {
  TBitmap* cache = Provider && Provider->SkinData() ? Provider->SkinData()->FCacheBmp.get() : nullptr;
  if (!cache) return nullptr;
  auto image = NewBitmap32(cache->Width(), cache->Height());
  PaintControlToBitmap(image.get(), Provider->Form, 0, 0, Provider, false);
  if (!Provider->BorderForm) SetAlphaInRect(image.get(), BitmapRect(image.get()), 255, 0x1FFFFFFF);
  if (FreeCache) Provider->SkinData()->FCacheBmp.reset();
  return image;
}

// ---- Minimise and restore ----

TacMinTimer::TacMinTimer(TsSkinProvider* AOwner) : TacThreadedTimer(AOwner, true) {
  InitData();
  SavedImage = std::make_unique<TBitmap>();
}

TacMinTimer::~TacMinTimer() {
  SetEnabled(false);
  if (AlphaFormWasCreated) delete std::exchange(AnimForm, nullptr);
}

TRect TacMinTimer::GetRectTo() {
  // No taskbar window exists to find a button or an edge on.
  return TRect(0, 0, 0, 0);
}

void TacMinTimer::UpdateDstRect() {
  RectTo = GetRectTo();
  XTo = RectTo.Left + RectTo.Width() / 2;
  YTo = RectTo.Top + RectTo.Height() / 2;
  DeltaX = double(XTo - XFrom) / StepCount;
  DeltaY = double(YTo - YFrom) / StepCount;
  DeltaW = double(RectFrom.Width() - RectTo.Width()) / (2 * StepCount);
  DeltaH = double(RectFrom.Height() - RectTo.Height()) / (2 * StepCount);
  AlphaTo = 0;
}

void TacMinTimer::InitData() {
  SetInterval(kAnimStep);
  sp = dynamic_cast<TsSkinProvider*>(FOwner);
  if (sp) BorderForm = sp->BorderForm;
  TsSkinManager* m = sp ? sp->Manager() : DefaultSkinManager();
  StepCount = std::max(1, (m ? int(m->AnimEffects.Minimizing.Time) : 0) / int(kAnimStep));
  AlphaOrigin = AlphaFrom();
  if (!FormHandle && sp && sp->Form && sp->Form->HandleAllocated()) FormHandle = sp->Form->Handle();
  CurrentAlpha = AlphaFrom();
  if (CurrentAlpha <= 0 && Minimized) {
    CurLeft = RectTo.Left, CurTop = RectTo.Top, CurRight = RectTo.Right, CurBottom = RectTo.Bottom;
  } else {
    RECT wr{};
    HWND from = BorderForm && BorderForm->AForm ? BorderForm->AForm->Handle() : FormHandle;
    if (from) GetWindowRect(from, &wr);
    RectFrom = wr;
    XFrom = RectFrom.Left + RectFrom.Width() / 2;
    YFrom = RectFrom.Top + RectFrom.Height() / 2;
    UpdateDstRect();
    CurLeft = RectFrom.Left, CurTop = RectFrom.Top, CurRight = RectFrom.Right, CurBottom = RectFrom.Bottom;
  }
  BlendStep = double(AlphaFrom() - AlphaTo) / std::max(1, StepCount - 1);
  if (AlphaBmp)
    AlphaBmp->SetSize(RectFrom.Width(), RectFrom.Height());
  else
    AlphaBmp = NewBitmap32(RectFrom.Width(), RectFrom.Height());
  if (BorderForm && BorderForm->AForm) {
    AnimForm = BorderForm->AForm;
  } else if (FormHandle) {
    if (AlphaFormWasCreated) delete std::exchange(AnimForm, nullptr);
    AnimForm = MakeCoverForm(FormHandle);
    SetWindowRgn(AnimForm->Handle(), nullptr, FALSE);
    AlphaFormWasCreated = true;
  }
}

void TacMinTimer::TimeHandler() {
  if (InHandler) return;
  InHandler = true;
  const unsigned state = sp ? sp->FormState() : 0;
  if (!Minimized && (state & FS_ANIMRESTORING)) Minimized = true;
  else if (Minimized && (state & FS_ANIMMINIMIZING)) Minimized = false;
  if (!AnimForm || !AnimForm->Handle()) {
    SetEnabled(false);
    InHandler = false;
    return;
  }
  if (BorderForm) BorderForm->ExBorderShowing = true;
  if (!Minimized) {
    FillRect32(AlphaBmp.get(), BitmapRect(AlphaBmp.get()), 0, 0);
    CurLeft += DeltaX + DeltaW, CurRight += DeltaX - DeltaW;
    CurTop += DeltaY + DeltaH, CurBottom += DeltaY - DeltaH;
    CurrentAlpha = std::max(0.0, CurrentAlpha - BlendStep);
    if (CurrentAlpha <= 0) {
      EndMinimizing();
      return;
    }
  } else {
    CurLeft -= DeltaX + DeltaW, CurRight -= DeltaX - DeltaW;
    CurTop -= DeltaY + DeltaH, CurBottom -= DeltaY - DeltaH;
    CurrentAlpha = std::min(CurrentAlpha + BlendStep, 255.0);
    if (CurrentAlpha >= AlphaFrom()) {
      EndRestoring();
      return;
    }
    SetWindowRgn(AnimForm->Handle(), nullptr, FALSE);
  }
  ShowFrame();
  InHandler = false;
}

void TacMinTimer::ShowFrame() {
  const double w = std::max(0.0, CurRight - CurLeft), h = std::max(0.0, CurBottom - CurTop);
  const int cx = RoundEven(w / 2 + CurLeft), cy = RoundEven(h / 2 + CurTop);
  TBitmap* out = AlphaBmp.get();
  if (SavedImage && !SavedImage->Empty() && w >= 1 && h >= 1) {
    HDC dc = out->Canvas()->Handle();
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, RoundEven(out->Width() - w) / 2, RoundEven(out->Height() - h) / 2, RoundEven(w), RoundEven(h),
               SavedImage->Canvas()->Handle(), 0, 0, SavedImage->Width(), SavedImage->Height(), SRCCOPY);
  }
  HWND aw = AnimForm->Handle();
  const TPoint at(cx - out->Width() / 2, cy - out->Height() / 2);
  UpdateGlowWindow(aw, out, uint8_t(RoundEven(CurrentAlpha)), &at);
  SetWindowPos(aw, HWND_TOPMOST, 0, 0, 0, 0, kNoChange | SWP_SHOWWINDOW);
}

void TacMinTimer::EndMinimizing() {
  SetEnabled(false);
  if (sp) {
    sp->fAnimating = false;
    sp->SetHotHT(0, true);
    sp->SetFormState(sp->FormState() & ~FS_ANIMMINIMIZING);
  }
  if (FormHandle) RemoveLayered(FormHandle);
  if (BorderForm && AnimForm == BorderForm->AForm) {
    delete std::exchange(BorderForm->AForm, nullptr);
    AnimForm = nullptr;
    BorderForm->ExBorderShowing = false;
    BorderForm->UpdateExBordersPos(true, 255);
  } else if (AnimForm) {
    FillRect32(AlphaBmp.get(), BitmapRect(AlphaBmp.get()), 0, 0);
    UpdateGlowWindow(AnimForm->Handle(), AlphaBmp.get(), 0);
    ShowWindow(AnimForm->Handle(), SW_HIDE);
    if (sp) sp->ProcessMessage(WM_NCPAINT);
  }
  Minimized = true;
  InHandler = false;
}

void TacMinTimer::EndRestoring() {
  SetEnabled(false);
  HWND aw = AnimForm->Handle();
  const TPoint at = RectFrom.TopLeft();
  UpdateGlowWindow(aw, SavedImage.get(), AlphaOrigin, &at);
  if (FormHandle) {
    ShowWindow(FormHandle, IsZoomed(FormHandle) ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
    SetWindowPos(aw, HWND_TOPMOST, 0, 0, 0, 0, kNoChange | SWP_SHOWWINDOW);
    RemoveLayered(FormHandle);
  }
  if (sp) {
    sp->fAnimating = false;
    sp->SetFormState(sp->FormState() & ~FS_ANIMRESTORING);
    if (BorderForm) BorderForm->ExBorderShowing = false;
  }
  if (FormHandle) RedrawWindow(FormHandle, nullptr, nullptr, kRedrawAll);
  Minimized = false;
  if (FormHandle) SetWindowPos(aw, FormHandle, 0, 0, 0, 0, kNoChange);
  if (BorderForm && AnimForm == BorderForm->AForm) {
    BorderForm->UpdateExBordersPos(true, 255);
    AnimForm = nullptr;
  } else if (AlphaFormWasCreated) {
    delete std::exchange(AnimForm, nullptr);
    AlphaFormWasCreated = false;
  }
  if (FormHandle && IsWindowEnabled(FormHandle) && IsWindowVisible(FormHandle) && sp && sp->Form) {
    SetActiveWindow(FormHandle);
    if (sp->Form->CanFocus()) sp->Form->SetFocus();
  }
  if (Application->OnRestore) Application->OnRestore(Application);
  InHandler = false;
}

bool StartMinimizing(TsSkinProvider* Provider) {
  if (!MinimizingAllowed(Provider) || !Provider->Form || !Provider->Form->HandleAllocated()) return false;
  Provider->KillAnimations();
  if (Provider->FormState() & FS_ANIMMINIMIZING) return true;
  const bool restoring = Provider->FormState() & FS_ANIMRESTORING;
  Provider->SetFormState((Provider->FormState() | FS_ANIMMINIMIZING) & ~FS_ANIMRESTORING);
  Provider->fAnimating = true;
  auto* timer = dynamic_cast<TacMinTimer*>(Provider->FormTimer);
  if (!timer) {
    delete std::exchange(Provider->FormTimer, nullptr);
    timer = new TacMinTimer(Provider);
    Provider->FormTimer = timer;
  } else if (!restoring) {
    timer->InitData();
  }
  // A minimise that reverses a restore flies on from where the picture is.
  if (timer->AlphaFrom() <= timer->CurrentAlpha) {
    if (auto image = MakeFormImage(Provider, false)) timer->SavedImage = std::move(image);
  }
  if (Provider->LayerForm && Provider->LayerForm->HandleAllocated() && IsWindowVisible(Provider->LayerForm->Handle()))
    ShowWindow(Provider->LayerForm->Handle(), SW_HIDE);
  SetWindowLayered(Provider->Form->Handle(), true, 0);
  timer->TimeHandler();
  if (timer->StepCount > 1) timer->SetEnabled(true);
  return true;
}

bool StartRestoring(TsSkinProvider* Provider) {
  auto* timer = Provider ? dynamic_cast<TacMinTimer*>(Provider->FormTimer) : nullptr;
  if (timer && MinimizingAllowed(Provider) && !(Provider->FormState() & FS_ANIMRESTORING)) {
    Provider->SetFormState((Provider->FormState() & ~FS_ANIMMINIMIZING) | FS_ANIMRESTORING);
    Provider->fAnimating = true;
    if (TsSkinManager* m = Provider->Manager()) m->ShowState = saRestore;
    if (Provider->Form->HandleAllocated()) SetWindowLayered(Provider->Form->Handle(), true, 0);
    timer->SetEnabled(true);
  }
  Provider->SkipAnimation = false;
  return true;
}

void StartSysCommandAnimation(TsSkinProvider* Provider, WPARAM Command) {
  TCustomForm* form = Provider ? Provider->Form : nullptr;
  if (!form || !form->HandleAllocated()) return;
  switch (Command & 0xFFF0) {
    case SC_MINIMIZE:
      // The main form minimises the application, which the manager's application hook animates.
      if (form != Application->MainForm()) StartMinimizing(Provider);
      return;
    case SC_RESTORE:
      if (IsIconic(form->Handle())) StartRestoring(Provider);
      return;
  }
}

// ---- Translucency while moved ----

void TacMoveTimer::TimeHandler() {
  const int alpha = RoundEven(CurrentBlendValue);
  if (BorderForm && BorderForm->AForm && BorderForm->SkinData) {
    UpdateGlowWindow(BorderForm->AForm->Handle(), BorderForm->SkinData->FCacheBmp.get(), uint8_t(alpha));
  } else if (FormHandle) {
    SetWindowLayered(FormHandle, true, uint8_t(alpha));
    SendSkinCommand(FormHandle, SKC_MOVEALPHA, alpha);
  }
  SetSlavesAlpha(FormHandle, alpha, false);
  if (CurrentBlendValue > BlendValue) CurrentBlendValue -= BlendStep;
}

void StartFormBlendOnMoving(TsSkinProvider* Provider, bool DoMove) {
  if (!Provider || !Provider->Form || !Provider->Form->HandleAllocated()) return;
  if (Provider->FormState() & FS_BLENDMOVING) return;
  TsSkinManager* m = Provider->Manager();
  if (!m || !m->AnimEffects.BlendOnMoving.Active) return;
  HWND fw = Provider->Form->Handle();
  Provider->SetFormState(Provider->FormState() | FS_BLENDMOVING);
  SendSkinCommand(fw, SKC_MOVESTARTED);
  delete std::exchange(Provider->FormTimer, nullptr);
  auto* timer = new TacMoveTimer(Provider);
  Provider->FormTimer = timer;
  timer->CurrentBlendValue = 255;
  timer->BorderForm = Provider->BorderForm;
  timer->FormHandle = fw;
  timer->BlendValue = Provider->AllowBlendOnMoving ? m->AnimEffects.BlendOnMoving.BlendValue : 255;
  const int time = m->AnimEffects.BlendOnMoving.Time;
  const double fall = 255.0 - timer->BlendValue;
  timer->BlendStep = time > int(kAnimStep) ? fall / (double(time) / kAnimStep) : fall;
  timer->SetInterval(kAnimStep);

  // The switch to a layered window happens under a snapshot, so that nothing flickers.
  TacGlowForm* cover = MakeCoverForm(fw);
  if (!IsZoomed(fw)) SetWindowRgn(cover->Handle(), Provider->MakeRgn(), FALSE);
  SetWindowLayered(fw, true, 255);
  RedrawWindow(fw, nullptr, nullptr, kRedrawAll);
  ShowWindow(cover->Handle(), SW_HIDE);
  timer->SetEnabled(true);
  if (!DoMove) {
    delete cover;
    return;
  }
  SendMessageW(fw, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
  EndBlendOnMoving(Provider, cover);
}

void EndBlendOnMoving(TsSkinProvider* Provider, TacGlowForm* Cover) {
  std::unique_ptr<TacGlowForm> cover(Cover);
  if (!Provider || !Provider->Form || !Provider->Form->HandleAllocated()) return;
  HWND fw = Provider->Form->Handle();
  if (!cover) cover.reset(MakeCoverForm(fw));
  HWND cw = cover->Handle();
  // The cover shows the form where the drag left it while the form turns opaque again.
  RECT wr;
  GetWindowRect(fw, &wr);
  SetWindowPos(cw, HWND_TOPMOST, wr.left, wr.top, 0, 0, kNoChange & ~SWP_NOMOVE);
  if (!IsZoomed(fw)) SetWindowRgn(cw, Provider->MakeRgn(), FALSE);
  RemoveLayered(fw);
  UpdateWindow(fw);
  if (auto* timer = dynamic_cast<TacMoveTimer*>(Provider->FormTimer)) timer->SetEnabled(false);
  RedrawWindow(fw, nullptr, nullptr, kRedrawAll);
  cover.reset();
  Provider->SetFormState(Provider->FormState() & ~FS_BLENDMOVING);
  SendSkinCommand(fw, SKC_MOVEALPHA, 255);
  SendSkinCommand(fw, SKC_MOVEDONE);
  SetSlavesAlpha(fw, 255, true);
  delete std::exchange(Provider->FormTimer, nullptr);
}

// ---- Title-button fades ----

TacSBAnimation::TacSBAnimation(TsSkinProvider* AOwner) : TacThreadedTimer(AOwner, false), Provider(AOwner) {
  SetOnTimer([this](TObject* Sender) { OnAnimTimer(Sender); });
}

TacSBAnimation::~TacSBAnimation() {
  SetEnabled(false);
  delete std::exchange(AForm, nullptr);
  ABmp.reset();
  if (PBtnData && PBtnData->cpTimer == this) PBtnData->cpTimer = nullptr;
}

void TacSBAnimation::ChangeState(int, bool ToUp) {
  Up = ToUp;
  SetEnabled(true);
}

void TacSBAnimation::StartAnimation(int NewState, bool ToUp) {
  if (NewState == CurrentState) return;
  CurrentState = NewState;
  if (NewState != 0) {
    if (NewState == 2) {
      delete std::exchange(AForm, nullptr);
      ABmp.reset();
    }
    CurrentLevel = 1;
    Up = ToUp;
    UpdateForm(uint8_t(std::min(Step(), 255)));
    CurrentLevel = 2;
  } else {
    Up = false;
    --CurrentLevel;
    UpdateForm(uint8_t(std::min(Step(), 255)));
  }
  if (MaxIterations > 1) SetEnabled(true);
}

void TacSBAnimation::OnAnimTimer(TObject*) {
  if (Up) {
    if (CurrentLevel >= MaxIterations) {
      // Shown in full: the timer now only watches for the mouse leaving without a message.
      CheckMouseLeave();
      if (MaxIterations != -1) {
        MaxIterations = -1;
        UpdateForm(255);
      }
      return;
    }
    UpdateForm(uint8_t(std::clamp(Step() * CurrentLevel, 0, 255)));
    ++CurrentLevel;
    return;
  }
  if (CurrentLevel <= 0) {
    CurrentState = -1;
    SetEnabled(false);
    ABmp.reset();
    delete std::exchange(AForm, nullptr);
    return;
  }
  UpdateForm(uint8_t(std::clamp(Step() * CurrentLevel, 0, 255)));
  --CurrentLevel;
}

void TacSBAnimation::CheckMouseLeave() {
  POINT p;
  GetCursorPos(&p);
  RECT wr{};
  GetWindowRect(BorderForm && BorderForm->AForm ? BorderForm->AForm->Handle() : FormHandle, &wr);
  if (PBtnData && PBtnData->cpRect.Contains(TPoint(p.x - wr.left, p.y - wr.top))) return;
  SetEnabled(false);
  SendMessageW(FormHandle, WM_MOUSELEAVE, 0, 0);
}

bool TacSBAnimation::Glowing() const {
  const unsigned code = PBtnData ? PBtnData->cpHitCode : 0;
  return EffectsAllowGlowing && CurrentState == 1 && (code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE);
}

// The skin's glow picture of a hot system button, or -1.
int TacSBAnimation::GlowMask() const {
  const TacSkinRecords* s = SkinData ? SkinData->SkinManager() : nullptr;
  if (!s || !Glowing() || PBtnData->cpGlyphType >= tgHelp) return -1;
  const std::vector<int>& glows = s->ConstData.TitleGlows[PBtnData->cpGlyphType];
  return !glows.empty() && s->IsValidImgIndex(glows[0]) ? glows[0] : -1;
}

int TacSBAnimation::Offset() const {
  const TacSkinRecords* s = SkinData ? SkinData->SkinManager() : nullptr;
  return GlowMask() >= 0 ? s->ConstData.GlowMargins[PBtnData->cpGlyphType] : 0;
}

TRect TacSBAnimation::GetFormBounds() const {
  RECT wr{};
  GetWindowRect(BorderForm && BorderForm->AForm ? BorderForm->AForm->Handle() : FormHandle, &wr);
  const TRect& c = PBtnData->cpRect;
  const int offset = Offset();
  if (offset != 0) {
    const TsMaskData& glow = SkinData->SkinManager()->ma[size_t(GlowMask())];
    return Bounds(wr.left + c.Left - offset, wr.top + c.Top - offset, glow.Width, glow.Height);
  }
  return Bounds(wr.left + c.Left, wr.top + c.Top, c.Width(), c.Height());
}

void TacSBAnimation::MakeForm() {
  if (AForm) return;
  AForm = new TacGlowForm(nullptr);
  if (IsWindow(FormHandle) && (GetWindowLongPtrW(FormHandle, GWL_EXSTYLE) & WS_EX_TOPMOST))
    AForm->SetFormStyle(fsStayOnTop);
}

void TacSBAnimation::MakeImg() {
  if (CurrentState == 0 && ABmp) return;
  const TacSkinRecords* s = SkinData ? SkinData->SkinManager() : nullptr;
  if (!s || !PBtnData) return;
  const TRect R = GetFormBounds();
  TacTitleGlyph glyph = PBtnData->cpGlyphType;
  if (PBtnData->cpHitCode == HTMINBUTTON && IsIconic(FormHandle)) glyph = tgNormal;  // the restore look
  const int g = glyph < tgNone ? s->ConstData.TitleGlyphs[glyph] : -1;
  const int glow = s->IsValidImgIndex(g) ? GlowMask() : -1;
  if (!ABmp) ABmp = NewBitmap32(R.Width(), R.Height());
  if (glow < 0) {
    FillRect32(ABmp.get(), BitmapRect(ABmp.get()), 0, 0);
    if (s->IsValidImgIndex(g))
      PaintMaskFrame(ABmp.get(), TPoint(0, 0), std::max(0, PBtnData->cpState), EmptyCI, s->ma[size_t(g)], 1);
    PremultiplyBitmap(ABmp.get());
  } else if (TBitmap* picture = s->ma[size_t(glow)].Bmp.get()) {
    StretchBlt(ABmp->Canvas()->Handle(), 0, 0, ABmp->Width(), ABmp->Height(), picture->Canvas()->Handle(), 0, 0,
               picture->Width(), picture->Height(), SRCCOPY);
  }
  // A user button's own glyph over the picture.
  const int user = int(PBtnData->cpHitCode) - HTUDBTN;
  if (Provider && user >= 0 && user < Provider->TitleButtons()->Count()) {
    TBitmap* own = Provider->TitleButtons()->Items(user)->Glyph();
    DrawTitleGlyph(ABmp.get(), own, BitmapRect(ABmp.get()), ABmp->Width(), ABmp->Height(), PBtnData->cpState == 2);
  }
}

void TacSBAnimation::UpdateForm(uint8_t Blend) {
  MakeImg();
  MakeForm();
  if (!ABmp || !AForm || !IsWindow(FormHandle)) return;
  const TSize S{ABmp->Width(), ABmp->Height()};
  TRect R = GetFormBounds();
  if (R.Width() != S.cx) {
    // Kept centred on the button.
    R.Left -= (S.cx - R.Width()) / 2;
    R.Top -= (S.cy - R.Height()) / 2;
  }
  HWND ref = BorderForm && BorderForm->AForm ? BorderForm->AForm->Handle() : FormHandle;
  HWND after = (GetWindowLongPtrW(ref, GWL_EXSTYLE) & WS_EX_TOPMOST) ? HWND_TOPMOST : GetWindow(ref, GW_HWNDPREV);
  HWND aw = AForm->Handle();
  AForm->SetBounds(R.Left, R.Top, S.cx, S.cy);
  if (after != aw) SetWindowPos(aw, after ? after : HWND_TOP, 0, 0, 0, 0, kNoChange);
  SetWindowLongPtrW(aw, GWL_EXSTYLE,
                    GetWindowLongPtrW(aw, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT);
  UpdateGlowWindow(aw, ABmp.get(), Blend);
  ShowWindow(aw, SW_SHOWNOACTIVATE);
}

void AnimateCaptionButton(TsCaptionButton* Btn, int, int Iterations, bool Up, TsSkinProvider* Provider) {
  if (!Btn || Application->Terminated()) return;
  const int a = EffectsAllowAnimation ? 1 : 0;
  if (auto* t = dynamic_cast<TacSBAnimation*>(Btn->cpTimer)) {
    // Retargeted: a fade-in goes on at full strength, a fade-out starts from it.
    if (Up) t->CurrentState = Btn->cpState;
    t->MaxIterations = Iterations;
    t->Up = Up;
    t->SetEnabled(true);
    if (Btn->cpState == 2) {
      t->ABmp.reset();
      t->MakeForm();
      t->MakeImg();
    }
    t->CurrentLevel = std::max(1, Iterations * a);
    return;
  }
  if (!Provider || !Provider->Form || !Provider->Form->HandleAllocated()) return;
  auto* t = new TacSBAnimation(Provider);
  t->BorderForm = Provider->BorderForm;
  t->FormHandle = Provider->Form->Handle();
  t->SkinData = Provider->SkinData();
  Btn->cpTimer = t;
  t->SetEnabled(false);
  t->PBtnData = Btn;
  t->MaxIterations = std::max(1, Iterations * a);
  t->SetInterval(kAnimStep);
  t->StartAnimation(Btn->cpState, true);
}
