// Animations of a skinned form on the headless layer's virtual clock: the
// picture that flies away on minimising and back on restoring, the form's
// translucency while dragged, and the skin change played through the manager.

#include <gtest/gtest.h>

#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acGlow.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sMessages.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

// Records each push into a layered window: its opacity and where the window stands.
class PushSpy : public THeadlessBackend {
 public:
  struct Push {
    HWND wnd;
    BYTE alpha;
    RECT at;
    uint64_t time;
  };
  void ShapeChanged(HWND wnd) override {
    THeadlessBackend::ShapeChanged(wnd);
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(wnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return;
    RECT r{};
    GetWindowRect(wnd, &r);
    pushes.push_back(Push{wnd, alpha, r, Now()});
  }
  std::vector<Push> pushes;
};

class FormAnimTest : public FormSkinTest {
 protected:
  PushSpy* spy = nullptr;
  void SetUp() override {
    WindowTest::SetUp();
    auto b = std::make_unique<PushSpy>();
    spy = b.get();
    SetWindowBackend(std::move(b));
    FormSkinTest::SetUpSkin();
  }
  void Run(int Ms) {
    for (int i = 0; i < Ms; ++i) {
      spy->AdvanceClock(1);
      Application->ProcessMessages();
    }
  }
  // The pictures a window showed, a repeat of the same opacity at the same place counted once.
  std::vector<PushSpy::Push> PushesOf(HWND w) const {
    std::vector<PushSpy::Push> out;
    for (const auto& p : spy->pushes) {
      if (p.wnd != w) continue;
      if (!out.empty() && out.back().alpha == p.alpha && EqualRect(&out.back().at, &p.at)) continue;
      out.push_back(p);
    }
    return out;
  }
  std::vector<BYTE> AlphasOf(HWND w) const {
    std::vector<BYTE> out;
    for (const auto& p : spy->pushes)
      if (p.wnd == w) out.push_back(p.alpha);
    return out;
  }
  // Layered windows other than the form that got pictures.
  HWND AnimWindow(HWND form) const {
    HWND anim = nullptr;
    for (const auto& p : spy->pushes)
      if (p.wnd != form) anim = p.wnd;
    return anim;
  }
  static bool Layered(HWND w) { return GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_LAYERED; }
};

}  // namespace

TEST_F(FormAnimTest, MinimisedPictureFliesToTheCornerAndBackThenTheFormIsShown) {
  TForm form(nullptr);
  Show(form, bsSizeable, 300, 200);
  auto* sp = new TsSkinProvider(&form);
  sp->PaintAll();
  manager->AnimEffects.Minimizing.Time = 60;  // 5 steps: alpha falls by 255 / 4
  HWND fw = form.Handle();
  spy->pushes.clear();

  SendMessageW(fw, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(sp->FormState() & FS_ANIMMINIMIZING);
  EXPECT_TRUE(Layered(fw));
  Run(6 * kAnimStep);
  auto* timer = dynamic_cast<TacMinTimer*>(sp->FormTimer);
  ASSERT_NE(timer, nullptr);
  HWND anim = AnimWindow(fw);
  ASSERT_NE(anim, nullptr);
  // The cover's first picture, then a shrinking picture per step heading for (0, 0), then the empty last push.
  const auto flying = PushesOf(anim);
  std::vector<BYTE> alphas;
  for (const auto& p : flying) alphas.push_back(p.alpha);
  EXPECT_EQ(alphas, (std::vector<BYTE>{255, 191, 128, 64, 0}));
  for (size_t i = 2; i + 1 < flying.size(); ++i) {
    EXPECT_LT(flying[i].at.left, flying[i - 1].at.left);
    EXPECT_LT(flying[i].at.top, flying[i - 1].at.top);
  }
  EXPECT_TRUE(timer->Minimized);
  EXPECT_FALSE(timer->Enabled());
  EXPECT_FALSE(sp->FormState() & FS_ANIMMINIMIZING);
  EXPECT_FALSE(sp->fAnimating);
  EXPECT_FALSE(IsWindowVisible(anim));
  EXPECT_TRUE(IsIconic(fw));
  EXPECT_FALSE(Layered(fw));

  // Restoring: the form comes back invisible while the picture grows back to its place.
  spy->pushes.clear();
  SendMessageW(fw, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(sp->FormState() & FS_ANIMRESTORING);
  EXPECT_TRUE(Layered(fw));
  Run(6 * kAnimStep);
  const auto back = PushesOf(anim);
  ASSERT_GE(back.size(), 4u);
  for (size_t i = 1; i + 1 < back.size(); ++i) {
    EXPECT_GT(back[i].alpha, back[i - 1].alpha);
    EXPECT_GE(back[i].at.left, back[i - 1].at.left);  // the first step back shows where the picture was last seen
  }
  EXPECT_LT(back.front().at.left, back[back.size() - 2].at.left);
  // The last picture is the form's own at its place and full opacity; then the form shows, opaque.
  EXPECT_EQ(back.back().alpha, 255);
  EXPECT_EQ(back.back().at.left, 100);
  EXPECT_EQ(back.back().at.top, 100);
  EXPECT_FALSE(sp->FormState() & FS_ANIMRESTORING);
  EXPECT_FALSE(timer->Minimized);
  EXPECT_FALSE(IsIconic(fw));
  EXPECT_TRUE(IsWindowVisible(fw));
  EXPECT_FALSE(Layered(fw));
  EXPECT_FALSE(IsWindow(anim));
}

TEST_F(FormAnimTest, MinimisingIsLeftToTheSystemWhenTheManagerSaysNo) {
  TForm form(nullptr);
  Show(form);
  auto* sp = new TsSkinProvider(&form);
  manager->AnimEffects.Minimizing.Active = false;
  EXPECT_FALSE(StartMinimizing(sp));
  EXPECT_EQ(sp->FormTimer, nullptr);
  EXPECT_FALSE(Layered(form.Handle()));
  EXPECT_TRUE(StartRestoring(sp));  // nothing to fly back
  EXPECT_FALSE(sp->FormState() & FS_ANIMRESTORING);
}

TEST_F(FormAnimTest, DraggedFormTurnsTranslucentAndOpaqueAgainAfter) {
  TForm form(nullptr);
  Show(form);
  auto* sp = new TsSkinProvider(&form);
  sp->PaintAll();
  HWND fw = form.Handle();
  manager->AnimEffects.BlendOnMoving.Active = true;
  manager->AnimEffects.BlendOnMoving.Time = 120;
  manager->AnimEffects.BlendOnMoving.BlendValue = 155;  // steps of 10
  std::vector<int> moveAlpha;
  // Skin commands reach the provider through its skin record.
  TWndMethod old = sp->SkinData()->WndProc;
  sp->SkinData()->WndProc = [&](TMessage& m) {
    if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_MOVEALPHA) moveAlpha.push_back(int(m.LParam));
    old(m);
  };
  spy->pushes.clear();

  StartFormBlendOnMoving(sp, false);
  EXPECT_TRUE(sp->FormState() & FS_BLENDMOVING);
  ASSERT_NE(dynamic_cast<TacMoveTimer*>(sp->FormTimer), nullptr);
  Run(13 * kAnimStep);
  std::vector<int> want;
  for (int a = 255; a >= 155; a -= 10) want.push_back(a);
  want.push_back(155);
  want.push_back(155);
  EXPECT_EQ(moveAlpha, want);  // down by 10 a tick and then stays
  BYTE alpha = 0;
  GetLayeredWindowAttributes(fw, nullptr, &alpha, nullptr);
  EXPECT_EQ(alpha, 155);

  moveAlpha.clear();
  EndBlendOnMoving(sp, nullptr);
  EXPECT_EQ(moveAlpha, std::vector<int>{255});
  EXPECT_FALSE(Layered(fw));
  EXPECT_FALSE(sp->FormState() & FS_BLENDMOVING);
  EXPECT_EQ(sp->FormTimer, nullptr);
  EXPECT_TRUE(IsWindowVisible(fw));
  sp->SkinData()->WndProc = old;
}

TEST_F(FormAnimTest, SkinChangeCrossFadesEveryShownSkinnedForm) {
  TForm form(nullptr);
  Show(form, bsSizeable, 300, 200);
  auto* sp = new TsSkinProvider(&form);
  sp->PaintAll();
  sp->ProcessMessage(WM_NCPAINT);
  manager->AnimEffects.SkinChanging.Active = true;
  manager->AnimEffects.SkinChanging.Time = 96;  // 8 steps: 9 frames
  spy->pushes.clear();
  const uint64_t start = spy->Now();

  manager->UpdateSkin(true);

  HWND anim = AnimWindow(form.Handle());
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(AlphasOf(anim), (std::vector<BYTE>{0, 32, 64, 96, 128, 159, 191, 223, 255, 255}));
  EXPECT_GE(spy->Now() - start, 9u * kAnimStep);
  EXPECT_FALSE(IsWindow(anim));
  EXPECT_FALSE(FormAnimating);
  // The form shows its frame again, drawn from its painted image.
  EXPECT_EQ(At(form, 150, 1), ImageAt(*sp, 150, 1));
}

TEST_F(FormAnimTest, TitleButtonFadesInOverTheFrameAndOutAgain) {
  TForm form(nullptr);
  Show(form, bsSizeable, 300, 200);
  auto* sp = new TsSkinProvider(&form);
  sp->PaintAll();
  sp->ProcessMessage(WM_NCPAINT);
  TsCaptionButton& close = sp->ButtonClose;
  RECT wr;
  GetWindowRect(form.Handle(), &wr);
  SetCursorPos(wr.left + close.cpRect.Left + 2, wr.top + close.cpRect.Top + 2);  // over the button
  spy->pushes.clear();

  close.cpState = 1;
  sp->RepaintButton(HTCLOSE);
  auto* fade = dynamic_cast<TacSBAnimation*>(close.cpTimer);
  ASSERT_NE(fade, nullptr);
  ASSERT_NE(fade->AForm, nullptr);
  HWND picture = fade->AForm->Handle();
  Run(12 * kAnimStep);
  // The hot picture sits on the button, above the form, and the frame under it keeps the normal look.
  RECT pr;
  GetWindowRect(picture, &pr);
  EXPECT_EQ(pr.left, wr.left + close.cpRect.Left);
  EXPECT_EQ(pr.top, wr.top + close.cpRect.Top);
  EXPECT_EQ(GetWindow(picture, GW_HWNDNEXT), form.Handle());
  const COLORREF hot = ColorToRGB(GlyphColor(0, 1));  // premultiplied: each channel x 255 >> 8
  EXPECT_EQ(SurfacePixel(picture, 1, 1),
            RGB(GetRValue(hot) * 255 >> 8, GetGValue(hot) * 255 >> 8, GetBValue(hot) * 255 >> 8));
  EXPECT_EQ(At(form, close.cpRect.Left + 1, close.cpRect.Top + 1), ColorToRGB(GlyphColor(0, 0)));
  EXPECT_TRUE(fade->Enabled());  // shown in full, it watches the mouse

  close.cpState = 0;
  sp->RepaintButton(HTCLOSE);
  Run(12 * kAnimStep);
  // Steps of 25 up to 225, then the full picture; back down from 250 to 25, then the window goes.
  std::vector<BYTE> seen;
  for (BYTE a : AlphasOf(picture))
    if (seen.empty() || seen.back() != a) seen.push_back(a);
  EXPECT_EQ(seen, (std::vector<BYTE>{25, 50, 75, 100, 125, 150, 175, 200, 225, 255, 250, 225, 200, 175, 150, 125,
                                     100, 75, 50, 25}));
  EXPECT_FALSE(IsWindow(picture));
  EXPECT_EQ(fade->CurrentState, -1);
  EXPECT_FALSE(fade->Enabled());

  // Without animation a hover shows the picture at once, with no timer running.
  sp->KillAnimations();
  EffectsAllowAnimation = false;
  manager->Effects.AllowAnimation = false;
  spy->pushes.clear();
  close.cpState = 1;
  sp->RepaintButton(HTCLOSE);
  fade = dynamic_cast<TacSBAnimation*>(close.cpTimer);
  ASSERT_NE(fade, nullptr);
  EXPECT_EQ(AlphasOf(fade->AForm->Handle()).back(), 255);
  EXPECT_FALSE(fade->Enabled());
  EffectsAllowAnimation = true;
}
