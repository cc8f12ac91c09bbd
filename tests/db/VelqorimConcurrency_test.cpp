// Database files shared between processes and between the components of one
// process: what a SELECT does when another process writes, and what one
// component's unit of work lets another see.

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "db/sql/VelqorimQuery.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "platform/os/Files.h"
#include "tests/db_sql/DbTestUtil.h"
#include "tests/db_storage/ForkPeer.h"

namespace {

// A database file with table t of Rows rows, and what More makes, removed afterwards.
struct TSharedFile {
  explicit TSharedFile(int Rows, const String& More = "") : Name(GetTempDir() + "/velqorim-shared-" + std::to_string(::getpid()) + ".vdb") {
    TVelqorimDatabase d(nullptr);
    d.SetDatabaseName("MAKER");
    d.SetDatabaseFileName(Name);
    d.CreateDatabase();
    d.Open();
    String sql = "CREATE TABLE t (id INTEGER, v INTEGER); INSERT INTO t VALUES (0, 0)";
    for (int i = 1; i < Rows; ++i) sql += ", (" + std::to_string(i) + ", 0)";
    if (!More.empty()) sql += "; " + More;
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

void Exec(const String& Name, const String& Sql) {
  TVelqorimQuery q(nullptr);
  q.SetDatabaseName(Name);
  q.SQL().SetText(Sql);
  q.ExecSQL();
}

// Short waits for the test; the defaults come back afterwards.
struct TShortWaits {
  TShortWaits() {
    RetryConfig().SelectLockTryCount = RetryConfig().ReadLockTryCount = 3;
    RetryConfig().SelectLockDelayMS = RetryConfig().ReadLockDelayMS = 10;
    RetryConfig().WriteLockTryCount = RetryConfig().LongLockTryCount = 3;
    RetryConfig().WriteLockDelayMS = RetryConfig().LongLockDelayMS = 10;
    RetryConfig().OpenTableTryCount = 3;
    RetryConfig().OpenTableDelayMS = 10;
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

// Two database components on one file in one process each have a unit of
// work of their own, in single-user and in multi-user mode: the second sees
// neither the rows nor the counts of the first's open transaction, cannot
// change the table the first has changed until it ends, cannot commit the
// first's changes with its own, and the first's rollback (or its closing
// within the transaction) takes its row away while the second's committed
// row on another table stays.
TEST(VelqorimConcurrency, ComponentsOfOneProcessHaveTransactionsOfTheirOwn) {
  TStarted started;
  TShortWaits waits;
  for (const bool multiUser : {false, true}) {
    SCOPED_TRACE(multiUser ? "multi-user" : "single-user");
    TSharedFile file(3, "CREATE TABLE u (id INTEGER); CREATE INDEX tid ON t (id)");
    auto one = OpenDatabase("ONE", file.Name, multiUser);
    auto two = OpenDatabase("TWO", file.Name, multiUser);
    const char* count = "SELECT COUNT(*) FROM t";
    const char* pending = "SELECT id FROM t WHERE id = 100";
    Exec("ONE", "START TRANSACTION");
    Exec("ONE", "INSERT INTO t VALUES (100, 1)");
    EXPECT_EQ(Rows("ONE", count), "4\n");
    EXPECT_EQ(Rows("ONE", pending), "100\n");
    EXPECT_EQ(Rows("TWO", count), "3\n");
    EXPECT_EQ(Rows("TWO", "SELECT COUNT(id) FROM t WHERE id >= 0"), "3\n");
    EXPECT_EQ(Rows("TWO", pending), "");
    for (const char* change : {"INSERT INTO t VALUES (200, 2)", "UPDATE t SET v = 5", "DELETE FROM t",
                               "DROP TABLE t", "CREATE INDEX tv ON t (v)", "DROP INDEX t.tid"})
      EXPECT_NE(ErrorOf([&] { Exec("TWO", change); }), "") << change;
    Exec("TWO", "START TRANSACTION");
    Exec("TWO", "INSERT INTO u VALUES (7)");
    Exec("TWO", "COMMIT");
    EXPECT_EQ(Rows("TWO", pending), "");
    EXPECT_EQ(Rows("ONE", pending), "100\n");
    EXPECT_EQ(Rows("ONE", "SELECT id FROM u"), "7\n");
    Exec("ONE", "ROLLBACK");
    EXPECT_FALSE(one->InTransaction());
    for (const char* name : {"ONE", "TWO"}) {
      EXPECT_EQ(Rows(name, pending), "") << name;
      EXPECT_EQ(Rows(name, count), "3\n") << name;
      EXPECT_EQ(Rows(name, "SELECT id FROM u"), "7\n") << name;
    }
    // Once the first commits, the second sees its row and may change the table.
    Exec("ONE", "START TRANSACTION");
    Exec("ONE", "INSERT INTO t VALUES (100, 1)");
    Exec("ONE", "COMMIT");
    EXPECT_EQ(Rows("TWO", pending), "100\n");
    Exec("TWO", "INSERT INTO t VALUES (200, 2)");
    EXPECT_EQ(Rows("ONE", count), "5\n");
    // A component closed within its transaction leaves nothing of it behind.
    Exec("ONE", "START TRANSACTION");
    Exec("ONE", "INSERT INTO t VALUES (300, 3)");
    one.reset();
    EXPECT_EQ(Rows("TWO", count), "5\n");
    Exec("TWO", "INSERT INTO t VALUES (400, 4)");
    two.reset();
    auto again = OpenDatabase("AGAIN", file.Name, false);
    EXPECT_EQ(Rows("AGAIN", "SELECT id FROM t WHERE id >= 100 ORDER BY id"), "100\n200\n400\n");
    EXPECT_EQ(Rows("AGAIN", "SELECT id FROM u"), "7\n");
  }
}

// A processor that runs INSERT after INSERT within a transaction keeps the
// table open between them, but only for as long as the transaction: a
// failing INSERT leaves the next ones working, an exclusive open of the table
// within the transaction is not refused, and once the transaction ends by the
// component's own Commit or Rollback (no further statement of the processor)
// another component may change the table's indexes. Closing the component
// within the transaction leaves nothing of it behind.
TEST(VelqorimConcurrency, InsertsKeepTheirTableOpenOnlyForTheTransaction) {
  TStarted started;
  TShortWaits waits;
  for (const bool multiUser : {false, true}) {
    SCOPED_TRACE(multiUser ? "multi-user" : "single-user");
    TSharedFile file(3, "CREATE UNIQUE INDEX tid ON t (id)");
    auto one = OpenDatabase("ONE", file.Name, multiUser);
    auto two = OpenDatabase("TWO", file.Name, multiUser);
    auto p = std::make_unique<TVelqorimSQLProcessor>();
    p->DatabaseName = "ONE";
    auto run = [&](const String& Sql) {
      p->PrepareStatement(Sql);
      p->OpenQuery();
    };
    const char* count = "SELECT COUNT(*) FROM t";
    run("START TRANSACTION");
    run("INSERT INTO t VALUES (100, 1)");
    run("INSERT INTO t VALUES (101, 1)");
    EXPECT_NE(ErrorOf([&] { run("INSERT INTO t VALUES (100, 9)"); }), "");
    run("INSERT INTO t VALUES (102, 1)");
    if (!multiUser) {
      TVelqorimTable alone(nullptr);
      alone.SetDatabaseName("ONE");
      alone.SetTableName("t");
      alone.SetExclusive(true);
      EXPECT_EQ(ErrorOf([&] { alone.Open(); }), "");
      alone.Close();
    }
    run("INSERT INTO t VALUES (103, 1)");
    one->Commit(false);
    EXPECT_EQ(ErrorOf([&] { Exec("TWO", "CREATE INDEX tv ON t (v)"); }), "");
    EXPECT_EQ(Rows("TWO", count), "7\n");
    run("START TRANSACTION");
    run("INSERT INTO t VALUES (200, 2)");
    one->Rollback();
    EXPECT_EQ(ErrorOf([&] { Exec("TWO", "DROP INDEX t.tv"); }), "");
    EXPECT_EQ(Rows("ONE", count), "7\n");
    run("START TRANSACTION");
    run("INSERT INTO t VALUES (300, 3)");
    one.reset();
    EXPECT_EQ(Rows("TWO", count), "7\n");
    EXPECT_EQ(ErrorOf([&] { Exec("TWO", "CREATE INDEX tv ON t (v)"); }), "");
    p.reset();
  }
}


// A processor whose last statement left its result open outlives the database
// component it ran on, closed or destroyed: it lets the table go with the
// session, and the file is whole and free for an exclusive open afterwards.
TEST(VelqorimConcurrency, ProcessorOutlivesItsDatabaseComponent) {
  TStarted started;
  for (const bool destroy : {false, true})
    for (const bool multiUser : {false, true}) {
      SCOPED_TRACE(String(destroy ? "destroyed" : "closed") + (multiUser ? ", multi-user" : ", single-user"));
      TSharedFile file(3, "CREATE INDEX tid ON t (id)");
      auto one = OpenDatabase("ONE", file.Name, multiUser);
      auto p = std::make_unique<TVelqorimSQLProcessor>();
      p->DatabaseName = "ONE";
      for (const char* sql : {"SELECT v FROM t WHERE id = 1", "SELECT COUNT(*) FROM t", "SELECT v FROM t WHERE id = 2"}) {
        p->PrepareStatement(sql);
        ASSERT_NE(p->OpenQuery(), nullptr);
      }
      if (destroy) one.reset();
      else one->Close();
      p.reset();
      one.reset();
      auto again = OpenDatabase("AGAIN", file.Name, multiUser);
      TVelqorimTable alone(nullptr);
      alone.SetDatabaseName("AGAIN");
      alone.SetTableName("t");
      alone.SetExclusive(true);
      EXPECT_EQ(ErrorOf([&] { alone.Open(); }), "");
      EXPECT_EQ(alone.RecordCount(), 3);
      alone.Close();
    }
}

// A processor that reads table after table keeps them open from one SELECT
// to the next; what another component does to them in between shows in its
// next answer as in a fresh processor's, whether the change succeeded or was
// refused, and its own statements that change tables find them free. The
// same on tables in memory, with a second processor as the other.
TEST(VelqorimConcurrency, ProcessorReadsWhatOthersChangeBetweenItsSelects) {
  TStarted started;
  TShortWaits waits;
  const char* const tables = "CREATE INDEX tid ON t (id); CREATE TABLE u (id INTEGER); INSERT INTO u VALUES (1)";
  for (const char* target : {"single-user", "multi-user", "memory"}) {
    SCOPED_TRACE(target);
    const bool memory = String(target) == "memory";
    std::unique_ptr<TSharedFile> file;
    std::unique_ptr<TVelqorimDatabase> one, two;
    if (memory) {
      Exec("MEMORY", "DROP TABLE t; DROP TABLE u; CREATE TABLE t (id INTEGER, v INTEGER);"
                     "INSERT INTO t VALUES (0, 0), (1, 0), (2, 0), (3, 0), (4, 0); " + String(tables));
    } else {
      file = std::make_unique<TSharedFile>(5, tables);
      one = OpenDatabase("ONE", file->Name, String(target) == "multi-user");
      two = OpenDatabase("TWO", file->Name, String(target) == "multi-user");
    }
    const String mine = memory ? "MEMORY" : "ONE", other = memory ? "MEMORY" : "TWO";
    TVelqorimSQLProcessor kept;
    kept.DatabaseName = mine;
    // The answer of Sql through processor P, or its error.
    auto answer = [&](TVelqorimSQLProcessor& P, const String& Sql) {
      String s;
      try {
        P.PrepareStatement(Sql);
        TVelqorimAOBase* r = P.OpenQuery();
        if (r == nullptr) return s;
        for (auto& row : r->Rows) {
          for (size_t i = 0; i < r->Columns.size(); ++i)
            if (!r->Columns[i].Hidden) s += (i ? "|" : "") + (row[i].IsNull() ? "NULL" : row[i].GetAsAnsiString());
          s += "\n";
        }
      } catch (const Exception& e) {
        s = "error: " + e.Message;
      }
      return s;
    };
    auto fresh = [&](const String& Sql) {
      TVelqorimSQLProcessor p;
      p.DatabaseName = mine;
      return answer(p, Sql);
    };
    const std::vector<String> queries = {"SELECT * FROM t WHERE id = 2", "SELECT COUNT(*) FROM t WHERE id >= 1",
                                         "SELECT t.id, u.id FROM t, u WHERE t.id = u.id", "SELECT * FROM t ORDER BY id"};
    struct TStep {
      bool Mine;
      const char* Sql;
    };
    const TStep steps[] = {{false, "INSERT INTO t VALUES (2, 20)"},
                           {false, "UPDATE t SET v = 7 WHERE id = 2"},
                           {false, "CREATE INDEX tv ON t (v)"},
                           {false, "DROP INDEX t.tid"},
                           {true, "CREATE INDEX tid ON t (id)"},
                           {false, "ALTER TABLE t ADD w INTEGER"},
                           {false, "DELETE FROM t WHERE id = 2"},
                           {false, "DROP TABLE u"},
                           {true, "DROP TABLE t"},
                           {true, "CREATE TABLE t (id INTEGER, s VARCHAR(5)); INSERT INTO t VALUES (2, 'x')"}};
    for (const TStep& step : steps) {
      SCOPED_TRACE(step.Sql);
      for (const String& q : queries) (void)answer(kept, q);
      if (step.Mine) (void)answer(kept, step.Sql);
      else (void)ErrorOf([&] { Exec(other, step.Sql); });
      for (const String& q : queries) EXPECT_EQ(answer(kept, q), fresh(q)) << q;
    }
    EXPECT_EQ(answer(kept, queries[0]), "2|x\n");
    if (memory) Exec("MEMORY", "DROP TABLE t; DROP TABLE u");
  }
}

}  // namespace
