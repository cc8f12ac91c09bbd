// The title-bar component: its items, their measuring, the bar's layout by
// alignment and the items' mouse logic (clicks, tab groups, drop-down menus).

#include "skin/forms/sTitleBar.h"

#include <algorithm>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/controls/acSBUtils.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"

namespace {

// One drop-down at a time in the whole program.
bool DropdownGuard = false;

bool Loading(TComponent* C) { return C && (C->ComponentState() & csLoading); }

// A click that will still reach the window waits in the queue.
bool ClickPending() {
  MSG m;
  return PeekMessageW(&m, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_NOREMOVE) ||
         PeekMessageW(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE);
}

// The default picture of menu items: three 17 x 20 frames (normal, hot,
// pressed), key colour 0xFF00FF outside the rounded box, opaque and
// premultiplied inside.
std::unique_ptr<TBitmap> MakeDefaultMenuButton() {
  constexpr int kW = 17, kH = 20;
  auto b = NewBitmap32(kW * 3, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW * 3; ++x) SetPixel32(b.get(), x, y, 0x00FF00FFu);
  // Normal: nothing but the key; hot: a light box; pressed: a darker one.
  const uint32_t fill[3] = {0, 0xFF5A8DB8u, 0xFF2F5F8Au};
  const uint32_t edge[3] = {0, 0xFF9CC2E0u, 0xFF1C3E5Eu};
  for (int f = 1; f < 3; ++f)
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const bool corner = (x == 0 || x == kW - 1) && (y == 0 || y == kH - 1);
        if (corner) continue;
        const bool border = x == 0 || y == 0 || x == kW - 1 || y == kH - 1;
        SetPixel32(b.get(), f * kW + x, y, border ? edge[f] : fill[f]);
      }
  return b;
}

}  // namespace

// ---- TacFontData ----

TacFontData::TacFontData() : UsedFont(std::make_unique<TFont>()), FFont(std::make_unique<TFont>()) {}
TacFontData::~TacFontData() = default;

void TacFontData::SetUseSys(int Index, bool Value) {
  FUseSys[size_t(Index)] = Value;
  Invalidate();
}

void TacFontData::SetGlowSize(int Value) {
  if (FGlowSize == Value) return;
  FGlowSize = Value;
  Invalidate();
}

void TacFontData::SetGlowColor(TColor Value) {
  if (FGlowColor == Value) return;
  FGlowColor = Value;
  Invalidate();
}

void TacFontData::Invalidate() {
  if (WndHandle) SendSkinMessage(WndHandle, WM_SKINCOMMAND, SkinCommandWParam(SKC_TITLECHANGED), 1);
}

// ---- TacTitleBarItem ----

TacTitleBarItem::TacTitleBarItem(TCollection* ACollection)
    : TCollectionItem(ACollection), FFontData(std::make_unique<TacFontData>()), FGlyph(std::make_unique<TBitmap>()) {
  TCustomForm* f = OwnerForm();
  if (f && f->HandleAllocated()) FFontData->WndHandle = f->Handle();
  if (FName.empty()) FName = "TacTitleBarItem";
}

TacTitleBarItem::~TacTitleBarItem() {
  delete std::exchange(Timer, nullptr);
  delete std::exchange(HintWnd, nullptr);
}

TsTitleBar* TacTitleBarItem::Bar() const {
  auto* items = dynamic_cast<TacTitleItems*>(Collection());
  return items ? items->FOwner : nullptr;
}

TCustomForm* TacTitleBarItem::OwnerForm() const {
  TsTitleBar* b = Bar();
  return b ? b->Form : nullptr;
}

TBitmap* TacTitleBarItem::DefaultMenuBtn() const {
  TsTitleBar* b = Bar();
  return b ? b->FDefaultMenuBtn.get() : nullptr;
}

void TacTitleBarItem::AssignTo(TPersistent* Dest) {
  auto* d = dynamic_cast<TacTitleBarItem*>(Dest);
  if (!d) {
    TCollectionItem::AssignTo(Dest);
    return;
  }
  d->SetAutoSize(FAutoSize);
  d->SetAlign(FAlign);
  d->SetCaption(FCaption);
  d->SetEnabled(FEnabled);
  d->SetGlyph(FGlyph.get());
  d->SetGroupIndex(FGroupIndex);
  d->Hint = Hint;
  d->SetImageIndex(FImageIndex);
  d->SetName(FName);
  d->SetNumGlyphs(FNumGlyphs);
  d->SetStyle(FStyle);
  d->SetVisible(FVisible);
  d->OnMouseDown = OnMouseDown;
  d->OnMouseUp = OnMouseUp;
}

void TacTitleBarItem::SetAlign(TacItemAlign Value) {
  if (FAlign == Value) return;
  FAlign = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate(false);
}

void TacTitleBarItem::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetCaption(const String& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetGlyph(TBitmap* Value) {
  FGlyph->Assign(Value);
  Invalidate(true);
}

void TacTitleBarItem::SetSkinSection(const String& Value) {
  if (FSkinSection == Value) return;
  FSkinSection = Value;
  Changed();
  Invalidate(false);
}

void TacTitleBarItem::SetStyle(TacBtnStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetInteger(int Index, int Value) {
  if (State() == 2) SetState(0);
  int* fields[9] = {&FDisabledImageIndex, &FImageIndex, &FHotImageIndex, &FPressedImageIndex, &FNumGlyphs,
                    &FSpacing,            &FHeight,     &FWidth,         &FGroupIndex};
  int& f = *fields[Index];
  if (f == Value) return;
  f = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetState(int Value) {
  if (Value == FState) return;
  FState = FDroppedDown ? 2 : Value;
}

bool TacTitleBarItem::SameGroup(const TacTitleBarItem* Other) const {
  // Group 0 joins the tabs only; buttons group with a non-zero index.
  return Other->FGroupIndex == FGroupIndex && (FGroupIndex != 0 || (Other->FStyle == bsTab && FStyle == bsTab));
}

void TacTitleBarItem::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  SetState(Value ? 2 : 0);
  if (Value && (FGroupIndex != 0 || FStyle == bsTab) && Collection()) {
    // Tabs of group 0 form one group; buttons only with a group index of their own.
    TCollection* c = Collection();
    for (int i = 0; i < c->Count(); ++i) {
      auto* other = static_cast<TacTitleBarItem*>(c->Items(i));
      if (other != this && SameGroup(other)) {
        other->FDown = false;
        other->FState = 0;
      }
    }
  }
  Invalidate(false);
}

void TacTitleBarItem::Changed() {
  if (OnChanged) OnChanged(this);
}

void TacTitleBarItem::Invalidate(bool RecalcSize) {
  TCustomForm* f = OwnerForm();
  if (!f || Loading(f) || Loading(Bar())) return;
  if (RecalcSize && FAutoSize) UpdateSize(false);
  if (Timer) {
    Timer->NewBmp.reset();
    delete std::exchange(Timer->AForm, nullptr);
  }
  if (Bar()->FUpdating || !f->HandleAllocated()) return;
  HWND h = f->Handle();
  if (SendSkinMessage(h, WM_SKINCOMMAND, SkinCommandWParam(SKC_ISUPDATING), 0) != 0) return;
  SendSkinMessage(h, WM_SKINCOMMAND, SkinCommandWParam(SKC_TITLECHANGED), 1);
}

void TacTitleBarItem::InitFont() {
  TFont* used = FFontData->UsedFont.get();
  TFont* font = FFontData->Font();
  NONCLIENTMETRICSW m;
  int sysHeight = font->Height();
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) {
    used->SetName(m.lfCaptionFont.lfFaceName);
    used->SetStyle(m.lfCaptionFont.lfWeight >= FW_BOLD ? TFontStyles{fsBold} : TFontStyles{});
    sysHeight = m.lfCaptionFont.lfHeight;
  }
  if (!FFontData->UseSysStyle()) used->SetStyle(font->Style());
  if (!FFontData->UseSysFontName()) used->SetName(font->Name());
  TsSkinManager* sm = DefaultSkinManager();
  if (FFontData->UseSysSize() && sm)
    used->SetHeight(sm->ScaleInt(sysHeight, sm->SysFontScale));
  else
    used->SetHeight(font->Height());
}

void TacTitleBarItem::UpdateSize(bool ContentOnly) {
  if (!FVisible) return;
  TsTitleBar* bar = Bar();
  TSize c{0, 0};
  TCustomImageList* images = bar ? bar->Images() : nullptr;
  if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
    c = TSize{images->Width(), images->Height()};
  } else if (!FGlyph->Empty()) {
    c = TSize{FGlyph->Width() / std::max(1, FNumGlyphs), FGlyph->Height()};
  }
  bool fontReady = false;
  if (!FCaption.empty()) {
    InitFont();
    fontReady = true;
    TSize t{0, 0};
    if (!MeasureTextWithFont(FFontData->UsedFont->Handle(), FCaption, DT_SINGLELINE, t, 0, false)) t = TSize{0, 0};
    if (c.cx > 0) c.cx += FSpacing;
    c = TSize{c.cx + t.cx + (FStyle == bsTab ? 4 : 0), std::max(c.cy, t.cy)};
  }
  if ((FStyle == bsButton || FStyle == bsMenu) && FDropdownMenu) {
    if (!fontReady) InitFont();
    // Room for the drop-down arrow: the symbol face's "u".
    TFont arrow;
    arrow.SetName("Marlett");
    arrow.SetHeight(FFontData->UsedFont->Height());
    TSize u{0, 0};
    MeasureTextWithFont(arrow.Handle(), "u", DT_SINGLELINE, u, 0, false);
    c.cx += (FStyle == bsMenu ? 4 : 1) + u.cx;
  }
  if (FStyle == bsMenu || FStyle == bsTab) c.cy += 1;
  FContentSize = c;
  if (ContentOnly || FStyle == bsSpacing) return;
  const int margin = bar ? bar->ItemsMargin : 3;
  FWidth = std::max(16, (IntXMargin() + margin) * 2 + c.cx);
  FHeight = std::max(16, margin * 2 + c.cy);
}

void TacTitleBarItem::ScaleItem(int M, int D) {
  if (D == 0) return;
  FFontData->Font()->SetHeight(MulDivRound(FFontData->Font()->Height(), M, D));
  FSpacing = MulDivRound(FSpacing, M, D);
  if (FAutoSize) {
    UpdateSize(false);
  } else {
    FWidth = MulDivRound(FWidth, M, D);
    FHeight = MulDivRound(FHeight, M, D);
  }
}

TRect TacTitleBarItem::ScreenRect() const {
  RECT wr{0, 0, 0, 0};
  if (ExtForm && ExtForm->HandleAllocated()) {
    GetWindowRect(ExtForm->Handle(), &wr);
  } else {
    TCustomForm* f = OwnerForm();
    TsSkinProvider* sp = f ? ProviderOfComponent(f) : nullptr;
    HWND h = sp && sp->BorderForm && sp->BorderForm->AForm && sp->BorderForm->AForm->HandleAllocated()
                 ? sp->BorderForm->AForm->Handle()
                 : f && f->HandleAllocated() ? f->Handle() : nullptr;
    if (h) GetWindowRect(h, &wr);
  }
  return TRect(Rect.Left + wr.left, Rect.Top + wr.top, Rect.Right + wr.left, Rect.Bottom + wr.top);
}

void TacTitleBarItem::DoClick() {
  FPressed = false;
  if (OnClick) OnClick(this);
}

void TacTitleBarItem::DoMouseDown(TMouseButtonKind Button, TShiftState Shift, int X, int Y) {
  if (FPressed || !FEnabled) return;
  FPressed = true;
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
  switch (FStyle) {
    case bsTab:
      if (FDown) return;
      DoClick();
      if (FGroupIndex < 0) {
        Invalidate(false);
        return;
      }
      if (TsTitleBar* bar = Bar()) {
        bar->FUpdating = true;
        for (int i = 0; i < Collection()->Count(); ++i) {
          auto* other = static_cast<TacTitleBarItem*>(Collection()->Items(i));
          if (other != this && other->FVisible && SameGroup(other) && other->FDown) other->SetDown(false);
        }
        bar->FUpdating = false;
      }
      SetDown(true);
      return;
    case bsSpacing:
    case bsInfo:
      return;
    case bsButton:
    case bsMenu:
      break;
  }
  if (!FDropdownMenu || FDropdownMenu->Items()->Count() == 0) return;  // the click comes with the release
  if (DropdownGuard) {
    // The click that closed this item's menu: the menu stays closed.
    DropdownGuard = false;
    return;
  }
  DropdownGuard = true;
  const TRect sr = ScreenRect();
  FDroppedDown = true;
  delete std::exchange(Timer, nullptr);
  Invalidate(false);
  FDropdownMenu->Popup(sr.Left, sr.Bottom);
  FDroppedDown = false;
  FPressed = false;
  POINT p;
  GetCursorPos(&p);
  if (ScreenRect().Contains(TPoint(p.x, p.y))) {
    FState = 1;
    Invalidate(false);
    // The guard stays only while the closing click is still on its way to
    // the window: a menu loop that swallowed it must not cost the next click.
    if (!ClickPending()) DropdownGuard = false;
    return;
  }
  FState = 0;
  Invalidate(false);
  DoClick();
  DropdownGuard = false;
}

void TacTitleBarItem::DoMouseUp(TMouseButtonKind Button, TShiftState Shift, int X, int Y) {
  if (!FEnabled) return;
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  if (Button == mbRight) return;
  if (FPressed && FStyle != bsTab) DoClick();
  FPressed = false;
  FState = 1;
}

// ---- TacTitleItems ----

TacTitleItems::TacTitleItems(TsTitleBar* AOwner)
    : TCollection(TCollection::ItemClassOf<TacTitleBarItem>()), FOwner(AOwner) {}

TPersistent* TacTitleItems::GetOwner() { return FOwner; }

TacTitleBarItem* TacTitleItems::Insert(int Index) {
  TsSkinProvider* sp = FOwner && FOwner->Form ? ProviderOfComponent(FOwner->Form) : nullptr;
  if (sp && sp->biClicked) sp->KillAnimations();
  return static_cast<TacTitleBarItem*>(TCollection::Insert(Index));
}

// ---- TsTitleBar ----

TsTitleBar* FindTitleBar(TComponent* Form) {
  TsTitleBar* found = nullptr;
  if (!Form) return nullptr;
  for (int i = 0; i < Form->ComponentCount(); ++i)
    if (auto* b = dynamic_cast<TsTitleBar*>(Form->Components(i))) found = b;
  return found;
}

namespace {
TsSkinProvider* ProviderAmong(TComponent* Form) {
  if (!Form) return nullptr;
  for (int i = 0; i < Form->ComponentCount(); ++i)
    if (auto* p = dynamic_cast<TsSkinProvider*>(Form->Components(i))) return p;
  return nullptr;
}
}  // namespace

TsTitleBar::TsTitleBar(TComponent* AOwner) : TComponent(AOwner) {
  Form = dynamic_cast<TCustomForm*>(AOwner);
  if (!Form) {
    // Leave the owner before the silent abort, so nothing refers to a half-made component.
    if (AOwner) AOwner->RemoveComponent(this);
    throw EAbort("TsTitleBar component may be used with forms only!");
  }
  FDefaultMenuBtn = MakeDefaultMenuButton();
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->OnChange = [this](TObject*) {
    UpdateAutoSized();
    Invalidate();
  };
  FItems = std::make_unique<TacTitleItems>(this);
  if (TsSkinProvider* sp = ProviderAmong(Form); sp && !sp->TitleBar()) sp->SetTitleBar(this);
}

TsTitleBar::~TsTitleBar() {
  if (TsSkinProvider* sp = ProviderAmong(Form); sp && sp->TitleBar() == this) sp->SetTitleBar(nullptr);
  SetImages(nullptr);
  FItems.reset();
}

void TsTitleBar::Loaded() { UpdateAutoSized(); }

void TsTitleBar::UpdateAutoSized() {
  for (int i = 0; i < FItems->Count(); ++i)
    if (FItems->Items(i)->AutoSize()) FItems->Items(i)->UpdateSize(false);
}

void TsTitleBar::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) {
    FImages = nullptr;
    FImageChangeLink->Sender = nullptr;
  }
  if (FItems)
    for (int i = 0; i < FItems->Count(); ++i)
      if (FItems->Items(i)->DropdownMenu() == AComponent) FItems->Items(i)->SetDropdownMenu(nullptr);
}

void TsTitleBar::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  if (FImages) {
    FImages->UnRegisterChanges(FImageChangeLink.get());
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(FImageChangeLink.get());
    FImages->FreeNotification(this);
  }
  if (!FItems) return;
  UpdateAutoSized();
  CalcSizes();
  Invalidate();
}

void TsTitleBar::SetShowCaption(bool Value) {
  if (FShowCaption == Value) return;
  FShowCaption = Value;
  Invalidate();
}

void TsTitleBar::Invalidate() {
  if (!Form || Loading(Form) || Loading(this) || !Form->HandleAllocated()) return;
  SendSkinMessage(Form->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_TITLECHANGED), 1);
}

void TsTitleBar::UpdateScale(int NewValue) {
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->ScaleItem(NewValue, OldScaleValue);
  CalcSizes();
  OldScaleValue = NewValue;
}

void TsTitleBar::CalcSizes() {
  FLeftWidth = 0;
  FRightWidth = RightSpacing;
  FCenterWidth = 0;
  FCenterWidthS = 0;
  const int n = FItems->Count();
  for (int i = 0; i < n; ++i) {
    TacTitleBarItem* it = FItems->Items(i);
    if (!it->Visible()) continue;
    switch (it->Align()) {
      case tbaLeft: FLeftWidth += it->Width(); break;
      case tbaRight: FRightWidth += it->Width(); break;
      case tbaCenter: FCenterWidth += it->Width(); break;
      case tbaCenterInSpace: FCenterWidthS += it->Width(); break;
    }
  }
  int pos[4];
  pos[tbaLeft] = FBarRect.Left;
  pos[tbaRight] = FBarRect.Right - FRightWidth;
  pos[tbaCenter] = FBarRect.Left + (FFullRight - FBarRect.Left - FCenterWidth) / 2;
  pos[tbaCenterInSpace] =
      FBarRect.Left + FLeftWidth + (FBarRect.Right - FBarRect.Left - FRightWidth - FLeftWidth - FCenterWidthS) / 2;
  for (int i = 0; i < n; ++i) {
    TacTitleBarItem* it = FItems->Items(i);
    if (!it->Visible()) continue;
    TRect& r = it->Rect;
    switch (it->Style()) {
      case bsMenu: r.Top = FBarRect.Top; break;
      case bsTab: r.Top = FBarRect.Bottom - it->Height(); break;
      default: r.Top = FBarVCenter - it->Height() / 2; break;
    }
    r.Bottom = r.Top + it->Height();
    int& x = pos[it->Align()];
    r.Left = x;
    r.Right = x + it->Width();
    x = r.Right;
  }
}

int TsTitleBar::ItemAt(const TPoint& P) const {
  for (int i = 0; i < FItems->Count(); ++i) {
    TacTitleBarItem* it = FItems->Items(i);
    if (it->Visible() && it->Rect.Contains(P)) return i;
  }
  return -1;
}

// ---- Hints ----

void ShowTitleItemHint(TacTitleBarItem* Item) {
  if (!Item || Item->HintWnd || Item->Hint.empty() || !HintWindowClass) return;
  POINT p;
  GetCursorPos(&p);
  THintWindow* w = HintWindowClass(nullptr);
  const TRect size = w->CalcHintRect(800, Item->Hint, nullptr);
  // The framework's own hint shows at the pointer, any other kind (the
  // library's alpha hints) 16 pixels below it. Either window is kept, so that
  // it goes when the item stops being hot.
  const int dy = HintWindowClass == &HintWindowClassOf<THintWindow> ? 0 : 16;
  w->ActivateHint(Bounds(p.x, p.y + dy, size.Width(), size.Height()), Item->Hint);
  Item->HintWnd = w;
}

void HideTitleItemHint(TacTitleBarItem* Item) {
  if (Item) delete std::exchange(Item->HintWnd, nullptr);
}
