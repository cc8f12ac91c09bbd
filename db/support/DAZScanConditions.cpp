#include "db/support/DAZScanConditions.h"

#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

TABSScanSearchCondition::~TABSScanSearchCondition() {
  if (!FExternalKeyRecordBuffer) TABSMemBlock release(KeyRecordBuffer);
}

void TABSScanSearchCondition::ClearKeyRecordBuffer() {
  if (!FExternalKeyRecordBuffer && KeyRecordBuffer != nullptr) MemoryManager().FreeAndNillMem(KeyRecordBuffer);
}

void TABSScanSearchCondition::Assign(const TABSScanSearchCondition& Source) {
  if (&Source == this) return;
  Condition = Source.Condition;
  uint8_t* copy = nullptr;
  if (Source.KeyRecordBuffer != nullptr && Source.KeyRecordBufferSize > 0) {
    copy = static_cast<uint8_t*>(MemoryManager().AllocMem(Source.KeyRecordBufferSize));
    std::memcpy(copy, Source.KeyRecordBuffer, Source.KeyRecordBufferSize);
  }
  ClearKeyRecordBuffer();
  KeyRecordBuffer = copy;
  FExternalKeyRecordBuffer = false;
  KeyRecordBufferSize = Source.KeyRecordBufferSize;
  KeyFieldCount = Source.KeyFieldCount;
  IndexID = Source.IndexID;
  Expression = Source.Expression;
  CreatedFromExpression = Source.CreatedFromExpression;
  PartialCompare = Source.PartialCompare;
  ParentExpressions = Source.ParentExpressions;
  ParentExpressionNodes = Source.ParentExpressionNodes;
}

void TABSScanSearchConditionArray::Delete(int ItemNo) {
  if (ItemNo < 0 || ItemNo >= Count())
    throw EABSException(10413, "Invalid item number - ItemNo = %d, ItemCount = %d", {ItemNo, Count()});
  if (!Items[ItemNo]) throw EABSException(10414, "Nil pointer occured");
  Items.erase(Items.begin() + ItemNo);
}

void TABSScanSearchConditionArray::AddExpression(TABSBaseExpression* Expression) {
  auto item = std::make_unique<TABSScanSearchCondition>(false);
  item->Expression = Expression;
  Items.push_back(std::move(item));
}

void TABSScanSearchConditionArray::AddCondition(const TABSScanSearchCondition& ScanSearchCondition) {
  if (ScanSearchCondition.Expression == nullptr && ScanSearchCondition.IndexID == -1)
    throw EABSException(10388, "Invalid scan condition - indexID = %d, count = %d",
                        {ScanSearchCondition.IndexID, Count()});
  auto item = std::make_unique<TABSScanSearchCondition>(false);
  item->Assign(ScanSearchCondition);
  Items.push_back(std::move(item));
}

void TABSScanSearchConditionArray::CreateIndexScanConditionsFromExpressions(TABSScanIndexDefs& IndexDefs,
                                                                            int SessionID) {
  // Only the items present now; the expressions append their conditions behind them.
  const int initialCount = Count();
  for (int i = 0; i < initialCount; ++i)
    if (Items[i]->Expression != nullptr) Items[i]->Expression->CreateIndexScanConditions(IndexDefs, *this, SessionID);
  std::vector<TABSBaseExpression*> expressions;
  for (auto& item : Items)
    if (item->Expression != nullptr) expressions.push_back(item->Expression);
  if (expressions.empty()) return;
  for (auto& item : Items) {
    if (item->Expression != nullptr || IndexDefs.GetIndexColumnCountByObjectId(item->IndexID) < 2) continue;
    bool extended = true;
    while (extended) {
      extended = false;
      for (TABSBaseExpression* e : expressions)
        if (e->ExtendMultiFieldIndexCondition(*item, IndexDefs)) {
          extended = true;
          break;
        }
    }
  }
}

namespace {
// Only numbers 0 .. 255 name a chosen condition.
bool IsChosen(int ItemNo, int ScanConditionNo, int ScanEndConditionNo) {
  return ItemNo >= 0 && ItemNo <= 255 && (ItemNo == ScanConditionNo || ItemNo == ScanEndConditionNo);
}
}  // namespace

void TABSScanSearchConditionArray::RemoveUnusedConditionsCreatedFromExpressions(int& ScanConditionNo,
                                                                                int& ScanEndConditionNo) {
  int i = 0;
  while (i < Count() - 1) {
    if (IsChosen(i, ScanConditionNo, ScanEndConditionNo) || !Items[i]->CreatedFromExpression) {
      ++i;
      continue;
    }
    Delete(i);
    if (ScanConditionNo > i) --ScanConditionNo;
    if (ScanEndConditionNo > i) --ScanEndConditionNo;
    i = 0;
  }
}

void TABSScanSearchConditionArray::ExtractChosenConditionsFromExpressions(int ScanConditionNo,
                                                                          int ScanEndConditionNo) {
  for (auto& item : Items)
    if (item->Expression != nullptr)
      item->Expression->RemoveExtractedNodes(*this, ScanConditionNo, ScanEndConditionNo);
}

void TABSScanSearchConditionArray::ReturnExtractedConditionsToExpressions(int ScanConditionNo,
                                                                          int ScanEndConditionNo) {
  for (int i = 0; i < Count(); ++i) {
    if (!IsChosen(i, ScanConditionNo, ScanEndConditionNo)) continue;
    auto& c = *Items[i];
    for (size_t j = 0; j < c.ParentExpressions.size() && j < c.ParentExpressionNodes.size(); ++j)
      c.ParentExpressions[j]->AddNode(c.ParentExpressionNodes[j]);
  }
}
