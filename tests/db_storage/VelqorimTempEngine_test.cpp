// The temporary engine: records, index pages and BLOBs spill to temporary
// files under a small memory limit and read back the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"
#include "tests/db_storage/LocalTables.h"

using namespace local;

namespace {

// Free memory as the engine sees it, for one test.
struct TFreeMemory {
  explicit TFreeMemory(int64_t Bytes) {
    VelqorimFreeMemorySource = [Bytes] { return Bytes; };
  }
  ~TFreeMemory() { VelqorimFreeMemorySource = nullptr; }
};

TEST(VelqorimTemporaryRecordManager, SpillsPastTheCacheAndReadsBack) {
  const int files = TVelqorimSpillFile::OpenCount;
  for (const bool disable : {false, true}) {
    SCOPED_TRACE(disable);
    TFreeMemory limit(10 * 8 * 25);  // a cache of 25 records of 8 bytes
    TVelqorimTemporaryRecordManager m(8, 10, 7, disable);
    EXPECT_EQ(m.MaxCachedRecordCount, 25);
    TABSPageItemID id;
    for (int64_t n = 0; n < 400; ++n) {
      const int64_t v = n * 3;
      ASSERT_TRUE(m.AddRecord(0, reinterpret_cast<const uint8_t*>(&v), id));
      EXPECT_EQ(TVelqorimTemporaryRecordManager::OrdinalOf(id), n);
    }
    EXPECT_EQ(m.Spilled(), !disable);
    EXPECT_EQ(TVelqorimSpillFile::OpenCount, files + (disable ? 0 : 1));
    EXPECT_FALSE(m.UpdateRecord(0, reinterpret_cast<const uint8_t*>(&id), id));
    EXPECT_FALSE(m.DeleteRecord(0, id));
    // Forward from the first, backward from the last, and single reads.
    int64_t value = 0;
    TABSNavigationInfo nav;
    nav.RecordBuffer = reinterpret_cast<uint8_t*>(&value);
    nav.FirstPosition = true;
    nav.GetRecordMode = grmNext;
    int64_t n = 0;
    for (m.GetRecordBuffer(0, nav); nav.GetRecordResult == grrOK; m.GetRecordBuffer(0, nav)) EXPECT_EQ(value, 3 * n++);
    EXPECT_EQ(n, 400);
    nav = {};
    nav.RecordBuffer = reinterpret_cast<uint8_t*>(&value);
    nav.LastPosition = true;
    nav.GetRecordMode = grmPrior;
    for (m.GetRecordBuffer(0, nav); nav.GetRecordResult == grrOK; m.GetRecordBuffer(0, nav)) EXPECT_EQ(value, 3 * --n);
    EXPECT_EQ(n, 0);
    for (int64_t k : {0, 24, 25, 399, 200}) {
      nav = {};
      nav.RecordBuffer = reinterpret_cast<uint8_t*>(&value);
      nav.RecordID = TVelqorimTemporaryRecordManager::IdOf(k);
      m.GetRecordBuffer(0, nav);
      ASSERT_EQ(nav.GetRecordResult, grrOK);
      EXPECT_EQ(value, 3 * k);
      EXPECT_EQ(m.GetApproximateRecNo(0, nav.RecordID), k + 1);
    }
    m.Empty(0);
    EXPECT_EQ(TVelqorimSpillFile::OpenCount, files);
  }
  // A record larger than a tenth of free memory spills from the first one.
  TFreeMemory tiny(50);
  TVelqorimTemporaryRecordManager m(8, 10, 1000, false);
  TABSPageItemID id;
  const int64_t v = 5;
  ASSERT_TRUE(m.AddRecord(0, reinterpret_cast<const uint8_t*>(&v), id));
  EXPECT_TRUE(m.Spilled());
}

// A whole indexed table with BLOBs under a limit that sends records, index
// pages and BLOBs to files, against the same table kept in memory.
TEST(VelqorimTemporaryTable, SpilledTableReadsBackTheSame) {
  TLocalEngine engine;
  TFreeMemory limit(40 * 4096);  // four memory pages, a few hundred records
  TLocalTable spilled("TEMP", "Spilled"), kept("TEMP", "Kept");
  kept.cursor.DisableTempFiles = true;
  const int files = TVelqorimSpillFile::OpenCount;
  for (TLocalTable* t : {&spilled, &kept}) {
    TVelqorimFieldDefs f;
    AddFields(f, {{"n", aftInteger, 0}, {"k", aftInteger, 0}, {"note", aftMemo, 0}});
    TVelqorimIndexDefs i;
    AddIndex(i, "ByK", {"k"});
    t->Create(f, i);
  }
  TABSSeededRandomSource rnd(3);
  for (int32_t n = 0; n < 3000; ++n) {
    const int32_t k = static_cast<int32_t>(rnd.Next32() % 1000);
    for (TLocalTable* t : {&spilled, &kept}) {
      t->cursor.InternalInitRecord(t->record, true);
      t->Set(0, n);
      t->Set(1, k);
      if (n % 100 == 0) {
        TABSStream* s = t->cursor.InternalCreateBlobStream(true, false, 2, bomWrite, false);
        const String text = "note " + std::to_string(n);
        s->Write(text.data(), static_cast<int64_t>(text.size()));
        s->SetModified(true);
      }
      t->cursor.InternalPost(true);
      ASSERT_EQ(t->cursor.ErrorCode, 0);
    }
  }
  auto* table = static_cast<TVelqorimTemporaryTableData*>(spilled.cursor.TableData);
  EXPECT_TRUE(table->Records().Spilled());
  EXPECT_TRUE(table->Pages()->Spilled());
  EXPECT_GT(TVelqorimSpillFile::OpenCount, files);
  auto* memoryOnly = static_cast<TVelqorimTemporaryTableData*>(kept.cursor.TableData);
  EXPECT_FALSE(memoryOnly->Records().Spilled());
  EXPECT_FALSE(memoryOnly->Pages()->Spilled());
  for (TLocalTable* t : {&spilled, &kept}) t->cursor.SetIndexName("ByK");
  const auto keys = spilled.Column(1);
  EXPECT_EQ(keys.size(), 3000u);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(keys, kept.Column(1));
  EXPECT_EQ(spilled.Column(0), kept.Column(0));
  // BLOBs read back from the spilled table.
  spilled.cursor.SetIndexName("");
  spilled.cursor.SetRecNo(1201);
  ASSERT_EQ(spilled.cursor.GetRecordBuffer(grmCurrent), grrOK);
  EXPECT_EQ(spilled.cursor.GetRecNo(), 1201);  // exactly ordinal + 1
  TABSStream* s = spilled.cursor.InternalCreateBlobStream(false, false, 2, bomRead, false);
  String text(static_cast<size_t>(s->Size()), '\0');
  s->Read(text.data(), s->Size());
  spilled.cursor.InternalCloseBLOB(2);
  EXPECT_EQ(text, "note 1200");
  // Records of temporary tables are never changed in place.
  spilled.BeginEdit();
  EXPECT_EQ(spilled.cursor.ErrorCode, -9);
  spilled.cursor.InternalDelete();
  EXPECT_EQ(spilled.cursor.ErrorCode, -10);
  EXPECT_EQ(spilled.cursor.GetRecordCount(), 3000);
  // Emptying closes the files and takes new BLOBs again.
  spilled.cursor.EmptyTable();
  EXPECT_EQ(TVelqorimSpillFile::OpenCount, files);
  spilled.Open();
  spilled.cursor.InternalInitRecord(spilled.record, true);
  TABSStream* again = spilled.cursor.InternalCreateBlobStream(true, false, 2, bomWrite, false);
  again->Write("x", 1);
  again->SetModified(true);
  spilled.cursor.InternalPost(true);
  EXPECT_EQ(spilled.cursor.ErrorCode, 0);
}

// Index pages freed by a temporary index that is dropped and made again are
// taken again, in memory and in the spill file.
TEST(VelqorimTemporaryPageManager, FreedPagesAreTakenAgain) {
  TFreeMemory limit(10 * 4096 * 2);  // two memory pages
  TVelqorimTemporaryPageManager pm(false);
  ASSERT_EQ(pm.MaxMemoryPageCount, 2);
  for (int round = 0; round < 5; ++round) {
    std::vector<int32_t> numbers;
    for (int i = 0; i < 6; ++i) {
      TVelqorimPage* p = pm.AddPage(0, 0);
      p->PageData()[0] = static_cast<uint8_t>(i + 1);
      numbers.push_back(p->PageNo);
      pm.PutPage(p);
    }
    pm.ApplyChanges(0);
    EXPECT_EQ(numbers, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 6; ++i) {
      TVelqorimPage* p = pm.GetPage(0, numbers[i], 255);
      EXPECT_EQ(p->PageData()[0], i + 1);
      pm.PutPage(p);
    }
    for (int32_t n : numbers) pm.RemovePage(0, n);
    pm.ApplyChanges(0);
  }
  EXPECT_LE(pm.SpillFileSize(), 4 * 4096 * 2);
}

}  // namespace
