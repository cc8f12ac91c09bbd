// Page-files inside a database file and the catalogue on them: contents
// round-trip through the cache and the file with every compression, grow and
// shrink; direct-access page-files keep their bytes and lock bytes in place;
// the table list compares names without case; session slots.

#include "db/storage/VelqorimDiskCatalog.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/db_storage/DiskFixture.h"

namespace {

using disk::TScratchDatabase;

struct TOpenFile {
  explicit TOpenFile(const String& Name, bool Create = true) {
    if (Create) {
      Pm.CreateAndOpenDatabase(Name, TABSPassword{}, 512, 8);
    } else {
      bool ro = false, repair = false, multi = true;
      Pm.OpenDatabase(Name, TABSPassword{}, ro, repair, false, multi);
    }
  }
  TVelqorimDiskPageManager Pm;
};

std::vector<uint8_t> Pattern(int Size, int Seed) {
  std::vector<uint8_t> v(static_cast<size_t>(Size));
  for (int i = 0; i < Size; ++i) v[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + Seed) % 251);
  return v;
}

TEST(VelqorimDiskCatalog, TransactedPageFilesRoundTripWithEveryCompression) {
  TScratchDatabase db;
  std::vector<std::pair<TABSCompressionAlgorithm, int32_t>> files;
  const TABSCompressionAlgorithm algorithms[] = {acaNone, acaZLIB, acaBZIP, acaPPM};
  {
    TOpenFile f(db.Name);
    for (TABSCompressionAlgorithm a : algorithms) {
      TVelqorimInternalDBTransactedAccessFile file(&f.Pm, ptTableMetaData);
      file.CreateFile(0);
      // Several pages, then fewer: the chain follows the content both ways.
      std::vector<uint8_t> big = Pattern(3000, 1);
      file.WriteFile(0, big.data(), 3000, a, 5);
      std::vector<uint8_t> small = Pattern(700, a);
      file.WriteFile(0, small.data(), 700, a, 5);
      files.emplace_back(a, file.StartPageNo());
    }
    f.Pm.ApplyChanges(0);
  }
  TOpenFile f(db.Name, false);
  for (auto [a, start] : files) {
    TVelqorimInternalDBTransactedAccessFile file(&f.Pm, ptTableMetaData);
    file.OpenFile(start);
    ASSERT_EQ(file.GetSize(0), 700) << a;
    std::vector<uint8_t> back(700);
    file.ReadFile(0, back.data(), 700, true);
    EXPECT_EQ(back, Pattern(700, a)) << a;
    // A shorter read gives the first bytes; a longer one is refused.
    std::vector<uint8_t> head(10);
    file.ReadFile(0, head.data(), 10, true);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), back.begin()));
    EXPECT_EQ(NativeErrorOf([&] { file.ReadFile(0, back.data(), 701, true); }), 30387);
  }
  // Empty content cannot be compressed; a closed page-file refuses work.
  TVelqorimInternalDBTransactedAccessFile file(&f.Pm, ptTableMetaData);
  EXPECT_EQ(NativeErrorOf([&] { file.GetSize(0); }), 30389);
  file.OpenFile(files[1].second);
  uint8_t none = 0;
  EXPECT_EQ(NativeErrorOf([&] { file.WriteFile(0, &none, 0, acaZLIB, 1); }), 20187);
  EXPECT_EQ(NativeErrorOf([&] { file.CreateFile(0); }), 30383);
}

TEST(VelqorimDiskCatalog, AShrunkPageFileGivesItsPagesBack) {
  TScratchDatabase db;
  TOpenFile f(db.Name);
  TVelqorimInternalDBTransactedAccessFile file(&f.Pm, ptTableMetaData);
  file.CreateFile(0);
  std::vector<uint8_t> big = Pattern(4000, 3);
  file.WriteFile(0, big.data(), 4000, acaNone, 0);
  f.Pm.ApplyChanges(0);
  const int32_t used = f.Pm.DBHeader().LastUsedPageNo;
  file.WriteFile(0, big.data(), 100, acaNone, 0);
  f.Pm.ApplyChanges(0);
  // Growing again takes the freed pages instead of new ones.
  file.WriteFile(0, big.data(), 4000, acaNone, 0);
  f.Pm.ApplyChanges(0);
  EXPECT_EQ(int32_t{f.Pm.DBHeader().LastUsedPageNo}, used);
  std::vector<uint8_t> back(4000);
  file.ReadFile(0, back.data(), 4000, true);
  EXPECT_EQ(back, big);
}

TEST(VelqorimDiskCatalog, DirectPageFilesWorkInPlace) {
  TScratchDatabase db;
  int32_t start = -1;
  {
    TOpenFile f(db.Name);
    TVelqorimInternalDBDirectAccessFile file(&f.Pm, ptTableLocks);
    file.CreateFile(1200);  // three 472-byte data areas
    start = file.StartPageNo();
    f.Pm.ApplyChanges(VelqorimSystemSessionID);
  }
  TOpenFile f(db.Name, false);
  TVelqorimInternalDBDirectAccessFile file(&f.Pm, ptTableLocks);
  EXPECT_EQ(NativeErrorOf([&] { file.GetSize(); }), 20156);
  file.OpenFile(start);
  EXPECT_EQ(file.GetSize(), 1200);
  std::vector<uint8_t> data = Pattern(1200, 9);
  file.WriteBuffer(data.data(), 1200, 0);
  std::vector<uint8_t> back(600);
  file.ReadBuffer(back.data(), 600, 500);  // across a page boundary
  EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 500));
  EXPECT_EQ(NativeErrorOf([&] { file.WriteBuffer(data.data(), 2, 1199); }), 20158);
  EXPECT_EQ(NativeErrorOf([&] { file.ReadBuffer(back.data(), 1, 1201); }), 20159);
  // Lock bytes across pages, seen by the region test; unlock must match.
  EXPECT_FALSE(file.IsRegionLocked(0, 1200));
  EXPECT_TRUE(file.LockByte(1000));
  EXPECT_FALSE(file.LockByte(1000));
  EXPECT_TRUE(file.IsByteLocked(1000));
  EXPECT_TRUE(file.IsRegionLocked(400, 700));
  EXPECT_FALSE(file.IsRegionLocked(0, 1000));
  EXPECT_TRUE(file.UnlockByte(1000));
  EXPECT_FALSE(file.UnlockByte(1000));
  // A page of another type in the chain is a damaged file.
  TVelqorimInternalDBDirectAccessFile wrong(&f.Pm, ptActiveSessionList);
  EXPECT_EQ(NativeErrorOf([&] { wrong.OpenFile(start); }), 20155);
  // A one-page file may use its whole page.
  TVelqorimInternalDBDirectAccessFile small(&f.Pm, ptTableLocks);
  small.CreateFile(100);
  f.Pm.ApplyChanges(VelqorimSystemSessionID);
  small.OpenFile(-1);
  EXPECT_EQ(small.FileSize(), 512 - 40 - 10);
}

TEST(VelqorimDiskCatalog, DirectPageFilesStayPlainInAnEncipheredFile) {
  TScratchDatabase db;
  TABSPassword pw{"secret", craBlowfish};
  int32_t start = -1;
  {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(db.Name, pw, 512, 8);
    TVelqorimInternalDBDirectAccessFile file(&pm, ptTableLocks);
    file.CreateFile(64);
    start = file.StartPageNo();
    pm.ApplyChanges(VelqorimSystemSessionID);
    file.OpenFile(-1);
    file.WriteBuffer("plain words", 11, 20);
  }
  TVelqorimDiskPageManager pm;
  bool ro = false, repair = false, multi = false;
  pm.OpenDatabase(db.Name, pw, ro, repair, false, multi);
  TVelqorimInternalDBDirectAccessFile file(&pm, ptTableLocks);
  file.OpenFile(start);
  char back[12] = {};
  file.ReadBuffer(back, 11, 20);
  EXPECT_STREQ(back, "plain words");
}

TEST(VelqorimDiskCatalog, TableListNamesAndErrors) {
  TScratchDatabase db;
  int32_t start = -1;
  const AnsiString longName(300, 'n');
  {
    TOpenFile f(db.Name);
    TVelqorimTableListFile list(&f.Pm);
    start = list.CreateFile();
    list.OpenFile(start);
    EXPECT_EQ(NativeErrorOf([&] { list.OpenFile(start); }), 30393);
    list.AddTable(7, "Orders", 10, 11, 12);
    list.AddTable(8, longName, 20, 21, 22);
    EXPECT_EQ(NativeErrorOf([&] { list.AddTable(9, "ORDERS", 1, 2, 3); }), 30395);
    list.RenameTable("orders", "Sales");
    list.Save();
    f.Pm.ApplyChanges(VelqorimSystemSessionID);
  }
  TOpenFile f(db.Name, false);
  TVelqorimTableListFile list(&f.Pm);
  list.OpenFile(start);
  TStringList names;
  list.GetTablesList(names);
  ASSERT_EQ(names.Count(), 2);
  EXPECT_EQ(names[0], "Sales");
  EXPECT_EQ(names[1], longName.substr(0, 255));
  int32_t id = 0, meta = 0, most = 0, locks = 0;
  list.OpenTable("SALES", id, meta, most, locks);
  EXPECT_EQ(std::vector<int32_t>({id, meta, most, locks}), std::vector<int32_t>({7, 10, 11, 12}));
  list.OpenTable(longName + "tail", id, meta, most, locks);  // compared as stored: the first 255
  EXPECT_EQ(id, 8);
  EXPECT_EQ(NativeErrorOf([&] { list.OpenTable("Orders", id, meta, most, locks); }), 30396);
  EXPECT_EQ(NativeErrorOf([&] { list.RenameTable("Orders", "X"); }), 30397);
  EXPECT_EQ(NativeErrorOf([&] { list.RemoveTable("Orders"); }), 30405);
  list.RemoveTable("sales");
  EXPECT_EQ(list.Count(), 1);
}

TEST(VelqorimDiskCatalog, SessionSlots) {
  TScratchDatabase db;
  disk::TShortRetries quick;
  int32_t start = -1;
  {
    TOpenFile f(db.Name);
    start = TVelqorimActiveSessionsFile(&f.Pm).CreateFile(3);
    f.Pm.ApplyChanges(VelqorimSystemSessionID);
  }
  TOpenFile a(db.Name, false), b(db.Name, false);  // two handles behave as two processes
  TVelqorimActiveSessionsFile sa(&a.Pm), sb(&b.Pm);
  sa.OpenFile(start);
  sb.OpenFile(start);
  EXPECT_EQ(sa.MaxSessionCount(), 3);
  EXPECT_EQ(sa.MultiUserConnect(), 0);
  EXPECT_EQ(sb.MultiUserConnect(), 1);
  EXPECT_EQ(sa.MultiUserConnect(), 2);
  EXPECT_EQ(NativeErrorOf([&] { sb.MultiUserConnect(); }), 20094);
  EXPECT_EQ(sb.GetDBFileConnectionsCount(), 3);
  EXPECT_FALSE(sb.SingleUserConnect());
  sa.MultiUserDisconnect(0);
  sa.MultiUserDisconnect(2);
  sb.MultiUserDisconnect(1);
  EXPECT_TRUE(sb.SingleUserConnect());
  EXPECT_FALSE(sa.SingleUserConnect());
  EXPECT_EQ(NativeErrorOf([&] { sa.MultiUserConnect(); }), 20094);
  sb.SingleUserDisconnect();
  EXPECT_EQ(sa.GetDBFileConnectionsCount(), 0);
}

}  // namespace
