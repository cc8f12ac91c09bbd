#pragma once
// A small PNG writer (8-bit RGBA, one IDAT, no filtering) for the build-time
// skin maker and the skin tests; pictures are read back by the PNG reader.

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace ownskin {

inline void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

inline void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBE32(out, uint32_t(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBE32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// Pixels are 0xAARRGGBB, rows top first, straight (not premultiplied) alpha.
inline std::vector<uint8_t> EncodePng(int w, int h, const std::vector<uint32_t>& px) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  PutBE32(ihdr, uint32_t(w));
  PutBE32(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filter set 0, no interlace
  PutChunk(out, "IHDR", ihdr);
  std::vector<uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
      raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> z(size);
  compress2(z.data(), &size, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION);
  z.resize(size);
  PutChunk(out, "IDAT", z);
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace ownskin
