#pragma once
// The positions of the standard sections and images of a loaded skin, resolved
// once at the end of every load, with scaled copies of glyphs that a scaled
// user interface needs and the skin does not offer.

#include "skin/core/sSkinRecords.h"

void InitConstantIndexes(TacSkinRecords& S, bool ExtendedBorders);
// Per-section image indexes and every mask's frame size.
void InitMaskIndexes(TacSkinRecords& S);
// Name (+ the scale suffix) found, or Name's mask replaced by a copy scaled to
// the skin's scale step (-1 when neither exists). SkinIndex < 0: GLOBALINFO.
int ScaledMaskIndex(TacSkinRecords& S, const String& Name, int SkinIndex, bool IsGlow);
void CheckShadows(TacSkinRecords& S, bool ExtendedBorders);
