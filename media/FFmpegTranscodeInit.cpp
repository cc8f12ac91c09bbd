// Transcode set-up: output stream parameters (stream copy or encoding),
// encoders and decoders opened, bitstream filters initialised, headers
// written, the stream mapping reported.

#include <cfenv>
#include <cmath>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpeg.h"
#include "media/FFmpegOptFilters.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegQsv.h"
#include "media/UnicodeProtocol.h"

namespace {

constexpr int ExtradataPadding = AV_INPUT_BUFFER_PADDING_SIZE;

// Encoders and decoders may trap on invalid operations or division by zero
// while opening; the floating-point state is restored afterwards.
class TFloatExceptionsMasked {
 public:
  TFloatExceptionsMasked() { std::feholdexcept(&FEnv); }
  ~TFloatExceptionsMasked() { std::fesetenv(&FEnv); }

 private:
  fenv_t FEnv;
};

// The "disposition" flags option.
const AVOption DispositionOptions[] = {
    {"disposition", nullptr, 0, AV_OPT_TYPE_FLAGS, {.i64 = 0}, double(INT64_MIN), double(INT64_MAX), 0, "flags"},
    {"default", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_DEFAULT}, 0, 0, 0, "flags"},
    {"dub", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_DUB}, 0, 0, 0, "flags"},
    {"original", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_ORIGINAL}, 0, 0, 0, "flags"},
    {"comment", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_COMMENT}, 0, 0, 0, "flags"},
    {"lyrics", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_LYRICS}, 0, 0, 0, "flags"},
    {"karaoke", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_KARAOKE}, 0, 0, 0, "flags"},
    {"forced", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_FORCED}, 0, 0, 0, "flags"},
    {"hearing_impaired", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_HEARING_IMPAIRED}, 0, 0, 0, "flags"},
    {"visual_impaired", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_VISUAL_IMPAIRED}, 0, 0, 0, "flags"},
    {"clean_effects", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_CLEAN_EFFECTS}, 0, 0, 0, "flags"},
    {"captions", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_CAPTIONS}, 0, 0, 0, "flags"},
    {"descriptions", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_DESCRIPTIONS}, 0, 0, 0, "flags"},
    {"metadata", nullptr, 0, AV_OPT_TYPE_CONST, {.i64 = AV_DISPOSITION_METADATA}, 0, 0, 0, "flags"},
    {nullptr, nullptr, 0, AV_OPT_TYPE_FLAGS, {.i64 = 0}, 0, 0, 0, nullptr},
};

const char* DispositionItemName(void*) { return ""; }

AVClass MakeDispositionClass() {
  AVClass c{};
  c.class_name = "";
  c.item_name = DispositionItemName;
  c.option = DispositionOptions;
  c.version = LIBAVUTIL_VERSION_INT;
  return c;
}
const AVClass DispositionClass = MakeDispositionClass();

// The library's rational approximation with terms up to Max.
AVRational Reduced(AVRational q, int64_t Max = INT32_MAX) {
  AVRational r{0, 1};
  ff::av_reduce(&r.num, &r.den, q.num, q.den, Max);
  return r;
}

// Copies the entries of a side-data array into a stream.
int CopySideData(AVStream* Dest, const AVPacketSideData* Entries, int Count, bool SkipDisplayMatrix) {
  for (int i = 0; i < Count; ++i) {
    const AVPacketSideData& sd = Entries[i];
    if (SkipDisplayMatrix && sd.type == AV_PKT_DATA_DISPLAYMATRIX) continue;
    uint8_t* dst = ff::av_stream_new_side_data(Dest, sd.type, sd.size);
    if (!dst) return AVERROR(ENOMEM);
    std::memcpy(dst, sd.data, sd.size);
  }
  return 0;
}

// The decoder's pixel-format choice: the first software format, or a
// hardware format whose acceleration the stream asked for and could set up.
// Called by the decoder, possibly on its own threads.
AVPixelFormat GetFormat(AVCodecContext* s, const AVPixelFormat* Formats) {
  auto* ist = static_cast<TInputStream*>(s->opaque);
  for (const AVPixelFormat* p = Formats; *p != AV_PIX_FMT_NONE; ++p) {
    const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(*p);
    if (!desc || !(desc->flags & AV_PIX_FMT_FLAG_HWACCEL)) return *p;
    const THWAccel* hw = GetHWAccel(*p);
    if (!hw || (ist->active_hwaccel_id && ist->active_hwaccel_id != hw->Id) ||
        (ist->hwaccel_id != HWACCEL_AUTO && ist->hwaccel_id != hw->Id))
      continue;
    if (hw->Init(s) < 0) {
      if (ist->hwaccel_id == hw->Id) {
        GlobalLogger()->Log(nullptr, llFatal,
                            Format("%s hwaccel requested for input stream #%d:%d, but cannot be initialized.",
                                   {hw->Name, ist->file_index, ist->st->index}));
        return AV_PIX_FMT_NONE;
      }
      continue;
    }
    ist->active_hwaccel_id = hw->Id;
    ist->hwaccel_pix_fmt = *p;
    return *p;
  }
  return AV_PIX_FMT_NONE;
}

int GetBuffer(AVCodecContext* s, AVFrame* Frame, int Flags) {
  auto* ist = static_cast<TInputStream*>(s->opaque);
  if (ist->hwaccel_get_buffer && Frame->format == ist->hwaccel_pix_fmt) return ist->hwaccel_get_buffer(s, Frame, Flags);
  return ff::avcodec_default_get_buffer2(s, Frame, Flags);
}

}  // namespace

int TCustomFFmpeg::ParseDisposition(const String& Text, int& Flags) {
  struct {
    const AVClass* Class = &DispositionClass;
  } obj;
  const AVOption* o = ff::av_opt_find(&obj, "disposition", nullptr, 0, 0);
  if (!o) return AVERROR_OPTION_NOT_FOUND;
  return ff::av_opt_eval_flags(&obj, o, Text.c_str(), &Flags);
}

TInputStream* TCustomFFmpeg::GetInputStream(const TOutputStream* ost) const {
  return ost->source_index >= 0 ? Finput_streams[ost->source_index].get() : nullptr;
}

void TCustomFFmpeg::SetEncoderId(TOutputFile* of, TOutputStream* ost) {
  if (ff::av_dict_get(ost->st->metadata, "encoder", nullptr, 0)) return;
  int formatFlags = 0;
  int codecFlags = 0;
  if (const AVDictionaryEntry* e = ff::av_dict_get(of->opts->Get(), "fflags", nullptr, 0)) {
    const AVOption* o = ff::av_opt_find(of->ctx.get(), "fflags", nullptr, 0, 0);
    if (!o) return;
    ff::av_opt_eval_flags(of->ctx.get(), o, e->value, &formatFlags);
  }
  if (const AVDictionaryEntry* e = ff::av_dict_get(ost->encoder_opts.Get(), "flags", nullptr, 0)) {
    const AVOption* o = ff::av_opt_find(ost->enc_ctx.get(), "flags", nullptr, 0, 0);
    if (!o) return;
    ff::av_opt_eval_flags(ost->enc_ctx.get(), o, e->value, &codecFlags);
  }
  String id;
  if ((formatFlags & AVFMT_FLAG_BITEXACT) || (codecFlags & AV_CODEC_FLAG_BITEXACT)) {
    id = "Lavc ";
  } else {
    // The loaded library's own version, not the headers'.
    const unsigned v = ff::avcodec_version();
    id = Format("Lavc%d.%d.%d ", {int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)});
  }
  id += ost->enc->name;
  ff::av_dict_set(&ost->st->metadata, "encoder", id.c_str(), AV_DICT_DONT_OVERWRITE);
}

void TCustomFFmpeg::ParseForcedKeyFrames(const String& Text, TOutputStream* ost, AVCodecContext* Enc) {
  std::vector<int64_t> pts;
  size_t start = 0;
  for (;;) {
    const size_t comma = Text.find(',', start);
    const String item = Text.substr(start, comma == String::npos ? String::npos : comma - start);
    if (item.compare(0, 8, "chapters") == 0) {
      AVFormatContext* oc = Foutput_files[ost->file_index]->ctx.get();
      int64_t offset = item.size() > 8 ? ParseTimeValue("force_key_frames", item.substr(8), true) : 0;
      offset = ff::av_rescale_q(offset, AV_TIME_BASE_Q, Enc->time_base);
      for (unsigned j = 0; j < oc->nb_chapters; ++j) {
        const AVChapter* c = oc->chapters[j];
        pts.push_back(ff::av_rescale_q(c->start, c->time_base, Enc->time_base) + offset);
      }
    } else {
      const int64_t t = ParseTimeValue("force_key_frames", item, true);
      pts.push_back(ff::av_rescale_q(t, AV_TIME_BASE_Q, Enc->time_base));
    }
    if (comma == String::npos) break;
    start = comma + 1;
  }
  std::sort(pts.begin(), pts.end());
  ost->forced_kf_pts = std::move(pts);
}

int TCustomFFmpeg::OutputStreamParameters(TOutputStream* ost, String& Error, bool& Report) {
  if (!ost->attachment_filename.empty()) return 0;
  TOutputFile* of = Foutput_files[ost->file_index].get();
  AVFormatContext* oc = of->ctx.get();
  TInputStream* ist = GetInputStream(ost);
  AVCodecContext* enc = ost->enc_ctx.get();
  AVCodecContext* dec = ist ? ist->dec_ctx.get() : nullptr;

  if (ist) {
    ost->st->disposition = ist->st->disposition;
    if (dec) {
      enc->bits_per_raw_sample = dec->bits_per_raw_sample;
      enc->chroma_sample_location = dec->chroma_sample_location;
    }
  } else {
    bool alone = true;
    for (unsigned j = 0; j < oc->nb_streams; ++j)
      if (oc->streams[j] != ost->st && oc->streams[j]->codecpar->codec_type == enc->codec_type) alone = false;
    if (alone && (enc->codec_type == AVMEDIA_TYPE_VIDEO || enc->codec_type == AVMEDIA_TYPE_AUDIO))
      ost->st->disposition = AV_DISPOSITION_DEFAULT;
  }

  auto direct = [this](int Code, const String& Message) {
    FLastErrMsg = Message;
    return Code;
  };

  if (ost->stream_copy) {
    const AVCodecParameters* par = ist->st->codecpar;
    if (uint64_t(par->extradata_size) + ExtradataPadding > uint64_t(INT32_MAX))
      return direct(AVERROR(EINVAL), "icodec.extradata_size is invalid (too large)");
    const uint32_t ownTag = enc->codec_tag;
    if (ff::avcodec_parameters_to_context(enc, par) < 0) return direct(AVERROR(ENOMEM), "av_mallocz() failed");
    enc->codec_tag = ownTag;
    if (!ownTag) {
      unsigned tag = par->codec_tag;
      unsigned found = 0;
      if (!oc->oformat->codec_tag || ff::av_codec_get_id(oc->oformat->codec_tag, tag) == par->codec_id ||
          !ff::av_codec_get_tag2(oc->oformat->codec_tag, par->codec_id, &found))
        enc->codec_tag = tag;
      else
        enc->codec_tag = 0;
    }
    // The container's copy time-base rules.
    ff::avformat_transfer_internal_stream_timing_info(oc->oformat, ost->st, ist->st, AVTimebaseSource(Fcopy_tb));
    AVRational tb = ff::av_stream_get_codec_timebase(ost->st);
    if (tb.num <= 0 || tb.den <= 0) tb = ist->st->time_base;
    const AVRational dectb = ff::av_stream_get_codec_timebase(ist->st);
    if (par->codec_tag == MakeTag('t', 'm', 'c', 'd') && dectb.num < dectb.den && dectb.num > 0 &&
        121LL * dectb.num > dectb.den)
      tb = dectb;
    if (!ost->frame_rate.num) ost->frame_rate = ist->framerate;
    if (ost->frame_rate.num) tb = av_inv_q(ost->frame_rate);
    enc->time_base = Reduced(tb);
    ost->st->time_base = enc->time_base;

    if (ist->st->nb_side_data &&
        CopySideData(ost->st, ist->st->side_data, ist->st->nb_side_data, ost->rotate_overridden) < 0)
      return direct(AVERROR(ENOMEM), "av_malloc() failed");

    switch (enc->codec_type) {
      case AVMEDIA_TYPE_VIDEO: {
        if (OnInputVideoHook || OnOutputVideoHook)
          return direct(AVERROR(EINVAL), "-vcodec copy and VideoHook are incompatible (frames are not decoded)");
        if (OnInputFrameHook || OnOutputFrameHook)
          return direct(AVERROR(EINVAL), "-vcodec copy and FrameHook are incompatible (frames are not decoded)");
        if (!GetPostHooks().Empty())
          return direct(AVERROR(EINVAL), "-vcodec copy and Preview are incompatible (frames are not decoded)");
        AVRational sar;
        if (ost->frame_aspect_ratio.num) {
          sar = Reduced(ff::av_mul_q(ost->frame_aspect_ratio, AVRational{enc->height, enc->width}));
          GlobalLogger()->Log(this, llWarning, "Overriding aspect ratio with stream copy may produce invalid files");
        } else if (ist->st->sample_aspect_ratio.num) {
          sar = ist->st->sample_aspect_ratio;
        } else {
          sar = par->sample_aspect_ratio;
        }
        enc->sample_aspect_ratio = ost->st->sample_aspect_ratio = sar;
        ost->st->avg_frame_rate = ist->st->avg_frame_rate;
        ost->st->r_frame_rate = ist->st->r_frame_rate;
        break;
      }
      case AVMEDIA_TYPE_AUDIO:
        if (Faudio_volume != 256)
          return direct(AVERROR(EINVAL), "-acodec copy and -vol are incompatible (frames are not decoded)");
        if (OnInputAudioHook || OnOutputAudioHook)
          return direct(AVERROR(EINVAL), "-acodec copy and AudioHook are incompatible (frames are not decoded)");
        if ((enc->block_align == 1 || enc->block_align == 1152 || enc->block_align == 576) &&
            enc->codec_id == AV_CODEC_ID_MP3)
          enc->block_align = 0;
        if (enc->codec_id == AV_CODEC_ID_AC3) enc->block_align = 0;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT:
      case AVMEDIA_TYPE_UNKNOWN:
        break;
      default:
        return direct(-1, "invalid codec_type of output stream");
    }
  } else {
    if (!ost->enc) ost->enc = ff::avcodec_find_encoder(ost->st->codecpar->codec_id);
    if (!ost->enc) {
      Error = Format("Encoder (codec %s) not found for output stream #%d:%d",
                     {ff::avcodec_get_name(ost->st->codecpar->codec_id), ost->file_index, ost->index});
      Report = true;
      return AVERROR(EINVAL);
    }
    SetEncoderId(of, ost);
    if (QsvTranscodeInit(ost, ist, Foutput_streams) != 0) FatalError("Error initializing qsv transcode");
    if (!ost->filter && (enc->codec_type == AVMEDIA_TYPE_VIDEO || enc->codec_type == AVMEDIA_TYPE_AUDIO)) {
      TFilterGraph* fg = InitSimpleFilterGraph(*this, ist, ost);
      if (ConfigureFilterGraph(*this, fg) < 0) FatalError("Error opening filters!");
    }
    AVFilterContext* sink = ost->filter ? ost->filter->filter : nullptr;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (!ost->frame_rate.num && sink) ost->frame_rate = ff::av_buffersink_get_frame_rate(sink);
      if (ist && !ost->frame_rate.num) ost->frame_rate = ist->framerate;
      if (ist && !ost->frame_rate.num) ost->frame_rate = ist->st->r_frame_rate;
      if (ist && !ost->frame_rate.num) {
        ost->frame_rate = AVRational{25, 1};
        GlobalLogger()->Log(this, llWarning,
                            Format("No information about the input framerate is available. Falling back to a "
                                   "default value of 25fps for output stream #%d:%d. Use the -r option if you "
                                   "want a different framerate.",
                                   {ost->file_index, ost->index}));
      }
      if (ost->enc->supported_framerates && !ost->force_fps) {
        const int idx = ff::av_find_nearest_q_idx(ost->frame_rate, ost->enc->supported_framerates);
        ost->frame_rate = ost->enc->supported_framerates[idx];
      }
      if (enc->codec_id == AV_CODEC_ID_MPEG4) ost->frame_rate = Reduced(ost->frame_rate, 65535);
    }
    switch (enc->codec_type) {
      case AVMEDIA_TYPE_AUDIO: {
        enc->sample_fmt = AVSampleFormat(ff::av_buffersink_get_format(sink));
        enc->sample_rate = ff::av_buffersink_get_sample_rate(sink);
        ff::av_channel_layout_uninit(&enc->ch_layout);
        ff::av_buffersink_get_ch_layout(sink, &enc->ch_layout);
        enc->time_base = AVRational{1, enc->sample_rate};
        break;
      }
      case AVMEDIA_TYPE_VIDEO: {
        enc->time_base = av_inv_q(ost->frame_rate);
        if (!enc->time_base.num || !enc->time_base.den) enc->time_base = ff::av_buffersink_get_time_base(sink);
        if (av_q2d(enc->time_base) < 0.001 && Fvideo_sync_method != 0 &&
            (Fvideo_sync_method == 1 || Fvideo_sync_method == 254 ||
             (Fvideo_sync_method == -1 && !(oc->oformat->flags & AVFMT_VARIABLE_FPS))))
          ff::av_log(oc, AV_LOG_WARNING,
                     "Frame rate very high for a muxer not efficiently supporting it.\n"
                     "Please consider specifying a lower framerate, a different muxer or -vsync 2\n");
        for (int64_t& t : ost->forced_kf_pts) t = ff::av_rescale_q(t, AV_TIME_BASE_Q, enc->time_base);
        enc->width = ff::av_buffersink_get_w(sink);
        enc->height = ff::av_buffersink_get_h(sink);
        const AVRational sar =
            ost->frame_aspect_ratio.num
                ? Reduced(ff::av_mul_q(ost->frame_aspect_ratio, AVRational{enc->height, enc->width}))
                : ff::av_buffersink_get_sample_aspect_ratio(sink);
        enc->sample_aspect_ratio = ost->st->sample_aspect_ratio = sar;
        const int linkFormat = ff::av_buffersink_get_format(sink);
        if (enc->pix_fmt == AV_PIX_FMT_NONE && linkFormat != AV_PIX_FMT_YUV420P) {
          const char* fmtName = ff::av_get_pix_fmt_name(AVPixelFormat(linkFormat));
          if (std::strncmp(ost->enc->name, "libx264", 7) == 0)
            GlobalLogger()->Log(this, llWarning,
                                Format("No pixel format specified, %s for H.264 encoding chosen.\r\nUse -pix_fmt "
                                       "yuv420p for compatibility with outdated media players.",
                                       {fmtName ? fmtName : "?"}));
          else if (std::strncmp(ost->enc->name, "mpeg2video", 10) == 0)
            GlobalLogger()->Log(this, llWarning,
                                Format("No pixel format specified, %s for MPEG-2 encoding chosen.\r\nUse -pix_fmt "
                                       "yuv420p for compatibility with outdated media players.",
                                       {fmtName ? fmtName : "?"}));
        }
        enc->pix_fmt = AVPixelFormat(linkFormat);
        ost->st->avg_frame_rate = ost->frame_rate;
        // libx264 reads the rate from the context.
        enc->framerate = ost->frame_rate;
        if (!dec || enc->width != dec->width || enc->height != dec->height || enc->pix_fmt != dec->pix_fmt)
          enc->bits_per_raw_sample = Fframe_bits_per_raw_sample;
        if (!ost->forced_keyframes.empty()) {
          if (ost->forced_keyframes.compare(0, 5, "expr:") == 0) {
            static const char* const names[] = {"n", "n_forced", "prev_forced_n", "prev_forced_t", "t", nullptr};
            AVExpr* expr = nullptr;
            const int ret = ff::av_expr_parse(&expr, ost->forced_keyframes.c_str() + 5, names, nullptr, nullptr,
                                              nullptr, nullptr, 0, nullptr);
            if (ret < 0) {
              GlobalLogger()->Log(this, llError,
                                  "Invalid force_key_frames expression \"" + ost->forced_keyframes.substr(5) + "\"");
              return ret;
            }
            ost->forced_keyframes_pexpr.reset(expr);
            ost->forced_keyframes_expr_const_values[0] = 0;
            ost->forced_keyframes_expr_const_values[1] = 0;
            ost->forced_keyframes_expr_const_values[2] = NAN;
            ost->forced_keyframes_expr_const_values[3] = NAN;
          } else if (ost->forced_keyframes.compare(0, 6, "source") != 0) {
            ParseForcedKeyFrames(ost->forced_keyframes, ost, enc);
          }
        }
        break;
      }
      case AVMEDIA_TYPE_SUBTITLE:
        enc->time_base = AVRational{1, 1000};
        if (!enc->width && ist) {
          enc->width = ist->st->codecpar->width;
          enc->height = ist->st->codecpar->height;
        }
        break;
      case AVMEDIA_TYPE_DATA:
        break;
      default:
        return direct(-1, "invalid codec_type of output stream");
    }
  }

  if (!ost->disposition.empty()) {
    int flags = ost->st->disposition;
    const int ret = ParseDisposition(ost->disposition, flags);
    if (ret < 0) {
      Report = true;
      return ret;
    }
    ost->st->disposition = flags;
  }
  return 0;
}

int TCustomFFmpeg::InitOutputStream(TOutputStream* ost, String& Error) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (!ost->encoding_needed) {
    if (ff::av_opt_set_dict(enc, ost->encoder_opts.Ref()) < 0) {
      FLastErrMsg = "Error setting up codec context options.";
      GlobalLogger()->Log(this, llFatal, FLastErrMsg);
      return -1;
    }
    if (ff::avcodec_parameters_from_context(ost->st->codecpar, enc) < 0) return AVERROR(ENOMEM);
    ost->st->time_base = Reduced(enc->time_base);
    return 0;
  }
  TInputStream* ist = GetInputStream(ost);
  if (ist && ist->dec_ctx && ist->dec_ctx->subtitle_header) {
    enc->subtitle_header = static_cast<uint8_t*>(ff::av_mallocz(ist->dec_ctx->subtitle_header_size + 1));
    if (!enc->subtitle_header) {
      Error = "av_mallocz() failed";
      return AVERROR(ENOMEM);
    }
    std::memcpy(enc->subtitle_header, ist->dec_ctx->subtitle_header, ist->dec_ctx->subtitle_header_size);
    enc->subtitle_header_size = ist->dec_ctx->subtitle_header_size;
  }
  if (FJoinMode) {
    ost->codec_id_bak = enc->codec_id;
    ost->opts_bak = ost->encoder_opts.Clone();
    ost->max_b_frames = enc->max_b_frames;
  }
  if (std::strcmp(ost->enc->name, "mjpeg") == 0) ff::av_dict_set(ost->encoder_opts.Ref(), "threads", "1", 0);
  if (!ost->encoder_opts.Value("threads")) ff::av_dict_set(ost->encoder_opts.Ref(), "threads", "auto", 0);
  if (ost->enc->type == AVMEDIA_TYPE_AUDIO && !ost->encoder_opts.Value("b") && !ost->encoder_opts.Value("ab")) {
    // An encoder without defaults of its own keeps the generic default bit rate.
    const AVOption* b = ff::av_opt_find(enc, "b", nullptr, 0, 0);
    if (b && enc->bit_rate == b->default_val.i64) ff::av_dict_set(ost->encoder_opts.Ref(), "b", "128000", 0);
  }
  if (FJoinMode) SaveEncoderSnapshot(ost);
  int ret;
  {
    TFloatExceptionsMasked masked;
    ret = ff::avcodec_open2(enc, ost->enc, ost->encoder_opts.Ref());
  }
  if (ret < 0) {
    if (ret == AVERROR_EXPERIMENTAL) AbortCodecExperimental();
    Error = Format("Error while opening encoder for output stream #%d:%d (%s) - maybe incorrect parameters such "
                   "as bit_rate, rate, width or height. Please check error log message(reported by FFLogger) to "
                   "find out more detail information.",
                   {ost->file_index, ost->index, MediaTypeText(enc->codec_type)});
    return ret;
  }
  ost->is_avcodec_opened = 1;
  if (ost->enc->type == AVMEDIA_TYPE_AUDIO && !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
      ost->filter && ost->filter->filter)
    ff::av_buffersink_set_frame_size(ost->filter->filter, unsigned(enc->frame_size));
  AddCodecItem(FEncoderList, ost);
  AssertOptionsUsed(ost->encoder_opts.Get());
  if (FJoinMode) {
    ost->encoder_opts = std::move(ost->opts_bak);
    ost->opts_bak = TAVDict();
  }
  if (enc->bit_rate && enc->bit_rate < 1000)
    GlobalLogger()->Log(this, llWarning,
                        "The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
  if (ff::avcodec_parameters_from_context(ost->st->codecpar, enc) < 0)
    FatalError("Error initializing the output stream codec context.");
  if (enc->nb_coded_side_data && CopySideData(ost->st, enc->coded_side_data, enc->nb_coded_side_data, false) < 0)
    return AVERROR(ENOMEM);
  ost->st->time_base = Reduced(enc->time_base);
  return 0;
}

namespace {

// Initialises a stream's bitstream filter chain with the stream's final
// parameters and hands the filtered parameters to the muxer.
int InitBitstreamFilters(TOutputStream* ost) {
  AVBSFContext* ctx = ost->bitstream_filters.get();
  if (!ctx) return 0;
  int ret = ff::avcodec_parameters_copy(ctx->par_in, ost->st->codecpar);
  if (ret < 0) return ret;
  ctx->time_base_in = ost->st->time_base;
  if ((ret = ff::av_bsf_init(ctx)) < 0) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Error initializing bitstream filter: %s\n", ctx->filter->name);
    return ret;
  }
  if ((ret = ff::avcodec_parameters_copy(ost->st->codecpar, ctx->par_out)) < 0) return ret;
  ost->st->time_base = ctx->time_base_out;
  return 0;
}

}  // namespace

int TCustomFFmpeg::InitInputStream(int Index, String& Error) {
  TInputStream* ist = Finput_streams[Index].get();
  if (!ist->decoding_needed) {
    ist->next_pts = ist->next_dts = AV_NOPTS_VALUE;
    return 0;
  }
  AVCodecContext* dec = ist->dec_ctx.get();
  if (!ist->avdec) {
    Error = Format("Decoder (codec %s) not found for input stream #%d:%d",
                   {ff::avcodec_get_name(dec->codec_id), ist->file_index, ist->st->index});
    return AVERROR(EINVAL);
  }
  dec->opaque = ist;
  // Without hardware acceleration the library's own choices serve.
  if (ist->hwaccel_id != HWACCEL_NONE) {
    dec->get_format = GetFormat;
    dec->get_buffer2 = GetBuffer;
  }
  dec->pkt_timebase = ist->st->time_base;
  if (dec->codec_id == AV_CODEC_ID_DVB_SUBTITLE && (ist->decoding_needed & 1)) {
    ff::av_dict_set(ist->decoder_opts.Ref(), "compute_edt", "1", AV_DICT_DONT_OVERWRITE);
    if (ist->decoding_needed & 2)
      GlobalLogger()->Log(this, llWarning,
                          "Warning using DVB subtitles for filtering and output at the same time is not fully "
                          "supported, also see -compute_edt [0|1]");
  }
  if (!ist->decoder_opts.Value("threads")) ff::av_dict_set(ist->decoder_opts.Ref(), "threads", "auto", 0);
  int ret;
  {
    TFloatExceptionsMasked masked;
    ret = ff::avcodec_open2(dec, ist->avdec, ist->decoder_opts.Ref());
  }
  if (ret < 0) {
    if (ret == AVERROR_EXPERIMENTAL) AbortCodecExperimental();
    Error = ErrorCodeToText(
        Format("Error while opening decoder for input stream #%d:%d ", {ist->file_index, ist->st->index}), ret);
    return ret;
  }
  AddCodecItem(FDecoderList, ist);
  AssertOptionsUsed(ist->decoder_opts.Get());
  ist->next_pts = ist->next_dts = AV_NOPTS_VALUE;
  return 0;
}

int TCustomFFmpeg::TranscodeInit() {
  const int nOst = int(Foutput_streams.size());
  const int joinLimit = FJoinMode ? Fnb_output_streams_join : nOst;

  // 1. Sources of single-input graph outputs.
  for (auto& fg : Ffiltergraphs)
    for (auto& out : fg->outputs) {
      TOutputStream* ost = out->ost;
      if (!ost || ost->source_index >= 0 || fg->inputs.size() != 1) continue;
      for (int k = int(Finput_streams.size()) - 1; k >= 0; --k)
        if (Finput_streams[k].get() == fg->inputs[0]->ist) {
          ost->source_index = k;
          break;
        }
    }

  String error;
  int code = 0;
  // 2. Parameters.
  for (int i = 0; i < nOst && !code; ++i) {
    bool report = false;
    const int ret = OutputStreamParameters(Foutput_streams[i].get(), error, report);
    if (ret < 0) {
      if (!report) return ret;
      code = ret;
    }
  }
  // 3. Encoders (and bitstream filters with the encoders' parameters).
  for (int i = 0; i < nOst && !code; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (FJoinMode && ost->encoding_needed && i >= joinLimit) continue;
    int ret = InitOutputStream(ost, error);
    if (ret >= 0 && (!FJoinMode || i < joinLimit)) ret = InitBitstreamFilters(ost);
    if (ret < 0) code = ret;
  }
  // 4. Decoders.
  for (int i = 0; i < int(Finput_streams.size()) && !code; ++i) {
    const int ret = InitInputStream(i, error);
    if (ret < 0) {
      for (int j = 0; j < std::min(nOst, joinLimit); ++j) {
        TOutputStream* ost = Foutput_streams[j].get();
        if (!ost->encoding_needed || !ost->enc_ctx) continue;
        ff::av_freep(&ost->enc_ctx->stats_in);
        ff::avcodec_close(ost->enc_ctx.get());
        RemoveCodecItem(FEncoderList, ost);
      }
      code = ret;
    }
  }
  // 5. Programs: discarded unless one of their streams is used.
  if (!code)
    for (auto& f : Finput_files) {
      AVFormatContext* ic = f->ctx.get();
      for (unsigned j = 0; j < ic->nb_programs; ++j) {
        AVProgram* p = ic->programs[j];
        AVDiscard discard = AVDISCARD_ALL;
        for (unsigned k = 0; k < p->nb_stream_indexes; ++k)
          if (!Finput_streams[f->ist_index + int(p->stream_index[k])]->discard) {
            discard = AVDISCARD_DEFAULT;
            break;
          }
        p->discard = discard;
      }
    }
  // 6. Headers.
  bool wantSdp = true;
  for (int i = 0; i < int(Foutput_files.size()) && !code; ++i) {
    TOutputFile* of = Foutput_files[i].get();
    AVFormatContext* oc = of->ctx.get();
    oc->interrupt_callback = FWriteCallback;
    int ret = OpenOutputIO(*this, i);
    if (ret < 0) {
      error = FLastErrMsg;
      code = ret;
      break;
    }
    StampWrite();
    ret = ff::avformat_write_header(oc, of->opts->Ref());
    if (ret < 0) {
      error = ErrorCodeToText(
          Format("Could not write header for output file #%d (incorrect codec parameters ?)", {i}), ret);
      code = AVERROR(EINVAL);
      break;
    }
    if (std::strcmp(oc->oformat->name, "rtp") != 0) wantSdp = false;
    if (FJoinMode) break;
  }
  // 7. The mapping report.
  PrintStreamMapping();
  // 8.
  if (code) {
    if (!error.empty()) GlobalLogger()->Log(this, llError, error);
    return code;
  }
  if (!Fsdp_filename.empty() || wantSdp) PrintSdp();
  return 0;
}

void TCustomFFmpeg::PrintStreamMapping() {
  const int files = FJoinMode ? std::min<int>(1, int(Foutput_files.size())) : int(Foutput_files.size());
  for (int i = 0; i < files; ++i)
    ff::av_dump_format(Foutput_files[i]->ctx.get(), i, ToLibraryFileName(Foutput_files[i]->FileName).c_str(), 1);
  GlobalLogger()->Log(this, llInfo, "Stream mapping:");
  const bool manyGraphs = Ffiltergraphs.size() > 1;
  for (auto& ist : Finput_streams)
    for (TInputFilter* f : ist->filters) {
      if (f->graph->IsSimple()) continue;
      String line = Format("  Stream #%d:%d (%s) -> %s", {ist->file_index, ist->st->index,
                                                          ist->avdec ? ist->avdec->name : "?", f->name});
      if (manyGraphs) line += Format(" (graph %d)", {f->graph->index});
      GlobalLogger()->Log(this, llInfo, line);
    }
  auto codecName = [](AVCodecID Id) {
    const AVCodecDescriptor* d = ff::avcodec_descriptor_get(Id);
    return String(d ? d->name : "?");
  };
  for (auto& ost : Foutput_streams) {
    const int fileNo = FJoinMode ? 0 : ost->file_index;
    const String type = MediaTypeText(ost->enc_ctx ? ost->enc_ctx->codec_type : AVMEDIA_TYPE_UNKNOWN);
    if (!ost->attachment_filename.empty()) {
      GlobalLogger()->Log(this, llInfo,
                          Format("  File %s -> Stream #%d:%d", {ost->attachment_filename, fileNo, ost->index}));
      continue;
    }
    String line;
    if (ost->filter && !ost->filter->graph->IsSimple()) {
      line = "  " + ost->filter->name;
      if (manyGraphs) line += Format(" (graph %d)", {ost->filter->graph->index});
      line += Format(" -> Stream #%d:%d (%s)", {fileNo, ost->index, ost->enc ? ost->enc->name : "?"});
      line += Format(" (%s)", {type});
      GlobalLogger()->Log(this, llInfo, line);
      continue;
    }
    TInputStream* ist = GetInputStream(ost.get());
    if (!ist) continue;
    line = Format("  Stream #%d:%d -> #%d:%d", {ist->file_index, ist->st->index, fileNo, ost->index});
    if (ost->sync_ist && ost->sync_ist != ist)
      line += Format(" [sync #%d:%d]", {ost->sync_ist->file_index, ost->sync_ist->st->index});
    if (ost->stream_copy) {
      line += " (copy)";
    } else {
      const String inCodec = codecName(ist->st->codecpar->codec_id);
      const String outCodec = codecName(ost->enc_ctx->codec_id);
      String decName = ist->avdec ? ist->avdec->name : "?";
      String encName = ost->enc ? ost->enc->name : "?";
      if (decName == inCodec) decName = "native";
      if (encName == outCodec) encName = "native";
      line += Format(" (%s (%s) -> %s (%s))", {inCodec, decName, outCodec, encName});
    }
    line += Format(" (%s)", {type});
    GlobalLogger()->Log(this, llInfo, line);
  }
}

void TCustomFFmpeg::PrintSdp() {
  std::vector<AVFormatContext*> rtp;
  for (auto& of : Foutput_files)
    if (std::strcmp(of->ctx->oformat->name, "rtp") == 0) rtp.push_back(of->ctx.get());
  if (rtp.empty()) return;
  char sdp[16384] = {};
  ff::av_sdp_create(rtp.data(), int(rtp.size()), sdp, sizeof sdp);
  if (Fsdp_filename.empty()) {
    GlobalLogger()->Log(this, llInfo, "SDP:\r\n" + Trim(String(sdp)));
    return;
  }
  AVIOContext* pb = nullptr;
  if (ff::avio_open2(&pb, Fsdp_filename.c_str(), AVIO_FLAG_WRITE, &FWriteCallback, nullptr) < 0) {
    GlobalLogger()->Log(this, llError, "Failed to open sdp file \"" + Fsdp_filename + "\"");
    return;
  }
  ff::avio_printf(pb, "SDP:\n%s", sdp);
  ff::avio_closep(&pb);
  Fsdp_filename.clear();
}
