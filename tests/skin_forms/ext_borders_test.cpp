// Extended borders of a skinned form: a layered window with the skin's shadow
// right behind the form that follows its moves and sizes, lets the mouse
// through where only the shadow lies and hands presses on the frame to the
// form with the frame's hit codes.

#include <gtest/gtest.h>

#include "skin/core/acStartup.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

constexpr int kMargin = 20;  // the shadow image's margins
constexpr int kOffset = 4;   // FORMOFFSET: the margins' part under the form's outline
constexpr int kShadow = kMargin - kOffset;
constexpr int kClear = 3;    // the outermost rings of the shadow are fully clear

// The framed form skin with an extended-border image: two frames (inactive,
// active) of 48 x 48 whose outer kClear rings are clear and whose shadow
// darkens towards the frame.
skintest::SkinFiles ExBorderSkin() {
  skintest::SkinFiles s = FramedFormSkin();
  constexpr int kSide = 48;
  std::vector<uint32_t> px(size_t(2 * kSide) * kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < 2 * kSide; ++x) {
      const int fx = x % kSide;
      const int d = std::min({fx, y, kSide - 1 - fx, kSide - 1 - y});
      const uint32_t a = d < kClear ? 0 : d < kShadow ? uint32_t(40 + 10 * d) : 255;
      px[size_t(y) * 2 * kSide + size_t(x)] = a << 24 | (d < kShadow ? 0 : 0x808080);
    }
  s.files["exborder.png"] = skintest::EncodePng(2 * kSide, kSide, px);
  auto& global = s.options.sections[0].second;
  const std::string m = std::to_string(kMargin);
  global.emplace_back("EXBORDER", "!exborder.png!2!0!0!" + m + "!" + m + "!" + m + "!" + m + "!0");
  global.emplace_back("FORMOFFSET", std::to_string(kOffset));
  return s;
}

class ExtBordersTest : public FormSkinTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Layered windows are bound as the start-up units bind them.
    SystemBindings.UpdateLayeredWindow = reinterpret_cast<void*>(&UpdateLayeredWindow);
    Headless().SetMonitors({TMonitorDesc{RECT{0, 0, 1600, 1000}, RECT{0, 0, 1600, 960}, true}});
    ExBorderSkin().WriteFolder(dir.Path() + "ExFramed");
    manager = std::make_unique<TsSkinManager>(nullptr);
    manager->SetExtendedBorders(true);
    manager->SetSkinDirectory(dir.Path());
    manager->SetSkinName("ExFramed");
  }
  void TearDown() override {
    FormSkinTest::TearDown();
    SystemBindings.UpdateLayeredWindow = nullptr;
  }
  TsSkinProvider* Skinned(TForm& form) {
    form.SetBorderIcons({biSystemMenu, biMinimize, biMaximize});
    Show(form, bsSizeable, 300, 200);
    auto* sp = new TsSkinProvider(&form);
    Application->ProcessMessages();
    return sp;
  }
  static TRect Rect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return TRect(r);
  }
  static HWND Border(TsSkinProvider* sp) {
    return sp->BorderForm && sp->BorderForm->AForm ? sp->BorderForm->AForm->Handle() : nullptr;
  }
  // Where the border window must be: the form's window inside the painted image.
  static TRect Expected(TsSkinProvider* sp) {
    const TRect f = Rect(sp->Form->Handle());
    TBitmap* img = sp->SkinData()->FCacheBmp.get();
    const int x = f.Left - sp->BorderForm->OffsetX(), y = f.Top - sp->BorderForm->OffsetY();
    return TRect(x, y, x + img->Width(), y + img->Height());
  }
};

}  // namespace

TEST_F(ExtBordersTest, BorderWindowSitsRightBehindTheFormAndFollowsIt) {
  TForm form(nullptr), other(nullptr);
  TsSkinProvider* sp = Skinned(form);
  HWND b = Border(sp);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(IsWindowVisible(b));
  EXPECT_TRUE(GetWindowLongPtrW(b, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(sp->ShadowSize(), TRect(kShadow, kShadow, kShadow, kShadow));
  EXPECT_EQ(Rect(b), Expected(sp));
  EXPECT_EQ(Rect(b).Width(), 300 + 2 * DiffBorder(sp->BorderForm) + 2 * kShadow);
  EXPECT_EQ(GetWindow(form.Handle(), GW_HWNDNEXT), b);

  form.SetBounds(240, 170, 300, 200);
  EXPECT_EQ(Rect(b), Expected(sp));
  form.SetBounds(240, 170, 420, 260);
  EXPECT_EQ(Rect(b), Expected(sp));
  EXPECT_EQ(Rect(b).Height(), sp->ImageHeight());
  EXPECT_EQ(GetWindow(form.Handle(), GW_HWNDNEXT), b);

  // Another window comes between them and the form comes back to the top.
  other.SetBorderStyle(bsSingle);
  other.SetBounds(0, 0, 200, 100);
  other.Show();
  SetActiveWindow(other.Handle());
  SetActiveWindow(form.Handle());
  SetWindowPos(form.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Application->ProcessMessages();
  EXPECT_EQ(GetWindow(form.Handle(), GW_HWNDNEXT), b);

  // Hidden with the form, made again when it shows.
  form.Hide();
  Application->ProcessMessages();
  EXPECT_FALSE(Border(sp) && IsWindowVisible(Border(sp)));
  form.Show();
  Application->ProcessMessages();
  ASSERT_NE(Border(sp), nullptr);
  EXPECT_TRUE(IsWindowVisible(Border(sp)));
  EXPECT_EQ(Rect(Border(sp)), Expected(sp));
}

TEST_F(ExtBordersTest, FrameHitCodesAndShadowClickThrough) {
  TForm below(nullptr), form(nullptr);
  below.SetBorderStyle(bsNone);
  below.SetBounds(0, 0, 800, 600);
  below.Show();
  int belowPresses = 0;
  TWndMethod belowProc = below.WindowProc;
  below.WindowProc = [&](TMessage& M) {
    if (M.Msg == WM_LBUTTONDOWN) ++belowPresses;
    belowProc(M);
  };
  TsSkinProvider* sp = Skinned(form);
  TacBorderForm* bf = sp->BorderForm;
  ASSERT_NE(Border(sp), nullptr);
  // Presses that reach the form, and the codes the border computes for them.
  std::vector<WPARAM> formPresses;
  TWndMethod formProc = form.WindowProc;
  form.WindowProc = [&](TMessage& M) {
    if (M.Msg == WM_NCLBUTTONDOWN) {
      formPresses.push_back(M.WParam);
      return;  // the form's own reaction is not this test's
    }
    formProc(M);
  };
  const TRect r = Rect(Border(sp));
  const TRect fr = Rect(form.Handle());
  const TRect close = sp->ButtonClose.cpRect;
  struct Case {
    const char* where;
    TPoint p;  // screen
    int code;
  } cases[] = {
      {"caption", {fr.Left + 60, r.Top + kShadow + 5}, HTCAPTION},
      {"close button", {r.Left + (close.Left + close.Right) / 2, r.Top + (close.Top + close.Bottom) / 2}, HTCLOSE},
      {"right edge", {r.Right - kShadow + 2, fr.Top + 100}, HTRIGHT},
      {"bottom edge", {fr.Left + 100, r.Bottom - kShadow + 2}, HTBOTTOM},
      {"bottom-right corner", {r.Right - kShadow + 2, r.Bottom - kShadow + 2}, HTBOTTOMRIGHT},
      {"left edge", {r.Left + kShadow - 2, fr.Top + 100}, HTLEFT},
  };
  for (const Case& c : cases) {
    TMessage m = MakeMessage(WM_NCHITTEST, 0, MAKELPARAM(c.p.X, c.p.Y));
    EXPECT_EQ(bf->Ex_WMNCHitTest(m), c.code) << c.where;
    formPresses.clear();
    InjectMouseButton(TMouseButton::Left, true, c.p.X, c.p.Y);
    Application->ProcessMessages();
    InjectMouseButton(TMouseButton::Left, false, c.p.X, c.p.Y);
    Application->ProcessMessages();
    EXPECT_EQ(formPresses, std::vector<WPARAM>{WPARAM(-1)}) << c.where;
  }
  EXPECT_EQ(belowPresses, 0);

  // The shadow beyond the sizing band, half clear and fully clear: the window below gets the press.
  for (const TPoint p : {TPoint(r.Left + kClear + 1, fr.Top + 100), TPoint(r.Left + 1, fr.Top + 100),
                         TPoint(fr.Left + 100, r.Bottom - 2)}) {
    formPresses.clear();
    const int before = belowPresses;
    Headless().AdvanceClock(1000);  // no double click
    InjectMouseButton(TMouseButton::Left, true, p.X, p.Y);
    Application->ProcessMessages();
    InjectMouseButton(TMouseButton::Left, false, p.X, p.Y);
    Application->ProcessMessages();
    EXPECT_EQ(belowPresses, before + 1) << p.X << "," << p.Y;
    EXPECT_TRUE(formPresses.empty());
  }

  // A disabled form makes the whole frame answer nothing.
  EnableWindow(form.Handle(), FALSE);
  TMessage m = MakeMessage(WM_NCHITTEST, 0, MAKELPARAM(fr.Left + 60, r.Top + kShadow + 5));
  EXPECT_EQ(bf->Ex_WMNCHitTest(m), -1);
  EnableWindow(form.Handle(), TRUE);
}

TEST_F(ExtBordersTest, BorderDoubleClickSpansTheWorkAreaWidthAndBack) {
  TForm form(nullptr);
  TsSkinProvider* sp = Skinned(form);
  HWND b = Border(sp);
  ASSERT_NE(b, nullptr);
  const TRect r = Rect(b);
  const LPARAM at = MAKELPARAM(r.Right - kShadow + 2, Rect(form.Handle()).Top + 100);
  SendMessageW(b, WM_NCLBUTTONDBLCLK, WPARAM(19), at);
  EXPECT_EQ(form.Left(), DiffBorder(sp->BorderForm));
  EXPECT_EQ(form.Width(), 1600 - 2 * DiffBorder(sp->BorderForm));
  EXPECT_TRUE(sp->FormState() & FS_FULLWIDTH);
  SendMessageW(Border(sp), WM_NCLBUTTONDBLCLK, WPARAM(19),
               MAKELPARAM(Rect(Border(sp)).Right - kShadow + 2, Rect(form.Handle()).Top + 100));
  EXPECT_EQ(form.Left(), 100);
  EXPECT_EQ(form.Width(), 300);
  EXPECT_FALSE(sp->FormState() & FS_FULLWIDTH);
}

TEST_F(ExtBordersTest, BordersGoWhenTurnedOff) {
  TForm form(nullptr);
  TsSkinProvider* sp = Skinned(form);
  ASSERT_NE(sp->BorderForm, nullptr);
  sp->SetAllowExtBorders(false);
  EXPECT_EQ(sp->BorderForm, nullptr);
  sp->SetAllowExtBorders(true);
  Application->ProcessMessages();
  ASSERT_NE(Border(sp), nullptr);
  EXPECT_EQ(Rect(Border(sp)), Expected(sp));
}
