// The tab and page handlers: a page control whose tabs overflow (frame, tabs
// and the scroll arrows from the skin, a handler on every page, all given
// back on release), side tabs and rows of a raw tab window.

#include <gtest/gtest.h>

#include "platform/vcl/ComCtrls.h"
#include "platform/win/CommCtrl.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/controls/acTabControlWnd.h"
#include "tests/skin_controls/BarSkin.h"

namespace {

class TabControlHandlerTest : public WindowTest {
 protected:
  void TearDown() override {
    FreePageHandlers(nullptr);
    WindowTest::TearDown();
  }
  // A raw tab window of Count tabs "Tab N".
  HWND Tabs(TForm& form, DWORD style, int count, int w = 300, int h = 150) {
    ShowForm(form);
    HWND t = CreateWindowExW(0, WC_TABCONTROLW, "", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, form.Handle(), nullptr,
                             nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
      std::string text = "Tab " + std::to_string(i);
      TCITEMW item;
      item.mask = TCIF_TEXT;
      item.pszText = text.data();
      SendMessageW(t, TCM_INSERTITEMW, WPARAM(i), LPARAM(&item));
    }
    return t;
  }
  template <class T>
  TacHandlerPtr<T> Skin(HWND w, TControl* control = nullptr) {
    TacSkinParams p;
    p.Control = control;
    auto h = CreateWndHandler<T>(w, nullptr, &k.s, p, false);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return h;
  }
  BarSkin k;
};

}  // namespace

TEST_F(TabControlHandlerTest, PageControlWithOverflowingTabsPaintsFrameTabsAndArrowsAndGivesEverythingBack) {
  TForm form(nullptr);
  auto* pc = new TPageControl(&form);
  pc->SetParent(&form);
  pc->SetBounds(10, 10, 220, 140);
  for (int i = 0; i < 8; ++i) {
    auto* page = new TTabSheet(&form);
    page->SetPageControl(pc);
    page->SetCaption("Page " + std::to_string(i));
  }
  pc->SetActivePageIndex(0);
  ShowForm(form);
  HWND w = pc->Handle();
  HWND arrows = FindWindowExW(w, nullptr, UPDOWN_CLASSW, nullptr);
  ASSERT_NE(arrows, nullptr);
  const LONG_PTR arrowProc = GetWindowLongPtrW(arrows, GWLP_WNDPROC);

  auto h = Skin<TacPageControlWnd>(w, pc);
  EXPECT_EQ(h->SkinData->SkinSection(), "PAGECONTROL");
  ASSERT_NE(h->BtnSW, nullptr);
  EXPECT_EQ(h->BtnSW->CtrlHandle, arrows);
  const TRect page = h->PageRect(), tab1 = h->TabRect(1);
  ASSERT_GT(page.Top, 0);
  EXPECT_EQ(page.Top, tab1.Bottom);
  Shot shot(w);
  // The selected tab stands out by two pixels over the strip and the frame; the others stop at the frame.
  EXPECT_EQ(shot.At(1, 1), COLORREF(kTabSel));
  EXPECT_EQ(shot.At(3, page.Top + 1), COLORREF(kTabSel));
  EXPECT_EQ(shot.At(tab1.Left + 2, tab1.Top + 2), COLORREF(kTab));
  EXPECT_EQ(shot.At(tab1.Left + 2, page.Top + 1), COLORREF(kPage));
  // The frame under the pages, and the page itself showing the frame's background.
  EXPECT_EQ(shot.At(pc->Width() / 2, pc->Height() - 2), COLORREF(kPage));
  EXPECT_EQ(shot.At(pc->Width() / 2, page.Top + 20), COLORREF(kPage));
  // The arrows from the up-down section.
  EXPECT_EQ(SendSkinCommand(arrows, SKC_ISSKINNED), 1);
  EXPECT_EQ(At(arrows, 1, 1), COLORREF(kUpDown));
  // Every page has its handler.
  ASSERT_TRUE(pc->Pages(0)->HandleAllocated());
  for (int i = 0; i < pc->PageCount(); ++i) {
    if (!pc->Pages(i)->HandleAllocated()) continue;
    EXPECT_EQ(SendSkinCommand(pc->Pages(i)->Handle(), SKC_ISSKINNED), 1) << i;
  }

  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(h->BtnSW, nullptr);
  EXPECT_TRUE(PageHandlers().empty());
  EXPECT_EQ(GetWindowLongPtrW(arrows, GWLP_WNDPROC), arrowProc);
  for (HWND x : {w, arrows}) {
    EXPECT_EQ(SendSkinCommand(x, SKC_ISSKINNED), 0);
    EXPECT_EQ(GetPropW(x, kSkinDataProp), nullptr);
  }
  for (int i = 0; i < pc->PageCount(); ++i) {
    if (!pc->Pages(i)->HandleAllocated()) continue;
    EXPECT_EQ(SendSkinCommand(pc->Pages(i)->Handle(), SKC_ISSKINNED), 0) << i;
  }
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_NE(At(w, 1, 1), COLORREF(kTabSel));
}

TEST_F(TabControlHandlerTest, SideTabsAndRowsOfARawTabWindow) {
  struct Case {
    const char* name;
    DWORD style;
    int side;
    const char* section;
  };
  const Case cases[] = {{"top", 0, 0, "PAGECONTROL"},
                        {"bottom", TCS_BOTTOM, 1, "PAGECONTROLBOTTOM"},
                        {"left", TCS_VERTICAL, 2, "PAGECONTROLLEFT"},
                        {"right", TCS_VERTICAL | TCS_RIGHT, 3, "PAGECONTROLRIGHT"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm form(nullptr);
    HWND w = Tabs(form, c.style, 3);
    const LONG_PTR proc = GetWindowLongPtrW(w, GWLP_WNDPROC);
    auto h = Skin<TacTabControlWnd>(w);
    EXPECT_EQ(h->TabPosition(), c.side);
    EXPECT_EQ(h->SkinData->SkinIndex, k.s.GetSkinIndex(c.section));
    // A tab that is not selected (clear of the selected one standing over it), in the tab section of its
    // side; the middle of the frame.
    const TRect r = h->SkinTabRect(1, false);
    Shot shot(w);
    EXPECT_EQ(shot.At(r.Left + 2, r.Top + 5), COLORREF(kTab));
    const TRect p = h->PageRect();
    EXPECT_EQ(shot.At(p.Left + p.Width() / 2, p.Top + 3), COLORREF(kPage));
    ReleaseWndHandler(w, false, false, h);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
    DestroyWindow(w);
  }

  // Rows count from the outer edge; the selected tab's row lies next to the frame.
  TForm form(nullptr);
  HWND w = Tabs(form, TCS_MULTILINE, 8, 160);
  auto h = Skin<TacTabControlWnd>(w);
  ASSERT_GE(h->RowCount(), 2);
  EXPECT_EQ(h->TabRow(h->ActiveTabIndex()), h->RowCount());
  std::vector<int> rows(size_t(h->RowCount()) + 1);
  for (int i = 0; i < 8; ++i) {
    const int row = h->TabRow(i);
    ASSERT_GE(row, 1);
    ASSERT_LE(row, h->RowCount());
    ++rows[size_t(row)];
  }
  for (int row = 1; row <= h->RowCount(); ++row) EXPECT_GT(rows[size_t(row)], 0) << row;
  h.reset();
  DestroyWindow(w);
}
