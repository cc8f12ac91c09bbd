// The framework's tab, page, status bar, tool bar and tree view classes: what
// programmatic and user changes fire, what their windows show, and window
// definitions that make them.

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Definitions.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class ComCtrlsTest : public WindowTest {
 public:
  void ClickAt(TWinControl* c, TPoint p) {
    const TPoint s = c->ClientToScreen(p);
    InjectMouseMove(s.X, s.Y);
    InjectMouseButton(TMouseButton::Left, true, s.X, s.Y);
    InjectMouseButton(TMouseButton::Left, false, s.X, s.Y);
    Application->ProcessMessages();
  }
};

TEST_F(ComCtrlsTest, PageControlShowsTheActivePageAndAsksBeforeTheUserChangesIt) {
  TForm form(nullptr);
  auto* pc = new TPageControl(&form);
  pc->SetParent(&form);
  pc->SetAlign(alClient);
  TTabSheet* sheets[3];
  const char* captions[] = {"General", "Video", "Audio"};
  for (int i = 0; i < 3; ++i) {
    sheets[i] = new TTabSheet(&form);
    sheets[i]->SetPageControl(pc);
    sheets[i]->SetCaption(captions[i]);
  }
  int changes = 0, asks = 0;
  bool allow = true;
  pc->OnChange = [&](TObject*) { ++changes; };
  pc->OnChanging = [&](TObject*, bool& a) {
    ++asks;
    a = allow;
  };
  ShowForm(form);
  EXPECT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_EQ(SendMessageW(pc->Handle(), TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_TRUE(sheets[0]->Showing());
  EXPECT_FALSE(sheets[1]->Showing());
  // Pages fill the display area.
  RECT display{0, 0, pc->Width(), pc->Height()};
  SendMessageW(pc->Handle(), TCM_ADJUSTRECT, FALSE, LPARAM(&display));
  EXPECT_EQ(sheets[0]->BoundsRect(), TRect(display.left, display.top, display.right, display.bottom));

  // In code: no events.
  pc->SetActivePageIndex(2);
  EXPECT_EQ(SendMessageW(pc->Handle(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(sheets[2]->Showing());
  EXPECT_FALSE(sheets[0]->Showing());
  EXPECT_EQ(changes + asks, 0);
  // By the user: asked first, then changed.
  const TRect second = pc->TabRect(1);
  ClickAt(pc, TPoint((second.Left + second.Right) / 2, (second.Top + second.Bottom) / 2));
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  EXPECT_TRUE(sheets[1]->Showing());
  EXPECT_EQ(asks, 1);
  EXPECT_EQ(changes, 1);
  allow = false;
  const TRect first = pc->TabRect(0);
  ClickAt(pc, TPoint(first.Left + 4, first.Top + 4));
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  EXPECT_EQ(changes, 1);

  // A hidden tab leaves the strip but keeps its page; captions follow the sheets.
  sheets[0]->SetTabVisible(false);
  EXPECT_EQ(SendMessageW(pc->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(sheets[1]->TabIndex(), 0);
  sheets[2]->SetCaption("Sound");
  char buf[16];
  TCITEMW item;
  item.mask = TCIF_TEXT;
  item.pszText = buf;
  item.cchTextMax = sizeof(buf);
  SendMessageW(pc->Handle(), TCM_GETITEMW, 1, LPARAM(&item));
  EXPECT_STREQ(buf, "Sound");
  delete sheets[1];  // the active page gone: another takes its place
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_NE(pc->ActivePage(), nullptr);
}

TEST_F(ComCtrlsTest, StatusBarShowsItsPanelsOrItsSimpleText) {
  TForm form(nullptr);
  auto* sb = new TStatusBar(&form);
  sb->SetParent(&form);
  TStatusPanel* a = sb->Panels()->Add();
  a->SetWidth(120);
  a->SetText("Ready");
  TStatusPanel* b = sb->Panels()->Add();
  b->SetStyle(psOwnerDraw);
  int drawn = 0;
  sb->OnDrawPanel = [&](TStatusBar* bar, TStatusPanel* p, const TRect& r) {
    ++drawn;
    EXPECT_EQ(p, b);
    EXPECT_GT(r.Width(), 0);
    bar->Canvas()->Brush()->SetColor(clRed);
    bar->Canvas()->FillRect(r);
  };
  ShowForm(form);
  // Docked at the bottom, across the form.
  EXPECT_EQ(sb->Top() + sb->Height(), form.ClientHeight());
  EXPECT_EQ(sb->Width(), form.ClientWidth());
  int rights[4] = {};
  EXPECT_EQ(SendMessageW(sb->Handle(), SB_GETPARTS, 4, LPARAM(rights)), 2);
  EXPECT_EQ(rights[0], 120);
  EXPECT_EQ(rights[1], -1);
  char buf[32];
  SendMessageW(sb->Handle(), SB_GETTEXTW, 0, LPARAM(buf));
  EXPECT_STREQ(buf, "Ready");
  UpdateWindow(form.Handle());
  EXPECT_GE(drawn, 1);
  RECT r1;
  SendMessageW(sb->Handle(), SB_GETRECT, 1, LPARAM(&r1));
  POINT p{(r1.left + r1.right) / 2, (r1.top + r1.bottom) / 2};
  MapWindowPoints(sb->Handle(), form.Handle(), &p, 1);
  EXPECT_EQ(SurfacePixel(form.Handle(), p.x, p.y), RGB(255, 0, 0));

  a->SetText("Busy");
  SendMessageW(sb->Handle(), SB_GETTEXTW, 0, LPARAM(buf));
  EXPECT_STREQ(buf, "Busy");
  sb->SetSimpleText("Loading");
  sb->SetSimplePanel(true);
  EXPECT_EQ(SendMessageW(sb->Handle(), SB_ISSIMPLE, 0, 0), TRUE);
  SendMessageW(sb->Handle(), SB_GETTEXTW, SB_SIMPLEID, LPARAM(buf));
  EXPECT_STREQ(buf, "Loading");
}

TEST_F(ComCtrlsTest, ToolBarButtonsClickCheckAndLetTheHandlerDraw) {
  TForm form(nullptr);
  auto* tb = new TToolBar(&form);
  tb->SetParent(&form);
  tb->SetShowCaptions(true);
  auto* open = new TToolButton(&form);
  open->SetParent(tb);
  open->SetCaption("Open");
  auto* sep = new TToolButton(&form);
  sep->SetParent(tb);
  sep->SetStyle(tbsSeparator);
  sep->SetWidth(8);
  auto* mark = new TToolButton(&form);
  mark->SetParent(tb);
  mark->SetStyle(tbsCheck);
  mark->SetCaption("Mark");
  int clicks = 0;
  open->OnClick = [&](TObject*) { ++clicks; };
  ShowForm(form);
  EXPECT_EQ(tb->Top(), 0);  // docked at the top
  EXPECT_EQ(tb->ButtonCount(), 3);
  EXPECT_EQ(SendMessageW(tb->Handle(), TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(mark->Index(), 2);
  // The window's button data is the framework's button.
  TBBUTTON data;
  SendMessageW(tb->Handle(), TB_GETBUTTON, 2, LPARAM(&data));
  EXPECT_EQ(reinterpret_cast<TToolButton*>(data.dwData), mark);
  EXPECT_EQ(SendMessageW(tb->Handle(), TB_GETBUTTONTEXTW, WPARAM(mark->CommandId()), 0), 4);
  // Bounds come from the window.
  RECT r;
  SendMessageW(tb->Handle(), TB_GETITEMRECT, 2, LPARAM(&r));
  EXPECT_EQ(mark->BoundsRect(), TRect(r.left, r.top, r.right, r.bottom));
  ClickAt(tb, TPoint(open->Left() + open->Width() / 2, open->Top() + open->Height() / 2));
  EXPECT_EQ(clicks, 1);
  ClickAt(tb, TPoint(mark->Left() + mark->Width() / 2, mark->Top() + mark->Height() / 2));
  EXPECT_TRUE(mark->Down());
  mark->SetDown(false);
  EXPECT_EQ(SendMessageW(tb->Handle(), TB_ISBUTTONCHECKED, WPARAM(mark->CommandId()), 0), 0);
  open->SetEnabled(false);
  ClickAt(tb, TPoint(open->Left() + open->Width() / 2, open->Top() + open->Height() / 2));
  EXPECT_EQ(clicks, 1);

  // The custom-draw events: the bar first, then each button; a handler may draw a button itself.
  std::vector<TToolButton*> drawn;
  int bars = 0;
  tb->OnAdvancedCustomDraw = [&](TToolBar*, const TRect&, TCustomDrawStage stage, bool&) { bars += stage == cdPrePaint; };
  tb->OnAdvancedCustomDrawButton = [&](TToolBar* bar, TToolButton* b, TCustomDrawState, TCustomDrawStage stage,
                                       TTBCustomDrawFlags&, bool& defaultDraw) {
    if (stage != cdPrePaint) return;
    drawn.push_back(b);
    if (b == mark) {
      bar->Canvas()->Brush()->SetColor(clBlack);
      bar->Canvas()->FillRect(b->BoundsRect());
      defaultDraw = false;
    }
  };
  tb->Invalidate();
  UpdateWindow(form.Handle());
  EXPECT_EQ(bars, 1);
  EXPECT_EQ(drawn, (std::vector<TToolButton*>{open, sep, mark}));
  POINT mid{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  MapWindowPoints(tb->Handle(), form.Handle(), &mid, 1);
  EXPECT_EQ(SurfacePixel(form.Handle(), mid.x, mid.y), RGB(0, 0, 0));
  delete sep;
  EXPECT_EQ(SendMessageW(tb->Handle(), TB_BUTTONCOUNT, 0, 0), 2);
  EXPECT_EQ(mark->Index(), 1);
}

TEST_F(ComCtrlsTest, TreeViewTakesItsColoursAndNodes) {
  TForm form(nullptr);
  auto* tv = new TTreeView(&form);
  tv->SetParent(&form);
  TTreeNode* root = tv->Items()->Add(nullptr, "Root");
  tv->Items()->AddChild(root, "Child");
  tv->SetColor(clYellow);
  ShowForm(form);
  EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETBKCOLOR, 0, 0), LRESULT(ColorToRGB(clYellow)));
  tv->Font()->SetColor(clRed);
  EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETTEXTCOLOR, 0, 0), LRESULT(ColorToRGB(clRed)));
  int changes = 0;
  tv->OnChange = [&](TObject*) { ++changes; };
  tv->SetSelected(root);
  EXPECT_EQ(tv->Selected(), root);
  EXPECT_EQ(changes, 1);
  root->SetExpanded(true);
  EXPECT_TRUE(root->Expanded());
  // A window made again gets the nodes again.
  tv->RecreateWnd();
  EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETCOUNT, 0, 0), 2);
}

const char* kDefinition = R"(object ComForm: TComForm
  ClientWidth = 400
  ClientHeight = 300
  object ToolBar1: TToolBar
    ShowCaptions = True
    Flat = True
    object btnAdd: TToolButton
      Caption = 'Add'
    end
    object btnSep: TToolButton
      Style = tbsSeparator
    end
  end
  object PageControl1: TPageControl
    Align = alClient
    OnChange = PageControl1Change
    object tabFirst: TTabSheet
      Caption = 'First'
    end
    object tabSecond: TTabSheet
      Caption = 'Second'
    end
  end
  object StatusBar1: TStatusBar
    Panels = <
      item
        Text = 'One'
        Width = 80
      end
      item
        Style = psOwnerDraw
      end>
    SimpleText = 'Simple'
  end
end
)";

struct TComForm : TForm {
  using TForm::TForm;
};

TEST_F(ComCtrlsTest, DefinitionsMakeTheseClassesAndRoundTrip) {
  THandlerRegistry handlers;
  handlers.Register<TNotifyEvent>("PageControl1Change", [](TObject*) {});
  TComForm form(nullptr);
  form.SetName("ComForm");
  LoadDefinition(&form, std::string_view(kDefinition), &handlers);
  auto* pc = static_cast<TPageControl*>(form.FindComponent("PageControl1"));
  ASSERT_NE(pc, nullptr);
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->Pages(1)->Caption(), "Second");
  auto* sb = static_cast<TStatusBar*>(form.FindComponent("StatusBar1"));
  ASSERT_EQ(sb->Panels()->Count(), 2);
  EXPECT_EQ(sb->Panels()->Items(0)->Width(), 80);
  EXPECT_EQ(sb->Panels()->Items(1)->Style(), psOwnerDraw);
  auto* bar = static_cast<TToolBar*>(form.FindComponent("ToolBar1"));
  EXPECT_EQ(bar->ButtonCount(), 2);
  EXPECT_TRUE(bar->Flat());
  // Docked: the tool bar on top, the status bar at the bottom, the pages between.
  EXPECT_EQ(bar->Top(), 0);
  EXPECT_EQ(sb->Top() + sb->Height(), 300);
  EXPECT_EQ(pc->Top(), bar->Height());
  EXPECT_EQ(pc->Top() + pc->Height(), sb->Top());
  const String text = WriteDefinition(DescribeComponent(&form, &handlers));
  TComForm again(nullptr);
  again.SetName("ComForm");
  LoadDefinition(&again, std::string_view(text), &handlers);
  EXPECT_EQ(WriteDefinition(DescribeComponent(&again, &handlers)), text);
}

}  // namespace
