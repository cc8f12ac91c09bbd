// The transcode main loop: pass by pass (pause, need-output test, one step,
// progress report), then draining, trailers, the final report and the
// release of the codecs; the progress report and the final statistics.

#include <cmath>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpeg.h"
#include "media/FFmpegTimestamps.h"
#include "media/UnicodeProtocol.h"
#include "media/FFmpegOptOpen.h"

using namespace fftime;

namespace {

// The time to wait between two looks at the command queue while paused (ms).
constexpr uint32_t PausedCommandPoll = 50;
// How long a stopped task may go on reading sound to reach its pictures' end (µs).
constexpr int64_t StopSoundReadLimit = 1000000;

// Where a stream's reading has got to (µs), AV_NOPTS_VALUE before its first packet.
int64_t ReadPosition(const TInputStream* ist) {
  int64_t at = AV_NOPTS_VALUE;
  for (int64_t t : {ist->dts, ist->next_dts, ist->pts, ist->next_pts})
    if (t != AV_NOPTS_VALUE && (at == AV_NOPTS_VALUE || t > at)) at = t;
  return at;
}

}  // namespace

void TCustomFFmpeg::UpdateActiveOutputRange() { ActiveOutputRange(*this, Fjoin_file_index, Fost_from_idx, Fost_to_idx); }

bool TCustomFFmpeg::NeedOutput() {
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    TOutputFile* of = Foutput_files[ost->file_index].get();
    AVFormatContext* os = of->ctx.get();
    if (ost->finished || (os->pb && ff::avio_seek(os->pb, 0, SEEK_CUR) >= of->limit_filesize)) continue;
    if (ost->frame_number < ost->max_frames) return true;
    for (unsigned j = 0; j < os->nb_streams; ++j) CloseOutputStream(Foutput_streams[of->ost_index + j].get());
  }
  return false;
}

TOutputStream* TCustomFFmpeg::ChooseOutput() {
  int64_t best = INT64_MAX;
  TOutputStream* chosen = nullptr;
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    // The engine's own muxing clock (the library's is private).
    int64_t dts = INT64_MIN;
    if (ost->last_mux_dts != AV_NOPTS_VALUE)
      dts = ff::av_rescale_q(ost->last_mux_dts, ost->st->time_base, MicroTB);
    else
      GlobalLogger()->Log(this, llDebug, "cur_dts is invalid (this is harmless if it occurs once at the start per stream)");
    if (!ost->finished && dts < best) {
      best = dts;
      chosen = ost->unavailable ? nullptr : ost;
    }
  }
  return chosen;
}

bool TCustomFFmpeg::GotEAgain() {
  for (int i = Fost_from_idx; i <= Fost_to_idx; ++i)
    if (Foutput_streams[i]->unavailable) return true;
  return false;
}

int TCustomFFmpeg::TranscodeFromFilter(TFilterGraph* fg, TInputStream*& Best) {
  Best = nullptr;
  int ret = ff::avfilter_graph_request_oldest(fg->graph.get());
  if (ret >= 0) return ReapFilters(false);
  if (ret == AVERROR_EOF) {
    ret = ReapFilters(true);
    for (auto& out : fg->outputs)
      if (out->ost) CloseOutputStream(out->ost);
    return ret;
  }
  if (ret != AVERROR(EAGAIN)) return ret;
  unsigned most = 0;
  for (auto& in : fg->inputs) {
    TInputStream* ist = in->ist;
    const TInputFile* f = Finput_files[ist->file_index].get();
    if (f->eagain || f->eof_reached || !in->filter) continue;
    const unsigned failed = ff::av_buffersrc_get_nb_failed_requests(in->filter);
    if (failed > most) {
      most = failed;
      Best = ist;
    }
  }
  if (!Best)
    for (auto& out : fg->outputs)
      if (out->ost) out->ost->unavailable = 1;
  return 0;
}

int TCustomFFmpeg::TranscodeStep() {
  TOutputStream* ost = ChooseOutput();
  if (!ost) {
    if (GotEAgain()) {
      ResetEAgain();
      ff::av_usleep(10000);
      return 0;
    }
    GlobalLogger()->Log(this, llVerbose, "No more inputs to read from, finishing.");
    return AVERROR_EOF;
  }
  TInputStream* ist = nullptr;
  if (ost->filter && ost->filter->graph->graph) {
    const int ret = TranscodeFromFilter(ost->filter->graph, ist);
    if (ret < 0) return ret;
    if (!ist) return 0;
  } else {
    if (ost->source_index < 0) {
      // Nothing can feed it: it is done.
      CloseOutputStream(ost);
      return 0;
    }
    ist = Finput_streams[ost->source_index].get();
  }
  const int ret = ProcessInput(ist->file_index);
  if (ret == AVERROR(EAGAIN)) {
    if (Finput_files[ist->file_index]->eagain) ost->unavailable = 1;
    return 0;
  }
  if (ret < 0) return ret == AVERROR_EOF ? 0 : ret;
  return ReapFilters(false);
}

void TCustomFFmpeg::ReadSoundUpToPictures() {
  auto decoded = [](const TInputStream* ist, AVMediaType Type) {
    return ist->decoding_needed && ist->dec_ctx && ist->dec_ctx->codec_type == Type;
  };
  int64_t end = AV_NOPTS_VALUE;
  for (auto& ist : Finput_streams)
    if (decoded(ist.get(), AVMEDIA_TYPE_VIDEO)) {
      const int64_t at = ReadPosition(ist.get());
      if (at != AV_NOPTS_VALUE && (end == AV_NOPTS_VALUE || at > end)) end = at;
    }
  if (end == AV_NOPTS_VALUE) return;
  // A video encoder holds pictures back, so its output's clock lags; an input
  // of sound alone is read only as far as that clock and is behind the pictures.
  FStopReadsUntil.store(Now() + StopSoundReadLimit);
  for (size_t fi = 0; fi < Finput_files.size(); ++fi) {
    TInputFile* f = Finput_files[fi].get();
    std::vector<TInputStream*> sound;
    bool pictures = false;
    for (int i = 0; i < f->nb_streams; ++i) {
      TInputStream* ist = Finput_streams[f->ist_index + i].get();
      if (decoded(ist, AVMEDIA_TYPE_VIDEO)) pictures = true;
      if (decoded(ist, AVMEDIA_TYPE_AUDIO)) sound.push_back(ist);
    }
    // Sound interleaved with the pictures in one file has been read along with them.
    if (pictures || sound.empty()) continue;
    auto behind = [&] {
      for (const TInputStream* ist : sound) {
        const int64_t at = ReadPosition(ist);
        if (at == AV_NOPTS_VALUE || at < end) return true;
      }
      return false;
    };
    while (!f->eof_reached && behind() && Now() < FStopReadsUntil.load()) {
      const int ret = ProcessInput(int(fi));
      if (ret == AVERROR(EAGAIN) && !f->eof_reached) {
        ResetEAgain();
        ff::av_usleep(1000);
        continue;
      }
      if (ret < 0 && ret != AVERROR(EAGAIN)) break;
      ReapFilters(false);
    }
  }
  FStopReadsUntil.store(0);
}

void TCustomFFmpeg::Transcode() {
  const int64_t timerStart = ff::av_gettime_relative();
  for (auto& f : Finput_files)
    if (f->rate_emu)
      for (int j = 0; j < f->nb_streams; ++j) Finput_streams[f->ist_index + j]->start = ff::av_gettime_relative();
  Fjoin_file_index = 0;
  UpdateActiveOutputRange();

  while (!FBroken.load()) {
    // Paused tasks sleep here between two passes, still answering filter commands.
    while (FSuspender.WaitFor(PausedCommandPoll) != TWaitResult::wrSignaled) ServeCommands();
    ServeCommands();
    const int64_t curTime = ff::av_gettime_relative();
    if (!NeedOutput()) {
      GlobalLogger()->Log(this, llVerbose, "No more output streams to write to, finishing.");
      break;
    }
    const int ret = TranscodeStep();
    if (ret < 0 && ret != AVERROR_EOF) {
      const String text = ErrorCodeToText("Error while filtering", ret);
      GlobalLogger()->Log(this, llError, text);
      NoteRunError(text);
      break;
    }
    PrintReport(Fjoin_file_index, false, timerStart, curTime);
  }
  if (FBroken.load() && !FJoinMode) ReadSoundUpToPictures();

  for (auto& ist : Finput_streams)
    if (!Finput_files[ist->file_index]->eof_reached && ist->decoding_needed && ist->decoder_flushed != 1) {
      // One frame per call: keep going until the decoder is empty.
      while (ProcessInputPacket(ist.get(), nullptr, 0) > 0) {
        ReapFilters(false);
      }
    }
  ReapFilters(true);
  FlushEncoders();

  int failures = 0;
  for (size_t i = 0; i < Foutput_files.size(); ++i) {
    AVFormatContext* os = Foutput_files[i]->ctx.get();
    StampWrite();
    const int ret = ff::av_write_trailer(os);
    if (ret < 0) {
      FLastErrMsg = ErrorCodeToText(Format("Error writing trailer of %s", {Foutput_files[i]->FileName}), ret);
      GlobalLogger()->Log(this, llError, FLastErrMsg);
      if (Fexit_on_error) FatalError(FLastErrMsg);
      ++failures;
    }
    if (FJoinMode) break;
  }
  PrintReport(-1, true, timerStart, ff::av_gettime_relative());
  // A run that ended normally or was stopped by the user replaces the targets.
  if (!failures && FRunError.empty()) CommitOutputs();

  const int encoders = FJoinMode ? std::min<int>(Fnb_output_streams_join, int(Foutput_streams.size()))
                                 : int(Foutput_streams.size());
  for (int i = 0; i < encoders; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    if (!ost->encoding_needed) continue;
    if (ost->enc_ctx) ff::av_freep(&ost->enc_ctx->stats_in);
    RemoveCodecItem(FEncoderList, ost);
  }
  for (auto& ist : Finput_streams) {
    if (!ist->decoding_needed || ist->decoder_closed == 1) continue;
    ist->decoder_closed = 1;
    ff::avcodec_close(ist->dec_ctx.get());
    if (ist->hwaccel_uninit) ist->hwaccel_uninit(ist->dec_ctx.get());
    RemoveCodecItem(FDecoderList, ist.get());
  }
  FFinished.store(!FBroken.load() && !failures && FRunError.empty());
  TranscodeCleanup();
  if (failures) throw FFmpegException("At least one output file failed to be written trailer");
  if (!FRunError.empty()) {
    FLastErrMsg = FRunError;
    throw FFmpegException(FRunError);
  }
}

void TCustomFFmpeg::CommitOutputs() {
  for (auto& of : Foutput_files) {
    AVFormatContext* oc = of->ctx.get();
    if (of->target && of->target->Kind() == TOutputTarget::TKind::Replace) {
      String error;
      if (oc->pb) {
        const int ret = ff::avio_closep(&oc->pb);
        if (ret < 0) error = ErrorCodeToText(Format("Error closing %s", {of->FileName}), ret);
      }
      if (error.empty()) of->target->Commit(error);
      if (!error.empty()) {
        GlobalLogger()->Log(this, llError, error);
        NoteRunError(error);
      }
    }
    if (FJoinMode) break;
  }
}

void TCustomFFmpeg::TranscodeCleanup() {
  CloseDecoderItems(FDecoderList);
  FreeEncoderItems(FEncoderList);
  for (size_t i = 0; i < Foutput_streams.size(); ++i) {
    if (FJoinMode && int(i) >= Fnb_output_streams_join) break;
    TOutputStream* ost = Foutput_streams[i].get();
    if (!ost) continue;
    if (ost->logfile) {
      if (std::fflush(ost->logfile.get()) != 0)
        GlobalLogger()->Log(this, llError, "Error closing logfile, loss of information possible");
      ost->logfile.reset();
    }
    ost->forced_kf_pts.clear();
  }
  FTranscodeCleanuped = true;
}

// ---------------------------------------------------------------------------
// Report texts. The status line is shown to the user and follows the user's
// decimal separator; the progress block is read by programs and always has
// a point. Integer formats pad with zeros through their precision.

namespace {

const TFormatSettings& PointSettings() {
  static const TFormatSettings settings;
  return settings;
}

}  // namespace

void TCustomFFmpeg::ReportFrameTexts(int FrameNumber, float Fps, float Q, int FileIndex, int Index, String& Status,
                                     String& Block) {
  Status += Format("frame=%5d fps=%3.*f q=%3.1f ", {FrameNumber, Fps < 9.95 ? 1 : 0, Fps, Q});
  Block += Format("frame=%d\n", {FrameNumber});
  Block += Format("fps=%.1f\n", {Fps}, PointSettings());
  Block += Format("stream_%d_%d_q=%.1f\n", {FileIndex, Index, Q}, PointSettings());
}

size_t TCustomFFmpeg::ReportTailTexts(int64_t Pts, int64_t TotalSize, double Bitrate, int Dup, int Drop,
                                      double Speed, String& Status, String& Block) {
  const int64_t apts = Pts < 0 ? -Pts : Pts;
  int secs = int(apts / 1000000);
  const int us = int(apts % 1000000);
  int mins = secs / 60;
  secs %= 60;
  const int hours = mins / 60;
  mins %= 60;
  const int ms = us / 1000;
  Status += TotalSize < 0 ? String("size=N/A time=") : Format("size=%8.0fkB time=", {double(TotalSize) / 1024});
  if (Pts < 0) Status += "-";
  Status += Format("%.2d:%.2d:%.2d.%.3d ", {hours, mins, secs, ms});
  Status += Bitrate < 0 ? String("bitrate=N/A") : Format("bitrate=%6.1fkbits/s", {Bitrate});
  Block += Bitrate < 0 ? String("bitrate=N/A\n") : Format("bitrate=%6.1fkbits/s\n", {Bitrate}, PointSettings());
  Block += TotalSize < 0 ? String("total_size=N/A\n") : Format("total_size=%d\n", {TotalSize});
  Block += Format("out_time_ms=%d\n", {Pts});
  Block += Format("out_time=%.2d:%.2d:%.2d.%.6d\n", {hours, mins, secs, us});
  if (Dup || Drop) Status += Format(" dup=%d drop=%d", {Dup, Drop});
  const size_t beforeSpeed = Status.size();
  Block += Format("dup_frames=%d\n", {Dup});
  Block += Format("drop_frames=%d\n", {Drop});
  Status += Speed < 0 ? String(" speed=N/A") : Format(" speed=%4.3gx", {Speed});
  Block += Speed < 0 ? String("speed=N/A\n") : Format("speed=%4.3gx\n", {Speed}, PointSettings());
  return beforeSpeed;
}

String TCustomFFmpeg::FinalSizesText(int64_t Video, int64_t Audio, int64_t Subtitle, int64_t Other, int64_t Extra,
                                     int64_t Total, int64_t TotalSize) {
  const String overhead = (Total && TotalSize > 0 && TotalSize >= Total)
                              ? Format("%f%%", {double(TotalSize - Total) * 100 / double(Total)})
                              : String("unknown");
  return Format(
      "video:%1.0fkB audio:%1.0fkB subtitle:%1.0fkB other streams:%1.0fkB global headers:%1.0fkB muxing overhead: %s",
      {Video / 1024.0, Audio / 1024.0, Subtitle / 1024.0, Other / 1024.0, Extra / 1024.0, overhead});
}

// ---------------------------------------------------------------------------
// Progress

void TCustomFFmpeg::FireProgress(int FileIndex, int FrameNumber, int FPS, float Quality, float BitRate, int64_t Size,
                                 int64_t Duration) {
  THandlerScope scope(this);
  FOnProgress(this, FileIndex, FrameNumber, FPS, Quality, BitRate, Size, Duration, FOutputDuration);
}

void TCustomFFmpeg::PrintReport(int FileIndex, bool IsLastReport, int64_t TimerStart, int64_t CurTime) {
  if (!Fprint_stats && !IsLastReport && !Fprogress_avio && !FOnProgress) return;
  if (!IsLastReport) {
    if (Flast_time == -1) {
      Flast_time = CurTime;
      return;
    }
    if (CurTime - Flast_time < FReportInterval.load()) return;
    Flast_time = CurTime;
  }
  const float t = float(CurTime - TimerStart) / 1000000.0f;
  int64_t totalSize = -1;
  if (!Foutput_files.empty() && Foutput_files[0]->ctx->pb) {
    AVIOContext* pb = Foutput_files[0]->ctx->pb;
    totalSize = ff::avio_size(pb);
    if (totalSize <= 0) totalSize = ff::avio_seek(pb, 0, SEEK_CUR);
  }
  String status;
  String block;
  int from = 0;
  int count = int(Foutput_streams.size());
  if (FJoinMode) {
    const int f = FileIndex >= 0 ? FileIndex : int(Finput_files.size()) - 1;
    from = f * Fnb_output_streams_join;
    count = std::min(Fnb_output_streams_join, int(Foutput_streams.size()) - from);
  }
  int64_t pts = INT64_MIN + 1;
  int frameNumber = -1;
  float fps = -1;
  float q = -1;
  int64_t curDuration = 0;
  bool shown = false;
  for (int i = from; i < from + count; ++i) {
    TOutputStream* ost = Foutput_streams[i].get();
    AVCodecContext* enc = ost->enc_ctx.get();
    q = ost->stream_copy ? -1 : float(ost->quality) / FF_QP2LAMBDA;
    const bool video = enc && enc->codec_type == AVMEDIA_TYPE_VIDEO;
    if (shown && video) {
      status += Format("q=%2.1f ", {q});
      block += Format("stream_%d_%d_q=%.1f\n", {ost->file_index, ost->index, q}, PointSettings());
    }
    bool skip = false;
    if (!shown && video && !ost->not_show_fps) {
      if (ost->frame_number < 1) {
        skip = true;
      } else {
        frameNumber = ost->frame_number;
        fps = t > 1 ? float(frameNumber) / t : 0;
        ReportFrameTexts(frameNumber, fps, q, ost->file_index, ost->index, status, block);
        if (IsLastReport) status += "L";
        if (Fqp_hist) {
          const int qp = int(std::lrint(q));
          if (qp >= 0 && qp < 52) Fqp_histogram[qp]++;
          for (int j = 0; j < 32; ++j) status += Format("%X", {Log2(uint32_t(Fqp_histogram[j] + 1))});
        }
        if ((enc->flags & AV_CODEC_FLAG_PSNR) && (ost->pict_type != AV_PICTURE_TYPE_NONE || IsLastReport)) {
          double errorSum = 0, scaleSum = 0;
          status += "PSNR=";
          const char letters[] = {'Y', 'U', 'V'};
          for (int j = 0; j < 3; ++j) {
            double error = IsLastReport ? double(enc->error[j]) : double(ost->error[j]);
            double scale = double(enc->width) * enc->height * 255.0 * 255.0;
            if (IsLastReport) scale *= frameNumber;
            if (j) scale /= 4;
            errorSum += error;
            scaleSum += scale;
            const double p = -10.0 * std::log10(error / scale);
            status += Format("%s:%2.2f ", {String(1, letters[j]), p});
            block += Format("stream_%d_%d_psnr_%s=%2.2f\n",
                            {ost->file_index, ost->index, String(1, char(letters[j] + 32)), p}, PointSettings());
          }
          const double p = -10.0 * std::log10(errorSum / scaleSum);
          status += Format("*:%2.2f ", {p});
          block += Format("stream_%d_%d_psnr_all=%2.2f\n", {ost->file_index, ost->index, p}, PointSettings());
        }
        shown = true;
      }
    }
    if (skip) continue;
    const int64_t end = ff::av_stream_get_end_pts(ost->st);
    if (end != AV_NOPTS_VALUE) {
      pts = std::max(pts, ff::av_rescale_q(end, ost->st->time_base, MicroTB));
      curDuration = pts;
    }
    if (IsLastReport) Fnb_frames_drop += ost->last_dropped;
  }

  // Floating point: an output under a millisecond or above 2 GB stays exact.
  const double bitrate = (pts == 0 || totalSize < 0) ? -1.0 : double(totalSize) * 8 / (double(pts) / 1000);
  const double speed = t != 0 ? double(pts) / 1000000 / t : -1;
  const size_t beforeSpeed =
      ReportTailTexts(pts, totalSize, bitrate, Fnb_frames_dup, Fnb_frames_drop, speed, status, block);
  if ((Fnb_frames_dup || Fnb_frames_drop) && FShowDupOrDrop && FOnProgress) {
    FShowDupOrDrop = false;
    GlobalLogger()->Log(this, llInfo, status.substr(0, beforeSpeed));
  }

  if (FOnProgress)
    FireProgress(IsLastReport ? -1 : FileIndex, frameNumber, fps < 0 ? -1 : int(std::lrint(fps)), q, float(bitrate),
                 totalSize < 0 ? 0 : totalSize, curDuration);
  if ((Fprint_stats && !FOnProgress) || IsLastReport) GlobalLogger()->Log(this, llInfo, status);
  if (Fprogress_avio) {
    block += Format("progress=%s\n", {IsLastReport ? "end" : "continue"});
    ff::avio_write(Fprogress_avio.get(), reinterpret_cast<const unsigned char*>(block.data()), int(block.size()));
    ff::avio_flush(Fprogress_avio.get());
    if (IsLastReport) {
      AVIOContext* pb = Fprogress_avio.release();
      const int ret = ff::avio_closep(&pb);
      if (ret < 0)
        GlobalLogger()->Log(this, llError,
                            ErrorCodeToText("Error closing progress log, loss of information possible", ret));
    }
  }
  if (IsLastReport) PrintFinalStats(totalSize);
}

void TCustomFFmpeg::PrintFinalStats(int64_t TotalSize) {
  int64_t video = 0, audio = 0, subtitle = 0, other = 0, extra = 0, total = 0;
  bool pass1Only = true;
  for (auto& ost : Foutput_streams) {
    AVCodecContext* enc = ost->enc_ctx.get();
    if (!enc) continue;
    switch (enc->codec_type) {
      case AVMEDIA_TYPE_VIDEO: video += ost->data_size; break;
      case AVMEDIA_TYPE_AUDIO: audio += ost->data_size; break;
      case AVMEDIA_TYPE_SUBTITLE: subtitle += ost->data_size; break;
      default: other += ost->data_size; break;
    }
    extra += enc->extradata_size;
    total += ost->data_size;
    if ((enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) != AV_CODEC_FLAG_PASS1) pass1Only = false;
  }
  GlobalLogger()->Log(this, llInfo, FinalSizesText(video, audio, subtitle, other, extra, total, TotalSize));
  for (size_t i = 0; i < Finput_files.size(); ++i) {
    const TInputFile* f = Finput_files[i].get();
    GlobalLogger()->Log(this, llVerbose,
                        Format("Input file #%d (%s):", {int(i), FromLibraryFileName(f->ctx->url)}));
    int64_t packets = 0, bytes = 0;
    for (int j = 0; j < f->nb_streams; ++j) {
      const TInputStream* ist = Finput_streams[f->ist_index + j].get();
      const AVMediaType type = ist->dec_ctx ? ist->dec_ctx->codec_type : ist->st->codecpar->codec_type;
      String line = Format("  Input stream #%d:%d (%s): %d packets read (%d bytes); ",
                           {int(i), j, MediaTypeText(type), ist->nb_packets, ist->data_size});
      if (ist->decoding_needed) {
        line += Format("%d frames decoded", {ist->frames_decoded});
        if (type == AVMEDIA_TYPE_AUDIO) line += Format(" (%d samples)", {ist->samples_decoded});
        line += "; ";
      }
      GlobalLogger()->Log(this, llVerbose, line);
      packets += ist->nb_packets;
      bytes += ist->data_size;
    }
    GlobalLogger()->Log(this, llVerbose, Format("  Total: %d packets (%d bytes) demuxed", {packets, bytes}));
  }
  for (size_t i = 0; i < Foutput_files.size(); ++i) {
    const TOutputFile* of = Foutput_files[i].get();
    GlobalLogger()->Log(this, llVerbose,
                        Format("Output file #%d (%s):", {int(i), of->FileName}));
    int64_t packets = 0, bytes = 0;
    for (unsigned j = 0; j < of->ctx->nb_streams && of->ost_index + int(j) < int(Foutput_streams.size()); ++j) {
      const TOutputStream* ost = Foutput_streams[of->ost_index + j].get();
      const AVMediaType type = ost->enc_ctx ? ost->enc_ctx->codec_type : AVMEDIA_TYPE_UNKNOWN;
      String line = Format("  Output stream #%d:%d (%s): ", {int(i), int(j), MediaTypeText(type)});
      if (ost->encoding_needed) {
        line += Format("%d frames encoded", {ost->frames_encoded});
        if (type == AVMEDIA_TYPE_AUDIO) line += Format(" (%d samples)", {ost->samples_encoded});
        line += "; ";
      }
      line += Format("%d packets muxed (%d bytes); ", {ost->packets_written, ost->data_size});
      GlobalLogger()->Log(this, llVerbose, line);
      packets += ost->packets_written;
      bytes += ost->data_size;
    }
    GlobalLogger()->Log(this, llVerbose, Format("  Total: %d packets (%d bytes) muxed", {packets, bytes}));
  }
  if (!video && !total && !audio && !subtitle && !extra)
    GlobalLogger()->Log(this, llWarning,
                        String("Output file is empty, nothing was encoded") +
                            (pass1Only ? "" : " (check -ss / -t / -frames parameters if used)"));
  GlobalLogger()->Log(this, llInfo, Format("%d frames successfully decoded, %d decoding errors",
                                           {Fdecode_error_stat[0], Fdecode_error_stat[1]}));
}
