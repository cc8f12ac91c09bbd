// Table and record locks between sessions of one and of several handles
// (processes), and the cache-validity records.

#include "db/storage/VelqorimDiskLocks.h"

#include <gtest/gtest.h>

#include "tests/db_storage/DiskFixture.h"

namespace {

using disk::TScratchDatabase;

constexpr int Slots = 4;

// A database with one table's lock page-file, opened by a handle of its own
// (in-process handles conflict as processes do).
struct THandle {
  THandle(const String& Name, int32_t LocksPage, bool Exclusive = false) : Locks(&Pm) {
    bool ro = false, repair = false, multi = true;
    Pm.OpenDatabase(Name, TABSPassword{}, ro, repair, Exclusive, multi);
    Locks.OpenFile(LocksPage);
    Manager = std::make_unique<TVelqorimDatabaseTableLockManager>(Slots, &Pm);
  }
  bool Lock(int S, TABSLockType L, bool XIRWAfterSIRW = false) {
    return Manager->LockTable(S, L, Locks, 2, 2, false, XIRWAfterSIRW);
  }
  bool Unlock(int S, TABSLockType L) { return Manager->UnlockTable(S, L, Locks, false, false); }
  bool LockRecord(int S, TABSPageItemID R) { return Manager->LockRecord(S, Locks, R, 2, 2); }

  TVelqorimDiskPageManager Pm;
  TVelqorimTableLocksFile Locks;
  std::unique_ptr<TVelqorimDatabaseTableLockManager> Manager;
};

struct TLockDatabase {
  TLockDatabase() {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(Db.Name, TABSPassword{}, 512, 8);
    TVelqorimTableLocksFile a(&pm), b(&pm);
    TableA = a.CreateFile(Slots);
    TableB = b.CreateFile(Slots);
    pm.ApplyChanges(VelqorimSystemSessionID);
  }
  TScratchDatabase Db{"locks"};
  disk::TShortRetries Quick;
  int32_t TableA = -1, TableB = -1;
};

TEST(VelqorimDiskLocks, CompatibilityBetweenSessionsAndHandles) {
  TLockDatabase d;
  THandle p1(d.Db.Name, d.TableA), p2(d.Db.Name, d.TableA);
  // Sessions of one handle and of two handles see each other alike.
  EXPECT_TRUE(p1.Lock(0, ltS));
  EXPECT_TRUE(p1.Lock(1, ltS));
  EXPECT_FALSE(p2.Lock(2, ltRW));
  EXPECT_FALSE(p1.Lock(3, ltRW));
  EXPECT_TRUE(p2.Lock(2, ltIS));
  EXPECT_FALSE(p2.Lock(3, ltX));
  EXPECT_TRUE(p1.Unlock(0, ltS));
  EXPECT_TRUE(p1.Unlock(1, ltS));
  EXPECT_TRUE(p2.Unlock(2, ltIS));
  EXPECT_TRUE(p2.Lock(3, ltX));
  EXPECT_FALSE(p1.Lock(0, ltIS));
  EXPECT_TRUE(p2.Unlock(3, ltX));
  EXPECT_TRUE(p1.Lock(0, ltIS));
  EXPECT_TRUE(p1.Unlock(0, ltIS));

  // ltXIRW waits for ltSIRW unless asked to come after it.
  EXPECT_TRUE(p1.Lock(0, ltSIRW));
  EXPECT_FALSE(p1.Lock(0, ltSIRW));  // asked again: refused, not counted
  EXPECT_FALSE(p2.Lock(1, ltXIRW));
  EXPECT_TRUE(p2.Lock(1, ltXIRW, true));
  EXPECT_TRUE(p2.Lock(1, ltXIRW, true));  // counted
  EXPECT_TRUE(p2.Unlock(1, ltXIRW));
  EXPECT_TRUE(p2.Manager->SessionLocks(1).LockExists(ltXIRW, d.TableA));
  EXPECT_TRUE(p2.Unlock(1, ltXIRW));
  EXPECT_TRUE(p1.Unlock(0, ltSIRW));
  EXPECT_EQ(NativeErrorOf([&] { p1.Unlock(0, ltSIRW); }), 20202);
  EXPECT_EQ(NativeErrorOf([&] { p1.Locks.LockTable(Slots, ltS); }), 20200);
}

TEST(VelqorimDiskLocks, StrongerLocksCoverWeakerOnesUntilReleased) {
  TLockDatabase d;
  THandle p1(d.Db.Name, d.TableA), p2(d.Db.Name, d.TableA);
  THandle b1(d.Db.Name, d.TableB);
  EXPECT_TRUE(p1.Lock(0, ltRW));
  EXPECT_TRUE(p1.Lock(0, ltS));  // covered: no byte of its own yet
  EXPECT_FALSE(p1.Locks.IsTableLockedByAnyOtherSession(1, ltS));
  // Releasing ltRW keeps the ltS asked for meanwhile, now held in the file.
  EXPECT_TRUE(p1.Unlock(0, ltRW));
  EXPECT_TRUE(p2.Locks.IsTableLockedByAnyOtherSession(1, ltS));
  EXPECT_FALSE(p2.Lock(1, ltRW));
  EXPECT_TRUE(p1.Unlock(0, ltS));
  EXPECT_TRUE(p2.Lock(1, ltRW));
  EXPECT_TRUE(p2.Unlock(1, ltRW));
  // ltX on table A takes real bytes on table B still.
  EXPECT_TRUE(p1.Lock(0, ltX));
  EXPECT_TRUE(b1.Lock(0, ltS));
  EXPECT_TRUE(b1.Locks.IsTableLockedByAnyOtherSession(1, ltS));
  EXPECT_TRUE(b1.Unlock(0, ltS));
  EXPECT_TRUE(p1.Unlock(0, ltX));
}

TEST(VelqorimDiskLocks, RecordLocks) {
  TLockDatabase d;
  THandle p1(d.Db.Name, d.TableA), p2(d.Db.Name, d.TableA);
  const TABSPageItemID r1{5, 3}, r2{5, 4};
  // Two sessions hold record locks on one table, never on one record.
  EXPECT_TRUE(p1.LockRecord(0, r1));
  EXPECT_FALSE(p2.LockRecord(1, r1));
  EXPECT_TRUE(p2.Manager->IsRecordLocked(1, p2.Locks, r1));
  EXPECT_TRUE(p2.LockRecord(1, r2));
  EXPECT_FALSE(p1.LockRecord(0, r2));  // one record lock per session and table
  EXPECT_TRUE(p1.Manager->UnlockRecord(0, p1.Locks, r1));
  EXPECT_FALSE(p2.Manager->IsRecordLocked(1, p2.Locks, r1));
  EXPECT_TRUE(p1.LockRecord(0, r1));
  EXPECT_TRUE(p1.Manager->UnlockRecord(0, p1.Locks, r1));
  EXPECT_TRUE(p2.Manager->UnlockRecord(1, p2.Locks, r2));
  EXPECT_FALSE(p2.Manager->UnlockRecord(1, p2.Locks, r2));
}

TEST(VelqorimDiskLocks, CommitEscalatesAndClears) {
  TLockDatabase d;
  THandle p1(d.Db.Name, d.TableA), p2(d.Db.Name, d.TableA);
  // A writer (ltXIRW) needs ltRW at commit, which a reader's ltS refuses.
  EXPECT_TRUE(p1.Lock(0, ltXIRW));
  EXPECT_TRUE(p1.LockRecord(0, {9, 1}));
  EXPECT_TRUE(p2.Lock(1, ltS));
  EXPECT_FALSE(p1.Manager->AddRWLocksBeforeCommit(0));
  EXPECT_FALSE(p1.Manager->SessionLocks(0).LockExists(ltRW, d.TableA));
  EXPECT_TRUE(p2.Unlock(1, ltS));
  EXPECT_TRUE(p1.Manager->AddRWLocksBeforeCommit(0));
  EXPECT_FALSE(p2.Lock(1, ltS));
  EXPECT_TRUE(p1.Manager->ClearTransactionLocks(0));
  // Only the record lock stays, covered by ltSIRW.
  const auto& left = p1.Manager->SessionLocks(0);
  EXPECT_FALSE(left.LockExists(ltXIRW, d.TableA));
  EXPECT_FALSE(left.LockExists(ltRW, d.TableA));
  EXPECT_TRUE(left.LockExists(ltU, d.TableA));
  EXPECT_TRUE(left.LockExists(ltSIRW, d.TableA));
  EXPECT_TRUE(p2.Lock(1, ltS));
  EXPECT_TRUE(p2.Unlock(1, ltS));
}

TEST(VelqorimDiskLocks, AnExclusiveDatabaseTouchesNoLockByte) {
  TLockDatabase d;
  THandle only(d.Db.Name, d.TableA, true);
  EXPECT_TRUE(only.Lock(0, ltX));
  EXPECT_TRUE(only.Lock(1, ltX));
  EXPECT_TRUE(only.Unlock(3, ltRW));
  EXPECT_FALSE(only.Locks.IsTableLockedByAnyOtherSession(2, ltS));
}

TEST(VelqorimDiskLocks, LocksHoldAgainstAnotherProcess) {
  TLockDatabase d;
  disk::TPeer peer([&](disk::TPeer& Me) {
    THandle h(d.Db.Name, d.TableA);
    while (char c = Me.Next()) {
      if (c == 'x') Me.Reply(h.Lock(0, ltX) ? "ok" : "no");
      if (c == 'u') Me.Reply(h.Unlock(0, ltX) ? "ok" : "no");
      if (c == 'r') Me.Reply(h.LockRecord(0, {7, 7}) ? "ok" : "no");
    }
  });
  THandle h(d.Db.Name, d.TableA);
  ASSERT_EQ(peer.Ask('x'), "ok");
  EXPECT_FALSE(h.Lock(1, ltIS));
  ASSERT_EQ(peer.Ask('u'), "ok");
  EXPECT_TRUE(h.Lock(1, ltIS));
  ASSERT_EQ(peer.Ask('r'), "ok");
  EXPECT_FALSE(h.LockRecord(1, {7, 7}));
  EXPECT_TRUE(h.LockRecord(1, {7, 8}));
}

TEST(VelqorimDiskLocks, CacheValidityFollowsLocksAndWork) {
  TVelqorimDiskTablePagesCacheManager cache;
  int32_t state = 0;
  EXPECT_FALSE(cache.GetWorkTableState(3, state));
  cache.TableIsSLocked(3, 40);
  cache.SetIsMostUpdatedLoaded(3, 40, 17);
  cache.SetIsMostUpdatedLoaded(3, 40, 18);  // the first load counts
  cache.BeginWorkWithTable(3, 40);
  ASSERT_TRUE(cache.GetWorkTableState(3, state));
  EXPECT_EQ(state, 17);
  EXPECT_FALSE(cache.GetWorkTableState(-2, state));
  // Without a lock the table may change: nothing cached is trusted.
  cache.TableIsSUnlocked(3, 40);
  EXPECT_FALSE(cache.GetWorkTableState(3, state));
  cache.TableIsRWLocked(3, 40);
  EXPECT_FALSE(cache.GetIsMostUpdatedLoaded(3, 40));
  cache.EndWorkWithTable(3, 40);
  EXPECT_FALSE(cache.GetWorkTableState(3, state));
}

}  // namespace
