#include "app/FormLocal.h"

void TFormlocal::DoShow() {
  if (!localized) DoLocalize();
  TForm::DoShow();
}

void TFormlocal::NotifyLocalize() {
  if (Visible())
    DoLocalize();
  else
    localized = false;
}
