// Stream maps, channel maps and targets over inputs built directly with the libraries.

#include "parse_fixture.h"

namespace {

struct MapResult {
  int disabled, file, stream, syncFile, syncStream;
  bool operator==(const MapResult&) const = default;
};

std::vector<MapResult> Maps(const TOptionsContext& o) {
  std::vector<MapResult> out;
  for (const auto& m : o.StreamMaps)
    out.push_back({m.Disabled, m.FileIndex, m.StreamIndex, m.SyncFileIndex, m.SyncStreamIndex});
  return out;
}

TEST_F(ParseTest, StreamMaps) {
  AddInput("vaa");
  AddInput("v");
  const struct {
    const char* text;
    std::vector<MapResult> maps;
  } cases[] = {
      {"-map 0:v -map 0:a:1", {{0, 0, 0, 0, 0}, {0, 0, 2, 0, 2}}},
      {"-map 0:v -map 0:a:1 -map -0:a:1", {{0, 0, 0, 0, 0}, {1, 0, 2, 0, 2}}},
      {"-map 0", {{0, 0, 0, 0, 0}, {0, 0, 1, 0, 1}, {0, 0, 2, 0, 2}}},
      {"-map 0:a -map -0:a", {{1, 0, 1, 0, 1}, {1, 0, 2, 0, 2}}},
      {"-map 0:a,1:v", {{0, 0, 1, 1, 0}, {0, 0, 2, 1, 0}}},
      {"-map 1:v -map 0:a:0", {{0, 1, 0, 1, 0}, {0, 0, 1, 0, 1}}},
      {"-map 0:s?", {}},
      {"-map 0:a:5?", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parse(c.text), 0) << Task.FLastErrMsg;
    EXPECT_EQ(Maps(o), c.maps);
  }
  EXPECT_NE(Logged().find("Stream map \"0:s?\" matches no streams; ignoring."), String::npos);
}

TEST_F(ParseTest, StreamMapToFilterOutput) {
  AddInput("v");
  ASSERT_EQ(Parse("-map [out] -map \"[a b]\""), 0);
  ASSERT_EQ(o.StreamMaps.size(), 2u);
  EXPECT_EQ(o.StreamMaps[0].LinkLabel, "out");
  EXPECT_EQ(o.StreamMaps[1].LinkLabel, "a b");
}

TEST_F(ParseTest, StreamMapFailuresAreFatal) {
  AddInput("va");
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"-map 0:s", "Stream map \"0:s\" matches no streams.\r\nTo ignore this, add a trailing \"?\" to the map."},
      {"-map 2:v", "Invalid input file index: 2."},
      {"-map -3:a", "Invalid input file index: 3."},
      {"-map x", "Stream map \"x\" matches no streams.\r\nTo ignore this, add a trailing \"?\" to the map."},
      {"-map 0:v,3:a", "Invalid sync file index: 3."},
      {"-map 0:v,0:s", "Sync stream specification in map 0:v,0:s does not match any streams."},
      {"-map []", "Invalid output link label: []."},
      {"-map 99999999999:v", "Invalid input file index: -2147483648."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      Parse(c.text);
      ADD_FAILURE() << "no exception";
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, c.message);
      EXPECT_EQ(Task.FLastErrMsg, c.message);
    }
  }
}

TEST_F(ParseTest, ChannelMaps) {
  AddInput("vaa");
  ASSERT_EQ(Parse("-map_channel -1 -map_channel -1:0.1 -map_channel 0.1.1 -map_channel 0.2.0:0.1"), 0);
  ASSERT_EQ(o.AudioChannelMaps.size(), 4u);
  const auto row = [&](size_t i) {
    const auto& m = o.AudioChannelMaps[i];
    return std::vector<int>{m.FileIndex, m.StreamIndex, m.ChannelIndex, m.OutputFileIndex, m.OutputStreamIndex};
  };
  EXPECT_EQ(row(0), (std::vector<int>{-1, -1, -1, -1, -1}));
  EXPECT_EQ(row(1), (std::vector<int>{-1, -1, -1, 0, 1}));
  EXPECT_EQ(row(2), (std::vector<int>{0, 1, 1, -1, -1}));
  EXPECT_EQ(row(3), (std::vector<int>{0, 2, 0, 0, 1}));

  const struct {
    const char* text;
    const char* message;
  } failures[] = {
      {"-map_channel 0.1.2", "mapchan: invalid audio channel #0.1.2"},
      {"-map_channel 0.1.-3", "mapchan: invalid audio channel #0.1.-3"},
      {"-map_channel 0.0.0", "mapchan: stream #0.0 is not an audio stream."},
      {"-map_channel 0.7.0", "mapchan: invalid input file stream index #0.7"},
      {"-map_channel 1.0.0", "mapchan: invalid input file index: 1"},
      {"-map_channel x", "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]"},
      {"-map_channel 0.1", "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]"},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.text);
    try {
      Parse(c.text);
      ADD_FAILURE() << "no exception";
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
}

TEST_F(ParseTest, TargetsByNorm) {
  const struct {
    AVRational rate;  // of the input's video stream; 0/0 for no video input
    const char* text;
    const char* format;
    const char* size;
    const char* frameRate;
    const char* pixFmt;
    const char* assumed;  // the norm logged when guessed
  } cases[] = {
      {{0, 0}, "-target pal-dvd", "dvd", "720x576", "25", "yuv420p", nullptr},
      {{30000, 1001}, "-target dvd", "dvd", "720x480", "30000/1001", "yuv420p", "NTSC"},
      {{25, 1}, "-target dv50", "dv", "720x576", "25", "yuv422p", "PAL"},
      {{24000, 1001}, "-target dv", "dv", "720x480", "30000/1001", "yuv411p", "NTSC"},
      {{0, 0}, "-target film-svcd", "svcd", "480x480", "24000/1001", "yuv420p", nullptr},
      {{25, 1}, "-target vcd", "vcd", "352x288", "25", nullptr, "PAL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Task.Finput_files.clear();
    if (c.rate.num) AddInput("av", c.rate);
    ASSERT_EQ(Parse(c.text), 0) << Task.FLastErrMsg;
    EXPECT_EQ(o.Format, c.format);
    EXPECT_EQ(Texts(o.FrameSizes), std::vector<String>{String("=") + c.size});
    EXPECT_EQ(Texts(o.FrameRates), std::vector<String>{String("=") + c.frameRate});
    EXPECT_EQ(Texts(o.FramePixFmts), c.pixFmt ? std::vector<String>{String("=") + c.pixFmt} : std::vector<String>{});
    if (c.assumed) {
      EXPECT_NE(Logged().find(String("Assuming ") + c.assumed + " for target."), String::npos);
    }
  }
}

TEST_F(ParseTest, TargetDvdSettingsYieldToTheText) {
  ASSERT_EQ(Parse("-g 12 -b:v 5M -target pal-dvd"), 0) << Task.FLastErrMsg;
  EXPECT_EQ(Texts(o.CodecNames), (std::vector<String>{"v=mpeg2video", "a=ac3"}));
  EXPECT_STREQ(CodecOption("g"), "12");
  EXPECT_STREQ(CodecOption("b:v"), "5M");
  EXPECT_STREQ(CodecOption("maxrate:v"), "9000000");
  EXPECT_STREQ(CodecOption("b:a"), "448000");
  EXPECT_STREQ(FormatOption("packetsize"), "2048");
  EXPECT_STREQ(FormatOption("muxrate"), "10080000");
  ASSERT_EQ(o.AudioSampleRate.size(), 1u);
  EXPECT_EQ(o.AudioSampleRate[0].Value.I, 48000);

  ASSERT_EQ(Parse("-target ntsc-vcd"), 0);
  EXPECT_FLOAT_EQ(o.MuxPreload, 0.44f);
  EXPECT_STREQ(CodecOption("g"), "18");
}

TEST_F(ParseTest, TargetNormFromTheGuessedFrameRate) {
  // A 29.97 fps stream whose codec counts fields still reads as NTSC.
  AddInput("v", {30000, 1001});
  Task.Finput_files[0]->ctx->streams[0]->codecpar->codec_id = AV_CODEC_ID_MPEG2VIDEO;
  ASSERT_EQ(Parse("-target dvd"), 0) << Task.FLastErrMsg;
  EXPECT_EQ(Texts(o.FrameSizes), std::vector<String>{"=720x480"});

  Task.Finput_files.clear();
  AddInput("av", {50, 1});
  try {
    Parse("-target vcd");
    ADD_FAILURE() << "no exception";
  } catch (const FFmpegException& e) {
    EXPECT_TRUE(StartsWith(e.Message, "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"));
  }
}

}  // namespace
