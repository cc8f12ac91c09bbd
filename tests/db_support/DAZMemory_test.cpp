#include "db/support/DAZMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "db/support/DAZConst.h"
#include "db/support/DAZExcept.h"
#include "tests/db_support/DAZTestUtil.h"

namespace {

TEST(EABSException, MessageForms) {
  struct Case {
    EABSException error;
    const char* message;
  } cases[] = {
      {EABSException(2011, "x"), "x - Native error: 02011"},
      {EABSException(2011, "x", {}), "x - Native error:  2011"},
      {EABSException(30005, "Invalid pointer"), "Invalid pointer - Native error: 30005"},
      {EABSException(30005, "Invalid pointer", {}), "Invalid pointer - Native error: 30005"},
      {EABSException(10105, "Cannot open file. FileName = %s, Mode = %d", {"a.db", 32}),
       "Cannot open file. FileName = a.db, Mode = 32 - Native error: 10105"},
      {EABSException(30001, "%d", {"text"}), "%d Arguments are invalid! - Native error: 30001"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error.Message, c.message);
  EXPECT_EQ(EABSException(2011, "x", {}).NativeError, 2011);
}

TEST(TABSMemoryManager, LimitAcceptsRefusesAndAcceptsAfterFree) {
  TABSMemoryManager mm(1000);
  EXPECT_EQ(CodeOf([&] { mm.GetMem(1001); }), 30004);
  void* a = mm.GetMem(600);
  void* b = mm.GetMem(400);
  EXPECT_EQ(mm.TotalMemAllocated(), 1000);
  EXPECT_EQ(CodeOf([&] { mm.GetMem(1); }), 30004);
  mm.FreeAndNillMem(b);
  EXPECT_EQ(b, nullptr);
  void* c = mm.GetMem(1);
  EXPECT_EQ(mm.GetFreeMemorySize(), 1000);
  EXPECT_GT(mm.FreeSystemMemorySize(), 0);
  mm.FreeMem(c);
  mm.SetMaxMemorySize(500);  // below what is alive: new blocks wait until enough is freed
  EXPECT_EQ(CodeOf([&] { mm.GetMem(1); }), 30004);
  mm.FreeAndNillMem(a);
  EXPECT_EQ(mm.TotalMemAllocated(), 0);
  mm.FreeMem(mm.GetMem(500));
}

TEST(TABSMemoryManager, LimitHoldsUnderConcurrentAllocation) {
  TABSMemoryManager mm(1000);
  std::atomic<int> live{0}, maxLive{0}, refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        try {
          void* p = mm.GetMem(100);
          const int now = ++live;
          int seen = maxLive.load();
          while (now > seen && !maxLive.compare_exchange_weak(seen, now)) {
          }
          --live;
          mm.FreeMem(p);
        } catch (const EABSException& e) {
          EXPECT_EQ(e.NativeError, 30004);
          ++refused;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_LE(maxLive.load(), 10);
  EXPECT_EQ(mm.TotalMemAllocated(), 0);
}

TEST(TABSMemoryManager, BadSizesAreRefusedBeforeAllocating) {
  TABSMemoryManager mm;
  EXPECT_EQ(CodeOf([&] { mm.GetMem(0); }), 30286);
  EXPECT_EQ(CodeOf([&] { mm.GetMem(-5); }), 30015);
  EXPECT_EQ(CodeOf([&] { mm.GetMem(int64_t{1} << 40); }), 30015);
  EXPECT_EQ(mm.TotalMemAllocated(), 0);
  void* p = mm.GetMem(10);
  EXPECT_EQ(CodeOf([&] { mm.ReallocMem(p, -1); }), 30014);
  EXPECT_NE(p, nullptr);  // the old block survives a refused resize
  mm.FreeMem(p);
}

TEST(TABSMemoryManager, OverrunIsReportedAfterRelease) {
  TABSMemoryManager mm;
  auto* p = static_cast<uint8_t*>(mm.GetMem(8));
  p[8] = 0;  // one byte past the end, into the tail signature
  EXPECT_EQ(CodeOf([&] { mm.FreeAndNillMem(p); }), 30137);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(mm.TotalMemAllocated(), 0);
}

TEST(TABSMemoryManager, DamagedHeadAndForeignPointersAreRefused) {
  TABSMemoryManager mm;
  auto* p = static_cast<uint8_t*>(mm.GetMem(8));
  uint8_t saved[4];
  std::memcpy(saved, p - 4, 4);
  std::memset(p - 4, 0, 4);
  EXPECT_EQ(CodeOf([&] { mm.FreeAndNillMem(p); }), 30001);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(CodeOf([&] { mm.GetMemoryBufferSize(p); }), 30005);
  try {
    mm.ReallocMem(p, 16);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 30014);
    EXPECT_NE(e.Message.find("Native error: 30002"), String::npos);
  }
  std::memcpy(p - 4, saved, 4);
  EXPECT_EQ(mm.GetMemoryBufferSize(p), 8);
  EXPECT_EQ(mm.GetMemoryBufferSize(nullptr), 0);
  int local = 0;
  void* foreign = &local;
  EXPECT_EQ(CodeOf([&] { mm.FreeAndNillMem(foreign); }), 30001);
  mm.FreeAndNillMem(p);
}

TEST(TABSMemoryManager, ReallocKeepsAndClears) {
  TABSMemoryManager mm;
  auto* p = static_cast<uint8_t*>(mm.GetMem(10));
  for (int i = 0; i < 10; ++i) p[i] = static_cast<uint8_t>(i + 1);
  mm.ReallocMemAndClearTail(p, 20);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], i + 1);
  for (int i = 10; i < 20; ++i) EXPECT_EQ(p[i], 0);
  mm.ReallocMem(p, 5);
  EXPECT_EQ(mm.GetMemoryBufferSize(p), 5);
  EXPECT_EQ(p[4], 5);
  EXPECT_EQ(mm.TotalMemAllocated(), 5);
  mm.FreeAndNillMem(p);
}

TEST(DAZConst, Tables) {
  EXPECT_EQ(ReservedWordNumber("select"), 179);
  EXPECT_EQ(ReservedWordNumber("MimeToBin"), 263);
  EXPECT_EQ(ReservedWordNumber("Customer"), -1);
  EXPECT_EQ(ReservedWordNumber("zone"), 229);
  EXPECT_EQ(ReservedWordNumber("RNDUP"), 291);
  EXPECT_EQ(PageTypeName(12), "TableIndex Page");
  EXPECT_EQ(CodeOf([] { PageTypeName(13); }), 30382);
}

}  // namespace
