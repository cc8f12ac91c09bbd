// The options dialog's preview with a fake decoder: the track bar's scale,
// what a move decodes, the clip marks and when they are reset.

#include "app/OptionFrmPreview.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/Files.h"

namespace {

// A clip of Frames pictures at Rate per second, key frames every KeyEvery;
// or sound only (Frames 0). Records what it was asked.
class TFakeDecoder : public IPreviewDecoder {
 public:
  String Name = "/v/clip.mp4";
  String Format = "mov,mp4,m4a,3gp,3g2,mj2";
  int64_t Length = 10000000;
  int Frames = 250;
  int Rate = 25;
  int KeyEvery = 25;
  int Current = -1;  // index of the picture shown
  std::vector<String> Calls;

  int64_t FrameTime(int i) const { return int64_t(i) * 1000000 / Rate; }

  String FileName() override { return Name; }
  int64_t StartTime() override { return 0; }
  int64_t Duration() override { return Length; }
  String FormatName() override { return Format; }
  String FileInfoText() override { return "Input #0, " + Format; }
  int VideoStreamCount() override { return Frames > 0 ? 1 : 0; }
  int FirstVideoStreamIndex() override { return Frames > 0 ? 0 : -1; }
  int FirstAudioStreamIndex() override { return Frames > 0 ? 1 : 0; }
  int64_t VideoDurationScaled() override { return FrameTime(Frames); }
  AVRational VideoFrameRate() override { return Frames > 0 ? AVRational{Rate, 1} : AVRational{0, 1}; }
  bool Decode() override {
    Calls.push_back("Decode");
    if (Current + 1 >= Frames) return false;
    ++Current;
    return true;
  }
  bool DecodePreviousFrame() override {
    Calls.push_back("DecodePreviousFrame");
    if (Current <= 0) return false;
    --Current;
    return true;
  }
  bool Seek(int64_t PTS, TSeekFlags Flags) override {
    Calls.push_back(Flags.Contains(sfBackward) ? "Seek back " + IntToStr(PTS) : "Seek " + IntToStr(PTS));
    if (PTS > Length) return false;
    // The key frame at or after the target; the next decode returns it.
    int key = int((PTS * Rate + 999999) / 1000000);
    key = (key + KeyEvery - 1) / KeyEvery * KeyEvery;
    if (key >= Frames) {
      if (!Flags.Contains(sfBackward)) return false;
      key = (Frames - 1) / KeyEvery * KeyEvery;
    }
    Current = key - 1;
    return true;
  }
  int64_t PicturePTS() override { return FrameTime(Current); }
  bool CopyToBitmap(TBitmap* Bitmap) override {
    Bitmap->SetSize(320, 240);
    return true;
  }
};

TEST(OptionPreviewTest, VideoSteppingAndSeeking) {
  TFakeDecoder decoder;
  TPreviewCore preview;
  EXPECT_EQ(preview.Display().PTSText, "00:00:00.000");
  EXPECT_FALSE(preview.Display().TrackEnabled);
  preview.SetDecoder(&decoder);
  const TPreviewDisplay& d = preview.Display();
  EXPECT_EQ(preview.Frames(), 250);
  EXPECT_EQ(d.Max, 250);
  EXPECT_EQ(d.Frequency, 25);
  EXPECT_EQ(d.PageSize, 12);
  EXPECT_TRUE(d.TrackEnabled);
  EXPECT_TRUE(d.SliderVisible);
  EXPECT_EQ(decoder.Current, 0);  // the first picture is shown
  EXPECT_EQ(preview.Bitmap().Width(), 320);
  EXPECT_EQ(preview.FirstPTS(), 0);
  EXPECT_EQ(d.FileInfo, "Input #0, mov,mp4,m4a,3gp,3g2,mj2");

  // One step decodes exactly the next picture, one back the previous one.
  decoder.Calls.clear();
  preview.TrackBarChange(1);
  EXPECT_EQ(decoder.Calls, std::vector<String>{"Decode"});
  EXPECT_EQ(preview.CurrentPTS(), 40000);
  EXPECT_EQ(d.PTSText, "00:00:00.040");
  preview.TrackBarChange(0);
  EXPECT_EQ(decoder.Calls.back(), "DecodePreviousFrame");
  EXPECT_EQ(decoder.Current, 0);

  // A jump seeks and decodes forward to the first picture at or after the target.
  decoder.Calls.clear();
  preview.TrackBarChange(130);  // 5.2 s: the key frame at 6 s
  EXPECT_EQ(decoder.Calls[0], "Seek 5200000");
  EXPECT_EQ(preview.CurrentPTS(), 6000000);
  EXPECT_EQ(d.Position, 130);  // the user's position stays
  decoder.KeyEvery = 1;
  preview.TrackBarChange(60);
  EXPECT_EQ(preview.CurrentPTS(), 2400000);

  // Past the last key frame the backward seek serves.
  decoder.KeyEvery = 100;
  decoder.Calls.clear();
  preview.TrackBarChange(240);
  EXPECT_EQ(decoder.Calls[1], "Seek back 9600000");
  EXPECT_EQ(preview.CurrentPTS(), 9600000);

  // Next Frame moves the slider with the picture.
  preview.NextFrame();
  EXPECT_EQ(preview.CurrentPTS(), 9640000);
  EXPECT_EQ(d.Position, 241);
}

TEST(OptionPreviewTest, ClipMarksAndTheirReset) {
  TFakeDecoder decoder;
  TPreviewCore preview;
  preview.SetDecoder(&decoder);
  preview.TrackBarChange(50);
  preview.SetEndMark();
  EXPECT_FALSE(preview.Display().CutClipChecked);  // no start yet
  preview.SetStartMark();
  EXPECT_FALSE(preview.Display().CutClipEnabled);  // start = end
  preview.TrackBarChange(25);
  preview.SetStartMark();
  const TPreviewDisplay& d = preview.Display();
  EXPECT_TRUE(d.CutClipEnabled);
  EXPECT_TRUE(d.CutClipChecked);
  EXPECT_EQ(d.SelStart, 25);
  EXPECT_EQ(d.SelEnd, 50);
  EXPECT_EQ(d.StartText, "00:00:01.000");
  EXPECT_EQ(d.EndText, "00:00:02.000");
  EXPECT_EQ(preview.StartTime(), 1000000);
  EXPECT_EQ(preview.EndTime(), 2000000);
  preview.SetCutClipChecked(false);
  EXPECT_FALSE(d.CutClipChecked);

  // The same file again (the dialog reopened for it) keeps the marks ...
  preview.ClearFrameView(false);
  preview.SetDecoder(&decoder);
  EXPECT_EQ(preview.StartTime(), 1000000);
  // ... but every add clears them first, also for the same file.
  preview.ClearFrameView(true);
  preview.SetDecoder(&decoder);
  EXPECT_EQ(d.StartText, "N/A");
  EXPECT_EQ(d.EndText, "N/A");
  EXPECT_FALSE(d.CutClipEnabled);
  EXPECT_EQ(preview.StartTime(), TPreviewCore::NoMark);
  EXPECT_EQ(preview.EndTime(), AV_NOPTS_VALUE);
  // Another file clears them on its own.
  preview.TrackBarChange(100);
  preview.SetEndMark();
  TFakeDecoder other;
  other.Name = "/v/other.mp4";
  preview.SetDecoder(&other);
  EXPECT_EQ(d.EndText, "N/A");
}

TEST(OptionPreviewTest, SoundOnlyAndImageSequences) {
  TFakeDecoder sound;
  sound.Frames = 0;
  sound.Length = 3500000;
  TPreviewCore preview;
  preview.SetDecoder(&sound);
  EXPECT_EQ(preview.Frames(), 35);  // tenths of a second
  EXPECT_EQ(preview.Display().Max, 35);
  EXPECT_EQ(preview.Display().PageSize, 5);
  EXPECT_EQ(preview.Display().Frequency, 3);
  preview.TrackBarChange(12);
  EXPECT_EQ(preview.CurrentPTS(), 1200000);
  EXPECT_EQ(preview.Display().PTSText, "00:00:01.200");
  EXPECT_TRUE(sound.Calls.empty());  // nothing decoded
  EXPECT_EQ(preview.Bitmap().Width(), 0);
  preview.SetStartMark();
  preview.TrackBarChange(30);
  preview.SetEndMark();
  EXPECT_TRUE(preview.Display().CutClipChecked);

  TFakeDecoder images;
  images.Format = "image2";
  images.Frames = 5;
  preview.ClearFrameView(true);
  preview.SetDecoder(&images);
  EXPECT_FALSE(preview.Display().TrackEnabled);
  EXPECT_FALSE(preview.Display().SliderVisible);
  images.Calls.clear();
  preview.TrackBarChange(3);
  EXPECT_TRUE(images.Calls.empty());

  TFakeDecoder unknown;
  unknown.Length = AV_NOPTS_VALUE;
  preview.ClearFrameView(true);
  preview.SetDecoder(&unknown);
  EXPECT_FALSE(preview.Display().TrackEnabled);
  EXPECT_EQ(preview.Frames(), 250);  // from the stream's own duration
}

TEST(OptionPreviewTest, FittedPictureAndKeys) {
  struct Case {
    int sw, sh, dw, dh;
    TRect r;
  } cases[] = {
      {1920, 1080, 220, 145, TRect(0, 11, 220, 134)},   // wider: bands above and below
      {480, 640, 220, 145, TRect(56, 0, 164, 145)},     // taller: bands left and right
      {220, 145, 220, 145, TRect(0, 0, 220, 145)},
      {0, 100, 220, 145, TRect()},
  };
  for (const Case& c : cases) {
    const TRect r = FittedRect(c.sw, c.sh, c.dw, c.dh);
    EXPECT_EQ(r.Left, c.r.Left) << c.sw;
    EXPECT_EQ(r.Top, c.r.Top) << c.sw;
    EXPECT_EQ(r.Right, c.r.Right) << c.sw;
    EXPECT_EQ(r.Bottom, c.r.Bottom) << c.sw;
  }
  // Digits, and the control keys of editing: backspace, select all, copy,
  // paste, cut, undo.
  for (char32_t k : {U'0', U'9', char32_t(8), char32_t(1), char32_t(3), char32_t(0x16), char32_t(0x18),
                     char32_t(0x1A), char32_t(0x7F)})
    EXPECT_TRUE(IsNumericKey(k)) << unsigned(k);
  for (char32_t k : {U'-', U'a', U'.', U' ', char32_t(0x0661), char32_t(0x25A1)})
    EXPECT_FALSE(IsNumericKey(k)) << unsigned(k);
}

}  // namespace

namespace {

TEST(OptionPreviewTest, OutputFoldersThatCannotTakeFiles) {
  const String dir = GetTempDir() + "tarnwick-out-" + IntToStr(getpid());
  ASSERT_TRUE(ForceDirectories(dir));
  EXPECT_EQ(OutputFolderProblem(dir), ofpNone);
  EXPECT_TRUE(RemoveDir(dir)) << "the probe left nothing behind";
  ASSERT_TRUE(ForceDirectories(dir));
  chmod(dir.c_str(), 0555);
  if (geteuid() != 0) {
    EXPECT_EQ(OutputFolderProblem(dir), ofpUnwritable);  // root writes anywhere
  }
  chmod(dir.c_str(), 0755);
  RemoveDir(dir);
  // No file can be made here, not even by root, though the mount is writable.
  EXPECT_EQ(OutputFolderProblem("/proc/self/"), ofpUnwritable);
  // A missing folder is the encoder's to report.
  EXPECT_EQ(OutputFolderProblem(dir + "/gone/"), ofpNone);
}

}  // namespace
