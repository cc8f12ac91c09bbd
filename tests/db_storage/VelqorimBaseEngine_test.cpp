// The engine-independent table code on a record store and index doubles:
// autoincrement, defaults, constraints, record layouts, table sharing, and
// scans checked against a plain vector model.

#include <gtest/gtest.h>
#include <algorithm>

#include <optional>
#include <string>

#include "db/support/DAZRandom.h"
#include "tests/db_storage/PageDoubles.h"
#include "tests/db_storage/TableDoubles.h"
#include "tests/db_support/DAZTestUtil.h"

using namespace doubles;

namespace {

// A filter "field op constant" on an integer field that offers an index
// condition on every index led by its field, as the optimiser does.
class TCompareExpression : public TABSBaseExpression {
 public:
  TCompareExpression(const TVelqorimFieldDefs& Fields, int FieldNo, TABSSearchCondition Op, int32_t Value)
      : FFields(Fields), FFieldNo(FieldNo), FOp(Op), FValue(Value) {}

  bool Evaluate(const uint8_t* R) const {
    if (FExtracted) return true;  // the index guarantees the taken-out comparison
    if (GetBitInBuffer(FFieldNo, R)) return false;
    int32_t v;
    std::memcpy(&v, R + FFields[FFieldNo]->MemoryOffset, 4);
    switch (FOp) {
      case scEqual:
        return v == FValue;
      case scLower:
        return v < FValue;
      case scGreater:
        return v > FValue;
      case scLowerEqual:
        return v <= FValue;
      case scGreaterEqual:
        return v >= FValue;
      default:
        return false;
    }
  }
  void CreateIndexScanConditions(TABSScanIndexDefs& Defs, TABSScanSearchConditionArray& List, int) override {
    auto& indexes = dynamic_cast<TVelqorimIndexDefs&>(Defs);
    for (int i = 0; i < indexes.Count() && UseIndexes; ++i) {
      if (!SameDefName(indexes[i]->GetIndexColumn(0).FieldName, FFields[FFieldNo]->Name)) continue;
      TABSScanSearchCondition c;
      c.IndexID = indexes[i]->ObjectID;
      c.Condition = FOp;
      c.KeyFieldCount = 1;
      c.CreatedFromExpression = true;
      c.KeyRecordBufferSize = FFields.GetMemoryRecordBufferSize();
      std::vector<uint8_t> key(c.KeyRecordBufferSize, 0);
      std::memcpy(key.data() + FFields[FFieldNo]->MemoryOffset, &FValue, 4);
      c.KeyRecordBuffer = key.data();
      c.ParentExpressions.push_back(this);
      c.ParentExpressionNodes.push_back(this);
      List.AddCondition(c);  // takes a private copy of the key
    }
  }
  bool ExtendMultiFieldIndexCondition(TABSScanSearchCondition&, TABSScanIndexDefs&) override { return false; }
  void RemoveExtractedNodes(TABSScanSearchConditionArray& List, int S, int E) override {
    for (int n : {S, E})
      if (n >= 0 && n < List.Count())
        for (auto* p : List[n].ParentExpressions) FExtracted = FExtracted || p == this;
  }
  void AddNode(TObject*) override { FExtracted = false; }

  bool UseIndexes = true;

 private:
  const TVelqorimFieldDefs& FFields;
  int FFieldNo;
  TABSSearchCondition FOp;
  int32_t FValue;
  bool FExtracted = false;
};

struct EvaluatorInstall {
  EvaluatorInstall() {
    TVelqorimTableData::EvaluateExpression = [](TABSBaseExpression* e, const uint8_t* r, TVelqorimCursor&) {
      return static_cast<TCompareExpression*>(e)->Evaluate(r);
    };
  }
  ~EvaluatorInstall() { TVelqorimTableData::EvaluateExpression = nullptr; }
};

// A table T(a INTEGER, b INTEGER, s VARCHAR(8)) with indexes on (a) and (b, a).
struct Fixture : TTestTable {
  // With IndexPages the table's indexes are B-trees stored there.
  explicit Fixture(TVelqorimPageManager* IndexPages = nullptr) {
    db.IndexPages = IndexPages;
    if (IndexPages != nullptr) {
      // Index pages are a session's own until commit: build and read them in one session.
      session.SessionID = 0;
      cursor.Session = &session;
    }
    TVelqorimFieldDefs f;
    auto add = [&](const char* Name, TABSAdvancedFieldType T, int Size) {
      auto* d = f.AddCreated();
      d->Name = Name;
      d->SetFieldDefDataType(T, Size);
    };
    add("a", aftInteger, 0);
    add("b", aftInteger, 0);
    add("s", aftString, 8);
    TVelqorimIndexDefs i;
    AddIndex(i, "IA", {"a"});
    AddIndex(i, "IBA", {"b", "a"});
    Open(f, i);
  }
  ~Fixture() { table->CloseTable(&cursor); }
  int IndexId(const char* Name) { return table->IndexManager->IndexDefs.GetIndexDefByName(Name)->ObjectID; }
  std::optional<int32_t> Field(int FieldNo) {
    TABSVariant v;
    cursor.GetFieldValue(v, FieldNo, true);
    if (v.IsNull()) return std::nullopt;
    return v.GetAsInteger();
  }
  // Record ids of the view, stepping forward from the start.
  std::vector<int32_t> Walk() {
    std::vector<int32_t> ids;
    cursor.FirstPosition = true;
    cursor.LastPosition = false;
    for (int guard = 0; guard < 1000; ++guard) {
      const TABSGetRecordResult r = table->GetRecordBuffer(cursor, grmNext);
      if (r == grrEOF) break;
      if (r == grrError) continue;  // a record outside the view: the cursor moved past it
      ids.push_back(cursor.CurrentRecordID.PageNo);
    }
    return ids;
  }
};

TEST(VelqorimFieldManager, AutoincrementSequences) {
  struct Case {
    const char* What;
    int64_t Increment, Initial, Min, Max;
    bool Cycled;
    std::vector<int64_t> Expected;  // -1: fails with 20160
  } cases[] = {
      {"steps of five up to the maximum", 5, 10, 0, 20, false, {15, 20, -1}},
      {"cycles to the minimum", 5, 10, 1, 20, true, {15, 20, 1}},
      {"increment 0 advances by one", 0, 0, 0, 0, false, {1, 2, 3}},
      {"descending", -2, 0, 0, 0, false, {-2, -4, -6}},
      {"64-bit end without cycling fails", 1, INT64_MAX - 1, 0, 0, false, {INT64_MAX, -1}},
  };
  for (const auto& c : cases) {
    TVelqorimBaseFieldManager m(nullptr);
    auto* d = m.FieldDefs.AddCreated();
    d->Name = "id";
    d->SetFieldDefDataType(aftAutoIncLargeint, 0);
    d->AutoincIncrement = c.Increment;
    d->AutoincInitialValue = c.Initial;
    d->AutoincMinValue = c.Min;
    d->AutoincMaxValue = c.Max;
    d->AutoincCycled = c.Cycled;
    m.InitLastAutoIncValues();
    for (int64_t e : c.Expected) {
      if (e == -1 && !(c.Increment < 0)) {
        EXPECT_EQ(CodeOf([&] { m.IncLastAutoinc(0); }), 20160) << c.What;
        break;
      }
      EXPECT_EQ(m.IncLastAutoinc(0), e) << c.What;
    }
  }
}

TEST(VelqorimFieldManager, ExplicitValuesAndSessions) {
  Fixture fx;
  TVelqorimBaseFieldManager m(fx.table);
  auto* d = m.FieldDefs.AddCreated();
  d->Name = "id";
  d->ObjectID = 77;
  d->SetFieldDefDataType(aftAutoIncSmallint, 0);
  d->AutoincInitialValue = 7;
  m.RecalcFieldOffsets();
  m.InitLastAutoIncValues();
  std::vector<uint8_t> rec(m.FieldDefs.GetMemoryRecordBufferSize(), 0);
  auto put = [&](int16_t v) {
    SetBitInBuffer(false, 0, rec.data());
    std::memcpy(rec.data() + d->MemoryOffset, &v, 2);
    m.ApplyAutoincsToRecordBuffer(&fx.session, rec.data());
  };
  put(100);
  EXPECT_EQ(m.GetNextAutoinc(&fx.session, 0), 101);
  put(3);
  EXPECT_EQ(m.GetNextAutoinc(&fx.session, 0), 102);
  // A negative explicit value is learnt as negative, not as 65535.
  TVelqorimBaseFieldManager n(fx.table);
  n.FieldDefs.AddCreated()->SetFieldDefDataType(aftAutoIncSmallint, 0);
  n.FieldDefs[0]->AutoincInitialValue = -10;
  n.RecalcFieldOffsets();
  n.InitLastAutoIncValues();
  rec.assign(n.FieldDefs.GetMemoryRecordBufferSize(), 0);
  const int16_t minus5 = -5;
  std::memcpy(rec.data() + n.FieldDefs[0]->MemoryOffset, &minus5, 2);
  n.ApplyAutoincsToRecordBuffer(nullptr, rec.data());
  EXPECT_EQ(n.LastAutoincValues[0], -5);
  // A null field gets the next value.
  SetBitInBuffer(true, 0, rec.data());
  n.ApplyAutoincsToRecordBuffer(nullptr, rec.data());
  EXPECT_FALSE(GetBitInBuffer(0, rec.data()));
  int16_t got;
  std::memcpy(&got, rec.data() + n.FieldDefs[0]->MemoryOffset, 2);
  EXPECT_EQ(got, -4);
  // The last value: from the session, else the table's (single user), else an error (multi-user).
  TTestSession other;
  EXPECT_EQ(m.GetLastAutoinc(&other, 0), 102);
  other.MultiUser = true;
  EXPECT_EQ(CodeOf([&] { m.GetLastAutoinc(&other, 0); }), 30012);
  EXPECT_EQ(m.GetLastAutoinc(&fx.session, 0), 102);
  // The stored block round-trips.
  std::vector<uint8_t> block(m.MostUpdatedSize());
  int offset = 0;
  m.SaveMostUpdated(block.data(), offset, static_cast<int>(block.size()));
  m.LastAutoincValues[0] = 0;
  offset = 0;
  m.LoadMostUpdated(block.data(), offset, static_cast<int>(block.size()));
  EXPECT_EQ(m.LastAutoincValues[0], 102);
  offset = 0;
  EXPECT_NE(CodeOf([&] { m.LoadMostUpdated(block.data(), offset, 6); }), 0);
}

TEST(VelqorimFieldManager, LayoutsDefaultsAndChangeChecks) {
  TVelqorimBaseFieldManager m(nullptr);
  auto* s = m.FieldDefs.AddCreated();
  s->SetFieldDefDataType(aftString, 4);
  s->DefaultValue.SetAsAnsiString("ab");
  auto* b = m.FieldDefs.AddCreated();
  b->SetFieldDefDataType(aftBlob, 0);
  auto* i = m.FieldDefs.AddCreated();
  i->SetFieldDefDataType(aftInteger, 0);
  m.RecalcFieldOffsets();
  std::vector<uint8_t> mem(m.FieldDefs.GetMemoryRecordBufferSize(), 0xEE),
      disk(m.FieldDefs.GetDiskRecordBufferSize());
  mem[0] = 0x07;  // all null
  m.ApplyDefaultValuesToRecordBuffer(nullptr, mem.data());
  EXPECT_EQ(mem[0], 0x06);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(mem.data() + s->MemoryOffset)), "ab");
  EXPECT_EQ(mem[s->MemoryOffset + 4], 0);  // the rest of the slot is cleared
  // Memory -> disk -> memory keeps the first 6 bytes of a BLOB slot and zeroes the rest.
  m.MemRecordBufferToDiskRecordBuffer(mem.data(), disk.data());
  std::vector<uint8_t> back(mem.size());
  m.DiskRecordBufferToMemRecordBuffer(disk.data(), back.data());
  EXPECT_EQ(back[b->MemoryOffset + 5], 0xEE);
  EXPECT_EQ(back[b->MemoryOffset + 6], 0);
  EXPECT_EQ(back[i->MemoryOffset], 0xEE);
  // Whole slots are compared: a difference behind a zero byte is a difference.
  std::vector<uint8_t> x(mem.size(), 0), y(mem.size(), 0);
  y[i->MemoryOffset + 2] = 1;
  EXPECT_FALSE(m.CompareRecordBuffers(x.data(), y.data()));
  EXPECT_TRUE(m.CompareRecordBuffers(x.data(), x.data()));
  EXPECT_EQ(CodeOf([&] { RecordBuffersEqual(nullptr, x.data(), 1); }), 10122);
  // A default longer than its column is refused.
  s->DefaultValue.SetAsAnsiString("abcdefgh");
  EXPECT_EQ(CodeOf([&] { m.CheckDefaultValues(); }), 30701);
  EXPECT_EQ(CodeOf([&] { m.ApplyDefaultValuesToRecordBuffer(nullptr, mem.data()); }), 20056);
  b->BLOBBlockSize = 0;
  EXPECT_EQ(CodeOf([&] { m.BlobFieldsPresent(); }), 10421);
}

TEST(VelqorimConstraintManager, ConstraintTable) {
  Fixture fx;
  TVelqorimConstraintDefs defs;
  defs.AddNotNull()->SetNames("a", "T", "");
  auto* check = defs.AddCheck();
  check->SetNames("b", "T", "");
  check->MinValue.SetAsInteger(1);
  check->MaxValue.SetAsInteger(10);
  defs.AddNotNull()->SetNames("a", "T", "");  // a second unnamed one on the same column
  fx.table->CreateConstraintManager(defs);
  TVelqorimBaseConstraintManager& m = *fx.table->ConstraintManager;
  EXPECT_EQ(m.ConstraintDefs[0]->Name, "$C_NotNull$T$a");
  EXPECT_EQ(m.ConstraintDefs[1]->Name, "$C_Check$T$b");
  EXPECT_EQ(m.ConstraintDefs[2]->Name.rfind("$C_NotNull$T$a", 0), 0u);
  EXPECT_NE(m.ConstraintDefs[2]->Name, m.ConstraintDefs[0]->Name);

  struct Case {
    std::optional<int32_t> A, B;
    int Code;
  } cases[] = {{1, std::nullopt, 0}, {1, 1, 0},      {1, 10, 0},
               {1, 0, 30029},        {1, 11, 30030}, {std::nullopt, 5, 30026}};
  for (const auto& c : cases) {
    fx.cursor.InternalInitRecord(fx.cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    if (c.A) v.SetAsInteger(*c.A), fx.cursor.SetFieldValue(v, 0, true);
    if (c.B) v.SetAsInteger(*c.B), fx.cursor.SetFieldValue(v, 1, true);
    EXPECT_EQ(CodeOf([&] {
                m.CheckConstraints(0, fx.record.Bytes(), nullptr, true, {-1, 0}, true, true);
              }),
              c.Code);
    EXPECT_EQ(m.CheckConstraints(0, fx.record.Bytes(), nullptr, true, {-1, 0}, false, true), c.Code == 0);
  }

  TVelqorimConstraintDefs missing;
  missing.AddNotNull()->SetNames("zz", "T", "");
  EXPECT_EQ(CodeOf([&] { fx.table->CreateConstraintManager(missing); }), 30027);
}

TEST(VelqorimConstraintManager, PrimaryKeyThroughItsIndex) {
  Fixture fx;
  TVelqorimBaseConstraintManager& m = *fx.table->ConstraintManager;
  TVelqorimIndexDef pk;
  pk.Name = "PK";
  pk.Primary = true;
  pk.SetColumnCount(2);
  pk.GetIndexColumn(0).FieldName = "a";
  pk.GetIndexColumn(1).FieldName = "b";
  fx.table->AddIndex(pk, &fx.cursor);
  ASSERT_EQ(m.ConstraintDefs.Count(), 1);
  auto check = [&](std::optional<int32_t> A, std::optional<int32_t> B, bool Unique) {
    fx.cursor.InternalInitRecord(fx.cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    if (A) v.SetAsInteger(*A), fx.cursor.SetFieldValue(v, 0, true);
    if (B) v.SetAsInteger(*B), fx.cursor.SetFieldValue(v, 1, true);
    return CodeOf([&] { m.CheckConstraints(0, fx.record.Bytes(), nullptr, true, {-1, 0}, true, Unique); });
  };
  EXPECT_EQ(check(1, 2, true), 0);  // an empty table is never asked
  fx.Insert(1, 2);
  EXPECT_EQ(check(std::nullopt, std::nullopt, true), 30330);
  EXPECT_EQ(check(std::nullopt, 2, true), 0);
  EXPECT_EQ(check(1, 2, true), 30319);
  EXPECT_EQ(check(1, 2, false), 0);
  EXPECT_EQ(check(1, 3, true), 0);
  // Dropping the index drops its constraint.
  fx.table->DeleteIndex(pk.ObjectID, &fx.cursor);
  EXPECT_EQ(m.ConstraintDefs.Count(), 0);
}

TEST(VelqorimTableData, SharingRenamingAndDeleting) {
  Fixture fx;
  TTestCursor other;
  other.TableName = "t";  // names ignore case
  EXPECT_EQ(fx.db.FindOrCreateTableData(other), fx.table);
  EXPECT_TRUE(fx.db.TableExists("T"));
  EXPECT_FALSE(fx.db.TableExists("U"));
  EXPECT_EQ(CodeOf([&] { fx.table->RenameTable("U", &fx.cursor); }), 10150);
  EXPECT_EQ(CodeOf([&] { fx.table->DeleteTable(&fx.cursor, false); }), 20017);
  fx.table->DeleteTable(&fx.cursor, true);  // design mode
  fx.table->RenameField("a", "a2");
  EXPECT_EQ(fx.table->IndexManager->IndexDefs.GetIndexDefByName("IA")->GetIndexColumn(0).FieldName, "a2");
  EXPECT_EQ(CodeOf([&] { fx.table->RenameField("nope", "x"); }), 30343);
  EXPECT_EQ(CodeOf([&] { fx.table->RenameField("b", "s"); }), 30344);
  // A session's temporary index is private and gets a unique name.
  auto list = [](const char* s) {
    auto l = std::make_unique<TStringList>();
    l->Add(s);
    return l;
  };
  auto n = list("s"), o = list("ASC"), c = list("NO_CASE");
  bool created = false;
  const String first = fx.table->FindOrCreateIndex(fx.cursor, *n, *o, *c, created);
  EXPECT_TRUE(created);
  EXPECT_EQ(first.rfind("TEMPORARY_INDEX_{", 0), 0u);
  EXPECT_EQ(fx.table->FindOrCreateIndex(fx.cursor, *n, *o, *c, created), first);
  EXPECT_FALSE(created);
  // An index added through a temporary cursor brings no constraint.
  fx.cursor.Temporary = true;
  TVelqorimIndexDef u;
  u.Name = "U1";
  u.Unique = true;
  u.SetColumnCount(1);
  u.GetIndexColumn(0).FieldName = "b";
  fx.table->AddIndex(u, &fx.cursor);
  EXPECT_EQ(fx.table->ConstraintManager->ConstraintDefs.Count(), 0);
  // Temporary indexes catch up after the table changed.
  fx.Insert(1, 1);
  fx.table->RebuildTemporaryIndexes(fx.session.SessionID);
  const int tempId = fx.table->IndexManager->IndexDefs.GetIndexDefByName(first)->ObjectID;
  EXPECT_EQ(fx.table->Index(tempId).Rebuilds, 1);
  EXPECT_EQ(fx.table->IndexManager->IndexDefs.GetIndexDefByName(first)->TableState,
            fx.table->RecordManager->TableState);
}

TEST(VelqorimTableData, CombiningConditions) {
  Fixture fx;
  const int ia = fx.IndexId("IA");
  std::vector<std::vector<uint8_t>> keys;
  auto cond = [&](TABSSearchCondition Op, int32_t Value) {
    keys.emplace_back(fx.cursor.RecordBufferSize, 0);
    std::memcpy(keys.back().data() + fx.cursor.FieldDefs[0]->MemoryOffset, &Value, 4);
    auto c = std::make_unique<TABSScanSearchCondition>(true);
    c->IndexID = ia;
    c->Condition = Op;
    c->KeyFieldCount = 1;
    c->KeyRecordBuffer = keys.back().data();
    c->KeyRecordBufferSize = fx.cursor.RecordBufferSize;
    return c;
  };
  struct Case {
    TABSSearchCondition A;
    int32_t VA;
    TABSSearchCondition B;
    int32_t VB;
    bool Empty;
    TABSSearchCondition Result;
    int32_t VR;
  } cases[] = {
      {scGreater, 5, scGreaterEqual, 5, false, scGreater, 5},
      {scGreaterEqual, 5, scLowerEqual, 5, false, scEqual, 5},
      {scEqual, 3, scLower, 3, true, scNone, 0},
      {scLower, 9, scLower, 4, false, scLower, 4},
      {scGreater, 9, scLower, 4, true, scNone, 0},
      {scEqual, 4, scEqual, 4, false, scEqual, 4},
  };
  for (const auto& c : cases) {
    TABSScanSearchConditionArray list;
    keys.clear();
    keys.reserve(4);
    list.Items.push_back(cond(c.A, c.VA));
    list.Items.push_back(cond(c.B, c.VB));
    const bool ok = fx.table->CombineScanConditions(list);
    EXPECT_EQ(!ok, c.Empty) << c.A << " " << c.B;
    if (!ok) continue;
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Condition, c.Result);
    int32_t v;
    std::memcpy(&v, list[0].KeyRecordBuffer + fx.cursor.FieldDefs[0]->MemoryOffset, 4);
    EXPECT_EQ(v, c.VR);
  }
  // Equal conditions (a filter and a range saying the same) leave one.
  {
    TABSScanSearchConditionArray list;
    keys.clear();
    list.Items.push_back(cond(scLowerEqual, 4));
    list.Items.push_back(cond(scLowerEqual, 4));
    ASSERT_TRUE(fx.table->CombineScanConditions(list));
    EXPECT_EQ(list.Count(), 1);
  }
  // An equality on a one-column unique index is taken without costing.
  TVelqorimIndexDef unique;
  unique.Name = "UB";
  unique.Unique = true;
  unique.SetColumnCount(1);
  unique.GetIndexColumn(0).FieldName = "b";
  fx.cursor.Temporary = true;  // no constraint needed here
  fx.table->AddIndex(unique, &fx.cursor);
  fx.Insert(1, 1);
  TABSScanSearchConditionArray list;
  keys.clear();
  list.Items.push_back(cond(scGreater, 0));
  list.Items.push_back(cond(scEqual, 1));
  list.Items.back()->IndexID = unique.ObjectID;
  int start = -1, end = -1;
  fx.table->ChooseScan(0, list, start, end, false, true, {-1, 0}, ia);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, -1);
}

// The scan machinery against a plain model: random tables (NULLs included),
// cursor orders, ranges and filters; every view walked, counted, numbered
// and searched must equal the model's.
TEST(VelqorimTableData, ScansAgreeWithAVectorModel) {
  EvaluatorInstall evaluator;
  TABSSeededRandomSource rnd(2024);
  auto pick = [&](int n) { return static_cast<int>(rnd.Next32() % static_cast<uint32_t>(n)); };
  for (int round = 0; round < 120; ++round) {
    // Odd rounds run on B-tree indexes in small pages (deep trees), even ones on the sorted double.
    SCOPED_TRACE(round);
    doubles::TMapPageManager pages(1 << 16);
    Fixture fx(round % 2 == 1 ? &pages : nullptr);
    struct Row {
      int32_t Id;
      std::optional<int32_t> A, B;
    };
    std::vector<Row> rows;
    const int count = 1 + pick(25);
    for (int i = 0; i < count; ++i) {
      std::optional<int32_t> a = pick(6) == 0 ? std::nullopt : std::optional<int32_t>(pick(8));
      std::optional<int32_t> b = pick(6) == 0 ? std::nullopt : std::optional<int32_t>(pick(5));
      fx.Insert(a, b);
      rows.push_back({i, a, b});
    }
    // Delete a few, so ids have gaps.
    for (int i = 0; i < count / 5; ++i) {
      const int victim = pick(static_cast<int>(rows.size()));
      fx.table->RemoveRecord(fx.cursor, {rows[victim].Id, 0});
      rows.erase(rows.begin() + victim);
    }
    // Cursor order: physical, IA or IBA.
    const int order = pick(3);
    const char* indexName = order == 1 ? "IA" : order == 2 ? "IBA" : nullptr;
    fx.cursor.SetIndexName(indexName != nullptr ? indexName : "");
    auto less = [&](const Row& x, const Row& y) {
      auto cmp = [](const std::optional<int32_t>& p, const std::optional<int32_t>& q) {
        if (!p || !q) return int(bool(p)) - int(bool(q));
        return (*p > *q) - (*p < *q);
      };
      int c = 0;
      if (order == 1) c = cmp(x.A, y.A);
      if (order == 2) c = cmp(x.B, y.B) != 0 ? cmp(x.B, y.B) : cmp(x.A, y.A);
      return c != 0 ? c < 0 : x.Id < y.Id;
    };
    std::vector<Row> model = rows;
    std::stable_sort(model.begin(), model.end(), less);

    // A filter on a, possibly served by IA.
    const TABSSearchCondition ops[] = {scEqual, scLower, scGreater, scLowerEqual, scGreaterEqual};
    const TABSSearchCondition op = ops[pick(5)];
    const int32_t value = pick(8);
    TCompareExpression filter(fx.cursor.FieldDefs, 0, op, value);
    filter.UseIndexes = pick(2) == 0;
    const bool filtered = pick(3) != 0;
    if (filtered) fx.cursor.FilterExpression = &filter;
    auto passes = [&](const Row& r) {
      if (!filtered) return true;
      if (!r.A) return false;
      switch (op) {
        case scEqual:
          return *r.A == value;
        case scLower:
          return *r.A < value;
        case scGreater:
          return *r.A > value;
        case scLowerEqual:
          return *r.A <= value;
        default:
          return *r.A >= value;
      }
    };
    // A range on the cursor's index: its first column from lo to hi.
    std::vector<uint8_t> lo(fx.cursor.RecordBufferSize, 0), hi(fx.cursor.RecordBufferSize, 0);
    std::optional<std::pair<int32_t, int32_t>> range;
    if (order != 0 && pick(2) == 0) {
      range = std::make_pair(pick(5), pick(5) + 2);
      const int field = order == 1 ? 0 : 1;
      std::memcpy(lo.data() + fx.cursor.FieldDefs[field]->MemoryOffset, &range->first, 4);
      std::memcpy(hi.data() + fx.cursor.FieldDefs[field]->MemoryOffset, &range->second, 4);
      fx.cursor.ApplyRange(lo.data(), hi.data(), 1, 1, false, false);
    }
    auto inRange = [&](const Row& r) {
      if (!range) return true;
      const auto& k = order == 1 ? r.A : r.B;
      return k && *k >= range->first && *k <= range->second;  // NULL sorts below every bound
    };
    std::vector<int32_t> expected;
    for (const auto& r : model)
      if (passes(r) && inRange(r)) expected.push_back(r.Id);

    EXPECT_EQ(fx.Walk(), expected) << "order " << order << " op " << op << " value " << value;
    EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), static_cast<int64_t>(expected.size()));
    if (!expected.empty()) {
      const int64_t n = 1 + pick(static_cast<int>(expected.size()));
      fx.table->SetRecNo(fx.cursor, n);
      EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, expected[n - 1]);
      EXPECT_EQ(fx.table->GetRecNo(fx.cursor), n);
      fx.table->SetRecNo(fx.cursor, 1000);  // beyond the count: the last record
      EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, expected.back());
    }
    // Locate b = k: the first such record of the view, in the cursor's order.
    const int32_t k = pick(5);
    TCompareExpression search(fx.cursor.FieldDefs, 1, scEqual, k);
    std::optional<int32_t> want;
    for (const auto& r : model)
      if (passes(r) && inRange(r) && r.B && *r.B == k) {
        want = r.Id;
        break;
      }
    fx.cursor.FirstPosition = true;
    const TABSPageItemID before = fx.cursor.CurrentRecordID;
    const bool found = fx.table->Locate(fx.cursor, &search);
    EXPECT_EQ(found, want.has_value());
    if (found) {
      EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, *want);
      EXPECT_EQ(fx.Field(1), k);
    } else {
      EXPECT_TRUE(fx.cursor.CurrentRecordID == before);  // a failed search leaves the cursor alone
    }
  }
}

// Steps through an index range go on from the last record's entry; a step
// after the table, the range or the direction changed starts over from the
// cursor's record.
TEST(VelqorimTableData, RangeStepsFollowChangesBetweenSteps) {
  EvaluatorInstall evaluator;
  doubles::TMapPageManager pages(1 << 16);
  Fixture fx(&pages);
  for (int32_t a = 1; a <= 6; ++a) fx.Insert(a, 0);  // record ids 0 to 5
  fx.cursor.SetIndexName("IA");
  std::vector<uint8_t> lo(fx.cursor.RecordBufferSize, 0), hi(fx.cursor.RecordBufferSize, 0);
  auto range = [&](int32_t From, int32_t To) {
    std::memcpy(lo.data() + fx.cursor.FieldDefs[0]->MemoryOffset, &From, 4);
    std::memcpy(hi.data() + fx.cursor.FieldDefs[0]->MemoryOffset, &To, 4);
    fx.cursor.ApplyRange(lo.data(), hi.data(), 1, 1, false, false);
  };
  auto step = [&](TABSGetRecordMode Mode) {
    const TABSGetRecordResult r = fx.table->GetRecordBuffer(fx.cursor, Mode);
    return r == grrOK ? fx.cursor.CurrentRecordID.PageNo : -1;
  };
  range(2, 5);
  fx.cursor.FirstPosition = true;
  EXPECT_EQ(step(grmNext), 1);
  EXPECT_EQ(step(grmNext), 2);
  EXPECT_EQ(step(grmPrior), 1);  // the direction turns
  EXPECT_EQ(step(grmNext), 2);
  const TABSPageItemID on = fx.cursor.CurrentRecordID;
  fx.Insert(4, 0);  // record 6, inside the range, while the cursor is on a = 3
  fx.cursor.CurrentRecordID = on;
  EXPECT_EQ(step(grmNext), 3);
  EXPECT_EQ(step(grmNext), 6);
  TABSPageItemID gone{4, 0};  // a = 5, the range's last record
  ASSERT_TRUE(fx.table->RecordManager->DeleteRecord(0, gone));
  EXPECT_EQ(step(grmNext), -1);
  range(3, 6);  // a new range around the cursor's record
  fx.cursor.FirstPosition = true;
  EXPECT_EQ(step(grmNext), 2);
  EXPECT_EQ(step(grmNext), 3);
  range(4, 6);
  EXPECT_EQ(step(grmNext), 6);
  EXPECT_EQ(step(grmNext), 5);
  EXPECT_EQ(step(grmNext), -1);
}

// A walk over one key of an index ends at the first entry with another key,
// forwards and backwards, also where the key's entries fill several leaves;
// a key below or above every entry gives nothing.
TEST(VelqorimTableData, OneKeyWalksEndAtTheNextKey) {
  EvaluatorInstall evaluator;
  doubles::TMapPageManager pages(1 << 16);
  Fixture fx(&pages);
  constexpr int32_t Rows = 60;
  for (int32_t i = 0; i < Rows; ++i) fx.Insert(i % 4, 0);  // record i has a = i % 4
  fx.cursor.SetIndexName("IA");
  std::vector<uint8_t> key(fx.cursor.RecordBufferSize, 0);
  auto walk = [&](int32_t A, bool Forward) {
    std::memcpy(key.data() + fx.cursor.FieldDefs[0]->MemoryOffset, &A, 4);
    fx.cursor.ApplyRange(key.data(), key.data(), 1, 1, false, false);
    fx.cursor.FirstPosition = Forward;
    fx.cursor.LastPosition = !Forward;
    std::vector<int32_t> ids;
    for (int guard = 0; guard <= Rows; ++guard) {
      if (fx.table->GetRecordBuffer(fx.cursor, Forward ? grmNext : grmPrior) != grrOK) break;
      ids.push_back(fx.cursor.CurrentRecordID.PageNo);
    }
    return ids;
  };
  for (int32_t a = -1; a <= 4; ++a) {
    std::vector<int32_t> expected;
    for (int32_t i = 0; i < Rows; ++i)
      if (i % 4 == a) expected.push_back(i);
    EXPECT_EQ(walk(a, true), expected) << a;
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(walk(a, false), expected) << a;
  }
  fx.cursor.ResetRange();
}

TEST(VelqorimTableData, RestrictedCountsFollowTableChanges) {
  EvaluatorInstall evaluator;
  Fixture fx;
  for (int32_t a : {1, 5, 7}) fx.Insert(a, 0);
  TCompareExpression filter(fx.cursor.FieldDefs, 0, scGreater, 3);
  fx.cursor.FilterExpression = &filter;
  EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), 2);
  EXPECT_TRUE(fx.cursor.RecordBitmap->Active);
  fx.Insert(9, 0);  // the bitmap is out of date now and is rebuilt on demand
  EXPECT_TRUE(fx.cursor.RecordBitmap->Outdated());
  EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), 3);
  TABSPageItemID id{1, 0};
  fx.table->RecordManager->DeleteRecord(0, id);
  EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), 2);
  EXPECT_EQ(fx.Walk(), (std::vector<int32_t>{2, 3}));
  fx.cursor.FilterExpression = nullptr;
  fx.cursor.DisableRecordBitmap();
  EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), 3);
}

TEST(VelqorimTableData, FindKeyAndDistinct) {
  EvaluatorInstall evaluator;
  Fixture fx;
  for (int32_t a : {3, 1, 2, 3, 1}) fx.Insert(a, 10 - a);
  EXPECT_EQ(CodeOf([&] { fx.table->FindKey(fx.cursor, scEqual); }), 20258);
  fx.cursor.SetIndexName("IA");
  std::vector<uint8_t> key(fx.cursor.RecordBufferSize, 0);
  const int32_t two = 2;
  std::memcpy(key.data() + fx.cursor.FieldDefs[0]->MemoryOffset, &two, 4);
  fx.cursor.KeyBuffer = key.data();
  fx.cursor.KeyFieldCount = 1;
  EXPECT_TRUE(fx.table->FindKey(fx.cursor, scEqual));
  EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, 2);
  EXPECT_TRUE(fx.table->FindKey(fx.cursor, scGreater));
  EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, 0);  // the first 3 in index order
  const int32_t nine = 9;
  std::memcpy(key.data() + fx.cursor.FieldDefs[0]->MemoryOffset, &nine, 4);
  EXPECT_FALSE(fx.table->FindKey(fx.cursor, scEqual));
  EXPECT_EQ(fx.cursor.CurrentRecordID.PageNo, 0);  // unchanged

  // Distinct on a: one record per value, in index order.
  fx.cursor.DistinctFieldCount = 1;
  fx.cursor.DisableRecordBitmap();
  const auto ids = fx.Walk();
  ASSERT_EQ(ids.size(), 3u);
  std::vector<int32_t> values;
  for (int32_t id : ids) {
    int32_t v;
    std::memcpy(&v, fx.table->Store().Records[id].data() + fx.cursor.FieldDefs[0]->MemoryOffset, 4);
    values.push_back(v);
  }
  EXPECT_EQ(values, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(fx.table->GetRecordCount(fx.cursor), 3);
  // Stepping forward from the last record of a restricted view gives EOF and stays.
  const TABSPageItemID last = fx.cursor.CurrentRecordID;
  EXPECT_EQ(fx.table->GetRecordBuffer(fx.cursor, grmNext), grrEOF);
  EXPECT_TRUE(fx.cursor.CurrentRecordID == last);
  fx.cursor.FirstPosition = true;
  EXPECT_EQ(fx.table->GetRecNo(fx.cursor), -1);
}

TEST(VelqorimCursor, FieldAccessAndPositions) {
  Fixture fx;
  TABSVariant v;
  v.SetAsAnsiString("hello");
  fx.cursor.SetFieldValue(v, 2, true);
  v.SetAsAnsiString("");
  fx.cursor.SetFieldValue(v, 2, true);  // an empty text is null
  EXPECT_FALSE(fx.cursor.GetFieldData(2, nullptr, fx.record.Bytes()));
  v.SetAsAnsiString("toolongtext");
  EXPECT_EQ(CodeOf([&] { fx.cursor.SetFieldValue(v, 2, true); }), 20056);
  v.SetAsAnsiString("hi");
  fx.cursor.SetFieldValue(v, 2, true);
  TABSVariant back;
  fx.cursor.GetFieldValue(back, 2, true);
  EXPECT_EQ(back.GetAsAnsiString(), "hi");
  EXPECT_EQ(CodeOf([&] { fx.cursor.GetFieldValue(back, 5, true); }), 20191);
  EXPECT_EQ(CodeOf([&] { fx.cursor.GetFieldValue(back, 5, false); }), 10317);
  // Projection with aliases that collide.
  TStringList names, aliases;
  names.Add("a");
  names.Add("b");
  aliases.Add("x");
  aliases.Add("x");
  fx.cursor.ApplyProjection(names, aliases);
  EXPECT_EQ(fx.cursor.VisibleFieldDefs[1]->Name, "x_1");
  EXPECT_EQ(fx.cursor.VisibleFieldDefs[1]->FieldNoReference, 1);
  names.Add("zz");
  aliases.Add("");
  EXPECT_EQ(CodeOf([&] { fx.cursor.ApplyProjection(names, aliases); }), 10323);
  // Dataset field data: shortint widened with its sign, cardinal without.
  Fixture g;
  TVelqorimCursor& c = g.cursor;
  c.FieldDefs.Clear();
  c.FieldDefs.AddCreated()->SetFieldDefDataType(aftShortint, 0);
  c.FieldDefs.AddCreated()->SetFieldDefDataType(aftCardinal, 0);
  c.FieldDefs[0]->Name = "i8";
  c.FieldDefs[1]->Name = "u32";
  c.FieldDefs.RecalcFieldOffsets();
  c.VisibleFieldDefs.Assign(c.FieldDefs);
  c.VisibleFieldDefs[1]->FieldNoReference = 1;
  std::vector<uint8_t> rec(c.FieldDefs.GetMemoryRecordBufferSize(), 0);
  const int16_t minus5 = -5;
  c.SetFieldData(0, &minus5, rec.data());
  const int64_t big = 0xFFFFFFF0ll;
  c.SetFieldData(1, &big, rec.data());
  int16_t s = 0;
  int64_t u = 0;
  EXPECT_TRUE(c.GetFieldData(0, &s, rec.data()));
  EXPECT_TRUE(c.GetFieldData(1, &u, rec.data()));
  EXPECT_EQ(s, -5);
  EXPECT_EQ(u, 0xFFFFFFF0ll);
  // Saved positions come back exactly.
  c.FirstPosition = false;
  c.LastPosition = true;
  c.CurrentRecordID = {1234, 56};
  void* pos = c.SavePosition();
  c.CurrentRecordID = {1, 1};
  c.LastPosition = false;
  c.RestorePosition(pos);
  c.FreePosition(pos);
  EXPECT_TRUE(c.LastPosition);
  EXPECT_TRUE((c.CurrentRecordID == TABSPageItemID{1234, 56}));
  c.SetIndexName("nope");
  EXPECT_EQ(c.IndexID, -1);
  // Session objects: same id replaces.
  TTestSession session;
  session.SetObject(new TVelqorimSessionNamedObjectSequenceValue(5, 1));
  session.SetObject(new TVelqorimSessionNamedObjectSequenceValue(5, 2));
  EXPECT_EQ(session.ObjectCount(), 1);
  EXPECT_EQ(static_cast<TVelqorimSessionNamedObjectSequenceValue*>(session.GetObjectByID(5))->Value, 2);
}

}  // namespace

// The B-tree record index on its own: numbering of equal keys, the unique
// check (NULL equals NULL) and text keys cut short yet ordered by full value.
TEST(VelqorimBTreeRecordIndex, NumbersUniqueKeysAndCutText) {
  doubles::TMapPageManager pages(1 << 16);
  Fixture fx(&pages);
  for (int i = 0; i < 150; ++i) fx.Insert(5, i % 3 == 0 ? std::nullopt : std::optional<int32_t>(i));
  auto& ia = static_cast<TVelqorimBTreeRecordIndex&>(*fx.table->IndexManager->OpenIndex(fx.IndexId("IA")));
  ia.CheckIntegrity(0);
  for (const auto& [id, record] : fx.table->Store().Records) {
    const int64_t n = ia.GetRecNoByRecordID(0, {id, 0}, record.data());
    EXPECT_EQ(n, id + 1);  // equal keys keep record-id order
    EXPECT_EQ(ia.GetRecordIDByRecNo(0, n).PageNo, id);
  }
  EXPECT_THROW(ia.GetRecordIDByRecNo(0, 151), EABSException);

  auto& iba = static_cast<TVelqorimBTreeRecordIndex&>(*fx.table->IndexManager->OpenIndex(fx.IndexId("IBA")));
  iba.IndexDef->Unique = true;
  auto probe = [&](std::optional<int32_t> B) {
    fx.cursor.InternalInitRecord(fx.cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    v.SetAsInteger(5), fx.cursor.SetFieldValue(v, 0, true);
    if (B) v.SetAsInteger(*B), fx.cursor.SetFieldValue(v, 1, true);
    return iba.CanInsertRecord(0, fx.cursor.CurrentRecordBuffer);
  };
  EXPECT_FALSE(probe(7));             // (7, 5) is there
  EXPECT_FALSE(probe(std::nullopt));  // (NULL, 5) is there, and NULL equals NULL
  EXPECT_TRUE(probe(3));              // 3 is a multiple of 3: stored as NULL

  // An index on s keeps 2 bytes of it: equal cut keys are ordered by the records.
  TVelqorimIndexDef def;
  def.Name = "IS";
  def.SetColumnCount(1);
  def.GetIndexColumn(0).FieldName = "s";
  def.GetIndexColumn(0).MaxIndexedSize = 2;
  const int isId = fx.table->IndexManager->CreateIndex(&fx.cursor, def);
  auto& is = static_cast<TVelqorimBTreeRecordIndex&>(*fx.table->IndexManager->OpenIndex(isId));
  is.EmptyIndex(0);
  fx.table->Store().Records.clear();
  for (const char* s : {"abX", "abA", "a", "abM", "ab", "b", "abC"}) {
    fx.cursor.InternalInitRecord(fx.cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    v.SetAsAnsiString(s);
    fx.cursor.SetFieldValue(v, 2, true);
    TABSPageItemID id;
    fx.table->RecordManager->AddRecord(0, fx.cursor.CurrentRecordBuffer, id);
    fx.cursor.CurrentRecordID = id;
    is.InsertRecord(fx.cursor);
  }
  is.CheckIntegrity(0);
  std::vector<std::string> order;
  void* search = is.CreateSearchInfo();
  TABSPageItemID id{-1, 0};
  for (bool restart = true; is.FindRecord(0, restart, true, nullptr, nullptr, nullptr, id, search);
       restart = false)
    order.emplace_back(reinterpret_cast<const char*>(fx.table->Store().Records.at(id.PageNo).data() +
                                                     fx.cursor.FieldDefs[2]->MemoryOffset));
  is.FreeSearchInfo(search);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "ab", "abA", "abC", "abM", "abX", "b"}));
}
