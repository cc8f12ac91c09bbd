// The texts of the progress report under both decimal separators: the status
// line follows the user's separator, the progress block always has a point.

#include <gtest/gtest.h>

#include "media/FFmpeg.h"

namespace {

struct TSeparator {
  explicit TSeparator(char Separator) : FSaved(FormatSettings().DecimalSeparator) {
    FormatSettings().DecimalSeparator = Separator;
  }
  ~TSeparator() { FormatSettings().DecimalSeparator = FSaved; }

 private:
  char FSaved;
};

// Status texts are written with '#' for the decimal separator under test.
String Localised(String Text, char Separator) {
  for (char& c : Text)
    if (c == '#') c = Separator;
  return Text;
}

}  // namespace

TEST(ReportTexts, StatusLineBlockAndFinalSizesUnderBothSeparators) {
  struct TTail {
    const char* Name;
    int64_t Pts, TotalSize;
    double Bitrate;
    int Dup, Drop;
    double Speed;
    const char* StatusBeforeSpeed;  // with '#' for the decimal separator
    const char* StatusSpeed;
    const char* Block;
  };
  const TTail tails[] = {
      {"a minute and a bit", 62345000, 2048, 262.8, 0, 0, 1.5, "size=       2kB time=00:01:02.345 bitrate= 262#8kbits/s",
       " speed= 1#5x",
       "bitrate= 262.8kbits/s\ntotal_size=2048\nout_time_ms=62345000\nout_time=00:01:02.345000\n"
       "dup_frames=0\ndrop_frames=0\nspeed= 1.5x\n"},
      {"hours", 3723004005, 10 << 20, 1234.56, 3, 1, 12.34,
       "size=   10240kB time=01:02:03.004 bitrate=1234#6kbits/s dup=3 drop=1", " speed=12#3x",
       "bitrate=1234.6kbits/s\ntotal_size=10485760\nout_time_ms=3723004005\nout_time=01:02:03.004005\n"
       "dup_frames=3\ndrop_frames=1\nspeed=12.3x\n"},
      {"nothing known", 0, -1, -1, 0, 0, -1, "size=N/A time=00:00:00.000 bitrate=N/A", " speed=N/A",
       "bitrate=N/A\ntotal_size=N/A\nout_time_ms=0\nout_time=00:00:00.000000\ndup_frames=0\ndrop_frames=0\n"
       "speed=N/A\n"},
      {"before the start", -500000, 0, -1, 0, 0, 0.25, "size=       0kB time=-00:00:00.500 bitrate=N/A",
       " speed=0#25x",
       "bitrate=N/A\ntotal_size=0\nout_time_ms=-500000\nout_time=00:00:00.500000\ndup_frames=0\ndrop_frames=0\n"
       "speed=0.25x\n"},
  };
  for (const char separator : {'.', ','}) {
    TSeparator scope(separator);
    for (const TTail& c : tails) {
      SCOPED_TRACE(String(c.Name) + " with '" + separator + "'");
      String status = "frame=    1 ", block = "frame=1\n";
      const size_t before =
          TCustomFFmpeg::ReportTailTexts(c.Pts, c.TotalSize, c.Bitrate, c.Dup, c.Drop, c.Speed, status, block);
      const String expected = "frame=    1 " + Localised(c.StatusBeforeSpeed, separator);
      EXPECT_EQ(status.substr(0, before), expected);
      EXPECT_EQ(status.substr(before), Localised(c.StatusSpeed, separator));
      EXPECT_EQ(block, String("frame=1\n") + c.Block);
    }

    struct TFrame {
      float Fps, Q;
      const char* Status;
      const char* Block;
    };
    const TFrame frames[] = {
        {9.9f, 2.5f, "frame=   42 fps=9#9 q=2#5 ", "frame=42\nfps=9.9\nstream_0_1_q=2.5\n"},
        {10.2f, -1, "frame=   42 fps= 10 q=-1#0 ", "frame=42\nfps=10.2\nstream_0_1_q=-1.0\n"},
    };
    for (const TFrame& f : frames) {
      String status, block;
      TCustomFFmpeg::ReportFrameTexts(42, f.Fps, f.Q, 0, 1, status, block);
      EXPECT_EQ(status, Localised(f.Status, separator));
      EXPECT_EQ(block, f.Block);
    }

    EXPECT_EQ(TCustomFFmpeg::FinalSizesText(2048, 1024, 0, 0, 100, 3072, 3200),
              Localised("video:2kB audio:1kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: "
                        "4#17%",
                        separator));
    EXPECT_EQ(TCustomFFmpeg::FinalSizesText(0, 0, 0, 0, 0, 0, -1),
              "video:0kB audio:0kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: unknown");
  }
}
