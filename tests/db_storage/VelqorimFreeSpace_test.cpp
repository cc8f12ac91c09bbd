// The free-space map of a database file, on a file kept in memory.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "db/storage/VelqorimFreeSpace.h"
#include "db/support/DAZExcept.h"
#include "tests/db_storage/NativeError.h"
#include "db/support/DAZRandom.h"

namespace {

// The file's header and pages in memory; counts what the map does with them.
class TMemoryFile : public TVelqorimFreeSpaceHost {
 public:
  explicit TMemoryFile(int aPageSize, uint16_t PagesInExtent = 8) : FPageSize(aPageSize) {
    Header.PageSize = static_cast<uint16_t>(aPageSize);
    Header.PageCountInExtent = PagesInExtent;
    Header.TotalPageCount = 0;
    Header.LastUsedPageNo = -1;
  }
  bool LockDBHeader() override {
    if (Busy) return false;
    ++Locks;
    return true;
  }
  void UnlockDBHeader() override { --Locks; }
  void ReadDBHeader(TVelqorimDBHeader& H) override { H = Header; }
  void WriteDBHeader(const TVelqorimDBHeader& H) override { Header = H; }
  void ExtendFile(int32_t PageCount) override {
    Header.TotalPageCount += PageCount;
    Pages.resize(static_cast<size_t>(Header.TotalPageCount), std::vector<uint8_t>(FPageSize, 0));
  }
  void TruncateFile(int32_t PageCount) override {
    Header.TotalPageCount -= PageCount;
    Pages.resize(static_cast<size_t>(Header.TotalPageCount));
  }
  void ReadPageDirect(int32_t PageNo, uint8_t* Buffer) override {
    if (PageNo >= Header.TotalPageCount) throw EABSException(1, "read past the end");
    std::memcpy(Buffer, Pages.at(PageNo).data(), FPageSize);
  }
  void WritePageDirect(int32_t PageNo, const uint8_t* Buffer) override {
    if (PageNo >= Header.TotalPageCount) throw EABSException(1, "write past the end");
    std::memcpy(Pages.at(PageNo).data(), Buffer, FPageSize);
  }
  int PageSize() const override { return FPageSize; }
  int32_t Total() const { return Header.TotalPageCount; }
  int32_t LastUsed() const { return Header.LastUsedPageNo; }

  TVelqorimDBHeader Header{};
  std::vector<std::vector<uint8_t>> Pages;
  int Locks = 0;
  bool Busy = false;

 private:
  int FPageSize;
};

TEST(VelqorimFreeSpace, GeometryAndTheFirstPages) {
  TMemoryFile file(4096);
  TVelqorimDatabaseFreeSpaceManager fsm(file);
  EXPECT_TRUE(fsm.IsSystemPage(0));
  EXPECT_TRUE(fsm.IsSystemPage(1));
  EXPECT_FALSE(fsm.IsSystemPage(2));
  EXPECT_TRUE(fsm.IsSystemPage(32448));   // PFS page 1
  EXPECT_TRUE(fsm.IsSystemPage(129792));  // a multiple of both strides: PFS, and EAM page 1 after it
  EXPECT_TRUE(fsm.IsSystemPage(129793));
  EXPECT_EQ(fsm.EAMPageNo(1), 129793);
  EXPECT_EQ(NativeErrorOf([&] { fsm.CheckPageNoForSystemPages(32448); }), 30434);
  EXPECT_EQ(fsm.GetPage(), 2);
  EXPECT_EQ(file.Total(), 6);
  EXPECT_EQ(file.LastUsed(), 2);
  EXPECT_EQ(file.Locks, 0);
  EXPECT_EQ(fsm.GetPage(), 3);
  EXPECT_TRUE(fsm.GetPageUsageFromPFS(1));  // the EAM page is in use
  EXPECT_EQ(NativeErrorOf([&] { fsm.FreePage(4); }), 30427);
  EXPECT_EQ(file.Locks, 0);
  file.Busy = true;
  fsm.LockTryCount = 2;
  fsm.LockDelayMS = 0;
  EXPECT_EQ(NativeErrorOf([&] { fsm.GetPage(); }), 20231);
  EXPECT_EQ(NativeErrorOf([&] { fsm.FreePage(2); }), 20232);
}

// Random takes and frees against a set of pages in use: never a system page,
// never a page twice, the header's last page always the highest in use, the
// file never ending in a system page, and shrinking when the tail frees.
TEST(VelqorimFreeSpace, RandomTakesAndFreesAgainstAModel) {
  TMemoryFile file(128, 2);  // 88 data bytes: PFS and EAM pages every 704 pages, side by side
  TVelqorimDatabaseFreeSpaceManager fsm(file);
  TABSSeededRandomSource rnd(11);
  std::set<int32_t> used;
  int32_t peak = 0;
  for (int step = 0; step < 6000; ++step) {
    const bool take = used.empty() || rnd.Next32() % 100 < (step < 3000 ? 70 : 35);
    if (take) {
      const int32_t p = fsm.GetPage();
      ASSERT_FALSE(fsm.IsSystemPage(p)) << p;
      ASSERT_NE(p, 704);
      ASSERT_NE(p, 705);
      ASSERT_TRUE(used.insert(p).second) << p;
    } else {
      auto it = used.begin();
      std::advance(it, rnd.Next32() % used.size());
      fsm.FreePage(*it);
      used.erase(it);
    }
    ASSERT_EQ(file.LastUsed(), used.empty() ? -1 : *used.rbegin());
    ASSERT_FALSE(fsm.IsSystemPage(file.Total() - 1) && !used.empty());
    peak = std::max(peak, file.Total());
  }
  EXPECT_GT(peak, 1000);  // past the second PFS and EAM pages
  while (!used.empty()) {
    fsm.FreePage(*used.begin());
    used.erase(used.begin());
  }
  EXPECT_EQ(file.LastUsed(), -1);
  EXPECT_LT(file.Total(), peak / 2);
  EXPECT_EQ(fsm.GetPage(), 2);  // laid out afresh
}

}  // namespace
