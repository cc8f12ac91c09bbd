// The local cursor's filters and searches through the expression layer, on a MEMORY table.

#include <gtest/gtest.h>

#include "db/sql/VelqorimExpressions.h"
#include "tests/db_storage/LocalTables.h"

using namespace local;

namespace {

TEST(VelqorimLocalCursorFilter, FilterLocateAndMatch) {
  InstallVelqorimExpressionHooks();
  TLocalEngine engine;
  TLocalTable t("MEMORY", "Numbers");
  TVelqorimFieldDefs f;
  AddFields(f, {{"n", aftInteger, 0}, {"sq", aftInteger, 0}});
  TVelqorimIndexDefs i;
  AddIndex(i, "BySq", {"sq"});
  t.Create(f, i);
  for (int32_t n = 0; n < 20; ++n) ASSERT_EQ(t.Insert({n, n % 5 == 0 ? std::nullopt : std::optional(n * n)}), 0);

  t.cursor.ActivateFilters("sq > 100 AND n < 15", false, false);
  EXPECT_EQ(t.Column(0), (std::vector<std::optional<int32_t>>{11, 12, 13, 14}));
  EXPECT_EQ(t.cursor.GetRecordCount(), 4);
  // A record inserted under the filter is shown when it passes.
  ASSERT_EQ(t.Insert({14, 200}), 0);
  ASSERT_EQ(t.Insert({3, 9}), 0);
  EXPECT_EQ(t.cursor.GetRecordCount(), 5);
  t.cursor.SetIndexName("BySq");
  EXPECT_EQ(t.Column(1), (std::vector<std::optional<int32_t>>{121, 144, 169, 196, 200}));
  t.cursor.DeactivateFilters();
  EXPECT_EQ(t.cursor.GetRecordCount(), 22);

  std::vector<TABSVarData> key(1);
  key[0].VType = varInteger;
  key[0].VInteger = 49;
  ASSERT_TRUE(t.cursor.Locate("sq", key, false, false));
  EXPECT_EQ(t.Get(0), 7);
  key[0].VInteger = 50;
  EXPECT_FALSE(t.cursor.Locate("sq", key, false, false));
  EXPECT_EQ(t.Get(0), 7);  // a failed search leaves the cursor where it was

  TABSVariant v;
  v.SetAsInteger(360);
  EXPECT_TRUE(t.cursor.IsAnyRecordMatchCondition("sq", doGT, v));
  v.SetAsInteger(400);
  EXPECT_FALSE(t.cursor.IsAnyRecordMatchCondition("sq", doGE, v));
  EXPECT_EQ(t.Get(0), 7);
}

}  // namespace
