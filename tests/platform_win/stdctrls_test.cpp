// The framework's control classes: which events programmatic and user changes
// fire, modal results and the close query, keyboard navigation, layout by
// Align, Anchors and Constraints, and window definitions of every class.

#include <cctype>
#include <deque>
#include <functional>
#include <tuple>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class StdControlsTest : public WindowTest {
 public:
  // A left click in the middle of a control, through the input queue.
  void ClickOn(TControl* c) {
    const TPoint p = c->ClientToScreen(TPoint(c->Width() / 2, c->Height() / 2));
    InjectMouseMove(p.X, p.Y);
    InjectMouseButton(TMouseButton::Left, true, p.X, p.Y);
    InjectMouseButton(TMouseButton::Left, false, p.X, p.Y);
    Application->ProcessMessages();
  }
  void Key(int vk, char32_t ch = 0) {
    InjectKey(vk, true);
    if (ch) InjectChar(ch);
    InjectKey(vk, false);
    Application->ProcessMessages();
  }
  void Type(const std::string& text) {
    for (char c : text) InjectChar(char32_t(c));
    Application->ProcessMessages();
  }
  // A button of the form at (10, Top) with a hint.
  TButton* HintedButton(TForm& form, int Top, const String& Hint, bool ShowHint) {
    auto* b = new TButton(&form);
    b->SetParent(&form);
    b->SetBounds(10, Top, 75, 25);
    b->Hint = Hint;
    if (ShowHint) b->SetShowHint(true);
    return b;
  }
};

// ---- Events: programmatic against user changes ----

TEST_F(StdControlsTest, EventsFireForProgrammaticAndUserChanges) {
  struct Case {
    const char* name;
    std::function<TControl*(TForm&, int& events)> make;  // wires the counted event
    std::function<void(TControl*)> program;
    int programEvents;
    std::function<void(StdControlsTest&, TControl*)> user;
    int userEvents;
    std::function<void(TControl*)> check;  // the state after both changes
  };
  const std::vector<Case> cases{
      {"check box",
       [](TForm& f, int& n) {
         auto* c = new TCheckBox(&f);
         c->SetParent(&f);
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TCheckBox*>(c)->SetChecked(true); }, 1,
       [](StdControlsTest& t, TControl* c) { t.ClickOn(c); }, 1,
       [](TControl* c) { EXPECT_FALSE(static_cast<TCheckBox*>(c)->Checked()); }},
      {"check box set to its own state",
       [](TForm& f, int& n) {
         auto* c = new TCheckBox(&f);
         c->SetParent(&f);
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TCheckBox*>(c)->SetChecked(false); }, 0,
       [](StdControlsTest& t, TControl* c) { t.ClickOn(c); }, 1,
       [](TControl* c) { EXPECT_TRUE(static_cast<TCheckBox*>(c)->Checked()); }},
      {"radio button",
       [](TForm& f, int& n) {
         auto* other = new TRadioButton(&f);
         other->SetParent(&f);
         other->SetBounds(0, 100, 100, 20);
         other->SetChecked(true);
         auto* c = new TRadioButton(&f);
         c->SetParent(&f);
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TRadioButton*>(c)->SetChecked(true); }, 1,
       [](StdControlsTest& t, TControl* c) { t.ClickOn(c); }, 0,  // already checked
       [](TControl* c) {
         EXPECT_TRUE(static_cast<TRadioButton*>(c)->Checked());
         EXPECT_FALSE(static_cast<TRadioButton*>(c->Parent()->Controls(0))->Checked());
         EXPECT_TRUE(static_cast<TRadioButton*>(c)->TabStop());
       }},
      {"edit",
       [](TForm& f, int& n) {
         auto* c = new TEdit(&f);
         c->SetParent(&f);
         c->OnChange = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { c->SetTextValue("abc"); }, 1,
       [](StdControlsTest& t, TControl* c) {
         static_cast<TEdit*>(c)->SetFocus();
         t.Type("d");
       },
       1, [](TControl* c) { EXPECT_EQ(c->Text(), "dabc"); }},
      {"track bar",
       [](TForm& f, int& n) {
         auto* c = new TTrackBar(&f);
         c->SetParent(&f);
         c->OnChange = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) {
         static_cast<TTrackBar*>(c)->SetPosition(4);
         static_cast<TTrackBar*>(c)->SetPosition(4);  // unchanged: no event
       },
       1,
       [](StdControlsTest& t, TControl* c) {
         static_cast<TTrackBar*>(c)->SetFocus();
         t.Key(VK_RIGHT);
       },
       1, [](TControl* c) { EXPECT_EQ(static_cast<TTrackBar*>(c)->Position(), 5); }},
      {"combo box",
       [](TForm& f, int& n) {
         auto* c = new TComboBox(&f);
         c->SetParent(&f);
         c->SetStyle(csDropDownList);
         c->Items()->SetText("one\ntwo\nthree");
         c->OnChange = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TComboBox*>(c)->SetItemIndex(1); }, 0,
       [](StdControlsTest& t, TControl* c) {
         static_cast<TComboBox*>(c)->SetFocus();
         t.Key(VK_DOWN);
       },
       1,
       [](TControl* c) {
         EXPECT_EQ(static_cast<TComboBox*>(c)->ItemIndex(), 2);
         EXPECT_EQ(c->Text(), "three");
       }},
      {"radio group",
       [](TForm& f, int& n) {
         auto* c = new TRadioGroup(&f);
         c->SetParent(&f);
         c->SetBounds(0, 0, 200, 120);
         c->Items()->SetText("a\nb\nc");
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TRadioGroup*>(c)->SetItemIndex(2); }, 1,
       [](StdControlsTest& t, TControl* c) { t.ClickOn(static_cast<TRadioGroup*>(c)->Buttons(0)); }, 1,
       [](TControl* c) {
         auto* g = static_cast<TRadioGroup*>(c);
         EXPECT_EQ(g->ItemIndex(), 0);
         EXPECT_FALSE(g->Buttons(2)->Checked());
       }},
      {"grouped speed button",
       [](TForm& f, int& n) {
         auto* other = new TSpeedButton(&f);
         other->SetParent(&f);
         other->SetBounds(100, 100, 23, 22);
         other->SetGroupIndex(1);
         other->SetDown(true);
         auto* c = new TSpeedButton(&f);
         c->SetParent(&f);
         c->SetGroupIndex(1);
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TSpeedButton*>(c)->SetDown(true); }, 0,
       [](StdControlsTest& t, TControl* c) { t.ClickOn(c); }, 1,
       [](TControl* c) {
         // Still down (the group allows no all-up), and the other one came up when this went down.
         EXPECT_TRUE(static_cast<TSpeedButton*>(c)->Down());
         EXPECT_FALSE(static_cast<TSpeedButton*>(c->Parent()->Controls(0))->Down());
       }},
      {"scroll bar",
       [](TForm& f, int& n) {
         auto* c = new TScrollBar(&f);
         c->SetParent(&f);
         c->LargeChange = 10;
         c->OnChange = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TScrollBar*>(c)->SetPosition(50); }, 1,
       [](StdControlsTest&, TControl* c) {
         // A page step from the bar itself, as its parent hears it.
         SendMessageW(c->Parent()->Handle(), WM_HSCROLL, SB_PAGEDOWN, LPARAM(static_cast<TScrollBar*>(c)->Handle()));
       },
       1, [](TControl* c) { EXPECT_EQ(static_cast<TScrollBar*>(c)->Position(), 60); }},
      {"list box",
       [](TForm& f, int& n) {
         auto* c = new TListBox(&f);
         c->SetParent(&f);
         c->Items()->SetText("one\ntwo");
         c->OnClick = [&n](TObject*) { ++n; };
         return c;
       },
       [](TControl* c) { static_cast<TListBox*>(c)->SetItemIndex(0); }, 0,
       [](StdControlsTest& t, TControl* c) {
         static_cast<TListBox*>(c)->SetFocus();
         t.Key(VK_DOWN);
       },
       1, [](TControl* c) { EXPECT_EQ(static_cast<TListBox*>(c)->ItemIndex(), 1); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TForm form(nullptr);
    ShowForm(form);
    int events = 0;
    TControl* c = k.make(form, events);
    c->SetBounds(10, 10, c->Width(), c->Height());
    Application->ProcessMessages();
    events = 0;
    k.program(c);
    EXPECT_EQ(events, k.programEvents) << "set in code";
    events = 0;
    k.user(*this, c);
    EXPECT_EQ(events, k.userEvents) << "changed by the user";
    k.check(c);
  }
}

// A combo box laid out at its field's height still drops DropDownCount rows,
// fewer when it has fewer items, and never past the work area's edge.
TEST_F(StdControlsTest, ComboBoxDropsDropDownCountRowsInsideTheWorkArea) {
  TForm form(nullptr);
  ShowForm(form, 300, 120);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetStyle(csDropDownList);
  combo->SetBounds(10, 10, 120, 21);
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  struct Case {
    int dropDownCount, items, formTop;
    int rows;
    bool above;
  };
  const int itemHeight = int(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 0, 0));
  const int fitAbove = (int(work.bottom) - 40 + 10 - int(work.top) - 2) / itemHeight;  // field at 10 in the form
  const Case cases[] = {
      {8, 30, 0, 8, false},  // the default count
      {16, 30, 0, 16, false},
      {8, 3, 0, 3, false},                          // no blank rows below a short list
      {8, 30, int(work.bottom) - 40, 8, true},      // no room below: it opens upwards
      {500, 100, int(work.bottom) - 40, fitAbove, true},  // cut to the room above
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.dropDownCount << " of " << k.items << " at " << k.formTop);
    combo->Items()->Clear();
    for (int i = 0; i < k.items; ++i) combo->Items()->Add(IntToStr(i));
    combo->SetDropDownCount(k.dropDownCount);
    form.SetTop(k.formTop);
    Application->ProcessMessages();
    combo->SetDroppedDown(true);
    COMBOBOXINFO info;
    ASSERT_TRUE(GetComboBoxInfo(combo->Handle(), &info));
    RECT field, list, client;
    GetWindowRect(combo->Handle(), &field);
    GetWindowRect(info.hwndList, &list);
    GetClientRect(info.hwndList, &client);
    EXPECT_TRUE(IsWindowVisible(info.hwndList));
    EXPECT_EQ(client.bottom, k.rows * itemHeight);
    EXPECT_EQ(k.above ? list.bottom : list.top, k.above ? field.top : field.bottom);
    EXPECT_GE(list.top, work.top);
    EXPECT_LE(list.bottom, work.bottom);
    combo->SetDroppedDown(false);
  }
}

// Every way the user moves a track bar's thumb tells OnChange the new position,
// and a drag ends with the thumb where the button went up.
TEST_F(StdControlsTest, TrackBarTellsOnChangeOfEveryUserMove) {
  TForm form(nullptr);
  ShowForm(form);
  auto* bar = new TTrackBar(&form);
  bar->SetParent(&form);
  bar->SetBounds(10, 10, 216, 30);
  bar->SetMax(100);
  bar->SetPageSize(10);
  std::vector<int> seen;
  bar->OnChange = [&](TObject*) { seen.push_back(bar->Position()); };
  RECT thumb;
  SendMessageW(bar->Handle(), TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
  const int y = (thumb.top + thumb.bottom) / 2;
  auto screen = [&](int x) { return bar->ClientToScreen(TPoint(x, y)); };
  auto press = [&](int x, bool down) {
    const TPoint p = screen(x);
    InjectMouseButton(TMouseButton::Left, down, p.X, p.Y);
    Application->ProcessMessages();
  };
  auto offset = [&](int pos) {  // the thumb's centre at a position
    SendMessageW(bar->Handle(), TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
    return bar->Position() == pos ? int(thumb.left + thumb.right) / 2 : -1;
  };

  const int start = offset(0);
  press(start + 150, true);  // on the channel right of the thumb: a page
  press(start + 150, false);
  EXPECT_EQ(seen, std::vector<int>{10});
  seen.clear();
  bar->SetFocus();
  Key(VK_RIGHT);
  Key(VK_END);
  Key(VK_HOME);
  EXPECT_EQ(seen, (std::vector<int>{11, 100, 0}));
  seen.clear();
  // A drag whose last move comes with the release: the thumb ends under the pointer.
  const int from = offset(0);
  press(from, true);
  const TPoint mid = screen(from + 50), end = screen(from + 100);
  InjectMouseMove(mid.X, mid.Y);
  InjectMouseButton(TMouseButton::Left, false, end.X, end.Y);
  Application->ProcessMessages();
  EXPECT_EQ(bar->Position(), 50);  // 200 pixels of channel for 100 steps
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 50);
}

// A click picks the radio button whose own rectangle holds it: the last pixel
// of a button is its own, the first pixel past it its neighbour's or nobody's.
TEST_F(StdControlsTest, RadioButtonsAnswerClicksInsideTheirOwnRectanglesOnly) {
  TForm form(nullptr);
  ShowForm(form);
  auto* group = new TRadioGroup(&form);
  group->SetParent(&form);
  group->SetBounds(10, 10, 330, 88);
  group->SetColumns(6);
  for (const char* s : {"VCD", "DVD", "3GP", "AVI", "FLV", "iPod", "MKV", "MOV"}) group->Items()->Add(s);
  for (int i = 8; i < 24; ++i) group->Items()->Add("F" + IntToStr(i));  // four rows of six columns
  auto* alone = new TRadioButton(&form);  // a stand-alone button beside the group
  alone->SetParent(&form);
  alone->SetBounds(10, 110, 60, 17);
  TControl* gp3 = group->Controls(2);
  TControl* mkv = group->Controls(6);
  ASSERT_EQ(gp3->Left() + gp3->Width(), mkv->Left());  // columns touch
  struct Case {
    TControl* at;
    int x, y;
    int itemIndex;  // the group's choice after the click
    bool aloneChecked;
  };
  const Case cases[] = {
      {mkv, -1, 8, 2, false},                 // just left of MKV: 3GP's own rectangle
      {mkv, 0, 8, 6, false},                  // MKV's first column
      {mkv, 10, -1, 5, false},                // just above MKV: iPod
      {mkv, 10, mkv->Height(), 7, false},     // just below: MOV
      {alone, alone->Width(), 8, 7, false},   // right of the stand-alone button: nobody
      {alone, 5, alone->Height(), 7, false},  // below it: nobody
      {alone, alone->Width() - 1, alone->Height() - 1, 7, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.x << "," << k.y << " of " << k.at->Caption());
    const TPoint p = k.at->ClientToScreen(TPoint(k.x, k.y));
    InjectMouseMove(p.X, p.Y);
    InjectMouseButton(TMouseButton::Left, true, p.X, p.Y);
    InjectMouseButton(TMouseButton::Left, false, p.X, p.Y);
    Application->ProcessMessages();
    EXPECT_EQ(group->ItemIndex(), k.itemIndex);
    EXPECT_EQ(alone->Checked(), k.aloneChecked);
  }
}

TEST_F(StdControlsTest, EditKeysCanBeSwallowedAndReadOnlyAndMaxLengthHoldTyping) {
  TForm form(nullptr);
  ShowForm(form);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  std::string pressed;
  edit->OnKeyPress = [&](TObject*, char32_t& key) {
    pressed += char(key);
    if (key < '0' || key > '9') key = 0;  // digits only
  };
  edit->SetFocus();
  Type("1a2-3");
  EXPECT_EQ(pressed, "1a2-3");
  EXPECT_EQ(edit->Text(), "123");
  edit->SetMaxLength(4);
  Type("456");
  EXPECT_EQ(edit->Text(), "1234");
  edit->SetTextValue("123456");  // text set in code is not cut
  EXPECT_EQ(edit->Text(), "123456");
  EXPECT_EQ(SendMessageW(edit->Handle(), EM_LINELENGTH, 0, 0), 6);  // the edit holds it all, not just what WM_GETTEXT says
  edit->SetReadOnly(true);
  Type("7");
  EXPECT_EQ(edit->Text(), "123456");
}

TEST_F(StdControlsTest, MemoLinesAppendAtTheEndAndCountHardLines) {
  TForm form(nullptr);
  ShowForm(form);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetBounds(0, 0, 60, 100);  // narrow: long lines wrap on screen
  memo->SetScrollBars(ssVertical);
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  TStrings* lines = memo->Lines();
  EXPECT_EQ(lines->Add("first line that wraps in a narrow memo"), 0);
  EXPECT_EQ(lines->Add(""), 1);
  EXPECT_EQ(lines->Add("third"), 2);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(lines->Count(), 3);
  EXPECT_EQ(lines->Strings(0), "first line that wraps in a narrow memo");
  EXPECT_EQ(lines->Strings(1), "");
  EXPECT_EQ(memo->Text(), "first line that wraps in a narrow memo\r\n\r\nthird\r\n");
  // Typing into the memo is seen by Lines.
  memo->SetFocus();
  SendMessageW(memo->Handle(), EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
  Type("tail");
  EXPECT_EQ(lines->Count(), 4);
  EXPECT_EQ(lines->Add("after"), 4);
  EXPECT_EQ(lines->Strings(3), "tail");
  lines->Delete(0);
  EXPECT_EQ(lines->Strings(0), "");
  lines->Clear();
  EXPECT_EQ(lines->Count(), 0);
  EXPECT_EQ(memo->Text(), "");
}

TEST_F(StdControlsTest, MemoLayoutAfterEditsMatchesAFreshLayoutOfTheSameText) {
  // Edits lay out only from where they happen; the result must equal laying the whole text out.
  TForm form(nullptr);
  ShowForm(form);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetBounds(0, 0, 90, 200);
  memo->SetScrollBars(ssVertical);
  auto lineStarts = [](HWND h) {
    std::vector<LRESULT> starts;
    const LRESULT n = SendMessageW(h, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) starts.push_back(SendMessageW(h, EM_LINEINDEX, WPARAM(i), 0));
    return starts;
  };
  const std::vector<std::pair<int, std::string>> edits{
      {0, "alpha beta gamma delta epsilon\r\n"}, {-1, "zeta eta theta iota kappa lambda mu"},
      {6, "\r\nsplit "},                          {-1, "\r\n\r\nend"},
      {7, "\n"},                                   {3, "joined "},
      {-1, "x"}};
  HWND h = memo->Handle();
  for (const auto& [at, text] : edits) {
    const int pos = at < 0 ? 0x7FFFFFFF : at;
    SendMessageW(h, EM_SETSEL, WPARAM(pos), LPARAM(pos));
    SendMessageW(h, EM_REPLACESEL, FALSE, LPARAM(text.c_str()));
    SCOPED_TRACE(memo->Text());
    const auto incremental = lineStarts(h);
    SendMessageW(h, WM_SIZE, 0, MAKELPARAM(memo->ClientWidth(), memo->ClientHeight()));  // lays everything out
    EXPECT_EQ(incremental, lineStarts(h));
    EXPECT_GT(incremental.size(), 1u);
  }
  // Deleting across line breaks too.
  SendMessageW(h, EM_SETSEL, 4, 40);
  SendMessageW(h, EM_REPLACESEL, FALSE, LPARAM(""));
  const auto incremental = lineStarts(h);
  SendMessageW(h, WM_SIZE, 0, MAKELPARAM(memo->ClientWidth(), memo->ClientHeight()));
  EXPECT_EQ(incremental, lineStarts(h));
}

TEST_F(StdControlsTest, SpeedButtonsShowFlatFramesAndADisabledGlyph) {
  TForm form(nullptr);
  form.SetColor(clWhite);
  ShowForm(form, 200, 100);
  auto* b = new TSpeedButton(&form);
  b->SetParent(&form);
  b->SetBounds(10, 10, 40, 30);
  b->SetFlat(true);
  // A 2x2 glyph of black on a white (transparent) ground: the bottom-left pixel is white.
  TBitmap glyph;
  glyph.SetSize(4, 4);
  glyph.Canvas()->Brush()->SetColor(clWhite);
  glyph.Canvas()->FillRect(Rect(0, 0, 4, 4));
  glyph.Canvas()->Brush()->SetColor(clBlack);
  glyph.Canvas()->FillRect(Rect(1, 1, 3, 3));
  b->SetGlyph(&glyph);
  auto pixel = [&](int x, int y) {
    UpdateWindow(form.Handle());
    return SurfacePixel(form.Handle(), x, y);
  };
  const int gx = 10 + (40 - 4) / 2, gy = 10 + (30 - 4) / 2;  // the glyph, centred
  b->Invalidate();
  EXPECT_EQ(pixel(gx + 1, gy + 1), RGB(0, 0, 0));
  EXPECT_EQ(pixel(gx, gy), RGB(255, 255, 255));  // transparent
  EXPECT_EQ(pixel(10, 10), RGB(255, 255, 255));  // flat: no frame away from the pointer
  const TPoint over = b->ClientToScreen(TPoint(2, 2));
  SetCursorPos(over.X, over.Y);
  Application->OnIdle = [](TObject*, bool& done) { done = false; };
  Application->HandleMessage();
  Application->OnIdle = nullptr;
  EXPECT_TRUE(b->MouseInControl());
  EXPECT_EQ(pixel(10, 10), ColorToRGB(clBtnHighlight));  // the raised frame under the pointer
  b->SetEnabled(false);
  // The disabled look: the glyph's shape in the shadow colour over the highlight colour.
  EXPECT_EQ(pixel(gx + 1, gy + 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(pixel(gx + 3, gy + 3), ColorToRGB(clBtnHighlight));
}

// ---- Modal forms: results, default and cancel buttons, the close query ----

TEST_F(StdControlsTest, ModalResultsAndARefusedCloseKeepsTheLoopRunning) {
  struct Case {
    const char* name;
    std::vector<std::function<void(StdControlsTest&, TForm&, TButton* ok, TButton* cancel, TEdit* edit)>> steps;
    int refusals;  // the close query refuses this many times first
    TModalResult result;
    int asked;
  };
  auto click = [](StdControlsTest& t, TForm&, TButton* ok, TButton*, TEdit*) { t.ClickOn(ok); };
  auto enter = [](StdControlsTest& t, TForm&, TButton*, TButton*, TEdit*) { t.Key(VK_RETURN, '\r'); };
  auto escape = [](StdControlsTest& t, TForm&, TButton*, TButton*, TEdit*) { t.Key(VK_ESCAPE, 0x1B); };
  auto close = [](StdControlsTest&, TForm& f, TButton*, TButton*, TEdit*) { SendMessageW(f.Handle(), WM_CLOSE, 0, 0); };
  auto focusCancel = [](StdControlsTest&, TForm&, TButton*, TButton* cancel, TEdit*) { cancel->SetFocus(); };
  const std::vector<Case> cases{
      {"OK clicked", {click}, 0, mrOk, 1},
      {"Enter in the edit presses the default button", {enter}, 0, mrOk, 1},
      {"Escape presses the cancel button", {escape}, 0, mrCancel, 1},
      {"closing the window", {close}, 0, mrCancel, 1},
      {"Enter on a focused button presses that one", {focusCancel, enter}, 0, mrCancel, 1},
      {"refused once, then accepted", {click, click}, 1, mrOk, 2},
      {"refused twice", {enter, escape, click}, 2, mrOk, 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TForm dialog(nullptr);
    dialog.SetBorderStyle(bsNone);
    dialog.SetBounds(0, 0, 300, 200);
    auto* edit = new TEdit(&dialog);
    edit->SetParent(&dialog);
    edit->SetBounds(10, 10, 100, 21);
    auto* ok = new TButton(&dialog);
    ok->SetParent(&dialog);
    ok->SetBounds(10, 100, 75, 25);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = new TButton(&dialog);
    cancel->SetParent(&dialog);
    cancel->SetBounds(100, 100, 75, 25);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    int asked = 0;
    dialog.OnCloseQuery = [&](TObject*, bool& can) { can = ++asked > k.refusals; };
    int okClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    // Each step runs when the modal loop has nothing left to do.
    std::deque<std::function<void()>> script;
    for (const auto& s : k.steps) script.push_back([&, s] { s(*this, dialog, ok, cancel, edit); });
    int idle = 0;
    Application->OnIdle = [&](TObject*, bool& done) {
      done = false;
      if (!script.empty()) {
        auto step = script.front();
        script.pop_front();
        step();
      } else if (++idle > 50) {
        dialog.SetModalResult(mrAbort);  // the script did not end the loop
      }
    };
    EXPECT_EQ(dialog.ShowModal(), k.result);
    Application->OnIdle = nullptr;
    EXPECT_EQ(asked, k.asked);
    EXPECT_TRUE(script.empty());
    EXPECT_FALSE(dialog.Visible());
    if (k.result == mrOk) {
      EXPECT_GE(okClicks, 1);
    }
  }
}

// ---- Keyboard navigation ----

TEST_F(StdControlsTest, TabOrderArrowsEnterAndEscapeMoveAndPressAsInDialogs) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 400, 300);
  auto add = [&](TWinControl* c, const char* name, TWinControl* parent, int top) {
    c->SetName(name);
    c->SetParent(parent);
    c->SetTop(top);
    return c;
  };
  auto* first = static_cast<TEdit*>(add(new TEdit(&form), "first", &form, 0));
  auto* box = static_cast<TGroupBox*>(add(new TGroupBox(&form), "box", &form, 30));
  add(new TCheckBox(&form), "inner", box, 20);
  auto* skipped = static_cast<TEdit*>(add(new TEdit(&form), "skipped", &form, 140));
  skipped->SetTabStop(false);
  auto* disabled = static_cast<TButton*>(add(new TButton(&form), "disabled", &form, 170));
  disabled->SetEnabled(false);
  auto* hidden = static_cast<TButton*>(add(new TButton(&form), "hidden", &form, 200));
  hidden->SetVisible(false);
  auto* last = static_cast<TButton*>(add(new TButton(&form), "last", &form, 230));
  auto* group = static_cast<TRadioGroup*>(add(new TRadioGroup(&form), "group", &form, 250));
  group->Items()->SetText("x\ny\nz");
  group->SetItemIndex(0);
  // "last" goes before "first" in tab order.
  last->SetTabOrder(0);
  form.Show();
  SetActiveWindow(form.Handle());
  Application->ProcessMessages();
  auto focusedName = [] {
    TWinControl* c = FindControlOrAncestor(GetFocus());
    return c ? (c->GetName().empty() ? c->Caption() : c->GetName()) : String("(none)");
  };
  // Activation focuses the first control in tab order.
  EXPECT_EQ(focusedName(), "last");
  struct Step {
    int vk;
    bool shift;
    const char* focused;
  };
  const std::vector<Step> steps{
      {VK_TAB, false, "first"}, {VK_TAB, false, "inner"},  // into the group box
      {VK_TAB, false, "x"},                                // the checked radio button only
      {VK_TAB, false, "last"},                             // wraps, skipping no-stop, disabled and hidden
      {VK_TAB, true, "x"},      {VK_DOWN, false, "y"},     // arrows move among the group's buttons
      {VK_TAB, true, "inner"},  {VK_TAB, true, "first"},
  };
  for (const Step& s : steps) {
    if (s.shift) InjectKey(VK_SHIFT, true);
    Key(s.vk, s.vk == VK_TAB ? U'\t' : 0);
    if (s.shift) InjectKey(VK_SHIFT, false);
    EXPECT_EQ(focusedName(), s.focused);
  }
  EXPECT_EQ(group->ItemIndex(), 1);  // the arrow checked "y"
  EXPECT_EQ(first->Text(), "");       // the tabs typed nothing
  EXPECT_EQ(form.ActiveControl(), first);
  // A memo that wants returns takes Enter; the default button gets it elsewhere.
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetLeft(200);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetLeft(300);
  ok->SetDefault(true);
  int okClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  memo->SetFocus();
  Key(VK_RETURN, '\r');
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(memo->Text(), "\r\n");
  memo->SetWantReturns(false);
  memo->SetFocus();
  Key(VK_RETURN, '\r');
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(memo->Text(), "\r\n");
}

TEST_F(StdControlsTest, ALabelsAcceleratorWithAltMovesTheFocusToItsControl) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 300, 200);
  auto* first = new TEdit(&form);
  first->SetParent(&form);
  auto* target = new TEdit(&form);
  target->SetParent(&form);
  target->SetTop(60);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetTop(40);
  label->SetFocusControl(target);
  form.Show();
  SetActiveWindow(form.Handle());
  Application->ProcessMessages();
  struct Case {
    const char* caption;
    bool showAccel;
    bool enabled;
    char32_t ch;
    bool moves;
  };
  const Case cases[] = {
      {"&Name:", true, true, U'n', true},    // the letter, either case
      {"&Name:", true, true, U'N', true},
      {"&Name:", true, true, U'a', false},   // another letter
      {"&Name:", false, true, U'n', false},  // ShowAccelChar off
      {"&Name:", true, false, U'n', false},  // a disabled label
      {"&&Name:", true, true, U'n', false},  // "&&" is a plain ampersand
      {"Fi&&le &name", true, true, U'n', true},
  };
  for (const Case& c : cases) {
    label->SetCaption(c.caption);
    label->SetShowAccelChar(c.showAccel);
    label->SetEnabled(c.enabled);
    first->SetFocus();
    InjectKey(VK_MENU, true);
    Key(std::toupper(int(c.ch)), c.ch);
    InjectKey(VK_MENU, false);
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus() == target->Handle(), c.moves) << c.caption << ' ' << char(c.ch);
  }
  EXPECT_EQ(first->Text(), "");  // Alt with a letter types nothing
  EXPECT_EQ(target->Text(), "");
}

TEST_F(StdControlsTest, ButtonImagesFollowTheButtonsStateBesideTheCaption) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 200, 100);
  auto* list = new TImageList(&form);
  for (TColor c : {clRed, clBlue}) {
    TBitmap image;
    image.SetSize(16, 16);
    image.Canvas()->Brush()->SetColor(c);
    image.Canvas()->FillRect(TRect(0, 0, 16, 16));
    list->AddMasked(&image, clLime);  // nothing of it is clear
  }
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(10, 10, 100, 30);
  button->SetCaption("Play");
  button->SetImages(list);
  button->SetImageIndex(0);
  button->SetPressedImageIndex(1);
  button->SetDisabledImageIndex(7);  // outside the list: ImageIndex
  button->ImageMargins()->SetLeft(2);
  form.Show();
  // The image's middle: the face's content starts 4 pixels in, then the margin.
  auto glyph = [&] {
    RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return SurfacePixel(form.Handle(), 10 + 4 + 2 + 8, 10 + 15);
  };
  EXPECT_EQ(glyph(), RGB(255, 0, 0));
  SendMessageW(button->Handle(), BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(glyph(), RGB(0, 0, 255));
  SendMessageW(button->Handle(), BM_SETSTATE, FALSE, 0);
  button->SetEnabled(false);
  EXPECT_EQ(glyph(), RGB(255, 0, 0));
  button->SetEnabled(true);
  button->SetImageAlignment(iaRight);  // the other side now
  EXPECT_NE(glyph(), RGB(255, 0, 0));
  button->SetImageAlignment(iaLeft);
  delete list;  // a freed list is let go
  EXPECT_EQ(button->Images(), nullptr);
  EXPECT_NE(glyph(), RGB(255, 0, 0));
}

// ---- Layout ----

TEST_F(StdControlsTest, AlignAnchorsAndConstraintsLayOutChildrenAsTheParentIsSized) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 400, 300);
  auto make = [&](TAlign align, TRect bounds) {
    auto* p = new TPanel(&form);
    p->SetBoundsRect(bounds);
    p->SetParent(&form);
    p->SetAlign(align);
    return p;
  };
  TPanel* top = make(alTop, Bounds(0, 0, 10, 50));
  TPanel* top2 = make(alTop, Bounds(0, 100, 10, 20));  // below the first
  TPanel* bottom = make(alBottom, Bounds(0, 0, 10, 40));
  TPanel* left = make(alLeft, Bounds(0, 0, 60, 10));
  TPanel* right = make(alRight, Bounds(0, 0, 70, 10));
  TPanel* client = make(alClient, Bounds(0, 0, 1, 1));
  auto* stretch = new TButton(client);
  stretch->SetParent(client);
  stretch->SetBounds(10, 10, 100, 25);
  stretch->SetAnchors({akLeft, akTop, akRight});
  auto* corner = new TButton(client);
  corner->SetParent(client);
  corner->SetBounds(150, 100, 50, 25);
  corner->SetAnchors({akRight, akBottom});
  auto* floating = new TButton(client);
  floating->SetParent(client);
  floating->SetBounds(100, 50, 20, 20);
  floating->SetAnchors({});
  bottom->Constraints()->SetMaxHeight(30);
  struct Expect {
    TControl* control;
    TRect at400x300;
    TRect at500x400;
  };
  const std::vector<Expect> table{
      {top, Bounds(0, 0, 400, 50), Bounds(0, 0, 500, 50)},
      {top2, Bounds(0, 50, 400, 20), Bounds(0, 50, 500, 20)},
      {bottom, Bounds(0, 270, 400, 30), Bounds(0, 370, 500, 30)},
      {left, Bounds(0, 70, 60, 200), Bounds(0, 70, 60, 300)},
      {right, Bounds(330, 70, 70, 200), Bounds(430, 70, 70, 300)},
      {client, Bounds(60, 70, 270, 200), Bounds(60, 70, 370, 300)},
      // Children of the client panel keep their anchored edges' distances.
      {stretch, Bounds(10, 10, 100, 25), Bounds(10, 10, 200, 25)},
      {corner, Bounds(150, 100, 50, 25), Bounds(250, 200, 50, 25)},
      {floating, Bounds(100, 50, 20, 20), Bounds(150, 100, 20, 20)},
  };
  // The client panel was 1x1 when its children were placed: they follow its first layout too.
  corner->SetBounds(150, 100, 50, 25);
  stretch->SetBounds(10, 10, 100, 25);
  floating->SetBounds(100, 50, 20, 20);
  for (const Expect& e : table) EXPECT_EQ(e.control->BoundsRect(), e.at400x300) << e.control->ClassName();
  form.Show();  // a window changes nothing
  for (const Expect& e : table) EXPECT_EQ(e.control->BoundsRect(), e.at400x300) << e.control->ClassName();
  SetWindowPos(form.Handle(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);  // sized from outside
  for (const Expect& e : table) EXPECT_EQ(e.control->BoundsRect(), e.at500x400) << e.control->ClassName();
  // Hidden docked controls give their room back.
  top->Hide();
  EXPECT_EQ(top2->BoundsRect(), Bounds(0, 0, 500, 20));
  // The form's constraints bound its window's size.
  form.Constraints()->SetMinWidth(450);
  form.SetWidth(300);
  EXPECT_EQ(form.Width(), 450);
}

TEST_F(StdControlsTest, SplitterDragResizesItsNeighbourWithinMinSize) {
  TForm form(nullptr);
  ShowForm(form, 400, 300);
  auto* upper = new TPanel(&form);
  upper->SetParent(&form);
  upper->SetAlign(alClient);
  auto* lower = new TPanel(&form);
  lower->SetParent(&form);
  lower->SetHeight(100);
  lower->SetAlign(alBottom);
  auto* split = new TSplitter(&form);
  split->SetAlign(alBottom);
  split->SetBounds(0, 150, 400, 3);
  split->SetParent(&form);
  EXPECT_EQ(split->BoundsRect(), Bounds(0, 197, 400, 3));
  EXPECT_EQ(split->FindControl(), lower);
  int moved = 0;
  split->OnMoved = [&](TObject*) { ++moved; };
  auto drag = [&](int dy) {
    const TPoint p = split->ClientToScreen(TPoint(100, 1));
    InjectMouseMove(p.X, p.Y);
    InjectMouseButton(TMouseButton::Left, true, p.X, p.Y);
    Application->ProcessMessages();  // the splitter holds the mouse from here
    InjectMouseMove(p.X, p.Y + dy);
    InjectMouseButton(TMouseButton::Left, false, p.X, p.Y + dy);
    Application->ProcessMessages();
  };
  drag(-50);
  EXPECT_EQ(lower->Height(), 150);
  EXPECT_EQ(upper->Height(), 147);
  drag(-1000);  // the upper side keeps MinSize
  EXPECT_EQ(upper->Height(), 30);
  drag(1000);  // and so does the lower
  EXPECT_EQ(lower->Height(), 30);
  EXPECT_EQ(moved, 3);
}

// ---- Hints ----

TEST_F(StdControlsTest, HintShowsAfterThePauseAndHidesWhenThePointerLeaves) {
  TForm form(nullptr);
  ShowForm(form);
  TButton* button = HintedButton(form, 10, "Starts the queue", true);
  TButton* plain = HintedButton(form, 100, "not shown", false);
  auto moveTo = [&](TControl* c) {
    const TPoint p = c->ClientToScreen(TPoint(5, 5));
    InjectMouseMove(p.X, p.Y);
    Application->ProcessMessages();
  };
  auto showing = [] { return Application->HintWindow() && IsWindowVisible(Application->HintWindow()->Handle()); };
  moveTo(button);
  EXPECT_FALSE(showing());
  Headless().AdvanceClock(Application->HintPause + 1);
  Application->ProcessMessages();
  ASSERT_TRUE(showing());
  EXPECT_EQ(Application->HintWindow()->Caption(), "Starts the queue");
  RECT r;
  GetWindowRect(Application->HintWindow()->Handle(), &r);
  EXPECT_GT(r.top, button->ClientToScreen(TPoint(5, 5)).Y);  // below the pointer
  moveTo(plain);
  EXPECT_FALSE(showing());
  Headless().AdvanceClock(Application->HintPause + 1);
  Application->ProcessMessages();
  EXPECT_FALSE(showing());
  // Back on the button, the hint hides by itself after HintHidePause.
  moveTo(button);
  Headless().AdvanceClock(Application->HintPause + 1);
  Application->ProcessMessages();
  EXPECT_TRUE(showing());
  Headless().AdvanceClock(Application->HintHidePause + 1);
  Application->ProcessMessages();
  EXPECT_FALSE(showing());
}

// A hint window that keeps what the application handed it.
class TNoteHintWindow : public THintWindow {
 public:
  using THintWindow::THintWindow;
  void ActivateHintData(TRect Rect, const String& AHint, void* AData) override {
    Data = AData;
    THintWindow::ActivateHintData(Rect, AHint, AData);
  }
  void* Data = nullptr;
};

TEST_F(StdControlsTest, HintEventAndHintWindowClassDecideWhatShowsAndWhere) {
  TForm form(nullptr);
  ShowForm(form);
  TButton* button = HintedButton(form, 10, "Starts the queue", true);
  TButton* other = HintedButton(form, 100, "Refused", true);
  auto hover = [&](TControl* c) {
    const TPoint p = c->ClientToScreen(TPoint(5, 6));
    InjectMouseMove(p.X, p.Y);
    Application->ProcessMessages();
    Headless().AdvanceClock(Application->HintPause + 1);
    Application->ProcessMessages();
  };
  auto showing = [] { return Application->HintWindow() && IsWindowVisible(Application->HintWindow()->Handle()); };

  int note = 7;
  THintInfo seen;
  Application->OnShowHint = [&](String& HintStr, bool& CanShow, THintInfo& Info) {
    seen = Info;
    if (Info.HintControl == other) {
      CanShow = false;
      return;
    }
    HintStr = "Queue: " + HintStr;
    Info.HintPos = TPoint(300, 200);
    Info.HintWindowClass = &HintWindowClassOf<TNoteHintWindow>;
    Info.HintData = &note;
    Info.HideTimeout = 100;
  };
  hover(button);
  EXPECT_EQ(seen.HintControl, button);
  EXPECT_EQ(seen.HintStr, "Starts the queue");
  EXPECT_EQ(seen.CursorPos, TPoint(5, 6));
  EXPECT_EQ(seen.CursorRect, button->ClientRect());
  EXPECT_EQ(seen.HideTimeout, Application->HintHidePause);
  ASSERT_TRUE(showing());
  auto* window = dynamic_cast<TNoteHintWindow*>(Application->HintWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->Caption(), "Queue: Starts the queue");
  EXPECT_EQ(window->Data, &note);
  RECT r;
  GetWindowRect(window->Handle(), &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 200);
  // The event's timeout holds, not HintHidePause.
  Headless().AdvanceClock(101);
  Application->ProcessMessages();
  EXPECT_FALSE(showing());

  // CanShow = false: nothing shows.
  hover(other);
  EXPECT_EQ(seen.HintControl, other);
  EXPECT_FALSE(showing());

  // Without the event the application's class is used: the plain window comes
  // back, and a changed class replaces it at the next hint.
  Application->OnShowHint = nullptr;
  hover(button);
  ASSERT_TRUE(showing());
  EXPECT_EQ(dynamic_cast<TNoteHintWindow*>(Application->HintWindow()), nullptr);
  EXPECT_EQ(Application->HintWindow()->Caption(), "Starts the queue");
  HintWindowClass = &HintWindowClassOf<TNoteHintWindow>;
  hover(other);
  ASSERT_TRUE(showing());
  EXPECT_NE(dynamic_cast<TNoteHintWindow*>(Application->HintWindow()), nullptr);
  EXPECT_EQ(Application->HintWindow()->Caption(), "Refused");
}

// ---- Framework notifications ----

// Logs the framework messages (CM_*) a control gets through its WindowProc.
struct FrameworkSpy {
  struct Entry {
    TControl* to;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Entry> log;
  void Watch(TControl* c) {
    TWndMethod old = c->WindowProc;
    c->WindowProc = [this, c, old](TMessage& m) {
      if (m.Msg >= CM_BASE && m.Msg < CN_BASE && m.Msg != CM_MOUSEENTER && m.Msg != CM_MOUSELEAVE)
        log.push_back({c, m.Msg, m.WParam, m.LParam});
      old(m);
    };
  }
  // The messages of one kind, as (receiver, WParam, LParam).
  std::vector<std::tuple<TControl*, WPARAM, LPARAM>> Of(UINT msg) const {
    std::vector<std::tuple<TControl*, WPARAM, LPARAM>> out;
    for (const Entry& e : log)
      if (e.msg == msg) out.emplace_back(e.to, e.wParam, e.lParam);
    return out;
  }
};

TEST_F(StdControlsTest, FrameworkTellsControlsOfListFocusFontMenuAndWindowChanges) {
  using T = std::vector<std::tuple<TControl*, WPARAM, LPARAM>>;
  FrameworkSpy spy;  // outlives the form, which still talks while it goes
  TForm form(nullptr);
  ShowForm(form);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 200, 150);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(220, 10, 75, 25);
  spy.Watch(&form);
  spy.Watch(panel);
  spy.Watch(button);

  // Control lists: the parent and every control above it hear of it, the
  // removal while the child is still in the list.
  auto* edit = new TEdit(&form);
  int countAtRemoval = -1;
  form.WindowProc = [&, old = form.WindowProc](TMessage& m) {
    if (m.Msg == CM_CONTROLLISTCHANGE && !m.LParam) countAtRemoval = panel->ControlCount();
    old(m);
  };
  edit->SetParent(panel);
  const WPARAM e = WPARAM(static_cast<TControl*>(edit));
  EXPECT_EQ(spy.Of(CM_CONTROLLISTCHANGING), (T{{panel, e, 1}, {&form, e, 1}}));
  EXPECT_EQ(spy.Of(CM_CONTROLLISTCHANGE), (T{{panel, e, 1}, {&form, e, 1}}));
  spy.log.clear();
  edit->SetParent(nullptr);
  EXPECT_EQ(spy.Of(CM_CONTROLLISTCHANGING), (T{{panel, e, 0}, {&form, e, 0}}));
  EXPECT_EQ(spy.Of(CM_CONTROLLISTCHANGE), (T{{panel, e, 0}, {&form, e, 0}}));
  EXPECT_EQ(countAtRemoval, 1);
  edit->SetParent(panel);
  spy.Watch(edit);

  // Focus: the form and all its controls learn which control has it; a press
  // elsewhere tells the focused control to leave its mode.
  spy.log.clear();
  edit->SetFocus();
  Application->ProcessMessages();
  const LPARAM el = LPARAM(static_cast<TControl*>(edit));
  EXPECT_EQ(spy.Of(CM_FOCUSCHANGED), (T{{&form, 0, el}, {panel, 0, el}, {edit, 0, el}, {button, 0, el}}));
  spy.log.clear();
  const TPoint p = button->ClientToScreen(TPoint(5, 5));
  InjectMouseButton(TMouseButton::Left, true, p.X, p.Y);
  InjectMouseButton(TMouseButton::Left, false, p.X, p.Y);
  Application->ProcessMessages();
  ASSERT_FALSE(spy.Of(CM_CANCELMODE).empty());
  EXPECT_EQ(spy.Of(CM_CANCELMODE).front(), (std::tuple<TControl*, WPARAM, LPARAM>{edit, 0, LPARAM(static_cast<TControl*>(button))}));

  // System fonts: every control of the form, once.
  spy.log.clear();
  SendMessageW(form.Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  EXPECT_EQ(spy.Of(CM_SYSFONTCHANGED), (T{{&form, 0, 0}, {panel, 0, 0}, {edit, 0, 0}, {button, 0, 0}}));
  spy.log.clear();
  SendMessageW(form.Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_TRUE(spy.Of(CM_SYSFONTCHANGED).empty());

  // A new window: announced first, made by the default handling, with the same text.
  edit->SetTextValue("kept");
  const HWND before = edit->Handle();
  bool recreatingSeen = false;
  edit->WindowProc = [&, old = edit->WindowProc](TMessage& m) {
    old(m);
    if (m.Msg == CM_RECREATEWND) recreatingSeen = edit->HandleAllocated() && !edit->ControlState.Contains(csRecreating);
  };
  spy.log.clear();
  edit->RecreateWnd();
  EXPECT_EQ(spy.Of(CM_RECREATEWND), (T{{edit, 0, 0}}));
  EXPECT_TRUE(recreatingSeen);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_TRUE(edit->HandleAllocated());
  EXPECT_EQ(edit->Text(), "kept");

  // Menus: set on the form, and changed while shown.
  TMainMenu menu(&form);
  auto* file = new TMenuItem(&form);
  file->SetCaption("&File");
  menu.Items()->Add(file);
  spy.log.clear();
  form.SetMenu(&menu);
  EXPECT_EQ(spy.Of(CM_MENUCHANGED).size(), 1u);
  file->SetCaption("&Queue");
  EXPECT_EQ(spy.Of(CM_MENUCHANGED).size(), 2u);
  form.SetMenu(nullptr);
  EXPECT_EQ(spy.Of(CM_MENUCHANGED).size(), 3u);
}

// A control whose paint covers its left half; the rest shows the erased background.
class THalfPainted : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::pair<WPARAM, LPARAM>> erases;
  std::vector<HDC> paints;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_ERASEBKGND) erases.emplace_back(Message.WParam, Message.LParam);
    if (Message.Msg == WM_PAINT) paints.push_back(reinterpret_cast<HDC>(Message.WParam));
    TCustomControl::WndProc(Message);
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(0, 0, Width() / 2, Height()));
  }
};

TEST_F(StdControlsTest, DoubleBufferedControlsEraseAndPaintOffScreenWithTheSamePixels) {
  TForm form(nullptr);
  ShowForm(form);
  for (bool buffered : {false, true}) {
    SCOPED_TRACE(buffered ? "buffered" : "direct");
    auto* c = new THalfPainted(&form);
    c->SetColor(clBlue);
    c->SetDoubleBuffered(buffered);
    c->SetParent(&form);
    c->SetBounds(10, 10, 100, 40);
    Application->ProcessMessages();
    EXPECT_EQ(SurfacePixel(form.Handle(), 10 + 20, 10 + 20), RGB(255, 0, 0));
    EXPECT_EQ(SurfacePixel(form.Handle(), 10 + 80, 10 + 20), RGB(0, 0, 255));
    ASSERT_FALSE(c->paints.empty());
    if (buffered) {
      // The window's own erase is skipped; the image is erased and painted instead.
      ASSERT_GE(c->paints.size(), 2u);
      const HDC image = c->paints[1];
      EXPECT_NE(image, nullptr);
      EXPECT_EQ(WindowFromDC(image), nullptr);
      bool erasedImage = false;
      for (auto [w, l] : c->erases) erasedImage |= w == WPARAM(image) && l == LPARAM(image);
      EXPECT_TRUE(erasedImage);
    } else {
      for (HDC dc : c->paints) EXPECT_EQ(dc, nullptr);  // the plain paint cycle
    }
    delete c;
  }
}

// ---- Window definitions ----

struct TPreviewFrame : TFrame {
  explicit TPreviewFrame(TComponent* AOwner) : TFrame(AOwner, "TPreviewFrame") {}
};

TEST_F(StdControlsTest, FrameLoadsItsOwnDefinitionAndSitsOnAForm) {
  RegisterWindowDefinition(R"(object PreviewFrame: TPreviewFrame
  Width = 200
  Height = 100
  object lblTime: TLabel
    Left = 4
    Top = 4
    Caption = '00:00:00.000'
  end
  object btnNext: TButton
    Left = 4
    Top = 40
    Anchors = [akRight, akBottom]
    OnClick = btnNextClick
  end
end
)");
  TForm form(nullptr);
  auto* frame = new TPreviewFrame(&form);
  int clicks = 0;
  frame->Handlers().Register<TNotifyEvent>("btnNextClick", [&](TObject*) { ++clicks; });
  frame->LoadDefinition();
  frame->SetParent(&form);
  ShowForm(form, 300, 200);
  auto* next = static_cast<TButton*>(frame->FindComponent("btnNext"));
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->Parent(), frame);
  EXPECT_EQ(static_cast<TLabel*>(frame->FindComponent("lblTime"))->Caption(), "00:00:00.000");
  frame->SetAlign(alClient);  // 300 x 200: the anchored button follows the corner
  EXPECT_EQ(next->BoundsRect(), Bounds(104, 140, 75, 25));
  ClickOn(next);
  EXPECT_EQ(clicks, 1);
  TFrame plain(nullptr);
  plain.LoadDefinition();  // no definition class: nothing to load
  TFrame missing(nullptr, "TNoSuchFrame");
  EXPECT_THROW(missing.LoadDefinition(), EReadError);
}

const char* kDefinition = R"(object ControlsForm: TControlsForm
  Caption = 'Controls'
  ClientWidth = 500
  ClientHeight = 400
  KeyPreview = True
  object pnlTop: TPanel
    Align = alTop
    Height = 60
    BevelOuter = bvLowered
    Caption = ''
    object lblName: TLabel
      Left = 8
      Top = 8
      Caption = '&Name'
      FocusControl = edtName
    end
    object edtName: TEdit
      Left = 60
      Top = 4
      MaxLength = 12
      Text = 'clip'
      OnKeyPress = edtNameKeyPress
      OnChange = edtNameChange
    end
    object btnOk: TButton
      Left = 300
      Top = 4
      Anchors = [akTop, akRight]
      Caption = 'OK'
      Default = True
      ModalResult = 1
      Hint = 'Convert'
      ShowHint = True
    end
  end
  object Splitter1: TSplitter
    Top = 247
    Height = 3
    Align = alBottom
    MinSize = 40
  end
  object pnlBottom: TPanel
    Top = 250
    Height = 150
    Align = alBottom
    Constraints.MinHeight = 100
    object grpOption: TGroupBox
      Left = 4
      Top = 4
      Width = 200
      Height = 100
      Caption = 'Options'
      object chkPreview: TCheckBox
        Left = 8
        Top = 20
        State = cbChecked
        Caption = 'Preview'
      end
      object cboCount: TComboBox
        Left = 8
        Top = 50
        Style = csDropDownList
        Items.Strings = (
          '1'
          '2'
          '3')
        ItemIndex = 1
        OnChange = cboCountChange
      end
    end
    object mmoLog: TMemo
      Left = 220
      Top = 4
      ScrollBars = ssVertical
      Lines.Strings = (
        'first'
        'second')
    end
  end
  object grpFormats: TRadioGroup
    Left = 8
    Top = 70
    Width = 300
    Height = 60
    Columns = 3
    ItemIndex = 2
    Items.Strings = (
      'AVI'
      'MP4'
      'MKV')
    OnClick = grpFormatsClick
  end
  object TrackBar1: TTrackBar
    Left = 320
    Top = 70
    Max = 100
    Position = 30
    Frequency = 10
    PageSize = 5
    SelStart = 10
    SelEnd = 40
    TickMarks = tmTopLeft
    OnChange = TrackBar1Change
  end
  object Image1: TImage
    Left = 8
    Top = 140
    Proportional = True
    Center = True
  end
  object edtCount: TEdit
    Left = 120
    Top = 140
    Width = 40
  end
  object udCount: TUpDown
    Associate = edtCount
    Max = 10
    Position = 3
  end
  object pbDone: TProgressBar
    Left = 200
    Top = 140
    Position = 40
  end
  object lbNames: TListBox
    Left = 300
    Top = 140
    Items.Strings = (
      'a'
      'b')
  end
  object sbxInner: TScrollBox
    Left = 400
    Top = 140
    BorderStyle = bsNone
  end
  object btnAdd: TSpeedButton
    Left = 4
    Top = 370
    Flat = True
    Caption = 'Add'
  end
  object btnClose: TBitBtn
    Left = 100
    Top = 370
    Kind = bkCancel
  end
  object Timer1: TTimer
    Interval = 250
    Enabled = False
  end
end
)";

struct TControlsForm : TForm {
  using TForm::TForm;
};

TEST_F(StdControlsTest, DefinitionsMakeEveryControlClassAndRoundTrip) {
  THandlerRegistry handlers;
  int keyPresses = 0, changes = 0, comboChanges = 0, groupClicks = 0, trackChanges = 0;
  handlers.Register<TKeyPressEvent>("edtNameKeyPress", [&](TObject*, char32_t&) { ++keyPresses; });
  handlers.Register<TNotifyEvent>("edtNameChange", [&](TObject*) { ++changes; });
  handlers.Register<TNotifyEvent>("cboCountChange", [&](TObject*) { ++comboChanges; });
  handlers.Register<TNotifyEvent>("grpFormatsClick", [&](TObject*) { ++groupClicks; });
  handlers.Register<TNotifyEvent>("TrackBar1Change", [&](TObject*) { ++trackChanges; });
  TControlsForm form(nullptr);
  form.SetName("ControlsForm");
  LoadDefinition(&form, std::string_view(kDefinition), &handlers);
  auto get = [&](const char* name) { return form.FindComponent(name); };
  EXPECT_EQ(form.ClientWidth(), 500);
  EXPECT_EQ(form.ClientHeight(), 400);
  EXPECT_TRUE(form.KeyPreview);
  // Layout ran once everything was read: docked panels at their edges.
  EXPECT_EQ(static_cast<TControl*>(get("pnlTop"))->BoundsRect(), Bounds(0, 0, 500, 60));
  EXPECT_EQ(static_cast<TControl*>(get("pnlBottom"))->BoundsRect(), Bounds(0, 250, 500, 150));
  EXPECT_EQ(static_cast<TControl*>(get("Splitter1"))->BoundsRect(), Bounds(0, 247, 500, 3));
  EXPECT_EQ(static_cast<TControl*>(get("pnlBottom"))->Constraints()->MinHeight(), 100);
  auto* ok = static_cast<TButton*>(get("btnOk"));
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(ok->Anchors(), (TAnchors{akTop, akRight}));
  EXPECT_TRUE(ok->ShowHint());
  EXPECT_EQ(static_cast<TLabel*>(get("lblName"))->FocusControl(), get("edtName"));
  auto* name = static_cast<TEdit*>(get("edtName"));
  EXPECT_EQ(name->Text(), "clip");
  EXPECT_EQ(name->MaxLength(), 12);
  EXPECT_EQ(changes, 0);  // bound after Text was set
  EXPECT_EQ(static_cast<TCheckBox*>(get("chkPreview"))->State(), cbChecked);
  auto* combo = static_cast<TComboBox*>(get("cboCount"));
  EXPECT_EQ(combo->Style(), csDropDownList);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "2");
  EXPECT_EQ(static_cast<TMemo*>(get("mmoLog"))->Lines()->Count(), 2);
  auto* group = static_cast<TRadioGroup*>(get("grpFormats"));
  EXPECT_EQ(group->ItemIndex(), 2);  // set before its items arrived
  EXPECT_TRUE(group->Buttons(2)->Checked());
  EXPECT_EQ(group->Columns(), 3);
  auto* track = static_cast<TTrackBar*>(get("TrackBar1"));
  EXPECT_EQ(track->Max(), 100);
  EXPECT_EQ(track->Position(), 30);
  EXPECT_EQ(track->SelEnd(), 40);
  EXPECT_EQ(track->TickMarks(), tmTopLeft);
  EXPECT_TRUE(static_cast<TImage*>(get("Image1"))->Proportional());
  auto* ud = static_cast<TUpDown*>(get("udCount"));
  EXPECT_EQ(ud->Associate(), get("edtCount"));
  EXPECT_EQ(ud->Position(), 3);
  EXPECT_EQ(static_cast<TEdit*>(get("edtCount"))->Text(), "3");
  EXPECT_EQ(static_cast<TProgressBar*>(get("pbDone"))->Position(), 40);
  EXPECT_EQ(static_cast<TListBox*>(get("lbNames"))->Items()->Count(), 2);
  EXPECT_EQ(static_cast<TTimer*>(get("Timer1"))->Interval(), 250u);
  EXPECT_FALSE(static_cast<TTimer*>(get("Timer1"))->Enabled());
  auto* close = static_cast<TBitBtn*>(get("btnClose"));
  EXPECT_EQ(close->Caption(), "Cancel");
  EXPECT_TRUE(close->Cancel());
  EXPECT_EQ(close->ModalResult(), mrCancel);
  // A glyph goes out and comes back with the definition.
  auto* add = static_cast<TSpeedButton*>(get("btnAdd"));
  add->Glyph()->SetSize(3, 2);
  add->Glyph()->Canvas()->SetPixels(2, 1, clRed);
  // The bound handlers run.
  name->SetTextValue("other");
  track->SetPosition(31);
  group->SetItemIndex(0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(trackChanges, 1);
  EXPECT_EQ(groupClicks, 1);
  group->SetItemIndex(2);
  track->SetPosition(30);
  name->SetTextValue("clip");
  // Writing the form and reading it back gives the same definition.
  const TDefObject first = DescribeComponent(&form, &handlers);
  const String text = WriteDefinition(first);
  TControlsForm again(nullptr);
  again.SetName("ControlsForm");
  LoadDefinition(&again, std::string_view(text), &handlers);
  const String text2 = WriteDefinition(DescribeComponent(&again, &handlers));
  EXPECT_EQ(text2, text);
  // And the copy runs.
  again.Show();
  Application->ProcessMessages();
  EXPECT_EQ(static_cast<TComboBox*>(again.FindComponent("cboCount"))->Text(), "2");
  EXPECT_EQ(static_cast<TMemo*>(again.FindComponent("mmoLog"))->Lines()->Strings(1), "second");
  TBitmap* glyph = static_cast<TSpeedButton*>(again.FindComponent("btnAdd"))->Glyph();
  ASSERT_EQ(glyph->Width(), 3);
  EXPECT_EQ(glyph->Canvas()->Pixels(2, 1), clRed);
}

}  // namespace
