#pragma once
// The option layer shared by conversion tasks and the decoder: option table
// rows, collected option groups, routing of unknown options to the libraries'
// own option sets, typed writes into option targets, per-stream codec option
// filtering; and the engine's small shared services (error texts, time texts,
// codec and media-type names, array growth, stream rotation).
//
// Every FFmpeg call goes through the bound entry points (media/FFApi.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "media/FFApi.h"
#include "platform/rtl/SysUtils.h"

struct TOptionsContext;

// ---------------------------------------------------------------------------
// Small owners of what the libraries hand out.

// Frees with av_free; for library-allocated buffers and strings.
struct TAVFreeDeleter {
  void operator()(void* p) const { ff::av_free(p); }
};
template <typename T>
using TAVPtr = std::unique_ptr<T, TAVFreeDeleter>;

// An owned dictionary. Library calls that replace the dictionary take Ref().
class TAVDict {
 public:
  TAVDict() = default;
  explicit TAVDict(AVDictionary* Owned) : FDict(Owned) {}
  TAVDict(TAVDict&& Other) noexcept : FDict(Other.Release()) {}
  TAVDict& operator=(TAVDict&& Other) noexcept;
  // Copies own their entries, like strings do.
  TAVDict(const TAVDict& Other) : FDict(Other.Clone().Release()) {}
  TAVDict& operator=(const TAVDict& Other) { return *this = Other.Clone(); }
  ~TAVDict() { Free(); }

  AVDictionary* Get() const { return FDict; }
  AVDictionary** Ref() { return &FDict; }
  AVDictionary* Release() { return std::exchange(FDict, nullptr); }
  void Free();
  int Count() const;
  bool Empty() const { return Count() == 0; }
  // The value of Key (flags 0), or nullptr.
  const char* Value(const char* Key) const;
  // An owned copy of every entry.
  TAVDict Clone() const;

 private:
  AVDictionary* FDict = nullptr;
};

// ---------------------------------------------------------------------------
// Option table rows.

enum : int {
  ofHasArg = 0x1,       // takes the next word as argument
  ofBool = 0x2,         // "-name" stores 1, "-noname" stores 0
  ofExpert = 0x4,
  ofString = 0x8,       // target is a String
  ofVideo = 0x10,
  ofAudio = 0x20,
  ofInt = 0x80,         // target is int32_t
  ofFloat = 0x100,      // target is float
  ofSubtitle = 0x200,
  ofInt64 = 0x400,      // target is int64_t
  ofExit = 0x800,
  ofData = 0x1000,
  ofPerFile = 0x2000,   // belongs to one input or output file
  ofOffset = 0x4000,    // target is a field of the options context
  ofSpec = 0x8000,      // target is a per-stream value list of the options context
  ofTime = 0x10000,     // target is an int64_t duration in microseconds
  ofDouble = 0x20000,   // target is double
  ofInput = 0x40000,    // may be applied to an input file
  ofOutput = 0x80000,   // may be applied to an output file
};

// A handler row's routine: o is the options context of the file (nullptr for
// global rows), Opt the option word without "-" (specifier included), Arg its
// argument ("1" for rows without ofHasArg). Below 0 is an error code.
using Tfunc_arg = std::function<int(TOptionsContext* o, const String& Opt, const String& Arg)>;

// The address of one options-context field: FieldOf<&TOptionsContext::Format>.
using TFieldAccess = void* (*)(TOptionsContext& o);
template <auto Member>
void* FieldOf(TOptionsContext& o) {
  return &(o.*Member);
}

// The three views of a row's target; the flags say which one is meant.
struct TOptionDefUnion {
  void* dst_ptr = nullptr;  // a variable (String, int32_t ... by the type flags)
  Tfunc_arg func_arg;       // a handler
  TFieldAccess off = nullptr;
};

struct TOptionDef {
  TOptionDef() = default;  // the end row
  // A row with a variable (or no target at all), a context field or a handler.
  TOptionDef(const char* Name, int Flags = 0, void* Dst = nullptr, const char* Help = "",
             const char* ArgName = nullptr)
      : name(Name), flags(Flags), help(Help), argname(ArgName) {
    u.dst_ptr = Dst;
  }
  TOptionDef(const char* Name, int Flags, TFieldAccess Off, const char* Help = "", const char* ArgName = nullptr)
      : name(Name), flags(Flags), help(Help), argname(ArgName) {
    u.off = Off;
  }
  TOptionDef(const char* Name, int Flags, Tfunc_arg Func, const char* Help = "", const char* ArgName = nullptr)
      : name(Name), flags(Flags), help(Help), argname(ArgName) {
    u.func_arg = std::move(Func);
  }

  const char* name = nullptr;  // nullptr ends a table
  int flags = 0;
  TOptionDefUnion u;
  const char* help = "";
  const char* argname = nullptr;
};

// The value of one occurrence of a per-stream option; the row's type flags
// say which member was written.
struct TSpecifierValueData {
  String Str;
  int32_t I = 0;
  int64_t I64 = 0;
  float F = 0;
  double Dbl = 0;
};

struct TSpecifierValue {
  String Specifier;  // the option word after its first ":", "" when none
  TSpecifierValueData Value;
};

// Every occurrence of one per-stream option, in the order applied.
using TSpecifierValues = std::vector<TSpecifierValue>;

// One collected option.
struct TOption {
  const TOptionDef* opt = nullptr;  // the matched row (borrowed from the table)
  String key;                       // the option word without "-"
  String val;
};

struct TOptionGroup {
  std::vector<TOption> opts;
  TAVDict codec_opts;
  TAVDict format_opts;
  TAVDict resample_opts;
  TAVDict sws_dict;
  TAVDict swr_opts;
};

struct TOptionParseContext {
  TOptionGroup global_opts;
  TOptionGroup file_opts;
};

// A global row writes a task field or calls a handler without a file context.
inline bool IsGlobalOption(const TOptionDef& Row) { return (Row.flags & (ofPerFile | ofOffset | ofSpec)) == 0; }

// The row named by Name up to its first ":"; the end row when none.
const TOptionDef* FindOptionDef(const TOptionDef* Options, std::string_view Name);

// Raises when a per-file row can be applied to neither input nor output.
void CheckOptionDefs(const TOptionDef* Options);

// Index of the word that sets option Name, skipping arguments; -1 when absent.
int LocateOption(const std::vector<String>& Argv, const TOptionDef* Options, std::string_view Name);

// ---------------------------------------------------------------------------
// Value readers. They raise Exception on text that is not a value of the type.

int32_t ParseIntValue(const String& Opt, const String& Arg);       // decimal, "$" hexadecimal
int64_t ParseInt64Value(const String& Opt, const String& Arg);
float ParseFloatValue(const String& Opt, const String& Arg);       // always a decimal point
double ParseDoubleValue(const String& Opt, const String& Arg);     // always a decimal point
int64_t ParseTimeValue(const String& Opt, const String& Arg, bool IsDuration);  // microseconds

// ---------------------------------------------------------------------------
// The per-object option dictionaries and parse state.
//
// OptionErrorText carries the message of the last option failure of the parse
// running on this object; each object parses on its own thread, so it is per
// object, never process-wide.
class TFFOptions {
 public:
  TFFOptions() = default;
  TFFOptions(const TFFOptions&) = delete;
  TFFOptions& operator=(const TFFOptions&) = delete;
  ~TFFOptions() { uninit_opts(); }

  void init_opts();
  void uninit_opts();
  void init_parse_context();
  void uninit_parse_context();
  // Evaluates "sws_flags" of sws_dict into sws_flags(); 0 or an error code.
  int FetchSwsFlags();

  // Routes Opt = Arg to the codec, format, scaler or resampler options: 0 when
  // some library took it, AVERROR_OPTION_NOT_FOUND when none, another code on error.
  int opt_default(const String& Opt, const String& Arg);

  // Collects the words against Options into the parse context's groups;
  // routed library options end in the file group. 0 or an error code.
  int parse_options(const std::vector<String>& Argv, const TOptionDef* Options, bool AReturnOnInvalidOption);

  // Stores Arg into the row's target or calls its handler; 0 or an error code.
  int WriteOption(TOptionsContext* OptCtx, const TOptionDef& Row, const String& Opt, const String& Arg);
  // Parses one option (Arg may be nullptr): below 0 an error, else 1 when the
  // row takes an argument and 0 when not.
  int ParseOption(TOptionsContext* OptCtx, const String& Opt, const char* Arg, const TOptionDef* Options);
  // Applies a group's collected options. Flags (ofInput/ofOutput) other than 0
  // refuse rows that do not carry them.
  int ParseOptionGroup(TOptionsContext* OptCtx, const TOptionGroup& Group, const String& GroupName, int Flags,
                       const String& FileName);

  // "-loglevel"/"-v" among the words takes effect at once; errors are ignored.
  void ParseLogLevel(const std::vector<String>& Argv, const TOptionDef* Options);
  // Sets the logger's level and repeat folding from "[repeat+]level"; 0 or -22.
  int OptLogLevel(const String& Opt, const String& Arg);

  int sws_flags() const { return Fsws_flags; }
  TAVDict& sws_dict() { return Fsws_dict; }
  TAVDict& swr_opts() { return Fswr_opts; }
  TAVDict& format_opts() { return Fformat_opts; }
  TAVDict& codec_opts() { return Fcodec_opts; }
  TAVDict& resample_opts() { return Fresample_opts; }
  TOptionParseContext& OptionParseContext() { return Foctx; }

  String OptionErrorText;

 private:
  void AddOption(const TOptionDef& Row, const String& Key, const String& Val);
  void FinishGroup();
  // Keeps Opt = Arg in Dict when a trial context accepted it (TrialResult 0 or more).
  int KeepTriedOption(int TrialResult, TAVDict& Dict, const AVOption* o, const String& Opt, const String& Arg);
  // Sets OptionErrorText, or appends to it after a line break when not empty.
  void AppendOptionError(const String& Text);

  int Fsws_flags = SWS_BICUBIC;
  TAVDict Fsws_dict;
  TAVDict Fswr_opts;
  TAVDict Fformat_opts;
  TAVDict Fcodec_opts;
  TAVDict Fresample_opts;
  TOptionParseContext Foctx;
};

// ---------------------------------------------------------------------------
// Per-stream codec options.

// 1 when Spec selects the stream, 0 when not, below 0 for an invalid specifier.
int CheckStreamSpecifier(AVFormatContext* s, AVStream* st, const char* Spec);

// The entries of Opts that apply to stream st of s (encoding when s has an
// output format, else decoding), keys cut at their specifier and media-type
// prefixes taken off. Raises Exception on an invalid specifier.
TAVDict FilterCodecOptions(const AVDictionary* Opts, AVCodecID CodecId, AVFormatContext* s, AVStream* st,
                           const AVCodec* Codec);

// One filtered dictionary per stream, laid out as avformat_find_stream_info wants it.
class TStreamOptions {
 public:
  TStreamOptions() = default;
  TStreamOptions(TStreamOptions&&) = default;
  TStreamOptions& operator=(TStreamOptions&&) = default;
  ~TStreamOptions();
  AVDictionary** Data() { return FDicts.empty() ? nullptr : FDicts.data(); }
  size_t Count() const { return FDicts.size(); }
  AVDictionary* operator[](size_t Index) const { return FDicts[Index]; }
  void Add(TAVDict Dict) { FDicts.push_back(Dict.Release()); }

 private:
  std::vector<AVDictionary*> FDicts;
};
TStreamOptions SetupFindStreamInfoOptions(AVFormatContext* s, const AVDictionary* CodecOpts);

// ---------------------------------------------------------------------------
// Arrays, errors, texts and numbers.

// Grows a library-allocated array (av_realloc_array) to NewCount zero-filled
// elements; Count becomes NewCount. Raises "Array too big." or "Could not
// alloc buffer."; an array already large enough is returned unchanged.
void* GrowArray(void* Array, int ElemSize, int& Count, int NewCount);

// The text of an FFmpeg error code (negated errno or tagged code), after
// Prefix and ": " when Prefix is not empty.
String ErrorCodeToText(const String& Prefix, int Code);
inline String ErrorCodeToText(int Code) { return ErrorCodeToText("", Code); }

// "hh:mm:ss.zzz" rounded to the millisecond, "-" before negatives, "N/A" for AV_NOPTS_VALUE.
String DurationToText(int64_t Microseconds);
String TimestampToText(AVRational TimeBase, int64_t Timestamp);
// Local time minus UTC in minutes at a moment (daylight saving included).
int LocalTimeOffsetMinutes(int64_t UnixSeconds);
// "UTC", or "UTC+hh:mm"/"UTC-hh:mm" for an offset of local time from UTC.
String TimeZoneText(int OffsetMinutes);
// The zone text of this moment.
String TimeZoneText();
// The local offset from UTC now, in days.
double LocalTimeOffset();
// Seconds since 1970 (UTC) as local date-time (days since 1899-12-30).
double UnixTimeToLocal(int64_t UnixSeconds);

String CodecNameText(const AVCodecContext* CodecCtx, bool IsEncoder, bool WithLongName);
String MediaTypeText(int MediaType);
String PictureTypeText(int PictureType);
String DictValueOrDefault(const AVDictionary* Dict, const char* Key, const String& Default);
constexpr uint32_t MakeTag(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return uint32_t(a) | uint32_t(b) << 8 | uint32_t(c) << 16 | uint32_t(d) << 24;
}
// Microseconds of one frame; 40,000 when the rate is not set.
int64_t FrameRateToDuration(AVRational Rate);
// The stream's rotation in degrees, in [-0.9, 359.1).
double GetRotation(AVStream* Stream);
