// Joins of many tables written as a FROM list with the join conditions in
// WHERE: generated chains and stars of 2 to 64 ten-row tables, listed in a
// shuffled order, checked against SQLite. Each query's work is bounded by
// counting the row pairs its joins compose (a cross product of the shuffled
// list would pass the bound at once), and intermediate results are forced
// through temporary files by a small spool limit.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "db/sql/VelqorimAO.h"
#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/support/DAZExcept.h"

namespace {

using Rows = std::vector<std::string>;
constexpr int MaxTables = 64, RowsPerTable = 10;

struct Sqlite {
  Sqlite() { sqlite3_open(":memory:", &db); }
  ~Sqlite() { sqlite3_close(db); }
  void Exec(const std::string& Sql) {
    if (sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
  }
  Rows Query(const std::string& Sql) {
    Rows rows;
    auto row = [](void* Out, int Count, char** Values, char**) {
      std::string r;
      for (int i = 0; i < Count; ++i) r += std::string(Values[i] ? Values[i] : "NULL") + "|";
      static_cast<Rows*>(Out)->push_back(r);
      return 0;
    };
    if (sqlite3_exec(db, Sql.c_str(), row, &rows, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  sqlite3* db = nullptr;
};

// The test's queries name integer columns only.
Rows Ours(TVelqorimSQLProcessor& P, const std::string& Sql) {
  P.PrepareStatement(Sql);
  TVelqorimAOBase* res = P.OpenQuery();
  Rows rows(res->Rows.size());
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t i = 0; i < res->Columns.size(); ++i)
      if (!res->Columns[i].Hidden) rows[r] += std::to_string(res->Rows[r][i].GetAsInt64()) + "|";
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string T(int I) { return "j" + std::to_string(I); }

// Tables j0..j63 (k the indexed key 0..9, c a column of keys, v a value).
// Without Repeats, c is a permutation of the keys, so that every join
// condition meets exactly one row; with it on, keys repeat in c and a join
// level can grow past its inputs.
std::vector<std::string> Schema(std::mt19937& Rnd, bool Repeats) {
  std::vector<std::string> s;
  for (int t = 0; t < MaxTables; ++t) {
    s.push_back("CREATE TABLE " + T(t) + " (k INTEGER, c INTEGER, v INTEGER)");
    s.push_back("CREATE INDEX " + T(t) + "k ON " + T(t) + " (k)");
    std::vector<int> c(RowsPerTable);
    for (int i = 0; i < RowsPerTable; ++i) c[i] = Repeats ? static_cast<int>(Rnd() % 3) : i;
    std::shuffle(c.begin(), c.end(), Rnd);
    std::string ins = "INSERT INTO " + T(t) + " VALUES ";
    for (int i = 0; i < RowsPerTable; ++i)
      ins += (i ? ", (" : "(") + std::to_string(i) + ", " + std::to_string(c[i]) + ", " +
             std::to_string(t * 100 + i) + ")";
    s.push_back(ins);
  }
  return s;
}

// A chain (each table tied to the one before it) or a star (every table tied
// to the first) over N tables, a constant condition on one table, the FROM
// list shuffled. The ties go either way at random over unique keys; over
// repeated keys each table's c names the key of the next one (a chain's
// first table, the star's centre), so that one row of the last table or of
// the centre picks one row of every table and the answer stays small while
// a level joined from the other end meets several rows per key.
std::string Query(std::mt19937& Rnd, int N, bool Star, bool Repeats) {
  std::vector<int> tables(MaxTables);
  for (int i = 0; i < MaxTables; ++i) tables[i] = i;
  std::shuffle(tables.begin(), tables.end(), Rnd);
  tables.resize(static_cast<size_t>(N));
  std::string where;
  for (int i = 1; i < N; ++i) {
    const std::string a = T(tables[Star ? 0 : i - 1]), b = T(tables[i]);
    where += (where.empty() ? "" : " AND ");
    const bool aKey = Repeats ? !Star : Rnd() % 2 == 0;
    where += aKey ? a + ".k = " + b + ".c" : b + ".k = " + a + ".c";
  }
  const std::string filtered = T(tables[Rnd() % static_cast<size_t>(N)]);
  where += (where.empty() ? "" : " AND ") + filtered + ".k < " + std::to_string(2 + Rnd() % 6);
  std::vector<int> from = tables;
  std::shuffle(from.begin(), from.end(), Rnd);
  std::string list;
  for (int t : from) list += (list.empty() ? "" : ", ") + T(t);
  const std::string first = T(tables[0]), last = T(tables[static_cast<size_t>(N - 1)]);
  return "SELECT " + first + ".v, " + last + ".v, " + filtered + ".k FROM " + list + " WHERE " + where;
}

class ManyTableJoin : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { VelqorimMainInitialize(); }
  void TearDown() override {
    AOWork = TVelqorimAOWork();
    VelqorimMainFinalize();
  }
};

TEST_P(ManyTableJoin, ChainsAndStarsAgreeWithinBoundedWork) {
  const bool repeats = GetParam();
  std::mt19937 rnd(repeats ? 4711 : 1147);
  Sqlite lite;
  TVelqorimSQLProcessor p;
  for (const std::string& s : Schema(rnd, repeats)) {
    lite.Exec(s);
    p.PrepareStatement(s);
    p.ExecuteQuery();
  }
  // Intermediate results past a few rows go to temporary files.
  const int64_t savedLimit = TVelqorimAORowSpool::MemoryLimit;
  TVelqorimAORowSpool::MemoryLimit = 512;
  uint64_t spilled = 0;
  for (int n : {2, 3, 5, 8, 16, 24, 32, 48, 64})
    for (bool star : {false, true}) {
      const std::string q = Query(rnd, n, star, repeats);
      const Rows expected = lite.Query(q);
      // Each level composes at most a few pairs per row of its input.
      AOWork = TVelqorimAOWork();
      AOWork.PairLimit = static_cast<uint64_t>(n) * 4 * (expected.size() + RowsPerTable) * RowsPerTable;
      Rows got;
      try {
        got = Ours(p, q);
      } catch (const std::exception& e) {
        ADD_FAILURE() << n << " tables: " << e.what() << "\n" << q;
        continue;
      }
      EXPECT_EQ(got, expected) << q;
      spilled += AOWork.RowsSpilled;
    }
  TVelqorimAORowSpool::MemoryLimit = savedLimit;
  EXPECT_GT(spilled, 0u);
}

INSTANTIATE_TEST_SUITE_P(Keys, ManyTableJoin, ::testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "RepeatedKeys" : "UniqueKeys"; });

// The FROM list's order decides the column order of SELECT *, whatever order
// the tables join in.
TEST(ManyTableJoinColumns, StarKeepsFromOrder) {
  VelqorimMainInitialize();
  {
    TVelqorimSQLProcessor p;
    p.PrepareStatement(
        "DROP TABLE x1; DROP TABLE x2; DROP TABLE x3;"
        "CREATE TABLE x1 (a INTEGER); CREATE TABLE x2 (b INTEGER); CREATE TABLE x3 (c INTEGER);"
        "INSERT INTO x1 VALUES (1), (2); INSERT INTO x2 VALUES (2), (3); INSERT INTO x3 VALUES (1), (2)");
    p.ExecuteQuery();
    // x2 waits for x3, which ties it to x1.
    p.PrepareStatement("SELECT * FROM x1, x2, x3 WHERE x1.a = x3.c AND x3.c = x2.b");
    TVelqorimAOBase* res = p.OpenQuery();
    ASSERT_EQ(res->Columns.size(), 3u);
    EXPECT_EQ(res->Columns[0].FieldName, "a");
    EXPECT_EQ(res->Columns[1].FieldName, "b");
    EXPECT_EQ(res->Columns[2].FieldName, "c");
    ASSERT_EQ(res->Rows.size(), 1u);
    EXPECT_EQ(res->Rows[0][0].GetAsInt64(), 2);
  }
  VelqorimMainFinalize();
}

}  // namespace
