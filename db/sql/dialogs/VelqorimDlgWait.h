#pragma once
// The wait form of long maintenance operations: progress, "Abort" and
// "Background Mode". It appears only when its operation is still at half or
// less after 500 ms, unless its caller shows it at once.

#include <vector>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"

// A control that a window definition made, by name.
template <class T>
T* DefinedChild(TComponent* Root, const char* Name) {
  return dynamic_cast<T*>(Root->FindComponent(Name));
}

class TfrmWait : public TForm {
 public:
  explicit TfrmWait(TComponent* AOwner);

  // Starts the operation's wait with Text; the form shows after its delay.
  void Show(const String& Text);
  // Hides the form, restores the application and frees the form (later, as
  // a release); the caller drops its reference.
  void Close();

  TLabel* lMessage = nullptr;
  TProgressBar* pb = nullptr;
  TButton* btnCancel = nullptr;
  TButton* btnBgMode = nullptr;
  TTimer* ShowTimer = nullptr;

  // The windows the form disabled when it appeared, and the one active then.
  std::vector<TCustomForm*> EWindowList;
  HWND EActiveWindow = nullptr;
  TCursor OldCursor = crDefault;  // the screen's pointer before the form showed
  TNotifyEvent OldOnRestore;
  bool IsShown = false;
  bool IsClosed = false;
  // Set by "Abort"; the operation reads it at its next progress step.
  bool Terminated = false;

 private:
  void FormShow(TObject* Sender);
  void FormHide(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void btnCancelClick(TObject* Sender);
  void btnBgModeClick(TObject* Sender);
  void ShowFormOnTimer(TObject* Sender);
  void RestoreFromBackground(TObject* Sender);
};
