#include <atomic>
#include <fstream>
#include <random>

#include "tests/media_encode/EncodeTestSupport.h"

namespace {

TEST_F(EncodeTest, StartWithoutThreadsReportsEverythingBeforeReturning) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  AddClipTask(encoder, Path("a.mp4"));
  AddClipTask(encoder, Path("b.mp4"));
  encoder.Start(0);
  ASSERT_EQ(log.Notices.size(), 3u);
  EXPECT_EQ(log.Notices[0].TaskIndex, 0);
  EXPECT_EQ(log.Notices[1].TaskIndex, 1);
  EXPECT_EQ(log.Notices[2].TaskIndex, -1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(log.Notices[size_t(i)].Finished) << log.Notices[size_t(i)].ExceptionMsg;
    EXPECT_FALSE(log.Notices[size_t(i)].Exception);
  }
  EXPECT_TRUE(encoder.Terminated());
  EXPECT_TRUE(OpensWithStreams(Path("a.mp4")));
  EXPECT_TRUE(OpensWithStreams(Path("b.mp4")));
}

// Tasks without output end inside Start, on the thread that holds the
// queue's lock; the next ones still start and the queue still ends.
TEST_F(EncodeTest, TasksWithoutOutputEndInsideStart) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(encoder.AddTask(ShortClip, "-f lavfi"), i);
  encoder.Start(2);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_EQ(log.Notices.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(log.Notices[size_t(i)].TaskIndex, i);
    EXPECT_TRUE(log.Notices[size_t(i)].Exception);
    EXPECT_EQ(log.Notices[size_t(i)].ExceptionMsg, "At least one output file must be specified");
  }
}

TEST_F(EncodeTest, TaskChangesAreRefusedWhileWorking) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  AddClipTask(encoder, Path("a.mp4"));
  encoder.Start(1);
  const std::pair<const char*, std::function<void()>> guarded[] = {
      {"Cannot AddTask while working.", [&] { encoder.AddTask(ShortClip, "-f lavfi"); }},
      {"Cannot AddInput while working.", [&] { encoder.AddInput(0, ShortClip, "-f lavfi"); }},
      {"Cannot SetOutput while working.", [&] { encoder.SetOutput(0, Path("c.mp4"), ""); }},
      {"Cannot RemoveTask while working.", [&] { encoder.RemoveTask(0); }},
      {"Cannot Exchange while working.", [&] { encoder.Exchange(0, 0); }},
      {"Cannot StartTask while working.", [&] { encoder.Start(1); }},
      {"Cannot ClearTasks while working.", [&] { encoder.ClearTasks(); }},
  };
  for (const auto& [message, call] : guarded) {
    if (encoder.Terminated()) break;  // ClearTasks is allowed once the queue ended
    try {
      call();
      ADD_FAILURE() << "no exception for " << message;
    } catch (const Exception& e) {
      EXPECT_EQ(String(e.what()), message);
    }
  }
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  EXPECT_EQ(encoder.TasksCount(), 1);
  EXPECT_TRUE(encoder.Working());
  encoder.ClearTasks();
  EXPECT_FALSE(encoder.Working());
  EXPECT_FALSE(encoder.Terminated());
  EXPECT_EQ(encoder.TasksCount(), 0);
}

TEST_F(EncodeTest, RemoveAndExchangeMoveIndexes) {
  TRAZeredov encoder(nullptr);
  int probed = 0;
  encoder.OnBeforeFindStreamInfo = [&](TObject* Sender, AVFormatContext* Ctx) {
    EXPECT_NE(dynamic_cast<TFFmpeg*>(Sender), nullptr);  // the task, not the encoder
    EXPECT_NE(Ctx, nullptr);
    ++probed;
  };
  for (int i = 0; i < 3; ++i) {
    TInputOptions options;
    options.Options = "-f lavfi";
    options.Tag = 10 + i;
    ASSERT_EQ(encoder.AddTask(ShortClip, &options), i) << encoder.LastErrMsg();
    EXPECT_EQ(options.FileName, ShortClip);  // filled in the caller's record
  }
  EXPECT_EQ(probed, 3);
  encoder.RemoveTask(0);
  ASSERT_EQ(encoder.TasksCount(), 2);
  EXPECT_EQ(encoder.GetInputOptions(0, 0).Tag, 11);
  EXPECT_EQ(encoder.GetInputOptions(1, 0).Tag, 12);
  encoder.Exchange(0, 1);
  EXPECT_EQ(encoder.GetInputOptions(0, 0).Tag, 12);
  EXPECT_EQ(encoder.GetInputCount(0), 1);
  EXPECT_NE(encoder.GetDecoders(0, 0)->FileHandle(), nullptr);  // the input, open for inspection
  EXPECT_THROW(encoder.RemoveTask(5), EListError);
}

TEST_F(EncodeTest, OpeningFailuresLeaveNoTask) {
  {
    std::mt19937 random(7);
    std::ofstream out(Path("corrupt.mp4"), std::ios::binary);
    for (int i = 0; i < 4096; ++i) out.put(char(random()));
  }
  TRAZeredov encoder(nullptr);
  struct Case {
    String File;
    const char* Options;
    const char* Message;
  } cases[] = {
      {Path("missing.mp4"), "", "missing.mp4: No such file or directory"},
      {Path("corrupt.mp4"), "", "corrupt.mp4: "},
      {ShortClip, "-f no_such_format", "Unknown input format: \"no_such_format\""},
  };
  for (const Case& c : cases) {
    EXPECT_LT(encoder.AddTask(c.File, c.Options), 0) << c.File;
    EXPECT_NE(encoder.LastErrMsg().find(c.Message), String::npos) << encoder.LastErrMsg();
    EXPECT_EQ(encoder.TasksCount(), 0);
  }
  // An output option nobody takes fails the output; the task stays usable.
  const int task = encoder.AddTask(ShortClip, "-f lavfi");
  ASSERT_EQ(task, 0);
  EXPECT_LT(encoder.SetOutput(task, Path("x.mp4"), "-no_such_option 1"), 0);
  EXPECT_FALSE(encoder.LastErrMsg().empty());
  EXPECT_EQ(encoder.SetOutput(task, Path("y.mp4"), ShortOutputOptions), 0) << encoder.LastErrMsg();
}

// A codec the output format refuses fails the task when it starts writing:
// the notice carries the exception, the queue still ends.
TEST_F(EncodeTest, RefusedCodecFailsTheRun) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  AddClipTask(encoder, Path("bad.mp4"), ShortClip, "-c:v rawvideo");
  AddClipTask(encoder, Path("good.mp4"));
  encoder.Start(2);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_EQ(log.Notices.size(), 3u);
  for (const TTerminateInfo& n : log.Notices) {
    if (n.TaskIndex == 0) {
      EXPECT_TRUE(n.Exception);
      EXPECT_FALSE(n.Finished);
      EXPECT_FALSE(n.ExceptionMsg.empty());
    } else if (n.TaskIndex == 1) {
      EXPECT_TRUE(n.Finished) << n.ExceptionMsg;
    }
  }
}

TEST_F(EncodeTest, ProgressRunsToTheInputDuration) {
  TRAZeredov encoder(nullptr);
  encoder.SetProgressInterval(5);
  EXPECT_EQ(encoder.GetProgressInterval(), 10);
  TNoticeLog log;
  log.Attach(encoder);
  std::vector<TProgressInfo> reports;
  encoder.OnProgress = [&](TObject*, PProgressInfo Info) {
    EXPECT_TRUE(IsMainThread());
    reports.push_back(*Info);
  };
  const String input = MakeFixture("two_seconds.mp4", "testsrc=size=96x64:rate=25:duration=2");
  ASSERT_EQ(encoder.AddTask(input, ""), 0) << encoder.LastErrMsg();
  ASSERT_EQ(encoder.SetOutput(0, Path("a.mkv"), ShortOutputOptions), 0) << encoder.LastErrMsg();
  encoder.Start(1);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_GE(reports.size(), 2u);
  for (size_t i = 1; i < reports.size(); ++i)
    EXPECT_GE(reports[i].CurrentDuration, reports[i - 1].CurrentDuration);
  const TProgressInfo& last = reports.back();
  EXPECT_EQ(last.FileIndex, -1);
  EXPECT_NEAR(double(last.TotalDuration), 2000000.0, 80000.0);  // the input's own duration
  EXPECT_NEAR(double(last.CurrentDuration), 2000000.0, 80000.0);
  EXPECT_GT(last.CurrentSize, 0);
}

// A caller's streams in place of files, both ways.
TEST_F(EncodeTest, StreamInputAndOutput) {
  const String fixture = MakeFixture("fixture.mp4");
  TMemoryStream input1, input2, output;
  input1.LoadFromFile(fixture);
  input2.LoadFromFile(fixture);
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  ASSERT_EQ(encoder.AddTask(&input1, "clip", ""), 0) << encoder.LastErrMsg();
  ASSERT_EQ(encoder.SetOutput(0, Path("copy.mkv"), ShortOutputOptions), 0) << encoder.LastErrMsg();
  input2.SetPosition(0);
  ASSERT_EQ(encoder.AddTask(&input2, "again", ""), 1) << encoder.LastErrMsg();
  ASSERT_EQ(encoder.SetOutput(1, &output, "mem", "-f mp4 -c:v mpeg4 -threads 1"), 0) << encoder.LastErrMsg();
  encoder.Start(2);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  for (const TTerminateInfo& n : log.Notices) EXPECT_TRUE(n.Finished) << n.ExceptionMsg;
  EXPECT_TRUE(OpensWithStreams(Path("copy.mkv")));
  ASSERT_GT(output.Size(), 8);
  EXPECT_EQ(String(reinterpret_cast<const char*>(output.Memory()) + 4, 4), "ftyp");
}

// Hook switches written in any case in the option text wire the hooks; the
// handler starts with Update true and StopHook false, and StopHook ends it.
TEST_F(EncodeTest, HookSwitchesInOptionText) {
  TRAZeredov encoder(nullptr);
  int calls = 0;
  bool firstUpdate = false, firstStop = true;
  encoder.OnVideoOutputHook = [&](TObject*, PHookInfo Info) {
    if (calls++ == 0) {
      firstUpdate = Info->Update;
      firstStop = Info->StopHook;
    }
    EXPECT_EQ(Info->TaskIndex, 0);
    EXPECT_NE(Info->Bitmap, nullptr);
    Info->StopHook = calls == 3;
  };
  ASSERT_EQ(encoder.AddTask(ShortClip, "-f lavfi"), 0);
  ASSERT_EQ(encoder.SetOutput(0, Path("hooked.mp4"), String("-VIDEOOUTPUTHOOK ") + ShortOutputOptions), 0)
      << encoder.LastErrMsg();
  EXPECT_TRUE(encoder.GetOutputOptions(0, 0).VideoOutputHook);
  EXPECT_FALSE(encoder.GetOutputOptions(0, 0).VideoInputHook);
  encoder.Start(0);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(firstUpdate);
  EXPECT_FALSE(firstStop);
}

// Preview bitmaps reach their handler with the task's index; without
// TriggerEventInMainThread the events run on the task's worker.
TEST_F(EncodeTest, PreviewBitmapsAndWorkerThreadEvents) {
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  std::atomic<int> previews{0}, progressOnWorker{0}, progressOnMain{0};
  encoder.SetPreviewBitmap(true);
  encoder.SetPreviewInterval(5);
  EXPECT_EQ(encoder.GetPreviewInterval(), 10);
  encoder.SetTriggerEventInMainThread(false);
  encoder.OnPreviewBitmap = [&](TObject*, const TPreviewInfo& Info) {
    EXPECT_EQ(Info.TaskIndex, 0);
    EXPECT_NE(Info.Bitmap, nullptr);
    ++previews;
  };
  encoder.OnProgress = [&](TObject*, PProgressInfo) { ++(IsMainThread() ? progressOnMain : progressOnWorker); };
  AddClipTask(encoder, Path("preview.mp4"));
  encoder.Start(1);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  EXPECT_GT(previews.load(), 0);
  EXPECT_GT(progressOnWorker.load(), 0);
  EXPECT_EQ(progressOnMain.load(), 0);
}

TEST_F(EncodeTest, AutoReleasedTaskLeavesAnEmptySlot) {
  TRAZeredov encoder(nullptr);
  encoder.AutoReleaseTask = true;
  TNoticeLog log;
  bool releasedAfterNotice = false;
  encoder.OnTerminate = [&](TObject*, const TTerminateInfo& Info) {
    log.Notices.push_back(Info);
    if (Info.TaskIndex == -1) releasedAfterNotice = encoder.GetFFmpegs(0) == nullptr;
  };
  AddClipTask(encoder, Path("a.mp4"));
  encoder.Start(1);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  EXPECT_TRUE(releasedAfterNotice);
  EXPECT_EQ(encoder.TasksCount(), 1);
  EXPECT_EQ(encoder.GetInputCount(0), -1);
}

}  // namespace
