#include "media/FFEncode.h"

#include "media/FFEncodeStreams.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegOptParser.h"
#include "media/UnicodeProtocol.h"

void ResetInputOptions(TInputOptions& Options) { Options = TInputOptions(); }
void ResetOutputOptions(TOutputOptions& Options) { Options = TOutputOptions(); }

namespace {

// Grows Slots to Index + 1 and gives the record at Index, a reset one when
// the slot was empty.
template <typename T>
T& RecordAt(std::vector<std::unique_ptr<T>>& Slots, int Index) {
  if (Index < 0) throw EListError(Format("List index out of bounds (%d)", {Index}));
  if (int(Slots.size()) <= Index) Slots.resize(size_t(Index) + 1);
  if (!Slots[size_t(Index)]) Slots[size_t(Index)] = std::make_unique<T>();
  return *Slots[size_t(Index)];
}

// The hook switches of the output option text, and the names the option
// table knows them by.
struct THookSwitch {
  const char* Lower;
  const char* Row;
  bool TOutputOptions::*Field;
};
constexpr THookSwitch HookSwitches[] = {
    {" -audioinputhook ", " -AudioInputHook ", &TOutputOptions::AudioInputHook},
    {" -audiooutputhook ", " -AudioOutputHook ", &TOutputOptions::AudioOutputHook},
    {" -videoinputhook ", " -VideoInputHook ", &TOutputOptions::VideoInputHook},
    {" -videooutputhook ", " -VideoOutputHook ", &TOutputOptions::VideoOutputHook},
    {" -frameinputhook ", " -FrameInputHook ", &TOutputOptions::FrameInputHook},
    {" -frameoutputhook ", " -FrameOutputHook ", &TOutputOptions::FrameOutputHook},
    {" -join ", " -Join ", &TOutputOptions::Join},
};

// Text with a blank before and after, so that every switch is a whole word.
String Padded(std::string_view Text) {
  String text;
  text.reserve(Text.size() + 2);
  text.push_back(' ');
  text.append(Text);
  text.push_back(' ');
  return text;
}

// The option text with each hook switch spelled as its table row.
String NormaliseHookSwitches(const String& Options) {
  String text = Padded(Options);
  for (const THookSwitch& s : HookSwitches) text = StringReplace(text, s.Lower, s.Row, true, true);
  return Trim(text);
}

// The record the text overloads describe an input with.
TInputOptions TextInputOptions(const String& AFileName, const String& AOptions, const String& APresets) {
  TInputOptions options;
  options.FileName = AFileName;
  options.Options = AOptions;
  options.Presets = APresets;
  return options;
}

// An options context for one file; released however the opening ends.
class TScopedOptionsContext {
 public:
  explicit TScopedOptionsContext(TCustomFFmpegOpt& Task) : FTask(Task) { InitOptionsContext(FTask, FContext); }
  ~TScopedOptionsContext() { UninitOptionsContext(FTask, FContext); }
  TOptionsContext* get() { return &FContext; }

 private:
  TCustomFFmpegOpt& FTask;
  TOptionsContext FContext;
};

}  // namespace

// ---------------------------------------------------------------------------
// TFFmpeg

TFFmpeg::TFFmpeg(TCustomEncoder* AParent) : FParent(AParent) {}

TFFmpeg::~TFFmpeg() {
  // The worker uses the stream bridges until it has ended: wait for it
  // before they go. The events stay until the job's own destructor has
  // waited for every thread that may still fire them.
  Stop(true);
  // The decoders only borrow the inputs; the stream bridges must outlive
  // every library context that reads or writes through them.
  FDecoders.clear();
  try {
    Cleanup();
  } catch (const std::exception& e) {
    GlobalLogger()->Log(this, llError, String("Error while freeing a task: ") + e.what());
  }
}

TFFDecoder* TFFmpeg::GetDecoder(int Index) {
  if (Index < 0) throw EListError(Format("List index out of bounds (%d)", {Index}));
  if (int(FDecoders.size()) <= Index) FDecoders.resize(size_t(Index) + 1);
  if (!FDecoders[size_t(Index)]) FDecoders[size_t(Index)] = std::make_unique<TFFDecoder>(nullptr);
  return FDecoders[size_t(Index)].get();
}

void TFFmpeg::SetInputOptions(int Index, const TInputOptions& Options) { RecordAt(FInputOptions, Index) = Options; }
void TFFmpeg::SetOutputOptions(int Index, const TOutputOptions& Options) {
  RecordAt(FOutputOptions, Index) = Options;
}
void TFFmpeg::ReadInputOptions(int Index, TInputOptions& Options) { Options = RecordAt(FInputOptions, Index); }
void TFFmpeg::ReadOutputOptions(int Index, TOutputOptions& Options) { Options = RecordAt(FOutputOptions, Index); }
void TFFmpeg::ResetInputOptionsAt(int Index) { ResetInputOptions(RecordAt(FInputOptions, Index)); }
void TFFmpeg::ResetOutputOptionsAt(int Index) { ResetOutputOptions(RecordAt(FOutputOptions, Index)); }

// ---------------------------------------------------------------------------
// TFFmpegList

int TFFmpegList::Add(std::shared_ptr<TFFmpeg> Task) {
  std::lock_guard<std::mutex> lock(FLock);
  FList.push_back(std::move(Task));
  return int(FList.size()) - 1;
}

void TFFmpegList::Delete(int Index) {
  std::shared_ptr<TFFmpeg> task;
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (Index < 0 || Index >= int(FList.size())) throw EListError(Format("List index out of bounds (%d)", {Index}));
    task = std::move(FList[size_t(Index)]);
    FList.erase(FList.begin() + Index);
  }
  // Freed here, outside the lock: a task waits for its worker, which may be
  // looking up its own index.
}

void TFFmpegList::Clear() {
  std::vector<std::shared_ptr<TFFmpeg>> tasks;
  {
    std::lock_guard<std::mutex> lock(FLock);
    tasks.swap(FList);
  }
  while (!tasks.empty()) tasks.pop_back();
}

void TFFmpegList::Exchange(int I, int J) {
  std::lock_guard<std::mutex> lock(FLock);
  for (int index : {I, J})
    if (index < 0 || index >= int(FList.size())) throw EListError(Format("List index out of bounds (%d)", {index}));
  std::swap(FList[size_t(I)], FList[size_t(J)]);
}

std::shared_ptr<TFFmpeg> TFFmpegList::GetItem(int Index) const {
  std::lock_guard<std::mutex> lock(FLock);
  if (Index < 0 || Index >= int(FList.size())) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return FList[size_t(Index)];
}

std::shared_ptr<TFFmpeg> TFFmpegList::Find(int Index) const {
  std::lock_guard<std::mutex> lock(FLock);
  return Index >= 0 && Index < int(FList.size()) ? FList[size_t(Index)] : nullptr;
}

int TFFmpegList::Release(const TFFmpeg* Task) {
  std::shared_ptr<TFFmpeg> task;
  int index = -1;
  {
    std::lock_guard<std::mutex> lock(FLock);
    for (size_t i = 0; i < FList.size(); ++i)
      if (FList[i].get() == Task) {
        task = std::move(FList[i]);
        index = int(i);
        break;
      }
  }
  return index;
}

int TFFmpegList::IndexOf(const TFFmpeg* Task) const {
  std::lock_guard<std::mutex> lock(FLock);
  for (size_t i = 0; i < FList.size(); ++i)
    if (FList[i].get() == Task) return int(i);
  return -1;
}

int TFFmpegList::Count() const {
  std::lock_guard<std::mutex> lock(FLock);
  return int(FList.size());
}

std::vector<std::shared_ptr<TFFmpeg>> TFFmpegList::Snapshot() const {
  std::lock_guard<std::mutex> lock(FLock);
  std::vector<std::shared_ptr<TFFmpeg>> tasks;
  for (const auto& t : FList)
    if (t) tasks.push_back(t);
  return tasks;
}

void TFFmpegList::PauseAll() {
  for (const auto& t : Snapshot()) t->Pause();
}
void TFFmpegList::ResumeAll() {
  for (const auto& t : Snapshot()) t->Resume();
}
void TFFmpegList::StopAll(bool AWaitForStop) {
  for (const auto& t : Snapshot()) t->StopOrTerminate(AWaitForStop);
}

namespace {
void SwitchPostHook(TFFmpeg& Task, TPostHook Hook, bool Flag) {
  TPostHooks hooks = Task.GetPostHooks();
  if (Flag)
    hooks.Include(Hook);
  else
    hooks.Exclude(Hook);
  Task.ChangePostHooks(hooks);
}
}  // namespace

void TFFmpegList::SetPreviewAll(bool Flag) {
  for (const auto& t : Snapshot()) SwitchPostHook(*t, phPreview, Flag);
}
void TFFmpegList::SetPreviewBitmapAll(bool Flag) {
  for (const auto& t : Snapshot()) SwitchPostHook(*t, phBitmap, Flag);
}
void TFFmpegList::SetPreviewIntervalAll(int64_t Microseconds) {
  for (const auto& t : Snapshot()) t->FPreviewInterval = Microseconds;
}
void TFFmpegList::SetReportIntervalAll(int64_t Microseconds) {
  for (const auto& t : Snapshot()) t->FReportInterval = Microseconds;
}
void TFFmpegList::SetReadTimeoutAll(int Ms) {
  for (const auto& t : Snapshot()) t->FReadTimeout.store(Ms);
}
void TFFmpegList::SetWriteTimeoutAll(int Ms) {
  for (const auto& t : Snapshot()) t->FWriteTimeout.store(Ms);
}

// ---------------------------------------------------------------------------
// Construction and libraries

bool TCustomEncoder::AVLibLoaded() const { return FFLoader().Loaded(EncoderLibraries); }

bool TCustomEncoder::LoadAVLib(const String& APath) {
  FFLoader().SetLibraryPath(APath);
  if (!FFLoader().Load(EncoderLibraries)) {
    FLastErrMsg = FFLoader().LastErrMsg();
    return false;
  }
  if (!FFLoader().Load(libMFX)) GlobalLogger()->Log(this, llWarning, FFLoader().LastErrMsg());
  return true;
}

void TCustomEncoder::UnloadAVLib() { FFLoader().Unload(EncoderLibraries); }

// ---------------------------------------------------------------------------
// Task operations

void TCustomEncoder::CheckNotWorking(const String& Operation) const {
  if (FWorking.load()) throw Exception(Format("Cannot %s while working.", {Operation}));
}

void TCustomEncoder::RefreshTaskSettings(TFFmpeg* Task) {
  Task->FLastErrMsg.clear();
  Task->HaltOnInvalidOption = HaltOnInvalidOption;
  Task->FReadTimeout.store(GetReadTimeout());
  Task->FWriteTimeout.store(GetWriteTimeout());
}

void TCustomEncoder::WireTask(TFFmpeg* Task) {
  Task->FOnBeforeFindStreamInfo = [this](TObject* Sender, AVFormatContext* Ctx) {
    DoBeforeFindStreamInfo(static_cast<TFFmpeg*>(Sender), Ctx);
  };
  Task->FOnPreviewBitmap = [this](TObject* Sender, TBitmap* Bitmap, int FrameNumber, int64_t PTS) {
    DoPreviewBitmap(static_cast<TFFmpeg*>(Sender), Bitmap, FrameNumber, PTS);
  };
  TPostHooks hooks;
  if (FPreview) hooks.Include(phPreview);
  if (FPreviewBitmap) hooks.Include(phBitmap);
  Task->ChangePostHooks(hooks);
}

std::shared_ptr<TFFmpeg> TCustomEncoder::ReleasedCheck(int ATaskIndex, const String& Operation) {
  CheckNotWorking(Operation);
  std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(ATaskIndex);
  if (!task) FLastErrMsg = Format("The task #%d had been released.", {ATaskIndex});
  return task;
}

int TCustomEncoder::AddTask(const String& AFileName, PInputOptions AOptions) {
  if (!AVLibLoaded()) throw Exception("FFmpeg libraries not loaded.");
  CheckNotWorking("AddTask");
  std::shared_ptr<TFFmpeg> task;
  try {
    task = std::make_shared<TFFmpeg>(this);
    task->FPreviewInterval = int64_t(FPreviewInterval) * 1000;
    task->FReportInterval = int64_t(FProgressInterval) * 1000;
    BuildOptionTable(*task);
    WireTask(task.get());
    RefreshTaskSettings(task.get());
  } catch (const std::exception& e) {
    FLastErrMsg = e.what();
    return -1;
  }
  const int ret = AddInputTo(task, AFileName, AOptions);
  if (ret < 0) return ret;
  task->FOnProgress = [this](TObject* Sender, int FileIndex, int FrameNumber, int FPS, float Quality, float BitRate,
                             int64_t Size, int64_t Duration, int64_t Total) {
    DoProgress(static_cast<TFFmpeg*>(Sender), FileIndex, FrameNumber, FPS, Quality, BitRate, Size, Duration, Total);
  };
  task->FOnTerminate = [this](TObject* Sender) { DoTaskTerminate(static_cast<TFFmpeg*>(Sender)); };
  return FFFmpegList.Add(std::move(task));
}

int TCustomEncoder::AddTask(const String& AFileName, const String& AOptions, const String& APresets) {
  TInputOptions options = TextInputOptions(AFileName, AOptions, APresets);
  return AddTask(AFileName, &options);
}

// The input (or output) through a caller's stream: the opening below sees
// the stream's "memory:" name and reads through the bridge instead.
int TCustomEncoder::AddTask(TStream* AStream, const String& APrivateData, PInputOptions AOptions) {
  TStreamNameScope scope(AStream, APrivateData, false);
  return AddTask(scope.Name(), AOptions);
}

int TCustomEncoder::AddTask(TStream* AStream, const String& APrivateData, const String& AOptions,
                            const String& APresets) {
  TStreamNameScope scope(AStream, APrivateData, false);
  return AddTask(scope.Name(), AOptions, APresets);
}

int TCustomEncoder::AddInputTo(const std::shared_ptr<TFFmpeg>& Task, const String& AFileName,
                               PInputOptions AOptions) {
  const int index = Task->InputCount();
  const bool newTask = index == 0 && FFFmpegList.IndexOf(Task.get()) < 0;
  int ret;
  try {
    String options, presets;
    if (AOptions) {
      if (AOptions->FileName.empty()) AOptions->FileName = AFileName;
      Task->SetInputOptions(index, *AOptions);
      options = AOptions->Options;
      presets = AOptions->Presets;
    } else {
      Task->ResetInputOptionsAt(index);
    }
    TScopedOptionsContext o(*Task);
    ret = OpenInputFile(*Task, o.get(), options, AFileName, presets);
    if (ret >= 0)
      if (std::unique_ptr<TStreamIO> bridge = TakeOpenedStreamIO(AFileName)) Task->FStreamIO.push_back(std::move(bridge));
  } catch (const std::exception& e) {
    if (!newTask) Task->ResetInputOptionsAt(index);
    FLastErrMsg = Task->FLastErrMsg.empty() ? String(e.what()) : Task->FLastErrMsg;
    return -1;
  }
  if (ret < 0) {
    FLastErrMsg = Task->FLastErrMsg;
    if (!newTask) Task->ResetInputOptionsAt(index);
    return ret;
  }
  // The caller inspects the input through the task's decoder of that index.
  Task->GetDecoder(ret)->SetFileHandle(Task->Finput_files[size_t(ret)]->ctx.get());
  return ret;
}

int TCustomEncoder::AddInput(int ATaskIndex, const String& AFileName, PInputOptions AOptions) {
  std::shared_ptr<TFFmpeg> task = ReleasedCheck(ATaskIndex, "AddInput");
  if (!task) return -1;
  RefreshTaskSettings(task.get());
  return AddInputTo(task, AFileName, AOptions);
}

int TCustomEncoder::AddInput(int ATaskIndex, const String& AFileName, const String& AOptions,
                             const String& APresets) {
  TInputOptions options = TextInputOptions(AFileName, AOptions, APresets);
  return AddInput(ATaskIndex, AFileName, &options);
}

int TCustomEncoder::AddInput(int ATaskIndex, TStream* AStream, const String& APrivateData, PInputOptions AOptions) {
  TStreamNameScope scope(AStream, APrivateData, false);
  return AddInput(ATaskIndex, scope.Name(), AOptions);
}

int TCustomEncoder::AddInput(int ATaskIndex, TStream* AStream, const String& APrivateData, const String& AOptions,
                             const String& APresets) {
  TStreamNameScope scope(AStream, APrivateData, false);
  return AddInput(ATaskIndex, scope.Name(), AOptions, APresets);
}

int TCustomEncoder::SetOutput(int ATaskIndex, const String& AFileName, POutputOptions AOptions) {
  std::shared_ptr<TFFmpeg> task = ReleasedCheck(ATaskIndex, "SetOutput");
  if (!task) return -1;
  return SetOutputOf(task.get(), AFileName, AOptions);
}

int TCustomEncoder::OutputHolder(const String& AFileName) const {
  const String path = TOutputTarget::LocalPath(ToLibraryFileName(AFileName).c_str());
  if (path.empty()) return -1;
  for (int i = 0; i < FFFmpegList.Count(); ++i) {
    const std::shared_ptr<TFFmpeg> other = FFFmpegList.Find(i);
    // The task itself too: a second output of the same name would replace its first.
    if (!other || other->Terminated()) continue;
    for (const auto& of : other->Foutput_files)
      if (of->target && of->target->Kind() == TOutputTarget::TKind::Replace && of->target->Refers(path)) return i;
  }
  return -1;
}

int TCustomEncoder::SetOutputOf(TFFmpeg* Task, const String& AFileName, POutputOptions AOptions) {
  const int index = int(Task->Foutput_files.size());
  // Two outputs writing one file, of two tasks or of one, would each replace the other's result.
  if (const int holder = OutputHolder(AFileName); holder >= 0) {
    FLastErrMsg = Format("The output file \"%s\" is already the output of task #%d.", {AFileName, holder});
    return -1;
  }
  int ret;
  try {
    RefreshTaskSettings(Task);
    String options, presets;
    bool join = false;
    if (AOptions) {
      if (AOptions->FileName.empty()) AOptions->FileName = AFileName;
      Task->SetOutputOptions(index, *AOptions);
      const TOutputOptions& r = *AOptions;
      if (r.AudioInputHook)
        Task->OnInputAudioHook = [this](TObject* S, int64_t P, AVFrame* F, int Z, int R, int C, AVSampleFormat Fmt) {
          DoAudioInputHook(static_cast<TFFmpeg*>(S), P, F, Z, R, C, Fmt);
        };
      if (r.AudioOutputHook)
        Task->OnOutputAudioHook = [this](TObject* S, int64_t P, AVFrame* F, int Z, int R, int C, AVSampleFormat Fmt) {
          DoAudioOutputHook(static_cast<TFFmpeg*>(S), P, F, Z, R, C, Fmt);
        };
      if (r.VideoInputHook)
        Task->OnInputVideoHook = [this](TObject* S, TBitmap* B, int N, int64_t P, bool& U, bool& H) {
          DoVideoInputHook(static_cast<TFFmpeg*>(S), B, N, P, U, H);
        };
      if (r.VideoOutputHook)
        Task->OnOutputVideoHook = [this](TObject* S, TBitmap* B, int N, int64_t P, bool& U, bool& H) {
          DoVideoOutputHook(static_cast<TFFmpeg*>(S), B, N, P, U, H);
        };
      Task->SetVideoHookBitsPixel(r.VideoHookBitsPixel);
      if (r.FrameInputHook)
        Task->OnInputFrameHook = [this](TObject* S, TAVPicture* Pic, AVPixelFormat Fmt, int N, int W, int H,
                                        int64_t P) { DoFrameInputHook(static_cast<TFFmpeg*>(S), Pic, Fmt, N, W, H, P); };
      if (r.FrameOutputHook)
        Task->OnOutputFrameHook = [this](TObject* S, TAVPicture* Pic, AVPixelFormat Fmt, int N, int W, int H,
                                         int64_t P) {
          DoFrameOutputHook(static_cast<TFFmpeg*>(S), Pic, Fmt, N, W, H, P);
        };
      options = r.Options;
      presets = r.Presets;
      join = r.Join;
    } else {
      Task->ResetOutputOptionsAt(index);
    }
    TScopedOptionsContext o(*Task);
    ret = OpenOutputFile(*Task, o.get(), NormaliseHookSwitches(options), join, AFileName, presets);
    if (ret >= 0) {
      if (std::unique_ptr<TStreamIO> bridge = CreateOutputStreamIO(AFileName)) {
        Task->Foutput_files[size_t(ret)]->ctx->pb = bridge->Context();
        bridge->HandOver();
        Task->FStreamIO.push_back(std::move(bridge));
      }
    }
  } catch (const std::exception& e) {
    FLastErrMsg = Task->FLastErrMsg.empty() ? String(e.what()) : Task->FLastErrMsg + "\r\n" + e.what();
    Task->ResetOutputOptionsAt(index);
    return -1;
  }
  if (ret < 0) {
    FLastErrMsg = Task->FLastErrMsg;
    Task->ResetOutputOptionsAt(index);
  }
  return ret;
}

int TCustomEncoder::SetOutput(int ATaskIndex, const String& AFileName, const String& AOptions,
                              const String& APresets) {
  TOutputOptions options;
  options.FileName = AFileName;
  options.Options = AOptions;
  options.Presets = APresets;
  const String text = Padded(LowerCase(AOptions));
  for (const THookSwitch& s : HookSwitches) options.*s.Field = text.find(s.Lower) != String::npos;
  return SetOutput(ATaskIndex, AFileName, &options);
}

int TCustomEncoder::SetOutput(int ATaskIndex, TStream* AStream, const String& APrivateData,
                              POutputOptions AOptions) {
  TStreamNameScope scope(AStream, APrivateData, true);
  return SetOutput(ATaskIndex, scope.Name(), AOptions);
}

int TCustomEncoder::SetOutput(int ATaskIndex, TStream* AStream, const String& APrivateData, const String& AOptions,
                              const String& APresets) {
  TStreamNameScope scope(AStream, APrivateData, true);
  return SetOutput(ATaskIndex, scope.Name(), AOptions, APresets);
}

bool TCustomEncoder::InitTask(int ATaskIndex) {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.Find(ATaskIndex);
  return task && task->InitTranscode();
}

bool TCustomEncoder::SendFilterCommand(int ATaskIndex, const String& Target, const String& Cmd, const String& Arg,
                                       int Flags) {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.Find(ATaskIndex);
  return task && task->InitTranscode() && task->SendFilterCommand(Target, Cmd, Arg, Flags);
}

bool TCustomEncoder::QueueFilterCommand(int ATaskIndex, const String& Target, const String& Cmd, const String& Arg,
                                        int Flags, double Pts) {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.Find(ATaskIndex);
  return task && task->InitTranscode() && task->QueueFilterCommand(Target, Cmd, Arg, Flags, Pts);
}

void TCustomEncoder::ClearTasks() {
  if (FWorking.load() && !FTerminated.load()) throw Exception("Cannot ClearTasks while working.");
  FFFmpegList.Clear();
  TLock lock(FTerminateLock);
  FLastErrMsg.clear();
  FCompleteTasks = 0;
  FCurrentTask = -1;
  FPendingTasks = 0;
  FTerminated.store(false);
  FThreadMode = false;
  FWorking.store(false);
  FPaused.store(false);
}

void TCustomEncoder::RemoveTask(int ATaskIndex) {
  CheckNotWorking("RemoveTask");
  FFFmpegList.Delete(ATaskIndex);
}

void TCustomEncoder::Exchange(int ATaskIndex1, int ATaskIndex2) {
  CheckNotWorking("Exchange");
  FFFmpegList.Exchange(ATaskIndex1, ATaskIndex2);
}

// ---------------------------------------------------------------------------
// Read access

TFFmpeg* TCustomEncoder::GetFFmpegs(int Index) const { return FFFmpegList.GetItem(Index).get(); }

int TCustomEncoder::GetInputCount(int TaskIndex) const {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex);
  return task ? task->InputCount() : -1;
}

TFFDecoder* TCustomEncoder::GetDecoders(int TaskIndex, int FileIndex) const {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex);
  return task ? task->GetDecoder(FileIndex) : nullptr;
}

AVFormatContext* TCustomEncoder::GetInputFiles(int TaskIndex, int FileIndex) const {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex);
  if (!task || FileIndex < 0 || FileIndex >= int(task->Finput_files.size())) return nullptr;
  return task->Finput_files[size_t(FileIndex)]->ctx.get();
}

AVFormatContext* TCustomEncoder::GetOutputFiles(int TaskIndex, int FileIndex) const {
  std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex);
  return task ? task->GetOutputFormatContext(FileIndex) : nullptr;
}

TInputOptions TCustomEncoder::GetInputOptions(int TaskIndex, int FileIndex) const {
  TInputOptions options;
  if (std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex)) task->ReadInputOptions(FileIndex, options);
  return options;
}

TOutputOptions TCustomEncoder::GetOutputOptions(int TaskIndex, int FileIndex) const {
  TOutputOptions options;
  if (std::shared_ptr<TFFmpeg> task = FFFmpegList.GetItem(TaskIndex)) task->ReadOutputOptions(FileIndex, options);
  return options;
}

// ---------------------------------------------------------------------------
// Setters pushed to every task

void TCustomEncoder::SetPreview(bool Value) {
  FFFmpegList.SetPreviewAll(Value);
  FPreview = Value;
}

void TCustomEncoder::SetPreviewBitmap(bool Value) {
  FFFmpegList.SetPreviewBitmapAll(Value);
  FPreviewBitmap = Value;
}

void TCustomEncoder::SetPreviewInterval(int Value) {
  FPreviewInterval = Value <= 10 ? 10 : Value;
  FFFmpegList.SetPreviewIntervalAll(int64_t(FPreviewInterval) * 1000);
}

void TCustomEncoder::SetProgressInterval(int Value) {
  FProgressInterval = Value <= 10 ? 10 : Value;
  FFFmpegList.SetReportIntervalAll(int64_t(FProgressInterval) * 1000);
}

void TCustomEncoder::SetReadTimeout(int Value) {
  TFFBaseComponent::SetReadTimeout(Value);
  FFFmpegList.SetReadTimeoutAll(Value);
}

void TCustomEncoder::SetWriteTimeout(int Value) {
  TFFBaseComponent::SetWriteTimeout(Value);
  FFFmpegList.SetWriteTimeoutAll(Value);
}
