// The list view handler on a report list view: header cells painted from the
// column-header section with hot and pressed columns and sort arrows, the
// list's colours from the edit section, thumb dragging by whole rows, and the
// list and its header given back as they were.

#include <gtest/gtest.h>

#include <string>

#include "platform/win/ListViews.h"
#include "skin/controls/acListViewWnd.h"
#include "tests/skin_controls/ListSkin.h"

namespace {

constexpr int kColWidth = 100;

class ListViewHandlerTest : public SkinnedScrollsTest {
 protected:
  HWND Report(TForm& form, int rows = 100) {
    HWND w = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 10, 10, 360, 200,
                             form.Handle(), nullptr, nullptr, nullptr);
    for (int c = 0; c < 3; ++c) {
      std::string t = "Col" + std::to_string(c);
      LVCOLUMNW col;
      col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      col.cx = kColWidth;
      col.fmt = c == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
      col.pszText = t.data();
      SendMessageW(w, LVM_INSERTCOLUMNW, WPARAM(c), LPARAM(&col));
    }
    for (int i = 0; i < rows; ++i) {
      std::string t = "row " + std::to_string(i);
      LVITEMW it;
      it.mask = LVIF_TEXT;
      it.iItem = i;
      it.pszText = t.data();
      SendMessageW(w, LVM_INSERTITEMW, 0, LPARAM(&it));
    }
    return w;
  }
  static HWND Header(HWND w) { return reinterpret_cast<HWND>(SendMessageW(w, LVM_GETHEADER, 0, 0)); }
  static void SetSort(HWND header, int item, int fmt) {
    HDITEMW hi;
    hi.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, WPARAM(item), LPARAM(&hi));
    hi.fmt = (hi.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) | fmt;
    SendMessageW(header, HDM_SETITEMW, WPARAM(item), LPARAM(&hi));
  }
  static int HeaderHeight(HWND header) {
    RECT r{};
    GetClientRect(header, &r);
    return r.bottom;
  }
};

}  // namespace

TEST_F(ListViewHandlerTest, HeaderCellsPaintFromTheSkinWithHotPressedAndSortStates) {
  ListSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form);
  HWND header = Header(w);
  ASSERT_TRUE(header);
  auto h = CreateWndHandler<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_EQ(h->FhWndHeader, header);
  EXPECT_EQ(h->ViewStyle(), vsReport);
  Repaint(w);
  Repaint(header);
  const int hh = HeaderHeight(header);
  ASSERT_GT(hh, 4);
  // Every column and the room right of the last one: the section's normal colour.
  for (int x : {kColWidth - 3, 2 * kColWidth - 3, 3 * kColWidth + 5}) EXPECT_EQ(At(header, x, hh / 2), COLORREF(kColNormal)) << x;
  // The caption in the section's font colour.
  EXPECT_TRUE(AnyPixel(header, RECT{4, 1, 40, hh - 1}, COLORREF(kColFont), 0x30));

  // Hot under the mouse, pressed under the button; only that column.
  MouseTo(header, kColWidth + 50, hh / 2);
  EXPECT_EQ(h->HoverColIndex, 1);
  EXPECT_EQ(At(header, 2 * kColWidth - 3, hh / 2), COLORREF(kColHot));
  EXPECT_EQ(At(header, kColWidth - 3, hh / 2), COLORREF(kColNormal));
  Press(header, kColWidth + 50, hh / 2, true);
  EXPECT_EQ(h->FPressedColumn, 1);
  Repaint(header);
  EXPECT_EQ(At(header, 2 * kColWidth - 3, hh / 2), COLORREF(kColPressed));
  Press(header, kColWidth + 50, hh / 2, false);
  EXPECT_EQ(h->FPressedColumn, -1);
  // A press on a divider marks no column.
  Press(header, kColWidth, hh / 2, true);
  EXPECT_EQ(h->FPressedColumn, -1);
  Press(header, kColWidth, hh / 2, false);
  // Over the list's rows the header shows no hot column.
  MouseTo(w, 100, 120);
  EXPECT_EQ(h->HoverColIndex, -1);
  Repaint(header);
  EXPECT_EQ(At(header, 2 * kColWidth - 3, hh / 2), COLORREF(kColNormal));

  // Sort arrows (the skin has no arrow glyph: the small arrow in the font
  // colour) right of the text, inside the cell also for a right-aligned column.
  SetSort(header, 0, HDF_SORTUP);
  SetSort(header, 2, HDF_SORTDOWN);
  Repaint(header);
  EXPECT_TRUE(AnyPixel(header, RECT{36, 0, 60, hh}, COLORREF(kColFont))) << "arrow of a left column";
  EXPECT_FALSE(AnyPixel(header, RECT{60, 0, kColWidth, hh}, COLORREF(kColFont))) << "next to its text";
  EXPECT_TRUE(AnyPixel(header, RECT{3 * kColWidth - 12, 0, 3 * kColWidth - 4, hh}, COLORREF(kColFont)))
      << "arrow of a right column, at the cell's right";
  EXPECT_FALSE(AnyPixel(header, RECT{2 * kColWidth, 0, 2 * kColWidth + 30, hh}, COLORREF(kColFont), 0x30))
      << "the right column's text keeps to the right";

  ReleaseWndHandler(w, true, true, h);
}

TEST_F(ListViewHandlerTest, WithoutColumnHeaderSectionCellsTakeTheButtons) {
  ListSkin k(false);
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form, 5);
  auto h = CreateWndHandler<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  Repaint(Header(w));
  EXPECT_EQ(At(Header(w), kColWidth - 3, 5), COLORREF(kBtnNormal));
  ReleaseWndHandler(w, true, true, h);
}

TEST_F(ListViewHandlerTest, ListColoursFollowTheSectionAndComeBack) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form, 5);
  SendMessageW(w, LVM_SETBKCOLOR, 0, 0x112233);
  SendMessageW(w, LVM_SETTEXTBKCOLOR, 0, 0x112233);
  SendMessageW(w, LVM_SETTEXTCOLOR, 0, 0x445566);
  auto h = CreateWndHandler<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_EQ(h->SkinData->COC, kListViewKind);
  Repaint(w);
  EXPECT_EQ(SendMessageW(w, LVM_GETBKCOLOR, 0, 0), LRESULT(kEdit));
  EXPECT_EQ(SendMessageW(w, LVM_GETTEXTBKCOLOR, 0, 0), LRESULT(kEdit));
  EXPECT_EQ(SendMessageW(w, LVM_GETTEXTCOLOR, 0, 0), LRESULT(kEditFont));
  // The rows are painted in it.
  const RECT c{30, 150, 300, 190};
  EXPECT_TRUE(AnyPixel(w, c, COLORREF(kEdit)));
  ReleaseWndHandler(w, true, true, h);
  EXPECT_EQ(SendMessageW(w, LVM_GETBKCOLOR, 0, 0), 0x112233);
  EXPECT_EQ(SendMessageW(w, LVM_GETTEXTBKCOLOR, 0, 0), 0x112233);
  EXPECT_EQ(SendMessageW(w, LVM_GETTEXTCOLOR, 0, 0), 0x445566);
}

TEST_F(ListViewHandlerTest, ThumbDragScrollsByWholeRowsAndPagesScrollThrough) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form, 200);
  auto h = CreateWndHandler<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  EXPECT_TRUE(h->sBarVert->fScrollVisible);
  // The bars hand positions over in full.
  EXPECT_EQ(SendSkinCommand(w, SKC_BEGINREDRAW), 1);
  // A drag from 0 to 37: the list's first row is 37.
  ScrollTrack.LastThumbPos = 0;
  SendScrollMessage(w, WM_VSCROLL, SB_THUMBTRACK, 37);
  EXPECT_EQ(SendMessageW(w, LVM_GETTOPINDEX, 0, 0), 37);
  ScrollTrack.LastThumbPos = 37;
  SendScrollMessage(w, WM_VSCROLL, SB_THUMBTRACK, 30);
  EXPECT_EQ(SendMessageW(w, LVM_GETTOPINDEX, 0, 0), 30);
  // The same position again does nothing.
  ScrollTrack.LastThumbPos = 30;
  SendScrollMessage(w, WM_VSCROLL, SB_THUMBTRACK, 30);
  EXPECT_EQ(SendMessageW(w, LVM_GETTOPINDEX, 0, 0), 30);
  // Pages go to the list's own scrolling.
  const int page = int(SendMessageW(w, LVM_GETCOUNTPERPAGE, 0, 0));
  SendMessageW(w, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(SendMessageW(w, LVM_GETTOPINDEX, 0, 0), 30 + page);
  ReleaseWndHandler(w, true, true, h);
}

TEST_F(ListViewHandlerTest, ListAndHeaderComeBackIntact) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form, 30);
  HWND header = Header(w);
  SetPropW(w, "OWN", HANDLE(0x55));
  const LONG_PTR proc = GetWindowLongPtrW(w, GWLP_WNDPROC), style = GetWindowLongPtrW(w, GWL_STYLE),
                 ex = GetWindowLongPtrW(w, GWL_EXSTYLE), hproc = GetWindowLongPtrW(header, GWLP_WNDPROC);
  RECT client0{};
  GetClientRect(w, &client0);
  auto h = MakeHandlerOf<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_NE(GetWindowLongPtrW(header, GWLP_WNDPROC), hproc);
  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);
  EXPECT_EQ(GetWndSkinData(w), h->SkinData);
  Repaint(w);
  // Outside report view the header's messages pass straight through.
  auto* lv = static_cast<TacListViewWnd*>(h.get());
  SendMessageW(w, LVM_SETVIEW, LV_VIEW_LIST, 0);
  lv->HoverColIndex = -1;
  SendMessageW(header, WM_NCHITTEST, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(lv->HoverColIndex, -1);
  SendMessageW(w, LVM_SETVIEW, LV_VIEW_DETAILS, 0);

  ReleaseWndHandler(w, true, true, h);
  EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
  EXPECT_EQ(GetWindowLongPtrW(header, GWLP_WNDPROC), hproc);
  EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), style);
  EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE), ex);
  EXPECT_EQ(GetPropW(w, "OWN"), HANDLE(0x55));
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  RECT client1{};
  GetClientRect(w, &client1);
  EXPECT_EQ(client1.right, client0.right);
  EXPECT_EQ(client1.bottom, client0.bottom);
  DestroyWindow(w);
}

TEST_F(ListViewHandlerTest, HeaderDestroyedWhileTakenOverIsForgotten) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Report(form, 5);
  auto h = CreateWndHandler<TacListViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  DestroyWindow(Header(w));
  EXPECT_EQ(h->FhWndHeader, nullptr);
  ReleaseWndHandler(w, true, true, h);
  DestroyWindow(w);
}
