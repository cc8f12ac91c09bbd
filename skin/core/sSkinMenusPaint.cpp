// Owner-drawn menus: painting the items of popup menus over their prepared
// background, and the items of a form's skinned menu line.

#include <algorithm>

#include "platform/vcl/ImgList.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinMenus.h"
#include "skin/core/sSkinMenusInternal.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"

using namespace skinmenus;

namespace {

constexpr COLORREF kNoSectionLine = 0x808080;

// The glyph of an item: its own bitmap, else an image of its list.
struct ItemGlyph {
  TBitmap* Bitmap = nullptr;
  TCustomImageList* List = nullptr;
  int Index = -1;
  TSize Size;
  bool Present() const { return Bitmap || List; }
};

ItemGlyph GlyphOf(TMenuItem* Item) {
  ItemGlyph g;
  if (!Item->Bitmap()->Empty()) {
    g.Bitmap = Item->Bitmap();
    g.Size = TSize{g.Bitmap->Width(), g.Bitmap->Height()};
  } else if (TCustomImageList* list = Item->ImageList(); list && Item->ImageIndex() >= 0 &&
                                                           Item->ImageIndex() < list->Count()) {
    g.List = list;
    g.Index = Item->ImageIndex();
    g.Size = TSize{list->Width(), list->Height()};
  }
  return g;
}

void DrawGlyph(const ItemGlyph& g, TBitmap* Dst, const TRect& R, int State, bool Enabled, bool Grayed) {
  TacGlyphDrawInfo info;
  info.DstBmp = Dst;
  info.Rect = R;
  info.State = State;
  info.Enabled = Enabled;
  info.Grayed = Grayed;
  info.NumGlyphs = 1;
  if (g.Bitmap) {
    info.Glyph = g.Bitmap;
    if (g.Size.cy > 0) info.NumGlyphs = std::max(1, int(g.Size.cx / g.Size.cy));
  } else {
    info.ImageList = g.List;
    info.ImageIndex = g.Index;
  }
  DrawImageListItem(info);
}

TacSymbolGlyph SymbolOfTag(intptr_t Tag, char& Ch, bool& Known) {
  Known = true;
  switch (Tag) {
    case SC_MINIMIZE: Ch = '0'; return sgMinimize;
    case SC_MAXIMIZE: Ch = '1'; return sgMaximize;
    case SC_CLOSE: Ch = 'r'; return sgClose;
    case SC_RESTORE: Ch = '2'; return sgRestore;
    default: Known = false; return sgClose;
  }
}

TColor SectionFontColor(const TacSkinRecords* s, int Index, int State, TColor Fallback) {
  return s && s->IsValidSkinIndex(Index) ? s->gd[size_t(Index)].Props[size_t(std::clamp(State, 0, 2))].FontColor.Color
                                         : Fallback;
}

}  // namespace

void TsSkinableMenus::PaintBorderStrips(HWND Wnd, TacMenuInfo& mi, TMenuItem* Item, const TRect& ARect) {
  TBitmap* bg = mi.Bmp.get();
  const int bw = RealBorderWidth(), E = ExtraWidth(mi), F = InFirstColumn(Item) ? 1 : 0;
  HDC dc = GetWindowDC(Wnd);
  HDC src = bg->Canvas()->Handle();
  const int W = bg->Width(), H = bg->Height();
  if (Item->Visible()) {
    BitBlt(dc, 0, 0, W, bw, src, 0, 0, SRCCOPY);
    if (!IsCaptionItem(Item)) BitBlt(dc, 0, 0, E * F + std::max(SkinBorderWidth(), bw + 1), H, src, 0, 0, SRCCOPY);
    BitBlt(dc, 0, H - BorderWidth, W, BorderWidth, src, 0, H - BorderWidth, SRCCOPY);
  }
  BitBlt(dc, W - BorderWidth, ARect.Top + BorderWidth, BorderWidth, ARect.Height(), src, W - BorderWidth,
         ARect.Top + BorderWidth, SRCCOPY);
  ReleaseDC(Wnd, dc);
}

void TsSkinableMenus::sAdvancedDrawItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || !FOwner || !FOwner->CommonSkinData.Active) return;
  if (NoBorder()) {
    RECT clip;
    if (GetClipBox(ACanvas->Handle(), &clip) != NULLREGION) {
      if (clip.right - ARect.Right < 10) ARect.Right = clip.right;
      if (clip.bottom - ARect.Bottom < 10) ARect.Bottom = clip.bottom;
    }
  }
  ACanvas->Lock();
  struct Finish {
    TMenuItem* item;
    TCanvas* canvas;
    TRect r;
    bool selected;
    ~Finish() {
      if (item->OnDrawItem) item->OnDrawItem(item, canvas, r, selected);
      canvas->Unlock();
    }
  } finish{item, ACanvas, ARect, State.Contains(odSelected)};

  HWND wnd = WindowFromDC(ACanvas->Handle());
  TacMenuInfo* mi = GetMenuInfo(item, ACanvas, wnd);
  if (mi && wnd && mi->Bmp) {
    PaintBorderStrips(wnd, *mi, item, ARect);
  } else if (!wnd && Application) {
    MSG m;
    if (!PeekMessageW(&m, Application->Handle(), WM_DRAWMENUBORDER, WM_DRAWMENUBORDER2, PM_NOREMOVE))
      PostMessageW(Application->Handle(), WM_DRAWMENUBORDER, 0, LPARAM(item));
  }
  if (item->IsLine()) {
    it = smDivider;
    if (mi && mi->Bmp) PaintDivider(ACanvas, ARect, *mi, mi->Bmp.get(), item);
    return;
  }
  if (IsCaptionItem(item)) {
    it = smCaption;
    if ((mi = GetMenuInfo(item, ACanvas, wnd)) && mi->Bmp) PaintCaptionItem(ACanvas, ARect, *mi, mi->Bmp.get(), item);
    return;
  }
  it = smNormal;
  if (mi && mi->Bmp) PaintNormalItem(ACanvas, ARect, State, *mi, item);
}

void TsSkinableMenus::PaintNormalItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State, TacMenuInfo& mi,
                                      TMenuItem* Item) {
  const TacSkinRecords* s = Skin();
  TBitmap* BG = mi.Bmp.get();
  const int bw = RealBorderWidth(), E = ExtraWidth(mi), F = InFirstColumn(Item) ? 1 : 0;
  const int menuItem = SectionIndex(ssMenuItem);
  const bool enabled = Item->Enabled();
  const bool selected = enabled && State.Contains(odSelected);
  const bool hot = enabled && (State.Contains(odSelected) || State.Contains(odHotLight));
  TMenuItem* parent = Item->Parent();
  const int index = parent ? parent->IndexOf(Item) : 0;
  const bool last = !parent || index == parent->Count() - 1;
  HDC bgdc = BG->Canvas()->Handle();

  // Columns: the bar line of a new column, and the background under a column's last item.
  if (!last) {
    if (Item->Break() == mbBarBreak && !mi.ItemsIterated) {
      const TColor c = s->IsValidSkinIndex(menuItem) ? s->gd[size_t(menuItem)].Props[0].FontColor.Color
                                                     : TColor(kNoSectionLine);
      FillRect32(BG, TRect(ARect.Left, 0, ARect.Left + 1, BG->Height()), c, 255);
    }
    if (parent->Items(index + 1)->Break() != mbNone)
      BitBlt(ACanvas->Handle(), ARect.Left, ARect.Bottom, ARect.Width(), BG->Height() - 6 - ARect.Bottom, bgdc,
             ARect.Left + 3, ARect.Bottom + 3, SRCCOPY);
  } else if (BG->Height() - 6 > ARect.Bottom) {
    BitBlt(ACanvas->Handle(), ARect.Left, ARect.Bottom, ARect.Width(), BG->Height() - 6 - ARect.Bottom, bgdc,
           ARect.Left + 3, ARect.Bottom + 3, SRCCOPY);
  }
  if (Item->Break() != mbNone)
    BitBlt(ACanvas->Handle(), ARect.Left - 4, ARect.Top, 4, BG->Height() - 6, bgdc, ARect.Left - 1, bw + ARect.Top,
           SRCCOPY);

  const int W = ARect.Width();
  auto pic = NewBitmap32(std::max(W - E * F, 0), ARect.Height());
  const int P = pic->Width();
  TCacheInfo ci;
  MakeCacheInfo(BG, 0, 0, ci);
  const TPoint at(bw + E * F + ARect.Left, bw + ARect.Top);
  if (s->IsValidSkinIndex(menuItem))
    PaintSkinItem(menuItem, ci, -1, -1, s, pic.get(), at, TRect(0, 0, P, pic->Height()), selected ? 1 : 0);
  else
    BlitBmp(pic.get(), 0, 0, P, pic->Height(), BG, at.X, at.Y);

  const ItemGlyph glyph = GlyphOf(Item);
  // Check mark in the glyph column.
  if (State.Contains(odChecked) && !glyph.Present()) {
    int mask = Item->RadioItem() ? s->ConstData.RadioButton[1]
                                 : s->GetMaskIndex(s->ConstData.IndexGLobalInfo, "CHECK");
    if (!s->IsValidImgIndex(mask)) mask = s->ConstData.CheckBox[1];
    if (s->IsValidImgIndex(mask)) {
      const TsMaskData& md = s->ma[size_t(mask)];
      const TPoint sz = MaskSize(md);
      const TPoint p(std::max(0, (GlyphW - sz.X) / 2 + Margin), (ARect.Height() - sz.Y) / 2);
      TCacheInfo own;
      MakeCacheInfo(pic.get(), 0, 0, own);
      PaintMaskFrame(pic.get(), p, selected ? 1 : 0, own, md, 1);
    }
  }
  // The item's picture, on the small button frame while checked.
  if (glyph.Present()) {
    const int top = (pic->Height() - glyph.Size.cy) / 2;
    const int left = std::min(bw, top);
    const TRect gr(left, top, left + glyph.Size.cx, top + glyph.Size.cy);
    const int small = SectionIndex(ssSpeedButton_Small);
    if (State.Contains(odChecked) && s->IsValidSkinIndex(small)) {
      const TRect frame(gr.Left - 1, gr.Top - 1, gr.Right + 1, gr.Bottom + 1);
      TCacheInfo own;
      MakeCacheInfo(pic.get(), 0, 0, own);
      auto piece = NewBitmap32(frame.Width(), frame.Height());
      PaintSkinItem(small, own, -1, -1, s, piece.get(), frame.TopLeft(), TRect(0, 0, frame.Width(), frame.Height()), 2);
      BlitBmp(pic.get(), frame.Left, frame.Top, frame.Width(), frame.Height(), piece.get(), 0, 0);
    }
    DrawGlyph(glyph, pic.get(), gr, selected ? 1 : 0, enabled, FOwner->Effects.DiscoloredGlyphs() && !selected);
  } else if (TMenu* menu = Item->GetParentMenu(); menu && menu->GetName().rfind("acSysMenu", 0) == 0) {
    char ch = 0;
    bool known = false;
    const TacSymbolGlyph g = SymbolOfTag(Item->Tag, ch, known);
    if (known) {
      TCanvas* c = pic->Canvas();
      c->Font()->SetName("Webdings");
      c->Font()->SetStyle(TFontStyles());
      c->Font()->SetSize(FOwner->ScaleInt(10, FOwner->SysFontScale));
      const String text(1, ch);
      const TSize ts = c->TextExtent(text);
      const int top = (pic->Height() - ts.cy) / 2;
      const int left = (IcoW - ts.cx) / 2 - 1;
      if (FontFaceAvailable("Webdings")) {
        DrawSkinText(c, text, true, s, hot ? 1 : 0, menuItem, DT_SINGLELINE,
                     TRect(left, top, left + ts.cx, top + ts.cy));
      } else {
        // No symbol face here: the same glyph as shapes in a box of the glyph column.
        const int side = std::min(pic->Height(), GlyphW);
        const int x = std::max(0, (IcoW - side) / 2 - 1);
        DrawSymbolGlyphShape(c->Handle(), TRect(x, (pic->Height() - side) / 2, x + side, (pic->Height() + side) / 2), g,
                             SectionFontColor(s, menuItem, hot ? 1 : 0, clMenuText));
      }
    }
  }

  // Caption.
  TCanvas* c = pic->Canvas();
  SetItemFont(c, Item, false, State.Contains(odDefault));
  int textIndex = menuItem;
  if (FOwner->OnGetPopupItemData) {
    const TColor before = c->Font()->Color();
    TacMenuItemData data{c->Font()};
    FOwner->OnGetPopupItemData(Item, State, data);
    c->TextExtent("");
    if (c->Font()->Color() != before) textIndex = -1;
  }
  TRect tr(0, 1, W, ARect.Height());
  tr.Left += ItemGlyphSize(Item).cx + 2 * Margin + Spacing;
  tr.Top += Margin;
  tr.Bottom -= Margin;
  String text = Item->Caption(), tabText;
  UINT align = Alignment == taRightJustify ? DT_RIGHT : Alignment == taCenter ? DT_CENTER : DT_LEFT;
  if (const size_t tab = text.find('\t'); tab != String::npos) {
    tabText = text.substr(tab + 1);
    text.resize(tab);
    align = DT_LEFT;
  } else if (!text.empty() && text[0] == '\x08') {
    text = text.substr(1) + "      ";
    align = DT_RIGHT;
  }
  UINT flags = align | DT_VCENTER | DT_EXPANDTABS | DT_NOCLIP;
  flags |= text.find('\r') != String::npos ? DT_WORDBREAK : DT_SINGLELINE;
  if (State.Contains(odNoAccel)) flags |= DT_HIDEPREFIX;
  const int textState = hot ? 1 : 0;
  DrawSkinText(c, text, true, s, textState, textIndex, flags, tr);

  const String shortcut = ShortCutToText(Item->ShortCut());
  if (!shortcut.empty()) {
    RECT m{0, 0, 0, 0};
    DrawText(c->Handle(), shortcut.c_str(), int(shortcut.size()), &m, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
    tr = TRect(W - E - 8 - (m.right - m.left), 0, W - E - 8, pic->Height());
    DrawSkinText(c, shortcut, true, s, textState, textIndex, DT_SINGLELINE | DT_VCENTER, tr);
  }
  if (!tabText.empty()) {
    tr = TRect(tr.Left - E, tr.Top, tr.Right - 8 - E, tr.Bottom);
    DrawSkinText(c, tabText, true, s, textState, textIndex, DT_SINGLELINE | DT_VCENTER | DT_RIGHT, tr);
  }
  // The sub-menu arrow: the layer leaves it to owner-drawn items. Its room is a "u" of the item font.
  if (Item->Count() > 0) {
    const int room = c->TextWidth("u");
    const int h = std::max(3, c->TextHeight("u") / 3);
    const int cx = P - 4 - room / 2, cy = pic->Height() / 2;
    HBRUSH b = CreateSolidBrush(ColorToRGB(SectionFontColor(s, menuItem, textState, clMenuText)));
    for (int i = 0; i < h; ++i) {
      RECT row{cx - h / 2 + i, cy - (h - i), cx - h / 2 + i + 1, cy + (h - i) + 1};
      FillRect(c->Handle(), &row, b);
    }
    DeleteObject(b);
  }

  if (OnDrawItem) OnDrawItem(Item, c, TRect(0, 0, P, pic->Height()), State, it);
  if (!enabled)
    BlendBitmapRect(pic.get(), BG, DefDisabledBlend, TPoint(0, 0),
                    TRect(at.X, at.Y, at.X + P - 1, at.Y + pic->Height() - 1));
  BitBlt(ACanvas->Handle(), E * F + ARect.Left, ARect.Top, P, pic->Height(), c->Handle(), 0, 0, SRCCOPY);
  if (parent && index == 0 && E > 0)
    BitBlt(ACanvas->Handle(), 0, 0, E * F, BG->Height(), bgdc, bw, bw, SRCCOPY);
}

void TsSkinableMenus::PaintDivider(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo& mi, TBitmap* BG,
                                   TMenuItem* /*Item*/) {
  const TacSkinRecords* s = Skin();
  const int bw = RealBorderWidth(), E = ExtraWidth(mi);
  const int W = ARect.Width(), H = ARect.Height();
  const int ico = s->GetSkinIndex(FOwner->MenuSupport.IcoLineSkin);
  bool icoInvisible = !s->IsValidSkinIndex(ico);
  if (!icoInvisible) {
    const TsGeneralData& g = s->gd[size_t(ico)];
    icoInvisible = g.Props[0].Transparency > 99 && !s->IsValidImgIndex(g.BorderIndex);
  }
  int x0;
  if (icoInvisible) {
    x0 = E + Margin;
    if (x0 < E) x0 = E + 2;
  } else {
    x0 = E + Margin + Spacing;
    if (x0 < E + IcoW) x0 = E + IcoW + 2;
  }
  const int div = SectionIndex(ssDividerV);
  const int mask = s->IsValidSkinIndex(div) ? s->gd[size_t(div)].BorderIndex : -1;
  HDC bgdc = BG->Canvas()->Handle();
  if (!s->IsValidImgIndex(mask)) {
    BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, W, H, bgdc, bw + ARect.Left, bw + ARect.Top, SRCCOPY);
    TColor c = s->Palette[pcBorder];
    if (c == clFuchsia) c = TColor(GetSysColor(COLOR_BTNSHADOW));
    HBRUSH b = CreateSolidBrush(ColorToRGB(c));
    RECT line{ARect.Left + x0, ARect.Top, ARect.Left + W - Margin, ARect.Top + 1};
    FillRect(ACanvas->Handle(), &line, b);
    DeleteObject(b);
    return;
  }
  auto pic = NewBitmap32(W, H);
  BlitBmp(pic.get(), 0, 0, W, H, BG, bw + ARect.Left, bw + ARect.Top);
  TCacheInfo ci;
  MakeCacheInfo(pic.get(), 0, 0, ci);
  PaintMask(pic.get(), TRect(x0, 0, W - Margin, H), ci, s->ma[size_t(mask)], 0, true);
  BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, W, H, pic->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TsSkinableMenus::PaintCaptionItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo& mi, TBitmap* BG,
                                       TMenuItem* Item) {
  const TacSkinRecords* s = Skin();
  const int bw = RealBorderWidth(), E = ExtraWidth(mi);
  const int W = ARect.Width(), H = ARect.Height();
  auto pic = NewBitmap32(W, H);
  const int main = SectionIndex(ssMainMenu);
  const int O = s->IsValidSkinIndex(main) && s->IsValidImgIndex(s->gd[size_t(main)].BorderIndex) ? 3 : 1;
  HDC pdc = pic->Canvas()->Handle(), bgdc = BG->Canvas()->Handle();
  if (E > 0) {
    const int strip = std::max(SkinBorderWidth(), 3) + (InFirstColumn(Item) || Item->MenuIndex() == 0 ? E : 0);
    BitBlt(pdc, 0, 0, strip, H, bgdc, ARect.Left + O, ARect.Top + O, SRCCOPY);
  }
  // The one-pixel edges of the item's area of the background.
  BitBlt(pdc, 0, 0, W, 1, bgdc, ARect.Left + O, ARect.Top + O, SRCCOPY);
  BitBlt(pdc, 0, H - 1, W, 1, bgdc, ARect.Left + O, ARect.Top + O + H - 1, SRCCOPY);
  BitBlt(pdc, 0, 0, 1, H, bgdc, ARect.Left + O, ARect.Top + O, SRCCOPY);
  BitBlt(pdc, W - 1, 0, 1, H, bgdc, ARect.Left + O + W - 1, ARect.Top + O, SRCCOPY);
  const int cap = SectionIndex(ssMenuCaption);
  if (s->IsValidSkinIndex(cap)) {
    TCacheInfo ci;
    MakeCacheInfo(BG, 0, 0, ci);
    auto piece = NewBitmap32(std::max(W - 1 - (E + 1), 0), std::max(H - 2, 0));
    PaintSkinItem(cap, ci, -1, -1, s, piece.get(), TPoint(bw + 1 + E + ARect.Left, bw + 1 + ARect.Top),
                  TRect(0, 0, piece->Width(), piece->Height()), 0);
    BlitBmp(pic.get(), E + 1, 1, piece->Width(), piece->Height(), piece.get(), 0, 0);
  }
  SetItemFont(pic->Canvas(), Item, true, false);
  const String& caption = Item->Caption();
  const String text = caption.substr(1, caption.size() - 2);
  const TRect tr(E, Margin + 2, W, H - Margin - 2);
  DrawSkinText(pic->Canvas(), text, true, s, 0, cap, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_HIDEPREFIX, tr);
  BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, W, H, pdc, 0, 0, SRCCOPY);
}

// ---- The menu line ----

void TsSkinableMenus::sAdvancedDrawLineItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || !FOwner) return;
  TacMenuLineInfo line;
  if (!MenuLineOfItem || !MenuLineOfItem(item, ACanvas, ARect, line) || !line.Image) return;
  const TacSkinRecords* s = Skin();
  const int W = ARect.Width(), H = ARect.Height();
  const bool enabled = item->Enabled();
  const bool hot = enabled && (State.Contains(odSelected) || State.Contains(odHotLight));
  auto pic = NewBitmap32(W, H);
  const int menuItem = SectionIndex(ssMenuItem);
  if (s->IsValidSkinIndex(menuItem)) {
    TCacheInfo ci;
    MakeCacheInfo(line.Image, 0, 0, ci);
    PaintSkinItem(menuItem, ci, -1, -1, s, pic.get(), line.Pos, TRect(0, 0, W, H), hot ? 1 : 0);
  } else {
    BlitBmp(pic.get(), 0, 0, W, H, line.Image, line.Pos.X, line.Pos.Y);
  }
  const ItemGlyph glyph = GlyphOf(item);
  TRect gr;
  if (glyph.Present()) {
    gr = TRect(3, (H - glyph.Size.cy) / 2, 3 + glyph.Size.cx + 3, (H - glyph.Size.cy) / 2 + glyph.Size.cy);
    if (glyph.Bitmap && !enabled) gr = Bounds(3, 1, gr.Width(), gr.Height());
    DrawGlyph(glyph, pic.get(), gr, hot ? 1 : 0, enabled, FOwner->Effects.DiscoloredGlyphs());
  }
  TCanvas* c = pic->Canvas();
  SetItemFont(c, item, false, State.Contains(odDefault));
  const TRect tr(2 + gr.Width(), 0, W - 2 * Margin + 2, H);
  UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP;
  if (State.Contains(odNoAccel)) flags |= DT_HIDEPREFIX;
  const int lineIndex = SectionIndex(ssMenuLine);
  if (line.AlphaText) {
    const TColor color = SectionFontColor(s, lineIndex, hot ? 1 : 0, clMenuText);
    DrawTextToBitmap32(pic.get(), item->Caption(), true, false, TColor(ColorToRGB(color)), flags, tr);
  } else {
    DrawSkinText(c, item->Caption(), true, s, hot ? 1 : 0, lineIndex, flags, tr);
  }
  if (OnDrawItem) OnDrawItem(item, c, TRect(0, 0, W, H), State, smTopLine);
  if (!enabled)
    BlendBitmapRect(pic.get(), line.Image, DefDisabledBlend, TPoint(0, 0),
                    TRect(line.Pos.X, line.Pos.Y, line.Pos.X + W - 1, line.Pos.Y + H - 1));
  BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, W, H, c->Handle(), 0, 0, SRCCOPY);
}
