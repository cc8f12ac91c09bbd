#pragma once
// The in-memory engine: the process-wide database "MEMORY", whose tables keep
// their records in one array of fixed-size slots, their BLOBs in engine
// memory blocks and their index pages in a store of 4096-byte buffers.
//
// Every session of this database has session id 0 and every change is applied
// at once: there is no per-session unit of work and nothing to roll back
// (sessions refuse transactions on it).

#include <cstdint>
#include <vector>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimHandleTable.h"
#include "db/storage/VelqorimPage.h"

// Records in slots of one buffer; a record id is (slot, 0).
//
// A new record goes after the last live slot while the allocation has room
// there; only when it would grow does it take a free slot below, so a table
// that keeps taking and deleting records (a queue) stays within the room its
// live records need.
class TVelqorimMemoryRecordManager : public TVelqorimBaseRecordManager {
 public:
  // 10011 for size 0 (not at design time).
  TVelqorimMemoryRecordManager(int aRecordBufferSize, int aAllocRecordsBy);
  ~TVelqorimMemoryRecordManager() override;
  TVelqorimMemoryRecordManager(const TVelqorimMemoryRecordManager&) = delete;
  TVelqorimMemoryRecordManager& operator=(const TVelqorimMemoryRecordManager&) = delete;

  void Empty(int SessionID) override;
  bool AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) override;
  bool UpdateRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) override;
  bool DeleteRecord(int SessionID, TABSPageItemID& RecordID) override;
  void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo) override;
  int CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) override;
  int64_t GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) override;

  // 1-based number among the live slots in slot order; -1 beyond the allocation.
  int64_t RecNoOfSlot(int32_t Slot) const;
  // The slot of the RecNo-th live record (1 .. RecordCount); -1 when there is none.
  int32_t SlotOfRecNo(int64_t RecNo) const;
  bool IsLive(int32_t Slot) const;
  // The stored record of a live slot (borrowed), else nullptr.
  const uint8_t* StoredRecord(int32_t Slot) const;

  int32_t AllocatedRecordCount = 0;
  int32_t AllocRecordsBy;
  int32_t FirstRecordID = 0;
  int32_t LastRecordID = 0;
  bool NoRecordsDeleted = true;

 private:
  void Grow();
  int32_t FindFreeSlot();
  int32_t NextLive(int32_t From) const;   // first live slot above From, -1 when none up to LastRecordID
  int32_t PriorLive(int32_t From) const;  // last live slot below From, -1 when none down to FirstRecordID
  void SetDeleted(int32_t Slot, bool Value);

  uint8_t* FRecordBuffer = nullptr;
  uint8_t* FDeleteFlagBuffer = nullptr;  // bit n: slot n is free
  int32_t FFreeSearchStart = 0;          // byte where the search for a free slot goes on
  uint8_t FBitsTable[256];               // live slots (zero bits) per flag byte
};

// Index pages in 4096-byte buffers without page headers. Reading lends the
// store's buffer to the page, so changes land in place and the cache holds no
// copies; freed numbers are handed out again, lowest first.
class TVelqorimMemoryPageManager : public TVelqorimPageManager {
 public:
  TVelqorimMemoryPageManager();
  ~TVelqorimMemoryPageManager() override;

  void InternalAddPage(TVelqorimPage& aPage) override;
  void InternalRemovePage(int32_t PageNo) override;
  bool InternalReadPage(TVelqorimPage& aPage) override;
  void InternalWritePage(TVelqorimPage& aPage) override;
  // Counts, map and every page buffer; 10362..10368 on a short write.
  void SaveToStream(TStream& Stream) override;
  // The same form back; 10369..10375 on a short read.
  void LoadFromStream(TStream& Stream) override;

  int32_t AllocatedPageCount() const { return FAllocatedPageCount; }
  int32_t LastAllocatedPageNo() const { return FLastAllocatedPageNo; }
  bool IsAllocated(int32_t PageNo) const;

 private:
  void FreeBuffers();

  TABSBitsArray FAllocatedPageMap;
  int32_t FAllocatedPageCount = 0;
  int32_t FAllocateBy = 50;
  int32_t FLastAllocatedPageNo = -1;
  std::vector<uint8_t*> FDataPtrs;
};

// BLOB values of memory tables: the record slot holds a handle (index + 1 and
// a generation, 8 of the slot's bytes) into this table of compressed blocks,
// never an address. A stale or foreign handle is refused, not followed.
struct TVelqorimBlobBlock {
  int32_t NumBlocks = 0;
  int64_t UncompressedSize = 0;
  std::vector<uint8_t> Bytes;  // the compressed stream
};
class TVelqorimMemoryBlobTable : public TVelqorimHandleTable<TVelqorimBlobBlock, 32, 32> {
 public:
  using Block = TVelqorimBlobBlock;
};

class TVelqorimMemoryDatabaseData;

// What the tables of the process-wide engines ("MEMORY", "TEMP") share: every
// change is applied at once, so index changes commit as they are made unless
// the session is in a transaction, and a deleted table goes with its data.
class TVelqorimImmediateTableData : public TVelqorimTableData {
 public:
  using TVelqorimTableData::TVelqorimTableData;

  void CreateIndexManager(TVelqorimIndexDefs& IndexDefs) override;
  void DeleteTable(TVelqorimCursor* Cursor, bool DesignMode) override;
  void OpenTable(TVelqorimCursor* Cursor) override;
  void AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor) override;
  void DeleteIndex(int IndexID, TVelqorimCursor* Cursor) override;
  int64_t GetMaxBitmapRecNo(int SessionID) override;
  int64_t LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session) override;
  void FreeDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                          TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;

 protected:
  // Commits the index pages of a change unless the session is in a transaction.
  void Commit(const TVelqorimCursor* Cursor);
};

// The process-wide databases: object ids from a counter, and every table
// dropped with the database.
class TVelqorimImmediateDatabaseData : public TVelqorimDatabaseData {
 public:
  ~TVelqorimImmediateDatabaseData() override;
  int GetNewObjectId() override;

  int32_t LastObjectID = 0;
};

class TVelqorimMemoryTableData : public TVelqorimImmediateTableData {
 public:
  TVelqorimMemoryTableData(TVelqorimDatabaseData* aDatabaseData, int aAllocRecordsBy);
  ~TVelqorimMemoryTableData() override;

  void CreateRecordManager() override;
  void CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs) override;
  void CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                   TVelqorimConstraintDefs& ConstraintDefs) override;
  void EmptyTable(TVelqorimCursor* Cursor) override;
  int64_t GetBitmapRecNoByRecordID(TABSPageItemID RecordID) override { return RecordID.PageNo; }
  TABSPageItemID GetRecordIDByBitmapRecNo(int64_t RecNo) override { return {static_cast<int32_t>(RecNo), 0}; }
  void WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo, TABSStream& BLOBStream) override;
  void ClearBLOBFieldInRecordBuffer(uint8_t* RecordBuffer, int FieldNo) override;
  TABSStream* InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                       TABSBLOBOpenMode OpenMode) override;
  void GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  void SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  bool InsertRecord(TVelqorimCursor*& Cursor) override;
  bool DeleteRecord(TVelqorimCursor& Cursor) override;
  bool UpdateRecord(TVelqorimCursor& Cursor) override;
  void InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) override;
  int64_t InternalGetRecNo(TVelqorimCursor& Cursor) override;
  int64_t InternalGetRecordCount(TVelqorimCursor& Cursor) override;
  // Releases the blocks an abandoned edit of the record at Id wrote into Buffer
  // (those the stored record does not hold).
  void DiscardUnstoredBlobs(uint8_t* Buffer, TABSPageItemID Id);

  TVelqorimMemoryRecordManager& Records() const;
  const TVelqorimMemoryBlobTable& Blobs() const { return FBlobs; }
  TVelqorimMemoryPageManager& Pages() const { return *FPageManager; }

  int32_t LoadedRecordCount = 0;
  int32_t AllocRecordsBy;

 private:
  uint64_t BlobHandleOf(const uint8_t* RecordBuffer, int FieldNo) const;
  void SetBlobHandle(uint8_t* RecordBuffer, int FieldNo, uint64_t Handle);
  std::unique_ptr<TVelqorimMemoryPageManager> FPageManager;
  TVelqorimMemoryBlobTable FBlobs;
};

class TVelqorimMemoryDatabaseData : public TVelqorimImmediateDatabaseData {
 public:
  TVelqorimMemoryDatabaseData();
  void ConnectSession(TVelqorimBaseSession* Session) override;
  TVelqorimTableData* CreateTableData(TVelqorimCursor& Cursor) override;
};

// The session id of a cursor's session, -2 (the engine's own) without one.
int CursorSessionID(const TVelqorimCursor* Cursor);
bool CursorInTransaction(const TVelqorimCursor* Cursor);
