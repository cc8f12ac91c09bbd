// The alpha image list: images from PNG, icon and bitmap files drawn blended
// by state cell, resampled and cached per size, scaled with the skin, and
// kept through a window definition as the files' own bytes ("ImgData").

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/os/Files.h"
#include "platform/vcl/Definitions.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/ownskin/PngWrite.h"
#include "skin/core/sCommonData.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

// A PNG of Cells cells side by side, each W x H; cell i is opaque colour Colors[i] (0xRRGGBB)
// on its left half and transparent on its right half.
std::vector<uint8_t> CellsPng(int W, int H, std::vector<uint32_t> Colors) {
  const int cells = int(Colors.size());
  std::vector<uint32_t> px(size_t(W * cells * H));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W * cells; ++x)
      px[size_t(y * W * cells + x)] = x % W < W / 2 ? 0xFF000000u | Colors[size_t(x / W)] : 0;
  return ownskin::EncodePng(W * cells, H, px);
}

TMemoryStream StreamOf(const std::vector<uint8_t>& b) {
  TMemoryStream s;
  s.WriteBuffer(b.data(), int64_t(b.size()));
  s.SetPosition(0);
  return s;
}

uint32_t Rgb(TBitmap* b, int x, int y) { return GetPixel32(b, x, y) & 0xFFFFFF; }
// Blending works in shifts by 8, so full channels may come out one lower.
bool Near(uint32_t a, uint32_t b) {
  for (int s = 0; s < 32; s += 8)
    if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 2) return false;
  return true;
}

class AlphaImageListTest : public WindowTest {
 protected:
  void TearDown() override {
    DefaultManager = nullptr;
    WindowTest::TearDown();
  }
};

}  // namespace

TEST_F(AlphaImageListTest, DrawsTheCellOfTheStateBlendedOverTheTarget) {
  TsAlphaImageList list;
  list.SetWidth(32);
  list.SetHeight(16);
  auto png = StreamOf(CellsPng(16, 16, {0xFF0000, 0x00FF00}));  // normal red, hot green
  ASSERT_TRUE(list.TryLoadFromPngStream(png));
  ASSERT_EQ(list.Count(), 1);

  for (int state = 0; state < 3; ++state) {
    auto target = NewBitmap32(40, 20);
    FillRect32(target.get(), TRect(0, 0, 40, 20), TColor(0xFF0000), 0xFF);  // blue under the image
    TacGlyphDrawInfo info;
    info.ImageList = &list;
    info.ImageIndex = 0;
    info.NumGlyphs = 2;
    info.State = state;
    info.DstBmp = target.get();
    info.Rect = TRect(4, 2, 20, 18);
    DrawImageListItem(info);
    const uint32_t expected = state == 0 ? 0xFF0000u : 0x00FF00u;  // past the last cell: the last one
    EXPECT_TRUE(Near(Rgb(target.get(), 4, 2), expected)) << state;  // the opaque half
    EXPECT_EQ(Rgb(target.get(), 15, 10), 0x0000FFu) << state;  // the transparent half shows blue
    EXPECT_EQ(Rgb(target.get(), 3, 2), 0x0000FFu) << state;  // outside the rectangle: untouched
  }

  // A bad index or an empty list draws nothing; bytes that are no PNG add nothing.
  auto target = NewBitmap32(40, 20);
  TSize cell;
  DrawAlphaListImage(&list, target.get(), 0, 0, cell, false, 2, 0, clNone, 0, 5);
  EXPECT_EQ(GetPixel32(target.get(), 0, 0), 0u);
  auto junk = StreamOf({1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_FALSE(list.TryLoadFromPngStream(junk));
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(AlphaImageListTest, ImagesAreResampledCachedPerSizeAndScaledWithTheSkin) {
  TsAlphaImageList list;
  list.SetWidth(16);
  list.SetHeight(16);
  auto png = StreamOf(CellsPng(32, 32, {0x808080}));
  ASSERT_TRUE(list.TryLoadFromPngStream(png));
  TsImgListItem* item = list.Items()->Items(0);
  EXPECT_EQ(item->OrigWidth, 32);

  auto a = NewBitmap32(16, 16);
  ASSERT_TRUE(list.GetBitmap32(0, a.get()));
  EXPECT_GE(GetPixel32(a.get(), 2, 8) >> 24, 0xF0u);  // the opaque left half, resampled to 8 columns
  EXPECT_EQ(GetPixel32(a.get(), 14, 8) >> 24, 0u);
  ASSERT_NE(item->CacheBmp, nullptr);
  EXPECT_EQ(item->CacheBmp->Width(), 16);
  TBitmap* cached = item->CacheBmp.get();
  ASSERT_TRUE(list.GetBitmap32(0, a.get()));
  EXPECT_EQ(item->CacheBmp.get(), cached);  // a second request of the list's size comes from the cache
  auto b = NewBitmap32(20, 20);
  ASSERT_TRUE(list.GetBitmap32(0, b.get()));
  EXPECT_EQ(item->CacheBmp, nullptr);  // another size drops it
  EXPECT_FALSE(list.GetBitmap32(1, b.get()));

  // With a skin at 150 % the layer's list holds the design size scaled.
  TacSkinRecords skin;
  skin.ScaleStep = 2;
  DefaultManager = &skin;
  list.SetWidth(16);
  list.SetHeight(16);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list.Handle(), &cx, &cy);
  EXPECT_EQ(cx, 24);
  EXPECT_EQ(cy, 24);
  EXPECT_EQ(list.Width(), 24);
  EXPECT_EQ(list.SavedWidth, 16);
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(AlphaImageListTest, FilesAreTakenByTheirContent) {
  const String dir = IncludeTrailingPathDelimiter(GetTempDir()) + "tarnwick_imglist_" + std::to_string(getpid());
  ForceDirectories(dir);
  auto write = [&](const String& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return dir + "/" + name;
  };
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(4, 4);
  TMemoryStream bmpBytes;
  bmp.SaveToStream(bmpBytes);
  // A 1-entry icon file holding a 2 x 2 32-bit DIB.
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0, 56, 0, 0, 0, 22, 0, 0, 0};
  const uint8_t dib[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0};
  ico.insert(ico.end(), dib, dib + 40);
  for (int i = 0; i < 4; ++i) ico.insert(ico.end(), {0x10, 0x20, 0x30, 0xFF});
  const auto png = CellsPng(4, 4, {0xFF});
  struct Case {
    String name;
    std::vector<uint8_t> bytes;
    bool ok;
    TsImageFormat format;
  } cases[] = {
      {"a.png", png, true, ifPNG},
      {"b.png", bmpBytes.Bytes(), true, ifBMP32},  // the content decides, not the name
      {"c.ico", ico, true, ifICO},
      {"d.dat", ico, false, ifPNG},  // icons need their extension
      {"e.png", std::vector<uint8_t>(png.begin(), png.begin() + 8), false, ifPNG},  // the signature alone
  };
  TsAlphaImageList list;
  for (const Case& c : cases) {
    const String path = write(c.name, c.bytes);
    TsImageFormat f = ifPNG;
    EXPECT_EQ(SniffImageFile(path, f), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(f, c.format) << c.name;
    }
    EXPECT_EQ(list.TryLoadFromFile(path), c.ok) << c.name;
  }
  ASSERT_EQ(list.Items()->Count(), 3);
  EXPECT_EQ(list.Items()->Items(2)->FImageName, "c");
  EXPECT_EQ(list.Items()->Items(2)->OrigWidth, 2);
  auto out = NewBitmap32(2, 2);
  ASSERT_TRUE(list.GetBitmap32(2, out.get()));
  EXPECT_EQ(GetPixel32(out.get(), 0, 0) >> 24, 0xFFu);
  for (const Case& c : cases) DeleteFile(dir + "/" + c.name);
  RemoveDir(dir);

  // Add of a 24-bit bitmap with a transparent colour: that colour gets alpha 0.
  TBitmap keyed;
  keyed.SetPixelFormat(pf24bit);
  keyed.SetSize(2, 1);
  keyed.Canvas()->SetPixels(0, 0, clFuchsia);
  keyed.Canvas()->SetPixels(1, 0, 0x00FF00);
  keyed.SetTransparent(true);
  keyed.SetTransparentColor(clFuchsia);
  TsAlphaImageList added;
  added.SetWidth(2);
  added.SetHeight(1);
  EXPECT_EQ(added.Add(&keyed, nullptr), 0);
  auto back = NewBitmap32(2, 1);
  ASSERT_TRUE(added.GetBitmap32(0, back.get()));
  EXPECT_EQ(GetPixel32(back.get(), 0, 0) >> 24, 0u);
  EXPECT_EQ(GetPixel32(back.get(), 1, 0) >> 24, 0xFFu);
}

TEST_F(AlphaImageListTest, AFormKeepsTheFilesThroughItsWindowDefinition) {
  RegisterAlphaImageListClasses();
  const auto png1 = CellsPng(8, 8, {0x112233});
  const auto png2 = CellsPng(8, 8, {0x445566, 0x778899});
  TComponent root(nullptr);
  root.SetName("Root");
  auto* list = new TsAlphaImageList(&root);
  list->SetName("Images");
  list->SetWidth(8);
  list->SetHeight(8);
  auto s1 = StreamOf(png1), s2 = StreamOf(png2);
  ASSERT_TRUE(list->TryLoadFromPngStream(s1));
  ASSERT_TRUE(list->TryLoadFromPngStream(s2));
  list->Items()->Items(1)->FText = "two";

  const String text = WriteDefinition(DescribeComponent(&root, nullptr));
  EXPECT_NE(text.find("ImgData"), String::npos);

  TComponent again(nullptr);
  LoadDefinition(&again, text, nullptr);
  auto* loaded = dynamic_cast<TsAlphaImageList*>(again.FindComponent("Images"));
  ASSERT_NE(loaded, nullptr);
  loaded->Loaded();
  ASSERT_EQ(loaded->Items()->Count(), 2);
  EXPECT_EQ(loaded->Items()->Items(0)->ImgData->Bytes(), TBytes(png1.begin(), png1.end()));
  EXPECT_EQ(loaded->Items()->Items(1)->ImgData->Bytes(), TBytes(png2.begin(), png2.end()));
  EXPECT_EQ(loaded->Items()->Items(1)->FText, "two");
  EXPECT_EQ(loaded->Count(), 2);
  EXPECT_EQ(loaded->Width(), 8);
  auto img = NewBitmap32(8, 8);
  ASSERT_TRUE(loaded->GetBitmap32(0, img.get()));
  EXPECT_EQ(Rgb(img.get(), 0, 0), 0x112233u);
}
