#pragma once
// One table of a database file. Its three page-files are listed in the table
// catalogue: the metadata (page type 8), the most-updated state (type 9) and
// the lock bytes. Records live on record pages, BLOBs on BLOB pages, indexes
// on index pages of the database; temporary indexes in a private page store.
//
// Metadata page-file content, zlib-compressed, in this order:
//   field definitions | index definitions | constraint definitions (their stream forms)
//   i32 root page of the record-page tree | i32 root page of the BLOB-page tree
// Most-updated page-file content, plain, little-endian:
//   i32 n | n x i64 last autoincrement values | i32 table state | i32 record count (low 32 bits)
//
// Table-level changes (create, delete, rename, rename field) commit at once in
// the engine's own session; record and index changes follow the session's
// transaction. In a multi-user database every read runs under a shared table
// lock after reloading the most-updated state, so another process's commit
// is seen; a single-user reader that shares the file with writers reloads it
// too (its page cache checks every page against the file). Between the
// sessions of one single-user database, the counters in memory are reloaded
// whenever another session than the last one works with the table, so that
// each sees its own uncommitted changes and no other's.

#include <atomic>
#include <cstdint>
#include <memory>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimDiskBlobs.h"
#include "db/storage/VelqorimDiskCatalog.h"
#include "db/storage/VelqorimDiskLocks.h"
#include "db/storage/VelqorimDiskRecords.h"

class TVelqorimDiskDatabaseData;
class TVelqorimTemporaryPageManager;

class TVelqorimDiskTableData : public TVelqorimTableData {
 public:
  explicit TVelqorimDiskTableData(TVelqorimDiskDatabaseData* aDatabaseData);
  ~TVelqorimDiskTableData() override;

  void CreateRecordManager() override;
  void CreateIndexManager(TVelqorimIndexDefs& IndexDefs) override;
  void CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs) override;
  // The temporary page store commits (or drops) with every call, in a transaction too.
  void ApplyChanges(int SessionID, bool InTransaction) override;
  void CancelChanges(int SessionID, bool InTransaction) override;
  // 20128 without fields. A failure leaves the file and the catalogue as they were.
  void CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                   TVelqorimConstraintDefs& ConstraintDefs) override;
  // The catalogue entry goes even when freeing the table's pages fails; that
  // failure is raised afterwards.
  void DeleteTable(TVelqorimCursor* Cursor, bool DesignMode) override;
  void EmptyTable(TVelqorimCursor* Cursor) override;
  void RenameTable(const String& NewTableName, TVelqorimCursor* Cursor) override;
  // 20242 exclusive while other cursors have it; 20208 / 20209 when the
  // exclusive or shared table lock cannot be had.
  void OpenTable(TVelqorimCursor* Cursor) override;
  void CloseTable(TVelqorimCursor* Cursor) override;
  void RenameField(const String& FieldName, const String& NewFieldName) override;
  void AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor) override;
  void DeleteIndex(int IndexID, TVelqorimCursor* Cursor) override;
  int64_t GetMaxBitmapRecNo(int SessionID) override;
  int64_t GetBitmapRecNoByRecordID(TABSPageItemID RecordID) override;
  TABSPageItemID GetRecordIDByBitmapRecNo(int64_t RecNo) override;
  void ClearBlobsCacheInRecordBuffer(uint8_t* Buffer) override;
  TABSGetRecordResult GetRecordBuffer(TVelqorimCursor& Cursor, TABSGetRecordMode GetRecordMode) override;
  bool Locate(TVelqorimCursor& Cursor, TABSBaseExpression* SearchExpression) override;
  bool FindKey(TVelqorimCursor& Cursor, TABSSearchCondition SearchCondition) override;
  void WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo, TABSStream& BLOBStream) override;
  void ClearBLOBFieldInRecordBuffer(uint8_t* RecordBuffer, int FieldNo) override;
  TABSStream* InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                       TABSBLOBOpenMode OpenMode) override;
  // The data handed out belongs to the field's cache in RecordBuffer; Free drops that cache.
  void GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  void SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  void FreeDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                          TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) override;
  // A change that fails half-way is dropped (outside a transaction), so that
  // the next commit does not store half a record.
  bool InsertRecord(TVelqorimCursor*& Cursor) override;
  bool DeleteRecord(TVelqorimCursor& Cursor) override;
  bool UpdateRecord(TVelqorimCursor& Cursor) override;
  void SetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) override;
  int64_t GetRecNo(TVelqorimCursor& Cursor) override;
  void InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) override;
  int64_t InternalGetRecNo(TVelqorimCursor& Cursor) override;
  int64_t InternalGetRecordCount(TVelqorimCursor& Cursor) override;
  int64_t LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session) override;
  void Rollback(int SessionID) override;

  // Frees this object when no cursor has the table open; true when it did.
  bool FreeIfNoCursorsConnected();
  // 20176 without the page-file.
  void LoadMostUpdated(int SessionID);
  void ClearModifiedBLOBFieldsInRecordBuffer(uint8_t* RecordBuffer);
  // Before a change of the cursor's session: in single-user mode the table
  // becomes the session's to change (20225 while another session holds
  // uncommitted changes of it) and the counters in memory its own.
  void BeginChange(TVelqorimCursor& Cursor);
  // A session committed: counters in memory that another session loaded are stale.
  void ChangesCommitted(int SessionID);
  // Table and record locks between processes; in a database that is not
  // multi-user they do nothing and succeed.
  bool LockTable(int SessionID, TABSLockType LockType, int TryCount, int Delay, bool AllowXIRWAfterSIRW);
  bool UnlockTable(int SessionID, TABSLockType LockType, bool IgnoreIfNoLock);
  bool LockRecord(int SessionID, TABSPageItemID RecordID, int TryCount, int Delay);
  bool UnlockRecord(int SessionID, TABSPageItemID RecordID);
  bool IsRecordLocked(int SessionID, TABSPageItemID RecordID);
  bool MultiUser() const { return DatabaseData->MultiUser; }

  TVelqorimDiskRecordManager& Records() const { return static_cast<TVelqorimDiskRecordManager&>(*RecordManager); }

  int32_t TableID = -1;
  std::unique_ptr<TVelqorimTableLocksFile> TableLocksFile;
  std::unique_ptr<TVelqorimInternalDBTransactedAccessFile> TableMetadataFile;
  std::unique_ptr<TVelqorimInternalDBTransactedAccessFile> TableMostUpdatedFile;
  std::unique_ptr<TVelqorimDiskBlobManager> BlobManager;
  std::unique_ptr<TVelqorimTemporaryPageManager> TemporaryPageManager;
  bool Exclusive = false;
  bool IsChangingTableList = false;
  int32_t LastUsedTableState = -1;

 private:
  class TReadView;
  TVelqorimDiskDatabaseData& Disk() const;
  TVelqorimDiskPageManager* DiskPages() const;
  void SaveMetadata(int SessionID);
  void LoadMetadata(int SessionID);
  void SaveMostUpdated(int SessionID);
  void RepairLoad(int SessionID);
  // The managers and page-file objects of an open table go (not its pages).
  void ReleaseTable();
  void SynchronizeTemporaryIndexes(TVelqorimCursor& Cursor);
  // Single-user: reloads the counters when another session than SessionID
  // loaded or stored them last; true when it did.
  bool FollowSession(int SessionID);
  // The same for the cursor's session, temporary indexes caught up after a reload.
  void FollowSession(TVelqorimCursor& Cursor);
  // Ends a record change: saves the state and commits unless in a batch or a transaction.
  void FinishChange(TVelqorimCursor& Cursor);
  // Drops what a failed record change left in the session, and the counts with it.
  void UndoChange(TVelqorimCursor& Cursor);
  template <class Change>
  bool RunChange(TVelqorimCursor& Cursor, Change&& Apply);
  // Runs Read under the view refresh; false when the shared lock cannot be had.
  template <class Read>
  bool WithFreshView(TVelqorimCursor& Cursor, Read&& Apply);

  // The session whose view of the table the counters in memory hold; -1 none.
  // A commit clears it without the table's lock, which its holder may be waiting on the database for.
  std::atomic<int> FStateSessionID{-1};
};
