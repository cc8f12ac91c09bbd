// The query component on "MEMORY", "TEMP" and a database file: scripts through ExecSQL with
// RowsAffected, results opened as datasets, parameters (also from a master),
// preparing, and positioned errors.

#include "db/sql/VelqorimQuery.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimTable.h"
#include "db/support/DAZExcept.h"
#include "tests/db/ScratchDiskDatabase.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

class QueryTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (String(GetParam()) == "DISK") FDisk = std::make_unique<TScratchDiskDatabase>();
  }
  void TearDown() override { FDisk.reset(); }
  std::unique_ptr<TVelqorimQuery> NewQuery(const String& Text) {
    auto q = std::make_unique<TVelqorimQuery>(nullptr);
    q->SetDatabaseName(FDisk ? String(TScratchDiskDatabase::Name) : String(GetParam()));
    q->SQL().SetText(Text);
    return q;
  }
  void Exec(const String& Text) { NewQuery(Text)->ExecSQL(); }
  // The open query's rows, values joined by '|'.
  static String Rows(TVelqorimQuery& Q) {
    String s;
    for (Q.First(); !Q.Eof(); Q.Next()) {
      for (int i = 0; i < Q.Fields().Count(); ++i) s += (i ? "|" : "") + Q.Fields()[i]->AsString();
      s += "\n";
    }
    return s;
  }
  static int CodeOf(const std::function<void()>& Action, String* Text = nullptr) {
    try {
      Action();
    } catch (const EABSException& e) {
      if (Text) *Text = e.Message;
      return e.NativeError;
    }
    return 0;
  }
  TStarted started;
  std::unique_ptr<TScratchDiskDatabase> FDisk;
};

TEST_P(QueryTest, ScriptsRunAndResultsOpen) {
  auto q = NewQuery(
      "CREATE TABLE q (id INTEGER, name VARCHAR(10));\n"
      "INSERT INTO q VALUES (1, 'a'), (2, 'b'), (3, 'c');\n"
      "INSERT INTO q VALUES (4, 'd')");
  EXPECT_EQ(q->RowsAffected(), -1);
  q->ExecSQL();
  EXPECT_EQ(q->RowsAffected(), 4);  // the sum over the script, kept after unpreparing
  EXPECT_FALSE(q->Prepared());

  auto s = NewQuery("SELECT name, id * 10 AS t FROM q WHERE id > 1 ORDER BY id DESC");
  s->Open();
  EXPECT_EQ(s->RecordCount(), 3);
  EXPECT_EQ(Rows(*s), "d|40\nc|30\nb|20\n");
  s->First();
  EXPECT_EQ(s->FieldByName("T")->AsInteger(), 40);
  EXPECT_FALSE(s->CanModify());
  // Changing the text closes and unprepares; the new text runs on the next open.
  s->SQL().SetText("SELECT COUNT(*) AS n FROM q");
  EXPECT_FALSE(s->Active());
  EXPECT_FALSE(s->Prepared());
  s->Open();
  EXPECT_EQ(Rows(*s), "4\n");
  // An open query takes no ExecSQL; preparing a text too short to be a statement fails.
  EXPECT_THROW(s->ExecSQL(), EDatabaseError);
  s->Close();
  if (GetParam() == String("TEMP")) return;  // temporary tables only take new rows
  auto u = NewQuery("UPDATE q SET name = 'z' WHERE id < 3");
  u->ExecSQL();
  EXPECT_EQ(u->RowsAffected(), 2);
}

TEST_P(QueryTest, ParametersAndMaster) {
  Exec("CREATE TABLE p (id INTEGER, name VARCHAR(10)); INSERT INTO p VALUES (1, 'a'), (2, 'b'), (2, 'c')");
  // A colon inside quotes is text, not a parameter.
  auto q = NewQuery("SELECT name, ':' FROM p WHERE id = :id AND name <> :skip ORDER BY name");
  ASSERT_EQ(q->ParamCount(), 2);
  q->ParamByName("id")->SetAsInteger(2);
  q->ParamByName("skip")->SetAsString("c");
  q->Open();
  EXPECT_EQ(Rows(*q), "b|:\n");
  q->Close();
  // A new text keeps the values of parameters of the same name.
  q->SQL().SetText("SELECT COUNT(*) FROM p WHERE id = :ID");
  EXPECT_EQ(q->ParamCount(), 1);
  q->Open();
  EXPECT_EQ(Rows(*q), "2\n");
  q->Close();

  auto ins = NewQuery("INSERT INTO p VALUES (:id, :name)");
  ins->ParamByName("id")->SetAsInteger(7);
  ins->ParamByName("name")->Clear();
  ins->ExecSQL();
  EXPECT_EQ(ins->RowsAffected(), 1);

  // A detail query takes its parameter from the master's current record.
  auto master = NewQuery("SELECT DISTINCT id FROM p ORDER BY id");
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = NewQuery("SELECT COUNT(*) FROM p WHERE id = :id");
  detail->SetDataSource(&source);
  detail->Open();
  EXPECT_EQ(Rows(*detail), "1\n");
  master->Next();
  EXPECT_EQ(Rows(*detail), "2\n");
  // A detail cannot be its own master.
  TDataSource self(nullptr);
  self.SetDataSet(detail.get());
  EXPECT_THROW(detail->SetDataSource(&self), EDatabaseError);
}

// With RequestLive a plain single-table SELECT stays on its table: its rows
// change the table, it keeps its condition, columns and order; any other
// result, and every result without RequestLive, is a copy that refuses changes.
TEST_P(QueryTest, LiveResultsChangeTheirTable) {
  const bool temp = GetParam() == String("TEMP");  // temporary tables only take new rows
  Exec("CREATE TABLE l (id INTEGER, name VARCHAR(10), v INTEGER);"
       "INSERT INTO l VALUES (1, 'a', 5), (2, 'b', 0), (3, 'c', 7), (4, 'd', 9)");
  auto table = [&] {
    auto all = NewQuery("SELECT id, name, v FROM l ORDER BY id");
    all->Open();
    return Rows(*all);
  };
  auto q = NewQuery("SELECT name AS n, id FROM l WHERE v > :least ORDER BY n DESC");
  q->RequestLive = true;
  q->ParamByName("least")->SetAsInteger(1);
  q->Open();
  EXPECT_TRUE(q->CanModify());
  ASSERT_EQ(q->Fields().Count(), 2);
  EXPECT_EQ(q->Fields()[0]->FieldName, "n");
  EXPECT_EQ(Rows(*q), "d|4\nc|3\na|1\n");

  // A new row goes into the table; it stays out of the result, whose condition it fails.
  q->Append();
  q->FieldByName("id")->SetAsInteger(5);
  q->FieldByName("n")->SetAsString("e");
  q->Post();
  q->Refresh();
  EXPECT_EQ(Rows(*q), "d|4\nc|3\na|1\n");
  EXPECT_EQ(table(), "1|a|5\n2|b|0\n3|c|7\n4|d|9\n5|e|\n");
  if (!temp) {
    q->First();
    q->Edit();
    q->FieldByName("n")->SetAsString("x");
    q->Post();
    q->Last();
    q->Delete();
    EXPECT_EQ(table(), "2|b|0\n3|c|7\n4|x|9\n5|e|\n");
    q->Refresh();
    EXPECT_EQ(Rows(*q), "x|4\nc|3\n");
  }
  q->Close();

  // Without RequestLive, or with what must be computed, the result is a read-only copy.
  const char* copies[] = {"SELECT * FROM l", "SELECT id * 2 FROM l", "SELECT DISTINCT v FROM l",
                          "SELECT TOP 2 id FROM l", "SELECT v, COUNT(*) FROM l GROUP BY v",
                          "SELECT l.id FROM l, l AS m WHERE l.id = m.id",
                          "SELECT id FROM l WHERE id IN (SELECT id FROM l)"};
  for (const char* text : copies) {
    SCOPED_TRACE(text);
    auto c = NewQuery(text);
    c->RequestLive = String(text) != "SELECT * FROM l";
    c->Open();
    EXPECT_FALSE(c->CanModify());
    EXPECT_THROW(c->Edit(), EDatabaseError);
  }
  auto all = NewQuery("SELECT * FROM l WHERE id = 3");
  all->RequestLive = true;
  all->Open();
  EXPECT_TRUE(all->CanModify());
  EXPECT_EQ(Rows(*all), "3|c|7\n");
}

// A live result shows exactly the rows its copy shows, whatever its condition
// and the indexes the table reads them by.
TEST_P(QueryTest, LiveResultsShowWhatTheirCopiesShow) {
  Exec("CREATE TABLE k (id INTEGER, name VARCHAR(6), f DOUBLE);"
       "INSERT INTO k VALUES (1, 'ab', 1.5), (2, 'Ab', NULL), (3, NULL, -2), (4, 'b', 2), (5, 'abcdef', 0),"
       " (NULL, 'c', 3.25), (7, 'B', -7.5);"
       "CREATE INDEX kid ON k (id DESC); CREATE INDEX kname ON k (name); CREATE INDEX kf ON k (f)");
  const char* conditions[] = {
      "id > 2",        "id <= 4 AND id >= 2", "id = 7",          "id < 3",         "name >= 'Ab'",
      "name < 'b'",    "name = 'abcdef'",     "name > 'abcdefg'", "name <= 'abcdefg'", "f > 1.5",
      "f < 0",         "f >= -7.5 AND f < 2", "name IS NULL",    "id IS NOT NULL", "name LIKE 'a%'",
      "UPPER(name) = 'AB'", "id = 2 OR f = 2", "NOT (id > 3)",   "name <> 'ab'",   "id IN (1, 4, 9)",
  };
  for (const char* c : conditions)
    for (const char* shape : {"SELECT id, name, f FROM k WHERE %s ORDER BY id, name",
                              "SELECT * FROM k WHERE %s ORDER BY 2 DESC, 1"}) {
      const String text = Format(shape, {String(c)});
      SCOPED_TRACE(text);
      auto copy = NewQuery(text);
      copy->Open();
      auto live = NewQuery(text);
      live->RequestLive = true;
      live->Open();
      EXPECT_TRUE(live->CanModify());
      EXPECT_EQ(Rows(*live), Rows(*copy));
    }
}

TEST_P(QueryTest, ErrorsCarryTheirPlace) {
  auto q = NewQuery("CREATE TABLE e (a INTEGER);\nSELECT a FROM e WHERE a = = 1");
  String text;
  EXPECT_NE(CodeOf([&] { q->ExecSQL(); }, &text), 0);
  EXPECT_NE(text.find("line 2"), String::npos) << text;
  EXPECT_FALSE(q->Prepared());
  auto empty = NewQuery("");
  EXPECT_EQ(CodeOf([&] { empty->ExecSQL(); }), 20034);
  empty->SQL().Add("");  // one empty line: no statement to prepare
  EXPECT_EQ(CodeOf([&] { empty->Prepare(); }), 30142);
  auto missing = NewQuery("SELECT * FROM nowhere");
  EXPECT_EQ(CodeOf([&] { missing->Open(); }), 30190);
  EXPECT_FALSE(missing->Active());
}

// An UPDATE that fails on a later row leaves every row as it was: the rows
// before it are undone (or, for temporary tables, nothing is changed at all).
TEST_P(QueryTest, FailingUpdateChangesNoRow) {
  Exec("CREATE TABLE u (id INTEGER, v INTEGER, note VARCHAR(10), body VARCHAR(10)); CREATE UNIQUE INDEX uv ON u (v);"
       "INSERT INTO u VALUES (1, 1, 'a', 'one'), (2, 2, 'b', 'two'), (3, 3, 'c', 'three'), (4, 13, 'd', 'four')");
  auto rows = [&] {
    auto q = NewQuery("SELECT id, v, note, body FROM u ORDER BY id");
    q->Open();
    return Rows(*q);
  };
  const String original = rows();
  // The third row would take the fourth's value.
  EXPECT_NE(CodeOf([&] { Exec("UPDATE u SET v = v + 10, note = 'x', body = 'changed' WHERE id <= 3"); }), 0);
  EXPECT_EQ(rows(), original);
  // The table still takes changes that hold, and a DELETE of all of it.
  auto u = NewQuery("UPDATE u SET v = v + 100, note = 'y' WHERE id <= 3");
  if (GetParam() == String("TEMP")) {
    EXPECT_NE(CodeOf([&] { u->ExecSQL(); }), 0);
    return;
  }
  u->ExecSQL();
  EXPECT_EQ(u->RowsAffected(), 3);
  EXPECT_EQ(rows(), "1|101|y|one\n2|102|y|two\n3|103|y|three\n4|13|d|four\n");
  auto d = NewQuery("DELETE FROM u WHERE id > 1");
  d->ExecSQL();
  EXPECT_EQ(d->RowsAffected(), 3);
  EXPECT_EQ(rows(), "1|101|y|one\n");
}

INSTANTIATE_TEST_SUITE_P(Databases, QueryTest, ::testing::Values("MEMORY", "TEMP", "DISK"));

}  // namespace
