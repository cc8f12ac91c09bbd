// The main window's logic on the real encoder and decoder: two generated
// clips go through the option-text builder, run two at a time to 100 % and
// decode again; a task whose output cannot be written ends as a failure; a
// stopped and cleared batch leaks nothing.

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "app/ConverterCore.h"
#include "app/Locale.h"
#include "app/OptionFrmText.h"
#include "app/mo_en.h"
#include "tests/app/ConverterFakes.h"
#include "tests/media_encode/EncodeTestSupport.h"

namespace {

// The options dialog with its defaults (AVI), output into one folder.
class TBuilderPrompts : public IConverterPrompts {
 public:
  TBuilderPrompts(TFFDecoder& Decoder, String Folder) : FDecoder(Decoder), FFolder(std::move(Folder)) {}
  String ForcedOutput;  // written in place of the built name, when set
  std::vector<String> Warnings;

  bool ChooseFile(const String&, String&) override { return false; }
  bool RunOptions(TInputOptions& In, TOutputOptions& Out) override {
    TSourceFacts facts;
    facts.FileName = FDecoder.FileName();
    facts.VideoStreamIndex = FDecoder.FirstVideoStreamIndex();
    facts.VideoWidth = FDecoder.FirstVideoStreamInfo().Width;
    facts.VideoHeight = FDecoder.FirstVideoStreamInfo().Height;
    TOptionChoices choices;
    choices.OutPath = FFolder;
    TBuildEnv env = DefaultBuildEnv();
    env.SameAsInput = "<same as input>";
    BuildOutputOptions(choices, facts, env, Out);
    BuildInputOptions(choices, facts, In);
    Out.Options += " -threads 1";
    if (!ForcedOutput.empty()) Out.FileName = ForcedOutput;
    return true;
  }
  void ShowWarning(const String& Text) override { Warnings.push_back(Text); }

 private:
  TFFDecoder& FDecoder;
  String FFolder;
};

// The window's core on the real encoder and decoder, output into Folder.
struct TRealConverter {
  explicit TRealConverter(const String& Folder) : prompts(decoder, Folder) { encoder.SetProgressInterval(10); }
  TRAZeredov encoder{nullptr};
  TFFDecoder decoder{nullptr};
  TEncoderEngine engine{encoder};
  TDecoderInspector inspector{decoder};
  TFakeView view;
  TBuilderPrompts prompts;
  TConverterCore core{engine, inspector, view, prompts};
};

class ConverterMediaTest : public EncodeTest {
 protected:
  void SetUp() override {
    EncodeTest::SetUp();
    ClearLocales();
    RegisterEnglishLocale();
    SelectLocale(0);
  }
  void TearDown() override {
    ClearLocales();
    EncodeTest::TearDown();
  }
};

TEST_F(ConverterMediaTest, TwoClipsConvertTwoAtATime) {
  const String a = MakeFixture("first.mkv", "testsrc=size=160x120:rate=25:duration=2");
  const String b = MakeFixture("second.mkv", "testsrc=size=176x144:rate=25:duration=1.5");
  TRealConverter real(Path(""));
  ASSERT_TRUE(real.decoder.LoadAVLib(""));
  TFakeView& view = real.view;
  TBuilderPrompts& prompts = real.prompts;
  TConverterCore& core = real.core;

  core.AddFileInteractive(a);
  core.AddFileInteractive(b);
  ASSERT_EQ(core.RowCount(), 2) << core.LogStore().Text();
  EXPECT_EQ(core.Row(0).SubItems[rcTotalTime], "00:00:02");
  EXPECT_EQ(core.Row(1).SubItems[rcOutput], "second_(new).avi");
  // A third row whose output folder is gone by the time the task starts.
  std::filesystem::create_directories(Path("gone"));
  prompts.ForcedOutput = Path("gone/third.avi");
  core.AddFileInteractive(a);
  ASSERT_EQ(core.RowCount(), 3) << core.LogStore().Text();
  std::filesystem::remove_all(Path("gone"));

  core.Start("2");
  ASSERT_TRUE(WaitServing([&] { return view.QueueEnds > 0; }, 120000));
  EXPECT_EQ(core.Buttons().Clear, true);
  EXPECT_EQ(core.Buttons().Add, false);
  for (int row = 0; row < 2; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(core.Row(row).SubItems[rcProgress], "100%");
    EXPECT_TRUE(core.Playable(row));
    TFFDecoder check(nullptr);
    ASSERT_TRUE(check.LoadFile(core.OutFileList()[row])) << check.LastErrMsg();
    EXPECT_TRUE(check.Decode(-1)) << check.LastErrMsg();
  }
  // The failure: a warning, no 100 %, not playable.
  EXPECT_NE(core.Row(2).SubItems[rcProgress], "100%");
  EXPECT_FALSE(core.Playable(2));
  EXPECT_EQ(prompts.Warnings.size(), 1u);
  EXPECT_NE(core.LogStore().Text().find(String(47, '#')), String::npos);
}

// Four tasks stopped midway and cleared leave nothing unreachable behind:
// what a batch allocated is freed, not merely kept (the leak checker looks
// right after Clear, where the memory is handed back).
TEST_F(ConverterMediaTest, StopAndClearLeaveNoLeaks) {
  const String clip = MakeFixture("long.mkv", "testsrc=size=640x360:rate=25:duration=20");
  TRealConverter real(Path(""));
  ASSERT_TRUE(real.decoder.LoadAVLib(""));
  TFakeView& view = real.view;
  TConverterCore& core = real.core;
  for (int i = 0; i < 4; ++i) core.AddFileInteractive(clip);
  ASSERT_EQ(core.RowCount(), 4) << core.LogStore().Text();
  core.Start("4");
  // Every task under way.
  ASSERT_TRUE(WaitServing(
      [&] {
        for (int row = 0; row < 4; ++row)
          if (core.Row(row).SubItems[rcProgress].empty()) return view.QueueEnds > 0;
        return true;
      },
      60000));
  EXPECT_EQ(view.QueueEnds, 0);
  core.StopQueue();
  ASSERT_TRUE(WaitServing([&] { return view.QueueEnds > 0; }, 60000));
  core.Clear();
  EXPECT_EQ(core.RowCount(), 0);
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
