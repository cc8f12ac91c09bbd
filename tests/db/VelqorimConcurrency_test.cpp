// Database files shared between processes and between the components of one
// process: what a SELECT does when another process writes, and what one
// component's unit of work lets another see.

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "db/sql/VelqorimQuery.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "platform/os/Files.h"
#include "tests/db_sql/DbTestUtil.h"
#include "tests/db_storage/ForkPeer.h"

namespace {

// A database file with table t of Rows rows, removed afterwards.
struct TSharedFile {
  explicit TSharedFile(int Rows) : Name(GetTempDir() + "/velqorim-shared-" + std::to_string(::getpid()) + ".vdb") {
    TVelqorimDatabase d(nullptr);
    d.SetDatabaseName("MAKER");
    d.SetDatabaseFileName(Name);
    d.CreateDatabase();
    d.Open();
    String sql = "CREATE TABLE t (id INTEGER, v INTEGER); INSERT INTO t VALUES (0, 0)";
    for (int i = 1; i < Rows; ++i) sql += ", (" + std::to_string(i) + ", 0)";
    TVelqorimQuery q(nullptr);
    q.SetDatabaseName("MAKER");
    q.SQL().SetText(sql);
    q.ExecSQL();
  }
  ~TSharedFile() { ::unlink(Name.c_str()); }
  String Name;
};

std::unique_ptr<TVelqorimDatabase> OpenDatabase(const String& Name, const String& File, bool MultiUser) {
  auto d = std::make_unique<TVelqorimDatabase>(nullptr);
  d->SetDatabaseName(Name);
  d->SetDatabaseFileName(File);
  d->MultiUser = MultiUser;
  d->Open();
  return d;
}

// The rows of Sql on database Name, values joined by '|'.
String Rows(const String& Name, const String& Sql) {
  TVelqorimQuery q(nullptr);
  q.SetDatabaseName(Name);
  q.SQL().SetText(Sql);
  q.Open();
  String s;
  for (q.First(); !q.Eof(); q.Next()) {
    for (int i = 0; i < q.Fields().Count(); ++i) s += (i ? "|" : "") + q.Fields()[i]->AsString();
    s += "\n";
  }
  return s;
}

// Short waits for the test; the defaults come back afterwards.
struct TShortWaits {
  TShortWaits() {
    RetryConfig().SelectLockTryCount = RetryConfig().ReadLockTryCount = 3;
    RetryConfig().SelectLockDelayMS = RetryConfig().ReadLockDelayMS = 10;
  }
  ~TShortWaits() { RetryConfig() = FSaved; }
  TVelqorimRetryConfig FSaved = RetryConfig();
};

// A SELECT that meets a table another process holds for writing says the
// table is locked (after its tries) instead of answering with what it read
// so far, and reads the whole table once the writer is done. The writer
// holds its lock until told, so nothing here depends on timing.
TEST(VelqorimConcurrency, SelectMeetsAWriterOfAnotherProcess) {
  TStarted started;
  TSharedFile file(40);
  disk::TPeer writer([&](disk::TPeer& p) {
    auto d = OpenDatabase("WRITER", file.Name, true);
    TVelqorimTable t(nullptr);
    t.SetDatabaseName("WRITER");
    t.SetTableName("t");
    t.Open();
    p.Next();
    p.Reply(t.Handle()->LockTable(ltRW, 1, 0, true) ? "locked" : "refused");
    p.Next();
    p.Reply(t.Handle()->UnlockTable(ltRW, true) ? "unlocked" : "refused");
    p.Next();
  });
  TShortWaits waits;
  auto d = OpenDatabase("READER", file.Name, true);
  const char* count = "SELECT COUNT(id) FROM t WHERE id >= 0";
  EXPECT_EQ(Rows("READER", count), "40\n");
  ASSERT_EQ(writer.Ask('l'), "locked");
  String text;
  EXPECT_EQ(NativeErrorOf([&] { text = Rows("READER", count); }), 20225) << text;
  EXPECT_EQ(ErrorOf([&] { Rows("READER", "SELECT id FROM t"); }).find("Table is locked"), 0u);
  EXPECT_EQ(NativeErrorOf([&] { Rows("READER", "SELECT COUNT(*) FROM t"); }), 20225);
  ASSERT_EQ(writer.Ask('u'), "unlocked");
  EXPECT_EQ(Rows("READER", count), "40\n");
}

}  // namespace
