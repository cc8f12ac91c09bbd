#pragma once
// How the dataset layer reaches its windows: the wait form of long
// maintenance operations, the password dialog and message boxes. The layer
// itself knows no window system; a program with one installs the windowed
// implementation (db/sql/dialogs). Without it every request answers as a
// component in silent mode does: no form, no password, no repair.

#include <memory>

#include "platform/rtl/Classes.h"

// One wait form, shown for one operation.
class IVelqorimWaitForm {
 public:
  virtual ~IVelqorimWaitForm() = default;
  virtual void SetPosition(int Percent) = 0;
  // Shows the form now instead of waiting for its delay.
  virtual void MakeVisible() = 0;
  // Handles pending window messages (the Abort button among them).
  virtual void ProcessMessages() = 0;
  // True once the user pressed Abort.
  virtual bool Terminated() = 0;
  // Hides the form for good; it goes away with this object.
  virtual void Close() = 0;
};

enum TVelqorimMessageKind { vmkInformation, vmkWarning, vmkError };

class IVelqorimDialogs {
 public:
  virtual ~IVelqorimDialogs() = default;
  // A wait form showing Text after its delay; nullptr without a window system.
  virtual std::unique_ptr<IVelqorimWaitForm> ShowWaitForm(const String& Text) = 0;
  // Asks for the password of Database (the database component, which receives
  // it); true when the user confirmed.
  virtual bool ShowPasswordDialog(TObject* Database, const String& Text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Confirm(const String& Text) = 0;
  // A message box with OK; true when it was shown.
  virtual bool ShowMessage(const String& Text, TVelqorimMessageKind Kind) = 0;
};

// The installed dialogs, or the silent ones.
IVelqorimDialogs& VelqorimDialogs();
// nullptr goes back to the silent dialogs. The caller keeps ownership.
void SetVelqorimDialogs(IVelqorimDialogs* Dialogs);

// Receives the password typed into the password dialog.
class IVelqorimPasswordTarget {
 public:
  virtual ~IVelqorimPasswordTarget() = default;
  virtual void SetDialogPassword(const String& Password) = 0;
};

// The wait form of one maintenance operation, driven by its component: each
// step calls the component's own handler when it has one, else shows the form
// unless the component is silent.
class TVelqorimWaitFormUser {
 public:
  // Creates the form at position 0 with Text; MakeVisible shows it at once.
  void Before(const String& Text, bool MakeVisible);
  // Sets the position and reads Abort into Continue.
  void Progress(double PercentDone, bool& Continue, bool MakeVisible);
  void After();
  bool Active() const { return frmWait != nullptr; }

 private:
  std::unique_ptr<IVelqorimWaitForm> frmWait;
};
