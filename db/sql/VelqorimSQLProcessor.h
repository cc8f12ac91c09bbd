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
  // Runs the whole script; the last statement's result (nullptr when it has none).
  TVelqorimAOBase* OpenQuery();
  void ExecuteQuery() { OpenQuery(); }

  String DatabaseName = "MEMORY";
  int64_t FRowsAffected = 0;
  TVelqorimSQLParams FSQLParams;
  // The session of transaction statements.
  TVelqorimLocalSession Session;

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
