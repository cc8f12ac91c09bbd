#include <gtest/gtest.h>

#include "SkinFiles.h"
#include "SkinTestUtil.h"
#include "platform/vcl/Controls.h"
#include "platform/win/Controls.h"
#include "skin/core/AlphaBitmapsPng.h"

namespace {

// The icon drawn over a black 32-bit bitmap of its size.
std::unique_ptr<TBitmap> Drawn(HICON icon, int w, int h) {
  auto out = FilledBitmap(w, h, 0xFF000000);
  DrawIconEx(out->Canvas()->Handle(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
  return out;
}

}  // namespace

TEST(SkinIcons, TopLeftColourIsTransparentWherever) {
  // The top-left colour also appears at (2, 1): both stay black; other pixels show.
  auto b = FilledBitmap(4, 3, 0x00336699);
  SetPixel32(b.get(), 0, 0, 0x00FF00FF);
  SetPixel32(b.get(), 2, 1, 0x00FF00FF);
  HICON icon = CreateIconFromBitmap(b.get());
  ASSERT_NE(icon, nullptr);
  auto out = Drawn(icon, 4, 3);
  EXPECT_EQ(Px(out.get(), 0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(Px(out.get(), 2, 1) & 0xFFFFFF, 0u);
  EXPECT_EQ(Px(out.get(), 1, 1) & 0xFFFFFF, 0x336699u);
  DestroyIcon(icon);

  // A 24-bit bitmap is made 32-bit first; its key is the top-left colour, not
  // four bytes that reach into the next pixel.
  TBitmap b24;
  b24.SetPixelFormat(pf24bit);
  b24.SetSize(3, 1);
  b24.Canvas()->SetPixels(0, 0, TColor(0x102030));
  b24.Canvas()->SetPixels(1, 0, TColor(0x0000FF));
  b24.Canvas()->SetPixels(2, 0, TColor(0x102030));
  icon = CreateIconFromBitmap(&b24);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(b24.PixelFormat(), pf32bit);
  out = Drawn(icon, 3, 1);
  EXPECT_EQ(Px(out.get(), 0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(Px(out.get(), 1, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Px(out.get(), 2, 0) & 0xFFFFFF, 0u);
  DestroyIcon(icon);
  EXPECT_EQ(CreateIconFromBitmap(nullptr), nullptr);
}

TEST(SkinIcons, AlphaIconKeepsAlphaAndKeysFuchsiaOfOtherFormats) {
  auto b = FilledBitmap(2, 1, 0xFF204060);
  SetPixel32(b.get(), 1, 0, 0x00000000);  // alpha 0: masked out
  HICON icon = CreateAlphaIcon(b.get());
  ASSERT_NE(icon, nullptr);
  auto out = Drawn(icon, 2, 1);
  EXPECT_EQ(Px(out.get(), 0, 0) & 0xFFFFFF, 0x204060u);
  EXPECT_EQ(Px(out.get(), 1, 0) & 0xFFFFFF, 0u);
  DestroyIcon(icon);

  TBitmap b24;
  b24.SetPixelFormat(pf24bit);
  b24.SetSize(2, 1);
  b24.Canvas()->SetPixels(0, 0, TColor(0x0000FF));
  b24.Canvas()->SetPixels(1, 0, clFuchsia);
  icon = CreateAlphaIcon(&b24);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(Px(&b24, 0, 0), 0xFFFF0000u);  // red, opaque (pixel order)
  EXPECT_EQ(Px(&b24, 1, 0) >> 24, 0u);
  out = Drawn(icon, 2, 1);
  EXPECT_EQ(Px(out.get(), 0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Px(out.get(), 1, 0) & 0xFFFFFF, 0u);
  DestroyIcon(icon);
}

TEST(SkinBitmaps, FormSizedBitmap) {
  TControl form(nullptr);
  form.SetBounds(0, 0, 31, 17);
  auto b = NewBitmap32ForForm(&form);
  EXPECT_EQ(b->Width(), 31);
  EXPECT_EQ(b->Height(), 17);
  EXPECT_EQ(b->PixelFormat(), pf32bit);
}

TEST(SkinPngLoad, GradedAlphaFromFileAndStream) {
  std::vector<uint32_t> px;
  for (int x = 0; x < 4; ++x) px.push_back(uint32_t(x * 85) << 24 | 0x00102030);
  const skintest::Bytes png = skintest::EncodePng(4, 1, px);
  skintest::TempFolder dir;
  skintest::WriteFile(dir.Path() + "g.png", png);

  TBitmap fromFile;
  LoadBitmapFromPngFile(&fromFile, dir.Path() + "g.png");
  ASSERT_EQ(fromFile.PixelFormat(), pf32bit);
  ASSERT_EQ(fromFile.Width(), 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(&fromFile, x, 0), px[size_t(x)]) << x;

  TMemoryStream s;
  s.Write(png.data(), int64_t(png.size()));
  s.SetPosition(0);
  TBitmap fromStream;
  fromStream.SetTransparent(true);
  LoadBitmapFromPngStream(&fromStream, s);
  EXPECT_TRUE(fromStream.Transparent());
  EXPECT_EQ(Px(&fromStream, 2, 0), px[2]);

  // A damaged file is the reader's error.
  skintest::Bytes bad(png.begin(), png.begin() + 20);
  TMemoryStream b;
  b.Write(bad.data(), int64_t(bad.size()));
  b.SetPosition(0);
  EXPECT_THROW(LoadBitmapFromPngStream(&fromStream, b), Exception);
}
