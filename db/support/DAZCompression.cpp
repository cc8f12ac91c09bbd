#include "db/support/DAZCompression.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "db/support/ABSBZip2.h"
#include "db/support/ABSPPM.h"
#include "db/support/DAZZlib.h"

namespace {

std::mutex& LastErrorLock() {
  static std::mutex lock;
  return lock;
}
String& LastError() {
  static String text;
  return text;
}
void SetLastCompressionError(const String& Text) {
  std::lock_guard<std::mutex> lock(LastErrorLock());
  LastError() = Text;
}

// A call succeeded when it produced bytes; otherwise nothing is handed back.
// Output buffers start at the worst case (several times what compression
// leaves), so a result that fills far less gives the rest back: callers keep
// many blocks at once.
bool Succeeded(std::vector<uint8_t>& OutBuf, int32_t& OutSize) {
  if (OutSize > 0) {
    const auto used = static_cast<size_t>(OutSize);
    if (OutBuf.size() > used) OutBuf.resize(used);
    if (OutBuf.capacity() - used > used / 8) OutBuf.shrink_to_fit();
    return true;
  }
  OutBuf.clear();
  OutBuf.shrink_to_fit();
  OutSize = 0;
  return false;
}

const char* const kAlgorithmNames[] = {"NONE", "ZLIB", "BZIP", "PPM"};

}  // namespace

void TABSCompressedStreamBlockHeader::EncodeTo(uint8_t* Dst) const {
  PutLE(Dst, CompressedSize);
  PutLE(Dst, UncompressedSize);
  PutLE(Dst, Crc32);
  PutLE(Dst, OffsetToNextHeader);
}

TABSCompressedStreamBlockHeader TABSCompressedStreamBlockHeader::DecodeFrom(const uint8_t* Src) {
  TABSCompressedStreamBlockHeader h;
  h.CompressedSize = GetLE<int32_t>(Src);
  h.UncompressedSize = GetLE<int32_t>(Src);
  h.Crc32 = GetLE<uint32_t>(Src);
  h.OffsetToNextHeader = GetLE<int64_t>(Src);
  return h;
}

bool CompressBuffer(TABSCompressionAlgorithm Algorithm, uint8_t Mode, const void* InBuf, int32_t InSize,
                    std::vector<uint8_t>& OutBuf, int32_t& OutSize) {
  OutSize = 0;
  if (Algorithm == acaNone || InSize <= 0) return false;
  try {
    switch (Algorithm) {
      case acaZLIB:
        ZCompressBuf(InBuf, InSize, OutBuf, OutSize, Mode);
        break;
      case acaBZIP:
        BZCompressBuf(InBuf, InSize, OutBuf, OutSize, Mode);
        break;
      case acaPPM:
        PPMCompressBuf(InBuf, InSize, OutBuf, OutSize, Mode);
        break;
      default:
        return false;
    }
  } catch (const std::exception& e) {
    if (Algorithm == acaZLIB) SetLastCompressionError(e.what());
    OutSize = 0;
  }
  return Succeeded(OutBuf, OutSize);
}

bool DecompressBuffer(TABSCompressionAlgorithm Algorithm, const void* InBuf, int32_t InSize,
                      std::vector<uint8_t>& OutBuf, int32_t& OutSize, int32_t MaxOutSize) {
  const int32_t expected = OutSize;
  OutSize = 0;
  if (Algorithm == acaNone || InSize <= 0) return false;
  try {
    switch (Algorithm) {
      case acaZLIB: {
        String error;
        ZDecompressBuf(InBuf, InSize, expected, OutBuf, OutSize, MaxOutSize, &error);
        if (OutSize <= 0) SetLastCompressionError(error);
        break;
      }
      case acaBZIP:
        BZDecompressBuf(InBuf, InSize, expected, OutBuf, OutSize, MaxOutSize);
        break;
      case acaPPM:
        OutSize = std::min(expected, MaxOutSize);
        PPMDecompressBuf(InBuf, InSize, OutBuf, OutSize);
        break;
      default:
        return false;
    }
  } catch (const std::exception&) {
    OutSize = 0;
  }
  return Succeeded(OutBuf, OutSize);
}

uint32_t CalcCRC32(uint32_t Initial, const void* Buffer, uint32_t Length) {
  if (Length == 0) return Initial;
  // zlib's CRC inverts before and after; undoing both leaves the plain table walk.
  return ~static_cast<uint32_t>(crc32_z(~Initial, static_cast<const Bytef*>(Buffer), Length));
}

TABSCompressionAlgorithm StringToCompressionAlgorithm(const String& Name) {
  const String upper = UpperCase(Name);
  for (int i = 0; i < 4; ++i)
    if (upper == kAlgorithmNames[i]) return static_cast<TABSCompressionAlgorithm>(i);
  return acaNone;
}

String CompressionAlgorithmToString(TABSCompressionAlgorithm Algorithm) {
  const int i = static_cast<int>(Algorithm);
  return kAlgorithmNames[i >= 0 && i < 4 ? i : 0];
}

String GetLastCompressionError() {
  std::lock_guard<std::mutex> lock(LastErrorLock());
  return LastError();
}

void ClearLastCompressionError() { SetLastCompressionError(String()); }
