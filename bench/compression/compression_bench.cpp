// MB/s of whole-buffer compression and decompression by algorithm and level,
// next to zlib's and bzip2's own buffer calls on the same data (the wrappers'
// overhead), with the compression ratio as a counter. Work is done in blocks
// of 1.5 MB, the engine's largest BLOB block.

#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "db/support/DAZCompression.h"

namespace {

constexpr size_t kTotal = 16 << 20;
constexpr size_t kBlock = 1572864;

// 16 MB of mixed text: prose with numbers, a little markup and some noise.
const std::vector<uint8_t>& MixedText() {
  static const std::vector<uint8_t> data = [] {
    static const char* const words[] = {"record", "page",  "index", "the",    "of",      "table",  "value",
                                        "stored", "block", "and",   "engine", "session", "query",  "field",
                                        "BLOB",   "<row>", "</row>", "id=",   "name=",   "total:", "\n"};
    std::string s;
    uint32_t x = 2463534242u;
    while (s.size() < kTotal) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      if (x % 23 == 0) {
        s += std::to_string(x % 100000);
      } else if (x % 97 == 0) {
        for (int i = 0; i < 16; ++i) s += static_cast<char>(33 + (x >> (i % 24)) % 90);
      } else {
        s += words[(x >> 8) % (sizeof words / sizeof *words)];
      }
      s += ' ';
    }
    s.resize(kTotal);
    return std::vector<uint8_t>(s.begin(), s.end());
  }();
  return data;
}

struct TPackedBlocks {
  std::vector<std::vector<uint8_t>> blocks;
  size_t packedBytes = 0;
};

TPackedBlocks PackAll(TABSCompressionAlgorithm alg, uint8_t mode) {
  const auto& in = MixedText();
  TPackedBlocks r;
  for (size_t off = 0; off < in.size(); off += kBlock) {
    std::vector<uint8_t> out;
    int32_t size = 0;
    const int32_t n = static_cast<int32_t>(std::min(kBlock, in.size() - off));
    if (!CompressBuffer(alg, mode, in.data() + off, n, out, size)) std::abort();
    r.packedBytes += static_cast<size_t>(size);
    r.blocks.push_back(std::move(out));
  }
  return r;
}

void Finish(benchmark::State& state, size_t packedBytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
  state.counters["ratio_%"] = 100.0 * static_cast<double>(packedBytes) / kTotal;
}

void BM_Compress(benchmark::State& state) {
  const auto alg = static_cast<TABSCompressionAlgorithm>(state.range(0));
  const auto mode = static_cast<uint8_t>(state.range(1));
  size_t packed = 0;
  for (auto _ : state) packed = PackAll(alg, mode).packedBytes;
  Finish(state, packed);
}

void BM_Decompress(benchmark::State& state) {
  const auto alg = static_cast<TABSCompressionAlgorithm>(state.range(0));
  const auto mode = static_cast<uint8_t>(state.range(1));
  const auto packed = PackAll(alg, mode);
  const auto& in = MixedText();
  for (auto _ : state) {
    size_t off = 0;
    for (const auto& b : packed.blocks) {
      std::vector<uint8_t> out;
      int32_t size = static_cast<int32_t>(std::min(kBlock, in.size() - off));
      if (!DecompressBuffer(alg, b.data(), static_cast<int32_t>(b.size()), out, size, size)) std::abort();
      benchmark::DoNotOptimize(out.data());
      off += kBlock;
    }
  }
  Finish(state, packed.packedBytes);
}

// The libraries' own buffer calls, for the wrappers' overhead.
void BM_LibraryCompress(benchmark::State& state) {
  const bool bzip = state.range(0) == acaBZIP;
  const int mode = static_cast<int>(state.range(1));
  const auto& in = MixedText();
  std::vector<uint8_t> out(kBlock + kBlock / 50 + 1000);
  size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (size_t off = 0; off < in.size(); off += kBlock) {
      const size_t n = std::min(kBlock, in.size() - off);
      if (bzip) {
        unsigned len = static_cast<unsigned>(out.size());
        BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &len,
                                 const_cast<char*>(reinterpret_cast<const char*>(in.data() + off)),
                                 static_cast<unsigned>(n), mode, 0, 0);
        packed += len;
      } else {
        uLongf len = out.size();
        compress2(out.data(), &len, in.data() + off, n, mode);
        packed += len;
      }
    }
  }
  Finish(state, packed);
}

void BM_LibraryDecompress(benchmark::State& state) {
  const bool bzip = state.range(0) == acaBZIP;
  const auto packed = PackAll(static_cast<TABSCompressionAlgorithm>(state.range(0)), static_cast<uint8_t>(state.range(1)));
  std::vector<uint8_t> out(kBlock);
  for (auto _ : state) {
    for (const auto& b : packed.blocks) {
      if (bzip) {
        unsigned len = static_cast<unsigned>(out.size());
        BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &len,
                                   const_cast<char*>(reinterpret_cast<const char*>(b.data())),
                                   static_cast<unsigned>(b.size()), 0, 0);
      } else {
        uLongf len = out.size();
        uncompress(out.data(), &len, b.data(), b.size());
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  Finish(state, packed.packedBytes);
}

void Levels(benchmark::internal::Benchmark* b) {
  for (int mode : {1, 6, 9}) b->Args({acaZLIB, mode});
  for (int mode : {1, 9}) b->Args({acaBZIP, mode});
  for (int mode : {1, 6, 9}) b->Args({acaPPM, mode});
}
void LibraryLevels(benchmark::internal::Benchmark* b) {
  for (int mode : {1, 6, 9}) b->Args({acaZLIB, mode});
  for (int mode : {1, 9}) b->Args({acaBZIP, mode});
}

BENCHMARK(BM_Compress)->Apply(Levels)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Decompress)->Apply(Levels)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LibraryCompress)->Apply(LibraryLevels)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LibraryDecompress)->Apply(LibraryLevels)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
