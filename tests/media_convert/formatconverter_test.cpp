#include "media/FormatConverter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "media/FFLoad.h"
#include "platform/os/Threads.h"

namespace {

class FormatConverterTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitMainThread();
    ASSERT_TRUE(FFLoader().Load(avUtil)) << FFLoader().LastErrMsg();
    ASSERT_TRUE(FFLoader().Load(swScale)) << FFLoader().LastErrMsg();
  }
};

// Rows aligned as decoders give them; the scaler's vector code expects it.
constexpr int kDecoderAlign = 32;

// A picture in library memory with a smooth pattern (so that chroma subsampling loses little).
struct Picture {
  Picture(AVPixelFormat f, int w, int h) : format(f), width(w), height(h) {
    size = ff::av_image_alloc(data, linesize, w, h, f, kDecoderAlign);
    // The scaler reads a little past the last pixel of a row: padding of known content keeps results repeatable.
    if (size > 0) std::memset(data[0], 0, size_t(size));
  }
  ~Picture() {
    if (size > 0) ff::av_freep(&data[0]);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  void FillPattern() {
    auto smooth = [&](int x, int y, int k) { return uint8_t(40 + x * 120 / width + y * 5 + k * 30); };
    if (format == AV_PIX_FMT_YUV420P) {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) data[0][y * linesize[0] + x] = smooth(x, y, 0);
      for (int y = 0; y < (height + 1) / 2; ++y)
        for (int x = 0; x < (width + 1) / 2; ++x) {
          data[1][y * linesize[1] + x] = uint8_t(110 + x * 40 / width + y);
          data[2][y * linesize[2] + x] = uint8_t(140 - x * 40 / width - y);
        }
    } else {
      const int bpp = format == AV_PIX_FMT_BGRA ? 4 : 3;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          for (int c = 0; c < bpp; ++c) data[0][y * linesize[0] + x * bpp + c] = c == 3 ? 255 : smooth(x, y, c);
    }
  }
  // Largest difference of any sample over all planes.
  int MaxDiff(const Picture& o) const {
    int worst = 0;
    const int planes = format == AV_PIX_FMT_YUV420P ? 3 : 1;
    for (int p = 0; p < planes; ++p) {
      const int rows = p == 0 ? height : (height + 1) / 2;
      const int bytes = format == AV_PIX_FMT_YUV420P ? (p == 0 ? width : (width + 1) / 2)
                                                     : width * (format == AV_PIX_FMT_BGRA ? 4 : 3);
      for (int y = 0; y < rows; ++y)
        for (int x = 0; x < bytes; ++x)
          worst = std::max(worst, std::abs(data[p][y * linesize[p] + x] - o.data[p][y * o.linesize[p] + x]));
    }
    return worst;
  }

  AVPixelFormat format;
  int width, height;
  uint8_t* data[4] = {};
  int linesize[4] = {};
  int size = 0;
};

TEST_F(FormatConverterTest, RoundTripTable) {
  struct Case {
    AVPixelFormat format;
    int bits;
    int tolerance;
  };
  // The scaler's default flags (bicubic, no accurate rounding) lose a few levels on YUV pictures;
  // packed RGB into 15 or 16 bits goes through its internal YUV stage and loses more.
  const Case cases[] = {
      {AV_PIX_FMT_YUV420P, 32, 10}, {AV_PIX_FMT_YUV420P, 24, 10}, {AV_PIX_FMT_YUV420P, 16, 12},
      {AV_PIX_FMT_YUV420P, 15, 12}, {AV_PIX_FMT_RGB24, 32, 0},    {AV_PIX_FMT_RGB24, 24, 0},
      {AV_PIX_FMT_RGB24, 16, 28},   {AV_PIX_FMT_RGB24, 15, 28},   {AV_PIX_FMT_BGRA, 32, 0},
      {AV_PIX_FMT_BGRA, 24, 0},     {AV_PIX_FMT_BGRA, 16, 28},    {AV_PIX_FMT_BGRA, 15, 28},
  };
  for (const Case& c : cases)
    for (int width : {1, 3, 317}) {
      SCOPED_TRACE(testing::Message() << ff::av_get_pix_fmt_name(c.format) << " -> " << c.bits << " bits, width "
                                      << width);
      const int height = 5;
      Picture src(c.format, width, height), back(c.format, width, height);
      ASSERT_GT(src.size, 0);
      src.FillPattern();
      TFormatConverter conv;
      conv.SetBitsPixel(c.bits);
      ASSERT_TRUE(conv.PictureToRGB(src.data, src.linesize, c.format, width, height, true)) << conv.LastErrMsg();
      // The bitmap shows the picture the right way up, every row at its own stride.
      TBitmap* bmp = conv.Bitmap();
      ASSERT_EQ(bmp->Width(), width);
      ASSERT_EQ(bmp->Height(), height);
      const int bytes = conv.BitsPixel() / 8;
      for (int y = 0; y < height; ++y)
        ASSERT_EQ(std::memcmp(bmp->ScanLine(y), conv.RGBPicture()->data[0] + y * conv.RGBPicture()->linesize[0],
                              size_t(width * bytes)),
                  0)
            << "row " << y;
      // Clear the RGB side (when the bitmap has memory of its own) so that only the bitmap carries
      // the picture back.
      if (bmp->ScanLine(0) != conv.RGBPicture()->data[0])
        std::memset(conv.RGBPicture()->data[0], 0, size_t(conv.RGBPicture()->linesize[0]) * height);
      ASSERT_TRUE(conv.BitmapToRGB());
      ASSERT_TRUE(conv.RGBToPicture(back.data, back.linesize, c.format, width, height)) << conv.LastErrMsg();
      EXPECT_LE(src.MaxDiff(back), c.tolerance);
    }
}

// Hooks and previews convert on the task's worker, where the copy into the
// bitmap fetches the bitmap's rows on the main thread. An 8-bit bitmap keeps
// memory of its own, and so does a bitmap whose padded rows are longer than the
// packed RGB rows: both copy row by row.
TEST_F(FormatConverterTest, RowCopiesOnAWorkerThread) {
  struct Case {
    int bits;
    int width;
    int tolerance;  // of the picture that comes back; 8 bits keep 3-3-2 levels
  };
  const Case cases[] = {{8, 160, 32}, {8, 161, 32}, {15, 161, 12}, {16, 161, 12}, {24, 161, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << c.width);
    const int height = 7;
    Picture src(AV_PIX_FMT_YUV420P, c.width, height), back(AV_PIX_FMT_YUV420P, c.width, height);
    src.FillPattern();
    TFormatConverter conv;
    conv.SetBitsPixel(c.bits);
    const size_t rowBytes = size_t(c.width) * size_t(conv.BitsPixel() / 8);
    bool toRGB = false, fromBitmap = false, toPicture = false;
    std::vector<uint8_t> rgb;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      toRGB = conv.PictureToRGB(src.data, src.linesize, src.format, c.width, height, true);
      if (toRGB) {
        // Only the bitmap may carry the picture back.
        uint8_t* bits = conv.RGBPicture()->data[0];
        const size_t size = size_t(conv.RGBPicture()->linesize[0]) * height;
        rgb.assign(bits, bits + size);
        std::memset(bits, 0, size);
        fromBitmap = conv.BitmapToRGB();
        toPicture = conv.RGBToPicture(back.data, back.linesize, back.format, c.width, height);
      }
      done.store(true);
    });
    while (!done.load()) CheckSynchronize(5);
    worker.join();
    ASSERT_TRUE(toRGB) << conv.LastErrMsg();
    TBitmap* bmp = conv.Bitmap();
    EXPECT_NE(bmp->ScanLine(0), conv.RGBPicture()->data[0]);  // a copy, not the same memory
    ASSERT_EQ(bmp->PixelFormat(), conv.BMPPixFmt());
    for (int y = 0; y < height; ++y)
      EXPECT_EQ(std::memcmp(bmp->ScanLine(y), rgb.data() + size_t(y) * size_t(conv.RGBPicture()->linesize[0]),
                            rowBytes),
                0)
          << "row " << y;
    EXPECT_TRUE(fromBitmap);
    EXPECT_EQ(std::memcmp(conv.RGBPicture()->data[0], rgb.data(), rgb.size()), 0);
    ASSERT_TRUE(toPicture) << conv.LastErrMsg();
    EXPECT_LE(src.MaxDiff(back), c.tolerance);
  }
}

TEST_F(FormatConverterTest, BitmapShowsTheColoursAtEveryDepth) {
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(200, 120, 40)};
  for (int bits : {15, 16, 24, 32})
    for (COLORREF c : colours) {
      SCOPED_TRACE(testing::Message() << bits << " bits, colour " << std::hex << c);
      Picture src(AV_PIX_FMT_RGB24, 4, 2);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
          uint8_t* p = src.data[0] + y * src.linesize[0] + x * 3;
          p[0] = GetRValue(c);
          p[1] = GetGValue(c);
          p[2] = GetBValue(c);
        }
      TFormatConverter conv;
      conv.SetBitsPixel(bits);
      ASSERT_TRUE(conv.PictureToRGB(src.data, src.linesize, src.format, 4, 2, true));
      const COLORREF shown = COLORREF(conv.Bitmap()->Canvas()->Pixels(3, 1));
      EXPECT_NEAR(GetRValue(shown), GetRValue(c), 16);
      EXPECT_NEAR(GetGValue(shown), GetGValue(c), 16);
      EXPECT_NEAR(GetBValue(shown), GetBValue(c), 16);
    }
}

TEST_F(FormatConverterTest, DefaultsSizesAndBufferReuse) {
  TFormatConverter conv;
  EXPECT_EQ(conv.BMPPixFmt(), pf32bit);
  EXPECT_EQ(conv.BitsPixel(), 32);
  EXPECT_EQ(conv.sws_flags(), SWS_BICUBIC);
  EXPECT_EQ(conv.RGBPictureRef(), nullptr);
  EXPECT_EQ(conv.Bitmap()->Canvas()->Brush()->Style(), bsClear);
  Picture big(AV_PIX_FMT_YUV420P, 640, 480), small(AV_PIX_FMT_YUV420P, 320, 240);
  big.FillPattern();
  small.FillPattern();
  ASSERT_TRUE(conv.PictureToRGB(big.data, big.linesize, big.format, 640, 480, true));
  EXPECT_EQ(conv.Bitmap()->Width(), 640);
  EXPECT_EQ(conv.Bitmap()->PixelFormat(), pf32bit);
  EXPECT_EQ(conv.DIB()->bmWidthBytes, 2560);
  EXPECT_EQ(conv.DIB()->bmBitsPixel, 32);
  EXPECT_EQ(conv.RGBPictureRef(), conv.RGBPicture());
  const int bufSize = conv.RGBBufSize();
  EXPECT_EQ(bufSize, 640 * 480 * 4);
  ASSERT_TRUE(conv.PictureToRGB(small.data, small.linesize, small.format, 320, 240, true));
  EXPECT_EQ(conv.RGBBufSize(), bufSize);
  EXPECT_EQ(conv.Bitmap()->Height(), 240);

  // At 32 bits the bitmap lies over the RGB picture: drawing shows there at once.
  EXPECT_EQ(conv.Bitmap()->ScanLine(0), conv.RGBPicture()->data[0]);
  conv.Bitmap()->Canvas()->SetPixels(0, 0, clRed);
  EXPECT_EQ(conv.RGBPicture()->data[0][2], 0xFF);
  // At 32 bits a round trip without drawing gives back the same RGB bytes.
  std::vector<uint8_t> before(conv.RGBPicture()->data[0], conv.RGBPicture()->data[0] + 320 * 240 * 4);
  ASSERT_TRUE(conv.BitmapToRGB());
  EXPECT_EQ(std::memcmp(before.data(), conv.RGBPicture()->data[0], before.size()), 0);

  // Changing the depth resets the picture description but keeps the buffer.
  conv.SetBitsPixel(15);
  EXPECT_EQ(conv.BMPPixFmt(), pf15bit);
  EXPECT_EQ(conv.BitsPixel(), 16);
  EXPECT_EQ(conv.RGBPictureRef(), nullptr);
  EXPECT_EQ(conv.RGBBufSize(), bufSize);
  EXPECT_EQ(conv.Bitmap()->PixelFormat(), pf15bit);
}

TEST_F(FormatConverterTest, Failures) {
  TFormatConverter conv;
  try {
    conv.SetBitsPixel(12);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Invalid BitsPixel 12");
  }
  try {
    conv.SetBMPPixFmt(pf4bit);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Invalid PixelFormat 2");
  }
  EXPECT_EQ(conv.BMPPixFmt(), pf32bit);
  EXPECT_THROW(conv.RGBToBitmap(), Exception);

  Picture src(AV_PIX_FMT_RGB24, 8, 8);
  src.FillPattern();
  EXPECT_FALSE(conv.PictureToRGB(src.data, src.linesize, AV_PIX_FMT_NONE, 8, 8, true));
  EXPECT_EQ(conv.LastErrMsg(), "Cannot initialize the toRGB conversion context");
  EXPECT_EQ(conv.RGBPictureRef(), nullptr);
  EXPECT_FALSE(conv.PictureToRGB(src.data, src.linesize, AV_PIX_FMT_RGB24, 0, 8, true));

  ASSERT_TRUE(conv.PictureToRGB(src.data, src.linesize, AV_PIX_FMT_RGB24, 8, 8, true));
  Picture bigger(AV_PIX_FMT_RGB24, 16, 16);
  EXPECT_FALSE(conv.RGBToPicture(bigger.data, bigger.linesize, AV_PIX_FMT_RGB24, 16, 16));
  EXPECT_FALSE(conv.RGBToPicture(src.data, src.linesize, AV_PIX_FMT_NONE, 8, 8));
  EXPECT_EQ(conv.LastErrMsg(), "Cannot initialize the fromRGB conversion context");
  // A bitmap resized by its user no longer matches: nothing is copied.
  conv.Bitmap()->SetSize(4, 4);
  EXPECT_FALSE(conv.BitmapToRGB());
}

}  // namespace
