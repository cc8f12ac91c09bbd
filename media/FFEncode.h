#pragma once
// The encoder component: an ordered list of conversion tasks, each described
// by ffmpeg-style option text for its inputs and outputs, run a few at a time
// on worker threads, with progress, hooks, previews and completion handed to
// the application.
//
// Threads: every task operation runs on the caller's thread (the main thread
// in the application) while the encoder is not working. Start, Pause, Resume
// and Stop run on the main thread. Progress, preview, probing and completion
// events reach their handlers on the main thread (TriggerEventInMainThread);
// the hooks run on the task's worker. Completion notices, the end of the
// queue (task index -1) last, travel through one ordered delivery queue per
// encoder.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/FFDecode.h"
#include "media/FFmpeg.h"

// ---------------------------------------------------------------------------
// What the caller describes a task's files with.

struct TInputOptions {
  String FileName;  // filled from the call's file name when empty
  String Options;   // option text
  String Presets;   // "key=value" lines
  int Tag = 0;
  void* Data = nullptr;
};
using PInputOptions = TInputOptions*;

struct TOutputOptions {
  String FileName;
  String Options;
  String Presets;
  bool AudioInputHook = false;
  bool AudioOutputHook = false;
  bool VideoInputHook = false;
  bool VideoOutputHook = false;
  int VideoHookBitsPixel = 32;
  bool FrameInputHook = false;
  bool FrameOutputHook = false;
  bool Join = false;  // the task's inputs are written one after the other
  int Tag = 0;
  void* Data = nullptr;
};
using POutputOptions = TOutputOptions*;

void ResetInputOptions(TInputOptions& Options);
void ResetOutputOptions(TOutputOptions& Options);

// ---------------------------------------------------------------------------
// Event records. Each kind has one record inside the encoder, shared by all
// tasks: a handler copies what it needs before it returns.

struct TProgressInfo {
  int TaskIndex = 0;
  int FileIndex = 0;  // -1 in the final report
  int FrameNumber = 0;
  int FPS = 0;
  float Quality = 0;
  float BitRate = 0;
  int64_t CurrentSize = 0;      // bytes written
  int64_t CurrentDuration = 0;  // microseconds of output
  int64_t TotalDuration = 0;    // microseconds
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo {
  int TaskIndex = 0;  // -1: the end of the queue
  bool Finished = false;
  bool Exception = false;
  String ExceptionMsg;
};

struct THookInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = false;    // the handler changed the bitmap: write it back
  bool StopHook = false;  // no more calls of this hook for the task
};
using PHookInfo = THookInfo*;

struct TFrameHookInfo {
  int TaskIndex = 0;
  int FrameNumber = 0;
  TAVPicture* Picture = nullptr;
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  int Width = 0;
  int Height = 0;
  int64_t PTS = 0;
};
using PFrameHookInfo = TFrameHookInfo*;

struct TPreviewInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
};

using TEncProgressEvent = std::function<void(TObject* Sender, PProgressInfo AProgressInfo)>;
using TTerminateEvent = std::function<void(TObject* Sender, const TTerminateInfo& ATerminateInfo)>;
using TEncVideoHookEvent = std::function<void(TObject* Sender, PHookInfo AHookInfo)>;
using TEncFrameHookEvent = std::function<void(TObject* Sender, PFrameHookInfo AHookInfo)>;
using TEncPreviewBitmapEvent = std::function<void(TObject* Sender, const TPreviewInfo& APreviewInfo)>;
using TEncAudioHookEvent =
    std::function<void(TObject* Sender, int ATaskIndex, int64_t APTS, AVFrame* AFrame, int ASize, int ASampleRate,
                       int AChannels, AVSampleFormat ASampleFormat)>;

class TCustomEncoder;
class TStreamIO;

// An event that worker threads read while the main thread may set or detach
// it: assignment and reading go through a lock of its own, held only for the
// copy (never while the handler runs).
template <typename F>
class TSharedEvent {
 public:
  TSharedEvent& operator=(F Handler) {
    std::lock_guard<std::mutex> lock(FLock);
    FHandler = std::move(Handler);
    return *this;
  }
  F Get() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FHandler;
  }
  explicit operator bool() const {
    std::lock_guard<std::mutex> lock(FLock);
    return bool(FHandler);
  }

 private:
  mutable std::mutex FLock;
  F FHandler;
};

// ---------------------------------------------------------------------------
// One task of the encoder.

class TFFmpeg : public TCustomFFmpeg {
 public:
  explicit TFFmpeg(TCustomEncoder* AParent);
  ~TFFmpeg() override;

  int InputCount() const { return int(Finput_files.size()); }
  // The decoder of input Index, created on demand and owned by the task.
  TFFDecoder* GetDecoder(int Index);
  void SetInputOptions(int Index, const TInputOptions& Options);
  void SetOutputOptions(int Index, const TOutputOptions& Options);
  void ReadInputOptions(int Index, TInputOptions& Options);
  void ReadOutputOptions(int Index, TOutputOptions& Options);
  void ResetInputOptionsAt(int Index);
  void ResetOutputOptionsAt(int Index);

  TCustomEncoder* Parent() const { return FParent; }

 private:
  friend class TCustomEncoder;
  std::vector<std::unique_ptr<TFFDecoder>> FDecoders;
  std::vector<std::unique_ptr<TInputOptions>> FInputOptions;
  std::vector<std::unique_ptr<TOutputOptions>> FOutputOptions;
  // Caller streams served to the libraries ("memory:" names); they outlive
  // every library context that reads or writes through them.
  std::vector<std::unique_ptr<TStreamIO>> FStreamIO;
  TCustomEncoder* FParent;
};

// The task list. A task's index is its position; a slot left empty by a
// task released after its end keeps the other indexes. Slots are shared
// references: a thread that works on a task holds one, so a slot emptied
// meanwhile never frees a task in use. Every member is safe from any thread.
class TFFmpegList {
 public:
  int Add(std::shared_ptr<TFFmpeg> Task);
  // Frees the task (outside the list lock) and removes its slot.
  void Delete(int Index);
  void Clear();
  void Exchange(int I, int J);
  // EListError "List index out of bounds (%d)" outside the list.
  std::shared_ptr<TFFmpeg> GetItem(int Index) const;
  // The slot's task, or nullptr (also outside the list).
  std::shared_ptr<TFFmpeg> Find(int Index) const;
  // Empties the slot holding Task; its index, or -1.
  int Release(const TFFmpeg* Task);
  int IndexOf(const TFFmpeg* Task) const;
  int Count() const;
  // The non-empty slots in index order.
  std::vector<std::shared_ptr<TFFmpeg>> Snapshot() const;

  void PauseAll();
  void ResumeAll();
  void StopAll(bool AWaitForStop);
  void SetPreviewAll(bool Flag);
  void SetPreviewBitmapAll(bool Flag);
  void SetPreviewIntervalAll(int64_t Microseconds);
  void SetReportIntervalAll(int64_t Microseconds);
  void SetReadTimeoutAll(int Ms);
  void SetWriteTimeoutAll(int Ms);

 private:
  mutable std::mutex FLock;
  std::vector<std::shared_ptr<TFFmpeg>> FList;
};

// ---------------------------------------------------------------------------
// The component.

class TCustomEncoder : public TFFBaseComponent {
 public:
  explicit TCustomEncoder(TComponent* AOwner);
  // Shutdown, then frees the tasks.
  ~TCustomEncoder() override;

  // ---- libraries
  bool AVLibLoaded() const;
  // Loads the encoder's library set from APath (empty: the system's), then
  // the QSV dispatcher alone (a warning when it is missing).
  bool LoadAVLib(const String& APath);
  void UnloadAVLib();

  // ---- tasks: an index of 0 or more, or a negative value with LastErrMsg set
  int AddTask(const String& AFileName, PInputOptions AOptions = nullptr);
  int AddTask(const String& AFileName, const String& AOptions, const String& APresets = String());
  // The input is read from AStream (not owned; it must outlive the task).
  int AddTask(TStream* AStream, const String& APrivateData, PInputOptions AOptions);
  int AddTask(TStream* AStream, const String& APrivateData, const String& AOptions,
              const String& APresets = String());
  int AddInput(int ATaskIndex, const String& AFileName, PInputOptions AOptions = nullptr);
  int AddInput(int ATaskIndex, const String& AFileName, const String& AOptions, const String& APresets = String());
  int AddInput(int ATaskIndex, TStream* AStream, const String& APrivateData, PInputOptions AOptions);
  int AddInput(int ATaskIndex, TStream* AStream, const String& APrivateData, const String& AOptions,
               const String& APresets = String());
  int SetOutput(int ATaskIndex, const String& AFileName, POutputOptions AOptions = nullptr);
  int SetOutput(int ATaskIndex, const String& AFileName, const String& AOptions, const String& APresets = String());
  // The output is written to AStream (not owned), which must be seekable for
  // formats that rewrite their header (mp4).
  int SetOutput(int ATaskIndex, TStream* AStream, const String& APrivateData, POutputOptions AOptions);
  int SetOutput(int ATaskIndex, TStream* AStream, const String& APrivateData, const String& AOptions,
                const String& APresets = String());

  bool InitTask(int ATaskIndex);
  bool SendFilterCommand(int ATaskIndex, const String& Target, const String& Cmd, const String& Arg, int Flags);
  bool QueueFilterCommand(int ATaskIndex, const String& Target, const String& Cmd, const String& Arg, int Flags,
                          double Pts);

  void ClearTasks();
  void RemoveTask(int ATaskIndex);
  void Exchange(int ATaskIndex1, int ATaskIndex2);
  int GetTaskIndex(const TFFmpeg* AFFmpeg) const { return FFFmpegList.IndexOf(AFFmpeg); }

  // ---- read access (nullptr, -1 or a reset record for an empty slot)
  TFFmpeg* GetFFmpegs(int Index) const;
  int GetTasksCount() const { return FFFmpegList.Count(); }
  int TasksCount() const { return GetTasksCount(); }
  int GetInputCount(int TaskIndex) const;
  TFFDecoder* GetDecoders(int TaskIndex, int FileIndex) const;
  AVFormatContext* GetInputFiles(int TaskIndex, int FileIndex) const;
  AVFormatContext* GetOutputFiles(int TaskIndex, int FileIndex) const;
  TInputOptions GetInputOptions(int TaskIndex, int FileIndex) const;
  TOutputOptions GetOutputOptions(int TaskIndex, int FileIndex) const;

  // ---- the queue
  // AThreadCount > 0: at most that many tasks at once, each on its worker;
  // 0 or less: one after the other on this thread, returning at the end.
  void Start(int AThreadCount);
  void Pause();
  void Resume();
  // No more pending tasks; running ones are stopped, never-run ones report
  // their end; then the end of the queue.
  void Stop(bool AWaitForStop = false);

  // ---- properties
  const String& LastErrMsg() const { return FLastErrMsg; }
  TFFDecoder* Decoder() const { return FDecoder.get(); }
  bool Working() const { return FWorking.load(); }
  bool Paused() const { return FPaused.load(); }
  bool Terminated() const { return FTerminated.load(); }
  void* UserData = nullptr;
  std::atomic<bool> AutoReleaseTask{false};
  bool HaltOnInvalidOption = true;

  bool GetPreview() const { return FPreview; }
  void SetPreview(bool Value);
  bool GetPreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool Value);
  int GetPreviewInterval() const { return FPreviewInterval; }
  void SetPreviewInterval(int Value);  // ms, 10 at least
  int GetProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int Value);  // ms, 10 at least
  TThreadPriority ThreadPriority = tpNormal;
  bool GetTriggerEventInMainThread() const { return FTriggerEventInMainThread.load(); }
  void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread.store(Value); }
  void SetReadTimeout(int Value) override;
  void SetWriteTimeout(int Value) override;

  // ---- events (may be set or detached at any time; a handler detached on
  // the main thread is not called on the main thread afterwards)
  TSharedEvent<TEncAudioHookEvent> OnAudioInputHook;
  TSharedEvent<TEncAudioHookEvent> OnAudioOutputHook;
  TSharedEvent<TBeforeFindStreamInfoEvent> OnBeforeFindStreamInfo;
  TSharedEvent<TEncPreviewBitmapEvent> OnPreviewBitmap;
  TSharedEvent<TEncProgressEvent> OnProgress;
  TSharedEvent<TTerminateEvent> OnTerminate;
  TSharedEvent<TEncVideoHookEvent> OnVideoInputHook;
  TSharedEvent<TEncVideoHookEvent> OnVideoOutputHook;
  TSharedEvent<TEncFrameHookEvent> OnFrameInputHook;
  TSharedEvent<TEncFrameHookEvent> OnFrameOutputHook;

 protected:
  // Detaches every event, then stops and frees every task (waiting for their
  // threads) and ends the delivery queue; later notices are dropped. Safe to repeat. The dispatchers are virtual:
  // a derived class calls it first in its destructor, so that no worker
  // calls into an object that is being torn down.
  void Shutdown();

  // "Cannot %s while working." while working.
  void CheckNotWorking(const String& Operation) const;

  // Dispatchers the tasks' events are wired to.
  virtual void DoVideoInputHook(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS, bool& AUpdate,
                                bool& AStopHook);
  virtual void DoVideoOutputHook(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS, bool& AUpdate,
                                 bool& AStopHook);
  virtual void DoFrameInputHook(TFFmpeg* Sender, TAVPicture* APicture, AVPixelFormat APixFmt, int AFrameNumber,
                                int AWidth, int AHeight, int64_t APTS);
  virtual void DoFrameOutputHook(TFFmpeg* Sender, TAVPicture* APicture, AVPixelFormat APixFmt, int AFrameNumber,
                                 int AWidth, int AHeight, int64_t APTS);
  virtual void DoPreviewBitmap(TFFmpeg* Sender, TBitmap* ABitmap, int AFrameNumber, int64_t APTS);
  virtual void DoProgress(TFFmpeg* Sender, int AFileIndex, int AFrameNumber, int AFPS, float AQuality,
                          float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration, int64_t ATotalDuration);
  virtual void DoTaskTerminate(TFFmpeg* Sender);
  void DoAudioInputHook(TFFmpeg* Sender, int64_t APTS, AVFrame* AFrame, int ASize, int ASampleRate, int AChannels,
                        AVSampleFormat ASampleFormat);
  void DoAudioOutputHook(TFFmpeg* Sender, int64_t APTS, AVFrame* AFrame, int ASize, int ASampleRate,
                         int AChannels, AVSampleFormat ASampleFormat);
  void DoBeforeFindStreamInfo(TFFmpeg* Sender, AVFormatContext* AFormatContext);

 private:
  struct TNotice {
    TTerminateInfo Info;
    std::weak_ptr<TFFmpeg> Task;  // released after its notice with AutoReleaseTask
  };
  class TDoTerminateThread;

  // The shared steps of the overloads.
  int AddInputTo(const std::shared_ptr<TFFmpeg>& Task, const String& AFileName, PInputOptions AOptions);
  int SetOutputOf(TFFmpeg* Task, const String& AFileName, POutputOptions AOptions);
  // The index of a task still to run or running (the asking one included)
  // whose output file is AFileName, or -1.
  int OutputHolder(const String& AFileName) const;
  std::shared_ptr<TFFmpeg> ReleasedCheck(int ATaskIndex, const String& Operation);
  void RefreshTaskSettings(TFFmpeg* Task);
  void WireTask(TFFmpeg* Task);

  // Queue steps, under FTerminateLock.
  void StartNextTask();
  void NotifyQueueFinished();
  // Hands a notice to the delivery queue (its thread started on demand).
  void PostNotice(TNotice Notice);
  void DeliverNotice(const TNotice& Notice);
  void StopDelivery();
  // Runs a handler of Task's event on the main thread or here.
  void RunHandler(const TFFmpeg* Task, bool InMainThread, const std::function<void()>& Handler);

  String FLastErrMsg;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FPreviewInterval = 100;
  int FProgressInterval = 500;
  std::atomic<bool> FTriggerEventInMainThread{true};
  std::unique_ptr<TFFDecoder> FDecoder;
  TFFmpegList FFFmpegList;

  // Queue state (FTerminateLock).
  int FCompleteTasks = 0;
  int FCurrentTask = -1;
  int FPendingTasks = 0;
  bool FThreadMode = false;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FWorking{false};
  std::atomic<bool> FPaused{false};
  std::atomic<bool> FClosing{false};

  TProgressInfo FProgressInfo;
  TTerminateInfo FTerminateInfo;
  TPreviewInfo FPreviewInfo;
  THookInfo FVideoHookInfo;
  TFrameHookInfo FFrameHookInfo;
  TFFmpeg* FSender = nullptr;
  AVFormatContext* FAVFormatContext = nullptr;

  TCriticalSection FAudioHookLock;
  TCriticalSection FPreviewLock;
  TCriticalSection FProgressLock;
  TCriticalSection FTerminateLock;  // re-entrant: a task without output ends inside Start
  TCriticalSection FVideoHookLock;
  TCriticalSection FFrameHookLock;
  TCriticalSection FFindStreamLock;

  // The delivery queue: notices in the order their tasks ended.
  std::mutex FDeliveryLock;
  std::condition_variable FDeliveryWake;
  std::deque<TNotice> FNotices;
  bool FDeliveryQuit = false;
  std::unique_ptr<TDoTerminateThread> FDeliveryThread;
};

// The published form the application places on its window.
class TRAZeredov final : public TCustomEncoder {
 public:
  using TCustomEncoder::TCustomEncoder;
  ~TRAZeredov() override { Shutdown(); }
};
