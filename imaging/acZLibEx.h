#pragma once
// A read-only stream that inflates zlib data on the fly from another stream.
// The packed-skin reader positions the archive at an entry's compressed bytes,
// reads the entry out of this stream and then reads the next entry header from
// the archive, so the source is left right behind the compressed data consumed.

#include <zlib.h>

#include "platform/rtl/Classes.h"

// Results of zlib, -1 to -6 in order.
enum TZError { zeError, zeStreamError, zeDataError, zeMemoryError, zeBufferError, zeVersionError };

class EZLibError : public Exception {
 public:
  // The message is zlib's text for the result code; Dummy only tells this form apart.
  EZLibError(int Code, const String& Dummy);
  EZLibError(TZError Error, const String& Dummy);
  int ErrorCode() const { return FErrorCode; }

 protected:
  EZLibError(String Message, int Code) : Exception(std::move(Message)), FErrorCode(Code) {}

 private:
  int FErrorCode = 0;
};

class EZDecompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
  // "Invalid ZStream operation!" with ErrorCode 0.
  static EZDecompressionError InvalidOperation();

 private:
  EZDecompressionError(String Message, int Code) : EZLibError(std::move(Message), Code) {}
};

// zlib's text for a result code ("data error" for -3); empty for unknown codes.
String ZLibErrorText(int Code);

class TCustomZStream : public TStream {
 public:
  TNotifyEvent OnProgress;

 protected:
  explicit TCustomZStream(TStream& Source);

  static constexpr int kBufferSize = 131072;

  TStream& FStream;  // referenced, never owned
  int64_t FStreamPos;
  z_stream FZStream{};
  unsigned char FBuffer[kBufferSize];
};

class TZDecompressionStream : public TCustomZStream {
 public:
  // zlib header expected, default window.
  explicit TZDecompressionStream(TStream& Source);
  // zlib's window-bits conventions: negative for raw deflate, +16 for gzip.
  TZDecompressionStream(TStream& Source, int WindowBits);
  ~TZDecompressionStream() override;

  // Uncompressed bytes delivered, 0 to Count; fewer when the source runs out.
  int64_t Read(void* Buffer, int64_t Count) override;
  // Always raises: this stream only inflates.
  int64_t Write(const void* Buffer, int64_t Count) override;
  // Forward only (by reading and discarding), or 0 from the beginning, which
  // rewinds to where this stream began in its source. Returns the bytes delivered so far.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 private:
  int64_t FStartPos;
};
