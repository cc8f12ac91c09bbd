// A form with extended borders under the program's own skin on a real X
// server: the form's window (cut to its client part and menu line) and its
// extended-border window behind it both show their surfaces, and turning the
// borders off gives the form its whole frame back.

#include <memory>

#include "platform/vcl/Menus.h"
#include "skin/core/acStartup.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class BordersDisplayTest : public XDisplayTest {
 protected:
  void SetUp() override {
    XDisplayTest::SetUp();
    if (!x_) return;
    SystemBindings.UpdateLayeredWindow = reinterpret_cast<void*>(&UpdateLayeredWindow);
    manager = MakeOwnSkinManager();
    manager->SetExtendedBorders(true);
    ASSERT_TRUE(manager->CommonSkinData.Active);
  }
  void TearDown() override {
    manager.reset();
    SystemBindings.UpdateLayeredWindow = nullptr;
    XDisplayTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> manager;
};

}  // namespace

TEST_F(BordersDisplayTest, FormAndItsBorderWindowReachTheXServer) {
  TForm form(nullptr);
  form.SetBorderStyle(bsSizeable);
  form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
  form.SetBounds(120, 100, 420, 280);
  form.SetCaption("Tarnwick extended borders");
  auto* sp = new TsSkinProvider(&form);
  form.Show();
  SetActiveWindow(form.Handle());
  Settle();
  ASSERT_NE(sp->BorderForm, nullptr);
  ASSERT_NE(sp->BorderForm->AForm, nullptr);
  HWND border = sp->BorderForm->AForm->Handle();
  EXPECT_TRUE(IsWindowVisible(border));
  EXPECT_EQ(GetWindow(form.Handle(), GW_HWNDNEXT), border);
  ExpectShowsItsSurface(form.Handle(), "borders_form");
  ExpectShowsItsSurface(border, "borders_border_window", true);

  // Moved: the border window follows and still shows the frame.
  form.SetBounds(180, 140, 420, 280);
  Settle();
  RECT b{}, f{};
  GetWindowRect(border, &b);
  GetWindowRect(form.Handle(), &f);
  EXPECT_EQ(f.left - b.left, sp->BorderForm->OffsetX());
  EXPECT_EQ(f.top - b.top, sp->BorderForm->OffsetY());
  ExpectShowsItsSurface(border, "borders_border_window_moved", true);

  // Off: the form paints its whole frame itself again.
  sp->SetAllowExtBorders(false);
  Settle();
  EXPECT_EQ(sp->BorderForm, nullptr);
  ExpectShowsItsSurface(form.Handle(), "borders_off_form");
  EXPECT_EQ(KeyColourPixels(form.Handle()), 0);
}
