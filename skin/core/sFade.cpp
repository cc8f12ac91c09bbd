#include "skin/core/sFade.h"

#include <algorithm>
#include <cmath>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinLoader.h"
#include "skin/core/sVclUtils.h"

namespace {

// States from here up are the control's own and never glow.
constexpr int kFirstOwnState = 100;

// The level a fade step shows: 0 the new picture only, 255 the old one only (for a fade to hot the reverse).
int FadeLevel(double Glow) { return std::clamp(int(std::nearbyint(Glow)), 0, 255); }

}  // namespace

void AnimateStateChange(TsCommonData* SkinData, int State, TacAnimProc AnimProc, bool Animate, bool Fast,
                        bool WithGlow) {
  if (!SkinData) return;
  if (!SkinData->Skinned()) {
    SkinData->Invalidate(false);
    return;
  }
  const bool glowAllowed = WithGlow && State < kFirstOwnState;
  if (Animate && !SkinLoadingInProgress && !SystemShuttingDown && !FormAnimating && SkinData->FCacheBmp &&
      !SkinData->BGChanged && SkinData->SkinManager() && EffectsAllowAnimation) {
    // The glow comes at 0 and rises with the fade's steps.
    if (glowAllowed && SkinData->GlowID < 0) SkinData->UpdateGlow(false, SkinData->OwnerHandle(), -1, false, 0);
    SkinData->BGChanged = true;  // the cache is rebuilt for the new state
    StartFade(SkinData, State, AnimProc, Fast);
    return;
  }
  SkinData->BGChanged = true;
  SkinData->Invalidate(false);
  if (SkinData->FMouseAbove) {
    if (glowAllowed && SkinData->GlowID < 0) SkinData->UpdateGlow(false, SkinData->OwnerHandle(), -1, false, 255);
  } else {
    HideGlow(SkinData->GlowID, false);
  }
}

void StartFade(TsCommonData* SkinData, int State, TacAnimProc AnimProc, bool Fast) {
  if (!SkinData || !SkinData->FCacheBmp) return;
  const int iteration = GetAnimTimer(SkinData->AnimTimer, SkinData->FOwnerControl, State);
  TacThreadedTimer* t = SkinData->AnimTimer;
  if (t->State != -1 && t->State == State) return;  // already heading there
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (t->BmpOut && (t->BmpOut->Width() != cache->Width() || t->BmpOut->Height() != cache->Height()))
    t->BmpOut.reset();
  TacThreadedTimer::CopyFrom(t->BmpFrom, cache, BitmapRect(cache));
  if (SkinData->BGChanged) {
    if (TControl* owner = SkinData->FOwnerControl) {
      if (SendSkinCommandToControl(owner, SKC_PREPARECACHE) != 0) t->SetEnabled(false);
      auto* button = dynamic_cast<TButtonControl*>(owner);
      if (button && button->ControlCount() > 0) {
        TCanvas* canvas = SkinData->FCacheBmp->Canvas();
        canvas->Lock();
        PaintChildrenToDC(canvas->Handle(), button, false, TPoint(0, 0));
        canvas->Unlock();
      }
    } else if (SendSkinCommand(SkinData->OwnerHandle(), SKC_PREPARECACHE) != 0) {
      t->SetEnabled(false);
    }
  }
  if (!SkinData->FCacheBmp) return;
  TacThreadedTimer::CopyFrom(t->BmpTo, SkinData->FCacheBmp.get(), BitmapRect(SkinData->FCacheBmp.get()));
  t->InitData(SkinData, iteration, AnimProc, State, Fast);
  t->TimeHandler();
}

bool FadeStep(TObject* Data, int Iteration) {
  auto* D = dynamic_cast<TsCommonData*>(Data);
  if (!D || !D->AnimTimer || D->AnimTimer->Destroyed || !D->FCacheBmp) return false;
  TacThreadedTimer* t = D->AnimTimer;
  // The window the fade paints on and its size.
  HWND wnd = nullptr;
  TRect r;
  if (auto* wc = dynamic_cast<TWinControl*>(D->FOwnerControl)) {
    r = wc->BoundsRect();
    if (wc->HandleAllocated()) wnd = wc->Handle();
  } else if (HWND own = D->OwnerHandle()) {
    RECT wr;
    GetWindowRect(own, &wr);
    r = wr;
    wnd = own;
  }
  if (t->Iterations <= 0 || !wnd || !t->BmpFrom || !t->BmpTo) return false;
  TBitmap* cache = D->FCacheBmp.get();
  if (t->BmpOut)
    t->BmpOut->SetSize(cache->Width(), cache->Height());
  else
    t->BmpOut = NewBitmap32ForRect(r);
  TBitmap* out = t->BmpOut.get();
  BitBlt(out->Canvas()->Handle(), 0, 0, out->Width(), out->Height(), t->BmpFrom->Canvas()->Handle(), 0, 0, SRCCOPY);
  switch (t->State) {
    case 0:
    case 2: t->Glow -= t->GlowStep; break;
    case 1: t->Glow += t->GlowStep; break;
    default: t->Glow = 255 - double(Iteration) / t->Iterations * 255;
  }
  const int level = FadeLevel(t->Glow);
  // W is the old picture's share: it falls to 0 as the fade proceeds.
  const int weight = t->State == 1 ? 255 - level : level;
  BlendBitmapRect(out, t->BmpTo.get(), uint8_t(weight), TPoint(0, 0), TRect(0, 0, out->Width() - 1, out->Height() - 1));
  HDC dc = GetWindowDC(wnd);
  SetDCLayout(dc, 0);  // never mirrored, whatever the application's reading order
  BitBlt(dc, 0, 0, out->Width(), out->Height(), out->Canvas()->Handle(), 0, 0, SRCCOPY);
  ReleaseDC(wnd, dc);

  if (t->Iteration < t->Iterations) {
    if (D->GlowID >= 0) {
      SetGlowAlpha(D->GlowID, level);
      if (t->State == 0 && level < 10) {
        t->Glow = 0;
        HideGlow(D->GlowID, false);
      }
    }
    return true;
  }
  if (t->State == 0 && level > 0) {
    // Back to normal goes on past its step count until the level reaches 0.
    if (D->GlowID >= 0) SetGlowAlpha(D->GlowID, level);
    --t->Iteration;
    FadeStep(Data, t->Iteration);
    return false;
  }
  const int state = t->State;
  if (state == 0) D->KillAnimation();
  if (state != 1) HideGlow(D->GlowID, false);
  return false;
}
