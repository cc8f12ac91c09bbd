// Glued forms and screen snapping of skinned forms without extended borders
// (outline = window rectangle): a glued form follows its master only when it
// touched it, and a moving form's edges jump onto the work area's and other
// forms' edges within SnapBuffer, and not beyond.

#include <gtest/gtest.h>

#include <memory>

#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class GlueTest : public FormSkinTest {
 protected:
  // A skinned sizeable form called Name at (X, Y), W x H.
  TsSkinProvider* Make(TForm& form, const char* Name, int X, int Y, int W = 300, int H = 200) {
    form.SetName(Name);
    Show(form, bsSizeable, W, H);
    form.SetBounds(X, Y, W, H);
    auto* sp = new TsSkinProvider(&form);
    Application->ProcessMessages();
    return sp;
  }
  static TRect Window(TForm& form) {
    RECT r;
    GetWindowRect(form.Handle(), &r);
    return TRect(r);
  }
};

}  // namespace

TEST_F(GlueTest, TouchingGluedFormFollowsItsMasterAndDetachesWhenMovedByItself) {
  TForm master(nullptr), slave(nullptr), apart(nullptr);
  TsSkinProvider* sp = Make(master, "Master", 100, 100);
  TsSkinProvider* slaveSp = Make(slave, "Slave", 400, 150);     // left edge on the master's right edge
  Make(apart, "Apart", 100, 301);                                // one pixel below the master: not touching
  TStringList names;
  names.Add("Slave");
  names.Add("Apart");
  sp->SetGluedForms(names);
  sp->CollectGluedForms();
  ASSERT_EQ(FormsCouples.size(), 1u);

  master.SetBounds(160, 130, 300, 200);
  EXPECT_EQ(Window(slave), TRect(460, 180, 760, 380));
  EXPECT_EQ(Window(apart), TRect(100, 301, 400, 501));

  // Moved by itself with snapping on, the slave stops following.
  slaveSp->ScreenSnap = true;
  slave.SetBounds(900, 500, 300, 200);
  EXPECT_TRUE(FormsCouples.empty());
  master.SetBounds(100, 100, 300, 200);
  EXPECT_EQ(Window(slave).TopLeft(), TPoint(900, 500));
}

TEST_F(GlueTest, DestroyedFormLeavesNoCouple) {
  TForm master(nullptr);
  TsSkinProvider* sp = Make(master, "Master", 100, 100);
  {
    TForm slave(nullptr);
    Make(slave, "Slave", 100, 300);
    TStringList names;
    names.Add("Slave");
    sp->SetGluedForms(names);
    sp->CollectGluedForms();
    ASSERT_EQ(FormsCouples.size(), 1u);
  }
  EXPECT_TRUE(FormsCouples.empty());
  master.SetBounds(120, 100, 300, 200);  // no slave to place
}

TEST_F(GlueTest, MovingFormSnapsWithinSnapBufferOnly) {
  TForm other(nullptr), moving(nullptr);
  Make(other, "Other", 600, 300);  // outline 600..900 x 300..500
  TsSkinProvider* sp = Make(moving, "Moving", 100, 400, 200, 150);
  sp->ScreenSnap = true;
  struct Case {
    TPoint to, expected;
  } cases[] = {
      {{907, 320}, {900, 320}},  // left edge 7 px right of the other's right edge: lands on it
      {{911, 320}, {911, 320}},  // 11 px: stays
      {{393, 320}, {400, 320}},  // right edge 7 px left of the other's left edge
      {{650, 508}, {650, 500}},  // top 8 px below the other's bottom
      {{5, 700}, {0, 700}},      // 5 px from the work area's left edge
      {{700, 808}, {700, 810}},  // bottom 2 px above the work area's bottom (960)
      {{200, 200}, {200, 200}},  // nothing near
  };
  // Snapping measures against where the form was: each move starts 20 px away.
  auto moveTo = [&](TPoint to) {
    sp->ScreenSnap = false;
    moving.SetBounds(to.X + 20, to.Y + 20, 200, 150);
    sp->ScreenSnap = true;
    moving.SetBounds(to.X, to.Y, 200, 150);
    return Window(moving).TopLeft();
  };
  for (const Case& c : cases) EXPECT_EQ(moveTo(c.to), c.expected) << c.to.X << "," << c.to.Y;
  // Both directions in one move: 5 px below the work area's top and 5 px
  // left of the other form's left edge.
  other.SetBounds(600, 100, 300, 200);
  EXPECT_EQ(moveTo(TPoint(395, 5)), TPoint(400, 0));
  sp->SnapBuffer = 3;
  EXPECT_EQ(moveTo(TPoint(5, 700)), TPoint(5, 700));
}
