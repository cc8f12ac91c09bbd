// The application's windows, headless, from their embedded definitions: the
// about window, the main window with a stand-in engine and scripted dialogs
// (buttons, rows, drops, closing during a waiting stop), and the options
// dialog's preview, key filter and defaults with a stand-in decoder.

#include <gtest/gtest.h>

#include "app/ConverterFrm.h"
#include "app/Locale.h"
#include "app/OptionFrm.h"
#include "app/UnitAide.h"
#include "app/mo_en.h"
#include "imaging/acPNG.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"
#include "platform/os/Threads.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/ListViews.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/app/ConverterFakes.h"
#include "tests/app/AppWindowTest.h"

namespace {

// The screen point at the middle of a control.
POINT Middle(TControl& C) {
  const TPoint p = C.ClientToScreen(TPoint(C.Width() / 2, C.Height() / 2));
  return POINT{p.X, p.Y};
}

class WindowsTest : public AppWindowTest {
 protected:
  void TearDown() override {
    frmConverter = nullptr;
    FormAide = nullptr;
    AppWindowTest::TearDown();
  }
};

// The main window on the stand-ins, made as the application makes its main form.
TFakeEngine* gEngine = nullptr;
TFakeInspector* gInspector = nullptr;
class TTestConverter : public TfrmConverter {
 public:
  explicit TTestConverter(TComponent* AOwner) : TfrmConverter(AOwner, gEngine, gInspector) {}
};

class MainWindowTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    prompts.Inspector = &inspector;
    inspector.Durations = {{"/v/a.mp4", 90 * 60 * 1000000LL}, {"/v/c.avi", 5000000}};
    gEngine = &engine;
    gInspector = &inspector;
    TTestConverter* made = nullptr;
    Application->CreateForm(made);
    form = made;
    frmConverter = form;
    Application->CreateForm(FormAide);
    form->OnRunOptions = [this](TInputOptions& In, TOutputOptions& Out) { return prompts.RunOptions(In, Out); };
    form->Show();
    Application->ProcessMessages();
  }
  bool Enabled(const char* Name) { return Named<TControl>(form, Name).Enabled(); }
  TListView& List() { return Named<TListView>(form, "lvFiles"); }
  String LogText() { return Named<TMemo>(form, "mmoLog").Text(); }

  TFakeEngine engine;
  TFakeInspector inspector;
  TFakePrompts prompts;
  TfrmConverter* form = nullptr;
};

TEST_F(MainWindowTest, ButtonsRowsAndTheEndOfTheQueue) {
  EXPECT_EQ(form->Caption(), "Tarnwick");
  EXPECT_GE(form->ClientWidth(), 762);  // the minimum window size may widen it
  EXPECT_EQ(form->Constraints()->MinWidth(), 778);
  EXPECT_EQ(form->Constraints()->MinHeight(), 496);
  EXPECT_TRUE(Enabled("btnAdd"));
  EXPECT_TRUE(Enabled("btnExit"));
  for (const char* b : {"btnRemove", "btnClear", "btnStart", "btnStop", "btnPause", "btnResume"})
    EXPECT_FALSE(Enabled(b)) << b;
  EXPECT_EQ(Named<TSpeedButton>(form, "btnWebSite").Caption(), Tlocalestrings._LienMonSite);
  EXPECT_EQ(Named<TSpeedButton>(form, "btnStart").Caption(), "Start");
  // The language chooser is there, filled, but neither seen nor usable.
  TComboBox& languages = Named<TComboBox>(form, "ComboBox1");
  EXPECT_FALSE(languages.Visible());
  EXPECT_FALSE(languages.Enabled());
  ASSERT_EQ(languages.Items()->Count(), 2);
  EXPECT_EQ((*languages.Items())[0], "(Auto-select)");
  EXPECT_EQ((*languages.Items())[1], "English");
  EXPECT_EQ(languages.ItemIndex(), 0);

  form->AddFileInteractive("/v/a.mp4");
  form->AddFileInteractive("/v/c.avi");
  ASSERT_EQ(List().Items()->Count(), 2);
  EXPECT_EQ(List().Items()->Item(0)->Caption(), "a.mp4");
  EXPECT_EQ((*List().Items()->Item(0)->SubItems())[0], "01:30:00");
  EXPECT_TRUE(Enabled("btnStart"));
  EXPECT_NE(LogText().find("***File has been added to convert list"), String::npos);

  Named<TComboBox>(form, "edtTasksCount").SetItemIndex(1);
  Named<TSpeedButton>(form, "btnStart").Click();
  EXPECT_EQ(engine.StartedWith, 2);
  EXPECT_FALSE(Enabled("btnAdd"));
  EXPECT_TRUE(Enabled("btnStop"));
  EXPECT_FALSE(Enabled("edtTasksCount"));

  engine.Progress(0, 45 * 60 * 1000000LL, 90 * 60 * 1000000LL, 30, 10 << 20);
  EXPECT_EQ((*List().Items()->Item(0)->SubItems())[rcProgress], "50%");
  FormAide->Show();
  engine.End(0, true);
  engine.End(1, true);
  EXPECT_TRUE(FormAide->Visible());  // the last row ended; the queue's end is still to come
  engine.End(-1, false);
  EXPECT_FALSE(FormAide->Visible());
  EXPECT_TRUE(Enabled("btnClear"));
  EXPECT_FALSE(Enabled("btnAdd"));
  EXPECT_NE(LogText().find("All Tasks Finished"), String::npos);

  Named<TSpeedButton>(form, "btnClear").Click();
  EXPECT_EQ(List().Items()->Count(), 0);
  EXPECT_EQ(LogText(), "");
  EXPECT_TRUE(Enabled("btnAdd"));
}

// Laid out as defined: every list column on view, the log beside the run
// options, and the about picture and web-site button inside the window.
TEST_F(MainWindowTest, LayoutShowsEveryColumnAndTheOptions) {
  TListView& list = List();
  int total = 0;
  for (int i = 0; i < list.Columns()->Count(); ++i) {
    EXPECT_GT(list.Columns()->Items(i)->Width(), 0) << i;
    total += list.Columns()->Items(i)->Width();
  }
  EXPECT_LE(total, list.ClientWidth());
  EXPECT_GE(list.Columns()->Items(rcOutput + 1)->Width(), 100);
  const TRect client = form->ClientRect();
  auto bounds = [&](const char* Name) {
    TControl& c = Named<TControl>(form, Name);
    const TPoint p = form->ScreenToClient(c.ClientToScreen(TPoint(0, 0)));
    return TRect(p.X, p.Y, p.X + c.Width(), p.Y + c.Height());
  };
  for (const char* name : {"lvFiles", "mmoLog", "grpOption", "Image2", "btnWebSite", "btnExit"}) {
    const TRect r = bounds(name);
    EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= client.Right && r.Bottom <= client.Bottom)
        << name << " " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
  EXPECT_LT(bounds("mmoLog").Right, bounds("grpOption").Left);
  // The list's empty picture and the about picture come through the PNG picture class.
  for (const auto& [name, width] : {std::pair{"Image1", 348}, std::pair{"Image2", 64}}) {
    TGraphic* picture = Named<TImage>(form, name).Picture()->Graphic();
    ASSERT_TRUE(dynamic_cast<TPNGGraphic*>(picture)) << name;
    EXPECT_EQ(picture->Width(), width) << name;
  }

  // The queue buttons carry glyphs whose corners are the face they are drawn
  // over; the enabled Add button shows its glyph's colours.
  for (const char* name : {"btnAdd", "btnRemove", "btnClear", "btnStart", "btnStop", "btnPause", "btnResume", "btnExit"}) {
    TBitmap* glyph = Named<TSpeedButton>(form, name).Glyph();
    ASSERT_FALSE(glyph->Empty()) << name;
    EXPECT_EQ(ColorToRGB(glyph->TransparentColor()), GetSysColor(COLOR_BTNFACE)) << name;
  }
  TBitmap* add = Named<TSpeedButton>(form, "btnAdd").Glyph();
  const TColor green = add->Canvas()->Pixels(2, add->Height() / 2);
  TBitmap shot;
  GetWindowSurfaceBitmap(form->Handle(), shot);
  const TPoint origin = Named<TSpeedButton>(form, "btnAdd").ClientToScreen(TPoint(0, 0));
  RECT frame;
  GetWindowRect(form->Handle(), &frame);
  bool shown = false;
  for (int y = 0; y < 25 && !shown; ++y)
    for (int x = 0; x < 95 && !shown; ++x)
      shown = shot.Canvas()->Pixels(origin.X - frame.left + x, origin.Y - frame.top + y) == green;
  EXPECT_TRUE(shown);
}

TEST_F(MainWindowTest, DropsCountOverTheListOnlyAndAreAlwaysFinished) {
  const POINT list = Middle(List());
  const POINT log = Middle(Named<TMemo>(form, "mmoLog"));
  ASSERT_TRUE(InjectDropFiles({"/v/a.mp4", "/v/notes.txt"}, list.x, list.y));
  Application->ProcessMessages();
  EXPECT_EQ(prompts.Dialogs, std::vector<String>{"/v/a.mp4"});
  InjectDropFiles({"/v/c.avi"}, log.x, log.y);
  Application->ProcessMessages();
  EXPECT_EQ(prompts.Dialogs.size(), 1u);

  // A handler that raises: the drop is finished all the same and the next one works.
  prompts.DuringDialog = [] { throw Exception("dialog failed"); };
  InjectDropFiles({"/v/c.avi"}, list.x, list.y);
  Application->ProcessMessages();
  prompts.DuringDialog = nullptr;
  InjectDropFiles({"/v/c.avi"}, list.x, list.y);
  Application->ProcessMessages();
  EXPECT_EQ(prompts.Dialogs.size(), 3u);
  EXPECT_EQ(List().Items()->Count(), 2);
}

TEST_F(MainWindowTest, ClosingDuringAWaitingStopEndsTheProgram) {
  form->AddFileInteractive("/v/a.mp4");
  Named<TSpeedButton>(form, "btnStart").Click();
  engine.WhileStopping = [this] {
    engine.WhileStopping = nullptr;
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    Application->ProcessMessages();
  };
  Named<TSpeedButton>(form, "btnStop").Click();
  EXPECT_TRUE(Application->Terminated());
}

// Play and Open Folder with a desktop opener that fails: its reason shows in
// a message box and goes to the log.
TEST_F(MainWindowTest, AFailingOpenerIsReported) {
  const String root = GetTempDir() + "tarnwick-opener-" + IntToStr(getpid()) + "/";
  ASSERT_TRUE(ForceDirectories(root));
  const String opener = root + "opener";
  {
    TFileStream script(opener, fmCreate);
    const String text = "#!/bin/sh\ncase \"$1\" in *.mp4) echo \"no player for $1\" >&2; exit 4;; esac\nexit 3\n";
    script.WriteBuffer(text.data(), int64_t(text.size()));
  }
  ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
  SetShellOpener(opener);
  inspector.Durations[root + "a.mp4"] = 1000000;
  form->AddFileInteractive(root + "a.mp4");
  Named<TSpeedButton>(form, "btnStart").Click();
  engine.End(0, true);
  engine.End(-1, false);
  const String output = root + "a.mp4.out.mp4";
  TFileStream(output, fmCreate);
  const auto boxAfter = [&](const char* Item) {
    Headless().ClearMessageBoxes();
    Named<TMenuItem>(form, Item).Click();
    for (int i = 0; i < 1000 && Headless().MessageBoxes().empty(); ++i) {
      CheckSynchronize(10);
      Application->ProcessMessages();
    }
    return Headless().MessageBoxes().empty() ? String() : Headless().MessageBoxes()[0].Text;
  };
  EXPECT_EQ(boxAfter("mnuPlay"), "Cannot open \"" + output + "\":\nno player for " + output);
  EXPECT_NE(LogText().find("***Cannot open " + output + ": no player for " + output), String::npos) << LogText();
  EXPECT_EQ(boxAfter("mnuOpenFolder"), "Cannot open \"" + root + "\":\nthe opener exited with status 3");
  SetShellOpener("");
  DeleteFile(output);
  DeleteFile(opener);
  RemoveDir(root);
}

}  // namespace


namespace {

// Where each caption and header of a window would not fit the room its
// control leaves for text at the definition's size.
std::vector<String> CutCaptions(TWinControl& Parent, TCanvas& Measure) {
  std::vector<String> cut;
  for (int i = 0; i < Parent.ControlCount(); ++i) {
    TControl* c = Parent.Controls(i);
    if (!c->Visible()) continue;
    Measure.SetFont(c->Font());
    const auto check = [&](const String& Text, int Room) {
      const int wide = Measure.TextWidth(StripHotkey(Text));
      if (!Text.empty() && wide > Room)
        cut.push_back(c->GetName() + " \"" + Text + "\": " + IntToStr(wide) + " > " + IntToStr(Room));
    };
    if (auto* b = dynamic_cast<TButton*>(c)) {
      check(b->Caption(), b->Width() - 8 - (b->Default() ? 2 : 0));  // face inset, default frame
    } else if (dynamic_cast<TCustomCheckBox*>(c) || dynamic_cast<TRadioButton*>(c)) {
      check(c->Caption(), c->Width() - 13 - 4);  // glyph and gap
    } else if (auto* g = dynamic_cast<TCustomGroupBox*>(c)) {
      check(g->Caption(), g->Width() - 16);  // text between the frame's corners
    } else if (auto* s = dynamic_cast<TSpeedButton*>(c)) {
      const int glyph = s->Glyph()->Empty() ? 0 : s->Glyph()->Width() / std::max(1, s->NumGlyphs()) + s->Spacing();
      check(s->Caption(), s->Width() - 4 - glyph);
    } else if (auto* l = dynamic_cast<TLabel*>(c)) {
      // A label sized to its text must still end inside its parent.
      if (!l->WordWrap()) check(l->Caption(), l->AutoSize() ? Parent.ClientWidth() - l->Left() : l->Width());
    } else if (auto* v = dynamic_cast<TListView*>(c)) {
      for (int k = 0; k < v->Columns()->Count(); ++k) {
        TListColumn* col = v->Columns()->Items(k);
        check(col->Caption(), col->Width() - 12);  // the header's padding
      }
    }
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      auto inner = CutCaptions(*w, Measure);
      cut.insert(cut.end(), inner.begin(), inner.end());
    }
  }
  return cut;
}

TEST_F(MainWindowTest, EveryCaptionFitsItsControl) {
  TBitmap scratch;
  scratch.SetSize(1, 1);
  TfrmOption options(Application);
  options.AfterConstruction();
  for (TForm* f : std::vector<TForm*>{form, FormAide, &options}) {
    SCOPED_TRACE(f->Caption());
    EXPECT_EQ(CutCaptions(*f, *scratch.Canvas()), std::vector<String>{});
  }
}

}  // namespace
