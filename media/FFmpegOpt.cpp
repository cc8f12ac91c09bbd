#include "media/FFmpegOpt.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "media/FFLog.h"

TCustomFFmpegOpt::TCustomFFmpegOpt() {
  FReadCallback.callback = &ReadInterruptCallback;
  FReadCallback.opaque = this;
  FWriteCallback.callback = &WriteInterruptCallback;
  FWriteCallback.opaque = this;
}

TCustomFFmpegOpt::~TCustomFFmpegOpt() {
  // Graphs and output streams point at streams of both sides; they go first.
  Ffiltergraphs.clear();
  Foutput_streams.clear();
  Foutput_files.clear();
  Finput_streams.clear();
  Finput_files.clear();
  Fprogress_avio.reset();
}

// ---------------------------------------------------------------------------
// Error convention

void TCustomFFmpegOpt::FatalError(const String& Msg) {
  FLastErrMsg = Msg;
  GlobalLogger()->Log(this, llFatal, Msg);
  throw FFmpegException(Msg);
}

void TCustomFFmpegOpt::FatalErrorFmt(std::string_view Fmt, std::initializer_list<TVarRec> Args) {
  FatalError(Format(Fmt, Args));
}

void TCustomFFmpegOpt::AbortCodecExperimental() { FatalError("abort codec experimental"); }

// ---------------------------------------------------------------------------
// Interrupt callbacks

int64_t TCustomFFmpegOpt::Now() const { return FClock ? FClock() : ff::av_gettime_relative(); }

namespace {

// 1 when the blocking step that started at Stamp was cancelled (stamp 0) or
// has lasted longer than TimeoutMs; the reason is logged.
int StepExpired(TCustomFFmpegOpt* Task, int64_t Stamp, int TimeoutMs, const char* CanceledText,
                const char* TimeoutText) {
  if (Stamp == INT64_MAX || TimeoutMs <= 0) return 0;
  // 64 bits: a time-out above 2,147,483 ms must not wrap.
  if (Stamp > 0 && Task->Now() - Stamp <= int64_t(TimeoutMs) * 1000) return 0;
  try {
    GlobalLogger()->Log(Task, llInfo, Stamp == 0 ? CanceledText : TimeoutText);
  } catch (...) {
    // Nothing may unwind into the library.
  }
  return 1;
}

}  // namespace

int TCustomFFmpegOpt::ReadInterruptCallback(void* Opaque) {
  auto* task = static_cast<TCustomFFmpegOpt*>(Opaque);
  if (task->FBroken.load() && task->Now() >= task->FStopReadsUntil.load()) {
    try {
      GlobalLogger()->Log(task, llInfo, "reading/writing broken");
    } catch (...) {
    }
    return 1;
  }
  return StepExpired(task, task->FLastRead.load(), task->FReadTimeout.load(), "connecting/reading canceled",
                     "connecting/reading timeout");
}

int TCustomFFmpegOpt::WriteInterruptCallback(void* Opaque) {
  auto* task = static_cast<TCustomFFmpegOpt*>(Opaque);
  return StepExpired(task, task->FLastWrite.load(), task->FWriteTimeout.load(), "connecting/writing canceled",
                     "connecting/writing timeout");
}

// ---------------------------------------------------------------------------
// Codecs and channel layouts

int TCustomFFmpegOpt::GuessInputChannelLayout(TInputStream* ist) {
  AVCodecContext* dec = ist->dec_ctx.get();
  if (dec->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) return 1;
  const int channels = dec->ch_layout.nb_channels;
  if (channels > ist->guess_layout_max || channels <= 0) return 0;
  ff::av_channel_layout_uninit(&dec->ch_layout);
  ff::av_channel_layout_default(&dec->ch_layout, channels);
  if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) return 0;  // no standard layout of that size
  char name[256] = {};
  ff::av_channel_layout_describe(&dec->ch_layout, name, sizeof name);
  GlobalLogger()->Log(nullptr, llWarning,
                      Format("Guessed Channel Layout for  Input Stream #%d.%d : %s",
                             {ist->file_index, ist->st ? ist->st->index : 0, name}));
  return 1;
}

const AVCodec* TCustomFFmpegOpt::FindCodecOrDie(const String& Name, AVMediaType Type, bool IsEncoder) {
  const char* kind = IsEncoder ? "encoder" : "decoder";
  const AVCodec* codec =
      IsEncoder ? ff::avcodec_find_encoder_by_name(Name.c_str()) : ff::avcodec_find_decoder_by_name(Name.c_str());
  if (!codec) {
    if (const AVCodecDescriptor* desc = ff::avcodec_descriptor_get_by_name(Name.c_str())) {
      codec = IsEncoder ? ff::avcodec_find_encoder(desc->id) : ff::avcodec_find_decoder(desc->id);
      if (codec)
        GlobalLogger()->Log(this, llVerbose,
                            Format("Matched %s \"%s\" for codec \"%s\".", {kind, codec->name, desc->name}));
    }
  }
  if (!codec) FatalErrorFmt("Unknown %s \"%s\"", {kind, Name});
  if (codec->type != Type) FatalErrorFmt("Invalid %s type \"%s\"", {kind, Name});
  return codec;
}

const AVCodec* TCustomFFmpegOpt::ChooseDecoder(TOptionsContext* o, AVFormatContext* s, AVStream* st) {
  const char* name = nullptr;
  MatchCodecNames(o, s, name, st);
  if (name) {
    const AVCodec* codec = FindCodecOrDie(name, st->codecpar->codec_type, false);
    st->codecpar->codec_id = codec->id;
    return codec;
  }
  return ff::avcodec_find_decoder(st->codecpar->codec_id);
}

void TCustomFFmpegOpt::MatchPerTypeCodecName(TOptionsContext* o, const char* Letter, const char*& Name) {
  for (const TSpecifierValue& e : o->CodecNames)
    if (e.Specifier == Letter) Name = e.Value.Str.c_str();
}

// ---------------------------------------------------------------------------
// Dictionaries

void TCustomFFmpegOpt::RemoveOptions(TAVDict& a, const AVDictionary* b) {
  const AVDictionaryEntry* t = nullptr;
  while ((t = ff::av_dict_get(b, "", t, AV_DICT_IGNORE_SUFFIX)))
    ff::av_dict_set(a.Ref(), t->key, nullptr, AV_DICT_MATCH_CASE);
}

void TCustomFFmpegOpt::AssertOptionsUsed(const AVDictionary* m) {
  const AVDictionaryEntry* t = ff::av_dict_get(m, "", nullptr, AV_DICT_IGNORE_SUFFIX);
  if (!t) return;
  const String text = Format("Option %s not found.", {t->key});
  if (HaltOnInvalidOption) FatalError(text);
  FLastErrMsg = text;
}

TAVDict TCustomFFmpegOpt::StripSpecifiers(const AVDictionary* Dict) {
  TAVDict result;
  const AVDictionaryEntry* t = nullptr;
  while ((t = ff::av_dict_get(Dict, "", t, AV_DICT_IGNORE_SUFFIX))) {
    const String key(t->key, std::strcspn(t->key, ":"));
    ff::av_dict_set(result.Ref(), key.c_str(), t->value, 0);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Metadata maps

int TCustomFFmpegOpt::ParseMetaType(const String& Spec, char& Type, int& Index, String& StreamSpec) {
  Type = 'g';
  if (Spec.empty()) return 0;
  Type = Spec[0];
  String error;
  switch (Type) {
    case 'g':
      break;
    case 's':
      if (Spec.size() > 1 && Spec[1] != ':')
        error = Format("Invalid metadata specifier %s.", {Spec});
      else
        StreamSpec = Spec.size() > 2 ? Spec.substr(2) : String();
      break;
    case 'c':
    case 'p':
      if (Spec.size() > 1 && Spec[1] == ':') Index = int(std::strtol(Spec.c_str() + 2, nullptr, 0));
      break;
    default:
      error = Format("Invalid metadata type %s.", {String(1, Type)});
  }
  if (error.empty()) return 0;
  FLastErrMsg = error;
  GlobalLogger()->Log(this, llFatal, error);
  return -1;
}

int TCustomFFmpegOpt::CopyMetadata(const String& OutSpec, const String& InSpec, TOptionsContext* o,
                                   AVFormatContext* ic, AVFormatContext* oc) {
  char typeOut = 'g', typeIn = 'g';
  int indexOut = 0, indexIn = 0;
  String streamSpecOut, streamSpecIn;
  if (ParseMetaType(OutSpec, typeOut, indexOut, streamSpecOut) < 0) return -1;
  if (ParseMetaType(InSpec, typeIn, indexIn, streamSpecIn) < 0) return -1;

  if (!ic) {
    if (typeOut == 'g' || OutSpec.empty()) o->MetadataGlobalManual = 1;
    if (typeOut == 's' || OutSpec.empty()) o->MetadataStreamsManual = 1;
    if (typeOut == 'c' || OutSpec.empty()) o->MetadataChaptersManual = 1;
    return 0;
  }
  if (typeIn == 'g' || typeOut == 'g') o->MetadataGlobalManual = 1;
  if (typeIn == 's' || typeOut == 's') o->MetadataStreamsManual = 1;
  if (typeIn == 'c' || typeOut == 'c') o->MetadataChaptersManual = 1;

  // The dictionary of a file, chapter or program; nullptr with FLastErrMsg set
  // when the index is out of range.
  const auto metadataOf = [this](AVFormatContext* ctx, char type, int index) -> AVDictionary** {
    if (type == 'g') return &ctx->metadata;
    const bool chapter = type == 'c';
    const unsigned count = chapter ? ctx->nb_chapters : ctx->nb_programs;
    if (index < 0 || unsigned(index) >= count) {
      FLastErrMsg = Format("Invalid %s index %d while processing metadata maps.",
                           {chapter ? "chapter" : "program", index});
      return nullptr;
    }
    return chapter ? &ctx->chapters[index]->metadata : &ctx->programs[index]->metadata;
  };

  AVDictionary** source = nullptr;
  if (typeIn == 's') {
    for (unsigned i = 0; i < ic->nb_streams && !source; ++i) {
      const int r = CheckStreamSpecifier(ic, ic->streams[i], streamSpecIn.c_str());
      if (r < 0) {
        FLastErrMsg = ErrorCodeToText("check_stream_specifier", r);
        return r;
      }
      if (r > 0) source = &ic->streams[i]->metadata;
    }
    if (!source) {
      FLastErrMsg = Format("Stream specifier %s does not match  any streams.", {streamSpecIn});
      return -1;
    }
  } else if (!(source = metadataOf(ic, typeIn, indexIn))) {
    return -1;
  }

  if (typeOut == 's') {
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
      const int r = CheckStreamSpecifier(oc, oc->streams[i], streamSpecOut.c_str());
      if (r < 0) {
        FLastErrMsg = ErrorCodeToText("check_stream_specifier", r);
        return r;
      }
      if (r > 0) ff::av_dict_copy(&oc->streams[i]->metadata, *source, AV_DICT_DONT_OVERWRITE);
    }
    return 0;
  }
  AVDictionary** target = metadataOf(oc, typeOut, indexOut);
  if (!target) return -1;
  ff::av_dict_copy(target, *source, AV_DICT_DONT_OVERWRITE);
  return 0;
}

int TCustomFFmpegOpt::Log2(uint32_t V) { return V ? int(std::bit_width(V)) - 1 : 0; }
