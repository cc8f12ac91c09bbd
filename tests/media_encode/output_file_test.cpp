// What a task does to the file system around its output: names are reserved
// when the output is set, results replace their target only when the run
// ends well or is stopped, and nothing the task did not create is removed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/media_encode/EncodeTestSupport.h"

namespace {

String ReadAll(const String& Name) {
  std::ifstream in(Name, std::ios::binary);
  return String(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const String& Name, const String& Data) {
  std::ofstream out(Name, std::ios::binary);
  out << Data;
}

std::vector<String> FolderNames(const std::filesystem::path& Folder) {
  std::vector<String> names;
  for (const auto& e : std::filesystem::directory_iterator(Folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

constexpr const char* OldBytes = "the user's earlier conversion\n";
// mp4 refuses raw video when the header is written, after the file was opened.
constexpr const char* FailingOptions = "-c:v rawvideo";

}  // namespace

TEST_F(EncodeTest, OutputReplacesItsTargetOnlyWhenTheRunSucceeds) {
  struct TCase {
    const char* Name;
    bool Existing;
    bool Succeeds;
  };
  const TCase cases[] = {
      {"existing, run fails", true, false},
      {"existing, run succeeds", true, true},
      {"new, run fails", false, false},
      {"new, run succeeds", false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove_all(FFolder);
    std::filesystem::create_directories(FFolder);
    const String target = Path("out.mp4");
    if (c.Existing) WriteAll(target, OldBytes);
    TRAZeredov encoder(nullptr);
    TNoticeLog log;
    log.Attach(encoder);
    AddClipTask(encoder, target, ShortClip, c.Succeeds ? ShortOutputOptions : FailingOptions);
    // The name is taken from now on; an existing file is not touched yet.
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(ReadAll(target), c.Existing ? String(OldBytes) : String());
    encoder.Start(0);
    ASSERT_EQ(log.Notices.size(), 2u);
    EXPECT_EQ(log.Notices[0].Finished, c.Succeeds) << log.Notices[0].ExceptionMsg;
    EXPECT_EQ(log.Notices[0].Exception, !c.Succeeds);
    if (c.Succeeds) {
      EXPECT_TRUE(OpensWithStreams(target));
    } else if (c.Existing) {
      EXPECT_EQ(ReadAll(target), OldBytes);
    } else {
      EXPECT_FALSE(std::filesystem::exists(target));  // the reservation goes with the failure
    }
    // No temporary file is left behind either way.
    EXPECT_EQ(FolderNames(FFolder), c.Existing || c.Succeeds ? std::vector<String>{"out.mp4"}
                                                             : std::vector<String>{});
  }
}

TEST_F(EncodeTest, ReservationIsReleasedWithAnUnrunTaskAndExistingFilesStay) {
  WriteAll(Path("old.mkv"), OldBytes);
  {
    TRAZeredov encoder(nullptr);
    AddClipTask(encoder, Path("new.mkv"));
    AddClipTask(encoder, Path("old.mkv"));
    EXPECT_TRUE(std::filesystem::exists(Path("new.mkv")));
    encoder.RemoveTask(0);
    EXPECT_FALSE(std::filesystem::exists(Path("new.mkv")));
    // A reservation somebody wrote into is no longer ours to remove.
    AddClipTask(encoder, Path("taken.mkv"));
    WriteAll(Path("taken.mkv"), "written by another program");
  }
  EXPECT_EQ(ReadAll(Path("old.mkv")), OldBytes);
  EXPECT_EQ(ReadAll(Path("taken.mkv")), "written by another program");
}

TEST_F(EncodeTest, StoppedTaskStillReplacesItsTarget) {
  const String target = Path("stopped.mkv");
  WriteAll(target, OldBytes);
  TRAZeredov encoder(nullptr);
  encoder.SetProgressInterval(10);
  TNoticeLog log;
  log.Attach(encoder);
  encoder.OnProgress = [&](TObject*, PProgressInfo Info) {
    if (Info->CurrentSize > 0) encoder.Stop();
  };
  AddClipTask(encoder, target, "testsrc=size=96x64:rate=25:duration=60");
  encoder.Start(1);
  ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
  ASSERT_EQ(log.Notices.size(), 2u);
  EXPECT_FALSE(log.Notices[0].Exception) << log.Notices[0].ExceptionMsg;
  EXPECT_NE(ReadAll(target), OldBytes);
  EXPECT_TRUE(OpensWithStreams(target));
  EXPECT_EQ(FolderNames(FFolder), std::vector<String>{"stopped.mkv"});
}

// An output of many megabytes is synced while it is written, by a thread of
// its target's own: the file that replaces the target is whole, whether the
// run ends or is stopped midway, and the thread ends with the task.
TEST_F(EncodeTest, LargeOutputSyncedWhileWrittenReplacesItsTargetWhole) {
  constexpr int64_t FrameBytes = 320 * 240 * 3;
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped midway" : "run to its end");
    std::filesystem::remove_all(FFolder);
    std::filesystem::create_directories(FFolder);
    const String target = Path("big.nut");
    WriteAll(target, OldBytes);
    TRAZeredov encoder(nullptr);
    encoder.SetProgressInterval(10);
    TNoticeLog log;
    log.Attach(encoder);
    std::atomic<int64_t> written{0};
    encoder.OnProgress = [&](TObject*, PProgressInfo Info) {
      written.store(Info->CurrentSize);
      if (stopped && Info->CurrentSize > 6 * FrameBytes * 4) encoder.Stop();
    };
    AddClipTask(encoder, target, stopped ? "testsrc=size=320x240:rate=25:duration=60" : "testsrc=size=320x240:rate=25:duration=2",
                "-c:v rawvideo -pix_fmt rgb24");
    encoder.Start(1);
    ASSERT_TRUE(WaitServing([&] { return log.QueueEnded(); }));
    ASSERT_EQ(log.Notices.size(), 2u);
    EXPECT_FALSE(log.Notices[0].Exception) << log.Notices[0].ExceptionMsg;
    EXPECT_EQ(log.Notices[0].Finished, !stopped);
    const auto size = int64_t(std::filesystem::file_size(target));
    if (stopped) {
      EXPECT_GT(size, 6 * FrameBytes * 4);
      EXPECT_LT(size, 1500 * FrameBytes);
    } else {
      EXPECT_GT(size, 50 * FrameBytes);
    }
    EXPECT_TRUE(OpensWithStreams(target));
    EXPECT_EQ(FolderNames(FFolder), std::vector<String>{"big.nut"});
  }
}

TEST_F(EncodeTest, OutputThatIsAnInputIsRefused) {
  const String input = MakeFixture("in.mkv");
  const String bytes = ReadAll(input);
  ASSERT_FALSE(bytes.empty());
  std::filesystem::create_symlink(input, Path("link.mkv"));
  std::filesystem::create_hard_link(input, Path("hard.mkv"));
  TRAZeredov encoder(nullptr);
  ASSERT_EQ(encoder.AddTask(input, ""), 0) << encoder.LastErrMsg();
  for (const String& output : {input, Path("link.mkv"), Path("hard.mkv"), Path("./in.mkv")}) {
    SCOPED_TRACE(output);
    EXPECT_LT(encoder.SetOutput(0, output, ShortOutputOptions), 0);
    EXPECT_EQ(encoder.LastErrMsg(), "The output file \"" + output + "\" is one of the task's inputs.");
  }
  EXPECT_EQ(ReadAll(input), bytes);
  // An input added after the output is caught when the task starts.
  TNoticeLog log;
  log.Attach(encoder);
  ASSERT_EQ(encoder.SetOutput(0, Path("out.mkv"), "-map 0:v -c:v mpeg4"), 0) << encoder.LastErrMsg();
  WriteAll(Path("out.mkv"), bytes);
  ASSERT_EQ(encoder.AddInput(0, Path("out.mkv"), ""), 1) << encoder.LastErrMsg();
  encoder.Start(0);
  ASSERT_EQ(log.Notices.size(), 2u);
  EXPECT_TRUE(log.Notices[0].Exception);
  EXPECT_NE(log.Notices[0].ExceptionMsg.find("is one of the task's inputs"), String::npos)
      << log.Notices[0].ExceptionMsg;
  EXPECT_EQ(ReadAll(Path("out.mkv")), bytes);
  EXPECT_EQ(ReadAll(input), bytes);
}

TEST_F(EncodeTest, NoOverwriteAndSharedOutputsAreRefused) {
  const String existing = Path("existing.mkv");
  WriteAll(existing, OldBytes);
  TRAZeredov encoder(nullptr);
  ASSERT_EQ(encoder.AddTask(ShortClip, "-f lavfi"), 0);
  EXPECT_LT(encoder.SetOutput(0, existing, "-n -c:v mpeg4"), 0);
  EXPECT_EQ(encoder.LastErrMsg(), "File \"" + existing + "\" already exists and -n forbids overwriting it.");
  EXPECT_EQ(ReadAll(existing), OldBytes);
  // A new name is fine with -n: the task's own reservation is no obstacle.
  ASSERT_EQ(encoder.SetOutput(0, Path("fresh.mkv"), "-n -c:v mpeg4"), 0) << encoder.LastErrMsg();

  // A second pending task cannot take the first one's output.
  ASSERT_EQ(encoder.AddTask(ShortClip, "-f lavfi"), 1);
  EXPECT_LT(encoder.SetOutput(1, Path("fresh.mkv"), ShortOutputOptions), 0);
  EXPECT_EQ(encoder.LastErrMsg(), "The output file \"" + Path("fresh.mkv") + "\" is already the output of task #0.");
  ASSERT_EQ(encoder.SetOutput(1, Path("other.mkv"), ShortOutputOptions), 0) << encoder.LastErrMsg();
  // Nor can one task write one file twice: its second output would replace the first.
  EXPECT_LT(encoder.SetOutput(1, Path("other.mkv"), ShortOutputOptions), 0);
  EXPECT_EQ(encoder.LastErrMsg(), "The output file \"" + Path("other.mkv") + "\" is already the output of task #1.");
  // An output that failed to open holds no name.
  EXPECT_LT(encoder.SetOutput(1, Path("third.mkv"), "-c:v nosuchcodec"), 0);
  ASSERT_EQ(encoder.SetOutput(1, Path("third.mkv"), ShortOutputOptions), 1) << encoder.LastErrMsg();

  TNoticeLog log;
  log.Attach(encoder);
  encoder.Start(0);
  ASSERT_EQ(log.Notices.size(), 3u);
  EXPECT_TRUE(log.Notices[0].Finished) << log.Notices[0].ExceptionMsg;
  EXPECT_TRUE(OpensWithStreams(Path("fresh.mkv")));
  EXPECT_TRUE(OpensWithStreams(Path("other.mkv")));
  EXPECT_TRUE(OpensWithStreams(Path("third.mkv")));
}

TEST_F(EncodeTest, DevicesAndFifosAreWrittenInPlaceAndKept) {
  const String fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  size_t received = 0;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) received += size_t(n);
    if (fd >= 0) ::close(fd);
  });
  TRAZeredov encoder(nullptr);
  TNoticeLog log;
  log.Attach(encoder);
  AddClipTask(encoder, fifo, ShortClip, "-f matroska -c:v mpeg4");
  AddClipTask(encoder, "/dev/null", ShortClip, "-f matroska -c:v mpeg4");
  AddClipTask(encoder, "/dev/null", ShortClip, "-f matroska -c:v mpeg4");  // devices may be shared
  encoder.Start(0);
  if (received == 0) {  // unblock the reader should the task never have opened the FIFO
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
  }
  reader.join();
  ASSERT_EQ(log.Notices.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(log.Notices[size_t(i)].Finished) << log.Notices[size_t(i)].ExceptionMsg;
  EXPECT_GT(received, 0u);
  struct stat st;
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}
