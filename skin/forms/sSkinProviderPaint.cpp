// The painted image: the whole frame of a skinned form drawn from the skin
// into the provider's cached 32-bit bitmap (section background and border,
// title, title icon, caption, size grip, title buttons), then the form's own
// OnPaint over its client part. Everything that reaches the screen is copied
// out of this image.

#include <algorithm>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acStartup.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "platform/win/Controls.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {

bool Iconic(TCustomForm* Form) { return Form->HandleAllocated() && IsIconic(Form->Handle()); }
bool Zoomed(TCustomForm* Form) { return Form->HandleAllocated() && IsZoomed(Form->Handle()); }

// The state of a section for the form's activation, within the section's states.
int SectionState(const TacSkinRecords* s, int SkinIndex, bool Active) {
  if (!s->IsValidSkinIndex(SkinIndex)) return 0;
  return std::max(0, std::min<int>(Active ? 1 : 0, s->gd[size_t(SkinIndex)].States - 1));
}

// The image itself as the parent background of what is painted over it.
TCacheInfo ImageCI(TBitmap* Img) {
  TCacheInfo ci;
  MakeCacheInfo(Img, 0, 0, ci);
  return ci;
}

// The system's caption font into a canvas, its height scaled like the skin.
void SelectCaptionFont(TCanvas* C, const TacSkinRecords* s) {
  NONCLIENTMETRICSW m;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) return;
  C->Font()->SetName(m.lfCaptionFont.lfFaceName);
  C->Font()->SetHeight(s ? s->ScaleInt(m.lfCaptionFont.lfHeight) : m.lfCaptionFont.lfHeight);
  C->Font()->SetStyle(m.lfCaptionFont.lfWeight >= FW_BOLD ? TFontStyles{fsBold} : TFontStyles{});
}

}  // namespace

TColor TsSkinProvider::FormColor() {
  const TacSkinRecords* s = Skin();
  if (!FCommonData->Skinned() || FCommonData->CustomColor()) return ColorToRGB(Form->Color());
  return s->gd[size_t(FCommonData->SkinIndex)].Props[size_t(SectionState(s, FCommonData->SkinIndex, FormActive))].Color;
}

bool TsSkinProvider::PaintAll() {
  const TacSkinRecords* s = Skin();
  if (!Form || !s || !Form->HandleAllocated() || Form->ControlState.Contains(csCreating) ||
      (FFormState & (FS_BLENDMOVING | FS_ANIMCLOSING)) || FCommonData->SkinIndex < 0)
    return true;
  if (DoReinit) {
    DoReinit = false;
    FLinesCount = -1;
    MenuChanged = true;
    ResetCaptionHeights();
    SetBGChanged(true);
    SetWindowPos(Form->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                     SWP_NOSENDCHANGING);
  }
  const int ch = CaptionHeight(true);
  const TRect shadow = ShadowSize();
  const int W = CaptionWidth(), H = ImageHeight();
  FCommonData->PrepareCacheBmp();
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (img->Width() != W || img->Height() != H) img->SetSize(W, H);
  // MDI: a maximized child being shown repaints its MDI form later.

  if (BGChanged()) {
    CalcItems();
    const int state = SectionState(s, FCommonData->SkinIndex, FormActive);
    const TRect formRect(shadow.Left, shadow.Top, W - shadow.Right, H - shadow.Bottom);
    const bool exDraw1 = BorderForm && s->CommonSkinData.ExDrawMode == 1;
    TCacheInfo parentCI = EmptyCI;
    if (TWinControl* parent = Form->Parent()) {
      TacBackgroundInfo info;
      info.PleaseDraw = false;
      info.R = Form->BoundsRect();
      QueryParentBgInfo(info, parent, false);
      if (info.BgType == 3) {
        FCommonData->FUpdating = true;
        return false;
      }
      parentCI = CacheInfoFromBgInfo(info);
    }
    if (HaveBorder(this) || (Form->Parent() && !exDraw1)) {
      PaintControlItem(*FCommonData, parentCI, img, TPoint(Form->Left(), Form->Top()), formRect, state, true);
    } else {
      PaintSectionBg(FCommonData->SkinIndex, parentCI, state, formRect, TPoint(Form->Left(), Form->Top()), img, s, -1,
                     -1, clFuchsia);
      PaintCornerImages(*s, s->gd[size_t(FCommonData->SkinIndex)], img, formRect, state);
    }
    if (!exDraw1) PaintTitleBackground(W);
    // The menu line (its own unit) paints here when the form shows one.
    if (BorderForm && !exDraw1) PaintCaptionText(W);
    if (BorderForm) {
      PaintExBorderShadow(W, H);
      if (exDraw1) {
        PaintTitleBackground(W);
        PaintCaptionText(W);
      }
    }
    // MDI: the MDI form's client area ("MDIAREA") paints here.
    if (!BorderForm) PaintCaptionText(W);
    if (GripVisible()) {
      SetBGChanged(false);
      const int g = s->ConstData.GripRightBottom;
      if (s->IsValidImgIndex(g)) PaintMaskFrame(img, GripPos(g), 0, SelfCacheInfo(img), s->ma[size_t(g)], 1);
    }
    if (ch != 0 && FDrawNonClientArea) {
      SaveButtonsBackground(W, true);
      PaintTitleButtons(W);
    }
    MenuChanged = false;
    SetBGChanged(false);
    if (Form->OnPaint) {
      if (Iconic(Form)) {
        FirstInitialized = true;
        SetBGChanged(true);
        FCommonData->FUpdating = false;
        return true;
      }
      TCanvas* c = Form->Canvas();
      HDC own = c->HandleAllocated() ? c->Handle() : nullptr;
      HDC dc = img->Canvas()->Handle();
      const int saved = SaveDC(dc);
      POINT old;
      OffsetViewportOrgEx(dc, OffsetX(), OffsetY(), &old);
      c->SetHandle(dc);
      c->Lock();
      Form->OnPaint(Form);
      c->Unlock();
      RestoreDC(dc, saved);
      c->SetHandle(own);
    }
    FirstInitialized = true;
    SetBGChanged(false);
  }
  if (!Form->Parent()) FCommonData->FUpdating = false;
  return true;
}

void TsSkinProvider::PaintTitleBackground(int W) {
  const TacSkinRecords* s = Skin();
  const int ch = CaptionHeight(true);
  if (ch == 0 || !FDrawNonClientArea) return;
  TBitmap* img = FCommonData->FCacheBmp.get();
  const TRect shadow = ShadowSize();
  HWND h = Form->Handle();
  const int bw = SysBorderWidthNoEx(h, BorderForm, false);
  const int titleBottom = bw + ch + shadow.Top;
  const bool exDraw1 = BorderForm && s->CommonSkinData.ExDrawMode == 1;
  const bool iconicSecondary = Iconic(Form) && Form != Application->MainForm();
  const TRect formRect(shadow.Left, shadow.Top, W - shadow.Right, img->Height() - shadow.Bottom);
  const TCacheInfo ci = ImageCI(img);
  if (s->IsValidSkinIndex(FTitleSkinIndex) && !exDraw1) {
    const TRect r(formRect.Left, formRect.Top, formRect.Right, iconicSecondary ? formRect.Bottom : titleBottom);
    PaintSkinItem(FTitleSkinIndex, ci, -1, -1, s, img, r.TopLeft(), r, SectionState(s, FTitleSkinIndex, FormActive));
  }
  if (FFormHeader->AdditionalHeight() > 0 && FHeaderIndex >= 0) {
    const TRect r(formRect.Left, formRect.Top, formRect.Right, titleBottom + FFormHeader->AdditionalHeight());
    PaintSkinItem(FHeaderIndex, ci, -1, -1, s, img, r.TopLeft(), r, FormActive ? 1 : 0);
  }
  PaintTitleIcon();
  if (SysButtonsCount() > 0) {
    const int m = s->GetMaskIndex(FCommonData->SkinIndex, "TITLEBAR");
    if (s->IsValidImgIndex(m)) {
      const int mw = MaskSize(s->ma[size_t(m)]).X;
      PaintMask(img, TRect(W - (ButtonsWidth() + mw), 0, W, bw + ch), ci, s->ma[size_t(m)],
                SectionState(s, FCommonData->SkinIndex, FormActive), true);
    }
  }
}

void TsSkinProvider::PaintTitleIcon() {
  if (!IconVisible()) return;
  const TRect R = FIconRect;
  if (R.Width() <= 0 || R.Height() <= 0) return;
  TBitmap* img = FCommonData->FCacheBmp.get();
  TBitmap* glyph = FTitleIcon->Glyph();
  if (glyph && glyph->Width() > 0) {
    auto g = NewBitmap32(glyph->Width(), glyph->Height());
    BitBlt(g->Canvas()->Handle(), 0, 0, glyph->Width(), glyph->Height(), glyph->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (glyph->PixelFormat() != pf32bit)
      for (int y = 0; y < g->Height(); ++y)
        for (int x = 0; x < g->Width(); ++x) {
          const uint32_t p = GetPixel32(g.get(), x, y) & 0xFFFFFF;
          SetPixel32(g.get(), x, y, p == 0xFF00FF ? 0 : (p | 0xFF000000u));  // key colour pixels: transparent
        }
    BlendBitmapOver(TRect(R.Left, R.Top, R.Left + g->Width(), R.Top + g->Height()), TRect(0, 0, g->Width(), g->Height()),
                    img, false, EmptyCI, g.get());
    return;
  }
  // Without a glyph the program's icon is drawn; this program has none, so the
  // title keeps its background there (the icon's room stays reserved).
  HICON icon = ProgramIconSmall;
  if (!icon) return;
  auto saved = NewBitmap32(R.Width(), R.Height());
  BitBlt(saved->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), img->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
  DrawIconEx(img->Canvas()->Handle(), R.Left, R.Top, icon, R.Width(), R.Height(), 0, nullptr, DI_NORMAL);
  for (int y = 0; y < R.Height(); ++y)
    for (int x = 0; x < R.Width(); ++x)
      if (GetPixel32(img, R.Left + x, R.Top + y) != GetPixel32(saved.get(), x, y))
        SetPixel32(img, R.Left + x, R.Top + y, GetPixel32(img, R.Left + x, R.Top + y) | 0xFF000000u);
}

void TsSkinProvider::PaintCaptionText(int W) {
  const TacSkinRecords* s = Skin();
  const int ch = CaptionHeight(true);
  if (ch == 0 || !FDrawNonClientArea) return;
  TBitmap* img = FCommonData->FCacheBmp.get();
  TCanvas* canvas = img->Canvas();
  HWND h = Form->Handle();
  const TRect shadow = ShadowSize();
  const int sysBW = SysBorderWidth(h, BorderForm, true);
  const int titleBottom = SysBorderWidthNoEx(h, BorderForm, false) + ch + shadow.Top;
  const TsSkinData& c = s->CommonSkinData;

  TRect T;
  if (FTitleBar) {
    T.Left = FTitleBar->BarRect().Left + FTitleBar->LeftWidth() + 8;
    T.Right = FTitleBar->BarRect().Right - FTitleBar->RightWidth() - 8;
  } else if (FCaptionAlignment == taCenter) {
    T.Left = sysBW + shadow.Left;
    T.Right = W - shadow.Right;
  } else {
    T.Left = sysBW + (IconVisible() ? FIconRect.Width() : 0) + c.BILeftMargin + shadow.Left +
             (FCaptionSkinIndex >= 0 ? 2 : 0) + 4;
    T.Right = W - ButtonsWidth() - shadow.Right - 12;
  }
  T.Bottom = titleBottom;
  T.Top = Zoomed(Form) ? (BorderForm ? shadow.Top + 1 : 3) : shadow.Top + 2;
  const bool showCaption = FTitleBar ? FTitleBar->ShowCaption() : FAddedTitle->ShowMainCaption();
  if (T.Right <= T.Left || T.Bottom <= T.Top) return;

  const String added = FAddedTitle->Text();
  TSize a{0, 0};
  if (!added.empty()) {
    canvas->Font()->Assign(FAddedTitle->Font());
    a = canvas->TextExtent(added);
  }
  const String caption = Form->Caption();
  TSize cd{0, 0};
  if (showCaption) {
    SelectCaptionFont(canvas, s);
    cd = canvas->TextExtent(caption);
  } else {
    cd = a;
    a = TSize{0, 0};
  }
  const int th = std::max(cd.cy, a.cy) + (s->CommonSkinData.Active && Manager() && Manager()->SysFontScale == 0 &&
                                                  s->ScaleStep > 0
                                              ? 1
                                              : 0);
  T.Top = (FTitleBar ? FTitleBar->FBarVCenter : VCenter) - th / 2;
  T.Bottom = T.Top + th;
  const TAlignment align = FCaptionAlignment;
  if (align == taRightJustify) {
    if (cd.cx + a.cx + 4 < T.Width()) T.Left = T.Right - cd.cx - a.cx - 4;
  } else if (align == taCenter) {
    T.Left = std::max(T.Left, T.Left + (T.Width() - (cd.cx + a.cx + 4)) / 2);
    T.Right = std::min(T.Left + cd.cx, T.Right);
  }
  const UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (showCaption && !caption.empty()) {
    RECT calc{T.Left, T.Top, T.Right, T.Bottom};
    DrawText(canvas->Handle(), caption.c_str(), int(caption.size()), &calc, flags | DT_CALCRECT);
    TRect t2(calc);
    t2.Right = std::min(t2.Right, T.Right);
    if (FCaptionSkinIndex >= 0) {
      const TRect bg(t2.Left - 4, t2.Top - 2, t2.Right + 4, t2.Bottom + 2);
      PaintSkinItem(FCaptionSkinIndex, ImageCI(img), -1, -1, s, img, bg.TopLeft(), bg,
                    SectionState(s, FCaptionSkinIndex, FormActive));
    }
    const int textIndex = FCaptionSkinIndex >= 0 ? FCaptionSkinIndex : FTitleSkinIndex;
    if (s->IsValidSkinIndex(textIndex)) {
      const int st = SectionState(s, textIndex, FormActive);
      const TsGenState& g = s->gd[size_t(textIndex)].Props[size_t(st)];
      if (g.GlowSize != 0) {
        std::unique_ptr<TBitmap>& cache = FormActive ? FGlow1 : FGlow2;
        DrawTextWithGlow(img, caption, T, cache, s->gd[size_t(textIndex)].Props[size_t(FormActive ? 1 : 0)].GlowColor,
                         g.GlowSize, 15, flags);
      }
      canvas->Brush()->SetStyle(bsClear);
      if (BorderForm)
        DrawSkinTextToBitmap(img, caption, true, s, st, textIndex, flags, T);
      else
        DrawSkinText(canvas, caption, true, s, st, textIndex, flags, T);
    }
    T.Left = t2.Right;
  }
  if (!added.empty() && showCaption) {
    T.Left += 4;
    T.Right = T.Left + a.cx + 4;
    if (T.Left + 8 < T.Right && s->IsValidSkinIndex(FTitleSkinIndex)) {
      canvas->Font()->Assign(FAddedTitle->Font());
      TColor col = FAddedTitle->Font()->Color();
      const TsProps& p = s->gd[size_t(FTitleSkinIndex)].Props;
      if (col == clWindowText || col == kNoColorTone)
        col = p[size_t(SectionState(s, FTitleSkinIndex, FormActive))].FontColor.Color;
      else if (!FormActive)
        col = MixColors(col, p[0].FontColor.Color, 127);
      canvas->Font()->SetColor(col);
      canvas->Brush()->SetStyle(bsClear);
      RECT t3{T.Left, T.Top, T.Right, T.Bottom};
      DrawText(canvas->Handle(), added.c_str(), int(added.size()), &t3, flags);
    }
  }
}
