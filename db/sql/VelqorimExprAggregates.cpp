// Aggregates over the rows of a group, and subqueries inside expressions.
#include "db/sql/VelqorimExprUtil.h"

// ---------------------------------------------------------------------------
// Aggregates

TVelqorimExprNodeAggregated::TVelqorimExprNodeAggregated(TABSDataOperator Op) : TVelqorimExprNode(Op) {}

TVelqorimExprNodeAggregated::TVelqorimExprNodeAggregated(TABSDataOperator Op, bool Distinct,
                                                         TVelqorimExprNodePtr Node)
    : TVelqorimExprNode(Op), distinct(Distinct) {
  AddChild(std::move(Node));
}

TVelqorimExprNodeAggregated::~TVelqorimExprNodeAggregated() = default;

void TVelqorimExprNodeAggregated::Init() {
  count = 0;
  Value.Clear(Value.DataType());
  if (Operator == doAVG) AvgSum.Clear(AvgSum.DataType());
  FSeen.clear();
}

bool TVelqorimExprNodeAggregated::SeenBefore(const TABSVariant& v) {
  // Binary search over the values of this group, kept in order.
  size_t lo = 0, hi = FSeen.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    const TABSCompareResult c = FSeen[mid]->Compare(v, false, false, false);
    if (c == cmprEqual) return true;
    if (c == cmprLower) lo = mid + 1;
    else hi = mid;
  }
  auto copy = std::make_unique<TABSVariant>();
  copy->Assign(v, true);
  FSeen.insert(FSeen.begin() + static_cast<std::ptrdiff_t>(lo), std::move(copy));
  return false;
}

void TVelqorimExprNodeAggregated::Accumulate() {
  if (Operator == doCOUNTALL) {
    count++;
    return;
  }
  const TABSVariant* v = Children.empty() ? nullptr : Children[0]->GetDataValue();
  if (!v) RaiseUnknownOperator(30134, Operator);
  // DISTINCT takes each value once per group; MIN and MAX are the same either way.
  const bool skip = [&] {
    if (!distinct || v->IsNull() || Operator == doMIN || Operator == doMAX) return false;
    return SeenBefore(*v);
  }();
  switch (Operator) {
    case doSUM:
      if (v->IsNull() || skip) return;
      if (!v->IsNumericDataType())
        throw EABSException(30132, "Not numeric argument in numeric operator '%s'", {"SUM"});
      if (Value.IsNull()) {
        Value.Assign(*v, true);
        // Integers add up in 64 bits.
        if (IsIntegerBaseFieldType(Value.DataType())) Value.Cast(bftSignedInt64);
      } else if (Value.DataType() == bftSignedInt64 && IsIntegerBaseFieldType(v->DataType())) {
        int64_t sum;
        if (__builtin_add_overflow(Value.GetAsInt64(), v->GetAsInt64(), &sum)) RaiseFunctionOverflow("SUM");
        Value.SetAsInt64(sum);
      } else {
        Value.Add(*v);
      }
      return;
    case doAVG:
      if (v->IsNull() || skip) return;
      if (!v->IsNumericDataType())
        throw EABSException(30133, "Not numeric argument in numeric operator '%s'", {"AVG"});
      if (AvgSum.IsNull()) {
        AvgSum.Assign(*v, true);
        if (AvgSum.DataType() != bftDouble) AvgSum.Cast(bftDouble);
      } else {
        AvgSum.Add(*v);
      }
      count++;
      return;
    case doMIN:
      if (Value.IsNull()) Value.Assign(*v, true);
      else if (!v->IsNull() && v->Compare(Value, true, true, false) == cmprLower) Value.Assign(*v, true);
      return;
    case doMAX:
      if (Value.IsNull() || (!v->IsNull() && v->Compare(Value, true, true, false) == cmprGreater))
        Value.Assign(*v, true);
      return;
    case doCOUNT:
      if (!v->IsNull() && !skip) count++;
      return;
    default:
      RaiseUnknownOperator(30134, Operator);
  }
}

TABSVariant* TVelqorimExprNodeAggregated::GetDataValue() {
  switch (Operator) {
    case doAVG:
      if (AvgSum.IsNull() || count == 0) {
        Value.Clear(bftDouble);
      } else {
        Value.Assign(AvgSum, true);
        TABSVariant n;
        n.SetAsDouble(static_cast<double>(count));
        Value.Division(n);
      }
      break;
    case doCOUNT: case doCOUNTALL:
      SetIntegerValue(Value, count);
      break;
    case doSUM: case doMIN: case doMAX:
      break;
    default:
      RaiseUnknownOperator(30134, Operator);
  }
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeAggregated::GetDataType() {
  switch (Operator) {
    case doSUM: {
      const TABSAdvancedFieldType t = Children[0]->GetDataType();
      return (t == aftSingle || t == aftDouble || t == aftExtended || t == aftCurrency) ? t : aftLargeint;
    }
    case doAVG: return aftDouble;
    case doMIN: case doMAX: return Children[0]->GetDataType();
    default: return aftInteger;
  }
}

int TVelqorimExprNodeAggregated::GetDataSize() {
  if (Operator == doMIN || Operator == doMAX) return Children[0]->GetDataSize();
  return TVelqorimExprNode::GetDataSize();
}

bool TVelqorimExprNodeAggregated::CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO,
                                                TVelqorimExprCursor* ParentCursor, bool) {
  return AO && AO->IsGroupBy() && TVelqorimExprNode::CanBeAssigned(AO, ParentQueryAO, ParentCursor, false);
}

// ---------------------------------------------------------------------------
// Subqueries

TVelqorimExprNodeSubquery::TVelqorimExprNodeSubquery(bool MustHaveOneField, bool MustHaveOneRow, TDataSet* Dataset,
                                                     TVelqorimLexer* Lexer)
    : TVelqorimExprNode(doUNDEFINED, true, false),
      FMustHaveOneField(MustHaveOneField),
      FMustHaveOneRow(MustHaveOneRow),
      LDataset(Dataset),
      LLexer(Lexer) {
  // Parsed once, here (leaving the lexer after the query); questions about
  // its type, size or binding and every run use that parse: parsing nested
  // queries again for each would cost time exponential in their depth.
  if (!VelqorimSubqueryFactory) throw EABSException(ErrNoSubqueries, "Subqueries are not available here");
  const std::pair<int32_t, int32_t> at(LLexer->CurrentCommandNo, LLexer->GetCurrentTokenNo());
  auto parsed = LLexer->ParsedQueries.find(at);
  if (parsed != LLexer->ParsedQueries.end()) {
    FSubquery = std::static_pointer_cast<TVelqorimSubquery>(parsed->second.Query);
    LLexer->SetCurrentTokenNo(parsed->second.EndTokenNo);
    return;
  }
  FSubquery = VelqorimSubqueryFactory(*LLexer, LDataset);
  LLexer->ParsedQueries[at] = {FSubquery, LLexer->GetCurrentTokenNo()};
}

void TVelqorimExprNodeSubquery::AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO*, TVelqorimExprCursor*) {
  LCursor = Cursor;
  LCursorRecordBuffer = Cursor ? Cursor->GetCurrentRecordBuffer() : nullptr;
}

bool TVelqorimExprNodeSubquery::Prepare() {
  FCorrelated = FSubquery->Prepare(LAO);
  return FCorrelated;
}

bool TVelqorimExprNodeSubquery::CanBeAssigned(TVelqorimAO* AO, TVelqorimAO*, TVelqorimExprCursor*, bool) {
  try {
    FSubquery->Prepare(AO);
  } catch (const EABSException&) {
    return false;
  }
  return true;
}

void TVelqorimExprNodeSubquery::RunSubquery() {
  if (!Prepare() && FHasRun) return;
  FHasRun = false;
  uint8_t* saved = LCursor ? LCursor->GetCurrentRecordBuffer() : nullptr;
  try {
    if (LCursor) LCursor->SetCurrentRecordBuffer(LCursorRecordBuffer);
    FSubquery->Execute(LAO, LCursor);
    if (LCursor) LCursor->SetCurrentRecordBuffer(saved);
    if (FMustHaveOneField && FSubquery->FieldCount() != 1)
      throw EABSException(20246, "Subquery must have only one result field, but subquery's FieldCount=%d",
                          {FSubquery->FieldCount()});
    if (FMustHaveOneRow) {
      const int64_t rows = FSubquery->RecordCount();
      if (rows == 0) throw EABSException(20249, "Subquery must have one row, but it contains 0 rows");
      if (rows > 1) throw EABSException(20247, "Subquery must have only one row");
    }
  } catch (...) {
    if (LCursor) LCursor->SetCurrentRecordBuffer(saved);
    throw;
  }
  FHasRun = true;
}

TABSVariant* TVelqorimExprNodeSubquery::GetDataValue() {
  RunSubquery();
  FValue.Clear(FValue.DataType());
  if (FSubquery->First()) FSubquery->GetFieldValue(FValue, 0);
  Value.Assign(FValue, true);
  return &Value;
}

void TVelqorimExprNodeSubquery::ResetSubqueryFieldValues() {
  RunSubquery();
  const int n = FSubquery->FieldCount();
  FFieldValues.resize(static_cast<size_t>(std::max(n, 0)));
  for (auto& v : FFieldValues)
    if (!v) v = std::make_unique<TABSVariant>();
  const bool any = FSubquery->First();
  for (int i = 0; i < n; ++i) {
    TABSVariant& v = *FFieldValues[static_cast<size_t>(i)];
    v.Clear(v.DataType());
    if (any) FSubquery->GetFieldValue(v, i);
  }
}

TABSVariant* TVelqorimExprNodeSubquery::GetSubqueryFieldValue(int FieldNo) {
  if (FieldNo < 0 || FieldNo >= static_cast<int>(FFieldValues.size())) return nullptr;
  return FFieldValues[static_cast<size_t>(FieldNo)].get();
}

bool TVelqorimExprNodeSubquery::Exists() {
  RunSubquery();
  return FSubquery->RecordCount() > 0;
}

bool TVelqorimExprNodeSubquery::IsValueIn(const TABSVariant& Value) {
  RunSubquery();
  if (FCorrelated) return FSubquery->Locate(Value);
  if (!FPriorResultInitalized || Value.Compare(FPriorValueToCheck, false, false, false) != cmprEqual) {
    FPriorResult = FSubquery->Locate(Value);
    FPriorValueToCheck.Assign(Value, true);
    FPriorResultInitalized = true;
  }
  return FPriorResult;
}

namespace {

TABSDataOperator MirrorOperator(TABSDataOperator Op) {
  switch (Op) {
    case doGT: return doLT;
    case doLT: return doGT;
    case doGE: return doLE;
    case doLE: return doGE;
    default: return Op;
  }
}

TABSDataOperator NegateOperator(TABSDataOperator Op) {
  switch (Op) {
    case doEQ: return doNE;
    case doNE: return doEQ;
    case doGT: return doLE;
    case doLE: return doGT;
    case doLT: return doGE;
    case doGE: return doLT;
    default: return Op;
  }
}

}  // namespace

bool TVelqorimExprNodeSubquery::QuantifiedCompare(TABSDataOperator Op, TABSQuantifier Quantifier,
                                                  const TABSVariant& Value) {
  RunSubquery();
  if (FSubquery->RecordCount() == 0) return Quantifier == qALL;
  TABSDataOperator op = MirrorOperator(Op);
  if (Quantifier == qALL) op = NegateOperator(op);
  const bool b = FSubquery->IsAnyRecordMatchCondition(op, Value);
  return Quantifier == qALL ? !b : b;
}

TABSAdvancedFieldType TVelqorimExprNodeSubquery::GetDataType() {
  Prepare();
  return FSubquery->GetFirstColumnType();
}

int TVelqorimExprNodeSubquery::GetDataSize() {
  Prepare();
  return FSubquery->GetFirstColumnSize();
}
