// Records of a disk table on record pages: stored, changed, removed,
// committed and read back through a fresh page manager; page geometry and
// damaged pages.

#include "db/storage/VelqorimDiskRecords.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "tests/db_storage/NativeError.h"
#include "tests/db_storage/ScratchDatabase.h"

namespace {

constexpr int Session = 0;
constexpr int EngineSession = -2;
constexpr int32_t TableID = 42;

// A table of (id integer, name string(20)).
struct TTable {
  TTable() : Fields(nullptr) {
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftString, 20);
    Fields.RecalcFieldOffsets();
  }
  // Opens the table's records; a new table's record-page tree is committed
  // at once, as the engine's own session writes it.
  std::unique_ptr<TVelqorimDiskRecordManager> Manager(TVelqorimDiskPageManager* Pm, bool Create = false) {
    auto m = std::make_unique<TVelqorimDiskRecordManager>(Pm, &Fields, TableID);
    m->Init(Fields.FieldDefs.GetMemoryRecordBufferSize(), Fields.FieldDefs.GetDiskRecordBufferSize(),
            Fields.FieldDefs.Count());
    if (Create) {
      m->CreateRecordPageIndex();
      Pm->ApplyChanges(EngineSession);
    }
    return m;
  }
  std::vector<uint8_t> Record(int32_t Id) const {
    std::vector<uint8_t> r(Fields.FieldDefs.GetMemoryRecordBufferSize(), 0);
    std::memcpy(r.data() + Fields.FieldDefs[0]->MemoryOffset, &Id, 4);
    std::snprintf(reinterpret_cast<char*>(r.data() + Fields.FieldDefs[1]->MemoryOffset), 21, "name %d", Id);
    return r;
  }
  int32_t IdOf(const std::vector<uint8_t>& R) const {
    int32_t id;
    std::memcpy(&id, R.data() + Fields.FieldDefs[0]->MemoryOffset, 4);
    return id;
  }
  TVelqorimBaseFieldManager Fields;
};

TABSGetRecordResult Read(TVelqorimDiskRecordManager& M, TABSGetRecordMode Mode, TABSPageItemID& Id,
                         std::vector<uint8_t>* Buffer, bool First = false, bool Last = false) {
  TABSNavigationInfo nav;
  nav.GetRecordMode = Mode;
  nav.RecordID = Id;
  nav.RecordBuffer = Buffer != nullptr ? Buffer->data() : nullptr;
  nav.FirstPosition = First;
  nav.LastPosition = Last;
  M.GetRecordBuffer(Session, nav);
  if (nav.GetRecordResult == grrOK) Id = nav.RecordID;
  return nav.GetRecordResult;
}

// Every record in physical order, walking forwards or backwards.
std::vector<std::pair<TABSPageItemID, std::vector<uint8_t>>> Walk(TVelqorimDiskRecordManager& M, TTable& T,
                                                                  bool Forward) {
  std::vector<std::pair<TABSPageItemID, std::vector<uint8_t>>> seen;
  std::vector<uint8_t> buf = T.Record(0);
  TABSPageItemID id = ABSNoRecordID;
  TABSGetRecordResult r = Read(M, Forward ? grmNext : grmPrior, id, &buf, Forward, !Forward);
  while (r == grrOK) {
    seen.push_back({id, buf});
    r = Read(M, Forward ? grmNext : grmPrior, id, &buf);
  }
  EXPECT_EQ(r, Forward ? grrEOF : grrBOF);
  if (!Forward) std::reverse(seen.begin(), seen.end());
  return seen;
}

struct TPhysicalOrder {
  bool operator()(const TABSPageItemID& A, const TABSPageItemID& B) const {
    return A.PageNo != B.PageNo ? A.PageNo < B.PageNo : A.PageItemNo < B.PageItemNo;
  }
};

TEST(VelqorimDiskRecords, RecordsSurviveReopenInPhysicalOrder) {
  TScratchDatabase db;
  TTable table;
  std::map<TABSPageItemID, int32_t, TPhysicalOrder> model;
  TMemoryStream metadata;
  std::vector<uint8_t> counters(TVelqorimDiskRecordManager::MostUpdatedSize);
  {
    auto m = table.Manager(db.Pm.get(), true);
    std::vector<TABSPageItemID> ids;
    for (int32_t i = 0; i < 600; ++i) {
      TABSPageItemID id;
      ASSERT_TRUE(m->AddRecord(Session, table.Record(i).data(), id));
      ids.push_back(id);
      model[id] = i;
    }
    for (size_t i = 0; i < ids.size(); i += 3) {
      ASSERT_TRUE(m->DeleteRecord(Session, ids[i]));
      model.erase(ids[i]);
    }
    TABSPageItemID gone = ids[0];
    EXPECT_FALSE(m->DeleteRecord(Session, gone));
    EXPECT_FALSE(m->UpdateRecord(Session, table.Record(1).data(), gone));
    for (size_t i = 1; i < ids.size(); i += 6) {  // never a deleted one
      ASSERT_TRUE(m->UpdateRecord(Session, table.Record(100000 + static_cast<int32_t>(i)).data(), ids[i]));
      model[ids[i]] = 100000 + static_cast<int32_t>(i);
    }
    EXPECT_EQ(m->RecordCount, static_cast<int64_t>(model.size()));
    m->SaveMetadata(metadata);
    int offset = 0;
    m->SaveMostUpdated(counters.data(), offset, static_cast<int>(counters.size()));
    db.Pm->ApplyChanges(Session);
  }
  db.Reopen();
  auto m = table.Manager(db.Pm.get());
  metadata.Seek(0, soBeginning);
  m->LoadMetadata(metadata);
  int offset = 0;
  m->LoadMostUpdated(counters.data(), offset, static_cast<int>(counters.size()));
  EXPECT_EQ(offset, 8);
  ASSERT_EQ(m->RecordCount, static_cast<int64_t>(model.size()));
  EXPECT_NO_THROW(m->ValidateRecordPageIndex(Session));

  for (const bool forward : {true, false}) {
    const auto seen = Walk(*m, table, forward);
    ASSERT_EQ(seen.size(), model.size());
    auto it = model.begin();
    for (const auto& [id, record] : seen) {
      ASSERT_TRUE(id == it->first);
      ASSERT_EQ(record, table.Record(it->second));
      ++it;
    }
  }

  // Record numbers from 1 in physical order, both ways.
  int64_t recNo = 1;
  for (const auto& [id, value] : model) {
    if (recNo % 37 == 1) {
      TABSPageItemID found;
      m->SetRecNo(Session, recNo, found);
      EXPECT_TRUE(found == id);
      int64_t back = 0;
      m->GetRecNo(Session, id, back);
      EXPECT_EQ(back, recNo);
    }
    ++recNo;
  }
  TABSPageItemID past;
  EXPECT_EQ(NativeErrorOf([&] { m->SetRecNo(Session, recNo, past); }), 20113);

  // A rebuilt tree finds the same pages and counts.
  m->RebuildRecordPageIndex(Session);
  EXPECT_EQ(m->RecordCount, static_cast<int64_t>(model.size()));
  EXPECT_EQ(Walk(*m, table, true).size(), model.size());

  m->Empty(Session);
  TABSPageItemID id = ABSNoRecordID;
  for (const auto mode : {grmNext, grmPrior, grmCurrent})
    for (const bool first : {true, false}) EXPECT_EQ(Read(*m, mode, id, nullptr, first, !first), grrEOF);
}

TEST(VelqorimDiskRecords, PageGeometryAndSlotReuse) {
  TScratchDatabase db(4096);  // 4056 data bytes a page
  TVelqorimBaseFieldManager fields(nullptr);
  TVelqorimDiskRecordManager m(db.Pm.get(), &fields, TableID);
  m.Init(100, 100, 0);
  EXPECT_EQ(m.MaxRecordsOnPage(), 40);
  EXPECT_EQ(NativeErrorOf([&] { m.Init(4055, 4055, 0); }), 20174);
  m.Init(4054, 4054, 0);
  EXPECT_EQ(m.MaxRecordsOnPage(), 1);

  TTable table;
  auto t = table.Manager(db.Pm.get(), true);
  const int perPage = t->MaxRecordsOnPage();
  std::vector<TABSPageItemID> ids(perPage + 1);
  for (int i = 0; i < perPage; ++i) ASSERT_TRUE(t->AddRecord(Session, table.Record(i).data(), ids[i]));
  ASSERT_TRUE(t->DeleteRecord(Session, ids[3]));
  TABSPageItemID reused;
  ASSERT_TRUE(t->AddRecord(Session, table.Record(1000).data(), reused));
  EXPECT_TRUE(reused == ids[3]);
  ASSERT_TRUE(t->AddRecord(Session, table.Record(perPage).data(), ids[perPage]));
  const int32_t firstPage = ids[0].PageNo, secondPage = ids[perPage].PageNo;
  EXPECT_NE(secondPage, firstPage);  // the first page is full

  // The second page's only record goes, and with it the page.
  ASSERT_TRUE(t->DeleteRecord(Session, ids[perPage]));
  int32_t last;
  ASSERT_TRUE(t->RecordPageIndex().GetLastRecordPage(Session, last));
  EXPECT_EQ(last, firstPage);
  TABSPageItemID id = ids[perPage - 1];
  EXPECT_EQ(Read(*t, grmNext, id, nullptr), grrEOF);
}

TEST(VelqorimDiskRecords, DamagedPagesAreRefusedNotRead) {
  TScratchDatabase db;
  TTable table;
  TMemoryStream metadata;
  TABSPageItemID id;
  int64_t pageOffset;
  {
    auto m = table.Manager(db.Pm.get(), true);
    ASSERT_TRUE(m->AddRecord(Session, table.Record(7).data(), id));
    m->SaveMetadata(metadata);
    db.Pm->ApplyChanges(Session);
    pageOffset = db.Pm->PageOffset(id.PageNo);
  }
  const auto original = db.File.Bytes();
  struct TCase {
    const char* What;
    int Offset;  // from the page start
    std::vector<uint8_t> Bytes;
  };
  const TCase cases[] = {
      {"another table's page", 22, {7, 0, 0, 0}},
      {"a page of another type", 8, {11, 0}},
      {"a freed page", 4, {0xFF, 0xFF, 0xFF, 0x7F}},
      {"bitmap bits beyond the last slot", 40 + 37 / 8, {0xE0}},  // 37 slots a page
  };
  for (const auto& c : cases) {
    db.Pm.reset();
    auto bytes = original;
    std::copy(c.Bytes.begin(), c.Bytes.end(), bytes.begin() + pageOffset + c.Offset);
    db.File.Put(bytes);
    db.Reopen();
    auto m = table.Manager(db.Pm.get());
    metadata.Seek(0, soBeginning);
    m->LoadMetadata(metadata);
    m->RecordCount = 1;
    std::vector<uint8_t> buf = table.Record(0);
    TABSPageItemID at = ABSNoRecordID;
    if (c.Offset > 40) {
      // Bits beyond the page's slots are no records.
      ASSERT_EQ(m->MaxRecordsOnPage(), 37);
      ASSERT_EQ(Read(*m, grmNext, at, &buf, true), grrOK) << c.What;
      EXPECT_EQ(table.IdOf(buf), 7);
      EXPECT_EQ(Read(*m, grmNext, at, &buf), grrEOF) << c.What;
      TABSPageItemID more;
      EXPECT_TRUE(m->AddRecord(Session, table.Record(8).data(), more)) << c.What;
      EXPECT_EQ(more.PageItemNo, 1);
      continue;
    }
    EXPECT_EQ(Read(*m, grmNext, at, &buf, true), grrError) << c.What;
    at = id;
    EXPECT_EQ(Read(*m, grmCurrent, at, &buf), grrError) << c.What;
    if (c.Offset == 8) {
      TABSPageItemID more;
      EXPECT_FALSE(m->AddRecord(Session, table.Record(8).data(), more)) << c.What;
    }
  }
}

}  // namespace
