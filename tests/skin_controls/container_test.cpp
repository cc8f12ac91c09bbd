// Handlers of containers, scroll boxes, controls that paint their own client
// and static texts: the skinned border and bars around the client, who
// paints the client, and the section a static text takes from its bevels.

#include <gtest/gtest.h>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acContainerWnd.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_controls/ScrollSkin.h"

namespace {

constexpr TColor kPanelLow = 0x406080;

struct BoxSkin : ScrollSkin {
  BoxSkin() {
    const int i = s.AddNewSection("PANEL_LOW", -1, 1, 0, kPanelLow, 0);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    InitConstantIndexes(s, false);
    s.gd[size_t(i)].ScrollBorderOffset = 0;  // the border keeps the frame's width
  }
};

class ContainerHandlerTest : public SkinnedScrollsTest {
 protected:
  COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
  void Repaint(HWND w) {
    RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
  }
  // A scroll box 160 x 120 whose child reaches below it: a vertical bar.
  TScrollBox* Box(TForm& form) {
    auto* box = new TScrollBox(&form);
    box->SetParent(&form);
    box->SetBounds(20, 20, 160, 120);
    auto* inner = new TPanel(&form);
    inner->SetParent(box);
    inner->SetBounds(0, 0, 60, 400);
    ShowForm(form);
    return box;
  }
  static int ClientWidth(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return r.right - r.left;
  }
};

}  // namespace

TEST_F(ContainerHandlerTest, ScrollBoxGetsTheSectionsBorderAndSkinnedBar) {
  BoxSkin k;
  TForm form(nullptr);
  TScrollBox* box = Box(form);
  HWND w = box->Handle();
  ASSERT_TRUE(GetWindowLongPtrW(w, GWL_STYLE) & WS_VSCROLL);
  const int before = ClientWidth(w);
  TacSkinParams p;
  p.Control = box;
  auto h = CreateWndHandler<TacScrollBoxWnd>(w, nullptr, &k.s, p, true);
  EXPECT_EQ(h->SkinData->SkinSection(), "PANEL_LOW");
  Repaint(w);
  EXPECT_GT(h->cxLeftEdge, 0);
  EXPECT_EQ(ClientWidth(w), 160 - h->cxLeftEdge - h->cxRightEdge - kSkinWidth);
  EXPECT_EQ(At(w, 0, 60), COLORREF(kPanelLow)) << "left border";
  EXPECT_EQ(At(w, 80, 119), COLORREF(kPanelLow)) << "bottom border";
  EXPECT_EQ(At(w, 160 - h->cxRightEdge - kSkinWidth + 1, h->cyTopEdge + 1), COLORREF(kArrowUp)) << "up arrow";
  EXPECT_EQ(At(w, 120, 60), COLORREF(kPanelLow)) << "client beside the child";
  ReleaseWndHandler(w, true, true, h);
  EXPECT_EQ(ClientWidth(w), before);
}

TEST_F(ContainerHandlerTest, NativePaintKeepsTheControlsClientUnderASkinnedBorder) {
  BoxSkin k;
  TForm form(nullptr);
  TScrollBox* box = Box(form);
  box->SetColor(0x0000C0);
  HWND w = box->Handle();
  TacSkinParams p;
  p.Control = box;
  p.SkinSection = "PANEL_LOW";
  auto h = CreateWndHandler<TacNativePaint>(w, nullptr, &k.s, p, true);
  Repaint(w);
  EXPECT_EQ(At(w, 0, 60), COLORREF(kPanelLow)) << "border";
  EXPECT_EQ(At(w, 120, 60), COLORREF(0x0000C0)) << "the control's own client";
  ReleaseWndHandler(w, true, true, h);
}

TEST_F(ContainerHandlerTest, ContainerBorderOnlyWithAClientEdge) {
  BoxSkin k;
  TForm form(nullptr);
  ShowForm(form);
  struct Case {
    DWORD exStyle;
    bool skinned;
  } cases[] = {{WS_EX_CLIENTEDGE, true}, {0, false}};
  for (const Case& c : cases) {
    HWND w = CreateWindowExW(c.exStyle, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 20, 100, 60,
                             form.Handle(), nullptr, nullptr, nullptr);
    Repaint(w);
    const COLORREF own = At(w, 0, 30);
    TacSkinParams p;
    p.SkinSection = "PANEL_LOW";
    auto h = CreateWndHandler<TacContainerWnd>(w, nullptr, &k.s, p, true);
    Repaint(w);
    if (c.skinned)
      EXPECT_EQ(At(w, 0, 30), COLORREF(kPanelLow));
    else
      EXPECT_EQ(At(w, 0, 30), own);
    EXPECT_EQ(At(w, 50, 30), COLORREF(kPanelLow)) << "client from the cache";
    ReleaseWndHandler(w, true, true, h);
    DestroyWindow(w);
  }
}

TEST_F(ContainerHandlerTest, StaticTextSectionFollowsTheBevels) {
  struct Case {
    bool kind;
    TBevelCut outer, inner;
    const char* section;
  } cases[] = {
      {true, bvLowered, bvRaised, "GROUPBOX"}, {true, bvLowered, bvNone, "PANEL_LOW"},
      {true, bvRaised, bvLowered, "GROUPBOX"}, {true, bvRaised, bvNone, "PANEL"},
      {true, bvSpace, bvRaised, "TRANSPARENT"}, {false, bvLowered, bvRaised, "TRANSPARENT"},
  };
  for (const Case& c : cases) EXPECT_EQ(StaticTextSection(c.kind, c.outer, c.inner), c.section) << c.section;
}
