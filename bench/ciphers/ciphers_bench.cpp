// MB/s of enciphering and deciphering 4 KiB database pages with each
// algorithm: the storage engine's whole per-page procedure (fresh cipher and
// key derivation every page) and the keyed cipher alone in its page mode.

#include <benchmark/benchmark.h>

#include <vector>

#include "db/support/DAZCipher.h"


namespace {

constexpr int kPageSize = 4096;
const char* const kNames[CryptoAlgorithmCount] = {"Rijndael_128", "Rijndael_256", "DES_Single", "DES_Triple",
                                                  "Blowfish",     "Twofish_128",  "Twofish_256", "Square"};

std::vector<uint8_t> Page() {
  std::vector<uint8_t> page(kPageSize);
  for (int i = 0; i < kPageSize; ++i) page[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 31 + 7);
  return page;
}

void PageProcedure(benchmark::State& state) {
  const auto algorithm = static_cast<TABSCryptoAlgorithm>(state.range(0));
  const bool decode = state.range(1) != 0;
  auto page = Page();
  for (auto _ : state) {
    const bool ok = decode ? CipherDecodeBuffer(algorithm, page.data(), kPageSize, "bench password")
                           : CipherEncodeBuffer(algorithm, page.data(), kPageSize, "bench password");
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageSize);
  state.SetLabel(String(kNames[state.range(0)]) + (decode ? " decode" : " encode"));
}

void KeyedCipher(benchmark::State& state) {
  const auto algorithm = static_cast<TABSCryptoAlgorithm>(state.range(0));
  const bool decode = state.range(1) != 0;
  auto cipher = CreateCipher(CryptoCipherClass(algorithm));
  cipher->SetHashClass(CryptoHashClass(algorithm));
  cipher->InitKey("bench password", cipher->Vector());
  auto page = Page();
  for (auto _ : state) {
    cipher->Done();
    if (decode)
      cipher->DecodeBuffer(page.data(), page.data(), kPageSize);
    else
      cipher->EncodeBuffer(page.data(), page.data(), kPageSize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageSize);
  state.SetLabel(String(kNames[state.range(0)]) + (decode ? " decode" : " encode"));
}

void AllAlgorithms(benchmark::internal::Benchmark* b) {
  for (int a = 0; a < CryptoAlgorithmCount; ++a)
    for (int decode = 0; decode < 2; ++decode) b->Args({a, decode});
}

BENCHMARK(PageProcedure)->Apply(AllAlgorithms);
BENCHMARK(KeyedCipher)->Apply(AllAlgorithms);


}  // namespace

BENCHMARK_MAIN();
