#include "app/mo_en.h"

#include "app/Locale.h"

void FillEnglishStrings() {
#define TARNWICK_LOCALE_ENGLISH(Name, English) Tlocalestrings.Name = English;
  TARNWICK_LOCALE_STRINGS(TARNWICK_LOCALE_ENGLISH)
#undef TARNWICK_LOCALE_ENGLISH
}

void RegisterEnglishLocale() {
  RegisterLocale("English", FillEnglishStrings, 9, 0);
}
