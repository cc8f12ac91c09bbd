// The options dialog from its definition with a stand-in decoder: the
// track bar's steps and seeks, the clip marks, the picture at its actual
// size, the key filter and the defaults restored at closing.

#include <gtest/gtest.h>

#include "app/Locale.h"
#include "app/OptionFrm.h"
#include "app/mo_en.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/os/Threads.h"
#include "tests/app/AppWindowTest.h"

namespace {

using WindowsTest = AppWindowTest;

class OptionDialogTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    SelectLocale(0);
    dialog = new TfrmOption(Application);
    dialog->AfterConstruction();
  }
  TfrmOption* dialog = nullptr;
};

class TStepDecoder : public IPreviewDecoder {
 public:
  int Current = -1;
  String FileName() override { return "/v/clip.mp4"; }
  int64_t StartTime() override { return 0; }
  int64_t Duration() override { return 4000000; }
  String FormatName() override { return "matroska,webm"; }
  String FileInfoText() override { return "Input #0"; }
  int VideoStreamCount() override { return 1; }
  int FirstVideoStreamIndex() override { return 0; }
  int FirstAudioStreamIndex() override { return 1; }
  int64_t VideoDurationScaled() override { return 4000000; }
  AVRational VideoFrameRate() override { return {25, 1}; }
  bool Decode() override { return ++Current < 100; }
  bool DecodePreviousFrame() override { return --Current >= 0; }
  bool Seek(int64_t PTS, TSeekFlags) override {
    Current = int(PTS / 40000) - 1;
    return true;
  }
  int64_t PicturePTS() override { return int64_t(Current) * 40000; }
  bool CopyToBitmap(TBitmap* B) override {
    B->SetSize(1920, 1080);
    return true;
  }
};

TEST_F(OptionDialogTest, PreviewMarksKeysAndDefaults) {
  dialog->Show();
  EXPECT_EQ(dialog->Caption(), "Output Options");
  EXPECT_EQ(Named<TEdit>(dialog, "edtOutPath").Text(), "<same as input>");
  EXPECT_EQ(Named<TRadioGroup>(dialog, "grpFormats").ItemIndex(), 3);
  TStepDecoder decoder;
  dialog->ClearFrameView(true);
  dialog->SetPreviewDecoder(&decoder);
  TTrackBar& bar = Named<TTrackBar>(dialog, "TrackBar1");
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_TRUE(bar.Enabled());
  bar.SetPosition(1);  // as the user's one step
  EXPECT_EQ(decoder.Current, 1);
  EXPECT_EQ(Named<TLabel>(dialog, "lblPTS").Caption(), "00:00:00.040");
  Named<TButton>(dialog, "btnStartTime").Click();
  bar.SetPosition(50);
  EXPECT_EQ(decoder.Current, 50);
  Named<TButton>(dialog, "btnEndTime").Click();
  EXPECT_TRUE(Named<TCheckBox>(dialog, "chkCutClip").Checked());
  EXPECT_EQ(Named<TEdit>(dialog, "edtEndTime").Text(), "00:00:02.000");
  const TOptionChoices c = dialog->ReadChoices();
  EXPECT_TRUE(c.CutClip && c.CutClipEnabled);

  // The key filter refuses a minus sign with a message.
  TEdit& rotate = Named<TEdit>(dialog, "edtRotate");
  Named<TCheckBox>(dialog, "chkRotate").SetChecked(true);
  EXPECT_TRUE(rotate.Enabled());
  rotate.SetFocus();
  Headless().ClearMessageBoxes();
  InjectChar(U'-');
  Application->ProcessMessages();
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(Headless().MessageBoxes()[0].Text, "Invalid key: -");
  EXPECT_EQ(rotate.Text(), "45");

  // Blank edits get their defaults back at closing, and their boxes unchecked.
  rotate.SetTextValue(" ");
  Named<TEdit>(dialog, "edtVideoBitRate").SetTextValue("");
  dialog->Close();
  EXPECT_EQ(rotate.Text(), "45");
  EXPECT_FALSE(Named<TCheckBox>(dialog, "chkRotate").Checked());
  EXPECT_EQ(Named<TEdit>(dialog, "edtVideoBitRate").Text(), "1500");

  // The picture at its actual size, in a window of its own.
  bar.SetPosition(99);  // 3.96 s
  String caption;
  QueueInMainThread([&] {
    for (int i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (f->Modal()) {
        caption = f->Caption();
        EXPECT_EQ(f->ClientWidth(), 1920);
        f->Close();
      }
    }
  });
  Named<TImage>(dialog, "Image1").OnClick(nullptr);
  EXPECT_EQ(caption, "1920x1080 @ 00:00:03.960");

  // Every add starts without marks.
  dialog->ClearFrameView(true);
  dialog->SetPreviewDecoder(&decoder);
  EXPECT_EQ(Named<TEdit>(dialog, "edtStartTime").Text(), "N/A");
  EXPECT_FALSE(Named<TCheckBox>(dialog, "chkCutClip").Enabled());
}

// Control keys edit; only printable keys other than digits are refused.
TEST_F(OptionDialogTest, EditingKeysPassTheNumericFilter) {
  dialog->Show();
  TEdit& rate = Named<TEdit>(dialog, "edtVideoBitRate");
  rate.SetFocus();
  Headless().ClearMessageBoxes();
  InjectChar(char32_t(1));  // Ctrl+A: select all
  Application->ProcessMessages();
  EXPECT_TRUE(Headless().MessageBoxes().empty());
  EXPECT_EQ(rate.SelLength(), 4);
  InjectChar(U'8');  // replaces the selection
  InjectChar(char32_t(8));
  InjectChar(U'9');
  Application->ProcessMessages();
  EXPECT_EQ(rate.Text(), "9");
  EXPECT_TRUE(Headless().MessageBoxes().empty());
  InjectChar(U'k');
  Application->ProcessMessages();
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(rate.Text(), "9");
  dialog->Close();
}

// OK refuses a value the option text cannot take, or an output folder that
// takes no files: a message naming it, the focus on it, the dialog open.
TEST_F(OptionDialogTest, OkRefusesWhatCannotBeConverted) {
  TStepDecoder decoder;
  dialog->ClearFrameView(true);
  dialog->SetPreviewDecoder(&decoder);
  TEdit& rate = Named<TEdit>(dialog, "edtVideoBitRate");
  TEdit& out = Named<TEdit>(dialog, "edtOutPath");
  std::vector<String> texts;
  std::vector<bool> focused;
  std::function<void()> steps[] = {
      [&] {
        rate.SetTextValue("800abc");  // pasted
        Named<TButton>(dialog, "btnOk").Click();
      },
      [&] {
        focused.push_back(rate.Focused());
        rate.SetTextValue("800");
        out.SetTextValue("/proc/self/");
        Named<TButton>(dialog, "btnOk").Click();
      },
      [&] {
        focused.push_back(Named<TButton>(dialog, "btnOutPath").Focused());
        out.SetTextValue(dialog->FSSameAsInput);
        Named<TButton>(dialog, "btnOk").Click();
      },
  };
  Headless().ClearMessageBoxes();
  size_t next = 0;
  std::function<void()> run = [&] {
    if (next < std::size(steps)) steps[next++]();
    if (next < std::size(steps)) QueueInMainThread(run);
  };
  QueueInMainThread(run);
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_EQ(next, std::size(steps));
  for (const auto& box : Headless().MessageBoxes()) texts.push_back(box.Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Video bit rate: \"800abc\" is not a whole number.");
  EXPECT_EQ(texts[1], "The folder \"/proc/self/\" cannot be written. Please select another output folder.");
  EXPECT_EQ(focused, (std::vector<bool>{true, true}));
  EXPECT_EQ(rate.Text(), "800");
}

// The user's moves of the track bar bring the picture and its time along,
// so marks set after them hold the moved-to time.
TEST_F(OptionDialogTest, TrackBarClicksAndKeysMoveThePreview) {
  dialog->Show();
  SetActiveWindow(dialog->Handle());
  TStepDecoder decoder;
  dialog->ClearFrameView(true);
  dialog->SetPreviewDecoder(&decoder);
  Application->ProcessMessages();
  TTrackBar& bar = Named<TTrackBar>(dialog, "TrackBar1");
  TLabel& time = Named<TLabel>(dialog, "lblPTS");
  Named<TButton>(dialog, "btnStartTime").Click();
  RECT thumb;
  SendMessageW(bar.Handle(), TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
  const TPoint at = bar.ClientToScreen(TPoint(thumb.right + 100, (thumb.top + thumb.bottom) / 2));
  InjectMouseMove(at.X, at.Y);
  InjectMouseButton(TMouseButton::Left, true, at.X, at.Y);
  InjectMouseButton(TMouseButton::Left, false, at.X, at.Y);
  Application->ProcessMessages();
  EXPECT_EQ(bar.Position(), 5);  // a page: a twentieth of 100 frames
  EXPECT_EQ(decoder.Current, 5);
  EXPECT_EQ(time.Caption(), "00:00:00.200");
  InjectKey(VK_RIGHT, true);
  InjectKey(VK_RIGHT, false);
  Application->ProcessMessages();
  EXPECT_EQ(bar.Position(), 6);  // the bar keeps the focus its click gave it
  EXPECT_EQ(time.Caption(), "00:00:00.240");
  Named<TButton>(dialog, "btnEndTime").Click();
  EXPECT_EQ(Named<TEdit>(dialog, "edtStartTime").Text(), "00:00:00.000");
  EXPECT_EQ(Named<TEdit>(dialog, "edtEndTime").Text(), "00:00:00.240");
  EXPECT_TRUE(Named<TCheckBox>(dialog, "chkCutClip").Checked());
}

}  // namespace
