#pragma once
// One conversion task: the option model's files, streams and graphs plus what
// makes them a job that runs on a worker thread of its own: pause, resume and
// stop from another thread, the transcode (set-up, main loop, input and output
// side, progress report, flushing, teardown), the hooks that hand pictures and
// samples to the application, and the preview.
//
// Threads: Stop, Pause, Resume, StopOrTerminate, ChangePostHooks and the
// filter commands may be called from any thread (normally the main thread);
// everything else of a running task happens on its worker. Cross-thread state
// is atomic or guarded by a named lock; filter commands travel to the worker
// through the task's command queue.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "media/FFmpegOpt.h"
#include "media/FormatConverter.h"
#include "media/Previewer.h"
#include "platform/os/Threads.h"

enum TPostHook { phPreview, phBitmap, phHBITMAP };
using TPostHooks = TSmallSet<TPostHook, uint8_t>;

struct TPostHookContext {
  std::unique_ptr<TFormatConverter> Converter;
  // Shared so that a worker painting a frame keeps the previewer alive while
  // the main thread switches the preview off.
  std::shared_ptr<TPreviewer> Previewer;
  int64_t preview_last_time = 0;
  int64_t preview_cur_time = 0;
};

using TFFAudioHookEvent = std::function<void(TObject* Sender, int64_t APTS, AVFrame* AFrame, int ASize,
                                             int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;
using TFFVideoHookEvent = std::function<void(TObject* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS,
                                             bool& AUpdate, bool& AStopHook)>;
using TFFFrameHookEvent = std::function<void(TObject* Sender, TAVPicture* APicture, AVPixelFormat APixFmt,
                                             int AFrameNumber, int AWidth, int AHeight, int64_t APTS)>;
using TFFPreviewBitmapEvent =
    std::function<void(TObject* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS)>;
using TFFProgressEvent =
    std::function<void(TObject* Sender, int AFileIndex, int AFrameNumber, int AFPS, float AQuality,
                       float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration, int64_t ATotalDuration)>;

class TCustomFFmpeg;

// The worker thread of one running task; the task joins and frees it.
class TConvertThread : public TThread {
 public:
  TConvertThread(TCustomFFmpeg* AOwner, TThreadPriority APriority);
  ~TConvertThread() override { TerminateAndWait(); }

 protected:
  void Execute() override;

 private:
  TCustomFFmpeg* FOwner;
};

class TCustomFFmpeg : public TCustomFFmpegOpt {
 public:
  TCustomFFmpeg();
  // Fires OnDestroy, stops and waits for a running transcode, tears down.
  ~TCustomFFmpeg() override;

  // ---- control (any thread)
  // Requests the end of the run; with AWaitForStop waits until the worker has
  // ended, serving the main thread's pending calls when called there. Never
  // waits when called from the task's own thread or from inside one of the
  // task's handlers (see THandlerScope).
  void Stop(bool AWaitForStop);
  void Pause();
  void Resume();
  // Stop for a running task; a task that never ran reports its end (through a
  // short-lived thread), with AWaitForStop only once it has been reported.
  void StopOrTerminate(bool AWaitForStop);

  // Runs the task once: on a new worker thread, or on the calling thread
  // (then returns after the end was reported).
  void StartConvert(bool AUseThread, TThreadPriority APriority = tpNormal);
  // The set-up; false with FLastErrMsg set.
  bool InitTranscode();
  // Undoes everything the task holds; safe to repeat.
  void Cleanup();

  // ---- post hooks (any thread)
  void ChangePostHooks(TPostHooks Hooks);
  TPostHooks GetPostHooks();
  void SetVideoHookBitsPixel(int Value);
  int OptVideoHookBitsPixel(TOptionsContext* o, const String& Opt, const String& Arg) override;

  // ---- filter commands (any thread): handed to the worker while the task
  // runs, run at once otherwise. True when every graph accepted the command.
  bool SendFilterCommand(const String& Target, const String& Cmd, const String& Arg, int Flags);
  bool QueueFilterCommand(const String& Target, const String& Cmd, const String& Arg, int Flags, double Pts);

  AVFormatContext* GetOutputFormatContext(int Index) const;

  // ---- state
  bool Converting() const { return FConverting.load(); }
  TThreadID ThreadID() const { return FThreadID.load(); }
  bool Finished() const { return FFinished.load(); }
  bool Terminated() const { return FTerminated.load(); }
  bool FatalException() const { return FFatalException; }
  const String& FatalMessage() const { return FFatalMessage; }
  int Suspended() const { return FSuspended.load(); }
  int64_t TotalPauseTime() const { return FTotalPauseTime.load(); }
  const int64_t* QpHistogram() const { return Fqp_histogram; }

  // Marks the calling thread as running a handler of Task for its lifetime.
  // A dispatcher that runs the task's events on another thread (the main
  // thread) opens one around the handler, so that a waiting Stop issued from
  // inside the handler does not wait for the worker that waits for it.
  class THandlerScope {
   public:
    explicit THandlerScope(const TCustomFFmpeg* Task);
    ~THandlerScope();
    THandlerScope(const THandlerScope&) = delete;
    THandlerScope& operator=(const THandlerScope&) = delete;
    static bool Inside(const TCustomFFmpeg* Task);

   private:
    const TCustomFFmpeg* FTask;
  };

  // ---- events (set before the task starts). Every event runs on the task's
  // worker (hooks, previews, progress and the end of a run); the end of a task
  // that never ran comes from a short-lived thread of StopOrTerminate, or from
  // the caller of StartConvert when there is no output. A dispatcher that hands
  // them on to the main thread waits there inside a THandlerScope.
  TFFAudioHookEvent OnInputAudioHook;
  TFFAudioHookEvent OnOutputAudioHook;
  TFFVideoHookEvent OnInputVideoHook;
  TFFVideoHookEvent OnOutputVideoHook;
  TFFFrameHookEvent OnInputFrameHook;
  TFFFrameHookEvent OnOutputFrameHook;
  TFFPreviewBitmapEvent FOnPreviewBitmap;
  TFFProgressEvent FOnProgress;
  TNotifyEvent FOnTerminate;
  TNotifyEvent FOnDestroy;

  // Intervals in microseconds; the encoder may change them while the worker reads them.
  std::atomic<int64_t> FReportInterval{500000};
  std::atomic<int64_t> FPreviewInterval{100000};

  // ---- codec lists (engine-wide lock): opened decoders and encoders.
  void AddCodecItem(std::vector<void*>& Head, void* Item);
  void RemoveCodecItem(std::vector<void*>& Head, void* Item);
  void FreeEncoderItems(std::vector<void*>& Head);
  void CloseDecoderItems(std::vector<void*>& Head);
  std::vector<void*> FEncoderList;  // TOutputStream*
  std::vector<void*> FDecoderList;  // TInputStream*

  // ---- transcode (worker thread); public for the tests of the steps
  int TranscodeInit();
  void Transcode();
  void TranscodeCleanup();
  // Failures: a negative code with FLastErrMsg set, or with Report set a code
  // (and possibly Error) that the set-up reports after the stream mapping.
  int OutputStreamParameters(TOutputStream* ost, String& Error, bool& Report);
  TInputStream* GetInputStream(const TOutputStream* ost) const;
  int InitInputStream(int Index, String& Error);
  int InitOutputStream(TOutputStream* ost, String& Error);
  void PrintStreamMapping();
  void ParseForcedKeyFrames(const String& Text, TOutputStream* ost, AVCodecContext* Enc);
  void SetEncoderId(TOutputFile* of, TOutputStream* ost);
  static int ParseDisposition(const String& Text, int& Flags);

  int ProcessInput(int FileIndex);
  // After a stop: reads the inputs that carry only sound up to where the
  // pictures read so far end, so the output's sound lasts as long as its pictures.
  void ReadSoundUpToPictures();
  int GetInputPacket(TInputFile* f, AVPacket* pkt);
  int SeekToStart(TInputFile* f);
  void ResetEAgain();
  int ProcessInputPacket(TInputStream* ist, const AVPacket* pkt, int NoEof);
  void CheckDecodeResult(TInputStream* ist, int GotOutput, const char* Word, int Result);
  int SendFilterEof(TInputStream* ist);
  bool CheckOutputConstraints(TInputStream* ist, TOutputStream* ost);
  void DoStreamCopy(TInputStream* ist, TOutputStream* ost, const AVPacket* pkt);

  void WritePacket(AVFormatContext* s, AVPacket* pkt, TOutputStream* ost);
  void CloseOutputStream(TOutputStream* ost);
  int CheckRecordingTime(TOutputStream* ost);
  void CloseAllOutputStreams(TOutputStream* ost, int ThisBits, int OthersBits);
  void FinishOutputStream(TOutputStream* ost);
  void DoAudioOut(AVFormatContext* s, TOutputStream* ost, AVFrame* frame);
  void DoSubtitleOut(AVFormatContext* s, TOutputStream* ost, TInputStream* ist, AVSubtitle* sub);
  void DoVideoOut(AVFormatContext* s, TOutputStream* ost, AVFrame* NextPicture, double SyncOpts);
  void DoVideoStats(TOutputStream* ost, int FrameSize);
  int ReapFilters(bool Flush);
  void FlushEncoders();
  void PrintReport(int FileIndex, bool IsLastReport, int64_t TimerStart, int64_t CurTime);
  void PrintFinalStats(int64_t TotalSize);
  // The texts of a report: the shown video stream's part, then size, time,
  // bit rate, duplicates and drops and speed (the result is where the speed
  // part of Status starts), and the final sizes line.
  static void ReportFrameTexts(int FrameNumber, float Fps, float Q, int FileIndex, int Index, String& Status,
                               String& Block);
  static size_t ReportTailTexts(int64_t Pts, int64_t TotalSize, double Bitrate, int Dup, int Drop, double Speed,
                                String& Status, String& Block);
  static String FinalSizesText(int64_t Video, int64_t Audio, int64_t Subtitle, int64_t Other, int64_t Extra,
                               int64_t Total, int64_t TotalSize);
  // Closes the outputs that are written under a temporary name and moves
  // them over their targets; a failure is noted as the run's error.
  void CommitOutputs();
  void CleanupTask();

  void Sub2VideoUpdate(TInputStream* ist, AVSubtitle* sub);
  void Sub2VideoHeartbeat(TInputStream* ist, int64_t pts);
  void Sub2VideoFlush(TInputStream* ist);

  // Hooks: they may give the frame a picture of its own (never the shared one).
  void PreProcessVideoFrame(TInputStream* ist, AVFrame* frame);
  bool PostProcessVideoFrame(TOutputStream* ost, AVCodecContext* Enc, AVFrame* frame, int FrameNumber,
                             int64_t PTS);
  void RunPostHooks(AVFrame* frame, AVCodecContext* Enc, bool Converted, int64_t PTS, int FrameNumber);

  // Counters read by the report.
  int Fnb_frames_dup = 0;
  int Fnb_frames_drop = 0;
  int64_t Fdecode_error_stat[2] = {0, 0};

 protected:
  void DoConvert();
  void DoTerminate();
  void SetPostHooks(TPostHooks Hooks);  // under the post-hook lock

 private:
  friend class TConvertThread;
  struct TFilterCommand;

  // The progress event, with the handler scope around it.
  void FireProgress(int FileIndex, int FrameNumber, int FPS, float Quality, float BitRate, int64_t Size,
                    int64_t Duration);
  void WaitServing(TEvent& Event);
  // Runs the queued filter commands (worker); AnswerAll answers the rest with false.
  void ServeCommands();
  void AnswerPendingCommands();
  bool RunFilterCommand(TFilterCommand& c);
  bool SubmitFilterCommand(const std::shared_ptr<TFilterCommand>& c);

  void UpdateActiveOutputRange();
  bool NeedOutput();
  TOutputStream* ChooseOutput();
  int TranscodeStep();
  int TranscodeFromFilter(TFilterGraph* fg, TInputStream*& Best);
  bool GotEAgain();

  // Input side of one decoded frame.
  int DecodeAudio(TInputStream* ist, AVPacket* pkt, bool Drain, int& GotOutput);
  int DecodeVideo(TInputStream* ist, AVPacket* pkt, bool Drain, int& GotOutput, int64_t& Duration);
  int TranscodeSubtitles(TInputStream* ist, AVPacket* pkt, int& GotOutput);
  int AudioFrameDecoded(TInputStream* ist, AVFrame* frame, AVPacket* pkt);
  int VideoFrameDecoded(TInputStream* ist, AVFrame* frame);
 public:
  // One packet gave a second frame: a warning the first time, then verbose.
  void NoteMultipleFrames(TInputStream* ist, int StreamIndex);
 private:
  // The decoder found more reordering than the container announced.
  void CheckReorderDelay(TInputStream* ist);
  int PushFrameToFilters(TInputStream* ist, AVFrame* frame);
  // Encoder output: every packet of the encoder to the muxer.
  void ReceivePackets(AVFormatContext* s, TOutputStream* ost, const char* Word, int& FrameSize);
  void ApplyJoinFloors(TOutputStream* ost, AVPacket* pkt);
  void MuxPacket(AVFormatContext* s, AVPacket* pkt, TOutputStream* ost);
  // Join: the segment's inputs end, the next segment starts with fresh encoders.
  int JoinSwitchOver(int FileIndex);
  void ReopenJoinEncoders();
  void SaveEncoderSnapshot(TOutputStream* ost);
  bool RunVideoHook(bool InputSide, TFormatConverter* Converter, int FrameNumber, int64_t PTS,
                    AVCodecContext* Ctx, AVFrame* frame);
  void Sub2VideoCopyRect(AVFrame* dst, const AVSubtitleRect* r);
  int Sub2VideoGetBlankFrame(TInputStream* ist);
  void Sub2VideoPushRef(TInputStream* ist, int64_t pts);
  void PrintSdp();
  // The first failure that ends a run early without raising (a read, write or
  // filter error); the run then reports it instead of success.
  void NoteRunError(const String& Message) {
    if (FRunError.empty()) FRunError = Message;
  }

  std::unique_ptr<TConvertThread> FConvertThread;
  std::unique_ptr<TThread> FTermThread;
  std::atomic<TThreadID> FThreadID{0};
  TEvent FStopEvent{true, true};
  TEvent FTermEvent{true, true};
  TEvent FSuspender{true, true};
  std::atomic<int> FSuspended{-1};
  std::atomic<int64_t> FPauseTime{0};
  std::atomic<int64_t> FTotalPauseTime{0};
  std::atomic<bool> FConverting{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  bool FTranscodeInitialized = false;
  bool FTranscodeCleanuped = false;
  bool FFatalException = false;
  String FFatalMessage;
  std::atomic<int> FStopWaiters{0};

  TFormatConverter FInputVideoHook;
  TPostHookContext FOutputVideoHook;
  TPostHooks FPostHooks;           // post-hook lock
  bool FPostHooksChanged = false;  // post-hook lock
  uint64_t FPostHooksGeneration = 0;  // post-hook lock: counts ChangePostHooks calls

  // Transcode state.
  int Fjoin_file_index = 0;
  int Fost_from_idx = 0;
  int Fost_to_idx = -1;
  int64_t Flast_time = -1;
  int64_t Fqp_histogram[52] = {};
  bool FShowDupOrDrop = false;
  FILE* Fvstats_file = nullptr;
  std::vector<uint8_t> Fsubtitle_out;
  std::unordered_set<const TInputStream*> FDrainSent;
  UniquePacket FWorkPacket;
  String FRunError;

  // Join: what a fresh encoder of the first segment's streams is built from.
  // Unopened contexts by output stream index, taken right before the first open.
  std::vector<UniqueCodecContext> FEncoderSnapshots;

  std::mutex FCommandLock;
  std::deque<std::shared_ptr<TFilterCommand>> FCommands;
  std::atomic<bool> FWorkerServesCommands{false};
};
