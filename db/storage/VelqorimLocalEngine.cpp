#include "db/storage/VelqorimLocalEngine.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimDiskTable.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimTempEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZUnicode.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// BLOB stream

TVelqorimLocalBLOBStream::TVelqorimLocalBLOBStream(std::unique_ptr<TABSStream> WorkStream,
                                                   const TABSBLOBDescriptor& Descriptor, bool ToCreate,
                                                   TVelqorimCursor* aCursor, TABSBLOBOpenMode aOpenMode, int aFieldNo)
    : OpenMode(aOpenMode), FieldNo(aFieldNo), Cursor(aCursor), FWorkStream(std::move(WorkStream)) {
  FCompressed = std::make_unique<TABSCompressedBLOBStream>(*FWorkStream, Descriptor, ToCreate);
}

TVelqorimLocalBLOBStream::~TVelqorimLocalBLOBStream() {
  FCompressed.reset();
  FWorkStream.reset();
}

int64_t TVelqorimLocalBLOBStream::Read(void* Buffer, int64_t Count) { return FCompressed->Read(Buffer, Count); }

int64_t TVelqorimLocalBLOBStream::Write(const void* Buffer, int64_t Count) {
  if (OpenMode == bomRead) throw EABSException(10115, "Cannot write to read only stream");
  return FCompressed->Write(Buffer, Count);
}

int64_t TVelqorimLocalBLOBStream::Seek(int64_t Offset, TSeekOrigin Origin) { return FCompressed->Seek(Offset, Origin); }

int64_t TVelqorimLocalBLOBStream::Size() { return FCompressed->Size(); }

void TVelqorimLocalBLOBStream::SetSize(int64_t NewSize) {
  if (OpenMode == bomRead) throw EABSException(10116, "Cannot write to read only stream");
  FCompressed->SetSize(NewSize);
}

// ---------------------------------------------------------------------------
// The list of open databases

TVelqorimDatabaseDataList* DatabaseDataList = nullptr;
std::function<TVelqorimDatabaseData*(TVelqorimLocalSession& Session)> DiskDatabaseDataFactory = NewDiskDatabaseData;

TVelqorimDatabaseDataList::TVelqorimDatabaseDataList() {
  TVelqorimDatabaseData::OnDestroy = [this](TVelqorimDatabaseData* Data) { Remove(Data); };
}

TVelqorimDatabaseDataList::~TVelqorimDatabaseDataList() {
  FreeAll();
  TVelqorimDatabaseData::OnDestroy = nullptr;
}

void TVelqorimDatabaseDataList::Add(TVelqorimDatabaseData* Data) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FItems.push_back(Data);
}

void TVelqorimDatabaseDataList::Remove(TVelqorimDatabaseData* Data) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  std::erase(FItems, Data);
}

int TVelqorimDatabaseDataList::Count() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return static_cast<int>(FItems.size());
}

TVelqorimDatabaseData* TVelqorimDatabaseDataList::Get(int Index) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FItems.at(static_cast<size_t>(Index));
}

void TVelqorimDatabaseDataList::FreeAll() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  while (!FItems.empty()) {
    TVelqorimDatabaseData* first = FItems.front();
    delete first;  // leaves the list through OnDestroy
    std::erase(FItems, first);
  }
}

// ---------------------------------------------------------------------------
// Session

TVelqorimLocalSession::~TVelqorimLocalSession() {
  try {
    ReleaseHeld();
    SetConnected(false);
  } catch (...) {
    // A destructor must not raise.
  }
}

TVelqorimDatabaseData* TVelqorimLocalSession::FindDatabaseData(bool Create) {
  if (DatabaseDataList == nullptr) throw EABSException(20007, "Database Engine is not initialized");
  TVelqorimLockGuard<TVelqorimDatabaseDataList> lock(*DatabaseDataList);
  for (int i = 0; i < DatabaseDataList->Count(); ++i) {
    TVelqorimDatabaseData* d = DatabaseDataList->Get(i);
    const String name = UpperCase(d->DatabaseName);
    if (DatabaseName == "MEMORY" || DatabaseName == "TEMP") {
      if (name == DatabaseName) return d;
    } else if (name == UpperCase(DatabaseFileName) && UpperCase(d->SessionName) == UpperCase(SessionName) &&
               name != "MEMORY" && name != "TEMP") {
      return d;
    }
  }
  if (!Create || IsProcessWideDatabase()) return nullptr;
  if (!DiskDatabaseDataFactory)
    throw EABSException(20301, "Database %s cannot be opened: disk databases are not available", {DatabaseFileName});
  TVelqorimDatabaseData* d = DiskDatabaseDataFactory(*this);
  DatabaseDataList->Add(d);
  return d;
}

void TVelqorimLocalSession::SetConnected(bool Value) {
  if (Value == GetConnected()) return;
  if (DatabaseDataList == nullptr) throw EABSException(20007, "Database Engine is not initialized");
  TVelqorimLockGuard<TVelqorimDatabaseDataList> lock(*DatabaseDataList);
  if (Value) {
    TVelqorimDatabaseData* d = FindDatabaseData(true);
    if (d == nullptr) throw EABSException(20007, "Database Engine is not initialized");
    DatabaseData = d;
    try {
      d->ConnectSession(this);
    } catch (...) {
      // A session that could not connect is not connected, and a database
      // it alone would have opened goes again.
      DatabaseData = nullptr;
      if (!IsProcessWideDatabase()) d->FreeIfNoSessionsConnected();
      throw;
    }
    ReadOnly = d->ReadOnly;
    if (auto* disk = dynamic_cast<TVelqorimDiskDatabaseData*>(d)) {
      // A session joining an open database is checked against the password it was opened with.
      if (disk->Encrypted() && !disk->Password()->Password.empty() &&
          Password.Password != disk->Password()->Password)
        throw EABSException(20298, "Database password is invalid.");
      Password = *disk->Password();
      PageSize = disk->PageSize;
      PageCountInExtent = disk->PageCountInExtent;
      MaxSessionCount = disk->MaxSessionCount;
    }
    return;
  }
  ReleaseHeld();
  TVelqorimDatabaseData* d = DatabaseData;
  d->DisconnectSession(this);
  DatabaseData = nullptr;
  InTransaction = false;
  if (d->DatabaseName != "MEMORY" && d->DatabaseName != "TEMP") d->FreeIfNoSessionsConnected();
}

void TVelqorimLocalSession::CreateDatabase() {
  if (DatabaseDataList == nullptr) throw EABSException(20007, "Database Engine is not initialized");
  TVelqorimLockGuard<TVelqorimDatabaseDataList> lock(*DatabaseDataList);
  if (FindDatabaseData(false) != nullptr)
    throw EABSException(20092, "Cannot create database. Database is already open");
  TVelqorimDatabaseData* d = FindDatabaseData(true);
  if (d == nullptr) return;
  try {
    d->CreateDatabase();
  } catch (...) {
    d->FreeIfNoSessionsConnected();
    DatabaseData = nullptr;
    throw;
  }
  d->FreeIfNoSessionsConnected();
  DatabaseData = nullptr;
}

void TVelqorimLocalSession::GetTablesList(TStrings& List) {
  if (DatabaseData == nullptr) DatabaseData = FindDatabaseData(true);
  if (DatabaseData != nullptr) DatabaseData->GetTablesList(List);
}

bool TVelqorimLocalSession::TableExists(const String& TableName) {
  if (DatabaseData == nullptr) DatabaseData = FindDatabaseData(true);
  return DatabaseData != nullptr && DatabaseData->TableExists(TableName);
}

void TVelqorimLocalSession::StartTransaction() {
  if (InTransaction) return;
  if (IsProcessWideDatabase())
    throw EABSException(20300, "Transactions are not supported by the %s database: its changes apply at once",
                        {DatabaseName});
  InTransaction = true;
}

void TVelqorimLocalSession::Commit(bool DoFlushBuffers) {
  if (!InTransaction) throw EABSException(20229, "Database is not within a transaction. Cannot perform operation");
  ReleaseHeld();
  if (DatabaseData != nullptr) DatabaseData->Commit(SessionID, DoFlushBuffers);
  InTransaction = false;
}

void TVelqorimLocalSession::Rollback() {
  if (!InTransaction) throw EABSException(20229, "Database is not within a transaction. Cannot perform operation");
  ReleaseHeld();
  if (DatabaseData != nullptr) DatabaseData->Rollback(SessionID);
  InTransaction = false;
}

TVelqorimDiskDatabaseData* TVelqorimLocalSession::DiskDatabase() const {
  return dynamic_cast<TVelqorimDiskDatabaseData*>(DatabaseData);
}

bool TVelqorimLocalSession::GetSuppressDBHeaderErrors() {
  TVelqorimDiskDatabaseData* disk = DiskDatabase();
  return disk != nullptr && disk->GetSuppressDBHeaderErrors();
}

void TVelqorimLocalSession::SetSuppressDBHeaderErrors(bool Value) {
  if (TVelqorimDiskDatabaseData* disk = DiskDatabase()) disk->SetSuppressDBHeaderErrors(Value);
}

void TVelqorimLocalSession::TruncateDatabase() {
  if (TVelqorimDiskDatabaseData* disk = DiskDatabase()) disk->TruncateDatabase();
}

int TVelqorimLocalSession::GetDBFileConnectionsCount() {
  TVelqorimDiskDatabaseData* disk = DiskDatabase();
  return disk != nullptr ? disk->GetDBFileConnectionsCount() : 0;
}

void TVelqorimLocalSession::FlushBuffers() {
  if (DatabaseData != nullptr) DatabaseData->FlushBuffers();
}

// ---------------------------------------------------------------------------
// Cursor

TVelqorimLocalCursor::TFilterFactory TVelqorimLocalCursor::FilterFactory;
TVelqorimLocalCursor::TLocateFactory TVelqorimLocalCursor::LocateFactory;
TVelqorimLocalCursor::TMatchFactory TVelqorimLocalCursor::MatchFactory;

namespace {

// Holds a table data's lock for a scope; nothing without a table.
class TTableLock {
 public:
  explicit TTableLock(TVelqorimTableData* Table) : FTable(Table) {
    if (FTable != nullptr) FTable->Lock();
  }
  ~TTableLock() {
    if (FTable != nullptr) FTable->Unlock();
  }
  TTableLock(const TTableLock&) = delete;
  TTableLock& operator=(const TTableLock&) = delete;

 private:
  TVelqorimTableData* FTable;
};

// A disk table's data lives only while cursors use it.
void FreeUnusedDiskTable(TVelqorimTableData* Table) {
  if (auto* disk = dynamic_cast<TVelqorimDiskTableData*>(Table)) disk->FreeIfNoCursorsConnected();
}

[[noreturn]] void NoExpressionLayer() {
  throw EABSException(30511, "Expressions are not available: the expression layer is not installed");
}

}  // namespace

TVelqorimLocalCursor::TVelqorimLocalCursor() = default;

TVelqorimLocalCursor::~TVelqorimLocalCursor() {
  try {
    CloseTable();
  } catch (...) {
    // A destructor must not raise.
  }
}

// A change of a whole table, or an exclusive open, needs the table free of
// what the session's statements keep open for their transaction.
void TVelqorimLocalCursor::LetGoOfHeldTables() {
  if (Session != nullptr) Session->ReleaseHeld();
}

void TVelqorimLocalCursor::RefreshDatabaseData() {
  auto* session = dynamic_cast<TVelqorimLocalSession*>(Session);
  if (session == nullptr) throw EABSException(20151, "Pointer is nil");
  if (session->DatabaseData == nullptr) session->DatabaseData = session->FindDatabaseData(true);
  DatabaseData = session->DatabaseData;
  if (DatabaseData == nullptr) throw EABSException(20151, "Pointer is nil");
}

void TVelqorimLocalCursor::RefreshIndexDefs() {
  if (TableData == nullptr) return;
  IndexDefs.Assign(TableData->IndexManager->IndexDefs);
  ConstraintDefs.Assign(TableData->ConstraintManager->ConstraintDefs);
  SetIndexName(IndexName());
}

bool TVelqorimLocalCursor::IsTemporaryTable() const {
  return dynamic_cast<TVelqorimTemporaryTableData*>(TableData) != nullptr;
}

TVelqorimDiskTableData* TVelqorimLocalCursor::DiskTable() const {
  return dynamic_cast<TVelqorimDiskTableData*>(TableData);
}

TVelqorimDiskTableData* TVelqorimLocalCursor::SharedDiskTable() const {
  TVelqorimDiskTableData* disk = DiskTable();
  return disk != nullptr && disk->MultiUser() && Session != nullptr ? disk : nullptr;
}

bool TVelqorimLocalCursor::LockTableWaiting(TVelqorimDiskTableData& Table, TABSLockType LockType, int Attempts,
                                            int DelayMS) {
  for (int i = 0; i < Attempts; ++i) {
    if (Table.LockTable(Session->SessionID, LockType, 1, 0, true)) return true;
    Table.Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(DelayMS));
    Table.Lock();
  }
  return false;
}

void TVelqorimLocalCursor::CreateTable(TVelqorimFieldDefs& aFieldDefs, TVelqorimIndexDefs& aIndexDefs,
                                       TVelqorimConstraintDefs& aConstraintDefs) {
  LetGoOfHeldTables();
  RefreshDatabaseData();
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*DatabaseData);
  CloseTable();
  if (DatabaseData->TableExists(TableName)) DeleteTable();
  try {
    TVelqorimTableData* t = DatabaseData->FindOrCreateTableData(*this);
    if (t == nullptr) throw EABSException(20151, "Pointer is nil");
    try {
      t->CreateTable(this, aFieldDefs, aIndexDefs, aConstraintDefs);
    } catch (...) {
      // A table that could not be made leaves no half-made entry behind.
      if (t->CursorList.empty() && !t->FieldManager) delete t;
      else if (t->CursorList.empty()) t->DeleteTable(nullptr, false);
      throw;
    }
    FreeUnusedDiskTable(t);
  } catch (...) {
    CloseTable();
    throw;
  }
  CloseTable();
}

void TVelqorimLocalCursor::DeleteTable() {
  LetGoOfHeldTables();
  RefreshDatabaseData();
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*DatabaseData);
  CloseTable();
  if (!DatabaseData->TableExists(TableName)) throw EABSException(20132, "Table '%s' not found", {TableName});
  TVelqorimTableData* t = DatabaseData->FindOrCreateTableData(*this);
  if (t == nullptr) throw EABSException(10027, "Table not found, table name = %s", {TableName});
  if (t->FieldManager)
    for (int i = 0; i < t->FieldManager->FieldDefs.Count(); ++i)
      Session->DeleteObject(t->FieldManager->FieldDefs[i]->ObjectID);
  // The other engines' table datas go with their tables.
  auto* disk = dynamic_cast<TVelqorimDiskTableData*>(t);
  try {
    t->DeleteTable(this, false);
  } catch (...) {
    if (disk != nullptr) disk->FreeIfNoCursorsConnected();
    CloseTable();
    throw;
  }
  if (disk != nullptr) disk->FreeIfNoCursorsConnected();
  CloseTable();
}

void TVelqorimLocalCursor::EmptyTable() {
  LetGoOfHeldTables();
  RefreshDatabaseData();
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*DatabaseData);
  CloseTable();
  if (!DatabaseData->TableExists(TableName)) throw EABSException(20133, "Table '%s' not found", {TableName});
  TVelqorimTableData* t = DatabaseData->FindOrCreateTableData(*this);
  if (t == nullptr) throw EABSException(10073, "Table not found, table name = %s", {TableName});
  try {
    t->EmptyTable(this);
  } catch (...) {
    FreeUnusedDiskTable(t);
    CloseTable();
    throw;
  }
  FreeUnusedDiskTable(t);
  CloseTable();
}

void TVelqorimLocalCursor::RenameTable(const String& NewTableName) {
  LetGoOfHeldTables();
  RefreshDatabaseData();
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*DatabaseData);
  CloseTable();
  if (!DatabaseData->TableExists(TableName)) throw EABSException(20134, "Table '%s' not found", {TableName});
  if (NewTableName == TableName) throw EABSException(30452, "Cannot rename table '%s' into itself", {TableName});
  if (!SameDefName(NewTableName, TableName) && DatabaseData->TableExists(NewTableName))
    throw EABSException(30451, "Table %s already exists", {NewTableName});
  TVelqorimTableData* t = DatabaseData->FindOrCreateTableData(*this);
  if (t == nullptr) throw EABSException(10151, "Table not found, table name = %s", {TableName});
  try {
    t->RenameTable(NewTableName, this);
  } catch (...) {
    FreeUnusedDiskTable(t);
    CloseTable();
    throw;
  }
  FreeUnusedDiskTable(t);
  CloseTable();
  TableName = NewTableName;
}

void TVelqorimLocalCursor::InternalInitFieldDefs() {
  FieldDefs.Assign(TableData->FieldManager->FieldDefs);
  FieldDefs.RecalcFieldOffsets();
  if (!SettingProjection) {
    VisibleFieldDefs.Assign(FieldDefs);
    for (int i = 0; i < VisibleFieldDefs.Count(); ++i) VisibleFieldDefs[i]->FieldNoReference = i;
  }
  const int n = FieldDefs.Count();
  FieldValuesOffset = n > 0 ? FieldDefs[0]->MemoryOffset : 0;
  BookmarkOffset = n > 0 ? FieldDefs[n - 1]->MemoryOffset + FieldDefs[n - 1]->MemoryDataSize : 0;
  KeyOffset = BookmarkOffset;
  KeyBufferSize = BookmarkOffset + 6;
  RecordSize = RecordBufferSize = CalculatedFieldsOffset = BookmarkOffset + 7;
  ConstraintDefs.Assign(TableData->ConstraintManager->ConstraintDefs);
}

void TVelqorimLocalCursor::OpenTableByFieldDefs(TVelqorimFieldDefs* aFieldDefs, TVelqorimIndexDefs* aIndexDefs,
                                                TVelqorimConstraintDefs* aConstraintDefs) {
  if (IsOpen) return;
  if (Exclusive) LetGoOfHeldTables();
  RefreshDatabaseData();
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*DatabaseData);
  TVelqorimTableData* t = DatabaseData->FindTableData(*this);
  if (t == nullptr && dynamic_cast<TVelqorimDiskDatabaseData*>(DatabaseData) != nullptr) {
    // The disk database opens the stored table.
    t = DatabaseData->CreateTableData(*this);
    try {
      OpenTable(t);
    } catch (...) {
      FreeUnusedDiskTable(t);
      throw;
    }
    return;
  }
  if (t == nullptr) {
    if (!IsDesignMode || aFieldDefs == nullptr)
      throw EABSException(10028, "Table not found, table name = %s", {TableName});
    t = DatabaseData->CreateTableData(*this);
    TVelqorimIndexDefs noIndexes;
    TVelqorimConstraintDefs noConstraints;
    t->CreateTable(this, *aFieldDefs, aIndexDefs != nullptr ? *aIndexDefs : noIndexes,
                   aConstraintDefs != nullptr ? *aConstraintDefs : noConstraints);
  }
  OpenTable(t);
}

void TVelqorimLocalCursor::OpenTable(TVelqorimTableData* aTableData) {
  TableData = aTableData;
  TableData->IsRepairing = IsRepairing;
  try {
    TableData->OpenTable(this);
  } catch (...) {
    TableData = nullptr;  // the table is not this cursor's: it may go with its other cursors
    throw;
  }
  FirstPosition = true;
  LastPosition = false;
  IndexDefs.Assign(TableData->IndexManager->IndexDefs);
  BLOBStreams.clear();
  RecordBitmap = std::make_unique<TVelqorimRecordBitmap>(TableData);
  IsOpen = true;
  InternalInitFieldDefs();
}

void TVelqorimLocalCursor::CloseTable() {
  TVelqorimDatabaseData* db = TableData != nullptr ? TableData->DatabaseData : DatabaseData;
  std::unique_ptr<TVelqorimLockGuard<TVelqorimDatabaseData>> lock;
  if (db != nullptr) lock = std::make_unique<TVelqorimLockGuard<TVelqorimDatabaseData>>(*db);
  std::exception_ptr failure;
  if (TableData != nullptr) {
    // The table lets go of this cursor whatever its BLOB streams say.
    try {
      ClearBLOBStreams(false);
    } catch (...) {
      failure = std::current_exception();
    }
    TableData->CloseTable(this);
    // A design-time table of the process-wide databases lives only while it is shown.
    if (DiskTable() != nullptr) FreeUnusedDiskTable(TableData);
    else if (IsDesignMode && TableData->CursorList.empty()) TableData->DeleteTable(this, true);
    TableData = nullptr;
  }
  RecordBitmap.reset();
  FilterExpression = nullptr;
  FOwnedFilter.reset();
  FieldDefs.Clear();
  if (!SettingProjection) VisibleFieldDefs.Clear();
  IndexDefs.Clear();
  ConstraintDefs.Clear();
  BLOBStreams.clear();
  IsOpen = false;
  if (failure) std::rethrow_exception(failure);
}

void TVelqorimLocalCursor::LockTableData() {
  if (TableData == nullptr) throw EABSException(10260, "Nil pointer occured");
  TableData->Lock();
}

void TVelqorimLocalCursor::UnlockTableData() {
  if (TableData == nullptr) throw EABSException(10261, "Nil pointer occured");
  TableData->Unlock();
}

bool TVelqorimLocalCursor::LockTable(TABSLockType LockType, int TryCount, int Delay, bool AllowXIRWAfterSIRW) {
  if (TableData == nullptr) throw EABSException(20221, "Pointer is nil");
  TVelqorimDiskTableData* disk = DiskTable();
  return disk == nullptr || disk->LockTable(Session->SessionID, LockType, TryCount, Delay, AllowXIRWAfterSIRW);
}

bool TVelqorimLocalCursor::UnlockTable(TABSLockType LockType, bool IgnoreIfNoLock) {
  if (TableData == nullptr) throw EABSException(20222, "Pointer is nil");
  TVelqorimDiskTableData* disk = DiskTable();
  return disk == nullptr || disk->UnlockTable(Session->SessionID, LockType, IgnoreIfNoLock);
}

void TVelqorimLocalCursor::RenameField(const String& FieldName, const String& NewFieldName) {
  TableData->RenameField(FieldName, NewFieldName);
}

TVelqorimIndexDefs& TVelqorimLocalCursor::GetIndexDefs() {
  RefreshIndexDefs();
  return TVelqorimCursor::GetIndexDefs();
}

void TVelqorimLocalCursor::AddIndex(TVelqorimIndexDef& IndexDef) {
  if (IndexDefs.GetDefByName(IndexDef.Name) != nullptr)
    throw EABSException(20022, "Cannot create index '%s'. Index already exists", {IndexDef.Name});
  TableData->AddIndex(IndexDef, this);
  RefreshIndexDefs();
}

void TVelqorimLocalCursor::DeleteIndex(const String& Name) {
  const TVelqorimIndexDef* d = IndexDefs.GetIndexDefByName(Name);
  if (d == nullptr) throw EABSException(20021, "Cannot delete index '%s'. Index not found", {Name});
  TableData->DeleteIndex(d->ObjectID, this);
  RefreshIndexDefs();
}

void TVelqorimLocalCursor::DeleteAllIndexes() {
  TableData->DeleteAllIndexes(this);
  RefreshIndexDefs();
}

void TVelqorimLocalCursor::MapNames(TStringList& FieldNamesList) {
  for (int i = 0; i < FieldNamesList.Count(); ++i) {
    if (FieldDefs.GetDefByName(FieldNamesList[i]) != nullptr) continue;
    const auto* visible = static_cast<const TVelqorimFieldDef*>(VisibleFieldDefs.GetDefByName(FieldNamesList[i]));
    if (visible != nullptr && visible->FieldNoReference >= 0 && visible->FieldNoReference < FieldDefs.Count())
      FieldNamesList.SetStrings(i, FieldDefs[visible->FieldNoReference]->Name);
  }
}

String TVelqorimLocalCursor::FindOrCreateIndex(TStringList& FieldNamesList, TStringList& AscDescList,
                                               TStringList& CaseSensitivityList, bool& IsCreated) {
  MapNames(FieldNamesList);
  const String name = TableData->FindOrCreateIndex(*this, FieldNamesList, AscDescList, CaseSensitivityList, IsCreated);
  RefreshIndexDefs();
  return name;
}

bool TVelqorimLocalCursor::IndexExists(TStringList& FieldNamesList, TStringList& AscDescList,
                                       TStringList& CaseSensitivityList) {
  MapNames(FieldNamesList);
  return TableData->IndexExists(*this, FieldNamesList, AscDescList, CaseSensitivityList);
}

void TVelqorimLocalCursor::CopyFieldValue(int SrcFieldNo, bool DirectAccess, int DestFieldNo,
                                          TVelqorimCursor& DestCursor) {
  const TVelqorimFieldDefs& source = DirectAccess ? FieldDefs : VisibleFieldDefs;
  if (SrcFieldNo < 0 || SrcFieldNo >= source.Count())
    throw EABSException(10501, "Invalid field number - FieldNo = %d, FieldCount = %d", {SrcFieldNo, source.Count()});
  if (DestFieldNo < 0 || DestFieldNo >= DestCursor.VisibleFieldDefs.Count())
    throw EABSException(10502, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {DestFieldNo, DestCursor.VisibleFieldDefs.Count()});
  const int srcNo = DirectAccess ? SrcFieldNo : source[SrcFieldNo]->FieldNoReference;
  const int destNo = DestCursor.VisibleFieldDefs[DestFieldNo]->FieldNoReference;
  const TVelqorimFieldDef& s = *FieldDefs[srcNo];
  const TVelqorimFieldDef& d = *DestCursor.FieldDefs[destNo];
  uint8_t* destRecord = DestCursor.CurrentRecordBuffer;
  if (GetBitInBuffer(srcNo, CurrentRecordBuffer)) {
    SetBitInBuffer(true, destNo, destRecord);
    return;
  }
  if (IsBlobBaseFieldType(s.BaseFieldType)) {
    auto* dest = dynamic_cast<TVelqorimLocalCursor*>(&DestCursor);
    if (dest == nullptr || dest->TableData == nullptr) throw EABSException(10502, "Nil pointer occured");
    TABSPartialTemporaryBLOBDescriptor descriptor{};
    uint8_t* data = nullptr;
    TableData->GetDirectBlobData(*this, srcNo, CurrentRecordBuffer, descriptor, data);
    try {
      dest->TableData->SetDirectBlobData(DestCursor, destNo, destRecord, descriptor, data);
    } catch (...) {
      TableData->FreeDirectBlobData(*this, srcNo, CurrentRecordBuffer, descriptor, data);
      throw;
    }
    TableData->FreeDirectBlobData(*this, srcNo, CurrentRecordBuffer, descriptor, data);
    return;
  }
  if (s.BaseFieldType == d.BaseFieldType && s.MemoryDataSize == d.MemoryDataSize) {
    SetBitInBuffer(false, destNo, destRecord);
    std::memcpy(destRecord + d.MemoryOffset, CurrentRecordBuffer + s.MemoryOffset,
                static_cast<size_t>(s.MemoryDataSize));
    return;
  }
  TABSVariant value;
  GetFieldValue(value, srcNo, true);
  DestCursor.SetFieldValue(value, destNo, true);
}

void TVelqorimLocalCursor::InternalInitRecord(uint8_t* RecordBuffer, bool InsertMode) {
  const int flags = FieldDefs.NullFlagsSize();
  std::memset(RecordBuffer, 0xFF, static_cast<size_t>(flags));
  std::memset(RecordBuffer + flags, 0, static_cast<size_t>(std::max(0, BookmarkOffset - flags)));
  if (InsertMode && !Temporary && TableData != nullptr)
    TableData->FieldManager->ApplyDefaultValuesToRecordBuffer(Session, RecordBuffer);
}

void TVelqorimLocalCursor::FreeRecordBuffer(uint8_t*& Buffer) {
  if (TableData != nullptr && Buffer != nullptr) TableData->ClearBlobsCacheInRecordBuffer(Buffer);
  TVelqorimCursor::FreeRecordBuffer(Buffer);
}

int64_t TVelqorimLocalCursor::GetRecordCount() { return TableData->GetRecordCount(*this); }

TABSGetRecordResult TVelqorimLocalCursor::GetRecordBuffer(TABSGetRecordMode GetRecordMode) {
  TTableLock lock(TableData);
  const TABSGetRecordResult r = TableData->GetRecordBuffer(*this, GetRecordMode);
  // The bookmark names the record the buffer holds.
  if (r == grrOK && BookmarkOffset > 0) {
    std::memcpy(CurrentRecordBuffer + BookmarkOffset, &CurrentRecordID.PageNo, 4);
    std::memcpy(CurrentRecordBuffer + BookmarkOffset + 4, &CurrentRecordID.PageItemNo, 2);
  }
  return r;
}

void TVelqorimLocalCursor::SetRecNo(int64_t Value) { TableData->SetRecNo(*this, Value); }

int64_t TVelqorimLocalCursor::GetRecNo() { return TableData->GetRecNo(*this); }

bool TVelqorimLocalCursor::ReadStored(TABSPageItemID Id, uint8_t* Buffer) {
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmCurrent;
  nav.RecordID = Id;
  nav.RecordBuffer = Buffer;
  TableData->RecordManager->GetRecordBuffer(Session != nullptr ? Session->SessionID : 0, nav);
  return nav.GetRecordResult == grrOK;
}

int TVelqorimLocalCursor::CompareRecordsOrder(TABSPageItemID RecordID1, TABSPageItemID RecordID2) {
  if (IndexID != -1) {
    TTableLock lock(TableData);
    std::vector<uint8_t> a(static_cast<size_t>(RecordBufferSize)), b(a.size());
    if (!ReadStored(RecordID1, a.data())) return -1;
    if (!ReadStored(RecordID2, b.data())) return 1;
    TVelqorimIndex* index = TableData->IndexManager->OpenIndex(IndexID);
    const int c = index->CompareRecordBuffersByIndex(a.data(), b.data(), index->IndexDef->ColumnCount());
    if (c != 0) return c;
  }
  if (RecordID1.PageNo != RecordID2.PageNo) return RecordID1.PageNo < RecordID2.PageNo ? -1 : 1;
  return (RecordID1.PageItemNo > RecordID2.PageItemNo) - (RecordID1.PageItemNo < RecordID2.PageItemNo);
}

void TVelqorimLocalCursor::InternalFirst() {
  FirstPosition = true;
  LastPosition = false;
}

void TVelqorimLocalCursor::InternalLast() {
  FirstPosition = false;
  LastPosition = true;
}

TABSPageItemID TVelqorimLocalCursor::BookmarkRecordID(const uint8_t* Buffer) const {
  TABSPageItemID id{-1, 0};
  std::memcpy(&id.PageNo, Buffer + BookmarkOffset, 4);
  std::memcpy(&id.PageItemNo, Buffer + BookmarkOffset + 4, 2);
  return id;
}

void TVelqorimLocalCursor::InternalEdit() {
  TTableLock lock(TableData);
  ErrorCode = 0;
  if (IsTemporaryTable()) {
    ErrorCode = -9;
    return;
  }
  TVelqorimDiskTableData* disk = SharedDiskTable();
  if (disk == nullptr) return;
  const int session = Session->SessionID;
  const TABSLockType tableLock = Session->InTransaction ? ltXIRW : ltSIRW;
  if (!disk->LockTable(session, tableLock, RetryConfig().LongLockTryCount, RetryConfig().LongLockDelayMS, true)) {
    ErrorCode = -13;
    return;
  }
  if (!disk->LockRecord(session, CurrentRecordID, RetryConfig().LockTryCount, RetryConfig().LongLockDelayMS)) {
    disk->UnlockTable(session, tableLock, true);
    ErrorCode = -12;
    return;
  }
  // The record as it is stored now must be the one the edit starts from.
  const size_t size = static_cast<size_t>(RecordBufferSize);
  std::vector<uint8_t> copy(CurrentRecordBuffer, CurrentRecordBuffer + size);
  const bool read = ReadStored(CurrentRecordID, CurrentRecordBuffer);
  const bool same = read && disk->FieldManager->CompareRecordBuffers(CurrentRecordBuffer, copy.data());
  std::memcpy(CurrentRecordBuffer, copy.data(), size);
  if (read && same) return;
  ErrorCode = read ? -4 : -6;
  disk->UnlockRecord(session, CurrentRecordID);
  disk->UnlockTable(session, tableLock, true);
}

void TVelqorimLocalCursor::InternalCancel(bool ToInsert) {
  TTableLock lock(TableData);
  ClearBLOBStreams(true);
  TVelqorimDiskTableData* disk = DiskTable();
  if (disk != nullptr) disk->ClearModifiedBLOBFieldsInRecordBuffer(CurrentRecordBuffer);
  if (ToInsert) {
    TableData->ClearBLOBFieldsInRecordBuffer(CurrentRecordBuffer);
  } else if (auto* memory = dynamic_cast<TVelqorimMemoryTableData*>(TableData)) {
    memory->DiscardUnstoredBlobs(CurrentRecordBuffer, BookmarkRecordID(CurrentRecordBuffer));
  }
  if (TVelqorimDiskTableData* shared = SharedDiskTable(); shared != nullptr && !ToInsert) {
    shared->UnlockRecord(Session->SessionID, BookmarkRecordID(CurrentRecordBuffer));
    if (!Session->InTransaction) shared->UnlockTable(Session->SessionID, ltSIRW, true);
  }
}

void TVelqorimLocalCursor::PostProper(bool ToInsert) {
  const int session = Session != nullptr ? Session->SessionID : 0;
  try {
    // The table is this session's to change, with the counters of its own view.
    if (DiskTable() != nullptr) DiskTable()->BeginChange(*this);
    // Autoincrement values continue from what other processes stored.
    if (ToInsert && DiskTable() != nullptr && DiskTable()->MultiUser()) DiskTable()->LoadMostUpdated(session);
    if (ToInsert) TableData->FieldManager->ApplyAutoincsToRecordBuffer(Session, CurrentRecordBuffer);
    if (!Temporary)
      TableData->ConstraintManager->CheckConstraints(session, CurrentRecordBuffer, EditRecordBuffer, ToInsert,
                                                     CurrentRecordID, true, true);
  } catch (const Exception& e) {
    ErrorCode = -8;
    ErrorMessage = e.Message;
    return;
  }
  ClearBLOBStreams(true);
  if (ToInsert) {
    TVelqorimCursor* self = this;
    if (!TableData->InsertRecord(self)) {
      ErrorCode = -1;
      return;
    }
    std::memcpy(CurrentRecordBuffer + BookmarkOffset, &CurrentRecordID.PageNo, 4);
    std::memcpy(CurrentRecordBuffer + BookmarkOffset + 4, &CurrentRecordID.PageItemNo, 2);
    CurrentRecordBuffer[BookmarkOffset + 6] = 3;
    return;
  }
  const TABSPageItemID id = BookmarkRecordID(CurrentRecordBuffer);
  const size_t size = static_cast<size_t>(RecordBufferSize);
  std::vector<uint8_t> values(CurrentRecordBuffer, CurrentRecordBuffer + size);
  const bool read = ReadStored(id, CurrentRecordBuffer);
  const bool unchanged =
      read && (EditRecordBuffer == nullptr ||
               TableData->FieldManager->CompareRecordBuffers(CurrentRecordBuffer, EditRecordBuffer));
  std::memcpy(CurrentRecordBuffer, values.data(), size);
  if (!read) {
    ErrorCode = -6;
    return;
  }
  if (!unchanged) {
    ErrorCode = -4;
    return;
  }
  CurrentRecordID = id;
  ErrorCode = TableData->UpdateRecord(*this) ? 0 : -2;
}

void TVelqorimLocalCursor::InternalPost(bool ToInsert) {
  TTableLock lock(TableData);
  ErrorCode = 0;
  ErrorMessage.clear();
  TVelqorimDiskTableData* disk = SharedDiskTable();
  if (disk == nullptr) {
    PostProper(ToInsert);
    return;
  }
  const int session = Session->SessionID;
  const bool inTransaction = Session->InTransaction;
  const TABSLockType writeLock = inTransaction ? ltXIRW : ltRW;
  if (!LockTableWaiting(*disk, writeLock, RetryConfig().ReadLockTryCount, RetryConfig().ReadLockDelayMS)) {
    ErrorCode = -13;
    return;
  }
  try {
    PostProper(ToInsert);
  } catch (...) {
    if (!inTransaction) disk->UnlockTable(session, ltRW, true);
    throw;
  }
  if (!ToInsert && ErrorCode != -8) {
    disk->UnlockRecord(session, BookmarkRecordID(CurrentRecordBuffer));
    disk->UnlockTable(session, ltSIRW, true);
  }
  if (!inTransaction) disk->UnlockTable(session, ltRW, true);
}

void TVelqorimLocalCursor::InternalDelete() {
  TTableLock lock(TableData);
  ErrorCode = 0;
  if (IsTemporaryTable()) {
    ErrorCode = -10;
    return;
  }
  TVelqorimDiskTableData* disk = SharedDiskTable();
  if (disk == nullptr) {
    DeleteProper();
    return;
  }
  const int session = Session->SessionID;
  const bool inTransaction = Session->InTransaction;
  const TABSLockType writeLock = inTransaction ? ltXIRW : ltRW;
  if (!LockTableWaiting(*disk, writeLock, RetryConfig().LongLockTryCount, RetryConfig().LongLockDelayMS)) {
    ErrorCode = -13;
    return;
  }
  const TABSPageItemID id = BookmarkRecordID(CurrentRecordBuffer);
  if (!disk->LockRecord(session, id, RetryConfig().LockTryCount, RetryConfig().LongLockDelayMS)) {
    if (!inTransaction) disk->UnlockTable(session, writeLock, true);
    ErrorCode = -12;
    return;
  }
  try {
    DeleteProper();
  } catch (...) {
    disk->UnlockRecord(session, id);
    if (!inTransaction) disk->UnlockTable(session, ltRW, true);
    throw;
  }
  disk->UnlockRecord(session, id);
  if (!inTransaction) disk->UnlockTable(session, ltRW, true);
}

void TVelqorimLocalCursor::DeleteProper() {
  const TABSPageItemID id = BookmarkRecordID(CurrentRecordBuffer);
  const size_t size = static_cast<size_t>(TableData->RecordManager->RecordBufferSize);
  std::vector<uint8_t> copy(CurrentRecordBuffer, CurrentRecordBuffer + size);
  const bool read = ReadStored(id, CurrentRecordBuffer);
  const bool same = read && std::memcmp(CurrentRecordBuffer, copy.data(), size) == 0;
  std::memcpy(CurrentRecordBuffer, copy.data(), size);
  if (!read) {
    ErrorCode = -7;
    return;
  }
  if (!same) {
    ErrorCode = -5;
    return;
  }
  CurrentRecordID = id;
  ErrorCode = TableData->DeleteRecord(*this) ? 0 : -3;
}

bool TVelqorimLocalCursor::IsRecordLocked() {
  TTableLock lock(TableData);
  TVelqorimDiskTableData* disk = DiskTable();
  return disk != nullptr && Session != nullptr &&
         disk->IsRecordLocked(Session->SessionID, BookmarkRecordID(CurrentRecordBuffer));
}

void TVelqorimLocalCursor::ApplyDistinct(TStringList& FieldNamesList, TStringList& AscDescList,
                                         TStringList& CaseSensitivityList) {
  TTableLock lock(TableData);
  bool created = false;
  const String name = FindOrCreateIndex(FieldNamesList, AscDescList, CaseSensitivityList, created);
  SetIndexName(name);
  DistinctFieldCount = FieldNamesList.Count();
  DisableRecordBitmap();
}

void TVelqorimLocalCursor::ActivateFilters(const String& FilterText, bool CaseInsensitive, bool PartialKey) {
  if (!FilterFactory) NoExpressionLayer();
  std::unique_ptr<TABSBaseExpression> filter = FilterFactory(*this, FilterText, CaseInsensitive, PartialKey);
  FOwnedFilter = std::move(filter);
  FilterExpression = FOwnedFilter.get();
  DisableRecordBitmap();
}

void TVelqorimLocalCursor::DeactivateFilters() {
  FilterExpression = nullptr;
  FOwnedFilter.reset();
  DisableRecordBitmap();
}

bool TVelqorimLocalCursor::Locate(const String& KeyFields, const std::vector<TABSVarData>& KeyValues,
                                  bool CaseInsensitive, bool PartialKey) {
  if (!LocateFactory) NoExpressionLayer();
  std::unique_ptr<TABSBaseExpression> e = LocateFactory(*this, KeyFields, KeyValues, CaseInsensitive, PartialKey);
  return TableData->Locate(*this, e.get());
}

bool TVelqorimLocalCursor::FindKey(TABSSearchCondition SearchCondition) {
  return TableData->FindKey(*this, SearchCondition);
}

bool TVelqorimLocalCursor::IsAnyRecordMatchCondition(const String& FieldName, TABSDataOperator Operator,
                                                     const TABSVariant& Value) {
  if (!MatchFactory) NoExpressionLayer();
  std::unique_ptr<TABSBaseExpression> e = MatchFactory(*this, FieldName, Operator, Value);
  void* saved = SavePosition();
  uint8_t* buffer = CurrentRecordBuffer;
  std::vector<uint8_t> scratch(static_cast<size_t>(RecordBufferSize));
  CurrentRecordBuffer = scratch.data();
  bool found = false;
  try {
    found = TableData->Locate(*this, e.get());
  } catch (...) {
    CurrentRecordBuffer = buffer;
    RestorePosition(saved);
    FreePosition(saved);
    throw;
  }
  CurrentRecordBuffer = buffer;
  RestorePosition(saved);
  FreePosition(saved);
  return found;
}

TABSStream* TVelqorimLocalCursor::InternalCreateBlobStream(bool ToInsert, bool ToEdit, int FieldNo,
                                                           TABSBLOBOpenMode OpenMode, bool CanDoGetRecordBuffer) {
  TTableLock lock(TableData);
  if (TVelqorimDiskTableData* disk = SharedDiskTable()) {
    // The current record is read again under a shared lock, so the stream
    // shows the BLOB as another process may have stored it since.
    const int session = Session->SessionID;
    if (!disk->LockTable(session, ltS, RetryConfig().ReadLockTryCount, RetryConfig().ReadLockDelayMS, true))
      return nullptr;
    bool read = true;
    try {
      if (!ToInsert && !ToEdit && CanDoGetRecordBuffer && BLOBStreams.empty()) {
        void* saved = SavePosition();
        read = GetRecordBuffer(grmCurrent) == grrOK;
        RestorePosition(saved);
        FreePosition(saved);
      }
    } catch (...) {
      disk->UnlockTable(session, ltS, true);
      throw;
    }
    disk->UnlockTable(session, ltS, true);
    if (!read) return nullptr;
  }
  if (FieldNo < 0 || FieldNo >= VisibleFieldDefs.Count())
    throw EABSException(10110, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {FieldNo, VisibleFieldDefs.Count()});
  if (TableData == nullptr) throw EABSException(10113, "Nil pointer occured");
  const int tableFieldNo = VisibleFieldDefs[FieldNo]->FieldNoReference;
  if (OpenMode != bomRead)
    for (const auto& s : BLOBStreams) {
      auto* open = dynamic_cast<TVelqorimLocalBLOBStream*>(s.get());
      if (open == nullptr) throw EABSException(10114, "Nil pointer occured");
      if (open->FieldNo == tableFieldNo && open->OpenMode != bomRead)
        throw EABSException(10115, "BLOB field already opened. FieldNo = %d, FieldName = %s",
                            {FieldNo, VisibleFieldDefs[FieldNo]->Name});
    }
  TABSStream* stream = TableData->InternalCreateBlobStream(*this, ToInsert, tableFieldNo, OpenMode);
  BLOBStreams.emplace_back(stream);
  return stream;
}

void TVelqorimLocalCursor::InternalCloseBLOB(int FieldNo) {
  TTableLock lock(TableData);
  if (FieldNo < 0 || FieldNo >= VisibleFieldDefs.Count())
    throw EABSException(10118, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {FieldNo, VisibleFieldDefs.Count()});
  const int tableFieldNo = VisibleFieldDefs[FieldNo]->FieldNoReference;
  for (size_t i = 0; i < BLOBStreams.size();) {
    auto* s = dynamic_cast<TVelqorimLocalBLOBStream*>(BLOBStreams[i].get());
    if (s == nullptr) throw EABSException(10120, "Nil pointer occured");
    if (s->FieldNo != tableFieldNo) {
      ++i;
      continue;
    }
    if (s->OpenMode != bomRead) TableData->WriteBLOBFieldToRecordBuffer(*this, tableFieldNo, *s);
    // An unchanged value need not stay cached in the record.
    if (!s->Modified() && DiskTable() != nullptr) TableData->ClearBLOBFieldInRecordBuffer(CurrentRecordBuffer, tableFieldNo);
    delete s->UserBLOBStream;
    BLOBStreams.erase(BLOBStreams.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void TVelqorimLocalCursor::ClearBLOBStreams(bool WriteOnly) {
  for (size_t i = 0; i < BLOBStreams.size();) {
    auto* s = dynamic_cast<TVelqorimLocalBLOBStream*>(BLOBStreams[i].get());
    if (s == nullptr) throw EABSException(10121, "Nil pointer occured");
    if (WriteOnly && s->OpenMode == bomRead) {
      ++i;
      continue;
    }
    // Closed directly: the wrapper, when there is one, goes with it.
    if (s->OpenMode != bomRead && TableData != nullptr)
      TableData->WriteBLOBFieldToRecordBuffer(*this, s->FieldNo, *s);
    delete s->UserBLOBStream;
    BLOBStreams.erase(BLOBStreams.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

int64_t TVelqorimLocalCursor::LastAutoincValue(int FieldNo) { return TableData->LastAutoincValue(FieldNo, Session); }

void TVelqorimLocalCursor::BeginBatchUpdate() {
  if (Session == nullptr || !Session->InTransaction) InBatchUpdate = true;
}

void TVelqorimLocalCursor::EndBatchUpdate() {
  if ((Session != nullptr && Session->InTransaction) || !InBatchUpdate) return;
  InBatchUpdate = false;
  if (TVelqorimDiskTableData* disk = DiskTable()) disk->ApplyChanges(CursorSessionID(this), false);
}

void TVelqorimLocalCursor::CancelBatchUpdate() {
  if ((Session != nullptr && Session->InTransaction) || !InBatchUpdate) return;
  InBatchUpdate = false;
  if (TVelqorimDiskTableData* disk = DiskTable()) {
    disk->CancelChanges(CursorSessionID(this), false);
    disk->LoadMostUpdated(CursorSessionID(this));
  }
}

bool TVelqorimLocalCursor::CheckConstraints(bool ToInsert) {
  return TableData->ConstraintManager->CheckConstraints(Session != nullptr ? Session->SessionID : 0,
                                                        CurrentRecordBuffer, EditRecordBuffer, ToInsert,
                                                        CurrentRecordID, false, true);
}
