// The local cursor's table operations and change outcomes, and the local
// session: databases by name, shared changes, transactions.

#include <gtest/gtest.h>

#include <functional>

#include "db/support/DAZExcept.h"
#include "tests/db_storage/NativeError.h"
#include "tests/db_storage/LocalTables.h"

using namespace local;

namespace {

struct TTwoColumns : TLocalTable {
  explicit TTwoColumns(const char* Database, const char* Name = "T") : TLocalTable(Database, Name) {
    TVelqorimFieldDefs f;
    AddFields(f, {{"a", aftInteger, 0}, {"b", aftInteger, 0}});
    TVelqorimIndexDefs none;
    Create(f, none);
  }
};

TEST(VelqorimLocalCursor, TableOperations) {
  TLocalEngine engine;
  TTwoColumns t("MEMORY", "abc");
  t.Insert({1, 2});
  t.cursor.CloseTable();
  // Creating over an existing name replaces the table.
  TTwoColumns again("MEMORY", "abc");
  EXPECT_EQ(again.cursor.GetRecordCount(), 0);
  EXPECT_EQ(NativeErrorOf([&] { again.cursor.RenameTable("abc"); }), 30452);
  again.cursor.RenameTable("ABC");  // a change of letter case only
  EXPECT_EQ(again.cursor.TableName, "ABC");
  TTwoColumns other("MEMORY", "other");
  EXPECT_EQ(NativeErrorOf([&] { other.cursor.RenameTable("abc"); }), 30451);
  TVelqorimLocalCursor missing;
  missing.Session = &other.session;
  missing.TableName = "nothing";
  EXPECT_EQ(NativeErrorOf([&] { missing.DeleteTable(); }), 20132);
  EXPECT_EQ(NativeErrorOf([&] { missing.EmptyTable(); }), 20133);
  EXPECT_EQ(NativeErrorOf([&] { missing.RenameTable("x"); }), 20134);
  EXPECT_EQ(NativeErrorOf([&] { missing.OpenTableByFieldDefs(nullptr, nullptr, nullptr); }), 10028);
  // A table still open elsewhere cannot go (table operations close their own cursor first).
  other.Open();
  TVelqorimLocalCursor second;
  second.Session = &other.session;
  second.TableName = "other";
  EXPECT_EQ(NativeErrorOf([&] { second.DeleteTable(); }), 20017);
  other.cursor.CloseTable();
  second.DeleteTable();
  EXPECT_FALSE(other.session.TableExists("other"));
  // Without an index, records compare by id.
  EXPECT_EQ(again.cursor.CompareRecordsOrder({1, 0}, {2, 0}), -1);
  EXPECT_EQ(again.cursor.CompareRecordsOrder({2, 1}, {2, 0}), 1);
}

// Every outcome a change of a MEMORY or TEMP table can have, each from the
// state that leads to it. The table and record lock outcomes (-12, -13) and
// refusals of the store itself (-1, -2, -3) belong to disk tables.
TEST(VelqorimLocalCursor, ChangeOutcomes) {
  TLocalEngine engine;
  struct Case {
    const char* Name;
    const char* Database;
    std::function<void(TLocalTable&, TLocalTable&)> Act;  // on the table and a second cursor on it
    int Expected;
    std::optional<int32_t> StoredA;  // field a of the first record afterwards (NULL: none left)
  };
  auto post = [](TLocalTable& T, int32_t A) {
    T.BeginEdit();
    T.Set(0, A);
    T.cursor.InternalPost(false);
  };
  const Case cases[] = {
      {"insert", "MEMORY", [](TLocalTable& T, TLocalTable&) { T.Insert({9, 9}); }, 0, 1},
      {"edit and post", "MEMORY", [&](TLocalTable& T, TLocalTable&) { post(T, 5); }, 0, 5},
      {"post after another change", "MEMORY",
       [&](TLocalTable& T, TLocalTable& U) {
         T.BeginEdit();
         post(U, 7);
         T.Set(0, 5);
         T.cursor.InternalPost(false);
       },
       -4, 7},
      {"delete after another change", "MEMORY",
       [&](TLocalTable& T, TLocalTable& U) {
         post(U, 7);
         T.cursor.InternalDelete();
       },
       -5, 7},
      {"post after another delete", "MEMORY",
       [](TLocalTable& T, TLocalTable& U) {
         T.BeginEdit();
         U.cursor.InternalDelete();
         T.Set(0, 5);
         T.cursor.InternalPost(false);
       },
       -6, std::nullopt},
      {"delete after another delete", "MEMORY",
       [](TLocalTable& T, TLocalTable& U) {
         U.cursor.InternalDelete();
         T.cursor.InternalDelete();
       },
       -7, std::nullopt},
      {"constraint", "MEMORY",
       [](TLocalTable& T, TLocalTable&) {
         T.cursor.InternalInitRecord(T.record, true);
         T.Set(1, 1);
         T.cursor.InternalPost(true);
       },
       -8, 1},
      {"edit in a temporary table", "TEMP", [](TLocalTable& T, TLocalTable&) { T.BeginEdit(); }, -9, 1},
      {"delete in a temporary table", "TEMP", [](TLocalTable& T, TLocalTable&) { T.cursor.InternalDelete(); }, -10,
       1},
      {"delete", "MEMORY", [](TLocalTable& T, TLocalTable&) { T.cursor.InternalDelete(); }, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TLocalTable t(c.Database, "Outcomes");
    TVelqorimFieldDefs f;
    AddFields(f, {{"a", aftInteger, 0}, {"b", aftInteger, 0}});
    TVelqorimIndexDefs none;
    TVelqorimConstraintDefs constraints;
    auto* notNull = constraints.AddNotNull();
    notNull->Name = "ANotNull";
    notNull->ColumnName = "a";
    t.cursor.CreateTable(f, none, constraints);
    t.Open();
    ASSERT_EQ(t.Insert({1, 1}), 0);
    TLocalTable u(c.Database, "Outcomes");
    u.Open();
    for (TLocalTable* x : {&t, &u}) {
      x->cursor.InternalFirst();
      ASSERT_EQ(x->cursor.GetRecordBuffer(grmNext), grrOK);
    }
    c.Act(t, u);
    EXPECT_EQ(t.cursor.ErrorCode, c.Expected);
    if (c.Expected == -8) {
      EXPECT_NE(t.cursor.ErrorMessage.find("ANotNull"), String::npos);
    }
    if (c.Expected == -4 || c.Expected == -6) {
      EXPECT_EQ(t.Get(0), 5);  // the user's values stay
    }
    t.cursor.InternalFirst();
    const bool any = t.cursor.GetRecordBuffer(grmNext) == grrOK;
    EXPECT_EQ(any ? t.Get(0) : std::nullopt, c.StoredA);
  }
}

TEST(VelqorimLocalSession, DatabasesByNameAndSharedChanges) {
  TLocalEngine engine;
  // Only the exact names reach the process-wide databases.
  TVelqorimLocalSession lower;
  lower.DatabaseName = "memory";
  lower.DatabaseFileName = "memory";
  EXPECT_EQ(lower.FindDatabaseData(false), nullptr);
  EXPECT_THROW(lower.SetConnected(true), EABSException);  // no disk engine here
  // Two sessions of one process see each other's changes at once: MEMORY
  // (and TEMP) have one unit of work, applied with every change.
  TTwoColumns a("MEMORY", "Shared");
  TLocalTable b("MEMORY", "Shared");
  b.Open();
  EXPECT_EQ(a.session.SessionID, 0);
  EXPECT_EQ(b.session.SessionID, 0);
  EXPECT_EQ(a.session.DatabaseData, b.session.DatabaseData);
  a.Insert({1, 1});
  EXPECT_EQ(b.cursor.GetRecordCount(), 1);
  TStringList names;
  b.session.GetTablesList(names);
  EXPECT_EQ(names.Count(), 1);
  a.session.SetConnected(false);
  EXPECT_FALSE(a.session.GetConnected());
  EXPECT_EQ(DatabaseDataList->Count(), 2);  // the process-wide databases stay
  a.session.SetConnected(true);
}

// MEMORY and TEMP cannot undo a change, so they never claim a transaction:
// starting one is refused, and COMMIT or ROLLBACK outside one raise rather
// than report success.
TEST(VelqorimLocalSession, NoTransactionThatCannotRollBack) {
  TLocalEngine engine;
  for (const char* database : {"MEMORY", "TEMP"}) {
    SCOPED_TRACE(database);
    TTwoColumns t(database);
    EXPECT_EQ(NativeErrorOf([&] { t.session.StartTransaction(); }), 20300);
    EXPECT_FALSE(t.session.InTransaction);
    t.Insert({1, 1});
    EXPECT_EQ(NativeErrorOf([&] { t.session.Rollback(); }), 20229);
    EXPECT_EQ(NativeErrorOf([&] { t.session.Commit(false); }), 20229);
    EXPECT_EQ(t.cursor.GetRecordCount(), 1);  // applied at once, and said so
  }
}

}  // namespace
