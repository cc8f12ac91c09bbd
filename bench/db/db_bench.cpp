// The in-memory engine against SQLite's in-memory database, the same work on
// both in one program: 100,000 inserts into a table indexed on its key (keys in
// a shuffled order), 100,000 point lookups through the index, and a full scan
// in key order. Rounds alternate between the two; min and median per phase
// and the ratio engine / SQLite of each are printed.
//
// SQLite inserts inside one transaction, its usual bulk path; the engine
// applies every insert at once (its in-memory database has no transactions).

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench/BenchUtil.h"
#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimLocalEngine.h"

namespace {

constexpr int RowCount = 100000;

struct TPhases {
  double Insert = 0, Lookup = 0, Scan = 0;
  int64_t Checksum = 0;  // both sides must agree
};

TPhases RunEngine(const std::vector<int32_t>& Keys, const std::vector<int32_t>& Probes) {
  TPhases t;
  TVelqorimLocalSession session;
  session.DatabaseName = "MEMORY";
  session.SetConnected(true);
  TVelqorimLocalCursor cursor;
  cursor.Session = &session;
  cursor.TableName = "bench";
  TVelqorimFieldDefs fields;
  for (const char* name : {"id", "val"}) {
    auto* d = fields.AddCreated();
    d->Name = name;
    d->SetFieldDefDataType(aftInteger, 0);
  }
  TVelqorimIndexDefs indexes;
  auto* index = indexes.AddCreated();
  index->Name = "ById";
  index->SetColumnCount(1);
  index->GetIndexColumn(0).FieldName = "id";
  TVelqorimConstraintDefs constraints;
  cursor.CreateTable(fields, indexes, constraints);
  cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  uint8_t* record = cursor.AllocateRecordBuffer();
  cursor.CurrentRecordBuffer = record;
  TABSVariant v;

  t.Insert = bench::Time([&] {
    for (int32_t key : Keys) {
      cursor.InternalInitRecord(record, true);
      v.SetAsInteger(key);
      cursor.SetFieldValue(v, 0, true);
      v.SetAsInteger(key * 3);
      cursor.SetFieldValue(v, 1, true);
      cursor.InternalPost(true);
      if (cursor.ErrorCode != 0) bench::Die("engine insert failed");
    }
  });

  cursor.SetIndexName("ById");
  cursor.KeyBuffer = cursor.AllocateKeyRecordBuffer();
  cursor.InternalInitKeyBuffer(cursor.KeyBuffer);
  cursor.KeyFieldCount = 1;
  t.Lookup = bench::Time([&] {
    for (int32_t key : Probes) {
      v.SetAsInteger(key);
      cursor.SetFieldValue(v, 0, true, cursor.KeyBuffer);
      if (!cursor.FindKey(scEqual) || cursor.GetRecordBuffer(grmCurrent) != grrOK) bench::Die("engine lookup failed");
      int32_t val;
      std::memcpy(&val, record + cursor.FieldDefs[1]->MemoryOffset, 4);
      t.Checksum += val;
    }
  });

  t.Scan = bench::Time([&] {
    cursor.InternalFirst();
    int32_t previous = INT32_MIN;
    int rows = 0;
    while (cursor.GetRecordBuffer(grmNext) == grrOK) {
      int32_t id, val;
      std::memcpy(&id, record + cursor.FieldDefs[0]->MemoryOffset, 4);
      std::memcpy(&val, record + cursor.FieldDefs[1]->MemoryOffset, 4);
      if (id < previous) bench::Die("engine scan out of order");
      previous = id;
      t.Checksum += val;
      ++rows;
    }
    if (rows != RowCount) bench::Die("engine scan lost rows");
  });

  cursor.FreeRecordBuffer(cursor.KeyBuffer);
  cursor.CloseTable();
  cursor.DeleteTable();
  cursor.FreeRecordBuffer(record);
  return t;
}

void Check(int Result, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Result != Expected) bench::Die(std::string("sqlite: ") + sqlite3_errmsg(Db));
}

TPhases RunSQLite(const std::vector<int32_t>& Keys, const std::vector<int32_t>& Probes) {
  TPhases t;
  sqlite3* db = nullptr;
  Check(sqlite3_open(":memory:", &db), db);
  Check(sqlite3_exec(db, "CREATE TABLE bench(id INTEGER, val INTEGER); CREATE INDEX ById ON bench(id);", nullptr,
                     nullptr, nullptr),
        db);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO bench(id, val) VALUES(?, ?)", -1, &insert, nullptr), db);
  t.Insert = bench::Time([&] {
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    for (int32_t key : Keys) {
      sqlite3_bind_int(insert, 1, key);
      sqlite3_bind_int(insert, 2, key * 3);
      Check(sqlite3_step(insert), db, SQLITE_DONE);
      sqlite3_reset(insert);
    }
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  });
  sqlite3_finalize(insert);

  sqlite3_stmt* lookup = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT val FROM bench WHERE id = ?", -1, &lookup, nullptr), db);
  t.Lookup = bench::Time([&] {
    for (int32_t key : Probes) {
      sqlite3_bind_int(lookup, 1, key);
      Check(sqlite3_step(lookup), db, SQLITE_ROW);
      t.Checksum += sqlite3_column_int(lookup, 0);
      sqlite3_reset(lookup);
    }
  });
  sqlite3_finalize(lookup);

  sqlite3_stmt* scan = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT id, val FROM bench ORDER BY id", -1, &scan, nullptr), db);
  t.Scan = bench::Time([&] {
    int32_t previous = INT32_MIN;
    int rows = 0;
    int r;
    while ((r = sqlite3_step(scan)) == SQLITE_ROW) {
      const int32_t id = sqlite3_column_int(scan, 0);
      if (id < previous) bench::Die("sqlite scan out of order");
      previous = id;
      t.Checksum += sqlite3_column_int(scan, 1);
      ++rows;
    }
    Check(r, db, SQLITE_DONE);
    if (rows != RowCount) bench::Die("sqlite scan lost rows");
  });
  sqlite3_finalize(scan);
  sqlite3_close(db);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  VelqorimMainInitialize();
  std::mt19937 rnd(20261210);
  std::vector<int32_t> keys(RowCount);
  for (int i = 0; i < RowCount; ++i) keys[i] = i * 7;
  std::shuffle(keys.begin(), keys.end(), rnd);
  std::vector<int32_t> probes(RowCount);
  for (int i = 0; i < RowCount; ++i) probes[i] = keys[rnd() % RowCount];

  bench::PrintLoad("before");
  std::vector<double> e[3], s[3], ratio[3];
  for (int r = 0; r < rounds; ++r) {
    const TPhases a = RunEngine(keys, probes);
    const TPhases b = RunSQLite(keys, probes);
    if (a.Checksum != b.Checksum) bench::Die("the two sides read different values");
    const double ea[3] = {a.Insert, a.Lookup, a.Scan}, sb[3] = {b.Insert, b.Lookup, b.Scan};
    for (int p = 0; p < 3; ++p) {
      e[p].push_back(ea[p] * 1000);
      s[p].push_back(sb[p] * 1000);
      ratio[p].push_back(ea[p] / sb[p]);
    }
  }
  const char* names[3] = {"100,000 indexed inserts", "100,000 point lookups", "ordered scan of 100,000"};
  for (int p = 0; p < 3; ++p) {
    std::printf("%s\n", names[p]);
    bench::PrintSpread("engine (MEMORY)", e[p], " ms");
    bench::PrintSpread("SQLite (:memory:)", s[p], " ms");
    bench::PrintSpread("ratio engine / SQLite", ratio[p]);
  }
  std::vector<double> total;
  for (int r = 0; r < rounds; ++r)
    total.push_back((e[0][r] + e[1][r] + e[2][r]) / (s[0][r] + s[1][r] + s[2][r]));
  bench::PrintSpread("all three phases, ratio", total);
  bench::PrintLoad("after");
  VelqorimMainFinalize();
  return 0;
}
