#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Worker threads format, compare and sort at once: the collators, settings
// and case mapping they share must not race.
TEST(RtlThreads, FormattingAndCollationFromManyThreads) {
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 6; ++t) {
    workers.emplace_back([t, &failures] {
      for (int i = 0; i < 200; ++i) {
        if (Format("%d:%.2f:%s", {t, i / 4.0, "x"}) != std::to_string(t) + ":" + FloatToStrF(i / 4.0, ffFixed, 15, 2) + ":x")
          ++failures;
        if (AnsiCompareText("\xC3\xA9t\xC3\xA9", "ETE") <= 0 && AnsiCompareText("\xC3\xA9t\xC3\xA9", "zoo") >= 0) ++failures;
        if (AnsiUpperCase("stra\xC3\x9F" "e") != "STRASSE") ++failures;
        TStringList list;
        list.SetCommaText("b,\xC3\x89,a,C");
        list.SetSorted(true);
        if (list.CommaText() != "a,b,C,\xC3\x89") ++failures;
        if (FormatDateTime("yyyy-mm-dd", EncodeDate(2024, 1, 2 + t)) != "2024-01-0" + std::to_string(2 + t)) ++failures;
      }
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
