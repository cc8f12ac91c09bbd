// Skin compositing and resampling speed over full-HD 32-bit bitmaps (megapixels per second of target).

#include <benchmark/benchmark.h>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sGraphUtils.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Pixels with every alpha value, so that no shortcut covers the whole picture.
std::unique_ptr<TBitmap> NoiseBitmap(int w, int h, uint32_t seed) {
  auto b = NewBitmap32(w, h);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint32_t*>(b->ScanLine(y));
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525 + 1013904223;
      row[x] = seed;
    }
  }
  return b;
}

void Rate(benchmark::State& state, double pixels) {
  state.counters["Mpixel/s"] =
      benchmark::Counter(pixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BlendOverFullHd(benchmark::State& state) {
  auto src = NoiseBitmap(kWidth, kHeight, 1), dst = NoiseBitmap(kWidth, kHeight, 2);
  const TRect r(0, 0, kWidth, kHeight);
  for (auto _ : state) {
    BlendBitmapOver(r, r, dst.get(), false, EmptyCI, src.get());
    benchmark::ClobberMemory();
  }
  Rate(state, double(kWidth) * kHeight);
}

void BlendOverExFullHd(benchmark::State& state) {
  auto src = NoiseBitmap(kWidth, kHeight, 1), dst = NoiseBitmap(kWidth, kHeight, 2);
  const TRect r(0, 0, kWidth, kHeight);
  for (auto _ : state) {
    BlendBitmapOverEx(r, r, dst.get(), false, 0, clNone, false, EmptyCI, src.get());
    benchmark::ClobberMemory();
  }
  Rate(state, double(kWidth) * kHeight);
}

// 960 x 540 grown 2x to full HD, and full HD shrunk 2x, with the image list's filter.
void Resample(benchmark::State& state) {
  const bool grow = state.range(0) != 0;
  auto src = grow ? NoiseBitmap(kWidth / 2, kHeight / 2, 3) : NoiseBitmap(kWidth, kHeight, 3);
  auto dst = NewBitmap32(1, 1);
  const int w = grow ? kWidth : kWidth / 2, h = grow ? kHeight : kHeight / 2;
  for (auto _ : state) {
    ResampleBitmap32(src.get(), dst.get(), w, h, 6);
    benchmark::ClobberMemory();
  }
  Rate(state, double(w) * h);
}

BENCHMARK(BlendOverFullHd)->Unit(benchmark::kMillisecond);
BENCHMARK(BlendOverExFullHd)->Unit(benchmark::kMillisecond);
BENCHMARK(Resample)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
