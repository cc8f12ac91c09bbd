// Database files through local sessions: created, opened, shared in single-
// and multi-user mode by sessions and processes, with passwords; the
// catalogue between processes; damaged files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/db_storage/DiskFixture.h"

namespace {

using disk::DiskOf;
using disk::NewSession;
using disk::ReadAll;
using disk::Tables;
using disk::WriteAll;
using disk::TScratchDatabase;
using disk::TSessionOptions;

constexpr int PageSize = 1024;



void Create(const String& File, const TSessionOptions& O = {}) {
  NewSession(File, O)->CreateDatabase();
}


void AddTable(TVelqorimLocalSession& S, const String& Name) {
  TVelqorimDiskDatabaseData& d = DiskOf(S);
  d.AddTableToList(d.GetNewObjectId(), Name, 1, 2, 3);
  d.ApplySystemChanges();
}

struct TEngine {
  local::TLocalEngine Engine;
  disk::TShortRetries Quick;
};

TEST(VelqorimDiskDatabase, CreateLeavesItClosedAndTheFirstSessionOpensIt) {
  TEngine e;
  TScratchDatabase db;
  Create(db.Name);
  EXPECT_EQ(ReadAll(db.Name).size(), 380u + 6 * PageSize);
  EXPECT_EQ(DatabaseDataList->Count(), 2);  // MEMORY and TEMP only
  auto s = NewSession(db.Name);
  s->SetConnected(true);
  EXPECT_TRUE(s->GetConnected());
  EXPECT_FALSE(s->ReadOnly);
  EXPECT_EQ(s->SessionID, 0);
  EXPECT_EQ(s->MaxSessionCount, 8);
  EXPECT_EQ(s->GetDBFileConnectionsCount(), 8);  // single-user holds every slot
  EXPECT_EQ(NativeErrorOf([&] { NewSession(db.Name)->CreateDatabase(); }), 20092);
  AddTable(*s, "Orders");
  EXPECT_EQ(Tables(*s), std::vector<String>{"Orders"});
  EXPECT_EQ(NativeErrorOf([&] { AddTable(*s, "ORDERS"); }), 30395);
  s->SetConnected(false);
  EXPECT_EQ(DatabaseDataList->Count(), 2);
  auto again = NewSession(db.Name);
  again->SetConnected(true);
  EXPECT_EQ(Tables(*again), std::vector<String>{"Orders"});
  DiskOf(*again).RenameTableInList("orders", "Sales");
  DiskOf(*again).RemoveTableFromList("Sales");
  DiskOf(*again).ApplySystemChanges();
  EXPECT_TRUE(Tables(*again).empty());
}

TEST(VelqorimDiskDatabase, SingleAndMultiUserSessions) {
  TEngine e;
  TScratchDatabase db;
  Create(db.Name);
  TSessionOptions multi;
  multi.MultiUser = true;
  multi.SessionName = "A";
  auto m1 = NewSession(db.Name, multi), m2 = NewSession(db.Name, multi);
  m1->SetConnected(true);
  m2->SetConnected(true);
  EXPECT_EQ(m1->SessionID, 0);
  EXPECT_EQ(m2->SessionID, 1);
  // One database data per file and session name: a single-user session
  // under the same name meets the open multi-user database.
  TSessionOptions single;
  single.SessionName = "A";
  auto mixed = NewSession(db.Name, single);
  EXPECT_EQ(NativeErrorOf([&] { mixed->SetConnected(true); }), 20235);
  mixed.reset();
  // Under another name it is another handle, as another process would be:
  // others hold slots, so it gets the file read-only.
  single.SessionName = "B";
  auto reader = NewSession(db.Name, single);
  reader->SetConnected(true);
  EXPECT_TRUE(reader->ReadOnly);
  EXPECT_EQ(NativeErrorOf([&] { AddTable(*reader, "T"); }), 20304);
  EXPECT_EQ(reader->GetDBFileConnectionsCount(), 2);
  reader->SetConnected(false);
  m1->SetConnected(false);
  m2->SetConnected(false);
  // A single-user owner leaves no slot for multi-user sessions.
  auto owner = NewSession(db.Name, single);
  owner->SetConnected(true);
  EXPECT_FALSE(owner->ReadOnly);
  auto late = NewSession(db.Name, multi);
  EXPECT_EQ(NativeErrorOf([&] { late->SetConnected(true); }), 20094);
}

TEST(VelqorimDiskDatabase, PasswordsWithEveryCipher) {
  TEngine e;
  for (int c = craRijndael_128; c <= craSquare; ++c) {
    TScratchDatabase db;
    TSessionOptions o;
    o.Password = "secret";
    o.Cipher = static_cast<TABSCryptoAlgorithm>(c);
    Create(db.Name, o);
    {
      auto s = NewSession(db.Name, o);
      s->SetConnected(true);
      AddTable(*s, "Secret");
      EXPECT_TRUE(DiskOf(*s).Encrypted());
      // A second session is checked against the password the database was opened with.
      TSessionOptions wrong = o;
      wrong.Password = "guess";
      auto other = NewSession(db.Name, wrong);
      EXPECT_EQ(NativeErrorOf([&] { other->SetConnected(true); }), 20298) << c;
      other->SetConnected(false);
      auto right = NewSession(db.Name, o);
      right->Password.CryptoAlgorithm = craSquare;  // the file decides the cipher
      right->SetConnected(true);
      EXPECT_EQ(right->Password.CryptoAlgorithm, c);
    }
    auto s = NewSession(db.Name, o);
    s->SetConnected(true);
    EXPECT_EQ(Tables(*s), std::vector<String>{"Secret"}) << c;
    s->SetConnected(false);
    TSessionOptions wrong = o;
    wrong.Password = "guess";
    EXPECT_EQ(NativeErrorOf([&] { NewSession(db.Name, wrong)->SetConnected(true); }), 30445) << c;
    EXPECT_EQ(ReadAll(db.Name).size(), 380u + 6 * PageSize);
  }
}

TEST(VelqorimDiskDatabase, DamagedFilesGiveEngineErrors) {
  TEngine e;
  TScratchDatabase db;
  TSessionOptions o;
  o.Password = "pw";
  Create(db.Name, o);
  const std::vector<uint8_t> good = ReadAll(db.Name);
  auto page = [](int PageNo, int Offset) { return static_cast<size_t>(380 + PageNo * PageSize + Offset); };
  // Bytes in front of the header that look like one: signature and header size.
  std::vector<uint8_t> decoy(50, 'x');
  decoy.insert(decoy.end(), VelqorimSignature, VelqorimSignature + VelqorimSignatureSize);
  decoy.insert(decoy.end(), {76, 0});
  decoy.resize(decoy.size() + 40, 0);
  decoy.insert(decoy.end(), good.begin(), good.end());
  std::vector<uint8_t> noSignature = good;
  noSignature[0] ^= 0xFF;
  std::vector<uint8_t> flipped = good;
  flipped[page(4, 60)] ^= 0x01;  // a byte of the enciphered table list
  std::vector<uint8_t> badHeader = good;
  badHeader[26] = badHeader[27] = 0;  // the header's page size
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int Error;
  } cases[] = {
      {"empty", {}, 10464},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 100), 20237},
      {"cut", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(page(3, 0))), 20237},
      {"decoy", decoy, 20237},
      {"no signature", noSignature, 10470},
      {"flipped", flipped, 30446},
      {"bad header", badHeader, 20237},
  };
  for (const auto& c : cases) {
    WriteAll(db.Name, c.Bytes);
    auto s = NewSession(db.Name, o);
    EXPECT_EQ(NativeErrorOf([&] { s->SetConnected(true); }), c.Error) << c.Name;
    EXPECT_FALSE(s->GetConnected()) << c.Name;
    EXPECT_EQ(DatabaseDataList->Count(), 2) << c.Name;
  }
  // The object left behind is closed: the good file opens again.
  WriteAll(db.Name, good);
  auto s = NewSession(db.Name, o);
  s->SetConnected(true);
  EXPECT_TRUE(Tables(*s).empty());
}

TEST(VelqorimDiskDatabase, ProcessesChangeTheCatalogueWithoutLosingChanges) {
  TEngine e;
  TScratchDatabase db;
  TSessionOptions multi;
  multi.MultiUser = true;
  Create(db.Name, multi);
  disk::TPeer peer([&](disk::TPeer& Me) {
    auto s = NewSession(db.Name, multi);
    s->SetConnected(true);
    int n = 0;
    while (char c = Me.Next()) {
      if (c == 'a') Me.Reply(disk::Outcome([&] { AddTable(*s, "Child" + std::to_string(n++)); }));
      if (c == 'l') {
        String all;
        for (const String& t : Tables(*s)) all += t + ",";
        Me.Reply(all);
      }
    }
  });
  auto s = NewSession(db.Name, multi);
  s->SetConnected(true);
  EXPECT_EQ(Tables(*s).size(), 0u);  // the list is now cached here
  ASSERT_EQ(peer.Ask('a'), "ok");
  AddTable(*s, "Parent0");
  ASSERT_EQ(peer.Ask('a'), "ok");
  AddTable(*s, "Parent1");
  EXPECT_EQ(peer.Ask('l'), "Child0,Parent0,Child1,Parent1,");
  EXPECT_EQ(Tables(*s), (std::vector<String>{"Child0", "Parent0", "Child1", "Parent1"}));
  EXPECT_EQ(s->GetDBFileConnectionsCount(), 2);
}

TEST(VelqorimDiskDatabase, ASingleUserReaderSeesAnotherProcessesCommits) {
  TEngine e;
  TScratchDatabase db;
  TSessionOptions multi;
  multi.MultiUser = true;
  Create(db.Name);
  disk::TPeer peer([&](disk::TPeer& Me) {
    auto s = NewSession(db.Name, multi);
    s->SetConnected(true);
    int n = 0;
    while (char c = Me.Next())
      if (c == 'a') Me.Reply(disk::Outcome([&] { AddTable(*s, "T" + std::to_string(n++)); }));
  });
  ASSERT_EQ(peer.Ask('a'), "ok");  // the writer is connected
  auto reader = NewSession(db.Name);
  reader->SetConnected(true);
  ASSERT_TRUE(reader->ReadOnly);
  EXPECT_EQ(Tables(*reader), std::vector<String>{"T0"});
  ASSERT_EQ(peer.Ask('a'), "ok");
  EXPECT_EQ(Tables(*reader), (std::vector<String>{"T0", "T1"}));
}

TEST(VelqorimDiskDatabase, AMultiUserCommitWaitsForTheLocksOfItsTables) {
  TEngine e;
  TScratchDatabase db;
  TSessionOptions multi;
  multi.MultiUser = true;
  multi.SessionName = "A";
  Create(db.Name, multi);
  auto writer = NewSession(db.Name, multi);
  writer->SetConnected(true);
  TVelqorimDiskDatabaseData& d = DiskOf(*writer);
  TVelqorimTableLocksFile locks(d.DiskPageManager());
  const int32_t table = locks.CreateFile(d.MaxSessionCount);
  d.ApplySystemChanges();
  locks.OpenFile(table);
  multi.SessionName = "B";
  auto reader = NewSession(db.Name, multi);
  reader->SetConnected(true);
  TVelqorimTableLocksFile readerLocks(DiskOf(*reader).DiskPageManager());
  readerLocks.OpenFile(table);
  ASSERT_TRUE(
      DiskOf(*reader).TableLockManager()->LockTable(reader->SessionID, ltS, readerLocks, 1, 1, false, true));
  // The writer's change: a page of its transaction under ltXIRW.
  writer->StartTransaction();
  ASSERT_TRUE(d.TableLockManager()->LockTable(writer->SessionID, ltXIRW, locks, 1, 1, false, true));
  TVelqorimPage* p = d.DiskPageManager()->AddPage(writer->SessionID, ptTableRecord);
  const int32_t pageNo = p->PageNo;
  std::memcpy(p->PageData(), "committed", 10);
  d.DiskPageManager()->PutPage(p);
  EXPECT_EQ(NativeErrorOf([&] { writer->Commit(true); }), 20233);
  EXPECT_TRUE(writer->InTransaction);
  ASSERT_TRUE(
      DiskOf(*reader).TableLockManager()->UnlockTable(reader->SessionID, ltS, readerLocks, false, false));
  writer->Commit(true);
  EXPECT_FALSE(d.TableLockManager()->SessionLocks(writer->SessionID).LockExists(ltXIRW, table));
  TVelqorimPageHolder seen(*DiskOf(*reader).DiskPageManager(), DiskOf(*reader).DiskPageManager()->GetPage(
                                                                   reader->SessionID, pageNo, ptTableRecord));
  EXPECT_STREQ(reinterpret_cast<const char*>(seen->PageData()), "committed");
}

}  // namespace

namespace {

// A process that dies at any write of a catalogue change leaves a file that
// opens with the earlier table intact and the new one either whole or absent.
TEST(VelqorimDiskDatabase, DeathAtEveryWriteOfACatalogueChange) {
  TEngine e;
  TScratchDatabase db;
  TSessionOptions o;
  o.Password = "pw";
  Create(db.Name, o);
  {
    auto s = NewSession(db.Name, o);
    s->SetConnected(true);
    AddTable(*s, "Kept");
  }
  const std::vector<uint8_t> base = ReadAll(db.Name);
  bool finished = false;
  int added = 0, repairs = 0;
  for (int n = 0; !finished && n < 100; ++n) {
    SCOPED_TRACE(n);
    WriteAll(db.Name, base);
    FaultyDbFile* faulty = nullptr;
    SetDbFileFactory([&] {
      auto f = std::make_unique<FaultyDbFile>();
      f->WritesUntilDeath = n;
      faulty = f.get();
      return f;
    });
    try {
      auto s = NewSession(db.Name, o);
      s->SetConnected(true);
      AddTable(*s, "New");
      finished = !faulty->Dead();
    } catch (const EABSException&) {
      // The process is gone here.
    }
    SetDbFileFactory(nullptr);
    auto s = NewSession(db.Name, o);
    ASSERT_EQ(NativeErrorOf([&] { s->SetConnected(true); }), 0);
    repairs += s->RepairNeeded ? 1 : 0;
    const std::vector<String> names = Tables(*s);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names[0], "Kept");
    if (names.size() == 2) {
      EXPECT_EQ(names[1], "New");
      ++added;
    }
    EXPECT_LE(names.size(), 2u);
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(added, 0);
  std::printf("catalogue change: %d of the runs left the new table, %d asked for repair\n", added, repairs);
}

}  // namespace
