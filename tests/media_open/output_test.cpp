// Opening outputs: stream selection, maps, failures, and an existing output
// file that stays intact until the task writes.

#include "tests/media_open/OpenTestSupport.h"

namespace {

// The input streams that the output's streams were made from.
std::vector<int> Sources(const TCustomFFmpegOpt& Task) {
  std::vector<int> out;
  for (const auto& ost : Task.Foutput_streams) out.push_back(ost->source_index);
  return out;
}

}  // namespace

TEST_F(OpenTest, AutomaticSelectionPrefersSizeChannelsAndRealPictures) {
  struct TCase {
    const char* Output;
    bool CoverOnLargest;  // the largest picture is marked as an attached picture
    std::vector<int> Expected;
  };
  // Inputs: 0 small video, 1 large video, 2 mono audio, 3 six-channel audio, 4 stereo audio.
  const TCase cases[] = {
      {"out.mkv", false, {1, 3}},
      // A cover scores 1 and loses to real video where the muxer does not store covers...
      {"out.mkv", true, {0, 3}},
      // ...and is the only picture an mp3 may take (no real video, then no video at all).
      {"out.mp3", true, {1, 3}},
      {"out.mp3", false, {3}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(String(c.Output) + (c.CoverOnLargest ? " with cover" : ""));
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi("testsrc=size=160x120:rate=25:duration=1"), 0) << task.FLastErrMsg;
    ASSERT_EQ(task.OpenLavfi("testsrc=size=640x480:rate=25:duration=1"), 1) << task.FLastErrMsg;
    ASSERT_EQ(task.OpenLavfi("sine=duration=1"), 2) << task.FLastErrMsg;
    ASSERT_EQ(task.OpenLavfi("aevalsrc=0|0|0|0|0|0:c=5.1:d=1"), 3) << task.FLastErrMsg;
    ASSERT_EQ(task.OpenLavfi("aevalsrc=0|0:c=stereo:d=1"), 4) << task.FLastErrMsg;
    if (c.CoverOnLargest) task.Finput_streams[1]->st->disposition |= AV_DISPOSITION_ATTACHED_PIC;
    TOptionsContext& o = task.NewContext();
    AddValue(o.CodecNames, "", "copy");  // no encoder needed to choose
    ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path(c.Output)), 0) << task.FLastErrMsg;
    EXPECT_EQ(Sources(task), c.Expected);
    for (const auto& ost : task.Foutput_streams)
      EXPECT_EQ(task.Finput_streams[ost->source_index]->discard, 0);
  }
}

TEST_F(OpenTest, ExplicitMapsIncludingDisabledOnes) {
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
  ASSERT_EQ(task.OpenLavfi(TestAudio), 1);
  TOptionsContext& o = task.NewContext();
  o.StreamMaps.push_back({0, 1, 0, 1, 0, ""});
  o.StreamMaps.push_back({1, 0, 0, 0, 0, ""});  // cancelled by a negative map
  o.StreamMaps.push_back({0, 0, 0, 0, 0, ""});
  ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path("maps.mkv")), 0) << task.FLastErrMsg;
  EXPECT_EQ(Sources(task), (std::vector<int>{1, 0}));
  ASSERT_EQ(task.Foutput_files.size(), 1u);
  EXPECT_EQ(task.Foutput_files[0]->ctx->nb_streams, 2u);
  EXPECT_EQ(task.Foutput_streams[0]->encoding_needed, 1);
  EXPECT_EQ(task.Finput_streams[1]->decoding_needed & 1, 1);
  EXPECT_EQ(task.Foutput_streams[1]->avfilter, "null");
  EXPECT_EQ(std::filesystem::file_size(Path("maps.mkv")), 0u);  // the name is reserved; written when the task runs
}

TEST_F(OpenTest, OutputFailuresLeaveNothingBehind) {
  struct TCase {
    const char* Name;
    String Format;
    String FileName;
    String Expected;
  };
  std::filesystem::create_directories(FFolder / "locked");
  WriteAll(Path("plain"), "x");
  const TCase cases[] = {
      {"unknown format", "nosuchformat", Path("a.mkv"), ErrorCodeToText(Path("a.mkv"), AVERROR(EINVAL))},
      {"feed format", "ffm", Path("a.ffm"), ErrorCodeToText(Path("a.ffm"), AVERROR(EINVAL))},
      {"folder missing", "", Path("nowhere/a.mkv"), Path("nowhere/a.mkv") + ": No such file or directory"},
      {"folder is a file", "", Path("plain/a.mkv"), Path("plain/a.mkv") + ": Not a directory"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    TOptionsContext& o = task.NewContext();
    o.Format = c.Format;
    EXPECT_LT(OpenOutputFileParsed(task, &o, false, c.FileName), 0);
    EXPECT_EQ(task.FLastErrMsg, c.Expected);
    EXPECT_TRUE(task.Foutput_files.empty());
    EXPECT_TRUE(task.Foutput_streams.empty());
  }
  if (::geteuid() != 0) {  // the superuser may write anywhere
    std::filesystem::permissions(FFolder / "locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    EXPECT_LT(OpenOutputFileParsed(task, &task.NewContext(), false, Path("locked/a.mkv")), 0);
    EXPECT_EQ(task.FLastErrMsg, Path("locked/a.mkv") + ": Permission denied");
  }
}

TEST_F(OpenTest, ExistingOutputStaysIntactUntilTheTaskWrites) {
  const String target = Path("existing.mkv");
  const String original = "the user's earlier conversion\n";
  WriteAll(target, original);
  {
    // Removed before it started.
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    ASSERT_EQ(OpenOutputFileParsed(task, &task.NewContext(), false, target), 0) << task.FLastErrMsg;
  }
  EXPECT_EQ(ReadAll(target), original);
  {
    // Failed after the output was prepared.
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    TOptionsContext& o = task.NewContext();
    AddValue(o.Metadata, "x", "title=t");
    EXPECT_EQ(OpenOutputFileParsed(task, &o, false, target), -1);
    EXPECT_EQ(task.FLastErrMsg, "Invalid metadata type x.");
    EXPECT_TRUE(task.Foutput_streams.empty());
  }
  EXPECT_EQ(ReadAll(target), original);
  {
    // Writing goes to a temporary file beside it, which goes when nothing is committed.
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    ASSERT_EQ(OpenOutputFileParsed(task, &task.NewContext(), false, target), 0) << task.FLastErrMsg;
    ASSERT_EQ(OpenOutputIO(task, 0), 0) << task.FLastErrMsg;
    EXPECT_EQ(OpenOutputIO(task, 0), 0);  // already open
    EXPECT_NE(String(task.Foutput_files[0]->ctx->url), target);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FFolder), {}), 2);
    ff::avio_closep(&task.Foutput_files[0]->ctx->pb);
  }
  EXPECT_EQ(ReadAll(target), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FFolder), {}), 1);
}

TEST_F(OpenTest, RecordingWindowMetadataAndPrograms) {
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
  TOptionsContext& bad = task.NewContext();
  bad.StartTime = 5000000;
  bad.StopTime = 5000000;
  EXPECT_EQ(OpenOutputFileParsed(task, &bad, false, Path("a.ts")), -1);
  EXPECT_EQ(task.FLastErrMsg, "-to value smaller than -ss; aborting.");

  TOptionsContext& o = task.NewContext();
  o.StartTime = 5000000;
  o.StopTime = 20000000;
  AddValue(o.Metadata, "", "title=Holiday");
  AddValue(o.Metadata, "s:v", "language=eng");
  AddValue(o.Program, "", "title=First:st=0");
  ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path("a.ts")), 0) << task.FLastErrMsg;
  const TOutputFile& of = *task.Foutput_files[0];
  EXPECT_EQ(of.recording_time, 15000000);
  EXPECT_EQ(task.FOutputDuration, 15000000);
  AVFormatContext* oc = of.ctx.get();
  EXPECT_STREQ(ff::av_dict_get(oc->metadata, "title", nullptr, 0)->value, "Holiday");
  EXPECT_STREQ(ff::av_dict_get(oc->streams[0]->metadata, "language", nullptr, 0)->value, "eng");
  ASSERT_EQ(oc->nb_programs, 1u);
  EXPECT_EQ(oc->programs[0]->id, 1);
  EXPECT_EQ(oc->programs[0]->nb_stream_indexes, 1u);
}

TEST_F(OpenTest, ChaptersFollowTheOutputWindowAndAttachmentsBecomeStreams) {
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
  // One chapter from 10 s to 20 s in the input.
  AVFormatContext* ic = task.Finput_files[0]->ctx.get();
  auto* chapter = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
  chapter->id = 7;
  chapter->time_base = AVRational{1, 1000};
  chapter->start = 10000;
  chapter->end = 20000;
  ff::av_dict_set(&chapter->metadata, "title", "Middle", 0);
  ic->chapters = static_cast<AVChapter**>(ff::av_malloc(sizeof(AVChapter*)));
  ic->chapters[0] = chapter;
  ic->nb_chapters = 1;

  const String font = Path("dir/font.ttf");
  std::filesystem::create_directories(FFolder / "dir");
  WriteAll(font, "glyphs");
  TOptionsContext& o = task.NewContext();
  o.StartTime = 12000000;
  o.RecordingTime = 5000000;
  o.Attachments.push_back(font);
  ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path("c.mkv")), 0) << task.FLastErrMsg;

  AVFormatContext* oc = task.Foutput_files[0]->ctx.get();
  ASSERT_EQ(oc->nb_chapters, 1u);
  EXPECT_EQ(oc->chapters[0]->id, 7);
  EXPECT_EQ(oc->chapters[0]->start, 0);
  EXPECT_EQ(oc->chapters[0]->end, 5000);
  EXPECT_STREQ(ff::av_dict_get(oc->chapters[0]->metadata, "title", nullptr, 0)->value, "Middle");

  ASSERT_EQ(task.Foutput_streams.size(), 2u);
  const TOutputStream& attachment = *task.Foutput_streams[1];
  EXPECT_EQ(attachment.stream_copy, 1);
  EXPECT_EQ(attachment.source_index, -1);
  EXPECT_EQ(attachment.st->codecpar->codec_type, AVMEDIA_TYPE_ATTACHMENT);
  ASSERT_EQ(attachment.st->codecpar->extradata_size, 6);
  EXPECT_EQ(String(reinterpret_cast<char*>(attachment.st->codecpar->extradata), 6), "glyphs");
  EXPECT_STREQ(ff::av_dict_get(attachment.st->metadata, "filename", nullptr, 0)->value, "font.ttf");

  TOptionsContext& missing = task.NewContext();
  missing.Attachments.push_back(Path("nofont.ttf"));
  EXPECT_EQ(OpenOutputFileParsed(task, &missing, false, Path("d.mkv")), -1);
  EXPECT_EQ(task.FLastErrMsg, "Could not open attachment file " + Path("nofont.ttf") + ".");
}
