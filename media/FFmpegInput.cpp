// Transcode input side: reading one packet of an input with its timestamp
// repairs, looping and the end of an input (join switch-over included);
// decoding (send/receive, one frame per call while draining), the input
// hooks, pushing frames into the filter graphs, and stream copy.

#include <cmath>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpeg.h"
#include "media/FFmpegTimestamps.h"
#include "media/UnicodeProtocol.h"
#include "media/FFmpegOptFilters.h"

using namespace fftime;

namespace {

String SampleFmtName(int Fmt) {
  const char* n = ff::av_get_sample_fmt_name(AVSampleFormat(Fmt));
  return n ? n : "?";
}

String LayoutText(const AVChannelLayout& Layout) {
  char buf[64] = {};
  ff::av_channel_layout_describe(&Layout, buf, sizeof buf);
  return buf;
}

String PixFmtName(int Fmt) {
  const char* n = ff::av_get_pix_fmt_name(AVPixelFormat(Fmt));
  return n ? n : "?";
}

}  // namespace

void TCustomFFmpeg::ResetEAgain() {
  for (auto& f : Finput_files) f->eagain = 0;
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) Foutput_streams[i]->unavailable = 0;
}

int TCustomFFmpeg::GetInputPacket(TInputFile* f, AVPacket* pkt) {
  // A stopped task's last reads are not paced.
  if (f->rate_emu && !FBroken.load()) {
    for (int i = 0; i < f->nb_streams; ++i) {
      TInputStream* ist = Finput_streams[f->ist_index + i].get();
      const int64_t pts = ff::av_rescale(ist->dts, 1000000, AV_TIME_BASE);
      const int64_t now = ff::av_gettime_relative() - ist->start - FTotalPauseTime.load();
      if (pts > now) return AVERROR(EAGAIN);
    }
  }
  return ff::av_read_frame(f->ctx.get(), pkt);
}

int TCustomFFmpeg::SeekToStart(TInputFile* f) {
  AVFormatContext* is = f->ctx.get();
  int ret = ff::av_seek_frame(is, -1, is->start_time, 0);
  if (ret < 0) return ret;
  bool hasAudio = false;
  for (int i = 0; i < f->nb_streams; ++i) {
    TInputStream* ist = Finput_streams[f->ist_index + i].get();
    if (ist->decoding_needed) {
      // Every frame the decoder still holds, one per call, before it forgets them.
      while (ProcessInputPacket(ist, nullptr, 1) > 0) {
      }
      ff::avcodec_flush_buffers(ist->dec_ctx.get());
      FDrainSent.erase(ist);
    }
    if (ist->dec_ctx && ist->dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO && ist->nb_samples) hasAudio = true;
  }
  for (int i = 0; i < f->nb_streams; ++i) {
    TInputStream* ist = Finput_streams[f->ist_index + i].get();
    const AVRational stb = ist->st->time_base;
    int64_t duration;
    if (hasAudio) {
      if (!(ist->dec_ctx && ist->dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO && ist->nb_samples)) continue;
      duration = ff::av_rescale_q(ist->nb_samples, AVRational{1, ist->dec_ctx->sample_rate}, stb);
    } else if (ist->framerate.num) {
      duration = ff::av_rescale_q(1, av_inv_q(ist->framerate), stb);
    } else if (ist->st->avg_frame_rate.num) {
      duration = ff::av_rescale_q(1, av_inv_q(ist->st->avg_frame_rate), stb);
    } else {
      duration = 1;
    }
    if (!f->duration) f->time_base = stb;
    if (ist->max_pts > ist->min_pts) duration += ist->max_pts - ist->min_pts;
    // The longer of the file's length so far and this stream's.
    if (!f->duration || ff::av_compare_ts(f->duration, f->time_base, duration, stb) < 0) {
      f->duration = duration;
      f->time_base = stb;
    }
  }
  if (f->loop > 0) f->loop--;
  return ret;
}

int TCustomFFmpeg::ProcessInput(int FileIndex) {
  TInputFile* ifile = Finput_files[FileIndex].get();
  AVFormatContext* is = ifile->ctx.get();
  AVPacket* pkt = FWorkPacket.get();
  ff::av_packet_unref(pkt);

  StampRead();
  int ret = GetInputPacket(ifile, pkt);
  if (ret == AVERROR(EAGAIN)) {
    ifile->eagain = 1;
    return ret;
  }
  if (ret < 0 && ifile->loop) {
    ret = SeekToStart(ifile);
    if (ret < 0) return ret;
    StampRead();
    ret = GetInputPacket(ifile, pkt);
  }
  if (ret < 0) {
    if (ret != AVERROR_EOF) {
      const String text = ErrorCodeToText(FromLibraryFileName(is->url), ret);
      if (Fexit_on_error) FatalError(text);
      GlobalLogger()->Log(this, llError, text);
      // A stop ends a blocked read the same way; that is no failure of the input.
      if (!FBroken.load()) NoteRunError(text);
    }
    if (FJoinMode && FileIndex < int(Finput_files.size()) - 1) return JoinSwitchOver(FileIndex);
    for (int i = 0; i < ifile->nb_streams; ++i) {
      TInputStream* ist = Finput_streams[ifile->ist_index + i].get();
      if (ist->decoding_needed && ProcessInputPacket(ist, nullptr, 0) > 0) return 0;
      for (auto& ost : Foutput_streams)
        if (ost->source_index == ifile->ist_index + i &&
            (ost->stream_copy || (ost->enc && ost->enc->type == AVMEDIA_TYPE_SUBTITLE)))
          FinishOutputStream(ost.get());
    }
    ifile->eof_reached = 1;
    return AVERROR(EAGAIN);
  }

  ResetEAgain();
  if (Fdo_pkt_dump) ff::av_pkt_dump_log2(nullptr, AV_LOG_INFO, pkt, Fdo_hex_dump, is->streams[pkt->stream_index]);

  if (pkt->stream_index >= ifile->nb_streams) {
    if (pkt->stream_index >= ifile->nb_streams_warn) {
      AVStream* st = is->streams[pkt->stream_index];
      ff::av_log(is, AV_LOG_WARNING, "New %s stream %d:%d at pos:%" PRId64 " and DTS:%ss\n",
                 ff::av_get_media_type_string(st->codecpar->codec_type), FileIndex, pkt->stream_index, pkt->pos,
                 TimeText(pkt->dts, st->time_base).c_str());
      ifile->nb_streams_warn = pkt->stream_index + 1;
    }
    ff::av_packet_unref(pkt);
    return 0;
  }

  TInputStream* ist = Finput_streams[ifile->ist_index + pkt->stream_index].get();
  AVStream* st = ist->st;
  const AVRational stb = st->time_base;
  ist->data_size += pkt->size;
  ist->nb_packets++;
  if (ist->discard) {
    ff::av_packet_unref(pkt);
    return 0;
  }
  if (Fexit_on_error && (pkt->flags & AV_PKT_FLAG_CORRUPT))
    FatalErrorFmt("%s: corrupt input packet in stream %d", {FromLibraryFileName(is->url), pkt->stream_index});

  const AVMediaType type = ist->dec_ctx ? ist->dec_ctx->codec_type : st->codecpar->codec_type;
  if (Fdebug_ts)
    GlobalLogger()->Log(
        this, llInfo,
        Format("demuxer -> ist_index:%d type:%s next_dts:%s next_dts_time:%s next_pts:%s next_pts_time:%s "
               "pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s off:%s off_time:%s",
               {ifile->ist_index + pkt->stream_index, ff::av_get_media_type_string(type), TsText(ist->next_dts),
                TimeText(ist->next_dts, MicroTB), TsText(ist->next_pts), TimeText(ist->next_pts, MicroTB),
                TsText(pkt->pts), TimeText(pkt->pts, stb), TsText(pkt->dts), TimeText(pkt->dts, stb),
                TsText(ifile->ts_offset), TimeText(ifile->ts_offset, MicroTB)}));

  // Wrap-around of timestamps with fewer than 64 bits.
  if (!ist->wrap_correction_done && is->start_time != AV_NOPTS_VALUE && st->pts_wrap_bits < 64) {
    if (ist->next_dts == AV_NOPTS_VALUE && ifile->ts_offset == -is->start_time &&
        (is->iformat->flags & AVFMT_TS_DISCONT)) {
      int64_t newStart = INT64_MAX;
      for (unsigned i = 0; i < is->nb_streams; ++i) {
        AVStream* s = is->streams[i];
        if (s->discard == AVDISCARD_ALL || s->start_time == AV_NOPTS_VALUE) continue;
        newStart = std::min(newStart, ff::av_rescale_q(s->start_time, s->time_base, MicroTB));
      }
      if (newStart > is->start_time) {
        ff::av_log(is, AV_LOG_VERBOSE, "Correcting start time by %" PRId64 "\n", newStart - is->start_time);
        ifile->ts_offset = -newStart;
      }
    }
    const int64_t stime = ff::av_rescale_q(is->start_time, MicroTB, stb);
    const int64_t stime2 = stime + (int64_t(1) << st->pts_wrap_bits);
    ist->wrap_correction_done = 1;
    if (stime2 > stime && pkt->dts != AV_NOPTS_VALUE && pkt->dts > stime + (int64_t(1) << (st->pts_wrap_bits - 1))) {
      pkt->dts -= int64_t(1) << st->pts_wrap_bits;
      ist->wrap_correction_done = 0;
    }
    if (stime2 > stime && pkt->pts != AV_NOPTS_VALUE && pkt->pts > stime + (int64_t(1) << (st->pts_wrap_bits - 1))) {
      pkt->pts -= int64_t(1) << st->pts_wrap_bits;
      ist->wrap_correction_done = 0;
    }
  }

  // Stream-level side data goes with the first packet.
  if (ist->nb_packets == 1) {
    for (int i = 0; i < st->nb_side_data; ++i) {
      const AVPacketSideData& src = st->side_data[i];
      if (ff::av_packet_get_side_data(pkt, src.type, nullptr)) continue;
      if (ist->autorotate && src.type == AV_PKT_DATA_DISPLAYMATRIX) continue;
      uint8_t* dst = ff::av_packet_new_side_data(pkt, src.type, src.size);
      if (!dst) FatalError("av_packet_new_side_data() failed");
      std::memcpy(dst, src.data, src.size);
    }
  }

  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += ff::av_rescale_q(ifile->ts_offset, MicroTB, stb);
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += ff::av_rescale_q(ifile->ts_offset, MicroTB, stb);
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = RoundEven(double(pkt->pts) * ist->ts_scale);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = RoundEven(double(pkt->dts) * ist->ts_scale);

  const auto rnd = AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);
  int64_t pktDts = ff::av_rescale_q_rnd(pkt->dts, stb, MicroTB, rnd);
  const bool av = type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
  const bool discont = (is->iformat->flags & AVFMT_TS_DISCONT) != 0;
  const double deltaLimit = double(Fdts_delta_threshold) * 1000000;
  if (av && pktDts != AV_NOPTS_VALUE && ist->next_dts == AV_NOPTS_VALUE && !Fcopy_ts && discont &&
      ifile->last_ts != AV_NOPTS_VALUE && !FJoinMode) {
    const int64_t delta = pktDts - ifile->last_ts;
    if (double(delta) < -deltaLimit || double(delta) > deltaLimit) {
      ifile->ts_offset -= delta;
      GlobalLogger()->Log(this, llDebug,
                          Format("Inter stream timestamp discontinuity %d, new offset= %d", {delta, ifile->ts_offset}));
      pkt->dts -= ff::av_rescale_q(delta, MicroTB, stb);
      if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= ff::av_rescale_q(delta, MicroTB, stb);
    }
  }

  const int64_t loopOffset = ff::av_rescale_q(ifile->duration, ifile->time_base, stb);
  if (pkt->pts != AV_NOPTS_VALUE) {
    pkt->pts += loopOffset;
    ist->max_pts = std::max(pkt->pts, ist->max_pts);
    ist->min_pts = std::min(pkt->pts, ist->min_pts);
  }
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += loopOffset;

  pktDts = ff::av_rescale_q_rnd(pkt->dts, stb, MicroTB, rnd);
  if (av && pktDts != AV_NOPTS_VALUE && ist->next_dts != AV_NOPTS_VALUE && !Fcopy_ts) {
    int64_t delta = pktDts - ist->next_dts;
    if (discont && !FJoinMode) {
      if (double(delta) < -deltaLimit || double(delta) > deltaLimit ||
          pktDts + AV_TIME_BASE / 10 < std::max(ist->pts, ist->dts)) {
        ifile->ts_offset -= delta;
        GlobalLogger()->Log(this, llDebug,
                            Format("timestamp discontinuity %d, new offset= %d", {delta, ifile->ts_offset}));
        pkt->dts -= ff::av_rescale_q(delta, MicroTB, stb);
        if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= ff::av_rescale_q(delta, MicroTB, stb);
      }
    } else {
      const double limit = double(Fdts_error_threshold) * 1000000;
      if (double(delta) < -limit || double(delta) > limit) {
        GlobalLogger()->Log(this, llWarning, Format("DTS %d, next:%d st:%d invalid dropping",
                                                    {pkt->dts, ist->next_dts, pkt->stream_index}));
        pkt->dts = AV_NOPTS_VALUE;
      }
      if (pkt->pts != AV_NOPTS_VALUE) {
        delta = ff::av_rescale_q(pkt->pts, stb, MicroTB) - ist->next_dts;
        if (double(delta) < -limit || double(delta) > limit) {
          GlobalLogger()->Log(this, llWarning, Format("PTS %d, next:%d invalid dropping st:%d",
                                                      {pkt->pts, ist->next_dts, pkt->stream_index}));
          pkt->pts = AV_NOPTS_VALUE;
        }
      }
    }
  }
  if (pkt->dts != AV_NOPTS_VALUE) ifile->last_ts = ff::av_rescale_q(pkt->dts, stb, MicroTB);

  if (Fdebug_ts)
    GlobalLogger()->Log(this, llInfo,
                        Format("demuxer+razeredov -> ist_index:%d type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s "
                               "pkt_dts_time:%s off:%s off_time:%s",
                               {ifile->ist_index + pkt->stream_index, ff::av_get_media_type_string(type),
                                TsText(pkt->pts), TimeText(pkt->pts, stb), TsText(pkt->dts), TimeText(pkt->dts, stb),
                                TsText(ifile->ts_offset), TimeText(ifile->ts_offset, MicroTB)}));

  Sub2VideoHeartbeat(ist, pkt->pts);
  ProcessInputPacket(ist, pkt, 0);
  ff::av_packet_unref(pkt);
  return 0;
}

// ---------------------------------------------------------------------------
// Decoding

void TCustomFFmpeg::CheckDecodeResult(TInputStream* ist, int GotOutput, const char* Word, int Result) {
  if (GotOutput || Result < 0) Fdecode_error_stat[Result < 0 ? 1 : 0]++;
  if (Result < 0 && Fexit_on_error) FatalErrorFmt("decode %s error", {Word});
  if (Fexit_on_error && GotOutput && ist && ist->decoded_frame &&
      (ist->decoded_frame->decode_error_flags || (ist->decoded_frame->flags & AV_FRAME_FLAG_CORRUPT))) {
    const String text = Format("%s: corrupt decoded frame in stream %d",
                               {FromLibraryFileName(Finput_files[ist->file_index]->ctx->url), ist->st->index});
    FatalError(text);
  }
}

int TCustomFFmpeg::PushFrameToFilters(TInputStream* ist, AVFrame* frame) {
  int err = 0;
  const size_t n = ist->filters.size();
  for (size_t i = 0; i < n && err >= 0; ++i) {
    AVFrame* f = frame;
    if (i + 1 < n) {
      f = ist->filter_frame.get();
      if ((err = ff::av_frame_ref(f, frame)) < 0) break;
    }
    if (f->format == AV_PIX_FMT_NONE) continue;
    if (ist->dec_ctx->codec_type == AVMEDIA_TYPE_VIDEO && !f->sample_aspect_ratio.num)
      f->sample_aspect_ratio = ist->st->sample_aspect_ratio;
    err = ff::av_buffersrc_add_frame_flags(ist->filters[i]->filter, f, AV_BUFFERSRC_FLAG_PUSH);
    if (err == AVERROR_EOF) err = 0;
  }
  return err;
}

int TCustomFFmpeg::AudioFrameDecoded(TInputStream* ist, AVFrame* frame, AVPacket* pkt) {
  AVCodecContext* dec = ist->dec_ctx.get();
  if (frame->nb_samples < 1) FatalErrorFmt("the decoder \"%s\" return bad result.", {ist->avdec->name});
  ist->samples_decoded += frame->nb_samples;
  ist->frames_decoded++;
  ist->next_pts += int64_t(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;
  ist->next_dts += int64_t(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;

  if (OnInputAudioHook) {
    // Only a writable frame may be edited in place.
    if (ff::av_frame_make_writable(frame) >= 0) {
      THandlerScope scope(this);
      OnInputAudioHook(this, ist->pts, frame,
                       dec->ch_layout.nb_channels * frame->nb_samples * ff::av_get_bytes_per_sample(dec->sample_fmt),
                       dec->sample_rate, dec->ch_layout.nb_channels, dec->sample_fmt);
    }
  }

  const bool changed = ist->resample_sample_fmt != frame->format ||
                       ist->resample_channels != frame->ch_layout.nb_channels ||
                       ff::av_channel_layout_compare(&*ist->resample_channel_layout, &frame->ch_layout) != 0 ||
                       ist->resample_sample_rate != frame->sample_rate;
  if (changed) {
    if (!GuessInputChannelLayout(ist))
      FatalErrorFmt("Unable to find default channel layout for Input Stream #%d.%d", {ist->file_index, ist->st->index});
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) ff::av_channel_layout_copy(&frame->ch_layout, &dec->ch_layout);
    GlobalLogger()->Log(
        this, llInfo,
        Format("Input stream #%d:%d frame changed from rate:%d fmt:%s ch:%d chl:%s to rate:%d fmt:%s ch:%d chl:%s",
               {ist->file_index, ist->st->index, ist->resample_sample_rate, SampleFmtName(ist->resample_sample_fmt),
                ist->resample_channels, LayoutText(*ist->resample_channel_layout), frame->sample_rate,
                SampleFmtName(frame->format), frame->ch_layout.nb_channels, LayoutText(frame->ch_layout)}));
    ist->resample_sample_fmt = frame->format;
    ist->resample_sample_rate = frame->sample_rate;
    ist->resample_channels = frame->ch_layout.nb_channels;
    ist->resample_channel_layout.Assign(frame->ch_layout);
    for (auto& fg : Ffiltergraphs)
      if (InputStreamInFilterGraph(fg.get(), ist) && ConfigureFilterGraph(*this, fg.get()) < 0)
        FatalError("Error reinitializing filters!");
  }

  AVRational tb;
  if (frame->pts != AV_NOPTS_VALUE) {
    tb = ist->st->time_base;
    ist->dts = ist->next_dts = ist->pts = ist->next_pts = ff::av_rescale_q(frame->pts, tb, MicroTB);
  } else if (frame->pkt_dts != AV_NOPTS_VALUE) {
    frame->pts = frame->pkt_dts;
    tb = ist->st->time_base;
  } else if (pkt && pkt->pts != AV_NOPTS_VALUE) {
    frame->pts = pkt->pts;
    tb = ist->st->time_base;
  } else {
    frame->pts = ist->dts;
    tb = MicroTB;
  }
  if (pkt) pkt->pts = AV_NOPTS_VALUE;
  if (frame->pts != AV_NOPTS_VALUE)
    frame->pts = ff::av_rescale_delta(tb, frame->pts, AVRational{1, frame->sample_rate}, frame->nb_samples,
                                      &ist->filter_in_rescale_delta_last, AVRational{1, frame->sample_rate});
  ist->nb_samples = frame->nb_samples;
  return PushFrameToFilters(ist, frame);
}

int TCustomFFmpeg::VideoFrameDecoded(TInputStream* ist, AVFrame* frame) {
  AVCodecContext* dec = ist->dec_ctx.get();
  if (frame->width != dec->width || frame->height != dec->height || frame->format != dec->pix_fmt)
    GlobalLogger()->Log(this, llDebug,
                        Format("Frame parameters mismatch context %d,%d,%d != %d,%d,%d",
                               {frame->width, frame->height, frame->format, dec->width, dec->height, int(dec->pix_fmt)}));
  if (ist->top_field_first >= 0) frame->top_field_first = ist->top_field_first;
  ist->frames_decoded++;
  if (ist->hwaccel_retrieve_data && frame->format == ist->hwaccel_pix_fmt) {
    const int err = ist->hwaccel_retrieve_data(dec, frame);
    if (err < 0) return err;
  }
  ist->hwaccel_retrieved_pix_fmt = AVPixelFormat(frame->format);
  const int64_t best = frame->best_effort_timestamp;
  if (best != AV_NOPTS_VALUE) {
    frame->pts = best;
    ist->next_pts = ist->pts = ff::av_rescale_q(best, ist->st->time_base, MicroTB);
  }
  if (Fdebug_ts)
    GlobalLogger()->Log(
        this, llInfo,
        Format("decoder -> ist_index:%d type:video frame_pts:%s frame_pts_time:%s best_effort_ts:%d "
               "best_effort_ts_time:%s keyframe:%d frame_type:%d time_base:%d/%d",
               {ist->st->index, TsText(frame->pts), TimeText(frame->pts, ist->st->time_base), best,
                TimeText(best, ist->st->time_base), frame->key_frame, int(frame->pict_type),
                ist->st->time_base.num, ist->st->time_base.den}));
  PreProcessVideoFrame(ist, frame);
  if (ist->st->sample_aspect_ratio.num) frame->sample_aspect_ratio = ist->st->sample_aspect_ratio;

  if (ist->resample_width != frame->width || ist->resample_height != frame->height ||
      ist->resample_pix_fmt != frame->format) {
    GlobalLogger()->Log(this, llInfo,
                        Format("Input stream #%d:%d frame changed from size:%dx%d fmt:%s to size:%dx%d fmt:%s",
                               {ist->file_index, ist->st->index, ist->resample_width, ist->resample_height,
                                PixFmtName(ist->resample_pix_fmt), frame->width, frame->height,
                                PixFmtName(frame->format)}));
    ist->resample_width = frame->width;
    ist->resample_height = frame->height;
    ist->resample_pix_fmt = frame->format;
    if (ist->reinit_filters)
      for (auto& fg : Ffiltergraphs)
        if (InputStreamInFilterGraph(fg.get(), ist) && ConfigureFilterGraph(*this, fg.get()) < 0)
          FatalError("Error reinitializing filters!");
  }
  const int err = PushFrameToFilters(ist, frame);
  if (err < 0) FatalError(ErrorCodeToText("Failed to inject frame into filter network", err));
  return 0;
}

namespace {

bool EnsureFrames(TInputStream* ist) {
  if (!ist->decoded_frame) ist->decoded_frame.reset(ff::av_frame_alloc());
  if (!ist->filter_frame) ist->filter_frame.reset(ff::av_frame_alloc());
  return ist->decoded_frame && ist->filter_frame;
}

}  // namespace

// One decode call: with a packet every frame it yields, without one (drain)
// at most one frame. PerFrame gets each frame; both frames are unreferenced after.
template <typename PerFrame>
static int DecodeFrames(TCustomFFmpeg& Task, TInputStream* ist, AVPacket* pkt, bool Drain,
                        std::unordered_set<const TInputStream*>& DrainSent, const char* Word, int& GotOutput,
                        PerFrame&& OnFrame) {
  GotOutput = 0;
  if (!EnsureFrames(ist)) return AVERROR(ENOMEM);
  AVCodecContext* dec = ist->dec_ctx.get();
  AVFrame* frame = ist->decoded_frame.get();
  // Frames that carry this packet's timestamp came out of it.
  int fromPacket = 0;
  const bool subframes = dec->codec && (dec->codec->capabilities & AV_CODEC_CAP_SUBFRAMES);
  auto receive = [&](bool One) -> int {
    for (;;) {
      int ret = ff::avcodec_receive_frame(dec, frame);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
      if (ret < 0) {
        Task.CheckDecodeResult(ist, 0, Word, ret);
        return ret;
      }
      if (!Drain && frame->pkt_dts == pkt->dts && ++fromPacket == 2 && !subframes)
        Task.NoteMultipleFrames(ist, pkt->stream_index);
      GotOutput = 1;
      Task.CheckDecodeResult(ist, 1, Word, 0);
      ret = OnFrame(frame);
      ff::av_frame_unref(frame);
      ff::av_frame_unref(ist->filter_frame.get());
      if (ret < 0) return ret;
      if (One) return 0;
    }
  };
  if (Drain) {
    if (!DrainSent.count(ist)) {
      DrainSent.insert(ist);
      ff::avcodec_send_packet(dec, nullptr);
    }
    return receive(true);
  }
  for (;;) {
    const int ret = ff::avcodec_send_packet(dec, pkt);
    if (ret == AVERROR(EAGAIN)) {
      const int r = receive(false);
      if (r < 0) return r;
      continue;
    }
    if (ret < 0 && ret != AVERROR_EOF) {
      Task.CheckDecodeResult(ist, 0, Word, ret);
      return ret;
    }
    break;
  }
  return receive(false);
}

int TCustomFFmpeg::DecodeAudio(TInputStream* ist, AVPacket* pkt, bool Drain, int& GotOutput) {
  return DecodeFrames(*this, ist, pkt, Drain, FDrainSent, "audio", GotOutput, [&](AVFrame* frame) {
    if (frame->sample_rate <= 0) {
      ff::av_log(ist->dec_ctx.get(), AV_LOG_ERROR, "Sample rate %d invalid\n", frame->sample_rate);
      return AVERROR_INVALIDDATA;
    }
    return AudioFrameDecoded(ist, frame, Drain ? nullptr : pkt);
  });
}

void TCustomFFmpeg::NoteMultipleFrames(TInputStream* ist, int StreamIndex) {
  GlobalLogger()->Log(this, ist->showed_multi_packet_warning ? llVerbose : llWarning,
                      Format("Multiple frames in a packet from stream %d", {StreamIndex}));
  ist->showed_multi_packet_warning = 1;
}

void TCustomFFmpeg::CheckReorderDelay(TInputStream* ist) {
  AVCodecContext* dec = ist->dec_ctx.get();
  AVCodecParameters* par = ist->st->codecpar;
  if (dec->has_b_frames <= par->video_delay) return;
  if (dec->codec_id == AV_CODEC_ID_H264) {
    par->video_delay = dec->has_b_frames;
    return;
  }
  ff::av_log(dec, AV_LOG_WARNING,
             "has_b_frames is larger in decoder than demuxer %d > %d.\n"
             "If you want to help, upload a sample of this file to https://ffmpeg.org/bugreports.html and contact "
             "the ffmpeg-devel mailing list. (ffmpeg-devel@ffmpeg.org)\n",
             dec->has_b_frames, par->video_delay);
}

int TCustomFFmpeg::DecodeVideo(TInputStream* ist, AVPacket* pkt, bool Drain, int& GotOutput, int64_t& Duration) {
  if (!Drain) pkt->dts = ff::av_rescale_q(ist->dts, MicroTB, ist->st->time_base);
  Duration = 0;
  AVCodecContext* dec = ist->dec_ctx.get();
  if (!Drain && pkt->duration) {
    Duration = ff::av_rescale_q(pkt->duration, ist->st->time_base, MicroTB);
  } else if (dec->framerate.num && dec->framerate.den) {
    const int ticks = dec->ticks_per_frame > 0 ? dec->ticks_per_frame : 1;
    AVCodecParserContext* parser = ff::av_stream_get_parser(ist->st);
    const int used = parser ? parser->repeat_pict + 1 : ticks;
    Duration = int64_t(AV_TIME_BASE) * dec->framerate.den * used / dec->framerate.num / ticks;
  }
  const int ret = DecodeFrames(*this, ist, pkt, Drain, FDrainSent, "video", GotOutput,
                               [&](AVFrame* frame) { return VideoFrameDecoded(ist, frame); });
  CheckReorderDelay(ist);
  return ret;
}

int TCustomFFmpeg::TranscodeSubtitles(TInputStream* ist, AVPacket* pkt, int& GotOutput) {
  TOwnedSubtitle owned;
  AVSubtitle* sub = owned.get();
  GotOutput = 0;
  int ret = ff::avcodec_decode_subtitle2(ist->dec_ctx.get(), sub, &GotOutput, pkt);
  CheckDecodeResult(nullptr, GotOutput, "subtitle", ret);
  if (ret < 0 || !GotOutput) {
    if (!pkt->size) Sub2VideoFlush(ist);
    return ret;
  }
  if (ist->fix_sub_duration) {
    int end = 1;
    if (ist->prev_sub.got_output) {
      AVSubtitle* prev = ist->prev_sub.subtitle.get();
      end = int(ff::av_rescale(sub->pts - prev->pts, 1000, AV_TIME_BASE));
      if (end < int(prev->end_display_time)) {
        ff::av_log(ist->dec_ctx.get(), AV_LOG_DEBUG, "Subtitle duration reduced from %d to %d%s\n",
                   int(prev->end_display_time), end, end <= 0 ? ", dropping it" : "");
        prev->end_display_time = unsigned(end);
      }
    }
    std::swap(GotOutput, ist->prev_sub.got_output);
    std::swap(ret, ist->prev_sub.ret);
    std::swap(*sub, *ist->prev_sub.subtitle.get());
    if (end <= 0) return ret;
  }
  if (!GotOutput) return ret;
  Sub2VideoUpdate(ist, sub);
  if (!sub->num_rects) return ret;
  ist->frames_decoded++;
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (!CheckOutputConstraints(ist, ost) || !ost->encoding_needed || !ost->enc ||
        ost->enc->type != AVMEDIA_TYPE_SUBTITLE)
      continue;
    DoSubtitleOut(Foutput_files[ost->file_index]->ctx.get(), ost, ist, sub);
  }
  return ret;
}

int TCustomFFmpeg::SendFilterEof(TInputStream* ist) {
  for (TInputFilter* f : ist->filters) {
    if (!f->filter) continue;
    const int ret = ff::av_buffersrc_add_frame(f->filter, nullptr);
    if (ret < 0) return ret;
  }
  return 0;
}

int TCustomFFmpeg::ProcessInputPacket(TInputStream* ist, const AVPacket* pkt, int NoEof) {
  AVCodecContext* dec = ist->dec_ctx.get();
  const AVMediaType type = dec ? dec->codec_type : ist->st->codecpar->codec_type;
  if (!ist->saw_first_ts) {
    const AVRational avg = ist->st->avg_frame_rate;
    ist->dts = avg.num ? RoundEven(-double(dec ? dec->has_b_frames : 0) * AV_TIME_BASE / av_q2d(avg)) : 0;
    ist->pts = 0;
    if (pkt && pkt->pts != AV_NOPTS_VALUE && !ist->decoding_needed) {
      ist->dts += ff::av_rescale_q(pkt->pts, ist->st->time_base, MicroTB);
      ist->pts = ist->dts;
    }
    ist->saw_first_ts = 1;
  }
  if (ist->next_dts == AV_NOPTS_VALUE) ist->next_dts = ist->dts;
  if (ist->next_pts == AV_NOPTS_VALUE) ist->next_pts = ist->pts;

  AVPacket* work = nullptr;
  UniquePacket workOwner;
  if (pkt) {
    workOwner.reset(ff::av_packet_clone(pkt));
    if (!workOwner) FatalError("av_packet_clone() failed");
    work = workOwner.get();
    if (pkt->dts != AV_NOPTS_VALUE) {
      ist->next_dts = ist->dts = ff::av_rescale_q(pkt->dts, ist->st->time_base, MicroTB);
      if (type != AVMEDIA_TYPE_VIDEO || !ist->decoding_needed) ist->next_pts = ist->pts = ist->dts;
    }
  }

  int gotOutput = 0;
  if (ist->decoding_needed) {
    const bool drain = pkt == nullptr;
    ist->pts = ist->next_pts;
    ist->dts = ist->next_dts;
    int ret = 0;
    int64_t duration = 0;
    switch (type) {
      case AVMEDIA_TYPE_AUDIO:
        ret = DecodeAudio(ist, work, drain, gotOutput);
        break;
      case AVMEDIA_TYPE_VIDEO:
        ret = DecodeVideo(ist, work, drain, gotOutput, duration);
        if (duration && ist->dts != AV_NOPTS_VALUE)
          ist->next_dts += duration;
        else
          ist->next_dts = AV_NOPTS_VALUE;
        if (gotOutput && duration) ist->next_pts += duration;
        break;
      case AVMEDIA_TYPE_SUBTITLE: {
        if (drain) {
          UniquePacket empty(ff::av_packet_alloc());
          ret = TranscodeSubtitles(ist, empty.get(), gotOutput);
        } else {
          ret = TranscodeSubtitles(ist, work, gotOutput);
        }
        break;
      }
      default:
        ret = -1;
    }
    if (ret < 0) {
      const String text = Format("Error while decoding stream #%d:%d: %s",
                                 {ist->file_index, ist->st->index, ErrorCodeToText(ret)});
      GlobalLogger()->Log(this, llError, text);
      if (Fexit_on_error) FatalError(text);
    }
    if (drain && !gotOutput && !NoEof && SendFilterEof(ist) < 0) FatalError("Error marking filters as finished");
  }

  if (!ist->decoding_needed && pkt) {
    ist->dts = ist->next_dts;
    const AVCodecParameters* par = ist->st->codecpar;
    if (type == AVMEDIA_TYPE_AUDIO) {
      if (par->sample_rate) ist->next_dts += int64_t(AV_TIME_BASE) * par->frame_size / par->sample_rate;
    } else if (type == AVMEDIA_TYPE_VIDEO) {
      if (ist->framerate.num) {
        const AVRational tb = av_inv_q(ist->framerate);
        const int64_t next = ff::av_rescale_q(ist->next_dts, MicroTB, tb) + 1;
        ist->next_dts = ff::av_rescale_q(next, tb, MicroTB);
      } else if (pkt->duration) {
        ist->next_dts += ff::av_rescale_q(pkt->duration, ist->st->time_base, MicroTB);
      } else if (dec && dec->framerate.num) {
        const int ticks = dec->ticks_per_frame > 0 ? dec->ticks_per_frame : 1;
        AVCodecParserContext* parser = ff::av_stream_get_parser(ist->st);
        const int used = parser ? parser->repeat_pict + 1 : ticks;
        ist->next_dts += int64_t(AV_TIME_BASE) * dec->framerate.den * used / dec->framerate.num / ticks;
      }
    }
    ist->pts = ist->dts;
    ist->next_pts = ist->next_dts;
  }
  if (pkt)
    for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
      TOutputStream* ost = Foutput_streams[i].get();
      if (!CheckOutputConstraints(ist, ost) || ost->encoding_needed == 1) continue;
      DoStreamCopy(ist, ost, pkt);
    }
  return gotOutput;
}

bool TCustomFFmpeg::CheckOutputConstraints(TInputStream* ist, TOutputStream* ost) {
  const TInputFile* f = Finput_files[ist->file_index].get();
  if (ost->source_index != f->ist_index + ist->st->index || ost->finished) return false;
  const TOutputFile* of = Foutput_files[ost->file_index].get();
  if (of->start_time == AV_NOPTS_VALUE) return true;
  return ist->pts >= of->start_time;
}

void TCustomFFmpeg::DoStreamCopy(TInputStream* ist, TOutputStream* ost, const AVPacket* pkt) {
  const TOutputFile* of = Foutput_files[ost->file_index].get();
  const TInputFile* f = Finput_files[ist->file_index].get();
  const int64_t start = of->start_time == AV_NOPTS_VALUE ? 0 : of->start_time;
  const AVRational otb = ost->st->time_base;
  const AVRational itb = ist->st->time_base;
  const int64_t ostTbStart = ff::av_rescale_q(start, MicroTB, otb);

  if (!ost->frame_number && !(pkt->flags & AV_PKT_FLAG_KEY) && !ost->copy_initial_nonkeyframes) return;
  if (!ost->frame_number && !ost->copy_prior_start) {
    int64_t commStart = start;
    if (Fcopy_ts && f->start_time != AV_NOPTS_VALUE) commStart = std::max(start, f->start_time + f->ts_offset);
    if ((pkt->pts == AV_NOPTS_VALUE && ist->pts < commStart) ||
        (pkt->pts != AV_NOPTS_VALUE && pkt->pts < ff::av_rescale_q(commStart, MicroTB, itb)))
      return;
  }
  if (of->recording_time != INT64_MAX && ist->pts >= of->recording_time + start) {
    CloseOutputStream(ost);
    return;
  }
  if (f->recording_time != INT64_MAX) {
    int64_t s = f->ctx->start_time;
    if (f->start_time != AV_NOPTS_VALUE && Fcopy_ts) s += f->start_time;
    if (ist->pts >= f->recording_time + s) {
      CloseOutputStream(ost);
      return;
    }
  }
  if (ost->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) ost->sync_opts++;

  UniquePacket opkt(ff::av_packet_alloc());
  if (!opkt || ff::av_packet_ref(opkt.get(), pkt) < 0) FatalError("av_packet_ref() failed");
  opkt->pts = pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : ff::av_rescale_q(pkt->pts, itb, otb) - ostTbStart;
  opkt->dts = (pkt->dts == AV_NOPTS_VALUE ? ff::av_rescale_q(ist->dts, MicroTB, otb)
                                          : ff::av_rescale_q(pkt->dts, itb, otb)) -
              ostTbStart;
  if (ost->st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && pkt->dts != AV_NOPTS_VALUE) {
    const AVCodecParameters* par = ist->st->codecpar;
    int duration = ff::av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(par), pkt->size);
    if (!duration) duration = par->frame_size;
    if (par->sample_rate > 0)
      opkt->dts = opkt->pts = ff::av_rescale_delta(itb, pkt->dts, AVRational{1, par->sample_rate}, duration,
                                                   &ist->filter_in_rescale_delta_last, otb) -
                              ostTbStart;
  }
  opkt->duration = ff::av_rescale_q(pkt->duration, itb, otb);
  opkt->flags = pkt->flags;
  // Strictly increasing decoding times.
  if (ost->last_dts != AV_NOPTS_VALUE && ost->last_dts >= opkt->dts) opkt->dts = ost->last_dts + 1;
  if (opkt->pts == AV_NOPTS_VALUE || opkt->pts < opkt->dts) opkt->pts = opkt->dts;
  ost->last_dts = opkt->dts;
  WritePacket(Foutput_files[ost->file_index]->ctx.get(), opkt.get(), ost);
}
