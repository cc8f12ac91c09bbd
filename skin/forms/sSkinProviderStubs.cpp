// Interim bodies of the provider's methods whose subjects have units of their
// own (title buttons, system menu, option objects, services, skin commands,
// extended borders, the menu line). Each is the smallest behaviour the frame
// needs; a unit that takes a subject over moves its definitions out of here.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"

// ---- Menu line ----

void TsSkinProvider::PrepareMenuLine() {}
bool TsSkinProvider::UpdateMenu() { return false; }
void TsSkinProvider::InitMenuItems(bool) {}
void TsSkinProvider::RepaintMenu() {}

// ---- Extended borders and caption cover ----

TacBorderForm::TacBorderForm(TObject* AOwner) : FOwner(AOwner), sp(dynamic_cast<TsSkinProvider*>(AOwner)) {}
TacBorderForm::~TacBorderForm() { delete std::exchange(AForm, nullptr); }
HWND TacBorderForm::OwnerHandle() const {
  return sp && sp->Form && sp->Form->HandleAllocated() ? sp->Form->Handle() : nullptr;
}
TRect TacBorderForm::ShadowSize() const {
  const TacSkinRecords* s = SkinData ? SkinData->SkinManager() : nullptr;
  return s ? s->FormShadowSize : TRect();
}
void TacBorderForm::UpdateExBordersPos(bool, uint8_t) {}

void TsSkinProvider::UpdateExBorders(bool Allow) {
  if (!Allow) delete std::exchange(BorderForm, nullptr);
}
void TsSkinProvider::ShowCaptionCover() {}
void TsSkinProvider::HideCaptionCover() {}
