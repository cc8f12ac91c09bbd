// A skinned form's frame as it reaches the window: the painted image copied
// on WM_NCPAINT and WM_PAINT, the corners cut by the window region, the
// measures for every border style, and no pixel of the layer's plain frame
// ever on the surface.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "skin/core/sMessages.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

// Records, at every change of a window's surface, whether a probe pixel
// showed the layer's own caption colours.
class SpyBackend : public THeadlessBackend {
 public:
  HWND watched = nullptr;
  POINT probe{};
  int plainSeen = 0;
  int changes = 0;
  void SurfaceChanged(HWND w, const RECT& r) override {
    THeadlessBackend::SurfaceChanged(w, r);
    if (w != watched || !IsWindow(w)) return;
    ++changes;
    const COLORREF c = SurfacePixel(w, probe.x, probe.y);
    if (c == GetSysColor(COLOR_ACTIVECAPTION) || c == GetSysColor(COLOR_INACTIVECAPTION)) ++plainSeen;
  }
};

class FrameTest : public FormSkinTest {
 protected:
  SpyBackend* spy = nullptr;
  void SetUp() override {
    WindowTest::SetUp();
    auto b = std::make_unique<SpyBackend>();
    spy = b.get();
    SetWindowBackend(std::move(b));
    FormSkinTest::SetUpSkin();
  }
  // Every pixel of the window that the region keeps equals the painted image.
  static int MismatchesInRegion(TForm& form, TsSkinProvider& sp) {
    TBitmap surface;
    GetWindowSurfaceBitmap(form.Handle(), surface);
    const POINT o = GetWindowSurfaceOffset(form.Handle());
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    const bool hasRgn = GetWindowRgn(form.Handle(), rgn) != ERROR;
    TBitmap* img = sp.SkinData()->FCacheBmp.get();
    int bad = 0;
    for (int y = 0; y < form.Height(); ++y) {
      const auto* row = static_cast<const uint8_t*>(surface.ScanLine(o.y + y));
      for (int x = 0; x < form.Width(); ++x) {
        if (hasRgn && !PtInRegion(rgn, x, y)) continue;
        const uint32_t p = GetPixel32(img, x, y);
        const COLORREF want = RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
        const int i = (o.x + x) * 4;
        if (RGB(row[i + 2], row[i + 1], row[i]) != want) ++bad;
      }
    }
    DeleteObject(rgn);
    return bad;
  }
};

COLORREF Rgb(TColor c) { return COLORREF(c); }  // TColor and COLORREF share 0x00BBGGRR

}  // namespace

TEST_F(FrameTest, CaptionBandBordersButtonsAndCornersComeFromTheSkin) {
  TForm form(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Application->ProcessMessages();
  const int W = form.Width(), H = form.Height();
  const int b = GetSystemMetrics(SM_CXFRAME), ch = GetSystemMetrics(SM_CYCAPTION);
  ASSERT_EQ(sp.CaptionHeight(), ch);
  ASSERT_EQ(sp.OffsetY(), b + ch);
  ASSERT_EQ(sp.OffsetX(), b);
  // The caption band is the title section's, right of the text and left of the buttons.
  EXPECT_EQ(At(form, W - sp.ButtonsWidth() - 20, b + ch / 2), Rgb(kTitleColor));
  // The side and bottom borders are the active frame of the border mask.
  EXPECT_EQ(At(form, 0, H / 2), Rgb(kBorderActive));
  EXPECT_EQ(At(form, W - 1, H / 2), Rgb(kBorderActive));
  EXPECT_EQ(At(form, W / 2, H - 1), Rgb(kBorderActive));
  // The client area is the form section's colour.
  EXPECT_EQ(At(form, W / 2, H / 2), Rgb(kFormColor));
  // Close, maximize and minimize from right to left, each in its glyph's normal state.
  const TsCaptionButton* buttons[3] = {&sp.ButtonClose, &sp.ButtonMax, &sp.ButtonMin};
  for (int i = 0; i < 3; ++i) {
    const TRect& r = buttons[i]->cpRect;
    ASSERT_EQ(r.Width(), kGlyph) << i;
    if (i > 0) {
      EXPECT_EQ(r.Right, buttons[i - 1]->cpRect.Left - 2) << i;  // BISPACING
    }
    EXPECT_EQ(At(form, r.Left + 6, r.Top + 6), Rgb(GlyphColor(i == 0 ? 0 : i == 1 ? 1 : 2, 0))) << i;
  }
  EXPECT_EQ(sp.ButtonClose.cpRect.Right, W - 3 - b);  // BIRIGHTMARGIN and the frame
  // The transparent 2 x 2 corners of the mask are outside the region; the rest is inside.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(form.Handle(), rgn), ERROR);
  for (POINT p : {POINT{0, 0}, POINT{1, 1}, POINT{W - 1, 0}, POINT{W - 2, 1}, POINT{0, H - 1}, POINT{W - 1, H - 1},
                  POINT{1, H - 2}}) {
    EXPECT_FALSE(PtInRegion(rgn, p.x, p.y)) << p.x << "," << p.y;
  }
  for (POINT p : {POINT{2, 0}, POINT{0, 2}, POINT{W - 3, 0}, POINT{W - 1, H - 3}, POINT{W / 2, H / 2}}) {
    EXPECT_TRUE(PtInRegion(rgn, p.x, p.y)) << p.x << "," << p.y;
  }
  DeleteObject(rgn);
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
}

TEST_F(FrameTest, MeasuresForEveryBorderStyleAndIconSet) {
  struct Case {
    TFormBorderStyle style;
    TBorderIcons icons;
    int caption;  // system metric of the caption, 0 none
    int buttons;  // title buttons painted
    bool icon;
  };
  const int big = GetSystemMetrics(SM_CYCAPTION), small = GetSystemMetrics(SM_CYSMCAPTION);
  const Case cases[] = {
      {bsSizeable, {biSystemMenu, biMinimize, biMaximize}, big, 3, true},
      {bsSizeable, {biSystemMenu}, big, 1, true},
      {bsSizeable, {}, big, 0, false},
      {bsSingle, {biSystemMenu, biMinimize, biMaximize, biHelp}, big, 4, true},
      {bsSingle, {biSystemMenu, biMinimize}, big, 2, true},
      {bsDialog, {biSystemMenu, biMinimize, biMaximize}, big, 1, false},
      {bsToolWindow, {biSystemMenu, biMinimize, biMaximize}, small, 1, false},
      {bsSizeToolWin, {biSystemMenu, biHelp}, small, 2, false},
      {bsNone, {biSystemMenu, biMinimize, biMaximize}, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.style));
    SCOPED_TRACE(c.buttons);
    TForm form(nullptr);
    form.SetBorderIcons(c.icons);
    Show(form, c.style);
    TsSkinProvider sp(&form);
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(sp.CaptionHeight(), c.caption);
    EXPECT_EQ(sp.IconVisible(), c.icon);
    EXPECT_EQ(sp.IconRect().Width() > 0, c.icon);
    int painted = 0;
    for (const TsCaptionButton* btn : {&sp.ButtonClose, &sp.ButtonMax, &sp.ButtonMin, &sp.ButtonHelp}) {
      const TRect& r = btn->cpRect;
      if (r.Width() <= 0 || c.caption == 0) continue;
      const COLORREF px = At(form, r.Left + r.Width() / 2, r.Top + r.Height() / 2);
      for (int g = 0; g < 5; ++g) {
        if (px == Rgb(GlyphColor(g, 0))) ++painted;
      }
    }
    EXPECT_EQ(painted, c.buttons);
    EXPECT_EQ(sp.SysButtonsCount() > 0 && c.caption > 0 ? sp.SysButtonsCount() : 0, c.buttons);
    // The client area starts below the caption and inside the frame in the painted image too.
    EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  }
}

TEST_F(FrameTest, ActivationAndCaptionChangesLeaveOnlySkinnedPixels) {
  TForm form(nullptr), other(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  spy->watched = form.Handle();
  spy->probe = POINT{GetWindowSurfaceOffset(form.Handle()).x + form.Width() / 2,
                     GetWindowSurfaceOffset(form.Handle()).y + GetSystemMetrics(SM_CXFRAME) + 3};
  other.SetBounds(600, 100, 200, 150);
  other.Show();
  SetActiveWindow(other.Handle());
  Application->ProcessMessages();
  EXPECT_FALSE(sp.FormActive);
  EXPECT_EQ(At(form, 0, form.Height() / 2), Rgb(kBorderInactiveEdge));
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  form.SetCaption("A caption long enough to reach well into the band");
  Application->ProcessMessages();
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  SetActiveWindow(form.Handle());
  Application->ProcessMessages();
  EXPECT_TRUE(sp.FormActive);
  EXPECT_EQ(At(form, 0, form.Height() / 2), Rgb(kBorderActive));
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  form.SetCaption("Short");
  Application->ProcessMessages();
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  EXPECT_GT(spy->changes, 0);
  EXPECT_EQ(spy->plainSeen, 0);
}

TEST_F(FrameTest, SizingRepaintsTheFrameForTheNewSize) {
  TForm form(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  form.SetBounds(100, 100, 420, 260);
  Application->ProcessMessages();
  EXPECT_EQ(sp.SkinData()->FCacheBmp->Width(), 420);
  EXPECT_EQ(sp.SkinData()->FCacheBmp->Height(), 260);
  EXPECT_EQ(sp.ButtonClose.cpRect.Right, 420 - 3 - GetSystemMetrics(SM_CXFRAME));
  EXPECT_EQ(MismatchesInRegion(form, sp), 0);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(form.Handle(), rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, 419, 259));
  EXPECT_TRUE(PtInRegion(rgn, 417, 257));
  DeleteObject(rgn);
}

TEST_F(FrameTest, MaximizedFormTakesTheWorkAreaGrownByTheFrameAndLosesItsCorners) {
  TForm form(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  ShowWindow(form.Handle(), SW_SHOWMAXIMIZED);
  Application->ProcessMessages();
  const int a = GetSystemMetrics(SM_CXFRAME);
  RECT r{};
  GetWindowRect(form.Handle(), &r);
  EXPECT_EQ(r.left, -a);
  EXPECT_EQ(r.top, -a);
  EXPECT_EQ(r.right - r.left, 1600 + 2 * a);
  EXPECT_EQ(r.bottom - r.top, 960 + 2 * a);
  // Without extended borders the region cuts the off-screen frame away, corners included.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(form.Handle(), rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, a - 1, a + 10));
  EXPECT_TRUE(PtInRegion(rgn, a, a));
  EXPECT_FALSE(PtInRegion(rgn, r.right - r.left - a, a + 10));
  DeleteObject(rgn);
  // Maximized title buttons sit lower, at the top the skin gives them.
  EXPECT_EQ(sp.TitleButtonsTop(), 6);
}
