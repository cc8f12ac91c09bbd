// Collecting option words into groups, routing unknown options to the
// libraries' option sets, and applying the groups to typed targets.

#include <cstring>

#include "OptTestSupport.h"

namespace {

constexpr int kFile = ofInput | ofOutput;

class ParseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadSystemLibraries(); }

  void SetUp() override {
    rows_ = {
        {"an", ofBool | ofOffset | kFile, &FieldOf<&TOptionsContext::AudioDisable>, "disable audio"},
        {"ac", ofHasArg | ofInt | ofSpec | kFile, &FieldOf<&TOptionsContext::AudioChannels>, "channels"},
        {"r", ofHasArg | ofString | ofSpec | kFile, &FieldOf<&TOptionsContext::FrameRates>, "rate"},
        {"q", ofHasArg | ofDouble | ofSpec | ofOutput, &FieldOf<&TOptionsContext::QScale>, "q"},
        {"frames", ofHasArg | ofInt64 | ofSpec | ofOutput, &FieldOf<&TOptionsContext::MaxFrames>, "f"},
        {"t", ofHasArg | ofTime | ofOffset | kFile, &FieldOf<&TOptionsContext::RecordingTime>, "dur"},
        {"muxdelay", ofHasArg | ofFloat | ofOffset | ofOutput,
         &FieldOf<&TOptionsContext::MuxMaxDelay>, "delay"},
        {"f", ofHasArg | ofString | ofOffset | kFile, &FieldOf<&TOptionsContext::Format>, "format"},
        {"itsoffset", ofHasArg | ofTime | ofOffset | ofInput,
         &FieldOf<&TOptionsContext::InputTsOffset>, "offset"},
        {"vol", ofHasArg | ofInt, &volume_, "volume"},
        {"vf", ofHasArg | ofPerFile | ofOutput, Tfunc_arg([this](TOptionsContext* o, const String& opt, const String& arg) {
           handled_.push_back(opt + "=" + arg + (o ? " (file)" : ""));
           if (arg == "bad") {
             options_.OptionErrorText = "the graph is wrong";
             return AVERROR(EINVAL);
           }
           return arg == "worse" ? AVERROR(ENOMEM) : 0;
         }), "video filters"},
        {},
    };
    options_.init_parse_context();
    o_.Group = &options_.OptionParseContext().file_opts;
  }
  void TearDown() override { options_.uninit_parse_context(); }

  // Collects the words and applies both groups as a file of Flags would.
  int Parse(std::vector<String> words, bool halt = true, int flags = kFile) {
    int ret = options_.parse_options(words, rows_.data(), halt);
    if (ret < 0) return ret;
    TOptionParseContext& ctx = options_.OptionParseContext();
    ret = options_.ParseOptionGroup(nullptr, ctx.global_opts, "global", 0, "");
    if (ret < 0) return ret;
    return options_.ParseOptionGroup(&o_, ctx.file_opts, "output file", flags, "out.mkv");
  }
  TOptionGroup& File() { return options_.OptionParseContext().file_opts; }

  std::vector<TOptionDef> rows_;
  TFFOptions options_;
  TOptionsContext o_;
  int volume_ = 256;
  std::vector<String> handled_;
};

TEST_F(ParseTest, TableRowsWriteTheirTypedTargets) {
  EXPECT_EQ(Parse({"-an", "-vol", "512", "-t", "00:01:30", "-muxdelay", "1.5", "-f", "matroska", "-frames:v", "9",
                   "-q:a", "0.25", "-vf", "hflip"}),
            0);
  EXPECT_EQ(o_.AudioDisable, 1);
  EXPECT_EQ(volume_, 512);
  EXPECT_EQ(o_.RecordingTime, 90000000);
  EXPECT_FLOAT_EQ(o_.MuxMaxDelay, 1.5f);
  EXPECT_EQ(o_.Format, "matroska");
  ASSERT_EQ(o_.MaxFrames.size(), 1u);
  EXPECT_EQ(o_.MaxFrames[0].Specifier, "v");
  EXPECT_EQ(o_.MaxFrames[0].Value.I64, 9);
  ASSERT_EQ(o_.QScale.size(), 1u);
  EXPECT_DOUBLE_EQ(o_.QScale[0].Value.Dbl, 0.25);
  EXPECT_EQ(handled_, std::vector<String>{"vf=hflip (file)"});
  // "-vol" has no file target: it went to the global group.
  EXPECT_EQ(options_.OptionParseContext().global_opts.opts.size(), 1u);
}

TEST_F(ParseTest, BooleanRowsAndTheirNoForms) {
  EXPECT_EQ(Parse({"-an", "-noan"}), 0);
  EXPECT_EQ(o_.AudioDisable, 0);
  ASSERT_EQ(File().opts.size(), 2u);
  EXPECT_EQ(File().opts[1].key, "noan");
  // "no" before a row that is not Boolean, or before nothing known, is unrecognized.
  options_.init_parse_context();
  EXPECT_EQ(options_.parse_options({"-nofoo"}, rows_.data(), true), AVERROR_OPTION_NOT_FOUND);
  options_.init_parse_context();
  EXPECT_EQ(options_.parse_options({"-nof"}, rows_.data(), true), AVERROR_OPTION_NOT_FOUND);
}

TEST_F(ParseTest, PerStreamOccurrencesKeepTheirSpecifiers) {
  EXPECT_EQ(Parse({"-r", "25", "-r:v:1", "30", "-ac:a", "2"}), 0);
  ASSERT_EQ(o_.FrameRates.size(), 2u);
  EXPECT_EQ(o_.FrameRates[0].Specifier, "");
  EXPECT_EQ(o_.FrameRates[0].Value.Str, "25");
  EXPECT_EQ(o_.FrameRates[1].Specifier, "v:1");
  EXPECT_EQ(o_.FrameRates[1].Value.Str, "30");
  ASSERT_EQ(o_.AudioChannels.size(), 1u);
  EXPECT_EQ(o_.AudioChannels[0].Value.I, 2);
}

// Options that no row knows reach the library that knows them, keyed as written.
TEST_F(ParseTest, RoutingToTheLibraries) {
  TLogCapture log;
  GlobalLogger()->SetLogLevel(llVerbose);
  ASSERT_EQ(options_.parse_options({"-g", "250", "-bf:v", "2", "-flags", "+global_header", "-flags", "+cgop",
                                    "-strict", "-2", "-probesize", "5000000", "-sws_flags", "lanczos", "-dither_method",
                                    "triangular"},
                                   rows_.data(), true),
            0);
  EXPECT_STREQ(File().codec_opts.Value("g"), "250");
  EXPECT_STREQ(File().codec_opts.Value("bf:v"), "2");
  EXPECT_EQ(File().codec_opts.Value("bf"), nullptr);
  EXPECT_STREQ(File().codec_opts.Value("flags"), "+global_header+cgop");
  EXPECT_STREQ(File().codec_opts.Value("strict"), "-2");
  EXPECT_STREQ(File().format_opts.Value("strict"), "-2");
  EXPECT_STREQ(File().format_opts.Value("probesize"), "5000000");
  EXPECT_EQ(File().codec_opts.Value("probesize"), nullptr);
  EXPECT_STREQ(File().sws_dict.Value("sws_flags"), "lanczos");
  EXPECT_STREQ(File().swr_opts.Value("dither_method"), "triangular");
  EXPECT_TRUE(File().opts.empty());
  GlobalLogger()->SetLogLevel(llInfo);
  EXPECT_TRUE(log.Contains("Routing option \"strict\" to both codec and muxer layer"));
  // The object's own dictionaries start again from the scaler default.
  EXPECT_EQ(options_.codec_opts().Count(), 0);
  EXPECT_STREQ(options_.sws_dict().Value("flags"), "bicubic");
}

TEST_F(ParseTest, FailuresAndTheirMessages) {
  struct Case {
    std::vector<String> words;
    bool halt;
    int result;
    const char* error;  // OptionErrorText afterwards
  } cases[] = {
      {{"-ac"}, true, AVERROR(EINVAL), "Missing argument for option \"ac\""},
      {{"-foo", "1"}, true, AVERROR_OPTION_NOT_FOUND, ""},
      {{"out.mkv"}, true, AVERROR(EINVAL), "Failed to parse options on \"out.mkv\""},
      {{""}, true, AVERROR(EINVAL), "Failed to parse options"},
      {{"-srcw", "100"}, true, AVERROR(EINVAL),
       "Directly using swscale dimensions/format options is not supported, please use the -s or -pix_fmt options"},
      {{"-foo", "1", "-an"}, false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[0]);
    options_.init_parse_context();
    options_.OptionErrorText.clear();
    EXPECT_EQ(options_.parse_options(c.words, rows_.data(), c.halt), c.result);
    EXPECT_EQ(options_.OptionErrorText, c.error);
  }
  // Without halting, the unknown option and the stray word are skipped and "-an" still applies.
  EXPECT_EQ(File().opts.size(), 1u);
}

TEST_F(ParseTest, ValueErrorsAndLocaleIndependentNumbers) {
  const char saved = FormatSettings().DecimalSeparator;
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(Parse({"-muxdelay", "0.7", "-q", "1.001"}), 0);
  FormatSettings().DecimalSeparator = saved;
  EXPECT_FLOAT_EQ(o_.MuxMaxDelay, 0.7f);
  EXPECT_DOUBLE_EQ(o_.QScale[0].Value.Dbl, 1.001);

  const struct {
    std::vector<String> words;
    const char* message;
  } cases[] = {
      {{"-ac", "two"}, "Expected integer for \"ac\" but found \"two\""},
      {{"-frames", "x"}, "Expected int64 for \"frames\" but found \"x\""},
      {{"-muxdelay", "1,5"}, "Expected float for \"muxdelay\" but found \"1,5\""},
      {{"-q", "high"}, "Expected double for \"q\" but found \"high\""},
      {{"-t", "soon"}, "Invalid duration specification for \"t\": \"soon\""},
  };
  for (const auto& c : cases) {
    options_.init_parse_context();
    try {
      Parse(c.words);
      ADD_FAILURE() << c.message;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
  EXPECT_EQ(ParseTimeValue("timestamp", "1970-01-01T00:00:10Z", false), 10000000);
}

TEST_F(ParseTest, HandlerFailuresAndFileFlags) {
  EXPECT_EQ(Parse({"-vf", "bad"}), AVERROR(EINVAL));
  EXPECT_EQ(options_.OptionErrorText,
            "the graph is wrong\r\nFailed to set value \"bad\" for option \"vf\": "
            "Invalid argument / Invalid data found when processing input");

  options_.init_parse_context();
  EXPECT_EQ(Parse({"-vf", "worse"}), AVERROR(ENOMEM));
  EXPECT_EQ(options_.OptionErrorText,
            "Failed to set value \"worse\" for option \"vf\": Not enough space / Out of memory");

  // An output-only row in an input's text; the row before it is applied, the one after is not.
  options_.init_parse_context();
  EXPECT_EQ(Parse({"-an", "-vf", "hflip", "-f", "avi"}, true, ofInput), AVERROR(EINVAL));
  EXPECT_EQ(o_.AudioDisable, 1);
  EXPECT_EQ(o_.Format, "");
}

TEST_F(ParseTest, ParseOptionForHandlersThatRedispatch) {
  EXPECT_EQ(options_.ParseOption(&o_, "r:v", "25", rows_.data()), 1);
  EXPECT_EQ(options_.ParseOption(&o_, "noan", nullptr, rows_.data()), 0);
  EXPECT_EQ(options_.ParseOption(&o_, "an", nullptr, rows_.data()), 0);
  EXPECT_EQ(o_.AudioDisable, 1);
  EXPECT_EQ(options_.ParseOption(&o_, "ac", nullptr, rows_.data()), AVERROR(EINVAL));
  EXPECT_EQ(options_.OptionErrorText, "Missing argument for option \"ac\"");
  EXPECT_EQ(options_.ParseOption(&o_, "zz", "1", rows_.data()), AVERROR(EINVAL));
  EXPECT_EQ(options_.OptionErrorText, "Unrecognized option \"zz\"");
  ASSERT_EQ(o_.FrameRates.size(), 1u);
  EXPECT_EQ(o_.FrameRates[0].Specifier, "v");
}

TEST_F(ParseTest, LocateOptionSkipsArguments) {
  const std::vector<String> words = {"-vol", "-v", "-unknown", "v", "-noan", "x", "-v", "debug"};
  // "-vol" takes "-v" as its argument; "-unknown" takes "v"; the real "-v" is the seventh word.
  EXPECT_EQ(LocateOption(words, rows_.data(), "v"), 6);
  EXPECT_EQ(LocateOption(words, rows_.data(), "an"), 4);
  EXPECT_EQ(LocateOption(words, rows_.data(), "loglevel"), -1);
}

TEST_F(ParseTest, LogLevelOption) {
  const TLogLevel savedLevel = GlobalLogger()->GetLogLevel();
  const int savedFlags = GlobalLogger()->GetLogFlags();
  EXPECT_EQ(options_.OptLogLevel("loglevel", "repeat+verbose"), 0);
  EXPECT_EQ(GlobalLogger()->GetLogLevel(), llVerbose);
  EXPECT_EQ(GlobalLogger()->GetLogFlags() & AV_LOG_SKIP_REPEATED, 0);
  EXPECT_EQ(options_.OptLogLevel("loglevel", "99"), 0);
  EXPECT_EQ(GlobalLogger()->GetLogLevel(), llTrace);
  EXPECT_NE(GlobalLogger()->GetLogFlags() & AV_LOG_SKIP_REPEATED, 0);
  EXPECT_EQ(options_.OptLogLevel("loglevel", "loud"), AVERROR(EINVAL));
  EXPECT_EQ(options_.OptionErrorText.rfind("Invalid loglevel \"loud\". Possible levels are numbers or:\r\n\"quiet\"\r\n", 0),
            0u);
  EXPECT_NE(options_.OptionErrorText.find("\"trace\"\r\n"), String::npos);
  GlobalLogger()->SetLogLevel(savedLevel);
  GlobalLogger()->SetLogFlags(savedFlags);
}

TEST_F(ParseTest, OptDefaultSpecialNames) {
  const TLogLevel saved = GlobalLogger()->GetLogLevel();
  EXPECT_EQ(options_.opt_default("debug", "1"), 0);  // also a codec option
  EXPECT_EQ(GlobalLogger()->GetLogLevel(), llDebug);
  GlobalLogger()->SetLogLevel(saved);
  EXPECT_EQ(options_.opt_default("nosuchoption", "1"), AVERROR_OPTION_NOT_FOUND);

  EXPECT_EQ(options_.sws_flags(), SWS_BICUBIC);
  EXPECT_EQ(options_.opt_default("sws_flags", "lanczos+accurate_rnd"), 0);
  EXPECT_EQ(options_.FetchSwsFlags(), 0);
  EXPECT_EQ(options_.sws_flags(), SWS_LANCZOS | SWS_ACCURATE_RND);
}

TEST(OptionDefs, FindOptionDefMatchesTheWholeBaseName) {
  const TOptionDef rows[] = {{"c", ofHasArg}, {"codec", ofHasArg}, {"c:v", 0}, {nullptr}};
  EXPECT_STREQ(FindOptionDef(rows, "c:v")->name, "c");
  EXPECT_STREQ(FindOptionDef(rows, "codec:a:1")->name, "codec");
  EXPECT_EQ(FindOptionDef(rows, "co")->name, nullptr);
  EXPECT_EQ(FindOptionDef(rows, "codecs")->name, nullptr);

  const TOptionDef broken[] = {{"map", ofHasArg | ofPerFile}, {nullptr}};
  EXPECT_THROW(CheckOptionDefs(broken), Exception);
  EXPECT_NO_THROW(CheckOptionDefs(rows));
}

}  // namespace
