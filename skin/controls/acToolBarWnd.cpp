#include "skin/controls/acToolBarWnd.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "platform/win/CommCtrl.h"
#include "platform/win/ListViews.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGradient.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr UINT kCaptionFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// The notification a bar posts to itself when a button's drop-down menu has closed.
constexpr UINT kDropDownClosed = 0x1400;

TCacheInfo CacheAt(TBitmap* Bmp, int X, int Y) {
  TCacheInfo ci;
  ci.Bmp = Bmp;
  ci.X = X;
  ci.Y = Y;
  ci.Ready = true;
  return ci;
}

int DropDownWidth() { return GetSystemMetrics(SM_CXVSCROLL) - 2; }

// The drop-down arrow's look: the skin's arrow glyph, or a small solid arrow in the section's text colour.
void PaintDropArrow(const TacSkinRecords* Skin, TBitmap* Bmp, const TRect& Part, int State, int GlyphY,
                    int TextSection) {
  const TacConstElementData& e = Skin->ConstData.ScrollBtns[asBottom];
  if (Skin->IsValidImgIndex(e.GlyphIndex)) {
    const TsMaskData& m = Skin->ma[size_t(e.GlyphIndex)];
    PaintMaskFrame(Bmp, TPoint(Part.Left + (Part.Width() - (m.Width + 3)) / 2 + 2, GlyphY < 0 ? (Part.Height() - m.Height) / 2 : GlyphY),
                   State, CacheAt(Bmp, 0, 0), m, 1);
    return;
  }
  TColor c = clBtnText;
  if (Skin->IsValidSkinIndex(TextSection)) c = Skin->gd[size_t(TextSection)].Props[State > 0 ? 1 : 0].FontColor.Color;
  const int x = Part.Left + (Part.Width() - 6) / 2, y = Part.Top + (Part.Height() - 3) / 2;
  PaintSmallArrow(Bmp, TColor(0xFF000000u | uint32_t(ColorToRGB(c))), TRect(x, y, x + 6, y + 3), 3);
}

}  // namespace

// ---- The framework's tool bar ----

TRect TacToolBarVCLWnd::DisplayRect() {
  RECT c{};
  GetClientRect(CtrlHandle, &c);
  TRect r(c.left, c.top, c.right, c.bottom);
  if (r.Width() != WndSize.cx || r.Height() != WndSize.cy) r = ClientRectInWindow(CtrlHandle);
  return r;
}

TRect TacToolBarVCLWnd::GetButtonRect(int Index) {
  RECT r{};
  if (ToolBar) SendMessageW(CtrlHandle, TB_GETITEMRECT, WPARAM(Index), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

int TacToolBarVCLWnd::IndexByMouse(const TPoint& MousePos) {
  if (!ToolBar) return -1;
  for (int i = 0; i < ToolBar->ButtonCount(); ++i) {
    if (!GetButtonRect(i).Contains(MousePos)) continue;
    const TToolButtonStyle s = ToolBar->Buttons(i)->Style();
    return s == tbsButton || s == tbsCheck || s == tbsDropDown ? i : -1;
  }
  return -1;
}

void TacToolBarVCLWnd::HookEvents() {
  if (!ToolBar) return;
  if (!Hooked) {
    SavedDraw = ToolBar->OnAdvancedCustomDraw;
    SavedDrawButton = ToolBar->OnAdvancedCustomDrawButton;
    Hooked = true;
  }
  ToolBar->OnAdvancedCustomDraw = [this](TToolBar* s, const TRect& r, TCustomDrawStage st, bool& d) {
    OurAdvancedCustomDraw(s, r, st, d);
  };
  ToolBar->OnAdvancedCustomDrawButton = [this](TToolBar* s, TToolButton* b, TCustomDrawState st, TCustomDrawStage sg,
                                               TTBCustomDrawFlags& f, bool& d) {
    OurAdvancedCustomDrawButton(s, b, st, sg, f, d);
  };
}

void TacToolBarVCLWnd::UnhookEvents() {
  if (!ToolBar || !Hooked) return;
  ToolBar->OnAdvancedCustomDraw = SavedDraw;
  ToolBar->OnAdvancedCustomDrawButton = SavedDrawButton;
  SavedDraw = nullptr;
  SavedDrawButton = nullptr;
  Hooked = false;
}

void TacToolBarVCLWnd::AfterCreation() {
  HotButtonIndex = -1;
  DroppedButton = nullptr;
  ToolBar = dynamic_cast<TToolBar*>(SkinData->FOwnerControl);
  if (ToolBar) {
    HookEvents();
    if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("TOOLBAR");
  }
  TacMainWnd::AfterCreation();
}

void TacToolBarVCLWnd::RestoreStdParams() {
  // The bar draws itself again, with whatever the application had it draw.
  if (ToolBar && !(ToolBar->ComponentState() & csDestroying)) UnhookEvents();
  TacMainWnd::RestoreStdParams();
}

void TacToolBarVCLWnd::PrepareCache() {
  UpdateWndGeometry(this);
  SkinData->PrepareCacheBmp();
  TBitmap* cache = SkinData->FCacheBmp.get();
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(WndSize.cx, WndSize.cy);
  PaintControlItem(*SkinData, SkinData->GetParentCache(), cache, WndPos, TRect(0, 0, WndSize.cx, WndSize.cy), 0, true);
  SkinData->BGChanged = false;
}

void TacToolBarVCLWnd::CopyBackground(HDC DC, const TRect& ARect) {
  RefreshBgFromParent(SkinData, 0, 15);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  // The buttons paint themselves: the background goes only where none stands.
  for (int i = 0; i < ToolBar->ControlCount(); ++i) {
    TControl* c = ToolBar->Controls(i);
    const TRect b = c->BoundsRect();
    if (!c->Visible() || !RectOverlaps(ARect, b)) continue;
    if (dynamic_cast<TToolButton*>(c) && (ToolBar->ComponentState() & csDesigning)) continue;
    ExcludeClipRect(DC, b.Left, b.Top, b.Right, b.Bottom);
  }
  const TRect client = DisplayRect();
  BitBlt(DC, ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), SkinData->FCacheBmp->Canvas()->Handle(),
         client.Left + ARect.Left, client.Top + ARect.Top, SRCCOPY);
  RestoreDC(DC, saved);
}

void TacToolBarVCLWnd::OurAdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage,
                                             bool& DefaultDraw) {
  if (!SkinData->Skinned(true)) {
    DefaultDraw = true;
    return;
  }
  if (SkinData->CheckUpdating(false)) return;
  if (Stage != cdPrePaint) {
    DefaultDraw = false;
    return;
  }
  SkinData->PrepareCacheBmp();
  SkinData->FCacheBmp->Canvas()->Font()->Assign(Sender->Font());
  if (SkinData->BGChanged) PrepareCache();
  HDC dc = Sender->Canvas()->Handle();
  CopyBackground(dc, ARect);
  PaintChildrenToDC(dc, Sender, false, TPoint(0, 0));
  RefreshChildControls(Sender);
  const TRect client = DisplayRect();
  if (client != TRect(0, 0, WndSize.cx, WndSize.cy)) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacToolBarVCLWnd::OurAdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State,
                                                   TCustomDrawStage Stage, TTBCustomDrawFlags& Flags,
                                                   bool& DefaultDraw) {
  if (!SkinData->Skinned(true)) {
    DefaultDraw = true;
    return;
  }
  DefaultDraw = false;
  if (Stage != cdPrePaint || !Button) return;
  const bool designing = (Sender->ComponentState() & csDesigning) != 0;
  if (!Sender->Flat() && !designing && Button->Index() == HotButtonIndex) State.Include(cdsHot);
  Flags.Include(tbNoEdges);
  Flags.Include(tbNoEtchedEffect);
  const TRect r = GetButtonRect(Button->Index());
  if (r.Width() <= 0 || r.Height() <= 0) return;
  if (SkinData->BGChanged) PrepareCache();
  const TacSkinRecords* skin = SkinData->SkinManager();
  auto b = NewBitmap32(r.Width(), r.Height());
  b->Canvas()->Font()->Assign(Sender->Font());
  const bool marked = Button->Marked() || Button->Indeterminate();
  TCustomDrawState others = State;
  others.Exclude(cdsDisabled);
  int s = 0;
  if (marked || !others.Empty())
    s = State.Contains(cdsSelected) || State.Contains(cdsChecked) || marked ? 2 : 1;
  // The tool-button section over the bar's image, its border without the drop-down part.
  const int section = skin->ConstData.Sections[ssToolButton];
  const int dropWidth = Button->Style() == tbsDropDown ? DropDownWidth() : 0;
  const int contentWidth = r.Width() - dropWidth;
  const TRect client = DisplayRect();
  TBitmap* cache = SkinData->FCacheBmp.get();
  const TCacheInfo ci = CacheAt(cache, client.Left, client.Top);
  const TPoint at(r.Left, r.Top);
  PaintSectionBg(section, ci, s, TRect(0, 0, r.Width(), r.Height()), at, b.get(), skin, -1, -1, clFuchsia);
  if (skin->IsValidSkinIndex(section) && skin->IsValidImgIndex(skin->gd[size_t(section)].BorderIndex))
    PaintMask(b.get(), TRect(0, 0, contentWidth, r.Height()), CacheAt(cache, client.Left + r.Left, client.Top + r.Top),
              skin->ma[size_t(skin->gd[size_t(section)].BorderIndex)], s, true);
  const String caption = Button->Caption();
  if (Sender->ShowCaptions() && !caption.empty()) {
    TCanvas* c = b->Canvas();
    TRect t;
    if (Sender->List()) {
      t = TRect(1, 2, contentWidth - 2, r.Height() - 2);
    } else {
      const int d = (contentWidth - c->TextWidth(caption)) / 2;
      const int m = (r.Height() - c->TextHeight("A")) / 2;
      t = TRect(d - 1, m, contentWidth - d + 2, r.Height() - m);
    }
    if (s == 2 && ButtonsOptions.ShiftContentOnClick) t = OffsetRectCopy(t, 1, 1);
    SetBkMode(c->Handle(), TRANSPARENT);
    DrawSkinText(c, caption, true, skin, s > 0 ? 1 : 0, section, kCaptionFlags, t);
  }
  if (Button->Style() == tbsDropDown) {
    const int a = Button == DroppedButton || Button->Down() ? 2 : State.Contains(cdsHot) ? 1 : 0;
    const TRect part(contentWidth, 0, r.Width(), r.Height());
    const TacConstElementData& e = skin->ConstData.ScrollBtns[asBottom];
    if (skin->IsValidImgIndex(e.MaskIndex)) PaintMask(b.get(), part, ci, skin->ma[size_t(e.MaskIndex)], a, true);
    const int glyph = e.GlyphIndex;
    const int glyphY = skin->IsValidImgIndex(glyph) ? (Sender->ButtonHeight() - skin->ma[size_t(glyph)].Height) / 2 : -1;
    PaintDropArrow(skin, b.get(), part, a, glyphY, SkinData->SkinIndex);
  }
  if (!Button->Enabled() || Button->Indeterminate()) {
    // Faded toward the bar's background under the button.
    CopyBitmapKeyed(b.get(), 0, 0, clFuchsia, DefDisabledBlend,
                    TRect(client.Left + r.Left, client.Top + r.Top, client.Left + r.Right - 1, client.Top + r.Bottom - 1),
                    cache);
  }
  BitBlt(Sender->Canvas()->Handle(), Button->Left(), Button->Top(), r.Width(), r.Height(), b->Canvas()->Handle(), 0, 0,
         SRCCOPY);
}

void TacToolBarVCLWnd::RepaintButton(int Index) {
  if (!ToolBar || Index < 0 || Index >= ToolBar->ButtonCount()) return;
  TToolButton* button = ToolBar->Buttons(Index);
  if (!button->Visible()) return;
  HDC dc = GetDC(CtrlHandle);
  const int saved = SaveDC(dc);
  auto* canvas = static_cast<TControlCanvas*>(ToolBar->Canvas());
  canvas->SetPaintHandle(dc);
  TTBCustomDrawFlags flags;
  flags.Include(tbNoEdges);
  flags.Include(tbNoEtchedEffect);
  bool defaultDraw = false;
  OurAdvancedCustomDrawButton(ToolBar, button, TCustomDrawState(), cdPrePaint, flags, defaultDraw);
  canvas->SetPaintHandle(nullptr);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacToolBarVCLWnd::WMNCPaint(HDC aDC) {
  if (SkinData->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  const TRect client = DisplayRect();
  if (client == TRect(0, 0, WndSize.cx, WndSize.cy)) return;
  HDC dc = aDC ? aDC : GetWindowDC(CtrlHandle);
  if (SkinData->BGChanged) PrepareCache();
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
  BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(dc, saved);
  if (!aDC) ReleaseDC(CtrlHandle, dc);
}

void TacToolBarVCLWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  if (!d) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  const bool own = Message.LParam == LPARAM(d->SkinManager());
  if (Message.Msg == WM_SKINCOMMAND) {
    switch (SkinCommandOf(Message)) {
      case SKC_SKINCHANGED:
        HookEvents();
        break;
      case SKC_SKINREMOVED:
        if (own) {
          UnhookEvents();
          DroppedButton = nullptr;
        }
        break;
      case SKC_SKINLOADED:
        if (own) DroppedButton = nullptr;
        break;
      case SKC_PREPARECACHE:
        return;
      case SKC_GETBGINFO:
        if (auto* info = reinterpret_cast<TacBackgroundInfo*>(Message.LParam)) {
          UpdateWndGeometry(this);
          d->FillBgInfo(*info, d->CurrentState(), CtrlHandle);
          const TRect client = DisplayRect();
          info->Offset = TPoint(info->Offset.X + client.Left, info->Offset.Y + client.Top);
        }
        return;
      default:
        if (HandlerAnswer(Message) || HandleCommonSkinCommand(Message, d)) return;
    }
  }
  const bool skinned = d->Skinned();
  if (skinned) {
    switch (Message.Msg) {
      case WM_PAINT:
        if (d->CheckUpdating(false)) {
          ValidateByEmptyPaint(CtrlHandle);
          return;
        }
        break;
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!WindowAnimationActive) WMNCPaint(nullptr);
        return;
      case WM_PRINTCLIENT: {
        d->FUpdating = false;
        if (d->BGChanged) PrepareCache();
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        const TRect client = DisplayRect();
        WMNCPaint(dc);
        const int saved = SaveDC(dc);
        SetViewportOrgEx(dc, client.Left, client.Top, nullptr);
        IntersectClipRect(dc, 0, 0, client.Width(), client.Height());
        SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, 0);
        RestoreDC(dc, saved);
        return;
      }
      case CN_NOTIFY: {
        auto* nm = reinterpret_cast<NMTOOLBARW*>(Message.LParam);
        if (nm && nm->hdr.code == TBN_DELETINGBUTTON && HotButtonIndex >= int(SendMessageW(CtrlHandle, TB_BUTTONCOUNT, 0, 0)) - 1)
          HotButtonIndex = -1;
        if (nm && nm->hdr.code == TBN_DROPDOWN) {
          const int index = int(SendMessageW(CtrlHandle, TB_COMMANDTOINDEX, WPARAM(nm->iItem), 0));
          TBBUTTON tb;
          if (index >= 0 && SendMessageW(CtrlHandle, TB_GETBUTTON, WPARAM(index), LPARAM(&tb))) {
            DroppedButton = reinterpret_cast<TToolButton*>(tb.dwData);
            RepaintButton(index);
          }
        }
        break;
      }
    }
  }
  if (HandleCommonMessage(Message, d)) return;
  TacMainWnd::acWndProc(Message);
  if (!skinned || !ToolBar || Destroyed) return;
  const bool tracking = !ToolBar->Flat() && !(ToolBar->ComponentState() & csDesigning);
  switch (Message.Msg) {
    case WM_SIZE:
      if (!d->GetUpdating()) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE);
      break;
    case WM_MOUSEMOVE: {
      if (!tracking) break;
      const int i = IndexByMouse(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
      if (i == HotButtonIndex || (i >= 0 && !ToolBar->Buttons(i)->Enabled())) break;
      const int old = HotButtonIndex;
      HotButtonIndex = i;
      if (old >= 0 && old < ToolBar->ButtonCount() && !ToolBar->Buttons(old)->Down()) RepaintButton(old);
      if (i >= 0 && !ToolBar->Buttons(i)->Down()) RepaintButton(i);
      break;
    }
    case kDropDownClosed:
      if (DroppedButton) {
        TToolButton* b = DroppedButton;
        HotButtonIndex = -1;
        DroppedButton = nullptr;
        RepaintButton(b->Index());
      }
      break;
    case CM_MOUSELEAVE: {
      if (!tracking) break;
      const int old = HotButtonIndex;
      HotButtonIndex = -1;
      if (old >= 0 && old < ToolBar->ButtonCount() && !ToolBar->Buttons(old)->Down()) RepaintButton(old);
      break;
    }
  }
}

// ---- A foreign tool bar ----

int TacToolBarWnd::Count() { return int(ProcessMessage(TB_BUTTONCOUNT, 0, 0)); }

TRect TacToolBarWnd::GetButtonRect(int Index) {
  RECT r{};
  ProcessMessage(TB_GETITEMRECT, WPARAM(Index), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

String TacToolBarWnd::ButtonText(int Id) {
  const LRESULT n = ProcessMessage(TB_GETBUTTONTEXTW, WPARAM(Id), 0);
  if (n <= 0) return String();
  std::vector<char> text(size_t(n) + 1, '\0');
  const LRESULT got = ProcessMessage(TB_GETBUTTONTEXTW, WPARAM(Id), LPARAM(text.data()));
  return String(text.data(), size_t(std::clamp<LRESULT>(got, 0, n)));
}

void TacToolBarWnd::AfterCreation() {
  if (SkinData->SkinSection().empty())
    SkinData->SetSkinSection((GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & TBSTYLE_WRAPABLE) ? "BAR" : "TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacToolBarWnd::PrepareCache() {
  UpdateWndGeometry(this);
  if (!SkinData->BGChanged) return;
  RECT c{};
  GetClientRect(CtrlHandle, &c);
  ClientRect = TRect(c.left, c.top, c.right, c.bottom);
  PrepareCtrlCache(SkinData, CtrlHandle, DlgMode);
  FillCacheCorners(SkinData, 0, this);
  BorderWidth = (WndSize.cy - ClientRect.Height()) / 2;
  SkinData->BGChanged = false;
}

void TacToolBarWnd::DrawButtons(TBitmap* Bmp) {
  const int n = Count();
  for (int i = 0; i < n; ++i)
    DrawBtn(i, OffsetRectCopy(GetButtonRect(i), BorderWidth, BorderWidth), Bmp->Canvas()->Handle());
}

void TacToolBarWnd::DrawBtn(int Index, const TRect& R, HDC DC) {
  TBBUTTON b;
  if (!ProcessMessage(TB_GETBUTTON, WPARAM(Index), LPARAM(&b)) || R.Width() <= 0 || R.Height() <= 0) return;
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!skin) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  auto w = NewBitmap32(R.Width(), R.Height());
  const TCacheInfo ci = CacheAt(cache, 0, 0);
  if (b.fsStyle & BTNS_SEP) {
    const int divider = skin->ConstData.Sections[ssDivider];
    if (!skin->IsValidSkinIndex(divider) || !skin->IsValidImgIndex(skin->gd[size_t(divider)].BorderIndex)) return;
    BitBlt(w->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), cache->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
    const int left = R.Width() / 2 - 1;
    const TRect line(left, 2, left + 4, R.Height() - 2);
    PaintSkinItem(divider, ci, -1, -1, skin, w.get(), TPoint(R.Left + line.Left, R.Top + line.Top), line, 0);
    BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), w->Canvas()->Handle(), 0, 0, SRCCOPY);
    return;
  }
  const bool enabled = (b.fsState & TBSTATE_ENABLED) != 0;
  int s = 0, shift = 0;
  if (enabled && (b.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED))) {
    s = 2;
    shift = 1;
  } else if (enabled) {
    const TPoint cursor = SafeGetCursorPos();
    s = OffsetRectCopy(R, WndRect.Left - BorderWidth, WndRect.Top - BorderWidth).Contains(cursor) ? 1 : 0;
  }
  const int section = skin->ConstData.Sections[ssToolButton];
  PaintSkinItem(section, ci, -1, -1, skin, w.get(), R.TopLeft(), TRect(0, 0, R.Width(), R.Height()), s);
  const String caption = ButtonText(b.idCommand);
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(ProcessMessage(TB_GETIMAGELIST, 0, 0));
  int cx = 0, cy = 0;
  const bool icon = b.iBitmap >= 0 && images && ImageList_GetIconSize(images, &cx, &cy);
  HDC wdc = w->Canvas()->Handle();
  if (icon) {
    const int glyph = skin->ConstData.ScrollBtns[asBottom].GlyphIndex;
    int x = (R.Width() - cx) / 2 + shift, y = caption.empty() ? (R.Height() - cy) / 2 + shift : shift + 4;
    if ((b.fsStyle & BTNS_WHOLEDROPDOWN) && skin->IsValidImgIndex(glyph)) {
      const TsMaskData& m = skin->ma[size_t(glyph)];
      const TPoint at = caption.empty() ? TPoint(R.Width() - m.Width - shift - 1, (R.Height() - m.Height) / 2 + shift)
                                        : TPoint((R.Width() - m.Width) / 2 + shift, (R.Height() - m.Height) / 2 + shift);
      PaintMaskFrame(w.get(), at, s, CacheAt(w.get(), 0, 0), m, 1);
      x = (R.Width() - cx - m.Width) / 2 + shift;
      y = shift + 4;
    }
    ImageList_Draw(images, b.iBitmap, wdc, x, y, ILD_NORMAL);
  }
  if (!caption.empty()) {
    SelectCacheFont(this);
    TCanvas* c = w->Canvas();
    c->Font()->Assign(cache->Canvas()->Font());
    SetBkMode(c->Handle(), TRANSPARENT);
    const TRect t(shift + 2, (icon ? cy + 2 : 0) + shift + 2, R.Width() + shift - 2, R.Height() + shift - 2);
    const int textSection = s == 0 ? SkinData->SkinIndex : section;
    const int colors = s > 0 ? 1 : 0;
    // Three words or more: the last two form a second line.
    std::vector<String> words;
    std::istringstream in(caption);
    for (String word; in >> word;) words.push_back(word);
    if (words.size() >= 3) {
      String first, second;
      for (size_t i = 0; i < words.size(); ++i) {
        String& line = i + 2 < words.size() ? first : second;
        if (!line.empty()) line += ' ';
        line += words[i];
      }
      const int h = c->TextHeight("A");
      DrawSkinText(c, first, true, skin, colors, textSection, DT_CENTER | DT_SINGLELINE, TRect(t.Left, t.Top, t.Right, t.Top + h));
      DrawSkinText(c, second, true, skin, colors, textSection, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS,
                   TRect(t.Left, t.Top + h, t.Right, t.Bottom));
    } else {
      DrawSkinText(c, caption, true, skin, colors, textSection, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS, t);
    }
  }
  if (!enabled)
    CopyBitmapKeyed(w.get(), 0, 0, clFuchsia, DefDisabledBlend, TRect(R.Left, R.Top, R.Right - 1, R.Bottom - 1), cache);
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), wdc, 0, 0, SRCCOPY);
}

void TacToolBarWnd::AC_WMPrint(HDC DC) {
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  auto b = NewBitmap32(cache->Width(), cache->Height());
  BitBlt(b->Canvas()->Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  DrawButtons(b.get());
  SetAlphaInRect(b.get(), TRect(0, 0, b->Width(), b->Height()), 255, int32_t(0x1FFFFFFF));
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  BitBlt(dc, 0, 0, b->Width() - 2 * BorderWidth, b->Height() - 2 * BorderWidth, b->Canvas()->Handle(), BorderWidth,
         BorderWidth, SRCCOPY);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacToolBarWnd::AC_WMNCPaint() {
  if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) || SkinData->CheckUpdating(false)) return;
  PrepareCache();
  HDC dc = GetWindowDC(CtrlHandle);
  const int saved = SaveDC(dc);
  CopyBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0,
                   (WndSize.cx - ClientRect.Width()) / 2);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacToolBarWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      if (IsWindowVisible(CtrlHandle)) {
        PAINTSTRUCT ps;
        BeginPaint(CtrlHandle, &ps);
        if (!SkinData->CheckUpdating(false)) AC_WMPrint(reinterpret_cast<HDC>(Message.WParam));
        EndPaint(CtrlHandle, &ps);
        Message.Result = 0;
        return;
      }
      break;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      AC_WMNCPaint();
      return;
    case WM_PRINTCLIENT:
      AC_WMPrint(reinterpret_cast<HDC>(Message.WParam));
      return;
  }
  TacMainWnd::acWndProc(Message);
  if ((Message.Msg == WM_SIZE || Message.Msg == WM_WINDOWPOSCHANGED) && !Destroyed) {
    SkinData->BGChanged = true;
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}
