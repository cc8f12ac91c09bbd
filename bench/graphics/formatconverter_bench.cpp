// A 1920x1080 YUV420P picture into a 32-bit bitmap: the converter (scaler call
// plus row copy into the bitmap) next to the bare scaler call into a plain buffer.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "media/FFLoad.h"
#include "media/FormatConverter.h"
#include "platform/os/Threads.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Yuv {
  Yuv() {
    ff::av_image_alloc(data, linesize, kWidth, kHeight, AV_PIX_FMT_YUV420P, 32);
    for (int p = 0; p < 3; ++p) {
      const int rows = p ? kHeight / 2 : kHeight, cols = p ? kWidth / 2 : kWidth;
      for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) data[p][y * linesize[p] + x] = uint8_t(x + y * 3 + p * 50);
    }
  }
  ~Yuv() { ff::av_freep(&data[0]); }
  uint8_t* data[4] = {};
  int linesize[4] = {};
};

bool LoadLibraries() {
  InitMainThread();
  if (!FFLoader().Load(avUtil) || !FFLoader().Load(swScale)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return false;
  }
  return true;
}

void BareSwsScale(benchmark::State& state) {
  Yuv src;
  uint8_t* dst[4] = {};
  int dstLines[4] = {};
  ff::av_image_alloc(dst, dstLines, kWidth, kHeight, AV_PIX_FMT_BGRA, 1);
  SwsContext* ctx = ff::sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGRA,
                                       SWS_BICUBIC, nullptr, nullptr, nullptr);
  for (auto _ : state) {
    ff::sws_scale(ctx, src.data, src.linesize, 0, kHeight, dst, dstLines);
    benchmark::DoNotOptimize(dst[0]);
  }
  ff::sws_freeContext(ctx);
  ff::av_freep(&dst[0]);
}

void ConverterToBitmap(benchmark::State& state) {
  Yuv src;
  TFormatConverter conv;
  for (auto _ : state) {
    if (!conv.PictureToRGB(src.data, src.linesize, AV_PIX_FMT_YUV420P, kWidth, kHeight, true)) {
      state.SkipWithError(conv.LastErrMsg().c_str());
      break;
    }
    benchmark::DoNotOptimize(conv.Bitmap()->ScanLine(0));
  }
}

BENCHMARK(BareSwsScale)->Unit(benchmark::kMillisecond);
BENCHMARK(ConverterToBitmap)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!LoadLibraries()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
