// The inspection decoder's file side: opening, closing, stream records and
// the information text.

#include "media/FFDecode.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/FFmpegOptParser.h"
#include "media/MyUtils.h"
#include "media/UnicodeProtocol.h"
#include "platform/os/Threads.h"

namespace {

const char* const kFileNotLoaded = "file not loaded.";

String LibText(const char* s) { return s ? String(s) : String(); }

String TagValue(const AVDictionary* dict, const char* key) {
  const AVDictionaryEntry* e = ff::av_dict_get(dict, key, nullptr, 0);
  return e ? LibText(e->value) : String();
}

// A tag read as a decimal number; 0 when missing or not wholly a number.
int TagNumber(const AVDictionary* dict, const char* key) {
  int value = 0;
  return TryStrToInt(TagValue(dict, key), value) ? value : 0;
}

// The tags of a dictionary but "language", under indent + "Metadata:".
void AddMetadataLines(std::vector<String>& lines, const AVDictionary* dict, const String& indent) {
  if (!dict) return;
  const int count = ff::av_dict_count(dict);
  if (count == 0 || (count == 1 && ff::av_dict_get(dict, "language", nullptr, 0))) return;
  lines.push_back(indent + "Metadata:");
  const AVDictionaryEntry* e = nullptr;
  while ((e = ff::av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
    if (std::strcmp(e->key, "language") == 0) continue;
    String key = e->key;
    if (key.size() < 16) key.append(16 - key.size(), ' ');
    String line = indent + "  " + key + ": ";
    const char* p = e->value;
    while (*p) {
      const size_t len = std::strcspn(p, "\x08\x0a\x0b\x0c\x0d");
      line.append(p, std::min<size_t>(len, 255));
      p += len;
      if (*p == '\r') line += ' ';
      if (*p == '\n') {
        lines.push_back(line);
        line = indent + "  " + String(16, ' ') + ": ";
      }
      if (*p) ++p;
    }
    lines.push_back(line);
  }
}

// A codec context filled from the stream's parameters, for the library's texts.
struct TTempCodecContext {
  explicit TTempCodecContext(const AVStream* st) : ctx(ff::avcodec_alloc_context3(nullptr)) {
    if (ctx && ff::avcodec_parameters_to_context(ctx, st->codecpar) < 0) ff::avcodec_free_context(&ctx);
  }
  ~TTempCodecContext() {
    if (ctx) ff::avcodec_free_context(&ctx);
  }
  TTempCodecContext(const TTempCodecContext&) = delete;
  TTempCodecContext& operator=(const TTempCodecContext&) = delete;
  AVCodecContext* ctx;
};

AVRational DisplayRatio(int width, int height, AVRational sar) {
  AVRational dar{0, 1};
  ff::av_reduce(&dar.num, &dar.den, int64_t(width) * sar.num, int64_t(height) * sar.den, 1024 * 1024);
  return dar;
}

}  // namespace

String SecondsText(int64_t ts, AVRational tb) {
  if (ts == AV_NOPTS_VALUE) return String();
  if (tb.num != 1 || tb.den != AV_TIME_BASE) ts = ff::av_rescale_q(ts, tb, AV_TIME_BASE_Q);
  // The sign is written once, also for times between -1 and 0 s.
  const uint64_t magnitude = ts < 0 ? uint64_t(0) - uint64_t(ts) : uint64_t(ts);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%" PRIu64 ".%.6" PRIu64, ts < 0 ? "-" : "", magnitude / AV_TIME_BASE,
                magnitude % AV_TIME_BASE);
  return buf;
}

String RateSuffixText(double v, const char* unit) {
  const double r = std::nearbyint(v * 100);
  const int64_t ri = int64_t(r);
  if (ri % 100 != 0) return Format(", %3.2f %s", {v, unit});
  if (ri % (100 * 1000) != 0) return Format(", %1.0f %s", {v, unit});
  return Format(", %1.0fk %s", {v / 1000, unit});
}

int DecodeInterruptCallback(void* opaque) {
  auto* self = static_cast<TCustomDecoder*>(opaque);
  const int64_t last = self->FLastRead.load();
  if (last == INT64_MAX || self->GetReadTimeout() <= 0) return 0;
  if (ff::av_gettime_relative() - last <= int64_t(self->GetReadTimeout()) * 1000) return 0;
  try {
    GlobalLogger()->Log(self, llInfo, last == 0 ? "connecting/reading canceled" : "connecting/reading timeout");
  } catch (...) {
    // Never raise through the library.
  }
  return 1;
}

TCustomDecoder::TCustomDecoder(TComponent* AOwner) : TFFBaseComponent(AOwner) { RefreshFileInfo(); }

TCustomDecoder::~TCustomDecoder() {
  // Derived destructors close their own state first; this closes the input.
  TCustomDecoder::CloseFile();
}

bool TCustomDecoder::AVLibLoaded() const { return FFLoader().Loaded(DecoderLibraries); }

bool TCustomDecoder::LoadAVLib(const String& APath) {
  FFLoader().SetLibraryPath(APath);
  const bool ok = FFLoader().Load(DecoderLibraries);
  if (ok)
    ResetOptions();
  else
    FLastErrMsg = FFLoader().LastErrMsg();
  return ok;
}

void TCustomDecoder::UnloadAVLib() { FFLoader().Unload(DecoderLibraries); }

void TCustomDecoder::ResetOptions() {
  if (ff::av_dict_set) FOptions.init_opts();
}

bool TCustomDecoder::opt_default(const String& opt, const String& arg) {
  if (!AVLibLoaded()) {
    ReportMessage(llError, "FFmpeg libraries not loaded.");
    return false;
  }
  FOptions.OptionErrorText.clear();
  const bool taken = FOptions.opt_default(opt, arg) == 0;
  if (!taken && !FOptions.OptionErrorText.empty()) FLastErrMsg = FOptions.OptionErrorText;
  return taken;
}

bool TCustomDecoder::DefaultOptions(const String& AOptions) {
  if (AOptions.empty()) return true;
  GlobalLogger()->Log(this, llInfo, "ParseOptions: " + AOptions);
  const std::vector<String> words = SplitCommandLine(AOptions);
  bool ok = true;
  for (size_t i = 0; i < words.size();) {
    const String& w = words[i];
    if (w.size() > 1 && w[0] == '-') {
      const String value = i + 1 < words.size() ? words[i + 1] : String();
      if (!opt_default(w.substr(1), value)) ok = false;
      i += 2;
    } else {
      ff::av_log(nullptr, AV_LOG_ERROR, "Invalid option found while parsing options, ignore\n");
      ++i;
    }
  }
  return ok;
}

void TCustomDecoder::ReportMessage(TLogLevel Level, const String& Msg) {
  FLastErrMsg = Msg;
  GlobalLogger()->Log(this, Level, Msg);
}

void TCustomDecoder::ReportMessageFmt(TLogLevel Level, std::string_view Fmt, std::initializer_list<TVarRec> Args) {
  ReportMessage(Level, Format(Fmt, Args));
}

void TCustomDecoder::StampRead() { FLastRead.store(ff::av_gettime_relative()); }

bool TCustomDecoder::LoadFile(const String& AFileName, const String& AFormatName) {
  FFLoader().CheckLibAV(DecoderLibraries);
  CloseFile();
  if (!FOptions.sws_dict().Get()) FOptions.init_opts();
  bool ok = false;
  try {
    ok = LoadFileWithOptions(AFileName, AFormatName);
  } catch (const Exception& e) {
    // An option the libraries cannot apply (a bad stream specifier).
    FLastErrMsg = AFileName + ": " + e.Message;
  }
  // Options apply to this one open, whatever its outcome.
  FOptions.init_opts();
  if (!ok) CloseFile();
  return ok;
}

bool TCustomDecoder::LoadFileWithOptions(const String& AFileName, const String& AFormatName) {
  const AVInputFormat* fmt = nullptr;
  if (!AFormatName.empty()) {
    fmt = ff::av_find_input_format(AFormatName.c_str());
    if (!fmt) {
      ReportMessageFmt(llError, "Unknown input format: %s", {AFormatName});
      return false;
    }
  }
  FFileHandle = ff::avformat_alloc_context();
  if (!FFileHandle) {
    FLastErrMsg = ErrorCodeToText(AFileName, AVERROR(ENOMEM));
    return false;
  }
  FFileHandle->interrupt_callback.callback = DecodeInterruptCallback;
  FFileHandle->interrupt_callback.opaque = this;
  FOwnHandle = true;
  StampRead();
  // On failure the library frees the context and clears the pointer.
  const int ret =
      ff::avformat_open_input(&FFileHandle, ToLibraryFileName(AFileName).c_str(), fmt, FOptions.format_opts().Ref());
  FLastRead.store(INT64_MAX);
  if (ret < 0) {
    FLastErrMsg = ErrorCodeToText(AFileName, ret);
    return false;
  }
  const AVDictionaryEntry* left = nullptr;
  while ((left = ff::av_dict_get(FOptions.format_opts().Get(), "", left, AV_DICT_IGNORE_SUFFIX)))
    GlobalLogger()->Log(this, llError, "Option %s not found, ignored.", {left->key});
  FFileHandle->flags |= AVFMT_FLAG_NONBLOCK;

  if (FOnBeforeFindStreamInfo) {
    AVFormatContext* ctx = FFileHandle;
    if (FTriggerEventInMainThread)
      CallInMainThread([&] { FOnBeforeFindStreamInfo(this, ctx); });
    else
      FOnBeforeFindStreamInfo(this, ctx);
  }

  // One codec-option dictionary per stream there is now, freed whatever the probe gives.
  TStreamOptions streamOpts = SetupFindStreamInfoOptions(FFileHandle, FOptions.codec_opts().Get());
  StampRead();
  const int probe = ff::avformat_find_stream_info(FFileHandle, streamOpts.Data());
  FLastRead.store(INT64_MAX);
  if (probe < 0) {
    FLastErrMsg = Format("%s: could not find codec parameters", {AFileName});
    return false;
  }
  if (FFileHandle->pb) {
    FFileHandle->pb->eof_reached = 0;
    FFileHandle->pb->error = 0;
  }
  RefreshFileInfo();
  if (FOptions.FetchSwsFlags() >= 0) SetScalerFlags(FOptions.sws_flags());
  FForceFormat = AFormatName;
  return true;
}

void TCustomDecoder::CloseFile() {
  FForceFormat.clear();
  if (FFileHandle) {
    if (FOwnHandle)
      ff::avformat_close_input(&FFileHandle);
    FFileHandle = nullptr;
  }
  RefreshFileInfo();
}

void TCustomDecoder::AttachFormatContext(AVFormatContext* Value) {
  if (Value == FFileHandle) return;
  FFLoader().CheckLibAV(DecoderLibraries);
  CloseFile();
  FOwnHandle = false;
  FFileHandle = Value;
  RefreshFileInfo();
}

int64_t TCustomDecoder::ComputeFileSize() {
  int64_t size = 0;
  if (!(FFileHandle->iformat->flags & AVFMT_NOFILE) && FFileHandle->pb) size = std::max<int64_t>(0, ff::avio_size(FFileHandle->pb));
  if (size == 0) {
    const int64_t onDisk = FileSizeByName(FromLibraryFileName(LibText(FFileHandle->url)));
    if (onDisk > 0) size = onDisk;
  }
  return size;
}

void TCustomDecoder::RefreshFileInfo() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  if (!FFileHandle) return;
  FFileSize = ComputeFileSize();
  FStreamCount = int(FFileHandle->nb_streams);
  FProgramCount = int(FFileHandle->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    switch (Stream(i)->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        if (FVideoStreamCount++ == 0) FFirstVideoStreamIndex = i;
        break;
      case AVMEDIA_TYPE_AUDIO:
        if (FAudioStreamCount++ == 0) FFirstAudioStreamIndex = i;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (FSubtitleStreamCount++ == 0) FFirstSubtitleStreamIndex = i;
        break;
      default:
        break;
    }
  }
}

bool TCustomDecoder::CheckFileLoaded() {
  if (FFileHandle) return true;
  ReportMessage(llWarning, kFileNotLoaded);
  return false;
}

String TCustomDecoder::FileName() {
  return CheckFileLoaded() ? FromLibraryFileName(LibText(FFileHandle->url)) : String();
}

String TCustomDecoder::FormatName() { return CheckFileLoaded() ? LibText(FFileHandle->iformat->name) : String(); }

String TCustomDecoder::FormatLongName() {
  return CheckFileLoaded() ? LibText(FFileHandle->iformat->long_name) : String();
}

TFileStreamInfo TCustomDecoder::FileStreamInfo() {
  TFileStreamInfo info;
  if (!CheckFileLoaded()) return info;
  info.StartTime = FFileHandle->start_time;
  info.Duration = FFileHandle->duration == AV_NOPTS_VALUE ? -1 : FFileHandle->duration;
  info.BitRate = int(FFileHandle->bit_rate);
  const AVDictionary* md = FFileHandle->metadata;
  info.Year = TagNumber(md, "year");
  info.Track = TagNumber(md, "track");
  info.Title = TagValue(md, "title");
  info.Author = TagValue(md, "author");
  info.Copyright = TagValue(md, "copyright");
  info.Comment = TagValue(md, "comment");
  info.Album = TagValue(md, "album");
  info.Genre = TagValue(md, "genre");
  return info;
}

int TCustomDecoder::CheckStreamOfKind(int Index, AVMediaType Kind) {
  const char* kind = Kind == AVMEDIA_TYPE_VIDEO ? "video" : Kind == AVMEDIA_TYPE_AUDIO ? "audio" : "subtitle";
  if (Index < 0) {
    Index = Kind == AVMEDIA_TYPE_VIDEO   ? FFirstVideoStreamIndex
            : Kind == AVMEDIA_TYPE_AUDIO ? FFirstAudioStreamIndex
                                         : FFirstSubtitleStreamIndex;
    if (Index < 0) {
      ReportMessageFmt(llError, "no %s stream.", {kind});
      return -1;
    }
  }
  if (Index >= FStreamCount) {
    ReportMessageFmt(llError, "stream index #%d is invalid.", {Index});
    return -1;
  }
  if (Stream(Index)->codecpar->codec_type != Kind) {
    ReportMessageFmt(llError, "stream #%d is not %s stream.", {Index, kind});
    return -1;
  }
  return Index;
}

AVStream* TCustomDecoder::InfoStream(int& Index, AVMediaType Kind) {
  if (!CheckFileLoaded()) return nullptr;
  Index = CheckStreamOfKind(Index, Kind);
  return Index < 0 ? nullptr : Stream(Index);
}

String TCustomDecoder::CodecNameOf(AVStream* st) const {
  TTempCodecContext tmp(st);
  return tmp.ctx ? CodecNameText(tmp.ctx, false, FGetLongCodecName) : String();
}

namespace {

// What video and audio records share: language, codec, bit rate, and start and
// duration raw and in microseconds (a zero time base is repaired first).
template <typename Info>
void FillCommon(AVStream* st, const String& codecName, Info& info) {
  info.Language = TagValue(st->metadata, "language");
  info.CodecName = codecName;
  info.BitRate = int(st->codecpar->bit_rate);
  if (st->time_base.den == 0) st->time_base.den = st->time_base.num ? st->time_base.num : 1;
  info.StartTime = st->start_time;
  info.Duration = st->duration;
  if (st->start_time != AV_NOPTS_VALUE) info.StartTimeScaled = ff::av_rescale_q(st->start_time, st->time_base, AV_TIME_BASE_Q);
  if (st->duration != AV_NOPTS_VALUE) info.DurationScaled = ff::av_rescale_q(st->duration, st->time_base, AV_TIME_BASE_Q);
}

}  // namespace

TVideoStreamInfo TCustomDecoder::GetVideoStreamInfos(int Index) {
  TVideoStreamInfo info;
  AVStream* st = InfoStream(Index, AVMEDIA_TYPE_VIDEO);
  if (!st) return info;
  const AVCodecParameters* par = st->codecpar;
  FillCommon(st, CodecNameOf(st), info);
  info.Height = par->height;
  info.Width = par->width;
  info.SAR = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
  if (info.SAR.den == 0) info.SAR = AVRational{0, 1};
  info.SampleAspectRatio = float(info.SAR.num) / float(info.SAR.den);
  if (info.SAR.num != 0) {
    info.DAR = DisplayRatio(par->width, par->height, info.SAR);
    info.DisplayAspectRatio = info.DAR.den ? float(info.DAR.num) / float(info.DAR.den) : -1.0f;
  }
  info.PixFmt = AVPixelFormat(par->format);
  info.FrameRate = st->avg_frame_rate.num && st->avg_frame_rate.den ? st->avg_frame_rate : st->r_frame_rate;
  return info;
}

TAudioStreamInfo TCustomDecoder::GetAudioStreamInfos(int Index) {
  TAudioStreamInfo info;
  AVStream* st = InfoStream(Index, AVMEDIA_TYPE_AUDIO);
  if (!st) return info;
  const AVCodecParameters* par = st->codecpar;
  FillCommon(st, CodecNameOf(st), info);
  info.Channels = par->ch_layout.nb_channels;
  info.SampleRate = par->sample_rate;
  info.SampleFormat = AVSampleFormat(par->format);
  return info;
}

TSubtitleStreamInfo TCustomDecoder::GetSubtitleStreamInfos(int Index) {
  TSubtitleStreamInfo info;
  AVStream* st = InfoStream(Index, AVMEDIA_TYPE_SUBTITLE);
  if (!st) return info;
  info.Language = TagValue(st->metadata, "language");
  info.CodecName = CodecNameOf(st);
  if (const AVCodecDescriptor* d = ff::avcodec_descriptor_get(st->codecpar->codec_id)) {
    if (d->props & AV_CODEC_PROP_BITMAP_SUB)
      info.SubFormat = 0;
    else if (d->props & AV_CODEC_PROP_TEXT_SUB)
      info.SubFormat = 1;
  }
  return info;
}

bool TCustomDecoder::IsStreamKind(int AStreamIndex, AVMediaType Kind) {
  if (!CheckFileLoaded()) return false;
  if (AStreamIndex < 0 || AStreamIndex >= int(FFileHandle->nb_streams)) {
    ReportMessageFmt(llError, "stream index #%d is invalid.", {AStreamIndex});
    return false;
  }
  return Stream(AStreamIndex)->codecpar->codec_type == Kind;
}

bool TCustomDecoder::IsAudioStream(int AStreamIndex) { return IsStreamKind(AStreamIndex, AVMEDIA_TYPE_AUDIO); }
bool TCustomDecoder::IsVideoStream(int AStreamIndex) { return IsStreamKind(AStreamIndex, AVMEDIA_TYPE_VIDEO); }
bool TCustomDecoder::IsSubtitleStream(int AStreamIndex) { return IsStreamKind(AStreamIndex, AVMEDIA_TYPE_SUBTITLE); }

TAVProgram TCustomDecoder::GetProgrames(int Index) {
  TAVProgram p{};
  p.id = -1;
  p.flags = -1;
  p.discard = AVDISCARD_NONE;
  if (!CheckFileLoaded()) return p;
  if (FFileHandle->nb_programs == 0) {
    ReportMessage(llError, "no program found.");
  } else if (Index < 0 || Index >= int(FFileHandle->nb_programs)) {
    ReportMessageFmt(llError, "program index #%d is invalid.", {Index});
  } else {
    p = *FFileHandle->programs[Index];
  }
  return p;
}

String TCustomDecoder::FileInfoText() {
  if (!CheckFileLoaded()) return String();
  AVFormatContext* ic = FFileHandle;
  std::vector<String> lines;
  lines.push_back("File Name: " + FromLibraryFileName(LibText(ic->url)));
  lines.push_back("Format Name: " + LibText(ic->iformat->name));
  if (ic->iformat->long_name) lines.push_back("Format Long Name: " + LibText(ic->iformat->long_name));
  lines.push_back("File Size: " + FormatByteSize(ComputeFileSize()));
  AddMetadataLines(lines, ic->metadata, String());

  String line = "Duration: " + DurationToText(ic->duration);
  if (ic->start_time != AV_NOPTS_VALUE) line += ", start: " + SecondsText(ic->start_time, AV_TIME_BASE_Q);
  line += ", bitrate: ";
  line += ic->bit_rate > 0 ? Format("%d kb/s", {ic->bit_rate / 1000}) : String("N/A");
  lines.push_back(line);

  for (unsigned i = 0; i < ic->nb_chapters; ++i) {
    const AVChapter* ch = ic->chapters[i];
    const double tb = av_q2d(ch->time_base);
    lines.push_back(Format("Chapter #%d: ", {int(i)}) + Format("start %.6f, ", {double(ch->start) * tb}) +
              Format("end %.6f", {double(ch->end) * tb}));
    AddMetadataLines(lines, ch->metadata, "  ");
  }

  std::vector<bool> shown(ic->nb_streams, false);
  auto streamLines = [&](unsigned i) {
    const AVStream* st = ic->streams[i];
    shown[i] = true;
    String l = Format("  Stream #%d", {int(i)});
    if (ic->iformat->flags & AVFMT_SHOW_IDS) l += Format("[0x%x]", {st->id});
    const String lang = TagValue(st->metadata, "language");
    if (!lang.empty()) l += "(" + lang + ")";
    int64_t g = ff::av_gcd(st->time_base.num, st->time_base.den);
    if (g == 0) g = 1;
    l += Format(", %d/%d", {st->time_base.num / g, st->time_base.den / g});
    char desc[256] = {};
    TTempCodecContext tmp(st);
    if (tmp.ctx) ff::avcodec_string(desc, sizeof desc, tmp.ctx, 0);
    l += String(": ") + desc;
    const AVCodecParameters* par = st->codecpar;
    if (st->sample_aspect_ratio.num && av_cmp_q(st->sample_aspect_ratio, par->sample_aspect_ratio) != 0) {
      const AVRational dar = DisplayRatio(par->width, par->height, st->sample_aspect_ratio);
      l += Format(", SAR %d:%d DAR %d:%d",
                  {st->sample_aspect_ratio.num, st->sample_aspect_ratio.den, dar.num, dar.den});
    }
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (st->avg_frame_rate.num && st->avg_frame_rate.den) l += RateSuffixText(av_q2d(st->avg_frame_rate), "fps");
      if (st->r_frame_rate.num && st->r_frame_rate.den) l += RateSuffixText(av_q2d(st->r_frame_rate), "tbr");
      if (st->time_base.num && st->time_base.den) l += RateSuffixText(1 / av_q2d(st->time_base), "tbn");
      const AVRational ctb = ff::av_stream_get_codec_timebase(st);
      if (ctb.num && ctb.den) l += RateSuffixText(1 / av_q2d(ctb), "tbc");
    }
    static const char* const kDispositions[] = {"default", "dub", "original", "comment", "lyrics",
                                                "karaoke", "forced", "hearing impaired", "visual impaired",
                                                "clean effects"};
    for (int b = 0; b < 10; ++b)
      if (st->disposition & (1 << b)) l += String(" (") + kDispositions[b] + ")";
    if (st->start_time != AV_NOPTS_VALUE) l += ", start: " + SecondsText(st->start_time, st->time_base);
    if (st->duration != AV_NOPTS_VALUE) l += ", duration: " + TimestampToText(st->time_base, st->duration);
    lines.push_back(l);
    AddMetadataLines(lines, st->metadata, "  ");
  };

  if (ic->nb_programs > 0) {
    unsigned listed = 0;
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
      const AVProgram* prog = ic->programs[p];
      lines.push_back(Format("Program %d %s", {prog->id, TagValue(prog->metadata, "name")}));
      AddMetadataLines(lines, prog->metadata, "  ");
      for (unsigned k = 0; k < prog->nb_stream_indexes; ++k)
        if (prog->stream_index[k] < ic->nb_streams) streamLines(prog->stream_index[k]);
      listed += prog->nb_stream_indexes;
    }
    if (listed < ic->nb_streams) lines.push_back("No Program");
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    if (!shown[i]) streamLines(i);

  String text;
  for (const String& l : lines) text += l + "\r\n";
  return text;
}
