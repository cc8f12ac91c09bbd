// Menus and message boxes of the window layer, driven by injected input: the
// popup loop and its notices, submenus, keys, owner drawing, the menu bar in
// the frame, the system menu, and message boxes answered by clicks and keys.

#include <deque>
#include <functional>

#include "tests/platform_win/WinTestUtil.h"

namespace {

constexpr UINT kOpen = 1, kDisabled = 3, kExit = 4, kFirstRecent = 11, kSecondRecent = 12, kDrawn = 20;

// The owner: records its messages and runs the next scripted step whenever a menu loop goes idle.
struct Owner {
  static inline std::vector<MSG> log;
  static inline std::deque<std::function<void()>> steps;
  static inline std::vector<HWND> menuWindows;  // "#32768" windows seen by the creation hook
  static inline int idles = 0;

  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    MSG rec;
    rec.hwnd = w;
    rec.message = m;
    rec.wParam = wp;
    rec.lParam = lp;
    log.push_back(rec);
    switch (m) {
      case WM_ENTERIDLE:
        ++idles;
        if (!steps.empty()) {
          auto step = std::move(steps.front());
          steps.pop_front();
          step();
        } else {
          InjectKey(VK_ESCAPE, true);  // a script that ran out must not hang the loop
          InjectKey(VK_ESCAPE, false);
        }
        return 0;
      case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        if (mis->CtlType == ODT_MENU && mis->itemData == 0xD0D0) {
          mis->itemWidth = 90;
          mis->itemHeight = 30;
          return TRUE;
        }
        break;
      }
      case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (dis->CtlType == ODT_MENU && dis->itemData == 0xD0D0) {
          HBRUSH b = CreateSolidBrush(RGB(200, 0, 100));
          FillRect(dis->hDC, &dis->rcItem, b);
          DeleteObject(b);
          return TRUE;
        }
        break;
      }
    }
    return DefWindowProcW(w, m, wp, lp);
  }

  static LRESULT Cbt(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
      auto* cbt = reinterpret_cast<CBT_CREATEWNDW*>(lp);
      if (reinterpret_cast<uintptr_t>(cbt->lpcs->lpszClass) == 0x8000) menuWindows.push_back(HWND(wp));
      if (reinterpret_cast<uintptr_t>(cbt->lpcs->lpszClass) == 0x8002) dialogWindows.push_back(HWND(wp));
    }
    return 0;
  }
  static inline std::vector<HWND> dialogWindows;  // "#32770"

  static std::vector<UINT> Messages(UINT lo, UINT hi) {
    std::vector<UINT> out;
    for (const MSG& m : log)
      if (m.message >= lo && m.message <= hi) out.push_back(m.message);
    return out;
  }
  static std::vector<MSG> Of(UINT msg) {
    std::vector<MSG> out;
    for (const MSG& m : log)
      if (m.message == msg) out.push_back(m);
    return out;
  }
};

class MenuTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Owner::log.clear();
    Owner::steps.clear();
    Owner::menuWindows.clear();
    Owner::dialogWindows.clear();
    Owner::idles = 0;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &Owner::Proc;
    wc.lpszClassName = "MenuOwner";
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    RegisterClassExW(&wc);
    hook_ = SetWindowsHookExW(WH_CBT, &Owner::Cbt, nullptr, 0);
    owner_ = CreateWindowExW(0, "MenuOwner", "Owner", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
    ShowWindow(owner_, SW_SHOW);
    SetFocus(owner_);
    recent_ = CreatePopupMenu();
    AppendMenuW(recent_, MF_STRING, kFirstRecent, "a.mp4");
    AppendMenuW(recent_, MF_STRING, kSecondRecent, "b.mp4");
    menu_ = CreatePopupMenu();
    AppendMenuW(menu_, MF_STRING, kOpen, "&Open\tCtrl+O");
    AppendMenuW(menu_, MF_POPUP, UINT_PTR(recent_), "&Recent");
    AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu_, MF_STRING | MF_GRAYED, kDisabled, "Disabled");
    AppendMenuW(menu_, MF_STRING, kExit, "E&xit");
  }
  void TearDown() override {
    DestroyMenu(menu_);
    UnhookWindowsHookEx(hook_);
    WindowTest::TearDown();
  }

  // The centre of an item of a menu that shows now (screen coordinates).
  static POINT Centre(HWND wnd, HMENU menu, UINT pos) {
    RECT r{};
    EXPECT_TRUE(GetMenuItemRect(wnd, menu, pos, &r)) << "item " << pos << " is not shown";
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static void Move(POINT p) { InjectMouseMove(p.x, p.y); }
 public:
  static void Click(POINT p) {
    InjectMouseMove(p.x, p.y);
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  }
  static void Key(int vk) {
    InjectKey(vk, true);
    InjectKey(vk, false);
  }
 protected:
  static void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }

  HHOOK hook_ = nullptr;
  HWND owner_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU recent_ = nullptr;
};

TEST_F(MenuTest, HoverOpensTheSubmenuAndAClickReturnsItsCommand) {
  bool submenuShown = false;
  char name[32] = "";
  Owner::steps = {
      [&] { Move(Centre(owner_, menu_, 1)); },
      [&] {
        submenuShown = Owner::menuWindows.size() == 2 && IsWindowVisible(Owner::menuWindows[1]);
        GetClassNameW(Owner::menuWindows.at(0), name, sizeof(name));
        Click(Centre(owner_, recent_, 1));
      },
  };
  const BOOL cmd = TrackPopupMenu(menu_, TPM_RETURNCMD, 150, 150, 0, owner_, nullptr);
  EXPECT_EQ(UINT(cmd), kSecondRecent);
  EXPECT_TRUE(submenuShown);
  ASSERT_EQ(Owner::menuWindows.size(), 2u);
  EXPECT_STREQ(name, "#32768");
  for (HWND w : Owner::menuWindows) EXPECT_FALSE(IsWindow(w));  // gone with the loop
  EXPECT_EQ(GetCapture(), nullptr);
  // The notices, in order: the loop, the popups, the selections, the end.
  const auto flow = Owner::Messages(WM_INITMENU, WM_EXITMENULOOP);
  std::vector<UINT> reduced;
  for (UINT m : flow)
    if (m != WM_ENTERIDLE && (reduced.empty() || reduced.back() != m)) reduced.push_back(m);
  EXPECT_EQ(reduced, (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENUPOPUP, WM_MENUSELECT, WM_INITMENUPOPUP,
                                        WM_MENUSELECT, WM_UNINITMENUPOPUP, WM_MENUSELECT, WM_EXITMENULOOP}));
  const auto inits = Owner::Of(WM_INITMENUPOPUP);
  EXPECT_EQ(HMENU(inits[1].wParam), recent_);
  EXPECT_EQ(LOWORD(uintptr_t(inits[1].lParam)), 1);  // its position in the parent
  const auto selects = Owner::Of(WM_MENUSELECT);
  EXPECT_EQ(HIWORD(selects.back().wParam), 0xFFFF);  // the menu closed
  EXPECT_EQ(LOWORD(selects[1].wParam), kSecondRecent);
  // No command was posted: TPM_RETURNCMD hands it back instead.
  Pump();
  EXPECT_TRUE(Owner::Of(WM_COMMAND).empty());
}

TEST_F(MenuTest, KeysMoveOpenAndChooseAndTheCommandIsPosted) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    char32_t ch;
    UINT command;  // 0: dismissed
  };
  const Case cases[] = {
      {"down to Recent, right opens it on its first item", {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, 0, kFirstRecent},
      {"up wraps to Exit, skipping nothing enabled", {VK_UP, VK_RETURN}, 0, kExit},
      {"separator skipped, disabled item not chosen", {VK_UP, VK_UP, VK_RETURN, VK_ESCAPE}, 0, 0},
      {"left closes the submenu, escape the menu", {VK_DOWN, VK_DOWN, VK_RIGHT, VK_LEFT, VK_ESCAPE}, 0, 0},
      {"mnemonic", {}, U'x', kExit},
      {"mnemonic of a submenu opens it", {VK_RETURN}, U'r', kFirstRecent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owner::log.clear();
    Owner::steps = {[&] {
      if (c.ch) InjectChar(c.ch);
      for (int vk : c.keys) Key(vk);
    }};
    EXPECT_TRUE(TrackPopupMenu(menu_, 0, 150, 150, 0, owner_, nullptr));
    Pump();
    const auto commands = Owner::Of(WM_COMMAND);
    if (c.command) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
    } else {
      EXPECT_TRUE(commands.empty());
    }
  }
}

TEST_F(MenuTest, ClicksOnDisabledItemsAndSeparatorsDoNothingAndAClickElsewhereDismisses) {
  Owner::steps = {
      [&] {
        Click(Centre(owner_, menu_, 3));
        Click(Centre(owner_, menu_, 2));
      },
      [&] { Click(POINT{20, 20}); },
  };
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 150, 150, 0, owner_, nullptr), 0);
  EXPECT_EQ(Owner::idles, 2);  // still open after the first clicks
}

TEST_F(MenuTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheOwner) {
  AppendMenuW(menu_, MF_OWNERDRAW, kDrawn, reinterpret_cast<const char*>(uintptr_t(0xD0D0)));
  COLORREF seen = 0;
  RECT itemRect{};
  Owner::steps = {[&] {
    GetMenuItemRect(owner_, menu_, 5, &itemRect);
    HWND popup = Owner::menuWindows.at(0);
    RECT wr;
    GetWindowRect(popup, &wr);
    UpdateWindow(popup);
    seen = SurfacePixel(popup, (itemRect.left + itemRect.right) / 2 - wr.left, (itemRect.top + itemRect.bottom) / 2 - wr.top);
    Click(Centre(owner_, menu_, 5));
  }};
  EXPECT_EQ(UINT(TrackPopupMenu(menu_, TPM_RETURNCMD, 150, 150, 0, owner_, nullptr)), kDrawn);
  EXPECT_EQ(itemRect.bottom - itemRect.top, 30);
  EXPECT_GE(itemRect.right - itemRect.left, 90);
  EXPECT_EQ(seen, RGB(200, 0, 100));
  ASSERT_FALSE(Owner::Of(WM_MEASUREITEM).empty());
  ASSERT_FALSE(Owner::Of(WM_DRAWITEM).empty());
}

TEST_F(MenuTest, ItemsAreReadAndChangedByPositionOrByCommandInSubmenus) {
  EXPECT_EQ(GetMenuItemCount(menu_), 5);
  EXPECT_EQ(GetSubMenu(menu_, 1), recent_);
  EXPECT_EQ(GetMenuItemID(menu_, 1), 0xFFFFFFFFu);
  EXPECT_EQ(GetMenuItemID(menu_, 4), kExit);
  // By command, the search reaches into the submenu.
  EXPECT_EQ(EnableMenuItem(menu_, kSecondRecent, MF_BYCOMMAND | MF_GRAYED), UINT(MF_ENABLED));
  EXPECT_EQ(GetMenuState(recent_, 1, MF_BYPOSITION) & MF_GRAYED, UINT(MF_GRAYED));
  EXPECT_EQ(CheckMenuItem(menu_, kOpen, MF_CHECKED), 0u);
  EXPECT_EQ(GetMenuState(menu_, kOpen, MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));
  EXPECT_EQ(GetMenuState(menu_, 99, MF_BYCOMMAND), 0xFFFFFFFFu);

  MENUITEMINFOW set;
  set.fMask = MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_FTYPE | MIIM_STATE;
  set.fType = MFT_STRING | MFT_MENUBREAK;
  set.fState = MFS_DEFAULT;
  set.wID = 77;
  set.dwItemData = 0x1234;
  char text[] = "Inserted";
  set.dwTypeData = text;
  ASSERT_TRUE(InsertMenuItemW(menu_, 2, TRUE, &set));
  char buf[64];
  MENUITEMINFOW get;
  get.fMask = MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_FTYPE | MIIM_STATE;
  get.dwTypeData = buf;
  get.cch = sizeof(buf);
  ASSERT_TRUE(GetMenuItemInfoW(menu_, 77, FALSE, &get));
  EXPECT_STREQ(buf, "Inserted");
  EXPECT_EQ(get.cch, 8u);
  EXPECT_EQ(get.dwItemData, 0x1234u);
  EXPECT_EQ(get.fType, MFT_STRING | MFT_MENUBREAK);
  EXPECT_EQ(GetMenuDefaultItem(menu_, TRUE, 0), 2u);
  char small[4];
  get.dwTypeData = small;
  get.cch = sizeof(small);
  ASSERT_TRUE(GetMenuItemInfoW(menu_, 2, TRUE, &get));
  EXPECT_STREQ(small, "Ins");  // cut to the buffer, length still the whole text's
  EXPECT_EQ(get.cch, 8u);

  set.fMask = MIIM_STRING;
  char renamed[] = "Renamed";
  set.dwTypeData = renamed;
  ASSERT_TRUE(SetMenuItemInfoW(menu_, 77, FALSE, &set));
  EXPECT_EQ(GetMenuStringW(menu_, 2, buf, sizeof(buf), MF_BYPOSITION), 7);
  EXPECT_STREQ(buf, "Renamed");
  EXPECT_TRUE(DeleteMenu(menu_, kFirstRecent, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemCount(recent_), 1);
  // A separate popup list shows no item rectangles while nothing shows it.
  RECT r;
  EXPECT_FALSE(GetMenuItemRect(owner_, menu_, 0, &r));
  EXPECT_FALSE(IsMenu(reinterpret_cast<HMENU>(uintptr_t(0x1234))));
}

TEST_F(MenuTest, TheMenuBarTakesItsLinesFromTheFrameAndItsPopupsOpenOnClick) {
  RECT before;
  GetClientRect(owner_, &before);
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, UINT_PTR(menu_), "&Conversions");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, 90, "&About");
  AppendMenuW(bar, MF_POPUP, UINT_PTR(help), "&Information");
  ASSERT_TRUE(SetMenu(owner_, bar));
  menu_ = nullptr;  // the bar owns it now
  RECT after;
  GetClientRect(owner_, &after);
  EXPECT_EQ(before.bottom - after.bottom, GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(GetMenu(owner_), bar);

  RECT file, helpRect;
  ASSERT_TRUE(GetMenuItemRect(owner_, bar, 0, &file));
  ASSERT_TRUE(GetMenuItemRect(owner_, bar, 1, &helpRect));
  EXPECT_EQ(file.top, helpRect.top);
  POINT at{(file.left + file.right) / 2, (file.top + file.bottom) / 2};
  EXPECT_EQ(SendMessageW(owner_, WM_NCHITTEST, 0, PointToLParam(at)), HTMENU);
  POINT clientTop{0, 0};
  ClientToScreen(owner_, &clientTop);
  EXPECT_EQ(clientTop.y, file.bottom);

  // A click on the first item opens its popup; moving to the second switches; a click on "About" posts the command.
  Owner::steps = {
      [&] { Move(POINT{(helpRect.left + helpRect.right) / 2, at.y}); },
      [&] { Click(Centre(owner_, help, 0)); },
  };
  Click(at);
  Pump();
  Pump();
  const auto commands = Owner::Of(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wParam), 90);
  EXPECT_EQ(Owner::menuWindows.size(), 2u);
  const auto loops = Owner::Of(WM_ENTERMENULOOP);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0].wParam, WPARAM(FALSE));  // a bar's loop, not a popup's
  ASSERT_FALSE(Owner::Of(WM_INITMENU).empty());

  // Too narrow for one line: the bar wraps and the client area shrinks again.
  SetWindowPos(owner_, nullptr, 0, 0, 90, 300, SWP_NOMOVE | SWP_NOZORDER);
  RECT narrow, f2, h2;
  GetClientRect(owner_, &narrow);
  GetMenuItemRect(owner_, bar, 0, &f2);
  GetMenuItemRect(owner_, bar, 1, &h2);
  EXPECT_EQ(h2.top, f2.bottom);
  clientTop = POINT{0, 0};
  ClientToScreen(owner_, &clientTop);
  EXPECT_EQ(clientTop.y, h2.bottom);
  SetMenu(owner_, nullptr);
  DestroyMenu(bar);
}

TEST_F(MenuTest, TheSystemMenuIsAPerWindowCopyThatRevertDiscards) {
  HMENU sys = GetSystemMenu(owner_, FALSE);
  ASSERT_NE(sys, nullptr);
  EXPECT_EQ(GetSystemMenu(owner_, FALSE), sys);
  EXPECT_EQ(GetMenuItemCount(sys), 7);
  EXPECT_NE(GetMenuState(sys, SC_CLOSE, MF_BYCOMMAND), 0xFFFFFFFFu);
  EnableMenuItem(sys, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
  // Chosen through the popup loop, as a skin does it: the command comes back, no WM_SYSCOMMAND is posted.
  Owner::steps = {[&] {
    Click(Centre(owner_, sys, 4));  // the greyed Maximize
    Key(VK_DOWN);  // over the separator to Close
    Key(VK_RETURN);
  }};
  EXPECT_EQ(UINT(TrackPopupMenu(sys, TPM_RETURNCMD | TPM_RIGHTBUTTON, 200, 200, 0, owner_, nullptr)), UINT(SC_CLOSE));
  const auto inits = Owner::Of(WM_INITMENUPOPUP);
  ASSERT_EQ(inits.size(), 1u);
  EXPECT_EQ(HIWORD(uintptr_t(inits[0].lParam)), 1);  // marked as the system menu
  EXPECT_EQ(GetSystemMenu(owner_, TRUE), nullptr);
  EXPECT_FALSE(IsMenu(sys));
  HMENU fresh = GetSystemMenu(owner_, FALSE);
  EXPECT_EQ(GetMenuState(fresh, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED, 0u);
  DestroyWindow(owner_);
  EXPECT_FALSE(IsMenu(fresh));  // gone with its window
}

TEST_F(MenuTest, TheSystemMenuOutlivesTheStyleBitButAWindowMadeWithoutItHasNone) {
  // Taken away before the first request: the menu is still made, and kept.
  SetWindowLongPtrW(owner_, GWL_STYLE, GetWindowLongPtrW(owner_, GWL_STYLE) & ~LONG_PTR(WS_SYSMENU));
  HMENU sys = GetSystemMenu(owner_, FALSE);
  ASSERT_NE(sys, nullptr);
  EXPECT_EQ(GetSystemMenu(owner_, FALSE), sys);
  HWND plain = CreateWindowExW(0, "MenuOwner", "Plain", WS_POPUP | WS_CAPTION, 0, 0, 100, 80, nullptr, nullptr,
                               nullptr, nullptr);
  EXPECT_EQ(GetSystemMenu(plain, FALSE), nullptr);
  DestroyWindow(plain);
}

// ---- Message boxes ----

HWND ChildWithId(HWND parent, int id) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetWindowLongPtrW(c, GWLP_ID) == id) return c;
  return nullptr;
}

void ClickChild(HWND parent, int id) {
  RECT r{};
  EXPECT_TRUE(GetWindowRect(ChildWithId(parent, id), &r)) << "no button " << id;
  const POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  InjectMouseMove(p.x, p.y);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
}

std::string TextOf(HWND wnd) {
  char buf[256] = "";
  GetWindowTextW(wnd, buf, sizeof(buf));
  return buf;
}

TEST_F(MenuTest, MessageBoxesAreDialogWindowsAnsweredByClicksAndKeys) {
  Headless().ScriptedMessageBoxes = false;
  struct Case {
    const char* name;
    UINT type;
    std::function<void(HWND box)> act;
    int answer;
  };
  auto keys = [](std::vector<int> vks) {
    return [vks](HWND) {
      for (int vk : vks) MenuTest::Key(vk);
    };
  };
  const Case cases[] = {
      {"click No", MB_YESNOCANCEL | MB_ICONQUESTION, [](HWND box) { ClickChild(box, IDNO); }, IDNO},
      {"click Ignore", MB_ABORTRETRYIGNORE | MB_ICONERROR, [](HWND box) { ClickChild(box, IDIGNORE); }, IDIGNORE},
      {"Escape cancels", MB_OKCANCEL, keys({VK_ESCAPE}), IDCANCEL},
      {"Enter takes the default button", MB_YESNO | MB_DEFBUTTON2, keys({VK_RETURN}), IDNO},
      {"no Cancel: Escape does nothing, Tab moves on", MB_YESNO, keys({VK_ESCAPE, VK_TAB, VK_RETURN}), IDNO},
      {"arrows between buttons", MB_RETRYCANCEL | MB_ICONWARNING, keys({VK_RIGHT, VK_LEFT, VK_RETURN}), IDRETRY},
      {"a lone OK answers the close request", MB_OK | MB_ICONINFORMATION,
       [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, IDOK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owner::dialogWindows.clear();
    bool ownerDisabled = false;
    std::string caption, text;
    Owner::steps = {[&] {
      HWND box = Owner::dialogWindows.at(0);
      ownerDisabled = !IsWindowEnabled(owner_);
      caption = TextOf(box);
      text = TextOf(ChildWithId(box, 0xFFFF));
      c.act(box);
    }};
    EXPECT_EQ(MessageBoxW(owner_, "Replace the file?", "Tarnwick", c.type), c.answer);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(caption, "Tarnwick");
    EXPECT_EQ(text, "Replace the file?");
    ASSERT_EQ(Owner::dialogWindows.size(), 1u);
    EXPECT_FALSE(IsWindow(Owner::dialogWindows[0]));
    EXPECT_EQ(GetActiveWindow(), owner_);
  }
  EXPECT_EQ(Headless().MessageBoxes().size(), std::size(cases));  // still recorded
  // Scripted again: answered at once, no window.
  Headless().ScriptedMessageBoxes = true;
  Headless().MessageBoxReply = IDRETRY;
  Owner::dialogWindows.clear();
  EXPECT_EQ(MessageBoxW(owner_, "Scripted", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_TRUE(Owner::dialogWindows.empty());
  EXPECT_EQ(Headless().MessageBoxes().back().Caption, "Error");
}

TEST_F(MenuTest, TheHelpButtonCallsBackAndTheBoxStays) {
  Headless().ScriptedMessageBoxes = false;
  static ULONG_PTR helped = 0;
  helped = 0;
  MSGBOXPARAMSW p;
  p.hwndOwner = owner_;
  p.lpszText = "Text";
  p.lpszCaption = "Caption";
  p.dwStyle = MB_OK | MB_HELP;
  p.dwContextHelpId = 42;
  p.lpfnMsgBoxCallback = [](HELPINFO* info) { helped = info->dwContextId; };
  Owner::steps = {[&] { ClickChild(Owner::dialogWindows.at(0), IDHELP); },
                  [&] { ClickChild(Owner::dialogWindows.at(0), IDOK); }};
  EXPECT_EQ(MessageBoxIndirectW(&p), IDOK);
  EXPECT_EQ(helped, 42u);
}

}  // namespace
