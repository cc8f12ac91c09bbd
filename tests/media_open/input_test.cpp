// Opening inputs: lavfi sources, the probing event, records and failures.

#include <cstring>

#include "media/FFmpegOptParser.h"
#include "tests/media_open/OpenTestSupport.h"

TEST_F(OpenTest, LavfiSourcesOpenWithTheirStreamsAndTheProbingEvent) {
  TOpenTask task;
  AVFormatContext* probed = nullptr;
  task.FOnBeforeFindStreamInfo = [&](TObject* Sender, AVFormatContext* Ctx) {
    EXPECT_EQ(Sender, &task);
    probed = Ctx;
  };
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0) << task.FLastErrMsg;
  ASSERT_EQ(task.OpenLavfi(TestAudio), 1) << task.FLastErrMsg;

  ASSERT_EQ(task.Finput_files.size(), 2u);
  EXPECT_EQ(probed, task.Finput_files[1]->ctx.get());
  EXPECT_EQ(task.Finput_stream_potentially_available, 1);
  ASSERT_EQ(task.Finput_streams.size(), 2u);

  const TInputStream& video = *task.Finput_streams[0];
  EXPECT_EQ(video.file_index, 0);
  EXPECT_EQ(video.st->codecpar->codec_type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.st->codecpar->codec_id, AV_CODEC_ID_RAWVIDEO);
  EXPECT_EQ(video.resample_width, 320);
  EXPECT_EQ(video.resample_height, 240);
  EXPECT_NE(video.avdec, nullptr);
  EXPECT_EQ(video.discard, 1);  // nothing uses it yet
  EXPECT_EQ(video.st->discard, AVDISCARD_ALL);

  const TInputStream& audio = *task.Finput_streams[1];
  EXPECT_EQ(audio.file_index, 1);
  EXPECT_EQ(audio.st->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio.resample_sample_rate, 44100);
  EXPECT_EQ(audio.resample_channels, 1);
  EXPECT_EQ(task.Finput_files[1]->ist_index, 1);
  EXPECT_EQ(task.Finput_files[1]->nb_streams, 1);
}

TEST_F(OpenTest, InputFailuresAreNegativeWithAMessage) {
  TOpenTask task;
  TOptionsContext& o = task.NewContext();
  o.Format = "nosuchformat";
  EXPECT_EQ(OpenInputFileParsed(task, &o, "x"), AVERROR(EINVAL));
  EXPECT_EQ(task.FLastErrMsg, "Unknown input format: \"nosuchformat\"");

  TOptionsContext& o2 = task.NewContext();
  const String missing = Path("missing.mkv");
  EXPECT_LT(OpenInputFileParsed(task, &o2, missing), 0);
  EXPECT_EQ(task.FLastErrMsg, missing + ": No such file or directory");
  EXPECT_TRUE(task.Finput_files.empty());
  EXPECT_TRUE(task.Finput_streams.empty());
}

TEST_F(OpenTest, PerStreamInputOptionsAndFatalOnes) {
  TOpenTask task;
  TOptionsContext& o = task.NewContext();
  o.Format = "lavfi";
  AddValue(o.CodecTags, "v", "avc");  // three letters: padded with a zero byte
  AddValue(o.FrameRates, "v", "30000/1001");
  AddValue(o.Discard, "v", "nokey");
  ASSERT_EQ(OpenInputFileParsed(task, &o, TestVideo), 0) << task.FLastErrMsg;
  const TInputStream& ist = *task.Finput_streams[0];
  EXPECT_EQ(ist.st->codecpar->codec_tag, MakeTag('a', 'v', 'c', 0));
  EXPECT_EQ(ist.framerate.num, 30000);
  EXPECT_EQ(ist.framerate.den, 1001);
  EXPECT_EQ(ist.user_set_discard, AVDISCARD_NONKEY);
  EXPECT_EQ(ParseCodecTag("0x31637661"), 0x31637661u);
  EXPECT_EQ(ParseCodecTag("avc1"), MakeTag('a', 'v', 'c', '1'));

  TOptionsContext& bad = task.NewContext();
  bad.Format = "lavfi";
  AddValue(bad.HWAccels, "", "dxva2");
  EXPECT_THROW(OpenInputFileParsed(task, &bad, TestVideo), FFmpegException);
  EXPECT_EQ(task.FLastErrMsg, "Unrecognized hwaccel: dxva2.\r\nSupported hwaccels: qsv");
  TOptionsContext& bad2 = task.NewContext();
  bad2.Format = "lavfi";
  AddValue(bad2.Discard, "", "sometimes");
  EXPECT_THROW(OpenInputFileParsed(task, &bad2, TestVideo), FFmpegException);
  EXPECT_EQ(task.FLastErrMsg, "Error parsing discard sometimes.");
  // The failed file leaves no stream behind.
  EXPECT_EQ(task.Finput_streams.size(), 1u);
  EXPECT_EQ(task.Finput_files.size(), 1u);
}

TEST_F(OpenTest, StartOptionsSetTheDurationAndOffsets) {
  TOpenTask task;
  TOptionsContext& o = task.NewContext();
  o.Format = "lavfi";
  o.StartTime = 500000;
  o.InputTsOffset = 1000000;
  ASSERT_EQ(OpenInputFileParsed(task, &o, "testsrc=size=64x48:rate=25:duration=5"), 0) << task.FLastErrMsg;
  const TInputFile& f = *task.Finput_files[0];
  EXPECT_EQ(f.start_time, 500000);
  EXPECT_EQ(f.input_ts_offset, 1000000);
  const int64_t start = f.ctx->start_time == AV_NOPTS_VALUE ? 0 : f.ctx->start_time;
  EXPECT_EQ(f.ts_offset, 1000000 - (500000 + start));
  if (f.ctx->duration != AV_NOPTS_VALUE) {
    EXPECT_EQ(task.FInputDuration, f.ctx->duration - 500000);
  }
}

TEST_F(OpenTest, AttachmentsAreDumpedWithoutOverwritingUnasked) {
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
  AVStream* st = task.Finput_streams[0]->st;
  const String font = "font bytes";
  st->codecpar->extradata = static_cast<uint8_t*>(ff::av_mallocz(font.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::memcpy(st->codecpar->extradata, font.data(), font.size());
  st->codecpar->extradata_size = int(font.size());

  DumpAttachment(task, st, Path("font.ttf"));
  EXPECT_EQ(ReadAll(Path("font.ttf")), font);

  WriteAll(Path("kept.ttf"), "mine");
  DumpAttachment(task, st, Path("kept.ttf"));
  EXPECT_EQ(ReadAll(Path("kept.ttf")), "mine");
  EXPECT_EQ(task.FLastErrMsg, "File \"" + Path("kept.ttf") + "\" already exists. Ignore.");
  task.Ffile_overwrite = 1;
  DumpAttachment(task, st, Path("kept.ttf"));
  EXPECT_EQ(ReadAll(Path("kept.ttf")), font);
  task.Fno_file_overwrite = 1;
  EXPECT_THROW(CheckFileOverwrite(task, Path("kept.ttf")), FFmpegException);
  EXPECT_EQ(task.FLastErrMsg, "Error, both -y and -n supplied.");
}

// The deprecated device options land in the options of the file whose text holds them.
TEST_F(OpenTest, DeprecatedChannelAndStandardReachTheFileOptions) {
  TTestTask task;
  TOptionsContext o;
  InitOptionsContext(task, o);
  ASSERT_EQ(ParseOptions(task, o, "-vc 2 -tvstd PAL", ofInput, "dev", "input file", ""), 0) << task.FLastErrMsg;
  EXPECT_STREQ(o.Group->format_opts.Value("channel"), "2");
  EXPECT_STREQ(o.Group->format_opts.Value("standard"), "PAL");
  UninitOptionsContext(task, o);
}
