// The title bar's option objects: defaults of a new user title button, what
// assigning one to another copies, the collection's owner, the added title's
// font defaults, the mouse notices a title button raises, and which changes
// repaint the skinned frame.

#include <gtest/gtest.h>

#include <functional>

#include "skin/core/acThdTimer.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class TitleItemsTest : public WindowTest {};
class TitleItemsRepaintTest : public FormSkinTest {};

}  // namespace

TEST_F(TitleItemsTest, NewTitleButtonAndWhatAssigningCopies) {
  TForm form(nullptr);
  auto* p = new TsSkinProvider(&form);
  TsTitleButtons* buttons = p->TitleButtons();
  TsTitleButton* a = static_cast<TsTitleButton*>(buttons->Add());
  EXPECT_EQ(a->Name(), "TsTitleButton");
  EXPECT_EQ(a->GetDisplayName(), "TsTitleButton");
  EXPECT_TRUE(a->Enabled());
  EXPECT_TRUE(a->Visible());
  EXPECT_TRUE(a->UseSkinData());
  EXPECT_EQ(a->HintWnd, nullptr);
  EXPECT_EQ(a->Data.cpGlowID, -1);
  EXPECT_EQ(a->Provider(), p);

  int downs = 0, ups = 0;
  a->SetName("Pin");
  a->SetHint("Keep on top");
  a->SetEnabled(false);
  a->SetUseSkinData(false);
  a->SetVisible(false);
  a->Glyph()->SetSize(5, 4);
  a->FOnMouseDown = [&](TObject* Sender, TMouseButtonKind, TShiftState, int, int) { downs += Sender == a ? 1 : 100; };
  a->FOnMouseUp = [&](TObject*, TMouseButtonKind, TShiftState, int, int) { ++ups; };

  TsTitleButton* b = static_cast<TsTitleButton*>(buttons->Add());
  b->Assign(a);
  EXPECT_EQ(b->Name(), "Pin");
  EXPECT_EQ(b->Hint(), "Keep on top");
  EXPECT_FALSE(b->Enabled());
  EXPECT_FALSE(b->UseSkinData());
  EXPECT_TRUE(b->Visible());  // visibility is not copied
  EXPECT_EQ(b->Glyph()->Width(), 5);
  EXPECT_NE(b->Glyph(), a->Glyph());  // a copy
  b->MouseDown(mbLeft, TShiftState(), 1, 2);
  b->MouseUp(mbLeft, TShiftState(), 1, 2);
  EXPECT_EQ(downs, 100);  // the copied handler, raised with the copy as Sender
  EXPECT_EQ(ups, 1);

  // Any other destination is refused.
  TFont font;
  EXPECT_THROW(font.Assign(a), EConvertError);
}

TEST_F(TitleItemsTest, GlyphChangeEndsAButtonsRunningAnimation) {
  TForm form(nullptr);
  auto* p = new TsSkinProvider(&form);
  TsTitleButton* a = static_cast<TsTitleButton*>(p->TitleButtons()->Add());
  a->Data.cpTimer = new TacThreadedTimer(nullptr);
  a->Glyph()->SetSize(8, 8);
  EXPECT_EQ(a->Data.cpTimer, nullptr);
}

TEST_F(TitleItemsTest, DefaultsOfIconAddedTitleAndHeader) {
  TForm form(nullptr);
  auto* p = new TsSkinProvider(&form);
  EXPECT_EQ(p->TitleIcon()->Width(), 0);
  EXPECT_EQ(p->TitleIcon()->Height(), 0);
  EXPECT_TRUE(p->TitleIcon()->Visible());
  EXPECT_TRUE(p->TitleIcon()->Glyph()->Empty());
  TacAddedTitle* t = p->AddedTitle();
  EXPECT_TRUE(t->ShowMainCaption());
  EXPECT_EQ(t->Font()->Color(), kNoColorTone);
  EXPECT_FALSE(t->FontStored());
  t->Font()->SetSize(t->Font()->Size() + 2);
  EXPECT_TRUE(t->FontStored());
  EXPECT_EQ(p->FormHeader()->AdditionalHeight(), 0);
  EXPECT_EQ(p->SysSubMenu()->Position, ipBeforeClose);
}

TEST_F(TitleItemsRepaintTest, ChangesThatShowRepaintTheFrameAndOthersDoNot) {
  TForm form(nullptr);
  Show(form);
  auto* sp = new TsSkinProvider(&form);
  sp->ProcessMessage(WM_NCPAINT);
  TsTitleButton* button = static_cast<TsTitleButton*>(sp->TitleButtons()->Add());
  TBitmap glyph(4, 4);
  const int x = form.Width() / 2, y = 2;  // a pixel of the title strip
  const COLORREF painted = At(form, x, y);
  struct Case {
    const char* what;
    std::function<void()> change;
    bool repaints;
  } cases[] = {
      {"added text", [&] { sp->AddedTitle()->SetText("more"); }, true},
      {"the same added text", [&] { sp->AddedTitle()->SetText("more"); }, false},
      {"main caption hidden", [&] { sp->AddedTitle()->SetShowMainCaption(false); }, true},
      {"icon hidden", [&] { sp->TitleIcon()->SetVisible(false); }, true},
      {"icon hidden again", [&] { sp->TitleIcon()->SetVisible(false); }, false},
      {"icon glyph", [&] { sp->TitleIcon()->SetGlyph(&glyph); }, true},
      {"icon size", [&] { sp->TitleIcon()->SetWidth(20); }, false},
      {"title button hidden", [&] { button->SetVisible(false); }, true},
      {"title button hint", [&] { button->SetHint("tip"); }, false},
  };
  for (const Case& c : cases) {
    // A mark on the window's title that only a repaint of the frame removes.
    HDC dc = GetWindowDC(form.Handle());
    SetPixel(dc, x, y, RGB(1, 2, 3));
    ReleaseDC(form.Handle(), dc);
    ASSERT_EQ(At(form, x, y), RGB(1, 2, 3));
    c.change();
    Application->ProcessMessages();
    EXPECT_EQ(At(form, x, y), c.repaints ? painted : RGB(1, 2, 3)) << c.what;
  }
}
