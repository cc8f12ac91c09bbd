#include "db/storage/VelqorimDiskIndex.h"

#include <cstring>

#include "db/support/DAZExcept.h"

namespace {

int32_t KeyOf(const TVelqorimBTreePage& Leaf, int Entry) {
  int32_t v;
  std::memcpy(&v, Leaf.GetPKey(Entry), 4);
  return v;
}

int ValueOf(const TVelqorimBTreePage& Leaf, int Entry) {
  uint16_t v;
  std::memcpy(&v, Leaf.GetPReference(Entry), 2);
  return v;
}

void SetValue(TVelqorimBTreePage& Leaf, int Entry, int Value) {
  const auto v = static_cast<uint16_t>(Value);
  Leaf.UpdateReference(Entry, reinterpret_cast<const uint8_t*>(&v));
  Leaf.SetIsDirty(true);
}

const uint8_t* AsKey(const int32_t& PageNo) {
  return reinterpret_cast<const uint8_t*>(&PageNo);
}

}  // namespace

TVelqorimBTreePageIndex::TVelqorimBTreePageIndex(TVelqorimPageManager* PageManager)
    : FKeyRef(std::make_unique<TVelqorimPageKeyRef>()), LPageManager(PageManager) {}

TVelqorimBTreePageIndex::~TVelqorimBTreePageIndex() = default;

std::unique_ptr<TVelqorimBTreePage> TVelqorimBTreePageIndex::Root(int SessionID, int ErrorCode,
                                                                  const char* Text) {
  if (FRootPageNo == -1) throw EABSException(ErrorCode, Text);
  TVelqorimBTreePage view(LPageManager, FKeyRef.get());
  return view.GetIndexPage(SessionID, FRootPageNo);
}

void TVelqorimBTreePageIndex::CreateIndex(int SessionID) {
  TVelqorimBTreePage view(LPageManager, FKeyRef.get());
  auto root = view.AddIndexPage(SessionID);
  root->InitAsRoot();
  root->SetIsDirty(true);
  FRootPageNo = root->PageNo();
}

void TVelqorimBTreePageIndex::DropIndex(int SessionID) {
  if (FRootPageNo == -1) return;
  Root(SessionID, 20117, "Index error: invalid page number")->FreeAllPages(SessionID, false);
  FRootPageNo = -1;
}

void TVelqorimBTreePageIndex::EmptyIndex(int SessionID) {
  if (FRootPageNo == -1) return;
  auto root = Root(SessionID, 20117, "Index error: invalid page number");
  root->FreeAllPages(SessionID, true);
  root->InitAsRoot();
  root->SetIsDirty(true);
}

bool TVelqorimBTreePageIndex::FindPosition(TVelqorimBTreePage& aRoot, int SessionID, int32_t PageNo,
                                           TVelqorimKeyPath& Path) {
  Path.Clear();
  return aRoot.FindByCondition(SessionID, true, AsKey(PageNo), scEqual, Path);
}

int TVelqorimBTreePageIndex::ValueAt(TVelqorimBTreePage& View, int SessionID, const TVelqorimKeyPath& Path,
                                     int32_t* PageNo) {
  if (Path.Count == 0) throw EABSException(20107, "Index error: invalid position");
  const TVelqorimKeyPathItem& at = Path.Items[Path.Count - 1];
  auto leaf = View.GetIndexPage(SessionID, at.PageNo);
  if (PageNo != nullptr) *PageNo = KeyOf(*leaf, at.EntryNo);
  return ValueOf(*leaf, at.EntryNo);
}

bool TVelqorimBTreePageIndex::FindPageWithRoom(int SessionID, int Amount, int32_t& PageNo) {
  auto root = Root(SessionID, 20116, "Index error: invalid page number");
  for (const bool last : {true, false}) {
    TVelqorimKeyPath path;
    if (!(last ? root->GetLastPosition(SessionID, path) : root->GetFirstPosition(SessionID, path)))
      return false;
    auto leaf = root->GetIndexPage(SessionID, path.Items[path.Count - 1].PageNo);
    const int n = leaf->EntryCount();
    for (int k = 0; k < n; ++k) {
      const int i = last ? n - 1 - k : k;
      if (HasRoomForItems(ValueOf(*leaf, i), Amount)) {
        PageNo = KeyOf(*leaf, i);
        return true;
      }
    }
  }
  return false;
}

void TVelqorimBTreePageIndex::AddToPage(int SessionID, int Amount, int32_t PageNo) {
  auto root = Root(SessionID, 20118, "Index error: invalid page number");
  const char* full = "Cannot add data item to page. Page is full";
  TVelqorimKeyPath path;
  if (!FindPosition(*root, SessionID, PageNo, path)) {
    // The value is 16 bits wide; anything else would be stored cut.
    if (Amount <= 0 || Amount > UINT16_MAX) throw EABSException(20106, full);
    const auto value = static_cast<uint16_t>(Amount);
    path.Clear();
    root->InsertLeafEntry(SessionID, AsKey(PageNo), reinterpret_cast<const uint8_t*>(&value), path);
    return;
  }
  const TVelqorimKeyPathItem& at = path.Items[path.Count - 1];
  auto leaf = root->GetIndexPage(SessionID, at.PageNo);
  const int value = ValueOf(*leaf, at.EntryNo);
  if (!HasRoomForItems(value, Amount) || Amount < 0 || value + Amount > UINT16_MAX)
    throw EABSException(20106, full);
  SetValue(*leaf, at.EntryNo, value + Amount);
}

void TVelqorimBTreePageIndex::TakeFromPage(int SessionID, int Amount, int NewValue, int32_t PageNo) {
  auto root = Root(SessionID, 20110, "Invalid page number");
  TVelqorimKeyPath path;
  if (!FindPosition(*root, SessionID, PageNo, path)) throw EABSException(20111, "Invalid page number");
  const TVelqorimKeyPathItem& at = path.Items[path.Count - 1];
  int stored;
  {
    auto leaf = root->GetIndexPage(SessionID, at.PageNo);
    stored = ValueOf(*leaf, at.EntryNo);
    if (NewValue < 0) {
      if (stored == 0) throw EABSException(20112, "Index error: page is empty");
      // Never below 0: a damaged count must not wrap to a huge one.
      NewValue = stored > Amount ? stored - Amount : 0;
    }
    if (NewValue != 0) {
      if (NewValue > UINT16_MAX) throw EABSException(20106, "Cannot add data item to page. Page is full");
      SetValue(*leaf, at.EntryNo, NewValue);
      return;
    }
  }
  const auto value = static_cast<uint16_t>(stored);
  path.Clear();
  root->DeleteLeafEntry(SessionID, AsKey(PageNo), reinterpret_cast<const uint8_t*>(&value), path);
}

void TVelqorimBTreePageIndex::ForEachPage(int SessionID, const std::function<bool(int32_t, int)>& Visit) {
  auto root = Root(SessionID, 20115, "Index error: invalid page number");
  TVelqorimKeyPath path;
  if (!root->GetFirstPosition(SessionID, path)) return;
  int32_t leafNo = path.Items[path.Count - 1].PageNo;
  // A leaf chain longer than the file has pages can only be a damaged one.
  for (int64_t left = int64_t{LPageManager->GetPageCount()} + 1; leafNo != -1; --left) {
    if (left <= 0) throw EABSException(20100, "Index error: invalid page number");
    auto leaf = root->GetIndexPage(SessionID, leafNo);
    for (int i = 0; i < leaf->EntryCount(); ++i)
      if (!Visit(KeyOf(*leaf, i), ValueOf(*leaf, i))) return;
    leafNo = leaf->RightPageNo();
  }
}

int TVelqorimBTreePageIndex::FindValue(int SessionID, int32_t PageNo) {
  auto root = Root(SessionID, 20117, "Index error: invalid page number");
  TVelqorimKeyPath path;
  if (!FindPosition(*root, SessionID, PageNo, path)) return -1;
  return ValueAt(*root, SessionID, path, nullptr);
}

bool TVelqorimBTreePageIndex::GetEndPage(int SessionID, bool First, int32_t& PageNo) {
  auto root = First ? Root(SessionID, 20115, "Index error: invalid page number")
                    : Root(SessionID, 20116, "Index error: invalid page number");
  TVelqorimKeyPath path;
  if (!(First ? root->GetFirstPosition(SessionID, path) : root->GetLastPosition(SessionID, path)))
    return false;
  ValueAt(*root, SessionID, path, &PageNo);
  return true;
}

bool TVelqorimBTreePageIndex::GetNeighbourPage(int SessionID, int32_t CurrentPageNo, bool Forward,
                                               int NotListedCode, int32_t& PageNo) {
  auto root = Root(SessionID, 20117, "Index error: invalid page number");
  TVelqorimKeyPath path;
  if (!FindPosition(*root, SessionID, CurrentPageNo, path))
    throw EABSException(NotListedCode, "Invalid page number");
  if (!root->StepPath(SessionID, path, Forward, Forward ? 20099 : 20101, Forward ? 20100 : 20102))
    return false;
  ValueAt(*root, SessionID, path, &PageNo);
  return true;
}

void TVelqorimBTreeRecordPageIndex::GetRecordByRecNo(int SessionID, int64_t RecNo, int32_t& PageNo,
                                                     int32_t& RecNoOnPage) {
  int64_t before = 0;
  bool found = false;
  if (RecNo >= 0)
    ForEachPage(SessionID, [&](int32_t aPageNo, int Value) {
      if (before + Value > RecNo) {
        PageNo = aPageNo;
        RecNoOnPage = static_cast<int32_t>(RecNo - before);
        found = true;
        return false;
      }
      before += Value;
      return true;
    });
  if (!found) throw EABSException(20113, "Cannot set RecNo greater than RecordCount");
}

void TVelqorimBTreeRecordPageIndex::GetRecNoByRecord(int SessionID, int32_t PageNo, int32_t RecNoOnPage,
                                                     int64_t& RecNo) {
  int64_t before = 0;
  bool found = false;
  ForEachPage(SessionID, [&](int32_t aPageNo, int Value) {
    if (aPageNo == PageNo) return !(found = true);
    before += Value;
    return true;
  });
  if (!found) throw EABSException(20114, "Invalid page number");
  RecNo = before + RecNoOnPage;
}

void TVelqorimBTreeRecordPageIndex::Validate(int SessionID, int64_t StoredRecordCount) {
  int64_t total = 0;
  ForEachPage(SessionID, [&](int32_t, int Value) {
    total += Value;
    return true;
  });
  if (total != StoredRecordCount)
    throw EABSException(20292,
                        "Invalid table RecordPageIndex or MostUpdated. RecordPageIndex.RecordCount=%d, "
                        "MostUpdated.RecordCount=%d",
                        {total, StoredRecordCount});
}

bool TVelqorimBTreeBlobPageIndex::HasRoomForItems(int Value, int Amount) const {
  return Value + Amount < PageManager()->PageDataSize() - 2;
}
