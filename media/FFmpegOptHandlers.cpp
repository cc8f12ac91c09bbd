#include "media/FFmpegOptHandlers.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "media/FFLog.h"
#include "media/FFmpegOptParser.h"
#include "platform/os/Files.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"

namespace {

void Log(TCustomFFmpegOpt& Task, TLogLevel Level, const String& Text) { GlobalLogger()->Log(&Task, Level, Text); }

// A handler's failure: the message becomes the parse's option error and is logged.
int Fail(TCustomFFmpegOpt& Task, TLogLevel Level, const String& Text, int Code) {
  Task.FOptions->OptionErrorText = Text;
  Log(Task, Level, Text);
  return Code;
}

// Parses one option word through the task's own table.
int Dispatch(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  if (!Task.FOptionDef) BuildOptionTable(Task);
  return Task.FOptions->ParseOption(o, Opt, Arg.c_str(), Task.FOptionDef);
}

TOptionGroup& FileGroup(TCustomFFmpegOpt& Task, TOptionsContext* o) {
  if (!o || !o->Group) Task.FatalError("No file is being parsed");
  return *o->Group;
}

bool StartsWith(std::string_view Text, std::string_view Prefix) { return Text.substr(0, Prefix.size()) == Prefix; }

// Runs Route, which hands options to opt_default, with the task's codec and
// format dictionaries set aside, then copies what Route put there into the
// file group with CopyFlags and brings the set-aside dictionaries back.
template <typename F>
int RouteIntoFileGroup(TCustomFFmpegOpt& Task, TOptionsContext* o, int CopyFlags, F&& Route) {
  TOptionGroup& group = FileGroup(Task, o);
  TFFOptions& opts = *Task.FOptions;
  TAVDict savedCodec = std::move(opts.codec_opts());
  TAVDict savedFormat = std::move(opts.format_opts());
  struct TRestore {
    TFFOptions& Opts;
    TAVDict& Codec;
    TAVDict& Format;
    ~TRestore() {
      Opts.codec_opts() = std::move(Codec);
      Opts.format_opts() = std::move(Format);
    }
  } restore{opts, savedCodec, savedFormat};
  const int ret = Route();
  if (opts.codec_opts().Get()) ff::av_dict_copy(group.codec_opts.Ref(), opts.codec_opts().Get(), CopyFlags);
  if (opts.format_opts().Get()) ff::av_dict_copy(group.format_opts.Ref(), opts.format_opts().Get(), CopyFlags);
  return ret;
}

int SetCodecOption(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Key, const String& Value) {
  return ff::av_dict_set(FileGroup(Task, o).codec_opts.Ref(), Key.c_str(), Value.c_str(), 0);
}

// strtol with base detection over the whole int range; End is set past the number.
long ReadIndex(const char* Text, const char** End) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(Text, &end, 0);
  if (errno == ERANGE || value > INT_MAX || value < INT_MIN) value = INT_MIN;
  *End = end;
  return value;
}

AVFormatContext* InputContext(TCustomFFmpegOpt& Task, long Index) {
  return Index >= 0 && size_t(Index) < Task.Finput_files.size() ? Task.Finput_files[size_t(Index)]->ctx.get()
                                                                 : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Re-dispatching

int OptAudioCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "codec:a", Arg);
}
int OptVideoCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "codec:v", Arg);
}
int OptSubtitleCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "codec:s", Arg);
}
int OptDataCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "codec:d", Arg);
}
int OptVideoFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "frames:v", Arg);
}
int OptAudioFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "frames:a", Arg);
}
int OptDataFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "frames:d", Arg);
}
int OptVideoFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "filter:v", Arg);
}
int OptAudioFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "filter:a", Arg);
}
int OptAudioQuality(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return Dispatch(Task, o, "q:a", Arg);
}

int OptOld2New(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  if (Opt.empty()) return AVERROR(EINVAL);
  return Dispatch(Task, o, Opt.substr(1) + ":" + Opt[0], Arg);
}

// ---------------------------------------------------------------------------
// Refusing and ignoring

int OptNotSupportedIgnore(TCustomFFmpegOpt& Task, TOptionsContext*, const String& Opt, const String&) {
  Log(Task, llWarning, Format("options \"%s\" not supported, ignore", {Opt}));
  return 0;
}

int OptNotSupported(TCustomFFmpegOpt& Task, TOptionsContext*, const String& Opt, const String&) {
  return Fail(Task, llError, Format("options \"%s\" not supported", {Opt}), AVERROR(EINVAL));
}

int OptRemoved(TCustomFFmpegOpt& Task, TOptionsContext*, const String& Opt, const String&) {
  return Fail(Task, llWarning,
              Format("Option \"%s\" was removed. If you are looking for an option to preserve the quality (which is "
                     "not what -%s was for), use -qscale 0 or an equivalent quality factor option.",
                     {Opt, Opt}),
              AVERROR(EINVAL));
}

int OptNoOp(TCustomFFmpegOpt&, TOptionsContext*, const String&, const String&) { return 0; }

namespace {

// A global option's library value belongs to the file whose text holds it:
// the text's own dictionaries were handed to that file's group already.
int OptDefaultForFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Key, const String& Value) {
  TOptionsContext file;
  if (!o) {
    file.Group = &Task.FOptions->OptionParseContext().file_opts;
    o = &file;
  }
  return OptDefaultNew(Task, o, Key, Value);
}

}  // namespace

int OptVideoChannel(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  Log(Task, llWarning, "This option is deprecated, use -channel.");
  return OptDefaultForFile(Task, o, "channel", Arg);
}

int OptVideoStandard(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  Log(Task, llWarning, "This option is deprecated, use -standard.");
  return OptDefaultForFile(Task, o, "standard", Arg);
}

// ---------------------------------------------------------------------------
// Library options

int OptDefaultNew(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Key, const String& Value) {
  return RouteIntoFileGroup(Task, o, 0, [&] { return Task.FOptions->opt_default(Key, Value); });
}

int OptBitrate(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  if (Opt == "ab") return SetCodecOption(Task, o, "b:a", Arg) < 0 ? AVERROR(ENOMEM) : 0;
  if (Opt == "b") {
    Log(Task, llWarning, "Please use -b:a or -b:v, -b is ambiguous");
    return SetCodecOption(Task, o, "b:v", Arg) < 0 ? AVERROR(ENOMEM) : 0;
  }
  return SetCodecOption(Task, o, Opt, Arg) < 0 ? AVERROR(ENOMEM) : 0;
}

int OptQscale(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  if (Opt == "qscale") {
    Log(Task, llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
    return Dispatch(Task, o, "q:v", Arg);
  }
  return Dispatch(Task, o, "q" + Opt.substr(std::min<size_t>(6, Opt.size())), Arg);
}

int OptProfile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  String key = Opt;
  if (Opt == "profile") {
    Log(Task, llWarning, "Please use -profile:a or -profile:v, -profile is ambiguous");
    key = "profile:v";
  }
  return SetCodecOption(Task, o, key, Arg) < 0 ? AVERROR(ENOMEM) : 0;
}

int OptChannelLayout(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  AVChannelLayout layout{};
  if (ff::av_channel_layout_from_string(&layout, Arg.c_str()) < 0 || layout.nb_channels <= 0) {
    ff::av_channel_layout_uninit(&layout);
    return Fail(Task, llError, Format("Unknown channel layout: %s", {Arg}), AVERROR(EINVAL));
  }
  // The codec layer reads a native layout as its channel mask; others by their description.
  String value;
  if (layout.order == AV_CHANNEL_ORDER_NATIVE) {
    value = IntToStr(int64_t(layout.u.mask));
  } else {
    char text[256] = {};
    ff::av_channel_layout_describe(&layout, text, sizeof text);
    value = text;
  }
  const int channels = layout.nb_channels;
  ff::av_channel_layout_uninit(&layout);

  const int ret = OptDefaultNew(Task, o, Opt, value);
  if (ret < 0) return ret;
  const size_t colon = Opt.find(':');
  return Dispatch(Task, o, "ac" + (colon == String::npos ? String() : Opt.substr(colon)), IntToStr(channels));
}

int OptVsync(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  // Every occurrence replaces the one before, names and numbers alike.
  if (SameText(Arg, "cfr")) {
    Task.Fvideo_sync_method = 1;
  } else if (SameText(Arg, "vfr")) {
    Task.Fvideo_sync_method = 2;
  } else if (SameText(Arg, "passthrough")) {
    Task.Fvideo_sync_method = 0;
  } else if (SameText(Arg, "drop")) {
    Task.Fvideo_sync_method = 255;
  } else {
    const int value = StrToIntDef(Arg, INT_MIN);
    if (value != -1 && value != 0 && value != 1 && value != 2 && value != 255)
      return Fail(Task, llError, Format("The value for \"%s\" was \"%s\" which is invalid", {"vsync", Arg}),
                  AVERROR(EINVAL));
    Task.Fvideo_sync_method = value;
  }
  return 0;
}

int OptTimecode(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  const int ret = Dispatch(Task, o, "metadata:g", "timecode=" + Arg);
  if (ret < 0) return ret;
  return SetCodecOption(Task, o, "gop_timecode", Arg) < 0 ? AVERROR(ENOMEM) : 0;
}

// ---------------------------------------------------------------------------
// Stream and channel maps

int OptMap(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  if (!o) return AVERROR(EINVAL);
  const bool negative = StartsWith(Arg, "-");
  const String mapText = negative ? Arg.substr(1) : Arg;
  String map = mapText;

  int syncFile = -1, syncStream = -1;
  if (const size_t comma = map.find(','); comma != String::npos) {
    const String sync = map.substr(comma + 1);
    map.resize(comma);
    const char* p = nullptr;
    const long index = ReadIndex(sync.c_str(), &p);
    AVFormatContext* ic = InputContext(Task, index);
    if (!ic) Task.FatalErrorFmt("Invalid sync file index: %d.", {int(index)});
    if (*p) ++p;
    for (unsigned i = 0; i < ic->nb_streams; ++i)
      if (CheckStreamSpecifier(ic, ic->streams[i], p) == 1) {
        syncFile = int(index);
        syncStream = int(i);
        break;
      }
    if (syncStream < 0) Task.FatalErrorFmt("Sync stream specification in map %s does not match any streams.", {mapText});
  }

  bool matched = false;
  bool optional = false;
  if (StartsWith(map, "[")) {
    const char* c = map.c_str() + 1;
    char* label = ff::av_get_token(&c, "]");
    const String text = label ? label : "";
    ff::av_free(label);
    if (text.empty()) Task.FatalErrorFmt("Invalid output link label: %s.", {mapText});
    TStreamMap m;
    m.LinkLabel = text;
    o->StreamMaps.push_back(std::move(m));
    matched = true;
  } else {
    if (const size_t q = map.find('?'); q != String::npos) {
      optional = true;
      map.resize(q);
    }
    const char* p = nullptr;
    const long index = ReadIndex(map.c_str(), &p);
    AVFormatContext* ic = InputContext(Task, index);
    if (!ic) Task.FatalErrorFmt("Invalid input file index: %d.", {int(index)});
    if (*p == ':') ++p;
    if (negative) {
      for (TStreamMap& m : o->StreamMaps) {
        matched = true;
        if (m.LinkLabel.empty() && m.FileIndex == index && m.StreamIndex >= 0 &&
            unsigned(m.StreamIndex) < ic->nb_streams && CheckStreamSpecifier(ic, ic->streams[m.StreamIndex], p) > 0)
          m.Disabled = 1;
      }
    } else {
      for (unsigned i = 0; i < ic->nb_streams; ++i) {
        if (CheckStreamSpecifier(ic, ic->streams[i], p) <= 0) continue;
        TStreamMap m;
        m.FileIndex = int(index);
        m.StreamIndex = int(i);
        m.SyncFileIndex = syncStream >= 0 ? syncFile : int(index);
        m.SyncStreamIndex = syncStream >= 0 ? syncStream : int(i);
        o->StreamMaps.push_back(std::move(m));
        matched = true;
      }
    }
  }

  if (!matched) {
    if (!optional)
      Task.FatalErrorFmt("Stream map \"%s\" matches no streams.\r\nTo ignore this, add a trailing \"?\" to the map.",
                         {mapText});
    Log(Task, llVerbose, Format("Stream map \"%s\" matches no streams; ignoring.", {mapText}));
  }
  return 0;
}

int OptMapChannel(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  if (!o) return AVERROR(EINVAL);
  o->AudioChannelMaps.emplace_back();
  int file = -1, stream = -1, channel = -1, outFile = -1, outStream = -1;
  const auto store = [&] {
    TAudioChannelMap& m = o->AudioChannelMaps.back();
    m.FileIndex = file;
    m.StreamIndex = stream;
    m.ChannelIndex = channel;
    m.OutputFileIndex = outFile;
    m.OutputStreamIndex = outStream;
  };

  int n = std::sscanf(Arg.c_str(), "%d:%d.%d", &channel, &outFile, &outStream);
  if ((n == 1 || n == 3) && channel == -1) {
    // A muted channel.
    if (n == 1) outFile = outStream = -1;
    store();
    return 0;
  }

  file = stream = channel = outFile = outStream = -1;
  n = std::sscanf(Arg.c_str(), "%d.%d.%d:%d.%d", &file, &stream, &channel, &outFile, &outStream);
  if (n != 3 && n != 5)
    Task.FatalError("Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]");
  if (n == 3) outFile = outStream = -1;
  store();

  AVFormatContext* ic = InputContext(Task, file);
  if (!ic) Task.FatalErrorFmt("mapchan: invalid input file index: %d", {file});
  if (stream < 0 || unsigned(stream) >= ic->nb_streams)
    Task.FatalErrorFmt("mapchan: invalid input file stream index #%d.%d", {file, stream});
  const AVCodecParameters* par = ic->streams[stream]->codecpar;
  if (par->codec_type != AVMEDIA_TYPE_AUDIO)
    Task.FatalErrorFmt("mapchan: stream #%d.%d is not an audio stream.", {file, stream});
  if (channel < 0 || channel >= par->ch_layout.nb_channels)
    Task.FatalErrorFmt("mapchan: invalid audio channel #%d.%d.%d", {file, stream, channel});
  return 0;
}

int OptAttach(TCustomFFmpegOpt&, TOptionsContext* o, const String&, const String& Arg) {
  if (!o) return AVERROR(EINVAL);
  o->Attachments.push_back(Arg);
  return 0;
}

int OptStreamId(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  if (!o) return AVERROR(EINVAL);
  const size_t colon = Arg.find(':');
  const String indexText = Arg.substr(0, colon);
  const String valueText = colon == String::npos ? String() : Arg.substr(colon + 1);
  const int index = StrToIntDef(indexText, INT_MIN);
  const int value = StrToIntDef(valueText, INT_MIN);
  if (index == INT_MIN || value == INT_MIN)
    return Fail(Task, llError,
                Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"", {Arg, Opt}),
                AVERROR(EINVAL));
  const char* range = "The value for \"%s\" was \"%s\" which is not within %d - %d";
  if (index < 0 || index > 1023)
    return Fail(Task, llError, Format(range, {"streamid", indexText, 0, 1023}), AVERROR(EINVAL));
  if (value < 0) return Fail(Task, llError, Format(range, {"streamid", valueText, 0, INT_MAX}), AVERROR(EINVAL));
  if (o->StreamIdMap.size() < size_t(index) + 1) o->StreamIdMap.resize(size_t(index) + 1, 0);
  o->StreamIdMap[size_t(index)] = value;
  return 0;
}

// ---------------------------------------------------------------------------
// Files and task values

int OptSdpFile(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  Task.Fsdp_filename = Arg;
  return 0;
}

int OptVstatsFile(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  Task.Fvstats_filename = Arg;
  return 0;
}

int OptVstats(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String&) {
  return OptVstatsFile(Task, o, Opt, Format("vstats_%s.log", {FormatDateTime("hhnnss", Now())}));
}

int OptRecordingTimestamp(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  const int64_t us = ParseTimeValue(Opt, Arg, false);
  const int64_t seconds = us / 1000000 + (us % 1000000 >= 500000 ? 1 : us % 1000000 <= -500000 ? -1 : 0);
  const String creation = FormatDateTime("yyyy-mm-dd hh:nn:ss", UnixTimeToLocal(seconds)) + " " +
                          TimeZoneText(LocalTimeOffsetMinutes(seconds));
  const int ret = Dispatch(Task, o, "metadata", "creation_time=" + creation);
  Log(Task, llWarning, Format("%s is deprecated, set the \"creation_time\" metadata tag instead.", {Opt}));
  return ret;
}

int OptFilterComplex(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  auto graph = std::make_unique<TFilterGraph>();
  graph->index = int(Task.Ffiltergraphs.size());
  graph->graph_desc = Arg;
  Task.Ffiltergraphs.push_back(std::move(graph));
  Task.Finput_stream_potentially_available = 1;
  return 0;
}

int OptFilterComplexScript(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  const std::optional<String> script = ReadTextFile(Arg);
  if (!script) return AVERROR(EINVAL);
  return OptFilterComplex(Task, o, Opt, *script);
}

std::optional<String> ReadTextFile(const String& Name) {
  AVIOContext* pb = nullptr;
  if (ff::avio_open(&pb, Name.c_str(), AVIO_FLAG_READ) < 0) {
    GlobalLogger()->Log(nullptr, llError, Format("Error opening file %s.", {Name}));
    return std::nullopt;
  }
  String text;
  unsigned char block[1024];
  int ret = 0;
  while ((ret = ff::avio_read(pb, block, sizeof block)) > 0) text.append(reinterpret_cast<char*>(block), size_t(ret));
  // Only the end of the file ends the read; a failing read must not pass for a shorter script.
  const bool failed = ret != AVERROR_EOF && (ret < 0 || pb->error < 0);
  ff::avio_closep(&pb);
  if (failed) {
    GlobalLogger()->Log(nullptr, llError, Format("Error reading file %s: %s", {Name, ErrorCodeToText(ret)}));
    return std::nullopt;
  }
  return text;
}

int OptProgress(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  const String url = Arg == "-" ? String("pipe:") : Arg;
  Task.StampWrite();
  AVIOContext* pb = nullptr;
  const int ret = ff::avio_open2(&pb, url.c_str(), AVIO_FLAG_WRITE, &Task.FWriteCallback, nullptr);
  if (ret < 0)
    return Fail(Task, llError, Format("Failed to open progress URL \"%s\": %s", {url, ErrorCodeToText(ret)}), ret);
  Task.Fprogress_avio.reset(pb);
  return 0;
}

namespace {

// Seconds as a real number into the microsecond row Row.
int OptSeconds(TCustomFFmpegOpt& Task, TOptionsContext* o, const char* Row, const String& Arg) {
  double seconds = 0;
  try {
    seconds = StrToFloat(Arg);
  } catch (const EConvertError& e) {
    return Fail(Task, llError, e.Message, AVERROR(EINVAL));
  }
  const double us = std::round(seconds * 1e6);
  // Beyond the 64-bit range the rounding would not be a number of microseconds.
  if (!(us > -9.2e18 && us < 9.2e18))
    return Fail(Task, llError, Format("'%s' is not a valid number of seconds", {Arg}), AVERROR(EINVAL));
  return Dispatch(Task, o, Row, IntToStr(int64_t(us)));
}

}  // namespace

int OptTimeStart(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return OptSeconds(Task, o, "ss_microsecond", Arg);
}

int OptTimeLength(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  return OptSeconds(Task, o, "t_microsecond", Arg);
}

// ---------------------------------------------------------------------------
// Library settings

int OptLogLevelHandler(TCustomFFmpegOpt& Task, TOptionsContext*, const String& Opt, const String& Arg) {
  return Task.FOptions->OptLogLevel(Opt, Arg);
}

int OptMaxAlloc(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  char* tail = nullptr;
  errno = 0;
  const long long max = std::strtoll(Arg.c_str(), &tail, 10);
  // An empty or negative size would leave the process unable to allocate anything or without a limit.
  if (Arg.empty() || *tail || errno == ERANGE || max < 0)
    return Fail(Task, llFatal, Format("Invalid max_alloc \"%s\".", {Arg}), AVERROR(EINVAL));
  ff::av_max_alloc(size_t(max));
  return 0;
}

int OptCpuFlags(TCustomFFmpegOpt& Task, TOptionsContext*, const String&, const String& Arg) {
  unsigned flags = unsigned(ff::av_get_cpu_flags());
  const int ret = ff::av_parse_cpu_caps(&flags, Arg.c_str());
  if (ret < 0)
    return Fail(Task, llFatal, ErrorCodeToText(Format("Failed to parse cpu flags \"%s\"", {Arg}), ret), ret);
  ff::av_force_cpu_flags(int(flags));
  return 0;
}

int OptVideoHookBitsPixelRow(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg) {
  return Task.OptVideoHookBitsPixel(o, Opt, Arg);
}

// ---------------------------------------------------------------------------
// Target formats

namespace {

enum TNorm { nmPAL, nmNTSC, nmFILM, nmUnknown };

// The norm of the first video input whose frame rate is 25, 29.97 or 23.976.
TNorm GuessNorm(TCustomFFmpegOpt& Task) {
  for (const auto& file : Task.Finput_files) {
    AVFormatContext* ic = file->ctx.get();
    if (!ic) continue;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
      AVStream* st = ic->streams[i];
      if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      // The guessed rate, not the codec time base: that counts fields for
      // H.264 and MPEG-2 and would give twice the rate.
      const AVRational rate = GuessFrameRate(ic, st);
      if (rate.num <= 0 || rate.den <= 0) continue;
      const long long fr = std::llround(double(rate.num) * 1000.0 / rate.den);
      if (fr == 25000) return nmPAL;
      if (fr == 29970 || fr == 23976) return nmNTSC;
    }
  }
  return nmUnknown;
}

}  // namespace

int OptTarget(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  FileGroup(Task, o);
  TNorm norm = nmUnknown;
  String name = Arg;
  if (StartsWith(name, "pal-")) {
    norm = nmPAL;
    name.erase(0, 4);
  } else if (StartsWith(name, "ntsc-")) {
    norm = nmNTSC;
    name.erase(0, 5);
  } else if (StartsWith(name, "film-")) {
    norm = nmFILM;
    name.erase(0, 5);
  } else {
    norm = GuessNorm(Task);
    if (norm == nmUnknown)
      Task.FatalError(
          "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\nPlease prefix target with \"pal-\", "
          "\"ntsc-\" or \"film-\",\r\nor set a framerate with \"-r xxx\".");
    Log(Task, llInfo, Format("Assuming %s for target.", {norm == nmPAL ? "PAL" : "NTSC"}));
  }
  const bool pal = norm == nmPAL;
  const char* rate = pal ? "25" : norm == nmNTSC ? "30000/1001" : "24000/1001";
  TFFOptions& opts = *Task.FOptions;

  int ret = 0;
  // Table rows first, then the library settings, in the order the formats list them.
  const auto row = [&](const char* Opt, const char* Value) {
    if (ret >= 0) ret = std::min(ret, Dispatch(Task, o, Opt, Value));
  };
  using TLibrary = std::vector<std::pair<const char*, const char*>>;
  TLibrary library;

  if (name == "vcd") {
    ret = std::min(OptVideoCodec(Task, o, "c:v", "mpeg1video"), 0);
    if (ret >= 0) ret = std::min(OptAudioCodec(Task, o, "c:a", "mp2"), 0);
    row("f", "vcd");
    row("s", pal ? "352x288" : "352x240");
    row("r", rate);
    library = {{"g", pal ? "15" : "18"},      {"b:v", "1150000"},  {"maxrate:v", "1150000"},
               {"minrate:v", "1150000"},      {"bufsize:v", "327680"}, {"b:a", "224000"}};
    row("ar", "44100");
    row("ac", "2");
    library.insert(library.end(), {{"packetsize", "2324"}, {"muxrate", "1411200"}});
    o->MuxPreload = 0.44f;
  } else if (name == "svcd") {
    ret = std::min(OptVideoCodec(Task, o, "c:v", "mpeg2video"), 0);
    if (ret >= 0) ret = std::min(OptAudioCodec(Task, o, "c:a", "mp2"), 0);
    row("f", "svcd");
    row("s", pal ? "480x576" : "480x480");
    row("r", rate);
    row("pix_fmt", "yuv420p");
    library = {{"g", pal ? "15" : "18"}, {"b:v", "2040000"},      {"maxrate:v", "2516000"}, {"minrate:v", "0"},
               {"bufsize:v", "1835008"}, {"scan_offset", "1"}, {"b:a", "224000"}};
    row("ar", "44100");
    library.push_back({"packetsize", "2324"});
  } else if (name == "dvd") {
    ret = std::min(OptVideoCodec(Task, o, "c:v", "mpeg2video"), 0);
    if (ret >= 0) ret = std::min(OptAudioCodec(Task, o, "c:a", "ac3"), 0);
    row("f", "dvd");
    row("s", pal ? "720x576" : "720x480");
    row("r", rate);
    row("pix_fmt", "yuv420p");
    library = {{"g", pal ? "15" : "18"}, {"b:v", "6000000"},      {"maxrate:v", "9000000"},
               {"minrate:v", "0"},       {"bufsize:v", "1835008"}, {"packetsize", "2048"},
               {"muxrate", "10080000"},  {"b:a", "448000"}};
    row("ar", "48000");
  } else if (name == "dv" || name == "dv50") {
    row("f", "dv");
    row("s", pal ? "720x576" : "720x480");
    row("pix_fmt", name == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    row("r", rate);
    row("ar", "48000");
    row("ac", "2");
  } else {
    return Fail(Task, llError, Format("Unknown target: %s", {name}), AVERROR(EINVAL));
  }
  if (ret < 0) return ret;

  // Library options given in the text or the presets win over the target's.
  RouteIntoFileGroup(Task, o, AV_DICT_DONT_OVERWRITE, [&] {
    for (const auto& [key, value] : library) opts.opt_default(key, value);
    return 0;
  });
  return 0;
}

// ---------------------------------------------------------------------------
// Presets

int ApplyPresetLines(TCustomFFmpegOpt& Task, TOptionsContext* o, const std::vector<String>& Lines,
                     const String& SyntaxPrefix, const String& OptionPrefix) {
  TFFOptions& opts = *Task.FOptions;
  for (const String& raw : Lines) {
    const String line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    const String key = line.substr(0, eq);
    const String value = eq == String::npos ? String() : line.substr(eq + 1);
    if (key.empty() || value.empty()) {
      // Logged and skipped: an empty name or value must not reach the libraries.
      const String text = SyntaxPrefix + Format("Invalid syntax: \"%s\"", {line});
      Log(Task, llError, text);
      if (Task.HaltOnInvalidOption) {
        opts.OptionErrorText = text;
        return AVERROR(EINVAL);
      }
      continue;
    }
    Log(Task, llDebug, Format("Applying preset %s with argument %s.\n", {key, value}));
    opts.OptionErrorText.clear();
    int ret = 0;
    if (SameText(key, "acodec"))
      ret = OptAudioCodec(Task, o, key, value);
    else if (SameText(key, "vcodec"))
      ret = OptVideoCodec(Task, o, key, value);
    else if (SameText(key, "scodec"))
      ret = OptSubtitleCodec(Task, o, key, value);
    else if (SameText(key, "dcodec"))
      ret = OptDataCodec(Task, o, key, value);
    else
      ret = OptDefaultNew(Task, o, key, value);
    if (ret < 0) {
      const String text = OptionPrefix + Format("Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                                {line, key, value});
      Log(Task, llError, text);
      if (Task.HaltOnInvalidOption) {
        opts.OptionErrorText = opts.OptionErrorText.empty() ? text : opts.OptionErrorText + "\r\n" + text;
        return ret;
      }
    }
  }
  return 0;
}

int OptPreset(TCustomFFmpegOpt& Task, TOptionsContext* o, const String&, const String& Arg) {
  if (!FileExists(Arg)) return Fail(Task, llError, Format("Preset file \"%s\" not found", {Arg}), AVERROR(EINVAL));
  TStringList lines;
  try {
    lines.LoadFromFile(Arg);
  } catch (const Exception& e) {
    return Fail(Task, llError, Format("Preset file \"%s\" not found", {Arg}), AVERROR(EINVAL));
  }
  Log(Task, llInfo, Format("Parse preset file: %s", {Arg}));
  std::vector<String> entries;
  for (int i = 0; i < lines.Count(); ++i) entries.push_back(lines[i]);
  return ApplyPresetLines(Task, o, entries, Arg + ": ", ExtractFileName(Arg) + ": ");
}
