#pragma once
// What the application's window tests share: a headless window layer with
// the English texts and the PNG picture class registered, every form freed
// after each test, and the controls of a definition by name.

#include "app/Locale.h"
#include "app/mo_en.h"
#include "imaging/acPNG.h"
#include "tests/platform_win/WinTestUtil.h"

template <class T>
T& Named(TComponent* Root, const char* Name) {
  auto* c = dynamic_cast<T*>(Root->FindComponent(Name));
  if (!c) throw Exception(String("no control ") + Name);
  return *c;
}

class AppWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ClearLocales();
    RegisterEnglishLocale();
    // The windows' pictures are PNG files read by the program's own reader.
    acPNGInitialize();
  }
  void TearDown() override {
    Application->DestroyComponents();
    acPNGFinalize();
    ClearLocales();
    WindowTest::TearDown();
  }
};
