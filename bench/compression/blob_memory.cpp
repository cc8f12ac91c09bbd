// Memory a 64 MB BLOB costs once compressed: the bytes the compressed
// results keep allocated (their capacity) next to the bytes they hold, and
// the process's peak heap and resident size, for the BLOB compressed whole
// in one call and in the engine's 1.5 MB blocks kept together (as a cache of
// compressed blocks keeps them).
//
// usage: bench_blob_memory [zlib|bzip|ppm (default zlib)] [mode (default 6)]

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/support/DAZCompression.h"

namespace {

constexpr size_t kBlob = size_t{64} << 20;
constexpr size_t kBlock = 1572864;

// Text with the variety of a document store: words, numbers and some noise.
std::vector<uint8_t> MakeBlob() {
  static const char* const words[] = {"record", "page", "index", "the", "of", "table", "value", "stored",
                                      "block", "and", "engine", "session", "query", "field", "<row>", "\n"};
  std::string s;
  s.reserve(kBlob + 64);
  uint32_t x = 2463534242u;
  while (s.size() < kBlob) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    if (x % 7 == 0) s += std::to_string(x % 1000003);
    else if (x % 61 == 0)
      for (int i = 0; i < 12; ++i) s += static_cast<char>(33 + (x >> (i % 24)) % 90);
    else s += words[(x >> 8) % (sizeof words / sizeof *words)];
    s += ' ';
  }
  s.resize(kBlob);
  return std::vector<uint8_t>(s.begin(), s.end());
}

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

long PeakResidentKB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double MB(size_t bytes) { return double(bytes) / (1 << 20); }

}  // namespace

int main(int argc, char** argv) {
  const std::string name = argc > 1 ? argv[1] : "zlib";
  const auto alg = name == "bzip" ? acaBZIP : name == "ppm" ? acaPPM : acaZLIB;
  const auto mode = static_cast<uint8_t>(argc > 2 ? std::atoi(argv[2]) : 6);
  const std::vector<uint8_t> blob = MakeBlob();
  const size_t base = HeapInUse();
  std::printf("64 MB BLOB, %s mode %d; resident before compressing: %.1f MB\n", name.c_str(), mode,
              PeakResidentKB() / 1024.0);

  {
    std::vector<uint8_t> out;
    int32_t size = 0;
    if (!CompressBuffer(alg, mode, blob.data(), static_cast<int32_t>(blob.size()), out, size)) {
      std::fprintf(stderr, "CompressBuffer failed\n");
      return 1;
    }
    std::printf("whole, one call: holds %.2f MB, keeps %.2f MB allocated (heap in use %.2f MB beyond the BLOB)\n",
                MB(size_t(size)), MB(out.capacity()), MB(HeapInUse() - base));
  }
  {
    std::vector<std::vector<uint8_t>> blocks;
    size_t held = 0, kept = 0, peakHeap = 0;
    for (size_t off = 0; off < blob.size(); off += kBlock) {
      std::vector<uint8_t> out;
      int32_t size = 0;
      const auto n = static_cast<int32_t>(std::min(kBlock, blob.size() - off));
      if (!CompressBuffer(alg, mode, blob.data() + off, n, out, size)) {
        std::fprintf(stderr, "CompressBuffer failed\n");
        return 1;
      }
      held += size_t(size);
      kept += out.capacity();
      blocks.push_back(std::move(out));
      peakHeap = std::max(peakHeap, HeapInUse() - base);
    }
    std::printf("%zu blocks of 1.5 MB kept: hold %.2f MB, keep %.2f MB allocated (peak heap beyond the BLOB %.2f MB)\n",
                blocks.size(), MB(held), MB(kept), MB(peakHeap));
  }
  std::printf("peak resident size of the process: %.1f MB\n", PeakResidentKB() / 1024.0);
  return 0;
}
