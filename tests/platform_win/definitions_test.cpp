// Window definitions: the text format's round trip, loading into forms with
// nested components, events and pictures, embedded definitions, and the
// errors that name what is wrong.

#include "platform/vcl/Definitions.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

enum TWidgetKind { wkPlain, wkFancy, wkGrand };
enum TWidgetOption { woOne, woTwo, woThree };
using TWidgetOptions = TSet<TWidgetOption>;

class TWidgetItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  int Width = 0;
  String Caption;
};

// A control with one property of every kind.
class TWidget : public TWinControl {
 public:
  explicit TWidget(TComponent* AOwner) : TWinControl(AOwner) {}
  TWidgetKind Kind = wkPlain;
  TWidgetOptions Options;
  bool Flat = false;
  TStringList Lines;
  TCollection Items{TCollection::ItemClassOf<TWidgetItem>()};
  TPicture Picture;
  TComponent* Buddy = nullptr;
  TNotifyEvent OnChange;
};

void RegisterWidget() {
  RegisterPropertyClass<TWidgetItem>(
      "TWidgetItem",
      {IntProp<TWidgetItem>("Width", [](TWidgetItem* i) { return i->Width; }, [](TWidgetItem* i, int v) { i->Width = v; }),
       StrProp<TWidgetItem>("Caption", [](TWidgetItem* i) { return i->Caption; },
                            [](TWidgetItem* i, const String& v) { i->Caption = v; })});
  RegisterPropertyClass<TWidget, TWinControl>(
      "TWidget",
      {EnumProp<TWidget, TWidgetKind>("Kind", {"wkPlain", "wkFancy", "wkGrand"}, [](TWidget* w) { return w->Kind; },
                                      [](TWidget* w, TWidgetKind v) { w->Kind = v; }),
       SetProp<TWidget, TWidgetOption>("Options", {"woOne", "woTwo", "woThree"}, [](TWidget* w) { return w->Options; },
                                       [](TWidget* w, TWidgetOptions v) { w->Options = v; }),
       BoolProp<TWidget>("Flat", [](TWidget* w) { return w->Flat; }, [](TWidget* w, bool v) { w->Flat = v; }),
       ObjectProp<TWidget>("Lines", pkStrings, [](TWidget* w) { return &w->Lines; }),
       ObjectProp<TWidget>("Items", pkCollection, [](TWidget* w) { return &w->Items; }),
       ObjectProp<TWidget>("Picture", pkPicture, [](TWidget* w) { return &w->Picture; }),
       ComponentProp<TWidget>("Buddy", [](TWidget* w) { return w->Buddy; },
                              [](TWidget* w, TComponent* c) { w->Buddy = c; }),
       EventProp<TWidget>("OnChange", &TWidget::OnChange)});
}

class DefinitionsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    RegisterWidget();
  }
};

String PictureHex() {
  TBitmap bitmap(2, 2);
  bitmap.Canvas()->SetPixels(1, 0, clRed);
  TPicture picture;
  picture.SetGraphic(&bitmap);
  TMemoryStream stream;
  picture.WriteData(stream);
  String hex;
  for (uint8_t b : stream.Bytes()) hex += Format("%.2X", {int(b)});
  return hex;
}

String WidgetForm() {
  return R"(object Form1: TForm
  Caption = 'Main ''window'''#13#10'two'
  Left = -10
  Top = $20
  Color = clRed
  Font.Style = [fsBold, fsItalic]
  Font.Name = 'Verdana'
  OnClick = FormClick
  object Panel1: TWinControl
    Width = 300
    object Widget1: TWidget
      Kind = wkFancy
      Options = [woOne, woThree]
      Flat = True
      Color = 255
      Buddy = Widget2
      Lines.Strings = (
        'first'
        'second ' + 'half'
        '')
      Items = <
        item
          Width = 40
          Caption = 'Name'
        end
        item
          Width = 60
        end>
      Picture.Data = {)" +
         PictureHex() + R"(}
      OnChange = WidgetChange
    end
  end
  object Widget2: TWidget
    Caption = #8364' sign'
  end
end
)";
}

TEST_F(DefinitionsTest, TextRoundTripsThroughReaderAndWriter) {
  TDefObject def = ParseDefinition(WidgetForm());
  String written = WriteDefinition(def);
  EXPECT_EQ(ParseDefinition(written), def);
  EXPECT_EQ(WriteDefinition(ParseDefinition(written)), written);

  EXPECT_EQ(def.Properties[0].Value.Str, "Main 'window'\r\ntwo");
  EXPECT_EQ(def.Properties[1].Value.Int, -10);
  EXPECT_EQ(def.Properties[2].Value.Int, 32);
  const TDefObject& widget = def.Children[0].Children[0];
  EXPECT_EQ(widget.ClassName, "TWidget");
  const TDefValue& lines = widget.Properties[5].Value;
  EXPECT_EQ(lines.List, (std::vector<String>{"first", "second half", ""}));
  EXPECT_EQ(widget.Properties[6].Value.Items.size(), 2u);
  EXPECT_EQ(widget.Properties[7].Value.Kind, TDefValue::vBinary);
  EXPECT_EQ(def.Children[1].Properties[0].Value.Str, "\xE2\x82\xAC sign");
}

TEST_F(DefinitionsTest, LoadsNestedComponentsEventsAndPictureAndWritesThemBack) {
  TForm form(nullptr);
  int formClicks = 0;
  int changes = 0;
  form.Handlers().Register("FormClick", TNotifyEvent([&](TObject*) { ++formClicks; }));
  form.Handlers().Register("WidgetChange", TNotifyEvent([&](TObject*) { ++changes; }));
  LoadDefinition(&form, WidgetForm(), &form.Handlers());

  EXPECT_EQ(form.GetName(), "");  // the root keeps its own name
  EXPECT_EQ(form.Caption(), "Main 'window'\r\ntwo");
  EXPECT_EQ(form.Left(), -10);
  EXPECT_EQ(form.Color(), clRed);
  EXPECT_EQ(form.Font()->Style(), (TFontStyles{fsBold, fsItalic}));
  auto* panel = dynamic_cast<TWinControl*>(form.FindComponent("Panel1"));
  auto* widget = dynamic_cast<TWidget*>(form.FindComponent("Widget1"));
  auto* widget2 = dynamic_cast<TWidget*>(form.FindComponent("Widget2"));
  ASSERT_TRUE(panel && widget && widget2);
  EXPECT_EQ(panel->Parent(), &form);
  EXPECT_EQ(widget->Parent(), panel);
  EXPECT_EQ(widget2->Parent(), &form);
  EXPECT_EQ(widget->Kind, wkFancy);
  EXPECT_EQ(widget->Options, (TWidgetOptions{woOne, woThree}));
  EXPECT_TRUE(widget->Flat);
  EXPECT_EQ(widget->Color(), 255);
  EXPECT_EQ(widget->Buddy, widget2);  // a forward reference
  EXPECT_EQ(widget->Lines.Text(), "first\nsecond half\n\n");
  ASSERT_EQ(widget->Items.Count(), 2);
  EXPECT_EQ(static_cast<TWidgetItem*>(widget->Items.Items(0))->Caption, "Name");
  EXPECT_EQ(static_cast<TWidgetItem*>(widget->Items.Items(1))->Width, 60);
  ASSERT_NE(widget->Picture.Graphic(), nullptr);
  EXPECT_EQ(widget->Picture.Width(), 2);
  EXPECT_EQ(widget->Picture.Bitmap()->Canvas()->Pixels(1, 0), clRed);
  EXPECT_EQ(widget2->Caption(), "\xE2\x82\xAC sign");
  form.OnClick(&form);
  widget->OnChange(widget);
  EXPECT_EQ(formClicks, 1);
  EXPECT_EQ(changes, 1);

  // What the writer makes of the loaded form loads into an equal form.
  form.SetName("Form1");
  TDefObject described = DescribeComponent(&form, &form.Handlers());
  TForm copy(nullptr);
  copy.Handlers() = form.Handlers();
  copy.SetName("Form1");
  LoadDefinition(&copy, WriteDefinition(described), &copy.Handlers());
  TDefObject again = DescribeComponent(&copy, &copy.Handlers());
  EXPECT_EQ(WriteDefinition(again), WriteDefinition(described));
  EXPECT_EQ(again.Children.size(), 2u);
  EXPECT_NE(WriteDefinition(again).find("OnChange = WidgetChange"), String::npos);
  EXPECT_NE(WriteDefinition(again).find("Picture.Data = {"), String::npos);
}

class TEmbeddedForm : public TForm {
 public:
  explicit TEmbeddedForm(TComponent* AOwner) : TForm(AOwner, "TEmbeddedForm") {
    Handlers().Register("btnStartClick", TNotifyEvent([this](TObject*) { ++Starts; }));
  }
  int Starts = 0;
};

TEST_F(DefinitionsTest, FormLoadsItsEmbeddedDefinitionWhenCreated) {
  TEmbeddedForm* form = nullptr;
  Application->CreateForm(form);
  EXPECT_EQ(form->Caption(), "Embedded");
  EXPECT_EQ(form->Width(), 400);
  auto* button = dynamic_cast<TWinControl*>(form->FindComponent("btnStart"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Parent(), form->FindComponent("pnlTop"));
  button->OnClick(button);
  EXPECT_EQ(form->Starts, 1);
  form->LoadDefinition();  // once only: no duplicate names
  EXPECT_EQ(form->ComponentCount(), 2);

  TForm missing(nullptr, "TNoSuchForm");
  try {
    missing.LoadDefinition();
    ADD_FAILURE() << "loaded";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message, "No window definition for class TNoSuchForm");
  }
}

class TClipFrame : public TFrame {
 public:
  explicit TClipFrame(TComponent* AOwner) : TFrame(AOwner, "TClipFrame") {
    Handlers().Register("btnPlayClick", TNotifyEvent([this](TObject*) { ++Plays; }));
  }
  int Plays = 0;
};

TEST_F(DefinitionsTest, InlineFramesBringTheirOwnDefinitionAndTheBlockChangesIt) {
  RegisterPropertyClass<TClipFrame, TFrame>("TClipFrame", {});
  RegisterWindowDefinition(R"(object ClipFrame: TClipFrame
  Width = 200
  Height = 80
  object lblClip: TLabel
    Caption = 'Clip'
  end
  object btnPlay: TButton
    Top = 30
    Caption = 'Play'
    OnClick = btnPlayClick
  end
end
)");
  const char* host = R"(object Host: TForm
  inline Clip1: TClipFrame
    Left = 10
    Top = 20
    object lblClip: TLabel
      Caption = 'First clip'
    end
    object lblMore: TLabel
      Top = 60
      Caption = 'More'
    end
  end
end
)";
  TForm form(nullptr);
  form.SetName("Host");
  LoadDefinition(&form, std::string_view(host), &form.Handlers());
  auto* frame = dynamic_cast<TClipFrame*>(form.FindComponent("Clip1"));
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->Parent(), &form);
  EXPECT_EQ(frame->BoundsRect(), Bounds(10, 20, 200, 80));
  auto* clip = dynamic_cast<TLabel*>(frame->FindComponent("lblClip"));
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->Caption(), "First clip");
  auto* more = dynamic_cast<TLabel*>(form.FindComponent("lblMore"));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(more->Parent(), frame);
  auto* play = dynamic_cast<TButton*>(frame->FindComponent("btnPlay"));
  ASSERT_NE(play, nullptr);
  play->Click();
  EXPECT_EQ(frame->Plays, 1);
  // Written back as an inline block that reads again.
  const String text = WriteDefinition(DescribeComponent(&form, &form.Handlers()));
  EXPECT_NE(text.find("inline Clip1: TClipFrame"), String::npos);
  TForm again(nullptr);
  LoadDefinition(&again, std::string_view(text), &again.Handlers());
  EXPECT_NE(dynamic_cast<TClipFrame*>(again.FindComponent("Clip1")), nullptr);
}

TEST_F(DefinitionsTest, FailuresNameWhatIsWrongAndWhere) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"object F: TForm\n  object X: TNoSuchClass\n  end\nend", "Line 2: Class TNoSuchClass not found"},
      {"object F: TForm\n  Left = 1\n  Colour = clRed\nend", "Line 3: Property Colour does not exist in TForm"},
      {"object F: TForm\n  Font.Weight = 1\nend", "Line 2: Property Weight does not exist in TFont"},
      {"object F: TForm\n\n  OnClick = NoSuchClick\nend", "Line 3: Handler NoSuchClick not found"},
      {"object F: TForm\n  OnClose = Click\nend", "Line 2: Handler Click does not fit event OnClose"},
      {"object F: TForm\n  Left = 'x'\nend", "Line 2: Invalid value for property Left"},
      {"object F: TForm\n  BorderStyle = bsRound\nend", "Line 2: Invalid value 'bsRound' for property BorderStyle"},
      {"object F: TForm\n  object W: TWidget\n    Buddy = Nobody\n  end\nend",
       "Line 3: Component Nobody not found for property Buddy"},
      {"object F: TForm\n  object A: TWidget\n  end\n  object a: TWidget\n  end\nend",
       "Line 4: A component named a already exists"},
      {"object F: TForm\n  Caption = 'open\nend", "Line 2: Unterminated string"},
      {"object F: TForm\n  Left 5\nend", "Line 2: '=' expected"},
      {"object F: TForm\n  Left = 5\n", "Line 3: 'end' expected"},
      {"object F: TForm\nend\nend", "Line 3: Text after the last 'end'"},
      {"object F: TForm\n  Tag = 99999999999999999999\nend", "Line 2: Invalid number 99999999999999999999"},
      {"object F: TForm\n  X.Data = {ABC}\nend", "Line 2: Odd number of hex digits"},
      {"object F: TForm\n  inline W: TWidget\n  end\nend", "Line 2: Class TWidget cannot be inline"},
      {"object F: TForm\n  Caption = #\nend", "Line 2: Invalid character code"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TForm form(nullptr);
    form.Handlers().Register("Click", TNotifyEvent([](TObject*) {}));
    try {
      LoadDefinition(&form, std::string_view(c.text), &form.Handlers());
      ADD_FAILURE() << "loaded";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
}

}  // namespace
