#pragma once
// The row and column kernels of the resampler. Internal to the skin core.

#include <cstdint>
#include <vector>

#include "skin/core/sGraphUtils.h"

namespace skin_detail {

// One pass's contributors, every target pixel padded to Taps pairs with
// weight 0. Pixels are stored in pairs: slot (i / 2, k, i & 1).
struct TResampleTaps {
  int count = 0;
  int taps = 1;
  std::vector<int32_t> index;   // source pixel index (the list's offsets, built with step 1)
  std::vector<int32_t> weight;  // 16.16
  size_t Slot(int i, int k) const { return (size_t(i / 2) * size_t(taps) + size_t(k)) * 2 + size_t(i & 1); }
};
TResampleTaps MakeResampleTaps(const TContributorList& List, int Count);

// Taps.count 32-bit target pixels of one row from a source row.
void ResampleRow(const uint8_t* Src, uint8_t* Dst, const TResampleTaps& Taps);
// Bytes bytes of a target row as the weighted sum of Taps source rows.
void ResampleColumns(const uint8_t* const* Rows, const int32_t* Weights, int Taps, uint8_t* Dst, int Bytes);

}  // namespace skin_detail
