// What provider support reads from SQL text.

#include <gtest/gtest.h>

#include <memory>

#include "tests/db_dsfw/VectorDataSet.h"

namespace {

TEST(DbSQLText, TableNameOfASingleTableSelect) {
  const struct {
    const char* SQL;
    const char* Table;
  } Cases[] = {
      {"SELECT * FROM people", "people"},
      {"select id, name from \"my table\" p where id = 1", "my table"},
      {"SELECT [a b].x FROM [a b] ORDER BY 1", "a b"},
      {"SELECT * FROM 'c:\\data.db'.people", "people"},
      {"SELECT * FROM MEMORY temp1", "temp1"},
      {"SELECT (SELECT MAX(x) FROM other) FROM main_t", "main_t"},
      {"SELECT 'FROM x' AS t FROM real_t -- FROM y", "real_t"},
      {"SELECT * FROM a, b", ""},
      {"SELECT * FROM a JOIN b ON a.id = b.id", ""},
      {"SELECT * FROM a x LEFT OUTER JOIN b ON x.id = b.id", ""},
      {"SELECT * FROM (SELECT * FROM a) d", ""},
      {"UPDATE a SET x = 1", ""},
      {"", ""},
  };
  for (const auto& C : Cases) EXPECT_EQ(GetTableNameFromSQL(C.SQL), C.Table) << C.SQL;
}

TEST(DbSQLText, IndexOfTheOrderBy) {
  TComponent Owner{nullptr};
  auto* DS = new TVectorDataSet(&Owner, {{"ID", ftInteger}, {"NAME", ftString, 10}});
  DS->Open();
  std::unique_ptr<TIndexDef> Def(GetIndexForOrderBy("SELECT * FROM t ORDER BY t.NAME DESC, ID", DS));
  ASSERT_NE(Def, nullptr);
  EXPECT_EQ(Def->Fields, "NAME;ID");
  EXPECT_EQ(Def->DescFields, "NAME");
  EXPECT_FALSE(Def->Options & ixDescending);
  Def.reset(GetIndexForOrderBy("select * from t order by 2 desc, 1 descending;", DS));
  ASSERT_NE(Def, nullptr);
  EXPECT_EQ(Def->Fields, "NAME;ID");
  EXPECT_TRUE(Def->Options & ixDescending);
  EXPECT_EQ(GetIndexForOrderBy("SELECT * FROM t", DS), nullptr);
  EXPECT_EQ(GetIndexForOrderBy("SELECT * FROM t ORDER BY 3", DS), nullptr);
  EXPECT_EQ(GetIndexForOrderBy("SELECT * FROM t ORDER BY UPPER(NAME)", DS), nullptr);
  Def.reset(GetIndexForOrderBy("SELECT * FROM (SELECT * FROM u ORDER BY x) ORDER BY \"NAME\"", DS));
  ASSERT_NE(Def, nullptr);
  EXPECT_EQ(Def->Fields, "NAME");
}

}  // namespace
