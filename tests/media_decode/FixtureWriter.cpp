#include "tests/media_decode/FixtureWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <memory>

#include "media/FFLoad.h"
#include "platform/os/Files.h"
#include "tests/support/FixtureCache.h"

namespace fixture {

namespace {

struct CodecCtxFree {
  void operator()(AVCodecContext* c) const { ff::avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { ff::av_packet_free(&p); }
};
struct DictFree {
  void operator()(AVDictionary* d) const { ff::av_dict_free(&d); }
};
using CodecCtxPtr = std::unique_ptr<AVCodecContext, CodecCtxFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

String ErrText(const char* what, int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  ff::av_strerror(code, buf, sizeof buf);
  return String(what) + ": " + buf;
}

// A moving pattern: smooth enough to encode quickly, different in every frame.
void FillVideo(AVFrame* f, int index, bool texture) {
  uint32_t seed = 2463534242u + uint32_t(index);
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      int v = (x + y + 3 * index) & 0xFF;
      if (texture) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        v = std::clamp(v + int(seed % 16) - 8, 0, 255);
      }
      f->data[0][y * f->linesize[0] + x] = uint8_t(v);
    }
  for (int y = 0; y < (f->height + 1) / 2; ++y)
    for (int x = 0; x < (f->width + 1) / 2; ++x) {
      f->data[1][y * f->linesize[1] + x] = uint8_t(128 + ((x - index) & 0x3F) - 32);
      f->data[2][y * f->linesize[2] + x] = uint8_t(128 + ((y + index) & 0x3F) - 32);
    }
}

void FillRgb(AVFrame* f) {
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      uint8_t* p = f->data[0] + y * f->linesize[0] + 3 * x;
      p[0] = uint8_t(x * 255 / std::max(1, f->width - 1));
      p[1] = uint8_t(y * 255 / std::max(1, f->height - 1));
      p[2] = 96;
    }
}

// A 440 Hz sine in whatever format the encoder takes.
void FillAudio(AVFrame* f, int64_t firstSample) {
  const int channels = f->ch_layout.nb_channels;
  const bool planar = ff::av_sample_fmt_is_planar(AVSampleFormat(f->format));
  for (int i = 0; i < f->nb_samples; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * 440.0 * double(firstSample + i) / f->sample_rate);
    for (int c = 0; c < channels; ++c) {
      const int plane = planar ? c : 0;
      const int at = planar ? i : i * channels + c;
      switch (AVSampleFormat(f->format)) {
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(f->data[plane])[at] = float(v); break;
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(f->data[plane])[at] = int16_t(v * 32767); break;
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S32P: reinterpret_cast<int32_t*>(f->data[plane])[at] = int32_t(v * 2147483647.0); break;
        default: break;
      }
    }
  }
}

struct Output {
  Track track;
  AVStream* stream = nullptr;
  CodecCtxPtr enc;
  FramePtr frame;
  int64_t next = 0;  // next frame number (video) or sample (audio) or cue (subtitle)
  int64_t end = 0;   // in the same unit
  bool flushed = false;
  bool done = false;
  bool changed = false;  // the second encoder has taken over
  double NextSeconds() const {
    if (track.type == AVMEDIA_TYPE_VIDEO) return double(next) / track.fps;
    if (track.type == AVMEDIA_TYPE_AUDIO) return double(next) / track.sampleRate;
    return double(next);
  }
};

int WritePackets(AVFormatContext* oc, Output& o, AVPacket* pkt) {
  for (;;) {
    int r = ff::avcodec_receive_packet(o.enc.get(), pkt);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
    if (r < 0) return r;
    if (pkt->pts < o.track.firstPacket) {
      ff::av_packet_unref(pkt);
      continue;
    }
    ff::av_packet_rescale_ts(pkt, o.enc->time_base, o.stream->time_base);
    pkt->stream_index = o.stream->index;
    r = ff::av_interleaved_write_frame(oc, pkt);
    if (r < 0) return r;
  }
}

// Opens the track's encoder; the stream's parameters come from the first one
// only (reopen: a later encoder of the same stream, after the header).
bool OpenEncoder(AVFormatContext* oc, Output& o, const Options& opt, String& err, bool reopen = false) {
  const Track& t = o.track;
  const AVCodec* codec = ff::avcodec_find_encoder_by_name(t.codec.c_str());
  if (!codec) {
    err = "no encoder " + t.codec;
    return false;
  }
  o.enc.reset(ff::avcodec_alloc_context3(codec));
  AVCodecContext* c = o.enc.get();
  if (t.type == AVMEDIA_TYPE_VIDEO) {
    c->width = t.width;
    c->height = t.height;
    c->time_base = AVRational{1, t.fps};
    c->framerate = AVRational{t.fps, 1};
    c->gop_size = t.gop;
    c->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (t.attachedPicture) c->pix_fmt = AV_PIX_FMT_RGB24;
    else if (codec->pix_fmts)
      for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_YUV420P || *p == AV_PIX_FMT_YUVJ420P) {
          c->pix_fmt = *p;
          break;
        }
  } else {
    c->sample_rate = t.sampleRate;
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    ff::av_channel_layout_default(&c->ch_layout, t.channels);
    c->time_base = AVRational{1, t.sampleRate};
    c->bit_rate = 64000;
  }
  if (oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* d = nullptr;
  if (!t.options.empty()) ff::av_dict_parse_string(&d, t.options.c_str(), "=", ":", 0);
  int r = ff::avcodec_open2(c, codec, &d);
  ff::av_dict_free(&d);
  if (r < 0) {
    err = ErrText(("open " + t.codec).c_str(), r);
    return false;
  }
  if (!reopen) {
    ff::avcodec_parameters_from_context(o.stream->codecpar, c);
    o.stream->time_base = c->time_base;
  }
  o.frame.reset(ff::av_frame_alloc());
  AVFrame* f = o.frame.get();
  if (t.type == AVMEDIA_TYPE_VIDEO) {
    f->format = c->pix_fmt;
    f->width = c->width;
    f->height = c->height;
    o.end = t.attachedPicture ? 1 : int64_t(opt.seconds * t.fps);
  } else {
    f->format = c->sample_fmt;
    f->sample_rate = c->sample_rate;
    ff::av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
    f->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
    o.end = int64_t(opt.seconds * t.sampleRate);
  }
  if (ff::av_frame_get_buffer(f, 0) < 0) {
    err = "frame buffer";
    return false;
  }
  return true;
}

// Drains the track's encoder and opens its second one at the changed format;
// the timeline runs on (in samples of the new rate for sound).
int ChangeFormat(AVFormatContext* oc, Output& o, const Options& opt, AVPacket* pkt) {
  ff::avcodec_send_frame(o.enc.get(), nullptr);
  const int r = WritePackets(oc, o, pkt);
  if (r < 0) return r;
  Track& t = o.track;
  if (t.changedWidth) t.width = t.changedWidth;
  if (t.changedHeight) t.height = t.changedHeight;
  if (t.changedSampleRate) {
    o.next = ff::av_rescale(o.next, t.changedSampleRate, t.sampleRate);
    t.sampleRate = t.changedSampleRate;
  }
  o.changed = true;
  String err;
  return OpenEncoder(oc, o, opt, err, true) ? 0 : AVERROR(EINVAL);
}

// Encodes (or, for subtitles, writes) the track's next unit.
int Step(AVFormatContext* oc, Output& o, const Options& opt, AVPacket* pkt) {
  const Track& t = o.track;
  if (t.type == AVMEDIA_TYPE_SUBTITLE) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "Line %d", int(o.next));
    if (ff::av_new_packet(pkt, n) < 0) return AVERROR(ENOMEM);
    std::memcpy(pkt->data, text, size_t(n));
    pkt->pts = pkt->dts = ff::av_rescale_q(o.next * 1000, AVRational{1, 1000}, o.stream->time_base);
    pkt->duration = ff::av_rescale_q(800, AVRational{1, 1000}, o.stream->time_base);
    pkt->stream_index = o.stream->index;
    ++o.next;
    if (o.next >= o.end) o.done = true;
    return ff::av_interleaved_write_frame(oc, pkt);
  }
  if (o.next >= o.end) {
    if (!o.flushed) {
      o.flushed = true;
      ff::avcodec_send_frame(o.enc.get(), nullptr);
    }
    o.done = true;
    return WritePackets(oc, o, pkt);
  }
  if (t.changeAt > 0 && !o.changed && o.NextSeconds() >= t.changeAt) {
    const int r = ChangeFormat(oc, o, opt, pkt);
    if (r < 0) return r;
  }
  AVFrame* f = o.frame.get();
  int r = ff::av_frame_make_writable(f);
  if (r < 0) return r;
  if (t.type == AVMEDIA_TYPE_VIDEO) {
    if (t.attachedPicture)
      FillRgb(f);
    else
      FillVideo(f, int(o.next), t.texture);
    f->pts = o.next++;
  } else {
    FillAudio(f, o.next);
    f->pts = o.next;
    o.next += f->nb_samples;
  }
  r = ff::avcodec_send_frame(o.enc.get(), f);
  if (r < 0) return r;
  return WritePackets(oc, o, pkt);
}

bool WriteFile(const String& path, const void* data, size_t size) {
  const String tmp = path + ".part" + std::to_string(getpid()) + "m";
  {
    std::ofstream out(tmp, std::ios::binary);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    if (!out) return false;
  }
  std::filesystem::rename(tmp, path);
  return true;
}

}  // namespace

bool HasEncoder(const char* name) { return ff::avcodec_find_encoder_by_name(name) != nullptr; }

String Folder() {
#ifdef TARNWICK_FIXTURE_DIR
  const String dir = TARNWICK_FIXTURE_DIR;
#else
  const String dir = GetTempDir() + "tarnwick-media-fixtures-" + std::to_string(getuid());
#endif
  std::filesystem::create_directories(dir);
  return dir;
}

String Definition(const char* format, const std::vector<Track>& tracks, const Options& options) {
  // Numbers go in with a point whatever the locale, so one definition has one text.
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << format << " seconds=" << options.seconds << " seekable=" << options.seekable;
  for (const auto& [k, v] : options.tags) text << " tag:" << k << "=" << v;
  for (const Track& t : tracks) {
    text << " | " << ff::av_get_media_type_string(t.type) << " " << t.codec;
    if (t.type == AVMEDIA_TYPE_VIDEO)
      text << " " << t.width << "x" << t.height << " fps=" << t.fps << " gop=" << t.gop
           << " cover=" << t.attachedPicture << " texture=" << t.texture << " first=" << t.firstPacket;
    else if (t.type == AVMEDIA_TYPE_AUDIO)
      text << " rate=" << t.sampleRate << " channels=" << t.channels;
    text << " lang=" << t.language << " options=" << t.options;
    if (t.changeAt > 0)
      text << " change at " << t.changeAt << " to " << t.changedWidth << "x" << t.changedHeight << " rate "
           << t.changedSampleRate;
  }
  return text.str();
}

String CachedPath(const String& name, const String& definition, const String& folder) {
  // Bump when the writer's output changes; a new library version may encode differently too.
  constexpr int WriterVersion = 3;
  const String full =
      definition + " writer=" + std::to_string(WriterVersion) + " avcodec=" + std::to_string(ff::avcodec_version());
  return (folder.empty() ? Folder() : folder) + "/" + CachedFileName(name, full);
}

String Cached(const String& name, const char* format, const std::vector<Track>& tracks, const Options& options,
              String& err) {
  const String path = CachedPath(name, Definition(format, tracks, options));
  // Written under a name of its own and renamed: a concurrent test process sees the whole file or none.
  if (std::filesystem::exists(path) || Write(path, format, tracks, options, err)) return path;
  return String();
}

bool LoadLibraries(String& err) {
  if (FFLoader().Load(EncoderLibraries)) return true;
  err = FFLoader().LastErrMsg();
  return false;
}

bool Write(const String& path, const char* format, const std::vector<Track>& tracks, const Options& options,
           String& err) {
  AVFormatContext* oc = nullptr;
  int r = ff::avformat_alloc_output_context2(&oc, nullptr, format, path.c_str());
  if (r < 0 || !oc) {
    err = ErrText("output context", r);
    return false;
  }
  // Frees the context and whatever output it still holds, on every path.
  struct Owner {
    AVFormatContext* oc;
    bool dyn = false;
    ~Owner() {
      if (oc->pb && dyn) {
        uint8_t* buf = nullptr;
        ff::avio_close_dyn_buf(oc->pb, &buf);
        ff::av_free(buf);
      } else if (oc->pb) {
        ff::avio_closep(&oc->pb);
      }
      ff::avformat_free_context(oc);
    }
  } owner{oc, !options.seekable};
  const String tmp = path + ".part" + std::to_string(getpid());
  for (const auto& [k, v] : options.tags) ff::av_dict_set(&oc->metadata, k.c_str(), v.c_str(), 0);

  std::vector<Output> outs(tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    Output& o = outs[i];
    o.track = tracks[i];
    o.stream = ff::avformat_new_stream(oc, nullptr);
    if (!o.stream) {
      err = "new stream";
      return false;
    }
    if (!o.track.language.empty()) ff::av_dict_set(&o.stream->metadata, "language", o.track.language.c_str(), 0);
    if (o.track.type == AVMEDIA_TYPE_SUBTITLE) {
      o.stream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
      o.stream->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
      o.stream->time_base = AVRational{1, 1000};
      o.end = int64_t(options.seconds);
      continue;
    }
    if (!OpenEncoder(oc, o, options, err)) return false;
    if (o.track.attachedPicture) o.stream->disposition |= AV_DISPOSITION_ATTACHED_PIC;
  }
  // Seekable output goes straight to the file; a stream goes through memory.
  if (options.seekable)
    r = ff::avio_open(&oc->pb, tmp.c_str(), AVIO_FLAG_WRITE);
  else
    r = ff::avio_open_dyn_buf(&oc->pb);
  if (r < 0) {
    err = ErrText("open output", r);
    return false;
  }
  r = ff::avformat_write_header(oc, nullptr);
  if (r < 0) {
    err = ErrText("header", r);
    return false;
  }
  PacketPtr pkt(ff::av_packet_alloc());
  // Covers first, then the tracks in time order.
  for (Output& o : outs)
    if (o.track.attachedPicture)
      while (!o.done)
        if ((r = Step(oc, o, options, pkt.get())) < 0) return err = ErrText("cover", r), false;
  for (;;) {
    Output* next = nullptr;
    for (Output& o : outs)
      if (!o.done && (!next || o.NextSeconds() < next->NextSeconds())) next = &o;
    if (!next) break;
    if ((r = Step(oc, *next, options, pkt.get())) < 0) return err = ErrText("encode", r), false;
  }
  r = ff::av_write_trailer(oc);
  if (r < 0) return err = ErrText("trailer", r), false;
  if (options.seekable) {
    ff::avio_closep(&oc->pb);
    std::filesystem::rename(tmp, path);
    return true;
  }
  uint8_t* buf = nullptr;
  const int size = ff::avio_close_dyn_buf(oc->pb, &buf);
  oc->pb = nullptr;
  const bool ok = WriteFile(path, buf, size_t(size));
  ff::av_free(buf);
  if (!ok) err = "write " + path;
  return ok;
}

bool WritePng(const String& path, int width, int height, String& err) {
  const AVCodec* codec = ff::avcodec_find_encoder_by_name("png");
  if (!codec) return err = "no png encoder", false;
  CodecCtxPtr c(ff::avcodec_alloc_context3(codec));
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_RGB24;
  c->time_base = AVRational{1, 25};
  int r = ff::avcodec_open2(c.get(), codec, nullptr);
  if (r < 0) return err = ErrText("open png", r), false;
  FramePtr f(ff::av_frame_alloc());
  f->format = AV_PIX_FMT_RGB24;
  f->width = width;
  f->height = height;
  ff::av_frame_get_buffer(f.get(), 0);
  FillRgb(f.get());
  PacketPtr pkt(ff::av_packet_alloc());
  if ((r = ff::avcodec_send_frame(c.get(), f.get())) < 0 || (r = ff::avcodec_receive_packet(c.get(), pkt.get())) < 0)
    return err = ErrText("encode png", r), false;
  if (!WriteFile(path, pkt->data, size_t(pkt->size))) return err = "write " + path, false;
  return true;
}

}  // namespace fixture
