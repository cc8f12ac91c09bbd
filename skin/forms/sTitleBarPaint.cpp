// Title-bar items as the form's provider draws them: the skin section of each
// item, its background by state, picture, caption with glow and drop-down
// arrow, into the provider's painted image or into an item's own picture; and
// the provider's side of the bar: its rectangle, hit codes and paint order.

#include <algorithm>
#include <utility>

#include "skin/controls/acSBUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {

constexpr int kArrowSize = 5;   // drop-down arrow at 100 %
constexpr TColor kNoColor = TColor(0x1FFFFFFF);

int Scaled(TsSkinProvider* sp, int Value) {
  const int pct = sp->SkinData() ? sp->SkinData()->ScalePercent : 100;
  return MulDivRound(Value, pct > 0 ? pct : 100, 100);
}

// The section's state k of an item's state: within the section's states and 2.
int ItemSectionState(const TacSkinRecords* s, int Section, int State) {
  return std::max(0, std::min({State, s->gd[size_t(Section)].States - 1, 2}));
}

// Section Section behind an item at R of T; P is R's place in the parent background Parent.
void PaintItemBg(const TacSkinRecords* s, int Section, TBitmap* T, TBitmap* Parent, const TPoint& P, const TRect& R,
                 int State) {
  if (!s || !s->IsValidSkinIndex(Section) || R.Width() <= 0 || R.Height() <= 0) return;
  const TsGeneralData& g = s->gd[size_t(Section)];
  const int k = std::max(0, std::min({State, g.States, 2}));
  const bool mask = s->IsValidImgIndex(g.BorderIndex);
  const bool throughDC =
      g.Props[size_t(k)].Transparency == 100 &&
      (!mask || (State == 0 && (s->ma[size_t(g.BorderIndex)].DrawMode & 2) != 0));
  if (throughDC) {
    TCacheInfo ci;
    MakeCacheInfo(Parent, 0, 0, ci);
    PaintSectionToDC(Section, ci, s, T->Canvas()->Handle(), P, R, k);
  } else {
    PaintSectionToBitmap32(Section, k, s, T, P, R);
  }
}

// What one item is drawn with: its section, state, colours and glow.
struct ItemPaint {
  TsSkinProvider* sp;
  const TacSkinRecords* s;
  TacTitleBarItem* item;
  TBitmap* T;
  int section;
  int state;
  TColor color;
  int glowSize;
  TColor glowColor;
  bool enabled;
};

void PaintItemContent(ItemPaint& p, TRect R) {
  TacTitleBarItem* it = p.item;
  TsTitleBar* bar = it->Bar();
  TBitmap* T = p.T;
  const int spacing = it->Spacing();
  TSize c{0, 0};
  if (!it->Caption().empty()) MeasureTextWithFont(T->Canvas()->Font()->Handle(), it->Caption(), DT_SINGLELINE, c, 0, false);
  const int a = (it->Style() == bsButton || it->Style() == bsMenu) && it->DropdownMenu() ? 2 * Scaled(p.sp, kArrowSize) : 0;

  // The picture of the state.
  int index = it->ImageIndex();
  if (p.enabled) {
    if (p.state == 1) index = it->HotImageIndex();
    else if (p.state == 2) index = it->PressedImageIndex();
  } else {
    index = it->DisabledImageIndex();
  }
  if (index < 0) index = it->ImageIndex();
  TColor tint = clNone;
  TsSkinManager* sm = p.sp->Manager();
  if (p.state == 0 && sm && sm->Effects.DiscoloredGlyphs()) {
    const int ts = p.s->IsValidSkinIndex(p.section) ? p.section : p.sp->FTitleSkinIndex;
    tint = p.s->IsValidSkinIndex(ts) ? p.s->gd[size_t(ts)].Props[0].Color : TColor(0xFFFFFF);
  }
  TCustomImageList* images = bar ? bar->Images() : nullptr;
  const bool listImage = images && index >= 0 && index < images->Count();
  const bool hasCaption = !it->Caption().empty();
  int g = 0;
  if (listImage)
    g = images->Width() + (hasCaption ? spacing : 0);
  else if (!it->Glyph()->Empty())
    g = it->Glyph()->Width() / std::max(1, it->NumGlyphs()) + (hasCaption ? spacing : 0);

  int x = R.Left;
  switch (it->Alignment()) {
    case taLeftJustify: x = R.Left + it->IntXMargin() + (bar ? bar->ItemsMargin : 3); break;
    case taRightJustify: x = R.Left + it->Width() - g - c.cx - a - 2 * spacing; break;
    case taCenter: x = R.Left + (it->Width() - (g + c.cx + a + spacing)) / 2; break;
  }
  if (listImage) {
    const int y = R.Top + (it->Height() - images->Height()) / 2;
    if (dynamic_cast<TsAlphaImageList*>(images)) {
      TSize cell{0, 0};
      DrawAlphaListImage(images, T, x, y, cell, false, 1, 0, tint == clNone ? kNoColor : tint, 0, index);
    } else {
      images->Draw(T->Canvas(), x, y, index, true);
    }
    x += (hasCaption ? spacing : 0) + images->Width();
  } else if (!it->Glyph()->Empty()) {
    TBitmap* gl = it->Glyph();
    const int gw = gl->Width() / std::max(1, it->NumGlyphs()), gh = gl->Height();
    const int y = R.Top + (it->Height() - gh) / 2;
    if (gl->PixelFormat() == pf32bit) {
      BlendBitmapRect(T, gl, 0, TPoint(x, y), TRect(0, 0, gw - 1, gh - 1));
    } else {
      // Keyed by its top-left pixel.
      gl->SetTransparent(true);
      gl->SetTransparentColor(gl->Canvas()->Pixels(0, 0));
      T->Canvas()->Draw(x, y, gl);
    }
    x += gw + (hasCaption ? spacing : 0);
  }

  TRect tr(x, R.Top + (it->Height() - c.cy) / 2, R.Right, R.Bottom + c.cy);
  constexpr UINT kFlags = DT_SINGLELINE | DT_END_ELLIPSIS;
  if (hasCaption) {
    if (p.glowSize != 0)
      DrawTextWithGlow(T, it->Caption(), tr, it->FontData()->GlowMask, p.glowColor, p.glowSize, 15, kFlags);
    if (it->FontData()->UseSysColor() && p.s->IsValidSkinIndex(p.section)) {
      DrawSkinTextToBitmap(T, it->Caption(), true, p.s, p.state, p.section, kFlags, tr);
    } else {
      DrawTextToBitmap32(T, it->Caption(), true, false, ColorToRGB(p.color), kFlags, tr);
    }
  }
  if (a != 0) {
    const TRect ar(tr.Left + c.cx + spacing, R.Top, tr.Left + c.cx + spacing + a, R.Bottom);
    const TColor col = it->FontData()->UseSysColor() && p.s->IsValidSkinIndex(p.section)
                           ? p.s->gd[size_t(p.section)].Props[size_t(ItemSectionState(p.s, p.section, p.state))].FontColor.Color
                           : T->Canvas()->Font()->Color();
    PaintArrow(T, TColor(0xFF000000u | uint32_t(ColorToRGB(col))), kNoColor, ar, 3, ArrowLineWidth, 0, 0,
               p.s->CommonSkinData.ArrowStyle);
  }
}

}  // namespace

// ---- The provider's side ----

void TsSkinProvider::UpdateTitleBar() {
  if (!FTitleBar && Form) FTitleBar = FindTitleBar(Form);
  if (!FTitleBar) return;
  const TacSkinRecords* s = Skin();
  TacTitleItems* items = FTitleBar->Items();
  for (int i = 0; i < items->Count(); ++i) {
    TacTitleBarItem* it = items->Items(i);
    if (!it->Data) it->Data = std::make_unique<TacItemData>();
    int index = s && !it->SkinSection().empty() ? s->GetSkinIndex(it->SkinSection()) : -1;
    if (s && !s->IsValidSkinIndex(index)) {
      switch (it->Style()) {
        case bsButton: index = s->ConstData.Sections[ssTBBtn]; break;
        case bsMenu: index = s->ConstData.Sections[ssTBMenuBtn]; break;
        case bsTab: index = s->ConstData.Sections[ssTBTab]; break;
        default: index = -1; break;
      }
    }
    it->Data->SkinIndex = index;
    it->OnInternalDraw = [this](TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp) { DrawTitleItem(Item, R, Bmp); };
  }
}

void TsSkinProvider::DrawTitleItem(TacTitleBarItem* Item, const TRect& RIn, TBitmap* Bmp) {
  const TacSkinRecords* s = Skin();
  if (!Item || !Item->Data || !s || !Bmp || Item->Data->SkinIndex >= int(s->gd.size())) return;
  int sec = Item->Data->SkinIndex;
  const bool enabled = Item->Enabled() && Form->Enabled();
  std::unique_ptr<TBitmap> copy;
  TBitmap* T = Bmp;
  if (!enabled) {
    copy = std::make_unique<TBitmap>();
    copy->Assign(Bmp);
    T = copy.get();
  }
  if (Item->ContentSize().cx == 0 && Item->ContentSize().cy == 0) Item->UpdateSize(!Item->AutoSize());
  TacFontData* fd = Item->FontData();
  if (fd->UsedFont->Height() == 0 || Item->Caption().empty()) Item->InitFont();
  T->Canvas()->Font()->Assign(fd->UsedFont.get());
  int state = s->IsValidSkinIndex(sec) ? std::min({Item->State(), s->gd[size_t(sec)].States - 1, 2}) : 0;
  state = std::max(0, state);
  auto sectionColor = [&](int Sec, int St) {
    return s->gd[size_t(Sec)].Props[size_t(ItemSectionState(s, Sec, St))].FontColor.Color;
  };
  TColor color = fd->Font()->Color();
  if (fd->UseSysColor() && s->IsValidSkinIndex(sec)) color = sectionColor(sec, state);
  int glowSize = 0;
  TColor glowColor = 0;
  if (!fd->UseSysGlowing()) {
    glowSize = fd->GlowSize();
    glowColor = fd->GlowColor();
  } else if (s->IsValidSkinIndex(sec)) {
    const TsGenState& g = s->gd[size_t(sec)].Props[size_t(ItemSectionState(s, sec, state))];
    glowSize = std::min(48, g.GlowSize);
    glowColor = g.GlowColor;
  }
  TBitmap* image = FCommonData->FCacheBmp.get();
  TRect R = RIn;
  if (Bmp != image) FillRect32(T, R, 0, 0);
  const int barH = FTitleBar ? FTitleBar->BarRect().Height() : R.Height();

  switch (Item->Style()) {
    case bsButton:
    case bsInfo:
      PaintItemBg(s, sec, T, Bmp, R.TopLeft(), R, Item->State());
      if (Item->SkinSection().empty() && Item->State() == 0) {
        // Without a section of its own the item takes the title's look.
        const int ts = FTitleSkinIndex;
        state = FormActive ? 1 : 0;
        const bool titleValid = s->IsValidSkinIndex(ts);
        color = fd->UseSysColor() && titleValid ? sectionColor(ts, state) : fd->Font()->Color();
        glowSize = 0;
        if (fd->UseSysGlowing() && titleValid) {
          const TsGenState& g = s->gd[size_t(ts)].Props[size_t(ItemSectionState(s, ts, state))];
          glowSize = g.GlowSize;
          glowColor = g.GlowColor;
        }
        sec = ts;
      }
      break;
    case bsMenu:
      if (!s->IsValidSkinIndex(sec)) {
        if (barH < Item->Height() + 2) R.Bottom = R.Top + barH - 2;
        if (TBitmap* def = Item->DefaultMenuBtn()) {
          const int fw = def->Width() / 3;
          const int f = std::min(Item->State(), 2);
          PaintDefaultMenuButton(T, def, R, TRect(8, 2, 8, 4), TRect(f * fw, 0, (f + 1) * fw, def->Height()));
        }
        if (fd->UseSysColor()) color = 0xFFFFFF;
        if (fd->UseSysGlowing()) {
          glowSize = 2;
          glowColor = 0x0E5A8D;
        }
      } else {
        PaintItemBg(s, sec, T, image, Item->Rect.TopLeft(), R, Item->State());
      }
      break;
    case bsTab:
      state = std::min(Item->State(), 1);
      if (barH < Item->Height() + 2) R.Top = R.Bottom - barH + 2;
      if (s->IsValidSkinIndex(sec)) {
        if (!Item->Down()) R.Top += 2;
        PaintItemBg(s, sec, T, Bmp, R.TopLeft(), R, Item->State());
        if (fd->UseSysGlowing()) {
          const TsGenState& g = s->gd[size_t(sec)].Props[size_t(ItemSectionState(s, sec, std::min(state, 2)))];
          glowSize = std::min(48, g.GlowSize);
          glowColor = g.GlowColor;
        }
      }
      R.Left += (R.Width() - Item->ContentSize().cx - 1) / 2;
      R.Right = R.Left + Item->ContentSize().cx;
      break;
    default:
      state = FormActive ? 1 : 0;
      break;
  }
  T->Canvas()->Font()->SetColor(color);
  ItemPaint p{this, s, Item, T, sec, state, color, glowSize, glowColor, enabled};
  PaintItemContent(p, R);
  if (Item->OnDrawItem) {
    TacTitleItemDrawData d{RIn, Bmp};
    Item->OnDrawItem(Item, d);
  }
  if (!enabled && RIn.Width() > 0 && RIn.Height() > 0)
    BlendBitmapRect(Bmp, T, 127, RIn.TopLeft(), TRect(RIn.Left, RIn.Top, RIn.Right - 1, RIn.Bottom - 1));
}

// ---- Layout, paint order and hit codes seen from the provider ----

void LayoutTitleBar(TsSkinProvider* sp, int FullRight, int ButtonsLeft) {
  TsTitleBar* bar = sp->TitleBar();
  if (!bar) return;
  bar->FFullRight = FullRight;
  int left = sp->FIconRect.Right;
  if (sp->FIconRect.Width() > 0)
    for (int i = 0; i < bar->Items()->Count(); ++i)
      if (bar->Items()->Items(i)->Visible() && bar->Items()->Items(i)->Align() == tbaLeft) {
        left += 6;
        break;
      }
  bar->FBarRect = TRect(left, sp->TitleButtonsTop(), ButtonsLeft - 6, sp->FHeaderHeight);
  bar->FBarVCenter = sp->VCenter;
  bar->CalcSizes();
}

void PaintTitleBarItems(TsSkinProvider* sp, int W) {
  TsTitleBar* bar = sp->TitleBar();
  TBitmap* img = sp->SkinData()->FCacheBmp.get();
  if (!bar || !img) return;
  TacTitleItems* items = bar->Items();
  auto pressedTab = [](TacTitleBarItem* it) { return it->Style() == bsTab && it->Down(); };
  for (int pass = 0; pass < 2; ++pass)
    for (int i = items->Count() - 1; i >= 0; --i) {
      TacTitleBarItem* it = items->Items(i);
      if (!it->Visible() || it->Rect.Left <= 0 || it->Rect.Right >= W || pressedTab(it) != (pass == 1)) continue;
      sp->DrawTitleItem(it, it->Rect, img);
    }
}

int TitleBarElementAt(TsSkinProvider* sp, const TPoint& P, int& N) {
  TsTitleBar* bar = sp->TitleBar();
  if (!bar) return 0;
  for (int i = 0; i < bar->Items()->Count(); ++i) {
    TacTitleBarItem* it = bar->Items()->Items(i);
    ++N;
    if (it->Visible() && it->Rect.Contains(P)) return it->Style() == bsSpacing || it->Style() == bsInfo ? -1 : N;
  }
  return 0;
}

int TitleBarHitCode(TsSkinProvider* sp, int Index) {
  TsTitleBar* bar = sp->TitleBar();
  if (!bar || Index < 0 || Index >= bar->Items()->Count()) return HTCLIENT;
  TacTitleBarItem* it = bar->Items()->Items(Index);
  return it->Enabled() && !(it->Style() == bsTab && it->Down()) ? HTTITLEITEM + Index : HTCLIENT;
}

TacTitleBarItem* TitleBarItemOf(TsSkinProvider* sp, int HitCode) {
  TsTitleBar* bar = sp->TitleBar();
  const int i = HitCode - HTTITLEITEM;
  if (!bar || i < 0 || i >= bar->Items()->Count()) return nullptr;
  return bar->Items()->Items(i);
}

void KillTitleBarAnimations(TsSkinProvider* sp) {
  TsTitleBar* bar = sp->TitleBar();
  if (!bar) return;
  for (int i = 0; i < bar->Items()->Count(); ++i) delete std::exchange(bar->Items()->Items(i)->Timer, nullptr);
}

// ---- The default menu picture ----

void PaintDefaultMenuButton(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, const TRect& Margins,
                            const TRect& SrcRect) {
  if (!Dst || !Src || DstRect.Width() <= 0 || DstRect.Height() <= 0) return;
  constexpr uint32_t kKey = 0xFF00FF;
  const int ml = Margins.Left, mt = Margins.Top, mr = Margins.Right, mb = Margins.Bottom;
  // Corners pixel by pixel, key pixels left out.
  auto corner = [&](int sx, int sy, int dx, int dy, int w, int h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int px = sx + x, py = sy + y, qx = dx + x, qy = dy + y;
        if (px < 0 || py < 0 || px >= Src->Width() || py >= Src->Height()) continue;
        if (qx < 0 || qy < 0 || qx >= Dst->Width() || qy >= Dst->Height()) continue;
        const uint32_t c = GetPixel32(Src, px, py);
        if ((c & 0xFFFFFF) != kKey) SetPixel32(Dst, qx, qy, c);
      }
  };
  const TRect& s = SrcRect;
  const TRect& d = DstRect;
  corner(s.Left, s.Top, d.Left, d.Top, ml, mt);
  corner(s.Right - mr, s.Top, d.Right - mr, d.Top, mr, mt);
  corner(s.Left, s.Bottom - mb, d.Left, d.Bottom - mb, ml, mb);
  corner(s.Right - mr, s.Bottom - mb, d.Right - mr, d.Bottom - mb, mr, mb);
  HDC dc = Dst->Canvas()->Handle(), sc = Src->Canvas()->Handle();
  SetStretchBltMode(dc, COLORONCOLOR);
  const int sw = s.Width() - ml - mr, sh = s.Height() - mt - mb;
  const int dw = d.Width() - ml - mr, dh = d.Height() - mt - mb;
  auto stretch = [&](int dx, int dy, int w, int h, int sx, int sy, int swid, int shei) {
    if (w > 0 && h > 0 && swid > 0 && shei > 0) StretchBlt(dc, dx, dy, w, h, sc, sx, sy, swid, shei, SRCCOPY);
  };
  stretch(d.Left, d.Top + mt, ml, dh, s.Left, s.Top + mt, ml, sh);                   // left edge
  stretch(d.Right - mr, d.Top + mt, mr, dh, s.Right - mr, s.Top + mt, mr, sh);       // right edge
  stretch(d.Left + ml, d.Top, dw, mt, s.Left + ml, s.Top, sw, mt);                   // top edge
  stretch(d.Left + ml, d.Bottom - mb, dw, mb, s.Left + ml, s.Bottom - mb, sw, mb);   // bottom edge
  stretch(d.Left + ml, d.Top + mt, dw, dh, s.Left + ml, s.Top + mt, sw, sh);         // centre
}
