#include "db/storage/VelqorimDiskDatabase.h"

#include <algorithm>
#include <exception>

#include "db/storage/VelqorimDiskTable.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"

TVelqorimDatabaseData* NewDiskDatabaseData(TVelqorimLocalSession& Session) {
  auto* d = new TVelqorimDiskDatabaseData;
  d->DatabaseName = Session.DatabaseFileName;
  d->ReadOnly = Session.ReadOnly;
  if (Session.MaxSessionCount > 0) d->MaxSessionCount = Session.MaxSessionCount;
  *d->Password() = Session.Password;
  d->PageSize = Session.PageSize;
  d->PageCountInExtent = Session.PageCountInExtent;
  d->SessionName = Session.SessionName;
  return d;
}

TVelqorimDiskDatabaseData::~TVelqorimDiskDatabaseData() {
  // Table datas use the page manager: they go before the file closes.
  while (!FTableDataList.empty()) delete FTableDataList.back();
  try {
    CloseDatabaseFile();
  } catch (...) {
    // A destructor must not raise.
  }
}

void TVelqorimDiskDatabaseData::CreateDatabase() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  auto pm = std::make_unique<TVelqorimDiskPageManager>();
  try {
    pm->CreateAndOpenDatabase(DatabaseName, FPassword, static_cast<uint16_t>(PageSize),
                              static_cast<uint16_t>(PageCountInExtent));
    TVelqorimSystemDirectory dir(pm.get());
    TVelqorimActiveSessionsFile sessions(pm.get());
    TVelqorimTableListFile tables(pm.get());
    dir.CreateDirectory();
    dir.CreateFile(dbftActiveSessionsList, sessions.CreateFile(MaxSessionCount));
    dir.CreateFile(dbftTablesList, tables.CreateFile());
    dir.SaveDirectory();
    pm->SyncOnCommit = true;  // a new file is whole on disk before anyone opens it
    pm->ApplyChanges(VelqorimSystemSessionID);
  } catch (...) {
    pm->CancelChanges(VelqorimSystemSessionID);
    pm->CloseDatabase();
    throw;
  }
  pm->CloseDatabase();
}

void TVelqorimDiskDatabaseData::OpenDatabaseFile(TVelqorimBaseSession* Session, bool Exclusive,
                                                 bool& RepairNeeded) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  try {
    FPageManager = std::make_unique<TVelqorimDiskPageManager>();
    PageManager = FPageManager.get();
    MultiUser = Session->MultiUser;
    FPageManager->OpenDatabase(DatabaseName, FPassword, ReadOnly, RepairNeeded, Exclusive, MultiUser);
    FPassword = FPageManager->Password();
    PageSize = FPageManager->DBHeader().PageSize;
    PageCountInExtent = FPageManager->DBHeader().PageCountInExtent;
    FSystemDir = std::make_unique<TVelqorimSystemDirectory>(FPageManager.get());
    FSystemDir->LoadDirectory();
    FActiveSessionsFile = std::make_unique<TVelqorimActiveSessionsFile>(FPageManager.get());
    const int32_t sessionsPage = FSystemDir->GetFileFirstPageNo(dbftActiveSessionsList);
    const int32_t tablesPage = FSystemDir->GetFileFirstPageNo(dbftTablesList);
    if (sessionsPage < 0 || tablesPage < 0) throw EABSException(20237, "Invalid database format");
    FActiveSessionsFile->OpenFile(sessionsPage);
    MaxSessionCount = FActiveSessionsFile->MaxSessionCount();
    FTableListFile = std::make_unique<TVelqorimTableListFile>(FPageManager.get());
    FTableListFile->OpenFile(tablesPage);
    FTableListFile->Load();
    FTableLockManager =
        std::make_unique<TVelqorimDatabaseTableLockManager>(MaxSessionCount, FPageManager.get());
  } catch (...) {
    CloseDatabaseFile();
    throw;
  }
}

void TVelqorimDiskDatabaseData::CloseDatabaseFile() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  // Tables no cursor has open only cache what the file holds.
  for (size_t i = FTableDataList.size(); i-- > 0;)
    if (FTableDataList[i]->CursorList.empty()) delete FTableDataList[i];
  FSystemDir.reset();
  FTableListFile.reset();
  FActiveSessionsFile.reset();
  FTableLockManager.reset();
  if (FPageManager) {
    FPageManager->CloseDatabase();
    FPageManager.reset();
  }
  PageManager = nullptr;
  FSingleUserConnected = false;
  FTableClaims.clear();
  FTablesLockCount = 0;
}

void TVelqorimDiskDatabaseData::ConnectSession(TVelqorimBaseSession* Session) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FPageManager) {
    bool repair = false;
    OpenDatabaseFile(Session, Session->Exclusive, repair);
    Session->RepairNeeded = repair;
    Session->MultiUser = MultiUser;
  }
  if (Session->MultiUser != MultiUser)
    throw EABSException(20235, "Cannot open database in multi-user and signle-user mode at the same time");
  if (MultiUser) {
    Session->SessionID = FActiveSessionsFile->MultiUserConnect();
  } else {
    // The smallest id no connected session has and no uncommitted changes are left under.
    int id = 0;
    while (SessionHasChanges(id) ||
           std::any_of(SessionList.begin(), SessionList.end(),
                       [id](const TVelqorimBaseSession* s) { return s->SessionID == id; }))
      ++id;
    Session->SessionID = id;
    if (!FSingleUserConnected) {
      FSingleUserConnected = FActiveSessionsFile->SingleUserConnect();
      if (!FSingleUserConnected) {
        // Others hold slots and may write: read only, and never trust a
        // cached page without checking it against the file.
        ReadOnly = true;
        FPageManager->ValidateCachedPages = true;
      }
    }
  }
  SessionList.push_back(Session);
}

void TVelqorimDiskDatabaseData::DisconnectSession(TVelqorimBaseSession* Session) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  // What the session leaves uncommitted goes with it (before its slot and its
  // locks do); the session leaves also when that fails, and the failure is raised.
  std::exception_ptr failure;
  if (FPageManager && std::find(SessionList.begin(), SessionList.end(), Session) != SessionList.end()) {
    try {
      if (Session->InTransaction)
        Session->Rollback();
      else if (SessionHasChanges(Session->SessionID))
        TVelqorimDatabaseData::Rollback(Session->SessionID);
    } catch (...) {
      failure = std::current_exception();
    }
    ReleaseTableClaims(Session->SessionID);
  }
  if (!SessionList.empty() && FActiveSessionsFile) {
    try {
      if (Session->MultiUser && MultiUser) {
        FActiveSessionsFile->MultiUserDisconnect(Session->SessionID);
      } else if (FSingleUserConnected && SessionList.size() == 1) {
        FActiveSessionsFile->SingleUserDisconnect();
        FSingleUserConnected = false;
      }
    } catch (...) {
      if (!DesignTimeFlag) {
        std::erase(SessionList, Session);
        throw;
      }
    }
  }
  std::erase(SessionList, Session);
  if (SessionList.empty()) CloseDatabaseFile();
  if (failure) std::rethrow_exception(failure);
}

bool TVelqorimDiskDatabaseData::FreeIfNoSessionsConnected() {
  size_t count = 0;
  {
    TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
    count = SessionList.size();
  }
  if (count != 0) return false;
  delete this;
  return true;
}

void TVelqorimDiskDatabaseData::GetTablesList(TStrings& List) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FTableListFile) {
    List.Clear();
    return;
  }
  FTableListFile->GetTablesList(List);
}

TVelqorimTableData* TVelqorimDiskDatabaseData::CreateTableData(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FPageManager) throw EABSException(30399, "Error - database file is not opened.");
  auto* t = new TVelqorimDiskTableData(this);
  t->TableName = Cursor.TableName;
  AddTableData(t);
  return t;
}

int TVelqorimDiskDatabaseData::GetNewObjectId() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FPageManager) throw EABSException(30399, "Error - database file is not opened.");
  return FPageManager->GetNextObjectID();
}

void TVelqorimDiskDatabaseData::Commit(int SessionID, bool DoFlushBuffers) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FPageManager) return;
  const bool changed = SessionHasChanges(SessionID);
  // A read-only connection shares the file with its writers: it must never write into it.
  if (changed && ReadOnly) throw EABSException(20304, "Cannot commit changes. Database is open read-only");
  if (MultiUser && !FTableLockManager->AddRWLocksBeforeCommit(SessionID))
    throw EABSException(20233, "Cannot commit changes. Locks of modified tables failed");
  const bool sync = FPageManager->SyncOnCommit;
  FPageManager->SyncOnCommit = DoFlushBuffers;
  try {
    TVelqorimDatabaseData::Commit(SessionID, DoFlushBuffers);
  } catch (...) {
    FPageManager->SyncOnCommit = sync;
    throw;
  }
  FPageManager->SyncOnCommit = sync;
  if (DoFlushBuffers) FPageManager->FlushBuffers();
  ReleaseTableClaims(SessionID);
  // What other sessions hold in memory of the tables may predate the commit.
  for (TVelqorimTableData* t : FTableDataList) static_cast<TVelqorimDiskTableData*>(t)->ChangesCommitted(SessionID);
  if (MultiUser) FTableLockManager->ClearTransactionLocks(SessionID);
}

void TVelqorimDiskDatabaseData::Rollback(int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (MultiUser && FTableLockManager) FTableLockManager->ClearTransactionLocks(SessionID);
  TVelqorimDatabaseData::Rollback(SessionID);
  ReleaseTableClaims(SessionID);
}

bool TVelqorimDiskDatabaseData::SessionHasChanges(int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  const TVelqorimSessionPageInfo* pages = FPageManager ? FPageManager->FindSession(SessionID) : nullptr;
  return pages != nullptr && (pages->DirtyPages->Count() > 0 || pages->AddedPageNumbers->ItemCount > 0 ||
                              pages->RemovedPageNumbers->ItemCount > 0);
}

bool TVelqorimDiskDatabaseData::TableClaimedByOther(int32_t TableID, int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (MultiUser) return false;
  const auto claim = FTableClaims.find(TableID);
  return claim != FTableClaims.end() && claim->second != SessionID && SessionHasChanges(claim->second);
}

void TVelqorimDiskDatabaseData::ClaimTable(int32_t TableID, int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (MultiUser || SessionID < 0) return;
  if (TableClaimedByOther(TableID, SessionID)) throw EABSException(20225, "Table is locked");
  FTableClaims[TableID] = SessionID;
}

void TVelqorimDiskDatabaseData::ReleaseTableClaims(int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  std::erase_if(FTableClaims, [SessionID](const auto& claim) { return claim.second == SessionID; });
}

void TVelqorimDiskDatabaseData::FlushBuffers() {
  if (FPageManager) FPageManager->FlushBuffers();
}

void TVelqorimDiskDatabaseData::TruncateDatabase() {
  if (FPageManager) FPageManager->TruncateDatabase();
}

int TVelqorimDiskDatabaseData::GetDBFileConnectionsCount() {
  return FActiveSessionsFile ? FActiveSessionsFile->GetDBFileConnectionsCount() : 0;
}

void TVelqorimDiskDatabaseData::LockTables() {
  if (!FPageManager) throw EABSException(20210, "Database tables are locked");
  if (FTablesLockCount > 0) {
    ++FTablesLockCount;
    return;
  }
  if (!RetryOperation(RetryConfig().TablesLockTryCount, RetryConfig().TablesLockDelayMS,
                      [this] { return FPageManager->LockTables(); }))
    throw EABSException(20210, "Database tables are locked");
  FTablesLockCount = 1;
}

void TVelqorimDiskDatabaseData::UnlockTables() {
  if (FTablesLockCount > 1) {
    --FTablesLockCount;
    return;
  }
  if (FTablesLockCount == 0 || !FPageManager || !FPageManager->UnlockTables())
    throw EABSException(20211, "Cannot unlock database tables");
  FTablesLockCount = 0;
}

bool TVelqorimDiskDatabaseData::GetSuppressDBHeaderErrors() {
  return FPageManager && FPageManager->FreeSpaceManager() &&
         FPageManager->FreeSpaceManager()->SuppressDBHeaderErrors;
}

void TVelqorimDiskDatabaseData::SetSuppressDBHeaderErrors(bool Value) {
  if (FPageManager && FPageManager->FreeSpaceManager())
    FPageManager->FreeSpaceManager()->SuppressDBHeaderErrors = Value;
}

template <class Change>
void TVelqorimDiskDatabaseData::WithFreshTableList(int NilErrorCode, Change&& Apply) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FTableListFile) throw EABSException(NilErrorCode, "Pointer is nil");
  const bool callerHoldsTables = FTablesLockCount > 0;
  LockTables();
  try {
    FTableListFile->Load();
    Apply(*FTableListFile);
    // Without a caller's bracket the change is stored before the lock goes,
    // so that no other process reads the list in between.
    if (!callerHoldsTables) ApplySystemChanges();
  } catch (...) {
    if (!callerHoldsTables) CancelSystemChanges();
    UnlockTables();
    throw;
  }
  UnlockTables();
}

void TVelqorimDiskDatabaseData::AddTableToList(int32_t TableID, const String& TableName,
                                               int32_t MetadataFilePageNo, int32_t MostUpdatedFilePageNo,
                                               int32_t LocksFilePageNo) {
  WithFreshTableList(20129, [&](TVelqorimTableListFile& List) {
    List.AddTable(TableID, UTF8ToAnsi(TableName), MetadataFilePageNo, MostUpdatedFilePageNo, LocksFilePageNo);
    List.Save();
  });
}

void TVelqorimDiskDatabaseData::OpenTableFromList(const String& TableName, int32_t& TableID,
                                                  int32_t& MetadataFilePageNo, int32_t& MostUpdatedFilePageNo,
                                                  int32_t& LocksFilePageNo) {
  WithFreshTableList(20129, [&](TVelqorimTableListFile& List) {
    List.OpenTable(UTF8ToAnsi(TableName), TableID, MetadataFilePageNo, MostUpdatedFilePageNo,
                   LocksFilePageNo);
  });
}

void TVelqorimDiskDatabaseData::RemoveTableFromList(const String& TableName) {
  WithFreshTableList(20130, [&](TVelqorimTableListFile& List) {
    List.RemoveTable(UTF8ToAnsi(TableName));
    List.Save();
  });
}

void TVelqorimDiskDatabaseData::RenameTableInList(const String& TableName, const String& NewTableName) {
  WithFreshTableList(20131, [&](TVelqorimTableListFile& List) {
    List.RenameTable(UTF8ToAnsi(TableName), UTF8ToAnsi(NewTableName));
    List.Save();
  });
}

void TVelqorimDiskDatabaseData::ApplySystemChanges() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (!FPageManager) return;
  if (ReadOnly) {
    FPageManager->CancelChanges(VelqorimSystemSessionID);
    throw EABSException(20304, "Cannot commit changes. Database is open read-only");
  }
  FPageManager->ApplyChanges(VelqorimSystemSessionID);
}

void TVelqorimDiskDatabaseData::CancelSystemChanges() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (FPageManager) FPageManager->CancelChanges(VelqorimSystemSessionID);
}
