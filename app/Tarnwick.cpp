// The program's start and end. Kept apart from the windows' units: the
// database engine's names and the menus' share identifiers.

#include <malloc.h>

#include "app/ConverterFrm.h"
#include "app/Locale.h"
#include "app/UnitAide.h"
#include "app/mo_en.h"
#include "db/sql/VelqorimMain.h"
#include "filesearch/FindFile.h"
#include "imaging/acPNG.h"
#include "imaging/dxGDIPlusClasses.h"
#include "platform/win/X11Backend.h"
#include "skin/core/acStartup.h"

void StartTarnwick(const std::vector<String>& Params) {
  // Every conversion thread (and each codec's own) would get an allocator
  // arena of its own that keeps its pages once the batch is over; two arenas
  // serve them as fast, and what they free goes back to the system.
  mallopt(M_ARENA_MAX, 2);
  UseDisplayBackendOrExit();
  // Initialisation in its fixed order; the language catalogue comes last.
  ClearLocales();
  VelqorimMainInitialize();
  acPNGInitialize();
  BuildCaseTables();
  dxGDIPlusClassesInitialize();
  InitSkinUnits(Params);
  RegisterEnglishLocale();
  Application->Initialize();
  Application->CreateForm(frmConverter);
  Application->CreateForm(FormAide);
  frmConverter->Show();
}

void FinishTarnwick() {
  // Finalisation in reverse: the windows go before the picture classes they hold.
  Application->DestroyComponents();
  frmConverter = nullptr;
  FormAide = nullptr;
  DoneSkinUnits();
  dxGDIPlusClassesFinalize();
  acPNGFinalize();
  VelqorimMainFinalize();
  ClearLocales();
}

int RunTarnwick(const std::vector<String>& Params) {
  StartTarnwick(Params);
  Application->Run();
  FinishTarnwick();
  return 0;
}
