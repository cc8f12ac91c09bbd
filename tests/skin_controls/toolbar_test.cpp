// The tool-bar handlers: a foreign tool-bar window painted button by button
// (states as a table of pixel probes, separators, captions of any length),
// and the framework's tool bar painted through its drawing events (background,
// button states, drop-down arrow, hot tracking), each given back intact.

#include <gtest/gtest.h>

#include <string>

#include "platform/vcl/ComCtrls.h"
#include "platform/win/CommCtrl.h"
#include "skin/controls/acToolBarWnd.h"
#include "tests/skin_controls/BarSkin.h"

namespace {

class ToolBarHandlerTest : public WindowTest {
 protected:
  HWND Bar(TForm& form, int w = 360) {
    ShowForm(form);
    HWND t = CreateWindowExW(0, TOOLBARCLASSNAMEW, "",
                             WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 10, 10, w, 40,
                             form.Handle(), nullptr, nullptr, nullptr);
    SendMessageW(t, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return t;
  }
  static void Add(HWND t, int id, BYTE state, BYTE style = BTNS_BUTTON, const char* text = nullptr) {
    TBBUTTON b;
    b.idCommand = id;
    b.iBitmap = -1;
    b.fsState = state;
    b.fsStyle = style;
    if (text) b.iString = LONG_PTR(reinterpret_cast<uintptr_t>(text));
    SendMessageW(t, TB_ADDBUTTONSW, 1, LPARAM(&b));
  }
  static TRect Item(HWND t, int i) {
    RECT r{};
    SendMessageW(t, TB_GETITEMRECT, WPARAM(i), LPARAM(&r));
    return TRect(r.left, r.top, r.right, r.bottom);
  }
  TacHandlerPtr<TacToolBarWnd> SkinForeign(HWND t) {
    TacSkinParams p;
    p.SkinSection = "TOOLBAR";
    auto h = CreateWndHandler<TacToolBarWnd>(t, nullptr, &k.s, p, false);
    Repaint(t);
    return h;
  }
  BarSkin k;
};

}  // namespace

TEST_F(ToolBarHandlerTest, ForeignBarPaintsEachButtonStateAndGivesTheWindowBack) {
  TForm form(nullptr);
  HWND t = Bar(form);
  struct Case {
    const char* name;
    BYTE state, style;
    TColor expected;  // clNone: faded between the normal button and the bar
  };
  const Case cases[] = {
      {"normal", TBSTATE_ENABLED, BTNS_BUTTON, kBtn},
      {"pressed", TBSTATE_ENABLED | TBSTATE_PRESSED, BTNS_BUTTON, kBtnPressed},
      {"checked", TBSTATE_ENABLED | TBSTATE_CHECKED, BTNS_CHECK, kBtnPressed},
      {"disabled", 0, BTNS_BUTTON, clNone},
      {"hot", TBSTATE_ENABLED, BTNS_BUTTON, kBtnHot},
  };
  int id = 1;
  for (const Case& c : cases) Add(t, id++, c.state, c.style);
  Add(t, id, TBSTATE_ENABLED, BTNS_SEP);
  const LONG_PTR proc = GetWindowLongPtrW(t, GWLP_WNDPROC), style = GetWindowLongPtrW(t, GWL_STYLE);
  auto h = SkinForeign(t);
  // The cursor over the last button makes it hot.
  const TRect hot = Item(t, 4);
  MouseTo(t, hot.Left + hot.Width() / 2, hot.Top + hot.Height() / 2);
  Repaint(t);
  Shot shot(t);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(cases[i].name);
    const TRect r = Item(t, i);
    const COLORREF c = shot.At(r.Left + 2, r.Top + 2);
    if (cases[i].expected == clNone)
      EXPECT_TRUE(Between(c, COLORREF(kBtn), COLORREF(kToolBar))) << std::hex << c;
    else
      EXPECT_EQ(c, COLORREF(cases[i].expected));
  }
  // The separator: a divider line down its middle over the bar.
  const TRect sep = Item(t, 5);
  EXPECT_EQ(shot.At(sep.Left + sep.Width() / 2, sep.Top + sep.Height() / 2), COLORREF(kDivider));
  EXPECT_EQ(shot.At(sep.Left, sep.Top + sep.Height() / 2), COLORREF(kToolBar));
  EXPECT_EQ(shot.At(300, 30), COLORREF(kToolBar));

  ReleaseWndHandler(t, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(GetWindowLongPtrW(t, GWLP_WNDPROC), proc);
  EXPECT_EQ(GetWindowLongPtrW(t, GWL_STYLE), style);
  EXPECT_EQ(GetPropW(t, kSkinDataProp), nullptr);
  DestroyWindow(t);
}

TEST_F(ToolBarHandlerTest, ForeignBarReadsACaptionOfAnyLength) {
  TForm form(nullptr);
  HWND t = Bar(form);
  // Longer than any fixed buffer a caption could be read into.
  std::string longText;
  while (longText.size() < 3000) longText += "long words ";
  Add(t, 1, TBSTATE_ENABLED, BTNS_BUTTON, longText.c_str());
  Add(t, 2, TBSTATE_ENABLED, BTNS_BUTTON, "Open in folder");
  auto h = SkinForeign(t);
  EXPECT_EQ(h->ButtonText(1), longText);
  EXPECT_EQ(h->ButtonText(2), "Open in folder");
  EXPECT_EQ(h->ButtonText(99), "");
  // Painting it reads it whole again, never into a buffer too small for it.
  Repaint(t);
  h.reset();
  DestroyWindow(t);
}

TEST_F(ToolBarHandlerTest, FrameworkBarPaintsBackgroundButtonsAndTracksTheHotButton) {
  TForm form(nullptr);
  auto* bar = new TToolBar(&form);
  bar->SetParent(&form);
  int appDraws = 0;
  bar->OnAdvancedCustomDraw = [&](TToolBar*, const TRect&, TCustomDrawStage, bool&) { ++appDraws; };
  const TToolButtonStyle styles[] = {tbsButton, tbsCheck, tbsButton, tbsSeparator, tbsDropDown, tbsButton};
  std::vector<TToolButton*> buttons;
  for (TToolButtonStyle s : styles) {
    auto* b = new TToolButton(&form);
    b->SetParent(bar);
    b->SetStyle(s);
    buttons.push_back(b);
  }
  buttons[1]->SetDown(true);
  buttons[2]->SetEnabled(false);
  ShowForm(form);
  HWND w = bar->Handle();
  TacSkinParams p;
  p.Control = bar;
  auto h = CreateWndHandler<TacToolBarVCLWnd>(w, nullptr, &k.s, p, false);
  EXPECT_EQ(h->ToolBar, bar);
  EXPECT_EQ(h->SkinData->SkinSection(), "TOOLBAR");
  Repaint(w);
  auto probe = [&](int i) {
    const TRect r = h->GetButtonRect(i);
    return At(w, r.Left + 2, r.Top + 2);
  };
  EXPECT_EQ(probe(0), COLORREF(kBtn));
  EXPECT_EQ(probe(1), COLORREF(kBtnPressed));
  EXPECT_TRUE(Between(probe(2), COLORREF(kBtn), COLORREF(kToolBar)));
  // The bar's own section beside the buttons.
  EXPECT_EQ(At(w, bar->Width() - 3, bar->Height() - 3), COLORREF(kToolBar));
  // The drop-down part carries the skin's arrow.
  const TRect drop = h->GetButtonRect(4);
  EXPECT_TRUE(Shot(w).Shows(TRect(drop.Right - 15, drop.Top, drop.Right, drop.Bottom), kArrow));
  EXPECT_FALSE(Shot(w).Shows(TRect(drop.Left, drop.Top, drop.Right - 15, drop.Bottom), kArrow));

  // Hot tracking: the button under the mouse, never a disabled one, never repainting a down one.
  const TRect b0 = h->GetButtonRect(0), b2 = h->GetButtonRect(2), b5 = h->GetButtonRect(5);
  MouseTo(w, b0.Left + 5, b0.Top + 5);
  EXPECT_EQ(h->HotButtonIndex, 0);
  EXPECT_EQ(probe(0), COLORREF(kBtnHot));
  MouseTo(w, b2.Left + 5, b2.Top + 5);
  EXPECT_EQ(h->HotButtonIndex, 0);
  MouseTo(w, b5.Left + 5, b5.Top + 5);
  EXPECT_EQ(h->HotButtonIndex, 5);
  EXPECT_EQ(probe(0), COLORREF(kBtn));
  EXPECT_EQ(probe(5), COLORREF(kBtnHot));

  // Given back: the application's drawing event is the bar's again.
  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 0);
  const int before = appDraws;
  Repaint(w);
  EXPECT_GT(appDraws, before);
}
