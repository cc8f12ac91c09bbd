// The library loader against the real FFmpeg 5.1 libraries.
//
// CTest runs each case in a process of its own, so every case starts with no
// FFmpeg library mapped; cases that look at the process's objects rely on that.

#include <link.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "media/FFApi.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/MyUtils.h"
#include "media/UnicodeProtocol.h"
#include "platform/os/Files.h"

namespace fs = std::filesystem;

namespace {

const TLibrary kFFmpegLibraries[] = {avUtil, swResample, swScale, avCodec, avFormat, avFilter, avDevice};

// A temporary "LibAV" folder, empty or holding copies of the system's libraries.
class LibraryFolder {
 public:
  LibraryFolder() {
    String pattern = GetTempDir() + "tarnwick-media-XXXXXX";
    root_ = mkdtemp(pattern.data());
    path_ = root_ / "LibAV";
    fs::create_directory(path_);
  }
  ~LibraryFolder() { fs::remove_all(root_); }

  String Path() const { return path_.string(); }
  String File(const String& name) const { return (path_ / name).string(); }

  void CopySystemLibrary(const String& systemName, const String& asName) {
    fs::copy_file(fs::canonical(fs::path(SYSTEM_LIBRARY_DIR) / systemName), path_ / asName);
  }
  void CopyFFmpeg() {
    for (TLibrary lib : kFFmpegLibraries) {
      const String name = FFLoader().GetLibraryName(lib);
      CopySystemLibrary(name, name);
    }
  }
  void WriteText(const String& name, const String& text) { std::ofstream(path_ / name) << text; }

 private:
  fs::path root_;
  fs::path path_;
};

bool IsFFmpegObject(const String& object, TLibrary& lib) {
  const String base = fs::path(object).filename().string();
  for (TLibrary candidate : kFFmpegLibraries) {
    if (base.rfind("lib" + LibraryBaseName(candidate) + ".so", 0) == 0) {
      lib = candidate;
      return true;
    }
  }
  return false;
}

std::vector<String> LoadedObjects() {
  std::vector<String> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        if (info->dlpi_name && info->dlpi_name[0]) static_cast<std::vector<String>*>(data)->push_back(info->dlpi_name);
        return 0;
      },
      &names);
  return names;
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    FFLoader().SetLibraryPath("");
    for (int i = 0; i < LibraryCount; ++i) FFLoader().SetLibraryName(TLibrary(i), "");
  }
  void TearDown() override {
    FFLoader().Unload(AllLibraries);
    for (int i = 0; i < LibraryCount; ++i) FFLoader().SetLibraryName(TLibrary(i), "");
    FFLoader().SetLibraryPath("");
  }
};

TEST_F(LoaderTest, DefaultNamesAndCheckLibAV) {
  EXPECT_EQ(FFLoader().GetLibraryName(avCodec), "libavcodec.so.59");
  EXPECT_EQ(FFLoader().GetLibraryName(avDevice), "libavdevice.so.59");
  EXPECT_EQ(FFLoader().GetLibraryName(avFilter), "libavfilter.so.8");
  EXPECT_EQ(FFLoader().GetLibraryName(avFormat), "libavformat.so.59");
  EXPECT_EQ(FFLoader().GetLibraryName(avUtil), "libavutil.so.57");
  EXPECT_EQ(FFLoader().GetLibraryName(swResample), "libswresample.so.4");
  EXPECT_EQ(FFLoader().GetLibraryName(swScale), "libswscale.so.6");
  EXPECT_EQ(FFLoader().GetLibraryName(libMFX), "libmfx.so.1");
  EXPECT_EQ(DecoderLibraries, (TLibraries{avCodec, avFilter, avFormat, avUtil, swResample, swScale, myUtil}));
  try {
    FFLoader().CheckLibAV(TLibraries{avFormat, avUtil});
    FAIL() << "CheckLibAV accepted unloaded libraries";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Library avformat not loaded.");
  }
}

TEST_F(LoaderTest, SystemLoadBindsEveryEntryPointAndRunsTheLibraries) {
  ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg();
  ASSERT_TRUE(FFLoader().Load(libMFX)) << FFLoader().LastErrMsg();
  EXPECT_NO_THROW(FFLoader().CheckLibAV(EncoderLibraries));
  for (TLibrary lib : {avUtil, swResample, swScale, avCodec, avFormat, avFilter, avDevice, myUtil, libMFX})
    EXPECT_EQ(FFLoader().BoundEntryPoints(lib), FFLoader().EntryPointCount(lib)) << LibraryBaseName(lib);
  EXPECT_EQ(int(ff::avcodec_version() >> 16), LIBAVCODEC_VERSION_MAJOR);
  EXPECT_EQ(ff::strchr("a:b", ':'), std::strchr("a:b", ':'));

  // avdevice's registration ran: the lavfi device opens a generated source.
  AVFormatContext* input = nullptr;
  ASSERT_EQ(ff::avformat_open_input(&input, "testsrc=rate=25:size=64x48:duration=1",
                                    ff::av_find_input_format("lavfi"), nullptr),
            0);
  ASSERT_GE(ff::avformat_find_stream_info(input, nullptr), 0);
  const AVRational rate = GuessFrameRate(input, input->streams[0]);
  EXPECT_EQ(rate.num, 25);
  EXPECT_EQ(rate.den, 1);
  ff::avformat_close_input(&input);

  // The container's rates alone: a tick rate far above the average frame rate
  // gives way to the average.
  const struct {
    AVRational r, avg, expected;
  } rates[] = {{{1000, 1}, {25, 1}, {25, 1}},
               {{30000, 1001}, {30000, 1001}, {30000, 1001}},
               {{240, 1}, {80, 1}, {240, 1}},
               {{90000, 1}, {0, 0}, {90000, 1}}};
  AVFormatContext* context = ff::avformat_alloc_context();
  AVStream* stream = ff::avformat_new_stream(context, nullptr);
  for (const auto& c : rates) {
    stream->r_frame_rate = c.r;
    stream->avg_frame_rate = c.avg;
    const AVRational guessed = GuessFrameRate(context, stream);
    EXPECT_EQ(av_cmp_q(guessed, c.expected), 0) << c.r.num << "/" << c.r.den << " avg " << c.avg.num;
  }
  ff::avformat_free_context(context);

  // A buffer sink restricted through OptSetIntList reports its input's rate.
  AVFilterGraph* graph = ff::avfilter_graph_alloc();
  AVFilterContext* source = nullptr;
  ASSERT_GE(ff::avfilter_graph_create_filter(&source, ff::avfilter_get_by_name("testsrc"), "src",
                                             "rate=30:size=32x32", nullptr, graph),
            0);
  AVFilterContext* sink = ff::avfilter_graph_alloc_filter(graph, ff::avfilter_get_by_name("buffersink"), "out");
  const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE};
  EXPECT_GE(OptSetIntList(sink, "pix_fmts", formats, AV_OPT_SEARCH_CHILDREN, uint64_t(AV_PIX_FMT_NONE),
                          sizeof formats[0]),
            0);
  ASSERT_GE(ff::avfilter_init_str(sink, nullptr), 0);
  ASSERT_GE(ff::avfilter_link(source, 0, sink, 0), 0);
  ASSERT_GE(ff::avfilter_graph_config(graph, nullptr), 0);
  EXPECT_EQ(BufferSinkFrameRate(sink).num, 30);
  EXPECT_EQ(ff::av_buffersink_get_format(sink), AV_PIX_FMT_YUV420P);
  ff::avfilter_graph_free(&graph);

  FFLoader().Unload(EncoderLibraries);
  for (TLibrary lib : kFFmpegLibraries) {
    EXPECT_FALSE(FFLoader().Loaded(lib));
    EXPECT_EQ(FFLoader().BoundEntryPoints(lib), 0) << LibraryBaseName(lib);
  }
  EXPECT_EQ(ff::av_malloc, nullptr);
}

TEST_F(LoaderTest, FolderLoadTakesEveryLibraryFromTheFolder) {
  TLibrary lib;
  for (const String& object : LoadedObjects())
    if (IsFFmpegObject(object, lib)) GTEST_SKIP() << "needs a process without FFmpeg (ctest runs each case alone)";
  LibraryFolder folder;
  folder.CopyFFmpeg();
  FFLoader().SetLibraryPath(folder.Path());
  ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg();

  int avutilCopies = 0;
  for (const String& object : LoadedObjects()) {
    if (!IsFFmpegObject(object, lib)) continue;
    EXPECT_EQ(fs::path(object).parent_path(), fs::path(folder.Path())) << object;
    if (lib == avUtil) ++avutilCopies;
  }
  EXPECT_EQ(avutilCopies, 1);

  // The log callback went to the one avutil in the process.
  GlobalLogger()->SetTriggerEventInMainThread(false);
  std::vector<String> lines;
  GlobalLogger()->SetOnLog([&](TObject*, TThreadID, TLogLevel, const String& msg) { lines.push_back(msg); });
  ff::av_log(nullptr, AV_LOG_ERROR, "from the folder %d\n", 59);
  GlobalLogger()->SetOnLog(nullptr);
  EXPECT_EQ(lines, std::vector<String>{"from the folder 59"});
}

TEST_F(LoaderTest, FailedLoadReportsAndLeavesNothingBound) {
  LibraryFolder folder;
  folder.WriteText("libavfilter.so.8", "not a library\n");
  folder.CopySystemLibrary("libswscale.so.6", "libswscale-as-avfilter.so.8");
  struct Case {
    const char* what;
    String name;  // library name set for avfilter; empty: default name in LibraryPath
    String expectedPrefix;
  };
  const Case cases[] = {
      {"missing file", folder.File("libnothere.so.8"), "Load library libnothere.so.8 error(#2): "},
      {"not a library", "", "Load library " + folder.File("libavfilter.so.8") + " error(#8): "},
      {"required export missing", folder.File("libswscale-as-avfilter.so.8"),
       "Load function avfilter_version@" + folder.File("libswscale-as-avfilter.so.8") + " error: "},
      {"other major version", FAKE_AVFILTER_PATH,
       String("Load library ") + FAKE_AVFILTER_PATH + " error: major version 7, expected 8"},
  };
  ASSERT_TRUE(FFLoader().Load(DecoderLibraries - avFilter)) << FFLoader().LastErrMsg();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FFLoader().SetLibraryPath(folder.Path());
    FFLoader().SetLibraryName(avFilter, c.name);
    EXPECT_FALSE(FFLoader().Load(avFilter));
    EXPECT_EQ(FFLoader().LastErrMsg().rfind(c.expectedPrefix, 0), 0u) << FFLoader().LastErrMsg();
    EXPECT_FALSE(FFLoader().Loaded(avFilter));
    EXPECT_EQ(FFLoader().Status(avFilter).Handle, nullptr);
    EXPECT_EQ(FFLoader().BoundEntryPoints(avFilter), 0);
  }
}

TEST_F(LoaderTest, FailedSetLoadKeepsWhatOthersLoaded) {
  // The decoder's set is loaded except avfilter, which the encoder's load
  // brings in before avdevice fails.
  ASSERT_TRUE(FFLoader().Load(DecoderLibraries)) << FFLoader().LastErrMsg();
  FFLoader().Unload(avFilter);
  LibraryFolder folder;
  folder.WriteText("libavdevice.so.59", "not a library\n");
  FFLoader().SetLibraryName(avDevice, folder.File("libavdevice.so.59"));

  EXPECT_FALSE(FFLoader().Load(EncoderLibraries));
  EXPECT_EQ(FFLoader().LastErrMsg().rfind("Load library " + folder.File("libavdevice.so.59") + " error(#8): ", 0),
            0u)
      << FFLoader().LastErrMsg();
  EXPECT_TRUE(FFLoader().Loaded(DecoderLibraries - avFilter));
  EXPECT_FALSE(FFLoader().Loaded(avFilter));
  EXPECT_EQ(FFLoader().BoundEntryPoints(avFilter), 0);
  EXPECT_NE(ff::avcodec_find_decoder(AV_CODEC_ID_PNG), nullptr);
}

TEST(LibraryFileNames, ImageNamesAndUnicodeNames) {
  struct Case {
    const char* name;
    int codec;
  } cases[] = {
      {"a.jpg", AV_CODEC_ID_MJPEG},   {"dir.d/frame%03d.PNG", AV_CODEC_ID_PNG}, {"x.tif", AV_CODEC_ID_TIFF},
      {"x.yuv10", AV_CODEC_ID_V210X}, {"x.xwd", AV_CODEC_ID_XWD},             {"clip.mp4", 0},
      {"noextension", 0},             {"photo.jpg.txt", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(IsImageFileName(c.name), c.codec) << c.name;

  const String name = "/home/anna/Bilder/Größe_%03d.png";
  EXPECT_EQ(ToLibraryFileName(name), name);
  EXPECT_EQ(ToLibraryFileName("/home/anna/vidéo.mp4"), "/home/anna/vidéo.mp4");
  const String encoded = MakeUnicodeUtf8Name(name);
  EXPECT_EQ(encoded, "unicode:utf8:" + name);
  EXPECT_TRUE(IsUnicodeUtf8Name(encoded));
  EXPECT_FALSE(IsUnicodeUtf8Name("unicode:utf8:"));
  EXPECT_EQ(FromLibraryFileName(encoded), name);
  EXPECT_EQ(FromLibraryFileName("http://host/a.png"), "http://host/a.png");
  EXPECT_FALSE(NeedsUnicodeName(name));
  EXPECT_FALSE(UnicodeProtocolRegistered());
}

TEST(MyUtils, ByteSizesCuttingAndComparing) {
  const TFormatSettings saved = FormatSettings();
  FormatSettings().DecimalSeparator = ',';
  const struct {
    int64_t size;
    const char* text;
  } sizes[] = {{0, "0 Byte"},         {1024, "1024 Byte"},       {1025, "1,00 KB"},
               {1048576, "1024,00 KB"}, {1048577, "1,00 MB"},  {int64_t(1) << 30, "1024,00 MB"},
               {(int64_t(5) << 30) + (int64_t(1) << 29), "5,50 GB"}};
  for (const auto& s : sizes) EXPECT_EQ(FormatByteSize(s.size), s.text) << s.size;
  FormatSettings() = saved;

  String text = "key=value=more", head;
  CutAtSeparator(text, "=", false, head);
  EXPECT_EQ(head, "key");
  EXPECT_EQ(text, "key=value=more");
  CutAtSeparator(text, "=", true, head);
  EXPECT_EQ(head, "key");
  EXPECT_EQ(text, "value=more");
  text = "plain";
  CutAtSeparator(text, "=", true, head);
  EXPECT_EQ(head, "plain");
  EXPECT_EQ(text, "");

  const String path = GetTempDir() + "tarnwick-media-size-" + std::to_string(getpid()) + ".bin";
  std::ofstream(path) << "12345";
  EXPECT_EQ(FileSizeByName(path), 5);
  fs::remove(path);
  EXPECT_EQ(FileSizeByName(path), -1);

  const unsigned char a[] = {1, 2, 200}, b[] = {1, 2, 100};
  EXPECT_EQ(CompareBytes(a, a, 3), 0);
  EXPECT_EQ(CompareBytes(a, b, 3), 1);
  EXPECT_EQ(CompareBytes(b, a, 3), -1);
}

}  // namespace
