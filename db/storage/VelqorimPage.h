#pragma once
// Pages and the page cache. A page manager keeps one shared cache of clean
// pages for all sessions and, per session, the pages that session changed,
// added or removed since its last commit; its stores (memory, temporary
// files, the database file) give four operations: add, remove, read, write.
//
// A session sees its own uncommitted pages first and the last committed
// contents of every other page. A page taken with AddPage or GetPage is
// pinned until PutPage; pinned pages are never evicted, written or dropped.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "db/storage/VelqorimDiskEngine.h"
#include "db/support/DAZArrays.h"
#include "platform/rtl/Classes.h"

class TVelqorimPageManager;
class TVelqorimSortedPageList;

struct TVelqorimPageTableStateInfo {
  int32_t TableState = 0;
  bool IsTableStateValueAssigned = false;
};

class TVelqorimPage : public TObject {
 public:
  explicit TVelqorimPage(TVelqorimPageManager* aPageManager) : PageManager(aPageManager) {}
  ~TVelqorimPage() override;
  TVelqorimPage(const TVelqorimPage&) = delete;
  TVelqorimPage& operator=(const TVelqorimPage&) = delete;

  // A zeroed page with an initialised header.
  void AllocPageBuffer();
  void FreeAndNilPageBuffer();
  void ClearPageBuffer();
  void InitHeader();
  // Grows the buffer (20038 without one, 20039 below the page size); a
  // borrowed buffer is copied into an own one first.
  void EnlargePageBuffer(int NewSize);
  // Re-reads a cached page that another process changed (multi-user stores).
  void Synchronize();
  bool GetTableState(int SessionID, int32_t& TableState) const;
  void SetTableState(int SessionID, int32_t TableState);

  int PageSize() const;
  int PageHeaderSize() const;
  TVelqorimDiskPageHeader* PageHeader() const { return reinterpret_cast<TVelqorimDiskPageHeader*>(PageBuffer); }
  uint8_t* PageData() const { return PageBuffer + PageHeaderSize(); }
  int PageDataSize() const { return PageSize() - PageHeaderSize(); }

  TVelqorimPageManager* PageManager;
  int32_t PageNo = -1;
  uint8_t* PageBuffer = nullptr;
  bool OwnBuffer = true;
  bool IsDirty = false;
  int32_t UseCount = 0;
  TVelqorimSortedPageList* ParentList = nullptr;
  int32_t SessionID = -1;
  bool Reloaded = false;
  bool EncryptionEnabled = true;
  std::vector<TVelqorimPageTableStateInfo> TableStates;  // indexed by session id + 2
};

// What typed page classes wrap (B-tree pages).
class TVelqorimPageController : public TObject {
 public:
  int32_t PageNo() const { return Page->PageNo; }
  uint8_t* PageBuffer() const { return Page->PageBuffer; }
  bool IsDirty() const { return Page->IsDirty; }
  void SetIsDirty(bool Value) { Page->IsDirty = Value; }
  int32_t UseCount() const { return Page->UseCount; }
  int PageSize() const { return Page->PageSize(); }
  TVelqorimPageManager* PageManager() const { return Page->PageManager; }
  uint8_t* PageData() const { return Page->PageData(); }
  int PageDataSize() const { return Page->PageDataSize(); }
  void EnlargePageBuffer(int NewSize) { Page->EnlargePageBuffer(NewSize); }

  TVelqorimPage* Page = nullptr;
};

struct TVelqorimPageElement {
  TVelqorimPage* Page;
  int64_t LRUCount;
};

// Pages by page number (binary search), with a use counter for eviction
// order. Holds references only.
class TVelqorimSortedPageList : public TObject {
 public:
  explicit TVelqorimSortedPageList(int Size = 0);

  int Count() const { return ItemCount; }
  TVelqorimPage* Find(int32_t Key) const;
  void Insert(TVelqorimPage* Page);
  // 20165 on an empty list, 20166 for a page number not in it.
  void Delete(int32_t PageNo);
  void Clear() { ItemCount = 0; }
  // Marks the page as just used (20167 when it is not in the list).
  void UpdateLRU(TVelqorimPage* Page);
  // Least recently used first.
  TVelqorimPage* FirstByLRU();
  TVelqorimPage* NextByLRU();
  void SetSize(int NewSize);
  TVelqorimPage* Item(int Index) const { return ValueItems[Index].Page; }

  std::vector<int32_t> KeyItems;
  int ItemCount = 0;
  int AllocBy = 1000;
  int deAllocBy = 1000;
  int MaxAllocBy = 10000;
  int AllocItemCount = 0;
  int64_t LRUCount = 0;
  int64_t LRULastFound = 0;
  std::vector<TVelqorimPageElement> ValueItems;

 private:
  // Index of Key, or where it would go.
  int Position(int32_t Key, bool& Found) const;
};

struct TVelqorimSessionPageInfo {
  int32_t SessionID;
  std::unique_ptr<TVelqorimSortedPageList> DirtyPages;
  std::unique_ptr<TABSIntegerArray> AddedPageNumbers;
  std::unique_ptr<TABSIntegerArray> RemovedPageNumbers;
};

class TVelqorimPageManager : public TObject {
 public:
  TVelqorimPageManager();
  // Frees every page; uncommitted changes are lost (call CheckNoUncommittedPages first to refuse that).
  ~TVelqorimPageManager() override;
  TVelqorimPageManager(const TVelqorimPageManager&) = delete;
  TVelqorimPageManager& operator=(const TVelqorimPageManager&) = delete;

  virtual int GetPageCount() { return FPageCount; }
  virtual bool IsPageTableStateCurrent(int SessionID, TVelqorimPage& Page) {
    (void)SessionID, (void)Page;
    return false;
  }
  virtual void UpdatePageTableState(int SessionID, TVelqorimPage& Page) { (void)SessionID, (void)Page; }
  virtual void LoadFromStream(TStream& Stream) { (void)Stream; }
  virtual void SaveToStream(TStream& Stream) { (void)Stream; }
  // The store: give the page a free number and a buffer; free a number; fill
  // a page (false when it cannot); store a page.
  virtual void InternalAddPage(TVelqorimPage& aPage) = 0;
  virtual void InternalRemovePage(int32_t PageNo) = 0;
  virtual bool InternalReadPage(TVelqorimPage& aPage) = 0;
  virtual void InternalWritePage(TVelqorimPage& aPage) = 0;
  // Records the number as removed; the store frees it at commit.
  virtual void RemovePage(int SessionID, int32_t PageNo);
  // The page pinned; PageType 255 accepts any type.
  virtual TVelqorimPage* GetPage(int SessionID, int32_t PageNo, uint16_t PageType, bool SynchronizeAllowed = true);
  // Commit: new images first, then the removals, so nothing is freed before it is replaced.
  virtual void ApplyChanges(int SessionID);
  // A new page, pinned and dirty.
  TVelqorimPage* AddPage(int SessionID, uint16_t PageType);
  void PutPage(TVelqorimPage* aPage);
  void CancelChanges(int SessionID);
  // 20097 while a session holds uncommitted pages.
  void CheckNoUncommittedPages() const;
  // Reads the stamp of a cached page from the store (multi-user disk stores only).
  virtual bool ReadPageState(int32_t PageNo, int32_t& State) {
    (void)PageNo, (void)State;
    return false;
  }
  virtual bool IsMultiUserDiskStore() const { return false; }

  TVelqorimSortedPageList& SharedPages() { return FSharedPages; }
  TVelqorimSessionPageInfo* FindSession(int SessionID);

  std::recursive_mutex CSect;
  int32_t CacheCapacity;
  uint16_t PageSize = 4096;
  uint16_t PageHeaderSize = 0;
  uint16_t PageDataSize() const { return static_cast<uint16_t>(PageSize - PageHeaderSize); }
  bool MultiUser = false;
  bool IgnoreCRCErrors = false;

 protected:
  int32_t FPageCount = 0;

 private:
  // 20153 when a page header names another type than the caller expects (255: any).
  void CheckCachedPageType(const TVelqorimPage& Page, uint16_t PageType) const;
  TVelqorimSessionPageInfo& SessionEntry(int SessionID);
  void FreePage(TVelqorimPage* Page);
  void DropSharedCopy(int32_t PageNo);

  TVelqorimSortedPageList FSharedPages;
  std::vector<TVelqorimSessionPageInfo> FSessions;
};

// Returns a page to its manager on every path out of a scope.
class TVelqorimPageHolder {
 public:
  TVelqorimPageHolder(TVelqorimPageManager& Manager, TVelqorimPage* Page) : FManager(Manager), FPage(Page) {}
  ~TVelqorimPageHolder() {
    if (FPage != nullptr) FManager.PutPage(FPage);
  }
  TVelqorimPageHolder(const TVelqorimPageHolder&) = delete;
  TVelqorimPageHolder& operator=(const TVelqorimPageHolder&) = delete;
  TVelqorimPage* operator->() const { return FPage; }
  TVelqorimPage* Get() const { return FPage; }

 private:
  TVelqorimPageManager& FManager;
  TVelqorimPage* FPage;
};
