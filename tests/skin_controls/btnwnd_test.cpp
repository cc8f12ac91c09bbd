// The push-button handlers on raw button windows: taken over and given back
// intact, states normal, hot, pressed, default and disabled read at labelled
// places, the focus rectangle's margins and the split button's arrow.

#include <gtest/gtest.h>

#include "platform/win/Controls.h"
#include "tests/skin_controls/ButtonSkin.h"

namespace {

class ButtonHandlerTest : public WindowTest {
 protected:
  HWND Button(TForm& form, DWORD style, const char* text = "", int w = 80, int h = 30) {
    ShowForm(form);
    return CreateWindowExW(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, 40, 30, w, h, form.Handle(), nullptr,
                           nullptr, nullptr);
  }
  template <class T>
  TacHandlerPtr<T> Skin(HWND w, ButtonSkin& k) {
    return CreateWndHandler<T>(w, nullptr, &k.s, TacSkinParams(), false);
  }
};

}  // namespace

TEST_F(ButtonHandlerTest, PushButtonShowsNormalHotPressedAndDisabled) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  HWND b = Button(form, BS_PUSHBUTTON);
  auto h = Skin<TacBtnWnd>(b, k);
  EXPECT_EQ(h->SkinData->SkinSection(), "BUTTON");
  Repaint(b);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kNormal));
  EXPECT_EQ(SendMessageW(b, WM_ERASEBKGND, 0, 0), 1);

  // The mouse over it: the manager makes it hot.
  MouseTo(b, 40, 15);
  EXPECT_EQ(m.active, b);
  EXPECT_TRUE(h->SkinData->FMouseAbove);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kHot));

  Press(b, 40, 15, true);
  EXPECT_TRUE(h->Down());
  EXPECT_EQ(h->CurrentState(), 2);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kPressed));
  Press(b, 40, 15, false);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kHot));

  // Leaving and losing the focus: normal again.
  SetFocus(form.Handle());
  SetActiveControlProc(nullptr);
  Application->ProcessMessages();
  EXPECT_FALSE(h->SkinData->FMouseAbove);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kNormal));

  // Disabled: the parent's background (an unskinned parent: the skin's global colour) shows through.
  const COLORREF parent = COLORREF(ColorToRGB(k.s.GetGlobalColor()));
  EnableWindow(b, FALSE);
  Application->ProcessMessages();
  EXPECT_TRUE(Between(At(b, 2, 2), COLORREF(kNormal), parent)) << std::hex << At(b, 2, 2);
  DestroyWindow(b);
}

TEST_F(ButtonHandlerTest, DefaultButtonOfAForeignDialogIsHotWithThreeStates) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  HWND b = Button(form, BS_DEFPUSHBUTTON);
  auto h = Skin<TacBtnWnd>(b, k);
  EXPECT_EQ(h->CurrentState(), 3);
  EXPECT_EQ(h->SectionState(3), 1);
  Repaint(b);
  EXPECT_EQ(At(b, 2, 2), COLORREF(kHot));
  h.reset();
  DestroyWindow(b);
}

TEST_F(ButtonHandlerTest, CaptionShiftsWhenPressedOnlyAsTheOptionSays) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  HWND b = Button(form, BS_PUSHBUTTON, "Go");
  auto h = Skin<TacBtnWnd>(b, k);
  UpdateWndGeometry(h.get());
  const TRect normal = h->CaptionRect();
  SendMessageW(b, BM_SETSTATE, 1, 0);
  EXPECT_EQ(h->CaptionRect(), TRect(normal.Left + 1, normal.Top + 1, normal.Right + 1, normal.Bottom + 1));
  ButtonsOptions.ShiftContentOnClick = false;
  EXPECT_EQ(h->CaptionRect(), normal);
  SendMessageW(b, BM_SETSTATE, 0, 0);

  // The caption's text in the section's colour; a focused button gets its dotted
  // rectangle, never within three rows of the top or bottom.
  SetFocus(b);
  Application->ProcessMessages();
  bool text = false;
  for (int x = normal.Left; x < normal.Right; ++x)
    for (int y = normal.Top; y < normal.Bottom; ++y) text |= At(b, x, y) == COLORREF(kHotText);
  EXPECT_TRUE(text);
  for (int x = 0; x < 80; ++x)
    for (int y : {0, 1, 2, 27, 28, 29}) EXPECT_EQ(At(b, x, y), COLORREF(kHot)) << x << "," << y;
  h.reset();
  DestroyWindow(b);
}

TEST_F(ButtonHandlerTest, SplitButtonKeepsRoomForItsArrow) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  HWND b = Button(form, BS_SPLITBUTTON, "", 80, 30);
  auto h = Skin<TacSplitBtnWnd>(b, k);
  Repaint(b);
  EXPECT_EQ(h->ArrowRect(), TRect(58, 0, 80, 30));
  int arrow = 0, left = 0;
  for (int x = 0; x < 80; ++x)
    for (int y = 0; y < 30; ++y)
      if (At(b, x, y) == COLORREF(kText)) (x >= 58 ? arrow : left)++;
  EXPECT_GT(arrow, 0);
  EXPECT_EQ(left, 0);
  h.reset();
  DestroyWindow(b);
}
