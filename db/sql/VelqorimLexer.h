#pragma once
// The SQL lexer: a script becomes commands (split at ";"), each a list of
// tokens with kind, reserved-word code, text, parameter value and position.
// The whole script is tokenized at construction; parsers then walk it with a
// current command and a current token, going back to remembered positions.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "db/support/DAZConst.h"
#include "db/support/DAZVariant.h"

enum TTokenType : uint8_t {
  tktNone, tktString, tktQuotedString, tktBracketedString, tktInt, tktFloat, tktReservedWord, tktParameter,
  tktLeftParenthesis, tktRightParenthesis, tktComma, tktDot
};
using TTokenTypes = uint16_t;  // a set of TTokenType: bit (1 << kind)
constexpr TTokenTypes TokenTypeBit(TTokenType t) { return static_cast<TTokenTypes>(1u << t); }

// One value per word of the engine's reserved-word table, in its order; rwNone last.
enum TReservedWord : uint16_t {
  rwABSOLUTE, rwACTION, rwADD, rwALL, rwALLOCATE, rwALTER, rwAND, rwANY, rwARE, rwAS, rwASC, rwASSERTION,
  rwAT, rwAUTHORIZATION, rwAVG, rwBEGIN, rwBETWEEN, rwBIT, rwBIT_LENGTH, rwBOTH, rwBY, rwCASCADE, rwCASCADED,
  rwCASE, rwCAST, rwCATALOG, rwCHAR, rwCHARACTER, rwCHAR_LENGTH, rwCHARACTER_LENGTH, rwCHECK, rwCLOSE,
  rwCOALESCE, rwCOLLATE, rwCOLLATION, rwCOLUMN, rwCOMMIT, rwCONNECT, rwCONNECTION, rwCONSTRAINT,
  rwCONSTRAINTS, rwCONTINUE, rwCONVERT, rwCORRESPONDING, rwCOUNT, rwCREATE, rwCROSS, rwCURRENT,
  rwCURRENT_DATE, rwCURRENT_TIME, rwCURRENT_TIMESTAMP, rwCURRENT_USER, rwCURSOR, rwDATE, rwDAY, rwDEALLOCATE,
  rwDEC, rwDECIMAL, rwDECLARE, rwDEFAULT, rwDEFERRABLE, rwDEFERRED, rwDELETE, rwDESC, rwDESCRIBE,
  rwDESCRIPTOR, rwDIAGNOSTICS, rwDISCONNECT, rwDISTINCT, rwDOMAIN, rwDOUBLE, rwDROP, rwELSE, rwEND,
  rwEND_EXEC, rwESCAPE, rwEXCEPT, rwEXCEPTION, rwEXEC, rwEXECUTE, rwEXISTS, rwEXTERNAL, rwEXTRACT, rwFALSE,
  rwFETCH, rwFIRST, rwFLOAT, rwFOR, rwFOREIGN, rwFOUND, rwFROM, rwFULL, rwGET, rwGLOBAL, rwGO, rwGOTO,
  rwGRANT, rwGROUP, rwHAVING, rwHOUR, rwIDENTITY, rwIMMEDIATE, rwIN, rwINDICATOR, rwINITIALLY, rwINNER,
  rwINPUT, rwINSENSITIVE, rwINSERT, rwINT, rwINTEGER, rwINTERSECT, rwINTERVAL, rwINTO, rwIS, rwISOLATION,
  rwJOIN, rwKEY, rwLANGUAGE, rwLAST, rwLEADING, rwLEFT, rwLEVEL, rwLIKE, rwLOCAL, rwLOWER, rwMATCH, rwMAX,
  rwMEMORY, rwMIN, rwMINUS, rwMINUTE, rwMODULE, rwMONTH, rwNAMES, rwNATIONAL, rwNATURAL, rwNCHAR, rwNEXT,
  rwNO, rwNOT, rwNULL, rwNULLIF, rwNUMERIC, rwOCTET_LENGTH, rwOF, rwON, rwONLY, rwOPEN, rwOPTION, rwOR,
  rwORDER, rwOUTER, rwOUTPUT, rwOVERLAPS, rwPAD, rwPARTIAL, rwPOSITION, rwPRECISION, rwPREPARE, rwPRESERVE,
  rwPRIMARY, rwPRIOR, rwPRIVILEGES, rwPROCEDURE, rwPUBLIC, rwREAD, rwREAL, rwREFERENCES, rwRELATIVE,
  rwRESTRICT, rwREVOKE, rwRIGHT, rwROLLBACK, rwROWS, rwSCHEMA, rwSCROLL, rwSECOND, rwSECTION, rwSELECT,
  rwSESSION, rwSESSION_USER, rwSET, rwSIZE, rwSMALLINT, rwSOME, rwSPACE, rwSQL, rwSQLCODE, rwSQLERROR,
  rwSQLSTATE, rwSUBSTRING, rwSUM, rwSYSTEM_USER, rwTABLE, rwTEMPORARY, rwTHEN, rwTIME, rwTIMESTAMP,
  rwTIMEZONE_HOUR, rwTIMEZONE_MINUTE, rwTO, rwTOP, rwTRAILING, rwTRANSACTION, rwTRANSLATE, rwTRANSLATION,
  rwTRIM, rwTRUE, rwUNION, rwUNIQUE, rwUNKNOWN, rwUPDATE, rwUPPER, rwUSAGE, rwUSER, rwUSING, rwVALUE,
  rwVALUES, rwVARCHAR, rwVARYING, rwVIEW, rwWHEN, rwWHENEVER, rwWHERE, rwWITH, rwWORK, rwWRITE, rwYEAR,
  rwZONE, rwPASSWORD, rwBLOBBLOCKSIZE, rwBLOBCOMPRESSIONMODE, rwBLOBCOMPRESSIONALGORITHM, rwLAST_AUTOINC,
  rwMODIFY, rwNEW, rwINDEX, rwNOCASE, rwLTRIM, rwRTRIM, rwPOS, rwLENGTH, rwSYSDATE, rwNOW, rwTODATE,
  rwTOSTRING, rwAUTOINDEXES, rwNOAUTOINDEXES, rwINCREMENT, rwLASTVALUE, rwMAXVALUE, rwMINVALUE, rwCYCLED,
  rwNOMAXVALUE, rwNOMINVALUE, rwNOCYCLED, rwINITIALVALUE, rwSTARTVALUE, rwRENAME, rwSTART, rwFLUSH,
  rwAUTOINC, rwMIMETOBIN, rwROWNUM, rwIF, rwTRUNCATE, rwDAZ, rwACOS, rwASIN, rwATAN, rwCEIL, rwCOS, rwEXP,
  rwFLOOR, rwLOG, rwPOWER, rwRAND, rwROUND, rwSIGN, rwSIN, rwSQR, rwSQRT, rwHALFEVEN, rwHALFPOS, rwHALFNEG,
  rwHALFDOWN, rwHALFUP, rwRNDNEG, rwRNDPOS, rwRNDDOWN, rwRNDUP, rwNone
};
static_assert(rwNone == ABSReservedWordCount);

struct TToken {
  TTokenType TokenType = tktNone;
  TReservedWord ReservedWord = rwNone;
  String Text;
  // Set only for parameters; owned by the lexer that made the token.
  TABSVariant* ParamValue = nullptr;
  int32_t LineNum = 0;
  int32_t ColumnNum = 0;
};

struct TSQLCommand {
  std::vector<TToken> Tokens;
  int32_t NumTokens = 0;
  int32_t CurrentTokenNo = 0;
};

class TVelqorimSQLParam : public TABSVariant {
 public:
  TVelqorimSQLParam() : TABSVariant(bftUnknown) {}
  String Name;
};

// An ordered, owning list of parameter values for the markers of a script.
class TVelqorimSQLParams {
 public:
  void Clear() { FItems.clear(); }
  TVelqorimSQLParam* AddCreated();
  int Count() const { return static_cast<int>(FItems.size()); }
  // Out-of-range indexes raise the list's range error.
  TVelqorimSQLParam* Items(int Index) const;
  void SetItems(int Index, std::unique_ptr<TVelqorimSQLParam> Value);
  // First item whose name equals Name (ASCII case ignored), or nullptr.
  TVelqorimSQLParam* GetParamByName(const String& Name) const;

 private:
  std::vector<std::unique_ptr<TVelqorimSQLParam>> FItems;
};

class TVelqorimLexer {
 public:
  // Tokenizes the whole script; any tokenizing error leaves the constructor.
  TVelqorimLexer(const String& SQLScript = String(), bool NoParams = false, TVelqorimSQLParams* SQLParams = nullptr);
  ~TVelqorimLexer() = default;
  TVelqorimLexer(const TVelqorimLexer&) = delete;
  TVelqorimLexer& operator=(const TVelqorimLexer&) = delete;

  bool GetNextCommand();
  bool GetCurrentToken(TToken& Token) const;
  bool LookNextToken(TToken& Token) const;
  bool GetNextToken(TToken& Token);
  bool GetNextSpecifiedToken(TToken& Token, TTokenTypes TokenTypes);
  int GetCurrentTokenNo() const;
  bool SetCurrentTokenNo(int TokenNo, TToken& Token);
  bool SetCurrentTokenNo(int TokenNo);
  void AddCommand();
  void AddToken(const TToken& Token);
  String Test(bool bShowDetails) const;

  int32_t NumCommands = 0;
  std::vector<TSQLCommand> Commands;
  int32_t CurrentCommandNo = -1;
  // Levels the parsers walking this lexer's statement are nested in (see
  // TVelqorimNesting): statement and expression parsers, subqueries included.
  int32_t NestingDepth = 0;
  // Subqueries parsed so far in the statement being parsed, by the command
  // and token where each begins, with the token after it: a parser that goes
  // back over one takes that parse instead of repeating it (nested ones and
  // all). Cleared once the statement is parsed.
  struct TParsedQuery {
    std::shared_ptr<void> Query;
    int32_t EndTokenNo = 0;
  };
  std::map<std::pair<int32_t, int32_t>, TParsedQuery> ParsedQueries;

 private:
  void Tokenize();
  TSQLCommand* Current();
  const TSQLCommand* Current() const;

  String FSQL;
  TVelqorimSQLParams* FSQLParams = nullptr;  // not owned
  bool FNoParams = false;
  // Values of the parameter tokens; tokens point into it.
  std::vector<std::unique_ptr<TABSVariant>> FParamValues;
};

// Parse nesting of one statement, counted on its lexer so that queries,
// table references and expressions, nested in each other in any order, share
// one bound far below the stack's limit. Each Enter is one level more, until
// the object goes; past MaxNesting levels it raises 30520 at the token.
class TVelqorimNesting {
 public:
  static constexpr int MaxNesting = 400;
  TVelqorimNesting(TVelqorimLexer& Lexer, const TToken& At) : FLexer(Lexer) { Enter(At); }
  explicit TVelqorimNesting(TVelqorimLexer& Lexer) : FLexer(Lexer) {}
  ~TVelqorimNesting() { FLexer.NestingDepth -= FLevels; }
  TVelqorimNesting(const TVelqorimNesting&) = delete;
  TVelqorimNesting& operator=(const TVelqorimNesting&) = delete;
  void Enter(const TToken& At);

 private:
  TVelqorimLexer& FLexer;
  int FLevels = 0;
};

// True when the token is a reserved word and Word matches it (rwNone: any word).
bool IsReservedWord(const TToken& Token, TReservedWord Word);
// Index of the text in the reserved-word table (ASCII case ignored), or -1.
int FindReservedWord(const String& Text);
