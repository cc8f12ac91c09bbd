// MB/s of whole-buffer compression and decompression by algorithm and level,
// next to zlib's and bzip2's own buffer calls on the same data (the wrappers'
// overhead), with the compression ratio as a counter. Work is done in blocks
// of 1.5 MB, the engine's largest BLOB block. Two data sets: 16 MB of
// synthetic mixed text, and 8 MB of real prose (Debian's documentation
// texts under /usr/share/doc, read at run time; skipped when absent). Every call's result is
// checked on both sides, and every decompression must give the input back:
// a failing call stops the program instead of looking fast.

#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// Debian's documentation texts, read at run time: copyright notes, change
// logs (unpacked), read-me, news and plain-text manuals of every installed
// package, in path order, at most kProseFilePart of each so that no one file
// rules the set, kProseTotal in all. Empty when there are none.
constexpr size_t kProseTotal = 8 << 20;
constexpr size_t kProseFilePart = 64 << 10;

bool IsProseFile(const std::filesystem::path& f) {
  std::string name = f.filename().string();
  const bool packed = name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0;
  if (packed) name.resize(name.size() - 3);
  const std::string ext = std::filesystem::path(name).extension().string();
  return name == "copyright" || name.rfind("changelog", 0) == 0 || name.rfind("README", 0) == 0 ||
         name.rfind("NEWS", 0) == 0 || ext == ".txt" || ext == ".md" || ext == ".rst";
}

// Up to kProseFilePart bytes of the file, unpacked when it is gzip'ed (gzread
// passes other files through); nothing when it holds a NUL byte (not text).
std::vector<uint8_t> ProsePart(const std::filesystem::path& f) {
  std::vector<uint8_t> part(kProseFilePart);
  gzFile in = gzopen(f.c_str(), "rb");
  if (!in) return {};
  const int n = gzread(in, part.data(), static_cast<unsigned>(part.size()));
  gzclose(in);
  part.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (std::find(part.begin(), part.end(), 0) != part.end()) return {};
  return part;
}

const std::vector<uint8_t>& DocumentationProse() {
  static const std::vector<uint8_t> data = [] {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             "/usr/share/doc", std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->is_regular_file(ec) && !it->is_symlink(ec) && IsProseFile(it->path())) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::vector<uint8_t> all;
    for (const auto& f : files) {
      const std::vector<uint8_t> part = ProsePart(f);
      all.insert(all.end(), part.begin(), part.end());
      if (all.size() >= kProseTotal) break;
    }
    // A few scraps are no measure of prose.
    if (all.size() < (1 << 20)) {
      std::fprintf(stderr, "too little documentation text under /usr/share/doc (%zu bytes): prose skipped\n",
                   all.size());
      all.clear();
    } else {
      all.resize(std::min(all.size(), kProseTotal));
    }
    return all;
  }();
  return data;
}

enum TDataSet { dsMixed, dsProse };

const std::vector<uint8_t>& Data(int64_t set) { return set == dsProse ? DocumentationProse() : MixedText(); }

// False (the case skipped) when the data set is missing on this machine.
bool HaveData(benchmark::State& state, const std::vector<uint8_t>& in) {
  if (!in.empty()) return true;
  state.SkipWithError("no documentation text under /usr/share/doc");
  return false;
}

[[noreturn]] void Fail(const char* what, int code) {
  std::fprintf(stderr, "%s failed (%d)\n", what, code);
  std::exit(1);
}

struct TPackedBlocks {
  std::vector<std::vector<uint8_t>> blocks;
  size_t packedBytes = 0;
};

TPackedBlocks PackAll(TABSCompressionAlgorithm alg, uint8_t mode, const std::vector<uint8_t>& in) {
  TPackedBlocks r;
  for (size_t off = 0; off < in.size(); off += kBlock) {
    std::vector<uint8_t> out;
    int32_t size = 0;
    const int32_t n = static_cast<int32_t>(std::min(kBlock, in.size() - off));
    if (!CompressBuffer(alg, mode, in.data() + off, n, out, size) || size != static_cast<int32_t>(out.size()))
      Fail("CompressBuffer", size);
    r.packedBytes += static_cast<size_t>(size);
    r.blocks.push_back(std::move(out));
  }
  return r;
}

void Finish(benchmark::State& state, size_t totalBytes, size_t packedBytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * totalBytes));
  state.counters["ratio_%"] = 100.0 * static_cast<double>(packedBytes) / static_cast<double>(totalBytes);
}

void BM_Compress(benchmark::State& state) {
  const auto alg = static_cast<TABSCompressionAlgorithm>(state.range(0));
  const auto mode = static_cast<uint8_t>(state.range(1));
  const auto& in = Data(state.range(2));
  if (!HaveData(state, in)) return;
  size_t packed = 0;
  for (auto _ : state) packed = PackAll(alg, mode, in).packedBytes;
  Finish(state, in.size(), packed);
}

void BM_Decompress(benchmark::State& state) {
  const auto alg = static_cast<TABSCompressionAlgorithm>(state.range(0));
  const auto mode = static_cast<uint8_t>(state.range(1));
  const auto& in = Data(state.range(2));
  if (!HaveData(state, in)) return;
  const auto packed = PackAll(alg, mode, in);
  bool checked = false;
  for (auto _ : state) {
    size_t off = 0;
    for (const auto& b : packed.blocks) {
      std::vector<uint8_t> out;
      const auto n = static_cast<int32_t>(std::min(kBlock, in.size() - off));
      int32_t size = n;
      if (!DecompressBuffer(alg, b.data(), static_cast<int32_t>(b.size()), out, size, n) || size != n)
        Fail("DecompressBuffer", size);
      if (!checked && std::memcmp(out.data(), in.data() + off, static_cast<size_t>(n)) != 0) Fail("round trip", 0);
      benchmark::DoNotOptimize(out.data());
      off += kBlock;
    }
    checked = true;
  }
  Finish(state, in.size(), packed.packedBytes);
}

// The libraries' own buffer calls, for the wrappers' overhead.
void BM_LibraryCompress(benchmark::State& state) {
  const bool bzip = state.range(0) == acaBZIP;
  const int mode = static_cast<int>(state.range(1));
  const auto& in = Data(state.range(2));
  if (!HaveData(state, in)) return;
  std::vector<uint8_t> out(compressBound(kBlock) + kBlock / 50 + 1000);
  size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (size_t off = 0; off < in.size(); off += kBlock) {
      const size_t n = std::min(kBlock, in.size() - off);
      if (bzip) {
        unsigned len = static_cast<unsigned>(out.size());
        const int r = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &len,
                                               const_cast<char*>(reinterpret_cast<const char*>(in.data() + off)),
                                               static_cast<unsigned>(n), mode, 0, 0);
        if (r != BZ_OK) Fail("BZ2_bzBuffToBuffCompress", r);
        packed += len;
      } else {
        uLongf len = out.size();
        const int r = compress2(out.data(), &len, in.data() + off, n, mode);
        if (r != Z_OK) Fail("compress2", r);
        packed += len;
      }
    }
  }
  Finish(state, in.size(), packed);
}

void BM_LibraryDecompress(benchmark::State& state) {
  const bool bzip = state.range(0) == acaBZIP;
  const auto& in = Data(state.range(2));
  if (!HaveData(state, in)) return;
  const auto packed =
      PackAll(static_cast<TABSCompressionAlgorithm>(state.range(0)), static_cast<uint8_t>(state.range(1)), in);
  std::vector<uint8_t> out(kBlock);
  for (auto _ : state) {
    size_t off = 0;
    for (const auto& b : packed.blocks) {
      const size_t n = std::min(kBlock, in.size() - off);
      if (bzip) {
        unsigned len = static_cast<unsigned>(out.size());
        const int r = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &len,
                                                 const_cast<char*>(reinterpret_cast<const char*>(b.data())),
                                                 static_cast<unsigned>(b.size()), 0, 0);
        if (r != BZ_OK || len != n) Fail("BZ2_bzBuffToBuffDecompress", r);
      } else {
        uLongf len = out.size();
        const int r = uncompress(out.data(), &len, b.data(), b.size());
        if (r != Z_OK || len != n) Fail("uncompress", r);
      }
      benchmark::DoNotOptimize(out.data());
      off += kBlock;
    }
  }
  Finish(state, in.size(), packed.packedBytes);
}

void Levels(benchmark::internal::Benchmark* b) {
  for (int set : {dsMixed, dsProse}) {
    for (int mode : {1, 6, 9}) b->Args({acaZLIB, mode, set});
    for (int mode : {1, 9}) b->Args({acaBZIP, mode, set});
    for (int mode : {1, 6, 9}) b->Args({acaPPM, mode, set});
  }
}
void LibraryLevels(benchmark::internal::Benchmark* b) {
  for (int set : {dsMixed, dsProse}) {
    for (int mode : {1, 6, 9}) b->Args({acaZLIB, mode, set});
    for (int mode : {1, 9}) b->Args({acaBZIP, mode, set});
  }
}

BENCHMARK(BM_Compress)->Apply(Levels)->ArgNames({"alg", "mode", "data"})->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Decompress)->Apply(Levels)->ArgNames({"alg", "mode", "data"})->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_LibraryCompress)
    ->Apply(LibraryLevels)
    ->ArgNames({"alg", "mode", "data"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1);
BENCHMARK(BM_LibraryDecompress)
    ->Apply(LibraryLevels)
    ->ArgNames({"alg", "mode", "data"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1);

}  // namespace

BENCHMARK_MAIN();
