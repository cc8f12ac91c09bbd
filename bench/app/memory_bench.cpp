// The program's resident memory through a batch: idle after start-up, the
// highest while four 1080p conversions run at once (lavfi sources to H.264
// in Matroska, as the options dialog's MKV choice writes them), after the
// end of the queue, and after Clear. With "keep" the window does not hand
// freed memory back to the system, for comparison.
//
// usage: bench_app_memory [seconds of each source (default 6)] [keep]   (needs DISPLAY)

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/ConverterFrm.h"
#include "bench/BenchUtil.h"
#include "platform/os/Files.h"
#include "platform/os/Threads.h"

namespace {

double ResidentMB() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Serves the window and the engine's events for a while.
void Serve(double Seconds) {
  const auto start = bench::Clock::now();
  while (bench::SecondsSince(start) < Seconds) {
    Application->ProcessMessages();
    CheckSynchronize(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 6;
  const bool keep = argc > 2 && std::strcmp(argv[2], "keep") == 0;
  const std::filesystem::path folder = GetTempDir() + "tarnwick-memory-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  StartTarnwick();
  TfrmConverter* form = frmConverter;
  TConverterCore& core = form->Core();
  if (keep) core.GiveBackMemory = nullptr;
  if (!form->RAZeredov->LoadAVLib("")) bench::Die(form->RAZeredov->LastErrMsg());
  Serve(0.5);
  const double idle = ResidentMB();
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  for (int i = 0; i < 4; ++i) {
    TInputOptions in;
    TOutputOptions out;
    ResetInputOptions(in);
    ResetOutputOptions(out);
    in.FileName = "testsrc=size=1920x1080:rate=25:duration=" + std::to_string(seconds);
    in.Options = " -f lavfi";
    out.FileName = (folder / ("out" + std::to_string(i) + ".mkv")).string();
    out.Options = " -b:v 1500k -r 30 -c:v libx264 -threads " + std::to_string(processors) + " -sn";
    if (!core.AddConversionTask(in, out, int64_t(seconds) * 1000000, 0)) bench::Die(core.LogStore().Text());
  }
  bench::PrintLoad("before");
  const auto start = bench::Clock::now();
  core.Start("4");
  double running = 0;
  // The end of the queue enables Clear.
  while (!core.Buttons().Clear) {
    Serve(0.05);
    running = std::max(running, ResidentMB());
  }
  const double converting = bench::SecondsSince(start);
  Serve(0.5);
  const double afterQueue = ResidentMB();
  core.Clear();
  Serve(0.5);
  const double afterClear = ResidentMB();
  std::printf("resident memory, four 1080p H.264 conversions of %d s at once (%.1f s)%s\n", seconds, converting,
              keep ? ", freed memory kept" : "");
  std::printf("  idle after start-up   %7.1f MB\n", idle);
  std::printf("  highest while running %7.1f MB\n", running);
  std::printf("  after the queue       %7.1f MB\n", afterQueue);
  std::printf("  after Clear           %7.1f MB\n", afterClear);
  bench::PrintLoad("after");
  form->Close();
  FinishTarnwick();
  std::filesystem::remove_all(folder);
  return 0;
}
