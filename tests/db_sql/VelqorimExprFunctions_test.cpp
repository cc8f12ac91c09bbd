#include <gtest/gtest.h>

#include <random>

#include "ExprTestUtil.h"
#include "db/sql/VelqorimSQLProcessor.h"

namespace {

struct Case {
  const char* text;
  const char* expected;
};

TEST(VelqorimExprFunctions, Values) {
  const Case cases[] = {
      {"ROUND(2.5)", "int:2"},
      {"ROUND(3.5)", "int:4"},
      {"ROUND(2.675, 2)", "dbl:2.68"},
      {"ROUND(1234, -2)", "dbl:1200"},
      {"CEIL(2.1)", "int:3"},
      {"FLOOR(-2.1)", "int:-3"},
      {"SIGN(-0.5)", "int:-1"},
      {"SIGN(0)", "int:0"},
      {"DAZ(-4)", "int:4"},
      {"DAZ(NULL)", "null"},
      {"SQR(3)", "int:9"},
      {"SQR(NULL)", "null"},
      {"POWER(2, 10)", "dbl:1024"},
      {"SQRT(16)", "dbl:4"},
      {"EXP(0)", "dbl:1"},
      {"LOG(1)", "dbl:0"},
      {"LENGTH(NULL)", "int:0"},
      {"LENGTH('abc')", "int:3"},
      {"LENGTH(12345)", "int:5"},
      {"POS('b', 'abc')", "int:2"},
      {"POSITION('c' IN 'abc')", "int:3"},
      {"POS('x', NULL)", "int:0"},
      {"POS('B', 'abc')", "int:0"},
      {"SUBSTRING('abcdef', 2, 3)", "str:bcd"},
      {"SUBSTRING('abcdef' FROM 3)", "str:cdef"},
      {"SUBSTRING('abc', 5, 2)", "null"},  // the empty text is NULL to the engine
      {"UPPER('abc')", "str:ABC"},
      {"LOWER('ÀB')", "str:àb"},
      {"UPPER('ǅx')", "wstr:ǄX"},  // a wide text stays wide
      {"TRIM(' \t a b \r\n')", "str:a b"},
      {"LTRIM('  a ')", "str:a "},
      {"RTRIM('  a ')", "str:  a"},
      {"UPPER(NULL)", "null"},
      {"TOSTRING(NULL, 'YYYY')", "null"},
      {"TOSTRING(DATE '2021-03-04', 'DD.MM.YYYY')", "str:04.03.2021"},
      {"EXTRACT(YEAR FROM TIMESTAMP '2021-03-04 05:06:07')", "word:2021"},
      {"EXTRACT(MINUTE FROM TIMESTAMP '2021-03-04 05:06:07')", "word:6"},
      {"EXTRACT(DAY FROM NULL)", "error 20281"},
      {"MIMETOBIN('AAEC')", "blob:3"},
      {"ROWNUM", "int:1"},
      {"LASTAUTOINC(t, id)", "error 30512"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.text), c.expected) << c.text;
  // TODATE gives a time or a date when the text carries only one of them.
  EXPECT_EQ(Eval("TODATE('12:30:00', 'HH24:NN:SS') = TIME '12:30:00'", true), "bool:T");
  EXPECT_EQ(Eval("TODATE('2020-01-02', 'YYYY-MM-DD') = DATE '2020-01-02'", true), "bool:T");
  EXPECT_EQ(ParseText("TODATE('12:30', 'HH24:NN')", false).expr->GetValue()->DataType(), bftTime);
}

TEST(VelqorimExprFunctions, EdgesRaiseEngineErrors) {
  const Case cases[] = {
      {"RAND(0)", "error 30507"},
      {"RAND(-3)", "error 30507"},
      {"SUBSTRING('abc', 0, 1)", "error 30507"},
      {"SUBSTRING('abc', 1, -1)", "error 30507"},
      {"LOG(0)", "error 30507"},
      {"LOG(-1)", "error 30507"},
      {"SQRT(-1)", "error 30507"},
      {"ACOS(2)", "error 30507"},
      {"POWER(10, 400)", "error 30508"},
      {"POWER(-8, 0.5)", "error 30507"},
      {"EXP(100000)", "error 30508"},
      {"CEIL(1e300)", "error 30508"},
      {"ROUND(1e300)", "error 30508"},
      {"ROUND(1.5, 2147483647)", "dbl:1.5"},
      {"ROUND(1.5, -2147483647)", "dbl:0"},
      {"ACOS(NULL)", "error 30016"},
      {"ROUND(1, 0, ROUND)", "error 30507"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.text), c.expected) << c.text;
  for (int i = 0; i < 100; ++i) {
    const int r = std::stoi(Eval("RAND(3)").substr(4));
    EXPECT_TRUE(r >= 0 && r < 3);
  }
}

TEST(VelqorimExprFunctions, RoundModes) {
  // mode word, then the results for 2.5, -2.5, 2.1, -2.1, 2.7 at 0 places.
  const struct {
    const char* mode;
    double r[5];
  } table[] = {
      {"HALFEVEN", {2, -2, 2, -2, 3}}, {"HALFPOS", {3, -2, 2, -2, 3}}, {"HALFNEG", {2, -3, 2, -2, 3}},
      {"HALFDOWN", {2, -2, 2, -2, 3}}, {"HALFUP", {3, -3, 2, -2, 3}},  {"RNDNEG", {2, -3, 2, -3, 2}},
      {"RNDPOS", {3, -2, 3, -2, 3}},   {"RNDDOWN", {2, -2, 2, -2, 2}}, {"RNDUP", {3, -3, 3, -3, 3}},
  };
  const char* xs[] = {"2.5", "-2.5", "2.1", "-2.1", "2.7"};
  for (const auto& row : table)
    for (int i = 0; i < 5; ++i) {
      const String text = String("ROUND(") + xs[i] + ", 0, " + row.mode + ")";
      TParsed p = ParseText(text, false);
      EXPECT_EQ(p.expr->GetValue()->GetAsDouble(), row.r[i]) << text;
    }
  // Places and tens.
  EXPECT_EQ(RoundValue(2, 5, 1.005L), 1.01L);  // the stored 1.00499.. counts as the half
  EXPECT_EQ(RoundValue(-1, 7, 11), 20);
  EXPECT_EQ(RoundValue(0, 0, 2.5L), 2.5L);
}

TEST(VelqorimExprFunctions, DeclaredTypes) {
  const struct {
    const char* text;
    TABSAdvancedFieldType type;
    int size;
  } cases[] = {
      {"ROUND(1)", aftInteger, 0},       {"ROUND(1, 1)", aftDouble, 0},   {"POWER(1, 1)", aftDouble, 0},
      {"CEIL(1.5)", aftInteger, 0},      {"LENGTH('a')", aftInteger, 0}, {"'ab' || 'cde'", aftString, 5},
      {"UPPER('abc')", aftString, 3},    {"SUBSTRING('abcd', 2)", aftString, 4},
      {"TOSTRING(SYSDATE, 'YYYY')", aftString, 4},
      {"EXTRACT(YEAR FROM SYSDATE)", aftWord, 0},
      {"TODATE('1', 'HH24')", aftTime, 0}, {"CURRENT_DATE", aftDate, 0}, {"SYSDATE", aftDateTime, 0},
      {"1 + 2.5", aftDouble, 0},          {"CAST(12 AS VARCHAR)", aftString, 11},
      {"CAST(1.5 AS CHAR(4))", aftChar, 4},
  };
  for (const auto& c : cases) {
    TParsed p = ParseText(c.text, false);
    EXPECT_EQ(p.expr->GetDataType(), c.type) << c.text;
    EXPECT_EQ(p.expr->GetDataSize(), c.size) << c.text;
  }
}

// Plain backtracking LIKE over short texts: the reference for the engine's matcher.
bool ReferenceLike(const char* t, const char* p) {
  if (*p == '\0') return *t == '\0';
  if (*p == '%') return ReferenceLike(t, p + 1) || (*t && ReferenceLike(t + 1, p));
  if (*t == '\0') return false;
  return (*p == '_' || *p == *t) && ReferenceLike(t + 1, p + 1);
}

TEST(VelqorimExprFunctions, LikeMatchesReference) {
  std::mt19937 rng(12345);
  const char alphabet[] = "ab%_";
  for (int i = 0; i < 3000; ++i) {
    String text, pattern;
    const int tl = static_cast<int>(rng() % 7), pl = static_cast<int>(rng() % 6);
    for (int k = 0; k < tl; ++k) text += "ab"[rng() % 2];
    for (int k = 0; k < pl; ++k) pattern += alphabet[rng() % 4];
    if (text.empty()) continue;  // the engine's empty text is NULL
    TVelqorimSQLParams params;
    params.AddCreated()->SetAsAnsiString(text);
    params.AddCreated()->SetAsAnsiString(pattern);
    if (pattern.empty()) continue;
    TVelqorimLexer lex("? LIKE ?", false, &params);
    lex.GetNextCommand();
    TVelqorimExpression e;
    e.ParseForBooleanExpression(nullptr, &lex);
    EXPECT_EQ(e.GetResult(), ReferenceLike(text.c_str(), pattern.c_str())) << text << " LIKE " << pattern;
  }
}

}  // namespace
