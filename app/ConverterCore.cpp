#include "app/ConverterCore.h"

#include <malloc.h>

#include <algorithm>

#include "app/ConverterText.h"
#include "app/Locale.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"

// A non-null value that is never dereferenced: the list only compares it.
TObject* const TConverterCore::PlayableMark = reinterpret_cast<TObject*>(uintptr_t(1));

String TLogStore::Text(int First) const {
  size_t size = 0;
  for (size_t i = size_t(std::max(First, 0)); i < FLines.size(); ++i) size += FLines[i].size() + 2;
  String text;
  text.reserve(size);
  for (size_t i = size_t(std::max(First, 0)); i < FLines.size(); ++i) {
    text += FLines[i];
    text += "\r\n";
  }
  return text;
}

TUserFolders InitDossiers(const String& ExeDir) {
  const auto folder = [&](TKnownFolder Id) {
    const String path = GetKnownFolder(Id);
    return path.empty() ? ExeDir : IncludeTrailingPathDelimiter(path);
  };
  return {folder(kfLocalAppData), folder(kfPictures), folder(kfVideos)};
}

bool CreateAppDataFolder(const String& AppData) {
  const String folder = AppData + "Tarnwick";
  if (DirectoryExists(folder)) return true;
  try {
    return ForceDirectories(folder);
  } catch (...) {
    return false;
  }
}

String LibAVFolder(const String& ExeDir) {
  const String folder = ExeDir + "LibAV";
  return DirectoryExists(folder) ? folder : String();
}

TConverterCore::TConverterCore(IConverterEngine& Engine, IMediaInspector& Inspector, IConverterView& View,
                               IConverterPrompts& Prompts)
    : FEngine(Engine), FInspector(Inspector), FView(View), FPrompts(Prompts) {
  GiveBackMemory = [] { malloc_trim(0); };
  FEngine.SetEvents([this](TObject*, PProgressInfo Info) { Progress(*Info); },
                    [this](TObject*, const TTerminateInfo& Info) { Terminate(Info); });
  FView.ButtonsChanged(FButtons);
}

TConverterCore::~TConverterCore() {
  FEngine.SetEvents(nullptr, nullptr);
}

void TConverterCore::SetButtons(const TConverterButtons& Buttons) {
  FButtons = Buttons;
  FView.ButtonsChanged(FButtons);
}

void TConverterCore::RowsChangedButtons() {
  TConverterButtons b = FButtons;
  const bool rows = !FRows.empty();
  b.Remove = rows;
  b.Clear = rows;
  // A folder search adds rows one dialog after the other; starting meanwhile
  // would make the next add fail against a working encoder.
  b.Start = rows && !FSearching;
  SetButtons(b);
}

void TConverterCore::Log(String Line) {
  const int first = FLog.Count();
  FLog.Add(std::move(Line));
  FView.LogAppended(first);
}

void TConverterCore::LogError(const String& What, const String& Message) {
  const int first = FLog.Count();
  FLog.Add("");
  FLog.Add("***" + What + ": " + Message);
  FLog.Add("");
  FView.LogAppended(first);
}

void TConverterCore::LogLine(TThreadID ThreadID, int Level, const String& Msg) {
  Log("#" + IntToStr(int64_t(ThreadID)) + "." + IntToStr(Level) + ": " + Msg);
}

void TConverterCore::AddFileInteractive(const String& FileName) {
  // One options dialog at a time: a drop that arrives while it is open must
  // not show it a second time inside its own modal run.
  if (FAdding) return;
  FAdding = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FAdding};
  String name = Trim(FileName).empty() ? String() : FileName;
  if (!FEngine.AVLibLoaded() && !FEngine.LoadAVLib(LibAVDir)) {
    Log(FEngine.LastErrMsg());
    return;
  }
  if (name.empty()) {
    const String initial = Trim(DossierVideos).empty() ? MesVideos : DossierVideos;
    if (!FPrompts.ChooseFile(initial, name) || Trim(name).empty()) return;
  }
  DossierVideos = ExtractFilePath(name);
  if (!FInspector.LoadFile(name)) {
    LogError(Tlocalestrings.File_load_error, FInspector.LastErrMsg());
    return;
  }
  struct TCloseInput {
    IMediaInspector& Inspector;
    ~TCloseInput() { Inspector.CloseFile(); }
  } closeInput{FInspector};
  TInputOptions in;
  TOutputOptions out;
  ResetInputOptions(in);
  ResetOutputOptions(out);
  if (!FPrompts.RunOptions(in, out)) return;
  AddConversionTask(in, out, FInspector.Duration(), FInspector.FileSize());
}

bool TConverterCore::AddConversionTask(TInputOptions& In, TOutputOptions& Out, int64_t Duration, int64_t FileSize) {
  const int index = FEngine.AddTask(In.FileName, In);
  if (index < 0) {
    LogError(Tlocalestrings.File_open_error, FEngine.LastErrMsg());
    return false;
  }
  // From here the task exists: whatever happens to its output, it goes again
  // unless its row is added, so that rows and tasks stay in step.
  bool added = false;
  struct TUndoTask {
    IConverterEngine& Engine;
    int Index;
    bool& Added;
    ~TUndoTask() {
      if (Added) return;
      try {
        Engine.RemoveTask(Index);
      } catch (...) {
      }
    }
  } undo{FEngine, index, added};
  if (FEngine.SetOutput(index, Out.FileName, Out) < 0) {
    const String message = FEngine.LastErrMsg();
    LogError(Tlocalestrings.Cannot_do_convert_error, message);
    return false;
  }
  TTaskRow row;
  row.Caption = ExtractFileName(In.FileName);
  row.SubItems[rcTotalTime] = TotalTimeText(Duration);
  row.SubItems[rcInputSize] = FileSizeText(FileSize);
  row.SubItems[rcOutput] = ExtractFileName(Out.FileName);
  FFolderList.Add(ExtractFilePath(Out.FileName));
  FOutFileList.Add(Out.FileName);
  FRows.push_back(row);
  added = true;
  FView.RowAdded(row);
  const int first = FLog.Count();
  FLog.Add("");
  FLog.Add("***" + Tlocalestrings.File_has_been_added_to_convert_list);
  FLog.Add("");
  FView.LogAppended(first);
  RowsChangedButtons();
  return true;
}

void TConverterCore::RemoveRow(int Index) {
  if (Index < 0 || Index >= int(FRows.size())) return;
  FEngine.RemoveTask(Index);
  FFolderList.Delete(Index);
  FOutFileList.Delete(Index);
  FRows.erase(FRows.begin() + Index);
  FView.RowDeleted(Index);
  RowsChangedButtons();
}

void TConverterCore::Clear() {
  FEngine.ClearTasks();
  FFolderList.Clear();
  FOutFileList.Clear();
  FRows.clear();
  FView.RowsCleared();
  FLog.Clear();
  FView.LogCleared();
  if (GiveBackMemory) GiveBackMemory();
  TConverterButtons b = FButtons;
  b.Add = true;
  b.TaskCount = true;
  b.Remove = b.Clear = b.Start = false;
  SetButtons(b);
}

void TConverterCore::Start(const String& TaskCountText) {
  int count = StrToIntDef(Trim(TaskCountText), 1);
  count = std::clamp(count, 1, 10);
  FEngine.SetThreadPriority(tpNormal);
  FEngine.SetPreview(false);
  TConverterButtons b = FButtons;
  b.Add = b.Remove = b.Clear = b.TaskCount = b.Start = false;
  b.Stop = b.Pause = true;
  b.Resume = false;
  SetButtons(b);
  FEngine.Start(count);
}

void TConverterCore::StopQueue() {
  TConverterButtons b = FButtons;
  b.Stop = false;
  SetButtons(b);
  FEngine.Stop(true);
}

void TConverterCore::Pause() {
  TConverterButtons b = FButtons;
  b.Pause = false;
  b.Resume = true;
  SetButtons(b);
  FEngine.Pause();
}

void TConverterCore::Resume() {
  TConverterButtons b = FButtons;
  b.Pause = true;
  b.Resume = false;
  SetButtons(b);
  FEngine.Resume();
}

void TConverterCore::Shutdown() {
  FEngine.SetEvents(nullptr, nullptr);
  FEngine.Stop(true);
}

TConverterCore::TDropKind TConverterCore::ClassifyDrop(const String& Name) {
  if (DirectoryExists(Name)) return dkFolder;
  return IsAcceptedFileName(Name) ? dkFile : dkIgnore;
}

void TConverterCore::HandleDrop(const std::vector<String>& Names,
                                const std::function<void(const String&)>& SearchFolder) {
  std::vector<std::pair<TDropKind, String>> taken;
  for (const String& name : Names) {
    const TDropKind kind = ClassifyDrop(name);
    if (kind != dkIgnore) taken.emplace_back(kind, name);
  }
  if (taken.empty()) return;
  if (FAdding) {
    Log("*** Files cannot be added while the options of another file are open.");
    return;
  }
  if (!FButtons.Add) {
    // The encoder refuses new tasks while it works, and a finished batch
    // starts again with Clear: say so instead of opening dialogs for nothing.
    Log(FEngine.Working() ? "*** Files cannot be added while the tasks run."
                          : "*** Files cannot be added to a finished list: clear it first.");
    return;
  }
  for (const auto& [kind, name] : taken) {
    if (kind == dkFile)
      AddFileInteractive(name);
    else if (!FSearching)
      SearchFolder(name);
  }
}

void TConverterCore::SetSearching(bool Value) {
  FSearching = Value;
  RowsChangedButtons();
}

void TConverterCore::SetFolderSearch(TFindFile& FindFile, const String& Folder) {
  FindFile.Threaded = false;
  TFileCriteria& files = FindFile.Criteria().Files();
  files.SetFileName("");
  files.SetLocation("");
  files.SetSubfolders(true);
  // One path line per mask: the leading ">" ends the folder syntax's prefix
  // and the mask after the last "/" ends the folder, so neither the blanks
  // nor the separators of a folder name are read as syntax.
  TStringList paths;
  const String folder = IncludeTrailingPathDelimiter(Folder);
  std::string_view masks = FolderSearchMasks;
  while (!masks.empty()) {
    const size_t semi = masks.find(';');
    paths.Add(">" + folder + String(masks.substr(0, semi)));
    if (semi == std::string_view::npos) break;
    masks.remove_prefix(semi + 1);
  }
  files.SetPaths(paths);
}

void TConverterCore::Progress(const TProgressInfo& Info) {
  if (Info.TaskIndex < 0 || Info.TaskIndex >= int(FRows.size())) return;
  TTaskRow& row = FRows[size_t(Info.TaskIndex)];
  row.SubItems[rcProgress] = ProgressText(Info.CurrentDuration, Info.TotalDuration);
  if (Info.FPS > 0) row.SubItems[rcFPS] = IntToStr(Info.FPS);
  row.SubItems[rcCurrentTime] = FormatHMS(Info.CurrentDuration / 1000000);
  row.SubItems[rcOutputSize] = FileSizeText(Info.CurrentSize);
  FView.RowChanged(Info.TaskIndex, row);
}

void TConverterCore::Terminate(const TTerminateInfo& Info) {
  if (Info.TaskIndex < 0) {
    TConverterButtons b = FButtons;
    b.Add = b.Remove = b.Start = b.Stop = b.Pause = b.Resume = false;
    b.Clear = true;
    SetButtons(b);
    // The banner waits for the end of the queue: with several tasks at once
    // the last row's task may end while others still run.
    const int first = FLog.Count();
    FLog.Add(" ");
    FLog.Add(String(47, '#'));
    FLog.Add("#" + String(10, ' ') + Tlocalestrings.lAllTasksFinished + String(14, ' '));
    FLog.Add(String(47, '#'));
    FLog.Add(" ");
    FView.LogAppended(first);
    FView.QueueFinished();
    if (GiveBackMemory) GiveBackMemory();
    return;
  }
  const bool known = Info.TaskIndex < int(FRows.size());
  if (Info.Finished && known) {
    TTaskRow& row = FRows[size_t(Info.TaskIndex)];
    row.SubItems[rcProgress] = "100%";
    FView.RowChanged(Info.TaskIndex, row);
    const int first = FLog.Count();
    FLog.Add(" ");
    FLog.Add("## " + Tlocalestrings.lFileConverted + ": " + row.SubItems[rcOutput]);
    FLog.Add(" ");
    FView.LogAppended(first);
  }
  if (!Info.Exception && known) FOutFileList.SetObjects(Info.TaskIndex, PlayableMark);
  if (Info.Exception) FPrompts.ShowWarning(Info.ExceptionMsg);
}

bool TConverterCore::Playable(int Index) const {
  return Index >= 0 && Index < FOutFileList.Count() && FOutFileList.Objects(Index) == PlayableMark;
}

int TConverterCore::TargetRow(int Selected) const {
  if (Selected >= 0 && Selected < FFolderList.Count()) return Selected;
  return FOutFileList.Count() - 1;
}

String TConverterCore::PlayableFile(int Selected) const {
  const int i = TargetRow(Selected);
  if (!Playable(i) || !FileExists(FOutFileList[i])) return String();
  return FOutFileList[i];
}

String TConverterCore::OutputFolder(int Selected) const {
  const int i = TargetRow(Selected);
  if (i < 0 || FFolderList[i].empty() || !DirectoryExists(FFolderList[i])) return String();
  return FFolderList[i];
}
