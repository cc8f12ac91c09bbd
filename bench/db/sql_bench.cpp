// SQL on the in-memory engine against SQLite's in-memory database, the same
// statements through both in one program: 10,000 single-row INSERT statements,
// 1,000 point lookups by an indexed key, 1,000 by an indexed text key, a join of two 10,000-row tables on an
// indexed key, GROUP BY with aggregates over 100,000 rows, and ORDER BY over
// 100,000 rows. Both sides parse every statement from its text. Rounds
// alternate between the two; min and median per phase and the ratio
// engine / SQLite are printed. Each phase's answer is compared between the two.

#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"

namespace {

constexpr int SmallRows = 10000, BigRows = 100000, Lookups = 1000;
constexpr int PhaseCount = 6;
const char* const PhaseNames[PhaseCount] = {"10,000 INSERT statements", "1,000 indexed point lookups",
                                            "1,000 point lookups by an indexed text key",
                                            "join 10,000 x 10,000 on an indexed key",
                                            "GROUP BY with aggregates over 100,000 rows",
                                            "ORDER BY over 100,000 rows"};

struct TData {
  std::vector<std::string> Inserts;  // into a
  std::string LoadB, LoadBig, LoadC;  // multi-row inserts, not timed
  std::vector<std::string> Lookups, TextLookups;
};

// The text key of row I of table c.
std::string TextKey(int I) { return "key" + std::to_string((I * 7919) % SmallRows); }

TData MakeData() {
  TData d;
  std::mt19937 rnd(20261211);
  for (int i = 0; i < SmallRows; ++i)
    d.Inserts.push_back("INSERT INTO a VALUES (" + std::to_string((i * 7919) % SmallRows) + ", " +
                        std::to_string(rnd() % 1000) + ")");
  auto multi = [&](const char* table, int rows, auto row) {
    std::string s;
    for (int i = 0; i < rows; i += 1000) {
      s += std::string("INSERT INTO ") + table + " VALUES ";
      for (int k = i; k < i + 1000 && k < rows; ++k) s += (k > i ? ", " : "") + row(k);
      s += ";";
    }
    return s;
  };
  d.LoadB = multi("b", SmallRows, [&](int i) {
    return "(" + std::to_string((i * 31) % SmallRows) + ", " + std::to_string(rnd() % 1000) + ")";
  });
  d.LoadBig = multi("big", BigRows, [&](int i) {
    return "(" + std::to_string(i) + ", " + std::to_string(rnd() % 100) + ", " + std::to_string(rnd() % 100000) + ")";
  });
  d.LoadC = multi("c", SmallRows, [&](int i) { return "('" + TextKey(i) + "', " + std::to_string(i) + ")"; });
  for (int i = 0; i < Lookups; ++i)
    d.Lookups.push_back("SELECT v FROM a WHERE id = " + std::to_string(rnd() % SmallRows));
  for (int i = 0; i < Lookups; ++i)
    d.TextLookups.push_back("SELECT v FROM c WHERE name = '" + TextKey(static_cast<int>(rnd() % SmallRows)) + "'");
  return d;
}

const char* const Schema =
    "CREATE TABLE a (id INTEGER, v INTEGER); CREATE INDEX ai ON a (id);"
    "CREATE TABLE b (id INTEGER, w INTEGER); CREATE INDEX bi ON b (id);"
    "CREATE TABLE big (id INTEGER, grp INTEGER, val INTEGER);"
    "CREATE TABLE c (name VARCHAR(20), v INTEGER); CREATE INDEX cn ON c (name)";
const char* const JoinQuery = "SELECT a.id, a.v, b.w FROM a JOIN b ON a.id = b.id";
const char* const GroupQuery = "SELECT grp, COUNT(*), SUM(val), MIN(val), MAX(val) FROM big GROUP BY grp";
const char* const OrderQuery = "SELECT id, val FROM big ORDER BY val DESC, id";

struct TRound {
  double Seconds[PhaseCount] = {};
  int64_t Check[PhaseCount] = {};  // both sides must agree
};

// A digest of result rows of integers.
int64_t Digest(int64_t h, int64_t v) { return h * 1000003 + v; }

TRound RunEngine(const TData& D) {
  TRound r;
  TVelqorimSQLProcessor p;
  auto exec = [&](const std::string& sql) {
    p.PrepareStatement(sql);
    return p.OpenQuery();
  };
  exec("DROP TABLE a; DROP TABLE b; DROP TABLE big; DROP TABLE c");
  exec(Schema);
  exec(D.LoadB);
  exec(D.LoadBig);
  exec(D.LoadC);
  auto digest = [&](TVelqorimAOBase* res, int64_t& into) {
    for (auto& row : res->Rows)
      for (size_t i = 0; i < res->Columns.size(); ++i)
        if (!res->Columns[i].Hidden) into = Digest(into, row[i].GetAsInt64());
  };
  r.Seconds[0] = bench::Time([&] {
    for (const auto& s : D.Inserts) exec(s);
  });
  r.Seconds[1] = bench::Time([&] {
    for (const auto& s : D.Lookups) digest(exec(s), r.Check[1]);
  });
  r.Seconds[2] = bench::Time([&] {
    for (const auto& s : D.TextLookups) digest(exec(s), r.Check[2]);
  });
  int64_t rows = 0;
  r.Seconds[3] = bench::Time([&] {
    TVelqorimAOBase* res = exec(JoinQuery);
    rows = static_cast<int64_t>(res->Rows.size());
    for (auto& row : res->Rows) r.Check[3] += row[0].GetAsInt64() * 3 + row[1].GetAsInt64() * 7 + row[2].GetAsInt64();
  });
  r.Check[3] = Digest(r.Check[3], rows);
  r.Seconds[4] = bench::Time([&] {
    TVelqorimAOBase* res = exec(std::string(GroupQuery) + " ORDER BY grp");
    digest(res, r.Check[4]);
  });
  r.Seconds[5] = bench::Time([&] { digest(exec(OrderQuery), r.Check[5]); });
  exec("DROP TABLE a; DROP TABLE b; DROP TABLE big; DROP TABLE c");
  return r;
}

void Check(int Result, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Result != Expected) bench::Die(std::string("sqlite: ") + sqlite3_errmsg(Db));
}

TRound RunSQLite(const TData& D) {
  TRound r;
  sqlite3* db = nullptr;
  Check(sqlite3_open(":memory:", &db), db);
  auto exec = [&](const std::string& sql) { Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db); };
  exec(Schema);
  exec("BEGIN;" + D.LoadB + D.LoadBig + D.LoadC + "COMMIT");
  // Every row of a statement's result, parsed from its text as the engine does.
  auto query = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    Check(rc, db, SQLITE_DONE);
    sqlite3_finalize(st);
  };
  auto digest = [&](int64_t& into) {
    return [&into](sqlite3_stmt* st) {
      for (int i = 0; i < sqlite3_column_count(st); ++i) into = Digest(into, sqlite3_column_int64(st, i));
    };
  };
  r.Seconds[0] = bench::Time([&] {
    for (const auto& s : D.Inserts) exec(s);
  });
  r.Seconds[1] = bench::Time([&] {
    for (const auto& s : D.Lookups) query(s, digest(r.Check[1]));
  });
  r.Seconds[2] = bench::Time([&] {
    for (const auto& s : D.TextLookups) query(s, digest(r.Check[2]));
  });
  int64_t rows = 0;
  r.Seconds[3] = bench::Time([&] {
    query(JoinQuery, [&](sqlite3_stmt* st) {
      rows++;
      r.Check[3] += sqlite3_column_int64(st, 0) * 3 + sqlite3_column_int64(st, 1) * 7 + sqlite3_column_int64(st, 2);
    });
  });
  r.Check[3] = Digest(r.Check[3], rows);
  r.Seconds[4] = bench::Time([&] { query(std::string(GroupQuery) + " ORDER BY grp", digest(r.Check[4])); });
  r.Seconds[5] = bench::Time([&] { query(OrderQuery, digest(r.Check[5])); });
  sqlite3_close(db);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  VelqorimMainInitialize();
  const TData data = MakeData();
  bench::PrintLoad("before");
  std::vector<double> e[PhaseCount], s[PhaseCount], ratio[PhaseCount];
  for (int round = 0; round < rounds; ++round) {
    const TRound a = RunEngine(data);
    const TRound b = RunSQLite(data);
    for (int p = 0; p < PhaseCount; ++p) {
      if (a.Check[p] != b.Check[p]) bench::Die(std::string("the two sides answer differently: ") + PhaseNames[p]);
      e[p].push_back(a.Seconds[p] * 1000);
      s[p].push_back(b.Seconds[p] * 1000);
      ratio[p].push_back(a.Seconds[p] / b.Seconds[p]);
    }
  }
  for (int p = 0; p < PhaseCount; ++p) {
    std::printf("%s\n", PhaseNames[p]);
    bench::PrintSpread("engine (MEMORY)", e[p], " ms");
    bench::PrintSpread("SQLite (:memory:)", s[p], " ms");
    bench::PrintSpread("ratio engine / SQLite", ratio[p]);
  }
  bench::PrintLoad("after");
  VelqorimMainFinalize();
  return 0;
}
