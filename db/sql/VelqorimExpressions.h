#pragma once
// SQL expressions: a tree of nodes with a recursive-descent parser in front
// and binding and evaluation behind. One representation serves WHERE, HAVING
// and ON conditions, select lists, VALUES and SET items, CHECK constraints,
// dataset filters, Locate and column defaults.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/sql/VelqorimExprLinks.h"
#include "db/sql/VelqorimLexer.h"
#include "db/support/DAZDateFormat.h"
#include "db/support/DAZEngineTypes.h"
#include "db/support/DAZScanConditions.h"

class TVelqorimIndexDef;
class TVelqorimIndexDefs;

class TDataSet;  // the data-set framework's dataset, handed to subqueries only

// The operators, declared by the support layer, listed here with their nodes.
enum TABSDataOperator : uint8_t {
  doUNDEFINED, doEQ, doNE, doGT, doLT, doGE, doLE, doNOT, doAND, doOR, doIN, doNOTIN, doEXISTS, doBETWEEN,
  doNOTBETWEEN, doLIKE, doNOTLIKE, doISNULL, doISNOTNULL, doTRUE, doFALSE, doADD, doSUB, doMUL, doDIV, doCONCAT,
  doUPPER, doLOWER, doTRIM, doLTRIM, doRTRIM, doLENGTH, doPOS, doSUBSTRING, doSUM, doAVG, doMIN, doMAX, doCOUNT,
  doCOUNTALL, doSYSDATE, doCURRENT_DATE, doCURRENT_TIME, doTODATE, doTOSTRING, doEXTRACT, doCAST, doLASTAUTOINC,
  doMIMETOBIN, doROWNUM, doDAZ, doACOS, doASIN, doATAN, doCEIL, doCOS, doEXP, doFLOOR, doLOG, doPOWER, doRAND,
  doROUND, doSIGN, doSIN, doSQR, doSQRT
};

String OperatorName(TABSDataOperator Op);
// The declared type of an SQL type name (ASCII case ignored), aftUnknown for none.
TABSAdvancedFieldType SQLTypeNameToAdvancedFieldType(const String& Name);
// Upper-cased, trimmed items of a ";"-separated list (empty items kept).
void SplitNameList(std::vector<String>& List, const String& Text);
// Whether a stored default text is an expression to evaluate at each insert.
bool IsDefaultValueExpression(const TABSVariant& Value);

// A select-list item as aliases and grouping see it.
struct TVelqorimSelectListItem {
  String TableName;
  String FieldName;
  String Pseudonym;
  bool IsExpression = false;
};

class TVelqorimExprNode;
using TVelqorimExprNodePtr = std::unique_ptr<TVelqorimExprNode>;
using TVelqorimExprNodeArray = std::vector<TVelqorimExprNodePtr>;

class TVelqorimExprNode : public TObject {
 public:
  TVelqorimExprNode(TABSDataOperator Op = doUNDEFINED, bool CaseInsensitive = true, bool PartialKey = false);
  virtual ~TVelqorimExprNode() = default;
  TVelqorimExprNode(const TVelqorimExprNode&) = delete;
  TVelqorimExprNode& operator=(const TVelqorimExprNode&) = delete;

  TVelqorimExprNode* AddChild(TVelqorimExprNodePtr Node);
  TVelqorimExprNode* Child(size_t i) const { return Children[i].get(); }
  size_t ChildCount() const { return Children.size(); }

  virtual void PrepareTypes();
  // Evaluates and answers the node's own value.
  virtual TABSVariant* GetDataValue() = 0;
  virtual void ResetSubqueryFieldValues() {}
  virtual TABSVariant* GetSubqueryFieldValue(int) { return nullptr; }
  virtual bool IsAggregated();
  virtual bool IsAggregatedCountAll() { return false; }
  virtual void Init();
  virtual void Accumulate();
  virtual void SetCountAll(int64_t) {}
  virtual void AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor);
  virtual void AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO,
                            TVelqorimExprCursor* ParentCursor);
  virtual void AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields);
  virtual TABSAdvancedFieldType GetDataType();
  virtual int GetDataSize();
  virtual int GetPrecision() { return 0; }
  virtual bool CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor,
                             bool ForHavingClause);
  virtual bool IsJoinCondition(TVelqorimAO*, TVelqorimAO*) { return false; }
  // Index scans: whether this conjunct can key index column IndexColumnNo,
  // then the condition it makes or the key column it adds.
  virtual bool CanUseIndex(int, TABSSearchCondition, const TVelqorimIndexDef&, int) { return false; }
  virtual void AddAsIndexScanCondition(TABSScanSearchConditionArray&, const TVelqorimIndexDef&,
                                       TVelqorimExpression*) {}
  virtual void ExtendIndexScanCondition(TABSScanSearchCondition&, const TVelqorimIndexDef&, TVelqorimExpression*) {}
  virtual void ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList);
  virtual bool CanBeUsedInGroupBy(const String& GroupByFields);

  TVelqorimExprNodeArray Children;
  TABSDataOperator Operator;
  TABSVariant Value;
  bool FCaseInsensitive;
  bool FPartialKey;
};

class TVelqorimExprNodeConst : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeConst() : TVelqorimExprNode(doUNDEFINED, true, false) {}
  TABSVariant* GetDataValue() override { return &Value; }
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;
  bool CanBeAssigned(TVelqorimAO*, TVelqorimAO*, TVelqorimExprCursor*, bool) override { return true; }
  bool IsLikePatternEqualToPartialComparePattern() const;
  void TruncateForPartialCompare();
  bool IsUpperCase() const;
  bool IsLowerCase() const;
};

class TVelqorimExprNodeField : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeField(TVelqorimExprCursor* Cursor, const String& FieldName, const String& TableName);
  TABSVariant* GetDataValue() override;
  void AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor) override;
  void AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO,
                    TVelqorimExprCursor* ParentCursor) override;
  void AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields) override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override { return FFieldSize; }
  int GetPrecision() override { return FFieldPrecision; }
  bool CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor,
                     bool ForHavingClause) override;
  void ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList) override;
  bool CanBeUsedInGroupBy(const String& GroupByFields) override;

  bool TryAssignAO(TVelqorimAO* AOToAssign);
  bool FindFieldInCursor(TVelqorimExprCursor* Cursor, int& FieldNo, TVelqorimExprFieldInfo* Info = nullptr);
  void FillItem(TVelqorimSelectListItem& Item) const;

  const String& TableName() const { return FTableName; }
  const String& FieldName() const { return FFieldName; }
  int FieldNo() const { return FFieldNo; }
  int FieldSize() const { return FFieldSize; }
  TABSBaseFieldType BaseFieldType() const { return FBaseFieldType; }
  TVelqorimExprCursor* Cursor() const { return LCursor; }
  bool GetFromParent() const { return FGetFromParent; }

  TVelqorimExprCursor* LCursor = nullptr;
  TVelqorimAO* LAO = nullptr;
  uint8_t* LRecordBuffer = nullptr;
  String FTableName;
  String FFieldName;
  String FFieldNameInAO;
  int32_t FFieldNo = -1;
  int32_t FFieldOffsetInBuffer = 0;
  TABSAdvancedFieldType FFieldType = aftUnknown;
  TABSBaseFieldType FBaseFieldType = bftUnknown;
  int32_t FFieldSize = 0;
  int32_t FFieldPrecision = 0;
  bool FGetFromParent = false;
  bool FScanOnlyVisibleFieldsInAO = false;

 private:
  void BindToCursor(TVelqorimExprCursor* Cursor, const TVelqorimExprFieldInfo& Info);
};

class TVelqorimExprNodeSubquery;

class TVelqorimExprNodeComparison : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeComparison(TABSDataOperator Op, TVelqorimExprNodePtr Node1, TVelqorimExprNodePtr Node2,
                              bool TrueFalseNullLogic, bool CaseInsensitive, bool PartialKey);
  TVelqorimExprNodeComparison(TABSDataOperator Op, TABSQuantifier Quantifier, TVelqorimExprNodePtr Node1,
                              TVelqorimExprNodePtr Node2, bool TrueFalseNullLogic, bool CaseInsensitive,
                              bool PartialKey);
  void PrepareTypes() override;
  TABSVariant* GetDataValue() override;
  bool IsJoinCondition(TVelqorimAO* AO1, TVelqorimAO* AO2) override;
  bool CanUseIndex(int IndexColumnNo, TABSSearchCondition ConditionSearchOperator, const TVelqorimIndexDef& IndexDef,
                   int SessionID) override;
  void AddAsIndexScanCondition(TABSScanSearchConditionArray& ScanConditions, const TVelqorimIndexDef& IndexDef,
                               TVelqorimExpression* Expression) override;
  void ExtendIndexScanCondition(TABSScanSearchCondition& ScanCondition, const TVelqorimIndexDef& IndexDef,
                                TVelqorimExpression* Expression) override;

  // The column and the constant side of the comparison (nullptr when none).
  void GetFieldAndConstNodes(TVelqorimExprNodeField*& FieldNode, TVelqorimExprNode*& ConstNode);

  bool F3ValueLogic;
  TABSQuantifier FQuantifier = qUNDEFINED;
};

class TVelqorimExprNodeBoolean : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeBoolean(TABSDataOperator Op, bool CaseInsensitive = true, bool PartialKey = false,
                           const String& aEscapeStr = String());
  TABSVariant* GetDataValue() override;
  bool CanUseIndex(int IndexColumnNo, TABSSearchCondition ConditionSearchOperator, const TVelqorimIndexDef& IndexDef,
                   int SessionID) override;
  void AddAsIndexScanCondition(TABSScanSearchConditionArray& ScanConditions, const TVelqorimIndexDef& IndexDef,
                               TVelqorimExpression* Expression) override;
  void ExtendIndexScanCondition(TABSScanSearchCondition& ScanCondition, const TVelqorimIndexDef& IndexDef,
                                TVelqorimExpression* Expression) override;

  TABSVariant TempVal{bftLogical};
  String EscapeStr;
};

class TVelqorimExprNodeCase : public TVelqorimExprNode {
 public:
  static std::unique_ptr<TVelqorimExprNodeCase> CreateSimpleCase(TVelqorimExprNodePtr InputExpression);
  static std::unique_ptr<TVelqorimExprNodeCase> CreateSearchedCase();
  static std::unique_ptr<TVelqorimExprNodeCase> CreateCoalesce(TVelqorimExprNodeArray Nodes);
  void AddWhenExpression(TVelqorimExprNodePtr Node);
  void AddResultExpression(TVelqorimExprNodePtr Node);
  void SetElseResultExpression(TVelqorimExprNodePtr Node);

  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;

  std::vector<TVelqorimExprNode*> FWhenExpressions;
  std::vector<TVelqorimExprNode*> FResultExpressions;
  TVelqorimExprNode* FElseResultExpression = nullptr;
  TVelqorimExprNode* FInputExpression = nullptr;
  std::vector<TVelqorimExprNode*> FCoalesceNodes;
  bool FIsCoalesceExpression = false;

 private:
  TVelqorimExprNodeCase() : TVelqorimExprNode(doUNDEFINED, true, false) {}
};

class TVelqorimExprNodeCast : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeCast(TVelqorimExprNodePtr Node, TABSAdvancedFieldType CastType, TVelqorimExprNodePtr CastSizeNode);
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override { return FCastType; }
  int GetDataSize() override;

  TABSAdvancedFieldType FCastType;
  TVelqorimExprNode* LCastSizeNode = nullptr;
};

class TVelqorimExprNodeArithmetic : public TVelqorimExprNode {
 public:
  using TVelqorimExprNode::TVelqorimExprNode;
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
};

class TVelqorimExprNodeStringFunction : public TVelqorimExprNode {
 public:
  using TVelqorimExprNode::TVelqorimExprNode;
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;
};

class TVelqorimExprNodeDateFunction : public TVelqorimExprNode {
 public:
  explicit TVelqorimExprNodeDateFunction(TABSDataOperator Op) : TVelqorimExprNode(Op) {}
  TVelqorimExprNodeDateFunction(TABSDataOperator Op, TVelqorimExprNodePtr Node, const String& FormatStr);
  TVelqorimExprNodeDateFunction(TABSDataOperator Op, TABSDateTimeExtractField ExtractField,
                                TVelqorimExprNodePtr ExtractSource);
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;

  std::unique_ptr<TDateFormater> DateFormater;
  TABSDateTimeExtractField ExtractDateTimeField = dtefYear;
};

// The last autoincrement value of a column as this session saw it: the
// table side is supplied by whoever opens tables (the data-access layer).
class TVelqorimAutoincSource {
 public:
  virtual ~TVelqorimAutoincSource() = default;
  // The column's declared type; 30337 when the table has no such column.
  virtual TABSAdvancedFieldType ColumnType() = 0;
  virtual int64_t LastAutoincValue() = 0;
};
using TVelqorimAutoincSourceFactory = std::function<std::unique_ptr<TVelqorimAutoincSource>(
    const String& SessionName, const String& DatabaseName, const String& TableName, const String& ColumnName,
    bool InMemory)>;
// Set by the layer that opens tables; LASTAUTOINC raises without it.
extern TVelqorimAutoincSourceFactory VelqorimAutoincSourceFactory;

class TVelqorimExprNodeSystem : public TVelqorimExprNode {
 public:
  TVelqorimExprNodeSystem(TABSDataOperator Op, const String& SessionName, const String& DatabaseName,
                          const String& TableName, const String& ColumnName, bool InMemory);
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override { return 0; }

  String FTableName;
  String FColumnName;
  bool FInMemory = false;
  std::unique_ptr<TVelqorimAutoincSource> FTable;
  TABSAdvancedFieldType FFieldType = aftUnknown;
  int32_t FRowNumValue = 0;
};

class TVelqorimExprNodeBlob : public TVelqorimExprNode {
 public:
  using TVelqorimExprNode::TVelqorimExprNode;
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override { return aftString; }
  int GetDataSize() override { return 0; }
};

class TVelqorimExprNodeAggregated : public TVelqorimExprNode {
 public:
  explicit TVelqorimExprNodeAggregated(TABSDataOperator Op);  // COUNT(*)
  TVelqorimExprNodeAggregated(TABSDataOperator Op, bool Distinct, TVelqorimExprNodePtr Node);
  ~TVelqorimExprNodeAggregated() override;
  void Init() override;
  void Accumulate() override;
  void SetCountAll(int64_t RecordCount) override { count = RecordCount; }
  TABSVariant* GetDataValue() override;
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;
  bool IsAggregated() override { return true; }
  bool IsAggregatedCountAll() override { return Operator == doCOUNTALL; }
  bool CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor,
                     bool ForHavingClause) override;
  bool CanBeUsedInGroupBy(const String&) override { return true; }

  int64_t count = 0;
  bool distinct = false;
  TABSVariant AvgSum;

 private:
  // Values met so far in this group, for DISTINCT.
  bool SeenBefore(const TABSVariant& v);
  std::vector<std::unique_ptr<TABSVariant>> FSeen;
};

// A nested query as a subquery node sees it. The SQL processor provides it:
// creating one parses the query at the lexer's position (leaving the lexer
// after it); Prepare builds what Execute runs for the enclosing row.
class TVelqorimSubquery {
 public:
  virtual ~TVelqorimSubquery() = default;
  // Builds the query for the rows of ParentQueryAO; later calls for the same
  // parent reuse that build. Answers whether the query reads the enclosing
  // row (is correlated); raises what building raises (names it cannot bind).
  virtual bool Prepare(TVelqorimAO* ParentQueryAO) = 0;
  virtual void Execute(TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor) = 0;
  virtual int FieldCount() = 0;
  virtual int64_t RecordCount() = 0;
  // Positions on the first row; false when the result is empty.
  virtual bool First() = 0;
  // Moves on; false past the last row.
  virtual bool Next() = 0;
  virtual void GetFieldValue(TABSVariant& Value, int FieldNo) = 0;
  // Whether a row's first column equals Value (case-sensitive, whole values).
  virtual bool Locate(const TABSVariant& Value) = 0;
  // Whether some row's first column compares with Value as Op says (two-valued).
  virtual bool IsAnyRecordMatchCondition(TABSDataOperator Op, const TABSVariant& Value) = 0;
  virtual TABSAdvancedFieldType GetFirstColumnType() = 0;
  virtual int GetFirstColumnSize() = 0;
};
using TVelqorimSubqueryFactory = std::function<std::unique_ptr<TVelqorimSubquery>(TVelqorimLexer& Lexer,
                                                                                 TDataSet* Dataset)>;
// Set by the SQL processor; a subquery raises without it.
extern TVelqorimSubqueryFactory VelqorimSubqueryFactory;

class TVelqorimExprNodeSubquery : public TVelqorimExprNode {
 public:
  // Parses the query at the lexer's position, once.
  TVelqorimExprNodeSubquery(bool MustHaveOneField, bool MustHaveOneRow, TDataSet* Dataset, TVelqorimLexer* Lexer);
  TABSVariant* GetDataValue() override;
  void ResetSubqueryFieldValues() override;
  TABSVariant* GetSubqueryFieldValue(int FieldNo) override;
  void AssignAO(TVelqorimAO* AO, TVelqorimAO*, TVelqorimExprCursor*) override { LAO = AO; }
  void AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO*, TVelqorimExprCursor*) override;
  void AssignCursorBuffer(uint8_t* Buffer, bool) override { LCursorRecordBuffer = Buffer; }
  TABSAdvancedFieldType GetDataType() override;
  int GetDataSize() override;
  bool CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor,
                     bool ForHavingClause) override;

  bool Exists();
  bool IsValueIn(const TABSVariant& Value);
  bool QuantifiedCompare(TABSDataOperator Op, TABSQuantifier Quantifier, const TABSVariant& Value);

  bool FMustHaveOneField;
  bool FMustHaveOneRow;
  TABSVariant FValue;
  std::vector<std::unique_ptr<TABSVariant>> FFieldValues;
  TDataSet* LDataset;
  TVelqorimLexer* LLexer;
  TVelqorimAO* LAO = nullptr;
  TVelqorimExprCursor* LCursor = nullptr;
  uint8_t* LCursorRecordBuffer = nullptr;
  std::shared_ptr<TVelqorimSubquery> FSubquery;
  TABSVariant FPriorValueToCheck;
  bool FPriorResult = false;
  bool FPriorResultInitalized = false;
  bool FCorrelated = false;
  bool FHasRun = false;

 private:
  // Prepares the query for the operator this node is bound to; answers FCorrelated.
  bool Prepare();
  // Runs the query when it is correlated or has not run; then the result is in FSubquery.
  void RunSubquery();
};

class TVelqorimExpression : public TABSBaseExpression {
 public:
  TVelqorimExpression() = default;
  explicit TVelqorimExpression(TVelqorimExprNodePtr RootNode) : FRootExprNode(std::move(RootNode)) {}
  ~TVelqorimExpression() override = default;
  TVelqorimExpression(const TVelqorimExpression&) = delete;
  TVelqorimExpression& operator=(const TVelqorimExpression&) = delete;

  // Parsing.
  void ParseForLocate(TVelqorimExprCursor* Cursor, const String& FieldNames, const std::vector<TABSVarData>& KeyValues,
                      bool KeyValuesIsArray, bool CaseInsensitive, bool PartialKey);
  void ParseForFilter(TVelqorimExprCursor* Cursor, const String& Filter, bool CaseInsensitive, bool PartialKey);
  void ParseForIsAnyRecordMatchCondition(TVelqorimExprCursor* Cursor, const String& FieldName,
                                         TABSDataOperator Operator, const TABSVariant& Value);
  void ParseForBooleanExpression(TDataSet* Dataset, TVelqorimLexer* Lexer);
  void ParseForValueExpression(TDataSet* Dataset, TVelqorimLexer* Lexer);
  bool ParseForDefaultValueExpression(const String& DefaultValue);
  void ParseForRowSubqueryExpression(TDataSet* Dataset, TVelqorimLexer* Lexer);

  // Binding.
  void AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor);
  void AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor);
  void AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields);

  // Evaluation and inspection.
  TABSVariant* GetValue(bool TrueFalseNullLogic = true);
  bool GetResult();
  TABSAdvancedFieldType GetDataType();
  int GetDataSize();
  int GetPrecision();
  bool IsAggregated();
  bool IsAggregatedCountAll();
  void Init();
  void Accumulate();
  void SetCountAll(int64_t RecordCount);
  void ResetSubqueryFieldValues();
  TABSVariant* GetSubqueryFieldValue(int FieldNo);
  void ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList);
  bool CanBeUsedInGroupBy(const String& GroupByFields);
  bool IsEmpty() const;
  bool IsField() const;
  bool IsFieldsExpression() const;
  void GetFieldInfo(String& TableName, String& FieldName) const;

  // Normal form and push-down.
  void MoveAndNodesToRoot();
  void AddNode(TVelqorimExprNodePtr Node);
  void AddAndMoveNodesFromExpression(TVelqorimExpression& Expr);
  void ApplyFilterParts(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor,
                        bool AllowRecurse, bool ForHavingClause);
  // Index scan conditions (the storage engine's planner calls these).
  void CreateIndexScanConditions(TABSScanIndexDefs& IndexDefs, TABSScanSearchConditionArray& ScanConditions,
                                 int SessionID) override;
  bool ExtendMultiFieldIndexCondition(TABSScanSearchCondition& ScanCondition, TABSScanIndexDefs& IndexDefs) override;
  void RemoveExtractedNodes(TABSScanSearchConditionArray& ScanConditions, int ScanConditionNo,
                            int ScanEndConditionNo) override;
  void AddNode(TObject* Node) override;
  void TryCreateIndexScanConditionsFromNode(TVelqorimExprNode* Node, const TVelqorimIndexDefs& IndexDefs,
                                            TABSScanSearchConditionArray& ScanConditions, int SessionID);
  bool ExtendMultiFieldIndexConditionFromNode(TVelqorimExprNode* Node, TABSScanSearchCondition& ScanCondition,
                                              const TVelqorimIndexDef& IndexDef);
  int ExtractJoinConditions(TVelqorimAO* AO1, TVelqorimAO* AO2, std::vector<TVelqorimSelectListItem>& FieldList1,
                            std::vector<TVelqorimSelectListItem>& FieldList2);

  TVelqorimExprNode* Root() const { return FRootExprNode.get(); }
  TVelqorimExprNodePtr ReleaseRootNode() { return std::move(FRootExprNode); }
  void ReleaseRoot() { FRootExprNode.reset(); }
  bool InMemory() const { return FInMemory; }
  void SetInMemory(bool Value) { FInMemory = Value; }

  TVelqorimLexer* LLex = nullptr;
  TToken Token;
  TVelqorimExprCursor* LCursor = nullptr;
  TDataSet* LDataset = nullptr;
  TVelqorimExprNodePtr FRootExprNode;
  bool FCaseInsensitive = false;
  bool FPartialKey = false;
  bool F3ValueLogic = true;
  bool FInMemory = false;
  String FDatabaseName;
  String FSessionName;

 private:
  friend class TVelqorimExprParser;
  // The lexer of a filter or default text, which subquery nodes may keep using.
  std::unique_ptr<TVelqorimLexer> FOwnedLexer;

 public:
  // Views of the storage cursors this expression is bound to, by cursor (see VelqorimExprStorage.cpp).
  struct TCursorLink {
    const void* Cursor;
    std::unique_ptr<TVelqorimExprCursor> Link;
  };
  std::vector<TCursorLink> FCursorLinks;
};

// Installs the expression layer's evaluation, binding and default-value hooks
// into the storage engine; start-up calls it once.
void InstallVelqorimExpressionHooks();

// The database and session names of a dataset, for LASTAUTOINC; set by the dataset layer.
extern std::function<void(TDataSet* Dataset, String& DatabaseName, String& SessionName)> VelqorimDatasetNames;
