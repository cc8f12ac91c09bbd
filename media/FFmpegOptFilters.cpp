// Simple and complex filter graphs of a conversion task.

#include "media/FFmpegOptFilters.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpegOptOpen.h"

String PointFormat(const char* Fmt, ...) {
  // The C library formats with the "C" numeric locale, which the process never changes.
  va_list args;
  va_start(args, Fmt);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, Fmt, copy);
  va_end(copy);
  String out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), size_t(n) + 1, Fmt, args);
  va_end(args);
  return out;
}

namespace {

// "key=value" pairs of a dictionary joined by ":".
String JoinDict(const AVDictionary* Dict) {
  String out;
  const AVDictionaryEntry* e = nullptr;
  while ((e = ff::av_dict_get(Dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
    if (!out.empty()) out += ':';
    out += e->key;
    out += '=';
    out += e->value;
  }
  return out;
}

String JoinNames(const std::vector<String>& Names) {
  String out;
  for (const String& n : Names) {
    if (!out.empty()) out += '|';
    out += n;
  }
  return out;
}

String ChannelLayoutName(const AVChannelLayout& Layout) {
  if (Layout.order == AV_CHANNEL_ORDER_NATIVE) return PointFormat("0x%" PRIx64, uint64_t(Layout.u.mask));
  char text[128] = {};
  ff::av_channel_layout_describe(&Layout, text, sizeof text);
  return text;
}

TInputFile* FileOf(TCustomFFmpegOpt& Task, const TInputStream* ist) {
  return Task.Finput_files[ist->file_index].get();
}

int LinkTo(AVFilterContext* Last, int Pad, AVFilterInOut* In) {
  return ff::avfilter_link(Last, unsigned(Pad), In->filter_ctx, unsigned(In->pad_idx));
}

// The trim window of an input file, in microseconds of its timeline.
int TrimInput(TCustomFFmpegOpt& Task, AVFilterGraph* Graph, TInputStream* ist, AVFilterContext** Last,
              int* Pad) {
  TInputFile* f = FileOf(Task, ist);
  int64_t tsoffset = 0;
  if (Task.Fcopy_ts) {
    tsoffset = f->start_time == AV_NOPTS_VALUE ? 0 : f->start_time;
    if (!Task.Fstart_at_zero && f->ctx->start_time != AV_NOPTS_VALUE) tsoffset += f->ctx->start_time;
  }
  const int64_t start = f->start_time != AV_NOPTS_VALUE && f->accurate_seek ? tsoffset : AV_NOPTS_VALUE;
  return InsertTrim(Graph, start, f->recording_time, Last, Pad,
                    Format("trim for input stream %d:%d", {ist->file_index, ist->st->index}));
}

int ConfigureInputVideoFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TInputFilter* ifilter,
                              AVFilterInOut* in) {
  TInputStream* ist = ifilter->ist;
  AVFilterGraph* graph = fg->graph.get();
  if (ist->dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
    GlobalLogger()->Log(&Task, llError, "Cannot connect video filter to audio input");
    return AVERROR(EINVAL);
  }
  const AVRational tb = ist->framerate.num ? av_inv_q(ist->framerate) : ist->st->time_base;
  const AVRational fr = ist->framerate.num
                            ? ist->framerate
                            : ff::av_guess_frame_rate(FileOf(Task, ist)->ctx.get(), ist->st, nullptr);
  if (ist->dec_ctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
    const int r = Sub2VideoPrepare(Task, ist);
    if (r < 0) return r;
  }
  AVRational sar =
      ist->st->sample_aspect_ratio.num ? ist->st->sample_aspect_ratio : ist->dec_ctx->sample_aspect_ratio;
  if (!sar.den) sar = AVRational{0, 1};
  const int pixFmt = ist->hwaccel_retrieve_data ? int(ist->hwaccel_retrieved_pix_fmt) : ist->resample_pix_fmt;
  String args =
      PointFormat("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", ist->resample_width,
                  ist->resample_height, pixFmt, tb.num, tb.den, sar.num, sar.den);
  if (fr.num && fr.den) args += PointFormat(":frame_rate=%d/%d", fr.num, fr.den);
  const String name =
      Format("graph %d input from stream %d:%d", {fg->index, ist->file_index, ist->st->index});
  int ret = ff::avfilter_graph_create_filter(&ifilter->filter, ff::avfilter_get_by_name("buffer"),
                                             name.c_str(), args.c_str(), nullptr, graph);
  if (ret < 0) return ret;
  AVFilterContext* last = ifilter->filter;
  int pad = 0;

  if (ist->autorotate) {
    const double theta = GetRotation(ist->st);
    if (std::fabs(theta - 90) < 1.0) {
      ret = InsertFilter(graph, &last, &pad, "transpose", "clock");
    } else if (std::fabs(theta - 180) < 1.0) {
      ret = InsertFilter(graph, &last, &pad, "hflip", "");
      if (ret >= 0) ret = InsertFilter(graph, &last, &pad, "vflip", "");
    } else if (std::fabs(theta - 270) < 1.0) {
      ret = InsertFilter(graph, &last, &pad, "transpose", "cclock");
    } else if (std::fabs(theta) > 1.0) {
      ret = InsertFilter(graph, &last, &pad, "rotate", PointFormat("%f*PI/180", theta));
    }
    if (ret < 0) return ret;
  }

  if (ist->framerate.num) {
    ret = InsertFilter(graph, &last, &pad, "setpts", "N",
                       Format("force CFR for input from stream %d:%d", {ist->file_index, ist->st->index}));
    if (ret < 0) return ret;
  }
  if (Task.Fdo_deinterlace) {
    ret = InsertFilter(graph, &last, &pad, "yadif", "",
                       Format("deinterlace input from stream %d:%d", {ist->file_index, ist->st->index}));
    if (ret < 0) return ret;
  }
  ret = TrimInput(Task, graph, ist, &last, &pad);
  if (ret < 0) return ret;
  return LinkTo(last, pad, in);
}

int ConfigureInputAudioFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TInputFilter* ifilter,
                              AVFilterInOut* in) {
  TInputStream* ist = ifilter->ist;
  AVCodecContext* dec = ist->dec_ctx.get();
  AVFilterGraph* graph = fg->graph.get();
  if (dec->codec_type != AVMEDIA_TYPE_AUDIO) {
    GlobalLogger()->Log(&Task, llError, "Cannot connect audio filter to non audio input");
    return AVERROR(EINVAL);
  }
  // Rebuilt for a change of format, the input takes the format of the frame
  // that brought the change: the decoder's context may already describe a
  // later packet, and a frame that does not match its buffer is refused.
  const bool rebuilt = fg->reconfiguration;
  const int rate = rebuilt ? ist->resample_sample_rate : dec->sample_rate;
  const AVSampleFormat fmt = rebuilt ? AVSampleFormat(ist->resample_sample_fmt) : dec->sample_fmt;
  const AVChannelLayout& layout = rebuilt ? *ist->resample_channel_layout : dec->ch_layout;
  const char* fmtName = ff::av_get_sample_fmt_name(fmt);
  String args = PointFormat("time_base=%d/%d:sample_rate=%d:sample_fmt=%s", 1, rate, rate, fmtName ? fmtName : "none");
  if (layout.order == AV_CHANNEL_ORDER_NATIVE)
    args += PointFormat(":channel_layout=0x%" PRIx64, uint64_t(layout.u.mask));
  else
    args += PointFormat(":channels=%d", layout.nb_channels);
  const String name =
      Format("graph %d input from stream %d:%d", {fg->index, ist->file_index, ist->st->index});
  int ret = ff::avfilter_graph_create_filter(&ifilter->filter, ff::avfilter_get_by_name("abuffer"),
                                             name.c_str(), args.c_str(), nullptr, graph);
  if (ret < 0) return ret;
  AVFilterContext* last = ifilter->filter;
  int pad = 0;

  // Options of the command line that are filters underneath.
  auto forward = [&](const char* optName, const char* filterName, const String& filterArgs) {
    GlobalLogger()->Log(
        &Task, llInfo,
        Format("%s is forwarded to lavfi similarly to -af %s=%s.", {optName, filterName, filterArgs}));
    return InsertFilter(graph, &last, &pad, filterName, filterArgs,
                        Format("graph %d %s for input stream %d:%d",
                               {fg->index, filterName, ist->file_index, ist->st->index}));
  };
  if (Task.Faudio_sync_method > 0) {
    // The drift threshold is single precision: it never equals 0.1 exactly,
    // so its value is always passed on.
    String a = PointFormat("async=%d", Task.Faudio_sync_method);
    if (double(Task.Faudio_drift_threshold) != 0.1)
      a += PointFormat(":min_hard_comp=%f", Task.Faudio_drift_threshold);
    if (!fg->reconfiguration) a += ":first_pts=0";
    ret = forward("-async", "aresample", a);
    if (ret < 0) return ret;
  }
  if (Task.Faudio_volume != 256) {
    GlobalLogger()->Log(&Task, llWarning, "-vol has been deprecated. Use the volume audio filter instead.");
    ret = forward("-vol", "volume", PointFormat("%f", Task.Faudio_volume / 256.0));
    if (ret < 0) return ret;
  }
  ret = TrimInput(Task, graph, ist, &last, &pad);
  if (ret < 0) return ret;
  return LinkTo(last, pad, in);
}

// The filters between an output pad and its sink that fit the frames to the
// encoder; *Last and *Pad follow them.
int ConfigureOutputVideoFilter(TCustomFFmpegOpt&, TOutputStream* ost, AVFilterGraph* graph,
                               AVFilterContext*& last, int& pad, const String& suffix) {
  AVCodecContext* enc = ost->enc_ctx.get();
  int ret = 0;
  if (enc->width || enc->height) {
    String args = PointFormat("%d:%d", enc->width, enc->height);
    const AVDictionaryEntry* e = nullptr;
    while ((e = ff::av_dict_get(ost->sws_dict.Get(), "", e, AV_DICT_IGNORE_SUFFIX)))
      args += PointFormat(":%s=%s", e->key, e->value);
    if (args.size() > 255) args.resize(255);
    ret = InsertFilter(graph, &last, &pad, "scale", args, "scaler for output stream " + suffix);
    if (ret < 0) return ret;
  }
  const String formats = ChoosePixFmts(ost, graph);
  if (!formats.empty()) {
    ret = InsertFilter(graph, &last, &pad, "format", formats, "pixel format for output stream " + suffix);
    if (ret < 0) return ret;
  }
  return 0;
}

int ConfigureOutputAudioFilter(TCustomFFmpegOpt& Task, TOutputStream* ost, AVFilterGraph* graph,
                               AVFilterContext*& last, int& pad, const String& suffix) {
  TOutputFile* of = Task.Foutput_files[ost->file_index].get();
  AVCodecContext* enc = ost->enc_ctx.get();
  int ret = 0;
  if (!ost->audio_channels_map.empty()) {
    AVChannelLayout layout{};
    ff::av_channel_layout_default(&layout, int(ost->audio_channels_map.size()));
    String args = ChannelLayoutName(layout);
    ff::av_channel_layout_uninit(&layout);
    for (size_t i = 0; i < ost->audio_channels_map.size(); ++i)
      if (ost->audio_channels_map[i] != -1)
        args += PointFormat("|c%d=c%d", int(i), ost->audio_channels_map[i]);
    GlobalLogger()->Log(
        &Task, llInfo,
        Format("%s is forwarded to lavfi similarly to -af %s=%s.", {"-map_channel", "pan", args}));
    ret = InsertFilter(graph, &last, &pad, "pan", args, "pan");
    if (ret < 0) return ret;
  }
  if (enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC && enc->ch_layout.nb_channels > 0) {
    const int channels = enc->ch_layout.nb_channels;
    ff::av_channel_layout_uninit(&enc->ch_layout);
    ff::av_channel_layout_default(&enc->ch_layout, channels);
  }
  const String fmts = ChooseSampleFmts(ost);
  const String rates = ChooseSampleRates(ost);
  const String layouts = ChooseChannelLayouts(ost);
  if (!fmts.empty() || !rates.empty() || !layouts.empty()) {
    String args;
    if (!fmts.empty()) args += "sample_fmts=" + fmts + ":";
    if (!rates.empty()) args += "sample_rates=" + rates + ":";
    if (!layouts.empty()) args += "channel_layouts=" + layouts + ":";
    if (args.size() > 255) args.resize(255);
    ret = InsertFilter(graph, &last, &pad, "aformat", args, "audio format for output stream " + suffix);
    if (ret < 0) return ret;
  }
  if (!ost->apad.empty() && of->shortest) {
    bool hasVideo = false;
    for (unsigned i = 0; i < of->ctx->nb_streams; ++i)
      if (of->ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) hasVideo = true;
    if (hasVideo) {
      GlobalLogger()->Log(
          &Task, llInfo,
          Format("%s is forwarded to lavfi similarly to -af %s=%s.", {"-apad", "apad", ost->apad}));
      ret = InsertFilter(graph, &last, &pad, "apad", ost->apad, "apad");
      if (ret < 0) return ret;
    }
  }
  return 0;
}

const char* CountText(const AVFilterInOut* List) {
  if (!List) return "0";
  return List->next ? ">1" : "1";
}

}  // namespace

AVPixelFormat ChoosePixelFmt(AVCodecContext* EncCtx, const AVCodec* Codec, AVPixelFormat Target) {
  if (!Codec || !Codec->pix_fmts) return Target;
  const AVPixelFormat* p = Codec->pix_fmts;
  if (EncCtx && EncCtx->strict_std_compliance <= FF_COMPLIANCE_UNOFFICIAL)
    p = UnofficialPixelFormats(Codec->id, p);
  const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(Target);
  const int hasAlpha = desc ? desc->nb_components % 2 == 0 : 0;
  AVPixelFormat best = AV_PIX_FMT_NONE;
  for (; *p != AV_PIX_FMT_NONE; ++p) {
    best = ff::av_find_best_pix_fmt_of_2(best, *p, Target, hasAlpha, nullptr);
    if (*p == Target) return Target;
  }
  if (Target != AV_PIX_FMT_NONE)
    ff::av_log(nullptr, AV_LOG_WARNING,
               "Incompatible pixel format \"%s\" for codec \"%s\", auto-selecting format \"%s\"\n",
               ff::av_get_pix_fmt_name(Target), Codec->name, ff::av_get_pix_fmt_name(best));
  return best;
}

String ChoosePixFmts(TOutputStream* ost, AVFilterGraph* Graph) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (const char* strict = ost->encoder_opts.Value("strict"))
    ff::av_opt_set(enc, "strict", strict, 0);  // governs the unofficial lists below
  if (ost->keep_pix_fmt) {
    if (Graph) ff::avfilter_graph_set_auto_convert(Graph, AVFILTER_AUTO_CONVERT_NONE);
    if (enc->pix_fmt == AV_PIX_FMT_NONE) return String();
    return ff::av_get_pix_fmt_name(enc->pix_fmt);
  }
  if (enc->pix_fmt != AV_PIX_FMT_NONE)
    return ff::av_get_pix_fmt_name(ChoosePixelFmt(enc, ost->enc, enc->pix_fmt));
  if (ost->enc && ost->enc->pix_fmts) {
    const AVPixelFormat* p = ost->enc->pix_fmts;
    if (enc->strict_std_compliance <= FF_COMPLIANCE_UNOFFICIAL) p = UnofficialPixelFormats(ost->enc->id, p);
    std::vector<String> names;
    for (; *p != AV_PIX_FMT_NONE; ++p) names.push_back(ff::av_get_pix_fmt_name(*p));
    return JoinNames(names);
  }
  return String();
}

String ChooseSampleFmts(TOutputStream* ost) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (enc->sample_fmt != AV_SAMPLE_FMT_NONE) return ff::av_get_sample_fmt_name(enc->sample_fmt);
  if (ost->enc && ost->enc->sample_fmts) {
    std::vector<String> names;
    for (const AVSampleFormat* p = ost->enc->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
      names.push_back(ff::av_get_sample_fmt_name(*p));
    return JoinNames(names);
  }
  return String();
}

String ChooseSampleRates(TOutputStream* ost) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (enc->sample_rate) return PointFormat("%d", enc->sample_rate);
  if (ost->enc && ost->enc->supported_samplerates) {
    std::vector<String> names;
    for (const int* p = ost->enc->supported_samplerates; *p; ++p) names.push_back(PointFormat("%d", *p));
    return JoinNames(names);
  }
  return String();
}

String ChooseChannelLayouts(TOutputStream* ost) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (enc->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) return ChannelLayoutName(enc->ch_layout);
  if (ost->enc && ost->enc->ch_layouts) {
    std::vector<String> names;
    for (const AVChannelLayout* p = ost->enc->ch_layouts; p->nb_channels; ++p)
      names.push_back(ChannelLayoutName(*p));
    return JoinNames(names);
  }
  return String();
}

TFilterGraph* InitSimpleFilterGraph(TCustomFFmpegOpt& Task, TInputStream* ist, TOutputStream* ost) {
  auto fg = std::make_unique<TFilterGraph>();
  fg->index = int(Task.Ffiltergraphs.size());
  auto ofilter = std::make_unique<TOutputFilter>();
  ofilter->ost = ost;
  ofilter->graph = fg.get();
  ofilter->type_ = ost->st->codecpar->codec_type;
  ost->filter = ofilter.get();
  fg->outputs.push_back(std::move(ofilter));
  auto ifilter = std::make_unique<TInputFilter>();
  ifilter->ist = ist;
  ifilter->graph = fg.get();
  ist->filters.push_back(ifilter.get());
  fg->inputs.push_back(std::move(ifilter));
  Task.Ffiltergraphs.push_back(std::move(fg));
  return Task.Ffiltergraphs.back().get();
}

void InitInputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, AVFilterInOut* in) {
  const AVMediaType type = ff::avfilter_pad_get_type(in->filter_ctx->input_pads, in->pad_idx);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
    Task.FatalError("Only video and audio filters supported currently.");
  const String desc = fg->graph_desc.value_or(String());
  TInputStream* ist = nullptr;
  if (in->name) {
    char* rest = nullptr;
    const int fileIndex = int(ff::strtol(in->name, &rest, 0));
    if (fileIndex < 0 || fileIndex >= int(Task.Finput_files.size()))
      Task.FatalErrorFmt("Invalid file index %d in filtergraph description %s.", {fileIndex, desc});
    TInputFile* f = Task.Finput_files[fileIndex].get();
    const char* spec = *rest == ':' ? rest + 1 : rest;
    AVFormatContext* s = f->ctx.get();
    for (int i = 0; s && i < int(s->nb_streams); ++i) {
      const AVMediaType stype = s->streams[i]->codecpar->codec_type;
      if (stype != type && !(stype == AVMEDIA_TYPE_SUBTITLE && type == AVMEDIA_TYPE_VIDEO)) continue;
      if (CheckStreamSpecifier(s, s->streams[i], spec) == 1) {
        ist = Task.Finput_streams[f->ist_index + i].get();
        break;
      }
    }
    if (!ist)
      Task.FatalErrorFmt("Stream specifier \"%s\" in filtergraph description %s matches no streams.",
                         {spec, desc});
  } else {
    for (const auto& candidate : Task.Finput_streams)
      if (candidate->dec_ctx && candidate->dec_ctx->codec_type == type && candidate->discard) {
        ist = candidate.get();
        break;
      }
    if (!ist)
      Task.FatalErrorFmt("Cannot find a matching stream for unlabeled input pad %d on filter %s",
                         {in->pad_idx, in->filter_ctx->name});
  }
  ist->discard = 0;
  ist->decoding_needed |= 2;
  ist->st->discard = AVDISCARD_NONE;
  auto ifilter = std::make_unique<TInputFilter>();
  ifilter->ist = ist;
  ifilter->graph = fg;
  ist->filters.push_back(ifilter.get());
  fg->inputs.push_back(std::move(ifilter));
}

int InitComplexFilterGraph(TCustomFFmpegOpt& Task, TFilterGraph* fg) {
  UniqueFilterGraph graph(ff::avfilter_graph_alloc());
  if (!graph) return AVERROR(ENOMEM);
  AVFilterInOut* inputs = nullptr;
  AVFilterInOut* outputs = nullptr;
  const String desc = fg->graph_desc.value_or(String());
  const int ret = ff::avfilter_graph_parse2(graph.get(), desc.c_str(), &inputs, &outputs);
  UniqueFilterInOut inputsOwner(inputs);
  UniqueFilterInOut outputsOwner(outputs);
  if (ret < 0) return ret;
  for (AVFilterInOut* cur = inputs; cur; cur = cur->next) InitInputFilter(Task, fg, cur);
  while (AVFilterInOut* cur = outputsOwner.release()) {
    outputsOwner.reset(cur->next);
    cur->next = nullptr;
    auto ofilter = std::make_unique<TOutputFilter>();
    ofilter->graph = fg;
    ofilter->out_tmp.reset(cur);
    ofilter->type_ = ff::avfilter_pad_get_type(cur->filter_ctx->output_pads, cur->pad_idx);
    fg->outputs.push_back(std::move(ofilter));
  }
  // The pads point into the temporary graph; the names and types are what is kept.
  return ret;
}

String DescribeFilterLink(AVFilterInOut* InOut, bool IsInput) {
  AVFilterContext* ctx = InOut->filter_ctx;
  String out = ctx->filter->name;
  const unsigned count = IsInput ? ctx->nb_inputs : ctx->nb_outputs;
  if (count > 1)
    out +=
        String(":") + ff::avfilter_pad_get_name(IsInput ? ctx->input_pads : ctx->output_pads, InOut->pad_idx);
  return out;
}

int InsertTrim(AVFilterGraph* Graph, int64_t StartTime, int64_t Duration, AVFilterContext** Last, int* Pad,
               const String& FilterName) {
  if (Duration == INT64_MAX && StartTime == AV_NOPTS_VALUE) return 0;
  const AVMediaType type = ff::avfilter_pad_get_type((*Last)->output_pads, *Pad);
  const char* name = type == AVMEDIA_TYPE_VIDEO ? "trim" : "atrim";
  const AVFilter* trim = ff::avfilter_get_by_name(name);
  if (!trim) {
    ff::av_log(nullptr, AV_LOG_ERROR, "%s filter not present, cannot limit recording time.\n", name);
    return AVERROR_FILTER_NOT_FOUND;
  }
  AVFilterContext* ctx = ff::avfilter_graph_alloc_filter(Graph, trim, FilterName.c_str());
  if (!ctx) return AVERROR(ENOMEM);
  int ret = 0;
  if (Duration != INT64_MAX) ret = ff::av_opt_set_int(ctx, "durationi", Duration, AV_OPT_SEARCH_CHILDREN);
  if (ret >= 0 && StartTime != AV_NOPTS_VALUE)
    ret = ff::av_opt_set_int(ctx, "starti", StartTime, AV_OPT_SEARCH_CHILDREN);
  if (ret < 0) {
    ff::av_log(ctx, AV_LOG_ERROR, "Error configuring the %s filter\n", name);
    return ret;
  }
  ret = ff::avfilter_init_str(ctx, nullptr);
  if (ret < 0) return ret;
  ret = ff::avfilter_link(*Last, unsigned(*Pad), ctx, 0);
  if (ret < 0) return ret;
  *Last = ctx;
  *Pad = 0;
  return 0;
}

int InsertFilter(AVFilterGraph* Graph, AVFilterContext** Last, int* Pad, const char* FilterName,
                 const String& Args, const String& InstanceName) {
  AVFilterContext* ctx = nullptr;
  int ret = ff::avfilter_graph_create_filter(&ctx, ff::avfilter_get_by_name(FilterName),
                                             InstanceName.empty() ? FilterName : InstanceName.c_str(),
                                             Args.c_str(), nullptr, Graph);
  if (ret < 0) return ret;
  ret = ff::avfilter_link(*Last, unsigned(*Pad), ctx, 0);
  if (ret < 0) return ret;
  *Last = ctx;
  *Pad = 0;
  return 0;
}

int ConfigureInputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TInputFilter* ifilter, AVFilterInOut* in) {
  ifilter->name = DescribeFilterLink(in, true);
  TInputStream* ist = ifilter->ist;
  if (!ist->avdec) {
    GlobalLogger()->Log(
        &Task, llError,
        Format("No decoder for stream #%d:%d, filtering impossible", {ist->file_index, ist->st->index}));
    return AVERROR_DECODER_NOT_FOUND;
  }
  switch (ff::avfilter_pad_get_type(in->filter_ctx->input_pads, in->pad_idx)) {
    case AVMEDIA_TYPE_VIDEO:
      return ConfigureInputVideoFilter(Task, fg, ifilter, in);
    case AVMEDIA_TYPE_AUDIO:
      return ConfigureInputAudioFilter(Task, fg, ifilter, in);
    default:
      throw FFmpegException("Never occur");
  }
}

int ConfigureOutputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TOutputFilter* ofilter,
                          AVFilterInOut* out) {
  ofilter->name = DescribeFilterLink(out, false);
  TOutputStream* ost = ofilter->ost;
  if (!ost) Task.FatalErrorFmt("Filter %s has a unconnected output", {out->name ? out->name : ""});
  const AVMediaType type = ff::avfilter_pad_get_type(out->filter_ctx->output_pads, out->pad_idx);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) throw FFmpegException("Never occur");
  const bool video = type == AVMEDIA_TYPE_VIDEO;
  AVFilterGraph* graph = fg->graph.get();
  const String suffix = Format("%d:%d", {ost->file_index, ost->index});
  int ret = ff::avfilter_graph_create_filter(&ofilter->filter,
                                             ff::avfilter_get_by_name(video ? "buffersink" : "abuffersink"),
                                             ("output stream " + suffix).c_str(), nullptr, nullptr, graph);
  if (ret < 0) return ret;
  if (!video &&
      (ret = ff::av_opt_set_int(ofilter->filter, "all_channel_counts", 1, AV_OPT_SEARCH_CHILDREN)) < 0)
    return ret;
  AVFilterContext* last = out->filter_ctx;
  int pad = out->pad_idx;
  ret = video ? ConfigureOutputVideoFilter(Task, ost, graph, last, pad, suffix)
              : ConfigureOutputAudioFilter(Task, ost, graph, last, pad, suffix);
  if (ret < 0) return ret;
  const TOutputFile* of = Task.Foutput_files[ost->file_index].get();
  ret =
      InsertTrim(graph, of->start_time, of->recording_time, &last, &pad, "trim for output stream " + suffix);
  if (ret < 0) return ret;
  return ff::avfilter_link(last, unsigned(pad), ofilter->filter, 0);
}

int ConfigureFilterGraph(TCustomFFmpegOpt& Task, TFilterGraph* fg) {
  const bool simple = fg->IsSimple();
  TOutputStream* simpleOst = simple && !fg->outputs.empty() ? fg->outputs[0]->ost : nullptr;
  const String desc = simple ? (simpleOst ? simpleOst->avfilter : String()) : *fg->graph_desc;

  // The pads of the previous graph belong to it; they are rebuilt below.
  for (auto& i : fg->inputs) i->filter = nullptr;
  for (auto& o : fg->outputs) o->filter = nullptr;
  fg->graph.reset(ff::avfilter_graph_alloc());
  if (!fg->graph) return AVERROR(ENOMEM);
  AVFilterGraph* graph = fg->graph.get();

  if (simpleOst) {
    String sws = JoinDict(simpleOst->sws_dict.Get());
    if (!ff::av_dict_get(simpleOst->sws_dict.Get(), "flags", nullptr, 0)) {
      // Scaler flags the decoded pictures are converted with.
      const TInputStream* ist = fg->inputs.empty() ? nullptr : fg->inputs[0]->ist;
      const bool bitexact = ist && ist->dec_ctx && (ist->dec_ctx->flags & AV_CODEC_FLAG_BITEXACT);
      sws = String(bitexact ? "flags=bilinear+bitexact" : "flags=bilinear") + (sws.empty() ? "" : ":" + sws);
    }
    if (sws.size() > 511) sws.resize(511);
    graph->scale_sws_opts = ff::av_strdup(sws.c_str());
    const String swr = JoinDict(simpleOst->swr_opts.Get());
    if (!swr.empty()) ff::av_opt_set(graph, "aresample_swr_opts", swr.c_str(), 0);
    if (const char* threads = simpleOst->encoder_opts.Value("threads"))
      ff::av_opt_set(graph, "threads", threads, 0);
  }

  AVFilterInOut* inputs = nullptr;
  AVFilterInOut* outputs = nullptr;
  int ret = ff::avfilter_graph_parse2(graph, desc.c_str(), &inputs, &outputs);
  UniqueFilterInOut inputsOwner(inputs);
  UniqueFilterInOut outputsOwner(outputs);
  if (ret < 0) return ret;

  if (simple && (!inputs || inputs->next || !outputs || outputs->next)) {
    GlobalLogger()->Log(
        &Task, llError,
        Format(
            "Simple filtergraph \"%s\" was expected to have exactly 1 input and 1 output. However, it had %s "
            "input(s) and %s output(s). Please adjust, or use a complex filtergraph (-filter_complex) "
            "instead.",
            {desc, CountText(inputs), CountText(outputs)}));
    return AVERROR(EINVAL);
  }

  size_t i = 0;
  for (AVFilterInOut* cur = inputs; cur; cur = cur->next, ++i) {
    if (i >= fg->inputs.size()) return AVERROR(EINVAL);
    ret = ConfigureInputFilter(Task, fg, fg->inputs[i].get(), cur);
    if (ret < 0) return ret;
  }
  inputsOwner.reset();
  i = 0;
  for (AVFilterInOut* cur = outputs; cur; cur = cur->next, ++i) {
    if (i >= fg->outputs.size()) return AVERROR(EINVAL);
    ret = ConfigureOutputFilter(Task, fg, fg->outputs[i].get(), cur);
    if (ret < 0) return ret;
  }
  outputsOwner.reset();

  ret = ff::avfilter_graph_config(graph, nullptr);
  if (ret < 0) return ret;
  fg->reconfiguration = 1;

  for (auto& ofilter : fg->outputs) {
    TOutputStream* ost = ofilter->ost;
    if (!ost->enc) {
      GlobalLogger()->Log(
          &Task, llError,
          Format("Encoder (codec %s) not found for output stream #%d:%d",
                 {ff::avcodec_get_name(ost->st->codecpar->codec_id), ost->file_index, ost->index}));
      return AVERROR(EINVAL);
    }
    if (ost->enc->type == AVMEDIA_TYPE_AUDIO &&
        !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && ost->enc_ctx->frame_size > 0)
      ff::av_buffersink_set_frame_size(ofilter->filter, unsigned(ost->enc_ctx->frame_size));
  }
  return 0;
}

int InputStreamInFilterGraph(TFilterGraph* fg, TInputStream* ist) {
  for (const auto& i : fg->inputs)
    if (i->ist == ist) return 1;
  return 0;
}

int Sub2VideoPrepare(TCustomFFmpegOpt& Task, TInputStream* ist) {
  AVCodecContext* dec = ist->dec_ctx.get();
  int w = dec->width;
  int h = dec->height;
  if (!w || !h) {
    TInputFile* f = FileOf(Task, ist);
    for (unsigned i = 0; i < f->ctx->nb_streams; ++i) {
      const AVCodecParameters* par = f->ctx->streams[i]->codecpar;
      if (par->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      w = std::max(w, par->width);
      h = std::max(h, par->height);
    }
    if (!(w && h)) {
      w = std::max(w, 720);
      h = std::max(h, 576);
    }
    ff::av_log(f->ctx.get(), AV_LOG_INFO, "sub2video: using %dx%d canvas\n", w, h);
  }
  ist->sub2video.w = ist->resample_width = w;
  ist->sub2video.h = ist->resample_height = h;
  ist->resample_pix_fmt = dec->pix_fmt = AV_PIX_FMT_RGB32;
  ist->sub2video.frame.reset(ff::av_frame_alloc());
  if (!ist->sub2video.frame) return AVERROR(ENOMEM);
  ist->sub2video.last_pts = INT64_MIN;
  return 0;
}
