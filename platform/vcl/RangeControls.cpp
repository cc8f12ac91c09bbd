// Track bars, progress bars, up-down buttons and scroll bars.

#include "platform/vcl/RangeControls.h"

#include <algorithm>

#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"

// ---- TTrackBar ----

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 150;
  FHeight = 45;
  FTabStop = true;
}

void TTrackBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, TRACKBAR_CLASSW);
  Params.Style |= TBS_FIXEDLENGTH | TBS_ENABLESELRANGE;
  if (FOrientation == trVertical) Params.Style |= TBS_VERT;
  if (FTickStyle == tsNone) Params.Style |= TBS_NOTICKS;
  else if (FTickStyle == tsAuto) Params.Style |= TBS_AUTOTICKS;
  if (FTickMarks == tmTopLeft) Params.Style |= TBS_TOP;
  else if (FTickMarks == tmBoth) Params.Style |= TBS_BOTH;
  if (!FSliderVisible) Params.Style |= TBS_NOTHUMB;
  if (!FShowSelRange) Params.Style &= ~DWORD(TBS_ENABLESELRANGE);
}

void TTrackBar::CreateHandleDone() {
  SendMessageW(FHandle, TBM_SETTHUMBLENGTH, WPARAM(FThumbLength), 0);
  SendMessageW(FHandle, TBM_SETLINESIZE, 0, FLineSize);
  SendMessageW(FHandle, TBM_SETPAGESIZE, 0, FPageSize);
  SendMessageW(FHandle, TBM_SETRANGEMIN, FALSE, FMin);
  SendMessageW(FHandle, TBM_SETRANGEMAX, FALSE, FMax);
  UpdateSelection();
  SendMessageW(FHandle, TBM_SETPOS, TRUE, FPosition);
  SendMessageW(FHandle, TBM_SETTICFREQ, WPARAM(FFrequency), 1);
}

void TTrackBar::DestroyWnd() {
  if (FHandle) FPosition = int(SendMessageW(FHandle, TBM_GETPOS, 0, 0));
  TWinControl::DestroyWnd();
}

void TTrackBar::SetMin(int Value) {
  if (Value == FMin) return;
  FMin = Value;
  if (FMax < FMin) FMax = FMin;
  if (FHandle) SendMessageW(FHandle, TBM_SETRANGEMIN, TRUE, FMin);
  if (FPosition < FMin) SetPosition(FMin);
}

void TTrackBar::SetMax(int Value) {
  if (Value == FMax) return;
  FMax = Value;
  if (FMin > FMax) FMin = FMax;
  if (FHandle) SendMessageW(FHandle, TBM_SETRANGEMAX, TRUE, FMax);
  if (FPosition > FMax) SetPosition(FMax);
}

int TTrackBar::Position() {
  if (FHandle) FPosition = int(SendMessageW(FHandle, TBM_GETPOS, 0, 0));
  return FPosition;
}

void TTrackBar::SetPosition(int Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == Position()) return;
  FPosition = Value;
  if (FHandle) SendMessageW(FHandle, TBM_SETPOS, TRUE, Value);
  Changed();
}

void TTrackBar::SetFrequency(int Value) {
  FFrequency = std::max(1, Value);
  if (FHandle) SendMessageW(FHandle, TBM_SETTICFREQ, WPARAM(FFrequency), 1);
}

void TTrackBar::SetPageSize(int Value) {
  FPageSize = Value;
  if (FHandle) SendMessageW(FHandle, TBM_SETPAGESIZE, 0, Value);
}

void TTrackBar::SetLineSize(int Value) {
  FLineSize = Value;
  if (FHandle) SendMessageW(FHandle, TBM_SETLINESIZE, 0, Value);
}

void TTrackBar::UpdateSelection() {
  if (!FHandle) return;
  if (FSelStart == 0 && FSelEnd == 0) {
    SendMessageW(FHandle, TBM_CLEARSEL, TRUE, 0);
  } else {
    SendMessageW(FHandle, TBM_SETSELSTART, FALSE, FSelStart);
    SendMessageW(FHandle, TBM_SETSELEND, TRUE, FSelEnd);
  }
}

void TTrackBar::SetSelStart(int Value) {
  FSelStart = Value;
  UpdateSelection();
}

void TTrackBar::SetSelEnd(int Value) {
  FSelEnd = Value;
  UpdateSelection();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  // The control turns: width and height swap.
  SetBounds(FLeft, FTop, FHeight, FWidth);
  RecreateWnd();
}

void TTrackBar::SetTickMarks(TTickMark Value) {
  if (Value == FTickMarks) return;
  FTickMarks = Value;
  RecreateWnd();
}

void TTrackBar::SetTickStyle(TTickStyle Value) {
  if (Value == FTickStyle) return;
  FTickStyle = Value;
  RecreateWnd();
}

void TTrackBar::SetTick(int Value) {
  if (FHandle) SendMessageW(FHandle, TBM_SETTIC, 0, Value);
}

void TTrackBar::SetThumbLength(int Value) {
  FThumbLength = Value;
  if (FHandle) SendMessageW(FHandle, TBM_SETTHUMBLENGTH, WPARAM(Value), 0);
}

void TTrackBar::SetSliderVisible(bool Value) {
  if (Value == FSliderVisible) return;
  FSliderVisible = Value;
  RecreateWnd();
}

void TTrackBar::SetShowSelRange(bool Value) {
  if (Value == FShowSelRange) return;
  FShowSelRange = Value;
  RecreateWnd();
}

void TTrackBar::Changed() {
  if (OnChange) OnChange(this);
}

void TTrackBar::WndProc(TMessage& Message) {
  if (Message.Msg == CN_HSCROLL || Message.Msg == CN_VSCROLL) {
    // The user moved the thumb: one OnChange per new position.
    const int now = int(SendMessageW(FHandle, TBM_GETPOS, 0, 0));
    if (now != FPosition) {
      FPosition = now;
      Changed();
    }
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TProgressBar ----

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 150;
  FHeight = 17;
}

void TProgressBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, PROGRESS_CLASSW);
  if (FSmooth) Params.Style |= PBS_SMOOTH;
  if (FOrientation == pbVertical) Params.Style |= PBS_VERTICAL;
}

void TProgressBar::CreateHandleDone() {
  SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), FMax);
  SendMessageW(FHandle, PBM_SETSTEP, WPARAM(FStep), 0);
  SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
}

void TProgressBar::SetMin(int Value) {
  FMin = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), FMax);
}

void TProgressBar::SetMax(int Value) {
  FMax = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), FMax);
}

int TProgressBar::Position() {
  if (FHandle) FPosition = int(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
  return FPosition;
}

void TProgressBar::SetPosition(int Value) {
  FPosition = std::clamp(Value, FMin, std::max(FMin, FMax));
  if (FHandle) SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
}

void TProgressBar::SetStep(int Value) {
  FStep = Value;
  if (FHandle) SendMessageW(FHandle, PBM_SETSTEP, WPARAM(Value), 0);
}

void TProgressBar::StepIt() {
  // Stepping past the end wraps to the start, as the control does.
  int p = Position() + FStep;
  if (p > FMax) p = FMin + (p - FMax);
  SetPosition(p);
}

void TProgressBar::SetSmooth(bool Value) {
  if (Value == FSmooth) return;
  FSmooth = Value;
  RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  RecreateWnd();
}

// ---- TUpDown ----

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 17;
  FHeight = 25;
}

void TUpDown::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, UPDOWN_CLASSW);
  // The control is placed beside its buddy here (SetAssociate), so the buddy keeps its width.
  Params.Style |= UDS_SETBUDDYINT;
  if (FOrientation == udHorizontal) Params.Style |= UDS_HORZ;
  if (FArrowKeys) Params.Style |= UDS_ARROWKEYS;
  if (!FThousands) Params.Style |= UDS_NOTHOUSANDS;
  if (FWrap) Params.Style |= UDS_WRAP;
}

void TUpDown::CreateHandleDone() {
  SendMessageW(FHandle, UDM_SETRANGE32, WPARAM(FMin), FMax);
  SendMessageW(FHandle, UDM_SETPOS32, 0, FPosition);
  if (FAssociate) SendMessageW(FHandle, UDM_SETBUDDY, WPARAM(FAssociate->Handle()), 0);
}

void TUpDown::SetMin(int Value) {
  FMin = Value;
  if (FHandle) SendMessageW(FHandle, UDM_SETRANGE32, WPARAM(FMin), FMax);
}

void TUpDown::SetMax(int Value) {
  FMax = Value;
  if (FHandle) SendMessageW(FHandle, UDM_SETRANGE32, WPARAM(FMin), FMax);
}

int TUpDown::Position() {
  if (FHandle) FPosition = int(SendMessageW(FHandle, UDM_GETPOS32, 0, 0));
  return FPosition;
}

void TUpDown::SetPosition(int Value) {
  FPosition = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (FHandle) SendMessageW(FHandle, UDM_SETPOS32, 0, FPosition);
  // The buddy shows the new number (the control writes it on clicks only).
  if (FAssociate) FAssociate->SetTextValue(IntToStr(FPosition));
}

void TUpDown::SetIncrement(int Value) { FIncrement = Value == 0 ? 1 : Value; }

void TUpDown::SetAssociate(TWinControl* Value) {
  if (FAssociate) RemoveFreeNotification(FAssociate);
  FAssociate = Value;
  if (!Value) {
    if (FHandle) SendMessageW(FHandle, UDM_SETBUDDY, 0, 0);
    return;
  }
  FreeNotification(Value);
  // Beside the buddy, as tall as it.
  const int x = FAlignButton == udRight ? Value->Left() + Value->Width() : Value->Left() - FWidth;
  SetBounds(x, Value->Top(), FWidth, Value->Height());
  if (FHandle && Value->Parent() == FParent) SendMessageW(FHandle, UDM_SETBUDDY, WPARAM(Value->Handle()), 0);
  Value->SetTextValue(IntToStr(FPosition));
}

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAssociate) FAssociate = nullptr;
}

void TUpDown::SetAlignButton(TUDAlignButton Value) {
  if (Value == FAlignButton) return;
  FAlignButton = Value;
  RecreateWnd();
}

void TUpDown::SetOrientation(TUDOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  RecreateWnd();
}

void TUpDown::SetWrap(bool Value) {
  if (Value == FWrap) return;
  FWrap = Value;
  RecreateWnd();
}

void TUpDown::SetArrowKeys(bool Value) {
  if (Value == FArrowKeys) return;
  FArrowKeys = Value;
  RecreateWnd();
}

void TUpDown::SetThousands(bool Value) {
  if (Value == FThousands) return;
  FThousands = Value;
  RecreateWnd();
}

void TUpDown::WndProc(TMessage& Message) {
  if (Message.Msg == CN_NOTIFY) {
    auto* nm = reinterpret_cast<NMUPDOWN*>(Message.LParam);
    if (nm->hdr.code == UDN_DELTAPOS) {
      bool allow = true;
      if (OnChanging) OnChanging(this, allow);
      if (!allow) {
        Message.Result = 1;  // refuses the change
        return;
      }
      // The step is Increment, not the control's one.
      nm->iDelta = nm->iDelta < 0 ? -FIncrement : FIncrement;
      if (OnClick) OnClick(this, nm->iDelta > 0 ? btNext : btPrev);
      Message.Result = 0;
      return;
    }
  }
  if ((Message.Msg == CN_VSCROLL || Message.Msg == CN_HSCROLL) && FHandle) {
    FPosition = int(SendMessageW(FHandle, UDM_GETPOS32, 0, 0));
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TScrollBar ----

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 121;
  FHeight = GetSystemMetrics(SM_CYHSCROLL);
  FTabStop = true;
}

void TScrollBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "SCROLLBAR");
  Params.Style |= FKind == sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::CreateHandleDone() { UpdateBar(); }

void TScrollBar::UpdateBar() {
  if (!FHandle) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = FMin;
  si.nMax = FMax;
  si.nPage = UINT(std::max(0, FPageSize));
  si.nPos = FPosition;
  SetScrollInfo(FHandle, SB_CTL, &si, TRUE);
}

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (Value == FKind) return;
  FKind = Value;
  SetBounds(FLeft, FTop, FHeight, FWidth);
  RecreateWnd();
}

void TScrollBar::SetPageSize(int Value) {
  FPageSize = std::max(0, Value);
  UpdateBar();
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
  if (AMax < AMin) AMax = AMin;
  APosition = std::clamp(APosition, AMin, AMax);
  const bool changed = APosition != FPosition;
  FMin = AMin;
  FMax = AMax;
  FPosition = APosition;
  UpdateBar();
  if (changed && OnChange) OnChange(this);
}

void TScrollBar::WndProc(TMessage& Message) {
  if (Message.Msg == CN_HSCROLL || Message.Msg == CN_VSCROLL) {
    const WORD code = LOWORD(Message.WParam);
    int pos = FPosition;
    switch (code) {
      case SB_LINEUP: pos -= SmallChange; break;
      case SB_LINEDOWN: pos += SmallChange; break;
      case SB_PAGEUP: pos -= LargeChange; break;
      case SB_PAGEDOWN: pos += LargeChange; break;
      case SB_THUMBPOSITION: case SB_THUMBTRACK: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(FHandle, SB_CTL, &si);
        pos = si.nTrackPos;
        break;
      }
      case SB_TOP: pos = FMin; break;
      case SB_BOTTOM: pos = FMax; break;
      default: break;
    }
    pos = std::clamp(pos, FMin, FMax);
    if (OnScroll) OnScroll(this, code <= SB_ENDSCROLL ? TScrollCode(code) : scEndScroll, pos);
    SetPosition(pos);
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- Published properties ----

void RegisterRangeControlsClasses() {
  RegisterPropertyClass<TTrackBar, TWinControl>(
      "TTrackBar",
      {IntProp<TTrackBar>("Min", [](TTrackBar* c) { return c->Min(); }, [](TTrackBar* c, int v) { c->SetMin(v); }),
       IntProp<TTrackBar>("Max", [](TTrackBar* c) { return c->Max(); }, [](TTrackBar* c, int v) { c->SetMax(v); }),
       IntProp<TTrackBar>("Position", [](TTrackBar* c) { return c->Position(); },
                          [](TTrackBar* c, int v) { c->SetPosition(v); }),
       IntProp<TTrackBar>("Frequency", [](TTrackBar* c) { return c->Frequency(); },
                          [](TTrackBar* c, int v) { c->SetFrequency(v); }),
       IntProp<TTrackBar>("PageSize", [](TTrackBar* c) { return c->PageSize(); },
                          [](TTrackBar* c, int v) { c->SetPageSize(v); }),
       IntProp<TTrackBar>("LineSize", [](TTrackBar* c) { return c->LineSize(); },
                          [](TTrackBar* c, int v) { c->SetLineSize(v); }),
       IntProp<TTrackBar>("SelStart", [](TTrackBar* c) { return c->SelStart(); },
                          [](TTrackBar* c, int v) { c->SetSelStart(v); }),
       IntProp<TTrackBar>("SelEnd", [](TTrackBar* c) { return c->SelEnd(); }, [](TTrackBar* c, int v) { c->SetSelEnd(v); }),
       IntProp<TTrackBar>("ThumbLength", [](TTrackBar* c) { return c->ThumbLength(); },
                          [](TTrackBar* c, int v) { c->SetThumbLength(v); }),
       EnumProp<TTrackBar, TTrackBarOrientation>("Orientation", {"trHorizontal", "trVertical"},
                                                 [](TTrackBar* c) { return c->Orientation(); },
                                                 [](TTrackBar* c, TTrackBarOrientation v) { c->SetOrientation(v); }),
       EnumProp<TTrackBar, TTickMark>("TickMarks", {"tmBottomRight", "tmTopLeft", "tmBoth"},
                                      [](TTrackBar* c) { return c->TickMarks(); },
                                      [](TTrackBar* c, TTickMark v) { c->SetTickMarks(v); }),
       EnumProp<TTrackBar, TTickStyle>("TickStyle", {"tsNone", "tsAuto", "tsManual"},
                                       [](TTrackBar* c) { return c->TickStyle(); },
                                       [](TTrackBar* c, TTickStyle v) { c->SetTickStyle(v); }),
       BoolProp<TTrackBar>("SliderVisible", [](TTrackBar* c) { return c->SliderVisible(); },
                           [](TTrackBar* c, bool v) { c->SetSliderVisible(v); }),
       BoolProp<TTrackBar>("ShowSelRange", [](TTrackBar* c) { return c->ShowSelRange(); },
                           [](TTrackBar* c, bool v) { c->SetShowSelRange(v); }),
       EventProp<TTrackBar>("OnChange", &TTrackBar::OnChange)});
  RegisterPropertyClass<TProgressBar, TWinControl>(
      "TProgressBar",
      {IntProp<TProgressBar>("Min", [](TProgressBar* c) { return c->Min(); }, [](TProgressBar* c, int v) { c->SetMin(v); }),
       IntProp<TProgressBar>("Max", [](TProgressBar* c) { return c->Max(); }, [](TProgressBar* c, int v) { c->SetMax(v); }),
       IntProp<TProgressBar>("Position", [](TProgressBar* c) { return c->Position(); },
                             [](TProgressBar* c, int v) { c->SetPosition(v); }),
       IntProp<TProgressBar>("Step", [](TProgressBar* c) { return c->Step(); }, [](TProgressBar* c, int v) { c->SetStep(v); }),
       BoolProp<TProgressBar>("Smooth", [](TProgressBar* c) { return c->Smooth(); },
                              [](TProgressBar* c, bool v) { c->SetSmooth(v); }),
       EnumProp<TProgressBar, TProgressBarOrientation>(
           "Orientation", {"pbHorizontal", "pbVertical"}, [](TProgressBar* c) { return c->Orientation(); },
           [](TProgressBar* c, TProgressBarOrientation v) { c->SetOrientation(v); })});
  RegisterPropertyClass<TUpDown, TWinControl>(
      "TUpDown",
      {IntProp<TUpDown>("Min", [](TUpDown* c) { return c->Min(); }, [](TUpDown* c, int v) { c->SetMin(v); }),
       IntProp<TUpDown>("Max", [](TUpDown* c) { return c->Max(); }, [](TUpDown* c, int v) { c->SetMax(v); }),
       IntProp<TUpDown>("Position", [](TUpDown* c) { return c->Position(); }, [](TUpDown* c, int v) { c->SetPosition(v); }),
       IntProp<TUpDown>("Increment", [](TUpDown* c) { return c->Increment(); },
                        [](TUpDown* c, int v) { c->SetIncrement(v); }),
       ComponentProp<TUpDown>("Associate", [](TUpDown* c) { return c->Associate(); },
                              [](TUpDown* c, TComponent* v) { c->SetAssociate(dynamic_cast<TWinControl*>(v)); }),
       EnumProp<TUpDown, TUDAlignButton>("AlignButton", {"udLeft", "udRight"}, [](TUpDown* c) { return c->AlignButton(); },
                                         [](TUpDown* c, TUDAlignButton v) { c->SetAlignButton(v); }),
       EnumProp<TUpDown, TUDOrientation>("Orientation", {"udHorizontal", "udVertical"},
                                         [](TUpDown* c) { return c->Orientation(); },
                                         [](TUpDown* c, TUDOrientation v) { c->SetOrientation(v); }),
       BoolProp<TUpDown>("Wrap", [](TUpDown* c) { return c->Wrap(); }, [](TUpDown* c, bool v) { c->SetWrap(v); }),
       BoolProp<TUpDown>("ArrowKeys", [](TUpDown* c) { return c->ArrowKeys(); },
                         [](TUpDown* c, bool v) { c->SetArrowKeys(v); }),
       BoolProp<TUpDown>("Thousands", [](TUpDown* c) { return c->Thousands(); },
                         [](TUpDown* c, bool v) { c->SetThousands(v); }),
       EventProp<TUpDown>("OnClick", &TUpDown::OnClick), EventProp<TUpDown>("OnChanging", &TUpDown::OnChanging)});
  RegisterPropertyClass<TScrollBar, TWinControl>(
      "TScrollBar",
      {EnumProp<TScrollBar, TScrollBarKind>("Kind", {"sbHorizontal", "sbVertical"}, [](TScrollBar* c) { return c->Kind(); },
                                            [](TScrollBar* c, TScrollBarKind v) { c->SetKind(v); }),
       IntProp<TScrollBar>("Min", [](TScrollBar* c) { return c->Min(); }, [](TScrollBar* c, int v) { c->SetMin(v); }),
       IntProp<TScrollBar>("Max", [](TScrollBar* c) { return c->Max(); }, [](TScrollBar* c, int v) { c->SetMax(v); }),
       IntProp<TScrollBar>("Position", [](TScrollBar* c) { return c->Position(); },
                           [](TScrollBar* c, int v) { c->SetPosition(v); }),
       IntProp<TScrollBar>("PageSize", [](TScrollBar* c) { return c->PageSize(); },
                           [](TScrollBar* c, int v) { c->SetPageSize(v); }),
       IntProp<TScrollBar>("SmallChange", [](TScrollBar* c) { return c->SmallChange; },
                           [](TScrollBar* c, int v) { c->SmallChange = v; }),
       IntProp<TScrollBar>("LargeChange", [](TScrollBar* c) { return c->LargeChange; },
                           [](TScrollBar* c, int v) { c->LargeChange = v; }),
       EventProp<TScrollBar>("OnChange", &TScrollBar::OnChange), EventProp<TScrollBar>("OnScroll", &TScrollBar::OnScroll)});
}
