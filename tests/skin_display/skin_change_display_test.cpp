// A skinned form changing its skin on a real X server (Xvfb through
// scripts/with-xvfb.sh): from the program's own skin to a test skin and back,
// cross-fading each time, its X window shows exactly what the layer's surface
// holds afterwards. Pictures of each look go into the build folder.

#include <gtest/gtest.h>

#include <string>

#include "skin/core/AlphaBitmaps.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class SkinChangeDisplayTest : public XDisplayTest {
 protected:
  // The surface's colour at window coordinates (RGB).
  static uint32_t Pixel(HWND wnd, int x, int y) {
    TBitmap surface;
    GetWindowSurfaceBitmap(wnd, surface);
    const POINT o = GetWindowSurfaceOffset(wnd);
    return GetPixel32(&surface, o.x + x, o.y + y) & 0xFFFFFF;
  }
};

}  // namespace

TEST_F(SkinChangeDisplayTest, SkinnedFormShowsItsNewSkinOnTheDisplay) {
  skintest::TempFolder dir;
  skintest::FramedSkin().WriteFolder(dir.Path() + "Framed");
  auto manager = MakeOwnSkinManager();
  manager->SetSkinDirectory(dir.Path());
  manager->AnimEffects.SkinChanging.Active = true;
  manager->AnimEffects.SkinChanging.Time = 120;

  TForm form(nullptr);
  form.SetBounds(120, 100, 360, 240);
  form.SetCaption("Skin change");
  new TsSkinProvider(&form);
  form.Show();
  Settle();
  HWND fw = form.Handle();
  ExpectShowsItsSurface(fw, "skin-change-own");
  const uint32_t ownBorder = Pixel(fw, 1, 120);

  for (const char* next : {"Framed", kOwnSkinName}) {
    SCOPED_TRACE(next);
    manager->SetSkinName(next);
    EXPECT_EQ(SkinChangeWindow, nullptr);
    EXPECT_FALSE(FormAnimating);
    Settle();
    const bool own = next == std::string(kOwnSkinName);
    ExpectShowsItsSurface(fw, own ? "skin-change-own-again" : "skin-change-framed");
    if (own)
      EXPECT_EQ(Pixel(fw, 1, 120), ownBorder);
    else
      EXPECT_NE(Pixel(fw, 1, 120), ownBorder);
  }
}
