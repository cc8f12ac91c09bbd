// The scroll-bar control handler on a framework scroll bar: taken over and
// given back, its parts painted from the skin, the drawn thumb during a drag
// and the caller's redraw holds kept across a scroll-state change.

#include <gtest/gtest.h>

#include "platform/vcl/RangeControls.h"
#include "skin/controls/acSBUtils.h"
#include "skin/controls/acSBWnd.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_controls/ScrollSkin.h"

namespace {

class ScrollBarHandlerTest : public SkinnedScrollsTest {
 protected:
  // A vertical bar 16 x 160 over 0..100 with a page of 10.
  TScrollBar* Bar(TForm& form) {
    auto* b = new TScrollBar(&form);
    b->SetParent(&form);
    b->SetKind(sbVertical);
    b->SetBounds(30, 20, 16, 160);
    b->SetPageSize(10);
    b->SetParams(0, 0, 100);
    b->SetTabStop(true);
    ShowForm(form);
    return b;
  }
  TacHandlerPtr<TacSBWnd> Skin(TScrollBar* b, ScrollSkin& k) {
    TacSkinParams p;
    p.Control = b;
    return CreateWndHandler<TacSBWnd>(b->Handle(), nullptr, &k.s, p, false);
  }
  static COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
};

}  // namespace

TEST_F(ScrollBarHandlerTest, PartsPaintFromTheSkinAndTheControlComesBack) {
  ScrollSkin k;
  TForm form(nullptr);
  TScrollBar* b = Bar(form);
  HWND w = b->Handle();
  auto h = Skin(b, k);
  EXPECT_FALSE(b->TabStop());

  struct Case {
    const char* what;
    int pos;
    UINT page;
  } cases[] = {{"first position", 0, 10}, {"last position", 91, 10}, {"no page", 50, 0}};
  for (const Case& c : cases) {
    b->SetPageSize(int(c.page));
    b->SetPosition(c.pos);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const TRect t = h->SliderRect();
    EXPECT_EQ(t.Height(), c.page == 0 ? 16 : std::max(16, (160 - 2 * kSkinWidth) * 10 / 101 + 0)) << c.what;
    EXPECT_EQ(At(w, 3, 2), COLORREF(kArrowUp)) << c.what;
    EXPECT_EQ(At(w, 3, 157), COLORREF(kArrowDown)) << c.what;
    EXPECT_EQ(At(w, 3, t.Top + t.Height() / 2), COLORREF(kThumb)) << c.what;
    if (c.pos == 91) {
      EXPECT_EQ(t.Bottom, 160 - kSkinWidth) << "flush against the second button";
      EXPECT_EQ(At(w, 3, 60), COLORREF(kTrackBefore));
    } else if (c.pos == 0) {
      EXPECT_EQ(t.Top, kSkinWidth);
      EXPECT_EQ(At(w, 3, 120), COLORREF(kTrackAfter));
    }
  }

  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_TRUE(b->TabStop());
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  b->SetPosition(0);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_NE(At(w, 3, 2), COLORREF(kArrowUp));  // the control draws itself again
}

TEST_F(ScrollBarHandlerTest, DragAndRedrawHoldsAreKept) {
  ScrollSkin k;
  TForm form(nullptr);
  TScrollBar* b = Bar(form);
  HWND w = b->Handle();
  auto h = Skin(b, k);

  // A scroll-state change while the thumb is dragged leaves the drawn thumb where the mouse holds it.
  b->SetPosition(20);
  EXPECT_EQ(h->FCurrPos, 20);
  h->ScrollCode = 5;
  b->SetPosition(40);
  EXPECT_EQ(h->FCurrPos, 20);
  h->ScrollCode = 8;
  b->SetPosition(41);
  EXPECT_EQ(h->FCurrPos, 41);

  // The owner's two holds stand after the change the handler drew through.
  SendMessageW(w, WM_SETREDRAW, 0, 0);
  SendMessageW(w, WM_SETREDRAW, 0, 0);
  EXPECT_EQ(h->FLockCount, 2);
  b->SetPosition(60);
  EXPECT_EQ(h->FLockCount, 2);
  EXPECT_EQ(h->FCurrPos, 60);
  SendMessageW(w, WM_SETREDRAW, 1, 0);
  SendMessageW(w, WM_SETREDRAW, 1, 0);
  EXPECT_EQ(h->FLockCount, 0);

  // Pressing a part shows it pressed, the others normal; releasing off it leaves nothing pressed.
  h->SetPartState(TacSBWnd::ptBtn2, 2);
  EXPECT_EQ(h->FBtn2State, 2);
  EXPECT_EQ(h->FBar1State, 1);
  EXPECT_EQ(h->FSliderState, 0);
  SendMessageW(w, WM_LBUTTONUP, 0, LPARAM((80 << 16) | 3));
  EXPECT_EQ(h->FBtn2State, 0);
}
