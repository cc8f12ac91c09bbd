#pragma once
// PNG fixtures for the reader's tests: files written with libpng, files built
// chunk by chunk (to damage them on purpose), and libpng's own decode of a file
// turned into the colours the reader promises for it.

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imaging/acPNG.h"

namespace pngtest {

using Bytes = std::vector<uint8_t>;

struct Spec {
  int width = 13;
  int height = 11;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlace = false;
  int paletteSize = 0;  // indexed pictures
  double gamma = 0;     // a gAMA chunk when positive
  unsigned seed = 1;
};

inline int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    default: return 4;
  }
}

inline void WriteToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

// A picture of random samples, every filter type allowed.
inline Bytes WritePng(const Spec& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, WriteToVector, nullptr);
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::mt19937 rng(s.seed);
  std::vector<png_color> palette;
  if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < s.paletteSize; ++i)
      palette.push_back(png_color{png_byte(rng()), png_byte(rng()), png_byte(rng())});
    png_set_PLTE(png, info, palette.data(), s.paletteSize);
  }
  if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  png_write_info(png, info);
  const size_t rowBytes = (size_t(s.width) * size_t(s.bitDepth) * size_t(Channels(s.colorType)) + 7) / 8;
  std::vector<Bytes> rows(size_t(s.height), Bytes(rowBytes));
  const unsigned maxIndex = s.colorType == PNG_COLOR_TYPE_PALETTE ? unsigned(s.paletteSize) : 256;
  for (Bytes& row : rows) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
      for (int x = 0; x < s.width; ++x) {
        const unsigned v = rng() % std::min(maxIndex, 1u << s.bitDepth);
        const int bit = x * s.bitDepth;
        row[size_t(bit / 8)] |= uint8_t(v << (8 - s.bitDepth - bit % 8));
      }
    } else {
      // Smooth runs with noise, so that every filter has something to win.
      for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(i * 3 + (rng() % 7 == 0 ? rng() : 0));
    }
  }
  std::vector<png_bytep> pointers;
  for (Bytes& row : rows) pointers.push_back(row.data());
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct Reader {
  const Bytes* data;
  size_t pos;
};

inline void ReadFromVector(png_structp png, png_bytep out, png_size_t size) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->pos + size > r->data->size()) png_error(png, "read past end");
  std::memcpy(out, r->data->data() + r->pos, size);
  r->pos += size;
}

// The gamma table the reader applies for a file gamma, shown on a 2.2 display.
inline std::vector<uint8_t> GammaTable(double fileGamma) {
  std::vector<uint8_t> t(256);
  const float g = float(fileGamma);
  const double exponent = 1.0 / (double(g) * double(2.2f));
  for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(std::llrint(std::pow(i / 255.0, exponent) * 255));
  return t;
}

// libpng's samples of every pixel, as 0xAARRGGBB the reader promises: samples
// above 8 bits scaled by 255 / 65535 (truncating), grey below 8 bits spread over
// 0..255, the file's gamma on colours (and through palettes), alpha only for
// colour-and-alpha pictures (0xFF otherwise). False when libpng refuses the file.
inline bool ExpectedColours(const Bytes& file, int& width, int& height, std::vector<uint32_t>& out, bool& hasAlpha) {
  Reader reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadFromVector);
  png_read_png(png, info, PNG_TRANSFORM_PACKING, nullptr);
  width = int(png_get_image_width(png, info));
  height = int(png_get_image_height(png, info));
  // The file's own depth: after unpacking libpng reports 8.
  const int depth = file.size() > 24 ? file[24] : 8, type = png_get_color_type(png, info);
  double fileGamma = 0;
  const bool gamma = png_get_gAMA(png, info, &fileGamma) != 0;
  const std::vector<uint8_t> g = GammaTable(gamma ? fileGamma : 1 / 2.2);
  png_colorp palette = nullptr;
  int paletteSize = 0;
  png_get_PLTE(png, info, &palette, &paletteSize);
  png_bytepp rows = png_get_rows(png, info);
  hasAlpha = type == PNG_COLOR_TYPE_RGBA;
  out.clear();
  auto sample = [&](const uint8_t* row, size_t i) -> unsigned {
    if (depth == 16) return unsigned(row[2 * i] << 8 | row[2 * i + 1]) * 255 / 65535;
    return row[i];
  };
  const int channels = Channels(type);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* row = rows[y];
      uint32_t r = 0, gr = 0, b = 0, a = 255;
      if (type == PNG_COLOR_TYPE_PALETTE) {
        const unsigned idx = row[x];
        if (int(idx) < paletteSize) {
          r = gamma ? g[palette[idx].red] : palette[idx].red;
          gr = gamma ? g[palette[idx].green] : palette[idx].green;
          b = gamma ? g[palette[idx].blue] : palette[idx].blue;
        }
      } else if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        unsigned v = sample(row, size_t(x) * size_t(channels));
        if (depth < 8) v = v * 255 / ((1u << depth) - 1);
        r = gr = b = gamma ? g[v] : v;
      } else {
        const size_t i = size_t(x) * size_t(channels);
        r = gamma ? g[sample(row, i)] : sample(row, i);
        gr = gamma ? g[sample(row, i + 1)] : sample(row, i + 1);
        b = gamma ? g[sample(row, i + 2)] : sample(row, i + 2);
        if (hasAlpha) a = sample(row, i + 3);
      }
      out.push_back(a << 24 | r << 16 | gr << 8 | b);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// The reader's picture as 0xAARRGGBB (alpha forced to 0xFF unless the bitmap is 32-bit).
inline std::vector<uint32_t> Colours(TPNGGraphic& png) {
  TBitmap copy;
  copy.Assign(&png);
  const bool alpha = copy.PixelFormat() == pf32bit;
  copy.SetPixelFormat(pf32bit);
  std::vector<uint32_t> out;
  for (int y = 0; y < copy.Height(); ++y) {
    const auto* row = static_cast<const uint32_t*>(copy.ScanLine(y));
    for (int x = 0; x < copy.Width(); ++x) out.push_back(alpha ? row[x] : (row[x] | 0xFF000000u));
  }
  return out;
}

inline void Load(TPNGGraphic& png, const Bytes& file) {
  TMemoryStream s;
  if (!file.empty()) s.WriteBuffer(file.data(), int64_t(file.size()));
  s.SetPosition(0);
  png.LoadFromStream(s);
}

// ---- Files built chunk by chunk ----

inline void Put32(Bytes& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

inline Bytes Chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  Put32(out, uint32_t(data.size()));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
  return out;
}

inline Bytes Header(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t compression = 0) {
  Bytes d;
  Put32(d, w);
  Put32(d, h);
  d.insert(d.end(), {depth, type, compression, 0, 0});
  return Chunk("IHDR", d);
}

inline Bytes Zlib(const Bytes& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  compress(out.data(), &size, raw.data(), uLong(raw.size()));
  out.resize(size);
  return out;
}

inline Bytes File(const std::vector<Bytes>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

// Rows of an 8-bit grey picture, filter type 0.
inline Bytes GreyRows(int w, int h) {
  Bytes raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) raw.push_back(uint8_t(x * 16 + y));
  }
  return raw;
}

// Where the outside corpus lives: $TARNWICK_SHARED_DIR, or a "shared" folder beside a parent of the sources.
inline std::filesystem::path PngSuiteDir() {
  namespace fs = std::filesystem;
  if (const char* env = std::getenv("TARNWICK_SHARED_DIR")) return fs::path(env) / "oracles/pngsuite/png";
  for (fs::path p = TARNWICK_SOURCE_DIR; !p.empty() && p != p.root_path(); p = p.parent_path()) {
    const fs::path candidate = p.parent_path() / "shared/oracles/pngsuite/png";
    if (fs::is_directory(candidate)) return candidate;
  }
  return {};
}

inline Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace pngtest
