#pragma once
// The about window: the product, its version, the rights notice, the
// freeware statement, the maker's web site and Close. Created hidden at
// start-up and shown on demand.

#include "app/FormLocal.h"

// The program's file version, as the build stamps it.
struct TFileVersion {
  bool Present = false;
  int Major = 0, Minor = 0, Release = 0, Build = 0;
};
TFileVersion ProgramFileVersion();
// "Version a.b.c" (the build number is not shown), or "" without a version.
String VersionLabelText(const TFileVersion& Version);

class TFormAide : public TFormlocal {
 public:
  explicit TFormAide(TComponent* AOwner);
  void DoLocalize() override;

  // What the web-site button opens; the desktop's opener by default.
  std::function<bool(const String&)> OpenURL;

 private:
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void BtnSiteClick(TObject* Sender);
  void BtnFermerClick(TObject* Sender);

  int FYear = 0;
};

extern TFormAide* FormAide;
