#include <gtest/gtest.h>

#include "media/FFmpegQsv.h"
#include "tests/media_opt/OptTestSupport.h"

namespace {

// Memory that is no live QSV context.
struct TQSVContextStandIn {
  char Bytes[64] = {};
};

class QsvTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadSystemLibraries();
    ASSERT_TRUE(FFLoader().Load(libMFX)) << FFLoader().LastErrMsg();
  }

  // A stream pair that passes every eligibility rule: QSV decoder and
  // encoder, no filters, one output.
  void SetUp() override {
    FDecoder = ff::avcodec_find_decoder_by_name("h264_qsv");
    FEncoder = ff::avcodec_find_encoder_by_name("h264_qsv");
    if (!FDecoder || !FEncoder) GTEST_SKIP() << "this FFmpeg has no QSV codecs";
    FIst.avdec = FDecoder;
    FIst.dec_ctx.reset(ff::avcodec_alloc_context3(FDecoder));
    FIst.dec_ctx->width = 320;
    FIst.dec_ctx->height = 240;
    FIst.dec_ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    FIst.dec_ctx->opaque = &FIst;
    FIst.hwaccel_id = HWACCEL_QSV;
    FOutputs.push_back(std::make_unique<TOutputStream>());
    FOst = FOutputs.back().get();
    FOst->enc = FEncoder;
    FOst->enc_ctx.reset(ff::avcodec_alloc_context3(FEncoder));
    FOst->avfilter = "null";
    FOst->source_index = 0;
  }

  const AVCodec* FDecoder = nullptr;
  const AVCodec* FEncoder = nullptr;
  TInputStream FIst;
  std::vector<std::unique_ptr<TOutputStream>> FOutputs;
  TOutputStream* FOst = nullptr;
};

TEST(QsvImplementation, NamesNumbersAndUnknownTexts) {
  struct Case {
    const char* Device;
    bool Known;
    int Impl;
  } cases[] = {{"", true, 3},       {"auto", true, 0},  {"sw", true, 1},    {"hw", true, 2},
               {"auto_any", true, 3}, {"hw_any", true, 4}, {"hw2", true, 5},  {"hw3", true, 6},
               {"hw4", true, 7},    {"0x102", true, 258}, {"17", true, 17}, {"abc", false, 0},
               {"HW2", false, 0},   {"12abc", false, 0}, {"99999999999", false, 0}};
  for (const Case& c : cases) {
    int impl = -1;
    EXPECT_EQ(ChooseImplementation(c.Device, impl), c.Known) << c.Device;
    if (c.Known) {
      EXPECT_EQ(impl, c.Impl) << c.Device;
    }
  }
}

TEST(QsvTable, LookUpByPixelFormat) {
  const THWAccel* row = GetHWAccel(AV_PIX_FMT_QSV);
  ASSERT_NE(row, nullptr);
  EXPECT_STREQ(row->Name, "qsv");
  EXPECT_EQ(row->Id, HWACCEL_QSV);
  EXPECT_EQ(GetHWAccel(AV_PIX_FMT_YUV420P), nullptr);
  EXPECT_EQ(GetHWAccel(AV_PIX_FMT_NONE), nullptr);  // the end row is never an answer
}

// Streams that do not qualify are left alone without a word.
TEST_F(QsvTest, IneligibleStreamsAreLeftToSoftware) {
  TLogCapture log;
  GlobalLogger()->SetLogLevel(llVerbose);
  const std::function<void()> breakers[] = {
      [&] { FOst->avfilter = "scale=160:120"; },
      [&] { FOst->source_index = -1; },
      [&] { FIst.hwaccel_id = HWACCEL_NONE; },
      [&] { FIst.avdec = ff::avcodec_find_decoder_by_name("h264"); },
      [&] { FOst->enc = ff::avcodec_find_encoder_by_name("mpeg4"); },
      [&] {  // the input feeds a second output
        FOutputs.push_back(std::make_unique<TOutputStream>());
        FOutputs.back()->source_index = 0;
      },
  };
  for (size_t i = 0; i < std::size(breakers); ++i) {
    SetUp();
    breakers[i]();
    EXPECT_EQ(QsvTranscodeInit(FOst, &FIst, FOutputs), 0) << i;
    EXPECT_EQ(FOst->hwaccel_ctx, nullptr) << i;
    EXPECT_EQ(FIst.hwaccel_ctx, nullptr) << i;
    FOutputs.clear();
  }
  EXPECT_FALSE(log.Contains("QSV"));
}

// Without a device the set-up fails with the session message; an unknown
// device text fails before any device is tried.
TEST_F(QsvTest, FailuresLeaveNoState) {
  TLogCapture log;
  AVBufferRef* probe = nullptr;
  if (ff::av_hwdevice_ctx_create(&probe, AV_HWDEVICE_TYPE_QSV, nullptr, nullptr, 0) >= 0) {
    ff::av_buffer_unref(&probe);
  } else {
    EXPECT_EQ(QsvTranscodeInit(FOst, &FIst, FOutputs), AVERROR_UNKNOWN);
    EXPECT_TRUE(log.Contains("Error initializing an MFX session: "));
    EXPECT_EQ(FOst->hwaccel_ctx, nullptr);
    EXPECT_EQ(FIst.hwaccel_ctx, nullptr);
    EXPECT_EQ(FOst->enc_ctx->hw_frames_ctx, nullptr);
  }
  FIst.hwaccel_device = "fastest";
  EXPECT_EQ(QsvTranscodeInit(FOst, &FIst, FOutputs), AVERROR_UNKNOWN);
  EXPECT_TRUE(log.Contains("Unknown QSV device \"fastest\""));
  EXPECT_EQ(FIst.hwaccel_ctx, nullptr);
}

// Without the dispatcher library every encoded stream warns and stays in software.
TEST_F(QsvTest, MissingDispatcherWarnsAndFallsBack) {
  TLogCapture log;
  const auto bound = ff::MFXInit;
  ff::MFXInit = nullptr;
  const int result = QsvTranscodeInit(FOst, &FIst, FOutputs);
  ff::MFXInit = bound;
  EXPECT_EQ(result, 0);
  EXPECT_EQ(FOst->hwaccel_ctx, nullptr);
  EXPECT_TRUE(log.Contains("Intel QSV transcoding is not avaiable because libmfx is not loaded."));
}

// A join copy of an output stream carries the context pointer of a context
// that may be gone: releasing it only forgets the pointer.
TEST_F(QsvTest, ReleasingAStaleEncoderPointerOnlyForgetsIt) {
  TQSVContextStandIn gone;
  FOst->hwaccel_ctx = &gone;
  QsvEncoderUninit(FOst);
  EXPECT_EQ(FOst->hwaccel_ctx, nullptr);
  QsvEncoderUninit(FOst);  // twice is fine
}

TEST_F(QsvTest, DecoderWithoutSetUpIsRefused) {
  TLogCapture log;
  EXPECT_EQ(QsvInit(FIst.dec_ctx.get()), AVERROR_BUG);
  EXPECT_TRUE(log.Contains("QSV transcoding is not initialized."));
}

// On a machine with Quick Sync: both codecs share one pool, and each side's
// release leaves the other intact.
TEST_F(QsvTest, HardwareSmoke) {
  AVBufferRef* probe = nullptr;
  if (ff::av_hwdevice_ctx_create(&probe, AV_HWDEVICE_TYPE_QSV, nullptr, nullptr, 0) < 0)
    GTEST_SKIP() << "no QSV device on this machine";
  ff::av_buffer_unref(&probe);
  ASSERT_EQ(QsvTranscodeInit(FOst, &FIst, FOutputs), 0);
  ASSERT_NE(FOst->hwaccel_ctx, nullptr);
  EXPECT_EQ(FOst->enc_ctx->pix_fmt, AV_PIX_FMT_QSV);
  ASSERT_EQ(QsvInit(FIst.dec_ctx.get()), 0);
  EXPECT_EQ(FIst.dec_ctx->hw_frames_ctx->data, FOst->enc_ctx->hw_frames_ctx->data);
  QsvUninit(FIst.dec_ctx.get());
  EXPECT_EQ(FIst.hwaccel_ctx, nullptr);
  EXPECT_NE(FOst->enc_ctx->hw_frames_ctx, nullptr);
  QsvEncoderUninit(FOst);
  EXPECT_EQ(FOst->hwaccel_ctx, nullptr);
}

}  // namespace
