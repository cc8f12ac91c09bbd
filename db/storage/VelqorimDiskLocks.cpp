#include "db/storage/VelqorimDiskLocks.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"

namespace {

constexpr int LockTypeCount = 7;
constexpr int ByteRows = 6;      // ltIS .. ltU have bytes; ltX is the mutex
constexpr int RecordIDSize = 6;  // PageNo i32, PageItemNo u16

// 1: the two locks may be held on one table by different sessions.
constexpr bool Compatible[LockTypeCount][LockTypeCount] = {
    // IS  S  SIRW XIRW RW  U  X
    {1, 1, 1, 1, 1, 1, 0},  // ltIS
    {1, 1, 1, 1, 0, 1, 0},  // ltS
    {1, 1, 1, 0, 1, 1, 0},  // ltSIRW
    {1, 1, 0, 0, 0, 1, 0},  // ltXIRW
    {1, 0, 1, 0, 0, 1, 0},  // ltRW
    {1, 1, 1, 1, 1, 1, 0},  // ltU
    {0, 0, 0, 0, 0, 0, 0},  // ltX
};

void SleepMS(int DelayMS) {
  if (DelayMS > 0) std::this_thread::sleep_for(std::chrono::milliseconds(DelayMS));
}

int64_t NowMS() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

[[noreturn]] void NilPointer(int Code) {
  throw EABSException(Code, "Nil pointer occured");
}

}  // namespace

bool IsLockCompatible(TABSLockType A, TABSLockType B) {
  return Compatible[A][B];
}

bool IsStrongerOrEqual(TABSLockType A, TABSLockType B) {
  for (int l = 0; l < LockTypeCount; ++l)
    if (Compatible[A][l] && !Compatible[B][l]) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Lock page-file

TVelqorimInternalDBDirectAccessFile& TVelqorimTableLocksFile::Handle(int ErrorCode) const {
  if (!FHandle || !FHandle->IsOpen()) NilPointer(ErrorCode);
  return *FHandle;
}

int32_t TVelqorimTableLocksFile::StartPageNo() const {
  return Handle(10483).StartPageNo();
}

int32_t TVelqorimTableLocksFile::CreateFile(int32_t aMaxSessionCount) {
  FHandle = std::make_unique<TVelqorimInternalDBDirectAccessFile>(LPageManager, ptTableLocks);
  FHandle->CreateFile(12 * aMaxSessionCount);
  FMaxSessionCount = aMaxSessionCount;
  return FHandle->StartPageNo();
}

void TVelqorimTableLocksFile::DeleteFile() {
  if (FHandle) FHandle->DeleteFile();
  FHandle.reset();
}

void TVelqorimTableLocksFile::OpenFile(int32_t aStartPageNo) {
  FHandle = std::make_unique<TVelqorimInternalDBDirectAccessFile>(LPageManager, ptTableLocks);
  FMaxSessionCount = FHandle->OpenFile(aStartPageNo) / 12;
}

bool TVelqorimTableLocksFile::LockTable(int SessionID, TABSLockType LockType) {
  TVelqorimInternalDBDirectAccessFile& h = Handle(10489);
  if (SessionID >= FMaxSessionCount || SessionID < 0)
    throw EABSException(
        20200, "Cannot set table lock. Try to repair database or to increase number of allowed connections");
  if (LockType == ltX) return false;
  return h.LockByte(LockType * FMaxSessionCount + SessionID);
}

bool TVelqorimTableLocksFile::UnlockTable(int SessionID, TABSLockType LockType) {
  TVelqorimInternalDBDirectAccessFile& h = Handle(10494);
  if (LockType == ltX) return false;
  return h.UnlockByte(LockType * FMaxSessionCount + SessionID);
}

bool TVelqorimTableLocksFile::OtherSessionHolds(int SessionID, int Row) {
  TVelqorimInternalDBDirectAccessFile& h = *FHandle;
  const int base = Row * FMaxSessionCount;
  return h.IsRegionLocked(base, SessionID) ||
         h.IsRegionLocked(base + SessionID + 1, FMaxSessionCount - SessionID - 1);
}

bool TVelqorimTableLocksFile::IsTableLockedByAnyOtherSession(int SessionID, TABSLockType LockType) {
  Handle(10490);
  if (LockType == ltX) return false;
  return OtherSessionHolds(SessionID, LockType);
}

bool TVelqorimTableLocksFile::IsTableLockAllowed(int SessionID, TABSLockType LockType,
                                                 bool AllowXIRWAfterSIRW) {
  for (int other = ltIS; other < ByteRows; ++other) {
    const auto l2 = static_cast<TABSLockType>(other);
    if (IsLockCompatible(LockType, l2)) continue;
    if (LockType == ltXIRW && l2 == ltSIRW && AllowXIRWAfterSIRW) continue;
    if (IsTableLockedByAnyOtherSession(SessionID, l2)) return false;
  }
  // ltX of another session is its held mutex, which the caller holds now.
  return true;
}

bool TVelqorimTableLocksFile::LockRecord(int SessionID, const TABSPageItemID& RecordID) {
  TVelqorimInternalDBDirectAccessFile& h = Handle(10491);
  if (!h.LockByte(ltU * FMaxSessionCount + SessionID)) return false;
  uint8_t bytes[RecordIDSize];
  std::memcpy(bytes, &RecordID.PageNo, 4);
  std::memcpy(bytes + 4, &RecordID.PageItemNo, 2);
  h.WriteBuffer(bytes, RecordIDSize, ByteRows * FMaxSessionCount + RecordIDSize * SessionID);
  return true;
}

bool TVelqorimTableLocksFile::UnlockRecord(int SessionID, const TABSPageItemID& RecordID) {
  (void)RecordID;  // the stored id stays; it means nothing once the byte is free
  return Handle(10492).UnlockByte(ltU * FMaxSessionCount + SessionID);
}

bool TVelqorimTableLocksFile::IsRecordLockedByAnyOtherSession(int SessionID, const TABSPageItemID& RecordID) {
  TVelqorimInternalDBDirectAccessFile& h = Handle(10493);
  if (!OtherSessionHolds(SessionID, ltU)) return false;
  for (int other = 0; other < FMaxSessionCount; ++other) {
    if (other == SessionID || !h.IsByteLocked(ltU * FMaxSessionCount + other)) continue;
    uint8_t bytes[RecordIDSize];
    h.ReadBuffer(bytes, RecordIDSize, ByteRows * FMaxSessionCount + RecordIDSize * other);
    TABSPageItemID stored{};
    std::memcpy(&stored.PageNo, bytes, 4);
    std::memcpy(&stored.PageItemNo, bytes + 4, 2);
    if (stored.PageNo == RecordID.PageNo && stored.PageItemNo == RecordID.PageItemNo) return true;
  }
  return false;
}

bool TVelqorimTableLocksFile::LockFile() {
  return Handle(10489).LockFile();
}
bool TVelqorimTableLocksFile::UnlockFile() {
  return Handle(10494).UnlockFile();
}

// ---------------------------------------------------------------------------
// Lock lists

int TVelqorimTableLockList::Find(TABSLockType LockType, int32_t LocksFilePageNo) const {
  for (size_t i = 0; i < FLockList.size(); ++i)
    if (FLockList[i].LockType == LockType && FLockList[i].LocksFilePageNo == LocksFilePageNo)
      return static_cast<int>(i);
  return -1;
}

void TVelqorimTableLockList::AddLock(TABSLockType LockType, int32_t LocksFilePageNo, bool HasPhysicalLock,
                                     bool IsXIRWAfterSIRWAllowed) {
  const int i = Find(LockType, LocksFilePageNo);
  if (i >= 0) {
    ++FLockList[static_cast<size_t>(i)].Count;
    return;
  }
  FLockList.push_back({LockType, LocksFilePageNo, 1, HasPhysicalLock, IsXIRWAfterSIRWAllowed});
}

void TVelqorimTableLockList::RemoveLock(TABSLockType LockType, int32_t LocksFilePageNo, bool& HasPhysicalLock,
                                        bool IgnoreCount) {
  const int i = Find(LockType, LocksFilePageNo);
  if (i < 0) throw EABSException(20202, "Cannot remove table lock. Lock not found");
  TVelqorimTableLockEntry& e = FLockList[static_cast<size_t>(i)];
  --e.Count;
  HasPhysicalLock = false;
  if (e.Count <= 0 || IgnoreCount) {
    HasPhysicalLock = e.HasPhysicalLock;
    FLockList.erase(FLockList.begin() + i);
  }
}

bool TVelqorimTableLockList::LockExists(TABSLockType LockType, int32_t LocksFilePageNo,
                                        bool IsXIRWAfterSIRWAllowed) const {
  const int i = Find(LockType, LocksFilePageNo);
  return i >= 0 && FLockList[static_cast<size_t>(i)].IsXIRWAfterSIRWAllowed == IsXIRWAfterSIRWAllowed;
}

bool TVelqorimTableLockList::StrongerLockExists(TABSLockType LockType, int32_t LocksFilePageNo) const {
  for (const TVelqorimTableLockEntry& e : FLockList)
    if (e.LocksFilePageNo == LocksFilePageNo && e.LockType != LockType &&
        IsStrongerOrEqual(e.LockType, LockType))
      return true;
  return false;
}

bool TVelqorimTableLockList::IsWeakerNonPhysicalLock(int ItemNo, TABSLockType LockType) const {
  const TVelqorimTableLockEntry& e = FLockList[static_cast<size_t>(ItemNo)];
  return IsStrongerOrEqual(LockType, e.LockType) && !e.HasPhysicalLock;
}

// ---------------------------------------------------------------------------
// Lock manager

TVelqorimDatabaseTableLockManager::TVelqorimDatabaseTableLockManager(int MaxSessionCount,
                                                                     TVelqorimDiskPageManager* PageManager)
    : FMaxSessionCount(MaxSessionCount), LPageManager(PageManager) {
  FSessionLockList.resize(static_cast<size_t>(std::max(MaxSessionCount, 0)));
  for (auto& list : FSessionLockList) list = std::make_unique<TVelqorimTableLockList>();
}

// The file locks go with the database's handle; a list left with entries is
// a caller's leak, which is not worth crashing the closing process over.
TVelqorimDatabaseTableLockManager::~TVelqorimDatabaseTableLockManager() = default;

TVelqorimTableLockList& TVelqorimDatabaseTableLockManager::SessionLocks(int SessionID) {
  if (SessionID < 0 || SessionID >= FMaxSessionCount)
    throw EABSException(
        20200, "Cannot set table lock. Try to repair database or to increase number of allowed connections");
  return *FSessionLockList[static_cast<size_t>(SessionID)];
}

void TVelqorimDatabaseTableLockManager::Pause(int DelayMS, bool NoThreadLock) {
  if (NoThreadLock) {
    SleepMS(DelayMS);
    return;
  }
  FCSect.unlock();
  SleepMS(DelayMS);
  FCSect.lock();
}

namespace {
// Enters the manager's section unless the caller holds it.
class TSectionGuard {
 public:
  TSectionGuard(std::recursive_mutex& Section, bool Skip) : FSection(Section), FSkip(Skip) {
    if (!FSkip) FSection.lock();
  }
  ~TSectionGuard() {
    if (!FSkip) FSection.unlock();
  }
  TSectionGuard(const TSectionGuard&) = delete;
  TSectionGuard& operator=(const TSectionGuard&) = delete;

 private:
  std::recursive_mutex& FSection;
  bool FSkip;
};

// Runs Attempt under the table's lock mutex, taken once; false when the
// mutex is busy. With KeepMutex the mutex stays locked after a success.
template <class Attempt>
bool UnderMutex(TVelqorimTableLocksFile& File, bool KeepMutex, Attempt&& Body) {
  if (!File.LockFile()) return false;
  bool ok = false;
  try {
    ok = Body();
  } catch (...) {
    File.UnlockFile();
    throw;
  }
  if (!ok || !KeepMutex) File.UnlockFile();
  return ok;
}
}  // namespace

bool TVelqorimDatabaseTableLockManager::LockTable(int SessionID, TABSLockType LockType,
                                                  TVelqorimTableLocksFile& TableLocksFile, int aTryCount,
                                                  int aDelayMS, bool NoThreadLock, bool AllowXIRWAfterSIRW) {
  if (LPageManager->Exclusive()) return true;
  TSectionGuard guard(FCSect, NoThreadLock);
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  const int32_t table = TableLocksFile.StartPageNo();
  const int held = list.Find(LockType, table);
  if (held >= 0) {
    if (LockType == ltSIRW) return false;
    ++list.FLockList[static_cast<size_t>(held)].Count;
    return true;
  }
  if (list.StrongerLockExists(LockType, table)) {
    list.AddLock(LockType, table, false, true);
    return true;
  }
  for (int attempt = 0; attempt < aTryCount; ++attempt) {
    const bool taken = UnderMutex(TableLocksFile, LockType == ltX, [&] {
      if (!TableLocksFile.IsTableLockAllowed(SessionID, LockType, AllowXIRWAfterSIRW)) return false;
      if (LockType != ltX && !TableLocksFile.LockTable(SessionID, LockType))
        throw EABSException(20203, "Cannot set table lock");
      return true;
    });
    if (taken) {
      list.AddLock(LockType, table, true, AllowXIRWAfterSIRW);
      return true;
    }
    if (attempt + 1 < aTryCount) {
      const int half = aDelayMS / 2;
      Pause(half + (half > 0 ? ABSRandom(half) : 0), NoThreadLock);
    }
  }
  return false;
}

bool TVelqorimDatabaseTableLockManager::MakeWeakerLocksPhysical(int SessionID, TABSLockType LockType,
                                                                TVelqorimTableLocksFile& TableLocksFile) {
  const bool needMutex = LockType != ltX;
  if (needMutex && !RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                                   [&] { return TableLocksFile.LockFile(); }))
    return false;
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  const int32_t table = TableLocksFile.StartPageNo();
  bool result = true;
  try {
    for (size_t i = 0; i < list.FLockList.size(); ++i) {
      const TVelqorimTableLockEntry& e = list.FLockList[i];
      if (e.LocksFilePageNo != table || !list.IsWeakerNonPhysicalLock(static_cast<int>(i), LockType))
        continue;
      // A weaker ltX entry cannot exist here (only ltX is as strong as ltX).
      result = TableLocksFile.LockTable(SessionID, e.LockType);
      if (result) list.SetPhysicalLock(static_cast<int>(i));
    }
  } catch (...) {
    if (needMutex) TableLocksFile.UnlockFile();
    throw;
  }
  if (needMutex) TableLocksFile.UnlockFile();
  return result;
}

bool TVelqorimDatabaseTableLockManager::UnlockTable(int SessionID, TABSLockType LockType,
                                                    TVelqorimTableLocksFile& TableLocksFile,
                                                    bool IgnoreIfNoLock, bool IgnoreCount) {
  if (LPageManager->Exclusive()) return true;
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  const int32_t table = TableLocksFile.StartPageNo();
  if (!list.LockExists(LockType, table) && IgnoreIfNoLock) return true;
  bool physical = false;
  list.RemoveLock(LockType, table, physical, IgnoreCount);
  if (!physical) return true;
  bool released = false;
  try {
    if (MakeWeakerLocksPhysical(SessionID, LockType, TableLocksFile)) {
      for (int attempt = 0; attempt < RetryConfig().ShortLockTryCount && !released; ++attempt) {
        if (LockType == ltX) {
          released = TableLocksFile.UnlockFile();
        } else {
          released = UnderMutex(TableLocksFile, false, [&] {
            if (!TableLocksFile.UnlockTable(SessionID, LockType))
              throw EABSException(20204, "Cannot unlock table");
            return true;
          });
        }
        if (!released) Pause(RetryConfig().ShortLockDelayMS, false);
      }
    }
  } catch (...) {
    list.AddLock(LockType, table, true, true);
    throw;
  }
  // What is still held stays listed.
  if (!released) list.AddLock(LockType, table, true, true);
  return released;
}

bool TVelqorimDatabaseTableLockManager::LockRecord(int SessionID, TVelqorimTableLocksFile& TableLocksFile,
                                                   const TABSPageItemID& RecordID, int aTryCount,
                                                   int aDelayMS) {
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  const int64_t start = NowMS();
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  const int32_t table = TableLocksFile.StartPageNo();
  if (list.LockExists(ltU, table)) return false;
  if (list.LockExists(ltX, table) || list.LockExists(ltXIRW, table, false)) {
    list.AddLock(ltU, table, false, true);
    return true;
  }
  for (int attempt = 0; attempt < aTryCount && NowMS() - start <= int64_t{aTryCount} * aDelayMS; ++attempt) {
    const bool taken = UnderMutex(TableLocksFile, false, [&] {
      if (TableLocksFile.IsRecordLockedByAnyOtherSession(SessionID, RecordID)) return false;
      if (!TableLocksFile.LockRecord(SessionID, RecordID)) throw EABSException(20205, "Cannot lock record");
      return true;
    });
    if (taken) {
      list.AddLock(ltU, table, true, true);
      return true;
    }
    if (attempt + 1 < aTryCount) Pause(aDelayMS, false);
  }
  return false;
}

bool TVelqorimDatabaseTableLockManager::UnlockRecord(int SessionID, TVelqorimTableLocksFile& TableLocksFile,
                                                     const TABSPageItemID& RecordID) {
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  const int32_t table = TableLocksFile.StartPageNo();
  if (!list.LockExists(ltU, table)) return false;
  bool physical = false;
  list.RemoveLock(ltU, table, physical, false);
  if (!physical) return true;
  for (int attempt = 0; attempt < RetryConfig().ShortLockTryCount; ++attempt) {
    const bool released = UnderMutex(TableLocksFile, false, [&] {
      if (!TableLocksFile.UnlockRecord(SessionID, RecordID))
        throw EABSException(20206, "Cannot unlock record");
      return true;
    });
    if (released) return true;
    Pause(RetryConfig().ShortLockDelayMS, false);
  }
  list.AddLock(ltU, table, true, true);
  return false;
}

bool TVelqorimDatabaseTableLockManager::IsRecordLocked(int SessionID, TVelqorimTableLocksFile& TableLocksFile,
                                                       const TABSPageItemID& RecordID) {
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  return TableLocksFile.IsRecordLockedByAnyOtherSession(SessionID, RecordID);
}

bool TVelqorimDatabaseTableLockManager::AddRWLocksBeforeCommit(int SessionID) {
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  if (list.FLockList.empty()) return true;
  std::vector<int32_t> tables;
  for (const TVelqorimTableLockEntry& e : list.FLockList)
    if (e.LockType == ltXIRW) tables.push_back(e.LocksFilePageNo);
  bool ok = true;
  for (int32_t table : tables) {
    bool covered = false;
    for (const TVelqorimTableLockEntry& e : list.FLockList)
      covered = covered || (e.LocksFilePageNo == table && IsStrongerOrEqual(e.LockType, ltRW));
    if (covered) continue;
    TVelqorimTableLocksFile file(LPageManager);
    file.OpenFile(table);
    ok = LockTable(SessionID, ltRW, file, RetryConfig().LongLockTryCount, RetryConfig().LongLockDelayMS, true,
                   true);
    if (!ok) break;
  }
  if (ok) return true;
  std::vector<int32_t> rw;
  for (const TVelqorimTableLockEntry& e : list.FLockList)
    if (e.LockType == ltRW) rw.push_back(e.LocksFilePageNo);
  for (int32_t table : rw) {
    TVelqorimTableLocksFile file(LPageManager);
    file.OpenFile(table);
    UnlockTable(SessionID, ltRW, file, false, false);
  }
  for (const TVelqorimTableLockEntry& e : list.FLockList)
    if (e.LockType == ltRW) throw EABSException(20234, "Some table locks still exist");
  return false;
}

bool TVelqorimDatabaseTableLockManager::AddSIRWLocksForRecordLocks(int SessionID) {
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  std::vector<int32_t> tables;
  for (const TVelqorimTableLockEntry& e : list.FLockList)
    if (e.LockType == ltU) tables.push_back(e.LocksFilePageNo);
  for (int32_t table : tables) {
    if (!list.LockExists(ltX, table) && list.LockExists(ltSIRW, table)) continue;
    TVelqorimTableLocksFile file(LPageManager);
    file.OpenFile(table);
    if (!LockTable(SessionID, ltSIRW, file, RetryConfig().LongLockTryCount, RetryConfig().LongLockDelayMS,
                   true, true))
      return false;
  }
  return true;
}

bool TVelqorimDatabaseTableLockManager::ClearTransactionLocks(int SessionID) {
  std::lock_guard<std::recursive_mutex> guard(FCSect);
  if (!AddSIRWLocksForRecordLocks(SessionID)) return false;
  TVelqorimTableLockList& list = SessionLocks(SessionID);
  std::vector<TVelqorimTableLockEntry> drop;
  for (const TVelqorimTableLockEntry& e : list.FLockList)
    if (e.LockType == ltXIRW || e.LockType == ltRW) drop.push_back(e);
  for (const TVelqorimTableLockEntry& e : drop) {
    TVelqorimTableLocksFile file(LPageManager);
    file.OpenFile(e.LocksFilePageNo);
    UnlockTable(SessionID, e.LockType, file, false, true);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Cache validity

TVelqorimDTPCTableInfo& TVelqorimDTPCSessionInfo::GetTableInfo(int32_t TableID) {
  for (auto& info : FTableInfo)
    if (info->TableID == TableID) return *info;
  FTableInfo.push_back(std::make_unique<TVelqorimDTPCTableInfo>(TableID));
  return *FTableInfo.back();
}

void TVelqorimDTPCSessionInfo::EndWorkWithTable(int32_t TableID) {
  for (auto it = FWorkTableIDs.begin(); it != FWorkTableIDs.end(); ++it)
    if (*it == TableID) {
      FWorkTableIDs.erase(it);
      return;
    }
}

bool TVelqorimDTPCSessionInfo::GetWorkTableState(int32_t& WorkTableState) {
  if (FWorkTableIDs.empty()) return false;
  TVelqorimDTPCTableInfo& info = GetTableInfo(FWorkTableIDs.back());
  WorkTableState = info.TableState;
  return info.IsTableLockedFromModification() && info.IsMostUpdatedLoaded;
}

TVelqorimDTPCSessionInfo& TVelqorimDiskTablePagesCacheManager::Session(int SessionID) {
  if (SessionID < -2) throw EABSException(20186, "Invalid Session ID");
  const size_t slot = static_cast<size_t>(SessionID + 2);
  if (slot >= FSessionInfo.size()) {
    const size_t old = FSessionInfo.size();
    FSessionInfo.resize(slot + 1);
    for (size_t i = old; i < FSessionInfo.size(); ++i)
      FSessionInfo[i] = std::make_unique<TVelqorimDTPCSessionInfo>();
  }
  return *FSessionInfo[slot];
}
