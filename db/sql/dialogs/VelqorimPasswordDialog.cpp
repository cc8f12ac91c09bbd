#include "db/sql/dialogs/VelqorimPasswordDialog.h"

#include <memory>

#include "db/sql/VelqorimDialogs.h"
#include "db/sql/dialogs/VelqorimDlgWait.h"
#include "platform/vcl/Definitions.h"

namespace {

const char PassDialogDefinition[] = R"(object VelqorimPassDialog: TVelqorimPassDialog
  BorderStyle = bsDialog
  Caption = 'Database authentication'
  ClientWidth = 216
  ClientHeight = 118
  Color = clBtnFace
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Position = poScreenCenter
  object lbName: TLabel
    Left = 8
    Top = 8
    Width = 193
    Height = 13
    Alignment = taCenter
    AutoSize = False
    Caption = 'lbName'
  end
  object Label1: TLabel
    Left = 8
    Top = 36
    Width = 49
    Height = 13
    Caption = 'Password:'
  end
  object Pass: TEdit
    Left = 72
    Top = 32
    Width = 130
    Height = 21
    PasswordChar = 42
    TabOrder = 0
    Text = 'Pass'
  end
  object cbOk: TButton
    Left = 8
    Top = 72
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
    OnClick = cbOkClick
  end
  object cbCancel: TButton
    Left = 128
    Top = 72
    Width = 75
    Height = 25
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 2
  end
end
)";

// The wait form behind the layer's interface. The form frees itself when it closes.
class TWindowWaitForm : public IVelqorimWaitForm {
 public:
  explicit TWindowWaitForm(const String& Text) : FForm(new TfrmWait(nullptr)) {
    FForm->pb->SetPosition(0);
    FForm->Show(Text);
  }
  ~TWindowWaitForm() override { Close(); }
  void SetPosition(int Percent) override {
    if (FForm != nullptr) FForm->pb->SetPosition(Percent);
  }
  void MakeVisible() override {
    if (FForm != nullptr) FForm->TForm::Show();
  }
  void ProcessMessages() override { Application->ProcessMessages(); }
  bool Terminated() override { return FForm != nullptr && FForm->Terminated; }
  void Close() override {
    if (FForm == nullptr) return;
    TfrmWait* Form = FForm;
    FForm = nullptr;
    Form->Close();
  }

 private:
  TfrmWait* FForm;
};

class TWindowDialogs : public IVelqorimDialogs {
 public:
  std::unique_ptr<IVelqorimWaitForm> ShowWaitForm(const String& Text) override {
    return std::make_unique<TWindowWaitForm>(Text);
  }
  bool ShowPasswordDialog(TObject* Database, const String& Text) override {
    return ::ShowPasswordDialog(Database, Text);
  }
  bool Confirm(const String& Text) override {
    return MessageBoxW(ActiveOwner(), Text.c_str(), "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  bool ShowMessage(const String& Text, TVelqorimMessageKind Kind) override {
    static const char* const Captions[] = {"Information", "Warning", "Error"};
    static const UINT Icons[] = {MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR};
    MessageBoxW(ActiveOwner(), Text.c_str(), Captions[Kind], MB_OK | Icons[Kind]);
    return true;
  }

 private:
  static HWND ActiveOwner() { return GetActiveWindow(); }
};

TWindowDialogs WindowDialogs;

}  // namespace

TVelqorimPassDialog::TVelqorimPassDialog(TComponent* AOwner) : TForm(AOwner) {
  Handlers().Register("cbOkClick", TNotifyEvent([this](TObject* s) { cbOkClick(s); }));
  ::LoadDefinition(this, PassDialogDefinition, &Handlers());
  lbName = DefinedChild<TLabel>(this, "lbName");
  Label1 = DefinedChild<TLabel>(this, "Label1");
  Pass = DefinedChild<TEdit>(this, "Pass");
  cbOk = DefinedChild<TButton>(this, "cbOk");
  cbCancel = DefinedChild<TButton>(this, "cbCancel");
}

void TVelqorimPassDialog::cbOkClick(TObject*) {
  auto* Target = dynamic_cast<IVelqorimPasswordTarget*>(FDataBase);
  if (Target == nullptr) throw Exception("Invalid class typecast");
  Target->SetDialogPassword(Pass->Text());
}

bool ShowPasswordDialog(TObject* Database, const String& Text) {
  std::unique_ptr<TVelqorimPassDialog> Dialog(new TVelqorimPassDialog(Application));
  Dialog->Pass->SetTextValue("");
  Dialog->FDataBase = Database;
  Dialog->lbName->SetCaption(Text);
  return Dialog->ShowModal() == mrOk;
}

void InstallVelqorimWindowDialogs() { SetVelqorimDialogs(&WindowDialogs); }
