#include "db/support/DAZVariant.h"

#include <gtest/gtest.h>

#include <cstring>

#include "db/support/DAZExcept.h"
#include "tests/db_support/DAZTestUtil.h"
#include "db/support/DAZStreams.h"

namespace {

// One letter per storage type, in ordinal order.
constexpr char kTypeCodes[] = ".cCvV1248bwusdeDTXBmMLSyYF";

// Result of GetResultBaseFieldType: row = left type, column = right type.
const char* const kArithmeticPromotion[ABSBaseFieldTypeCount] = {
    "..........................",  // bftUnknown
    ".cCvVccccccccccccc.cCcc...",  // bftChar
    ".CCCVCCCCCCCCCCCCC.CCCC...",  // bftWideChar
    ".vCvVvvvvvvvvvvvvv.vVvv...",  // bftVarchar
    ".VVVVVVVVVVVVVVVVV.VVVV...",  // bftWideVarchar
    ".cCvV12482wusdeDTX...1S...",  // bftSignedInt8
    ".cCvV22482wusdeDTX...2S...",  // bftSignedInt16
    ".cCvV4448448sdeDTX...4S...",  // bftSignedInt32
    ".cCvV8888888sdeDTX...8S...",  // bftSignedInt64
    ".cCvV2248bwusdeDTX...bS...",  // bftUnsignedInt8
    ".cCvV4448wwusdeDTX...wS...",  // bftUnsignedInt16
    ".cCvV8888uuusdeDTX...uS...",  // bftUnsignedInt32
    ".cCvVssssssssdeDTX...sS...",  // bftSingle
    ".cCvVdddddddddeDTX...dS...",  // bftDouble
    ".cCvVeeeeeeeeeeDTX...eS...",  // bftExtended
    ".cCvVDDDDDDDDDDDXX........",  // bftDate
    ".cCvVTTTTTTTTTTXTX........",  // bftTime
    ".cCvVXXXXXXXXXXXXX........",  // bftDateTime
    "..........................",  // bftBlob
    ".cCvV..............cC.....",  // bftClob
    ".CCVV..............CC.....",  // bftWideClob
    ".cCvV1248bwusde......L....",  // bftLogical
    ".cCvVSSSSSSSsde.......S...",  // bftCurrency
    "..........................",  // bftBytes
    "..........................",  // bftVarBytes
    "..........................",  // bftBFile
};

TEST(Promotion, Matrix) {
  for (int l = 0; l < ABSBaseFieldTypeCount; ++l) {
    for (int r = 0; r < ABSBaseFieldTypeCount; ++r) {
      const auto lt = TABSBaseFieldType(l), rt = TABSBaseFieldType(r);
      char expected = kArithmeticPromotion[l][r];
      EXPECT_EQ(kTypeCodes[GetResultBaseFieldType(lt, rt, false)], expected) << l << "," << r;
      // For comparisons a date or time meets text as a date or time.
      if (IsStringBaseFieldType(lt) && IsDateTimeBaseFieldType(rt)) expected = kTypeCodes[r];
      if (IsDateTimeBaseFieldType(lt) && IsStringBaseFieldType(rt)) expected = kTypeCodes[l];
      EXPECT_EQ(kTypeCodes[GetResultBaseFieldType(lt, rt, true)], expected) << l << "," << r << " compare";
    }
  }
  EXPECT_EQ(GetResultAdvancedFieldType(aftAutoInc, aftSmallint, false), aftAutoInc);
  EXPECT_EQ(GetResultAdvancedFieldType(aftSmallint, aftMemo, false), aftUnknown);
  EXPECT_EQ(GetResultAdvancedFieldType(aftShortint, aftByte, false), aftSmallint);
  EXPECT_EQ(GetResultAdvancedFieldType(aftDate, aftString, true), aftDate);
}

std::vector<uint8_t> StreamBytes(const TABSVariant& v) {
  TABSMemoryStream s;
  v.SaveToStream(s);
  return std::vector<uint8_t>(s.Buffer(), s.Buffer() + s.Size());
}

TEST(TABSVariant, StreamForm) {
  TABSVariant i;
  i.SetAsInteger(7);
  EXPECT_EQ(StreamBytes(i), (std::vector<uint8_t>{0x07, 0x00, 0x04, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00}));
  TABSVariant nullText(bftVarchar);
  EXPECT_EQ(StreamBytes(nullText), (std::vector<uint8_t>{0x03, 0xFF}));

  TABSMemoryStream s;
  TABSVariant text;
  text.SetAsAnsiString("abc");
  text.SaveToStream(s);
  s.SetPosition(0);
  TABSVariant back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.DataType(), bftVarchar);
  EXPECT_EQ(back.GetAsAnsiString(), "abc");
  EXPECT_FALSE(back.IsDataLinked());

  auto load = [](std::vector<uint8_t> bytes, TABSVariant& v) {
    TABSMemoryStream m;
    m.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    m.SetPosition(0);
    v.LoadFromStream(m);
  };
  TABSVariant v;
  load({0x07, 0x01}, v);
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.DataType(), bftSignedInt32);
  // Sizes are checked before anything is allocated.
  EXPECT_EQ(CodeOf([&] { load({0x07, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, v); }), 10185);
  EXPECT_EQ(CodeOf([&] { load({0x07, 0x00, 0x00, 0x00, 0x00, 0x40, 1, 2}, v); }), 10185);
  EXPECT_EQ(CodeOf([&] { load({0x07, 0x00, 0x04, 0x00}, v); }), 10185);
  EXPECT_EQ(CodeOf([&] { load({0x30, 0x00}, v); }), 10183);
  EXPECT_TRUE(v.IsNull());
}

TEST(TABSVariant, SettersKeepTheStorageType) {
  TABSVariant v;
  EXPECT_TRUE(v.IsNull());
  v.SetAsInteger(5);
  EXPECT_EQ(v.DataType(), bftSignedInt32);
  EXPECT_EQ(v.DataSize(), 4);
  v.SetAsAnsiString("12");
  EXPECT_EQ(v.DataType(), bftSignedInt32);
  EXPECT_EQ(v.GetAsInteger(), 12);
  // A failing conversion leaves the old value in place.
  EXPECT_EQ(CodeOf([&] { v.SetAsAnsiString("abc"); }), 30051);
  EXPECT_FALSE(v.IsNull());
  EXPECT_EQ(v.GetAsInteger(), 12);
  v.SetAsAnsiString("");
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.GetAsAnsiString(), "");
  EXPECT_EQ(CodeOf([&] { v.GetAsInteger(); }), 30016);

  TABSVariant all;
  struct Step {
    std::function<void(TABSVariant&)> set;
    TABSBaseFieldType type;
    const char* text;
  } steps[] = {
      {[](TABSVariant& x) { x.SetAsShortint(-5); }, bftSignedInt8, "-5"},
      {[](TABSVariant& x) { x.SetAsSmallint(-300); }, bftSignedInt16, "-300"},
      {[](TABSVariant& x) { x.SetAsInt64(-9000000000LL); }, bftSignedInt64, "-9000000000"},
      {[](TABSVariant& x) { x.SetAsByte(200); }, bftUnsignedInt8, "200"},
      {[](TABSVariant& x) { x.SetAsWord(60000); }, bftUnsignedInt16, "60000"},
      {[](TABSVariant& x) { x.SetAsCardinal(4000000000u); }, bftUnsignedInt32, "4000000000"},
      {[](TABSVariant& x) { x.SetAsSingle(0.5f); }, bftSingle, "0.5"},
      {[](TABSVariant& x) { x.SetAsDouble(2.25); }, bftDouble, "2.25"},
      {[](TABSVariant& x) { x.SetAsExtended(1.125L); }, bftExtended, "1.125"},
      {[](TABSVariant& x) { x.SetAsBoolean(true); }, bftLogical, "True"},
      {[](TABSVariant& x) { x.SetAsCurrency(9.5); }, bftCurrency, "9.5"},
      {[](TABSVariant& x) { x.SetAsDAZDate(737426); }, bftDate, "1/2/2020"},
      {[](TABSVariant& x) { x.SetAsDAZTime(3600000); }, bftTime, "1:00:00 AM"},
      {[](TABSVariant& x) { x.SetAsTDateTime(ABSEncodeDate(2020, 1, 2) + 0.75); }, bftDateTime,
       "1/2/2020 6:00:00 PM"},
      {[](TABSVariant& x) { x.SetAsWideString(u"\u0416"); }, bftWideVarchar, "?"},
  };
  for (const auto& st : steps) {
    all.Clear();
    st.set(all);
    EXPECT_EQ(all.DataType(), st.type);
    EXPECT_EQ(all.GetAsAnsiString(), st.text);
  }
  all.Clear();
  all.SetAsDouble(2.75);
  EXPECT_EQ(all.GetAsInteger(), 2);
  EXPECT_EQ(all.GetAsCardinal(), 2u);
  EXPECT_TRUE(all.GetAsBoolean());
  EXPECT_EQ(all.GetAsWideString(), u"2.75");
  all.Clear();
  all.SetAsTDate(ABSEncodeDate(2021, 3, 5));
  EXPECT_EQ(all.GetAsTDate(), ABSEncodeDate(2021, 3, 5));
}

TEST(TABSVariant, AssignCastAndReduce) {
  TABSVariant source;
  source.SetAsInteger(1);
  TABSVariant linked;
  linked.Assign(source, false);
  EXPECT_TRUE(linked.IsDataLinked());
  linked.SetAsInteger(2);  // a write gives the copy its own buffer
  EXPECT_FALSE(linked.IsDataLinked());
  EXPECT_EQ(source.GetAsInteger(), 1);

  TABSVariant text;
  text.SetAsAnsiString("abc");
  EXPECT_EQ(text.StrLen(), 3);
  EXPECT_EQ(text.DataSize(), 4);
  text.SetDataType(bftSignedInt32);
  EXPECT_TRUE(text.IsNull());
  EXPECT_EQ(text.DataType(), bftSignedInt32);
  EXPECT_EQ(text.StrLen(), -1);

  TABSVariant wide;
  wide.SetAsWideString(u"abc");
  EXPECT_EQ(wide.StrLen(), 3);
  EXPECT_EQ(wide.DataSize(), 8);
  wide.TryToReduceWideStringToAnsiString();
  EXPECT_EQ(wide.DataType(), bftVarchar);
  EXPECT_EQ(wide.GetAsAnsiString(), "abc");
  TABSVariant cyrillic;
  cyrillic.SetAsWideString(u"\u0416");
  cyrillic.TryToReduceWideStringToAnsiString();
  EXPECT_EQ(cyrillic.DataType(), bftWideVarchar);

  TABSVariant clob;
  clob.SetData("abc", 3, bftClob);
  clob.Cast(bftVarchar);
  EXPECT_EQ(clob.DataSize(), 4);
  EXPECT_EQ(clob.pData()[3], 0);
  TABSVariant number;
  number.SetAsAnsiString("12");
  number.Cast(bftSignedInt32);
  EXPECT_EQ(number.DataSize(), 4);
  EXPECT_EQ(number.GetAsInteger(), 12);
  EXPECT_EQ(CodeOf([&] { number.Cast(bftBlob); }), 30052);
  EXPECT_EQ(number.GetAsInteger(), 12);

  char small[2];
  EXPECT_EQ(CodeOf([&] { number.CopyDataToAddress(small, 2); }), 20056);
  int32_t out = 0;
  EXPECT_TRUE(number.CopyDataToAddress(&out, 4));
  EXPECT_EQ(out, 12);
  TABSVariant blob;
  blob.SetData("\x01\x02", 2, bftBlob);
  EXPECT_EQ(CodeOf([&] { blob.GetAsAnsiString(); }), 30052);
}

TEST(TABSVariant, BuffersAreNeverReadPastTheirSize) {
  // Text without its terminator, as a damaged record could hold it.
  TABSVariant a, b;
  a.SetData("abc", 3, bftVarchar);
  b.SetData("xyz", 3, bftVarchar);
  EXPECT_EQ(a.GetAsAnsiString(), "abc");
  EXPECT_EQ(a.Compare(b), cmprLower);
  a.Add(b);
  EXPECT_EQ(a.GetAsAnsiString(), "abcxyz");
  TABSVariant w;
  w.SetData(u"ab", 4, bftWideVarchar);
  EXPECT_EQ(w.GetAsWideString(), u"ab");
  // A fixed-size type must get its size.
  TABSVariant i;
  EXPECT_EQ(CodeOf([&] { i.SetData("\x01", 1, bftSignedInt64); }), 30054);
  EXPECT_TRUE(i.IsNull());
  int size = 0;
  EXPECT_EQ(CodeOf([&] { ConvertValue("\x01\x02", 2, bftDouble, size, bftVarchar); }), 30051);
}

TEST(TABSVariant, PlatformVariants) {
  TABSVariant v;
  TABSVarData in;
  in.VType = varInteger;
  in.VInteger = 42;
  v.SetAsVariant(in);
  EXPECT_EQ(v.DataType(), bftSignedInt32);
  TABSVarData out = v.GetAsVariant();
  EXPECT_EQ(out.VType, varInteger);
  EXPECT_EQ(out.VInteger, 42);
  in.VType = varString;
  in.VString = "7";
  v.SetAsVariant(in);  // into the value's own type
  EXPECT_EQ(v.GetAsInteger(), 7);
  in.VType = varNull;
  v.SetAsVariant(in);
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.GetAsVariant().VType, varNull);
  in.VType = 9;  // an interface: no storage type
  EXPECT_EQ(CodeOf([&] { v.SetAsVariant(in); }), 30113);

  struct Case {
    TABSBaseFieldType type;
    const char* text;
    uint16_t code;
  } cases[] = {
      {bftVarchar, "a", varString}, {bftWideVarchar, "a", varOleStr}, {bftSignedInt8, "1", varShortInt},
      {bftUnsignedInt32, "1", varLongWord}, {bftCurrency, "1", varDouble}, {bftDate, "2020-01-02", varDate},
      {bftLogical, "1", varBoolean},
  };
  for (const auto& c : cases) {
    TABSVariant x(c.type);
    x.SetAsAnsiString(c.text);
    const TABSVarData d = x.GetAsVariant();
    EXPECT_EQ(d.VType, c.code) << BaseFieldTypeToSQLName(c.type);
    TABSVariant y;
    y.SetAsVariant(d);
    EXPECT_EQ(y.GetAsAnsiString(), x.GetAsAnsiString()) << BaseFieldTypeToSQLName(c.type);
  }
  TABSVariant blob;
  blob.SetData("x", 1, bftBlob);
  EXPECT_EQ(CodeOf([&] { blob.GetAsVariant(); }), 30052);
  TABSVariant bytes;
  bytes.SetData("x", 1, bftBytes);
  EXPECT_EQ(CodeOf([&] { bytes.GetAsVariant(); }), 30114);
}

TABSVariant* Make(TABSBaseFieldType type, const char* text) {
  auto* v = new TABSVariant(type);
  if (text != nullptr) v->SetAsAnsiString(text);
  return v;
}

TEST(TABSVariant, Arithmetic) {
  struct Case {
    TABSBaseFieldType lt;
    const char* l;  // null for NULL
    char op;
    TABSBaseFieldType rt;
    const char* r;
    TABSBaseFieldType resultType;
    const char* result;  // null for NULL
  } cases[] = {
      {bftSignedInt32, "5", '+', bftDouble, "1.5", bftDouble, "6.5"},
      {bftSignedInt8, "100", '+', bftSignedInt8, "100", bftSignedInt8, "-56"},
      {bftSignedInt32, "2147483647", '+', bftSignedInt32, "1", bftSignedInt32, "-2147483648"},
      {bftVarchar, "abc", '+', bftSignedInt32, "1", bftVarchar, "abc1"},
      {bftSignedInt32, "7", '/', bftSignedInt32, "-2", bftSignedInt32, "-3"},
      {bftDouble, "7", '/', bftSignedInt32, "2", bftDouble, "3.5"},
      {bftUnsignedInt8, "3", '-', bftUnsignedInt8, "5", bftUnsignedInt8, "254"},
      {bftSignedInt32, "5", '+', bftSignedInt32, nullptr, bftSignedInt32, nullptr},
      {bftVarchar, "abc", '+', bftVarchar, nullptr, bftVarchar, "abc"},
      {bftVarchar, nullptr, '+', bftVarchar, "xyz", bftVarchar, "xyz"},
      {bftSignedInt32, nullptr, '+', bftSignedInt32, "3", bftSignedInt32, nullptr},
      {bftSignedInt32, "4", '*', bftSignedInt32, nullptr, bftSignedInt32, nullptr},
      {bftSignedInt32, nullptr, '-', bftSignedInt32, "3", bftSignedInt32, nullptr},
      {bftDate, "2020-01-31", '+', bftSignedInt32, "1", bftDate, "2/1/2020"},
      {bftLogical, "1", '+', bftLogical, "0", bftLogical, "True"},
      {bftCurrency, "1.25", '*', bftSignedInt32, "3", bftCurrency, "3.75"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TABSVariant> l(Make(c.lt, c.l)), r(Make(c.rt, c.r));
    switch (c.op) {
      case '+': l->Add(*r); break;
      case '-': l->Sub(*r); break;
      case '*': l->Mul(*r); break;
      default: l->Division(*r); break;
    }
    EXPECT_EQ(l->DataType(), c.resultType) << c.l << c.op << c.r;
    EXPECT_EQ(l->IsNull(), c.result == nullptr) << c.l << c.op << c.r;
    if (c.result != nullptr) {
      EXPECT_EQ(l->GetAsAnsiString(), c.result) << c.l << c.op << c.r;
    }
  }

  // Date-times carry whole days out of the time part.
  TABSVariant a, b;
  a.SetAsDAZDateTime({737426, 86000000});
  b.SetAsDAZDateTime({0, 1000000});
  a.Add(b);
  EXPECT_EQ(a.GetAsDAZDateTime().Date, 737427);
  EXPECT_EQ(a.GetAsDAZDateTime().Time, 600000);
  // A missing date gives NULL instead of a wrapped day number.
  TABSVariant t;
  t.SetAsDAZTime(3600000);
  a.Add(t);
  EXPECT_TRUE(a.IsNull());

  std::unique_ptr<TABSVariant> text(Make(bftVarchar, "abc")), one(Make(bftSignedInt32, "1")),
      zero(Make(bftSignedInt32, "0")), dzero(Make(bftDouble, "0")), blob(new TABSVariant());
  blob->SetData("x", 1, bftBlob);
  EXPECT_EQ(CodeOf([&] { text->Sub(*one); }), 30125);
  EXPECT_EQ(CodeOf([&] { text->Mul(*one); }), 30126);
  EXPECT_EQ(CodeOf([&] { one->Division(*zero); }), 30128);
  EXPECT_EQ(CodeOf([&] { one->Division(*dzero); }), 30128);
  EXPECT_EQ(CodeOf([&] { one->Add(*blob); }), 30052);

  TABSVariant inv;
  inv.SetAsByte(1);
  inv.InvertValue();
  EXPECT_EQ(inv.DataType(), bftUnsignedInt8);
  EXPECT_EQ(inv.GetAsByte(), 255);
  inv.Clear();
  inv.SetAsShortint(-128);
  inv.InvertValue();
  EXPECT_EQ(inv.GetAsShortint(), -128);
  inv.Clear();
  inv.SetAsInteger(INT32_MIN);
  EXPECT_THROW(inv.InvertValue(), EABSIntOverflow);
  inv.Clear();
  inv.SetAsBoolean(true);
  inv.InvertValue();
  EXPECT_FALSE(inv.GetAsBoolean());
  inv.Clear();
  inv.SetAsDAZTime(5);
  EXPECT_EQ(CodeOf([&] { inv.InvertValue(); }), 30123);
}

TEST(TABSVariant, Comparison) {
  struct Case {
    TABSBaseFieldType lt;
    const char* l;
    TABSBaseFieldType rt;
    const char* r;
    bool caseInsensitive, partial;
    TABSCompareResult withNulls, withoutNulls;
  } cases[] = {
      {bftVarchar, "abc", bftVarchar, "ABC", true, false, cmprEqual, cmprEqual},
      {bftVarchar, "abc", bftVarchar, "ABC", false, false, cmprLower, cmprLower},
      {bftSignedInt32, "10", bftVarchar, "9", false, false, cmprLower, cmprLower},  // compared as text
      {bftVarchar, "2020-01-02", bftDate, "2020-01-02", false, false, cmprEqual, cmprEqual},
      {bftVarchar, "abcdef", bftVarchar, "abc", false, true, cmprEqual, cmprEqual},
      {bftVarchar, "ab", bftVarchar, "abc", false, true, cmprLower, cmprLower},
      {bftSignedInt32, nullptr, bftSignedInt32, "5", false, false, cmprLeftNull, cmprLower},
      {bftSignedInt32, "5", bftSignedInt32, nullptr, false, false, cmprRightNull, cmprGreater},
      {bftSignedInt32, nullptr, bftSignedInt32, nullptr, false, false, cmprBothNull, cmprEqual},
      {bftUnsignedInt32, "4000000000", bftSignedInt32, "-1", false, false, cmprGreater, cmprGreater},
      {bftDouble, "1.5", bftSignedInt32, "2", false, false, cmprLower, cmprLower},
      {bftLogical, "TRUE", bftLogical, "1", false, false, cmprEqual, cmprEqual},
      {bftWideVarchar, "b", bftVarchar, "A", true, false, cmprGreater, cmprGreater},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TABSVariant> l(Make(c.lt, c.l)), r(Make(c.rt, c.r));
    EXPECT_EQ(l->Compare(*r, true, c.caseInsensitive, c.partial), c.withNulls) << c.l << " ? " << c.r;
    EXPECT_EQ(l->Compare(*r, false, c.caseInsensitive, c.partial), c.withoutNulls) << c.l << " ? " << c.r;
  }
  TABSVariant blob, text, vb1, vb2;
  blob.SetData("x", 1, bftBlob);
  text.SetAsAnsiString("x");
  vb1.SetData("x", 1, bftVarBytes);
  vb2.SetData("y", 1, bftVarBytes);
  EXPECT_EQ(CodeOf([&] { blob.Compare(text); }), 30044);
  EXPECT_EQ(CodeOf([&] { vb1.Compare(vb2); }), 30047);

  const int32_t five = 5;
  EXPECT_EQ(CompareValueBuffersAsInteger(nullptr, nullptr, bftSignedInt32, bftSignedInt32, true, true, -1, false), 0);
  EXPECT_EQ(CompareValueBuffersAsInteger(nullptr, &five, bftSignedInt32, bftSignedInt32, true, false, -1, false), -1);
  EXPECT_EQ(CompareValueBuffersAsInteger(&five, nullptr, bftSignedInt32, bftSignedInt32, false, true, -1, false), 1);
  EXPECT_EQ(CodeOf([&] { CompareValueBuffers(&five, nullptr, bftSignedInt32, bftSignedInt32, false, false, -1,
                                             false); }),
            30140);
}

}  // namespace
