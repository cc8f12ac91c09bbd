// Join mode at run time: when one input ends, its decoders are drained and
// closed, the encoders flushed and opened afresh (a flushed encoder stays at
// its end, and a context cannot be opened twice), and the next input's
// timestamps continue where the finished segment ended.

#include <cmath>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpeg.h"

namespace {

// The settings a fresh encoder context is built from.
void CopyEncoderSettings(AVCodecContext* d, const AVCodecContext* s) {
  d->codec_type = s->codec_type;
  d->codec_id = s->codec_id;
  d->codec_tag = s->codec_tag;
  d->bit_rate = s->bit_rate;
  d->bit_rate_tolerance = s->bit_rate_tolerance;
  d->global_quality = s->global_quality;
  d->compression_level = s->compression_level;
  d->flags = s->flags;
  d->flags2 = s->flags2;
  d->time_base = s->time_base;
  d->framerate = s->framerate;
  d->width = s->width;
  d->height = s->height;
  d->gop_size = s->gop_size;
  d->pix_fmt = s->pix_fmt;
  d->max_b_frames = s->max_b_frames;
  d->sample_aspect_ratio = s->sample_aspect_ratio;
  d->sample_rate = s->sample_rate;
  d->sample_fmt = s->sample_fmt;
  ff::av_channel_layout_uninit(&d->ch_layout);
  ff::av_channel_layout_copy(&d->ch_layout, &s->ch_layout);
  d->qmin = s->qmin;
  d->qmax = s->qmax;
  d->rc_max_rate = s->rc_max_rate;
  d->rc_min_rate = s->rc_min_rate;
  d->rc_buffer_size = s->rc_buffer_size;
  d->strict_std_compliance = s->strict_std_compliance;
  d->bits_per_raw_sample = s->bits_per_raw_sample;
  d->chroma_sample_location = s->chroma_sample_location;
  d->field_order = s->field_order;
  d->color_range = s->color_range;
  d->color_primaries = s->color_primaries;
  d->color_trc = s->color_trc;
  d->colorspace = s->colorspace;
  d->thread_count = s->thread_count;
  d->profile = s->profile;
  d->level = s->level;
}

}  // namespace

void TCustomFFmpeg::SaveEncoderSnapshot(TOutputStream* ost) {
  size_t index = 0;
  while (index < Foutput_streams.size() && Foutput_streams[index].get() != ost) ++index;
  if (FEncoderSnapshots.size() <= index) FEncoderSnapshots.resize(index + 1);
  UniqueCodecContext snap(ff::avcodec_alloc_context3(ost->enc));
  if (!snap) FatalError("Error allocating the encoding context.");
  CopyEncoderSettings(snap.get(), ost->enc_ctx.get());
  FEncoderSnapshots[index] = std::move(snap);
}

void TCustomFFmpeg::ReopenJoinEncoders() {
  const int n = std::min<int>(Fnb_output_streams_join, int(Foutput_streams.size()));
  for (int i = 0; i < n; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (!ost->encoding_needed) continue;
    RemoveCodecItem(FEncoderList, ost);
    UniqueCodecContext ctx(ff::avcodec_alloc_context3(ost->enc));
    if (!ctx || size_t(i) >= FEncoderSnapshots.size() || !FEncoderSnapshots[i])
      FatalError("Error allocating the encoding context.");
    CopyEncoderSettings(ctx.get(), FEncoderSnapshots[i].get());
    ctx->codec_id = ost->codec_id_bak;
    ctx->max_b_frames = ost->max_b_frames;
    ctx->sample_aspect_ratio = ff::av_d2q(av_q2d(ost->st->sample_aspect_ratio), 255);
    ost->opts_bak = ost->encoder_opts.Clone();
    if (std::strcmp(ost->enc->name, "mjpeg") == 0) ff::av_dict_set(ost->encoder_opts.Ref(), "threads", "1", 0);
    if (!ost->encoder_opts.Value("threads")) ff::av_dict_set(ost->encoder_opts.Ref(), "threads", "auto", 0);
    const int ret = ff::avcodec_open2(ctx.get(), ost->enc, ost->encoder_opts.Ref());
    if (ret < 0) {
      if (ret == AVERROR_EXPERIMENTAL) AbortCodecExperimental();
      FatalErrorFmt("Error while opening encoder for output stream #%d:%d (%s) - maybe incorrect parameters such as "
                    "bit_rate, rate, width or height. Please check error log message(reported by FFLogger) to find "
                    "out more detail information.",
                    {ost->file_index, ost->index, MediaTypeText(ctx->codec_type)});
    }
    // Every join copy shares the holder and sees the new encoder.
    ost->enc_ctx.reset(ctx.release());
    AddCodecItem(FEncoderList, ost);
    ost->encoder_opts = std::move(ost->opts_bak);
    ost->opts_bak = TAVDict();
  }
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (!ost->encoding_needed) continue;
    ost->is_avcodec_opened = 1;
    if (ost->enc->type == AVMEDIA_TYPE_AUDIO && !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
        ost->filter && ost->filter->filter)
      ff::av_buffersink_set_frame_size(ost->filter->filter, unsigned(ost->enc_ctx->frame_size));
  }
}

int TCustomFFmpeg::JoinSwitchOver(int FileIndex) {
  TInputFile* ifile = Finput_files[FileIndex].get();
  auto streamsOfFile = [&](auto&& Body) {
    for (auto& ist : Finput_streams)
      if (ist->file_index == FileIndex) Body(ist.get());
  };
  streamsOfFile([&](TInputStream* ist) {
    if (!ist->decoding_needed || ist->decoder_flushed) return;
    ist->decoder_flushed = 1;
    // One frame per call: until the decoder is empty and the filters saw the end.
    while (ProcessInputPacket(ist, nullptr, 0) > 0) ReapFilters(false);
    ff::avcodec_flush_buffers(ist->dec_ctx.get());
    FDrainSent.erase(ist);
  });
  ReapFilters(true);
  streamsOfFile([&](TInputStream* ist) {
    if (!ist->decoding_needed || ist->decoder_closed) return;
    ist->decoder_closed = 1;
    ff::avcodec_close(ist->dec_ctx.get());
    if (ist->hwaccel_uninit) ist->hwaccel_uninit(ist->dec_ctx.get());
    RemoveCodecItem(FDecoderList, ist);
  });
  streamsOfFile([&](TInputStream* ist) {
    if (ist->stream_freed) return;
    ist->stream_freed = 1;
    ist->decoded_frame.reset();
    ist->filter_frame.reset();
    ist->decoder_opts.Free();
    ist->prev_sub.subtitle.Clear();
    ist->sub2video.frame.reset();
    ist->hwaccel_device.clear();
  });
  FlushEncoders();
  ++Fjoin_file_index;
  UpdateActiveOutputRange();
  ReopenJoinEncoders();

  const int n = Fnb_output_streams_join;
  const int nOst = int(Foutput_streams.size());
  for (int e = n * (FileIndex + 1); e < nOst; ++e) {
    TOutputStream* to = Foutput_streams[e].get();
    const TOutputStream* from = Foutput_streams[e - n].get();
    to->sync_opts = from->sync_opts;
    to->frame_number = from->frame_number;
    to->last_pts = from->last_pts;
    to->last_dts = from->last_dts;
    to->last_mux_dts = from->last_mux_dts;
    if (to->sync_ist && from->sync_ist) to->sync_ist->pts = from->sync_ist->pts;
  }
  double length = 0.0;
  for (int f = n * FileIndex; f < n * (FileIndex + 1) && f + n <= nOst; ++f) {
    TOutputStream* ost = Foutput_streams[f].get();
    const int64_t end = ff::av_stream_get_end_pts(ost->st);
    const double len = end == AV_NOPTS_VALUE ? 0.0 : double(end) * av_q2d(ost->st->time_base);
    if (len > length) length = len;
    ost->not_show_fps = 1;
  }
  (void)ifile;
  if (FileIndex + 1 < int(Finput_files.size()))
    Finput_files[FileIndex + 1]->ts_offset += int64_t(std::nearbyint(1000000.0 * length));
  return 0;
}
