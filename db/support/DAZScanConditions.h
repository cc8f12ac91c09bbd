#pragma once
// Index-scan conditions: what the query optimiser derives from a WHERE
// expression for the storage engine's indexes, and the cache of a cursor's
// last position in an index.
//
// The expressions live in the SQL layer above; this layer calls them through
// TABSBaseExpression, which the SQL layer's expression class implements, and
// sees a table's index list through TABSScanIndexDefs.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/support/DAZTypes.h"
#include "platform/rtl/Classes.h"

class TABSScanSearchCondition;
class TABSScanSearchConditionArray;

// What the scan planner needs of a table's index definitions.
class TABSScanIndexDefs {
 public:
  virtual ~TABSScanIndexDefs() = default;
  // Columns of the index with that object id; -1 when there is none.
  virtual int GetIndexColumnCountByObjectId(int IndexID) const = 0;
};

// A filter expression as the scan planner uses it.
class TABSBaseExpression : public TObject {
 public:
  // Appends one condition per usable conjunct and index.
  virtual void CreateIndexScanConditions(TABSScanIndexDefs& IndexDefs, TABSScanSearchConditionArray& ScanConditions,
                                         int SessionID) = 0;
  // Adds one more key column (of the index ScanCondition.IndexID) from some conjunct.
  virtual bool ExtendMultiFieldIndexCondition(TABSScanSearchCondition& ScanCondition, TABSScanIndexDefs& IndexDefs) = 0;
  // Takes the conjuncts of the two chosen conditions out of this expression (nothing is freed).
  virtual void RemoveExtractedNodes(TABSScanSearchConditionArray& ScanConditions, int ScanConditionNo,
                                    int ScanEndConditionNo) = 0;
  // Puts back a conjunct taken out for an index scan.
  virtual void AddNode(TObject* Node) = 0;
};

// A cursor's last position in an index. Position is the index's own key path
// object (made by the index on first use), valid while IndexID, RecordID and
// TableState all match the request.
class TABSIndexPositionCache : public TObject {
 public:
  std::unique_ptr<TObject> Position;
  int32_t IndexID = -1;
  TABSPageItemID RecordID{0, 0};
  int32_t TableState = -1;
};

// A cursor's walk through an index range, kept between its steps so that
// the next step goes on from the entry of the last record found instead of
// searching the index again. SearchInfo is the index's own walk state
// (made by the index); it is valid while the table, its state, the session,
// the cursor's record, the direction and the range's conditions (Range,
// byte for byte) all match the request.
class TABSRangeScanCache {
 public:
  std::shared_ptr<void> SearchInfo;
  const void* Table = nullptr;
  int32_t IndexID = -1;
  int32_t SessionID = -1;
  int32_t TableState = -1;
  TABSPageItemID RecordID{0, 0};
  bool GoForward = true;
  std::vector<uint8_t> Range;
};

class TABSScanSearchCondition : public TObject {
 public:
  explicit TABSScanSearchCondition(bool ExternalKeyRecordBuffer = false)
      : FExternalKeyRecordBuffer(ExternalKeyRecordBuffer) {}
  ~TABSScanSearchCondition() override;
  TABSScanSearchCondition(const TABSScanSearchCondition&) = delete;
  TABSScanSearchCondition& operator=(const TABSScanSearchCondition&) = delete;

  // Frees the key buffer unless it belongs to somebody else.
  void ClearKeyRecordBuffer();
  // Copies every field; the key buffer becomes a private copy.
  void Assign(const TABSScanSearchCondition& Source);
  bool ExternalKeyRecordBuffer() const { return FExternalKeyRecordBuffer; }

  TABSBaseExpression* Expression = nullptr;  // borrowed
  TABSSearchCondition Condition = scNone;
  uint8_t* KeyRecordBuffer = nullptr;
  int32_t KeyRecordBufferSize = 0;
  int32_t KeyFieldCount = 0;
  int32_t IndexID = -1;
  bool CreatedFromExpression = false;
  std::vector<TABSBaseExpression*> ParentExpressions;  // borrowed
  std::vector<TObject*> ParentExpressionNodes;         // entry j: the node of ParentExpressions[j]
  bool PartialCompare = false;

 private:
  bool FExternalKeyRecordBuffer;
};

class TABSScanSearchConditionArray : public TObject {
 public:
  TABSScanSearchConditionArray() = default;
  TABSScanSearchConditionArray(const TABSScanSearchConditionArray&) = delete;
  TABSScanSearchConditionArray& operator=(const TABSScanSearchConditionArray&) = delete;

  int Count() const { return static_cast<int>(Items.size()); }
  TABSScanSearchCondition& operator[](int ItemNo) const { return *Items[ItemNo]; }
  // 10413 for a number out of range.
  void Delete(int ItemNo);
  void AddExpression(TABSBaseExpression* Expression);
  // Appends a copy; 10388 for a condition with neither expression nor index.
  void AddCondition(const TABSScanSearchCondition& ScanSearchCondition);
  // The planning steps, in the order the optimiser calls them.
  void CreateIndexScanConditionsFromExpressions(TABSScanIndexDefs& IndexDefs, int SessionID);
  void RemoveUnusedConditionsCreatedFromExpressions(int& ScanConditionNo, int& ScanEndConditionNo);
  void ExtractChosenConditionsFromExpressions(int ScanConditionNo, int ScanEndConditionNo);
  void ReturnExtractedConditionsToExpressions(int ScanConditionNo, int ScanEndConditionNo);

  std::vector<std::unique_ptr<TABSScanSearchCondition>> Items;
};
