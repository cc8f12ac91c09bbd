// The queue under several workers: how many run at once, the order of the
// notices, and an encoder destroyed while its tasks run.

#include <dirent.h>

#include <fstream>
#include <thread>

#include "tests/media_encode/EncodeTestSupport.h"

namespace {

int RunningTasks(const TCustomEncoder& Encoder) {
  int running = 0;
  for (int i = 0; i < Encoder.TasksCount(); ++i)
    if (const TFFmpeg* t = Encoder.GetFFmpegs(i); t && t->Converting()) ++running;
  return running;
}

int ThreadsOfProcess() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count;
}

String ThreadNames() {
  String names;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream comm(String("/proc/self/task/") + e->d_name + "/comm");
      String name;
      std::getline(comm, name);
      names += name + " ";
    }
    ::closedir(dir);
  }
  return names;
}

TEST_F(EncodeTest, ThreeWorkersFiveTasksRepeated) {
  constexpr int Rounds = 50;
  for (int round = 0; round < Rounds; ++round) {
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    int most = 0;
    encoder.OnProgress = [&](TObject*, PProgressInfo) { most = std::max(most, RunningTasks(encoder)); };
    for (int i = 0; i < 5; ++i) AddClipTask(encoder, Path("out" + std::to_string(i) + ".mp4"));
    encoder.Start(3);
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }, 60000,
                            [&] { most = std::max(most, RunningTasks(encoder)); }));
    // Nothing may follow the end of the queue.
    for (int i = 0; i < 10; ++i) CheckSynchronize(2);
    ASSERT_EQ(log.Notices.size(), 6u) << "round " << round;
    std::vector<bool> seen(5, false);
    for (size_t i = 0; i < 5; ++i) {
      const int index = log.Notices[i].TaskIndex;
      ASSERT_TRUE(index >= 0 && index < 5) << "round " << round;
      EXPECT_FALSE(seen[size_t(index)]);
      seen[size_t(index)] = true;
      EXPECT_TRUE(log.Notices[i].Finished) << log.Notices[i].ExceptionMsg;
    }
    EXPECT_EQ(log.Notices[5].TaskIndex, -1);
    EXPECT_LE(most, 3) << "round " << round;
  }
}

// Stop with two running (paused) and three pending tasks: every task reports
// its end, then the queue does. Asked from inside a progress handler (where
// it must not wait) and from the main loop (where it waits, serving events).
TEST_F(EncodeTest, StopReportsPendingTasksThenTheEnd) {
  for (const bool fromHandler : {true, false}) {
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    int reports = 0;
    bool stopped = false;
    auto stop = [&] {
      stopped = true;
      encoder.Pause();
      EXPECT_TRUE(encoder.Paused());
      encoder.Stop(true);
    };
    encoder.OnProgress = [&](TObject*, PProgressInfo) {
      ++reports;
      if (fromHandler && !stopped) stop();
    };
    encoder.SetProgressInterval(10);
    for (int i = 0; i < 5; ++i)
      AddClipTask(encoder, Path("s" + std::to_string(i) + ".mp4"), "testsrc=size=96x64:rate=25:duration=20");
    encoder.Start(2);
    ASSERT_TRUE(WaitServing([&] { return reports > 0; }));
    if (!fromHandler) stop();
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); })) << fromHandler;
    ASSERT_EQ(log.Notices.size(), 6u) << fromHandler;
    for (size_t i = 0; i < 5; ++i) {
      EXPECT_FALSE(log.Notices[i].Finished);
      EXPECT_FALSE(log.Notices[i].Exception) << log.Notices[i].ExceptionMsg;
    }
    EXPECT_EQ(log.Notices[5].TaskIndex, -1);
  }
}

TEST_F(EncodeTest, DestroyedWhileTasksRun) {
  {  // Threads the process keeps once started (sanitizer, libraries) start here.
    TRAZeredov warmUp(nullptr);
    TNoticeLog log;
    log.Attach(warmUp);
    AddClipTask(warmUp, Path("warm.mp4"));
    warmUp.Start(1);
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  }
  const int before = ThreadsOfProcess();
  {
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    for (int i = 0; i < 4; ++i)
      AddClipTask(encoder, Path("d" + std::to_string(i) + ".mp4"), "testsrc=size=96x64:rate=25:duration=30");
    int reports = 0;
    encoder.SetProgressInterval(10);
    encoder.OnProgress = [&](TObject*, PProgressInfo) { ++reports; };
    encoder.Start(3);
    ASSERT_TRUE(WaitServing([&] { return RunningTasks(encoder) == 3 && reports > 0; }));
    // As the main window closes: events detached while the workers run.
    encoder.OnProgress = nullptr;
    encoder.OnTerminate = nullptr;
    const int seen = reports;
    for (int i = 0; i < 20; ++i) CheckSynchronize(2);
    EXPECT_EQ(reports, seen);
  }
  // Self-freeing workers leave soon after their end.
  EXPECT_TRUE(WaitServing([&] { return ThreadsOfProcess() <= before; }, 5000))
      << ThreadsOfProcess() << " threads, " << before << " before: " << ThreadNames();
}

}  // namespace
