// The standard controls and what they stand on: system queries, scroll bars,
// buttons, statics, edits, icons and cursors. Input is injected through the
// headless backend; surfaces are checked at a few telling pixels.

#include <functional>

#include "tests/platform_win/ControlsFixture.h"

namespace {

// ---- System queries ----

TEST_F(ControlsTest, SystemQueriesAnswerDocumentedDefaultsAndColoursCanBeOverridden) {
  for (auto [index, value] : std::vector<std::pair<int, int>>{
           {SM_CXVSCROLL, 17}, {SM_CYHSCROLL, 17}, {SM_CXHSCROLL, 17}, {SM_CYVSCROLL, 17}, {SM_CXSMICON, 16},
           {SM_CYSMICON, 16}, {SM_CXICON, 32}, {SM_CYMENU, 20}, {SM_CYCAPTION, 19}, {12345, 0}})
    EXPECT_EQ(GetSystemMetrics(index), value) << index;

  NONCLIENTMETRICSW ncm;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0));
  EXPECT_EQ(ncm.iScrollWidth, 17);
  EXPECT_STRNE(ncm.lfMessageFont.lfFaceName, "");
  ANIMATIONINFO ai;
  ai.iMinAnimate = 1;
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETANIMATION, sizeof(ai), &ai, 0));
  ai.iMinAnimate = 0;
  SystemParametersInfoW(SPI_GETANIMATION, sizeof(ai), &ai, 0);
  EXPECT_EQ(ai.iMinAnimate, 1);
  BOOL on = FALSE;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0));
  EXPECT_TRUE(on);
  EXPECT_FALSE(SystemParametersInfoW(0x7777, 0, &on, 0));
  RECT work{0, 0, 1024, 700};
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, 0));
  RECT now;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &now, 0);
  EXPECT_EQ(now.bottom, 700);

  // The override answers first, for colours and brushes alike; the rest keep the table.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  static HBRUSH given = CreateSolidBrush(RGB(1, 2, 3));
  SetSysColorOverride([](int index, COLORREF* c, HBRUSH* b) {
    if (index == COLOR_BTNFACE) *c = RGB(10, 20, 30);
    else if (index == COLOR_WINDOW && b) *c = RGB(1, 2, 3), *b = given;
    else return false;
    return true;
  });
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(10, 20, 30));
  EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), given);
  LOGBRUSH lb;
  GetObject(GetSysColorBrush(COLOR_BTNFACE), sizeof(lb), &lb);
  EXPECT_EQ(lb.lbColor, RGB(10, 20, 30));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  // An override that answers the colour but declines the brush leaves the system's brush.
  SetSysColorOverride(nullptr);
  HBRUSH systemWindow = GetSysColorBrush(COLOR_WINDOW);
  SetSysColorOverride([](int index, COLORREF* c, HBRUSH* b) {
    if (index != COLOR_WINDOW || b) return false;
    *c = RGB(9, 9, 9);
    return true;
  });
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(9, 9, 9));
  EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), systemWindow);
  SetSysColorOverride(nullptr);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), face);

  // Pens: the colour passes through the override; style and width stay.
  SetPenColorOverride([](COLORREF c) { return c == RGB(192, 192, 192) ? RGB(5, 6, 7) : c; });
  LOGPEN lp;
  HPEN pen = CreatePen(PS_DASH, 3, RGB(192, 192, 192));
  GetObject(pen, sizeof(lp), &lp);
  EXPECT_EQ(lp.lopnColor, RGB(5, 6, 7));
  EXPECT_EQ(lp.lopnStyle, UINT(PS_DASH));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  DeleteObject(pen);
  pen = CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
  GetObject(pen, sizeof(lp), &lp);
  EXPECT_EQ(lp.lopnColor, RGB(1, 1, 1));
  DeleteObject(pen);
  SetPenColorOverride(nullptr);
  pen = CreatePen(PS_SOLID, 1, RGB(192, 192, 192));
  GetObject(pen, sizeof(lp), &lp);
  EXPECT_EQ(lp.lopnColor, RGB(192, 192, 192));
  DeleteObject(pen);
  EXPECT_EQ(GetSysColorBrush(99), nullptr);
  EXPECT_EQ(GetSysColor(99), 0u);
}

// ---- Scroll bars ----

TEST_F(ControlsTest, FrameScrollBarsTakeRoomShowAsNeededAndHitTest) {
  HWND w = Make(kParentClass, WS_VSCROLL | WS_HSCROLL, 10, 10, 200, 150);
  RECT c;
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 200 - 17);
  EXPECT_EQ(c.bottom, 150 - 17);
  POINT p{100 + 10 + 190, 100 + 10 + 50};
  EXPECT_EQ(SendMessageW(w, WM_NCHITTEST, 0, PointToLParam(p)), HTVSCROLL);
  p = POINT{100 + 10 + 50, 100 + 10 + 145};
  EXPECT_EQ(SendMessageW(w, WM_NCHITTEST, 0, PointToLParam(p)), HTHSCROLL);

  // A range the page covers takes the bar away; one that needs it brings it back.
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMin = 0;
  si.nMax = 9;
  si.nPage = 10;
  SetScrollInfo(w, SB_HORZ, &si, TRUE);
  EXPECT_FALSE(GetWindowLongPtrW(w, GWL_STYLE) & WS_HSCROLL);
  GetClientRect(w, &c);
  EXPECT_EQ(c.bottom, 150);
  si.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  EXPECT_TRUE(GetWindowLongPtrW(w, GWL_STYLE) & WS_VSCROLL);  // kept, but disabled
  SCROLLBARINFO sbi;
  ASSERT_TRUE(GetScrollBarInfo(w, OBJID_VSCROLL, &sbi));
  EXPECT_EQ(sbi.rgstate[0], STATE_SYSTEM_UNAVAILABLE);
  si.nMax = 99;
  si.fMask = SIF_ALL;
  si.nPos = 500;  // clamped to the last page
  EXPECT_EQ(SetScrollInfo(w, SB_HORZ, &si, TRUE), 90);
  EXPECT_TRUE(GetWindowLongPtrW(w, GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(GetScrollPos(w, SB_HORZ), 90);
  ASSERT_TRUE(GetScrollBarInfo(w, OBJID_HSCROLL, &sbi));
  EXPECT_EQ(sbi.rgstate[0], 0u);
  EXPECT_EQ(sbi.dxyLineButton, 17);
  EXPECT_GT(sbi.xyThumbTop, 17);
  ShowScrollBar(w, SB_BOTH, FALSE);
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 200);
}

TEST_F(ControlsTest, PressingAFrameBarSendsItsScrollCodesAndDragsTheThumb) {
  HWND w = Make(kParentClass, WS_VSCROLL, 10, 10, 200, 217);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 50;
  si.nPos = 0;
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  // The bar: x 183..200, y 0..217 of w; arrows 17 high, track 183 long, thumb 91 long.
  auto at = [&](int y) {
    POINT p{190, y};
    p.x += 110;
    p.y += 110;
    return p;
  };
  auto press = [&](int y) {
    InjectMouseButton(TMouseButton::Left, true, at(y).x, at(y).y);
    Pump();
  };
  auto release = [&](int y) {
    InjectMouseButton(TMouseButton::Left, false, at(y).x, at(y).y);
    Pump();
  };
  struct Case {
    int y;
    Codes codes;
  };
  for (const Case& c : std::vector<Case>{{5, {SB_LINEUP, SB_ENDSCROLL}},
                                         {210, {SB_LINEDOWN, SB_ENDSCROLL}},
                                         {150, {SB_PAGEDOWN, SB_ENDSCROLL}}}) {
    log.clear();
    press(c.y);
    release(c.y);
    EXPECT_EQ(ScrollCodes(WM_VSCROLL), c.codes) << c.y;
  }

  // A held arrow repeats on the clock until released.
  log.clear();
  press(210);
  Headless().AdvanceClock(350);
  Pump();
  Headless().AdvanceClock(50);
  Pump();
  release(210);
  EXPECT_EQ(ScrollCodes(WM_VSCROLL), (Codes{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_ENDSCROLL}));

  // The thumb follows the mouse; the track position is readable while dragging.
  log.clear();
  press(40);
  InjectMouseMove(at(86).x, at(86).y);  // half the free track further
  Pump();
  si.fMask = SIF_TRACKPOS | SIF_POS;
  GetScrollInfo(w, SB_VERT, &si);
  EXPECT_EQ(si.nTrackPos, 25);
  EXPECT_EQ(si.nPos, 0);
  // The thumb is drawn where it is dragged: face colour there, track colour above.
  EXPECT_EQ(SurfacePixel(parent, 10 + 190, 10 + 17 + 46 + 30), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(SurfacePixel(parent, 10 + 190, 10 + 17 + 20), GetSysColor(COLOR_SCROLLBAR));
  release(86);
  EXPECT_EQ(ScrollCodes(WM_VSCROLL), (Codes{SB_THUMBTRACK, SB_THUMBPOSITION, SB_ENDSCROLL}));
  EXPECT_EQ(HIWORD(log[1].wParam), 25);
  EXPECT_EQ(log[0].lParam, 0);
}

TEST_F(ControlsTest, ScrollBarControlAnswersItsMessagesAndNotifiesItsParent) {
  HWND sb = Make("SCROLLBAR", SBS_HORZ, 10, 10, 200, 17);
  EXPECT_EQ(GetScrollPos(sb, SB_CTL), 0);
  int mn = -1, mx = -1;
  GetScrollRange(sb, SB_CTL, &mn, &mx);
  EXPECT_EQ(mn, 0);  // a control starts empty
  EXPECT_EQ(mx, 0);
  // SetScrollInfo reaches the control as SBM_SETSCROLLINFO, where a subclass sees it.
  static std::vector<UINT> seen;
  static WNDPROC old = nullptr;
  seen.clear();
  old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(sb, GWLP_WNDPROC, LONG_PTR(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    seen.push_back(m);
    return CallWindowProcW(old, h, m, wp, lp);
  })));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 200;
  si.nPage = 20;
  si.nPos = 300;
  EXPECT_EQ(SetScrollInfo(sb, SB_CTL, &si, TRUE), 181);
  EXPECT_NE(std::find(seen.begin(), seen.end(), SBM_SETSCROLLINFO), seen.end());
  EXPECT_EQ(SendMessageW(sb, SBM_SETPOS, 10, TRUE), 181);
  EXPECT_EQ(SendMessageW(sb, SBM_GETPOS, 0, 0), 10);
  EXPECT_EQ(SendMessageW(sb, SBM_SETRANGE, 0, 25), 10);  // returns the old position; the new one is clamped
  EXPECT_EQ(SendMessageW(sb, SBM_GETPOS, 0, 0), 6);
  SendMessageW(sb, SBM_SETRANGEREDRAW, 0, 200);

  log.clear();
  Click(sb, 150, 8);  // in the track, right of the thumb
  Click(sb, 5, 8);
  EXPECT_EQ(ScrollCodes(WM_HSCROLL), (Codes{SB_PAGERIGHT, SB_ENDSCROLL, SB_LINELEFT, SB_ENDSCROLL}));
  EXPECT_EQ(HWND(log[0].lParam), sb);
  log.clear();
  SendMessageW(sb, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(ScrollCodes(WM_HSCROLL), (Codes{SB_BOTTOM, SB_ENDSCROLL}));

  // Disabled arrows keep the bar but refuse the line scroll look; a disabled bar draws no thumb.
  EXPECT_TRUE(EnableScrollBar(sb, SB_CTL, ESB_DISABLE_BOTH));
  SCROLLBARINFO sbi;
  ASSERT_TRUE(GetScrollBarInfo(sb, OBJID_CLIENT, &sbi));
  EXPECT_EQ(sbi.rgstate[0], STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(sbi.xyThumbTop, 0);
}

// ---- Buttons ----

TEST_F(ControlsTest, ButtonsChangeStateOnClicksAndKeysAndTellTheirParent) {
  struct Case {
    DWORD style;
    int clicks;
    LRESULT check;
  };
  for (const Case& c : std::vector<Case>{{BS_PUSHBUTTON, 1, BST_UNCHECKED},
                                         {BS_CHECKBOX, 1, BST_UNCHECKED},  // not automatic: the owner checks it
                                         {BS_AUTOCHECKBOX, 1, BST_CHECKED},
                                         {BS_AUTOCHECKBOX, 2, BST_UNCHECKED},
                                         {BS_AUTO3STATE, 2, BST_INDETERMINATE},
                                         {BS_AUTO3STATE, 3, BST_UNCHECKED},
                                         {BS_AUTORADIOBUTTON, 2, BST_CHECKED}}) {
    HWND b = Make("BUTTON", c.style, 10, 10, 100, 24, "Go");
    log.clear();
    for (int i = 0; i < c.clicks; ++i) Click(b, 50, 12);
    EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), c.check) << c.style << " x" << c.clicks;
    EXPECT_EQ(Commands(), Codes(size_t(c.clicks), BN_CLICKED)) << c.style;
    EXPECT_EQ(LOWORD(log.back().wParam), 7);
    EXPECT_EQ(HWND(log.back().lParam), b);
    DestroyWindow(b);
  }

  // Pressed while the mouse is down and over it; a release outside clicks nothing.
  HWND b = Make("BUTTON", BS_PUSHBUTTON, 10, 10, 100, 24, "Go");
  log.clear();
  InjectMouseButton(TMouseButton::Left, true, 100 + 50, 100 + 20);
  Pump();
  EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0), BST_PUSHED | BST_FOCUS);
  EXPECT_EQ(GetFocus(), b);
  InjectMouseMove(300, 250);
  Pump();
  EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0), BST_FOCUS);
  InjectMouseButton(TMouseButton::Left, false, 300, 250);
  Pump();
  EXPECT_TRUE(Commands().empty());
  // Space clicks the focused button; BM_CLICK clicks any.
  InjectKey(VK_SPACE, true);
  InjectKey(VK_SPACE, false);
  Pump();
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(Commands(), (Codes{BN_CLICKED, BN_CLICKED}));
  EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  SendMessageW(b, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
  // A disabled button hears nothing.
  EnableWindow(b, FALSE);
  log.clear();
  Click(b, 50, 12);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(ControlsTest, AutomaticRadioButtonsKeepOneCheckedPerGroup) {
  HWND a = Make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 10, 10, 100, 20, "A", 1);
  HWND b = Make("BUTTON", BS_AUTORADIOBUTTON, 10, 30, 100, 20, "B", 2);
  HWND c = Make("BUTTON", BS_AUTORADIOBUTTON, 10, 50, 100, 20, "C", 3);
  HWND d = Make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 10, 70, 100, 20, "D", 4);
  SendMessageW(d, BM_SETCHECK, BST_CHECKED, 0);
  Click(a, 5, 10);
  Click(c, 5, 10);
  EXPECT_EQ(SendMessageW(a, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(c, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(d, BM_GETCHECK, 0, 0), BST_CHECKED);  // another group
  EXPECT_TRUE(GetWindowLongPtrW(c, GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongPtrW(a, GWL_STYLE) & WS_TABSTOP);
}

TEST_F(ControlsTest, ButtonsPaintTheirKindAndOwnerDrawnOnesAskTheParent) {
  HWND push = Make("BUTTON", BS_PUSHBUTTON, 10, 10, 80, 24, "");
  HWND check = Make("BUTTON", BS_AUTOCHECKBOX, 10, 40, 80, 20, "");
  HWND group = Make("BUTTON", BS_GROUPBOX, 100, 10, 120, 80, "Group");
  EXPECT_EQ(Pixel(push, 40, 12), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(Pixel(push, 0, 0), GetSysColor(COLOR_3DLIGHT));  // raised edge
  EXPECT_EQ(Pixel(push, 79, 23), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(Pixel(check, 3, 10), GetSysColor(COLOR_WINDOW));  // the empty box
  Click(check, 5, 10);
  Pump();
  EXPECT_GT(Ink(check, RECT{3, 6, 10, 14}, GetSysColor(COLOR_WINDOW)), 5);  // the tick
  EXPECT_EQ(Pixel(group, 60, 40), GetSysColor(COLOR_BTNFACE));  // hollow inside
  EXPECT_EQ(SendMessageW(group, WM_NCHITTEST, 0, MAKELPARAM(100 + 160, 100 + 50)), HTTRANSPARENT);

  HWND owner = Make("BUTTON", BS_OWNERDRAW, 10, 70, 50, 20, "", 9);
  log.clear();
  InvalidateRect(owner, nullptr, TRUE);
  UpdateWindow(owner);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].msg, UINT(WM_DRAWITEM));
  EXPECT_EQ(log[0].wParam, 9u);
}

// ---- Statics ----

TEST_F(ControlsTest, StaticsLetClicksThroughUnlessAskedAndPaintTheirText) {
  HWND label = Make("STATIC", SS_LEFT, 10, 10, 120, 20, "Label");
  HWND notify = Make("STATIC", SS_NOTIFY, 10, 40, 120, 20, "Click");
  EXPECT_EQ(SendMessageW(label, WM_NCHITTEST, 0, MAKELPARAM(115, 115)), HTTRANSPARENT);
  EXPECT_EQ(SendMessageW(notify, WM_NCHITTEST, 0, MAKELPARAM(115, 145)), HTCLIENT);
  log.clear();
  Click(notify, 5, 5);
  EXPECT_EQ(Commands(), Codes{STN_CLICKED});
  EXPECT_GT(Ink(label, RECT{0, 0, 40, 20}, GetSysColor(COLOR_BTNFACE)), 10);
  HWND etched = Make("STATIC", SS_ETCHEDHORZ, 10, 70, 100, 2);
  EXPECT_EQ(Pixel(etched, 50, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(Pixel(etched, 50, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
}

// ---- Edits ----


std::pair<int, int> Sel(HWND e) {
  DWORD s = 0, t = 0;
  SendMessageW(e, EM_GETSEL, WPARAM(&s), LPARAM(&t));
  return {int(s), int(t)};
}

TEST_F(ControlsTest, EditTakesTypingSelectionClipboardAndUndo) {
  HWND e = Make("EDIT", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 150, 22, "");
  SetFocus(e);
  log.clear();
  Type(U"héllo world");
  EXPECT_EQ(TextOf(e), "héllo world");
  EXPECT_EQ(Sel(e), std::make_pair(11, 11));  // UTF-16 units
  const Codes typed = Commands();
  EXPECT_EQ(std::count(typed.begin(), typed.end(), EN_CHANGE), 11);

  Key(VK_HOME);
  Key(VK_RIGHT, true, true);  // Ctrl+Shift+Right selects the first word and its space
  EXPECT_EQ(Sel(e), std::make_pair(0, 6));
  Type(U"\x03");  // Ctrl+C
  EXPECT_EQ(Headless().ClipboardText(), "héllo ");
  Key(VK_END);
  Type(U"\x16");  // Ctrl+V
  EXPECT_EQ(TextOf(e), "héllo worldhéllo ");
  SendMessageW(e, EM_UNDO, 0, 0);
  EXPECT_EQ(TextOf(e), "héllo world");
  EXPECT_TRUE(SendMessageW(e, EM_CANUNDO, 0, 0));
  Key(VK_LEFT);
  InjectChar(U'\b');
  Pump();
  EXPECT_EQ(TextOf(e), "héllo word");
  SendMessageW(e, EM_SETSEL, 0, -1);
  SendMessageW(e, EM_REPLACESEL, TRUE, LPARAM("new"));
  EXPECT_EQ(TextOf(e), "new");
  EXPECT_TRUE(SendMessageW(e, EM_GETMODIFY, 0, 0));

  // Read-only refuses changes but copies; the limit cuts what comes in and says so.
  SendMessageW(e, EM_SETREADONLY, TRUE, 0);
  Type(U"x");
  EXPECT_EQ(TextOf(e), "new");
  SendMessageW(e, EM_SETREADONLY, FALSE, 0);
  SendMessageW(e, EM_LIMITTEXT, 5, 0);
  log.clear();
  SendMessageW(e, EM_SETSEL, 3, 3);
  Type(U"abc");
  EXPECT_EQ(TextOf(e), "newab");
  const Codes limited = Commands();
  EXPECT_NE(std::find(limited.begin(), limited.end(), EN_MAXTEXT), limited.end());

  // A mouse press puts the caret near the point; a drag selects.
  SetWindowTextW(e, "abcdefgh");
  Click(e, 1, 10);
  EXPECT_EQ(Sel(e), std::make_pair(0, 0));
  POINT p{1, 10}, q{400, 10};
  ClientToScreen(e, &p);
  ClientToScreen(e, &q);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  Pump();
  InjectMouseMove(q.x, q.y);
  InjectMouseButton(TMouseButton::Left, false, q.x, q.y);
  Pump();
  EXPECT_EQ(Sel(e), std::make_pair(0, 8));  // text set whole is not cut by the limit
  EXPECT_EQ(TextOf(e), "abcdefgh");
  EXPECT_EQ(GetFocus(), e);
  // Focus notifications, and an empty password edit shows stars, not text.
  HWND pw = Make("EDIT", ES_PASSWORD, 10, 40, 150, 22, "secret");
  EXPECT_EQ(SendMessageW(pw, EM_GETPASSWORDCHAR, 0, 0), '*');
  log.clear();
  SetFocus(pw);
  EXPECT_EQ(Commands(), (Codes{EN_KILLFOCUS, EN_SETFOCUS}));
  SendMessageW(pw, EM_SETSEL, 0, -1);
  SendMessageW(pw, WM_COPY, 0, 0);
  EXPECT_NE(Headless().ClipboardText(), "secret");
}

TEST_F(ControlsTest, MultiLineEditBreaksWrapsAndScrollsItsLines) {
  HWND e = Make("EDIT", ES_MULTILINE | WS_VSCROLL | ES_WANTRETURN, 10, 10, 150, 60, "one\r\ntwo\r\nthree");
  EXPECT_EQ(SendMessageW(e, EM_GETLINECOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(e, EM_LINEINDEX, 1, 0), 5);
  EXPECT_EQ(SendMessageW(e, EM_LINELENGTH, 10, 0), 5);
  EXPECT_EQ(SendMessageW(e, EM_LINEFROMCHAR, 6, 0), 1);
  char line[16] = {};
  *reinterpret_cast<WORD*>(line) = sizeof(line);
  EXPECT_EQ(SendMessageW(e, EM_GETLINE, 2, LPARAM(line)), 5);
  EXPECT_EQ(std::string(line, 5), "three");

  SetFocus(e);
  SendMessageW(e, EM_SETSEL, 3, 3);
  Type(U"\r");
  EXPECT_EQ(TextOf(e), "one\r\n\r\ntwo\r\nthree");
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageW(e, EM_LINEFROMCHAR, WPARAM(-1), 0), 2);

  // Lines past the visible ones scroll into view with the caret, and the bar follows.
  for (int i = 0; i < 6; ++i) Type(U"\r");
  const int first = int(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0));
  EXPECT_GT(first, 0);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  GetScrollInfo(e, SB_VERT, &si);
  EXPECT_EQ(si.nPos, first);
  EXPECT_EQ(si.nMax, int(SendMessageW(e, EM_GETLINECOUNT, 0, 0)) - 1);
  SendMessageW(e, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

  // Without horizontal scrolling long lines wrap at spaces.
  HWND wrap = Make("EDIT", ES_MULTILINE, 10, 80, 80, 60, "aaaa bbbb cccc dddd eeee");
  EXPECT_GT(SendMessageW(wrap, EM_GETLINECOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(wrap, EM_LINEINDEX, 1, 0) % 5, 0);  // each wrapped line starts a word
}

// ---- Icons and cursors ----

TEST_F(ControlsTest, IconsDrawThroughTheirMaskOrAlphaAndCursorsReachTheBackend) {
  // A 4 x 4 icon: the mask hides the left half; the colour is red.
  HBITMAP mask = CreateBitmap(4, 4, 1, 1, nullptr);
  HBITMAP color = CreateCompatibleBitmap(nullptr, 4, 4);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mask);
  RECT left{0, 0, 2, 4}, all{0, 0, 4, 4};
  FillRect(dc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
  FillRect(dc, &left, HBRUSH(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, color);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  SelectObject(dc, old);
  ICONINFO ii;
  ii.hbmMask = mask;
  ii.hbmColor = color;
  HICON icon = CreateIconIndirect(&ii);
  ASSERT_NE(icon, nullptr);
  DeleteObject(mask);  // the icon keeps its own copies
  DeleteObject(color);

  HBITMAP target = CreateCompatibleBitmap(nullptr, 8, 8);
  old = SelectObject(dc, target);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT t{0, 0, 8, 8};
  FillRect(dc, &t, blue);
  ASSERT_TRUE(DrawIconEx(dc, 2, 2, icon, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0, 0, 255));  // masked
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 7, 7), RGB(0, 0, 255));  // outside
  FillRect(dc, &t, blue);
  DrawIconEx(dc, 0, 0, icon, 8, 8, 0, nullptr, DI_NORMAL);  // stretched
  EXPECT_EQ(GetPixel(dc, 6, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 6), RGB(0, 0, 255));

  ICONINFO back;
  ASSERT_TRUE(GetIconInfo(icon, &back));
  BITMAP bm;
  GetObject(back.hbmColor, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmWidth, 4);
  DeleteObject(back.hbmColor);
  DeleteObject(back.hbmMask);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteObject(red);
  DeleteObject(blue);
  DeleteDC(dc);

  // The pointer takes the class cursor over a client area and sizing shapes on borders.
  HWND e = Make("EDIT", 0, 10, 10, 100, 22, "");
  HWND sizable = CreateWindowExW(0, kParentClass, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 100, 200, 150, nullptr,
                                 nullptr, nullptr, nullptr);
  Pump();
  POINT p{20, 10};
  ClientToScreen(e, &p);
  InjectMouseMove(p.x, p.y);
  EXPECT_EQ(Headless().CursorShape(), 32513);  // the I-beam
  InjectMouseMove(501, 170);
  EXPECT_EQ(Headless().CursorShape(), 32644);  // west-east
  InjectMouseMove(600, 200);
  EXPECT_EQ(Headless().CursorShape(), 32512);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  DestroyWindow(sizable);
}

// ---- Lists and combo boxes ----

std::string ItemText(HWND w, UINT msg, int i) {
  char buf[128] = {};
  SendMessageW(w, msg, WPARAM(i), LPARAM(buf));
  return buf;
}

TEST_F(ControlsTest, ListBoxKeepsSortedItemsAndFollowsMouseAndKeys) {
  HWND lb = Make("LISTBOX", LBS_STANDARD, 10, 10, 120, 80);
  for (const char* s : {"pear", "Apple", "fig", "banana", "cherry", "date", "elder"})
    SendMessageW(lb, LB_ADDSTRING, 0, LPARAM(s));
  EXPECT_EQ(SendMessageW(lb, LB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(ItemText(lb, LB_GETTEXT, 0), "Apple");  // sorted without regard to case
  EXPECT_EQ(ItemText(lb, LB_GETTEXT, 6), "pear");
  EXPECT_EQ(SendMessageW(lb, LB_FINDSTRING, WPARAM(-1), LPARAM("CH")), 2);
  EXPECT_EQ(SendMessageW(lb, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("ch")), LB_ERR);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), LB_ERR);
  SendMessageW(lb, LB_SETITEMDATA, 3, 42);
  EXPECT_EQ(SendMessageW(lb, LB_GETITEMDATA, 3, 0), 42);
  EXPECT_EQ(SendMessageW(lb, LB_SETCURSEL, 9, 0), LB_ERR);

  // A click selects and tells the parent; keys move the selection and scroll it into view.
  const int h = int(SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0));
  log.clear();
  Click(lb, 10, h + h / 2);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Commands(), (Codes{LBN_SETFOCUS, LBN_SELCHANGE}));
  log.clear();
  Key(VK_END);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 6);
  EXPECT_GT(SendMessageW(lb, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(Commands(), Codes{LBN_SELCHANGE});
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  GetScrollInfo(lb, SB_VERT, &si);
  EXPECT_EQ(si.nPos, SendMessageW(lb, LB_GETTOPINDEX, 0, 0));
  EXPECT_EQ(si.nMax, 6);
  SendMessageW(lb, LB_SETTOPINDEX, 0, 0);
  EXPECT_EQ(SendMessageW(lb, LB_GETTOPINDEX, 0, 0), 0);
  log.clear();
  InjectChar(U'f');
  Pump();
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 5);
  SendMessageW(lb, LB_SETTOPINDEX, 0, 0);
  POINT p{5, 5};
  ClientToScreen(lb, &p);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  Pump();
  const Codes dbl = Commands();
  EXPECT_EQ(dbl.back(), LBN_DBLCLK);
  EXPECT_EQ(SendMessageW(lb, LB_DELETESTRING, 0, 0), 6);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), LB_ERR);  // the selected item went

  // Multiple selection toggles items.
  HWND multi = Make("LISTBOX", LBS_MULTIPLESEL | LBS_NOTIFY, 150, 10, 100, 80, "", 8);
  for (const char* s : {"a", "b", "c"}) SendMessageW(multi, LB_ADDSTRING, 0, LPARAM(s));
  Click(multi, 5, h / 2);
  Click(multi, 5, 2 * h + h / 2);
  Click(multi, 5, h / 2);
  EXPECT_EQ(SendMessageW(multi, LB_GETSELCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(multi, LB_GETSEL, 2, 0), 1);
}

TEST_F(ControlsTest, ComboBoxDropsItsListPicksAndCancels) {
  HWND cb = Make("COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 120, 200);
  for (const char* s : {"one", "two", "three"}) SendMessageW(cb, CB_ADDSTRING, 0, LPARAM(s));
  RECT r;
  GetWindowRect(cb, &r);
  EXPECT_LT(r.bottom - r.top, 40);  // as high as its field; the rest is room for the list
  RECT client;
  GetClientRect(cb, &client);
  EXPECT_EQ(client.right, r.right - r.left);  // the scroll bar is the list's, not the field's
  {
    // The button's arrow points down: its widest line is its top one.
    COMBOBOXINFO shown;
    ASSERT_TRUE(GetComboBoxInfo(cb, &shown));
    Pump();
    TBitmap surface;
    GetWindowSurfaceBitmap(parent, surface);
    POINT at{shown.rcButton.left, shown.rcButton.top};
    ClientToScreen(cb, &at);
    RECT frame;
    GetWindowRect(parent, &frame);
    std::vector<int> widths;
    for (int y = 0; y < shown.rcButton.bottom - shown.rcButton.top; ++y) {
      int n = 0;
      for (int x = 0; x < shown.rcButton.right - shown.rcButton.left; ++x)
        n += ColorToRGB(surface.Canvas()->Pixels(at.x - frame.left + x, at.y - frame.top + y)) ==
             GetSysColor(COLOR_BTNTEXT);
      if (n) widths.push_back(n);
    }
    ASSERT_GE(widths.size(), 2u);
    EXPECT_GT(widths.front(), widths.back());
  }
  COMBOBOXINFO info;
  ASSERT_TRUE(GetComboBoxInfo(cb, &info));
  char cls[32];
  GetClassNameW(info.hwndList, cls, sizeof(cls));
  EXPECT_STREQ(cls, "ComboLBox");
  EXPECT_EQ(info.hwndItem, cb);
  EXPECT_EQ(SendMessageW(cb, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(ItemText(cb, CB_GETLBTEXT, 2), "three");  // in the order added: no CBS_SORT
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), CB_ERR);

  log.clear();
  Click(cb, 20, 5);
  EXPECT_TRUE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_TRUE(IsWindowVisible(info.hwndList));
  RECT lr;
  GetWindowRect(info.hwndList, &lr);
  EXPECT_EQ(lr.top, r.bottom);  // right below the field
  EXPECT_EQ(GetActiveWindow(), parent);  // the drop-down takes no activation
  const int h = int(SendMessageW(info.hwndList, LB_GETITEMHEIGHT, 0, 0));
  // The selection follows the mouse over the list; the release there picks.
  InjectMouseMove(lr.left + 5, lr.top + 1 + h + h / 2);
  Pump();
  InjectMouseButton(TMouseButton::Left, true, lr.left + 5, lr.top + 1 + h + h / 2);
  InjectMouseButton(TMouseButton::Left, false, lr.left + 5, lr.top + 1 + h + h / 2);
  Pump();
  EXPECT_FALSE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_FALSE(IsWindowVisible(info.hwndList));
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(TextOf(cb), "two");
  EXPECT_EQ(Commands(), (Codes{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));

  // A press outside cancels and keeps the choice.
  log.clear();
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  InjectMouseMove(lr.left + 5, lr.top + 1 + h / 2);
  InjectMouseButton(TMouseButton::Left, true, 390, 290);
  InjectMouseButton(TMouseButton::Left, false, 390, 290);
  Pump();
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Commands(), (Codes{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));

  // Keys step through the items when closed, and open, pick and cancel the list.
  log.clear();
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 2);
  Key(VK_F4);
  Key(VK_UP);
  Key(VK_RETURN);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Commands(), (Codes{CBN_SELCHANGE, CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
  EXPECT_EQ(SendMessageW(cb, CB_SETCURSEL, 7, 0), CB_ERR);
  EXPECT_EQ(TextOf(cb), "");
  EXPECT_EQ(SendMessageW(cb, CB_SELECTSTRING, WPARAM(-1), LPARAM("TH")), 2);
  EXPECT_EQ(TextOf(cb), "three");
  HWND list = info.hwndList;
  DestroyWindow(cb);
  EXPECT_FALSE(IsWindow(list));
}

TEST_F(ControlsTest, DroppedListAsksItsComboBoxForColoursAndTheComboAsksItsParent) {
  HWND cb = Make("COMBOBOX", CBS_DROPDOWNLIST, 10, 10, 120, 200);
  SendMessageW(cb, CB_ADDSTRING, 0, LPARAM("one"));
  COMBOBOXINFO info;
  ASSERT_TRUE(GetComboBoxInfo(cb, &info));
  // What the combo box hears from its list, in front of its own procedure.
  static LPARAM comboHeard;
  static WNDPROC comboProc;
  comboHeard = 0;
  comboProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(cb, GWLP_WNDPROC));
  SetWindowLongPtrW(cb, GWLP_WNDPROC, LONG_PTR(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m == WM_CTLCOLORLISTBOX) comboHeard = lp;
                      return CallWindowProcW(comboProc, w, m, wp, lp);
                    }));
  static LPARAM parentHeard;
  static WNDPROC parentProc;
  parentHeard = 0;
  parentProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent, GWLP_WNDPROC));
  SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m == WM_CTLCOLORLISTBOX) parentHeard = lp;
                      return CallWindowProcW(parentProc, w, m, wp, lp);
                    }));
  SendMessageW(cb, CB_SHOWDROPDOWN, TRUE, 0);
  RedrawWindow(info.hwndList, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(comboHeard, LPARAM(info.hwndList));
  EXPECT_EQ(parentHeard, LPARAM(cb));
  SendMessageW(cb, CB_SHOWDROPDOWN, FALSE, 0);
  SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(parentProc));
  SetWindowLongPtrW(cb, GWLP_WNDPROC, LONG_PTR(comboProc));
  DestroyWindow(cb);
}

TEST_F(ControlsTest, EditableComboBoxPassesItsEditsOn) {
  HWND cb = Make("COMBOBOX", CBS_DROPDOWN, 10, 10, 120, 200, "start");
  COMBOBOXINFO info;
  GetComboBoxInfo(cb, &info);
  ASSERT_NE(info.hwndItem, cb);
  EXPECT_EQ(TextOf(info.hwndItem), "start");
  SendMessageW(cb, CB_ADDSTRING, 0, LPARAM("alpha"));
  SetFocus(cb);
  EXPECT_EQ(GetFocus(), info.hwndItem);
  log.clear();
  Type(U"x");
  EXPECT_EQ(Commands(), (Codes{CBN_EDITUPDATE, CBN_EDITCHANGE}));
  SendMessageW(cb, CB_SETCURSEL, 0, 0);
  EXPECT_EQ(TextOf(info.hwndItem), "alpha");
  EXPECT_EQ(TextOf(cb), "alpha");
}

// ---- Track bars, progress bars, up-down controls ----

TEST_F(ControlsTest, TrackBarMovesByMouseAndKeysAndLetsTheParentDraw) {
  HWND tb = Make(TRACKBAR_CLASSW, TBS_AUTOTICKS, 10, 10, 216, 30);
  SendMessageW(tb, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  SendMessageW(tb, TBM_SETPOS, TRUE, 3);
  EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 3);
  SendMessageW(tb, TBM_SETPOS, TRUE, 99);
  EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 10);
  EXPECT_EQ(SendMessageW(tb, TBM_GETNUMTICS, 0, 0), 11);
  EXPECT_EQ(SendMessageW(tb, TBM_GETTICPOS, 0, 0), 8 + 20);  // channel 200 wide from x 8
  SendMessageW(tb, TBM_SETPOS, TRUE, 0);
  RECT thumb, channel;
  SendMessageW(tb, TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
  SendMessageW(tb, TBM_GETCHANNELRECT, 0, LPARAM(&channel));
  EXPECT_EQ((thumb.left + thumb.right) / 2, 8);
  EXPECT_LT(channel.left, 8);

  log.clear();
  POINT a{8, (thumb.top + thumb.bottom) / 2}, b{8 + 100, a.y};
  ClientToScreen(tb, &a);
  ClientToScreen(tb, &b);
  InjectMouseButton(TMouseButton::Left, true, a.x, a.y);
  Pump();
  InjectMouseMove(b.x, b.y);
  Pump();
  InjectMouseButton(TMouseButton::Left, false, b.x, b.y);
  Pump();
  EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 5);
  EXPECT_EQ(ScrollCodes(WM_HSCROLL), (Codes{TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK}));
  auto first = std::find_if(log.begin(), log.end(), [](const Heard& h) { return h.msg == WM_HSCROLL; });
  EXPECT_EQ(HIWORD(first->wParam), 5);
  EXPECT_EQ(HWND(first->lParam), tb);
  log.clear();
  Key(VK_RIGHT);
  Key(VK_NEXT);
  EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 8);  // a page is a fifth of the range
  EXPECT_EQ(ScrollCodes(WM_HSCROLL), (Codes{TB_LINEDOWN, TB_ENDTRACK, TB_PAGEDOWN, TB_ENDTRACK}));

  // Custom drawing: the parent hears every stage; asking for items brings the three parts.
  struct Stage {
    DWORD stage;
    ULONG_PTR item;
  };
  static std::vector<Stage> stages;
  static WNDPROC old = nullptr;
  stages.clear();
  old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == NM_CUSTOMDRAW) {
      auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(lp);
      stages.push_back(Stage{cd->dwDrawStage, cd->dwItemSpec});
      if (cd->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (cd->dwItemSpec == TBCD_THUMB) {
        FillRect(cd->hdc, &cd->rc, HBRUSH(GetStockObject(BLACK_BRUSH)));
        return CDRF_SKIPDEFAULT;
      }
      return CDRF_DODEFAULT;
    }
    return CallWindowProcW(old, h, m, wp, lp);
  })));
  InvalidateRect(tb, nullptr, TRUE);
  UpdateWindow(tb);
  ASSERT_EQ(stages.size(), 4u);
  EXPECT_EQ(stages[0].stage, CDDS_PREPAINT);
  EXPECT_EQ(stages[1].item, TBCD_TICS);
  EXPECT_EQ(stages[2].item, TBCD_CHANNEL);
  EXPECT_EQ(stages[3].item, TBCD_THUMB);
  SendMessageW(tb, TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
  EXPECT_EQ(Pixel(tb, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2), RGB(0, 0, 0));
}

TEST_F(ControlsTest, ProgressBarAnswersItsMessagesAndFillsItsPart) {
  HWND pb = Make(PROGRESS_CLASSW, 0, 10, 10, 102, 20);
  struct Case {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    LRESULT result;
    int pos;
  };
  for (const Case& c : std::vector<Case>{{PBM_SETRANGE32, 0, 200, MAKELRESULT(0, 100), 0},
                                         {PBM_SETPOS, 50, 0, 0, 50},
                                         {PBM_DELTAPOS, 20, 0, 50, 70},
                                         {PBM_SETSTEP, 100, 0, 10, 70},
                                         {PBM_STEPIT, 0, 0, 70, 170},
                                         {PBM_STEPIT, 0, 0, 170, 70},  // past the end: again from the start
                                         {PBM_SETPOS, 999, 0, 70, 200},
                                         {PBM_GETRANGE, TRUE, 0, 0, 200},
                                         {PBM_SETPOS, 100, 0, 200, 100}}) {
    EXPECT_EQ(SendMessageW(pb, c.msg, c.wp, c.lp), c.result) << c.msg;
    EXPECT_EQ(SendMessageW(pb, PBM_GETPOS, 0, 0), c.pos) << c.msg;
  }
  EXPECT_EQ(Pixel(pb, 30, 10), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(Pixel(pb, 70, 10), GetSysColor(COLOR_BTNFACE));
  SendMessageW(pb, PBM_SETBARCOLOR, 0, RGB(0, 200, 0));
  EXPECT_EQ(Pixel(pb, 30, 10), RGB(0, 200, 0));
}

TEST_F(ControlsTest, UpDownStepsItsBuddyAndTheParentMayRefuse) {
  HWND edit = Make("EDIT", 0, 10, 10, 80, 22, "1998", 1);
  HWND ud = Make(UPDOWN_CLASSW, UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, 0, 0, 16, 22, "", 2);
  EXPECT_EQ(HWND(SendMessageW(ud, UDM_GETBUDDY, 0, 0)), edit);
  RECT er, ur;
  GetWindowRect(edit, &er);
  GetWindowRect(ud, &ur);
  EXPECT_EQ(er.right, ur.left);  // beside the buddy, inside its old width
  EXPECT_EQ(ur.right, 100 + 10 + 80);
  SendMessageW(ud, UDM_SETRANGE32, 0, 2000);
  EXPECT_EQ(SendMessageW(ud, UDM_GETPOS, 0, 0), MAKELRESULT(1998, 0));  // read from the buddy
  log.clear();
  Click(ud, 8, 3);
  Click(ud, 8, 3);
  Click(ud, 8, 3);  // stops at the top of the range
  EXPECT_EQ(TextOf(edit), "2,000");
  EXPECT_EQ(SendMessageW(ud, UDM_GETPOS32, 0, 0), 2000);
  std::vector<UINT> notes;
  for (const Heard& h : log)
    if (h.msg == WM_NOTIFY) notes.push_back(h.notifyCode);
  EXPECT_EQ(notes, std::vector<UINT>(3, UDN_DELTAPOS));
  EXPECT_EQ(ScrollCodes(WM_VSCROLL), (Codes{SB_THUMBPOSITION, SB_ENDSCROLL, SB_THUMBPOSITION, SB_ENDSCROLL, SB_ENDSCROLL}));
  Click(ud, 8, 18);
  EXPECT_EQ(TextOf(edit), "1,999");
  SetWindowTextW(edit, "abc");
  EXPECT_EQ(HIWORD(SendMessageW(ud, UDM_GETPOS, 0, 0)), 1);  // not a number

  // The default range runs from 100 down to 0: "up" goes towards 0.
  HWND plain = Make(UPDOWN_CLASSW, 0, 200, 10, 16, 22, "", 3);
  SendMessageW(plain, UDM_SETPOS, 0, 50);
  Click(plain, 8, 3);
  EXPECT_EQ(LOWORD(SendMessageW(plain, UDM_GETPOS, 0, 0)), 49);
  static WNDPROC old = nullptr;
  old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == UDN_DELTAPOS) return LRESULT(1);
    return CallWindowProcW(old, h, m, wp, lp);
  })));
  Click(plain, 8, 3);
  EXPECT_EQ(LOWORD(SendMessageW(plain, UDM_GETPOS, 0, 0)), 49);
}

}  // namespace
