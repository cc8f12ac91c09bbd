#include "db/storage/VelqorimDbFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace {

int LastError() { return errno != 0 ? errno : EIO; }

int OfdLock(int Handle, short Type, int64_t Offset, int64_t Count, int Command, struct flock* Out = nullptr) {
  struct flock fl {};
  fl.l_type = Type;
  fl.l_whence = SEEK_SET;
  fl.l_start = Offset;
  fl.l_len = Count;
  fl.l_pid = 0;  // required for open-file-description locks
  if (fcntl(Handle, Command, &fl) != 0) return errno == EACCES ? EAGAIN : LastError();
  if (Out != nullptr) *Out = fl;
  return 0;
}

std::mutex FactoryLock;
TDbFileFactory& Factory() {
  static TDbFileFactory f;
  return f;
}

}  // namespace

PosixDbFile::~PosixDbFile() { Close(); }

int PosixDbFile::Open(const String& FileName, bool Create, bool ReadOnly) {
  if (FHandle >= 0) return EBUSY;
  int flags = O_CLOEXEC | O_RDWR;
  if (Create) flags |= O_CREAT | O_TRUNC;
  FHandle = ::open(FileName.c_str(), flags, 0666);
  FWritable = FHandle >= 0;
  // A read-only file still opens for reading; it then takes shared locks only.
  if (FHandle < 0 && !Create && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    FHandle = ::open(FileName.c_str(), O_CLOEXEC | O_RDONLY);
    FWritable = false;
  }
  (void)ReadOnly;
  return FHandle >= 0 ? 0 : LastError();
}

int PosixDbFile::Close() {
  if (FHandle < 0) return 0;
  const int rc = ::close(FHandle);
  FHandle = -1;
  return rc == 0 ? 0 : LastError();
}

int PosixDbFile::Read(void* Buffer, int64_t Count, int64_t Position, int64_t& Done) {
  Done = 0;
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t n = ::pread(FHandle, p + Done, static_cast<size_t>(Count - Done), Position + Done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) break;  // end of file
    Done += n;
  }
  return 0;
}

int PosixDbFile::Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) {
  Done = 0;
  const auto* p = static_cast<const uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t n = ::pwrite(FHandle, p + Done, static_cast<size_t>(Count - Done), Position + Done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? LastError() : EIO;
    Done += n;
  }
  return 0;
}

int PosixDbFile::GetSize(int64_t& Size) {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) return LastError();
  Size = st.st_size;
  return 0;
}

int PosixDbFile::SetSize(int64_t Size) { return ::ftruncate(FHandle, Size) == 0 ? 0 : LastError(); }

int PosixDbFile::Sync(bool DataOnly) {
  return (DataOnly ? ::fdatasync(FHandle) : ::fsync(FHandle)) == 0 ? 0 : LastError();
}

int PosixDbFile::Lock(int64_t Offset, int64_t Count, bool Write) {
  return OfdLock(FHandle, Write && FWritable ? F_WRLCK : F_RDLCK, Offset, Count, F_OFD_SETLK);
}

int PosixDbFile::Unlock(int64_t Offset, int64_t Count) { return OfdLock(FHandle, F_UNLCK, Offset, Count, F_OFD_SETLK); }

int PosixDbFile::TestLock(int64_t Offset, int64_t Count, bool Write, bool& Conflict) {
  struct flock fl {};
  const int rc = OfdLock(FHandle, Write ? F_WRLCK : F_RDLCK, Offset, Count, F_OFD_GETLK, &fl);
  Conflict = rc == 0 && fl.l_type != F_UNLCK;
  return rc;
}

// ---------------------------------------------------------------------------

int FaultyDbFile::Read(void* Buffer, int64_t Count, int64_t Position, int64_t& Done) {
  Transfers.push_back({false, Position, Count});
  Done = 0;
  if (ReadErrno != 0) return ReadErrno;
  if (ShortReadsLeft > 0) {
    --ShortReadsLeft;
    return FInner->Read(Buffer, Count / 2, Position, Done);
  }
  return FInner->Read(Buffer, Count, Position, Done);
}

int FaultyDbFile::Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) {
  Transfers.push_back({true, Position, Count});
  Done = 0;
  if (Dead()) return EIO;
  if (WriteErrno != 0) return WriteErrno;
  if (WritesUntilDeath > 0) --WritesUntilDeath;
  if (ShortWritesLeft > 0) {
    --ShortWritesLeft;
    const int rc = FInner->Write(Buffer, Count / 2, Position, Done);
    return rc != 0 ? rc : ENOSPC;
  }
  return FInner->Write(Buffer, Count, Position, Done);
}

int FaultyDbFile::GetSize(int64_t& Size) {
  if (SizeErrno != 0) return SizeErrno;
  return FInner->GetSize(Size);
}

void SetDbFileFactory(TDbFileFactory F) {
  std::lock_guard<std::mutex> lock(FactoryLock);
  Factory() = std::move(F);
}

std::unique_ptr<DbFile> NewDbFile() {
  std::lock_guard<std::mutex> lock(FactoryLock);
  return Factory() ? Factory()() : std::make_unique<PosixDbFile>();
}
