#include "db/support/DAZZlib.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Zero-filled blocks, as the engine has always handed them to the library.
voidpf ZAlloc(voidpf, uInt items, uInt size) { return std::calloc(items, size); }
void ZFree(voidpf, voidpf address) { std::free(address); }

int CCheck(int code) {
  if (code < 0) throw ECompressionError("error " + IntToStr(code));
  return code;
}

// A stream over the whole input and the whole output block.
z_stream NewStream(const void* in, int64_t inBytes, std::vector<uint8_t>& out) {
  z_stream zs{};
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  zs.next_in = static_cast<Bytef*>(const_cast<void*>(in));
  zs.avail_in = static_cast<uInt>(inBytes);
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  return zs;
}

int32_t RoundUp(int64_t value, int64_t step) {
  return static_cast<int32_t>(std::min<int64_t>((value + step - 1) / step * step, INT32_MAX));
}

}  // namespace

void ZCompressBuf(const void* InBuf, int32_t InBytes, std::vector<uint8_t>& OutBuf, int32_t& OutBytes, int Level) {
  constexpr int32_t kGrowBy = 256;
  const int64_t n = std::max(InBytes, 0);
  OutBytes = RoundUp(n + n / 10 + 12, kGrowBy);
  try {
    OutBuf.assign(static_cast<size_t>(OutBytes), 0);
    z_stream zs = NewStream(InBuf, n, OutBuf);
    CCheck(deflateInit(&zs, Level));
    try {
      while (CCheck(deflate(&zs, Z_FINISH)) != Z_STREAM_END) {
        OutBuf.resize(OutBuf.size() + kGrowBy);
        zs.next_out = OutBuf.data() + zs.total_out;
        zs.avail_out = kGrowBy;
      }
    } catch (...) {
      deflateEnd(&zs);
      throw;
    }
    CCheck(deflateEnd(&zs));
    OutBuf.resize(zs.total_out);
    OutBytes = static_cast<int32_t>(zs.total_out);
  } catch (...) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
}

void ZDecompressBuf(const void* InBuf, int32_t InBytes, int32_t OutEstimate, std::vector<uint8_t>& OutBuf,
                    int32_t& OutBytes, int32_t MaxOutBytes, String* ErrorText) {
  const int64_t n = std::max(InBytes, 0);
  const int32_t increment = RoundUp(n, 256);
  // Deflate cannot expand more than 1032:1, so no sound stream needs more room.
  const int32_t limit = static_cast<int32_t>(std::clamp<int64_t>(n * 1032 + 1024, 1, std::max(MaxOutBytes, 1)));
  OutBytes = std::clamp(OutEstimate > 0 ? OutEstimate : increment, 1, limit);
  String error;
  OutBuf.assign(static_cast<size_t>(OutBytes), 0);
  z_stream zs = NewStream(InBuf, n, OutBuf);
  int code = inflateInit(&zs);
  if (code >= 0) {
    for (;;) {
      const uLong inBefore = zs.total_in;
      const uLong outBefore = zs.total_out;
      code = inflate(&zs, Z_NO_FLUSH);
      if (code == Z_STREAM_END) break;
      if (code < 0) break;
      if (code == Z_NEED_DICT) {
        error = "stream needs a preset dictionary";
        break;
      }
      if (zs.total_in == inBefore && zs.total_out == outBefore) {
        error = "no progress";
        break;
      }
      if (zs.avail_out != 0) continue;
      if (zs.total_out >= static_cast<uLong>(limit)) {
        // Full at the limit: only the stream's end may follow.
        uint8_t spare;
        zs.next_out = &spare;
        zs.avail_out = 1;
        code = inflate(&zs, Z_NO_FLUSH);
        if (code == Z_STREAM_END && zs.total_out == static_cast<uLong>(limit)) break;
        error = "output larger than expected";
        code = Z_DATA_ERROR;
        break;
      }
      OutBytes = static_cast<int32_t>(std::min<int64_t>(int64_t{OutBytes} + increment, limit));
      OutBuf.resize(static_cast<size_t>(OutBytes));
      zs.next_out = OutBuf.data() + zs.total_out;
      zs.avail_out = static_cast<uInt>(OutBytes - static_cast<int32_t>(zs.total_out));
    }
    if (code == Z_STREAM_END) {
      if (inflateEnd(&zs) >= 0) {
        OutBuf.resize(zs.total_out);
        OutBytes = static_cast<int32_t>(zs.total_out);
        return;
      }
      code = Z_STREAM_ERROR;
    } else {
      inflateEnd(&zs);
    }
  }
  if (error.empty()) error = zs.msg != nullptr ? String(zs.msg) : "error " + IntToStr(code);
  if (ErrorText != nullptr) *ErrorText = "zlib: " + error;
  OutBuf.clear();
  OutBuf.shrink_to_fit();
  OutBytes = 0;
}
