// Published properties: reading and setting by name and as text, through the
// class chain, sub-object paths and the errors for unknown names and values.

#include "platform/vcl/TypInfo.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class TypInfoTest : public WindowTest {};

TEST_F(TypInfoTest, TextValuesOfEveryKindRoundTripThroughTheFormsProperties) {
  TForm form(nullptr);
  struct Case {
    const char* path;
    const char* value;
    const char* expected;  // nullptr: same as value
  } cases[] = {
      {"Left", "12", nullptr},
      {"Width", "300", nullptr},
      {"Caption", "Hello 'there'", nullptr},
      {"Visible", "false", "False"},
      {"Enabled", "True", nullptr},
      {"Color", "clRed", nullptr},
      {"Color", "$00102030", "$00102030"},
      {"Font.Name", "Verdana", nullptr},
      {"font.style", "[fsItalic,fsBold]", "[fsBold, fsItalic]"},
      {"Font.Style", "[]", nullptr},
      {"BorderStyle", "bsDialog", nullptr},
      {"BorderIcons", "[biSystemMenu]", nullptr},
      {"Name", "MainForm", nullptr},
      {"Tag", "-7", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    SetPropValue(&form, c.path, c.value);
    EXPECT_EQ(GetPropValue(&form, c.path), c.expected ? c.expected : c.value);
  }
  EXPECT_EQ(form.Left(), 12);
  EXPECT_EQ(form.Font()->Name(), "Verdana");
  EXPECT_EQ(form.BorderStyle(), bsDialog);
  EXPECT_EQ(GetOrdProp(&form, "Color"), 0x00102030);
  SetOrdProp(&form, "Height", 77);
  EXPECT_EQ(form.Height(), 77);
  SetStrProp(&form, "Caption", "Set");
  EXPECT_EQ(GetStrProp(&form, "Caption"), "Set");
  EXPECT_EQ(GetObjectProp(&form, "Font"), form.Font());
}

TEST_F(TypInfoTest, InheritedAndDerivedPropertiesAreFoundAlongTheChain) {
  TForm form(nullptr);
  TWinControl child(&form);
  EXPECT_EQ(FindClassInfo(&form)->ClassName, "TForm");
  EXPECT_EQ(FindClassInfo(&child)->ClassName, "TWinControl");
  EXPECT_NE(GetPropInfo(&form, "caption"), nullptr);  // from TControl
  EXPECT_NE(GetPropInfo(&form, "BorderStyle"), nullptr);
  EXPECT_EQ(GetPropInfo(&child, "BorderStyle"), nullptr);  // forms only
  auto list = GetPropList(&form);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.front()->Name, "Name");  // ancestors first
  EXPECT_EQ(FindClassInfo("tform")->Parent->ClassName, "TCustomForm");

  // A handler bound by descriptor fires.
  int clicks = 0;
  GetPropInfo(&child, "OnClick")->SetEvent(&child, std::any(TNotifyEvent([&](TObject*) { ++clicks; })));
  child.OnClick(&child);
  EXPECT_EQ(clicks, 1);
}

TEST_F(TypInfoTest, UnknownNamesAndRejectedValuesRaiseNamingThem) {
  TForm form(nullptr);
  struct Case {
    const char* path;
    const char* value;
    const char* message;
  } cases[] = {
      {"Colour", "clRed", "Property Colour does not exist in TForm"},
      {"Font.Weight", "1", "Property Weight does not exist in TFont"},
      {"Left", "ten", "Invalid value 'ten' for property Left"},
      {"Visible", "yes", "Invalid value 'yes' for property Visible"},
      {"BorderStyle", "bsRound", "Invalid value 'bsRound' for property BorderStyle"},
      {"Font.Style", "[fsBold, fsHuge]", "Invalid value 'fsHuge' for property Style"},
      {"Font.Style", "fsBold", "Invalid value 'fsBold' for property Style"},
      {"Color", "clNoSuch", "Invalid value 'clNoSuch' for property Color"},
      {"Font", "x", "Property Font has no text form"},
      {"Caption.X", "x", "Property Caption has no sub-properties"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      SetPropValue(&form, c.path, c.value);
      ADD_FAILURE() << "accepted";
    } catch (const EPropertyError& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
}

}  // namespace
