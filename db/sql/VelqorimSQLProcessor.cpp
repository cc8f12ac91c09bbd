// The SQL processor, the statement base and the statements.

#include "db/sql/VelqorimSQLProcessor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimDiskTable.h"
#include "db/support/DAZCompression.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZRandom.h"
#include "db/support/DAZUnicode.h"

namespace {

// Names are 8-bit short strings (a length byte).
constexpr size_t MaxNameLength = 255;
// The largest page of a database file (its size is a 16-bit number).
constexpr int64_t MaxRecordSize = 65535;

[[noreturn]] void RaiseRecordTooLarge() {
  throw EABSException(20174,
                      "Cannot create table. Record is too large to fit in current database page. Please increase "
                      "page size of database file or decrease record size");
}

// The processor whose script runs on this thread (subqueries and
// LASTAUTOINC find their database through it).
thread_local TVelqorimSQLProcessor* RunningProcessor = nullptr;

constexpr TTokenTypes NameKinds = TokenTypeBit(tktString) | TokenTypeBit(tktQuotedString) |
                                  TokenTypeBit(tktBracketedString) | TokenTypeBit(tktReservedWord);

String DatabaseOf(TVelqorimSQLProcessor* P) { return P ? P->DatabaseName : String("MEMORY"); }

// Every column the expression names is a column of AO (and there is at least one).
bool ResolvesIn(TVelqorimExprNode* Node, TVelqorimAOBase& AO, int* Count = nullptr) {
  int n = 0;
  if (!Count) Count = &n;
  if (!Node) return false;
  if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node)) {
    if (AO.FieldExists(f->FieldName(), f->TableName(), false, nullptr, false, false) == 0) return false;
    ++*Count;
  }
  for (auto& c : Node->Children)
    if (!ResolvesIn(c.get(), AO, Count)) return false;
  return Count != &n || n > 0;
}

bool HasSubquery(TVelqorimExprNode* Node) {
  if (!Node) return false;
  if (dynamic_cast<TVelqorimExprNodeSubquery*>(Node)) return true;
  for (auto& c : Node->Children)
    if (HasSubquery(c.get())) return true;
  return false;
}

std::unique_ptr<TVelqorimExpression> FieldExpression(const String& TableName, const String& FieldName) {
  return std::make_unique<TVelqorimExpression>(
      std::make_unique<TVelqorimExprNodeField>(nullptr, FieldName, TableName));
}

// A table of the processor's database opened for changes.
struct TOpenTable {
  TOpenTable(const String& Database, const String& Name) {
    cursor.Session = StatementSession(session, Database);
    cursor.TableName = Name;
  }
  ~TOpenTable() {
    cursor.CloseTable();
    MemoryManager().FreeAndNillMem(record);
    MemoryManager().FreeAndNillMem(edit);
  }
  bool Exists() { return cursor.Session->TableExists(cursor.TableName); }
  void Open() {
    if (!Exists()) throw EABSException(30190, "Table '%s' not found", {cursor.TableName});
    cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
    record = cursor.AllocateRecordBuffer();
    edit = cursor.AllocateRecordBuffer();
    cursor.CurrentRecordBuffer = record;
    cursor.EditRecordBuffer = edit;
  }
  int FieldNo(const String& Name) {
    int n = cursor.FieldDefs.GetDefNumberByName(Name);
    if (n < 0) throw EABSException(30197, "Field '%s' not found", {Name});
    return n;
  }
  // A value into a column of the record being inserted or edited: a BLOB
  // column's bytes go through a BLOB stream (its slot holds only where they
  // are), any other value into its slot.
  void SetValue(const TABSVariant& Value, int FieldNo, bool ToInsert) {
    const TVelqorimFieldDef& def = *cursor.FieldDefs[FieldNo];
    if (!IsBlobBaseFieldType(def.BaseFieldType) || Value.IsNull()) {
      cursor.SetFieldValue(Value, FieldNo, true);
      return;
    }
    TABSVariant bytes;
    bytes.Assign(Value);
    // Text keeps its characters without a terminator; binary data stays as it is.
    if (!bytes.IsBlobDataType()) bytes.Cast(def.BaseFieldType == bftBlob ? bftClob : def.BaseFieldType);
    int visibleNo = FieldNo;
    for (int i = 0; i < cursor.VisibleFieldDefs.Count(); ++i)
      if (cursor.VisibleFieldDefs[i]->FieldNoReference == FieldNo) visibleNo = i;
    TABSStream* stream = cursor.InternalCreateBlobStream(ToInsert, !ToInsert, visibleNo, bomWrite, false);
    stream->SetSize(0);
    stream->Write(bytes.pData(), bytes.DataSize());
    stream->SetModified(true);  // the engine writes back only a changed BLOB
    cursor.InternalCloseBLOB(visibleNo);
  }
  // Raises the cursor's outcome of a change.
  void Check(const char* What) {
    if (cursor.ErrorCode == 0) return;
    String text = cursor.ErrorMessage.empty() ? String(What) : cursor.ErrorMessage;
    throw EABSException(30400, "Cannot %s a record of table '%s' (code %d): %s",
                        {String(What), cursor.TableName, cursor.ErrorCode, text});
  }
  TVelqorimLocalSession session;
  TVelqorimLocalCursor cursor;
  uint8_t* record = nullptr;
  uint8_t* edit = nullptr;
};

}  // namespace

// A table an INSERT opened within a transaction, left open for the
// transaction's next INSERT into it: opening a table of a file reads its
// definitions and lock file, which costs more than the row itself. The
// session has it closed before its transaction ends or it disconnects; the
// processor closes it before any other statement.
class TVelqorimHeldTable final : public TVelqorimBaseSession::THeldOpen {
 public:
  TVelqorimHeldTable() = default;
  TVelqorimHeldTable(const TVelqorimHeldTable&) = delete;
  TVelqorimHeldTable& operator=(const TVelqorimHeldTable&) = delete;
  ~TVelqorimHeldTable() { Clear(); }

  // The held table when it is table Name of Database in the same open
  // transaction (the statement owns it until it hands it back), else nullptr.
  // The hold ends either way.
  std::unique_ptr<TOpenTable> Take(const String& Database, const String& Name) {
    std::unique_ptr<TOpenTable> table;
    if (FTable && FSession != nullptr && FSession->InTransaction && SameText(FDatabase, Database) &&
        SameText(FTable->cursor.TableName, Name) && DatabaseComponentHandle(Database) == FSession)
      table = std::move(FTable);
    Clear();
    return table;
  }
  // Keeps Table open when its session is within a transaction on a file.
  void Keep(std::unique_ptr<TOpenTable> Table, const String& Database) {
    Clear();
    TVelqorimBaseSession* session = Table->cursor.Session;
    if (session == nullptr || !session->InTransaction ||
        dynamic_cast<TVelqorimDiskTableData*>(Table->cursor.TableData) == nullptr)
      return;
    session->Hold(this);
    FSession = session;
    FDatabase = Database;
    FTable = std::move(Table);
  }
  void Clear() {
    if (FSession != nullptr) FSession->Unhold(this);
    FSession = nullptr;
    FTable.reset();
  }
  // The session lets go of it (and has already forgotten it).
  void Release() override {
    FSession = nullptr;
    FTable.reset();
  }

 private:
  TVelqorimBaseSession* FSession = nullptr;
  String FDatabase;
  std::unique_ptr<TOpenTable> FTable;
};

// ---------------------------------------------------------------------------
// Statement base

TVelqorimSQLCommand::TVelqorimSQLCommand(TVelqorimLexer* Lexer, TVelqorimSQLProcessor* aProcessor)
    : LLex(Lexer), Processor(aProcessor) {
  GetCurrentToken();
}

bool TVelqorimSQLCommand::GetCurrentToken() { return LLex->GetCurrentToken(Token); }

bool TVelqorimSQLCommand::GetNextToken() {
  LLex->GetNextToken(Token);
  return GetCurrentToken();
}

void TVelqorimSQLCommand::ExpectNextToken(TTokenTypes TokenTypes, int ErrorCode, const char* ErrorMessage) {
  const TToken last = Token;
  if (!GetNextToken())
    throw EABSException(30161, "Unexpected end of SQL command found at line %d, column %d",
                        {last.LineNum, last.ColumnNum});
  if (TokenTypes && !(TokenTypes & TokenTypeBit(Token.TokenType)))
    throw EABSException(ErrorCode, ErrorMessage, {Token.Text, Token.LineNum, Token.ColumnNum});
}

bool TVelqorimSQLCommand::IsWord(const char* Word) const {
  return (Token.TokenType == tktString || Token.TokenType == tktReservedWord) && UpperCase(Token.Text) == Word;
}

void TVelqorimSQLCommand::Unexpected(int ErrorCode, const char* What) const {
  if (Token.TokenType == tktNone)
    throw EABSException(30161, "Unexpected end of SQL command found at line %d, column %d",
                        {Token.LineNum, Token.ColumnNum});
  throw EABSException(ErrorCode, "%s expected, but '%s' found at line %d, column %d",
                      {String(What), Token.Text, Token.LineNum, Token.ColumnNum});
}

void TVelqorimSQLCommand::ExpectWord(const char* Word, int ErrorCode) {
  if (!IsWord(Word)) {
    if (Token.TokenType == tktNone)
      throw EABSException(30161, "Unexpected end of SQL command found at line %d, column %d",
                          {Token.LineNum, Token.ColumnNum});
    throw EABSException(ErrorCode, "Token '%s' expected, but '%s' found at line %d, column %d",
                        {String(Word), Token.Text, Token.LineNum, Token.ColumnNum});
  }
  GetNextToken();
}

String TVelqorimSQLCommand::ParseName(int ErrorCode, const char* What) {
  String s;
  if (Token.TokenType == tktParameter && Token.ParamValue) {
    s = AnsiToUTF8(Token.ParamValue->GetAsAnsiString());
  } else {
    if (!(NameKinds & TokenTypeBit(Token.TokenType))) Unexpected(ErrorCode, What);
    s = Token.Text;
  }
  // Names are stored as 8-bit short strings: a longer one would be cut and
  // then name something else, or nothing.
  if (UTF8ToAnsi(s).size() > MaxNameLength)
    throw EABSException(30521, "Name '%s...' is longer than %d characters at line %d, column %d",
                        {s.substr(0, 32), static_cast<int>(MaxNameLength), Token.LineNum, Token.ColumnNum});
  GetNextToken();
  return s;
}

std::unique_ptr<TVelqorimExpression> TVelqorimSQLCommand::ParseValueExpression() {
  auto e = std::make_unique<TVelqorimExpression>();
  LLex->GetCurrentToken(e->Token);
  e->ParseForValueExpression(nullptr, LLex);
  GetCurrentToken();
  if (!e->Root()) Unexpected(30160, "Expression");
  return e;
}

std::unique_ptr<TVelqorimExpression> TVelqorimSQLCommand::ParseCondition() {
  auto e = std::make_unique<TVelqorimExpression>();
  LLex->GetCurrentToken(e->Token);
  e->ParseForBooleanExpression(nullptr, LLex);
  GetCurrentToken();
  return e;
}

int64_t TVelqorimSQLCommand::ParseInteger(int64_t Low, int64_t High, int KindCode, int RangeCode) {
  if (!IsKind(tktInt)) Unexpected(KindCode, "Integer");
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(Token.Text.c_str(), &end, 10);
  if (errno == ERANGE || *end != '\0' || v < Low || v > High)
    throw EABSException(RangeCode, "Integer expected, but '%s' found at line %d, column %d",
                        {Token.Text, Token.LineNum, Token.ColumnNum});
  GetNextToken();
  return v;
}

void TVelqorimSQLCommand::CheckEnd(int ErrorCode) {
  if (Token.TokenType != tktNone)
    throw EABSException(ErrorCode, "End of SQL command expected, but '%s' found at line %d, column %d",
                        {Token.Text, Token.LineNum, Token.ColumnNum});
}

// ---------------------------------------------------------------------------
// SELECT and query expressions

namespace {

struct TSelectItem {
  bool AllFields = false;
  String AllTable;  // t.* names its table
  std::unique_ptr<TVelqorimExpression> Expr;
  String Alias;
  int CommandNo = -1, TokenNo = -1;  // where Expr begins, to read it again for GROUP BY
};

struct TQueryNode;

struct TTableRef {
  enum Kind { Table, SubQuery, Joined } Type = Table;
  String Name, Alias;
  std::unique_ptr<TQueryNode> Sub;
  std::unique_ptr<TTableRef> Left, Right;
  TABSJoinType JoinType = ajtInner;
  bool Natural = false;
  std::unique_ptr<TVelqorimExpression> On;
  std::vector<String> Using;
};

struct TOrderItem {
  int Ordinal = 0;
  std::unique_ptr<TVelqorimExpression> Expr;
  bool Descending = false;
};

struct TSelect {
  String IntoTable;  // SELECT ... INTO: the table the result is copied into
  bool IntoMemory = false;
  bool Distinct = false;
  int64_t Top = -1, FirstRow = 1;
  std::vector<TSelectItem> Items;
  std::vector<std::unique_ptr<TTableRef>> From;
  std::unique_ptr<TVelqorimExpression> Where, Having;
  std::vector<std::unique_ptr<TVelqorimExpression>> GroupBy;
  int WhereTokenNo = -1;  // where the WHERE condition begins, to read it again for a live result
  std::vector<TVelqorimSelectListItem> Aliases;  // select-list aliases that WHERE and HAVING may use
};

struct TQueryNode {
  std::unique_ptr<TSelect> Select;  // a leaf
  std::unique_ptr<TQueryNode> Left, Right;
  TABSUnionType UnionType = autUnion;
  bool All = false;
};

}  // namespace

// SELECT ... INTO and the query component: a new table of the result's visible
// columns holds its rows.
int64_t CopyResultIntoTable(TVelqorimAOBase& Result, const String& Database, const String& Table) {
  auto isText = [](TABSAdvancedFieldType T) {
    return T == aftChar || T == aftString || T == aftWideChar || T == aftWideString;
  };
  TOpenTable t(Database, Table);
  if (t.Exists()) throw EABSException(30247, "Cannot create table. Table '%s' already exists", {Table});
  TVelqorimFieldDefs fields;
  std::vector<size_t> columns;
  for (size_t i = 0; i < Result.Columns.size(); ++i) {
    const TVelqorimAOColumn& c = Result.Columns[i];
    if (c.Hidden) continue;
    TABSAdvancedFieldType type = c.Type;
    // A computed column whose type shows only in its values takes the first value's type.
    if (type == aftUnknown)
      for (const auto& r : Result.Rows)
        if (!r[i].IsNull()) {
          type = BaseFieldTypeToAdvancedFieldType(r[i].DataType());
          break;
        }
    if (type == aftUnknown) type = aftInteger;
    int size = c.Size;
    if (isText(type)) {
      size = std::max(size, 1);
      for (const auto& r : Result.Rows)
        if (!r[i].IsNull()) size = std::max(size, r[i].StrLen());
    }
    auto* d = fields.AddCreated();
    d->Name = fields.GetDefNumberByName(c.FieldName) < 0 ? c.FieldName : c.FieldName + "_" + std::to_string(i);
    d->SetFieldDefDataType(type, isText(type) || type == aftBytes || type == aftVarBytes ? size : 0);
    columns.push_back(i);
  }
  TVelqorimIndexDefs indexes;
  TVelqorimConstraintDefs constraints;
  t.cursor.CreateTable(fields, indexes, constraints);
  t.Open();
  int64_t count = 0;
  for (const auto& r : Result.Rows) {
    t.cursor.InternalInitRecord(t.record, true);
    for (size_t k = 0; k < columns.size(); ++k) {
      TABSVariant v;
      v.Assign(r[columns[k]], true);
      t.cursor.SetFieldValue(v, static_cast<int>(k), true);
    }
    t.cursor.InternalPost(true);
    t.Check("insert");
    count++;
  }
  return count;
}

// One query expression: SELECTs joined by set operators, with its ORDER BY.
class TVelqorimSQLUnion : public TVelqorimSQLCommand {
 public:
  TVelqorimSQLUnion(TVelqorimLexer* Lexer, TVelqorimSQLProcessor* P, bool Nested)
      : TVelqorimSQLCommand(Lexer, P), FNested(Nested) {}
  void Parse() override {
    FRoot = ParseQueryExpression();
    if (!FRoot->Select && HasInto(*FRoot))
      throw EABSException(20272,
                          "UNION subselect cannot contain INTO caluse. Use SELECT * INTO table FROM (select ... union "
                          "select ...) instead");
    if (IsWord("ORDER")) ParseOrderBy(FOrder);
    if (!FNested) CheckEnd(20260);
  }
  // Builds the operator tree; outer references of a subquery bind to ParentQueryAO.
  std::unique_ptr<TVelqorimAOBase> BuildAOTree(TVelqorimAO* ParentQueryAO) {
    if (FRoot->Select) return BuildSelect(*FRoot->Select, ParentQueryAO, &FOrder);
    auto root = BuildNode(*FRoot, ParentQueryAO);
    for (auto& o : FOrder) {
      TVelqorimAOSortKey k;
      k.Descending = o.Descending;
      k.Column = o.Ordinal > 0 ? o.Ordinal - 1 : ResultColumnOf(*root, o.Expr.get());
      if (k.Column < 0 || k.Column >= static_cast<int>(root->Columns.size()))
        throw EABSException(30186, "ORDER BY item of a set operation must name a result column");
      root->FinalOrder.push_back(k);
    }
    return root;
  }
  void ExecSQL() override {
    const String into = FRoot->Select ? FRoot->Select->IntoTable : String();
    const bool intoMemory = FRoot->Select && FRoot->Select->IntoMemory;
    FResult.reset();
    FLive.reset();
    if (!FNested) Processor->FReadOnly = true;
    if (!FNested && Processor->FRequestLive && PrepareLive()) {
      Processor->FReadOnly = false;
      return;
    }
    FResult = BuildAOTree(nullptr);
    FResult->Run();
    if (!into.empty()) CopyInto(intoMemory ? String("MEMORY") : DatabaseOf(Processor), into);
  }
  TVelqorimAOBase* GetResult() override { return FResult.get(); }
  const TVelqorimLiveResult* GetLiveResult() override { return FLive.get(); }

 private:
  // A SELECT whose rows are those of its one base table, columns picked and
  // renamed but not computed, left on that table (FLive) instead of copied.
  // The usual operator tree is built, not run, to check the statement's names.
  bool PrepareLive() {
    if (!FRoot->Select) return false;
    TSelect& s = *FRoot->Select;
    if (!s.IntoTable.empty() || s.Distinct || s.Top >= 0 || s.FirstRow > 1 || !s.GroupBy.empty() || s.Having ||
        s.From.size() != 1 || s.From[0]->Type != TTableRef::Table || (s.Where && HasSubquery(s.Where->Root())))
      return false;
    auto live = std::make_unique<TVelqorimLiveResult>();
    live->TableName = s.From[0]->Name;
    const bool everyColumn = s.Items.size() == 1 && s.Items[0].AllFields;
    std::vector<String> names;  // the result's column names, as the operator tree gives them
    std::vector<String> columns;  // the table column behind each
    for (auto& it : s.Items) {
      if (everyColumn) break;
      if (it.AllFields || !it.Expr->IsField()) return false;
      String table, field;
      it.Expr->GetFieldInfo(table, field);
      String name = it.Alias.empty() ? field : it.Alias;
      int repeats = 0;
      for (const String& n : names)
        if (UpperCase(n) == UpperCase(name)) repeats++;
      // A repeated name gets a number, as a computed result's does.
      String alias = repeats > 0 ? name + "_" + std::to_string(repeats) : it.Alias;
      names.push_back(repeats > 0 ? alias : name);
      columns.push_back(field);
      live->Fields.Add(field);
      live->Aliases.Add(alias);
    }
    // The order: result columns by number or name, else columns of the table.
    // Numbers into "*" are the table's columns, known once the tree is built.
    std::vector<std::pair<int, int>> numbered;  // (order entry, column number)
    for (const TOrderItem& o : FOrder) {
      String field;
      if (o.Ordinal > 0 && everyColumn) {
        numbered.push_back({live->OrderFields.Count(), o.Ordinal});
      } else if (o.Ordinal > 0) {
        if (o.Ordinal > static_cast<int>(columns.size()))
          throw EABSException(30187, "ORDER BY column number %d is out of range", {o.Ordinal});
        field = columns[static_cast<size_t>(o.Ordinal - 1)];
      } else {
        if (!o.Expr->IsField()) return false;
        String table;
        o.Expr->GetFieldInfo(table, field);
        for (size_t i = 0; i < names.size(); ++i)
          if (table.empty() && UpperCase(names[i]) == UpperCase(field)) {
            field = columns[i];
            break;
          }
      }
      live->OrderFields.Add(field);
      live->OrderAscDesc.Add(o.Descending ? "DESC" : "ASC");
      live->OrderCase.Add("CASE");
    }
    // Built to raise what the statement names wrongly; reads no row.
    const std::unique_ptr<TVelqorimAOBase> tree = BuildAOTree(nullptr);
    for (const auto& [entry, number] : numbered)
      live->OrderFields.SetStrings(entry, tree->Columns.at(static_cast<size_t>(number - 1)).FieldName);
    if (s.WhereTokenNo >= 0) {
      // The condition was given to the tree: read it again for the table.
      const int at = LLex->GetCurrentTokenNo();
      LLex->SetCurrentTokenNo(s.WhereTokenNo);
      GetCurrentToken();
      FLiveFilter = ParseCondition();
      FLiveFilter->ReplacePseudonyms(s.Aliases);
      LLex->SetCurrentTokenNo(at);
      GetCurrentToken();
      live->Filter = FLiveFilter.get();
    }
    FLive = std::move(live);
    return true;
  }

  static bool HasInto(const TQueryNode& N) {
    if (N.Select) return !N.Select->IntoTable.empty();
    return HasInto(*N.Left) || HasInto(*N.Right);
  }
  void CopyInto(const String& Database, const String& Table) {
    RowsAffected += CopyResultIntoTable(*FResult, Database, Table);
  }

  // The operator word has been read: ALL / DISTINCT, then the right operand.
  std::unique_ptr<TQueryNode> SetOperation(std::unique_ptr<TQueryNode> Left, TABSUnionType Type,
                                           std::unique_ptr<TQueryNode> (TVelqorimSQLUnion::*Operand)()) {
    auto n = std::make_unique<TQueryNode>();
    n->UnionType = Type;
    if (IsWord("ALL")) {
      n->All = true;
      GetNextToken();
    } else if (IsWord("DISTINCT")) {
      GetNextToken();
    }
    n->Left = std::move(Left);
    n->Right = (this->*Operand)();
    return n;
  }
  // Every set operation of a chain is one level more of the tree it builds.
  std::unique_ptr<TQueryNode> ParseQueryTerm() {
    // INTERSECT binds tighter than UNION and EXCEPT.
    TVelqorimNesting nesting(*LLex);
    auto left = ParseQueryPrimary();
    while (IsWord("INTERSECT")) {
      nesting.Enter(Token);
      GetNextToken();
      left = SetOperation(std::move(left), autIntersect, &TVelqorimSQLUnion::ParseQueryPrimary);
    }
    return left;
  }
  std::unique_ptr<TQueryNode> ParseQueryExpression() {
    TVelqorimNesting nesting(*LLex, Token);
    auto left = ParseQueryTerm();
    while (IsWord("UNION") || IsWord("EXCEPT") || IsWord("MINUS")) {
      nesting.Enter(Token);
      const TABSUnionType type = IsWord("UNION") ? autUnion : autExcept;
      GetNextToken();
      left = SetOperation(std::move(left), type, &TVelqorimSQLUnion::ParseQueryTerm);
    }
    return left;
  }
  std::unique_ptr<TQueryNode> ParseQueryPrimary() {
    if (IsKind(tktLeftParenthesis)) {
      GetNextToken();
      auto n = ParseQueryExpression();
      if (!IsKind(tktRightParenthesis)) Unexpected(30492, "')'");
      GetNextToken();
      return n;
    }
    auto n = std::make_unique<TQueryNode>();
    n->Select = ParseSelect();
    return n;
  }

  std::unique_ptr<TSelect> ParseSelect() {
    if (Token.TokenType == tktNone) throw EABSException(30155, "Blank SQL command");
    if (!IsWord("SELECT"))
      throw EABSException(30194, "Token '%s' expected, but '%s' found at line %d, column %d",
                          {String("SELECT"), Token.Text, Token.LineNum, Token.ColumnNum});
    GetNextToken();
    auto s = std::make_unique<TSelect>();
    for (;;) {
      if (IsWord("DISTINCT")) {
        s->Distinct = true;
        GetNextToken();
      } else if (IsWord("ALL")) {
        GetNextToken();
      } else if (IsWord("TOP")) {
        GetNextToken();
        s->Top = ParseCount(30158);
        if (IsKind(tktComma)) {
          GetNextToken();
          s->FirstRow = ParseCount(30159);
        }
      } else {
        break;
      }
    }
    // Select list.
    for (;;) {
      TSelectItem item;
      if (IsKind(tktString) && Token.Text == "*") {
        item.AllFields = true;
        GetNextToken();
      } else {
        TToken next;
        TToken afterDot;
        if ((NameKinds & TokenTypeBit(Token.TokenType)) && LLex->LookNextToken(next) && next.TokenType == tktDot) {
          // t.* ?
          const int at = LLex->GetCurrentTokenNo();
          LLex->SetCurrentTokenNo(at + 2);
          LLex->GetCurrentToken(afterDot);
          LLex->SetCurrentTokenNo(at);
          if (afterDot.Text == "*" && afterDot.TokenType != tktQuotedString) {
            item.AllFields = true;
            item.AllTable = Token.Text;
            LLex->SetCurrentTokenNo(at + 3);
            GetCurrentToken();
          }
        }
        if (!item.AllFields) {
          item.CommandNo = LLex->CurrentCommandNo;
          item.TokenNo = LLex->GetCurrentTokenNo();
          item.Expr = ParseValueExpression();
          if (IsWord("AS")) {
            GetNextToken();
            item.Alias = ParseName(30162, "Field pseudonym");
          } else if (IsKind(tktString) || IsKind(tktBracketedString)) {
            if (!IsWord("FROM") && !IsWord("INTO")) item.Alias = ParseName(30162, "Field pseudonym");
          }
        }
      }
      s->Items.push_back(std::move(item));
      if (!IsKind(tktComma)) break;
      GetNextToken();
    }
    if (IsWord("INTO")) {
      GetNextToken();
      if (IsWord("MEMORY")) {
        s->IntoMemory = true;
        GetNextToken();
        if (IsWord("IMMEDIATE")) GetNextToken();
      }
      s->IntoTable = ParseName(30165, "Table name");
      if (IsKind(tktDot)) {
        GetNextToken();
        s->IntoTable = ParseName(30166, "Table name");
      }
    }
    if (IsWord("FROM")) {
      GetNextToken();
      TVelqorimNesting joins(*LLex);  // the list becomes a chain of joins
      for (;;) {
        s->From.push_back(ParseJoinedTable());
        if (!IsKind(tktComma)) break;
        joins.Enter(Token);
        GetNextToken();
      }
    }
    // Aliases of plain columns may stand for them in WHERE and HAVING (not after "*").
    std::vector<TVelqorimSelectListItem>& aliases = s->Aliases;
    for (auto& it : s->Items) {
      if (it.AllFields) {
        aliases.clear();
        break;
      }
      TVelqorimSelectListItem a;
      a.Pseudonym = it.Alias;
      a.IsExpression = !it.Expr->IsField();
      if (!a.IsExpression) it.Expr->GetFieldInfo(a.TableName, a.FieldName);
      if (!a.Pseudonym.empty()) aliases.push_back(a);
    }
    if (IsWord("WHERE")) {
      GetNextToken();
      s->WhereTokenNo = LLex->GetCurrentTokenNo();
      s->Where = ParseCondition();
      s->Where->ReplacePseudonyms(aliases);
    }
    if (IsWord("GROUP")) {
      GetNextToken();
      ExpectWord("BY", 30185);
      for (;;) {
        s->GroupBy.push_back(ParseValueExpression());
        if (!IsKind(tktComma)) break;
        GetNextToken();
      }
    }
    if (IsWord("HAVING")) {
      GetNextToken();
      s->Having = ParseCondition();
      s->Having->ReplacePseudonyms(aliases);
    }
    return s;
  }

  int64_t ParseCount(int ErrorCode) {
    if (!IsKind(tktParameter) || !Token.ParamValue) return ParseInteger(0, INT64_MAX, ErrorCode, ErrorCode);
    const int64_t n = Token.ParamValue->GetAsInt64();
    GetNextToken();
    return n;
  }

  std::unique_ptr<TTableRef> ParseTableReference() {
    TVelqorimNesting nesting(*LLex, Token);
    auto r = std::make_unique<TTableRef>();
    if (IsKind(tktLeftParenthesis)) {
      GetNextToken();
      if (IsWord("SELECT") || IsKind(tktLeftParenthesis)) {
        r->Type = TTableRef::SubQuery;
        r->Sub = ParseQueryExpression();
      } else {
        r = ParseJoinedTable();
      }
      if (!IsKind(tktRightParenthesis)) Unexpected(30179, "')'");
      GetNextToken();
    } else {
      if (IsWord("MEMORY")) GetNextToken();
      r->Name = ParseName(30176, "Table name");
      if (IsKind(tktDot)) {
        GetNextToken();
        r->Name = ParseName(30166, "Table name");
      }
    }
    if (IsWord("AS")) {
      GetNextToken();
      r->Alias = ParseName(30162, "Table pseudonym");
    } else if ((IsKind(tktString) || IsKind(tktBracketedString)) && !IsClauseWord()) {
      r->Alias = ParseName(30162, "Table pseudonym");
    }
    if (r->Type == TTableRef::SubQuery && r->Alias.empty()) r->Alias = "SUBQUERY";
    return r;
  }
  bool IsClauseWord() const {
    static const char* words[] = {"WHERE", "GROUP", "HAVING", "ORDER", "UNION", "EXCEPT", "MINUS", "INTERSECT",
                                  "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "ON", "USING",
                                  "OUTER", "PASSWORD"};
    for (const char* w : words)
      if (IsWord(w)) return true;
    return false;
  }
  std::unique_ptr<TTableRef> ParseJoinedTable() {
    TVelqorimNesting nesting(*LLex);
    auto left = ParseTableReference();
    for (;;) {
      bool natural = false;
      TABSJoinType type = ajtInner;
      if (IsWord("NATURAL")) {
        natural = true;
        GetNextToken();
      }
      if (IsWord("CROSS")) {
        type = ajtCross;
        GetNextToken();
      } else if (IsWord("INNER")) {
        GetNextToken();
      } else if (IsWord("LEFT") || IsWord("RIGHT") || IsWord("FULL")) {
        type = IsWord("LEFT") ? ajtLeftOuter : IsWord("RIGHT") ? ajtRightOuter : ajtFullOuter;
        GetNextToken();
        if (IsWord("OUTER")) GetNextToken();
      } else if (!IsWord("JOIN")) {
        if (natural) Unexpected(30168, "JOIN");
        return left;
      }
      nesting.Enter(Token);
      ExpectWord("JOIN", 30175);
      auto j = std::make_unique<TTableRef>();
      j->Type = TTableRef::Joined;
      j->JoinType = type;
      j->Natural = natural;
      j->Left = std::move(left);
      j->Right = ParseTableReference();
      if (IsWord("ON")) {
        GetNextToken();
        j->On = ParseCondition();
      } else if (IsWord("USING")) {
        GetNextToken();
        if (!IsKind(tktLeftParenthesis)) Unexpected(30167, "'('");
        GetNextToken();
        for (;;) {
          j->Using.push_back(ParseName(30179, "Field name"));
          if (!IsKind(tktComma)) break;
          GetNextToken();
        }
        if (!IsKind(tktRightParenthesis)) Unexpected(30167, "')'");
        GetNextToken();
      }
      left = std::move(j);
    }
  }

  void ParseOrderBy(std::vector<TOrderItem>& Order) {
    GetNextToken();
    ExpectWord("BY", 30184);
    for (;;) {
      TOrderItem o;
      if (IsKind(tktInt)) {
        TToken next;
        const bool alone = !LLex->LookNextToken(next) || next.TokenType == tktComma || UpperCase(next.Text) == "ASC" ||
                           UpperCase(next.Text) == "DESC";
        if (alone) {
          errno = 0;
          const long long n = std::strtoll(Token.Text.c_str(), nullptr, 10);
          if (errno == ERANGE || n > INT32_MAX)
            throw EABSException(30187, "ORDER BY column number %s is out of range", {Token.Text});
          o.Ordinal = static_cast<int>(n);
          GetNextToken();
        }
      }
      if (o.Ordinal == 0) o.Expr = ParseValueExpression();
      if (IsWord("ASC")) {
        GetNextToken();
      } else if (IsWord("DESC")) {
        o.Descending = true;
        GetNextToken();
      }
      Order.push_back(std::move(o));
      if (!IsKind(tktComma)) break;
      GetNextToken();
    }
  }

  // A result column named by an ORDER BY expression that is a plain name; -1 otherwise.
  static int ResultColumnOf(TVelqorimAOBase& AO, TVelqorimExpression* Expr) {
    if (!Expr || !Expr->IsField()) return -1;
    String table, field;
    Expr->GetFieldInfo(table, field);
    std::vector<int> hits;
    AO.FieldExists(field, table, false, &hits, false, false);
    if (hits.empty() && !table.empty()) AO.FieldExists(field, String(), false, &hits, false, false);
    return hits.empty() ? -1 : hits[0];
  }

  std::unique_ptr<TVelqorimAOBase> BuildNode(TQueryNode& N, TVelqorimAO* ParentQueryAO) {
    if (N.Select) return BuildSelect(*N.Select, ParentQueryAO, nullptr);
    auto left = BuildNode(*N.Left, ParentQueryAO);
    auto right = BuildNode(*N.Right, ParentQueryAO);
    auto u = std::make_unique<TVelqorimAOUnion>(std::move(left), std::move(right), N.UnionType, !N.All);
    u->ParentQueryAO = ParentQueryAO;
    return u;
  }

  std::unique_ptr<TVelqorimAOBase> BuildTableRef(TTableRef& R, TVelqorimAO* ParentQueryAO) {
    std::unique_ptr<TVelqorimAOBase> ao;
    if (R.Type == TTableRef::Table) {
      ao = std::make_unique<TVelqorimAOTable>(DatabaseOf(Processor), R.Name, R.Alias);
    } else if (R.Type == TTableRef::SubQuery) {
      auto inner = R.Sub->Select ? BuildSelect(*R.Sub->Select, ParentQueryAO, nullptr) : BuildNode(*R.Sub, ParentQueryAO);
      ao = std::make_unique<TVelqorimAOSubquery>(std::move(inner), R.Alias);
    } else {
      auto left = BuildTableRef(*R.Left, ParentQueryAO);
      auto right = BuildTableRef(*R.Right, ParentQueryAO);
      // NATURAL joins on the common names, USING on the names given.
      std::vector<String> names = R.Using;
      if (R.Natural)
        for (const auto& c : left->Columns)
          if (right->FieldExists(c.FieldName, String(), false, nullptr, false, false) > 0) names.push_back(c.FieldName);
      if (!names.empty() && !R.On) {
        String text;
        for (const String& n : names) {
          if (!text.empty()) text += " AND ";
          std::vector<int> l, r;
          left->FieldExists(n, String(), false, &l, false, false);
          right->FieldExists(n, String(), false, &r, false, false);
          if (l.empty() || r.empty()) throw EABSException(30197, "Field '%s' not found", {n});
          text += "\"" + left->Columns[static_cast<size_t>(l[0])].TableName + "\".\"" + n + "\" = \"" +
                  right->Columns[static_cast<size_t>(r[0])].TableName + "\".\"" + n + "\"";
        }
        FOwnedLexers.push_back(std::make_unique<TVelqorimLexer>(text, true));
        TVelqorimLexer* lex = FOwnedLexers.back().get();
        lex->GetNextCommand();
        R.On = std::make_unique<TVelqorimExpression>();
        lex->GetCurrentToken(R.On->Token);
        R.On->ParseForBooleanExpression(nullptr, lex);
      }
      if (R.On && R.On->IsAggregated()) throw EABSException(20270, "ON condition for JOIN is not applicable");
      TABSJoinType type = R.JoinType;
      if (type == ajtInner && !R.On) type = ajtCross;
      auto j = std::make_unique<TVelqorimAOJoin>(std::move(left), std::move(right), type);
      j->ParentQueryAO = ParentQueryAO;
      if (R.On) {
        j->AddKeysFrom(*R.On);
        if (j->IsOuterJoin()) j->SetJoinCondition(std::move(R.On));
        else j->SetFilter(std::move(R.On));
      }
      ao = std::move(j);
    }
    ao->ParentQueryAO = ParentQueryAO;
    return ao;
  }

  std::unique_ptr<TVelqorimAOBase> BuildSelect(TSelect& S, TVelqorimAO* ParentQueryAO,
                                               std::vector<TOrderItem>* Order) {
    std::unique_ptr<TVelqorimAOBase> root;
    std::vector<std::unique_ptr<TVelqorimAOBase>> refs;
    for (auto& ref : S.From) refs.push_back(BuildTableRef(*ref, ParentQueryAO));
    const std::vector<size_t> joinOrder = JoinOrder(refs, S.Where.get());
    std::vector<size_t> firstColumn(refs.size()), columnCount(refs.size());
    size_t columns = 0;
    for (size_t i : joinOrder) {
      firstColumn[i] = columns;
      columnCount[i] = refs[i]->Columns.size();
      columns += columnCount[i];
      if (!root) {
        root = std::move(refs[i]);
        continue;
      }
      auto j = std::make_unique<TVelqorimAOJoin>(std::move(root), std::move(refs[i]), ajtInner);
      j->ParentQueryAO = ParentQueryAO;
      if (S.Where) j->AddKeysFrom(*S.Where);
      root = std::move(j);
    }
    if (!root) root = std::make_unique<TVelqorimAOSubquery>(std::make_unique<TOneRow>(), "");
    root->ParentQueryAO = ParentQueryAO;
    if (S.Where) {
      // A part without subqueries that one input alone answers filters that input's rows early.
      TVelqorimExpression& w = *S.Where;
      std::vector<std::unique_ptr<TVelqorimExpression>> parts;
      TVelqorimExprNode* top = w.Root();
      if (top && top->Operator == doAND && dynamic_cast<TVelqorimExprNodeBoolean*>(top)) {
        for (auto& c : top->Children) parts.push_back(std::make_unique<TVelqorimExpression>(std::move(c)));
        w.ReleaseRoot();
      } else {
        parts.push_back(std::move(S.Where));
      }
      for (auto& p : parts) {
        // Aggregates have no value for a row.
        if (p->IsAggregated()) throw EABSException(30144, "Search condition is not applicable");
        if (!HasSubquery(p->Root()) && PushDown(*root, p, ParentQueryAO)) continue;
        root->SetFilter(std::move(p));
      }
      S.Where.reset();
    }
    // Columns come in the order of FROM whatever order the tables joined in.
    if (!std::is_sorted(joinOrder.begin(), joinOrder.end())) {
      std::vector<size_t> order;
      for (size_t i = 0; i < firstColumn.size(); ++i)
        for (size_t c = 0; c < columnCount[i]; ++c) order.push_back(firstColumn[i] + c);
      root = std::make_unique<TVelqorimAOColumnOrder>(std::move(root), std::move(order));
      root->ParentQueryAO = ParentQueryAO;
    }
    // Select list.
    bool grouping = !S.GroupBy.empty();
    for (auto& it : S.Items)
      if (it.Expr && it.Expr->IsAggregated()) grouping = true;
    // HAVING filters groups: without any it would be quietly ignored.
    if (S.Having && !grouping) throw EABSException(20244, "'Having' condition is not applicable");
    if (grouping) CheckGrouping(S, *root, ParentQueryAO);
    std::vector<TVelqorimAOTableExpr::Item> items;
    std::vector<String> names;
    for (auto& it : S.Items) {
      if (it.AllFields) {
        for (const auto& c : root->Columns) {
          if (c.Hidden || (!it.AllTable.empty() && UpperCase(c.TableName) != UpperCase(it.AllTable))) continue;
          items.push_back({FieldExpression(c.TableName, c.FieldName), c.FieldName, c.TableName, false});
        }
        continue;
      }
      String name = it.Alias, table;
      if (name.empty()) {
        if (it.Expr->IsField()) it.Expr->GetFieldInfo(table, name);
        else name = "EXPR" + std::to_string(items.size() + 1);
      }
      if (!it.Alias.empty()) table.clear();
      items.push_back({std::move(it.Expr), name, table, false});
    }
    // A repeated name gets a number.
    for (size_t i = 0; i < items.size(); ++i) {
      int n = 0;
      for (size_t k = 0; k < i; ++k)
        if (UpperCase(items[k].Name) == UpperCase(items[i].Name)) n++;
      if (n > 0) items[i].Name += "_" + std::to_string(n);
    }
    // ORDER BY: ordinals and names of result columns, else hidden computed columns.
    std::vector<TVelqorimAOSortKey> keys;
    if (Order) {
      for (auto& o : *Order) {
        TVelqorimAOSortKey k;
        k.Descending = o.Descending;
        if (o.Ordinal > 0) {
          if (o.Ordinal > static_cast<int>(items.size()))
            throw EABSException(30187, "ORDER BY column number %d is out of range", {o.Ordinal});
          k.Column = o.Ordinal - 1;
        } else {
          int col = -1;
          if (o.Expr->IsField()) {
            String table, field;
            o.Expr->GetFieldInfo(table, field);
            for (size_t i = 0; i < items.size() && col < 0; ++i)
              if (UpperCase(items[i].Name) == UpperCase(field) &&
                  (table.empty() || UpperCase(items[i].TableName) == UpperCase(table)))
                col = static_cast<int>(i);
          }
          if (col < 0) {
            col = static_cast<int>(items.size());
            items.push_back({std::move(o.Expr), "ORDER" + std::to_string(col), String(), true});
          }
          k.Column = col;
        }
        keys.push_back(k);
      }
    }
    std::unique_ptr<TVelqorimAOBase> top = std::make_unique<TVelqorimAOTableExpr>(
        std::move(root), std::move(items), grouping, std::move(S.GroupBy), std::move(S.Having));
    top->FinalDistinct = S.Distinct;
    top->FinalOrder = keys;
    if (S.Top >= 0 || S.FirstRow > 1) {
      auto t = std::make_unique<TVelqorimAOSQLTopRowCount>(std::move(top));
      t->SetTopRowCount(S.FirstRow, S.Top);
      top = std::move(t);
    }
    return top;
  }

  // GROUP BY items name columns of Input, or aliases of select items (a
  // column's, or a computed one's, whose text is read again to group by);
  // every visible select item must then be one value per group: a group
  // column, an aggregate, or computed from those only.
  void CheckGrouping(TSelect& S, TVelqorimAOBase& Input, TVelqorimAO* ParentQueryAO) {
    std::vector<String> groupNames;  // upper case
    std::vector<int> groupColumns;
    for (size_t i = 0; i < S.GroupBy.size(); ++i) {
      std::unique_ptr<TVelqorimExpression>& g = S.GroupBy[i];
      if (!g->IsField()) {
        // An expression groups by itself; its columns count as grouped.
        CollectFieldNames(g->Root(), groupNames);
        continue;
      }
      String table, field;
      g->GetFieldInfo(table, field);
      std::vector<int> hits;
      int found = Input.FieldExists(field, table, false, &hits, false, false);
      if (found == 0 && table.empty())
        for (TSelectItem& it : S.Items) {
          if (it.AllFields || UpperCase(it.Alias) != UpperCase(field) || it.Expr->IsAggregated()) continue;
          if (it.Expr->IsField()) {
            it.Expr->GetFieldInfo(table, field);
            g = FieldExpression(table, field);
            found = Input.FieldExists(field, table, false, &hits, false, false);
          } else {
            g = ReadAgain(it);
            CollectFieldNames(g->Root(), groupNames);
            found = 1;
          }
          break;
        }
      if (found == 0)
        throw EABSException(20245,
                            "Invalid field for 'GROUP BY.' Table name = '%s', FieldName = '%s', i = %d, "
                            "FieldExists = %d",
                            {table, field, static_cast<int>(i), found});
      for (int h : hits) {
        groupColumns.push_back(h);
        groupNames.push_back(UpperCase(Input.Columns[static_cast<size_t>(h)].FieldName));
      }
    }
    for (size_t i = 0; i < S.Items.size(); ++i) {
      TSelectItem& it = S.Items[i];
      if (it.AllFields || it.Expr->IsAggregated()) continue;
      if (!it.Expr->IsField()) {
        if (!UsableWithGroups(it.Expr->Root(), groupNames, Input)) {
          const String name = "EXPR" + std::to_string(i + 1);
          throw EABSException(20269,
                              "Expression (Name=\"%s\", DisplayName=\"%s\") cannot be used with GROUP BY. Possibly "
                              "expression is not aggregate, but it uses fields not included into group fields",
                              {name, it.Alias.empty() ? name : it.Alias});
        }
        continue;
      }
      String table, field;
      it.Expr->GetFieldInfo(table, field);
      std::vector<int> hits;
      if (Input.FieldExists(field, table, false, &hits, false, false) == 0) {
        // A column of the enclosing query is one value here.
        if (ParentQueryAO && ParentQueryAO->FieldExists(field, table, false, nullptr, false, false) > 0) continue;
        throw EABSException(10341, "Cannot find field %s in table %s", {field, table});
      }
      const int no = hits[0];
      const String& name = Input.Columns[static_cast<size_t>(no)].FieldName;
      if (std::find(groupColumns.begin(), groupColumns.end(), no) == groupColumns.end() &&
          std::find(groupNames.begin(), groupNames.end(), UpperCase(name)) == groupNames.end())
        throw EABSException(10342,
                            "Field is not included in GROUP BY list. Table name = '%s', Field name = '%s', "
                            "FieldNo = %d, Found field name = '%s'",
                            {table, field, no, name});
    }
  }
  static void CollectFieldNames(TVelqorimExprNode* Node, std::vector<String>& Names) {
    if (!Node) return;
    if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node)) Names.push_back(UpperCase(f->FieldName()));
    for (auto& c : Node->Children) CollectFieldNames(c.get(), Names);
  }
  // Whether every column Node reads outside aggregates and subqueries is a
  // group column (or not one of Input's: the enclosing query's).
  static bool UsableWithGroups(TVelqorimExprNode* Node, const std::vector<String>& GroupNames,
                               TVelqorimAOBase& Input) {
    if (!Node || Node->IsAggregated() || dynamic_cast<TVelqorimExprNodeSubquery*>(Node)) return true;
    if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node))
      return std::find(GroupNames.begin(), GroupNames.end(), UpperCase(f->FieldName())) != GroupNames.end() ||
             Input.FieldExists(f->FieldName(), f->TableName(), false, nullptr, false, false) == 0;
    for (auto& c : Node->Children)
      if (!UsableWithGroups(c.get(), GroupNames, Input)) return false;
    return true;
  }
  // The select item's expression parsed again from its text.
  std::unique_ptr<TVelqorimExpression> ReadAgain(const TSelectItem& It) {
    const int command = LLex->CurrentCommandNo, token = LLex->GetCurrentTokenNo();
    LLex->CurrentCommandNo = It.CommandNo;
    LLex->SetCurrentTokenNo(It.TokenNo);
    GetCurrentToken();
    // New nested queries: the item's own are bound to its expression.
    LLex->ParsedQueries.clear();
    std::unique_ptr<TVelqorimExpression> e;
    try {
      e = ParseValueExpression();
      LLex->ParsedQueries.clear();
    } catch (...) {
      LLex->ParsedQueries.clear();
      LLex->CurrentCommandNo = command;
      LLex->SetCurrentTokenNo(token);
      GetCurrentToken();
      throw;
    }
    LLex->CurrentCommandNo = command;
    LLex->SetCurrentTokenNo(token);
    GetCurrentToken();
    return e;
  }

  // The order the tables of a FROM list join in: FROM's own order, except
  // that a table no equality of Where ties to the tables before it waits
  // until one does (the first table in FROM order that one ties joins
  // next), so that a long list never builds a cross product that the
  // conditions would have avoided.
  static std::vector<size_t> JoinOrder(std::vector<std::unique_ptr<TVelqorimAOBase>>& Refs,
                                       TVelqorimExpression* Where) {
    const size_t n = Refs.size();
    std::vector<size_t> order;
    std::vector<std::vector<size_t>> ties(n);
    TVelqorimExprNode* top = Where ? Where->Root() : nullptr;
    std::vector<TVelqorimExprNode*> parts;
    if (top && top->Operator == doAND && dynamic_cast<TVelqorimExprNodeBoolean*>(top))
      for (auto& c : top->Children) parts.push_back(c.get());
    else if (top)
      parts.push_back(top);
    // The one table a column names, or n.
    auto tableOf = [&](TVelqorimExprNode* Node) {
      auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node);
      size_t found = n;
      if (!f) return n;
      for (size_t i = 0; i < n; ++i)
        if (Refs[i]->FieldExists(f->FieldName(), f->TableName(), false, nullptr, false, false) > 0) {
          if (found != n) return n;
          found = i;
        }
      return found;
    };
    if (n > 2)
      for (TVelqorimExprNode* p : parts) {
        auto* cmp = dynamic_cast<TVelqorimExprNodeComparison*>(p);
        if (!cmp || cmp->Operator != doEQ || cmp->FQuantifier != qUNDEFINED || cmp->ChildCount() != 2) continue;
        const size_t a = tableOf(cmp->Child(0)), b = tableOf(cmp->Child(1));
        if (a == n || b == n || a == b) continue;
        ties[a].push_back(b);
        ties[b].push_back(a);
      }
    std::vector<char> joined(n, 0), tied(n, 0);
    for (size_t step = 0; step < n; ++step) {
      size_t next = n;
      for (size_t i = 0; i < n && next == n; ++i)
        if (!joined[i] && tied[i]) next = i;
      for (size_t i = 0; i < n && next == n; ++i)
        if (!joined[i]) next = i;
      joined[next] = 1;
      order.push_back(next);
      for (size_t t : ties[next]) tied[t] = 1;
    }
    return order;
  }

  // Attaches Part to the deepest input of a non-outer join tree that binds it.
  static bool PushDown(TVelqorimAOBase& AO, std::unique_ptr<TVelqorimExpression>& Part, TVelqorimAO* ParentQueryAO) {
    auto* j = dynamic_cast<TVelqorimAOJoin*>(&AO);
    if (!j || j->IsOuterJoin()) return false;
    for (TVelqorimAO* side : {j->GetLeftAO(), j->GetRightAO()}) {
      auto* s = static_cast<TVelqorimAOBase*>(side);
      if (PushDown(*s, Part, ParentQueryAO)) return true;
      if (!ResolvesIn(Part->Root(), *s)) continue;
      s->SetFilter(std::move(Part));
      return true;
    }
    (void)ParentQueryAO;
    return false;
  }

  // The single empty row of a SELECT without FROM.
  class TOneRow : public TVelqorimAOBase {
   public:
    void Execute() override {
      Rows.clear();
      Rows.emplace_back();
    }
  };

  bool FNested;
  std::unique_ptr<TQueryNode> FRoot;
  std::vector<TOrderItem> FOrder;
  std::unique_ptr<TVelqorimAOBase> FResult;
  std::unique_ptr<TVelqorimLiveResult> FLive;
  std::unique_ptr<TVelqorimExpression> FLiveFilter;
  std::vector<std::unique_ptr<TVelqorimLexer>> FOwnedLexers;
};

// ---------------------------------------------------------------------------
// Subqueries in expressions

namespace {

std::atomic<int64_t> SubqueryParses{0};

class TSQLSubquery : public TVelqorimSubquery {
 public:
  explicit TSQLSubquery(TVelqorimLexer& Lexer)
      : FLexer(Lexer),
        FProcessor(RunningProcessor),
        FCommandNo(Lexer.CurrentCommandNo),
        FTokenNo(Lexer.GetCurrentTokenNo()) {
    Parse();
  }
  bool Prepare(TVelqorimAO* ParentQueryAO) override {
    // An uncorrelated query binds nothing to its parent: one build serves every parent.
    if (FResult && (ParentQueryAO == FParent || !FCorrelated)) return FCorrelated;
    if (FError && ParentQueryAO == FParent) std::rethrow_exception(FError);
    // Building takes the parsed expressions into the operators: another
    // parent needs the text read again (a query's operators are bound once in
    // a statement, so this is rare).
    if (FResult || FError) Reparse();
    FResult.reset();
    FError = nullptr;
    FParent = ParentQueryAO;
    const int64_t before = ParentQueryAO ? ParentQueryAO->OuterReferences : 0;
    try {
      FResult = FQuery->BuildAOTree(ParentQueryAO);
    } catch (...) {
      FError = std::current_exception();
      throw;
    }
    FCorrelated = ParentQueryAO && ParentQueryAO->OuterReferences != before;
    return FCorrelated;
  }
  void Execute(TVelqorimAO* ParentQueryAO, TVelqorimExprCursor*) override {
    Prepare(ParentQueryAO);
    FResult->Run();
  }
  int FieldCount() override { return FResult->VisibleColumnCount(); }
  int64_t RecordCount() override { return static_cast<int64_t>(FResult->Rows.size()); }
  bool First() override {
    FRow = 0;
    return !FResult->Rows.empty();
  }
  bool Next() override { return ++FRow < FResult->Rows.size(); }
  void GetFieldValue(TABSVariant& Value, int FieldNo) override {
    Value.Assign(FResult->Rows.at(FRow).at(static_cast<size_t>(FieldNo)), true);
  }
  bool Locate(const TABSVariant& Value) override {
    if (Value.IsNull()) return false;
    for (auto& r : FResult->Rows)
      if (!r[0].IsNull() && CompareAOValues(r[0], Value) == 0) return true;
    return false;
  }
  bool IsAnyRecordMatchCondition(TABSDataOperator Op, const TABSVariant& Value) override {
    if (Value.IsNull()) return false;
    for (auto& r : FResult->Rows) {
      if (r[0].IsNull()) continue;
      const int c = CompareAOValues(r[0], Value);
      const bool m = Op == doEQ ? c == 0 : Op == doNE ? c != 0 : Op == doLT ? c < 0 : Op == doGT ? c > 0
                   : Op == doLE ? c <= 0 : c >= 0;
      if (m) return true;
    }
    return false;
  }
  TABSAdvancedFieldType GetFirstColumnType() override { return Built().Columns.at(0).Type; }
  int GetFirstColumnSize() override { return Built().Columns.at(0).Size; }

 private:
  void Parse() {
    SubqueryParses++;
    FQuery = std::make_unique<TVelqorimSQLUnion>(&FLexer, FProcessor, true);
    FQuery->Parse();
  }
  // Fresh objects throughout: the statement's parse is over, so no nested
  // query is taken from it.
  void Reparse() {
    const int command = FLexer.CurrentCommandNo, token = FLexer.GetCurrentTokenNo();
    FLexer.CurrentCommandNo = FCommandNo;
    FLexer.SetCurrentTokenNo(FTokenNo);
    FLexer.ParsedQueries.clear();
    try {
      Parse();
    } catch (...) {
      FLexer.ParsedQueries.clear();
      FLexer.CurrentCommandNo = command;
      FLexer.SetCurrentTokenNo(token);
      throw;
    }
    FLexer.ParsedQueries.clear();
    FLexer.CurrentCommandNo = command;
    FLexer.SetCurrentTokenNo(token);
  }
  TVelqorimAOBase& Built() {
    if (!FResult) Prepare(FParent);
    return *FResult;
  }
  TVelqorimLexer& FLexer;
  TVelqorimSQLProcessor* FProcessor;
  const int FCommandNo, FTokenNo;
  std::unique_ptr<TVelqorimSQLUnion> FQuery;
  std::unique_ptr<TVelqorimAOBase> FResult;
  TVelqorimAO* FParent = nullptr;
  std::exception_ptr FError;
  bool FCorrelated = false;
  size_t FRow = 0;
};

class TSQLAutoincSource : public TVelqorimAutoincSource {
 public:
  TSQLAutoincSource(const String& Table, const String& Column) : FTable(DatabaseOf(RunningProcessor), Table) {
    FTable.Open();
    FFieldNo = FTable.FieldNo(Column);
  }
  TABSAdvancedFieldType ColumnType() override {
    return static_cast<TVelqorimFieldDef*>(FTable.cursor.FieldDefs.GetDef(FFieldNo))->AdvancedFieldType;
  }
  int64_t LastAutoincValue() override { return FTable.cursor.LastAutoincValue(FFieldNo); }

 private:
  TOpenTable FTable;
  int FFieldNo;
};

}  // namespace

int64_t VelqorimSubqueryParseCount() { return SubqueryParses; }

void InstallVelqorimSQLHooks() {
  InstallVelqorimExpressionHooks();
  VelqorimSubqueryFactory = [](TVelqorimLexer& Lexer, TDataSet*) -> std::unique_ptr<TVelqorimSubquery> {
    return std::make_unique<TSQLSubquery>(Lexer);
  };
  VelqorimAutoincSourceFactory = [](const String&, const String&, const String& TableName, const String& ColumnName,
                                    bool) -> std::unique_ptr<TVelqorimAutoincSource> {
    return std::make_unique<TSQLAutoincSource>(TableName, ColumnName);
  };
}

// ---------------------------------------------------------------------------
// INSERT, UPDATE, DELETE

namespace {

// The table after INSERT INTO / UPDATE / DELETE FROM, with MEMORY allowed before it.
String ParseTargetTable(TVelqorimSQLCommand& C) {
  if (C.IsWord("MEMORY")) C.GetNextToken();
  String name = C.ParseName(30230, "Table name");
  if (C.IsKind(tktDot)) {
    C.GetNextToken();
    name = C.ParseName(30230, "Table name");
  }
  return name;
}

// Values of each record of a table, read into one row for the WHERE and SET expressions.
class TRowView : public TVelqorimAOBase {
 public:
  explicit TRowView(TOpenTable& T, const String& Alias) {
    for (int i = 0; i < T.cursor.FieldDefs.Count(); ++i) {
      auto* d = static_cast<TVelqorimFieldDef*>(T.cursor.FieldDefs.GetDef(i));
      Columns.push_back({Alias, d->Name, d->AdvancedFieldType, d->FieldSize, false});
    }
  }
  void Execute() override {}
};

// Records of T that pass Where (all without one), by record id, read first so that
// no change can make a record meet the scan twice.
std::vector<TABSPageItemID> MatchingRecords(TOpenTable& T, TRowView& View, TVelqorimExpression* Where) {
  std::vector<TABSPageItemID> ids;
  const size_t n = View.Columns.size();
  T.cursor.InternalFirst();
  while (T.cursor.GetRecordBuffer(grmNext) == grrOK) {
    TVelqorimAORow row(n);
    for (size_t i = 0; i < n; ++i) T.cursor.GetFieldValue(row[i], static_cast<int>(i), true);
    View.SetCurrent(&row);
    const bool pass = !Where || Where->GetResult();
    View.SetCurrent(nullptr);
    if (pass) ids.push_back(T.cursor.CurrentRecordID);
  }
  return ids;
}

bool ReadRecord(TOpenTable& T, TABSPageItemID Id) {
  T.cursor.CurrentRecordID = Id;
  T.cursor.FirstPosition = T.cursor.LastPosition = false;
  return T.cursor.GetRecordBuffer(grmCurrent) == grrOK;
}

bool IsLockConflict(int Code) { return Code == -12 || Code == -13; }

void SleepMS(int Milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds)); }

// Runs the changes of one UPDATE or DELETE as a whole. On a database file
// outside a transaction they form one batch under the table's write lock,
// and an error cancels the batch: no row of it stays changed. Inside a
// transaction the transaction undoes them. Tables in memory change at once,
// so Undo puts back what went through before the error.
void RunAsOne(TOpenTable& T, const std::function<void()>& Changes, const std::function<void()>& Undo) {
  TVelqorimLocalCursor& c = T.cursor;
  if (dynamic_cast<TVelqorimDiskTableData*>(c.TableData) == nullptr) {
    try {
      Changes();
    } catch (...) {
      try {
        Undo();
      } catch (...) {
        // The change's own error is the one to report.
      }
      throw;
    }
    return;
  }
  if (c.Session->InTransaction) return Changes();
  bool locked = false;
  for (int i = 0; i < RetryConfig().WriteLockTryCount && !locked; ++i) {
    if (i > 0) SleepMS(RetryConfig().WriteLockDelayMS);
    locked = c.LockTable(ltRW, 1, 0, true);
  }
  if (!locked) throw EABSException(20223, "Table is locked");
  const bool exclusive = c.LockTable(ltXIRW, 1, 0, false);
  auto unlock = [&] {
    bool ok = !exclusive || c.UnlockTable(ltXIRW, true);
    return c.UnlockTable(ltRW, true) && ok;
  };
  try {
    c.BeginBatchUpdate();
    Changes();
    c.EndBatchUpdate();
  } catch (...) {
    try {
      c.CancelBatchUpdate();
    } catch (...) {
      // The change's own error is the one to report.
    }
    unlock();
    throw;
  }
  if (!unlock()) throw EABSException(20227, "Cannot unlock table");
}

// The values of every column of the current record of T.
TVelqorimAORow RowValues(TOpenTable& T) {
  TVelqorimAORow row(static_cast<size_t>(T.cursor.FieldDefs.Count()));
  for (size_t i = 0; i < row.size(); ++i) T.cursor.GetFieldValue(row[i], static_cast<int>(i), true);
  return row;
}

}  // namespace

class TVelqorimSQLInsert : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("INSERT", 30200);
    ExpectWord("INTO", 30201);
    FTable = ParseTargetTable(*this);
    if (IsKind(tktLeftParenthesis)) {
      GetNextToken();
      for (;;) {
        FColumns.push_back(ParseName(30203, "Field name"));
        if (!IsKind(tktComma)) break;
        GetNextToken();
      }
      if (!IsKind(tktRightParenthesis)) Unexpected(30204, "')'");
      GetNextToken();
    }
    if (IsWord("VALUES")) {
      GetNextToken();
      for (;;) {
        if (!IsKind(tktLeftParenthesis)) Unexpected(30205, "'('");
        const TToken open = Token;
        GetNextToken();
        std::vector<std::unique_ptr<TVelqorimExpression>> row;
        for (;;) {
          row.push_back(ParseValueExpression());
          if (!IsKind(tktComma)) break;
          GetNextToken();
        }
        if (!IsKind(tktRightParenthesis)) Unexpected(30206, "')'");
        GetNextToken();
        // Every row is checked, not only the first.
        const size_t expected = !FColumns.empty() ? FColumns.size() : FRows.empty() ? row.size() : FRows[0].size();
        if (row.size() != expected)
          throw EABSException(30207, "Number of values (%d) differs from number of fields (%d) at line %d, column %d",
                              {static_cast<int>(row.size()), static_cast<int>(expected), open.LineNum,
                               open.ColumnNum});
        FRows.push_back(std::move(row));
        if (!IsKind(tktComma)) break;
        GetNextToken();
      }
    } else if (IsWord("SELECT") || IsKind(tktLeftParenthesis)) {
      FSelect = std::make_unique<TVelqorimSQLUnion>(LLex, Processor, true);
      FSelect->Parse();
      GetCurrentToken();
    } else {
      Unexpected(30208, "VALUES or SELECT");
    }
    CheckEnd(30209);
  }
  void ExecSQL() override {
    const String database = DatabaseOf(Processor);
    std::unique_ptr<TOpenTable> held;
    if (Processor && Processor->HeldTable) held = Processor->HeldTable->Take(database, FTable);
    if (!held) {
      held = std::make_unique<TOpenTable>(database, FTable);
      held->Open();
    }
    TOpenTable& t = *held;
    Insert(t);
    if (!Processor) return;
    if (!Processor->HeldTable) Processor->HeldTable = std::make_unique<TVelqorimHeldTable>();
    Processor->HeldTable->Keep(std::move(held), database);
  }

 private:
  void Insert(TOpenTable& t) {
    std::vector<int> fields;
    if (FColumns.empty())
      for (int i = 0; i < t.cursor.FieldDefs.Count(); ++i) fields.push_back(i);
    else
      for (const String& c : FColumns) fields.push_back(t.FieldNo(c));
    auto insert = [&](const std::function<void(size_t, TABSVariant&)>& valueOf, size_t count) {
      if (count != fields.size())
        throw EABSException(30207, "Number of values (%d) differs from number of fields (%d)",
                            {static_cast<int>(count), static_cast<int>(fields.size())});
      t.cursor.InternalInitRecord(t.record, true);
      for (size_t i = 0; i < count; ++i) {
        TABSVariant v;
        valueOf(i, v);
        t.SetValue(v, fields[i], true);
      }
      t.cursor.InternalPost(true);
      t.Check("insert");
      RowsAffected++;
    };
    if (FSelect) {
      auto ao = FSelect->BuildAOTree(nullptr);
      ao->Run();
      for (auto& r : ao->Rows)
        insert([&](size_t i, TABSVariant& v) { v.Assign(r[i], true); }, static_cast<size_t>(ao->VisibleColumnCount()));
      return;
    }
    // Every row is checked before the first goes in.
    for (auto& row : FRows)
      if (row.size() != fields.size())
        throw EABSException(30207, "Number of values (%d) differs from number of fields (%d)",
                            {static_cast<int>(row.size()), static_cast<int>(fields.size())});
    for (auto& row : FRows)
      insert(
          [&](size_t i, TABSVariant& v) {
            if (TABSVariant* x = row[i]->GetValue(true)) v.Assign(*x, true);
          },
          row.size());
  }

  String FTable;
  std::vector<String> FColumns;
  std::vector<std::vector<std::unique_ptr<TVelqorimExpression>>> FRows;
  std::unique_ptr<TVelqorimSQLUnion> FSelect;
};

class TVelqorimSQLUpdate : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("UPDATE", 30210);
    FTable = ParseTargetTable(*this);
    FAlias = FTable;
    if (IsWord("AS")) GetNextToken();
    if ((IsKind(tktString) || IsKind(tktBracketedString)) && !IsWord("SET")) FAlias = ParseName(30211, "Alias");
    ExpectWord("SET", 30212);
    for (;;) {
      String name = ParseName(30213, "Field name");
      if (IsKind(tktDot)) {
        GetNextToken();
        name = ParseName(30213, "Field name");
      }
      if (Token.Text != "=") Unexpected(30214, "'='");
      GetNextToken();
      FSet.push_back({name, ParseValueExpression()});
      if (!IsKind(tktComma)) break;
      GetNextToken();
    }
    if (IsWord("WHERE")) {
      GetNextToken();
      FWhere = ParseCondition();
    }
    CheckEnd(30215);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), FTable);
    t.Open();
    TRowView view(t, FAlias);
    if (FWhere) FWhere->AssignAO(&view, nullptr, nullptr);
    std::vector<int> fields;
    for (auto& s : FSet) {
      fields.push_back(t.FieldNo(s.first));
      s.second->AssignAO(&view, nullptr, nullptr);
    }
    const std::vector<TABSPageItemID> ids = MatchingRecords(t, view, FWhere.get());
    // What each changed record held before, for tables that cannot cancel a batch.
    std::vector<std::pair<TABSPageItemID, TVelqorimAORow>> before;
    int changed = 0;
    auto change = [&] {
      for (const TABSPageItemID& id : ids)
        if (UpdateRecord(t, view, fields, id, before)) ++changed;
    };
    auto undo = [&] {
      for (auto it = before.rbegin(); it != before.rend(); ++it) {
        if (!ReadRecord(t, it->first)) continue;
        std::memcpy(t.edit, t.record, static_cast<size_t>(t.cursor.RecordBufferSize));
        t.cursor.InternalEdit();
        t.Check("update");
        for (size_t i = 0; i < it->second.size(); ++i) t.SetValue(it->second[i], static_cast<int>(i), false);
        t.cursor.InternalPost(false);
        t.Check("update");
      }
    };
    RunAsOne(t, change, undo);
    RowsAffected += changed;
  }

 private:
  // Each record changes once: only a refused lock is tried again, never a post that went through.
  bool UpdateRecord(TOpenTable& T, TRowView& View, const std::vector<int>& Fields, TABSPageItemID Id,
                    std::vector<std::pair<TABSPageItemID, TVelqorimAORow>>& Before) {
    const size_t n = View.Columns.size();
    for (int attempt = 0;; ++attempt) {
      if (!ReadRecord(T, Id)) return false;
      TVelqorimAORow row(n);
      for (size_t i = 0; i < n; ++i) T.cursor.GetFieldValue(row[i], static_cast<int>(i), true);
      TVelqorimAORow all = RowValues(T);
      std::memcpy(T.edit, T.record, static_cast<size_t>(T.cursor.RecordBufferSize));
      T.cursor.InternalEdit();
      if (IsLockConflict(T.cursor.ErrorCode) && attempt < 20) {
        SleepMS(50);
        continue;
      }
      T.Check("update");
      View.SetCurrent(&row);
      try {
        for (size_t i = 0; i < FSet.size(); ++i) {
          TABSVariant v;
          if (TABSVariant* x = FSet[i].second->GetValue(true)) v.Assign(*x, true);
          T.SetValue(v, Fields[i], false);
        }
      } catch (...) {
        View.SetCurrent(nullptr);
        T.cursor.InternalCancel(false);
        throw;
      }
      View.SetCurrent(nullptr);
      T.cursor.InternalPost(false);
      if (IsLockConflict(T.cursor.ErrorCode) && attempt < 20) {
        T.cursor.InternalCancel(false);
        SleepMS(50);
        continue;
      }
      if (T.cursor.ErrorCode != 0) T.cursor.InternalCancel(false);
      T.Check("update");
      Before.emplace_back(Id, std::move(all));
      return true;
    }
  }

 private:
  String FTable, FAlias;
  std::vector<std::pair<String, std::unique_ptr<TVelqorimExpression>>> FSet;
  std::unique_ptr<TVelqorimExpression> FWhere;
};

class TVelqorimSQLDelete : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("DELETE", 30220);
    ExpectWord("FROM", 30221);
    FTable = ParseTargetTable(*this);
    FAlias = FTable;
    if (IsWord("AS")) GetNextToken();
    if ((IsKind(tktString) || IsKind(tktBracketedString)) && !IsWord("WHERE")) FAlias = ParseName(30222, "Alias");
    if (IsWord("WHERE")) {
      GetNextToken();
      FWhere = ParseCondition();
    }
    CheckEnd(30223);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), FTable);
    t.Open();
    TRowView view(t, FAlias);
    if (FWhere) FWhere->AssignAO(&view, nullptr, nullptr);
    const std::vector<TABSPageItemID> ids = MatchingRecords(t, view, FWhere.get());
    std::vector<TVelqorimAORow> gone;  // for tables that cannot cancel a batch
    int deleted = 0;
    auto change = [&] {
      for (const TABSPageItemID& id : ids) {
        if (!ReadRecord(t, id)) continue;
        TVelqorimAORow row = RowValues(t);
        t.cursor.InternalDelete();
        t.Check("delete");
        gone.push_back(std::move(row));
        ++deleted;
      }
    };
    auto undo = [&] {
      for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        t.cursor.InternalInitRecord(t.record, true);
        for (size_t i = 0; i < it->size(); ++i) t.SetValue((*it)[i], static_cast<int>(i), true);
        t.cursor.InternalPost(true);
        t.Check("insert");
      }
    };
    RunAsOne(t, change, undo);
    RowsAffected += deleted;
  }

 private:
  String FTable, FAlias;
  std::unique_ptr<TVelqorimExpression> FWhere;
};

// ---------------------------------------------------------------------------
// Table and index definitions, transactions

namespace {

void AddIndexDef(TVelqorimIndexDefs& Defs, const String& Name, const std::vector<TVelqorimIndexColumn>& Columns,
                 bool Unique, bool Primary) {
  auto* d = Defs.AddCreated();
  d->Name = Name;
  d->Unique = Unique;
  d->Primary = Primary;
  d->SetColumnCount(static_cast<int>(Columns.size()));
  for (size_t i = 0; i < Columns.size(); ++i) d->GetIndexColumn(static_cast<int>(i)) = Columns[i];
}

// The name of an index a table definition leaves unnamed: the kind, then "$"
// before each column ("C_PK$id", "C_Unique$a", "i$a$b").
String GeneratedIndexName(const char* Kind, const std::vector<TVelqorimIndexColumn>& Columns) {
  String name = Kind;
  for (const TVelqorimIndexColumn& c : Columns) name += "$" + c.FieldName;
  return name;
}

// "(" name [ASC | DESC | CASE | NOCASE]... {"," ...} ")": the columns of an index.
std::vector<TVelqorimIndexColumn> ParseIndexFieldList(TVelqorimSQLCommand& C) {
  if (!C.IsKind(tktLeftParenthesis)) C.Unexpected(30273, "'('");
  C.GetNextToken();
  std::vector<TVelqorimIndexColumn> columns;
  for (;;) {
    TVelqorimIndexColumn c;
    c.FieldName = C.ParseName(30274, "Field name");
    for (;; C.GetNextToken()) {
      if (C.IsWord("DESC")) c.Descending = true;
      else if (C.IsWord("ASC")) c.Descending = false;
      else if (C.IsWord("NOCASE")) c.CaseInsensitive = true;
      else if (C.IsWord("CASE")) c.CaseInsensitive = false;
      else break;
    }
    columns.push_back(c);
    if (!C.IsKind(tktComma)) break;
    C.GetNextToken();
  }
  if (!C.IsKind(tktRightParenthesis)) C.Unexpected(30276, "')' or ','");
  C.GetNextToken();
  return columns;
}

}  // namespace

// What CREATE TABLE and ALTER TABLE share: column definitions and table constraints.
class TVelqorimDDLTableManipulation : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;

 protected:
  // What a column definition names beyond its type (ALTER ... MODIFY changes only that).
  struct TColumnExtras {
    bool IfNotExists = false;
    bool RequiredGiven = false, Required = false;
    bool DefaultGiven = false;
    // The value range (null: no bound), kept as a CHECK constraint.
    std::unique_ptr<TABSVariant> MinValue = std::make_unique<TABSVariant>();
    std::unique_ptr<TABSVariant> MaxValue = std::make_unique<TABSVariant>();
  };
  // "(" column definitions and table constraints ")".
  void ParseColumnDefinitions() {
    if (!IsKind(tktLeftParenthesis)) Unexpected(30231, "'('");
    GetNextToken();
    for (;;) {
      if (IsWord("PRIMARY") || IsWord("UNIQUE") || IsWord("INDEX") || IsWord("CONSTRAINT")) {
        ParseTableConstraint();
      } else {
        ParseColumn();
      }
      if (!IsKind(tktComma)) break;
      GetNextToken();
    }
    if (!IsKind(tktRightParenthesis)) Unexpected(30232, "')'");
    GetNextToken();
  }
  // A NOT NULL column and a value range are checked by the table at every insert and update.
  void AddNotNullConstraints(TVelqorimConstraintDefs& Constraints) {
    for (int i = 0; i < FFields.Count(); ++i) {
      const TColumnExtras& x = FExtras[static_cast<size_t>(i)];
      if (x.Required) Constraints.AddNotNull()->SetNames(FFields[i]->Name, FTable, String());
      if (!x.MinValue->IsNull() || !x.MaxValue->IsNull()) {
        TVelqorimConstraintDefCheck* check = Constraints.AddCheck();
        check->SetNames(FFields[i]->Name, FTable, String());
        check->MinValue.Assign(*x.MinValue);
        check->MaxValue.Assign(*x.MaxValue);
      }
    }
  }

  void ParseColumn() {
    const TToken at = Token;
    TColumnExtras extras;
    if (IsWord("IF")) {
      GetNextToken();
      ExpectWord("NOT", 30488);
      ExpectWord("EXISTS", 30489);
      extras.IfNotExists = true;
    }
    auto* d = FFields.AddCreated();
    d->Name = ParseName(30234, "Field name");
    if (FFields.GetDefNumberByName(d->Name) != FFields.Count() - 1)
      throw EABSException(30235, "Duplicate field name '%s' at line %d, column %d",
                          {d->Name, at.LineNum, at.ColumnNum});
    const TToken typeToken = Token;
    String typeName = ParseName(30236, "Field type");
    if (IsWord("PRECISION") && UpperCase(typeName) == "DOUBLE") GetNextToken();
    const TABSAdvancedFieldType type = SQLTypeNameToAdvancedFieldType(typeName);
    if (type == aftUnknown)
      throw EABSException(30237, "Unknown field type '%s' at line %d, column %d",
                          {typeName, typeToken.LineNum, typeToken.ColumnNum});
    int size = 0;
    if (IsKind(tktLeftParenthesis)) {
      GetNextToken();
      size = static_cast<int>(ParseInteger(0, INT32_MAX, 30238, 30238));
      if (IsKind(tktComma)) {
        GetNextToken();
        if (!IsKind(tktInt)) Unexpected(30238, "Integer");
        GetNextToken();
      }
      if (!IsKind(tktRightParenthesis)) Unexpected(30239, "')'");
      GetNextToken();
    }
    // A GUID column holds the 38 characters of its braced text.
    if (type == aftGuid && size == 0) size = 38;
    // A record must fit the largest page a database file can have (a table
    // of one database is copied into another whole).
    const bool wide = type == aftWideChar || type == aftWideString;
    if ((int64_t{size} + 1) * (wide ? 2 : 1) > MaxRecordSize) RaiseRecordTooLarge();
    d->SetFieldDefDataType(type, size);
    // Attributes; a word this dialect does not know is an error, not ignored.
    while (Token.TokenType != tktNone && !IsKind(tktComma) && !IsKind(tktRightParenthesis)) {
      if (IsWord("NOT")) {
        GetNextToken();
        ExpectWord("NULL", 30240);
        extras.RequiredGiven = extras.Required = true;
      } else if (IsWord("NULL")) {
        GetNextToken();
        extras.RequiredGiven = true;
        extras.Required = false;
      } else if (IsWord("PRIMARY")) {
        GetNextToken();
        ExpectWord("KEY", 30241);
        AddIndexDef(FIndexes, "C_PK$" + d->Name, {TVelqorimIndexColumn{d->Name}}, true, true);
      } else if (IsWord("UNIQUE")) {
        GetNextToken();
        AddIndexDef(FIndexes, "C_Unique$" + d->Name, {TVelqorimIndexColumn{d->Name}}, true, false);
      } else if (IsWord("DEFAULT")) {
        GetNextToken();
        ParseDefault(*d);
        extras.DefaultGiven = true;
      } else if (IsWord("BLOBBLOCKSIZE")) {
        GetNextToken();
        d->BLOBBlockSize = static_cast<int32_t>(ParseAttributeInteger(1, INT32_MAX));
      } else if (IsWord("BLOBCOMPRESSIONMODE")) {
        GetNextToken();
        d->BLOBCompressionMode = static_cast<uint8_t>(ParseAttributeInteger(0, 9));
      } else if (IsWord("BLOBCOMPRESSIONALGORITHM")) {
        GetNextToken();
        d->BLOBCompressionAlgorithm = StringToCompressionAlgorithm(ParseName(30229, "Compression algorithm"));
      } else if (IsWord("MINVALUE") || IsWord("MAXVALUE")) {
        TABSVariant& bound = IsWord("MINVALUE") ? *extras.MinValue : *extras.MaxValue;
        GetNextToken();
        auto e = ParseValueExpression();
        if (const TABSVariant* v = e->GetValue(true)) bound.Assign(*v, true);
      } else if (IsWord("NOMINVALUE") || IsWord("NOMAXVALUE")) {
        (IsWord("NOMINVALUE") ? *extras.MinValue : *extras.MaxValue).Clear(bftUnknown);
        GetNextToken();
      } else {
        throw EABSException(30242, "Unknown field attribute '%s' at line %d, column %d",
                            {Token.Text, Token.LineNum, Token.ColumnNum});
      }
    }
    FExtras.push_back(std::move(extras));
  }
  // A whole number in [Low, High] (30292 for another token, 30291 out of range).
  int64_t ParseAttributeInteger(int64_t Low, int64_t High) { return ParseInteger(Low, High, 30292, 30291); }
  void ParseDefault(TVelqorimFieldDef& D) {
    const TToken at = Token;
    auto e = ParseValueExpression();
    TABSVariant* v = e->GetValue(true);
    if (!v || v->IsNull()) return;
    // A default that does not fit its column is refused here rather than cut when used.
    if ((D.BaseFieldType == bftVarchar || D.BaseFieldType == bftWideVarchar) && D.FieldSize > 0) {
      const String text = AnsiToUTF8(v->GetAsAnsiString());
      if (static_cast<int>(UTF8ToUTF16(text).size()) > D.FieldSize)
        throw EABSException(30243, "Default value of field '%s' is longer than the field at line %d, column %d",
                            {D.Name, at.LineNum, at.ColumnNum});
    }
    D.DefaultValue.Assign(*v, true);
    D.UpdateDefaultValueExpr();
  }
  // PRIMARY [KEY] [name] (fields), UNIQUE [INDEX] [name] (fields), INDEX [name] (fields),
  // each optionally after CONSTRAINT name.
  void ParseTableConstraint() {
    String name;
    if (IsWord("CONSTRAINT")) {
      GetNextToken();
      name = ParseName(30244, "Constraint name");
    }
    const bool primary = IsWord("PRIMARY");
    const bool unique = IsWord("UNIQUE");
    if (!primary && !unique && !IsWord("INDEX")) Unexpected(30245, "PRIMARY, UNIQUE or INDEX keyword");
    GetNextToken();
    if (primary && IsWord("KEY")) GetNextToken();
    if (unique && !IsKind(tktLeftParenthesis)) {
      if (!IsWord("INDEX"))
        throw EABSException(30268, "'INDEX' keyword expected, but '%s' found at line %d, column %d",
                            {Token.Text, Token.LineNum, Token.ColumnNum});
      GetNextToken();
    }
    if (!IsKind(tktLeftParenthesis)) name = ParseName(30269, "index name");
    const std::vector<TVelqorimIndexColumn> columns = ParseIndexFieldList(*this);
    if (name.empty()) name = GeneratedIndexName(primary ? "C_PK" : unique ? "C_Unique" : "i", columns);
    AddIndexDef(FIndexes, name, columns, primary || unique, primary);
  }

  String FTable;
  TVelqorimFieldDefs FFields;
  std::vector<TColumnExtras> FExtras;  // one per entry of FFields
  TVelqorimIndexDefs FIndexes;
};

class TVelqorimDDLCreateTable : public TVelqorimDDLTableManipulation {
 public:
  using TVelqorimDDLTableManipulation::TVelqorimDDLTableManipulation;
  void Parse() override {
    ExpectWord("TABLE", 30230);
    if (IsWord("IF")) {
      GetNextToken();
      ExpectWord("NOT", 30486);
      ExpectWord("EXISTS", 30487);
      FIfNotExists = true;
    }
    FTable = ParseTargetTable(*this);
    ParseColumnDefinitions();
    CheckEnd(30233);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), FTable);
    // An existing table is never replaced: its rows would be lost without a word.
    if (t.Exists()) {
      if (FIfNotExists) return;
      throw EABSException(30247, "Cannot create table. Table '%s' already exists", {FTable});
    }
    if (FFields.GetMemoryRecordBufferSize() > MaxRecordSize) RaiseRecordTooLarge();
    TVelqorimConstraintDefs constraints;
    AddNotNullConstraints(constraints);
    t.cursor.CreateTable(FFields, FIndexes, constraints);
  }

 private:
  bool FIfNotExists = false;
};

class TVelqorimDDLDropTable : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("TABLE", 30250);
    if (IsWord("IF")) {
      GetNextToken();
      ExpectWord("EXISTS", 30251);
    }
    FTable = ParseTargetTable(*this);
    CheckEnd(30252);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), FTable);
    if (t.Exists()) t.cursor.DeleteTable();  // a missing table is no error
  }

 private:
  String FTable;
};

class TVelqorimDDLTruncateTable : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("TRUNCATE", 30490);
    if (IsWord("TABLE")) GetNextToken();
    if (Token.TokenType == tktNone) throw EABSException(30490, "Blank SQL command");
    FTable = ParseTargetTable(*this);
    CheckEnd(30246);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), FTable);
    try {
      if (!t.Exists()) throw EABSException(30190, "Table '%s' not found", {FTable});
      t.cursor.EmptyTable();
    } catch (const EABSException& e) {
      throw EABSException(30491, "Error truncating table: '%s'", {e.Message});
    }
  }

 private:
  String FTable;
};

// ALTER TABLE ... ADD | DROP | MODIFY | RENAME, and RENAME TABLE.
class TVelqorimDDLAlterTable : public TVelqorimDDLTableManipulation {
 public:
  TVelqorimDDLAlterTable(TVelqorimLexer* Lexer, TVelqorimSQLProcessor* P, bool RenameStatement)
      : TVelqorimDDLTableManipulation(Lexer, P), FRenameStatement(RenameStatement) {}
  void Parse() override {
    if (FRenameStatement) {
      if (Token.TokenType == tktNone) throw EABSException(30354, "Blank SQL command");
      FTable = ParseTargetTable(*this);
      FType = RenameTable;
      ExpectWord("TO", 30355);
      FNewName = ParseName(30166, "Table name");
      CheckEnd(30246);
      return;
    }
    ExpectWord("TABLE", 30261);
    if (Token.TokenType == tktNone) throw EABSException(30261, "Blank SQL command");
    FTable = ParseTargetTable(*this);
    if (IsWord("ADD")) {
      GetNextToken();
      FType = Add;
      ParseColumns();
    } else if (IsWord("MODIFY")) {
      GetNextToken();
      FType = Modify;
      ParseColumns();
    } else if (IsWord("DROP")) {
      GetNextToken();
      FType = Drop;
      if (IsWord("COLUMN")) GetNextToken();
      const bool parenthesis = IsKind(tktLeftParenthesis);
      if (parenthesis) GetNextToken();
      for (;;) {
        FNames.push_back(ParseName(30274, "Field name"));
        if (!IsKind(tktComma)) break;
        GetNextToken();
      }
      if (parenthesis) {
        if (!IsKind(tktRightParenthesis)) Unexpected(30232, "')'");
        GetNextToken();
      }
    } else if (IsWord("RENAME")) {
      GetNextToken();
      if (IsWord("TO")) {
        GetNextToken();
        FType = RenameTable;
        FNewName = ParseName(30166, "Table name");
      } else {
        FType = RenameColumn;
        if (IsWord("COLUMN")) GetNextToken();
        FNames.push_back(ParseName(30274, "Field name"));
        ExpectWord("TO", 30352);
        FNewName = ParseName(30274, "Field name");
      }
    } else {
      Unexpected(IsKind(tktReservedWord) ? 30252 : 30253, "ADD, DROP or MODIFY keyword");
    }
    CheckEnd(30246);
  }
  void ExecSQL() override {
    try {
      TOpenTable t(DatabaseOf(Processor), FTable);
      t.Open();
      switch (FType) {
        case RenameTable:
          t.cursor.RenameTable(FNewName);
          break;
        case RenameColumn:
          t.FieldNo(FNames[0]);
          if (t.cursor.FieldDefs.GetDefNumberByName(FNewName) >= 0)
            throw EABSException(30351, "Field by name '%s' already exists", {FNewName});
          t.cursor.RenameField(FNames[0], FNewName);
          break;
        default:
          Restructure(t);
      }
    } catch (const EABSException& e) {
      throw EABSException(30265, "Error altering table: '%s'", {e.Message});
    }
  }

 private:
  enum TAlterType { Add, Drop, Modify, RenameColumn, RenameTable };
  void ParseColumns() {
    if (IsKind(tktLeftParenthesis)) {
      ParseColumnDefinitions();
    } else {
      if (IsWord("COLUMN")) GetNextToken();
      ParseColumn();
    }
  }
  // Rebuilds the table with the new columns through the table component's
  // restructure: the rows move into a table of the new layout under the old
  // name, fields keep their data through the change, and a failure at any
  // step puts the old table back.
  void Restructure(TOpenTable& Old) {
    // The component renames the table aside, which needs it closed here.
    Old.cursor.CloseTable();
    TVelqorimTable table(nullptr);
    table.SetDatabaseName(DatabaseOf(Processor));
    table.SetTableName(FTable);
    table.Open();
    table.Close();
    TVelqorimAdvFieldDefs& fields = table.RestructureFieldDefs();
    TVelqorimAdvIndexDefs& indexes = table.RestructureIndexDefs();
    // A column definition as the component's definitions carry it.
    auto advancedOf = [&](size_t Column, TVelqorimAdvFieldDefs& Into) {
      TVelqorimFieldDefs one;
      one.AddCreated()->Assign(*FFields[static_cast<int>(Column)]);
      TVelqorimConstraintDefs none;
      EngineFieldDefsToAdvFieldDefs(one, one, none, Into);
    };
    for (size_t i = 0; FType != Drop && i < static_cast<size_t>(FFields.Count()); ++i) {
      const TVelqorimFieldDef& def = *FFields[static_cast<int>(i)];
      const TColumnExtras& x = FExtras[i];
      TVelqorimAdvFieldDef* target = fields.Find(def.Name);
      TVelqorimAdvFieldDefs given;
      advancedOf(i, given);
      if (FType == Add) {
        if (target != nullptr) {
          if (x.IfNotExists) continue;
          throw EABSException(30351, "Field by name '%s' already exists", {def.Name});
        }
        target = fields.AddFieldDef();
        target->Assign(*given[0]);
      } else {
        if (target == nullptr) throw EABSException(30259, "Field '%s' not found", {def.Name});
        target->DataType = given[0]->DataType;
        target->Size = given[0]->Size;
        if (x.DefaultGiven) target->DefaultValue.Assign(given[0]->DefaultValue, true);
      }
      if (x.RequiredGiven) target->Required = x.Required;
    }
    for (const String& name : FNames) {
      if (fields.Find(name) == nullptr) throw EABSException(30259, "Field '%s' not found", {name});
      fields.DeleteFieldDef(name);
      // An index over a dropped column goes with it.
      for (int i = indexes.Count() - 1; i >= 0; --i) {
        TStringList columns;
        SplitFieldList(columns, indexes[i]->Fields);
        if (columns.IndexOf(name) >= 0) indexes.DeleteIndexDef(indexes[i]->Name);
      }
    }
    for (int i = 0; i < FIndexes.Count(); ++i)
      EngineIndexDefToAdvIndexDef(*FIndexes[i], *indexes.AddIndexDef());
    if (fields.Count() == 0) throw EABSException(10131, "Error creating table - no fields were specified");
    String log;
    bool restructured = false;
    try {
      restructured = table.RestructureTable(log);
    } catch (const EABSException&) {
      throw;
    } catch (const Exception& e) {
      // A row the new structure refuses: the engine's words, as the statement's error.
      throw EABSException(30347, "Restructure table error: '%s'", {e.Message});
    }
    if (!restructured) throw EABSException(30347, "Restructure table error: '%s'", {log});
  }

  bool FRenameStatement;
  TAlterType FType = Add;
  std::vector<String> FNames;
  String FNewName;
};

class TVelqorimDDLCreateIndex : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    if (IsWord("UNIQUE")) {
      Unique = true;
      GetNextToken();
    }
    ExpectWord("INDEX", 30260);
    IndexName = ParseName(30261, "Index name");
    ExpectWord("ON", 30262);
    TableName = ParseTargetTable(*this);
    Fields = ParseIndexFieldList(*this);
    CheckEnd(30266);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), TableName);
    t.Open();
    TVelqorimIndexDefs defs;
    AddIndexDef(defs, IndexName, Fields, Unique, false);
    ChangeIndexesExclusively(t.cursor, [&] { t.cursor.AddIndex(*static_cast<TVelqorimIndexDef*>(defs.GetDef(0))); });
  }

  bool Unique = false;
  String IndexName, TableName;
  std::vector<TVelqorimIndexColumn> Fields;
};

class TVelqorimDDLDropIndex : public TVelqorimSQLCommand {
 public:
  using TVelqorimSQLCommand::TVelqorimSQLCommand;
  void Parse() override {
    ExpectWord("INDEX", 30270);
    // DROP INDEX table.index, or DROP INDEX index ON table.
    String first = ParseName(30271, "Index name");
    if (IsKind(tktDot)) {
      GetNextToken();
      TableName = first;
      IndexName = ParseName(30271, "Index name");
    } else {
      IndexName = first;
      ExpectWord("ON", 30272);
      TableName = ParseTargetTable(*this);
    }
    CheckEnd(30273);
  }
  void ExecSQL() override {
    TOpenTable t(DatabaseOf(Processor), TableName);
    t.Open();
    ChangeIndexesExclusively(t.cursor, [&] { t.cursor.DeleteIndex(IndexName); });
  }

  String IndexName, TableName;
};

class TVelqorimSQLTransaction : public TVelqorimSQLCommand {
 public:
  enum Kind { Start, Commit, Rollback };
  TVelqorimSQLTransaction(TVelqorimLexer* Lexer, TVelqorimSQLProcessor* P, Kind K)
      : TVelqorimSQLCommand(Lexer, P), FKind(K) {}
  void Parse() override {
    GetNextToken();
    if (FKind == Start) ExpectWord("TRANSACTION", 30280);
    else if (IsWord("WORK") || IsWord("TRANSACTION")) GetNextToken();
    if (FKind == Commit && IsWord("FLUSH")) {
      FFlush = true;
      GetNextToken();
    } else if (FKind == Commit && IsWord("NOFLUSH")) {
      GetNextToken();
    }
    CheckEnd(30281);
  }
  void ExecSQL() override {
    TVelqorimLocalSession& own = Processor->Session;
    TVelqorimBaseSession& s = own.GetConnected() ? own : *StatementSession(own, Processor->DatabaseName);
    if (FKind == Start) s.StartTransaction();
    else if (FKind == Commit) s.Commit(FFlush);
    else s.Rollback();
  }

 private:
  Kind FKind;
  bool FFlush = false;
};

// ---------------------------------------------------------------------------
// Processor

TVelqorimSQLProcessor::TVelqorimSQLProcessor() {
  static const bool installed = [] {
    InstallVelqorimSQLHooks();
    return true;
  }();
  (void)installed;
}

TVelqorimSQLProcessor::~TVelqorimSQLProcessor() {
  FQuery.reset();
  HeldTable.reset();
  if (Session.GetConnected()) Session.SetConnected(false);
}

TVelqorimAOBase* TVelqorimSQLProcessor::OpenQuery() {
  FRowsAffected = 0;
  TVelqorimSQLProcessor* saved = RunningProcessor;
  TVelqorimTableOpenPool* savedOpens = AOTableOpens;
  RunningProcessor = this;
  AOTableOpens = &FTableOpens;
  auto restore = [&] {
    RunningProcessor = saved;
    AOTableOpens = savedOpens;
  };
  try {
    // The last statement's tables wait in the pool for the next SELECT.
    FQuery.reset();
    FLex = std::make_unique<TVelqorimLexer>(FSqlText, false, &FSQLParams);
    if (FLex->NumCommands == 0) throw EABSException(30145, "Blank SQL command");
    while (ParseNextCommand()) {
      if (!dynamic_cast<TVelqorimSQLUnion*>(FQuery.get())) FTableOpens.Clear();
      if (HeldTable && !dynamic_cast<TVelqorimSQLInsert*>(FQuery.get())) HeldTable->Clear();
      FQuery->ExecSQL();
      FTableOpens.Clear();
      FRowsAffected += FQuery->RowsAffected;
    }
  } catch (...) {
    FTableOpens.Clear();
    restore();
    throw;
  }
  restore();
  return FQuery ? FQuery->GetResult() : nullptr;
}

bool TVelqorimSQLProcessor::ParseNextCommand() {
  FLex->ParsedQueries.clear();
  if (!FLex->GetNextCommand()) return false;
  TToken first;
  if (!FLex->GetCurrentToken(first)) throw EABSException(30146, "Blank SQL command");
  FQuery.reset();
  auto word = [](const TToken& t) {
    return (t.TokenType == tktString || t.TokenType == tktReservedWord) ? UpperCase(t.Text) : String();
  };
  const String w = word(first);
  TToken next;
  const bool hasNext = FLex->LookNextToken(next);
  const String w2 = hasNext ? word(next) : String();
  auto objectType = [&](int endCode, int typeCode) {
    if (!hasNext)
      throw EABSException(endCode, "Unexpected end of SQL command found at line %d, column %d",
                          {first.LineNum, first.ColumnNum});
    throw EABSException(typeCode, "Object type keyword expected, but '%s' found at line %d, column %d",
                        {next.Text, next.LineNum, next.ColumnNum});
  };
  std::unique_ptr<TVelqorimSQLCommand> c;
  if (w == "SELECT" || first.TokenType == tktLeftParenthesis) {
    c = std::make_unique<TVelqorimSQLUnion>(FLex.get(), this, false);
  } else if (w == "INSERT") {
    c = std::make_unique<TVelqorimSQLInsert>(FLex.get(), this);
  } else if (w == "UPDATE") {
    c = std::make_unique<TVelqorimSQLUpdate>(FLex.get(), this);
  } else if (w == "DELETE") {
    c = std::make_unique<TVelqorimSQLDelete>(FLex.get(), this);
  } else if (w == "CREATE") {
    if (w2 == "TABLE") {
      FLex->GetNextToken(next);
      c = std::make_unique<TVelqorimDDLCreateTable>(FLex.get(), this);
    } else if (w2 == "UNIQUE" || w2 == "INDEX") {
      FLex->GetNextToken(next);
      c = std::make_unique<TVelqorimDDLCreateIndex>(FLex.get(), this);
    } else {
      objectType(30148, 30147);
    }
  } else if (w == "DROP") {
    if (w2 == "TABLE") {
      FLex->GetNextToken(next);
      c = std::make_unique<TVelqorimDDLDropTable>(FLex.get(), this);
    } else if (w2 == "INDEX") {
      FLex->GetNextToken(next);
      c = std::make_unique<TVelqorimDDLDropIndex>(FLex.get(), this);
    } else {
      objectType(30150, 30149);
    }
  } else if (w == "ALTER") {
    if (!hasNext) throw EABSException(30261, "Blank SQL command");
    FLex->GetNextToken(next);
    c = std::make_unique<TVelqorimDDLAlterTable>(FLex.get(), this, false);
  } else if (w == "RENAME") {
    if (!hasNext) throw EABSException(30354, "Blank SQL command");
    FLex->GetNextToken(next);
    if (w2 == "TABLE") FLex->GetNextToken(next);
    c = std::make_unique<TVelqorimDDLAlterTable>(FLex.get(), this, true);
  } else if (w == "TRUNCATE") {
    c = std::make_unique<TVelqorimDDLTruncateTable>(FLex.get(), this);
  } else if (w == "START") {
    c = std::make_unique<TVelqorimSQLTransaction>(FLex.get(), this, TVelqorimSQLTransaction::Start);
  } else if (w == "COMMIT") {
    c = std::make_unique<TVelqorimSQLTransaction>(FLex.get(), this, TVelqorimSQLTransaction::Commit);
  } else if (w == "ROLLBACK") {
    c = std::make_unique<TVelqorimSQLTransaction>(FLex.get(), this, TVelqorimSQLTransaction::Rollback);
  } else {
    throw EABSException(first.TokenType == tktReservedWord ? 30153 : 30154,
                        "SQL token expected, but '%s' found at line %d, column %d",
                        {first.Text, first.LineNum, first.ColumnNum});
  }
  c->Parse();
  // The statement owns its nested queries from here.
  FLex->ParsedQueries.clear();
  FQuery = std::move(c);
  return true;
}
