#pragma once
// What the encoder tests share: the libraries, a scratch folder, short lavfi
// tasks, and a main-thread wait that keeps serving the workers' events.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

#include "media/FFEncode.h"
#include "tests/media_opt/OptTestSupport.h"

// Whether a written file opens and has at least one stream.
inline bool OpensWithStreams(const String& Name) {
  AVFormatContext* ctx = nullptr;
  if (ff::avformat_open_input(&ctx, Name.c_str(), nullptr, nullptr) < 0) return false;
  const bool ok = ff::avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->nb_streams > 0;
  ff::avformat_close_input(&ctx);
  return ok;
}

// A short clip of the lavfi device; its duration in microseconds.
constexpr const char* ShortClip = "testsrc=size=96x64:rate=25:duration=0.4";
constexpr int64_t ShortClipDuration = 400000;
constexpr const char* ShortOutputOptions = "-c:v mpeg4 -threads 1";

class EncodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadSystemLibraries(); }
  void SetUp() override {
    FFolder = std::filesystem::temp_directory_path() /
              ("tarnwick_encode_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(FFolder);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(FFolder, ec);
  }
  String Path(const String& Name) const { return (FFolder / Name).string(); }

  // A lavfi task writing Output; its index (asserted to succeed).
  static int AddClipTask(TCustomEncoder& Encoder, const String& Output, const char* Clip = ShortClip,
                         const char* OutputOptions = ShortOutputOptions) {
    const int index = Encoder.AddTask(Clip, "-f lavfi");
    EXPECT_GE(index, 0) << Encoder.LastErrMsg();
    EXPECT_GE(Encoder.SetOutput(index, Output, OutputOptions), 0) << Encoder.LastErrMsg();
    return index;
  }

  // Writes Clip to the file Name through an encoder of its own; Name.
  String MakeFixture(const String& Name, const char* Clip = ShortClip) {
    TRAZeredov encoder(nullptr);
    AddClipTask(encoder, Path(Name), Clip);
    encoder.Start(0);
    return Path(Name);
  }

  // Serves the main thread's pending calls until Done or the time-out; false on time-out.
  static bool WaitServing(const std::function<bool()>& Done, int TimeoutMs = 60000,
                          const std::function<void()>& EachStep = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      CheckSynchronize(5);
      if (EachStep) EachStep();
    }
    return true;
  }

  std::filesystem::path FFolder;
};

// Collects every terminate notice, in order, on whichever thread they come;
// read Notices once QueueEnded said so.
struct TNoticeLog {
  std::vector<TTerminateInfo> Notices;
  void Attach(TCustomEncoder& Encoder) {
    Encoder.OnTerminate = [this](TObject*, const TTerminateInfo& Info) {
      std::lock_guard<std::mutex> lock(FLock);
      Notices.push_back(Info);
    };
  }
  bool QueueEnded() {
    std::lock_guard<std::mutex> lock(FLock);
    return !Notices.empty() && Notices.back().TaskIndex == -1;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(FLock);
    return Notices.size();
  }

 private:
  std::mutex FLock;
};
