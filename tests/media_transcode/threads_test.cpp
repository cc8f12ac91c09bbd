// A task running on its worker thread, controlled from the main thread:
// pause, resume, stop (waiting or not, also from inside a handler), post
// hooks switched while previews are delivered, and filter commands.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/media_transcode/TranscodeTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Ends the process when a test hangs (a deadlock would otherwise only show as a time-out).
class TWatchdog {
 public:
  explicit TWatchdog(int Seconds)
      : FThread([this, Seconds] {
          const auto end = Clock::now() + std::chrono::seconds(Seconds);
          while (!FDone.load()) {
            if (Clock::now() > end) {
              std::fprintf(stderr, "watchdog: the test hangs\n");
              std::abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~TWatchdog() {
    FDone.store(true);
    FThread.join();
  }

 private:
  std::atomic<bool> FDone{false};
  std::thread FThread;
};

// Serves the main thread's pending calls until Done() or the time is up.
template <typename Pred>
bool PumpUntil(Pred Done, int Milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(Milliseconds);
  while (!Done()) {
    if (Clock::now() > end) return false;
    CheckSynchronize(5);
  }
  return true;
}

void Pump(int Milliseconds) {
  PumpUntil([] { return false; }, Milliseconds);
}

// A paced task of a long picture source; Frames follows its progress reports.
struct TPacedTask {
  TTask Task;
  std::atomic<int> Frames{0};
  std::atomic<int> Terminations{0};
  TPacedTask(const String& Output, double Seconds = 30) {
    EXPECT_GE(Task.AddInput("-re -f lavfi", VideoSource(Seconds, 25, "160x120")), 0) << Task.LastErrMsg();
    EXPECT_GE(Task.SetOutput("-c:v mpeg4", Output), 0) << Task.LastErrMsg();
    Task.FReportInterval = 0;
    Task.FOnProgress = [this](TObject*, int, int AFrameNumber, int, float, float, int64_t, int64_t, int64_t) {
      if (AFrameNumber > 0) Frames.store(AFrameNumber);
    };
    Task.FOnTerminate = [this](TObject*) { Terminations.fetch_add(1); };
  }
};

}  // namespace

TEST_F(TranscodeTest, PauseHoldsResumeContinuesStopEndsWithinAPass) {
  TWatchdog watchdog(60);
  TPacedTask t(Path("paced.mkv"));
  t.Task.StartConvert(true);
  EXPECT_TRUE(t.Task.Converting());
  ASSERT_TRUE(PumpUntil([&] { return t.Frames.load() >= 5; }, 10000));

  t.Task.Pause();
  t.Task.Pause();  // twice: still one pause
  Pump(300);
  const int held = t.Frames.load();
  Pump(600);
  EXPECT_EQ(t.Frames.load(), held);
  EXPECT_EQ(t.Task.Suspended(), 1);

  t.Task.Resume();
  EXPECT_GE(t.Task.TotalPauseTime(), 800000);
  EXPECT_LT(t.Task.TotalPauseTime(), 5000000);
  // Paced reading does not hurry to catch up the paused time. Frames read but
  // not yet encoded when the pause began come out at once (many under a
  // sanitizer), so look at 1.6 s of pictures: catching up the 0.9 s pause
  // would deliver them in well under 0.8 s even with a backlog of 20.
  const auto resumed = Clock::now();
  ASSERT_TRUE(PumpUntil([&] { return t.Frames.load() >= held + 40; }, 10000));
  EXPECT_GE(Clock::now() - resumed, std::chrono::milliseconds(800));

  const auto stopped = Clock::now();
  t.Task.Stop(false);
  ASSERT_TRUE(PumpUntil([&] { return t.Task.Terminated(); }, 5000));
  EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(2));
  EXPECT_EQ(t.Terminations.load(), 1);
  EXPECT_FALSE(t.Task.Finished());
  EXPECT_FALSE(t.Task.FatalException()) << t.Task.FatalMessage();
  t.Task.Stop(true);  // an ended task: returns at once
  const TFileReport r = InspectFile(Path("paced.mkv"));
  ASSERT_TRUE(r.Opened);
  EXPECT_GE(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, held + 40);
}

TEST_F(TranscodeTest, StopWhilePausedStillWritesAPlayableFile) {
  TWatchdog watchdog(60);
  TPacedTask t(Path("paused.mkv"));
  t.Task.StartConvert(true);
  ASSERT_TRUE(PumpUntil([&] { return t.Frames.load() >= 3; }, 10000));
  t.Task.Pause();
  Pump(100);
  t.Task.Stop(true);
  EXPECT_TRUE(t.Task.Terminated());
  EXPECT_FALSE(t.Task.Finished());
  const TFileReport r = InspectFile(Path("paused.mkv"));
  ASSERT_TRUE(r.Opened);
  EXPECT_GE(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 3);
}

TEST_F(TranscodeTest, WaitingStopKeepsServingHandlersOnTheMainThread) {
  TWatchdog watchdog(60);
  TPacedTask t(Path("served.mkv"));
  std::atomic<int> served{0};
  std::atomic<bool> stopFromHandler{false};
  // Like the encoder's dispatcher: the worker waits while the handler runs on the main thread.
  t.Task.FOnProgress = [&](TObject*, int, int AFrameNumber, int, float, float, int64_t, int64_t, int64_t) {
    if (AFrameNumber > 0) t.Frames.store(AFrameNumber);
    CallInMainThread([&] {
      TCustomFFmpeg::THandlerScope scope(&t.Task);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (stopFromHandler.load()) {
        t.Task.Stop(true);  // must not wait for the worker that waits for this handler
        stopFromHandler.store(false);
      }
      served.fetch_add(1);
    });
  };
  t.Task.StartConvert(true);
  ASSERT_TRUE(PumpUntil([&] { return served.load() >= 2; }, 10000));
  stopFromHandler.store(true);
  ASSERT_TRUE(PumpUntil([&] { return t.Task.Terminated(); }, 10000));
  EXPECT_FALSE(t.Task.Finished());

  // A waiting stop from outside any handler waits, serving the worker's calls meanwhile.
  TPacedTask u(Path("served2.mkv"));
  std::atomic<int> calls{0};
  u.Task.FOnProgress = [&](TObject*, int, int, int, float, float, int64_t, int64_t, int64_t) {
    CallInMainThread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      calls.fetch_add(1);
    });
  };
  u.Task.StartConvert(true);
  ASSERT_TRUE(PumpUntil([&] { return calls.load() >= 1; }, 10000));
  u.Task.Stop(true);
  EXPECT_TRUE(u.Task.Terminated());
  EXPECT_EQ(u.Terminations.load(), 1);
}

TEST_F(TranscodeTest, PreviewSwitchedWhileTwoTasksDeliver) {
  TWatchdog watchdog(90);
  TPacedTask a(Path("a.mkv"), 3), b(Path("b.mkv"), 3);
  std::atomic<int> previews{0};
  for (TPacedTask* t : {&a, &b}) {
    t->Task.FPreviewInterval = 0;
    t->Task.FOnPreviewBitmap = [&](TObject*, TBitmap* ABitmap, int, int64_t) {
      // Delivered on the main thread, as the encoder does.
      CallInMainThread([&] {
        EXPECT_EQ(ABitmap->Width(), 160);
        previews.fetch_add(1);
      });
    };
    t->Task.StartConvert(true);
  }
  int toggles = 0;
  while (!(a.Task.Terminated() && b.Task.Terminated())) {
    const TPostHooks hooks = toggles++ % 2 ? TPostHooks{} : TPostHooks{phBitmap};
    a.Task.ChangePostHooks(hooks);
    b.Task.ChangePostHooks(hooks);
    Pump(3);
  }
  EXPECT_GT(toggles, 50);
  EXPECT_GT(previews.load(), 0);
  EXPECT_TRUE(a.Task.Finished() && b.Task.Finished());
}

TEST_F(TranscodeTest, NeverStartedTaskReportsItsEndOnce) {
  TWatchdog watchdog(30);
  TTask task;
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1)), 0);
  std::atomic<int> ends{0};
  task.FOnTerminate = [&](TObject*) { ends.fetch_add(1); };
  task.Resume();  // nothing: never started
  task.Pause();
  EXPECT_EQ(task.Suspended(), -1);
  task.StopOrTerminate(true);
  EXPECT_EQ(ends.load(), 1);
  EXPECT_TRUE(task.Terminated());
  task.StopOrTerminate(true);
  task.StartConvert(true);
  EXPECT_EQ(ends.load(), 1);
}

TEST_F(TranscodeTest, FilterCommandsReachTheRunningGraphThroughItsWorker) {
  TWatchdog watchdog(60);
  TTask task;
  ASSERT_GE(task.AddInput("-re -f lavfi", VideoSource(10, 25, "160x120")), 0);
  ASSERT_GE(task.SetOutput("-c:v mpeg4 -vf hue=s=1", Path("cmd.mkv")), 0);
  std::atomic<int> frames{0};
  task.FReportInterval = 0;
  task.FOnProgress = [&](TObject*, int, int AFrameNumber, int, float, float, int64_t, int64_t, int64_t) {
    frames.store(AFrameNumber);
  };
  task.StartConvert(true);
  ASSERT_TRUE(PumpUntil([&] { return frames.load() >= 3; }, 10000));
  EXPECT_TRUE(task.SendFilterCommand("hue", "s", "0", 0));
  EXPECT_FALSE(task.SendFilterCommand("hue", "nosuchcommand", "0", 0));
  EXPECT_TRUE(task.QueueFilterCommand("hue", "s", "1", 0, 100.0));
  task.Pause();
  EXPECT_TRUE(task.SendFilterCommand("hue", "s", "0.5", 0));  // served while paused
  task.Stop(true);
  EXPECT_TRUE(task.Terminated());
}

// A stopped task's file is a result: its sound goes on to where its pictures
// end, also when the video encoder holds pictures back and the tone comes
// from an input of its own that is read only as far as the written pictures,
// and when picture and tone come interleaved from one input.
TEST_F(TranscodeTest, StoppedTaskKeepsTheSoundUpToItsLastPicture) {
  TWatchdog watchdog(150);
  struct TCase {
    const char* File;
    int StopAt;  // pictures encoded before the stop
    bool OneInput;
  } const cases[] = {{"early.mp4", 25, false}, {"early.mkv", 25, false}, {"late.mp4", 100, false},
                     {"late.mkv", 100, false}, {"one.mp4", 25, true},    {"one.mkv", 100, true}};
  // The interleaved input, made once by a run to its end.
  {
    TTask make;
    ASSERT_GE(make.AddInput("-f lavfi", VideoSource(8, 25, "320x240")), 0) << make.LastErrMsg();
    ASSERT_GE(make.AddInput("-f lavfi", AudioSource(8)), 0) << make.LastErrMsg();
    ASSERT_GE(make.SetOutput("-c:v libx264 -preset ultrafast -c:a aac", Path("both.mkv")), 0) << make.LastErrMsg();
    make.RunHere();
    ASSERT_TRUE(make.Finished()) << make.FatalMessage();
  }
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TTask task;
    if (c.OneInput) {
      // One decoder thread: the library's own frame threads hand buffers over in code the thread checker cannot see.
      ASSERT_GE(task.AddInput("-re -threads 1", Path("both.mkv")), 0) << task.LastErrMsg();
    } else {
      ASSERT_GE(task.AddInput("-re -f lavfi", VideoSource(8, 25, "320x240")), 0) << task.LastErrMsg();
      ASSERT_GE(task.AddInput("-f lavfi", AudioSource(8)), 0) << task.LastErrMsg();
    }
    ASSERT_GE(task.SetOutput("-c:v libx264 -c:a aac", Path(c.File)), 0) << task.LastErrMsg();
    std::atomic<int> frames{0};
    task.FReportInterval = 0;
    task.FOnProgress = [&](TObject*, int, int AFrameNumber, int, float, float, int64_t, int64_t, int64_t) {
      if (AFrameNumber > 0) frames.store(AFrameNumber);
    };
    task.StartConvert(true);
    ASSERT_TRUE(PumpUntil([&] { return frames.load() >= c.StopAt; }, 20000));
    const auto stopped = Clock::now();
    task.Stop(true);
    EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(3));
    EXPECT_FALSE(task.Finished());
    EXPECT_FALSE(task.FatalException()) << task.FatalMessage();

    const TFileReport r = InspectFile(Path(c.File));
    ASSERT_TRUE(r.Opened);
    const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
    const TStreamReport* a = r.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v);
    ASSERT_TRUE(a) << "no sound track";
    EXPECT_GE(v->Frames, c.StopAt);
    EXPECT_LT(v->Frames, 200);
    // Decoded back: the tone lasts as long as the pictures, give or take two AAC frames.
    const double pictures = v->EndTime - v->FirstTime;
    EXPECT_NEAR(double(a->Samples) / 44100, pictures, 2 * 1024 / 44100.0 + 0.05)
        << a->Samples << " samples, " << v->Frames << " pictures";
    EXPECT_EQ(Errors(), "");
  }
}
