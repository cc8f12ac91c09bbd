// The database file: byte locks within a handle, between handles and between
// processes; share modes; reads and writes through the fault-injecting file;
// the header layout; finding a database behind other bytes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "db/storage/VelqorimDiskEngine.h"
#include "tests/db_support/DAZTestUtil.h"

extern char** environ;

namespace {

// A fresh file in TMPDIR, removed with the fixture.
class TempFile {
 public:
  TempFile() {
    const char* dir = std::getenv("TMPDIR");
    String tmpl = String(dir != nullptr && *dir != 0 ? dir : P_tmpdir) + "/velqorimXXXXXX";
    const int fd = mkstemp(tmpl.data());
    EXPECT_GE(fd, 0);
    close(fd);
    Name = tmpl;
  }
  ~TempFile() { unlink(Name.c_str()); }
  void Fill(const std::vector<uint8_t>& Bytes) const {
    std::ofstream(Name, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(Bytes.data()),
                                                                   static_cast<std::streamsize>(Bytes.size()));
  }
  String Name;
};

// The helper program as a second process: it answers one line, and keeps
// what it holds until we close its input.
class Helper {
 public:
  Helper(const std::vector<String>& Args) {
    int in[2], out[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    std::vector<char*> argv;
    String path = LOCK_HELPER_PATH;
    argv.push_back(path.data());
    std::vector<String> args = Args;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&FPid, path.c_str(), &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    FIn = in[1];
    FOut = out[0];
  }
  ~Helper() { Stop(); }
  // The helper's answer, or "timeout" after 10 s.
  String Answer() {
    String line;
    char c;
    struct pollfd p {FOut, POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(FOut, &c, 1) == 1 && c != '\n') line += c;
    return line.empty() ? "timeout" : line;
  }
  void Stop() {
    if (FPid <= 0) return;
    close(FIn);
    close(FOut);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(FPid, &status, WNOHANG) == 0; ++i) usleep(100000);
    if (waitpid(FPid, &status, WNOHANG) == 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &status, 0);
    }
    FPid = 0;
  }

 private:
  pid_t FPid = 0;
  int FIn = -1, FOut = -1;
};

String HelperAnswer(const std::vector<String>& Args) { return Helper(Args).Answer(); }

TEST(VelqorimDatabaseFile, ByteLocksWithinAndBetweenHandles) {
  TempFile f;
  TVelqorimDatabaseFile a, b;
  a.OpenFile(f.Name, amReadWrite, smShareDenyNone);
  b.OpenFile(f.Name, amReadWrite, smShareDenyNone);
  struct Step {
    const char* What;
    TVelqorimDatabaseFile* File;
    char Op;  // L lock, U unlock, Q is-locked
    int64_t Offset;
    int Count;
    bool Expected;
  } steps[] = {
      {"own lock", &a, 'L', 100, 1, true},
      {"own lock again: no nesting", &a, 'L', 100, 1, false},
      {"own overlapping lock", &a, 'L', 99, 2, false},
      {"own lock answers locked", &a, 'Q', 100, 1, true},
      {"free byte", &a, 'Q', 101, 1, false},
      {"second handle refused", &b, 'L', 100, 1, false},
      {"second handle sees it locked", &b, 'Q', 100, 1, true},
      {"inexact unlock", &a, 'U', 100, 2, false},
      {"unlock by the other handle", &b, 'U', 100, 1, false},
      {"exact unlock", &a, 'U', 100, 1, true},
      {"unlock of a free range", &a, 'U', 100, 1, false},
      {"second handle now takes it", &b, 'L', 100, 1, true},
      {"first handle refused now", &a, 'L', 100, 1, false},
      {"a range lock", &a, 'L', 200, 10, true},
      {"a byte inside it is locked for the other", &b, 'Q', 205, 1, true},
      {"unlocking part of a range fails", &a, 'U', 200, 5, false},
  };
  for (const auto& s : steps) {
    bool r = false;
    switch (s.Op) {
      case 'L': r = s.File->LockByte(s.Offset, s.Count); break;
      case 'U': r = s.File->UnlockByte(s.Offset, s.Count); break;
      default: r = s.File->IsRegionLocked(s.Offset, s.Count); break;
    }
    EXPECT_EQ(r, s.Expected) << s.What;
  }
  // Closing a handle releases its locks.
  b.CloseFile();
  EXPECT_TRUE(a.LockByte(100, 1));
}

TEST(VelqorimDatabaseFile, ByteLocksBetweenProcesses) {
  TempFile f;
  TVelqorimDatabaseFile a;
  a.OpenFile(f.Name, amReadWrite, smShareDenyNone);
  ASSERT_TRUE(a.LockByte(358, 1));
  EXPECT_EQ(HelperAnswer({"lock", f.Name, "358", "1"}), "fail");
  EXPECT_EQ(HelperAnswer({"lock", f.Name, "359", "1"}), "ok");
  {
    Helper holder({"holdlock", f.Name, "500", "4"});
    ASSERT_EQ(holder.Answer(), "ok");
    EXPECT_FALSE(a.LockByte(502, 1));
    EXPECT_TRUE(a.IsByteLocked(503));
    EXPECT_FALSE(a.IsByteLocked(504));
  }
  // The holder has exited: its lock went with it.
  EXPECT_TRUE(a.LockByte(502, 1));
}

TEST(VelqorimDatabaseFile, ShareModesBetweenProcesses) {
  TempFile f;
  {
    TVelqorimDatabaseFile a;
    a.OpenFile(f.Name, amReadWrite, smExclusive);
    EXPECT_EQ(HelperAnswer({"open", f.Name, "0", "1"}), "fail");
    TVelqorimDatabaseFile b;
    EXPECT_EQ(CodeOf([&] { b.OpenFile(f.Name, amReadOnly, smShareDenyNone); }), 30364);
  }
  {
    Helper holder({"holdopen", f.Name, "0", "1"});
    ASSERT_EQ(holder.Answer(), "ok");
    TVelqorimDatabaseFile a;
    EXPECT_EQ(CodeOf([&] { a.OpenFile(f.Name, amReadWrite, smExclusive); }), 30364);
    a.OpenFile(f.Name, amReadWrite, smShareDenyNone);  // sharing opens get along
    a.CloseFile();
    // Deleting a file that another process has open is refused.
    EXPECT_EQ(CodeOf([&] { a.DeleteFile(); }), 30362);
  }
  {
    Helper writer({"holdopen", f.Name, "1", "1"});
    ASSERT_EQ(writer.Answer(), "ok");
    TVelqorimDatabaseFile a;
    EXPECT_EQ(CodeOf([&] { a.OpenFile(f.Name, amReadOnly, smShareDenyWrite); }), 30364);
  }
  {
    TVelqorimDatabaseFile a;
    a.OpenFile(f.Name, amReadOnly, smShareDenyWrite);
    EXPECT_EQ(HelperAnswer({"open", f.Name, "1", "1"}), "fail");
    EXPECT_EQ(HelperAnswer({"open", f.Name, "0", "1"}), "ok");
  }
  TVelqorimDatabaseFile a;
  a.OpenFile(f.Name, amReadWrite, smShareDenyNone);
  a.CloseFile();
  a.DeleteFile();
  EXPECT_NE(access(f.Name.c_str(), F_OK), 0);
}

// Installs fault-injecting files for one test and hands out the last one made.
class FaultyFiles {
 public:
  FaultyFiles() {
    SetDbFileFactory([this] {
      auto f = std::make_unique<FaultyDbFile>();
      Last = f.get();
      return f;
    });
  }
  ~FaultyFiles() { SetDbFileFactory(nullptr); }
  FaultyDbFile* Last = nullptr;
};

TEST(VelqorimDatabaseFile, ReadsAndWritesReportEveryFailure) {
  TempFile f;
  FaultyFiles faults;
  TVelqorimDatabaseFile a;
  a.CreateAndOpenFile(f.Name);
  FaultyDbFile& io = *faults.Last;
  const std::vector<uint8_t> data(100, 0xAB);
  a.WriteBuffer(data.data(), 100, 0, 1);
  std::vector<uint8_t> back(100);
  EXPECT_TRUE(a.ReadBuffer(back.data(), 100, 0));
  EXPECT_EQ(back, data);

  struct Case {
    const char* What;
    std::function<void()> Arm;
    bool Write;
    int64_t Count, Position;
  } cases[] = {
      {"short read", [&] { io.ShortReadsLeft = 1; }, false, 100, 0},
      {"read past the end", [] {}, false, 50, 80},
      {"read error", [&] { io.ReadErrno = EIO; }, false, 10, 0},
      {"disk full", [&] { io.WriteErrno = ENOSPC; }, true, 10, 0},
      {"write error", [&] { io.WriteErrno = EIO; }, true, 10, 0},
      {"short write", [&] { io.ShortWritesLeft = 1; }, true, 10, 0},
  };
  for (const auto& c : cases) {
    c.Arm();
    const int code = c.Write ? CodeOf([&] { a.WriteBuffer(data.data(), c.Count, c.Position, 777); })
                             : CodeOf([&] { a.ReadBuffer(back.data(), c.Count, c.Position, 777); });
    EXPECT_EQ(code, 777) << c.What;
    io.ShortReadsLeft = io.ShortWritesLeft = io.ReadErrno = io.WriteErrno = 0;
  }
  // A lock refused with a critical error is a failure, and is remembered.
  io.LockErrno = EIO;
  EXPECT_FALSE(a.LockByte(360, 1));
  EXPECT_TRUE(a.WasCriticalError());
  io.LockErrno = 0;
  EXPECT_TRUE(a.LockByte(360, 1));

  // The process dies after two more writes: the third never reaches the file.
  io.WritesUntilDeath = 2;
  a.WriteBuffer(data.data(), 1, 0, 1);
  a.WriteBuffer(data.data(), 1, 1, 1);
  EXPECT_EQ(CodeOf([&] { a.WriteBuffer(data.data(), 1, 2, 9); }), 9);

  // Nothing above read or wrote a byte of the lock area.
  for (const auto& t : io.Transfers)
    EXPECT_TRUE(t.Position + t.Count <= VelqorimFSMLockOffset || t.Position > VelqorimDBHeaderLockOffset ||
                t.Position + t.Count <= 0)
        << t.Position;

  a.CloseFile();
  EXPECT_EQ(CodeOf([&] { a.ReadBuffer(back.data(), 1, 0, 5); }), 30376);
  EXPECT_EQ(CodeOf([&] { a.CreateAndOpenFile(""); }), 30374);
}

TEST(VelqorimDatabaseFile, ALostHandleIsReopened) {
  TempFile f;
  FaultyFiles faults;
  const TVelqorimRetryConfig saved = RetryConfig();
  RetryConfig().ReopenDelayMS = 0;
  TVelqorimDatabaseFile a;
  a.OpenFile(f.Name, amReadWrite, smShareDenyNone);
  ASSERT_TRUE(a.LockByte(359, 1));
  FaultyDbFile* lost = faults.Last;
  lost->SizeErrno = ESTALE;  // the handle went bad (a network share came back, say)
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_NE(faults.Last, lost);  // answered through a new handle
  // The locks went with the old handle: none is pretended to be held.
  EXPECT_FALSE(a.UnlockByte(359, 1));
  EXPECT_TRUE(a.LockByte(359, 1));
  // Design-time opens nest.
  a.CloseFile();
  a.OpenFileForDesignTime();
  a.OpenFileForDesignTime();
  a.CloseFileForDesignTime();
  EXPECT_TRUE(a.IsOpened());
  a.CloseFileForDesignTime();
  EXPECT_FALSE(a.IsOpened());
  int tries = 0;
  EXPECT_FALSE(RetryOperation(3, 0, [&] { return ++tries > 5; }));
  EXPECT_EQ(tries, 3);
  EXPECT_TRUE(RetryOperation(3, 0, [&] { return ++tries > 4; }));
  RetryConfig() = saved;
}

TEST(VelqorimDatabaseFile, CreateReplacesAReadOnlyFile) {
  TempFile f;
  f.Fill({1, 2, 3});
  chmod(f.Name.c_str(), 0444);
  TVelqorimDatabaseFile a;
  a.CreateAndOpenFile(f.Name);
  EXPECT_EQ(a.GetSize(), 0);
  // Created exclusive: nobody else may open it.
  TVelqorimDatabaseFile b;
  EXPECT_EQ(CodeOf([&] { b.OpenFile(f.Name, amReadOnly, smShareDenyNone); }), 30364);
}

TEST(VelqorimDatabaseFile, HeaderLayoutOfANewFile) {
  const auto h = NewDatabaseFileHeader(4096, 8);
  ASSERT_EQ(h.size(), 380u);
  // Signature, header size 76, version 7.8, page size, extent, counts, state, write state.
  std::vector<uint8_t> head = {'V', 'E', 'L', 'Q', 'O', 'R', 'I', 'M', 'F', 'I', 'L', 'E', 'H', 'E', 'A', 'D',
                               76, 0, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x1F, 0x40, 0x00, 0x10, 8, 0,
                               0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 2, 0};
  EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.begin() + 44), head);
  for (int i = 44; i < 76; ++i) EXPECT_EQ(h[i], 0) << i;
  EXPECT_EQ(h[76], 0x18);  // crypto header size 280
  EXPECT_EQ(h[77], 0x01);
  for (int i = 78; i < 356; ++i) EXPECT_EQ(h[i], 0) << i;
  EXPECT_EQ(h[356], 20);  // lock bytes size
  for (int i = 357; i < 380; ++i) EXPECT_EQ(h[i], 0) << i;
  EXPECT_EQ(GetPageTypeName(12), "TableIndex Page");
  EXPECT_EQ(CodeOf([] { GetPageTypeName(13); }), 30382);
  EXPECT_EQ(CodeOf([] { CheckPageType(10, 12, 4711); }), 4711);
}

TEST(VelqorimDatabaseFile, FindSignatureBehindOtherBytes) {
  auto header = NewDatabaseFileHeader(4096, 8);
  auto file = [&](int64_t At, int16_t HeaderSize) {
    std::vector<uint8_t> bytes(static_cast<size_t>(At), 'x');
    header[16] = static_cast<uint8_t>(HeaderSize);
    bytes.insert(bytes.end(), header.begin(), header.end());
    return bytes;
  };
  struct Case {
    const char* What;
    std::vector<uint8_t> Bytes;
    bool Found;
    int64_t Offset;
  } cases[] = {
      {"at the start", file(0, 76), true, 0},
      {"behind a program", file(12345, 76), true, 12345},
      {"straddling two windows", file(10000 - 8, 76), true, 10000 - 8},
      {"wrong header size", file(50, 77), false, 0},
      {"a short file", {1, 2, 3}, false, 0},
      {"an empty file", {}, false, 0},
  };
  // A rejected candidate does not stop the scan.
  auto twice = file(50, 77);
  header[16] = 76;
  twice.insert(twice.end(), header.begin(), header.end());
  TempFile f;
  for (const auto& c : cases) {
    f.Fill(c.Bytes);
    TVelqorimDatabaseFile a;
    a.OpenFile(f.Name, amReadOnly, smShareDenyNone);
    int64_t offset = -1;
    EXPECT_EQ(a.FindSignature(offset), c.Found) << c.What;
    if (c.Found) {
      EXPECT_EQ(offset, c.Offset) << c.What;
    }
  }
  f.Fill(twice);
  TVelqorimDatabaseFile a;
  a.OpenFile(f.Name, amReadOnly, smShareDenyNone);
  int64_t offset = -1;
  EXPECT_TRUE(a.FindSignature(offset));
  EXPECT_EQ(offset, 50 + 380);
}

}  // namespace
