// The skinned system menu of a form: its standard items mirror the window's
// state, the window's own menu lends captions, shortcuts and the program's
// extra commands, the user's sub-menu goes where it is told, and the skin
// items list every skin in columns of twenty and select the one clicked.

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/win/Menu.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFixtures.h"

using namespace skintest;

namespace {

class SysMenuTest : public WindowTest {
 protected:
  TForm* NewForm(TFormBorderStyle border, TBorderIcons icons) {
    TForm* f = nullptr;
    Application->CreateForm(f);
    f->SetBorderStyle(border);
    f->SetBorderIcons(icons);
    f->SetBounds(40, 40, 300, 200);
    f->Show();
    Application->ProcessMessages();
    return f;
  }
  // The provider is owned by the form, the menu by the provider.
  TsSystemMenu* Menu(TForm* f) {
    auto* p = new TsSkinProvider(f);
    return p->SystemMenu ? p->SystemMenu : new TsSystemMenu(p);
  }
  // One letter per standard item: capital when visible and enabled, small when
  // visible and disabled, '-' when hidden; empty when the menu has no items.
  static std::string States(TsSystemMenu* m) {
    if (!m->ItemClose) return "";
    std::string s;
    for (auto [item, c] : {std::pair{m->ItemRestore, 'R'}, {m->ItemMove, 'M'}, {m->ItemSize, 'S'},
                           {m->ItemMinimize, 'N'}, {m->ItemMaximize, 'X'}, {m->ItemClose, 'C'}})
      s += !item->Visible() ? '-' : item->Enabled() ? c : char(c - 'A' + 'a');
    return s;
  }
  // The names of the top items ("-" for an unnamed separator, the caption for another unnamed item).
  static std::string Layout(TsSystemMenu* m) {
    std::string s;
    for (int i = 0; i < m->Items()->Count(); ++i) {
      TMenuItem* it = m->Items()->Items(i);
      if (!s.empty()) s += ' ';
      s += !it->GetName().empty() ? it->GetName() : it->IsLine() ? "-" : it->Caption();
    }
    return s;
  }
};

}  // namespace

TEST_F(SysMenuTest, StandardItemsMirrorTheWindowState) {
  const TBorderIcons all{biSystemMenu, biMinimize, biMaximize};
  struct Case {
    const char* what;
    TFormBorderStyle border;
    TBorderIcons icons;
    TWindowState state;
    bool mainOnTaskBar;
    const char* states;
  } cases[] = {
      {"sizeable, normal", bsSizeable, all, wsNormal, false, "rMSNXC"},
      {"sizeable, maximized", bsSizeable, all, wsMaximized, false, "RmSNXC"},
      {"single without maximize", bsSingle, {biSystemMenu, biMinimize}, wsNormal, false, "rMsN-C"},
      {"dialog", bsDialog, all, wsNormal, false, "-M---C"},
      {"tool window", bsToolWindow, all, wsNormal, false, "-M---C"},
      {"minimized secondary form", bsSizeable, {biSystemMenu, biMinimize}, wsMinimized, false, "RMsNxC"},
      {"minimized main form on the task bar", bsSizeable, {biSystemMenu, biMinimize}, wsMinimized, true, "RMsN-C"},
      {"no system menu", bsSizeable, {biMinimize, biMaximize}, wsNormal, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Application->ResetForTests();
    Application->MainFormOnTaskBar = c.mainOnTaskBar;
    TForm* f = NewForm(c.border, c.icons);
    f->SetWindowState(c.state);
    Application->ProcessMessages();
    TsSystemMenu* m = Menu(f);
    m->UpdateItems(false);
    EXPECT_EQ(States(m), c.states);
    // The title bar's questions answer the same.
    EXPECT_EQ(m->VisibleClose(), c.icons.Contains(biSystemMenu));
    EXPECT_EQ(m->EnabledClose(), c.icons.Contains(biSystemMenu));
    delete f;
  }
}

TEST_F(SysMenuTest, WindowMenuLendsCaptionsShortcutsAndExtraCommands) {
  TForm* f = NewForm(bsSizeable, {biSystemMenu, biMinimize, biMaximize});
  HMENU sys = GetSystemMenu(f->Handle(), FALSE);
  ModifyMenuW(sys, SC_MOVE, MF_BYCOMMAND | MF_STRING, SC_MOVE, "&Shift");
  AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(sys, MF_STRING, 0x120, "About...\tCtrl+B");
  EnableMenuItem(sys, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  // Removing the style bit, as a skinned frame does, keeps the menu to mirror.
  SetWindowLongPtrW(f->Handle(), GWL_STYLE, GetWindowLongPtrW(f->Handle(), GWL_STYLE) & ~LONG_PTR(WS_SYSMENU));
  TsSystemMenu* m = Menu(f);
  EXPECT_EQ(m->GetName().rfind("acSysMenu", 0), 0u);
  EXPECT_EQ(Layout(m), "acIR acIM acIS acIN acIX - About... - acIC");
  EXPECT_EQ(m->ExtItemsCount, 1);
  EXPECT_EQ(m->ItemMove->Caption(), "&Shift");
  EXPECT_EQ(m->ItemMove->Tag, intptr_t(SC_MOVE));
  EXPECT_EQ(m->ItemMove->ShortCut(), scNone);
  EXPECT_EQ(m->ItemClose->Caption(), "&Close");
  EXPECT_EQ(m->ItemClose->ShortCut(), TextToShortCut("Alt+F4"));
  EXPECT_FALSE(m->ItemClose->Enabled());  // greyed in the window's menu
  TMenuItem* about = m->Items()->Items(6);
  EXPECT_EQ(about->ShortCut(), TextToShortCut("Ctrl+B"));

  // The extra command is posted to the form with its own id.
  std::vector<WPARAM> commands;
  TWndMethod old = f->WindowProc;
  f->WindowProc = [&](TMessage& msg) {
    if (msg.Msg == WM_SYSCOMMAND) commands.push_back(msg.WParam);
    else old(msg);
  };
  about->Click();
  EXPECT_TRUE(commands.empty());  // posted, not sent
  Application->ProcessMessages();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0], WPARAM(0x120));
  m->ItemMaximize->Click();  // sent at once
  EXPECT_EQ(commands.back(), WPARAM(SC_MAXIMIZE));
  f->WindowProc = old;

  // A Close missing from the window's menu: the default caption, no shortcut.
  DeleteMenu(sys, SC_CLOSE, MF_BYCOMMAND);
  m->UpdateItems(true);
  EXPECT_EQ(m->ItemClose->Caption(), "Close");
  EXPECT_EQ(m->ItemClose->ShortCut(), scNone);
  EXPECT_FALSE(m->ItemClose->Visible());
  delete f;
}

TEST_F(SysMenuTest, UserSubMenuGoesWhereItsPositionSays) {
  TForm* f = NewForm(bsSizeable, {biSystemMenu, biMinimize, biMaximize});
  auto* p = new TsSkinProvider(f);
  TPopupMenu popup(nullptr);
  auto* first = new TMenuItem(&popup);
  first->SetName("Tools");
  first->SetCaption("Tools");
  auto* inner = new TMenuItem(&popup);
  inner->SetName("Inner");
  inner->SetCaption("Inner");
  inner->SetChecked(true);
  first->Add(inner);
  popup.Items()->Add(first);
  auto* unnamed = new TMenuItem(&popup);
  unnamed->SetCaption("Plain");
  unnamed->SetEnabled(false);
  popup.Items()->Add(unnamed);

  TacSysSubMenu* sub = p->SysSubMenu();
  sub->Caption = "Extras";
  sub->PopupMenu = &popup;
  struct Case {
    TacMenuItemPos pos;
    const char* layout;
  } cases[] = {
      {ipTop, "ac_SubMenu ac_TopDiv acIR acIM acIS acIN acIX - acIC"},
      {ipBeforeClose, "acIR acIM acIS acIN acIX - ac_SubMenu ac_TopDiv acIC"},
      {ipBottom, "acIR acIM acIS acIN acIX - acIC ac_BtmDiv ac_SubMenu"},
  };
  auto* m = new TsSystemMenu(p);
  for (const Case& c : cases) {
    sub->Position = c.pos;
    m->UpdateItems(true);
    EXPECT_EQ(Layout(m), c.layout);
    ASSERT_NE(m->SubMenu, nullptr);
    ASSERT_EQ(m->SubMenu->Count(), 2);
    EXPECT_EQ(m->SubMenu->Items(0)->GetName(), "ToolsCopy");
    EXPECT_EQ(m->SubMenu->Items(0)->Items(0)->GetName(), "InnerCopy");
    EXPECT_TRUE(m->SubMenu->Items(0)->Items(0)->Checked());
    EXPECT_EQ(m->SubMenu->Items(1)->Caption(), "Plain");
    EXPECT_FALSE(m->SubMenu->Items(1)->Enabled());
  }
  // Without a caption or a popup menu there is no sub-menu and no separator for it.
  sub->Caption.clear();
  m->UpdateItems(true);
  EXPECT_EQ(Layout(m), "acIR acIM acIS acIN acIX - acIC");
  EXPECT_EQ(m->SubMenu, nullptr);
  sub->Caption = "Extras";
  sub->PopupMenu = nullptr;
  m->UpdateItems(true);
  EXPECT_EQ(Layout(m), "acIR acIM acIS acIN acIX - acIC");
  delete f;
}

TEST_F(SysMenuTest, SkinItemsListEverySkinInColumnsAndSelectTheClickedOne) {
  TempFolder dir;
  const Bytes archive = MinimalSkin().Archive();
  WriteFile(dir.Path() + "Blue (internal).asz", archive);
  for (int i = 0; i < 44; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "S%02d.asz", i);
    WriteFile(dir.Path() + name, archive);
  }
  TsSkinManager sm(nullptr);
  sm.SetSkinDirectory(dir.Path());
  sm.SetSkinName("S03");
  ASSERT_TRUE(sm.Active());
  TForm* f = NewForm(bsSizeable, {biSystemMenu, biMinimize, biMaximize});
  TsSystemMenu* m = Menu(f);
  m->MakeSkinItems();
  m->MakeSkinItems();  // again, as each time the menu drops: one set of skin items
  ASSERT_EQ(Layout(m), "SkinSelectItem - acIR acIM acIS acIN acIX - acIC");
  TMenuItem* top = m->Items()->Items(0);
  EXPECT_EQ(top->Caption(), "Available styles");
  ASSERT_EQ(top->Count(), 45);
  for (int i = 0; i < 45; ++i) {
    TMenuItem* it = top->Items(i);
    EXPECT_EQ(it->GetName(), "SkinSelectItem" + std::to_string(i));
    EXPECT_TRUE(it->RadioItem());
    EXPECT_EQ(it->Break(), i == 20 || i == 40 ? mbBreak : mbNone) << i;
    EXPECT_EQ(it->Checked(), it->Caption() == "S03") << i;
  }
  top->Items(10)->Click();
  EXPECT_EQ(sm.SkinName(), top->Items(10)->Caption());
  // A built-in skin's name ends with its marker, whatever follows it.
  TMenuItem stray(nullptr);
  stray.SetCaption("B&lue (internal) (copy)");
  m->SkinSelect(&stray);
  EXPECT_EQ(sm.SkinName(), "Blue (internal)");
  delete f;
}
