#pragma once
// Controls over a range of integers: track bars, progress bars, up-down
// buttons and scroll bars, over the layer's "msctls_trackbar32",
// "msctls_progress32", "msctls_updown32" and "SCROLLBAR" classes.

#include "platform/vcl/StdCtrls.h"

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TTickMark { tmBottomRight, tmTopLeft, tmBoth };
enum TTickStyle { tsNone, tsAuto, tsManual };

class TTrackBar : public TWinControl {
 public:
  explicit TTrackBar(TComponent* AOwner);
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  // Setting Position in code fires OnChange too, once per change.
  int Position();
  void SetPosition(int Value);
  int Frequency() const { return FFrequency; }
  void SetFrequency(int Value);
  int PageSize() const { return FPageSize; }
  void SetPageSize(int Value);
  int LineSize() const { return FLineSize; }
  void SetLineSize(int Value);
  // The selected range shown in the channel; both 0 hide it.
  int SelStart() const { return FSelStart; }
  void SetSelStart(int Value);
  int SelEnd() const { return FSelEnd; }
  void SetSelEnd(int Value);
  TTrackBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TTrackBarOrientation Value);
  TTickMark TickMarks() const { return FTickMarks; }
  void SetTickMarks(TTickMark Value);
  TTickStyle TickStyle() const { return FTickStyle; }
  void SetTickStyle(TTickStyle Value);
  // A tick at Value (manual ticks).
  void SetTick(int Value);
  int ThumbLength() const { return FThumbLength; }
  void SetThumbLength(int Value);
  bool SliderVisible() const { return FSliderVisible; }
  void SetSliderVisible(bool Value);
  bool ShowSelRange() const { return FShowSelRange; }
  void SetShowSelRange(bool Value);

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;
  virtual void Changed();

 private:
  void UpdateSelection();
  int FMin = 0;
  int FMax = 10;
  int FPosition = 0;
  int FFrequency = 1;
  int FPageSize = 2;
  int FLineSize = 1;
  int FSelStart = 0;
  int FSelEnd = 0;
  int FThumbLength = 20;
  TTrackBarOrientation FOrientation = trHorizontal;
  TTickMark FTickMarks = tmBottomRight;
  TTickStyle FTickStyle = tsAuto;
  bool FSliderVisible = true;
  bool FShowSelRange = true;
};

enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  int Position();
  void SetPosition(int Value);
  int Step() const { return FStep; }
  void SetStep(int Value);
  void StepIt();
  void StepBy(int Delta) { SetPosition(Position() + Delta); }
  bool Smooth() const { return FSmooth; }
  void SetSmooth(bool Value);
  TProgressBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TProgressBarOrientation Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;

 private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FStep = 10;
  bool FSmooth = false;
  TProgressBarOrientation FOrientation = pbHorizontal;
};

enum TUDBtnType { btNext, btPrev };
enum TUDAlignButton { udLeft, udRight };
enum TUDOrientation { udHorizontal, udVertical };

class TUpDown : public TWinControl {
 public:
  explicit TUpDown(TComponent* AOwner);
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  // Setting Position in code fires no event; clicks fire OnChanging and OnClick.
  int Position();
  void SetPosition(int Value);
  int Increment() const { return FIncrement; }
  void SetIncrement(int Value);
  // The edit (or other control) that shows the position; the up-down sits beside it.
  TWinControl* Associate() const { return FAssociate; }
  void SetAssociate(TWinControl* Value);
  TUDAlignButton AlignButton() const { return FAlignButton; }
  void SetAlignButton(TUDAlignButton Value);
  TUDOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TUDOrientation Value);
  bool Wrap() const { return FWrap; }
  void SetWrap(bool Value);
  bool ArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool Value);
  bool Thousands() const { return FThousands; }
  void SetThousands(bool Value);

  std::function<void(TObject* Sender, TUDBtnType Button)> OnClick;
  std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& Message) override;

 private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FIncrement = 1;
  TWinControl* FAssociate = nullptr;
  TUDAlignButton FAlignButton = udRight;
  TUDOrientation FOrientation = udVertical;
  bool FWrap = false;
  bool FArrowKeys = true;
  bool FThousands = true;
};

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

// A stand-alone scroll bar over the layer's "SCROLLBAR" class.
class TScrollBar : public TWinControl {
 public:
  explicit TScrollBar(TComponent* AOwner);
  TScrollBarKind Kind() const { return FKind; }
  void SetKind(TScrollBarKind Value);
  int Min() const { return FMin; }
  void SetMin(int Value) { SetParams(FPosition, Value, FMax); }
  int Max() const { return FMax; }
  void SetMax(int Value) { SetParams(FPosition, FMin, Value); }
  // Setting Position in code fires OnChange too.
  int Position() const { return FPosition; }
  void SetPosition(int Value) { SetParams(Value, FMin, FMax); }
  int PageSize() const { return FPageSize; }
  void SetPageSize(int Value);
  int SmallChange = 1;
  int LargeChange = 1;
  void SetParams(int APosition, int AMin, int AMax);

  TNotifyEvent OnChange;
  // Before a user's scroll takes effect; the handler may change ScrollPos.
  std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)> OnScroll;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;

 private:
  void UpdateBar();
  TScrollBarKind FKind = sbHorizontal;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FPageSize = 0;
};

void RegisterRangeControlsClasses();
