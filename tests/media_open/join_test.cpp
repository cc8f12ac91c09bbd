// Join mode set-up, and a whole task opened from option texts.

#include "media/FFmpegOptParser.h"
#include "tests/media_open/OpenTestSupport.h"

// Sources of one stream each: the lavfi device leaks the frames it peeked at
// when a source with several outputs is closed.
namespace {

String Clip(const char* Size, int Seconds) {
  return Format("testsrc=size=%s:rate=25:duration=%d", {Size, Seconds});
}

}  // namespace

TEST_F(OpenTest, JoinGivesEveryLaterInputItsSegment) {
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(Clip("320x240", 1)), 0) << task.FLastErrMsg;
  ASSERT_EQ(task.OpenLavfi(Clip("640x360", 2)), 1) << task.FLastErrMsg;
  ASSERT_EQ(task.OpenLavfi(Clip("160x120", 1)), 2) << task.FLastErrMsg;
  ASSERT_EQ(OpenOutputFileParsed(task, &task.NewContext(), true, Path("joined.mkv")), 0) << task.FLastErrMsg;

  EXPECT_TRUE(task.FJoinMode);
  EXPECT_EQ(task.Fnb_output_streams_join, 1);
  ASSERT_EQ(task.Foutput_streams.size(), 3u);
  ASSERT_EQ(task.Foutput_files.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const TOutputFile& of = *task.Foutput_files[k];
    EXPECT_EQ(of.ctx, task.Foutput_files[0]->ctx);
    EXPECT_EQ(of.ost_index, k);
    int from = 0, to = 0;
    ActiveOutputRange(task, k, from, to);
    EXPECT_EQ(from, k);
    EXPECT_EQ(to, k);
    for (int i = 0; i < 1; ++i) {
      const TOutputStream& ost = *task.Foutput_streams[k + i];
      const TOutputStream& first = *task.Foutput_streams[i];
      EXPECT_EQ(ost.file_index, k);
      EXPECT_EQ(ost.st, first.st);
      EXPECT_EQ(ost.enc_ctx.get(), first.enc_ctx.get());
      ASSERT_GE(ost.source_index, 0);
      const TInputStream& ist = *task.Finput_streams[ost.source_index];
      EXPECT_EQ(ist.file_index, k);
      EXPECT_EQ(ist.st->codecpar->codec_type, first.st->codecpar->codec_type);
      EXPECT_EQ(ist.discard, 0);
      EXPECT_EQ(ist.decoding_needed & 1, 1);
    }
  }
  int64_t total = 0;
  for (const auto& f : task.Finput_files)
    if (f->ctx->duration != AV_NOPTS_VALUE) total += f->ctx->duration;
  EXPECT_EQ(task.FOutputDuration, total ? total : -1);

  // A second output is refused once joined.
  EXPECT_EQ(OpenOutputFileParsed(task, &task.NewContext(), false, Path("second.mkv")), -1);
  EXPECT_EQ(task.FLastErrMsg, "Cannot join more than one output file.");
}

TEST_F(OpenTest, JoinOfInputsWithDifferentStreamsUndoesTheOutput) {
  const String target = Path("joined.mkv");
  WriteAll(target, "earlier");
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(Clip("320x240", 1)), 0);
  ASSERT_EQ(task.OpenLavfi(TestAudio), 1);  // no picture for the video stream
  EXPECT_EQ(OpenOutputFileParsed(task, &task.NewContext(), true, target), -1);
  EXPECT_EQ(task.FLastErrMsg, "Cannot join files with diffrent streams state");
  EXPECT_FALSE(task.FJoinMode);
  EXPECT_EQ(task.Fnb_output_streams_join, 0);
  EXPECT_TRUE(task.Foutput_files.empty());
  EXPECT_TRUE(task.Foutput_streams.empty());
  EXPECT_EQ(ReadAll(target), "earlier");

  TOpenTask single;
  ASSERT_EQ(single.OpenLavfi(Clip("320x240", 1)), 0);
  ASSERT_EQ(OpenOutputFileParsed(single, &single.NewContext(), true, Path("single.mkv")), 0);
  EXPECT_FALSE(single.FJoinMode);
}

TEST_F(OpenTest, TaskOpenedFromOptionTexts) {
  TTestTask task;
  TOptionsContext in;
  InitOptionsContext(task, in);
  ASSERT_EQ(OpenInputFile(task, &in, "-f lavfi", Clip("640x480", 1), ""), 0) << task.FLastErrMsg;
  UninitOptionsContext(task, in);
  InitOptionsContext(task, in);
  ASSERT_EQ(OpenInputFile(task, &in, "-f lavfi", "sine=sample_rate=22050", ""), 1) << task.FLastErrMsg;
  EXPECT_EQ(task.Finput_streams[1]->resample_sample_rate, 22050);
  UninitOptionsContext(task, in);

  TOptionsContext out;
  InitOptionsContext(task, out);
  EXPECT_THROW(OpenOutputFile(task, &out, "-map 1:0 -map 0:0 -vf scale=320:-2,hflip -af volume=0.5 -c:v copy",
                              false, Path("t.mkv"), ""),
               FFmpegException);  // filtering a copied stream
  UninitOptionsContext(task, out);
  EXPECT_TRUE(task.Foutput_files.empty());
  EXPECT_EQ(task.FLastErrMsg,
            "Filtergraph \"scale=320:-2,hflip\" was defined for video output stream 0:1 but codec copy was "
            "selected.\r\nFiltering and streamcopy cannot be used together.");

  InitOptionsContext(task, out);
  ASSERT_EQ(OpenOutputFile(task, &out, "-map 1:0 -map 0:0 -vf scale=320:-2,hflip -af volume=0.5", false,
                           Path("t.mkv"), ""),
            0)
      << task.FLastErrMsg;
  UninitOptionsContext(task, out);
  ASSERT_EQ(task.Foutput_streams.size(), 2u);
  const TOutputStream& audio = *task.Foutput_streams[0];
  const TOutputStream& video = *task.Foutput_streams[1];
  EXPECT_EQ(audio.source_index, 1);
  EXPECT_EQ(audio.avfilter, "volume=0.5");
  EXPECT_EQ(video.source_index, 0);
  EXPECT_EQ(video.avfilter, "scale=320:-2,hflip");
}
