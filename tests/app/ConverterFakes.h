#pragma once
// Stand-ins for the encoder, the decoder, the window and the user, for the
// main window's tests.

#include <map>
#include <vector>

#include "app/ConverterCore.h"

// Tasks are names in a list; a file name containing "refuse-input" is
// refused by AddTask and an output containing "refuse-output" by SetOutput.
class TFakeEngine : public IConverterEngine {
 public:
  bool Loaded = true;
  bool LoadFails = false;
  std::vector<String> Tasks;  // input names, by index
  std::vector<String> Calls;
  int StartedWith = 0;
  bool IsWorking = false;
  String LastError;
  TEncProgressEvent OnProgress;
  TTerminateEvent OnTerminate;
  // Called inside Stop(true), as the real one serves messages while it waits.
  std::function<void()> WhileStopping;

  bool AVLibLoaded() override { return Loaded; }
  bool LoadAVLib(const String& APath) override {
    Calls.push_back("LoadAVLib(" + APath + ")");
    if (LoadFails) {
      LastError = "Load library avutil error";
      return false;
    }
    Loaded = true;
    return true;
  }
  int AddTask(const String& AFileName, TInputOptions&) override {
    if (IsWorking) throw Exception("Cannot AddTask while working.");
    if (AFileName.find("refuse-input") != String::npos) {
      LastError = "cannot open " + AFileName;
      return -1;
    }
    Tasks.push_back(AFileName);
    return int(Tasks.size()) - 1;
  }
  int SetOutput(int ATaskIndex, const String& AFileName, TOutputOptions&) override {
    if (AFileName.find("refuse-output") != String::npos) {
      LastError = "cannot write " + AFileName;
      return -1;
    }
    return ATaskIndex;
  }
  void RemoveTask(int ATaskIndex) override {
    Calls.push_back("RemoveTask(" + IntToStr(ATaskIndex) + ")");
    Tasks.erase(Tasks.begin() + ATaskIndex);
  }
  void ClearTasks() override {
    Calls.push_back("ClearTasks");
    Tasks.clear();
  }
  void Start(int AThreadCount) override {
    StartedWith = AThreadCount;
    IsWorking = true;
  }
  void Pause() override { Calls.push_back("Pause"); }
  void Resume() override { Calls.push_back("Resume"); }
  void Stop(bool AWaitForStop) override {
    Calls.push_back(AWaitForStop ? "Stop(wait)" : "Stop");
    if (AWaitForStop && WhileStopping) WhileStopping();
  }
  bool Working() override { return IsWorking; }
  void SetPreview(bool) override {}
  void SetThreadPriority(TThreadPriority) override {}
  String LastErrMsg() override { return LastError; }
  void SetEvents(TEncProgressEvent AOnProgress, TTerminateEvent AOnTerminate) override {
    OnProgress = std::move(AOnProgress);
    OnTerminate = std::move(AOnTerminate);
  }

  void Progress(int Task, int64_t Current, int64_t Total, int FPS, int64_t Size) {
    TProgressInfo info;
    info.TaskIndex = Task;
    info.CurrentDuration = Current;
    info.TotalDuration = Total;
    info.FPS = FPS;
    info.CurrentSize = Size;
    if (OnProgress) OnProgress(nullptr, &info);
  }
  void End(int Task, bool Finished, const String& Failure = String()) {
    TTerminateInfo info;
    info.TaskIndex = Task;
    info.Finished = Finished;
    info.Exception = !Failure.empty();
    info.ExceptionMsg = Failure;
    if (Task < 0) IsWorking = false;
    if (OnTerminate) OnTerminate(nullptr, info);
  }
};

// Files it "opens" are those named in Durations; a name missing there fails.
class TFakeInspector : public IMediaInspector {
 public:
  std::map<String, int64_t> Durations;  // microseconds
  int64_t Size = 5 * 1024 * 1024;
  String Open;
  int Closes = 0;
  bool LoadFile(const String& AFileName) override {
    if (!Durations.count(AFileName)) return false;
    Open = AFileName;
    return true;
  }
  void CloseFile() override {
    Open.clear();
    ++Closes;
  }
  int64_t Duration() override { return Durations[Open]; }
  int64_t FileSize() override { return Size; }
  String LastErrMsg() override { return "Invalid data found when processing input"; }
};

class TFakeView : public IConverterView {
 public:
  TConverterButtons Buttons;
  std::vector<TTaskRow> Rows;
  int LogLines = 0;
  int QueueEnds = 0;
  void ButtonsChanged(const TConverterButtons& B) override { Buttons = B; }
  void RowAdded(const TTaskRow& Row) override { Rows.push_back(Row); }
  void RowDeleted(int Index) override { Rows.erase(Rows.begin() + Index); }
  void RowsCleared() override { Rows.clear(); }
  void RowChanged(int Index, const TTaskRow& Row) override { Rows.at(size_t(Index)) = Row; }
  void LogAppended(int FirstNew) override { LogLines = FirstNew + 1; }
  void LogCleared() override { LogLines = 0; }
  void QueueFinished() override { ++QueueEnds; }
};

// The user: picks the scripted file, answers the options dialog with OK
// (output = input + ".out.mp4", or the scripted output) or Cancel.
class TFakePrompts : public IConverterPrompts {
 public:
  String ChosenFile;  // empty: cancel
  String InitialDir;
  bool Ok = true;
  String Output;  // empty: derived from the input
  std::vector<String> Dialogs;  // the input of every options dialog shown
  std::vector<String> Warnings;
  IMediaInspector* Inspector = nullptr;
  std::function<void()> DuringDialog;
  bool ChooseFile(const String& AInitialDir, String& FileName) override {
    InitialDir = AInitialDir;
    FileName = ChosenFile;
    return !ChosenFile.empty();
  }
  bool RunOptions(TInputOptions& In, TOutputOptions& Out) override {
    TFakeInspector* inspector = static_cast<TFakeInspector*>(Inspector);
    Dialogs.push_back(inspector->Open);
    if (DuringDialog) DuringDialog();
    if (!Ok) return false;
    In.FileName = inspector->Open;
    Out.FileName = Output.empty() ? inspector->Open + ".out.mp4" : Output;
    return true;
  }
  void ShowWarning(const String& Text) override { Warnings.push_back(Text); }
};
