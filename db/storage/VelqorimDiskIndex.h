#pragma once
// The two page-number trees of a disk table: the pages holding its records
// with the number of records on each, and its shared BLOB pages with the
// bytes used on each. They answer which pages the table owns (in page order),
// which page still has room, and how many records lie before a page.
//
// Each is a B-tree of index pages (type 12) whose leaf entries are a page
// number (signed 32-bit key) and its value (unsigned 16-bit): 6 bytes a leaf
// entry, 8 a node entry. Every listed page is listed once; a page whose value
// drops to 0 leaves the tree. The owner keeps RootPageNo in the table's
// metadata (-1: no tree) and hands it back to OpenIndex.
//
// The trees hold no page between calls. Errors of the page manager (a page of
// the wrong type, a damaged index page: 20028) pass through.

#include <cstdint>
#include <functional>
#include <memory>

#include "db/storage/VelqorimBTree.h"

class TVelqorimBTreePageIndex : public TObject {
 public:
  explicit TVelqorimBTreePageIndex(TVelqorimPageManager* PageManager);
  ~TVelqorimBTreePageIndex() override;
  TVelqorimBTreePageIndex(const TVelqorimBTreePageIndex&) = delete;
  TVelqorimBTreePageIndex& operator=(const TVelqorimBTreePageIndex&) = delete;

  // A new empty root leaf (dirty in SessionID) becomes the tree.
  void CreateIndex(int SessionID);
  // Frees every page of the tree, root included; RootPageNo becomes -1.
  void DropIndex(int SessionID);
  // Frees every page but the root, which becomes an empty leaf again.
  void EmptyIndex(int SessionID);
  // Attaches to a stored tree.
  void OpenIndex(int32_t aRootPageNo) { FRootPageNo = aRootPageNo; }
  int32_t RootPageNo() const { return FRootPageNo; }
  TVelqorimPageKeyRef& KeyRef() { return *FKeyRef; }
  TVelqorimPageManager* PageManager() const { return LPageManager; }

  // Whether a page whose stored value is Value can take Amount more.
  virtual bool HasRoomForItems(int Value, int Amount) const = 0;

 protected:
  // Looks only at the entries of the last leaf (backwards), then of the first
  // leaf (forwards): pages of high numbers are preferred, and a page with room
  // listed only in a middle leaf is not found. False for an empty tree.
  bool FindPageWithRoom(int SessionID, int Amount, int32_t& PageNo);
  // An unlisted page is listed with Amount; a listed one grows by Amount
  // (20106 when it has no room for it; 20118 without a root).
  void AddToPage(int SessionID, int Amount, int32_t PageNo);
  // The page's value becomes NewValue, or (NewValue < 0) drops by Amount;
  // at 0 the page leaves the tree. 20110 no root, 20111 page not listed,
  // 20112 lowering a value that is 0.
  void TakeFromPage(int SessionID, int Amount, int NewValue, int32_t PageNo);
  // Listed pages with their values in page order until Visit answers false.
  // Bounded by the file's page count, so a damaged chain cannot loop.
  void ForEachPage(int SessionID, const std::function<bool(int32_t PageNo, int Value)>& Visit);
  // The value of a listed page, -1 when it is not listed.
  int FindValue(int SessionID, int32_t PageNo);
  // The lowest (First) or highest listed page; false when none.
  bool GetEndPage(int SessionID, bool First, int32_t& PageNo);
  // The listed page after (Forward) or before CurrentPageNo; false at the end.
  // NotListedCode when CurrentPageNo is not listed.
  bool GetNeighbourPage(int SessionID, int32_t CurrentPageNo, bool Forward, int NotListedCode,
                        int32_t& PageNo);

 private:
  std::unique_ptr<TVelqorimBTreePage> Root(int SessionID, int ErrorCode, const char* Text);
  bool FindPosition(TVelqorimBTreePage& Root, int SessionID, int32_t PageNo, TVelqorimKeyPath& Path);
  int ValueAt(TVelqorimBTreePage& View, int SessionID, const TVelqorimKeyPath& Path, int32_t* PageNo);

  int32_t FRootPageNo = -1;
  std::unique_ptr<TVelqorimPageKeyRef> FKeyRef;
  TVelqorimPageManager* LPageManager;  // not owned
};

// Record pages with the number of records on each. Record numbers count
// from 0 in physical order (page number, then slot).
class TVelqorimBTreeRecordPageIndex : public TVelqorimBTreePageIndex {
 public:
  using TVelqorimBTreePageIndex::TVelqorimBTreePageIndex;

  // Records are added one at a time: room while the count is below the maximum.
  bool HasRoomForItems(int Value, int Amount) const override {
    (void)Amount;
    return Value < MaxRecordsOnPage;
  }

  bool FindPageForNewRecord(int SessionID, int32_t& PageNo) { return FindPageWithRoom(SessionID, 1, PageNo); }
  void AddRecord(int SessionID, int32_t PageNo, int AddCount) { AddToPage(SessionID, AddCount, PageNo); }
  // The page's count becomes NewItemCount (negative: one less); 0 unlists it.
  void DeleteRecord(int SessionID, int32_t PageNo, int NewItemCount) {
    TakeFromPage(SessionID, 1, NewItemCount, PageNo);
  }
  bool GetFirstRecordPage(int SessionID, int32_t& PageNo) { return GetEndPage(SessionID, true, PageNo); }
  bool GetLastRecordPage(int SessionID, int32_t& PageNo) { return GetEndPage(SessionID, false, PageNo); }
  // 20104 / 20105 when CurrentPageNo is not listed.
  bool GetNextRecordPage(int SessionID, int32_t CurrentPageNo, int32_t& NextPageNo) {
    return GetNeighbourPage(SessionID, CurrentPageNo, true, 20104, NextPageNo);
  }
  bool GetPriorRecordPage(int SessionID, int32_t CurrentPageNo, int32_t& PriorPageNo) {
    return GetNeighbourPage(SessionID, CurrentPageNo, false, 20105, PriorPageNo);
  }
  // The page holding record RecNo and the record's rank on it; 20113 past the last.
  void GetRecordByRecNo(int SessionID, int64_t RecNo, int32_t& PageNo, int32_t& RecNoOnPage);
  // The records of all lower pages plus RecNoOnPage; 20114 for an unlisted page.
  void GetRecNoByRecord(int SessionID, int32_t PageNo, int32_t RecNoOnPage, int64_t& RecNo);
  // 20292 when the counts do not add up to StoredRecordCount.
  void Validate(int SessionID, int64_t StoredRecordCount);

  int32_t MaxRecordsOnPage = 0;
};

// Shared BLOB pages with the bytes used on each.
class TVelqorimBTreeBlobPageIndex : public TVelqorimBTreePageIndex {
 public:
  using TVelqorimBTreePageIndex::TVelqorimBTreePageIndex;

  // Two bytes of the data area hold the entry count.
  bool HasRoomForItems(int Value, int Amount) const override;

  bool FindPageForNewBlob(int SessionID, int BlobSize, int32_t& PageNo) {
    return FindPageWithRoom(SessionID, BlobSize, PageNo);
  }
  void AddBlob(int SessionID, int BlobSize, int32_t PageNo) { AddToPage(SessionID, BlobSize, PageNo); }
  void DeleteBlob(int SessionID, int BlobSize, int32_t PageNo) {
    TakeFromPage(SessionID, BlobSize, -1, PageNo);
  }
  // Bytes used on the page, -1 when it is not listed.
  int GetBlobPageAllocatedSpace(int SessionID, int32_t PageNo) { return FindValue(SessionID, PageNo); }
};
