// Any bytes through the own PNG reader: it may refuse them with the graphic
// error, never crash, over-read or leak.
#include <cstddef>
#include <cstdint>

#include "imaging/acPNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream s;
  if (size) s.WriteBuffer(data, int64_t(size));
  s.SetPosition(0);
  TPNGGraphic png;
  try {
    png.LoadFromStream(s);
    TBitmap b;
    CopyPNGToBitmap32(&b, &png);
  } catch (const EInvalidGraphic&) {
  } catch (const EGraphicCompression&) {
  }
  return 0;
}
