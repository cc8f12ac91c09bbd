#include "db/storage/VelqorimPage.h"

#include <algorithm>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZRandom.h"

TVelqorimPage::~TVelqorimPage() {
  if (OwnBuffer) TABSMemBlock release(PageBuffer);
}

int TVelqorimPage::PageSize() const { return PageManager->PageSize; }
int TVelqorimPage::PageHeaderSize() const { return PageManager->PageHeaderSize; }

void TVelqorimPage::AllocPageBuffer() {
  if (OwnBuffer) MemoryManager().FreeAndNillMem(PageBuffer);
  PageBuffer = static_cast<uint8_t*>(MemoryManager().AllocMem(PageSize()));
  OwnBuffer = true;
  InitHeader();
}

void TVelqorimPage::FreeAndNilPageBuffer() {
  if (OwnBuffer) MemoryManager().FreeAndNillMem(PageBuffer);
  PageBuffer = nullptr;
}

void TVelqorimPage::ClearPageBuffer() { std::memset(PageBuffer, 0, PageSize()); }

void TVelqorimPage::InitHeader() {
  if (PageHeaderSize() < static_cast<int>(sizeof(TVelqorimDiskPageHeader))) return;
  TVelqorimDiskPageHeader* h = PageHeader();
  std::memcpy(h->Signature, "VLQP", 4);
  h->State = 0;
  h->PageType = 0;
  h->NextPageNo = -1;
  h->CRC32 = 0;
  h->CRCType = h->HashType = h->Cipherype = h->MACType = 0;
  h->ObjectID = -1;
  h->RecordID = {-1, 0};
}

void TVelqorimPage::EnlargePageBuffer(int NewSize) {
  if (PageBuffer == nullptr) throw EABSException(20038, "Invalid page buffer. Buffer is Nil");
  if (NewSize < PageSize()) throw EABSException(20039, "Invalid page modification");
  if (OwnBuffer) {
    MemoryManager().ReallocMem(PageBuffer, NewSize);
    return;
  }
  auto* own = static_cast<uint8_t*>(MemoryManager().GetMem(NewSize));
  std::memcpy(own, PageBuffer, PageSize());
  PageBuffer = own;
  OwnBuffer = true;
}

void TVelqorimPage::Synchronize() {
  if (!PageManager->IsMultiUserDiskStore() || PageHeaderSize() < static_cast<int>(sizeof(TVelqorimDiskPageHeader)))
    return;
  // A stamp or page that cannot be read again must not leave the stale copy
  // in use: the freed stamp makes the next use read the page again.
  int32_t state = VelqorimFreedPageState;
  if (PageManager->ReadPageState(PageNo, state) && state == PageHeader()->State) return;
  if (!PageManager->InternalReadPage(*this)) {
    PageHeader()->State = VelqorimFreedPageState;
    throw EABSException(20299, "Error reading database file page. Page No: %d, type %d",
                        {PageNo, int{PageHeader()->PageType}});
  }
}

bool TVelqorimPage::GetTableState(int SessionID, int32_t& TableState) const {
  const size_t slot = static_cast<size_t>(SessionID + 2);
  if (SessionID < -2 || slot >= TableStates.size()) return false;
  TableState = TableStates[slot].TableState;
  return TableStates[slot].IsTableStateValueAssigned;
}

void TVelqorimPage::SetTableState(int SessionID, int32_t TableState) {
  if (SessionID < -2) return;
  const size_t slot = static_cast<size_t>(SessionID + 2);
  if (TableStates.size() <= slot) TableStates.resize(slot + 1);
  TableStates[slot] = {TableState, true};
}

// ---------------------------------------------------------------------------

TVelqorimSortedPageList::TVelqorimSortedPageList(int Size) { SetSize(Size); }

int TVelqorimSortedPageList::Position(int32_t Key, bool& Found) const {
  const auto begin = KeyItems.begin(), end = KeyItems.begin() + ItemCount;
  const auto it = std::lower_bound(begin, end, Key);
  Found = it != end && *it == Key;
  return static_cast<int>(it - begin);
}

TVelqorimPage* TVelqorimSortedPageList::Find(int32_t Key) const {
  bool found = false;
  const int i = Position(Key, found);
  return found ? ValueItems[i].Page : nullptr;
}

// Room is kept while the list empties and fills again (a session's dirty
// list does with every commit); it is given back in growing steps only.
void TVelqorimSortedPageList::SetSize(int NewSize) {
  if (NewSize > AllocItemCount) {
    AllocBy = std::min(AllocBy * 2, MaxAllocBy);
    AllocItemCount = AllocItemCount + AllocBy > NewSize ? AllocItemCount + AllocBy : NewSize;
    KeyItems.resize(AllocItemCount);
    ValueItems.resize(AllocItemCount);
  } else if (NewSize < ItemCount && AllocItemCount - NewSize > deAllocBy) {
    deAllocBy = std::min(deAllocBy * 2, MaxAllocBy);
    AllocItemCount = NewSize + AllocBy;
    KeyItems.resize(AllocItemCount);
    ValueItems.resize(AllocItemCount);
    KeyItems.shrink_to_fit();
    ValueItems.shrink_to_fit();
  }
  ItemCount = NewSize;
}

void TVelqorimSortedPageList::Insert(TVelqorimPage* Page) {
  ++LRUCount;
  bool found = false;
  const int i = Position(Page->PageNo, found);
  SetSize(ItemCount + 1);
  std::move_backward(KeyItems.begin() + i, KeyItems.begin() + ItemCount - 1, KeyItems.begin() + ItemCount);
  std::move_backward(ValueItems.begin() + i, ValueItems.begin() + ItemCount - 1, ValueItems.begin() + ItemCount);
  KeyItems[i] = Page->PageNo;
  ValueItems[i] = {Page, LRUCount};
}

void TVelqorimSortedPageList::Delete(int32_t PageNo) {
  if (ItemCount == 0) throw EABSException(20165, "TSortedPageList.Delete - no elements in array!");
  bool found = false;
  const int i = Position(PageNo, found);
  if (!found)
    throw EABSException(20166, "TSortedPageList.Delete - element not found, key = %d, itemCount = %d",
                        {PageNo, ItemCount});
  std::move(KeyItems.begin() + i + 1, KeyItems.begin() + ItemCount, KeyItems.begin() + i);
  std::move(ValueItems.begin() + i + 1, ValueItems.begin() + ItemCount, ValueItems.begin() + i);
  --ItemCount;
  SetSize(ItemCount);
}

void TVelqorimSortedPageList::UpdateLRU(TVelqorimPage* Page) {
  bool found = false;
  const int i = Position(Page->PageNo, found);
  if (!found) throw EABSException(20167, "Page not found");
  ValueItems[i].LRUCount = ++LRUCount;
}

TVelqorimPage* TVelqorimSortedPageList::FirstByLRU() {
  LRULastFound = INT64_MIN;
  return NextByLRU();
}

TVelqorimPage* TVelqorimSortedPageList::NextByLRU() {
  int best = -1;
  for (int i = 0; i < ItemCount; ++i)
    if (ValueItems[i].LRUCount > LRULastFound && (best < 0 || ValueItems[i].LRUCount < ValueItems[best].LRUCount))
      best = i;
  if (best < 0) return nullptr;
  LRULastFound = ValueItems[best].LRUCount;
  return ValueItems[best].Page;
}

// ---------------------------------------------------------------------------

TVelqorimPageManager::TVelqorimPageManager()
    : CacheCapacity(static_cast<int32_t>(
          std::clamp<int64_t>(MemoryManager().GetFreeMemorySize() / 65536, 1, 1000))) {}

TVelqorimPageManager::~TVelqorimPageManager() {
  for (auto& s : FSessions)
    for (int i = 0; i < s.DirtyPages->Count(); ++i) delete s.DirtyPages->Item(i);
  for (int i = 0; i < FSharedPages.Count(); ++i) delete FSharedPages.Item(i);
}

void TVelqorimPageManager::CheckNoUncommittedPages() const {
  for (const auto& s : FSessions)
    if (s.DirtyPages->Count() > 0) throw EABSException(20097, "Cannot free non-commited pages");
}

TVelqorimSessionPageInfo* TVelqorimPageManager::FindSession(int SessionID) {
  for (auto& s : FSessions)
    if (s.SessionID == SessionID) return &s;
  return nullptr;
}

TVelqorimSessionPageInfo& TVelqorimPageManager::SessionEntry(int SessionID) {
  if (TVelqorimSessionPageInfo* s = FindSession(SessionID)) return *s;
  FSessions.push_back({SessionID, std::make_unique<TVelqorimSortedPageList>(0),
                       std::make_unique<TABSIntegerArray>(0, 10, 100), std::make_unique<TABSIntegerArray>(0, 10, 100)});
  return FSessions.back();
}

void TVelqorimPageManager::FreePage(TVelqorimPage* Page) { delete Page; }

void TVelqorimPageManager::RemovePage(int SessionID, int32_t PageNo) {
  SessionEntry(SessionID).RemovedPageNumbers->Append(PageNo);
}

void TVelqorimPageManager::CheckCachedPageType(const TVelqorimPage& Page, uint16_t PageType) const {
  if (IgnoreCRCErrors || PageHeaderSize == 0 || PageType == 255) return;
  const uint16_t found = Page.PageHeader()->PageType;
  if (found != PageType)
    throw EABSException(20153, "Invalid page type. Possible data corruption. Expecting type %d, but found %d",
                        {int{PageType}, int{found}});
}

TVelqorimPage* TVelqorimPageManager::GetPage(int SessionID, int32_t PageNo, uint16_t PageType,
                                             bool SynchronizeAllowed) {
  if (SessionID == -1) throw EABSException(20186, "Invalid Session ID");
  TVelqorimSessionPageInfo& session = SessionEntry(SessionID);
  TVelqorimPage* page = session.DirtyPages->Find(PageNo);
  if (page == nullptr) {
    page = FSharedPages.Find(PageNo);
    if (page == nullptr) {
      auto fresh = std::make_unique<TVelqorimPage>(this);
      fresh->PageNo = PageNo;
      fresh->SessionID = SessionID;
      if (!InternalReadPage(*fresh))
        throw EABSException(20299, "Error reading database file page. Page No: %d, type %d",
                            {PageNo, int{PageType}});
      page = fresh.get();
      FSharedPages.Insert(fresh.release());
      CheckCachedPageType(*page, PageType);
      UpdatePageTableState(SessionID, *page);
    } else if (SynchronizeAllowed && !IsPageTableStateCurrent(SessionID, *page)) {
      page->Synchronize();
      UpdatePageTableState(SessionID, *page);
    }
    page->ParentList = &FSharedPages;
  }
  // Also for a page cached by a read that accepted any type.
  CheckCachedPageType(*page, PageType);
  if (page->UseCount > 0 && page->SessionID != SessionID)
    throw EABSException(20090, "Page is used by other session");
  page->SessionID = SessionID;
  ++page->UseCount;
  return page;
}

TVelqorimPage* TVelqorimPageManager::AddPage(int SessionID, uint16_t PageType) {
  auto page = std::make_unique<TVelqorimPage>(this);
  InternalAddPage(*page);
  if (page->PageNo == -1) throw EABSException(20064, "Invalid page number");
  page->UseCount = 1;
  page->IsDirty = true;
  page->Reloaded = false;
  if (PageHeaderSize > 0) {
    page->PageHeader()->PageType = PageType;
    page->PageHeader()->State = ABSRandom(0x3FFFFFFF);
  }
  TVelqorimSessionPageInfo& session = SessionEntry(SessionID);
  page->ParentList = session.DirtyPages.get();
  page->SessionID = SessionID;
  // A stale copy of a reused number leaves the cache.
  DropSharedCopy(page->PageNo);
  session.AddedPageNumbers->Append(page->PageNo);
  session.DirtyPages->Insert(page.get());
  return page.release();
}

void TVelqorimPageManager::DropSharedCopy(int32_t PageNo) {
  TVelqorimPage* stale = FSharedPages.Find(PageNo);
  if (stale == nullptr) return;
  FSharedPages.Delete(PageNo);
  // A pinned copy is freed when its holder puts it back.
  if (stale->UseCount == 0)
    FreePage(stale);
  else
    stale->ParentList = nullptr;
}

void TVelqorimPageManager::PutPage(TVelqorimPage* aPage) {
  --aPage->UseCount;
  if (aPage->UseCount == 0) aPage->Reloaded = false;
  if (aPage->ParentList == nullptr) {
    if (aPage->UseCount == 0) FreePage(aPage);
    return;
  }
  if (aPage->ParentList != &FSharedPages) return;
  if (aPage->UseCount == 0) {
    if (aPage->IsDirty) {
      TVelqorimSessionPageInfo& session = SessionEntry(aPage->SessionID);
      FSharedPages.Delete(aPage->PageNo);
      session.DirtyPages->Insert(aPage);
      aPage->ParentList = session.DirtyPages.get();
      return;
    }
    FSharedPages.UpdateLRU(aPage);
  }
  if (FSharedPages.Count() <= CacheCapacity) return;
  std::vector<TVelqorimPage*> victims;
  int remaining = FSharedPages.Count();
  for (TVelqorimPage* p = FSharedPages.FirstByLRU(); p != nullptr && remaining > CacheCapacity;
       p = FSharedPages.NextByLRU())
    if (p->UseCount == 0) {
      victims.push_back(p);
      --remaining;
    }
  for (TVelqorimPage* p : victims) {
    FSharedPages.Delete(p->PageNo);
    FreePage(p);
  }
}

void TVelqorimPageManager::ApplyChanges(int SessionID) {
  for (int i = 0; i < FSharedPages.Count(); ++i)
    if (FSharedPages.Item(i)->SessionID == SessionID && FSharedPages.Item(i)->UseCount > 0)
      throw EABSException(20152, "Some session pages not released");
  TVelqorimSessionPageInfo* session = FindSession(SessionID);
  if (session == nullptr) return;
  TVelqorimSortedPageList& dirty = *session->DirtyPages;
  TABSIntegerArray& removed = *session->RemovedPageNumbers;
  // Pages the session also removes are never written.
  auto isRemoved = [&](int32_t PageNo) { return removed.IsValueExists(PageNo); };
  for (int i = 0; i < dirty.Count(); ++i) {
    TVelqorimPage* p = dirty.Item(i);
    if (isRemoved(p->PageNo)) continue;
    if (!p->IsDirty) throw EABSException(20085, "Invalid page");
    if (p->UseCount > 0) throw EABSException(20086, "Cannot write used page");
  }
  // The new images first ...
  while (dirty.Count() > 0) {
    TVelqorimPage* p = dirty.Item(0);
    if (!isRemoved(p->PageNo)) {
      InternalWritePage(*p);
      p->IsDirty = false;
    }
    dirty.Delete(p->PageNo);
    // Another session may have cached the old image meanwhile: it is stale now.
    DropSharedCopy(p->PageNo);
    if (!isRemoved(p->PageNo) && FSharedPages.Count() < CacheCapacity) {
      FSharedPages.Insert(p);
      p->ParentList = &FSharedPages;
    } else {
      FreePage(p);
    }
  }
  // ... then the removals, so that nothing is freed before what replaces it is written.
  while (removed.ItemCount > 0) {
    const int32_t pageNo = removed[0];
    InternalRemovePage(pageNo);
    DropSharedCopy(pageNo);
    removed.Delete(0);
  }
  session->AddedPageNumbers->SetSize(0);
}

void TVelqorimPageManager::CancelChanges(int SessionID) {
  TVelqorimSessionPageInfo* session = FindSession(SessionID);
  if (session == nullptr) return;
  TVelqorimSortedPageList& dirty = *session->DirtyPages;
  while (dirty.Count() > 0) {
    TVelqorimPage* p = dirty.Item(0);
    if (!p->IsDirty) throw EABSException(20087, "Invalid index page");
    if (p->UseCount > 0) throw EABSException(20088, "Cannot remove used page");
    dirty.Delete(p->PageNo);
    FreePage(p);
  }
  for (int i = 0; i < session->AddedPageNumbers->ItemCount; ++i)
    InternalRemovePage((*session->AddedPageNumbers)[i]);
  session->AddedPageNumbers->SetSize(0);
  session->RemovedPageNumbers->SetSize(0);
}
