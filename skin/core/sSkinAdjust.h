#pragma once
// Hue, saturation and brightness applied to a freshly loaded skin: its master
// bitmap, external images, section colours, gradient points and palette. The
// key colour 0xFF00FF is never changed in images. Each does nothing for 0.

#include "skin/core/sSkinRecords.h"

void ApplyHueOffset(TacSkinRecords& S, int Degrees);
// Percent -100..100.
void ApplySaturation(TacSkinRecords& S, int Percent);
// -100..100. Only images that came as PNG are premultiplied afterwards: a
// BMP's fuchsia key stays a key.
void ApplyBrightness(TacSkinRecords& S, int Value);
