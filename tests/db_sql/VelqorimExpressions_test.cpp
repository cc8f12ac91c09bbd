#include "db/sql/VelqorimExpressions.h"

#include <gtest/gtest.h>

#include "ExprTestUtil.h"

namespace {

struct Case {
  const char* text;
  const char* expected;
};

void RunTable(const std::vector<Case>& cases, bool condition, TVelqorimExprCursor* cursor = nullptr,
              bool caseInsensitive = false) {
  for (const Case& c : cases) EXPECT_EQ(Eval(c.text, condition, cursor, caseInsensitive), c.expected) << c.text;
}

TEST(VelqorimExpressions, ArithmeticAndNullRules) {
  RunTable({
               {"1 + 2 * 3", "int:7"},
               {"7 / 2", "int:3"},
               {"7.0 / 2", "dbl:3.5"},
               {"-7 / 2", "int:-3"},
               {"10 - 2 - 3", "int:5"},
               {"2147483646", "int:2147483646"},
               {"2147483647", "i64:2147483647"},
               {"5 + NULL", "null"},
               {"NULL + 5", "null"},
               {"5 * NULL", "null"},
               {"NULL / 5", "null"},
               {"'ab' || NULL", "str:ab"},
               {"NULL || 'ab'", "str:ab"},
               {"'ab' + 'cd'", "str:abcd"},
               {"'a' || 1 + 2", "str:a12"},
               {"1 / 0", "error 30128"},
               {"SQRT(NULL)", "error 30016"},
               {"-(2 + 3)", "int:-5"},
               {"(1 + 2) * 3", "int:9"},
           },
           false);
}

TEST(VelqorimExpressions, ThreeValuedLogic) {
  TTestCursor t({{"n", {aftInteger, 0}}, {"s", {aftString, 10}}});
  t.SetNull("n");
  t.SetText("s", "b");
  RunTable({
               {"(1 = NULL) AND (1 = 2)", "bool:F"},
               {"1 = 1 AND NULL IN (1)", "null"},
               {"1 = 1 OR NULL IN (1)", "bool:T"},
               {"1 = 2 OR NULL IN (1)", "null"},
               {"NOT (NULL IN (1))", "null"},
               {"n = 5", "bool:F"},
               {"n <> 5", "bool:F"},
               {"NOT (n = 5)", "bool:T"},
               {"n = NULL", "bool:T"},    // a column and the NULL literal compare two-valued
               {"n < 'x'", "bool:T"},  // NULL sorts below a text constant
               {"s = 'b'", "bool:T"},
               {"n IS NULL", "bool:T"},
               {"n IS NOT NULL", "bool:F"},
               {"2 IN (1, NULL)", "bool:F"},
               {"NULL IN (1, 2)", "null"},
               {"2 IN (1 2)", "bool:T"},  // items without separators
               {"2 NOT IN (1, 3)", "bool:T"},
               {"2 BETWEEN 1 AND NULL", "null"},
               {"'b' BETWEEN 'A' AND 'C'", "bool:T"},
               {"'b' = 'B'", "bool:F"},
               {"'b' LIKE 'B'", "bool:F"},
               {"'b' IN ('B')", "bool:T"},
               {"'b' BETWEEN 'B' AND 'B'", "bool:T"},
               {"s IS NOT FALSE", "str:b"},
               {"1 = 1 IS UNKNOWN", "bool:F"},
               {"TRUE", "bool:T"},
           },
           true, &t);
  // A filter parsed case-insensitively.
  EXPECT_EQ(Eval("'b' = 'B'", true, nullptr, true), "bool:T");
}

TEST(VelqorimExpressions, NullLiteralRewrites) {
  TTestCursor t({{"s", {aftString, 10}}});
  // The NULL literal is an integer: s = NULL stays a comparison.
  TParsed a = ParseText("s = NULL", true, &t);
  EXPECT_NE(dynamic_cast<TVelqorimExprNodeComparison*>(a.expr->Root()), nullptr);
  // A NULL text parameter becomes an IS NULL test.
  TVelqorimSQLParams params;
  params.AddCreated()->Clear(bftVarchar);
  TVelqorimLexer lex("s = ?", false, &params);
  lex.GetNextCommand();
  TVelqorimExpression e;
  e.LCursor = &t;
  e.ParseForBooleanExpression(nullptr, &lex);
  EXPECT_EQ(e.Root()->Operator, doISNULL);
}

TEST(VelqorimExpressions, LikeAndPrefixComparison) {
  TTestCursor t({{"name", {aftString, 20}}});
  t.SetText("name", "Jones");
  RunTable({
               {"'abc' LIKE 'a_c'", "bool:T"},
               {"'abcd' LIKE 'a_c%'", "bool:T"},
               {"'a' LIKE 'a%%'", "bool:T"},
               {"name LIKE 'Jo%'", "bool:T"},
               {"name NOT LIKE 'Jo%'", "bool:F"},
               {"name LIKE '%es'", "bool:T"},
               {"NULL LIKE '%'", "bool:T"},
               {"'a' LIKE NULL", "null"},
               {"'a%' LIKE 'a\\%' ESCAPE '\\'", "bool:T"},
               {"'ab' LIKE 'a\\%' ESCAPE '\\'", "bool:F"},
               {"'a' LIKE 'a' ESCAPE 'xy'", "error 20294"},
               {"1 LIKE 1", "error 30120"},
           },
           true, &t);
  EXPECT_EQ(Eval("'abc' LIKE 'A_C'", true, nullptr, true), "bool:T");
  TParsed p = ParseText("name LIKE 'Jo%'", true, &t);
  auto* cmp = dynamic_cast<TVelqorimExprNodeComparison*>(p.expr->Root());
  ASSERT_NE(cmp, nullptr);
  EXPECT_TRUE(cmp->FPartialKey);
  EXPECT_NE(dynamic_cast<TVelqorimExprNodeBoolean*>(ParseText("name LIKE '%'", true, &t).expr->Root()), nullptr);
}

TEST(VelqorimExpressions, LikeIsLinear) {
  // A pattern of many "%" over long text must not backtrack exponentially.
  String text(100000, 'a');
  TVelqorimSQLParams params;
  params.AddCreated()->SetAsAnsiString(text);
  TVelqorimLexer lex("? LIKE '%a%a%a%a%a%a%a%a%b'", false, &params);
  lex.GetNextCommand();
  TVelqorimExpression e;
  e.ParseForBooleanExpression(nullptr, &lex);
  EXPECT_FALSE(e.GetResult());
}

TEST(VelqorimExpressions, PartialKeyFilters) {
  TTestCursor t({{"name", {aftString, 20}}});
  t.SetText("name", "Jones");
  TVelqorimExpression e;
  e.ParseForFilter(&t, "name = 'Jo*'", false, true);
  EXPECT_TRUE(e.GetResult());
  TVelqorimExpression off;
  off.ParseForFilter(&t, "name = 'Jo*'", false, false);
  EXPECT_FALSE(off.GetResult());
  TVelqorimExpression blank;
  try {
    blank.ParseForFilter(&t, " -- nothing", false, false);
    FAIL();
  } catch (const EABSException& x) {
    EXPECT_EQ(x.NativeError, 30119);
  }
}

TEST(VelqorimExpressions, CaseCoalesceCast) {
  TTestCursor t({{"n", {aftInteger, 0}}});
  t.SetNull("n");
  RunTable({
               {"CASE WHEN 1 = 2 THEN 'a' WHEN 2 = 2 THEN 'b' ELSE 'c' END", "str:b"},
               {"CASE 3 WHEN 1 THEN 'a' END", "null"},
               {"CASE n WHEN NULL THEN 'null' ELSE 'x' END", "str:null"},
               {"CASE WHEN n IN (1) THEN 1 ELSE 2 END", "int:2"},
               {"COALESCE(NULL, n, 3, 4)", "int:3"},
               {"COALESCE(NULL)", "null"},
               {"CAST('abcdef' AS VARCHAR(3))", "str:abc"},
               {"CAST(12, VARCHAR)", "str:12"},
               {"CAST(NULL AS INTEGER)", "null"},
               {"CAST('12' AS INTEGER) + 1", "int:13"},
               {"CAST(1 AS BLOB)", "error 30077"},
               {"CAST(1 AS INTEGER 5)", "error 30076"},
               {"COALESCE()", "error 20276"},
               {"CASE WHEN 1 = 1 'a' END", "error 30475"},
               {"CASE 1 WHEN 1 THEN 'a'", "error 30472"},
           },
           false, &t);
  // A CASE of an integer and a text branch declares text and converts once sized.
  TParsed p = ParseText("CASE WHEN 1 = 1 THEN 5 ELSE 'abc' END", false);
  EXPECT_EQ(p.expr->GetDataType(), aftString);
  EXPECT_EQ(p.expr->GetDataSize(), 11);
  EXPECT_EQ(Describe(p.expr->GetValue()), "str:5");
  TParsed longText = ParseText("CAST('" + String(5000, 'x') + "' AS VARCHAR)", false);
  EXPECT_EQ(longText.expr->GetValue()->GetAsAnsiString().size(), 4096u);
}

TEST(VelqorimExpressions, ColumnsReadRecordBuffers) {
  TTestCursor t({{"a", {aftInteger, 0}}, {"b", {aftString, 8}}, {"c", {aftDouble, 0}}});
  t.SetInt("a", 41);
  t.SetText("b", "xyz");
  t.SetNull("c");
  RunTable({{"a + 1", "int:42"}, {"b || '!'", "str:xyz!"}, {"c", "null"}, {"UPPER(b)", "str:XYZ"}}, false, &t);
  EXPECT_EQ(Eval("missing + 1", false, &t), "error 30115");
  TParsed p = ParseText("a", false, &t);
  EXPECT_TRUE(p.expr->IsField());
  String table, name;
  p.expr->GetFieldInfo(table, name);
  EXPECT_EQ(name, "a");
  EXPECT_EQ(p.expr->GetDataType(), aftInteger);
  // Another record buffer: rebind the columns to it.
  std::vector<uint8_t> other(static_cast<size_t>(t.GetRecordBufferSize()), 0);
  TABSVariant v;
  v.SetAsInteger(1);
  t.SetFieldValue(v, 0, true, other.data());
  p.expr->AssignCursorBuffer(other.data(), false);
  EXPECT_EQ(Describe(p.expr->GetValue()), "int:1");
}

TEST(VelqorimExpressions, ParseErrorsNamePositions) {
  struct ErrCase {
    const char* text;
    bool condition;
    const char* message;
  } cases[] = {
      {"a = 1 AND", true, "Boolean expression expected, but '' found"},
      {"a = 1 OR , b", true, "Boolean expression expected, but ',' found at line 1, column 10"},
      {"1 = 1 IS MAYBE", true, "Token 'TRUE, FALSE or UNKNOWN' expected, but 'MAYBE' found at line 1, column 10"},
      {"UPPER(\n)", false, "String argument expected for function 'UPPER', but '' found"},
      {"SUBSTRING('a' 1)", false, "Token ',' or 'from' expected, but '1' found at line 1, column 15"},
      {"POWER(1 2)", false, "comma (\",\") expected but not found at line 1, column 9"},
      {"ROUND(1, 2, 'x')", false, "Argument expected for function 'ROUND' at line 1, column 13"},
      {"1 *", false, "expected, but '' found"},
      {"DATE '2020-13-01'", false, "Token 'YYYY-MM-DD' expected, but '2020-13-01' found at line 1, column 6"},
      {"TODATE('1', 5)", false, "Const DateFormat string expected, but '5' found at line 1, column 13"},
      {"SUM(1 2)", false, "Token ')' expected, but '2' found at line 1, column 7"},
      {"COUNT(* 1)", false, "Token ')' expected, but '1' found at line 1, column 9"},
  };
  for (const auto& c : cases) {
    String msg;
    try {
      ParseText(c.text, c.condition);
    } catch (const EABSException& e) {
      msg = e.Message;
    }
    EXPECT_NE(msg.find(c.message), String::npos) << c.text << " -> " << msg;
  }
}

TEST(VelqorimExpressions, TreeShapes) {
  TTestCursor t({{"a", {aftInteger, 0}}, {"b", {aftInteger, 0}}, {"c", {aftInteger, 0}}, {"s", {aftString, 5}}});
  TParsed sub = ParseText("a - b - c", false, &t);
  TVelqorimExprNode* r = sub.expr->Root();
  ASSERT_EQ(r->Operator, doADD);
  ASSERT_EQ(r->ChildCount(), 3u);
  EXPECT_EQ(r->Child(1)->Operator, doSUB);
  EXPECT_EQ(r->Child(2)->Operator, doSUB);
  TParsed div = ParseText("a * b / c", false, &t);
  EXPECT_EQ(div.expr->Root()->Operator, doDIV);
  EXPECT_EQ(div.expr->Root()->Child(0)->Operator, doMUL);
  EXPECT_EQ(ParseText("s + 'x'", false, &t).expr->Root()->Operator, doCONCAT);
  EXPECT_EQ(ParseText("a + 1", false, &t).expr->Root()->Operator, doADD);
  EXPECT_EQ(ParseText("a || b", false, &t).expr->Root()->Operator, doCONCAT);
  TParsed flat = ParseText("a = 1 AND (b = 2 AND c = 3)", true, &t);
  ASSERT_EQ(flat.expr->Root()->Operator, doAND);
  EXPECT_EQ(flat.expr->Root()->ChildCount(), 3u);
  // Deep nesting is refused, never a stack overflow.
  EXPECT_EQ(Eval(String(5000, '(') + "1" + String(5000, ')')), "error 30520");
  EXPECT_EQ(Eval(String(100, '(') + "1" + String(100, ')')), "int:1");
}

TEST(VelqorimExpressions, DefaultValues) {
  TVelqorimExpression e;
  EXPECT_TRUE(e.ParseForDefaultValueExpression("NOW"));
  EXPECT_FALSE(e.ParseForDefaultValueExpression("1; 2"));
  EXPECT_FALSE(e.ParseForDefaultValueExpression("1 2"));
  EXPECT_FALSE(e.ParseForDefaultValueExpression("(1"));
  auto text = [](const char* s) {
    auto v = std::make_unique<TABSVariant>();
    v->SetAsAnsiString(s);
    return v;
  };
  EXPECT_TRUE(IsDefaultValueExpression(*text("NOW")));
  EXPECT_TRUE(IsDefaultValueExpression(*text("'abc'")));
  EXPECT_FALSE(IsDefaultValueExpression(*text("12")));
  EXPECT_FALSE(IsDefaultValueExpression(*text("word")));
  std::vector<String> names;
  SplitNameList(names, " a ; b;;c ");
  EXPECT_EQ(names, (std::vector<String>{"A", "B", "", "C"}));
}

TEST(VelqorimExpressions, Locate) {
  TTestCursor t({{"a", {aftInteger, 0}}, {"b", {aftString, 8}}});
  t.SetInt("a", 3);
  t.SetText("b", "Hello");
  TABSVarData three;
  three.VType = varInteger;
  three.VInteger = 3;
  TABSVarData hel;
  hel.VType = varString;
  hel.VString = "hel";
  TVelqorimExpression e;
  e.ParseForLocate(&t, "a;b", {three, hel}, true, true, true);
  EXPECT_TRUE(e.GetResult());
  e.ParseForLocate(&t, "a;b", {three, hel}, true, false, true);
  EXPECT_FALSE(e.GetResult());
  try {
    e.ParseForLocate(&t, "a;b", {three}, false, false, false);
    FAIL();
  } catch (const EABSException& x) {
    EXPECT_EQ(x.NativeError, 30112);
  }
}

}  // namespace
