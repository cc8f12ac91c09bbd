#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/acPNG.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
using Bytes = std::vector<uint8_t>;

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

// A photo-like picture: smooth gradients with noise, every filter allowed.
Bytes MakeFile(bool palette) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, kWidth, kHeight, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours(256);
  for (int i = 0; i < 256; ++i) colours[size_t(i)] = png_color{png_byte(i), png_byte(255 - i), png_byte(i * 3)};
  if (palette) png_set_PLTE(png, info, colours.data(), 256);
  png_write_info(png, info);
  std::mt19937 rng(7);
  const int channels = palette ? 1 : 4;
  Bytes row(size_t(kWidth) * size_t(channels));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < channels; ++c)
        row[size_t(x * channels + c)] = uint8_t((x / 4 + y / 3) * (c + 1) + int(rng() % 8));
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

const Bytes& File(bool palette) {
  static const Bytes rgba = MakeFile(false), indexed = MakeFile(true);
  return palette ? indexed : rgba;
}

struct Reader {
  const Bytes* data;
  size_t pos;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t size) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  std::memcpy(out, r->data->data() + r->pos, size);
  r->pos += size;
}

// libpng into the same kind of rows the own reader fills: blue-first pixels, or palette indexes.
void LibpngDecodeInto(const Bytes& file, bool palette, Bytes& pixels) {
  Reader r{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &r, ReadBytes);
  png_read_info(png, info);
  if (!palette) png_set_bgr(png);
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * kWidth * (palette ? 1 : 4);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

// Pictures decoded per second, in millions of pixels.
void CountPixels(benchmark::State& state) {
  state.counters["Mpx"] =
      benchmark::Counter(double(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}

void LibpngDecode(benchmark::State& state, bool palette) {
  const Bytes& file = File(palette);
  Bytes pixels(size_t(kWidth) * kHeight * (palette ? 1 : 4));
  for (auto _ : state) {
    LibpngDecodeInto(file, palette, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  CountPixels(state);
}

// A reader that is fast but wrong measures nothing: its pixels must be libpng's.
bool SamePixels(TPNGGraphic& png, bool palette) {
  const size_t rowBytes = size_t(kWidth) * (palette ? 1 : 4);
  Bytes expected(rowBytes * kHeight);
  LibpngDecodeInto(File(palette), palette, expected);
  if (png.Width() != kWidth || png.Height() != kHeight) return false;
  for (int y = 0; y < kHeight; ++y)
    if (std::memcmp(png.ScanLine(y), expected.data() + rowBytes * size_t(y), rowBytes) != 0) return false;
  return true;
}

void OwnDecode(benchmark::State& state, bool palette) {
  TMemoryStream s;
  s.WriteBuffer(File(palette).data(), int64_t(File(palette).size()));
  {
    s.SetPosition(0);
    TPNGGraphic png;
    png.LoadFromStream(s);
    if (!SamePixels(png, palette)) {
      state.SkipWithError("the own reader's pixels differ from libpng's");
      return;
    }
  }
  for (auto _ : state) {
    s.SetPosition(0);
    TPNGGraphic png;
    png.LoadFromStream(s);
    benchmark::DoNotOptimize(png.ScanLine(0));
  }
  CountPixels(state);
}

void BM_LibpngRGBA(benchmark::State& s) { LibpngDecode(s, false); }
void BM_OwnReaderRGBA(benchmark::State& s) { OwnDecode(s, false); }
void BM_LibpngPalette(benchmark::State& s) { LibpngDecode(s, true); }
void BM_OwnReaderPalette(benchmark::State& s) { OwnDecode(s, true); }

}  // namespace

BENCHMARK(BM_LibpngRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnReaderRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngPalette)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnReaderPalette)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
