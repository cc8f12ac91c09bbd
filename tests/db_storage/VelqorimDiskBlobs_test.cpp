// BLOB values of disk tables: every compression through a database file and
// back, the small / large boundary and page-list placement, shared-page
// entries and their ids, cache handles, and damaged BLOB pages.

#include "db/storage/VelqorimDiskBlobs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "db/storage/VelqorimDiskRecords.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZArrays.h"
#include "tests/db_storage/NativeError.h"
#include "tests/db_storage/ScratchDatabase.h"

namespace {

constexpr int Session = 0;
constexpr int EngineSession = -2;
constexpr int BlobField = 1;

// A table of (id integer, data BLOB) with its record and BLOB managers.
struct TBlobTable {
  explicit TBlobTable(TVelqorimDiskPageManager* Pm, bool Create) : Fields(nullptr) {
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftBlob, 0);
    Fields.RecalcFieldOffsets();
    Records = std::make_unique<TVelqorimDiskRecordManager>(Pm, &Fields, 9);
    Records->Init(Fields.FieldDefs.GetMemoryRecordBufferSize(), Fields.FieldDefs.GetDiskRecordBufferSize(),
                  2);
    Blobs = std::make_unique<TVelqorimDiskBlobManager>(Pm, &Fields, Records.get());
    if (Create) {
      Records->CreateRecordPageIndex();
      Blobs->CreateBlobPageIndex();
      Pm->ApplyChanges(EngineSession);
    }
  }
  std::vector<uint8_t> Record(int32_t Id) const {
    std::vector<uint8_t> r(Fields.FieldDefs.GetMemoryRecordBufferSize(), 0);
    std::memcpy(r.data() + Fields.FieldDefs[0]->MemoryOffset, &Id, 4);
    SetBitInBuffer(true, BlobField, r.data());
    const TABSPageItemID none{-1, 0};
    std::memcpy(r.data() + Fields.FieldDefs[BlobField]->MemoryOffset, &none, sizeof none);
    return r;
  }
  void Save(TMemoryStream& Metadata) const {
    Records->SaveMetadata(Metadata);
    Blobs->SaveMetadata(Metadata);
  }
  void Load(TMemoryStream& Metadata, int64_t RecordCount) {
    Metadata.Seek(0, soBeginning);
    Records->LoadMetadata(Metadata);
    Blobs->LoadMetadata(Metadata);
    Records->RecordCount = RecordCount;
  }
  // Stores Bytes (as they would come from a compressed stream) in the record's field.
  TABSPageItemID Store(std::vector<uint8_t>& Record, const std::vector<uint8_t>& Bytes) {
    TABSPartialTemporaryBLOBDescriptor d{3, 1000, static_cast<int64_t>(Bytes.size())};
    Blobs->SetDirectBlobInfoFromRecordBuffer(Session, Record.data(), BlobField, d, Bytes.data());
    Blobs->WriteBlob(Session, Record.data(), BlobField);
    return Blobs->Location(Record.data(), BlobField);
  }
  std::vector<uint8_t> Stored(std::vector<uint8_t> Record) {
    TABSPartialTemporaryBLOBDescriptor d{};
    uint8_t* data = nullptr;
    Blobs->GetDirectBlobInfoFromRecordBuffer(Session, Record.data(), BlobField, d, data);
    std::vector<uint8_t> bytes(data, data + d.CompressedSize);
    Blobs->ClearBlobInRecordBuffer(Record.data(), BlobField, true);
    return bytes;
  }
  TVelqorimBaseFieldManager Fields;
  std::unique_ptr<TVelqorimDiskRecordManager> Records;
  std::unique_ptr<TVelqorimDiskBlobManager> Blobs;
};

std::vector<uint8_t> Text(size_t Size, unsigned Seed) {
  std::vector<uint8_t> v(Size);
  for (size_t i = 0; i < Size; ++i)
    v[i] = static_cast<uint8_t>("abcdefgh "[(i * 7 + Seed + i / 13) % 9] ^ (i % 97 == 0));
  return v;
}

std::vector<uint8_t> Bytes(size_t Size, unsigned Seed) {
  std::vector<uint8_t> v(Size);
  for (size_t i = 0; i < Size; ++i) v[i] = static_cast<uint8_t>((i * 131 + Seed * 17) >> 3);
  return v;
}

TEST(VelqorimDiskBlobs, EveryCompressionRoundTripsThroughTheFile) {
  TScratchDatabase db;  // 984 data bytes a page: small below 960 stored bytes
  struct TValue {
    std::vector<uint8_t> Data;
    TABSBLOBDescriptor Descriptor;
  };
  std::map<int32_t, TValue> stored;
  TMemoryStream metadata;
  {
    TBlobTable table(db.Pm.get(), true);
    int32_t id = 0;
    for (const auto algorithm : {acaNone, acaZLIB, acaBZIP, acaPPM})
      for (const size_t size : {size_t{0}, size_t{50}, size_t{900}, size_t{30000}}) {
        TABSBLOBDescriptor d;
        d.CompressionAlgorithm = algorithm;
        d.CompressionMode = algorithm == acaNone ? 0 : 1;
        d.BlockSize = 4096;  // several blocks for the large values
        TVelqorimLocalBLOBStream stream(std::make_unique<TABSMemoryStream>(), d, true, nullptr, bomWrite,
                                        BlobField);
        const auto data = Text(size, static_cast<unsigned>(id));
        if (size > 0) stream.WriteBuffer(data.data(), static_cast<int64_t>(size));
        stream.SetModified(true);
        auto record = table.Record(id);
        table.Blobs->CopyBlobFromStreamToRecordBuffer(record.data(), BlobField, stream);
        EXPECT_EQ(GetBitInBuffer(BlobField, record.data()), size == 0);
        table.Blobs->WriteBlobs(Session, record.data());
        TABSPageItemID rid;
        ASSERT_TRUE(table.Records->AddRecord(Session, record.data(), rid));
        stored[id++] = {data, stream.Compressed().BLOBDescriptor()};
      }
    EXPECT_EQ(table.Blobs->CacheCount(), 0);
    table.Save(metadata);
    db.Pm->ApplyChanges(Session);
  }
  db.Reopen();
  TBlobTable table(db.Pm.get(), false);
  table.Load(metadata, static_cast<int64_t>(stored.size()));
  auto record = table.Record(0);
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmNext;
  nav.FirstPosition = true;
  nav.RecordBuffer = record.data();
  size_t seen = 0;
  for (table.Records->GetRecordBuffer(Session, nav); nav.GetRecordResult == grrOK;
       table.Records->GetRecordBuffer(Session, nav), ++seen) {
    int32_t id;
    std::memcpy(&id, record.data() + table.Fields.FieldDefs[0]->MemoryOffset, 4);
    const TValue& want = stored.at(id);
    TABSBLOBDescriptor d = want.Descriptor;
    TABSMemoryStream bytes;
    table.Blobs->CopyBlobFromRecordBufferToStream(Session, record.data(), BlobField, d, bytes);
    table.Blobs->ClearBlobInRecordBuffer(record.data(), BlobField, false);
    ASSERT_EQ(d.UncompressedSize, static_cast<int64_t>(want.Data.size())) << id;
    if (want.Data.empty()) continue;
    EXPECT_EQ(d.NumBlocks, want.Descriptor.NumBlocks);
    d.StartPosition = 0;
    TABSCompressedBLOBStream back(bytes, d, false);
    std::vector<uint8_t> got(want.Data.size());
    back.ReadBuffer(got.data(), static_cast<int64_t>(got.size()));
    EXPECT_EQ(got, want.Data) << "value " << id;
  }
  EXPECT_EQ(seen, stored.size());
  EXPECT_EQ(table.Blobs->CacheCount(), 0);

  // Emptied, no shared BLOB page is left listed.
  table.Blobs->Empty(Session);
  int32_t page;
  EXPECT_FALSE(table.Blobs->BlobPageIndex().FindPageForNewBlob(Session, 1, page));
}

TEST(VelqorimDiskBlobs, SmallLargeBoundaryAndPageList) {
  TScratchDatabase db(4096);  // 4056 data bytes a page
  TBlobTable table(db.Pm.get(), true);
  auto head = [&](int32_t PageNo) {
    TVelqorimPageHolder p(*db.Pm, db.Pm->GetPage(Session, PageNo, ptTableBlob));
    int32_t listPage, count;
    uint16_t offset;
    std::memcpy(&listPage, p->PageData() + 22, 4);
    std::memcpy(&offset, p->PageData() + 26, 2);
    std::memcpy(&count, p->PageData() + 28, 4);
    return std::tuple{listPage, int{offset}, count};
  };
  struct TCase {
    size_t Size;
    bool Large;
    int ListOffset;  // -1: not large
    int ListCount;
    bool ListOnOwnPage;
  };
  const TCase cases[] = {
      {4031, false, -1, 0, false},
      {4032, true, 8, 2, false},                       // 4024 bytes, then 8 and the list after them
      {4024 + 4056, true, 0, 2, true},                 // data ends at a page end
      {4024 + 4056 * 2 + 4050, true, 4050, 4, false},  // one entry fits; the list goes on on a chained page
  };
  std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> records;
  for (const auto& c : cases) {
    auto record = table.Record(1);
    const auto data = Bytes(c.Size, static_cast<unsigned>(c.Size));
    const TABSPageItemID at = table.Store(record, data);
    const int32_t first = at.PageNo;
    EXPECT_EQ(at.PageItemNo == VelqorimLargeBlobItemNo, c.Large) << c.Size;
    if (c.Large) {
      const auto [listPage, offset, count] = head(first);
      EXPECT_EQ(offset, c.ListOffset) << c.Size;
      EXPECT_EQ(count, c.ListCount) << c.Size;
      if (c.ListOnOwnPage) {
        EXPECT_NE(listPage, first) << c.Size;
      }
    }
    EXPECT_EQ(table.Stored(record), data) << c.Size;
    records.push_back({record, data});
  }
  // Freeing the large values gives back every page they took.
  auto* session = db.Pm->FindSession(Session);
  for (size_t i = 1; i < records.size(); ++i) {
    const int before = session->RemovedPageNumbers->ItemCount;
    table.Blobs->DeleteBlob(Session, records[i].first.data(), BlobField);
    const int expected = i == 1 ? 2 : i == 2 ? 3 : 4 + 1;
    EXPECT_EQ(session->RemovedPageNumbers->ItemCount - before, expected) << cases[i].Size;
  }
}

TEST(VelqorimDiskBlobs, SharedPageEntriesAndIds) {
  TScratchDatabase db(8192);
  TBlobTable table(db.Pm.get(), true);
  auto a = table.Record(1), b = table.Record(2);
  const TABSPageItemID first = table.Store(a, Bytes(100, 1));
  const TABSPageItemID second = table.Store(b, Bytes(200, 2));
  const int32_t firstPage = first.PageNo, secondPage = second.PageNo;
  ASSERT_EQ(firstPage, secondPage);
  EXPECT_EQ(table.Blobs->BlobPageIndex().GetBlobPageAllocatedSpace(Session, firstPage), 100 + 22 + 200 + 22);
  // Deleting the first moves the second down; its id still finds it.
  table.Blobs->DeleteBlob(Session, a.data(), BlobField);
  EXPECT_EQ(table.Stored(b), Bytes(200, 2));
  table.Blobs->DeleteBlob(Session, b.data(), BlobField);
  EXPECT_EQ(table.Blobs->BlobPageIndex().GetBlobPageAllocatedSpace(Session, firstPage), -1);
  const auto* session = db.Pm->FindSession(Session);
  EXPECT_EQ(session->RemovedPageNumbers->Items[session->RemovedPageNumbers->ItemCount - 1], firstPage);

  // Ids: from the entry count on, never 255.
  TVelqorimPageHolder page(*db.Pm, db.Pm->AddPage(Session, ptTableBlob));
  TVelqorimSmallBlobPage view(page.Get());
  TVelqorimDiskBlobCache empty;
  TABSPageItemID id;
  for (int i = 0; i < 4; ++i) view.AddBlob(empty, id);
  int size = 0;
  view.DeleteBlob({page->PageNo, 2}, size);
  EXPECT_EQ(size, 22);
  EXPECT_EQ(view.GetNewBlobID(), 4);  // ids 0, 1, 3 and 3 entries
  EXPECT_EQ(NativeErrorOf([&] { view.DeleteBlob({page->PageNo, 2}, size); }), 20171);
  for (int i = 0; i < 300; ++i) {
    view.AddBlob(empty, id);
    ASSERT_NE(id.PageItemNo, VelqorimAmbiguousBlobItemNo);
  }
}

TEST(VelqorimDiskBlobs, CacheHandlesOfCopiedBuffersGoStale) {
  TScratchDatabase db;
  TBlobTable table(db.Pm.get(), true);
  auto a = table.Record(1);
  const auto data = Bytes(10, 3);
  TABSPartialTemporaryBLOBDescriptor d{1, 10, 10};
  table.Blobs->SetDirectBlobInfoFromRecordBuffer(Session, a.data(), BlobField, d, data.data());
  auto copy = a;
  EXPECT_NE(table.Blobs->Cache(copy.data(), BlobField), nullptr);
  table.Blobs->WriteBlob(Session, a.data(), BlobField);  // stores and frees the cache
  EXPECT_EQ(table.Blobs->Cache(copy.data(), BlobField), nullptr);
  auto c = table.Record(2);
  table.Blobs->SetDirectBlobInfoFromRecordBuffer(Session, c.data(), BlobField, d,
                                                 data.data());  // same slot again
  EXPECT_EQ(table.Blobs->Cache(copy.data(), BlobField), nullptr);
  EXPECT_EQ(NativeErrorOf([&] { table.Blobs->CheckCachesReleased(); }), 20150);
  table.Blobs->ClearBlobInRecordBuffer(c.data(), BlobField, false);  // modified: kept
  EXPECT_EQ(table.Blobs->CacheCount(), 1);
  table.Blobs->ClearBlobInRecordBuffer(c.data(), BlobField, true);
  EXPECT_EQ(table.Blobs->CacheCount(), 0);
}

TEST(VelqorimDiskBlobs, DamagedPagesAreErrorsNotAllocations) {
  TScratchDatabase db(4096);
  TBlobTable table(db.Pm.get(), true);
  auto small = table.Record(1), large = table.Record(2);
  const TABSPageItemID s = table.Store(small, Bytes(100, 1));
  const TABSPageItemID l = table.Store(large, Bytes(9000, 2));
  auto patch = [&](int32_t PageNo, int Offset, auto Value) {
    TVelqorimPageHolder p(*db.Pm, db.Pm->GetPage(Session, PageNo, ptTableBlob));
    std::memcpy(p->PageData() + Offset, &Value, sizeof Value);
    p->IsDirty = true;
  };
  struct TCase {
    const char* What;
    bool Large;
    int Offset;
    int64_t Value;
  };
  const TCase cases[] = {
      {"small entry size beyond the page", false, 2 + 6, int64_t{1} << 40},
      {"small entry size negative", false, 2 + 6, -5},
      {"entry count beyond the entries", false, 0, 60000},
      {"large size beyond the list", true, 6, int64_t{1} << 40},
      {"large list count beyond the file", true, 28, 0x7FFFFFF0},
  };
  for (const auto& c : cases) {
    const int32_t page = c.Large ? l.PageNo : s.PageNo;
    std::vector<uint8_t> keep(4096);
    {
      TVelqorimPageHolder p(*db.Pm, db.Pm->GetPage(Session, page, ptTableBlob));
      std::memcpy(keep.data(), p->PageData(), 4056);
    }
    auto record = c.Large ? large : small;
    if (c.Offset == 0) {
      // Looking for an id the page does not hold walks every counted entry.
      patch(page, c.Offset, static_cast<uint16_t>(c.Value));
      const TABSPageItemID missing{s.PageNo, 9};
      std::memcpy(record.data() + table.Fields.FieldDefs[BlobField]->MemoryOffset, &missing, sizeof missing);
    } else if (c.Offset == 28) {
      patch(page, c.Offset, static_cast<int32_t>(c.Value));
    } else {
      patch(page, c.Offset, c.Value);
    }
    EXPECT_EQ(NativeErrorOf([&] { table.Stored(record); }), 20294) << c.What;
    {
      TVelqorimPageHolder p(*db.Pm, db.Pm->GetPage(Session, page, ptTableBlob));
      std::memcpy(p->PageData(), keep.data(), 4056);
    }
  }
  EXPECT_EQ(table.Stored(large), Bytes(9000, 2));
}

}  // namespace
