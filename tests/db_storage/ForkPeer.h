#pragma once
// A second process for tests that need one (locks, share modes): forked from
// the test, driven through pipes, never returning into the test runner.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <functional>

#include "platform/rtl/SysUtils.h"

namespace disk {

// A forked second process running Body: it reads one-byte commands with
// Next() and answers each with Reply(); the parent sends with Ask(), which
// waits at most a few seconds. The child never returns into the test runner.
class TPeer {
 public:
  explicit TPeer(const std::function<void(TPeer&)>& Body) {
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0) std::abort();
    ::signal(SIGPIPE, SIG_IGN);  // a child that died answers "broken" instead of ending the test
    FPid = ::fork();
    if (FPid == 0) {
      ::close(down[1]);
      ::close(up[0]);
      FIn = down[0];
      FOut = up[1];
      int code = 0;
      try {
        Body(*this);
      } catch (const std::exception& e) {
        // The parent's next question gets the reason instead of a bare "eof".
        Reply(String("exception: ") + e.what());
        code = 1;
      } catch (...) {
        Reply("exception");
        code = 1;
      }
      ::_exit(code);
    }
    // A child that died must fail the question, not kill the test runner.
    ::signal(SIGPIPE, SIG_IGN);
    ::close(down[0]);
    ::close(up[1]);
    FOut = down[1];
    FIn = up[0];
  }
  ~TPeer() {
    ::close(FOut);
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(FPid, &status, WNOHANG) == 0; ++i) ::usleep(10000);
    if (::waitpid(FPid, &status, WNOHANG) == 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, &status, 0);
    }
    ::close(FIn);
  }
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  // Parent: a command and the child's answer ("timeout" when none came).
  String Ask(char Command) {
    if (::write(FOut, &Command, 1) != 1) return "broken";
    return ReadLine(5000);
  }
  // Child: the next command, 0 when the parent hung up.
  char Next() {
    char c = 0;
    return ::read(FIn, &c, 1) == 1 ? c : 0;
  }
  void Reply(const String& Text) {
    const String line = Text + "\n";
    if (::write(FOut, line.data(), line.size()) < 0) ::_exit(2);
  }

 private:
  String ReadLine(int TimeoutMS) {
    String line;
    for (;;) {
      pollfd p{FIn, POLLIN, 0};
      if (::poll(&p, 1, TimeoutMS) <= 0) return "timeout";
      char c = 0;
      if (::read(FIn, &c, 1) != 1) return "eof";
      if (c == '\n') return line;
      line += c;
    }
  }

  pid_t FPid = -1;
  int FIn = -1;
  int FOut = -1;
};

}  // namespace disk
