// The check-box handler on raw button windows: the glyph for each check state
// and kind, its normal, hot and pressed frames, the glyph's side, and the hot
// frame switched off by the no-hover option.

#include <gtest/gtest.h>

#include "platform/win/Controls.h"
#include "skin/controls/acCheckBoxWnd.h"
#include "tests/skin_controls/ButtonSkin.h"

namespace {

class CheckBoxHandlerTest : public WindowTest {
 protected:
  HWND Box(TForm& form, DWORD style, const char* text = "") {
    ShowForm(form);
    return CreateWindowExW(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, 40, 30, 100, 20, form.Handle(), nullptr,
                           nullptr, nullptr);
  }
};

}  // namespace

TEST_F(CheckBoxHandlerTest, GlyphFollowsCheckStateAndKind) {
  struct Row {
    const char* name;
    DWORD style;
    WPARAM check;
    int glyph;
  } rows[] = {
      {"unchecked", BS_AUTOCHECKBOX, BST_UNCHECKED, 0}, {"checked", BS_AUTOCHECKBOX, BST_CHECKED, 1},
      {"grayed", BS_AUTO3STATE, BST_INDETERMINATE, 2},  {"radio off", BS_AUTORADIOBUTTON, BST_UNCHECKED, 3},
      {"radio on", BS_RADIOBUTTON, BST_CHECKED, 4},     {"left text", BS_AUTOCHECKBOX | BS_LEFTTEXT, BST_CHECKED, 1},
  };
  ButtonSkin k;
  AddCheckGlyphs(k.s);
  FakeManager m(&k.s);
  TForm form(nullptr);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    HWND b = Box(form, r.style);
    auto h = CreateWndHandler<TacCheckBoxWnd>(b, nullptr, &k.s, TacSkinParams(), false);
    SendMessageW(b, BM_SETCHECK, r.check, 0);
    Application->ProcessMessages();
    const bool right = r.style & BS_LEFTTEXT;
    const int gx = right ? 100 - kGlyph + 2 : 2, other = right ? 2 : 100 - kGlyph + 2;
    EXPECT_EQ(At(b, gx, 10), COLORREF(GlyphColor(r.glyph, 0)));
    EXPECT_EQ(h->CheckRect(), right ? TRect(90, 5, 100, 15) : TRect(0, 5, 10, 15));
    EXPECT_EQ(At(b, other, 10), COLORREF(kNormal));
    h.reset();
    DestroyWindow(b);
  }
}

TEST_F(CheckBoxHandlerTest, GlyphShowsHotAndPressedFramesUnlessHoverIsOff) {
  ButtonSkin k;
  AddCheckGlyphs(k.s);
  FakeManager m(&k.s);
  TForm form(nullptr);
  HWND b = Box(form, BS_AUTOCHECKBOX, "Box");
  auto h = CreateWndHandler<TacCheckBoxWnd>(b, nullptr, &k.s, TacSkinParams(), false);
  EXPECT_EQ(h->SkinData->SkinSection(), "CHECKBOX");
  Repaint(b);
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(0, 0)));
  MouseTo(b, 50, 10);
  EXPECT_EQ(m.active, b);
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(0, 1)));
  Press(b, 50, 10, true);
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(0, 2)));
  Press(b, 50, 10, false);
  // The click checked it: the checked glyph, hot (focused and under the mouse).
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(1, 1)));

  NoMouseHover = true;
  Repaint(b);
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(1, 0)));
  Press(b, 50, 10, true);
  EXPECT_EQ(At(b, 2, 10), COLORREF(GlyphColor(1, 2)));
  Press(b, 50, 10, false);
  h.reset();
  DestroyWindow(b);
}

TEST_F(CheckBoxHandlerTest, GroupBoxFrameLiesBelowACaptionStripOfTheParent) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  ShowForm(form);
  HWND g = CreateWindowExW(0, "BUTTON", "Group", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 20, 20, 120, 60, form.Handle(),
                           nullptr, nullptr, nullptr);
  auto h = CreateWndHandler<TacGroupBoxWnd>(g, nullptr, &k.s, TacSkinParams(), false);
  EXPECT_EQ(h->SkinData->SkinSection(), "GROUPBOX");
  Repaint(g);
  UpdateWndGeometry(h.get());
  const TRect cap = h->CaptionRect();
  EXPECT_EQ(cap.Left, 6);
  EXPECT_EQ(SendSkinCommand(g, SKC_GETSKINMANAGER), cap.Height());
  const COLORREF parent = COLORREF(ColorToRGB(k.s.GetGlobalColor()));
  // Above the frame the parent shows; below the strip's middle the section; the caption in its colour.
  EXPECT_EQ(At(g, 2, 1), parent);
  EXPECT_EQ(At(g, 2, 58), COLORREF(kNormal));
  EXPECT_EQ(At(g, 118, cap.Height() / 2 + 1), COLORREF(kNormal));
  bool text = false;
  for (int x = cap.Left; x < cap.Right; ++x)
    for (int y = cap.Top; y < cap.Bottom; ++y) text |= At(g, x, y) == COLORREF(kText);
  EXPECT_TRUE(text);

  // A caption wider than the box ends one pixel inside its right edge.
  SetWindowTextW(g, "A caption far wider than the group box it names");
  EXPECT_EQ(h->CaptionRect().Right, 119);
  h.reset();
  DestroyWindow(g);
}
