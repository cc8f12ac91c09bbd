// Output stream options given as option text.

#include <functional>

#include "media/FFmpegOptParser.h"
#include "tests/media_open/OpenTestSupport.h"

namespace {

// A task with a video input (0) and an audio input (1).
struct TStreamsTask {
  TTestTask Task;
  TOptionsContext Out;

  explicit TStreamsTask() {
    for (const char* source : {TestVideo, TestAudio}) {
      TOptionsContext in;
      InitOptionsContext(Task, in);
      const int r = OpenInputFile(Task, &in, "-f lavfi", source, "");
      UninitOptionsContext(Task, in);
      EXPECT_GE(r, 0) << Task.FLastErrMsg;
    }
    InitOptionsContext(Task, Out);
  }
  ~TStreamsTask() { UninitOptionsContext(Task, Out); }
  int Open(const String& Options, const String& FileName) {
    return OpenOutputFile(Task, &Out, "-map 0:0 -map 1:0 " + Options, false, FileName, "");
  }
  TOutputStream& Video() { return *Task.Foutput_streams[0]; }
  TOutputStream& Audio() { return *Task.Foutput_streams[1]; }
};

}  // namespace

TEST_F(OpenTest, OutputStreamOptions) {
  struct TCase {
    String Options;
    std::function<void(TStreamsTask&)> Check;
  };
  const String log = Path("twopass");
  const TCase cases[] = {
      {"-q:v 3",
       [](TStreamsTask& t) {
         EXPECT_TRUE(t.Video().enc_ctx->flags & AV_CODEC_FLAG_QSCALE);
         EXPECT_EQ(t.Video().enc_ctx->global_quality, 354);
       }},
      {"-q:v 2.5", [](TStreamsTask& t) { EXPECT_EQ(t.Video().enc_ctx->global_quality, 295); }},
      {"-pix_fmt +",
       [](TStreamsTask& t) {
         EXPECT_EQ(t.Video().keep_pix_fmt, 1);
         EXPECT_EQ(t.Video().enc_ctx->pix_fmt, AV_PIX_FMT_NONE);
       }},
      {"-tag:v avc -c:v mpeg4",
       [](TStreamsTask& t) { EXPECT_EQ(t.Video().st->codecpar->codec_tag, MakeTag('a', 'v', 'c', 0)); }},
      {"-bsf:v h264_mp4toannexb,noise=amount=2",
       [](TStreamsTask& t) {
         ASSERT_TRUE(t.Video().bitstream_filters);
         EXPECT_FALSE(t.Audio().bitstream_filters);
       }},
      {"-streamid 1:300", [](TStreamsTask& t) { EXPECT_EQ(t.Audio().st->id, 300); }},
      {"-c:v mpeg4 -pass 1 -passlogfile " + log,
       [log](TStreamsTask& t) {
         EXPECT_TRUE(t.Video().enc_ctx->flags & AV_CODEC_FLAG_PASS1);
         EXPECT_TRUE(t.Video().logfile);
         EXPECT_TRUE(std::filesystem::exists(log + "-0.log"));
       }},
      {"-c:v libx264 -pass 1 -passlogfile " + log + "x",
       [log](TStreamsTask& t) {
         EXPECT_FALSE(t.Video().logfile);
         EXPECT_STREQ(t.Video().encoder_opts.Value("stats"), (log + "x-0.log").c_str());
         EXPECT_FALSE(std::filesystem::exists(log + "x-0.log"));
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TStreamsTask t;
    ASSERT_EQ(t.Open(c.Options, Path("s.mkv")), 0) << t.Task.FLastErrMsg;
    ASSERT_EQ(t.Task.Foutput_streams.size(), 2u);
    c.Check(t);
  }
}

TEST_F(OpenTest, FatalOutputStreamOptions) {
  const String matrix63 = [] {
    String s = "16";
    for (int i = 1; i < 63; ++i) s += ",16";
    return s;
  }();
  const std::pair<String, String> cases[] = {
      {"-aspect 0:1", "Invalid aspect ratio: 0:1"},
      {"-intra_matrix " + matrix63, "Syntax error in matrix \"" + matrix63 + "\" at coeff 62"},
      {"-bsf:v nosuchbsf", "Unknown bitstream filter \"nosuchbsf\""},
      {"-pix_fmt nosuchformat", "Unknown pixel format requested: nosuchformat."},
      {"-c:a nosuchcodec", "Unknown encoder \"nosuchcodec\""},
  };
  for (const auto& [options, message] : cases) {
    SCOPED_TRACE(options);
    TStreamsTask t;
    EXPECT_THROW(t.Open(options, Path("s.mkv")), FFmpegException);
    EXPECT_EQ(t.Task.FLastErrMsg, message);
    EXPECT_TRUE(t.Task.Foutput_files.empty());
    EXPECT_TRUE(t.Task.Foutput_streams.empty());
  }
}

TEST_F(OpenTest, UnspecificFramesWarnForEveryNonVideoStream) {
  for (const auto& [options, warned] :
       {std::pair<String, bool>{"-frames 10", true}, {"-frames:a 10", false}}) {
    SCOPED_TRACE(options);
    TLogCapture capture;
    TStreamsTask t;
    ASSERT_EQ(t.Open(options, Path("s.mkv")), 0) << t.Task.FLastErrMsg;
    EXPECT_EQ(t.Audio().max_frames, 10);
    EXPECT_EQ(
        capture.Contains("Applying unspecific -frames to non video streams, maybe you meant -vframes ?"),
        warned);
  }
}

TEST_F(OpenTest, CodecOptionsOfTheWrongDirectionAreRefused) {
  TTestTask task;
  TOptionsContext in;
  InitOptionsContext(task, in);
  EXPECT_EQ(OpenInputFile(task, &in, "-f lavfi -bufsize 1000", TestVideo, ""), AVERROR(EINVAL));
  UninitOptionsContext(task, in);
  EXPECT_EQ(task.FLastErrMsg.substr(0, 24), "Codec AVOption bufsize (");
  EXPECT_NE(task.FLastErrMsg.find("specified for input file #0 (" + String(TestVideo) +
                                  ") is not a decoding option."),
            String::npos);
  EXPECT_TRUE(task.Finput_streams.empty());

  TStreamsTask t;
  EXPECT_EQ(t.Open("-skip_frame nokey", Path("s.mkv")), -1);
  EXPECT_NE(t.Task.FLastErrMsg.find("specified for output file #0 (" + Path("s.mkv") +
                                    ") is not an encoding option."),
            String::npos);
  EXPECT_TRUE(t.Task.Foutput_files.empty());
}

TEST_F(OpenTest, FilterScriptsAreReadWhole) {
  String script;
  while (script.size() < 8000) script += "null,";
  script += "hflip";
  WriteAll(Path("script.txt"), script);
  {
    TStreamsTask t;
    ASSERT_EQ(t.Open("-filter_script:v " + Path("script.txt"), Path("s.mkv")), 0) << t.Task.FLastErrMsg;
    EXPECT_EQ(t.Video().avfilter, script);
    EXPECT_EQ(t.Audio().avfilter, "anull");
  }
  {
    TStreamsTask t;
    EXPECT_THROW(t.Open("-filter_script:v " + Path("none.txt"), Path("s.mkv")), FFmpegException);
    EXPECT_EQ(t.Task.FLastErrMsg, "get_ost_filters() failed");
  }
  {
    TStreamsTask t;
    EXPECT_THROW(t.Open("-filter_script:v " + Path("script.txt") + " -vf hflip", Path("s.mkv")),
                 FFmpegException);
    EXPECT_EQ(t.Task.FLastErrMsg, "Both -filter and -filter_script set for output stream #1:0.");
  }
}

TEST_F(OpenTest, ChannelMapsBecomeAPanFilter) {
  TLogCapture log;
  TStreamsTask t;
  ASSERT_EQ(t.Open("-map_channel 1.0.0 -map_channel -1 -map_channel 1.0.0", Path("s.mkv")), 0)
      << t.Task.FLastErrMsg;
  EXPECT_EQ(t.Audio().audio_channels_map, (std::vector<int>{0, -1, 0}));
  TFilterGraph* fg = InitSimpleFilterGraph(t.Task, t.Task.Finput_streams[1].get(), &t.Audio());
  ASSERT_EQ(ConfigureFilterGraph(t.Task, fg), 0) << t.Task.FLastErrMsg;
  EXPECT_NE(ff::avfilter_graph_get_filter(fg->graph.get(), "pan"), nullptr);
  // Three channels are 2.1 by default.
  EXPECT_TRUE(log.Contains("-map_channel is forwarded to lavfi similarly to -af pan=0xb|c0=c0|c2=c0."));
  EXPECT_EQ(ff::av_buffersink_get_channels(fg->outputs[0]->filter), 3);
}
