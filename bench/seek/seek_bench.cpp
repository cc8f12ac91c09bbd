// Seeking in the inspection decoder against the bare library sequence, on a
// 1080p, 30-second H.264 file, each seek followed by the picture there in a
// 32-bit bitmap. Two kinds of seek:
//   key frame: seek to the key frame at or after the target, decode it;
//   exact:     seek to the key frame at or before the target, then decode
//              forward to the first picture at or after the target.
// The two sides take turns inside every round (their order swapping from
// round to round), so that the machine's changing load falls on both; each
// round gives a ratio decoder / bare per kind, and the program prints the
// minimum and median of those ratios.
//
// usage: bench_seek [rounds (default 18)]
// The clip is kept under the build folder, named by its definition.

#include <cstdio>
#include <random>
#include <vector>

#include "bench/BenchUtil.h"
#include "media/FFDecode.h"
#include "platform/os/Threads.h"
#include "tests/media_decode/FixtureWriter.h"

namespace {

constexpr int kSeconds = 30;
constexpr int kKeySeeks = 30;
constexpr int kExactSeeks = 12;

enum class TKind { Key, Exact };

class TDecoderSide {
 public:
  explicit TDecoderSide(const String& file) : d_(nullptr) {
    if (!d_.LoadFile(file)) bench::Die("open: " + d_.LastErrMsg());
  }
  void Run(const std::vector<int64_t>& targets, TKind kind) {
    for (int64_t t : targets) {
      bool ok = kind == TKind::Key ? d_.Seek(t, {}) && d_.Decode(-1) : d_.Seek(t, TSeekFlags{sfBackward}) && d_.Decode(-1);
      while (ok && kind == TKind::Exact && d_.FrameInfo().PTS < t) ok = d_.Decode(-1);
      if (!ok || !d_.CopyToBitmap(&bitmap_)) bench::Die("decoder at " + std::to_string(t) + ": " + d_.LastErrMsg());
    }
  }

 private:
  TFFDecoder d_;
  TBitmap bitmap_;
};

class TBareSide {
 public:
  explicit TBareSide(const String& file) {
    if (ff::avformat_open_input(&ic_, file.c_str(), nullptr, nullptr) < 0 ||
        ff::avformat_find_stream_info(ic_, nullptr) < 0)
      bench::Die("bare: open");
    vi_ = ff::av_find_best_stream(ic_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vi_ < 0) bench::Die("bare: no video");
    st_ = ic_->streams[vi_];
    start_ = st_->start_time == AV_NOPTS_VALUE ? 0 : st_->start_time;
    const AVCodec* codec = ff::avcodec_find_decoder(st_->codecpar->codec_id);
    c_ = ff::avcodec_alloc_context3(codec);
    ff::avcodec_parameters_to_context(c_, st_->codecpar);
    c_->pkt_timebase = st_->time_base;
    c_->thread_count = 1;  // as the decoder component runs it
    if (ff::avcodec_open2(c_, codec, nullptr) < 0) bench::Die("bare: decoder");
    pkt_ = ff::av_packet_alloc();
    frame_ = ff::av_frame_alloc();
    bgra_.resize(size_t(st_->codecpar->width) * size_t(st_->codecpar->height) * 4);
  }
  ~TBareSide() {
    ff::sws_freeContext(sws_);
    ff::av_frame_free(&frame_);
    ff::av_packet_free(&pkt_);
    ff::avcodec_free_context(&c_);
    ff::avformat_close_input(&ic_);
  }

  void Run(const std::vector<int64_t>& targets, TKind kind) {
    for (int64_t t : targets) {
      const int64_t ts = ff::av_rescale_q(t, AV_TIME_BASE_Q, st_->time_base) + start_;
      const int r = kind == TKind::Key ? ff::avformat_seek_file(ic_, vi_, ts, ts, INT64_MAX, 0)
                                       : ff::avformat_seek_file(ic_, vi_, INT64_MIN, ts, ts, 0);
      if (r < 0) bench::Die("bare: seek");
      ff::avcodec_flush_buffers(c_);
      NextPicture();
      while (kind == TKind::Exact && Micro(frame_->pts) < t) {
        ff::av_frame_unref(frame_);
        NextPicture();
      }
      sws_ = ff::sws_getCachedContext(sws_, frame_->width, frame_->height, AVPixelFormat(frame_->format),
                                      frame_->width, frame_->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                      nullptr);
      uint8_t* dst[4] = {bgra_.data()};
      int dstStride[4] = {frame_->width * 4};
      if (!sws_ || ff::sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, dst, dstStride) <= 0)
        bench::Die("bare: scale");
      ff::av_frame_unref(frame_);
    }
  }

 private:
  int64_t Micro(int64_t pts) const { return ff::av_rescale_q(pts - start_, st_->time_base, AV_TIME_BASE_Q); }

  void NextPicture() {
    while (ff::avcodec_receive_frame(c_, frame_) < 0) {
      if (ff::av_read_frame(ic_, pkt_) < 0) bench::Die("bare: read");
      if (pkt_->stream_index == vi_ && ff::avcodec_send_packet(c_, pkt_) < 0) bench::Die("bare: decode");
      ff::av_packet_unref(pkt_);
    }
  }

  AVFormatContext* ic_ = nullptr;
  int vi_ = -1;
  AVStream* st_ = nullptr;
  int64_t start_ = 0;
  AVCodecContext* c_ = nullptr;
  AVPacket* pkt_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* sws_ = nullptr;
  std::vector<uint8_t> bgra_;
};

String MakeClip() {
  fixture::Track v = fixture::MakeTrack(AVMEDIA_TYPE_VIDEO, "libx264");
  v.width = 1920;
  v.height = 1080;
  v.gop = 25;
  v.texture = true;  // fine detail, so that pictures cost what camera pictures cost
  v.options = "preset=ultrafast:g=25";
  fixture::Options opt;
  opt.seconds = kSeconds;
  const String file =
      fixture::CachedPath("seek-1920x1080.mp4", fixture::Definition("mp4", {v}, opt), bench::DataFolder().string());
  if (std::filesystem::exists(file)) return file;
  std::printf("writing %s ...\n", file.c_str());
  String err;
  if (!fixture::Write(file, "mp4", {v}, opt, err)) bench::Die(err);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 18;
  InitMainThread();
  String err;
  if (!fixture::LoadLibraries(err)) bench::Die(err);
  GlobalLogger()->SetLogLevel(llQuiet);
  const String file = MakeClip();

  std::mt19937 gen(20261210);
  std::uniform_int_distribution<int64_t> pick(0, int64_t(kSeconds - 1) * 1000000);
  const auto targets = [&](int n) {
    std::vector<int64_t> v(size_t(n), 0);
    for (int64_t& t : v) t = pick(gen);
    return v;
  };
  TDecoderSide decoder(file);
  TBareSide bare(file);
  // One pass of each first, so both find the file in the page cache.
  const auto warm = targets(kKeySeeks);
  bare.Run(warm, TKind::Key);
  decoder.Run(warm, TKind::Key);

  bench::PrintLoad("before");
  std::vector<double> ratio[2], bareMs[2], decoderMs[2];
  for (int round = 0; round < rounds; ++round) {
    for (TKind kind : {TKind::Key, TKind::Exact}) {
      const int k = kind == TKind::Key ? 0 : 1;
      const auto picks = targets(kind == TKind::Key ? kKeySeeks : kExactSeeks);
      double b = 0, d = 0;
      if (round % 2 == 0) {
        b = bench::Time([&] { bare.Run(picks, kind); });
        d = bench::Time([&] { decoder.Run(picks, kind); });
      } else {
        d = bench::Time([&] { decoder.Run(picks, kind); });
        b = bench::Time([&] { bare.Run(picks, kind); });
      }
      bareMs[k].push_back(1000 * b / double(picks.size()));
      decoderMs[k].push_back(1000 * d / double(picks.size()));
      ratio[k].push_back(d / b);
    }
  }
  bench::PrintLoad("after");
  std::printf("seek + picture into a 32-bit bitmap, 1920x1080 H.264, %d s; %d interleaved rounds\n", kSeconds, rounds);
  std::printf("key-frame seeks (%d per round), ms per seek:\n", kKeySeeks);
  bench::PrintSpread("bare libraries", bareMs[0]);
  bench::PrintSpread("TFFDecoder", decoderMs[0]);
  bench::PrintSpread("ratio TFFDecoder / bare", ratio[0]);
  std::printf("exact-frame seeks (%d per round), ms per seek:\n", kExactSeeks);
  bench::PrintSpread("bare libraries", bareMs[1]);
  bench::PrintSpread("TFFDecoder", decoderMs[1]);
  bench::PrintSpread("ratio TFFDecoder / bare", ratio[1]);
  std::printf("goal: ratio at most 1.05\n");
  return 0;
}
