// The program's resident memory through a batch: idle after start-up, the
// highest while four 1080p conversions run at once (lavfi sources to H.264
// in Matroska, as the options dialog's MKV choice writes them), after the
// end of the queue, and after Clear. With "stop" the batch is stopped
// halfway; with "keep" the window does not hand freed memory back to the
// system, for comparison.
//
// usage: bench_app_memory [seconds of each source (default 6)] [stop] [keep]   (needs DISPLAY)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/ConverterFrm.h"
#include "bench/BenchUtil.h"
#include "platform/os/Files.h"
#include "platform/os/Threads.h"

namespace {

struct TResident {
  double Total = 0, Anonymous = 0;  // MB; the rest maps files (code and data of the libraries)
};

TResident Resident() {
  std::ifstream in("/proc/self/status");
  TResident r;
  std::string key;
  double kb = 0;
  while (in >> key) {
    if (key == "VmRSS:" && in >> kb) r.Total = kb / 1024;
    if (key == "RssAnon:" && in >> kb) r.Anonymous = kb / 1024;
  }
  return r;
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
  bool keep = false, stop = false;
  for (int i = 2; i < argc; ++i) {
    keep = keep || std::strcmp(argv[i], "keep") == 0;
    stop = stop || std::strcmp(argv[i], "stop") == 0;
  }
  const std::filesystem::path folder = GetTempDir() + "tarnwick-memory-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  StartTarnwick();
  TfrmConverter* form = frmConverter;
  TConverterCore& core = form->Core();
  if (keep) core.GiveBackMemory = nullptr;
  if (!form->RAZeredov->LoadAVLib("")) bench::Die(form->RAZeredov->LastErrMsg());
  Serve(0.5);
  const TResident idle = Resident();
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
  TResident running;
  // The end of the queue enables Clear; a stop comes when the first task is halfway.
  while (!core.Buttons().Clear) {
    Serve(0.05);
    const TResident now = Resident();
    if (now.Total > running.Total) running = now;
    if (stop && core.Buttons().Stop && std::atoi(core.Row(0).SubItems[rcProgress].c_str()) >= 50) core.StopQueue();
  }
  const double converting = bench::SecondsSince(start);
  Serve(0.5);
  const TResident afterQueue = Resident();
  core.Clear();
  Serve(0.5);
  const TResident afterClear = Resident();
  std::printf("resident memory, four 1080p H.264 conversions of %d s at once (%.1f s)%s%s\n", seconds, converting,
              stop ? ", stopped halfway" : "", keep ? ", freed memory kept" : "");
  std::printf("                         resident   of it anonymous\n");
  const std::pair<const char*, TResident> rows[] = {
      {"idle after start-up", idle}, {"highest while running", running}, {"after the queue", afterQueue},
      {"after Clear", afterClear}};
  for (const auto& [name, r] : rows) std::printf("  %-21s %8.1f MB %8.1f MB\n", name, r.Total, r.Anonymous);
  bench::PrintLoad("after");
  form->Close();
  FinishTarnwick();
  std::filesystem::remove_all(folder);
  return 0;
}
