// Copying values between fields of two datasets, BLOBs included.

#include <gtest/gtest.h>

#include <cstring>

#include "db/dsfw/DAZTypesFields.h"
#include "tests/db_dsfw/VectorDataSet.h"

namespace {

struct Copy {
  TComponent Owner{nullptr};
  TVectorDataSet* Src = new TVectorDataSet(
      &Owner, {{"VB", ftVarBytes, 4}, {"L", ftLargeint}, {"WM", ftWideMemo}, {"B", ftBlob}, {"W", ftWideString, 10},
               {"I", ftInteger}, {"F", ftFloat}});
  TVectorDataSet* Dst = new TVectorDataSet(
      &Owner, {{"VB", ftVarBytes, 4}, {"L", ftLargeint}, {"M", ftMemo}, {"B", ftBlob}, {"WS", ftWideString, 10},
               {"S", ftString, 20}, {"WM", ftWideMemo}});
  Copy() {
    Src->Open();
    Src->Append();
    Dst->Open();
    Dst->Append();
  }
  TField* S(const char* Name) { return Src->FieldByName(Name); }
  TField* D(const char* Name) { return Dst->FieldByName(Name); }
  void SetBlob(const std::vector<uint8_t>& Bytes) { S("B")->SetAsVariant(Variant::TBytes(Bytes)); }
};

std::vector<uint8_t> PictureHeader(uint32_t Length, size_t Total) {
  std::vector<uint8_t> Bytes(Total);
  for (size_t I = 0; I < Total; ++I) Bytes[I] = static_cast<uint8_t>(I);
  uint16_t W1 = 1, W2 = 256;
  std::memcpy(Bytes.data(), &W1, 2);
  std::memcpy(Bytes.data() + 2, &W2, 2);
  std::memcpy(Bytes.data() + 4, &Length, 4);
  return Bytes;
}

TEST(AssignFieldValue, BlobsLoseOnlyAMatchingPictureHeader) {
  struct Case {
    std::vector<uint8_t> In;
    size_t Copied;
  } Cases[] = {{PictureHeader(100, 108), 100}, {PictureHeader(99, 108), 108}, {{1, 0, 0, 1, 0, 0, 0}, 7}};
  for (const Case& C : Cases) {
    Copy T;
    T.SetBlob(C.In);
    AssignFieldValue(T.S("B"), T.D("B"));
    Variant::TBytes Out = T.D("B")->GetAsVariant().AsBytes();
    ASSERT_EQ(Out.size(), C.Copied);
    EXPECT_TRUE(std::equal(Out.begin(), Out.end(), C.In.end() - static_cast<long>(C.Copied)));
  }
}

TEST(AssignFieldValue, WideTextMovesAsSixteenBitUnits) {
  Copy T;
  T.S("W")->SetAsString("h\xc3\xa9llo");
  AssignFieldValue(T.S("W"), T.D("B"));
  EXPECT_EQ(T.D("B")->GetAsVariant().AsBytes().size(), 10u);  // two bytes a character
  T.SetBlob({'a', 0, 'b', 0, 'c'});  // an odd byte is left out
  AssignFieldValue(T.S("B"), T.D("WS"));
  EXPECT_EQ(T.D("WS")->AsString(), "ab");
  T.S("WM")->SetAsString("\xce\xb1\xce\xb2");
  AssignFieldValue(T.S("WM"), T.D("WM"));
  EXPECT_EQ(T.D("WM")->AsString(), "\xce\xb1\xce\xb2");
  AssignFieldValue(T.S("WM"), T.D("M"));
  EXPECT_EQ(T.D("M")->AsString(), "\xce\xb1\xce\xb2");
}

TEST(AssignFieldValue, NumbersKeepNullsAndAllSixtyFourBits) {
  Copy T;
  AssignFieldValue(T.S("L"), T.D("L"));
  EXPECT_TRUE(T.D("L")->IsNull());
  T.S("L")->SetAsLargeInt(int64_t{1} << 40);
  AssignFieldValue(T.S("L"), T.D("L"));
  EXPECT_EQ(T.D("L")->AsLargeInt(), int64_t{1} << 40);
  AssignFieldValue(T.S("L"), T.D("S"));
  EXPECT_EQ(T.D("S")->AsString(), "1099511627776");
  // Into a large integer a null stays null and a value beyond 32 bits survives.
  AssignFieldValue(T.S("I"), T.D("L"));
  EXPECT_TRUE(T.D("L")->IsNull());
  T.S("F")->SetAsFloat(5e9);
  AssignFieldValue(T.S("F"), T.D("L"));
  EXPECT_EQ(T.D("L")->AsLargeInt(), 5000000000);
  T.S("I")->SetAsInteger(-7);
  AssignFieldValue(T.S("I"), T.D("L"));
  EXPECT_EQ(T.D("L")->AsLargeInt(), -7);
  T.S("VB")->SetAsVariant(Variant::TBytes{3, 2, 1});
  AssignFieldValue(T.S("VB"), T.D("VB"));
  EXPECT_EQ(T.D("VB")->GetAsVariant().AsBytes(), (Variant::TBytes{3, 2, 1}));
}

}  // namespace
