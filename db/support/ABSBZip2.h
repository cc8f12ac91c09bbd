#pragma once
// Whole-buffer bzip2 compression and decompression for the engine's pages and
// BLOB blocks.

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/rtl/SysUtils.h"

class EBZip2Error : public Exception {
 public:
  using Exception::Exception;
};
class EBZCompressionError : public EBZip2Error {
 public:
  using EBZip2Error::EBZip2Error;
};
class EBZDecompressionError : public EBZip2Error {
 public:
  using EBZip2Error::EBZip2Error;
};

// Compresses with blocks of BlockSize100k x 100 KB (1 .. 9; anything else
// raises EBZCompressionError "error -2").
void BZCompressBuf(const void* InBuf, int32_t InBytes, std::vector<uint8_t>& OutBuf, int32_t& OutBytes,
                   int BlockSize100k);

// Decompresses; OutEstimate (0: unknown) sizes the first attempt, which is
// repeated with more room up to MaxOutBytes. A broken stream, or one that
// would pass MaxOutBytes, raises EBZDecompressionError.
void BZDecompressBuf(const void* InBuf, int32_t InBytes, int32_t OutEstimate, std::vector<uint8_t>& OutBuf,
                     int32_t& OutBytes, int32_t MaxOutBytes = INT32_MAX);
