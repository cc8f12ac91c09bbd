// Join mode: every input after the first gets a segment of copies of the
// first output's stream records, bound to that input's streams, so that all
// inputs are written one after the other into the one output.

#include "media/FFmpegOptOpen.h"

namespace {

// A segment copy of output stream Source: it shares the muxer stream, the
// encoder context and encoder, the bit-stream filter chain, the pass-1 log
// and the graph output with Source (shared owners: the last copy frees them)
// and holds its own copies of the option dictionaries and texts.
std::unique_ptr<TOutputStream> CopyForJoin(const TOutputStream& Source, int FileIndex) {
  auto c = std::make_unique<TOutputStream>(Source);
  c->file_index = FileIndex;
  c->source_index = -1;
  c->sync_ist = nullptr;
  return c;
}

// The first copy of the segment being built with that media type and no source yet.
TOutputStream* FindJoinCopy(TCustomFFmpegOpt& Task, AVMediaType Type) {
  const size_t n = size_t(Task.Fnb_output_streams_join);
  for (size_t i = Task.Foutput_streams.size() - n; i < Task.Foutput_streams.size(); ++i) {
    TOutputStream* ost = Task.Foutput_streams[i].get();
    if (ost->st->codecpar->codec_type == Type && ost->source_index < 0) return ost;
  }
  return nullptr;
}

void Bind(TCustomFFmpegOpt& Task, TOutputStream* ost, int Source, TInputStream* Sync) {
  TInputStream* ist = Task.Finput_streams[Source].get();
  ost->source_index = Source;
  ost->sync_ist = Sync;
  ist->discard = 0;
  ist->st->discard = AVDiscard(ist->user_set_discard);
}

}  // namespace

int JoinInput(TCustomFFmpegOpt& Task, TOptionsContext* o, int k) {
  const int n = Task.Fnb_output_streams_join;
  AVFormatContext* oc = Task.Foutput_files[0]->ctx.get();
  for (int i = 0; i < n; ++i) Task.Foutput_streams.push_back(CopyForJoin(*Task.Foutput_streams[i], k));

  const TInputFile* f = Task.Finput_files[k].get();
  const int first = f->ist_index;
  const int last = first + f->nb_streams;
  if (o->StreamMaps.empty()) {
    const auto bind = [&](AVMediaType Type, int Source) {
      if (Source < 0) return;
      if (TOutputStream* ost = FindJoinCopy(Task, Type))
        Bind(Task, ost, Source, Task.Finput_streams[Source].get());
    };
    if (!o->VideoDisable) bind(AVMEDIA_TYPE_VIDEO, SelectVideoStream(Task, oc, first, last));
    if (!o->AudioDisable) bind(AVMEDIA_TYPE_AUDIO, SelectAudioStream(Task, oc, first, last));
    if (!o->SubtitleDisable) {
      const char* name = nullptr;
      Task.MatchPerTypeCodecName(o, "s", name);
      if (ff::avcodec_find_encoder(oc->oformat->subtitle_codec) || name)
        for (int i = first; i < last; ++i)
          if (Task.Finput_streams[i]->st->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
            bind(AVMEDIA_TYPE_SUBTITLE, i);
            break;
          }
    }
    if (!o->DataDisable) bind(AVMEDIA_TYPE_DATA, SelectDataStream(Task, oc, first, last));
  } else {
    for (const TStreamMap& map : o->StreamMaps) {
      if (map.Disabled || !map.LinkLabel.empty() || map.FileIndex != k) continue;
      const int src = f->ist_index + map.StreamIndex;
      const AVMediaType type = Task.Finput_streams[src]->st->codecpar->codec_type;
      if ((type == AVMEDIA_TYPE_VIDEO && o->VideoDisable) ||
          (type == AVMEDIA_TYPE_AUDIO && o->AudioDisable) ||
          (type == AVMEDIA_TYPE_SUBTITLE && o->SubtitleDisable) ||
          (type == AVMEDIA_TYPE_DATA && o->DataDisable))
        continue;
      const bool known = type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO ||
                         type == AVMEDIA_TYPE_DATA || type == AVMEDIA_TYPE_SUBTITLE ||
                         type == AVMEDIA_TYPE_ATTACHMENT ||
                         (type == AVMEDIA_TYPE_UNKNOWN && Task.Fcopy_unknown_streams);
      if (!known) {
        Task.FLastErrMsg =
            Format("Cannot map stream #%d:%d - unsupported type.", {map.FileIndex, map.StreamIndex});
        return -1;
      }
      if (TOutputStream* ost = FindJoinCopy(Task, type)) {
        const int sync = Task.Finput_files[map.SyncFileIndex]->ist_index + map.SyncStreamIndex;
        Bind(Task, ost, src, Task.Finput_streams[sync].get());
      }
    }
  }

  for (size_t i = Task.Foutput_streams.size(); i-- > Task.Foutput_streams.size() - size_t(n);) {
    TOutputStream* ost = Task.Foutput_streams[i].get();
    if (ost->source_index < 0) {
      Task.FLastErrMsg = "Cannot join files with diffrent streams state";
      return -1;
    }
    ost->encoding_needed = !ost->stream_copy;
    if (ost->encoding_needed) Task.Finput_streams[ost->source_index]->decoding_needed |= 1;
  }

  auto of = std::make_unique<TOutputFile>();
  const TOutputFile& first0 = *Task.Foutput_files[0];
  of->ctx = first0.ctx;
  of->opts = first0.opts;
  of->recording_time = first0.recording_time;
  of->start_time = first0.start_time;
  of->limit_filesize = first0.limit_filesize;
  of->FileName = first0.FileName;
  of->target = first0.target;
  of->shortest = first0.shortest;
  of->ost_index = int(Task.Foutput_streams.size()) - n;
  Task.Foutput_files.push_back(std::move(of));
  return int(Task.Foutput_files.size()) - 1;
}

int SetupJoin(TCustomFFmpegOpt& Task, TOptionsContext* o) {
  Task.Fnb_output_streams_join = int(Task.Foutput_files[0]->ctx->nb_streams);
  for (int k = 1; k < int(Task.Finput_files.size()); ++k) {
    if (JoinInput(Task, o, k) >= 0) continue;
    // Undo the whole output; its target removes the reservation it made.
    const String msg = Task.FLastErrMsg;
    FreeOutputStreams(Task);  // the copies share with the first segment; shared owners free once
    Task.Foutput_files.clear();
    Task.FJoinMode = false;
    Task.Fnb_output_streams_join = 0;
    Task.FLastErrMsg = msg;
    return -1;
  }
  int64_t total = 0;
  for (const auto& f : Task.Finput_files)
    if (f->ctx && f->ctx->duration != AV_NOPTS_VALUE) total += f->ctx->duration;
  Task.FOutputDuration = total ? total : -1;
  return 0;
}

void ActiveOutputRange(const TCustomFFmpegOpt& Task, int JoinFileIndex, int& From, int& To) {
  if (Task.FJoinMode) {
    From = JoinFileIndex * Task.Fnb_output_streams_join;
    To = From + Task.Fnb_output_streams_join - 1;
  } else {
    From = 0;
    To = int(Task.Foutput_streams.size()) - 1;
  }
}
