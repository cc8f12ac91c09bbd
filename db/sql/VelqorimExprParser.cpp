// The expression parser: recursive descent over one command's tokens.
//
// Conditions backtrack between a few alternatives; value expressions are
// parsed in one pass and then classified (numeric, date-time or text), so
// that nested parentheses cost linear time instead of one re-parse per
// alternative and level.
#include <cmath>
#include <cstdlib>

#include "db/sql/VelqorimExprUtil.h"
#include "db/support/DAZUnicode.h"

namespace {

bool IsStringOrDateType(TABSBaseFieldType t) {
  return IsStringBaseFieldType(t) || IsDateTimeBaseFieldType(t);
}

}  // namespace

class TVelqorimExprParser {
 public:
  explicit TVelqorimExprParser(TVelqorimExpression& Expr) : E(Expr) { Cur(); }

  TVelqorimExprNodePtr ParseSearchCondition();
  TVelqorimExprNodePtr ParseValueExpression();
  TVelqorimExprNodePtr ParseSubquery(bool OneField, bool OneRow);

 private:
  // What a primary is, for classifying the expression around it.
  enum class Kind { Value, NumericFunction, StringFunction, Datetime, Other };
  struct Operand {
    TVelqorimExprNodePtr node;
    Kind kind = Kind::Value;
    bool negated = false;
    bool compound = false;  // a product or quotient of several factors
  };

  // Token access ----------------------------------------------------------
  bool Cur() {
    if (E.LLex->GetCurrentToken(E.Token)) return true;
    E.Token.Text.clear();
    return false;
  }
  void Next() {
    E.LLex->GetNextToken(E.Token);
    Cur();
  }
  int Pos() const { return E.LLex->GetCurrentTokenNo(); }
  void Restore(int p) {
    E.LLex->SetCurrentTokenNo(p);
    Cur();
  }
  bool AtEnd() const { return E.Token.TokenType == tktNone; }
  bool IsWord(TReservedWord w) const { return IsReservedWord(E.Token, w); }
  bool IsOp(const char* op) const { return E.Token.TokenType == tktString && E.Token.Text == op; }
  bool Is(TTokenType t) const { return E.Token.TokenType == t; }
  bool NextIs(TTokenType t) const {
    TToken next;
    return E.LLex->LookNextToken(next) && next.TokenType == t;
  }

  // Errors ------------------------------------------------------------------
  [[noreturn]] void Expected(int code, const String& what) {
    throw EABSException(code, "Token '%s' expected, but '%s' found at line %d, column %d",
                        {what, E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
  }
  [[noreturn]] void ArgumentExpected(int code, const String& function) {
    throw EABSException(code, "Argument expected for function '%s' at line %d, column %d",
                        {function, E.Token.LineNum, E.Token.ColumnNum});
  }
  [[noreturn]] void StringArgumentExpected(int code, const String& function) {
    throw EABSException(code, "String argument expected for function '%s', but '%s' found at line %d, column %d",
                        {function, E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
  }
  [[noreturn]] void BooleanExpected(int code) {
    throw EABSException(code, "Boolean expression expected, but '%s' found at line %d, column %d",
                        {E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
  }
  void Expect(TTokenType t, int code, const char* what) {
    if (!Is(t)) Expected(code, what);
    Next();
  }

  // One level of the statement's nesting (a few per parenthesis level).
  struct DepthGuard : TVelqorimNesting {
    explicit DepthGuard(TVelqorimExprParser& p) : TVelqorimNesting(*p.E.LLex, p.E.Token) {}
  };

  // Conditions --------------------------------------------------------------
  TVelqorimExprNodePtr ParseBooleanTerm();
  TVelqorimExprNodePtr ParseBooleanFactor();
  TVelqorimExprNodePtr ParseBooleanTest();
  TVelqorimExprNodePtr ParseBooleanPrimary();
  TVelqorimExprNodePtr ParsePredicate();
  TVelqorimExprNodePtr ParseRowValueConstructor();
  TVelqorimExprNodePtr BuildComparison(TABSDataOperator op, TVelqorimExprNodePtr a, TVelqorimExprNodePtr b);
  TVelqorimExprNodePtr ParseLikeRest(TVelqorimExprNodePtr value, bool negated);
  TVelqorimExprNodePtr ParseInRest(TVelqorimExprNodePtr value, bool negated);
  bool ParseComparisonOperator(TABSDataOperator& op);

  // Values ------------------------------------------------------------------
  bool ParseOperand(Operand& out);
  bool ParseFactor(Operand& out);
  bool ParsePrimary(Operand& out);
  TVelqorimExprNodePtr ParseValueExpressionPrimary();
  TVelqorimExprNodePtr ParseUnsignedLiteral();
  TVelqorimExprNodePtr ParseColumnReference();
  TVelqorimExprNodePtr ParseSetFunction();
  TVelqorimExprNodePtr ParseCast();
  TVelqorimExprNodePtr ParseCaseSpecification();
  TVelqorimExprNodePtr ParseCoalesce();
  TVelqorimExprNodePtr ParseDatetimePrimary();
  TVelqorimExprNodePtr ParseNumericFunction();
  TVelqorimExprNodePtr ParseStringFunction();
  TVelqorimExprNodePtr ParseMimeToBin();
  TVelqorimExprNodePtr ParseNullOrBooleanLiteral();
  TVelqorimExprNodePtr RequireValue(int code, const String& function);

  static TVelqorimExprNodePtr Negated(TVelqorimExprNodePtr n) {
    auto s = std::make_unique<TVelqorimExprNodeArithmetic>(doSUB);
    s->AddChild(std::move(n));
    return s;
  }
  static TVelqorimExprNodePtr SignedNode(Operand& o) {
    return o.negated ? Negated(std::move(o.node)) : std::move(o.node);
  }
  // One n-ary addition of terms[from..], subtracted terms negated.
  static TVelqorimExprNodePtr SumOfTerms(std::vector<Operand>& terms, const std::vector<String>& ops, size_t from) {
    auto n = std::make_unique<TVelqorimExprNodeArithmetic>(doADD);
    for (size_t i = from; i < terms.size(); ++i) {
      TVelqorimExprNodePtr term = SignedNode(terms[i]);
      n->AddChild(i > from && ops[i - 1] == "-" ? Negated(std::move(term)) : std::move(term));
    }
    return n;
  }

  TVelqorimExpression& E;
};

// ---------------------------------------------------------------------------
// Conditions

TVelqorimExprNodePtr TVelqorimExprParser::ParseSearchCondition() {
  DepthGuard guard(*this);
  TVelqorimExprNodePtr left = ParseBooleanTerm();
  if (!left) return nullptr;
  while (IsWord(rwOR)) {
    Next();
    TVelqorimExprNodePtr right = ParseBooleanTerm();
    if (!right) BooleanExpected(30070);
    auto n = std::make_unique<TVelqorimExprNodeBoolean>(doOR);
    n->AddChild(std::move(left));
    n->AddChild(std::move(right));
    left = std::move(n);
  }
  return left;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseBooleanTerm() {
  TVelqorimExprNodePtr first = ParseBooleanFactor();
  if (!first || !IsWord(rwAND)) return first;
  auto n = std::make_unique<TVelqorimExprNodeBoolean>(doAND);
  n->AddChild(std::move(first));
  while (IsWord(rwAND)) {
    Next();
    TVelqorimExprNodePtr f = ParseBooleanFactor();
    if (!f) BooleanExpected(30069);
    n->AddChild(std::move(f));
  }
  return n;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseBooleanFactor() {
  const int start = Pos();
  if (!IsWord(rwNOT)) return ParseBooleanTest();
  Next();
  TVelqorimExprNodePtr test = ParseBooleanTest();
  if (!test) {
    Restore(start);
    return nullptr;
  }
  auto n = std::make_unique<TVelqorimExprNodeBoolean>(doNOT);
  n->AddChild(std::move(test));
  return n;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseBooleanTest() {
  TVelqorimExprNodePtr primary = ParseBooleanPrimary();
  if (!primary || !IsWord(rwIS)) return primary;
  Next();
  bool negated = false;
  if (IsWord(rwNOT)) {
    negated = true;
    Next();
  }
  TABSDataOperator op;
  if (IsWord(rwTRUE)) op = negated ? doNOT : doUNDEFINED;
  else if (IsWord(rwFALSE)) op = negated ? doUNDEFINED : doNOT;
  else if (IsWord(rwUNKNOWN)) op = negated ? doISNOTNULL : doISNULL;
  else Expected(30067, "TRUE, FALSE or UNKNOWN");
  Next();
  if (op == doUNDEFINED) return primary;
  auto n = std::make_unique<TVelqorimExprNodeBoolean>(op);
  n->AddChild(std::move(primary));
  return n;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseBooleanPrimary() {
  DepthGuard guard(*this);
  const int start = Pos();
  if (TVelqorimExprNodePtr p = ParsePredicate()) return p;
  Restore(start);
  if (Is(tktLeftParenthesis)) {
    Next();
    TVelqorimExprNodePtr inner = ParseSearchCondition();
    if (inner && Is(tktRightParenthesis)) {
      Next();
      return inner;
    }
    Restore(start);
  }
  TVelqorimExprNodePtr value = ParseRowValueConstructor();
  if (!value) Restore(start);
  return value;
}

bool TVelqorimExprParser::ParseComparisonOperator(TABSDataOperator& op) {
  if (E.Token.TokenType != tktString) return false;
  const String& t = E.Token.Text;
  if (t == "=") op = doEQ;
  else if (t == "<>") op = doNE;
  else if (t == "<") op = doLT;
  else if (t == ">") op = doGT;
  else if (t == "<=") op = doLE;
  else if (t == ">=") op = doGE;
  else return false;
  Next();
  return true;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseRowValueConstructor() {
  if (TVelqorimExprNodePtr sub = ParseSubquery(true, true)) return sub;
  return ParseValueExpression();  // the NULL literal is one of its primaries
}

TVelqorimExprNodePtr TVelqorimExprParser::ParsePredicate() {
  const int start = Pos();
  if (IsWord(rwEXISTS)) {
    Next();
    int parens = 0;
    while (Is(tktLeftParenthesis)) {
      Next();
      parens++;
    }
    if (!IsWord(rwSELECT)) {
      Restore(start);
      return nullptr;
    }
    auto sub = std::make_unique<TVelqorimExprNodeSubquery>(false, false, E.LDataset, E.LLex);
    Cur();
    for (int i = 0; i < parens; ++i) {
      if (!Is(tktRightParenthesis))
        throw EABSException(30492, "Missing symbol ')' at line %d, column %d", {E.Token.LineNum, E.Token.ColumnNum});
      Next();
    }
    auto n = std::make_unique<TVelqorimExprNodeBoolean>(doEXISTS);
    n->AddChild(std::move(sub));
    return n;
  }

  TVelqorimExprNodePtr value = ParseRowValueConstructor();
  if (!value) {
    Restore(start);
    return nullptr;
  }
  const int afterValue = Pos();
  TABSDataOperator op;
  if (ParseComparisonOperator(op)) {
    TABSQuantifier q = qUNDEFINED;
    if (IsWord(rwALL)) q = qALL;
    else if (IsWord(rwANY) || IsWord(rwSOME)) q = qANY;
    if (q != qUNDEFINED) {
      const int atQuantifier = Pos();
      Next();
      if (TVelqorimExprNodePtr sub = ParseSubquery(true, false))
        return std::make_unique<TVelqorimExprNodeComparison>(op, q, std::move(value), std::move(sub), E.F3ValueLogic,
                                                             E.FCaseInsensitive, false);
      Restore(atQuantifier);
    }
    TVelqorimExprNodePtr right = ParseRowValueConstructor();
    if (!right) {
      Restore(start);
      return nullptr;
    }
    return BuildComparison(op, std::move(value), std::move(right));
  }
  bool negated = false;
  if (IsWord(rwNOT)) {
    negated = true;
    Next();
  }
  if (IsWord(rwLIKE)) {
    Next();
    if (TVelqorimExprNodePtr n = ParseLikeRest(std::move(value), negated)) return n;
    Restore(start);
    return nullptr;
  }
  if (IsWord(rwBETWEEN)) {
    Next();
    TVelqorimExprNodePtr low = ParseRowValueConstructor();
    if (low && IsWord(rwAND)) {
      Next();
      if (TVelqorimExprNodePtr high = ParseRowValueConstructor()) {
        auto n = std::make_unique<TVelqorimExprNodeBoolean>(negated ? doNOTBETWEEN : doBETWEEN);
        n->AddChild(std::move(value));
        n->AddChild(std::move(low));
        n->AddChild(std::move(high));
        return n;
      }
    }
    Restore(start);
    return nullptr;
  }
  if (IsWord(rwIN)) {
    Next();
    return ParseInRest(std::move(value), negated);
  }
  if (!negated && IsWord(rwIS)) {
    Next();
    bool isNot = false;
    if (IsWord(rwNOT)) {
      isNot = true;
      Next();
    }
    if (IsWord(rwNULL)) {
      Next();
      auto n = std::make_unique<TVelqorimExprNodeBoolean>(isNot ? doISNOTNULL : doISNULL);
      n->AddChild(std::move(value));
      return n;
    }
  }
  // A Boolean literal alone is a predicate of its own.
  Restore(afterValue);
  if (auto* c = dynamic_cast<TVelqorimExprNodeConst*>(value.get()); c && c->Value.DataType() == bftLogical)
    return value;
  Restore(start);
  return nullptr;
}

TVelqorimExprNodePtr TVelqorimExprParser::BuildComparison(TABSDataOperator op, TVelqorimExprNodePtr a,
                                                         TVelqorimExprNodePtr b) {
  bool partial = false;
  if (E.FPartialKey) {
    for (TVelqorimExprNodePtr* side : {&a, &b}) {
      auto* c = dynamic_cast<TVelqorimExprNodeConst*>(side->get());
      if (!c || c->Value.IsNull() || !c->Value.IsStringDataType()) continue;
      const WideString t = c->Value.GetAsWideString();
      if (!t.empty() && t.back() == u'*') {
        c->TruncateForPartialCompare();
        partial = true;
      }
    }
  }
  auto* fa = dynamic_cast<TVelqorimExprNodeField*>(a.get());
  auto* fb = dynamic_cast<TVelqorimExprNodeField*>(b.get());
  auto* ca = dynamic_cast<TVelqorimExprNodeConst*>(a.get());
  auto* cb = dynamic_cast<TVelqorimExprNodeConst*>(b.get());
  TVelqorimExprNodeConst* fieldConst = fa && cb ? cb : fb && ca ? ca : nullptr;
  if (fieldConst && (op == doEQ || op == doNE) && fieldConst->Value.IsNull() &&
      IsStringOrDateType(fieldConst->Value.DataType())) {
    auto n = std::make_unique<TVelqorimExprNodeBoolean>(op == doEQ ? doISNULL : doISNOTNULL);
    n->AddChild(fa ? std::move(a) : std::move(b));
    return n;
  }
  bool threeValued = true;
  if (fieldConst && (fieldConst->Value.IsNull() || IsStringOrDateType(fieldConst->Value.DataType())))
    threeValued = false;
  const TABSVariant& va = a->Value;
  const TABSVariant& vb = b->Value;
  const bool constA = ca != nullptr, constB = cb != nullptr;
  // Values at parse time: a constant's own, NULL for anything else.
  const bool nullA = !constA || va.IsNull(), nullB = !constB || vb.IsNull();
  if ((constA && !va.IsNull() && va.IsStringDataType() && nullB) ||
      (constB && !vb.IsNull() && vb.IsStringDataType() && nullA))
    threeValued = false;
  return std::make_unique<TVelqorimExprNodeComparison>(op, std::move(a), std::move(b), threeValued,
                                                       E.FCaseInsensitive, partial);
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseLikeRest(TVelqorimExprNodePtr value, bool negated) {
  TVelqorimExprNodePtr pattern = ParseRowValueConstructor();
  if (!pattern) return nullptr;
  String escape;
  bool hasEscape = false;
  if (IsWord(rwESCAPE)) {
    Next();
    hasEscape = true;
    escape = Is(tktParameter) && E.Token.ParamValue ? AnsiToUTF8(E.Token.ParamValue->GetAsAnsiString())
                                                    : E.Token.Text;
    if (AtEnd() || UTF8ToUTF16(escape).size() != 1)
      throw EABSException(20294, "Invalid escape character length (should be a single character) at line %d, column %d",
                          {E.Token.LineNum, E.Token.ColumnNum});
    Next();
  }
  auto* c = dynamic_cast<TVelqorimExprNodeConst*>(pattern.get());
  if (!hasEscape && c && c->IsLikePatternEqualToPartialComparePattern()) {
    c->TruncateForPartialCompare();
    return std::make_unique<TVelqorimExprNodeComparison>(negated ? doNE : doEQ, std::move(value), std::move(pattern),
                                                         false, E.FCaseInsensitive, true);
  }
  auto n = std::make_unique<TVelqorimExprNodeBoolean>(negated ? doNOTLIKE : doLIKE, E.FCaseInsensitive, false, escape);
  n->AddChild(std::move(value));
  n->AddChild(std::move(pattern));
  return n;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseInRest(TVelqorimExprNodePtr value, bool negated) {
  auto n = std::make_unique<TVelqorimExprNodeBoolean>(negated ? doNOTIN : doIN);
  n->AddChild(std::move(value));
  if (!Is(tktLeftParenthesis)) Expected(ErrSyntax, "(");
  TToken next;
  if (E.LLex->LookNextToken(next) && IsReservedWord(next, rwSELECT)) {
    n->AddChild(ParseSubquery(true, false));
    return n;
  }
  Next();
  while (!Is(tktRightParenthesis)) {
    TVelqorimExprNodePtr item = ParseValueExpression();
    if (!item) Expected(ErrSyntax, "value");
    n->AddChild(std::move(item));
    if (Is(tktComma)) Next();
  }
  if (n->ChildCount() < 2) Expected(ErrSyntax, "value");
  Next();
  return n;
}

// A query, bare or in one pair of parentheses: further parentheses group a
// value around it (as in "((SELECT a) + 1) = 2") and are the primaries' to read.
TVelqorimExprNodePtr TVelqorimExprParser::ParseSubquery(bool OneField, bool OneRow) {
  const int start = Pos();
  const bool bracketed = Is(tktLeftParenthesis);
  if (bracketed) Next();
  if (!IsWord(rwSELECT)) {
    Restore(start);
    return nullptr;
  }
  auto sub = std::make_unique<TVelqorimExprNodeSubquery>(OneField, OneRow, E.LDataset, E.LLex);
  Cur();
  if (bracketed) Expect(tktRightParenthesis, ErrSyntax, ")");
  return sub;
}

// ---------------------------------------------------------------------------
// Value expressions

TVelqorimExprNodePtr TVelqorimExprParser::ParseValueExpression() {
  DepthGuard guard(*this);
  const int start = Pos();
  std::vector<Operand> terms;
  std::vector<String> ops;
  Operand first;
  if (!ParseOperand(first)) {
    Restore(start);
    return nullptr;
  }
  terms.push_back(std::move(first));
  while (IsOp("+") || IsOp("-") || IsOp("||")) {
    ops.push_back(E.Token.Text);
    Next();
    Operand next;
    if (!ParseOperand(next)) Expected(ErrSyntax, "expression");
    terms.push_back(std::move(next));
  }
  if (terms.size() == 1) return SignedNode(terms[0]);

  const bool concat = std::find(ops.begin(), ops.end(), "||") != ops.end();
  auto nonNumeric = [](const Operand& o) {
    if (o.compound || o.kind == Kind::NumericFunction) return false;
    if (o.kind != Kind::Value) return true;
    auto* c = dynamic_cast<TVelqorimExprNodeConst*>(o.node.get());
    return c && !c->Value.IsNumericDataType();
  };
  bool numeric = !concat;
  for (const Operand& o : terms) numeric = numeric && !nonNumeric(o);
  if (numeric) return SumOfTerms(terms, ops, 0);
  if (!concat && terms[0].kind == Kind::Datetime) {
    // date-time +/- value: the rest is one value expression.
    auto n = std::make_unique<TVelqorimExprNodeArithmetic>(doADD);
    n->AddChild(SignedNode(terms[0]));
    TVelqorimExprNodePtr rest = terms.size() == 2 ? SignedNode(terms[1]) : SumOfTerms(terms, ops, 1);
    auto sign = std::make_unique<TVelqorimExprNodeArithmetic>(ops[0] == "-" ? doSUB : doADD);
    sign->AddChild(std::move(rest));
    n->AddChild(std::move(sign));
    return n;
  }
  // Text: every operand joins the concatenation; a subtracted date-time
  // operand makes the text - date-time form.
  if (!concat && terms.size() == 2 && ops[0] == "-" && terms[1].kind == Kind::Datetime) {
    auto n = std::make_unique<TVelqorimExprNodeArithmetic>(doADD);
    n->AddChild(SignedNode(terms[0]));
    n->AddChild(Negated(SignedNode(terms[1])));
    return n;
  }
  auto n = std::make_unique<TVelqorimExprNodeStringFunction>(doCONCAT);
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i > 0 && ops[i - 1] == "-") Expected(ErrSyntax, "||");
    n->AddChild(SignedNode(terms[i]));
  }
  return n;
}

// A term: factors joined by "*" and "/".
bool TVelqorimExprParser::ParseOperand(Operand& out) {
  if (!ParseFactor(out)) return false;
  while (IsOp("*") || IsOp("/")) {
    const TABSDataOperator op = IsOp("*") ? doMUL : doDIV;
    Next();
    Operand right;
    if (!ParseFactor(right)) Expected(ErrSyntax, "expression");
    auto n = std::make_unique<TVelqorimExprNodeArithmetic>(op);
    n->AddChild(SignedNode(out));
    n->AddChild(SignedNode(right));
    out.node = std::move(n);
    out.negated = false;
    out.compound = true;
    out.kind = Kind::Value;
  }
  return true;
}

bool TVelqorimExprParser::ParseFactor(Operand& out) {
  const int start = Pos();
  bool negated = false;
  if (IsOp("+") || IsOp("-")) {
    negated = IsOp("-");
    Next();
  }
  if (!ParsePrimary(out)) {
    Restore(start);
    return false;
  }
  out.negated = negated;
  return true;
}

bool TVelqorimExprParser::ParsePrimary(Operand& out) {
  DepthGuard guard(*this);
  static const struct {
    TVelqorimExprNodePtr (TVelqorimExprParser::*parse)();
    Kind kind;
  } primaries[] = {{&TVelqorimExprParser::ParseNullOrBooleanLiteral, Kind::Other},
                   {&TVelqorimExprParser::ParseDatetimePrimary, Kind::Datetime},
                   {&TVelqorimExprParser::ParseValueExpressionPrimary, Kind::Value},
                   {&TVelqorimExprParser::ParseNumericFunction, Kind::NumericFunction},
                   {&TVelqorimExprParser::ParseStringFunction, Kind::StringFunction},
                   {&TVelqorimExprParser::ParseMimeToBin, Kind::Other}};
  for (const auto& p : primaries) {
    if (TVelqorimExprNodePtr n = (this->*p.parse)()) {
      out.node = std::move(n);
      // The NULL literal counts as a value: it joins numbers and texts alike.
      out.kind = p.kind == Kind::Other && out.node->Value.DataType() == bftSignedInt32 ? Kind::Value : p.kind;
      return true;
    }
  }
  return false;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseNullOrBooleanLiteral() {
  const bool logicalParam = Is(tktParameter) && E.Token.ParamValue && E.Token.ParamValue->DataType() == bftLogical;
  if (!IsWord(rwNULL) && !IsWord(rwTRUE) && !IsWord(rwFALSE) && !logicalParam) return nullptr;
  auto c = std::make_unique<TVelqorimExprNodeConst>();
  if (logicalParam) c->Value.Assign(*E.Token.ParamValue, true);
  else if (IsWord(rwNULL)) c->Value.Clear(bftSignedInt32);
  else c->Value.SetAsBoolean(IsWord(rwTRUE));
  Next();
  return c;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseValueExpressionPrimary() {
  if (TVelqorimExprNodePtr n = ParseUnsignedLiteral()) return n;
  if (TVelqorimExprNodePtr n = ParseColumnReference()) return n;
  if (TVelqorimExprNodePtr n = ParseSetFunction()) return n;
  if (TVelqorimExprNodePtr n = ParseSubquery(true, false)) return n;
  if (TVelqorimExprNodePtr n = ParseCaseSpecification()) return n;
  if (TVelqorimExprNodePtr n = ParseCoalesce()) return n;
  if (Is(tktLeftParenthesis)) {
    const int start = Pos();
    Next();
    TVelqorimExprNodePtr inner = ParseValueExpression();
    if (inner && Is(tktRightParenthesis)) {
      Next();
      return inner;
    }
    Restore(start);
    return nullptr;
  }
  return ParseCast();
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseUnsignedLiteral() {
  auto c = std::make_unique<TVelqorimExprNodeConst>();
  if (Is(tktInt)) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(E.Token.Text.c_str(), &end, 10);
    if (errno == ERANGE || *end != '\0') {
      // Beyond 64 bits an integer literal is a floating value.
      c->Value.SetAsDouble(std::strtod(E.Token.Text.c_str(), nullptr));
    } else if (v > -2147483647LL && v < 2147483647LL) {
      c->Value.SetAsInteger(static_cast<int32_t>(v));
    } else {
      c->Value.SetAsInt64(v);
    }
  } else if (Is(tktFloat)) {
    char* end = nullptr;
    const long double v = std::strtold(E.Token.Text.c_str(), &end);
    if (*end != '\0') Expected(ErrSyntax, "number");
    // More digits than a double keeps, or a magnitude beyond its range, makes
    // an extended value (as an exported EXTENDED column writes them).
    const String& t = E.Token.Text;
    const size_t mantissaEnd = std::min(t.find_first_of("eE"), t.size());
    const size_t firstDigit = t.find_first_not_of("0.");
    int digits = 0;
    for (size_t i = firstDigit; i < mantissaEnd; ++i) digits += t[i] >= '0' && t[i] <= '9';
    const double d = static_cast<double>(v);
    if (digits > 17 || !std::isfinite(d) || (d == 0 && v != 0)) c->Value.SetAsExtended(v);
    else c->Value.SetAsDouble(std::strtod(t.c_str(), nullptr));
  } else if (Is(tktParameter) && E.Token.ParamValue &&
             (E.Token.ParamValue->IsNumericDataType() || E.Token.ParamValue->IsStringDataType() ||
              E.Token.ParamValue->IsBlobDataType() ||
              (E.Token.ParamValue->IsNull() && E.Token.ParamValue->DataType() == bftUnknown))) {
    c->Value.Assign(*E.Token.ParamValue, true);
  } else if (Is(tktQuotedString)) {
    c->Value.SetAsWideString(UTF8ToUTF16(E.Token.Text));
    if (E.Token.Text.empty()) c->Value.Clear(bftWideVarchar);
    c->Value.TryToReduceWideStringToAnsiString();
  } else if (IsWord(rwDATE) || IsWord(rwTIME) || IsWord(rwTIMESTAMP)) {
    const TReservedWord w = E.Token.ReservedWord;
    Next();
    const int missing = w == rwDATE ? 20283 : w == rwTIME ? 20285 : 20287;
    const int bad = w == rwDATE ? 20284 : w == rwTIME ? 20286 : 20288;
    if (!Is(tktQuotedString)) {
      throw EABSException(missing,
                          w == rwDATE ? "Date string expected \"YYYY-MM-DD\", but found \"%s\" at line %d, column %d"
                                      : "Time string expected \"HH:MM:SS\", but found \"%s\" at line %d, column %d",
                          {E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
    }
    TDateTime v = 0;
    bool ok;
    try {
      ok = w == rwDATE ? TryStrToSQLDate(E.Token.Text, v)
                       : w == rwTIME ? TryStrToSQLTime(E.Token.Text, v) : TryStrToSQLDateTime(E.Token.Text, v);
    } catch (const EConvertError&) {
      ok = false;
    }
    if (!ok) Expected(bad, w == rwTIME ? "HH:MM:SS" : "YYYY-MM-DD");
    if (w == rwDATE) c->Value.SetAsTDate(v);
    else if (w == rwTIME) c->Value.SetAsTTime(v);
    else c->Value.SetAsTDateTime(v);
  } else {
    return nullptr;
  }
  Next();
  return c;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseColumnReference() {
  if (!Is(tktString) && !Is(tktBracketedString)) return nullptr;
  if (Is(tktString) && !E.Token.Text.empty() &&
      (E.Token.Text == "*" || E.Token.Text == "+" || E.Token.Text == "-" || E.Token.Text == "/" ||
       E.Token.Text == "=" || E.Token.Text == "<" || E.Token.Text == ">" || E.Token.Text == "<>" ||
       E.Token.Text == "<=" || E.Token.Text == ">=" || E.Token.Text == "||"))
    return nullptr;  // operators are words to the lexer, never names
  if (NextIs(tktLeftParenthesis)) return nullptr;
  const int start = Pos();
  String table, name = E.Token.Text;
  Next();
  if (Is(tktDot)) {
    Next();
    if (AtEnd()) {
      Restore(start);
      return nullptr;
    }
    table = name;
    name = E.Token.Text;
    Next();
  }
  return std::make_unique<TVelqorimExprNodeField>(E.LCursor, name, table);
}

TVelqorimExprNodePtr TVelqorimExprParser::RequireValue(int code, const String& function) {
  TVelqorimExprNodePtr v = ParseValueExpression();
  if (!v) ArgumentExpected(code, function);
  return v;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseSetFunction() {
  TABSDataOperator op;
  if (IsWord(rwCOUNT)) op = doCOUNT;
  else if (IsWord(rwAVG)) op = doAVG;
  else if (IsWord(rwMAX)) op = doMAX;
  else if (IsWord(rwMIN)) op = doMIN;
  else if (IsWord(rwSUM)) op = doSUM;
  else return nullptr;
  Next();
  if (op == doCOUNT && Is(tktLeftParenthesis)) {
    TToken next;
    if (E.LLex->LookNextToken(next) && next.TokenType == tktString && next.Text == "*") {
      Next();
      Next();
      Expect(tktRightParenthesis, 30073, ")");
      return std::make_unique<TVelqorimExprNodeAggregated>(doCOUNTALL);
    }
  }
  // DISTINCT may stand before "(" or, as in standard SQL, inside it.
  bool distinct = false;
  if (IsWord(rwDISTINCT)) {
    distinct = true;
    Next();
  }
  Expect(tktLeftParenthesis, 30074, "(");
  if (IsWord(rwDISTINCT)) {
    distinct = true;
    Next();
  }
  TVelqorimExprNodePtr arg = RequireValue(30102, OperatorName(op));
  Expect(tktRightParenthesis, 30075, ")");
  return std::make_unique<TVelqorimExprNodeAggregated>(op, distinct, std::move(arg));
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseCast() {
  if (!IsWord(rwCAST)) return nullptr;
  Next();
  Expect(tktLeftParenthesis, ErrSyntax, "(");
  TVelqorimExprNodePtr operand;
  if (IsWord(rwNULL)) {
    auto c = std::make_unique<TVelqorimExprNodeConst>();
    c->Value.Clear(bftSignedInt32);
    operand = std::move(c);
    Next();
  } else {
    operand = RequireValue(ErrSyntax, "CAST");
  }
  if (!IsWord(rwAS) && !Is(tktComma)) Expected(ErrSyntax, "AS");
  Next();
  if (AtEnd()) Expected(ErrSyntax, "type");
  const TABSAdvancedFieldType type = SQLTypeNameToAdvancedFieldType(E.Token.Text);
  if (type == aftUnknown || type == aftBytes || type == aftVarBytes || type == aftBlob || type == aftGraphic ||
      type == aftGuid)
    throw EABSException(30077, "Cannot convert an expression to specified type: '%s'",
                        {AdvancedFieldTypeToSQLName(type)});
  Next();
  TVelqorimExprNodePtr size;
  if (Is(tktLeftParenthesis)) {
    Next();
    size = RequireValue(ErrSyntax, "CAST");
    Expect(tktRightParenthesis, 30465, ")");
    Expect(tktRightParenthesis, 30465, ")");
  } else {
    Expect(tktRightParenthesis, 30076, ")");
  }
  return std::make_unique<TVelqorimExprNodeCast>(std::move(operand), type, std::move(size));
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseCoalesce() {
  if (!IsWord(rwCOALESCE)) return nullptr;
  Next();
  Expect(tktLeftParenthesis, 20275, "(");
  if (Is(tktRightParenthesis))
    throw EABSException(20276, "COALESCE arguments are missing at line %d, column %d",
                        {E.Token.LineNum, E.Token.ColumnNum});
  TVelqorimExprNodeArray nodes;
  for (;;) {
    TVelqorimExprNodePtr v = ParseValueExpression();
    if (!v) Expected(ErrSyntax, "expression");
    nodes.push_back(std::move(v));
    if (!Is(tktComma)) break;
    Next();
  }
  Expect(tktRightParenthesis, ErrSyntax, ")");
  return TVelqorimExprNodeCase::CreateCoalesce(std::move(nodes));
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseCaseSpecification() {
  if (!IsWord(rwCASE)) return nullptr;
  Next();
  std::unique_ptr<TVelqorimExprNodeCase> node;
  const bool searched = IsWord(rwWHEN);
  auto caseError = [&](int code, const char* what) {
    throw EABSException(code, String(what) + " for CASE function expected, but '%s' found at line %d, column %d",
                        {E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
  };
  if (searched) {
    node = TVelqorimExprNodeCase::CreateSearchedCase();
  } else {
    TVelqorimExprNodePtr input = ParseValueExpression();
    if (!input) caseError(30467, "Input expression");
    node = TVelqorimExprNodeCase::CreateSimpleCase(std::move(input));
  }
  if (!IsWord(rwWHEN)) Expected(searched ? 30473 : 30468, "WHEN");
  while (IsWord(rwWHEN)) {
    Next();
    TVelqorimExprNodePtr when = searched ? ParseSearchCondition() : ParseValueExpression();
    if (!when) searched ? caseError(30474, "Search Condition") : caseError(30469, "When Expression");
    node->AddWhenExpression(std::move(when));
    if (!IsWord(rwTHEN)) Expected(searched ? 30475 : 30470, "THEN");
    Next();
    TVelqorimExprNodePtr result = ParseValueExpression();
    if (!result) caseError(searched ? 30476 : 30469, "When Expression");
    node->AddResultExpression(std::move(result));
  }
  if (IsWord(rwELSE)) {
    Next();
    TVelqorimExprNodePtr e = ParseValueExpression();
    if (!e) caseError(searched ? 30477 : 30471, "'Else Result Expression'");
    node->SetElseResultExpression(std::move(e));
  }
  if (!IsWord(rwEND)) Expected(searched ? 30478 : 30472, "END");
  Next();
  return node;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseDatetimePrimary() {
  TABSDataOperator op = doUNDEFINED;
  if (IsWord(rwSYSDATE) || IsWord(rwNOW) || IsWord(rwCURRENT_TIMESTAMP)) op = doSYSDATE;
  else if (IsWord(rwCURRENT_TIME)) op = doCURRENT_TIME;
  else if (IsWord(rwCURRENT_DATE)) op = doCURRENT_DATE;
  if (op != doUNDEFINED) {
    Next();
    return std::make_unique<TVelqorimExprNodeDateFunction>(op);
  }
  if (Is(tktParameter) && E.Token.ParamValue && E.Token.ParamValue->IsDateTimeDataType()) {
    auto c = std::make_unique<TVelqorimExprNodeConst>();
    c->Value.Assign(*E.Token.ParamValue, true);
    Next();
    return c;
  }
  if (!IsWord(rwTODATE)) return nullptr;
  Next();
  Expect(tktLeftParenthesis, 30105, "(");
  TVelqorimExprNodePtr arg = RequireValue(30107, "ToDate");
  Expect(tktComma, 30108, ",");
  if (!Is(tktQuotedString))
    throw EABSException(30109, "Const DateFormat string expected, but '%s' found at line %d, column %d",
                        {E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
  const String format = E.Token.Text;
  Next();
  Expect(tktRightParenthesis, 30106, ")");
  return std::make_unique<TVelqorimExprNodeDateFunction>(doTODATE, std::move(arg), format);
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseNumericFunction() {
  if (IsWord(rwPOS) || IsWord(rwPOSITION)) {
    Next();
    Expect(tktLeftParenthesis, 30078, "(");
    TVelqorimExprNodePtr a = RequireValue(30079, "POS");
    if (!Is(tktComma) && !IsWord(rwIN)) Expected(30080, ",' or 'IN");
    Next();
    TVelqorimExprNodePtr b = RequireValue(30081, "POS");
    Expect(tktRightParenthesis, 30082, ")");
    auto n = std::make_unique<TVelqorimExprNodeStringFunction>(doPOS);
    n->AddChild(std::move(a));
    n->AddChild(std::move(b));
    return n;
  }
  if (IsWord(rwLENGTH)) {
    Next();
    Expect(tktLeftParenthesis, 30083, "(");
    TVelqorimExprNodePtr a = RequireValue(30085, "LENGTH");
    Expect(tktRightParenthesis, 30084, ")");
    auto n = std::make_unique<TVelqorimExprNodeStringFunction>(doLENGTH);
    n->AddChild(std::move(a));
    return n;
  }
  if (IsWord(rwEXTRACT)) {
    Next();
    Expect(tktLeftParenthesis, 20277, "(");
    const char* fields = "YEAR or MONTH or DAY or HOUR or MINUTE or SECOND";
    if (!Is(tktReservedWord)) Expected(20278, fields);
    TABSDateTimeExtractField f;
    switch (E.Token.ReservedWord) {
      case rwYEAR: f = dtefYear; break;
      case rwMONTH: f = dtefMonth; break;
      case rwDAY: f = dtefDay; break;
      case rwHOUR: f = dtefHour; break;
      case rwMINUTE: f = dtefMinute; break;
      case rwSECOND: f = dtefSecond; break;
      default: Expected(20279, fields);
    }
    Next();
    if (!IsWord(rwFROM)) Expected(20280, "FROM");
    Next();
    TVelqorimExprNodePtr source = ParseValueExpressionPrimary();
    if (!source) source = ParseDatetimePrimary();
    if (!source) ArgumentExpected(20281, "EXTRACT (... FROM ...)");
    Expect(tktRightParenthesis, 20282, ")");
    return std::make_unique<TVelqorimExprNodeDateFunction>(doEXTRACT, f, std::move(source));
  }
  if (IsWord(rwLAST_AUTOINC)) {
    Next();
    Expect(tktLeftParenthesis, 30086, "(");
    if (AtEnd()) Expected(30334, "table");
    const String table = E.Token.Text;
    Next();
    bool inMemory = E.FInMemory;
    if (IsWord(rwMEMORY)) {
      inMemory = true;
      Next();
    }
    Expect(tktComma, 30334, ",");
    if (AtEnd()) Expected(30089, "column");
    const String column = E.Token.Text;
    Next();
    Expect(tktRightParenthesis, 30089, ")");
    return std::make_unique<TVelqorimExprNodeSystem>(doLASTAUTOINC, E.FSessionName, E.FDatabaseName, table, column,
                                                     inMemory);
  }
  if (IsWord(rwROWNUM)) {
    Next();
    return std::make_unique<TVelqorimExprNodeSystem>(doROWNUM, String(), String(), String(), String(), false);
  }
  static const struct {
    TReservedWord word;
    TABSDataOperator op;
  } math[] = {{rwDAZ, doDAZ},   {rwACOS, doACOS}, {rwASIN, doASIN}, {rwATAN, doATAN}, {rwCEIL, doCEIL},
              {rwCOS, doCOS},   {rwEXP, doEXP},   {rwFLOOR, doFLOOR}, {rwLOG, doLOG}, {rwPOWER, doPOWER},
              {rwRAND, doRAND}, {rwROUND, doROUND}, {rwSIGN, doSIGN}, {rwSIN, doSIN}, {rwSQR, doSQR},
              {rwSQRT, doSQRT}};
  for (const auto& m : math) {
    if (!IsWord(m.word)) continue;
    const String name = ABSReservedWords[m.word];
    Next();
    auto n = std::make_unique<TVelqorimExprNodeArithmetic>(m.op);
    if (m.op == doPOWER) {
      Expect(tktLeftParenthesis, 20264, "(");
      n->AddChild(RequireValue(20265, name));
      if (!Is(tktComma))
        throw EABSException(20267, "comma (\",\") expected but not found at line %d, column %d",
                            {E.Token.LineNum, E.Token.ColumnNum});
      Next();
      n->AddChild(RequireValue(20268, name));
      Expect(tktRightParenthesis, 20266, ")");
    } else if (m.op == doROUND) {
      Expect(tktLeftParenthesis, 30502, "(");
      n->AddChild(RequireValue(30503, name));
      if (Is(tktComma)) {
        Next();
        n->AddChild(RequireValue(30504, name));
        if (Is(tktComma)) {
          Next();
          if (!Is(tktReservedWord)) ArgumentExpected(30505, name);
          auto mode = std::make_unique<TVelqorimExprNodeConst>();
          mode->Value.SetAsInteger(E.Token.ReservedWord);
          n->AddChild(std::move(mode));
          Next();
        }
      }
      Expect(tktRightParenthesis, 30506, ")");
    } else {
      Expect(tktLeftParenthesis, 20261, "(");
      n->AddChild(RequireValue(20262, name));
      Expect(tktRightParenthesis, 20263, ")");
    }
    return n;
  }
  return nullptr;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseStringFunction() {
  TABSDataOperator op = doUNDEFINED;
  if (IsWord(rwUPPER)) op = doUPPER;
  else if (IsWord(rwLOWER)) op = doLOWER;
  else if (IsWord(rwTRIM)) op = doTRIM;
  else if (IsWord(rwLTRIM)) op = doLTRIM;
  else if (IsWord(rwRTRIM)) op = doRTRIM;
  if (op != doUNDEFINED) {
    Next();
    Expect(tktLeftParenthesis, 30090, "(");
    TVelqorimExprNodePtr arg = ParseValueExpression();
    Expect(tktRightParenthesis, 30091, ")");
    if (!arg) StringArgumentExpected(30092, OperatorName(op));
    auto n = std::make_unique<TVelqorimExprNodeStringFunction>(op);
    n->AddChild(std::move(arg));
    return n;
  }
  if (IsWord(rwSUBSTRING)) {
    Next();
    Expect(tktLeftParenthesis, 30098, "(");
    auto n = std::make_unique<TVelqorimExprNodeStringFunction>(doSUBSTRING);
    n->AddChild(RequireValue(30099, "SUBSTRING"));
    if (!Is(tktComma) && !IsWord(rwFROM)) Expected(30100, ",' or 'from");
    Next();
    n->AddChild(RequireValue(30101, "SUBSTRING"));
    if (Is(tktComma) || IsWord(rwFOR)) {
      Next();
      n->AddChild(RequireValue(30101, "SUBSTRING"));
    } else if (!Is(tktRightParenthesis)) {
      Expected(30103, ")' or ',' or 'FOR");
    }
    Expect(tktRightParenthesis, 30104, ")");
    return n;
  }
  if (IsWord(rwTOSTRING)) {
    Next();
    Expect(tktLeftParenthesis, 30093, "(");
    TVelqorimExprNodePtr arg = RequireValue(30094, OperatorName(doTOSTRING));
    if (!Is(tktComma) && !IsWord(rwFROM)) Expected(30095, ",");
    Next();
    if (!Is(tktQuotedString))
      throw EABSException(30096, "Const DateFormat string expected, but '%s' found at line %d, column %d",
                          {E.Token.Text, E.Token.LineNum, E.Token.ColumnNum});
    const String format = E.Token.Text;
    Next();
    Expect(tktRightParenthesis, 30097, ")");
    return std::make_unique<TVelqorimExprNodeDateFunction>(doTOSTRING, std::move(arg), format);
  }
  return nullptr;
}

TVelqorimExprNodePtr TVelqorimExprParser::ParseMimeToBin() {
  if (!IsWord(rwMIMETOBIN)) return nullptr;
  Next();
  Expect(tktLeftParenthesis, 30479, "(");
  if (!Is(tktQuotedString)) StringArgumentExpected(30480, "MimeToBin()");
  auto c = std::make_unique<TVelqorimExprNodeConst>();
  c->Value.SetAsAnsiString(UTF8ToAnsi(E.Token.Text));
  Next();
  Expect(tktRightParenthesis, 30481, ")");
  auto n = std::make_unique<TVelqorimExprNodeBlob>(doMIMETOBIN);
  n->AddChild(std::move(c));
  return n;
}

// ---------------------------------------------------------------------------
// TVelqorimExpression: parsing entries

void TVelqorimExpression::ParseForLocate(TVelqorimExprCursor* Cursor, const String& FieldNames,
                                         const std::vector<TABSVarData>& KeyValues, bool KeyValuesIsArray,
                                         bool CaseInsensitive, bool PartialKey) {
  ReleaseRoot();
  LCursor = Cursor;
  F3ValueLogic = false;
  std::vector<String> names;
  SplitNameList(names, FieldNames);
  if (names.size() != KeyValues.size())
    throw EABSException(30112, "Count of FieldNames (%d) not equal counts of KeyValues (%d)",
                        {static_cast<int>(names.size()), static_cast<int>(KeyValues.size())});
  TVelqorimExprNodeArray comparisons;
  for (size_t i = 0; i < names.size(); ++i) {
    auto field = std::make_unique<TVelqorimExprNodeField>(Cursor, names[i], String());
    auto key = std::make_unique<TVelqorimExprNodeConst>();
    TABSVarData v = KeyValues[i];
    const TABSBaseFieldType ft = field->BaseFieldType();
    if (IsDateTimeBaseFieldType(ft) && (v.VType == varInteger || v.VType == varInt64 || v.VType == varSmallint ||
                                        v.VType == varShortInt || v.VType == varDouble)) {
      v.VDouble = v.VType == varDouble ? v.VDouble : static_cast<double>(v.VInteger);
      v.VType = varDate;
    }
    key->Value.SetAsVariant(v);
    comparisons.push_back(std::make_unique<TVelqorimExprNodeComparison>(doEQ, std::move(field), std::move(key), false,
                                                                        CaseInsensitive, PartialKey));
  }
  if (KeyValuesIsArray) {
    auto n = std::make_unique<TVelqorimExprNodeBoolean>(doAND);
    for (auto& c : comparisons) n->AddChild(std::move(c));
    FRootExprNode = std::move(n);
  } else if (!comparisons.empty()) {
    FRootExprNode = std::move(comparisons[0]);
  }
  if (Cursor && FRootExprNode) FRootExprNode->PrepareTypes();
}

void TVelqorimExpression::ParseForFilter(TVelqorimExprCursor* Cursor, const String& Filter, bool CaseInsensitive,
                                         bool PartialKey) {
  LCursor = Cursor;
  FCaseInsensitive = CaseInsensitive;
  FPartialKey = PartialKey;
  auto lexer = std::make_unique<TVelqorimLexer>(Filter, false, nullptr);
  if (lexer->NumCommands == 0) throw EABSException(30119, "Blank SQL command");
  lexer->GetNextCommand();
  ParseForBooleanExpression(nullptr, lexer.get());
  FOwnedLexer = std::move(lexer);
}

void TVelqorimExpression::ParseForIsAnyRecordMatchCondition(TVelqorimExprCursor* Cursor, const String& FieldName,
                                                            TABSDataOperator Operator,
                                                            const TABSVariant& Value) {
  ReleaseRoot();
  LCursor = Cursor;
  F3ValueLogic = false;
  auto field = std::make_unique<TVelqorimExprNodeField>(Cursor, FieldName, String());
  auto c = std::make_unique<TVelqorimExprNodeConst>();
  c->Value.Assign(Value, true);
  FRootExprNode = std::make_unique<TVelqorimExprNodeComparison>(Operator, std::move(field), std::move(c), false,
                                                                false, false);
  if (Cursor) FRootExprNode->PrepareTypes();
}

void TVelqorimExpression::ParseForBooleanExpression(TDataSet* Dataset, TVelqorimLexer* Lexer) {
  ReleaseRoot();
  LDataset = Dataset;
  LLex = Lexer;
  TVelqorimExprParser p(*this);
  if (Token.TokenType == tktNone)
    throw EABSException(30118, "Unexpected end of SQL command found at line %d, column %d",
                        {Token.LineNum, Token.ColumnNum});
  TVelqorimExprNodePtr root = p.ParseSearchCondition();
  if (!root)
    throw EABSException(30066, "Boolean expression expected, but '%s' found at line %d, column %d",
                        {Token.Text, Token.LineNum, Token.ColumnNum});
  FRootExprNode = std::move(root);
  MoveAndNodesToRoot();
  if (LCursor) FRootExprNode->PrepareTypes();
}

void TVelqorimExpression::ParseForValueExpression(TDataSet* Dataset, TVelqorimLexer* Lexer) {
  LLex = Lexer;
  LDataset = Dataset;
  if (Dataset && VelqorimDatasetNames) VelqorimDatasetNames(Dataset, FDatabaseName, FSessionName);
  TVelqorimExprParser p(*this);
  if (Token.TokenType == tktNone)
    throw EABSException(30136, "Unexpected end of SQL command found at line %d, column %d",
                        {Token.LineNum, Token.ColumnNum});
  FRootExprNode = p.ParseValueExpression();
}

bool TVelqorimExpression::ParseForDefaultValueExpression(const String& DefaultValue) {
  try {
    auto lexer = std::make_unique<TVelqorimLexer>(DefaultValue, true, nullptr);
    if (lexer->NumCommands < 1) return false;
    lexer->GetNextCommand();
    ParseForValueExpression(nullptr, lexer.get());
    TToken rest;
    const bool ok = lexer->NumCommands == 1 && FRootExprNode && !lexer->GetCurrentToken(rest);
    FOwnedLexer = std::move(lexer);
    return ok;
  } catch (const Exception&) {
    ReleaseRoot();
    return false;
  }
}

void TVelqorimExpression::ParseForRowSubqueryExpression(TDataSet* Dataset, TVelqorimLexer* Lexer) {
  LLex = Lexer;
  LDataset = Dataset;
  if (Dataset && VelqorimDatasetNames) VelqorimDatasetNames(Dataset, FDatabaseName, FSessionName);
  TVelqorimExprParser p(*this);
  if (Token.TokenType == tktNone)
    throw EABSException(30497, "Unexpected end of SQL command found at line %d, column %d",
                        {Token.LineNum, Token.ColumnNum});
  FRootExprNode = p.ParseSubquery(false, false);
}

bool IsDefaultValueExpression(const TABSVariant& Value) {
  if (!Value.IsStringDataType() || Value.IsNull()) return false;
  const WideString text = Value.GetAsWideString();
  if (text.empty()) return false;
  TVelqorimExpression e;
  if (!e.ParseForDefaultValueExpression(UTF16ToUTF8(text)) || e.IsFieldsExpression()) return false;
  try {
    const TABSVariant* v = e.GetValue(true);
    return v && v->GetAsWideString() != text;
  } catch (const Exception&) {
    return false;
  }
}
