// Times 50 random seeks on a 1080p, 30-second H.264 file, each followed by
// decoding the picture there into a 32-bit bitmap: once through the decoder
// component and once as the bare library sequence (seek, flush, read and
// decode until a picture, convert to BGRA). Prints median and 95th percentile
// per seek. The file is written once into /tmp and reused.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "media/FFDecode.h"
#include "platform/os/Threads.h"
#include "tests/media_decode/FixtureWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSeeks = 50;
constexpr int kSeconds = 30;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
  double median, p95;
};

Stats Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const size_t n = ms.size();
  return {n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2, ms[std::min(n - 1, size_t(0.95 * double(n - 1) + 0.5))]};
}

std::vector<double> DecoderRun(const String& file, const std::vector<int64_t>& targets) {
  TFFDecoder d(nullptr);
  TBitmap bitmap;
  if (!d.LoadFile(file)) {
    std::fprintf(stderr, "open: %s\n", d.LastErrMsg().c_str());
    std::exit(1);
  }
  std::vector<double> times;
  for (int64_t t : targets) {
    const auto start = Clock::now();
    if (!d.Seek(t, {}) || !d.Decode(-1) || !d.CopyToBitmap(&bitmap)) {
      std::fprintf(stderr, "decoder at %lld: %s\n", static_cast<long long>(t), d.LastErrMsg().c_str());
      std::exit(1);
    }
    times.push_back(Ms(Clock::now() - start));
  }
  return times;
}

std::vector<double> BareRun(const String& file, const std::vector<int64_t>& targets) {
  AVFormatContext* ic = nullptr;
  if (ff::avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0 || ff::avformat_find_stream_info(ic, nullptr) < 0)
    std::exit(1);
  const int vi = ff::av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVStream* st = ic->streams[vi];
  const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* c = ff::avcodec_alloc_context3(codec);
  ff::avcodec_parameters_to_context(c, st->codecpar);
  c->pkt_timebase = st->time_base;
  c->thread_count = 1;  // as the decoder component runs it
  ff::avcodec_open2(c, codec, nullptr);
  AVPacket* pkt = ff::av_packet_alloc();
  AVFrame* frame = ff::av_frame_alloc();
  SwsContext* sws = nullptr;
  std::vector<uint8_t> bgra(size_t(st->codecpar->width) * size_t(st->codecpar->height) * 4);
  std::vector<double> times;
  for (int64_t t : targets) {
    const auto start = Clock::now();
    const int64_t ts = ff::av_rescale_q(t, AV_TIME_BASE_Q, st->time_base) + (st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time);
    if (ff::avformat_seek_file(ic, vi, ts, ts, INT64_MAX, 0) < 0) std::exit(1);
    ff::avcodec_flush_buffers(c);
    bool got = false;
    while (!got) {
      if (ff::avcodec_receive_frame(c, frame) >= 0) {
        got = true;
        break;
      }
      if (ff::av_read_frame(ic, pkt) < 0) std::exit(1);
      if (pkt->stream_index == vi) ff::avcodec_send_packet(c, pkt);
      ff::av_packet_unref(pkt);
    }
    sws = ff::sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                   frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    uint8_t* dst[4] = {bgra.data()};
    int dstStride[4] = {frame->width * 4};
    ff::sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    ff::av_frame_unref(frame);
    times.push_back(Ms(Clock::now() - start));
  }
  ff::sws_freeContext(sws);
  ff::av_frame_free(&frame);
  ff::av_packet_free(&pkt);
  ff::avcodec_free_context(&c);
  ff::avformat_close_input(&ic);
  return times;
}

}  // namespace

int main() {
  InitMainThread();
  String err;
  if (!fixture::LoadLibraries(err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  GlobalLogger()->SetLogLevel(llQuiet);
  const String file = "/tmp/tarnwick-seek-bench-1080p.mp4";
  if (!std::filesystem::exists(file)) {
    std::printf("writing %s ...\n", file.c_str());
    fixture::Track v = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "libx264");
    v.width = 1920;
    v.height = 1080;
    v.gop = 25;
    v.texture = true;  // fine detail, so that pictures cost what camera pictures cost
    v.options = "preset=ultrafast:g=25";
    fixture::Options opt;
    opt.seconds = kSeconds;
    if (!fixture::Write(file, "mp4", {v}, opt, err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 1;
    }
  }
  std::mt19937 gen(20261210);
  std::uniform_int_distribution<int64_t> pick(0, int64_t(kSeconds - 1) * 1000000);
  std::vector<int64_t> targets(kSeeks);
  for (int64_t& t : targets) t = pick(gen);

  // One pass of each first, so both find the file in the page cache.
  BareRun(file, targets);
  DecoderRun(file, targets);
  const Stats bare = Summarise(BareRun(file, targets));
  const Stats decoder = Summarise(DecoderRun(file, targets));
  std::printf("%d seeks + decode into a 32-bit bitmap, 1920x1080 H.264, %d s\n", kSeeks, kSeconds);
  std::printf("  bare libraries : median %7.2f ms   p95 %7.2f ms\n", bare.median, bare.p95);
  std::printf("  TFFDecoder     : median %7.2f ms   p95 %7.2f ms\n", decoder.median, decoder.p95);
  std::printf("  overhead       : median %+6.1f %%   p95 %+6.1f %%\n", 100 * (decoder.median / bare.median - 1),
              100 * (decoder.p95 / bare.p95 - 1));
  return 0;
}
