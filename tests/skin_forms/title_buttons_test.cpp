// Title buttons of a skinned form under the "framed" form skin: where the
// system and user buttons and the icon sit, the hit codes the frame answers
// there and around, each button painted by its state (normal, hot, pressed,
// dimmed), repainted alone on screen over its saved background, and the hint
// of a user button.

#include <gtest/gtest.h>

#include "platform/win/Menu.h"
#include "skin/core/AlphaBitmaps.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class TitleButtonsTest : public FormSkinTest {
 protected:
  // A skinned sizeable form with help and three user buttons: an enabled one
  // with a keyed glyph, a disabled one and a hidden one.
  TsSkinProvider* SkinnedForm(TForm& form) {
    form.SetBorderIcons({biSystemMenu, biMinimize, biMaximize, biHelp});
    Show(form, bsSizeable, 400, 240);
    manager->Effects.AllowGlowing = false;  // buttons change on the frame itself, without fades
    auto* sp = new TsSkinProvider(&form);
    for (int i = 0; i < 3; ++i) static_cast<void>(sp->TitleButtons()->Add());
    TBitmap* g = User(sp, 0)->Glyph();
    g->SetPixelFormat(pf24bit);
    g->SetSize(6, 6);
    g->Canvas()->Brush()->SetColor(kGlyphColor);
    g->Canvas()->FillRect(TRect(0, 0, 6, 6));
    g->Canvas()->SetPixels(0, 5, clFuchsia);  // the key: bottom-left
    User(sp, 1)->SetEnabled(false);
    User(sp, 2)->SetVisible(false);
    Repaint(sp);
    return sp;
  }
  static TsTitleButton* User(TsSkinProvider* sp, int i) { return sp->TitleButtons()->Items(i); }
  static constexpr TColor kGlyphColor = 0x2040E0;
};

}  // namespace

TEST_F(TitleButtonsTest, ButtonsAndIconArePlacedRightToLeft) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const TsSkinData& skin = sp->Skin()->CommonSkinData;
  const int spacing = skin.BISpacing;
  EXPECT_EQ(sp->ButtonClose.cpRect.Width(), kGlyph);
  EXPECT_EQ(sp->ButtonMax.cpRect.Right, sp->ButtonClose.cpRect.Left - spacing);
  EXPECT_EQ(sp->ButtonMin.cpRect.Right, sp->ButtonMax.cpRect.Left - spacing);
  EXPECT_EQ(sp->ButtonHelp.cpRect.Right, sp->ButtonMin.cpRect.Left - spacing - 6);
  // User buttons left of the system ones, 6 pixels apart, the hidden one without room.
  EXPECT_EQ(User(sp, 0)->Data.cpRect.Right, sp->ButtonHelp.cpRect.Left - spacing - 6);
  EXPECT_EQ(User(sp, 1)->Data.cpRect.Right, User(sp, 0)->Data.cpRect.Left - spacing);
  EXPECT_EQ(User(sp, 0)->Data.cpRect.Width(), 21);  // no skin image: the default width
  EXPECT_TRUE(User(sp, 2)->Data.cpRect.IsEmpty());
  // The icon at the left after the frame and the skin's margin.
  EXPECT_EQ(sp->IconRect().Left, SysBorderWidth(form.Handle(), nullptr, true) + skin.BILeftMargin);
  EXPECT_GT(sp->IconRect().Width(), 0);
}

TEST_F(TitleButtonsTest, ButtonsAndFrameAnswerTheirHitCodes) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const int w = form.Width(), h = form.Height();
  struct Case {
    const char* what;
    TPoint p;
    int code;
  } cases[] = {
      {"close", Centre(sp->ButtonClose.cpRect), HTCLOSE},
      {"maximize", Centre(sp->ButtonMax.cpRect), HTMAXBUTTON},
      {"minimize", Centre(sp->ButtonMin.cpRect), HTMINBUTTON},
      {"help", Centre(sp->ButtonHelp.cpRect), HTHELP},
      {"user button", Centre(User(sp, 0)->Data.cpRect), HTUDBTN},
      {"disabled user button", Centre(User(sp, 1)->Data.cpRect), HTCAPTION},
      {"icon", Centre(sp->IconRect()), HTSYSMENU},
      {"caption", TPoint(w / 3, Centre(sp->ButtonClose.cpRect).Y), HTCAPTION},
      {"left edge", TPoint(1, h / 2), HTLEFT},
      {"right edge", TPoint(w - 1, h / 2), HTRIGHT},
      {"top edge", TPoint(w / 2, 0), HTTOP},
      {"bottom edge", TPoint(w / 2, h - 1), HTBOTTOM},
      {"bottom-left corner", TPoint(0, h - 1), HTBOTTOMLEFT},
      {"top-right corner", TPoint(w - 1, 0), HTTOPRIGHT},
      {"client", TPoint(w / 2, h / 2), HTCLIENT},
  };
  for (const Case& c : cases) EXPECT_EQ(Hit(sp, c.p), c.code) << c.what;

  // Through the window too.
  RECT wr;
  GetWindowRect(form.Handle(), &wr);
  const TPoint close = Centre(sp->ButtonClose.cpRect);
  EXPECT_EQ(SendMessageW(form.Handle(), WM_NCHITTEST, 0, MAKELPARAM(close.X + wr.left, close.Y + wr.top)), HTCLOSE);

  // Close greyed in the window's menu: the button is caption.
  EnableMenuItem(GetSystemMenu(form.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  EXPECT_EQ(Hit(sp, close), HTCAPTION);
  // Without help and maximize the numbering shifts: the second element is minimize.
  form.SetBorderIcons({biSystemMenu, biMinimize});
  Repaint(sp);
  EXPECT_EQ(Hit(sp, Centre(sp->ButtonMin.cpRect)), HTMINBUTTON);
  EXPECT_EQ(Hit(sp, Centre(User(sp, 0)->Data.cpRect)), HTUDBTN);
}

TEST_F(TitleButtonsTest, ButtonsPaintByStateAndRepaintAlone) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  const TPoint close = Centre(sp->ButtonClose.cpRect);
  EXPECT_EQ(ImageAt(*sp, close.X, close.Y), ColorToRGB(GlyphColor(0, 0)));
  EXPECT_EQ(At(form, close.X, close.Y), ColorToRGB(GlyphColor(0, 0)));
  // Hot and pressed are drawn on screen without a full paint.
  const TPoint inside = sp->ButtonClose.cpRect.TopLeft();
  for (int state : {1, 2, 0}) {
    sp->ButtonClose.cpState = state;
    sp->RepaintButton(HTCLOSE);
    EXPECT_EQ(At(form, inside.X, inside.Y), ColorToRGB(GlyphColor(0, state))) << state;
    EXPECT_EQ(At(form, close.X, close.Y), ColorToRGB(GlyphColor(0, state))) << state;
  }
  // Inactive: a normal button is dimmed, a hot one drawn plainly.
  sp->FormActive = false;
  sp->RepaintButton(HTCLOSE);
  EXPECT_NE(At(form, close.X, close.Y), ColorToRGB(GlyphColor(0, 0)));
  sp->ButtonClose.cpState = 1;
  sp->RepaintButton(HTCLOSE);
  EXPECT_EQ(At(form, close.X, close.Y), ColorToRGB(GlyphColor(0, 1)));
  sp->ButtonClose.cpState = 0;
  sp->FormActive = true;

  // A disabled user button is dimmed in the full paint; the enabled one shows its glyph centred.
  const TRect u0 = User(sp, 0)->Data.cpRect;
  const TPoint g(u0.Left + (u0.Width() - 6) / 2, u0.Top + (u0.Height() - 6) / 2);
  EXPECT_EQ(ImageAt(*sp, g.X, g.Y), ColorToRGB(kGlyphColor));
  const COLORREF title = ImageAt(*sp, g.X, g.Y + 5);  // the keyed pixel shows the title
  EXPECT_EQ(title, ColorToRGB(kTitleColor));
  // Pressed, the glyph moves one pixel right and down over its restored background.
  User(sp, 0)->Data.cpState = 2;
  sp->RepaintButton(HTUDBTN);
  EXPECT_EQ(At(form, g.X, g.Y), ColorToRGB(kTitleColor));
  EXPECT_EQ(At(form, g.X + 1, g.Y + 1), ColorToRGB(kGlyphColor));
  User(sp, 0)->Data.cpState = 0;
  sp->RepaintButton(HTUDBTN);
  EXPECT_EQ(At(form, g.X, g.Y), ColorToRGB(kGlyphColor));
  EXPECT_EQ(At(form, g.X + 6, g.Y + 6), ColorToRGB(kTitleColor));

  // Maximized, the maximize button shows the restore glyph.
  form.SetWindowState(wsMaximized);
  Application->ProcessMessages();
  Repaint(sp);
  const TPoint max = Centre(sp->ButtonMax.cpRect);
  sp->ButtonMax.cpState = 1;
  sp->RepaintButton(HTMAXBUTTON);
  EXPECT_EQ(At(form, max.X, max.Y), ColorToRGB(GlyphColor(3, 1)));
}

TEST_F(TitleButtonsTest, UserButtonHintComesAndGoes) {
  TForm form(nullptr);
  TsSkinProvider* sp = SkinnedForm(form);
  TsTitleButton* b = User(sp, 0);
  sp->ShowButtonHint(b);
  EXPECT_EQ(b->HintWnd, nullptr);  // no hint text
  b->SetHint("Pin the window");
  sp->ShowButtonHint(b);
  ASSERT_NE(b->HintWnd, nullptr);
  EXPECT_TRUE(IsWindowVisible(b->HintWnd->Handle()));
  THintWindow* first = b->HintWnd;
  sp->ShowButtonHint(b);  // already shown: kept
  EXPECT_EQ(b->HintWnd, first);
  sp->HideButtonHint(b);
  EXPECT_EQ(b->HintWnd, nullptr);
}
