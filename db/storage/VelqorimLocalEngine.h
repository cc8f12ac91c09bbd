#pragma once
// The in-process engine: the cursor that works on the table data of its
// session's database, the session that attaches to "MEMORY", "TEMP" or a disk
// database, the process-wide list of open databases, and the BLOB stream the
// cursor hands out.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/support/DAZCompressedBLOB.h"

// A BLOB of the current record as a stream of its uncompressed bytes, over a
// compressed stream in a work stream of its own (both owned). Read-mode
// streams refuse writes (10115) and resizing (10116). Writing does not mark
// the stream modified: the dataset-level stream does, and only modified
// streams are written back into the record.
class TVelqorimLocalBLOBStream : public TABSStream {
 public:
  TVelqorimLocalBLOBStream(std::unique_ptr<TABSStream> WorkStream, const TABSBLOBDescriptor& Descriptor,
                           bool ToCreate, TVelqorimCursor* aCursor, TABSBLOBOpenMode aOpenMode, int aFieldNo);
  ~TVelqorimLocalBLOBStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;

  TABSCompressedBLOBStream& Compressed() const { return *FCompressed; }
  TABSStream& WorkStream() const { return *FWorkStream; }

  TABSBLOBOpenMode OpenMode;
  TObject* UserBLOBStream = nullptr;  // the dataset-level wrapper; set and cleared by it
  int32_t FieldNo;
  TVelqorimCursor* Cursor;
  int64_t Position = 0;

 private:
  std::unique_ptr<TABSStream> FWorkStream;
  std::unique_ptr<TABSCompressedBLOBStream> FCompressed;
};

// The process-wide list of open databases. Every reader and writer holds its
// lock; a database leaves it as it is destroyed.
class TVelqorimDatabaseDataList {
 public:
  TVelqorimDatabaseDataList();
  ~TVelqorimDatabaseDataList();
  TVelqorimDatabaseDataList(const TVelqorimDatabaseDataList&) = delete;
  TVelqorimDatabaseDataList& operator=(const TVelqorimDatabaseDataList&) = delete;

  void Lock() { FLock.lock(); }
  void Unlock() { FLock.unlock(); }
  void Add(TVelqorimDatabaseData* Data);
  void Remove(TVelqorimDatabaseData* Data);
  int Count();
  TVelqorimDatabaseData* Get(int Index);
  // Frees every entry, first to last.
  void FreeAll();

 private:
  std::recursive_mutex FLock;
  std::vector<TVelqorimDatabaseData*> FItems;
};

// The list the process works with; nullptr before start-up and after shutdown.
extern TVelqorimDatabaseDataList* DatabaseDataList;

// Makes the database data of a disk database for a session (set by the disk
// engine); unset, sessions can only open "MEMORY" and "TEMP".
class TVelqorimLocalSession;
class TVelqorimDiskDatabaseData;
class TVelqorimDiskTableData;
extern std::function<TVelqorimDatabaseData*(TVelqorimLocalSession& Session)> DiskDatabaseDataFactory;

class TVelqorimLocalSession : public TVelqorimBaseSession {
 public:
  ~TVelqorimLocalSession() override;

  bool GetConnected() override { return DatabaseData != nullptr; }
  void SetConnected(bool Value) override;
  // A disk database's flag; false for the others.
  bool GetSuppressDBHeaderErrors() override;
  void SetSuppressDBHeaderErrors(bool Value) override;
  // Only disk databases are created; 20092 when the database is open.
  void CreateDatabase() override;
  void DeleteDatabase() override {}
  void RenameDatabase(const String& NewDatabaseFileName) override { (void)NewDatabaseFileName; }
  void GetTablesList(TStrings& List) override;
  bool TableExists(const String& TableName) override;
  // "MEMORY" and "TEMP" apply every change at once and cannot undo one, so
  // they refuse a transaction (20300) rather than claim one that a rollback
  // could not honour.
  void StartTransaction() override;
  // 20229 outside a transaction.
  void Commit(bool DoFlushBuffers) override;
  void Rollback() override;
  void FlushBuffers() override;
  // A disk database's; nothing and 0 for the others.
  void TruncateDatabase();
  int GetDBFileConnectionsCount();
  TVelqorimDiskDatabaseData* DiskDatabase() const;

  // The database data of the session's name (find only, or find or create).
  TVelqorimDatabaseData* FindDatabaseData(bool Create);
  bool IsProcessWideDatabase() const { return DatabaseName == "MEMORY" || DatabaseName == "TEMP"; }

  TVelqorimDatabaseData* DatabaseData = nullptr;
  TABSPassword Password;
  int32_t PageSize = 4096;
  int32_t PageCountInExtent = 16;
};

// A cursor on a table of its session's database.
//
// ErrorCode after edit, post and delete: 0 done; -1 / -2 / -3 the table did not
// insert / update / delete; -4 / -5 the stored record changed since the edit
// began / differs from the cursor's copy; -6 / -7 the record is gone (post or
// edit / delete); -8 a constraint failed (ErrorMessage holds why); -9 / -10
// edit / delete in a temporary table; -12 record lock, -13 table lock refused.
class TVelqorimLocalCursor : public TVelqorimCursor {
 public:
  TVelqorimLocalCursor();
  ~TVelqorimLocalCursor() override;

  void CreateTable(TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                   TVelqorimConstraintDefs& ConstraintDefs) override;
  void DeleteTable() override;
  void EmptyTable() override;
  void RenameTable(const String& NewTableName) override;
  void InternalInitFieldDefs() override;
  void OpenTableByFieldDefs(TVelqorimFieldDefs* FieldDefs, TVelqorimIndexDefs* IndexDefs,
                            TVelqorimConstraintDefs* ConstraintDefs) override;
  void CloseTable() override;
  void LockTableData() override;
  void UnlockTableData() override;
  bool LockTable(TABSLockType LockType, int TryCount, int Delay, bool AllowXIRWAfterSIRW) override;
  bool UnlockTable(TABSLockType LockType, bool IgnoreIfNoLock) override;
  void RenameField(const String& FieldName, const String& NewFieldName) override;
  TVelqorimIndexDefs& GetIndexDefs() override;
  void AddIndex(TVelqorimIndexDef& IndexDef) override;
  void DeleteIndex(const String& Name) override;
  void DeleteAllIndexes() override;
  String FindOrCreateIndex(TStringList& FieldNamesList, TStringList& AscDescList, TStringList& CaseSensitivityList,
                           bool& IsCreated) override;
  bool IndexExists(TStringList& FieldNamesList, TStringList& AscDescList, TStringList& CaseSensitivityList) override;
  void CopyFieldValue(int SrcFieldNo, bool DirectAccess, int DestFieldNo, TVelqorimCursor& DestCursor) override;
  void InternalInitRecord(uint8_t* RecordBuffer, bool InsertMode) override;
  void FreeRecordBuffer(uint8_t*& Buffer) override;
  int64_t GetRecordCount() override;
  TABSGetRecordResult GetRecordBuffer(TABSGetRecordMode GetRecordMode) override;
  void SetRecNo(int64_t Value) override;
  int64_t GetRecNo() override;
  int CompareRecordsOrder(TABSPageItemID RecordID1, TABSPageItemID RecordID2) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalInsert() override {}
  void InternalEdit() override;
  void InternalCancel(bool ToInsert) override;
  void InternalPost(bool ToInsert) override;
  void InternalDelete() override;
  bool IsRecordLocked() override;
  void ApplyDistinct(TStringList& FieldNamesList, TStringList& AscDescList,
                     TStringList& CaseSensitivityList) override;
  void ActivateFilters(const String& FilterText, bool CaseInsensitive, bool PartialKey) override;
  void DeactivateFilters() override;
  bool Locate(const String& KeyFields, const std::vector<TABSVarData>& KeyValues, bool CaseInsensitive,
              bool PartialKey) override;
  bool FindKey(TABSSearchCondition SearchCondition) override;
  bool IsAnyRecordMatchCondition(const String& FieldName, TABSDataOperator Operator,
                                 const TABSVariant& Value) override;
  TABSStream* InternalCreateBlobStream(bool ToInsert, bool ToEdit, int FieldNo, TABSBLOBOpenMode OpenMode,
                                       bool CanDoGetRecordBuffer) override;
  void InternalCloseBLOB(int FieldNo) override;
  void ClearBLOBStreams(bool WriteOnly) override;
  int64_t LastAutoincValue(int FieldNo) override;
  void BeginBatchUpdate() override;
  void EndBatchUpdate() override;
  void CancelBatchUpdate() override;
  bool CheckConstraints(bool ToInsert) override;

  // Opens on a given table data, without looking it up.
  void OpenTable(TVelqorimTableData* aTableData);

  // Filter, locate and match expressions, parsed by the expression layer
  // (installed with its hooks); unset, these operations raise 30511.
  using TFilterFactory = std::function<std::unique_ptr<TABSBaseExpression>(
      TVelqorimCursor& Cursor, const String& Filter, bool CaseInsensitive, bool PartialKey)>;
  using TLocateFactory = std::function<std::unique_ptr<TABSBaseExpression>(
      TVelqorimCursor& Cursor, const String& KeyFields, const std::vector<TABSVarData>& KeyValues,
      bool CaseInsensitive, bool PartialKey)>;
  using TMatchFactory = std::function<std::unique_ptr<TABSBaseExpression>(
      TVelqorimCursor& Cursor, const String& FieldName, TABSDataOperator Operator, const TABSVariant& Value)>;
  static TFilterFactory FilterFactory;
  static TLocateFactory LocateFactory;
  static TMatchFactory MatchFactory;

  TVelqorimTableData* TableData = nullptr;
  TVelqorimDatabaseData* DatabaseData = nullptr;

 private:
  void RefreshDatabaseData();
  void LetGoOfHeldTables();
  void RefreshIndexDefs();
  bool IsTemporaryTable() const;
  // The open table when it is a disk table, else nullptr.
  TVelqorimDiskTableData* DiskTable() const;
  // A disk table of a multi-user session: its locks between processes apply.
  TVelqorimDiskTableData* SharedDiskTable() const;
  // Waits for a table lock by trying once per attempt and sleeping with the
  // table data's lock released in between.
  bool LockTableWaiting(TVelqorimDiskTableData& Table, TABSLockType LockType, int Attempts, int DelayMS);
  TABSPageItemID BookmarkRecordID(const uint8_t* Buffer) const;
  // Reads the stored record of Id into Buffer; false when it is gone.
  bool ReadStored(TABSPageItemID Id, uint8_t* Buffer);
  void MapNames(TStringList& FieldNamesList);
  void PostProper(bool ToInsert);
  void DeleteProper();

  std::unique_ptr<TABSBaseExpression> FOwnedFilter;
};
