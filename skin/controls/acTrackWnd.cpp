#include "skin/controls/acTrackWnd.h"

#include <cmath>

#include "platform/win/CommCtrl.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"

namespace {

// A cache record over the bitmap itself: masks painted into it keep what lies under their key pixels.
TCacheInfo SelfCI(TBitmap* Bmp) {
  TCacheInfo ci;
  ci.Bmp = Bmp;
  ci.Ready = true;
  return ci;
}

// Turns a bitmap over: left to right (Horizontally) or top to bottom.
void MirrorBitmap(TBitmap* Bmp, bool Horizontally) {
  const int w = Bmp->Width(), h = Bmp->Height();
  if (Horizontally) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w / 2; ++x) {
        const uint32_t a = GetPixel32(Bmp, x, y), b = GetPixel32(Bmp, w - 1 - x, y);
        SetPixel32(Bmp, x, y, b);
        SetPixel32(Bmp, w - 1 - x, y, a);
      }
  } else {
    for (int y = 0; y < h / 2; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t a = GetPixel32(Bmp, x, y), b = GetPixel32(Bmp, x, h - 1 - y);
        SetPixel32(Bmp, x, y, b);
        SetPixel32(Bmp, x, h - 1 - y, a);
      }
  }
}

// Src brought to Dst's size: resampled, or copied as it is when the sizes agree.
void FitBitmap(TBitmap* Src, TBitmap* Dst) {
  if (Src->Width() == Dst->Width() && Src->Height() == Dst->Height())
    BitBlt(Dst->Canvas()->Handle(), 0, 0, Dst->Width(), Dst->Height(), Src->Canvas()->Handle(), 0, 0, SRCCOPY);
  else
    ResampleBitmap32(Src, Dst, Dst->Width(), Dst->Height(), 6);
}

}  // namespace

bool TacTrackWnd::IsVertical() const { return (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & TBS_VERT) != 0; }

int TacTrackWnd::TickMarks() const {
  const LONG_PTR s = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  if (s & TBS_BOTH) return 2;
  return (s & TBS_TOP) ? 1 : 0;
}

int TacTrackWnd::TickStyle() const {
  const LONG_PTR s = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  if (s & TBS_NOTICKS) return 0;
  return (s & TBS_AUTOTICKS) ? 1 : 2;
}

int TacTrackWnd::TickCount() { return int(ProcessMessage(TBM_GETNUMTICS, 0, 0)); }

int TacTrackWnd::TickPos(int Index) { return int(ProcessMessage(TBM_GETTICPOS, WPARAM(Index), 0)); }

TRect TacTrackWnd::ChannelRect() {
  RECT r{};
  ProcessMessage(TBM_GETCHANNELRECT, 0, LPARAM(&r));
  if (IsVertical()) return TRect(r.top, r.left, r.bottom, r.right);
  return TRect(r.left, r.top, r.right, r.bottom);
}

TRect TacTrackWnd::ThumbRect() {
  RECT r{};
  ProcessMessage(TBM_GETTHUMBRECT, 0, LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

const TacTrackBarData* TacTrackWnd::BarData() const {
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  return skin ? &skin->ConstData.TrackBar[IsVertical() ? 0 : 1] : nullptr;
}

std::vector<TPoint> TacTrackWnd::TicksArray() {
  const bool v = IsVertical();
  const TRect c = ChannelRect(), t = ThumbRect();
  const int start = v ? c.Top : c.Left, end = v ? c.Bottom : c.Right;
  const int length = v ? t.Height() : t.Width(), half = length / 2;
  const int n = TickCount();
  std::vector<TPoint> out;
  auto add = [&](int along) { out.push_back(v ? TPoint(0, along) : TPoint(along, 0)); };
  if (n <= 0) return out;
  if (TickStyle() == 1) {
    // With fewer than two ticks there is no spacing to divide: the one tick sits where the first would.
    if (n < 2) {
      add(start + half);
      return out;
    }
    iStep = double(end - start - length) / (n - 1);
    for (int i = 0; i < n; ++i) add(int(std::nearbyint(start + i * iStep + half)));
    return out;
  }
  add(start + half);
  for (int i = 1; i <= n - 2; ++i) add(TickPos(i - 1));
  if (n >= 2) add(end - half);
  return out;
}

void TacTrackWnd::AfterCreation() {
  TickHeight = 4;
  bMousePressed = false;
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("TRACKBAR");
  TacMainWnd::AfterCreation();
}

void TacTrackWnd::PaintTick(TPoint P, bool Horz) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  const int mask = skin->ConstData.TrackBar[Horz ? 1 : 0].TickIndex;
  if (skin->IsValidImgIndex(mask)) {
    const TsMaskData& m = skin->ma[size_t(mask)];
    // The tick's image ends at the tick's place.
    if (Horz)
      P.X -= m.Width;
    else
      P.Y -= m.Height;
    PaintMaskFrame(bmp, P, Mode(), SelfCI(bmp), m, 1);
    return;
  }
  TRect r = Horz ? TRect(P.X, P.Y, P.X + 2, P.Y + TickHeight) : TRect(P.X, P.Y, P.X + TickHeight, P.Y + 2);
  int rings = 1;
  DrawTickMark(bmp->Canvas()->Handle(), r, clBtnShadow, rings, clWhite);
}

void TacTrackWnd::PaintTicks() {
  if (TickStyle() == 0) return;
  const bool v = IsVertical();
  const TRect c = ChannelRect(), t = ThumbRect();
  const int gap = ((v ? t.Width() : t.Height()) - (v ? c.Width() : c.Height())) / 2 + 2;
  const int marks = TickMarks();
  for (const TPoint& p : TicksArray()) {
    if (marks != 0) PaintTick(v ? TPoint(c.Left - gap - TickHeight, p.Y) : TPoint(p.X, c.Top - gap - TickHeight), !v);
    if (marks != 1) PaintTick(v ? TPoint(c.Right + gap, p.Y) : TPoint(p.X, c.Bottom + gap), !v);
  }
}

void TacTrackWnd::PaintBar() {
  const TacSkinRecords* skin = SkinData->SkinManager();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  TRect c = ChannelRect();
  const int mask = BarData()->ChannelIndex;
  if (skin->IsValidImgIndex(mask)) {
    const TsMaskData& m = skin->ma[size_t(mask)];
    // The channel keeps the mask's own thickness, centred across the bar.
    if (IsVertical()) {
      c.Left += (c.Width() - m.Width + 1) / 2;
      c.Right = c.Left + m.Width - 1;
    } else {
      c.Top += (c.Height() - m.Height + 1) / 2;
      c.Bottom = c.Top + m.Height - 1;
    }
    PaintMask(bmp, c, SelfCI(bmp), m, SkinData->CurrentState(), true);
  }
  PaintTicks();
}

void TacTrackWnd::PaintThumb() {
  const TacSkinRecords* skin = SkinData->SkinManager();
  const int mask = BarData()->SliderIndex;
  if (!skin->IsValidImgIndex(mask)) return;
  const TsMaskData& m = skin->ma[size_t(mask)];
  TBitmap* bmp = SkinData->FCacheBmp.get();
  const TRect t = ThumbRect();
  const bool v = IsVertical();
  const int mw = m.Width, mh = m.Height;
  if (mw <= 0 || mh <= 0 || t.Width() <= 0 || t.Height() <= 0) return;
  const bool asIs = (v ? t.Width() : t.Height()) == 23 || (t.Width() == mw && t.Height() == mh);
  const bool towardTop = TickMarks() == 1;
  if (asIs && !towardTop) {
    PaintMaskFrame(bmp, TPoint(t.Left + (t.Width() - mw) / 2, t.Top + (t.Height() - mh) / 2), Mode(), SelfCI(bmp), m,
                   1);
    return;
  }
  // The thumb points away from the ticks' side in the skin: turned over, it points toward them.
  auto under = NewBitmap32(t.Width(), t.Height());
  BitBlt(under->Canvas()->Handle(), 0, 0, t.Width(), t.Height(), bmp->Canvas()->Handle(), t.Left, t.Top, SRCCOPY);
  auto work = NewBitmap32(mw, mh);
  FitBitmap(under.get(), work.get());
  if (towardTop) MirrorBitmap(work.get(), v);
  PaintMaskFrame(work.get(), TPoint(0, 0), Mode(), SelfCI(work.get()), m, 1);
  if (towardTop) MirrorBitmap(work.get(), v);
  FitBitmap(work.get(), under.get());
  BitBlt(bmp->Canvas()->Handle(), t.Left, t.Top, t.Width(), t.Height(), under->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TacTrackWnd::PaintBody() {
  const TacSkinRecords* skin = SkinData->SkinManager();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  const TCacheInfo ci = GetParentCacheOfWnd(CtrlHandle);
  PaintControlItem(*SkinData, ci, bmp, WndPos, TRect(0, 0, WndSize.cx, WndSize.cy), Mode(), true);
  if (!skin || skin->ConstData.Sections[ssTrackBar] < 0) return;
  PaintBar();
  PaintThumb();
  if (!IsWindowEnabled(CtrlHandle)) FadeDisabledCache(this, ci);
}

void TacTrackWnd::PrepareCache() {
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  PaintBody();
}

void TacTrackWnd::AC_WMPaint(TMessage& Message) {
  UpdateWndGeometry(this);
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  if (!SkinData->CheckUpdating(false) && (IsWindowVisible(CtrlHandle) || Message.WParam)) {
    PrepareCache();
    HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
    BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
  }
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacTrackWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      bMousePressed = Message.Msg == WM_LBUTTONDOWN;
      TacMainWnd::acWndProc(Message);
      // The body and thumb show the press.
      InvalidateRect(CtrlHandle, nullptr, FALSE);
      return;
  }
  TacMainWnd::acWndProc(Message);
}
