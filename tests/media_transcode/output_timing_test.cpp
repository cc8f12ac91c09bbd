// Frame-rate conversion of the video output (duplicated and dropped pictures
// with their messages) and the limits that end an output early.

#include <mutex>

#include "tests/media_transcode/TranscodeTestSupport.h"

namespace {

struct TLogLine {
  TLogLevel Level;
  String Text;
};

// Every engine log line of the task at Level or above, while it lives.
class TLogCapture {
 public:
  explicit TLogCapture(TLogLevel Level) {
    GlobalLogger()->SetLogLevel(Level);
    GlobalLogger()->SetOnLog([this](TObject*, TThreadID, TLogLevel L, const String& Msg) {
      std::lock_guard<std::mutex> lock(FLock);
      FLines.push_back({L, Msg});
    });
  }
  ~TLogCapture() {
    GlobalLogger()->SetOnLog(nullptr);
    GlobalLogger()->SetLogLevel(llInfo);
  }
  std::vector<TLogLine> Lines() {
    std::lock_guard<std::mutex> lock(FLock);
    return FLines;
  }

 private:
  std::mutex FLock;
  std::vector<TLogLine> FLines;
};

bool Contains(const String& Text, const char* Part) { return Text.find(Part) != String::npos; }

}  // namespace

// Constant frame rate from a source whose picture times jump: ten pictures a
// second, and an output start of 0.07 s puts each picture 0.3 of a frame
// after its slot. Picture 5 comes 3.3 frames late, picture 6 at the same time
// (0.7 of a frame early), pictures 7 and 8 more than two frames early, then
// the times run on. Expected, picture by picture:
// - 5: 4 frames owed, 3 of them copies of picture 4: "*** 3 dup!";
// - 6: clipped to its slot, with the warning (two decimals, as %f prints);
// - 7 and 8: no frame; each drop is counted when the next picture shows that
//   nothing took its place, while frame 9 is the next to write;
// - the rest: one frame each; 20 frames in all.
TEST_F(TranscodeTest, ConstantRateDuplicatesAndDropsWithTheirMessages) {
  TTask task;
  ASSERT_GE(task.AddInput("-f lavfi", "testsrc=size=96x64:rate=10:duration=2,"
                                      "setpts='if(lt(N,5),N,if(lt(N,7),8,if(lt(N,9),7,N+1)))'"),
            0)
      << task.LastErrMsg();
  ASSERT_GE(task.SetOutput("-c:v mpeg4 -vsync cfr -ss 0.07", Path("sync.mkv")), 0) << task.LastErrMsg();
  TLogCapture log(llVerbose);
  task.RunHere();
  EXPECT_TRUE(task.Finished()) << task.FatalMessage();
  EXPECT_EQ(task.Fnb_frames_dup, 3);
  EXPECT_EQ(task.Fnb_frames_drop, 2);
  std::vector<TLogLine> lines;
  String status;
  for (const TLogLine& l : log.Lines()) {
    if (Contains(l.Text, "dup!") || Contains(l.Text, "dropping frame") || Contains(l.Text, "Past duration") ||
        Contains(l.Text, "duplication too large"))
      lines.push_back(l);
    if (l.Text.rfind("frame=", 0) == 0) status = l.Text;
  }
  const TLogLine expected[] = {{llVerbose, "*** 3 dup!"},
                               {llWarning, "Past duration 0.70 too large"},
                               {llVerbose, "*** dropping frame 9 from stream 0 at ts 6"},
                               {llVerbose, "*** dropping frame 9 from stream 0 at ts 6"}};
  ASSERT_EQ(lines.size(), std::size(expected));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].Text, expected[i].Text);
    EXPECT_EQ(lines[i].Level, expected[i].Level) << lines[i].Text;
  }
  EXPECT_TRUE(Contains(status, " dup=3 drop=2 ")) << status;
  const TFileReport r = InspectFile(Path("sync.mkv"));
  ASSERT_TRUE(r.Find(AVMEDIA_TYPE_VIDEO));
  EXPECT_EQ(r.Find(AVMEDIA_TYPE_VIDEO)->Frames, 20);
}

// Limits that end an output early, with picture and tone as inputs. A frame
// count on the video ends the whole file; -shortest ends it with its shortest
// stream; -fs ends it once the written size reaches the limit (an AVI output:
// a Matroska muxer holds a whole cluster back from the size it shows).
TEST_F(TranscodeTest, FrameCountShortestAndSizeLimitEndTheOutput) {
  struct TCase {
    const char* Options;
    const char* File;
    double VideoSeconds;
    int Frames;  // -1: fewer than the input's
    double AudioEndMin, AudioEndMax;
    uintmax_t SizeMin, SizeMax;
  };
  const TCase cases[] = {
      {"-frames:v 7", "frames.mkv", 2, 7, 0.2, 0.35, 0, UINTMAX_MAX},
      {"-shortest", "shortest.mkv", 1, 25, 0.95, 1.1, 0, UINTMAX_MAX},
      {"-fs 30000", "size.avi", 2, -1, 0.04, 1.0, 30000, 40000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TTask task;
    ASSERT_GE(task.AddInput("-f lavfi", VideoSource(c.VideoSeconds)), 0) << task.LastErrMsg();
    ASSERT_GE(task.AddInput("-f lavfi", AudioSource(2)), 0) << task.LastErrMsg();
    ASSERT_GE(task.SetOutput(String("-c:v mpeg4 -q:v 1 -c:a mp2 ") + c.Options, Path(c.File)), 0)
        << task.LastErrMsg();
    task.RunHere();
    EXPECT_TRUE(task.Finished()) << task.FatalMessage();
    const TFileReport r = InspectFile(Path(c.File));
    const TStreamReport* v = r.Find(AVMEDIA_TYPE_VIDEO);
    const TStreamReport* a = r.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v && a);
    if (c.Frames >= 0) {
      EXPECT_EQ(v->Frames, c.Frames);
    } else {
      EXPECT_GT(v->Frames, 0);
      EXPECT_LT(v->Frames, int64_t(c.VideoSeconds * 25));
    }
    EXPECT_GE(a->EndTime, c.AudioEndMin);
    EXPECT_LE(a->EndTime, c.AudioEndMax);
    const uintmax_t size = std::filesystem::file_size(Path(c.File));
    EXPECT_GE(size, c.SizeMin);
    EXPECT_LE(size, c.SizeMax);
  }
}
