#include "skin/core/AlphaBitmapsPng.h"

#include "imaging/acPNG.h"

void LoadBitmapFromPngFile(TBitmap* Bmp, const String& FileName) {
  if (!Bmp) return;
  TPNGGraphic png;
  png.LoadFromFile(FileName);
  CopyPNGToBitmap32(Bmp, &png);
}

void LoadBitmapFromPngStream(TBitmap* Bmp, TStream& Stream) {
  if (!Bmp) return;
  const bool transparent = Bmp->Transparent();
  TPNGGraphic png;
  png.LoadFromStream(Stream);
  CopyPNGToBitmap32(Bmp, &png);
  Bmp->SetTransparent(transparent);
}
