// The speed-button handler: a windowless button painted normal, hot and
// pressed from its section, the pressed glyph moved by a pixel, the button's
// own painting back after the skin goes, and a button freed before its handler.

#include <gtest/gtest.h>

#include "platform/vcl/Buttons.h"
#include "skin/controls/acSpeedButtonHandler.h"
#include "skin/core/GeneralUtils.h"
#include "tests/skin_controls/BarSkin.h"

namespace {

class SpeedButtonHandlerTest : public WindowTest {
 protected:
  // A button 60 x 30 at (20, 20) of a shown form, with its record.
  TSpeedButton* Button(TForm*& out) {
    form = std::make_unique<TForm>(nullptr);
    out = form.get();
    auto* b = new TSpeedButton(form.get());
    b->SetParent(form.get());
    b->SetBounds(20, 20, 60, 30);
    b->SetCaption("Go");
    ShowForm(*form);
    data = std::make_unique<TsCommonData>(nullptr, true);
    data->FOwnerControl = b;
    data->FSkinManager = &k.s;
    return b;
  }
  COLORREF Pixel(int x, int y) {
    Repaint(form->Handle());
    return At(form->Handle(), x, y);
  }
  BarSkin k;
  FakeManager m{&k.s};
  std::unique_ptr<TForm> form;  // freed after the record, which points at its button
  std::unique_ptr<TsCommonData> data;
};

}  // namespace

TEST_F(SpeedButtonHandlerTest, PaintsNormalHotAndPressedAndGivesThePaintingBack) {
  TForm* f = nullptr;
  TSpeedButton* b = Button(f);
  auto h = std::make_unique<TacSpeedButtonHandler>(b, data.get(), nullptr, "SPEEDBUTTON", false);
  EXPECT_EQ(data->SkinSection(), "SPEEDBUTTON");
  EXPECT_EQ(h->SkinManager, &k.s);
  EXPECT_EQ(Pixel(22, 22), COLORREF(kSpeed));
  EXPECT_EQ(b->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0), 1);

  MouseTo(f->Handle(), 40, 35);
  b->Perform(CM_MOUSEENTER, 0, 0);  // what the application tells a graphic control the mouse is over
  EXPECT_TRUE(data->FMouseAbove);
  EXPECT_EQ(Pixel(22, 22), COLORREF(kSpeedHot));
  Press(f->Handle(), 40, 35, true);
  EXPECT_EQ(Pixel(22, 22), COLORREF(kSpeedPressed));
  Press(f->Handle(), 40, 35, false);
  MouseTo(f->Handle(), 200, 200);
  b->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(22, 22), COLORREF(kSpeed));

  // The skin goes: the button paints itself again and a later end reaches its own procedure.
  b->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINREMOVED), LPARAM(&k.s));
  EXPECT_TRUE(h->Destroyed);
  EXPECT_NE(Pixel(22, 22), COLORREF(kSpeed));
  EXPECT_EQ(b->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0), 0);
  h.reset();
}

TEST_F(SpeedButtonHandlerTest, PressedGlyphMovesByOnePixelAndLeftRightLayoutsMirror) {
  TForm* f = nullptr;
  TSpeedButton* b = Button(f);
  TBitmap glyph;
  glyph.SetSize(8, 8);
  glyph.Canvas()->Brush()->SetColor(clRed);
  glyph.Canvas()->FillRect(TRect(0, 0, 8, 8));
  b->SetGlyph(&glyph);
  TacSpeedButtonHandler h(b, data.get(), nullptr, "SPEEDBUTTON", false);
  const TRect left = h.ImgRect(), caption = h.CaptionRect();
  EXPECT_EQ(left.Width(), 8);
  EXPECT_EQ(caption.Left, left.Right + b->Spacing());
  b->SetLayout(blGlyphRight);
  const TRect right = h.ImgRect();
  // The glyph and caption block is centred: right is left mirrored.
  EXPECT_EQ(right.Left, b->Width() - left.Right);
  b->SetLayout(blGlyphLeft);
  Press(f->Handle(), 40, 35, true);
  ASSERT_EQ(h.CurrentState(), 2);
  EXPECT_EQ(h.ImgRect(), OffsetRectCopy(left, 1, 1));
  // With the glyph beside it the caption moves two right and one down.
  EXPECT_EQ(h.CaptionRect(), OffsetRectCopy(caption, 2, 1));
  Press(f->Handle(), 40, 35, false);
}

TEST_F(SpeedButtonHandlerTest, AButtonFreedBeforeItsHandlerIsNotTouched) {
  TForm* f = nullptr;
  TSpeedButton* b = Button(f);
  auto h = std::make_unique<TacSpeedButtonHandler>(b, data.get(), nullptr, "SPEEDBUTTON", false);
  delete b;
  EXPECT_EQ(h->Ctrl, nullptr);
  data->FOwnerControl = nullptr;  // the record's maker forgets the button too
  h.reset();
}
