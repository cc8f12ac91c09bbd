#include "skin/core/sVclUtils.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"

namespace {

// How the animation windows are placed: never redrawn, activated or announced.
constexpr UINT kAnimPlace = SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT kBehind = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
// A provider state bit: the painted image is already prepared for hiding.
constexpr unsigned kImagePreparedForHiding = 0x200;

int RoundEven(double V) { return int(std::nearbyint(V)); }  // halves to even

bool IsTopmost(HWND Wnd) { return (GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void AddExStyle(HWND Wnd, DWORD Bits) {
  const LONG_PTR ex = GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
  if ((ex & LONG_PTR(Bits)) != LONG_PTR(Bits)) SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex | LONG_PTR(Bits));
}

int ShowCommand(TCustomForm* Form) {
  switch (Form->WindowState()) {
    case wsMinimized: return SW_SHOWMINNOACTIVE;
    case wsMaximized: return SW_SHOWMAXIMIZED;
    default: return SW_SHOWNORMAL;
  }
}

void CopyWhole(TBitmap* Dst, TBitmap* Src) {
  BitBlt(Dst->Canvas()->Handle(), 0, 0, Src->Width(), Src->Height(), Src->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void StretchInto(TBitmap* Dst, TBitmap* Src, double L, double T, double R, double B) {
  HDC dc = Dst->Canvas()->Handle();
  SetStretchBltMode(dc, COLORONCOLOR);
  const int w = RoundEven(R - L), h = RoundEven(B - T);
  if (w > 0 && h > 0)
    StretchBlt(dc, RoundEven(L), RoundEven(T), w, h, Src->Canvas()->Handle(), 0, 0, Src->Width(), Src->Height(),
               SRCCOPY);
}

// The form shown at 0 behind the animation gets its own opacity back: its
// alpha-blend value, or no layering at all.
void RestoreFormAlpha(HWND Wnd, uint8_t BlendValue) {
  if (BlendValue != 255) {
    SetWindowLayered(Wnd, true, BlendValue);
    return;
  }
  SetWindowLongPtrW(Wnd, GWL_EXSTYLE, GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
}

bool HasPaintedImage(TsCommonData* Data) {
  return Data && Data->FCacheBmp && Data->FCacheBmp->Width() > 0 && Data->FCacheBmp->Height() > 0;
}


// A layered, never activated window showing P at Alpha at the window
// rectangle's top-left, shown and placed after Ref in the z-order.
std::unique_ptr<TacGlowForm> MakeAnimWindow(TBitmap* P, uint8_t Alpha, const RECT& At, bool StayOnTop, HWND Ref) {
  auto W = std::make_unique<TacGlowForm>(nullptr);
  if (StayOnTop) W->SetFormStyle(fsStayOnTop);
  HWND ww = W->Handle();
  AddExStyle(ww, WS_EX_NOACTIVATE | WS_EX_LAYERED);
  UpdateGlowWindow(ww, P, Alpha);
  W->SetBounds(At.left, At.top, P->Width(), P->Height());
  SetWindowPos(ww, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW | kAnimPlace);
  ShowWindow(ww, SW_SHOWNOACTIVATE);
  SetWindowPos(ww, Ref, At.left, At.top, P->Width(), P->Height(), kAnimPlace);
  return W;
}

// Plays P into the layered window Wnd in N + 1 frames of at least 12 ms, its
// opacity rising by BlendValue / N a frame up to BlendValue: faded whole
// (atFading), grown from 1/32 inside its edges (atAero) or unfolded from the
// top-left corner (atDropDown). Q holds each frame. Nothing when N is 0.
// AfterPush, when given, runs after each frame's push with its opacity.
void PlayFadeIn(HWND Wnd, TBitmap* P, TBitmap* Q, int N, uint8_t BlendValue, TacAnimType Mode,
                const std::function<void(uint8_t)>& AfterPush = {}) {
  if (N <= 0) return;
  const double wp = P->Width(), hp = P->Height();
  const double s = double(BlendValue) / N;
  double a = 0, l = 0, t = 0, r = wp, b = hp, dx = 0, dy = 0;
  if (Mode == atAero) {
    l = wp / 32, t = hp / 32, r = wp - wp / 32, b = hp - hp / 32;
    dx = (wp / 32) / N, dy = (hp / 32) / N;
  } else if (Mode == atDropDown) {
    l = t = r = b = 0;
    dx = wp / 2, dy = hp / 2;
  }
  for (int k = 0; k <= N; ++k) {
    a = std::min(double(BlendValue), a + s);
    if (Mode == atFading) {
      if (k == 0) CopyWhole(Q, P);
    } else if (l < 0 || t < 0) {
      CopyWhole(Q, P);
    } else {
      StretchInto(Q, P, l, t, r, b);
    }
    const DWORD start = GetTickCount();
    const auto alpha = uint8_t(RoundEven(a));
    UpdateGlowWindow(Wnd, Q, alpha);
    if (AfterPush) AfterPush(alpha);
    if (Mode == atAero) {
      l -= dx, t -= dy, r += dx, b += dy;
    } else if (Mode == atDropDown) {
      l = t = 0, r = wp - dx, b = hp - dy;
      dx /= 2, dy /= 2;
    }
    WaitTicks(start, kAnimStep);
  }
}
}  // namespace

// ---- Layered pictures ----

void UpdateGlowWindow(HWND Wnd, TBitmap* Bmp, uint8_t Alpha, const TPoint* DstPoint) {
  RECT r;
  if (!GetWindowRect(Wnd, &r)) return;
  std::unique_ptr<TBitmap> blank;
  if (!Bmp) {
    blank = NewBitmap32(r.right - r.left, r.bottom - r.top);
    Bmp = blank.get();
  }
  const LONG_PTR ex = GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) {
    // Hidden for the switch, so that no stale picture shows; what lay under
    // the window is drawn again meanwhile.
    const LONG_PTR style = GetWindowLongPtrW(Wnd, GWL_STYLE);
    SetWindowLongPtrW(Wnd, GWL_STYLE, style & ~LONG_PTR(WS_VISIBLE));
    SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    RedrawWindow(nullptr, &r, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SetWindowLongPtrW(Wnd, GWL_STYLE, GetWindowLongPtrW(Wnd, GWL_STYLE) | (style & WS_VISIBLE));
  }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Alpha, AC_SRC_ALPHA};
  SIZE size{Bmp->Width(), Bmp->Height()};
  POINT src{0, 0};
  POINT dst = DstPoint ? POINT{DstPoint->X, DstPoint->Y} : POINT{};
  UpdateLayeredWindow(Wnd, nullptr, DstPoint ? &dst : nullptr, &size, Bmp->Canvas()->Handle(), &src, 0x1FFFFFFF,
                      &blend, ULW_ALPHA);
}

bool SetWindowLayered(HWND Wnd, bool Enable, uint8_t Alpha) {
  const LONG_PTR ex = GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
  if (Enable && LayeredWindowsAvailable) {
    const bool added = !(ex & WS_EX_LAYERED);
    if (added) SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(Wnd, 0x1FFFFFFF, Alpha, LWA_ALPHA);
    return added;
  }
  SetWindowLongPtrW(Wnd, GWL_STYLE, GetWindowLongPtrW(Wnd, GWL_STYLE) & ~LONG_PTR(WS_VISIBLE));
  SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
  return false;
}

void PaintControlToBitmap(TBitmap* Bmp, TWinControl* Ctrl, int X, int Y, TacAnimatedForm* Provider,
                          bool WithSiblings) {
  if (!Bmp || !Ctrl) return;
  HDC dc = Bmp->Canvas()->Handle();
  if (!Provider && Ctrl->Parent() && !Ctrl->Visible()) {
    // A hidden child shows its parent's background.
    TacBackgroundInfo info;
    info.Offset = TPoint(Ctrl->Left(), Ctrl->Top());
    info.R = TRect(0, 0, Ctrl->Width(), Ctrl->Height());
    QueryParentBgInfo(info, Ctrl->Parent(), false);
    if (info.BgType == 2 && info.Bmp)
      BitBlt(dc, X, Y, Ctrl->Width(), Ctrl->Height(), info.Bmp->Canvas()->Handle(), info.Offset.X, info.Offset.Y,
             SRCCOPY);
    else
      FillRect32(Bmp, TRect(X, Y, X + Ctrl->Width(), Y + Ctrl->Height()), info.Color, 255);
  } else {
    const int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + X, org.y + Y, nullptr);
    IntersectClipRect(dc, 0, 0, Ctrl->Width(), Ctrl->Height());
    HWND wnd = Ctrl->Handle();
    // A skinned window prints its own picture (frame and children included)
    // while it knows the DC; anything else prints through the framework.
    if (SendSkinCommand(wnd, SKC_SETPRINTDC, LPARAM(dc)) == 1 || IsWindowSkinned(wnd)) {
      SendSkinMessage(wnd, WM_PRINT, WPARAM(dc), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT | PRF_CHILDREN);
      SendSkinCommand(wnd, SKC_SETPRINTDC, 0);
    } else {
      Ctrl->PaintTo(dc, 0, 0);
    }
    RestoreDC(dc, saved);
    // The form's own code may add to the picture.
    if (Provider) SendSkinCommand(wnd, SKC_PRINTED, LPARAM(Bmp));
  }
  if (!WithSiblings || !Ctrl->Parent()) return;
  TWinControl* parent = Ctrl->Parent();
  bool after = false;
  for (int k = 0; k < parent->ControlCount(); ++k) {
    TControl* c = parent->Controls(k);
    if (c == Ctrl) {
      after = true;
      continue;
    }
    auto* sib = dynamic_cast<TWinControl*>(c);
    if (!after || !sib || !sib->Visible()) continue;
    RECT overlap;
    const RECT a = sib->BoundsRect(), own = Ctrl->BoundsRect();
    if (!IntersectRect(&overlap, &a, &own)) continue;
    PaintControlToBitmap(Bmp, sib, X + sib->Left() - Ctrl->Left(), Y + sib->Top() - Ctrl->Top(), nullptr, false);
  }
}

void ClearRects(const std::vector<TRect>& Rects, TBitmap* Bmp) {
  for (const TRect& r : Rects) FillRect32(Bmp, r, 0, 0);
}

void GetFormWorkArea(TCustomForm* Form, TRect& R) { R = Screen->MonitorFromWindow(Form->Handle()).WorkareaRect; }

void GetWorkAreaAtPoint(const TPoint& P, TRect& R) {
  R = TRect(0, 0, 0, 0);
  for (int k = 0; k < Screen->MonitorCount(); ++k) {
    const TRect area = Screen->Monitors(k).WorkareaRect;
    if (area.Contains(P)) {
      R = area;
      return;
    }
  }
}

int SumAlignedChildSizes(TWinControl* Ctrl, TAlign Align, bool IncludeGraphic) {
  const bool vertical = Align == alTop || Align == alBottom;
  if (!vertical && Align != alLeft && Align != alRight) return 0;
  int sum = 0;
  for (int k = 0; k < Ctrl->ControlCount(); ++k) {
    TControl* c = Ctrl->Controls(k);
    if (!c->Visible() || c->Align() != Align || (!IncludeGraphic && !dynamic_cast<TWinControl*>(c))) continue;
    sum += vertical ? c->Height() : c->Width();
  }
  return sum;
}

// ---- The show animation ----

void AnimShowForm(TacAnimatedForm* Provider, uint16_t Time, uint8_t BlendValue, TacAnimType Mode) {
  TCustomForm* form = Provider ? Provider->AnimForm() : nullptr;
  if (!form) return;
  HWND fw = form->Handle();
  if (IsIconic(fw)) return;
  TsCommonData* data = Provider->AnimSkinData();
  FormAnimating = true;
  Provider->FInAnimation = true;
  if (data) Provider->PaintAll();
  if (!HasPaintedImage(data)) {
    // No picture to play: the form is shown as it is, and nothing stays marked as animating.
    Provider->FInAnimation = false;
    FormAnimating = false;
    ShowWindow(fw, ShowCommand(form));
    return;
  }
  TBitmap* cache = data->FCacheBmp.get();
  auto P = NewBitmap32(cache->Width(), cache->Height());
  PaintControlToBitmap(P.get(), form, 0, 0, Provider, false);
  SetAlphaInRect(P.get(), BitmapRect(P.get()), 255, 0x1FFFFFFF);
  const int N = Time / int(kAnimStep);
  RECT wr;
  GetWindowRect(fw, &wr);
  ClearRects(Provider->FrameCorners(), P.get());

  const bool topmost = IsTopmost(fw);
  auto W = MakeAnimWindow(P.get(), N > 0 ? 0 : BlendValue, wr, topmost || form->Modal(), topmost ? HWND_TOPMOST : fw);
  HWND ww = W->Handle();
  auto Q = NewBitmap32(P->Width(), P->Height());
  PlayFadeIn(ww, P.get(), Q.get(), N, BlendValue, Mode);
  // The last picture is the form's own, at its own opacity.
  SetWindowPos(ww, nullptr, wr.left, wr.top, P->Width(), P->Height(), kAnimPlace | SWP_NOZORDER);
  UpdateGlowWindow(ww, P.get(), BlendValue);
  Q.reset();

  // The real form, shown invisible just below the picture, then at its opacity.
  Provider->FInAnimation = false;
  SetWindowLayered(fw, true, 0);
  ShowWindow(fw, ShowCommand(form));
  SetWindowPos(fw, ww, 0, 0, 0, 0, kBehind);
  RestoreFormAlpha(fw, BlendValue);
  FormAnimating = false;
  RedrawWindow(fw, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  P.reset();
  SetWindowPos(ww, fw, 0, 0, 0, 0, kBehind);
  W.reset();
  Provider->AfterAnimation(aeShowing);
}

// ---- The hide animation ----

TacHideTimer::TacHideTimer(TComponent* AOwner) : TacThreadedTimer(AOwner) {}

TacHideTimer::~TacHideTimer() {
  SetEnabled(false);
  CallEvent();
  SrcBmp.reset();
  DstBmp.reset();
  delete std::exchange(Form, nullptr);
  if (HideTimer == this) HideTimer = nullptr;
}

void TacHideTimer::Anim_Init() {
  Trans = StartBlendValue;
  p = double(StartBlendValue) / StepCount;
  dx = dy = l = t = r = b = 0;
  if (AnimType == atAero) {
    dx = -double(SrcBmp->Width()) / (StepCount * 32);
    dy = -double(SrcBmp->Height()) / (StepCount * 32);
    r = SrcBmp->Width();
    b = SrcBmp->Height();
  }
}

void TacHideTimer::Anim_DoNext() {
  Trans = std::max(0.0, Trans - p);
  FBlendAlpha = uint8_t(RoundEven(Trans));
  if (AnimType != atAero) {
    if (l == 0) {  // l marks that the picture was copied
      CopyWhole(DstBmp.get(), SrcBmp.get());
      l = 1;
    }
  } else if (l < 0 || t < 0) {
    CopyWhole(DstBmp.get(), SrcBmp.get());
  } else {
    FillRect32(DstBmp.get(), BitmapRect(DstBmp.get()), 0, 0);
    StretchInto(DstBmp.get(), SrcBmp.get(), l, t, r, b);
  }
}

void TacHideTimer::Anim_GoToNext() {
  if (AnimType != atAero) return;
  l -= dx, t -= dy, r += dx, b += dy;
}

void TacHideTimer::OnTimerProc(TObject*) {
  if (!Form) return;
  if (i > StepCount) {
    CallEvent();
    SetInterval(0xFFFF);
    SetOnTimer(nullptr);
    delete std::exchange(Form, nullptr);
    SrcBmp.reset();
    DstBmp.reset();
    SetEnabled(false);
    return;
  }
  Anim_DoNext();
  if (Form->HandleAllocated()) UpdateGlowWindow(Form->Handle(), DstBmp.get(), FBlendAlpha);
  Anim_GoToNext();
  ++i;
}

void TacHideTimer::CallEvent() {
  if (EventCalled) return;
  EventCalled = true;
  if (!ParentWnd || !IsWindow(ParentWnd)) return;
  auto* provider = reinterpret_cast<TObject*>(SendSkinCommand(ParentWnd, SKC_GETPROVIDER));
  if (auto* animated = dynamic_cast<TacAnimatedForm*>(provider)) animated->AfterAnimation(aeHiding);
}

void StartHideAnimation(TacGlowForm* W, std::unique_ptr<TBitmap> Bmp, int Time, HWND ParentWnd, TacAnimType Mode,
                        uint8_t BlendValue) {
  if (HideTimer && HideTimer->Form) delete std::exchange(HideTimer->Form, nullptr);  // the running one ends now
  const int N = Time / int(kAnimStep);
  if (N <= 0 || !W || !Bmp) {
    delete W;
    return;
  }
  if (!HideTimer) HideTimer = new TacHideTimer(Application);
  TacHideTimer& h = *HideTimer;
  h.SetEnabled(false);
  h.ParentWnd = ParentWnd;
  h.EventCalled = false;
  h.i = 0;
  h.StartBlendValue = BlendValue;
  h.Form = W;
  h.AnimType = Mode;
  h.SetInterval(kAnimStep);
  h.StepCount = N;
  h.FBmpSize = TSize{Bmp->Width(), Bmp->Height()};
  h.FBlendAlpha = BlendValue;
  h.SrcBmp = std::move(Bmp);

  HWND ww = W->Handle();
  AddExStyle(ww, WS_EX_LAYERED | WS_EX_NOACTIVATE);
  UpdateGlowWindow(ww, h.SrcBmp.get(), BlendValue);
  ShowWindow(ww, SW_SHOWNOACTIVATE);
  SetWindowPos(ww, HWND_TOPMOST, W->Left(), W->Top(), h.FBmpSize.cx, h.FBmpSize.cy,
               SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER | (IsTopmost(ww) ? 0 : SWP_NOZORDER));
  h.DstBmp = NewBitmap32(h.FBmpSize.cx, h.FBmpSize.cy);
  h.Anim_Init();
  if (Application->Terminated()) {
    // No message loop will run: the frames play now.
    while (h.i <= h.StepCount) {
      const DWORD start = GetTickCount();
      h.OnTimerProc(nullptr);
      WaitTicks(start, kAnimStep);
    }
    return;
  }
  h.SetOnTimer([&h](TObject* Sender) { h.OnTimerProc(Sender); });
  h.OnTimerProc(nullptr);
  h.SetEnabled(true);
}

void AnimHideForm(TacAnimatedForm* Provider, const TacFormAnimation& FormHide) {
  FreeAllGlows(true);
  TCustomForm* form = Provider ? Provider->AnimForm() : nullptr;
  TsCommonData* data = Provider ? Provider->AnimSkinData() : nullptr;
  if (!form || form->FormStyle() == fsMDIChild || !HasPaintedImage(data)) return;
  const uint8_t blend = Provider->AnimBlendValue();
  FormAnimating = true;
  if (!(Provider->AnimFormState() & kImagePreparedForHiding)) Provider->PaintAll();
  HWND fw = form->Handle();
  TacGlowForm* W = Provider->TakeCoverForm();
  if (!W) {
    RECT wr;
    GetWindowRect(fw, &wr);
    W = new TacGlowForm(nullptr);
    W->SetBounds(wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top);
  }
  SetWindowLayered(fw, true, 1);
  std::unique_ptr<TBitmap> P;
  TacThreadedTimer::CopyFrom(P, data->FCacheBmp.get(), BitmapRect(data->FCacheBmp.get()));
  ClearRects(Provider->FrameCorners(), P.get());
  StartHideAnimation(W, std::move(P), FormHide.Time, fw, FormHide.Mode, blend);
  SetWindowLayered(fw, blend != 255, blend);
  FormAnimating = false;
}

// ---- The skin-change cross-fade ----

void AnimChangeSkin(TCustomForm* Form, uint16_t Time, uint8_t BlendValue, bool Aero) {
  if (!Form || !Form->HandleAllocated()) return;
  HWND fw = Form->Handle();
  HWND top = GetAncestor(fw, GA_ROOT);
  if (!IsWindowVisible(fw) || IsIconic(top ? top : fw)) return;
  FormAnimating = true;
  auto* provider = dynamic_cast<TacAnimatedForm*>(reinterpret_cast<TObject*>(SendSkinCommand(fw, SKC_GETPROVIDER)));
  TsCommonData* data = provider ? provider->AnimSkinData() : nullptr;
  if (data) provider->PaintAll();
  if (!HasPaintedImage(data) || !LayeredWindowsAvailable) {
    // Nothing to fade: the caller's redraw shows the new look at once.
    FormAnimating = false;
    return;
  }
  // The new look, frame and overlapping later siblings included, over the still frozen old one.
  TBitmap* cache = data->FCacheBmp.get();
  auto P = NewBitmap32(cache->Width(), cache->Height());
  PaintControlToBitmap(P.get(), Form, 0, 0, provider, true);
  SetAlphaInRect(P.get(), BitmapRect(P.get()), 255, 0x1FFFFFFF);
  ClearRects(provider->FrameCorners(), P.get());
  const int N = Time / int(kAnimStep);
  RECT wr;
  GetWindowRect(fw, &wr);
  const bool topmost = IsTopmost(fw);
  HWND above = GetWindow(fw, GW_HWNDPREV);
  auto W = MakeAnimWindow(P.get(), N > 0 ? 0 : BlendValue, wr, topmost,
                          topmost ? HWND_TOPMOST : above ? above : HWND_TOP);
  SkinChangeWindow = W.get();
  auto Q = NewBitmap32(P->Width(), P->Height());
  PlayFadeIn(W->Handle(), P.get(), Q.get(), N, BlendValue, Aero ? atAero : atFading);

  // The form takes over, drawn in the new skin under the last picture.
  FormAnimating = false;
  SendSetRedraw(fw, true);
  RedrawWindow(fw, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  SkinChangeWindow = nullptr;
  W.reset();
}
