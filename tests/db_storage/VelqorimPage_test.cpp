// The page cache: per-session isolation until commit, rollback, eviction of
// the least recently used unpinned pages, and pins released on every path.

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "db/storage/VelqorimPage.h"
#include "tests/db_storage/PageDoubles.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZRandom.h"
#include "tests/db_support/DAZTestUtil.h"

#include <unistd.h>

#include <cstdlib>

namespace {

using doubles::TMapPageManager;

// Adds a committed page of type 10 holding Value in its first data byte.
int32_t AddCommitted(TMapPageManager& M, uint8_t Value) {
  TVelqorimPage* p = M.AddPage(0, 10);
  p->PageData()[0] = Value;
  const int32_t no = p->PageNo;
  M.PutPage(p);
  M.ApplyChanges(0);
  return no;
}

TEST(VelqorimPageManager, SessionsSeeTheirOwnChangesUntilCommit) {
  TMapPageManager m(10);
  const int32_t no = AddCommitted(m, 1);
  {
    TVelqorimPageHolder a(m, m.GetPage(1, no, 10));
    a->PageData()[0] = 2;
    a->IsDirty = true;
  }
  {
    // Session 1 sees its change; session 2 the committed contents.
    TVelqorimPageHolder a(m, m.GetPage(1, no, 10));
    EXPECT_EQ(a->PageData()[0], 2);
  }
  {
    TVelqorimPageHolder b(m, m.GetPage(2, no, 10));
    EXPECT_EQ(b->PageData()[0], 1);
  }
  m.ApplyChanges(1);
  {
    TVelqorimPageHolder b(m, m.GetPage(2, no, 255));
    EXPECT_EQ(b->PageData()[0], 2);
  }
  // Rollback: the change is dropped, the stored version is read again.
  {
    TVelqorimPageHolder a(m, m.GetPage(1, no, 10));
    a->PageData()[0] = 3;
    a->IsDirty = true;
  }
  const int32_t added = m.AddPage(1, 10)->PageNo;
  m.PutPage(m.GetPage(1, added, 10));  // the add's own pin is still held: two pins, one put
  EXPECT_EQ(CodeOf([&] { m.CancelChanges(1); }), 20088);
  m.PutPage(m.GetPage(1, added, 10) /* pin again */);
  TVelqorimPage* p = m.GetPage(1, added, 10);
  EXPECT_EQ(p->UseCount, 2);
  m.PutPage(p);
  m.PutPage(p);
  m.CancelChanges(1);
  EXPECT_EQ(m.Removed.back(), added);  // the added number is freed in the store
  TVelqorimPageHolder a(m, m.GetPage(1, no, 10));
  EXPECT_EQ(a->PageData()[0], 2);
}

TEST(VelqorimPageManager, PinsAndTypes) {
  TMapPageManager m(10);
  const int32_t no = AddCommitted(m, 1);
  // A page taken under a holder goes back also when an exception passes.
  EXPECT_THROW(
      {
        TVelqorimPageHolder held(m, m.GetPage(1, no, 10));
        throw EABSException(1, "failure while the page is held");
      },
      EABSException);
  EXPECT_EQ(m.SharedPages().Find(no)->UseCount, 0);
  TVelqorimPage* a = m.GetPage(1, no, 10);
  EXPECT_EQ(CodeOf([&] { m.GetPage(2, no, 10); }), 20090);
  EXPECT_EQ(CodeOf([&] { m.ApplyChanges(1); }), 20152);
  m.PutPage(a);
  m.PutPage(m.GetPage(2, no, 10));
  EXPECT_EQ(CodeOf([&] { m.GetPage(-1, no, 10); }), 20186);
  EXPECT_EQ(CodeOf([&] { m.GetPage(1, 99, 10); }), 20299);
  EXPECT_EQ(m.SharedPages().Find(99), nullptr);  // a failed read leaves nothing cached
  // Type check on reading (255 takes any; repairs ignore types).
  const int32_t other = AddCommitted(m, 5);
  delete m.SharedPages().Find(other);  // force a store read
  m.SharedPages().Delete(other);
  EXPECT_EQ(CodeOf([&] { m.GetPage(1, other, 12); }), 20153);
  m.PutPage(m.GetPage(1, other, 255));
}

TEST(VelqorimPageManager, EvictsTheLeastRecentlyUsedUnpinnedPages) {
  TMapPageManager m(3);
  std::vector<int32_t> pages;
  for (int i = 0; i < 3; ++i) pages.push_back(AddCommitted(m, static_cast<uint8_t>(i)));
  ASSERT_EQ(m.SharedPages().Count(), 3);
  // Touch pages 0 and 2: page 1 becomes the least recently used.
  m.PutPage(m.GetPage(0, pages[0], 10));
  m.PutPage(m.GetPage(0, pages[2], 10));
  // A fourth page in the cache (committed pages join only while there is room: read it back).
  const int32_t fourth = AddCommitted(m, 9);
  EXPECT_EQ(m.SharedPages().Find(fourth), nullptr);
  TVelqorimPage* pinned0 = m.GetPage(0, pages[0], 10);  // a pinned page is never evicted
  m.PutPage(m.GetPage(0, fourth, 10));
  EXPECT_EQ(m.SharedPages().Count(), 3);
  EXPECT_EQ(m.SharedPages().Find(pages[1]), nullptr);
  EXPECT_NE(m.SharedPages().Find(pages[0]), nullptr);
  m.PutPage(pinned0);
  const int reads = m.Reads;
  TVelqorimPageHolder again(m, m.GetPage(0, pages[1], 10));
  EXPECT_EQ(again->PageData()[0], 1);
  EXPECT_EQ(m.Reads, reads + 1);
}

TEST(VelqorimPageManager, CommitWritesNewImagesBeforeFreeing) {
  TMapPageManager m(10);
  const int32_t old = AddCommitted(m, 1);
  // One unit of work: a new page replaces an old one; a scratch page comes and goes.
  TVelqorimPage* fresh = m.AddPage(0, 10);
  const int32_t freshNo = fresh->PageNo;
  m.PutPage(fresh);
  TVelqorimPage* scratch = m.AddPage(0, 10);
  const int32_t scratchNo = scratch->PageNo;
  m.PutPage(scratch);
  m.RemovePage(0, old);
  m.RemovePage(0, scratchNo);
  m.Writes.clear();
  m.Removed.clear();
  m.Events.clear();
  m.ApplyChanges(0);
  EXPECT_EQ(m.Writes, std::vector<int32_t>{freshNo});  // the scratch page is never written
  EXPECT_EQ(m.Removed, (std::vector<int32_t>{old, scratchNo}));
  // The old page is freed only after its replacement is written.
  EXPECT_EQ(m.Events, (std::vector<int32_t>{freshNo, -1 - old, -1 - scratchNo}));
  EXPECT_EQ(m.SharedPages().Find(old), nullptr);
  // A removal that is cancelled leaves the page in place.
  m.RemovePage(0, freshNo);
  m.CancelChanges(0);
  m.PutPage(m.GetPage(0, freshNo, 10));
  m.ApplyChanges(5);  // a session that never came does nothing
}

TEST(VelqorimPageManager, NewPagesHaveAHeaderAndARandomStamp) {
  auto previous = SetRandomSource(std::make_unique<TABSSeededRandomSource>(3));
  TMapPageManager m(10);
  TVelqorimPageHolder p(m, m.AddPage(0, 12));
  const TVelqorimDiskPageHeader* h = p->PageHeader();
  EXPECT_EQ(std::memcmp(h->Signature, "VLQP", 4), 0);
  EXPECT_EQ(uint16_t{h->PageType}, 12);
  EXPECT_EQ(int32_t{h->NextPageNo}, -1);
  EXPECT_EQ(int32_t{h->ObjectID}, -1);
  EXPECT_EQ(int32_t{h->RecordID.PageNo}, -1);
  EXPECT_LT(int32_t{h->State}, 0x3FFFFFFF);
  EXPECT_EQ(CodeOf([&] { p->EnlargePageBuffer(10); }), 20039);
  p->EnlargePageBuffer(256);
  EXPECT_EQ(uint16_t{p->PageHeader()->PageType}, 12);
  EXPECT_EQ(CodeOf([&] { m.CheckNoUncommittedPages(); }), 20097);
  SetRandomSource(std::move(previous));
}

TEST(VelqorimSortedPageList, OrderAndErrors) {
  TMapPageManager m(10);
  TVelqorimSortedPageList l;
  EXPECT_EQ(CodeOf([&] { l.Delete(1); }), 20165);
  std::vector<std::unique_ptr<TVelqorimPage>> pages;
  for (int no : {5, 1, 3}) {
    pages.push_back(std::make_unique<TVelqorimPage>(&m));
    pages.back()->PageNo = no;
    l.Insert(pages.back().get());
  }
  EXPECT_EQ(l.Item(0)->PageNo, 1);
  EXPECT_EQ(l.Item(2)->PageNo, 5);
  EXPECT_EQ(l.FirstByLRU()->PageNo, 5);
  l.UpdateLRU(pages[0].get());
  EXPECT_EQ(l.FirstByLRU()->PageNo, 1);
  EXPECT_EQ(l.NextByLRU()->PageNo, 3);
  EXPECT_EQ(l.NextByLRU()->PageNo, 5);
  EXPECT_EQ(l.NextByLRU(), nullptr);
  EXPECT_EQ(CodeOf([&] { l.Delete(4); }), 20166);
  TVelqorimPage stray(&m);
  stray.PageNo = 9;
  EXPECT_EQ(CodeOf([&] { l.UpdateLRU(&stray); }), 20167);
}

}  // namespace

namespace {

// Pages stored in a database file at their place behind the header area.
class TFilePageManager : public TVelqorimPageManager {
 public:
  explicit TFilePageManager(TVelqorimDatabaseFile& File) : FFile(File) {
    PageSize = 256;
    PageHeaderSize = sizeof(TVelqorimDiskPageHeader);
  }
  int64_t Offset(int32_t PageNo) const { return VelqorimFirstPageOffset + int64_t{PageNo} * PageSize; }
  void InternalAddPage(TVelqorimPage& Page) override {
    Page.PageNo = FPageCount++;
    Page.AllocPageBuffer();
  }
  void InternalRemovePage(int32_t) override {}
  bool InternalReadPage(TVelqorimPage& Page) override {
    if (Page.PageBuffer == nullptr) Page.AllocPageBuffer();
    return FFile.ReadBuffer(Page.PageBuffer, PageSize, Offset(Page.PageNo));
  }
  void InternalWritePage(TVelqorimPage& Page) override { FFile.WriteBuffer(Page.PageBuffer, PageSize, Offset(Page.PageNo), 20100); }

 private:
  TVelqorimDatabaseFile& FFile;
};

// The first bytes of a fresh file: the header area, then two pages with
// their headers; the random page stamps are masked after checking their range.
std::vector<uint8_t> FreshFile(uint64_t Seed) {
  auto previous = SetRandomSource(std::make_unique<TABSSeededRandomSource>(Seed));
  const char* dir = std::getenv("TMPDIR");
  String name = String(dir != nullptr && *dir != 0 ? dir : P_tmpdir) + "/velqorim_fresh_" + std::to_string(getpid());
  std::vector<uint8_t> bytes;
  {
    TVelqorimDatabaseFile file;
    file.CreateAndOpenFile(name);
    const auto header = NewDatabaseFileHeader(256, 8);
    file.WriteBuffer(header.data(), static_cast<int64_t>(header.size()), 0, 1);
    TFilePageManager pages(file);
    for (uint16_t type : {uint16_t{ptFileSystemDirectory}, uint16_t{ptTableList}}) {
      TVelqorimPageHolder p(pages, pages.AddPage(-2, type));
      std::memcpy(p->PageData(), "data", 4);
    }
    pages.ApplyChanges(-2);
    bytes.resize(static_cast<size_t>(file.GetSize()));
    file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()), 0, 1);
    file.CloseFile();
  }
  unlink(name.c_str());
  SetRandomSource(std::move(previous));
  return bytes;
}

TEST(VelqorimDatabaseFileLayout, FreshFileGolden) {
  auto bytes = FreshFile(11);
  EXPECT_EQ(FreshFile(11), bytes);  // an injected random source makes the file repeatable
  ASSERT_EQ(bytes.size(), 380u + 2 * 256);
  EXPECT_EQ(std::memcmp(bytes.data(), "VELQORIMFILEHEAD", 16), 0);
  for (int page = 0; page < 2; ++page) {
    uint8_t* p = bytes.data() + 380 + page * 256;
    int32_t state;
    std::memcpy(&state, p + 4, 4);
    EXPECT_GE(state, 0);
    EXPECT_LT(state, 0x3FFFFFFF);
    std::memset(p + 4, 0, 4);  // mask the stamp
    const std::vector<uint8_t> expected = {'V', 'L', 'Q', 'P', 0, 0, 0, 0, uint8_t(page == 0 ? 4 : 6), 0,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0, 0, 'd', 'a', 't', 'a', 0};
    EXPECT_EQ(std::vector<uint8_t>(p, p + expected.size()), expected) << page;
  }
}

}  // namespace
