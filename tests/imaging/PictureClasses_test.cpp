#include <gtest/gtest.h>

#include <cstring>

#include "imaging/dxGDIPlusClasses.h"

namespace {

// A picture with colours, a gradient and some transparency.
std::unique_ptr<TdxGPImage> Sample(int w, int h, bool alpha) {
  TRGBColors px(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Clear, half-transparent and opaque columns: straight alpha must survive a file.
      const uint32_t a = !alpha ? 255 : x < 3 ? 0 : x < 5 ? 128 : 255;
      px[size_t(y * w + x)] = (a << 24) | (uint32_t(x * 12) << 16) | (uint32_t(y * 16) << 8) | 0x33;
    }
  return std::make_unique<TdxGPImage>(w, h, px, true);
}

std::vector<uint32_t> PixelsOf(TdxGPImage& image) {
  std::unique_ptr<TBitmap> b = image.GetAsBitmap();
  std::vector<uint32_t> out;
  for (int y = 0; y < b->Height(); ++y) {
    const auto* row = static_cast<const uint32_t*>(b->ScanLine(y));
    out.insert(out.end(), row, row + b->Width());
  }
  return out;
}

class PictureClasses : public ::testing::Test {
 protected:
  void SetUp() override {
    dxSetGpLibraryName(TARNWICK_PICTURE_LIBRARY);
    ASSERT_TRUE(dxGDIPlusClassesInitialize());
  }
  void TearDown() override { dxGDIPlusClassesFinalize(); }
};

}  // namespace

TEST(PictureRegistration, NothingWithoutThePictureLibraryOrWithPartOfIt) {
  for (const char* name : {"/nonexistent/libtarnwick_picture.so", "libz.so.1"}) {
    dxSetGpLibraryName(name);
    EXPECT_FALSE(CheckGdiPlus(false)) << name;
    EXPECT_FALSE(dxGDIPlusClassesInitialize()) << name;
    EXPECT_EQ(TPicture::FileFormatForExtension("gif"), nullptr);
    EXPECT_EQ(FindGraphicClass("TdxSmartImage"), nullptr);
  }
  // A later check tries again.
  dxSetGpLibraryName(TARNWICK_PICTURE_LIBRARY);
  EXPECT_TRUE(CheckGdiPlus(false));
  dxGpShutdown();
}

TEST(PictureRegistration, StatusMessages) {
  EXPECT_EQ(EdxGdipException(7, 5).Message, "Invalid operation in GDI+ (Win32 error code: 5)");
  EXPECT_EQ(EdxGdipException(7, 0).Message, "Invalid operation in GDI+ (Code: 7)");
  EXPECT_EQ(EdxGdipException(2).Status(), 2);
}

TEST_F(PictureClasses, RegisteredByExtensionAndClassName) {
  for (const char* ext : {"tiff", "tif", "gif", "jpeg", "jpg"})
    EXPECT_EQ(TPicture::FileFormatForExtension(ext), GraphicClassOf<TdxSmartImage>()) << ext;
  EXPECT_EQ(TPicture::FileFormatForExtension("png"), GraphicClassOf<TdxPNGImage>());
  EXPECT_NE(FindGraphicClass("TdxPNGImage"), nullptr);
  EXPECT_FALSE(dxGpIsCodecSet(dxGpCodecs.IconDecoder));
  EXPECT_NE(GraphicFilter().find("GIF graphics from Tesserine"), String::npos);
}

// Every format through the classes: encode, load the bytes, compare the pixels.
TEST_F(PictureClasses, RoundTripPerFormat) {
  struct Case {
    TdxImageDataFormat format;
    bool lossless;
    bool keepsAlpha;
  };
  for (const Case c : {Case{dxImagePng, true, true}, Case{dxImageBitmap, true, false}, Case{dxImageTiff, true, true},
                       Case{dxImageGif, true, false}, Case{dxImageJpeg, false, false}}) {
    std::unique_ptr<TdxGPImage> source = Sample(16, 12, c.keepsAlpha);
    TMemoryStream bytes;
    source->SaveToStreamByCodec(bytes, c.format);
    ASSERT_GT(bytes.Size(), 0) << int(c.format);
    bytes.SetPosition(0);
    TdxSmartImage loaded;
    loaded.LoadFromStream(bytes);
    EXPECT_EQ(loaded.Width(), 16);
    EXPECT_EQ(loaded.Height(), 12);
    EXPECT_EQ(loaded.ImageDataFormat(), c.format == dxImageBitmap ? dxImageMemoryBmp : c.format);
    const auto a = PixelsOf(*source), b = PixelsOf(loaded);
    for (size_t i = 0; i < a.size(); ++i) {
      if ((a[i] >> 24) == 0) {
        ASSERT_EQ(b[i] >> 24, 0u) << "format " << int(c.format) << " pixel " << i;  // colour of nothing is free
      } else if (c.lossless && ((a[i] >> 24) == 255 || c.format == dxImagePng)) {
        ASSERT_EQ(a[i], b[i]) << "format " << int(c.format) << " pixel " << i;
      } else {
        // JPEG loses detail; TIFF readers hand back premultiplied colours, off by rounding.
        const int tolerance = c.lossless ? 2 : 24;
        for (int shift = 0; shift < 32; shift += 8)
          ASSERT_NEAR(int((a[i] >> shift) & 0xFF), int((b[i] >> shift) & 0xFF), tolerance) << i;
      }
    }
    EXPECT_EQ(loaded.GetTransparent(), c.keepsAlpha);
  }
}

// A smart image keeps its file's bytes; the PNG class always writes PNG.
TEST_F(PictureClasses, SmartImageKeepsBytesAndPngImageWritesPng) {
  TMemoryStream gif;
  Sample(8, 8, false)->SaveToStreamByCodec(gif, dxImageGif);
  gif.SetPosition(0);
  TdxSmartImage smart;
  smart.LoadFromStream(gif);
  EXPECT_FALSE(smart.HandleAllocated());  // loading does not decode
  EXPECT_EQ(smart.Width(), 8);
  EXPECT_TRUE(smart.HandleAllocated());
  TMemoryStream saved;
  smart.SaveToStream(saved);
  EXPECT_EQ(saved.Bytes(), gif.Bytes());

  gif.SetPosition(0);
  TdxPNGImage png;
  png.LoadFromStream(gif);
  TMemoryStream pngBytes;
  png.SaveToStream(pngBytes);
  ASSERT_GT(pngBytes.Size(), 8);
  EXPECT_EQ(std::memcmp(pngBytes.Memory(), "\x89PNG", 4), 0);

  // Window definitions: class name, then the file's bytes.
  TPicture pic;
  pic.SetGraphic(&smart);
  TMemoryStream def;
  pic.WriteData(def);
  def.SetPosition(0);
  TPicture back;
  back.ReadData(def);
  auto* again = dynamic_cast<TdxSmartImage*>(back.Graphic());
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->Compare(&smart));

  // A damaged file loads, and raises when first measured.
  TMemoryStream junk;
  junk.WriteString("GIF89a not really");
  junk.SetPosition(0);
  TdxSmartImage broken;
  broken.LoadFromStream(junk);
  EXPECT_THROW(broken.Width(), EdxGdipException);
}

TEST_F(PictureClasses, BitmapsColoursComparisonAndDrawing) {
  // A 32-bit bitmap with all alpha bytes 0 but colours is opaque.
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(4, 4);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(TRect(0, 0, 4, 4));
  TdxGPImage fromBitmap(&b);
  EXPECT_FALSE(fromBitmap.GetTransparent());
  EXPECT_EQ(PixelsOf(fromBitmap)[0], 0xFFFF0000u);

  TdxGPImage copy;
  copy.Assign(&fromBitmap);
  EXPECT_TRUE(copy.Compare(&fromBitmap));
  EXPECT_NE(copy.GetHashCode(), 0u);
  EXPECT_EQ(TdxGPImage().GetHashCode(), 0u);
  copy.ChangeColor(clNone);
  EXPECT_TRUE(copy.Compare(&fromBitmap));
  copy.ChangeColor(clBlue);
  EXPECT_EQ(PixelsOf(copy)[0], 0xFF0000FFu);
  EXPECT_FALSE(copy.Compare(Sample(5, 4, false).get()));
  TdxGPImage e1, e2;
  EXPECT_TRUE(e1.Compare(&e2));

  // Half-transparent blue drawn at twice its size over white.
  TdxGPImage half(2, 2, 0x800000FFu);
  TBitmap canvas;
  canvas.SetSize(6, 6);
  canvas.Canvas()->Brush()->SetColor(clWhite);
  canvas.Canvas()->FillRect(TRect(0, 0, 6, 6));
  canvas.Canvas()->StretchDraw(TRect(1, 1, 5, 5), &half);
  const TColor inside = canvas.Canvas()->Pixels(2, 2), outside = canvas.Canvas()->Pixels(0, 0);
  EXPECT_EQ(outside & 0xFFFFFF, 0xFFFFFF);
  EXPECT_NEAR(GetRValue(ColorToRGB(inside)), 127, 2);
  EXPECT_EQ(GetBValue(ColorToRGB(inside)), 255);
  EXPECT_EQ(canvas.Canvas()->Pixels(5, 5) & 0xFFFFFF, 0xFFFFFF);

  std::unique_ptr<TdxGPImage> clone = Sample(3, 3, true)->Clone();
  EXPECT_EQ(clone->Width(), 3);
  TBitmap target;
  target.Assign(clone.get());
  EXPECT_EQ(target.Width(), 3);
}
