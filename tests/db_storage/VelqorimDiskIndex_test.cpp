// The page-number trees of disk tables, written to a database file,
// committed and read back through a fresh page manager.

#include "db/storage/VelqorimDiskIndex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "tests/db_storage/NativeError.h"
#include "tests/db_storage/ScratchDatabase.h"

namespace {

constexpr int Session = 0;

// Page numbers (keys only: the trees never look at the pages) with counts.
std::map<int32_t, int> ModelPages(int Count) {
  std::map<int32_t, int> pages;
  for (int i = 0; i < Count; ++i) pages[10 + 3 * i] = i % 7 + 1;
  return pages;
}

std::vector<int32_t> WalkPages(TVelqorimBTreeRecordPageIndex& Index, bool Forward) {
  std::vector<int32_t> seen;
  int32_t page;
  bool more = Forward ? Index.GetFirstRecordPage(Session, page) : Index.GetLastRecordPage(Session, page);
  while (more) {
    seen.push_back(page);
    more = Forward ? Index.GetNextRecordPage(Session, page, page)
                   : Index.GetPriorRecordPage(Session, page, page);
  }
  return seen;
}

TEST(VelqorimDiskIndex, RecordPagesSurviveReopenWithOrderAndNumbers) {
  TScratchDatabase db;
  const auto model = ModelPages(700);  // several leaves and a node level
  int32_t root;
  {
    TVelqorimBTreeRecordPageIndex index(db.Pm.get());
    index.MaxRecordsOnPage = 40;
    index.CreateIndex(Session);
    // Inserted out of order, so that splits happen in the middle too.
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& [page, count] : model)
        if ((page / 3) % 2 == pass) index.AddRecord(Session, page, count);
    root = index.RootPageNo();
    db.Pm->ApplyChanges(Session);
  }
  db.Reopen();
  TVelqorimBTreeRecordPageIndex index(db.Pm.get());
  index.MaxRecordsOnPage = 40;
  index.OpenIndex(root);

  std::vector<int32_t> expected;
  int64_t total = 0;
  for (const auto& [page, count] : model) expected.push_back(page), total += count;
  EXPECT_EQ(WalkPages(index, true), expected);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(WalkPages(index, false), expected);

  int64_t before = 0;
  for (const auto& [page, count] : model) {
    for (int32_t onPage : {0, count - 1}) {
      int32_t foundPage = -1, foundOnPage = -1;
      index.GetRecordByRecNo(Session, before + onPage, foundPage, foundOnPage);
      ASSERT_EQ(foundPage, page);
      ASSERT_EQ(foundOnPage, onPage);
      int64_t recNo = -1;
      index.GetRecNoByRecord(Session, page, onPage, recNo);
      ASSERT_EQ(recNo, before + onPage);
    }
    before += count;
  }
  EXPECT_NO_THROW(index.Validate(Session, total));

  int32_t p, q;
  int64_t r;
  EXPECT_EQ(NativeErrorOf([&] { index.Validate(Session, total + 1); }), 20292);
  EXPECT_EQ(NativeErrorOf([&] { index.GetRecordByRecNo(Session, total, p, q); }), 20113);
  EXPECT_EQ(NativeErrorOf([&] { index.GetRecNoByRecord(Session, 11, 0, r); }), 20114);
  EXPECT_EQ(NativeErrorOf([&] { index.GetNextRecordPage(Session, 11, p); }), 20104);
  EXPECT_EQ(NativeErrorOf([&] { index.GetPriorRecordPage(Session, 11, p); }), 20105);

  // Emptied, the tree keeps its root and lists nothing.
  index.EmptyIndex(Session);
  EXPECT_EQ(index.RootPageNo(), root);
  EXPECT_FALSE(index.GetFirstRecordPage(Session, p));
  index.DropIndex(Session);
  EXPECT_EQ(index.RootPageNo(), -1);
  EXPECT_EQ(NativeErrorOf([&] { index.GetFirstRecordPage(Session, p); }), 20115);
  EXPECT_EQ(NativeErrorOf([&] { index.AddRecord(Session, 5, 1); }), 20118);
  EXPECT_EQ(NativeErrorOf([&] { index.DeleteRecord(Session, 5, 0); }), 20110);
}

TEST(VelqorimDiskIndex, RecordCountsAndRoom) {
  TScratchDatabase db;
  TVelqorimBTreeRecordPageIndex index(db.Pm.get());
  index.MaxRecordsOnPage = 4;
  index.CreateIndex(Session);
  int32_t page = -1;
  EXPECT_FALSE(index.FindPageForNewRecord(Session, page));

  index.AddRecord(Session, 7, 1);
  ASSERT_TRUE(index.GetFirstRecordPage(Session, page));
  EXPECT_EQ(page, 7);
  index.DeleteRecord(Session, 7, -1);  // one less: 0, so the page goes
  EXPECT_FALSE(index.GetFirstRecordPage(Session, page));
  EXPECT_EQ(NativeErrorOf([&] { index.DeleteRecord(Session, 7, 0); }), 20111);

  // Full pages everywhere; room only in a middle leaf is not found.
  const int count = 600;
  for (int i = 0; i < count; ++i) index.AddRecord(Session, 100 + i, 4);
  EXPECT_EQ(NativeErrorOf([&] { index.AddRecord(Session, 100, 1); }), 20106);
  index.DeleteRecord(Session, 100 + count / 2, 3);
  EXPECT_FALSE(index.FindPageForNewRecord(Session, page));
  index.DeleteRecord(Session, 100, 2);  // the first leaf
  ASSERT_TRUE(index.FindPageForNewRecord(Session, page));
  EXPECT_EQ(page, 100);
  index.DeleteRecord(Session, 100 + count - 2, 1);  // the last leaf wins
  ASSERT_TRUE(index.FindPageForNewRecord(Session, page));
  EXPECT_EQ(page, 100 + count - 2);
  index.AddRecord(Session, 100 + count - 2, 1);
  ASSERT_TRUE(index.FindPageForNewRecord(Session, page));
  EXPECT_EQ(page, 100 + count - 2);
}

TEST(VelqorimDiskIndex, BlobPagesCountBytes) {
  TScratchDatabase db;  // 984 data bytes a page
  TVelqorimBTreeBlobPageIndex index(db.Pm.get());
  index.CreateIndex(Session);
  EXPECT_EQ(index.GetBlobPageAllocatedSpace(Session, 9), -1);
  index.AddBlob(Session, 800, 9);
  index.AddBlob(Session, 84, 9);  // 100 bytes left
  EXPECT_EQ(index.GetBlobPageAllocatedSpace(Session, 9), 884);
  int32_t page = -1;
  EXPECT_TRUE(index.FindPageForNewBlob(Session, 97, page));
  EXPECT_EQ(page, 9);
  EXPECT_FALSE(index.FindPageForNewBlob(Session, 98, page));
  EXPECT_EQ(NativeErrorOf([&] { index.AddBlob(Session, 98, 9); }), 20106);
  index.DeleteBlob(Session, 84, 9);
  EXPECT_EQ(index.GetBlobPageAllocatedSpace(Session, 9), 800);
  index.DeleteBlob(Session, 800, 9);
  EXPECT_EQ(index.GetBlobPageAllocatedSpace(Session, 9), -1);
}

TEST(VelqorimDiskIndex, DamagedIndexPageIsAnError) {
  TScratchDatabase db;
  int32_t root;
  {
    TVelqorimBTreeRecordPageIndex index(db.Pm.get());
    index.MaxRecordsOnPage = 40;
    index.CreateIndex(Session);
    for (int i = 0; i < 20; ++i) index.AddRecord(Session, 50 + i, 1);
    root = index.RootPageNo();
    db.Pm->ApplyChanges(Session);
  }
  // An entry count far beyond the page.
  const int64_t at = db.Pm->PageOffset(root) + 40 + 14;
  db.Pm.reset();
  {
    std::FILE* f = std::fopen(db.File.Name.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, static_cast<long>(at), SEEK_SET);
    const uint16_t huge = 60000;
    std::fwrite(&huge, 2, 1, f);
    std::fclose(f);
  }
  db.Reopen();
  TVelqorimBTreeRecordPageIndex index(db.Pm.get());
  index.OpenIndex(root);
  EXPECT_EQ(NativeErrorOf([&] { index.Validate(Session, 20); }), 20028);
}

}  // namespace
