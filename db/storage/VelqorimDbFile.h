#pragma once
// The one door of the database engine to its files: a small interface over
// positioned reads and writes, sizing, syncing and open-file-description
// byte locks, with the system implementation and a fault-injecting one for
// tests (short transfers, EIO, ENOSPC, a process that dies after N writes).
// Every call answers 0 or a positive errno; nothing here raises.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/SysUtils.h"

class DbFile {
 public:
  virtual ~DbFile() = default;

  // Opens (O_CREAT | O_TRUNC with Create); read-write where the file allows
  // it, so that even a reader can take exclusive byte locks.
  virtual int Open(const String& FileName, bool Create, bool ReadOnly) = 0;
  virtual int Close() = 0;
  virtual bool IsOpen() const = 0;
  // Transfers up to Count bytes at Position; Done receives what moved.
  virtual int Read(void* Buffer, int64_t Count, int64_t Position, int64_t& Done) = 0;
  virtual int Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) = 0;
  virtual int GetSize(int64_t& Size) = 0;
  virtual int SetSize(int64_t Size) = 0;
  virtual int Sync(bool DataOnly) = 0;
  // Exclusive (Write) or shared lock of Count bytes at Offset; never waits.
  // EAGAIN when another open file description holds a conflicting lock.
  virtual int Lock(int64_t Offset, int64_t Count, bool Write) = 0;
  virtual int Unlock(int64_t Offset, int64_t Count) = 0;
  // Whether another open file description holds a lock that a lock of this
  // kind would conflict with (this one's own locks never count).
  virtual int TestLock(int64_t Offset, int64_t Count, bool Write, bool& Conflict) = 0;
  // Whether the handle could take exclusive locks (opened for writing).
  virtual bool CanLockExclusive() const = 0;
};

// The system file: pread/pwrite and F_OFD_* locks.
class PosixDbFile : public DbFile {
 public:
  ~PosixDbFile() override;
  int Open(const String& FileName, bool Create, bool ReadOnly) override;
  int Close() override;
  bool IsOpen() const override { return FHandle >= 0; }
  int Read(void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override;
  int Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override;
  int GetSize(int64_t& Size) override;
  int SetSize(int64_t Size) override;
  int Sync(bool DataOnly) override;
  int Lock(int64_t Offset, int64_t Count, bool Write) override;
  int Unlock(int64_t Offset, int64_t Count) override;
  int TestLock(int64_t Offset, int64_t Count, bool Write, bool& Conflict) override;
  bool CanLockExclusive() const override { return FWritable; }

 private:
  int FHandle = -1;
  bool FWritable = false;
};

// Wraps a file and fails on command. Counters apply to the next transfers;
// every transfer is recorded so tests can see which bytes the engine touched.
class FaultyDbFile : public DbFile {
 public:
  explicit FaultyDbFile(std::unique_ptr<DbFile> Inner = std::make_unique<PosixDbFile>()) : FInner(std::move(Inner)) {}

  struct Transfer {
    bool IsWrite;
    int64_t Position;
    int64_t Count;
  };
  std::vector<Transfer> Transfers;
  int ShortReadsLeft = 0;   // the next reads move half their bytes
  int ShortWritesLeft = 0;  // the next writes move half their bytes
  int ReadErrno = 0;        // the next reads fail with this error
  int WriteErrno = 0;       // the next writes fail with this error (EIO, ENOSPC ...)
  int LockErrno = 0;        // the next lock calls fail with this error
  int SizeErrno = 0;        // the next size queries fail with this error
  int WritesUntilDeath = -1;  // after this many more writes nothing reaches the file
  bool Dead() const { return WritesUntilDeath == 0; }

  int Open(const String& FileName, bool Create, bool ReadOnly) override {
    return FInner->Open(FileName, Create, ReadOnly);
  }
  int Close() override { return FInner->Close(); }
  bool IsOpen() const override { return FInner->IsOpen(); }
  int Read(void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override;
  int Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override;
  int GetSize(int64_t& Size) override;
  int SetSize(int64_t Size) override { return Dead() ? 0 : FInner->SetSize(Size); }
  int Sync(bool DataOnly) override { return Dead() ? 0 : FInner->Sync(DataOnly); }
  int Lock(int64_t Offset, int64_t Count, bool Write) override {
    return LockErrno != 0 ? LockErrno : FInner->Lock(Offset, Count, Write);
  }
  int Unlock(int64_t Offset, int64_t Count) override {
    return LockErrno != 0 ? LockErrno : FInner->Unlock(Offset, Count);
  }
  int TestLock(int64_t Offset, int64_t Count, bool Write, bool& Conflict) override {
    return FInner->TestLock(Offset, Count, Write, Conflict);
  }
  bool CanLockExclusive() const override { return FInner->CanLockExclusive(); }

 private:
  std::unique_ptr<DbFile> FInner;
};

// Makes the file object of every database file the engine opens. Tests
// install one that hands out fault-injecting files.
using TDbFileFactory = std::function<std::unique_ptr<DbFile>()>;
void SetDbFileFactory(TDbFileFactory Factory);  // empty: the system file
std::unique_ptr<DbFile> NewDbFile();
