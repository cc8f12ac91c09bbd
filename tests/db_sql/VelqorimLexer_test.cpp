#include "db/sql/VelqorimLexer.h"

#include <gtest/gtest.h>

#include "db/support/DAZExcept.h"

namespace {

// Kinds and texts of every token of every command, "kind:text" joined by blanks, commands by " ; ".
String Dump(const TVelqorimLexer& lex) {
  static const char* kinds[] = {"none", "s", "q", "b", "i", "f", "rw", "p", "(", ")", ",", "."};
  String out;
  for (const auto& c : lex.Commands) {
    if (!out.empty()) out += " ; ";
    String cmd;
    for (const auto& t : c.Tokens) cmd += (cmd.empty() ? "" : " ") + String(kinds[t.TokenType]) + ":" + t.Text;
    out += cmd;
  }
  return out;
}

int ErrorOf(const String& sql, String* message = nullptr) {
  try {
    TVelqorimLexer lex(sql);
  } catch (const EABSException& e) {
    if (message) *message = e.Message;
    return e.NativeError;
  }
  return 0;
}

TEST(VelqorimLexer, TokenizesScripts) {
  struct Case {
    const char* sql;
    const char* tokens;
  } cases[] = {
      {"SELECT 1;;SELECT 2;", "rw:SELECT i:1 ; rw:SELECT i:2"},
      {"", ""},
      {"  -- only a comment\n /* and a block */ ", ""},
      {"'it''s' [a]]b] \"select\" `select` [from]", "q:it's b:a]b q:select s:select b:from"},
      {"1.5e+3 2E-1 1e5 .5 12 1+2", "f:1.5e+3 f:2E-1 f:1e5 f:.5 i:12 i:1 s:+ i:2"},
      {"t.col t.*", "s:t .:. s:col s:t .:. s:*"},
      {"a<>b<=c>=d||e< >f=>g", "s:a s:<> s:b s:<= s:c s:>= s:d s:|| s:e s:< s:> s:f s:= s:> s:g"},
      {"select Select SELECT", "rw:select rw:Select rw:SELECT"},
      {"a-b a--comment\nc /*x*/d", "s:a s:- s:b s:a s:c s:d"},
      {"'a;b' -- ;\n x /* ; */", "q:a;b s:x"},
      {"f(a,b)", "s:f (:( s:a ,:, s:b ):)"},
  };
  for (const auto& c : cases) {
    TVelqorimLexer lex(c.sql);
    EXPECT_EQ(Dump(lex), c.tokens) << c.sql;
  }
}

TEST(VelqorimLexer, ReservedWordsFollowTheTable) {
  // END-EXEC cannot be written: a "-" after a word starts a token.
  TVelqorimLexer lex("absolute rndup LastAutoinc end-exec `end` x");
  const auto& t = lex.Commands[0].Tokens;
  EXPECT_EQ(t[0].ReservedWord, rwABSOLUTE);
  EXPECT_EQ(t[1].ReservedWord, rwRNDUP);
  EXPECT_EQ(t[2].ReservedWord, rwLAST_AUTOINC);
  EXPECT_EQ(t[3].ReservedWord, rwEND);
  EXPECT_EQ(t[5].ReservedWord, rwEXEC);
  EXPECT_EQ(t[6].ReservedWord, rwNone);
  EXPECT_EQ(t[7].TokenType, tktString);
  EXPECT_EQ(FindReservedWord("ModiFy"), rwMODIFY);
  EXPECT_EQ(FindReservedWord("modifyx"), -1);
  EXPECT_TRUE(IsReservedWord(t[0], rwNone));
  EXPECT_FALSE(IsReservedWord(t[7], rwNone));
}

TEST(VelqorimLexer, Positions) {
  TVelqorimLexer lex("a\r\nb\tc 'x\ny' d");
  const auto& t = lex.Commands[0].Tokens;
  EXPECT_EQ(t[1].LineNum, 2);
  EXPECT_EQ(t[1].ColumnNum, 1);
  EXPECT_EQ(t[2].ColumnNum, 3);  // a TAB is one column
  EXPECT_EQ(t[3].LineNum, 2);
  EXPECT_EQ(t[3].ColumnNum, 5);
  EXPECT_EQ(t[4].LineNum, 3);
  EXPECT_EQ(t[4].ColumnNum, 4);
}

TEST(VelqorimLexer, Errors) {
  struct Case {
    const char* sql;
    int code;
    const char* where;
  } cases[] = {
      {"select (a", 30059, "at line 1, column 8"},
      {"(a;b)", 30059, "at line 1, column 1"},
      {"a)\n b)", 30060, "at line 2, column 3"},
      {"x = \n 'abc", 30061, "at line 2, column 2"},
      {"12ab", 30062, "Invalid numeric symbol 'a' at line 1, column 3"},
      {"a = :p", 30358, "Value for parameter 'p' not found"},
  };
  for (const auto& c : cases) {
    String msg;
    EXPECT_EQ(ErrorOf(c.sql, &msg), c.code) << c.sql;
    EXPECT_NE(msg.find(c.where), String::npos) << msg;
  }
}

TEST(VelqorimLexer, Parameters) {
  TVelqorimSQLParams params;
  params.AddCreated()->SetAsInteger(7);
  params.AddCreated()->SetAsAnsiString("x");
  params.Items(1)->Name = "My P";
  // :MY names no item: the error leaves the constructor.
  EXPECT_THROW(TVelqorimLexer("a = ? AND d = :MY", false, &params), EABSException);
  // A third "?" has no item either.
  EXPECT_THROW(TVelqorimLexer("? ? ?", false, &params), EABSException);
}

TEST(VelqorimLexer, ParameterValuesAreCopied) {
  TVelqorimSQLParams params;
  params.AddCreated()->SetAsInteger(7);
  params.AddCreated()->SetAsAnsiString("x");
  params.Items(1)->Name = "My P";
  TVelqorimLexer lex("a = ? AND b = ? AND c = :\"my p\" ; :[my p]", false, &params);
  params.Items(0)->SetAsInteger(8);
  const auto& t = lex.Commands[0].Tokens;
  ASSERT_EQ(t[2].TokenType, tktParameter);
  EXPECT_EQ(t[2].Text, "Param1");
  EXPECT_EQ(t[2].ParamValue->GetAsInteger(), 7);
  EXPECT_EQ(t[6].Text, "Param2");
  EXPECT_EQ(t[6].ParamValue->GetAsAnsiString(), "x");
  EXPECT_EQ(t[10].Text, "my p");
  EXPECT_EQ(t[10].ParamValue->GetAsAnsiString(), "x");
  EXPECT_EQ(lex.Commands[1].Tokens[0].Text, "my p");

  TVelqorimLexer off(":p ?", true, nullptr);
  EXPECT_EQ(Dump(off), "s::p s:?");
}

TEST(VelqorimLexer, WalksTokens) {
  TVelqorimLexer lex("a b; c");
  TToken t;
  EXPECT_FALSE(lex.GetCurrentToken(t));  // no current command yet
  ASSERT_TRUE(lex.GetNextCommand());
  ASSERT_TRUE(lex.GetCurrentToken(t));
  EXPECT_EQ(t.Text, "a");
  EXPECT_TRUE(lex.GetNextToken(t));
  EXPECT_EQ(t.Text, "b");
  EXPECT_FALSE(lex.GetNextToken(t));
  EXPECT_EQ(lex.GetCurrentTokenNo(), 2);
  EXPECT_FALSE(lex.GetCurrentToken(t));
  EXPECT_EQ(t.TokenType, tktNone);
  EXPECT_TRUE(lex.SetCurrentTokenNo(0, t));
  EXPECT_EQ(t.Text, "a");
  EXPECT_TRUE(lex.GetNextCommand());
  EXPECT_FALSE(lex.GetNextCommand());

  TVelqorimLexer s("a , b (c)");
  s.GetNextCommand();
  EXPECT_TRUE(s.GetNextSpecifiedToken(t, TokenTypeBit(tktLeftParenthesis)));
  EXPECT_EQ(s.GetCurrentTokenNo(), 3);
}

}  // namespace
