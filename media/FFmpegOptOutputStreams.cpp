// Output streams of a task: encoder choice, per-stream options, filters and
// bit-stream filters.

#include <cfenv>
#include <cmath>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "media/FFLog.h"
#include "media/FFmpegOptHandlers.h"
#include "media/FFmpegOptOpen.h"

namespace {

constexpr AVPixelFormat MjpegFormats[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P,
                                          AV_PIX_FMT_YUV420P,  AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV444P,
                                          AV_PIX_FMT_NONE};
constexpr AVPixelFormat LjpegFormats[] = {
    AV_PIX_FMT_BGR24,    AV_PIX_FMT_BGRA,    AV_PIX_FMT_BGR0,    AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ444P,
    AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV422P,  AV_PIX_FMT_NONE};

// Is some occurrence of the option given without a stream specifier?
bool HasUnspecific(const TSpecifierValues& Values) {
  for (const TSpecifierValue& v : Values)
    if (v.Specifier.empty()) return true;
  return false;
}

// Allocates a matrix the encoder context frees with itself.
uint16_t* NewMatrix(TCustomFFmpegOpt& Task, const char* Text, const char* FailText) {
  auto* m = static_cast<uint16_t*>(ff::av_mallocz(sizeof(uint16_t) * 64));
  if (!m) Task.FatalError(FailText);
  try {
    ParseMatrixCoeffs(Task, m, Text);
  } catch (...) {
    ff::av_free(m);
    throw;
  }
  return m;
}

}  // namespace

const AVPixelFormat* UnofficialPixelFormats(AVCodecID CodecId, const AVPixelFormat* Default) {
  if (CodecId == AV_CODEC_ID_MJPEG) return MjpegFormats;
  if (CodecId == AV_CODEC_ID_LJPEG) return LjpegFormats;
  return Default;
}

void ParseMatrixCoeffs(TCustomFFmpegOpt& Task, uint16_t* Dest, const char* Text) {
  const char* p = Text;
  for (int i = 0;; ++i) {
    Dest[i] = uint16_t(std::atoi(p));
    if (i == 63) break;
    p = std::strchr(p, ',');
    if (!p) Task.FatalErrorFmt("Syntax error in matrix \"%s\" at coeff %d", {Text, i});
    ++p;
  }
}

void ChooseEncoder(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, TOutputStream* ost) {
  const char* name = nullptr;
  Task.MatchCodecNames(o, oc, name, ost->st);
  AVCodecParameters* par = ost->st->codecpar;
  if (!name) {
    par->codec_id = ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, par->codec_type);
    ost->enc = ff::avcodec_find_encoder(par->codec_id);
  } else if (std::strcmp(name, "copy") == 0) {
    ost->stream_copy = 1;
  } else {
    ost->enc = Task.FindCodecOrDie(name, par->codec_type, true);
    par->codec_id = ost->enc->id;
  }
}

TOutputStream* NewOutputStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                               AVMediaType Type, int Source) {
  AVStream* st = ff::avformat_new_stream(oc, nullptr);
  if (!st) Task.FatalError("Could not alloc stream.");
  const unsigned idx = oc->nb_streams - 1;
  if (idx < o->StreamIdMap.size()) st->id = o->StreamIdMap[idx];

  Task.Foutput_streams.push_back(std::make_unique<TOutputStream>());
  TOutputStream* ost = Task.Foutput_streams.back().get();
  ost->file_index = int(Task.Foutput_files.size()) - 1;
  ost->index = int(idx);
  ost->st = st;
  ost->last_pts = AV_NOPTS_VALUE;
  ost->last_dts = AV_NOPTS_VALUE;
  st->codecpar->codec_type = Type;

  ChooseEncoder(Task, o, oc, ost);

  ost->enc_ctx.reset(ff::avcodec_alloc_context3(ost->enc));
  if (!ost->enc_ctx) Task.FatalError("Error allocating the encoding context.");
  AVCodecContext* enc = ost->enc_ctx.get();
  enc->codec_type = Type;

  ost->encoder_opts = FilterCodecOptions(o->Group->codec_opts.Get(),
                                         ost->enc ? ost->enc->id : AV_CODEC_ID_NONE, oc, st, ost->enc);
  ost->is_filter_codec_opts = 1;

  ost->max_frames = INT64_MAX;
  Task.MatchMaxFrames(o, oc, ost->max_frames, st);
  if (Type != AVMEDIA_TYPE_VIDEO && HasUnspecific(o->MaxFrames))
    GlobalLogger()->Log(&Task, llWarning,
                        "Applying unspecific -frames to non video streams, maybe you meant -vframes ?");

  ost->copy_prior_start = -1;
  Task.MatchCopyPriorStart(o, oc, ost->copy_prior_start, st);

  const char* bsf = nullptr;
  Task.MatchBitstreamFilters(o, oc, bsf, st);
  if (bsf && *bsf) {
    // Every name is checked now so that a typing error fails at once; the
    // chain is initialised when the stream's parameters are known.
    const char* p = bsf;
    while (*p) {
      const char* end = std::strchr(p, ',');
      String entry(p, end ? size_t(end - p) : std::strlen(p));
      String fname = entry.substr(0, entry.find('='));
      if (!ff::av_bsf_get_by_name(fname.c_str()))
        Task.FatalErrorFmt("Unknown bitstream filter \"%s\"", {fname});
      if (!end) break;
      p = end + 1;
    }
    AVBSFContext* chain = nullptr;
    if (ff::av_bsf_list_parse_str(bsf, &chain) < 0)
      Task.FatalError("Bitstream filter memory allocation failed");
    ost->bitstream_filters.reset(chain);
  }

  const char* tag = nullptr;
  Task.MatchCodecTags(o, oc, tag, st);
  if (tag) {
    const uint32_t t = ParseCodecTag(tag);
    st->codecpar->codec_tag = t;
    enc->codec_tag = t;
  }

  double q = -1.0;
  Task.MatchQScale(o, oc, q, st);
  if (q >= 0) {
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = int(std::trunc(FF_QP2LAMBDA * q));
  }

  const char* disposition = nullptr;
  Task.MatchDisposition(o, oc, disposition, st);
  if (disposition) ost->disposition = disposition;

  if (oc->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  ost->sws_dict = o->Group->sws_dict.Clone();
  ost->swr_opts = o->Group->swr_opts.Clone();
  if (ost->enc && ff::av_get_exact_bits_per_sample(ost->enc->id) == 24)
    ff::av_dict_set(ost->swr_opts.Ref(), "output_sample_bits", "24", 0);
  ost->resample_opts = o->Group->resample_opts.Clone();

  ost->source_index = Source;
  if (Source >= 0) {
    TInputStream* ist = Task.Finput_streams[Source].get();
    ost->sync_ist = ist;
    ist->discard = 0;
    ist->st->discard = AVDiscard(ist->user_set_discard);
  }
  ost->last_mux_dts = AV_NOPTS_VALUE;
  return ost;
}

String GetOutputStreamFilters(TCustomFFmpegOpt& Task, TOptionsContext*, AVFormatContext*,
                              TOutputStream* ost) {
  if (ost->filters_script && ost->filters)
    Task.FatalErrorFmt("Both -filter and -filter_script set for output stream #%d:%d.",
                       {int(Task.Foutput_files.size()), ost->index});
  if (ost->filters_script) {
    std::optional<String> text = ReadTextFile(ost->filters_script);
    if (!text) Task.FatalError("get_ost_filters() failed");  // the reason is logged
    return *text;
  }
  if (ost->filters) return ost->filters;
  return ost->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? "null" : "anull";
}

void CheckStreamCopyFilters(TCustomFFmpegOpt& Task, TOptionsContext*, AVFormatContext*, TOutputStream* ost,
                            AVMediaType Type) {
  if (!ost->filters && !ost->filters_script) return;
  Task.FatalErrorFmt(
      "%s \"%s\" was defined for %s output stream %d:%d but codec copy was selected.\r\n"
      "Filtering and streamcopy cannot be used together.",
      {ost->filters ? "Filtergraph" : "Filtergraph script", ost->filters ? ost->filters : ost->filters_script,
       ff::av_get_media_type_string(Type), ost->file_index, ost->index});
}

TOutputStream* NewVideoStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_VIDEO, Source);
  AVStream* st = ost->st;
  AVCodecContext* enc = ost->enc_ctx.get();

  const char* rate = nullptr;
  Task.MatchFrameRates(o, oc, rate, st);
  if (rate && ff::av_parse_video_rate(&ost->frame_rate, rate) < 0)
    Task.FatalErrorFmt("Invalid framerate value: %s", {rate});
  if (rate && Task.Fvideo_sync_method == 0)
    GlobalLogger()->Log(&Task, llError, "Using -vsync 0 and -r can produce invalid output files");

  const char* aspect = nullptr;
  Task.MatchFrameAspectRatios(o, oc, aspect, st);
  if (aspect) {
    AVRational q{0, 0};
    if (ff::av_parse_ratio(&q, aspect, 255, 0, nullptr) < 0 || q.num <= 0 || q.den <= 0)
      Task.FatalErrorFmt("Invalid aspect ratio: %s", {aspect});
    ost->frame_aspect_ratio = q;
  }

  Task.MatchFilterScripts(o, oc, ost->filters_script, st);
  Task.MatchFilters(o, oc, ost->filters, st);

  if (ost->stream_copy) {
    Task.MatchCopyInitialNonkeyframes(o, oc, ost->copy_initial_nonkeyframes, st);
    CheckStreamCopyFilters(Task, o, oc, ost, AVMEDIA_TYPE_VIDEO);
    return ost;
  }

  const char* size = nullptr;
  Task.MatchFrameSizes(o, oc, size, st);
  if (size && ff::av_parse_video_size(&enc->width, &enc->height, size) < 0)
    Task.FatalErrorFmt("Invalid frame size: %s.", {size});

  enc->bits_per_raw_sample = Task.Fframe_bits_per_raw_sample;
  const char* pixFmt = nullptr;
  Task.MatchFramePixFmts(o, oc, pixFmt, st);
  if (pixFmt && *pixFmt == '+') {
    ost->keep_pix_fmt = 1;
    if (!*++pixFmt) pixFmt = nullptr;
  }
  if (pixFmt) {
    enc->pix_fmt = ff::av_get_pix_fmt(pixFmt);
    if (enc->pix_fmt == AV_PIX_FMT_NONE) Task.FatalErrorFmt("Unknown pixel format requested: %s.", {pixFmt});
  }
  st->sample_aspect_ratio = enc->sample_aspect_ratio;
  if (Task.Fintra_only) enc->gop_size = 0;

  const char* matrix = nullptr;
  Task.MatchIntraMatrices(o, oc, matrix, st);
  if (matrix) enc->intra_matrix = NewMatrix(Task, matrix, "Could not allocate memory for intra matrix.");
  matrix = nullptr;
  Task.MatchChromaIntraMatrices(o, oc, matrix, st);
  if (matrix)
    enc->chroma_intra_matrix = NewMatrix(Task, matrix, "Could not allocate memory for intra matrix.");
  matrix = nullptr;
  Task.MatchInterMatrices(o, oc, matrix, st);
  if (matrix) enc->inter_matrix = NewMatrix(Task, matrix, "Could not allocate memory for inter matrix.");

  const char* overrides = nullptr;
  Task.MatchRcOverrides(o, oc, overrides, st);
  int count = 0;
  for (const char* p = overrides; p && *p;) {
    int start = 0, end = 0, qv = 0;
    if (ff::sscanf(p, "%d,%d,%d", &start, &end, &qv) != 3) Task.FatalError("error parsing rc_override");
    auto* grown =
        static_cast<RcOverride*>(ff::av_realloc_array(enc->rc_override, count + 1, sizeof(RcOverride)));
    if (!grown) Task.FatalError("Could not (re)allocate memory for rc_override.");
    enc->rc_override = grown;
    RcOverride& r = grown[count];
    r.start_frame = start;
    r.end_frame = end;
    if (qv > 0) {
      r.qscale = qv;
      r.quality_factor = 1.0f;
    } else {
      r.qscale = 0;
      r.quality_factor = float(-qv / 100.0);
    }
    enc->rc_override_count = ++count;
    p = std::strchr(p, '/');
    if (p) ++p;
  }

  if (Task.Fdo_psnr) enc->flags |= AV_CODEC_FLAG_PSNR;

  int pass = 0;
  Task.MatchPasses(o, oc, pass, st);
  if (pass & 1) {
    enc->flags |= AV_CODEC_FLAG_PASS1;
    ff::av_dict_set(ost->encoder_opts.Ref(), "flags", "+pass1", AV_DICT_APPEND);
  }
  if (pass & 2) {
    enc->flags |= AV_CODEC_FLAG_PASS2;
    ff::av_dict_set(ost->encoder_opts.Ref(), "flags", "+pass2", AV_DICT_APPEND);
  }
  const char* prefix = nullptr;
  Task.MatchPassLogFiles(o, oc, prefix, st);
  if (prefix) ost->logfile_prefix = prefix;
  if (pass) {
    String logPrefix = ost->logfile_prefix;
    if (logPrefix.empty()) {
      // In the temporary folder and named after the output file, so that tasks
      // running at the same time keep their own logs while both passes of one
      // output meet in the same one (FNV-1a: the same name in every run).
      uint64_t hash = 1469598103934665603ULL;
      for (const char* c = oc->url; c && *c; ++c) hash = (hash ^ uint8_t(*c)) * 1099511628211ULL;
      char name[40];
      std::snprintf(name, sizeof name, "razeredov2pass-%016" PRIx64, hash);
      logPrefix = (std::filesystem::temp_directory_path() / name).string();
    }
    // One log per output stream.
    String logName = Format("%s-%d.log", {logPrefix, ost->index});
    if (logName.size() > 1023) logName.resize(1023);
    if (ost->enc && std::strcmp(ost->enc->name, "libx264") == 0) {
      ff::av_dict_set(ost->encoder_opts.Ref(), "stats", logName.c_str(), AV_DICT_DONT_OVERWRITE);
    } else {
      if (enc->flags & AV_CODEC_FLAG_PASS2) {
        std::optional<String> log = ReadTextFile(logName);
        if (!log) Task.FatalErrorFmt("Error reading log file \"%s\" for pass-2 encoding", {logName});
        enc->stats_in = ff::av_strdup(log->c_str());
        if (!enc->stats_in) Task.FatalError("av_strdup() failed");
      }
      if (enc->flags & AV_CODEC_FLAG_PASS1) {
        ost->logfile.reset(std::fopen(logName.c_str(), "wb"));
        if (!ost->logfile) Task.FatalErrorFmt("Cannot write log file \"%s\" for pass-1 encoding", {logName});
      }
    }
  }

  const char* keys = nullptr;
  Task.MatchForcedKeyFrames(o, oc, keys, st);
  if (keys) ost->forced_keyframes = keys;
  Task.MatchForceFps(o, oc, ost->force_fps, st);
  ost->top_field_first = -1;
  Task.MatchTopFieldFirst(o, oc, ost->top_field_first, st);

  ost->avfilter = GetOutputStreamFilters(Task, o, oc, ost);
  return ost;
}

TOutputStream* NewAudioStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_AUDIO, Source);
  AVStream* st = ost->st;
  AVCodecContext* enc = ost->enc_ctx.get();
  Task.MatchFilterScripts(o, oc, ost->filters_script, st);
  Task.MatchFilters(o, oc, ost->filters, st);

  if (ost->stream_copy) {
    CheckStreamCopyFilters(Task, o, oc, ost, AVMEDIA_TYPE_AUDIO);
    return ost;
  }

  int channels = 0;
  Task.MatchAudioChannels(o, oc, channels, st);
  if (channels > 0) {
    ff::av_channel_layout_uninit(&enc->ch_layout);
    enc->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    enc->ch_layout.nb_channels = channels;
  }
  const char* sampleFmt = nullptr;
  Task.MatchSampleFmts(o, oc, sampleFmt, st);
  if (sampleFmt) {
    enc->sample_fmt = ff::av_get_sample_fmt(sampleFmt);
    if (enc->sample_fmt == AV_SAMPLE_FMT_NONE)
      Task.FatalErrorFmt("Invalid sample format \"%s\"", {sampleFmt});
  }
  Task.MatchAudioSampleRate(o, oc, enc->sample_rate, st);
  const char* apad = nullptr;
  Task.MatchApad(o, oc, apad, st);
  if (apad) ost->apad = apad;
  ost->avfilter = GetOutputStreamFilters(Task, o, oc, ost);

  for (const TAudioChannelMap& m : o->AudioChannelMaps) {
    if ((m.OutputFileIndex != -1 && m.OutputFileIndex != ost->file_index) ||
        (m.OutputStreamIndex != -1 && m.OutputStreamIndex != ost->index))
      continue;
    if (m.ChannelIndex == -1) {
      ost->audio_channels_map.push_back(-1);
    } else if (ost->source_index < 0) {
      GlobalLogger()->Log(&Task, llFatal,
                          Format("Cannot determine input stream for channel mapping %d.%d",
                                 {ost->file_index, ost->st->index}));
    } else {
      const TInputStream* ist = Task.Finput_streams[ost->source_index].get();
      if (ist->file_index == m.FileIndex && ist->st->index == m.StreamIndex)
        ost->audio_channels_map.push_back(m.ChannelIndex);
    }
  }
  return ost;
}

TOutputStream* NewSubtitleStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                                 int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_SUBTITLE, Source);
  Task.MatchCopyInitialNonkeyframes(o, oc, ost->copy_initial_nonkeyframes, ost->st);
  if (!ost->stream_copy) {
    const char* size = nullptr;
    Task.MatchFrameSizes(o, oc, size, ost->st);
    AVCodecContext* enc = ost->enc_ctx.get();
    if (size && ff::av_parse_video_size(&enc->width, &enc->height, size) < 0)
      Task.FatalErrorFmt("Invalid frame size: %s.", {size});
  }
  return ost;
}

TOutputStream* NewDataStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_DATA, Source);
  if (!ost->stream_copy) Task.FatalError("Data stream encoding not supported yet (only streamcopy)");
  return ost;
}

TOutputStream* NewUnknownStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_UNKNOWN, Source);
  if (!ost->stream_copy) Task.FatalError("Unknown stream encoding not supported yet (only streamcopy)");
  return ost;
}

TOutputStream* NewAttachmentStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                                   int Source) {
  TOutputStream* ost = NewOutputStream(Task, o, oc, AVMEDIA_TYPE_ATTACHMENT, Source);
  ost->stream_copy = 1;
  ost->finished = 1;
  return ost;
}

void RemoveOutputStreams(TCustomFFmpegOpt& Task, size_t From) {
  if (From >= Task.Foutput_streams.size()) return;
  // Graph outputs must not keep pointing at the records that go.
  for (auto& fg : Task.Ffiltergraphs)
    for (auto& ofilter : fg->outputs)
      for (size_t i = From; i < Task.Foutput_streams.size(); ++i)
        if (ofilter->ost == Task.Foutput_streams[i].get()) ofilter->ost = nullptr;
  Task.Foutput_streams.resize(From);
}

void FreeOutputStreams(TCustomFFmpegOpt& Task) {
  // Encoders and filters may raise floating-point exceptions while they are torn down.
  fenv_t env;
  std::feholdexcept(&env);
  try {
    // Each record frees what it owns; join copies hold the shared encoder
    // context and muxer through shared owners, so the last one frees them.
    RemoveOutputStreams(Task, 0);
  } catch (const Exception& e) {
    GlobalLogger()->Log(&Task, llError, Format("FreeOutputStreams() exception: %s", {e.Message}));
  }
  std::fesetenv(&env);
}
