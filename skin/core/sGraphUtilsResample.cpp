// The two passes of ResampleBitmap32 over whole rows.
//
// Each pass pads every target pixel's contributor list to one length with
// weight-0 taps, so that the kernels run without branches: the horizontal pass
// filters two target pixels per vector, the vertical pass accumulates eight
// pixels of a target row from the contributing scratch rows. Sums are the
// same integers ApplyContributors forms (16.16 weights times bytes, summed in
// 32 bits: a pass's weights add up to at most about eight times 65536, so the
// sums stay far from overflow), and (sum >> 16) saturated to 0..255 is the
// same byte as its rule (0 when negative, 255 from 0xFF0001 on).

#include <algorithm>
#include <cstring>

#include "skin/core/sGraphUtilsResample.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARNWICK_RESAMPLE_AVX2 1
#endif

namespace skin_detail {

TResampleTaps MakeResampleTaps(const TContributorList& List, int Count) {
  TResampleTaps t;
  t.count = std::max(0, std::min(Count, int(List.First.size()) - 1));
  for (int i = 0; i < t.count; ++i) t.taps = std::max(t.taps, List.First[size_t(i) + 1] - List.First[size_t(i)]);
  t.taps = std::max(t.taps, 1);
  // Pixels are kept in pairs (one vector lane group each), an odd last pixel padded with weight 0.
  const int pairs = (t.count + 1) / 2;
  t.index.assign(size_t(pairs) * size_t(t.taps) * 2, 0);
  t.weight.assign(t.index.size(), 0);
  for (int i = 0; i < t.count; ++i) {
    const int first = List.First[size_t(i)], last = List.First[size_t(i) + 1];
    for (int k = 0; k < t.taps; ++k) {
      const size_t slot = t.Slot(i, k);
      const bool real = first + k < last;
      t.index[slot] = real ? List.Pairs[size_t(first + k)].Offset : (first < last ? List.Pairs[size_t(first)].Offset : 0);
      t.weight[slot] = real ? List.Pairs[size_t(first + k)].Weight : 0;
    }
  }
  return t;
}

namespace {

inline uint8_t Saturate(int32_t sum) { return uint8_t(std::clamp(sum >> 16, 0, 255)); }

void RowPassScalar(const uint8_t* src, uint8_t* dst, const TResampleTaps& t) {
  for (int i = 0; i < t.count; ++i) {
    int32_t s[4] = {0, 0, 0, 0};
    for (int k = 0; k < t.taps; ++k) {
      const size_t slot = t.Slot(i, k);
      const uint8_t* p = src + 4 * t.index[slot];
      for (int c = 0; c < 4; ++c) s[c] += t.weight[slot] * p[c];
    }
    for (int c = 0; c < 4; ++c) dst[4 * i + c] = Saturate(s[c]);
  }
}

void ColumnPassScalar(const uint8_t* const* rows, const int32_t* weights, int taps, uint8_t* dst, int bytes, int from) {
  for (int b = from; b < bytes; ++b) {
    int32_t s = 0;
    for (int k = 0; k < taps; ++k) s += weights[k] * rows[k][b];
    dst[b] = Saturate(s);
  }
}

#ifdef TARNWICK_RESAMPLE_AVX2

// Four int32 sums per 128-bit half to 16 bytes, saturated as Saturate does.
__attribute__((target("avx2"))) inline __m128i PackSums(__m256i a, __m256i b) {
  a = _mm256_srai_epi32(a, 16);
  b = _mm256_srai_epi32(b, 16);
  const __m128i a16 = _mm_packs_epi32(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
  const __m128i b16 = _mm_packs_epi32(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1));
  return _mm_packus_epi16(a16, b16);
}

__attribute__((target("avx2"))) void RowPassAvx2(const uint8_t* src, uint8_t* dst, const TResampleTaps& t) {
  const int pairs = t.count / 2;
  const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const int32_t* idx = t.index.data();
  const int32_t* wt = t.weight.data();
  for (int p = 0; p < pairs; ++p) {
    __m256i acc = _mm256_setzero_si256();
    for (int k = 0; k < t.taps; ++k, idx += 2, wt += 2) {
      int32_t a, b;
      std::memcpy(&a, src + 4 * idx[0], 4);
      std::memcpy(&b, src + 4 * idx[1], 4);
      const __m256i px = _mm256_cvtepu8_epi32(_mm_unpacklo_epi32(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)));
      const __m128i w2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(wt));
      const __m256i w = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(w2), spread);
      acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(px, w));
    }
    const __m128i out = PackSums(acc, acc);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 8 * p), out);
  }
  if (t.count & 1) {
    // The odd last pixel: its pair slot holds it in lane 0.
    int32_t s[4] = {0, 0, 0, 0};
    for (int k = 0; k < t.taps; ++k, idx += 2, wt += 2) {
      const uint8_t* q = src + 4 * idx[0];
      for (int c = 0; c < 4; ++c) s[c] += wt[0] * q[c];
    }
    for (int c = 0; c < 4; ++c) dst[8 * pairs + c] = Saturate(s[c]);
  }
}

__attribute__((target("avx2"))) inline __m256i Widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

__attribute__((target("avx2"))) void ColumnPassAvx2(const uint8_t* const* rows, const int32_t* weights, int taps,
                                                     uint8_t* dst, int bytes) {
  int b = 0;
  for (; b + 32 <= bytes; b += 32) {
    __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
    for (int k = 0; k < taps; ++k) {
      const __m256i w = _mm256_set1_epi32(weights[k]);
      const uint8_t* r = rows[k] + b;
      s0 = _mm256_add_epi32(s0, _mm256_mullo_epi32(Widen(r), w));
      s1 = _mm256_add_epi32(s1, _mm256_mullo_epi32(Widen(r + 8), w));
      s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(Widen(r + 16), w));
      s3 = _mm256_add_epi32(s3, _mm256_mullo_epi32(Widen(r + 24), w));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + b), PackSums(s0, s1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + b + 16), PackSums(s2, s3));
  }
  ColumnPassScalar(rows, weights, taps, dst, bytes, b);
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#else
const bool kHaveAvx2 = false;
#endif

}  // namespace

void ResampleRow(const uint8_t* Src, uint8_t* Dst, const TResampleTaps& Taps) {
#ifdef TARNWICK_RESAMPLE_AVX2
  if (kHaveAvx2) return RowPassAvx2(Src, Dst, Taps);
#endif
  RowPassScalar(Src, Dst, Taps);
}

void ResampleColumns(const uint8_t* const* Rows, const int32_t* Weights, int Taps, uint8_t* Dst, int Bytes) {
#ifdef TARNWICK_RESAMPLE_AVX2
  if (kHaveAvx2) return ColumnPassAvx2(Rows, Weights, Taps, Dst, Bytes);
#endif
  ColumnPassScalar(Rows, Weights, Taps, Dst, Bytes, 0);
}

}  // namespace skin_detail
