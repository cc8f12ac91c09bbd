#pragma once
// The database file: its fixed layout and the object through which the disk
// engine reads, writes, sizes and byte-locks it.
//
// File layout (little-endian, packed; O is 0, or where FindSignature finds
// the header of a database stored behind other bytes):
//   O        76 bytes   file header (signature "VELQORIMFILEHEAD", sizes, page counts, commit state)
//   O + 76   280 bytes  crypto header (cipher, enciphered control block and its CRC)
//   O + 356  20 bytes   lock bytes (free-space map, table catalogue, file header locks)
//   O + 376  4 bytes    last object id (its first byte locks object-id allocation)
//   O + 380 + n * PageSize: page n, each opening with a 40-byte page header.
// Share modes between processes are emulated with locks at ShareLockOffset,
// far beyond any page, so that they never cover bytes that are read or written.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/storage/VelqorimDbFile.h"
#include "db/support/DAZTypes.h"

constexpr char VelqorimSignature[] = "VELQORIMFILEHEAD";  // 16 bytes, stored without terminator
constexpr int VelqorimSignatureSize = 16;
constexpr double VelqorimFormatVersion = 7.8;
constexpr double VelqorimMinimalVersion = 2.99;  // older files need repair
constexpr uint8_t VelqorimChangesWritten = 2;    // WriteChangesState: every change written
constexpr uint8_t VelqorimCommitWriting = 1;     // WriteChangesState: a commit is writing pages

#pragma pack(push, 1)
struct TVelqorimDBHeader {
  char Signature[16];
  int16_t HeaderSize;
  double Version;
  uint16_t PageSize;
  uint16_t PageCountInExtent;
  int32_t TotalPageCount;
  int32_t LastUsedPageNo;
  int32_t State;  // commit counter
  uint8_t WriteChangesState;
  uint8_t Encrypted;  // non-zero: the database has a password
  uint8_t Reserved[32];
};
struct TVelqorimCryptoHeader {
  int16_t CryptoHeaderSize;
  uint8_t CryptoAlgorithm;
  uint8_t CryptoMode;
  uint8_t ControlBlock[256];
  uint32_t ControlBlockCRC;
  uint8_t Reserverd[16];
};
struct TVelqorimLockedBytes {
  int16_t LockedByteSize;
  uint8_t FSMByte;
  uint8_t TablesByte;
  uint8_t DBHeaderByte;
  uint8_t Reserved[15];
};
struct TVelqorimDiskPageHeader {
  char Signature[4];  // "VLQP" (laid out by page initialisation) or "VLQ1" (written empty)
  int32_t State;      // version stamp; 0x7FFFFFFF marks a freed page
  uint16_t PageType;
  int32_t NextPageNo;
  uint32_t CRC32;
  uint8_t CRCType;
  uint8_t HashType;
  uint8_t Cipherype;
  uint8_t MACType;
  int32_t ObjectID;
  TABSPageItemID RecordID;
  uint8_t Reserved[8];
};
#pragma pack(pop)
static_assert(sizeof(TVelqorimDBHeader) == 76);
static_assert(sizeof(TVelqorimCryptoHeader) == 280);
static_assert(sizeof(TVelqorimLockedBytes) == 20);
static_assert(sizeof(TVelqorimDiskPageHeader) == 40);

constexpr int64_t VelqorimCryptoHeaderOffset = 76;
constexpr int64_t VelqorimLockedBytesOffset = 356;
constexpr int64_t VelqorimFSMLockOffset = 358;
constexpr int64_t VelqorimTablesLockOffset = 359;
constexpr int64_t VelqorimDBHeaderLockOffset = 360;
constexpr int64_t VelqorimLastObjectIDOffset = 376;
constexpr int64_t VelqorimFirstPageOffset = 380;
constexpr int32_t VelqorimFreedPageState = 0x7FFFFFFF;

// The header area of a new database file: header, crypto header, lock bytes
// and last object id (0), as 380 bytes.
std::vector<uint8_t> NewDatabaseFileHeader(uint16_t PageSize, uint16_t PageCountInExtent);

enum TVelqorimPageType : uint16_t {
  ptUnknown, ptEmpty, ptEAM, ptPFS, ptFileSystemDirectory, ptActiveSessionList, ptTableList, ptTableLocks,
  ptTableMetaData, ptTableMostUpdated, ptTableRecord, ptTableBlob, ptTableIndex
};
// 30382 above the last type.
String GetPageTypeName(uint16_t PageType);
// NativeErrorCode with both names when Found differs from Expected.
void CheckPageType(uint16_t Found, uint16_t Expected, int NativeErrorCode);

// The counts and sleeps of every retry loop of the engine, with the values the
// engine uses; contention tests shrink them instead of waiting.
struct TVelqorimRetryConfig {
  int ReopenTryCount = 3;
  int ReopenDelayMS = 1000;
  int LockTryCount = 20;  // table and catalogue locks
  int LockDelayMS = 50;
  int LongLockTryCount = 900;  // waits for another process's commit
  int LongLockDelayMS = 100;
  int ShortLockTryCount = 4500;  // file header, session slots, a table's lock mutex
  int ShortLockDelayMS = 20;
  int TablesLockTryCount = 200;  // the table catalogue
  int TablesLockDelayMS = 20;
  int OpenTableTryCount = 50;
  int OpenTableDelayMS = 100;
  int ReadLockTryCount = 2250;  // a reader's shared table lock
  int ReadLockDelayMS = 40;
  int WriteLockTryCount = 1125;  // an UPDATE's or DELETE's write lock on its table
  int WriteLockDelayMS = 80;
  int SelectLockTryCount = 900;  // the read locks of a SELECT's tables
  int SelectLockDelayMS = 100;
};
TVelqorimRetryConfig& RetryConfig();

// Up to TryCount calls; a sleep of DelayMS after every failed one.
bool RetryOperation(int TryCount, int DelayMS, const std::function<bool()>& Operation);
// The errors after which a file handle is not to be trusted (lost media,
// lost network share, bad handle): EACCES, EPERM, EBADF, EIO, ENXIO, ESTALE,
// ENOTCONN, ECONNRESET, ENETDOWN, ENETUNREACH, EHOSTUNREACH.
bool IsCriticalFileError(int Errno);

enum TVelqorimAccessMode : uint8_t { amReadOnly, amReadWrite };
enum TVelqorimShareMode : uint8_t { smExclusive, smShareDenyNone, smShareDenyWrite };

// Offsets of the share-mode locks: every open holds a shared lock on the
// first, an exclusive open an exclusive one; writers and deny-writers mark
// themselves on the next two bytes.
constexpr int64_t ShareLockOffset = int64_t{1} << 62;
constexpr int64_t ShareWriterOffset = ShareLockOffset + 1;
constexpr int64_t ShareDenyWriteOffset = ShareLockOffset + 2;

// While set, the engine opens database files only around each access.
extern bool DesignTimeFlag;

class TVelqorimDatabaseFile {
 public:
  TVelqorimDatabaseFile();
  ~TVelqorimDatabaseFile();
  TVelqorimDatabaseFile(const TVelqorimDatabaseFile&) = delete;
  TVelqorimDatabaseFile& operator=(const TVelqorimDatabaseFile&) = delete;

  // Replaces an existing file (read-only ones too) and opens it exclusively.
  void CreateAndOpenFile(const String& FileName);
  // 30364 when the file cannot be opened or the share modes of other
  // handles (in any process) refuse this one.
  void OpenFile(const String& FileName, TVelqorimAccessMode AccessMode, TVelqorimShareMode ShareMode);
  void CloseFile();
  // Deletes this object's file; refused (30362) while any handle has it open.
  void DeleteFile();
  // Renames atomically, replacing a file of the new name only when asked; 30378 on failure.
  static void RenameFile(const String& OldFileName, const String& NewFileName, bool Replace = true);
  void OpenFileForDesignTime();
  void CloseFileForDesignTime();
  bool ReopenDatabaseFile();

  // Exactly Count bytes or ErrorCode; a read past the end is an error too.
  void ReadBuffer(void* Buffer, int64_t Count, int64_t Position, int ErrorCode);
  bool ReadBuffer(void* Buffer, int64_t Count, int64_t Position);
  void WriteBuffer(const void* Buffer, int64_t Count, int64_t Position, int ErrorCode);
  // Data to stable storage (metadata too when the size changed).
  void FlushFileBuffers();

  // Exclusive, never waiting, never nesting within this object: a lock that
  // overlaps one this object holds fails, and an unlock must name a range
  // exactly as it was locked. A failure with a critical error is a failure
  // (WasCriticalError tells it apart) and leads to a reopen attempt.
  bool LockByte(int64_t Offset, int Count);
  bool UnlockByte(int64_t Offset, int Count);
  // True when any handle holds a lock on the range, this object included.
  bool IsByteLocked(int64_t Offset) { return IsRegionLocked(Offset, 1); }
  bool IsRegionLocked(int64_t Offset, int Count);
  // The offset of the file header: 0, or behind other bytes.
  bool FindSignature(int64_t& Offset);

  int64_t GetSize();
  void SetSize(int64_t Value);
  // The last size this handle saw when that is at least Bytes, else the
  // file's size now: checks that only need "the file is this long" ask
  // the system once, not at every call.
  int64_t SizeAtLeast(int64_t Bytes);
  int64_t Position() const { return FPosition; }
  void SetPosition(int64_t Value);
  const String& FileName() const { return FFileName; }
  bool IsOpened() const { return FIsOpened; }
  TVelqorimAccessMode AccessMode() const { return FAccessMode; }
  TVelqorimShareMode ShareMode() const { return FShareMode; }
  bool WasCriticalError() const { return FWasCriticalError; }
  void ClearCriticalError() { FWasCriticalError = false; }
  // Whether a write, flush or size change ever failed on this object,
  // whatever its caller made of the error.
  bool HadWriteError() const { return FHadWriteError; }
  int DesignOpenCount = 0;

 private:
  int64_t FSizeSeen = -1;
  void CheckOpened(const char* Operation) const;
  void CheckClosed(const char* Operation) const;
  // Opens the handle and takes the share-mode locks; 0 or an errno.
  int OpenHandle(bool Create);
  void CloseHandle();
  bool TryRead(void* Buffer, int64_t Count, int64_t Position, int& Error);
  bool OverlapsHeld(int64_t Offset, int64_t Count) const;

  String FFileName;
  TVelqorimAccessMode FAccessMode = amReadWrite;
  TVelqorimShareMode FShareMode = smShareDenyNone;
  std::unique_ptr<DbFile> FHandle;
  bool FIsOpened = false;
  bool FWasCriticalError = false;
  bool FHadWriteError = false;
  int64_t FPosition = 0;
  struct THeldRange {
    int64_t Offset;
    int64_t Count;
  };
  std::vector<THeldRange> FHeld;  // byte locks this object holds
};
