#pragma once
// Image files made in code for the skin tests: a minimal PNG writer (8-bit
// RGBA, one IDAT, no filtering) and a temporary folder under TMPDIR.

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/os/Files.h"

namespace skintest {

using Bytes = std::vector<uint8_t>;

inline void PutBE32(Bytes& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

inline void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBE32(out, uint32_t(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBE32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// Pixels are 0xAARRGGBB, rows top first.
inline Bytes EncodePng(int w, int h, const std::vector<uint32_t>& px) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  PutBE32(ihdr, uint32_t(w));
  PutBE32(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  PutChunk(out, "IHDR", ihdr);
  Bytes raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
      raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes z(size);
  compress(z.data(), &size, raw.data(), uLong(raw.size()));
  z.resize(size);
  PutChunk(out, "IDAT", z);
  PutChunk(out, "IEND", {});
  return out;
}

inline void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// A fresh folder under TMPDIR, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string templ = GetTempDir() + "skin-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ + "/";
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace skintest
