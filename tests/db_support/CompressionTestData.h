#pragma once
// Deterministic inputs for the compression tests: text, runs, noise and mixes.

#include <cstdint>
#include <string>
#include <vector>

namespace compression_test {

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<uint8_t>(x >> 32);
  }
  return v;
}

inline std::vector<uint8_t> EnglishText(size_t n) {
  static const char* const words[] = {"the",   "engine",  "stores", "pages", "of",     "records", "and",
                                      "every", "BLOB",    "block",  "is",    "cut",    "into",    "pieces",
                                      "that",  "compress", "well,",  "while", "random", "noise",   "does",
                                      "not.",  "Tables",  "grow",   "with",  "their",  "indexes", "again"};
  std::string s;
  uint32_t x = 12345;
  while (s.size() < n) {
    x = x * 1103515245 + 12345;
    s += words[(x >> 16) % (sizeof words / sizeof *words)];
    s += (x >> 8) % 11 == 0 ? "\n" : " ";
  }
  s.resize(n);
  return {s.begin(), s.end()};
}

// Stretches of text, noise, runs and counters, so a small model fills up.
inline std::vector<uint8_t> VariedBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v;
  v.reserve(n);
  uint32_t part = 0;
  while (v.size() < n) {
    const size_t len = 20000 + (part * 7919) % 30000;
    std::vector<uint8_t> piece;
    switch (part % 4) {
      case 0: piece = EnglishText(len); break;
      case 1: piece = RandomBytes(len, seed + part); break;
      case 2: piece.assign(len, static_cast<uint8_t>(part)); break;
      default:
        for (size_t i = 0; i < len; ++i) piece.push_back(static_cast<uint8_t>((i * part) ^ (i >> 3)));
    }
    v.insert(v.end(), piece.begin(), piece.end());
    ++part;
  }
  v.resize(n);
  return v;
}

}  // namespace compression_test
