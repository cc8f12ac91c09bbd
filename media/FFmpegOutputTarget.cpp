#include "media/FFmpegOutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "media/FFUtils.h"
#include "platform/os/Files.h"

namespace {

int ErrnoCode() { return AVERROR(errno ? errno : EIO); }

bool SameIdentity(const struct stat& St, dev_t Dev, ino_t Ino) { return St.st_dev == Dev && St.st_ino == Ino; }

String FolderOf(const String& Path) {
  const String dir = ExtractFileDir(Path);
  return dir.empty() ? String(".") : dir;
}

// Removes Name when it is still the regular file (Dev, Ino); with EmptyOnly
// only while nothing was written into it.
void RemoveIfOurs(const String& Name, dev_t Dev, ino_t Ino, bool EmptyOnly) {
  struct stat st;
  if (::lstat(Name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !SameIdentity(st, Dev, Ino)) return;
  if (EmptyOnly && st.st_size != 0) return;
  ::unlink(Name.c_str());
}

// A temporary file is synced while it is written after each this many bytes.
// Its blocks are then allocated and on disk before the end, where the last
// sync would otherwise wait for all of them (and the journal behind them).
constexpr int64_t SyncStep = 2 << 20;

void SyncFolderOf(const String& Path) {
  const int fd = ::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

TOutputTarget::~TOutputTarget() { Abandon(); }

void TOutputTarget::Abandon() {
  StopSyncing();
  if (FTempFd >= 0) ::close(FTempFd);
  FTempFd = -1;
  if (!FTemp.empty()) RemoveIfOurs(FTemp, FTempDev, FTempIno, false);
  FTemp.clear();
  if (FReserved && !FCommitted) RemoveIfOurs(FPath, FDev, FIno, true);
  FReserved = false;
}

String TOutputTarget::ResolvePath(const String& Path) {
  if (char* full = ::realpath(Path.c_str(), nullptr)) {
    String out(full);
    std::free(full);
    return out;
  }
  if (char* dir = ::realpath(FolderOf(Path).c_str(), nullptr)) {
    String out = IncludeTrailingPathDelimiter(dir) + ExtractFileName(Path);
    std::free(dir);
    return out;
  }
  return Path;
}

String TOutputTarget::LocalPath(const char* LibName) {
  const char* proto = ff::avio_find_protocol_name(LibName);
  if (!proto || std::strcmp(proto, "file") != 0) return String();
  String path = LibName;
  if (path.rfind("file:", 0) == 0) path.erase(0, 5);
  return path == "-" ? String() : path;
}

bool TOutputTarget::Refers(const String& Path) const {
  struct stat st;
  if (::stat(Path.c_str(), &st) == 0 && SameIdentity(st, FDev, FIno)) return true;
  return ResolvePath(Path) == FPath;
}

int TOutputTarget::Prepare(const String& Path, bool NoOverwrite, String& Error) {
  FPath = ResolvePath(Path);
  struct stat st;
  if (::stat(FPath.c_str(), &st) == 0) {
    FDev = st.st_dev;
    FIno = st.st_ino;
    if (S_ISDIR(st.st_mode)) {
      Error = ErrorCodeToText(Path, AVERROR(EISDIR));
      return AVERROR(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
      // A device or FIFO takes the data as it comes; it is never replaced.
      FKind = TKind::InPlace;
      if (::access(FPath.c_str(), W_OK) != 0) {
        const int code = ErrnoCode();
        Error = ErrorCodeToText(Path, code);
        return code;
      }
      return 0;
    }
    if (NoOverwrite) {
      Error = Format("File \"%s\" already exists and -n forbids overwriting it.", {Path});
      return AVERROR(EEXIST);
    }
    // Replaced by a rename in its folder: both must be writable (a read-only
    // file is not replaced behind its owner's back).
    if (::access(FPath.c_str(), W_OK) != 0 || ::access(FolderOf(FPath).c_str(), W_OK | X_OK) != 0) {
      const int code = ErrnoCode();
      Error = ErrorCodeToText(Path, code);
      return code;
    }
    return 0;
  }
  if (errno != ENOENT) {
    const int code = ErrnoCode();
    Error = ErrorCodeToText(Path, code);
    return code;
  }
  const int fd = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int code = ErrnoCode();
    Error = ErrorCodeToText(Path, code);
    return code;
  }
  if (::fstat(fd, &st) == 0) {
    FDev = st.st_dev;
    FIno = st.st_ino;
    FReserved = true;
  }
  ::close(fd);
  return 0;
}

int TOutputTarget::BeginWrite(bool NoOverwrite, String& WriteName, String& Error) {
  WriteName = FPath;
  if (FKind == TKind::InPlace) return 0;
  struct stat st;
  const bool exists = ::stat(FPath.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    FKind = TKind::InPlace;
    return 0;
  }
  if (NoOverwrite && exists && !(FReserved && SameIdentity(st, FDev, FIno))) {
    Error = Format("File \"%s\" already exists and -n forbids overwriting it.", {FPath});
    return AVERROR(EEXIST);
  }
  if (!FTemp.empty()) {
    WriteName = FTemp;
    return 0;
  }
  String name = IncludeTrailingPathDelimiter(FolderOf(FPath)) + "." + ExtractFileName(FPath) + ".XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    const int code = ErrnoCode();
    Error = ErrorCodeToText(FPath, code);
    return code;
  }
  // The replacement keeps the permissions of the file it replaces.
  if (exists) ::fchmod(fd, st.st_mode & 07777);
  struct stat tmp;
  if (::fstat(fd, &tmp) == 0) {
    FTempDev = tmp.st_dev;
    FTempIno = tmp.st_ino;
  }
  ::close(fd);
  FTemp = name;
  WriteName = FTemp;
  return 0;
}

void TOutputTarget::Written(int64_t Position) {
  if (FKind != TKind::Replace || FTemp.empty() || Position - FSyncAsked < SyncStep) return;
  FSyncAsked = Position;
  if (FTempFd < 0) {
    FTempFd = ::open(FTemp.c_str(), O_WRONLY | O_CLOEXEC);
    if (FTempFd < 0) return;
  }
  if (!FSyncer.joinable()) {
    try {
      FSyncer = std::thread([this] { SyncWhileWritten(); });
    } catch (const std::system_error&) {
      return;  // the sync before the rename does it all
    }
  }
  {
    std::lock_guard<std::mutex> lock(FSyncLock);
    FSyncWanted = Position;
  }
  FSyncWake.notify_one();
}

void TOutputTarget::SyncWhileWritten() {
  std::unique_lock<std::mutex> lock(FSyncLock);
  int64_t done = 0;
  for (;;) {
    FSyncWake.wait(lock, [&] { return FSyncStop || FSyncWanted > done; });
    if (FSyncStop) return;
    done = FSyncWanted;
    lock.unlock();
    const int failed = ::fdatasync(FTempFd) != 0 ? errno : 0;
    lock.lock();
    // A failed write is reported once per descriptor: kept for the commit.
    if (failed && !FSyncError) FSyncError = failed;
  }
}

void TOutputTarget::StopSyncing() {
  if (!FSyncer.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(FSyncLock);
    FSyncStop = true;
  }
  FSyncWake.notify_one();
  FSyncer.join();
}

int TOutputTarget::Commit(String& Error) {
  if (FKind == TKind::InPlace || FCommitted || FTemp.empty()) return 0;
  StopSyncing();
  // On disk before the name moves, so that a crash cannot swap the old file
  // for an empty one; a file that is not whole on disk replaces nothing.
  const int fd = FTempFd >= 0 ? FTempFd : ::open(FTemp.c_str(), O_RDONLY | O_CLOEXEC);
  FTempFd = -1;
  int failed = fd < 0 ? errno : FSyncError;
  if (fd >= 0) {
    if (::fsync(fd) != 0 && !failed) failed = errno;
    ::close(fd);
  }
  if (failed) {
    const int code = AVERROR(failed);
    Error = ErrorCodeToText(Format("The output could not be written to disk; %s was not replaced", {FPath}), code);
    return code;
  }
  if (::rename(FTemp.c_str(), FPath.c_str()) != 0) {
    const int code = ErrnoCode();
    Error = ErrorCodeToText(Format("The output could not be moved to %s; it was kept as %s", {FPath, FTemp}), code);
    FTemp.clear();  // holds the only copy of the result
    return code;
  }
  FTemp.clear();
  FCommitted = true;
  // The new name on disk too.
  SyncFolderOf(FPath);
  return 0;
}
