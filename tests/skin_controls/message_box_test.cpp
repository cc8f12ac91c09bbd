// The library's message box: the style chosen from the dialog type and the
// button set, the box shown as a real "#32770" window whose buttons the
// creation hook skins on a skinned application, and the start-up values.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win/Backend.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/controls/acHookProvider.h"
#include "skin/controls/acMessageBox.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_controls/ManagedSkin.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"

using namespace skintest;

std::shared_ptr<void> StartSkinManager(const std::string& Directory, const std::string& SkinName) {
  auto m = std::make_shared<TsSkinManager>(nullptr);
  m->SetSkinDirectory(Directory);
  m->SetSkinName(SkinName);
  return m;
}

namespace {

TEST(MessageDlgStyle, FirstMatchingRuleGivesTheButtons) {
  const struct {
    const char* name;
    int type;
    unsigned buttons;
    unsigned style;
  } cases[] = {
      {"yes no cancel, confirm", mtConfirmation, mbYes | mbNo | mbCancel, MB_YESNOCANCEL | MB_ICONQUESTION},
      {"OK wins over Yes", mtWarning, mbOK | mbYes, MB_OK | MB_ICONWARNING},
      {"OK with Cancel", mtError, mbOK | mbCancel, MB_OKCANCEL | MB_ICONERROR},
      {"Ignore alone", mtInformation, mbIgnore, MB_ABORTRETRYIGNORE | MB_ICONINFORMATION},
      {"Yes No", mtCustom, mbYes | mbNo, MB_YESNO},
      {"Retry", mtCustom, mbRetry | mbCancel, MB_RETRYCANCEL},
      {"Cancel alone is OK, Help added", mtCustom, mbCancel | mbHelp, MB_OK | MB_HELP},
      {"nothing", mtCustom, 0, MB_OK},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageDlgStyle(c.type, c.buttons), c.style) << c.name;
}

TEST(SmallUnits, StartUpValues) {
  const String saved = FormatSettings().ShortDateFormat;
  FormatSettings().ShortDateFormat = "dd.MM.yyyy";
  InitSmallUnits();
  EXPECT_TRUE(FourDigitYear);
  EXPECT_EQ(TodayCaption, "Today: ");
  ASSERT_NE(CustomColors, nullptr);
  EXPECT_EQ(CustomColors->Count(), 18);
  EXPECT_EQ(CustomColors->Strings(17), "FFFFFF");
  FormatSettings().ShortDateFormat = "d/m/yy";
  InitSmallUnits();
  EXPECT_FALSE(FourDigitYear);
  DoneSmallUnits();
  EXPECT_EQ(CustomColors, nullptr);
  EXPECT_TRUE(TodayCaption.empty());
  FormatSettings().ShortDateFormat = saved;
}

class MessageBoxTest : public WindowTest {
 protected:
  TempFolder dir;
  static inline std::function<void(HWND box)> onIdle;
  static inline WNDPROC formProc = nullptr;

  static LRESULT OwnerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ENTERIDLE && onIdle) {
      auto step = std::move(onIdle);
      onIdle = nullptr;
      step(HWND(lp));
      return 0;
    }
    return CallWindowProcW(formProc, w, m, wp, lp);
  }
  void SetUp() override {
    WindowTest::SetUp();
    Headless().ScriptedMessageBoxes = false;
    FlatSkin().WriteFolder(dir.Path() + "Flat");
    InstallHookServices();
  }
  void TearDown() override {
    onIdle = nullptr;
    HookServices = TacHookServices();
    WindowTest::TearDown();
  }
  static HWND ChildWithId(HWND parent, int id) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetWindowLongPtrW(c, GWLP_ID) == id) return c;
    return nullptr;
  }
  static std::string TextOf(HWND wnd) {
    char buf[256] = "";
    GetWindowTextW(wnd, buf, sizeof(buf));
    return buf;
  }
};

TEST_F(MessageBoxTest, ShownAsASkinnedDialogAndAnsweredByAClick) {
  auto manager = std::make_unique<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(dir.Path());
  manager->SetSkinName("Flat");
  ASSERT_TRUE(manager->GlobalHookInstalled());
  TForm form(nullptr);
  ShowForm(form);
  formProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&OwnerProc))));

  struct Seen {
    std::string className, caption, text;
    std::vector<std::pair<int, std::string>> buttons;
    int skinnedButtons = 0;
    RECT place{};
    bool formEnabled = true;
    int nextLeft = 0;
  } seen;
  onIdle = [&](HWND box) {
    seen.className = GetWndClassName(box);
    seen.caption = TextOf(box);
    seen.text = TextOf(ChildWithId(box, 0xFFFF));
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (GetWndClassName(c) != "BUTTON" && GetWndClassName(c) != "Button" && GetWndClassName(c) != "button") continue;
      seen.buttons.emplace_back(int(GetWindowLongPtrW(c, GWLP_ID)), TextOf(c));
      auto* handler = reinterpret_cast<TacMainWnd*>(SendSkinCommand(c, SKC_GETHANDLER, 0));
      if (dynamic_cast<TacBtnWnd*>(handler)) ++seen.skinnedButtons;
    }
    GetWindowRect(box, &seen.place);
    seen.formEnabled = IsWindowEnabled(form.Handle());
    seen.nextLeft = NextDialogLeft;
    EXPECT_NE(FindProvider(box), nullptr);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(ChildWithId(box, IDNO), &r));
    const POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    InjectMouseMove(p.x, p.y);
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  };

  EXPECT_EQ(MessageDlgIndirectPos("", "Replace the file?", mtConfirmation, mbYes | mbNo | mbCancel, 0, 40, 30), IDNO);
  EXPECT_EQ(seen.className, "#32770");
  EXPECT_EQ(seen.caption, "Confirm");
  EXPECT_EQ(seen.text, "Replace the file?");
  const std::vector<std::pair<int, std::string>> expected{{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
  EXPECT_EQ(seen.buttons, expected);
  EXPECT_EQ(seen.skinnedButtons, 3);
  EXPECT_EQ(seen.place.left, 40);
  EXPECT_EQ(seen.place.top, 30);
  EXPECT_EQ(seen.nextLeft, 40);
  EXPECT_FALSE(seen.formEnabled);

  // Afterwards: the place is forgotten, the form enabled and active again.
  EXPECT_EQ(NextDialogLeft, -1);
  EXPECT_EQ(NextDialogTop, -1);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  EXPECT_EQ(GetActiveWindow(), form.Handle());
  EXPECT_EQ(VisibleDialogCount(), 0);
  SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(formProc)));
}

TEST_F(MessageBoxTest, CustomTypeWithoutCaptionShowsNoneAndTheHelpButtonAsksForHelp) {
  TForm form(nullptr);
  ShowForm(form);
  formProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&OwnerProc))));
  int helped = 0;
  MessageBoxHelp = [&](int ctx) { helped = ctx; };
  std::string caption;
  onIdle = [&](HWND box) {
    caption = TextOf(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDHELP, BN_CLICKED), LPARAM(ChildWithId(box, IDHELP)));
    onIdle = [](HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(ChildWithId(box, IDOK))); };
  };
  EXPECT_EQ(MessageDlgIndirect("Done.", mtCustom, mbOK | mbHelp, 77), IDOK);
  EXPECT_EQ(caption, "");
  EXPECT_EQ(helped, 77);
  EXPECT_EQ(NextDialogLeft, -1);
  MessageBoxHelp = nullptr;
  SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(formProc)));
}

}  // namespace
