// The about window from its embedded definition, and the language chooser's
// item text that keeps its selection.

#include <gtest/gtest.h>

#include "app/Locale.h"
#include "app/UnitAide.h"
#include "app/mo_en.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/app/AppWindowTest.h"

namespace {

class WindowsTest : public AppWindowTest {
 protected:
  void TearDown() override {
    FormAide = nullptr;
    AppWindowTest::TearDown();
  }
};

TEST_F(WindowsTest, AboutWindow) {
  EXPECT_EQ(VersionLabelText({true, 2, 4, 1, 17}), "Version 2.4.1");
  EXPECT_EQ(VersionLabelText({}), "");
  SelectLocale(0);
  TForm* main = nullptr;  // closing the main form would end the program
  Application->CreateForm(main);
  Application->CreateForm(FormAide);
  EXPECT_FALSE(FormAide->Visible());
  std::vector<String> opened;
  FormAide->OpenURL = [&](const String& U) {
    opened.push_back(U);
    return true;
  };
  FormAide->Show();
  EXPECT_EQ(FormAide->Caption(), "About");
  EXPECT_EQ(Named<TButton>(FormAide, "BtnSite").Caption(), "Website");
  EXPECT_EQ(Named<TButton>(FormAide, "BtnFermer").Caption(), "Close");
  EXPECT_EQ(Named<TLabel>(FormAide, "LabelVersion").Caption(), VersionLabelText(ProgramFileVersion()));
  EXPECT_EQ(Named<TLabel>(FormAide, "LabelProduct").Caption(), "Tarnwick");
  // The pictures come through the PNG picture class.
  for (const auto& [name, size] : {std::pair{"Image1", 64}, std::pair{"Image2", 96}}) {
    TGraphic* picture = Named<TImage>(FormAide, name).Picture()->Graphic();
    ASSERT_TRUE(dynamic_cast<TPNGGraphic*>(picture)) << name;
    EXPECT_EQ(picture->Width(), size) << name;
  }
  EXPECT_EQ(FormAide->ClientWidth(), 404);
  Named<TButton>(FormAide, "BtnSite").Click();
  EXPECT_EQ(opened, std::vector<String>{Tlocalestrings._LienMonSite});
  Named<TButton>(FormAide, "BtnFermer").Click();
  EXPECT_FALSE(FormAide->Visible());
}

}  // namespace

namespace {

TEST_F(WindowsTest, ComboItemTextKeepsTheSelection) {
  TForm form(nullptr);
  TComboBox combo(&form);
  combo.SetParent(&form);
  combo.SetStyle(csDropDownList);
  combo.Items()->Add("(Auto-select)");
  combo.SetItemIndex(0);
  SetComboItemKeepIndex(&combo, 1, "beyond");
  EXPECT_EQ(combo.Items()->Count(), 1);
  EXPECT_EQ(combo.Items()->Strings(0), "(Auto-select)");
  SetComboItemKeepIndex(&combo, 0, "(Automatique)");
  EXPECT_EQ(combo.Items()->Strings(0), "(Automatique)");
  EXPECT_EQ(combo.ItemIndex(), 0);
  EXPECT_EQ(combo.Text(), "(Automatique)");
}

}  // namespace
