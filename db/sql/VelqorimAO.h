#pragma once
// Relational-algebra operators: each one computes its result rows once
// (Execute) and then serves them to the expressions bound to it, one current
// row at a time. Filters are evaluated as rows are produced, so that what
// follows (grouping, order, TOP) only ever sees rows that passed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/sql/VelqorimExpressions.h"
#include "db/storage/VelqorimLocalEngine.h"

struct TVelqorimAOColumn {
  String TableName;
  String FieldName;
  TABSAdvancedFieldType Type = aftUnknown;
  int Size = 0;
  bool Hidden = false;  // carried for ORDER BY only, never shown
};

using TVelqorimAORow = std::vector<TABSVariant>;

// One sort key: a result column, descending or not.
struct TVelqorimAOSortKey {
  int Column = 0;
  bool Descending = false;
};

class TVelqorimAOBase : public TVelqorimAO {
 public:
  ~TVelqorimAOBase() override = default;

  int FieldExists(const String& FieldName, const String& TableName, bool Unhide, std::vector<int>* FieldNumbers,
                  bool UnhideChildrenOnly, bool ScanOnlyVisibleFields) override;
  TVelqorimAOColumnInfo GetColumnInfo(int FieldNo) override;
  void GetFieldValue(TABSVariant& Value, int FieldNo, bool bCopy, bool AccessToHidden) override;
  void SetFilter(std::unique_ptr<TVelqorimExpression> FilterExpr) override;

  // Computes Rows (idempotent per call: earlier rows are dropped).
  virtual void Execute() = 0;
  // Execute, then DISTINCT and the result order asked for.
  void Run();
  bool FinalDistinct = false;
  std::vector<TVelqorimAOSortKey> FinalOrder;

  // Result shaping on the computed rows.
  void ApplyDistinct();
  void ApplyOrder(const std::vector<TVelqorimAOSortKey>& Keys);
  int VisibleColumnCount() const;

  // The row the bound expressions read (nullptr: every column reads NULL).
  void SetCurrent(const TVelqorimAORow* Row) { FCurrent = Row; }
  bool PassesFilters();

  std::vector<TVelqorimAOColumn> Columns;
  std::vector<TVelqorimAORow> Rows;
  TVelqorimAO* ParentQueryAO = nullptr;

 protected:
  // Keeps Row when the filters pass.
  void AddIfPasses(TVelqorimAORow&& Row);

  const TVelqorimAORow* FCurrent = nullptr;
  std::vector<std::unique_ptr<TVelqorimExpression>> FFilters;
};

// Three-way order of two values: NULL first, then the values' own order.
int CompareAOValues(const TABSVariant& A, const TABSVariant& B);
int CompareAORows(const TVelqorimAORow& A, const TVelqorimAORow& B, size_t Count);

// Work done by the joins of the running thread, so that a test can bound a
// statement's work by counting instead of timing it.
struct TVelqorimAOWork {
  uint64_t PairsTried = 0;   // row pairs the joins composed
  uint64_t RowsSpooled = 0;  // rows written to intermediate results
  uint64_t RowsSpilled = 0;  // of those, rows that went to a temporary file
  uint64_t PairLimit = 0;    // std::length_error once PairsTried reaches it (0: none)
};
extern thread_local TVelqorimAOWork AOWork;

// An intermediate result written once and read back in order: rows stay in
// memory up to MemoryLimit bytes, the rest goes to a temporary file.
class TVelqorimAORowSpool {
 public:
  static inline int64_t MemoryLimit = 8 << 20;
  TVelqorimAORowSpool();
  ~TVelqorimAORowSpool();
  void Add(const TVelqorimAORow& Row);
  // Reading starts at the first row; Add is not allowed afterwards.
  bool Next(TVelqorimAORow& Row);
  uint64_t Count() const { return FCount; }

 private:
  void Flush();
  bool Fill(size_t Need);
  std::string FBuffer;               // rows not yet written, or read ahead
  size_t FReadPos = 0;
  std::unique_ptr<class TABSTemporaryStream> FFile;  // created when the memory limit is passed
  bool FReading = false;
  uint64_t FCount = 0;
};

// An open table: the cursor a statement reads it through, and the session
// the cursor connects when no database component is open under the name. On
// a database component's session the open is held with that session, which
// has it closed when it commits, rolls back, changes a whole table or
// disconnects: a statement kept after its database component closed lets go
// of nothing twice.
class TVelqorimTableOpen final : public TVelqorimBaseSession::THeldOpen {
 public:
  // Opens TableName of DatabaseName (30190 when the table is not there).
  TVelqorimTableOpen(const String& DatabaseName, const String& TableName);
  ~TVelqorimTableOpen();
  TVelqorimTableOpen(const TVelqorimTableOpen&) = delete;
  TVelqorimTableOpen& operator=(const TVelqorimTableOpen&) = delete;
  void Release() override;
  // Whether this is table TableName of DatabaseName, still open, on the
  // session a statement on DatabaseName would open it in now: the component's
  // Handle, or the open's own session where there is none.
  bool Serves(const String& DatabaseName, TVelqorimBaseSession* Handle, const String& TableName) const;

  TVelqorimLocalSession Session;
  TVelqorimLocalCursor Cursor;

 private:
  String FDatabaseName;
  // The database component's session the table is held with; nullptr on
  // the open's own session, or once the session let go of it.
  TVelqorimBaseSession* FHeldBy = nullptr;
};

// The tables the last statement of an SQL processor read, kept open for its
// next SELECT: opening a table reads its definitions (and on a file its lock
// file), which costs more than a lookup. What the next SELECT does not take
// is closed when it ends; any other statement closes them all before it runs,
// so the tables open between statements are those the last one read, as when
// each statement keeps its own.
class TVelqorimTableOpenPool {
 public:
  ~TVelqorimTableOpenPool() { Clear(); }
  // An open of TableName that a statement on DatabaseName can read through,
  // which leaves the pool; nullptr when there is none.
  std::unique_ptr<TVelqorimTableOpen> Take(const String& DatabaseName, const String& TableName);
  void Put(std::unique_ptr<TVelqorimTableOpen> Open) { FOpens.push_back(std::move(Open)); }
  void Clear() { FOpens.clear(); }

 private:
  std::vector<std::unique_ptr<TVelqorimTableOpen>> FOpens;
};

// The pool of the SQL processor running a statement on this thread (nullptr
// when none runs): base tables are taken from it and handed back to it.
extern thread_local TVelqorimTableOpenPool* AOTableOpens;

// A base table read through a cursor of its own.
class TVelqorimAOTable : public TVelqorimAOBase {
 public:
  TVelqorimAOTable(const String& DatabaseName, const String& TableName, const String& Alias);
  ~TVelqorimAOTable() override;
  void Execute() override;
  // The table's record count, read without its rows; false when filters
  // decide which rows count.
  bool CountWithoutReading(int64_t& Count);

 private:
  // The index key range the filters allow, as values of the column's own
  // type (either bound may be open; both are inclusive).
  struct TKeyRange {
    String IndexName;
    bool Descending = false;
    int FieldNo = -1;
    TABSVariant Lo, Hi;
    bool HasLo = false, HasHi = false;
  };
  bool FindKeyRange(TKeyRange& Range);
  // Constant as a value of column FieldNo's type, when that value is exactly
  // the constant (false when it was cut, rounded or does not convert).
  bool ExactColumnValue(const TABSVariant& Constant, int FieldNo, TABSVariant& Value);
  void FinishKeyScan(const TKeyRange& Range, uint8_t*& Lo, uint8_t*& Hi);
  void Scan();
  // Runs Read under the table's shared lock (20225 when it stays locked).
  void ReadLocked(const std::function<void()>& Read);

  std::unique_ptr<TVelqorimTableOpen> FOpen;
  TVelqorimLocalCursor& Cursor;
  // The pool of the processor that built this node, the one it goes back to.
  TVelqorimTableOpenPool* FPool = nullptr;
  uint8_t* FRecord = nullptr;
};


class TVelqorimAOJoin : public TVelqorimAOBase {
 public:
  TVelqorimAOJoin(std::unique_ptr<TVelqorimAOBase> Left, std::unique_ptr<TVelqorimAOBase> Right,
                  TABSJoinType JoinType);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return FLeft.get(); }
  TVelqorimAO* GetRightAO() override { return FRight.get(); }
  bool IsOuterJoin() const override { return FJoinType >= ajtLeftOuter; }
  // Equality key pairs (left column, right column) found in Condition's AND-parts;
  // the parts stay in the condition, the keys only narrow the candidates.
  void AddKeysFrom(TVelqorimExpression& Condition);
  // The ON condition of an outer join (bound to this operator).
  void SetJoinCondition(std::unique_ptr<TVelqorimExpression> Condition);

 private:
  // Every result row that passes, in order, to Emit.
  void Produce(const std::function<void(TVelqorimAORow&&)>& Emit);
  // Each row of the left input, without holding a nested join's rows in memory.
  // Ready runs between computing the left input and visiting its rows.
  void ForEachLeftRow(const std::function<void()>& Ready, const std::function<void(TVelqorimAORow&)>& Visit);
  std::unique_ptr<TVelqorimAOBase> FLeft, FRight;
  TABSJoinType FJoinType;
  std::vector<std::pair<int, int>> FKeys;
  std::unique_ptr<TVelqorimExpression> FJoinCondition;
};

// A computed column list over one input: the select list (with grouping and
// aggregates when Grouping is on), DISTINCT left to the caller.
class TVelqorimAOTableExpr : public TVelqorimAOBase {
 public:
  struct Item {
    std::unique_ptr<TVelqorimExpression> Expr;
    String Name;
    String TableName;
    bool Hidden = false;
  };
  TVelqorimAOTableExpr(std::unique_ptr<TVelqorimAOBase> Input, std::vector<Item> Items, bool Grouping,
                       std::vector<std::unique_ptr<TVelqorimExpression>> GroupBy,
                       std::unique_ptr<TVelqorimExpression> Having);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return FInput.get(); }
  bool IsGroupBy() const override { return FGrouping; }

 private:
  void ComputeRow(const TVelqorimAORow* Source);
  std::unique_ptr<TVelqorimAOBase> FInput;
  std::vector<Item> FItems;
  bool FGrouping;
  std::vector<std::unique_ptr<TVelqorimExpression>> FGroupBy;
  std::unique_ptr<TVelqorimExpression> FHaving;
};

// The first TopRowCount rows from row FirstRowNo (1-based) of its input.
class TVelqorimAOSQLTopRowCount : public TVelqorimAOBase {
 public:
  explicit TVelqorimAOSQLTopRowCount(std::unique_ptr<TVelqorimAOBase> Input);
  void SetTopRowCount(int64_t FirstRowNo, int64_t TopRowCount);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return FInput.get(); }

 private:
  std::unique_ptr<TVelqorimAOBase> FInput;
  int64_t FFirstRowNo = 1;
  int64_t FTopRowCount = -1;
};


class TVelqorimAOUnion : public TVelqorimAOBase {
 public:
  TVelqorimAOUnion(std::unique_ptr<TVelqorimAOBase> Left, std::unique_ptr<TVelqorimAOBase> Right,
                   TABSUnionType UnionType, bool Distinct);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return FLeft.get(); }
  TVelqorimAO* GetRightAO() override { return FRight.get(); }

 private:
  std::unique_ptr<TVelqorimAOBase> FLeft, FRight;
  TABSUnionType FUnionType;
  bool FDistinct;
};

// Its input's columns in another order: column K is the input's Order[K].
class TVelqorimAOColumnOrder : public TVelqorimAOBase {
 public:
  TVelqorimAOColumnOrder(std::unique_ptr<TVelqorimAOBase> Input, std::vector<size_t> Order);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return FInput.get(); }

 private:
  std::unique_ptr<TVelqorimAOBase> FInput;
  std::vector<size_t> FOrder;
};

// A derived table: its input's rows under the name of its alias.
class TVelqorimAOSubquery : public TVelqorimAOBase {
 public:
  TVelqorimAOSubquery(std::unique_ptr<TVelqorimAOBase> Input, const String& Alias);
  void Execute() override;
  TVelqorimAO* GetLeftAO() override { return nullptr; }

 private:
  std::unique_ptr<TVelqorimAOBase> FInput;
};
