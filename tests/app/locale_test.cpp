// Languages and window texts: the English catalogue, the choice by index or
// by the user's language, and when a window takes its texts.

#include "app/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/FormLocal.h"
#include "app/mo_en.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class TTestWindow : public TFormlocal {
 public:
  explicit TTestWindow(TComponent* AOwner) : TFormlocal(AOwner) {}
  void DoLocalize() override {
    TFormlocal::DoLocalize();
    ++Localizations;
    SetCaption(Tlocalestrings.btnStart_Caption);
  }
  int Localizations = 0;
};

void FillOtherStrings() {
  FillEnglishStrings();
  Tlocalestrings.Title = "Autre";
  Tlocalestrings.btnStart_Caption = "Demarrer";
}

class LocaleTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ClearLocales();
  }
  void TearDown() override {
    ClearLocales();
    WindowTest::TearDown();
  }
};

TEST_F(LocaleTest, EnglishCatalogueFillsEveryText) {
  static_assert(sizeof(TLocaleStringRecord) == 91 * sizeof(String));
  FillEnglishStrings();
  const String* first = &Tlocalestrings.Title;
  for (size_t i = 0; i < sizeof(TLocaleStringRecord) / sizeof(String); ++i)
    EXPECT_FALSE(first[i].empty()) << i;
  EXPECT_EQ(Tlocalestrings.lAllTasksFinished, "All Tasks Finished ");
  EXPECT_EQ(Tlocalestrings.CDROM2, "Output folder cannot be located in CD-ROM.");
}

TEST_F(LocaleTest, SelectionByIndexAndByTheUsersLanguage) {
  SelectLocale(0);  // an empty table: nothing happens
  EXPECT_TRUE(Tlocalestrings.Title.empty());
  RegisterEnglishLocale();
  RegisterLocale("Other", FillOtherStrings, 12, 0);
  const char* saved = std::getenv("LC_ALL");
  const String savedValue = saved ? saved : "";
  for (const auto& [locale, title] :
       {std::pair{"fr_FR.UTF-8", "Autre"}, {"de_DE.UTF-8", "Tarnwick"}, {"en_GB.UTF-8", "Tarnwick"}}) {
    SCOPED_TRACE(locale);
    ::setenv("LC_ALL", locale, 1);
    SelectLocale(-1);
    EXPECT_EQ(Tlocalestrings.Title, title);
    EXPECT_EQ(Application->Title(), title);
  }
  if (saved)
    ::setenv("LC_ALL", savedValue.c_str(), 1);
  else
    ::unsetenv("LC_ALL");
  SelectLocale(0);
  SelectLocale(2);  // outside the table: unchanged
  SelectLocale(-2);
  EXPECT_EQ(Tlocalestrings.Title, "Tarnwick");
}

TEST_F(LocaleTest, WindowsTakeTheirTextsWhenShownOrAtOnceWhenVisible) {
  RegisterEnglishLocale();
  RegisterLocale("Other", FillOtherStrings, 12, 0);
  SelectLocale(0);
  TTestWindow* main = nullptr;
  TTestWindow* hidden = nullptr;
  TTestWindow* shown = nullptr;
  Application->CreateForm(main);
  Application->CreateForm(hidden);
  Application->CreateForm(shown);
  EXPECT_EQ(hidden->Localizations, 0);
  shown->Show();
  EXPECT_EQ(shown->Caption(), "Start");
  EXPECT_EQ(shown->Localizations, 1);
  hidden->Show();
  hidden->Hide();
  SelectLocale(1);
  // The main form at once, the visible form at once, the hidden one at its next show.
  EXPECT_EQ(main->Caption(), "Demarrer");
  EXPECT_EQ(shown->Caption(), "Demarrer");
  EXPECT_EQ(hidden->Caption(), "Start");
  EXPECT_FALSE(hidden->Localized());
  hidden->Show();
  EXPECT_EQ(hidden->Caption(), "Demarrer");
  EXPECT_EQ(hidden->Localizations, 2);
  delete shown;
  delete hidden;
  delete main;
}

}  // namespace
