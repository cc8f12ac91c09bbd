#include "skin/controls/acBtnWnd.h"

#include <algorithm>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Controls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/acGlow.h"
#include "skin/core/sFade.h"
#include "skin/core/sGradient.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

HWND ManagerActiveControl() { return ActiveControlProc ? ActiveControlProc() : nullptr; }

void FadeDisabledCache(TacMainWnd* H, const TCacheInfo& bg) {
  TBitmap* bmp = H->SkinData->FCacheBmp.get();
  if (bg.Ready && bg.Bmp) {
    const TRect src(bg.X + H->WndPos.X, bg.Y + H->WndPos.Y, bg.X + H->WndPos.X + H->WndSize.cx - 1,
                    bg.Y + H->WndPos.Y + H->WndSize.cy - 1);
    CopyBitmapKeyed(bmp, 0, 0, clFuchsia, DefDisabledBlend, src, bg.Bmp);
  } else {
    const TColor fill = bg.FillColor == clFuchsia ? ControlBgColorOfWnd(H->ParentWnd) : bg.FillColor;
    MixBitmapWithColor(bmp, DefDisabledBlend, TColor(ColorToRGB(fill)));
  }
}

// ---- The push button ----

void TacBtnWnd::AfterCreation() {
  FMouseClicked = false;
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("BUTTON");
  TacMainWnd::AfterCreation();
}

bool TacBtnWnd::Down() { return (ProcessMessage(BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

LONG_PTR TacBtnWnd::CtrlStyle() const { return GetWindowLongPtrW(CtrlHandle, GWL_STYLE); }

void TacBtnWnd::Repaint() { RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

int TacBtnWnd::CurrentState() {
  if (Down()) {
    HideGlow(SkinData->GlowID, false);
    return 2;
  }
  if (!IsWindowEnabled(CtrlHandle)) return 0;
  const bool isDefault = (CtrlStyle() & BS_DEFPUSHBUTTON) != 0;
  if (TControl* owner = SkinData->FOwnerControl) {
    if (!(owner->ComponentState() & csDesigning) && SkinData->CurrentState() != 0) return 1;
    return isDefault ? 1 : 0;
  }
  if (GetFocus() == CtrlHandle || ManagerActiveControl() == CtrlHandle || SkinData->FFocused) return 1;
  return isDefault ? 3 : 0;
}

int TacBtnWnd::SectionState(int State) const {
  const TacSkinRecords* skin = SkinData->SkinManager();
  const int states = skin && skin->IsValidSkinIndex(SkinData->SkinIndex) ? skin->gd[size_t(SkinData->SkinIndex)].States : 1;
  if (State == 3 && states < 4) return 1;
  return std::max(0, std::min(State, states - 1));
}

bool TacBtnWnd::ShiftOnPress() const { return !SkinData->Skinned() || ButtonsOptions.ShiftContentOnClick; }

TRect TacBtnWnd::PressShift(TRect R, bool Pressed) const {
  if (Pressed && ShiftOnPress()) R = OffsetRectCopy(R, 1, 1);
  return R;
}

int TacBtnWnd::MaxCaptionWidth() {
  if (Caption.empty()) return 0;
  const int gw = GlyphSize().cx;
  return gw == 0 ? WndSize.cx + 1 : std::max(0, WndSize.cx - gw);
}

TSize TacBtnWnd::TextRectSize() {
  SkinData->PrepareCacheBmp();
  RECT r{0, 0, MaxCaptionWidth() + 2, 0};
  UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_CENTER | DT_EXPANDTABS;
  if (CtrlStyle() & BS_MULTILINE) flags |= DT_WORDBREAK;
  DrawText(SkinData->FCacheBmp->Canvas()->Handle(), Caption.c_str(), -1, &r, flags);
  return TSize(r.right - r.left, r.bottom - r.top);
}

TRect TacBtnWnd::CaptionRect() {
  const TSize t = TextRectSize();
  const int dx = (WndSize.cx - t.cx) / 2, dy = (WndSize.cy - t.cy) / 2;
  return PressShift(TRect(dx - 1, dy, WndSize.cx - dx + 2, WndSize.cy - dy), Down());
}

void TacBtnWnd::DoDrawText(const TRect& R, UINT Flags) {
  DrawSkinControlText(SkinData->FCacheBmp->Canvas(), Caption, IsWindowEnabled(CtrlHandle) != FALSE,
                      CurrentState() != 0 ? 1 : 0, *SkinData, Flags, R);
}

void TacBtnWnd::DrawCaption() {
  SelectCacheFont(this);
  const TRect r = CaptionRect();
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  SetBkMode(c->Handle(), TRANSPARENT);
  UINT flags = DT_CENTER | DT_EXPANDTABS;
  if (CtrlStyle() & BS_MULTILINE) flags |= DT_WORDBREAK;
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) flags |= DT_RTLREADING;
  DoDrawText(r, flags);
  if (IsWindowEnabled(CtrlHandle) && ButtonsOptions.ShowFocusRect &&
      (ProcessMessage(BM_GETSTATE, 0, 0) & BST_FOCUS) && !Caption.empty()) {
    TRect f = r;
    f = TRect(f.Left - 2, f.Top - 1, f.Right + 2, f.Bottom + 1);
    // The focus rectangle keeps off the button's top and bottom three rows.
    f.Top = std::max(f.Top, 3);
    f.Bottom = std::min(f.Bottom, WndSize.cy - 3);
    const TacSkinRecords* skin = SkinData->SkinManager();
    TColor color = clBtnText;
    if (skin && skin->IsValidSkinIndex(SkinData->SkinIndex)) {
      const TsGeneralData& g = skin->gd[size_t(SkinData->SkinIndex)];
      color = g.Props[size_t(std::clamp(std::min(1, g.States), 0, 2))].FontColor.Color;
    }
    DrawDottedFocusRect(c, f, color, kNoColorTone);
  }
}

void TacBtnWnd::PrepareCache() {
  UpdateWndGeometry(this);
  const TCacheInfo bg = GetParentCacheOfWnd(CtrlHandle);
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  const TRect all(0, 0, WndSize.cx, WndSize.cy);
  PaintControlItem(*SkinData, bg, bmp, WndPos, all, SectionState(CurrentState()), true);
  DrawCaption();
  DrawGlyph();
  if (!IsWindowEnabled(CtrlHandle)) FadeDisabledCache(this, bg);
  SkinData->BGChanged = false;
}

void TacBtnWnd::ac_WMPaint(TMessage& Message) {
  PAINTSTRUCT ps;
  BeginPaint(CtrlHandle, &ps);
  if (SkinData->Skinned()) {
    HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
    if (SkinData->AnimationRunning() && SkinData->AnimTimer->BmpOut) {
      TBitmap* out = SkinData->AnimTimer->BmpOut.get();
      BitBlt(dc, 0, 0, out->Width(), out->Height(), out->Canvas()->Handle(), 0, 0, SRCCOPY);
    } else {
      UpdateWndGeometry(this);
      if (!FormAnimating || SkinData->PrintDC) {
        SkinData->FUpdating = SkinData->GetUpdating() && !FormAnimating;
        if (!SkinData->FUpdating) {
          SkinData->BGChanged = true;
          PrepareCache();
          BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
        }
      }
    }
    if (!Message.WParam) ReleaseDC(CtrlHandle, dc);
  }
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacBtnWnd::ChangeState(int State, bool WithGlow) {
  AnimateStateChange(SkinData, State, &FadeStep, ButtonsOptions.Animated, false, WithGlow);
  // A foreign window has no control for the record to invalidate.
  if (!SkinData->FOwnerControl && !SkinData->AnimationRunning()) Repaint();
}

void TacBtnWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  const bool visible = IsWindowVisible(CtrlHandle) != FALSE;
  const UINT frame = RDW_INVALIDATE | RDW_FRAME;
  switch (Message.Msg) {
    case WM_MOVE:
      if (const TacSkinRecords* skin = d ? d->SkinManager() : nullptr;
          skin && skin->IsValidSkinIndex(d->SkinIndex) &&
          (d->IsStateTransparent(0) || (d->IsStateTransparent(1) && d->CurrentState() != 0))) {
        d->BGChanged = true;
        Repaint();
      }
      break;
    case WM_SETFOCUS:
      if (!IsWindowEnabled(CtrlHandle)) break;
      TacMainWnd::acWndProc(Message);
      d->FFocused = true;
      d->BGChanged = true;
      d->KillAnimation();
      RedrawWindow(CtrlHandle, nullptr, nullptr, frame);
      return;
    case WM_KILLFOCUS:
      if (!IsWindowEnabled(CtrlHandle) || (d->FOwnerControl && (d->FOwnerControl->ComponentState() & csDestroying)))
        break;
      TacMainWnd::acWndProc(Message);
      d->FFocused = false;
      d->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, frame);
      return;
    case WM_ENABLE:
      TacMainWnd::acWndProc(Message);
      if (visible) {
        d->BGChanged = true;
        Repaint();
      }
      return;
    case WM_SETTEXT:
      if (visible) {
        if (d->AnimTimer) FinishTimerAnimation(d->AnimTimer);
        d->KillAnimation();
      }
      TacMainWnd::acWndProc(Message);
      if (visible) {
        d->BGChanged = true;
        Repaint();
      }
      return;
    case WM_PAINT:
      if (visible || (d->CtrlSkinState & ACS_PRINTING)) {
        if (!ParamsChanged) SetSkinParams();
        ac_WMPaint(Message);
        return;
      }
      break;
    case WM_PRINT:
      ac_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
    case WM_UPDATEUISTATE:
      Message.Result = 0;
      return;
    case BM_SETSTATE:
      if (visible) {
        SendSetRedraw(CtrlHandle, false);
        Forward(Message);
        SendSetRedraw(CtrlHandle, true);
        d->BGChanged = true;
        d->KillAnimation();
        Repaint();
        return;
      }
      break;
    case WM_LBUTTONUP:
      if (d->FMouseAbove) {
        d->KillAnimation();
        d->FMouseAbove = false;
        TacMainWnd::acWndProc(Message);
        // Still under the cursor after the click: hot again.
        if (IsWindowVisible(CtrlHandle)) SendSkinCommand(CtrlHandle, SKC_MOUSEENTER);
      } else {
        TacMainWnd::acWndProc(Message);
        d->KillAnimation();
        d->BGChanged = false;
        ChangeState(0, true);
      }
      return;
    case WM_MOUSEHOVER:
      SendSkinCommand(CtrlHandle, SKC_MOUSEENTER);
      break;
    case WM_MOUSELEAVE:
      if (ManagerActiveControl() == CtrlHandle && SetActiveControlProc) SetActiveControlProc(nullptr);
      break;
    case WM_MOUSEMOVE:
      TacMainWnd::acWndProc(Message);
      if (DefaultManager && SetActiveControlProc && IsWindowEnabled(CtrlHandle) && !NoMouseHover) {
        const bool inside = WndRect.Contains(SafeGetCursorPos());
        const bool active = ManagerActiveControl() == CtrlHandle;
        if (inside && !active) SetActiveControlProc(CtrlHandle);
        if (!inside && active) SetActiveControlProc(nullptr);
      }
      return;
    case WM_SKINCOMMAND:
      if (!ManagerActive()) break;
      switch (SkinCommandOf(Message)) {
        case SKC_REFRESH:
          if (d->FUpdating) {
            if (!d->CheckUpdating(true))
              RedrawWindow(CtrlHandle, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            return;
          }
          break;
        case SKC_PREPARECACHE:
          PrepareCache();
          return;
        case SKC_MOUSEENTER:
          if (!d->FMouseAbove && ManagerActiveControl() == CtrlHandle && !NoMouseHover) {
            UpdateWndGeometry(this);
            if (!WndRect.Contains(SafeGetCursorPos())) return;
            d->BGChanged = true;
            d->FUpdating = false;
            d->FMouseAbove = true;
            ChangeState(1, true);
            return;
          }
          break;
        case SKC_MOUSELEAVE:
          if (d->FMouseAbove) {
            d->FMouseAbove = false;
            if (d->FOwnerControl && IsMouseOverControl(d->FOwnerControl)) return;
            d->FUpdating = false;
            d->BGChanged = false;
            ChangeState(0, false);
            return;
          }
          break;
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
}

// ---- The bitmap button ----

namespace {

TBitBtn* BitBtnOf(TsCommonData* Data) { return dynamic_cast<TBitBtn*>(Data->FOwnerControl); }

// The bitmap a button window shows, or nullptr.
HBITMAP WindowBitmap(TacMainWnd* H) {
  return reinterpret_cast<HBITMAP>(H->ProcessMessage(BM_GETIMAGE, IMAGE_BITMAP, 0));
}

}  // namespace

int TacBitBtnWnd::CurrentState() {
  TBitBtn* b = BitBtnOf(SkinData);
  if (!b || Down() || !IsWindowEnabled(CtrlHandle)) return TacBtnWnd::CurrentState();
  if (!(b->ComponentState() & csDesigning) && SkinData->CurrentState() != 0) return 1;
  if (!b->Default()) return 0;
  HWND focus = GetFocus();
  return !focus || !(GetWindowLongPtrW(focus, GWL_STYLE) & 0x8) ? 3 : 0;
}

TSize TacBitBtnWnd::GlyphSize() {
  if (TBitBtn* b = BitBtnOf(SkinData)) {
    TBitmap* g = b->Glyph();
    if (g->Width() == 0) return TSize(0, g->Height());
    return TSize(g->Width() / std::max(1, b->NumGlyphs()), g->Height());
  }
  BITMAP bm;
  HBITMAP h = WindowBitmap(this);
  if (!h || !GetObject(h, sizeof bm, &bm)) return TSize(0, 0);
  return TSize(bm.bmWidth, bm.bmHeight);
}

int TacBitBtnWnd::MaxCaptionWidth() {
  TBitBtn* b = BitBtnOf(SkinData);
  if (!b) return TacBtnWnd::MaxCaptionWidth();
  if (b->Caption().empty()) return 0;
  int w = b->Width() - 2 * std::max(0, b->Margin());
  const TSize g = GlyphSize();
  if (b->Layout() < blGlyphTop && g.cy != 0) w -= g.cx + b->Spacing();
  return w;
}

TRect TacBitBtnWnd::CaptionRect() {
  TBitBtn* b = BitBtnOf(SkinData);
  if (!b) {
    TRect r = TacBtnWnd::CaptionRect();
    const int gw = GlyphSize().cx;
    if (gw > 0) r = OffsetRectCopy(r, gw / 2 + 1, 0);
    return r;
  }
  TRect text;
  TPoint glyph;
  CalcGlyphCaptionLayout(TRect(0, 0, WndSize.cx, WndSize.cy), GlyphSize(), TextRectSize(), 2, 1, text, glyph, 0, 0, 2,
                         int(b->Layout()));
  return PressShift(text, CurrentState() == 2);
}

TRect TacBitBtnWnd::GlyphRect() {
  const TSize g = GlyphSize();
  TBitBtn* b = BitBtnOf(SkinData);
  if (!b) {
    if (g.cx == 0) return TRect();
    const int right = CaptionRect().Left - 2;
    const int top = (WndSize.cy - g.cy) / 2 + (Down() ? 1 : 0);
    return TRect(right - g.cx, top, right, top + g.cy);
  }
  const TSize t = TextRectSize();
  const int s = g.cx > 0 && !b->Caption().empty() ? b->Spacing() : 0;
  const int x0 = (WndSize.cx - g.cx - t.cx - s) / 2, y0 = (WndSize.cy - g.cy - t.cy - s) / 2;
  TPoint p;
  switch (b->Layout()) {
    case blGlyphLeft: p = TPoint(x0, (WndSize.cy - g.cy) / 2); break;
    case blGlyphRight: p = TPoint((WndSize.cx + s + t.cx - g.cx) / 2, (WndSize.cy - g.cy) / 2); break;
    case blGlyphTop: p = TPoint((WndSize.cx - g.cx) / 2 + 1, y0); break;
    case blGlyphBottom: p = TPoint((WndSize.cx - g.cx) / 2 + 1, WndSize.cy - y0 - g.cy); break;
  }
  return PressShift(TRect(p.X, p.Y, p.X + g.cx, p.Y + g.cy), CurrentState() == 2);
}

void TacBitBtnWnd::DrawGlyph() {
  TBitBtn* b = BitBtnOf(SkinData);
  if (!b || b->Glyph()->Width() == 0) return;
  const int state = CurrentState();
  TacGlyphDrawInfo gi;
  gi.Glyph = b->Glyph();
  gi.NumGlyphs = b->NumGlyphs();
  gi.DstBmp = SkinData->FCacheBmp.get();
  gi.Rect = GlyphRect();
  gi.Enabled = b->Enabled();
  gi.Down = Down();
  gi.State = std::min(state, 2);
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (state == 0 && ButtonsOptions.DiscoloredGlyphs && SkinData->Skinned())
    gi.TintColor = skin->gd[size_t(SkinData->SkinIndex)].Props[0].Color;
  DrawImageListItem(gi);
}

// ---- The framework button with an image list ----

void TacButtonWnd::AfterCreation() {
  Btn = dynamic_cast<TButton*>(SkinData->FOwnerControl);
  TacBtnWnd::AfterCreation();
}

bool TacButtonWnd::HaveImage() {
  return Btn && Btn->Images() && IndexInRange(Btn->ImageIndex(), ImageListCount(Btn->Images()));
}

TSize TacButtonWnd::GlyphSize() {
  return HaveImage() ? TSize(Btn->Images()->Width(), Btn->Images()->Height()) : TSize(0, 0);
}

int TacButtonWnd::GlyphIndex() {
  const int state = !Btn->Enabled() ? 4 : CurrentState() == 2 ? 2 : Btn->Focused() ? 3 : CurrentState();
  int index = Btn->ImageIndex();
  switch (state) {
    case 1: index = Btn->HotImageIndex(); break;
    case 2: index = Btn->PressedImageIndex(); break;
    case 3: index = Btn->SelectedImageIndex(); break;
    case 4: index = Btn->DisabledImageIndex(); break;
  }
  // A state without an image of its own in the list shows the normal image.
  return IndexInRange(index, ImageListCount(Btn->Images())) ? index : Btn->ImageIndex();
}

TRect TacButtonWnd::CaptionRect() {
  if (!Btn) return TacBtnWnd::CaptionRect();
  SkinData->PrepareCacheBmp();
  SkinData->FCacheBmp->Canvas()->Font()->Assign(Btn->Font());
  const TSize t = TextRectSize();
  const int w = Btn->Width(), h = Btn->Height();
  TRect r;
  const TImageMargins* m = Btn->ImageMargins();
  if (HaveImage() && Btn->ImageAlignment() != iaCenter) {
    const TSize g = GlyphSize();
    int x = (w - t.cx) / 2, y = (h - t.cy) / 2;
    switch (Btn->ImageAlignment()) {
      case iaLeft: {
        const int b = m->Left() + g.cx + 3;
        x = b + (w - b - t.cx) / 2;
        r = TRect(x - 1, y, x + t.cx + 2, h - y);
        break;
      }
      case iaRight:
        x = (w - m->Right() - g.cx - t.cx - 3) / 2;
        r = TRect(x - 1, y, x + t.cx + 2, h - y);
        break;
      case iaTop: {
        const int c = m->Top() + g.cy + 3;
        y = c + (h - c - t.cy) / 2;
        r = TRect(x - 1, y, w - x + 2, y + t.cy);
        break;
      }
      default:
        y = (h - m->Bottom() - g.cy - t.cy - 3) / 2;
        r = TRect(x - 1, y, w - x + 2, y + t.cy);
        break;
    }
  } else {
    const int x = (w - t.cx) / 2, y = (h - t.cy) / 2;
    r = TRect(x - 1, y, w - x + 2, h - y);
  }
  return PressShift(r, CurrentState() == 2);
}

TRect TacButtonWnd::GlyphRect() {
  if (!HaveImage()) return TRect();
  const int W = Btn->Images()->Width(), H = Btn->Images()->Height();
  const int w = Btn->Width(), h = Btn->Height();
  const TImageMargins* m = Btn->ImageMargins();
  int x = (w - W) / 2, y = (h - H) / 2;
  switch (Btn->ImageAlignment()) {
    case iaLeft: x = m->Left() + 3; break;
    case iaRight: x = w - m->Right() - 3 - W; break;
    case iaTop: y = m->Top() + 3; break;
    case iaBottom: y = h - m->Bottom() - 3 - H; break;
    case iaCenter: break;
  }
  return PressShift(TRect(x, y, x + W, y + H), CurrentState() == 2);
}

void TacButtonWnd::DrawGlyph() {
  if (!HaveImage()) return;
  TacGlyphDrawInfo gi;
  gi.ImageList = Btn->Images();
  gi.ImageIndex = GlyphIndex();
  gi.DstBmp = SkinData->FCacheBmp.get();
  gi.Rect = GlyphRect();
  gi.NumGlyphs = 1;
  gi.Enabled = Btn->Enabled();
  gi.Down = Down();
  gi.State = std::min(CurrentState(), 2);
  if (SkinData->Skinned() && ButtonsOptions.DiscoloredGlyphs)
    gi.TintColor = SkinData->SkinManager()->gd[size_t(SkinData->SkinIndex)].Props[0].Color;
  DrawImageListItem(gi);
}

// ---- The split button ----

TRect TacSplitBtnWnd::CaptionRect() {
  ArrowWidth = 8;
  TRect r = TacBtnWnd::CaptionRect();
  return OffsetRectCopy(r, -ArrowWidth, 0);
}

TRect TacSplitBtnWnd::ArrowRect() {
  TRect r = BitmapRect(SkinData->FCacheBmp.get());
  r.Left = r.Right - 2 * ArrowWidth - 6;
  return r;
}

void TacSplitBtnWnd::PrepareCache() {
  TacBtnWnd::PrepareCache();
  const TacSkinRecords* skin = SkinManager;
  TColor c = clBtnText;
  if (skin && skin->IsValidSkinIndex(SkinData->SkinIndex))
    c = skin->gd[size_t(SkinData->SkinIndex)].Props[size_t(std::min(CurrentState(), 2))].FontColor.Color;
  PaintSmallArrow(SkinData->FCacheBmp.get(), TColor(0xFF000000u | uint32_t(ColorToRGB(c))), ArrowRect(), 3);
}
