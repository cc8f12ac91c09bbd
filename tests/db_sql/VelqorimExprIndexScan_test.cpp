// Filters through the storage engine's scans: the same rows with and without indexes.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "db/sql/VelqorimExpressions.h"
#include "db/support/DAZRandom.h"
#include "tests/db_storage/LocalTables.h"
#include "tests/db_storage/TableDoubles.h"

using namespace doubles;

namespace {

// Ids of the records a filter lets through, in id order.
std::vector<int32_t> Select(TVelqorimCursor& Cursor, TVelqorimTableData& Table, const String& Filter) {
  TVelqorimLexer lexer(Filter);
  lexer.GetNextCommand();
  TVelqorimExpression e;
  e.ParseForBooleanExpression(nullptr, &lexer);
  Cursor.SetSQLFilter(&e, nullptr, nullptr);
  Cursor.DisableRecordBitmap();
  std::vector<int32_t> ids;
  Cursor.FirstPosition = true;
  Cursor.LastPosition = false;
  for (int guard = 0; guard < 1000; ++guard) {
    const TABSGetRecordResult r = Table.GetRecordBuffer(Cursor, grmNext);
    if (r == grrEOF) break;
    if (r == grrError) continue;
    ids.push_back(Cursor.CurrentRecordID.PageNo);
  }
  Cursor.SQLFilterExpression = nullptr;
  Cursor.DisableRecordBitmap();
  std::sort(ids.begin(), ids.end());
  return ids;
}

// A table T(a INTEGER, b INTEGER), with indexes on (a) and (b, a) or none.
void AddColumns(TVelqorimFieldDefs& f, TVelqorimIndexDefs& i, bool WithIndexes) {
  for (const char* name : {"a", "b"}) {
    auto* d = f.AddCreated();
    d->Name = name;
    d->SetFieldDefDataType(aftInteger, 0);
  }
  if (WithIndexes) {
    TTestTable::AddIndex(i, "IA", {"a"});
    TTestTable::AddIndex(i, "IBA", {"b", "a"});
  }
}

// On the table doubles.
struct Table : TTestTable {
  Table(bool WithIndexes, const char*) {
    TVelqorimFieldDefs f;
    TVelqorimIndexDefs i;
    AddColumns(f, i, WithIndexes);
    Open(f, i);
  }
  ~Table() {
    cursor.SQLFilterExpression = nullptr;
    table->CloseTable(&cursor);
  }
  std::vector<int32_t> Select(const String& Filter) { return ::Select(cursor, *table, Filter); }
};

// On the in-memory engine, through a local session and cursor.
struct MemoryTable : local::TLocalTable {
  MemoryTable(bool WithIndexes, const char* Name) : TLocalTable("MEMORY", Name) {
    TVelqorimFieldDefs f;
    TVelqorimIndexDefs i;
    AddColumns(f, i, WithIndexes);
    Create(f, i);
  }
  void Insert(std::optional<int32_t> A, std::optional<int32_t> B) { TLocalTable::Insert({A, B}); }
  std::vector<int32_t> Select(const String& Filter) { return ::Select(cursor, *cursor.TableData, Filter); }
};

template <class T>
void IndexesNeverChangeTheRows() {
  InstallVelqorimExpressionHooks();
  TABSSeededRandomSource rnd(77);
  auto pick = [&](int n) { return static_cast<int>(rnd.Next32() % static_cast<uint32_t>(n)); };
  const char* filters[] = {"a = 3",
                           "a > 3",
                           "a < 3",
                           "a >= 2 AND b = 1",
                           "b = 2 AND a = 1",
                           "b = 2 AND a > 1",
                           "a IS NULL",
                           "a IS NOT NULL",
                           "b IS NULL AND a = 2",
                           "a = 1 OR b = 2",
                           "a <> 3",
                           "a = NULL",
                           "NOT (a = 3)",
                           "a <= 4 AND a >= 2",
                           "b = 1 AND a IS NULL",
                           "3 > a"};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    T indexed(true, "Indexed"), plain(false, "Plain");
    const int count = 1 + pick(30);
    for (int i = 0; i < count; ++i) {
      std::optional<int32_t> a = pick(5) == 0 ? std::nullopt : std::optional<int32_t>(pick(6));
      std::optional<int32_t> b = pick(5) == 0 ? std::nullopt : std::optional<int32_t>(pick(4));
      indexed.Insert(a, b);
      plain.Insert(a, b);
    }
    for (const char* f : filters) EXPECT_EQ(indexed.Select(f), plain.Select(f)) << f;
  }
}

TEST(VelqorimExprIndexScan, IndexesNeverChangeTheRows) { IndexesNeverChangeTheRows<Table>(); }

TEST(VelqorimExprIndexScan, IndexesNeverChangeTheRowsInMemoryTables) {
  local::TLocalEngine engine;
  IndexesNeverChangeTheRows<MemoryTable>();
}

}  // namespace
