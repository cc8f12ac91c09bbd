#pragma once
// The engine's one door to compression: whole buffers compressed and
// decompressed by algorithm and mode, the CRC-32 every compressed block and
// page carries, and the parser of algorithm names.
//
// The dispatcher never raises: every failure answers false, and the caller
// raises its own engine error (with GetLastCompressionError for detail).

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/rtl/SysUtils.h"

enum TABSCompressionAlgorithm : uint8_t { acaNone = 0, acaZLIB = 1, acaBZIP = 2, acaPPM = 3 };
enum TABSCompressionLevel : uint8_t { aclNone = 0, aclFastest = 1, aclNormal = 2, aclMaximum = 3 };

struct TABSCompression {
  TABSCompressionAlgorithm CompressionAlgorithm = acaNone;
  uint8_t CompressionMode = 0;  // 0 .. 9, the strength handed to the compressor
  TABSCompressionLevel CompressionLevel = aclNone;
};
static_assert(sizeof(TABSCompression) == 3);

// Little-endian fields of the stored forms, advancing the cursor.
template <class T>
void PutLE(uint8_t*& Cursor, T Value) {
  for (size_t i = 0; i < sizeof(T); ++i) *Cursor++ = static_cast<uint8_t>(static_cast<uint64_t>(Value) >> (8 * i));
}
template <class T>
T GetLE(const uint8_t*& Cursor) {
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= uint64_t{*Cursor++} << (8 * i);
  return static_cast<T>(v);
}

// Header of one compressed block, followed directly by its compressed bytes.
// Stored as 20 little-endian bytes:
//   0 CompressedSize i32 | 4 UncompressedSize i32 | 8 Crc32 u32 | 12 OffsetToNextHeader i64
struct TABSCompressedStreamBlockHeader {
  static constexpr int StoredSize = 20;

  int32_t CompressedSize = 0;       // bytes of compressed data after the header
  int32_t UncompressedSize = 0;     // bytes once decompressed
  uint32_t Crc32 = 0;               // CalcCRC32(0, ...) over the uncompressed bytes
  int64_t OffsetToNextHeader = 0;   // CompressedSize + StoredSize

  void EncodeTo(uint8_t* Dst) const;
  static TABSCompressedStreamBlockHeader DecodeFrom(const uint8_t* Src);
};

// Compresses InSize bytes with the algorithm at Mode. On success OutBuf holds
// the compressed bytes and OutSize their number. False (OutSize 0) for acaNone,
// an empty input, a mode the algorithm refuses (zlib 0 .. 9, bzip2 1 .. 9;
// PPM clamps to 1 .. 9) or any failure.
bool CompressBuffer(TABSCompressionAlgorithm Algorithm, uint8_t Mode, const void* InBuf, int32_t InSize,
                    std::vector<uint8_t>& OutBuf, int32_t& OutSize);

// On entry OutSize is the expected uncompressed size (zlib and bzip2: an
// estimate, 0 when unknown; PPM: the exact size). MaxOutSize caps the output:
// pass the exact size when it is known, so a stream that would produce more
// fails instead of growing. On success OutBuf holds the bytes and OutSize
// their number; on failure false, OutBuf empty and OutSize 0.
bool DecompressBuffer(TABSCompressionAlgorithm Algorithm, const void* InBuf, int32_t InSize,
                      std::vector<uint8_t>& OutBuf, int32_t& OutSize, int32_t MaxOutSize = INT32_MAX);

// Reflected CRC-32 (polynomial 0xEDB88320) from Initial, without the usual
// pre- and post-inversion: the engine passes 0 ("123456789" gives 0x2DFD2D88).
uint32_t CalcCRC32(uint32_t Initial, const void* Buffer, uint32_t Length);

// "NONE", "ZLIB", "BZIP", "PPM" in any case; anything else is acaNone.
TABSCompressionAlgorithm StringToCompressionAlgorithm(const String& Name);
// The algorithm's name as StringToCompressionAlgorithm reads it ("NONE" for an unknown value).
String CompressionAlgorithmToString(TABSCompressionAlgorithm Algorithm);

// Detail of the last failed zlib decompression in any thread; empty when none.
String GetLastCompressionError();
void ClearLastCompressionError();
