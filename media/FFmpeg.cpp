#include "media/FFmpeg.h"

#include <cstring>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFmpegOptOpen.h"
#include "media/MyUtils.h"
#include "platform/os/Files.h"

namespace {

// Engine-wide: every task's codec lists; every task's post hooks and preview state.
TCriticalSection& CodecListLock() {
  static TCriticalSection lock;
  return lock;
}
TCriticalSection& PostHookLock() {
  static TCriticalSection lock;
  return lock;
}

// The tasks whose handler runs on this thread (nesting allowed).
thread_local std::vector<const TCustomFFmpeg*> HandlerTasks;

void RequireLibraries() {
  if (!FFLoader().Loaded(EncoderLibraries)) throw Exception("Library avcodec not loaded.");
}

}  // namespace

// ---------------------------------------------------------------------------
// Handler scope

TCustomFFmpeg::THandlerScope::THandlerScope(const TCustomFFmpeg* Task) : FTask(Task) {
  HandlerTasks.push_back(Task);
}
TCustomFFmpeg::THandlerScope::~THandlerScope() { HandlerTasks.pop_back(); }
bool TCustomFFmpeg::THandlerScope::Inside(const TCustomFFmpeg* Task) {
  for (const TCustomFFmpeg* t : HandlerTasks)
    if (t == Task) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Filter commands travel to the worker through the task's queue.

struct TCustomFFmpeg::TFilterCommand {
  String Target, Cmd, Arg;
  int Flags = 0;
  bool Queued = false;  // QueueFilterCommand (at Pts) rather than SendFilterCommand
  double Pts = 0;
  bool Result = false;
  TEvent Done{true, false};
};

// ---------------------------------------------------------------------------
// Creation and destruction

TCustomFFmpeg::TCustomFFmpeg() {
  RequireLibraries();
  FOutputVideoHook.Converter = std::make_unique<TFormatConverter>();
  FInputDuration = -1;
  FOutputDuration = -1;
  FWorkPacket.reset(ff::av_packet_alloc());
}

TCustomFFmpeg::~TCustomFFmpeg() {
  try {
    if (FOnDestroy) FOnDestroy(this);
    Stop(true);
    if (FTermThread) WaitServing(FTermEvent);
    FConvertThread.reset();
    FTermThread.reset();
    Cleanup();
  } catch (const std::exception& e) {
    GlobalLogger()->Log(this, llError, String("Error while freeing a task: ") + e.what());
  }
}

// ---------------------------------------------------------------------------
// Pause, resume and stop

void TCustomFFmpeg::WaitServing(TEvent& Event) {
  // A worker may be waiting for the main thread to run one of its events;
  // the main thread keeps serving them while it waits.
  const bool main = IsMainThread();
  while (Event.WaitFor(20) == TWaitResult::wrTimeout) {
    if (main) {
      CheckSynchronize(0);
      ProcessPendingMessages();
    }
  }
}

void TCustomFFmpeg::Stop(bool AWaitForStop) {
  FBroken.store(true);
  FSuspender.SetEvent();
  if (!AWaitForStop || FSuspended.load() == -1) return;
  // The worker itself, or a handler that the worker is waiting for, would wait forever.
  if (GetCurrentThreadId() == FThreadID.load() || THandlerScope::Inside(this)) return;
  WaitServing(FStopEvent);
}

void TCustomFFmpeg::Pause() {
  int running = 0;
  if (!FSuspended.compare_exchange_strong(running, 1)) return;
  FPauseTime.store(ff::av_gettime_relative());
  FSuspender.ResetEvent();
}

void TCustomFFmpeg::Resume() {
  int paused = 1;
  if (!FSuspended.compare_exchange_strong(paused, 0)) return;
  FTotalPauseTime.fetch_add(ff::av_gettime_relative() - FPauseTime.load());
  FSuspender.SetEvent();
}

// Reports the end of a task that never ran.
class TDoTerminateThread : public TThread {
 public:
  explicit TDoTerminateThread(std::function<void()> Body) : TThread(true), FBody(std::move(Body)) {}
  ~TDoTerminateThread() override { TerminateAndWait(); }

 protected:
  void Execute() override { FBody(); }

 private:
  std::function<void()> FBody;
};

void TCustomFFmpeg::StopOrTerminate(bool AWaitForStop) {
  if (FConverting.load()) {
    Stop(AWaitForStop);
    return;
  }
  if (FTerminated.load()) return;
  if (!FTermThread) {
    // Reset before the thread starts, so that the wait cannot return before the notice.
    FTermEvent.ResetEvent();
    FTermThread = std::make_unique<TDoTerminateThread>([this] {
      try {
        DoTerminate();
      } catch (...) {
      }
      FTermEvent.SetEvent();
    });
    FTermThread->Start();
  }
  if (AWaitForStop) WaitServing(FTermEvent);
}

// ---------------------------------------------------------------------------
// The driver

TConvertThread::TConvertThread(TCustomFFmpeg* AOwner, TThreadPriority APriority)
    : TThread(true), FOwner(AOwner) {
  SetPriority(APriority);
}

void TConvertThread::Execute() {
  FOwner->DoConvert();
  FOwner->FStopEvent.SetEvent();
}

void TCustomFFmpeg::StartConvert(bool AUseThread, TThreadPriority APriority) {
  if (FConverting.load() || FTerminated.load()) return;
  if (Foutput_files.empty()) {
    Cleanup();
    const String msg = "At least one output file must be specified";
    GlobalLogger()->Log(this, llQuiet, msg);
    FFatalException = true;
    FFatalMessage = msg;
    DoTerminate();
    return;
  }
  FConverting.store(true);
  FBroken.store(false);
  FFinished.store(false);
  FTerminated.store(false);
  FSuspended.store(0);
  FPauseTime.store(0);
  FTotalPauseTime.store(0);
  FStopEvent.ResetEvent();
  if (AUseThread) {
    // The task keeps its worker and joins it when freed: a thread object that
    // freed itself could be gone before Start returned.
    FWorkerServesCommands.store(true);
    FConvertThread = std::make_unique<TConvertThread>(this, APriority);
    FConvertThread->Start();
    FThreadID.store(FConvertThread->ThreadID());
  } else {
    FThreadID.store(GetCurrentThreadId());
    try {
      DoConvert();
    } catch (...) {
    }
    FStopEvent.SetEvent();
  }
}

void TCustomFFmpeg::DoConvert() {
  FThreadID.store(GetCurrentThreadId());
  FWorkerServesCommands.store(true);
  FFinished.store(false);
  auto fail = [this](const String& Message) {
    GlobalLogger()->Log(this, llQuiet, Message);
    FFatalException = true;
    FFatalMessage = Message;
  };
  auto guarded = [&](auto&& Step) {
    try {
      Step();
    } catch (const std::exception& e) {
      fail(e.what());
    } catch (...) {
      fail("Unknown exception");
    }
  };
  guarded([this] {
    if (!InitTranscode()) throw FFmpegException(FLastErrMsg);
    Transcode();
  });
  {
    std::lock_guard<std::mutex> lock(FCommandLock);
    FWorkerServesCommands.store(false);
  }
  AnswerPendingCommands();
  guarded([this] { FreeEncoderItems(FEncoderList); });
  guarded([this] { CloseDecoderItems(FDecoderList); });
  guarded([this] { Cleanup(); });
  guarded([this] { DoTerminate(); });
  ff::av_log(nullptr, AV_LOG_QUIET, "%s", "");
}

bool TCustomFFmpeg::InitTranscode() {
  if (FTranscodeInitialized) return true;
  if (FOutputDuration < 0) FOutputDuration = FInputDuration;
  FLastErrMsg.clear();
  try {
    const int ret = TranscodeInit();
    if (ret < 0) {
      if (FLastErrMsg.empty())
        FLastErrMsg = ErrorCodeToText("transcode_init() error", ret) + ". " +
                      "Please check error log message(reported by FFLogger) to find out more detail information.";
      TranscodeCleanup();
      return false;
    }
  } catch (const std::exception& e) {
    FLastErrMsg = e.what();
    TranscodeCleanup();
    return false;
  }
  FTranscodeInitialized = true;
  return true;
}

void TCustomFFmpeg::DoTerminate() {
  FConverting.store(false);
  FTerminated.store(true);
  if (FOnTerminate) {
    THandlerScope scope(this);
    FOnTerminate(this);
  }
}

void TCustomFFmpeg::Cleanup() {
  RequireLibraries();
  if (FTranscodeInitialized && !FTranscodeCleanuped) TranscodeCleanup();
  CleanupTask();
  std::shared_ptr<TPreviewer> previewer;
  {
    TLock lock(PostHookLock());
    previewer = std::move(FOutputVideoHook.Previewer);
    FOutputVideoHook.preview_last_time = 0;
    FOutputVideoHook.preview_cur_time = 0;
  }
  previewer.reset();  // outside the lock: closing the window waits for the main thread
}

// ---------------------------------------------------------------------------
// Post hooks

void TCustomFFmpeg::SetPostHooks(TPostHooks Hooks) {
  if (Hooks == FPostHooks) return;
  if (FPostHooks.Contains(phPreview) && !Hooks.Contains(phPreview)) FOutputVideoHook.Previewer.reset();
  FPostHooks = Hooks;
}

void TCustomFFmpeg::ChangePostHooks(TPostHooks Hooks) {
  std::shared_ptr<TPreviewer> dropped;
  {
    TLock lock(PostHookLock());
    dropped = FOutputVideoHook.Previewer;
    SetPostHooks(Hooks);
    FPostHooksChanged = true;
    ++FPostHooksGeneration;
    if (FOutputVideoHook.Previewer) dropped.reset();
  }
  // A previewer is closed outside the lock (a worker painting may hold the last reference).
  dropped.reset();
}

void TCustomFFmpeg::RunPostHooks(AVFrame* frame, AVCodecContext*, bool Converted, int64_t PTS, int FrameNumber) {
  // The lock guards only the hook set: converting and delivering happen
  // outside it, because delivery waits for the main thread, which may be
  // waiting for the lock to switch the preview.
  TPostHooks hooks;
  bool changed;
  uint64_t generation;
  std::shared_ptr<TPreviewer> previewer;
  {
    TLock lock(PostHookLock());
    hooks = FPostHooks;
    changed = FPostHooksChanged;
    generation = FPostHooksGeneration;
    previewer = FOutputVideoHook.Previewer;
  }
  const TPostHooks before = hooks;
  TFormatConverter* conv = FOutputVideoHook.Converter.get();
  auto convert = [&] {
    if (Converted && !changed) return true;
    if (conv->PictureToRGB(frame->data, frame->linesize, AVPixelFormat(frame->format), frame->width, frame->height,
                           true))
      return true;
    GlobalLogger()->Log(this, llError, conv->LastErrMsg());
    return false;
  };
  bool created = false;
  const bool bitmap = hooks.Contains(phBitmap) && FOnPreviewBitmap;
  if (bitmap || hooks.Contains(phPreview)) {
    const int64_t now = ff::av_gettime_relative();
    FOutputVideoHook.preview_cur_time = now;
    if (now - FOutputVideoHook.preview_last_time > FPreviewInterval.load()) {
      bool ok = convert();
      if (ok && bitmap) {
        THandlerScope scope(this);
        FOnPreviewBitmap(this, conv->Bitmap(), FrameNumber, PTS);
      } else if (ok) {
        if (!previewer) {
          previewer = std::make_shared<TPreviewer>();
          created = true;
        }
        ok = previewer->PaintFrame(conv->Bitmap(), FrameNumber, PTS);
      }
      FOutputVideoHook.preview_last_time = FOutputVideoHook.preview_cur_time;
      if (!ok) hooks.Exclude(bitmap ? phBitmap : phPreview);
    }
  }
  std::shared_ptr<TPreviewer> dropped;
  {
    TLock lock(PostHookLock());
    // Written back only when nobody changed the hooks meanwhile.
    if (generation == FPostHooksGeneration) {
      if (created && hooks.Contains(phPreview) && !FOutputVideoHook.Previewer) FOutputVideoHook.Previewer = previewer;
      if (!(hooks == before)) {
        dropped = FOutputVideoHook.Previewer;
        SetPostHooks(hooks);
        if (FOutputVideoHook.Previewer) dropped.reset();
      }
      FPostHooksChanged = false;
    }
  }
  previewer.reset();
  dropped.reset();
}

TPostHooks TCustomFFmpeg::GetPostHooks() {
  TLock lock(PostHookLock());
  return FPostHooks;
}

void TCustomFFmpeg::SetVideoHookBitsPixel(int Value) {
  FInputVideoHook.SetBitsPixel(Value);
  FOutputVideoHook.Converter->SetBitsPixel(Value);
}

int TCustomFFmpeg::OptVideoHookBitsPixel(TOptionsContext*, const String&, const String& Arg) {
  try {
    SetVideoHookBitsPixel(StrToInt(Arg));
    return 0;
  } catch (const Exception& e) {
    FOptions->OptionErrorText = e.Message;
    GlobalLogger()->Log(this, llError, e.Message);
    return AVERROR(EINVAL);
  }
}

AVFormatContext* TCustomFFmpeg::GetOutputFormatContext(int Index) const {
  if (Index < 0 || Index >= int(Foutput_files.size()) || !Foutput_files[Index]) return nullptr;
  return Foutput_files[Index]->ctx.get();
}

// ---------------------------------------------------------------------------
// Codec lists

void TCustomFFmpeg::AddCodecItem(std::vector<void*>& Head, void* Item) {
  TLock lock(CodecListLock());
  Head.insert(Head.begin(), Item);
}

void TCustomFFmpeg::RemoveCodecItem(std::vector<void*>& Head, void* Item) {
  TLock lock(CodecListLock());
  for (auto it = Head.begin(); it != Head.end(); ++it)
    if (*it == Item) {
      Head.erase(it);
      return;
    }
}

void TCustomFFmpeg::FreeEncoderItems(std::vector<void*>& Head) {
  TLock lock(CodecListLock());
  for (void* item : Head) {
    auto* ost = static_cast<TOutputStream*>(item);
    if (ost->encoding_needed && ost->enc_ctx) ff::av_freep(&ost->enc_ctx->stats_in);
  }
  Head.clear();
}

void TCustomFFmpeg::CloseDecoderItems(std::vector<void*>& Head) {
  TLock lock(CodecListLock());
  for (void* item : Head) {
    auto* ist = static_cast<TInputStream*>(item);
    if (!ist->decoding_needed || ist->decoder_closed) continue;
    ist->decoder_closed = 1;
    if (ist->dec_ctx) {
      ff::avcodec_close(ist->dec_ctx.get());
      if (ist->hwaccel_uninit) ist->hwaccel_uninit(ist->dec_ctx.get());
    }
  }
  Head.clear();
}

// ---------------------------------------------------------------------------
// Filter commands

bool TCustomFFmpeg::RunFilterCommand(TFilterCommand& c) {
  const char* arg = c.Arg.empty() ? nullptr : c.Arg.c_str();
  bool ok = true;
  for (size_t i = 0; i < Ffiltergraphs.size(); ++i) {
    AVFilterGraph* g = Ffiltergraphs[i]->graph.get();
    if (!g) continue;
    if (c.Queued) {
      const int ret = ff::avfilter_graph_queue_command(g, c.Target.c_str(), c.Cmd.c_str(), arg, c.Flags, c.Pts);
      if (ret < 0) {
        FLastErrMsg = ErrorCodeToText("Queing command failed with error for stream #" + IntToStr(int(i)), ret);
        GlobalLogger()->Log(this, llError, FLastErrMsg);
        ok = false;
      }
      continue;
    }
    char response[4096] = {};
    const int ret =
        ff::avfilter_graph_send_command(g, c.Target.c_str(), c.Cmd.c_str(), arg, response, sizeof response, c.Flags);
    if (ret < 0 || response[0])
      GlobalLogger()->Log(this, llInfo,
                          Format("Command reply for stream %d: ret:%d response:%s", {int(i), ret, response}));
    if (ret < 0) {
      FLastErrMsg = ErrorCodeToText("avfilter_graph_send_command() failed for stream " + IntToStr(int(i)), ret);
      GlobalLogger()->Log(this, llError, FLastErrMsg);
      ok = false;
    }
  }
  return ok;
}

void TCustomFFmpeg::ServeCommands() {
  for (;;) {
    std::shared_ptr<TFilterCommand> c;
    {
      std::lock_guard<std::mutex> lock(FCommandLock);
      if (FCommands.empty()) return;
      c = std::move(FCommands.front());
      FCommands.pop_front();
    }
    c->Result = RunFilterCommand(*c);
    c->Done.SetEvent();
  }
}

void TCustomFFmpeg::AnswerPendingCommands() {
  std::lock_guard<std::mutex> lock(FCommandLock);
  for (auto& c : FCommands) {
    c->Result = false;
    c->Done.SetEvent();
  }
  FCommands.clear();
}

bool TCustomFFmpeg::SubmitFilterCommand(const std::shared_ptr<TFilterCommand>& c) {
  bool direct = false;
  {
    std::lock_guard<std::mutex> lock(FCommandLock);
    if (GetCurrentThreadId() == FThreadID.load()) {
      direct = true;  // the worker itself (a handler): its graphs are its own
    } else if (FWorkerServesCommands.load()) {
      FCommands.push_back(c);
    } else if (FConverting.load()) {
      return false;  // the run is ending: its graphs are being torn down
    } else {
      direct = true;  // no run: nobody else touches the graphs
    }
  }
  if (direct) return RunFilterCommand(*c);
  WaitServing(c->Done);
  return c->Result;
}

bool TCustomFFmpeg::SendFilterCommand(const String& Target, const String& Cmd, const String& Arg, int Flags) {
  GlobalLogger()->Log(this, llVerbose,
                      Format("Sending filter command target:%s cmd:%s arg:%s flags:%d", {Target, Cmd, Arg, Flags}));
  auto c = std::make_shared<TFilterCommand>();
  c->Target = Target;
  c->Cmd = Cmd;
  c->Arg = Arg;
  c->Flags = Flags;
  return SubmitFilterCommand(c);
}

bool TCustomFFmpeg::QueueFilterCommand(const String& Target, const String& Cmd, const String& Arg, int Flags,
                                       double Pts) {
  GlobalLogger()->Log(this, llVerbose,
                      Format("Queueing filter command target:%s cmd:%s arg:%s time:%f flags:%d",
                             {Target, Cmd, Arg, Pts, Flags}));
  auto c = std::make_shared<TFilterCommand>();
  c->Target = Target;
  c->Cmd = Cmd;
  c->Arg = Arg;
  c->Flags = Flags;
  c->Queued = true;
  c->Pts = Pts;
  return SubmitFilterCommand(c);
}
