// Opening written files: an mp4 with B-frames and AAC, a Matroska file with a
// stereo and a 5.1 track, an mp3 with a cover picture.

#include "tests/media_decode/FixtureWriter.h"
#include "tests/media_open/OpenTestSupport.h"

namespace {

class FixtureTest : public OpenTest {
 protected:
  // Writes the file once per test; skips when an encoder is missing.
  String Make(const char* Name, const char* Format, const std::vector<fixture::Track>& Tracks) {
    for (const fixture::Track& t : Tracks)
      if (!t.codec.empty() && !fixture::HasEncoder(t.codec.c_str())) return String();
    String err;
    fixture::Options options;
    options.seconds = 2.0;
    const String path = Path(Name);
    EXPECT_TRUE(fixture::Write(path, Format, Tracks, options, err)) << err;
    return path;
  }
  int Open(TOpenTask& Task, const String& FileName) {
    return OpenInputFileParsed(Task, &Task.NewContext(), FileName);
  }
};

fixture::Track Video(const char* Codec, const char* Options = "") {
  fixture::Track t;
  t.codec = Codec;
  t.options = Options;
  return t;
}

fixture::Track Audio(const char* Codec, int Channels) {
  fixture::Track t;
  t.type = AVMEDIA_TYPE_AUDIO;
  t.codec = Codec;
  t.channels = Channels;
  return t;
}

void ExpectDuration(const TOpenTask& Task, int64_t Micro) {
  EXPECT_NEAR(double(Task.Finput_files.back()->ctx->duration), double(Micro), 150000.0);
  EXPECT_NEAR(double(Task.FInputDuration), double(Micro), 150000.0);
}

}  // namespace

TEST_F(FixtureTest, Mp4WithBFramesAndAac) {
  const String file = Make("bframes.mp4", "mp4", {Video("libx264", "bf=2"), Audio("aac", 2)});
  if (file.empty()) GTEST_SKIP() << "no H.264 or AAC encoder";
  TOpenTask task;
  int probed = 0;
  task.FOnBeforeFindStreamInfo = [&](TObject*, AVFormatContext* Ctx) { probed += Ctx->nb_streams == 2; };
  ASSERT_EQ(Open(task, file), 0) << task.FLastErrMsg;
  EXPECT_EQ(probed, 1);
  ASSERT_EQ(task.Finput_streams.size(), 2u);
  EXPECT_EQ(task.Finput_streams[0]->st->codecpar->codec_id, AV_CODEC_ID_H264);
  EXPECT_GT(task.Finput_streams[0]->st->codecpar->video_delay, 0);  // reordered by B-frames
  EXPECT_EQ(task.Finput_streams[1]->st->codecpar->codec_id, AV_CODEC_ID_AAC);
  ExpectDuration(task, 2000000);

  // A start inside the file: the duration left is what the progress counts.
  TOpenTask seeking;
  TOptionsContext& o = seeking.NewContext();
  o.StartTime = 500000;
  ASSERT_EQ(OpenInputFileParsed(seeking, &o, file), 0) << seeking.FLastErrMsg;
  EXPECT_NEAR(double(seeking.FInputDuration), 1500000.0, 150000.0);
}

TEST_F(FixtureTest, MatroskaWithStereoAndSurroundPicksTheSurroundTrack) {
  const String file = Make("tracks.mkv", "matroska", {Audio("flac", 2), Audio("flac", 6)});
  if (file.empty()) GTEST_SKIP() << "no FLAC encoder";
  TOpenTask task;
  ASSERT_EQ(Open(task, file), 0) << task.FLastErrMsg;
  ASSERT_EQ(task.Finput_streams.size(), 2u);
  EXPECT_EQ(task.Finput_streams[0]->resample_channels, 2);
  EXPECT_EQ(task.Finput_streams[1]->resample_channels, 6);
  EXPECT_EQ(task.Finput_streams[1]->st->codecpar->codec_id, AV_CODEC_ID_FLAC);
  ExpectDuration(task, 2000000);
  ASSERT_EQ(OpenOutputFileParsed(task, &task.NewContext(), false, Path("out.mka")), 0) << task.FLastErrMsg;
  ASSERT_EQ(task.Foutput_streams.size(), 1u);
  EXPECT_EQ(task.Foutput_streams[0]->source_index, 1);
}

TEST_F(FixtureTest, Mp3WithACoverPicture) {
  fixture::Track cover = Video("png");
  cover.attachedPicture = true;
  const String file = Make("cover.mp3", "mp3", {Audio("libmp3lame", 2), cover});
  if (file.empty()) GTEST_SKIP() << "no MP3 or PNG encoder";
  TOpenTask task;
  ASSERT_EQ(Open(task, file), 0) << task.FLastErrMsg;
  ASSERT_EQ(task.Finput_streams.size(), 2u);
  EXPECT_EQ(task.Finput_streams[0]->st->codecpar->codec_id, AV_CODEC_ID_MP3);
  const AVStream* picture = task.Finput_streams[1]->st;
  EXPECT_EQ(picture->codecpar->codec_id, AV_CODEC_ID_PNG);
  EXPECT_TRUE(picture->disposition & AV_DISPOSITION_ATTACHED_PIC);
  ExpectDuration(task, 2000000);

  // Written back to an mp3 the cover is the picture to keep.
  TOptionsContext& o = task.NewContext();
  AddValue(o.CodecNames, "", "copy");
  ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path("out.mp3")), 0) << task.FLastErrMsg;
  std::vector<int> sources;
  for (const auto& ost : task.Foutput_streams) sources.push_back(ost->source_index);
  EXPECT_EQ(sources, (std::vector<int>{1, 0}));
}
