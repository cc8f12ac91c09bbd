#include "skin/controls/acSBWnd.h"

#include <algorithm>
#include <cmath>

#include "platform/vcl/Forms.h"
#include "skin/controls/acSBUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"

namespace {

// The nearest integer, ties to even.
int Nearest(double V) { return int(std::nearbyint(V)); }

constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME;
constexpr UINT CM_CHANGED_MSG = CM_BASE + 55;

}  // namespace

// ---- Geometry ----

bool TacSBWnd::Vertical() const {
  return Control ? Control->Kind() == sbVertical : (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & SBS_VERT) != 0;
}

TSize TacSBWnd::ClientSize() const {
  RECT r{};
  GetClientRect(CtrlHandle, &r);
  return TSize(r.right - r.left, r.bottom - r.top);
}

int TacSBWnd::Length() const { return Vertical() ? ClientSize().cy : ClientSize().cx; }
int TacSBWnd::SysBtnSize() const { return GetScrollWidth(SkinManager); }
int TacSBWnd::WorkSize() const { return Length() - 2 * SysBtnSize(); }

int TacSBWnd::SliderSize() const {
  if (FSI.nPage == 0) return kDefaultMinThumbSize;
  const int page = int(FSI.nPage);
  const double range = double(FSI.nMax) + page - std::max(page - 1, 0) - FSI.nMin;
  return std::max(range > 0 ? Nearest(WorkSize() * double(page) / range) : 0, kDefaultMinThumbSize);
}

int TacSBWnd::PositionToCoord() const {
  const int a = std::max(int(FSI.nPage) - 1, 0), d = FSI.nMax - FSI.nMin;
  if (d == a) return Length() / 2;
  const int room = Length() - 2 * SysBtnSize() - SliderSize();
  return SysBtnSize() + SliderSize() / 2 + Nearest(double(room) / (d - a) * (FCurrPos - FSI.nMin));
}

int TacSBWnd::CoordToPosition(const TPoint& P) const {
  const int room = Length() - 2 * SysBtnSize() - SliderSize();
  if (!IsWindowEnabled(CtrlHandle) || room == 0) return 0;
  const int a = std::max(int(FSI.nPage) - 1, 0), d = FSI.nMax - FSI.nMin;
  const int at = Vertical() ? P.Y : P.X;
  return Nearest(double(d - a) * (at - SysBtnSize() - SliderSize() / 2) / room);
}

namespace {
// A band [a0, a1) along the bar of a client area w x h.
TRect Band(bool Vertical, const TSize& S, int a0, int a1) {
  return Vertical ? TRect(0, a0, S.cx, a1) : TRect(a0, 0, a1, S.cy);
}
}  // namespace

TRect TacSBWnd::Btn1Rect() {
  const int l = Length();
  return FBtn1Rect = Band(Vertical(), ClientSize(), 0, std::min(SysBtnSize(), l / 2));
}

TRect TacSBWnd::Btn2Rect() {
  const int l = Length();
  return FBtn2Rect = Band(Vertical(), ClientSize(), std::max(l - SysBtnSize(), l / 2), l);
}

TRect TacSBWnd::Bar1Rect() { return FBar1Rect = Band(Vertical(), ClientSize(), 0, PositionToCoord()); }
TRect TacSBWnd::Bar2Rect() { return FBar2Rect = Band(Vertical(), ClientSize(), PositionToCoord(), Length()); }

TRect TacSBWnd::SliderRect() {
  const bool v = Vertical();
  const int size = SliderSize();
  const int max = Control ? Control->Max() : FSI.nMax, min = Control ? Control->Min() : FSI.nMin;
  const int page = Control ? Control->PageSize() : int(FSI.nPage), pos = Control ? Control->Position() : FSI.nPos;
  int start;
  if (max == min) {
    const TRect b = Btn1Rect();
    start = v ? b.Bottom : b.Right;
  } else if (v && max - page == pos) {
    start = Btn2Rect().Top - size;
  } else {
    start = Nearest(PositionToCoord() - size / 2.0);
  }
  return FSliderRect = Band(v, ClientSize(), start, start + size);
}

bool TacSBWnd::BarIsHot() const { return SkinData && SkinData->CurrentState() > 0; }

// ---- States ----

int TacSBWnd::PartState(int Index) const {
  switch (Index) {
    case ptBtn1: return FBtn1State;
    case ptBtn2: return FBtn2State;
    case ptBar1: return FBar1State;
    case ptBar2: return FBar2State;
    default: return FSliderState;
  }
}

void TacSBWnd::SetPartState(int Index, int Value) {
  int* field[] = {&FBtn1State, &FBtn2State, &FBar1State, &FBar2State, &FSliderState};
  if (*field[Index] == Value) return;
  *field[Index] = Value;
  if (Value != 1 && Value != 2) return;
  // A hot or pressed part leaves the others normal, the tracks hot.
  switch (Index) {
    case ptBtn1:
    case ptBtn2:
      *field[Index == ptBtn1 ? ptBtn2 : ptBtn1] = 0;
      FSliderState = 0;
      FBar1State = FBar2State = 1;
      break;
    case ptBar1:
      FBtn1State = FBtn2State = FSliderState = 0;
      FBar2State = 1;
      break;
    case ptBar2:
      FBtn1State = FBtn2State = FSliderState = 0;
      FBar1State = 1;
      break;
    default:
      FBtn1State = FBtn2State = 0;
      FBar1State = FBar2State = 1;
  }
}

void TacSBWnd::UpdateBar() {
  InvalidateRect(CtrlHandle, nullptr, FALSE);
  UpdateWindow(CtrlHandle);
}

void TacSBWnd::LMouseDown(int X, int Y) {
  if (!IsWindowEnabled(CtrlHandle)) return;
  const TPoint p(X, Y);
  MouseOffset = 0;
  if (Btn1Rect().Contains(p)) {
    if (FBtn1State != 2) {
      ScrollCode = 0;
      SetPartState(ptBtn1, 2);
    }
  } else if (Btn2Rect().Contains(p)) {
    if (FBtn2State != 2) {
      SetPartState(ptBtn2, 2);
      ScrollCode = 1;
    }
  } else if (SliderRect().Contains(p)) {
    ScrollCode = 5;
    if (FSliderState != 2) {
      MouseOffset = CoordToPosition(p) - (Control ? Control->Position() : FSI.nPos);
      SetPartState(ptSlider, 2);
    }
  } else if (Bar1Rect().Contains(p)) {
    ScrollCode = 2;
    if (FBar1State != 2) {
      SetPartState(ptBar1, 2);
      SetPartState(ptBar2, BarIsHot());
    }
  } else {
    ScrollCode = 3;
    if (FBar2State != 2) {
      SetPartState(ptBar1, BarIsHot());
      SetPartState(ptBar2, 2);
    }
  }
  UpdateBar();
}

void TacSBWnd::LMouseUp(int X, int Y) {
  if (!IsWindowEnabled(CtrlHandle)) return;
  const TPoint p(X, Y);
  if (SliderRect().Contains(p) || FSliderState == 2) {
    ScrollCode = 4;
    SetPartState(ptBar1, BarIsHot());
    SetPartState(ptBar2, FBar1State);
    if (FSliderState == 2) SetPartState(ptSlider, SliderRect().Contains(p) ? 1 : 0);
    // The drag is over: the drawn thumb follows the scroll state again.
    FCurrPos = FSI.nPos;
  } else if (FBtn1State == 2 && Btn1Rect().Contains(p)) {
    SetPartState(ptBtn1, 1);
  } else if (FBtn2State == 2 && Btn2Rect().Contains(p)) {
    SetPartState(ptBtn2, 1);
  } else if (FBar1State == 2) {
    SetPartState(ptBar1, BarIsHot());
  } else if (FBar2State == 2) {
    SetPartState(ptBar2, BarIsHot());
  }
  // A press that ends off its part leaves nothing pressed.
  for (int i = ptBtn1; i <= ptSlider; ++i)
    if (PartState(i) == 2) SetPartState(i, 0);
  UpdateBar();
  ScrollCode = 8;
}

void TacSBWnd::WMNCHitTest(TMessage& Message) {
  if (!IsWindowEnabled(CtrlHandle)) return;
  POINT sp{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  ScreenToClient(CtrlHandle, &sp);
  const TPoint p(sp.x, sp.y);
  if (SliderRect().Contains(p) || FSliderState == 2) {
    if (FSliderState == 2) {
      const int pos = CoordToPosition(p) - MouseOffset;
      const int cur = Control ? Control->Position() : FSI.nPos;
      if (pos != cur) {
        // The drawn thumb follows the mouse while the scroll state catches up.
        const int last = FSI.nMax - std::max(int(FSI.nPage) - 1, 0);
        FCurrPos = std::clamp(pos, FSI.nMin, std::max(FSI.nMin, last));
        if (Control)
          Control->SetPosition(FCurrPos);
        else
          SetScrollPos(CtrlHandle, SB_CTL, FCurrPos, FALSE);
      }
    } else {
      SetPartState(ptSlider, 1);
    }
  } else if (Btn1Rect().Contains(p)) {
    if (FBtn1State != 2) SetPartState(ptBtn1, 1);
  } else if (Btn2Rect().Contains(p)) {
    if (FBtn2State != 2) SetPartState(ptBtn2, 1);
  } else {
    SetPartState(ptSlider, 0);
    SetPartState(ptBtn1, 0);
    SetPartState(ptBtn2, 0);
  }
  UpdateBar();
}

void TacSBWnd::CMMouseEnter() {
  SetPartState(ptBar1, 1);
  SetPartState(ptBar2, 1);
  UpdateBar();
}

void TacSBWnd::CMMouseLeave() {
  FBtn1State = FBtn2State = 0;
  if (FSliderState != 2) FSliderState = FBar1State = FBar2State = 0;
  UpdateBar();
}

// ---- Scroll state and the redraw lock ----

void TacSBWnd::InitScrollData() {
  FSI = SCROLLINFO();
  FSI.nMax = Control->Max();
  FSI.nMin = Control->Min();
  FSI.nPos = FSI.nTrackPos = FCurrPos = Control->Position();
  FSI.nPage = UINT(Control->PageSize());
}

void TacSBWnd::SetScrollInfoMsg(TMessage& Message) {
  if (const auto* si = reinterpret_cast<const SCROLLINFO*>(Message.LParam)) {
    if (si->fMask & SIF_PAGE) FSI.nPage = si->nPage;
    if (si->fMask & SIF_POS) FSI.nPos = si->nPos;
    if (si->fMask & SIF_RANGE) {
      FSI.nMin = si->nMax < si->nMin ? 0 : si->nMin;
      FSI.nMax = si->nMax < si->nMin ? 0 : si->nMax;
    }
    FSI.nPage = UINT(std::clamp<int64_t>(FSI.nPage, 0, int64_t(FSI.nMax) - FSI.nMin + 1));
    FSI.nPos = std::clamp(FSI.nPos, FSI.nMin, std::max(FSI.nMin, FSI.nMax - std::max(int(FSI.nPage) - 1, 0)));
    if (ScrollCode != 5) FCurrPos = FSI.nPos;
  }
  UnderRedrawLock(Message);
}

void TacSBWnd::UnderRedrawLock(TMessage& Message) {
  if (!IsWindowVisible(CtrlHandle)) {
    Base(Message);
    return;
  }
  const int noted = FLockCount;
  SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
  Base(Message);
  while (FLockCount > 0) SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
  InvalidateRect(CtrlHandle, nullptr, TRUE);
  RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawAll);
  // The caller's own holds stand as they were.
  while (FLockCount < noted) SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
}

// ---- Painting ----

void TacSBWnd::WMPaint(TMessage& Message) {
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
  const int saved = SaveDC(dc);
  const bool paintable = Control ? ControlIsPaintable(Control) : IsWindowVisible(CtrlHandle) != FALSE;
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (paintable && skin && !SkinData->GetUpdating()) {
    const TSize s = ClientSize();
    const bool v = Vertical();
    if (s.cx == s.cy) {
      // The size box: one flat colour.
      const int track = skin->ConstData.Scrolls[asLeft].SkinIndex;
      TCanvas c;
      c.SetHandle(dc);
      c.Brush()->SetColor(skin->IsValidSkinIndex(track) ? skin->gd[size_t(track)].Props[0].Color : skin->GetGlobalColor());
      c.FillRect(TRect(0, 0, s.cx, s.cy));
      c.SetHandle(nullptr);
    } else {
      SkinData->PrepareCacheBmp();
      TBitmap* cache = SkinData->FCacheBmp.get();
      cache->SetPixelFormat(pf32bit);
      cache->SetSize(s.cx, s.cy);
      const bool enabled = IsWindowEnabled(CtrlHandle) != FALSE;
      std::unique_ptr<TBitmap> own = enabled ? nullptr : NewBitmapLike(cache);
      TBitmap* bmp = own ? own.get() : cache;
      TacBackgroundInfo info;
      if (Control && Control->Parent())
        QueryParentBgInfo(info, Control->Parent(), false);
      else
        QueryWndBgInfo(info, GetParent(CtrlHandle), false);
      const TCacheInfo ci = CacheInfoFromBgInfo(info);
      UpdateWndGeometry(this);
      const TPoint at = Control ? TPoint(Control->Left(), Control->Top()) : WndPos;
      auto track = [&](const TacConstElementData& e, const TRect& r, int state) {
        if (r.IsEmpty() || !skin->IsValidSkinIndex(e.SkinIndex)) return;
        PaintScrollElement(e.SkinIndex, e.BGIndex[0], e.MaskIndex, skin, bmp, TPoint(at.X + r.Left, at.Y + r.Top), r,
                           enabled ? state : 0, ci);
      };
      track(skin->ConstData.Scrolls[v ? asTop : asLeft], Bar1Rect(), std::max(FBar1State, int(BarIsHot())));
      track(skin->ConstData.Scrolls[v ? asBottom : asRight], Bar2Rect(), std::max(FBar2State, int(BarIsHot())));
      CI = TCacheInfo();
      CI.Bmp = bmp;
      CI.Ready = true;
      PaintScrollButton(Btn1Rect(), FBtn1State, bmp, skin, v ? asTop : asLeft);
      PaintScrollButton(Btn2Rect(), FBtn2State, bmp, skin, v ? asBottom : asRight);
      const TRect b1 = FBtn1Rect, b2 = FBtn2Rect;
      const int room = v ? b2.Top - b1.Bottom : b2.Left - b1.Right;
      if (enabled && room >= SliderSize()) PaintScrollThumb(SliderRect(), FSliderState, bmp, skin, v);
      if (!enabled)
        CopyParentBg(bmp, 1, Control ? Control->Parent() : nullptr, SkinData->GetParentCache(), at);
      BitBlt(dc, 0, 0, s.cx, s.cy, bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
  }
  RestoreDC(dc, saved);
  if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

// ---- Creation and messages ----

void TacSBWnd::SaveStdParams() {
  if (auto* wc = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) StdTabStop = wc->TabStop();
}

void TacSBWnd::RestoreStdParams() {
  if (auto* wc = dynamic_cast<TWinControl*>(SkinData ? SkinData->FOwnerControl : nullptr)) wc->SetTabStop(StdTabStop);
  TacMainWnd::RestoreStdParams();
}

void TacSBWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("TRANSPARENT");
  if (auto* wc = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) wc->SetTabStop(false);
  Control = dynamic_cast<TScrollBar*>(SkinData->FOwnerControl);
  if (Control) {
    InitScrollData();
  } else {
    FSI.fMask = SIF_ALL;
    GetScrollInfo(CtrlHandle, SB_CTL, &FSI);
    FCurrPos = FSI.nPos;
  }
  FRepainting = false;
  MouseOffset = 0;
  ScrollCode = 0;
  TacMainWnd::AfterCreation();
}

void TacSBWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  if (Control && !(Control->ComponentState() & csDestroying) && Message.Msg == WM_SKINCOMMAND) {
    const bool own = Message.LParam == LPARAM(d->SkinManager());
    switch (SkinCommandOf(Message)) {
      case SKC_SKINCHANGED:
      case SKC_SKINREMOVED:
        if (own) {
          HandleCommonSkinCommand(Message, d);
          return;
        }
        break;
      case SKC_SKINLOADED:
        if (own) {
          HandleCommonSkinCommand(Message, d);
          d->BGChanged = true;
          return;
        }
        break;
      case SKC_REFRESH:
        if (d->FUpdating && !d->CheckUpdating(true)) {
          RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
          RefreshChildControls(Control);
        }
        return;
      case SKC_ISSKINNED:
        Message.Result = 1;
        return;
      case SKC_INVALIDATE:
        Control->Invalidate();
        break;
      case SKC_GETAPPLICATION:
        Message.Result = LRESULT(Application);
        return;
    }
  }
  if (!d) {
    Base(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SETREDRAW:
      if (!FRepainting) FLockCount += Message.WParam == 0 ? 1 : -1;
      break;
    case WM_PAINT:
      WMPaint(Message);
      return;
    case WM_NCHITTEST:
      WMNCHitTest(Message);
      break;
    case WM_NCPAINT:
      return;
    case WM_MOUSEMOVE:
      // The control tracks the mouse with it captured: the dragged thumb follows here.
      if (FSliderState == 2) {
        POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        ClientToScreen(CtrlHandle, &p);
        TMessage hit{WM_NCHITTEST, 0, LPARAM((uint32_t(uint16_t(p.y)) << 16) | uint16_t(p.x)), 0};
        WMNCHitTest(hit);
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
      POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
      if (Message.Msg == WM_NCLBUTTONDOWN) ScreenToClient(CtrlHandle, &p);
      LMouseDown(p.x, p.y);
      if (IsWindowVisible(CtrlHandle))
        while (FLockCount > 0) SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      Base(Message);
      InvalidateRect(CtrlHandle, nullptr, TRUE);
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawAll);
      return;
    }
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP: {
      POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
      if (Message.Msg == WM_NCLBUTTONUP) ScreenToClient(CtrlHandle, &p);
      LMouseUp(p.x, p.y);
      break;
    }
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK: {
      const bool visible = IsWindowVisible(CtrlHandle);
      if (visible) SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      Base(Message);
      if (visible) SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      const TPoint c = SafeGetCursorPos();
      POINT p{c.X, c.Y};
      ScreenToClient(CtrlHandle, &p);
      LMouseDown(p.x, p.y);
      LMouseUp(p.x, p.y);
      return;
    }
    case SBM_SETSCROLLINFO: {
      const TSize s = ClientSize();
      if (s.cx != s.cy) {
        SetScrollInfoMsg(Message);
        return;
      }
      break;
    }
    case WM_CAPTURECHANGED: {
      const TPoint c = SafeGetCursorPos();
      POINT p{c.X, c.Y};
      ScreenToClient(CtrlHandle, &p);
      LMouseUp(p.x, p.y);
      break;
    }
    case WM_PRINT:
      if (DefaultManager && DefaultManager->CommonSkinData.Active) {
        SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, 0);
        if (Control) Control->Perform(WM_NCPAINT, 0, 0);
        return;
      }
      break;
    case CM_ENABLEDCHANGED:
      Base(Message);
      d->Invalidate();
      return;
    case CM_MOUSEENTER:
      CMMouseEnter();
      return;
    case CM_MOUSELEAVE:
      CMMouseLeave();
      return;
    case CM_CHANGED_MSG:
      UnderRedrawLock(Message);
      return;
    case CN_CTLCOLORSCROLLBAR: {
      const TSize s = ClientSize();
      ExcludeClipRect(reinterpret_cast<HDC>(Message.WParam), 0, 0, s.cx, s.cy);
      return;
    }
  }
  if (HandleCommonMessage(Message, d)) return;
  Base(Message);
}
