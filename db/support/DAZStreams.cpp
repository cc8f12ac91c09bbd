#include "db/support/DAZStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

namespace {

constexpr int64_t kMaxMemoryStreamSize = std::numeric_limits<int32_t>::max();
const char* const kReadMessage = "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d";
const char* const kWriteMessage =
    "Cannot write to stream. Position = %d, Stream size = %d, Block size = %d, Bytes Write = %d";

// Reads or writes exactly Count bytes or raises Code with the stream's state before the transfer.
void ReadChecked(void* Buffer, int64_t Count, TStream& Stream, int Code) {
  const int64_t position = Stream.Position();
  const int64_t done = Stream.Read(Buffer, Count);
  if (done != Count) throw EABSException(Code, kReadMessage, {position, Stream.Size(), Count, done});
}

void WriteChecked(const void* Buffer, int64_t Count, TStream& Stream, int Code) {
  const int64_t position = Stream.Position();
  const int64_t done = Stream.Write(Buffer, Count);
  if (done != Count) throw EABSException(Code, kWriteMessage, {position, Stream.Size(), Count, done});
}

}  // namespace

// ---- TABSStream ----

void TABSStream::DoProgress(double PercentDone) {
  if (OnProgress) OnProgress(this, PercentDone);
}

void TABSStream::SaveToStream(TStream& Stream) {
  if (FBlockSize <= 0) throw EABSException(10418, "Stream block size = 0 is not allowed");
  const int64_t ownPosition = Position();
  const int64_t targetPosition = Stream.Position();
  SetPosition(0);
  DoProgress(0);
  TABSMemBlock buffer(MemoryManager().AllocMem(FBlockSize));
  const int64_t total = Size();
  int64_t copied = 0;
  while (copied < total) {
    const int64_t n = std::min<int64_t>(FBlockSize, total - copied);
    ReadChecked(buffer.Get(), n, *this, 10146);
    WriteChecked(buffer.Get(), n, Stream, 10147);
    copied += n;
    DoProgress(static_cast<double>(copied) / static_cast<double>(total) * 100.0);
  }
  buffer.Reset();
  SetPosition(ownPosition);
  Stream.SetPosition(targetPosition);
  DoProgress(100);
}

void TABSStream::LoadFromStream(TStream& Stream) { LoadFromStreamWithPosition(Stream, 0, Stream.Size()); }

void TABSStream::LoadFromStreamWithPosition(TStream& Stream, int64_t FromPosition, int64_t StreamSize) {
  if (FBlockSize <= 0) throw EABSException(10419, "Stream block size = 0 is not allowed");
  const int64_t ownPosition = Position();
  const int64_t sourcePosition = Stream.Position();
  Stream.SetPosition(FromPosition);
  SetSize(0);
  SetPosition(0);
  DoProgress(0);
  TABSMemBlock buffer(MemoryManager().AllocMem(FBlockSize));
  const int64_t end = FromPosition + StreamSize;
  const int64_t sourceSize = Stream.Size();
  for (int64_t at = Stream.Position(); at < end; at = Stream.Position()) {
    const int64_t n = std::min<int64_t>(FBlockSize, end - at);
    ReadChecked(buffer.Get(), n, Stream, 10148);
    WriteChecked(buffer.Get(), n, *this, 10149);
    if (sourceSize > 0) DoProgress(static_cast<double>(Stream.Position()) / static_cast<double>(sourceSize) * 100.0);
  }
  buffer.Reset();
  SetPosition(ownPosition);
  Stream.SetPosition(sourcePosition);
  DoProgress(100);
}

void TABSStream::LoadFromFile(const String& FileName) {
  TABSFileStream file(FileName, fmOpenRead | fmShareDenyWrite, false);
  LoadFromStream(file);
}

void TABSStream::SaveToFile(const String& FileName) {
  TABSFileStream file(FileName, ABSFileModeCreate, false);
  SaveToStream(file);
}

// ---- TABSMemoryStream ----

TABSMemoryStream::TABSMemoryStream(uint8_t* Buffer, int DefaultAllocatedSize) {
  if (Buffer != nullptr) {
    FBuffer = Buffer;
    FBufferSize = FAllocatedBufferSize = static_cast<int32_t>(MemoryManager().GetMemoryBufferSize(Buffer));
  } else if (DefaultAllocatedSize > 0) {
    FBuffer = static_cast<uint8_t*>(MemoryManager().GetMem(DefaultAllocatedSize));
    FAllocatedBufferSize = DefaultAllocatedSize;
  }
}

TABSMemoryStream::~TABSMemoryStream() {
  try {
    SetSize(0);
  } catch (...) {
  }
}

void TABSMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize > kMaxMemoryStreamSize) throw EStreamError("Memory stream size out of range");
  if (NewSize > 0) {
    const int32_t size = static_cast<int32_t>(NewSize);
    if (FBuffer == nullptr) {
      FBuffer = static_cast<uint8_t*>(MemoryManager().GetMem(size));
      FAllocatedBufferSize = size;
    } else if (FAllocatedBufferSize < size) {
      const int64_t capacity = std::min<int64_t>(int64_t{size} * 2, kMaxMemoryStreamSize);
      MemoryManager().ReallocMem(FBuffer, capacity);
      FAllocatedBufferSize = static_cast<int32_t>(capacity);
    }
    // Grown bytes read as zeros, never as what the block held before.
    if (size > FBufferSize) std::memset(FBuffer + FBufferSize, 0, static_cast<size_t>(size - FBufferSize));
    FBufferSize = size;
  } else {
    FBufferSize = FAllocatedBufferSize = 0;
    MemoryManager().FreeAndNillMem(FBuffer);
  }
  if (FPosition > FBufferSize) FPosition = FBufferSize;
}

int64_t TABSMemoryStream::Read(void* Buffer, int64_t Count) {
  if (FPosition >= FBufferSize || Count < 1) return 0;
  const int64_t n = std::min<int64_t>(Count, FBufferSize - FPosition);
  std::memcpy(Buffer, FBuffer + FPosition, static_cast<size_t>(n));
  FPosition += static_cast<int32_t>(n);
  return n;
}

int64_t TABSMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count < 1) return 0;
  if (int64_t{FPosition} + Count > kMaxMemoryStreamSize) return 0;
  if (FPosition + Count > FBufferSize) SetSize(FPosition + Count);
  std::memcpy(FBuffer + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition += static_cast<int32_t>(Count);
  return Count;
}

int64_t TABSMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = 0;
  if (Origin == soCurrent) base = FPosition;
  else if (Origin == soEnd) base = FBufferSize;
  const int64_t target = base + Offset;
  // Out of range: the position does not move, which checked seeks report.
  if (target >= 0 && target <= kMaxMemoryStreamSize) FPosition = static_cast<int32_t>(target);
  return FPosition;
}

// ---- TABSFileStream ----

TABSFileStream::TABSFileStream(const String& FileName, uint16_t Mode, bool IsTemporary)
    : FFileName(FileName), FMode(Mode), FIsTemporary(IsTemporary) {
  SetBlockSize(ABSDefaultStreamBlockSize);
  if (Mode == ABSFileModeCreate) {
    FHandle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, IsTemporary ? 0600 : 0644);
    if (FHandle < 0) throw EABSException(10104, "Cannot create file. FileName = %s", {FileName});
    if (IsTemporary) ::unlink(FileName.c_str());
  } else {
    int flags = O_RDONLY;
    if ((Mode & 3) == 1) flags = O_WRONLY;
    else if ((Mode & 3) == 2) flags = O_RDWR;
    FHandle = ::open(FileName.c_str(), flags | O_CLOEXEC);
    if (FHandle >= 0) {
      struct stat st;
      if (::fstat(FHandle, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
      }
    }
    if (FHandle < 0) throw EABSException(10105, "Cannot open file. FileName = %s, Mode = %d", {FileName, int{Mode}});
  }
}

TABSFileStream::~TABSFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TABSFileStream::Read(void* Buffer, int64_t Count) {
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::read(FHandle, static_cast<uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TABSFileStream::Write(const void* Buffer, int64_t Count) {
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::write(FHandle, static_cast<const uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TABSFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(FHandle, Offset, whence);
}

int64_t TABSFileStream::Size() {
  struct stat st;
  if (::fstat(FHandle, &st) != 0) return -1;
  return st.st_size;
}

void TABSFileStream::SetSize(int64_t NewSize) {
  const int64_t old = Position();
  if (NewSize < 0 || ::ftruncate(FHandle, NewSize) != 0)
    throw EStreamError(String("Cannot set the size of file ") + FFileName + ". " + std::strerror(errno));
  SetPosition(std::min(old, NewSize));
}

// ---- TABSTemporaryStream ----

TABSTemporaryStream::TABSTemporaryStream(bool DisableTempFiles)
    : FMemoryStream(new TABSMemoryStream()), FDisableTempFiles(DisableTempFiles) {}

TABSTemporaryStream::~TABSTemporaryStream() {
  delete FMemoryStream;
  delete FFileStream;
}

TStream& TABSTemporaryStream::Active() {
  if (FInMemory) return *FMemoryStream;
  return *FFileStream;
}

int64_t TABSTemporaryStream::Read(void* Buffer, int64_t Count) { return Active().Read(Buffer, Count); }
int64_t TABSTemporaryStream::Seek(int64_t Offset, TSeekOrigin Origin) { return Active().Seek(Offset, Origin); }
int64_t TABSTemporaryStream::Size() { return Active().Size(); }
void TABSTemporaryStream::SetSize(int64_t NewSize) { Active().SetSize(NewSize); }

int64_t TABSTemporaryStream::Write(const void* Buffer, int64_t Count) {
  if (!FInMemory) return FFileStream->Write(Buffer, Count);
  if (!FDisableTempFiles && FMemoryStream->Size() + Count > FMemoryLimit) {
    FFileName = GetTemporaryFileName();
    TABSFileStream* file = nullptr;
    try {
      file = new TABSFileStream(FFileName, ABSFileModeCreate, true);
    } catch (...) {
      ::unlink(FFileName.c_str());
      throw;
    }
    try {
      file->LoadFromStream(*FMemoryStream);
      file->SetPosition(FMemoryStream->Position());
    } catch (...) {
      delete file;
      throw;
    }
    delete FMemoryStream;
    FMemoryStream = nullptr;
    FFileStream = file;
    FInMemory = false;
    return FFileStream->Write(Buffer, Count);
  }
  return FMemoryStream->Write(Buffer, Count);
}

// ---- unit routines ----

String GetTemporaryFileName() {
  const char* dir = std::getenv("TMPDIR");
  String pattern = String(dir && *dir ? dir : "/tmp") + "/DAZXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) throw EABSException(10104, "Cannot create file. FileName = %s", {pattern});
  ::close(fd);
  return String(name.data());
}

void WriteToStreamChecked(const void* Buffer, int64_t Count, TStream& Stream, int NativeError) {
  WriteChecked(Buffer, Count, Stream, NativeError);
}

void ReadFromStreamChecked(void* Buffer, int64_t Count, TStream& Stream, int NativeError) {
  ReadChecked(Buffer, Count, Stream, NativeError);
}

void SetStreamPositionChecked(TStream& Stream, int NativeError, int64_t Position) {
  const int64_t old = Stream.Position();
  Stream.SetPosition(Position);
  if (Stream.Position() != Position)
    throw EABSException(NativeError, "Cannot set stream position to %d. Position = %d, Size = %d",
                        {Position, old, Stream.Size()});
}
