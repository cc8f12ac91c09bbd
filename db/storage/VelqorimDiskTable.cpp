#include "db/storage/VelqorimDiskTable.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/storage/VelqorimTempEngine.h"
#include "db/support/DAZExcept.h"

namespace {

// Metadata is zlib-compressed; no true header claims more than this many
// bytes out per stored byte (zlib's ratio is at most about 1032).
constexpr int64_t MaxMetadataExpansion = 1100;

int SessionOf(const TVelqorimCursor* Cursor) { return CursorSessionID(Cursor); }

// Sets a flag for a scope and puts the old value back.
class TFlagScope {
 public:
  TFlagScope(bool& Flag, bool Value) : FFlag(Flag), FOld(Flag) { FFlag = Value; }
  ~TFlagScope() { FFlag = FOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FOld;
};

// Holds the catalogue's tables lock for a scope (unless told not to take it).
class TTablesLock {
 public:
  TTablesLock(TVelqorimDiskDatabaseData& Database, bool Take) : FDatabase(Take ? &Database : nullptr) {
    if (FDatabase != nullptr) FDatabase->LockTables();
  }
  ~TTablesLock() {
    if (FDatabase == nullptr) return;
    try {
      FDatabase->UnlockTables();
    } catch (...) {
      // Releasing happens on error paths too; the first error is the one reported.
    }
  }
  TTablesLock(const TTablesLock&) = delete;
  TTablesLock& operator=(const TTablesLock&) = delete;

 private:
  TVelqorimDiskDatabaseData* FDatabase;
};

}  // namespace

// The refresh before a read: a shared table lock, the most-updated state
// loaded and the cache manager told the session works with the table.
class TVelqorimDiskTableData::TReadView {
 public:
  TReadView(TVelqorimDiskTableData& Table, TVelqorimCursor& Cursor)
      : FTable(Table), FSession(SessionOf(&Cursor)), FMultiUser(Table.MultiUser()) {
    if (!FMultiUser) {
      if (Table.DiskPages()->ValidateCachedPages) Table.LoadMostUpdated(FSession);
      else Table.FollowSession(Cursor);
      Locked = true;
      return;
    }
    Locked = Table.LockTable(FSession, ltS, RetryConfig().ReadLockTryCount, RetryConfig().ReadLockDelayMS, true);
    if (!Locked) return;
    try {
      Table.LoadMostUpdated(FSession);
      Table.DiskPages()->TablePagesCacheManager().BeginWorkWithTable(FSession, Table.TableID);
      FWorking = true;
      Table.SynchronizeTemporaryIndexes(Cursor);
    } catch (...) {
      Release();
      throw;
    }
  }
  ~TReadView() {
    try {
      Release();
    } catch (...) {
      // The read's own outcome is what the caller sees.
    }
  }
  TReadView(const TReadView&) = delete;
  TReadView& operator=(const TReadView&) = delete;

  bool Locked = false;

 private:
  void Release() {
    if (!FMultiUser || !Locked) return;
    Locked = false;
    if (FWorking) FTable.DiskPages()->TablePagesCacheManager().EndWorkWithTable(FSession, FTable.TableID);
    FWorking = false;
    FTable.UnlockTable(FSession, ltS, true);
  }

  TVelqorimDiskTableData& FTable;
  int FSession;
  bool FMultiUser;
  bool FWorking = false;
};

TVelqorimDiskTableData::TVelqorimDiskTableData(TVelqorimDiskDatabaseData* aDatabaseData)
    : TVelqorimTableData(aDatabaseData) {
  PageManager = aDatabaseData->PageManager;
}

TVelqorimDiskTableData::~TVelqorimDiskTableData() { ReleaseTable(); }

TVelqorimDiskDatabaseData& TVelqorimDiskTableData::Disk() const {
  return static_cast<TVelqorimDiskDatabaseData&>(*DatabaseData);
}

TVelqorimDiskPageManager* TVelqorimDiskTableData::DiskPages() const { return Disk().DiskPageManager(); }

void TVelqorimDiskTableData::ReleaseTable() {
  RecordManager.reset();
  ConstraintManager.reset();
  IndexManager.reset();
  TemporaryPageManager.reset();
  BlobManager.reset();
  FieldManager.reset();
  TableLocksFile.reset();
  TableMetadataFile.reset();
  TableMostUpdatedFile.reset();
}

bool TVelqorimDiskTableData::FreeIfNoCursorsConnected() {
  if (!CursorList.empty()) return false;
  delete this;
  return true;
}

// ---------------------------------------------------------------- managers

void TVelqorimDiskTableData::CreateRecordManager() {
  RecordManager.reset();
  auto records = std::make_unique<TVelqorimDiskRecordManager>(DiskPages(), FieldManager.get(), TableID);
  records->Init(GetRecordSize(), FieldManager->FieldDefs.GetDiskRecordBufferSize(), FieldManager->FieldDefs.Count());
  RecordManager = std::move(records);
}

void TVelqorimDiskTableData::CreateIndexManager(TVelqorimIndexDefs& IndexDefs) {
  IndexManager.reset();
  TemporaryPageManager = std::make_unique<TVelqorimTemporaryPageManager>(DisableTempFiles);
  IndexManager = std::make_unique<TVelqorimBaseIndexManager>(this, TemporaryPageManager.get());
  IndexManager->PageManager = PageManager;
  TVelqorimTableData::CreateIndexManager(IndexDefs);
}

void TVelqorimDiskTableData::CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs) {
  CheckConstraintTypesSupported(ConstraintDefs);
  TVelqorimTableData::CreateConstraintManager(ConstraintDefs);
}

void TVelqorimDiskTableData::ApplyChanges(int SessionID, bool InTransaction) {
  if (!InTransaction && DatabaseData->ReadOnly) {
    CancelChanges(SessionID, false);
    throw EABSException(20304, "Cannot commit changes. Database is open read-only");
  }
  TVelqorimTableData::ApplyChanges(SessionID, InTransaction);
  if (TemporaryPageManager) TemporaryPageManager->ApplyChanges(SessionID);
  if (InTransaction) return;
  Disk().ReleaseTableClaims(SessionID);
  ChangesCommitted(SessionID);
}

void TVelqorimDiskTableData::CancelChanges(int SessionID, bool InTransaction) {
  TVelqorimTableData::CancelChanges(SessionID, InTransaction);
  if (TemporaryPageManager) TemporaryPageManager->CancelChanges(SessionID);
  if (!InTransaction) Disk().ReleaseTableClaims(SessionID);
}

// ---------------------------------------------------------------- stored state

void TVelqorimDiskTableData::SaveMetadata(int SessionID) {
  TABSMemoryStream stream;
  FieldManager->SaveMetadata(stream);
  IndexManager->SaveMetadata(stream);
  ConstraintManager->SaveMetadata(stream);
  Records().SaveMetadata(stream);
  BlobManager->SaveMetadata(stream);
  TableMetadataFile->WriteFile(SessionID, stream.Buffer(), static_cast<int32_t>(stream.Size()), acaZLIB, 1);
}

void TVelqorimDiskTableData::LoadMetadata(int SessionID) {
  int32_t size = 0, decompressed = 0;
  TABSCompressionAlgorithm algorithm = acaNone;
  bool changed = false;
  TableMetadataFile->GetFileSize(SessionID, size, decompressed, algorithm, changed, true);
  if (int64_t{decompressed} > int64_t{size} * MaxMetadataExpansion + 4096)
    throw EABSException(20189, "Table file decompression error. Possible table corruption (%s)",
                        {String("invalid metadata size")});
  TABSMemoryStream stream;
  stream.SetSize(decompressed);
  TableMetadataFile->ReadFile(SessionID, stream.Buffer(), decompressed, true);
  stream.SetPosition(0);
  FieldManager->LoadMetadata(stream);
  IndexManager->LoadMetadata(stream);
  ConstraintManager->LoadMetadata(stream);
  Records().LoadMetadata(stream);
  BlobManager->LoadMetadata(stream);
}

void TVelqorimDiskTableData::SaveMostUpdated(int SessionID) {
  const int size = CheckedMul(CheckedAdd(CheckedMul(FieldManager->FieldDefs.Count(), 8), 8), 4);
  std::vector<uint8_t> buffer(static_cast<size_t>(size));
  int offset = 0;
  try {
    FieldManager->SaveMostUpdated(buffer.data(), offset, size);
    Records().SaveMostUpdated(buffer.data(), offset, size);
  } catch (const EABSException&) {
    throw EABSException(20164, "Invalid table header data");
  }
  TableMostUpdatedFile->WriteFile(SessionID, buffer.data(), offset, acaNone, 0);
  LastUsedTableState = RecordManager->TableState;
  FStateSessionID = SessionID;
}

void TVelqorimDiskTableData::LoadMostUpdated(int SessionID) {
  if (!TableMostUpdatedFile || !RecordManager) throw EABSException(20176, "Pointer is nil");
  TVelqorimDiskTablePagesCacheManager& cache = DiskPages()->TablePagesCacheManager();
  // A reader that shares the file with writers without locks checks every time.
  const bool loaded = cache.GetIsMostUpdatedLoaded(SessionID, TableID) && !DiskPages()->ValidateCachedPages;
  int32_t size = 0, decompressed = 0;
  TABSCompressionAlgorithm algorithm = acaNone;
  bool changed = false;
  TableMostUpdatedFile->GetFileSize(SessionID, size, decompressed, algorithm, changed, !loaded);
  // Never more than the state of one autoincrement value a field: a larger
  // claim is a damaged file, not a size to allocate.
  const int limit = CheckedMul(CheckedAdd(CheckedMul(FieldManager->FieldDefs.Count(), 8), 8), 4);
  if (decompressed > limit) throw EABSException(20164, "Invalid table header data");
  std::vector<uint8_t> buffer(static_cast<size_t>(decompressed));
  TableMostUpdatedFile->ReadFile(SessionID, buffer.data(), decompressed, changed || !loaded);
  int offset = 0;
  FieldManager->LoadMostUpdated(buffer.data(), offset, decompressed);
  Records().LoadMostUpdated(buffer.data(), offset, decompressed);
  LastUsedTableState = RecordManager->TableState;
  cache.SetIsMostUpdatedLoaded(SessionID, TableID, LastUsedTableState);
  FStateSessionID = SessionID;
}

bool TVelqorimDiskTableData::FollowSession(int SessionID) {
  if (MultiUser() || !RecordManager || FStateSessionID == SessionID) return false;
  LoadMostUpdated(SessionID);
  return true;
}

void TVelqorimDiskTableData::FollowSession(TVelqorimCursor& Cursor) {
  if (FollowSession(SessionOf(&Cursor))) SynchronizeTemporaryIndexes(Cursor);
}

void TVelqorimDiskTableData::BeginChange(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (MultiUser() || !RecordManager) return;
  Disk().ClaimTable(TableID, SessionOf(&Cursor));
  FollowSession(Cursor);
}

void TVelqorimDiskTableData::ChangesCommitted(int SessionID) {
  int loaded = FStateSessionID.load();
  if (loaded != SessionID) FStateSessionID.compare_exchange_strong(loaded, -1);
}

void TVelqorimDiskTableData::RepairLoad(int SessionID) {
  try {
    LoadMostUpdated(SessionID);
    Records().ValidateRecordPageIndex(SessionID);
    return;
  } catch (const std::exception&) {
    // Rebuilt below from the record pages themselves.
  }
  if (Records().DiskRecordBufferSize() >= DiskPages()->PageDataSize())
    throw EABSException(10512, "Cannot repair page index for large table. Table name: \"%s\"", {TableName});
  Records().RebuildRecordPageIndex(SessionID);
  SaveMetadata(SessionID);
  TableMostUpdatedFile->InitFileHeader(SessionID);
  SaveMostUpdated(SessionID);
  ApplyChanges(SessionID, false);
}

// ---------------------------------------------------------------- table level

void TVelqorimDiskTableData::CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs,
                                         TVelqorimIndexDefs& IndexDefs, TVelqorimConstraintDefs& ConstraintDefs) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (FieldDefs.Count() == 0) throw EABSException(20128, "Error creating table - no fields were specified");
  if (Cursor != nullptr) {
    TableName = Cursor->TableName;
    DisableTempFiles = Cursor->DisableTempFiles;
  }
  TVelqorimDiskDatabaseData& disk = Disk();
  TableID = disk.GetNewObjectId();
  TTablesLock tables(disk, true);
  try {
    TableLocksFile = std::make_unique<TVelqorimTableLocksFile>(DiskPages());
    const int32_t locksPage = TableLocksFile->CreateFile(disk.MaxSessionCount);
    TableMetadataFile = std::make_unique<TVelqorimInternalDBTransactedAccessFile>(DiskPages(), ptTableMetaData);
    TableMetadataFile->CreateFile(VelqorimSystemSessionID);
    TableMostUpdatedFile = std::make_unique<TVelqorimInternalDBTransactedAccessFile>(DiskPages(), ptTableMostUpdated);
    TableMostUpdatedFile->CreateFile(VelqorimSystemSessionID);
    CreateFieldManager(FieldDefs);
    CreateIndexManager(IndexDefs);
    CreateConstraintManager(ConstraintDefs);
    CreateRecordManager();
    BlobManager = std::make_unique<TVelqorimDiskBlobManager>(DiskPages(), FieldManager.get(), RecordManager.get());
    if (Cursor != nullptr) InitCursorRecordLayout(*Cursor);
    SaveMostUpdated(VelqorimSystemSessionID);
    Records().CreateRecordPageIndex();
    if (FieldManager->BlobFieldsPresent()) BlobManager->CreateBlobPageIndex();
    IndexManager->CreateIndexesByIndexDefs(nullptr);
    SaveMetadata(VelqorimSystemSessionID);
    disk.AddTableToList(TableID, TableName, TableMetadataFile->StartPageNo(), TableMostUpdatedFile->StartPageNo(),
                        locksPage);
    disk.ApplySystemChanges();
  } catch (...) {
    disk.CancelSystemChanges();
    ReleaseTable();
    throw;
  }
  // Opening reads the table back from the file; nothing stays cached here.
  ReleaseTable();
}

void TVelqorimDiskTableData::OpenTable(TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (Cursor == nullptr) throw EABSException(20176, "Pointer is nil");
  if (!CursorList.empty() && Cursor->Exclusive && !Exclusive)
    throw EABSException(20242, "Cannot access table '%s' in exclusive mode. Table is open by another cursors",
                        {TableName});
  TVelqorimDiskDatabaseData& disk = Disk();
  TTablesLock tables(disk, !IsChangingTableList);
  const int session = SessionOf(Cursor);
  if (CursorList.empty()) {
    try {
      DisableTempFiles = Cursor->DisableTempFiles;
      int32_t metadataPage = -1, mostUpdatedPage = -1, locksPage = -1;
      disk.OpenTableFromList(TableName, TableID, metadataPage, mostUpdatedPage, locksPage);
      TableLocksFile = std::make_unique<TVelqorimTableLocksFile>(DiskPages());
      TableLocksFile->OpenFile(locksPage);
      TableMetadataFile = std::make_unique<TVelqorimInternalDBTransactedAccessFile>(DiskPages(), ptTableMetaData);
      TableMetadataFile->OpenFile(metadataPage);
      TableMostUpdatedFile = std::make_unique<TVelqorimInternalDBTransactedAccessFile>(DiskPages(), ptTableMostUpdated);
      TableMostUpdatedFile->OpenFile(mostUpdatedPage);
      FieldManager = std::make_unique<TVelqorimBaseFieldManager>(this);
      TemporaryPageManager = std::make_unique<TVelqorimTemporaryPageManager>(DisableTempFiles);
      IndexManager = std::make_unique<TVelqorimBaseIndexManager>(this, TemporaryPageManager.get());
      IndexManager->PageManager = PageManager;
      ConstraintManager = std::make_unique<TVelqorimBaseConstraintManager>(this);
      RecordManager = std::make_unique<TVelqorimDiskRecordManager>(DiskPages(), FieldManager.get(), TableID);
      BlobManager = std::make_unique<TVelqorimDiskBlobManager>(DiskPages(), FieldManager.get(), RecordManager.get());
      LoadMetadata(session);
      if (FieldManager->FieldDefs.Count() == 0)
        throw EABSException(20142, "Error creating table - no fields were specified");
      Records().Init(GetRecordSize(), FieldManager->FieldDefs.GetDiskRecordBufferSize(),
                     FieldManager->FieldDefs.Count());
      if (IsRepairing) RepairLoad(session);
      else LoadMostUpdated(session);
      Exclusive = Cursor->Exclusive;
    } catch (...) {
      ReleaseTable();
      throw;
    }
  }
  TVelqorimTableData::OpenTable(Cursor);
  if (Cursor->Exclusive && disk.TableClaimedByOther(TableID, session)) {
    CloseTable(Cursor);
    throw EABSException(20208, "Cannot access table '%s' in exclusive mode. Table is open by another user",
                        {TableName});
  }
  if (MultiUser()) {
    const TABSLockType type = Cursor->Exclusive ? ltX : ltIS;
    bool locked = false;
    try {
      locked = LockTable(session, type, RetryConfig().OpenTableTryCount, RetryConfig().OpenTableDelayMS, true);
    } catch (...) {
      // A damaged lock page: the failed open must not leave the cursor listed.
      CloseTable(Cursor);
      throw;
    }
    if (!locked) {
      CloseTable(Cursor);
      if (type == ltX)
        throw EABSException(20208, "Cannot access table '%s' in exclusive mode. Table is open by another user",
                            {TableName});
      throw EABSException(20209, "Cannot open table '%s'. Table is locked", {TableName});
    }
  }
  Cursor->TableLockedByCursor = true;
}

void TVelqorimDiskTableData::CloseTable(TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const bool listed = std::find(CursorList.begin(), CursorList.end(), Cursor) != CursorList.end();
  // The cursor leaves the table even when its lock cannot be released: a
  // cursor freed while still listed would be followed later.
  std::exception_ptr failure;
  try {
    if (listed && TableLocksFile && Cursor->TableLockedByCursor && MultiUser())
      UnlockTable(SessionOf(Cursor), Cursor->Exclusive ? ltX : ltIS, true);
  } catch (...) {
    failure = std::current_exception();
  }
  if (Cursor != nullptr) Cursor->TableLockedByCursor = false;
  TVelqorimTableData::CloseTable(Cursor);
  if (CursorList.empty()) {
    Exclusive = false;
    ReleaseTable();
  }
  if (failure) std::rethrow_exception(failure);
}

void TVelqorimDiskTableData::DeleteTable(TVelqorimCursor* Cursor, bool DesignMode) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimTableData::DeleteTable(Cursor, DesignMode);
  if (Cursor == nullptr) throw EABSException(20176, "Pointer is nil");
  TVelqorimDiskDatabaseData& disk = Disk();
  TTablesLock tables(disk, true);
  TFlagScope changing(IsChangingTableList, true);
  TFlagScope exclusive(Cursor->Exclusive, true);
  std::exception_ptr failure;
  try {
    OpenTable(Cursor);
  } catch (const EABSException& e) {
    // A table in use stays; one that cannot even be opened (damaged) still
    // leaves the catalogue below.
    if (e.NativeError == 20208 || e.NativeError == 20209 || e.NativeError == 20242) throw;
    failure = std::current_exception();
  }
  if (!failure) try {
    try {
      DeleteAllIndexes(nullptr);
      BlobManager->Delete(VelqorimSystemSessionID);
      Records().Delete(VelqorimSystemSessionID);
      if (MultiUser()) UnlockTable(SessionOf(Cursor), ltX, true);
      Cursor->TableLockedByCursor = false;
      TableMostUpdatedFile->DeleteFile(VelqorimSystemSessionID);
      TableMetadataFile->DeleteFile(VelqorimSystemSessionID);
      TableLocksFile->DeleteFile();
    } catch (...) {
      failure = std::current_exception();
    }
    CloseTable(Cursor);
  } catch (...) {
    failure = std::current_exception();
  }
  // The table goes from the catalogue whatever freeing its pages did; what
  // failed is reported afterwards.
  try {
    disk.RemoveTableFromList(TableName);
    disk.ApplySystemChanges();
  } catch (...) {
    disk.CancelSystemChanges();
    throw;
  }
  if (failure) std::rethrow_exception(failure);
}

void TVelqorimDiskTableData::EmptyTable(TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (Cursor == nullptr) throw EABSException(20176, "Pointer is nil");
  TFlagScope exclusive(Cursor->Exclusive, true);
  OpenTable(Cursor);
  const int session = SessionOf(Cursor);
  try {
    BeginChange(*Cursor);
    TVelqorimTableData::EmptyTable(Cursor);
    BlobManager->Empty(session);
    RecordManager->Empty(session);
    SaveMostUpdated(session);
    ApplyChanges(session, CursorInTransaction(Cursor));
  } catch (...) {
    if (!CursorInTransaction(Cursor)) CancelChanges(session, false);
    CloseTable(Cursor);
    throw;
  }
  CloseTable(Cursor);
}

void TVelqorimDiskTableData::RenameTable(const String& NewTableName, TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (Cursor == nullptr) throw EABSException(20176, "Pointer is nil");
  TVelqorimDiskDatabaseData& disk = Disk();
  TTablesLock tables(disk, true);
  {
    TFlagScope changing(IsChangingTableList, true);
    TFlagScope exclusive(Cursor->Exclusive, true);
    OpenTable(Cursor);  // refused while others have the table
    CloseTable(Cursor);
  }
  try {
    disk.RenameTableInList(TableName, NewTableName);
    disk.ApplySystemChanges();
  } catch (...) {
    disk.CancelSystemChanges();
    throw;
  }
  TableName = NewTableName;
}

void TVelqorimDiskTableData::RenameField(const String& FieldName, const String& NewFieldName) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimTableData::RenameField(FieldName, NewFieldName);
  try {
    SaveMetadata(VelqorimSystemSessionID);
    Disk().ApplySystemChanges();
  } catch (...) {
    Disk().CancelSystemChanges();
    throw;
  }
}

void TVelqorimDiskTableData::AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const int session = SessionOf(Cursor);
  if (Cursor != nullptr && !IndexDef.Temporary) BeginChange(*Cursor);
  TVelqorimTableData::AddIndex(IndexDef, Cursor);
  SaveMetadata(session);
  ApplyChanges(session, CursorInTransaction(Cursor));
}

void TVelqorimDiskTableData::DeleteIndex(int IndexID, TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const TVelqorimIndexDef* def = IndexManager->IndexDefs.GetIndexDefByObjectId(IndexID);
  const bool temporary = def != nullptr && def->Temporary;
  if (Cursor != nullptr && !temporary) BeginChange(*Cursor);
  TVelqorimTableData::DeleteIndex(IndexID, Cursor);
  if (Cursor == nullptr) return;
  const int session = SessionOf(Cursor);
  // A temporary index is not part of the stored definitions.
  if (!temporary) SaveMetadata(session);
  ApplyChanges(session, CursorInTransaction(Cursor));
}

// ---------------------------------------------------------------- bitmap ordinals

int64_t TVelqorimDiskTableData::GetMaxBitmapRecNo(int SessionID) {
  if (!RecordManager) return 1;
  int32_t last = -1;
  if (!Records().RecordPageIndex().GetLastRecordPage(SessionID, last)) return 1;
  return CheckedMul<int64_t>(int64_t{last} + 1, Records().MaxRecordsOnPage());
}

int64_t TVelqorimDiskTableData::GetBitmapRecNoByRecordID(TABSPageItemID RecordID) {
  return int64_t{RecordID.PageNo} * Records().MaxRecordsOnPage() + RecordID.PageItemNo;
}

TABSPageItemID TVelqorimDiskTableData::GetRecordIDByBitmapRecNo(int64_t RecNo) {
  const int64_t perPage = Records().MaxRecordsOnPage();
  return {static_cast<int32_t>(RecNo / perPage), static_cast<uint16_t>(RecNo % perPage)};
}

// ---------------------------------------------------------------- reads

template <class Read>
bool TVelqorimDiskTableData::WithFreshView(TVelqorimCursor& Cursor, Read&& Apply) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TReadView view(*this, Cursor);
  if (!view.Locked) return false;
  Apply();
  return true;
}

void TVelqorimDiskTableData::SynchronizeTemporaryIndexes(TVelqorimCursor& Cursor) {
  bool changed = false;
  IndexManager->SynchronizeTemporaryIndexes(Cursor, changed);
  if (changed) TemporaryPageManager->ApplyChanges(SessionOf(&Cursor));
}

TABSGetRecordResult TVelqorimDiskTableData::GetRecordBuffer(TVelqorimCursor& Cursor,
                                                            TABSGetRecordMode GetRecordMode) {
  TABSGetRecordResult result = grrError;
  WithFreshView(Cursor, [&] { result = TVelqorimTableData::GetRecordBuffer(Cursor, GetRecordMode); });
  return result;
}

namespace {
[[noreturn]] void TableIsLocked(int Code) { throw EABSException(Code, "Table is locked"); }
}  // namespace

bool TVelqorimDiskTableData::Locate(TVelqorimCursor& Cursor, TABSBaseExpression* SearchExpression) {
  bool found = false;
  if (!WithFreshView(Cursor, [&] { found = TVelqorimTableData::Locate(Cursor, SearchExpression); }))
    TableIsLocked(20214);
  return found;
}

bool TVelqorimDiskTableData::FindKey(TVelqorimCursor& Cursor, TABSSearchCondition SearchCondition) {
  bool found = false;
  if (!WithFreshView(Cursor, [&] { found = TVelqorimTableData::FindKey(Cursor, SearchCondition); }))
    TableIsLocked(20215);
  return found;
}

void TVelqorimDiskTableData::SetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) {
  if (!WithFreshView(Cursor, [&] { TVelqorimTableData::SetRecNo(Cursor, RecNo); })) TableIsLocked(20216);
}

int64_t TVelqorimDiskTableData::GetRecNo(TVelqorimCursor& Cursor) {
  int64_t recNo = -1;
  if (!WithFreshView(Cursor, [&] { recNo = TVelqorimTableData::GetRecNo(Cursor); })) TableIsLocked(20217);
  return recNo;
}

void TVelqorimDiskTableData::InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) {
  if (!WithFreshView(Cursor, [&] { Records().SetRecNo(SessionOf(&Cursor), RecNo, Cursor.CurrentRecordID); }))
    TableIsLocked(20219);
}

int64_t TVelqorimDiskTableData::InternalGetRecNo(TVelqorimCursor& Cursor) {
  int64_t recNo = -1;
  if (!WithFreshView(Cursor, [&] { Records().GetRecNo(SessionOf(&Cursor), Cursor.CurrentRecordID, recNo); }))
    TableIsLocked(20220);
  return recNo;
}

int64_t TVelqorimDiskTableData::InternalGetRecordCount(TVelqorimCursor& Cursor) {
  int64_t count = 0;
  if (!WithFreshView(Cursor, [&] { count = RecordManager->RecordCount; })) TableIsLocked(20218);
  return count;
}

int64_t TVelqorimDiskTableData::LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (Session != nullptr) FollowSession(Session->SessionID);
  return FieldManager->GetLastAutoinc(Session, FieldNo);
}

void TVelqorimDiskTableData::Rollback(int SessionID) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) return;  // not open here: nothing cached to catch up
  LoadMostUpdated(SessionID);
  TemporaryPageManager->CancelChanges(SessionID);
  TVelqorimTableData::Rollback(SessionID);
  TemporaryPageManager->ApplyChanges(SessionID);
}

// ---------------------------------------------------------------- BLOBs

void TVelqorimDiskTableData::ClearBlobsCacheInRecordBuffer(uint8_t* Buffer) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (FieldManager) ClearBLOBFieldsInRecordBuffer(Buffer);
}

void TVelqorimDiskTableData::ClearBLOBFieldInRecordBuffer(uint8_t* RecordBuffer, int FieldNo) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (BlobManager) BlobManager->ClearBlobInRecordBuffer(RecordBuffer, FieldNo, false);
}

void TVelqorimDiskTableData::ClearModifiedBLOBFieldsInRecordBuffer(uint8_t* RecordBuffer) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!BlobManager || !FieldManager->BlobFieldsPresent()) return;
  for (int f = 0; f < FieldManager->FieldDefs.Count(); ++f)
    if (IsBlobBaseFieldType(FieldManager->FieldDefs[f]->BaseFieldType))
      BlobManager->ClearBlobInRecordBuffer(RecordBuffer, f, true);
}

void TVelqorimDiskTableData::WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo,
                                                          TABSStream& BLOBStream) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  BlobManager->CopyBlobFromStreamToRecordBuffer(Cursor.CurrentRecordBuffer, FieldNo, BLOBStream);
}

TABSStream* TVelqorimDiskTableData::InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                                             TABSBLOBOpenMode OpenMode) {
  (void)ToInsert;
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const TVelqorimFieldDef& def = *FieldManager->FieldDefs[FieldNo];
  TABSBLOBDescriptor descriptor;
  descriptor.BlockSize = def.BLOBBlockSize;
  descriptor.CompressionAlgorithm = def.BLOBCompressionAlgorithm;
  descriptor.CompressionMode = def.BLOBCompressionMode;
  if (descriptor.BlockSize == 0) throw EABSException(20149, "Stream block size = 0 is not allowed");
  auto work = std::make_unique<TABSTemporaryStream>(DisableTempFiles);
  uint8_t* record = Cursor.CurrentRecordBuffer;
  if (OpenMode == bomWrite || record == nullptr || GetBitInBuffer(FieldNo, record))
    return new TVelqorimLocalBLOBStream(std::move(work), descriptor, true, &Cursor, OpenMode, FieldNo);
  try {
    BlobManager->CopyBlobFromRecordBufferToStream(SessionOf(&Cursor), record, FieldNo, descriptor, *work);
    work->SetPosition(0);
    if (descriptor.UncompressedSize < 0) throw EABSException(20248, "Invalid blob field size");
    return new TVelqorimLocalBLOBStream(std::move(work), descriptor, false, &Cursor, OpenMode, FieldNo);
  } catch (...) {
    BlobManager->ClearBlobInRecordBuffer(record, FieldNo, true);
    throw;
  }
}

void TVelqorimDiskTableData::GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                               TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                               uint8_t*& pBlobData) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  BlobManager->GetDirectBlobInfoFromRecordBuffer(SessionOf(&Cursor), RecordBuffer, FieldNo, BLOBDescriptor,
                                                 pBlobData);
}

void TVelqorimDiskTableData::SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                               TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                               uint8_t*& pBlobData) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  BlobManager->SetDirectBlobInfoFromRecordBuffer(SessionOf(&Cursor), RecordBuffer, FieldNo, BLOBDescriptor,
                                                 pBlobData);
}

void TVelqorimDiskTableData::FreeDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                uint8_t*& pBlobData) {
  (void)Cursor, (void)BLOBDescriptor;
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  BlobManager->ClearBlobInRecordBuffer(RecordBuffer, FieldNo, false);
  pBlobData = nullptr;
}

// ---------------------------------------------------------------- record changes

void TVelqorimDiskTableData::FinishChange(TVelqorimCursor& Cursor) {
  const int session = SessionOf(&Cursor);
  SaveMostUpdated(session);
  if (!Cursor.InBatchUpdate) ApplyChanges(session, CursorInTransaction(&Cursor));
}

void TVelqorimDiskTableData::UndoChange(TVelqorimCursor& Cursor) {
  if (CursorInTransaction(&Cursor) || Cursor.InBatchUpdate) return;
  const int session = SessionOf(&Cursor);
  try {
    CancelChanges(session, false);
    LoadMostUpdated(session);
  } catch (...) {
    // The change's own failure is what the caller sees.
  }
}

template <class Change>
bool TVelqorimDiskTableData::RunChange(TVelqorimCursor& Cursor, Change&& Apply) {
  try {
    if (!Apply()) {
      UndoChange(Cursor);
      return false;
    }
    FinishChange(Cursor);
    return true;
  } catch (...) {
    UndoChange(Cursor);
    throw;
  }
}

bool TVelqorimDiskTableData::InsertRecord(TVelqorimCursor*& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(20135, "Nil pointer occured");
  if (Cursor->CurrentRecordBuffer == nullptr) throw EABSException(20136, "Nil pointer occured");
  TVelqorimCursor& cursor = *Cursor;
  const int session = SessionOf(Cursor);
  BeginChange(cursor);
  return RunChange(cursor, [&] {
    if (MultiUser()) SynchronizeTemporaryIndexes(cursor);
    BlobManager->WriteBlobs(session, cursor.CurrentRecordBuffer);
    if (!RecordManager->AddRecord(session, cursor.CurrentRecordBuffer, cursor.CurrentRecordID)) return false;
    MarkInBitmap(cursor);
    IndexManager->InsertRecord(cursor);
    cursor.FirstPosition = cursor.LastPosition = false;
    return true;
  });
}

bool TVelqorimDiskTableData::DeleteRecord(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(20137, "Nil pointer occured");
  const int session = SessionOf(&Cursor);
  BeginChange(Cursor);
  if (MultiUser()) {
    LoadMostUpdated(session);
    SynchronizeTemporaryIndexes(Cursor);
  }
  const TABSPageItemID target = Cursor.CurrentRecordID;
  TABSPageItemID neighbour;
  bool beforeFirst = false;
  FindNeighbourForDelete(Cursor, neighbour, beforeFirst);
  bool bitmapCurrent = false;
  const bool deleted = RunChange(Cursor, [&] {
    // The stored record names the BLOBs to free; the cursor's copy may hold caches.
    std::vector<uint8_t> stored(static_cast<size_t>(RecordManager->RecordBufferSize));
    TABSNavigationInfo nav;
    nav.GetRecordMode = grmCurrent;
    nav.RecordID = target;
    nav.RecordBuffer = stored.data();
    RecordManager->GetRecordBuffer(session, nav);
    if (nav.GetRecordResult != grrOK) return false;
    ClearModifiedBLOBFieldsInRecordBuffer(Cursor.CurrentRecordBuffer);
    if (FieldManager->BlobFieldsPresent()) BlobManager->DeleteBlobs(session, stored.data());
    IndexManager->DeleteRecord(Cursor);
    bitmapCurrent = IsBitmapCurrent(Cursor);
    TABSPageItemID id = target;
    return RecordManager->DeleteRecord(session, id);
  });
  if (deleted) LeaveDeletedRecord(Cursor, target, bitmapCurrent, neighbour, beforeFirst);
  return deleted;
}

bool TVelqorimDiskTableData::UpdateRecord(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(20138, "Nil pointer occured");
  if (Cursor.CurrentRecordBuffer == nullptr) throw EABSException(20139, "Nil pointer occured");
  const int session = SessionOf(&Cursor);
  BeginChange(Cursor);
  if (MultiUser()) {
    LoadMostUpdated(session);
    SynchronizeTemporaryIndexes(Cursor);
  }
  return RunChange(Cursor, [&] {
    IndexManager->UpdateRecord(Cursor, true);
    BlobManager->WriteBlobs(session, Cursor.CurrentRecordBuffer);
    const bool ok = RecordManager->UpdateRecord(session, Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID);
    IndexManager->UpdateRecord(Cursor, false);
    if (ok) MarkInBitmap(Cursor);
    return ok;
  });
}

// ---------------------------------------------------------------- locks

bool TVelqorimDiskTableData::LockTable(int SessionID, TABSLockType LockType, int TryCount, int Delay,
                                       bool AllowXIRWAfterSIRW) {
  if (!MultiUser()) return true;
  if (!TableLocksFile) throw EABSException(20176, "Pointer is nil");
  if (!Disk().TableLockManager()->LockTable(SessionID, LockType, *TableLocksFile, TryCount, Delay, false,
                                            AllowXIRWAfterSIRW))
    return false;
  TVelqorimDiskTablePagesCacheManager& cache = DiskPages()->TablePagesCacheManager();
  if (LockType == ltS) cache.TableIsSLocked(SessionID, TableID);
  else if (LockType == ltRW) cache.TableIsRWLocked(SessionID, TableID);
  return true;
}

bool TVelqorimDiskTableData::UnlockTable(int SessionID, TABSLockType LockType, bool IgnoreIfNoLock) {
  if (!MultiUser()) return true;
  if (!TableLocksFile) throw EABSException(20176, "Pointer is nil");
  if (!Disk().TableLockManager()->UnlockTable(SessionID, LockType, *TableLocksFile, IgnoreIfNoLock, false))
    return false;
  TVelqorimDiskTablePagesCacheManager& cache = DiskPages()->TablePagesCacheManager();
  if (LockType == ltS) cache.TableIsSUnlocked(SessionID, TableID);
  else if (LockType == ltRW) cache.TableIsRWUnlocked(SessionID, TableID);
  return true;
}

bool TVelqorimDiskTableData::LockRecord(int SessionID, TABSPageItemID RecordID, int TryCount, int Delay) {
  if (!MultiUser()) return true;
  return Disk().TableLockManager()->LockRecord(SessionID, *TableLocksFile, RecordID, TryCount, Delay);
}

bool TVelqorimDiskTableData::UnlockRecord(int SessionID, TABSPageItemID RecordID) {
  if (!MultiUser()) return true;
  return Disk().TableLockManager()->UnlockRecord(SessionID, *TableLocksFile, RecordID);
}

bool TVelqorimDiskTableData::IsRecordLocked(int SessionID, TABSPageItemID RecordID) {
  if (!MultiUser()) return false;
  return Disk().TableLockManager()->IsRecordLocked(SessionID, *TableLocksFile, RecordID);
}
