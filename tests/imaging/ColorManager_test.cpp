#include <gtest/gtest.h>

#include "imaging/acPNGColorManager.h"

namespace {

void Configure(TColorManager& cm, TColorScheme s, TColorScheme t, int sbps, int tbps, int sspp, int tspp) {
  cm.SetSourceColorScheme(s);
  cm.SetTargetColorScheme(t);
  cm.SetSourceBitsPerSample(uint8_t(sbps));
  cm.SetTargetBitsPerSample(uint8_t(tbps));
  cm.SetSourceSamplesPerPixel(uint8_t(sspp));
  cm.SetTargetSamplesPerPixel(uint8_t(tspp));
}

std::string ErrorOf(TColorManager& cm) {
  uint8_t src[16] = {}, dst[16] = {};
  try {
    cm.ConvertRow(src, dst, 1, 0xFF);
  } catch (const EColorConversionError& e) {
    return e.Message;
  }
  return "";
}

}  // namespace

TEST(ColorManager, PackedGreyScalesAndMasksPixels) {
  TColorManager cm;
  Configure(cm, csG, csG, 2, 4, 1, 1);
  const uint8_t src[1] = {0b00011011};  // 0, 1, 2, 3
  uint8_t dst[2] = {};
  cm.ConvertRow(src, dst, 4, 0xFF);
  EXPECT_EQ(dst[0], 0x05);
  EXPECT_EQ(dst[1], 0xAF);

  // Mask 0x22 writes target pixels 2 and 6 only, consuming one source pixel each.
  Configure(cm, csIndexed, csIndexed, 8, 8, 1, 1);
  const uint8_t idx[2] = {7, 9};
  uint8_t row[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  cm.ConvertRow(idx, row, 8, 0x22);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 8), (std::vector<uint8_t>{1, 1, 7, 1, 1, 1, 9, 1}));

  // 4-entry 2-bit palette spread over the 16 entries a 4-bit bitmap indexes.
  Configure(cm, csIndexed, csIndexed, 2, 4, 1, 1);
  const uint8_t pal[12] = {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42};
  const void* const data[1] = {pal};
  const TPaletteEntries p = cm.CreateColorPalette(data, pfInterlaced8Triple, 4, false);
  ASSERT_EQ(p.size(), 16u);
  EXPECT_EQ(p[0].rgbRed, 10);
  EXPECT_EQ(p[0].rgbBlue, 12);
  EXPECT_EQ(p[5].rgbRed, 20);
  EXPECT_EQ(p[10].rgbRed, 30);
  EXPECT_EQ(p[15].rgbGreen, 41);
}

TEST(ColorManager, GreyAlpha16SwapsScalesAndDropsAlpha) {
  TColorManager cm;
  Configure(cm, csGA, csIndexed, 16, 8, 1, 1);
  cm.SourceOptions = coNeedByteSwap;
  const uint8_t src[8] = {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x12, 0x34};
  uint8_t dst[2] = {};
  cm.ConvertRow(src, dst, 2, 0xFF);
  EXPECT_EQ(dst[0], 255);
  EXPECT_EQ(dst[1], 0x8000 * 255 / 65535);
}

TEST(ColorManager, RgbaToBgraWithGammaOnColoursOnly) {
  TColorManager cm;
  Configure(cm, csRGBA, csBGRA, 8, 8, 4, 4);
  cm.SetGamma(1 / 2.2f, 2.2f);  // identity table
  cm.TargetOptions = coApplyGamma;
  const uint8_t src[8] = {1, 2, 3, 4, 200, 100, 50, 128};
  uint8_t dst[8] = {};
  cm.ConvertRow(src, dst, 2, 0xFF);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 8), (std::vector<uint8_t>{3, 2, 1, 4, 50, 100, 200, 128}));
  cm.SetGamma(0.5f, 1.0f);  // squares
  cm.ConvertRow(src, dst, 2, 0xFF);
  EXPECT_EQ(dst[4], 10);   // round((50/255)^2 * 255)
  EXPECT_EQ(dst[7], 128);  // alpha never takes gamma

  // 16-bit big-endian colour to 24-bit.
  Configure(cm, csRGB, csBGR, 16, 8, 3, 3);
  cm.TargetOptions = 0;
  cm.SourceOptions = coNeedByteSwap;
  const uint8_t wide[6] = {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01};
  cm.ConvertRow(wide, dst, 1, 0xFF);
  EXPECT_EQ(dst[2], 255);
  EXPECT_EQ(dst[1], 127);
  EXPECT_EQ(dst[0], 0);
}

TEST(ColorManager, OtherSchemes) {
  TColorManager cm;
  Configure(cm, csCMYK, csBGR, 8, 8, 4, 3);
  const uint8_t cmyk[4] = {255, 0, 100, 50};
  uint8_t dst[4] = {};
  cm.ConvertRow(cmyk, dst, 1, 0xFF);
  EXPECT_EQ(dst[2], 0);                        // red from full cyan
  EXPECT_EQ(dst[1], 205);                      // green: 255 - 0 - 50
  EXPECT_EQ(dst[0], 255 - 100 - 50 + 100 * 50 / 255);

  Configure(cm, csYCbCr, csRGB, 8, 8, 3, 3);
  const uint8_t ycc[3] = {100, 128, 128};
  cm.ConvertRow(ycc, dst, 1, 0xFF);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 3), (std::vector<uint8_t>{100, 100, 100}));

  Configure(cm, csCIELab, csRGB, 8, 8, 3, 3);
  cm.SourceOptions = coLabByteRange | coLabChromaOffset;
  const uint8_t white[3] = {255, 128, 128};
  cm.ConvertRow(white, dst, 1, 0xFF);
  EXPECT_NEAR(dst[0], 255, 2);
  EXPECT_NEAR(dst[1], 255, 2);
}

TEST(ColorManager, ErrorsAndConverterChoice) {
  TColorManager cm;
  EXPECT_THROW(cm.SetSourceBitsPerSample(0), EColorConversionError);
  EXPECT_THROW(cm.SetTargetBitsPerSample(17), EColorConversionError);
  EXPECT_THROW(cm.SetSourceSamplesPerPixel(5), EColorConversionError);
  EXPECT_EQ(cm.SourceBitsPerSample(), 8);  // a refused value leaves the old one
  Configure(cm, csRGB, csIndexed, 8, 8, 3, 1);
  EXPECT_EQ(ErrorOf(cm), "Conversion between indexed and non-indexed pixel formats is not supported.");
  Configure(cm, csCMY, csRGB, 8, 8, 3, 3);
  EXPECT_EQ(ErrorOf(cm), "Color conversion failed. Could not find a proper method.");
  Configure(cm, csG, csG, 16, 4, 1, 1);
  EXPECT_EQ(ErrorOf(cm), "Color conversion failed. Could not find a proper method.");

  // Options set directly do not choose again: alpha stays off until a setter changes something.
  Configure(cm, csRGB, csBGR, 8, 8, 3, 3);
  EXPECT_EQ(ErrorOf(cm), "");
  EXPECT_FALSE(cm.TargetOptions & coAlpha);
  cm.SetTargetColorScheme(csBGRA);
  EXPECT_EQ(ErrorOf(cm), "");
  EXPECT_TRUE(cm.TargetOptions & coAlpha);

  EXPECT_EQ(cm.TargetPixelFormat(), pf24bit);
  cm.SetTargetSamplesPerPixel(4);
  EXPECT_EQ(cm.TargetPixelFormat(), pf32bit);
  cm.SetTargetSamplesPerPixel(1);
  cm.SetTargetBitsPerSample(2);
  EXPECT_EQ(cm.TargetPixelFormat(), pf4bit);
}

TEST(ColorManager, GammaAndGreyPalettes) {
  TColorManager a, b;
  a.SetGamma(0, 0);
  b.SetGamma(1, 2.2f);
  EXPECT_EQ(std::vector<uint8_t>(a.GammaTable(), a.GammaTable() + 256),
            std::vector<uint8_t>(b.GammaTable(), b.GammaTable() + 256));
  a.SetTargetSamplesPerPixel(1);
  a.SetTargetBitsPerSample(4);
  TPaletteEntries p = a.CreateGrayscalePalette(false);
  ASSERT_EQ(p.size(), 16u);
  EXPECT_EQ(p[0].rgbRed, 0);
  EXPECT_EQ(p[1].rgbGreen, 17);
  EXPECT_EQ(p[15].rgbBlue, 255);
  p = a.CreateGrayscalePalette(true);
  EXPECT_EQ(p[0].rgbRed, 255);
}
