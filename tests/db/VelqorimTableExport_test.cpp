// A table's export to an SQL script: the script runs back through the query
// component into an equal table (structure and every value, for every field
// type), the options choose its parts, and its text follows the dialect.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimQuery.h"
#include "db/sql/VelqorimTable.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"
#include "platform/os/Files.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

// One value to store: null, or a setter of the engine variant.
using TSetter = std::function<void(TABSVariant&)>;
const TSetter Null;

TSetter Int(int64_t V) {
  return [V](TABSVariant& v) { v.SetAsInt64(V); };
}
TSetter Dbl(double V) {
  return [V](TABSVariant& v) { v.SetAsDouble(V); };
}
TSetter Ext(long double V) {
  return [V](TABSVariant& v) { v.SetAsExtended(V); };
}
TSetter Text(const String& V) {
  return [V](TABSVariant& v) { v.SetAsWideString(UTF8ToUTF16(V)); };
}
TSetter Bytes(std::vector<uint8_t> V, TABSBaseFieldType Type) {
  // Counted bytes carry one spare byte after their own.
  if (Type == bftVarBytes) V.push_back(0);
  return [V, Type](TABSVariant& v) { v.SetData(V.data(), static_cast<int>(V.size()), Type); };
}
TSetter Memo(const String& V) {
  return [V](TABSVariant& v) {
    const AnsiString a = UTF8ToAnsi(V);
    v.SetData(a.data(), static_cast<int>(a.size()), bftClob);
  };
}
TSetter WideMemo(const String& V) {
  return [V](TABSVariant& v) {
    const WideString w = UTF8ToUTF16(V);
    v.SetData(w.data(), static_cast<int>(w.size() * 2), bftWideClob);
  };
}
TSetter Moment(int Y, int M, int D, int H, int N, int S, int Ms) {
  return [=](TABSVariant& v) {
    v.SetAsTDateTime(ABSComposeDateTime(ABSEncodeDate(Y, M, D), ABSEncodeTime(H, N, S, Ms)));
  };
}
TSetter Day(int Y, int M, int D) {
  return [=](TABSVariant& v) { v.SetAsTDate(ABSEncodeDate(Y, M, D)); };
}
TSetter Clock(int H, int N, int S, int Ms) {
  return [=](TABSVariant& v) { v.SetAsTTime(ABSEncodeTime(H, N, S, Ms)); };
}
TSetter Bool(bool V) {
  return [V](TABSVariant& v) { v.SetAsBoolean(V); };
}

std::vector<uint8_t> AllBytes() {
  std::vector<uint8_t> b;
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) b.push_back(static_cast<uint8_t>(i));
  b.insert(b.end(), 5, 0);
  return b;
}

// Every declared type with its column setup and three rows of values.
struct TColumn {
  const char* Name;
  TABSAdvancedFieldType Type;
  int Size;
  std::function<void(TVelqorimAdvFieldDef&)> Setup;
  std::vector<TSetter> Rows;
};

std::vector<TColumn> Columns() {
  const String quotes = "O'Brien ''said'' \"hi\"";
  const String wide = "\xC3\x9C" "ber \xCE\xBB \xE2\x82\xAC \xF0\x9F\x8E\x89 'x'";  // Über λ € 🎉 'x'
  const String ansi = "caf\xC3\xA9 \xE2\x82\xAC 'q'";                                  // café € 'q'
  return {
      {"ID", aftAutoInc, 0, nullptr, {Int(1), Int(2), Int(2147483647)}},
      {"Order", aftString, 30,
       [](TVelqorimAdvFieldDef& d) {
         d.Required = true;
         d.DefaultValue.SetAsAnsiString("it's");
       },
       {Text(quotes), Text(ansi), Text("cr\rhere ")}},
      {"Wide Name", aftWideString, 40, nullptr, {Text(wide), Text("\xCE\xBB\r\n2"), Text("'")}},
      {"C-1", aftChar, 8, [](TVelqorimAdvFieldDef& d) { d.DefaultValue.SetAsAnsiString("a'b"); },
       {Text("ab"), Null, Text("x'")}},
      {"WC", aftWideChar, 6, nullptr, {Text("\xCE\xBB\xCE\xBB"), Text("z"), Null}},
      {"SH", aftShortint, 0, nullptr, {Int(-128), Int(127), Null}},
      {"SI", aftSmallint, 0,
       [](TVelqorimAdvFieldDef& d) {
         d.MinValue.SetAsInteger(-32768);
         d.MaxValue.SetAsInteger(32767);
         d.DefaultValue.SetAsInteger(-5);
       },
       {Int(-32768), Int(32767), Null}},
      {"I", aftInteger, 0, nullptr, {Int(-2147483647 - 1), Int(2147483647), Int(0)}},
      {"L", aftLargeint, 0, nullptr, {Int(INT64_MIN), Int(INT64_MAX), Null}},
      {"BT", aftByte, 0, nullptr, {Int(0), Int(255), Null}},
      {"W", aftWord, 0, nullptr, {Int(0), Int(65535), Null}},
      {"CA", aftCardinal, 0, nullptr, {Int(0), Int(4294967295LL), Null}},
      {"SG", aftSingle, 0, nullptr, {Dbl(FLT_MAX), Dbl(-1.17549435e-38F), Dbl(0.1F)}},
      {"DB", aftDouble, 0, [](TVelqorimAdvFieldDef& d) { d.DefaultValue.SetAsDouble(0.1); },
       {Dbl(-DBL_MAX), Dbl(4.9406564584124654e-324), Dbl(-0.0)}},
      {"EX", aftExtended, 0, nullptr, {Ext(LDBL_MAX), Ext(0.1L), Ext(-1e-4000L)}},
      {"CU", aftCurrency, 0, nullptr, {Dbl(-922337203685477.5), Dbl(1.2345), Null}},
      {"B", aftBoolean, 0, [](TVelqorimAdvFieldDef& d) { d.DefaultValue.SetAsBoolean(true); },
       {Bool(true), Bool(false), Null}},
      {"Date", aftDate, 0, nullptr, {Day(1, 1, 1), Day(9999, 12, 31), Day(2024, 2, 29)}},
      {"TI", aftTime, 0, nullptr, {Clock(0, 0, 0, 0), Clock(23, 59, 59, 999), Clock(13, 5, 9, 0)}},
      {"DT", aftDateTime, 0, nullptr,
       {Moment(1, 1, 1, 0, 0, 0, 1), Moment(9999, 12, 31, 23, 59, 59, 999), Moment(1899, 12, 29, 6, 0, 0, 0)}},
      {"TS", aftTimeStamp, 0, nullptr, {Moment(2024, 2, 29, 13, 5, 9, 250), Null, Moment(1970, 1, 1, 0, 0, 0, 0)}},
      {"BY", aftBytes, 6, nullptr,
       {Bytes({0, 1, 0, 255, 0, 0}, bftBytes), Bytes({255, 255, 255, 255, 255, 255}, bftBytes), Null}},
      {"VB", aftVarBytes, 10, nullptr,
       {Bytes({0, 0, 7, 0, 255, 0, 0}, bftVarBytes), Bytes({39, 0, 39}, bftVarBytes), Null}},
      {"BL", aftBlob, 0,
       [](TVelqorimAdvFieldDef& d) {
         d.BLOBCompressionAlgorithm = acaZLIB;
         d.BLOBCompressionMode = 6;
         d.BLOBBlockSize = 4096;
       },
       {Bytes(AllBytes(), bftBlob), Bytes({0}, bftBlob), Null}},
      {"GR", aftGraphic, 0, nullptr, {Bytes({137, 80, 78, 71, 0, 0}, bftBlob), Null, Null}},
      {"M", aftMemo, 0, [](TVelqorimAdvFieldDef& d) { d.DefaultValue.SetAsAnsiString("to do"); },
       {Memo(quotes + "\r\nline 2\n"), Memo(ansi), Null}},
      {"FM", aftFormattedMemo, 0, nullptr, {Memo("{\\rtf1 'x'}"), Null, Memo(ansi)}},
      {"WM", aftWideMemo, 0, nullptr, {WideMemo(wide), WideMemo(quotes), Null}},
      {"G", aftGuid, 38, nullptr,
       {Text("{00000000-0000-0000-0000-000000000001}"), Null, Text("{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}")}},
  };
}

// Raw equality of two engine values: type, null state and bytes.
bool SameValue(const TABSVariant& A, const TABSVariant& B) {
  if (A.IsNull() || B.IsNull()) return A.IsNull() == B.IsNull();
  return A.DataType() == B.DataType() && A.DataSize() == B.DataSize() &&
         std::memcmp(A.pData(), B.pData(), static_cast<size_t>(A.DataSize())) == 0;
}

// Equal values of a column setting, whatever type each was stored in.
bool SameBound(const TABSVariant& A, const TABSVariant& B) {
  if (A.IsNull() || B.IsNull()) return A.IsNull() == B.IsNull();
  return A.Compare(B) == cmprEqual;
}

class ExportTest : public ::testing::TestWithParam<const char*> {
 protected:
  // "DISK" stands for a database file of the test's own.
  void SetUp() override {
    if (String(GetParam()) != "DISK") return;
    FFile = CreateUniqueTempFile("table_export_");
    ASSERT_NE(FFile, "");
    DeleteFile(FFile);
    FDisk = std::make_unique<TVelqorimDatabase>(nullptr);
    FDisk->SetDatabaseName("ExportDisk");
    FDisk->SetDatabaseFileName(FFile);
    FDisk->SilentMode = true;
    FDisk->CreateDatabase();
  }
  void TearDown() override {
    if (!FDisk) return;
    FDisk->Close();
    FDisk.reset();
    DeleteFile(FFile);
  }
  String Database() const { return FDisk ? String("ExportDisk") : String(GetParam()); }
  // Where the script runs: a file's script runs into "MEMORY", since SQL does
  // not reach database files yet.
  String ScriptDatabase() const { return FDisk ? String("MEMORY") : String(GetParam()); }
  std::unique_ptr<TVelqorimTable> NewTable(const String& Name, bool ForScript = false) {
    auto t = std::make_unique<TVelqorimTable>(nullptr);
    t->SetDatabaseName(ForScript ? ScriptDatabase() : Database());
    t->SetTableName(Name);
    return t;
  }
  void Run(const String& Script) {
    TVelqorimQuery q(nullptr);
    q.SetDatabaseName(ScriptDatabase());
    q.SQL().SetText(Script);
    q.ExecSQL();
  }
  // The table of every type, created and filled, closed.
  std::unique_ptr<TVelqorimTable> EveryType(const String& Name) {
    auto t = NewTable(Name);
    const auto columns = Columns();
    for (const TColumn& c : columns) {
      TVelqorimAdvFieldDef* d = t->AdvFieldDefs().Add(c.Name, c.Type, c.Size);
      if (c.Setup) c.Setup(*d);
    }
    t->AdvIndexDefs().Add("pk", "ID", ixPrimary);
    t->AdvIndexDefs().Add("Names-Desc", "Order;C-1", ixUnique, false, "Order", "C-1");
    t->AdvIndexDefs().Add("ByWhen", "Date;I", 0, false, "I", "");
    t->CreateTable();
    t->Open();
    for (size_t r = 0; r < columns[0].Rows.size(); ++r) {
      t->Append();
      for (size_t i = 0; i < columns.size(); ++i) {
        TABSVariant v;
        if (columns[i].Rows[r]) columns[i].Rows[r](v);
        t->SetFieldValue(v, static_cast<int>(i), false);
      }
      t->Post();
    }
    t->Close();
    return t;
  }
  static void ExpectSameStructure(TVelqorimTable& A, TVelqorimTable& B, bool WithBlobSettings) {
    ASSERT_EQ(A.AdvFieldDefs().Count(), B.AdvFieldDefs().Count());
    for (int i = 0; i < A.AdvFieldDefs().Count(); ++i) {
      const TVelqorimAdvFieldDef& a = *A.AdvFieldDefs()[i];
      const TVelqorimAdvFieldDef& b = *B.AdvFieldDefs()[i];
      SCOPED_TRACE(a.Name);
      EXPECT_EQ(a.Name, b.Name);
      EXPECT_EQ(a.DataType, b.DataType);
      EXPECT_EQ(a.Size, b.Size);
      EXPECT_EQ(a.Required, b.Required);
      EXPECT_TRUE(SameBound(a.DefaultValue, b.DefaultValue));
      EXPECT_TRUE(SameBound(a.MinValue, b.MinValue));
      EXPECT_TRUE(SameBound(a.MaxValue, b.MaxValue));
      if (WithBlobSettings) {
        EXPECT_EQ(a.BLOBCompressionAlgorithm, b.BLOBCompressionAlgorithm);
        EXPECT_EQ(a.BLOBCompressionMode, b.BLOBCompressionMode);
        EXPECT_EQ(a.BLOBBlockSize, b.BLOBBlockSize);
      }
    }
    A.IndexDefs().Update();
    B.IndexDefs().Update();
    ASSERT_EQ(A.AdvIndexDefs().Count(), B.AdvIndexDefs().Count());
    for (int i = 0; i < A.AdvIndexDefs().Count(); ++i) {
      const TVelqorimAdvIndexDef& a = *A.AdvIndexDefs()[i];
      const TVelqorimAdvIndexDef* b = B.AdvIndexDefs().Find(a.Name);
      ASSERT_NE(b, nullptr) << a.Name;
      EXPECT_EQ(UpperCase(a.Fields), UpperCase(b->Fields));
      EXPECT_EQ(UpperCase(a.DescFields), UpperCase(b->DescFields)) << a.Name;
      EXPECT_EQ(UpperCase(a.CaseInsFields), UpperCase(b->CaseInsFields)) << a.Name;
      // A primary index is unique whether or not it says so.
      EXPECT_EQ(a.Options & ixPrimary, b->Options & ixPrimary) << a.Name;
      EXPECT_EQ((a.Options & (ixPrimary | ixUnique)) != 0, (b->Options & (ixPrimary | ixUnique)) != 0) << a.Name;
    }
  }
  static void ExpectSameRows(TVelqorimTable& A, TVelqorimTable& B) {
    A.First();
    B.First();
    int row = 0;
    while (!A.Eof() && !B.Eof()) {
      for (int i = 0; i < A.AdvFieldDefs().Count(); ++i) {
        TABSVariant a, b;
        A.GetFieldValue(a, i, false);
        B.GetFieldValue(b, i, false);
        EXPECT_TRUE(SameValue(a, b)) << "row " << row << ", " << A.AdvFieldDefs()[i]->Name << ": "
                                     << (a.IsNull() ? "NULL" : A.Fields()[i]->AsString()) << " / "
                                     << (b.IsNull() ? "NULL" : B.Fields()[i]->AsString());
      }
      A.Next();
      B.Next();
      ++row;
    }
    EXPECT_TRUE(A.Eof() && B.Eof());
  }

  TStarted started;
  String FFile;
  std::unique_ptr<TVelqorimDatabase> FDisk;
};

TEST_P(ExportTest, ScriptRunsBackIntoAnEqualTable) {
  for (const bool namesAndBlobs : {false, true}) {
    SCOPED_TRACE(namesAndBlobs);
    auto source = EveryType("Every Type");
    source->ExportToSqlOptions()->Data = true;
    source->ExportToSqlOptions()->BlobSettings = namesAndBlobs;
    source->ExportToSqlOptions()->FieldNamesInInserts = namesAndBlobs;
    const String script = source->ExportToSQL();
    source->RenameTable("original");
    ASSERT_EQ(ErrorOf([&] { Run(script); }), "") << script;
    auto copy = NewTable("Every Type", true);
    source->SetIndexName("pk");
    copy->SetIndexName("pk");
    source->Open();
    copy->Open();
    ExpectSameStructure(*source, *copy, namesAndBlobs);
    ExpectSameRows(*source, *copy);
    copy->Close();
    source->Close();
    // Run again over the copy: DROP TABLE replaces it.
    ASSERT_EQ(ErrorOf([&] { Run(script); }), "");
    copy->Open();
    EXPECT_EQ(copy->RecordCount(), 3);
    copy->Close();
    copy->DeleteTable();
    source->DeleteTable();
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ExportTest, ::testing::Values("MEMORY", "TEMP", "DISK"));

// The script's text for a small table, and what each option changes.
TEST(TableExport, ScriptTextAndOptions) {
  TStarted started;
  TVelqorimTable t(nullptr);
  t.SetDatabaseName("MEMORY");
  t.SetTableName("People");
  t.AdvFieldDefs().Add("ID", aftAutoInc);
  t.AdvFieldDefs().Add("Name", aftString, 20, true);
  t.AdvFieldDefs().Add("Born", aftDate);
  t.AdvIndexDefs().Add("pkPeople", "ID", ixPrimary);
  t.CreateTable();
  t.Open();
  t.Append();
  t.FieldByName("Name")->SetAsString("Ann");
  t.FieldByName("Born")->SetAsDateTime(ABSEncodeDate(1970, 5, 1));
  t.Post();
  t.Close();

  t.ExportToSqlOptions()->Data = true;
  const String structure =
      "DROP TABLE People;\r\n"
      "CREATE TABLE People (\r\n"
      "  ID AUTOINC,\r\n"
      "  Name VARCHAR(20) NOT NULL,\r\n"
      "  Born DATE, \r\n"
      "  PRIMARY KEY pkPeople (ID)\r\n"
      ");\r\n";
  const String insert = "INSERT INTO People values (1, 'Ann', '1970-05-01');\r\n";
  EXPECT_EQ(t.ExportToSQL(), structure + insert + "\r\n");
  // The stream form writes the same text.
  TMemoryStream stream;
  t.ExportToSQL(stream);
  EXPECT_EQ(String(stream.Bytes().begin(), stream.Bytes().end()), structure + insert + "\r\n");

  t.ExportToSqlOptions()->FieldNamesInInserts = true;
  t.ExportToSqlOptions()->Structure = false;
  EXPECT_EQ(t.ExportToSQL(), "INSERT INTO People (ID, Name, Born) values (1, 'Ann', '1970-05-01');\r\n\r\n");
  t.ExportToSqlOptions()->Data = false;
  EXPECT_EQ(t.ExportToSQL(), "\r\n");
  t.ExportToSqlOptions()->Structure = true;
  t.ExportToSqlOptions()->AddDropTable = false;
  t.DeleteAllIndexes();
  // Without indexes the column list ends with the last column.
  EXPECT_EQ(t.ExportToSQL(),
            "CREATE TABLE People (\r\n  ID AUTOINC,\r\n  Name VARCHAR(20) NOT NULL,\r\n  Born DATE\r\n);\r\n\r\n");

  // An open table is refused before anything is written; the file form leaves an existing file alone then.
  const String path = CreateUniqueTempFile("table_export_");
  ASSERT_NE(path, "");
  {
    TFileStream old(path, fmCreate);
    old.WriteString(String(10000, 'x'));
  }
  t.Open();
  EXPECT_NE(ErrorOf([&] { t.ExportToSQL(stream); }), "");
  EXPECT_NE(ErrorOf([&] { t.ExportToSQL(path); }), "");
  EXPECT_EQ(TFileStream(path, fmOpenRead).Size(), 10000);
  t.Close();
  // The file form replaces an existing file.
  t.ExportToSQL(path);
  TMemoryStream file;
  file.LoadFromFile(path);
  EXPECT_EQ(String(file.Bytes().begin(), file.Bytes().end()), t.ExportToSQL());
  DeleteFile(path);
  EXPECT_THROW(t.ExportToSQL(GetTempDir() + "no such folder/x.sql"), EFCreateError);
  EXPECT_FALSE(t.Active());
}

TEST(TableExport, ValuesAndNames) {
  TStarted started;
  TVelqorimTable t(nullptr);
  t.SetDatabaseName("MEMORY");
  t.SetTableName("Order");
  t.AdvFieldDefs().Add("Date", aftTime);
  t.AdvFieldDefs().Add("a b", aftString, 10)->DefaultValue.SetAsAnsiString("it's");
  t.AdvFieldDefs().Add("c-d", aftBlob);
  t.CreateTable();
  t.Open();
  t.Append();
  t.FieldByName("Date")->SetAsDateTime(ABSEncodeTime(13, 5, 9, 0));
  t.FieldByName("a b")->SetAsString("O'Brien");
  t.FieldByName("c-d")->SetAsString("abc");
  t.Post();
  t.Append();
  t.Post();
  t.Close();
  t.ExportToSqlOptions()->Data = true;
  EXPECT_EQ(t.ExportToSQL(),
            "DROP TABLE 'Order';\r\n"
            "CREATE TABLE 'Order' (\r\n"
            "  'Date' TIME,\r\n"
            "  'a b' VARCHAR(10) DEFAULT 'it''s',\r\n"
            "  'c-d' BLOB\r\n"
            ");\r\n"
            "INSERT INTO 'Order' values (ToDate('13:05:09','HH24:NN:SS'), 'O''Brien', MimeToBin('YWJj'));\r\n"
            "INSERT INTO 'Order' values (NULL, 'it''s', NULL);\r\n"
            "\r\n");

  const struct {
    const char* Name;
    const char* Quoted;
  } names[] = {{"Plain_1", "Plain_1"}, {"order", "'order'"}, {"a b", "'a b'"}, {"a-b", "'a-b'"},
               {"O'x", "'O''x'"},      {"1st", "'1st'"},     {"x.y", "'x.y'"}};
  for (const auto& n : names) EXPECT_EQ(QuoteSQLIdentifier(n.Name), n.Quoted);
}

// A stream that refuses every write.
class TFullStream : public TMemoryStream {
 public:
  int64_t Write(const void*, int64_t) override { return 0; }
};

// A failing write reaches the caller and the table is closed again.
TEST(TableExport, WriteErrorsReachTheCallerAndCloseTheTable) {
  TStarted started;
  TVelqorimTable t(nullptr);
  t.SetDatabaseName("MEMORY");
  t.SetTableName("t");
  t.AdvFieldDefs().Add("A", aftInteger);
  t.CreateTable();
  TFullStream full;
  EXPECT_NE(ErrorOf([&] { t.ExportToSQL(full); }), "");
  EXPECT_FALSE(t.Active());
}

TEST(TableExport, OptionsAssign) {
  TStarted started;
  TVelqorimTable t(nullptr);
  TVelqorimExportToSqlOptions& o = *t.ExportToSqlOptions();
  EXPECT_TRUE(o.Structure && o.AddDropTable);
  EXPECT_FALSE(o.BlobSettings || o.Data || o.FieldNamesInInserts);
  TVelqorimExportToSqlOptions other;
  other.Structure = false;
  other.AddDropTable = false;
  other.BlobSettings = true;
  other.Data = true;
  other.FieldNamesInInserts = true;
  t.SetExportToSqlOptions(&other);
  EXPECT_FALSE(o.Structure || o.AddDropTable);
  EXPECT_TRUE(o.BlobSettings && o.Data && o.FieldNamesInInserts);
  TStringList notOptions;
  EXPECT_THROW(o.Assign(&notOptions), EConvertError);
}

}  // namespace
