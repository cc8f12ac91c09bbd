// Error texts, time and name texts, numbers and array growth.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "OptTestSupport.h"

namespace {

class TextsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadSystemLibraries(); }
};

TEST_F(TextsTest, ErrorCodeToTextOnThisPlatform) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
      {AVERROR(ENOENT), "No such file or directory"},
      {AVERROR(ENOMEM), "Not enough space / Out of memory"},
      {AVERROR(EAGAIN), "Resource temporarily unavailable / Try again"},
      {AVERROR(ENAMETOOLONG), "File name too long"},
      {AVERROR(ENOSYS), "Function not implemented"},
      {AVERROR(ELOOP), "Too many symbolic links encountered"},
      {AVERROR(EDEADLK), "Resource deadlock avoided"},
      {AVERROR(ETIMEDOUT), "Connection timed out"},
      {AVERROR(EHOSTUNREACH), "No route to host"},
      {AVERROR(ENETUNREACH), "Network is unreachable"},
      {AVERROR(ECONNREFUSED), "Connection refused"},
      {AVERROR(EALREADY), "Operation already in progress"},
      {AVERROR(ECANCELED), "Operation Canceled"},
      {AVERROR_EOF, "End of file"},
      {AVERROR_EXIT, "Immediate exit requested"},
      {AVERROR_OPTION_NOT_FOUND, "Option not found"},
      {AVERROR_BUG2, "Internal bug, should not have happened"},
      {AVERROR_HTTP_NOT_FOUND, "HTTP or RTSP error: not found(404)"},
      {-1, "Error number -1 occurred"},
      {-123456, "Error number -123456 occurred"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorCodeToText(c.code), c.text) << c.code;
  EXPECT_EQ(ErrorCodeToText("check_stream_specifier", AVERROR(EINVAL)),
            "check_stream_specifier: Invalid argument / Invalid data found when processing input");
}

TEST_F(TextsTest, DurationsAndTimestamps) {
  const struct {
    int64_t us;
    const char* text;
  } durations[] = {
      {AV_NOPTS_VALUE, "N/A"},
      {0, "00:00:00.000"},
      {499, "00:00:00.000"},
      {500, "00:00:00.001"},
      {1000000, "00:00:01.000"},
      {3723004999, "01:02:03.005"},
      {59999999, "00:01:00.000"},
      {-1500000, "-00:00:01.500"},
      {-400, "-00:00:00.000"},
      {int64_t{360000} * 1000000, "100:00:00.000"},
      {INT64_MAX, "2562047788:00:54.776"},
      {INT64_MIN + 1, "-2562047788:00:54.776"},
  };
  for (const auto& d : durations) EXPECT_EQ(DurationToText(d.us), d.text) << d.us;

  const AVRational ts90k{1, 90000};
  const struct {
    AVRational tb;
    int64_t ts;
    const char* text;
  } stamps[] = {
      {ts90k, 90000, "00:00:01.000"},
      {ts90k, 135000, "00:00:01.500"},
      {ts90k, 45, "00:00:00.001"},
      {ts90k, int64_t{90000} * 3723, "01:02:03.000"},
      {ts90k, AV_NOPTS_VALUE, "N/A"},
      {AVRational{1, 1000000}, 2500, "00:00:00.003"},
      {AVRational{1, 25}, 50, "00:00:02.000"},
  };
  for (const auto& s : stamps) EXPECT_EQ(TimestampToText(s.tb, s.ts), s.text) << s.ts;
}

TEST_F(TextsTest, TimeZonesWithDaylightSaving) {
  const struct {
    int minutes;
    const char* text;
  } zones[] = {{0, "UTC"}, {60, "UTC+01:00"}, {120, "UTC+02:00"}, {-330, "UTC-05:30"}, {330, "UTC+05:30"},
               {-600, "UTC-10:00"}, {765, "UTC+12:45"}};
  for (const auto& z : zones) EXPECT_EQ(TimeZoneText(z.minutes), z.text);

  // A zone one hour ahead of UTC, two in summer.
  const char* savedTz = std::getenv("TZ");
  const String saved = savedTz ? savedTz : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const int64_t winter = 1704110400;  // 2024-01-01 12:00 UTC
  const int64_t summer = 1719835200;  // 2024-07-01 12:00 UTC
  EXPECT_EQ(LocalTimeOffsetMinutes(winter), 60);
  EXPECT_EQ(LocalTimeOffsetMinutes(summer), 120);
  EXPECT_DOUBLE_EQ(UnixTimeToLocal(summer), summer / 86400.0 + 25569 + 2 / 24.0);
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  EXPECT_EQ(LocalTimeOffsetMinutes(winter), -300);
  EXPECT_EQ(TimeZoneText(LocalTimeOffsetMinutes(summer)), "UTC-04:00");
  if (savedTz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST_F(TextsTest, NumbersAndNames) {
  EXPECT_EQ(FrameRateToDuration({25, 1}), 40000);
  EXPECT_EQ(FrameRateToDuration({30000, 1001}), 33366);
  EXPECT_EQ(FrameRateToDuration({0, 0}), 40000);
  EXPECT_EQ(FrameRateToDuration({1, 0}), 40000);
  EXPECT_EQ(FrameRateToDuration({1, 3600}), int64_t{3600000000});  // beyond 32 bits
  EXPECT_EQ(MakeTag('D', 'I', 'V', 'X'), uint32_t(MKTAG('D', 'I', 'V', 'X')));
  EXPECT_EQ(TCustomFFmpegOpt::Log2(0), 0);
  EXPECT_EQ(TCustomFFmpegOpt::Log2(1), 0);
  EXPECT_EQ(TCustomFFmpegOpt::Log2(255), 7);
  EXPECT_EQ(TCustomFFmpegOpt::Log2(256), 8);
  EXPECT_EQ(TCustomFFmpegOpt::Log2(0xFFFFFFFFu), 31);
  EXPECT_EQ(MediaTypeText(AVMEDIA_TYPE_SUBTITLE), "Subtitle");
  EXPECT_EQ(MediaTypeText(-1), "Unknown");
  EXPECT_EQ(PictureTypeText(AV_PICTURE_TYPE_B), "Bi-dir predicted");
  EXPECT_EQ(PictureTypeText(0), "Unknown");

  AVCodecContext* ctx = ff::avcodec_alloc_context3(nullptr);
  ctx->codec_id = AV_CODEC_ID_MPEG4;
  EXPECT_EQ(CodecNameText(ctx, false, false), "mpeg4");
  EXPECT_EQ(CodecNameText(ctx, true, true), "mpeg4(MPEG-4 part 2)");
  ctx->codec_id = AV_CODEC_ID_MPEG2TS;
  EXPECT_EQ(CodecNameText(ctx, false, true), "mpeg2ts");
  ctx->codec_id = AV_CODEC_ID_NONE;
  ctx->codec_tag = MKTAG('D', 'I', 'V', 'X');
  EXPECT_EQ(CodecNameText(ctx, false, true), "DIVX / 0x58564944");
  ctx->codec_tag = 0x01;
  EXPECT_EQ(CodecNameText(ctx, false, true), "0x0001");
  ff::avcodec_free_context(&ctx);

  TAVDict dict;
  ff::av_dict_set(dict.Ref(), "title", "clip", 0);
  EXPECT_EQ(DictValueOrDefault(dict.Get(), "title", "none"), "clip");
  EXPECT_EQ(DictValueOrDefault(dict.Get(), "artist", "none"), "none");
}

TEST_F(TextsTest, GrowArrayZeroFillsAndRefusesHugeSizes) {
  int count = 0;
  auto* values = static_cast<int64_t*>(GrowArray(nullptr, sizeof(int64_t), count, 3));
  ASSERT_NE(values, nullptr);
  EXPECT_EQ(count, 3);
  values[2] = 7;
  values = static_cast<int64_t*>(GrowArray(values, sizeof(int64_t), count, 10));
  EXPECT_EQ(count, 10);
  EXPECT_EQ(values[2], 7);
  for (int i = 3; i < 10; ++i) EXPECT_EQ(values[i], 0);
  EXPECT_EQ(GrowArray(values, sizeof(int64_t), count, 5), values);  // never shrinks
  EXPECT_EQ(count, 10);
  try {
    GrowArray(values, sizeof(int64_t), count, INT_MAX / 8);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Array too big.");
  }
  ff::av_free(values);
}

TEST_F(TextsTest, RotationFromMetadataAndDisplayMatrix) {
  AVFormatContext* ctx = ff::avformat_alloc_context();
  const struct {
    const char* rotate;  // metadata, or nullptr for a display matrix of 90 degrees
    double degrees;
  } cases[] = {{"90", 90}, {"-90", 270}, {"450", 90}, {"0", 0}, {"90x", 0}, {nullptr, 90}};
  for (const auto& c : cases) {
    AVStream* st = ff::avformat_new_stream(ctx, nullptr);
    if (c.rotate) {
      ff::av_dict_set(&st->metadata, "rotate", c.rotate, 0);
    } else {
      auto* matrix = reinterpret_cast<int32_t*>(
          ff::av_stream_new_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
      ff::av_display_rotation_set(matrix, 90);
    }
    EXPECT_NEAR(GetRotation(st), c.degrees, 1e-9) << (c.rotate ? c.rotate : "matrix");
  }
  ff::avformat_free_context(ctx);
}

}  // namespace
