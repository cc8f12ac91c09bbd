#pragma once
// Whole-buffer zlib compression and decompression for the engine's pages and
// BLOB blocks.

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/rtl/SysUtils.h"

class EZlibError : public Exception {
 public:
  using Exception::Exception;
};
class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// Deflates InBytes bytes at Level (0 .. 9, anything else raises
// ECompressionError "error -2"); OutBuf holds the zlib stream, OutBytes its length.
void ZCompressBuf(const void* InBuf, int32_t InBytes, std::vector<uint8_t>& OutBuf, int32_t& OutBytes, int Level);

// Inflates a zlib stream. OutEstimate (0: unknown) sizes the first output
// block, which grows as needed up to MaxOutBytes. A broken or truncated
// stream, one that needs a preset dictionary, one that stops making progress
// or one that would pass MaxOutBytes leaves OutBuf empty, OutBytes 0 and the
// reason in ErrorText (when given); nothing is raised.
void ZDecompressBuf(const void* InBuf, int32_t InBytes, int32_t OutEstimate, std::vector<uint8_t>& OutBuf,
                    int32_t& OutBytes, int32_t MaxOutBytes = INT32_MAX, String* ErrorText = nullptr);
