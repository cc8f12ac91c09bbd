// Navigation and searches of an open table: stepping a cursor's view, counts
// and record numbers under filters, ranges and distinct mode, Locate and
// FindKey. A scan turns the cursor's restrictions and an optional search into
// index scan conditions, intersects them per index (a contradiction ends the
// scan before any record is read), picks the cheapest access path, runs it
// and checks on each record what the index cannot decide.

#include <algorithm>
#include <cstring>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimPage.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

namespace {

int SessionIdOf(const TVelqorimCursor& Cursor) { return Cursor.Session != nullptr ? Cursor.Session->SessionID : 0; }

bool IsKeyCondition(const TABSScanSearchCondition& C) { return C.Expression == nullptr && C.IndexID != -1; }

// Saves the cursor position and puts it back unless told the search succeeded.
class TSavedPosition {
 public:
  explicit TSavedPosition(TVelqorimCursor& Cursor) : FCursor(Cursor), FPos(Cursor.SavePosition()) {}
  ~TSavedPosition() {
    if (!FKeep) FCursor.RestorePosition(FPos);
    TABSMemBlock release(FPos);
  }
  void Keep() { FKeep = true; }

 private:
  TVelqorimCursor& FCursor;
  void* FPos;
  bool FKeep = false;
};

// Takes the chosen conditions out of their expressions for the scan and puts
// them back on every path out.
class TExtractedConditions {
 public:
  TExtractedConditions(TABSScanSearchConditionArray& List, int Start, int End) : FList(List), FStart(Start), FEnd(End) {
    FList.ExtractChosenConditionsFromExpressions(Start, End);
  }
  ~TExtractedConditions() { FList.ReturnExtractedConditionsToExpressions(FStart, FEnd); }

 private:
  TABSScanSearchConditionArray& FList;
  int FStart, FEnd;
};

}  // namespace

int TVelqorimTableData::CompareByIndex(int IndexID, const uint8_t* RecordBuffer, const uint8_t* KeyBuffer,
                                       int KeyFieldCount) {
  return IndexManager->OpenIndex(IndexID)->CompareRecordBuffersByIndex(RecordBuffer, KeyBuffer, KeyFieldCount);
}

void TVelqorimTableData::ReadRecord(int SessionID, TABSNavigationInfo& NavigationInfo, int TableState,
                                    TABSIndexPositionCache* IndexPositionCache) {
  if (!RecordManager) throw EABSException(10015, "Nil pointer occured");
  if (!IndexManager) throw EABSException(10380, "Nil pointer occured");
  if (NavigationInfo.RecordBuffer == nullptr) throw EABSException(10016, "Nil pointer occured");
  if (NavigationInfo.IndexID != -1 && NavigationInfo.GetRecordMode != grmCurrent)
    IndexManager->GetRecordBuffer(SessionID, NavigationInfo, IndexPositionCache, TableState);
  else
    RecordManager->GetRecordBuffer(SessionID, NavigationInfo);
}

bool TVelqorimTableData::IsRecordInRange(TVelqorimCursor& Cursor, const uint8_t* RecordBuffer) {
  if (Cursor.RangeStartBuffer != nullptr) {
    const int c = CompareByIndex(Cursor.IndexID, RecordBuffer, Cursor.RangeStartBuffer, Cursor.RangeStartKeyFieldCount);
    if (Cursor.RangeStartExclusive ? c <= 0 : c < 0) return false;
  }
  if (Cursor.RangeEndBuffer != nullptr) {
    const int c = CompareByIndex(Cursor.IndexID, RecordBuffer, Cursor.RangeEndBuffer, Cursor.RangeEndKeyFieldCount);
    if (Cursor.RangeEndExclusive ? c >= 0 : c > 0) return false;
  }
  return true;
}

bool TVelqorimTableData::IsRecordAccepted(TVelqorimCursor& Cursor) {
  const uint8_t* record = Cursor.CurrentRecordBuffer;
  if (!IsRecordInRange(Cursor, record)) return false;
  for (TABSBaseExpression* e : {Cursor.FilterExpression, Cursor.SQLFilterExpression})
    if (e != nullptr && !(EvaluateExpression && EvaluateExpression(e, record, Cursor))) return false;
  if (Cursor.FilterRecord && !Cursor.FilterRecord(Cursor.CurrentRecordBuffer, Cursor.Dataset)) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Conditions

void TVelqorimTableData::BuildScanConditions(TVelqorimCursor& Cursor, TABSScanSearchConditionArray& List,
                                             bool GoForward, TABSBaseExpression* Expression,
                                             TABSScanSearchCondition* KeyCondition) {
  if (KeyCondition != nullptr) {
    if (KeyCondition->IndexID == -1)
      throw EABSException(20258,
                          "No active index is set for Key search. Set Table.IndexName to the index on search fields.");
    List.AddCondition(*KeyCondition);
  }
  for (TABSBaseExpression* e : {Expression, Cursor.FilterExpression, Cursor.SQLFilterExpression})
    if (e != nullptr) List.AddExpression(e);
  auto addKey = [&](uint8_t* Buffer, int KeyFieldCount, TABSSearchCondition Condition) {
    TABSScanSearchCondition c(true);
    c.IndexID = Cursor.IndexID;
    c.KeyRecordBuffer = Buffer;
    c.KeyRecordBufferSize = Cursor.KeyBufferSize;
    c.KeyFieldCount = KeyFieldCount;
    c.Condition = Condition;
    List.AddCondition(c);
  };
  if (Cursor.RangeStartBuffer != nullptr)
    addKey(Cursor.RangeStartBuffer, Cursor.RangeStartKeyFieldCount,
           Cursor.RangeStartExclusive ? scGreater : scGreaterEqual);
  if (Cursor.RangeEndBuffer != nullptr)
    addKey(Cursor.RangeEndBuffer, Cursor.RangeEndKeyFieldCount, Cursor.RangeEndExclusive ? scLower : scLowerEqual);
  if (Cursor.IsDistinctApplied() && !Cursor.FirstPosition && !Cursor.LastPosition &&
      Cursor.DistinctRecordBuffer != nullptr)
    addKey(Cursor.DistinctRecordBuffer, Cursor.DistinctFieldCount, GoForward ? scGreater : scLower);
  List.CreateIndexScanConditionsFromExpressions(IndexManager->IndexDefs, SessionIdOf(Cursor));
}

namespace {

bool CanIntersect(const TABSScanSearchCondition& A, const TABSScanSearchCondition& B) {
  auto strict = [](TABSSearchCondition c) { return c == scLower || c == scGreater; };
  if (A.Condition == scEqual && strict(B.Condition)) return A.KeyFieldCount >= B.KeyFieldCount;
  if (B.Condition == scEqual && strict(A.Condition)) return B.KeyFieldCount >= A.KeyFieldCount;
  return true;
}

enum class TKeep { Nothing, Empty, A, B, Shorter, Longer };

// What the intersection of A and B keeps, by the kinds of both and the
// comparison c of A's key with B's over the shorter key.
TKeep IntersectionRule(TABSSearchCondition A, TABSSearchCondition B, int c, bool AIsShort, bool AIsLong,
                       bool BIsShort, bool BIsLong, bool SameLength, bool& MakeEqual) {
  MakeEqual = false;
  switch (A) {
    case scEqual:
      switch (B) {
        case scEqual: return c == 0 ? TKeep::Longer : TKeep::Empty;
        case scLower: return c < 0 ? TKeep::A : TKeep::Empty;
        case scGreater: return c > 0 ? TKeep::A : TKeep::Empty;
        case scLowerEqual: return c > 0 ? TKeep::Empty : (c < 0 || AIsLong) ? TKeep::A : TKeep::Nothing;
        case scGreaterEqual: return c < 0 ? TKeep::Empty : (c > 0 || AIsLong) ? TKeep::A : TKeep::Nothing;
        default: return TKeep::Nothing;
      }
    case scLower:
      switch (B) {
        case scEqual: return c > 0 ? TKeep::B : TKeep::Empty;
        case scLower: return c < 0 ? TKeep::A : c == 0 ? TKeep::Shorter : TKeep::B;
        case scGreater: return c <= 0 ? TKeep::Empty : TKeep::Nothing;
        case scLowerEqual: return c <= 0 ? TKeep::A : TKeep::B;
        case scGreaterEqual: return (c < 0 || (c == 0 && AIsShort)) ? TKeep::Empty : TKeep::Nothing;
        default: return TKeep::Nothing;
      }
    case scGreater:
      switch (B) {
        case scEqual: return c < 0 ? TKeep::B : TKeep::Empty;
        case scLower: return c >= 0 ? TKeep::Empty : TKeep::Nothing;
        case scGreater: return c > 0 ? TKeep::A : c < 0 ? TKeep::B : TKeep::Shorter;
        case scLowerEqual: return (c > 0 || (c == 0 && AIsShort)) ? TKeep::Empty : TKeep::Nothing;
        case scGreaterEqual: return c >= 0 ? TKeep::A : TKeep::B;
        default: return TKeep::Nothing;
      }
    case scLowerEqual:
      switch (B) {
        case scEqual: return c < 0 ? TKeep::Empty : (c > 0 || BIsLong) ? TKeep::B : TKeep::Nothing;
        case scLower: return c < 0 ? TKeep::A : c > 0 ? TKeep::B : TKeep::Nothing;
        case scGreater: return (c < 0 || (c == 0 && BIsShort)) ? TKeep::Empty : TKeep::Nothing;
        case scLowerEqual: return c < 0 ? TKeep::A : c == 0 ? TKeep::Longer : TKeep::B;
        case scGreaterEqual:
          if (c < 0) return TKeep::Empty;
          if (c == 0 && SameLength) {
            MakeEqual = true;
            return TKeep::Longer;
          }
          return TKeep::Nothing;
        default: return TKeep::Nothing;
      }
    case scGreaterEqual:
      switch (B) {
        case scEqual: return c > 0 ? TKeep::Empty : (c < 0 || BIsLong) ? TKeep::B : TKeep::Nothing;
        case scLower: return (c > 0 || (c == 0 && BIsShort)) ? TKeep::Empty : TKeep::Nothing;
        case scGreater: return c <= 0 ? TKeep::B : TKeep::A;
        case scLowerEqual:
          if (c > 0) return TKeep::Empty;
          if (c == 0 && SameLength) {
            MakeEqual = true;
            return TKeep::Longer;
          }
          return TKeep::Nothing;
        case scGreaterEqual: return c > 0 ? TKeep::A : c < 0 ? TKeep::B : TKeep::Longer;
        default: return TKeep::Nothing;
      }
    default:
      return TKeep::Nothing;
  }
}

}  // namespace

bool TVelqorimTableData::CombineScanConditions(TABSScanSearchConditionArray& List) {
  std::vector<int> indexIds;
  for (const auto& c : List.Items)
    if (IsKeyCondition(*c) && std::find(indexIds.begin(), indexIds.end(), c->IndexID) == indexIds.end())
      indexIds.push_back(c->IndexID);
  TABSScanSearchConditionArray combined;
  for (int indexId : indexIds) {
    for (const auto& j : List.Items) {
      if (!IsKeyCondition(*j) || j->IndexID != indexId) continue;
      bool changedAny = false;
      for (auto& k : combined.Items) {
        if (k->IndexID != indexId || !CanIntersect(*k, *j)) continue;
        if (k->Condition == scNone || j->Condition == scNone) continue;
        const int n = std::min(k->KeyFieldCount, j->KeyFieldCount), m = std::max(k->KeyFieldCount, j->KeyFieldCount);
        const int c = CompareByIndex(indexId, k->KeyRecordBuffer, j->KeyRecordBuffer, n);
        bool makeEqual = false;
        const TKeep keep = IntersectionRule(k->Condition, j->Condition, c, k->KeyFieldCount == n,
                                            k->KeyFieldCount == m, j->KeyFieldCount == n, j->KeyFieldCount == m,
                                            n == m, makeEqual);
        const TABSScanSearchCondition* kept = nullptr;
        switch (keep) {
          case TKeep::Empty: return false;
          case TKeep::Nothing: break;
          case TKeep::A: kept = k.get(); break;
          case TKeep::B: kept = j.get(); break;
          case TKeep::Shorter: kept = k->KeyFieldCount == n ? k.get() : j.get(); break;
          case TKeep::Longer: kept = k->KeyFieldCount == m ? k.get() : j.get(); break;
        }
        if (kept == nullptr) continue;
        if (kept != k.get()) k->Assign(*kept);
        if (makeEqual) k->Condition = scEqual;
        changedAny = true;
      }
      if (!changedAny) combined.AddCondition(*j);
    }
  }
  // One copy of equal conditions (a filter and a range may say the same).
  for (int a = 0; a < combined.Count(); ++a)
    for (int b = combined.Count() - 1; b > a; --b) {
      const auto &x = combined[a], &y = combined[b];
      if (x.IndexID == y.IndexID && x.Condition == y.Condition && x.Condition != scNone &&
          x.KeyFieldCount == y.KeyFieldCount &&
          CompareByIndex(x.IndexID, x.KeyRecordBuffer, y.KeyRecordBuffer, x.KeyFieldCount) == 0)
        combined.Delete(b);
    }
  for (const auto& c : List.Items)
    if (!IsKeyCondition(*c)) combined.Items.push_back(std::make_unique<TABSScanSearchCondition>(false)), combined.Items.back()->Assign(*c);
  List.Items = std::move(combined.Items);
  return true;
}

bool TVelqorimTableData::HasResidualConditions(TABSScanSearchConditionArray& List, int Start, bool HasRecordFilter,
                                               int End) {
  if (HasRecordFilter) return true;
  for (int i = 0; i < List.Count(); ++i) {
    if (i == Start || i == End) continue;
    const auto& c = List[i];
    if (c.CreatedFromExpression) continue;
    if (c.Expression == nullptr && c.IndexID == -1) continue;
    return true;
  }
  return false;
}

void TVelqorimTableData::ChooseScan(int SessionID, TABSScanSearchConditionArray& List, int& Start, int& End,
                                    bool HasRecordFilter, bool GoForward, TABSPageItemID CurrentRecordID,
                                    int CursorIndexID) {
  Start = End = -1;
  const TVelqorimFieldDefs& fields = FieldManager->FieldDefs;
  auto isSelective = [&](int IndexID) {
    const TVelqorimIndexDef* d = IndexManager->IndexDefs.GetIndexDefByObjectId(IndexID);
    if (d == nullptr || d->ColumnCount() == 0) return false;
    if (d->Unique || d->Primary) return true;
    const TVelqorimFieldDef* f = fields.GetFieldDefByName(d->GetIndexColumn(0).FieldName);
    return f != nullptr && IsAutoincAdvancedFieldType(f->AdvancedFieldType);
  };
  // The obvious path: an equality on a selective one-column index, or the only key condition on the cursor's index.
  int keyCount = 0, onlyKey = -1;
  for (int i = 0; i < List.Count() && Start < 0; ++i) {
    const auto& c = List[i];
    if (!IsKeyCondition(c)) continue;
    ++keyCount;
    onlyKey = i;
    if (c.Condition == scEqual && isSelective(c.IndexID) && IndexManager->IndexDefs.GetIndexColumnCountByObjectId(c.IndexID) == 1)
      Start = i;
  }
  if (Start < 0 && keyCount == 1 && List[onlyKey].IndexID == CursorIndexID) Start = onlyKey;
  if (Start < 0) {
    // The cheapest path by estimated pages read.
    const double R = fields.GetDiskRecordBufferSize();
    const double P = PageManager != nullptr ? PageManager->PageDataSize() : 0;
    const int64_t count = RecordManager->RecordCount;
    double best = static_cast<double>(count);
    for (int i = 0; i < List.Count(); ++i) {
      if (!IsKeyCondition(List[i])) continue;
      const int next = i + 1 < List.Count() && IsKeyCondition(List[i + 1]) && List[i + 1].IndexID == List[i].IndexID ? i + 1 : -1;
      TVelqorimIndex* index = IndexManager->OpenIndex(List[i].IndexID);
      if (index == nullptr) throw EABSException(20058, "Pointer is nil");
      const double n = static_cast<double>(
          index->GetApproxRangeRecordCount(SessionID, count, &List[i], next >= 0 ? &List[next] : &List[i]));
      double E = 6;
      const TVelqorimIndexDef* d = IndexManager->IndexDefs.GetIndexDefByObjectId(List[i].IndexID);
      for (int col = 0; d != nullptr && col < d->ColumnCount(); ++col)
        if (const TVelqorimFieldDef* f = fields.GetFieldDefByName(d->GetIndexColumn(col).FieldName))
          E += std::min(f->MemoryDataSize, std::max(d->GetIndexColumn(col).MaxIndexedSize, 1));
      double cost = 0;
      if (P > 0) {
        const bool otherIndex = CursorIndexID != -1 && List[i].IndexID != CursorIndexID;
        cost = n * E / P;
        if (HasResidualConditions(List, i, HasRecordFilter, next) || otherIndex) cost += n * R / P;
        if (otherIndex) cost += n * E / P;
      }
      if (cost < best) {
        best = cost;
        Start = i;
        End = next;
      }
      if (next >= 0) ++i;
    }
    if (Start >= 0 && P > 0) {
      const double r = static_cast<double>(count - RecordManager->GetApproximateRecNo(SessionID, CurrentRecordID));
      const double walk = CursorIndexID == -1 ? r * R / P : r;
      if (walk < best) Start = End = -1;
    }
  }
  if (Start >= 0 && End >= 0) {
    TVelqorimIndex* index = IndexManager->OpenIndex(List[Start].IndexID);
    if (index == nullptr) throw EABSException(20273, "Pointer is nil");
    const bool startIsLower = index->CompareConditions(List[Start], List[End]) < 0;
    if (startIsLower != GoForward) std::swap(Start, End);
  }
}

bool TVelqorimTableData::NullKeyRejected(const TABSScanSearchCondition* Condition, const uint8_t* RecordBuffer) {
  if (Condition == nullptr || !Condition->CreatedFromExpression || Condition->KeyRecordBuffer == nullptr) return false;
  const TVelqorimIndexDef* index = IndexManager->IndexDefs.GetIndexDefByObjectId(Condition->IndexID);
  if (index == nullptr) return false;
  const TVelqorimFieldDefs& fields = FieldManager->FieldDefs;
  for (int j = 0; j < Condition->KeyFieldCount && j < index->ColumnCount(); ++j) {
    const int f = fields.GetDefNumberByName(index->GetIndexColumn(j).FieldName);
    if (f >= 0 && GetBitInBuffer(f, RecordBuffer) && !GetBitInBuffer(f, Condition->KeyRecordBuffer)) return true;
  }
  return false;
}

bool TVelqorimTableData::RecordMatchesScanCondition(const TABSScanSearchCondition& Condition,
                                                    const uint8_t* RecordBuffer) {
  const int c = CompareByIndex(Condition.IndexID, RecordBuffer, Condition.KeyRecordBuffer, Condition.KeyFieldCount);
  switch (Condition.Condition) {
    case scEqual: return c == 0;
    case scLower: return c < 0;
    case scGreater: return c > 0;
    case scLowerEqual: return c <= 0;
    case scGreaterEqual: return c >= 0;
    default: return false;
  }
}

bool TVelqorimTableData::RecordMatchesConditions(TABSScanSearchConditionArray& List, int Start,
                                                 const uint8_t* RecordBuffer, TABSPageItemID RecordID,
                                                 TVelqorimCursor& Cursor, int End) {
  for (int i = 0; i < List.Count(); ++i) {
    if (i == Start || i == End) continue;
    const auto& c = List[i];
    if (IsKeyCondition(c)) {
      if (!RecordMatchesScanCondition(c, RecordBuffer)) return false;
    } else if (c.Expression != nullptr) {
      if (!(EvaluateExpression && EvaluateExpression(c.Expression, RecordBuffer, Cursor))) return false;
    }
  }
  if (!Cursor.FilterRecord) return true;
  // The dataset's filter sees a record buffer of its own cursor, record id included.
  TABSMemBlock buffer(Cursor.AllocateRecordBuffer());
  std::memcpy(buffer.Get(), RecordBuffer, RecordManager->RecordBufferSize);
  std::memcpy(buffer.Bytes() + Cursor.BookmarkOffset, &RecordID, sizeof RecordID);
  const bool accepted = Cursor.FilterRecord(buffer.Bytes(), Cursor.Dataset);
  ClearBlobsCacheInRecordBuffer(buffer.Bytes());
  return accepted;
}

// ---------------------------------------------------------------------------
// Running a scan

namespace {

// An index position object, freed by its index on every path out.
class TIndexPosition {
 public:
  explicit TIndexPosition(TVelqorimIndex* Index) : FIndex(Index), FPos(Index->CreateIndexPosition()) {}
  ~TIndexPosition() { FIndex->FreeIndexPosition(FPos); }
  TIndexPosition(const TIndexPosition&) = delete;
  TIndexPosition& operator=(const TIndexPosition&) = delete;
  TObject* Get() const { return FPos; }

 private:
  TVelqorimIndex* FIndex;
  TObject* FPos;
};

// The bytes of a range's conditions: two walks with equal ones cover the same entries.
std::vector<uint8_t> RangeFingerprint(const TABSScanSearchCondition* Start, const TABSScanSearchCondition* End) {
  std::vector<uint8_t> bytes;
  for (const TABSScanSearchCondition* c : {Start, End}) {
    if (c == nullptr) {
      bytes.push_back(0);
      continue;
    }
    const int32_t head[] = {1, static_cast<int32_t>(c->Condition), c->IndexID, c->KeyFieldCount,
                            c->PartialCompare ? 1 : 0, c->KeyRecordBuffer ? c->KeyRecordBufferSize : 0};
    const auto* h = reinterpret_cast<const uint8_t*>(head);
    bytes.insert(bytes.end(), h, h + sizeof head);
    if (c->KeyRecordBuffer && c->KeyRecordBufferSize > 0)
      bytes.insert(bytes.end(), c->KeyRecordBuffer, c->KeyRecordBuffer + c->KeyRecordBufferSize);
  }
  return bytes;
}

class TSearchInfo {
 public:
  explicit TSearchInfo(TVelqorimIndex* Index) : FIndex(Index), FInfo(Index->CreateSearchInfo()) {}
  ~TSearchInfo() { FIndex->FreeSearchInfo(FInfo); }
  TSearchInfo(const TSearchInfo&) = delete;
  TSearchInfo& operator=(const TSearchInfo&) = delete;
  void* Get() const { return FInfo; }

 private:
  TVelqorimIndex* FIndex;
  void* FInfo;
};

}  // namespace

void TVelqorimTableData::InitRecordBitmap(TVelqorimCursor& Cursor, TVelqorimRecordBitmap& Bitmap) {
  Bitmap.Clear();
  Bitmap.TableState = RecordManager->TableState;
  Bitmap.IndexBased = Cursor.IndexID != -1;
}

bool TVelqorimTableData::FindRecordInBitmap(TVelqorimCursor& Cursor, TVelqorimRecordBitmap& Bitmap,
                                            TABSPageItemID& RecordID, bool GoForward, bool Restart) {
  if (!Bitmap.IndexBased) return Bitmap.FindRecord(Restart, GoForward, Cursor.CurrentRecordID, RecordID);
  TVelqorimIndex* index = IndexManager->OpenIndex(Cursor.IndexID);
  TIndexPosition current(index), found(index);
  if (!Restart) {
    TABSMemBlock buffer(MemoryManager().AllocMem(RecordManager->RecordBufferSize));
    TABSNavigationInfo nav;
    nav.RecordID = Cursor.CurrentRecordID;
    nav.RecordBuffer = buffer.Bytes();
    RecordManager->GetRecordBuffer(SessionIdOf(Cursor), nav);
    if (nav.GetRecordResult != grrOK ||
        !index->GetIndexPosition(SessionIdOf(Cursor), Cursor.CurrentRecordID, buffer.Bytes(), current.Get()))
      return false;
  }
  if (!Bitmap.FindRecord(Restart, GoForward, current.Get(), found.Get(), Cursor.IndexID)) return false;
  index->GetRecordIDByIndexPosition(SessionIdOf(Cursor), found.Get(), RecordID);
  return true;
}

bool TVelqorimTableData::RunScan(TVelqorimCursor& Cursor, TABSScanSearchConditionArray& List, int Start, int End,
                                 bool FillBitmap, TVelqorimRecordBitmap* Bitmap, TABSPageItemID& RecordID,
                                 bool GoForward, bool Restart) {
  const int session = SessionIdOf(Cursor);
  TABSMemBlock buffer(MemoryManager().AllocMem(std::max(RecordManager->RecordBufferSize, 1)));
  uint8_t* record = buffer.Bytes();
  auto readById = [&](TABSPageItemID Id) {
    TABSNavigationInfo nav;
    nav.RecordID = Id;
    nav.RecordBuffer = record;
    RecordManager->GetRecordBuffer(session, nav);
    return nav.GetRecordResult == grrOK;
  };
  // Shows a qualifying record in the bitmap (by position in the cursor's index when index-based).
  auto show = [&](TABSPageItemID Id) {
    if (Bitmap == nullptr) return;
    if (!Bitmap->IndexBased) return Bitmap->ShowRecord(Id);
    TVelqorimIndex* index = IndexManager->OpenIndex(Cursor.IndexID);
    TIndexPosition pos(index);
    if (index->GetIndexPosition(session, Id, record, pos.Get())) Bitmap->ShowRecord(Cursor.IndexID, pos.Get());
  };
  const bool residual = HasResidualConditions(List, Start, static_cast<bool>(Cursor.FilterRecord), End);

  if (Start < 0) {
    // Walk the cursor's order, testing every record.
    TABSNavigationInfo nav;
    nav.IndexID = Cursor.IndexID;
    nav.RecordBuffer = record;
    nav.RecordID = Cursor.CurrentRecordID;
    nav.FirstPosition = Restart ? GoForward : Cursor.FirstPosition;
    nav.LastPosition = Restart ? !GoForward : Cursor.LastPosition;
    bool found = false;
    for (;;) {
      nav.GetRecordMode = GoForward ? grmNext : grmPrior;
      ReadRecord(session, nav, RecordManager->TableState, &Cursor.IndexPositionCache);
      if (nav.GetRecordResult != grrOK) break;
      if (!RecordMatchesConditions(List, -1, record, nav.RecordID, Cursor, -1)) continue;
      show(nav.RecordID);
      found = true;
      RecordID = nav.RecordID;
      if (!FillBitmap) break;
    }
    return found;
  }
  if (Start >= List.Count())
    throw EABSException(10382, "Invalid condition number = %d, count = %d", {Start, List.Count()});
  TABSScanSearchCondition* startCondition = &List[Start];
  TABSScanSearchCondition* endCondition = End >= 0 ? &List[End] : nullptr;
  TVelqorimIndex* rangeIndex = IndexManager->OpenIndex(startCondition->IndexID);

  if (Cursor.IndexID != -1 && startCondition->IndexID == Cursor.IndexID) {
    // The range is in the cursor's order: the first qualifying entry is the
    // answer. A step that follows the cursor's last one over the same range
    // goes on from that record's entry; any other starts a new walk.
    TABSRangeScanCache& walk = Cursor.RangeScanCache;
    std::vector<uint8_t> range = RangeFingerprint(startCondition, endCondition);
    const bool resume = !Restart && walk.SearchInfo && walk.Table == this && walk.IndexID == startCondition->IndexID &&
                        walk.SessionID == session && walk.TableState == RecordManager->TableState &&
                        walk.RecordID == Cursor.CurrentRecordID && walk.GoForward == GoForward && walk.Range == range;
    std::shared_ptr<void> info = resume ? walk.SearchInfo : rangeIndex->CreateSharedSearchInfo();
    walk.SearchInfo.reset();
    std::unique_ptr<TSearchInfo> own;
    if (!info) own = std::make_unique<TSearchInfo>(rangeIndex);
    void* search = info ? info.get() : own->Get();
    TABSPageItemID id = Cursor.CurrentRecordID;
    if (!Restart && !resume && !readById(id)) return false;
    bool restart = Restart, found = false;
    while (rangeIndex->FindRecord(session, restart, GoForward, startCondition, endCondition, record, id, search)) {
      restart = false;
      if (!readById(id)) continue;
      // The next call resumes from this record: it must be the one its entry says.
      rangeIndex->CheckFoundRecord(session, search, record);
      if (NullKeyRejected(startCondition, record) || NullKeyRejected(endCondition, record)) continue;
      if (residual && !RecordMatchesConditions(List, Start, record, id, Cursor, End)) continue;
      // Only a walk that fills the bitmap makes it active; bits shown by a
      // single step would never be read (the next filling starts afresh).
      if (FillBitmap) show(id);
      found = true;
      RecordID = id;
      if (!FillBitmap) break;
    }
    if (found && !FillBitmap && info) {
      walk.SearchInfo = std::move(info);
      walk.Table = this;
      walk.IndexID = startCondition->IndexID;
      walk.SessionID = session;
      walk.TableState = RecordManager->TableState;
      walk.RecordID = RecordID;
      walk.GoForward = GoForward;
      walk.Range = std::move(range);
    }
    return found;
  }
  TSearchInfo search(rangeIndex);

  // The range is on another index than the cursor's order: walk it all and
  // keep the qualifying record that comes next in the cursor's order.
  const bool physical = Cursor.IndexID == -1;
  TVelqorimIndex* cursorIndex = physical ? nullptr : IndexManager->OpenIndex(Cursor.IndexID);
  std::unique_ptr<TIndexPosition> currentPos, bestPos, candidatePos;
  if (!physical) {
    currentPos = std::make_unique<TIndexPosition>(cursorIndex);
    bestPos = std::make_unique<TIndexPosition>(cursorIndex);
    candidatePos = std::make_unique<TIndexPosition>(cursorIndex);
    if (!Restart) {
      if (!readById(Cursor.CurrentRecordID))
        throw EABSException(10387, "Cannot find record position in index %d, RecordID = %d %d",
                            {Cursor.IndexID, Cursor.CurrentRecordID.PageNo, int{Cursor.CurrentRecordID.PageItemNo}});
      if (!cursorIndex->GetIndexPosition(session, Cursor.CurrentRecordID, record, currentPos->Get()))
        throw EABSException(10386, "Cannot find record position in index %d, RecordID = %d %d",
                            {Cursor.IndexID, Cursor.CurrentRecordID.PageNo, int{Cursor.CurrentRecordID.PageItemNo}});
    }
  }
  if (Restart && Bitmap != nullptr) {
    Bitmap->Clear();
    Bitmap->TableState = RecordManager->TableState;
    Bitmap->IndexBased = !physical;
  }
  const TVelqorimIndexDef* rangeDef = IndexManager->IndexDefs.GetIndexDefByObjectId(startCondition->IndexID);
  const bool uniqueProbe = physical && startCondition->Condition == scEqual && !startCondition->PartialCompare &&
                           rangeDef != nullptr && rangeDef->ColumnCount() == 1 && (Restart || GoForward);
  bool found = false, endedEarly = false;
  TABSPageItemID best{-1, 0}, id{-1, 0};
  bool restart = true;
  while (rangeIndex->FindRecord(session, restart, true, startCondition, endCondition, record, id, search.Get())) {
    restart = false;
    if (!readById(id) || NullKeyRejected(startCondition, record) || NullKeyRejected(endCondition, record)) continue;
    if (residual && !RecordMatchesConditions(List, Start, record, id, Cursor, End)) continue;
    int beyond = 0, better = 0;
    if (physical) {
      beyond = Restart ? 1 : RecordManager->CompareRecordID(id, Cursor.CurrentRecordID);
      better = found ? RecordManager->CompareRecordID(id, best) : (GoForward ? -1 : 1);
    } else {
      if (!cursorIndex->GetIndexPosition(session, id, record, candidatePos->Get()))
        throw EABSException(10432, "Cannot find record position in index %d, RecordID = %d %d",
                            {Cursor.IndexID, id.PageNo, int{id.PageItemNo}});
      beyond = Restart ? 1 : cursorIndex->CompareRecordPositionsInIndex(candidatePos->Get(), currentPos->Get());
      better = found ? cursorIndex->CompareRecordPositionsInIndex(candidatePos->Get(), bestPos->Get())
                     : (GoForward ? -1 : 1);
    }
    if (Restart && Bitmap != nullptr) {
      if (physical)
        Bitmap->ShowRecord(id);
      else
        Bitmap->ShowRecord(Cursor.IndexID, candidatePos->Get());
    }
    const bool inDirection = Restart || (GoForward ? beyond > 0 : beyond < 0);
    if (!inDirection || (GoForward ? better >= 0 : better <= 0)) continue;
    found = true;
    best = id;
    if (!physical) std::swap(bestPos, candidatePos);
    if (uniqueProbe && !FillBitmap) {
      endedEarly = true;
      break;
    }
  }
  if (Restart && Bitmap != nullptr && !FillBitmap && !endedEarly) Bitmap->Active = true;
  if (found) RecordID = best;
  return FillBitmap ? false : found;
}

bool TVelqorimTableData::ScanTable(TVelqorimCursor& Cursor, TABSBaseExpression* Expression, bool FillBitmap,
                                   TVelqorimRecordBitmap* Bitmap, TABSPageItemID& RecordID, bool GoForward,
                                   bool Restart, TABSScanSearchCondition* KeyCondition) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (RecordManager->RecordCount == 0) return false;
  if (Bitmap != nullptr && (FillBitmap || Bitmap->Outdated())) InitRecordBitmap(Cursor, *Bitmap);
  if (Bitmap != nullptr && Bitmap->Active) return FindRecordInBitmap(Cursor, *Bitmap, RecordID, GoForward, Restart);
  TABSScanSearchConditionArray list;
  BuildScanConditions(Cursor, list, GoForward, Expression, KeyCondition);
  if (!CombineScanConditions(list)) return false;
  int start = -1, end = -1;
  ChooseScan(SessionIdOf(Cursor), list, start, end, static_cast<bool>(Cursor.FilterRecord), GoForward,
             Cursor.CurrentRecordID, Cursor.IndexID);
  list.RemoveUnusedConditionsCreatedFromExpressions(start, end);
  bool result = false;
  {
    TExtractedConditions extracted(list, start, end);
    result = RunScan(Cursor, list, start, end, FillBitmap, Bitmap, RecordID, GoForward, Restart);
  }
  if (FillBitmap && Bitmap != nullptr) Bitmap->Active = true;
  if (Restart && Bitmap != nullptr && Bitmap->Active && Cursor.IsDistinctApplied())
    IndexManager->OpenIndex(Cursor.IndexID)
        ->ApplyDistinctToRecordBitmap(SessionIdOf(Cursor), *Bitmap, Cursor.DistinctFieldCount);
  return result;
}

// ---------------------------------------------------------------------------
// Stepping, searching, counting

TABSGetRecordResult TVelqorimTableData::GetVisibleRecord(TVelqorimCursor& Cursor, TABSGetRecordMode GetRecordMode,
                                                         bool FillBitmap) {
  const int session = SessionIdOf(Cursor);
  if (GetRecordMode != grmCurrent && Cursor.IsViewRestricted()) {
    TABSPageItemID found{-1, 0};
    const bool forward = GetRecordMode == grmNext;
    const bool restart = Cursor.FirstPosition || Cursor.LastPosition;
    if (!ScanTable(Cursor, nullptr, FillBitmap, Cursor.RecordBitmap.get(), found, forward, restart, nullptr))
      return forward ? grrEOF : grrBOF;
    TABSNavigationInfo nav;
    nav.RecordID = found;
    nav.RecordBuffer = Cursor.CurrentRecordBuffer;
    RecordManager->GetRecordBuffer(session, nav);
    if (nav.GetRecordResult != grrOK) return grrError;
    Cursor.CurrentRecordID = found;
    Cursor.FirstPosition = Cursor.LastPosition = false;
    return grrOK;
  }
  TABSNavigationInfo nav;
  nav.GetRecordMode = GetRecordMode;
  nav.IndexID = Cursor.IndexID;
  nav.RecordID = Cursor.CurrentRecordID;
  nav.RecordBuffer = Cursor.CurrentRecordBuffer;
  nav.FirstPosition = Cursor.FirstPosition;
  nav.LastPosition = Cursor.LastPosition;
  ReadRecord(session, nav, RecordManager->TableState, &Cursor.IndexPositionCache);
  if (nav.GetRecordResult == grrOK && Cursor.IsViewRestricted() && !IsRecordAccepted(Cursor)) return grrError;
  Cursor.CurrentRecordID = nav.RecordID;
  Cursor.FirstPosition = nav.FirstPosition;
  Cursor.LastPosition = nav.LastPosition;
  return nav.GetRecordResult;
}

TABSGetRecordResult TVelqorimTableData::GetRecordBuffer(TVelqorimCursor& Cursor, TABSGetRecordMode GetRecordMode) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (RecordManager->RecordCount == 0) return grrEOF;
  if (GetRecordMode == grmCurrent || !Cursor.IsDistinctApplied() || Cursor.FirstPosition || Cursor.LastPosition)
    return GetVisibleRecord(Cursor, GetRecordMode, false);
  // Distinct step: the next record must differ from this one in the distinct fields.
  TABSMemBlock distinct(MemoryManager().AllocMem(std::max(Cursor.RecordBufferSize, RecordManager->RecordBufferSize)));
  TABSNavigationInfo nav;
  nav.RecordID = Cursor.CurrentRecordID;
  nav.RecordBuffer = distinct.Bytes();
  RecordManager->GetRecordBuffer(SessionIdOf(Cursor), nav);
  if (nav.GetRecordResult != grrOK) return grrError;
  Cursor.DistinctRecordBuffer = distinct.Bytes();
  struct Detach {
    TVelqorimCursor& C;
    ~Detach() { C.DistinctRecordBuffer = nullptr; }
  } detach{Cursor};
  return GetVisibleRecord(Cursor, GetRecordMode, false);
}

bool TVelqorimTableData::Locate(TVelqorimCursor& Cursor, TABSBaseExpression* SearchExpression) {
  if (SearchExpression == nullptr) throw EABSException(10272, "Nil pointer occured");
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TSavedPosition saved(Cursor);
  TABSPageItemID found{-1, 0};
  if (!ScanTable(Cursor, SearchExpression, false, nullptr, found, true, true, nullptr)) return false;
  Cursor.FirstPosition = Cursor.LastPosition = false;
  Cursor.CurrentRecordID = found;
  if (GetRecordBuffer(Cursor, grmCurrent) != grrOK) return false;
  saved.Keep();
  return true;
}

bool TVelqorimTableData::FindKey(TVelqorimCursor& Cursor, TABSSearchCondition SearchCondition) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TSavedPosition saved(Cursor);
  TABSScanSearchCondition key(true);
  key.Condition = SearchCondition;
  key.IndexID = Cursor.IndexID;
  key.KeyRecordBuffer = Cursor.KeyBuffer;
  key.KeyRecordBufferSize = Cursor.KeyBufferSize;
  key.KeyFieldCount = Cursor.KeyFieldCount;
  TABSPageItemID found{-1, 0};
  if (!ScanTable(Cursor, nullptr, false, nullptr, found, true, true, &key)) return false;
  Cursor.FirstPosition = Cursor.LastPosition = false;
  Cursor.CurrentRecordID = found;
  saved.Keep();
  return true;
}

void TVelqorimTableData::ValidateRecordBitmap(TVelqorimCursor& Cursor) {
  TVelqorimRecordBitmap* bitmap = Cursor.RecordBitmap.get();
  if (bitmap == nullptr) return;
  if ((bitmap->Active && bitmap->Outdated()) || (!bitmap->Active && Cursor.IsViewRestricted()))
    BuildRecordBitmap(Cursor);
}

void TVelqorimTableData::BuildRecordBitmap(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimRecordBitmap& bitmap = *Cursor.RecordBitmap;
  bitmap.Clear();
  bitmap.SetSize(GetMaxBitmapRecNo(SessionIdOf(Cursor)));
  if (RecordManager->RecordCount == 0) {
    bitmap.TableState = RecordManager->TableState;
    bitmap.Active = true;
    return;
  }
  TSavedPosition saved(Cursor);
  TABSPageItemID found{-1, 0};
  const bool first = Cursor.FirstPosition, last = Cursor.LastPosition;
  Cursor.FirstPosition = true;
  Cursor.LastPosition = false;
  struct Restore {
    TVelqorimCursor& C;
    bool First, Last;
    ~Restore() {
      C.FirstPosition = First;
      C.LastPosition = Last;
    }
  } restore{Cursor, first, last};
  ScanTable(Cursor, nullptr, true, &bitmap, found, true, true, nullptr);
}

int64_t TVelqorimTableData::GetRecordCount(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!Cursor.IsViewRestricted()) return InternalGetRecordCount(Cursor);
  ValidateRecordBitmap(Cursor);
  return Cursor.RecordBitmap->GetRecordCount();
}

void TVelqorimTableData::SetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const int64_t n = GetRecordCount(Cursor);
  if (n <= 0) return;
  RecNo = std::clamp<int64_t>(RecNo, 1, n);
  Cursor.FirstPosition = Cursor.LastPosition = false;
  const int session = SessionIdOf(Cursor);
  if (Cursor.IndexID != -1) {
    if (Cursor.IsViewRestricted()) {
      TVelqorimIndex* index = IndexManager->OpenIndex(Cursor.IndexID);
      TIndexPosition pos(index);
      Cursor.RecordBitmap->GetIndexPosByRecNo(Cursor.IndexID, RecNo, pos.Get());
      index->GetRecordIDByIndexPosition(session, pos.Get(), Cursor.CurrentRecordID);
    } else {
      Cursor.CurrentRecordID = IndexManager->OpenIndex(Cursor.IndexID)->GetRecordIDByRecNo(session, RecNo);
    }
  } else if (Cursor.IsViewRestricted()) {
    Cursor.CurrentRecordID = Cursor.RecordBitmap->GetRecordIDByRecNo(RecNo);
  } else {
    InternalSetRecNo(Cursor, RecNo);
  }
}

int64_t TVelqorimTableData::GetRecNo(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (Cursor.FirstPosition || Cursor.LastPosition || GetRecordCount(Cursor) == 0) return -1;
  ValidateRecordBitmap(Cursor);
  const int session = SessionIdOf(Cursor);
  if (Cursor.IndexID != -1) {
    TABSMemBlock buffer(MemoryManager().AllocMem(std::max(RecordManager->RecordBufferSize, 1)));
    TABSNavigationInfo nav;
    nav.RecordID = Cursor.CurrentRecordID;
    nav.RecordBuffer = buffer.Bytes();
    RecordManager->GetRecordBuffer(session, nav);
    if (nav.GetRecordResult != grrOK) return -1;
    TVelqorimIndex* index = IndexManager->OpenIndex(Cursor.IndexID);
    if (!Cursor.IsViewRestricted()) return index->GetRecNoByRecordID(session, Cursor.CurrentRecordID, buffer.Bytes());
    TIndexPosition pos(index);
    if (!index->GetIndexPosition(session, Cursor.CurrentRecordID, buffer.Bytes(), pos.Get())) return -1;
    return Cursor.RecordBitmap->GetRecNoByIndexPos(Cursor.IndexID, pos.Get());
  }
  if (Cursor.IsViewRestricted()) return Cursor.RecordBitmap->GetRecNoByRecordID(Cursor.CurrentRecordID);
  return InternalGetRecNo(Cursor);
}
