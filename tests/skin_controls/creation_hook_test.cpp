// The window-creation hook: which handler a child control of a standard
// dialog gets, standard dialogs skinned with their controls when they show,
// the limit on visible skinned dialogs, and forms given a provider when they
// are activated unless their tag or the rules say no.

#include <gtest/gtest.h>

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <memory>
#include <vector>

#include "platform/win/CommCtrl.h"
#include "platform/win/Controls.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/controls/acCheckBoxWnd.h"
#include "skin/controls/acHookProvider.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"

using namespace skintest;

namespace {

TEST(CreationHookTable, ChildControlsOfDialogsGetTheirHandlers) {
  struct Case {
    const char* cls;
    DWORD style;
    DWORD ex;
    bool visible;
    int height;
    const char* handler;  // nullptr: none
    const char* section;
    int flags;
    bool made;  // the hook has a handler class to create (tool bars have none yet)
  };
  const Case cases[] = {
      {"button", BS_PUSHBUTTON, 0, true, 20, "TacBtnWnd", "", 0, true},
      {"button", BS_DEFPUSHBUTTON, 0, true, 20, "TacBtnWnd", "", 0, true},
      {"button", BS_AUTOCHECKBOX, 0, true, 20, "TacCheckBoxWnd", "", 0, true},
      // Text on the left does not make a check box or radio button a push button.
      {"button", BS_AUTOCHECKBOX | BS_LEFTTEXT, 0, true, 20, "TacCheckBoxWnd", "", 0, true},
      {"button", BS_AUTORADIOBUTTON | BS_LEFTTEXT, 0, true, 20, "TacCheckBoxWnd", "", 0, true},
      {"button", BS_AUTO3STATE | BS_LEFTTEXT | WS_TABSTOP, 0, true, 20, "TacCheckBoxWnd", "", 0, true},
      {"button", BS_GROUPBOX, 0, true, 20, "TacGroupBoxWnd", "GROUPBOX", 0, true},
      {"button", 0x0C, 0, true, 20, "TacSplitBtnWnd", "", 0, true},
      // Owner-drawn and command-link buttons are left alone, unless they are framework buttons.
      {"button", BS_OWNERDRAW, 0, true, 20, nullptr, "", 0, false},
      {"button", 0x0F, 0, true, 20, nullptr, "", 0, false},
      {"tbutton", BS_OWNERDRAW, 0, true, 20, "TacBtnWnd", "", 0, true},
      {"tbutton", 0x0F, 0, true, 20, "TacSplitBtnWnd", "", 0, true},
      {"static", SS_LEFT, 0, true, 20, "TacStaticWnd", "", 0, true},
      {"static", SS_ICON, 0, true, 20, "TacIconWnd", "", 0, true},
      {"static", SS_ICON, WS_EX_STATICEDGE, true, 20, "TacEdgeWnd", "EDIT", 0, true},
      {"static", 0x05, 0, true, 20, nullptr, "", 0, false},  // filled rectangles draw themselves
      {"static", 0x0D, 0, true, 20, nullptr, "", 0, false},
      {"edit", 0, 0, true, 20, "TacEditWnd", "EDIT", dcRepaintFromCache | dcDlgMode | dcAllowPaint, true},
      {"edit", 0, 0, false, 20, nullptr, "", dcAllowPaint, false},
      {"listbox", 0, 0, true, 80, "TacEditWnd", "EDIT", dcDlgMode | dcAllowPaint, true},
      {"scrollbar", SBS_SIZEGRIP, 0, true, 16, "TacSizerWnd", "", 0, true},
      {"scrollbar", 0, 0, true, 16, nullptr, "", 0, false},
      {"systabcontrol32", 0, 0, true, 40, "TacTabControlWnd", "PAGECONTROL", 0, true},
      {"systabcontrol32", TCS_OWNERDRAWFIXED, 0, true, 40, nullptr, "", 0, false},
      {"msctls_updown32", 0, 0, true, 20, "TacSpinWnd", "SPEEDBUTTON_SMALL", dcSpinOffset, true},
      {"toolbarwindow32", 0x200, 0, true, 24, "TacToolBarWnd", "BAR", 0, false},
      {"toolbarwindow32", 0, 0, true, 24, "TacToolBarWnd", "TRANSPARENT", 0, false},
      {"rebarwindow32", 0, 0, true, 24, "TacContainerWnd", "", 0, true},
      {"rebarwindow32", 0, 0, false, 24, nullptr, "", 0, false},
      {"directuihwnd", 0, 0, true, 24, "TacSearchWnd", "", 0, true},
      {"directuihwnd", 0, 0, true, 23, nullptr, "", 0, false},
      {"directuihwnd", 0, 0, true, 25, nullptr, "", 0, false},
      {"#32770", 0, 0, true, 100, "TacTransPanelWnd", "", 0, true},
      {"combobox", CBS_DROPDOWNLIST, 0, true, 24, "TacComboBoxWnd", "COMBOBOX",
       dcRepaintFromCache | dcDlgMode | dcAllowPaint, true},
      {"comboboxex32", 0, 0, true, 24, "TacComboBoxWnd", "COMBOBOX", dcAllowPaint, true},
      {"combolbox", 0, 0, true, 80, "TacEditWnd", "COMBOBOX", dcAllowPaint, true},
      {"syslistview32", 0, 0, true, 80, "TacListViewWnd", "EDIT", dcDlgMode, true},
      {"msctls_trackbar32", 0, 0, true, 30, "TacTrackWnd", "TRACKBAR", 0, true},
      {"tpanel", 0, 0, true, 40, "TacPanelWnd", "TRANSPARENT", 0, true},
      {"tsilentpaintpanel", 0, 0, true, 40, "TacPanelWnd", "GROUPBOX", 0, true},
      {"shbrowseforfolder", 0, 0, true, 100, "TacTransPanelWnd", "", 0, true},
      {"msctls_progress32", 0, 0, true, 20, "TacContainerWnd", "", 0, true},
      {"ctrlnotifysink", 0, 0, true, 10, nullptr, "", 0, false},
      {"something else", 0, 0, true, 10, nullptr, "", 0, false},
  };
  for (const Case& c : cases) {
    const TacDlgCtrlChoice got = ChooseDialogControlHandler(c.cls, c.style, c.ex, c.visible, c.height);
    SCOPED_TRACE(std::string(c.cls) + " style " + std::to_string(c.style));
    if (c.handler) {
      ASSERT_NE(got.Handler, nullptr);
      EXPECT_STREQ(got.Handler, c.handler);
      EXPECT_STREQ(got.Section, c.section);
      EXPECT_EQ(HandlerFactoryOf(got.Handler) != nullptr, c.made) << got.Handler;
    } else {
      EXPECT_EQ(got.Handler, nullptr);
    }
    EXPECT_EQ(got.Flags, c.flags);
  }
}

class CreationHookTest : public WindowTest {
 protected:
  TempFolder dir;
  std::vector<HWND> made;
  void SetUp() override {
    WindowTest::SetUp();
    FlatSkin().WriteFolder(dir.Path() + "Flat");
    InstallHookServices();
  }
  void TearDown() override {
    for (HWND w : made)
      if (IsWindow(w)) DestroyWindow(w);
    CreateFormSkinProvider = nullptr;
    HookServices = TacHookServices();
    WindowTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> Manager() {
    auto m = std::make_unique<TsSkinManager>(nullptr);
    m->SetSkinDirectory(dir.Path());
    m->SetSkinName("Flat");
    return m;
  }
  // A standard dialog as the system makes one: the window first, its controls after, then shown.
  HWND Dialog(bool show = true) {
    HWND dlg = CreateWindowExW(WS_EX_DLGMODALFRAME, MAKEINTATOM(0x8002), "Dialog",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, 50, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
    made.push_back(dlg);
    CreateWindowExW(0, "button", "Left text", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_LEFTTEXT, 10, 10, 120, 20,
                    dlg, nullptr, nullptr, nullptr);
    CreateWindowExW(0, "button", "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 10, 40, 80, 24, dlg, nullptr, nullptr,
                    nullptr);
    CreateWindowExW(0, "button", "Drawn", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 70, 80, 24, dlg, nullptr, nullptr,
                    nullptr);
    if (show) ShowWindow(dlg, SW_SHOW);
    Application->ProcessMessages();
    return dlg;
  }
  static TacMainWnd* HandlerOf(HWND w) { return reinterpret_cast<TacMainWnd*>(SendSkinCommand(w, SKC_GETHANDLER, 0)); }
  // The class, by name, of the handler the dialog's provider keeps for the
  // window ("" for none): the scroll-bar handlers' headers cannot be included
  // beside the manager's.
  static std::string KindOf(HWND dlg, HWND w) {
    const TacMainWnd* h = nullptr;
    for (const auto& c : FindProvider(dlg)->acSkinnedCtrls)
      if (c->CtrlHandle == w) h = c.get();
    if (!h) return "";
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(*h).name(), nullptr, nullptr, &status);
    std::string out = status == 0 && name ? name : "";
    std::free(name);
    return out;
  }
};

TEST_F(CreationHookTest, StandardDialogIsSkinnedWithItsControlsWhenItShows) {
  auto m = Manager();
  ASSERT_TRUE(m->GlobalHookInstalled());
  HWND dlg = Dialog();
  TacHookedProvider* p = FindProvider(dlg);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(IsWindowSkinned(dlg));
  HWND check = GetTopWindow(dlg);
  HWND ok = GetWindow(check, GW_HWNDNEXT);
  HWND drawn = GetWindow(ok, GW_HWNDNEXT);
  EXPECT_NE(dynamic_cast<TacCheckBoxWnd*>(HandlerOf(check)), nullptr);
  EXPECT_NE(dynamic_cast<TacBtnWnd*>(HandlerOf(ok)), nullptr);
  EXPECT_FALSE(IsWindowSkinned(drawn));
  EXPECT_EQ(p->acSkinnedCtrls.size(), 2u);
  for (const auto& h : p->acSkinnedCtrls) EXPECT_TRUE(h->DlgMode);
  EXPECT_EQ(VisibleDialogCount(), 1);

  // Gone with its window: the provider is purged and its handlers freed.
  DestroyWindow(dlg);
  Application->ProcessMessages();
  EXPECT_EQ(VisibleDialogCount(), 0);
  EXPECT_EQ(FindProvider(dlg), nullptr);
}

TEST_F(CreationHookTest, DialogCombosListsTabsTrackBarsAndGripsGetTheirHandlers) {
  auto m = Manager();
  HWND dlg = CreateWindowExW(WS_EX_DLGMODALFRAME, MAKEINTATOM(0x8002), "Dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             50, 50, 400, 300, nullptr, nullptr, nullptr, nullptr);
  made.push_back(dlg);
  auto child = [&](const char* cls, DWORD style, int y, int h) {
    return CreateWindowExW(0, cls, "", WS_CHILD | WS_VISIBLE | style, 10, y, 200, h, dlg, nullptr, nullptr, nullptr);
  };
  HWND combo = child("COMBOBOX", CBS_DROPDOWNLIST, 10, 24);
  HWND list = child("SysListView32", 0, 40, 80);
  HWND tabs = child("SysTabControl32", 0, 130, 40);
  HWND track = child("msctls_trackbar32", 0, 180, 30);
  HWND grip = child("SCROLLBAR", SBS_SIZEGRIP, 220, 16);
  ShowWindow(dlg, SW_SHOW);
  Application->ProcessMessages();
  ASSERT_NE(FindProvider(dlg), nullptr);
  EXPECT_EQ(KindOf(dlg, combo), "TacComboBoxWnd");
  EXPECT_EQ(KindOf(dlg, list), "TacListViewWnd");
  EXPECT_EQ(KindOf(dlg, tabs), "TacTabControlWnd");
  EXPECT_EQ(KindOf(dlg, track), "TacTrackWnd");
  EXPECT_EQ(KindOf(dlg, grip), "TacSizerWnd");
  DestroyWindow(dlg);
  Application->ProcessMessages();
  EXPECT_EQ(VisibleDialogCount(), 0);
  EXPECT_EQ(FindProvider(dlg), nullptr);
}

TEST_F(CreationHookTest, AtMostTwoVisibleDialogsAreSkinnedAndRulesDecide) {
  auto m = Manager();
  HWND a = Dialog(), b = Dialog(), c = Dialog();
  EXPECT_NE(FindProvider(a), nullptr);
  EXPECT_NE(FindProvider(b), nullptr);
  EXPECT_EQ(FindProvider(c), nullptr);
  // An application handler may refuse a dialog.
  DestroyWindow(a);
  Application->ProcessMessages();
  m->OnSysDlgInit = [](TacSysDlgData&, bool& allow) { allow = false; };
  EXPECT_EQ(FindProvider(Dialog()), nullptr);
  m->OnSysDlgInit = nullptr;
  m->SetSkinningRules(TacSkinningRules{srStdForms});
  EXPECT_EQ(FindProvider(Dialog()), nullptr);
}

TEST_F(CreationHookTest, FormsAreGivenProvidersUnlessTheirTagOrClassSaysNo) {
  std::vector<TCustomForm*> given;
  CreateFormSkinProvider = [&](TCustomForm* f) { given.push_back(f); };
  auto m = Manager();
  struct Case {
    intptr_t tag;
    bool skinned;
  } cases[] = {{0, true}, {0x100, false}, {0x1FF, false}, {0x200, true}};
  for (const Case& c : cases) {
    given.clear();
    TForm f(Application);
    f.Tag = c.tag;
    f.SetBounds(0, 0, 200, 100);
    f.Show();
    SetActiveWindow(f.Handle());
    Application->ProcessMessages();
    EXPECT_EQ(given.size(), c.skinned ? 1u : 0u) << "tag " << c.tag;
  }
  // Forms follow srStdForms.
  m->SetSkinningRules(TacSkinningRules{srStdDialogs});
  given.clear();
  TForm f(Application);
  f.Show();
  SetActiveWindow(f.Handle());
  Application->ProcessMessages();
  EXPECT_TRUE(given.empty());
}

}  // namespace
