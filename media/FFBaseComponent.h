#pragma once
// The common base of the media engine's components (logger, decoder, encoder)
// and two small types the decoder and the encoder share.

#include <cstdint>
#include <functional>

#include "media/SmallSet.h"
#include "platform/rtl/Classes.h"

struct AVFormatContext;

class TFFBaseComponent : public TComponent {
 public:
  explicit TFFBaseComponent(TComponent* AOwner) : TComponent(AOwner) {}

  // Free text kept for the designer.
  const String& GetAbout() const { return FAbout; }
  void SetAbout(const String& Value) { FAbout = Value; }
  // The component library's version.
  const String& GetVersion() const { return FVersion; }
  // The library's modal about box, titled after the component's class.
  void ShowAbout() const;

  // Milliseconds a blocking library read or write may last (0 or less: no limit).
  int GetReadTimeout() const { return FReadTimeout; }
  virtual void SetReadTimeout(int Value) { FReadTimeout = Value; }
  int GetWriteTimeout() const { return FWriteTimeout; }
  virtual void SetWriteTimeout(int Value) { FWriteTimeout = Value; }

 protected:
  String FAbout;
  String FVersion = "6.4";
  int FReadTimeout = 30000;
  int FWriteTimeout = 30000;
};

enum TSeekFlag { sfBackward, sfByte, sfAny, sfFrame };
using TSeekFlags = TSmallSet<TSeekFlag, uint8_t>;

// The library's seek flags (AVSEEK_FLAG_BACKWARD 1, BYTE 2, ANY 4, FRAME 8)
// are the set's bits.
constexpr int SeekFlagsToAV(TSeekFlags Flags) { return Flags.ToBits() & 0xF; }

// Fired after a file was opened and before its streams are probed, so that a
// handler may adjust the format context.
using TBeforeFindStreamInfoEvent = std::function<void(TObject* Sender, AVFormatContext* AFormatContext)>;
