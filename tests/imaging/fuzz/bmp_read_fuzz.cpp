// Any bytes through the BMP reader of the framework's bitmap.
#include <cstddef>
#include <cstdint>

#include "platform/vcl/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream s;
  if (size) s.WriteBuffer(data, int64_t(size));
  s.SetPosition(0);
  TBitmap b;
  try {
    b.LoadFromStream(s);
    if (!b.Empty()) b.SetPixelFormat(pf32bit);
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
