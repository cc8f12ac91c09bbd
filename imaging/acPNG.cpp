#include "imaging/acPNG.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// A chunk longer than this is damaged: PNG limits lengths to 2^31 - 1.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
// The largest picture a bitmap can hold here.
constexpr uint32_t kMaxSide = 32767;
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

const char* const kInvalidFormat = "Cannot load image. Invalid or unexpected %s image format.";
const char* const kCrcError = "Cannot load image. CRC error found in %s file.";
const char* const kBadPalette = "Cannot load image. Palette in %s file is invalid.";
const char* const kBadColorFormat = "Invalid color format in %s file.";
const char* const kExtraData = "Cannot load image. Extra compressed data found in %s file.";
const char* const kCompressionError = "Cannot load image. Compression error found in %s file.";
const char* const kCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";

// The CRC-32 tables for eight bytes per step, made by the compiler, so no
// thread ever builds them while another reads.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeCrcTables() {
  std::array<std::array<uint32_t, 256>, 8> t{};
  uint32_t poly = 0;
  for (int e : {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26}) poly |= 1u << (31 - e);
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? poly ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k) t[size_t(k)][n] = (t[size_t(k - 1)][n] >> 8) ^ t[0][t[size_t(k - 1)][n] & 0xFF];
  return t;
}
constexpr auto kCrcTables = MakeCrcTables();

uint32_t BigEndian32(const uint8_t* p) { return SwapBytes32(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }
uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// Grey and colour values of bKGD and tRNS, at depth 2 and 16 scaled to 8 bits.
unsigned ScaleValue(unsigned v, uint8_t BitDepth) {
  if (BitDepth == 2) return v * 15 / 3;
  if (BitDepth == 16) return unsigned(uint32_t(uint16_t(v)) * 255 / 65535);
  return v & 0xFF;
}

// Packed pixel value at column X of a row of Bits-bit pixels.
unsigned PackedValue(const uint8_t* Row, int X, int Bits) {
  if (Bits >= 8) return Row[X * (Bits / 8)];
  const int bit = X * Bits;
  return (Row[bit / 8] >> (8 - Bits - bit % 8)) & ((1u << Bits) - 1);
}

}  // namespace

uint32_t acPNGCrc32(uint32_t Crc, const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  uint32_t c = ~Crc;
  while (Size >= 8) {
    const uint32_t lo = c ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    c = kCrcTables[7][lo & 0xFF] ^ kCrcTables[6][(lo >> 8) & 0xFF] ^ kCrcTables[5][(lo >> 16) & 0xFF] ^
        kCrcTables[4][lo >> 24] ^ kCrcTables[3][p[4]] ^ kCrcTables[2][p[5]] ^ kCrcTables[1][p[6]] ^
        kCrcTables[0][p[7]];
    p += 8;
    Size -= 8;
  }
  while (Size--) c = kCrcTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

// ---- TLZ77Decoder ----

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : FFlushMode(FlushMode), FAutoReset(AutoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
  if (FInitialized) inflateEnd(&FStream);
}

void TLZ77Decoder::DecodeInit() {
  if (inflateInit(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
  FInitialized = true;
}

void TLZ77Decoder::Decode(const uint8_t*& Source, uint8_t*& Dest, uint32_t PackedSize, uint32_t UnpackedSize) {
  FStream.next_in = const_cast<Bytef*>(Source);
  FStream.avail_in = PackedSize;
  if (FAutoReset) FZLibResult = inflateReset(&FStream);
  if (FZLibResult != Z_OK) return;
  FStream.next_out = Dest;
  FStream.avail_out = UnpackedSize;
  FZLibResult = inflate(&FStream, FFlushMode);
  Source = FStream.next_in;
  Dest = FStream.next_out;
}

void TLZ77Decoder::DecodeEnd() {
  if (!FInitialized) return;
  FInitialized = false;
  if (inflateEnd(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
}

// ---- TPNGGraphic ----

TPNGGraphic::TPNGGraphic() : FColorManager(std::make_unique<TColorManager>()) {}

TPNGGraphic::~TPNGGraphic() = default;

void TPNGGraphic::Assign(TPersistent* Source) {
  if (auto* png = dynamic_cast<TPNGGraphic*>(Source)) FImageProperties = png->FImageProperties;
  TBitmap::Assign(Source);
}

void TPNGGraphic::Fail(const String& Message) { throw EInvalidGraphic(Format(Message, {"PNG"})); }

void TPNGGraphic::Progress(TProgressStage Stage, const String& Msg) {
  if (OnProgress) OnProgress(this, Stage, 0, false, FProgressRect, Msg);
}

bool TPNGGraphic::CanLoad(TStream& Stream) {
  if (!acPNGReaderEnabled) return false;
  const int64_t pos = Stream.Position();
  bool ok = false;
  if (Stream.Size() - pos > 8) {
    uint8_t sig[8];
    ok = Stream.Read(sig, 8) == 8 && std::memcmp(sig, kSignature, 8) == 0;
  }
  Stream.SetPosition(pos);
  return ok;
}

bool TPNGGraphic::CanLoad(const String& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  return CanLoad(file);
}

void TPNGGraphic::ReadChunkHeader() {
  uint8_t raw[8];
  FStream->ReadBuffer(raw, 8);
  std::memcpy(FHeader.ChunkType, raw + 4, 4);
  FCurrentCRC = acPNGCrc32(0, FHeader.ChunkType, 4);
  FHeader.Length = BigEndian32(raw);
}

void TPNGGraphic::ReadChunkData() {
  // A length past the end of the data cannot be right; refusing it before
  // allocating keeps a damaged file from asking for gigabytes.
  if (FHeader.Length > kMaxChunkLength || int64_t(FHeader.Length) + 4 > FStream->Size() - FStream->Position())
    Fail(kInvalidFormat);
  FRawBuffer.resize(FHeader.Length);
  if (FHeader.Length) FStream->ReadBuffer(FRawBuffer.data(), FHeader.Length);
  uint8_t crc[4];
  FStream->ReadBuffer(crc, 4);
  FCurrentCRC = acPNGCrc32(FCurrentCRC, FRawBuffer.data(), FRawBuffer.size());
  if (FCurrentCRC != BigEndian32(crc)) Fail(kCrcError);
}

void TPNGGraphic::SkipChunk() { FStream->Seek(int64_t(FHeader.Length) + 4, soCurrent); }

bool TPNGGraphic::IsChunk(const char* Name) const {
  for (int i = 0; i < 4; ++i)
    if ((FHeader.ChunkType[i] & ~0x20) != (Name[i] & ~0x20)) return false;
  return true;
}

bool TPNGGraphic::ReadImageProperties(TStream& Stream, unsigned) {
  FImageProperties = TImageProperties();
  FStream = &Stream;
  uint8_t sig[8];
  if (Stream.Read(sig, 8) != 8 || std::memcmp(sig, kSignature, 8) != 0) return false;
  ReadChunkHeader();
  if (!IsChunk("IHDR")) return false;
  FImageProperties.Options |= ioBigEndian;
  ReadChunkData();
  if (FRawBuffer.size() < 13) return false;
  const uint8_t* h = FRawBuffer.data();
  const uint32_t width = BigEndian32(h), height = BigEndian32(h + 4);
  if (width == 0 || height == 0) return false;
  // Sizes no bitmap can hold are refused here, before any row is allocated.
  if (width > kMaxSide || height > kMaxSide || uint64_t(width) * height > kMaxPixels) return false;
  FImageProperties.Width = width;
  FImageProperties.Compression = h[10] == 0 ? ctLZ77 : ctUnknown;
  FImageProperties.BitsPerSample = h[8];
  FImageProperties.ColorType = h[9];
  FImageProperties.Interlace = h[12];
  switch (h[9]) {
    case 0: FImageProperties.ColorScheme = csG, FImageProperties.SamplesPerPixel = 1; break;
    case 2: FImageProperties.ColorScheme = csRGB, FImageProperties.SamplesPerPixel = 3; break;
    case 3: FImageProperties.ColorScheme = csIndexed, FImageProperties.SamplesPerPixel = 1; break;
    case 4: FImageProperties.ColorScheme = csGA, FImageProperties.SamplesPerPixel = 2; break;
    case 6: FImageProperties.ColorScheme = csRGBA, FImageProperties.SamplesPerPixel = 4; break;
    default: FImageProperties.ColorScheme = csUnknown, FImageProperties.SamplesPerPixel = 1; break;
  }
  for (;;) {
    ReadChunkHeader();
    if (IsChunk("gAMA")) {
      ReadChunkData();
      break;
    }
    if (IsChunk("IEND")) break;
    SkipChunk();
  }
  return true;
}

uint8_t TPNGGraphic::SetupColorDepth(uint8_t ColorType, uint8_t BitDepth) {
  TColorManager& cm = *FColorManager;
  auto configure = [&](TColorScheme s, TColorScheme t, uint8_t spp, uint8_t targetBits) {
    cm.SetSourceColorScheme(s);
    cm.SetTargetColorScheme(t);
    cm.SetSourceSamplesPerPixel(spp);
    cm.SetTargetSamplesPerPixel(spp);
    cm.SetSourceBitsPerSample(BitDepth);
    cm.SetTargetBitsPerSample(targetBits);
  };
  const bool b124816 = BitDepth == 1 || BitDepth == 2 || BitDepth == 4 || BitDepth == 8 || BitDepth == 16;
  const bool b816 = BitDepth == 8 || BitDepth == 16;
  uint8_t bpp = 0;
  if (ColorType == 0 && b124816) {
    configure(csG, csG, 1, BitDepth == 2 ? 4 : BitDepth == 16 ? 8 : BitDepth);
    SetPixelFormat(cm.TargetPixelFormat());
    FPalette = cm.CreateGrayscalePalette(false);
    bpp = uint8_t((BitDepth + 7) / 8);
  } else if (ColorType == 2 && b816) {
    configure(csRGB, csBGR, 3, 8);
    SetPixelFormat(pf24bit);
    bpp = uint8_t(BitDepth * 3 / 8);
  } else if (ColorType == 3 && (b124816 && BitDepth != 16)) {
    configure(csIndexed, csIndexed, 1, BitDepth == 2 ? 4 : BitDepth);
    SetPixelFormat(cm.TargetPixelFormat());
    bpp = 1;
  } else if (ColorType == 4 && b816) {
    configure(csGA, csIndexed, 1, 8);
    SetPixelFormat(pf8bit);
    FPalette = cm.CreateGrayscalePalette(false);
    bpp = uint8_t(BitDepth * 2 / 8);
  } else if (ColorType == 6 && b816) {
    configure(csRGBA, csBGRA, 4, 8);
    SetPixelFormat(pf32bit);
    bpp = uint8_t(BitDepth * 4 / 8);
  } else {
    Fail(kBadColorFormat);
  }
  FDepthSetUp = true;
  return bpp;
}

void TPNGGraphic::ReadBackground(uint8_t ColorType, uint8_t BitDepth) {
  ReadChunkData();
  const uint8_t* d = FRawBuffer.data();
  const size_t n = FRawBuffer.size();
  // Short chunks are ignored rather than read past their end.
  if ((ColorType == 0 || ColorType == 4) && n >= 2) {
    FBackgroundColor = TColor(ScaleValue(BigEndian16(d), BitDepth));
  } else if ((ColorType == 2 || ColorType == 6) && n >= 6) {
    const unsigned r = ScaleValue(BigEndian16(d), BitDepth == 16 ? 16 : 8),
                   g = ScaleValue(BigEndian16(d + 2), BitDepth == 16 ? 16 : 8),
                   b = ScaleValue(BigEndian16(d + 4), BitDepth == 16 ? 16 : 8);
    FBackgroundColor = TColor(r + g * 256 + b * 65536);
  } else if (ColorType == 3 && n >= 1) {
    FBackgroundColor = TColor(d[0]);
  }
}

void TPNGGraphic::ReadTransparency(uint8_t ColorType, uint8_t BitDepth) {
  ReadChunkData();
  const uint8_t* d = FRawBuffer.data();
  const size_t n = FRawBuffer.size();
  if (ColorType == 0 && n >= 2) {
    const unsigned v = ScaleValue(BigEndian16(d), BitDepth) & 0xFF;
    FTransparentColor = TColor(v | v << 8 | v << 16);
  } else if (ColorType == 2 && n >= 6) {
    const unsigned r = ScaleValue(BigEndian16(d), BitDepth == 16 ? 16 : 8),
                   g = ScaleValue(BigEndian16(d + 2), BitDepth == 16 ? 16 : 8),
                   b = ScaleValue(BigEndian16(d + 4), BitDepth == 16 ? 16 : 8);
    FTransparentColor = TColor(r + g * 256 + b * 65536);
  } else if (ColorType == 3) {
    FTransparency.assign(256, 255);
    std::copy_n(d, std::min<size_t>(256, n), FTransparency.begin());
  }
}

void TPNGGraphic::ReadData(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint32_t size = 0;
  Stream.ReadBuffer(&size, sizeof size);
  if (int64_t(size) > Stream.Size() - Stream.Position()) Fail(kInvalidFormat);
  TMemoryStream data;
  if (size) data.CopyFrom(Stream, size);
  data.SetPosition(0);
  if (CanLoad(data)) {
    LoadFromStream(data);
    return;
  }
  Stream.SetPosition(start);
  TBitmap::ReadData(Stream);
}

void TPNGGraphic::LoadFromStream(TStream& Stream) {
  Assign(nullptr);
  FBasePosition = Stream.Position();
  FDecoder.reset();
  FStream = &Stream;
  try {
    if (!ReadImageProperties(Stream, 0)) Fail(kInvalidFormat);
    Stream.SetPosition(FBasePosition + 8);
    FProgressRect = TRect(0, 0, int(FImageProperties.Width), 1);
    Progress(psStarting, "Preparing...");
    FPalette.clear();
    FTransparency.clear();
    FBackgroundColor = clWhite;
    FTransparentColor = clNone;
    FDepthSetUp = false;
    ReadChunkHeader();
    FRawBuffer.clear();
    FColorManager->SourceOptions = coNeedByteSwap;
    struct Cleanup {
      TPNGGraphic* self;
      ~Cleanup() {
        if (self->FDecoder) {
          try {
            self->FDecoder->DecodeEnd();
          } catch (...) {
            // The load's own error, if any, is the one to report.
          }
          self->FDecoder.reset();
        }
        self->FRawBuffer.clear();
        self->FRawBuffer.shrink_to_fit();
        try {
          self->Progress(psEnding, "");
        } catch (...) {
          // A handler's error must not end the process while another unwinds.
        }
      }
    } cleanup{this};

    ReadChunkData();
    uint8_t header[13];
    std::memcpy(header, FRawBuffer.data(), 13);
    const uint8_t colorType = header[9], bitDepth = header[8];
    if (FImageProperties.Compression != ctLZ77)
      throw EInvalidGraphic(Format("Cannot load image. %s not supported for %s files.",
                                   {"The compression scheme is", "PNG"}));
    FDecoder = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, false);
    FDecoder->DecodeInit();
    bool imageRead = false;
    for (;;) {
      ReadChunkHeader();
      if (IsChunk("IDAT") && !imageRead) {
        Progress(psEnding, "");
        LoadIDAT(header);
        imageRead = true;
      } else if (IsChunk("PLTE")) {
        if (FHeader.Length % 3 != 0) Fail(kBadPalette);
        ReadChunkData();
        if (colorType == 3) {
          FSourceBPP = SetupColorDepth(colorType, bitDepth);
          const void* const data[1] = {FRawBuffer.data()};
          FPalette = FColorManager->CreateColorPalette(data, pfInterlaced8Triple, FHeader.Length / 3, false);
        }
        continue;
      } else if (IsChunk("gAMA")) {
        ReadChunkData();
        if (FRawBuffer.size() >= 4) {
          const float gamma = float(BigEndian32(FRawBuffer.data())) / 100000.0f;
          FColorManager->SetGamma(gamma, 2.2f);
          FColorManager->TargetOptions |= coApplyGamma;
          FImageProperties.Options |= ioUseGamma;
        }
        continue;
      } else if (IsChunk("bKGD")) {
        ReadBackground(colorType, bitDepth);
        continue;
      } else if (IsChunk("tRNS")) {
        ReadTransparency(colorType, bitDepth);
        continue;
      }
      // The chunk the image data left current, or any other.
      SkipChunk();
      if (IsChunk("IEND")) break;
      if (!(FHeader.ChunkType[0] & 0x20)) throw EInvalidGraphic(kCriticalChunk);
    }
    // A file without image data is not a picture, whatever its header says.
    if (!imageRead) Fail(kInvalidFormat);
  } catch (const EReadError&) {
    // The file ended early: a damaged picture like any other.
    Fail(kInvalidFormat);
  }
}

void TPNGGraphic::LoadIDAT(const uint8_t* Header) {
  Progress(psStarting, "Transfering...");
  const uint8_t colorType = Header[9], bitDepth = Header[8], interlace = Header[12];
  if (!FDepthSetUp) {
    // An indexed picture needs its palette before its image data.
    if (colorType == 3) Fail(kBadPalette);
    FSourceBPP = SetupColorDepth(colorType, bitDepth);
  }
  const uint64_t samples = bitDepth == 16 ? FSourceBPP / 2 : FSourceBPP;
  const uint32_t width = FImageProperties.Width, height = BigEndian32(Header + 4);
  SetSize(int(width), int(height));
  if (!FPalette.empty()) {
    HDC dc = Canvas()->Handle();
    SetDIBColorTable(dc, 0, UINT(std::min<size_t>(FPalette.size(), 256)), FPalette.data());
  }
  Canvas()->Lock();
  Canvas()->Brush()->SetColor(FBackgroundColor);
  Canvas()->FillRect(TRect(0, 0, int(width), int(height)));
  Canvas()->Unlock();
  if (FTransparentColor != clNone) {
    SetTransparentColor(FTransparentColor);
    SetTransparent(true);
  }
  // Row sizes in 64 bits: width x depth x samples overflows 32 bits for wide 16-bit pictures.
  const uint64_t rowBytes = (uint64_t(width) * bitDepth + 7) / 8 * samples;
  std::vector<uint8_t> lineA(rowBytes + 1, 0), lineB(rowBytes + 1, 0);
  uint8_t* line = lineA.data();
  uint8_t* prev = lineB.data();
  void* row0 = nullptr;
  int step = 0;
  if (GetBitmapRowInfo(this, row0, step)) {
    auto* first = static_cast<uint8_t*>(row0);
    auto decodeRow = [&](uint32_t y, uint64_t bytes, uint8_t mask) {
      ReadRow(line, size_t(bytes));
      ApplyFilter(line[0], line + 1, prev + 1, size_t(bytes - 1));
      FColorManager->ConvertRow(line + 1, first + int64_t(y) * step, width, mask);
      std::swap(line, prev);
    };
    if (interlace == 1) {
      static constexpr uint32_t kStartRow[7] = {0, 0, 4, 0, 2, 0, 1};
      static constexpr uint32_t kRowStep[7] = {8, 8, 8, 4, 4, 2, 2};
      static constexpr uint32_t kStartCol[7] = {0, 4, 0, 2, 0, 1, 0};
      static constexpr uint32_t kColStep[7] = {8, 8, 4, 4, 2, 2, 1};
      static constexpr uint8_t kMask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};
      for (int pass = 0; pass < 7; ++pass) {
        if (kStartCol[pass] >= width) continue;
        const uint64_t passBytes =
            ((uint64_t(width) + kColStep[pass] - kStartCol[pass] - 1) / kColStep[pass] * bitDepth + 7) / 8 *
                samples + 1;
        std::fill_n(prev, passBytes, 0);
        for (uint32_t y = kStartRow[pass]; y < height; y += kRowStep[pass]) {
          decodeRow(y, passBytes, kMask[pass]);
          if (pass == 6) FProgressRect = TRect(0, int(y), int(width), int(y) + 1);
        }
      }
    } else {
      for (uint32_t y = 0; y < height; ++y) {
        decodeRow(y, rowBytes + 1, 0xFF);
        FProgressRect = TRect(0, int(y), int(width), int(y) + 1);
      }
    }
  }
  // Image data left after the last row is read (and checked) but not used.
  while (IsChunk("IDAT")) {
    ReadChunkData();
    ReadChunkHeader();
  }
}

void TPNGGraphic::ReadRow(uint8_t* Row, size_t Bytes) {
  uint8_t* dest = Row;
  size_t left = Bytes;
  while (left > 0) {
    if (FDecoder->AvailableInput() == 0) {
      FIDATSize = 0;
      while (FIDATSize == 0) {
        // Image data that ends early leaves the rest of the row as it was.
        if (!IsChunk("IDAT")) return;
        ReadChunkData();
        FCurrentSource = FRawBuffer.data();
        FIDATSize = FHeader.Length;
        ReadChunkHeader();
      }
    }
    const uint32_t consumed = uint32_t(FCurrentSource - FRawBuffer.data());
    const uint8_t* before = FCurrentSource;
    uint8_t* const start = dest;
    FDecoder->Decode(FCurrentSource, dest, FIDATSize - consumed, uint32_t(left));
    left -= size_t(dest - start);
    const int result = FDecoder->ZLibResult();
    if (result == Z_STREAM_END) {
      if (left > 0 || FDecoder->AvailableInput() > 0) Fail(kExtraData);
      return;
    }
    if (result != Z_OK) Fail(kCompressionError);
    if (dest == start && FCurrentSource == before && FDecoder->AvailableInput() > 0) Fail(kCompressionError);
  }
}

void TPNGGraphic::ApplyFilter(uint8_t Filter, uint8_t* Line, const uint8_t* PrevLine, size_t Bytes) {
  const size_t bpp = FSourceBPP;
  switch (Filter) {
    case 1:
      for (size_t i = bpp; i < Bytes; ++i) Line[i] = uint8_t(Line[i] + Line[i - bpp]);
      break;
    case 2:
      for (size_t i = 0; i < Bytes; ++i) Line[i] = uint8_t(Line[i] + PrevLine[i]);
      break;
    case 3:
      for (size_t i = 0; i < Bytes; ++i) {
        const unsigned a = i >= bpp ? Line[i - bpp] : 0;
        Line[i] = uint8_t(Line[i] + (a + PrevLine[i]) / 2);
      }
      break;
    case 4:
      for (size_t i = 0; i < Bytes; ++i) {
        const int a = i >= bpp ? Line[i - bpp] : 0, b = PrevLine[i], c = i >= bpp ? PrevLine[i - bpp] : 0;
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        Line[i] = uint8_t(Line[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
      }
      break;
    default: break;  // 0, and unknown types, leave the row as read
  }
}

void TPNGGraphic::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (PixelFormat() != pf32bit) {
    TBitmap::Draw(ACanvas, Rect);
    return;
  }
  const int w = Rect.Width(), h = Rect.Height();
  if (w <= 0 || h <= 0 || Empty()) return;
  std::unique_ptr<TBitmap> work = NewBitmap32(w, Reflected ? h + h / 2 : h);
  BitBlt(work->Canvas()->Handle(), 0, 0, work->Width(), work->Height(), ACanvas->Handle(), Rect.Left, Rect.Top,
         SRCCOPY);
  if (w == Width() && h == Height()) {
    BlendBitmapOverEx(TRect(0, 0, w, h), TRect(0, 0, w, h), work.get(), Reflected, 0, clNone, false, EmptyCI, this);
  } else {
    // Colours and alpha are stretched apart, the alpha as a grey picture.
    std::unique_ptr<TBitmap> scaled = NewBitmap32(w, h);
    SetStretchBltMode(scaled->Canvas()->Handle(), HALFTONE);
    StretchBlt(scaled->Canvas()->Handle(), 0, 0, w, h, Canvas()->Handle(), 0, 0, Width(), Height(), SRCCOPY);
    std::unique_ptr<TBitmap> alpha = NewBitmap32(Width(), Height()), alphaScaled = NewBitmap32(w, h);
    for (int y = 0; y < Height(); ++y) {
      const auto* src = static_cast<const uint32_t*>(ScanLine(y));
      auto* dst = static_cast<uint32_t*>(alpha->ScanLine(y));
      for (int x = 0; x < Width(); ++x) {
        const uint32_t a = src[x] >> 24;
        dst[x] = a | a << 8 | a << 16;
      }
    }
    SetStretchBltMode(alphaScaled->Canvas()->Handle(), HALFTONE);
    StretchBlt(alphaScaled->Canvas()->Handle(), 0, 0, w, h, alpha->Canvas()->Handle(), 0, 0, Width(), Height(),
               SRCCOPY);
    for (int y = 0; y < h; ++y) {
      auto* dst = static_cast<uint32_t*>(scaled->ScanLine(y));
      const auto* a = static_cast<const uint32_t*>(alphaScaled->ScanLine(y));
      for (int x = 0; x < w; ++x) dst[x] = (dst[x] & 0xFFFFFF) | (a[x] & 0xFF) << 24;
    }
    BlendBitmapOverEx(TRect(0, 0, w, h), TRect(0, 0, w, h), work.get(), false, 0, clNone, false, EmptyCI,
                      scaled.get());
  }
  BitBlt(ACanvas->Handle(), Rect.Left, Rect.Top, work->Width(), work->Height(), work->Canvas()->Handle(), 0, 0,
         SRCCOPY);
}

void CopyPNGToBitmap32(TBitmap* Bitmap, TPNGGraphic* PNG) {
  const bool wasTransparent = Bitmap->Transparent();
  const int w = PNG->Width(), h = PNG->Height();
  const TImageProperties& props = PNG->ImageProperties();
  // The picture's own per-pixel values (index or grey), read from their packed positions.
  const int bits = props.ColorScheme == csIndexed || props.ColorScheme == csG
                       ? std::min<int>(PNG->ColorManager()->TargetBitsPerSample(), 8)
                       : 8;
  auto forEach = [&](auto&& F) {
    for (int y = 0; y < h; ++y) {
      const auto* own = static_cast<const uint8_t*>(PNG->ScanLine(y));
      auto* row = static_cast<uint32_t*>(Bitmap->ScanLine(y));
      for (int x = 0; x < w; ++x) F(row[x], own, x);
    }
  };
  if (props.ColorScheme == csIndexed && !PNG->Transparency().empty()) {
    Bitmap->Assign(PNG);
    Bitmap->SetPixelFormat(pf32bit);
    const auto& t = PNG->Transparency();
    forEach([&](uint32_t& p, const uint8_t* own, int x) {
      p = (p & 0xFFFFFF) | uint32_t(t[PackedValue(own, x, bits)]) << 24;
    });
    return;
  }
  Bitmap->Assign(PNG);
  if (PNG->PixelFormat() == pf32bit) return;
  Bitmap->SetPixelFormat(pf32bit);
  TColorManager* cm = PNG->ColorManager();
  if (props.Options & ioUseGamma) {
    if (!(cm->TargetOptions & coApplyGamma)) {
      forEach([&](uint32_t& p, const uint8_t*, int) { p = uint32_t(255 - ((p >> 16) & 0xFF)) << 24; });
    } else if (cm->SourcePixelFormat() == pf24bit) {
      forEach([&](uint32_t& p, const uint8_t*, int) { p |= 0xFF000000u; });
    } else {
      // Grey pictures with a gamma chunk become black shadows of their inverted grey.
      const uint8_t* g = cm->GammaTable();
      forEach([&](uint32_t& p, const uint8_t* own, int x) {
        p = uint32_t(255 - g[PackedValue(own, x, bits) & 0xFF]) << 24;
      });
    }
  } else if (wasTransparent) {
    const uint32_t key = static_cast<const uint32_t*>(Bitmap->ScanLine(h - 1))[0] & 0xFFFFFF;
    forEach([&](uint32_t& p, const uint8_t*, int) {
      p = (p & 0xFFFFFF) | ((p & 0xFFFFFF) != key ? 0xFF000000u : 0);
    });
  } else {
    forEach([&](uint32_t& p, const uint8_t*, int) { p |= 0xFF000000u; });
  }
}

// ---- Registration ----

void acPNGInitialize(bool OwnClassFirst, const TGraphicClass* FrameworkPngClass) {
  if (!OwnClassFirst && FrameworkPngClass) TPicture::UnregisterGraphicClass(FrameworkPngClass);
  TPicture::RegisterFileFormat("png", "Portable network graphics (Glazory)", GraphicClassOf<TPNGGraphic>());
  if (!OwnClassFirst && FrameworkPngClass)
    TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", FrameworkPngClass);
}

void acPNGFinalize() { TPicture::UnregisterGraphicClass(GraphicClassOf<TPNGGraphic>()); }
