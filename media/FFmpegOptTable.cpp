// The option table: the language in which the application speaks to the
// engine. Rows are looked up by exact name in this order; the flags are the
// option layer's bits (FFUtils.h), written as numbers so that a row reads the
// same as in the list of options the application relies on.

#include "media/FFmpegOptHandlers.h"
#include "media/FFmpegOptParser.h"

namespace {

class TTableWriter {
 public:
  explicit TTableWriter(TCustomFFmpegOpt& Task) : FTask(Task), FRows(Task._OptionDef) {
    FRows.clear();
    FRows.reserve(OptionTableRowCount + 1);
  }

  // A row whose target is a field of the task.
  void Var(const char* Name, int Flags, void* Target, const char* Help, const char* ArgName = nullptr) {
    TOptionDef row = Start(Name, Flags, Help, ArgName);
    row.u.dst_ptr = Target;
    FRows.push_back(std::move(row));
  }

  // A row whose target is a field of the options context of the file being parsed.
  template <auto Member>
  void Ctx(const char* Name, int Flags, const char* Help, const char* ArgName = nullptr) {
    TOptionDef row = Start(Name, Flags, Help, ArgName);
    row.u.off = &FieldOf<Member>;
    FRows.push_back(std::move(row));
  }

  void Call(const char* Name, int Flags, TOptionHandler Handler, const char* Help, const char* ArgName = nullptr) {
    TOptionDef row = Start(Name, Flags, Help, ArgName);
    TCustomFFmpegOpt* task = &FTask;
    row.u.func_arg = [task, Handler](TOptionsContext* o, const String& Opt, const String& Arg) {
      return Handler(*task, o, Opt, Arg);
    };
    FRows.push_back(std::move(row));
  }

  void End() {
    FRows.push_back(TOptionDef{});
    FTask.FOptionDef = FRows.data();
  }

 private:
  static TOptionDef Start(const char* Name, int Flags, const char* Help, const char* ArgName) {
    TOptionDef row;
    row.name = Name;
    row.flags = Flags;
    row.help = Help;
    row.argname = ArgName;
    return row;
  }

  TCustomFFmpegOpt& FTask;
  std::vector<TOptionDef>& FRows;
};

using O = TOptionsContext;

}  // namespace

void BuildOptionTable(TCustomFFmpegOpt& Task) {
  if (Task.FOptionDef) return;
  TCustomFFmpegOpt& t = Task;
  TTableWriter w(Task);

  w.Call("L", 0x800, OptNotSupportedIgnore, "show license");
  w.Call("h", 0x800, OptNotSupportedIgnore, "show help");
  w.Call("?", 0x800, OptNotSupportedIgnore, "show help");
  w.Call("help", 0x800, OptNotSupportedIgnore, "show help");
  w.Call("-help", 0x800, OptNotSupportedIgnore, "show help");
  w.Call("version", 0x800, OptNotSupportedIgnore, "show version");
  w.Call("buildconf", 0x800, OptNotSupportedIgnore, "show build configuration");
  w.Call("formats", 0x800, OptNotSupportedIgnore, "show available formats");
  w.Call("devices", 0x800, OptNotSupportedIgnore, "show available devices");
  w.Call("codecs", 0x800, OptNotSupportedIgnore, "show available codecs");
  w.Call("decoders", 0x800, OptNotSupportedIgnore, "show available decoders");
  w.Call("encoders", 0x800, OptNotSupportedIgnore, "show available encoders");
  w.Call("bsfs", 0x800, OptNotSupportedIgnore, "show available bitstream filters");
  w.Call("protocols", 0x800, OptNotSupportedIgnore, "show available protocols");
  w.Call("filters", 0x800, OptNotSupportedIgnore, "show available filters");
  w.Call("pix_fmts", 0x800, OptNotSupportedIgnore, "show available pixel formats");
  w.Call("layouts", 0x800, OptNotSupportedIgnore, "show standard channel layouts");
  w.Call("sample_fmts", 0x800, OptNotSupportedIgnore, "show available sample formats");
  w.Call("colors", 0x800, OptNotSupportedIgnore, "show available colour names");
  w.Call("loglevel", 0x1, OptLogLevelHandler, "set logging level", "loglevel");
  w.Call("v", 0x1, OptLogLevelHandler, "set logging level", "loglevel");
  w.Call("report", 0x0, OptNotSupported, "generate a report");
  w.Call("max_alloc", 0x1, OptMaxAlloc, "largest block the libraries may allocate", "bytes");
  w.Call("cpuflags", 0x1, OptCpuFlags, "force processor feature flags", "flags");
  w.Call("hide_banner", 0x4, OptNotSupportedIgnore, "do not show program banner", "hide_banner");
  w.Ctx<&O::Format>("f", 0xC4009, "force format", "fmt");
  w.Var("y", 0x2, &t.Ffile_overwrite, "overwrite output files");
  w.Var("n", 0x2, &t.Fno_file_overwrite, "never overwrite output files");
  w.Var("ignore_unknown", 0x2, &t.Fignore_unknown_streams, "ignore streams of unknown type");
  w.Var("copy_unknown", 0x6, &t.Fcopy_unknown_streams, "copy streams of unknown type");
  w.Ctx<&O::CodecNames>("c", 0xC8009, "codec name", "codec");
  w.Ctx<&O::CodecNames>("codec", 0xC8009, "codec name", "codec");
  w.Call("pre", 0x800, OptNotSupported, "preset name", "preset");
  w.Call("map", 0x82005, OptMap, "set input stream mapping",
         "[-]input_file_id[:stream_specifier][,sync_file_id[:stream_specifier]]");
  w.Call("map_channel", 0x82005, OptMapChannel, "map an input audio channel to an output channel",
         "file.stream.channel[:syncfile.syncstream]");
  w.Ctx<&O::MetadataMap>("map_metadata", 0x88009, "copy metadata from an input", "outfile[,metadata]:infile[,metadata]");
  w.Ctx<&O::ChaptersInputFile>("map_chapters", 0x84085, "input file whose chapters are copied", "input_file_index");
  w.Ctx<&O::RecordingTime>("t", 0xD4001, "record or transcode \"duration\" seconds of audio/video", "duration");
  w.Ctx<&O::RecordingTime>("t_microsecond", 0xC4401, "record or transcode \"duration\" seconds of audio/video",
                           "duration");
  w.Ctx<&O::StopTime>("to", 0x94001, "record or transcode stop time", "time_stop");
  w.Ctx<&O::StopTime>("to_microsecond", 0x84401, "record or transcode stop time", "time_stop");
  w.Ctx<&O::LimitFilesize>("fs", 0x84401, "largest output size in bytes", "limit_size");
  w.Ctx<&O::StartTime>("ss", 0xD4001, "set the start time offset", "time_off");
  w.Ctx<&O::StartTime>("ss_microsecond", 0xC4401, "set the start time offset", "time_off");
  w.Ctx<&O::StartTimeEof>("sseof", 0xD4001, "set the start time offset from the end of the file", "time_off");
  w.Ctx<&O::SeekTimestamp>("seek_timestamp", 0x44081, "seek by timestamp with -ss");
  w.Ctx<&O::AccurateSeek>("accurate_seek", 0x44006, "seek accurately with -ss");
  w.Ctx<&O::InputTsOffset>("itsoffset", 0x54005, "set the input ts offset", "time_off");
  w.Ctx<&O::InputTsOffset>("itsoffset_microsecond", 0x44405, "set the input ts offset", "time_off");
  w.Ctx<&O::TsScale>("itsscale", 0x68005, "scale the input timestamps", "scale");
  w.Call("timestamp", 0x82001, OptRecordingTimestamp, "set the recording date", "time");
  w.Ctx<&O::Metadata>("metadata", 0x88009, "add metadata", "string=string");
  w.Ctx<&O::Program>("program", 0x88009, "add a program with the given streams", "title=string:st=number...");
  w.Call("dframes", 0x82005, OptDataFrames, "number of data frames to write", "number");
  w.Call("benchmark", 0x800, OptNotSupported, "add timings for benchmarking");
  w.Call("benchmark_all", 0x800, OptNotSupported, "add timings for each task");
  w.Call("progress", 0x5, OptProgress, "write progress lines to a URL", "url");
  w.Call("stdin", 0x800, OptNotSupported, "enable or disable interaction on standard input");
  w.Call("timelimit", 0x800, OptNotSupported, "set max runtime in seconds", "limit");
  w.Var("dump", 0x6, &t.Fdo_pkt_dump, "dump each input packet");
  w.Var("hex", 0x6, &t.Fdo_hex_dump, "dump packet payloads too");
  w.Ctx<&O::RateEmu>("re", 0x44006, "read the input at its native rate");
  w.Call("target", 0x82001, OptTarget,
         "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\" or \"dv50\" with optional prefixes \"pal-\", "
         "\"ntsc-\" or \"film-\")",
         "type");
  w.Call("vsync", 0x5, OptVsync, "video sync method", "method");
  w.Var("frame_drop_threshold", 0x105, &t.Fframe_drop_threshold, "frame drop threshold", "threshold");
  w.Var("async", 0x85, &t.Faudio_sync_method, "audio sync method", "method");
  w.Var("adrift_threshold", 0x105, &t.Faudio_drift_threshold, "audio drift threshold", "threshold");
  w.Var("copyts", 0x6, &t.Fcopy_ts, "copy timestamps");
  w.Var("start_at_zero", 0x6, &t.Fstart_at_zero, "start copied timestamps at 0");
  w.Var("copytb", 0x85, &t.Fcopy_tb, "time base of copied streams", "mode");
  w.Ctx<&O::Shortest>("shortest", 0x84006, "end with the shortest input");
  w.Ctx<&O::Apad>("apad", 0x88009, "pad audio", "args");
  w.Var("dts_delta_threshold", 0x105, &t.Fdts_delta_threshold, "timestamp discontinuity threshold", "threshold");
  w.Var("dts_error_threshold", 0x105, &t.Fdts_error_threshold, "timestamp error threshold", "threshold");
  w.Var("xerror", 0x6, &t.Fexit_on_error, "stop at the first error");
  w.Call("abort_on", 0x5, OptNotSupportedIgnore, "abort on the specified condition flags", "flags");
  w.Ctx<&O::CopyInitialNonkeyframes>("copyinkf", 0x88006, "copy frames before the first key frame");
  w.Ctx<&O::CopyPriorStart>("copypriorss", 0x88085, "copy frames before the start time");
  w.Ctx<&O::MaxFrames>("frames", 0x88401, "number of frames to write", "number");
  w.Ctx<&O::CodecTags>("tag", 0xC800D, "force codec tag/fourcc", "fourcc/tag");
  w.Ctx<&O::QScale>("q", 0xA8005, "use fixed quality scale (VBR)", "q");
  w.Call("qscale", 0x82005, OptQscale, "use fixed quality scale (VBR)", "q");
  w.Call("profile", 0x82005, OptProfile, "set the codec profile", "profile");
  w.Ctx<&O::Filters>("filter", 0x88009, "set stream filtergraph", "filter_graph");
  w.Ctx<&O::FilterScripts>("filter_script", 0x88009, "read a stream filtergraph from a file", "filename");
  w.Ctx<&O::ReinitFilters>("reinit_filter", 0x48081, "rebuild filters when input parameters change");
  w.Call("filter_complex", 0x5, OptFilterComplex, "add a complex filtergraph", "graph_description");
  w.Call("lavfi", 0x5, OptFilterComplex, "add a complex filtergraph", "graph_description");
  w.Call("filter_complex_script", 0x5, OptFilterComplexScript, "read a complex filtergraph from a file", "filename");
  w.Var("stats", 0x2, &t.Fprint_stats, "report progress while converting");
  w.Call("attach", 0x82005, OptAttach, "attach a file to the output", "filename");
  w.Ctx<&O::DumpAttachment>("dump_attachment", 0x4800D, "write an attachment to a file", "filename");
  w.Ctx<&O::Loop>("stream_loop", 0x44085, "times the input is looped", "loop count");
  w.Var("debug_ts", 0x6, &t.Fdebug_ts, "log timestamp details");
  w.Var("max_error_rate", 0x101, &t.Fmax_error_rate, "largest tolerated decoding error rate", "rate");
  w.Ctx<&O::Discard>("discard", 0x48009, "discard level of input streams", "level");
  w.Ctx<&O::Disposition>("disposition", 0x88009, "stream disposition", "flags");
  w.Ctx<&O::ThreadQueueSize>("thread_queue_size", 0x44085, "packets queued from the demuxer", "count");
  w.Call("vframes", 0x82011, OptVideoFrames, "number of video frames to write", "number");
  w.Ctx<&O::FrameRates>("r", 0xC8019, "set frame rate (Hz value, fraction or abbreviation)", "rate");
  w.Ctx<&O::FrameSizes>("s", 0xC8219, "set frame size (WxH or abbreviation)", "size");
  w.Ctx<&O::FrameAspectRatios>("aspect", 0x88019, "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)", "aspect");
  w.Ctx<&O::FramePixFmts>("pix_fmt", 0xC801D, "set pixel format", "format");
  w.Var("bits_per_raw_sample", 0x91, &t.Fframe_bits_per_raw_sample, "bits per raw sample", "number");
  w.Var("intra", 0x16, &t.Fintra_only, "key frames only");
  w.Ctx<&O::VideoDisable>("vn", 0xC4012, "disable video");
  w.Ctx<&O::RcOverrides>("rc_override", 0x8801D, "rate control overrides for intervals", "override");
  w.Call("vcodec", 0xC2011, OptVideoCodec, "force video codec (\"copy\" to copy stream)", "codec");
  w.Call("sameq", 0x14, OptRemoved, "Removed");
  w.Call("same_quant", 0x14, OptRemoved, "Removed");
  w.Call("timecode", 0x82011, OptTimecode, "set the initial time code", "hh:mm:ss[:;.]ff");
  w.Ctx<&O::Passes>("pass", 0x88091, "pass number (1 to 3)", "n");
  w.Ctx<&O::PassLogFiles>("passlogfile", 0x8801D, "prefix of the pass log file", "prefix");
  w.Var("deinterlace", 0x16, &t.Fdo_deinterlace, "deinterlace pictures");
  w.Var("psnr", 0x16, &t.Fdo_psnr, "compute the PSNR of encoded frames");
  w.Call("vstats", 0x14, OptVstats, "write video coding statistics to a file");
  w.Call("vstats_file", 0x15, OptVstatsFile, "write video coding statistics to the named file", "file");
  w.Call("vf", 0x82011, OptVideoFilters, "set video filters", "filter_graph");
  w.Ctx<&O::IntraMatrices>("intra_matrix", 0x8801D, "intra quantiser matrix", "matrix");
  w.Ctx<&O::InterMatrices>("inter_matrix", 0x8801D, "inter quantiser matrix", "matrix");
  w.Ctx<&O::ChromaIntraMatrices>("chroma_intra_matrix", 0x8801D, "chroma intra quantiser matrix", "matrix");
  w.Ctx<&O::TopFieldFirst>("top", 0xC8095, "field order: top 1, bottom 0, auto -1", "order");
  w.Call("vtag", 0x82015, OptOld2New, "force video tag/fourcc", "fourcc/tag");
  w.Var("qphist", 0x16, &t.Fqp_hist, "show a histogram of quantisers");
  w.Ctx<&O::ForceFps>("force_fps", 0x88016, "keep the given frame rate");
  w.Call("streamid", 0x82015, OptStreamId, "set an output stream's id", "streamIndex:value");
  w.Ctx<&O::ForcedKeyFrames>("force_key_frames", 0x8801D, "key frames at these times", "timestamps");
  w.Call("ab", 0x82021, OptBitrate, "audio bitrate (please use -b:a)", "bitrate");
  w.Call("b", 0x82011, OptBitrate, "video bitrate (please use -b:v)", "bitrate");
  w.Ctx<&O::HWAccels>("hwaccel", 0x4801D, "hardware decoding method", "hwaccel name");
  w.Ctx<&O::HWAccelDevices>("hwaccel_device", 0x4801D, "device for hardware decoding", "devicename");
  w.Call("hwaccels", 0x800, OptNotSupported, "show available HW acceleration methods");
  w.Ctx<&O::AutoRotate>("autorotate", 0x48007, "rotate pictures by the stream's rotation");
  w.Call("aframes", 0x82021, OptAudioFrames, "number of audio frames to write", "number");
  w.Call("aq", 0x82021, OptAudioQuality, "audio quality", "quality");
  w.Ctx<&O::AudioSampleRate>("ar", 0xC80A1, "set audio sampling rate (in Hz)", "rate");
  w.Ctx<&O::AudioChannels>("ac", 0xC80A1, "set number of audio channels", "channels");
  w.Ctx<&O::AudioDisable>("an", 0xC4022, "disable audio");
  w.Call("acodec", 0xC2021, OptAudioCodec, "force audio codec (\"copy\" to copy stream)", "codec");
  w.Call("atag", 0x82025, OptOld2New, "force audio tag/fourcc", "fourcc/tag");
  w.Var("vol", 0xA1, &t.Faudio_volume, "change audio volume (256=normal)", "volume");
  w.Ctx<&O::SampleFmts>("sample_fmt", 0xC802D, "set sample format", "format");
  w.Call("channel_layout", 0xC2025, OptChannelLayout, "set the channel layout", "layout");
  w.Call("af", 0x82021, OptAudioFilters, "set audio filters", "filter_graph");
  w.Ctx<&O::GuessLayoutMax>("guess_layout_max", 0x480A5, "most channels for which a layout is guessed", "channels");
  w.Ctx<&O::SubtitleDisable>("sn", 0xC4202, "disable subtitle");
  w.Call("scodec", 0xC2201, OptSubtitleCodec, "force subtitle codec (\"copy\" to copy stream)", "codec");
  w.Call("stag", 0x82205, OptOld2New, "force subtitle tag/fourcc", "fourcc/tag");
  w.Ctx<&O::FixSubDuration>("fix_sub_duration", 0x48206, "fix subtitle durations");
  w.Ctx<&O::CanvasSizes>("canvas_size", 0x48209, "subtitle canvas size (WxH or abbreviation)", "size");
  w.Call("vc", 0x15, OptVideoChannel, "deprecated, use -channel", "channel");
  w.Call("tvstd", 0x15, OptVideoStandard, "deprecated, use -standard", "standard");
  w.Var("isync", 0x6, &t.Finput_sync, "deprecated, does nothing");
  w.Ctx<&O::MuxMaxDelay>("muxdelay", 0x84105, "largest demux-decode delay", "seconds");
  w.Ctx<&O::MuxPreload>("muxpreload", 0x84105, "initial demux-decode delay", "seconds");
  // The feed output it served no longer exists; the row only stores its switch.
  w.Var("override_ffserver", 0x80006, &t.Foverride_ffserver, "override the feed server's options");
  w.Call("sdp_file", 0x80005, OptSdpFile, "write the SDP description to a file", "file");
  w.Ctx<&O::BitstreamFilters>("bsf", 0x8800D, "comma-separated bitstream filters", "bitstream_filters");
  w.Call("absf", 0x82025, OptOld2New, "deprecated, use -bsf:a", "audio bitstream_filters");
  w.Call("vbsf", 0x82015, OptOld2New, "deprecated, use -bsf:v", "video bitstream_filters");
  w.Call("apre", 0x82025, OptPreset, "audio options from a preset file", "preset");
  w.Call("vpre", 0x82015, OptPreset, "video options from a preset file", "preset");
  w.Call("spre", 0x82205, OptPreset, "subtitle options from a preset file", "preset");
  w.Call("fpre", 0x82005, OptPreset, "options from a preset file", "filename");
  w.Call("dcodec", 0xC3005, OptDataCodec, "force data codec (\"copy\" to copy stream)", "codec");
  w.Ctx<&O::DataDisable>("dn", 0xC4012, "disable data");
  w.Call("VideoHookBitsPixel", 0x15, OptVideoHookBitsPixelRow, "VideoHookBitsPixel", "bpp");
  w.Call("TimeStart", 0xC2005, OptTimeStart, "TimeStart");
  w.Call("timestart", 0xC2005, OptTimeStart, "timestart");
  w.Call("TimeLength", 0xC2005, OptTimeLength, "TimeLength");
  w.Call("timelength", 0xC2005, OptTimeLength, "timelength");
  w.Call("AudioInputHook", 0x800, OptNoOp, "AudioInputHook");
  w.Call("AudioOutputHook", 0x800, OptNoOp, "AudioOutputHook");
  w.Call("VideoInputHook", 0x800, OptNoOp, "VideoInputHook");
  w.Call("VideoOutputHook", 0x800, OptNoOp, "VideoOutputHook");
  w.Call("FrameInputHook", 0x800, OptNoOp, "FrameInputHook");
  w.Call("FrameOutputHook", 0x800, OptNoOp, "FrameOutputHook");
  w.Call("Join", 0x800, OptNoOp, "Join");
  w.End();
}
