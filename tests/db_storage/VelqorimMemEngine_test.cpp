// The in-memory engine: slots and their reuse, the page store, indexed
// tables through the local cursor, and BLOBs.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <vector>

#include "db/storage/VelqorimBTree.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"
#include "tests/db_storage/LocalTables.h"

using namespace local;

namespace {

std::vector<uint8_t> Rec(int32_t Value) {
  std::vector<uint8_t> r(8, 0);
  std::memcpy(r.data(), &Value, 4);
  return r;
}

int32_t ValueOf(const uint8_t* Record) {
  int32_t v;
  std::memcpy(&v, Record, 4);
  return v;
}

// Slots in physical order by walking forward.
std::vector<int32_t> Walk(TVelqorimMemoryRecordManager& M) {
  std::vector<int32_t> slots;
  std::vector<uint8_t> buffer(8);
  TABSNavigationInfo nav;
  nav.RecordBuffer = buffer.data();
  nav.FirstPosition = true;
  nav.GetRecordMode = grmNext;
  for (M.GetRecordBuffer(0, nav); nav.GetRecordResult == grrOK; M.GetRecordBuffer(0, nav))
    slots.push_back(int32_t{nav.RecordID.PageNo});
  return slots;
}

TEST(VelqorimMemoryRecordManager, SlotsNumbersAndNavigation) {
  EXPECT_THROW(TVelqorimMemoryRecordManager(0, 10), EABSException);
  TVelqorimMemoryRecordManager m(8, 4);
  TABSPageItemID id;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(m.AddRecord(0, Rec(i).data(), id));
    EXPECT_EQ(id.PageNo, i);
  }
  EXPECT_EQ(m.GetApproximateRecNo(0, {9, 0}), 9);  // Round(9 / 10 * 9) + 1
  id = {2, 0};
  ASSERT_TRUE(m.DeleteRecord(0, id));
  EXPECT_FALSE(m.DeleteRecord(0, id));  // already deleted
  EXPECT_EQ(m.SlotOfRecNo(5), 5);       // record number 5 after deleting slot 2 of 0..9
  EXPECT_EQ(m.RecNoOfSlot(5), 5);
  // Deletes across a flag-byte boundary.
  for (int s : {7, 8}) {
    id = {s, 0};
    ASSERT_TRUE(m.DeleteRecord(0, id));
  }
  EXPECT_EQ(m.SlotOfRecNo(7), 9);
  EXPECT_EQ(Walk(m), (std::vector<int32_t>{0, 1, 3, 4, 5, 6, 9}));
  // Deleting the last slot reports the new last one.
  id = {9, 0};
  ASSERT_TRUE(m.DeleteRecord(0, id));
  EXPECT_EQ(id.PageNo, 6);
  EXPECT_EQ(m.LastRecordID, 6);
  // A table emptied by deletes starts again at slot 0 with the new contents.
  for (int s : {0, 1, 3, 4, 5, 6}) {
    id = {s, 0};
    ASSERT_TRUE(m.DeleteRecord(0, id));
  }
  ASSERT_TRUE(m.AddRecord(0, Rec(42).data(), id));
  EXPECT_EQ(id.PageNo, 0);
  EXPECT_EQ(ValueOf(m.StoredRecord(0)), 42);
  EXPECT_FALSE(m.UpdateRecord(0, Rec(1).data(), {5, 0}));
}

// A queue (append at the back, delete at the front) keeps within the room of
// its live records: free slots are taken before the store grows.
TEST(VelqorimMemoryRecordManager, QueueWorkloadStaysBounded) {
  TVelqorimMemoryRecordManager m(8, 100);
  std::deque<int32_t> queue;
  std::map<int32_t, int32_t> model;  // slot -> value
  TABSPageItemID id;
  for (int32_t v = 0; v < 20000; ++v) {
    ASSERT_TRUE(m.AddRecord(0, Rec(v).data(), id));
    const int32_t slot = id.PageNo;
    ASSERT_FALSE(model.count(slot));
    model[slot] = v;
    queue.push_back(slot);
    if (queue.size() > 150) {
      TABSPageItemID front{queue.front(), 0};
      model.erase(queue.front());
      queue.pop_front();
      ASSERT_TRUE(m.DeleteRecord(0, front));
    }
  }
  EXPECT_LE(m.AllocatedRecordCount, 200);
  EXPECT_EQ(m.RecordCount, 150);
  std::vector<int32_t> slots;
  for (auto& [slot, value] : model) {
    slots.push_back(slot);
    EXPECT_EQ(ValueOf(m.StoredRecord(slot)), value);
  }
  EXPECT_EQ(Walk(m), slots);
}

TEST(VelqorimMemoryPageManager, NumbersAreReusedAndBuffersLent) {
  TVelqorimMemoryPageManager pm;
  TVelqorimPage* a = pm.AddPage(0, 0);
  TVelqorimPage* b = pm.AddPage(0, 0);
  EXPECT_EQ(a->PageNo, 0);
  EXPECT_EQ(b->PageNo, 1);
  EXPECT_FALSE(a->OwnBuffer);  // changes land in the store
  a->PageData()[0] = 7;
  pm.PutPage(a);
  pm.PutPage(b);
  pm.ApplyChanges(0);
  pm.RemovePage(0, 0);
  pm.ApplyChanges(0);
  TVelqorimPage* c = pm.AddPage(0, 0);
  EXPECT_EQ(c->PageNo, 0);
  EXPECT_EQ(c->PageData()[0], 0);  // a reused number starts clean
  pm.PutPage(c);
  pm.ApplyChanges(0);
  EXPECT_THROW(pm.GetPage(0, 5, 255), EABSException);
  // The stream form round-trips.
  TVelqorimPage* d = pm.GetPage(0, 1, 255);
  d->PageData()[10] = 9;
  pm.PutPage(d);
  TMemoryStream stream;
  pm.SaveToStream(stream);
  stream.SetPosition(0);
  TVelqorimMemoryPageManager copy;
  copy.LoadFromStream(stream);
  TVelqorimPage* e = copy.GetPage(0, 1, 255);
  EXPECT_EQ(e->PageData()[10], 9);
  copy.PutPage(e);
}

TEST(VelqorimMemoryTable, IndexedTableThroughCursor) {
  TLocalEngine engine;
  TLocalTable t("MEMORY", "People");
  TVelqorimFieldDefs f;
  AddFields(f, {{"id", aftInteger, 0}, {"age", aftInteger, 0}});
  TVelqorimIndexDefs i;
  AddIndex(i, "ByAge", {"age"});
  t.Create(f, i);
  TVelqorimIndexDefs unique;
  AddIndex(unique, "ById", {"id"}, true);
  t.cursor.AddIndex(*unique[0]);  // a unique index added later brings its constraint
  EXPECT_THROW(t.cursor.AddIndex(*unique[0]), EABSException);
  TABSSeededRandomSource rnd(5);
  std::multimap<int32_t, int32_t> byAge;
  for (int32_t n = 0; n < 3000; ++n) {
    const int32_t age = static_cast<int32_t>(rnd.Next32() % 90);
    ASSERT_EQ(t.Insert({n, age}), 0);
    byAge.insert({age, n});
  }
  EXPECT_EQ(t.Insert({17, 1}), -8);  // unique index
  EXPECT_EQ(t.cursor.GetRecordCount(), 3000);
  t.cursor.SetIndexName("ByAge");
  std::vector<std::optional<int32_t>> ages;
  for (auto& [age, id] : byAge) ages.push_back(age);
  EXPECT_EQ(t.Column(1), ages);
  // FindKey on the index, record numbers both ways.
  t.cursor.KeyBuffer = t.cursor.AllocateKeyRecordBuffer();
  t.cursor.InternalInitKeyBuffer(t.cursor.KeyBuffer);
  TABSVariant v;
  v.SetAsInteger(45);
  t.cursor.SetFieldValue(v, 1, true, t.cursor.KeyBuffer);
  t.cursor.KeyFieldCount = 1;
  ASSERT_TRUE(t.cursor.FindKey(scEqual));
  ASSERT_EQ(t.cursor.GetRecordBuffer(grmCurrent), grrOK);
  EXPECT_EQ(t.Get(1), 45);
  const int64_t recNo = t.cursor.GetRecNo();
  EXPECT_EQ(recNo, std::distance(byAge.begin(), byAge.lower_bound(45)) + 1);
  t.cursor.SetRecNo(recNo);
  ASSERT_EQ(t.cursor.GetRecordBuffer(grmCurrent), grrOK);
  EXPECT_EQ(t.Get(1), 45);
  t.cursor.FreeRecordBuffer(t.cursor.KeyBuffer);
  // Deleting every other record keeps the index and the physical order in step.
  t.cursor.SetIndexName("");
  t.cursor.InternalFirst();
  for (TABSGetRecordResult r = t.cursor.GetRecordBuffer(grmNext); r == grrOK;) {
    if (*t.Get(0) % 2 != 0) {
      r = t.cursor.GetRecordBuffer(grmNext);
      continue;
    }
    t.cursor.InternalDelete();
    ASSERT_EQ(t.cursor.ErrorCode, 0);
    // The cursor stands on the neighbour now.
    r = t.cursor.FirstPosition ? grrEOF : t.cursor.GetRecordBuffer(grmCurrent);
  }
  EXPECT_EQ(t.cursor.GetRecordCount(), 1500);
  t.cursor.SetIndexName("ByAge");
  auto column = t.Column(1);
  EXPECT_EQ(column.size(), 1500u);
  EXPECT_TRUE(std::is_sorted(column.begin(), column.end()));
}

// Inserts and deletes in queue order keep both the records and the index
// pages within the room the live records need.
TEST(VelqorimMemoryTable, QueueWorkloadReusesSlotsAndPages) {
  TLocalEngine engine;
  TLocalTable t("MEMORY", "Queue");
  TVelqorimFieldDefs f;
  AddFields(f, {{"n", aftInteger, 0}});
  TVelqorimIndexDefs i;
  AddIndex(i, "ByN", {"n"});
  t.Create(f, i);
  auto* table = static_cast<TVelqorimMemoryTableData*>(t.cursor.TableData);
  int32_t peakPages = 0;
  for (int32_t n = 0; n < 10000; ++n) {
    ASSERT_EQ(t.Insert({n}), 0);
    if (n >= 500) {
      // The oldest record is the first in index order.
      t.cursor.SetIndexName("ByN");
      t.cursor.InternalFirst();
      ASSERT_EQ(t.cursor.GetRecordBuffer(grmNext), grrOK);
      ASSERT_EQ(t.Get(0), n - 500);
      t.cursor.InternalDelete();
      ASSERT_EQ(t.cursor.ErrorCode, 0);
    }
    if (n == 2000) peakPages = table->Pages().LastAllocatedPageNo();
  }
  EXPECT_EQ(t.cursor.GetRecordCount(), 500);
  EXPECT_LE(table->Records().AllocatedRecordCount, 2000);
  EXPECT_LE(table->Pages().LastAllocatedPageNo(), peakPages + 4);
}

TEST(VelqorimMemoryTable, BlobsWriteReadCopyAndCancel) {
  TLocalEngine engine;
  TLocalTable t("MEMORY", "Docs"), u("MEMORY", "Copies");
  TVelqorimFieldDefs f;
  AddFields(f, {{"id", aftInteger, 0}, {"body", aftBlob, 0}});
  f[1]->BLOBCompressionAlgorithm = acaZLIB;
  f[1]->BLOBCompressionMode = 6;
  TVelqorimIndexDefs none;
  t.Create(f, none);
  u.Create(f, none);
  auto* table = static_cast<TVelqorimMemoryTableData*>(t.cursor.TableData);
  const String text(70000, 'x');
  auto write = [&](TLocalTable& T, const String& Value) {
    TABSStream* s = T.cursor.InternalCreateBlobStream(false, true, 1, bomWrite, false);
    s->Write(Value.data(), static_cast<int64_t>(Value.size()));
    s->SetModified(true);
  };
  auto read = [&](TLocalTable& T) {
    TABSStream* s = T.cursor.InternalCreateBlobStream(false, false, 1, bomRead, false);
    String value(static_cast<size_t>(s->Size()), '\0');
    s->SetPosition(0);
    s->Read(value.data(), s->Size());
    EXPECT_THROW(s->Write("a", 1), EABSException);  // read mode
    T.cursor.InternalCloseBLOB(1);
    return value;
  };
  t.cursor.InternalInitRecord(t.record, true);
  t.Set(0, 1);
  write(t, text);
  EXPECT_THROW(t.cursor.InternalCreateBlobStream(false, true, 1, bomReadWrite, false), EABSException);
  t.cursor.InternalPost(true);
  ASSERT_EQ(t.cursor.ErrorCode, 0);
  EXPECT_EQ(read(t), text);
  // An empty BLOB is null, not an empty block.
  t.cursor.InternalInitRecord(t.record, true);
  t.Set(0, 2);
  write(t, "");
  t.cursor.InternalPost(true);
  EXPECT_TRUE(GetBitInBuffer(1, t.record));
  EXPECT_EQ(table->Blobs().LiveCount(), 1);
  // Copy the first record's BLOB, compressed, into the other table.
  t.cursor.InternalFirst();
  ASSERT_EQ(t.cursor.GetRecordBuffer(grmNext), grrOK);
  u.cursor.InternalInitRecord(u.record, true);
  t.cursor.CopyFieldValue(0, true, 0, u.cursor);
  t.cursor.CopyFieldValue(1, true, 1, u.cursor);
  u.cursor.InternalPost(true);
  ASSERT_EQ(u.cursor.ErrorCode, 0);
  EXPECT_EQ(read(u), text);
  // A cancelled edit leaves the stored BLOB readable and frees the new block.
  t.BeginEdit();
  write(t, "changed");
  t.cursor.ClearBLOBStreams(true);
  EXPECT_EQ(table->Blobs().LiveCount(), 2);
  t.cursor.InternalCancel(false);
  EXPECT_EQ(table->Blobs().LiveCount(), 1);
  EXPECT_EQ(read(t), text);
  // A posted edit replaces it; the old block goes.
  t.BeginEdit();
  write(t, "changed");
  t.cursor.InternalPost(false);
  ASSERT_EQ(t.cursor.ErrorCode, 0);
  EXPECT_EQ(read(t), "changed");
  EXPECT_EQ(table->Blobs().LiveCount(), 1);
  t.cursor.InternalDelete();
  ASSERT_EQ(t.cursor.ErrorCode, 0);
  EXPECT_EQ(table->Blobs().LiveCount(), 0);
}

}  // namespace
