#include "skin/controls/acSBUtils.h"

#include <algorithm>

#include "platform/vcl/Forms.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGradient.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr UINT kFrameChange = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS |
                              SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT CM_FOCUSCHANGED_MSG = CM_FOCUSCHANGED;
constexpr UINT CM_MOUSEWHEEL_MSG = CM_BASE + 67;

TRect ToTRect(const RECT& r) { return TRect(r.left, r.top, r.right, r.bottom); }

const TacSkinRecords* SkinOf(TacScrollWnd* sw) { return sw && sw->SkinData ? sw->SkinData->SkinManager() : nullptr; }

void ReadScrollState(TacScrollBar* Bar) {
  Bar->ScrollInfo = SCROLLINFO();
  Bar->ScrollInfo.fMask = SIF_ALL;
  if (Bar->sw) GetScrollInfo(Bar->sw->CtrlHandle, Bar->nBarType, &Bar->ScrollInfo);
}

// A bar's length and thickness axes.
int Along(const TRect& R, bool Vertical) { return Vertical ? R.Height() : R.Width(); }
int StartOf(const TRect& R, bool Vertical) { return Vertical ? R.Top : R.Left; }
// The part [a, b) of R along the bar.
TRect Span(const TRect& R, bool Vertical, int a, int b) {
  return Vertical ? TRect(R.Left, a, R.Right, b) : TRect(a, R.Top, b, R.Bottom);
}

}  // namespace

int MulDivRound(int A, int B, int C) {
  if (C == 0) return -1;
  const int64_t n = int64_t(A) * B;
  const int64_t q = (2 * (n < 0 ? -n : n) + (C < 0 ? -int64_t(C) : C)) / (2 * (C < 0 ? -int64_t(C) : C));
  return int((n < 0) != (C < 0) ? -q : q);
}

namespace {

// The manager whose scroll options apply to a control skinned by Manager.
const TsSkinManager* OptionsManager(const TacSkinRecords* Manager) {
  if (const TsSkinManager* m = SkinManagerOf(Manager)) return m;
  return DefaultSkinManager();
}

}  // namespace

int GetScrollWidth(const TacSkinRecords* Manager) {
  const TsSkinManager* m = OptionsManager(Manager);
  return m ? m->GetScrollWidth() : GetSystemMetrics(SM_CXVSCROLL);
}

// ---- Metrics and geometry ----

int ScrollBarMetric(TacScrollBar* Bar, bool Thickness) {
  if (!Bar) return 0;
  auto* data = Bar->sw ? dynamic_cast<TsScrollWndData*>(Bar->sw->SkinData) : nullptr;
  TacScrollData* own = data ? (Bar->Vertical() ? data->VertScrollData() : data->HorzScrollData()) : nullptr;
  const TacSkinRecords* manager = Bar->sw ? Bar->sw->SkinManager : nullptr;
  if (Thickness) {
    if (own && own->FScrollWidth >= 0) return own->FScrollWidth;
    return GetScrollWidth(manager);
  }
  if (own && own->FButtonsSize >= 0) return own->FButtonsSize;
  if (const TsSkinManager* m = OptionsManager(manager); m && m->ScrollsOptions.ButtonsSize() >= 0)
    return m->ScrollsOptions.ButtonsSize();
  if (Bar->nArrowLength >= 0) return Bar->nArrowLength;
  return GetScrollWidth(manager);
}

TRect GetHScrollRect(TacScrollWnd* sw, HWND Wnd) {
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  TRect r = ToTRect(wr);
  const int v = ScrollBarMetric(sw->sBarVert.get(), true) * int(sw->sBarVert->fScrollVisible);
  if (sw->fLeftScrollbar) {
    r.Left += v + sw->cxLeftEdge;
    r.Right -= sw->cxRightEdge;
  } else {
    r.Left += sw->cxLeftEdge;
    r.Right -= v + sw->cxRightEdge;
  }
  r.Bottom -= sw->cyBottomEdge;
  r.Top = r.Bottom - ScrollBarMetric(sw->sBarHorz.get(), true) * int(sw->sBarHorz->fScrollVisible);
  return r;
}

TRect GetVScrollRect(TacScrollWnd* sw, HWND Wnd) {
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  TRect r = ToTRect(wr);
  const int v = ScrollBarMetric(sw->sBarVert.get(), true) * int(sw->sBarVert->fScrollVisible);
  r.Top += sw->cyTopEdge;
  r.Bottom -= ScrollBarMetric(sw->sBarHorz.get(), true) * int(sw->sBarHorz->fScrollVisible) + sw->cyBottomEdge;
  if (sw->fLeftScrollbar) {
    r.Left += sw->cxLeftEdge;
    r.Right = r.Left + v;
  } else {
    r.Right -= sw->cxRightEdge;
    r.Left = r.Right - v;
  }
  return r;
}

bool GetScrollBarRect(TacScrollWnd* sw, int Index, HWND Wnd, TRect& R) {
  if (Index == SB_HORZ)
    R = GetHScrollRect(sw, Wnd);
  else if (Index == SB_VERT)
    R = GetVScrollRect(sw, Wnd);
  else
    return false;
  return true;
}

void GetThumbMetrics(TacScrollBar* Bar, const TRect& R, int& Length, int& Start) {
  const bool v = Bar->Vertical();
  const SCROLLINFO& si = Bar->ScrollInfo;
  const int btn = ScrollBarMetric(Bar, false);
  const int track = Along(R, v) - 2 * btn;
  const int range = si.nMax - si.nMin + 1;
  if (si.nPage == 0)
    Length = std::max(btn, Bar->nMinThumbSize);
  else
    Length = range > 0 ? MulDivRound(int(si.nPage), track, range) : 0;
  if (btn == 0 && Length < 19)
    Length = 19;
  else if (Length < Bar->nMinThumbSize)
    Length = Bar->nMinThumbSize;
  int offset = 0;
  if (range > 0) {
    offset = MulDivRound(si.nPos - si.nMin, track - Length, range - std::max(1, int(si.nPage)));
    offset = std::clamp(offset, 0, std::max(0, track - Length));
  }
  Start = StartOf(R, v) + btn + offset;
}

TacScrollWnd* GetScrollWnd(HWND Wnd) { return Wnd ? static_cast<TacScrollWnd*>(GetPropW(Wnd, kScrollHandlerProp)) : nullptr; }

TacScrollBar* GetScrollBar(HWND Wnd, int Index) {
  TacScrollWnd* sw = GetScrollWnd(Wnd);
  return sw ? sw->Bar(Index) : nullptr;
}

bool SetMinThumbSize(HWND Wnd, int Which, int Size) {
  TacScrollWnd* sw = GetScrollWnd(Wnd);
  if (!sw) return false;
  if ((Which == 0 || Which == 3) && sw->sBarHorz) sw->sBarHorz->nMinThumbSize = Size;
  if ((Which == 1 || Which == 3) && sw->sBarVert) sw->sBarVert->nMinThumbSize = Size;
  return true;
}

// ---- Painting ----

namespace {

// The window's background under its bars, as the painters take it.
TCacheInfo BarBackground(TacScrollWnd* sw) {
  TacBackgroundInfo info;
  QueryWndBgInfo(info, sw->CtrlHandle, false);
  return CacheInfoFromBgInfo(info);
}

// Background and border of Element at R of Bmp, over what Bmp holds there.
void PaintOnBar(TBitmap* Bmp, const TRect& R, const TacConstElementData& E, const TacSkinRecords* Skin, int State,
                TBitmap*& Out) {
  auto piece = NewBitmap32(R.Width(), R.Height());
  TCacheInfo ci;
  ci.Bmp = Bmp;
  ci.X = R.Left;
  ci.Y = R.Top;
  ci.Ready = true;
  PaintSkinItem(E.SkinIndex, ci, E.BGIndex[0], E.BGIndex[1], Skin, piece.get(), TPoint(0, 0),
                TRect(0, 0, R.Width(), R.Height()), State);
  Out = piece.release();
}

void PutOnBar(TBitmap* Bar, TBitmap* Piece, const TRect& R) {
  BitBlt(Bar->Canvas()->Handle(), R.Left, R.Top, R.Width(), R.Height(), Piece->Canvas()->Handle(), 0, 0, SRCCOPY);
  delete Piece;
}

void PaintCenteredGlyph(TBitmap* Bmp, const TRect& R, const TsMaskData& Mask, int State) {
  const TPoint sz = MaskSize(Mask);
  TCacheInfo ci;
  ci.Bmp = Bmp;
  ci.Ready = true;
  PaintMaskFrame(Bmp, TPoint(R.Left + (R.Width() - sz.X) / 2, R.Top + (R.Height() - sz.Y) / 2), State, ci, Mask, 1);
}

}  // namespace

void PaintScrollButton(const TRect& R, int State, TBitmap* BarBmp, const TacSkinRecords* Skin, int Side) {
  if (R.Width() <= 0 || R.Height() <= 0) return;
  const TacConstElementData& e = Skin->ConstData.ScrollBtns[Side];
  TRect r = R;
  if (Skin->IsValidSkinIndex(e.SkinIndex) && Skin->gd[size_t(e.SkinIndex)].ReservedBoolean &&
      Skin->IsValidImgIndex(e.MaskIndex)) {
    const TsMaskData& m = Skin->ma[size_t(e.MaskIndex)];
    switch (Side) {
      case asLeft: r.Right += m.Width - 17; break;
      case asRight: r.Left -= m.Width - 17; break;
      case asTop: r.Bottom += m.Height - 17; break;
      default: r.Top -= m.Height - 17; break;
    }
  }
  TBitmap* piece = nullptr;
  PaintOnBar(BarBmp, r, e, Skin, State, piece);
  const TRect local(0, 0, r.Width(), r.Height());
  if (Skin->IsValidImgIndex(e.GlyphIndex)) {
    PaintCenteredGlyph(piece, local, Skin->ma[size_t(e.GlyphIndex)], std::min(State, 2));
  } else {
    TColor c = clBlack;
    if (Skin->IsValidSkinIndex(e.SkinIndex)) c = Skin->gd[size_t(e.SkinIndex)].Props[size_t(std::min(State, 2))].FontColor.Color;
    TRect a = local;
    if (State == 2) a = MovedRect(a, 1, 1);
    PaintArrow(piece, TColor(0xFF000000u | uint32_t(ColorToRGB(c))), TColor(0x1FFFFFFF), a, Side, ArrowLineWidth, 0, 0,
               Skin->CommonSkinData.ArrowStyle);
  }
  PutOnBar(BarBmp, piece, r);
}

void PaintScrollThumb(const TRect& R, int State, TBitmap* BarBmp, const TacSkinRecords* Skin, bool Vertical) {
  if (R.Width() <= 0 || R.Height() <= 0) return;
  const TacConstElementData& e = Skin->ConstData.Sliders[Vertical];
  TBitmap* piece = nullptr;
  PaintOnBar(BarBmp, R, e, Skin, State, piece);
  if (Skin->IsValidImgIndex(e.GlyphIndex))
    PaintCenteredGlyph(piece, TRect(0, 0, R.Width(), R.Height()), Skin->ma[size_t(e.GlyphIndex)], std::min(State, 2));
  PutOnBar(BarBmp, piece, R);
}

namespace {

// The track elements before and after the thumb's middle, the arrows and (ThumbStart >= 0) the thumb, into Bmp.
struct BarLook {
  int Arrow1 = 0, Arrow2 = 0, Before = 0, After = 0, Thumb = 0;
};
void PaintBarParts(TacScrollWnd* sw, TacScrollBar* Bar, TBitmap* Bmp, const TRect& WndR, const TCacheInfo& CI,
                   int Btn, int ThumbStart, int ThumbLength, const BarLook& Look) {
  const TacSkinRecords* skin = SkinOf(sw);
  const bool v = Bar->Vertical();
  const int span = Along(WndR, v);
  const TacConstElementData& t1 = skin->ConstData.Scrolls[v ? asTop : asLeft];
  const TacConstElementData& t2 = skin->ConstData.Scrolls[v ? asBottom : asRight];
  const TRect all(0, 0, Bmp->Width(), Bmp->Height());
  auto track = [&](const TacConstElementData& e, const TRect& r, int state) {
    const TPoint offset(WndR.Left + r.Left - sw->cxLeftEdge, WndR.Top + r.Top - sw->cyTopEdge);
    PaintScrollElement(e.SkinIndex, e.BGIndex[0], e.MaskIndex, skin, Bmp, offset, r, state, CI);
  };
  if (2 * Btn < span) {
    const int split = ThumbStart >= 0 ? ThumbStart + ThumbLength / 2 : span / 2;
    track(t1, Span(all, v, 0, split), Look.Before);
    track(t2, Span(all, v, split, span), Look.After);
    PaintScrollButton(Span(all, v, 0, Btn), Look.Arrow1, Bmp, skin, v ? asTop : asLeft);
    PaintScrollButton(Span(all, v, span - Btn, span), Look.Arrow2, Bmp, skin, v ? asBottom : asRight);
    if (ThumbStart >= 0) PaintScrollThumb(Span(all, v, ThumbStart, ThumbStart + ThumbLength), Look.Thumb, Bmp, skin, v);
  } else {
    const int half = span / 2;
    track(t1, Span(all, v, 0, half), Look.Before);
    track(t2, Span(all, v, half, span), Look.After);
    PaintScrollButton(Span(all, v, 0, half), Look.Arrow1, Bmp, skin, v ? asTop : asLeft);
    PaintScrollButton(Span(all, v, half, span), Look.Arrow2, Bmp, skin, v ? asBottom : asRight);
  }
}

bool SizeBoxAtParentCorner(TacScrollWnd* sw, HWND Wnd) {
  HWND parent = GetParent(Wnd);
  if (!parent) return true;
  if (GetParent(parent) || (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_CHILD) == 0) return false;
  RECT pc{};
  GetClientRect(parent, &pc);
  POINT br{pc.right, pc.bottom};
  ClientToScreen(parent, &br);
  const TRect h = GetHScrollRect(sw, Wnd), v = GetVScrollRect(sw, Wnd);
  const int edgeX = sw->fLeftScrollbar ? v.Left - sw->cxLeftEdge : v.Right + sw->cxRightEdge;
  POINT tl{pc.left, pc.top};
  ClientToScreen(parent, &tl);
  return (sw->fLeftScrollbar ? edgeX == tl.x : edgeX == br.x) && h.Bottom + sw->cyBottomEdge == br.y;
}

void PaintSizeBox(TacScrollWnd* sw, HWND Wnd, HDC DC, const TRect& WndRect) {
  const TacSkinRecords* skin = SkinOf(sw);
  const int hth = ScrollBarMetric(sw->sBarHorz.get(), true), vth = ScrollBarMetric(sw->sBarVert.get(), true);
  TRect box;
  box.Bottom = WndRect.Height() - sw->cyBottomEdge;
  box.Top = box.Bottom - hth;
  if (sw->fLeftScrollbar) {
    box.Left = sw->cxLeftEdge;
    box.Right = box.Left + vth;
  } else {
    box.Right = WndRect.Width() - sw->cxRightEdge;
    box.Left = box.Right - vth;
  }
  if (box.Width() <= 0 || box.Height() <= 0) return;
  auto bmp = NewBitmap32(box.Width(), box.Height());
  const TRect local(0, 0, box.Width(), box.Height());
  const int track = skin->ConstData.Scrolls[asLeft].SkinIndex;
  if (!skin->IsValidSkinIndex(track) || skin->gd[size_t(track)].Props[0].Transparency == 100) {
    const TCacheInfo ci = BarBackground(sw);
    if (ci.Ready && ci.Bmp)
      BitBlt(bmp->Canvas()->Handle(), 0, 0, box.Width(), box.Height(), ci.Bmp->Canvas()->Handle(),
             ci.X + box.Left - sw->cxLeftEdge, ci.Y + box.Top - sw->cyTopEdge, SRCCOPY);
    else
      FillRect32(bmp.get(), local, skin->GetGlobalColor(), 255);
  } else {
    TColor c = skin->gd[size_t(track)].Props[0].Color;
    if (c == clFuchsia) c = skin->GetGlobalColor();
    if (!ScrollBarEnabled(sw->sBarHorz.get()) || !ScrollBarEnabled(sw->sBarVert.get()))
      c = MixColors(c, sw->SkinData->GetControlColor(sw->SkinData->CurrentState(), Wnd), DisabledBlendValue);
    FillRect32(bmp.get(), local, c, 255);
  }
  if (skin->IsValidImgIndex(skin->ConstData.GripRightBottom) && SizeBoxAtParentCorner(sw, Wnd)) {
    const TsMaskData& m = skin->ma[size_t(skin->ConstData.GripRightBottom)];
    const TPoint sz = MaskSize(m);
    TCacheInfo ci;
    ci.Bmp = bmp.get();
    ci.Ready = true;
    PaintMaskFrame(bmp.get(), TPoint(box.Width() - sz.X, box.Height() - sz.Y), 0, ci, m, 1);
  }
  BitBlt(DC, box.Left, box.Top, box.Width(), box.Height(), bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

}  // namespace

void PaintScrollBar(TacScrollBar* Bar, HWND Wnd, HDC DC, const TRect& R, int PressedPart, int ThumbPos) {
  TacScrollWnd* sw = Bar ? Bar->sw : nullptr;
  const TacSkinRecords* skin = SkinOf(sw);
  if (!sw || sw->fThumbTracking || !Bar->fScrollVisible || !skin) return;
  const bool v = Bar->Vertical();
  if (v && sw->DontRepaint) return;
  if (!skin->IsValidSkinIndex(skin->ConstData.Scrolls[v ? asTop : asLeft].SkinIndex)) return;
  if ((v ? R.Width() : R.Height()) < 2) return;
  ReadScrollState(Bar);
  const int btn = ScrollBarMetric(Bar, false);
  const int span = Along(R, v);
  if (span <= 0) return;
  const bool enabled = ScrollBarEnabled(Bar) && (!sw->SkinData->FOwnerControl || sw->SkinData->FOwnerControl->Enabled());
  BarLook look;
  const TacScrollTrackState& t = ScrollTrack;
  const int index = v ? SB_VERT : SB_HORZ;
  if (t.TrackedWindow == Wnd) {
    const bool pressedBar = t.TrackedBar == index, hotBar = t.HotBar == index;
    auto arrow = [&](int part) {
      return pressedBar && PressedPart == part ? 2 : (hotBar && t.HotPart == part && enabled ? 1 : 0);
    };
    look.Arrow1 = arrow(sbpArrow1);
    look.Arrow2 = arrow(sbpArrow2);
    look.Before = pressedBar && PressedPart == sbpPageBefore ? 2 : 0;
    look.After = pressedBar && PressedPart == sbpPageAfter ? 2 : 0;
    look.Thumb = hotBar && t.HotPart == sbpThumb && enabled ? 1 : 0;
  }
  int length = 0, start = 0;
  GetThumbMetrics(Bar, TRect(0, 0, R.Width(), R.Height()), length, start);
  if (ThumbPos != -1) start = ThumbPos;
  auto bmp = NewBitmap32(R.Width(), R.Height());
  const TCacheInfo ci = BarBackground(sw);
  // The thumb shows only on an enabled bar whose page leaves it room.
  const int track = span - 2 * btn;
  int c = MulDivRound(int(Bar->ScrollInfo.nPage), track, Bar->ScrollInfo.nMax - Bar->ScrollInfo.nMin);
  if (c < Bar->nMinThumbSize || c < track - 1) c = std::min(Bar->nMinThumbSize, track - 1);
  const bool thumb = enabled && (v ? length > 0 : c > 0) && c <= track;
  PaintBarParts(sw, Bar, bmp.get(), R, ci, btn, thumb ? start : -1, length, look);
  if (!enabled) {
    const TCacheInfo bg = BarBackground(sw);
    if (bg.Ready && bg.Bmp) {
      auto under = NewBitmap32(R.Width(), R.Height());
      BitBlt(under->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), bg.Bmp->Canvas()->Handle(),
             bg.X + R.Left - sw->cxLeftEdge, bg.Y + R.Top - sw->cyTopEdge, SRCCOPY);
      CopyBitmapKeyed(bmp.get(), 0, 0, clFuchsia, DisabledBlendValue, TRect(0, 0, R.Width() - 1, R.Height() - 1),
                      under.get());
    } else {
      PaintSoftRoundRect(bmp.get(), TRect(0, 0, R.Width(), R.Height()), 60, 0, 1, bg.FillColor);
    }
  }
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void PaintScrollBars(TacScrollWnd* sw, HWND Wnd, int ThumbPos, HDC DC) {
  if (!sw || !sw->SkinData || !sw->sBarHorz || !SkinOf(sw)) return;
  TsCommonData* d = sw->SkinData;
  if (d->CheckUpdating(false)) return;
  if (d->FOwnerControl && d->FOwnerControl->ControlState.Contains(csCreating)) return;
  if (!IsWindowVisible(Wnd) && !(d->FOwnerControl && d->FOwnerControl->Showing())) return;
  if (d->BGChanged) SendSkinCommand(Wnd, SKC_PREPARECACHE);
  HDC dc = DC ? DC : GetWindowDC(Wnd);
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  auto local = [&](const TRect& r) { return MovedRect(r, -wr.left, -wr.top); };
  const TacScrollTrackState& t = ScrollTrack;
  if (sw->sBarHorz->fScrollVisible)
    PaintScrollBar(sw->sBarHorz.get(), Wnd, dc, local(GetHScrollRect(sw, Wnd)), t.TrackedBar == SB_HORZ ? t.ActivePart : -1,
                   ThumbPos);
  if (sw->sBarVert->fScrollVisible)
    PaintScrollBar(sw->sBarVert.get(), Wnd, dc, local(GetVScrollRect(sw, Wnd)), t.TrackedBar == SB_VERT ? t.ActivePart : -1,
                   ThumbPos);
  if (sw->sBarHorz->fScrollVisible && sw->sBarVert->fScrollVisible) PaintSizeBox(sw, Wnd, dc, ToTRect(wr));
  if (!DC) ReleaseDC(Wnd, dc);
}

void UpdateScrolls(TacScrollWnd* sw, bool Repaint) {
  if (!sw || sw->InDestroying || !sw->SkinData || sw->SkinData->FUpdating) return;
  if (!IsWindowVisible(sw->CtrlHandle) || !sw->sBarHorz || !sw->sBarVert) return;
  ReadScrollState(sw->sBarHorz.get());
  ReadScrollState(sw->sBarVert.get());
  if (Repaint && !WindowAnimationActive) PaintScrollBars(sw, sw->CtrlHandle, -1, nullptr);
}

// ---- The handler ----

TacScrollWnd::TacScrollWnd() = default;
TacScrollWnd::~TacScrollWnd() = default;

void TacScrollWnd::InitSkinData() {
  cxLeftEdge = -1;
  ScrollsInitialized = false;
  SkinData = new TsScrollWndData(nullptr, true);
  SkinData->FSkinManager = SkinManager;
  SkinData->Loading = true;
}

void TacScrollWnd::SubclassWindow(HWND Wnd, bool Repaint) {
  DontRepaint = false;
  CtrlHandle = Wnd;
  sBarHorz = std::make_unique<TacScrollBar>();
  sBarVert = std::make_unique<TacScrollBar>();
  sBarHorz->sw = sBarVert->sw = this;
  sBarHorz->nBarType = SB_HORZ;
  sBarVert->nBarType = SB_VERT;
  ReadScrollState(sBarHorz.get());
  ReadScrollState(sBarVert.get());
  fLeftScrollbar = (GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
  SetPropW(Wnd, kScrollHandlerProp, HANDLE(this));
  const LONG_PTR style = GetWindowLongPtrW(Wnd, GWL_STYLE);
  sBarHorz->fScrollFlags = style & WS_HSCROLL ? 8 : 0;
  sBarVert->fScrollFlags = style & WS_VSCROLL ? 8 : 0;
  bPreventStyleChange = false;
  TacMainWnd::SubclassWindow(Wnd, Repaint);
  SetMinThumbSize(Wnd, 3, kDefaultMinThumbSize);
  if (Repaint) UpdateWndFrame(Wnd, true);
}

void TacScrollWnd::Released() {
  sBarHorz->sw = sBarVert->sw = nullptr;
  // The window's own bars come back with a frame computed again.
  if (!WindowEnding && IsWindow(CtrlHandle)) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
}

void TacScrollWnd::BeforeDestruction() {
  const HWND wnd = CtrlHandle;
  TacMainWnd::BeforeDestruction();
  sBarHorz->sw = sBarVert->sw = nullptr;
  if (!WindowEnding && IsWindow(wnd) && !(Application && Application->Terminated()))
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, kFrameChange);
}

void TacScrollWnd::HandleNCCalcSize(TMessage& Message) {
  RECT* r = Message.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0]
                           : reinterpret_cast<RECT*>(Message.LParam);
  const RECT wr = *r;
  const LONG_PTR style = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  if (style & (WS_HSCROLL | WS_VSCROLL)) {
    // The window's own procedure must leave no room for its bars: the handler takes it.
    bPreventStyleChange = true;
    SetWindowLongPtrW(CtrlHandle, GWL_STYLE, style & ~LONG_PTR(WS_HSCROLL | WS_VSCROLL));
    Forward(Message);
    SetWindowLongPtrW(CtrlHandle, GWL_STYLE, style);
    bPreventStyleChange = false;
  } else {
    Forward(Message);
  }
  const TacSkinRecords* skin = SkinOf(this);
  if (SkinData->COC != 10 && skin && skin->IsValidSkinIndex(SkinData->SkinIndex)) {
    const int off = skin->gd[size_t(SkinData->SkinIndex)].ScrollBorderOffset;
    if (off < 0 && r->left - wr.left > 1) InflateRect(r, -off, -off);
  }
  cxLeftEdge = r->left - wr.left;
  cxRightEdge = wr.right - r->right;
  cyTopEdge = r->top - wr.top;
  cyBottomEdge = wr.bottom - r->bottom;
  const int hth = ScrollBarMetric(sBarHorz.get(), true), vth = ScrollBarMetric(sBarVert.get(), true);
  sBarHorz->fScrollFlags = style & WS_HSCROLL ? 8 : 0;
  sBarHorz->fScrollVisible = sBarHorz->fScrollFlags && r->bottom - r->top >= hth;
  if (sBarHorz->fScrollVisible) r->bottom -= hth;
  sBarVert->fScrollFlags = style & WS_VSCROLL ? 8 : 0;
  sBarVert->fScrollVisible = sBarVert->fScrollFlags && r->right - r->left >= vth;
  if (sBarVert->fScrollVisible) {
    if (fLeftScrollbar)
      r->left += vth;
    else
      r->right -= vth;
  }
  ScrollsInitialized = true;
}

bool TacScrollWnd::SkinnedMessage(TMessage& M) {
  TsCommonData* d = SkinData;
  switch (M.Msg) {
    case WM_STYLECHANGED:
      if (bPreventStyleChange) {
        M.Result = 0;
        return true;
      }
      if (M.WParam == WPARAM(GWL_EXSTYLE) && M.LParam)
        fLeftScrollbar = (reinterpret_cast<const STYLESTRUCT*>(M.LParam)->styleNew & WS_EX_LEFTSCROLLBAR) != 0;
      return false;
    case WM_STYLECHANGING:
      if (bPreventStyleChange) {
        M.Result = 0;
        return true;
      }
      return false;
    case WM_NCCALCSIZE:
      HandleNCCalcSize(M);
      return true;
    case WM_NCHITTEST:
      M.Result = HandleScrollNCHitTest(this, CtrlHandle, M.WParam, M.LParam);
      return true;
    case WM_NCMOUSEMOVE:
      M.Result = HandleScrollNCMouseMove(this, CtrlHandle, M.WParam, M.LParam);
      return true;
    case WM_MOUSEMOVE:
      M.Result = HandleScrollMouseMove(this, CtrlHandle, M.WParam, M.LParam);
      return true;
    case WM_LBUTTONUP:
      M.Result = HandleScrollLButtonUp(this, CtrlHandle, M.WParam, M.LParam);
      return true;
    case WM_TIMER:
      M.Result = HandleScrollTimer(this, CtrlHandle, M.WParam, M.LParam);
      if (!DontRepaint && !fThumbTracking) UpdateScrolls(this, true);
      return true;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (M.WParam != HTHSCROLL && M.WParam != HTVSCROLL) return false;
      M.Result = HandleScrollNCLButtonDown(this, CtrlHandle, M.WParam, M.LParam);
      return true;
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
      if (M.WParam != HTHSCROLL && M.WParam != HTVSCROLL) return false;
      M.Result = 0;
      return true;
    case WM_SYSCOMMAND:
      return (M.WParam & 0xFFFF) == 0xF077;
    case WM_NCPAINT:
      if (!ScrollsInitialized) SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, kFrameChange);
      // The frame first, the skinned bars over it: the window's own procedure
      // draws its frame and would draw its plain bars where the skinned ones lie.
      Forward(M);
      if (IsWindowVisible(CtrlHandle) && !d->FUpdating && !DontRepaint && ScrollsInitialized)
        PaintScrollBars(this, CtrlHandle, -1, nullptr);
      return true;
    case WM_SKINCOMMAND:
      break;
    default:
      return false;
  }
  const bool own = M.LParam == LPARAM(d->SkinManager());
  switch (SkinCommandOf(M)) {
    case SKC_SKINCHANGED:
      if (!own) return false;
      d->UpdateIndexes(true);
      Forward(M);
      BroadcastSkinMessage(d->FOwnerControl, CtrlHandle, M);
      return true;
    case SKC_SKINREMOVED:
      if (own && !Destroyed) RestoreStdParams();
      return false;
    case SKC_SKINLOADED:
      if (own) {
        d->UpdateIndexes(true);
        d->BGChanged = true;
      }
      return false;
    case SKC_REFRESH:
      if (d->FUpdating && !d->CheckUpdating(true)) {
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (auto* wc = dynamic_cast<TWinControl*>(d->FOwnerControl)) RefreshChildControls(wc);
      }
      return true;
    case SKC_SETUPDATING:
      d->FUpdating = SkinCommandArg(M) == 1;
      return false;
    case SKC_COMPLEXBG:
      M.Result = d->CommandQueryResult() ? 1 : 0;
      return true;
    case SKC_PREPARECACHE:
      Forward(M);
      if (d->BGChanged && !d->FUpdating) {
        UpdateWndGeometry(this);
        PrepareCtrlCache(d, CtrlHandle, DlgMode);
        FillCacheCorners(d, 0, this);
      }
      return true;
    case SKC_MOUSEENTER:
    case SKC_MOUSELEAVE: {
      TMessage m = MakeMessage(SkinCommandOf(M) == SKC_MOUSEENTER ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
      HandleCommonMessage(m, d);
      return true;
    }
    case SKC_GETBGINFO:
      Forward(M);
      if (M.LParam && reinterpret_cast<TacBackgroundInfo*>(M.LParam)->BgType == 0)
        d->FillBgInfo(*reinterpret_cast<TacBackgroundInfo*>(M.LParam), d->CurrentState(), CtrlHandle);
      return true;
    case SKC_GETSCALE:
      M.Result = d->GetScalePercent();
      return true;
  }
  return HandlerAnswer(M);
}

void TacScrollWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  switch (M.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
      if (!Destroyed) {
        WMDestroy(M);
        return;
      }
      break;
    case WM_UPDATEUISTATE:
      return;
  }
  if (Destroyed) {
    if (M.Msg == WM_NOTIFY || M.Msg == CN_NOTIFY) Forward(M);
    return;
  }
  if (!d || !d->Skinned()) {
    if (M.Msg == WM_SKINCOMMAND && d && SkinCommandOf(M) == SKC_SKINCHANGED && M.LParam == LPARAM(d->SkinManager()))
      d->UpdateIndexes(true);
    if (M.Msg == WM_SKINCOMMAND && d && SkinCommandOf(M) == SKC_GETSKINDATA) {
      M.Result = LRESULT(d);
      return;
    }
    Forward(M);
    return;
  }
  if (SkinnedMessage(M)) return;
  Forward(M);
  if (M.Msg == WM_MOUSEWHEEL || M.Msg == CM_MOUSEWHEEL_MSG) {
    if (!DontRepaint) UpdateScrolls(this, true);
  } else if (M.Msg == CM_FOCUSCHANGED_MSG) {
    UpdateScrolls(this, true);
  }
}

void RefreshScrolls(TsCommonData* SkinData, TacHandlerPtr<TacScrollWnd>& ScrollWnd) {
  if (!SkinData) return;
  TControl* c = SkinData->FOwnerControl;
  if (c && (c->ComponentState() & (csLoading | csDestroying | csDesigning))) return;
  auto* wc = dynamic_cast<TWinControl*>(c);
  if (SkinData->Skinned()) {
    if (wc) UninitializeFlatSB(wc->Handle());
    if (ScrollWnd && ScrollWnd->Destroyed) ScrollWnd.reset();
    if (!ScrollWnd && wc)
      ScrollWnd = CreateWndHandler<TacScrollWnd>(wc->Handle(), SkinData, SkinData->SkinManager(), TacSkinParams(), true);
  } else {
    ScrollWnd.reset();
    if (wc && wc->HandleAllocated()) InitializeFlatSB(wc->Handle());
  }
}
