// A form with a title bar of its own items, an open popup with its shadow
// and an item's hint, skinned with the program's own skin on a real X server:
// each X window shows what the layer painted.

#include <memory>
#include <string>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sPopupController.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class TitleBarDisplayTest : public XDisplayTest {
 protected:
  void SetUp() override {
    XDisplayTest::SetUp();
    if (!x_) return;
    manager = MakeOwnSkinManager();
    ASSERT_TRUE(manager->CommonSkinData.Active);
  }
  void TearDown() override {
    popup.reset();
    form.reset();
    manager.reset();
    XDisplayTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> manager;
  std::unique_ptr<TForm> form, popup;
};

}  // namespace

TEST_F(TitleBarDisplayTest, TitleBarPopupAndHintReachTheXWindows) {
  form = std::make_unique<TForm>(nullptr);
  form->SetBounds(80, 60, 480, 300);
  form->SetCaption("Tarnwick");
  auto* bar = new TsTitleBar(form.get());
  bar->SetShowCaption(true);
  TacTitleBarItem* tools = bar->Items()->Add();
  tools->SetCaption("Tools");
  tools->Hint = "Conversion tools";
  TacTitleBarItem* tab = bar->Items()->Add();
  tab->SetStyle(bsTab);
  tab->SetCaption("Queue");
  tab->SetDown(true);
  TacTitleBarItem* info = bar->Items()->Add();
  info->SetStyle(bsInfo);
  info->SetAlign(tbaRight);
  info->SetCaption("3 files");
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(20, 20, 160, 26);
  panel->SetCaption("Presets");
  auto* sp = new TsSkinProvider(form.get());
  form->Show();
  SetActiveWindow(form->Handle());
  Settle();
  ASSERT_EQ(sp->TitleBar(), bar);
  ASSERT_GT(tools->Rect.Width(), 0);
  ExpectShowsItsSurface(form->Handle(), "titlebar_form");
  EXPECT_EQ(KeyColourPixels(form->Handle()), 0);

  // A popup under the panel, with its shadow behind it.
  popup = std::make_unique<TForm>(nullptr);
  popup->SetBorderStyle(bsNone);
  popup->SetBounds(0, 0, 200, 120);
  popup->SetColor(TColor(0xF0E8E0));
  auto* list = new TListBox(popup.get());
  list->SetParent(popup.get());
  list->SetAlign(alClient);
  list->Items()->Add("MP4, H.264");
  list->Items()->Add("WebM, VP9");
  TsPopupController ctl(nullptr);
  ctl.ShowForm(popup.get(), panel, 60);
  Settle();
  ASSERT_TRUE(IsWindowVisible(popup->Handle()));
  ExpectShowsItsSurface(popup->Handle(), "titlebar_popup");
  TacFormHandler* h = ctl.FormHandlers[0].get();
  ASSERT_NE(h->ShadowForm, nullptr);
  ExpectShowsItsSurface(h->ShadowForm->Handle(), "titlebar_popup_shadow", true);

  // The hint of a title-bar item.
  SetCursorPos(80 + tools->Rect.Left + 4, 60 + tools->Rect.Bottom + 4);
  ShowTitleItemHint(tools);
  ASSERT_NE(tools->HintWnd, nullptr);
  Settle();
  ExpectShowsItsSurface(tools->HintWnd->Handle(), "titlebar_hint");
  HideTitleItemHint(tools);
  ctl.KillAllForms();
}
