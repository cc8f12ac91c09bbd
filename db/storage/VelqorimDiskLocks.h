#pragma once
// Table and record locks between the sessions of several processes that share
// one database file, and the record of which cached pages a session may still
// trust.
//
// Each table has a lock page-file (a direct-access page-file) of 12 x N bytes
// for N session slots: byte L x N + S stands for lock type L (ltIS .. ltU)
// held by session S; bytes 6 x N + 6 x S hold the record id (PageNo i32,
// PageItemNo u16) that session S locked last. A lock is held by byte-locking
// its byte in the file; the values are never used. The page-file's own lock
// byte is the table's lock mutex, which serialises test-and-set between
// processes and, kept locked, is the exclusive (ltX) lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "db/storage/VelqorimDiskCatalog.h"
#include "db/support/DAZEngineTypes.h"

// Whether locks A and B may be held on one table by different sessions.
bool IsLockCompatible(TABSLockType A, TABSLockType B);
// Every lock compatible with A is compatible with B.
bool IsStrongerOrEqual(TABSLockType A, TABSLockType B);

class TVelqorimTableLocksFile : public TObject {
 public:
  explicit TVelqorimTableLocksFile(TVelqorimDiskPageManager* PageManager) : LPageManager(PageManager) {}

  // Made in the system session; kept open; returns its first page.
  int32_t CreateFile(int32_t aMaxSessionCount);
  void DeleteFile();
  void OpenFile(int32_t aStartPageNo);
  void CloseFile() { FHandle.reset(); }
  // 20200 for a session id beyond the slots; false for ltX (held by the mutex).
  bool LockTable(int SessionID, TABSLockType LockType);
  bool UnlockTable(int SessionID, TABSLockType LockType);
  bool IsTableLockedByAnyOtherSession(int SessionID, TABSLockType LockType);
  bool IsTableLockAllowed(int SessionID, TABSLockType LockType, bool AllowXIRWAfterSIRW);
  bool LockRecord(int SessionID, const TABSPageItemID& RecordID);
  bool UnlockRecord(int SessionID, const TABSPageItemID& RecordID);
  bool IsRecordLockedByAnyOtherSession(int SessionID, const TABSPageItemID& RecordID);
  bool LockFile();
  bool UnlockFile();

  int32_t StartPageNo() const;  // 10483 without a page-file
  int32_t MaxSessionCount() const { return FMaxSessionCount; }

 private:
  TVelqorimInternalDBDirectAccessFile& Handle(int ErrorCode) const;
  // Whether any session but SessionID holds the byte of row Row.
  bool OtherSessionHolds(int SessionID, int Row);

  TVelqorimDiskPageManager* LPageManager;
  std::unique_ptr<TVelqorimInternalDBDirectAccessFile> FHandle;
  int32_t FMaxSessionCount = 0;
};

struct TVelqorimTableLockEntry {
  TABSLockType LockType;
  int32_t LocksFilePageNo;
  int32_t Count;
  bool HasPhysicalLock;
  bool IsXIRWAfterSIRWAllowed;
};

// The locks one session holds, one entry per lock type and table.
class TVelqorimTableLockList : public TObject {
 public:
  TVelqorimTableLockList() = default;
  // 20201 while entries are left (reported, never thrown from here: see the manager).
  ~TVelqorimTableLockList() override = default;

  void AddLock(TABSLockType LockType, int32_t LocksFilePageNo, bool HasPhysicalLock,
               bool IsXIRWAfterSIRWAllowed);
  // 20202 when not held. HasPhysicalLock tells whether the file lock is to be released.
  void RemoveLock(TABSLockType LockType, int32_t LocksFilePageNo, bool& HasPhysicalLock, bool IgnoreCount);
  bool LockExists(TABSLockType LockType, int32_t LocksFilePageNo) const {
    return Find(LockType, LocksFilePageNo) >= 0;
  }
  bool LockExists(TABSLockType LockType, int32_t LocksFilePageNo, bool IsXIRWAfterSIRWAllowed) const;
  bool StrongerLockExists(TABSLockType LockType, int32_t LocksFilePageNo) const;
  void SetPhysicalLock(int ItemNo) { FLockList[static_cast<size_t>(ItemNo)].HasPhysicalLock = true; }
  bool IsWeakerNonPhysicalLock(int ItemNo, TABSLockType LockType) const;
  int Find(TABSLockType LockType, int32_t LocksFilePageNo) const;

  std::vector<TVelqorimTableLockEntry> FLockList;
};

class TVelqorimDatabaseTableLockManager : public TObject {
 public:
  TVelqorimDatabaseTableLockManager(int MaxSessionCount, TVelqorimDiskPageManager* PageManager);
  // 20201 when a session still holds locks (the file locks go with the handle).
  ~TVelqorimDatabaseTableLockManager() override;

  bool LockTable(int SessionID, TABSLockType LockType, TVelqorimTableLocksFile& TableLocksFile, int aTryCount,
                 int aDelayMS, bool NoThreadLock, bool AllowXIRWAfterSIRW);
  bool UnlockTable(int SessionID, TABSLockType LockType, TVelqorimTableLocksFile& TableLocksFile,
                   bool IgnoreIfNoLock, bool IgnoreCount);
  bool LockRecord(int SessionID, TVelqorimTableLocksFile& TableLocksFile, const TABSPageItemID& RecordID,
                  int aTryCount, int aDelayMS);
  bool UnlockRecord(int SessionID, TVelqorimTableLocksFile& TableLocksFile, const TABSPageItemID& RecordID);
  bool IsRecordLocked(int SessionID, TVelqorimTableLocksFile& TableLocksFile, const TABSPageItemID& RecordID);
  // ltRW on every table the session changed (holds ltXIRW on); false and
  // nothing kept when one cannot be had.
  bool AddRWLocksBeforeCommit(int SessionID);
  // Drops the transaction's ltXIRW and ltRW locks, keeping record locks
  // covered by ltSIRW.
  bool ClearTransactionLocks(int SessionID);

  TVelqorimTableLockList& SessionLocks(int SessionID);
  int MaxSessionCount() const { return FMaxSessionCount; }

 private:
  bool MakeWeakerLocksPhysical(int SessionID, TABSLockType LockType, TVelqorimTableLocksFile& TableLocksFile);
  bool AddSIRWLocksForRecordLocks(int SessionID);
  // Unlocks the manager for a sleep of DelayMS.
  void Pause(int DelayMS, bool NoThreadLock);

  std::vector<std::unique_ptr<TVelqorimTableLockList>> FSessionLockList;
  int FMaxSessionCount;
  std::recursive_mutex FCSect;
  TVelqorimDiskPageManager* LPageManager;
};

// Per session and table: how many ltS / ltRW locks it holds and which table
// state it loaded, so that cached pages stamped with that state need no
// re-reading while the table cannot change.
class TVelqorimDTPCTableInfo {
 public:
  explicit TVelqorimDTPCTableInfo(int32_t aTableID) : TableID(aTableID) {}
  void TableIsSLocked() { Locked(TableSLockCount); }
  void TableIsSUnlocked() { Unlocked(TableSLockCount); }
  void TableIsRWLocked() { Locked(TableRWLockCount); }
  void TableIsRWUnlocked() { Unlocked(TableRWLockCount); }
  bool IsTableLockedFromModification() const { return TableSLockCount + TableRWLockCount > 0; }
  void SetIsMostUpdatedLoaded(int32_t aTableState) {
    if (IsMostUpdatedLoaded) return;
    IsMostUpdatedLoaded = true;
    TableState = aTableState;
  }

  int32_t TableID;
  int32_t TableSLockCount = 0;
  int32_t TableRWLockCount = 0;
  bool IsMostUpdatedLoaded = false;
  int32_t TableState = -1;

 private:
  void Reset() {
    IsMostUpdatedLoaded = false;
    TableState = -1;
  }
  void Locked(int32_t& Count) {
    if (TableSLockCount + TableRWLockCount == 0) Reset();
    ++Count;
  }
  void Unlocked(int32_t& Count) {
    if (Count > 0) --Count;
    if (TableSLockCount + TableRWLockCount == 0) Reset();
  }
};

class TVelqorimDTPCSessionInfo {
 public:
  TVelqorimDTPCTableInfo& GetTableInfo(int32_t TableID);
  void BeginWorkWithTable(int32_t TableID) { FWorkTableIDs.push_back(TableID); }
  void EndWorkWithTable(int32_t TableID);
  bool GetWorkTableState(int32_t& WorkTableState);

  std::vector<std::unique_ptr<TVelqorimDTPCTableInfo>> FTableInfo;
  std::vector<int32_t> FWorkTableIDs;
};

class TVelqorimDiskTablePagesCacheManager {
 public:
  void TableIsSLocked(int SessionID, int32_t TableID) {
    Session(SessionID).GetTableInfo(TableID).TableIsSLocked();
  }
  void TableIsSUnlocked(int SessionID, int32_t TableID) {
    Session(SessionID).GetTableInfo(TableID).TableIsSUnlocked();
  }
  void TableIsRWLocked(int SessionID, int32_t TableID) {
    Session(SessionID).GetTableInfo(TableID).TableIsRWLocked();
  }
  void TableIsRWUnlocked(int SessionID, int32_t TableID) {
    Session(SessionID).GetTableInfo(TableID).TableIsRWUnlocked();
  }
  void BeginWorkWithTable(int SessionID, int32_t TableID) { Session(SessionID).BeginWorkWithTable(TableID); }
  void EndWorkWithTable(int SessionID, int32_t TableID) { Session(SessionID).EndWorkWithTable(TableID); }
  bool GetIsMostUpdatedLoaded(int SessionID, int32_t TableID) {
    return Session(SessionID).GetTableInfo(TableID).IsMostUpdatedLoaded;
  }
  void SetIsMostUpdatedLoaded(int SessionID, int32_t TableID, int32_t TableState) {
    Session(SessionID).GetTableInfo(TableID).SetIsMostUpdatedLoaded(TableState);
  }
  bool GetWorkTableState(int SessionID, int32_t& WorkTableState) {
    return Session(SessionID).GetWorkTableState(WorkTableState);
  }

 private:
  TVelqorimDTPCSessionInfo& Session(int SessionID);

  std::vector<std::unique_ptr<TVelqorimDTPCSessionInfo>> FSessionInfo;  // session id + 2
};
