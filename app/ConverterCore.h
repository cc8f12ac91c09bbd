#pragma once
// What the main window does with its task list, apart from its controls: the
// rows with their output folders and files, the encoder calls that go with
// them, the states of the queue buttons, the log, and where dropped files go.
// The window implements IConverterView and IConverterPrompts and forwards the
// user's commands and the engine's events here; tests drive it with fakes.
//
// Invariant: row i, encoder task i, FFolderList[i] and FOutFileList[i]
// describe the same conversion. Every operation adds or removes all of them
// at the same index, also when one of its steps fails.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "filesearch/FindFile.h"
#include "media/FFEncode.h"
#include "platform/rtl/Classes.h"

// The encoder as the main window uses it.
class IConverterEngine {
 public:
  virtual ~IConverterEngine() = default;
  virtual bool AVLibLoaded() = 0;
  virtual bool LoadAVLib(const String& APath) = 0;
  virtual int AddTask(const String& AFileName, TInputOptions& AOptions) = 0;
  virtual int SetOutput(int ATaskIndex, const String& AFileName, TOutputOptions& AOptions) = 0;
  virtual void RemoveTask(int ATaskIndex) = 0;
  virtual void ClearTasks() = 0;
  virtual void Start(int AThreadCount) = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual void Stop(bool AWaitForStop) = 0;
  virtual bool Working() = 0;
  virtual void SetPreview(bool Value) = 0;
  virtual void SetThreadPriority(TThreadPriority Value) = 0;
  virtual String LastErrMsg() = 0;
  // Attaches (or, with empty handlers, detaches) the progress and terminate
  // events, which the engine raises on the main thread.
  virtual void SetEvents(TEncProgressEvent OnProgress, TTerminateEvent OnTerminate) = 0;
};

// The real encoder.
class TEncoderEngine : public IConverterEngine {
 public:
  explicit TEncoderEngine(TCustomEncoder& Encoder) : FEncoder(Encoder) {}
  bool AVLibLoaded() override { return FEncoder.AVLibLoaded(); }
  bool LoadAVLib(const String& APath) override { return FEncoder.LoadAVLib(APath); }
  int AddTask(const String& AFileName, TInputOptions& AOptions) override {
    return FEncoder.AddTask(AFileName, &AOptions);
  }
  int SetOutput(int ATaskIndex, const String& AFileName, TOutputOptions& AOptions) override {
    return FEncoder.SetOutput(ATaskIndex, AFileName, &AOptions);
  }
  void RemoveTask(int ATaskIndex) override { FEncoder.RemoveTask(ATaskIndex); }
  void ClearTasks() override { FEncoder.ClearTasks(); }
  void Start(int AThreadCount) override { FEncoder.Start(AThreadCount); }
  void Pause() override { FEncoder.Pause(); }
  void Resume() override { FEncoder.Resume(); }
  void Stop(bool AWaitForStop) override { FEncoder.Stop(AWaitForStop); }
  bool Working() override { return FEncoder.Working(); }
  void SetPreview(bool Value) override { FEncoder.SetPreview(Value); }
  void SetThreadPriority(TThreadPriority Value) override { FEncoder.ThreadPriority = Value; }
  String LastErrMsg() override { return FEncoder.LastErrMsg(); }
  void SetEvents(TEncProgressEvent OnProgress, TTerminateEvent OnTerminate) override {
    FEncoder.OnProgress = std::move(OnProgress);
    FEncoder.OnTerminate = std::move(OnTerminate);
  }

 private:
  TCustomEncoder& FEncoder;
};

// The inspection decoder as the main window uses it: open one file, tell its
// duration and size, close it.
class IMediaInspector {
 public:
  virtual ~IMediaInspector() = default;
  virtual bool LoadFile(const String& AFileName) = 0;
  virtual void CloseFile() = 0;
  virtual int64_t Duration() = 0;  // microseconds, not above 0 when unknown
  virtual int64_t FileSize() = 0;
  virtual String LastErrMsg() = 0;
};

class TDecoderInspector : public IMediaInspector {
 public:
  explicit TDecoderInspector(TFFDecoder& Decoder) : FDecoder(Decoder) {}
  bool LoadFile(const String& AFileName) override { return FDecoder.LoadFile(AFileName); }
  void CloseFile() override { FDecoder.CloseFile(); }
  int64_t Duration() override { return FDecoder.FileStreamInfo().Duration; }
  int64_t FileSize() override { return FDecoder.FileSize(); }
  String LastErrMsg() override { return FDecoder.LastErrMsg(); }

 private:
  TFFDecoder& FDecoder;
};

// The user's folders the main window starts from, each with a trailing
// delimiter; a folder that cannot be told is ExeDir.
struct TUserFolders {
  String AppData;  // the per-user data folder (XDG data home)
  String Pictures;
  String Videos;
};
TUserFolders InitDossiers(const String& ExeDir);
// Creates AppData + "Tarnwick" when it is missing. False when that fails,
// which costs nothing: the program writes nothing there.
bool CreateAppDataFolder(const String& AppData);
// Where the FFmpeg libraries load from: a "LibAV" folder beside the program
// when there is one, else "" (the system's libraries).
String LibAVFolder(const String& ExeDir);

// Enabled states of the queue commands.
struct TConverterButtons {
  bool Add = true;
  bool Remove = false;
  bool Clear = false;
  bool Start = false;
  bool Stop = false;
  bool Pause = false;
  bool Resume = false;
  bool TaskCount = true;
  bool operator==(const TConverterButtons&) const = default;
};

// The texts of one task-list row: the caption and its seven sub-items.
enum TRowColumn { rcTotalTime, rcInputSize, rcOutput, rcProgress, rcFPS, rcCurrentTime, rcOutputSize };
struct TTaskRow {
  String Caption;
  String SubItems[7];
};

// What the window shows of the core's state.
class IConverterView {
 public:
  virtual ~IConverterView() = default;
  virtual void ButtonsChanged(const TConverterButtons& Buttons) = 0;
  virtual void RowAdded(const TTaskRow& Row) = 0;
  virtual void RowDeleted(int Index) = 0;
  virtual void RowsCleared() = 0;
  virtual void RowChanged(int Index, const TTaskRow& Row) = 0;
  // Lines from FirstNew on were appended to the log.
  virtual void LogAppended(int FirstNew) = 0;
  virtual void LogCleared() = 0;
  // The end of the queue (closes the about window).
  virtual void QueueFinished() = 0;
};

// What the core asks the user through the window.
class IConverterPrompts {
 public:
  virtual ~IConverterPrompts() = default;
  // The file-open dialog starting in InitialDir; false when cancelled.
  virtual bool ChooseFile(const String& InitialDir, String& FileName) = 0;
  // The options dialog for the inspector's open file; true with both records
  // filled when the user chose OK.
  virtual bool RunOptions(TInputOptions& In, TOutputOptions& Out) = 0;
  // A warning box with the application's title.
  virtual void ShowWarning(const String& Text) = 0;
};

// The log's lines. Appending is amortised O(1) and readers take lines by
// index, so a long run never copies the whole log.
class TLogStore {
 public:
  void Add(String Line) { FLines.push_back(std::move(Line)); }
  void Clear() { FLines.clear(); }
  int Count() const { return int(FLines.size()); }
  const String& Line(int Index) const { return FLines[size_t(Index)]; }
  // Lines from First on, each followed by CR LF.
  String Text(int First = 0) const;

 private:
  std::vector<String> FLines;
};

class TConverterCore {
 public:
  TConverterCore(IConverterEngine& Engine, IMediaInspector& Inspector, IConverterView& View,
                 IConverterPrompts& Prompts);
  ~TConverterCore();

  // Folders: where the libraries are loaded from ("" = the system's), the
  // first folder of the open dialog.
  String LibAVDir;
  String MesVideos;
  String DossierVideos;  // the folder of the last file chosen or dropped

  // ---- commands
  // One file through the options dialog; an empty name asks for one first.
  void AddFileInteractive(const String& FileName);
  // Hands the two records to the encoder and adds the row; false when the
  // encoder refused either (nothing is added then).
  bool AddConversionTask(TInputOptions& In, TOutputOptions& Out, int64_t Duration, int64_t FileSize);
  void RemoveRow(int Index);
  void Clear();
  // TaskCountText: the task-count choice; 1 when it is not a positive number.
  void Start(const String& TaskCountText);
  void StopQueue();
  void Pause();
  void Resume();
  // Detaches the engine's events and stops the queue, waiting (closing the window).
  void Shutdown();

  // ---- drops
  enum TDropKind { dkIgnore, dkFile, dkFolder };
  // What happens to one dropped name: an accepted file, a folder, or nothing.
  static TDropKind ClassifyDrop(const String& Name);
  // Names dropped on the task list, in order: accepted files go through the
  // options dialog, folders to SearchFolder (which calls AddFileInteractive
  // for every match) unless a search runs. While the queue works or waits for
  // Clear nothing is taken, and the log says so.
  void HandleDrop(const std::vector<String>& Names, const std::function<void(const String&)>& SearchFolder);
  bool Searching() const { return FSearching; }
  // Sets FindFile to search Folder and its subfolders, in the calling thread,
  // for FolderSearchMasks. Any folder name works, whatever characters the
  // search's folder syntax gives a meaning (";", "<", ">", edge blanks).
  static void SetFolderSearch(TFindFile& FindFile, const String& Folder);
  void SetSearching(bool Value);

  // ---- engine events
  void Progress(const TProgressInfo& Info);
  void Terminate(const TTerminateInfo& Info);

  // ---- logger
  void LogLine(TThreadID ThreadID, int Level, const String& Msg);
  void Log(String Line);
  // "***" + What + ": " + Message between empty lines.
  void LogError(const String& What, const String& Message);
  // Hands memory the batch no longer uses back to the system (the end of the
  // queue and Clear call it): the worker threads' allocator arenas keep their
  // free pages otherwise.
  std::function<void()> GiveBackMemory;

  // ---- state
  const TConverterButtons& Buttons() const { return FButtons; }
  int RowCount() const { return int(FRows.size()); }
  const TTaskRow& Row(int Index) const { return FRows[size_t(Index)]; }
  const TStringList& FolderList() const { return FFolderList; }
  const TStringList& OutFileList() const { return FOutFileList; }
  bool Playable(int Index) const;
  const TLogStore& LogStore() const { return FLog; }
  // The row the list commands act on: the selected one when it is inside the
  // lists, else the last; -1 for an empty list.
  int TargetRow(int Selected) const;
  // The target's output when it may be played and exists, else "".
  String PlayableFile(int Selected) const;
  // The target's output folder when it exists, else "".
  String OutputFolder(int Selected) const;

  // Sets the mark of a row whose output can be played.
  static TObject* const PlayableMark;

 private:
  void SetButtons(const TConverterButtons& Buttons);
  // Remove, Clear and Start follow whether rows remain (Start also waits for a search).
  void RowsChangedButtons();

  IConverterEngine& FEngine;
  IMediaInspector& FInspector;
  IConverterView& FView;
  IConverterPrompts& FPrompts;
  TConverterButtons FButtons;
  std::vector<TTaskRow> FRows;
  TStringList FFolderList;
  TStringList FOutFileList;
  TLogStore FLog;
  bool FSearching = false;
  bool FAdding = false;  // an options dialog is open for a file
};
