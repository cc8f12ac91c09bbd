// Transcode output side: frames from the filter graphs to the encoders
// (frame-rate conversion, forced key frames, hooks), encoder packets and
// stream-copy packets to the muxer with timestamp repair and bitstream
// filters, recording-time limits, flushing, subtitles drawn into pictures,
// and the teardown of files, streams and graphs.

#include <cmath>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpeg.h"
#include "media/FFmpegTimestamps.h"
#include "media/UnicodeProtocol.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegQsv.h"
#include "media/MyUtils.h"
#include "platform/os/Files.h"

using namespace fftime;

namespace {

constexpr int SubtitleOutSize = 1024 * 1024;
// The most copies of a duplicated frame a stopping task still writes.
constexpr int StopDuplicateLimit = 11;


uint32_t ReadLE32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint64_t ReadLE64(const uint8_t* p) { return ReadLE32(p) | (uint64_t(ReadLE32(p + 4)) << 32); }

}  // namespace

// ---------------------------------------------------------------------------
// Finishing streams

void TCustomFFmpeg::CloseOutputStream(TOutputStream* ost) {
  TOutputFile* of = Foutput_files[ost->file_index].get();
  ost->finished |= 1;
  if (of->shortest && ost->enc_ctx) {
    const int64_t end = ff::av_rescale_q(ost->sync_opts - ost->first_pts, ost->enc_ctx->time_base, MicroTB);
    of->recording_time = std::min(of->recording_time, end);
  }
}

int TCustomFFmpeg::CheckRecordingTime(TOutputStream* ost) {
  const TOutputFile* of = Foutput_files[ost->file_index].get();
  if (of->recording_time != INT64_MAX &&
      ff::av_compare_ts(ost->sync_opts - ost->first_pts, ost->enc_ctx->time_base, of->recording_time, MicroTB) >= 0) {
    CloseOutputStream(ost);
    return 0;
  }
  return 1;
}

void TCustomFFmpeg::CloseAllOutputStreams(TOutputStream* ost, int ThisBits, int OthersBits) {
  for (auto& o : Foutput_streams) o->finished |= o.get() == ost ? ThisBits : OthersBits;
}

void TCustomFFmpeg::FinishOutputStream(TOutputStream* ost) {
  TOutputFile* of = Foutput_files[ost->file_index].get();
  ost->finished = 3;
  if (of->shortest)
    for (unsigned i = 0; i < of->ctx->nb_streams; ++i) Foutput_streams[of->ost_index + i]->finished = 3;
}

// ---------------------------------------------------------------------------
// Writing packets

void TCustomFFmpeg::MuxPacket(AVFormatContext* s, AVPacket* pkt, TOutputStream* ost) {
  AVStream* st = ost->st;
  const AVMediaType type = st->codecpar->codec_type;
  if (!(s->oformat->flags & AVFMT_NOTIMESTAMPS)) {
    if (pkt->dts != AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE && pkt->dts > pkt->pts) {
      ff::av_log(s, AV_LOG_WARNING, "Invalid DTS: %" PRId64 " PTS: %" PRId64 " in output stream %d:%d, replacing by guess\n",
                 pkt->dts, pkt->pts, ost->file_index, st->index);
      const int64_t a = pkt->pts, b = pkt->dts, c = ost->last_mux_dts + 1;
      pkt->pts = pkt->dts = a + b + c - std::min({a, b, c}) - std::max({a, b, c});
    }
    if ((type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO) && pkt->dts != AV_NOPTS_VALUE &&
        ost->last_mux_dts != AV_NOPTS_VALUE) {
      const int64_t max = ost->last_mux_dts + !(s->oformat->flags & AVFMT_TS_NONSTRICT);
      if (pkt->dts < max) {
        const int level = (type == AVMEDIA_TYPE_VIDEO || max - pkt->dts > 2) ? AV_LOG_WARNING : AV_LOG_DEBUG;
        ff::av_log(s, level, "Non-monotonous DTS in output stream %d:%d; previous: %" PRId64 ", current: %" PRId64 "; ",
                   ost->file_index, st->index, ost->last_mux_dts, pkt->dts);
        if (Fexit_on_error) {
          ff::av_log(nullptr, AV_LOG_FATAL, "aborting.\n");
          FatalErrorFmt("Non-monotonous DTS in output stream %d:%d; previous: %d, current: %d",
                        {ost->file_index, st->index, ost->last_mux_dts, pkt->dts});
        }
        ff::av_log(s, level, "changing to %" PRId64 ". This may result in incorrect timestamps in the output file.\n",
                   max);
        if (pkt->pts >= pkt->dts) pkt->pts = std::max(pkt->pts, max);
        pkt->dts = max;
      }
    }
  }
  ost->last_mux_dts = pkt->dts;
  ost->data_size += pkt->size;
  ost->packets_written++;
  pkt->stream_index = ost->index;
  if (Fdebug_ts)
    GlobalLogger()->Log(this, llInfo,
                        Format("muxer <- type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s size:%d",
                               {ff::av_get_media_type_string(type), TsText(pkt->pts), TimeText(pkt->pts, st->time_base),
                                TsText(pkt->dts), TimeText(pkt->dts, st->time_base), pkt->size}));
  StampWrite();
  const int ret = ff::av_interleaved_write_frame(s, pkt);
  if (ret >= 0 && s->pb)
    if (TOutputTarget* target = Foutput_files[ost->file_index]->target.get())
      target->Written(ff::avio_seek(s->pb, 0, SEEK_CUR));
  if (ret < 0) {
    GlobalLogger()->Log(this, llError,
                        ErrorCodeToText("av_interleaved_write_frame()", ret) + ". " +
                            "Please check error log message(reported by FFLogger) to find out more detail information.");
    NoteRunError(ErrorCodeToText("av_interleaved_write_frame()", ret));
    CloseAllOutputStreams(ost, 3, 1);
  }
  ff::av_packet_unref(pkt);
}

void TCustomFFmpeg::WritePacket(AVFormatContext* s, AVPacket* pkt, TOutputStream* ost) {
  AVCodecContext* ctx = ost->enc_ctx.get();
  const AVMediaType type = ost->st->codecpar->codec_type;
  if ((type == AVMEDIA_TYPE_VIDEO && Fvideo_sync_method == 255) || (type == AVMEDIA_TYPE_AUDIO && Faudio_sync_method < 0))
    pkt->pts = pkt->dts = AV_NOPTS_VALUE;
  if (!(type == AVMEDIA_TYPE_VIDEO && ost->encoding_needed)) {
    if (ost->frame_number >= ost->max_frames) {
      ff::av_packet_unref(pkt);
      return;
    }
    ost->frame_number++;
  }
  if (type == AVMEDIA_TYPE_VIDEO) {
    size_t size = 0;
    const uint8_t* sd = ff::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &size);
    ost->quality = sd && size >= 6 ? int(ReadLE32(sd)) : -1;
    ost->pict_type = sd && size >= 6 ? sd[4] : 0;
    for (int i = 0; i < 4; ++i)
      ost->error[i] = sd && i < sd[5] && size >= size_t(16 + 8 * i) ? int64_t(ReadLE64(sd + 8 + 8 * i)) : -1;
    if (ost->frame_rate.num && ost->is_cfr) {
      if (pkt->duration > 0)
        GlobalLogger()->Log(this, llWarning, "Overriding packet duration by frame rate, this should not happen");
      pkt->duration = ff::av_rescale_q(1, av_inv_q(ost->frame_rate), ost->st->time_base);
    }
  }
  (void)ctx;
  AVBSFContext* bsf = ost->bitstream_filters.get();
  if (!bsf) {
    MuxPacket(s, pkt, ost);
    return;
  }
  int ret = ff::av_bsf_send_packet(bsf, pkt->data || pkt->side_data_elems ? pkt : nullptr);
  ff::av_packet_unref(pkt);
  while (ret >= 0) {
    ret = ff::av_bsf_receive_packet(bsf, pkt);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) break;
    MuxPacket(s, pkt, ost);
  }
  const String text = ErrorCodeToText(ret);
  if (Fexit_on_error) FatalError(text);
  GlobalLogger()->Log(this, llError, text);
}

void TCustomFFmpeg::ApplyJoinFloors(TOutputStream* ost, AVPacket* pkt) {
  if (!FJoinMode) return;
  if (pkt->pts != AV_NOPTS_VALUE) {
    if (ost->last_pts != AV_NOPTS_VALUE && ost->last_pts >= pkt->pts) pkt->pts = ost->last_pts + 1;
    ost->last_pts = pkt->pts;
  }
  if (pkt->dts != AV_NOPTS_VALUE) {
    if (ost->last_dts != AV_NOPTS_VALUE && ost->last_dts >= pkt->dts) pkt->dts = ost->last_dts + 1;
    ost->last_dts = pkt->dts;
  }
}

void TCustomFFmpeg::ReceivePackets(AVFormatContext* s, TOutputStream* ost, const char* Word, int& FrameSize) {
  AVCodecContext* enc = ost->enc_ctx.get();
  UniquePacket pkt(ff::av_packet_alloc());
  for (;;) {
    const int ret = ff::avcodec_receive_packet(enc, pkt.get());
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) FatalErrorFmt("%s encoding failed: %s", {Word, ErrorCodeToText(ret)});
    if (ost->logfile && enc->stats_out) std::fprintf(ost->logfile.get(), "%s", enc->stats_out);
    if (ost->finished & 2) {
      ff::av_packet_unref(pkt.get());
      continue;
    }
    const bool video = enc->codec_type == AVMEDIA_TYPE_VIDEO;
    if (video && Fdebug_ts)
      GlobalLogger()->Log(this, llInfo,
                          Format("encoder -> type:video pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s",
                                 {TsText(pkt->pts), TimeText(pkt->pts, enc->time_base), TsText(pkt->dts),
                                  TimeText(pkt->dts, enc->time_base)}));
    if (video && pkt->pts == AV_NOPTS_VALUE && !(ost->enc->capabilities & AV_CODEC_CAP_DELAY))
      pkt->pts = ost->sync_opts;
    ff::av_packet_rescale_ts(pkt.get(), enc->time_base, ost->st->time_base);
    ApplyJoinFloors(ost, pkt.get());
    if (Fdebug_ts)
      GlobalLogger()->Log(this, llInfo,
                          Format("encoder -> type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s",
                                 {video ? "video" : "audio", TsText(pkt->pts), TimeText(pkt->pts, ost->st->time_base),
                                  TsText(pkt->dts), TimeText(pkt->dts, ost->st->time_base)}));
    FrameSize = pkt->size;
    WritePacket(s, pkt.get(), ost);
    if (video && !Fvstats_filename.empty()) DoVideoStats(ost, FrameSize);
  }
}

// ---------------------------------------------------------------------------
// Audio

void TCustomFFmpeg::DoAudioOut(AVFormatContext* s, TOutputStream* ost, AVFrame* frame) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (!CheckRecordingTime(ost)) return;
  if (frame->pts == AV_NOPTS_VALUE || Faudio_sync_method < 0) frame->pts = ost->sync_opts;
  ost->sync_opts = frame->pts + frame->nb_samples;
  ost->samples_encoded += frame->nb_samples;
  ost->frames_encoded++;
  if (OnOutputAudioHook && ff::av_frame_make_writable(frame) >= 0) {
    THandlerScope scope(this);
    OnOutputAudioHook(this, ff::av_rescale_q(frame->pts, enc->time_base, MicroTB), frame,
                      enc->ch_layout.nb_channels * frame->nb_samples * ff::av_get_bytes_per_sample(enc->sample_fmt),
                      enc->sample_rate, enc->ch_layout.nb_channels, enc->sample_fmt);
  }
  if (Fdebug_ts)
    GlobalLogger()->Log(this, llInfo,
                        Format("encoder <- type:audio frame_pts:%s frame_pts_time:%s time_base:%d/%d",
                               {TsText(frame->pts), TimeText(frame->pts, enc->time_base), enc->time_base.num,
                                enc->time_base.den}));
  if (ff::avcodec_send_frame(enc, frame) < 0) FatalError("Audio encoding failed (avcodec_encode_audio2)");
  int size = 0;
  ReceivePackets(s, ost, "audio", size);
}

// ---------------------------------------------------------------------------
// Subtitles

void TCustomFFmpeg::DoSubtitleOut(AVFormatContext* s, TOutputStream* ost, TInputStream*, AVSubtitle* sub) {
  if (sub->pts == AV_NOPTS_VALUE) {
    if (Fexit_on_error) FatalError("Subtitle packets must have a pts");
    GlobalLogger()->Log(this, llError, "Subtitle packets must have a pts");
    return;
  }
  if (Fsubtitle_out.empty()) Fsubtitle_out.resize(SubtitleOutSize);
  AVCodecContext* enc = ost->enc_ctx.get();
  const int passes = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
  int64_t pts = sub->pts;
  const TOutputFile* of = Foutput_files[ost->file_index].get();
  if (of->start_time != AV_NOPTS_VALUE) pts -= of->start_time;
  for (int i = 0; i < passes; ++i) {
    ost->sync_opts = ff::av_rescale_q(pts, MicroTB, enc->time_base);
    if (!CheckRecordingTime(ost)) return;
    sub->pts = pts + ff::av_rescale_q(sub->start_display_time, AVRational{1, 1000}, MicroTB);
    sub->end_display_time -= sub->start_display_time;
    sub->start_display_time = 0;
    const unsigned rects = sub->num_rects;
    if (i == 1) sub->num_rects = 0;
    ost->frames_encoded++;
    const int size = ff::avcodec_encode_subtitle(enc, Fsubtitle_out.data(), SubtitleOutSize, sub);
    if (i == 1) sub->num_rects = rects;
    if (size < 0) FatalError("Subtitle encoding failed");
    UniquePacket pkt(ff::av_packet_alloc());
    if (ff::av_new_packet(pkt.get(), size) < 0) FatalError("Failed to allocate subtitle_out");
    std::memcpy(pkt->data, Fsubtitle_out.data(), size);
    pkt->pts = ff::av_rescale_q(sub->pts, MicroTB, ost->st->time_base);
    pkt->duration = ff::av_rescale_q(sub->end_display_time, AVRational{1, 1000}, ost->st->time_base);
    if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
      pkt->pts += 90 * int64_t(i == 0 ? sub->start_display_time : sub->end_display_time);
    pkt->dts = pkt->pts;
    WritePacket(s, pkt.get(), ost);
  }
}

// ---------------------------------------------------------------------------
// Video

void TCustomFFmpeg::DoVideoOut(AVFormatContext* s, TOutputStream* ost, AVFrame* NextPicture, double SyncOpts) {
  AVCodecContext* enc = ost->enc_ctx.get();
  TInputStream* ist = GetInputStream(ost);
  const TOutputFile* of = Foutput_files[ost->file_index].get();
  double duration = 0;
  if (ost->filter && ost->filter->filter) {
    const AVRational fr = ff::av_buffersink_get_frame_rate(ost->filter->filter);
    if (fr.num > 0 && fr.den > 0) duration = 1 / (av_q2d(fr) * av_q2d(enc->time_base));
  }
  if (ist && ist->st->start_time != AV_NOPTS_VALUE && ist->saw_first_ts && ost->frame_rate.num) {
    const double d2 = 1 / (av_q2d(ost->frame_rate) * av_q2d(enc->time_base));
    duration = duration == 0 ? d2 : std::min(duration, d2);
  }
  if (!ost->filters && !ost->filters_script && NextPicture && ist &&
      RoundEven(double(NextPicture->pkt_duration) * av_q2d(ist->st->time_base) / av_q2d(enc->time_base)) > 0)
    duration = double(RoundEven(double(NextPicture->pkt_duration) * av_q2d(ist->st->time_base) / av_q2d(enc->time_base)));

  int64_t nb0, nb;
  if (!NextPicture) {
    int v[3] = {ost->last_nb0_frames[0], ost->last_nb0_frames[1], ost->last_nb0_frames[2]};
    std::sort(v, v + 3);
    nb0 = nb = v[1];
  } else {
    int method = Fvideo_sync_method;
    if (method == -1) {
      if (std::strcmp(s->oformat->name, "avi") == 0)
        method = 2;
      else if (!(s->oformat->flags & AVFMT_VARIABLE_FPS))
        method = 1;
      else if (!(s->oformat->flags & AVFMT_NOTIMESTAMPS))
        method = 2;
      else
        method = 0;
      if (method == 1 && ist) {
        const TInputFile* f = Finput_files[ist->file_index].get();
        if ((f->ctx->nb_streams == 1 && f->input_ts_offset == 0) || Fcopy_ts) method = 254;
      }
    }
    ost->is_cfr = method == 1 || method == 254;
    if (method == 0) {
      // Without a sync input (complex graphs) the picture's own time counts.
      if (ost->sync_ist) {
        const int64_t start = of->start_time == AV_NOPTS_VALUE ? 0 : of->start_time;
        NextPicture->pts = RoundEven(double(ost->sync_ist->pts - start) / AV_TIME_BASE / av_q2d(enc->time_base));
      }
      SyncOpts = double(NextPicture->pts);
    }
    double delta0 = SyncOpts - double(ost->sync_opts);
    double delta = delta0 + duration;
    nb0 = 0;
    nb = 1;
    if (delta0 < 0 && delta > 0 && method != 0 && method != 255) {
      if (delta0 < -0.6)
        GlobalLogger()->Log(this, llWarning, Format("Past duration %f too large", {-delta0}));
      else
        GlobalLogger()->Log(this, llDebug, Format("Clipping frame in rate conversion by %f", {-delta0}));
      SyncOpts = double(ost->sync_opts);
      duration += delta0;
      delta0 = 0;
    }
    switch (method) {
      case 254:
        if (ost->frame_number == 0 && delta0 >= 0.5) {
          GlobalLogger()->Log(this, llDebug, Format("Not duplicating %d initial frames", {RoundEven(delta0)}));
          delta = duration;
          delta0 = 0;
          ost->sync_opts = RoundEven(SyncOpts);
        }
        [[fallthrough]];
      case 1:
        if (Fframe_drop_threshold != 0 && delta < Fframe_drop_threshold && ost->frame_number)
          nb = 0;
        else if (delta < -1.1)
          nb = 0;
        else if (delta > 1.1) {
          nb = RoundEven(delta);
          if (delta0 > 1.1) nb0 = RoundEven(delta0 - 0.6);
        }
        break;
      case 2:
        if (delta <= -0.6)
          nb = 0;
        else if (delta > 0.6)
          ost->sync_opts = RoundEven(SyncOpts);
        break;
      case 0:
      case 255:
        ost->sync_opts = RoundEven(SyncOpts);
        break;
      default:
        throw FFmpegException("Never occur");
    }
  }
  nb = std::min<int64_t>(nb, ost->max_frames - ost->frame_number);
  nb0 = std::min(nb0, nb);
  ost->last_nb0_frames[2] = ost->last_nb0_frames[1];
  ost->last_nb0_frames[1] = ost->last_nb0_frames[0];
  ost->last_nb0_frames[0] = int(nb0);

  if (nb0 == 0 && ost->last_dropped) {
    Fnb_frames_drop++;
    FShowDupOrDrop = true;
    GlobalLogger()->Log(this, llVerbose,
                        Format("*** dropping frame %d from stream %d at ts %d",
                               {ost->frame_number, ost->st->index, ost->last_frame ? ost->last_frame->pts : 0}));
  }
  const int64_t k = (nb0 > 0 && ost->last_dropped ? 1 : 0) + (nb > nb0 ? 1 : 0);
  if (nb > k) {
    if (double(nb) > double(Fdts_error_threshold) * 30) {
      GlobalLogger()->Log(this, llError, Format("%d frame duplication too large, skipping", {nb - 1}));
      Fnb_frames_drop++;
      return;
    }
    Fnb_frames_dup += int(nb - k);
    FShowDupOrDrop = true;
    GlobalLogger()->Log(this, llVerbose, Format("*** %d dup!", {nb - 1}));
  }
  ost->last_dropped = nb == nb0 && NextPicture;

  UniqueFrame send(ff::av_frame_alloc());
  for (int64_t i = 0; i < nb; ++i) {
    if (FBroken.load() && i >= StopDuplicateLimit) {
      GlobalLogger()->Log(this, llInfo, "break in do_video_out()");
      break;
    }
    AVFrame* source = i < nb0 && ost->last_frame ? ost->last_frame.get() : NextPicture;
    if (!source) return;
    // A reference of its own: the hooks may give it a picture of its own.
    ff::av_frame_unref(send.get());
    if (ff::av_frame_ref(send.get(), source) < 0) FatalError("Video encoding failed");
    AVFrame* frame = send.get();
    frame->pts = ost->sync_opts;
    if (!CheckRecordingTime(ost)) return;
    const int hookNumber = ost->frame_number + 1;

    if ((enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) && ost->top_field_first >= 0)
      frame->top_field_first = ost->top_field_first != 0;
    if (frame->interlaced_frame)
      enc->field_order = enc->codec_id == AV_CODEC_ID_MJPEG ? (frame->top_field_first ? AV_FIELD_TT : AV_FIELD_BB)
                                                            : (frame->top_field_first ? AV_FIELD_TB : AV_FIELD_BT);
    else
      enc->field_order = AV_FIELD_PROGRESSIVE;
    frame->quality = enc->global_quality;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    const double ptsTime = frame->pts != AV_NOPTS_VALUE ? double(frame->pts) * av_q2d(enc->time_base) : NAN;
    bool forced = false;
    if (ost->forced_kf_index < int(ost->forced_kf_pts.size()) &&
        frame->pts >= ost->forced_kf_pts[ost->forced_kf_index]) {
      ost->forced_kf_index++;
      forced = true;
    } else if (ost->forced_keyframes_pexpr) {
      double* c = ost->forced_keyframes_expr_const_values;
      c[4] = ptsTime;
      const double res = ff::av_expr_eval(ost->forced_keyframes_pexpr.get(), c, nullptr);
      GlobalLogger()->Log(this, llDebug,
                          Format("force_key_frame: n:%f n_forced:%f prev_forced_n:%f t:%f prev_forced_t:%f -> res:%f",
                                 {c[0], c[1], c[2], c[4], c[3], res}));
      if (res) {
        forced = true;
        c[2] = c[0];
        c[3] = c[4];
        c[1] += 1;
      }
      c[0] += 1;
    } else if (ost->forced_keyframes.compare(0, 6, "source") == 0 && source->key_frame) {
      forced = true;
    }
    if (forced) {
      frame->pict_type = AV_PICTURE_TYPE_I;
      GlobalLogger()->Log(this, llDebug, Format("Forced keyframe at time %f", {ptsTime}));
    }
    const int64_t hookPts = ff::av_rescale_q(frame->pts, enc->time_base, MicroTB);
    const bool converted = PostProcessVideoFrame(ost, enc, frame, hookNumber, hookPts);
    if (!GetPostHooks().Empty()) RunPostHooks(frame, enc, converted, hookPts, hookNumber);
    if (Fdebug_ts)
      GlobalLogger()->Log(this, llInfo,
                          Format("encoder <- type:video frame_pts:%s frame_pts_time:%s time_base:%d/%d",
                                 {TsText(frame->pts), TimeText(frame->pts, enc->time_base), enc->time_base.num,
                                  enc->time_base.den}));
    ost->frames_encoded++;
    if (ff::avcodec_send_frame(enc, frame) < 0) FatalError("Video encoding failed");
    ff::av_frame_unref(frame);
    int frameSize = 0;
    ReceivePackets(s, ost, "video", frameSize);
    ost->sync_opts++;
    ost->frame_number++;
  }
  if (!ost->last_frame) ost->last_frame.reset(ff::av_frame_alloc());
  ff::av_frame_unref(ost->last_frame.get());
  if (NextPicture && ost->last_frame)
    ff::av_frame_ref(ost->last_frame.get(), NextPicture);
  else
    ost->last_frame.reset();
}

void TCustomFFmpeg::DoVideoStats(TOutputStream* ost, int FrameSize) {
  AVCodecContext* enc = ost->enc_ctx.get();
  if (!Fvstats_file) {
    Fvstats_file = std::fopen(Fvstats_filename.c_str(), "w");
    if (!Fvstats_file) FatalError("fopen() failed: " + Fvstats_filename);
  }
  if (enc->codec_type != AVMEDIA_TYPE_VIDEO || !FrameSize) return;
  std::fprintf(Fvstats_file, "frame= %5d q= %2.1f ", int(ost->st->nb_frames), ost->quality / double(FF_QP2LAMBDA));
  if (ost->error[0] >= 0 && (enc->flags & AV_CODEC_FLAG_PSNR))
    std::fprintf(Fvstats_file, "PSNR= %6.2f ",
                 -10.0 * std::log10(double(ost->error[0]) / (enc->width * enc->height * 255.0 * 255.0)));
  std::fprintf(Fvstats_file, "f_size= %6d ", FrameSize);
  double ti1 = double(ff::av_stream_get_end_pts(ost->st)) * av_q2d(ost->st->time_base);
  if (ti1 < 0.01) ti1 = 0.01;
  const double bitrate = FrameSize * 8 / av_q2d(enc->time_base) / 1000.0;
  const double avgBitrate = double(ost->data_size) * 8 / ti1 / 1000.0;
  std::fprintf(Fvstats_file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               double(ost->data_size) / 1024, ti1, bitrate, avgBitrate);
  std::fprintf(Fvstats_file, "type= %c\n", ff::av_get_picture_type_char(AVPictureType(ost->pict_type)));
}

// ---------------------------------------------------------------------------
// Reaping and flushing

int TCustomFFmpeg::ReapFilters(bool Flush) {
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (!ost->filter || !ost->filter->filter) continue;
    AVFilterContext* sink = ost->filter->filter;
    AVFormatContext* os = Foutput_files[ost->file_index]->ctx.get();
    AVCodecContext* enc = ost->enc_ctx.get();
    if (!ost->filtered_frame) ost->filtered_frame.reset(ff::av_frame_alloc());
    if (!ost->filtered_frame) return AVERROR(ENOMEM);
    AVFrame* frame = ost->filtered_frame.get();
    for (;;) {
      double exact = double(AV_NOPTS_VALUE);
      const int ret = ff::av_buffersink_get_frame_flags(sink, frame, AV_BUFFERSINK_FLAG_NO_REQUEST);
      if (ret < 0) {
        if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
          GlobalLogger()->Log(this, llWarning, ErrorCodeToText("Error in av_buffersink_get_frame_flags()", ret));
        else if (Flush && ret == AVERROR_EOF && ff::av_buffersink_get_type(sink) == AVMEDIA_TYPE_VIDEO)
          DoVideoOut(os, ost, nullptr, double(AV_NOPTS_VALUE));
        break;
      }
      if (ost->finished) {
        ff::av_frame_unref(frame);
        continue;
      }
      const AVRational sinkTb = ff::av_buffersink_get_time_base(sink);
      if (frame->pts != AV_NOPTS_VALUE) {
        const TOutputFile* of = Foutput_files[ost->file_index].get();
        const int64_t start = of->start_time == AV_NOPTS_VALUE ? 0 : of->start_time;
        AVRational tb = enc->time_base;
        const int extra = std::clamp(29 - Log2(uint32_t(tb.den)), 0, 16);
        tb.den <<= extra;
        exact = double(ff::av_rescale_q(frame->pts, sinkTb, tb) - ff::av_rescale_q(start, MicroTB, tb)) /
                double(1 << extra);
        exact += (exact > 0 ? 1.0 : -1.0) / 131072;
        frame->pts = ff::av_rescale_q(frame->pts, sinkTb, enc->time_base) - ff::av_rescale_q(start, MicroTB, enc->time_base);
      }
      switch (ff::av_buffersink_get_type(sink)) {
        case AVMEDIA_TYPE_VIDEO:
          if (!ost->frame_aspect_ratio.num) enc->sample_aspect_ratio = frame->sample_aspect_ratio;
          if (Fdebug_ts)
            GlobalLogger()->Log(this, llInfo,
                                Format("filter -> pts:%s pts_time:%s exact:%f time_base:%d/%d",
                                       {TsText(frame->pts), TimeText(frame->pts, enc->time_base), exact,
                                        enc->time_base.num, enc->time_base.den}));
          DoVideoOut(os, ost, frame, exact);
          break;
        case AVMEDIA_TYPE_AUDIO:
          if (!(ost->enc->capabilities & AV_CODEC_CAP_PARAM_CHANGE) &&
              enc->ch_layout.nb_channels != frame->ch_layout.nb_channels) {
            GlobalLogger()->Log(this, llError,
                                "Audio filter graph output is not normalized and encoder does not support parameter "
                                "changes");
            ff::av_frame_unref(frame);
            goto next_stream;
          }
          DoAudioOut(os, ost, frame);
          break;
        default:
          throw FFmpegException("Never occur");
      }
      ff::av_frame_unref(frame);
    }
  next_stream:;
  }
  return 0;
}

void TCustomFFmpeg::FlushEncoders() {
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (ost->encoder_flushed) continue;
    ost->encoder_flushed = 1;
    if (!ost->encoding_needed || !ost->is_avcodec_opened) continue;
    AVCodecContext* enc = ost->enc_ctx.get();
    if (enc->codec_type == AVMEDIA_TYPE_AUDIO && enc->frame_size <= 1 &&
        !(ost->enc->capabilities & AV_CODEC_CAP_DELAY))
      continue;
    if (enc->codec_type != AVMEDIA_TYPE_VIDEO && enc->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const char* word = enc->codec_type == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
    const int ret = ff::avcodec_send_frame(enc, nullptr);
    if (ret < 0 && ret != AVERROR_EOF) FatalErrorFmt("%s encoding failed: %s", {word, ErrorCodeToText(ret)});
    int size = 0;
    ReceivePackets(Foutput_files[ost->file_index]->ctx.get(), ost, word, size);
    // What the bitstream filters still hold.
    if (ost->bitstream_filters) {
      UniquePacket eof(ff::av_packet_alloc());
      WritePacket(Foutput_files[ost->file_index]->ctx.get(), eof.get(), ost);
    }
  }
}

// ---------------------------------------------------------------------------
// Subtitles drawn into pictures

void TCustomFFmpeg::Sub2VideoCopyRect(AVFrame* dst, const AVSubtitleRect* r) {
  if (r->type != SUBTITLE_BITMAP) {
    GlobalLogger()->Log(nullptr, llWarning, "sub2video: non-bitmap subtitle");
    return;
  }
  if (r->x < 0 || r->x + r->w > dst->width || r->y < 0 || r->y + r->h > dst->height) {
    GlobalLogger()->Log(nullptr, llWarning,
                        Format("sub2video: rectangle (%d %d %d %d) overflowing %d %d",
                               {r->x, r->y, r->w, r->h, dst->width, dst->height}));
    return;
  }
  const uint32_t* pal = reinterpret_cast<const uint32_t*>(r->data[1]);
  for (int y = 0; y < r->h; ++y) {
    const uint8_t* src = r->data[0] + y * r->linesize[0];
    auto* out = reinterpret_cast<uint32_t*>(dst->data[0] + (r->y + y) * dst->linesize[0]) + r->x;
    // An index beyond the palette is drawn transparent instead of reading past it.
    for (int x = 0; x < r->w; ++x) out[x] = src[x] < r->nb_colors ? pal[src[x]] : 0;
  }
}

int TCustomFFmpeg::Sub2VideoGetBlankFrame(TInputStream* ist) {
  AVFrame* frame = ist->sub2video.frame.get();
  ff::av_frame_unref(frame);
  frame->width = ist->dec_ctx->width ? ist->dec_ctx->width : ist->sub2video.w;
  frame->height = ist->dec_ctx->height ? ist->dec_ctx->height : ist->sub2video.h;
  frame->format = AV_PIX_FMT_RGB32;
  const int ret = ff::av_frame_get_buffer(frame, 32);
  if (ret < 0) return ret;
  std::memset(frame->data[0], 0, size_t(frame->height) * frame->linesize[0]);
  return 0;
}

void TCustomFFmpeg::Sub2VideoPushRef(TInputStream* ist, int64_t pts) {
  AVFrame* frame = ist->sub2video.frame.get();
  ist->sub2video.last_pts = frame->pts = pts;
  for (TInputFilter* f : ist->filters)
    if (f->filter && ff::av_buffersrc_add_frame_flags(f->filter, frame, AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH) < 0)
      GlobalLogger()->Log(this, llWarning, "sub2video: the canvas could not be pushed");
}

void TCustomFFmpeg::Sub2VideoUpdate(TInputStream* ist, AVSubtitle* sub) {
  if (!ist->sub2video.frame) return;
  int64_t pts, end;
  unsigned rects = 0;
  if (sub) {
    pts = ff::av_rescale_q(sub->pts + sub->start_display_time * 1000LL, MicroTB, ist->st->time_base);
    end = ff::av_rescale_q(sub->pts + sub->end_display_time * 1000LL, MicroTB, ist->st->time_base);
    rects = sub->num_rects;
  } else {
    pts = ist->sub2video.end_pts;
    end = INT64_MAX;
  }
  if (Sub2VideoGetBlankFrame(ist) < 0) {
    ff::av_log(ist->dec_ctx.get(), AV_LOG_ERROR, "Impossible to get a blank canvas.\n");
    return;
  }
  for (unsigned i = 0; i < rects; ++i) Sub2VideoCopyRect(ist->sub2video.frame.get(), sub->rects[i]);
  Sub2VideoPushRef(ist, pts);
  ist->sub2video.end_pts = end;
}

void TCustomFFmpeg::Sub2VideoHeartbeat(TInputStream* ist, int64_t pts) {
  const TInputFile* f = Finput_files[ist->file_index].get();
  for (int i = 0; i < f->nb_streams; ++i) {
    TInputStream* ist2 = Finput_streams[f->ist_index + i].get();
    if (!ist2->sub2video.frame) continue;
    const int64_t pts2 = ff::av_rescale_q(pts, ist->st->time_base, ist2->st->time_base) - 1;
    if (pts2 <= ist2->sub2video.last_pts) continue;
    if (pts2 >= ist2->sub2video.end_pts || !ist2->sub2video.frame->data[0]) Sub2VideoUpdate(ist2, nullptr);
    unsigned failed = 0;
    for (TInputFilter* fi : ist2->filters)
      if (fi->filter) failed += ff::av_buffersrc_get_nb_failed_requests(fi->filter);
    if (failed) Sub2VideoPushRef(ist2, pts2);
  }
}

void TCustomFFmpeg::Sub2VideoFlush(TInputStream* ist) {
  if (!ist->sub2video.frame) return;
  if (ist->sub2video.end_pts < INT64_MAX) Sub2VideoUpdate(ist, nullptr);
  for (TInputFilter* f : ist->filters)
    if (f->filter && ff::av_buffersrc_add_frame(f->filter, nullptr) < 0)
      GlobalLogger()->Log(this, llWarning, "sub2video: the end of stream could not be signalled");
}

// ---------------------------------------------------------------------------
// Teardown of files, streams and graphs

void TCustomFFmpeg::CleanupTask() {
  Ffiltergraphs.clear();
  Fsubtitle_out.clear();
  Fsubtitle_out.shrink_to_fit();
  const size_t files = FJoinMode ? std::min<size_t>(1, Foutput_files.size()) : Foutput_files.size();
  for (size_t i = 0; i < files; ++i) {
    TOutputFile* of = Foutput_files[i].get();
    if (!of || !of->ctx) continue;
    AVFormatContext* oc = of->ctx.get();
    // What was not committed is undone by the file's target when the record goes.
    if (!(oc->oformat->flags & AVFMT_NOFILE) && oc->pb) ff::avio_closep(&oc->pb);
  }
  for (auto& ost : Foutput_streams)
    if (ost) QsvEncoderUninit(ost.get());
  FreeOutputStreams(*this);
  Foutput_files.clear();
  Finput_streams.clear();
  Finput_files.clear();
  FDrainSent.clear();
  if (Fvstats_file && std::fclose(Fvstats_file) != 0)
    GlobalLogger()->Log(this, llError, "Error closing vstats file, loss of information possible");
  Fvstats_file = nullptr;
}
