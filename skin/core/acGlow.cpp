#include "skin/core/acGlow.h"

#include <algorithm>
#include <cmath>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sVclUtils.h"

namespace {

// True while a glow window is being freed: freeing sends messages that may
// reach code freeing all glows.
bool GlowsReleasing = false;

bool AppTerminating() { return Application && Application->Terminated(); }

TacGlowEffect* GlowAt(int GlowID) {
  return GlowID >= 0 && GlowID < int(GlowEffects.size()) ? GlowEffects[size_t(GlowID)].get() : nullptr;
}

// Appends the effect with its mask and shows it; -1 (and the effect dropped) without a mask.
int AddGlow(std::unique_ptr<TacGlowEffect> Effect, int MaskIndex, const TRect& RealRect, int Margin, int Alpha,
            HWND WndHandle) {
  if (MaskIndex < 0 || !Effect->SkinManager || !Effect->SkinManager->IsValidImgIndex(MaskIndex)) return -1;
  Effect->Margin = Margin;
  Effect->MaskIndex = MaskIndex;
  TacGlowEffect* e = Effect.get();
  GlowEffects.push_back(std::move(Effect));
  const int id = int(GlowEffects.size()) - 1;
  e->Show(RealRect, Alpha, WndHandle);
  return id;
}

std::unique_ptr<TacGlowEffect> NewEffect(TsCommonData* SkinData) {
  if (!LayeredWindowsAvailable || !SkinData || GetCapture()) return nullptr;
  auto e = std::make_unique<TacGlowEffect>();
  e->SkinData = SkinData;
  e->SkinManager = SkinData->SkinManager();
  return e;
}

}  // namespace

TacGlowEffect::~TacGlowEffect() {
  Destroyed = true;
  DropWindow(AppTerminating());
}

void TacGlowEffect::DropWindow(bool AtOnce) {
  if (!Wnd) return;
  Wnd->WindowProc = OldWndProc;
  TacGlowForm* w = std::exchange(Wnd, nullptr);
  GlowsReleasing = true;
  if (AtOnce) delete w;
  else w->Release();
  GlowsReleasing = false;
}

void TacGlowEffect::NewWndProc(TMessage& Message) {
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTTRANSPARENT;
    return;
  }
  OldWndProc(Message);
}

void TacGlowEffect::CreateAlphaBmp(int Width, int Height) {
  AlphaBmp = NewBitmap32(Width, Height);
  if (MaskIndex >= 0 && SkinManager && SkinManager->IsValidImgIndex(MaskIndex))
    PaintMask(AlphaBmp.get(), TRect(0, 0, Width, Height), EmptyCI, SkinManager->ma[size_t(MaskIndex)], 0, false);
  if (SkinData) ApplyColorTransforms(AlphaBmp.get(), SkinData, 0);
}

void TacGlowEffect::Show(const TRect& RealRect, int Alpha, HWND WndHandle) {
  if (Wnd || !SkinManager || !SkinManager->IsValidImgIndex(MaskIndex)) return;
  const TsMaskData& m = SkinManager->ma[size_t(MaskIndex)];
  Wnd = new TacGlowForm(nullptr);
  OldWndProc = Wnd->WindowProc;
  Wnd->WindowProc = [this](TMessage& Message) { NewWndProc(Message); };
  const int width = RealRect.Width() + m.WL + m.WR - 2 * Margin;
  const int height = RealRect.Height() + m.WT + m.WB - 2 * Margin;
  CreateAlphaBmp(width, height);
  // Just above the control's top-level window, or in the topmost band. (With
  // no window above it the glow goes to the top: below its window it would not show.)
  HWND ref = HWND_TOP;
  if ((GetWindowLongPtrW(WndHandle, GWL_EXSTYLE) & WS_EX_TOPMOST) || !SkinData || !SkinData->FOwnerObject)
    ref = HWND_TOPMOST;
  else if (HWND above = GetWindow(WndHandle, GW_HWNDPREV))
    ref = above;
  const int left = RealRect.Left - m.WL + Margin, top = RealRect.Top - m.WT + Margin;
  Wnd->SetBounds(left, top, width, height);
  HWND h = Wnd->Handle();
  if (!h) return;
  SetWindowLongPtrW(h, GWL_EXSTYLE, GetWindowLongPtrW(h, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
  UpdateGlowWindow(h, AlphaBmp.get(), uint8_t(std::clamp(Alpha, 0, 255)));
  SetWindowPos(h, ref, left, top, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
}

int ShowGlow(const TRect& RealRect, const String& SkinSection, const String& MaskName, int Margin, int Alpha,
             HWND WndHandle, TsCommonData* SkinData) {
  auto e = NewEffect(SkinData);
  if (!e || !e->SkinManager) return -1;
  const String name = MaskName + "0";
  const int mask = SkinSection.empty() ? e->SkinManager->GetMaskIndex(SkinData->SkinIndex, name)
                                       : e->SkinManager->GetMaskIndex(SkinSection, name);
  return AddGlow(std::move(e), mask, RealRect, Margin, Alpha, WndHandle);
}

int ShowGlowByMasks(const TRect& RealRect, const std::vector<int>& MaskIndexes, int Margin, int Alpha,
                    HWND WndHandle, TsCommonData* SkinData) {
  auto e = NewEffect(SkinData);
  if (!e || MaskIndexes.empty()) return -1;
  return AddGlow(std::move(e), MaskIndexes[0], RealRect, Margin, Alpha, WndHandle);
}

void SetGlowAlpha(int GlowID, int Alpha) {
  TacGlowEffect* e = GlowAt(GlowID);
  if (e && e->Wnd && e->Wnd->HandleAllocated())
    UpdateGlowWindow(e->Wnd->Handle(), e->AlphaBmp.get(), uint8_t(std::clamp(Alpha, 0, 255)));
}

void HideGlow(int& GlowID, bool Animated) {
  TacGlowEffect* e = GlowAt(GlowID);
  if (!e) return;
  TsCommonData* D = e->SkinData;
  if (Animated && D && EffectsAllowAnimation && !AppTerminating() && (!D->AnimTimer || D->AnimTimer->ThreadType == 1)) {
    const int iteration = GetAnimTimer(D->AnimTimer, D->FOwnerControl, 1);
    D->AnimTimer->ThreadType = 1;
    if (D->AnimTimer->State != 0) {
      D->AnimTimer->InitData(D, iteration, &GlowFadeStep, 0, false);
      D->AnimTimer->TimeHandler();
    }
    return;  // the last step of the fade removes the glow
  }
  const size_t slot = size_t(GlowID);
  e->DropWindow(AppTerminating());
  GlowEffects[slot].reset();
  GlowID = -1;
  if (D && D->AnimTimer) D->KillAnimation();
}

void FreeAllGlows(bool ReleaseWindows) {
  if (GlowsReleasing) return;
  // Taken out first: freeing windows may reach code that shows or hides glows.
  std::vector<std::unique_ptr<TacGlowEffect>> all = std::move(GlowEffects);
  GlowEffects.clear();
  for (auto& e : all) {
    if (!e) continue;
    if (ReleaseWindows) e->DropWindow(true);
    if (e->SkinData) e->SkinData->GlowID = -1;
    e.reset();
  }
}

bool GlowFadeStep(TObject* Data, int) {
  auto* D = dynamic_cast<TsCommonData*>(Data);
  if (!D || !D->FOwnerControl || (D->FOwnerControl->ComponentState() & csDestroying) || !D->AnimTimer ||
      D->AnimTimer->Iterations <= 0)
    return false;
  TacThreadedTimer* t = D->AnimTimer;
  if (t->Iteration >= t->Iterations) {
    const int state = t->State;
    if (state != 1) HideGlow(D->GlowID, false);
    if (state == 0) D->KillAnimation();
    return false;
  }
  if (D->GlowID < 0) return true;
  t->Glow += t->State == 1 ? t->GlowStep : -t->GlowStep;
  SetGlowAlpha(D->GlowID, std::clamp(int(std::nearbyint(t->Glow)), 0, 255));
  return true;
}
