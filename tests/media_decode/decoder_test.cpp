// The inspection decoder against files the tests write with the libraries.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "media/FFDecode.h"
#include "platform/os/Threads.h"
#include "tests/media_decode/FixtureWriter.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTestsrc = "testsrc=size=161x91:rate=25";

// Key frames every 12 pictures, with reordered B pictures between them.
String H264Options() { return "preset=ultrafast:g=12:keyint_min=12:sc_threshold=0:bf=2"; }

// Each fixture is written once per build, under a name that carries its
// definition, and shared by the tests (and test processes).
String Fixture(const String& name) {
  using fixture::Track;
  String err;
  if (name == "still.png") {
    const String path = fixture::CachedPath(name, "png 97x55");
    if (!fs::exists(path)) {
      EXPECT_TRUE(fixture::WritePng(path, 97, 55, err)) << name << ": " << err;
    }
    return path;
  }
  const char* format = "";
  std::vector<Track> tracks;
  fixture::Options opt;
  if (name == "av.mp4") {
    Track v = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "libx264");
    v.options = H264Options();
    format = "mp4";
    tracks = {v, fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "aac")};
    opt.seconds = 4;
  } else if (name == "program.ts") {
    format = "mpegts";
    tracks = {fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "mpeg2video"), fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "mp2")};
  } else if (name == "two-audio.mkv") {
    Track a1 = fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "aac");
    a1.language = "eng";
    Track a2 = fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "libmp3lame");
    a2.sampleRate = 44100;
    a2.channels = 1;
    a2.language = "ger";
    Track s = fixture::MakeTrack(AVMEDIA_TYPE_SUBTITLE, "");
    s.language = "fre";
    format = "matroska";
    tracks = {fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "mpeg4"), a1, a2, s};
  } else if (name == "cover.mp3") {
    Track a = fixture::MakeTrack(AVMEDIA_TYPE_AUDIO, "libmp3lame");
    a.sampleRate = 44100;
    Track c = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "png");
    c.width = c.height = 64;
    c.attachedPicture = true;
    opt.tags = {{"title", "Cover song"}, {"track", "3/12"}};
    format = "mp3";
    tracks = {a, c};
  } else if (name == "two-video.mp4") {
    // The second stream is cut inside a group: its first pictures cannot be decoded.
    Track v1 = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "libx264");
    v1.options = H264Options();
    v1.firstPacket = 6;
    format = "mp4";
    tracks = {fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "mpeg4"), v1};
  }
  const String path = fixture::Cached(name, format, tracks, opt, err);
  EXPECT_NE(path, "") << name << ": " << err;
  return path;
}

class DecoderTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitMainThread();
    String err;
    ASSERT_TRUE(fixture::LoadLibraries(err)) << err;
    GlobalLogger()->SetLogLevel(llQuiet);
  }
};

struct InfoCase {
  const char* name;    // fixture, or lavfi text
  const char* format;  // forced format or empty
  const char* formatName;
  int streams, video, audio, subtitles;
  int width, height, fpsNum;
  int channels, sampleRate;
  const char* videoCodec;  // prefix of CodecName, "" when no video
  const char* audioCodec;
  int64_t durationMs;  // -1: unknown
};

TEST_F(DecoderTest, InformationTable) {
  const InfoCase cases[] = {
      {"av.mp4", "", "mov,mp4,m4a,3gp,3g2,mj2", 2, 1, 1, 0, 160, 120, 25, 2, 48000, "h264", "aac", 4000},
      {"two-audio.mkv", "", "matroska,webm", 4, 1, 2, 1, 160, 120, 25, 2, 48000, "mpeg4", "aac", 2000},
      {"cover.mp3", "", "mp3", 2, 1, 1, 0, 64, 64, 0, 2, 44100, "png", "mp3", 2000},
      {"still.png", "", "png_pipe", 1, 1, 0, 0, 97, 55, 0, -1, -1, "png", "", -2},
      {kTestsrc, "lavfi", "lavfi", 1, 1, 0, 0, 161, 91, 25, -1, -1, "rawvideo", "", -1},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFFDecoder d(nullptr);
    const bool lavfi = String(c.format) == "lavfi";
    ASSERT_TRUE(d.LoadFile(lavfi ? String(c.name) : Fixture(c.name), c.format)) << d.LastErrMsg();
    EXPECT_EQ(d.FormatName(), c.formatName);
    EXPECT_EQ(d.ForceFormat(), c.format);
    EXPECT_EQ(d.StreamCount(), c.streams);
    EXPECT_EQ(d.VideoStreamCount(), c.video);
    EXPECT_EQ(d.AudioStreamCount(), c.audio);
    EXPECT_EQ(d.SubtitleStreamCount(), c.subtitles);
    if (!lavfi) { EXPECT_EQ(d.FileSize(), int64_t(fs::file_size(Fixture(c.name)))); }
    const TVideoStreamInfo v = d.FirstVideoStreamInfo();
    EXPECT_EQ(v.Width, c.width);
    EXPECT_EQ(v.Height, c.height);
    EXPECT_EQ(v.CodecName.rfind(c.videoCodec, 0), 0u) << v.CodecName;
    if (c.fpsNum) { EXPECT_EQ(v.FrameRate.num / std::max(1, v.FrameRate.den), c.fpsNum); }
    const TAudioStreamInfo a = d.FirstAudioStreamInfo();
    EXPECT_EQ(a.Channels, c.channels);
    EXPECT_EQ(a.SampleRate, c.sampleRate);
    if (c.audio) { EXPECT_EQ(a.CodecName.rfind(c.audioCodec, 0), 0u) << a.CodecName; }
    const TFileStreamInfo f = d.FileStreamInfo();
    if (c.durationMs >= 0) { EXPECT_NEAR(double(f.Duration) / 1000, double(c.durationMs), 100.0); }
    if (c.durationMs == -1) { EXPECT_EQ(f.Duration, -1); }
    const String text = d.FileInfoText();
    EXPECT_NE(text.find("Format Name: " + String(c.formatName) + "\r\n"), String::npos) << text;
    EXPECT_NE(text.find("\r\n  Stream #0"), String::npos) << text;
  }
}

TEST_F(DecoderTest, InformationTextNumbers) {
  const struct {
    double v;
    const char* unit;
    const char* text;
  } rates[] = {{30000.0 / 1001, "fps", ", 29.97 fps"}, {25, "fps", ", 25 fps"}, {90000, "tbn", ", 90k tbn"},
               {12800, "tbn", ", 12800 tbn"}, {1000, "tbr", ", 1k tbr"}};
  for (const auto& r : rates) EXPECT_EQ(RateSuffixText(r.v, r.unit), r.text);
  const struct {
    int64_t ts;
    AVRational tb;
    const char* text;
  } seconds[] = {{1500000, {1, 1000000}, "1.500000"}, {-1500000, {1, 1000000}, "-1.500000"},
                 {-500000, {1, 1000000}, "-0.500000"}, {45000, {1, 90000}, "0.500000"},
                 {AV_NOPTS_VALUE, {1, 1000000}, ""}};
  for (const auto& s : seconds) EXPECT_EQ(SecondsText(s.ts, s.tb), s.text);
}

TEST_F(DecoderTest, StreamRecordsTagsAndKindChecks) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile(Fixture("two-audio.mkv"))) << d.LastErrMsg();
  EXPECT_EQ(d.FirstAudioStreamIndex(), 1);
  EXPECT_EQ(d.FirstSubtitleStreamIndex(), 3);
  const TAudioStreamInfo second = d.GetAudioStreamInfos(2);
  EXPECT_EQ(second.Language, "ger");
  EXPECT_EQ(second.Channels, 1);
  EXPECT_EQ(second.SampleRate, 44100);
  const TSubtitleStreamInfo s = d.FirstSubtitleStreamInfo();
  EXPECT_EQ(s.Language, "fre");
  EXPECT_EQ(s.SubFormat, 1);  // text
  EXPECT_EQ(d.GetVideoStreamInfos(1).Width, -1);
  EXPECT_EQ(d.LastErrMsg(), "stream #1 is not video stream.");
  EXPECT_EQ(d.GetAudioStreamInfos(9).Channels, -1);
  EXPECT_EQ(d.LastErrMsg(), "stream index #9 is invalid.");
  EXPECT_FALSE(d.IsAudioStream(-1));
  EXPECT_TRUE(d.IsSubtitleStream(3));
  d.GetProgrames(0);
  EXPECT_EQ(d.LastErrMsg(), "no program found.");

  ASSERT_TRUE(d.LoadFile(Fixture("cover.mp3"))) << d.LastErrMsg();
  const TFileStreamInfo f = d.FileStreamInfo();
  EXPECT_EQ(f.Title, "Cover song");
  EXPECT_EQ(f.Track, 0);  // "3/12" is not a number
  EXPECT_NE(d.FileInfoText().find("\r\n  title           : Cover song\r\n"), String::npos) << d.FileInfoText();

  ASSERT_TRUE(d.LoadFile(Fixture("program.ts"))) << d.LastErrMsg();
  ASSERT_EQ(d.ProgramCount(), 1);
  const TAVProgram p = d.GetProgrames(0);
  EXPECT_EQ(p.nb_stream_indexes, 2u);
  EXPECT_EQ(d.GetProgrames(1).id, -1);
  EXPECT_EQ(d.LastErrMsg(), "program index #1 is invalid.");
  const String text = d.FileInfoText();
  const size_t program = text.find(Format("\r\nProgram %d ", {p.id}));
  EXPECT_NE(program, String::npos) << text;
  EXPECT_GT(text.find("  Stream #0[0x100]"), program) << text;  // listed under its program, with its id
  EXPECT_EQ(text.find("No Program"), String::npos) << text;

  d.CloseFile();
  EXPECT_EQ(d.StreamCount(), -1);
  EXPECT_EQ(d.FileStreamInfo().StartTime, AV_NOPTS_VALUE);
  EXPECT_EQ(d.LastErrMsg(), "file not loaded.");
}

// Seeks and steps on a 4-second, 25 fps file with a key frame every 12 frames (0.48 s).
TEST_F(DecoderTest, SeekingTable) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile(Fixture("av.mp4"))) << d.LastErrMsg();
  struct Case {
    int64_t target;
    bool ok;
    int64_t expectPts;  // of the picture decoded after the seek
  } cases[] = {
      {960000, true, 960000},     // a key frame
      {1000000, true, 1440000},   // between key frames: the next key frame
      {0, true, 0},               // the start
      {10000000, false, 0},       // past the end
      {2000000, true, 2400000},   // between again, after a failure
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    ASSERT_EQ(d.Seek(c.target, {}), c.ok) << d.LastErrMsg();
    if (!c.ok) {
      EXPECT_EQ(d.LastErrMsg(), "TFFDecoder.Seek(): could not seek to position 10.000 seconds");
      continue;
    }
    ASSERT_TRUE(d.Decode(-1)) << d.LastErrMsg();
    EXPECT_EQ(d.FrameInfo().PTS, c.expectPts);
    EXPECT_GE(d.FrameInfo().PTS, c.target);
    EXPECT_TRUE(d.FrameInfo().IsKeyFrame);
  }

  // Previous key frame from the middle of a group: 1.60 s goes back to 1.44 s.
  ASSERT_TRUE(d.Seek(1440000, {}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(d.Decode(-1));
  ASSERT_EQ(d.FrameInfo().PTS, 1600000);
  ASSERT_TRUE(d.DecodePreviousKeyFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 1440000);
  EXPECT_TRUE(d.FrameInfo().IsKeyFrame);
  // From a key frame, the one before it.
  ASSERT_TRUE(d.DecodePreviousKeyFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 960000);

  // Previous frame: 1.00 s (frame 25) gives 0.96 s.
  ASSERT_TRUE(d.Seek(960000, {}));
  ASSERT_TRUE(d.Decode(-1));
  ASSERT_TRUE(d.Decode(-1));
  ASSERT_EQ(d.FrameInfo().PTS, 1000000);
  ASSERT_TRUE(d.DecodePreviousFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 960000);

  // From the first picture both stay on it.
  ASSERT_TRUE(d.Seek(0, {}));
  ASSERT_TRUE(d.Decode(-1));
  ASSERT_TRUE(d.DecodePreviousKeyFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 0);
  ASSERT_TRUE(d.DecodePreviousFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 0);

  // Next key frame from 0.
  ASSERT_TRUE(d.DecodeNextKeyFrame(-1)) << d.LastErrMsg();
  EXPECT_EQ(d.FrameInfo().PTS, 480000);
}

TEST_F(DecoderTest, DecodingToTheEndAndBack) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile(Fixture("av.mp4"))) << d.LastErrMsg();
  int frames = 0, reordered = 0;
  int64_t last = -1;
  while (d.Decode(-1)) {
    ++frames;
    if (d.FrameInfo().PictureType == AV_PICTURE_TYPE_B) ++reordered;
    EXPECT_GT(d.FrameInfo().PTS, last);
    last = d.FrameInfo().PTS;
  }
  // The muxer's edit list hides the last of the 100 coded pictures.
  EXPECT_EQ(frames, d.FirstVideoStreamInfo().DurationScaled / 40000);
  EXPECT_EQ(frames, 99);
  EXPECT_GT(reordered, 20);  // the times above came back in display order
  EXPECT_TRUE(d.IsEOF());
  EXPECT_EQ(d.LastErrMsg(), "TFFDecoder.Decode() for video: stream eof reached.");
  EXPECT_FALSE(d.Decode(-1));
  ASSERT_TRUE(d.Seek(0, {}));
  EXPECT_FALSE(d.IsEOF());
  ASSERT_TRUE(d.Decode(-1));
  EXPECT_EQ(d.FrameInfo().PTS, 0);

  // Both kinds, in file order: pictures and sound both come out, the sound in time order.
  ASSERT_TRUE(d.Seek(0, {}));
  int pictures = 0, sounds = 0;
  int64_t lastSound = -1;
  for (int i = 0; i < 60; ++i) {
    const TDecodeResult r = d.Decode(dtBoth);
    ASSERT_NE(r, drError) << d.LastErrMsg();
    if (r == drVideo) ++pictures;
    if (r == drAudio) {
      ++sounds;
      EXPECT_GT(d.WaveInfo().PTS, lastSound);
      lastSound = d.WaveInfo().PTS;
    }
  }
  EXPECT_GT(pictures, 5);
  EXPECT_GT(sounds, 5);
}

// Reads pixel (x, y) of a bitmap as R, G, B.
std::array<int, 3> BitmapPixel(TBitmap& b, int x, int y) {
  const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
  const int bpp = b.PixelFormat() == pf32bit ? 4 : 3;
  return {row[x * bpp + 2], row[x * bpp + 1], row[x * bpp]};
}

TEST_F(DecoderTest, FramesIntoBitmapsOfOddWidth) {
  TFFDecoder d(nullptr);
  TBitmap bitmap;
  EXPECT_FALSE(d.CopyToBitmap(&bitmap));
  ASSERT_TRUE(d.LoadFile(kTestsrc, "lavfi")) << d.LastErrMsg();
  EXPECT_FALSE(d.CopyToBitmap(&bitmap));
  EXPECT_EQ(d.LastErrMsg(), "picture not ready, please decode first");
  ASSERT_TRUE(d.Decode(-1)) << d.LastErrMsg();
  const TFrameInfo& fi = d.FrameInfo();
  ASSERT_EQ(fi.PixFmt, AV_PIX_FMT_RGB24);
  ASSERT_EQ(fi.Width, 161);
  ASSERT_EQ(fi.Height, 91);
  auto source = [&](int x, int y) {
    const uint8_t* p = fi.Picture.data[0] + y * fi.Picture.linesize[0] + 3 * x;
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  const std::pair<int, int> points[] = {{0, 0}, {160, 0}, {0, 90}, {160, 90}, {80, 45}, {17, 63}};
  for (int bits : {32, 24}) {
    SCOPED_TRACE(bits);
    d.SetBitmapBitsPixel(bits);
    ASSERT_TRUE(d.CopyToBitmap(&bitmap)) << d.LastErrMsg();
    EXPECT_EQ(bitmap.Width(), 161);
    EXPECT_EQ(bitmap.Height(), 91);
    EXPECT_EQ(bitmap.PixelFormat(), bits == 32 ? pf32bit : pf24bit);
    for (auto [x, y] : points) EXPECT_EQ(BitmapPixel(bitmap, x, y), source(x, y)) << x << "," << y;
  }

  // A mirrored picture from the filters, in the same pixel format.
  std::vector<std::array<int, 3>> row0;
  for (int x = 0; x < 161; ++x) row0.push_back(source(x, 10));
  ASSERT_TRUE(d.LoadFile(kTestsrc, "lavfi"));  // not seekable
  d.SetVideoFilters("hflip");
  ASSERT_TRUE(d.Decode(-1)) << d.LastErrMsg();
  ASSERT_EQ(d.FrameInfo().PixFmt, AV_PIX_FMT_RGB24);
  for (int x = 0; x < 161; x += 40) EXPECT_EQ(source(x, 10), row0[160 - x]) << x;
}

TEST_F(DecoderTest, StillPictureStaysCurrent) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile(Fixture("still.png"), "image2")) << d.LastErrMsg();
  ASSERT_TRUE(d.Decode(-1)) << d.LastErrMsg();
  const AVFrame* first = d.FrameInfo().Frame;
  ASSERT_TRUE(d.Decode(-1));
  EXPECT_EQ(d.FrameInfo().Frame, first);
  EXPECT_EQ(d.FrameInfo().Width, 97);
  EXPECT_FALSE(d.Seek(0, {}));
  EXPECT_EQ(d.LastErrMsg(), "\"image2\" format cannot to be seeked.");
  TBitmap bitmap;
  EXPECT_TRUE(d.CopyToBitmap(&bitmap)) << d.LastErrMsg();
  EXPECT_EQ(bitmap.Width(), 97);
}

TEST_F(DecoderTest, AudioIsResampledToTheWantedFormat) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile("aevalsrc=0.5*sin(440*2*PI*t)|0.5*sin(440*2*PI*t):s=48000:d=2", "lavfi")) << d.LastErrMsg();
  ASSERT_EQ(d.FirstAudioStreamInfo().SampleRate, 48000);
  ASSERT_EQ(d.FirstAudioStreamInfo().Channels, 2);
  d.SetDesireAudioChannels(1);
  d.SetDesireAudioSampleRate(44100);
  int64_t samples = 0;
  int peak = 0;
  int packets = 0;
  while (d.DecodeAudio(-1)) {
    const TWaveInfo& w = d.WaveInfo();
    ASSERT_EQ(w.Channels, 1);
    ASSERT_EQ(w.SampleRate, 44100);
    ASSERT_EQ(w.BytesPerSecond, 88200);
    samples += w.Size / 2;
    for (int i = 0; i < w.Size / 2; ++i) peak = std::max(peak, std::abs(int(reinterpret_cast<const int16_t*>(w.Buffer)[i])));
    ++packets;
  }
  EXPECT_GT(packets, 10);
  EXPECT_NEAR(double(samples), 88200.0, 1024.0);
  EXPECT_NEAR(peak, 16384, 600);  // both channels at half scale mix to half scale

  // ReadAudio without a buffer only tells how many bytes are ready.
  ASSERT_TRUE(d.LoadFile("aevalsrc=0:s=48000:d=1", "lavfi"));
  const int ready = d.ReadAudio(nullptr, 1000000, -1);
  ASSERT_GT(ready, 0);
  std::vector<uint8_t> buf(size_t(ready) + 16);
  EXPECT_EQ(d.ReadAudio(buf.data(), int(buf.size()), -1), ready);
}

TEST_F(DecoderTest, BadInputTable) {
  const TTempFolder folder("tarnwick-bad-input-");
  const String dir = folder.Path();
  ASSERT_NE(dir, "");
  const String empty = dir + "/empty.mp4", random = dir + "/random.mp4", truncated = dir + "/truncated.mp4";
  std::ofstream(empty, std::ios::binary).close();
  {
    std::mt19937 gen(7);
    std::ofstream out(random, std::ios::binary);
    for (int i = 0; i < 65536; ++i) out.put(char(gen() & 0xFF));
  }
  {
    const String whole = Fixture("av.mp4");
    std::ifstream in(whole, std::ios::binary);
    std::vector<char> bytes(fs::file_size(whole) * 2 / 5);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    std::ofstream(truncated, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  const String cases[] = {dir + "/missing.mp4", empty, random, truncated};
  for (const String& name : cases) {
    SCOPED_TRACE(name);
    TFFDecoder d(nullptr);
    if (d.LoadFile(name)) {
      // Whatever the probe made of it, no picture comes out.
      EXPECT_FALSE(d.Decode(-1));
    } else {
      EXPECT_EQ(d.StreamCount(), -1);
      EXPECT_EQ(d.LastErrMsg().rfind(name, 0), 0u) << d.LastErrMsg();
    }
    EXPECT_FALSE(d.LastErrMsg().empty());
  }
  TFFDecoder d(nullptr);
  EXPECT_FALSE(d.LoadFile(Fixture("av.mp4"), "nosuchformat"));
  EXPECT_EQ(d.LastErrMsg(), "Unknown input format: nosuchformat");
  EXPECT_TRUE(d.ForceFormat().empty());
}

// Searching back from the start of a stream whose first decodable picture lies
// after its start finds nothing; the search must end. The reference time is 0:
// the picture of the stream selected before.
TEST_F(DecoderTest, PreviousKeyFrameSearchIsBounded) {
  TFFDecoder d(nullptr);
  ASSERT_TRUE(d.LoadFile(Fixture("two-video.mp4"))) << d.LastErrMsg();
  ASSERT_TRUE(d.Decode(0)) << d.LastErrMsg();
  ASSERT_EQ(d.FrameInfo().PTS, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(d.DecodePreviousKeyFrame(1)) << d.FrameInfo().PTS;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(d.LastErrMsg().rfind("Could not seek to the previous key-frame. ", 0), 0u) << d.LastErrMsg();
}

TEST_F(DecoderTest, OptionTextAppliesToTheNextOpenOnly) {
  TFFDecoder d(nullptr);
  int probes = 0;
  d.SetOnBeforeFindStreamInfo([&](TObject* sender, AVFormatContext* ctx) {
    EXPECT_EQ(sender, &d);
    EXPECT_EQ(ctx->nb_streams, 1u);  // opened, not yet probed
    ++probes;
  });
  EXPECT_TRUE(d.DefaultOptions(""));
  EXPECT_FALSE(d.DefaultOptions("-no_such_option 1"));
  EXPECT_TRUE(d.DefaultOptions("-sws_flags neighbor stray -probesize 100000"));
  ASSERT_TRUE(d.LoadFile(kTestsrc, "lavfi")) << d.LastErrMsg();
  EXPECT_EQ(d.FormatConverter()->sws_flags(), SWS_POINT);
  // A failed open uses up the options too: bilinear never reaches the converter.
  ASSERT_TRUE(d.DefaultOptions("-sws_flags bilinear"));
  EXPECT_FALSE(d.LoadFile(kTestsrc, "no-such-format"));
  ASSERT_TRUE(d.LoadFile(kTestsrc, "lavfi")) << d.LastErrMsg();
  EXPECT_EQ(d.FormatConverter()->sws_flags(), SWS_POINT);
  EXPECT_EQ(probes, 2);
}

// A server that takes the connection and never sends: the read time-out ends the open.
TEST_F(DecoderTest, ReadTimeoutEndsABlockedOpen) {
  TLoopbackListener listener;
  ASSERT_GT(listener.Port(), 0);
  const String url = listener.Url();

  TFFDecoder d(nullptr);
  d.SetReadTimeout(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(d.LoadFile(url, "mpegts"));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(250));
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(d.LastErrMsg().rfind(url + ": ", 0), 0u) << d.LastErrMsg();
  EXPECT_EQ(d.StreamCount(), -1);
}

TEST_F(DecoderTest, AttachedInputIsReadOnly) {
  AVFormatContext* ic = nullptr;
  ASSERT_GE(ff::avformat_open_input(&ic, Fixture("av.mp4").c_str(), nullptr, nullptr), 0);
  ASSERT_GE(ff::avformat_find_stream_info(ic, nullptr), 0);
  {
    TFFDecoder d(nullptr);
    d.SetFileHandle(ic);
    EXPECT_EQ(d.StreamCount(), 2);
    EXPECT_EQ(d.FirstVideoStreamInfo().Width, 160);
    try {
      d.Decode(-1);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "file cannot be seeked, handle is readonly.");
    }
    d.CloseFile();
    EXPECT_EQ(d.StreamCount(), -1);
  }
  // Still open for its owner.
  EXPECT_EQ(ic->nb_streams, 2u);
  ff::avformat_close_input(&ic);
}

}  // namespace
