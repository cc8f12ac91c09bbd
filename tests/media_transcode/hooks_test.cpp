// The hooks: pictures handed to the application before filtering and before
// encoding, and what the application draws into them.

#include <cstring>

#include "tests/media_transcode/TranscodeTestSupport.h"

namespace {

constexpr int BlockSize = 16;

// Writes the low 8 bits of Number as white (1) and black (0) blocks along the top.
void DrawNumber(TBitmap* Bitmap, int Number) {
  for (int y = 0; y < BlockSize; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap->ScanLine(y));
    for (int b = 0; b < 8; ++b) {
      const uint8_t v = (Number >> b) & 1 ? 255 : 0;
      std::memset(row + b * BlockSize * 4, v, BlockSize * 4);
    }
  }
}

// The number a decoded picture carries (from its luma rows).
int ReadNumber(const std::vector<uint8_t>& Rows, int Width) {
  int n = 0;
  for (int b = 0; b < 8; ++b)
    if (Rows[(BlockSize / 2) * Width + b * BlockSize + BlockSize / 2] > 128) n |= 1 << b;
  return n;
}

}  // namespace

TEST_F(TranscodeTest, EveryHookedPictureKeepsItsOwnNumber) {
  // B-frames keep several pictures inside the encoder while later ones are hooked.
  for (const bool inputSide : {false, true}) {
    SCOPED_TRACE(inputSide ? "input side" : "output side");
    TTask task;
    ASSERT_GE(task.AddInput("-f lavfi", VideoSource(2)), 0);
    ASSERT_GE(task.SetOutput("-c:v libx264 -preset ultrafast -bf 3 -crf 8", Path("hooked.mp4")), 0);
    int calls = 0;
    TFFVideoHookEvent hook = [&](TObject*, TBitmap* ABitmap, int AFrameNumber, int64_t, bool& AUpdate, bool&) {
      ++calls;
      DrawNumber(ABitmap, AFrameNumber);
      AUpdate = true;
    };
    (inputSide ? task.OnInputVideoHook : task.OnOutputVideoHook) = hook;
    task.RunHere();
    ASSERT_TRUE(task.Finished()) << task.FatalMessage();
    EXPECT_EQ(calls, 50);
    const TFileReport r = InspectFile(Path("hooked.mp4"), true, BlockSize);
    const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_TRUE(v);
    ASSERT_EQ(v->Lumas.size(), 50u);
    for (size_t i = 0; i < v->Lumas.size(); ++i) EXPECT_EQ(ReadNumber(v->Lumas[i], v->Width), int(i) + 1) << i;
  }
}

TEST_F(TranscodeTest, HooksThatStopOrFailLeavePicturesUnchanged) {
  TTask task;
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(1)), 0);
  ASSERT_GE(task.SetOutput("-c:v mpeg4 -q:v 2", Path("h.mkv")), 0);
  int outputCalls = 0, frameCalls = 0, inputCalls = 0;
  task.OnOutputVideoHook = [&](TObject*, TBitmap* ABitmap, int AFrameNumber, int64_t, bool&, bool& AStopHook) {
    ++outputCalls;
    DrawNumber(ABitmap, 255);
    AStopHook = AFrameNumber == 10;  // the tenth picture is the last one seen (and still drawn)
  };
  task.OnInputVideoHook = [&](TObject*, TBitmap* ABitmap, int, int64_t, bool&, bool&) {
    ++inputCalls;
    DrawNumber(ABitmap, 255);
    throw Exception("drawing failed");  // logged; the picture goes on as decoded
  };
  task.OnOutputFrameHook = [&](TObject*, TAVPicture* APicture, AVPixelFormat, int, int AWidth, int, int64_t) {
    ++frameCalls;
    EXPECT_TRUE(APicture->data[0] && AWidth == 320);
  };
  task.RunHere();
  ASSERT_TRUE(task.Finished()) << task.FatalMessage();
  EXPECT_EQ(outputCalls, 10);
  EXPECT_EQ(inputCalls, 25);
  EXPECT_EQ(frameCalls, 25);
  EXPECT_NE(Errors().find("Error occurs VideoHook event: drawing failed"), String::npos);
  const TFileReport r = InspectFile(Path("h.mkv"), true, BlockSize);
  const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_TRUE(v && v->Lumas.size() == 25u);
  EXPECT_EQ(ReadNumber(v->Lumas[9], v->Width), 255);
  EXPECT_NE(ReadNumber(v->Lumas[10], v->Width), 255);
}

TEST_F(TranscodeTest, VideoHookBitsPixelOption) {
  TTask task;
  EXPECT_EQ(task.OptVideoHookBitsPixel(nullptr, "VideoHookBitsPixel", "abc"), AVERROR(EINVAL));
  EXPECT_NE(Errors(), "");
  ASSERT_EQ(task.OptVideoHookBitsPixel(nullptr, "VideoHookBitsPixel", "24"), 0);
  ASSERT_GE(task.AddInput("-f lavfi", VideoSource(0.2)), 0);
  ASSERT_GE(task.SetOutput("-c:v mpeg4", Path("b.mkv")), 0);
  std::vector<TPixelFormat> formats;
  auto record = [&](TObject*, TBitmap* ABitmap, int, int64_t, bool& AUpdate, bool&) {
    formats.push_back(ABitmap->PixelFormat());
    AUpdate = false;
  };
  task.OnInputVideoHook = record;
  task.OnOutputVideoHook = record;
  task.RunHere();
  ASSERT_EQ(formats.size(), 10u);
  for (TPixelFormat f : formats) EXPECT_EQ(f, pf24bit);
}
