// Skinned non-client scroll bars on a memo: the room they take, what they
// paint from the skin's scroll sections, and the mouse on the virtual clock
// (arrow repeat, thumb drag to the last valid position).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/StdCtrls.h"
#include "platform/win/Controls.h"
#include "skin/controls/acSBUtils.h"
#include "tests/skin_controls/ScrollSkin.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

// The window messages the memo's WM_VSCROLL traffic leaves in a log.
struct ScrollLog {
  std::vector<std::pair<int, int>> msgs;  // code, position
  TWndMethod old;
  TControl* ctrl;
  explicit ScrollLog(TControl* c) : ctrl(c) {
    old = c->WindowProc;
    c->WindowProc = [this](TMessage& m) {
      if (m.Msg == WM_VSCROLL) msgs.emplace_back(int(m.WParam & 0xFFFF), int(m.WParam >> 16));
      old(m);
    };
  }
  ~ScrollLog() { ctrl->WindowProc = old; }
  int Count(int code) const {
    int n = 0;
    for (auto& m : msgs) n += m.first == code;
    return n;
  }
};

class SkinnedScrollBarTest : public SkinnedScrollsTest {
 protected:
  // A memo of 100 lines with a vertical bar on a shown form.
  TMemo* Memo(TForm& form) {
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(20, 20, 160, 140);
    memo->SetScrollBars(ssVertical);
    for (int i = 0; i < 100; ++i) memo->Lines()->Add("line " + std::to_string(i));
    ShowForm(form);
    SendMessageW(memo->Handle(), WM_VSCROLL, SB_TOP, 0);
    return memo;
  }
  static SCROLLINFO Info(HWND w) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(w, SB_VERT, &si);
    return si;
  }
  TacHandlerPtr<TacScrollWnd> Skin(TMemo* memo, ScrollSkin& k) {
    TacSkinParams p;
    p.Control = memo;
    p.SkinSection = "EDIT";
    return CreateWndHandler<TacScrollWnd>(memo->Handle(), nullptr, &k.s, p, true);
  }
  // A window pixel of the memo, in its own window coordinates.
  COLORREF At(TMemo* memo, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(memo->Handle());
    return SurfacePixel(memo->Handle(), o.x + x, o.y + y);
  }
  static COLORREF Rgb(TColor c) { return COLORREF(c); }
  void Advance(int ms) {
    for (int t = 0; t < ms; t += 5) {
      Headless().AdvanceClock(5);
      Application->ProcessMessages();
    }
  }
};

}  // namespace

// A control takes the scroll width of the manager that skins it; skin
// records that are no manager, or none, fall back to the default manager, and
// without any manager the system's width applies.
TEST_F(SkinnedScrollBarTest, ScrollWidthComesFromTheSkinningManager) {
  ScrollSkin k;
  TsSkinManager other(nullptr);
  other.ScrollsOptions.SetScrollSize(9);
  ASSERT_EQ(DefaultSkinManager(), manager.get());
  const struct {
    const TacSkinRecords* skinnedBy;
    int width;
  } cases[] = {{&other, 9}, {manager.get(), kSkinWidth}, {&k.s, kSkinWidth}, {nullptr, kSkinWidth}};
  for (const auto& c : cases) EXPECT_EQ(GetScrollWidth(c.skinnedBy), c.width);
  manager.reset();
  EXPECT_EQ(DefaultSkinManager(), nullptr);
  EXPECT_EQ(GetScrollWidth(&k.s), GetSystemMetrics(SM_CXVSCROLL));
}

TEST_F(SkinnedScrollBarTest, BarTakesTheSkinsWidthAndPaintsItsSections) {
  ScrollSkin k;
  TForm form(nullptr);
  TMemo* memo = Memo(form);
  RECT before{};
  GetClientRect(memo->Handle(), &before);
  const int frame = 160 - (before.right - before.left) - GetSystemMetrics(SM_CXVSCROLL);
  const LONG_PTR style = GetWindowLongPtrW(memo->Handle(), GWL_STYLE);
  const SCROLLINFO state = Info(memo->Handle());

  auto h = Skin(memo, k);
  EXPECT_EQ(GetScrollWnd(memo->Handle()), h.get());
  RECT c{};
  GetClientRect(memo->Handle(), &c);
  // The skin's edit has no border of its own: its client takes the frame's edge too.
  EXPECT_EQ(c.right - c.left, 160 - kSkinWidth);
  EXPECT_GT(frame, 0);
  EXPECT_TRUE(h->sBarVert->fScrollVisible);
  EXPECT_FALSE(h->sBarHorz->fScrollVisible);

  RedrawWindow(memo->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  RECT wr{};
  GetWindowRect(memo->Handle(), &wr);
  const TRect v = MovedRect(GetVScrollRect(h.get(), memo->Handle()), -wr.left, -wr.top);
  ASSERT_EQ(v.Width(), kSkinWidth);
  const int x = v.Left + 1;  // off the arrow glyphs in the middle
  int thumbLen = 0, thumbStart = 0;
  GetThumbMetrics(h->sBarVert.get(), v, thumbLen, thumbStart);
  struct Probe {
    const char* what;
    int y;
    TColor want;
  } probes[] = {
      {"up arrow", v.Top + 1, kArrowUp},
      {"thumb", thumbStart + thumbLen / 2, kThumb},
      {"track after the thumb", (thumbStart + thumbLen + v.Bottom - kSkinWidth) / 2, kTrackAfter},
      {"down arrow", v.Bottom - 2, kArrowDown},
  };
  for (const Probe& p : probes) EXPECT_EQ(At(memo, x, p.y), Rgb(p.want)) << p.what;

  // Scrolled to the middle, the track before the thumb shows its own section.
  SendMessageW(memo->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(memo->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(memo->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  UpdateScrolls(h.get(), true);
  GetThumbMetrics(h->sBarVert.get(), v, thumbLen, thumbStart);
  EXPECT_EQ(At(memo, x, (v.Top + kSkinWidth + thumbStart) / 2), Rgb(kTrackBefore));

  // Given back: the system's bar and client width again.
  ReleaseWndHandler(memo->Handle(), true, true, h);
  GetClientRect(memo->Handle(), &c);
  EXPECT_EQ(c.right - c.left, before.right - before.left);
  EXPECT_EQ(GetScrollWnd(memo->Handle()), nullptr);
  EXPECT_EQ(GetPropW(memo->Handle(), kSkinDataProp), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(memo->Handle(), GWL_STYLE), style);
  const SCROLLINFO after = Info(memo->Handle());
  EXPECT_EQ(after.nMax, state.nMax);
  EXPECT_EQ(after.nPage, state.nPage);
}

TEST_F(SkinnedScrollBarTest, ArrowRepeatsAfterTheDelayAndStopsOffTheArrow) {
  ScrollSkin k;
  TForm form(nullptr);
  TMemo* memo = Memo(form);
  ScrollLog log(memo);  // behind the handler, as the memo's own code
  auto h = Skin(memo, k);
  const TRect v = GetVScrollRect(h.get(), memo->Handle());
  const int x = v.Left + kSkinWidth / 2, y = v.Bottom - 3;  // the down arrow

  InjectMouseMove(x, y);
  InjectMouseButton(TMouseButton::Left, true, x, y);
  Application->ProcessMessages();
  EXPECT_EQ(log.Count(SB_LINEDOWN), 1);  // at once
  Advance(295);
  EXPECT_EQ(log.Count(SB_LINEDOWN), 1);  // nothing during the delay
  Advance(5 + 55 * 3);
  EXPECT_EQ(log.Count(SB_LINEDOWN), 4);  // then every 55 ms

  // Off the arrow the repeats stop; back on it they go on.
  InjectMouseMove(x, v.Top + v.Height() / 2);
  Advance(110);
  EXPECT_EQ(log.Count(SB_LINEDOWN), 4);
  InjectMouseMove(x, y);
  Advance(55);
  EXPECT_GE(log.Count(SB_LINEDOWN), 5);

  InjectMouseButton(TMouseButton::Left, false, x, y);
  Application->ProcessMessages();
  EXPECT_EQ(log.Count(SB_ENDSCROLL), 1);
  const int n = log.Count(SB_LINEDOWN);
  Advance(200);
  EXPECT_EQ(log.Count(SB_LINEDOWN), n);
}

TEST_F(SkinnedScrollBarTest, ThumbDragStopsAtTheLastValidPosition) {
  ScrollSkin k;
  TForm form(nullptr);
  TMemo* memo = Memo(form);
  ScrollLog log(memo);  // behind the handler, as the memo's own code
  auto h = Skin(memo, k);
  const TRect v = GetVScrollRect(h.get(), memo->Handle());
  int len = 0, start = 0;
  h->sBarVert->ScrollInfo.fMask = SIF_ALL;
  GetScrollInfo(memo->Handle(), SB_VERT, &h->sBarVert->ScrollInfo);
  GetThumbMetrics(h->sBarVert.get(), v, len, start);
  const int x = v.Left + kSkinWidth / 2, y = start + len / 2;

  InjectMouseMove(x, y);
  InjectMouseButton(TMouseButton::Left, true, x, y);
  Application->ProcessMessages();
  ASSERT_TRUE(h->fThumbTracking);
  int last = -1;
  for (int to : {y + 20, v.Bottom + 40}) {  // beyond the end of the bar
    InjectMouseMove(x, to);
    Application->ProcessMessages();
    ASSERT_FALSE(log.msgs.empty());
    last = log.msgs.back().second;
    EXPECT_EQ(log.msgs.back().first, SB_THUMBTRACK);
  }
  const SCROLLINFO si = Info(memo->Handle());
  const int lastValid = si.nMax - (int(si.nPage) - 1);  // never one past
  EXPECT_EQ(last, lastValid);
  InjectMouseButton(TMouseButton::Left, false, x, v.Bottom + 40);
  Application->ProcessMessages();
  EXPECT_EQ(log.Count(SB_THUMBPOSITION), 1);
  EXPECT_EQ(log.msgs[log.msgs.size() - 2].second, lastValid);
  EXPECT_EQ(GetScrollPos(memo->Handle(), SB_VERT), lastValid);
  EXPECT_FALSE(h->fThumbTracking);

  // Back to the top: the first position.
  GetScrollInfo(memo->Handle(), SB_VERT, &h->sBarVert->ScrollInfo);
  GetThumbMetrics(h->sBarVert.get(), v, len, start);
  InjectMouseMove(x, start + len / 2);
  InjectMouseButton(TMouseButton::Left, true, x, start + len / 2);
  Application->ProcessMessages();
  ASSERT_TRUE(h->fThumbTracking);
  InjectMouseMove(x, v.Top - 40);
  Application->ProcessMessages();
  EXPECT_EQ(log.msgs.back().second, 0);
  InjectMouseButton(TMouseButton::Left, false, x, v.Top - 40);
  Application->ProcessMessages();
}
