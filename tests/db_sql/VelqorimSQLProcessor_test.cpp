// Scripts through the SQL processor on the process-wide "MEMORY" and "TEMP" databases.

#include "db/sql/VelqorimSQLProcessor.h"

#include <gtest/gtest.h>

#include "db/sql/VelqorimMain.h"
#include "db/support/DAZExcept.h"
#include "tests/db/tools/SQLShell.h"

namespace {

class VelqorimSQL : public ::testing::Test {
 protected:
  void SetUp() override { VelqorimMainInitialize(); }
  void TearDown() override {
    P.reset();
    VelqorimMainFinalize();
  }
  std::string Run(const std::string& Script) { return sqlshell::Run(*P, Script); }
  // The engine error code a script raises (0: none) and its text.
  int ErrorOf(const std::string& Script, std::string* Text = nullptr) {
    try {
      Run(Script);
    } catch (const EABSException& e) {
      if (Text) *Text = e.Message;
      return e.NativeError;
    }
    return 0;
  }
  std::unique_ptr<TVelqorimSQLProcessor> P = std::make_unique<TVelqorimSQLProcessor>();
};

const char* const Tables =
    "CREATE TABLE t (a INTEGER, b VARCHAR(10), c DOUBLE);"
    "INSERT INTO t VALUES (1, 'x', 1.5), (2, 'y', 2.5), (3, 'x', 3.5), (4, 'z', NULL);"
    "CREATE TABLE u (a INTEGER, d INTEGER);"
    "INSERT INTO u (a, d) VALUES (1, 10), (3, 30), (3, 31), (5, 50);";

TEST_F(VelqorimSQL, SelectShapes) {
  Run(Tables);
  EXPECT_EQ(P->FRowsAffected, 8);
  struct Case {
    const char* Query;
    const char* Rows;
  } cases[] = {
      {"SELECT a, b FROM t WHERE a > 1 ORDER BY a DESC", "4|z\n3|x\n2|y\n"},
      {"SELECT * FROM t WHERE c IS NULL", "4|z|NULL\n"},
      {"SELECT b, COUNT(*), SUM(a) FROM t GROUP BY b ORDER BY b", "x|2|4\ny|1|2\nz|1|4\n"},
      {"SELECT COUNT(*) FROM t WHERE a > 100", "0\n"},
      {"SELECT COUNT(DISTINCT b) FROM t", "3\n"},
      {"SELECT DISTINCT b FROM t ORDER BY 1", "x\ny\nz\n"},
      {"SELECT t.a, u.d FROM t, u WHERE t.a = u.a ORDER BY 2", "1|10\n3|30\n3|31\n"},
      {"SELECT t.a, u.d FROM t JOIN u ON t.a = u.a AND u.d > 30", "3|31\n"},
      {"SELECT t.a, u.d FROM t LEFT JOIN u ON t.a = u.a ORDER BY 1, 2", "1|10\n2|NULL\n3|30\n3|31\n4|NULL\n"},
      {"SELECT a FROM t UNION SELECT a FROM u ORDER BY 1", "1\n2\n3\n4\n5\n"},
      {"SELECT a FROM t EXCEPT SELECT a FROM u", "2\n4\n"},
      {"SELECT a FROM t INTERSECT SELECT a FROM u", "1\n3\n"},
      {"SELECT a, (SELECT COUNT(*) FROM u WHERE u.a = t.a) FROM t ORDER BY a", "1|1\n2|0\n3|2\n4|0\n"},
      {"SELECT a FROM t WHERE a IN (SELECT a FROM u) ORDER BY a", "1\n3\n"},
      {"SELECT a FROM t WHERE EXISTS (SELECT * FROM u WHERE u.a = t.a + 1)", "2\n4\n"},
      {"SELECT s.a FROM (SELECT a FROM t WHERE a < 3) AS s ORDER BY s.a DESC", "2\n1\n"},
      {"SELECT b, MAX(a) FROM t GROUP BY b HAVING COUNT(*) > 1", "x|3\n"},
      {"SELECT a * 2 AS d FROM t ORDER BY d DESC", "8\n6\n4\n2\n"},
      {"SELECT a FROM t ORDER BY c DESC", "3\n2\n1\n4\n"},
      {"SELECT 1 + 2", "3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Query);
    EXPECT_EQ(Run(c.Query), c.Rows);
  }
}

// TOP keeps the first rows that pass the WHERE condition, not the first rows read.
TEST_F(VelqorimSQL, TopCountsRowsThatPass) {
  Run(Tables);
  EXPECT_EQ(Run("SELECT TOP 2 a FROM t WHERE a > 1 ORDER BY a"), "2\n3\n");
  EXPECT_EQ(Run("SELECT TOP 2, 2 a FROM t WHERE b <> 'q' ORDER BY a"), "2\n3\n");
  EXPECT_EQ(Run("SELECT TOP 1 b, COUNT(*) FROM t GROUP BY b HAVING COUNT(*) = 1 ORDER BY b"), "y|1\n");
}

// Every record changes once, also when the change moves it within an index.
TEST_F(VelqorimSQL, UpdateAndDeleteApplyOnce) {
  Run("CREATE TABLE k (a INTEGER PRIMARY KEY, b INTEGER); CREATE INDEX kb ON k (b);"
      "INSERT INTO k VALUES (1, 1), (2, 2), (3, 3), (4, 4)");
  Run("UPDATE k SET a = a + 10, b = b + 1");
  EXPECT_EQ(P->FRowsAffected, 4);
  EXPECT_EQ(Run("SELECT a, b FROM k ORDER BY a"), "11|2\n12|3\n13|4\n14|5\n");
  Run("UPDATE k SET b = 0 WHERE a > 12");
  EXPECT_EQ(P->FRowsAffected, 2);
  Run("DELETE FROM k WHERE b = 0");
  EXPECT_EQ(P->FRowsAffected, 2);
  EXPECT_EQ(Run("SELECT a FROM k ORDER BY a"), "11\n12\n");
  Run("DELETE FROM k");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM k"), "0\n");
}

// An equality on an indexed integer column reads through the index; the answer stays that of a full scan.
TEST_F(VelqorimSQL, IndexedEqualityKeepsTheAnswer) {
  Run("CREATE TABLE x (a INTEGER, b INTEGER, c VARCHAR(5)); CREATE INDEX xa ON x (a DESC, b);"
      "INSERT INTO x VALUES (3, 1, 'p'), (-2, 2, 'q'), (3, 3, 'r'), (7, 4, 's'), (3, 5, 't')");
  EXPECT_EQ(Run("SELECT b FROM x WHERE a = 3 ORDER BY b"), "1\n3\n5\n");
  EXPECT_EQ(Run("SELECT b FROM x WHERE -2 = a"), "2\n");
  EXPECT_EQ(Run("SELECT b FROM x WHERE a = 3 AND b > 2 ORDER BY 1"), "3\n5\n");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM x WHERE a = 4"), "0\n");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM x WHERE a = 3.0"), "3\n");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM x"), "5\n");  // no range left behind
  // Ranges read only their keys and keep the answer, NULL keys included.
  Run("CREATE TABLE r (a INTEGER, b INTEGER); CREATE INDEX ra ON r (a);"
      "INSERT INTO r VALUES (NULL, 0), (1, 1), (2, 2), (3, 3), (4, 4), (5, 5), (-7, 6)");
  struct Case {
    const char* Where;
    const char* Rows;
  } cases[] = {
      {"a > 3", "4\n5\n"},       {"a >= 3", "3\n4\n5\n"},     {"a < 2", "1\n6\n"},
      {"2 < a AND a <= 4", "3\n4\n"}, {"a > 4 AND a < 2", ""}, {"a <= -7", "6\n"},
      {"a > 1 AND a = 3", "3\n"},  {"5 >= a AND b > 3", "4\n5\n6\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Where);
    EXPECT_EQ(Run(std::string("SELECT b FROM r WHERE ") + c.Where + " ORDER BY b"), c.Rows);
  }
  EXPECT_EQ(Run("SELECT COUNT(*) FROM r"), "7\n");
}

// Ranges on text, float, date and descending index columns answer as the same
// table without indexes does: case rules, NULLs, constants the column cannot
// hold and constants of another type included.
TEST_F(VelqorimSQL, IndexRangesOfEveryTypeKeepTheAnswer) {
  const char* rows =
      " VALUES ('ab', 1.5, '2024-01-31', 1), ('Ab', -2, '2024-02-01', 2), ('b', 2, '2024-02-29', 3),"
      " ('B', 3.25, NULL, 4), (NULL, NULL, '2023-12-31', NULL), ('abcd', 0, '2024-03-01', 5), ('a', -7.5, NULL, 6)";
  Run(std::string("CREATE TABLE s0 (k VARCHAR(4), f DOUBLE, d DATE, n INTEGER); INSERT INTO s0") + rows);
  Run(std::string("CREATE TABLE s1 (k VARCHAR(4), f DOUBLE, d DATE, n INTEGER); INSERT INTO s1") + rows +
      "; CREATE INDEX s1k ON s1 (k); CREATE INDEX s1f ON s1 (f DESC); CREATE INDEX s1d ON s1 (d);"
      " CREATE INDEX s1n ON s1 (n DESC)");
  Run(std::string("CREATE TABLE s2 (k VARCHAR(4), f DOUBLE, d DATE, n INTEGER); INSERT INTO s2") + rows +
      "; CREATE INDEX s2k ON s2 (k DESC); CREATE INDEX s2c ON s2 (k NOCASE)");
  const char* conditions[] = {
      "k > 'ab'", "k >= 'Ab'", "k < 'b'", "k <= 'abcde'", "k >= 'abcde'", "k = 'abcd'", "'B' <= k",
      "k > 'a' AND k < 'b'", "k = 'AB'", "f > 1.5", "f <= -2", "f = 2", "f < 3 AND f > -1", "-7.5 >= f",
      "d >= '2024-02-01'", "d < '2024-03-01'", "d = '2024-02-29'", "n > 2.5", "n <= 2", "n = 2.0", "n < 10000000000",
      "k = 'zz' AND f > 0", "k > 1",
  };
  for (const char* c : conditions) {
    SCOPED_TRACE(c);
    const std::string where = std::string(" WHERE ") + c + " ORDER BY n";
    const std::string expected = Run("SELECT n FROM s0" + where);
    EXPECT_EQ(Run("SELECT n FROM s1" + where), expected);
    EXPECT_EQ(Run("SELECT n FROM s2" + where), expected);
  }
}

TEST_F(VelqorimSQL, DefinitionFaultsAreRefused) {
  struct Case {
    const char* Script;
    int Code;
  } cases[] = {
      // A row of a multi-row INSERT with the wrong count is refused, whichever row it is.
      {"CREATE TABLE m (a INTEGER, b INTEGER); INSERT INTO m (a, b) VALUES (1, 2), (3)", 30207},
      {"INSERT INTO m VALUES (1, 2), (3, 4, 5)", 30207},
      // Words a column definition does not know are errors, not ignored.
      {"CREATE TABLE n (a INTEGER NOTNULL)", 30242},
      {"CREATE TABLE n (a INTEGER UNIQE)", 30242},
      // A default that does not fit its column is refused at CREATE.
      {"CREATE TABLE n (a VARCHAR(3) DEFAULT 'abcd')", 30243},
      {"CREATE TABLE n (a INTEGER, a INTEGER)", 30235},
      {"SELECT a FROM missing", 30190},
      {"SELECT a FROM m WHERE", 30118},
      {"SELECT a FROM m m2 x", 20260},
      {"CREATE VIEW v", 30147},
      {"FROBNICATE", 30154},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Script);
    EXPECT_EQ(ErrorOf(c.Script), c.Code);
  }
  EXPECT_EQ(Run("SELECT COUNT(*) FROM m"), "0\n");  // nothing of a refused INSERT went in
  std::string text;
  ErrorOf("SELECT a\nFROM m WHERE a = = 1", &text);
  EXPECT_NE(text.find("line 2"), std::string::npos) << text;
  Run("CREATE TABLE n (a VARCHAR(3) DEFAULT 'abc', b INTEGER); INSERT INTO n (b) VALUES (1)");
  EXPECT_EQ(Run("SELECT a, b FROM n"), "abc|1\n");
  Run("DROP TABLE n; DROP TABLE n");  // a missing table is no error
  EXPECT_EQ(ErrorOf("SELECT * FROM n"), 30190);
}

TEST_F(VelqorimSQL, TableStatementsKeepRowsAndChecks) {
  Run("CREATE TABLE w (a INTEGER NOT NULL, b VARCHAR(5)); CREATE UNIQUE INDEX wa ON w (a);"
      "INSERT INTO w VALUES (1, 'p'), (2, NULL)");
  // An existing table is never replaced; IF NOT EXISTS leaves it as it is.
  EXPECT_EQ(ErrorOf("CREATE TABLE w (c INTEGER)"), 30247);
  Run("CREATE TABLE IF NOT EXISTS w (c INTEGER)");
  EXPECT_EQ(Run("SELECT a, b FROM w ORDER BY a"), "1|p\n2|NULL\n");
  // NOT NULL holds for inserts and updates.
  std::string text;
  EXPECT_EQ(ErrorOf("INSERT INTO w (b) VALUES ('q')", &text), 30400);
  EXPECT_NE(text.find("cannot be null"), std::string::npos) << text;
  EXPECT_EQ(ErrorOf("UPDATE w SET a = NULL WHERE a = 2"), 30400);

  Run("ALTER TABLE w ADD (c INTEGER DEFAULT 7, d VARCHAR(3))");
  EXPECT_EQ(Run("SELECT a, b, c, d FROM w ORDER BY a"), "1|p|7|NULL\n2|NULL|7|NULL\n");
  EXPECT_EQ(ErrorOf("ALTER TABLE w ADD (c INTEGER)"), 30265);
  Run("ALTER TABLE w ADD (IF NOT EXISTS c INTEGER)");
  // A rebuild that fails (d has NULLs) leaves the table, its rows and its index as they were.
  EXPECT_EQ(ErrorOf("ALTER TABLE w MODIFY (d VARCHAR(3) NOT NULL)", &text), 30265);
  EXPECT_NE(text.find("cannot be null"), std::string::npos) << text;
  EXPECT_EQ(Run("SELECT COUNT(*) FROM w"), "2\n");
  EXPECT_NE(ErrorOf("INSERT INTO w (a) VALUES (1)"), 0);  // the unique index survived
  Run("ALTER TABLE w DROP (b); ALTER TABLE w MODIFY (d VARCHAR(10) DEFAULT 'long text')");
  Run("INSERT INTO w (a) VALUES (3)");
  EXPECT_EQ(Run("SELECT * FROM w ORDER BY a"), "1|7|NULL\n2|7|NULL\n3|7|long text\n");
  EXPECT_NE(ErrorOf("INSERT INTO w (a) VALUES (3)"), 0);  // still unique after the rebuilds
  EXPECT_EQ(ErrorOf("ALTER TABLE w DROP COLUMN missing"), 30265);

  Run("ALTER TABLE w RENAME COLUMN c TO k; ALTER TABLE w RENAME TO v; RENAME TABLE v TO u");
  EXPECT_EQ(Run("SELECT SUM(k) FROM u"), "21\n");
  EXPECT_EQ(ErrorOf("SELECT * FROM w"), 30190);
  Run("TRUNCATE TABLE u");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM u"), "0\n");
  Run("INSERT INTO u (a) VALUES (5)");  // the structure stays
  EXPECT_EQ(Run("SELECT a, k FROM u"), "5|7\n");
  EXPECT_EQ(ErrorOf("TRUNCATE missing"), 30491);
  EXPECT_EQ(ErrorOf("ALTER TABLE u FROB (x)"), 30253);
}

// The indexes of a table in "MEMORY": "name(u|p):column[ desc][ nocase],...;" in their order.
std::string IndexesOf(const std::string& Table) {
  TVelqorimLocalSession session;
  session.DatabaseName = "MEMORY";
  session.SetConnected(true);
  TVelqorimLocalCursor cursor;
  cursor.Session = &session;
  cursor.TableName = Table;
  cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  std::string text;
  TVelqorimIndexDefs& defs = cursor.GetIndexDefs();
  for (int i = 0; i < defs.Count(); ++i) {
    const TVelqorimIndexDef& d = *defs[i];
    text += d.Name + (d.Primary ? "(p)" : d.Unique ? "(u)" : "") + ":";
    for (int k = 0; k < d.ColumnCount(); ++k) {
      const TVelqorimIndexColumn& c = d.GetIndexColumn(k);
      text += (k ? "," : "") + c.FieldName + (c.Descending ? " desc" : "") + (c.CaseInsensitive ? " nocase" : "");
    }
    text += ";";
  }
  cursor.CloseTable();
  return text;
}

// Index clauses of table definitions, also inside ALTER TABLE ... ADD, named or not.
TEST_F(VelqorimSQL, IndexClausesOfTableDefinitions) {
  Run("CREATE TABLE x (a INTEGER PRIMARY KEY, b VARCHAR(5) UNIQUE, c VARCHAR(5), INDEX (c DESC NOCASE, a),"
      " UNIQUE INDEX ub (b, a ASC CASE))");
  EXPECT_EQ(IndexesOf("x"), "C_PK$a(p):a;C_Unique$b(u):b;i$c$a:c desc nocase,a;ub(u):b,a;");
  Run("INSERT INTO x VALUES (1, 'p', 'q')");
  Run("ALTER TABLE x ADD (d INTEGER, UNIQUE INDEX ud (d), INDEX idc (d DESC))");
  // A primary key over a column that holds NULL is refused, and the table stays as it was.
  EXPECT_EQ(ErrorOf("ALTER TABLE x ADD (e INTEGER, CONSTRAINT ue UNIQUE (e), PRIMARY KEY (d))"), 30265);
  EXPECT_EQ(Run("SELECT a, d FROM x"), "1|NULL\n");
  Run("UPDATE x SET d = 0");
  Run("ALTER TABLE x ADD (e INTEGER, CONSTRAINT ue UNIQUE (e), PRIMARY KEY (d))");
  const std::string after = IndexesOf("x");
  for (const char* part :
       {"ud(u):d;", "idc:d desc;", "ue(u):e;", "C_PK$d(p):d;", "ub(u):b,a;", "i$c$a:c desc nocase,a;"})
    EXPECT_NE(after.find(part), std::string::npos) << part << " in " << after;
  Run("INSERT INTO x (a, b, d, e) VALUES (2, 'r', 7, 1)");
  EXPECT_NE(ErrorOf("INSERT INTO x (a, b, d, e) VALUES (3, 's', 7, 2)"), 0);  // ud holds
  EXPECT_NE(ErrorOf("INSERT INTO x (a, b, d, e) VALUES (4, 't', 8, 1)"), 0);  // ue holds
  EXPECT_EQ(Run("SELECT a, d FROM x ORDER BY a"), "1|0\n2|7\n");
  Run("CREATE INDEX ic ON x (c NOCASE DESC)");
  EXPECT_NE(IndexesOf("x").find("ic:c desc nocase;"), std::string::npos);
  EXPECT_EQ(ErrorOf("ALTER TABLE x ADD (f INTEGER, UNIQUE KEY (f))"), 30268);
  EXPECT_EQ(ErrorOf("CREATE TABLE y (a INTEGER, INDEX ia (a b))"), 30276);
}

TEST_F(VelqorimSQL, SelectIntoAndAliases) {
  Run(Tables);
  // An alias of a plain column stands for it in WHERE and HAVING.
  EXPECT_EQ(Run("SELECT a AS k, b FROM t WHERE k > 2 ORDER BY k"), "3|x\n4|z\n");
  EXPECT_EQ(Run("SELECT b AS g, COUNT(*) FROM t GROUP BY b HAVING g <> 'x' ORDER BY 1"), "y|1\nz|1\n");
  Run("SELECT a, b, a * 2 AS d, 'lit' AS e INTO n FROM t WHERE a > 2");
  EXPECT_EQ(P->FRowsAffected, 2);
  EXPECT_EQ(Run("SELECT a, b, d, e FROM n ORDER BY a"), "3|x|6|lit\n4|z|8|lit\n");
  Run("INSERT INTO n (a, b) VALUES (9, 'abcde')");  // the copy is a table of its own
  EXPECT_EQ(Run("SELECT COUNT(*) FROM t"), "4\n");
  EXPECT_EQ(ErrorOf("SELECT a INTO n FROM t"), 30247);  // never replaces a table
  EXPECT_EQ(ErrorOf("SELECT a INTO x FROM t UNION SELECT a FROM u"), 20272);
}

TEST_F(VelqorimSQL, TempDatabaseAndTransactions) {
  P->DatabaseName = "TEMP";
  Run("CREATE TABLE w (a INTEGER); INSERT INTO w VALUES (3), (1), (2)");
  EXPECT_EQ(Run("SELECT a FROM w ORDER BY a"), "1\n2\n3\n");
  P->DatabaseName = "MEMORY";
  EXPECT_EQ(ErrorOf("SELECT a FROM w"), 30190);
  // "MEMORY" applies changes at once and refuses a transaction it could not roll back.
  EXPECT_EQ(ErrorOf("START TRANSACTION"), 20300);
  Run("CREATE TABLE i (a INTEGER); CREATE UNIQUE INDEX ia ON i (a); INSERT INTO i VALUES (1)");
  EXPECT_NE(ErrorOf("INSERT INTO i VALUES (1)"), 0);
  Run("DROP INDEX i.ia; INSERT INTO i VALUES (1)");
  EXPECT_EQ(Run("SELECT COUNT(*) FROM i"), "2\n");
}

}  // namespace
