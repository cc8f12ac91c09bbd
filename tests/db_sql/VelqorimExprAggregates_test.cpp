#include <gtest/gtest.h>

#include <optional>

#include "ExprTestUtil.h"

namespace {

// Feeds rows of column "a" (NULL for std::nullopt) into one aggregate expression.
String Aggregate(const String& text, const std::vector<std::optional<int64_t>>& rows, TABSAdvancedFieldType type = aftInteger) {
  TTestCursor t({{"a", {type, 0}}});
  TParsed p = ParseText(text, false, &t);
  p.expr->Init();
  try {
    for (const auto& r : rows) {
      TABSVariant v;
      if (r) v.SetAsInt64(*r);
      t.Set("a", v);
      p.expr->Accumulate();
    }
    return Describe(p.expr->GetValue());
  } catch (const EABSException& e) {
    return "error " + std::to_string(e.NativeError);
  }
}

TEST(VelqorimExprAggregates, Accumulate) {
  using R = std::vector<std::optional<int64_t>>;
  EXPECT_EQ(Aggregate("SUM(a)", {}), "null");
  EXPECT_EQ(Aggregate("SUM(a)", {std::nullopt, std::nullopt}), "null");
  EXPECT_EQ(Aggregate("COUNT(a)", {std::nullopt, std::nullopt}), "int:0");
  EXPECT_EQ(Aggregate("COUNT(*)", {std::nullopt, 1}), "int:2");
  EXPECT_EQ(Aggregate("AVG(a)", {1, std::nullopt, 2}), "dbl:1.5");
  EXPECT_EQ(Aggregate("MIN(a)", {std::nullopt, 5, 3}), "int:3");
  EXPECT_EQ(Aggregate("MAX(a)", {4, std::nullopt, 9}), "int:9");
  // Integers add up in 64 bits.
  EXPECT_EQ(Aggregate("SUM(a)", R{2147483647, 2147483647, 2}), "i64:4294967296");
  EXPECT_EQ(Aggregate("SUM(a)", R{INT64_MAX, 1}, aftLargeint), "error 30508");
  // DISTINCT counts each value once, also written inside the parentheses.
  const R repeated{1, 1, 2, std::nullopt, 2, 3};
  EXPECT_EQ(Aggregate("COUNT(DISTINCT a)", repeated), "int:3");
  EXPECT_EQ(Aggregate("COUNT DISTINCT (a)", repeated), "int:3");
  EXPECT_EQ(Aggregate("SUM(DISTINCT a)", repeated), "i64:6");
  EXPECT_EQ(Aggregate("AVG(DISTINCT a)", repeated), "dbl:2");
  EXPECT_EQ(Aggregate("COUNT(a)", repeated), "int:5");
  EXPECT_EQ(Aggregate("SUM(a) + COUNT(*)", R{1, 2}), "i64:5");
}

TEST(VelqorimExprAggregates, TypesAndErrors) {
  TTestCursor t({{"i", {aftInteger, 0}}, {"c", {aftCurrency, 0}}, {"s", {aftString, 4}}});
  const struct {
    const char* text;
    TABSAdvancedFieldType type;
  } cases[] = {{"SUM(i)", aftLargeint}, {"SUM(c)", aftCurrency}, {"AVG(i)", aftDouble},
               {"MIN(s)", aftString},   {"COUNT(s)", aftInteger}, {"COUNT(*)", aftInteger}};
  for (const auto& c : cases) EXPECT_EQ(ParseText(c.text, false, &t).expr->GetDataType(), c.type) << c.text;
  TParsed p = ParseText("SUM(s)", false, &t);
  t.SetText("s", "x");
  p.expr->Init();
  try {
    p.expr->Accumulate();
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 30132);
  }
  EXPECT_TRUE(ParseText("1 + COUNT(*)", false, &t).expr->IsAggregated());
  EXPECT_FALSE(ParseText("1 + COUNT(*)", false, &t).expr->IsAggregatedCountAll());
  EXPECT_TRUE(ParseText("COUNT(*)", false, &t).expr->IsAggregatedCountAll());
  // MAX of texts that differ in case keeps the first.
  TParsed m = ParseText("MAX(s)", false, &t);
  m.expr->Init();
  t.SetText("s", "a");
  m.expr->Accumulate();
  t.SetText("s", "A");
  m.expr->Accumulate();
  EXPECT_EQ(Describe(m.expr->GetValue()), "str:a");
}

// A stand-in for the SQL processor's queries: "SELECT v, v ..." yields one
// column with those rows; "SELECT OUTER" yields the enclosing row's column "a".
class TFakeSubquery : public TVelqorimSubquery {
 public:
  static int Executions;

  TFakeSubquery(TVelqorimLexer& lex) {
    TToken t;
    lex.GetCurrentToken(t);  // SELECT
    int depth = 0;
    while (lex.GetNextToken(t)) {
      if (t.TokenType == tktLeftParenthesis) depth++;
      if (t.TokenType == tktRightParenthesis && depth-- == 0) break;
      if (t.TokenType == tktComma) continue;
      if (t.Text == "OUTER") FOuter = true;
      else if (t.Text == "TWO") FColumns = 2;
      else FItems.push_back(t);
    }
  }
  void Execute(TVelqorimAO*, TVelqorimExprCursor* ParentCursor) override {
    Executions++;
    FRows.clear();
    if (FOuter) {
      TVelqorimExprFieldInfo info;
      ASSERT_TRUE(ParentCursor && ParentCursor->FindFieldDef("a", false, info));
      auto v = std::make_unique<TABSVariant>();
      v->SetData(ParentCursor->GetCurrentRecordBuffer() + info.MemoryOffset, info.MemoryDataSize, info.BaseFieldType);
      FRows.push_back(std::move(v));
      return;
    }
    for (const TToken& t : FItems) {
      auto v = std::make_unique<TABSVariant>();
      if (t.TokenType == tktInt) v->SetAsInteger(std::stoi(t.Text));
      else if (t.TokenType == tktQuotedString) v->SetAsAnsiString(t.Text);
      FRows.push_back(std::move(v));
    }
  }
  int FieldCount() override { return FColumns; }
  int64_t RecordCount() override { return static_cast<int64_t>(FRows.size()); }
  bool First() override {
    FRow = 0;
    return !FRows.empty();
  }
  bool Next() override { return ++FRow < FRows.size(); }
  void GetFieldValue(TABSVariant& Value, int) override { Value.Assign(*FRows[FRow], true); }
  bool Locate(const TABSVariant& Value) override {
    for (auto& r : FRows)
      if (r->Compare(Value, true, false, false) == cmprEqual) return true;
    return false;
  }
  bool IsAnyRecordMatchCondition(TABSDataOperator Op, const TABSVariant& Value) override {
    for (auto& r : FRows) {
      const TABSCompareResult c = r->Compare(Value, false, false, false);
      const bool m = Op == doEQ ? c == cmprEqual : Op == doNE ? c != cmprEqual : Op == doLT ? c == cmprLower
                   : Op == doGT ? c == cmprGreater : Op == doLE ? c != cmprGreater : c != cmprLower;
      if (m) return true;
    }
    return false;
  }
  bool Prepare(TVelqorimAO*) override { return FOuter; }
  TABSAdvancedFieldType GetFirstColumnType() override { return aftInteger; }
  int GetFirstColumnSize() override { return 0; }

 private:
  std::vector<TToken> FItems;
  std::vector<std::unique_ptr<TABSVariant>> FRows;
  size_t FRow = 0;
  bool FOuter = false;
  int FColumns = 1;
};
int TFakeSubquery::Executions = 0;

class VelqorimExprSubqueries : public ::testing::Test {
 protected:
  void SetUp() override {
    VelqorimSubqueryFactory = [](TVelqorimLexer& lex, TDataSet*) { return std::make_unique<TFakeSubquery>(lex); };
    TFakeSubquery::Executions = 0;
  }
  void TearDown() override { VelqorimSubqueryFactory = nullptr; }
};

TEST_F(VelqorimExprSubqueries, QuantifiedInExists) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"5 > ALL (SELECT)", "bool:T"},
      {"5 > ANY (SELECT)", "bool:F"},
      {"5 > ALL (SELECT 1, 2)", "bool:T"},
      {"5 > ANY (SELECT 7, 9)", "bool:F"},
      {"5 = ANY (SELECT 5, 6)", "bool:T"},
      {"5 = SOME (SELECT 5, 6)", "bool:T"},
      {"5 = ALL (SELECT 5, 6)", "bool:F"},
      {"5 < ALL (SELECT 6, 7)", "bool:T"},
      {"'b' IN (SELECT 'B')", "bool:F"},  // the result is searched case-sensitively
      {"'b' IN ('B')", "bool:T"},
      {"2 NOT IN (SELECT 1, 3)", "bool:T"},
      {"EXISTS (SELECT 1)", "bool:T"},
      {"EXISTS ((SELECT))", "bool:F"},
      {"(SELECT 4) = 4", "bool:T"},
      {"(SELECT 4, 5) = 4", "error 20247"},
      {"(SELECT) = 4", "error 20249"},
      {"(SELECT TWO 1) = 1", "error 20246"},
  };
  for (const auto& c : cases) EXPECT_EQ(Eval(c.text, true), c.expected) << c.text;
  // As a value the first row counts.
  EXPECT_EQ(Eval("(SELECT 4, 5) + 1"), "int:5");
  EXPECT_EQ(Eval("EXISTS (SELECT 1", true), "error 30059");
}

TEST_F(VelqorimExprSubqueries, CorrelatedRunsPerRow) {
  TTestCursor t({{"a", {aftInteger, 0}}});
  TParsed plain = ParseText("a IN (SELECT 1, 2)", true, &t);
  TParsed correlated = ParseText("a = (SELECT OUTER)", true, &t);
  plain.expr->AssignCursor(&t, nullptr, nullptr);
  correlated.expr->AssignCursor(&t, nullptr, nullptr);
  TFakeSubquery::Executions = 0;
  for (int a : {1, 1, 3}) {
    t.SetInt("a", a);
    EXPECT_EQ(plain.expr->GetResult(), a == 1);
    EXPECT_TRUE(correlated.expr->GetResult());
  }
  // Once for the uncorrelated query, three times for the correlated one.
  EXPECT_EQ(TFakeSubquery::Executions, 4);
}

TEST(VelqorimExprSubqueriesMissing, RaiseWithoutProcessor) {
  EXPECT_EQ(Eval("1 IN (SELECT 1)", true), "error 30511");
}

}  // namespace
