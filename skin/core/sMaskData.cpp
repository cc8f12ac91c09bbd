#include "skin/core/sMaskData.h"

#include "skin/core/PixelRows.h"

using namespace skin_detail;

void CopyBitmapChannel(TBitmap* Target, TBitmap* Source, int Channel) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  if (!T || !S || Channel < 0 || Channel > 3) return;
  const int w = std::min(T.width, S.width), h = std::min(T.height, S.height);
  for (int y = 0; y < h; ++y) {
    uint8_t* d = T.Bytes(y) + Channel;
    const uint8_t* s = S.Bytes(y) + Channel;
    for (int x = 0; x < w; ++x) d[4 * x] = s[4 * x];
  }
}

void TransferChannel8(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBytes) {
  const PixelRows P = Rows32(Bmp32);
  const PixelRows B = Bmp8 && Bmp8->PixelFormat() == pf8bit ? RowsOf(Bmp8) : PixelRows();
  if (!P || !B || Channel < 0 || Channel > 3) return;
  const int w = std::min(P.width, B.width), h = std::min(P.height, B.height);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = P.Bytes(y) + Channel;
    uint8_t* b = B.Bytes(y);
    for (int x = 0; x < w; ++x) {
      if (ToBytes)
        b[x] = p[4 * x];
      else
        p[4 * x] = b[x];
    }
  }
}
