// Multiple-document windows: the client, the frame's and children's default
// procedures, the maximised child's items in the frame's menu bar, the window
// menu, arrangement, scrolling, keys, and the framework's MDI forms.

#include "WinTestUtil.h"

namespace {

// WM_MDIACTIVATE as the children hear it: (child, deactivated, activated).
struct Heard {
  HWND wnd;
  WPARAM wp;
  LPARAM lp;
};
std::vector<Heard> activations;

LRESULT ChildProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MDIACTIVATE) activations.push_back(Heard{wnd, wp, lp});
  return DefMDIChildProcW(wnd, msg, wp, lp);
}

LRESULT FrameProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  HWND client = FindWindowExW(wnd, nullptr, "MDICLIENT", nullptr);
  return DefFrameProcW(wnd, client, msg, wp, lp);
}

class MdiTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WNDCLASSEXW wc;
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = "MdiTestFrame";
    RegisterClassExW(&wc);
    wc.lpfnWndProc = ChildProc;
    wc.lpszClassName = "MdiTestChild";
    RegisterClassExW(&wc);
    bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, UINT_PTR(reinterpret_cast<uintptr_t>(CreatePopupMenu())), "&File");
    windowMenu = CreatePopupMenu();
    AppendMenuW(windowMenu, MF_STRING, 100, "&Tile");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(reinterpret_cast<uintptr_t>(windowMenu)), "&Window");
    frame = CreateWindowExW(0, "MdiTestFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 600, 450, nullptr,
                            bar, nullptr, nullptr);
    SetMenu(frame, bar);
    RECT r;
    GetClientRect(frame, &r);
    CLIENTCREATESTRUCT ccs{windowMenu, 500};
    client = CreateWindowExW(WS_EX_CLIENTEDGE, "MDICLIENT", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_HSCROLL |
                             WS_VSCROLL, 0, 0, r.right, r.bottom, frame, nullptr, nullptr, &ccs);
    SetActiveWindow(frame);
    for (const char* title : {"One", "Two", "Three"}) kids.push_back(NewChild(title));
  }

  HWND NewChild(const char* title) {
    MDICREATESTRUCTW mcs;
    mcs.szClass = "MdiTestChild";
    mcs.szTitle = title;
    return reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, LPARAM(&mcs)));
  }
  HWND Active(BOOL* maximized = nullptr) {
    return reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, LPARAM(maximized)));
  }
  RECT InClient(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::vector<std::string> WindowMenuTexts() {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(windowMenu); ++i) {
      char text[64] = {};
      GetMenuStringW(windowMenu, UINT(i), text, 64, MF_BYPOSITION);
      const bool checked = GetMenuState(windowMenu, UINT(i), MF_BYPOSITION) & MF_CHECKED;
      out.push_back(std::string(text) + (checked ? "*" : ""));
    }
    return out;
  }

  HMENU bar = nullptr, windowMenu = nullptr;
  HWND frame = nullptr, client = nullptr;
  std::vector<HWND> kids;
};

TEST_F(MdiTest, ChildrenAreCreatedActivatedAndListedInTheWindowMenu) {
  ASSERT_EQ(kids.size(), 3u);
  for (size_t i = 0; i < kids.size(); ++i) {
    ASSERT_TRUE(kids[i]);
    EXPECT_EQ(GetParent(kids[i]), client);
    EXPECT_EQ(GetDlgCtrlID(kids[i]), int(500 + i));
    EXPECT_TRUE(GetWindowLongPtrW(kids[i], GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_TRUE(IsWindowVisible(kids[i]));
  }
  EXPECT_EQ(Active(), kids[2]);
  EXPECT_EQ(GetWindow(client, GW_CHILD), kids[2]);
  EXPECT_EQ(WindowMenuTexts(), (std::vector<std::string>{"&Tile", "", "&1 One", "&2 Two", "&3 Three*"}));

  // Choosing an entry activates that child; a rename shows in the list.
  SendMessageW(frame, WM_COMMAND, 500, 0);
  EXPECT_EQ(Active(), kids[0]);
  EXPECT_EQ(GetWindow(client, GW_CHILD), kids[0]);
  SetWindowTextW(kids[1], "Second");
  EXPECT_EQ(WindowMenuTexts(), (std::vector<std::string>{"&Tile", "", "&1 One*", "&2 Second", "&3 Three"}));

  // Destroying a child renumbers the rest and activates the next one.
  SendMessageW(client, WM_MDIDESTROY, WPARAM(kids[0]), 0);
  EXPECT_FALSE(IsWindow(kids[0]));
  EXPECT_EQ(GetDlgCtrlID(kids[1]), 500);
  EXPECT_EQ(GetDlgCtrlID(kids[2]), 501);
  EXPECT_TRUE(Active() == kids[1] || Active() == kids[2]);
  EXPECT_EQ(WindowMenuTexts().size(), 4u);
  // Closing through the frame's own close destroys the last ones; the list goes with them.
  SendMessageW(kids[1], WM_CLOSE, 0, 0);
  SendMessageW(kids[2], WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(Active(), nullptr);
  EXPECT_EQ(WindowMenuTexts(), (std::vector<std::string>{"&Tile"}));
}

TEST_F(MdiTest, ActivationSwitchesTheCaptionsAndFollowsClicksAndKeys) {
  activations.clear();
  SendMessageW(client, WM_MDIACTIVATE, WPARAM(kids[0]), 0);
  EXPECT_EQ(Active(), kids[0]);
  EXPECT_EQ(GetFocus(), kids[0]);
  // The old child hears of it first, both with (deactivated, activated).
  ASSERT_EQ(activations.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(activations[i].wnd, i == 0 ? kids[2] : kids[0]);
    EXPECT_EQ(activations[i].wp, WPARAM(kids[2]));
    EXPECT_EQ(activations[i].lp, LPARAM(kids[0]));
  }

  // A press on another child's frame activates it.
  RECT r;
  GetWindowRect(kids[1], &r);
  SetWindowPos(kids[1], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  InjectMouseButton(TMouseButton::Left, true, r.left + 40, r.top + 8);
  InjectMouseButton(TMouseButton::Left, false, r.left + 40, r.top + 8);
  Application->ProcessMessages();
  EXPECT_EQ(Active(), kids[1]);

  // Ctrl+F6 goes on to the next child, Ctrl+Shift+F6 back; Ctrl+F4 closes the active one.
  InjectKey(VK_CONTROL, true);
  MSG m{};
  m.message = WM_KEYDOWN;
  m.wParam = VK_F6;
  m.hwnd = kids[1];
  // kids[1] was in front of kids[0], kids[0] of kids[2]: the one behind comes forward.
  EXPECT_TRUE(TranslateMDISysAccel(client, &m));
  EXPECT_EQ(Active(), kids[0]);
  InjectKey(VK_SHIFT, true);
  EXPECT_TRUE(TranslateMDISysAccel(client, &m));
  InjectKey(VK_SHIFT, false);
  EXPECT_EQ(Active(), kids[1]);
  m.wParam = VK_F4;
  EXPECT_TRUE(TranslateMDISysAccel(client, &m));
  EXPECT_FALSE(IsWindow(kids[1]));
  InjectKey(VK_CONTROL, false);
  EXPECT_FALSE(TranslateMDISysAccel(client, &m));
}

TEST_F(MdiTest, MaximisedChildPutsItsIconAndButtonsInTheFrameMenuBar) {
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  SendMessageW(client, WM_MDIMAXIMIZE, WPARAM(kids[1]), 0);
  BOOL maximized = FALSE;
  EXPECT_EQ(Active(&maximized), kids[1]);
  EXPECT_TRUE(maximized);
  EXPECT_TRUE(IsZoomed(kids[1]));
  // The child's client area is the client's whole area; its frame lies outside.
  RECT cc, kc;
  GetClientRect(client, &cc);
  GetClientRect(kids[1], &kc);
  EXPECT_EQ(kc.right, cc.right);
  EXPECT_EQ(kc.bottom, cc.bottom);
  RECT wr = InClient(kids[1]);
  EXPECT_LT(wr.top, 0);

  ASSERT_EQ(GetMenuItemCount(bar), 6);
  MENUITEMINFOW icon;
  icon.fMask = MIIM_BITMAP | MIIM_DATA | MIIM_SUBMENU;
  GetMenuItemInfoW(bar, 0, TRUE, &icon);
  EXPECT_EQ(icon.hbmpItem, HBMMENU_SYSTEM);
  EXPECT_EQ(icon.hSubMenu, GetSystemMenu(kids[1], FALSE));
  EXPECT_EQ(reinterpret_cast<HWND>(icon.dwItemData), kids[1]);
  EXPECT_EQ(GetMenuItemID(bar, 3), UINT(SC_MINIMIZE));
  EXPECT_EQ(GetMenuItemID(bar, 4), UINT(SC_RESTORE));
  EXPECT_EQ(GetMenuItemID(bar, 5), UINT(SC_CLOSE));
  // The buttons sit at the bar's right end, the icon at its left.
  RECT fr, closeRect, iconRect, fileRect;
  GetWindowRect(frame, &fr);
  ASSERT_TRUE(GetMenuItemRect(frame, bar, 5, &closeRect));
  GetMenuItemRect(frame, bar, 0, &iconRect);
  GetMenuItemRect(frame, bar, 1, &fileRect);
  EXPECT_EQ(closeRect.right, fr.right - GetSystemMetrics(SM_CXFRAME));
  EXPECT_LT(iconRect.left, fileRect.left);
  // The close button's glyph differs from the bar's background.
  const int cx = (closeRect.left + closeRect.right) / 2 - fr.left, cy = (closeRect.top + closeRect.bottom) / 2 - fr.top;
  EXPECT_NE(SurfacePixel(frame, cx, cy), GetSysColor(COLOR_MENU));

  // Another child activated becomes the maximised one.
  SendMessageW(client, WM_MDIACTIVATE, WPARAM(kids[0]), 0);
  EXPECT_TRUE(IsZoomed(kids[0]));
  EXPECT_FALSE(IsZoomed(kids[1]));
  GetMenuItemInfoW(bar, 0, TRUE, &icon);
  EXPECT_EQ(reinterpret_cast<HWND>(icon.dwItemData), kids[0]);
  EXPECT_EQ(GetMenuItemCount(bar), 6);

  // The bar's restore button restores the child and takes the items away.
  SendMessageW(frame, WM_COMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsZoomed(kids[0]));
  EXPECT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_TRUE(IsMenu(GetSystemMenu(kids[0], FALSE)));

  // Closing a maximised child maximises the next one; closing the last empties the bar again.
  ShowWindow(kids[0], SW_SHOWMAXIMIZED);
  EXPECT_EQ(GetMenuItemCount(bar), 6);
  SendMessageW(frame, WM_COMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(kids[0]));
  HWND next = Active();
  ASSERT_TRUE(next);
  EXPECT_TRUE(IsZoomed(next));
  EXPECT_EQ(GetMenuItemCount(bar), 6);
  // A new child made while one is maximised comes maximised.
  HWND fourth = NewChild("Four");
  EXPECT_TRUE(IsZoomed(fourth));
  EXPECT_FALSE(IsZoomed(next));
  DestroyWindow(fourth);
  DestroyWindow(kids[1]);
  DestroyWindow(kids[2]);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
}

TEST_F(MdiTest, TileAndCascadeArrangeTheVisibleChildren) {
  RECT cc;
  GetClientRect(client, &cc);
  SendMessageW(client, WM_MDIMAXIMIZE, WPARAM(kids[2]), 0);
  EXPECT_TRUE(SendMessageW(client, WM_MDITILE, MDITILE_VERTICAL, 0));
  EXPECT_FALSE(IsZoomed(kids[2]));
  EXPECT_EQ(GetMenuItemCount(bar), 2);
  // Side by side: three columns over the whole height, together covering the width.
  std::vector<RECT> rs;
  for (HWND k : kids) rs.push_back(InClient(k));
  std::sort(rs.begin(), rs.end(), [](const RECT& a, const RECT& b) { return a.left < b.left; });
  EXPECT_EQ(rs[0].left, 0);
  EXPECT_EQ(rs[1].left, rs[0].right);
  EXPECT_EQ(rs[2].left, rs[1].right);
  EXPECT_EQ(rs[2].right, cc.right);
  for (const RECT& r : rs) EXPECT_EQ(r.bottom - r.top, cc.bottom);

  SendMessageW(client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
  rs.clear();
  for (HWND k : kids) rs.push_back(InClient(k));
  std::sort(rs.begin(), rs.end(), [](const RECT& a, const RECT& b) { return a.top < b.top; });
  EXPECT_EQ(rs[0].top, 0);
  EXPECT_EQ(rs[1].top, rs[0].bottom);
  EXPECT_EQ(rs[2].bottom, cc.bottom);
  for (const RECT& r : rs) EXPECT_EQ(r.right - r.left, cc.right);

  // Cascade: each a caption lower and further right; the active child last, in front.
  SendMessageW(client, WM_MDICASCADE, 0, 0);
  const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
  HWND active = Active();
  RECT ar = InClient(active);
  EXPECT_EQ(ar.left, 2 * step);
  EXPECT_EQ(ar.top, 2 * step);
  EXPECT_EQ(GetWindow(client, GW_CHILD), active);
  std::vector<int> lefts;
  for (HWND k : kids) lefts.push_back(InClient(k).left);
  std::sort(lefts.begin(), lefts.end());
  EXPECT_EQ(lefts, (std::vector<int>{0, step, 2 * step}));
}

TEST_F(MdiTest, ChildrenBeyondTheAreaScrollIntoView) {
  SendMessageW(client, WM_MDITILE, MDITILE_VERTICAL, 0);
  EXPECT_FALSE(GetWindowLongPtrW(client, GWL_STYLE) & WS_HSCROLL);
  RECT cc;
  GetClientRect(client, &cc);
  SetWindowPos(kids[0], nullptr, cc.right - 50, 10, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(GetWindowLongPtrW(client, GWL_STYLE) & WS_HSCROLL);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  GetScrollInfo(client, SB_HORZ, &si);
  RECT inner;
  GetClientRect(client, &inner);
  // Positions count eight pixels each, the client's own area at position 0.
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, (cc.right - 50 + 200 + 7) / 8 - 1);
  EXPECT_EQ(int(si.nPage), inner.right / 8);
  EXPECT_EQ(si.nPos, 0);
  // Dropping the thumb at the end brings the child's right edge into the area.
  const int end = si.nMax - int(si.nPage) + 1;
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, end), 0);
  RECT r = InClient(kids[0]);
  EXPECT_EQ(r.left, cc.right - 50 - 8 * end);
  EXPECT_LE(r.right, inner.right);
  EXPECT_GT(r.right, inner.right - 2 * 8);  // page and range round to whole positions
  // Back to the start, and nothing moves past it.
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
  EXPECT_EQ(InClient(kids[0]).left, cc.right - 50);
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), 0);
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
  EXPECT_EQ(InClient(kids[0]).left, cc.right - 50);
}

}  // namespace

namespace {

class MdiFormTest : public WindowTest {};

TEST_F(MdiFormTest, MdiFormHoldsItsChildFormsInTheClient) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->SetFormStyle(fsMDIForm);
  main->SetBounds(20, 20, 640, 480);
  main->Show();
  ASSERT_TRUE(main->ClientHandle());
  char cls[32] = {};
  GetClassNameW(main->ClientHandle(), cls, 32);
  EXPECT_STREQ(cls, "MDICLIENT");
  RECT fc, cc;
  GetClientRect(main->Handle(), &fc);
  GetClientRect(main->ClientHandle(), &cc);
  EXPECT_EQ(cc.right + 2 * GetSystemMetrics(SM_CXEDGE), fc.right);

  std::vector<TForm*> kids;
  for (int i = 0; i < 3; ++i) {
    auto* f = new TForm(Application);
    f->SetFormStyle(fsMDIChild);
    f->SetBounds(10 * i, 10 * i, 200, 150);
    f->Show();
    kids.push_back(f);
  }
  EXPECT_EQ(GetParent(kids[0]->Handle()), main->ClientHandle());
  EXPECT_EQ(kids[1]->Left(), 10);  // bounds count from the client
  EXPECT_EQ(main->MDIChildCount(), 3);
  EXPECT_EQ(main->ActiveMDIChild(), kids[2]);
  EXPECT_EQ(main->MDIChildren(0), kids[2]);

  kids[0]->SetWindowState(wsMaximized);
  EXPECT_EQ(main->ActiveMDIChild(), kids[0]);
  EXPECT_EQ(kids[0]->WindowState(), wsMaximized);
  main->TileMode = tbVertical;
  main->Tile();
  EXPECT_EQ(kids[0]->WindowState(), wsNormal);
  RECT r;
  GetClientRect(main->ClientHandle(), &cc);
  int widths = 0;
  for (TForm* f : kids) {
    GetWindowRect(f->Handle(), &r);
    widths += r.right - r.left;
    EXPECT_EQ(r.bottom - r.top, cc.bottom);
  }
  EXPECT_EQ(widths, cc.right);
  main->Cascade();
  EXPECT_EQ(main->ActiveMDIChild()->Left(), 2 * (GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME)));
  main->Next();
  EXPECT_NE(main->ActiveMDIChild(), kids[0]);

  for (TForm* f : kids) delete f;
  EXPECT_EQ(main->MDIChildCount(), 0);
  EXPECT_EQ(main->ActiveMDIChild(), nullptr);
}

TEST_F(MdiFormTest, ChildFormWithoutAnMdiFormIsRefused) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  auto* f = new TForm(Application);
  f->SetFormStyle(fsMDIChild);
  EXPECT_THROW(f->Handle(), EInvalidOperation);
  delete f;
}

}  // namespace
