#pragma once
// The system's own PNG reader: a bitmap picture class that checks the
// signature and every chunk's CRC, inflates the image data, undoes the row
// filters and Adam7 interlacing, and converts each row into a device-independent
// bitmap of 1, 4, 8, 24 or 32 bits per pixel. The stored data of the class in
// window definitions is the plain bitmap's.
//
// File layout read here (all integers big-endian):
//   signature  89 50 4E 47 0D 0A 1A 0A
//   chunks     length (4), type (4 letters), data (length bytes), CRC-32 of type and data (4)
//   IHDR first (width 4, height 4, bit depth, colour type, compression, filter, interlace),
//   then PLTE, gAMA, bKGD, tRNS and other chunks, IDAT chunks, IEND.

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/acPNGColorManager.h"
#include "platform/vcl/Graphics.h"

class EGraphicCompression : public Exception {
 public:
  using Exception::Exception;
};

enum TImageOption : uint8_t { ioBigEndian = 1, ioUseGamma = 2 };
using TImageOptions = uint8_t;
enum TCompressionType { ctUnknown, ctNone, ctLZ77 };

struct TImageProperties {
  TImageOptions Options = 0;
  uint32_t Width = 0;
  TColorScheme ColorScheme = csUnknown;
  uint8_t BitsPerSample = 0;
  uint8_t SamplesPerPixel = 0;
  TCompressionType Compression = ctUnknown;
  // From the header as well, kept for the reader's own use.
  uint8_t ColorType = 0;
  uint8_t Interlace = 0;
};

struct TPNGChunkHeader {
  uint32_t Length = 0;  // machine order once read
  char ChunkType[4] = {};
};

// zlib's inflate over caller buffers, one call per Decode.
class TLZ77Decoder {
 public:
  TLZ77Decoder(int FlushMode, bool AutoReset);
  ~TLZ77Decoder();
  TLZ77Decoder(const TLZ77Decoder&) = delete;
  TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

  // EGraphicCompression "LZ77 decompression error." when zlib refuses.
  void DecodeInit();
  // Inflates from Source into Dest and advances both to where inflate stopped.
  // Once inflate has answered anything but Z_OK, further calls do nothing.
  void Decode(const uint8_t*& Source, uint8_t*& Dest, uint32_t PackedSize, uint32_t UnpackedSize);
  void DecodeEnd();

  uint32_t AvailableInput() const { return FStream.avail_in; }
  uint32_t AvailableOutput() const { return FStream.avail_out; }
  int ZLibResult() const { return FZLibResult; }

 private:
  z_stream FStream{};
  int FZLibResult = Z_OK;
  int FFlushMode;
  bool FAutoReset;
  bool FInitialized = false;
};

// CRC-32 of PNG and zlib: Crc = 0 starts a new one; chained updates equal one over the joined bytes.
uint32_t acPNGCrc32(uint32_t Crc, const void* Data, size_t Size);

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const String& Msg)>;

class TPNGGraphic : public TBitmap {
 public:
  TPNGGraphic();
  ~TPNGGraphic() override;

  void Assign(TPersistent* Source) override;
  // Loads from the stream's position; EInvalidGraphic for a damaged, truncated or unsupported file.
  void LoadFromStream(TStream& Stream) override;
  // Window definitions hold the file's size and the file: a PNG file goes
  // through this reader, any other is read as the bitmap's own data.
  void ReadData(TStream& Stream) override;
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex);
  // More than 8 bytes left and the next 8 the signature; the position is kept.
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const String& FileName);

  TColor BackgroundColor() const { return FBackgroundColor; }
  const std::vector<uint8_t>& Transparency() const { return FTransparency; }
  TColorManager* ColorManager() { return FColorManager.get(); }
  const TImageProperties& ImageProperties() const { return FImageProperties; }

  // Draw also paints a fading mirror image below the picture.
  bool Reflected = false;
  TProgressEvent OnProgress;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void Progress(TProgressStage Stage, const String& Msg);
  void ReadChunkHeader();
  void ReadChunkData();
  void SkipChunk();
  bool IsChunk(const char* Name) const;
  uint8_t SetupColorDepth(uint8_t ColorType, uint8_t BitDepth);
  void LoadIDAT(const uint8_t* Header);
  void ReadRow(uint8_t* Row, size_t Bytes);
  void ApplyFilter(uint8_t Filter, uint8_t* Line, const uint8_t* PrevLine, size_t Bytes);
  void ReadBackground(uint8_t ColorType, uint8_t BitDepth);
  void ReadTransparency(uint8_t ColorType, uint8_t BitDepth);
  [[noreturn]] void Fail(const String& Message);

  std::unique_ptr<TColorManager> FColorManager;
  TRect FProgressRect;
  int64_t FBasePosition = 0;
  TStream* FStream = nullptr;  // the stream being read, not owned
  TImageProperties FImageProperties;
  std::unique_ptr<TLZ77Decoder> FDecoder;
  uint32_t FIDATSize = 0;
  std::vector<uint8_t> FRawBuffer;
  const uint8_t* FCurrentSource = nullptr;
  TPNGChunkHeader FHeader;
  uint32_t FCurrentCRC = 0;
  uint8_t FSourceBPP = 1;
  TPaletteEntries FPalette;
  bool FDepthSetUp = false;
  std::vector<uint8_t> FTransparency;
  TColor FTransparentColor = clNone;
  TColor FBackgroundColor = clWhite;
  friend void CopyPNGToBitmap32(TBitmap* Bitmap, TPNGGraphic* PNG);
};

// Bitmap := the loaded picture as 32 bits with a filled alpha channel.
void CopyPNGToBitmap32(TBitmap* Bitmap, TPNGGraphic* PNG);

// The reader's switch: on unless a caller turns it off; CanLoad answers false when off.
inline bool acPNGReaderEnabled = true;
// Registers "png" for TPNGGraphic ("Portable network graphics (Glazory)"). With
// OwnClassFirst false the framework's own PNG class keeps ".png" and TPNGGraphic
// stays available by class name.
void acPNGInitialize(bool OwnClassFirst = true, const TGraphicClass* FrameworkPngClass = nullptr);
void acPNGFinalize();
