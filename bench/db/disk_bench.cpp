// The disk engine against SQLite on a file, the same rows on all sides: N
// inserts committed once, a full scan in physical (rowid) order, N reads by
// record id (rowid) in a shuffled order, and 1,000 single-row transactions
// each committed to stable storage. Rounds alternate between the sides; min
// and median per phase and the ratios engine / SQLite are printed.
//
// Every side syncs its commits: the engine with SyncOnCommit; SQLite three
// times: journal_mode=DELETE with synchronous=FULL, its defaults (no
// pragmas), and journal_mode=WAL; the modes each runs in are printed. The engine runs twice: the record
// store alone (record pages and their page tree through the page manager),
// and a table of a database file through a local session and cursor (with a
// unique index on id, kept up to date by every insert). SQLite's side is its
// table b-tree by rowid through prepared statements.
//   disk_bench [rounds] [rows]     (defaults 5 and 100,000)

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimDiskRecords.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimTempEngine.h"

namespace {

constexpr int CommittedCount = 1000;
constexpr int EngineSession = -2;

struct TPhases {
  double Insert = 0, Scan = 0, Read = 0, Committed = 0;
  int64_t Checksum = 0;  // both sides must agree
};

// (id integer, val integer, name string(20)).
struct TTable {
  TTable() : Fields(nullptr) {
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftString, 20);
    Fields.RecalcFieldOffsets();
  }
  void Fill(uint8_t* Record, int32_t Id) const {
    const int32_t val = Id * 3;
    std::memcpy(Record + Fields.FieldDefs[0]->MemoryOffset, &Id, 4);
    std::memcpy(Record + Fields.FieldDefs[1]->MemoryOffset, &val, 4);
    std::snprintf(reinterpret_cast<char*>(Record + Fields.FieldDefs[2]->MemoryOffset), 21, "row %d", Id);
  }
  int32_t Val(const uint8_t* Record) const {
    int32_t v;
    std::memcpy(&v, Record + Fields.FieldDefs[1]->MemoryOffset, 4);
    return v;
  }
  TVelqorimBaseFieldManager Fields;
};

TPhases RunEngine(const std::string& Name, int Rows, const std::vector<int>& Order) {
  TPhases t;
  TTable table;
  auto pm = std::make_unique<TVelqorimDiskPageManager>();
  pm->CreateAndOpenDatabase(Name, TABSPassword{}, 4096, 8);
  pm->SyncOnCommit = true;
  auto open = [&] {
    auto m = std::make_unique<TVelqorimDiskRecordManager>(pm.get(), &table.Fields, 1);
    m->Init(table.Fields.FieldDefs.GetMemoryRecordBufferSize(),
            table.Fields.FieldDefs.GetDiskRecordBufferSize(), 3);
    return m;
  };
  auto records = open();
  records->CreateRecordPageIndex();
  pm->ApplyChanges(EngineSession);
  const int32_t root = records->RecordPageIndex().RootPageNo();
  std::vector<uint8_t> record(static_cast<size_t>(table.Fields.FieldDefs.GetMemoryRecordBufferSize()));
  std::vector<TABSPageItemID> ids(static_cast<size_t>(Rows));

  t.Insert = bench::Time([&] {
    for (int i = 0; i < Rows; ++i) {
      table.Fill(record.data(), i);
      if (!records->AddRecord(0, record.data(), ids[i])) bench::Die("engine insert failed");
    }
    pm->ApplyChanges(0);
  });

  // From the file: a new page manager with an empty cache.
  const int64_t count = records->RecordCount;
  records.reset();
  pm = std::make_unique<TVelqorimDiskPageManager>();
  bool readOnly = false, repair = false, multiUser = false;
  pm->OpenDatabase(Name, TABSPassword{}, readOnly, repair, false, multiUser);
  pm->SyncOnCommit = true;
  records = open();
  records->RecordPageIndex().OpenIndex(root);
  records->RecordCount = count;

  TABSNavigationInfo nav;
  nav.RecordBuffer = record.data();
  t.Scan = bench::Time([&] {
    nav.GetRecordMode = grmNext;
    nav.FirstPosition = true;
    for (records->GetRecordBuffer(0, nav); nav.GetRecordResult == grrOK; records->GetRecordBuffer(0, nav))
      t.Checksum += table.Val(record.data());
  });
  t.Read = bench::Time([&] {
    nav.GetRecordMode = grmCurrent;
    for (const int i : Order) {
      nav.RecordID = ids[i];
      records->GetRecordBuffer(0, nav);
      if (nav.GetRecordResult != grrOK) bench::Die("engine read failed");
      t.Checksum += table.Val(record.data());
    }
  });
  t.Committed = bench::Time([&] {
    for (int i = 0; i < CommittedCount; ++i) {
      table.Fill(record.data(), Rows + i);
      TABSPageItemID id;
      if (!records->AddRecord(0, record.data(), id)) bench::Die("engine insert failed");
      pm->ApplyChanges(0);
    }
  });
  return t;
}

// The same rows through a table of a database file: a local session and cursor.
TPhases RunTable(const std::string& Name, int Rows, const std::vector<int>& Order) {
  TPhases t;
  auto connect = [&](TVelqorimLocalSession& S) {
    S.DatabaseName = S.DatabaseFileName = Name;
    S.PageSize = 4096;
    S.SetConnected(true);
    static_cast<TVelqorimDiskDatabaseData*>(S.DatabaseData)->DiskPageManager()->SyncOnCommit = true;
  };
  {
    TVelqorimLocalSession creator;
    creator.DatabaseName = creator.DatabaseFileName = Name;
    creator.PageSize = 4096;
    creator.CreateDatabase();
  }
  TVelqorimLocalSession session;
  connect(session);
  TVelqorimLocalCursor cursor;
  cursor.Session = &session;
  cursor.TableName = "bench";
  {
    TVelqorimFieldDefs fields;
    const struct {
      const char* Name;
      TABSAdvancedFieldType Type;
      int Size;
    } columns[] = {{"id", aftInteger, 0}, {"val", aftInteger, 0}, {"name", aftString, 20}};
    for (const auto& c : columns) {
      auto* f = fields.AddCreated();
      f->Name = c.Name;
      f->SetFieldDefDataType(c.Type, c.Size);
    }
    TVelqorimIndexDefs indexes;
    auto* index = indexes.AddCreated();
    index->Name = "byId";
    index->Unique = true;
    index->SetColumnCount(1);
    index->GetIndexColumn(0).FieldName = "id";
    TVelqorimConstraintDefs constraints;
    cursor.CreateTable(fields, indexes, constraints);
  }
  cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  uint8_t* record = cursor.AllocateRecordBuffer();
  cursor.CurrentRecordBuffer = record;
  std::vector<TABSPageItemID> ids(static_cast<size_t>(Rows));
  auto insert = [&](int32_t Id) {
    cursor.InternalInitRecord(record, true);
    TABSVariant id, val, name;
    id.SetAsInteger(Id);
    val.SetAsInteger(Id * 3);
    name.SetAsAnsiString("row " + std::to_string(Id));
    cursor.SetFieldValue(id, 0, true);
    cursor.SetFieldValue(val, 1, true);
    cursor.SetFieldValue(name, 2, true);
    cursor.InternalPost(true);
    if (cursor.ErrorCode != 0) bench::Die("table insert failed");
    return cursor.CurrentRecordID;
  };
  auto val = [&] {
    TABSVariant v;
    cursor.GetFieldValue(v, 1, true);
    return v.GetAsInteger();
  };
  t.Insert = bench::Time([&] {
    session.StartTransaction();
    for (int i = 0; i < Rows; ++i) ids[i] = insert(i);
    session.Commit(true);
  });
  // From the file: the database closed and opened again, nothing cached.
  cursor.CloseTable();
  session.SetConnected(false);
  connect(session);
  cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  cursor.CurrentRecordBuffer = record;
  t.Scan = bench::Time([&] {
    cursor.InternalFirst();
    while (cursor.GetRecordBuffer(grmNext) == grrOK) t.Checksum += val();
  });
  t.Read = bench::Time([&] {
    for (const int i : Order) {
      cursor.FirstPosition = cursor.LastPosition = false;
      cursor.CurrentRecordID = ids[i];
      if (cursor.GetRecordBuffer(grmCurrent) != grrOK) bench::Die("table read failed");
      t.Checksum += val();
    }
  });
  t.Committed = bench::Time([&] {
    for (int i = 0; i < CommittedCount; ++i) insert(Rows + i);  // each committed at once
  });
  cursor.CloseTable();
  cursor.FreeRecordBuffer(record);
  session.SetConnected(false);
  return t;
}

void Check(int Result, sqlite3* Db, int Expected = SQLITE_OK) {
  if (Result != Expected) bench::Die(std::string("sqlite: ") + sqlite3_errmsg(Db));
}

// SQLite's settings for one side: pragmas run on every connection.
struct TSQLiteMode {
  const char* Label;
  const char* Pragmas;
};
constexpr TSQLiteMode SQLiteModes[] = {
    {"SQLite DELETE, FULL", "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"},
    {"SQLite defaults", ""},
    {"SQLite WAL", "PRAGMA journal_mode=WAL;"},
};

// "journal_mode=... synchronous=..." as the connection answers.
std::string ModeText(sqlite3* Db) {
  std::string text;
  for (const char* pragma : {"journal_mode", "synchronous"}) {
    sqlite3_stmt* q = nullptr;
    Check(sqlite3_prepare_v2(Db, ("PRAGMA " + std::string(pragma)).c_str(), -1, &q, nullptr), Db);
    Check(sqlite3_step(q), Db, SQLITE_ROW);
    text += std::string(text.empty() ? "" : " ") + pragma + "=" +
            reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    sqlite3_finalize(q);
  }
  return text;
}

TPhases RunSQLite(const std::string& Name, int Rows, const std::vector<int>& Order, const TSQLiteMode& Mode,
                  std::string& ModeRead) {
  TPhases t;
  sqlite3* db = nullptr;
  Check(sqlite3_open(Name.c_str(), &db), db);
  Check(sqlite3_exec(db,
                     (std::string(Mode.Pragmas) + "CREATE TABLE bench(id INTEGER, val INTEGER, name VARCHAR(20));")
                         .c_str(),
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO bench(id, val, name) VALUES(?, ?, ?)", -1, &insert, nullptr), db);
  auto add = [&](int32_t Id) {
    char name[24];
    std::snprintf(name, sizeof name, "row %d", Id);
    sqlite3_bind_int(insert, 1, Id);
    sqlite3_bind_int(insert, 2, Id * 3);
    sqlite3_bind_text(insert, 3, name, -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(insert), db, SQLITE_DONE);
    sqlite3_reset(insert);
  };
  t.Insert = bench::Time([&] {
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    for (int i = 0; i < Rows; ++i) add(i);
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  });
  // From the file: a new connection with an empty cache.
  sqlite3_close(db);
  Check(sqlite3_open(Name.c_str(), &db), db);
  Check(sqlite3_exec(db, Mode.Pragmas, nullptr, nullptr, nullptr), db);
  ModeRead = ModeText(db);
  sqlite3_finalize(insert);
  Check(sqlite3_prepare_v2(db, "INSERT INTO bench(id, val, name) VALUES(?, ?, ?)", -1, &insert, nullptr), db);

  sqlite3_stmt* scan = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT id, val, name FROM bench", -1, &scan, nullptr), db);
  t.Scan = bench::Time([&] {
    while (sqlite3_step(scan) == SQLITE_ROW) t.Checksum += sqlite3_column_int(scan, 1);
  });
  sqlite3_finalize(scan);
  sqlite3_stmt* read = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT id, val, name FROM bench WHERE rowid = ?", -1, &read, nullptr), db);
  // One read transaction, as the engine's single session reads without
  // checking the file between records (autocommit would re-check it each time).
  t.Read = bench::Time([&] {
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    for (const int i : Order) {
      sqlite3_bind_int64(read, 1, i + 1);
      Check(sqlite3_step(read), db, SQLITE_ROW);
      t.Checksum += sqlite3_column_int(read, 1);
      sqlite3_reset(read);
    }
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  });
  sqlite3_finalize(read);
  t.Committed = bench::Time([&] {
    for (int i = 0; i < CommittedCount; ++i) add(Rows + i);  // each its own transaction
  });
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
  std::mt19937 rnd(20261211);
  std::vector<int> order(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rnd);

  bench::TScratchFolder folder("tarnwick-disk-bench");
  DatabaseDataList = new TVelqorimDatabaseDataList;
  DatabaseDataList->Add(new TVelqorimMemoryDatabaseData);
  DatabaseDataList->Add(new TVelqorimTemporaryDatabaseData);
  bench::PrintLoad("before");
  constexpr int Phases = 4;
  constexpr int Modes = int(std::size(SQLiteModes));
  std::vector<double> e[Phases], tb[Phases], s[Modes][Phases], ratio[Modes][Phases], tableRatio[Modes][Phases];
  std::string modeRead[Modes];
  for (int r = 0; r < rounds; ++r) {
    const std::string engineFile = (folder.Path() / ("engine" + std::to_string(r) + ".vdb")).string();
    const std::string tableFile = (folder.Path() / ("table" + std::to_string(r) + ".vdb")).string();
    const std::string sqliteFile = (folder.Path() / ("sqlite" + std::to_string(r) + ".db")).string();
    const TPhases a = RunEngine(engineFile, rows, order);
    const TPhases c = RunTable(tableFile, rows, order);
    std::remove(engineFile.c_str());
    std::remove(tableFile.c_str());
    const double ea[Phases] = {a.Insert, a.Scan, a.Read, a.Committed};
    const double tc[Phases] = {c.Insert, c.Scan, c.Read, c.Committed};
    for (int p = 0; p < Phases; ++p) {
      e[p].push_back(ea[p] * 1000);
      tb[p].push_back(tc[p] * 1000);
    }
    for (int m = 0; m < Modes; ++m) {
      const TPhases b = RunSQLite(sqliteFile, rows, order, SQLiteModes[m], modeRead[m]);
      if (a.Checksum != b.Checksum || c.Checksum != b.Checksum) bench::Die("the sides read different values");
      for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((sqliteFile + suffix).c_str());
      const double sb[Phases] = {b.Insert, b.Scan, b.Read, b.Committed};
      for (int p = 0; p < Phases; ++p) {
        s[m][p].push_back(sb[p] * 1000);
        ratio[m][p].push_back(ea[p] / sb[p]);
        tableRatio[m][p].push_back(tc[p] / sb[p]);
      }
    }
  }
  delete DatabaseDataList;
  DatabaseDataList = nullptr;
  const std::string n = std::to_string(rows);
  const std::string names[Phases] = {n + " inserts, one synced commit", "full scan of " + n,
                                     n + " reads by record id, shuffled", "1,000 single-row synced commits"};
  for (int m = 0; m < Modes; ++m) std::printf("%s: %s\n", SQLiteModes[m].Label, modeRead[m].c_str());
  for (int p = 0; p < Phases; ++p) {
    std::printf("%s\n", names[p].c_str());
    bench::PrintSpread("engine (record pages)", e[p], " ms");
    bench::PrintSpread("engine (table, cursor)", tb[p], " ms");
    for (int m = 0; m < Modes; ++m) {
      const std::string label = SQLiteModes[m].Label;
      bench::PrintSpread((label + " (file, rowid)").c_str(), s[m][p], " ms");
      bench::PrintSpread(("ratio record pages / " + label).c_str(), ratio[m][p]);
      bench::PrintSpread(("ratio table / " + label).c_str(), tableRatio[m][p]);
    }
  }
  bench::PrintLoad("after");
  return 0;
}
