#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <set>

#include "parse_fixture.h"
#include "platform/rtl/DateUtils.h"
#include "tests/support/TempFolder.h"

namespace {

const String InvalidArgument = "Invalid argument / Invalid data found when processing input";

// ---------------------------------------------------------------------------
// The table

TEST_F(ParseTest, TableRowsTargetsAndMatchers) {
  const TOptionDef* rows = Task.FOptionDef;
  ASSERT_NE(rows, nullptr);
  int count = 0;
  while (rows[count].name) ++count;
  EXPECT_EQ(count, OptionTableRowCount);
  EXPECT_STREQ(rows[0].name, "L");
  EXPECT_STREQ(rows[25].name, "f");
  EXPECT_STREQ(rows[166].name, "VideoHookBitsPixel");
  EXPECT_STREQ(rows[count - 1].name, "Join");
  EXPECT_NO_THROW(CheckOptionDefs(rows));

  // A second build keeps the table.
  BuildOptionTable(Task);
  EXPECT_EQ(Task.FOptionDef, rows);

  const int typeBits = ofString | ofBool | ofInt | ofInt64 | ofTime | ofFloat | ofDouble;
  const std::set<String> walkedByConsumers = {"dump_attachment", "metadata", "map_metadata", "program"};
  for (int i = 0; i < count; ++i) {
    const TOptionDef& row = rows[i];
    SCOPED_TRACE(row.name);
    for (int j = 0; j < i; ++j) EXPECT_STRNE(rows[j].name, row.name);
    if (row.flags & (ofOffset | ofSpec)) {
      EXPECT_NE(row.u.off, nullptr);
    } else if (row.flags & typeBits) {
      EXPECT_NE(row.u.dst_ptr, nullptr);
    } else {
      EXPECT_TRUE(bool(row.u.func_arg));
    }
    if (!(row.flags & ofSpec)) continue;
    // Every per-stream row lands in a list that a matcher reads.
    TOptionsContext ctx;
    const String value = (row.flags & ofString) ? "x" : "1";
    ASSERT_EQ(Task.FOptions->WriteOption(&ctx, row, row.name, value), 0);
    int matched = 0;
#define FF_COUNT_MATCHED(Field, Type) matched += ctx.Field.empty() ? 0 : 1;
    FF_PER_STREAM_MATCHERS(FF_COUNT_MATCHED)
#undef FF_COUNT_MATCHED
    EXPECT_EQ(matched, walkedByConsumers.count(row.name) ? 0 : 1);
  }
}

// ---------------------------------------------------------------------------
// Order of application

TEST_F(ParseTest, PresetsComeAfterTextLibraryOptionsAndBeforeTableOptions) {
  ASSERT_EQ(Parse("-crf 23 -b:v 1M -c:v mpeg4 -vol 512", "crf=20\nb:v=800k\nvcodec=libx264"), 0);
  EXPECT_STREQ(CodecOption("crf"), "20");    // a preset overrides a library option of the text
  EXPECT_STREQ(CodecOption("b:v"), "1M");    // a table option overrides a preset
  EXPECT_EQ(Texts(o.CodecNames), (std::vector<String>{"v=libx264", "v=mpeg4"}));
  EXPECT_EQ(Task.Faudio_volume, 512);
}

TEST_F(ParseTest, TaskWideOptionsApplyFromAnInputText) {
  ASSERT_EQ(Parse("-vol 512 -y -vsync vfr -c:v h264", "", true), 0);
  EXPECT_EQ(Task.Faudio_volume, 512);
  EXPECT_EQ(Task.Ffile_overwrite, 1);
  EXPECT_EQ(Task.Fvideo_sync_method, 2);
  EXPECT_EQ(Texts(o.CodecNames), std::vector<String>{"v=h264"});
}

TEST_F(ParseTest, RowsOfRemovedLibraryFeaturesStillParse) {
  // The feed server is gone and only QSV acceleration exists here: the rows
  // store their values and the opening of files decides.
  ASSERT_EQ(Parse("-hwaccel vdpau -hwaccel_device /dev/dri/renderD128", "", true), 0) << Task.FLastErrMsg;
  EXPECT_EQ(Texts(o.HWAccels), std::vector<String>{"=vdpau"});
  EXPECT_EQ(Texts(o.HWAccelDevices), std::vector<String>{"=/dev/dri/renderD128"});
  ASSERT_EQ(Parse("-override_ffserver"), 0) << Task.FLastErrMsg;
  EXPECT_EQ(Task.Foverride_ffserver, 1);
}

// ---------------------------------------------------------------------------
// Results and messages

struct ResultCase {
  const char* text;
  bool input;
  int result;
  const char* message;  // the start of FLastErrMsg ("" when it must stay empty)
};

TEST_F(ParseTest, ResultsAndMessages) {
  const ResultCase cases[] = {
      {"-i name", false, AVERROR_OPTION_NOT_FOUND, "Option not found"},
      {"-an out.mkv", false, AVERROR(EINVAL), "Failed to parse options on \"out.mkv\"\r\nInvalid argument"},
      {"-an \"\"", false, AVERROR(EINVAL), "Failed to parse options\r\nInvalid argument"},
      {"-vf scale=320:240", true, AVERROR(EINVAL), InvalidArgument.c_str()},
      {"-ac", false, AVERROR(EINVAL), "Missing argument for option \"ac\"\r\nInvalid argument"},
      {"-report", false, AVERROR(EINVAL),
       "options \"report\" not supported\r\nFailed to set value \"1\" for option \"report\": Invalid argument"},
      {"-sameq", false, AVERROR(EINVAL), "Option \"sameq\" was removed."},
      {"-vsync 5", false, AVERROR(EINVAL), "The value for \"vsync\" was \"5\" which is invalid\r\n"},
      {"-target pal-foo", false, AVERROR(EINVAL), "Unknown target: foo\r\n"},
      {"-streamid 2000:1", false, AVERROR(EINVAL), "The value for \"streamid\" was \"2000\" which is not within 0 - 1023"},
      {"-streamid 1:-5", false, AVERROR(EINVAL), "The value for \"streamid\" was \"-5\" which is not within 0 - 2147483647"},
      {"-streamid 7", false, AVERROR(EINVAL), "Invalid value \"7\" for option \"streamid\", required syntax"},
      {"-channel_layout:a nonsense", false, AVERROR(EINVAL), "Unknown channel layout: nonsense"},
      {"-max_alloc 12k", false, AVERROR(EINVAL), "Invalid max_alloc \"12k\"."},
      {"-cpuflags nonsense", false, AVERROR(EINVAL), "Failed to parse cpu flags \"nonsense\": Invalid argument"},
      {"-loglevel loud", false, AVERROR(EINVAL), "Invalid loglevel \"loud\". Possible levels are numbers or:\r\n"},
      {"-srcw 100", false, AVERROR(EINVAL), "Directly using swscale dimensions/format options is not supported"},
      {"-hide_banner -version -h -formats -AudioInputHook -Join -VideoOutputHook", false, 0, ""},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Task.FLastErrMsg.clear();
    EXPECT_EQ(Parse(c.text, "", c.input), c.result);
    EXPECT_TRUE(StartsWith(Task.FLastErrMsg, c.message)) << Task.FLastErrMsg;
    if (!*c.message) {
      EXPECT_EQ(Task.FLastErrMsg, "");
    }
  }
}

TEST_F(ParseTest, WithoutHaltFailuresAreLoggedAndSkipped) {
  Task.HaltOnInvalidOption = false;
  EXPECT_EQ(Parse("-foo 1 -vn"), 0);
  EXPECT_EQ(o.VideoDisable, 1);
  EXPECT_NE(Logged().find("Unrecognized option \"foo\""), String::npos);
  EXPECT_NE(Logged().find("Invalid option \"1\" found while parsing options, ignore"), String::npos);
  EXPECT_EQ(Task.FLastErrMsg, "");

  // A refused option is skipped alone: what follows it, in its own group and
  // the file's, still applies.
  EXPECT_EQ(Parse("-report -an -y", "crf=20"), 0);
  EXPECT_EQ(o.AudioDisable, 1);
  EXPECT_EQ(Task.Ffile_overwrite, 1);
  EXPECT_STREQ(CodecOption("crf"), "20");
  EXPECT_EQ(Parse("-vsync 7 -ss 2 -vn", "", true), 0);
  EXPECT_EQ(o.VideoDisable, 1);
  EXPECT_EQ(o.StartTime, 2000000);
  EXPECT_EQ(Task.FLastErrMsg, "");
}

TEST_F(ParseTest, IgnoredOptionsWarnAndChangeNothing) {
  ASSERT_EQ(Parse("-hide_banner -version"), 0);
  EXPECT_NE(Logged().find("options \"hide_banner\" not supported, ignore"), String::npos);
  EXPECT_NE(Logged().find("options \"version\" not supported, ignore"), String::npos);
}

// ---------------------------------------------------------------------------
// Times

TEST_F(ParseTest, TimesInEveryNotationAndLocale) {
  const struct {
    const char* text;
    char separator;
    int64_t TOptionsContext::*field;
    int64_t value;
  } cases[] = {
      {"-t 90", '.', &TOptionsContext::RecordingTime, 90000000},
      {"-t 00:01:30", '.', &TOptionsContext::RecordingTime, 90000000},
      {"-t_microsecond 90000000", '.', &TOptionsContext::RecordingTime, 90000000},
      {"-TimeLength 90", ',', &TOptionsContext::RecordingTime, 90000000},
      {"-timelength 0.25", '.', &TOptionsContext::RecordingTime, 250000},
      {"-TimeStart 1.5", '.', &TOptionsContext::StartTime, 1500000},
      {"-TimeStart 1.5", ',', &TOptionsContext::StartTime, 1500000},
      {"-TimeStart 1,5", ',', &TOptionsContext::StartTime, 1500000},
      {"-timestart 0.0000015", '.', &TOptionsContext::StartTime, 2},
      {"-ss 00:00:02.5", '.', &TOptionsContext::StartTime, 2500000},
  };
  const char saved = FormatSettings().DecimalSeparator;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FormatSettings().DecimalSeparator = c.separator;
    EXPECT_EQ(Parse(c.text), 0) << Task.FLastErrMsg;
    EXPECT_EQ(o.*c.field, c.value);
  }
  FormatSettings().DecimalSeparator = saved;

  for (const char* bad : {"-TimeStart abc", "-TimeLength 1e300", "-TimeStart \"\""}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Parse(bad), AVERROR(EINVAL));
    EXPECT_EQ(o.StartTime, AV_NOPTS_VALUE);
    EXPECT_EQ(o.RecordingTime, INT64_MAX);
  }
  EXPECT_THROW(Parse("-t soon"), Exception);
}

// ---------------------------------------------------------------------------
// Handlers that rewrite or route

TEST_F(ParseTest, OldNamesBecomePerStreamValues) {
  ASSERT_EQ(Parse("-vtag XVID -absf aac_adtstoasc -vcodec mpeg4 -acodec aac -vframes 10 -af volume=2 -vf hflip "
                  "-qscale:a 3 -aq 4 -b 800k -ab 128k -profile main -profile:a aac_low"),
            0)
      << Task.FLastErrMsg;
  EXPECT_EQ(Texts(o.CodecTags), std::vector<String>{"v=XVID"});
  EXPECT_EQ(Texts(o.BitstreamFilters), std::vector<String>{"a=aac_adtstoasc"});
  EXPECT_EQ(Texts(o.CodecNames), (std::vector<String>{"v=mpeg4", "a=aac"}));
  EXPECT_EQ(Texts(o.Filters), (std::vector<String>{"a=volume=2", "v=hflip"}));
  ASSERT_EQ(o.MaxFrames.size(), 1u);
  EXPECT_EQ(o.MaxFrames[0].Value.I64, 10);
  ASSERT_EQ(o.QScale.size(), 2u);
  EXPECT_EQ(o.QScale[0].Specifier, "a");
  EXPECT_EQ(o.QScale[0].Value.Dbl, 3.0);
  EXPECT_EQ(o.QScale[1].Value.Dbl, 4.0);
  EXPECT_STREQ(CodecOption("b:v"), "800k");
  EXPECT_STREQ(CodecOption("b:a"), "128k");
  EXPECT_STREQ(CodecOption("profile:v"), "main");
  EXPECT_STREQ(CodecOption("profile:a"), "aac_low");
  const String log = Logged();
  EXPECT_NE(log.find("Please use -b:a or -b:v, -b is ambiguous"), String::npos);
  EXPECT_EQ(log.find("-b is ambiguous"), log.rfind("-b is ambiguous"));  // once, for -b and not for -ab
}

TEST_F(ParseTest, VsyncLastOccurrenceWins) {
  const struct {
    const char* text;
    int method;
  } cases[] = {{"-vsync cfr", 1},          {"-vsync VFR", 2},          {"-vsync passthrough", 0},
               {"-vsync drop", 255},       {"-vsync 2", 2},            {"-vsync -1", -1},
               {"-vsync cfr -vsync 0", 0}, {"-vsync 0 -vsync drop", 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Task.Fvideo_sync_method = -1;
    EXPECT_EQ(Parse(c.text), 0);
    EXPECT_EQ(Task.Fvideo_sync_method, c.method);
  }
}

TEST_F(ParseTest, ChannelLayoutTimecodeStreamIdAndHookBits) {
  ASSERT_EQ(Parse("-channel_layout:a stereo -timecode 01:00:00:00 -streamid 3:301 -VideoHookBitsPixel 24"), 0)
      << Task.FLastErrMsg;
  EXPECT_STREQ(CodecOption("channel_layout:a"), "3");
  ASSERT_EQ(o.AudioChannels.size(), 1u);
  EXPECT_EQ(o.AudioChannels[0].Specifier, "a");
  EXPECT_EQ(o.AudioChannels[0].Value.I, 2);
  EXPECT_EQ(Texts(o.Metadata), std::vector<String>{"g=timecode=01:00:00:00"});
  EXPECT_STREQ(CodecOption("gop_timecode"), "01:00:00:00");
  EXPECT_EQ(o.StreamIdMap, (std::vector<int32_t>{0, 0, 0, 301}));
  EXPECT_EQ(Task.HookBits, 24);
}

TEST_F(ParseTest, RecordingTimestampWritesCreationTime) {
  const char* tz = std::getenv("TZ");
  const String savedTz = tz ? tz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(Parse("-timestamp \"2020-01-02 03:04:05.6\""), 0) << Task.FLastErrMsg;
  EXPECT_EQ(Texts(o.Metadata), std::vector<String>{"=creation_time=2020-01-02 03:04:06 UTC"});
  EXPECT_NE(Logged().find("timestamp is deprecated"), String::npos);
  if (tz)
    setenv("TZ", savedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST_F(ParseTest, FilterGraphsAndFiles) {
  const TTempFolder folder("tarnwick-parse-");
  const String dir = folder.Path();
  const String script = folder.File("graph.txt");
  std::ofstream(script) << "[0:v]hflip[out];\n[0:a]anull[aout]";
  ASSERT_EQ(Parse("-filter_complex \"[0:v]null[v]\" -filter_complex_script \"" + script +
                  "\" -vstats -sdp_file s.sdp -attach a.ttf"),
            0)
      << Task.FLastErrMsg;
  ASSERT_EQ(Task.Ffiltergraphs.size(), 2u);
  EXPECT_EQ(Task.Ffiltergraphs[0]->graph_desc, "[0:v]null[v]");
  EXPECT_EQ(Task.Ffiltergraphs[1]->index, 1);
  EXPECT_EQ(Task.Ffiltergraphs[1]->graph_desc, "[0:v]hflip[out];\n[0:a]anull[aout]");
  EXPECT_EQ(Task.Finput_stream_potentially_available, 1);
  EXPECT_TRUE(std::regex_match(Task.Fvstats_filename, std::regex("vstats_[0-9]{6}\\.log")));
  EXPECT_EQ(Task.Fsdp_filename, "s.sdp");
  EXPECT_EQ(o.Attachments, std::vector<String>{"a.ttf"});

  EXPECT_EQ(Parse("-filter_complex_script \"" + dir + "/missing.txt\""), AVERROR(EINVAL));
  EXPECT_EQ(Task.Ffiltergraphs.size(), 2u);
  EXPECT_FALSE(ReadTextFile(dir).has_value());  // a folder reads as an error, not as an empty script
}

TEST_F(ParseTest, ProgressOpensItsOutput) {
  const TTempFolder folder("tarnwick-parse-");
  const String path = folder.File("progress.txt");
  ASSERT_EQ(Parse("-progress \"" + path + "\""), 0) << Task.FLastErrMsg;
  EXPECT_NE(Task.Fprogress_avio, nullptr);
  ASSERT_EQ(Parse("-progress -"), 0);
  EXPECT_NE(Task.Fprogress_avio, nullptr);
  EXPECT_EQ(Parse("-progress /nonexistent-folder/p.txt"), AVERROR(ENOENT));
  EXPECT_NE(Task.FLastErrMsg.find("Failed to open progress URL \"/nonexistent-folder/p.txt\""), String::npos);
}

// ---------------------------------------------------------------------------
// Presets

TEST_F(ParseTest, PresetsTextEntries) {
  ASSERT_EQ(Parse("", "b:v=800k<CRLF>#comment<CRLF>g=25"), 0) << Task.FLastErrMsg;
  EXPECT_STREQ(CodecOption("b:v"), "800k");
  EXPECT_STREQ(CodecOption("g"), "25");

  EXPECT_EQ(Parse("", "g = 25"), AVERROR_OPTION_NOT_FOUND);
  EXPECT_TRUE(StartsWith(Task.FLastErrMsg, "Invalid option or argument: \"g = 25\", parsed as \"g \" = \" 25\"\r\n"));
}

TEST_F(ParseTest, PresetFiles) {
  const TTempFolder folder("tarnwick-parse-");
  const String path = folder.File("x264.ffpreset");
  std::ofstream(path) << "# a comment\r\n\r\n   \r\ncrf=21\r\nvcodec=libx264\r\n";
  ASSERT_EQ(Parse("-fpre \"" + path + "\""), 0) << Task.FLastErrMsg;
  EXPECT_STREQ(CodecOption("crf"), "21");
  EXPECT_EQ(Texts(o.CodecNames), std::vector<String>{"v=libx264"});
  EXPECT_NE(Logged().find("Parse preset file: " + path), String::npos);

  std::ofstream(path) << "g = 25\n";
  EXPECT_EQ(Parse("-vpre \"" + path + "\""), AVERROR_OPTION_NOT_FOUND);
  EXPECT_NE(Task.FLastErrMsg.find("x264.ffpreset: Invalid option or argument: \"g = 25\", parsed as \"g \" = \" 25\""),
            String::npos);

  EXPECT_EQ(Parse("-fpre /nonexistent/p.ffpreset"), AVERROR(EINVAL));
  EXPECT_TRUE(StartsWith(Task.FLastErrMsg, "Preset file \"/nonexistent/p.ffpreset\" not found\r\n"));

  // An empty key or value: fatal with halting, skipped without it.
  std::ofstream(path) << "=5\ng=\nbf=2\n";
  EXPECT_EQ(Parse("-fpre \"" + path + "\""), AVERROR(EINVAL));
  EXPECT_NE(Task.FLastErrMsg.find(": Invalid syntax: \"=5\""), String::npos);
  Task.HaltOnInvalidOption = false;
  EXPECT_EQ(Parse("-fpre \"" + path + "\""), 0);
  EXPECT_STREQ(CodecOption("bf"), "2");
  EXPECT_EQ(CodecOption("g"), nullptr);
  EXPECT_EQ(o.Group->codec_opts.Count(), 1);
}

}  // namespace
