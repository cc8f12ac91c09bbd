#pragma once
// The temporary engine: the process-wide database "TEMP" of append-only work
// tables. Records and index pages stay in memory up to a tenth of the free
// memory measured when the table is made, the rest goes to temporary files
// that vanish when closed; BLOBs go to one append-only stream per table.
//
// Like "MEMORY", every session has id 0 and every change is applied at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimPage.h"

// Free memory in bytes as the engine sees it, clamped to 0 .. INT32_MAX.
// Tests replace the source to force spilling with small limits.
extern std::function<int64_t()> VelqorimFreeMemorySource;
int64_t VelqorimFreeMemory();

// A temporary file in TMPDIR (else the system's temporary folder) without a
// name: O_TMPFILE, or a unique name removed at once where that is refused.
// 10104 when no file can be made.
class TVelqorimSpillFile {
 public:
  TVelqorimSpillFile();
  ~TVelqorimSpillFile();
  TVelqorimSpillFile(const TVelqorimSpillFile&) = delete;
  TVelqorimSpillFile& operator=(const TVelqorimSpillFile&) = delete;

  // Exactly Count bytes at Position, else EABSException(Code).
  void WriteAt(int64_t Position, const void* Buffer, int64_t Count, int Code);
  void ReadAt(int64_t Position, void* Buffer, int64_t Count, int Code);
  int64_t Size() const;
  void SetSize(int64_t Value);

  // Spill files open in the process (tests watch files appear and go).
  static std::atomic<int> OpenCount;

 private:
  int FHandle = -1;
};

// Records appended in ordinal order; an id holds the 48-bit ordinal (PageNo
// the low 32 bits, PageItemNo the high 16). Update and delete refuse.
class TVelqorimTemporaryRecordManager : public TVelqorimBaseRecordManager {
 public:
  // 10124 for size 0.
  TVelqorimTemporaryRecordManager(int aRecordBufferSize, int aRecordsPerPage, int aAllocRecordsBy,
                                  bool aDisableTempFiles);
  ~TVelqorimTemporaryRecordManager() override;
  TVelqorimTemporaryRecordManager(const TVelqorimTemporaryRecordManager&) = delete;
  TVelqorimTemporaryRecordManager& operator=(const TVelqorimTemporaryRecordManager&) = delete;

  void Empty(int SessionID) override;
  bool AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) override;
  bool UpdateRecord(int, const uint8_t*, TABSPageItemID) override { return false; }
  bool DeleteRecord(int, TABSPageItemID&) override { return false; }
  void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo) override;
  int CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) override;
  int64_t GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) override;

  static int64_t OrdinalOf(TABSPageItemID RecordID);
  static TABSPageItemID IdOf(int64_t Ordinal);
  bool Spilled() const { return FFile != nullptr; }

  int32_t RecordsPerPage;
  int32_t CachedRecordCount = 0;
  int32_t AllocatedRecordCount = 0;
  int32_t MaxCachedRecordCount;
  int32_t AllocRecordsBy;
  bool DisableTempFiles;

 private:
  void FlushTempPage();
  void ReadRecord(int64_t Ordinal, uint8_t* Buffer);

  uint8_t* FCache = nullptr;
  std::vector<uint8_t> FTempPage;  // the last spilled records, not yet written
  int32_t FTempPageRecordCount = 0;
  std::unique_ptr<TVelqorimSpillFile> FFile;
};

// Index pages: memory pages up to a limit, then pages of a spill file.
// Numbers below the limit are memory pages (unless spilling is disabled, when
// every page is); freed numbers of both kinds are handed out again.
class TVelqorimTemporaryPageManager : public TVelqorimPageManager {
 public:
  explicit TVelqorimTemporaryPageManager(bool aDisableTempFiles);
  ~TVelqorimTemporaryPageManager() override;

  void InternalAddPage(TVelqorimPage& aPage) override;
  void InternalRemovePage(int32_t PageNo) override;
  bool InternalReadPage(TVelqorimPage& aPage) override;
  void InternalWritePage(TVelqorimPage& aPage) override;

  bool IsFilePage(int32_t PageNo) const { return !DisableTempFiles && PageNo >= MaxMemoryPageCount; }
  bool Spilled() const { return FFile != nullptr; }
  int64_t SpillFileSize() const;

  int32_t MaxMemoryPageCount;
  bool DisableTempFiles;

 private:
  int64_t FileOffset(int32_t PageNo) const { return int64_t{PageNo - MaxMemoryPageCount} * PageSize; }

  TABSBitsArray FFilePageMap;  // bit n: file page MaxMemoryPageCount + n is allocated
  std::unique_ptr<TVelqorimSpillFile> FFile;
  TVelqorimMemoryPageManager FMemoryPages;
};

class TVelqorimTemporaryTableData : public TVelqorimImmediateTableData {
 public:
  TVelqorimTemporaryTableData(TVelqorimDatabaseData* aDatabaseData, int aRecordsPerPage, int aAllocRecordsBy);
  ~TVelqorimTemporaryTableData() override;

  void CreateRecordManager() override;
  void CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                   TVelqorimConstraintDefs& ConstraintDefs) override;
  void EmptyTable(TVelqorimCursor* Cursor) override;
  int64_t GetBitmapRecNoByRecordID(TABSPageItemID RecordID) override;
  TABSPageItemID GetRecordIDByBitmapRecNo(int64_t RecNo) override;
  void WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo, TABSStream& BLOBStream) override;
  TABSStream* InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                       TABSBLOBOpenMode OpenMode) override;
  void GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  void SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  bool InsertRecord(TVelqorimCursor*& Cursor) override;
  bool DeleteRecord(TVelqorimCursor&) override { return false; }
  bool UpdateRecord(TVelqorimCursor&) override { return false; }
  void InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) override;
  int64_t InternalGetRecNo(TVelqorimCursor& Cursor) override;
  int64_t InternalGetRecordCount(TVelqorimCursor& Cursor) override;

  TVelqorimTemporaryRecordManager& Records() const;
  TVelqorimTemporaryPageManager* Pages() const { return FPageManager.get(); }
  TABSStream* BLOBFile() const { return FBLOBFile.get(); }

  int32_t RecordsPerPage;
  int32_t AllocRecordsBy;

 private:
  void CreateBLOBFile();
  int64_t BlobPositionOf(const uint8_t* RecordBuffer, int FieldNo) const;
  void SetBlobPosition(uint8_t* RecordBuffer, int FieldNo, int64_t Position);
  // Appends a descriptor and its bytes; returns the entry's position.
  int64_t AppendBlob(const TABSPartialTemporaryBLOBDescriptor& Descriptor, TStream& Bytes, int64_t From);
  TABSPartialTemporaryBLOBDescriptor ReadBlobDescriptor(int64_t Position, int SeekCode, int ReadCode);

  std::unique_ptr<TVelqorimTemporaryPageManager> FPageManager;
  std::unique_ptr<TABSStream> FBLOBFile;
};

class TVelqorimTemporaryDatabaseData : public TVelqorimImmediateDatabaseData {
 public:
  TVelqorimTemporaryDatabaseData();
  TVelqorimTableData* CreateTableData(TVelqorimCursor& Cursor) override;
};
