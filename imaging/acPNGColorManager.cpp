#include "imaging/acPNGColorManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const char* const kIndexedMismatch = "Conversion between indexed and non-indexed pixel formats is not supported.";
const char* const kBadDepth = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
const char* const kBadSampleCount = "Sample count per pixel does not correspond to the given color scheme.";
const char* const kNoMethod = "Color conversion failed. Could not find a proper method.";

uint16_t Swap16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }
uint16_t Read16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
void Write16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
uint8_t Clamp8(int64_t v) { return uint8_t(std::clamp<int64_t>(v, 0, 255)); }
// Rounds halves to even, as the arithmetic these values are defined by does.
int64_t Round(double v) { return std::llrint(v); }

// Walks target pixels under the rotating mask; calls Convert for each selected one.
template <class F>
void ForMasked(uint32_t Count, uint8_t Mask, F&& Convert) {
  uint8_t m = 0x80;
  for (uint32_t i = 0; i < Count; ++i) {
    if (Mask & m) Convert(i);
    m = uint8_t((m >> 1) | (m << 7));
  }
}

// Samples of one source pixel: interleaved from one pointer, or one pointer per plane.
class SampleReader {
 public:
  SampleReader(TConversionSource Source, int BytesPerSample, int SamplesPerPixel)
      : bytes_(BytesPerSample), step_(SamplesPerPixel), planar_(Source.size() > 1) {
    for (size_t i = 0; i < std::min<size_t>(Source.size(), 4); ++i)
      p_[i] = static_cast<const uint8_t*>(Source[i]);
  }
  // Raw sample i of the current pixel (not byte-swapped).
  unsigned Get(int i) const {
    const uint8_t* at = planar_ ? p_[i] : p_[0] + i * bytes_;
    return bytes_ == 2 ? Read16(at) : *at;
  }
  void Next() {
    if (planar_) {
      for (const uint8_t*& q : p_)
        if (q) q += bytes_;
    } else {
      p_[0] += step_ * bytes_;
    }
  }

 private:
  const uint8_t* p_[4] = {nullptr, nullptr, nullptr, nullptr};
  int bytes_;
  int step_;
  bool planar_;
};

// Packed values of 1 to 8 bits, most significant bits first.
class BitReader {
 public:
  BitReader(const uint8_t* p, int bits) : p_(p), bits_(bits) {}
  unsigned Next() {
    const int shift = 8 - bits_ - bit_;
    const unsigned v = (*p_ >> shift) & ((1u << bits_) - 1);
    bit_ += bits_;
    if (bit_ >= 8) {
      bit_ = 0;
      ++p_;
    }
    return v;
  }

 private:
  const uint8_t* p_;
  int bits_;
  int bit_ = 0;
};

// Writes at target pixel i, keeping the other bits of its byte.
void PutPacked(uint8_t* target, uint32_t i, int bits, unsigned v) {
  if (bits == 8) {
    target[i] = uint8_t(v);
    return;
  }
  const uint64_t bit = uint64_t(i) * uint64_t(bits);
  uint8_t& b = target[bit / 8];
  const int shift = 8 - bits - int(bit % 8);
  const unsigned mask = ((1u << bits) - 1) << shift;
  b = uint8_t((b & ~mask) | ((v << shift) & mask));
}

unsigned MaxOf(int bits) { return (1u << bits) - 1; }

}  // namespace

TColorManager::TColorManager() { SetGamma(1.0f, 2.2f); }

void TColorManager::Error(const String& Msg) { throw EColorConversionError(Msg); }

namespace {

// Stores Value and marks the converter for choosing again, only when it differs.
template <class T>
void Change(T& Field, T Value, bool& Changed) {
  if (Value != Field) {
    Field = Value;
    Changed = true;
  }
}

}  // namespace

void TColorManager::SetSourceBitsPerSample(uint8_t Value) {
  if (Value == 0 || Value > 16) Error(kBadDepth);
  Change(FSourceBPS, Value, FChanged);
}

void TColorManager::SetTargetBitsPerSample(uint8_t Value) {
  if (Value == 0 || Value > 16) Error(kBadDepth);
  Change(FTargetBPS, Value, FChanged);
}

void TColorManager::SetSourceSamplesPerPixel(uint8_t Value) {
  if (Value == 0 || Value > 4) Error(kBadSampleCount);
  Change(FSourceSPP, Value, FChanged);
}

void TColorManager::SetTargetSamplesPerPixel(uint8_t Value) {
  if (Value == 0 || Value > 4) Error(kBadSampleCount);
  Change(FTargetSPP, Value, FChanged);
}

void TColorManager::SetSourceColorScheme(TColorScheme Value) { Change(FSourceScheme, Value, FChanged); }

void TColorManager::SetTargetColorScheme(TColorScheme Value) { Change(FTargetScheme, Value, FChanged); }

TPixelFormat TColorManager::PixelFormatFor(uint8_t BPS, uint8_t SPP) {
  switch (SPP) {
    case 1:
      if (BPS == 1) return pf1bit;
      if (BPS >= 2 && BPS <= 4) return pf4bit;
      if (BPS >= 8 && BPS <= 16) return pf8bit;
      return pfCustom;
    case 3: return BPS >= 1 && BPS <= 5 ? pf15bit : pf24bit;
    case 4: return BPS >= 8 ? pf32bit : pfCustom;
    default: return pfCustom;
  }
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
  if (MainGamma <= 0) MainGamma = 1.0f;
  if (DisplayGamma <= 0) DisplayGamma = 2.2f;
  FMainGamma = MainGamma;
  FDisplayGamma = DisplayGamma;
  const double exponent = 1.0 / (double(MainGamma) * double(DisplayGamma));
  const unsigned n = FSourceBPS >= 8 ? 255 : MaxOf(std::min<int>(FTargetBPS, 8));
  const unsigned top = FTargetBPS >= 8 ? 255 : MaxOf(FTargetBPS);
  for (unsigned i = 0; i <= n; ++i)
    FGammaTable[i] = uint8_t(std::clamp<int64_t>(Round(std::pow(double(i) / n, exponent) * top), 0, 255));
}

void TColorManager::BuildChromaTables(int CrOffset, int CbOffset) {
  const double kr = FYCbCrCoefficients[0], kg = FYCbCrCoefficients[1], kb = FYCbCrCoefficients[2];
  const double cr = 2 - 2 * kr, cb = 2 - 2 * kb;
  FCrToRedTable.resize(256);
  FCbToBlueTable.resize(256);
  FCrToGreenTable.resize(256);
  FCbToGreenTable.resize(256);
  for (int i = 0; i < 256; ++i) {
    const int dr = i - CrOffset, db = i - CbOffset;
    FCrToRedTable[size_t(i)] = int32_t(Round(cr * dr));
    FCbToBlueTable[size_t(i)] = int32_t(Round(cb * db));
    FCrToGreenTable[size_t(i)] = -int32_t(Round(kr * cr / kg * dr));
    FCbToGreenTable[size_t(i)] = -int32_t(Round(kb * cb / kg * db));
  }
}

void TColorManager::PrepareConversion() {
  FRowConversion = nullptr;
  const bool sourceIndexed = FSourceScheme == csIndexed || FSourceScheme == csG || FSourceScheme == csGA;
  const bool targetIndexed = FTargetScheme == csIndexed || FTargetScheme == csG;
  if (sourceIndexed != targetIndexed) Error(kIndexedMismatch);
  auto hasAlpha = [](TColorScheme s) { return s == csGA || s == csRGBA || s == csBGRA; };
  SourceOptions = hasAlpha(FSourceScheme) ? (SourceOptions | coAlpha) : (SourceOptions & ~coAlpha);
  TargetOptions = hasAlpha(FTargetScheme) ? (TargetOptions | coAlpha) : (TargetOptions & ~coAlpha);
  const bool targetRGB = FTargetScheme == csRGB || FTargetScheme == csRGBA;
  const bool targetBGR = FTargetScheme == csBGR || FTargetScheme == csBGRA;
  const bool s16 = FSourceBPS == 16, t16 = FTargetBPS == 16;
  switch (FSourceScheme) {
    case csIndexed:
      if (s16 && t16)
        FRowConversion = &TColorManager::RowIndexed16To16;
      else if (s16)
        FRowConversion = &TColorManager::RowIndexed16ToPacked;
      else if (t16)
        FRowConversion = &TColorManager::RowPackedToIndexed16;
      else
        FRowConversion = &TColorManager::RowPacked;
      break;
    case csG:
      if (s16 || t16) {
        if (FSourceBPS >= 8 && FTargetBPS >= 8) FRowConversion = &TColorManager::RowGrey;
      } else {
        FRowConversion = &TColorManager::RowPacked;
      }
      break;
    case csGA:
      if ((FSourceBPS == 8 || s16) && (FTargetBPS == 8 || t16)) FRowConversion = &TColorManager::RowGrey;
      break;
    case csRGB:
    case csRGBA:
      if (targetRGB || targetBGR) FRowConversion = &TColorManager::RowRGB;
      FSwapRB = targetBGR;
      break;
    case csBGR:
    case csBGRA:
      if (targetRGB || targetBGR) FRowConversion = &TColorManager::RowRGB;
      FSwapRB = targetRGB;
      break;
    case csCMYK:
    case csCIELab:
    case csYCbCr:
    case csPhotoYCC:
      if (targetRGB || targetBGR) {
        if (FSourceScheme == csYCbCr) BuildChromaTables(128, 128);
        if (FSourceScheme == csPhotoYCC) BuildChromaTables(137, 156);
        FRowConversion = FSourceScheme == csCMYK    ? &TColorManager::RowCMYK
                         : FSourceScheme == csCIELab ? &TColorManager::RowLab
                                                     : &TColorManager::RowYCbCr;
        // These write red first for RGB targets, blue first for BGR ones.
        FSwapRB = targetBGR;
      }
      break;
    default: break;
  }
  FChanged = false;
}

void TColorManager::ConvertRow(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  if (FChanged) PrepareConversion();
  if (!FRowConversion) Error(kNoMethod);
  (this->*FRowConversion)(Source, Target, Count, Mask);
}

// ---- Sample conversions ----

uint8_t TColorManager::Sample16To8(uint16_t v, bool Gamma) const {
  if (SourceOptions & coNeedByteSwap) v = Swap16(v);
  const uint8_t r = uint8_t(uint32_t(v) * 255 / 65535);
  return Gamma && (TargetOptions & coApplyGamma) ? FGammaTable[r] : r;
}

uint16_t TColorManager::Sample8To16(uint8_t v, bool Gamma) const {
  if (Gamma && (TargetOptions & coApplyGamma)) v = FGammaTable[v];
  const uint16_t r = uint16_t(uint32_t(v) * 65535 / 255);
  return (SourceOptions & coNeedByteSwap) ? Swap16(r) : r;
}

uint16_t TColorManager::Sample16To16(uint16_t v) const { return (SourceOptions & coNeedByteSwap) ? Swap16(v) : v; }

// ---- Indexed and grey ----

void TColorManager::RowPacked(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const auto* src = static_cast<const uint8_t*>(Source[0]);
  auto* dst = static_cast<uint8_t*>(Target);
  const int sb = FSourceBPS, tb = FTargetBPS;
  if (sb == tb && Mask == 0xFF) {
    std::memcpy(dst, src, (size_t(Count) * size_t(sb) + 7) / 8);
    return;
  }
  BitReader in(src, sb);
  const unsigned smax = MaxOf(sb), tmax = MaxOf(tb);
  ForMasked(Count, Mask, [&](uint32_t i) { PutPacked(dst, i, tb, in.Next() * tmax / smax); });
}

void TColorManager::RowIndexed16To16(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const auto* src = static_cast<const uint8_t*>(Source[0]);
  auto* dst = static_cast<uint8_t*>(Target);
  if (Mask == 0xFF && !(SourceOptions & coNeedByteSwap)) {
    std::memcpy(dst, src, size_t(Count) * 2);
    return;
  }
  ForMasked(Count, Mask, [&](uint32_t i) {
    Write16(dst + size_t(i) * 2, Sample16To16(Read16(src)));
    src += 2;
  });
}

void TColorManager::RowIndexed16ToPacked(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const auto* src = static_cast<const uint8_t*>(Source[0]);
  auto* dst = static_cast<uint8_t*>(Target);
  const unsigned tmax = MaxOf(std::min<int>(FTargetBPS, 8));
  ForMasked(Count, Mask, [&](uint32_t i) {
    const unsigned v = Sample16To16(Read16(src));
    src += 2;
    PutPacked(dst, i, std::min<int>(FTargetBPS, 8), v * tmax / 65535);
  });
}

void TColorManager::RowPackedToIndexed16(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const int sb = std::min<int>(FSourceBPS, 8);
  BitReader in(static_cast<const uint8_t*>(Source[0]), sb);
  auto* dst = static_cast<uint8_t*>(Target);
  const unsigned smax = MaxOf(sb);
  ForMasked(Count, Mask, [&](uint32_t i) {
    uint16_t v = uint16_t(in.Next() * 65535 / smax);
    if (SourceOptions & coNeedByteSwap) v = Swap16(v);
    Write16(dst + size_t(i) * 2, v);
  });
}

void TColorManager::RowGrey(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const int sbytes = FSourceBPS == 16 ? 2 : 1;
  SampleReader in(Source, sbytes, (SourceOptions & coAlpha) ? 2 : 1);
  auto* dst = static_cast<uint8_t*>(Target);
  const bool t16 = FTargetBPS == 16;
  // Grey pictures get their gamma through the palette, never here.
  ForMasked(Count, Mask, [&](uint32_t i) {
    const unsigned v = in.Get(0);
    in.Next();
    if (sbytes == 1 && !t16)
      dst[i] = uint8_t(v);
    else if (sbytes == 1)
      Write16(dst + size_t(i) * 2, uint16_t(v * 65535 / 255));
    else if (!t16)
      dst[i] = Sample16To8(uint16_t(v), false);
    else
      Write16(dst + size_t(i) * 2, Sample16To16(uint16_t(v)));
  });
}

// ---- Colour ----

void TColorManager::RowRGB(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const bool s16 = FSourceBPS == 16, t16 = FTargetBPS == 16;
  if ((FSourceBPS != 8 && !s16) || (FTargetBPS != 8 && !t16)) return;
  const bool srcAlpha = SourceOptions & coAlpha, dstAlpha = TargetOptions & coAlpha;
  const int sbytes = s16 ? 2 : 1, tbytes = t16 ? 2 : 1;
  const int tstep = (dstAlpha ? 4 : 3) * tbytes;
  const bool gamma = TargetOptions & coApplyGamma;
  auto* dst = static_cast<uint8_t*>(Target);
  const int first = FSwapRB ? 2 : 0, last = FSwapRB ? 0 : 2;
  if (!s16 && !t16 && Source.size() == 1 && Mask == 0xFF) {
    // The common case of every picture row: 8-bit interleaved samples, all pixels.
    const auto* s = static_cast<const uint8_t*>(Source[0]);
    const int sstep = srcAlpha ? 4 : 3;
    const uint8_t* g = FGammaTable;
    for (uint32_t i = 0; i < Count; ++i, s += sstep, dst += tstep) {
      dst[first] = gamma ? g[s[0]] : s[0];
      dst[1] = gamma ? g[s[1]] : s[1];
      dst[last] = gamma ? g[s[2]] : s[2];
      if (srcAlpha && dstAlpha) dst[3] = s[3];
    }
    return;
  }
  SampleReader in(Source, sbytes, srcAlpha ? 4 : 3);
  ForMasked(Count, Mask, [&](uint32_t i) {
    uint8_t* d = dst + size_t(i) * size_t(tstep);
    auto put = [&](int slot, unsigned v, bool withGamma) {
      if (!s16 && !t16)
        d[slot] = withGamma && gamma ? FGammaTable[v] : uint8_t(v);
      else if (s16 && !t16)
        d[slot] = Sample16To8(uint16_t(v), withGamma);
      else if (!s16)
        Write16(d + slot * 2, Sample8To16(uint8_t(v), withGamma));
      else
        Write16(d + slot * 2, Sample16To16(uint16_t(v)));
    };
    put(first, in.Get(0), true);
    put(1, in.Get(1), true);
    put(last, in.Get(2), true);
    if (srcAlpha && dstAlpha) put(3, in.Get(3), false);
    in.Next();
  });
}

void TColorManager::RowCMYK(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const bool s16 = FSourceBPS == 16, t16 = FTargetBPS == 16;
  if ((FSourceBPS != 8 && !s16) || (FTargetBPS != 8 && !t16)) return;
  const int tbytes = t16 ? 2 : 1;
  const int tstep = ((TargetOptions & coAlpha) ? 4 : 3) * tbytes;
  auto* dst = static_cast<uint8_t*>(Target);
  const int first = FSwapRB ? 2 : 0, last = FSwapRB ? 0 : 2;
  SampleReader in(Source, s16 ? 2 : 1, 4);
  ForMasked(Count, Mask, [&](uint32_t i) {
    uint8_t* d = dst + size_t(i) * size_t(tstep);
    auto sample = [&](int n) {
      const unsigned v = in.Get(n);
      return s16 ? unsigned(Sample16To16(uint16_t(v))) : v;
    };
    const unsigned k = sample(3);
    const int slots[3] = {first, 1, last};
    for (int c = 0; c < 3; ++c) {
      const unsigned v = sample(c);
      if (!s16) {
        const uint8_t r = Clamp8(int64_t(255) - v - k + v * k / 255);
        if (t16)
          Write16(d + slots[c] * 2, uint16_t(r * 65535u / 255));
        else
          d[slots[c]] = r;
      } else if (t16) {
        Write16(d + slots[c] * 2, uint16_t(65535u - v - k + uint32_t(uint64_t(v) * k / 65535)));
      } else {
        d[slots[c]] = Clamp8(255 - (int64_t(v) + k - int64_t(uint64_t(v) * k / 65535)) * 255 / 65535);
      }
    }
    in.Next();
  });
}

void TColorManager::RowLab(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const bool s16 = FSourceBPS == 16, t16 = FTargetBPS == 16;
  if ((FSourceBPS != 8 && !s16) || (FTargetBPS != 8 && !t16)) return;
  const int tstep = ((TargetOptions & coAlpha) ? 4 : 3) * (t16 ? 2 : 1);
  auto* dst = static_cast<uint8_t*>(Target);
  const int first = FSwapRB ? 2 : 0, last = FSwapRB ? 0 : 2;
  SampleReader in(Source, s16 ? 2 : 1, 3);
  const bool byteRange = SourceOptions & coLabByteRange, offset = SourceOptions & coLabChromaOffset;
  ForMasked(Count, Mask, [&](uint32_t i) {
    double L = in.Get(0);
    const unsigned ra = in.Get(1), rb = in.Get(2);
    in.Next();
    if (byteRange) L /= 2.55;
    double a, b;
    if (offset) {
      a = double(ra) - 128;
      b = double(rb) - 128;
    } else {
      a = int8_t(uint8_t(ra));
      b = int8_t(uint8_t(rb));
    }
    double X, Y, Z;
    if (L < 7.9996) {
      Y = L / 903.3;
      X = Y + a / 3893.5;
      Z = Y - b / 1557.4;
    } else {
      Y = (L + 16) / 116;
      X = Y + a / 500;
      Z = Y - b / 200;
      X = X * X * X;
      Y = Y * Y * Y;
      Z = Z * Z * Z;
    }
    const double rgb[3] = {2.998 * X - 1.458 * Y - 0.541 * Z, -0.952 * X + 1.893 * Y + 0.059 * Z,
                           0.099 * X - 0.198 * Y + 1.099 * Z};
    uint8_t* d = dst + size_t(i) * size_t(tstep);
    const int slots[3] = {first, 1, last};
    for (int c = 0; c < 3; ++c) {
      const uint8_t v = Clamp8(Round(rgb[c] * 255));
      if (!t16)
        d[slots[c]] = v;
      else
        Write16(d + slots[c] * 2, s16 ? uint16_t(v) : uint16_t(v * 65535u / 255));
    }
  });
}

void TColorManager::RowYCbCr(TConversionSource Source, void* Target, uint32_t Count, uint8_t Mask) {
  const bool s16 = FSourceBPS == 16, t16 = FTargetBPS == 16;
  if ((FSourceBPS != 8 && !s16) || (FTargetBPS != 8 && !t16)) return;
  const int tstep = ((TargetOptions & coAlpha) ? 4 : 3) * (t16 ? 2 : 1);
  auto* dst = static_cast<uint8_t*>(Target);
  const int first = FSwapRB ? 2 : 0, last = FSwapRB ? 0 : 2;
  SampleReader in(Source, s16 ? 2 : 1, 3);
  ForMasked(Count, Mask, [&](uint32_t i) {
    unsigned Y = in.Get(0), Cb = in.Get(1), Cr = in.Get(2);
    in.Next();
    uint8_t* d = dst + size_t(i) * size_t(tstep);
    const int slots[3] = {first, 1, last};  // red, green, blue
    if (s16 && t16) {
      Y = Sample16To16(uint16_t(Y));
      Cb = Sample16To16(uint16_t(Cb));
      Cr = Sample16To16(uint16_t(Cr));
      const double l = 1.3584 * Y;
      const double rgb[3] = {l + 1.8215 * (double(Cr) - 35209),
                             l - 0.9271435 * (double(Cr) - 35209) - 0.4302726 * (double(Cb) - 40092),
                             l + 2.2179 * (double(Cb) - 40092)};
      for (int c = 0; c < 3; ++c) Write16(d + slots[c] * 2, uint16_t(Round(rgb[c])));
      return;
    }
    if (s16) {
      Y = Sample16To8(uint16_t(Y), false);
      Cb = Sample16To8(uint16_t(Cb), false);
      Cr = Sample16To8(uint16_t(Cr), false);
    }
    const uint8_t rgb[3] = {Clamp8(int64_t(Y) + FCrToRedTable[Cr]),
                            Clamp8(int64_t(Y) + FCbToGreenTable[Cb] + FCrToGreenTable[Cr]),
                            Clamp8(int64_t(Y) + FCbToBlueTable[Cb])};
    for (int c = 0; c < 3; ++c) {
      if (t16)
        Write16(d + slots[c] * 2, uint16_t(rgb[c] * 65535u / 255));
      else
        d[slots[c]] = rgb[c];
    }
  });
}

// ---- Palettes ----

TPaletteEntries TColorManager::CreateColorPalette(TConversionSource Data, TRawPaletteFormat DataFormat,
                                                  uint32_t ColorCount, bool RGB) {
  const uint32_t entries = std::min<uint32_t>(ColorCount, 256);
  const bool wide = DataFormat >= pfInterlaced16Triple;
  const bool planar = DataFormat == pfPlane8Triple || DataFormat == pfPlane8Quad || DataFormat == pfPlane16Triple ||
                      DataFormat == pfPlane16Quad;
  const bool quad = DataFormat == pfInterlaced8Quad || DataFormat == pfInterlaced16Quad;
  const int bytes = wide ? 2 : 1;
  auto sample = [&](const uint8_t* p) -> uint8_t {
    if (wide) return Sample16To8(Read16(p), true);
    return (TargetOptions & coApplyGamma) ? FGammaTable[*p] : *p;
  };
  TPaletteEntries palette(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    RGBQUAD& q = palette[i];
    if (planar) {
      q.rgbRed = sample(static_cast<const uint8_t*>(Data[0]) + i * bytes);
      q.rgbGreen = sample(static_cast<const uint8_t*>(Data[1]) + i * bytes);
      q.rgbBlue = sample(static_cast<const uint8_t*>(Data[2]) + i * bytes);
    } else {
      const uint8_t* p = static_cast<const uint8_t*>(Data[0]) + size_t(i) * (quad ? 4 : 3) * bytes;
      const uint8_t s0 = sample(p), s1 = sample(p + bytes), s2 = sample(p + 2 * bytes);
      // Without RGB the samples run red, green, blue (8-bit) or blue, green, red (16-bit).
      const bool redFirst = wide ? RGB : !RGB;
      q.rgbRed = redFirst ? s0 : s2;
      q.rgbGreen = s1;
      q.rgbBlue = redFirst ? s2 : s0;
    }
  }
  // The packed converter scales indexes to the target size; spread the colours to match.
  if (FTargetBPS <= 8 && FSourceBPS != FTargetBPS) {
    const unsigned smax = MaxOf(std::min<int>(FSourceBPS, 8)), tmax = MaxOf(FTargetBPS);
    TPaletteEntries spread(size_t(tmax) + 1);
    for (unsigned j = 0; j <= tmax; ++j) {
      const unsigned from = j * smax / tmax;
      if (from < palette.size()) spread[j] = palette[from];
    }
    palette = std::move(spread);
  }
  return palette;
}

TPaletteEntries TColorManager::CreateGrayscalePalette(bool MinimumIsWhite) {
  const int bits = std::min(int(FTargetBPS) * int(FTargetSPP), 8);
  const unsigned n = 1u << bits;
  const unsigned step = 255 / (n - 1);
  TPaletteEntries palette(n);
  for (unsigned i = 0; i < n; ++i) {
    uint8_t v = uint8_t(i * step);
    if (TargetOptions & coApplyGamma) v = FGammaTable[v];
    RGBQUAD& q = palette[MinimumIsWhite ? n - 1 - i : i];
    q.rgbRed = q.rgbGreen = q.rgbBlue = v;
  }
  return palette;
}
