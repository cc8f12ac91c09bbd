// Wall time of eight conversions (10-second 640x360 lavfi clips to mp4 with
// libx264 "veryfast", one codec thread each) run through the encoder with
// Start(1), Start(2), Start(4) and Start(8), and the speed-up over Start(1).

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "media/FFEncode.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"

namespace {

constexpr int kTasks = 8;
constexpr const char* kClip = "testsrc=size=640x360:rate=25:duration=10";
constexpr const char* kOutput = "-c:v libx264 -preset veryfast -threads 1 -an";

// Seconds for the whole queue, or a negative value on failure.
double RunQueue(int Workers, const std::filesystem::path& Folder) {
  TRAZeredov encoder(nullptr);
  bool ended = false, failed = false;
  encoder.OnTerminate = [&](TObject*, const TTerminateInfo& Info) {
    if (Info.TaskIndex == -1) ended = true;
    else if (!Info.Finished) {
      std::fprintf(stderr, "task %d: %s\n", Info.TaskIndex, Info.ExceptionMsg.c_str());
      failed = true;
    }
  };
  for (int i = 0; i < kTasks; ++i) {
    const int task = encoder.AddTask(kClip, "-f lavfi");
    const String out = (Folder / ("out" + std::to_string(i) + ".mp4")).string();
    if (task < 0 || encoder.SetOutput(task, out, kOutput) < 0) {
      std::fprintf(stderr, "%s\n", encoder.LastErrMsg().c_str());
      return -1;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  encoder.Start(Workers);
  while (!ended) CheckSynchronize(5);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return failed ? -1 : seconds;
}

}  // namespace

int main() {
  InitMainThread();
  if (!FFLoader().Load(EncoderLibraries)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  GlobalLogger()->SetLogLevel(llError);
  const auto folder = std::filesystem::temp_directory_path() / ("tarnwick_parallel_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::printf("%d cores; %d tasks of %s\n", int(std::thread::hardware_concurrency()), kTasks, kClip);
  std::printf("%8s %10s %9s\n", "workers", "seconds", "speed-up");
  double base = 0;
  for (int workers : {1, 2, 4, 8}) {
    const double s = RunQueue(workers, folder);
    if (s < 0) return 1;
    if (workers == 1) base = s;
    std::printf("%8d %10.2f %9.2f\n", workers, s, base / s);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
