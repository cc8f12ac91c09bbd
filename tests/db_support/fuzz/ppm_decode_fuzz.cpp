// The PPM decoder on arbitrary coder bytes: it must end (with data or an
// error) without reading or writing out of bounds. The first input byte picks
// the order and a small model memory, so restarts are frequent; 0xFF passes
// the input through with its own header.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "db/support/ABSPPM.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> stream;
  if (data[0] == 0xFF) {
    stream.assign(data + 1, data + size);
  } else {
    const uint32_t header = (data[0] & 0x0Fu) | ((data[0] >> 4) & 0x03u) << 4 | 6u << 12;
    stream = {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8), 0, 0};
    stream.insert(stream.end(), data + 1, data + size);
  }
  constexpr int32_t kLimit = 1 << 16;
  std::vector<uint8_t> out;
  int32_t outSize = kLimit;
  try {
    PPMDecompressBuf(stream.data(), static_cast<int32_t>(stream.size()), out, outSize);
    if (outSize <= 0 || outSize > kLimit || out.size() != static_cast<size_t>(outSize)) __builtin_trap();
  } catch (const Exception&) {
  }
  return 0;
}
