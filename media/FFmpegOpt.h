#pragma once
// The option model of a conversion task: its task-wide values, the per-file
// options context, the task's error convention (FatalError raising
// FFmpegException) and the services used while files are opened (interrupt
// callbacks with time-outs, codec look-up, metadata maps, dictionary checks,
// channel-layout guess, per-stream option matchers).

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "media/FFBaseComponent.h"
#include "media/FFmpegRecords.h"
#include "media/FFUtils.h"

// The task's unrecoverable failure; FLastErrMsg holds the same message.
class FFmpegException : public Exception {
 public:
  using Exception::Exception;
};

struct TStreamMap {
  int Disabled = 0;
  int FileIndex = 0;
  int StreamIndex = 0;
  int SyncFileIndex = 0;
  int SyncStreamIndex = 0;
  String LinkLabel;  // a filter graph output's label, or empty
};

// -1 where not given.
struct TAudioChannelMap {
  int FileIndex = -1;
  int StreamIndex = -1;
  int ChannelIndex = -1;
  int OutputFileIndex = -1;
  int OutputStreamIndex = -1;
};

// The options of one file, filled by one parse and read while the file is
// opened. Per-stream options (TSpecifierValues) keep every occurrence with
// its stream specifier; the Match* members of the task pick a stream's value.
// Every field starts at its default.
struct TOptionsContext {
  TOptionGroup* Group = nullptr;  // borrowed: the file group of the task's parse context

  int64_t StartTime = AV_NOPTS_VALUE;     // "ss"
  int64_t StartTimeEof = AV_NOPTS_VALUE;  // "sseof"
  int32_t SeekTimestamp = 0;
  String Format;                          // "f"

  TSpecifierValues CodecNames;       // "c", "codec"
  TSpecifierValues AudioChannels;    // "ac"
  TSpecifierValues AudioSampleRate;  // "ar"
  TSpecifierValues FrameRates;       // "r"
  TSpecifierValues FrameSizes;       // "s"
  TSpecifierValues FramePixFmts;     // "pix_fmt"

  int64_t InputTsOffset = 0;  // "itsoffset"
  int32_t Loop = 0;           // "stream_loop"
  int32_t RateEmu = 0;        // "re"
  int32_t AccurateSeek = 1;
  int32_t ThreadQueueSize = 0;

  TSpecifierValues TsScale;  // "itsscale"
  TSpecifierValues DumpAttachment;
  TSpecifierValues HWAccels;  // "hwaccel"
  TSpecifierValues HWAccelDevices;
  TSpecifierValues AutoRotate;

  std::vector<TStreamMap> StreamMaps;              // "map"
  std::vector<TAudioChannelMap> AudioChannelMaps;  // "map_channel"

  int32_t MetadataGlobalManual = 0;
  int32_t MetadataStreamsManual = 0;
  int32_t MetadataChaptersManual = 0;

  std::vector<String> Attachments;  // "attach"

  int32_t ChaptersInputFile = INT32_MAX;  // "map_chapters"
  int64_t RecordingTime = INT64_MAX;      // "t"
  int64_t StopTime = INT64_MAX;           // "to"
  int64_t LimitFilesize = INT64_MAX;      // "fs"
  float MuxPreload = 0;
  float MuxMaxDelay = 0.7f;
  int32_t Shortest = 0;
  int32_t VideoDisable = 0;     // "vn"
  int32_t AudioDisable = 0;     // "an"
  int32_t SubtitleDisable = 0;  // "sn"
  int32_t DataDisable = 0;      // "dn"

  std::vector<int32_t> StreamIdMap;  // "streamid"

  TSpecifierValues Metadata;
  TSpecifierValues MaxFrames;         // "frames"
  TSpecifierValues BitstreamFilters;  // "bsf"
  TSpecifierValues CodecTags;         // "tag"
  TSpecifierValues SampleFmts;
  TSpecifierValues QScale;  // "q"
  TSpecifierValues ForcedKeyFrames;
  TSpecifierValues ForceFps;
  TSpecifierValues FrameAspectRatios;  // "aspect"
  TSpecifierValues RcOverrides;
  TSpecifierValues IntraMatrices;
  TSpecifierValues InterMatrices;
  TSpecifierValues ChromaIntraMatrices;
  TSpecifierValues TopFieldFirst;  // "top"
  TSpecifierValues MetadataMap;    // "map_metadata"
  TSpecifierValues CopyInitialNonkeyframes;
  TSpecifierValues CopyPriorStart;
  TSpecifierValues Filters;  // "filter"
  TSpecifierValues FilterScripts;
  TSpecifierValues ReinitFilters;
  TSpecifierValues FixSubDuration;
  TSpecifierValues CanvasSizes;
  TSpecifierValues Passes;  // "pass"
  TSpecifierValues PassLogFiles;
  TSpecifierValues GuessLayoutMax;
  TSpecifierValues Apad;
  TSpecifierValues Discard;
  TSpecifierValues Disposition;
  TSpecifierValues Program;
};

// The per-stream options that have a matcher, with the type of the value
// they give (const char* points into the options context and lives as long
// as it does).
#define FF_PER_STREAM_MATCHERS(X)            \
  X(CopyInitialNonkeyframes, int32_t)        \
  X(AudioSampleRate, int32_t)                \
  X(CopyPriorStart, int32_t)                 \
  X(FixSubDuration, int32_t)                 \
  X(GuessLayoutMax, int32_t)                 \
  X(TopFieldFirst, int32_t)                  \
  X(AudioChannels, int32_t)                  \
  X(ReinitFilters, int32_t)                  \
  X(AutoRotate, int32_t)                     \
  X(ForceFps, int32_t)                       \
  X(Passes, int32_t)                         \
  X(ChromaIntraMatrices, const char*)        \
  X(FrameAspectRatios, const char*)          \
  X(ForcedKeyFrames, const char*)            \
  X(BitstreamFilters, const char*)           \
  X(HWAccelDevices, const char*)             \
  X(FilterScripts, const char*)              \
  X(FramePixFmts, const char*)               \
  X(IntraMatrices, const char*)              \
  X(InterMatrices, const char*)              \
  X(CanvasSizes, const char*)                \
  X(PassLogFiles, const char*)               \
  X(RcOverrides, const char*)                \
  X(CodecNames, const char*)                 \
  X(Disposition, const char*)                \
  X(FrameRates, const char*)                 \
  X(FrameSizes, const char*)                 \
  X(SampleFmts, const char*)                 \
  X(CodecTags, const char*)                  \
  X(HWAccels, const char*)                   \
  X(Filters, const char*)                    \
  X(Discard, const char*)                    \
  X(Apad, const char*)                       \
  X(MaxFrames, int64_t)                      \
  X(TsScale, double)                         \
  X(QScale, double)

// The view of a stored value that a matcher of type T reads.
template <typename T>
T SpecifierValueAs(const TSpecifierValueData& Value);
template <>
inline int32_t SpecifierValueAs<int32_t>(const TSpecifierValueData& Value) { return Value.I; }
template <>
inline int64_t SpecifierValueAs<int64_t>(const TSpecifierValueData& Value) { return Value.I64; }
template <>
inline double SpecifierValueAs<double>(const TSpecifierValueData& Value) { return Value.Dbl; }
template <>
inline const char* SpecifierValueAs<const char*>(const TSpecifierValueData& Value) { return Value.Str.c_str(); }

// A source of microsecond stamps (av_gettime_relative unless replaced).
using TClock = std::function<int64_t()>;

class TCustomFFmpegOpt : public TObject {
 public:
  TCustomFFmpegOpt();
  ~TCustomFFmpegOpt() override;
  TCustomFFmpegOpt(const TCustomFFmpegOpt&) = delete;
  TCustomFFmpegOpt& operator=(const TCustomFFmpegOpt&) = delete;

  // The handler of the "VideoHookBitsPixel" row.
  virtual int OptVideoHookBitsPixel(TOptionsContext* o, const String& Opt, const String& Arg) = 0;

  // ---- error convention
  // FLastErrMsg := Msg, logged at llFatal with the task as sender, FFmpegException raised.
  [[noreturn]] void FatalError(const String& Msg);
  [[noreturn]] void FatalErrorFmt(std::string_view Fmt, std::initializer_list<TVarRec> Args);
  [[noreturn]] void AbortCodecExperimental();

  // ---- interrupt callbacks (Opaque is the task); 1 ends the blocking call.
  // They run on whichever thread blocks in the library and read only atomics.
  static int ReadInterruptCallback(void* Opaque);
  static int WriteInterruptCallback(void* Opaque);
  // Stamps the start of a blocking read or write with the task's clock.
  void StampRead() { FLastRead.store(Now()); }
  void StampWrite() { FLastWrite.store(Now()); }
  // Replaces the clock the callbacks compare with (tests).
  void SetClock(TClock Clock) { FClock = std::move(Clock); }
  int64_t Now() const;

  // ---- task services
  // 1 when the input stream's decoder has, or now gets, a channel layout.
  int GuessInputChannelLayout(TInputStream* ist);
  // The named encoder or decoder (by codec or descriptor name); fatal when none
  // exists or it is of another media type.
  const AVCodec* FindCodecOrDie(const String& Name, AVMediaType Type, bool IsEncoder);
  // The decoder forced by "-c" for the stream (its codec id follows), else the
  // stream's own; may be nullptr.
  const AVCodec* ChooseDecoder(TOptionsContext* o, AVFormatContext* s, AVStream* st);
  // Name := the last "-c:<Letter>" value given exactly with that specifier.
  void MatchPerTypeCodecName(TOptionsContext* o, const char* Letter, const char*& Name);
  // Deletes from a every key of b.
  static void RemoveOptions(TAVDict& a, const AVDictionary* b);
  // An option left in m was not used by anything: fatal with HaltOnInvalidOption,
  // else only FLastErrMsg.
  void AssertOptionsUsed(const AVDictionary* m);
  // The entries of Dict under their keys cut at the first ":".
  static TAVDict StripSpecifiers(const AVDictionary* Dict);
  // "g", "s[:spec]", "c[:index]", "p[:index]"; 0, or -1 with FLastErrMsg set.
  int ParseMetaType(const String& Spec, char& Type, int& Index, String& StreamSpec);
  // Applies one "-map_metadata out=in" pair; 0, or -1 (or a library code) with FLastErrMsg set.
  int CopyMetadata(const String& OutSpec, const String& InSpec, TOptionsContext* o, AVFormatContext* ic,
                   AVFormatContext* oc);
  // The integer part of log2(V); 0 for 0.
  static int Log2(uint32_t V);

  // ---- per-stream option matchers
  // Value := the value of the last element of Values whose specifier selects st;
  // the caller's default stays when none does. An invalid specifier is fatal.
  template <typename T>
  void MatchPerStream(const TSpecifierValues& Values, AVFormatContext* s, AVStream* st, T& Value) {
    for (const TSpecifierValue& e : Values) {
      const int r = CheckStreamSpecifier(s, st, e.Specifier.c_str());
      if (r > 0)
        Value = SpecifierValueAs<T>(e.Value);
      else if (r < 0)
        FatalError(ErrorCodeToText("check_stream_specifier", r));
    }
  }
#define FF_DECLARE_MATCHER(Field, Type) \
  void Match##Field(TOptionsContext* o, AVFormatContext* s, Type& Value, AVStream* st) { \
    MatchPerStream(o->Field, s, st, Value);                                              \
  }
  FF_PER_STREAM_MATCHERS(FF_DECLARE_MATCHER)
#undef FF_DECLARE_MATCHER

  const String& LastErrMsg() const { return FLastErrMsg; }
  int64_t OutputDuration() const { return FOutputDuration; }

  // ---- task-wide values ("option name" that sets them)
  String Fvstats_filename;               // "vstats", "vstats_file"
  String Fsdp_filename;                  // "sdp_file"
  float Faudio_drift_threshold = 0.1f;   // "adrift_threshold"
  float Fdts_delta_threshold = 10;       // "dts_delta_threshold"
  float Fdts_error_threshold = 108000;   // "dts_error_threshold"
  int Faudio_volume = 256;               // "vol"
  int Faudio_sync_method = 0;            // "async"
  int Fvideo_sync_method = -1;           // "vsync": -1 auto, 0 passthrough, 1 cfr, 2 vfr, 255 drop
  float Fframe_drop_threshold = 0;
  int Fdo_deinterlace = 0;
  int Fdo_hex_dump = 0;
  int Fdo_pkt_dump = 0;
  int Fcopy_ts = 0;
  int Fstart_at_zero = 0;
  int Fcopy_tb = -1;
  int Fdebug_ts = 0;
  int Fexit_on_error = 0;  // "xerror"
  int Fprint_stats = -1;   // "stats"
  int Fqp_hist = 0;
  int Fframe_bits_per_raw_sample = 0;
  float Fmax_error_rate = 2.0f / 3;
  int Fintra_only = 0;
  int Ffile_overwrite = 0;     // "y"
  int Fno_file_overwrite = 0;  // "n"
  int Fdo_psnr = 0;
  int Finput_sync = 0;  // "isync"
  int Foverride_ffserver = 0;
  int Finput_stream_potentially_available = 0;
  int Fignore_unknown_streams = 0;
  int Fcopy_unknown_streams = 0;

  struct TAVIOCloser {
    void operator()(AVIOContext* p) const { ff::avio_closep(&p); }
  };
  std::unique_ptr<AVIOContext, TAVIOCloser> Fprogress_avio;  // "progress"

  // The task's records; a record's index is its position.
  std::vector<std::unique_ptr<TInputStream>> Finput_streams;
  std::vector<std::unique_ptr<TInputFile>> Finput_files;
  std::vector<std::unique_ptr<TOutputStream>> Foutput_streams;
  std::vector<std::unique_ptr<TOutputFile>> Foutput_files;
  std::vector<std::unique_ptr<TFilterGraph>> Ffiltergraphs;

  std::unique_ptr<TFFOptions> FOptions = std::make_unique<TFFOptions>();
  // The option table: rows in _OptionDef, FOptionDef null until it is built.
  std::vector<TOptionDef> _OptionDef;
  const TOptionDef* FOptionDef = nullptr;

  bool HaltOnInvalidOption = true;
  bool FJoinMode = false;
  int Fnb_output_streams_join = 0;

  // Read by the libraries' threads through the interrupt callbacks.
  std::atomic<bool> FBroken{false};
  // After a stop, reads go on until this time (Now() µs) while the sound is
  // read up to the end of the pictures; 0: a stop ends every read.
  std::atomic<int64_t> FStopReadsUntil{0};
  std::atomic<int> FReadTimeout{30000};   // ms; 0 or less: no time-out
  std::atomic<int> FWriteTimeout{30000};  // ms
  // Start of the current blocking read/write (µs); 0 cancels it, INT64_MAX: no time-out.
  std::atomic<int64_t> FLastRead{INT64_MAX};
  std::atomic<int64_t> FLastWrite{INT64_MAX};
  AVIOInterruptCB FReadCallback{};
  AVIOInterruptCB FWriteCallback{};

  int64_t FInputDuration = 0;
  int64_t FOutputDuration = 0;
  String FLastErrMsg;
  TBeforeFindStreamInfoEvent FOnBeforeFindStreamInfo;

 private:
  TClock FClock;
};
