#pragma once
// The one timer behind every timed effect of the skinning library. It owns no
// thread: it wraps one framework timer, so every tick runs on the user
// interface thread from the message loop. On top of a plain timer it carries
// the state of one animation: a level between 0 and 255 (Glow), a step
// counter, the bitmaps of a fade and a procedure called once per step.

#include <memory>

#include "platform/os/Threads.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Graphics.h"

// Paints or applies step Iteration of the animation of Data; true while it is to continue.
using TacAnimProc = bool (*)(TObject* Data, int Iteration);


// Every animation of the library steps at this interval (ms); T ms take T div 12 steps.
inline constexpr unsigned kAnimStep = 12;

class TacThreadedTimer : public TComponent {
 public:
  // Enabled at an interval of 1000 ms, unless the application is terminating
  // (then disabled, interval 0 and never ticking).
  explicit TacThreadedTimer(TComponent* AOwner);
  // Disabled, remembering AOwner as the object whose animation runs; with
  // ChangeEvent every tick runs TimeHandler.
  TacThreadedTimer(TComponent* AOwner, bool ChangeEvent);
  ~TacThreadedTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority Value);

  // Prepares and starts a fade towards AState (0 normal, 1 hot, 2 pressed;
  // other values fade by step count) from the current Glow.
  void InitData(TObject* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast);
  // One step at the current Iteration (not advanced); false from the procedure ends the animation.
  virtual void TimeHandler();
  // Dst (made or resized to R's size) := Src's pixels at R's top-left.
  static void CopyFrom(std::unique_ptr<TBitmap>& Dst, TBitmap* Src, const TRect& R);
  void Reset();

  bool FEnabled = false;
  unsigned FInterval = 0;
  TNotifyEvent FOnTimer;
  TTimer* FTimerThread = nullptr;  // owned through the component tree
  TThreadPriority FThreadPriority = tpNormal;
  bool InHandler = false;
  bool Executing = false;
  TObject* FOwner = nullptr;
  double Glow = 0;
  double Value = 0;
  double GlowStep = 0;
  double ValueStep = 0;
  int State = -1;
  int Iteration = 0;
  int IntState = -1;
  int OldState = -1;
  int Iterations = 6;
  int ThreadType = 0;  // 0 a state-change fade, 1 a glow-only fade
  std::unique_ptr<TBitmap> BmpTo, BmpOut, BmpFrom;
  TRect AnimRect;
  TObject* AnimData = nullptr;  // not owned
  bool Destroyed = false;
  TControl* AnimControl = nullptr;
  TacAnimProc AnimProc = nullptr;

 private:
  void CreateInnerTimer();
  void FreeInnerTimer();
  void UpdateTimer();
  void DoTimer();
  void InnerTimerProc(TObject* Sender);
};

// Steps left of Timer's running fade; a missing timer is made (Glow 255 for
// a fade back to normal, AState 0) and 0 is answered.
int GetAnimTimer(TacThreadedTimer*& Timer, TComponent* AOwner, int AState);
