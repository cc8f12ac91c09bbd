// The running side of the encoder: the queue of tasks, the delivery of
// completion notices, and the per-kind event dispatchers.
//
// Lock order: FTerminateLock before FDeliveryLock; the kind locks (progress,
// preview, hooks, probing) are taken alone, by a task's own thread, and held
// while its handler runs (also while the worker waits for the main thread).

#include "media/FFEncode.h"
#include "media/FFLog.h"

// The one thread that delivers an encoder's completion notices, in the order
// the tasks ended; the end of the queue is posted last, so it arrives last.
class TCustomEncoder::TDoTerminateThread : public TThread {
 public:
  explicit TDoTerminateThread(TCustomEncoder* AOwner) : TThread(true), FOwner(AOwner) { Start(); }
  ~TDoTerminateThread() override { TerminateAndWait(); }

 protected:
  void Execute() override {
    for (;;) {
      TNotice notice;
      {
        std::unique_lock<std::mutex> lock(FOwner->FDeliveryLock);
        FOwner->FDeliveryWake.wait(lock, [this] { return FOwner->FDeliveryQuit || !FOwner->FNotices.empty(); });
        if (FOwner->FNotices.empty()) return;
        notice = std::move(FOwner->FNotices.front());
        FOwner->FNotices.pop_front();
      }
      FOwner->DeliverNotice(notice);
    }
  }

 private:
  TCustomEncoder* FOwner;
};

// Defined here, beside the delivery thread they create and join.
TCustomEncoder::TCustomEncoder(TComponent* AOwner)
    : TFFBaseComponent(AOwner), FDecoder(std::make_unique<TFFDecoder>(nullptr)) {}

TCustomEncoder::~TCustomEncoder() {
  Shutdown();
  FDecoder.reset();
}

void TCustomEncoder::Shutdown() {
  FClosing.store(true);
  // Waiting for the workers below serves the calls they queued for the main
  // thread; those must find no handler, whose objects may be gone already.
  OnAudioInputHook = nullptr;
  OnAudioOutputHook = nullptr;
  OnBeforeFindStreamInfo = nullptr;
  OnPreviewBitmap = nullptr;
  OnProgress = nullptr;
  OnTerminate = nullptr;
  OnVideoInputHook = nullptr;
  OnVideoOutputHook = nullptr;
  OnFrameInputHook = nullptr;
  OnFrameOutputHook = nullptr;
  {
    TLock lock(FTerminateLock);
    FPendingTasks = 0;
  }
  // Every running task is asked to end at once; freeing the tasks then waits
  // for each one's threads. Their notices are dropped.
  for (const auto& t : FFFmpegList.Snapshot())
    if (t->Converting()) t->Stop(false);
  FFFmpegList.Clear();
  StopDelivery();
}

void TCustomEncoder::PostNotice(TNotice Notice) {
  std::lock_guard<std::mutex> lock(FDeliveryLock);
  if (FDeliveryQuit) return;
  FNotices.push_back(std::move(Notice));
  if (!FDeliveryThread) FDeliveryThread = std::make_unique<TDoTerminateThread>(this);
  FDeliveryWake.notify_one();
}

void TCustomEncoder::StopDelivery() {
  std::unique_ptr<TDoTerminateThread> thread;
  {
    std::lock_guard<std::mutex> lock(FDeliveryLock);
    FDeliveryQuit = true;
    FNotices.clear();  // the encoder goes: nobody is left to tell
    thread = std::move(FDeliveryThread);
  }
  FDeliveryWake.notify_all();
  if (thread) thread->WaitFor();  // serves the main thread's calls meanwhile
}

void TCustomEncoder::DeliverNotice(const TNotice& Notice) {
  if (FClosing.load()) return;
  // The handler is read where it runs: on the main thread, the application
  // may detach it at any moment.
  auto deliver = [this, &Notice] {
    try {
      if (TTerminateEvent handler = OnTerminate.Get()) handler(this, Notice.Info);
    } catch (const std::exception& e) {
      GlobalLogger()->Log(this, llError, e.what());
    }
    if (Notice.Info.TaskIndex >= 0 && AutoReleaseTask && !FClosing.load())
      if (std::shared_ptr<TFFmpeg> task = Notice.Task.lock()) {
        FFFmpegList.Release(task.get());
        // Freed when the last holder (this one, normally) lets go.
      }
  };
  try {
    if (FTriggerEventInMainThread.load())
      CallInMainThread(deliver);
    else
      deliver();
  } catch (const std::exception& e) {
    GlobalLogger()->Log(this, llError, e.what());
  }
}

namespace {
// Handlers of task events running on this thread. Their workers hold an
// event kind's lock meanwhile, which the other workers may be waiting for.
thread_local int HandlerDepth = 0;
}  // namespace

void TCustomEncoder::RunHandler(const TFFmpeg* Task, bool InMainThread, const std::function<void()>& Handler) {
  auto run = [Task, &Handler] {
    // A waiting Stop of this task from inside the handler must not wait for
    // the worker that waits for the handler.
    TCustomFFmpeg::THandlerScope scope(Task);
    ++HandlerDepth;
    try {
      Handler();
    } catch (...) {
      --HandlerDepth;
      throw;
    }
    --HandlerDepth;
  };
  if (InMainThread)
    CallInMainThread(run);
  else
    run();
}

// ---------------------------------------------------------------------------
// The queue

void TCustomEncoder::Start(int AThreadCount) {
  CheckNotWorking("StartTask");
  // Held while the first tasks start: a task that ends at once waits here
  // before it counts itself and starts the next one.
  TLock lock(FTerminateLock);
  FCompleteTasks = 0;
  FCurrentTask = 0;
  FPendingTasks = TasksCount();
  FTerminated.store(false);
  FThreadMode = AThreadCount > 0;
  FWorking.store(true);
  FPaused.store(false);
  int slots = AThreadCount;
  while (FPendingTasks > 0) {
    StartNextTask();
    if (FThreadMode && --slots <= 0) break;
  }
  // A queue of nothing but empty slots has ended already.
  if (FPendingTasks == 0 && FCompleteTasks >= TasksCount() && TasksCount() > 0 && !FTerminated.load())
    NotifyQueueFinished();
  // A queue without tasks has nothing to run and nothing to tell, but it has
  // ended: otherwise the encoder would stay working with no way back to idle.
  if (TasksCount() == 0) FTerminated.store(true);
}

void TCustomEncoder::StartNextTask() {
  while (FPendingTasks > 0) {
    --FPendingTasks;
    std::shared_ptr<TFFmpeg> task = FFFmpegList.Find(FCurrentTask++);
    if (!task) {
      ++FCompleteTasks;  // an empty slot never runs: it counts as done
      continue;
    }
    task->StartConvert(FThreadMode, ThreadPriority);
    return;
  }
}

void TCustomEncoder::DoTaskTerminate(TFFmpeg* Sender) {
  TLock lock(FTerminateLock);
  const int index = FFFmpegList.IndexOf(Sender);
  // A task already taken out of the list (being freed) has nobody to tell.
  if (index < 0) return;
  if (OnTerminate || AutoReleaseTask) {
    TNotice notice;
    notice.Info.TaskIndex = index;
    notice.Info.Finished = Sender->Finished();
    notice.Info.Exception = Sender->FatalException();
    notice.Info.ExceptionMsg = Sender->FatalMessage();
    notice.Task = FFFmpegList.Find(index);
    FTerminateInfo = notice.Info;
    if (FThreadMode || !FWorking.load()) {
      PostNotice(std::move(notice));
    } else {
      // Without threads the caller of Start hears of each task at once.
      try {
        if (TTerminateEvent handler = OnTerminate.Get()) handler(this, FTerminateInfo);
      } catch (const std::exception& e) {
        GlobalLogger()->Log(this, llError, e.what());
      }
      if (AutoReleaseTask) FFFmpegList.Release(Sender);
    }
  }
  if (!FWorking.load() || FTerminated.load()) return;
  ++FCompleteTasks;
  if (FPendingTasks < 1) {
    if (FCompleteTasks >= TasksCount()) NotifyQueueFinished();
  } else if (FThreadMode) {
    StartNextTask();
  }
}

void TCustomEncoder::NotifyQueueFinished() {
  FTerminated.store(true);
  if (!OnTerminate) return;
  TNotice notice;
  notice.Info.TaskIndex = -1;
  notice.Info.Finished = true;
  FTerminateInfo = notice.Info;
  if (FThreadMode || !FWorking.load()) {
    PostNotice(std::move(notice));
    return;
  }
  try {
    if (TTerminateEvent handler = OnTerminate.Get()) handler(this, FTerminateInfo);
  } catch (const std::exception& e) {
    GlobalLogger()->Log(this, llError, e.what());
  }
}

void TCustomEncoder::Pause() {
  if (!FWorking.load() || FPaused.load()) return;
  FFFmpegList.PauseAll();
  FPaused.store(true);
}

void TCustomEncoder::Resume() {
  if (!FWorking.load() || !FPaused.load()) return;
  FFFmpegList.ResumeAll();
  FPaused.store(false);
}

void TCustomEncoder::Stop(bool AWaitForStop) {
  // From inside a task's handler a waiting stop could wait for a worker that
  // waits for the lock held around this very handler: ask, do not wait.
  if (HandlerDepth > 0) AWaitForStop = false;
  {
    TLock lock(FTerminateLock);
    FPendingTasks = 0;
  }
  if (FWorking.load()) FFFmpegList.StopAll(AWaitForStop);
}

// ---------------------------------------------------------------------------
// Dispatchers: one record and one lock per kind, held while the handler runs.

namespace {
// Keeps a hook bitmap's canvas locked while the handler draws on it.
class TCanvasLock {
 public:
  explicit TCanvasLock(TBitmap* Bitmap) : FCanvas(Bitmap ? Bitmap->Canvas() : nullptr) {
    if (FCanvas) FCanvas->Lock();
  }
  ~TCanvasLock() {
    if (FCanvas) FCanvas->Unlock();
  }

 private:
  TCanvas* FCanvas;
};
}  // namespace

void TCustomEncoder::DoAudioInputHook(TFFmpeg* Sender, int64_t APTS, AVFrame* AFrame, int ASize, int ASampleRate,
                                      int AChannels, AVSampleFormat ASampleFormat) {
  TEncAudioHookEvent handler = OnAudioInputHook.Get();
  if (!handler) return;
  TLock lock(FAudioHookLock);
  handler(this, GetTaskIndex(Sender), APTS, AFrame, ASize, ASampleRate, AChannels, ASampleFormat);
}

void TCustomEncoder::DoAudioOutputHook(TFFmpeg* Sender, int64_t APTS, AVFrame* AFrame, int ASize, int ASampleRate,
                                       int AChannels, AVSampleFormat ASampleFormat) {
  TEncAudioHookEvent handler = OnAudioOutputHook.Get();
  if (!handler) return;
  TLock lock(FAudioHookLock);
  handler(this, GetTaskIndex(Sender), APTS, AFrame, ASize, ASampleRate, AChannels, ASampleFormat);
}

namespace {
template <typename Event>
void RunVideoHook(TCustomEncoder* Encoder, const Event& Handler, THookInfo& Info, int TaskIndex, TBitmap* ABitmap,
                  int AFrameNumber, int64_t APTS, bool& AUpdate, bool& AStopHook) {
  Info.TaskIndex = TaskIndex;
  Info.Bitmap = ABitmap;
  Info.FrameNumber = AFrameNumber;
  Info.PTS = APTS;
  Info.Update = AUpdate;
  Info.StopHook = AStopHook;
  {
    TCanvasLock canvas(ABitmap);
    Handler(Encoder, &Info);
  }
  AUpdate = Info.Update;
  AStopHook = Info.StopHook;
}
}  // namespace

void TCustomEncoder::DoVideoInputHook(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS,
                                      bool& AUpdate, bool& AStopHook) {
  TEncVideoHookEvent handler = OnVideoInputHook.Get();
  if (!handler) return;
  TLock lock(FVideoHookLock);
  RunVideoHook(this, handler, FVideoHookInfo, GetTaskIndex(Sender), ABitmap, AFrameNumber, APTS, AUpdate,
               AStopHook);
}

void TCustomEncoder::DoVideoOutputHook(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS,
                                       bool& AUpdate, bool& AStopHook) {
  TEncVideoHookEvent handler = OnVideoOutputHook.Get();
  if (!handler) return;
  TLock lock(FVideoHookLock);
  RunVideoHook(this, handler, FVideoHookInfo, GetTaskIndex(Sender), ABitmap, AFrameNumber, APTS, AUpdate,
               AStopHook);
}

void TCustomEncoder::DoFrameInputHook(TFFmpeg* Sender, TAVPicture* APicture, AVPixelFormat APixFmt,
                                      int AFrameNumber, int AWidth, int AHeight, int64_t APTS) {
  TEncFrameHookEvent handler = OnFrameInputHook.Get();
  if (!handler) return;
  TLock lock(FFrameHookLock);
  FFrameHookInfo = {GetTaskIndex(Sender), AFrameNumber, APicture, APixFmt, AWidth, AHeight, APTS};
  handler(this, &FFrameHookInfo);
}

void TCustomEncoder::DoFrameOutputHook(TFFmpeg* Sender, TAVPicture* APicture, AVPixelFormat APixFmt,
                                       int AFrameNumber, int AWidth, int AHeight, int64_t APTS) {
  TEncFrameHookEvent handler = OnFrameOutputHook.Get();
  if (!handler) return;
  TLock lock(FFrameHookLock);
  FFrameHookInfo = {GetTaskIndex(Sender), AFrameNumber, APicture, APixFmt, AWidth, AHeight, APTS};
  handler(this, &FFrameHookInfo);
}

void TCustomEncoder::DoPreviewBitmap(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS) {
  if (FClosing.load() || !OnPreviewBitmap) return;
  TLock lock(FPreviewLock);
  FPreviewInfo = {GetTaskIndex(Sender), ABitmap, AFrameNumber, APTS};
  RunHandler(Sender, FTriggerEventInMainThread.load(), [this] {
    if (TEncPreviewBitmapEvent handler = OnPreviewBitmap.Get()) handler(this, FPreviewInfo);
  });
}

void TCustomEncoder::DoProgress(TFFmpeg* Sender, int AFileIndex, int AFrameNumber, int AFPS, float AQuality,
                                float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration,
                                int64_t ATotalDuration) {
  if (FClosing.load() || !OnProgress) return;
  TLock lock(FProgressLock);
  FProgressInfo = {GetTaskIndex(Sender), AFileIndex,   AFrameNumber, AFPS, AQuality,
                   ABitRate,             ACurrentSize, ACurrentDuration, ATotalDuration};
  RunHandler(Sender, FTriggerEventInMainThread.load(), [this] {
    if (TEncProgressEvent handler = OnProgress.Get()) handler(this, &FProgressInfo);
  });
}

void TCustomEncoder::DoBeforeFindStreamInfo(TFFmpeg* Sender, AVFormatContext* AFormatContext) {
  if (!OnBeforeFindStreamInfo) return;
  TLock lock(FFindStreamLock);
  FSender = Sender;
  FAVFormatContext = AFormatContext;
  RunHandler(Sender, FTriggerEventInMainThread.load(), [this] {
    if (TBeforeFindStreamInfoEvent handler = OnBeforeFindStreamInfo.Get()) handler(FSender, FAVFormatContext);
  });
}
