// Typed fields over record bytes, definitions, parameters and error texts.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/rtl/DateUtils.h"
#include "tests/db_dsfw/VectorDataSet.h"

namespace {

struct AllTypes {
  TComponent Owner{nullptr};
  TVectorDataSet* DS = new TVectorDataSet(
      &Owner, {{"S", ftString, 5}, {"W", ftWideString, 4}, {"SI", ftSmallint}, {"WO", ftWord}, {"I", ftInteger},
               {"L", ftLargeint}, {"F", ftFloat}, {"C", ftCurrency}, {"B", ftBoolean}, {"D", ftDate},
               {"T", ftTime}, {"DT", ftDateTime}, {"TS", ftTimeStamp}, {"BY", ftBytes, 3}, {"VB", ftVarBytes, 4},
               {"G", ftGuid, 38}, {"A", ftAutoInc}});
  AllTypes() {
    DS->SetName("Types");
    DS->Open();
    DS->Append();
  }
  TField* F(const char* Name) { return DS->FieldByName(Name); }
};

TEST(DbFields, DefaultFieldsHaveTheClassOfTheirType) {
  AllTypes T;
  EXPECT_TRUE(T.DS->DefaultFields());
  EXPECT_NE(dynamic_cast<TStringField*>(T.F("S")), nullptr);
  EXPECT_NE(dynamic_cast<TWideStringField*>(T.F("W")), nullptr);
  EXPECT_NE(dynamic_cast<TSmallintField*>(T.F("SI")), nullptr);
  EXPECT_NE(dynamic_cast<TLargeintField*>(T.F("L")), nullptr);
  EXPECT_NE(dynamic_cast<TCurrencyField*>(T.F("C")), nullptr);
  EXPECT_NE(dynamic_cast<TDateField*>(T.F("D")), nullptr);
  EXPECT_NE(dynamic_cast<TSQLTimeStampField*>(T.F("TS")), nullptr);
  EXPECT_NE(dynamic_cast<TVarBytesField*>(T.F("VB")), nullptr);
  EXPECT_NE(dynamic_cast<TGuidField*>(T.F("G")), nullptr);
  EXPECT_NE(dynamic_cast<TAutoIncField*>(T.F("A")), nullptr);
  EXPECT_EQ(T.F("W")->DataSize(), 10);  // 16-bit units and a terminator
  EXPECT_EQ(T.F("VB")->DataSize(), 6);  // length word first
  T.DS->Cancel();
  T.DS->Close();
  EXPECT_EQ(T.DS->Fields().Count(), 0);  // default fields go with the close
}

TEST(DbFields, ValuesSurviveTheRecordForEveryType) {
  AllTypes T;
  TDateTime When = EncodeDateTime(2024, 2, 29, 13, 45, 7, 250);
  struct Case {
    const char* Field;
    Variant In;
    Variant Out;
  } Cases[] = {
      {"S", "abcdefgh", "abcde"},                      // cut at the size
      {"S", "ab\xc3\xa9\xc3\xa9", "ab\xc3\xa9"},        // never inside a character
      {"W", "\xce\xb1\xce\xb2xyz", "\xce\xb1\xce\xb2xy"},
      {"SI", -32768, int64_t{-32768}},
      {"WO", 65535, int64_t{65535}},
      {"I", "42", int64_t{42}},
      {"L", int64_t{1} << 40, int64_t{1} << 40},
      {"F", 2.5, 2.5},
      {"C", 12.3456, 12.3456},
      {"B", "True", true},
      {"D", std::floor(When), std::floor(When)},
      {"BY", Variant::TBytes{1, 2}, Variant::TBytes{1, 2, 0}},
      {"VB", Variant::TBytes{9, 8, 7, 6, 5}, Variant::TBytes{9, 8, 7, 6}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Field);
    T.F(C.Field)->SetAsVariant(C.In);
    EXPECT_TRUE(T.F(C.Field)->GetAsVariant() == C.Out) << T.F(C.Field)->AsString();
    T.F(C.Field)->Clear();
    EXPECT_TRUE(T.F(C.Field)->IsNull());
    T.F(C.Field)->SetAsVariant(C.In);
  }
  // Times keep milliseconds; time stamps keep every part.
  T.F("T")->SetAsDateTime(When - std::floor(When));
  EXPECT_NEAR(T.F("T")->AsDateTime(), When - std::floor(When), 1e-9);
  T.F("DT")->SetAsDateTime(When);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", T.F("DT")->AsDateTime()), "2024-02-29 13:45:07.250");
  T.F("TS")->SetAsDateTime(When);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", T.F("TS")->AsDateTime()), "2024-02-29 13:45:07.250");
  // Empty text is null for numbers, text for strings.
  T.F("I")->SetAsString("");
  EXPECT_TRUE(T.F("I")->IsNull());
  T.F("S")->SetAsString("");
  EXPECT_FALSE(T.F("S")->IsNull());
  T.DS->Post();
  T.DS->First();
  EXPECT_EQ(T.F("VB")->GetAsVariant().AsBytes(), (Variant::TBytes{9, 8, 7, 6}));
  EXPECT_EQ(T.F("W")->AsString(), "\xce\xb1\xce\xb2xy");
}

TEST(DbFields, DatesAreDayNumbersAndMillisecondsInTheRecord) {
  AllTypes T;
  TDateTime When = EncodeDateTime(2000, 1, 1, 12, 0, 0, 500);
  T.F("D")->SetAsDateTime(When);
  T.F("T")->SetAsDateTime(When);
  T.F("DT")->SetAsDateTime(When);
  int32_t Day = 0, Ms = 0;
  double Stamp = 0;
  ASSERT_TRUE(T.F("D")->GetData(&Day));
  ASSERT_TRUE(T.F("T")->GetData(&Ms));
  ASSERT_TRUE(T.F("DT")->GetData(&Stamp));
  EXPECT_EQ(Day, 730120);  // 2000-01-01 counted from 0001-01-01 as day 1
  EXPECT_EQ(Ms, 43200500);
  EXPECT_EQ(Stamp, 730120.0 * 86400000 + 43200500);
  EXPECT_EQ(T.F("D")->AsDateTime(), std::floor(When));
}

TEST(DbFields, DatesAndTimesAreReadFromText) {
  AllTypes T;
  const TDateTime Day = EncodeDateTime(2024, 2, 29, 0, 0, 0, 0);
  const TDateTime Time = (13 * 3600 + 45 * 60 + 7) / 86400.0;
  const struct {
    const char* Field;
    String Text;
    TDateTime Expected;
  } Cases[] = {
      {"D", "2024-02-29", Day},
      {"D", DateToStr(Day), Day},  // as the field prints it
      {"T", "13:45:07", Time},
      {"DT", "2024-02-29 13:45:07", Day + Time},
      {"DT", "2024-02-29", Day},
      {"TS", "2024-02-29 13:45:07", Day + Time},
  };
  for (const auto& C : Cases) {
    T.F(C.Field)->SetAsString(C.Text);
    EXPECT_NEAR(T.F(C.Field)->AsDateTime(), C.Expected, 1e-8) << C.Field << " " << C.Text;
  }
  T.F("D")->SetAsString(T.F("D")->AsString());
  EXPECT_EQ(T.F("D")->AsDateTime(), Day);
  EXPECT_EQ(ErrorOf([&] { T.F("D")->SetAsString("2024-02-30"); }), "Types: '2024-02-30' is not a valid date and time");
  EXPECT_EQ(ErrorOf([&] { T.F("TS")->SetAsString("soon"); }), "Types: 'soon' is not a valid date and time");
}

TEST(DbFields, BadValuesAreRefusedWithTheFieldsName) {
  AllTypes T;
  EXPECT_EQ(ErrorOf([&] { T.F("SI")->SetAsInteger(40000); }),
            "Types: 40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767");
  EXPECT_EQ(ErrorOf([&] { T.F("I")->SetAsString("12x"); }), "Types: '12x' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { T.F("F")->SetAsString("x"); }), "Types: 'x' is not a valid floating point value");
  auto* I = dynamic_cast<TIntegerField*>(T.F("I"));
  I->MinValue = 1;
  I->MaxValue = 10;
  EXPECT_EQ(ErrorOf([&] { I->SetAsInteger(11); }),
            "Types: 11 is not a valid value for field 'I'. The allowed range is 1 to 10");
  T.F("I")->ReadOnly = true;
  EXPECT_EQ(ErrorOf([&] { T.F("I")->SetAsInteger(5); }), "Types: Field 'I' cannot be modified");
  T.F("L")->OnValidate = [](TField* F) {
    if (F->AsLargeInt() < 0) DatabaseError("negative");
  };
  EXPECT_EQ(ErrorOf([&] { T.F("L")->SetAsLargeInt(-1); }), "negative");
  EXPECT_TRUE(T.F("L")->IsNull());  // the refused value never reached the record
  EXPECT_EQ(ErrorOf([&] { T.DS->Fields()[99]; }), "Types: Field index out of range");
}

TEST(DbErrors, NamedComponentsPrefixTheirNames) {
  TComponent Form(nullptr);
  Form.SetName("Form1");
  TComponent Inner(&Form);
  EXPECT_EQ(ErrorOf([&] { DatabaseError("boom", &Inner); }), "boom");
  Inner.SetName("Table1");
  EXPECT_EQ(ErrorOf([&] { DatabaseError("boom", &Inner); }), "Form1.Table1: boom");
  TComponent Alone(nullptr);
  Alone.SetName("Query1");
  EXPECT_EQ(ErrorOf([&] { DatabaseErrorFmt("bad %s", {String("x")}, &Alone); }), "Query1: bad x");
}

TEST(DbDefinitions, FieldAndIndexDefinitionsFindAndCopy) {
  TFieldDefs Defs(nullptr);
  Defs.Add("Name", ftString, 30, true);
  Defs.Add("Id", ftInteger);
  EXPECT_EQ(Defs.Find("NAME")->Size, 30);
  EXPECT_TRUE(Defs.Find("name")->GetRequired());
  EXPECT_EQ(Defs.Find("Id")->FieldNo, 2);
  EXPECT_EQ(ErrorOf([&] { Defs.Find("none"); }), "Field 'none' not found");
  EXPECT_EQ(ErrorOf([&] { Defs.Add("ID", ftInteger); }), "Duplicate field name 'ID'");
  TFieldDefs Copy(nullptr);
  Copy.Assign(&Defs);
  EXPECT_EQ(Copy.Count(), 2);
  EXPECT_EQ(Copy[0]->DataType, ftString);

  TIndexDefs Indexes(nullptr);
  Indexes.Add("PK", "Id", ixPrimary | ixUnique);
  Indexes.Add("ByName", "Name;Id", ixCaseInsensitive);
  EXPECT_EQ(Indexes.GetIndexForFields("Id", false)->Name, "PK");
  EXPECT_EQ(Indexes.GetIndexForFields("Name", true)->Name, "ByName");
  EXPECT_EQ(Indexes.GetIndexForFields("Nam", true), nullptr);  // whole names only
  EXPECT_EQ(Indexes.FindIndexForFields("name")->Name, "ByName");
  EXPECT_EQ(ErrorOf([&] { Indexes.FindIndexForFields("Other"); }), "No index for fields 'Other'");
  EXPECT_EQ(ErrorOf([&] { Indexes.Find("x"); }), "Index 'x' not found");

  // The provider's selection by kind.
  AllTypes T;
  std::unique_ptr<TIndexDefs> Unique(T.DS->GetIndexDefs(&Indexes, ixUnique));
  ASSERT_EQ(Unique->Count(), 1);
  EXPECT_EQ(Unique->Items(0)->Name, "PK");
  std::unique_ptr<TIndexDefs> All(T.DS->GetIndexDefs(&Indexes, 0));
  EXPECT_EQ(All->Count(), 2);
}

TEST(DbParams, FindAssignAndCompare) {
  TParams Params;
  Params.CreateParam(ftUnknown, "Name", DBParam::ptInput)->SetAsString("abc");
  Params.CreateParam(ftInteger, "Count", DBParam::ptInput)->SetAsInteger(3);
  EXPECT_EQ(Params.ParamByName("name")->DataType, ftString);
  EXPECT_TRUE(Params.ParamByName("name")->Bound);
  EXPECT_EQ(Params.ParamByName("COUNT")->AsInteger(), 3);
  EXPECT_EQ(ErrorOf([&] { Params.ParamByName("none"); }), "Parameter 'none' not found");
  TParams Copy;
  Copy.Assign(&Params);
  EXPECT_TRUE(Copy.IsEqual(Params));
  Copy[1]->SetAsInteger(4);
  EXPECT_FALSE(Copy.IsEqual(Params));
  Copy.Delete(0);
  EXPECT_EQ(Copy.FindParam("Name"), nullptr);
}

}  // namespace
