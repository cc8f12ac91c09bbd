// The queue under several workers: how many run at once, the order of the
// notices, and an encoder destroyed while its tasks run.

#include <dirent.h>

#include <atomic>
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

// Indexes of the tasks that have started (running or ended).
std::vector<int> StartedTasks(const TCustomEncoder& Encoder) {
  std::vector<int> started;
  for (int i = 0; i < Encoder.TasksCount(); ++i)
    if (const TFFmpeg* t = Encoder.GetFFmpegs(i); t && (t->Converting() || t->Terminated())) started.push_back(i);
  return started;
}

// Three workers over five endless (paced) tasks, each ended by the test: three
// start at once, and each end starts exactly one more until none is pending.
TEST_F(EncodeTest, ThreeWorkersStartThreeThenOneMorePerEnd) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(encoder.AddTask("testsrc=size=96x64:rate=25", "-re -f lavfi"), i) << encoder.LastErrMsg();
    ASSERT_GE(encoder.SetOutput(i, Path("t" + std::to_string(i) + ".mkv"), ShortOutputOptions), 0);
  }
  encoder.Start(3);
  EXPECT_EQ(StartedTasks(encoder), (std::vector<int>{0, 1, 2}));
  for (int ended = 1; ended <= 5; ++ended) {
    encoder.GetFFmpegs(ended - 1)->Stop(false);
    const size_t started = size_t(std::min(5, 3 + ended));
    ASSERT_TRUE(WaitServing([&] { return log.Count() >= size_t(ended) && StartedTasks(encoder).size() >= started; }))
        << ended << " ended";
    // Nothing else starts.
    for (int i = 0; i < 20; ++i) CheckSynchronize(5);
    EXPECT_EQ(StartedTasks(encoder).size(), started) << ended << " ended";
    EXPECT_LE(RunningTasks(encoder), 3);
  }
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_EQ(log.Notices.size(), 6u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(log.Notices[i].TaskIndex, int(i));
    EXPECT_FALSE(log.Notices[i].Finished);  // stopped
    EXPECT_FALSE(log.Notices[i].Exception) << log.Notices[i].ExceptionMsg;
  }
  EXPECT_EQ(log.Notices[5].TaskIndex, -1);
}

// An empty queue starts nothing and tells nothing, with or without workers;
// the encoder stays working until ClearTasks makes it idle for the next queue.
TEST_F(EncodeTest, StartWithNoTasks) {
  for (const int threads : {0, 3}) {
    SCOPED_TRACE(threads);
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    encoder.Start(threads);
    for (int i = 0; i < 20; ++i) CheckSynchronize(5);
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_TRUE(encoder.Working());
    EXPECT_THROW(encoder.Start(threads), Exception);
    ASSERT_NO_THROW(encoder.ClearTasks());
    EXPECT_FALSE(encoder.Working());
    AddClipTask(encoder, Path("after.mp4"));
    encoder.Start(threads);
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
    ASSERT_EQ(log.Notices.size(), 2u);
    EXPECT_TRUE(log.Notices[0].Finished) << log.Notices[0].ExceptionMsg;
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

// Handler objects may be gone once their encoder is destroyed: no handler of
// its may run from then on, also none a worker queued for the main thread.
TEST_F(EncodeTest, DestroyedMidRunCallsNoHandlerOnceDestructionBegan) {
  std::atomic<bool> destroying{false};
  std::atomic<int> reports{0}, late{0};
  auto encoder = std::make_unique<TRAZeredov>(nullptr);
  for (int i = 0; i < 2; ++i)
    AddClipTask(*encoder, Path("m" + std::to_string(i) + ".mkv"), "testsrc=size=96x64:rate=25:duration=30");
  encoder->SetProgressInterval(10);
  encoder->OnProgress = [&](TObject*, PProgressInfo) {
    if (destroying.load()) late.fetch_add(1);
    reports.fetch_add(1);
  };
  encoder->OnTerminate = [&](TObject*, const TTerminateInfo&) {
    if (destroying.load()) late.fetch_add(1);
  };
  encoder->Start(2);
  ASSERT_TRUE(WaitServing([&] { return RunningTasks(*encoder) == 2 && reports.load() > 0; }));
  // The workers' next reports wait, unserved, for the main thread.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  destroying.store(true);
  encoder.reset();
  EXPECT_EQ(late.load(), 0);
}

}  // namespace
