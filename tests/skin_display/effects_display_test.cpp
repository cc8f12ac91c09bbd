// Glow, animation and hint windows on a real X server (Xvfb through
// scripts/with-xvfb.sh): the X window shows what the layer's surface holds,
// and a click on them reaches the form beneath.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/core/acGlow.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sVclUtils.h"
#include "tests/skin_core/GlowSkin.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class EffectsDisplayTest : public XDisplayTest {
 protected:
  void TearDown() override {
    if (!x_) return;
    FreeAllGlows(true);
    delete HideTimer;
    XDisplayTest::TearDown();
  }
};

}  // namespace

TEST_F(EffectsDisplayTest, GlowShowsItsSurfaceAndLetsTheClickThroughToTheForm) {
  GlowSkin k;
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetColor(clTeal);
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  std::vector<UINT> got;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONUP) got.push_back(m.Msg);
    old(m);
  };
  Settle();

  TsCommonData d(nullptr);
  d.FSkinManager = &k.s;
  d.SkinIndex = k.sec;
  d.GlowID = ShowGlow(TRect(150, 150, 250, 180), "", "GLOW", 2, 255, form.Handle(), &d);
  ASSERT_GE(d.GlowID, 0);
  HWND glow = GlowEffects[size_t(d.GlowID)]->Wnd->Handle();
  Settle();
  std::string where;
  EXPECT_EQ(xserver::DifferingPixels(*x_, glow, true, where), 0) << where;
  EXPECT_EQ(xserver::InputShapeRects(*x_, glow), 0);

  // The glow lies over the form there; the click still reaches the form.
  xserver::Click(*x_, 160, 160);
  EXPECT_TRUE(PumpUntil([&] { return got.size() >= 2; }));
  EXPECT_EQ(got, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  form.WindowProc = old;
}

TEST_F(EffectsDisplayTest, HideAnimationWindowShowsItsSurfaceAndTakesNoClick) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetColor(clNavy);
  form.SetBounds(120, 120, 240, 160);
  form.Show();
  int clicks = 0;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) ++clicks;
    old(m);
  };
  Settle();

  // A picture of a closing window over the form, fading out slowly.
  auto* cover = new TacGlowForm(nullptr);
  cover->SetBounds(140, 140, 100, 80);
  auto picture = NewBitmap32(100, 80);
  FillRect32(picture.get(), TRect(0, 0, 100, 80), 0x3060C0, 0xFF);
  StartHideAnimation(cover, std::move(picture), 1200, nullptr, atFading, 255);
  HWND anim = cover->Handle();
  xserver::Sync(*x_);
  std::string where;
  EXPECT_EQ(xserver::DifferingPixels(*x_, anim, true, where), 0) << where;
  EXPECT_EQ(xserver::InputShapeRects(*x_, anim), 0);
  xserver::Click(*x_, 180, 170);
  EXPECT_TRUE(PumpUntil([&] { return clicks > 0; }));
  form.WindowProc = old;
}

TEST_F(EffectsDisplayTest, HintShowsItsPictureAndLetsTheClickThroughToTheForm) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetColor(clOlive);
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  int clicks = 0;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) ++clicks;
    old(m);
  };
  Settle();

  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  hints.ShowHint(TPoint(150, 150), "A hint on the screen", 0);
  ASSERT_TRUE(hints.AnimWindow);
  HWND picture = hints.AnimWindow->Handle();
  Settle();
  std::string where;
  EXPECT_EQ(xserver::DifferingPixels(*x_, picture, true, where), 0) << where;
  EXPECT_EQ(xserver::InputShapeRects(*x_, picture), 0);
  // Both the picture and the framework's invisible hint window lie over the point.
  xserver::Click(*x_, 170, 160);
  EXPECT_TRUE(PumpUntil([&] { return clicks > 0; }));
  form.WindowProc = old;
}
