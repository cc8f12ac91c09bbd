// Filters through the storage engine's scans: the same rows with and without indexes.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "db/sql/VelqorimExpressions.h"
#include "db/support/DAZRandom.h"
#include "tests/db_storage/TableDoubles.h"

using namespace doubles;

namespace {

// A table T(a INTEGER, b INTEGER), with indexes on (a) and (b, a) or none.
struct Table {
  explicit Table(bool WithIndexes) {
    TVelqorimFieldDefs f;
    for (const char* name : {"a", "b"}) {
      auto* d = f.AddCreated();
      d->Name = name;
      d->SetFieldDefDataType(aftInteger, 0);
    }
    TVelqorimIndexDefs i;
    if (WithIndexes) {
      auto* ia = i.AddCreated();
      ia->Name = "IA";
      ia->SetColumnCount(1);
      ia->GetIndexColumn(0).FieldName = "a";
      auto* iba = i.AddCreated();
      iba->Name = "IBA";
      iba->SetColumnCount(2);
      iba->GetIndexColumn(0).FieldName = "b";
      iba->GetIndexColumn(1).FieldName = "a";
    }
    TVelqorimConstraintDefs c;
    cursor.TableName = "T";
    table = static_cast<TTestTableData*>(db.FindOrCreateTableData(cursor));
    table->CreateTable(&cursor, f, i, c);
    cursor.FieldDefs.Assign(table->FieldManager->FieldDefs);
    cursor.VisibleFieldDefs.Assign(cursor.FieldDefs);
    for (int n = 0; n < cursor.VisibleFieldDefs.Count(); ++n) cursor.VisibleFieldDefs[n]->FieldNoReference = n;
    cursor.IndexDefs.Assign(table->IndexManager->IndexDefs);
    cursor.RecordBufferSize = cursor.FieldDefs.GetMemoryRecordBufferSize() + 7;
    cursor.BookmarkOffset = cursor.FieldDefs.GetMemoryRecordBufferSize();
    cursor.KeyBufferSize = cursor.RecordBufferSize;
    cursor.Session = &session;
    cursor.RecordBitmap = std::make_unique<TVelqorimRecordBitmap>(table);
    record.Reset(cursor.AllocateRecordBuffer());
    cursor.CurrentRecordBuffer = record.Bytes();
    table->OpenTable(&cursor);
  }
  ~Table() {
    cursor.SQLFilterExpression = nullptr;
    table->CloseTable(&cursor);
  }
  void Insert(std::optional<int32_t> A, std::optional<int32_t> B) {
    cursor.InternalInitRecord(cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    if (A) v.SetAsInteger(*A), cursor.SetFieldValue(v, 0, true);
    if (B) v.SetAsInteger(*B), cursor.SetFieldValue(v, 1, true);
    TVelqorimCursor* c = &cursor;
    table->InsertRecord(c);
  }
  // Ids of the records the filter lets through, in id order.
  std::vector<int32_t> Select(const String& Filter) {
    TVelqorimLexer lexer(Filter);
    lexer.GetNextCommand();
    TVelqorimExpression e;
    e.ParseForBooleanExpression(nullptr, &lexer);
    cursor.SetSQLFilter(&e, nullptr, nullptr);
    cursor.DisableRecordBitmap();
    std::vector<int32_t> ids;
    cursor.FirstPosition = true;
    cursor.LastPosition = false;
    for (int guard = 0; guard < 1000; ++guard) {
      const TABSGetRecordResult r = table->GetRecordBuffer(cursor, grmNext);
      if (r == grrEOF) break;
      if (r == grrError) continue;
      ids.push_back(cursor.CurrentRecordID.PageNo);
    }
    cursor.SQLFilterExpression = nullptr;
    cursor.DisableRecordBitmap();
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  TTestDatabaseData db;
  TTestSession session;
  TTestCursor cursor;
  TTestTableData* table;
  TABSMemBlock record;
};

TEST(VelqorimExprIndexScan, IndexesNeverChangeTheRows) {
  InstallVelqorimExpressionHooks();
  TABSSeededRandomSource rnd(77);
  auto pick = [&](int n) { return static_cast<int>(rnd.Next32() % static_cast<uint32_t>(n)); };
  const char* filters[] = {"a = 3",          "a > 3",         "a < 3",           "a >= 2 AND b = 1",
                           "b = 2 AND a = 1", "b = 2 AND a > 1", "a IS NULL",       "a IS NOT NULL",
                           "b IS NULL AND a = 2", "a = 1 OR b = 2", "a <> 3",     "a = NULL",
                           "NOT (a = 3)",    "a <= 4 AND a >= 2", "b = 1 AND a IS NULL", "3 > a"};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    Table indexed(true), plain(false);
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

}  // namespace
