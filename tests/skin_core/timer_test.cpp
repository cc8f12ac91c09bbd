// The animation timer on the window layer's virtual clock: fades step every
// 12 ms on the message loop, T ms take T div 12 steps, and the step counts and
// levels of each kind of fade.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "skin/core/acThdTimer.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

std::vector<int> gSteps;
bool RecordStep(TObject*, int Iteration) {
  gSteps.push_back(Iteration);
  return true;
}

class AnimTimerTest : public WindowTest {
 protected:
  // Runs the message loop over Ms milliseconds of the virtual clock in 1 ms steps.
  void Run(int Ms) {
    for (int i = 0; i < Ms; ++i) {
      Headless().AdvanceClock(1);
      Application->ProcessMessages();
    }
  }
};

}  // namespace

TEST_F(AnimTimerTest, FadesStepEveryTwelveMillisecondsOnTheMessageLoop) {
  struct Case {
    int state;
    bool fast;
    double glow;
    int steps;  // T div 12 for a fade of T ms
    double glowStep;
  } cases[] = {
      {1, false, 0, 6, 42.5},      // to hot: 72 ms
      {0, false, 255, 12, 21.25},  // back to normal: 144 ms
      {0, true, 255, 6, 42.5},     // back to normal, fast: 72 ms
      {2, false, 120, 6, 20},      // pressed
      {1, false, 300, 1, 0},       // a level past 255 counts as 255: at the target already
  };
  for (const Case& c : cases) {
    TacThreadedTimer t(nullptr);
    t.Glow = c.glow;
    gSteps.clear();
    t.InitData(nullptr, 0, &RecordStep, c.state, c.fast);
    EXPECT_EQ(t.Iterations, c.steps) << c.state;
    EXPECT_DOUBLE_EQ(t.GlowStep, c.glowStep) << c.state;
    EXPECT_EQ(t.Interval(), kAnimStep);
    const int first = t.Iteration;
    const int calls = std::max(0, c.steps - first);  // a level already at the target has nothing left
    if (calls > 0) {
      Run(int(kAnimStep) * calls - 1);
      EXPECT_EQ(int(gSteps.size()), calls - 1) << c.state;  // not yet the last step
      Run(1);
      ASSERT_EQ(int(gSteps.size()), calls) << c.state;
      for (size_t i = 0; i < gSteps.size(); ++i) EXPECT_EQ(gSteps[i], first + int(i) + 1);
      EXPECT_TRUE(t.Enabled());
    }
    Run(int(kAnimStep));  // the tick after the last step only stops the timer
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(int(gSteps.size()), calls);
  }
}

TEST_F(AnimTimerTest, EventsIntervalsAndOwners) {
  int ticks = 0;
  TacThreadedTimer t(nullptr);
  EXPECT_TRUE(t.Enabled());
  EXPECT_EQ(t.Interval(), 1000u);
  Run(2000);
  EXPECT_EQ(ticks, 0);  // nothing to call: the inner timer stays off
  t.SetInterval(50);
  t.SetOnTimer([&](TObject*) { ++ticks; });
  Run(200);
  EXPECT_EQ(ticks, 4);
  t.SetInterval(0);
  Run(200);
  EXPECT_EQ(ticks, 4);
  t.SetInterval(50);
  Run(100);
  EXPECT_EQ(ticks, 6);

  // A timer made while the application terminates never ticks.
  Application->Terminate();
  TacThreadedTimer late(nullptr);
  EXPECT_FALSE(late.Enabled());
  EXPECT_EQ(late.Interval(), 0u);
  EXPECT_EQ(late.FTimerThread, nullptr);
}

TEST_F(AnimTimerTest, StepsLeftAndTheRecordThatOwnsTheTimer) {
  TacThreadedTimer* t = nullptr;
  EXPECT_EQ(GetAnimTimer(t, nullptr, 0), 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Glow, 255.0);
  t->State = 0;
  t->Iteration = 5;
  EXPECT_EQ(GetAnimTimer(t, nullptr, 0), 7);
  t->State = 1;
  t->Iteration = 8;
  EXPECT_EQ(GetAnimTimer(t, nullptr, 1), 0);
  delete t;

  // A fade running for a record: freeing the timer clears the record's link,
  // and freeing the record frees its timer.
  TsCommonData data;
  data.AnimTimer = nullptr;
  GetAnimTimer(data.AnimTimer, nullptr, 1);
  EXPECT_EQ(data.AnimTimer->Glow, 0.0);
  data.AnimTimer->InitData(&data, 0, &RecordStep, 1, false);
  EXPECT_TRUE(data.AnimationRunning());
  data.KillAnimation();
  EXPECT_FALSE(data.AnimationRunning());
  EXPECT_EQ(data.AnimTimer->State, -1);

  // A fade cut short: its last step runs at once and its output goes.
  gSteps.clear();
  data.AnimTimer->Glow = 0;
  data.AnimTimer->InitData(&data, 0, &RecordStep, 1, false);
  data.AnimTimer->BmpOut = NewBitmap32(2, 2);
  FinishTimerAnimation(data.AnimTimer);
  EXPECT_EQ(gSteps, std::vector<int>{6});
  EXPECT_EQ(data.AnimTimer->Glow, 255.0);
  EXPECT_FALSE(data.AnimTimer->Enabled());
  EXPECT_EQ(data.AnimTimer->BmpOut, nullptr);
  delete data.AnimTimer;
  EXPECT_EQ(data.AnimTimer, nullptr);
}
