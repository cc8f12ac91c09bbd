// The logger: engine lines, library lines through the C callback, folding,
// per-thread assembly, the log file and main-thread delivery.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <semaphore>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "media/FFApi.h"
#include "media/FFLog.h"
#include "platform/os/Files.h"
#include "platform/win/Backend.h"

namespace fs = std::filesystem;

namespace {

// Calls the library callback the way av_log does.
void LibraryLog(void* context, int level, const char* fmt, ...) {
  va_list vl;
  va_start(vl, fmt);
  AVLogCallback(context, level, fmt, vl);
  va_end(vl);
}

// Ends a pending repeat run and forgets the previous line.
void FlushRepeats() { LibraryLog(nullptr, AV_LOG_INFO, "%s", static_cast<const char*>(nullptr)); }

String Hex8(TThreadID id) {
  char text[16];
  std::snprintf(text, sizeof text, "%.8x", unsigned(id));
  return text;
}

struct Line {
  TObject* sender;
  TThreadID thread;
  TLogLevel level;
  String msg;
};

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    logger_ = std::make_unique<TFFLogger>(nullptr);
    logger_->SetTriggerEventInMainThread(false);
    logger_->SetOnLog([this](TObject* sender, TThreadID thread, TLogLevel level, const String& msg) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back({sender, thread, level, msg});
    });
    FlushRepeats();
    Take();
  }
  void TearDown() override {
    FlushRepeats();
    logger_.reset();
  }
  std::vector<Line> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(lines_, {});
  }
  std::vector<String> TakeTexts() {
    std::vector<String> texts;
    for (const Line& line : Take()) texts.push_back(line.msg);
    return texts;
  }

  std::unique_ptr<TFFLogger> logger_;
  std::mutex mutex_;
  std::vector<Line> lines_;
};

TEST(LogLevels, MapBothWays) {
  const int avLevels[] = {-8, 0, 8, 16, 24, 32, 40, 48, 56};
  const char* names[] = {"Quiet", "Panic", "Fatal", "Error", "Warning", "Info", "Verbose", "Debug", "Trace"};
  for (int i = 0; i <= llTrace; ++i) {
    EXPECT_EQ(LogLevelToAVLevel(TLogLevel(i)), avLevels[i]);
    EXPECT_EQ(AVLevelToLogLevel(avLevels[i]), TLogLevel(i));
    EXPECT_STREQ(LogLevelName(TLogLevel(i)), names[i]);
  }
  const struct {
    int av;
    TLogLevel level;
  } between[] = {{-100, llQuiet}, {-1, llPanic}, {7, llPanic}, {20, llError}, {47, llVerbose}, {1000, llTrace}};
  for (const auto& c : between) EXPECT_EQ(AVLevelToLogLevel(c.av), c.level) << c.av;
}

TEST_F(LogTest, EngineLinesFollowTheLevel) {
  logger_->SetLogLevel(llInfo);
  logger_->Log(logger_.get(), llDebug, "dropped");
  logger_->Log(nullptr, llWarning, "kept %d of %s", {2, "three"});
  const std::vector<Line> lines = Take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].msg, "kept 2 of three");
  EXPECT_EQ(lines[0].level, llWarning);
  EXPECT_EQ(lines[0].thread, GetCurrentThreadId());
  EXPECT_EQ(logger_->LastLogInfo().LogMsg, "kept 2 of three");

  logger_->OptLogLevel("DEBUG");
  EXPECT_EQ(logger_->GetLogLevel(), llDebug);
  logger_->OptLogLevel("20");
  EXPECT_EQ(logger_->GetLogLevel(), llError);
  EXPECT_THROW(logger_->OptLogLevel("loud"), EConvertError);

  logger_->SetActive(false);
  logger_->Log(nullptr, llError, "inactive");
  EXPECT_TRUE(Take().empty());
}

TEST_F(LogTest, RepeatedLibraryLinesFold) {
  const struct {
    int flags;
    std::vector<const char*> in;
    std::vector<String> out;
  } cases[] = {
      {1, {"A\n", "A\n", "B\n"}, {"A", "B"}},
      {1, {"A\n", "A\n", "A\n", "B\n"}, {"A", "A", "B"}},
      {1, {"A\n", "A\n", "A\n", "A\n", "A\n", "B\n"}, {"A", "A (repeated 4 times)", "B"}},
      {1, {"A\n", "B\n", "A\n"}, {"A", "B", "A"}},
      {0, {"A\n", "A\n", "A\n"}, {"A", "A", "A"}},
  };
  for (const auto& c : cases) {
    logger_->SetLogFlags(c.flags);
    FlushRepeats();
    for (const char* text : c.in) LibraryLog(nullptr, AV_LOG_INFO, "%s", text);
    EXPECT_EQ(TakeTexts(), c.out) << "flags " << c.flags << ", " << c.in.size() << " lines";
  }
  // A run still open is summarised by the flush call.
  logger_->SetLogFlags(1);
  for (int i = 0; i < 3; ++i) LibraryLog(nullptr, AV_LOG_INFO, "C\n");
  EXPECT_EQ(TakeTexts(), std::vector<String>{"C"});
  FlushRepeats();
  EXPECT_EQ(TakeTexts(), std::vector<String>{"C"});
}

struct Named {
  const AVClass* avClass;
  void* parent;  // another Named, or null
};

const char* NameOf(void* object) { return static_cast<Named*>(object)->parent ? "child" : "parent"; }

TEST_F(LogTest, LibraryLinesArePrefixedAndAssembled) {
  AVClass parentClass{};
  parentClass.class_name = "parent";
  parentClass.item_name = NameOf;
  AVClass childClass = parentClass;
  childClass.parent_log_context_offset = offsetof(Named, parent);
  Named parent{&parentClass, nullptr};
  Named child{&childClass, &parent};

  LibraryLog(&child, AV_LOG_WARNING, "frame %d ", 7);
  LibraryLog(&child, AV_LOG_WARNING, "was %s\n", "late");
  const std::vector<Line> lines = Take();
  ASSERT_EQ(lines.size(), 1u);
  const std::regex expected(R"(\[parent @ 0x[0-9a-f]+\] \[child @ 0x[0-9a-f]+\] frame 7 was late)");
  EXPECT_TRUE(std::regex_match(lines[0].msg, expected)) << lines[0].msg;
  EXPECT_EQ(lines[0].level, llWarning);
  EXPECT_EQ(lines[0].sender, logger_.get());

  // Above the callback's level (info until a library sets another): dropped.
  LibraryLog(&child, AV_LOG_DEBUG, "hidden\n");
  // A long message arrives whole.
  const String big(10000, 'x');
  LibraryLog(nullptr, AV_LOG_ERROR, "%s|%s\n", big.c_str(), "end");
  EXPECT_EQ(TakeTexts(), std::vector<String>{big + "|end"});
}

TEST_F(LogTest, PiecesFromTwoThreadsStayApart) {
  std::binary_semaphore firstGo{1}, secondGo{0};
  std::atomic<TThreadID> firstId{0}, secondId{0};
  std::thread first([&] {
    firstId = GetCurrentThreadId();
    firstGo.acquire();
    LibraryLog(nullptr, AV_LOG_INFO, "one ");
    secondGo.release();
    firstGo.acquire();
    LibraryLog(nullptr, AV_LOG_INFO, "ends\nthree ");
    secondGo.release();
    firstGo.acquire();
    LibraryLog(nullptr, AV_LOG_INFO, "done\n");
  });
  std::thread second([&] {
    secondId = GetCurrentThreadId();
    secondGo.acquire();
    LibraryLog(nullptr, AV_LOG_INFO, "two ");
    firstGo.release();
    secondGo.acquire();
    LibraryLog(nullptr, AV_LOG_INFO, "ends\n");
    firstGo.release();
  });
  first.join();
  second.join();
  const std::vector<Line> lines = Take();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].msg, "one ends");
  EXPECT_EQ(lines[0].thread, firstId.load());
  EXPECT_EQ(lines[1].msg, "two ends");
  EXPECT_EQ(lines[1].thread, secondId.load());
  EXPECT_EQ(lines[2].msg, "three done");
  EXPECT_EQ(lines[2].thread, firstId.load());
}

TEST_F(LogTest, NoExceptionLeavesTheCallback) {
  logger_->SetOnLog([](TObject*, TThreadID, TLogLevel, const String&) { throw Exception("handler failed"); });
  EXPECT_NO_THROW(LibraryLog(nullptr, AV_LOG_ERROR, "boom\n"));
}

class LogFileTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    String pattern = GetTempDir() + "tarnwick-log-XXXXXX";
    dir_ = mkdtemp(pattern.data());
    file_ = (dir_ / "engine.log").string();
  }
  void TearDown() override {
    logger_->SetLogToFile(false);
    LogTest::TearDown();
    fs::remove_all(dir_);
  }
  String Contents() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path dir_;
  String file_;
};

TEST_F(LogFileTest, LinesAreAppendedInTheFileFormat) {
  std::ofstream(file_) << "earlier\r\n";
  logger_->SetOnLog(nullptr);
  logger_->SetLogFile(file_);
  logger_->SetLogToFile(true);
  logger_->Log(nullptr, llWarning, "disk almost full");
  LibraryLog(nullptr, AV_LOG_ERROR, "from %s\n", "library");

  const String contents = Contents();
  const String id = Hex8(GetCurrentThreadId());
  const std::regex expected("earlier\r\n"
                            "\\d\\d:\\d\\d:\\d\\d \\d{3} \\[" + id + "\\] Warning: disk almost full\r\n"
                            "\\d\\d:\\d\\d:\\d\\d \\d{3} \\[" + id + "\\] Error: from library\r\n");
  EXPECT_TRUE(std::regex_match(contents, expected)) << contents;

  logger_->ClearLogFile();  // open: emptied
  EXPECT_EQ(Contents(), "");
  logger_->Log(nullptr, llError, "after clearing");
  EXPECT_NE(Contents().find("Error: after clearing\r\n"), String::npos);
  logger_->SetLogToFile(false);
  logger_->ClearLogFile();  // closed: deleted
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(LogFileTest, AFileThatCannotBeOpenedIsReportedOnce) {
  const String bad = (dir_ / "missing-folder" / "engine.log").string();
  logger_->SetLogFile(bad);
  logger_->SetLogToFile(true);
  logger_->Log(nullptr, llInfo, "first");
  logger_->Log(nullptr, llInfo, "second");
  const std::vector<String> texts = TakeTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "first");
  EXPECT_EQ(texts[1].rfind("Cannot open log file \"" + bad + "\": ", 0), 0u) << texts[1];
  EXPECT_EQ(texts[2], "second");
  EXPECT_FALSE(logger_->GetLogToFile());
}

// A worker waits for the main thread to run the handler of its line while the
// main thread logs itself: neither may wait for the other's locks.
TEST_F(LogTest, MainThreadLogsWhileAWorkerWaitsForIt) {
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 1000 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!finished) {
      std::fprintf(stderr, "deadlock: the logger did not deliver within 10 s\n");
      _exit(1);
    }
  });

  logger_->SetTriggerEventInMainThread(true);
  std::atomic<bool> handlerOnMainThread{true};
  logger_->SetOnLog([&](TObject*, TThreadID, TLogLevel, const String& msg) {
    if (!IsMainThread()) handlerOnMainThread = false;
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({nullptr, 0, llInfo, msg});
  });
  std::atomic<bool> workerStarted{false}, workerDone{false};
  std::thread worker([&] {
    workerStarted = true;
    LibraryLog(nullptr, AV_LOG_ERROR, "worker line\n");
    logger_->Log(nullptr, llError, "worker engine line");
    workerDone = true;
  });
  while (!workerStarted) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it reach the hand-over
  logger_->Log(nullptr, llError, "main line");
  LibraryLog(nullptr, AV_LOG_ERROR, "main library line\n");
  while (!workerDone) CheckSynchronize(10);
  worker.join();
  finished = true;
  watchdog.join();

  std::vector<String> texts = TakeTexts();
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<String>{"main library line", "main line", "worker engine line", "worker line"}));
  EXPECT_TRUE(handlerOnMainThread);
}

TEST(LoggerInstances, OneLoggerPerProcess) {
  InitMainThread();
  TFFLogger* automatic = GlobalLogger();
  EXPECT_TRUE(automatic->AutoCreated());
  EXPECT_EQ(GlobalLogger(), automatic);
  {
    TFFLogger owned(nullptr);  // replaces the automatic one
    EXPECT_EQ(GlobalLogger(), &owned);
    try {
      TFFLogger second(nullptr);
      FAIL() << "a second logger was created";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Allow creating only one instance of TFFLogger.");
    }
    EXPECT_EQ(owned.GetVersion(), "6.4");
    EXPECT_EQ(owned.GetReadTimeout(), 30000);
    EXPECT_EQ(owned.GetWriteTimeout(), 30000);
    EXPECT_EQ(owned.GetLogFlags(), 1);
    EXPECT_EQ(owned.GetLogLevel(), llInfo);
  }
  EXPECT_TRUE(GlobalLogger()->AutoCreated());
  EXPECT_EQ(SeekFlagsToAV(TSeekFlags{sfBackward, sfAny}), 5);
}

}  // namespace

// The about box is modal, titled after the component's class without its prefix letter.
TEST(BaseComponentTest, ShowAboutIsAModalBoxNamingTheClassAndVersion) {
  THeadlessBackend* backend = HeadlessBackend();
  ASSERT_NE(backend, nullptr);
  backend->ClearMessageBoxes();
  GlobalLogger()->ShowAbout();
  ASSERT_EQ(backend->MessageBoxes().size(), 1u);
  const TMessageBoxRecord& box = backend->MessageBoxes()[0];
  EXPECT_EQ(box.Caption, "About FFLogger");
  EXPECT_EQ(box.Text.substr(0, box.Text.find('\r')), "FFLogger - Version " + GlobalLogger()->GetVersion());
  EXPECT_EQ(box.Type & 0xF, UINT(MB_OK));
  backend->ClearMessageBoxes();
}
