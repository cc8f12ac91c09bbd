#pragma once
// Disk database test helpers: a scratch database file, short retry counts,
// local sessions on a file, and a second process driven through pipes.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "platform/os/Files.h"
#include "tests/db_storage/LocalTables.h"
#include "tests/db_storage/NativeError.h"

namespace disk {

inline String ScratchName(const char* Stem) {
  static std::atomic<int> counter{0};
  return GetTempDir() + "/velqorim-" + Stem + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter++) + ".vdb";
}

struct TScratchDatabase {
  explicit TScratchDatabase(const char* Stem = "db") : Name(ScratchName(Stem)) {}
  ~TScratchDatabase() { ::unlink(Name.c_str()); }
  String Name;
};

// Retry loops shrunk so that a refused lock answers in milliseconds.
struct TShortRetries {
  TShortRetries() : FSaved(RetryConfig()) {
    TVelqorimRetryConfig& c = RetryConfig();
    c.ShortLockTryCount = 5;
    c.ShortLockDelayMS = 1;
    c.TablesLockTryCount = 5;
    c.TablesLockDelayMS = 1;
    c.LongLockTryCount = 5;
    c.LongLockDelayMS = 2;
    c.LockTryCount = 5;
    c.LockDelayMS = 1;
  }
  ~TShortRetries() { RetryConfig() = FSaved; }

 private:
  TVelqorimRetryConfig FSaved;
};

struct TSessionOptions {
  bool MultiUser = false;
  bool Exclusive = false;
  const char* SessionName = "Default";
  const char* Password = "";
  TABSCryptoAlgorithm Cipher = craRijndael_128;
  int MaxSessionCount = 8;
};

inline std::unique_ptr<TVelqorimLocalSession> NewSession(const String& File, const TSessionOptions& O = {}) {
  auto s = std::make_unique<TVelqorimLocalSession>();
  s->DatabaseName = File;
  s->DatabaseFileName = File;
  s->SessionName = O.SessionName;
  s->MultiUser = O.MultiUser;
  s->Exclusive = O.Exclusive;
  s->Password.Password = O.Password;
  s->Password.CryptoAlgorithm = O.Cipher;
  s->MaxSessionCount = O.MaxSessionCount;
  s->PageSize = 1024;
  s->PageCountInExtent = 8;
  return s;
}

inline TVelqorimDiskDatabaseData& DiskOf(TVelqorimLocalSession& Session) {
  return *dynamic_cast<TVelqorimDiskDatabaseData*>(Session.DatabaseData);
}

// A forked second process running Body: it reads one-byte commands with
// Next() and answers each with Reply(); the parent sends with Ask(), which
// waits at most a few seconds. The child never returns into the test runner.
class TPeer {
 public:
  explicit TPeer(const std::function<void(TPeer&)>& Body) {
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0) std::abort();
    FPid = ::fork();
    if (FPid == 0) {
      ::close(down[1]);
      ::close(up[0]);
      FIn = down[0];
      FOut = up[1];
      int code = 0;
      try {
        Body(*this);
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
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

// The answer of an action in a child: "ok" or the engine error code.
inline String Outcome(const std::function<void()>& Action) {
  const int code = NativeErrorOf(Action);
  return code == 0 ? String("ok") : std::to_string(code);
}

}  // namespace disk
