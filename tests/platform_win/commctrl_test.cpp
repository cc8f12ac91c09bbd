// Tab controls, status bars, tool bars and tree views: their messages, what
// injected input makes them tell their parent, and how they paint; the dialog
// manager's keyboard navigation; scrolling a window, device queries, DrawStateW.

#include <cstring>

#include "tests/platform_win/ControlsFixture.h"

namespace {

using Notes = std::vector<UINT>;

class CommCtrlTest : public ControlsTest {
 protected:
  Notes NotifyCodes() const {
    Notes out;
    for (const Heard& h : log)
      if (h.msg == WM_NOTIFY && h.notifyCode != NM_CUSTOMDRAW) out.push_back(h.notifyCode);
    return out;
  }
  std::vector<WPARAM> CommandIds() const {
    std::vector<WPARAM> out;
    for (const Heard& h : log)
      if (h.msg == WM_COMMAND) out.push_back(LOWORD(h.wParam));
    return out;
  }
  // Puts a procedure in front of the parent's own for one test.
  template <class F>
  void HookParent(F f) {
    static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool&)> hook;
    static WNDPROC old = nullptr;
    hook = f;
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) {
      bool handled = false;
      const LRESULT r = hook(h, m, wp, lp, handled);
      return handled ? r : CallWindowProcW(old, h, m, wp, lp);
    })));
  }
};

int AddTab(HWND tab, int at, const char* text, LPARAM param = 0) {
  TCITEMW item;
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = const_cast<char*>(text);
  item.lParam = param;
  return int(SendMessageW(tab, TCM_INSERTITEMW, WPARAM(at), LPARAM(&item)));
}

RECT TabRect(HWND tab, int i) {
  RECT r{};
  SendMessageW(tab, TCM_GETITEMRECT, WPARAM(i), LPARAM(&r));
  return r;
}

// Two solid images of one size: red, then blue.
HIMAGELIST SolidImages(int cx, int cy) {
  HIMAGELIST list = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 2, 2);
  HBITMAP strip = CreateCompatibleBitmap(nullptr, 2 * cx, cy);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, strip);
  for (int i = 0; i < 2; ++i) {
    HBRUSH fill = CreateSolidBrush(i ? RGB(0, 0, 255) : RGB(255, 0, 0));
    RECT r{i * cx, 0, i * cx + cx, cy};
    FillRect(dc, &r, fill);
    DeleteObject(fill);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ImageList_AddMasked(list, strip, RGB(0, 255, 0));
  DeleteObject(strip);
  return list;
}

// ---- "SysTabControl32" ----

TEST_F(CommCtrlTest, TabControlKeepsItsTabsAndAnswersItsMessages) {
  HWND tab = Make(WC_TABCONTROLW, 0, 10, 10, 300, 150);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(AddTab(tab, 0, "First", 11), 0);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);  // the first tab is selected at once
  EXPECT_EQ(AddTab(tab, 5, "Third", 33), 1);              // past the end: appended
  EXPECT_EQ(AddTab(tab, 1, "Second", 22), 1);
  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(tab, TCM_GETROWCOUNT, 0, 0), 1);

  char buf[8];
  TCITEMW item;
  item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE | TCIF_STATE;
  item.pszText = buf;
  item.cchTextMax = 4;  // cut to the buffer
  ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMW, 2, LPARAM(&item)));
  EXPECT_STREQ(buf, "Thi");
  EXPECT_EQ(item.lParam, 33);
  EXPECT_EQ(item.iImage, -1);
  EXPECT_FALSE(SendMessageW(tab, TCM_GETITEMW, 3, LPARAM(&item)));
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>("Longer third");
  EXPECT_TRUE(SendMessageW(tab, TCM_SETITEMW, 2, LPARAM(&item)));

  // Tabs sit side by side along the top, each as wide as its caption needs.
  const RECT a = TabRect(tab, 0), b = TabRect(tab, 1), c = TabRect(tab, 2);
  EXPECT_EQ(a.right, b.left);
  EXPECT_EQ(b.right, c.left);
  EXPECT_GT(c.right - c.left, a.right - a.left);
  EXPECT_EQ(a.top, b.top);
  EXPECT_FALSE(SendMessageW(tab, TCM_GETITEMRECT, 3, LPARAM(&item)));

  // The display rectangle lies below the tabs; the two directions undo each other.
  RECT r{0, 0, 300, 150};
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, LPARAM(&r));
  EXPECT_GE(r.top, a.bottom);
  EXPECT_GT(r.left, 0);
  EXPECT_LT(r.right, 300);
  SendMessageW(tab, TCM_ADJUSTRECT, TRUE, LPARAM(&r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 150);

  struct Case {
    UINT msg;
    WPARAM wp;
    LRESULT result;
    int cursel;
  };
  for (const Case& k : std::vector<Case>{{TCM_SETCURSEL, 2, 0, 2},
                                         {TCM_SETCURSEL, 7, -1, 2},  // no such tab: unchanged
                                         {TCM_DELETEITEM, 0, TRUE, 1},  // tabs before the selection move it
                                         {TCM_DELETEITEM, 1, TRUE, -1},  // the selected one gone: none
                                         {TCM_DELETEITEM, 4, FALSE, -1},
                                         {TCM_SETCURSEL, 0, -1, 0}}) {
    EXPECT_EQ(SendMessageW(tab, k.msg, k.wp, 0), k.result) << k.msg << " " << k.wp;
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), k.cursel) << k.msg << " " << k.wp;
  }
  EXPECT_TRUE(log.empty() || NotifyCodes().empty());  // programmatic changes tell nobody
}

TEST_F(CommCtrlTest, TabControlAsksItsParentBeforeTheUserChangesTabs) {
  HWND tab = Make(WC_TABCONTROLW, 0, 10, 10, 300, 150);
  for (const char* t : {"One", "Two", "Three"}) AddTab(tab, 9, t);
  log.clear();
  RECT r = TabRect(tab, 1);
  Click(tab, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(NotifyCodes(), (Notes{NM_SETFOCUS, TCN_SELCHANGING, TCN_SELCHANGE, NM_CLICK}));
  EXPECT_EQ(GetFocus(), tab);

  log.clear();
  Key(VK_RIGHT);
  Key(VK_RIGHT);  // already the last tab
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(NotifyCodes(), (Notes{TCN_KEYDOWN, TCN_SELCHANGING, TCN_SELCHANGE, TCN_KEYDOWN}));

  // A parent that answers TCN_SELCHANGING with TRUE keeps the old tab.
  HookParent([](HWND, UINT m, WPARAM, LPARAM lp, bool& handled) -> LRESULT {
    handled = m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == TCN_SELCHANGING;
    return handled ? TRUE : 0;
  });
  r = TabRect(tab, 0);
  Click(tab, r.left + 3, r.top + 3);
  Key(VK_LEFT);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
}

TEST_F(CommCtrlTest, TabsThatDoNotFitWrapIntoRowsOrScroll) {
  HWND single = Make(WC_TABCONTROLW, 0, 10, 10, 120, 100, "", 1);
  for (const char* t : {"Alpha", "Beta", "Gamma", "Delta"}) AddTab(single, 9, t);
  HWND arrows = FindWindowExW(single, nullptr, UPDOWN_CLASSW, nullptr);
  ASSERT_NE(arrows, nullptr);
  // Scrolling by the arrows moves the first tab out on the left.
  const int firstLeft = TabRect(single, 0).left;
  RECT ar;
  GetClientRect(arrows, &ar);
  Click(arrows, ar.right - 3, ar.bottom / 2);
  EXPECT_EQ(TabRect(single, 1).left, firstLeft);
  EXPECT_LT(TabRect(single, 0).left, 0);
  SetWindowPos(single, nullptr, 0, 0, 390, 100, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(FindWindowExW(single, nullptr, UPDOWN_CLASSW, nullptr), nullptr);
  EXPECT_EQ(TabRect(single, 0).left, firstLeft);

  HWND multi = Make(WC_TABCONTROLW, TCS_MULTILINE, 10, 120, 120, 150, "", 2);
  for (const char* t : {"Alpha", "Beta", "Gamma", "Delta"}) AddTab(multi, 9, t);
  EXPECT_EQ(FindWindowExW(multi, nullptr, UPDOWN_CLASSW, nullptr), nullptr);
  const LRESULT rows = SendMessageW(multi, TCM_GETROWCOUNT, 0, 0);
  EXPECT_GE(rows, 2);
  // The selected tab's row lies next to the page frame; selecting one in another row brings that row there.
  const int frameSide = TabRect(multi, 0).bottom;
  SendMessageW(multi, TCM_SETCURSEL, 3, 0);
  EXPECT_EQ(TabRect(multi, 3).bottom, frameSide);
  EXPECT_LT(TabRect(multi, 0).bottom, frameSide);
  RECT display{0, 0, 120, 150};
  SendMessageW(multi, TCM_ADJUSTRECT, FALSE, LPARAM(&display));
  EXPECT_GE(display.top, frameSide);

  // The other sides: tabs along the bottom or the left, the display rectangle away from them.
  HWND bottom = Make(WC_TABCONTROLW, TCS_BOTTOM, 140, 120, 200, 80, "", 3);
  AddTab(bottom, 0, "B");
  RECT rb = TabRect(bottom, 0), db{0, 0, 200, 80};
  SendMessageW(bottom, TCM_ADJUSTRECT, FALSE, LPARAM(&db));
  EXPECT_LE(db.bottom, rb.top);
  HWND left = Make(WC_TABCONTROLW, TCS_VERTICAL, 140, 210, 200, 80, "", 4);
  AddTab(left, 0, "Left side");
  RECT rl = TabRect(left, 0), dl{0, 0, 200, 80};
  SendMessageW(left, TCM_ADJUSTRECT, FALSE, LPARAM(&dl));
  EXPECT_LE(rl.right, dl.left);
  EXPECT_GT(rl.bottom - rl.top, rl.right - rl.left);  // the caption runs down the side
}

TEST_F(CommCtrlTest, TabControlPaintsItsFrameAndTheSelectedTabOverIt) {
  HWND tab = Make(WC_TABCONTROLW, 0, 10, 10, 300, 150);
  for (const char* t : {"One", "Two"}) AddTab(tab, 9, t);
  const RECT sel = TabRect(tab, 0), other = TabRect(tab, 1);
  const int frameTop = other.bottom + 1;  // the frame's inner top edge, just below the row
  // The frame's top edge shows under the unselected tab and is covered by the selected one.
  EXPECT_EQ(Pixel(tab, (other.left + other.right) / 2, frameTop), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Pixel(tab, (sel.left + sel.right) / 2, frameTop), GetSysColor(COLOR_BTNFACE));
  EXPECT_GT(Ink(tab, sel, GetSysColor(COLOR_BTNFACE)), 10);  // edges and caption
  // The selected tab stands out above the others.
  EXPECT_EQ(Pixel(tab, (sel.left + sel.right) / 2, sel.top - 2), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Pixel(tab, (other.left + other.right) / 2, other.top - 2), GetSysColor(COLOR_BTNFACE));

  // Owner-drawn tabs are drawn by the parent, one WM_DRAWITEM per tab.
  HWND drawn = Make(WC_TABCONTROLW, TCS_OWNERDRAWFIXED, 10, 170, 300, 100, "", 9);
  AddTab(drawn, 0, "A", 5);
  log.clear();
  InvalidateRect(drawn, nullptr, TRUE);
  UpdateWindow(drawn);
  ASSERT_EQ(std::count_if(log.begin(), log.end(), [](const Heard& h) { return h.msg == WM_DRAWITEM; }), 1);
}

TEST_F(CommCtrlTest, TabImagesWidenTheirTabsAndDrawInside) {
  HWND tab = Make(WC_TABCONTROLW, 0, 10, 10, 300, 150);
  for (const char* t : {"One", "Two"}) AddTab(tab, 9, t);
  const RECT plain = TabRect(tab, 1);
  HIMAGELIST list = SolidImages(16, 16);
  EXPECT_EQ(SendMessageW(tab, TCM_SETIMAGELIST, 0, LPARAM(list)), 0);
  TCITEMW item;
  item.mask = TCIF_IMAGE;
  item.iImage = 0;
  ASSERT_TRUE(SendMessageW(tab, TCM_SETITEMW, 1, LPARAM(&item)));
  const RECT shown = TabRect(tab, 1);
  EXPECT_GE((shown.right - shown.left) - (plain.right - plain.left), 16);
  EXPECT_GE(shown.bottom - shown.top, 16);
  EXPECT_EQ(CountPixels(tab, shown, [](COLORREF c) { return c == RGB(255, 0, 0); }), 16 * 16);
  // A tab without an image, or with one the list lacks, stays as it was.
  item.iImage = 7;
  ASSERT_TRUE(SendMessageW(tab, TCM_SETITEMW, 0, LPARAM(&item)));
  const RECT none = TabRect(tab, 0);
  EXPECT_EQ(CountPixels(tab, none, [](COLORREF c) { return c == RGB(255, 0, 0); }), 0);
  DestroyWindow(tab);
  ImageList_Destroy(list);
}

// ---- "msctls_statusbar32" ----

TEST_F(CommCtrlTest, StatusBarKeepsItsPartsAndSitsAtTheParentsBottom) {
  HWND sb = Make(STATUSCLASSNAMEW, 0, 0, 0, 0, 0);
  RECT pr, sr;
  GetClientRect(parent, &pr);
  GetWindowRect(sb, &sr);
  POINT tl{sr.left, sr.top};
  ScreenToClient(parent, &tl);
  EXPECT_EQ(tl.x, 0);
  EXPECT_EQ(tl.y + (sr.bottom - sr.top), pr.bottom);
  EXPECT_EQ(sr.right - sr.left, pr.right);
  EXPECT_EQ(SendMessageW(sb, SB_GETPARTS, 0, 0), 1);

  const int edges[] = {80, 200, -1};
  EXPECT_TRUE(SendMessageW(sb, SB_SETPARTS, 3, LPARAM(edges)));
  int got[4] = {};
  EXPECT_EQ(SendMessageW(sb, SB_GETPARTS, 4, LPARAM(got)), 3);
  EXPECT_EQ(got[1], 200);
  EXPECT_EQ(got[2], -1);
  EXPECT_FALSE(SendMessageW(sb, SB_SETPARTS, 0, LPARAM(edges)));
  RECT r0, r1, r2;
  SendMessageW(sb, SB_GETRECT, 0, LPARAM(&r0));
  SendMessageW(sb, SB_GETRECT, 1, LPARAM(&r1));
  SendMessageW(sb, SB_GETRECT, 2, LPARAM(&r2));
  EXPECT_EQ(r0.right, 80);
  EXPECT_GT(r1.left, r0.right);
  EXPECT_EQ(r1.right, 200);
  EXPECT_EQ(r2.right, 400);  // -1 reaches the end
  EXPECT_FALSE(SendMessageW(sb, SB_GETRECT, 3, LPARAM(&r2)));

  EXPECT_TRUE(SendMessageW(sb, SB_SETTEXTW, 1 | SBT_POPOUT, LPARAM("Ready")));
  EXPECT_EQ(SendMessageW(sb, SB_GETTEXTLENGTHW, 1, 0), MAKELRESULT(5, int(SBT_POPOUT)));
  char buf[16];
  EXPECT_EQ(LOWORD(SendMessageW(sb, SB_GETTEXTW, 1, LPARAM(buf))), 5);
  EXPECT_STREQ(buf, "Ready");
  EXPECT_FALSE(SendMessageW(sb, SB_SETTEXTW, 7, LPARAM("x")));
  EXPECT_GT(Ink(sb, r1, GetSysColor(COLOR_BTNFACE)), 20);

  // Simple mode: one part over the whole bar, with its own text; the parent hears of the switch.
  log.clear();
  SendMessageW(sb, SB_SIMPLE, TRUE, 0);
  EXPECT_EQ(SendMessageW(sb, SB_ISSIMPLE, 0, 0), TRUE);
  EXPECT_EQ(NotifyCodes(), (Notes{SBN_SIMPLEMODECHANGE}));
  SendMessageW(sb, SB_SETTEXTW, SB_SIMPLEID, LPARAM("Simple"));
  EXPECT_EQ(LOWORD(SendMessageW(sb, SB_GETTEXTLENGTHW, SB_SIMPLEID, 0)), 6);
  EXPECT_EQ(LOWORD(SendMessageW(sb, SB_GETTEXTLENGTHW, 1, 0)), 5);  // the parts keep theirs
  SendMessageW(sb, SB_SIMPLE, FALSE, 0);

  // Owner-drawn parts come to the parent with their data.
  SendMessageW(sb, SB_SETTEXTW, 2 | SBT_OWNERDRAW, LPARAM(0x1234));
  EXPECT_EQ(SendMessageW(sb, SB_GETTEXTW, 2, 0), 0x1234);
  log.clear();
  InvalidateRect(sb, nullptr, TRUE);
  UpdateWindow(sb);
  auto it = std::find_if(log.begin(), log.end(), [](const Heard& h) { return h.msg == WM_DRAWITEM; });
  ASSERT_NE(it, log.end());

  // The parent passes its WM_SIZE on; the bar follows the new size.
  SetWindowPos(parent, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  SendMessageW(sb, WM_SIZE, 0, MAKELPARAM(300, 200));
  GetWindowRect(sb, &sr);
  EXPECT_EQ(sr.right - sr.left, 300);
  EXPECT_EQ(sr.bottom, 100 + 200);
}

TEST_F(CommCtrlTest, StatusBarGripAnswersAsTheWindowsCornerWhenTheWindowSizes) {
  SetWindowLongPtrW(parent, GWL_STYLE, GetWindowLongPtrW(parent, GWL_STYLE) | WS_THICKFRAME);
  HWND sb = Make(STATUSCLASSNAMEW, SBARS_SIZEGRIP, 0, 0, 0, 0);
  RECT sr;
  GetWindowRect(sb, &sr);
  EXPECT_EQ(SendMessageW(sb, WM_NCHITTEST, 0, MAKELPARAM(sr.right - 3, sr.bottom - 3)), HTBOTTOMRIGHT);
  EXPECT_EQ(SendMessageW(sb, WM_NCHITTEST, 0, MAKELPARAM(sr.left + 3, sr.bottom - 3)), HTCLIENT);
  HWND plain = Make(STATUSCLASSNAMEW, 0, 0, 0, 0, 0, "", 8);
  GetWindowRect(plain, &sr);
  EXPECT_EQ(SendMessageW(plain, WM_NCHITTEST, 0, MAKELPARAM(sr.right - 3, sr.bottom - 3)), HTCLIENT);
}

// ---- "ToolbarWindow32" ----

class ToolbarTest : public CommCtrlTest {
 protected:
  HWND MakeBar(DWORD style = TBSTYLE_FLAT | CCS_NOPARENTALIGN | CCS_NORESIZE, int width = 380) {
    HWND tb = Make(TOOLBARCLASSNAMEW, style, 0, 0, width, 40);
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    EXPECT_EQ(SendMessageW(tb, TB_ADDSTRINGW, 0, LPARAM("Open\0Save\0")), 0);
    TBBUTTON b[7];
    b[0] = TBBUTTON{0, 101, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0};
    b[1] = TBBUTTON{1, 102, TBSTATE_ENABLED, BTNS_BUTTON, {}, 7, 1};
    b[2] = TBBUTTON{0, 0, 0, BTNS_SEP, {}, 0, -1};
    b[3] = TBBUTTON{2, 103, TBSTATE_ENABLED, BTNS_CHECK, {}, 0, LONG_PTR(reinterpret_cast<uintptr_t>("Mark"))};
    b[4] = TBBUTTON{3, 104, TBSTATE_ENABLED | TBSTATE_CHECKED, BTNS_CHECKGROUP, {}, 0, -1};
    b[5] = TBBUTTON{4, 105, TBSTATE_ENABLED, BTNS_CHECKGROUP, {}, 0, -1};
    b[6] = TBBUTTON{5, 106, TBSTATE_ENABLED, BTNS_DROPDOWN, {}, 0, -1};
    EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 7, LPARAM(b)));
    return tb;
  }
  RECT ItemRect(HWND tb, int i) {
    RECT r{};
    SendMessageW(tb, TB_GETITEMRECT, WPARAM(i), LPARAM(&r));
    return r;
  }
  void ClickButton(HWND tb, int i, int dx = 0) {
    const RECT r = ItemRect(tb, i);
    Click(tb, (r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2);
  }
};

TEST_F(ToolbarTest, ToolBarAnswersItsButtonMessages) {
  HWND tb = MakeBar();
  EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 7);
  TBBUTTON b;
  ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 1, LPARAM(&b)));
  EXPECT_EQ(b.idCommand, 102);
  EXPECT_EQ(b.dwData, 7u);
  EXPECT_EQ(b.fsState, TBSTATE_ENABLED);
  EXPECT_FALSE(SendMessageW(tb, TB_GETBUTTON, 7, LPARAM(&b)));
  ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 3, LPARAM(&b)));
  EXPECT_EQ(b.iString, -1);  // a caption given by pointer is the bar's own copy

  // Captions: from the string list by index, or given by pointer; the length when no buffer is given.
  char buf[32];
  EXPECT_EQ(SendMessageW(tb, TB_GETBUTTONTEXTW, 102, 0), 4);
  EXPECT_EQ(SendMessageW(tb, TB_GETBUTTONTEXTW, 102, LPARAM(buf)), 4);
  EXPECT_STREQ(buf, "Save");
  EXPECT_EQ(SendMessageW(tb, TB_GETBUTTONTEXTW, 103, LPARAM(buf)), 4);
  EXPECT_STREQ(buf, "Mark");
  EXPECT_EQ(SendMessageW(tb, TB_GETBUTTONTEXTW, 999, LPARAM(buf)), -1);

  // One row, buttons side by side, captions under the images; a separator is 8 wide.
  RECT r[7];
  for (int i = 0; i < 7; ++i) r[i] = ItemRect(tb, i);
  for (int i = 1; i < 7; ++i) EXPECT_EQ(r[i].left, r[i - 1].right) << i;
  EXPECT_EQ(r[2].right - r[2].left, 8);
  EXPECT_GT(r[0].bottom - r[0].top, 22);  // room for a caption line
  EXPECT_EQ(SendMessageW(tb, TB_GETROWS, 0, 0), 1);
  EXPECT_EQ(SendMessageW(tb, TB_GETBUTTONSIZE, 0, 0), MAKELRESULT(r[0].right - r[0].left, r[0].bottom - r[0].top));

  struct Case {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    LRESULT result;
  };
  for (const Case& k : std::vector<Case>{{TB_ISBUTTONENABLED, 101, 0, TBSTATE_ENABLED},
                                         {TB_ENABLEBUTTON, 101, FALSE, TRUE},
                                         {TB_ISBUTTONENABLED, 101, 0, 0},
                                         {TB_ISBUTTONCHECKED, 104, 0, TBSTATE_CHECKED},
                                         {TB_CHECKBUTTON, 105, TRUE, TRUE},
                                         {TB_ISBUTTONCHECKED, 104, 0, 0},  // one per check group
                                         {TB_ISBUTTONCHECKED, 999, 0, -1},
                                         {TB_GETSTATE, 105, 0, TBSTATE_ENABLED | TBSTATE_CHECKED},
                                         {TB_COMMANDTOINDEX, 106, 0, 6},
                                         {TB_HIDEBUTTON, 102, TRUE, TRUE},
                                         {TB_ISBUTTONHIDDEN, 102, 0, TBSTATE_HIDDEN},
                                         {TB_ENABLEBUTTON, 999, TRUE, FALSE}})
    EXPECT_EQ(SendMessageW(tb, k.msg, k.wp, k.lp), k.result) << k.msg - WM_USER << " " << k.wp;
  // A hidden button takes no room.
  EXPECT_FALSE(SendMessageW(tb, TB_GETITEMRECT, 1, LPARAM(&r[1])));
  EXPECT_EQ(ItemRect(tb, 2).left, r[0].right);

  log.clear();
  EXPECT_TRUE(SendMessageW(tb, TB_DELETEBUTTON, 0, 0));
  EXPECT_EQ(NotifyCodes(), (Notes{TBN_DELETINGBUTTON}));
  EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 6);
  EXPECT_FALSE(SendMessageW(tb, TB_DELETEBUTTON, 6, 0));

  // A wrapping bar breaks its row where the buttons no longer fit.
  HWND narrow = MakeBar(TBSTYLE_WRAPABLE | CCS_NOPARENTALIGN | CCS_NORESIZE, 100);
  EXPECT_GT(SendMessageW(narrow, TB_GETROWS, 0, 0), 1);
  EXPECT_GT(ItemRect(narrow, 6).top, ItemRect(narrow, 0).top);
  for (int i = 0; i < 7; ++i) EXPECT_LE(ItemRect(narrow, i).right, 100) << i;
}

TEST_F(ToolbarTest, ToolBarButtonsSizeToAndDrawTheirImages) {
  HWND tb = MakeBar();
  const RECT before = ItemRect(tb, 0);
  HIMAGELIST list = SolidImages(24, 24);
  EXPECT_EQ(SendMessageW(tb, TB_SETIMAGELIST, 0, LPARAM(list)), 0);
  const RECT open = ItemRect(tb, 0), save = ItemRect(tb, 1);
  EXPECT_EQ((open.bottom - open.top) - (before.bottom - before.top), 24 - 15);  // was sized for 16 x 15
  EXPECT_GE(open.right - open.left, 24);
  auto red = [](COLORREF c) { return c == RGB(255, 0, 0); };
  auto blue = [](COLORREF c) { return c == RGB(0, 0, 255); };
  EXPECT_EQ(CountPixels(tb, open, red), 24 * 24);
  EXPECT_EQ(CountPixels(tb, save, blue), 24 * 24);
  // The image sits above the caption.
  RECT top = open;
  top.bottom = top.top + 3 + 24;
  EXPECT_EQ(CountPixels(tb, top, red), 24 * 24);
  // Disabled and without a disabled list: the image shows faded, never in its own colour.
  SendMessageW(tb, TB_ENABLEBUTTON, 102, FALSE);
  EXPECT_EQ(CountPixels(tb, save, blue), 0);
  EXPECT_EQ(CountPixels(tb, save, [](COLORREF c) { return GetBValue(c) > GetRValue(c) + 40; }), 24 * 24);
  DestroyWindow(tb);
  ImageList_Destroy(list);
}

TEST_F(ToolbarTest, ToolBarClicksCheckAndDropDown) {
  HWND tb = MakeBar();
  log.clear();
  ClickButton(tb, 0);
  ClickButton(tb, 3);  // check button: toggles
  ClickButton(tb, 5);  // check group: the other one is cleared
  EXPECT_EQ(CommandIds(), (std::vector<WPARAM>{101, 103, 105}));
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONCHECKED, 103, 0), TBSTATE_CHECKED);
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONCHECKED, 104, 0), 0);
  ClickButton(tb, 5);  // clicking the checked group button keeps it checked
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONCHECKED, 105, 0), TBSTATE_CHECKED);
  ClickButton(tb, 3);
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONCHECKED, 103, 0), 0);

  // Pressed, then released elsewhere: no command. Disabled or separators: nothing.
  log.clear();
  RECT r0 = ItemRect(tb, 0);
  POINT in{(r0.left + r0.right) / 2, 10}, out{(r0.left + r0.right) / 2, 200};
  ClientToScreen(tb, &in);
  ClientToScreen(tb, &out);
  InjectMouseButton(TMouseButton::Left, true, in.x, in.y);
  Pump();
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONPRESSED, 101, 0), TBSTATE_PRESSED);
  InjectMouseMove(out.x, out.y);
  Pump();
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONPRESSED, 101, 0), 0);
  InjectMouseButton(TMouseButton::Left, false, out.x, out.y);
  Pump();
  SendMessageW(tb, TB_ENABLEBUTTON, 102, FALSE);
  ClickButton(tb, 1);
  ClickButton(tb, 2);
  EXPECT_TRUE(CommandIds().empty());

  // A drop-down button asks its parent while it shows pressed; the parent's answer decides the rest.
  static int droppedItem = 0;
  static BYTE stateDuring = 0;
  static LRESULT answer = TBDDRET_DEFAULT;
  HookParent([tb](HWND, UINT m, WPARAM, LPARAM lp, bool& handled) -> LRESULT {
    if (m != WM_NOTIFY || reinterpret_cast<NMHDR*>(lp)->code != TBN_DROPDOWN) return 0;
    droppedItem = reinterpret_cast<NMTOOLBARW*>(lp)->iItem;
    stateDuring = BYTE(SendMessageW(tb, TB_GETSTATE, WPARAM(droppedItem), 0));
    handled = true;
    return answer;
  });
  log.clear();
  ClickButton(tb, 6);
  EXPECT_EQ(droppedItem, 106);
  EXPECT_TRUE(stateDuring & TBSTATE_PRESSED);
  EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONPRESSED, 106, 0), 0);
  EXPECT_TRUE(CommandIds().empty());
  answer = TBDDRET_TREATPRESSED;
  ClickButton(tb, 6);
  EXPECT_EQ(CommandIds(), (std::vector<WPARAM>{106}));

  // With drawn drop-down arrows only the arrow part drops; the rest is a plain button.
  SendMessageW(tb, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  answer = TBDDRET_DEFAULT;
  droppedItem = 0;
  log.clear();
  const RECT r6 = ItemRect(tb, 6);
  Click(tb, r6.left + 3, (r6.top + r6.bottom) / 2);
  EXPECT_EQ(droppedItem, 0);
  EXPECT_EQ(CommandIds(), (std::vector<WPARAM>{106}));
  Click(tb, r6.right - 3, (r6.top + r6.bottom) / 2);
  EXPECT_EQ(droppedItem, 106);
}

TEST_F(ToolbarTest, FlatToolBarTracksTheHotButtonAndLetsTheParentDraw) {
  HWND tb = MakeBar();
  log.clear();
  const RECT r0 = ItemRect(tb, 0), r1 = ItemRect(tb, 1);
  POINT a{(r0.left + r0.right) / 2, 10}, b{(r1.left + r1.right) / 2, 10};
  ClientToScreen(tb, &a);
  ClientToScreen(tb, &b);
  InjectMouseMove(a.x, a.y);
  Pump();
  EXPECT_EQ(SendMessageW(tb, TB_GETHOTITEM, 0, 0), 0);
  EXPECT_NE(Pixel(tb, r0.left, r0.top + 5), GetSysColor(COLOR_BTNFACE));  // the hot button's edge
  EXPECT_EQ(Pixel(tb, r1.left + 1, r1.top + 5), GetSysColor(COLOR_BTNFACE));  // flat: no edge
  InjectMouseMove(b.x, b.y);
  Pump();
  EXPECT_EQ(SendMessageW(tb, TB_GETHOTITEM, 0, 0), 1);
  InjectMouseMove(5, 5);  // off the bar
  Pump();
  EXPECT_EQ(SendMessageW(tb, TB_GETHOTITEM, 0, 0), -1);
  EXPECT_EQ(NotifyCodes(), (Notes{TBN_HOTITEMCHANGE, TBN_HOTITEMCHANGE, TBN_HOTITEMCHANGE}));

  // Custom drawing: the parent asks for items and paints the second button itself.
  static std::vector<std::pair<DWORD, ULONG_PTR>> stages;
  stages.clear();
  HookParent([](HWND, UINT m, WPARAM, LPARAM lp, bool& handled) -> LRESULT {
    if (m != WM_NOTIFY || reinterpret_cast<NMHDR*>(lp)->code != NM_CUSTOMDRAW) return 0;
    handled = true;
    auto* cd = reinterpret_cast<NMTBCUSTOMDRAW*>(lp);
    stages.emplace_back(cd->nmcd.dwDrawStage, cd->nmcd.dwItemSpec);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (cd->nmcd.dwItemSpec == 102) {
      FillRect(cd->nmcd.hdc, &cd->nmcd.rc, HBRUSH(GetStockObject(BLACK_BRUSH)));
      return CDRF_SKIPDEFAULT;
    }
    return CDRF_DODEFAULT;
  });
  InvalidateRect(tb, nullptr, TRUE);
  UpdateWindow(tb);
  ASSERT_EQ(stages.size(), 1u + 7u);  // the separator too
  EXPECT_EQ(stages[0].first, CDDS_PREPAINT);
  EXPECT_EQ(stages[2], (std::pair<DWORD, ULONG_PTR>{CDDS_ITEMPREPAINT, 102}));
  EXPECT_EQ(Pixel(tb, (r1.left + r1.right) / 2, (r1.top + r1.bottom) / 2), RGB(0, 0, 0));
}

namespace {
WNDPROC gBarProc = nullptr;
// Takes the bar's erase over with a colour of its own.
LRESULT RedErase(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_ERASEBKGND) return CallWindowProcW(gBarProc, w, m, wp, lp);
  RECT r;
  GetClientRect(w, &r);
  HBRUSH b = CreateSolidBrush(RGB(200, 0, 0));
  FillRect(reinterpret_cast<HDC>(wp), &r, b);
  DeleteObject(b);
  return 1;
}
}  // namespace

TEST_F(ToolbarTest, ToolBarPutsItsFaceDownOnTheEraseSoASubclassCanReplaceIt) {
  HWND tb = MakeBar();
  const RECT last = ItemRect(tb, 6);
  const int x = last.right + 20, y = 10;
  RedrawWindow(tb, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Pixel(tb, x, y), GetSysColor(COLOR_BTNFACE));
  gBarProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(tb, GWLP_WNDPROC, LONG_PTR(&RedErase)));
  RedrawWindow(tb, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Pixel(tb, x, y), RGB(200, 0, 0));
  // Its own procedure back, the bar shows its face again.
  SetWindowLongPtrW(tb, GWLP_WNDPROC, LONG_PTR(gBarProc));
  RedrawWindow(tb, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Pixel(tb, x, y), GetSysColor(COLOR_BTNFACE));
}

TEST_F(ToolbarTest, ToolBarWithoutPlacementStylesSitsAlongTheParentsTop) {
  HWND tb = Make(TOOLBARCLASSNAMEW, 0, 50, 50, 10, 10);
  TBBUTTON b{0, 1, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, -1};
  SendMessageW(tb, TB_ADDBUTTONSW, 1, LPARAM(&b));
  SendMessageW(tb, TB_AUTOSIZE, 0, 0);
  RECT r;
  GetWindowRect(tb, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 22 + 2);  // one row and the divider
}

// ---- "SysTreeView32" ----

HTREEITEM AddNode(HWND tv, HTREEITEM parent, const char* text, LPARAM param = 0) {
  TVINSERTSTRUCTW is;
  is.hParent = parent;
  is.hInsertAfter = TVI_LAST;
  is.item.mask = TVIF_TEXT | TVIF_PARAM;
  is.item.pszText = const_cast<char*>(text);
  is.item.lParam = param;
  return reinterpret_cast<HTREEITEM>(SendMessageW(tv, TVM_INSERTITEMW, 0, LPARAM(&is)));
}

TEST_F(CommCtrlTest, TreeViewKeepsItsItemsColoursAndSelection) {
  HWND tv = Make(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 10, 10, 200, 150);
  HTREEITEM a = AddNode(tv, TVI_ROOT, "Alpha", 1);
  HTREEITEM a1 = AddNode(tv, a, "Alpha one", 2);
  HTREEITEM b = AddNode(tv, nullptr, "Beta", 3);
  ASSERT_TRUE(a && a1 && b);
  EXPECT_EQ(SendMessageW(tv, TVM_GETCOUNT, 0, 0), 3);
  auto next = [&](WPARAM how, HTREEITEM h) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tv, TVM_GETNEXTITEM, how, LPARAM(h)));
  };
  EXPECT_EQ(next(TVGN_ROOT, nullptr), a);
  EXPECT_EQ(next(TVGN_NEXT, a), b);
  EXPECT_EQ(next(TVGN_CHILD, a), a1);
  EXPECT_EQ(next(TVGN_PARENT, a1), a);
  EXPECT_EQ(next(TVGN_NEXTVISIBLE, a), b);  // collapsed: the child is not shown
  char buf[16];
  TVITEMW item;
  item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  item.hItem = a;
  item.pszText = buf;
  item.cchTextMax = sizeof(buf);
  ASSERT_TRUE(SendMessageW(tv, TVM_GETITEMW, 0, LPARAM(&item)));
  EXPECT_STREQ(buf, "Alpha");
  EXPECT_EQ(item.lParam, 1);
  EXPECT_EQ(item.cChildren, 1);

  // Colours: -1 stands for the system's; setting answers the previous value.
  EXPECT_EQ(SendMessageW(tv, TVM_SETBKCOLOR, 0, RGB(10, 20, 30)), -1);
  EXPECT_EQ(SendMessageW(tv, TVM_SETTEXTCOLOR, 0, RGB(250, 250, 0)), -1);
  EXPECT_EQ(SendMessageW(tv, TVM_GETBKCOLOR, 0, 0), LRESULT(RGB(10, 20, 30)));
  EXPECT_EQ(Pixel(tv, 190, 140), RGB(10, 20, 30));
  RECT text;
  *reinterpret_cast<HTREEITEM*>(&text) = b;
  ASSERT_TRUE(SendMessageW(tv, TVM_GETITEMRECT, TRUE, LPARAM(&text)));
  EXPECT_GT(Ink(tv, text, RGB(10, 20, 30)), 10);

  // The mouse: a click selects, a click on the button expands; the parent hears both.
  log.clear();
  Click(tv, text.left + 5, (text.top + text.bottom) / 2);
  EXPECT_EQ(next(TVGN_CARET, nullptr), b);
  RECT row;
  *reinterpret_cast<HTREEITEM*>(&row) = a;
  SendMessageW(tv, TVM_GETITEMRECT, FALSE, LPARAM(&row));
  Click(tv, 19 / 2 + 2, (row.top + row.bottom) / 2);
  EXPECT_EQ(next(TVGN_NEXTVISIBLE, a), a1);
  EXPECT_EQ(NotifyCodes(), (Notes{NM_SETFOCUS, TVN_SELCHANGINGW, TVN_SELCHANGEDW, NM_CLICK, TVN_ITEMEXPANDINGW,
                                  TVN_ITEMEXPANDEDW, NM_CLICK}));
  // Keys walk the shown items; collapsing over the selection selects the collapsed item.
  Key(VK_UP);
  EXPECT_EQ(next(TVGN_CARET, nullptr), a1);
  SendMessageW(tv, TVM_EXPAND, TVE_COLLAPSE, LPARAM(a));
  EXPECT_EQ(next(TVGN_CARET, nullptr), a);

  log.clear();
  EXPECT_TRUE(SendMessageW(tv, TVM_DELETEITEM, 0, LPARAM(a)));
  EXPECT_EQ(NotifyCodes(), (Notes{TVN_DELETEITEMW, TVN_DELETEITEMW}));  // the child first
  EXPECT_EQ(SendMessageW(tv, TVM_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(next(TVGN_CARET, nullptr), nullptr);
  item.hItem = a;
  EXPECT_FALSE(SendMessageW(tv, TVM_GETITEMW, 0, LPARAM(&item)));  // a stale handle names nothing
}

// ---- The dialog manager ----

TEST_F(CommCtrlTest, DialogManagerMovesTheFocusByKeysAndPressesItsButtons) {
  HWND dlg = CreateWindowExW(WS_EX_CONTROLPARENT, WC_DIALOG, "Dialog", WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME,
                             50, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dlg, nullptr);
  char cls[16];
  GetClassNameW(dlg, cls, sizeof(cls));
  EXPECT_STREQ(cls, "#32770");
  auto make = [&](const char* c, DWORD style, int id, int y) {
    return CreateWindowExW(0, c, "x", WS_CHILD | WS_VISIBLE | style, 10, y, 80, 20, dlg,
                           reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
  };
  HWND edit = make("EDIT", WS_TABSTOP | WS_GROUP, 10, 0);
  HWND r1 = make("BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 11, 20);
  HWND r2 = make("BUTTON", BS_AUTORADIOBUTTON, 12, 40);
  HWND r3 = make("BUTTON", BS_AUTORADIOBUTTON | WS_DISABLED, 13, 60);
  HWND check = make("BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 14, 80);
  HWND off = make("BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 15, 100);
  HWND ok = make("BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, 120);
  HWND cancel = make("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 140);
  (void)off;
  (void)r3;
  static std::vector<WPARAM> commands;
  commands.clear();
  SetWindowLongPtrW(dlg, DWLP_DLGPROC, LONG_PTR(+[](HWND, UINT m, WPARAM wp, LPARAM) -> LONG_PTR {
    if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL ||
                                                        LOWORD(wp) == 14 || LOWORD(wp) == 11 || LOWORD(wp) == 12))
      commands.push_back(LOWORD(wp));
    return FALSE;
  }));
  EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
  SetFocus(edit);

  auto press = [&](int vk, bool shift = false) {
    if (shift) InjectKey(VK_SHIFT, true);
    InjectKey(vk, true);
    InjectKey(vk, false);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
      if (!IsDialogMessageW(dlg, &m)) DispatchMessageW(&m);
    if (shift) InjectKey(VK_SHIFT, false);
    Pump();
  };
  struct Step {
    int vk;
    bool shift;
    HWND focus;
    std::vector<WPARAM> commands;
  };
  const std::vector<Step> steps{
      {VK_TAB, false, r1, {}},            // to the next tab stop
      {VK_DOWN, false, r2, {12}},         // arrows stay in the group and check automatic radios
      {VK_DOWN, false, r1, {11}},         // past the disabled one, round to the group's start
      {VK_UP, false, r2, {12}},
      {VK_TAB, false, check, {}},
      {VK_TAB, false, ok, {}},            // the disabled button is skipped
      {VK_TAB, false, cancel, {}},
      {VK_RETURN, false, cancel, {IDCANCEL}},  // Enter on a push button presses that one
      {VK_TAB, false, edit, {}},          // round to the first
      {VK_TAB, true, cancel, {}},         // Shift+Tab goes back
      {VK_TAB, true, ok, {}},
      {VK_TAB, true, check, {}},
      {VK_RETURN, false, check, {IDOK}},  // elsewhere Enter presses the default button
      {VK_ESCAPE, false, check, {IDCANCEL}},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    commands.clear();
    press(steps[i].vk, steps[i].shift);
    EXPECT_EQ(GetFocus(), steps[i].focus) << "step " << i;
    EXPECT_EQ(commands, steps[i].commands) << "step " << i;
  }
  EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(GetWindowTextLengthW(edit), 1);  // the keys did not reach the edit as characters

  // A push button with the focus shows as the default; the dialog's default comes back after.
  SetFocus(check);
  press(VK_TAB, true);  // back to the radio group
  press(VK_TAB);
  press(VK_TAB);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), cancel);
  EXPECT_EQ(SendMessageW(cancel, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
  EXPECT_EQ(SendMessageW(ok, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0);
  SendMessageW(dlg, DM_SETDEFID, 14, 0);
  EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELRESULT(14, DC_HASDEFID));
  // A message for another window is not the dialog's.
  MSG other{};
  other.hwnd = parent;
  other.message = WM_KEYDOWN;
  other.wParam = VK_TAB;
  EXPECT_FALSE(IsDialogMessageW(dlg, &other));
  EXPECT_EQ(GetDlgItem(dlg, IDCANCEL), cancel);
  EXPECT_EQ(GetDlgCtrlID(cancel), IDCANCEL);
  EXPECT_EQ(FindWindowExW(dlg, r1, "button", nullptr), r2);
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, WC_DIALOG, "Dialog"), dlg);
  EXPECT_EQ(FindWindowExW(GetDesktopWindow(), nullptr, "#32770", nullptr), dlg);
  EXPECT_EQ(FindWindowExW(dlg, nullptr, "button", "nothing"), nullptr);
}

// ---- Scrolling, device queries, DrawStateW ----

TEST_F(CommCtrlTest, ScrollWindowMovesPixelsAndChildrenAndInvalidatesWhatItUncovers) {
  // A white client with a black bar at the top; scrolled up by 20 the bar leaves the top.
  static int paints = 0;
  paints = 0;
  HookParent([](HWND h, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
    if (m != WM_PAINT) return 0;
    handled = true;
    ++paints;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    FillRect(dc, &ps.rcPaint, HBRUSH(GetStockObject(WHITE_BRUSH)));
    EndPaint(h, &ps);
    return 0;
  });
  HWND child = Make("STATIC", 0, 10, 100, 50, 20);
  InvalidateRect(parent, nullptr, TRUE);
  UpdateWindow(parent);
  HDC dc = GetDC(parent);
  RECT bar{0, 40, 400, 60};
  FillRect(dc, &bar, HBRUSH(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(parent, dc);
  paints = 0;
  EXPECT_TRUE(ScrollWindow(parent, 0, -20, nullptr, nullptr));
  EXPECT_EQ(SurfacePixel(parent, 200, 25), RGB(0, 0, 0));  // moved up
  EXPECT_EQ(SurfacePixel(parent, 200, 45), RGB(255, 255, 255));
  RECT update;
  EXPECT_TRUE(GetUpdateRect(parent, &update, FALSE));
  EXPECT_EQ(update.top, 280);  // only the strip uncovered at the bottom
  RECT cr;
  GetWindowRect(child, &cr);
  EXPECT_EQ(cr.top, 100 + 100 - 20);  // children moved with the content
  UpdateWindow(parent);
  EXPECT_EQ(paints, 1);

  // ScrollWindowEx reports the uncovered part without invalidating it when not asked to.
  RECT got;
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(ScrollWindowEx(parent, 30, 0, nullptr, nullptr, rgn, &got, 0), SIMPLEREGION);
  EXPECT_EQ(got.left, 0);
  EXPECT_EQ(got.right, 30);
  EXPECT_FALSE(GetUpdateRect(parent, &update, FALSE));
  DeleteObject(rgn);

  EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(CommCtrlTest, DrawStateDrawsTextPlainEmbossedAndInOneColour) {
  HBITMAP bmp = CreateCompatibleBitmap(nullptr, 120, 60);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, 120, 60};
  FillRect(dc, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, RGB(0, 0, 0));
  auto count = [&](int y0, int y1, COLORREF c, bool equal = true) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 120; ++x) n += (GetPixel(dc, x, y) == c) == equal;
    return n;
  };
  EXPECT_TRUE(DrawStateW(dc, nullptr, nullptr, LPARAM("Mm"), 0, 2, 0, 0, 0, DST_TEXT | DSS_NORMAL));
  EXPECT_GT(count(0, 20, RGB(255, 255, 255), false), 10);
  EXPECT_TRUE(DrawStateW(dc, nullptr, nullptr, LPARAM("Mm"), 0, 2, 20, 0, 0, DST_TEXT | DSS_DISABLED));
  EXPECT_GT(count(20, 40, GetSysColor(COLOR_BTNSHADOW)), 10);
  EXPECT_GT(count(20, 40, GetSysColor(COLOR_BTNHIGHLIGHT)), 3);
  EXPECT_EQ(count(20, 40, RGB(0, 0, 0)), 0);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  EXPECT_TRUE(DrawStateW(dc, red, nullptr, LPARAM("Mm"), 0, 2, 40, 0, 0, DST_TEXT | DSS_MONO));
  EXPECT_GT(count(40, 60, RGB(255, 0, 0)), 10);
  DeleteObject(red);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
}

}  // namespace
