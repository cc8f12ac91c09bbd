// A form skinned with the program's own skin on a real X server: frame,
// title buttons and menu line in every border style reach the X window as
// the layer painted them.

#include <memory>
#include <string>

#include "platform/vcl/Menus.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class FormDisplayTest : public XDisplayTest {
 protected:
  void SetUp() override {
    XDisplayTest::SetUp();
    if (!x_) return;
    manager = MakeOwnSkinManager();
    ASSERT_TRUE(manager->CommonSkinData.Active);
  }
  void TearDown() override {
    manager.reset();
    XDisplayTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> manager;
};

void AddMenu(TForm& form) {
  auto* menu = new TMainMenu(&form);
  for (const char* caption : {"&File", "&Edit", "&View", "&Help"}) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    auto* sub = new TMenuItem(&form);
    sub->SetCaption("Item");
    item->Add(sub);
    menu->Items()->Add(item);
  }
  form.SetMenu(menu);
}

}  // namespace

TEST_F(FormDisplayTest, FrameAndTitleButtonsOfEveryBorderStyleReachTheXWindow) {
  struct Case {
    TFormBorderStyle style;
    const char* name;
    bool menu;
  };
  for (const Case& c : {Case{bsNone, "form_none", false}, Case{bsSingle, "form_single", false},
                        Case{bsSizeable, "form_sizeable_menu", true}, Case{bsDialog, "form_dialog", false},
                        Case{bsToolWindow, "form_toolwindow", false}, Case{bsSizeToolWin, "form_sizetoolwin", true}}) {
    SCOPED_TRACE(c.name);
    TForm form(nullptr);
    form.SetBorderStyle(c.style);
    form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
    form.SetBounds(80, 60, 420, 280);
    form.SetCaption("Tarnwick test form");
    if (c.menu) AddMenu(form);
    auto* sp = new TsSkinProvider(&form);
    form.Show();
    SetActiveWindow(form.Handle());
    Settle();
    ASSERT_EQ(SendSkinCommand(form.Handle(), SKC_ISSKINNED), 1);
    ASSERT_NE(sp->SkinData()->FCacheBmp, nullptr);
    ExpectShowsItsSurface(form.Handle(), c.name);
    EXPECT_EQ(KeyColourPixels(form.Handle()), 0);
  }
}

TEST_F(FormDisplayTest, ActivationAndCaptionChangesReachTheXWindow) {
  TForm form(nullptr);
  form.SetBounds(80, 60, 420, 280);
  form.SetCaption("First caption");
  AddMenu(form);
  new TsSkinProvider(&form);
  form.Show();
  SetActiveWindow(form.Handle());
  Settle();
  TForm other(nullptr);
  other.SetBorderStyle(bsNone);
  other.SetBounds(700, 500, 100, 100);
  other.Show();
  SetActiveWindow(other.Handle());
  Settle();
  ExpectShowsItsSurface(form.Handle(), "form_inactive");
  form.SetCaption("A longer second caption of the form");
  SetActiveWindow(form.Handle());
  Settle();
  ExpectShowsItsSurface(form.Handle(), "form_caption_changed");
  EXPECT_EQ(KeyColourPixels(form.Handle()), 0);
}
