#include "db/sql/dialogs/VelqorimDlgWait.h"

#include <algorithm>

#include "platform/vcl/Definitions.h"

namespace {

const char WaitFormDefinition[] = R"(object frmWait: TfrmWait
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'Please Wait...'
  ClientWidth = 312
  ClientHeight = 118
  Color = clBtnFace
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  OnClose = FormClose
  OnHide = FormHide
  OnShow = FormShow
  object lMessage: TLabel
    Left = 0
    Top = 0
    Width = 312
    Height = 49
    Alignment = taCenter
    Anchors = [akLeft, akTop, akRight, akBottom]
    AutoSize = False
    Caption = 'Wait...'
    Layout = tlCenter
    WordWrap = True
  end
  object pb: TProgressBar
    Left = 16
    Top = 64
    Width = 281
    Height = 16
    Max = 100
    Smooth = True
    Step = 1
    TabOrder = 1
  end
  object btnCancel: TButton
    Left = 104
    Top = 89
    Width = 75
    Height = 25
    Anchors = [akLeft, akBottom]
    Cancel = True
    Caption = 'Abort'
    Default = True
    TabOrder = 0
    OnClick = btnCancelClick
  end
  object btnBgMode: TButton
    Left = 192
    Top = 88
    Width = 105
    Height = 25
    Caption = 'Background Mode'
    TabOrder = 2
    OnClick = btnBgModeClick
  end
  object ShowTimer: TTimer
    Enabled = False
    Interval = 500
    OnTimer = ShowFormOnTimer
  end
end
)";

}  // namespace

TfrmWait::TfrmWait(TComponent* AOwner) : TForm(AOwner) {
  Handlers().Register("FormShow", TNotifyEvent([this](TObject* s) { FormShow(s); }));
  Handlers().Register("FormHide", TNotifyEvent([this](TObject* s) { FormHide(s); }));
  Handlers().Register("FormClose", TCloseEvent([this](TObject* s, TCloseAction& a) { FormClose(s, a); }));
  Handlers().Register("btnCancelClick", TNotifyEvent([this](TObject* s) { btnCancelClick(s); }));
  Handlers().Register("btnBgModeClick", TNotifyEvent([this](TObject* s) { btnBgModeClick(s); }));
  Handlers().Register("ShowFormOnTimer", TNotifyEvent([this](TObject* s) { ShowFormOnTimer(s); }));
  ::LoadDefinition(this, WaitFormDefinition, &Handlers());
  lMessage = DefinedChild<TLabel>(this, "lMessage");
  pb = DefinedChild<TProgressBar>(this, "pb");
  btnCancel = DefinedChild<TButton>(this, "btnCancel");
  btnBgMode = DefinedChild<TButton>(this, "btnBgMode");
  ShowTimer = DefinedChild<TTimer>(this, "ShowTimer");
}

void TfrmWait::Show(const String& Text) {
  lMessage->SetCaption(Text);
  Terminated = false;
  SetActiveControl(btnCancel);
  OldOnRestore = Application->OnRestore;
  IsShown = false;
  IsClosed = false;
  ShowTimer->SetEnabled(true);
}

void TfrmWait::ShowFormOnTimer(TObject*) {
  ShowTimer->SetEnabled(false);
  if (!IsClosed && pb->Position() <= 50) TForm::Show();
  Application->ProcessMessages();
}

void TfrmWait::FormShow(TObject*) {
  ShowTimer->SetEnabled(false);
  EActiveWindow = GetActiveWindow();
  EWindowList.clear();
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* Form = Screen->Forms(i);
    if (Form == this || !Form->HandleAllocated() || !IsWindowEnabled(Form->Handle())) continue;
    EnableWindow(Form->Handle(), FALSE);
    EWindowList.push_back(Form);
  }
  OldCursor = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  IsShown = true;
}

void TfrmWait::FormHide(TObject*) {
  ShowTimer->SetEnabled(false);
  if (!IsShown) return;
  for (TCustomForm* Form : EWindowList) {
    // A form may have gone while the wait lasted.
    bool Alive = false;
    for (int i = 0; i < Screen->FormCount() && !Alive; ++i) Alive = Screen->Forms(i) == Form;
    if (Alive && Form->HandleAllocated()) EnableWindow(Form->Handle(), TRUE);
  }
  EWindowList.clear();
  Screen->SetCursor(OldCursor);
  if (IsWindow(EActiveWindow)) SetActiveWindow(EActiveWindow);
  IsShown = false;
}

void TfrmWait::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void TfrmWait::btnCancelClick(TObject*) { Terminated = true; }

void TfrmWait::btnBgModeClick(TObject*) {
  Application->OnRestore = [this](TObject* s) { RestoreFromBackground(s); };
  Hide();
  Application->Minimize();
  Application->ProcessMessages();
}

void TfrmWait::RestoreFromBackground(TObject*) {
  Application->OnRestore = OldOnRestore;
  Show(lMessage->Caption());
  Application->ProcessMessages();
}

void TfrmWait::Close() {
  Application->OnRestore = OldOnRestore;
  Hide();
  Application->Restore();
  IsClosed = true;
  TForm::Close();
}
