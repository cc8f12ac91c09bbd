// The B-tree record index: reads in index order, range scans, record
// numbers, range estimates and unique checks on the trees of VelqorimBTree.

#include <cmath>
#include <cstring>

#include "db/storage/VelqorimBTree.h"
#include "db/support/DAZExcept.h"

namespace {

struct TSearchInfo {
  bool GoForward = true;
  bool Started = false;
  std::unique_ptr<TVelqorimKeyPath> EndPosition;
  // A walk over the entries of one key ends at the first entry with another
  // key, found on the way, instead of at an end position found by a second
  // descent.
  bool OneKey = false;
  TVelqorimKeyPath CurrentPosition;
};

[[noreturn]] void IndexDamaged(const TVelqorimKeyPathItem& Leaf) {
  throw EABSException(20028, "Index integrity error. PageNo=%d EntryNo=%d", {Leaf.PageNo, Leaf.EntryNo});
}

// Notices a chain of pages that comes back on itself (a damaged link) in
// constant memory: a remembered page is moved on at doubling distances, and
// a loop reaches it again within twice its length.
class TChainGuard {
 public:
  void Visit(int32_t PageNo) {
    if (PageNo == FMark) IndexDamaged({PageNo, 0, 0});
    if (++FSteps == FReach) {
      FMark = PageNo;
      FSteps = 0;
      FReach *= 2;
    }
  }

 private:
  int32_t FMark = -1;
  int64_t FSteps = 0, FReach = 1;
};

const uint8_t* AsBytes(const TABSPageItemID& Id) { return reinterpret_cast<const uint8_t*>(&Id); }

// Restores the key's compared column count and prefix lengths on every path out.
class TCompareScope {
 public:
  explicit TCompareScope(TVelqorimRecordKeyRef& KeyRef) : FKeyRef(KeyRef) {}
  ~TCompareScope() {
    FKeyRef.CompareFieldCount = FKeyRef.PartCount();
    FKeyRef.FCompareLengths.assign(FKeyRef.PartCount(), -1);
  }
  TCompareScope(const TCompareScope&) = delete;
  TCompareScope& operator=(const TCompareScope&) = delete;

 private:
  TVelqorimRecordKeyRef& FKeyRef;
};

}  // namespace

TVelqorimBTreeRecordIndex::TVelqorimBTreeRecordIndex(TVelqorimBaseIndexManager* aIndexManager)
    : TVelqorimIndex(aIndexManager), FKeyRef(std::make_unique<TVelqorimRecordKeyRef>()) {}

TVelqorimBTreeRecordIndex::~TVelqorimBTreeRecordIndex() = default;

int TVelqorimBTreeRecordIndex::CursorSession(const TVelqorimCursor* Cursor) {
  return Cursor != nullptr && Cursor->Session != nullptr ? Cursor->Session->SessionID : -2;
}

void TVelqorimBTreeRecordIndex::LayOutKey() {
  FKeyRef = std::make_unique<TVelqorimRecordKeyRef>();
  FKeyRef->Assign(*IndexDef, IndexManager->TableData());
  FKeyRef->ReferenceSize = sizeof(TABSPageItemID);
}

std::unique_ptr<TVelqorimBTreePage> TVelqorimBTreeRecordIndex::Root(int SessionID, int ErrorCode) {
  if (!IndexDef || IndexDef->RootPageNo == -1) throw EABSException(ErrorCode, "Invalid page number");
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  return view.GetIndexPage(SessionID, IndexDef->RootPageNo);
}

void TVelqorimBTreeRecordIndex::OpenIndex(const TVelqorimIndexDef& aIndexDef) {
  TVelqorimIndex::OpenIndex(aIndexDef);
  LayOutKey();
}

void TVelqorimBTreeRecordIndex::CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& aIndexDef) {
  TVelqorimIndex::CreateIndex(Cursor, aIndexDef);
  LayOutKey();
  const int session = CursorSession(Cursor);
  {
    TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
    auto root = view.AddIndexPage(session);
    root->InitAsRoot();
    root->SetIsDirty(true);
    aIndexDef.RootPageNo = IndexDef->RootPageNo = root->PageNo();
  }
  if (Cursor == nullptr) return;
  // Every record of the table, in physical order.
  TVelqorimBaseRecordManager& records = *IndexManager->TableData()->RecordManager;
  std::vector<uint8_t> record(records.RecordBufferSize);
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmNext;
  nav.FirstPosition = true;
  nav.RecordBuffer = record.data();
  for (;;) {
    records.GetRecordBuffer(session, nav);
    if (nav.GetRecordResult != grrOK) break;
    InsertEntry(session, record.data(), nav.RecordID);
  }
}

void TVelqorimBTreeRecordIndex::DropIndex(int SessionID) {
  Root(SessionID, 20119)->FreeAllPages(SessionID, false);
}

void TVelqorimBTreeRecordIndex::EmptyIndex(int SessionID) {
  auto root = Root(SessionID, 20120);
  root->FreeAllPages(SessionID, true);
  root->InitAsRoot();
  root->SetIsDirty(true);
}

void TVelqorimBTreeRecordIndex::RebuildTemporaryIndex(TVelqorimCursor* Cursor) {
  DropIndex(CursorSession(Cursor));
  CreateIndex(Cursor, *IndexDef);
}

void TVelqorimBTreeRecordIndex::InsertEntry(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) {
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(RecordBuffer, key.data());
  TVelqorimKeyPath path;
  Root(SessionID, 20127)->InsertLeafEntry(SessionID, key.data(), AsBytes(RecordID), path);
}

bool TVelqorimBTreeRecordIndex::DeleteEntry(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) {
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(RecordBuffer, key.data());
  TVelqorimKeyPath path;
  return Root(SessionID, 20127)->DeleteLeafEntry(SessionID, key.data(), AsBytes(RecordID), path);
}

void TVelqorimBTreeRecordIndex::InsertRecord(TVelqorimCursor& Cursor) {
  InsertEntry(CursorSession(&Cursor), Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID);
}

void TVelqorimBTreeRecordIndex::DeleteRecord(TVelqorimCursor& Cursor) {
  if (!DeleteEntry(CursorSession(&Cursor), Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID))
    throw EABSException(20027, "Index error: cannot delete entry. Entry not found");
}

void TVelqorimBTreeRecordIndex::UpdateRecord(TVelqorimCursor& Cursor, bool BeforeNewRecordIsStored) {
  if (CompareRecordBuffersByIndex(Cursor.EditRecordBuffer, Cursor.CurrentRecordBuffer, FKeyRef->PartCount()) == 0)
    return;
  const int session = CursorSession(&Cursor);
  if (BeforeNewRecordIsStored) {
    if (!DeleteEntry(session, Cursor.EditRecordBuffer, Cursor.CurrentRecordID))
      throw EABSException(20250, "Index error: cannot delete entry. Entry not found");
  } else {
    InsertEntry(session, Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID);
  }
}

void TVelqorimBTreeRecordIndex::FreeIndexPosition(TObject*& IndexPosition) {
  delete IndexPosition;
  IndexPosition = nullptr;
}

bool TVelqorimBTreeRecordIndex::GetIndexPosition(int SessionID, TABSPageItemID RecordID,
                                                 const uint8_t* RecordBuffer, TObject* IndexPosition) {
  auto& path = static_cast<TVelqorimKeyPath&>(*IndexPosition);
  path.Clear();
  auto root = Root(SessionID, 20124);
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(RecordBuffer, key.data());
  return root->FindEntry(SessionID, key.data(), AsBytes(RecordID), path);
}

int TVelqorimBTreeRecordIndex::CompareRecordPositionsInIndex(TObject* RecordPosition1, TObject* RecordPosition2) {
  if (RecordPosition1 == nullptr) throw EABSException(10384, "Nil pointer occured");
  if (RecordPosition2 == nullptr) throw EABSException(10385, "Nil pointer occured");
  return static_cast<TVelqorimKeyPath*>(RecordPosition1)->Compare(*static_cast<TVelqorimKeyPath*>(RecordPosition2));
}

// Every step must move strictly on in (key, record) order. A walk that resumes
// from a record finds that record again by its key; with that, a damaged
// link or entry can never lead a walk back to where it has been.
bool TVelqorimBTreeRecordIndex::NextPosition(int SessionID, TVelqorimKeyPath& Path, bool Forward) {
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  const int keySize = FKeyRef->ShortKeySize, refSize = FKeyRef->ReferenceSize;
  std::vector<uint8_t> before(static_cast<size_t>(keySize + refSize));
  {
    const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count > 0 ? Path.Count - 1 : 0];
    auto page = view.GetIndexPage(SessionID, leaf.PageNo);
    if (Path.Count == 0 || leaf.EntryNo < 0 || leaf.EntryNo >= page->EntryCount()) IndexDamaged(leaf);
    std::memcpy(before.data(), page->GetPKey(leaf.EntryNo), before.size());
  }
  if (!view.StepPath(SessionID, Path, Forward, 20069, Forward ? 20070 : 20071)) return false;
  const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count - 1];
  auto page = view.GetIndexPage(SessionID, leaf.PageNo);
  if (!page->IsLeaf() || leaf.EntryNo < 0 || leaf.EntryNo >= page->EntryCount()) IndexDamaged(leaf);
  const uint8_t* after = page->GetPKey(leaf.EntryNo);
  TCompareScope scope(*FKeyRef);
  FKeyRef->CompareFieldCount = FKeyRef->PartCount();
  FKeyRef->FCompareLengths.assign(FKeyRef->PartCount(), -1);
  int c = FKeyRef->CompareShortKeys(before.data(), after, true, SessionID, before.data() + keySize, after + keySize);
  if (c == 0) c = TVelqorimBTreeKeyRef::CompareReferences(before.data() + keySize, after + keySize, refSize);
  if (Forward ? c >= 0 : c <= 0) IndexDamaged(leaf);
  return true;
}

void TVelqorimBTreeRecordIndex::CheckEntryKey(int SessionID, const TVelqorimKeyPath& Path,
                                              const uint8_t* RecordBuffer) {
  if (Path.Count == 0) return;
  const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count - 1];
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  auto page = view.GetIndexPage(SessionID, leaf.PageNo);
  if (leaf.EntryNo < 0 || leaf.EntryNo >= page->EntryCount()) IndexDamaged(leaf);
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  TCompareScope scope(*FKeyRef);
  FKeyRef->CompareFieldCount = FKeyRef->PartCount();
  FKeyRef->FCompareLengths.assign(FKeyRef->PartCount(), -1);
  const uint8_t* kept = FKeyRef->LRecordBuffer;
  FKeyRef->MakeShortKeyFromRecordBuffer(RecordBuffer, key.data());
  FKeyRef->LRecordBuffer = kept;
  if (FKeyRef->CompareShortKeys(key.data(), page->GetPKey(leaf.EntryNo), false, SessionID, nullptr, nullptr) != 0)
    IndexDamaged(leaf);
}

void TVelqorimBTreeRecordIndex::CheckFoundRecord(int SessionID, void* SearchInfo, const uint8_t* RecordBuffer) {
  if (SearchInfo != nullptr) CheckEntryKey(SessionID, static_cast<TSearchInfo*>(SearchInfo)->CurrentPosition, RecordBuffer);
}

TABSPageItemID TVelqorimBTreeRecordIndex::ReferenceAt(int SessionID, const TVelqorimKeyPath& Path) {
  if (Path.Count == 0) throw EABSException(20068, "Index error: invalid position");
  const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count - 1];
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  auto page = view.GetIndexPage(SessionID, leaf.PageNo);
  TABSPageItemID id;
  std::memcpy(&id, page->GetPReference(leaf.EntryNo), sizeof id);
  return id;
}

void TVelqorimBTreeRecordIndex::Deliver(int SessionID, TABSNavigationInfo& NavigationInfo,
                                        TABSIndexPositionCache* IndexPositionCache, int TableState,
                                        const TVelqorimKeyPath& Path) {
  NavigationInfo.GetRecordResult = grrOK;
  NavigationInfo.FirstPosition = NavigationInfo.LastPosition = false;
  NavigationInfo.RecordID = ReferenceAt(SessionID, Path);
  const TABSGetRecordMode mode = NavigationInfo.GetRecordMode;
  NavigationInfo.GetRecordMode = grmCurrent;
  try {
    IndexManager->TableData()->RecordManager->GetRecordBuffer(SessionID, NavigationInfo);
    if (NavigationInfo.GetRecordResult == grrOK) CheckEntryKey(SessionID, Path, NavigationInfo.RecordBuffer);
  } catch (...) {
    NavigationInfo.GetRecordMode = mode;
    throw;
  }
  NavigationInfo.GetRecordMode = mode;
  if (IndexPositionCache != nullptr) {
    IndexPositionCache->IndexID = IndexDef->ObjectID;
    IndexPositionCache->TableState = TableState;
    IndexPositionCache->RecordID = NavigationInfo.RecordID;
    auto copy = std::make_unique<TVelqorimKeyPath>();
    copy->Assign(Path);
    IndexPositionCache->Position = std::move(copy);
  }
}

void TVelqorimBTreeRecordIndex::RunOff(TABSNavigationInfo& NavigationInfo) {
  const bool next = NavigationInfo.GetRecordMode == grmNext;
  NavigationInfo.GetRecordResult = next ? grrEOF : grrBOF;
  NavigationInfo.LastPosition = next;
  NavigationInfo.FirstPosition = !next;
}

void TVelqorimBTreeRecordIndex::GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                                                TABSIndexPositionCache* IndexPositionCache, int TableState) {
  if (NavigationInfo.GetRecordMode == grmCurrent)
    throw EABSException(20053, "Invalid 'get record' mode for index: grmCurrent");
  auto root = Root(SessionID, 20123);
  TVelqorimKeyPath path;
  if (NavigationInfo.FirstPosition || NavigationInfo.LastPosition) {
    const bool found = NavigationInfo.FirstPosition ? root->GetFirstPosition(SessionID, path)
                                                    : root->GetLastPosition(SessionID, path);
    root.reset();
    if (!found) {
      NavigationInfo.GetRecordResult = grrError;
      return;
    }
    return Deliver(SessionID, NavigationInfo, IndexPositionCache, TableState, path);
  }
  root.reset();
  const bool cached = IndexPositionCache != nullptr && IndexPositionCache->Position != nullptr &&
                      IndexPositionCache->IndexID == IndexDef->ObjectID &&
                      IndexPositionCache->RecordID == NavigationInfo.RecordID &&
                      IndexPositionCache->TableState == TableState;
  if (cached) {
    path.Assign(static_cast<TVelqorimKeyPath&>(*IndexPositionCache->Position));
  } else if (!GetIndexPosition(SessionID, NavigationInfo.RecordID, NavigationInfo.RecordBuffer, &path)) {
    NavigationInfo.GetRecordResult = grrError;
    return;
  }
  if (!NextPosition(SessionID, path, NavigationInfo.GetRecordMode == grmNext)) return RunOff(NavigationInfo);
  Deliver(SessionID, NavigationInfo, IndexPositionCache, TableState, path);
}

void TVelqorimBTreeRecordIndex::GetClosestRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                                                       TABSIndexPositionCache* IndexPositionCache, int TableState) {
  auto root = Root(SessionID, 20293);
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(NavigationInfo.RecordBuffer, key.data());
  TVelqorimKeyPath path;
  const bool next = NavigationInfo.GetRecordMode == grmNext;
  const bool found = root->FindByCondition(SessionID, next, key.data(), next ? scGreater : scLower, path);
  root.reset();
  if (!found) return RunOff(NavigationInfo);
  Deliver(SessionID, NavigationInfo, IndexPositionCache, TableState, path);
}

int64_t TVelqorimBTreeRecordIndex::GetRecNoByRecordID(int SessionID, TABSPageItemID RecordID,
                                                      const uint8_t* RecordBuffer) {
  TVelqorimKeyPath path;
  if (!GetIndexPosition(SessionID, RecordID, RecordBuffer, &path)) return -1;
  const TVelqorimKeyPathItem& leaf = path.Items[path.Count - 1];
  int64_t number = leaf.EntryNo + 1;
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  TChainGuard guard;
  for (int32_t no = view.GetIndexPage(SessionID, leaf.PageNo)->LeftPageNo(); no != -1;) {
    guard.Visit(no);
    auto page = view.GetIndexPage(SessionID, no);
    number += page->EntryCount();
    no = page->LeftPageNo();
  }
  return number;
}

TABSPageItemID TVelqorimBTreeRecordIndex::GetRecordIDByRecNo(int SessionID, int64_t RecNo) {
  TVelqorimKeyPath path;
  if (!Root(SessionID, 20121)->GetFirstPosition(SessionID, path))
    throw EABSException(20074, "Cannot retrieve record from empty index");
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  int64_t before = 0;
  TChainGuard guard;
  for (int32_t no = path.Items[path.Count - 1].PageNo; no != -1;) {
    guard.Visit(no);
    auto page = view.GetIndexPage(SessionID, no);
    if (RecNo <= before + page->EntryCount()) {
      TABSPageItemID id;
      std::memcpy(&id, page->GetPReference(static_cast<int>(RecNo - before - 1)), sizeof id);
      return id;
    }
    before += page->EntryCount();
    no = page->RightPageNo();
  }
  throw EABSException(20075, "Cannot set RecNo greater than RecordCount");
}

void TVelqorimBTreeRecordIndex::ApplyDistinctToRecordBitmap(int SessionID, TVelqorimRecordBitmap& Bitmap,
                                                            int DistinctFieldCount) {
  TCompareScope scope(*FKeyRef);
  FKeyRef->CompareFieldCount = DistinctFieldCount;
  TVelqorimKeyPath path;
  if (!Root(SessionID, 20121)->GetFirstPosition(SessionID, path)) return;
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  std::vector<uint8_t> keptKey = FKeyRef->AllocShortKeyBuffer();
  TABSPageItemID keptId{-1, 0};
  bool kept = false;
  do {
    if (!Bitmap.IsRecordVisible(IndexDef->ObjectID, &path)) continue;
    const TVelqorimKeyPathItem& leaf = path.Items[path.Count - 1];
    auto page = view.GetIndexPage(SessionID, leaf.PageNo);
    const uint8_t* key = page->GetPKey(leaf.EntryNo);
    const uint8_t* ref = page->GetPReference(leaf.EntryNo);
    if (kept && FKeyRef->CompareShortKeys(key, keptKey.data(), true, SessionID, ref, AsBytes(keptId)) == 0) {
      Bitmap.HideRecord(IndexDef->ObjectID, &path);
      continue;
    }
    std::memcpy(keptKey.data(), key, keptKey.size());
    std::memcpy(&keptId, ref, sizeof keptId);
    kept = true;
  } while (NextPosition(SessionID, path, true));
}

void* TVelqorimBTreeRecordIndex::CreateSearchInfo() { return new TSearchInfo; }

void TVelqorimBTreeRecordIndex::FreeSearchInfo(void* SearchInfo) { delete static_cast<TSearchInfo*>(SearchInfo); }

std::shared_ptr<void> TVelqorimBTreeRecordIndex::CreateSharedSearchInfo() {
  return std::shared_ptr<void>(new TSearchInfo, [](void* p) { delete static_cast<TSearchInfo*>(p); });
}

bool TVelqorimBTreeRecordIndex::FindKeyCondition(int SessionID, bool First, const TABSScanSearchCondition& Condition,
                                                 bool PartialCompare, TVelqorimKeyPath& Path) {
  TCompareScope scope(*FKeyRef);
  FKeyRef->CompareFieldCount = Condition.KeyFieldCount;
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(Condition.KeyRecordBuffer, key.data());
  if (PartialCompare) FKeyRef->SetPartialCompare(Condition.KeyRecordBuffer, true);
  return Root(SessionID, 20124)->FindByCondition(SessionID, First, key.data(), Condition.Condition, Path);
}

bool TVelqorimBTreeRecordIndex::EntryHasKey(int SessionID, const TABSScanSearchCondition& Condition,
                                            const TVelqorimKeyPath& Path) {
  if (Path.Count == 0) throw EABSException(20068, "Index error: invalid position");
  const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count - 1];
  TVelqorimBTreePage view(IndexManager->GetPageManager(*this), FKeyRef.get());
  auto page = view.GetIndexPage(SessionID, leaf.PageNo);
  if (!page->IsLeaf() || leaf.EntryNo < 0 || leaf.EntryNo >= page->EntryCount()) IndexDamaged(leaf);
  TCompareScope scope(*FKeyRef);
  FKeyRef->CompareFieldCount = Condition.KeyFieldCount;
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(Condition.KeyRecordBuffer, key.data());
  return FKeyRef->CompareShortKeys(key.data(), page->GetPKey(leaf.EntryNo), true, SessionID, nullptr,
                                   page->GetPReference(leaf.EntryNo)) == 0;
}

bool TVelqorimBTreeRecordIndex::FindRecord(int SessionID, bool Restart, bool GoForward,
                                           TABSScanSearchCondition* StartScanCondition,
                                           TABSScanSearchCondition* EndScanCondition, uint8_t* RecordBuffer,
                                           TABSPageItemID& RecordID, void* SearchInfo) {
  if (SearchInfo == nullptr) throw EABSException(20077, "Pointer is nil");
  auto& info = *static_cast<TSearchInfo*>(SearchInfo);
  if (Restart && info.Started) throw EABSException(20078, "Index error: invalid params");
  TVelqorimKeyPath& current = info.CurrentPosition;
  if (Restart || !info.Started) {
    current.Clear();
    if (StartScanCondition != nullptr) {
      if (!FindKeyCondition(SessionID, GoForward, *StartScanCondition, StartScanCondition->PartialCompare, current))
        return false;
      if (!Restart) {
        TVelqorimKeyPath own;
        if (!GetIndexPosition(SessionID, RecordID, RecordBuffer, &own)) return false;
        const int c = own.Compare(current);
        if (GoForward ? c >= 0 : c <= 0)
          current.Assign(own);
        else if (!NextPosition(SessionID, current, !GoForward))
          current.Clear();  // the first match is the index's first entry: step onto it below
      }
    } else if (Restart) {
      auto root = Root(SessionID, 20121);
      if (!(GoForward ? root->GetFirstPosition(SessionID, current) : root->GetLastPosition(SessionID, current)))
        return false;
    } else if (!GetIndexPosition(SessionID, RecordID, RecordBuffer, &current)) {
      return false;
    }
    info.OneKey = StartScanCondition != nullptr && StartScanCondition->Condition == scEqual &&
                  !StartScanCondition->PartialCompare &&
                  (EndScanCondition == nullptr || EndScanCondition == StartScanCondition);
    if (!info.Started && StartScanCondition != nullptr && !info.OneKey) {
      const TABSScanSearchCondition& end = EndScanCondition != nullptr ? *EndScanCondition : *StartScanCondition;
      info.EndPosition = std::make_unique<TVelqorimKeyPath>();
      if (!FindKeyCondition(SessionID, !GoForward, end, StartScanCondition->PartialCompare, *info.EndPosition))
        return false;
    }
  }
  if (!Restart) {
    if (current.Count == 0) {
      // Stepping back from the index's first match left no position: the match itself comes next.
      if (!FindKeyCondition(SessionID, GoForward, *StartScanCondition, StartScanCondition->PartialCompare, current))
        return false;
    } else if (!NextPosition(SessionID, current, GoForward)) {
      return false;
    }
  }
  if (info.EndPosition != nullptr) {
    const int c = current.Compare(*info.EndPosition);
    if (GoForward ? c > 0 : c < 0) return false;
  }
  if (info.OneKey && !EntryHasKey(SessionID, *StartScanCondition, current)) return false;
  RecordID = ReferenceAt(SessionID, current);
  if (!info.Started) {
    info.GoForward = GoForward;
    info.Started = true;
  }
  return true;
}

int TVelqorimBTreeRecordIndex::CompareRecordBuffersByIndex(const uint8_t* Buffer1, const uint8_t* Buffer2,
                                                           int IndexFieldCount) {
  TCompareScope scope(*FKeyRef);
  std::vector<uint8_t> key1 = FKeyRef->AllocFullKeyBuffer(), key2 = FKeyRef->AllocFullKeyBuffer();
  FKeyRef->MakeFullKeyFromRecordBuffer(Buffer1, key1.data());
  FKeyRef->MakeFullKeyFromRecordBuffer(Buffer2, key2.data());
  FKeyRef->CompareFieldCount = std::min(IndexFieldCount, FKeyRef->PartCount());
  return FKeyRef->CompareFullKeys(key1.data(), key2.data());
}

int64_t TVelqorimBTreeRecordIndex::GetApproxRangeRecordCount(int SessionID, int64_t TableRecordCount,
                                                             TABSScanSearchCondition* RangeCondition1,
                                                             TABSScanSearchCondition* RangeCondition2) {
  Root(SessionID, 20125);
  const bool firstIsLower = CompareConditions(*RangeCondition1, *RangeCondition2) < 0;
  TABSScanSearchCondition& lower = firstIsLower ? *RangeCondition1 : *RangeCondition2;
  TABSScanSearchCondition& upper = firstIsLower ? *RangeCondition2 : *RangeCondition1;
  TABSScanSearchCondition upperWithLowerCount;
  upperWithLowerCount.Assign(upper);
  upperWithLowerCount.KeyFieldCount = lower.KeyFieldCount;
  TVelqorimKeyPath p1, p2;
  if (!FindKeyCondition(SessionID, true, lower, false, p1)) return 0;
  if (!FindKeyCondition(SessionID, false, upperWithLowerCount, false, p2)) return 0;
  const double share = p2.GetApproxRecNoInPercents() - p1.GetApproxRecNoInPercents();
  const double estimate = std::nearbyint(share * static_cast<double>(TableRecordCount));
  return std::clamp<int64_t>(static_cast<int64_t>(estimate), 0, TableRecordCount);
}

bool TVelqorimBTreeRecordIndex::CanInsertRecord(int SessionID, const uint8_t* RecordBuffer) {
  auto root = Root(SessionID, 20126);
  if (!IndexDef->Primary && !IndexDef->Unique) return true;
  std::vector<uint8_t> key = FKeyRef->AllocShortKeyBuffer();
  FKeyRef->MakeShortKeyFromRecordBuffer(RecordBuffer, key.data());
  TVelqorimKeyPath path;
  return !root->FindByCondition(SessionID, true, key.data(), scEqual, path);
}

bool TVelqorimBTreeRecordIndex::CanUpdateRecord(int SessionID, const uint8_t* OldRecordBuffer,
                                                const uint8_t* NewRecordBuffer) {
  if (CompareRecordBuffersByIndex(OldRecordBuffer, NewRecordBuffer, FKeyRef->PartCount()) == 0) return true;
  return CanInsertRecord(SessionID, NewRecordBuffer);
}

int TVelqorimBTreeRecordIndex::GetMaxEntriesPerPage() {
  return IndexManager->GetPageManager(*this)->PageDataSize() / (FKeyRef->ShortKeySize + 4);
}

void TVelqorimBTreeRecordIndex::GetRecordIDByIndexPosition(int SessionID, TObject* IndexPos,
                                                           TABSPageItemID& RecordID) {
  const auto& path = static_cast<const TVelqorimKeyPath&>(*IndexPos);
  auto page = Root(SessionID, 20124);
  for (int level = 0; level < path.Count; ++level) {
    const int entry = path.Items[level].EntryNo;
    if (page->IsLeaf()) {
      std::memcpy(&RecordID, page->GetPReference(entry), sizeof RecordID);
      return;
    }
    page = page->GetIndexPage(SessionID, page->ChildPageNo(entry));
  }
  throw EABSException(20068, "Index error: invalid position");
}

void TVelqorimBTreeRecordIndex::CheckIntegrity(int SessionID) {
  TVelqorimKeyPath path;
  Root(SessionID, 20124)->CheckIntegrity(SessionID, path);
}
