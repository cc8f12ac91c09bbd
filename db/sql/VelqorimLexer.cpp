#include "db/sql/VelqorimLexer.h"

#include "db/support/DAZExcept.h"
#include "platform/rtl/Classes.h"

namespace {

bool IsSeparator(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }
bool IsDelimiter(char ch) {
  switch (ch) {
    case '>': case '<': case '=': case '(': case ')': case ',': case '/': case '*': case ':': case '?': case '|':
      return true;
    default:
      return false;
  }
}
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
// Columns count characters: UTF-8 continuation bytes add none.
bool CountsAsColumn(char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }

bool EqualsIgnoringASCIICase(const String& a, const String& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The tokenizer's state over one script.
class TTokenizer {
 public:
  TTokenizer(const String& Text, bool NoParams, TVelqorimSQLParams* Params, TVelqorimLexer& Lexer,
             std::vector<std::unique_ptr<TABSVariant>>& ParamValues)
      : s(Text), FNoParams(NoParams), FParams(Params), L(Lexer), FValues(ParamValues) {}

  void Run() {
    const size_t n = s.size();
    while (pos < n) {
      const char ch = s[pos];
      if (ch == ';') {
        EndCommand();
        Advance(ch);
        continue;
      }
      if (ch == '-' && pos + 1 < n && s[pos + 1] == '-') {
        EndToken();  // a comment ends the word before it
        line++;
        col = 1;
        while (pos < n && s[pos] != '\n') pos++;
        if (pos < n) pos++;
        continue;
      }
      if (ch == '/' && pos + 1 < n && s[pos + 1] == '*') {
        EndToken();
        const int commentLine = line, commentCol = col;
        col += 2;
        pos += 2;
        while (pos < n && !(s[pos] == '*' && pos + 1 < n && s[pos + 1] == '/')) Advance(s[pos]);
        // A comment left open would silently swallow the rest of the script.
        if (pos >= n)
          throw EABSException(30063, "Unterminated comment at line %d, column %d", {commentLine, commentCol});
        col += 2;
        pos += 2;
        continue;
      }
      const bool open = tokenOpen;
      const TTokenType kind = open ? Tok().TokenType : tktNone;
      const bool starts = (!open && !IsSeparator(ch)) || (open && IsDelimiter(ch)) ||
                          (open && ch == '.' && kind != tktInt) ||
                          (open && kind == tktDot && !IsDigit(ch) && ch != ' ') ||
                          (open && kind == tktString && (ch == '+' || ch == '-')) ||
                          (open && kind == tktInt && (ch == '+' || ch == '-') && prev != 'E' && prev != 'e');
      if (open && (IsSeparator(ch) || starts)) EndToken();
      if (starts) {
        if (!StartToken(ch)) return;  // an unterminated quoted token used up the text
      } else if (open && !IsSeparator(ch)) {
        TToken& t = Tok();
        if (t.TokenType == tktInt && !IsDigit(ch) && ch != '.' && ch != 'E' && ch != 'e' && ch != '+' && ch != '-')
          throw EABSException(30062, "Invalid numeric symbol '%s' at line %d, column %d",
                              {String(1, ch), line, col});
        if (t.TokenType == tktDot && IsDigit(ch)) t.TokenType = tktInt;
        t.Text += ch;
      }
      Advance(ch);
    }
  }

  void Finish() { EndCommand(); }

 private:
  TToken& Tok() { return L.Commands.back().Tokens.back(); }

  // Moves past ch, keeping line and column.
  void Advance(char ch) {
    if (ch == '\n') {
      line++;
      col = 1;
    } else if (ch != '\r' && CountsAsColumn(ch)) {
      col++;
    }
    prev = ch;
    pos++;
  }

  void NewCommand() {
    L.AddCommand();
    depth = 0;
    commandOpen = true;
  }

  void Append(TTokenType kind, const String& text) {
    TToken t;
    t.TokenType = kind;
    t.Text = text;
    t.LineNum = line;
    t.ColumnNum = col;
    L.AddToken(t);
    tokenOpen = true;
    backquoted = false;
  }

  // False when a quoted token runs to the end of the text.
  bool StartToken(char ch) {
    if (!commandOpen) NewCommand();
    const size_t n = s.size();
    const bool quotedParam =
        ch == ':' && pos + 1 < n && (s[pos + 1] == '"' || s[pos + 1] == '\'' || s[pos + 1] == '[');
    if (ch == '\'' || ch == '"' || ch == '[' || ch == '`' || quotedParam) {
      TTokenType kind = ch == '[' ? tktBracketedString : (ch == '`' || quotedParam) ? tktString : tktQuotedString;
      Append(kind, quotedParam ? String(":") : String());
      backquoted = ch == '`';
      if (quotedParam) {
        pos++;
        col++;
      }
      const char open = s[pos];
      const char close = open == '[' ? ']' : open;
      quotedOpen = true;
      quotedLine = Tok().LineNum;
      quotedCol = Tok().ColumnNum;
      size_t p = pos + 1;
      int c = col + 1;
      int ln = line;
      String& text = Tok().Text;
      while (p < n) {
        char x = s[p];
        if (backquoted && x == '\\' && p + 1 < n) {
          p++;
          c++;
          x = s[p];
        }
        if (x == close) {
          if (p + 1 < n && s[p + 1] == close) {
            text += close;
            p += 2;
            c += 2;
            continue;
          }
          quotedOpen = false;
          break;
        }
        text += x;
        if (x == '\n') {
          ln++;
          c = 1;
        } else if (x != '\r' && CountsAsColumn(x)) {
          c++;
        }
        p++;
      }
      if (quotedOpen) {  // the text ended inside it
        pos = n;
        line = ln;
        col = c;
        return false;
      }
      // pos at the closing character, which the main loop passes.
      pos = p;
      line = ln;
      col = c;
      EndToken();
      return true;
    }
    TTokenType kind = tktString;
    if (ch == '(') kind = tktLeftParenthesis;
    else if (ch == ')') kind = tktRightParenthesis;
    else if (ch == '.') kind = tktDot;
    else if (ch == ',') kind = tktComma;
    else if (IsDigit(ch)) kind = tktInt;
    Append(kind, String(1, ch));
    switch (ch) {
      case '(':
        depth++;
        lastOpenLine = line;
        lastOpenCol = col;
        EndToken();
        break;
      case ')':
        depth--;
        lastCloseLine = line;
        lastCloseCol = col;
        EndToken();
        break;
      case ',': case '-': case '+': case '*': case '/': case '=':
        EndToken();
        break;
      case '|':
        if (pos + 1 < n && s[pos + 1] == '|') PassNext();
        EndToken();
        break;
      case '<':
        if (pos + 1 < n && (s[pos + 1] == '=' || s[pos + 1] == '>')) PassNext();
        EndToken();
        break;
      case '>':
        if (pos + 1 < n && s[pos + 1] == '=') PassNext();
        EndToken();
        break;
      default:
        break;
    }
    return true;
  }

  void PassNext() {
    Tok().Text += s[pos + 1];
    pos++;
    col++;
  }

  void EndToken() {
    if (!tokenOpen) return;
    TToken& t = Tok();
    if (t.TokenType == tktInt && t.Text.find_first_of(".Ee") != String::npos) t.TokenType = tktFloat;
    if (t.TokenType == tktString && !FNoParams && !t.Text.empty() && (t.Text[0] == ':' || t.Text[0] == '?')) {
      const TABSVariant* value = nullptr;
      if (t.Text[0] == ':') {
        t.Text.erase(0, 1);
        if (FParams) value = FParams->GetParamByName(t.Text);
      } else {
        t.Text.clear();
        if (FParams) {
          if (questionMarks < FParams->Count()) value = FParams->Items(questionMarks);
          questionMarks++;
          t.Text = "Param" + std::to_string(questionMarks);
        }
      }
      if (!value) throw EABSException(30358, "Value for parameter '%s' not found", {t.Text});
      auto copy = std::make_unique<TABSVariant>();
      copy->Assign(*value, true);
      t.TokenType = tktParameter;
      t.ParamValue = copy.get();
      FValues.push_back(std::move(copy));
    } else if (t.TokenType == tktString && !backquoted) {
      const int word = FindReservedWord(t.Text);
      if (word >= 0) {
        t.TokenType = tktReservedWord;
        t.ReservedWord = static_cast<TReservedWord>(word);
      }
    }
    tokenOpen = false;
  }

  void EndCommand() {
    EndToken();
    commandOpen = false;
    if (depth > 0) throw EABSException(30059, "Missing symbol ')' at line %d, column %d", {lastOpenLine, lastOpenCol});
    if (depth < 0)
      throw EABSException(30060, "Unexpected symbol ')' found at line %d, column %d", {lastCloseLine, lastCloseCol});
    depth = 0;
    prev = ' ';
    if (quotedOpen)
      throw EABSException(30061, "Unterminated string at line %d, column %d", {quotedLine, quotedCol});
  }

  const String& s;
  bool FNoParams;
  TVelqorimSQLParams* FParams;
  TVelqorimLexer& L;
  std::vector<std::unique_ptr<TABSVariant>>& FValues;
  size_t pos = 0;
  int line = 1, col = 1;
  bool tokenOpen = false, commandOpen = false, backquoted = false;
  int depth = 0;
  int questionMarks = 0;
  char prev = ' ';
  bool quotedOpen = false;
  int quotedLine = 0, quotedCol = 0;
  int lastOpenLine = 0, lastOpenCol = 0, lastCloseLine = 0, lastCloseCol = 0;
};

const char* const TokenTypeNames[] = {"tktNone", "tktString", "tktQuotedString", "tktBracketedString",
                                      "tktInt", "tktFloat", "tktReservedWord", "tktParameter",
                                      "tktLeftParenthesis", "tktRightParenthesis", "tktComma", "tktDot"};

}  // namespace

void TVelqorimNesting::Enter(const TToken& At) {
  if (FLexer.NestingDepth >= MaxNesting)
    throw EABSException(30520, "SQL command is nested too deeply at line %d, column %d", {At.LineNum, At.ColumnNum});
  FLexer.NestingDepth++;
  FLevels++;
}

TVelqorimSQLParam* TVelqorimSQLParams::AddCreated() {
  FItems.push_back(std::make_unique<TVelqorimSQLParam>());
  return FItems.back().get();
}

TVelqorimSQLParam* TVelqorimSQLParams::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return FItems[static_cast<size_t>(Index)].get();
}

void TVelqorimSQLParams::SetItems(int Index, std::unique_ptr<TVelqorimSQLParam> Value) {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  FItems[static_cast<size_t>(Index)] = std::move(Value);
}

TVelqorimSQLParam* TVelqorimSQLParams::GetParamByName(const String& Name) const {
  for (const auto& p : FItems)
    if (EqualsIgnoringASCIICase(p->Name, Name)) return p.get();
  return nullptr;
}

TVelqorimLexer::TVelqorimLexer(const String& SQLScript, bool NoParams, TVelqorimSQLParams* SQLParams)
    : FSQL(SQLScript), FSQLParams(SQLParams), FNoParams(NoParams) {
  Tokenize();
  CurrentCommandNo = -1;
  for (auto& c : Commands) c.CurrentTokenNo = 0;
}

void TVelqorimLexer::Tokenize() {
  TTokenizer t(FSQL, FNoParams, FSQLParams, *this, FParamValues);
  t.Run();
  t.Finish();
}

TSQLCommand* TVelqorimLexer::Current() {
  if (CurrentCommandNo < 0 || CurrentCommandNo >= NumCommands) return nullptr;
  return &Commands[static_cast<size_t>(CurrentCommandNo)];
}
const TSQLCommand* TVelqorimLexer::Current() const {
  if (CurrentCommandNo < 0 || CurrentCommandNo >= NumCommands) return nullptr;
  return &Commands[static_cast<size_t>(CurrentCommandNo)];
}

bool TVelqorimLexer::GetNextCommand() {
  CurrentCommandNo++;
  return CurrentCommandNo < NumCommands;
}

bool TVelqorimLexer::GetCurrentToken(TToken& Token) const {
  const TSQLCommand* c = Current();
  if (!c || c->CurrentTokenNo < 0 || c->CurrentTokenNo >= c->NumTokens) {
    Token.TokenType = tktNone;
    return false;
  }
  Token = c->Tokens[static_cast<size_t>(c->CurrentTokenNo)];
  return true;
}

bool TVelqorimLexer::LookNextToken(TToken& Token) const {
  const TSQLCommand* c = Current();
  if (!c || c->CurrentTokenNo + 1 < 0 || c->CurrentTokenNo + 1 >= c->NumTokens) {
    Token.TokenType = tktNone;
    Token.Text.clear();
    return false;
  }
  Token = c->Tokens[static_cast<size_t>(c->CurrentTokenNo + 1)];
  return true;
}

bool TVelqorimLexer::GetNextToken(TToken& Token) {
  const bool found = LookNextToken(Token);
  if (TSQLCommand* c = Current(); c && c->CurrentTokenNo < c->NumTokens) c->CurrentTokenNo++;
  return found;
}

bool TVelqorimLexer::GetNextSpecifiedToken(TToken& Token, TTokenTypes TokenTypes) {
  bool found;
  while ((found = LookNextToken(Token))) {
    if (TSQLCommand* c = Current()) c->CurrentTokenNo++;
    if (TokenTypes & TokenTypeBit(Token.TokenType)) break;
  }
  return found;
}

int TVelqorimLexer::GetCurrentTokenNo() const {
  const TSQLCommand* c = Current();
  return c ? c->CurrentTokenNo : 0;
}

bool TVelqorimLexer::SetCurrentTokenNo(int TokenNo, TToken& Token) {
  if (TSQLCommand* c = Current()) c->CurrentTokenNo = TokenNo;
  return GetCurrentToken(Token);
}

bool TVelqorimLexer::SetCurrentTokenNo(int TokenNo) {
  TSQLCommand* c = Current();
  if (!c) return false;
  c->CurrentTokenNo = TokenNo;
  return TokenNo < c->NumTokens;
}

void TVelqorimLexer::AddCommand() {
  Commands.emplace_back();
  NumCommands = static_cast<int32_t>(Commands.size());
  CurrentCommandNo = NumCommands - 1;
}

void TVelqorimLexer::AddToken(const TToken& Token) {
  if (Commands.empty()) AddCommand();
  TSQLCommand& c = *Current();
  c.Tokens.push_back(Token);
  c.NumTokens = static_cast<int32_t>(c.Tokens.size());
  c.CurrentTokenNo = c.NumTokens - 1;
}

String TVelqorimLexer::Test(bool bShowDetails) const {
  const String br = "\r\n";
  String out = "Number of commands: " + std::to_string(NumCommands);
  for (int i = 0; i < NumCommands; ++i) {
    out += br + "Command #" + std::to_string(i + 1) + ":" + br;
    for (const TToken& t : Commands[static_cast<size_t>(i)].Tokens) {
      out += t.Text + br;
      if (!bShowDetails) continue;
      out += String("Type = ") + TokenTypeNames[t.TokenType] + br;
      out += t.ReservedWord == rwNone ? String("ReservedWord = None")
                                      : String("ReservedWord = ") + ABSReservedWords[t.ReservedWord];
      out += br + "Line = " + std::to_string(t.LineNum) + br + "Column = " + std::to_string(t.ColumnNum) + br + br;
    }
  }
  return out;
}

bool IsReservedWord(const TToken& Token, TReservedWord Word) {
  return Token.TokenType == tktReservedWord && (Token.ReservedWord == Word || Word == rwNone);
}

int FindReservedWord(const String& Text) { return ReservedWordNumber(Text); }
