#include "skin/core/acThdTimer.h"

#include <algorithm>
#include <cmath>

#include "platform/vcl/Forms.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sCommonData.h"

namespace {
bool AppTerminating() { return Application && Application->Terminated(); }
int RoundEven(double V) { return int(std::nearbyint(V)); }  // default rounding mode: halves to even
}  // namespace

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner) : TComponent(AOwner) {
  if (!AppTerminating()) {
    FEnabled = true;
    FInterval = 1000;
    CreateInnerTimer();
  }
}

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner, bool ChangeEvent) : TacThreadedTimer(AOwner) {
  SetEnabled(false);
  FOwner = AOwner;
  if (ChangeEvent) SetOnTimer([this](TObject*) { TimeHandler(); });
}

TacThreadedTimer::~TacThreadedTimer() {
  Destroying();
  SetEnabled(false);
  if (auto* data = dynamic_cast<TsCommonData*>(AnimData); data && data->AnimTimer == this) data->AnimTimer = nullptr;
  if (Destroyed) return;
  Destroyed = true;
  FreeInnerTimer();
}

void TacThreadedTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TacThreadedTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  if (FTimerThread) {
    FTimerThread->SetInterval(Value);
    UpdateTimer();
  }
}

void TacThreadedTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

void TacThreadedTimer::SetThreadPriority(TThreadPriority Value) {
  if (Value == FThreadPriority) return;
  FThreadPriority = Value;
  UpdateTimer();
}

void TacThreadedTimer::CreateInnerTimer() {
  FTimerThread = new TTimer(this);
  FTimerThread->SetEnabled(false);
  FTimerThread->SetInterval(FInterval);
  FTimerThread->OnTimer = [this](TObject* Sender) { InnerTimerProc(Sender); };
}

void TacThreadedTimer::FreeInnerTimer() {
  if (!FTimerThread) return;
  FTimerThread->SetEnabled(false);
  delete FTimerThread;
  FTimerThread = nullptr;
}

void TacThreadedTimer::UpdateTimer() {
  if (!FTimerThread) return;
  FTimerThread->SetEnabled(false);
  if (FInterval != 0 && FEnabled && (FOnTimer || AnimProc)) FTimerThread->SetEnabled(true);
}

void TacThreadedTimer::Reset() {
  FreeInnerTimer();
  CreateInnerTimer();
  UpdateTimer();
}

void TacThreadedTimer::InnerTimerProc(TObject* Sender) {
  auto* inner = static_cast<TTimer*>(Sender);
  if (!inner->Enabled() || Executing || Destroyed) return;
  Executing = true;
  DoTimer();
  Executing = false;
}

void TacThreadedTimer::DoTimer() {
  if (Destroyed || !FEnabled) return;
  if (AnimProc) {
    // The procedure's answer is not used here: it stops early by disabling the timer itself.
    if (++Iteration > Iterations)
      SetEnabled(false);
    else
      AnimProc(AnimData, Iteration);
  } else if (FOnTimer) {
    FOnTimer(this);
  }
}

void TacThreadedTimer::TimeHandler() {
  if (FEnabled && AnimProc && !Destroyed && !AnimProc(AnimData, Iteration)) {
    SetEnabled(false);
    State = -1;
  }
}

void TacThreadedTimer::CopyFrom(std::unique_ptr<TBitmap>& Dst, TBitmap* Src, const TRect& R) {
  if (!Dst)
    Dst = NewBitmap32ForRect(R);
  else
    Dst->SetSize(std::max(R.Width(), 0), std::max(R.Height(), 0));
  BitBlt(Dst->Canvas()->Handle(), 0, 0, Dst->Width(), Dst->Height(), Src->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
}

void TacThreadedTimer::InitData(TObject* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast) {
  SetEnabled(false);
  AnimData = AData;
  Value = 0;
  Glow = std::clamp(Glow, 0.0, 255.0);
  Iterations = 6;
  if (AFast) Iterations /= 2;
  switch (AState) {
    case 0:
      Iterations *= 2;
      GlowStep = Glow / Iterations;
      break;
    case 2:
      GlowStep = Glow / Iterations;
      break;
    default:
      Iterations = State > 0 ? 6 : RoundEven((255 - Glow) * 6 / 255);
      Iterations = std::max(1, Iterations);
      GlowStep = (255 - Glow) / Iterations;
  }
  ValueStep = (255 - Value) / Iterations;
  // A reversed fade starts from the picture now on screen.
  if ((AState == 2 || (AState == 1 && State == 2)) && BmpOut) CopyFrom(BmpFrom, BmpOut.get(), BitmapRect(BmpOut.get()));
  if (AState == 1 && State < 1)
    Iteration = RoundEven(6 * Glow / 255);
  else if (AState == 0 && State == 1)
    Iteration = Glow == 0 ? 0 : RoundEven((255 - Glow) * Iterations / 255);
  else
    Iteration = BmpOut ? 0 : AIteration;
  SetInterval(kAnimStep);
  AnimProc = AAnimProc;
  OldState = State;
  State = AState;
  SetEnabled(true);
}

int GetAnimTimer(TacThreadedTimer*& Timer, TComponent* AOwner, int AState) {
  if (Timer) return std::max((Timer->State == 0 ? 12 : 6) - Timer->Iteration, 0);
  Timer = new TacThreadedTimer(AOwner);
  if (AState == 0) Timer->Glow = 255;
  return 0;
}
