#include "platform/rtl/Classes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream cannot change its size"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count > 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count > 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count <= 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, kChunk)));
  int64_t done = 0;
  while (done < Count) {
    int64_t n = std::min(Count - done, kChunk);
    Source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    done += n;
  }
  return done;
}

TBytes TStream::ReadBytes(int64_t Count) {
  TBytes out(static_cast<size_t>(std::max<int64_t>(0, Count)));
  out.resize(static_cast<size_t>(std::max<int64_t>(0, Read(out.data(), Count))));
  return out;
}

// ---------------------------------------------------------------------------
// THandleStream / TFileStream

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  const auto* p = static_cast<const uint8_t*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t THandleStream::Size() {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

void THandleStream::SetSize(int64_t NewSize) {
  int64_t pos = Position();
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError(Format("Stream size change failed. %s", {std::strerror(errno)}));
  if (pos > NewSize) Seek(0, soEnd);
}

TFileStream::TFileStream(const String& AFileName, uint16_t Mode) : THandleStream(-1), FFileName(AFileName) {
  if ((Mode & fmCreate) == fmCreate) {
    FHandle = ::open(AFileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", {AFileName, std::strerror(errno)}));
    return;
  }
  int access = (Mode & 3) == fmOpenWrite ? O_WRONLY : (Mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  FHandle = ::open(AFileName.c_str(), access | O_CLOEXEC);
  int err = errno;
  if (FHandle >= 0) {
    struct stat st {};
    if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(FHandle);
      FHandle = -1;
      err = EISDIR;
    }
  }
  if (FHandle < 0) throw EFOpenError(Format("Cannot open file \"%s\". %s", {AFileName, std::strerror(err)}));
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

// ---------------------------------------------------------------------------
// TMemoryStream / TStringStream

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition < 0 || FPosition >= Size()) return 0;
  int64_t n = std::min(Count, Size() - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  int64_t end = FPosition + Count;
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  FPosition = std::max<int64_t>(0, base + Offset);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(0, NewSize)));
  if (FPosition > Size()) FPosition = Size();
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  int64_t size = Stream.Size();
  TBytes data(static_cast<size_t>(std::max<int64_t>(0, size)));
  Stream.ReadBuffer(data.data(), size);
  FData.swap(data);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const String& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& Stream) { Stream.WriteBuffer(FData.data(), Size()); }

void TMemoryStream::SaveToFile(const String& FileName) {
  TFileStream file(FileName, fmCreate);
  SaveToStream(file);
}

TStringStream::TStringStream(std::string_view AString) { FData.assign(AString.begin(), AString.end()); }

String TStringStream::ReadString(int64_t Count) {
  TBytes bytes = ReadBytes(std::min(Count, Size() - Position()));
  return String(bytes.begin(), bytes.end());
}

