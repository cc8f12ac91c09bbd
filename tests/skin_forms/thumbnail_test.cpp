// Taskbar thumbnails and live previews of a skinned form, received by a
// recorder bound in place of the desktop-composition entry points.

#include <gtest/gtest.h>

#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "skin/forms/acThumbs.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

struct Picture {
  HWND wnd;
  int w, h;
  uint32_t centre;
  unsigned flags;
  unsigned formState;
};
std::vector<Picture> gThumbs, gPreviews;
TsSkinProvider* gProvider = nullptr;
TacDwmResult gAnswer = kDwmOK;

Picture Record(HWND Wnd, HBITMAP Bmp, unsigned Flags) {
  DIBSECTION ds{};
  GetObject(Bmp, sizeof ds, &ds);
  const BITMAP& b = ds.dsBm;
  uint32_t centre = 0;
  if (b.bmBits && b.bmBitsPixel == 32)
    centre = static_cast<const uint32_t*>(b.bmBits)[size_t(b.bmHeight / 2) * size_t(b.bmWidth) + size_t(b.bmWidth / 2)];
  return Picture{Wnd, int(b.bmWidth), int(std::abs(b.bmHeight)), centre, Flags, gProvider ? gProvider->FormState() : 0};
}
TacDwmResult Thumb(HWND Wnd, HBITMAP Bmp, unsigned Flags) {
  gThumbs.push_back(Record(Wnd, Bmp, Flags));
  return gAnswer;
}
TacDwmResult Preview(HWND Wnd, HBITMAP Bmp, const POINT* Offset, unsigned Flags) {
  EXPECT_TRUE(Offset && Offset->x == 0 && Offset->y == 0);
  gPreviews.push_back(Record(Wnd, Bmp, Flags));
  return gAnswer;
}

class ThumbnailTest : public FormSkinTest {
 protected:
  void SetUp() override {
    FormSkinTest::SetUp();
    gThumbs.clear();
    gPreviews.clear();
    gAnswer = kDwmOK;
  }
  void TearDown() override {
    IconicEntryPoints = TacIconicEntryPoints{};
    MinimizedFormImage = nullptr;
    gProvider = nullptr;
    FormSkinTest::TearDown();
  }
};

}  // namespace

TEST_F(ThumbnailTest, PicturesFitTheAskedSizeWithTheirAspect) {
  struct Case {
    int w, h, maxW, maxH, fitW, fitH;
  } cases[] = {
      {400, 300, 200, 200, 200, 150},
      {300, 400, 200, 200, 150, 200},
      {200, 100, 100, 50, 100, 50},  // equal ratios
      {3, 1, 5, 4, 5, 2},            // 5 x 1/3 = 1.67 rounds to 2
      {400, 300, 0, 200, 0, 0},
  };
  for (const Case& c : cases) {
    const TSize s = FitIconicSize(c.w, c.h, c.maxW, c.maxH);
    EXPECT_EQ(s.cx, c.fitW) << c.w << "x" << c.h;
    EXPECT_EQ(s.cy, c.fitH) << c.w << "x" << c.h;
  }
}

TEST_F(ThumbnailTest, AShownFormAnswersFromItsFrameThenWithItsControls) {
  TForm form(nullptr);
  Show(form, bsSizeable, 400, 300);
  auto* sp = new TsSkinProvider(&form);
  Repaint(sp);
  gProvider = sp;
  HWND h = form.Handle();

  // Composition is off: nothing is bound, every answer is False.
  EXPECT_FALSE(SetIconicThumbnail(h, sp, 200, 200));
  EXPECT_FALSE(SetIconicLivePreview(h, sp));
  InvalidateIconic(h);

  IconicEntryPoints.SetIconicThumbnail = &Thumb;
  IconicEntryPoints.SetIconicLivePreviewBitmap = &Preview;
  EXPECT_FALSE(SetIconicThumbnail(h, sp, 0, 200));  // a request of size 0
  EXPECT_TRUE(gThumbs.empty());
  ASSERT_TRUE(SetIconicThumbnail(h, sp, 200, 200));
  ASSERT_EQ(gThumbs.size(), 2u);
  for (const Picture& p : gThumbs) {
    EXPECT_EQ(p.wnd, h);
    EXPECT_EQ(p.w, 200);
    EXPECT_EQ(p.h, 150);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_TRUE(p.formState & FS_THUMBDRAWING);
  }
  EXPECT_FALSE(sp->FormState() & FS_THUMBDRAWING);
  ASSERT_TRUE(SetIconicLivePreview(h, sp));
  ASSERT_EQ(gPreviews.size(), 1u);
  EXPECT_EQ(gPreviews[0].w, 400);
  EXPECT_EQ(gPreviews[0].h, 300);
  EXPECT_EQ(gPreviews[0].flags, kDwmSitDisplayFrame);

  // A refused thumbnail answers False, is not sent twice and leaves the state bit clear.
  gThumbs.clear();
  gAnswer = 1;
  EXPECT_FALSE(SetIconicThumbnail(h, sp, 200, 200));
  EXPECT_EQ(gThumbs.size(), 1u);
  EXPECT_FALSE(SetIconicLivePreview(h, sp));
  EXPECT_FALSE(sp->FormState() & FS_THUMBDRAWING);
}

TEST_F(ThumbnailTest, AMinimisedFormAnswersWithThePictureSavedBeforeItVanished) {
  TForm form(nullptr);
  Show(form, bsSizeable, 400, 300);
  auto* sp = new TsSkinProvider(&form);
  Repaint(sp);
  auto saved = NewBitmap32(320, 160);
  FillRect32(saved.get(), TRect(0, 0, 320, 160), TColor(0x0000FF), 255);  // red
  MinimizedFormImage = [&](TsSkinProvider* p) { return p == sp ? saved.get() : nullptr; };
  IconicEntryPoints.SetIconicThumbnail = &Thumb;
  IconicEntryPoints.SetIconicLivePreviewBitmap = &Preview;
  ASSERT_TRUE(SetIconicThumbnail(form.Handle(), sp, 100, 100));
  ASSERT_EQ(gThumbs.size(), 1u);  // the saved picture is whole: sent once
  EXPECT_EQ(gThumbs[0].w, 100);
  EXPECT_EQ(gThumbs[0].h, 50);
  EXPECT_GE(gThumbs[0].centre >> 16 & 0xFF, 0xF0u);  // red, through the resampling filter
  EXPECT_EQ(gThumbs[0].centre & 0xFFFF, 0u);
  ASSERT_TRUE(SetIconicLivePreview(form.Handle(), sp));
  ASSERT_EQ(gPreviews.size(), 1u);
  EXPECT_EQ(gPreviews[0].w, 320);  // full size, not scaled
  EXPECT_EQ(gPreviews[0].h, 160);
  EXPECT_EQ(gPreviews[0].centre & 0xFFFFFF, 0xFF0000u);
}
