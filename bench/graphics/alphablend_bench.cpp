#include <benchmark/benchmark.h>

#include "platform/gdi/Gdi.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Bitmap32 {
  explicit Bitmap32(uint32_t seed) {
    BITMAPINFO256 bi;
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = kHeight;
    bi.bmiHeader.biBitCount = 32;
    bmp = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bmp);
    // Premultiplied pixels with every alpha value, so that no shortcut covers the whole picture.
    auto* p = static_cast<uint32_t*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i) {
      seed = seed * 1664525 + 1013904223;
      const uint32_t a = seed >> 24, c = ((seed >> 8) & 255) * a / 255;
      p[i] = (a << 24) | (c << 16) | (c << 8) | c;
    }
  }
  ~Bitmap32() {
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  void* bits = nullptr;
  HBITMAP bmp;
  HDC dc;
};

void AlphaBlendFullHd(benchmark::State& state, BLENDFUNCTION bf) {
  Bitmap32 src(1), dst(2);
  for (auto _ : state) {
    AlphaBlend(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, kWidth, kHeight, bf);
    benchmark::DoNotOptimize(dst.bits);
  }
  state.counters["Mpixel/s"] =
      benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(AlphaBlendFullHd, per_pixel_alpha, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AlphaBlendFullHd, per_pixel_and_constant_alpha, BLENDFUNCTION{AC_SRC_OVER, 0, 128, AC_SRC_ALPHA})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AlphaBlendFullHd, constant_alpha, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
