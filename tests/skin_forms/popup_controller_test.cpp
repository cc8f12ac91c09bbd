// Popup forms of controls: where they open, the unroll animation with its
// shadow, and the ways they close (a click on the opening control, which is
// swallowed, a click elsewhere, focus loss, another window taking the
// mouse, their own Close).

#include <gtest/gtest.h>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sPopupController.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class PopupControllerTest : public FormSkinTest {
 protected:
  // A parent form at (X, Y) with the opening panel near its bottom and an edit.
  void MakeParent(int X, int Y) {
    parent = std::make_unique<TForm>(nullptr);
    parent->SetBorderStyle(bsNone);
    parent->SetBounds(X, Y, 200, 120);
    panel = new TPanel(parent.get());
    panel->SetParent(parent.get());
    panel->SetBounds(10, 80, 120, 24);
    panel->OnMouseDown = [this](TObject*, TMouseButtonKind, TShiftState, int, int) { ++panelClicks; };
    edit = new TEdit(parent.get());
    edit->SetParent(parent.get());
    edit->SetBounds(10, 10, 100, 22);
    other = new TEdit(parent.get());
    other->SetParent(parent.get());
    other->SetBounds(10, 40, 100, 22);
    parent->Show();
    SetActiveWindow(parent->Handle());
    Application->ProcessMessages();
    popup = std::make_unique<TForm>(nullptr);
    popup->SetBorderStyle(bsNone);
    popup->SetBounds(0, 0, 150, 100);
  }
  void Run(int Ms) {
    for (int i = 0; i < Ms; ++i) {
      Headless().AdvanceClock(1);
      Application->ProcessMessages();
    }
  }
  RECT PanelRect() {
    RECT r;
    GetWindowRect(panel->Handle(), &r);
    return r;
  }
  RECT PopupRect() {
    RECT r;
    GetWindowRect(popup->Handle(), &r);
    return r;
  }
  bool PopupShown() { return popup->HandleAllocated() && IsWindowVisible(popup->Handle()); }

  void TearDown() override {
    popup.reset();
    parent.reset();
    FormSkinTest::TearDown();
  }

  TsPopupController ctl{nullptr};
  std::unique_ptr<TForm> parent, popup;
  TPanel* panel = nullptr;
  TEdit* edit = nullptr;
  TEdit* other = nullptr;
  int panelClicks = 0, ownCloses = 0, notices = 0;
};

}  // namespace

TEST_F(PopupControllerTest, OpensBesideItsControlWhereThereIsRoom) {
  struct Case {
    int x, y;      // parent form
    int dir;       // expected AnimDirection
  } cases[] = {
      {100, 100, 0},   // below the control
      {100, 800, 1},   // no room below (work area ends at 960): above, unrolled upwards
      {1500, 100, 2},  // past the right edge: aligned to the work area's right (value 2)
      {1500, 800, 3},
  };
  for (const Case& c : cases) {
    MakeParent(c.x, c.y);
    ctl.ShowForm(popup.get(), panel);
    ASSERT_TRUE(PopupShown()) << c.x << "," << c.y;
    const RECT p = PanelRect(), r = PopupRect();
    EXPECT_EQ(ctl.AnimDirection, c.dir);
    EXPECT_EQ(r.top, c.dir & 1 ? p.top - 100 - 1 : p.bottom - 2);
    EXPECT_EQ(r.left, c.dir & 2 ? 1600 - 150 : p.left);
    // Not activated; its shadow lies behind it, 9 pixels wider on every side.
    EXPECT_EQ(GetActiveWindow(), parent->Handle());
    TacFormHandler* h = ctl.FormHandlers[size_t(ctl.GetFormIndex(popup.get()))].get();
    ASSERT_NE(h->ShadowForm, nullptr);
    RECT s;
    GetWindowRect(h->ShadowForm->Handle(), &s);
    EXPECT_EQ(s.left, r.left - 9);
    EXPECT_EQ(s.bottom, r.bottom + 9);
    EXPECT_TRUE(IsWindowVisible(h->ShadowForm->Handle()));
    popup->Close();
    EXPECT_FALSE(IsWindowVisible(h->ShadowForm->Handle()));
  }
}

TEST_F(PopupControllerTest, UnrollsInTimeDivTwelveStepsWithItsShadow) {
  MakeParent(100, 100);
  std::vector<TRect> frames;
  std::vector<int> alphas;
  ctl.OnUnrollFrame = [&](const TRect& R, uint8_t A) {
    frames.push_back(R);
    alphas.push_back(A);
  };
  ctl.ShowFormPos(popup.get(), TPoint(300, 300), 120);
  ASSERT_EQ(frames.size(), 11u);  // 120 div 12 steps after the first, empty frame
  EXPECT_EQ(frames.front().Height(), 0);
  for (size_t i = 1; i < frames.size(); ++i) EXPECT_GE(frames[i].Height(), frames[i - 1].Height());
  EXPECT_GE(frames.back().Height(), 99);
  EXPECT_EQ(frames.back().Top, 298);  // downwards from the point
  EXPECT_EQ(alphas.back(), 255);
  EXPECT_LT(alphas.front(), 255);
  EXPECT_TRUE(PopupShown());
  EXPECT_FALSE(FormAnimating);
  TacFormHandler* h = ctl.FormHandlers[0].get();
  EXPECT_FALSE(h->ShadowForm->Locked);

  // Under 12 ms: no frames between, but still shown.
  popup->Close();
  frames.clear();
  ctl.ShowFormPos(popup.get(), TPoint(300, 300), 5);
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(PopupShown());
}

TEST_F(PopupControllerTest, AClickOnTheOpeningControlClosesItAndIsSwallowed) {
  MakeParent(100, 100);
  popup->OnClose = [this](TObject*, TCloseAction&) { ++ownCloses; };
  TWndMethod panelProc = panel->WindowProc;
  panel->WindowProc = [this, panelProc](TMessage& M) {
    if (M.Msg == WM_SKINCOMMAND && SkinCommandOf(M) == SKC_POPUPCLOSED && M.LParam == LPARAM(popup.get())) ++notices;
    panelProc(M);
  };
  ctl.ShowForm(popup.get(), panel);
  ASSERT_TRUE(PopupShown());
  const RECT p = PanelRect();
  InjectMouseMove(p.left + 5, p.top + 5);
  InjectMouseButton(TMouseButton::Left, true, p.left + 5, p.top + 5);
  InjectMouseButton(TMouseButton::Left, false, p.left + 5, p.top + 5);
  Application->ProcessMessages();
  EXPECT_FALSE(PopupShown());
  EXPECT_EQ(panelClicks, 0);
  EXPECT_EQ(ownCloses, 1);
  EXPECT_EQ(notices, 1);
  // With the popup closed the control hears its clicks again.
  InjectMouseButton(TMouseButton::Left, true, p.left + 5, p.top + 5);
  InjectMouseButton(TMouseButton::Left, false, p.left + 5, p.top + 5);
  Application->ProcessMessages();
  EXPECT_EQ(panelClicks, 1);
}

TEST_F(PopupControllerTest, FocusLossForeignCaptureAndOwnCloseCloseIt) {
  MakeParent(100, 100);
  popup->OnClose = [this](TObject*, TCloseAction&) { ++ownCloses; };

  // A click elsewhere on the parent moves the focus: the popup goes.
  other->SetFocus();
  ctl.ShowForm(popup.get(), panel);
  ASSERT_TRUE(PopupShown());
  RECT e;
  GetWindowRect(edit->Handle(), &e);
  InjectMouseButton(TMouseButton::Left, true, e.left + 5, e.top + 5);
  InjectMouseButton(TMouseButton::Left, false, e.left + 5, e.top + 5);
  Application->ProcessMessages();
  EXPECT_FALSE(PopupShown());
  EXPECT_EQ(ownCloses, 1);

  // Another window holding the mouse (a drag elsewhere) closes it at the next check (100 ms).
  ctl.ShowForm(popup.get(), panel);
  ASSERT_TRUE(PopupShown());
  SetCapture(other->Handle());
  Run(50);
  EXPECT_TRUE(PopupShown());
  Run(60);
  EXPECT_FALSE(PopupShown());
  ReleaseCapture();

  // Its own Close calls its own OnClose once; a refusing OnClose keeps it open.
  ctl.ShowForm(popup.get(), panel);
  ownCloses = 0;
  popup->Close();
  EXPECT_FALSE(PopupShown());
  EXPECT_EQ(ownCloses, 1);
  ctl.ShowForm(popup.get(), panel);
  TacFormHandler* h = ctl.FormHandlers[0].get();
  h->OldOnClose = [&](TObject*, TCloseAction& A) { A = caNone; };
  popup->Close();
  EXPECT_TRUE(PopupShown());
  // Forbidden closing holds against every trigger until allowed.
  h->OldOnClose = nullptr;
  ctl.ClosingForbide(popup.get());
  edit->SetFocus();
  panel->Perform(WM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(PopupShown());
  ctl.ClosingAllow(popup.get());
  ctl.KillAllForms();
  EXPECT_FALSE(PopupShown());
  EXPECT_TRUE(ctl.FormHandlers.empty());
}
