// Advanced field and index definitions, their conversions (through a real
// MEMORY table), and the dataset BLOB stream.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "db/sql/VelqorimAdvDefs.h"
#include "db/sql/VelqorimMain.h"
#include "db/support/DAZExcept.h"
#include "tests/db_dsfw/VectorDataSet.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

TEST(VelqorimAdvDefs, DefinitionListsFindDeleteAndCopy) {
  TVelqorimAdvFieldDefs fields;
  TVelqorimAdvFieldDef* id = fields.Add("Id", aftAutoInc);
  EXPECT_EQ(id->ObjectID, -1);
  EXPECT_EQ(id->AutoincIncrement, 1);
  EXPECT_EQ(id->AutoincMaxValue, 9223372036854775807LL);
  EXPECT_EQ(id->BLOBBlockSize, 102400);
  fields.Add("Name", aftString, 30, true)->MinValue.SetAsAnsiString("a");
  EXPECT_EQ(fields.Find("NAME"), fields[1]);
  EXPECT_EQ(fields.Find("Nam"), nullptr);
  TVelqorimAdvFieldDefs copy;
  copy.Assign(fields);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_TRUE(copy[1]->Required);
  EXPECT_EQ(copy[1]->MinValue.GetAsAnsiString(), "a");
  EXPECT_NE(copy[1], fields[1]);
  copy.DeleteFieldDef("id");
  EXPECT_EQ(copy.Count(), 1);
  EXPECT_EQ(NativeErrorOf([&] { copy.DeleteFieldDef("Id"); }), 30349);

  TVelqorimAdvIndexDefs indexes;
  indexes.Add("ByName", "Name", ixUnique);
  indexes.Add("Temporary_Index_1", "Name");
  indexes.Add("Private", "Id", 0, true);
  EXPECT_EQ(indexes.Find("byname"), indexes[0]);
  EXPECT_EQ(indexes.Find("By"), nullptr);
  EXPECT_EQ(NativeErrorOf([&] { indexes.DeleteIndexDef("By"); }), 20190);
  TVelqorimAdvIndexDefs kept;
  kept.Assign(indexes, true);
  ASSERT_EQ(kept.Count(), 1);
  EXPECT_EQ(kept[0]->Name, "ByName");
  kept.Assign(indexes);
  EXPECT_EQ(kept.Count(), 3);
  kept.DeleteIndexDef("BYNAME");
  EXPECT_EQ(kept[0]->Name, "Temporary_Index_1");
}

TEST(VelqorimAdvDefs, IndexDefinitionsFromLists) {
  TFieldDefs framework(nullptr);
  for (const char* name : {"A", "B", "C"}) framework.Add(name, ftInteger);
  TVelqorimIndexDef def;
  FillEngineIndexDef(def, "I", "a, b;C", framework, "5;;7", "", "", false, ixDescending | ixUnique);
  ASSERT_EQ(def.ColumnCount(), 3);
  EXPECT_TRUE(def.Unique);
  EXPECT_FALSE(def.Primary);
  const int sizes[] = {5, 20, 7};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(def.GetIndexColumn(i).FieldName, String(1, "abC"[i]));
    EXPECT_TRUE(def.GetIndexColumn(i).Descending) << i;  // ixDescending with no list: every column
    EXPECT_FALSE(def.GetIndexColumn(i).CaseInsensitive);
    EXPECT_EQ(def.GetIndexColumn(i).MaxIndexedSize, sizes[i]);
  }
  FillEngineIndexDef(def, "I", "A;B", framework, "", "a", "b", false, ixDescending | ixCaseInsensitive);
  EXPECT_FALSE(def.GetIndexColumn(0).Descending);
  EXPECT_TRUE(def.GetIndexColumn(1).Descending);
  EXPECT_TRUE(def.GetIndexColumn(0).CaseInsensitive);
  EXPECT_FALSE(def.GetIndexColumn(1).CaseInsensitive);
  EXPECT_EQ(def.GetIndexColumn(1).MaxIndexedSize, 20);

  EXPECT_EQ(NativeErrorOf([&] { FillEngineIndexDef(def, "", "A", framework, "", "", "", false, 0); }), 20048);
  EXPECT_EQ(NativeErrorOf([&] { FillEngineIndexDef(def, "I", " ", framework, "", "", "", false, 0); }), 20049);
  EXPECT_EQ(NativeErrorOf([&] { FillEngineIndexDef(def, "I", "A;D", framework, "", "", "", false, 0); }), 20050);

  // Back to the advanced and the framework's form.
  FillEngineIndexDef(def, "Pk", "A;b", framework, "4", "", "", false, ixPrimary | ixDescending);
  TVelqorimAdvIndexDef adv;
  EngineIndexDefToAdvIndexDef(def, adv);
  EXPECT_EQ(adv.Fields, "A;b");
  EXPECT_EQ(adv.DescFields, "A;b");
  EXPECT_EQ(adv.CaseInsFields, "");
  EXPECT_EQ(adv.MaxIndexedSizes, "4;20");
  EXPECT_EQ(adv.Options, static_cast<TIndexOptions>(ixPrimary));
  TVelqorimAdvIndexDefs advs;
  advs.AddIndexDef()->Assign(adv);
  advs.Add("Plain", "a", 0, false, "", "A");
  TIndexDefs indexes(nullptr);
  AdvIndexDefsToIndexDefs(advs, indexes);
  ASSERT_EQ(indexes.Count(), 2);
  EXPECT_EQ(indexes[0]->Options, static_cast<TIndexOptions>(ixPrimary | ixDescending));
  EXPECT_EQ(indexes[1]->Options, static_cast<TIndexOptions>(ixCaseInsensitive));  // "a" is "A"
}

TEST(VelqorimAdvDefs, ConstraintsFromIndexes) {
  TFieldDefs framework(nullptr);
  for (const char* name : {"ID", "A", "B"}) framework.Add(name, ftInteger);
  TVelqorimIndexDefs indexes;
  FillEngineIndexDef(*indexes.AddCreated(), "Pk", "ID", framework, "", "", "", false, ixPrimary);
  FillEngineIndexDef(*indexes.AddCreated(), "U", "A;B", framework, "", "", "", false, ixUnique);
  FillEngineIndexDef(*indexes.AddCreated(), "Plain", "B", framework, "", "", "", false, 0);
  TVelqorimConstraintDefs constraints;
  EXPECT_EQ(AddConstraintDefFromIndexDef(*indexes[2], constraints), nullptr);
  auto* pk = static_cast<TVelqorimConstraintDefUnique*>(AddConstraintDefFromIndexDef(*indexes[0], constraints));
  auto* unique = static_cast<TVelqorimConstraintDefUnique*>(AddConstraintDefFromIndexDef(*indexes[1], constraints));
  EXPECT_EQ(pk->ConstraintType, ctPK);
  EXPECT_EQ(pk->Name, "C_PK$ID");
  EXPECT_EQ(pk->IndexName, "Pk");
  EXPECT_EQ(unique->ConstraintType, ctUnique);
  EXPECT_EQ(unique->Name, "C_Unique$A$B");
  ASSERT_EQ(unique->Columns.size(), 2u);
  EXPECT_EQ(unique->Columns[1].ColumnName, "B");
  EXPECT_EQ(constraints.Count(), 2);
}

// Advanced definitions make a MEMORY table; what the engine gives back converts
// to the same advanced definitions and to the framework's.
TEST(VelqorimAdvDefs, RoundTripThroughAMemoryTable) {
  TStarted started;
  TVelqorimAdvFieldDefs adv;
  TVelqorimAdvFieldDef* id = adv.Add("ID", aftAutoInc, 0, true);
  id->AutoincInitialValue = 100;
  id->AutoincIncrement = 5;
  adv.Add("Name", aftWideChar, 12, true);
  TVelqorimAdvFieldDef* qty = adv.Add("Qty", aftSmallint);
  qty->MinValue.SetAsInteger(1);
  qty->MaxValue.SetAsInteger(9);
  qty->DefaultValue.SetAsInteger(3);
  adv.Add("Notes", aftMemo, 0, false, acaZLIB, 6)->BLOBBlockSize = 0;
  adv.Add("Key", aftGuid);

  TFieldDefs framework(nullptr);
  AdvFieldDefsToFieldDefs(adv, framework);
  const TFieldType types[] = {ftAutoInc, ftWideString, ftSmallint, ftMemo, ftGuid};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(framework[i]->DataType, types[i]) << i;
  TVelqorimAdvIndexDefs advIndexes;
  advIndexes.Add("Primary", "ID", ixPrimary);
  advIndexes.Add("ByName", "name", ixUnique | ixCaseInsensitive, false, "", "", "8");
  TVelqorimIndexDefs indexes;
  AdvIndexDefsToEngineIndexDefs(advIndexes, indexes, framework);
  TVelqorimFieldDefs fields;
  TVelqorimConstraintDefs constraints;
  AdvFieldDefsToEngineFieldDefs(adv, indexes, fields, constraints);
  EXPECT_EQ(fields[3]->BLOBBlockSize, 102400);  // 0 takes the default
  // NOT NULL for ID and Name, CHECK for Qty, then the two index constraints.
  ASSERT_EQ(constraints.Count(), 5);
  EXPECT_EQ(constraints[4]->Name, "C_Unique$name");

  TVelqorimLocalSession session;
  session.DatabaseName = "MEMORY";
  session.SetConnected(true);
  {
    TVelqorimLocalCursor cursor;
    cursor.Session = &session;
    cursor.TableName = "Stock";
    cursor.CreateTable(fields, indexes, constraints);
  }
  TVelqorimLocalCursor cursor;
  cursor.Session = &session;
  cursor.TableName = "Stock";
  cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);

  TVelqorimAdvFieldDefs back;
  EngineFieldDefsToAdvFieldDefs(cursor.VisibleFieldDefs, cursor.FieldDefs, cursor.ConstraintDefs, back);
  ASSERT_EQ(back.Count(), 5);
  EXPECT_GE(back[0]->ObjectID, 0);
  EXPECT_EQ(back[0]->DataType, aftAutoInc);
  EXPECT_EQ(back[0]->AutoincInitialValue, 100);
  EXPECT_EQ(back[0]->AutoincIncrement, 5);
  EXPECT_TRUE(back[0]->Required);
  EXPECT_TRUE(back[1]->Required);
  EXPECT_EQ(back[1]->Size, 12);
  EXPECT_FALSE(back[2]->Required);
  EXPECT_EQ(back[2]->MinValue.GetAsInteger(), 1);
  EXPECT_EQ(back[2]->MaxValue.GetAsInteger(), 9);
  EXPECT_EQ(back[2]->DefaultValue.GetAsInteger(), 3);
  EXPECT_TRUE(back[3]->MinValue.IsNull());
  EXPECT_EQ(back[3]->BLOBCompressionAlgorithm, acaZLIB);
  EXPECT_EQ(back[3]->BLOBCompressionMode, 6);
  EXPECT_EQ(back[4]->Size, 0);  // a GUID has no declared size

  TFieldDefs shown(nullptr);
  EngineFieldDefsToFieldDefs(cursor.VisibleFieldDefs, cursor.ConstraintDefs, shown);
  ASSERT_EQ(shown.Count(), 5);
  EXPECT_FALSE(shown[0]->GetRequired());  // the engine fills autoincrement values
  EXPECT_TRUE(shown[1]->GetRequired());
  EXPECT_EQ(shown[1]->Size, 12);
  EXPECT_EQ(shown[4]->DataType, ftGuid);
  EXPECT_EQ(shown[4]->Size, 0);

  TVelqorimAdvIndexDefs backIndexes;
  EngineIndexDefsToAdvIndexDefs(cursor.GetIndexDefs(), backIndexes);
  const TVelqorimAdvIndexDef* byName = backIndexes.Find("BYNAME");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->Fields, "name");
  EXPECT_EQ(byName->CaseInsFields, "name");
  EXPECT_EQ(byName->MaxIndexedSizes, "8");
  EXPECT_EQ(byName->Options, static_cast<TIndexOptions>(ixUnique));
  cursor.CloseTable();

  // A constraint naming a column the table lacks.
  TVelqorimConstraintDefs stray;
  stray.AddNotNull()->ColumnObjectID = 99999;
  EXPECT_EQ(NativeErrorOf([&] { EngineFieldDefsToAdvFieldDefs(fields, fields, stray, back); }), 30032);
  stray.Clear();
  stray.AddCheck()->ColumnObjectID = 99999;
  EXPECT_EQ(NativeErrorOf([&] { EngineFieldDefsToAdvFieldDefs(fields, fields, stray, back); }), 30031);
  session.SetConnected(false);
}

TEST(VelqorimAdvDefs, EngineErrorsAndSmallRoutines) {
  CheckEngineError(0, "ignored");
  try {
    CheckEngineError(-8, "Check failed");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Velqorim Engine Error # -8 Check failed");
  }
  EXPECT_EQ(ToCompressionAlgorithm(3), acaPPM);
  EXPECT_EQ(ToCompressionAlgorithm(4), acaNone);
  EXPECT_EQ(ToCompressionAlgorithm(-1), acaNone);
  TStringList list;
  SplitFieldList(list, " a ,b;;c;");
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list[2], "");
  EXPECT_EQ(list[3], "c");
}

// A dataset whose BLOB field reads and writes one memory stream, as an engine
// dataset hands out its cursor's stream.
class TBlobDataSet : public TVectorDataSet, public IVelqorimDataSetServices {
 public:
  explicit TBlobDataSet(bool WithStream)
      : TVectorDataSet(nullptr, {{"Id", ftInteger}, {"Data", ftBlob}}), FWithStream(WithStream) {}
  bool IsReadOnlyDataSet() override { return ReadOnlyData; }
  TABSStream* CreateEngineBlobStream(TField*, TBlobStreamMode) override {
    if (!FWithStream) return nullptr;
    Engine.Seek(0, soBeginning);
    Engine.SetModified(false);
    return &Engine;
  }
  void CloseEngineBlob(TField*) override { ++Closed; }
  void UpdateAdvIndexDefs() override {}
  void HandleDataSetException() override { ++Handled; }

  TABSMemoryStream Engine;
  int Closed = 0;
  int Handled = 0;

 private:
  bool FWithStream;
};

TEST(VelqorimAdvDefs, BLOBStreamWritesAndTellsLinksOnlyWhenChanged) {
  TBlobDataSet data(true);
  data.AddRow({1, Variant()});
  data.Open();
  auto* field = static_cast<TBlobField*>(data.FieldByName("Data"));
  TDataSource source(nullptr);
  source.SetDataSet(&data);
  int changes = 0;
  source.OnDataChange = [&](TObject*, TField* f) { changes += f == field; };

  data.Engine.WriteString("old contents");
  { TVelqorimBLOBStream read(field, bmRead); }
  { TVelqorimBLOBStream readWrite(field, bmReadWrite); }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(data.Closed, 2);
  EXPECT_FALSE(field->Modified);
  {
    TVelqorimBLOBStream write(field, bmWrite);
    EXPECT_EQ(write.Size(), 0);  // write mode empties the BLOB at once
    EXPECT_EQ(write.BlockSize(), data.Engine.BlockSize());
    write.WriteString("new");
    EXPECT_EQ(write.CompressedSize(), 0);  // not an engine BLOB
  }
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(field->Modified);
  EXPECT_EQ(data.Engine.Size(), 3);
  {
    // Opening for writing and writing nothing still empties the BLOB: a change.
    TVelqorimBLOBStream write(field, bmWrite);
  }
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(data.Engine.Size(), 0);
  EXPECT_EQ(data.Handled, 0);

  data.ReadOnlyData = true;
  EXPECT_EQ(NativeErrorOf([&] { TVelqorimBLOBStream s(field, bmWrite); }), 10106);
  EXPECT_EQ(NativeErrorOf([&] { TVelqorimBLOBStream s(field, bmRead); }), 0);
  data.Close();
}

TEST(VelqorimAdvDefs, BLOBStreamWithoutEngineStreamIsEmpty) {
  TBlobDataSet data(false);
  data.AddRow({1, Variant()});
  data.Open();
  auto* field = static_cast<TBlobField*>(data.FieldByName("Data"));
  TVelqorimBLOBStream s(field, bmReadWrite);
  char c;
  EXPECT_EQ(s.BLOBStream(), nullptr);
  EXPECT_EQ(s.Write("x", 1), 0);
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.CompressedSize(), 0);
  data.Close();
}

}  // namespace
