#include "db/support/DAZTypes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "db/support/DAZConverts.h"
#include "db/support/DAZExcept.h"
#include "tests/db_support/DAZTestUtil.h"
#include "db/support/DAZLocalizer.h"
#include "db/support/DAZMemory.h"

namespace {

TEST(DAZTypes, SizesNamesAndLookups) {
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftVarchar, 10), 11);
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftWideChar, 10), 22);
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftBytes, 16), 17);
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftDateTime, 0), 8);
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftClob, 5000), 10);
  EXPECT_EQ(GetBaseFieldTypeDataSize(bftExtended, 0), 10);
  EXPECT_EQ(CodeOf([] { GetBaseFieldTypeDataSize(bftBFile, 0); }), 30050);
  EXPECT_THROW(GetBaseFieldTypeDataSize(bftVarchar, 2147483647), EABSIntOverflow);
  EXPECT_THROW(GetBaseFieldTypeDataSize(bftWideVarchar, -7), EABSIntOverflow);

  EXPECT_EQ(BaseFieldTypeToSQLName(bftVarchar), "STRING");
  EXPECT_EQ(BaseFieldTypeToSQLName(bftClob), "MEMO");
  EXPECT_EQ(BaseFieldTypeToSQLName(bftBFile), "Unknown");
  EXPECT_EQ(AdvancedFieldTypeToSQLName(aftDouble), "FLOAT");
  EXPECT_EQ(AdvancedFieldTypeToBaseFieldType(aftGuid), bftChar);
  EXPECT_EQ(BaseFieldTypeToAdvancedFieldType(bftUnsignedInt32), aftCardinal);
  EXPECT_EQ(BaseFieldTypeToAdvancedFieldType(bftBFile), aftUnknown);
  EXPECT_EQ(FieldTypeToAdvancedFieldType(ftWideString), aftWideChar);
  EXPECT_EQ(FieldTypeToAdvancedFieldType(ftBCD), aftDouble);
  try {
    FieldTypeToAdvancedFieldType(ftFixedWideChar);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 30289);
    EXPECT_EQ(e.Message, "Unknown DataType: '38' - Native error: 30289");
  }
  EXPECT_TRUE(IsNumericAdvancedFieldType(aftAutoIncLargeint));
  EXPECT_FALSE(IsConvertibleAdvancedFieldType(aftGuid));
  EXPECT_TRUE(IsConvertibleAdvancedFieldType(aftWideMemo));
  EXPECT_FALSE(AdvancedFieldTypeHasSize(aftGuid));
}

TEST(DAZTypes, DateNumbers) {
  EXPECT_EQ(TDateToDAZDate(ABSEncodeDate(1899, 12, 30)), 693594);
  EXPECT_EQ(TDateToDAZDate(ABSEncodeDate(1, 1, 1)), 1);
  const TABSDateTime noon = TDateTimeToDAZDateTime(ABSEncodeDate(2000, 1, 1) + 0.5);
  EXPECT_EQ(noon.Date, 730120);
  EXPECT_EQ(noon.Time, 43200000);
  // Before 1899-12-30 the time of day is stored with the value's sign, and
  // comes back as it went in.
  const TABSDateTime early = TDateTimeToDAZDateTime(-0.25);
  EXPECT_EQ(early.Date, 693594);
  EXPECT_EQ(early.Time, -21600000);
  EXPECT_DOUBLE_EQ(DAZDateTimeToTDateTime(early), -0.25);
  const TDateTime d = ABSComposeDateTime(ABSEncodeDate(1800, 3, 4), ABSEncodeTime(6, 0, 0, 0));
  const TABSDateTime back = TDateTimeToDAZDateTime(d);
  EXPECT_EQ(back.Time, -21600000);
  EXPECT_DOUBLE_EQ(DAZDateTimeToTDateTime(back), d);
  // Pairs order as the values they hold.
  const TDateTime ordered[] = {-2.75, -2.5, -2.0, -1.25, -0.75, -0.25, 0.0, 0.25, 1.5};
  for (size_t i = 1; i < std::size(ordered); ++i) {
    const TABSDateTime a = TDateTimeToDAZDateTime(ordered[i - 1]), b = TDateTimeToDAZDateTime(ordered[i]);
    EXPECT_TRUE(a.Date < b.Date || (a.Date == b.Date && a.Time < b.Time)) << ordered[i - 1] << " " << ordered[i];
    EXPECT_DOUBLE_EQ(DAZDateTimeToTDateTime(b), ordered[i]);
  }
  int y, m, dd;
  ABSDecodeDate(DAZDateToTDate(back.Date), y, m, dd);
  EXPECT_EQ(y * 10000 + m * 100 + dd, 18000304);
  EXPECT_THROW(DAZDateToTDate(ABSMissingDate), EABSIntOverflow);
}

TEST(DAZTypes, SQLLiterals) {
  struct Case {
    const char* text;
    int kind;  // 0 date, 1 time, 2 date-time
    bool accepted;
  } cases[] = {
      {"2020-01-02", 0, true},  {"2020/01/02", 0, true},   {"2020-1-2", 0, false},
      {"20200102", 0, false},   {"2020--01-02", 0, false}, {"2020-01-02x", 0, true},
      {"2020-01-02 1", 0, false}, {"2020-01-02 10:20:30", 2, true}, {"2020-01-02", 2, false},
      {"10:20:30", 1, true},    {"10:20", 1, false},
  };
  for (const auto& c : cases) {
    TDateTime v = 0;
    const bool ok = c.kind == 0 ? TryStrToSQLDate(c.text, v) : c.kind == 1 ? TryStrToSQLTime(c.text, v)
                                                                            : TryStrToSQLDateTime(c.text, v);
    EXPECT_EQ(ok, c.accepted) << c.text;
  }
  TDateTime v;
  ASSERT_TRUE(TryStrToSQLDateTime("2020-01-02 10:20:30", v));
  EXPECT_EQ(TDateTimeToDAZDateTime(v).Date, 737426);
  EXPECT_EQ(TDateTimeToDAZDateTime(v).Time, (10 * 3600 + 20 * 60 + 30) * 1000);
  EXPECT_THROW(TryStrToSQLDate("2020-13-01", v), EConvertError);
}

// ---- conversions ----

struct Value {
  TABSBaseFieldType type;
  std::vector<uint8_t> bytes;
};

template <class T>
Value Of(TABSBaseFieldType type, T v) {
  Value r{type, std::vector<uint8_t>(sizeof v)};
  std::memcpy(r.bytes.data(), &v, sizeof v);
  return r;
}

Value Text(const char* s, TABSBaseFieldType type = bftVarchar) {
  return Value{type, std::vector<uint8_t>(s, s + std::strlen(s) + 1)};
}

Value Convert(const Value& v, TABSBaseFieldType to) {
  int size = 0;
  TABSMemBlock block(ConvertValue(v.bytes.data(), static_cast<int>(v.bytes.size()), v.type, size, to));
  return Value{to, std::vector<uint8_t>(block.Bytes(), block.Bytes() + size)};
}

String AsText(const Value& v) { return String(reinterpret_cast<const char*>(v.bytes.data())); }
template <class T>
T As(const Value& v) {
  T r{};
  std::memcpy(&r, v.bytes.data(), std::min(sizeof r, v.bytes.size()));
  return r;
}

TEST(ConvertValue, SupportMatrix) {
  // Rows: sources; the string lists the targets that convert, by ordinal.
  // Order: Unk Char WChar Varchar WVarchar i8 i16 i32 i64 u8 u16 u32 Sgl Dbl Ext Date Time DT Blob Clob WClob Log Cur Bytes VBytes BFile
  const char* const matrix[ABSBaseFieldTypeCount] = {
      "..........................",  // bftUnknown
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftChar
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftWideChar
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftVarchar
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftWideVarchar
      ".XXXXXXXXXXXXXXXXX...XX...",  // integers ...
      ".XXXXXXXXXXXXXXXXX...XX...", ".XXXXXXXXXXXXXXXXX...XX...", ".XXXXXXXXXXXXXXXXX...XX...",
      ".XXXXXXXXXXXXXXXXX...XX...", ".XXXXXXXXXXXXXXXXX...XX...", ".XXXXXXXXXXXXXXXXX...XX...",
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftSingle
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftDouble
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftExtended
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftDate
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftTime
      ".XXXXXXXXXXXXXXXXX...XX...",  // bftDateTime
      "..........................",  // bftBlob
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftClob
      ".XXXXXXXXXXXXXXXXXX..XX...",  // bftWideClob
      ".XXXXXXXXXXXXXX......X....",  // bftLogical
      ".XXXXXXXXXXXXXX......XX...",  // bftCurrency
      "..........................",  // bftBytes
      "..........................",  // bftVarBytes
      "..........................",  // bftBFile
  };
  for (int s = 0; s < ABSBaseFieldTypeCount; ++s)
    for (int d = 0; d < ABSBaseFieldTypeCount; ++d)
      EXPECT_EQ(IsConversionSupported(TABSBaseFieldType(s), TABSBaseFieldType(d)), matrix[s][d] == 'X')
          << BaseFieldTypeToSQLName(TABSBaseFieldType(s)) << " -> " << d;
  EXPECT_EQ(CodeOf([] { Convert(Of<int16_t>(bftLogical, -1), bftCurrency); }), 30052);
  EXPECT_EQ(CodeOf([] { Convert(Of<double>(bftCurrency, 1), bftDate); }), 30052);
  EXPECT_EQ(CodeOf([] { Convert(Text("x", bftBlob), bftVarchar); }), 30052);
}

TEST(ConvertValue, Values) {
  EXPECT_EQ(As<int32_t>(Convert(Text("12"), bftSignedInt32)), 12);
  try {
    Convert(Text("12.5"), bftSignedInt32);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.Message, "Cannot cast from 'STRING' to 'INTEGER' - Native error: 30051");
  }
  EXPECT_EQ(As<int8_t>(Convert(Text("300"), bftSignedInt8)), 44);
  EXPECT_EQ(As<int64_t>(Convert(Text("-9000000000"), bftSignedInt64)), -9000000000LL);
  EXPECT_EQ(As<double>(Convert(Text("1.5"), bftDouble)), 1.5);
  EXPECT_EQ(As<int32_t>(Convert(Text("2020-01-02"), bftDate)), 737426);
  EXPECT_EQ(As<int32_t>(Convert(Text("1/2/2020"), bftDate)), 737426);  // the engine's m/d/yyyy
  EXPECT_EQ(As<int32_t>(Convert(Text("10:20:30"), bftTime)), 37230000);
  for (const char* t : {"true", "TRUE", "1"}) EXPECT_EQ(As<int16_t>(Convert(Text(t), bftLogical)), -1) << t;
  for (const char* t : {"yes", "0"}) EXPECT_EQ(As<int16_t>(Convert(Text(t), bftLogical)), 0) << t;
  EXPECT_EQ(As<double>(Convert(Of<int32_t>(bftDate, 737426), bftDouble)), 737426.0);
  const Value noon = Of<TABSDateTime>(bftDateTime, {737426, 43200000});
  EXPECT_EQ(As<double>(Convert(noon, bftDouble)), 737426.5);
  EXPECT_EQ(As<float>(Convert(noon, bftSingle)), 737426.5f);
  EXPECT_EQ(As<long double>(Convert(noon, bftExtended)), 737426.5L);
  EXPECT_EQ(AsText(Convert(noon, bftVarchar)), "1/2/2020 12:00:00 PM");
  EXPECT_EQ(AsText(Convert(Of<int32_t>(bftTime, 0), bftVarchar)), "");
  EXPECT_EQ(AsText(Convert(Of<int32_t>(bftDate, ABSMissingDate), bftVarchar)), "");
  EXPECT_EQ(As<int16_t>(Convert(Of<int32_t>(bftDate, ABSMissingDate), bftLogical)), 0);
  // A date-time holding only a time has no date-time text.
  EXPECT_EQ(CodeOf([] { Convert(Of<TABSDateTime>(bftDateTime, {ABSMissingDate, 3600000}), bftVarchar); }), 30051);
  EXPECT_EQ(AsText(Convert(Of<TABSDateTime>(bftDateTime, {ABSMissingDate, 0}), bftVarchar)), "");
  // CARDINAL takes its whole range (and a 32-bit negative, cut); beyond, the text is refused.
  EXPECT_EQ(As<uint32_t>(Convert(Text("4294967295"), bftUnsignedInt32)), 4294967295u);
  EXPECT_EQ(As<uint32_t>(Convert(Text("-1"), bftUnsignedInt32)), 4294967295u);
  for (const char* t : {"5000000000", "4294967296", "-2147483649"})
    EXPECT_EQ(CodeOf([t] { Convert(Text(t), bftUnsignedInt32); }), 30051) << t;
  EXPECT_EQ(As<uint16_t>(Convert(Of<int32_t>(bftSignedInt32, -1), bftUnsignedInt16)), 65535);
  EXPECT_EQ(As<int8_t>(Convert(Of<uint8_t>(bftUnsignedInt8, 200), bftSignedInt8)), -56);
  EXPECT_EQ(AsText(Convert(Of<uint32_t>(bftUnsignedInt32, 4000000000u), bftVarchar)), "4000000000");
  EXPECT_EQ(AsText(Convert(Of<int16_t>(bftLogical, 5), bftVarchar)), "True");
  EXPECT_EQ(AsText(Convert(Of<double>(bftCurrency, 2.50005), bftVarchar)), "2.5");
  EXPECT_EQ(AsText(Convert(Of<double>(bftDouble, 1e20), bftVarchar)), "1E20");
  EXPECT_EQ(As<int32_t>(Convert(Of<double>(bftDouble, -2.7), bftSignedInt32)), -2);
  EXPECT_EQ(As<float>(Convert(Of<double>(bftDouble, -1e300), bftSingle)), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(CodeOf([] { Convert(Of<double>(bftDouble, 1e30), bftSignedInt32); }), 30051);
  const TABSDateTime split = As<TABSDateTime>(Convert(Of<double>(bftDouble, 10.25), bftDateTime));
  EXPECT_EQ(split.Date, 10);
  EXPECT_EQ(split.Time, 21600000);
  // A time keeps the remainder of any large number of milliseconds.
  EXPECT_EQ(As<int32_t>(Convert(Of<double>(bftDouble, 1e10), bftTime)), 64000000);
  EXPECT_EQ(As<int32_t>(Convert(Of<double>(bftDouble, 4294967296.0 + 5), bftTime)), int32_t(4294967301LL % 86400000));
  EXPECT_EQ(CodeOf([] { Convert(Of<double>(bftDouble, 1e10), bftDate); }), 30051);
  // Wide text in and out through the code page.
  const Value wide = Convert(Text("caf\xE9"), bftWideVarchar);
  EXPECT_EQ(wide.bytes.size(), 10u);
  EXPECT_EQ(AsText(Convert(wide, bftVarchar)), "caf\xE9");
  // A CLOB of known size: its bytes, then a terminator.
  const Value clob{bftClob, {'a', 'b', 'c'}};
  EXPECT_EQ(Convert(clob, bftVarchar).bytes, (std::vector<uint8_t>{'a', 'b', 'c', 0}));
}

TEST(ConvertValue, DecimalSeparatorFollowsTheEngineSettingsForOutputOnly) {
  TABSFormatSettings& s = ABSFormatSettings();
  const TABSFormatSettings saved = s;
  s.DecimalSeparator = ',';
  EXPECT_EQ(As<double>(Convert(Text("1.5"), bftDouble)), 1.5);
  EXPECT_EQ(AsText(Convert(Of<double>(bftDouble, 1.5), bftVarchar)), "1,5");
  EXPECT_EQ(As<double>(Convert(Text("2,25"), bftCurrency)), 2.25);
  s = saved;
}

TEST(CopyValueToNewBuffer, TextAndFixedValues) {
  int size = 0;
  TABSMemBlock text(CopyValueToNewBuffer(bftVarchar, "abc", size));
  EXPECT_EQ(size, 4);
  EXPECT_STREQ(static_cast<const char*>(text.Get()), "abc");
  const char16_t wide[] = u"ab";
  TABSMemBlock w(CopyValueToNewBuffer(bftWideChar, wide, size));
  EXPECT_EQ(size, 6);
  const int64_t big = 1234567890123LL;
  TABSMemBlock i(CopyValueToNewBuffer(bftSignedInt64, &big, size));
  EXPECT_EQ(size, 8);
  EXPECT_EQ(CopyValueToNewBuffer(bftUnknown, &big, size), nullptr);
}

}  // namespace
