// The status-bar handler on the framework's status bar: the bar's section,
// each panel's frame or the dividers between panels, texts kept inside their
// panels, the size grip, the simple mode, and the bar given back.

#include <gtest/gtest.h>

#include "platform/vcl/ComCtrls.h"
#include "platform/win/CommCtrl.h"
#include "skin/controls/acStatusBarWnd.h"
#include "tests/skin_controls/BarSkin.h"

namespace {

class StatusBarHandlerTest : public WindowTest {
 protected:
  // A bar of three panels 80, 120 and the rest wide along the bottom of a 400 x 300 form.
  TStatusBar* Bar(TForm& form) {
    auto* bar = new TStatusBar(&form);
    bar->SetParent(&form);
    bar->SetHeight(22);
    for (int w : {80, 120, 100}) bar->Panels()->Add()->SetWidth(w);
    bar->Panels()->Items(0)->SetText("Ready");
    bar->Panels()->Items(1)->SetText("A text much wider than the panel that shows it, cut at its end");
    ShowForm(form);
    return bar;
  }
  TacHandlerPtr<TacStatusBarWnd> Skin(TStatusBar* bar) {
    TacSkinParams p;
    p.Control = bar;
    auto h = CreateWndHandler<TacStatusBarWnd>(bar->Handle(), nullptr, &k.s, p, false);
    Repaint(bar->Handle());
    return h;
  }
  static TRect Part(HWND w, int i) {
    RECT r{};
    SendMessageW(w, SB_GETRECT, WPARAM(i), LPARAM(&r));
    return TRect(r.left, r.top, r.right, r.bottom);
  }
  static bool Shows(HWND w, const TRect& r, TColor c) { return Shot(w).Shows(r, c); }
  BarSkin k;
};

}  // namespace

TEST_F(StatusBarHandlerTest, PanelsAreFramedTextsStayInsideAndTheGripSitsInTheCorner) {
  TForm form(nullptr);
  TStatusBar* bar = Bar(form);
  HWND w = bar->Handle();
  auto h = Skin(bar);
  EXPECT_EQ(h->SkinData->SkinSection(), "STATUSBAR");
  EXPECT_EQ(h->StatusBar, bar);
  ASSERT_EQ(h->PartsCount(), 3);
  const int H = bar->Height();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const TRect p = Part(w, i);
    // The panel's rectangle less one pixel a side carries the frame.
    EXPECT_EQ(At(w, p.Left + 1, H / 2), COLORREF(kPanelFrame));
    EXPECT_EQ(At(w, p.Left + 5, p.Top + 1), COLORREF(kPanelFrame));
    if (i < 2) {
      EXPECT_EQ(At(w, p.Right - 2, H / 2), COLORREF(kPanelFrame));
    }
  }
  const TRect first = Part(w, 0), second = Part(w, 1);
  EXPECT_TRUE(Shows(w, TRect(first.Left + 2, 2, first.Right - 4, H - 2), kBarText));
  // The long text ends inside its panel.
  EXPECT_TRUE(Shows(w, TRect(second.Left + 2, 2, second.Right - 4, H - 2), kBarText));
  EXPECT_FALSE(Shows(w, TRect(second.Right - 4, 0, second.Right + 6, H), kBarText));
  // The grip in the bottom-right corner, over the last panel.
  EXPECT_EQ(At(w, bar->Width() - 1, H - 1), COLORREF(kGrip));
  EXPECT_EQ(At(w, bar->Width() - 6, H - 6), COLORREF(kGrip));
  EXPECT_EQ(At(w, bar->Width() - 7, H - 7), COLORREF(kStatus));

  // Simple mode: one frame over the whole bar.
  bar->SetSimplePanel(true);
  Repaint(w);
  EXPECT_EQ(At(w, 0, H / 2), COLORREF(kPanelFrame));
  EXPECT_EQ(At(w, first.Right, H / 2), COLORREF(kStatus));

  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);
  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 0);
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  // The bar paints itself again.
  Repaint(w);
  EXPECT_NE(At(w, 40, H / 2), COLORREF(kStatus));
}

TEST_F(StatusBarHandlerTest, WithoutAPanelMaskDividersStandBetweenPanelsButNotAfterTheLast) {
  const int mask = k.s.GetMaskIndex(k.s.GetSkinIndex("STATUSBAR"), "STATUSPANELMASK");
  k.s.ma[size_t(mask)].PropertyName = "UNUSED";
  TForm form(nullptr);
  TStatusBar* bar = Bar(form);
  bar->SetSizeGrip(false);
  HWND w = bar->Handle();
  auto h = Skin(bar);
  const int H = bar->Height();
  for (int i = 0; i < 2; ++i) {
    const TRect p = Part(w, i);
    // Two pixels wide at the right of the panel's rectangle less one pixel a side.
    EXPECT_EQ(At(w, p.Right - 3, H / 2), COLORREF(kDivider)) << i;
    EXPECT_EQ(At(w, p.Right - 4, H / 2), COLORREF(kStatus)) << i;
  }
  EXPECT_FALSE(Shows(w, TRect(Part(w, 2).Left + 1, 0, bar->Width(), H), kDivider));
  h.reset();
}
