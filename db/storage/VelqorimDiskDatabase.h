#pragma once
// The open-database object of a database file: creates the file with its
// catalogue, opens it when its first session connects, gives sessions their
// slots in single- or multi-user mode, keeps the table catalogue (re-read
// from the file under the tables lock before every change, so that another
// process's change is never lost) and commits under the table locks.
//
// Every session has a session id of its own, in single-user mode too, and so
// its own uncommitted pages: one session never sees, commits or rolls back
// another's changes. Between the sessions of a single-user database a table's
// uncommitted changes belong to one session at a time (ClaimTable), as the
// table locks see to between the sessions of a multi-user database.

#include <cstdint>
#include <map>
#include <memory>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimDiskLocks.h"

class TVelqorimLocalSession;

class TVelqorimDiskDatabaseData : public TVelqorimDatabaseData {
 public:
  TVelqorimDiskDatabaseData() = default;
  ~TVelqorimDiskDatabaseData() override;

  // Writes a new file with its catalogue and leaves it closed.
  void CreateDatabase() override;
  // The first session opens the file; 20235 when modes differ, 20094 without a free slot.
  void ConnectSession(TVelqorimBaseSession* Session) override;
  // A session leaves with its uncommitted changes rolled back; the last one closes the file.
  void DisconnectSession(TVelqorimBaseSession* Session) override;
  bool FreeIfNoSessionsConnected() override;
  void GetTablesList(TStrings& List) override;
  TVelqorimTableData* CreateTableData(TVelqorimCursor& Cursor) override;
  int GetNewObjectId() override;
  // Multi-user: ltRW on the changed tables first (20233 and nothing written
  // when they cannot be had). With DoFlushBuffers every step of the commit
  // reaches stable storage before the next.
  void Commit(int SessionID, bool DoFlushBuffers) override;
  void Rollback(int SessionID) override;
  void FlushBuffers() override;

  void TruncateDatabase();
  int GetDBFileConnectionsCount();
  // The tables byte: 20210 when not had within its tries, 20211 when it cannot be released.
  void LockTables();
  void UnlockTables();
  bool GetSuppressDBHeaderErrors();
  void SetSuppressDBHeaderErrors(bool Value);

  // Catalogue: under the database lock and the tables lock, from the list as
  // stored now. A caller holding LockTables commits the change with its own
  // system-session work (ApplySystemChanges) or drops it
  // (CancelSystemChanges); without that bracket the change is committed at once.
  void AddTableToList(int32_t TableID, const String& TableName, int32_t MetadataFilePageNo,
                      int32_t MostUpdatedFilePageNo, int32_t LocksFilePageNo);
  void OpenTableFromList(const String& TableName, int32_t& TableID, int32_t& MetadataFilePageNo,
                         int32_t& MostUpdatedFilePageNo, int32_t& LocksFilePageNo);
  void RemoveTableFromList(const String& TableName);
  void RenameTableInList(const String& TableName, const String& NewTableName);
  void ApplySystemChanges();
  void CancelSystemChanges();

  // Single-user: SessionID becomes the session whose uncommitted changes the
  // table holds; 20225 "Table is locked" while another session's changes of
  // it are neither committed nor rolled back. Nothing in multi-user mode.
  void ClaimTable(int32_t TableID, int SessionID);
  // Whether another session holds uncommitted changes of the table (single-user).
  bool TableClaimedByOther(int32_t TableID, int SessionID);
  // The session's changes were committed or dropped: its tables are free again.
  void ReleaseTableClaims(int SessionID);
  // Whether the session has pages it changed, added or removed and not committed.
  bool SessionHasChanges(int SessionID);

  TVelqorimDiskPageManager* DiskPageManager() const { return FPageManager.get(); }
  TVelqorimDatabaseTableLockManager* TableLockManager() const { return FTableLockManager.get(); }
  bool Encrypted() const { return FPageManager && FPageManager->Encrypted(); }
  TABSPassword* Password() { return &FPassword; }

  int32_t MaxSessionCount = VelqorimDefaultMaxSessionCount;
  int32_t PageSize = 4096;
  int32_t PageCountInExtent = 8;

 private:
  void OpenDatabaseFile(TVelqorimBaseSession* Session, bool Exclusive, bool& RepairNeeded);
  void CloseDatabaseFile();
  // Runs Apply on the table list freshly read under the tables lock.
  template <class Change>
  void WithFreshTableList(int NilErrorCode, Change&& Apply);

  std::unique_ptr<TVelqorimSystemDirectory> FSystemDir;
  std::unique_ptr<TVelqorimActiveSessionsFile> FActiveSessionsFile;
  std::unique_ptr<TVelqorimTableListFile> FTableListFile;
  TABSPassword FPassword;
  std::unique_ptr<TVelqorimDatabaseTableLockManager> FTableLockManager;
  std::unique_ptr<TVelqorimDiskPageManager> FPageManager;
  bool FSingleUserConnected = false;
  std::map<int32_t, int> FTableClaims;  // table id -> session with uncommitted changes of it
  int FTablesLockCount = 0;  // the tables byte nests within the process
};

// The database data a local session opens a database file with.
TVelqorimDatabaseData* NewDiskDatabaseData(TVelqorimLocalSession& Session);
