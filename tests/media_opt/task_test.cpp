// The task's services: interrupt callbacks with time-outs, codec look-up,
// channel-layout guess, metadata maps, dictionary checks and the per-stream
// option matchers.


#include <chrono>
#include <thread>

#include "OptTestSupport.h"
#include "tests/support/LoopbackListener.h"

namespace {

class TaskTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadSystemLibraries(); }

  TTestTask task_;
  TLogCapture log_;
};

// ---------------------------------------------------------------------------
// Interrupt callbacks

TEST_F(TaskTest, InterruptCallbacksWithAnInjectedClock) {
  int64_t now = 0;
  task_.SetClock([&now] { return now; });
  const int64_t noTimeOut = INT64_MAX;
  const struct {
    bool read;
    bool broken;
    int64_t stamp;
    int timeoutMs;
    int64_t now;
    int result;
    const char* line;  // logged when the call ends
  } cases[] = {
      {true, true, noTimeOut, 300, 0, 1, "reading/writing broken"},
      {true, false, noTimeOut, 300, 1000000000, 0, nullptr},
      {true, false, 0, 0, 1000000000, 0, nullptr},        // no time-out: a zero stamp does not cancel
      {true, false, 0, 300, 5, 1, "connecting/reading canceled"},
      {true, false, 1000, 300, 301000, 0, nullptr},
      {true, false, 1000, 300, 301001, 1, "connecting/reading timeout"},
      // 3,000,000 ms is beyond 32-bit microseconds: it must not wrap.
      {true, false, 1000, 3000000, 2500001000, 0, nullptr},
      {true, false, 1000, 3000000, 3000001001, 1, "connecting/reading timeout"},
      {false, true, noTimeOut, 300, 0, 0, nullptr},  // a stop does not break writing
      {false, false, 0, 300, 5, 1, "connecting/writing canceled"},
      {false, false, 1000, 300, 301001, 1, "connecting/writing timeout"},
      {false, false, 1000, 3000000, 2500001000, 0, nullptr},
      {false, false, 0, -1, 5, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.read ? "read" : "write") << " stamp " << c.stamp << " now " << c.now);
    task_.FBroken = c.broken;
    now = c.now;
    (c.read ? task_.FLastRead : task_.FLastWrite) = c.stamp;
    (c.read ? task_.FReadTimeout : task_.FWriteTimeout) = c.timeoutMs;
    const AVIOInterruptCB& cb = c.read ? task_.FReadCallback : task_.FWriteCallback;
    EXPECT_EQ(cb.callback(cb.opaque), c.result);
    const auto lines = log_.Take();
    if (c.line) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].Msg, c.line);
      EXPECT_EQ(lines[0].Sender, &task_);
      EXPECT_EQ(lines[0].Level, llInfo);
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

// A server on loopback that accepts nothing and sends nothing.
using TSilentServer = TLoopbackListener;

// Opens the silent server's URL with the task's read callback; the time it took.
double OpenSilentInput(TTestTask& task, const TSilentServer& server, int& result) {
  AVFormatContext* ic = ff::avformat_alloc_context();
  ic->interrupt_callback = task.FReadCallback;
  task.StampRead();
  const auto start = std::chrono::steady_clock::now();
  result = ff::avformat_open_input(&ic, server.Url().c_str(), nullptr, nullptr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ff::avformat_close_input(&ic);
  return seconds;
}

TEST_F(TaskTest, ReadTimeOutEndsABlockedNetworkRead) {
  TSilentServer server;
  ASSERT_NE(server.Port(), 0);
  task_.FReadTimeout = 300;
  int result = 0;
  const double seconds = OpenSilentInput(task_, server, result);
  EXPECT_EQ(result, AVERROR_EXIT);
  EXPECT_GE(seconds, 0.25);
  EXPECT_LT(seconds, 1.5);
  EXPECT_TRUE(log_.Contains("connecting/reading timeout"));
}

TEST_F(TaskTest, ZeroStampFromAnotherThreadCancelsABlockedRead) {
  TSilentServer server;
  ASSERT_NE(server.Port(), 0);
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    task_.FLastRead = 0;
  });
  int result = 0;
  const double seconds = OpenSilentInput(task_, server, result);
  stopper.join();
  EXPECT_EQ(result, AVERROR_EXIT);
  EXPECT_LT(seconds, 1.5);
  EXPECT_TRUE(log_.Contains("connecting/reading canceled"));
}

// ---------------------------------------------------------------------------
// Codecs and layouts

TEST_F(TaskTest, FindCodecOrDie) {
  const AVCodec* codec = task_.FindCodecOrDie("mpeg4", AVMEDIA_TYPE_VIDEO, true);
  EXPECT_STREQ(codec->name, "mpeg4");
  EXPECT_TRUE(ff::av_codec_is_encoder(codec));
  codec = task_.FindCodecOrDie("aac", AVMEDIA_TYPE_AUDIO, false);
  EXPECT_TRUE(ff::av_codec_is_decoder(codec));

  // A descriptor name without an encoder of that name finds the encoder of its codec id.
  if (ff::avcodec_find_encoder(AV_CODEC_ID_H264) && !ff::avcodec_find_encoder_by_name("h264")) {
    log_.Take();
    GlobalLogger()->SetLogLevel(llVerbose);
    codec = task_.FindCodecOrDie("h264", AVMEDIA_TYPE_VIDEO, true);
    GlobalLogger()->SetLogLevel(llInfo);
    EXPECT_EQ(codec->id, AV_CODEC_ID_H264);
    EXPECT_TRUE(log_.Contains(Format("Matched encoder \"%s\" for codec \"h264\".", {codec->name})));
  }

  const struct {
    const char* name;
    AVMediaType type;
    bool encoder;
    const char* message;
  } failures[] = {
      {"nosuchcodec", AVMEDIA_TYPE_VIDEO, true, "Unknown encoder \"nosuchcodec\""},
      {"nosuchcodec", AVMEDIA_TYPE_VIDEO, false, "Unknown decoder \"nosuchcodec\""},
      {"aac", AVMEDIA_TYPE_VIDEO, false, "Invalid decoder type \"aac\""},
      {"mpeg4", AVMEDIA_TYPE_AUDIO, true, "Invalid encoder type \"mpeg4\""},
  };
  for (const auto& f : failures) {
    log_.Take();
    try {
      task_.FindCodecOrDie(f.name, f.type, f.encoder);
      ADD_FAILURE() << f.message;
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, f.message);
    }
    EXPECT_EQ(task_.LastErrMsg(), f.message);
    const auto lines = log_.Take();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().Level, llFatal);
    EXPECT_EQ(lines.back().Sender, &task_);
  }
}

TEST_F(TaskTest, GuessInputChannelLayout) {
  const struct {
    bool native;   // the decoder already has a layout
    int channels;
    int guessMax;
    int result;
    const char* layout;  // described afterwards
  } cases[] = {
      {true, 2, INT32_MAX, 1, "stereo"},
      {false, 2, INT32_MAX, 1, "stereo"},
      {false, 1, INT32_MAX, 1, "mono"},
      {false, 6, INT32_MAX, 1, "5.1"},
      {false, 6, 2, 0, "6 channels"},
      {false, 0, INT32_MAX, 0, "0 channels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channels);
    TInputStream ist;
    ist.file_index = 0;
    ist.guess_layout_max = c.guessMax;
    ist.dec_ctx.reset(ff::avcodec_alloc_context3(nullptr));
    AVChannelLayout& layout = ist.dec_ctx->ch_layout;
    if (c.native)
      ff::av_channel_layout_default(&layout, c.channels);
    else
      layout = AVChannelLayout{AV_CHANNEL_ORDER_UNSPEC, c.channels, {0}, nullptr};
    log_.Take();
    EXPECT_EQ(task_.GuessInputChannelLayout(&ist), c.result);
    char name[64] = {};
    ff::av_channel_layout_describe(&layout, name, sizeof name);
    EXPECT_STREQ(name, c.layout);
    const auto lines = log_.Take();
    if (c.result && !c.native) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].Msg, Format("Guessed Channel Layout for  Input Stream #0.0 : %s", {c.layout}));
      EXPECT_EQ(lines[0].Level, llWarning);
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

// ---------------------------------------------------------------------------
// Synthetic files: streams v0, v1, a0, a1 with metadata, one chapter, one program.

struct TFormatContextFree {
  void operator()(AVFormatContext* p) const { ff::avformat_free_context(p); }
};
using UniqueFormat = std::unique_ptr<AVFormatContext, TFormatContextFree>;

UniqueFormat MakeFile(bool withChapterAndProgram) {
  UniqueFormat ctx(ff::avformat_alloc_context());
  const AVMediaType types[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_AUDIO};
  for (AVMediaType type : types) {
    AVStream* st = ff::avformat_new_stream(ctx.get(), nullptr);
    st->codecpar->codec_type = type;
  }
  if (withChapterAndProgram) {
    ff::av_dict_set(&ctx->metadata, "title", "global", 0);
    ff::av_dict_set(&ctx->streams[0]->metadata, "title", "first video", 0);
    ff::av_dict_set(&ctx->streams[2]->metadata, "title", "first audio", 0);
    ff::av_dict_set(&ctx->streams[3]->metadata, "language", "eng", 0);
    ctx->chapters = static_cast<AVChapter**>(ff::av_mallocz(sizeof(AVChapter*)));
    ctx->chapters[0] = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
    ctx->nb_chapters = 1;
    ff::av_dict_set(&ctx->chapters[0]->metadata, "title", "chapter one", 0);
    AVProgram* program = ff::av_new_program(ctx.get(), 1);
    ff::av_dict_set(&program->metadata, "title", "program one", 0);
  }
  return ctx;
}

const char* TitleOf(AVDictionary* dict) {
  const AVDictionaryEntry* e = ff::av_dict_get(dict, "title", nullptr, 0);
  return e ? e->value : "";
}

TEST_F(TaskTest, CopyMetadata) {
  UniqueFormat in = MakeFile(true);
  UniqueFormat out = MakeFile(false);
  ff::av_dict_set(&out->streams[3]->metadata, "title", "kept", 0);
  TOptionsContext o;

  EXPECT_EQ(task_.CopyMetadata("g", "s:v", &o, in.get(), out.get()), 0);
  EXPECT_STREQ(TitleOf(out->metadata), "first video");
  EXPECT_EQ(o.MetadataGlobalManual, 1);
  EXPECT_EQ(o.MetadataStreamsManual, 1);
  EXPECT_EQ(o.MetadataChaptersManual, 0);

  // Into every matching output stream, without overwriting what is there.
  EXPECT_EQ(task_.CopyMetadata("s:a", "c:0", &o, in.get(), out.get()), 0);
  EXPECT_STREQ(TitleOf(out->streams[2]->metadata), "chapter one");
  EXPECT_STREQ(TitleOf(out->streams[3]->metadata), "kept");
  EXPECT_STREQ(TitleOf(out->streams[0]->metadata), "");
  EXPECT_EQ(o.MetadataChaptersManual, 1);

  const struct {
    const char* out;
    const char* in;
    int result;
    const char* message;
  } failures[] = {
      {"g", "c:5", -1, "Invalid chapter index 5 while processing metadata maps."},
      {"c:0", "g", -1, "Invalid chapter index 0 while processing metadata maps."},
      {"g", "p:1", -1, "Invalid program index 1 while processing metadata maps."},
      {"g", "s:s", -1, "Stream specifier s does not match  any streams."},
      {"g", "s:x", AVERROR(EINVAL),
       "check_stream_specifier: Invalid argument / Invalid data found when processing input"},
      {"q", "g", -1, "Invalid metadata type q."},
      {"g", "sx", -1, "Invalid metadata specifier sx."},
  };
  for (const auto& f : failures) {
    EXPECT_EQ(task_.CopyMetadata(f.out, f.in, &o, in.get(), out.get()), f.result) << f.message;
    EXPECT_EQ(task_.LastErrMsg(), f.message);
  }
  EXPECT_EQ(task_.CopyMetadata("g", "p:0", &o, in.get(), out.get()), 0);

  // Without an input only the marks change.
  TOptionsContext fresh;
  EXPECT_EQ(task_.CopyMetadata("", "", &fresh, nullptr, out.get()), 0);
  EXPECT_EQ(fresh.MetadataGlobalManual + fresh.MetadataStreamsManual + fresh.MetadataChaptersManual, 3);
}

TEST_F(TaskTest, DictionaryChecks) {
  TAVDict a, b;
  ff::av_dict_set(a.Ref(), "b:v", "1M", 0);
  ff::av_dict_set(a.Ref(), "g", "250", 0);
  ff::av_dict_set(a.Ref(), "crf", "20", 0);
  ff::av_dict_set(b.Ref(), "g", "x", 0);
  TCustomFFmpegOpt::RemoveOptions(a, b.Get());
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Value("g"), nullptr);

  TAVDict stripped = TCustomFFmpegOpt::StripSpecifiers(a.Get());
  EXPECT_STREQ(stripped.Value("b"), "1M");
  EXPECT_STREQ(stripped.Value("crf"), "20");

  task_.HaltOnInvalidOption = false;
  task_.AssertOptionsUsed(a.Get());
  EXPECT_EQ(task_.LastErrMsg(), "Option b:v not found.");
  task_.HaltOnInvalidOption = true;
  EXPECT_THROW(task_.AssertOptionsUsed(a.Get()), FFmpegException);
  EXPECT_NO_THROW(task_.AssertOptionsUsed(nullptr));
}

TEST_F(TaskTest, FilterCodecOptionsPerStream) {
  UniqueFormat in = MakeFile(false);
  in->streams[0]->codecpar->codec_id = AV_CODEC_ID_MPEG4;
  in->streams[2]->codecpar->codec_id = AV_CODEC_ID_AAC;
  TAVDict opts;
  ff::av_dict_set(opts.Ref(), "threads", "2", 0);
  ff::av_dict_set(opts.Ref(), "vstrict", "-2", 0);
  ff::av_dict_set(opts.Ref(), "flags:v:1", "+gray", 0);
  TStreamOptions perStream = SetupFindStreamInfoOptions(in.get(), opts.Get());
  ASSERT_EQ(perStream.Count(), 4u);
  EXPECT_STREQ(ff::av_dict_get(perStream[0], "threads", nullptr, 0)->value, "2");
  EXPECT_STREQ(ff::av_dict_get(perStream[0], "strict", nullptr, 0)->value, "-2");
  EXPECT_EQ(ff::av_dict_get(perStream[0], "flags", nullptr, 0), nullptr);
  EXPECT_STREQ(ff::av_dict_get(perStream[1], "flags", nullptr, 0)->value, "+gray");
  EXPECT_EQ(ff::av_dict_get(perStream[2], "strict", nullptr, 0), nullptr);

  ff::av_dict_set(opts.Ref(), "threads:x", "1", 0);
  try {
    FilterCodecOptions(opts.Get(), AV_CODEC_ID_MPEG4, in.get(), in->streams[0], nullptr);
    ADD_FAILURE() << "a bad stream specifier was accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "invalid stream specification");
  }
}

// ---------------------------------------------------------------------------
// Matchers

TEST_F(TaskTest, MatchersPickTheLastMatchingOccurrence) {
  UniqueFormat file = MakeFile(false);
  const auto value = [](const char* spec, const char* str) {
    TSpecifierValue v{spec, {}};
    v.Value.Str = str;
    return v;
  };
  const struct {
    TSpecifierValues values;
    const char* expected[4];  // v0, v1, a0, a1 (nullptr: the default stays)
  } cases[] = {
      {{value("", "25"), value("v:1", "30")}, {"25", "30", "25", "25"}},
      {{value("v:1", "30"), value("", "25")}, {"25", "25", "25", "25"}},
      {{value("a", "aac"), value("a:1", "libmp3lame")}, {nullptr, nullptr, "aac", "libmp3lame"}},
      {{value("v", "DIVX")}, {"DIVX", "DIVX", nullptr, nullptr}},
      {{value("1", "second")}, {nullptr, "second", nullptr, nullptr}},
      {{}, {nullptr, nullptr, nullptr, nullptr}},
  };
  for (const auto& c : cases) {
    TOptionsContext o;
    o.FrameRates = c.values;
    for (int i = 0; i < 4; ++i) {
      const char* result = nullptr;
      task_.MatchFrameRates(&o, file.get(), result, file->streams[i]);
      if (c.expected[i])
        EXPECT_STREQ(result, c.expected[i]) << i;
      else
        EXPECT_EQ(result, nullptr) << i;
    }
  }

  // An invalid specifier fails when a stream is matched, not before.
  TOptionsContext o;
  o.QScale.push_back(TSpecifierValue{"x", {}});
  double q = -1;
  try {
    task_.MatchQScale(&o, file.get(), q, file->streams[0]);
    ADD_FAILURE();
  } catch (const FFmpegException& e) {
    EXPECT_EQ(e.Message, "check_stream_specifier: Invalid argument / Invalid data found when processing input");
  }
  EXPECT_EQ(task_.LastErrMsg(), "check_stream_specifier: Invalid argument / Invalid data found when processing input");
}

// Every matcher reads its own field in the view of its type: a value written
// for video through the option writer reaches video streams only.
template <typename T>
struct TWiringCheck {
  static constexpr int Flags = std::is_same_v<T, int32_t>   ? ofInt
                               : std::is_same_v<T, int64_t> ? ofInt64
                               : std::is_same_v<T, double>  ? ofDouble
                                                            : ofString;
  static void Run(TTestTask& task, AVFormatContext* file, const char* name, TFieldAccess field,
                  void (TCustomFFmpegOpt::*match)(TOptionsContext*, AVFormatContext*, T&, AVStream*)) {
    SCOPED_TRACE(name);
    TOptionsContext o;
    const TOptionDef row(name, ofHasArg | ofSpec | ofOutput | Flags, field);
    ASSERT_EQ(task.FOptions->WriteOption(&o, row, String(name) + ":v", "7"), 0);
    for (unsigned i = 0; i < file->nb_streams; ++i) {
      const bool video = file->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
      if constexpr (std::is_same_v<T, const char*>) {
        const char* value = nullptr;
        (task.*match)(&o, file, value, file->streams[i]);
        if (video)
          EXPECT_STREQ(value, "7");
        else
          EXPECT_EQ(value, nullptr);
      } else {
        T value = T(-99);
        (task.*match)(&o, file, value, file->streams[i]);
        EXPECT_EQ(value, video ? T(7) : T(-99)) << i;
      }
    }
  }
};

TEST_F(TaskTest, EveryMatcherIsWiredToItsField) {
  UniqueFormat file = MakeFile(false);
  int checked = 0;
#define FF_CHECK_WIRING(Field, Type)                                                                    \
  TWiringCheck<Type>::Run(task_, file.get(), #Field, &FieldOf<&TOptionsContext::Field>, \
                          &TCustomFFmpegOpt::Match##Field);                                             \
  ++checked;
  FF_PER_STREAM_MATCHERS(FF_CHECK_WIRING)
#undef FF_CHECK_WIRING
  EXPECT_EQ(checked, 36);
}

TEST_F(TaskTest, ChooseDecoderFollowsTheCodecOption) {
  UniqueFormat file = MakeFile(false);
  file->streams[0]->codecpar->codec_id = AV_CODEC_ID_MPEG4;
  file->streams[2]->codecpar->codec_id = AV_CODEC_ID_AAC;
  TOptionsContext o;
  EXPECT_EQ(task_.ChooseDecoder(&o, file.get(), file->streams[0])->id, AV_CODEC_ID_MPEG4);
  o.CodecNames.push_back(TSpecifierValue{"v", {}});
  o.CodecNames.back().Value.Str = "h263";
  EXPECT_STREQ(task_.ChooseDecoder(&o, file.get(), file->streams[0])->name, "h263");
  EXPECT_EQ(file->streams[0]->codecpar->codec_id, AV_CODEC_ID_H263);
  EXPECT_EQ(task_.ChooseDecoder(&o, file.get(), file->streams[2])->id, AV_CODEC_ID_AAC);
  EXPECT_EQ(task_.ChooseDecoder(&o, file.get(), file->streams[3]), nullptr);  // no codec id

  const char* name = "none";
  task_.MatchPerTypeCodecName(&o, "a", name);
  EXPECT_STREQ(name, "none");
  task_.MatchPerTypeCodecName(&o, "v", name);
  EXPECT_STREQ(name, "h263");
}

}  // namespace
