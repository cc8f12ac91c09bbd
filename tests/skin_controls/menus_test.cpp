// Owner-drawn menus of a skinned application: a popup menu shown over a form
// is taken over through the creation hook, measured and painted from the skin
// (frame, items, hot, disabled, checked, caption and divider items) and gives
// everything back when it closes; items keep handlers the application set;
// menu-bar items paint over their form's menu line.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/vcl/Menus.h"
#include "skin/controls/acHookProvider.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinMenus.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"

using namespace skintest;

namespace {

constexpr TColor kFrame = 0x3050A0, kMenuBG = 0xF0E0D0, kItem = 0xD8D8D8, kHot = 0x00A000, kCheck = 0x00C0C0,
                 kCaption = 0x804000, kIco = 0xA0A0A0, kLineHot = 0xA000A0;

// The popup's border image (a 3-pixel frame round a key-colour centre) and a two-frame check mark.
std::unique_ptr<TBitmap> MenuMaster() {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(32, 12);
  TCanvas* c = b->Canvas();
  auto fill = [&](TRect r, TColor col) {
    c->Brush()->SetColor(col);
    c->FillRect(r);
  };
  fill(TRect(0, 0, 12, 12), kFrame);
  fill(TRect(3, 3, 9, 9), clFuchsia);
  fill(TRect(12, 0, 28, 8), kCheck);
  return b;
}

SkinFiles MenuSkin() {
  SkinFiles s;
  s.options.Section("GLOBALINFO")
      .Key("VERSION", "11.5")
      .Key("MASTERBITMAP", "Parts\\MASTER.BMP")
      .Key("CHECK", GlyphValue(TRect(12, 0, 28, 8), 2, 0));
  s.options.Section("MAINMENU").Key("COLOR", kMenuBG).Key("BORDERSMASK", BorderValue(TRect(0, 0, 12, 12), 3, 3, 3, 3, 1, 0, 0, 3));
  s.options.Section("MENUITEM")
      .Key("COLOR", kItem)
      .Key("HOTCOLOR", kHot)
      .Key("FONTCOLOR", 0x101010)
      .Key("HOTFONTCOLOR", 0xFFFFFF)
      .Key("STATES", 2);
  s.options.Section("ICOLINE").Key("COLOR", kIco);
  s.options.Section("MENUCAPTION").Key("COLOR", kCaption).Key("FONTCOLOR", 0xFFFFFF);
  s.options.Section("MENULINE").Key("COLOR", kMenuBG).Key("FONTCOLOR", 0x101010).Key("HOTFONTCOLOR", 0xFFFFFF);
  s.files["parts/master.bmp"] = BmpBytes(MenuMaster().get());
  return s;
}

COLORREF PopupPixel(HWND wnd, int x, int y) {
  const POINT o = GetWindowSurfaceOffset(wnd);
  return SurfacePixel(wnd, o.x + x, o.y + y);
}

// Each channel of c lies strictly between those of a and b where they differ.
bool Between(COLORREF c, COLORREF a, COLORREF b) {
  for (int s : {0, 8, 16}) {
    const int x = int(c >> s & 0xFF), lo = std::min(int(a >> s & 0xFF), int(b >> s & 0xFF)),
              hi = std::max(int(a >> s & 0xFF), int(b >> s & 0xFF));
    if (x < lo || x > hi) return false;
  }
  return c != a && c != b;
}

class MenusTest : public WindowTest {
 protected:
  TempFolder dir;
  void SetUp() override {
    WindowTest::SetUp();
    MenuSkin().WriteFolder(dir.Path() + "Menus");
    InstallHookServices();
  }
  void TearDown() override {
    ClearHookedMenus();
    ClearMenuInfo();
    HookServices = TacHookServices();
    WindowTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> Manager() {
    auto m = std::make_unique<TsSkinManager>(nullptr);
    m->SetSkinDirectory(dir.Path());
    m->SetSkinName("Menus");
    return m;
  }
};

TMenuItem* AddItem(TMenu& menu, TMenuItem* parent, const String& caption) {
  auto* item = new TMenuItem(&menu);
  item->SetCaption(caption);
  (parent ? parent : menu.Items())->Add(item);
  return item;
}

TEST_F(MenusTest, PopupMenuIsHookedMeasuredAndPaintedFromTheSkin) {
  TForm form(Application);
  auto* popup = new TPopupMenu(&form);
  TMenuItem* open = AddItem(*popup, nullptr, "&Open");
  open->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  TMenuItem* line = AddItem(*popup, nullptr, "-");
  TMenuItem* checked = AddItem(*popup, nullptr, "Checked");
  checked->SetChecked(true);
  TMenuItem* disabled = AddItem(*popup, nullptr, "Disabled");
  disabled->SetEnabled(false);
  TMenuItem* caption = AddItem(*popup, nullptr, "-Files-");
  TMenuItem* sub = AddItem(*popup, nullptr, "More");
  AddItem(*popup, sub, "Inner");
  ShowForm(form);

  auto m = Manager();
  ASSERT_TRUE(m->CommonSkinData.Active);
  ASSERT_TRUE(m->SkinableMenus()->Active());
  EXPECT_TRUE(popup->OwnerDraw());
  EXPECT_TRUE(popup->MenuAnimation.Contains(maNone));

  // The form's window hands the owner-drawing messages to the menu and runs the script while it is open.
  HWND menuWnd = nullptr;
  int step = 0;
  std::function<void()> script = [&] {
    auto rectOf = [&](TMenuItem* item) {
      RECT r{}, w{};
      GetMenuItemRect(nullptr, popup->Handle(), UINT(popup->Items()->IndexOf(item)), &r);
      GetWindowRect(menuWnd, &w);
      return TRect(r.left - w.left, r.top - w.top, r.right - w.left, r.bottom - w.top);
    };
    if (step == 0) {
      ASSERT_EQ(LiveHookedMenus(), 1);
      menuWnd = FindWindowW("#32768", nullptr);
      ASSERT_NE(menuWnd, nullptr);
      EXPECT_EQ(SendSkinCommand(menuWnd, SKC_ISSKINNED, 0), 1);
      EXPECT_TRUE(SkinnedMenuMeasured);
      EXPECT_EQ(MenuInfoCount(), 1);
      // Opaque again once its frame was painted (the default AlphaBlend).
      EXPECT_FALSE(GetWindowLongPtrW(menuWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
      RECT wr;
      GetWindowRect(menuWnd, &wr);
      const int h = wr.bottom - wr.top, w = wr.right - wr.left;
      // The frame is the menu section's border, on every side.
      for (POINT p : {POINT{1, h / 2}, POINT{w / 2, 1}, POINT{w - 2, h / 2}, POINT{w / 2, h - 2}})
        EXPECT_EQ(PopupPixel(menuWnd, p.x, p.y), COLORREF(kFrame)) << p.x << "," << p.y;

      const TRect ro = rectOf(open), rl = rectOf(line), rc = rectOf(checked), rd = rectOf(disabled),
                  rcap = rectOf(caption);
      EXPECT_EQ(rl.Height(), 2);
      EXPECT_GT(rcap.Height(), rl.Height());
      // A normal item over the item section, its check mark in the glyph column.
      EXPECT_EQ(PopupPixel(menuWnd, ro.Right - 3, ro.Top + 2), COLORREF(kItem));
      EXPECT_EQ(PopupPixel(menuWnd, rc.Left + 6 + 3, rc.Top + rc.Height() / 2), COLORREF(kCheck));
      EXPECT_EQ(PopupPixel(menuWnd, ro.Left + 9, ro.Top + ro.Height() / 2), COLORREF(kItem));  // unchecked: no mark
      // The divider: a line in the palette's border colour after the glyph column.
      TColor border = m->Palette[pcBorder];
      if (border == clFuchsia) border = TColor(GetSysColor(COLOR_BTNSHADOW));
      EXPECT_EQ(PopupPixel(menuWnd, rl.Left + 40, rl.Top), COLORREF(ColorToRGB(border)));
      // Disabled: blended with the popup's background.
      EXPECT_TRUE(Between(PopupPixel(menuWnd, rd.Right - 3, rd.Top + 2), kItem, kMenuBG));
      // A caption item in the caption section.
      EXPECT_EQ(PopupPixel(menuWnd, rcap.Left + 3, rcap.Top + 2), COLORREF(kCaption));
      // The mouse over Open selects it.
      const POINT s{wr.left + ro.Left + ro.Width() / 2, wr.top + ro.Top + ro.Height() / 2};
      InjectMouseMove(s.x, s.y);
    } else if (step == 1) {
      const TRect ro = rectOf(open);
      EXPECT_EQ(PopupPixel(menuWnd, ro.Right - 3, ro.Top + 2), COLORREF(kHot));
      EndMenu();
    } else {
      EndMenu();
    }
    ++step;
  };
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& msg) {
    if ((msg.Msg == WM_MEASUREITEM || msg.Msg == WM_DRAWITEM) && popup->WindowMessage(msg)) return;
    if (msg.Msg == WM_ENTERIDLE) script();
    old(msg);
  };
  TrackPopupMenu(popup->Handle(), TPM_RETURNCMD, 100, 100, 0, form.Handle(), nullptr);
  form.WindowProc = old;
  EXPECT_GE(step, 2);

  // Closed: the handler let go, the backgrounds are freed.
  EXPECT_EQ(LiveHookedMenus(), 0);
  EXPECT_EQ(MenuInfoCount(), 0);
  EXPECT_FALSE(SkinnedMenuMeasured);

  // Without a skin the menu is plain again.
  m->SetActive(false);
  EXPECT_FALSE(m->SkinableMenus()->Active());
  EXPECT_FALSE(popup->OwnerDraw());
  EXPECT_FALSE(open->OnAdvancedDrawItem);
}

TEST_F(MenusTest, HookingKeepsTheApplicationsOwnHandlersAndCustomFont) {
  TForm form(Application);
  auto* popup = new TPopupMenu(&form);
  TMenuItem* plain = AddItem(*popup, nullptr, "Plain");
  TMenuItem* own = AddItem(*popup, nullptr, "Own");
  int ownDraws = 0;
  own->OnAdvancedDrawItem = [&](TObject*, TCanvas*, TRect, TOwnerDrawState) { ++ownDraws; };
  auto m = Manager();
  ASSERT_TRUE(m->SkinableMenus()->Active());
  EXPECT_TRUE(plain->OnAdvancedDrawItem && plain->OnMeasureItem);
  ASSERT_TRUE(own->OnAdvancedDrawItem);
  own->OnAdvancedDrawItem(own, nullptr, TRect(), TOwnerDrawState());
  EXPECT_EQ(ownDraws, 1);
  EXPECT_TRUE(own->OnMeasureItem);  // only the missing handler was added

  // Measures: a separator is 2 high, a caption item text + 2 x Margin + 3.
  TsSkinableMenus* menus = m->SkinableMenus();
  TBitmap bmp;
  bmp.SetSize(10, 10);
  TMenuItem* sep = AddItem(*popup, nullptr, "-");
  TMenuItem* cap = AddItem(*popup, nullptr, "-Files-");
  int w = 0, h = 0;
  menus->sMeasureItem(sep, bmp.Canvas(), w, h);
  EXPECT_EQ(h, 2);
  menus->sMeasureItem(cap, bmp.Canvas(), w, h);
  EXPECT_EQ(h, bmp.Canvas()->TextHeight("Files") + 2 * menus->Margin + 3);
  EXPECT_EQ(menus->it, smCaption);
  int plainW = 0;
  menus->sMeasureItem(plain, bmp.Canvas(), plainW, h);
  // The custom font is used for every item while it is on.
  TFont big;
  big.SetHeight(-30);
  m->MenuSupport.SetFont(&big);
  m->MenuSupport.SetCustomFont(true);
  int bigW = 0, bigH = 0;
  menus->sMeasureItem(plain, bmp.Canvas(), bigW, bigH);
  EXPECT_GT(bigW, plainW);
  EXPECT_GE(bigH, 30);
  m->MenuSupport.SetCustomFont(false);

  m->SetActive(false);
  EXPECT_FALSE(plain->OnAdvancedDrawItem);
  EXPECT_FALSE(plain->OnMeasureItem);
  ASSERT_TRUE(own->OnAdvancedDrawItem);
  own->OnAdvancedDrawItem(own, nullptr, TRect(), TOwnerDrawState());
  EXPECT_EQ(ownDraws, 2);
}

TEST_F(MenusTest, MenuBarItemPaintsOverItsMenuLine) {
  TForm form(Application);
  auto* main = new TMainMenu(&form);
  TMenuItem* file = AddItem(*main, nullptr, "&File");
  TMenuItem* edit = AddItem(*main, nullptr, "&Edit");
  edit->SetEnabled(false);
  AddItem(*main, file, "Open");
  auto m = Manager();
  TsSkinableMenus* menus = m->SkinableMenus();
  ASSERT_TRUE(file->OnAdvancedDrawItem);

  // The provider's menu line stands in as one image of the line's colour.
  auto lineImage = NewBitmap32(200, 20);
  FillRect32(lineImage.get(), TRect(0, 0, 200, 20), kLineHot, 255);
  MenuLineOfItem = [&](TMenuItem*, TCanvas*, const TRect& r, TacMenuLineInfo& info) {
    info.Image = lineImage.get();
    info.Pos = r.TopLeft();
    return true;
  };
  auto target = NewBitmap32(200, 20);
  int w = 0, h = 0;
  menus->sMeasureLineItem(file, target->Canvas(), w, h);
  EXPECT_EQ(h, GetSystemMetrics(SM_CYMENU) - 1);
  EXPECT_EQ(w, target->Canvas()->TextWidth("File"));
  const TRect r(10, 0, 10 + w + 12, h);
  file->OnAdvancedDrawItem(file, target->Canvas(), r, TOwnerDrawState{odHotLight});
  EXPECT_EQ(GetPixel32(target.get(), r.Left + 1, 1) & 0xFFFFFF, SwapRedBlue(uint32_t(kHot)) & 0xFFFFFF);
  file->OnAdvancedDrawItem(file, target->Canvas(), r, TOwnerDrawState());
  EXPECT_EQ(GetPixel32(target.get(), r.Left + 1, 1) & 0xFFFFFF, SwapRedBlue(uint32_t(kItem)) & 0xFFFFFF);
  // A disabled item is mixed with the line under it.
  const TRect re(r.Right, 0, r.Right + 40, h);
  edit->OnAdvancedDrawItem(edit, target->Canvas(), re, TOwnerDrawState{odHotLight});
  const uint32_t px = GetPixel32(target.get(), re.Left + 1, 1);
  const COLORREF got = RGB(px >> 16 & 0xFF, px >> 8 & 0xFF, px & 0xFF);
  EXPECT_TRUE(Between(got, kItem, kLineHot)) << std::hex << got;
  // Without a provider's line nothing is painted.
  MenuLineOfItem = nullptr;
  FillRect32(target.get(), TRect(0, 0, 200, 20), 0, 255);
  file->OnAdvancedDrawItem(file, target->Canvas(), r, TOwnerDrawState{odHotLight});
  EXPECT_EQ(GetPixel32(target.get(), r.Left + 1, 1) & 0xFFFFFF, 0u);
}

}  // namespace
