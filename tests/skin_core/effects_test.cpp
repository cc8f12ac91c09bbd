// Glows, form show and hide animations and state fades on the headless
// window layer and its virtual clock: glow ids and placement, clicks passing
// through glows, the frames of an animation and its last picture, and the
// steps of a fade.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acGlow.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sFade.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinRecords.h"
#include "skin/core/sVclUtils.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/GlowSkin.h"

namespace {

// Records each picture pushed into a layered window: its opacity, the virtual
// time and (for the window asked for) a copy of the picture.
class PushRecorder : public THeadlessBackend {
 public:
  struct Push {
    HWND wnd;
    BYTE alpha;
    uint64_t time;
  };
  void ShapeChanged(HWND wnd) override {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(wnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return;
    pushes.push_back(Push{wnd, alpha, Now()});
    if (wnd == ignore) return;
    GetWindowSurfaceBitmap(wnd, last);
    if (onPush) onPush(last);
  }
  std::vector<Push> pushes;
  HWND ignore = nullptr;
  TBitmap last;
  std::function<void(TBitmap&)> onPush;
};

// The form's skin provider as the animations see it: its painted image is
// what the form prints, frame included.
struct FakeProvider : TObject, TacAnimatedForm {
  TForm* form;
  TsCommonData data;
  bool withImage = true;
  std::vector<TacAnimEvent> events;
  explicit FakeProvider(TForm* f) : form(f), data(nullptr, true) {}
  TCustomForm* AnimForm() override { return form; }
  TsCommonData* AnimSkinData() override { return &data; }
  bool PaintAll() override {
    if (!withImage) {
      data.FCacheBmp.reset();
      return true;
    }
    data.FCacheBmp = NewBitmap32(form->Width(), form->Height());
    form->PaintTo(data.FCacheBmp->Canvas()->Handle(), 0, 0);
    return true;
  }
  void AfterAnimation(TacAnimEvent e) override { events.push_back(e); }
};

class EffectsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    auto backend = std::make_unique<PushRecorder>();
    rec = backend.get();
    SetWindowBackend(std::move(backend));
  }
  void TearDown() override {
    FreeAllGlows(true);
    delete HideTimer;
    WindowTest::TearDown();
  }
  void Run(int Ms) {
    for (int i = 0; i < Ms; ++i) {
      rec->AdvanceClock(1);
      Application->ProcessMessages();
    }
  }
  std::vector<BYTE> AlphasOf(HWND w) const {
    std::vector<BYTE> out;
    for (const auto& p : rec->pushes)
      if (p.wnd == w) out.push_back(p.alpha);
    return out;
  }
  PushRecorder* rec = nullptr;
};

// A form of two colours: red with a blue panel.
void BuildForm(TForm& form, int w, int h) {
  form.SetColor(clRed);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clBlue);
  panel->SetBounds(w / 4, h / 4, w / 2, h / 2);
  form.SetBorderStyle(bsNone);
  form.SetBounds(40, 30, w, h);
}

}  // namespace

TEST_F(EffectsTest, GlowIdsComeFromOneGrowingTable) {
  GlowSkin k;
  TsCommonData a(nullptr), b(nullptr), c(nullptr), bare(nullptr);
  for (TsCommonData* d : {&a, &b, &c, &bare}) d->FSkinManager = &k.s;
  a.SkinIndex = b.SkinIndex = c.SkinIndex = k.sec;
  bare.SkinIndex = k.s.GetSkinIndex("BARE");
  const TRect r(100, 50, 200, 80);  // 100 x 30

  EXPECT_EQ(ShowGlow(r, "", "GLOW", 2, 255, nullptr, &bare), -1);  // no glow picture in that section
  EXPECT_EQ(ShowGlow(r, "", "GLOW", 2, 255, nullptr, nullptr), -1);
  EXPECT_TRUE(GlowEffects.empty());

  a.GlowID = ShowGlow(r, "", "GLOW", 2, 255, nullptr, &a);
  b.GlowID = ShowGlow(r, "TPANEL", "GLOW", 2, 255, nullptr, &b);
  ASSERT_EQ(a.GlowID, 0);
  ASSERT_EQ(b.GlowID, 1);
  // The picture overlaps the rectangle by its borders less the margin.
  RECT wr;
  GetWindowRect(GlowEffects[1]->Wnd->Handle(), &wr);
  EXPECT_EQ(wr.left, 100 - 8);
  EXPECT_EQ(wr.top, 50 - 6);
  EXPECT_EQ(wr.right - wr.left, 116);
  EXPECT_EQ(wr.bottom - wr.top, 42);
  EXPECT_TRUE(IsWindowVisible(GlowEffects[1]->Wnd->Handle()));

  HideGlow(a.GlowID, false);
  EXPECT_EQ(a.GlowID, -1);
  EXPECT_EQ(GlowEffects[0], nullptr);
  EXPECT_EQ(b.GlowID, 1);
  c.GlowID = ShowGlow(r, "", "GLOW", 2, 255, nullptr, &c);
  EXPECT_EQ(c.GlowID, 2);
  for (int stale : {-1, 0, 99}) {
    int id = stale;
    HideGlow(id, false);
    SetGlowAlpha(stale, 10);
    EXPECT_EQ(id, stale);
  }

  SetCapture(GlowEffects[1]->Wnd->Handle());
  EXPECT_EQ(ShowGlow(r, "", "GLOW", 2, 255, nullptr, &a), -1);
  ReleaseCapture();

  FreeAllGlows(true);
  EXPECT_TRUE(GlowEffects.empty());
  EXPECT_EQ(b.GlowID, -1);
  EXPECT_EQ(c.GlowID, -1);
}

TEST_F(EffectsTest, ClickThroughAGlowReachesTheForm) {
  GlowSkin k;
  TForm form(nullptr);
  ShowForm(form, 300, 200);
  std::vector<UINT> got;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONUP) got.push_back(m.Msg);
    old(m);
  };
  TsCommonData d(nullptr);
  d.FSkinManager = &k.s;
  d.SkinIndex = k.sec;
  d.GlowID = ShowGlow(TRect(50, 50, 150, 80), "", "GLOW", 2, 255, form.Handle(), &d);
  ASSERT_GE(d.GlowID, 0);
  HWND glow = GlowEffects[size_t(d.GlowID)]->Wnd->Handle();
  // Opaque over the form, above it, and still not under the mouse.
  ASSERT_EQ(GetWindow(glow, GW_HWNDNEXT), form.Handle());
  EXPECT_EQ(WindowFromPoint(POINT{60, 60}), form.Handle());
  InjectMouseButton(TMouseButton::Left, true, 60, 60);
  InjectMouseButton(TMouseButton::Left, false, 60, 60);
  Application->ProcessMessages();
  EXPECT_EQ(got, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(GetActiveWindow(), form.Handle());
  form.WindowProc = old;
}

TEST_F(EffectsTest, ShowAnimationPlaysTimeDivTwelveStepsAndEndsOnTheFormsPicture) {
  TForm form(nullptr);
  BuildForm(form, 120, 90);
  FakeProvider provider(&form);
  rec->ignore = form.Handle();
  const uint64_t start = rec->Now();

  AnimShowForm(&provider, 120, 255, atFading);  // 10 steps: 11 frames

  EXPECT_EQ(rec->Now() - start, 11u * kAnimStep);
  HWND anim = nullptr;
  for (const auto& p : rec->pushes)
    if (p.wnd != form.Handle()) anim = p.wnd;
  ASSERT_NE(anim, nullptr);
  // The first push shows the picture at 0; then min(255, (k + 1) * 25.5), halves to even; then the last picture.
  EXPECT_EQ(AlphasOf(anim), (std::vector<BYTE>{0, 26, 51, 76, 102, 128, 153, 178, 204, 230, 255, 255, 255}));
  TBitmap printed(120, 90);
  form.PaintTo(printed.Canvas()->Handle(), 0, 0);
  ASSERT_EQ(rec->last.Width(), 120);
  ASSERT_EQ(rec->last.Height(), 90);
  int differing = 0;
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x)
      differing += (GetPixel32(&rec->last, x, y) & 0xFFFFFF) != (GetPixel32(&printed, x, y) & 0xFFFFFF);
  EXPECT_EQ(differing, 0);
  EXPECT_NE(GetPixel32(&rec->last, 60, 45), GetPixel32(&rec->last, 5, 5));  // the panel on the form

  // The form is shown at full opacity, the animation window is gone, nothing stays marked.
  EXPECT_FALSE(FormAnimating);
  EXPECT_FALSE(provider.FInAnimation);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_FALSE(GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_FALSE(IsWindow(anim));
  EXPECT_EQ(provider.events, (std::vector<TacAnimEvent>{aeShowing}));
}

TEST_F(EffectsTest, AFormWithoutAPaintedImageIsShownWithoutAnimation) {
  TForm form(nullptr);
  BuildForm(form, 80, 60);
  FakeProvider provider(&form);
  provider.withImage = false;
  const uint64_t start = rec->Now();
  AnimShowForm(&provider, 300, 255, atFading);
  EXPECT_FALSE(FormAnimating);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_EQ(rec->Now(), start);
  for (const auto& p : rec->pushes) EXPECT_EQ(p.wnd, form.Handle());

  // Hiding it has nothing to fade either.
  AnimHideForm(&provider, TacFormAnimation{120, true, atFading});
  EXPECT_FALSE(FormAnimating);
  EXPECT_TRUE(HideTimer == nullptr || HideTimer->Form == nullptr);
}

TEST_F(EffectsTest, DropDownShowUnfoldsFromTheTopLeftCorner) {
  TForm form(nullptr);
  BuildForm(form, 400, 300);
  FakeProvider provider(&form);
  rec->ignore = form.Handle();
  // The size of the picture in each push: its opaque run along the top row and the left column.
  std::vector<std::pair<int, int>> sizes;
  rec->onPush = [&](TBitmap& b) {
    int w = 0, h = 0;
    while (w < b.Width() && (GetPixel32(&b, w, 0) >> 24) != 0) ++w;
    while (h < b.Height() && (GetPixel32(&b, 0, h) >> 24) != 0) ++h;
    sizes.emplace_back(w, h);
  };
  AnimShowForm(&provider, 36, 255, atDropDown);  // 3 steps: 4 frames between the first and last pushes
  const std::vector<std::pair<int, int>> want{{400, 300}, {0, 0}, {200, 150}, {300, 225}, {350, 262}, {400, 300}};
  EXPECT_EQ(sizes, want);
}

TEST_F(EffectsTest, HideAnimationFadesOutOnTheTimerAndTellsTheProvider) {
  TForm form(nullptr);
  BuildForm(form, 100, 80);
  FakeProvider provider(&form);
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_GETPROVIDER) {
      m.Result = LRESULT(static_cast<TObject*>(&provider));
      return;
    }
    old(m);
  };
  form.Show();
  provider.PaintAll();  // a shown skinned form has its painted image
  rec->ignore = form.Handle();
  rec->pushes.clear();

  AnimHideForm(&provider, TacFormAnimation{11, true, atFading});  // below one step: nothing plays
  for (const auto& p : rec->pushes) EXPECT_EQ(p.wnd, form.Handle());
  ASSERT_TRUE(IsWindow(form.Handle()));

  AnimHideForm(&provider, TacFormAnimation{48, true, atFading});  // 4 steps of 63.75
  ASSERT_NE(HideTimer, nullptr);
  HWND anim = HideTimer->Form->Handle();
  EXPECT_EQ(AlphasOf(anim), (std::vector<BYTE>{255, 191}));  // the picture, then the first frame at once
  Run(4 * kAnimStep);
  EXPECT_EQ(AlphasOf(anim), (std::vector<BYTE>{255, 191, 128, 64, 0, 0}));
  EXPECT_TRUE(provider.events.empty());
  Run(kAnimStep);
  EXPECT_FALSE(IsWindow(anim));
  EXPECT_EQ(HideTimer->Form, nullptr);
  EXPECT_EQ(provider.events, (std::vector<TacAnimEvent>{aeHiding}));
  form.WindowProc = old;
}

TEST_F(EffectsTest, FadeToHotAndBackStepsOnTheVirtualClockWithItsGlow) {
  GlowSkin k;
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(20, 20, 60, 30);
  ShowForm(form, 300, 200);
  // The control's pictures: grey 200 normal, black hot; rebuilding the cache paints the wanted one.
  TsCommonData data(panel, true);
  int wanted = 0;
  auto paintCache = [&] {
    data.FCacheBmp = NewBitmap32(60, 30);
    FillRect32(data.FCacheBmp.get(), TRect(0, 0, 60, 30), wanted == 1 ? 0x000000 : 0xC8C8C8, 0xFF);
    data.BGChanged = false;
  };
  TWndMethod old = panel->WindowProc;
  data.WndProc = [&](TMessage& m) {
    if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_PREPARECACHE) {
      paintCache();
      m.Result = 0;
      return;
    }
    old(m);
  };
  data.FSkinManager = &k.s;
  data.SkinIndex = k.sec;
  paintCache();
  data.FMouseAbove = true;
  auto shown = [&] { return int(GetRValue(SurfacePixel(form.Handle(), 25, 25))); };

  wanted = 1;
  AnimateStateChange(&data, 1, &FadeStep, true, false, true);
  ASSERT_GE(data.GlowID, 0);
  HWND glow = GlowEffects[size_t(data.GlowID)]->Wnd->Handle();
  // Step 0 at once, then one step per 12 ms: the old picture's weight falls
  // 213, 170, 127, 85, 43, 0; the glow follows the level and is not set at the last step.
  std::vector<int> pixels{shown()};
  for (int step = 1; step <= 6; ++step) {
    Run(kAnimStep);
    pixels.push_back(shown());
  }
  EXPECT_EQ(pixels, (std::vector<int>{166, 132, 99, 66, 33, 0, 0}));
  EXPECT_EQ(AlphasOf(glow), (std::vector<BYTE>{0, 42, 85, 128, 170, 212, 255}));
  Run(kAnimStep);
  EXPECT_FALSE(data.AnimTimer->Enabled());
  EXPECT_EQ(data.GlowID, 0);

  // The mouse leaves: back to normal from 255 over 12 steps, the glow falling
  // with the level and removed at once below 10; the fade's pictures are freed.
  wanted = 0;
  data.FMouseAbove = false;
  rec->pushes.clear();
  AnimateStateChange(&data, 0, &FadeStep, true, false, true);
  Run(14 * kAnimStep);
  const std::vector<BYTE> falling = AlphasOf(glow);
  ASSERT_GE(falling.size(), 10u);
  for (size_t i = 1; i < falling.size(); ++i) EXPECT_LT(falling[i], falling[i - 1]);
  EXPECT_EQ(falling.back(), 0);
  EXPECT_EQ(data.GlowID, -1);
  EXPECT_FALSE(IsWindow(glow) && IsWindowVisible(glow));
  EXPECT_EQ(data.AnimTimer->State, -1);
  EXPECT_EQ(data.AnimTimer->BmpOut, nullptr);
  EXPECT_EQ(shown(), 200);

  // A change that arrives while the cache is stale is a plain repaint.
  data.BGChanged = true;
  AnimateStateChange(&data, 1, &FadeStep, true, false, false);
  EXPECT_FALSE(data.AnimTimer->Enabled());
}

namespace {

// The skin change as the manager plays it on a frozen form: the form shows
// its old look (red) until the fade hands over; the new look is green.
class SkinChangeAnimTest : public EffectsTest {
 protected:
  void Prepare(TForm& form, FakeProvider& provider) {
    BuildForm(form, 120, 90);
    old = form.WindowProc;
    form.WindowProc = [this, &provider](TMessage& m) {
      if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_GETPROVIDER) {
        m.Result = LRESULT(static_cast<TObject*>(&provider));
        return;
      }
      old(m);
    };
    form.Show();
    Application->ProcessMessages();
    // Frozen for the change, then drawing allowed again but not yet done, as the manager leaves it.
    SendSetRedraw(form.Handle(), false);
    form.SetColor(clLime);
    SendSetRedraw(form.Handle(), true);
    rec->ignore = form.Handle();
    rec->pushes.clear();
  }
  TWndMethod old;
};

}  // namespace

TEST_F(SkinChangeAnimTest, FadesTheNewLookInOverTheOldInTimeDivTwelveStepsAndHandsOver) {
  struct Case {
    uint16_t time;
    uint8_t blend;
    std::vector<BYTE> alphas;  // the first push, then one per frame k = 0 .. N: min(blend, (k + 1) * blend / N)
  };
  const Case cases[] = {
      {120, 255, {0, 26, 51, 76, 102, 128, 153, 178, 204, 230, 255, 255}},
      {48, 200, {0, 50, 100, 150, 200, 200}},  // a translucent form ends at its own opacity
      {0, 255, {255}},                    // no frames: the new look at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    TForm form(nullptr);
    FakeProvider provider(&form);
    Prepare(form, provider);
    std::vector<TColor> formSeen, animSeen;
    rec->onPush = [&](TBitmap& b) {
      formSeen.push_back(SurfacePixel(form.Handle(), 5, 5));
      animSeen.push_back(TColor(SwapRedBlue(GetPixel32(&b, 5, 5)) & 0xFFFFFF));
    };
    const uint64_t start = rec->Now();

    AnimChangeSkin(&form, c.time, c.blend, false);

    EXPECT_EQ(rec->Now() - start, c.time / 12 ? (c.time / 12 + 1) * kAnimStep : 0u);
    HWND anim = nullptr;
    for (const auto& p : rec->pushes)
      if (p.wnd != form.Handle()) anim = p.wnd;
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(AlphasOf(anim), c.alphas);
    // Every frame shows the new look over the old one still on the form.
    for (TColor seen : formSeen) EXPECT_EQ(seen, clRed);
    for (TColor seen : animSeen) EXPECT_EQ(seen, clLime);
    // The last picture is exactly the form as it now draws itself.
    TBitmap printed(120, 90);
    form.PaintTo(printed.Canvas()->Handle(), 0, 0);
    int differing = 0;
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 120; ++x)
        differing += (GetPixel32(&rec->last, x, y) & 0xFFFFFF) != (GetPixel32(&printed, x, y) & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    // Handed over: the form drawn in its new look, the window gone, nothing marked.
    EXPECT_EQ(SurfacePixel(form.Handle(), 5, 5), clLime);
    EXPECT_FALSE(IsWindow(anim));
    EXPECT_EQ(SkinChangeWindow, nullptr);
    EXPECT_FALSE(FormAnimating);
    rec->onPush = nullptr;
    form.WindowProc = old;
  }
}

TEST_F(SkinChangeAnimTest, HiddenOrImagelessFormsAreNotAnimated) {
  TForm form(nullptr);
  FakeProvider provider(&form);
  Prepare(form, provider);
  form.Hide();
  FormAnimating = true;  // a hidden form leaves the flag as it was
  AnimChangeSkin(&form, 120, 255, false);
  EXPECT_TRUE(FormAnimating);
  FormAnimating = false;
  EXPECT_TRUE(rec->pushes.empty());

  form.Show();
  provider.withImage = false;
  rec->pushes.clear();
  FormAnimating = true;
  AnimChangeSkin(&form, 120, 255, false);
  EXPECT_FALSE(FormAnimating);
  for (const auto& p : rec->pushes) EXPECT_EQ(p.wnd, form.Handle());
  form.WindowProc = old;
}
