// Metadata definitions: stored forms round-trip byte for byte, record layout,
// index look-up by column request.

#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/VelqorimBase.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"
#include "tests/db_support/DAZTestUtil.h"

namespace {

std::vector<uint8_t> Bytes(TABSMemoryStream& s) { return {s.Buffer(), s.Buffer() + s.Size()}; }

template <class TDefs>
std::vector<uint8_t> Saved(const TDefs& Defs) {
  TABSMemoryStream s;
  Defs.SaveToStream(s);
  return Bytes(s);
}

// Reads Bytes into a fresh list and writes it again: the bytes must come back unchanged.
template <class TDefs>
void ExpectRoundTrip(const std::vector<uint8_t>& Stored, TDefs& Loaded) {
  TABSMemoryStream in;
  in.Write(Stored.data(), static_cast<int64_t>(Stored.size()));
  in.Seek(0, soBeginning);
  Loaded.LoadFromStream(in);
  EXPECT_EQ(in.Position(), in.Size());
  EXPECT_EQ(Saved(Loaded), Stored);
}

TEST(VelqorimFieldDefs, EveryFieldTypeRoundTripsWithDefaultsAndAutoinc) {
  TVelqorimFieldDefs defs;
  int objectId = 100;
  for (int t = aftChar; t < ABSAdvancedFieldTypeCount; ++t) {
    auto* d = defs.AddCreated();
    d->Name = "F" + std::to_string(t) + "\xC3\xA9";  // a name beyond ASCII (stored as Windows-1252)
    d->ObjectID = objectId++;
    d->SetFieldDefDataType(static_cast<TABSAdvancedFieldType>(t), AdvancedFieldTypeHasSize(static_cast<TABSAdvancedFieldType>(t)) ? 12 : 0);
    if (IsBlobBaseFieldType(d->BaseFieldType)) {
      d->BLOBCompressionAlgorithm = acaZLIB;
      d->BLOBCompressionMode = 6;
      d->BLOBBlockSize = 4096;
    }
    if (IsAutoincAdvancedFieldType(d->AdvancedFieldType)) {
      d->AutoincIncrement = -3;
      d->AutoincInitialValue = 1000;
      d->AutoincMinValue = -5;
      d->AutoincMaxValue = 0;
      d->AutoincCycled = true;
    }
    if (d->BaseFieldType == bftSignedInt32) d->DefaultValue.SetAsInteger(-7);
    if (d->BaseFieldType == bftVarchar) d->DefaultValue.SetAsAnsiString("abc");
  }
  const auto stored = Saved(defs);
  TVelqorimFieldDefs loaded;
  ExpectRoundTrip(stored, loaded);
  ASSERT_EQ(loaded.Count(), defs.Count());
  for (int i = 0; i < defs.Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(loaded[i]->Name, defs[i]->Name);
    EXPECT_EQ(loaded[i]->AdvancedFieldType, defs[i]->AdvancedFieldType);
    EXPECT_EQ(loaded[i]->MemoryDataSize, defs[i]->MemoryDataSize);
    EXPECT_EQ(loaded[i]->DiskDataSize, defs[i]->DiskDataSize);
    EXPECT_EQ(loaded[i]->AutoincIncrement, defs[i]->AutoincIncrement);
    EXPECT_EQ(loaded[i]->DefaultValue.IsNull(), defs[i]->DefaultValue.IsNull());
  }
  EXPECT_EQ(loaded.LoadedItemCount, defs.Count());
}

TEST(VelqorimFieldDefs, StoredFormOfOneIntegerField) {
  TVelqorimFieldDefs defs;
  auto* d = defs.AddCreated();
  d->Name = "ID";
  d->ObjectID = 7;
  d->SetFieldDefDataType(aftInteger, 0);
  // count, name, id, types, size, four i64, cycled, default type + null flag
  std::vector<uint8_t> expected = {1, 0, 0, 0, 2, 'I', 'D', 7, 0, 0, 0, bftSignedInt32, aftInteger, 0, 0, 0, 0,
                                   1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, bftUnknown, 255};
  EXPECT_EQ(Saved(defs), expected);
}

TEST(VelqorimFieldDefs, RecordLayout) {
  struct Case {
    int FieldCount;
    int NullBytes;
  } cases[] = {{8, 1}, {9, 2}, {16, 2}, {17, 3}};
  for (const auto& c : cases) {
    TVelqorimFieldDefs defs;
    for (int i = 0; i < c.FieldCount; ++i) defs.AddCreated()->SetFieldDefDataType(aftSmallint, 0);
    defs.RecalcFieldOffsets();
    EXPECT_EQ(defs[0]->MemoryOffset, c.NullBytes);
    EXPECT_EQ(defs[c.FieldCount - 1]->DiskOffset, c.NullBytes + 2 * (c.FieldCount - 1));
    EXPECT_EQ(defs.GetMemoryRecordBufferSize(), c.NullBytes + 2 * c.FieldCount);
  }
  TVelqorimFieldDefs defs;
  defs.AddCreated()->SetFieldDefDataType(aftString, 20);
  defs.AddCreated()->SetFieldDefDataType(aftWideString, 20);
  defs.AddCreated()->SetFieldDefDataType(aftBlob, 0);
  defs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
  defs.RecalcFieldOffsets();
  EXPECT_EQ(defs[0]->MemoryDataSize, 21);
  EXPECT_EQ(defs[1]->MemoryDataSize, 42);
  EXPECT_EQ(defs[2]->MemoryDataSize, 10);
  EXPECT_EQ(defs[2]->DiskDataSize, 6);
  EXPECT_EQ(defs[3]->MemoryOffset, 1 + 21 + 42 + 10);
  EXPECT_EQ(defs[3]->DiskOffset, 1 + 21 + 42 + 6);
  EXPECT_EQ(defs.GetDiskRecordBufferSize(), 1 + 21 + 42 + 6 + 4);
  EXPECT_EQ(CodeOf([&] { defs[0]->SetFieldDefDataType(aftUnknown, 0); }), 30007);
  EXPECT_EQ(CodeOf([&] { defs[0]->SetFieldDefDataType(bftBFile, 0); }), 30008);
  // A size no record can hold traps instead of wrapping.
  EXPECT_ANY_THROW(defs[0]->SetFieldDefDataType(aftString, INT32_MAX));
  // Slots that each fit but together pass 2 GiB trap instead of wrapping.
  TVelqorimFieldDefs huge;
  for (int i = 0; i < 3; ++i) huge.AddCreated()->SetFieldDefDataType(aftBytes, 1 << 30);
  EXPECT_EQ(CodeOf([&] { huge.RecalcFieldOffsets(); }), 30700);
  EXPECT_EQ(CodeOf([&] { huge.GetMemoryRecordBufferSize(); }), 30700);
}

TEST(VelqorimIndexDefs, TemporaryIndexesAreNotStored) {
  TVelqorimIndexDefs defs;
  for (int i = 0; i < 3; ++i) {
    auto* d = defs.AddCreated();
    d->Name = "I" + std::to_string(i);
    d->ObjectID = 10 + i;
    d->Unique = i == 0;
    d->Primary = i == 2;
    d->RootPageNo = 40 + i;
    d->SetColumnCount(2);
    d->GetIndexColumn(0) = {"A", true, false, 20};
    d->GetIndexColumn(1) = {"B", false, true, 255};
    d->Temporary = i == 1;
  }
  const auto stored = Saved(defs);
  EXPECT_EQ(stored[0], 2);
  TVelqorimIndexDefs loaded;
  ExpectRoundTrip(stored, loaded);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded[1]->Name, "I2");
  EXPECT_TRUE(loaded[1]->Primary);
  EXPECT_EQ(loaded[1]->GetIndexColumn(1).MaxIndexedSize, 255);
  EXPECT_TRUE(loaded[0]->GetIndexColumn(0).Descending);
}

TEST(VelqorimConstraintDefs, EveryKindRoundTrips) {
  TVelqorimConstraintDefs defs;
  auto* nn = defs.AddNotNull();
  nn->Name = "$C_NotNull$T$A";
  nn->SetNames("A", "T", "S");
  nn->ColumnObjectID = 3;
  auto* ck = defs.AddCheck();
  ck->SetNames("B", "T", "");
  ck->MinValue.SetAsInteger(1);
  ck->MaxValue.SetAsInteger(10);
  auto* pk = defs.AddPK();
  pk->Name = "PK";
  pk->IndexName = "PKIDX";
  pk->IndexObjectID = 9;
  pk->Columns = {{"A", 3}, {"B", 4}};
  auto* uq = defs.AddUnique();
  uq->TableName = "T";
  uq->Columns = {{"C", 5}};
  const auto stored = Saved(defs);
  TVelqorimConstraintDefs loaded;
  ExpectRoundTrip(stored, loaded);
  ASSERT_EQ(loaded.Count(), 4);
  EXPECT_EQ(loaded[0]->ConstraintType, ctNotNull);
  EXPECT_EQ(static_cast<TVelqorimConstraintDefNotNull*>(loaded[0])->TableName, "T");
  EXPECT_EQ(static_cast<TVelqorimConstraintDefCheck*>(loaded[1])->MaxValue.GetAsInteger(), 10);
  EXPECT_EQ(loaded[2]->ConstraintType, ctPK);
  EXPECT_EQ(static_cast<TVelqorimConstraintDefUnique*>(loaded[2])->Columns[1].ColumnName, "B");
  EXPECT_EQ(loaded[3]->ConstraintType, ctUnique);

  TVelqorimConstraintDefs copy;
  copy.Assign(defs);
  EXPECT_EQ(Saved(copy), stored);
}

TEST(VelqorimMetaObjectDefs, DamagedStreamsAreRefused) {
  // A constraint of type 1 (foreign key) has no class.
  std::vector<uint8_t> fk = {1, 0, 0, 0, 1};
  TVelqorimConstraintDefs constraints;
  TABSMemoryStream s;
  s.Write(fk.data(), 5);
  s.Seek(0, soBeginning);
  EXPECT_EQ(CodeOf([&] { constraints.LoadFromStream(s); }), 30316);

  // Truncated field list: the complete definitions stay, the broken one does not.
  TVelqorimFieldDefs defs;
  for (int i = 0; i < 2; ++i) defs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
  auto stored = Saved(defs);
  stored.resize(stored.size() - 3);
  TABSMemoryStream t;
  t.Write(stored.data(), static_cast<int64_t>(stored.size()));
  t.Seek(0, soBeginning);
  TVelqorimFieldDefs loaded;
  EXPECT_NE(CodeOf([&] { loaded.LoadFromStream(t); }), 0);
  EXPECT_EQ(loaded.Count(), 1);

  // A huge count is refused before anything is allocated.
  std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0x7F};
  TABSMemoryStream h;
  h.Write(huge.data(), 4);
  h.Seek(0, soBeginning);
  EXPECT_EQ(CodeOf([&] { loaded.LoadFromStream(h); }), 10159);

  // Two definitions of one name cannot be assigned into a list.
  TVelqorimFieldDefs dup;
  dup.AddCreated()->Name = "A";
  dup.AddCreated()->Name = "a";
  EXPECT_EQ(CodeOf([&] { loaded.Assign(dup); }), 10424);
}

TEST(VelqorimIndexDefs, FindIndexByColumnRequest) {
  TVelqorimFieldDefs fields;
  fields.AddCreated()->Name = "a";
  fields[0]->SetFieldDefDataType(aftInteger, 0);
  fields.AddCreated()->Name = "b";
  fields[1]->SetFieldDefDataType(aftString, 10);
  TVelqorimIndexDefs defs;
  auto* ab = defs.AddCreated();
  ab->ObjectID = 1;
  ab->SetColumnCount(2);
  ab->GetIndexColumn(0).FieldName = "A";
  ab->GetIndexColumn(1).FieldName = "B";
  auto* tmp = defs.AddCreated();
  tmp->ObjectID = 2;
  tmp->Temporary = true;
  tmp->SessionID = 5;
  tmp->SetColumnCount(1);
  tmp->GetIndexColumn(0) = {"b", false, true, 20};

  auto list = [](std::initializer_list<const char*> items) {
    auto l = std::make_unique<TStringList>();
    for (const char* s : items) l->Add(s);
    return l;
  };
  struct Case {
    std::initializer_list<const char*> Names, Orders, Cases;
    int Session;
    int Expected;
  } cases[] = {
      {{"a"}, {"ASC"}, {"CASE"}, 0, 1},          // prefix of (a, b); integer column ignores CASE
      {{"a"}, {"ASC"}, {"NO_CASE"}, 0, -1},      // the column is not case-insensitive
      {{"a"}, {"DESC"}, {""}, 0, -1},
      {{"a", "b", "c"}, {"", "", ""}, {"", "", ""}, 0, -1},
      {{"b"}, {""}, {"NO_CASE"}, 5, 2},          // the owner session sees its temporary index
      {{"b"}, {""}, {"NO_CASE"}, 6, -1},         // another session does not
      {{"b"}, {""}, {"CASE"}, 5, -1},            // text column asked case-sensitive
  };
  for (const auto& c : cases) {
    auto n = list(c.Names), o = list(c.Orders), k = list(c.Cases);
    EXPECT_EQ(defs.FindIndex(n.get(), o.get(), k.get(), c.Session, fields), c.Expected) << *c.Names.begin();
  }
  auto n = list({"a"}), two = list({"ASC", "ASC"});
  EXPECT_EQ(CodeOf([&] { defs.FindIndex(n.get(), two.get(), n.get(), 0, fields); }), 10276);
  EXPECT_EQ(CodeOf([&] { defs.FindIndex(nullptr, n.get(), n.get(), 0, fields); }), 10389);
}

}  // namespace

namespace {

// Damaged metadata never crashes a reader: every mutation either loads or
// raises the engine's error (the sanitizers watch the rest).
TEST(VelqorimMetaObjectDefs, MutatedStreamsLoadOrRaise) {
  TVelqorimFieldDefs fields;
  for (TABSAdvancedFieldType t : {aftString, aftInteger, aftBlob, aftAutoIncLargeint, aftWideString}) {
    auto* d = fields.AddCreated();
    d->Name = "F" + std::to_string(int{t});
    d->SetFieldDefDataType(t, AdvancedFieldTypeHasSize(t) ? 10 : 0);
    if (t == aftString) d->DefaultValue.SetAsAnsiString("x");
  }
  TVelqorimIndexDefs indexes;
  auto* i = indexes.AddCreated();
  i->SetColumnCount(2);
  TVelqorimConstraintDefs constraints;
  constraints.AddCheck()->MinValue.SetAsInteger(1);
  constraints.AddUnique()->Columns = {{"A", 1}};
  const std::vector<std::vector<uint8_t>> stored = {Saved(fields), Saved(indexes), Saved(constraints)};
  TABSSeededRandomSource rnd(99);
  for (int round = 0; round < 3000; ++round) {
    const int kind = round % 3;
    std::vector<uint8_t> bytes = stored[kind];
    for (int n = 1 + static_cast<int>(rnd.Next32() % 3); n > 0; --n) {
      const size_t at = rnd.Next32() % bytes.size();
      switch (rnd.Next32() % 3) {
        case 0: bytes[at] = static_cast<uint8_t>(rnd.Next32()); break;
        case 1: bytes.resize(at); break;
        default: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(rnd.Next32())); break;
      }
      if (bytes.empty()) bytes.push_back(0);
    }
    TABSMemoryStream s;
    s.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.Seek(0, soBeginning);
    try {
      if (kind == 0) {
        TVelqorimFieldDefs d;
        d.LoadFromStream(s);
        d.RecalcFieldOffsets();
      } else if (kind == 1) {
        TVelqorimIndexDefs d;
        d.LoadFromStream(s);
      } else {
        TVelqorimConstraintDefs d;
        d.LoadFromStream(s);
      }
    } catch (const EABSException&) {
    } catch (const EABSIntOverflow&) {
    }
  }
}

}  // namespace
