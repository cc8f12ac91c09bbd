// Alpha hints: the application's hints through the component's window class,
// the picture composed from the built-in template and faded in on the virtual
// clock, the anchor of a hint at a point, and a handler's refusal honoured
// for every kind of hint.

#include <cstdlib>
#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "tests/skin_controls/HintFixture.h"

namespace {

class AlphaHintsTest : public HintTest {
 protected:
  static uint32_t Pixel(TBitmap& b, int x, int y) { return GetPixel32(&b, x, y); }
  // Each byte within 2 of the expected one (stretching smooths the picture a little).
  static bool Near(uint32_t a, uint32_t b) {
    for (int s = 0; s < 32; s += 8)
      if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 2) return false;
    return true;
  }
};

}  // namespace

TEST_F(AlphaHintsTest, ApplicationHintFadesInWithTheTemplatesPicture) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Loaded();
  EXPECT_EQ(HintWindowClass, &HintWindowClassOf<TacPngHintWindow>);
  EXPECT_EQ(Application->HintHidePause, 5000);

  InjectMouseMove(80, 60);
  Application->ProcessMessages();
  Run(Application->HintPause + 12);
  ASSERT_NE(dynamic_cast<TacPngHintWindow*>(Application->HintWindow()), nullptr);
  ASSERT_TRUE(hints.AnimWindow);
  HWND anim = hints.AnimWindow->Handle();
  // The anchor is below the pointer; the picture's shadow (6, 5) lies before it.
  const int anchorY = 60 + GetSystemMetrics(SM_CYCURSOR) - 12;
  EXPECT_EQ(hints.NewBounds.Left, 80 - 6);
  EXPECT_EQ(hints.NewBounds.Top, anchorY - 5);

  Run(30 * 12);
  const std::vector<BYTE> alphas = recorder->AlphasOf(anim);
  ASSERT_GE(alphas.size(), 20u);
  // Twenty steps of 12 ms up to full opacity, then the picture stays at 255.
  for (size_t i = 1; i < 20; ++i) EXPECT_GT(alphas[i], alphas[i - 1]) << i;
  EXPECT_LT(alphas[18], 255);
  EXPECT_EQ(alphas[19], 255);
  EXPECT_EQ(alphas.back(), 255);
  EXPECT_EQ(Application->HintPause, 100) << "hints that follow come quicker while one is up";

  // The picture: the template's light body inside its grey frame, clear corners, a shadow at the lower right.
  TBitmap pic;
  GetWindowSurfaceBitmap(anim, pic);
  const int w = pic.Width(), h = pic.Height();
  EXPECT_EQ(w, hints.NewBounds.Width());
  EXPECT_EQ(Pixel(pic, 0, 0) >> 24, 0u) << "outside the body and its shadow";
  EXPECT_PRED2(Near, Pixel(pic, 6, h / 2), 0xFF808080u) << "frame";
  EXPECT_PRED2(Near, Pixel(pic, 8, h / 2), 0xFFFFFFF0u) << "body";
  const uint32_t shade = Pixel(pic, w - 4, h - 4) >> 24;
  EXPECT_GT(shade, 0u);
  EXPECT_LT(shade, 0x50u);
  int text = 0;
  for (int y = 8; y < h - 15; ++y)
    for (int x = 11; x < w - 16; ++x) text += (Pixel(pic, x, y) & 0xFF) < 0x60;
  EXPECT_GT(text, 10) << "the hint's text in the template's font colour";
}

TEST_F(AlphaHintsTest, HandlerRefusalSuppressesEveryKindOfHint) {
  TForm form(nullptr);
  TPanel* panel = HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Loaded();
  hints.Animated = false;
  for (bool refuse : {true, false}) {
    SCOPED_TRACE(refuse);
    hints.HideAll();
    Application->CancelHint();
    int asked = 0;
    hints.OnShowHint = [&](String&, bool& canShow, THintInfo&, TFrame*&) {
      ++asked;
      canShow = !refuse;
    };
    InjectMouseMove(80, 60);
    Application->ProcessMessages();
    Application->ActivateHint(panel);
    EXPECT_EQ(bool(hints.AnimWindow), !refuse) << "the application's hint";
    hints.HideAll();

    hints.ShowHint(TPoint(100, 100), "At a point", 0);
    EXPECT_EQ(bool(hints.AnimWindow), !refuse) << "a hint at a point";
    if (!refuse) {
      // The body's corner stands at the anchor, the shadow before it.
      EXPECT_EQ(hints.AnimWindow->Left(), 94);
      EXPECT_EQ(hints.AnimWindow->Top(), 95);
    }
    hints.HideAll();
    hints.ShowHint(panel, "For a control", 0);
    EXPECT_EQ(bool(hints.AnimWindow), !refuse) << "a hint for a control";
    EXPECT_EQ(asked, 3);
  }
}

TEST_F(AlphaHintsTest, TimedHintGoesAfterItsTimeAndCleansUp) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.SetActive(true);
  InjectMouseMove(300, 250);
  Application->ProcessMessages();
  hints.ShowHint(TPoint(100, 100), "Two seconds", 2000);
  ASSERT_TRUE(hints.HintWindow);
  Run(1900);
  EXPECT_TRUE(hints.HintWindow) << "still up before its time";
  Run(200);
  EXPECT_FALSE(hints.HintWindow);
  Run(kHintShortPause + 300 + 24);
  EXPECT_FALSE(hints.AnimWindow) << "the layered window goes once no hint follows";
  EXPECT_FALSE(hints.OldAlphaBmp);
}

TEST_F(AlphaHintsTest, RecordHintPutsItsPictureBesideTheCaption) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  auto img = NewBitmap32(16, 16);
  FillRect32(img.get(), TRect(0, 0, 16, 16), 0x0000FF, 255);
  TacShowHintData data;
  data.Width = 140;
  data.Height = 40;
  data.Position = TPoint(100, 100);
  data.Caption = "Beside";
  data.Image = img.get();
  data.ImageAlignment = asLeft;
  hints.ShowHint(data, 0);
  ASSERT_TRUE(hints.AnimWindow);
  EXPECT_EQ(hints.AnimWindow->Left(), 94);
  TBitmap pic;
  GetWindowSurfaceBitmap(hints.AnimWindow->Handle(), pic);
  EXPECT_EQ(pic.Width(), 140 + 11 + 16) << "the record's size plus the template's margins";
  // The picture at the content's left (margin 11), centred in the record's height.
  EXPECT_PRED2(Near, Pixel(pic, 11, 12), 0xFFFF0000u);
  EXPECT_PRED2(Near, Pixel(pic, 26, 27), 0xFFFF0000u);
  // The caption's black text: only right of the picture and its 4-pixel gap.
  int gap = 0, right = 0;
  for (int y = 8; y < 40; ++y)
    for (int x = 27; x < 151; ++x) {
      const uint32_t p = Pixel(pic, x, y);
      if (((p >> 16) & 0xFF) < 0x60 && (p & 0xFF) < 0x60) ++(x < 11 + 16 + 4 ? gap : right);
    }
  EXPECT_EQ(gap, 0);
  EXPECT_GT(right, 10);
}

TEST_F(AlphaHintsTest, FrameFromTheHandlerIsTheHintsContent) {
  TForm form(nullptr);
  TPanel* panel = HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  hints.OnShowHint = [](String&, bool&, THintInfo&, TFrame*& frame) {
    frame = new TFrame(nullptr);
    frame->SetBounds(0, 0, 60, 30);
    frame->SetColor(0x00C000);
  };
  hints.ShowHint(TPoint(100, 100), "Framed", 2000);
  ASSERT_TRUE(hints.AnimWindow);
  TBitmap pic;
  GetWindowSurfaceBitmap(hints.AnimWindow->Handle(), pic);
  EXPECT_EQ(pic.Width(), 60 + 11 + 16) << "the frame's size plus the template's margins";
  EXPECT_EQ(pic.Height(), 30 + 8 + 15);
  EXPECT_PRED2(Near, Pixel(pic, 11 + 30, 8 + 15), 0xFF00C000u);
  Run(2100);  // the timed hint goes and takes the frame with it
  EXPECT_EQ(hints.HintFrame, nullptr);

  // The application's hint: the frame goes when the application's window closes the hint.
  hints.Loaded();
  Application->ActivateHint(panel);
  ASSERT_NE(hints.HintFrame, nullptr);
  EXPECT_EQ(hints.HintFrame->Parent(), Application->HintWindow());
  Application->CancelHint();
  EXPECT_EQ(hints.HintFrame, nullptr);
}

TEST_F(AlphaHintsTest, TagAndTemplateNameChooseWhatTheComponentDoes) {
  {
    TsAlphaHints skipped(nullptr);
    skipped.Tag = kNoSkinTag;
    skipped.Loaded();
    EXPECT_FALSE(Application->OnShowHint) << "a component tagged to be left alone takes no hints";
  }
  TsAlphaHints hints(nullptr);
  hints.Templates()->Add()->Name = "Plain";
  hints.Templates()->Add()->Name = "Glass";
  struct Case {
    const char* name;
    int index;
  } cases[] = {{"glass", 1}, {"PLAIN", 0}, {"Stone", -1}};
  for (const Case& c : cases) {
    hints.SetTemplateName(c.name);
    EXPECT_EQ(hints.TemplateIndex(), c.index) << c.name;
    hints.InitTemplate();
    EXPECT_EQ(CurrentHintTemplate, c.index < 0 ? DefaultHintTemplate() : hints.Templates()->Items(c.index));
  }
}

TEST_F(AlphaHintsTest, PaintHandlerCanReplaceTheContent) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  TRect given;
  hints.OnPaint = [&](const String&, const THintInfo&, TRect r, TBitmap* bmp, bool& defaultDraw) {
    given = r;
    FillRect32(bmp, TRect(r.Left, r.Top, r.Left + 4, r.Top + 4), 0x0000FF, 255);
    defaultDraw = false;
  };
  hints.ShowHint(TPoint(100, 100), "Drawn by the handler", 0);
  ASSERT_TRUE(hints.AnimWindow);
  EXPECT_EQ(given.Left, 11);
  EXPECT_EQ(given.Top, 8);
  TBitmap pic;
  GetWindowSurfaceBitmap(hints.AnimWindow->Handle(), pic);
  EXPECT_PRED2(Near, Pixel(pic, 12, 9), 0xFFFF0000u);
  int dark = 0;
  for (int y = 8; y < pic.Height() - 15; ++y)
    for (int x = 16; x < pic.Width() - 16; ++x) dark += (Pixel(pic, x, y) & 0xFF) < 0x60;
  EXPECT_EQ(dark, 0) << "no text of the default drawing";
}

TEST_F(AlphaHintsTest, UntimedHintStaysWhileTheMouseStaysOnItsControl) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  InjectMouseMove(80, 60);
  Application->ProcessMessages();
  hints.ShowHint(TPoint(100, 100), "Untimed", 0);
  Run(3000);
  EXPECT_TRUE(hints.AnimWindow) << "the mouse is still on the panel";
  InjectMouseMove(300, 250);
  Application->ProcessMessages();
  Run(300);
  EXPECT_FALSE(hints.AnimWindow) << "gone at the first check after the mouse left";
}

TEST_F(AlphaHintsTest, RepaintAsksTheHandlerAgainAndShowsTheNewPicture) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  int asked = 0;
  hints.OnShowHint = [&](String&, bool&, THintInfo&, TFrame*&) { ++asked; };
  hints.ShowHint(TPoint(100, 100), "Repainted", 0);
  ASSERT_TRUE(hints.AnimWindow);
  const size_t before = recorder->AlphasOf(hints.AnimWindow->Handle()).size();
  hints.RepaintHint();
  EXPECT_EQ(asked, 2);
  const std::vector<BYTE> after = recorder->AlphasOf(hints.AnimWindow->Handle());
  ASSERT_EQ(after.size(), before + 1);
  EXPECT_EQ(after.back(), 255);
  EXPECT_TRUE(hints.OldAlphaBmp) << "kept for the next hint to cross-fade from";
}
