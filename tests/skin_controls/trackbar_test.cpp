// The track-bar handler on raw track-bar windows: body, channel, ticks and
// thumb from the skin's masks, the thumb turned toward ticks on top, the
// pressed thumb, bars that report fewer than two ticks, and the window given
// back intact.

#include <gtest/gtest.h>

#include "platform/win/CommCtrl.h"
#include "skin/controls/acTrackWnd.h"
#include "tests/skin_controls/BarSkin.h"

namespace {

// A bar 120 x 29 at (10, 10): its thumb is 11 x 21, its channel runs from x 6 to 114 around y 12.
class TrackBarHandlerTest : public WindowTest {
 protected:
  HWND Bar(TForm& form, DWORD style) {
    ShowForm(form);
    HWND w = CreateWindowExW(0, TRACKBAR_CLASSW, "", WS_CHILD | WS_VISIBLE | style, 10, 10, 120, 29, form.Handle(),
                             nullptr, nullptr, nullptr);
    SendMessageW(w, TBM_SETTICFREQ, 25, 0);
    return w;
  }
  TacHandlerPtr<TacTrackWnd> Skin(HWND w) {
    TacSkinParams p;
    p.SkinSection = "TRACKBAR";
    auto h = CreateWndHandler<TacTrackWnd>(w, nullptr, &k.s, p, false);
    Repaint(w);
    return h;
  }
  BarSkin k;
};

// Answers TBM_GETNUMTICS with a count of its own, as a foreign bar may.
int gTicks = 0;
WNDPROC gBarProc = nullptr;
LRESULT FewTicks(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == TBM_GETNUMTICS) return gTicks;
  return CallWindowProcW(gBarProc, w, m, wp, lp);
}

}  // namespace

TEST_F(TrackBarHandlerTest, PaintsBodyChannelTicksAndThumbFromTheSkin) {
  TForm form(nullptr);
  HWND w = Bar(form, TBS_AUTOTICKS);
  const WNDPROC proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC));
  const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
  auto h = Skin(w);
  EXPECT_EQ(h->ThumbRect(), TRect(3, 2, 14, 23));
  EXPECT_EQ(h->ChannelRect(), TRect(6, 10, 114, 14));

  EXPECT_EQ(At(w, 60, 1), COLORREF(kTrack));
  EXPECT_EQ(At(w, 60, 11), COLORREF(kChannel));
  // The channel keeps the mask's thickness: one row less than the mask, centred.
  EXPECT_EQ(At(w, 60, 13), COLORREF(kTrack));
  // The thumb at position 0, its tip up (ticks below).
  EXPECT_EQ(At(w, 8, 3), COLORREF(kThumbTip));
  EXPECT_EQ(At(w, 8, 20), COLORREF(kThumb));
  // Five automatic ticks from the thumb's half length after the channel start, each ending at its place.
  for (int x : {11, 35, 60, 84, 108}) EXPECT_EQ(At(w, x - 1, 25), COLORREF(kTick)) << x;
  for (int x : {20, 47, 72, 96}) EXPECT_EQ(At(w, x, 25), COLORREF(kTrack)) << x;
  EXPECT_DOUBLE_EQ(h->iStep, 24.25);

  // Pressed: the body's and thumb's second look.
  const POINT p = buttonskin::Screen(w, 8, 12);
  InjectMouseMove(p.x, p.y);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  Application->ProcessMessages();
  EXPECT_EQ(At(w, 8, 20), COLORREF(kThumbPressed));
  EXPECT_EQ(At(w, 60, 1), COLORREF(kTrackHot));
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  Application->ProcessMessages();
  EXPECT_EQ(At(w, 8, 20), COLORREF(kThumb));

  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);
  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)), proc);
  EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), style);
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  DestroyWindow(w);
}

TEST_F(TrackBarHandlerTest, ThumbTurnsTowardTicksOnTop) {
  TForm form(nullptr);
  HWND w = Bar(form, TBS_AUTOTICKS | TBS_TOP);
  auto h = Skin(w);
  const TRect t = h->ThumbRect();
  ASSERT_EQ(t.Height(), kThumbH);
  EXPECT_EQ(At(w, t.Left + 5, t.Top + 1), COLORREF(kThumb));
  EXPECT_EQ(At(w, t.Left + 5, t.Bottom - 2), COLORREF(kThumbTip));
  // Ticks above the channel.
  const TRect c = h->ChannelRect();
  EXPECT_EQ(At(w, 10, c.Top - ((t.Height() - c.Height()) / 2 + 2) - 2), COLORREF(kTick));
  h.reset();
  DestroyWindow(w);
}

TEST_F(TrackBarHandlerTest, BarsReportingFewerThanTwoTicksDrawAtMostOneAtTheStart) {
  struct Case {
    int ticks;
    std::vector<int> drawn;  // tick places along the bar
  };
  const Case cases[] = {{0, {}}, {1, {11}}, {2, {11, 108}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ticks);
    TForm form(nullptr);
    HWND w = Bar(form, TBS_AUTOTICKS);
    gTicks = c.ticks;
    gBarProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(&FewTicks)));
    auto h = Skin(w);
    EXPECT_EQ(h->TicksArray().size(), c.drawn.size());
    for (int x = 0; x < 120; ++x) {
      const bool tick = std::find(c.drawn.begin(), c.drawn.end(), x + 1) != c.drawn.end();
      EXPECT_EQ(At(w, x, 25) == COLORREF(kTick), tick) << x;
    }
    h.reset();
    SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(gBarProc));
    DestroyWindow(w);
  }
}
