// What the SQL processor refuses or bounds: deep nesting, numbers and texts at
// their limits, grouping rules; and that nested queries are prepared in time
// linear in their depth.

#include <gtest/gtest.h>

#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/support/DAZExcept.h"
#include "tests/db/tools/SQLShell.h"

namespace {

class VelqorimSQLChecks : public ::testing::Test {
 protected:
  void SetUp() override { VelqorimMainInitialize(); }
  void TearDown() override {
    P.reset();
    VelqorimMainFinalize();
  }
  std::string Run(const std::string& Script) { return sqlshell::Run(*P, Script); }
  // The engine error code a script raises (0: none), with its text.
  int ErrorOf(const std::string& Script, std::string* Text = nullptr) {
    try {
      Run(Script);
    } catch (const EABSException& e) {
      if (Text) *Text = e.Message;
      return e.NativeError;
    } catch (const std::exception& e) {
      if (Text) *Text = e.what();
      return -1;
    }
    return 0;
  }
  std::unique_ptr<TVelqorimSQLProcessor> P = std::make_unique<TVelqorimSQLProcessor>();
};

// Inner wrapped Depth times in Wrap's prefix and suffix.
struct TWrap {
  const char* Prefix;
  const char* Suffix;
};
std::string Nest(int Depth, const std::string& Inner, TWrap Wrap) {
  std::string q;
  for (int i = 0; i < Depth; ++i) q += Wrap.Prefix;
  q += Inner;
  for (int i = 0; i < Depth; ++i) q += Wrap.Suffix;
  return q;
}

constexpr TWrap Scalar{"SELECT (", ")"};
constexpr TWrap InList{"SELECT a FROM t WHERE a IN (", ")"};
constexpr TWrap Correlated{"SELECT a FROM t WHERE a IN (SELECT a FROM t u WHERE u.a = t.a AND u.a IN (", "))"};
constexpr TWrap Derived{"SELECT * FROM (", ") AS d"};
constexpr TWrap Union{"SELECT 1 UNION (", ")"};
constexpr TWrap Bracketed{"SELECT a FROM t WHERE ((a IN (", ")) AND NOT (a > 5))"};
constexpr TWrap Exists{"SELECT a FROM t WHERE NOT EXISTS (SELECT * FROM t u WHERE u.a > 3 AND u.a IN (", "))"};
// The parser goes back over the bracketed query before it meets "> 0".
constexpr TWrap LeftScalar{"SELECT a FROM t WHERE ((SELECT COUNT(*) FROM t u WHERE u.a IN (", ")) > 0)"};

// Each nested query is parsed once however deep it sits: the work of
// preparing a statement grows with its size, not exponentially with its depth.
TEST_F(VelqorimSQLChecks, NestedQueriesParseOnce) {
  Run("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
  struct Case {
    const char* Name;
    TWrap Wrap;
    const char* Inner;
    int Subqueries;  // per level, in expressions
    const char* Rows;
  } cases[] = {
      {"scalar", Scalar, "SELECT 7", 1, "7\n"},
      {"in", InList, "SELECT a FROM t", 1, "1\n2\n3\n"},
      {"correlated", Correlated, "SELECT a FROM t", 2, "1\n2\n3\n"},
      {"derived", Derived, "SELECT a FROM t WHERE a > 1", 0, "2\n3\n"},
      {"bracketed", Bracketed, "SELECT a FROM t", 1, "1\n2\n3\n"},
      {"exists", Exists, "SELECT a FROM t", 2, "1\n2\n3\n"},
      {"left scalar", LeftScalar, "SELECT a FROM t", 2, "1\n2\n3\n"},
  };
  for (const Case& c : cases) {
    for (int depth : {5, 30}) {
      SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(depth));
      const int64_t before = VelqorimSubqueryParseCount();
      EXPECT_EQ(Run(Nest(depth, c.Inner, c.Wrap)), c.Rows);
      ASSERT_EQ(VelqorimSubqueryParseCount() - before, int64_t{c.Subqueries} * depth);
    }
  }
}

// One bound covers the whole statement, subqueries and their expressions
// included: very deep nesting is a clear error, never a stack overflow.
TEST_F(VelqorimSQLChecks, DeepNestingIsRefused) {
  Run("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1)");
  struct Case {
    const char* Name;
    std::string Script;
  } cases[] = {
      {"derived", Nest(20000, "SELECT a FROM t", Derived)},
      {"parenthesised table", "SELECT a FROM " + std::string(20000, '(') + "t" + std::string(20000, ')')},
      {"union", Nest(20000, "SELECT 1", Union)},
      {"union chain", Nest(20000, "SELECT 1", {"", " UNION ALL SELECT 1"})},
      {"scalar", Nest(20000, "SELECT 1", Scalar)},
      {"in", Nest(20000, "SELECT a FROM t", InList)},
      {"expression in subqueries", Nest(300, "SELECT ((((((((1))))))))", Scalar)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string text;
    EXPECT_EQ(ErrorOf(c.Script, &text), 30520);
    EXPECT_NE(text.find("nested too deeply at line 1, column"), std::string::npos) << text;
  }
  // The bound leaves room for what people write.
  EXPECT_EQ(Run(Nest(100, "SELECT 1", Scalar)), "1\n");
  EXPECT_EQ(Run(Nest(100, "SELECT a FROM t", Derived)), "1\n");
  EXPECT_EQ(Run(Nest(60, "SELECT 1", Union)), "1\n");
}

}  // namespace

// Numbers past their range and a comment left open are the engine's errors
// with their place, not a library's message or a misleading later one.
TEST_F(VelqorimSQLChecks, MalformedTextIsNamed) {
  Run("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2)");
  struct Case {
    const char* Script;
    int Code;
    const char* Text;
  } cases[] = {
      {"SELECT TOP 99999999999999999999 a FROM t", 30158,
       "Integer expected, but '99999999999999999999' found at line 1, column 12"},
      {"SELECT TOP 1, 99999999999999999999 a FROM t", 30159,
       "Integer expected, but '99999999999999999999' found at line 1, column 15"},
      {"SELECT a FROM t ORDER BY 99999999999999999999", 30187,
       "ORDER BY column number 99999999999999999999 is out of range"},
      {"CREATE TABLE v (s VARCHAR(99999999999999999999))", 30238,
       "Integer expected, but '99999999999999999999' found at line 1, column 27"},
      {"SELECT a /* x FROM t", 30063, "Unterminated comment at line 1, column 10"},
      {"SELECT a FROM t;\n  /* the rest", 30063, "Unterminated comment at line 2, column 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Script);
    std::string text;
    EXPECT_EQ(ErrorOf(c.Script, &text), c.Code);
    EXPECT_EQ(text.substr(0, text.find(" - Native error")), c.Text);
  }
  EXPECT_EQ(Run("SELECT TOP 9223372036854775807 a FROM t /* closed */ ORDER BY 1"), "1\n2\n");
}

// A grouped select list gives one value per group: a group column, an
// aggregate, or a value computed from those; what is not is refused rather
// than taken from some row of the group.
TEST_F(VelqorimSQLChecks, GroupingChecksItsSelectList) {
  Run("CREATE TABLE t (a INTEGER, b INTEGER); INSERT INTO t VALUES (1, 10), (1, 20), (2, 30);"
      "CREATE TABLE u (a INTEGER, c INTEGER); INSERT INTO u VALUES (1, 5), (2, 6)");
  struct Refused {
    const char* Query;
    int Code;
  } refused[] = {
      {"SELECT a, b, COUNT(*) FROM t GROUP BY a", 10342},
      {"SELECT b, COUNT(*) FROM t", 10342},
      {"SELECT t.b, SUM(u.c) FROM t JOIN u ON t.a = u.a GROUP BY u.a", 10342},
      {"SELECT x, COUNT(*) FROM t GROUP BY a", 10341},
      {"SELECT a + b, COUNT(*) FROM t GROUP BY a", 20269},
      {"SELECT a, COUNT(*) FROM t GROUP BY zz", 20245},
      {"SELECT COUNT(*) AS n FROM t GROUP BY n", 20245},
      {"SELECT a FROM t HAVING COUNT(*) > 1", 20244},
      {"SELECT a FROM t WHERE COUNT(*) > 1", 30144},
      {"SELECT t.a FROM t JOIN u ON t.a = u.a AND COUNT(*) > 1", 20270},
  };
  for (const Refused& c : refused) {
    SCOPED_TRACE(c.Query);
    EXPECT_EQ(ErrorOf(c.Query), c.Code);
  }
  std::string text;
  ErrorOf("SELECT a, b FROM t GROUP BY a", &text);
  EXPECT_EQ(text.substr(0, text.find(" - Native")),
            "Field is not included in GROUP BY list. Table name = '', Field name = 'b', FieldNo = 1, "
            "Found field name = 'b'");
  struct Accepted {
    const char* Query;
    const char* Rows;
  } accepted[] = {
      {"SELECT a, COUNT(*), MAX(b) FROM t GROUP BY a ORDER BY a", "1|2|20\n2|1|30\n"},
      {"SELECT a + 1, 5, COUNT(*) FROM t GROUP BY a ORDER BY 1", "2|5|2\n3|5|1\n"},
      {"SELECT a AS k, COUNT(*) FROM t GROUP BY k ORDER BY k", "1|2\n2|1\n"},
      {"SELECT a * 2 AS d, SUM(b) FROM t GROUP BY d ORDER BY d", "2|30\n4|30\n"},
      {"SELECT a + 1, COUNT(*) FROM t GROUP BY a + 1 ORDER BY 1", "2|2\n3|1\n"},
      {"SELECT t.a, COUNT(*) FROM t GROUP BY a ORDER BY 1", "1|2\n2|1\n"},
      {"SELECT a, (SELECT c FROM u WHERE u.a = t.a) FROM t GROUP BY a ORDER BY a", "1|5\n2|6\n"},
      // Inside a subquery a column of the enclosing query is one value.
      {"SELECT a, (SELECT u.a + COUNT(*) FROM t) FROM u ORDER BY a", "1|4\n2|5\n"},
      {"SELECT COUNT(*) FROM t HAVING COUNT(*) > 2", "3\n"},
  };
  for (const Accepted& c : accepted) {
    SCOPED_TRACE(c.Query);
    EXPECT_EQ(Run(c.Query), c.Rows);
  }
}

// Whole-number arithmetic gives the exact result or the overflow error SUM
// gives, never a wrapped value.
TEST_F(VelqorimSQLChecks, IntegerArithmeticNeverWraps) {
  Run("CREATE TABLE n (i INTEGER, l LARGEINT, s SMALLINT);"
      "INSERT INTO n VALUES (2147483647, 9223372036854775807, 32767)");
  const char* overflows[] = {
      "SELECT i + i FROM n",     "SELECT i * 2 FROM n",          "SELECT l + 1 FROM n",
      "SELECT l * l FROM n",     "SELECT -(l + 0) - 2 FROM n",   "SELECT SUM(l) + SUM(l) FROM n",
      "SELECT s * s * s FROM n", "SELECT CAST(2147483647 AS INTEGER) * 2",
  };
  for (const char* q : overflows) {
    SCOPED_TRACE(q);
    std::string text;
    EXPECT_EQ(ErrorOf(q, &text), 30508);
    EXPECT_NE(text.find("Numeric overflow in function"), std::string::npos) << text;
  }
  EXPECT_EQ(ErrorOf("UPDATE n SET i = i + 1"), 30508);
  EXPECT_EQ(Run("SELECT i FROM n"), "2147483647\n");  // nothing was written
  EXPECT_EQ(Run("SELECT i - 1, l - 1, i / -1, -i, s + 1, i + 0.5 FROM n"),
            "2147483646|9223372036854775806|-2147483647|-2147483647|32768|2147483647.5\n");
}

// An 8-bit column keeps '?' for a character its code page lacks; that text
// is then no longer the one written, and compares as such.
TEST_F(VelqorimSQLChecks, TextOutsideTheCodePageStaysUnequal) {
  Run("CREATE TABLE s (s VARCHAR(10), k INTEGER);"
      "INSERT INTO s VALUES ('a\xCE\xA9', 1), ('a?', 2), ('\xC3\xA9t\xC3\xA9', 3)");
  for (const char* index : {"", "CREATE INDEX si ON s (s)"}) {
    SCOPED_TRACE(*index ? "indexed" : "not indexed");
    if (*index) Run(index);
    EXPECT_EQ(Run("SELECT k FROM s WHERE s = 'a\xCE\xA9'"), "");
    EXPECT_EQ(Run("SELECT k FROM s WHERE 'a\xCE\xA9' = s"), "");
    EXPECT_EQ(Run("SELECT k FROM s WHERE s IN ('a\xCE\xA9')"), "");
    EXPECT_EQ(Run("SELECT COUNT(*) FROM s WHERE s <> 'a\xCE\xA9'"), "3\n");
    EXPECT_EQ(Run("SELECT k FROM s WHERE s = 'a?' ORDER BY k"), "1\n2\n");
    // Characters the code page has still compare as written.
    EXPECT_EQ(Run("SELECT k FROM s WHERE s = '\xC3\xA9t\xC3\xA9'"), "3\n");
  }
}

// Names and records past what the engine stores are refused when the table
// is defined, not cut or failed on the first row.
TEST_F(VelqorimSQLChecks, DefinitionsWithinTheEnginesLimits) {
  const std::string name255(255, 'n'), name256(256, 'n');
  struct Case {
    std::string Script;
    int Code;
  } cases[] = {
      {"CREATE TABLE " + name256 + " (a INTEGER)", 30521},
      {"CREATE TABLE t (" + name256 + " INTEGER)", 30521},
      {"CREATE TABLE t (a VARCHAR(2000000000))", 20174},
      {"CREATE TABLE t (a WIDEVARCHAR(2000000000))", 20174},
      {"CREATE TABLE t (a VARCHAR(40000), b VARCHAR(40000))", 20174},
  };
  for (const Case& c : cases)
    for (const char* database : {"MEMORY", "TEMP"}) {
      SCOPED_TRACE(c.Script.substr(0, 60) + " in " + database);
      P->DatabaseName = database;
      std::string text;
      EXPECT_EQ(ErrorOf(c.Script, &text), c.Code) << text;
    }
  P->DatabaseName = "MEMORY";
  Run("CREATE TABLE " + name255 + " (" + name255 + " VARCHAR(60000))");
  Run("INSERT INTO " + name255 + " VALUES ('x')");
  EXPECT_EQ(Run("SELECT " + name255 + " FROM " + name255), "x\n");
  std::string text;
  ErrorOf("SELECT a FROM " + name256, &text);
  EXPECT_NE(text.find("is longer than 255 characters at line 1, column 15"), std::string::npos) << text;
}
