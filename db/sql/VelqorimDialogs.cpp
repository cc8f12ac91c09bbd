#include "db/sql/VelqorimDialogs.h"

#include <cmath>

namespace {

class TSilentDialogs : public IVelqorimDialogs {
 public:
  std::unique_ptr<IVelqorimWaitForm> ShowWaitForm(const String&) override { return nullptr; }
  bool ShowPasswordDialog(TObject*, const String&) override { return false; }
  bool Confirm(const String&) override { return false; }
  bool ShowMessage(const String&, TVelqorimMessageKind) override { return false; }
};

TSilentDialogs SilentDialogs;
IVelqorimDialogs* InstalledDialogs = nullptr;

}  // namespace

IVelqorimDialogs& VelqorimDialogs() { return InstalledDialogs != nullptr ? *InstalledDialogs : SilentDialogs; }

void SetVelqorimDialogs(IVelqorimDialogs* Dialogs) { InstalledDialogs = Dialogs; }

void TVelqorimWaitFormUser::Before(const String& Text, bool MakeVisible) {
  frmWait = VelqorimDialogs().ShowWaitForm(Text);
  if (frmWait == nullptr) return;
  frmWait->SetPosition(0);
  if (MakeVisible) {
    frmWait->MakeVisible();
    frmWait->ProcessMessages();
  }
}

void TVelqorimWaitFormUser::Progress(double PercentDone, bool& Continue, bool MakeVisible) {
  if (frmWait == nullptr) return;
  if (MakeVisible) frmWait->MakeVisible();
  frmWait->SetPosition(static_cast<int>(std::lround(PercentDone)));
  frmWait->ProcessMessages();
  Continue = !frmWait->Terminated();
}

void TVelqorimWaitFormUser::After() {
  if (frmWait == nullptr) return;
  frmWait->Close();
  frmWait.reset();
}
