// The list view handler on a framework list view: the column image from the
// list's small images beside the caption, the list's colour kept through the
// control and given back, and the auto-sized column seen through the owner.

#include <gtest/gtest.h>

#include "platform/vcl/ImgList.h"
#include "platform/vcl/ListViews.h"
#include "platform/win/ListViews.h"
#include "skin/controls/acListViewWnd.h"
#include "tests/skin_controls/ListSkin.h"

namespace {

class ListViewOwnerTest : public SkinnedScrollsTest {};

}  // namespace

TEST_F(ListViewOwnerTest, ColumnImageAndColoursGoThroughTheFrameworkListView) {
  ListSkin k;
  TForm form(nullptr);
  auto* images = new TImageList(&form);
  images->SetWidth(16);
  images->SetHeight(16);
  TBitmap pic;
  pic.SetPixelFormat(pf24bit);
  pic.SetSize(16, 16);
  pic.Canvas()->Brush()->SetColor(clRed);
  pic.Canvas()->FillRect(TRect(0, 0, 16, 16));
  ASSERT_EQ(images->Add(&pic, nullptr), 0);
  auto* lv = new TListView(&form);
  lv->SetParent(&form);
  lv->SetBounds(10, 10, 360, 200);
  lv->SetViewStyle(vsReport);
  lv->SetSmallImages(images);
  for (const char* name : {"Input", "Output"}) {
    TListColumn* c = lv->Columns()->Add();
    c->SetCaption(name);
    c->SetWidth(120);
  }
  lv->Columns()->Items(0)->SetImageIndex(0);
  lv->SetColor(0x102030);
  ShowForm(form);
  TacSkinParams p;
  p.Control = lv;
  auto h = CreateWndHandler<TacListViewWnd>(lv->Handle(), nullptr, &k.s, p, true);
  EXPECT_EQ(h->ViewStyle(), vsReport);
  EXPECT_FALSE(h->AutoSizedCols());
  RedrawWindow(lv->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_EQ(lv->Color(), kEdit);
  HWND header = h->FhWndHeader;
  ASSERT_TRUE(header);
  RECT hr{};
  GetClientRect(header, &hr);
  // The first image of the list, left of the first caption; none in the second column.
  EXPECT_TRUE(AnyPixel(header, RECT{0, 0, 40, hr.bottom}, COLORREF(ColorToRGB(clRed))));
  EXPECT_FALSE(AnyPixel(header, RECT{120, 0, 240, hr.bottom}, COLORREF(ColorToRGB(clRed))));
  lv->Columns()->Items(1)->SetAutoSize(true);
  EXPECT_TRUE(h->AutoSizedCols());
  ReleaseWndHandler(lv->Handle(), true, true, h);
  EXPECT_EQ(lv->Color(), TColor(0x102030));
}
