// SQL through the SQL processor against the same SQL text through SQLite, in
// one program, on two targets: the in-memory engine against SQLite's
// :memory:, and a database file (COMMIT without FLUSH) against an SQLite
// file with its default journal. Phases: 10,000 single-row INSERT statements
// (in one transaction on the files), 100,000 single-row INSERT statements in
// one transaction, COUNT(*) over 100,000 rows, point lookups by an indexed
// integer key and by an indexed text key, a join of 100,000 x 10,000 rows on
// an indexed key, GROUP BY with aggregates over 100,000 rows, and ORDER BY
// over 100,000 rows. Both sides parse every statement from its text. Rounds
// alternate between the two; min and median per phase and the median of the
// ratios engine / SQLite are printed. Each phase's answer is compared
// between the two.
//
// db_sql_bench [rounds] [memory|file|both]

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"

namespace {

constexpr int SmallRows = 10000, BigRows = 100000, Lookups = 1000, Counts = 100;
constexpr int PhaseCount = 8;
const char* const PhaseNames[PhaseCount] = {"10,000 INSERT statements",
                                            "100,000 INSERT statements in one transaction",
                                            "100 x COUNT(*) over 100,000 rows",
                                            "1,000 indexed point lookups",
                                            "1,000 point lookups by an indexed text key",
                                            "join 100,000 x 10,000 on an indexed key",
                                            "GROUP BY with aggregates over 100,000 rows",
                                            "ORDER BY over 100,000 rows"};

struct TData {
  std::vector<std::string> Inserts;     // into a
  std::vector<std::string> BigInserts;  // into big
  std::string LoadB, LoadC;             // multi-row inserts, not timed
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
  for (int i = 0; i < BigRows; ++i)
    d.BigInserts.push_back("INSERT INTO big VALUES (" + std::to_string(i) + ", " + std::to_string(rnd() % 100) + ", " +
                           std::to_string(rnd() % 100000) + ", " + std::to_string(rnd() % SmallRows) + ")");
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
    "CREATE TABLE big (id INTEGER, grp INTEGER, val INTEGER, ref INTEGER);"
    "CREATE TABLE c (name VARCHAR(20), v INTEGER); CREATE INDEX cn ON c (name)";
const char* const CountQuery = "SELECT COUNT(*) FROM big";
const char* const JoinQuery = "SELECT big.id, big.val, b.w FROM big JOIN b ON big.ref = b.id";
const char* const GroupQuery = "SELECT grp, COUNT(*), SUM(val), MIN(val), MAX(val) FROM big GROUP BY grp ORDER BY grp";
const char* const OrderQuery = "SELECT id, val FROM big ORDER BY val DESC, id";

struct TRound {
  double Seconds[PhaseCount] = {};
  int64_t Check[PhaseCount] = {};  // both sides must agree
};

// A digest of result rows of integers.
int64_t Digest(int64_t h, int64_t v) { return h * 1000003 + v; }

// The statements of every phase, written once for both engines: Exec runs
// a statement, Query runs one and hands each row's integers to a digest.
struct TSide {
  std::function<void(const std::string&)> Exec;
  std::function<void(const std::string&, int64_t& Digest)> Query;
  std::function<void(const std::string&, const std::function<void(int64_t, int64_t, int64_t)>&)> Query3;
  // The two dialects spell the start of a transaction differently; empty
  // where there are none (the in-memory engine keeps no transactions).
  std::string Begin;
};

TRound RunPhases(const TData& D, TSide& S) {
  TRound r;
  auto begin = [&] {
    if (!S.Begin.empty()) S.Exec(S.Begin);
  };
  auto commit = [&] {
    if (!S.Begin.empty()) S.Exec("COMMIT");
  };
  r.Seconds[0] = bench::Time([&] {
    begin();
    for (const auto& s : D.Inserts) S.Exec(s);
    commit();
  });
  r.Seconds[1] = bench::Time([&] {
    begin();
    for (const auto& s : D.BigInserts) S.Exec(s);
    commit();
  });
  r.Seconds[2] = bench::Time([&] {
    for (int i = 0; i < Counts; ++i) S.Query(CountQuery, r.Check[2]);
  });
  r.Seconds[3] = bench::Time([&] {
    for (const auto& s : D.Lookups) S.Query(s, r.Check[3]);
  });
  r.Seconds[4] = bench::Time([&] {
    for (const auto& s : D.TextLookups) S.Query(s, r.Check[4]);
  });
  int64_t rows = 0;
  r.Seconds[5] = bench::Time([&] {
    S.Query3(JoinQuery, [&](int64_t a, int64_t b, int64_t c) {
      rows++;
      r.Check[5] += a * 3 + b * 7 + c;
    });
  });
  r.Check[5] = Digest(r.Check[5], rows);
  r.Seconds[6] = bench::Time([&] { S.Query(GroupQuery, r.Check[6]); });
  r.Seconds[7] = bench::Time([&] { S.Query(OrderQuery, r.Check[7]); });
  return r;
}

const char* const Drop = "DROP TABLE a; DROP TABLE b; DROP TABLE big; DROP TABLE c";

TRound RunEngine(const TData& D, const std::string& File) {
  std::unique_ptr<TVelqorimDatabase> database;
  TVelqorimSQLProcessor p;
  if (!File.empty()) {
    database = std::make_unique<TVelqorimDatabase>(nullptr);
    database->SetDatabaseName("BENCHDB");
    database->SetDatabaseFileName(File);
    database->CreateDatabase();
    database->Open();
    p.DatabaseName = "BENCHDB";
  }
  auto exec = [&](const std::string& sql) {
    p.PrepareStatement(sql);
    return p.OpenQuery();
  };
  exec(Drop);
  exec(Schema);
  exec(D.LoadB);
  exec(D.LoadC);
  TSide side;
  if (!File.empty()) side.Begin = "START TRANSACTION";
  side.Exec = [&](const std::string& sql) { exec(sql); };
  side.Query = [&](const std::string& sql, int64_t& into) {
    TVelqorimAOBase* res = exec(sql);
    for (auto& row : res->Rows)
      for (size_t i = 0; i < res->Columns.size(); ++i)
        if (!res->Columns[i].Hidden) into = Digest(into, row[i].GetAsInt64());
  };
  side.Query3 = [&](const std::string& sql, const std::function<void(int64_t, int64_t, int64_t)>& row) {
    TVelqorimAOBase* res = exec(sql);
    for (auto& r : res->Rows) row(r[0].GetAsInt64(), r[1].GetAsInt64(), r[2].GetAsInt64());
  };
  const TRound r = RunPhases(D, side);
  exec(Drop);
  if (database) {
    database->Close();
    database.reset();
    std::remove(File.c_str());
  }
  return r;
}

void Check(int Result, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Result != Expected) bench::Die(std::string("sqlite: ") + sqlite3_errmsg(Db));
}

TRound RunSQLite(const TData& D, const std::string& File) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(File.empty() ? ":memory:" : File.c_str(), &db), db);
  auto exec = [&](const std::string& sql) { Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db); };
  exec(Schema);
  exec("BEGIN;" + D.LoadB + D.LoadC + "COMMIT");
  // Every row of a statement's result, parsed from its text as the engine does.
  auto query = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    Check(rc, db, SQLITE_DONE);
    sqlite3_finalize(st);
  };
  TSide side;
  if (!File.empty()) side.Begin = "BEGIN TRANSACTION";
  side.Exec = exec;
  side.Query = [&](const std::string& sql, int64_t& into) {
    query(sql, [&](sqlite3_stmt* st) {
      for (int i = 0; i < sqlite3_column_count(st); ++i) into = Digest(into, sqlite3_column_int64(st, i));
    });
  };
  side.Query3 = [&](const std::string& sql, const std::function<void(int64_t, int64_t, int64_t)>& row) {
    query(sql, [&](sqlite3_stmt* st) {
      row(sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1), sqlite3_column_int64(st, 2));
    });
  };
  const TRound r = RunPhases(D, side);
  sqlite3_close(db);
  if (!File.empty()) {
    std::remove(File.c_str());
    std::remove((File + "-journal").c_str());
  }
  return r;
}

void RunTarget(const TData& Data, int Rounds, bool OnFile) {
  bench::TScratchFolder folder("tarnwick-sql-bench");
  const std::string ours = OnFile ? (folder.Path() / "bench.vdb").string() : std::string();
  const std::string theirs = OnFile ? (folder.Path() / "bench.sqlite").string() : std::string();
  std::vector<double> e[PhaseCount], s[PhaseCount], ratio[PhaseCount];
  for (int round = 0; round < Rounds; ++round) {
    const TRound a = RunEngine(Data, ours);
    const TRound b = RunSQLite(Data, theirs);
    for (int p = 0; p < PhaseCount; ++p) {
      if (a.Check[p] != b.Check[p]) bench::Die(std::string("the two sides answer differently: ") + PhaseNames[p]);
      e[p].push_back(a.Seconds[p] * 1000);
      s[p].push_back(b.Seconds[p] * 1000);
      ratio[p].push_back(a.Seconds[p] / b.Seconds[p]);
    }
  }
  std::printf("== %s\n", OnFile ? "database file (COMMIT) against an SQLite file (default journal)"
                                 : "MEMORY against SQLite :memory:");
  for (int p = 0; p < PhaseCount; ++p) {
    std::printf("%s\n", PhaseNames[p]);
    bench::PrintSpread(OnFile ? "engine (file)" : "engine (MEMORY)", e[p], " ms");
    bench::PrintSpread(OnFile ? "SQLite (file)" : "SQLite (:memory:)", s[p], " ms");
    bench::PrintSpread("ratio engine / SQLite", ratio[p]);
  }
  std::printf("summary (median ratio engine / SQLite over %d rounds):\n", Rounds);
  for (int p = 0; p < PhaseCount; ++p)
    std::printf("  %-46s %7.2f\n", PhaseNames[p], bench::Spread(ratio[p]).Median);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string which = argc > 2 ? argv[2] : "both";
  VelqorimMainInitialize();
  const TData data = MakeData();
  bench::PrintLoad("before");
  if (which != "file") RunTarget(data, rounds, false);
  if (which != "memory") RunTarget(data, rounds, true);
  bench::PrintLoad("after");
  VelqorimMainFinalize();
  return 0;
}
