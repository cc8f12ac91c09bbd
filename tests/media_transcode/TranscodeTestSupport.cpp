#include "tests/media_transcode/TranscodeTestSupport.h"

#include "media/FFmpegOptFilters.h"
#include "platform/os/Threads.h"

namespace {

struct TInputDeleter {
  void operator()(AVFormatContext* p) const { ff::avformat_close_input(&p); }
};

}  // namespace

TFileReport InspectFile(const String& FileName, bool KeepPictures, int KeepRows) {
  TFileReport report;
  AVFormatContext* raw = nullptr;
  if (ff::avformat_open_input(&raw, FileName.c_str(), nullptr, nullptr) < 0) return report;
  std::unique_ptr<AVFormatContext, TInputDeleter> ic(raw);
  if (ff::avformat_find_stream_info(ic.get(), nullptr) < 0) return report;
  report.Opened = true;
  std::vector<UniqueCodecContext> decoders(ic->nb_streams);
  std::vector<int64_t> lastDts(ic->nb_streams, AV_NOPTS_VALUE);
  std::vector<bool> seen(ic->nb_streams, false);
  std::vector<int64_t> minPts(ic->nb_streams, INT64_MAX), maxEnd(ic->nb_streams, INT64_MIN);
  report.Streams.resize(ic->nb_streams);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVCodecParameters* par = ic->streams[i]->codecpar;
    TStreamReport& s = report.Streams[i];
    s.Type = par->codec_type;
    s.Codec = ff::avcodec_get_name(par->codec_id);
    if (const AVDictionaryEntry* e = ff::av_dict_get(ic->streams[i]->metadata, "encoder", nullptr, 0)) s.Encoder = e->value;
    s.Width = par->width;
    s.Height = par->height;
    s.SampleRate = par->sample_rate;
    // Pictures and sound only: subtitles are counted by their packets.
    if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const AVCodec* dec = ff::avcodec_find_decoder(par->codec_id);
    if (!dec) continue;
    decoders[i].reset(ff::avcodec_alloc_context3(dec));
    ff::avcodec_parameters_to_context(decoders[i].get(), par);
    decoders[i]->pkt_timebase = ic->streams[i]->time_base;
    if (ff::avcodec_open2(decoders[i].get(), dec, nullptr) < 0) decoders[i].reset();
  }
  UniquePacket pkt(ff::av_packet_alloc());
  UniqueFrame frame(ff::av_frame_alloc());
  auto drain = [&](unsigned i) {
    while (ff::avcodec_receive_frame(decoders[i].get(), frame.get()) >= 0) {
      TStreamReport& s = report.Streams[i];
      s.Frames++;
      s.Samples += frame->nb_samples;
      if (KeepPictures && s.Type == AVMEDIA_TYPE_VIDEO) {
        std::vector<uint8_t> rows;
        for (int y = 0; y < KeepRows && y < frame->height; ++y)
          rows.insert(rows.end(), frame->data[0] + y * frame->linesize[0],
                      frame->data[0] + y * frame->linesize[0] + frame->width);
        s.Lumas.push_back(std::move(rows));
      }
      ff::av_frame_unref(frame.get());
    }
  };
  while (ff::av_read_frame(ic.get(), pkt.get()) >= 0) {
    const unsigned i = unsigned(pkt->stream_index);
    TStreamReport& s = report.Streams[i];
    const AVRational tb = ic->streams[i]->time_base;
    if (!seen[i]) s.FirstIsKey = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
    seen[i] = true;
    s.Packets++;
    if (pkt->dts != AV_NOPTS_VALUE) {
      if (lastDts[i] != AV_NOPTS_VALUE && pkt->dts <= lastDts[i]) s.MonotonicDts = false;
      lastDts[i] = pkt->dts;
    }
    if (pkt->pts != AV_NOPTS_VALUE) {
      minPts[i] = std::min(minPts[i], ff::av_rescale_q(pkt->pts, tb, AVRational{1, 1000000}));
      maxEnd[i] = std::max(maxEnd[i], ff::av_rescale_q(pkt->pts + pkt->duration, tb, AVRational{1, 1000000}));
    }
    if (decoders[i] && ff::avcodec_send_packet(decoders[i].get(), pkt.get()) >= 0) drain(i);
    ff::av_packet_unref(pkt.get());
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    if (decoders[i]) {
      ff::avcodec_send_packet(decoders[i].get(), nullptr);
      drain(i);
    }
    if (minPts[i] != INT64_MAX) {
      report.Streams[i].FirstTime = minPts[i] / 1e6;
      report.Streams[i].EndTime = maxEnd[i] / 1e6;
    }
  }
  return report;
}

void TranscodeTest::SetUpTestSuite() {
  InitMainThread();
  ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg();
}

void TranscodeTest::SetUp() {
  FFolder = std::filesystem::temp_directory_path() /
            ("tarnwick_transcode_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(FFolder);
  GlobalLogger()->SetTriggerEventInMainThread(false);
  GlobalLogger()->SetLogLevel(llInfo);
  GlobalLogger()->SetOnLog([this](TObject*, TThreadID, TLogLevel Level, const String& Msg) {
    if (Level > llError) return;
    std::lock_guard<std::mutex> lock(FLogLock);
    FErrors += Msg + "\n";
  });
}

void TranscodeTest::TearDown() {
  GlobalLogger()->SetOnLog(nullptr);
  std::error_code ec;
  std::filesystem::permissions(FFolder, std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(FFolder, ec);
}

String TranscodeTest::Errors() {
  std::lock_guard<std::mutex> lock(FLogLock);
  return FErrors;
}

String VideoSource(double Seconds, int Rate, const char* Size) {
  return Format("testsrc=size=%s:rate=%d:duration=%s", {Size, Rate, PointFormat("%g", Seconds)});
}

String AudioSource(double Seconds) {
  return Format("sine=frequency=440:sample_rate=44100:duration=%s", {PointFormat("%g", Seconds)});
}
