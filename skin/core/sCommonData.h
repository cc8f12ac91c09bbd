#pragma once
// The skin record of one skinned control, as far as the painters read it:
// which section paints the control, its cached image, its own colours and its
// colour transforms. The skin manager creates and fills these records; a
// record with SkinIndex -1 is not skinned.

#include <memory>

#include "platform/vcl/Controls.h"
#include "skin/core/sSkinRecords.h"

// No colour tone.
inline constexpr TColor kNoColorTone = 0x1FFFFFFF;

class TsCommonData {
 public:
  // Owner: the control or object the record skins; CreateCacheBmp makes its cached image.
  explicit TsCommonData(TObject* AOwner = nullptr, bool CreateCacheBmp = false);

  // A skin to paint with, a valid section of it, and an owner that is not being destroyed;
  // with CheckSkinActive the skin must be active too.
  bool Skinned(bool CheckSkinActive = false) const;

  bool FCustomFont = false;   // the owner's font colour is the user's
  bool FCustomColor = false;  // the owner's Color is the user's
  const TacSkinRecords* FSkinManager = nullptr;  // borrowed: the loaded skin of the record's manager
  TColor FColorTone = kNoColorTone;
  int FHUEOffset = 0;    // degrees
  int FSaturation = 0;   // percent, -100..100
  int BorderIndex = -1;  // the section's border mask
  std::unique_ptr<TBitmap> FCacheBmp;
  TObject* FOwnerObject = nullptr;
  TControl* FOwnerControl = nullptr;  // the owner when it is a control
  int SkinIndex = -1;
};
