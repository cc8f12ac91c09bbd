#pragma once
// PNG files into 32-bit bitmaps with the picture's alpha. The PNG reader's
// errors (EInvalidGraphic) pass to the caller.

#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"

void LoadBitmapFromPngFile(TBitmap* Bmp, const String& FileName);
// From the stream's position; Bmp keeps its Transparent flag.
void LoadBitmapFromPngStream(TBitmap* Bmp, TStream& Stream);
