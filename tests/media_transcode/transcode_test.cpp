// Whole conversions of generated clips, read back through the libraries.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "media/FFDecode.h"
#include "tests/media_decode/FixtureWriter.h"
#include "tests/media_transcode/TranscodeTestSupport.h"
#include "tests/support/LoopbackListener.h"

namespace {

// Expected codecs and lengths of a two-second output of picture and tone.
struct TEndToEndCase {
  const char* Name;
  const char* Options;
  const char* File;
  const char* VideoCodec;
  const char* AudioCodec;
};

}  // namespace

void MakeClip(const String& FileName, const String& Options, double Seconds);

TEST_F(TranscodeTest, PictureAndToneToEachContainer) {
  const TEndToEndCase cases[] = {
      {"mp4", "-c:v libx264 -preset ultrafast -c:a aac", "out.mp4", "h264", "aac"},
      {"mkv", "-c:v mpeg4 -c:a libmp3lame", "out.mkv", "mpeg4", "mp3"},
      {"avi", "", "out.avi", "mpeg4", "mp3"},
  };
  for (const TEndToEndCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTask task;
    ASSERT_GE(task.AddInput("-f lavfi", VideoSource(2)), 0) << task.LastErrMsg();
    ASSERT_GE(task.AddInput("-f lavfi", AudioSource(2)), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(c.Options, Path(c.File)), 0) << task.LastErrMsg();
    int terminated = 0;
    task.FOnTerminate = [&](TObject*) { ++terminated; };
    task.RunHere();
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    EXPECT_FALSE(task.FatalException()) << task.FatalMessage();

    const TFileReport r = InspectFile(Path(c.File));
    ASSERT_TRUE(r.Opened);
    const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
    const TStreamReport* a = r.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->Codec, c.VideoCodec);
    EXPECT_EQ(a->Codec, c.AudioCodec);
    if (String(c.Name) == "mkv") {
      // Named after the loaded library's version.
      const unsigned lavc = ff::avcodec_version();
      EXPECT_EQ(v->Encoder, Format("Lavc%d.%d.%d mpeg4", {int(lavc >> 16), int((lavc >> 8) & 0xFF), int(lavc & 0xFF)}));
    }
    EXPECT_TRUE(v->FirstIsKey);
    EXPECT_NEAR(v->Frames, 50, 1);
    EXPECT_NEAR(v->EndTime - v->FirstTime, 2.0, 0.04 + 1e-9);
    // Within one encoder frame of the 88200 samples put in (plus the codec's priming).
    EXPECT_NEAR(double(a->Samples), 88200, 2 * 1152);
    EXPECT_TRUE(v->MonotonicDts && a->MonotonicDts);
    EXPECT_EQ(Errors(), "");
  }
}

TEST_F(TranscodeTest, StreamCopyKeepsPacketsAndRisingTimes) {
  {
    TTask make;
    ASSERT_GE(make.AddInput("-f lavfi", VideoSource(2)), 0);
    ASSERT_GE(make.AddInput("-f lavfi", AudioSource(2)), 0);
    ASSERT_GE(make.SetOutput("-c:v libx264 -preset ultrafast -bf 2 -c:a aac", Path("source.mp4")), 0);
    make.RunHere();
    ASSERT_TRUE(make.Finished()) << make.FatalMessage();
  }
  const TFileReport source = InspectFile(Path("source.mp4"));
  const std::pair<const char*, const char*> outputs[] = {
      {"copy.mkv", "-c copy"}, {"copy.ts", "-c copy"}, {"bsf.mkv", "-c copy -bsf:v h264_metadata=aud=insert"}};
  for (const auto& [name, options] : outputs) {
    SCOPED_TRACE(name);
    TTask task;
    ASSERT_GE(task.AddInput("", Path("source.mp4")), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(options, Path(name)), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    const TFileReport r = InspectFile(Path(name));
    ASSERT_TRUE(r.Opened);
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
      const TStreamReport* s = r.Find(type);
      const TStreamReport* in = source.Find(type);
      ASSERT_TRUE(s && in);
      EXPECT_EQ(s->Codec, in->Codec);
      EXPECT_EQ(s->Packets, in->Packets);
      EXPECT_TRUE(s->MonotonicDts);
    }
    EXPECT_EQ(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 50);
  }
}

TEST_F(TranscodeTest, TimesRatesLoopsAndFilters) {
  {
    TTask make;
    ASSERT_GE(make.AddInput("-f lavfi", VideoSource(1)), 0);
    ASSERT_GE(make.SetOutput("-c:v libx264 -preset ultrafast", Path("one.mp4")), 0);
    make.RunHere();
    ASSERT_TRUE(make.Finished()) << make.FatalMessage();
  }
  struct TCase {
    const char* Name;
    String InputOptions;
    String Input;
    const char* OutputOptions;
    int Frames;
    int Width;
  };
  const TCase cases[] = {
      {"input -ss", "-f lavfi -ss 0.5", VideoSource(2), "-c:v mpeg4", 38, 320},
      {"output -t", "-f lavfi", VideoSource(2), "-c:v mpeg4 -t 1", 25, 320},
      {"output -ss", "-f lavfi", VideoSource(2), "-c:v mpeg4 -ss 1.5", 13, 320},
      {"-stream_loop 1", "-stream_loop 1", Path("one.mp4"), "-c:v mpeg4", 50, 320},
      {"-r 10", "-f lavfi", VideoSource(2), "-c:v mpeg4 -r 10", 20, 320},
      {"-r 50 cfr", "-f lavfi", VideoSource(2), "-c:v mpeg4 -r 50 -vsync cfr", 100, 320},
      {"-vf scale", "-f lavfi", VideoSource(2), "-c:v mpeg4 -vf scale=160:120", 50, 160},
      {"complex graph", "-f lavfi", VideoSource(2), "-c:v mpeg4 -filter_complex [0:v]hflip,scale=200:100[v] -map [v]",
       50, 200},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTask task;
    ASSERT_GE(task.AddInput(c.InputOptions, c.Input), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(c.OutputOptions, Path("out.mkv")), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    const TFileReport r = InspectFile(Path("out.mkv"));
    const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_TRUE(v);
    EXPECT_NEAR(v->Frames, c.Frames, 1);
    EXPECT_EQ(v->Width, c.Width);
    if (String(c.Name) == "-r 50 cfr") {
      EXPECT_NEAR(task.Fnb_frames_dup, 50, 1);
    }
    EXPECT_TRUE(v->MonotonicDts);
  }
}

TEST_F(TranscodeTest, JoinedInputsMakeOneTimeline) {
  TTask task;
  // Each input carries picture and tone.
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1) + "[out0];" + AudioSource(1) + "[out1]"), 0) << task.LastErrMsg();
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1.2) + "[out0];" + AudioSource(1.2) + "[out1]"), 0);
  ASSERT_GE(task.SetOutput("-c:v libx264 -preset ultrafast -c:a aac", Path("joined.mp4"), true), 0)
      << task.LastErrMsg();
  std::vector<int> files;
  task.FReportInterval = 0;
  task.FOnProgress = [&](TObject*, int AFileIndex, int, int, float, float, int64_t, int64_t, int64_t) {
    if (files.empty() || files.back() != AFileIndex) files.push_back(AFileIndex);
  };
  task.RunHere();
  EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  EXPECT_EQ(files, (std::vector<int>{0, 1, -1}));
  const TFileReport r = InspectFile(Path("joined.mp4"));
  const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
  const TStreamReport* a = r.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  EXPECT_NEAR(v->Frames, 55, 1);
  EXPECT_NEAR(v->EndTime - v->FirstTime, 2.2, 0.05);
  EXPECT_NEAR(double(a->Samples), 2.2 * 44100, 3 * 1024);
  EXPECT_NEAR(a->EndTime, 2.2, 0.05);
  EXPECT_TRUE(v->MonotonicDts && a->MonotonicDts);
}

TEST_F(TranscodeTest, ProgressReportsCarryTheRun) {
  MakeClip(Path("two.mkv"), "-c:v mpeg4", 2);
  TTask task;
  ASSERT_GE(task.AddInput("", Path("two.mkv")), 0);
  ASSERT_GE(task.SetOutput("-c:v mpeg4", Path("p.mkv")), 0);
  task.FReportInterval = 0;
  struct TReport {
    int File, Frame;
    int64_t Size, Duration, Total;
    float BitRate;
  };
  std::vector<TReport> reports;
  task.FOnProgress = [&](TObject*, int AFileIndex, int AFrameNumber, int, float, float ABitRate, int64_t ASize,
                         int64_t ADuration, int64_t ATotal) {
    reports.push_back({AFileIndex, AFrameNumber, ASize, ADuration, ATotal, ABitRate});
  };
  task.RunHere();
  ASSERT_GE(reports.size(), 2u);
  const TReport& last = reports.back();
  EXPECT_EQ(last.File, -1);
  EXPECT_EQ(last.Frame, 50);
  EXPECT_NEAR(double(last.Total), 2000000, 40000);
  EXPECT_NEAR(double(last.Duration), 2000000, 40000);
  EXPECT_EQ(last.Size, int64_t(std::filesystem::file_size(Path("p.mkv"))));
  EXPECT_GT(last.BitRate, 0);
  for (size_t i = 1; i < reports.size(); ++i) EXPECT_GE(reports[i].Frame, reports[i - 1].Frame);
}

TEST_F(TranscodeTest, FailuresEndTheTaskWithTheirMessage) {
  MakeClip(Path("copy_src.mkv"), "-c:v mpeg4", 0.2);
  struct TCase {
    const char* Name;
    String InputOptions, Input, OutputOptions, Output;
    bool LockFolder;
    const char* Message;
    TPostHooks Hooks = {};
  };
  const TCase cases[] = {
      {"unwritable output", "-f lavfi", VideoSource(1), "-c:v mpeg4", Path("locked/out.mkv"), true, "out.mkv"},
      {"invalid filter", "-f lavfi", VideoSource(1), "-c:v mpeg4 -vf nosuchfilter", Path("f.mkv"), false,
       "Error opening filters!"},
      {"copy under preview", "", Path("copy_src.mkv"), "-c:v copy", Path("c.mkv"), false,
       "-vcodec copy and Preview are incompatible (frames are not decoded)", TPostHooks{phPreview}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::create_directories(FFolder / "locked");
    TTask task;
    ASSERT_GE(task.AddInput(c.InputOptions, c.Input), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(c.OutputOptions, c.Output), 0) << task.LastErrMsg();
    task.ChangePostHooks(c.Hooks);
    if (c.LockFolder) {
      // The folder turns into a file before the task writes: nobody, root included, can create the output.
      std::filesystem::remove_all(FFolder / "locked");
      std::ofstream(FFolder / "locked") << "x";
    }
    task.RunHere();
    if (c.LockFolder) std::filesystem::remove(FFolder / "locked");
    EXPECT_TRUE(task.Terminated());
    EXPECT_FALSE(task.Finished());
    EXPECT_TRUE(task.FatalException());
    EXPECT_NE(task.FatalMessage(), "");
    EXPECT_NE(task.FatalMessage().find(c.Message), String::npos) << task.FatalMessage();
    EXPECT_FALSE(std::filesystem::exists(c.Output));  // nothing written, nothing left behind
  }
}

TEST_F(TranscodeTest, TaskWithoutOutputReportsItsEnd) {
  TTask task;
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1)), 0);
  int terminated = 0;
  task.FOnTerminate = [&](TObject*) { ++terminated; };
  task.RunHere();
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(task.FatalMessage(), "At least one output file must be specified");
  task.RunHere();  // a task runs once
  EXPECT_EQ(terminated, 1);
}

// A clip made by the engine itself.
void MakeClip(const String& FileName, const String& Options, double Seconds) {
  TTask make;
  ASSERT_GE(make.AddInput("-f lavfi", VideoSource(Seconds)), 0);
  ASSERT_GE(make.SetOutput(Options, FileName), 0) << make.LastErrMsg();
  make.RunHere();
  ASSERT_TRUE(make.Finished()) << make.FatalMessage();
}

TEST_F(TranscodeTest, StalledInputEndsByReadTimeoutAsAFailure) {
  MakeClip(Path("clip.ts"), "-c:v mpeg4", 2);
  const String data = [&] {
    std::ifstream in(Path("clip.ts"), std::ios::binary);
    return String(std::istreambuf_iterator<char>(in), {});
  }();
  // A peer that sends two thirds of the clip and then nothing, keeping the connection open.
  TLoopbackListener listener;
  ASSERT_GT(listener.Port(), 0);
  const int server = listener.Socket();
  std::atomic<bool> release{false};
  std::thread peer([&] {
    const int c = accept(server, nullptr, nullptr);
    if (c < 0) return;
    const size_t part = data.size() * 2 / 3 / 188 * 188;
    for (size_t sent = 0; sent < part;) {
      const ssize_t n = send(c, data.data() + sent, part - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += size_t(n);
    }
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    close(c);
  });
  const String url = listener.Url();
  {
    TTask task;
    task.FReadTimeout.store(500);
    ASSERT_GE(task.AddInput("-f mpegts", url), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput("-c:v mpeg4", Path("stalled.mkv")), 0) << task.LastErrMsg();
    task.RunHere();
    release.store(true);
    EXPECT_FALSE(task.Finished());
    EXPECT_TRUE(task.FatalException());
    EXPECT_EQ(task.FatalMessage().rfind(url + ": ", 0), 0u) << task.FatalMessage();
  }
  release.store(true);
  peer.join();
  // A failed run leaves nothing: neither its partial result nor the name it reserved.
  EXPECT_FALSE(std::filesystem::exists(Path("stalled.mkv")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FFolder), {}), 1);  // the clip
}

TEST_F(TranscodeTest, TruncatedInputEndsWhereItsDataEnds) {
  MakeClip(Path("whole.mp4"), "-c:v mpeg4 -g 5 -movflags faststart", 2);
  const auto size = std::filesystem::file_size(Path("whole.mp4"));
  std::filesystem::copy_file(Path("whole.mp4"), Path("cut.mp4"));
  std::filesystem::resize_file(Path("cut.mp4"), size * 2 / 3);
  TTask task;
  ASSERT_GE(task.AddInput("", Path("cut.mp4")), 0) << task.LastErrMsg();
  ASSERT_GE(task.SetOutput("-c:v mpeg4", Path("d.mkv")), 0);
  task.RunHere();
  // The demuxer itself treats the missing part as the end of the file.
  EXPECT_TRUE(task.Terminated());
  EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  const TFileReport r = InspectFile(Path("d.mkv"));
  ASSERT_TRUE(r.Opened);
  EXPECT_GT(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 20);
  EXPECT_LT(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 50);
}

TEST_F(TranscodeTest, SubtitlesAreDecodedAndEncodedAgain) {
  fixture::Track video = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "mpeg4");
  fixture::Track text = fixture::MakeTrack(AVMEDIA_TYPE_SUBTITLE, "");
  fixture::Options options;
  options.seconds = 3;
  String err;
  ASSERT_TRUE(fixture::Write(Path("subs.mkv"), "matroska", {video, text}, options, err)) << err;
  for (const char* codec : {"ass", "copy"}) {
    SCOPED_TRACE(codec);
    TTask task;
    ASSERT_GE(task.AddInput("", Path("subs.mkv")), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(String("-c:v copy -c:s ") + codec, Path("subs_out.mkv")), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    const TFileReport r = InspectFile(Path("subs_out.mkv"));
    const TStreamReport* s = r.Find(AVMEDIA_TYPE_SUBTITLE);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Codec, String(codec) == "copy" ? "subrip" : "ass");
    EXPECT_EQ(s->Packets, 3);
    EXPECT_NEAR(s->FirstTime, 0.0, 0.001);
  }
}

TEST_F(TranscodeTest, TwoPassLogsBelongToTheirOutputAndStream) {
  const auto logs = [] {
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
      if (e.path().filename().string().rfind("razeredov2pass-", 0) == 0) found.push_back(e.path());
    std::sort(found.begin(), found.end());
    return found;
  };
  const auto before = logs();
  // First passes of two outputs side by side.
  for (const char* name : {"a.mkv", "b.mkv"}) {
    TTask task;
    ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1)), 0);
    ASSERT_GE(task.SetOutput("-c:v mpeg4 -b:v 300k -pass 1", Path(name)), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  }
  std::vector<std::filesystem::path> made;
  for (const auto& p : logs())
    if (std::find(before.begin(), before.end(), p) == before.end()) made.push_back(p);
  EXPECT_EQ(made.size(), 2u);
  for (const auto& p : made) EXPECT_EQ(p.extension(), ".log");
  // The second pass of one of them finds its log.
  TTask second;
  ASSERT_GE(second.AddInput("-f lavfi", VideoSource(1)), 0);
  ASSERT_GE(second.SetOutput("-c:v mpeg4 -b:v 300k -pass 2", Path("a.mkv")), 0) << second.LastErrMsg();
  second.RunHere();
  EXPECT_TRUE(second.Finished()) << second.FatalMessage();
  for (const auto& p : made) std::filesystem::remove(p);
}

// One packet that decodes to several frames is worth one warning; later ones are verbose.
TEST_F(TranscodeTest, MultipleFramesInAPacketWarnOnceThenVerbose) {
  TTask task;
  ASSERT_GE(task.AddInput("-f lavfi", AudioSource(0.2)), 0) << task.LastErrMsg();
  TInputStream* ist = task.Finput_streams[0].get();
  std::vector<TLogLevel> levels;
  GlobalLogger()->SetLogLevel(llVerbose);
  GlobalLogger()->SetOnLog([&](TObject*, TThreadID, TLogLevel Level, const String& Msg) {
    if (Msg == "Multiple frames in a packet from stream 3") levels.push_back(Level);
  });
  for (int i = 0; i < 3; ++i) task.NoteMultipleFrames(ist, 3);
  GlobalLogger()->SetOnLog(nullptr);
  GlobalLogger()->SetLogLevel(llInfo);
  EXPECT_EQ(levels, (std::vector<TLogLevel>{llWarning, llVerbose, llVerbose}));
}

// Names outside ASCII, in the folder and in the files, as the application
// hands them over: a clip written, converted with a progress output, cut into
// numbered pictures and read back as a sequence, and opened by the decoder.
// The log shows the names as they are, and nothing else is left in the folder.
TEST_F(TranscodeTest, NamesOutsideAsciiEndToEnd) {
  const std::filesystem::path folder = FFolder / "Grüße – видео ✓";
  std::filesystem::create_directories(folder);
  const auto in = [&](const char* Name) { return (folder / Name).string(); };
  const String clip = in("Eingang ü.mkv"), converted = in("Ausgabe é 日本.mp4"), progress = in("Fortschritt ö.txt"),
               pictures = in("Bild ä_%03d.png"), again = in("wieder ß.mkv");
  MakeClip(clip, "-c:v mpeg4", 1);
  {
    TTask task;
    ASSERT_GE(task.AddInput("", clip), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput("-c:v libx264 -preset ultrafast -progress \"" + progress + "\"", converted), 0)
        << task.LastErrMsg();
    std::vector<String> lines;
    GlobalLogger()->SetLogLevel(llVerbose);
    GlobalLogger()->SetOnLog([&](TObject*, TThreadID, TLogLevel, const String& Msg) { lines.push_back(Msg); });
    task.RunHere();
    GlobalLogger()->SetOnLog(nullptr);
    GlobalLogger()->SetLogLevel(llInfo);
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Input file #0 (" + clip + "):"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Output file #0 (" + converted + "):"), lines.end());
  }
  const TFileReport r = InspectFile(converted);
  ASSERT_TRUE(r.Opened);
  EXPECT_EQ(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 25);
  {
    std::ifstream text(progress);
    const String block{std::istreambuf_iterator<char>(text), {}};
    EXPECT_NE(block.find("progress=end\n"), String::npos) << block;
  }
  {
    TTask task;
    ASSERT_GE(task.AddInput("", converted), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput("-vf fps=5", pictures), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  }
  {
    TTask task;
    ASSERT_GE(task.AddInput("-framerate 5", pictures), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput("-c:v mpeg4", again), 0) << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    EXPECT_EQ(InspectFile(again).Find(AVMEDIA_TYPE_VIDEO)->Frames, 5);
  }
  TFFDecoder decoder(nullptr);
  ASSERT_TRUE(decoder.LoadFile(converted)) << decoder.LastErrMsg();
  EXPECT_EQ(decoder.FirstVideoStreamInfo().Width, 320);
  decoder.CloseFile();

  std::vector<String> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{"Ausgabe é 日本.mp4", "Bild ä_001.png", "Bild ä_002.png", "Bild ä_003.png",
                                        "Bild ä_004.png", "Bild ä_005.png", "Eingang ü.mkv", "Fortschritt ö.txt",
                                        "wieder ß.mkv"}));
}

// One input whose pictures grow and whose sound changes its rate half-way:
// each change is logged and rebuilds the filters, which take the frames in
// their new format (none refused) and fit them to the encoders opened for the
// first ones. Nothing is lost: every picture and the whole sound arrive.
TEST_F(TranscodeTest, FormatChangesMidStreamRebuildTheFilters) {
  fixture::Track video = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "mpeg2video");
  video.changeAt = 1;
  video.changedWidth = 320;
  video.changedHeight = 240;
  fixture::Track sound = fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "mp2");
  sound.sampleRate = 44100;
  sound.changeAt = 1;
  sound.changedSampleRate = 48000;
  String err;
  const String source = fixture::Cached("changes.ts", "mpegts", {video, sound}, fixture::Options(), err);
  ASSERT_NE(source, "") << err;
  const TFileReport in = InspectFile(source);
  ASSERT_TRUE(in.Find(AVMEDIA_TYPE_VIDEO) && in.Find(AVMEDIA_TYPE_AUDIO));
  const double inSound = in.Find(AVMEDIA_TYPE_AUDIO)->EndTime - in.Find(AVMEDIA_TYPE_AUDIO)->FirstTime;

  TTask task;
  ASSERT_GE(task.AddInput("", source), 0) << task.LastErrMsg();
  ASSERT_GE(task.SetOutput("-c:v mpeg4 -c:a mp2", Path("changed.mkv")), 0) << task.LastErrMsg();
  std::vector<String> pictureChanges, soundChanges, errors;
  GlobalLogger()->SetOnLog([&](TObject*, TThreadID, TLogLevel Level, const String& Msg) {
    if (Msg.rfind("Input stream #0:0 frame changed from ", 0) == 0) pictureChanges.push_back(Msg);
    if (Msg.rfind("Input stream #0:1 frame changed from rate:44100 ", 0) == 0) soundChanges.push_back(Msg);
    if (Level <= llError) errors.push_back(Msg);
  });
  task.RunHere();
  GlobalLogger()->SetOnLog(nullptr);
  EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  EXPECT_EQ(errors, std::vector<String>{});
  EXPECT_EQ(pictureChanges,
            std::vector<String>{"Input stream #0:0 frame changed from size:160x120 fmt:yuv420p to size:320x240 fmt:yuv420p"});
  ASSERT_EQ(soundChanges.size(), 1u);
  EXPECT_NE(soundChanges[0].find(" to rate:48000 "), String::npos) << soundChanges[0];

  const TFileReport r = InspectFile(Path("changed.mkv"));
  const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
  const TStreamReport* a = r.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(v->Width, 160);
  EXPECT_EQ(v->Height, 120);
  EXPECT_EQ(v->Frames, in.Find(AVMEDIA_TYPE_VIDEO)->Frames);
  ASSERT_GT(a->SampleRate, 0);
  EXPECT_NEAR(double(a->Samples) / a->SampleRate, inSound, 0.05);
  EXPECT_NEAR(a->EndTime - a->FirstTime, inSound, 0.05);
}
