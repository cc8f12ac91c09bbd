// Converts a 1280x720, 10-second H.264 + AAC mp4 (made once by the engine
// from a test picture and a tone, kept under the build folder) to mp4 with
// libx264 "ultrafast" and AAC: through the conversion task, and through a bare
// decode-filter-encode-mux loop with the same libraries and settings. Both
// outputs are decoded afterwards and must hold the same streams with
// durations within 1 %, so that the bare loop is held to the engine's
// result. The two sides alternate over the rounds (their order swapping each
// round); the program prints the minimum and median wall and processor time
// of each and of the per-round ratio. The engine's output is durable (synced
// before its rename, its folder after) and the bare loop's is not, so the
// ratio includes what that costs; the goal is a median of at most 1.02.
//
// usage: bench_transcode [rounds (default 9)] [engine | bare]
// With a side named, only that side runs, rounds times, and only its times
// are printed: for a profiler or an instruction counter, one side at a time.

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/BenchMedia.h"
#include "bench/BenchUtil.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "platform/os/Threads.h"
#include "tests/media_transcode/TranscodeTask.h"

namespace {

// Processor seconds of the whole process (every thread) so far.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TTimes {
  double Wall = 0, Cpu = 0;
};

template <typename Body>
TTimes Timed(Body&& Run) {
  const double cpu = CpuSeconds();
  const double wall = bench::Time(Run);
  return {wall, CpuSeconds() - cpu};
}

[[noreturn]] void Die(const char* What, int Code = 0) { bench::Die(String(What) + " failed (" + std::to_string(Code) + ")"); }

void Check(int Code, const char* What) {
  if (Code < 0) Die(What, Code);
}

void EngineRun(const String& In, const String& Out) {
  TTask task;
  if (task.AddInput("", In) < 0 || task.SetOutput("-y -c:v libx264 -preset ultrafast -c:a aac", Out) < 0)
    Die(("engine: " + task.LastErrMsg()).c_str());
  task.StartConvert(false);
  if (!task.Finished()) Die(("engine: " + task.FatalMessage()).c_str());
}

// ---------------------------------------------------------------------------
// The bare loop.

struct TStream {
  AVStream* In = nullptr;
  AVStream* Out = nullptr;
  UniqueCodecContext Dec, Enc;
  UniqueFilterGraph Graph;
  AVFilterContext* Src = nullptr;
  AVFilterContext* Sink = nullptr;
};

void MakeGraph(TStream& s) {
  AVCodecContext* dec = s.Dec.get();
  AVCodecContext* enc = s.Enc.get();
  s.Graph.reset(ff::avfilter_graph_alloc());
  char args[512];
  const bool video = dec->codec_type == AVMEDIA_TYPE_VIDEO;
  if (video) {
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=1/1", dec->width,
                  dec->height, dec->pix_fmt, s.In->time_base.num, s.In->time_base.den);
  } else {
    char layout[64];
    ff::av_channel_layout_describe(&dec->ch_layout, layout, sizeof layout);
    std::snprintf(args, sizeof args, "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                  dec->sample_rate, dec->sample_rate, ff::av_get_sample_fmt_name(dec->sample_fmt), layout);
  }
  Check(ff::avfilter_graph_create_filter(&s.Src, ff::avfilter_get_by_name(video ? "buffer" : "abuffer"), "in", args,
                                         nullptr, s.Graph.get()),
        "source");
  Check(ff::avfilter_graph_create_filter(&s.Sink, ff::avfilter_get_by_name(video ? "buffersink" : "abuffersink"), "out",
                                         nullptr, nullptr, s.Graph.get()),
        "sink");
  AVFilterContext* fmt = nullptr;
  if (video) {
    Check(ff::avfilter_graph_create_filter(&fmt, ff::avfilter_get_by_name("format"), "fmt", "pix_fmts=yuv420p", nullptr,
                                           s.Graph.get()),
          "format");
  } else {
    char layout[64];
    ff::av_channel_layout_describe(&enc->ch_layout, layout, sizeof layout);
    std::snprintf(args, sizeof args, "sample_fmts=fltp:sample_rates=%d:channel_layouts=%s", enc->sample_rate, layout);
    Check(ff::avfilter_graph_create_filter(&fmt, ff::avfilter_get_by_name("aformat"), "fmt", args, nullptr,
                                           s.Graph.get()),
          "aformat");
  }
  Check(ff::avfilter_link(s.Src, 0, fmt, 0), "link");
  Check(ff::avfilter_link(fmt, 0, s.Sink, 0), "link");
  Check(ff::avfilter_graph_config(s.Graph.get(), nullptr), "graph");
  if (!video) ff::av_buffersink_set_frame_size(s.Sink, unsigned(enc->frame_size));
}

void Encode(AVFormatContext* oc, TStream& s, AVFrame* frame, AVPacket* pkt) {
  Check(ff::avcodec_send_frame(s.Enc.get(), frame), "encode");
  while (ff::avcodec_receive_packet(s.Enc.get(), pkt) >= 0) {
    ff::av_packet_rescale_ts(pkt, s.Enc->time_base, s.Out->time_base);
    pkt->stream_index = s.Out->index;
    Check(ff::av_interleaved_write_frame(oc, pkt), "write");
  }
}

void Filter(AVFormatContext* oc, TStream& s, AVFrame* frame, AVFrame* filtered, AVPacket* pkt) {
  Check(ff::av_buffersrc_add_frame_flags(s.Src, frame, AV_BUFFERSRC_FLAG_PUSH), "push");
  while (ff::av_buffersink_get_frame(s.Sink, filtered) >= 0) {
    filtered->pts = ff::av_rescale_q(filtered->pts, ff::av_buffersink_get_time_base(s.Sink), s.Enc->time_base);
    filtered->pict_type = AV_PICTURE_TYPE_NONE;
    Encode(oc, s, filtered, pkt);
    ff::av_frame_unref(filtered);
  }
}

void BareRun(const String& In, const String& Out) {
  AVFormatContext* ic = nullptr;
  Check(ff::avformat_open_input(&ic, In.c_str(), nullptr, nullptr), "open");
  Check(ff::avformat_find_stream_info(ic, nullptr), "probe");
  AVFormatContext* oc = nullptr;
  Check(ff::avformat_alloc_output_context2(&oc, nullptr, nullptr, Out.c_str()), "muxer");
  std::vector<TStream> streams(ic->nb_streams);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    TStream& s = streams[i];
    s.In = ic->streams[i];
    const AVCodec* dec = ff::avcodec_find_decoder(s.In->codecpar->codec_id);
    s.Dec.reset(ff::avcodec_alloc_context3(dec));
    ff::avcodec_parameters_to_context(s.Dec.get(), s.In->codecpar);
    s.Dec->pkt_timebase = s.In->time_base;
    AVDictionary* dopts = nullptr;
    ff::av_dict_set(&dopts, "threads", "auto", 0);
    Check(ff::avcodec_open2(s.Dec.get(), dec, &dopts), "decoder");
    ff::av_dict_free(&dopts);
    const bool video = s.Dec->codec_type == AVMEDIA_TYPE_VIDEO;
    const AVCodec* enc = ff::avcodec_find_encoder_by_name(video ? "libx264" : "aac");
    s.Enc.reset(ff::avcodec_alloc_context3(enc));
    AVCodecContext* e = s.Enc.get();
    if (video) {
      e->width = s.Dec->width;
      e->height = s.Dec->height;
      e->pix_fmt = AV_PIX_FMT_YUV420P;
      e->framerate = ff::av_guess_frame_rate(ic, s.In, nullptr);
      e->time_base = av_inv_q(e->framerate);
      e->sample_aspect_ratio = AVRational{1, 1};
    } else {
      e->sample_rate = s.Dec->sample_rate;
      e->sample_fmt = AV_SAMPLE_FMT_FLTP;
      ff::av_channel_layout_default(&e->ch_layout, s.Dec->ch_layout.nb_channels);
      e->time_base = AVRational{1, e->sample_rate};
      e->bit_rate = 128000;
    }
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* eopts = nullptr;
    ff::av_dict_set(&eopts, "threads", "auto", 0);
    if (video) ff::av_dict_set(&eopts, "preset", "ultrafast", 0);
    Check(ff::avcodec_open2(e, enc, &eopts), video ? "video encoder" : "audio encoder");
    ff::av_dict_free(&eopts);
    s.Out = ff::avformat_new_stream(oc, nullptr);
    ff::avcodec_parameters_from_context(s.Out->codecpar, e);
    s.Out->time_base = e->time_base;
    MakeGraph(s);
  }
  Check(ff::avio_open2(&oc->pb, Out.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), "create");
  Check(ff::avformat_write_header(oc, nullptr), "header");
  UniquePacket pkt(ff::av_packet_alloc()), out(ff::av_packet_alloc());
  UniqueFrame frame(ff::av_frame_alloc()), filtered(ff::av_frame_alloc());
  auto drainDecoder = [&](TStream& s) {
    while (ff::avcodec_receive_frame(s.Dec.get(), frame.get()) >= 0) {
      frame->pts = frame->best_effort_timestamp;
      Filter(oc, s, frame.get(), filtered.get(), out.get());
    }
  };
  while (ff::av_read_frame(ic, pkt.get()) >= 0) {
    TStream& s = streams[pkt->stream_index];
    Check(ff::avcodec_send_packet(s.Dec.get(), pkt.get()), "decode");
    ff::av_packet_unref(pkt.get());
    drainDecoder(s);
  }
  for (TStream& s : streams) {
    ff::avcodec_send_packet(s.Dec.get(), nullptr);
    drainDecoder(s);
    Check(ff::av_buffersrc_add_frame(s.Src, nullptr), "eof");
    while (ff::av_buffersink_get_frame(s.Sink, filtered.get()) >= 0) {
      filtered->pts = ff::av_rescale_q(filtered->pts, ff::av_buffersink_get_time_base(s.Sink), s.Enc->time_base);
      Encode(oc, s, filtered.get(), out.get());
      ff::av_frame_unref(filtered.get());
    }
    Encode(oc, s, nullptr, out.get());
  }
  Check(ff::av_write_trailer(oc), "trailer");
  ff::avio_closep(&oc->pb);
  ff::avformat_free_context(oc);
  streams.clear();
  ff::avformat_close_input(&ic);
}

// What a file holds, found by decoding all of it: per stream its kind,
// codec and the span its decoded frames cover.
struct TStreamSummary {
  AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID Codec = AV_CODEC_ID_NONE;
  int64_t Frames = 0;
  double Seconds = 0;
};

std::vector<TStreamSummary> Summarise(const String& File) {
  AVFormatContext* ic = nullptr;
  Check(ff::avformat_open_input(&ic, File.c_str(), nullptr, nullptr), "reopen");
  Check(ff::avformat_find_stream_info(ic, nullptr), "reprobe");
  std::vector<TStreamSummary> out(ic->nb_streams);
  std::vector<UniqueCodecContext> decs(ic->nb_streams);
  std::vector<double> first(ic->nb_streams, INFINITY), last(ic->nb_streams, -INFINITY);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVCodecParameters* par = ic->streams[i]->codecpar;
    out[i].Type = par->codec_type;
    out[i].Codec = par->codec_id;
    const AVCodec* dec = ff::avcodec_find_decoder(par->codec_id);
    if (!dec) Die("no decoder for the output");
    decs[i].reset(ff::avcodec_alloc_context3(dec));
    ff::avcodec_parameters_to_context(decs[i].get(), par);
    decs[i]->pkt_timebase = ic->streams[i]->time_base;
    Check(ff::avcodec_open2(decs[i].get(), dec, nullptr), "output decoder");
  }
  UniquePacket pkt(ff::av_packet_alloc());
  UniqueFrame frame(ff::av_frame_alloc());
  const auto drain = [&](unsigned i) {
    while (ff::avcodec_receive_frame(decs[i].get(), frame.get()) >= 0) {
      const AVRational tb = ic->streams[i]->time_base;
      const double start = double(frame->best_effort_timestamp) * av_q2d(tb);
      const double length = frame->nb_samples > 0 ? double(frame->nb_samples) / frame->sample_rate
                                                  : double(frame->pkt_duration) * av_q2d(tb);
      first[i] = std::min(first[i], start);
      last[i] = std::max(last[i], start + length);
      ++out[i].Frames;
      ff::av_frame_unref(frame.get());
    }
  };
  while (ff::av_read_frame(ic, pkt.get()) >= 0) {
    const auto i = unsigned(pkt->stream_index);
    Check(ff::avcodec_send_packet(decs[i].get(), pkt.get()), "decoding the output");
    ff::av_packet_unref(pkt.get());
    drain(i);
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    ff::avcodec_send_packet(decs[i].get(), nullptr);
    drain(i);
    out[i].Seconds = out[i].Frames ? last[i] - first[i] : 0;
  }
  decs.clear();
  ff::avformat_close_input(&ic);
  return out;
}

// Dies unless both outputs hold the same kinds of stream with the same codecs
// and durations within 1 %.
void CompareOutputs(const String& Engine, const String& Bare) {
  const auto e = Summarise(Engine), b = Summarise(Bare);
  bool same = e.size() == b.size() && !e.empty();
  for (size_t i = 0; same && i < e.size(); ++i) {
    same = e[i].Type == b[i].Type && e[i].Codec == b[i].Codec && e[i].Frames > 0 && b[i].Frames > 0 &&
           std::fabs(e[i].Seconds - b[i].Seconds) <= 0.01 * e[i].Seconds;
  }
  for (size_t i = 0; i < std::max(e.size(), b.size()); ++i) {
    const auto line = [](const char* who, const std::vector<TStreamSummary>& v, size_t k) {
      if (k < v.size())
        std::printf("  %-6s stream %zu: %s %s, %lld frames, %.3f s\n", who, k, ff::av_get_media_type_string(v[k].Type),
                    ff::avcodec_get_name(v[k].Codec), static_cast<long long>(v[k].Frames), v[k].Seconds);
    };
    line("engine", e, i);
    line("bare", b, i);
  }
  if (!same) Die("the outputs differ");
}


}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const String side = argc > 2 ? argv[2] : "";
  if (!side.empty() && side != "engine" && side != "bare") bench::Die("usage: bench_transcode [rounds] [engine | bare]");
  InitMainThread();
  if (!FFLoader().Load(EncoderLibraries)) Die("loading the libraries");
  GlobalLogger()->SetLogLevel(llError);
  const String input =
      bench::H264AacClip("transcode-input-1280x720-25fps", "testsrc2=size=1280x720:rate=25:duration=10");
  const bench::TScratchFolder scratch("tarnwick-bench-transcode");
  const String engineOut = (scratch.Path() / "engine.mp4").string(), bareOut = (scratch.Path() / "bare.mp4").string();

  if (!side.empty()) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < rounds; ++i) {
      std::filesystem::remove(side == "engine" ? engineOut : bareOut);
      const TTimes t = Timed([&] { side == "engine" ? EngineRun(input, engineOut) : BareRun(input, bareOut); });
      wall.push_back(t.Wall);
      cpu.push_back(t.Cpu);
    }
    std::printf("%s alone, %d rounds\n", side.c_str(), rounds);
    bench::PrintSpread("wall", wall, " s");
    bench::PrintSpread("cpu", cpu, " s");
    return 0;
  }

  bench::PrintLoad("before");
  std::vector<double> engineWall, bareWall, engineCpu, bareCpu, wallRatio, cpuRatio;
  for (int i = 0; i < rounds; ++i) {
    std::filesystem::remove(engineOut);
    std::filesystem::remove(bareOut);
    TTimes e, b;
    if (i % 2 == 0) {
      b = Timed([&] { BareRun(input, bareOut); });
      e = Timed([&] { EngineRun(input, engineOut); });
    } else {
      e = Timed([&] { EngineRun(input, engineOut); });
      b = Timed([&] { BareRun(input, bareOut); });
    }
    bareWall.push_back(b.Wall);
    bareCpu.push_back(b.Cpu);
    engineWall.push_back(e.Wall);
    engineCpu.push_back(e.Cpu);
    wallRatio.push_back(e.Wall / b.Wall);
    cpuRatio.push_back(e.Cpu / b.Cpu);
    if (i == 0) CompareOutputs(engineOut, bareOut);
  }
  bench::PrintLoad("after");
  std::printf("1280x720 10 s H.264 + AAC mp4 -> libx264 ultrafast + AAC mp4; %d alternating rounds\n", rounds);
  bench::PrintSpread("engine wall", engineWall, " s");
  bench::PrintSpread("bare loop wall", bareWall, " s");
  bench::PrintSpread("ratio wall engine / bare", wallRatio);
  bench::PrintSpread("engine cpu", engineCpu, " s");
  bench::PrintSpread("bare loop cpu", bareCpu, " s");
  bench::PrintSpread("ratio cpu engine / bare", cpuRatio);
  std::printf("goal: median wall ratio at most 1.02\n");
  return 0;
}
