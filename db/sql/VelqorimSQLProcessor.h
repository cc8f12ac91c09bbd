#pragma once
// Routines of the SQL processor shared with the expression layer.

// Rounds X to Digits decimal places (negative: tens, hundreds ...) by Mode:
// 1 half-even, 2 half towards +inf, 3 half towards -inf, 4 half towards zero,
// 5 half away from zero, 6 floor, 7 ceiling, 8 truncation, 9 away from zero;
// 0 leaves X. Values within a relative Tolerance of a boundary count as on it.
long double RoundValueWithTolerance(int Digits, int Mode, long double Tolerance, long double X);
long double RoundValue(int Digits, int Mode, long double X);
bool IsNotFinite(long double X);

// ---------------------------------------------------------------------------
// The SQL processor: runs a script statement by statement on one database
// ("MEMORY", "TEMP" or an open disk database) and keeps the last statement's
// result rows.

#include <cstdint>
#include <memory>

#include "db/sql/VelqorimAO.h"
#include "db/sql/VelqorimLexer.h"

class TVelqorimSQLProcessor;
class TVelqorimHeldTable;

// A live (editable) result: the base table itself, seen through the query's
// WHERE condition, its select list and its order.
struct TVelqorimLiveResult {
  String TableName;
  TVelqorimExpression* Filter = nullptr;  // the statement's; nullptr without WHERE
  TStringList Fields, Aliases;            // the projection; empty for every column
  TStringList OrderFields, OrderAscDesc, OrderCase;  // the index order; empty for none
};

class TVelqorimSQLCommand {
 public:
  TVelqorimSQLCommand(TVelqorimLexer* Lexer, TVelqorimSQLProcessor* Processor);
  virtual ~TVelqorimSQLCommand() = default;
  TVelqorimSQLCommand(const TVelqorimSQLCommand&) = delete;
  TVelqorimSQLCommand& operator=(const TVelqorimSQLCommand&) = delete;

  virtual void Parse() = 0;
  virtual void ExecSQL() = 0;
  // The result of a statement that has one, after ExecSQL.
  virtual TVelqorimAOBase* GetResult() { return nullptr; }
  // The result as its base table, when the statement gave a live one instead of rows.
  virtual const TVelqorimLiveResult* GetLiveResult() { return nullptr; }

  int64_t RowsAffected = 0;

  // Token operations shared by the statements.
  bool GetCurrentToken();
  bool GetNextToken();
  void ExpectNextToken(TTokenTypes TokenTypes, int ErrorCode, const char* ErrorMessage);
  bool IsWord(const char* Word) const;
  bool IsKind(TTokenType Kind) const { return Token.TokenType == Kind; }
  [[noreturn]] void Unexpected(int ErrorCode, const char* What) const;
  void ExpectWord(const char* Word, int ErrorCode);
  String ParseName(int ErrorCode, const char* What);
  // An integer token in [Low, High]: KindCode for another token, RangeCode
  // ("Integer expected ...") for a number outside the range or past 64 bits.
  int64_t ParseInteger(int64_t Low, int64_t High, int KindCode, int RangeCode);
  std::unique_ptr<TVelqorimExpression> ParseValueExpression();
  std::unique_ptr<TVelqorimExpression> ParseCondition();
  // The end of a statement: no token may follow.
  void CheckEnd(int ErrorCode);

  TVelqorimLexer* LLex;
  TVelqorimSQLProcessor* Processor;
  TToken Token;
};

class TVelqorimSQLProcessor {
 public:
  TVelqorimSQLProcessor();
  ~TVelqorimSQLProcessor();
  TVelqorimSQLProcessor(const TVelqorimSQLProcessor&) = delete;
  TVelqorimSQLProcessor& operator=(const TVelqorimSQLProcessor&) = delete;

  void PrepareStatement(const String& SQLText) { FSqlText = SQLText; }
  // Runs the whole script; the last statement's result (nullptr when it has none
  // or when it is live: see LiveResult).
  TVelqorimAOBase* OpenQuery();
  void ExecuteQuery() { OpenQuery(); }
  // The last statement's live result, nullptr when its rows were computed.
  const TVelqorimLiveResult* LiveResult() const { return FQuery ? FQuery->GetLiveResult() : nullptr; }

  // Asks that a plain single-table SELECT (no grouping, aggregates or computed
  // columns, DISTINCT, TOP, INTO or subqueries) leave its rows on the base
  // table, where they can be changed.
  bool FRequestLive = false;
  // Written by the last SELECT of the script: its result cannot be changed.
  bool FReadOnly = true;
  String DatabaseName = "MEMORY";
  int64_t FRowsAffected = 0;
  TVelqorimSQLParams FSQLParams;
  // The session of transaction statements.
  TVelqorimLocalSession Session;
  // The table this processor's INSERTs went into within the open
  // transaction, kept open for the next INSERT into it; let go at any other
  // statement and whenever the transaction ends.
  std::unique_ptr<TVelqorimHeldTable> HeldTable;
  // The tables the last statement read, for the next SELECT.
  TVelqorimTableOpenPool FTableOpens;

 private:
  bool ParseNextCommand();
  String FSqlText;
  std::unique_ptr<TVelqorimLexer> FLex;
  std::unique_ptr<TVelqorimSQLCommand> FQuery;
};

// Creates table Table in Database with Result's visible columns and copies its
// rows there (30247 when the table exists); the number of rows.
int64_t CopyResultIntoTable(TVelqorimAOBase& Result, const String& Database, const String& Table);

// Installs the subquery and LASTAUTOINC hooks of the expression layer.
void InstallVelqorimSQLHooks();
// How many nested query texts have been parsed in this process: preparing a
// statement parses each of its subqueries once.
int64_t VelqorimSubqueryParseCount();
