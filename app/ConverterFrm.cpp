#include "app/ConverterFrm.h"

#include "app/ConverterText.h"
#include "app/Locale.h"
#include "app/OptionFrm.h"
#include "app/UnitAide.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"
#include "platform/os/Threads.h"
#include "app/SelectDirectoryFix.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ListViews.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"

TfrmConverter* frmConverter = nullptr;

namespace {

// The task list's Tag: drops count only over the control that carries it.
constexpr intptr_t TaskListTag = 8514;

}  // namespace


TfrmConverter::TfrmConverter(TComponent* AOwner) : TFormlocal(AOwner, "TfrmConverter") {
  Construct(nullptr, nullptr);
}

TfrmConverter::TfrmConverter(TComponent* AOwner, IConverterEngine* Engine, IMediaInspector* Inspector)
    : TFormlocal(AOwner, "TfrmConverter") {
  Construct(Engine, Inspector);
}

void TfrmConverter::Construct(IConverterEngine* Engine, IMediaInspector* Inspector) {
  RAZeredov = new TRAZeredov(this);
  RAZeredov->SetName("RAZeredov");
  FFDecoder = new TFFDecoder(this);
  FFDecoder->SetName("FFDecoder");
  FFLogger = new TFFLogger(this);
  FFLogger->SetName("FFLogger");
  FindFile = new TFindFile(this);
  FindFile->SetName("FindFile");
  if (!Engine) {
    FOwnEngine = std::make_unique<TEncoderEngine>(*RAZeredov);
    Engine = FOwnEngine.get();
  }
  if (!Inspector) {
    FOwnInspector = std::make_unique<TDecoderInspector>(*FFDecoder);
    Inspector = FOwnInspector.get();
  }
  FCore = std::make_unique<TConverterCore>(*Engine, *Inspector, *this, *this);
  FEngine = Engine;
  FAlive = std::make_shared<TfrmConverter*>(this);
  OpenPath = [alive = FAlive](const String& Path) {
    return ShellOpen(Path, [alive, Path](const String& Reason) {
      QueueInMainThread([alive, Path, Reason] {
        if (*alive) (*alive)->OpenFailed(Path, Reason);
      });
    });
  };
  // The file-open dialog of Add.
  ChooseMediaFile = [this](const String& InitialDir, String& FileName) {
    TOpenDialog open(this);
    open.Options = {ofHideReadOnly, ofFileMustExist, ofEnableSizing};
    open.Filter = MediaFileFilter;
    open.InitialDir = InitialDir;
    if (!open.Execute()) return false;
    FileName = open.FileName;
    return true;
  };
  FFLogger->SetOnLog([this](TObject* s, TThreadID t, TLogLevel l, const String& m) { FFLoggerLog(s, t, l, m); });
  FindFile->OnFileMatch = [this](TObject* s, TFileDetails& f) { FindFileFileMatch(s, f); };
  FindFile->OnSearchBegin = [this](TObject* s) { FindFileSearchBegin(s); };
  FindFile->OnSearchFinish = [this](TObject* s) { FindFileSearchFinish(s); };
  // The task list's menu.
  auto* popup = new TPopupMenu(this);
  popup->SetName("PopupMenu1");
  popup->OnPopup = [this](TObject* s) { PopupMenu1Popup(s); };
  const auto item = [&](const char* Name, const char* Caption, TNotifyEvent OnClick) {
    auto* i = new TMenuItem(this);
    if (*Name) i->SetName(Name);
    i->SetCaption(Caption);
    i->OnClick = std::move(OnClick);
    popup->Items()->Add(i);
  };
  item("mnuAdd", "Add", [this](TObject* s) { btnAdd_Click(s); });
  item("mnuRemove", "Remove", [this](TObject* s) { btnRemove_Click(s); });
  item("mnuClear", "Clear", [this](TObject* s) { btnClear_Click(s); });
  item("", "-", nullptr);
  item("mnuPlay", "Play", [this](TObject* s) { mnuPlayClick(s); });
  item("mnuOpenFolder", "Open Folder", [this](TObject* s) { mnuOpenFolderClick(s); });
  RegisterHandlers();
}

TfrmConverter::~TfrmConverter() {
  *FAlive = nullptr;
  if (Application && Application->OnMessage) Application->OnMessage = nullptr;
  // The engine's events point here: no handler may run once the window goes.
  FCore.reset();
  if (FFLogger) FFLogger->SetOnLog(nullptr);
}

void TfrmConverter::RegisterHandlers() {
  THandlerRegistry& h = Handlers();
  const auto notify = [&](const char* Name, void (TfrmConverter::*Method)(TObject*)) {
    h.Register(Name, TNotifyEvent([this, Method](TObject* s) { (this->*Method)(s); }));
  };
  notify("FormCreate", &TfrmConverter::FormCreate);
  notify("FormShow", &TfrmConverter::FormShow);
  notify("btnAdd_Click", &TfrmConverter::btnAdd_Click);
  notify("btnRemove_Click", &TfrmConverter::btnRemove_Click);
  notify("btnClear_Click", &TfrmConverter::btnClear_Click);
  notify("btnStart_Click", &TfrmConverter::btnStart_Click);
  notify("btnStop_Click", &TfrmConverter::btnStop_Click);
  notify("btnPause_Click", &TfrmConverter::btnPause_Click);
  notify("btnResume_Click", &TfrmConverter::btnResume_Click);
  notify("btnExit_Click", &TfrmConverter::btnExit_Click);
  notify("btnWebSite_Click", &TfrmConverter::btnWebSite_Click);
  notify("chkPreviewClick", &TfrmConverter::chkPreviewClick);
  notify("Image2Click", &TfrmConverter::Image2Click);
  h.Register("FormCloseQuery", TCloseQueryEvent([this](TObject* s, bool& c) { FormCloseQuery(s, c); }));
  h.Register("lvFilesCustomDraw",
             TLVCustomDrawEvent([this](TCustomListView* s, const TRect& r, bool& d) { lvFilesCustomDraw(s, r, d); }));
}

// ---------------------------------------------------------------------------
// Life cycle

void TfrmConverter::FormCreate(TObject*) {
  DragAcceptFiles(Handle(), TRUE);
  FirstShow = true;
  FCore->DossierVideos.clear();
  ButtonsChanged(FCore->Buttons());
  const String exeDir = ExtractFilePath(ExecutablePath());
  const TUserFolders folders = InitDossiers(exeDir);
  AppdataDir = folders.AppData;
  MesImg = folders.Pictures;
  MesVideos = folders.Videos;
  FCore->MesVideos = MesVideos;
  // Nothing is ever written there: a folder that cannot be made is no reason to stop.
  CreateAppDataFolder(AppdataDir);
  FCore->LibAVDir = LibAVFolder(exeDir);
  SelectLocale(0);
  SetCaption(Tlocalestrings.Title);
  Named<TListView>("lvFiles").SetPopupMenu(&Named<TPopupMenu>("PopupMenu1"));
  Named<TSpeedButton>("btnWebSite").SetCaption(Tlocalestrings._LienMonSite);
  DragAcceptFiles(Handle(), TRUE);
  Application->OnMessage = [this](MSG& m, bool& handled) { AppMessage(m, handled); };
}

void TfrmConverter::FormShow(TObject*) {
  if (!FirstShow) return;
  FirstShow = false;
  TComboBox& languages = Named<TComboBox>("ComboBox1");
  if (languages.Items()->Count() > 0) languages.SetItemIndex(0);
  TSpeedButton& site = Named<TSpeedButton>("btnWebSite");
  site.SetEnabled(true);
  site.Show();
}

void TfrmConverter::DoLocalize() {
  TFormlocal::DoLocalize();
  const TLocaleStringRecord& t = Tlocalestrings;
  Named<TMenuItem>("mnuAdd").SetCaption(t.mnuAdd_Caption);
  Named<TMenuItem>("mnuRemove").SetCaption(t.mnuRemove_Caption);
  Named<TMenuItem>("mnuClear").SetCaption(t.mnuClear_Caption);
  Named<TMenuItem>("mnuPlay").SetCaption(t.mnuPlay_Caption);
  Named<TMenuItem>("mnuOpenFolder").SetCaption(t.mnuOpenFolder_Caption);
  Named<TControl>("grpOption").SetCaption(t.GrpOption_Caption);
  Named<TControl>("LabelTasksCount").SetCaption(t.LabelTasksCount_Caption);
  Named<TControl>("chkPreview").SetCaption(t.chkPreview_Caption);
  Named<TControl>("btnAdd").SetCaption(t.btnAdd_Caption);
  Named<TControl>("btnRemove").SetCaption(t.btnRemove_Caption);
  Named<TControl>("btnClear").SetCaption(t.btnClear_Caption);
  Named<TControl>("btnStart").SetCaption(t.btnStart_Caption);
  Named<TControl>("btnStop").SetCaption(t.btnStop_Caption);
  Named<TControl>("btnPause").SetCaption(t.btnPause_Caption);
  Named<TControl>("btnResume").SetCaption(t.btnResume_Caption);
  Named<TControl>("btnExit").SetCaption(t.btnExit_Caption);
  Named<TControl>("grpLogLevel").SetCaption(t.grpLogLevel_Caption);
  TListView& list = Named<TListView>("lvFiles");
  const String* columns[] = {&t.Column_0_Input,    &t.Column_1_TotalTime, &t.Column_2_FileSize,
                             &t.Column_3_Output,   &t.Column_4_Progress,  &t.Column_5_FPS,
                             &t.Column_6_CurrentTime, &t.Column_7_FileSize};
  for (int i = 0; i < 8 && i < list.Columns()->Count(); ++i) list.Columns()->Items(i)->SetCaption(*columns[i]);
  TComboBox& languages = Named<TComboBox>("ComboBox1");
  if (languages.Items()->Count() > 0) {
    SetComboItemKeepIndex(&languages, 0, t.AutoLocale);
  } else {
    languages.Items()->Add(t.AutoLocale);
    for (const TLocale& locale : Locales()) languages.Items()->Add(locale.Name);
  }
}

void TfrmConverter::FormCloseQuery(TObject*, bool& CanClose) {
  CanClose = true;
  FCore->Shutdown();
  FFLogger->SetOnLog(nullptr);
  if (FindFile->Busy()) FindFile->Abort();
}

// ---------------------------------------------------------------------------
// Commands

void TfrmConverter::AddFileInteractive(const String& FileName) {
  FCore->AddFileInteractive(FileName);
}

int TfrmConverter::SelectedRow() {
  TListItem* item = Named<TListView>("lvFiles").Selected();
  return item ? item->Index() : -1;
}

void TfrmConverter::btnAdd_Click(TObject*) {
  AddFileInteractive("");
}

void TfrmConverter::btnRemove_Click(TObject*) {
  const int row = SelectedRow();
  if (row >= 0) FCore->RemoveRow(row);
}

void TfrmConverter::btnClear_Click(TObject*) {
  FCore->Clear();
}

void TfrmConverter::btnStart_Click(TObject*) {
  FFLogger->SetLogLevel(llInfo);
  FCore->Start(Named<TComboBox>("edtTasksCount").Text());
}

void TfrmConverter::btnStop_Click(TObject*) {
  FCore->StopQueue();
}

void TfrmConverter::btnPause_Click(TObject*) {
  FCore->Pause();
}

void TfrmConverter::btnResume_Click(TObject*) {
  FCore->Resume();
}

void TfrmConverter::btnExit_Click(TObject*) {
  Close();
}

void TfrmConverter::btnWebSite_Click(TObject*) {
  if (OpenPath) OpenPath(LowerCase(Tlocalestrings._LienMonSite));
}

void TfrmConverter::chkPreviewClick(TObject*) {
  FEngine->SetPreview(true);
}

void TfrmConverter::Image2Click(TObject*) {
  if (FormAide) FormAide->Show();
}

void TfrmConverter::PopupMenu1Popup(TObject*) {
  Named<TMenuItem>("mnuAdd").SetEnabled(Named<TControl>("btnAdd").Enabled());
  Named<TMenuItem>("mnuRemove").SetEnabled(Named<TControl>("btnRemove").Enabled());
  Named<TMenuItem>("mnuClear").SetEnabled(Named<TControl>("btnClear").Enabled());
  Named<TMenuItem>("mnuOpenFolder").SetEnabled(FCore->RowCount() > 0);
  Named<TMenuItem>("mnuPlay").SetEnabled(FCore->Playable(FCore->TargetRow(SelectedRow())));
}

void TfrmConverter::mnuPlayClick(TObject*) {
  const String file = FCore->PlayableFile(SelectedRow());
  if (!file.empty() && OpenPath) OpenPath(file);
}

void TfrmConverter::mnuOpenFolderClick(TObject*) {
  const String folder = FCore->OutputFolder(SelectedRow());
  if (!folder.empty() && OpenPath) OpenPath(folder);
}

void TfrmConverter::OpenFailed(const String& Path, const String& Reason) {
  FCore->LogError("Cannot open " + Path, Reason);
  ShowWarning("Cannot open \"" + Path + "\":\n" + Reason);
}

void TfrmConverter::lvFilesCustomDraw(TCustomListView*, const TRect& ARect, bool& DefaultDraw) {
  DefaultDraw = true;
  if (FCore->RowCount() > 0) return;
  TListView& list = Named<TListView>("lvFiles");
  TGraphic* picture = Named<TImage>("Image1").Picture()->Graphic();
  if (!picture || picture->Width() <= 0) return;
  const int w = list.ClientWidth(), h = list.ClientHeight();
  if (w <= 0 || h <= 0) return;
  if (FEmptyListBitmap.Width() != w || FEmptyListBitmap.Height() != h) {
    FEmptyListBitmap.SetSize(w, h);
    TCanvas* c = FEmptyListBitmap.Canvas();
    c->Brush()->SetColor(list.Color());
    c->FillRect(TRect(0, 0, w, h));
    const auto half = [](int v) { return int(std::nearbyint(v / 2.0)); };
    c->Draw(half(w) - half(picture->Width()), half(h) - half(picture->Height()), picture);
  }
  list.Canvas()->CopyRect(ARect, FEmptyListBitmap.Canvas(), ARect);
}

// ---------------------------------------------------------------------------
// Drops

void TfrmConverter::AppMessage(MSG& Msg, bool& Handled) {
  if (Msg.message != WM_DROPFILES) return;
  HDROP drop = reinterpret_cast<HDROP>(Msg.wParam);
  // Every drop ends here, also when adding a file raises.
  struct TFinish {
    HDROP Drop;
    ~TFinish() { DragFinish(Drop); }
  } finish{drop};
  Handled = true;
  POINT point{};
  DragQueryPoint(drop, &point);
  ::ClientToScreen(Msg.hwnd, &point);
  HWND under = WindowFromPoint(point);
  TWinControl* control = nullptr;
  while (under && !(control = TWinControl::FindControl(under))) under = GetParent(under);
  if (!control || control->Tag != TaskListTag) return;
  std::vector<String> names;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    // Sized to the name: long paths are not cut short.
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    String name(length, '\0');
    DragQueryFileW(drop, i, name.data(), length + 1);
    names.push_back(std::move(name));
  }
  // A failing add (an encoder that refuses, a dialog that raises) shows its
  // error box like any handler's; the drop is finished either way.
  try {
    FCore->HandleDrop(names, [this](const String& Folder) {
      TConverterCore::SetFolderSearch(*FindFile, Folder);
      FindFile->Execute();
    });
  } catch (...) {
    Application->HandleException(this);
  }
}

void TfrmConverter::FindFileFileMatch(TObject*, TFileDetails& FileInfo) {
  AddFileInteractive(FileInfo.Location + FileInfo.Name);
  if (!FindFile->Threaded) Application->ProcessMessages();
}

void TfrmConverter::FindFileSearchBegin(TObject*) {
  FCore->SetSearching(true);
}

void TfrmConverter::FindFileSearchFinish(TObject*) {
  FCore->SetSearching(false);
}

void TfrmConverter::FFLoggerLog(TObject*, TThreadID AThreadID, TLogLevel ALogLevel, const String& ALogMsg) {
  FCore->LogLine(AThreadID, int(ALogLevel), ALogMsg);
}

// ---------------------------------------------------------------------------
// What the core shows and asks

void TfrmConverter::ButtonsChanged(const TConverterButtons& B) {
  if (!FindComponent("btnAdd")) return;  // before the definition is loaded
  Named<TControl>("btnAdd").SetEnabled(B.Add);
  Named<TControl>("btnRemove").SetEnabled(B.Remove);
  Named<TControl>("btnClear").SetEnabled(B.Clear);
  Named<TControl>("btnStart").SetEnabled(B.Start);
  Named<TControl>("btnStop").SetEnabled(B.Stop);
  Named<TControl>("btnPause").SetEnabled(B.Pause);
  Named<TControl>("btnResume").SetEnabled(B.Resume);
  Named<TControl>("edtTasksCount").SetEnabled(B.TaskCount);
}

void TfrmConverter::RowAdded(const TTaskRow& Row) {
  TListItem* item = Named<TListView>("lvFiles").Items()->Add();
  item->SetCaption(Row.Caption);
  for (const String& s : Row.SubItems) item->SubItems()->Add(s);
}

void TfrmConverter::RowDeleted(int Index) {
  Named<TListView>("lvFiles").Items()->Delete(Index);
}

void TfrmConverter::RowsCleared() {
  Named<TListView>("lvFiles").Items()->Clear();
}

void TfrmConverter::RowChanged(int Index, const TTaskRow& Row) {
  TListItem* item = Named<TListView>("lvFiles").Items()->Item(Index);
  TStrings* sub = item->SubItems();
  // Only what changed, so that a busy list repaints little.
  for (int i = 0; i < 7 && i < sub->Count(); ++i)
    if ((*sub)[i] != Row.SubItems[i]) sub->SetStrings(i, Row.SubItems[i]);
}

void TfrmConverter::LogAppended(int FirstNew) {
  TStrings* lines = Named<TMemo>("mmoLog").Lines();
  const TLogStore& log = FCore->LogStore();
  for (int i = FirstNew; i < log.Count(); ++i) lines->Add(log.Line(i));
}

void TfrmConverter::LogCleared() {
  Named<TMemo>("mmoLog").Lines()->Clear();
}

void TfrmConverter::QueueFinished() {
  if (FormAide && FormAide->Visible()) FormAide->Close();
}

bool TfrmConverter::ChooseFile(const String& InitialDir, String& FileName) {
  return ChooseMediaFile && ChooseMediaFile(InitialDir, FileName);
}

bool TfrmConverter::RunOptions(TInputOptions& In, TOutputOptions& Out) {
  if (OnRunOptions) return OnRunOptions(In, Out);
  if (!FOptionDialog) {
    FOptionDialog = new TfrmOption(this);
    FOptionDialog->AfterConstruction();
    FOptionDialog->FMesImg = MesImg;
    FOptionDialog->OnLog = [this](const String& Line) { FCore->Log(Line); };
    FOptionDialog->NameHeld = [this](const String& Name) {
      const TStringList& outputs = FCore->OutFileList();
      return outputs.IndexOf(Name) >= 0;
    };
    TfrmOption* dialog = FOptionDialog;
    dialog->ChooseFolder = [dialog](const String& Caption, String& Folder) {
      return SelectFolder(Caption, "", Folder, dialog, {sdNewUI});
    };
    dialog->ChooseWatermark = [dialog](const String& InitialDir, String& FileName) {
      TOpenDialog open(dialog);
      open.Title = Tlocalestrings.Open_Watermark_Image;
      open.Filter = "Image file|*.*";
      open.FilterIndex = 2;
      open.Options = {ofFileMustExist};
      open.InitialDir = InitialDir;
      if (!open.Execute()) return false;
      FileName = open.FileName;
      return true;
    };
  }
  FOptionDialog->ClearFrameView(true);
  FOptionDialog->SetDecoder(FFDecoder);
  if (FOptionDialog->ShowModal() != mrOk) return false;
  FOptionDialog->BuildOutputOptions(Out);
  FOptionDialog->BuildInputOptions(In);
  return true;
}

void TfrmConverter::ShowWarning(const String& Text) {
  MessageBoxW(Handle(), Text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONWARNING);
}
