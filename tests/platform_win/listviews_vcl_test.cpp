// The framework's list views, header controls and image lists: items and
// columns mirrored into the window, events for user and programmatic
// changes, custom drawing, definitions by class name, and what a list of a
// thousand changing rows repaints.

#include "platform/vcl/Definitions.h"
#include "platform/vcl/ListViews.h"
#include "platform/vcl/TypInfo.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class ListViewsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    form = new TForm(nullptr);
    form->SetBounds(100, 100, 500, 400);
    form->Show();
  }
  void TearDown() override {
    delete form;
    WindowTest::TearDown();
  }
  // A report list with the task list's columns: the fourth fills what the others leave.
  TListView* MakeTaskList() {
    auto* lv = new TListView(form);
    lv->SetParent(form);
    lv->SetBounds(10, 10, 460, 300);
    lv->SetViewStyle(vsReport);
    lv->SetGridLines(true);
    lv->SetRowSelect(true);
    lv->SetHideSelection(false);
    const char* names[] = {"Input", "Total Time", "File Size", "Output", "Progress", "FPS", "Current Time", "File Size"};
    const int widths[] = {100, 65, 70, 0, 60, 40, 80, 70};
    for (int i = 0; i < 8; ++i) {
      TListColumn* c = lv->Columns()->Add();
      c->SetCaption(names[i]);
      c->SetWidth(widths[i]);
      if (i == 3) c->SetAutoSize(true);
    }
    return lv;
  }
  static TListItem* AddRow(TListView* lv, int i) {
    TListItem* item = lv->Items()->Add();
    item->SetCaption("clip" + std::to_string(i) + ".mp4");
    for (const char* s : {"00:01:30", "12.5 MB", "clip.avi", "", "", "", ""}) item->SubItems()->Add(s);
    return item;
  }
  static void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
  void ClickAt(TWinControl* c, int x, int y, TMouseButton b = TMouseButton::Left) {
    POINT p{x, y};
    ClientToScreen(c->Handle(), &p);
    InjectMouseButton(b, true, p.x, p.y);
    InjectMouseButton(b, false, p.x, p.y);
    Pump();
    Headless().AdvanceClock(1000);  // the next click is no double click
  }
  // A pixel of a control's client area on the form's surface (window coordinates).
  COLORREF Pixel(TWinControl* c, int x, int y) {
    UpdateWindow(form->Handle());
    POINT p{x, y};
    ClientToScreen(c->Handle(), &p);
    RECT w;
    GetWindowRect(form->Handle(), &w);
    return SurfacePixel(form->Handle(), p.x - w.left, p.y - w.top);
  }
  static std::string WindowText(TListView* lv, int i, int sub) {
    char buf[64] = {};
    LVITEMW it;
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    SendMessageW(lv->Handle(), LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&it));
    return buf;
  }

  TForm* form = nullptr;
};

TEST_F(ListViewsTest, ItemsAndColumnsReachTheWindowBeforeAndAfterItExists) {
  auto* lv = new TListView(form);
  lv->SetViewStyle(vsReport);
  TListColumn* c = lv->Columns()->Add();
  c->SetCaption("Input");
  c->SetWidth(120);
  lv->Columns()->Add()->SetCaption("Size");
  TListItem* a = AddRow(lv, 1);
  AddRow(lv, 2)->SetSelected(true);
  EXPECT_FALSE(lv->HandleAllocated());
  EXPECT_EQ(lv->ItemIndex(), 1);
  lv->SetParent(form);
  lv->SetBounds(10, 10, 300, 200);
  ASSERT_TRUE(lv->HandleAllocated());
  HWND h = lv->Handle();
  EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(WindowText(lv, 0, 0), "clip1.mp4");
  EXPECT_EQ(WindowText(lv, 1, 1), "00:01:30");
  EXPECT_EQ(SendMessageW(h, LVM_GETCOLUMNWIDTH, 0, 0), 120);
  EXPECT_EQ(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 1);
  EXPECT_EQ(SendMessageW(h, LVM_GETVIEW, 0, 0), LRESULT(LV_VIEW_DETAILS));

  // Changes after creation: caption, one sub-item, an inserted and a deleted row.
  a->SetCaption("renamed.mp4");
  a->SubItems()->SetStrings(3, "50%");
  lv->Items()->Insert(0)->SetCaption("first");
  EXPECT_EQ(WindowText(lv, 0, 0), "first");
  EXPECT_EQ(WindowText(lv, 1, 0), "renamed.mp4");
  EXPECT_EQ(WindowText(lv, 1, 4), "50%");
  EXPECT_EQ(a->Index(), 1);
  a->SubItems()->Delete(0);  // the later cells move left
  EXPECT_EQ(WindowText(lv, 1, 1), "12.5 MB");
  EXPECT_EQ(WindowText(lv, 1, 7), "");
  std::vector<String> deleted;
  lv->OnDeletion = [&](TObject*, TListItem* item) { deleted.push_back(item->Caption()); };
  lv->Items()->Delete(0);
  EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(deleted, std::vector<String>({"first"}));
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));

  // A new window (the border changes) gets everything back, selection included.
  lv->SetBorderStyle(bsNone);
  EXPECT_NE(lv->Handle(), nullptr);
  EXPECT_EQ(WindowText(lv, 0, 0), "renamed.mp4");
  EXPECT_EQ(lv->ItemIndex(), 1);
  EXPECT_EQ(deleted.size(), 1u);  // recreating the window deletes no item
  lv->Clear();
  EXPECT_EQ(SendMessageW(lv->Handle(), LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(deleted.size(), 3u);
  EXPECT_EQ(lv->Selected(), nullptr);
  EXPECT_EQ(lv->ItemIndex(), -1);
}

TEST_F(ListViewsTest, AutoSizeColumnFillsTheRestAndFollowsTheWidth) {
  TListView* lv = MakeTaskList();
  RECT client;
  GetClientRect(lv->Handle(), &client);
  const int fixed = 100 + 65 + 70 + 60 + 40 + 80 + 70;
  EXPECT_EQ(lv->Columns()->Items(3)->Width(), std::max(0, int(client.right) - fixed));
  lv->SetWidth(900);
  GetClientRect(lv->Handle(), &client);
  EXPECT_EQ(lv->Columns()->Items(3)->Width(), int(client.right) - fixed);
  lv->Columns()->Items(0)->SetWidth(200);
  EXPECT_EQ(lv->Columns()->Items(3)->Width(), int(client.right) - fixed - 100);
}

TEST_F(ListViewsTest, UserAndProgrammaticSelectionFireOnSelectItemAndClicks) {
  TListView* lv = MakeTaskList();
  for (int i = 0; i < 4; ++i) AddRow(lv, i);
  std::vector<std::string> events;
  lv->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
    events.push_back(std::to_string(item->Index()) + (selected ? "+" : "-"));
  };
  lv->OnClick = [&](TObject*) { events.push_back("click"); };
  lv->OnDblClick = [&](TObject*) { events.push_back("dblclick"); };
  lv->SetItemIndex(2);  // in code the event fires too
  EXPECT_EQ(events, std::vector<std::string>({"2+"}));
  events.clear();
  const TRect r1 = lv->Items()->Item(1)->DisplayRect(drBounds);
  ClickAt(lv, 300, r1.Top + 2);  // on a sub-item: the row is selected
  EXPECT_EQ(events, std::vector<std::string>({"2-", "1+", "click"}));
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
  EXPECT_EQ(lv->GetItemAt(300, r1.Top + 2), lv->Items()->Item(1));
  events.clear();
  POINT p{300, r1.Top + 2};
  ClientToScreen(lv->Handle(), &p);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  Pump();
  EXPECT_NE(std::find(events.begin(), events.end(), "dblclick"), events.end());

  // Clicking a column caption names the column.
  TListColumn* clicked = nullptr;
  lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked = c; };
  HWND header = HWND(SendMessageW(lv->Handle(), LVM_GETHEADER, 0, 0));
  POINT hp{130, 5};
  ClientToScreen(header, &hp);
  InjectMouseButton(TMouseButton::Left, true, hp.x, hp.y);
  InjectMouseButton(TMouseButton::Left, false, hp.x, hp.y);
  Pump();
  EXPECT_EQ(clicked, lv->Columns()->Items(1));
}

TEST_F(ListViewsTest, CustomDrawPaintsTheEmptyListAndDefaultDrawGoesOn) {
  TListView* lv = MakeTaskList();
  int calls = 0;
  // The empty task list shows a picture; default drawing then goes on.
  lv->OnCustomDraw = [&](TCustomListView* sender, const TRect& r, bool& defaultDraw) {
    ++calls;
    EXPECT_EQ(r.Left, 0);
    if (sender->Items()->Count() == 0) {
      sender->Canvas()->Brush()->SetColor(clRed);
      sender->Canvas()->FillRect(TRect(100, 100, 140, 140));
    }
    EXPECT_TRUE(defaultDraw);
  };
  lv->Invalidate();
  UpdateWindow(form->Handle());
  EXPECT_GE(calls, 1);
  EXPECT_EQ(Pixel(lv, 120, 120), RGB(255, 0, 0));

  // Per-item drawing recolours a row; DefaultDraw false leaves a row to the handler.
  AddRow(lv, 0);
  AddRow(lv, 1);
  lv->OnCustomDrawItem = [&](TCustomListView* sender, TListItem* item, TCustomDrawState, bool& defaultDraw) {
    if (item->Index() == 0) sender->Canvas()->Brush()->SetColor(RGB(0, 0, 200));
    if (item->Index() == 1) defaultDraw = false;
  };
  lv->Invalidate();
  UpdateWindow(form->Handle());
  const TRect r0 = lv->Items()->Item(0)->DisplayRect(drBounds);
  EXPECT_EQ(Pixel(lv, 200, r0.Top + 2), RGB(0, 0, 200));
}

TEST_F(ListViewsTest, AThousandRowsUpdatingEveryHalfSecondRepaintOnlyTheChangedCells) {
  TListView* lv = MakeTaskList();
  lv->BeginUpdate();
  for (int i = 0; i < 1000; ++i) AddRow(lv, i);
  lv->EndUpdate();
  int painted = 0;
  std::vector<int> rows;
  lv->OnCustomDrawItem = [&](TCustomListView*, TListItem* item, TCustomDrawState, bool&) {
    ++painted;
    rows.push_back(item->Index());
  };
  UpdateWindow(form->Handle());
  const int page = lv->VisibleRowCount();
  EXPECT_LE(painted, page + 1);

  // A timer of 500 ms updates the progress of three running rows, one of them off screen.
  int tick = 0;
  SetTimer(lv->Handle(), 77, 500, nullptr);
  for (int round = 0; round < 4; ++round) {
    Headless().AdvanceClock(500);
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      if (m.wParam != 77) continue;
      ++tick;
      for (int i : {1, 4, 700}) lv->Items()->Item(i)->SubItems()->SetStrings(3, std::to_string(tick * 10) + "%");
    }
    painted = 0;
    rows.clear();
    RECT u{};
    ASSERT_TRUE(GetUpdateRect(lv->Handle(), &u, FALSE));
    const TRect progress1 = lv->Items()->Item(1)->DisplayRect(drBounds);
    EXPECT_EQ(u.top, progress1.Top);  // from row 1 ...
    EXPECT_EQ(u.bottom, lv->Items()->Item(4)->DisplayRect(drBounds).Bottom);  // ... to row 4, no further
    UpdateWindow(form->Handle());
    EXPECT_EQ(rows, std::vector<int>({1, 4})) << round;
  }
  EXPECT_EQ(tick, 4);
  KillTimer(lv->Handle(), 77);
  EXPECT_EQ(WindowText(lv, 700, 4), "40%");
}

TEST_F(ListViewsTest, ImageListsFeedTheListAndTellTheirUsers) {
  auto* images = new TImageList(form);
  images->SetWidth(16);
  images->SetHeight(16);
  TBitmap pic;
  pic.SetSize(32, 16);
  pic.Canvas()->Brush()->SetColor(clLime);
  pic.Canvas()->FillRect(TRect(0, 0, 32, 16));
  pic.Canvas()->Brush()->SetColor(clRed);
  pic.Canvas()->FillRect(TRect(0, 0, 16, 16));
  int changes = 0;
  images->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(images->AddMasked(&pic, clLime), 0);
  EXPECT_EQ(images->Count(), 2);
  EXPECT_GE(changes, 1);
  TBitmap out;
  EXPECT_TRUE(images->GetBitmap(0, &out));
  EXPECT_EQ(out.Width(), 16);
  EXPECT_EQ(out.Canvas()->Pixels(8, 8), clRed);
  EXPECT_FALSE(images->GetBitmap(5, &out));

  TListView* lv = MakeTaskList();
  lv->SetSmallImages(images);
  EXPECT_EQ(SendMessageW(lv->Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0), LRESULT(images->Handle()));
  TListItem* item = AddRow(lv, 0);
  item->SetImageIndex(0);
  LVITEMW it;
  it.mask = LVIF_IMAGE;
  it.iItem = 0;
  SendMessageW(lv->Handle(), LVM_GETITEMW, 0, LPARAM(&it));
  EXPECT_EQ(it.iImage, 0);
  // A freed image list is let go.
  delete images;
  EXPECT_EQ(lv->SmallImages(), nullptr);
  EXPECT_EQ(SendMessageW(lv->Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
}

TEST_F(ListViewsTest, HeaderControlSectionsClickAndResize) {
  auto* hc = new THeaderControl(form);
  hc->SetParent(form);
  hc->SetBounds(0, 0, 300, 20);
  THeaderSection* a = hc->Sections()->Add();
  a->SetText("Name");
  a->SetWidth(100);
  a->MinWidth = 50;
  THeaderSection* b = hc->Sections()->Add();
  b->SetText("Size");
  EXPECT_EQ(SendMessageW(hc->Handle(), HDM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(b->Left(), 100);
  THeaderSection* clicked = nullptr;
  THeaderSection* resized = nullptr;
  hc->OnSectionClick = [&](THeaderControl*, THeaderSection* s) { clicked = s; };
  hc->OnSectionResize = [&](THeaderControl*, THeaderSection* s) { resized = s; };
  ClickAt(hc, 120, 5);
  EXPECT_EQ(clicked, b);
  // Dragging the first divider far left stops at the minimum width.
  POINT p{99, 5};
  ClientToScreen(hc->Handle(), &p);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseMove(p.x - 80, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x - 80, p.y);
  Pump();
  EXPECT_EQ(resized, a);
  EXPECT_EQ(a->Width(), 50);
  EXPECT_EQ(b->Left(), 50);
}

TEST_F(ListViewsTest, DefinitionsMakeListViewsHeadersAndImageListsByClassName) {
  EnsureStandardClasses();
  const char* text = R"(object Host: TForm
  object ImageList1: TImageList
    Width = 24
    Height = 24
    Masked = False
  end
  object lvFiles: TListView
    Left = 8
    Top = 8
    Width = 400
    Height = 200
    Tag = 8514
    ViewStyle = vsReport
    GridLines = True
    RowSelect = True
    ReadOnly = True
    HideSelection = False
    SmallImages = ImageList1
    Columns = <
      item
        Caption = 'Input'
        Width = 100
      end
      item
        Caption = 'Output'
        AutoSize = True
      end>
    OnCustomDraw = lvFilesCustomDraw
  end
  object Header1: THeaderControl
    Sections = <
      item
        Text = 'A'
        Width = 60
      end>
  end
end
)";
  THandlerRegistry handlers;
  bool drawn = false;
  handlers.Register("lvFilesCustomDraw", TLVCustomDrawEvent([&](TCustomListView*, const TRect&, bool&) { drawn = true; }));
  LoadDefinition(form, text, &handlers);
  auto* lv = dynamic_cast<TListView*>(form->FindComponent("lvFiles"));
  ASSERT_NE(lv, nullptr);
  EXPECT_EQ(lv->Tag, 8514);
  EXPECT_EQ(lv->ViewStyle(), vsReport);
  EXPECT_TRUE(lv->GridLines() && lv->RowSelect() && lv->ReadOnly && !lv->HideSelection());
  ASSERT_EQ(lv->Columns()->Count(), 2);
  EXPECT_EQ(lv->Columns()->Items(0)->Caption(), "Input");
  EXPECT_TRUE(lv->Columns()->Items(1)->AutoSize());
  auto* images = dynamic_cast<TImageList*>(form->FindComponent("ImageList1"));
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(lv->SmallImages(), images);
  EXPECT_EQ(images->Width(), 24);
  EXPECT_FALSE(images->Masked());
  EXPECT_EQ(GetPropValue(lv, "ViewStyle"), "vsReport");
  auto* hc = dynamic_cast<THeaderControl*>(form->FindComponent("Header1"));
  ASSERT_NE(hc, nullptr);
  EXPECT_EQ(hc->Sections()->Items(0)->Width(), 60);
  lv->Invalidate();
  UpdateWindow(form->Handle());
  EXPECT_TRUE(drawn);
  // And back: the writer names the handler and the columns.
  const String written = WriteDefinition(DescribeComponent(form, &handlers));
  EXPECT_NE(written.find("OnCustomDraw = lvFilesCustomDraw"), String::npos);
  EXPECT_NE(written.find("Caption = 'Output'"), String::npos);
}

}  // namespace
