#include "app/UnitAide.h"

#include <ctime>

#include "app/Locale.h"
#include "platform/os/System.h"
#include "platform/vcl/StdCtrls.h"

TFormAide* FormAide = nullptr;

TFileVersion ProgramFileVersion() {
#ifdef TARNWICK_VERSION_MAJOR
  return {true, TARNWICK_VERSION_MAJOR, TARNWICK_VERSION_MINOR, TARNWICK_VERSION_PATCH, TARNWICK_VERSION_TWEAK};
#else
  return {};
#endif
}

String VersionLabelText(const TFileVersion& Version) {
  if (!Version.Present) return String();
  return "Version " + IntToStr(Version.Major) + "." + IntToStr(Version.Minor) + "." + IntToStr(Version.Release);
}


TFormAide::TFormAide(TComponent* AOwner) : TFormlocal(AOwner, "TFormAide") {
  OpenURL = [](const String& URL) { return ShellOpen(URL); };
  Handlers().Register("FormCreate", TNotifyEvent([this](TObject* s) { FormCreate(s); }));
  Handlers().Register("FormShow", TNotifyEvent([this](TObject* s) { FormShow(s); }));
  Handlers().Register("BtnSiteClick", TNotifyEvent([this](TObject* s) { BtnSiteClick(s); }));
  Handlers().Register("BtnFermerClick", TNotifyEvent([this](TObject* s) { BtnFermerClick(s); }));
}

void TFormAide::FormCreate(TObject*) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  FYear = local.tm_year + 1900;
  Named<TLabel>("LabelCopyright")
      .SetCaption("Copyright \xC2\xA9 " + IntToStr(FYear) + " the Tarnwick authors. All rights reserved.");
}

void TFormAide::DoLocalize() {
  TFormlocal::DoLocalize();
  Named<TButton>("BtnSite").SetCaption(Tlocalestrings._Site);
  Named<TButton>("BtnFermer").SetCaption(Tlocalestrings._Fermer);
  SetCaption(Tlocalestrings._Aide);
}

void TFormAide::FormShow(TObject*) {
  Named<TLabel>("LabelVersion").SetCaption(VersionLabelText(ProgramFileVersion()));
}

void TFormAide::BtnSiteClick(TObject*) {
  if (OpenURL) OpenURL(Tlocalestrings._LienMonSite);
  BringToFront();
}

void TFormAide::BtnFermerClick(TObject*) {
  Close();
}
