#pragma once
// A task with its option table, one options context, a log recorder and
// synthetic inputs built directly with the libraries.

#include <gtest/gtest.h>

#include <mutex>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFmpegOptHandlers.h"
#include "media/FFmpegOptParser.h"

class TTestTask : public TCustomFFmpegOpt {
 public:
  int OptVideoHookBitsPixel(TOptionsContext*, const String&, const String& Arg) override {
    HookBits = StrToInt(Arg);
    return 0;
  }
  int HookBits = 32;
};

class ParseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg(); }

  void SetUp() override {
    GlobalLogger()->SetTriggerEventInMainThread(false);
    GlobalLogger()->SetLogLevel(llDebug);
    GlobalLogger()->SetOnLog([this](TObject*, TThreadID, TLogLevel, const String& Msg) {
      std::lock_guard<std::mutex> lock(FLogLock);
      FLog += Msg + "\n";
    });
    BuildOptionTable(Task);
    InitOptionsContext(Task, o);
  }

  void TearDown() override {
    UninitOptionsContext(Task, o);
    GlobalLogger()->SetOnLog(nullptr);
    GlobalLogger()->SetLogLevel(llInfo);
  }

  // Parses Text for a new output file (or input file with Input): the
  // context starts afresh, the task keeps what earlier parses gave it.
  int Parse(const String& Text, const String& Presets = "", bool Input = false) {
    UninitOptionsContext(Task, o);
    InitOptionsContext(Task, o);
    return ParseOptions(Task, o, Text, Input ? ofInput : ofOutput, Input ? "in.mkv" : "out.mkv",
                        Input ? "input file" : "output file", Presets);
  }

  String Logged() {
    std::lock_guard<std::mutex> lock(FLogLock);
    return FLog;
  }

  const char* CodecOption(const char* Key) const { return o.Group->codec_opts.Value(Key); }
  const char* FormatOption(const char* Key) const { return o.Group->format_opts.Value(Key); }

  // Adds an input whose streams are of the given kinds ('v' video at Rate,
  // 'a' stereo audio, 's' subtitle).
  void AddInput(const char* Kinds, AVRational Rate = {25, 1}) {
    auto file = std::make_unique<TInputFile>();
    file->ctx.reset(ff::avformat_alloc_context());
    for (const char* k = Kinds; *k; ++k) {
      AVStream* st = ff::avformat_new_stream(file->ctx.get(), nullptr);
      AVCodecParameters* par = st->codecpar;
      if (*k == 'v') {
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_H264;
        st->r_frame_rate = st->avg_frame_rate = Rate;
      } else if (*k == 'a') {
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AAC;
        ff::av_channel_layout_default(&par->ch_layout, 2);
      } else {
        par->codec_type = AVMEDIA_TYPE_SUBTITLE;
      }
    }
    Task.Finput_files.push_back(std::move(file));
  }

  TTestTask Task;
  TOptionsContext o;

 private:
  std::mutex FLogLock;
  String FLog;
};

inline bool StartsWith(const String& Text, const String& Prefix) { return Text.rfind(Prefix, 0) == 0; }

// The values of a per-stream option as "specifier=value" texts.
inline std::vector<String> Texts(const TSpecifierValues& Values) {
  std::vector<String> out;
  for (const auto& v : Values) out.push_back(v.Specifier + "=" + v.Value.Str);
  return out;
}
