// Any bytes as a packed skin archive: the reader may refuse them with an
// error, never crash, over-read, leak or allocate what the sizes claim.
#include <cstddef>
#include <cstdint>

#include "skin/core/acSkinPack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream s;
  if (size) s.WriteBuffer(data, int64_t(size));
  TacSkinConvertor reader;
  reader.PackedData = &s;
  try {
    ReadSkinArchive(reader);
  } catch (const Exception&) {
  }
  TMemoryStream preview;
  ExtractPreview(preview, s);
  return 0;
}
