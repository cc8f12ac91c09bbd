// Index scan conditions from the conjuncts of a filter expression.
#include "db/sql/VelqorimExprUtil.h"
#include "db/storage/VelqorimBase.h"
#include "db/support/DAZUnicode.h"

namespace {

bool IsComparisonOrNullTest(const TVelqorimExprNode* n) {
  return dynamic_cast<const TVelqorimExprNodeComparison*>(n) ||
         (dynamic_cast<const TVelqorimExprNodeBoolean*>(n) && (n->Operator == doISNULL || n->Operator == doISNOTNULL));
}

bool IsAnd(const TVelqorimExprNode* n) { return n->Operator == doAND && dynamic_cast<const TVelqorimExprNodeBoolean*>(n); }

// A column of this query, alone or under UPPER or LOWER.
bool CanUseNodeAsField(TVelqorimExprNode* Node) {
  if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node)) return !f->GetFromParent();
  if (dynamic_cast<TVelqorimExprNodeStringFunction*>(Node) && (Node->Operator == doUPPER || Node->Operator == doLOWER))
    if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node->Child(0))) return !f->GetFromParent();
  return false;
}

// A constant, or a column of the enclosing query (fixed while this query scans).
bool CanUseNodeAsConst(TVelqorimExprNode* Node) {
  if (dynamic_cast<TVelqorimExprNodeConst*>(Node)) return true;
  auto* f = dynamic_cast<TVelqorimExprNodeField*>(Node);
  return f && f->GetFromParent();
}

TVelqorimExprNodeField* GetFieldNode(TVelqorimExprNode* Node) {
  if (dynamic_cast<TVelqorimExprNodeStringFunction*>(Node)) return dynamic_cast<TVelqorimExprNodeField*>(Node->Child(0));
  return dynamic_cast<TVelqorimExprNodeField*>(Node);
}

bool SameName(const String& a, const String& b) { return UpperCase(a) == UpperCase(b); }

bool IndexUsableByFirstColumn(const TVelqorimIndexDef& IndexDef, int SessionID) {
  return !(IndexDef.Temporary && IndexDef.SessionID != SessionID);
}

TABSSearchCondition SearchConditionOf(TABSDataOperator Op, bool Descending) {
  switch (Op) {
    case doEQ: return scEqual;
    case doGT: return Descending ? scLower : scGreater;
    case doLT: return Descending ? scGreater : scLower;
    case doGE: return Descending ? scLowerEqual : scGreaterEqual;
    case doLE: return Descending ? scGreaterEqual : scLowerEqual;
    default: return scNone;
  }
}

void AddKeyValueToCondition(const TABSVariant& Value, TVelqorimExprCursor* Cursor, TABSScanSearchCondition& Condition,
                            TVelqorimExpression* Expression, int FieldNo, TVelqorimExprNode* Node) {
  Cursor->SetFieldValue(Value, FieldNo, true, Condition.KeyRecordBuffer);
  Condition.KeyFieldCount++;
  Condition.ParentExpressions.push_back(Expression);
  Condition.ParentExpressionNodes.push_back(Node);
}

void NewKeyCondition(TABSScanSearchConditionArray& ScanConditions, const TVelqorimIndexDef& IndexDef,
                     TVelqorimExpression* Expression, TVelqorimExprNode* Node, TVelqorimExprNodeField* Field,
                     TABSSearchCondition Condition, const TABSVariant& Key, bool Partial) {
  TABSScanSearchCondition c;
  c.Condition = Condition;
  c.KeyRecordBuffer = Field->Cursor()->AllocateRecordBuffer();
  c.KeyRecordBufferSize = Field->Cursor()->GetRecordBufferSize();
  c.KeyFieldCount = 0;
  c.IndexID = IndexDef.ObjectID;
  c.CreatedFromExpression = true;
  c.PartialCompare = Partial;
  AddKeyValueToCondition(Key, Field->Cursor(), c, Expression, Field->FieldNo(), Node);
  ScanConditions.AddCondition(c);
}

// The operator read with the column on the left: "3 > a" keys the index as "a < 3".
TABSDataOperator ColumnSideOperator(TVelqorimExprNode& Comparison, TVelqorimExprNodeField* Field) {
  const bool columnOnRight = Comparison.ChildCount() > 1 && (Comparison.Child(1) == Field ||
                                                             GetFieldNode(Comparison.Child(1)) == Field);
  if (!columnOnRight) return Comparison.Operator;
  switch (Comparison.Operator) {
    case doGT: return doLT;
    case doLT: return doGT;
    case doGE: return doLE;
    case doLE: return doGE;
    default: return Comparison.Operator;
  }
}

}  // namespace

void TVelqorimExprNodeComparison::GetFieldAndConstNodes(TVelqorimExprNodeField*& FieldNode,
                                                        TVelqorimExprNode*& ConstNode) {
  FieldNode = nullptr;
  ConstNode = nullptr;
  TVelqorimExprNode* fieldSide = nullptr;
  for (auto& c : Children) {
    if (CanUseNodeAsConst(c.get())) ConstNode = c.get();
    if (CanUseNodeAsField(c.get())) {
      fieldSide = c.get();
      FieldNode = GetFieldNode(c.get());
    }
  }
  if (!FieldNode || !ConstNode || fieldSide == FieldNode) return;
  const TABSVariant* v = ConstNode->GetDataValue();
  const bool isUpper = fieldSide->Operator == doUPPER;
  bool fits = !v->IsNull() && v->IsStringDataType();
  if (fits) {
    const WideString t = v->GetAsWideString();
    fits = isUpper ? t == UnicodeUpperCase(t) : t == UnicodeLowerCase(t);
  }
  if (!fits) {
    FieldNode = nullptr;
    ConstNode = nullptr;
    return;
  }
  FCaseInsensitive = true;  // the index may then be a case-insensitive one
}

bool TVelqorimExprNodeComparison::CanUseIndex(int IndexColumnNo, TABSSearchCondition ConditionSearchOperator,
                                              const TVelqorimIndexDef& IndexDef, int SessionID) {
  if (FQuantifier != qUNDEFINED || IndexColumnNo >= IndexDef.ColumnCount()) return false;
  TVelqorimExprNodeField* field;
  TVelqorimExprNode* constant;
  GetFieldAndConstNodes(field, constant);
  if (!field || !constant) return false;
  const TVelqorimIndexColumn& column = IndexDef.GetIndexColumn(IndexColumnNo);
  if (!SameName(field->FieldName(), column.FieldName)) return false;
  if (IndexColumnNo == 0 && !IndexUsableByFirstColumn(IndexDef, SessionID)) return false;
  const TABSBaseFieldType type = field->BaseFieldType();
  if (IsBlobBaseFieldType(type)) return false;
  if (IsStringBaseFieldType(type) && column.CaseInsensitive != FCaseInsensitive) return false;
  if (FPartialKey) return false;
  const TABSDataOperator op = ColumnSideOperator(*this, field);
  if (op != doEQ && op != doGT && op != doLT && op != doGE && op != doLE) return false;
  // A NULL key, and a two-valued "lower" test that a NULL column passes, would
  // make an index scan answer differently from the filter: no index for them.
  if (constant->GetDataValue()->IsNull()) return false;
  if (!F3ValueLogic && (op == doLT || op == doLE)) return false;
  if (IsStringBaseFieldType(type) && constant->GetDataSize() >= field->FieldSize()) return false;
  if (IndexColumnNo > 0 && (ConditionSearchOperator != scEqual || op != doEQ)) return false;
  return true;
}

void TVelqorimExprNodeComparison::AddAsIndexScanCondition(TABSScanSearchConditionArray& ScanConditions,
                                                          const TVelqorimIndexDef& IndexDef,
                                                          TVelqorimExpression* Expression) {
  TVelqorimExprNodeField* field;
  TVelqorimExprNode* constant;
  GetFieldAndConstNodes(field, constant);
  if (!field || !constant) throw EABSException(20055, "Pointer is nil");
  if (!field->Cursor()) throw EABSException(20054, "Pointer is nil");
  if (IndexDef.ColumnCount() < 1) throw EABSException(20057, "Invalid index for search");
  NewKeyCondition(ScanConditions, IndexDef, Expression, this, field,
                  SearchConditionOf(ColumnSideOperator(*this, field), IndexDef.GetIndexColumn(0).Descending),
                  *constant->GetDataValue(),
                  FPartialKey);
}

void TVelqorimExprNodeComparison::ExtendIndexScanCondition(TABSScanSearchCondition& ScanCondition,
                                                           const TVelqorimIndexDef&, TVelqorimExpression* Expression) {
  TVelqorimExprNodeField* field;
  TVelqorimExprNode* constant;
  GetFieldAndConstNodes(field, constant);
  if (!field || !constant || !field->Cursor()) return;
  AddKeyValueToCondition(*constant->GetDataValue(), field->Cursor(), ScanCondition, Expression, field->FieldNo(), this);
}

bool TVelqorimExprNodeBoolean::CanUseIndex(int IndexColumnNo, TABSSearchCondition ConditionSearchOperator,
                                           const TVelqorimIndexDef& IndexDef, int SessionID) {
  if (Operator != doISNULL && Operator != doISNOTNULL) return false;
  if (IndexColumnNo >= IndexDef.ColumnCount() || Children.empty() || !CanUseNodeAsField(Child(0))) return false;
  TVelqorimExprNodeField* field = GetFieldNode(Child(0));
  if (!field || !SameName(field->FieldName(), IndexDef.GetIndexColumn(IndexColumnNo).FieldName)) return false;
  if (IndexColumnNo == 0) return IndexUsableByFirstColumn(IndexDef, SessionID);
  return Operator == doISNULL && ConditionSearchOperator == scEqual;
}

void TVelqorimExprNodeBoolean::AddAsIndexScanCondition(TABSScanSearchConditionArray& ScanConditions,
                                                       const TVelqorimIndexDef& IndexDef,
                                                       TVelqorimExpression* Expression) {
  TVelqorimExprNodeField* field = Children.empty() ? nullptr : GetFieldNode(Child(0));
  if (!field || !field->Cursor()) throw EABSException(20254, "Pointer is nil");
  if (IndexDef.ColumnCount() < 1) throw EABSException(20255, "Invalid index for search");
  const bool descending = IndexDef.GetIndexColumn(0).Descending;
  const TABSSearchCondition c = Operator == doISNULL ? scEqual : descending ? scLower : scGreater;
  NewKeyCondition(ScanConditions, IndexDef, Expression, this, field, c, TABSVariant(), false);
}

void TVelqorimExprNodeBoolean::ExtendIndexScanCondition(TABSScanSearchCondition& ScanCondition,
                                                        const TVelqorimIndexDef&, TVelqorimExpression* Expression) {
  TVelqorimExprNodeField* field = Children.empty() ? nullptr : GetFieldNode(Child(0));
  if (!field || !field->Cursor()) return;
  AddKeyValueToCondition(TABSVariant(), field->Cursor(), ScanCondition, Expression, field->FieldNo(), this);
}

// ---------------------------------------------------------------------------
// The expression's side

void TVelqorimExpression::TryCreateIndexScanConditionsFromNode(TVelqorimExprNode* Node,
                                                               const TVelqorimIndexDefs& IndexDefs,
                                                               TABSScanSearchConditionArray& ScanConditions,
                                                               int SessionID) {
  if (IsComparisonOrNullTest(Node)) {
    for (int i = 0; i < IndexDefs.Count(); ++i) {
      const TVelqorimIndexDef& def = *IndexDefs.GetIndexDef(i);
      if (Node->CanUseIndex(0, scNone, def, SessionID)) Node->AddAsIndexScanCondition(ScanConditions, def, this);
    }
  } else if (IsAnd(Node)) {
    for (auto& c : Node->Children) TryCreateIndexScanConditionsFromNode(c.get(), IndexDefs, ScanConditions, SessionID);
  }
}

void TVelqorimExpression::CreateIndexScanConditions(TABSScanIndexDefs& IndexDefs,
                                                    TABSScanSearchConditionArray& ScanConditions, int SessionID) {
  auto* defs = dynamic_cast<TVelqorimIndexDefs*>(&IndexDefs);
  if (!defs || !FRootExprNode) return;
  TryCreateIndexScanConditionsFromNode(FRootExprNode.get(), *defs, ScanConditions, SessionID);
}

bool TVelqorimExpression::ExtendMultiFieldIndexConditionFromNode(TVelqorimExprNode* Node,
                                                                 TABSScanSearchCondition& ScanCondition,
                                                                 const TVelqorimIndexDef& IndexDef) {
  if (IsComparisonOrNullTest(Node)) {
    if (ScanCondition.KeyFieldCount >= IndexDef.ColumnCount()) return false;
    if (!Node->CanUseIndex(ScanCondition.KeyFieldCount, ScanCondition.Condition, IndexDef, -1)) return false;
    Node->ExtendIndexScanCondition(ScanCondition, IndexDef, this);
    return true;
  }
  if (IsAnd(Node))
    for (auto& c : Node->Children)
      if (ExtendMultiFieldIndexConditionFromNode(c.get(), ScanCondition, IndexDef)) return true;
  return false;
}

bool TVelqorimExpression::ExtendMultiFieldIndexCondition(TABSScanSearchCondition& ScanCondition,
                                                         TABSScanIndexDefs& IndexDefs) {
  auto* defs = dynamic_cast<TVelqorimIndexDefs*>(&IndexDefs);
  if (!defs || !FRootExprNode) return false;
  const TVelqorimIndexDef* def = defs->GetIndexDefByObjectId(ScanCondition.IndexID);
  if (!def) return false;
  return ExtendMultiFieldIndexConditionFromNode(FRootExprNode.get(), ScanCondition, *def);
}

void TVelqorimExpression::RemoveExtractedNodes(TABSScanSearchConditionArray& ScanConditions, int ScanConditionNo,
                                               int ScanEndConditionNo) {
  for (int no : {ScanConditionNo, ScanEndConditionNo}) {
    if (no < 0 || no >= 256 || no >= ScanConditions.Count()) continue;
    TABSScanSearchCondition& c = ScanConditions[no];
    for (size_t j = 0; j < c.ParentExpressions.size() && j < c.ParentExpressionNodes.size(); ++j) {
      if (c.ParentExpressions[j] != this || !FRootExprNode) continue;
      TObject* node = c.ParentExpressionNodes[j];
      if (FRootExprNode.get() == node) {
        (void)FRootExprNode.release();  // the condition holds it until it is put back
        continue;
      }
      auto& kids = FRootExprNode->Children;
      for (size_t k = 0; k < kids.size(); ++k)
        if (kids[k].get() == node) {
          (void)kids[k].release();
          kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(k));
          break;
        }
    }
    if (ScanEndConditionNo == ScanConditionNo) break;
  }
}

void TVelqorimExpression::AddNode(TObject* Node) {
  auto* n = dynamic_cast<TVelqorimExprNode*>(Node);
  if (n) AddNode(TVelqorimExprNodePtr(n));
}
