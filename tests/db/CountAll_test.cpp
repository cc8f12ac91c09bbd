// COUNT(*) alone is answered from the table's record count: the answer must
// be the rows a scan would count, in memory and on a file, inside a transaction
// before and after its rows change, after a rollback, and with a condition
// (which has to read the rows).

#include <gtest/gtest.h>

#include <memory>

#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "tests/db/ScratchDiskDatabase.h"

namespace {

class CountAll : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    VelqorimMainInitialize();
    P = std::make_unique<TVelqorimSQLProcessor>();
    if (String(GetParam()) == "DISK") {
      FDisk = std::make_unique<TScratchDiskDatabase>();
      P->DatabaseName = TScratchDiskDatabase::Name;
    } else {
      P->DatabaseName = GetParam();
    }
  }
  void TearDown() override {
    // The last result holds cursors: it goes before the databases do.
    P.reset();
    FDisk.reset();
    VelqorimMainFinalize();
  }
  void Exec(const std::string& Sql) {
    P->PrepareStatement(Sql);
    P->ExecuteQuery();
  }
  // The first value of the first row, both as a count and as the row count a scan gives.
  int64_t Count(const std::string& Sql) {
    P->PrepareStatement(Sql);
    TVelqorimAOBase* res = P->OpenQuery();
    EXPECT_EQ(res->Rows.size(), 1u) << Sql;
    return res->Rows.empty() ? -1 : res->Rows[0][0].GetAsInt64();
  }
  int64_t Scanned() {
    P->PrepareStatement("SELECT id FROM cnt");
    return static_cast<int64_t>(P->OpenQuery()->Rows.size());
  }
  std::unique_ptr<TVelqorimSQLProcessor> P;
  std::unique_ptr<TScratchDiskDatabase> FDisk;
};

TEST_P(CountAll, CountsWhatAScanReads) {
  const bool disk = String(GetParam()) == "DISK";
  Exec("DROP TABLE cnt");
  Exec("CREATE TABLE cnt (id INTEGER, v INTEGER)");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM cnt"), 0);
  Exec("INSERT INTO cnt VALUES (1, 10), (2, 20), (3, 30), (4, 40)");
  EXPECT_EQ(Count("SELECT COUNT(*), COUNT(*) FROM cnt"), 4);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM cnt WHERE v > 15"), 3);
  Exec("DELETE FROM cnt WHERE id = 2");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM cnt"), Scanned());
  EXPECT_EQ(Scanned(), 3);
  if (disk) {
    Exec("START TRANSACTION");
    Exec("INSERT INTO cnt VALUES (5, 50), (6, 60)");
    Exec("DELETE FROM cnt WHERE id = 1");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM cnt"), 4);
    EXPECT_EQ(Scanned(), 4);
    Exec("ROLLBACK");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM cnt"), 3);
    EXPECT_EQ(Scanned(), 3);
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, CountAll, ::testing::Values("MEMORY", "DISK"));

}  // namespace
