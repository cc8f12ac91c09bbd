// Any text as a skin's options file (images from an empty archive, so that
// nothing is read from disk); the first byte picks the scale step and the
// colour adjustments. The loader may refuse the text with an error, never
// crash, recurse without end or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "skin/core/acSkinPack.h"
#include "skin/core/sSkinLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TacSkinSource src;
  src.ScaleStep = data[0] & 3;
  src.HueOffset = data[0] & 4 ? 90 : 0;
  src.Saturation = data[0] & 8 ? -50 : 0;
  src.Brightness = data[0] & 16 ? 30 : 0;
  src.ExtendedBorders = data[0] & 32;
  if (data[0] & 64) src.CommonSections = {"[COMMONX]", "PARENTCLASS=BUTTON", "COLOR=0x10"};
  TStringList lines;
  lines.SetText(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  TacSkinConvertor pack;
  TacSkinRecords records;
  try {
    LoadSkinFromOptions(lines, "", &pack, src, records);
  } catch (const Exception&) {
  }
  return 0;
}
