// The same generated tables and queries on this engine and on SQLite, rows
// compared as sorted lists. The queries keep to what both dialects answer
// alike: no NULL data or literals, lower-case ASCII text, integer and float
// columns, no division, DISTINCT set operations, ORDER BY by ordinal. Every
// query runs once on tables without indexes and once after indexes are made.
// TARNWICK_DIFF_SEEDS=<n> runs n seeds instead of the few CI runs.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "db/sql/VelqorimMain.h"
#include "db/support/DAZExcept.h"
#include "tests/db/tools/SQLShell.h"

namespace {

using Rows = std::vector<std::string>;

std::string Number(double v) {
  if (v == 0) v = 0;  // no "-0"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

class Generator {
 public:
  explicit Generator(uint32_t Seed) : rng(Seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[static_cast<size_t>(Int(0, static_cast<int>(v.size()) - 1))]; }

  std::string Word() { return Pick(words); }
  std::string FloatText() { return Number(Int(-40, 40) / 4.0); }

  // Tables: t1(a, b INTEGER, c FLOAT, d VARCHAR), t2(a, e INTEGER, f VARCHAR).
  std::vector<std::string> Schema() {
    std::vector<std::string> s = {"CREATE TABLE t1 (a INTEGER, b INTEGER, c FLOAT, d VARCHAR(10))",
                                  "CREATE TABLE t2 (a INTEGER, e INTEGER, f VARCHAR(10))"};
    for (int i = Int(0, 25); i > 0; --i)
      s.push_back("INSERT INTO t1 VALUES (" + std::to_string(Int(0, 12)) + ", " + std::to_string(Int(-20, 20)) + ", " +
                  FloatText() + ", '" + Word() + "')");
    for (int i = Int(0, 25); i > 0; --i)
      s.push_back("INSERT INTO t2 VALUES (" + std::to_string(Int(0, 12)) + ", " + std::to_string(Int(-20, 20)) +
                  ", '" + Word() + "')");
    return s;
  }
  static std::vector<std::string> Indexes() {
    return {"CREATE INDEX i1a ON t1 (a)", "CREATE INDEX i1bd ON t1 (b, d)", "CREATE INDEX i1c ON t1 (c DESC)",
            "CREATE INDEX i1d ON t1 (d DESC)", "CREATE INDEX i2a ON t2 (a)", "CREATE INDEX i2f ON t2 (f)"};
  }

  // A column of table t (1 or 2), qualified with q when not empty: kind 'i', 'f' or 's'.
  std::string Column(int t, char kind, const std::string& q) {
    std::vector<std::string> c;
    if (t == 1) c = kind == 'i' ? std::vector<std::string>{"a", "b"} : kind == 'f' ? std::vector<std::string>{"c"}
                                                                                   : std::vector<std::string>{"d"};
    else c = kind == 'i' ? std::vector<std::string>{"a", "e"} : std::vector<std::string>{"f"};
    return (q.empty() ? "" : q + ".") + Pick(c);
  }
  std::string Constant(char kind) {
    if (kind == 'i') return std::to_string(Int(-20, 20));
    if (kind == 'f') return FloatText();
    // Text between and beyond the stored words, and longer than the columns, bounds index ranges too.
    std::string w = Word();
    switch (Int(0, 5)) {
      case 0: w = w.substr(0, static_cast<size_t>(Int(1, static_cast<int>(w.size())))); break;
      case 1: w += "z"; break;
      case 2: w += "andsomemore"; break;
      default: break;
    }
    return "'" + w + "'";
  }
  char Kind(int t) { return t == 1 ? Pick(std::vector<char>{'i', 'i', 'f', 's'}) : Pick(std::vector<char>{'i', 'i', 's'}); }
  std::string Value(int t, char kind, const std::string& q, int depth = 0) {
    if (kind == 's' || depth > 1 || Chance(50)) return Column(t, kind, q);
    const std::string op = Pick(std::vector<std::string>{"+", "-", "*"});
    return "(" + Value(t, kind, q, depth + 1) + " " + op + " " + (Chance(50) ? Constant(kind) : Value(t, kind, q, depth + 1)) + ")";
  }
  std::string Predicate(int t, const std::string& q) {
    const char k = Kind(t);
    switch (Int(0, 5)) {
      case 0: {
        std::vector<std::string> items;
        for (int i = Int(1, 4); i > 0; --i) items.push_back(Constant(k));
        std::string s = Column(t, k, q) + (Chance(30) ? " NOT IN (" : " IN (");
        for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + items[i];
        return s + ")";
      }
      case 1: {
        if (k == 's') return Column(t, k, q) + " = " + Constant(k);
        std::string lo = Constant(k), hi = Constant(k);
        return Value(t, k, q) + (Chance(30) ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi;
      }
      case 2: return Column(t, k, q) + " " + Op() + " " + Column(t, k, q);
      default: return Value(t, k, q) + " " + Op() + " " + Constant(k);
    }
  }
  std::string Op() { return Pick(std::vector<std::string>{"=", "<>", "<", "<=", ">", ">="}); }
  std::string Condition(int t, const std::string& q, int depth = 0) {
    if (depth > 1 || Chance(45)) return Predicate(t, q);
    const int w = Int(0, 2);
    if (w == 0) return "NOT (" + Condition(t, q, depth + 1) + ")";
    return "(" + Condition(t, q, depth + 1) + (w == 1 ? " AND " : " OR ") + Condition(t, q, depth + 1) + ")";
  }

  std::string Query() {
    switch (Int(0, 8)) {
      case 0: return "SELECT a, b, c, d FROM t1 WHERE " + Condition(1, "");
      case 1: return "SELECT DISTINCT " + Column(1, Kind(1), "") + " FROM t1 WHERE " + Condition(1, "");
      case 2: {
        const int t = Chance(50) ? 1 : 2;
        return "SELECT t1.b, t2.e, t2.f FROM t1, t2 WHERE t1.a = t2.a AND " + Condition(t, t == 1 ? "t1" : "t2");
      }
      case 3: {
        const bool left = Chance(50);
        return std::string("SELECT t1.a, t1.d, t2.e FROM t1 JOIN t2 ON t1.a = t2.a") +
               (left ? " WHERE " + Condition(1, "t1") : " WHERE " + Condition(2, "t2"));
      }
      case 4: {
        const char k = Kind(1);
        return "SELECT " + Column(1, k, "") + ", COUNT(*), SUM(b), MIN(c), MAX(d) FROM t1 WHERE " + Condition(1, "") +
               " GROUP BY 1";
      }
      case 5: {
        const std::string op = Pick(std::vector<std::string>{"UNION", "EXCEPT", "INTERSECT", "UNION ALL"});
        return "SELECT a FROM t1 WHERE " + Condition(1, "") + " " + op + " SELECT a FROM t2 WHERE " + Condition(2, "");
      }
      case 6: return "SELECT a, b FROM t1 WHERE a IN (SELECT a FROM t2 WHERE " + Condition(2, "") + ")";
      case 7:
        return "SELECT b FROM t1 WHERE " + std::string(Chance(30) ? "NOT " : "") +
               "EXISTS (SELECT * FROM t2 WHERE t2.a = t1.a AND " + Condition(2, "t2") + ")";
      default:
        return "SELECT " + Value(1, 'i', "") + ", " + Value(1, 'f', "") + " FROM t1 WHERE " + Condition(1, "") +
               " ORDER BY 1";
    }
  }

 private:
  std::mt19937 rng;
  std::vector<std::string> words = {"apple", "bear", "cat", "dog", "eel", "fig", "goat", "hat", "ink", "jam"};
};

std::string GroupByName(const std::string& Sql) {
  // Both dialects take GROUP BY <column>; the ordinal is SQLite's reading only.
  const size_t at = Sql.find(" GROUP BY 1");
  if (at == std::string::npos) return Sql;
  const size_t from = Sql.find("SELECT ") + 7, comma = Sql.find(',', from);
  return Sql.substr(0, at) + " GROUP BY " + Sql.substr(from, comma - from);
}

struct Sqlite {
  Sqlite() { sqlite3_open(":memory:", &db); }
  ~Sqlite() { sqlite3_close(db); }
  void Exec(const std::string& Sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string e = err ? err : "?";
      sqlite3_free(err);
      throw std::runtime_error("sqlite: " + e + ": " + Sql);
    }
  }
  Rows Query(const std::string& Sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, Sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db) + ": " + Sql);
    Rows rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string r;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        if (i) r += "|";
        switch (sqlite3_column_type(st, i)) {
          case SQLITE_NULL: r += "NULL"; break;
          case SQLITE_INTEGER:
          case SQLITE_FLOAT: r += Number(sqlite3_column_double(st, i)); break;
          default: r += reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        }
      }
      rows.push_back(r);
    }
    sqlite3_finalize(st);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  sqlite3* db = nullptr;
};

Rows Ours(TVelqorimSQLProcessor& P, const std::string& Sql) {
  P.PrepareStatement(Sql);
  TVelqorimAOBase* res = P.OpenQuery();
  Rows rows;
  for (auto& row : res->Rows) {
    std::string r;
    bool first = true;
    for (size_t i = 0; i < res->Columns.size(); ++i) {
      if (res->Columns[i].Hidden) continue;
      if (!first) r += "|";
      first = false;
      const TABSVariant& v = row[i];
      if (v.IsNull()) r += "NULL";
      else if (v.IsNumericDataType()) r += Number(v.GetAsDouble());
      else r += sqlshell::ValueText(v);
    }
    rows.push_back(r);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

struct Outcome {
  int Queries = 0;
  std::vector<std::string> Failures;
};

void RunSeed(uint32_t Seed, int QueryCount, Outcome& Out) {
  Generator g(Seed);
  Sqlite lite;
  TVelqorimSQLProcessor p;
  std::vector<std::string> queries;
  for (int i = 0; i < QueryCount; ++i) queries.push_back(g.Query());
  p.PrepareStatement("DROP TABLE t1; DROP TABLE t2");
  p.ExecuteQuery();
  for (const std::string& s : g.Schema()) {
    lite.Exec(s);
    p.PrepareStatement(s);
    p.ExecuteQuery();
  }
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1)
      for (const std::string& s : Generator::Indexes()) {
        lite.Exec(s);
        p.PrepareStatement(s);
        p.ExecuteQuery();
      }
    for (const std::string& q : queries) {
      Out.Queries++;
      const std::string ours = GroupByName(q);
      Rows expected = lite.Query(q), got;
      std::string err;
      try {
        got = Ours(p, ours);
      } catch (const Exception& e) {
        err = e.Message;
      }
      if (!err.empty() || got != expected) {
        std::string why = "seed " + std::to_string(Seed) + (pass ? " (indexed)" : "") + ": " + ours + "\n";
        if (!err.empty()) why += "  error: " + err + "\n";
        why += "  sqlite:";
        for (size_t i = 0; i < expected.size() && i < 8; ++i) why += " [" + expected[i] + "]";
        why += "\n  ours:  ";
        for (size_t i = 0; i < got.size() && i < 8; ++i) why += " [" + got[i] + "]";
        Out.Failures.push_back(why);
      }
    }
  }
}

TEST(SqliteDifferential, GeneratedQueriesAgree) {
  int seeds = 6, perSeed = 300;
  if (const char* env = std::getenv("TARNWICK_DIFF_SEEDS")) seeds = std::max(1, std::atoi(env));
  VelqorimMainInitialize();
  Outcome out;
  for (int s = 1; s <= seeds; ++s) RunSeed(static_cast<uint32_t>(s), perSeed, out);
  VelqorimMainFinalize();
  std::printf("differential: %d queries, %zu differ\n", out.Queries, out.Failures.size());
  for (size_t i = 0; i < out.Failures.size() && i < 10; ++i) ADD_FAILURE() << out.Failures[i];
  EXPECT_TRUE(out.Failures.empty());
}

}  // namespace
