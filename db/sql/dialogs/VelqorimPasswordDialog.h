#pragma once
// The password dialog of an enciphered database.

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TVelqorimPassDialog : public TForm {
 public:
  explicit TVelqorimPassDialog(TComponent* AOwner);

  TLabel* lbName = nullptr;
  TLabel* Label1 = nullptr;
  TEdit* Pass = nullptr;
  TButton* cbOk = nullptr;
  TButton* cbCancel = nullptr;
  // The database component the password is for (an IVelqorimPasswordTarget).
  TObject* FDataBase = nullptr;

 private:
  void cbOkClick(TObject* Sender);
};

// Asks for the password of Database; true when the user pressed OK (the
// database then holds the typed password).
bool ShowPasswordDialog(TObject* Database, const String& Text);

// Makes the dataset layer use these windows and message boxes.
void InstallVelqorimWindowDialogs();
