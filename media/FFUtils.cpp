#include "media/FFUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "media/FFLog.h"

namespace {

// Library log lines go through av_log, which the logger receives.
void AVLog(int Level, const String& Text) {
  if (ff::av_log) ff::av_log(nullptr, Level, "%s", Text.c_str());
}

bool StartsWith(std::string_view Text, std::string_view Prefix) { return Text.substr(0, Prefix.size()) == Prefix; }

// The class's option named Name; one without flags counts as absent.
const AVOption* FindLibraryOption(const AVClass* const* Class, const char* Name, int Flags, int SearchFlags) {
  const AVOption* o = ff::av_opt_find(const_cast<const AVClass**>(Class), Name, nullptr, Flags, SearchFlags);
  return o && o->flags != 0 ? o : nullptr;
}

// Flag options given as "+x" or "-x" add to or take from what is there.
int AppendFlagsOf(const AVOption* o, const String& Arg) {
  return o->type == AV_OPT_TYPE_FLAGS && !Arg.empty() && (Arg[0] == '+' || Arg[0] == '-') ? AV_DICT_APPEND : 0;
}

// Reads Arg by the row's type flags into Out; false when the row has no type.
bool ReadTypedValue(int Flags, const String& Opt, const String& Arg, TSpecifierValueData& Out) {
  if (Flags & ofString)
    Out.Str = Arg;
  else if (Flags & (ofBool | ofInt))
    Out.I = ParseIntValue(Opt, Arg);
  else if (Flags & ofInt64)
    Out.I64 = ParseInt64Value(Opt, Arg);
  else if (Flags & ofTime)
    Out.I64 = ParseTimeValue(Opt, Arg, true);
  else if (Flags & ofFloat)
    Out.F = ParseFloatValue(Opt, Arg);
  else if (Flags & ofDouble)
    Out.Dbl = ParseDoubleValue(Opt, Arg);
  else
    return false;
  return true;
}

void StoreTypedValue(int Flags, const TSpecifierValueData& Value, void* Target) {
  if (Flags & ofString)
    *static_cast<String*>(Target) = Value.Str;
  else if (Flags & (ofBool | ofInt))
    *static_cast<int32_t*>(Target) = Value.I;
  else if (Flags & (ofInt64 | ofTime))
    *static_cast<int64_t*>(Target) = Value.I64;
  else if (Flags & ofFloat)
    *static_cast<float*>(Target) = Value.F;
  else if (Flags & ofDouble)
    *static_cast<double*>(Target) = Value.Dbl;
}

[[noreturn]] void ValueError(const char* Kind, const String& Opt, const String& Arg) {
  throw Exception(Format("Expected %s for \"%s\" but found \"%s\"", {Kind, Opt, Arg}));
}

}  // namespace

// ---------------------------------------------------------------------------
// TAVDict

TAVDict& TAVDict::operator=(TAVDict&& Other) noexcept {
  if (this != &Other) {
    Free();
    FDict = Other.Release();
  }
  return *this;
}

void TAVDict::Free() {
  if (FDict && ff::av_dict_free) ff::av_dict_free(&FDict);
}

int TAVDict::Count() const { return FDict ? ff::av_dict_count(FDict) : 0; }

const char* TAVDict::Value(const char* Key) const {
  const AVDictionaryEntry* e = FDict ? ff::av_dict_get(FDict, Key, nullptr, 0) : nullptr;
  return e ? e->value : nullptr;
}

TAVDict TAVDict::Clone() const {
  TAVDict copy;
  if (FDict) ff::av_dict_copy(copy.Ref(), FDict, 0);
  return copy;
}

// ---------------------------------------------------------------------------
// Table look-ups

const TOptionDef* FindOptionDef(const TOptionDef* Options, std::string_view Name) {
  const std::string_view base = Name.substr(0, Name.find(':'));
  const TOptionDef* po = Options;
  for (; po->name; ++po)
    if (base == po->name) break;
  return po;
}

void CheckOptionDefs(const TOptionDef* Options) {
  for (const TOptionDef* po = Options; po->name; ++po)
    if ((po->flags & ofPerFile) && !(po->flags & (ofInput | ofOutput)))
      throw Exception(Format("Option table row \"%s\" belongs to a file but to neither input nor output",
                             {po->name}));
}

int LocateOption(const std::vector<String>& Argv, const TOptionDef* Options, std::string_view Name) {
  size_t i = 0;
  while (i < Argv.size()) {
    const String& word = Argv[i];
    if (word.empty() || word[0] != '-') {
      ++i;
      continue;
    }
    const std::string_view option = std::string_view(word).substr(1);
    const TOptionDef* po = FindOptionDef(Options, option);
    if (!po->name && StartsWith(option, "no")) po = FindOptionDef(Options, option.substr(2));
    if ((po->name && Name == po->name) || (!po->name && option == Name)) return int(i);
    i += (!po->name || (po->flags & ofHasArg)) ? 2 : 1;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Value readers

int32_t ParseIntValue(const String& Opt, const String& Arg) {
  int value = 0;
  if (!TryStrToInt(Arg, value)) ValueError("integer", Opt, Arg);
  return value;
}

int64_t ParseInt64Value(const String& Opt, const String& Arg) {
  int64_t value = 0;
  if (!TryStrToInt64(Arg, value)) ValueError("int64", Opt, Arg);
  return value;
}

// The application writes option numbers with a point whatever the user's
// locale, so they are read with a point too.
float ParseFloatValue(const String& Opt, const String& Arg) {
  double value = 0;
  if (!TryStrToFloatPoint(Arg, value)) ValueError("float", Opt, Arg);
  return float(value);
}

double ParseDoubleValue(const String& Opt, const String& Arg) {
  double value = 0;
  if (!TryStrToFloatPoint(Arg, value)) ValueError("double", Opt, Arg);
  return value;
}

int64_t ParseTimeValue(const String& Opt, const String& Arg, bool IsDuration) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, Arg.c_str(), IsDuration ? 1 : 0) < 0)
    throw Exception(
        Format("Invalid %s specification for \"%s\": \"%s\"", {IsDuration ? "duration" : "date", Opt, Arg}));
  return us;
}

// ---------------------------------------------------------------------------
// TFFOptions: dictionaries and parse context

void TFFOptions::init_opts() {
  uninit_opts();
  ff::av_dict_set(Fsws_dict.Ref(), "flags", "bicubic", 0);
}

void TFFOptions::uninit_opts() {
  Fswr_opts.Free();
  Fsws_dict.Free();
  Fformat_opts.Free();
  Fcodec_opts.Free();
  Fresample_opts.Free();
}

void TFFOptions::init_parse_context() {
  uninit_parse_context();
  init_opts();
}

void TFFOptions::uninit_parse_context() {
  Foctx = TOptionParseContext{};
  uninit_opts();
}

int TFFOptions::FetchSwsFlags() {
  const char* value = Fsws_dict.Value("sws_flags");
  if (!value) return 0;
  const AVClass* cls = ff::sws_get_class();
  const AVOption* o = ff::av_opt_find(&cls, "sws_flags", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
  if (!o) return 0;
  const int ret = ff::av_opt_eval_flags(&cls, o, value, &Fsws_flags);
  if (ret < 0) AVLog(AV_LOG_ERROR, "av_opt_eval_flags() failed\n");
  return ret;
}

void TFFOptions::AppendOptionError(const String& Text) {
  OptionErrorText = OptionErrorText.empty() ? Text : OptionErrorText + "\r\n" + Text;
}

// ---------------------------------------------------------------------------
// Routing to the libraries' option sets

int TFFOptions::KeepTriedOption(int TrialResult, TAVDict& Dict, const AVOption* o, const String& Opt,
                                const String& Arg) {
  if (TrialResult < 0) {
    OptionErrorText = Format("Error setting option \"%s\"", {Opt});
    AVLog(AV_LOG_ERROR, OptionErrorText + "\n");
    return TrialResult;
  }
  ff::av_dict_set(Dict.Ref(), Opt.c_str(), Arg.c_str(), AppendFlagsOf(o, Arg));
  return 0;
}

int TFFOptions::opt_default(const String& Opt, const String& Arg) {
  if (Opt == "debug" || Opt == "fdebug") GlobalLogger()->SetLogLevel(llDebug);

  const String stripped = Opt.substr(0, std::min<size_t>(Opt.find(':'), 127));
  const AVClass* cc = ff::avcodec_get_class();
  const AVClass* fc = ff::avformat_get_class();
  bool consumed = false;

  const AVOption* o = FindLibraryOption(&cc, stripped.c_str(), 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ);
  if (!o && !Opt.empty() && (Opt[0] == 'a' || Opt[0] == 's' || Opt[0] == 'v'))
    o = FindLibraryOption(&cc, Opt.c_str() + 1, 0, AV_OPT_SEARCH_FAKE_OBJ);
  if (o) {
    ff::av_dict_set(Fcodec_opts.Ref(), Opt.c_str(), Arg.c_str(), AppendFlagsOf(o, Arg));
    consumed = true;
  }
  if ((o = FindLibraryOption(&fc, Opt.c_str(), 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))) {
    ff::av_dict_set(Fformat_opts.Ref(), Opt.c_str(), Arg.c_str(), AppendFlagsOf(o, Arg));
    if (consumed) AVLog(AV_LOG_VERBOSE, Format("Routing option \"%s\" to both codec and muxer layer\n", {Opt}));
    consumed = true;
  }
  if (consumed) return 0;

  // The scaler and the resampler take an option only when a trial context accepts the value.
  const AVClass* sc = ff::sws_get_class();
  if ((o = FindLibraryOption(&sc, Opt.c_str(), 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))) {
    if (Opt == "srcw" || Opt == "srch" || Opt == "dstw" || Opt == "dsth" || Opt == "src_format" ||
        Opt == "dst_format") {
      OptionErrorText =
          "Directly using swscale dimensions/format options is not supported, please use the -s or -pix_fmt options";
      AVLog(AV_LOG_ERROR, OptionErrorText + "\n");
      return AVERROR(EINVAL);
    }
    SwsContext* sws = ff::sws_alloc_context();
    const int ret = ff::av_opt_set(sws, Opt.c_str(), Arg.c_str(), 0);
    ff::sws_freeContext(sws);
    return KeepTriedOption(ret, Fsws_dict, o, Opt, Arg);
  }

  const AVClass* rc = ff::swr_get_class();
  if ((o = FindLibraryOption(&rc, Opt.c_str(), 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ))) {
    SwrContext* swr = ff::swr_alloc();
    const int ret = ff::av_opt_set(swr, Opt.c_str(), Arg.c_str(), 0);
    ff::swr_free(&swr);
    return KeepTriedOption(ret, Fswr_opts, o, Opt, Arg);
  }
  return AVERROR_OPTION_NOT_FOUND;
}

// ---------------------------------------------------------------------------
// Collecting

void TFFOptions::AddOption(const TOptionDef& Row, const String& Key, const String& Val) {
  TOptionGroup& group = IsGlobalOption(Row) ? Foctx.global_opts : Foctx.file_opts;
  group.opts.push_back(TOption{&Row, Key, Val});
}

void TFFOptions::FinishGroup() {
  TOptionGroup& g = Foctx.file_opts;
  if (!g.codec_opts.Empty() || !g.format_opts.Empty() || !g.resample_opts.Empty() || !g.sws_dict.Empty() ||
      !g.swr_opts.Empty())
    throw Exception("The file group's library options were collected twice");
  g.sws_dict = std::move(Fsws_dict);
  g.swr_opts = std::move(Fswr_opts);
  g.codec_opts = std::move(Fcodec_opts);
  g.format_opts = std::move(Fformat_opts);
  g.resample_opts = std::move(Fresample_opts);
  init_opts();
}

int TFFOptions::parse_options(const std::vector<String>& Argv, const TOptionDef* Options,
                              bool AReturnOnInvalidOption) {
  AVLog(AV_LOG_DEBUG, "Parsing the options.\n");
  const size_t argc = Argv.size();
  size_t i = 0;
  while (i < argc) {
    const String& word = Argv[i];
    AVLog(AV_LOG_DEBUG, Format("Reading option \"%s\" ... ", {word}));

    if (word.empty() || word[0] != '-' || word == "-") {
      if (AReturnOnInvalidOption) {
        if (word.empty()) {
          OptionErrorText = "Failed to parse options";
          AVLog(AV_LOG_ERROR, "Failed to parse options\n");
        } else {
          OptionErrorText = "Failed to parse options on \"" + word + "\"";
          AVLog(AV_LOG_ERROR, OptionErrorText + "\n");
        }
        return AVERROR(EINVAL);
      }
      AVLog(AV_LOG_ERROR, word.empty() ? String("Invalid option found while parsing options, ignore\n")
                                       : Format("Invalid option \"%s\" found while parsing options, ignore\n",
                                                {word}));
      ++i;
      continue;
    }

    const String name = word.substr(1);
    const TOptionDef* po = FindOptionDef(Options, name);
    if (po->name) {
      String arg = "1";
      if (po->flags & ofHasArg) {
        if (i + 1 >= argc) {
          OptionErrorText = Format("Missing argument for option \"%s\"", {name});
          AVLog(AV_LOG_ERROR, Format("Missing argument for option \"%s\".\n", {name}));
          return AVERROR(EINVAL);
        }
        arg = Argv[i + 1];
        i += 2;
      } else {
        ++i;
      }
      AddOption(*po, name, arg);
      AVLog(AV_LOG_DEBUG, Format("matched as option \"%s\" (%s) with argument \"%s\".\n", {po->name, po->help, arg}));
      continue;
    }

    if (i + 1 < argc) {
      const int ret = opt_default(name, Argv[i + 1]);
      if (ret >= 0) {
        AVLog(AV_LOG_DEBUG, Format("matched as AVOption \"%s\" with argument \"%s\".\n", {name, Argv[i + 1]}));
        i += 2;
        continue;
      }
      if (ret != AVERROR_OPTION_NOT_FOUND) {
        AVLog(AV_LOG_ERROR, Format("Error parsing option \"%s\" with argument \"%s\".\n", {name, Argv[i + 1]}));
        return ret;
      }
    }

    if (StartsWith(name, "no")) {
      po = FindOptionDef(Options, std::string_view(name).substr(2));
      if (po->name && (po->flags & ofBool)) {
        AddOption(*po, name, "0");
        AVLog(AV_LOG_DEBUG, Format("matched as option \"%s\" (%s) with argument 0.\n", {po->name, po->help}));
        ++i;
        continue;
      }
    }

    AVLog(AV_LOG_ERROR, Format("Unrecognized option \"%s\".\n", {name}));
    if (AReturnOnInvalidOption) return AVERROR_OPTION_NOT_FOUND;
    ++i;
  }
  FinishGroup();
  AVLog(AV_LOG_DEBUG, "Finished parsing the options.\n");
  return 0;
}

// ---------------------------------------------------------------------------
// Applying

int TFFOptions::WriteOption(TOptionsContext* OptCtx, const TOptionDef& Row, const String& Opt, const String& Arg) {
  void* target = Row.u.dst_ptr;
  if (Row.flags & (ofOffset | ofSpec)) {
    if (!OptCtx || !Row.u.off)
      throw Exception(Format("Option \"%s\" needs the options context of a file", {Opt}));
    target = Row.u.off(*OptCtx);
  }

  TSpecifierValueData value;
  if (ReadTypedValue(Row.flags, Opt, Arg, value)) {
    if (Row.flags & ofSpec) {
      const size_t colon = Opt.find(':');
      static_cast<TSpecifierValues*>(target)->push_back(
          TSpecifierValue{colon == String::npos ? String() : Opt.substr(colon + 1), std::move(value)});
    } else if (target) {
      StoreTypedValue(Row.flags, value, target);
    }
    return 0;
  }

  if (Row.u.func_arg) {
    OptionErrorText.clear();
    const int ret = Row.u.func_arg(OptCtx, Opt, Arg);
    if (ret >= 0) return 0;
    const String line = Format("Failed to set value \"%s\" for option \"%s\": %s", {Arg, Opt, ErrorCodeToText(ret)});
    AppendOptionError(line);
    AVLog(AV_LOG_ERROR, line + "\n");
    return ret;
  }
  return 0;
}

int TFFOptions::ParseOption(TOptionsContext* OptCtx, const String& Opt, const char* Arg,
                            const TOptionDef* Options) {
  const TOptionDef* po = FindOptionDef(Options, Opt);
  if (!po->name && StartsWith(Opt, "no")) {
    po = FindOptionDef(Options, std::string_view(Opt).substr(2));
    if (po->name && (po->flags & ofBool)) Arg = "0";
  } else if (po->flags & ofBool) {
    Arg = "1";
  }
  if (!po->name) po = FindOptionDef(Options, "default");
  if (!po->name) {
    OptionErrorText = Format("Unrecognized option \"%s\"", {Opt});
    AVLog(AV_LOG_ERROR, OptionErrorText + "\n");
    return AVERROR(EINVAL);
  }
  if ((po->flags & ofHasArg) && !Arg) {
    OptionErrorText = Format("Missing argument for option \"%s\"", {Opt});
    AVLog(AV_LOG_ERROR, OptionErrorText + "\n");
    return AVERROR(EINVAL);
  }
  const int ret = WriteOption(OptCtx, *po, Opt, Arg ? String(Arg) : String());
  if (ret < 0) return ret;
  return (po->flags & ofHasArg) ? 1 : 0;
}

int TFFOptions::ParseOptionGroup(TOptionsContext* OptCtx, const TOptionGroup& Group, const String& GroupName,
                                 int Flags, const String& FileName) {
  AVLog(AV_LOG_DEBUG, Format("Parsing a group of options: %s.\n", {GroupName}));
  for (const TOption& o : Group.opts) {
    if (Flags && !(o.opt->flags & Flags)) {
      AVLog(AV_LOG_ERROR, Format("Option %s (%s) cannot be applied to %s %s -- you are trying to apply an input "
                                 "option to an output file or vice versa. Move this option before the file it "
                                 "belongs to.\n",
                                 {o.key, o.opt->help, GroupName, FileName}));
      return AVERROR(EINVAL);
    }
    AVLog(AV_LOG_DEBUG, Format("Applying option %s (%s) with argument %s.\n", {o.key, o.opt->help, o.val}));
    const int ret = WriteOption(OptCtx, *o.opt, o.key, o.val);
    if (ret < 0) return ret;
  }
  AVLog(AV_LOG_DEBUG, "Successfully parsed a group of options.\n");
  return 0;
}

// ---------------------------------------------------------------------------
// The log level option

void TFFOptions::ParseLogLevel(const std::vector<String>& Argv, const TOptionDef* Options) {
  CheckOptionDefs(Options);
  int idx = LocateOption(Argv, Options, "loglevel");
  if (idx < 0) idx = LocateOption(Argv, Options, "v");
  if (idx >= 0 && size_t(idx) + 1 < Argv.size()) OptLogLevel("loglevel", Argv[size_t(idx) + 1]);
}

int TFFOptions::OptLogLevel(const String& /*Opt*/, const String& Arg) {
  static const struct {
    const char* name;
    int level;
  } levels[] = {{"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC}, {"fatal", AV_LOG_FATAL},
                {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}, {"trace", AV_LOG_TRACE}};

  int flags = ff::av_log_get_flags();
  if (Arg.find("repeat") != String::npos)
    flags &= ~AV_LOG_SKIP_REPEATED;
  else
    flags |= AV_LOG_SKIP_REPEATED;
  GlobalLogger()->SetLogFlags(flags);

  std::string_view rest = Arg;
  if (StartsWith(rest, "repeat")) {
    rest.remove_prefix(6);
    if (StartsWith(rest, "+")) rest.remove_prefix(1);
    if (rest.empty()) return 0;
  }
  for (const auto& l : levels)
    if (rest == l.name) {
      GlobalLogger()->SetLogLevel(AVLevelToLogLevel(l.level));
      return 0;
    }
  const String number(rest);
  char* tail = nullptr;
  errno = 0;
  const long level = std::strtol(number.c_str(), &tail, 10);
  if (!number.empty() && *tail == '\0' && errno == 0) {
    GlobalLogger()->SetLogLevel(AVLevelToLogLevel(int(std::max<long>(std::min<long>(level, 1 << 20), -(1 << 20)))));
    return 0;
  }

  String text = Format("Invalid loglevel \"%s\". Possible levels are numbers or:\r\n", {Arg});
  for (const auto& l : levels) text += "\"" + String(l.name) + "\"\r\n";
  OptionErrorText = text;
  AVLog(AV_LOG_ERROR, StringReplace(text, "\r\n", "\n"));
  return AVERROR(EINVAL);
}

// ---------------------------------------------------------------------------
// Per-stream codec options

int CheckStreamSpecifier(AVFormatContext* s, AVStream* st, const char* Spec) {
  return ff::avformat_match_stream_specifier(s, st, Spec);
}

TAVDict FilterCodecOptions(const AVDictionary* Opts, AVCodecID CodecId, AVFormatContext* s, AVStream* st,
                           const AVCodec* Codec) {
  TAVDict result;
  int flags = s->oformat ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
  const AVClass* cc = ff::avcodec_get_class();
  if (!Codec) Codec = s->oformat ? ff::avcodec_find_encoder(CodecId) : ff::avcodec_find_decoder(CodecId);

  char prefix = 0;
  switch (st->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      prefix = 'v';
      flags |= AV_OPT_FLAG_VIDEO_PARAM;
      break;
    case AVMEDIA_TYPE_AUDIO:
      prefix = 'a';
      flags |= AV_OPT_FLAG_AUDIO_PARAM;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      prefix = 's';
      flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
      break;
    default:
      break;
  }

  const AVDictionaryEntry* t = nullptr;
  while ((t = ff::av_dict_get(Opts, "", t, AV_DICT_IGNORE_SUFFIX))) {
    String key = t->key;
    const size_t colon = key.find(':');
    if (colon != String::npos) {
      const int r = CheckStreamSpecifier(s, st, t->key + colon + 1);
      if (r < 0) throw Exception("invalid stream specification");
      if (r == 0) continue;
      key.resize(colon);
    }
    if (ff::av_opt_find(&cc, key.c_str(), nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ) || !Codec ||
        (Codec->priv_class && ff::av_opt_find(const_cast<const AVClass**>(&Codec->priv_class), key.c_str(), nullptr,
                                              flags, AV_OPT_SEARCH_FAKE_OBJ)))
      ff::av_dict_set(result.Ref(), key.c_str(), t->value, 0);
    else if (prefix && key.size() > 1 && key[0] == prefix &&
             ff::av_opt_find(&cc, key.c_str() + 1, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ))
      ff::av_dict_set(result.Ref(), key.c_str() + 1, t->value, 0);
  }
  return result;
}

TStreamOptions::~TStreamOptions() {
  for (AVDictionary*& d : FDicts)
    if (d) ff::av_dict_free(&d);
}

TStreamOptions SetupFindStreamInfoOptions(AVFormatContext* s, const AVDictionary* CodecOpts) {
  TStreamOptions result;
  for (unsigned i = 0; i < s->nb_streams; ++i)
    result.Add(FilterCodecOptions(CodecOpts, s->streams[i]->codecpar->codec_id, s, s->streams[i], nullptr));
  return result;
}
