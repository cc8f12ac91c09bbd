// The expression facade: binding, evaluation, normal form, push-down and join keys.
#include "db/sql/VelqorimExprUtil.h"

void TVelqorimExpression::AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO,
                                       TVelqorimExprCursor* ParentCursor) {
  if (!FRootExprNode) return;
  FRootExprNode->AssignCursor(Cursor, ParentQueryAO, ParentCursor);
  FRootExprNode->PrepareTypes();
}

void TVelqorimExpression::AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor) {
  if (!FRootExprNode) return;
  FRootExprNode->AssignAO(AO, ParentQueryAO, ParentCursor);
  FRootExprNode->PrepareTypes();
}

void TVelqorimExpression::AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields) {
  if (!FRootExprNode) return;
  FRootExprNode->AssignCursorBuffer(Buffer, ApplyToParentQueryFields);
  FRootExprNode->PrepareTypes();
}

TABSVariant* TVelqorimExpression::GetValue(bool TrueFalseNullLogic) {
  if (!FRootExprNode) return nullptr;
  TABSVariant* v = FRootExprNode->GetDataValue();
  if (v->IsNull() && !TrueFalseNullLogic) {
    v->Clear(bftLogical);
    v->SetAsBoolean(false);
  }
  return v;
}

bool TVelqorimExpression::GetResult() {
  if (!FRootExprNode) throw EABSException(30110, "Value is Null");
  return GetValue(false)->GetAsBoolean();
}

TABSAdvancedFieldType TVelqorimExpression::GetDataType() {
  return FRootExprNode ? FRootExprNode->GetDataType() : aftUnknown;
}
int TVelqorimExpression::GetDataSize() { return FRootExprNode ? FRootExprNode->GetDataSize() : 0; }
int TVelqorimExpression::GetPrecision() { return FRootExprNode ? FRootExprNode->GetPrecision() : 0; }
bool TVelqorimExpression::IsAggregated() { return FRootExprNode && FRootExprNode->IsAggregated(); }
bool TVelqorimExpression::IsAggregatedCountAll() { return FRootExprNode && FRootExprNode->IsAggregatedCountAll(); }

void TVelqorimExpression::Init() {
  if (FRootExprNode) FRootExprNode->Init();
}
void TVelqorimExpression::Accumulate() {
  if (FRootExprNode) FRootExprNode->Accumulate();
}
void TVelqorimExpression::SetCountAll(int64_t RecordCount) {
  if (FRootExprNode) FRootExprNode->SetCountAll(RecordCount);
}
void TVelqorimExpression::ResetSubqueryFieldValues() {
  if (FRootExprNode) FRootExprNode->ResetSubqueryFieldValues();
}
TABSVariant* TVelqorimExpression::GetSubqueryFieldValue(int FieldNo) {
  return FRootExprNode ? FRootExprNode->GetSubqueryFieldValue(FieldNo) : nullptr;
}
void TVelqorimExpression::ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList) {
  if (FRootExprNode) FRootExprNode->ReplacePseudonyms(SelectList);
}
bool TVelqorimExpression::CanBeUsedInGroupBy(const String& GroupByFields) {
  return !FRootExprNode || FRootExprNode->CanBeUsedInGroupBy(GroupByFields);
}

bool TVelqorimExpression::IsEmpty() const {
  if (!FRootExprNode) return true;
  return dynamic_cast<TVelqorimExprNodeBoolean*>(FRootExprNode.get()) && FRootExprNode->Children.empty();
}

bool TVelqorimExpression::IsField() const {
  return dynamic_cast<TVelqorimExprNodeField*>(FRootExprNode.get()) != nullptr;
}

bool TVelqorimExpression::IsFieldsExpression() const {
  if (!FRootExprNode) return false;
  if (IsField()) return true;
  for (auto& c : FRootExprNode->Children)
    if (dynamic_cast<TVelqorimExprNodeField*>(c.get())) return true;
  return false;
}

void TVelqorimExpression::GetFieldInfo(String& TableName, String& FieldName) const {
  auto* f = dynamic_cast<TVelqorimExprNodeField*>(FRootExprNode.get());
  if (!f) throw EABSException(30198, "Node is not a field");
  TableName = f->TableName();
  FieldName = f->FieldName();
}

// ---------------------------------------------------------------------------
// Normal form

namespace {

bool IsAndNode(const TVelqorimExprNode* n) {
  return n && n->Operator == doAND && dynamic_cast<const TVelqorimExprNodeBoolean*>(n);
}

}  // namespace

void TVelqorimExpression::MoveAndNodesToRoot() {
  if (!IsAndNode(FRootExprNode.get())) return;
  auto& kids = FRootExprNode->Children;
  size_t i = 0;
  while (i < kids.size()) {
    if (!IsAndNode(kids[i].get())) {
      i++;
      continue;
    }
    TVelqorimExprNodePtr inner = std::move(kids[i]);
    kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
    for (auto& g : inner->Children) kids.push_back(std::move(g));
  }
}

void TVelqorimExpression::AddNode(TVelqorimExprNodePtr Node) {
  if (!FRootExprNode) FRootExprNode = std::move(Node);
  else FRootExprNode->AddChild(std::move(Node));
}

void TVelqorimExpression::AddAndMoveNodesFromExpression(TVelqorimExpression& Expr) {
  if (!FRootExprNode) {
    FRootExprNode = std::move(Expr.FRootExprNode);
    return;
  }
  if (!IsAndNode(FRootExprNode.get())) {
    auto n = std::make_unique<TVelqorimExprNodeBoolean>(doAND);
    n->AddChild(std::move(FRootExprNode));
    FRootExprNode = std::move(n);
  }
  if (Expr.FRootExprNode) FRootExprNode->AddChild(std::move(Expr.FRootExprNode));
  MoveAndNodesToRoot();
}

// ---------------------------------------------------------------------------
// Push-down

void TVelqorimExpression::ApplyFilterParts(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO,
                                           TVelqorimExprCursor* ParentCursor, bool AllowRecurse,
                                           bool ForHavingClause) {
  if (AllowRecurse && AO && !AO->IsOuterJoin()) {
    if (TVelqorimAO* left = AO->GetLeftAO())
      ApplyFilterParts(left, ParentQueryAO, ParentCursor, AllowRecurse, ForHavingClause);
    if (TVelqorimAO* right = AO->GetRightAO())
      ApplyFilterParts(right, ParentQueryAO, ParentCursor, AllowRecurse, ForHavingClause);
  }
  if (!FRootExprNode || !AO) return;
  TVelqorimExprNodePtr taken;
  if (IsAndNode(FRootExprNode.get())) {
    auto& kids = FRootExprNode->Children;
    for (size_t i = 0; i < kids.size();) {
      if (!kids[i]->CanBeAssigned(AO, ParentQueryAO, ParentCursor, ForHavingClause)) {
        i++;
        continue;
      }
      TVelqorimExprNodePtr part = std::move(kids[i]);
      kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
      if (!taken) {
        taken = std::move(part);
      } else if (IsAndNode(taken.get())) {
        taken->AddChild(std::move(part));
      } else {
        auto n = std::make_unique<TVelqorimExprNodeBoolean>(doAND);
        n->AddChild(std::move(taken));
        n->AddChild(std::move(part));
        taken = std::move(n);
      }
    }
    if (kids.empty()) FRootExprNode.reset();
  } else if (FRootExprNode->CanBeAssigned(AO, ParentQueryAO, ParentCursor, ForHavingClause)) {
    taken = std::move(FRootExprNode);
  }
  if (taken) AO->SetFilter(std::make_unique<TVelqorimExpression>(std::move(taken)));
}

// ---------------------------------------------------------------------------
// Join keys

namespace {

// Matches of a column in both inputs: (count in AO1, count in AO2).
std::pair<int, int> CountMatches(TVelqorimExprNodeField* f, TVelqorimAO* AO1, TVelqorimAO* AO2) {
  std::vector<int> scratch;
  const int a = AO1 ? AO1->FieldExists(f->FieldName(), f->TableName(), true, &scratch, false, false) : 0;
  const int b = AO2 ? AO2->FieldExists(f->FieldName(), f->TableName(), true, &scratch, false, false) : 0;
  return {a, b};
}

}  // namespace

bool TVelqorimExprNodeComparison::IsJoinCondition(TVelqorimAO* AO1, TVelqorimAO* AO2) {
  if (Operator != doEQ || FQuantifier != qUNDEFINED) return false;
  auto* f1 = dynamic_cast<TVelqorimExprNodeField*>(Children[0].get());
  auto* f2 = dynamic_cast<TVelqorimExprNodeField*>(Children[1].get());
  if (!f1 || !f2 || f1->GetFromParent() || f2->GetFromParent()) return false;
  const auto [a1, b1] = CountMatches(f1, AO1, AO2);
  if (a1 + b1 > 1) throw EABSException(10404, "Ambiguous field reference to '%s'", {f1->FieldName()});
  const auto [a2, b2] = CountMatches(f2, AO1, AO2);
  if (a2 + b2 > 1) throw EABSException(10405, "Ambiguous field reference to '%s'", {f2->FieldName()});
  if (a1 + b1 != 1 || a2 + b2 != 1) return false;
  return a1 != a2;  // one column on each side
}

int TVelqorimExpression::ExtractJoinConditions(TVelqorimAO* AO1, TVelqorimAO* AO2,
                                               std::vector<TVelqorimSelectListItem>& FieldList1,
                                               std::vector<TVelqorimSelectListItem>& FieldList2) {
  auto addPair = [&](TVelqorimExprNode* n) {
    FieldList1.emplace_back();
    static_cast<TVelqorimExprNodeField*>(n->Children[0].get())->FillItem(FieldList1.back());
    FieldList2.emplace_back();
    static_cast<TVelqorimExprNodeField*>(n->Children[1].get())->FillItem(FieldList2.back());
  };
  if (!FRootExprNode) return 0;
  if (IsAndNode(FRootExprNode.get())) {
    int taken = 0;
    auto& kids = FRootExprNode->Children;
    for (size_t i = 0; i < kids.size();) {
      if (!kids[i]->IsJoinCondition(AO1, AO2)) {
        i++;
        continue;
      }
      addPair(kids[i].get());
      kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
      taken++;
    }
    if (kids.empty()) FRootExprNode.reset();
    return taken;
  }
  if (FRootExprNode->IsJoinCondition(AO1, AO2)) {
    addPair(FRootExprNode.get());
    FRootExprNode.reset();
    return 1;
  }
  return 0;
}
