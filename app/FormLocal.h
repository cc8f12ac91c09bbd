#pragma once
// The base of the application's windows: each takes its texts from the
// selected language just before it is first shown, and again whenever the
// language changes (at once when it is visible, at its next show otherwise).

#include "platform/vcl/Forms.h"

class TFormlocal : public TForm {
 public:
  explicit TFormlocal(TComponent* AOwner) : TForm(AOwner) {}
  // A window built from the definition embedded for DefinitionClass.
  TFormlocal(TComponent* AOwner, const String& DefinitionClass) : TForm(AOwner, DefinitionClass) {}

  // Copies the window's texts from Tlocalestrings; overrides call this first.
  virtual void DoLocalize() { localized = true; }
  void NotifyLocalize();
  bool Localized() const { return localized; }

  // The component of the window definition named Name, of class T; raises
  // naming both when there is none, since the code and its definition disagree.
  template <class T>
  T& Named(const char* Name) {
    auto* c = dynamic_cast<T*>(FindComponent(Name));
    if (!c) throw Exception(Format("%s has no control %s", {ClassName(), Name}));
    return *c;
  }

 protected:
  void DoShow() override;

  bool localized = false;
};
