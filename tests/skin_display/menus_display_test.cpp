// A skinned popup menu over a skinned form, and the library's message box,
// on a real X server: each window shows what the layer painted.

#include <memory>
#include <string>

#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "platform/win/Menu.h"
#include "skin/controls/acHookProvider.h"
#include "skin/controls/acMessageBox.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

class MenusDisplayTest : public XDisplayTest {
 protected:
  void SetUp() override {
    XDisplayTest::SetUp();
    if (!x_) return;
    InstallHookServices();
    manager = MakeOwnSkinManager();
    ASSERT_TRUE(manager->CommonSkinData.Active);
  }
  void TearDown() override {
    manager.reset();
    HookServices = TacHookServices();
    XDisplayTest::TearDown();
  }
  // A skinned form at (60, 40), shown and active.
  void ShowSkinned(TForm& form) {
    form.SetBounds(60, 40, 460, 320);
    form.SetCaption("Menus");
    (new TsSkinProvider(&form))->Loaded();
    form.Show();
    SetActiveWindow(form.Handle());
    Settle();
  }
  std::unique_ptr<TsSkinManager> manager;
};

}  // namespace

TEST_F(MenusDisplayTest, PopupMenuShownOverASkinnedForm) {
  TForm form(nullptr);
  auto* images = new TCustomImageList(&form);
  for (int i = 0; i < 3; ++i) {
    auto bmp = NewBitmap32(16, 16);
    FillRect32(bmp.get(), TRect(2, 2, 14, 14), TColor(0x2060A0 + i * 0x301000), 255);
    images->Add(bmp.get(), nullptr);
  }
  auto* popup = new TPopupMenu(&form);
  popup->SetImages(images);
  for (const char* caption : {"&Open", "&Save", "-", "Convert &all", "&Close"}) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    item->SetImageIndex(popup->Items()->Count() % 3);
    popup->Items()->Add(item);
  }
  popup->Items()->Items(1)->SetShortCut(ShortCut('S', TShiftState{ssCtrl}));
  popup->Items()->Items(4)->SetEnabled(false);
  manager->SkinableMenus()->HookPopupMenu(popup, true);
  ShowSkinned(form);

  HWND shown = nullptr;
  bool menuSkinned = false;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if ((m.Msg == WM_MEASUREITEM || m.Msg == WM_DRAWITEM) && popup->WindowMessage(m)) return;
    if (m.Msg == WM_ENTERIDLE && !shown) {
      shown = FindWindowW("#32768", nullptr);
      if (shown) {
        menuSkinned = SendSkinCommand(shown, SKC_ISSKINNED) == 1;
        ExpectShowsItsSurface(shown, "popup_menu", true);
        EXPECT_EQ(KeyColourPixels(shown), 0);
      }
      EndMenu();
    }
    old(m);
  };
  TrackPopupMenu(popup->Handle(), TPM_RETURNCMD, 140, 110, 0, form.Handle(), nullptr);
  form.WindowProc = old;
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(menuSkinned);
  Settle();
  ExpectShowsItsSurface(form.Handle(), "popup_menu_owner");
}

TEST_F(MenusDisplayTest, MessageBoxShowsItsSkinnedFrameAndButtons) {
  TForm form(nullptr);
  ShowSkinned(form);
  HWND box = nullptr;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_ENTERIDLE && !box) {
      box = HWND(m.LParam);
      xserver::Sync(*x_);
      EXPECT_NE(FindProvider(box), nullptr);
      ExpectShowsItsSurface(box, "message_box");
      EXPECT_EQ(KeyColourPixels(box), 0);
      // Answered by a click through the X server on its "No" button.
      RECT r{};
      for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongPtrW(c, GWLP_ID) == IDNO) GetWindowRect(c, &r);
      xserver::Click(*x_, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    old(m);
  };
  EXPECT_EQ(MessageDlgIndirectPos("", "Replace the file?", mtConfirmation, mbYes | mbNo | mbCancel, 0, 120, 100), IDNO);
  form.WindowProc = old;
  ASSERT_NE(box, nullptr);
}
