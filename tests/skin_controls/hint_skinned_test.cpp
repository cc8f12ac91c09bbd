// Alpha hints painted from the skin's hint section instead of a template.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinIndexes.h"
#include "tests/skin_controls/HintFixture.h"

namespace {

constexpr TColor kHint = 0x30A0E0, kHintText = 0x000080;

class SkinnedHintTest : public HintTest {
 protected:
  void SetUp() override {
    HintTest::SetUp();
    skin.CommonSkinData.Active = true;
    const int i = skin.AddNewSection("HINT", -1, 1, 0, kHint, kHintText);
    auto& g = skin.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    InitConstantIndexes(skin, false);
    DefaultManager = &skin;
  }
  void TearDown() override {
    DefaultManager = nullptr;
    HintTest::TearDown();
  }
  TacSkinRecords skin;
};

}  // namespace

TEST_F(SkinnedHintTest, SectionPaintsTheHintWithoutAShadowOfItsOwn) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetUseSkinData(true);
  hints.SetActive(true);
  ASSERT_TRUE(hints.Skinned());
  hints.ShowHint(TPoint(100, 100), "Skinned hint", 0);
  ASSERT_TRUE(hints.AnimWindow);
  EXPECT_EQ(hints.AnimWindow->Left(), 100) << "no shadow before the anchor";
  EXPECT_EQ(hints.AnimWindow->Top(), 100);
  TBitmap pic;
  GetWindowSurfaceBitmap(hints.AnimWindow->Handle(), pic);
  ASSERT_GT(pic.Width(), 2 * kHintSpacing);
  EXPECT_EQ(GetPixel32(&pic, 1, 1), 0xFF000000u | SwapRedBlue(uint32_t(kHint)));
  EXPECT_EQ(GetPixel32(&pic, pic.Width() - 2, pic.Height() - 2), 0xFF000000u | SwapRedBlue(uint32_t(kHint)));
  int text = 0;
  for (int y = 0; y < pic.Height(); ++y)
    for (int x = 0; x < pic.Width(); ++x) text += ((GetPixel32(&pic, x, y) >> 8) & 0xFF) < 0x50;  // green falls only under text
  EXPECT_GT(text, 5) << "the caption in the section's font colour";

  hints.SetUseSkinData(false);
  EXPECT_FALSE(hints.Skinned());
}
