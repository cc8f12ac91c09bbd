// Owner-drawn menus: hooking, measuring, popup backgrounds and borders.
// The painting of the items is in sSkinMenusPaint.cpp.

#include "skin/core/sSkinMenus.h"

#include <algorithm>
#include <cstdio>

#include "platform/vcl/ImgList.h"
#include "platform/win/Controls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinMenusInternal.h"
#include "skin/core/sSkinPaint.h"

namespace skinmenus {

std::vector<TacMenuInfo>& Cache() {
  static auto* cache = new std::vector<TacMenuInfo>();
  return *cache;
}
std::unique_ptr<TFont>& CustomMenuFont() {
  static auto* font = new std::unique_ptr<TFont>();
  return *font;
}
ExtraLineData& ExtraLine() {
  static auto* data = new ExtraLineData();
  return *data;
}
int GlyphW = 16, IcoW = 26;

bool IsOurs(const TAdvancedMenuDrawItemEvent& e, int Kind, const TsSkinableMenus* Owner) {
  const auto* h = e.target<DrawHook>();
  return h && h->Owner == Owner && h->Kind == Kind;
}
bool IsOurs(const TMenuMeasureItemEvent& e, int Kind, const TsSkinableMenus* Owner) {
  const auto* h = e.target<MeasureHook>();
  return h && h->Owner == Owner && h->Kind == Kind;
}

void BlitBmp(TBitmap* Dst, int X, int Y, int W, int H, TBitmap* Src, int SX, int SY) {
  if (W <= 0 || H <= 0 || !Dst || !Src) return;
  BitBlt(Dst->Canvas()->Handle(), X, Y, W, H, Src->Canvas()->Handle(), SX, SY, SRCCOPY);
}

String CalcText(TMenuItem* Item) {
  String s = Item->Caption();
  if (!TsSkinableMenus::IsCaptionItem(Item)) {
    const String sc = ShortCutToText(Item->ShortCut());
    if (!sc.empty()) s += sc;
  }
  return s;
}

TSize TextRectSize(TCanvas* Canvas, const String& Text, int Width) {
  RECT r{0, 0, Width, 0};
  DrawText(Canvas->Handle(), Text.c_str(), int(Text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP);
  return TSize{r.right - r.left, r.bottom - r.top};
}

}  // namespace skinmenus

using namespace skinmenus;

void ClearMenuInfo() { Cache().clear(); }
int MenuInfoCount() { return int(Cache().size()); }

namespace {
TsSkinManager* ManagerOrDefault(const TacSkinRecords* Skin) {
  TsSkinManager* m = SkinManagerOf(Skin);
  return m ? m : DefaultSkinManager();
}
}  // namespace

TsSkinableMenus* SkinableMenusOf(const TacSkinRecords* Skin) {
  TsSkinManager* m = ManagerOrDefault(Skin);
  return m ? m->SkinableMenus() : nullptr;
}

uint8_t MenuAlphaBlendOf(const TacSkinRecords* Skin) {
  TsSkinManager* m = ManagerOrDefault(Skin);
  return m ? m->MenuSupport.AlphaBlend : 255;
}

// ---- TacMenuSupport ----

TacMenuSupport::TacMenuSupport() = default;

TacMenuSupport::~TacMenuSupport() {
  if (FCustomFont) CustomMenuFont().reset();
}

void TacMenuSupport::SetFont(TFont* Value) {
  FFont.Assign(Value);
  if (FCustomFont) {
    if (!CustomMenuFont()) CustomMenuFont() = std::make_unique<TFont>();
    CustomMenuFont()->Assign(&FFont);
  }
}

void TacMenuSupport::SetCustomFont(bool Value) {
  FCustomFont = Value;
  if (Value) {
    if (!CustomMenuFont()) CustomMenuFont() = std::make_unique<TFont>();
    CustomMenuFont()->Assign(&FFont);
  } else {
    CustomMenuFont().reset();
  }
}

// ---- TsSkinableMenus ----

TsSkinableMenus::TsSkinableMenus(TsSkinManager* AOwner) : FOwner(AOwner) {}

TsSkinableMenus::~TsSkinableMenus() { FOwner = nullptr; }

const TacSkinRecords* TsSkinableMenus::Skin() const { return FOwner; }

int TsSkinableMenus::SectionIndex(int Section) const {
  return FOwner ? FOwner->ConstData.Sections[size_t(Section)] : -1;
}

TFont* TsSkinableMenus::CaptionFont() {
  if (CustomMenuFont()) return CustomMenuFont().get();
  NONCLIENTMETRICSW ncm;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  FCaptionFont.SetName(ncm.lfMenuFont.lfFaceName);
  FCaptionFont.SetHeight(ncm.lfMenuFont.lfHeight);
  return &FCaptionFont;
}

void TsSkinableMenus::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  InitItems(Value);
}

void TsSkinableMenus::UpdateMenus() {
  if (FOwner) SetActive(FOwner->CommonSkinData.Active);
}

bool TsSkinableMenus::IsTopLine(TMenuItem* Item) {
  TMenuItem* parent = Item ? Item->Parent() : nullptr;
  return parent && dynamic_cast<TMainMenu*>(Item->GetParentMenu()) && parent == Item->GetParentMenu()->Items();
}

bool TsSkinableMenus::IsPopupItem(TMenuItem* Item) { return Item && dynamic_cast<TPopupMenu*>(Item->GetParentMenu()); }

void TsSkinableMenus::HookPopupEvents(TMenuItem* Item, bool A) {
  if (A) {
    if (!Item->OnAdvancedDrawItem || kOverrideEvents) Item->OnAdvancedDrawItem = DrawHook{this, 0};
    if (!Item->OnMeasureItem || kOverrideEvents) Item->OnMeasureItem = MeasureHook{this, 0};
  } else {
    if (IsOurs(Item->OnAdvancedDrawItem, 0, this)) Item->OnAdvancedDrawItem = nullptr;
    if (IsOurs(Item->OnMeasureItem, 0, this)) Item->OnMeasureItem = nullptr;
  }
}

void TsSkinableMenus::HookLineEvents(TMenuItem* Item, bool A) {
  if (A) {
    Item->OnAdvancedDrawItem = DrawHook{this, 1};
    Item->OnMeasureItem = MeasureHook{this, 1};
  } else {
    if (IsOurs(Item->OnAdvancedDrawItem, 1, this)) Item->OnAdvancedDrawItem = nullptr;
    if (IsOurs(Item->OnMeasureItem, 1, this)) Item->OnMeasureItem = nullptr;
  }
}

void TsSkinableMenus::InitItems(bool A) {
  FActive = A;
  if (!FOwner || (FOwner->ComponentState() & csDesigning) || !Application) return;
  const bool popups = FOwner->SkinnedPopups();
  std::function<void(TComponent*)> walk = [&](TComponent* Owner) {
    for (int i = 0; i < Owner->ComponentCount(); ++i) {
      TComponent* c = Owner->Components(i);
      if (auto* mm = dynamic_cast<TMainMenu*>(c)) {
        InitMenuLine(mm, A);
        for (int k = 0; k < mm->Items()->Count(); ++k) HookItem(mm->Items()->Items(k), A && popups);
      } else if (auto* pm = dynamic_cast<TPopupMenu*>(c)) {
        HookPopupMenu(pm, A && popups);
      } else if (auto* mi = dynamic_cast<TMenuItem*>(c)) {
        if (!dynamic_cast<TMainMenu*>(mi->GetParentMenu())) HookItem(mi, A && popups);
      }
      walk(c);
    }
  };
  walk(Application);
}

void TsSkinableMenus::HookItem(TMenuItem* MenuItem, bool AActive) {
  for (int i = 0; i < MenuItem->Count(); ++i) {
    TMenuItem* item = MenuItem->Items(i);
    if (!AActive) HookPopupEvents(item, false);
    else if (!IsTopLine(item)) HookPopupEvents(item, true);
    HookItem(item, AActive);
  }
}

void TsSkinableMenus::HookPopupMenu(TPopupMenu* Menu, bool Active) {
  const bool skinned = Active && FOwner && FOwner->SkinnedPopups();
  if (Active) Menu->MenuAnimation.Include(maNone);
  else Menu->MenuAnimation.Exclude(maNone);
  HookItem(Menu->Items(), Active);
  Menu->SetOwnerDraw(skinned);
}

void TsSkinableMenus::InitItem(TMenuItem* Item, bool A) {
  if (!A) return HookPopupEvents(Item, false);
  if (IsTopLine(Item)) HookLineEvents(Item, true);
  else if (FOwner && FOwner->SkinnedPopups()) HookPopupEvents(Item, true);
}

void TsSkinableMenus::InitMenuLine(TMainMenu* Menu, bool A) {
  if (!Menu || (Menu->ComponentState() & csDestroying)) return;
  for (int i = 0; i < Menu->Items()->Count(); ++i) {
    TMenuItem* item = Menu->Items()->Items(i);
    if (A) {
      const bool active = FOwner && FOwner->CommonSkinData.Active;
      if (active && !FOwner->SkinnedPopups()) return;
      if (active) HookLineEvents(item, true);
    } else {
      HookLineEvents(item, false);
    }
  }
  if (Menu->Items()->Count() > 0) Menu->SetOwnerDraw(A);
}

bool TsSkinableMenus::NoBorder() const {
  const TacSkinRecords* s = Skin();
  const int i = SectionIndex(ssMainMenu);
  return !s || !s->IsValidSkinIndex(i) || !s->IsValidImgIndex(s->gd[size_t(i)].BorderIndex);
}

int TsSkinableMenus::SkinBorderWidth() {
  if (FSkinBorderWidth < 0) {
    if (NoBorder()) {
      FSkinBorderWidth = 0;
    } else {
      const TacSkinRecords* s = Skin();
      const int w = s->ma[size_t(s->gd[size_t(SectionIndex(ssMainMenu))].BorderIndex)].BorderWidth;
      FSkinBorderWidth = w > 0 ? w : 3;
    }
  }
  return FSkinBorderWidth;
}

int TsSkinableMenus::ExtraWidth(const TacMenuInfo& mi) const {
  if (!FOwner || !FOwner->MenuSupport.UseExtraLine || !mi.HaveExtraLine) return 0;
  return FOwner->ScaleInt(FOwner->MenuSupport.ExtraLineWidth);
}

TSize TsSkinableMenus::ItemGlyphSize(TMenuItem* Item) {
  if (Item->Bitmap() && !Item->Bitmap()->Empty()) return TSize{Item->Bitmap()->Width(), Item->Bitmap()->Height()};
  if (Item->Parent() && Item->Parent()->SubMenuImages()) return TSize{Item->Parent()->SubMenuImages()->Width(), 0};
  TMenu* menu = Item->GetParentMenu();
  if (menu && menu->Images()) return TSize{menu->Images()->Width(), menu->Images()->Height()};
  return TSize{kDefaultGlyphSize, kDefaultGlyphSize};
}

bool TsSkinableMenus::IsCaptionItem(TMenuItem* Item) {
  const String& c = Item->Caption();
  return c.size() >= 2 && c.front() == kCaptionMarker && c.back() == kCaptionMarker;
}

bool TsSkinableMenus::InFirstColumn(TMenuItem* Item) {
  TMenuItem* parent = Item->Parent();
  if (!parent) return true;
  const int index = parent->IndexOf(Item);
  for (int i = 1; i <= index; ++i)
    if (parent->Items(i)->Break() != mbNone) return false;
  return true;
}

void TsSkinableMenus::SetItemFont(TCanvas* Canvas, TMenuItem* Item, bool /*IsCaption*/, bool Bold) {
  (void)Item;
  Canvas->Font()->Assign(CaptionFont());
  if (Bold) Canvas->Font()->SetStyle(TFontStyles{fsBold});
  if (FOwner) Canvas->Font()->SetHeight(FOwner->ScaleInt(Canvas->Font()->Height(), FOwner->SysFontScale));
  KeepFace(Canvas->Font());
  Canvas->TextExtent("");  // selects the font into the DC for the DrawText calls that follow
}

void TsSkinableMenus::KeepFace(TFont* Font) {
  constexpr size_t kMaxKept = 8;
  for (const auto& f : FFaceKeepers)
    if (f->Name() == Font->Name() && f->Height() == Font->Height() && f->Style() == Font->Style()) return;
  if (FFaceKeepers.size() >= kMaxKept) FFaceKeepers.erase(FFaceKeepers.begin());
  auto kept = std::make_unique<TFont>();
  kept->Assign(Font);
  // A font opens its face when first measured with.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, kept->Handle());
  SIZE size;
  GetTextExtentPoint32(dc, "x", 1, &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  FFaceKeepers.push_back(std::move(kept));
}

int TsSkinableMenus::ItemHeight(TCanvas* Canvas, TMenuItem* Item) {
  if (Item->Caption() == "-") return 2;
  SetItemFont(Canvas, Item, false, Item->Default());
  const int h = TextRectSize(Canvas, CalcText(Item), 800).cy;
  if (IsCaptionItem(Item)) return h + 2 * Margin + 3;
  return std::max(h, int(ItemGlyphSize(Item).cy)) + 2 * Margin + 2;
}

int TsSkinableMenus::PopupHeight(TCanvas* Canvas, TMenuItem* Item) {
  TMenuItem* parent = Item->Parent();
  if (!parent) return 0;
  int best = 0, column = 0;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* it = parent->Items(i);
    if (!it->Visible()) continue;
    const int h = ItemHeight(Canvas, it);
    if (it->Break() != mbNone) {
      best = std::max(best, column);
      column = h;
    } else {
      column += h;
    }
  }
  return std::max(best, column);
}

int TsSkinableMenus::PopupWidth(TCanvas* Canvas, TMenuItem* Item) {
  RECT clip;
  if (GetClipBox(Canvas->Handle(), &clip) != NULLREGION) return clip.right - clip.left;
  TMenuItem* parent = Item->Parent();
  if (!parent) return 0;
  int sum = 0, column = 0;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* it = parent->Items(i);
    if (!it->Visible()) continue;
    int w = 0, h = 0;
    sMeasureItem(it, Canvas, w, h);
    if (it->Break() != mbNone) {
      sum += column + 12 + 4;
      column = 0;
    }
    column = std::max(column, w);
  }
  return column + 12 + sum;
}

bool TsSkinableMenus::FetchExtraLine(TMenuItem* FirstItem) {
  ExtraLineData& x = ExtraLine();
  if (FirstItem && FirstItem->GetName() == "SkinSelectItem") return false;
  x.Glyph.reset();
  bool visible = true;
  if (FOwner && FOwner->OnGetMenuExtraLineData) {
    x.Guard = true;
    x.Section = "EXTRALINE";
    x.Caption = "Use OnGetExtraLineData event";
    FOwner->OnGetMenuExtraLineData(FirstItem, x.Section, x.Caption, x.Glyph, visible);
    x.Caption.erase(std::remove(x.Caption.begin(), x.Caption.end(), '&'), x.Caption.end());
    if (!visible) x.Glyph.reset();
    x.Guard = false;
  }
  return visible;
}

void TsSkinableMenus::sMeasureItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || (item->ComponentState() & csDestroying)) return;
  SkinnedMenuMeasured = true;
  TacMenuInfo* mi = GetMenuInfo(item, nullptr, nullptr);
  it = item->Caption() == "-" ? smDivider : IsCaptionItem(item) ? smCaption : smNormal;
  bool lineVisible = false;
  if (mi) {
    lineVisible = mi->HaveExtraLine;
  } else if (!ExtraLine().Guard && FOwner && !(FOwner->ComponentState() & csDesigning)) {
    TMenuItem* first = item->Parent() && item->Parent()->Count() > 0 ? item->Parent()->Items(0) : item;
    lineVisible = FetchExtraLine(first);
  }
  SetItemFont(ACanvas, item, false, item->Default());
  String text;
  int width = 800;
  if (it == smCaption) {
    text = item->Caption();
    width = ACanvas->TextWidth(text);
  } else if (it == smNormal) {
    text = item->Caption() + ShortCutToText(item->ShortCut());
  }
  if (FOwner && FOwner->OnGetPopupItemData) {
    TacMenuItemData data{ACanvas->Font()};
    FOwner->OnGetPopupItemData(item, TOwnerDrawState(), data);
    ACanvas->TextExtent("");
  }
  const int glyph = ItemGlyphSize(item).cx;
  if (!text.empty()) {
    Width = 2 * glyph + TextRectSize(ACanvas, text, width).cx + 3 * Margin + Spacing;
    if (NoBorder()) Width -= 2 * BorderWidth;
  } else {
    Width = 2 * glyph + 3 * Margin + Spacing;
  }
  if (lineVisible && (InFirstColumn(item) || item->MenuIndex() == 0) && FOwner && FOwner->MenuSupport.UseExtraLine)
    Width += FOwner->ScaleInt(FOwner->MenuSupport.ExtraLineWidth);
  Height = ItemHeight(ACanvas, item);
}

void TsSkinableMenus::sMeasureLineItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  Height = GetSystemMetrics(SM_CYMENU) - 1;
  SetItemFont(ACanvas, item, false, false);
  String text = item->Caption();
  text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
  Width = ACanvas->TextWidth(text);
  TMenu* menu = item->GetParentMenu();
  if (menu && menu->Images() && item->ImageIndex() >= 0) Width += menu->Images()->Width() + 6;
  else if (!item->Bitmap()->Empty()) Width += item->Bitmap()->Width() + 6;
}

// ---- Popup backgrounds ----

TacMenuInfo* TsSkinableMenus::GetMenuInfo(TMenuItem* Item, TCanvas* aCanvas, HWND aWnd) {
  auto find = [&]() -> TacMenuInfo* {
    for (TacMenuInfo& mi : Cache()) {
      if (Item) {
        TMenuItem* first = Item->Parent() && Item->Parent()->Count() > 0 ? Item->Parent()->Items(0) : Item;
        if (mi.FirstItem == first) return &mi;
      } else if (aWnd && mi.Wnd == aWnd) {
        return &mi;
      }
    }
    return nullptr;
  };
  TacMenuInfo* mi = find();
  if (!mi && aCanvas && Item) {
    int w, h;
    RECT r{};
    if (aWnd) {
      if (GetWindowRect(aWnd, &r)) w = r.right - r.left, h = r.bottom - r.top;
      else w = h = 0;
    } else {
      w = PopupWidth(aCanvas, Item) + 2 * BorderWidth;
      h = PopupHeight(aCanvas, Item) + 2 * BorderWidth;
    }
    PrepareMenuBG(Item, w, h, aWnd);
    mi = find();
  }
  return mi;
}

void TsSkinableMenus::PrepareMenuBG(TMenuItem* Item, int Width, int Height, HWND Wnd) {
  TMenuItem* first = Item->Parent() && Item->Parent()->Count() > 0 ? Item->Parent()->Items(0) : Item;
  bool haveExtraLine = false;
  if (FOwner && !(FOwner->ComponentState() & csDesigning)) haveExtraLine = FetchExtraLine(first);
  const TacSkinRecords* s = Skin();
  TacMenuInfo mi;
  mi.FirstItem = first;
  mi.HaveExtraLine = haveExtraLine;
  mi.Wnd = Wnd;
  mi.Bmp = NewBitmap32(std::max(Width, 0), std::max(Height, 0));
  TBitmap* bmp = mi.Bmp.get();
  GlyphW = ItemGlyphSize(Item).cx;
  IcoW = RealBorderWidth() + Margin + GlyphW + Spacing - BorderWidth;
  const int main = SectionIndex(ssMainMenu);
  const int sbw = SkinBorderWidth();
  const int extra = ExtraWidth(mi);
  ArOR.clear();
  if (s && s->IsValidSkinIndex(main) && bmp->Width() > 0 && bmp->Height() > 0) {
    TCacheInfo ci = EmptyCI;
    const TRect all(0, 0, bmp->Width(), bmp->Height());
    PaintSectionBg(main, ci, 0, all, TPoint(0, 0), bmp, s, -1, -1, clFuchsia);
    const int ico = FOwner ? s->GetSkinIndex(FOwner->MenuSupport.IcoLineSkin) : -1;
    if (s->IsValidSkinIndex(ico) && Height - 2 * sbw > 0 && IcoW > 0) {
      auto strip = NewBitmap32(IcoW, Height - 2 * sbw);
      TCacheInfo parent;
      MakeCacheInfo(bmp, 0, 0, parent);
      PaintSkinItem(ico, parent, -1, -1, s, strip.get(), TPoint(extra + sbw, sbw),
                    TRect(0, 0, strip->Width(), strip->Height()), 0);
      BlitBmp(bmp, extra + sbw, sbw, strip->Width(), strip->Height(), strip.get(), 0, 0);
    }
    const int border = s->gd[size_t(main)].BorderIndex;
    if (s->IsValidImgIndex(border)) PaintMask(bmp, all, EmptyCI, s->ma[size_t(border)], 0, false);
    // The extra line down the left side.
    ExtraLineData& x = ExtraLine();
    const int xs = s->GetSkinIndex(x.Section);
    if (extra > 0 && s->IsValidSkinIndex(xs) && Height - 2 * sbw > 0) {
      auto strip = NewBitmap32(extra, Height - 2 * sbw);
      PaintSkinItem(xs, EmptyCI, -1, -1, s, strip.get(), TPoint(0, 0), TRect(0, 0, strip->Width(), strip->Height()), 0);
      int bottomGap = 12;
      if (x.Glyph && !x.Glyph->Empty()) {
        bottomGap += x.Glyph->Height() + 8;
        strip->Canvas()->Draw((extra - x.Glyph->Width()) / 2, strip->Height() - 12 - x.Glyph->Height(), x.Glyph.get());
      }
      if (!x.Caption.empty()) {
        TFont* f = FOwner->MenuSupport.ExtraLineFont();
        LOGFONT lf;
        lf.lfHeight = FOwner->ScaleInt(f->Height());
        lf.lfEscapement = lf.lfOrientation = -2700;
        lf.lfWeight = f->Style().Contains(fsBold) ? 700 : 400;
        lf.lfItalic = f->Style().Contains(fsItalic);
        lf.lfUnderline = f->Style().Contains(fsUnderline);
        lf.lfStrikeOut = f->Style().Contains(fsStrikeOut);
        lf.lfQuality = 4;  // antialiased
        std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", f->Name().c_str());
        HFONT font = CreateFontIndirect(&lf);
        HDC dc = strip->Canvas()->Handle();
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(s->gd[size_t(xs)].Props[0].FontColor.Color));
        SIZE ts{};
        GetTextExtentPoint32(dc, x.Caption.c_str(), int(x.Caption.size()), &ts);
        TextOut(dc, (extra - ts.cy) / 2, strip->Height() - bottomGap, x.Caption.c_str(), int(x.Caption.size()));
        SelectObject(dc, old);
        DeleteObject(font);
      }
      BlitBmp(bmp, sbw, sbw, strip->Width(), strip->Height(), strip.get(), 0, 0);
    }
    x.Glyph.reset();
    const int corners = s->GetMaskIndex(main, s->gd[size_t(main)].ClassName, "BORDERSMASK");
    if (s->IsValidImgIndex(corners)) {
      const TsMaskData& md = s->ma[size_t(corners)];
      GetMaskTransparentRects(ArOR, bmp->Width(), md, false, 0);
      GetMaskTransparentRects(ArOR, bmp->Width(), md, true, Height - md.WB);
    }
  }
  Cache().push_back(std::move(mi));
  if (Wnd) DrawWndBorder(Wnd, Cache().back().Bmp.get());
}

void TsSkinableMenus::DrawWndBorder(HWND Wnd, TBitmap* MenuBmp) {
  if (BorderDrawing || !MenuBmp || !Wnd) return;
  if (SendMessageW(Wnd, WM_SKINCOMMAND, SkinCommandWParam(SKC_SETUPDATING), 0) != 0) return;
  SendMessageW(Wnd, WM_SKINCOMMAND, SkinCommandWParam(SKC_MENURGNCHANGED), 0);
  BorderDrawing = true;
  HRGN rgn = CreateRectRgn(0, 0, MenuBmp->Width(), MenuBmp->Height());
  auto cut = [&](const TRect& r) {
    HRGN piece = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    CombineRgn(rgn, rgn, piece, RGN_DIFF);
    DeleteObject(piece);
  };
  if (ArOR.empty()) cut(TRect(0, 0, 1, 1));
  for (const TRect& r : ArOR) cut(r);
  SetWindowRgn(Wnd, rgn, TRUE);  // the window owns the region now
  HDC dc = GetWindowDC(Wnd);
  CopyBorderStrips(dc, 0, 0, MenuBmp->Width(), MenuBmp->Height(), MenuBmp->Canvas()->Handle(), 0, 0, 3);
  ReleaseDC(Wnd, dc);
  BorderDrawing = false;
}
