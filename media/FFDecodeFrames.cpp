// The inspection decoder's frame side: decoding pictures and audio, seeking,
// stepping between key frames, bitmaps and resampling.

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "media/FFDecode.h"
#include "platform/gdi/Gdi.h"
#include "platform/os/Threads.h"

namespace {

const char* const kReadOnly = "file cannot be seeked, handle is readonly.";
const char* const kNotReady = "picture not ready, please decode first";

// Past this many steps back the previous-key-frame search gives up: a file
// whose first decodable picture lies after its start would otherwise keep
// landing on that picture for ever.
constexpr int kMaxKeyFrameSteps = 300;

bool IsImage2(const AVFormatContext* ic) { return ic && ic->iformat && strcasecmp(ic->iformat->name, "image2") == 0; }

const char* SampleFmtName(AVSampleFormat f) {
  const char* n = ff::av_get_sample_fmt_name(f);
  return n ? n : "none";
}

}  // namespace

void TFFDecoder::TCodecCtxDeleter::operator()(AVCodecContext* c) const { ff::avcodec_free_context(&c); }

TFFDecoder::TFFDecoder(TComponent* AOwner)
    : TCustomDecoder(AOwner), FFormatConv(std::make_unique<TFormatConverter>()) {}

TFFDecoder::~TFFDecoder() {
  TFFDecoder::CloseFile();
  if (ff::av_free) {
    ff::av_free(FAudioBuffer);
    ff::av_free(FResampledBuffer);
  }
  if (ff::av_frame_free) {
    ff::av_frame_free(&FDecodedFrame);
    ff::av_frame_free(&FFilteredFrame);
    ff::av_frame_free(&FPictureFrame);
    ff::av_frame_free(&FAudioDecodedFrame);
  }
  if (ff::av_packet_free) {
    ff::av_packet_free(&FPacket);
    ff::av_packet_free(&FPendingPacket);
  }
  FreeFilterGraph();
  if (ff::av_channel_layout_uninit) ff::av_channel_layout_uninit(&FDesireChannelLayout);
}

void TFFDecoder::CloseFile() {
  FSeekIndex = FDesireVideoIndex = -1;
  FFrameRate = AVRational{0, 0};
  FEOF = FEOFpkt = false;
  ResetFrameInfo();
  FLastPTS = AV_NOPTS_VALUE;
  FDesireAudioIndex = -1;
  ResetWaveInfo();
  FRemainsAudioSize = 0;
  ResetAudioParam();
  FVideoCodec.reset();
  FAudioCodec.reset();
  FVideoCodecStream = FAudioCodecStream = -1;
  if (FPendingPacket) ff::av_packet_unref(FPendingPacket);
  TCustomDecoder::CloseFile();
}

void TFFDecoder::FreeResampler() {
  if (FAudioParam.swr_ctx) ff::swr_free(&FAudioParam.swr_ctx);
}

void TFFDecoder::ResetAudioParam() {
  FreeResampler();
  if (ff::av_channel_layout_uninit) ff::av_channel_layout_uninit(&FAudioParam.channel_layout);
  FAudioParam = TAudioParam{};
}

void TFFDecoder::ResetFrameInfo() {
  if (FPicture.PTS != AV_NOPTS_VALUE) FLastPTS = FPicture.PTS;
  FPicture = TFrameInfo{};
  if (FPictureFrame) ff::av_frame_unref(FPictureFrame);
  Flast_vfilters.clear();
  FreeFilterGraph();
}

void TFFDecoder::ResetWaveInfo() {
  FWaveInfo = TWaveInfo{};
  FWaveInfo.Channels = FDesireAudioChannels;
  FWaveInfo.SampleRate = FDesireAudioSampleRate;
  FWaveInfo.SampleFormat = FDesireAudioSampleFormat;
  if (ff::av_get_bytes_per_sample) {
    FWaveInfo.BytesPerSample = ff::av_get_bytes_per_sample(FDesireAudioSampleFormat);
    FWaveInfo.BytesPerSecond = FWaveInfo.BytesPerSample * FDesireAudioSampleRate * FDesireAudioChannels;
  }
}

void TFFDecoder::FreeFilterGraph() {
  if (Ffilter_graph) ff::avfilter_graph_free(&Ffilter_graph);
  Fbuffersink_ctx = Fbuffersrc_ctx = nullptr;
}

void TFFDecoder::SetDesireAudioChannels(int Value) {
  if (Value == FDesireAudioChannels) return;
  FDesireAudioChannels = Value;
  if (ff::av_channel_layout_uninit) ff::av_channel_layout_uninit(&FDesireChannelLayout);
  ResetWaveInfo();
  FRemainsAudioSize = 0;
  FreeResampler();
}

void TFFDecoder::SetDesireAudioSampleRate(int Value) {
  if (Value == FDesireAudioSampleRate) return;
  FDesireAudioSampleRate = Value;
  ResetWaveInfo();
  FRemainsAudioSize = 0;
  FreeResampler();
}

bool TFFDecoder::CheckOwnHandle() {
  if (!FFileHandle) {
    ReportMessage(llWarning, "file not loaded.");
    return false;
  }
  if (!FOwnHandle) {
    ReportMessage(llWarning, kReadOnly);
    throw Exception(kReadOnly);
  }
  return true;
}

bool TFFDecoder::CanSeek() {
  if (!CheckOwnHandle()) return false;
  if (IsImage2(FFileHandle)) {
    ReportMessage(llInfo, "\"image2\" format cannot to be seeked.");
    return false;
  }
  return true;
}

int64_t TFFDecoder::FrameDuration() const { return FrameRateToDuration(FFrameRate); }

int64_t TFFDecoder::CurrentBytePos() const {
  return FFileHandle && FFileHandle->pb ? ff::avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
}

int64_t TFFDecoder::Position() {
  if (!FFileHandle) {
    ReportMessage(llWarning, "file not loaded.");
    return -1;
  }
  if (!FFileHandle->pb) {
    ReportMessage(llWarning, "cannot get position");
    return -1;
  }
  return CurrentBytePos();
}

int TFFDecoder::SelectVideoStream(int AIndex) {
  if (!CheckOwnHandle()) return -1;
  const int index = CheckStreamOfKind(AIndex < 0 ? FDesireVideoIndex : AIndex, AVMEDIA_TYPE_VIDEO);
  if (index < 0) return -1;
  if (index != FDesireVideoIndex) {
    ResetFrameInfo();
    AVStream* st = Stream(index);
    if (st->avg_frame_rate.num && st->avg_frame_rate.den) {
      FFrameRate = st->avg_frame_rate;
    } else {
      // The codec's rate where it agrees with the container's base rate; the
      // base rate, with a note, where they differ; the codec's where the
      // container knows none.
      const AVRational guess = GuessFrameRate(FFileHandle, st);
      const AVRational base = st->r_frame_rate;
      const bool known = base.num && base.den;
      if (known && guess.num && guess.den && (guess.num != base.num || guess.den != base.den))
        ReportMessageFmt(llInfo,
                         "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f "
                         "(%d/%d)",
                         {index, double(guess.num) / guess.den, guess.num, guess.den, double(base.num) / base.den,
                          base.num, base.den});
      FFrameRate = known || !(guess.num && guess.den) ? base : guess;
    }
  }
  FDesireVideoIndex = FSeekIndex = index;
  return index;
}

int TFFDecoder::SelectAudioStream(int AIndex) {
  if (!CheckOwnHandle()) return -1;
  const int index = CheckStreamOfKind(AIndex < 0 ? FDesireAudioIndex : AIndex, AVMEDIA_TYPE_AUDIO);
  if (index < 0) return -1;
  if (index != FDesireAudioIndex) {
    ResetWaveInfo();
    FRemainsAudioSize = 0;
    FreeResampler();
  }
  FDesireAudioIndex = FSeekIndex = index;
  return index;
}

bool TFFDecoder::OpenCodec(int AStreamIndex, bool AVideo) {
  AVStream* st = Stream(AStreamIndex);
  if (AVideo && (st->codecpar->width == 0 || st->codecpar->height == 0)) {
    ReportMessage(llError, "frame size of codec is invalid.");
    return false;
  }
  TCodecCtxPtr& slot = AVideo ? FVideoCodec : FAudioCodec;
  int& slotStream = AVideo ? FVideoCodecStream : FAudioCodecStream;
  if (slot && slotStream == AStreamIndex) return true;
  slot.reset();
  slotStream = -1;
  (AVideo ? FVideoDrainSent : FAudioDrainSent) = false;
  if (AVideo && FPendingPacket) ff::av_packet_unref(FPendingPacket);
  const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) {
    ReportMessageFmt(llError, "Unsupported codec (id=%d) for input file stream #%d",
                     {int(st->codecpar->codec_id), AStreamIndex});
    return false;
  }
  TCodecCtxPtr ctx(ff::avcodec_alloc_context3(codec));
  TAVDict opts;
  try {
    opts = FilterCodecOptions(FOptions.codec_opts().Get(), st->codecpar->codec_id, FFileHandle, st, codec);
  } catch (const Exception& e) {
    ReportMessage(llError, e.Message);
    return false;
  }
  bool ok = ctx && ff::avcodec_parameters_to_context(ctx.get(), st->codecpar) >= 0;
  if (ok) {
    // Decoded timestamps come back in the stream's time base.
    ctx->pkt_timebase = st->time_base;
    if (AVideo) ctx->thread_count = 1;
    ok = ff::avcodec_open2(ctx.get(), codec, opts.Ref()) >= 0;
  }
  if (!ok) {
    ReportMessageFmt(llError, "Error while opening codec for input file stream #%d", {AStreamIndex});
    return false;
  }
  slot = std::move(ctx);
  slotStream = AStreamIndex;
  return true;
}

bool TFFDecoder::EofReached(const char* Op) {
  if (!(FEOF && FEOFpkt)) return false;
  ReportMessageFmt(llInfo, "%s.%s: stream eof reached.", {ClassName(), Op});
  return true;
}

int TFFDecoder::SendVideoPacket(AVPacket* pkt) {
  const int r = ff::avcodec_send_packet(FVideoCodec.get(), pkt);
  // Full: keep the packet until the decoder has handed out its pictures.
  if (r == AVERROR(EAGAIN) && pkt) {
    if (!FPendingPacket) FPendingPacket = ff::av_packet_alloc();
    if (FPendingPacket) ff::av_packet_move_ref(FPendingPacket, pkt);
  }
  return r;
}

int TFFDecoder::ReadLoop(const char* Op, int VideoIndex, int AudioIndex) {
  AVCodecContext* vc = VideoIndex >= 0 ? FVideoCodec.get() : nullptr;
  const bool audio = AudioIndex >= 0 && FAudioCodec;
  if (!FPacket) FPacket = ff::av_packet_alloc();
  if (vc && !FDecodedFrame) FDecodedFrame = ff::av_frame_alloc();
  if (vc && !FFilteredFrame) FFilteredFrame = ff::av_frame_alloc();
  if (!FPacket || (vc && (!FDecodedFrame || !FFilteredFrame))) {
    ReportMessage(llError, ErrorCodeToText(Format("%s.%s", {ClassName(), Op}), AVERROR(ENOMEM)));
    return 0;
  }
  for (;;) {
    // Pictures the decoder still holds come before new input.
    if (vc) {
      ff::av_frame_unref(FDecodedFrame);
      const int r = ff::avcodec_receive_frame(vc, FDecodedFrame);
      if (r >= 0) {
        if (HandleVideoFrame(FDecodedFrame) > 0) return 1;
        continue;
      }
      if (r == AVERROR(EAGAIN) && FPendingPacket && FPendingPacket->data) {
        // Room again: the waiting packet goes first (once; a decoder refusing it twice loses it).
        ff::avcodec_send_packet(vc, FPendingPacket);
        ff::av_packet_unref(FPendingPacket);
        continue;
      }
      // Otherwise EAGAIN (needs input), EOF (drained) or a broken picture: read on.
    }

    StampRead();
    const int r = ff::av_read_frame(FFileHandle, FPacket);
    FLastRead.store(INT64_MAX);
    if (r == AVERROR(EAGAIN)) {
      ReportMessageFmt(llInfo, "%s.%s: no data, please try again.", {ClassName(), Op});
      return 0;
    }
    if (r < 0) {
      if (FEOFpkt) {
        if (r != AVERROR(EPIPE) && r != AVERROR_EOF && !(FFileHandle->pb && ff::avio_feof(FFileHandle->pb))) {
          ReportMessageFmt(llInfo, "%s.%s: unknown error #%d.", {ClassName(), Op, r});
          return 0;
        }
        ReportMessageFmt(llInfo, "%s.%s: stream eof reached.", {ClassName(), Op});
        FEOF = true;
        return 0;
      }
      // The first failed read drains the decoders of what they still hold.
      FEOFpkt = true;
      if (vc && !FVideoDrainSent) {
        SendVideoPacket(nullptr);
        FVideoDrainSent = true;
      }
      if (audio && !FAudioDrainSent) {
        FAudioDrainSent = true;
        const int a = DecodeAudioPacket(nullptr);
        if (a != 0) return a > 0 ? 2 : -1;
      }
      continue;
    }
    const int si = FPacket->stream_index;
    int result = 0;
    if (vc && si == VideoIndex) {
      SendVideoPacket(FPacket);
    } else if (audio && si == AudioIndex) {
      const int a = DecodeAudioPacket(FPacket);
      result = a > 0 ? 2 : a < 0 ? -1 : 0;
    }
    ff::av_packet_unref(FPacket);
    if (result != 0) return result;
  }
}

int TFFDecoder::HandleVideoFrame(AVFrame* frame) {
  const int64_t packetPts = frame->pts;
  frame->pts = frame->best_effort_timestamp;
  GlobalLogger()->Log(this, llDebug, "pkt.st_idx=%d, dts=%d, pts=%d, flags=%d, pict_type=%d(%s)",
                      {FDesireVideoIndex, frame->pkt_dts, packetPts, frame->flags, int(frame->pict_type),
                       PictureTypeText(frame->pict_type)});
  AVFrame* use = frame;
  const int r = ConfigureVideoFilters(Fvfilters, frame);
  if (r < 0) {
    GlobalLogger()->Log(this, llError, "Error while configuring the filtergraph");
  } else if (Ffilter_graph) {
    if (ff::av_buffersrc_add_frame_flags(Fbuffersrc_ctx, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
      GlobalLogger()->Log(this, llError, "Error while feeding the filtergraph");
    } else {
      ff::av_frame_unref(FFilteredFrame);
      const int s = ff::av_buffersink_get_frame_flags(Fbuffersink_ctx, FFilteredFrame, 0);
      if (s == AVERROR(EAGAIN) || s == AVERROR_EOF) return 0;
      if (s >= 0) {
        ff::av_frame_unref(frame);
        use = FFilteredFrame;
      }
    }
  }
  StorePicture(use, packetPts);
  return 1;
}

int TFFDecoder::ConfigureVideoFilters(const String& text, const AVFrame* frame) {
  if (text == Flast_vfilters) {
    if (text.empty() && Ffilter_graph) FreeFilterGraph();
    return 0;
  }
  FreeFilterGraph();
  Flast_vfilters.clear();
  if (text.empty()) return 0;

  AVFilterInOut* outputs = ff::avfilter_inout_alloc();
  AVFilterInOut* inputs = ff::avfilter_inout_alloc();
  Ffilter_graph = ff::avfilter_graph_alloc();
  int r = 0;
  if (!outputs || !inputs || !Ffilter_graph) r = AVERROR(ENOMEM);
  if (r >= 0) {
    AVStream* st = Stream(FDesireVideoIndex);
    const AVRational sar = frame->sample_aspect_ratio;
    // Numbers only, so the arguments read the same in every locale.
    char args[512];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame->width,
                  frame->height, frame->format, st->time_base.num, st->time_base.den, sar.num, std::max(sar.den, 1));
    const AVRational fr = GuessFrameRate(FFileHandle, st);
    if (fr.num && fr.den) {
      const size_t used = std::strlen(args);
      std::snprintf(args + used, sizeof args - used, ":frame_rate=%d/%d", fr.num, fr.den);
    }
    r = ff::avfilter_graph_create_filter(&Fbuffersrc_ctx, ff::avfilter_get_by_name("buffer"), "in", args, nullptr,
                                         Ffilter_graph);
    if (r < 0) GlobalLogger()->Log(this, llError, "Cannot create buffer source");
  }
  if (r >= 0) {
    r = ff::avfilter_graph_create_filter(&Fbuffersink_ctx, ff::avfilter_get_by_name("buffersink"), "out", nullptr,
                                         nullptr, Ffilter_graph);
    if (r < 0) GlobalLogger()->Log(this, llError, "Cannot create buffer sink");
  }
  if (r >= 0) {
    // The picture keeps the decoder's pixel format.
    const int formats[] = {frame->format, AV_PIX_FMT_NONE};
    r = OptSetIntList(Fbuffersink_ctx, "pix_fmts", formats, AV_OPT_SEARCH_CHILDREN, uint64_t(int64_t(-1)),
                      sizeof(int));
    if (r < 0) GlobalLogger()->Log(this, llError, "Cannot set output pixel format");
  }
  if (r >= 0) {
    outputs->name = ff::av_strdup("in");
    outputs->filter_ctx = Fbuffersrc_ctx;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = ff::av_strdup("out");
    inputs->filter_ctx = Fbuffersink_ctx;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    r = ff::avfilter_graph_parse_ptr(Ffilter_graph, text.c_str(), &inputs, &outputs, nullptr);
    if (r >= 0) r = ff::avfilter_graph_config(Ffilter_graph, nullptr);
    if (r >= 0) Flast_vfilters = text;
  }
  ff::avfilter_inout_free(&outputs);
  ff::avfilter_inout_free(&inputs);
  if (r < 0) FreeFilterGraph();
  return r;
}

void TFFDecoder::StorePicture(AVFrame* frame, int64_t packetPts) {
  // The picture is kept by reference: the decoder hands out a fresh buffer for
  // the next one, and no copy of a full picture is made per step.
  const AVPixelFormat fmt = AVPixelFormat(frame->format);
  if (!FPictureFrame) FPictureFrame = ff::av_frame_alloc();
  if (FPictureFrame) ff::av_frame_unref(FPictureFrame);
  const bool held = FPictureFrame && ff::av_frame_ref(FPictureFrame, frame) >= 0;
  FPicture.PixFmt = fmt;
  FPicture.Width = frame->width;
  FPicture.Height = frame->height;
  FPicture.IsKeyFrame = frame->key_frame != 0;
  FPicture.IsInterlaced = frame->interlaced_frame != 0;
  FPicture.IsTopFieldFirst = frame->top_field_first != 0;
  FPicture.PictureType = frame->pict_type;
  FPicture.Frame = held ? FPictureFrame : nullptr;

  const int64_t candidate = frame->pts;
  int64_t extrapolated = AV_NOPTS_VALUE;
  if (candidate == AV_NOPTS_VALUE && FEOFpkt && FLastPTS != AV_NOPTS_VALUE && FPicture.PTS != AV_NOPTS_VALUE)
    extrapolated = 2 * FPicture.PTS - FLastPTS;
  if (FPicture.PTS != AV_NOPTS_VALUE) FLastPTS = FPicture.PTS;
  if (candidate != AV_NOPTS_VALUE) {
    const AVStream* st = Stream(FDesireVideoIndex);
    int64_t ts = candidate;
    if (st->start_time != AV_NOPTS_VALUE) ts -= st->start_time;
    FPicture.PTS = ff::av_rescale_q(ts, st->time_base, AV_TIME_BASE_Q);
    GlobalLogger()->Log(this, llDebug, "decode PTS: %0.3f", {double(FPicture.PTS) / 1000000});
  } else {
    FPicture.PTS = extrapolated;
  }
  FPicture.OriginalDTS = frame->pkt_dts;
  FPicture.OriginalPTS = packetPts;
  FPicture.StreamIndex = FDesireVideoIndex;
  FPicture.Position = frame->pkt_pos;
  FPicture.Picture = TAVPicture{};
  if (!held) {
    FPicture.Ready = false;
    return;
  }
  for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
    FPicture.Picture.data[i] = FPictureFrame->data[i];
    FPicture.Picture.linesize[i] = FPictureFrame->linesize[i];
  }
  FPicture.Ready = true;
}

bool TFFDecoder::Decode(int AStreamIndex) {
  const int index = SelectVideoStream(AStreamIndex);
  if (index < 0) return false;
  // A still picture stays the current picture.
  if (FPicture.Ready && IsImage2(FFileHandle)) return true;
  if (EofReached("Decode() for video") || !OpenCodec(index, true)) return false;
  return ReadLoop("Decode() for video", index, -1) == 1;
}

TDecodeResult TFFDecoder::Decode(TDecodeType AType) {
  const char* op = "Decode() for video and/or audio";
  const int v = AType != dtAudio ? SelectVideoStream(-1) : -1;
  const int a = AType != dtVideo ? SelectAudioStream(-1) : -1;
  if (v < 0 && a < 0) return drError;
  if (EofReached(op)) return drError;
  if ((v >= 0 && !OpenCodec(v, true)) || (a >= 0 && !OpenCodec(a, false))) return drError;
  switch (ReadLoop(op, v, a)) {
    case 1: return drVideo;
    case 2: return drAudio;
    default: return drError;
  }
}

bool TFFDecoder::Seek(int64_t APTS, TSeekFlags ASeekFlags) {
  if (!CanSeek()) return false;
  AVFormatContext* ic = FFileHandle;
  if (ic->pb)
    GlobalLogger()->Log(this, llDebug, "%s.%s: current position %d bytes", {ClassName(), "Seek()", CurrentBytePos()});
  const bool byBytes = ASeekFlags.Contains(sfByte);
  const auto failed = [&] {
    if (byBytes)
      ReportMessageFmt(llError, "%s.%s: could not seek to position %d bytes", {ClassName(), "Seek()", APTS});
    else
      ReportMessageFmt(llError, "%s.%s: could not seek to position %0.3f seconds",
                       {ClassName(), "Seek()", double(APTS) / 1000000});
    return false;
  };
  // A time past the end has no picture: the libraries would land on the last key frame.
  if (!byBytes && ic->duration != AV_NOPTS_VALUE && ic->duration > 0 && APTS > ic->duration) return failed();

  int64_t target = APTS;
  if (!byBytes) {
    const bool video = FSeekIndex >= 0 && Stream(FSeekIndex)->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (APTS == 0 && FFrameRate.den != 0 && video) target = -FrameDuration() / 2;  // half a frame before the start
    if (FSeekIndex < 0) {
      if (ic->start_time != AV_NOPTS_VALUE) target += ic->start_time;
    } else {
      const AVStream* st = Stream(FSeekIndex);
      target = ff::av_rescale_q(target, AV_TIME_BASE_Q, st->time_base);
      if (st->start_time != AV_NOPTS_VALUE) target += st->start_time;
    }
  }

  if (FVideoCodec) ff::avcodec_flush_buffers(FVideoCodec.get());
  if (FAudioCodec) ff::avcodec_flush_buffers(FAudioCodec.get());
  FVideoDrainSent = FAudioDrainSent = false;
  if (FPendingPacket) ff::av_packet_unref(FPendingPacket);
  FEOF = FEOFpkt = false;
  ResetFrameInfo();
  ResetWaveInfo();
  FRemainsAudioSize = 0;

  // The direction goes into the allowed range: backward lands at or before the
  // target, forward at or after it.
  const int flags = SeekFlagsToAV(ASeekFlags) & ~AVSEEK_FLAG_BACKWARD;
  const auto attempt = [&](bool backward) {
    StampRead();
    const int r = ff::avformat_seek_file(ic, FSeekIndex, backward ? INT64_MIN : target, target,
                                         backward ? target : INT64_MAX, flags);
    FLastRead.store(INT64_MAX);
    return r >= 0;
  };
  const bool backward = ASeekFlags.Contains(sfBackward);
  if (!attempt(backward) && !attempt(!backward)) return failed();
  if (ic->pb)
    GlobalLogger()->Log(this, llDebug, "%s.%s: seek to position %d bytes", {ClassName(), "Seek()", CurrentBytePos()});
  return true;
}

bool TFFDecoder::DecodeNextKeyFrame(int AStreamIndex) {
  const int index = SelectVideoStream(AStreamIndex);
  if (index < 0) return false;
  int64_t target = FrameDuration();
  if (FPicture.PTS != AV_NOPTS_VALUE && FPicture.PTS > 0) target += FPicture.PTS;
  return Seek(target, {}) && Decode(index);
}

int64_t TFFDecoder::ReferencePTS() const {
  return FPicture.PTS != AV_NOPTS_VALUE ? FPicture.PTS : FLastPTS;
}

bool TFFDecoder::DecodePreviousKeyFrame(int AStreamIndex) {
  const int index = SelectVideoStream(AStreamIndex);
  if (index < 0) return false;
  int64_t P = ReferencePTS();
  if (P == AV_NOPTS_VALUE) P = FFileHandle->duration != AV_NOPTS_VALUE ? FFileHandle->duration : 0;
  const int64_t D = FrameDuration();
  const bool hasIO = FFileHandle->pb != nullptr;
  int64_t startPos = hasIO ? CurrentBytePos() : -1;
  int64_t posBefore = -1, posAfter = -1, firstPos = -2;
  int pastStart = 0;
  bool found = false;
  for (int k = 1; k <= kMaxKeyFrameSteps && !found; ++k) {
    const int64_t back = k * D;
    // Each try past the start lands on the first picture; a second one cannot do better.
    if (back > P && ++pastStart > 2) break;
    if (hasIO) posBefore = CurrentBytePos();
    Seek(P - back, TSeekFlags{sfBackward});
    if (hasIO) {
      posAfter = CurrentBytePos();
      if (posAfter >= startPos && startPos > 0 && posAfter != posBefore && back <= P) continue;
      if (firstPos == -1)
        firstPos = posAfter;
      else if (firstPos > 0 && posAfter >= firstPos && back <= P)
        continue;
    }
    if (firstPos == -2) firstPos = -1;
    if (!Decode(index)) {
      if (back > P || FEOF) break;
      continue;
    }
    const int64_t C = FPicture.PTS;
    if (C < P || C <= 0 || (C == P && back > P)) {
      found = true;
    } else if (posAfter < firstPos) {
      firstPos = -1;
    }
  }
  if (!found) FLastErrMsg = "Could not seek to the previous key-frame. " + FLastErrMsg;
  return found;
}

bool TFFDecoder::DecodePreviousFrame(int AStreamIndex) {
  const int index = SelectVideoStream(AStreamIndex);
  if (index < 0) return false;
  int64_t R = ReferencePTS();
  if (R == AV_NOPTS_VALUE) R = 0;
  const int64_t D = FrameDuration();
  const int64_t T = R - 2 * D;
  int64_t best = AV_NOPTS_VALUE;
  if (!DecodePreviousKeyFrame(index)) return false;
  for (;;) {
    if (FPicture.PTS > T) return true;
    if (!Decode(index)) return false;
    if (FPicture.PTS < R) best = FPicture.PTS;
    if (FPicture.PTS == R && DecodePreviousKeyFrame(index)) break;
  }
  if (best == AV_NOPTS_VALUE) return true;
  while (FPicture.PTS < best && Decode(index)) {
  }
  return true;
}

bool TFFDecoder::CopyToBitmap(TBitmap* ABitmap) {
  if (!FPicture.Ready) {
    ReportMessage(llError, kNotReady);
    return false;
  }
  // At 24 and 32 bits the scaler writes straight into the caller's bitmap
  // rows: no intermediate picture to copy, and no new image per picture.
  const int bits = FFormatConv->BitsPixel();
  if (bits == 24 || bits == 32) {
    // The bitmap is shaped on the main thread; its rows are filled here.
    uint8_t* top = nullptr;
    ptrdiff_t step = 0;
    CallInMainThread([&] {
      const TPixelFormat format = bits == 32 ? pf32bit : pf24bit;
      if (ABitmap->PixelFormat() != format) ABitmap->SetPixelFormat(format);
      if (ABitmap->Width() != FPicture.Width || ABitmap->Height() != FPicture.Height)
        ABitmap->SetSize(FPicture.Width, FPicture.Height);
      top = static_cast<uint8_t*>(ABitmap->ScanLine(0));
      step = FPicture.Height > 1 ? static_cast<uint8_t*>(ABitmap->ScanLine(1)) - top : 0;
    });
    if (top && FFormatConv->PictureToRows(FPicture.Picture.data, FPicture.Picture.linesize, FPicture.PixFmt,
                                          FPicture.Width, FPicture.Height, top, int(step)))
      return true;
  } else if (FFormatConv->PictureToRGB(FPicture.Picture.data, FPicture.Picture.linesize, FPicture.PixFmt,
                                       FPicture.Width, FPicture.Height, true)) {
    ABitmap->Assign(FFormatConv->Bitmap());
    return true;
  }
  ABitmap->SetSize(FPicture.Width, FPicture.Height);
  TCanvas* canvas = ABitmap->Canvas();
  canvas->Brush()->SetColor(TColor(0));
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(TRect{0, 0, FPicture.Width, FPicture.Height});
  ReportMessage(llError, FFormatConv->LastErrMsg());
  return false;
}

const BITMAP* TFFDecoder::GetBitmapPtr() {
  if (!FPicture.Ready) {
    ReportMessage(llError, kNotReady);
    return nullptr;
  }
  if (!FFormatConv->PictureToRGB(FPicture.Picture.data, FPicture.Picture.linesize, FPicture.PixFmt, FPicture.Width,
                                 FPicture.Height, false)) {
    ReportMessage(llError, FFormatConv->LastErrMsg());
    return nullptr;
  }
  return FFormatConv->DIB();
}

bool TFFDecoder::DecodeAudio(int AStreamIndex) {
  const int index = SelectAudioStream(AStreamIndex);
  if (index < 0) return false;
  if (EofReached("DecodeAudio()") || !OpenCodec(index, false)) return false;
  FLastPTS = AV_NOPTS_VALUE;
  return ReadLoop("DecodeAudio()", -1, index) == 2;
}

int TFFDecoder::DecodeAudioPacket(AVPacket* pkt) {
  ResetWaveInfo();
  AVCodecContext* ac = FAudioCodec.get();
  const int stream = FDesireAudioIndex;
  if (!FAudioDecodedFrame) FAudioDecodedFrame = ff::av_frame_alloc();
  if (!FAudioDecodedFrame) return AVERROR(ENOMEM);
  int r = ff::avcodec_send_packet(ac, pkt);
  if (r < 0 && r != AVERROR_EOF) {
    GlobalLogger()->Log(this, llError, ErrorCodeToText(Format("Error while decoding audio stream #%d", {stream}), r));
    return 0;
  }
  int64_t appended = 0;
  int64_t firstPts = AV_NOPTS_VALUE;
  int frames = 0;
  for (;;) {
    ff::av_frame_unref(FAudioDecodedFrame);
    r = ff::avcodec_receive_frame(ac, FAudioDecodedFrame);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
    if (r < 0) {
      GlobalLogger()->Log(this, llError, ErrorCodeToText(Format("Error while decoding audio stream #%d", {stream}), r));
      break;
    }
    if (++frames == 2 && pkt && !(ac->codec->capabilities & AV_CODEC_CAP_SUBFRAMES))
      GlobalLogger()->Log(this, llWarning, "Multiple frames in a packet from stream %d", {stream});
    if (firstPts == AV_NOPTS_VALUE) firstPts = FAudioDecodedFrame->pts;
    FAudioParam.st_idx = stream;
    const int bytes = ResampleAudio(appended, FAudioDecodedFrame);
    if (bytes < 0) return bytes;
    appended += bytes;
  }
  if (appended <= 0) return 0;
  int64_t stamp = pkt ? (pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts) : firstPts;
  const AVStream* st = Stream(stream);
  if (stamp != AV_NOPTS_VALUE) {
    if (st->start_time != AV_NOPTS_VALUE) stamp -= st->start_time;
    FWaveInfo.PTS = ff::av_rescale_q(stamp, st->time_base, AV_TIME_BASE_Q);
  }
  FWaveInfo.OriginalDTS = pkt ? pkt->dts : AV_NOPTS_VALUE;
  FWaveInfo.OriginalPTS = pkt ? pkt->pts : firstPts;
  FWaveInfo.StreamIndex = stream;
  FWaveInfo.Ready = true;
  const int64_t perSecond = int64_t(FWaveInfo.BytesPerSample) * FDesireAudioSampleRate * FDesireAudioChannels;
  FWaveInfo.Duration = perSecond > 0 ? (int64_t(FWaveInfo.Size) * 1000000 + perSecond / 2) / perSecond : 0;
  return 1;
}

bool TFFDecoder::AppendAudio(int64_t offset, const uint8_t* data, int64_t bytes) {
  const int64_t total = offset + bytes;
  if (total > INT32_MAX) return false;
  if (!FAudioBuffer || FAudioSize < total) {
    auto* grown = static_cast<uint8_t*>(ff::av_realloc(FAudioBuffer, size_t(total)));
    if (!grown) return false;
    FAudioBuffer = grown;
    FAudioSize = int(total);
  }
  std::memcpy(FAudioBuffer + offset, data, size_t(bytes));
  FWaveInfo.Buffer = FAudioBuffer;
  FWaveInfo.Size = int(total);
  return true;
}

int TFFDecoder::ResampleAudio(int64_t offset, AVFrame* frame) {
  AVChannelLayout src{};
  if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && frame->ch_layout.nb_channels > 0)
    ff::av_channel_layout_copy(&src, &frame->ch_layout);
  else
    ff::av_channel_layout_default(&src, frame->ch_layout.nb_channels);
  struct TUninit {
    AVChannelLayout* l;
    ~TUninit() { ff::av_channel_layout_uninit(l); }
  } uninit{&src};
  const AVSampleFormat fmt = AVSampleFormat(frame->format);
  const int channels = src.nb_channels;
  if (ff::av_channel_layout_compare(&src, &FAudioParam.channel_layout) != 0 || channels != FAudioParam.channels ||
      frame->sample_rate != FAudioParam.freq || fmt != FAudioParam.fmt) {
    if (FAudioParam.channels != -1) {
      GlobalLogger()->Log(this, llInfo,
                          "Audio stream #%d frame changed from %d Hz %s %d channels to %d Hz %s %d channels",
                          {FAudioParam.st_idx, FAudioParam.freq, SampleFmtName(FAudioParam.fmt), FAudioParam.channels,
                           frame->sample_rate, SampleFmtName(fmt), channels});
      FreeResampler();
    }
    ff::av_channel_layout_uninit(&FAudioParam.channel_layout);
    ff::av_channel_layout_copy(&FAudioParam.channel_layout, &src);
    FAudioParam.channels = channels;
    FAudioParam.freq = frame->sample_rate;
    FAudioParam.fmt = fmt;
  }
  if (FDesireChannelLayout.nb_channels == 0) ff::av_channel_layout_default(&FDesireChannelLayout, FDesireAudioChannels);
  const int outChannels = FDesireChannelLayout.nb_channels;
  const AVSampleFormat outFmt = FDesireAudioSampleFormat;

  // The same packed format passes as it is (a planar frame's first plane holds one channel only).
  const bool packed = !ff::av_sample_fmt_is_planar(fmt) || channels == 1;
  if (packed && fmt == outFmt && frame->sample_rate == FDesireAudioSampleRate &&
      ff::av_channel_layout_compare(&src, &FDesireChannelLayout) == 0) {
    const int bytes = ff::av_samples_get_buffer_size(nullptr, channels, frame->nb_samples, fmt, 1);
    if (bytes < 0) return bytes;
    if (!AppendAudio(offset, frame->data[0], bytes)) {
      ReportMessage(llError, "av_fast_malloc() failed");
      return AVERROR(ENOMEM);
    }
    return bytes;
  }

  if (!FAudioParam.swr_ctx) {
    SwrContext* swr = nullptr;
    if (ff::swr_alloc_set_opts2(&swr, &FDesireChannelLayout, outFmt, FDesireAudioSampleRate, &src, fmt,
                                frame->sample_rate, 0, nullptr) >= 0 &&
        ff::swr_init(swr) < 0) {
      GlobalLogger()->Log(this, llFatal, "swr_init() failed");
      ff::swr_free(&swr);
    }
    if (!swr) {
      ReportMessageFmt(llError, "Can not resample %d Hz %s %d channels to %d Hz %s %d channels",
                       {frame->sample_rate, SampleFmtName(fmt), channels, FDesireAudioSampleRate,
                        SampleFmtName(outFmt), outChannels});
      return -1;
    }
    FAudioParam.swr_ctx = swr;
    GlobalLogger()->Log(this, llInfo, "need resample %d Hz %s %d channels to %d Hz %s %d channels",
                        {frame->sample_rate, SampleFmtName(fmt), channels, FDesireAudioSampleRate,
                         SampleFmtName(outFmt), outChannels});
  }

  const int bytesPerSample = ff::av_get_bytes_per_sample(outFmt);
  int64_t room = int64_t(frame->nb_samples) * FDesireAudioSampleRate / frame->sample_rate + 256;
  const uint8_t* const* in = const_cast<const uint8_t* const*>(frame->extended_data);
  int inCount = frame->nb_samples;
  // No new input, but not the end of the stream either (a null input would flush).
  const uint8_t* const noInput[AV_NUM_DATA_POINTERS] = {};
  int64_t total = 0;
  for (;;) {
    const int size = ff::av_samples_get_buffer_size(nullptr, outChannels, int(room), outFmt, 0);
    if (size > 0) ff::av_fast_malloc(&FResampledBuffer, &FResampledSize, size_t(size));
    if (size <= 0 || !FResampledBuffer) {
      ReportMessage(llError, "av_fast_malloc() failed");
      return AVERROR(ENOMEM);
    }
    uint8_t* out = FResampledBuffer;
    const int n = ff::swr_convert(FAudioParam.swr_ctx, &out, int(room), const_cast<const uint8_t**>(in), inCount);
    if (n < 0) {
      ReportMessage(llError, ErrorCodeToText("swr_convert() failed", n));
      return n;
    }
    const int64_t bytes = int64_t(n) * outChannels * bytesPerSample;
    if (!AppendAudio(offset + total, FResampledBuffer, bytes)) {
      ReportMessage(llError, "av_fast_malloc() failed");
      return AVERROR(ENOMEM);
    }
    total += bytes;
    // A full room may leave samples behind in the resampler: fetch them with more room.
    if (n < room) break;
    room *= 2;
    in = noInput;
    inCount = 0;
  }
  return int(total);
}

int TFFDecoder::ReadAudio(uint8_t* ABuffer, int ACount, int AStreamIndex) {
  if (FRemainsAudioSize <= 0) {
    if (!DecodeAudio(AStreamIndex)) return -1;
    FRemainsAudioSize = FWaveInfo.Size;
  }
  const int n = std::min(ACount, FRemainsAudioSize);
  if (ABuffer && n > 0) {
    std::memcpy(ABuffer, FWaveInfo.Buffer + (FWaveInfo.Size - FRemainsAudioSize), size_t(n));
    FRemainsAudioSize -= n;
  }
  return n;
}
