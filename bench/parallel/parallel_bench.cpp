// Wall time of a queue of eight conversions through the encoder with
// Start(1), Start(2), Start(4) and Start(8), and the speed-up over Start(1).
// Every task opens a real file (640x360, 10 s, H.264 + AAC in mp4, made once
// by the engine and kept under the build folder) and converts it to mp4 with
// libx264 "veryfast" (one codec thread) and AAC, so that every task probes,
// decodes picture and sound, and encodes both. The time runs from the first
// AddTask (opening and probing count) to the queue's end. The worker counts
// take turns inside every round, so that the machine's changing load falls
// on all of them.
//
// usage: bench_parallel [rounds (default 3)]

#include <unistd.h>

#include <cstdio>
#include <map>
#include <thread>

#include "bench/BenchMedia.h"
#include "bench/BenchUtil.h"
#include "media/FFEncode.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "tests/media_transcode/TranscodeTask.h"

namespace {

constexpr int kTasks = 8;
constexpr const char* kOutput = "-y -c:v libx264 -preset veryfast -threads 1 -c:a aac";


// Seconds for the whole queue, from the first AddTask to the end notice.
double RunQueue(int Workers, const String& Input, const std::filesystem::path& Folder) {
  const auto start = bench::Clock::now();
  TRAZeredov encoder(nullptr);
  bool ended = false, failed = false;
  encoder.OnTerminate = [&](TObject*, const TTerminateInfo& Info) {
    if (Info.TaskIndex == -1) {
      ended = true;
    } else if (!Info.Finished) {
      std::fprintf(stderr, "task %d: %s\n", Info.TaskIndex, Info.ExceptionMsg.c_str());
      failed = true;
    }
  };
  for (int i = 0; i < kTasks; ++i) {
    const String out = (Folder / ("out" + std::to_string(i) + ".mp4")).string();
    std::filesystem::remove(out);
    const int task = encoder.AddTask(Input, "");
    if (task < 0 || encoder.SetOutput(task, out, kOutput) < 0) bench::Die(encoder.LastErrMsg());
  }
  encoder.Start(Workers);
  while (!ended) CheckSynchronize(5);
  const double seconds = bench::SecondsSince(start);
  if (failed) bench::Die("a task failed");
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  InitMainThread();
  if (!FFLoader().Load(EncoderLibraries)) bench::Die(FFLoader().LastErrMsg());
  GlobalLogger()->SetLogLevel(llError);
  const String input =
      bench::H264AacClip("parallel-input-640x360-25fps", "testsrc=size=640x360:rate=25:duration=10");
  const bench::TScratchFolder scratch("tarnwick-bench-parallel");
  const int counts[] = {1, 2, 4, 8};
  std::printf("%d cores; %d tasks of %s\n", int(std::thread::hardware_concurrency()), kTasks, input.c_str());
  bench::PrintLoad("before");
  std::map<int, std::vector<double>> seconds, speedUp;
  for (int round = 0; round < rounds; ++round) {
    // Start from a different count each round, so that none is always first.
    std::map<int, double> now;
    for (size_t k = 0; k < std::size(counts); ++k) {
      const int workers = counts[(k + size_t(round)) % std::size(counts)];
      now[workers] = RunQueue(workers, input, scratch.Path());
      seconds[workers].push_back(now[workers]);
    }
    for (int workers : counts) speedUp[workers].push_back(now[1] / now[workers]);
  }
  bench::PrintLoad("after");
  std::printf("%d interleaved rounds\n", rounds);
  for (int workers : counts) {
    const bench::TSpread s = bench::Spread(seconds[workers]), u = bench::Spread(speedUp[workers]);
    std::printf("  %d workers: seconds min %6.2f median %6.2f   speed-up min %5.2f median %5.2f\n", workers, s.Min,
                s.Median, u.Min, u.Median);
  }
  return 0;
}
