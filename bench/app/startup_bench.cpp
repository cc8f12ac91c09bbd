// Start-up to the first paint of the main window: a fresh process per round
// (this program started again with "child"), timed from just before the
// fork to the moment the child has painted its main window and says so on a
// pipe. Includes loading the program, the window layer's connection to the
// display, every initialisation and the streaming of the window definitions.
//
// usage: bench_app_startup [rounds (default 15)]      (needs DISPLAY)

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/ConverterFrm.h"
#include "bench/BenchUtil.h"

namespace {

int Child(int Fd) {
  StartTarnwick();
  bool painted = false;
  // The main window's first WM_PAINT, seen once it was handled.
  const TWndMethod previous = frmConverter->WindowProc;
  frmConverter->WindowProc = [&](TMessage& M) {
    previous(M);
    if (M.Msg == WM_PAINT) painted = true;
  };
  while (!painted) Application->HandleMessage();
  const char done = 1;
  if (write(Fd, &done, 1) != 1) return 1;
  frmConverter->WindowProc = previous;
  FinishTarnwick();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "child") == 0) return Child(std::atoi(argv[2]));
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  bench::PrintLoad("before");
  std::vector<double> seconds;
  for (int i = 0; i < rounds; ++i) {
    int fds[2];
    if (pipe(fds) != 0) bench::Die("pipe");
    const auto start = bench::Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execl("/proc/self/exe", argv[0], "child", fd.c_str(), nullptr);
      _exit(127);
    }
    close(fds[1]);
    char done = 0;
    if (read(fds[0], &done, 1) != 1) bench::Die("the child ended before painting");
    seconds.push_back(bench::SecondsSince(start) * 1000);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
  }
  std::printf("start-up to the main window's first paint\n");
  bench::PrintSpread("fork to first paint", seconds, " ms");
  bench::PrintLoad("after");
  return 0;
}
