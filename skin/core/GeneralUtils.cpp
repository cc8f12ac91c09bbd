#include "skin/core/GeneralUtils.h"

void MakeCacheInfo(TBitmap* Bmp, int X, int Y, TCacheInfo& CI) {
  CI.Bmp = Bmp;
  CI.X = X;
  CI.Y = Y;
  CI.FillColor = clFuchsia;
  CI.FillRect = TRect();
  CI.Ready = true;
}
