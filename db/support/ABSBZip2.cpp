#include "db/support/ABSBZip2.h"

#include <bzlib.h>

#include <algorithm>
#include <cmath>

void BZCompressBuf(const void* InBuf, int32_t InBytes, std::vector<uint8_t>& OutBuf, int32_t& OutBytes,
                   int BlockSize100k) {
  const int64_t n = std::max(InBytes, 0);
  // The library's documented worst case: 1 % more plus 600 bytes.
  OutBytes = static_cast<int32_t>(std::min<double>(std::nearbyint(n * 1.01) + 600, INT32_MAX));
  OutBuf.assign(static_cast<size_t>(OutBytes), 0);
  unsigned destLen = static_cast<unsigned>(OutBytes);
  const int code = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(OutBuf.data()), &destLen,
                                            static_cast<char*>(const_cast<void*>(InBuf)), static_cast<unsigned>(n),
                                            BlockSize100k, 0, 0);
  if (code < 0) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw EBZCompressionError(Format("error %d", {code}));
  }
  OutBuf.resize(destLen);
  OutBytes = static_cast<int32_t>(destLen);
}

void BZDecompressBuf(const void* InBuf, int32_t InBytes, int32_t OutEstimate, std::vector<uint8_t>& OutBuf,
                     int32_t& OutBytes, int32_t MaxOutBytes) {
  const int64_t n = std::max(InBytes, 0);
  // Ten times the input, up to a multiple of 64 KB.
  const int64_t increment = (n * 10 + 0xFFFF) & ~int64_t{0xFFFF};
  const int32_t limit = std::max(MaxOutBytes, 1);
  OutBytes = static_cast<int32_t>(std::clamp<int64_t>(OutEstimate > 0 ? OutEstimate : increment, 1, limit));
  int code;
  unsigned destLen;
  for (;;) {
    OutBuf.resize(static_cast<size_t>(OutBytes));
    destLen = static_cast<unsigned>(OutBytes);
    code = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(OutBuf.data()), &destLen,
                                      static_cast<char*>(const_cast<void*>(InBuf)), static_cast<unsigned>(n), 0, 0);
    if (code != BZ_OUTBUFF_FULL || OutBytes >= limit) break;
    OutBytes = static_cast<int32_t>(std::min<int64_t>(OutBytes + increment, limit));
  }
  if (code < 0) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    OutBytes = 0;
    throw EBZDecompressionError(Format("error %d", {code}));
  }
  OutBuf.resize(destLen);
  OutBytes = static_cast<int32_t>(destLen);
}
