// The frame adapter: only frames take it; a frame on a skinned form is
// painted from its section and gives its window procedure back when the
// adapter goes.

#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/ExtCtrls.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sFrameAdapter.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class FrameAdapterTest : public FormSkinTest {
 protected:
  // The form's surface at a point of the frame's client area.
  static COLORREF FrameAt(TForm& form, TFrame* frame, int x, int y) {
    const TPoint p = frame->ClientToScreen(TPoint(x, y));
    RECT wr;
    GetWindowRect(form.Handle(), &wr);
    return At(form, p.X - wr.left, p.Y - wr.top);
  }
};

}  // namespace

TEST_F(FrameAdapterTest, OnlyAFrameTakesIt) {
  TForm form(nullptr);
  try {
    TsFrameAdapter a(&form);
    FAIL() << "placed on a form";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "TsFrameAdapter adapter must be placed on the handled frame");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST_F(FrameAdapterTest, AFrameOnASkinnedFormIsPaintedFromItsSection) {
  TForm form(nullptr);
  auto* frame = new TFrame(&form);
  frame->SetParent(&form);
  frame->SetBounds(20, 20, 100, 60);
  auto* panel = new TPanel(frame);
  panel->SetParent(frame);
  panel->SetBounds(60, 30, 30, 20);
  auto* adapter = new TsFrameAdapter(frame);
  adapter->SkinData()->SetSkinSection("FORMTITLE");
  Show(form);
  auto* sp = new TsSkinProvider(&form);
  adapter->Loaded();
  Repaint(sp);
  EXPECT_EQ(frame->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0), 1);
  RedrawWindow(frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Application->ProcessMessages();
  EXPECT_EQ(FrameAt(form, frame, 5, 5), ColorToRGB(kTitleColor));
  EXPECT_EQ(FrameAt(form, frame, 50, 50), ColorToRGB(kTitleColor));
  // Its children see the section's colour as their background.
  EXPECT_EQ(TColor(frame->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETBGCOLOR), 0)), ColorToRGB(kTitleColor));

  // Gone: the frame's own procedure answers again.
  delete adapter;
  EXPECT_EQ(frame->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0), 0);
}
