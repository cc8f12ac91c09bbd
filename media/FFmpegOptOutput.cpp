// Opening the output of a conversion task.

#include <cerrno>
#include <cstring>

#include "media/FFLog.h"
#include "media/FFmpegOptFilters.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegOptParser.h"
#include "media/MyUtils.h"
#include "media/UnicodeProtocol.h"
#include "platform/rtl/DateUtils.h"

namespace {

constexpr uint32_t ApicTag = MakeTag('A', 'P', 'I', 'C');

// Were packets of the stream read while its parameters were probed?
bool HasProbedPackets(const AVStream* st) {
  return (st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS) != 0;
}

// The input files of the task that are local files.
std::vector<String> LocalInputs(const TCustomFFmpegOpt& Task) {
  std::vector<String> out;
  for (const auto& f : Task.Finput_files) {
    const AVFormatContext* ic = f ? f->ctx.get() : nullptr;
    if (!ic || !ic->url || (ic->iformat && (ic->iformat->flags & AVFMT_NOFILE))) continue;
    String path = TOutputTarget::LocalPath(ic->url);
    if (!path.empty()) out.push_back(std::move(path));
  }
  return out;
}

// Writing over an input would empty it while it is read.
int CheckNotAnInput(TCustomFFmpegOpt& Task, const TOutputTarget& Target, const String& FileName) {
  for (const String& input : LocalInputs(Task))
    if (Target.Refers(input)) {
      Task.FLastErrMsg = Format("The output file \"%s\" is one of the task's inputs.", {FileName});
      return AVERROR(EINVAL);
    }
  return 0;
}

// The muxer context of the output being opened and its registration; undone
// on failure unless released.
class TOutputUndo {
 public:
  explicit TOutputUndo(TCustomFFmpegOpt& Task) : FTask(Task), FFirstStream(Task.Foutput_streams.size()) {}
  ~TOutputUndo() { Discard(); }
  // The streams go too: they point into the muxer context.
  void Discard() {
    if (FRegistered || FContext) RemoveOutputStreams(FTask, FFirstStream);
    if (FRegistered) {
      FTask.Foutput_files.pop_back();  // frees its options; the context below goes with the last owner
      FRegistered = false;
    }
    FContext.reset();
  }
  SharedOutputFormat FContext;
  bool FRegistered = false;

 private:
  TCustomFFmpegOpt& FTask;
  size_t FFirstStream;
};

int Fail(TCustomFFmpegOpt& Task, TOutputUndo& Undo, const String& Msg) {
  Task.FLastErrMsg = Msg;
  Undo.Discard();
  return -1;
}

}  // namespace

int SelectVideoStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last) {
  if (ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_VIDEO) == AV_CODEC_ID_NONE)
    return -1;
  const int qcr = ff::avformat_query_codec(oc->oformat, oc->oformat->video_codec, 0);
  int64_t best = 0;
  int winner = -1;
  for (int i = First; i < Last; ++i) {
    const AVStream* st = Task.Finput_streams[i]->st;
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    const bool picture = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
    int64_t score = int64_t(par->width) * par->height + (HasProbedPackets(st) ? 100000000 : 0);
    if (picture && uint32_t(qcr) != ApicTag) score = 1;
    if (uint32_t(qcr) == ApicTag && !picture) continue;
    if (score > best) {
      best = score;
      winner = i;
    }
  }
  return winner;
}

int SelectAudioStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last) {
  if (ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_AUDIO) == AV_CODEC_ID_NONE)
    return -1;
  int64_t best = 0;
  int winner = -1;
  for (int i = First; i < Last; ++i) {
    const AVStream* st = Task.Finput_streams[i]->st;
    if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const int64_t score = st->codecpar->ch_layout.nb_channels + (HasProbedPackets(st) ? 100000000 : 0);
    if (score > best) {
      best = score;
      winner = i;
    }
  }
  return winner;
}

int SelectSubtitleStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int First,
                         int Last) {
  const char* name = nullptr;
  Task.MatchPerTypeCodecName(o, "s", name);
  const AVCodec* enc = ff::avcodec_find_encoder(oc->oformat->subtitle_codec);
  if (!enc && !name) return -1;
  const AVCodecDescriptor* outDesc = enc ? ff::avcodec_descriptor_get(enc->id) : nullptr;
  const int outProps = outDesc ? outDesc->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB) : 0;
  for (int i = First; i < Last; ++i) {
    const AVCodecParameters* par = Task.Finput_streams[i]->st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
    if (name) return i;
    const AVCodecDescriptor* inDesc = ff::avcodec_descriptor_get(par->codec_id);
    const int inProps = inDesc ? inDesc->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB) : 0;
    if ((inProps & outProps) || (inDesc && outDesc && (!inDesc->props || !outDesc->props))) return i;
  }
  return -1;
}

int SelectDataStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last) {
  const AVCodecID id = ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_DATA);
  if (id == AV_CODEC_ID_NONE) return -1;
  for (int i = First; i < Last; ++i) {
    const AVCodecParameters* par = Task.Finput_streams[i]->st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_DATA && par->codec_id == id) return i;
  }
  return -1;
}

void InitOutputFilter(TCustomFFmpegOpt& Task, TOutputFilter* ofilter, TOptionsContext* o,
                      AVFormatContext* oc) {
  TOutputStream* ost = nullptr;
  switch (ofilter->type_) {
    case AVMEDIA_TYPE_VIDEO:
      ost = NewVideoStream(Task, o, oc, -1);
      break;
    case AVMEDIA_TYPE_AUDIO:
      ost = NewAudioStream(Task, o, oc, -1);
      break;
    default:
      Task.FatalError("Only video and audio filters are supported currently.");
  }
  ost->source_index = -1;
  ost->filter = ofilter;
  ofilter->ost = ost;
  if (ost->stream_copy)
    Task.FatalErrorFmt(
        "Streamcopy requested for output stream %d:%d, which is fed from a complex filtergraph. Filtering "
        "and "
        "streamcopy cannot be used together.",
        {ost->file_index, ost->index});
  if (ost->filters || ost->filters_script) {
    const bool script = !ost->filters;
    const char* opt = script ? "-filter_script" : "-vf/-af/-filter";
    Task.FatalErrorFmt(
        "%s \"%s\" was specified through the %s option for output stream %d:%d, which is fed from a complex "
        "filtergraph.\r\n%s and -filter_complex cannot be used together for the same stream.",
        {script ? "Filtergraph script" : "Filtergraph", script ? ost->filters_script : ost->filters, opt,
         ost->file_index, ost->index, opt});
  }
  ofilter->out_tmp.reset();
}

int InitComplexFilters(TCustomFFmpegOpt& Task) {
  for (auto& fg : Task.Ffiltergraphs) {
    if (fg->IsSimple() || !fg->inputs.empty() || !fg->outputs.empty()) continue;  // learnt already
    const int ret = InitComplexFilterGraph(Task, fg.get());
    if (ret < 0) return ret;
  }
  return 0;
}

int ConfigureComplexFilters(TCustomFFmpegOpt& Task) {
  for (auto& fg : Task.Ffiltergraphs)
    if (!fg->graph) {
      const int ret = ConfigureFilterGraph(Task, fg.get());
      if (ret < 0) return ret;
    }
  return 0;
}

int CopyChapters(TInputFile* ifile, TOutputFile* ofile, bool copy_metadata) {
  AVFormatContext* is = ifile->ctx.get();
  AVFormatContext* os = ofile->ctx.get();
  if (!is->nb_chapters) return 0;
  // Unlike av_realloc_f, a failure leaves the chapters the context already has.
  auto* grown = static_cast<AVChapter**>(
      ff::av_realloc_array(os->chapters, is->nb_chapters + os->nb_chapters, sizeof(*os->chapters)));
  if (!grown) return AVERROR(ENOMEM);
  os->chapters = grown;
  for (unsigned i = 0; i < is->nb_chapters; ++i) {
    const AVChapter* in_ch = is->chapters[i];
    const int64_t start = ofile->start_time == AV_NOPTS_VALUE ? 0 : ofile->start_time;
    const int64_t ts_off =
        ff::av_rescale_q(start - ifile->ts_offset, AVRational{1, AV_TIME_BASE}, in_ch->time_base);
    const int64_t rt =
        ofile->recording_time == INT64_MAX
            ? INT64_MAX
            : ff::av_rescale_q(ofile->recording_time, AVRational{1, AV_TIME_BASE}, in_ch->time_base);
    if (in_ch->end < ts_off) continue;
    if (rt != INT64_MAX && in_ch->start > rt + ts_off) break;
    auto* out_ch = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
    if (!out_ch) return AVERROR(ENOMEM);
    out_ch->id = in_ch->id;
    out_ch->time_base = in_ch->time_base;
    out_ch->start = std::max<int64_t>(0, in_ch->start - ts_off);
    out_ch->end = std::min(rt, in_ch->end - ts_off);
    if (copy_metadata) ff::av_dict_copy(&out_ch->metadata, in_ch->metadata, 0);
    os->chapters[os->nb_chapters++] = out_ch;
  }
  return 0;
}

int OpenOutputIO(TCustomFFmpegOpt& Task, int Index) {
  TOutputFile* of = Task.Foutput_files[Index].get();
  AVFormatContext* oc = of->ctx.get();
  if ((oc->oformat->flags & AVFMT_NOFILE) || oc->pb) return 0;
  if (of->target) {
    // Inputs may have been added after the output was set.
    if (const int code = CheckNotAnInput(Task, *of->target, of->FileName)) return code;
    String name;
    if (const int code = of->target->BeginWrite(Task.Fno_file_overwrite, name, Task.FLastErrMsg)) return code;
    // The muxer writes (and may read back, for a moved index) under this name.
    if (name != oc->url) {
      ff::av_free(oc->url);
      oc->url = ff::av_strdup(ToLibraryFileName(name).c_str());
      if (!oc->url) {
        Task.FLastErrMsg = ErrorCodeToText(of->FileName, AVERROR(ENOMEM));
        return AVERROR(ENOMEM);
      }
    }
  }
  Task.StampWrite();
  const int err = ff::avio_open2(&oc->pb, oc->url, AVIO_FLAG_WRITE, &oc->interrupt_callback, of->opts->Ref());
  if (err < 0) Task.FLastErrMsg = ErrorCodeToText(of->FileName, err);
  return err;
}

int OpenOutputFileParsed(TCustomFFmpegOpt& Task, TOptionsContext* o, bool AJoin, const String& AFileName) {
  const String libName = ToLibraryFileName(AFileName);
  int err = InitComplexFilters(Task);
  if (err < 0) {
    Task.FLastErrMsg = ErrorCodeToText("Error initializing complex filters", err);
    return err;
  }
  const int inputCount = int(Task.Finput_files.size());
  if (Task.FJoinMode || (AJoin && inputCount > 1 && !Task.Foutput_files.empty())) {
    Task.FLastErrMsg = "Cannot join more than one output file.";
    return -1;
  }
  const bool join = AJoin && inputCount > 1;

  if (o->StopTime != INT64_MAX && o->RecordingTime != INT64_MAX) {
    o->StopTime = INT64_MAX;
    GlobalLogger()->Log(&Task, llWarning, "-t and -to cannot be used together; using -t.");
  } else if (o->StopTime != INT64_MAX && o->RecordingTime == INT64_MAX) {
    const int64_t start = o->StartTime == AV_NOPTS_VALUE ? 0 : o->StartTime;
    if (o->StopTime <= start) {
      Task.FLastErrMsg = "-to value smaller than -ss; aborting.";
      return -1;
    }
    o->RecordingTime = o->StopTime - start;
  }

  TOutputUndo undo(Task);
  AVFormatContext* raw = nullptr;
  err = ff::avformat_alloc_output_context2(&raw, nullptr, o->Format.empty() ? nullptr : o->Format.c_str(),
                                           libName.c_str());
  if (!raw) {
    Task.FLastErrMsg = ErrorCodeToText(AFileName, err);
    return -1;
  }
  undo.FContext = MakeSharedOutputFormat(raw);
  AVFormatContext* oc = raw;

  auto of = std::make_unique<TOutputFile>();
  of->ost_index = int(Task.Foutput_streams.size());
  of->recording_time = o->RecordingTime;
  of->start_time = o->StartTime;
  of->limit_filesize = o->LimitFilesize;
  of->shortest = o->Shortest;
  of->FileName = AFileName;
  *of->opts = o->Group->format_opts.Clone();
  of->ctx = undo.FContext;
  TOutputFile* ofile = of.get();
  Task.Foutput_files.push_back(std::move(of));
  undo.FRegistered = true;
  const int fileIndex = int(Task.Foutput_files.size()) - 1;

  if (o->RecordingTime != INT64_MAX) {
    oc->duration = o->RecordingTime;
    if (o->RecordingTime > Task.FOutputDuration) Task.FOutputDuration = o->RecordingTime;
  }
  oc->interrupt_callback = Task.FWriteCallback;

  // Unlabelled outputs of complex graphs go to this file.
  for (auto& fg : Task.Ffiltergraphs)
    for (auto& ofilter : fg->outputs)
      if (ofilter->out_tmp && !ofilter->out_tmp->name) {
        switch (ofilter->type_) {
          case AVMEDIA_TYPE_VIDEO:
            o->VideoDisable = 1;
            break;
          case AVMEDIA_TYPE_AUDIO:
            o->AudioDisable = 1;
            break;
          case AVMEDIA_TYPE_SUBTITLE:
            o->SubtitleDisable = 1;
            break;
          default:
            break;
        }
        InitOutputFilter(Task, ofilter.get(), o, oc);
      }

  const auto disabled = [o](AVMediaType Type) {
    return (Type == AVMEDIA_TYPE_VIDEO && o->VideoDisable) ||
           (Type == AVMEDIA_TYPE_AUDIO && o->AudioDisable) ||
           (Type == AVMEDIA_TYPE_SUBTITLE && o->SubtitleDisable) ||
           (Type == AVMEDIA_TYPE_DATA && o->DataDisable);
  };

  if (!o->StreamMaps.empty()) {
    for (const TStreamMap& map : o->StreamMaps) {
      if (map.Disabled) continue;
      if (!map.LinkLabel.empty()) {
        TOutputFilter* found = nullptr;
        for (auto& fg : Task.Ffiltergraphs) {
          for (auto& ofilter : fg->outputs)
            if (ofilter->out_tmp && ofilter->out_tmp->name && map.LinkLabel == ofilter->out_tmp->name) {
              found = ofilter.get();
              break;
            }
          if (found) break;
        }
        if (!found)
          return Fail(
              Task, undo,
              Format("Output with label \"%s\" does not exist in any defined filter graph, or was already "
                     "used elsewhere.",
                     {map.LinkLabel}));
        InitOutputFilter(Task, found, o, oc);
        continue;
      }
      if (join && map.FileIndex != 0) continue;  // later inputs are bound by their join segments
      const int src = Task.Finput_files[map.FileIndex]->ist_index + map.StreamIndex;
      const AVMediaType type = Task.Finput_streams[src]->st->codecpar->codec_type;
      if (disabled(type)) continue;
      switch (type) {
        case AVMEDIA_TYPE_VIDEO:
          NewVideoStream(Task, o, oc, src);
          break;
        case AVMEDIA_TYPE_AUDIO:
          NewAudioStream(Task, o, oc, src);
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          NewSubtitleStream(Task, o, oc, src);
          break;
        case AVMEDIA_TYPE_DATA:
          NewDataStream(Task, o, oc, src);
          break;
        case AVMEDIA_TYPE_ATTACHMENT:
          NewAttachmentStream(Task, o, oc, src);
          break;
        default:
          if (type == AVMEDIA_TYPE_UNKNOWN && Task.Fcopy_unknown_streams) {
            NewUnknownStream(Task, o, oc, src);
          } else if (Task.Fignore_unknown_streams) {
            GlobalLogger()->Log(
                &Task, llWarning,
                Format("Cannot map stream #%d:%d - unsupported type.", {map.FileIndex, map.StreamIndex}));
          } else {
            return Fail(
                Task, undo,
                Format("Cannot map stream #%d:%d - unsupported type.\r\nIf you want unsupported types "
                       "ignored instead of failing, please use the -ignore_unknown option\r\nIf you want "
                       "them copied, please use -copy_unknown",
                       {map.FileIndex, map.StreamIndex}));
          }
      }
    }
  } else {
    const int last =
        join && inputCount > 1 ? Task.Finput_files[1]->ist_index : int(Task.Finput_streams.size());
    int src = -1;
    if (!o->VideoDisable && (src = SelectVideoStream(Task, oc, 0, last)) >= 0)
      NewVideoStream(Task, o, oc, src);
    if (!o->AudioDisable && (src = SelectAudioStream(Task, oc, 0, last)) >= 0)
      NewAudioStream(Task, o, oc, src);
    if (!o->SubtitleDisable && (src = SelectSubtitleStream(Task, o, oc, 0, last)) >= 0)
      NewSubtitleStream(Task, o, oc, src);
    if (!o->DataDisable && (src = SelectDataStream(Task, oc, 0, last)) >= 0) NewDataStream(Task, o, oc, src);
  }

  for (const String& name : o->Attachments) {
    AVIOContext* pb = nullptr;
    Task.StampRead();
    if (ff::avio_open2(&pb, name.c_str(), AVIO_FLAG_READ, &Task.FReadCallback, nullptr) < 0)
      return Fail(Task, undo, Format("Could not open attachment file %s.", {name}));
    const int64_t len = ff::avio_size(pb);
    if (len <= 0 || len > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE) {
      ff::avio_closep(&pb);
      return Fail(Task, undo,
                  len <= 0 ? Format("Could not get size of the attachment %s.", {name})
                           : Format("Attachment %s too large to fit into memory.", {name}));
    }
    auto* data = static_cast<uint8_t*>(ff::av_mallocz(size_t(len) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!data) {
      ff::avio_closep(&pb);
      return Fail(Task, undo, Format("Attachment %s too large to fit into memory.", {name}));
    }
    Task.StampRead();
    ff::avio_read(pb, data, int(len));
    ff::avio_closep(&pb);
    TOutputStream* ost = NewAttachmentStream(Task, o, oc, -1);
    ost->stream_copy = 1;
    ost->attachment_filename = name;
    ost->finished = 1;
    ost->st->codecpar->extradata = data;
    ost->st->codecpar->extradata_size = int(len);
    size_t cut = name.rfind('/');
    if (cut == String::npos) cut = name.rfind('\\');
    const String base = cut == String::npos ? name : name.substr(cut + 1);
    ff::av_dict_set(&ost->st->metadata, "filename", base.c_str(), AV_DICT_DONT_OVERWRITE);
  }

  const int firstOst = ofile->ost_index;
  const int lastOst = int(Task.Foutput_streams.size());
  for (int i = firstOst; i < lastOst; ++i) {
    TOutputStream* ost = Task.Foutput_streams[i].get();
    if (!ost->stream_copy && ost->attachment_filename.empty()) continue;
    const AVDictionaryEntry* e =
        ff::av_dict_get(o->Group->codec_opts.Get(), "flags", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (!e) continue;
    if (std::strlen(e->key) > 5 && CheckStreamSpecifier(oc, ost->st, e->key + 6) <= 0) continue;
    if (ff::av_opt_set(ost->enc_ctx.get(), "flags", e->value, 0) < 0)
      return Fail(Task, undo, "failed to set flags");
  }

  if (!oc->nb_streams && !(oc->oformat->flags & AVFMT_NOSTREAMS)) {
    ff::av_dump_format(oc, fileIndex, oc->url, 1);
    return Fail(Task, undo, Format("Output file #%d does not contain any stream", {fileIndex}));
  }

  std::vector<const AVDictionary*> taken;
  for (int i = firstOst; i < lastOst; ++i) taken.push_back(Task.Foutput_streams[i]->encoder_opts.Get());
  if (CheckUnusedCodecOptions(Task, o->Group->codec_opts.Get(), taken, true, fileIndex, AFileName) < 0)
    return Fail(Task, undo, Task.FLastErrMsg);

  for (int i = firstOst; i < lastOst; ++i) {
    TOutputStream* ost = Task.Foutput_streams[i].get();
    ost->encoding_needed = !ost->stream_copy;
    if (ost->encoding_needed && ost->source_index >= 0)
      Task.Finput_streams[ost->source_index]->decoding_needed |= 1;
  }

  if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(oc->url))
    return Fail(Task, undo, ErrorCodeToText(FromLibraryFileName(oc->url), AVERROR(EINVAL)));

  if (!(oc->oformat->flags & AVFMT_NOSTREAMS) && !Task.Finput_stream_potentially_available)
    return Fail(Task, undo, "No input streams but output needs an input stream");

  // A local file is reserved here and written when the task runs (OpenOutputIO).
  if (!(oc->oformat->flags & AVFMT_NOFILE)) {
    const String path = TOutputTarget::LocalPath(oc->url);
    if (!path.empty()) {
      if (Task.Ffile_overwrite && Task.Fno_file_overwrite) Task.FatalError("Error, both -y and -n supplied.");
      auto target = std::make_shared<TOutputTarget>();
      if (target->Prepare(path, Task.Fno_file_overwrite, Task.FLastErrMsg) < 0) return Fail(Task, undo, Task.FLastErrMsg);
      ofile->target = std::move(target);
      if (CheckNotAnInput(Task, *ofile->target, AFileName) < 0) return Fail(Task, undo, Task.FLastErrMsg);
    }
  }

  if (o->MuxPreload != 0)
    ff::av_dict_set_int(ofile->opts->Ref(), "preload", int64_t(o->MuxPreload * AV_TIME_BASE), 0);
  oc->max_delay = int(o->MuxMaxDelay * AV_TIME_BASE);

  for (const TSpecifierValue& m : o->MetadataMap) {
    const char* text = m.Value.Str.c_str();
    char* rest = nullptr;
    const int in = int(ff::strtol(text, &rest, 0));
    if (in >= inputCount)
      return Fail(Task, undo, Format("Invalid input file index %d while processing metadata maps", {in}));
    const String inSpec = *rest ? String(rest + 1) : String();
    if (Task.CopyMetadata(m.Specifier, inSpec, o, in >= 0 ? Task.Finput_files[in]->ctx.get() : nullptr, oc) <
        0)
      return Fail(Task, undo, Task.FLastErrMsg);
  }

  if (o->ChaptersInputFile >= inputCount) {
    if (o->ChaptersInputFile != INT32_MAX)
      return Fail(Task, undo,
                  Format("Invalid input file index %d in chapter mapping.", {o->ChaptersInputFile}));
    o->ChaptersInputFile = -1;
    for (int i = 0; i < inputCount; ++i)
      if (Task.Finput_files[i]->ctx && Task.Finput_files[i]->ctx->nb_chapters) {
        o->ChaptersInputFile = i;
        break;
      }
  }
  if (o->ChaptersInputFile >= 0)
    CopyChapters(Task.Finput_files[o->ChaptersInputFile].get(), ofile, !o->MetadataChaptersManual);

  if (!o->MetadataGlobalManual && inputCount && Task.Finput_files[0]->ctx) {
    ff::av_dict_copy(&oc->metadata, Task.Finput_files[0]->ctx->metadata, AV_DICT_DONT_OVERWRITE);
    if (o->RecordingTime != INT64_MAX) ff::av_dict_set(&oc->metadata, "duration", nullptr, 0);
    ff::av_dict_set(&oc->metadata, "creation_time", nullptr, 0);
  }
  if (!o->MetadataStreamsManual)
    for (int i = firstOst; i < lastOst; ++i) {
      TOutputStream* ost = Task.Foutput_streams[i].get();
      if (ost->source_index < 0) continue;
      const TInputStream* ist = Task.Finput_streams[ost->source_index].get();
      ff::av_dict_copy(&ost->st->metadata, ist->st->metadata, AV_DICT_DONT_OVERWRITE);
      if (!ost->stream_copy) {
        ff::av_dict_set(&ost->st->metadata, "encoder", nullptr, 0);
        if (ist->autorotate) ff::av_dict_set(&ost->st->metadata, "rotate", nullptr, 0);
      }
    }

  // Programs: "program_num=n:title=t:st=i:st=j".
  for (size_t pi = 0; pi < o->Program.size(); ++pi) {
    const String& spec = o->Program[pi].Value.Str;
    std::vector<String> entries;
    for (const char* p = spec.c_str(); *p;) {
      char* token = ff::av_get_token(&p, ":");
      if (!token) break;
      entries.emplace_back(token);
      ff::av_free(token);
      if (*p) ++p;
    }
    int progid = int(pi) + 1;
    for (const String& entry : entries) {
      const size_t eq = entry.find('=');
      if (eq == String::npos || eq + 1 == entry.size()) break;
      if (entry.compare(0, eq, "program_num") == 0)
        progid = int(ff::strtol(entry.c_str() + eq + 1, nullptr, 0));
    }
    AVProgram* program = ff::av_new_program(oc, progid);
    if (!program) return Fail(Task, undo, "Could not alloc program.");
    for (const String& entry : entries) {
      const size_t eq = entry.find('=');
      if (eq == String::npos)
        return Fail(Task, undo, Format("No \"=\" character in program string %s.", {entry}));
      if (eq + 1 == entry.size()) return Fail(Task, undo, "program string is empty.");
      const String key = entry.substr(0, eq);
      const String value = entry.substr(eq + 1);
      if (key == "title")
        ff::av_dict_set(&program->metadata, "title", value.c_str(), 0);
      else if (key == "program_num")
        continue;
      else if (key == "st")
        ff::av_program_add_stream_index(oc, progid, unsigned(ff::strtol(value.c_str(), nullptr, 0)));
      else
        return Fail(Task, undo, Format("Unknown program key %s.", {key}));
    }
  }

  for (const TSpecifierValue& m : o->Metadata) {
    const String& text = m.Value.Str;
    const size_t eq = text.find('=');
    if (eq == String::npos)
      return Fail(Task, undo, Format("No \"=\" character in metadata string %s.", {text}));
    const String key = text.substr(0, eq);
    String value = text.substr(eq + 1);
    if (key == "creation_time" && value == "now")
      value = FormatDateTime("yyyy-mm-dd hh:nn:ss", Now(), TFormatSettings{}) + " " + TimeZoneText();
    char type = 'g';
    int index = 0;
    String streamSpec;
    if (Task.ParseMetaType(m.Specifier, type, index, streamSpec) < 0)
      return Fail(Task, undo, Task.FLastErrMsg);
    const char* v = value.empty() ? nullptr : value.c_str();
    switch (type) {
      case 's':
        for (unsigned j = 0; j < oc->nb_streams; ++j) {
          const int r = CheckStreamSpecifier(oc, oc->streams[j], streamSpec.c_str());
          if (r < 0) return Fail(Task, undo, ErrorCodeToText("check_stream_specifier", r));
          if (r == 0) continue;
          ff::av_dict_set(&oc->streams[j]->metadata, key.c_str(), v, 0);
          if (key == "rotate") Task.Foutput_streams[firstOst + int(j)]->rotate_overridden = 1;
        }
        break;
      case 'g':
        ff::av_dict_set(&oc->metadata, key.c_str(), v, 0);
        break;
      case 'c':
        if (index < 0 || unsigned(index) >= oc->nb_chapters)
          return Fail(Task, undo, Format("Invalid chapter index %d in metadata specifier.", {index}));
        ff::av_dict_set(&oc->chapters[index]->metadata, key.c_str(), v, 0);
        break;
      case 'p':
        if (index < 0 || unsigned(index) >= oc->nb_programs)
          return Fail(Task, undo, Format("Invalid program index %d in metadata specifier.", {index}));
        ff::av_dict_set(&oc->programs[index]->metadata, key.c_str(), v, 0);
        break;
      default:
        return Fail(Task, undo, Format("Invalid metadata specifier %s.", {m.Specifier}));
    }
  }

  err = ConfigureComplexFilters(Task);
  if (err < 0) return Fail(Task, undo, ErrorCodeToText("Error configuring complex filters", err));

  undo.FRegistered = false;
  undo.FContext.reset();
  if (join) {
    if (SetupJoin(Task, o) < 0) return -1;
    Task.FJoinMode = true;
  }
  return fileIndex;
}

int OpenOutputFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AOptions, bool AJoin,
                   const String& AFileName, const String& APresets) {
  const int ret =
      ParseOptions(Task, *o, AOptions, ofOutput, ToLibraryFileName(AFileName), "output file", APresets);
  return ret < 0 ? ret : OpenOutputFileParsed(Task, o, AJoin, AFileName);
}
