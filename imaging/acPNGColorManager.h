#pragma once
// Row conversion from a picture's samples (grey, indexed, RGB(A), CMYK, CIE
// L*a*b*, YCbCr, PhotoYCC; 1 to 16 bits; interleaved or planar) into the pixel
// layout of a device-independent bitmap, with gamma and byte-order handling,
// and the palettes that go with indexed and grey pictures.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Graphics.h"

enum TColorScheme : uint8_t {
  csUnknown,
  csIndexed,
  csG,
  csGA,
  csRGB,
  csRGBA,
  csBGR,
  csBGRA,
  csCMY,
  csCMYK,
  csCIELab,
  csYCbCr,
  csPhotoYCC
};

enum TConvertOption : uint8_t {
  coAlpha = 1,
  coApplyGamma = 2,
  coNeedByteSwap = 4,     // 16-bit samples are big-endian
  coLabByteRange = 8,     // L* stored as 0..255
  coLabChromaOffset = 16  // a* and b* stored with an offset of 128
};
using TConvertOptions = uint8_t;

enum TRawPaletteFormat {
  pfInterlaced8Triple,
  pfInterlaced8Quad,
  pfPlane8Triple,
  pfPlane8Quad,
  pfInterlaced16Triple,
  pfInterlaced16Quad,
  pfPlane16Triple,
  pfPlane16Quad
};

// A logical palette, owned by whoever holds it.
using TPaletteEntries = std::vector<RGBQUAD>;

class EColorConversionError : public Exception {
 public:
  using Exception::Exception;
};

// One pointer for interleaved samples, one per sample plane otherwise.
using TConversionSource = std::span<const void* const>;

class TColorManager {
 public:
  TColorManager();

  // Converts Count target pixels; Mask selects them (bit 0x80 for the first,
  // rotating right per pixel); unselected target pixels stay as they are and
  // consume no source pixel. Chooses the converter first after a change.
  void ConvertRow(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void ConvertRow(const void* Source, void* Target, uint32_t Count, uint8_t Mask) {
    const void* const one[1] = {Source};
    ConvertRow(TConversionSource(one), Target, Count, Mask);
  }
  // Data: one pointer for interlaced formats, three (red, green, blue) for planar ones.
  TPaletteEntries CreateColorPalette(TConversionSource Data, TRawPaletteFormat DataFormat, uint32_t ColorCount,
                                     bool RGB);
  TPaletteEntries CreateGrayscalePalette(bool MinimumIsWhite);
  void SetGamma(float MainGamma, float DisplayGamma);
  [[noreturn]] void Error(const String& Msg);

  uint8_t SourceBitsPerSample() const { return FSourceBPS; }
  void SetSourceBitsPerSample(uint8_t Value);
  uint8_t TargetBitsPerSample() const { return FTargetBPS; }
  void SetTargetBitsPerSample(uint8_t Value);
  uint8_t SourceSamplesPerPixel() const { return FSourceSPP; }
  void SetSourceSamplesPerPixel(uint8_t Value);
  uint8_t TargetSamplesPerPixel() const { return FTargetSPP; }
  void SetTargetSamplesPerPixel(uint8_t Value);
  TColorScheme SourceColorScheme() const { return FSourceScheme; }
  void SetSourceColorScheme(TColorScheme Value);
  TColorScheme TargetColorScheme() const { return FTargetScheme; }
  void SetTargetColorScheme(TColorScheme Value);
  TPixelFormat SourcePixelFormat() const { return PixelFormatFor(FSourceBPS, FSourceSPP); }
  TPixelFormat TargetPixelFormat() const { return PixelFormatFor(FTargetBPS, FTargetSPP); }
  // Set directly: changing options does not choose the converter again.
  TConvertOptions SourceOptions = 0;
  TConvertOptions TargetOptions = 0;

  const uint8_t* GammaTable() const { return FGammaTable; }

 private:
  using TConversionMethod = void (TColorManager::*)(TConversionSource, void*, uint32_t, uint8_t);

  static TPixelFormat PixelFormatFor(uint8_t BPS, uint8_t SPP);
  void PrepareConversion();
  void BuildChromaTables(int CrOffset, int CbOffset);

  // Sample conversions of the colour converters.
  uint8_t Sample16To8(uint16_t v, bool Gamma) const;
  uint16_t Sample8To16(uint8_t v, bool Gamma) const;
  uint16_t Sample16To16(uint16_t v) const;

  void RowPacked(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowIndexed16To16(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowIndexed16ToPacked(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowPackedToIndexed16(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowGrey(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowRGB(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowCMYK(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowLab(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);
  void RowYCbCr(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask);

  bool FChanged = true;
  uint8_t FSourceBPS = 8;
  uint8_t FTargetBPS = 8;
  uint8_t FSourceSPP = 3;
  uint8_t FTargetSPP = 3;
  float FMainGamma = 1.0f;
  float FDisplayGamma = 2.2f;
  uint8_t FGammaTable[256] = {};
  float FYCbCrCoefficients[3] = {0.299f, 0.587f, 0.114f};
  std::vector<int32_t> FCrToRedTable, FCbToBlueTable, FCrToGreenTable, FCbToGreenTable;
  TColorScheme FSourceScheme = csRGB;
  TColorScheme FTargetScheme = csBGR;
  TConversionMethod FRowConversion = nullptr;
  // Colour targets: whether the first colour sample goes last (BGR order).
  bool FSwapRB = false;
};
