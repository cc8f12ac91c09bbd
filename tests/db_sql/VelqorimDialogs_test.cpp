// The dataset layer's wait form, password dialog and message boxes on the
// headless window layer, and the silent answers without them.

#include <gtest/gtest.h>

#include "db/sql/VelqorimDialogs.h"
#include "db/sql/dialogs/VelqorimDlgWait.h"
#include "db/sql/dialogs/VelqorimPasswordDialog.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class VelqorimDialogsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    InstallVelqorimWindowDialogs();
    Application->CreateForm(Main);
    ShowForm(*Main);
  }
  void TearDown() override {
    SetVelqorimDialogs(nullptr);
    Application->ProcessMessages();  // released forms go
    Application->DestroyComponents();
    WindowTest::TearDown();
  }
  // The one wait form there is, or nullptr.
  static TfrmWait* WaitForm() {
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<TfrmWait*>(Screen->Forms(i))) return f;
    return nullptr;
  }
  // One progress step of an operation after Ms milliseconds.
  bool StepAfter(TVelqorimWaitFormUser& Wait, int Ms, double Percent) {
    Headless().AdvanceClock(static_cast<uint64_t>(Ms));
    bool Continue = true;
    Wait.Progress(Percent, Continue, false);
    return Continue;
  }

  TForm* Main = nullptr;
};

TEST_F(VelqorimDialogsTest, WaitFormShowsOnlyForSlowOperationsAndAborts) {
  // Past half-way within the delay: the form never appears.
  TVelqorimWaitFormUser fast;
  fast.Before("Copy Table...", false);
  ASSERT_NE(WaitForm(), nullptr);
  EXPECT_TRUE(StepAfter(fast, 100, 60));
  EXPECT_TRUE(StepAfter(fast, 600, 80));
  EXPECT_FALSE(WaitForm()->Visible());
  fast.After();
  Application->ProcessMessages();
  EXPECT_EQ(WaitForm(), nullptr);  // freed itself

  // Still at 10 % after the delay: shown, the main form disabled.
  TVelqorimWaitFormUser slow;
  slow.Before("Export Table...", false);
  TfrmWait* form = WaitForm();
  EXPECT_TRUE(StepAfter(slow, 100, 10));
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(StepAfter(slow, 450, 10));
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->lMessage->Caption(), "Export Table...");
  EXPECT_EQ(form->Caption(), "Please Wait...");
  EXPECT_EQ(form->ClientWidth(), 312);
  EXPECT_EQ(form->pb->Position(), 10);
  EXPECT_FALSE(IsWindowEnabled(Main->Handle()));
  // An hour-glass while the form shows, over its buttons and the other windows too.
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  EXPECT_EQ(Headless().CursorShape(), 32514);
  POINT p{10, 10};
  ClientToScreen(form->btnCancel->Handle(), &p);
  InjectMouseMove(p.x, p.y);
  EXPECT_EQ(Headless().CursorShape(), 32514);
  form->btnCancel->Click();
  EXPECT_FALSE(StepAfter(slow, 10, 20));  // the next step reads the abort
  slow.After();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(Headless().CursorShape(), 32512);
  EXPECT_TRUE(IsWindowEnabled(Main->Handle()));
  EXPECT_EQ(GetActiveWindow(), Main->Handle());
  Application->ProcessMessages();
  EXPECT_EQ(WaitForm(), nullptr);
}

TEST_F(VelqorimDialogsTest, BackgroundModeAndRestoreShowTheFormAgain) {
  int restored = 0;
  Application->OnRestore = [&](TObject*) { ++restored; };
  TVelqorimWaitFormUser wait;
  wait.Before("Compacting Database...", true);  // made visible at once
  TfrmWait* form = WaitForm();
  ASSERT_TRUE(form->Visible());
  form->btnCancel->Click();
  form->btnBgMode->Click();
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(Application->Minimized());
  EXPECT_TRUE(IsWindowEnabled(Main->Handle()));
  Application->Restore();  // the user brings the application back
  EXPECT_EQ(restored, 0);  // the form's handler ran instead, and handed back the old one
  EXPECT_FALSE(form->Terminated);
  EXPECT_TRUE(StepAfter(wait, 600, 30));
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->lMessage->Caption(), "Compacting Database...");
  wait.After();
  Application->Minimize();
  Application->Restore();
  EXPECT_EQ(restored, 1);
}

class TPasswordHolder : public TObject, public IVelqorimPasswordTarget {
 public:
  void SetDialogPassword(const String& Value) override { Password = Value; }
  String Password = "before";
};

TEST_F(VelqorimDialogsTest, PasswordDialogStoresOnlyOnOK) {
  TPasswordHolder database;
  struct Case {
    const char* typed;
    bool ok;
    const char* stored;
  };
  for (const Case& c : {Case{"s3cret", true, "s3cret"}, Case{"", true, ""}, Case{"other", false, ""}}) {
    String shownText, shownName;
    Application->OnIdle = [&](TObject*, bool& done) {
      done = false;
      auto* dialog = dynamic_cast<TVelqorimPassDialog*>(Screen->ActiveForm());
      if (dialog == nullptr || !dialog->Visible()) return;
      shownText = dialog->Pass->Text();
      shownName = dialog->lbName->Caption();
      EXPECT_EQ(dialog->Pass->PasswordChar(), '*');
      dialog->Pass->SetTextValue(c.typed);
      (c.ok ? dialog->cbOk : dialog->cbCancel)->Click();
    };
    EXPECT_EQ(VelqorimDialogs().ShowPasswordDialog(&database, "db1"), c.ok) << c.typed;
    Application->OnIdle = nullptr;
    EXPECT_EQ(shownText, "");  // never the previous password
    EXPECT_EQ(shownName, "db1");
    EXPECT_EQ(database.Password, c.stored) << c.typed;
  }
}

TEST_F(VelqorimDialogsTest, MessageBoxesAndSilentAnswers) {
  Headless().MessageBoxReply = IDYES;
  EXPECT_TRUE(VelqorimDialogs().Confirm("Repair it?"));
  Headless().MessageBoxReply = IDNO;
  EXPECT_FALSE(VelqorimDialogs().Confirm("Repair it?"));
  EXPECT_TRUE(VelqorimDialogs().ShowMessage("Log", vmkWarning));
  ASSERT_EQ(Headless().MessageBoxes().size(), 3u);
  EXPECT_EQ(Headless().MessageBoxes()[2].Text, "Log");

  SetVelqorimDialogs(nullptr);
  Headless().ClearMessageBoxes();
  TPasswordHolder database;
  EXPECT_FALSE(VelqorimDialogs().ShowPasswordDialog(&database, ""));
  EXPECT_FALSE(VelqorimDialogs().Confirm("Repair it?"));
  EXPECT_FALSE(VelqorimDialogs().ShowMessage("Log", vmkInformation));
  TVelqorimWaitFormUser wait;
  wait.Before("Repairing Database...", true);
  EXPECT_FALSE(wait.Active());
  bool Continue = true;
  wait.Progress(50, Continue, true);
  EXPECT_TRUE(Continue);
  wait.After();
  EXPECT_EQ(WaitForm(), nullptr);
  EXPECT_TRUE(Headless().MessageBoxes().empty());
  EXPECT_EQ(database.Password, "before");
}

}  // namespace
