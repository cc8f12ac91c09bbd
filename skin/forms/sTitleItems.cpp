// The provider's title option objects: the title icon, the user's title
// buttons, the added title and the form header. Each asks its provider to
// repaint when a change shows.

#include <utility>

#include "skin/core/acThdTimer.h"
#include "skin/forms/sSkinProvider.h"

namespace {

bool Loading(const TsSkinProvider* P) { return P && (P->ComponentState() & csLoading); }
bool Designing(const TsSkinProvider* P) { return P && (P->ComponentState() & csDesigning); }

void RepaintFrame(TsSkinProvider* P) {
  if (P && !P->FormDestroying()) P->UpdateNonClient();
}

}  // namespace

// ---- TsTitleIcon ----

TsTitleIcon::TsTitleIcon(TsSkinProvider* AOwner) : FOwner(AOwner), FGlyph(std::make_unique<TBitmap>()) {
  FGlyph->OnChange = [this](TObject*) { RepaintFrame(FOwner); };
}

TsTitleIcon::~TsTitleIcon() { FGlyph->OnChange = nullptr; }

void TsTitleIcon::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

void TsTitleIcon::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  if (!Loading(FOwner) && !Designing(FOwner)) RepaintFrame(FOwner);
}

// ---- TsTitleButton ----

TsTitleButton::TsTitleButton(TCollection* ACollection)
    : TCollectionItem(ACollection), FName("TsTitleButton"), FGlyph(std::make_unique<TBitmap>()) {
  // A new picture ends a running state animation, which would paint the old one.
  FGlyph->OnChange = [this](TObject*) { delete std::exchange(Data.cpTimer, nullptr); };
}

TsTitleButton::~TsTitleButton() {
  FGlyph->OnChange = nullptr;
  delete std::exchange(Data.cpTimer, nullptr);
  delete std::exchange(HintWnd, nullptr);
}

TsSkinProvider* TsTitleButton::Provider() const {
  auto* Buttons = dynamic_cast<TsTitleButtons*>(Collection());
  return Buttons ? Buttons->FOwner : nullptr;
}

void TsTitleButton::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  RepaintFrame(Provider());
}

void TsTitleButton::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

String TsTitleButton::GetDisplayName() { return FName; }

void TsTitleButton::MouseDown(TMouseButtonKind Button, TShiftState Shift, int X, int Y) {
  if (FOnMouseDown) FOnMouseDown(this, Button, Shift, X, Y);
}

void TsTitleButton::MouseUp(TMouseButtonKind Button, TShiftState Shift, int X, int Y) {
  if (FOnMouseUp) FOnMouseUp(this, Button, Shift, X, Y);
}

// Into another title button: everything but Visible, events included.
void TsTitleButton::AssignTo(TPersistent* Dest) {
  auto* B = dynamic_cast<TsTitleButton*>(Dest);
  if (!B) return TCollectionItem::AssignTo(Dest);
  B->FEnabled = FEnabled;
  B->SetGlyph(FGlyph.get());
  B->FHint = FHint;
  B->FName = FName;
  B->FUseSkinData = FUseSkinData;
  B->FOnMouseDown = FOnMouseDown;
  B->FOnMouseUp = FOnMouseUp;
}

// ---- TsTitleButtons ----

TsTitleButtons::TsTitleButtons(TsSkinProvider* AOwner)
    : TCollection(TCollection::ItemClassOf<TsTitleButton>()), FOwner(AOwner) {}

TsTitleButtons::~TsTitleButtons() {
  // The items must not reach the provider while they are freed.
  FOwner = nullptr;
  Clear();
}

TPersistent* TsTitleButtons::GetOwner() { return FOwner; }

void TsTitleButtons::Update(TCollectionItem*) {}

// ---- TacAddedTitle ----

namespace {

std::unique_ptr<TFont> NewTitleFont() {
  auto F = std::make_unique<TFont>();
  F->SetColor(kNoColorTone);  // the title section's text colour of the current state
  return F;
}

}  // namespace

TacAddedTitle::TacAddedTitle() : FFont(NewTitleFont()) {}

TacAddedTitle::~TacAddedTitle() = default;

void TacAddedTitle::SetFont(TFont* Value) {
  FFont->Assign(Value);
  UpdateTitle();
}

void TacAddedTitle::SetShowMainCaption(bool Value) {
  if (FShowMainCaption == Value) return;
  FShowMainCaption = Value;
  UpdateTitle();
}

void TacAddedTitle::SetText(const String& Value) {
  if (FText == Value) return;
  FText = Value;
  UpdateTitle();
}

bool TacAddedTitle::FontStored() const {
  const auto Plain = NewTitleFont();
  return FFont->Name() != Plain->Name() || FFont->Size() != Plain->Size() || FFont->Style() != Plain->Style() ||
         FFont->Color() != Plain->Color();
}

void TacAddedTitle::UpdateTitle() {
  if (!Loading(FOwner)) RepaintFrame(FOwner);
}

// ---- TacFormHeader ----

void TacFormHeader::SetAdditionalHeight(int Value) {
  if (FAdditionalHeight == Value) return;
  FAdditionalHeight = Value;
  if (FOwner && !Loading(FOwner) && FOwner->SkinData()) FOwner->SkinData()->Invalidate();
}
