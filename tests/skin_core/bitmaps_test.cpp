#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"

TEST(SkinBitmaps, ByteOrderAndRectangles) {
  EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
  uint32_t hdr[2] = {0x10000000u, 0x20000000u};
  SwapBytes32Array(hdr, 2);
  EXPECT_EQ(hdr[0], 0x10u);
  EXPECT_EQ(hdr[1], 0x20u);
  EXPECT_EQ(SwapRedBlue(0x80112233u), 0x80332211u);
  EXPECT_EQ(MakeRect(100, 50, 0, 0), TRect(0, 0, 100, 50));
  EXPECT_EQ(RectWidthEx(TRect(10, 0, 4, 0), false), -6);
  EXPECT_EQ(RectWidthEx(TRect(10, 0, 4, 0), true), 0);
  EXPECT_EQ(RectHeightEx(TRect(0, 3, 0, 1), true), 0);
  EXPECT_EQ(RectHeightEx(TRect(0, 1, 0, 3), true), 2);
}

TEST(SkinBitmaps, ConstructorsAndRowInfo) {
  auto b = NewBitmap32(3, 4);
  EXPECT_EQ(b->PixelFormat(), pf32bit);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Height(), 4);
  void* row0 = nullptr;
  int step = 0;
  ASSERT_TRUE(GetBitmapRowInfo(b.get(), row0, step));
  for (int y = 0; y < 4; ++y) EXPECT_EQ(static_cast<uint8_t*>(row0) + y * step, b->ScanLine(y));

  auto one = NewBitmap32(5, 1);
  ASSERT_TRUE(GetBitmapRowInfo(one.get(), row0, step));
  EXPECT_EQ(step, 0);
  auto none = NewBitmap32(0, 0);
  row0 = nullptr;
  EXPECT_FALSE(GetBitmapRowInfo(none.get(), row0, step));
  EXPECT_EQ(row0, nullptr);

  // A size that cannot be allocated gives an empty bitmap, not an error.
  auto huge = NewBitmap32(100000, 100000);
  EXPECT_EQ(huge->Width(), 0);
  EXPECT_EQ(huge->Height(), 0);

  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(7, 2);
  auto like = NewBitmapLike(&eight);
  EXPECT_EQ(like->PixelFormat(), pf8bit);
  EXPECT_EQ(like->Width(), 7);
  EXPECT_EQ(like->Height(), 2);
}

TEST(SkinBitmaps, Pixel32StaysInsideNarrowRows) {
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(5, 2);  // rows of 8 bytes: columns 0 and 1 hold four bytes each
  SetPixel32(&eight, 1, 0, 0x04030201u);
  EXPECT_EQ(GetPixel32(&eight, 1, 0), 0x04030201u);
  EXPECT_EQ(GetPixel32(&eight, 2, 0), 0u);
  EXPECT_EQ(SetPixel32Row(&eight, 2, 0, 1), nullptr);
  EXPECT_EQ(SetPixel32Row(&eight, 0, 5, 1), nullptr);
}

TEST(SkinBitmaps, TransferChannel8BothWaysOverTheSharedArea) {
  auto b32 = CodedBitmap(4, 3);
  TBitmap b8;
  b8.SetPixelFormat(pf8bit);
  b8.SetSize(3, 5);  // narrower and taller: only 3 x 3 pixels are shared
  TransferChannel8(b32.get(), &b8, 1, true);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(static_cast<uint8_t*>(b8.ScanLine(y))[x], y);
  static_cast<uint8_t*>(b8.ScanLine(2))[0] = 0x77;
  TransferChannel8(b32.get(), &b8, 3, false);
  EXPECT_EQ(Px(b32.get(), 0, 2) >> 24, 0x77u);
  EXPECT_EQ(Px(b32.get(), 1, 1) >> 24, 1u);  // green channel copied in at (1, 1) holds y = 1
  EXPECT_EQ(Px(b32.get(), 3, 0) >> 24, 0xFFu);  // outside the 8-bit bitmap: untouched
}
