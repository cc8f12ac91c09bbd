#pragma once
// The database engine's streams: a base with a lock, copy block size,
// progress event and modified flag; a stream in engine memory; a file
// stream; and a temporary stream that moves to a temporary file once it
// outgrows its memory limit.

#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/rtl/Classes.h"

using TABSNoCancelProgressEvent = std::function<void(TObject* Sender, double PercentDone)>;

constexpr int ABSDefaultStreamBlockSize = 102400;
constexpr int ABSDefaultTemporaryStreamMemoryLimit = 1048576;
constexpr uint16_t ABSFileModeCreate = 0xFF00;  // create (or truncate) for read and write

class TABSStream : public TStream {
 public:
  TABSStream() = default;

  // The stream's own lock, for callers that share a stream between threads.
  virtual void Lock() { FCSect.lock(); }
  virtual void Unlock() { FCSect.unlock(); }

  // Copies this whole stream (from 0) to Stream at its position; both
  // positions are restored. 10418 for BlockSize 0, 10146/10147 for short transfers.
  void SaveToStream(TStream& Stream);
  void LoadFromStream(TStream& Stream);
  // Replaces the content with StreamSize bytes of Stream from FromPosition.
  // 10419 for BlockSize 0, 10148/10149 for short transfers.
  void LoadFromStreamWithPosition(TStream& Stream, int64_t FromPosition, int64_t StreamSize);
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);

  int BlockSize() const { return FBlockSize; }
  void SetBlockSize(int Value) { FBlockSize = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }

  TABSNoCancelProgressEvent OnProgress;

 protected:
  void DoProgress(double PercentDone);

  std::recursive_mutex FCSect;
  int FBlockSize = ABSDefaultStreamBlockSize;
  bool FModified = false;
};

// A stream in one engine memory block. Sizes and positions are 32-bit: a
// position before 0 or beyond 2147483647 is refused (the position stays),
// and bytes between the old end and a write past it read as zeros.
class TABSMemoryStream : public TABSStream {
 public:
  // With Buffer (an engine memory block) the stream adopts it whole; else
  // with DefaultAllocatedSize > 0 it reserves that capacity.
  explicit TABSMemoryStream(uint8_t* Buffer = nullptr, int DefaultAllocatedSize = 0);
  ~TABSMemoryStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FBufferSize; }
  void SetSize(int64_t NewSize) override;

  uint8_t* Buffer() const { return FBuffer; }
  int AllocatedBufferSize() const { return FAllocatedBufferSize; }

 private:
  uint8_t* FBuffer = nullptr;
  int32_t FBufferSize = 0;
  int32_t FAllocatedBufferSize = 0;
  int32_t FPosition = 0;
};

// A stream over a file. Mode ABSFileModeCreate creates the file; any other
// mode opens an existing one (low two bits: 0 read, 1 write, 2 both). A
// temporary file is removed from the folder as soon as it is open, so it
// disappears with the stream even when the process dies.
// 10104 "Cannot create file. FileName = %s", 10105 "Cannot open file. FileName = %s, Mode = %d".
class TABSFileStream : public TABSStream {
 public:
  TABSFileStream(const String& FileName, uint16_t Mode, bool IsTemporary = false);
  ~TABSFileStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;  // EStreamError when the file refuses

  int Handle() const { return FHandle; }
  const String& FileName() const { return FFileName; }
  uint16_t Mode() const { return FMode; }
  bool IsTemporary() const { return FIsTemporary; }

 private:
  int FHandle = -1;
  String FFileName;
  uint16_t FMode;
  bool FIsTemporary;
};

// Kept in memory until a write would take it past MemoryLimit, then moved
// once to a temporary file for good (unless DisableTempFiles).
class TABSTemporaryStream : public TABSStream {
 public:
  explicit TABSTemporaryStream(bool DisableTempFiles = false);
  ~TABSTemporaryStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;

  int MemoryLimit() const { return FMemoryLimit; }
  void SetMemoryLimit(int Value) { FMemoryLimit = Value; }
  bool InMemory() const { return FInMemory; }
  const String& FileName() const { return FFileName; }
  TABSMemoryStream* MemoryStream() const { return FMemoryStream; }
  TABSFileStream* FileStream() const { return FFileStream; }

 private:
  TStream& Active();

  int FMemoryLimit = ABSDefaultTemporaryStreamMemoryLimit;
  TABSMemoryStream* FMemoryStream = nullptr;
  TABSFileStream* FFileStream = nullptr;
  String FFileName;
  bool FInMemory = true;
  bool FDisableTempFiles;
};

// A new unique file in the user's temporary folder (created empty), named "DAZ...".
String GetTemporaryFileName();

// Exactly Count bytes or EABSException(NativeError, ...) naming position, size,
// Count and the bytes moved.
void WriteToStreamChecked(const void* Buffer, int64_t Count, TStream& Stream, int NativeError);
void ReadFromStreamChecked(void* Buffer, int64_t Count, TStream& Stream, int NativeError);
// Sets the position; EABSException(NativeError, ...) when it does not take.
void SetStreamPositionChecked(TStream& Stream, int NativeError, int64_t Position);
