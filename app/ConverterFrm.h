#pragma once
// The main window: the task list with per-row progress, the log, the queue
// buttons and the engine, logger and file-search events. What it decides
// lives in TConverterCore; this class shows it and asks the user.

#include <memory>

#include "app/ConverterCore.h"
#include "app/FormLocal.h"
#include "filesearch/FindFile.h"
#include "media/FFEncode.h"
#include "media/FFLog.h"

class TfrmOption;
class TListView;
class TCustomListView;
class TMemo;
class TComboBox;
class TSpeedButton;
class TMenuItem;
class TPopupMenu;
class TOpenDialog;
class TImage;

class TfrmConverter : public TFormlocal, public IConverterView, public IConverterPrompts {
 public:
  explicit TfrmConverter(TComponent* AOwner);
  // Tests hand in a stand-in engine and decoder (not owned).
  TfrmConverter(TComponent* AOwner, IConverterEngine* Engine, IMediaInspector* Inspector);
  ~TfrmConverter() override;

  void DoLocalize() override;

  // One file through the options dialog; an empty name asks for one.
  void AddFileInteractive(const String& FileName);
  // The application-wide message filter: takes the dropped files.
  void AppMessage(MSG& Msg, bool& Handled);

  TConverterCore& Core() { return *FCore; }
  TRAZeredov* RAZeredov = nullptr;
  TFFDecoder* FFDecoder = nullptr;
  TFFLogger* FFLogger = nullptr;
  TFindFile* FindFile = nullptr;
  // The options dialog, made on the first add.
  TfrmOption* OptionDialog() const { return FOptionDialog; }
  // Tests answer the options dialog themselves.
  std::function<bool(TInputOptions& In, TOutputOptions& Out)> OnRunOptions;
  // The file-open dialog for Add, starting in InitialDir: true with FileName chosen.
  std::function<bool(const String& InitialDir, String& FileName)> ChooseMediaFile;
  // What Play, Open Folder and the web-site button open (the desktop's opener
  // by default, whose failure shows a message box and a log line).
  std::function<bool(const String&)> OpenPath;

  // The user's folders (with trailing delimiters).
  String AppdataDir;
  String MesImg;
  String MesVideos;

 private:
  void Construct(IConverterEngine* Engine, IMediaInspector* Inspector);
  void RegisterHandlers();

  // Handlers bound by the window definition.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void btnAdd_Click(TObject* Sender);
  void btnRemove_Click(TObject* Sender);
  void btnClear_Click(TObject* Sender);
  void btnStart_Click(TObject* Sender);
  void btnStop_Click(TObject* Sender);
  void btnPause_Click(TObject* Sender);
  void btnResume_Click(TObject* Sender);
  void btnExit_Click(TObject* Sender);
  void btnWebSite_Click(TObject* Sender);
  void chkPreviewClick(TObject* Sender);
  void Image2Click(TObject* Sender);
  void PopupMenu1Popup(TObject* Sender);
  void mnuPlayClick(TObject* Sender);
  void mnuOpenFolderClick(TObject* Sender);
  void lvFilesCustomDraw(TCustomListView* Sender, const TRect& ARect, bool& DefaultDraw);
  void FFLoggerLog(TObject* Sender, TThreadID AThreadID, TLogLevel ALogLevel, const String& ALogMsg);
  void FindFileFileMatch(TObject* Sender, TFileDetails& FileInfo);
  void FindFileSearchBegin(TObject* Sender);
  void FindFileSearchFinish(TObject* Sender);
  int SelectedRow();
  // The opener could not open Path: tell the user and the log.
  void OpenFailed(const String& Path, const String& Reason);

  // IConverterView
  void ButtonsChanged(const TConverterButtons& Buttons) override;
  void RowAdded(const TTaskRow& Row) override;
  void RowDeleted(int Index) override;
  void RowsCleared() override;
  void RowChanged(int Index, const TTaskRow& Row) override;
  void LogAppended(int FirstNew) override;
  void LogCleared() override;
  void QueueFinished() override;
  // IConverterPrompts
  bool ChooseFile(const String& InitialDir, String& FileName) override;
  bool RunOptions(TInputOptions& In, TOutputOptions& Out) override;
  void ShowWarning(const String& Text) override;

  std::unique_ptr<IConverterEngine> FOwnEngine;
  std::unique_ptr<IMediaInspector> FOwnInspector;
  std::unique_ptr<TConverterCore> FCore;
  IConverterEngine* FEngine = nullptr;
  TfrmOption* FOptionDialog = nullptr;
  bool FirstShow = true;
  TBitmap FEmptyListBitmap;
  // Cleared when the window goes: an opener's late failure then shows nothing.
  std::shared_ptr<TfrmConverter*> FAlive;  // the empty list's picture, centred, at the list's size
};

extern TfrmConverter* frmConverter;

// The program: StartTarnwick installs the display, initialises every part
// in its order and shows the main window (the about window stays hidden);
// RunTarnwick then runs the message loop; FinishTarnwick frees the windows
// and undoes the initialisation in reverse. Params are the command line,
// the program's name first.
void StartTarnwick(const std::vector<String>& Params = {});
void FinishTarnwick();
int RunTarnwick(const std::vector<String>& Params = {});
