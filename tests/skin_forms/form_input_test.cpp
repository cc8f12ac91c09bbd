// The mouse on a skinned frame, driven through injected input: title buttons
// going hot and pressed and acting only on a release over themselves, double
// clicks on the caption, and moving and sizing through the layer's modal loop.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class FormInputTest : public FormSkinTest {
 protected:
  TsSkinProvider* SkinnedForm(TForm& form) {
    form.SetBorderIcons({biSystemMenu, biMinimize, biMaximize});
    Show(form, bsSizeable, 300, 200);
    manager->Effects.AllowGlowing = false;  // title buttons change on the frame itself, without fades
    auto* sp = new TsSkinProvider(&form);
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Application->ProcessMessages();
    return sp;
  }
  // The screen point of a point of the form's window.
  static POINT Screen(TForm& form, TPoint p) {
    RECT r;
    GetWindowRect(form.Handle(), &r);
    return POINT{r.left + p.X, r.top + p.Y};
  }
  static TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
  static void Move(POINT p) {
    InjectMouseMove(p.x, p.y);
    Application->ProcessMessages();
  }
  static void Button(POINT p, bool down) {
    InjectMouseButton(TMouseButton::Left, down, p.x, p.y);
    Application->ProcessMessages();
  }
  // Press at "from", move through "steps", release at the last one, all met by the layer's loop.
  void Drag(POINT from, const std::vector<POINT>& steps, std::function<void(int)> afterStep = nullptr) {
    Headless().QueueInput([from] { InjectMouseButton(TMouseButton::Left, true, from.x, from.y); });
    for (size_t i = 0; i < steps.size(); ++i) {
      const POINT p = steps[i];
      Headless().QueueInput([p, i, afterStep] {
        InjectMouseMove(p.x, p.y);
        if (afterStep) afterStep(int(i));
      });
    }
    const POINT to = steps.back();
    Headless().QueueInput([to] { InjectMouseButton(TMouseButton::Left, false, to.x, to.y); });
    RunQueued();
  }
  // Runs the queued input and whatever it posts.
  void RunQueued() {
    MSG m;
    while (Headless().QueuedInput() > 0 || PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) Application->ProcessMessages();
  }
};

}  // namespace

TEST_F(FormInputTest, TitleButtonGoesHotThenPressedAndActsOnReleaseOverItself) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const TPoint max = Centre(sp->ButtonMax.cpRect);
  Move(Screen(form, max));
  EXPECT_EQ(sp->ButtonMax.cpState, 1);
  EXPECT_EQ(At(form, max.X, max.Y), ColorToRGB(GlyphColor(1, 1)));
  Button(Screen(form, max), true);
  EXPECT_EQ(sp->ButtonMax.cpState, 2);
  EXPECT_TRUE(sp->biClicked);
  EXPECT_EQ(At(form, max.X, max.Y), ColorToRGB(GlyphColor(1, 2)));
  EXPECT_FALSE(IsZoomed(form.Handle()));  // nothing yet on the press
  Button(Screen(form, max), false);
  EXPECT_TRUE(IsZoomed(form.Handle()));
  EXPECT_FALSE(sp->biClicked);
  EXPECT_EQ(sp->ButtonMax.cpState, 0);
  // Once more on the restore glyph: back to normal.
  const TPoint restore = Centre(sp->ButtonMax.cpRect);
  Move(Screen(form, restore));
  Button(Screen(form, restore), true);
  Button(Screen(form, restore), false);
  EXPECT_FALSE(IsZoomed(form.Handle()));
  EXPECT_TRUE(form.Visible());
}

TEST_F(FormInputTest, ReleaseAwayFromThePressedButtonDoesNothing) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const POINT close = Screen(form, Centre(sp->ButtonClose.cpRect));
  const POINT max = Screen(form, Centre(sp->ButtonMax.cpRect));
  const POINT min = Screen(form, Centre(sp->ButtonMin.cpRect));
  const POINT client = Screen(form, TPoint(150, 120));
  const POINT caption = Screen(form, TPoint(60, GetSystemMetrics(SM_CYFRAME) + 4));
  struct Case {
    const char* what;
    POINT press, release;
  } cases[] = {
      {"close, released in the client area", close, client},
      {"close, released over the maximize button", close, max},
      {"minimize, released on the caption", min, caption},
  };
  for (const Case& c : cases) {
    Headless().AdvanceClock(1000);  // a press of its own, not a double click
    Move(c.press);
    Button(c.press, true);
    ASSERT_TRUE(sp->biClicked) << c.what;
    Move(c.release);
    Button(c.release, false);
    EXPECT_TRUE(IsWindowVisible(form.Handle())) << c.what;
    EXPECT_FALSE(IsIconic(form.Handle())) << c.what;
    EXPECT_FALSE(IsZoomed(form.Handle())) << c.what;
    EXPECT_FALSE(sp->biClicked) << c.what;
    EXPECT_EQ(sp->ButtonClose.cpState + sp->ButtonMin.cpState + sp->ButtonMax.cpState, 0) << c.what;
  }
  // A client-area release carries key states: with Ctrl (8, the minimize code) held it minimizes nothing.
  Headless().AdvanceClock(1000);
  Move(min);
  Button(min, true);
  ASSERT_TRUE(sp->biClicked);
  form.Perform(WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(min.x, min.y));
  EXPECT_FALSE(IsIconic(form.Handle()));
  EXPECT_FALSE(sp->biClicked);
}

TEST_F(FormInputTest, DoubleClickOnTheCaptionMaximizesAndRestores) {
  TForm form(nullptr);
  SkinnedForm(form);
  // Each press on the caption enters the layer's move loop, so the clicks are queued for it.
  auto doubleClick = [&] {
    Headless().AdvanceClock(1000);  // the first press starts a new click
    const POINT caption = Screen(form, TPoint(60, GetSystemMetrics(SM_CYFRAME) + 8));
    for (int i = 0; i < 2; ++i) {
      Headless().QueueInput([caption] { InjectMouseButton(TMouseButton::Left, true, caption.x, caption.y); });
      Headless().QueueInput([caption] { InjectMouseButton(TMouseButton::Left, false, caption.x, caption.y); });
    }
    RunQueued();
  };
  doubleClick();
  EXPECT_TRUE(IsZoomed(form.Handle()));
  doubleClick();
  EXPECT_FALSE(IsZoomed(form.Handle()));
  EXPECT_EQ(form.Left(), 100);
  // Without a maximize box the caption's double click leaves the form as it is.
  form.SetBorderIcons({biSystemMenu, biMinimize});
  doubleClick();
  EXPECT_FALSE(IsZoomed(form.Handle()));
}

TEST_F(FormInputTest, CaptionDragMovesTheFormStepByStep) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const POINT from = Screen(form, TPoint(60, GetSystemMetrics(SM_CYFRAME) + 4));
  std::vector<POINT> lefts;
  Drag(from, {POINT{from.x + 10, from.y + 5}, POINT{from.x + 30, from.y + 20}, POINT{from.x + 50, from.y + 40}},
       [&](int) {
         RECT r;
         GetWindowRect(form.Handle(), &r);
         lefts.push_back(POINT{r.left, r.top});
       });
  ASSERT_EQ(lefts.size(), 3u);
  EXPECT_EQ(lefts[0].x, 110);
  EXPECT_EQ(lefts[0].y, 105);
  EXPECT_EQ(lefts[1].x, 130);
  EXPECT_EQ(lefts[2].y, 140);
  EXPECT_EQ(form.Left(), 150);
  EXPECT_EQ(form.Top(), 140);
  EXPECT_EQ(form.Width(), 300);
  EXPECT_EQ(sp->CurrentHT, 0);
}

TEST_F(FormInputTest, BorderDragSizesTheFormAndRepaintsItsFrame) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const POINT corner = Screen(form, TPoint(form.Width() - 3, form.Height() - 3));
  Drag(corner, {POINT{corner.x + 20, corner.y + 10}, POINT{corner.x + 60, corner.y + 30}});
  EXPECT_EQ(form.Left(), 100);
  EXPECT_EQ(form.Width(), 360);
  EXPECT_EQ(form.Height(), 230);
  EXPECT_EQ(sp->SkinData()->FCacheBmp->Width(), 360);
  // The close button follows the new right edge on screen.
  const TPoint close = Centre(sp->ButtonClose.cpRect);
  EXPECT_GT(close.X, 300);
  EXPECT_EQ(At(form, close.X, close.Y), ColorToRGB(GlyphColor(0, 0)));
}
