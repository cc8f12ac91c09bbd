// The up-down handler on a window of the raw up-down class: taken over and
// given back intact, its buttons painted normal, hot and pressed from the skin.

#include <gtest/gtest.h>

#include "platform/win/CommCtrl.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/core/sSkinIndexes.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

constexpr TColor kNormal = 0x606060, kHot = 0x00C000, kPressed = 0xC00000;

struct SpinSkin {
  TacSkinRecords s;
  SpinSkin() {
    s.CommonSkinData.Active = true;
    const int i = s.AddNewSection("UPDOWNBTN", -1, 3, 0, kNormal, 0);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    g.UseState2 = true;
    g.Props[1].Color = kHot;
    g.Props[2].Color = kPressed;
    InitConstantIndexes(s, false);
  }
};

class SpinHandlerTest : public WindowTest {
 protected:
  HWND Spin(TForm& form, DWORD style = 0) {
    ShowForm(form);
    return CreateWindowExW(0, UPDOWN_CLASSW, "", WS_CHILD | WS_VISIBLE | style, 40, 30, 20, 41, form.Handle(), nullptr,
                           nullptr, nullptr);
  }
  TacHandlerPtr<TacSpinWnd> Skin(HWND spin, SpinSkin& k) {
    TacSkinParams p;
    p.SkinSection = "UPDOWNBTN";
    return CreateWndHandler<TacSpinWnd>(spin, nullptr, &k.s, p, false);
  }
  static COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
  static POINT Screen(HWND w, int x, int y) {
    RECT r{};
    GetWindowRect(w, &r);
    return POINT{r.left + x, r.top + y};
  }
};

}  // namespace

TEST_F(SpinHandlerTest, ButtonsShowNormalHotAndPressed) {
  SpinSkin k;
  TForm form(nullptr);
  HWND spin = Spin(form);
  const WNDPROC proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(spin, GWLP_WNDPROC));
  const LONG_PTR style = GetWindowLongPtrW(spin, GWL_STYLE);
  auto h = Skin(spin, k);
  ASSERT_TRUE(h->IsVertical());
  // An odd height gives the first button the extra row.
  EXPECT_EQ(h->ButtonRect(0), TRect(0, 0, 20, 21));
  EXPECT_EQ(h->ButtonRect(1), TRect(0, 20, 20, 41));

  RedrawWindow(spin, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(At(spin, 1, 2), COLORREF(kNormal));
  EXPECT_EQ(At(spin, 1, 38), COLORREF(kNormal));

  // The left button held over the lower half: lower pressed, upper normal; released: lower hot.
  const POINT lower = Screen(spin, 10, 32);
  InjectMouseMove(lower.x, lower.y);
  InjectMouseButton(TMouseButton::Left, true, lower.x, lower.y);
  Application->ProcessMessages();
  EXPECT_EQ(At(spin, 1, 38), COLORREF(kPressed));
  EXPECT_EQ(At(spin, 1, 2), COLORREF(kNormal));
  InjectMouseButton(TMouseButton::Left, false, lower.x, lower.y);
  Application->ProcessMessages();
  EXPECT_EQ(At(spin, 1, 38), COLORREF(kHot));

  // The control never sees its erase or frame paint while skinned.
  EXPECT_EQ(SendMessageW(spin, WM_ERASEBKGND, 0, 0), 1);

  ReleaseWndHandler(spin, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(spin, GWLP_WNDPROC)), proc);
  EXPECT_EQ(GetWindowLongPtrW(spin, GWL_STYLE), style);
  EXPECT_EQ(GetPropW(spin, kSkinDataProp), nullptr);
  DestroyWindow(spin);
}

TEST_F(SpinHandlerTest, HorizontalSpinSplitsItsWidth) {
  SpinSkin k;
  TForm form(nullptr);
  HWND spin = CreateWindowExW(0, UPDOWN_CLASSW, "", WS_CHILD | WS_VISIBLE | UDS_HORZ, 40, 30, 41, 20,
                              (ShowForm(form), form.Handle()), nullptr, nullptr, nullptr);
  auto h = Skin(spin, k);
  EXPECT_FALSE(h->IsVertical());
  EXPECT_EQ(h->ButtonRect(0), TRect(0, 0, 21, 20));
  EXPECT_EQ(h->ButtonRect(1), TRect(20, 0, 41, 20));
  const POINT right = Screen(spin, 35, 10);
  InjectMouseMove(right.x, right.y);
  Application->ProcessMessages();
  RedrawWindow(spin, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(At(spin, 39, 1), COLORREF(kHot));
  EXPECT_EQ(At(spin, 1, 1), COLORREF(kNormal));
  h.reset();
  DestroyWindow(spin);
}
