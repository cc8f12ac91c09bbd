// Opening a task's input files and describing their streams.

#include <cstring>

#include "media/FFEncodeStreams.h"
#include "media/FFLog.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegOptParser.h"
#include "media/UnicodeProtocol.h"

namespace {

struct THWAccelRow {
  const char* name;
  THWAccelID id;
};
// The hardware decoders this platform offers.
constexpr THWAccelRow HardwareAccelerationRows[] = {{"qsv", HWACCEL_QSV}};

// The last occurrence of a per-stream option, whatever its specifier.
const TSpecifierValue* LastValue(const TSpecifierValues& Values) {
  return Values.empty() ? nullptr : &Values.back();
}

void SetForcedDecoder(TCustomFFmpegOpt& Task, TOptionsContext* o, const char* Letter, AVMediaType Type,
                      AVCodecID& Id, const AVCodec*& Codec) {
  const char* name = nullptr;
  Task.MatchPerTypeCodecName(o, Letter, name);
  Codec = name ? Task.FindCodecOrDie(name, Type, false) : nullptr;
  Id = Codec ? Codec->id : AV_CODEC_ID_NONE;
}

}  // namespace

uint32_t ParseCodecTag(const char* Text) {
  char* tail = nullptr;
  uint32_t tag = uint32_t(ff::strtol(Text, &tail, 0));
  if (*tail) {
    // Four characters of a fourcc; a shorter text is padded with zeros.
    uint8_t b[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && Text[i]; ++i) b[i] = uint8_t(Text[i]);
    tag = MakeTag(b[0], b[1], b[2], b[3]);
  }
  return tag;
}

bool CheckFileOverwrite(TCustomFFmpegOpt& Task, const String& AFileName) {
  if (Task.Ffile_overwrite && Task.Fno_file_overwrite) Task.FatalError("Error, both -y and -n supplied.");
  if (Task.Ffile_overwrite) return true;
  const char* proto = ff::avio_find_protocol_name(AFileName.c_str());
  if (proto && std::strcmp(proto, "file") == 0 && ff::avio_check(AFileName.c_str(), 0) == 0) {
    Task.FLastErrMsg = Format("File \"%s\" already exists. Ignore.", {AFileName});
    GlobalLogger()->Log(&Task, llWarning, Task.FLastErrMsg);
    return false;
  }
  return true;
}

void DumpAttachment(TCustomFFmpegOpt& Task, AVStream* st, const String& AFileName) {
  const int file = int(Task.Finput_files.size()) - 1;
  if (st->codecpar->extradata_size <= 0) {
    GlobalLogger()->Log(&Task, llWarning,
                        Format("No extradata to dump in stream #%d:%d.", {file, st->index}));
    return;
  }
  String name = AFileName;
  if (name.empty())
    if (const AVDictionaryEntry* e = ff::av_dict_get(st->metadata, "filename", nullptr, AV_DICT_MATCH_CASE))
      name = e->value;
  if (name.empty()) {
    GlobalLogger()->Log(
        &Task, llError,
        Format("No filename specified and no \"filename\" tag in stream #%d:%d.", {file, st->index}));
    return;
  }
  if (!CheckFileOverwrite(Task, name)) return;
  Task.StampWrite();
  AVIOContext* out = nullptr;
  if (ff::avio_open2(&out, name.c_str(), AVIO_FLAG_WRITE, &Task.FWriteCallback, nullptr) < 0) {
    GlobalLogger()->Log(&Task, llError, Format("Could not open file %s for writing.", {name}));
    return;
  }
  Task.StampWrite();
  ff::avio_write(out, st->codecpar->extradata, st->codecpar->extradata_size);
  ff::avio_flush(out);
  ff::avio_closep(&out);
}

void AddInputStreams(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* ic) {
  const size_t first = Task.Finput_streams.size();
  try {
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
      AVStream* st = ic->streams[i];
      AVCodecParameters* par = st->codecpar;
      Task.Finput_streams.push_back(std::make_unique<TInputStream>());
      TInputStream* ist = Task.Finput_streams.back().get();
      ist->st = st;
      ist->file_index = int(Task.Finput_files.size());
      ist->discard = 1;
      st->discard = AVDISCARD_ALL;
      Task.MatchTsScale(o, ic, ist->ts_scale, st);
      Task.MatchAutoRotate(o, ic, ist->autorotate, st);

      const char* tag = nullptr;
      Task.MatchCodecTags(o, ic, tag, st);
      if (tag) par->codec_tag = ParseCodecTag(tag);

      ist->avdec = Task.ChooseDecoder(o, ic, st);
      ist->decoder_opts = FilterCodecOptions(o->Group->codec_opts.Get(), par->codec_id, ic, st, ist->avdec);
      Task.MatchReinitFilters(o, ic, ist->reinit_filters, st);

      const char* discard = nullptr;
      Task.MatchDiscard(o, ic, discard, st);
      if (discard) {
        const AVClass* cc = ff::avcodec_get_class();
        const AVOption* opt = ff::av_opt_find(&cc, "skip_frame", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
        if (!opt || ff::av_opt_eval_int(&cc, opt, discard, &ist->user_set_discard) < 0)
          Task.FatalErrorFmt("Error parsing discard %s.", {discard});
      }

      ist->dec_ctx.reset(ff::avcodec_alloc_context3(ist->avdec));
      if (!ist->dec_ctx) Task.FatalError("Error allocating the decoder context.");
      if (ff::avcodec_parameters_to_context(ist->dec_ctx.get(), par) < 0)
        Task.FatalError("Error initializing the decoder context.");
      ist->dec_ctx->pkt_timebase = st->time_base;
      AVCodecContext* dec = ist->dec_ctx.get();

      switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
          if (!ist->avdec) ist->avdec = ff::avcodec_find_decoder(par->codec_id);
          ist->resample_height = dec->height;
          ist->resample_width = dec->width;
          ist->resample_pix_fmt = dec->pix_fmt;
          const char* rate = nullptr;
          Task.MatchFrameRates(o, ic, rate, st);
          if (rate && ff::av_parse_video_rate(&ist->framerate, rate) < 0)
            Task.FatalErrorFmt("Error parsing framerate %s.", {rate});
          Task.MatchTopFieldFirst(o, ic, ist->top_field_first, st);
          const char* hwaccel = nullptr;
          Task.MatchHWAccels(o, ic, hwaccel, st);
          if (hwaccel) {
            if (std::strcmp(hwaccel, "none") == 0)
              ist->hwaccel_id = HWACCEL_NONE;
            else if (std::strcmp(hwaccel, "auto") == 0)
              ist->hwaccel_id = HWACCEL_AUTO;
            else {
              bool found = false;
              for (const THWAccelRow& row : HardwareAccelerationRows)
                if (std::strcmp(row.name, hwaccel) == 0) {
                  ist->hwaccel_id = row.id;
                  found = true;
                  break;
                }
              if (!found) {
                String msg = Format("Unrecognized hwaccel: %s.", {hwaccel}) + "\r\nSupported hwaccels:";
                for (const THWAccelRow& row : HardwareAccelerationRows) msg += String(" ") + row.name;
                Task.FatalError(msg);
              }
            }
          }
          const char* device = nullptr;
          Task.MatchHWAccelDevices(o, ic, device, st);
          if (device) ist->hwaccel_device = device;
          ist->hwaccel_pix_fmt = AV_PIX_FMT_NONE;
          break;
        }
        case AVMEDIA_TYPE_AUDIO:
          Task.MatchGuessLayoutMax(o, ic, ist->guess_layout_max, st);
          Task.GuessInputChannelLayout(ist);
          ist->resample_sample_fmt = dec->sample_fmt;
          ist->resample_sample_rate = dec->sample_rate;
          ist->resample_channels = dec->ch_layout.nb_channels;
          ist->resample_channel_layout.Assign(dec->ch_layout);
          break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_SUBTITLE: {
          if (!ist->avdec) ist->avdec = ff::avcodec_find_decoder(par->codec_id);
          Task.MatchFixSubDuration(o, ic, ist->fix_sub_duration, st);
          const char* canvas = nullptr;
          Task.MatchCanvasSizes(o, ic, canvas, st);
          if (canvas && ff::av_parse_video_size(&dec->width, &dec->height, canvas) < 0)
            Task.FatalErrorFmt("Invalid canvas size: %s.", {canvas});
          break;
        }
        default:
          break;
      }
    }
  } catch (...) {
    // No record may outlive the demuxer whose streams it points at.
    Task.Finput_streams.resize(first);
    throw;
  }
}

int CheckUnusedCodecOptions(TCustomFFmpegOpt& Task, const AVDictionary* CodecOpts,
                            const std::vector<const AVDictionary*>& Taken, bool Output, int FileIndex,
                            const String& FileName) {
  TAVDict unused = TCustomFFmpegOpt::StripSpecifiers(CodecOpts);
  for (const AVDictionary* dict : Taken) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = ff::av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX)))
      ff::av_dict_set(unused.Ref(), e->key, nullptr, 0);
  }
  const char* side = Output ? "output" : "input";
  const AVClass* cc = ff::avcodec_get_class();
  const AVClass* fc = ff::avformat_get_class();
  const AVDictionaryEntry* e = nullptr;
  while ((e = ff::av_dict_get(unused.Get(), "", e, AV_DICT_IGNORE_SUFFIX))) {
    const AVOption* option =
        ff::av_opt_find(&cc, e->key, nullptr, 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ);
    const AVOption* foption =
        ff::av_opt_find(&fc, e->key, nullptr, 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ);
    if (!option || foption) continue;
    const char* help = option->help ? option->help : "";
    if (!(option->flags & (Output ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM))) {
      Task.FLastErrMsg =
          Format("Codec AVOption %s (%s) specified for %s file #%d (%s) is not %s option.",
                 {e->key, help, side, FileIndex, FileName, Output ? "an encoding" : "a decoding"});
      return AVERROR(EINVAL);
    }
    if (Output && std::strcmp(e->key, "gop_timecode") == 0) continue;
    GlobalLogger()->Log(
        &Task, llWarning,
        Format(
            "Codec AVOption %s (%s) specified for %s file #%d (%s) has not been used for any stream. The "
            "most "
            "likely reason is either wrong type (e.g. a video option with no video streams) or that it is a "
            "private option of some %s which was not actually used for any stream.",
            {e->key, help, side, FileIndex, FileName, Output ? "encoder" : "decoder"}));
  }
  return 0;
}

int OpenInputFileParsed(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AFileName) {
  const String libName = ToLibraryFileName(AFileName);
  TAVDict& formatOpts = o->Group->format_opts;
  TAVDict& codecOpts = o->Group->codec_opts;

  const AVInputFormat* fmt = nullptr;
  if (!o->Format.empty()) {
    fmt = ff::av_find_input_format(o->Format.c_str());
    if (!fmt) {
      Task.FLastErrMsg = Format("Unknown input format: \"%s\"", {o->Format});
      GlobalLogger()->Log(&Task, llFatal, Task.FLastErrMsg);
      return AVERROR(EINVAL);
    }
  }

  AVFormatContext* raw = ff::avformat_alloc_context();
  if (!raw) {
    Task.FLastErrMsg = "avformat_alloc_context() failed";
    GlobalLogger()->Log(&Task, llFatal, Task.FLastErrMsg);
    return AVERROR(ENOMEM);
  }

  // Demuxer options taken from the stream options, last occurrence wins.
  if (const TSpecifierValue* v = LastValue(o->AudioSampleRate))
    ff::av_dict_set_int(formatOpts.Ref(), "sample_rate", v->Value.I, 0);
  if (fmt && fmt->priv_class) {
    const AVClass* pc = fmt->priv_class;
    if (const TSpecifierValue* v = LastValue(o->AudioChannels))
      if (ff::av_opt_find(&pc, "channels", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
        ff::av_dict_set_int(formatOpts.Ref(), "channels", v->Value.I, 0);
    if (const TSpecifierValue* v = LastValue(o->FrameRates))
      if (ff::av_opt_find(&pc, "framerate", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
        ff::av_dict_set(formatOpts.Ref(), "framerate", v->Value.Str.c_str(), 0);
  }
  if (const TSpecifierValue* v = LastValue(o->FrameSizes))
    ff::av_dict_set(formatOpts.Ref(), "video_size", v->Value.Str.c_str(), 0);
  if (const TSpecifierValue* v = LastValue(o->FramePixFmts))
    ff::av_dict_set(formatOpts.Ref(), "pixel_format", v->Value.Str.c_str(), 0);

  try {
    SetForcedDecoder(Task, o, "v", AVMEDIA_TYPE_VIDEO, raw->video_codec_id, raw->video_codec);
    SetForcedDecoder(Task, o, "a", AVMEDIA_TYPE_AUDIO, raw->audio_codec_id, raw->audio_codec);
    SetForcedDecoder(Task, o, "s", AVMEDIA_TYPE_SUBTITLE, raw->subtitle_codec_id, raw->subtitle_codec);
    SetForcedDecoder(Task, o, "d", AVMEDIA_TYPE_DATA, raw->data_codec_id, raw->data_codec);
  } catch (...) {
    ff::avformat_free_context(raw);
    throw;
  }

  raw->flags |= AVFMT_FLAG_NONBLOCK;
  raw->interrupt_callback = Task.FReadCallback;

  bool scanAllPmtsSet = false;
  if (!ff::av_dict_get(formatOpts.Get(), "scan_all_pmts", nullptr, AV_DICT_MATCH_CASE)) {
    ff::av_dict_set(formatOpts.Ref(), "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    scanAllPmtsSet = true;
  }

  // A caller's stream armed under this name is read through its bridge, as
  // custom I/O: on failure the library leaves the bridge's context alone.
  std::unique_ptr<TStreamIO> bridge;
  int err = CreateInputStreamIO(libName, bridge);
  if (err < 0) {
    ff::avformat_free_context(raw);
  } else {
    if (bridge) {
      raw->pb = bridge->Context();
      raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    Task.StampRead();
    err = ff::avformat_open_input(&raw, libName.c_str(), fmt, formatOpts.Ref());
  }
  if (err < 0) {  // the library freed the context; the bridge still owns its own
    Task.FLastErrMsg = ErrorCodeToText(AFileName, err);
    GlobalLogger()->Log(&Task, llFatal, Task.FLastErrMsg);
    return err;
  }
  UniqueInputFormat ic(raw);
  if (bridge) KeepOpenedStreamIO(std::move(bridge), raw);
  if (scanAllPmtsSet) ff::av_dict_set(formatOpts.Ref(), "scan_all_pmts", nullptr, AV_DICT_MATCH_CASE);

  TCustomFFmpegOpt::RemoveOptions(formatOpts, codecOpts.Get());
  Task.AssertOptionsUsed(formatOpts.Get());
  for (unsigned i = 0; i < ic->nb_streams; ++i) Task.ChooseDecoder(o, ic.get(), ic->streams[i]);

  TStreamOptions opts = SetupFindStreamInfoOptions(ic.get(), codecOpts.Get());
  if (Task.FOnBeforeFindStreamInfo) Task.FOnBeforeFindStreamInfo(&Task, ic.get());

  Task.StampRead();
  err = ff::avformat_find_stream_info(ic.get(), opts.Data());
  if (err < 0) {
    Task.FLastErrMsg = Format("%s: could not find codec parameters", {AFileName});
    GlobalLogger()->Log(&Task, llFatal, Task.FLastErrMsg);
    if (ic->nb_streams == 0) return err;
  }

  int64_t startTime = o->StartTime;
  if (o->StartTimeEof != AV_NOPTS_VALUE) {
    if (ic->duration > 0)
      startTime = o->StartTimeEof + ic->duration;
    else
      GlobalLogger()->Log(&Task, llWarning,
                          Format("Cannot use -sseof, duration of %s not known", {AFileName}));
  }
  int64_t timestamp = startTime == AV_NOPTS_VALUE ? 0 : startTime;
  if (ic->duration != AV_NOPTS_VALUE && ic->duration - timestamp > Task.FInputDuration)
    Task.FInputDuration = ic->duration - timestamp;
  if (!o->SeekTimestamp && ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;

  if (startTime != AV_NOPTS_VALUE) {
    int64_t seekTimestamp = timestamp;
    if (!(ic->iformat->flags & AVFMT_SEEK_TO_PTS)) {
      bool delayed = false;
      for (unsigned i = 0; i < ic->nb_streams; ++i)
        if (ic->streams[i]->codecpar->video_delay) delayed = true;
      // Land before the wanted frame when B-frames reorder the stream.
      if (delayed) seekTimestamp -= 3 * AV_TIME_BASE / 23;
    }
    Task.StampRead();
    if (ff::avformat_seek_file(ic.get(), -1, INT64_MIN, seekTimestamp, seekTimestamp, 0) < 0)
      GlobalLogger()->Log(&Task, llWarning,
                          Format("%s: could not seek to position %0.3f",
                                 {AFileName, double(timestamp) / AV_TIME_BASE}, TFormatSettings{}));
  }

  AddInputStreams(Task, o, ic.get());
  ff::av_dump_format(ic.get(), int(Task.Finput_files.size()), AFileName.c_str(), 0);

  auto f = std::make_unique<TInputFile>();
  f->ist_index = int(Task.Finput_streams.size()) - int(ic->nb_streams);
  f->start_time = startTime;
  f->recording_time = o->RecordingTime;
  f->input_ts_offset = o->InputTsOffset;
  f->ts_offset =
      o->InputTsOffset - (Task.Fcopy_ts
                              ? (Task.Fstart_at_zero && ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0)
                              : timestamp);
  f->nb_streams = int(ic->nb_streams);
  f->rate_emu = o->RateEmu;
  f->accurate_seek = o->AccurateSeek;
  f->loop = o->Loop;
  f->duration = 0;
  f->time_base = AVRational{1, 1};
  AVFormatContext* ctx = ic.get();
  f->ctx = std::move(ic);
  const int fileIndex = int(Task.Finput_files.size());
  Task.Finput_files.push_back(std::move(f));

  std::vector<const AVDictionary*> taken;
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    taken.push_back(Task.Finput_streams[Task.Finput_files[fileIndex]->ist_index + i]->decoder_opts.Get());
  if (CheckUnusedCodecOptions(Task, codecOpts.Get(), taken, false, fileIndex, AFileName) < 0) {
    GlobalLogger()->Log(&Task, llError, Task.FLastErrMsg);
    // The record stays registered without its demuxer; its streams go with it.
    Task.Finput_streams.resize(Task.Finput_files[fileIndex]->ist_index);
    Task.Finput_files[fileIndex]->ctx.reset();
    Task.Finput_files[fileIndex]->nb_streams = 0;
    return AVERROR(EINVAL);
  }

  for (const TSpecifierValue& d : o->DumpAttachment)
    for (unsigned j = 0; j < ctx->nb_streams; ++j)
      if (CheckStreamSpecifier(ctx, ctx->streams[j], d.Specifier.c_str()) == 1)
        DumpAttachment(Task, ctx->streams[j], d.Value.Str);

  Task.Finput_stream_potentially_available = 1;
  return fileIndex;
}

int OpenInputFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AOptions, const String& AFileName,
                  const String& APresets) {
  const int ret =
      ParseOptions(Task, *o, AOptions, ofInput, ToLibraryFileName(AFileName), "input file", APresets);
  return ret < 0 ? ret : OpenInputFileParsed(Task, o, AFileName);
}
