#include <gtest/gtest.h>

#include "ExprTestUtil.h"

namespace {

// An operator with named columns of one table alias, and optional inputs.
class TFakeAO : public TVelqorimAO {
 public:
  TFakeAO(String Alias, std::vector<String> Columns, TFakeAO* Left = nullptr, TFakeAO* Right = nullptr,
          bool OuterJoin = false)
      : FAlias(std::move(Alias)), FColumns(std::move(Columns)), FLeft(Left), FRight(Right), FOuter(OuterJoin) {}

  int FieldExists(const String& FieldName, const String& TableName, bool, std::vector<int>* FieldNumbers, bool,
                  bool) override {
    int n = 0;
    for (size_t i = 0; i < FColumns.size(); ++i)
      if (UpperCase(FColumns[i]) == UpperCase(FieldName) && (TableName.empty() || UpperCase(TableName) == UpperCase(FAlias))) {
        n++;
        if (FieldNumbers) FieldNumbers->push_back(static_cast<int>(i));
      }
    // A join sees the columns of its inputs.
    for (TFakeAO* child : {FLeft, FRight})
      if (child) n += child->FieldExists(FieldName, TableName, false, FieldNumbers, false, false);
    return n;
  }
  TVelqorimAOColumnInfo GetColumnInfo(int FieldNo) override {
    return {FColumns[static_cast<size_t>(FieldNo)], aftInteger, 4, 0};
  }
  void GetFieldValue(TABSVariant& Value, int FieldNo, bool, bool) override { Value.SetAsInteger(FieldNo + 100); }
  TVelqorimAO* GetLeftAO() override { return FLeft; }
  TVelqorimAO* GetRightAO() override { return FRight; }
  bool IsOuterJoin() const override { return FOuter; }
  void SetFilter(std::unique_ptr<TVelqorimExpression> FilterExpr) override {
    if (!Filter) Filter = std::move(FilterExpr);
    else Filter->AddAndMoveNodesFromExpression(*FilterExpr);
  }
  // The filter's conjuncts as the number of them (0 without a filter).
  size_t Conjuncts() const {
    if (!Filter || !Filter->Root()) return 0;
    return Filter->Root()->Operator == doAND ? Filter->Root()->ChildCount() : 1;
  }

  std::unique_ptr<TVelqorimExpression> Filter;

 private:
  String FAlias;
  std::vector<String> FColumns;
  TFakeAO* FLeft;
  TFakeAO* FRight;
  bool FOuter;
};

TEST(VelqorimExprOptimizer, PushDownToInputs) {
  TFakeAO a("A", {"x", "f"});
  TFakeAO b("B", {"y", "g"});
  TFakeAO join("", {}, &a, &b);
  TParsed p = ParseText("A.x = 1 AND y > 2 AND x = y AND g AND 1 = 1", true);
  p.expr->ApplyFilterParts(&join, nullptr, nullptr, true, false);
  // A takes its own column test and the constant one; B its test and the Boolean column g.
  EXPECT_EQ(a.Conjuncts(), 2u);
  EXPECT_EQ(b.Conjuncts(), 2u);
  EXPECT_EQ(join.Conjuncts(), 1u);  // x = y needs both inputs
  EXPECT_EQ(p.expr->Root(), nullptr);
  // Bound to the operator, a pushed column reads the operator's value.
  a.Filter->AssignAO(&a, nullptr, nullptr);
  EXPECT_FALSE(a.Filter->GetResult());  // x reads 100

  TFakeAO c("C", {"x"});
  TFakeAO d("D", {"y"});
  TFakeAO outer("", {}, &c, &d, true);
  TParsed q = ParseText("x = 1 AND y = 2", true);
  q.expr->ApplyFilterParts(&outer, nullptr, nullptr, true, false);
  EXPECT_EQ(c.Conjuncts(), 0u);  // nothing moves into the inputs of an outer join
  EXPECT_EQ(outer.Conjuncts(), 2u);
}

TEST(VelqorimExprOptimizer, JoinConditions) {
  TFakeAO a("A", {"x", "k"});
  TFakeAO b("B", {"y", "k"});
  TParsed p = ParseText("x = y AND x = 1 AND A.k = B.k", true);
  std::vector<TVelqorimSelectListItem> l1, l2;
  EXPECT_EQ(p.expr->ExtractJoinConditions(&a, &b, l1, l2), 2);
  ASSERT_EQ(l1.size(), 2u);
  EXPECT_EQ(l1[0].FieldName, "x");
  EXPECT_EQ(l2[1].TableName, "B");
  ASSERT_EQ(p.expr->Root()->ChildCount(), 1u);  // x = 1 stays
  EXPECT_EQ(p.expr->Root()->Child(0)->Operator, doEQ);
  TParsed ambiguous = ParseText("k = y", true);
  try {
    ambiguous.expr->ExtractJoinConditions(&a, &b, l1, l2);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 10404);
  }
}

TEST(VelqorimExprOptimizer, NormalForm) {
  TParsed p = ParseText("a = 1 AND (b = 2 AND (c = 3 AND d = 4))", true);
  ASSERT_EQ(p.expr->Root()->ChildCount(), 4u);
  TParsed q = ParseText("e = 5 OR f = 6", true);
  p.expr->AddAndMoveNodesFromExpression(*q.expr);
  EXPECT_EQ(p.expr->Root()->ChildCount(), 5u);
  EXPECT_EQ(q.expr->Root(), nullptr);
  TVelqorimExpression empty;
  EXPECT_TRUE(empty.IsEmpty());
  TParsed r = ParseText("g = 7", true);
  empty.AddAndMoveNodesFromExpression(*r.expr);
  EXPECT_EQ(empty.Root()->Operator, doEQ);
}

TEST(VelqorimExprOptimizer, AliasesAndGrouping) {
  TParsed p = ParseText("total > 1 AND t.n = 2", true);
  std::vector<TVelqorimSelectListItem> list{{"t", "amount", "TOTAL", false}, {"t", "x", "n", false}};
  p.expr->ReplacePseudonyms(list);
  auto* f = dynamic_cast<TVelqorimExprNodeField*>(p.expr->Root()->Child(0)->Child(0));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->FieldName(), "amount");
  EXPECT_TRUE(p.expr->CanBeUsedInGroupBy("AMOUNT;X"));
  EXPECT_FALSE(p.expr->CanBeUsedInGroupBy("AMOUNT"));
  EXPECT_TRUE(ParseText("SUM(z) + 1", false).expr->CanBeUsedInGroupBy(""));
}

}  // namespace

#include "db/storage/VelqorimBase.h"

namespace {

// Index definitions: each "A,B" names the columns; a leading "-" a descending
// column, a trailing "~" a case-insensitive one.
void AddIndex(TVelqorimIndexDefs& defs, int id, std::vector<String> columns, bool temporary = false, int session = -1) {
  TVelqorimIndexDef* d = defs.AddCreated();
  d->ObjectID = id;
  d->Temporary = temporary;
  d->SessionID = session;
  d->SetColumnCount(static_cast<int>(columns.size()));
  for (size_t i = 0; i < columns.size(); ++i) {
    String name = columns[i];
    TVelqorimIndexColumn& c = d->GetIndexColumn(static_cast<int>(i));
    if (name[0] == '-') {
      c.Descending = true;
      name.erase(0, 1);
    }
    if (name.back() == '~') {
      c.CaseInsensitive = true;
      name.pop_back();
    }
    c.FieldName = name;
  }
}

// The conditions a filter yields: "index:condition:keyfields" per item made from it.
String Conditions(const String& filter, TVelqorimIndexDefs& defs, int session = 0) {
  TTestCursor t({{"a", {aftInteger, 0}}, {"b", {aftInteger, 0}}, {"name", {aftString, 8}}, {"blob", {aftMemo, 0}}});
  TParsed p = ParseText(filter, true, &t);
  TABSScanSearchConditionArray list;
  list.AddExpression(p.expr.get());
  list.CreateIndexScanConditionsFromExpressions(defs, session);
  String out;
  for (int i = 1; i < list.Count(); ++i) {
    if (!out.empty()) out += " ";
    out += std::to_string(list[i].IndexID) + ":" + std::to_string(list[i].Condition) + ":" +
           std::to_string(list[i].KeyFieldCount);
  }
  return out;
}

TEST(VelqorimExprOptimizer, IndexScanConditions) {
  TVelqorimIndexDefs defs;
  AddIndex(defs, 1, {"A", "B"});
  AddIndex(defs, 2, {"-b"});
  AddIndex(defs, 3, {"name~"});
  AddIndex(defs, 4, {"name"});
  AddIndex(defs, 5, {"a"}, true, 7);  // another session's temporary index
  const struct {
    const char* filter;
    const char* conditions;
  } cases[] = {
      {"a = 5 AND b = 7", "1:1:2 2:1:1"},  // both columns of (A, B) keyed by equalities
      {"a > 5 AND b = 7", "1:3:1 2:1:1"},  // extension needs equality on the first column
      {"b = 7", "2:1:1"},
      {"b < 10", "2:3:1"},                  // a descending index turns "<" round
      {"a IS NOT NULL", "1:3:1"},
      {"a IS NULL AND b IS NULL", "1:1:2 2:1:1"},
      {"UPPER(name) = 'SMITH'", "3:1:1"},   // case-insensitive index
      {"UPPER(name) = 'Smith'", ""},
      {"name = 'x'", "4:1:1"},
      {"name = 'abcdefghij'", ""},         // longer than the column
      {"a <> 5", ""},
      {"a = 1 OR b = 2", ""},
      {"NOT (a = 1)", ""},
      {"a = NULL", ""},                     // two-valued with NULL: no index may change it
      {"name < 'x'", ""},                   // two-valued "lower": a NULL name passes it
      {"5 < a", "1:3:1"},  // read as a > 5
  };
  for (const auto& c : cases) EXPECT_EQ(Conditions(c.filter, defs), c.conditions) << c.filter;
  // The temporary index serves its own session.
  TVelqorimIndexDefs temp;
  AddIndex(temp, 5, {"a"}, true, 7);
  EXPECT_EQ(Conditions("a = 1", temp, 7), "5:1:1");
  EXPECT_EQ(Conditions("a = 1", temp, 3), "");
}

TEST(VelqorimExprOptimizer, ChosenConjunctsLeaveAndReturn) {
  TVelqorimIndexDefs defs;
  AddIndex(defs, 1, {"a"});
  TTestCursor t({{"a", {aftInteger, 0}}, {"b", {aftInteger, 0}}});
  TParsed p = ParseText("a = 5 AND b = 7", true, &t);
  TABSScanSearchConditionArray list;
  list.AddExpression(p.expr.get());
  list.CreateIndexScanConditionsFromExpressions(defs, 0);
  ASSERT_EQ(list.Count(), 2);
  // The key buffer holds the constant in column a.
  TVelqorimExprNodeField key(&t, "a", "");
  key.AssignCursorBuffer(list[1].KeyRecordBuffer, false);
  EXPECT_EQ(Describe(key.GetDataValue()), "int:5");
  int start = 1, end = 1;
  list.RemoveUnusedConditionsCreatedFromExpressions(start, end);
  list.ExtractChosenConditionsFromExpressions(start, end);
  EXPECT_EQ(p.expr->Root()->ChildCount(), 1u);  // b = 7 is left to evaluate
  list.ReturnExtractedConditionsToExpressions(start, end);
  EXPECT_EQ(p.expr->Root()->ChildCount(), 2u);
  t.SetInt("a", 5);
  t.SetInt("b", 7);
  EXPECT_TRUE(p.expr->GetResult());
}

}  // namespace
