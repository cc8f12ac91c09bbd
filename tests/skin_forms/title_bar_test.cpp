// The title-bar component: measuring items, laying them out by alignment,
// the hit codes the skinned frame answers over them, their painting into the
// frame, and their mouse logic (tab groups, clicks, drop-down menus).

#include <gtest/gtest.h>

#include <functional>

#include "platform/rtl/SysUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/forms/sTitleBar.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class TitleBarTest : public FormSkinTest {
 protected:
  // A 32-bit opaque glyph of one colour.
  static void SolidGlyph(TacTitleBarItem* it, int w, int h, uint32_t argb) {
    auto g = NewBitmap32(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) SetPixel32(g.get(), x, y, argb);
    it->SetGlyph(g.get());
  }
};

// A popup menu that records being shown and then runs a script (where the
// pointer is when the menu closes) instead of a menu loop.
class ScriptedMenu : public TPopupMenu {
 public:
  explicit ScriptedMenu(TComponent* Owner) : TPopupMenu(Owner) {
    auto* i = new TMenuItem(this);
    i->SetCaption("Item");
    Items()->Add(i);
  }
  void Popup(int X, int Y) override {
    ++shown;
    at = TPoint(X, Y);
    if (whileOpen) whileOpen();
  }
  int shown = 0;
  TPoint at;
  std::function<void()> whileOpen;
};

}  // namespace

TEST_F(TitleBarTest, OnlyAFormMayOwnIt) {
  TComponent dm(nullptr);  // not a form
  try {
    TsTitleBar bar(&dm);
    FAIL() << "made on a data module";
  } catch (const EAbort& e) {
    EXPECT_EQ(e.Message, "TsTitleBar component may be used with forms only!");
  }
  EXPECT_EQ(dm.ComponentCount(), 0);
}

TEST_F(TitleBarTest, ItemsMeasureTheirContentWithMargins) {
  TForm form(nullptr);
  auto* bar = new TsTitleBar(&form);
  struct Case {
    TacBtnStyle style;
    int glyph;   // square glyph side, 0 none
    int w, h;    // expected size
  } cases[] = {
      {bsButton, 0, 16, 16},               // the minimum wins over 2 x margin 3
      {bsButton, 16, 16 + 6, 16 + 6},      // content + 2 x ItemsMargin
      {bsMenu, 16, 16 + 6 + 8, 16 + 1 + 6},  // menus: 2 x 4 wider, one pixel higher
      {bsTab, 16, 22, 16 + 1 + 6},
  };
  for (const Case& c : cases) {
    TacTitleBarItem* it = bar->Items()->Add();
    it->SetStyle(c.style);
    if (c.glyph) SolidGlyph(it, c.glyph, c.glyph, 0xFF0000FF);
    it->UpdateSize();
    EXPECT_EQ(it->Width(), c.w) << int(c.style) << " " << c.glyph;
    EXPECT_EQ(it->Height(), c.h) << int(c.style) << " " << c.glyph;
  }
  // A caption adds its text and the spacing after the picture.
  TacTitleBarItem* captioned = bar->Items()->Add();
  SolidGlyph(captioned, 16, 16, 0xFF0000FF);
  captioned->SetCaption("Files");
  captioned->UpdateSize();
  EXPECT_GT(captioned->ContentSize().cx, 16 + captioned->Spacing());
  EXPECT_EQ(captioned->Width(), captioned->ContentSize().cx + 6);
  // A spacer keeps the size it was given.
  TacTitleBarItem* spacer = bar->Items()->Add();
  spacer->SetStyle(bsSpacing);
  spacer->SetAutoSize(false);
  spacer->SetWidth(40);
  spacer->SetHeight(5);
  spacer->UpdateSize();
  EXPECT_EQ(spacer->Width(), 40);
  EXPECT_EQ(spacer->Height(), 5);
}

TEST_F(TitleBarTest, LayoutPacksEachAlignmentGroup) {
  TForm form(nullptr);
  TsTitleBar bar(&form);
  auto add = [&](TacItemAlign a, int w, TacBtnStyle st = bsButton) {
    TacTitleBarItem* it = bar.Items()->Add();
    it->SetAutoSize(false);
    it->SetStyle(st);
    it->SetAlign(a);
    it->SetWidth(w);
    it->SetHeight(18);
    return it;
  };
  TacTitleBarItem* l1 = add(tbaLeft, 22);
  TacTitleBarItem* r1 = add(tbaRight, 22);
  TacTitleBarItem* l2 = add(tbaLeft, 30, bsMenu);
  TacTitleBarItem* c1 = add(tbaCenter, 40, bsTab);
  TacTitleBarItem* s1 = add(tbaCenterInSpace, 20);
  TacTitleBarItem* hidden = add(tbaLeft, 100);
  hidden->SetVisible(false);
  bar.RightSpacing = 10;
  bar.FBarRect = TRect(40, 4, 500, 30);
  bar.FBarVCenter = 16;
  bar.FFullRight = 600;
  bar.CalcSizes();
  EXPECT_EQ(l1->Rect, TRect(40, 16 - 9, 62, 16 + 9));  // buttons centred on the bar's centre line
  EXPECT_EQ(l2->Rect, TRect(62, 4, 92, 22));           // menus at the bar's top
  EXPECT_EQ(r1->Rect.Left, 468);                       // 500 - 10 spacing - 22
  EXPECT_EQ(r1->Rect.Right, 490);
  EXPECT_EQ(c1->Rect, TRect(40 + (600 - 40 - 40) / 2, 30 - 18, 40 + (600 - 40 - 40) / 2 + 40, 30));  // tabs at the bottom
  // Centred in what the left and right groups leave.
  EXPECT_EQ(s1->Rect.Left, 40 + 52 + (460 - 32 - 52 - 20) / 2);
  EXPECT_EQ(bar.LeftWidth(), 52);
  EXPECT_EQ(bar.RightWidth(), 32);
  EXPECT_EQ(bar.ItemAt(Centre(l2->Rect)), 2);
  EXPECT_EQ(bar.ItemAt(TPoint(5, 5)), -1);
}

TEST_F(TitleBarTest, SkinnedFrameAnswersItemHitCodesAndPaintsItems) {
  TForm form(nullptr);
  form.SetBorderIcons({biSystemMenu, biMinimize, biMaximize});
  auto* bar = new TsTitleBar(&form);
  TacTitleBarItem* button = bar->Items()->Add();
  SolidGlyph(button, 10, 10, 0xFF0000FFu);  // blue
  TacTitleBarItem* spacer = bar->Items()->Add();
  spacer->SetStyle(bsSpacing);
  TacTitleBarItem* disabled = bar->Items()->Add();
  SolidGlyph(disabled, 10, 10, 0xFF0000FFu);
  disabled->SetEnabled(false);
  TacTitleBarItem* tab = bar->Items()->Add();
  tab->SetStyle(bsTab);
  tab->SetCaption("One");
  TacTitleBarItem* right = bar->Items()->Add();
  right->SetAlign(tbaRight);
  Show(form, bsSizeable, 420, 240);
  auto* p = new TsSkinProvider(&form);
  ASSERT_EQ(p->TitleBar(), bar);
  p->UpdateTitleBar();
  Repaint(p);

  // The bar lies between the icon and the title buttons.
  EXPECT_GE(bar->BarRect().Left, p->FIconRect.Right);
  EXPECT_LT(right->Rect.Right, p->ButtonMin.cpRect.Left);
  EXPECT_EQ(Hit(p, Centre(button->Rect)), HTTITLEITEM + 0);
  EXPECT_EQ(Hit(p, Centre(spacer->Rect)), HTCAPTION);  // a spacer is the caption under it
  EXPECT_EQ(Hit(p, Centre(disabled->Rect)), HTCAPTION);
  EXPECT_EQ(Hit(p, Centre(right->Rect)), HTTITLEITEM + 4);
  EXPECT_EQ(Hit(p, Centre(tab->Rect)), HTTITLEITEM + 3);
  tab->SetDown(true);
  EXPECT_EQ(Hit(p, Centre(tab->Rect)), HTCAPTION);  // a pressed tab is no element
  EXPECT_EQ(Hit(p, Centre(p->ButtonClose.cpRect)), HTCLOSE);

  // The glyph is painted into the frame; the disabled one at half strength over the title.
  const int gx = button->Rect.Left + button->IntXMargin() + bar->ItemsMargin + 2;
  const int gy = button->Rect.Top + (button->Height() - 10) / 2 + 2;
  EXPECT_EQ(ImageAt(*p, gx, gy), RGB(0, 0, 255));
  const int dx = gx + disabled->Rect.Left - button->Rect.Left;
  const COLORREF half = ImageAt(*p, dx, gy);
  EXPECT_NEAR(GetBValue(half), (255 + GetBValue(ColorToRGB(kTitleColor))) / 2, 3);
  EXPECT_NEAR(GetRValue(half), GetRValue(ColorToRGB(kTitleColor)) / 2, 3);
  // And it reaches the window.
  EXPECT_EQ(At(form, gx, gy), RGB(0, 0, 255));
}

TEST_F(TitleBarTest, TabsOfAGroupReleaseEachOtherButtonsClickOnRelease) {
  TForm form(nullptr);
  TsTitleBar bar(&form);
  int clicks = 0;
  auto add = [&](TacBtnStyle st, int group) {
    TacTitleBarItem* it = bar.Items()->Add();
    it->SetStyle(st);
    it->SetGroupIndex(group);
    it->OnClick = [&](TObject*) { ++clicks; };
    return it;
  };
  TacTitleBarItem* t1 = add(bsTab, 0);
  TacTitleBarItem* t2 = add(bsTab, 0);
  TacTitleBarItem* b0 = add(bsButton, 0);
  b0->SetDown(true);
  t1->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_TRUE(t1->Down());
  EXPECT_EQ(clicks, 1);  // a tab clicks on the press
  t1->DoMouseUp(mbLeft, {}, 0, 0);
  EXPECT_EQ(clicks, 1);
  t2->DoMouseDown(mbLeft, {}, 0, 0);
  t2->DoMouseUp(mbLeft, {}, 0, 0);
  EXPECT_TRUE(t2->Down());
  EXPECT_FALSE(t1->Down());
  EXPECT_EQ(t1->State(), 0);
  EXPECT_TRUE(b0->Down());  // a button of group 0 is no member of the tabs' group
  // Pressing the tab that is down does nothing.
  t2->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(clicks, 2);

  // A button clicks on the left release only, never on the right one.
  TacTitleBarItem* b = add(bsButton, 0);
  b->DoMouseDown(mbRight, {}, 0, 0);
  b->DoMouseUp(mbRight, {}, 0, 0);
  EXPECT_EQ(clicks, 2);
  b->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(clicks, 2);
  b->DoMouseUp(mbLeft, {}, 0, 0);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(b->State(), 1);
  // A disabled item ignores the mouse.
  b->SetEnabled(false);
  b->DoMouseDown(mbLeft, {}, 0, 0);
  b->DoMouseUp(mbLeft, {}, 0, 0);
  EXPECT_EQ(clicks, 3);
}

TEST_F(TitleBarTest, ASecondClickOnAnOpenDropDownClosesIt) {
  TForm form(nullptr);
  Show(form, bsSizeable, 400, 240);
  TsTitleBar bar(&form);
  TacTitleBarItem* it = bar.Items()->Add();
  it->SetStyle(bsMenu);
  auto* menu = new ScriptedMenu(&form);
  it->SetDropdownMenu(menu);
  it->Rect = TRect(50, 4, 90, 24);
  int clicks = 0;
  it->OnClick = [&](TObject*) { ++clicks; };
  RECT wr;
  GetWindowRect(form.Handle(), &wr);
  const TPoint on(wr.left + 60, wr.top + 10);

  // Opened under the item; closed by a click elsewhere: the item clicks.
  menu->whileOpen = [&] {
    EXPECT_TRUE(it->DroppedDown());
    EXPECT_EQ(it->State(), 2);
    SetCursorPos(wr.left + 300, wr.top + 150);
  };
  it->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(menu->shown, 1);
  EXPECT_EQ(menu->at, TPoint(wr.left + 50, wr.top + 24));
  EXPECT_FALSE(it->DroppedDown());
  EXPECT_EQ(clicks, 1);

  // Closed by a click on the item itself whose press still waits in the
  // queue: that press finds the menu closed and does not open it again.
  menu->whileOpen = [&] {
    SetCursorPos(on.X, on.Y);
    PostMessageW(form.Handle(), WM_NCLBUTTONDOWN, HTTITLEITEM, MAKELPARAM(on.X, on.Y));
  };
  it->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(menu->shown, 2);
  EXPECT_EQ(it->State(), 1);
  EXPECT_EQ(clicks, 1);
  MSG m;
  while (PeekMessageW(&m, form.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {}
  it->DoMouseUp(mbLeft, {}, 0, 0);  // the release of the first try
  it->DoMouseDown(mbLeft, {}, 0, 0);  // that queued press
  EXPECT_EQ(menu->shown, 2);
  it->DoMouseUp(mbLeft, {}, 0, 0);

  // A menu loop that swallowed the closing click costs no later click.
  menu->whileOpen = [&] { SetCursorPos(on.X, on.Y); };
  it->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(menu->shown, 3);
  it->DoMouseUp(mbLeft, {}, 0, 0);
  menu->whileOpen = nullptr;
  it->DoMouseDown(mbLeft, {}, 0, 0);
  EXPECT_EQ(menu->shown, 4);
}

TEST_F(TitleBarTest, TheFramesMouseReachesItsItems) {
  TForm form(nullptr);
  auto* bar = new TsTitleBar(&form);
  TacTitleBarItem* button = bar->Items()->Add();
  SolidGlyph(button, 10, 10, 0xFF0000FFu);
  int clicks = 0, enters = 0, rightUps = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->OnMouseEnter = [&](TObject*) { ++enters; };
  button->OnMouseUp = [&](TObject*, TMouseButtonKind B, TShiftState, int, int) { rightUps += B == mbRight; };
  Show(form, bsSizeable, 420, 240);
  auto* sp = new TsSkinProvider(&form);
  sp->UpdateTitleBar();
  Repaint(sp);
  RECT wr;
  GetWindowRect(form.Handle(), &wr);
  const TPoint c = Centre(button->Rect);
  const LPARAM at = MAKELPARAM(c.X + wr.left, c.Y + wr.top);
  HWND h = form.Handle();
  const WPARAM code = HTTITLEITEM + 0;
  SendMessageW(h, WM_NCMOUSEMOVE, code, at);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(button->State(), 1);
  SendMessageW(h, WM_NCLBUTTONDOWN, code, at);
  EXPECT_EQ(button->State(), 2);
  EXPECT_EQ(clicks, 0);
  SendMessageW(h, WM_NCLBUTTONUP, code, at);
  EXPECT_EQ(clicks, 1);
  SendMessageW(h, WM_NCRBUTTONDOWN, code, at);
  SendMessageW(h, WM_NCRBUTTONUP, code, at);
  EXPECT_EQ(rightUps, 1);
  EXPECT_EQ(clicks, 1);  // the right button never clicks
  // Moving off the item leaves it normal.
  SendMessageW(h, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(wr.left + 200, wr.top + 8));
  EXPECT_EQ(button->State(), 0);
}
