// The start-up of the skin units: the order they start in, the program's own
// captions, the shadow templates of the own skin, the never-skin list, and
// the version switch through the headless message box recorder.

#include <gtest/gtest.h>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acStartup.h"
#include "skin/core/sConst.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class SkinStartupTest : public WindowTest {
 protected:
  void TearDown() override {
    while (!SkinUnitsStarted().empty()) DoneSkinUnits();
    WindowTest::TearDown();
  }
};

}  // namespace

TEST_F(SkinStartupTest, UnitsStartOnceInOrderWithTheProgramsOwnCaptions) {
  InitSkinUnits({"tarnwick"});
  const std::vector<String> order = {"sConst",      "acgpUtils",    "sGradient",    "acGlow",
                                     "acAlphaImageList", "acNeverSkin", "sVclUtils", "sStyleSimply",
                                     "acPopupController", "sSkinManager", "acntUtils", "sGraphUtils"};
  EXPECT_EQ(SkinUnitsStarted(), order);
  EXPECT_EQ(WindowsVersion, 8);
  EXPECT_EQ(StartupMetrics.CaptionHeight, GetSystemMetrics(SM_CYCAPTION));
  // No system string tables: every caption is the program's own text.
  EXPECT_EQ(acCaptions[acsOK], "OK");
  EXPECT_EQ(acCaptions[acsAdditionalColors], "Additional colors :");
  EXPECT_EQ(acCaptions[acsColor], "Color");
  EXPECT_EQ(acCaptions[acsInvalidDate], "Invalid date");
  for (int i = 0; i < kCaptionCount; ++i) EXPECT_EQ(acCaptions[size_t(i)], acOwnCaptions[i]) << i;
  EXPECT_TRUE(IsNeverSkinClass("TApplication"));
  EXPECT_FALSE(IsNeverSkinClass("TForm"));
  // Missing optional functions stay unbound; the layer's own are bound.
  EXPECT_EQ(SystemBindings.SetWindowTheme, nullptr);
  EXPECT_NE(SystemBindings.UpdateLayeredWindow, nullptr);

  // The shadow templates come from the own skin with white made transparent.
  ASSERT_TRUE(ShdaTemplate && ShdiTemplate && PopupShdiTemplate);
  EXPECT_GT(ShdaTemplate->Width(), 0);
  for (int y = 0; y < ShdaTemplate->Height(); ++y)
    for (int x = 0; x < ShdaTemplate->Width(); ++x) ASSERT_NE(GetPixel32(ShdaTemplate.get(), x, y), 0xFFFFFFFFu);

  // A second start does nothing; the clean-up clears the captions.
  InitSkinUnits({"tarnwick"});
  EXPECT_EQ(SkinUnitsStarted().size(), order.size());
  DoneSkinUnits();
  EXPECT_FALSE(SkinUnitsStarted().empty());  // still in use once
  DoneSkinUnits();
  EXPECT_TRUE(SkinUnitsStarted().empty());
  EXPECT_EQ(acCaptions[acsOK], "");
  EXPECT_EQ(ShdaTemplate, nullptr);
}

TEST_F(SkinStartupTest, TheVersionSwitchShowsItsBox) {
  struct Case {
    std::vector<String> params;
    bool shows;
  } cases[] = {
      {{"tarnwick", "/acver"}, true},
      {{"tarnwick", "/ACVER"}, true},
      {{"tarnwick", "file.avi", "/AcVer"}, true},
      {{"tarnwick", "/acverx"}, false},
      {{"tarnwick", "acver"}, false},
      {{"/acver"}, false},  // the program's own name is no switch
  };
  for (const Case& c : cases) {
    Headless().ClearMessageBoxes();
    InitSkinUnits(c.params);
    ASSERT_EQ(Headless().MessageBoxes().size(), c.shows ? 1u : 0u) << c.params.back();
    if (c.shows) {
      EXPECT_EQ(Headless().MessageBoxes()[0].Text, kSkinLibraryVersion);
    }
    DoneSkinUnits();
  }
}
