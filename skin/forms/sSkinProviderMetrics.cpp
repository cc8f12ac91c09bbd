// The measures of a skinned frame: side and caption sizes, where the client
// area lies inside the painted image, the image's size, the title icon and
// the title buttons' layout, the size grip and the maximized place.

#include <algorithm>

#include "skin/core/sMaskPaint.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {

// The caption heights SysCaptionHeight answers (0: not asked yet).
int gCaptionHeight = 0;
int gSmallCaptionHeight = 0;

bool IsToolStyle(TCustomForm* Form) {
  return Form->BorderStyle() == bsToolWindow || Form->BorderStyle() == bsSizeToolWin;
}

TsSkinProvider* OwnerOf(TacBorderForm* bf) { return bf ? bf->sp : nullptr; }

const TacSkinRecords* SkinOf(TacBorderForm* bf) { return bf && bf->SkinData ? bf->SkinData->SkinManager() : nullptr; }

bool Zoomed(TCustomForm* Form) { return Form->HandleAllocated() && IsZoomed(Form->Handle()); }
bool Iconic(TCustomForm* Form) { return Form->HandleAllocated() && IsIconic(Form->Handle()); }

}  // namespace

// ---- Unit-level measures ----

void ResetCaptionHeights() { gCaptionHeight = gSmallCaptionHeight = 0; }

int SysBorderWidth(HWND Handle, TacBorderForm* bf, bool CheckSkin) {
  const TacSkinRecords* skin = SkinOf(bf);
  if (CheckSkin && skin && skin->CommonSkinData.ExBorderWidth != 0) return skin->CommonSkinData.ExBorderWidth;
  const LONG_PTR style = GetWindowLongPtrW(Handle, GWL_STYLE);
  if (style & WS_THICKFRAME) {
    if (skin) return int(SendMessageW(Handle, WM_SKINCOMMAND, SkinCommandWParam(SKC_GETBORDERWIDTH), GetSystemMetrics(SM_CXFRAME)));
    return GetSystemMetrics(SM_CXFRAME);  // the layer's frame is as wide on every version
  }
  if (style & WS_BORDER) {
    if (skin && skin->CommonSkinData.ExDrawMode != 1)
      return int(SendMessageW(Handle, WM_SKINCOMMAND, SkinCommandWParam(SKC_GETBORDERWIDTH), GetSystemMetrics(SM_CXDLGFRAME)));
    return GetSystemMetrics(SM_CXDLGFRAME);
  }
  return 0;
}

int SysBorderWidthNoEx(HWND Handle, TacBorderForm* bf, bool CheckSkin) {
  return bf ? 0 : SysBorderWidth(Handle, nullptr, CheckSkin);
}

int SysCaptionHeight(TCustomForm* Form) {
  if (IsToolStyle(Form) && !Iconic(Form)) {
    if (!gSmallCaptionHeight) gSmallCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION);
    return gSmallCaptionHeight;
  }
  if (!gCaptionHeight) gCaptionHeight = GetSystemMetrics(SM_CYCAPTION);
  return gCaptionHeight;
}

int SkinExTitleHeight(TacBorderForm* bf) {
  const TacSkinRecords* skin = SkinOf(bf);
  if (!skin) return 0;
  TsSkinProvider* sp = OwnerOf(bf);
  if (sp && sp->Form && Zoomed(sp->Form)) return skin->CommonSkinData.ExMaxHeight;
  return skin->CommonSkinData.ExTitleHeight;
}

int SkinExBorderWidth(TacBorderForm* bf) {
  const TacSkinRecords* skin = SkinOf(bf);
  return skin ? skin->CommonSkinData.ExBorderWidth : 0;
}

int DiffTitle(TacBorderForm* bf) {
  TsSkinProvider* sp = OwnerOf(bf);
  if (!sp || !sp->Form) return 0;  // a dialog owner asks its handler (not built yet)
  return sp->CaptionHeight(true) - sp->CaptionHeight(false) - SysBorderWidth(sp->Form->Handle(), bf, false);
}

int DiffBorder(TacBorderForm* bf) {
  TsSkinProvider* sp = OwnerOf(bf);
  if (!sp || !sp->Form) return 0;
  return SysBorderWidth(sp->Form->Handle(), bf, true) - SysBorderWidth(sp->Form->Handle(), bf, false);
}

bool IsSizeable(HWND Handle) { return GetWindowLongPtrW(Handle, GWL_STYLE) & WS_THICKFRAME; }

bool HaveBorder(TsSkinProvider* sp) {
  return sp->Form->BorderStyle() != bsNone ||
         (sp->Form->HandleAllocated() && (GetWindowLongPtrW(sp->Form->Handle(), GWL_STYLE) & WS_CHILD));
}

bool FormHasMenuLine(TsSkinProvider* sp) {
  TMainMenu* m = sp->Form->Menu();
  return m && m->Items()->Count() > 0 && sp->Form->FormStyle() != fsMDIChild && sp->Form->BorderStyle() != bsDialog;
}

bool MDIChildMaximizedWithMenu(TsSkinProvider*) {
  return false;  // MDI: no MDI client window in the platform yet
}

int WndWidth(HWND Handle) {
  RECT r{};
  GetWindowRect(Handle, &r);
  return r.right - r.left;
}
int WndHeight(HWND Handle) {
  RECT r{};
  GetWindowRect(Handle, &r);
  return r.bottom - r.top;
}
int WndClientWidth(HWND Handle) {
  RECT r{};
  GetClientRect(Handle, &r);
  return r.right - r.left;
}
int WndClientHeight(HWND Handle) {
  RECT r{};
  GetClientRect(Handle, &r);
  return r.bottom - r.top;
}

int IconSizeFor(int Height) {
  if (Height >= -100 && Height <= 47) return 16;
  if (Height >= 48 && Height <= 64) return 24;
  return 32;
}

bool IsSingleImageMask(int MaskIndex, const TacSkinRecords* Skin) {
  return MaskIndex < 0 || (Skin && Skin->IsValidImgIndex(MaskIndex) && Skin->ma[size_t(MaskIndex)].ImageCount == 1);
}

// ---- Provider measures ----

int TsSkinProvider::BorderWidth(bool CheckSkin) {
  return SysBorderWidth(Form->Handle(), BorderForm, CheckSkin) + FormBorderWidth(Form);
}

int TsSkinProvider::BorderHeight(bool CheckSkin) {
  return SysBorderWidthNoEx(Form->Handle(), BorderForm, CheckSkin) + FormBorderWidth(Form);
}

int TsSkinProvider::CaptionHeight(bool CheckSkin) {
  const bool iconic = Iconic(Form);
  if (!iconic && (!HaveBorder(this) || !(GetWindowLongPtrW(Form->Handle(), GWL_STYLE) & (WS_BORDER | WS_DLGFRAME))))
    return 0;
  const int r = CheckSkin ? SkinExTitleHeight(BorderForm) : 0;
  const int sys = GetSystemMetrics(IsToolStyle(Form) && !iconic ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (FSysExHeight) return std::max(r, sys + 4);
  return r == 0 ? sys : r;
}

int TsSkinProvider::ExTitleHeight(bool Max) {
  const TacSkinRecords* s = Skin();
  if (!s) return 0;
  const TsSkinData& c = s->CommonSkinData;
  return Max || (c.ExMaxHeight != 0 && Zoomed(Form)) ? c.ExMaxHeight : c.ExTitleHeight;
}

int TsSkinProvider::ExtraTitleHeight(bool Max) {
  const int t = ExTitleHeight(Max), s = SysCaptionHeight(Form);
  return s + 4 < t ? t - s - 4 : 0;
}

TRect TsSkinProvider::ShadowSize() {
  const TacSkinRecords* s = Skin();
  return BorderForm && s ? s->FormShadowSize : TRect();
}

int TsSkinProvider::MenuHeight() { return FormHasMenuLine(this) ? GetSystemMetrics(SM_CYMENU) - 1 : 0; }

int TsSkinProvider::OffsetX() {
  if (BorderForm) return BorderWidth(true) + ShadowSize().Left;
  const int v = 0;  // the skinned vertical scroll bar while it shows (no handler yet)
  return (WndWidth(Form->Handle()) - (WndClientWidth(Form->Handle()) + v)) / 2;
}

int TsSkinProvider::OffsetY() {
  if (BorderForm) {
    const int mh = MenuHeight();
    return CaptionHeight(true) + LinesCount() * mh + FormBorderWidth(Form) + ShadowSize().Top + (mh != 0 ? 1 : 0);
  }
  HWND h = Form->Handle();
  const int b = (GetWindowLongPtrW(h, GWL_STYLE) & WS_BORDER) ? BorderWidth(true) : 0;
  const int sb = 0;  // the skinned horizontal scroll bar while it shows
  return WndHeight(h) - WndClientHeight(h) - b - sb;
}

int TsSkinProvider::HeaderHeight() {
  HWND h = Form->Handle();
  if (BorderForm) return SysBorderWidthNoEx(h, BorderForm, true) + CaptionHeight(true);
  int r;
  if (CaptionHeight(true) != 0)
    r = WndHeight(h) - WndClientHeight(h) - BorderHeight(true);
  else
    r = WndHeight(h) - WndClientHeight(h) - ((GetWindowLongPtrW(h, GWL_STYLE) & WS_BORDER) ? BorderHeight(true) : 0);
  r = std::max(0, r);
  if (IsIconic(h)) r += SysBorderWidthNoEx(h, BorderForm, true);
  return r;
}

int TsSkinProvider::CaptionWidth() {
  const TRect sh = ShadowSize();
  if (Iconic(Form) && Form != Application->MainForm()) return 160 + sh.Left + sh.Right;
  return WndWidth(Form->Handle()) + (BorderForm ? 2 * DiffBorder(BorderForm) : 0) + sh.Left + sh.Right;
}

int TsSkinProvider::ImageHeight() {
  const TRect sh = ShadowSize();
  int h = Iconic(Form) && Form != Application->MainForm()
              ? SysBorderWidthNoEx(Form->Handle(), BorderForm, true) + CaptionHeight(true) + 2
              : WndHeight(Form->Handle());
  if (BorderForm) h += DiffTitle(BorderForm) + DiffBorder(BorderForm) + sh.Top + sh.Bottom;
  return h;
}

int TsSkinProvider::TitleButtonsTop() {
  const bool zoomed = Zoomed(Form);
  if (!BorderForm) return zoomed ? 6 : 0;
  const TacSkinRecords* s = Skin();
  return ShadowSize().Top + (zoomed ? 4 : (s ? s->CommonSkinData.BITopMargin : 0));
}

// ---- Title icon ----

bool TsSkinProvider::IconVisible() {
  const TFormBorderStyle b = Form->BorderStyle();
  return FTitleIcon->Visible() && (b == bsSingle || b == bsSizeable) && FShowAppIcon &&
         Form->BorderIcons().Contains(biSystemMenu) && Form->HandleAllocated() && GetSystemMenu(Form->Handle(), FALSE);
}

int TsSkinProvider::TitleIconWidth() {
  if (!IconVisible()) return 0;
  int w = FTitleIcon->Width();
  if (w == 0) w = FTitleIcon->Glyph()->Width();
  const TacSkinRecords* s = Skin();
  if (w == 0) w = IconSizeFor(CaptionHeight(true) - (s ? s->CommonSkinData.BITopMargin : 0));
  return s ? s->ScaleInt(w) : w;
}

int TsSkinProvider::TitleIconHeight() {
  if (!IconVisible()) return 0;
  int h = FTitleIcon->Height();
  if (h == 0) h = FTitleIcon->Glyph()->Height();
  const TacSkinRecords* s = Skin();
  if (h == 0) h = IconSizeFor(CaptionHeight(true) - (s ? s->CommonSkinData.BITopMargin : 0));
  return s ? s->ScaleInt(h) : h;
}

// ---- Title buttons ----

namespace {

constexpr int kDefaultTitleButton = 21;

// Width and height of one frame of a title glyph mask; 0 x 0 when the skin has none.
TSize GlyphSize(const TacSkinRecords* s, int Glyph) {
  if (!s || Glyph < 0 || Glyph >= int(s->ConstData.TitleGlyphs.size())) return TSize{0, 0};
  const int m = s->ConstData.TitleGlyphs[size_t(Glyph)];
  if (!s->IsValidImgIndex(m)) return TSize{0, 0};
  const TPoint p = MaskSize(s->ma[size_t(m)]);
  return TSize{p.X, p.Y};
}

}  // namespace

int TsSkinProvider::TitleBtnHeight() {
  const int h = GlyphSize(Skin(), tgClose).cy;
  return h > 0 ? h : kDefaultTitleButton;
}

int TsSkinProvider::TitleBtnWidth(const TsCaptionButton& Button) {
  const int w = GlyphSize(Skin(), Button.cpGlyphType).cx;
  return w > 0 ? w : kDefaultTitleButton;
}

int TsSkinProvider::UserButtonWidth(TsTitleButton* Btn) {
  const int glyph = Btn->Glyph() && Btn->Glyph()->Width() > 0 ? Btn->Glyph()->Width() + 2 : 0;
  int image = kDefaultTitleButton;
  const TacSkinRecords* s = Skin();
  if (s && s->IsValidImgIndex(UserBtnIndex)) {
    const TsMaskData& m = s->ma[size_t(UserBtnIndex)];
    image = m.R.Width() / std::max<int>(1, m.ImageCount);
  }
  return std::max(glyph, image);
}

int TsSkinProvider::SysButtonsCount() {
  if (!SystemMenu || !Form->BorderIcons().Contains(biSystemMenu)) return 0;
  return 3 + (Form->BorderIcons().Contains(biHelp) ? 1 : 0) - (SystemMenu->VisibleMin() ? 0 : 1) -
         (SystemMenu->VisibleMax() ? 0 : 1);
}

int TsSkinProvider::ButtonsWidth() {
  const TacSkinRecords* s = Skin();
  const int spacing = BigButtons && s ? s->CommonSkinData.BISpacing : 0;
  int r = s ? s->CommonSkinData.BIRightMargin : 0;
  if (SystemMenu && Form->BorderIcons().Contains(biSystemMenu)) {
    r += TitleBtnWidth(ButtonClose);
    if (SystemMenu->VisibleMax()) r += spacing + TitleBtnWidth(ButtonMax);
    if (SystemMenu->VisibleMin()) r += spacing + TitleBtnWidth(ButtonMin);
    if (Form->BorderIcons().Contains(biHelp)) r += spacing + TitleBtnWidth(ButtonHelp);
  }
  if (FTitleButtons->Count() > 0) r += 6;
  for (int i = 0; i < FTitleButtons->Count(); ++i) r += spacing + UserButtonWidth(FTitleButtons->Items(i));
  return r;
}

void TsSkinProvider::InitButtons() {
  if (!Form) return;
  const TFormBorderStyle b = Form->BorderStyle();
  BigButtons = b == bsSingle || b == bsSizeable || b == bsDialog;
  const TacSkinRecords* s = Skin();
  if (s && s->ConstData.IndexGLobalInfo >= 0) {
    ButtonMin.cpHitCode = HTMINBUTTON;
    ButtonMax.cpHitCode = HTMAXBUTTON;
    ButtonClose.cpHitCode = HTCLOSE;
    ButtonHelp.cpHitCode = HTHELP;
    if (BigButtons) {
      const bool alone = SystemMenu && !SystemMenu->VisibleMax() && !SystemMenu->VisibleMin();
      ButtonClose.cpGlyphType = alone ? tgCloseAlone : tgClose;
      ButtonMax.cpGlyphType = tgMax;
      ButtonMin.cpGlyphType = tgMin;
      ButtonHelp.cpGlyphType = tgHelp;
    } else {
      ButtonClose.cpGlyphType = tgSmallClose;
      ButtonMax.cpGlyphType = tgSmallMax;
      ButtonMin.cpGlyphType = tgSmallMin;
      ButtonHelp.cpGlyphType = tgSmallHelp;
    }
    for (TsCaptionButton* c : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) c->cpHaveAlignment = BigButtons;
    if (Form->FormStyle() == fsMDIForm && !(ComponentState() & csDesigning)) {
      MDIMin.cpGlyphType = tgSmallMin;
      MDIMax.cpGlyphType = tgSmallMax;
      MDIClose.cpGlyphType = tgSmallClose;
      for (TsCaptionButton* c : {&MDIMin, &MDIMax, &MDIClose}) c->cpHaveAlignment = false;
    }
    UserBtnIndex = s->ConstData.TitleGlyphs[tgUser];
  }
}

void TsSkinProvider::CalcItems() {
  const TacSkinRecords* s = Skin();
  if (!s) return;
  const TsSkinData& c = s->CommonSkinData;
  HWND h = Form->Handle();
  const TRect sh = ShadowSize();
  const bool zoomed = Zoomed(Form);
  int top0;
  if (BorderForm) {
    top0 = TitleButtonsTop();
    FHeaderHeight = CaptionHeight(true) + sh.Top;
    VCenter = FHeaderHeight - ExTitleHeight(false) / 2;
    if (!(zoomed && c.ExTitleHeight != c.ExMaxHeight)) VCenter += c.ExCenterOffs;
  } else {
    VCenter = CaptionHeight(true) / 2;
    top0 = zoomed ? GetSystemMetrics(SM_CXFRAME) - 1 : 0;
    FHeaderHeight = SysBorderWidthNoEx(h, BorderForm, true) + CaptionHeight(true) + sh.Top;
    VCenter += SysBorderWidth(h, nullptr, true) / 2;
  }
  if (zoomed) VCenter += 2;

  const int sysBW = SysBorderWidth(h, BorderForm, true);
  FIconRect.Left = sysBW + c.BILeftMargin + sh.Left;
  if (IconVisible()) {
    FIconRect.Right = FIconRect.Left + TitleIconWidth();
    FIconRect.Top = VCenter - TitleIconHeight() / 2;
    FIconRect.Bottom = FIconRect.Top + TitleIconHeight();
  } else {
    FIconRect.Right = FIconRect.Left;
  }

  const int R = CaptionWidth() - c.BIRightMargin - sh.Right - std::max(4, sysBW) +
                (BigButtons ? 0 : std::min(0, DiffBorder(BorderForm) - 2));
  int x = R;
  const int bh = TitleBtnHeight();
  auto place = [&](TsCaptionButton& b, int w) {
    const int y = b.cpHaveAlignment && c.BIVAlign == 1 ? top0 : VCenter - bh / 2;
    b.cpRect = TRect(x - w, y, x, y + bh);
    x = BigButtons ? b.cpRect.Left - c.BISpacing : b.cpRect.Left;
  };
  auto hide = [&](TsCaptionButton& b) { b.cpRect = TRect(x, 0, x, 0); };
  if (SystemMenu && Form->BorderIcons().Contains(biSystemMenu)) {
    place(ButtonClose, TitleBtnWidth(ButtonClose));
    if (SystemMenu->VisibleMax()) {
      ButtonMax.cpGlyphType = BigButtons ? (zoomed ? tgNormal : tgMax) : (zoomed ? tgSmallNormal : tgSmallMax);
      place(ButtonMax, TitleBtnWidth(ButtonMax));
    } else {
      hide(ButtonMax);
    }
    if (SystemMenu->VisibleMin()) {
      const bool restore = Iconic(Form) && Form != Application->MainForm();
      ButtonMin.cpGlyphType = BigButtons ? (restore ? tgNormal : tgMin) : (restore ? tgSmallNormal : tgSmallMin);
      place(ButtonMin, TitleBtnWidth(ButtonMin));
    } else {
      hide(ButtonMin);
    }
    if (Form->BorderIcons().Contains(biHelp)) {
      x -= 6;
      place(ButtonHelp, TitleBtnWidth(ButtonHelp));
    } else {
      hide(ButtonHelp);
    }
  } else {
    for (TsCaptionButton* b : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) hide(*b);
  }
  if (FTitleButtons->Count() > 0) {
    x -= 6;
    for (int i = 0; i < FTitleButtons->Count(); ++i) {
      TsTitleButton* b = FTitleButtons->Items(i);
      if (!b->Visible()) continue;
      b->Data.cpGlyphType = b->UseSkinData() ? tgUser : tgNone;
      b->Data.cpHitCode = unsigned(HTUDBTN + i);
      place(b->Data, UserButtonWidth(b));
    }
  }
  LayoutTitleBar(this, R, x);
}

// ---- Size grip ----

bool TsSkinProvider::GripVisible() {
  return GripMode == gmRightBottom && !Zoomed(Form) && IsSizeable(Form->Handle());
}

TPoint TsSkinProvider::GripPos(int MaskIndex) {
  TBitmap* img = FCommonData->FCacheBmp.get();
  const TacSkinRecords* s = Skin();
  if (!img || !s || !s->IsValidImgIndex(MaskIndex)) return TPoint(0, 0);
  const TPoint size = MaskSize(s->ma[size_t(MaskIndex)]);
  const int b = SysBorderWidth(Form->Handle(), BorderForm, true);
  const TRect sh = ShadowSize();
  return TPoint(img->Width() - size.X - b - sh.Right - 1, img->Height() - size.Y - b - sh.Bottom - 1);
}

// ---- Extended borders and the maximized place ----

bool TsSkinProvider::UseExtBorders() {
  TsSkinManager* m = Manager();
  return m && m->ExtendedBorders() && FAllowExtBorders &&
         !(m->Options.GetOption(TacOptions::NativeBordersMaximized) && Form->WindowState() == wsMaximized);
}

void TsSkinProvider::WMGetMinMaxInfo(TMessage& Message) {
  auto* mmi = reinterpret_cast<MINMAXINFO*>(Message.LParam);
  if (!mmi || !FDrawNonClientArea || Form->BorderStyle() == bsNone || Form->FormStyle() == fsMDIChild || Form->Parent())
    return;
  TRect work;
  GetFormWorkArea(Form, work);
  const int a = SysBorderWidth(Form->Handle(), nullptr, false);
  int b = 0;
  TsSkinManager* m = Manager();
  const bool maximizing = FFormState & FS_MAXIMIZING;
  const bool nativeMax = m && m->Options.GetOption(TacOptions::NativeBordersMaximized);
  const bool framed = GetWindowLongPtrW(Form->Handle(), GWL_STYLE) & (WS_BORDER | WS_DLGFRAME);
  if (BorderForm && !(Zoomed(Form) && !UseExtBorders()) && !(maximizing && nativeMax) && framed) {
    FSysExHeight = maximizing && ExTitleHeight(true) > SysCaptionHeight(Form) + 4;
    b = ExtraTitleHeight(true);
  }
  mmi->ptMaxPosition = POINT{-a, b - a};
  mmi->ptMaxSize = POINT{work.Width() + 2 * a, work.Height() + 2 * a - b};
  Message.Result = 0;
}
