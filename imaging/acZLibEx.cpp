#include "imaging/acZLibEx.h"

#include <cstring>

String ZLibErrorText(int Code) {
  switch (Code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_STREAM_END: return "stream end";
    case Z_OK: return "ok";
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

EZLibError::EZLibError(int Code, const String&) : Exception(ZLibErrorText(Code)), FErrorCode(Code) {}

EZLibError::EZLibError(TZError Error, const String& Dummy) : EZLibError(-1 - int(Error), Dummy) {}

EZDecompressionError EZDecompressionError::InvalidOperation() {
  return EZDecompressionError(String("Invalid ZStream operation!"), 0);
}

namespace {

// A negative zlib result raises; anything else goes back to the caller.
int DCheck(int Code) {
  if (Code < 0) throw EZDecompressionError(Code, String());
  return Code;
}

constexpr int kSkipBlock = 16384;

}  // namespace

TCustomZStream::TCustomZStream(TStream& Source) : FStream(Source), FStreamPos(Source.Position()) {
  FZStream.next_in = FBuffer;
  FZStream.avail_in = 0;
}

TZDecompressionStream::TZDecompressionStream(TStream& Source) : TCustomZStream(Source), FStartPos(FStreamPos) {
  DCheck(inflateInit(&FZStream));
}

TZDecompressionStream::TZDecompressionStream(TStream& Source, int WindowBits)
    : TCustomZStream(Source), FStartPos(FStreamPos) {
  DCheck(inflateInit2(&FZStream, WindowBits));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZStream); }

int64_t TZDecompressionStream::Read(void* Buffer, int64_t Count) {
  if (Count < 0) Count = 0;
  FZStream.next_out = static_cast<Bytef*>(Buffer);
  // zlib counts in 32 bits; a larger request is served in part, as a short read.
  FZStream.avail_out = uInt(std::min<int64_t>(Count, 0x7FFFFFFF));
  const int64_t asked = FZStream.avail_out;
  // Another user of the source may have moved it.
  if (FStream.Position() != FStreamPos) FStream.SetPosition(FStreamPos);
  int result = Z_OK;
  while (FZStream.avail_out > 0 && result != Z_STREAM_END) {
    if (FZStream.avail_in == 0) {
      const int64_t n = FStream.Read(FBuffer, kBufferSize);
      if (n <= 0) return asked - FZStream.avail_out;
      FZStream.avail_in = uInt(n);
      FZStream.next_in = FBuffer;
      FStreamPos = FStream.Position();
      if (OnProgress) OnProgress(this);
    }
    result = DCheck(inflate(&FZStream, Z_NO_FLUSH));
    // A stream that asks for a preset dictionary cannot go on: none is ever given.
    if (result == Z_NEED_DICT) throw EZDecompressionError(Z_DATA_ERROR, String());
  }
  if (result == Z_STREAM_END && FZStream.avail_in > 0) {
    // Hand the bytes behind the compressed data back to the source.
    FStream.Seek(-int64_t(FZStream.avail_in), soCurrent);
    FStreamPos = FStream.Position();
    FZStream.avail_in = 0;
  }
  return asked - FZStream.avail_out;
}

int64_t TZDecompressionStream::Write(const void*, int64_t) { throw EZDecompressionError::InvalidOperation(); }

int64_t TZDecompressionStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  unsigned char scratch[kSkipBlock];
  const int64_t done = int64_t(FZStream.total_out);
  if (Offset == 0 && Origin == soBeginning) {
    DCheck(inflateReset(&FZStream));
    FZStream.next_in = FBuffer;
    FZStream.avail_in = 0;
    // Back to where this stream's data began, not to the start of the source:
    // the source may hold other data in front (an archive's earlier entries).
    FStream.SetPosition(FStartPos);
    FStreamPos = FStartPos;
  } else if ((Offset >= 0 && Origin == soCurrent) || (Origin == soBeginning && Offset > done)) {
    if (Origin == soBeginning) Offset -= done;
    for (int64_t i = 0; i < Offset / kSkipBlock; ++i) ReadBuffer(scratch, kSkipBlock);
    ReadBuffer(scratch, Offset % kSkipBlock);
  } else if (Offset == 0 && Origin == soEnd) {
    while (Read(scratch, kSkipBlock) != 0) {
    }
  } else {
    throw EZDecompressionError::InvalidOperation();
  }
  return int64_t(FZStream.total_out);
}
