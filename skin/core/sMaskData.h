#pragma once
// Bitmap services of the mask painters: channel transfers between bitmaps.

#include "platform/vcl/Graphics.h"

// Byte Channel (0 blue, 1 green, 2 red, 3 alpha) of each Target pixel := the
// same byte of the Source pixel, over the area both 32-bit bitmaps share.
void CopyBitmapChannel(TBitmap* Target, TBitmap* Source, int Channel);
// Between byte Channel of a 32-bit bitmap and an 8-bit bitmap: into Bmp8 when
// ToBytes, else back into Bmp32. Over the area both bitmaps share.
void TransferChannel8(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBytes);
