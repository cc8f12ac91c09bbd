// The option text of every output format drives the real engine: each format
// converts a short clip with picture and tone, and one with tone only, and the
// result opens again with the streams the format keeps.

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <set>

#include "app/OptionFrmText.h"
#include "media/FFDecode.h"
#include "tests/media_encode/EncodeTestSupport.h"

namespace {

constexpr const char* AudioOnlyFormats[] = {"AAC", "AC3", "MP2", "MP3", "WAV", "WMA"};

bool IsAudioOnlyFormat(const char* Format) {
  for (const char* f : AudioOnlyFormats)
    if (std::strcmp(f, Format) == 0) return true;
  return false;
}

bool IsPictureOnlyFormat(const char* Format) {
  return std::strcmp(Format, "M1V") == 0 || std::strcmp(Format, "M2V") == 0;
}

class OptionTextMediaTest : public EncodeTest {
 protected:
  // Converts the input once per format with the dialog's defaults, but for
  // the formats that keep none of its streams; returns the outputs by format
  // index (empty for those).
  std::vector<String> ConvertEveryFormat(const TSourceFacts& Facts, const String& Folder) {
    TLogCapture engineLog;
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    TBuildEnv env = DefaultBuildEnv();
    env.SameAsInput = "<same as input>";
    std::set<String> held;
    env.NameHeld = [&](const String& n) { return held.count(n) > 0; };
    std::vector<String> outputs(std::size(FormatItems));
    std::vector<int> formatOfTask;
    for (int format = 0; format < int(std::size(FormatItems)); ++format) {
      SCOPED_TRACE(FormatItems[format]);
      // Formats that need a picture: the elementary video streams, and the
      // handheld container that wants exactly one picture and one sound stream.
      if (Facts.VideoStreamIndex < 0 &&
          (IsPictureOnlyFormat(FormatItems[format]) || std::strcmp(FormatItems[format], "PSP") == 0))
        continue;
      TOptionChoices c;
      c.Format = format;
      c.OutPath = Folder;
      TInputOptions in;
      TOutputOptions out;
      BuildOutputOptions(c, Facts, env, out);
      BuildInputOptions(c, Facts, in);
      const int index = encoder.AddTask(in.FileName, in.Options);
      EXPECT_EQ(index, int(formatOfTask.size())) << encoder.LastErrMsg();
      formatOfTask.push_back(format);
      EXPECT_GE(encoder.SetOutput(index, out.FileName, out.Options), 0)
          << encoder.LastErrMsg() << " for" << out.Options;
      held.insert(out.FileName);
      outputs[format] = out.FileName;
    }
    encoder.Start(4);
    EXPECT_TRUE(WaitServing([&] { return log.QueueEnded(); }, 600000));
    for (const TTerminateInfo& n : log.Notices) {
      if (n.TaskIndex < 0) continue;
      EXPECT_TRUE(n.Finished && !n.Exception)
          << FormatItems[formatOfTask[n.TaskIndex]] << ": " << n.ExceptionMsg;
    }
    if (::testing::Test::HasFailure())
      for (const auto& line : engineLog.Take())
        if (line.Level <= llError) std::cerr << line.Msg << "\n";
    return outputs;
  }

  // Writes what the lavfi Graph produces to the file Name with Options; its path.
  String WriteLavfi(const String& Name, const char* Graph, const char* Options) {
    TRAZeredov maker(nullptr);
    EXPECT_EQ(maker.AddTask(Graph, "-f lavfi"), 0) << maker.LastErrMsg();
    EXPECT_GE(maker.SetOutput(0, Path(Name), Options), 0) << maker.LastErrMsg();
    maker.Start(0);
    return Path(Name);
  }

  // What the decoder tells of a 96 x 64 clip.
  static TSourceFacts SmallClipFacts(const String& Input) {
    TSourceFacts facts;
    facts.FileName = Input;
    facts.VideoStreamIndex = 0;
    facts.VideoWidth = facts.FrameWidth = 96;
    facts.VideoHeight = facts.FrameHeight = 64;
    return facts;
  }

  void ExpectStreams(const String& Output, bool Video, bool Audio) {
    TFFDecoder decoder(nullptr);
    ASSERT_TRUE(decoder.LoadFile(Output)) << Output << ": " << decoder.LastErrMsg();
    EXPECT_EQ(decoder.VideoStreamCount() > 0, Video) << Output;
    EXPECT_EQ(decoder.AudioStreamCount() > 0, Audio) << Output;
  }
};

TEST_F(OptionTextMediaTest, EveryFormatConvertsPictureAndTone) {
  const String input = WriteLavfi("source.mkv",
                                  "testsrc=size=320x240:rate=25:duration=1 [out0]; "
                                  "aevalsrc=sin(440*2*PI*t)|sin(550*2*PI*t):s=44100:d=1 [out1]",
                                  "-c:v mpeg4 -c:a mp2 -threads 1");
  TSourceFacts facts;
  facts.FileName = input;
  facts.VideoStreamIndex = 0;
  facts.VideoWidth = facts.FrameWidth = 320;
  facts.VideoHeight = facts.FrameHeight = 240;
  const std::vector<String> outputs = ConvertEveryFormat(facts, FFolder.string());
  for (size_t i = 0; i < outputs.size(); ++i)
    ExpectStreams(outputs[i], !IsAudioOnlyFormat(FormatItems[i]), !IsPictureOnlyFormat(FormatItems[i]));
}

TEST_F(OptionTextMediaTest, EveryFormatConvertsToneAlone) {
  const String input = WriteLavfi("tone.wav", "aevalsrc=sin(440*2*PI*t)|sin(550*2*PI*t):s=44100:d=1", "");
  TSourceFacts facts;
  facts.FileName = input;
  const std::vector<String> outputs = ConvertEveryFormat(facts, FFolder.string());
  for (size_t i = 0; i < outputs.size(); ++i)
    if (!outputs[i].empty()) ExpectStreams(outputs[i], false, true);
}

// A watermark whose name holds every character the graph and the option text
// treat specially still reaches the overlay.
TEST_F(OptionTextMediaTest, WatermarkNamesAreEscaped) {
  const String mark = WriteLavfi("mark [it's; a,b:c\\d \"q\"] caf\xC3\xA9.png",
                                 "color=c=red:size=16x16:duration=0.04", "-frames:v 1 -f image2 -update 1");
  ASSERT_TRUE(std::filesystem::exists(mark));
  const String input = MakeFixture("clip.mkv", "testsrc=size=96x64:rate=25:duration=0.4");
  const TSourceFacts facts = SmallClipFacts(input);
  TBuildEnv env = DefaultBuildEnv();
  env.SameAsInput = "<same as input>";
  env.WaterMarkFile = mark;
  TOptionChoices c;
  c.OutPath = env.SameAsInput;
  c.WaterMark = true;
  TOutputOptions out;
  BuildOutputOptions(c, facts, env, out);
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  ASSERT_EQ(encoder.AddTask(input, ""), 0) << encoder.LastErrMsg();
  ASSERT_GE(encoder.SetOutput(0, out.FileName, out.Options + " -c:v mpeg4 -threads 1"), 0)
      << encoder.LastErrMsg() << out.Options;
  encoder.Start(1);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_FALSE(log.Notices.empty());
  EXPECT_TRUE(log.Notices.front().Finished) << log.Notices.front().ExceptionMsg;
  ExpectStreams(out.FileName, true, false);
}

// The disc formats' encoders refuse a video rate outside the target's range
// (VCD exactly 1150k, DVD at most 9000k): the user's rate is brought into it,
// and every rate typed converts.
TEST_F(OptionTextMediaTest, DiscFormatsConvertWithTheUsersBitRate) {
  const TSourceFacts facts =
      SmallClipFacts(MakeFixture("disc.mkv", "testsrc=size=96x64:rate=25:duration=0.4"));
  TBuildEnv env = DefaultBuildEnv();
  env.SameAsInput = "<same as input>";
  struct Case {
    int Format;
    const char* Rate;
    const char* Sent;
  } cases[] = {{0, "1500", "1150"}, {0, "800", "1150"}, {1, "12000", "9000"}, {1, "1500", "1500"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(String(FormatItems[k.Format]) + " at " + k.Rate);
    TOptionChoices c;
    c.Format = k.Format;
    c.VideoBitRate = k.Rate;
    c.OutPath = env.SameAsInput;
    c.Overwrite = true;
    TInputOptions in;
    TOutputOptions out;
    BuildOutputOptions(c, facts, env, out);
    BuildInputOptions(c, facts, in);
    EXPECT_NE(out.Options.find(String("-b:v ") + k.Sent + "k"), String::npos) << out.Options;
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    ASSERT_EQ(encoder.AddTask(in.FileName, in.Options), 0) << encoder.LastErrMsg();
    ASSERT_GE(encoder.SetOutput(0, out.FileName, out.Options + " -threads 1"), 0)
        << encoder.LastErrMsg() << out.Options;
    encoder.Start(1);
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
    ASSERT_FALSE(log.Notices.empty());
    EXPECT_TRUE(log.Notices.front().Finished && !log.Notices.front().Exception) << log.Notices.front().ExceptionMsg;
    ExpectStreams(out.FileName, true, false);
  }
}

}  // namespace
