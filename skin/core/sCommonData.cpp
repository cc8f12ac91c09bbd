#include "skin/core/sCommonData.h"

#include "skin/core/AlphaBitmaps.h"

TsCommonData::TsCommonData(TObject* AOwner, bool CreateCacheBmp)
    : FOwnerObject(AOwner), FOwnerControl(dynamic_cast<TControl*>(AOwner)) {
  if (CreateCacheBmp) FCacheBmp = NewBitmap32(0, 0);
}

bool TsCommonData::Skinned(bool CheckSkinActive) const {
  if (!FSkinManager || !FSkinManager->IsValidSkinIndex(SkinIndex)) return false;
  if (auto* c = dynamic_cast<TComponent*>(FOwnerObject); c && (c->ComponentState() & csDestroying)) return false;
  return !CheckSkinActive || FSkinManager->CommonSkinData.Active;
}
