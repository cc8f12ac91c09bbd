#pragma once
// B-trees: fixed-size keys made from records (or page numbers), the search
// path from the root to a leaf entry, and the page algorithms every tree of
// the engine shares (insert with splits, delete with merges, searches).
//
// Leaf entries are ordered by key, then by reference, so duplicate keys of a
// non-unique index stay apart. Node entry n refers to child n; its key
// (n >= 1) is a separator: keys under children n and later are not below it,
// keys under earlier children not above it. Pages of one level are chained
// left and right across parents. The root keeps its page number for life.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimPage.h"

constexpr uint16_t VelqorimTableIndexPageType = 12;

#pragma pack(push, 1)
struct TVelqorimKeyPart {
  int32_t OffsetInShortKeyBuffer = 0;
  int32_t OffsetInFullKeyBuffer = 0;
  int32_t OffsetInRecordBuffer = 0;
  int32_t FieldNo = 0;
  int32_t ShortSize = 0;
  int32_t FullSize = 0;
  int32_t AddedSize = 0;  // 2 when the short key cuts the value
  TABSBaseFieldType DataType = bftUnknown;
  bool Descending = false;
  bool CaseInsensitive = false;
};
#pragma pack(pop)

// The layout of one tree's keys and every comparison of them.
class TVelqorimBTreeKeyRef : public TObject {
 public:
  int PartCount() const { return static_cast<int>(Parts.size()); }
  virtual void SetPartCount(int Value) { Parts.resize(Value); }
  // -1, 0, 1 in index order. Key1 is not changed.
  virtual int CompareShortKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2, bool MayUseFullKeys,
                               int SessionID, const uint8_t* Reference1, const uint8_t* Reference2) = 0;
  virtual int CompareFullKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2) = 0;
  std::vector<uint8_t> AllocShortKeyBuffer() const { return std::vector<uint8_t>(ShortKeySize); }
  std::vector<uint8_t> AllocFullKeyBuffer() const { return std::vector<uint8_t>(FullKeySize); }
  // Record ids (size 6) by page then item; anything else byte by byte.
  static int CompareReferences(const uint8_t* Reference1, const uint8_t* Reference2, int Size);

  int32_t ShortKeySize = 0;
  int32_t FullKeySize = 0;
  uint16_t ReferenceSize = 0;
  bool KeyIsReference = false;
  int32_t CompareFieldCount = 0;  // leading parts the comparisons look at
  std::vector<TVelqorimKeyPart> Parts;
};

// Keys made of index columns; each leaf entry refers to a record id.
class TVelqorimRecordKeyRef : public TVelqorimBTreeKeyRef {
 public:
  void SetPartCount(int Value) override;
  // 20043 unknown column, 20295 BLOB column, 20044 / 20045 no field definitions.
  void Assign(const TVelqorimIndexDef& IndexDef, TVelqorimTableData* aTableData);
  void MakeShortKeyFromRecordBuffer(const uint8_t* RecordBuffer, uint8_t* KeyBuffer);
  void MakeFullKeyFromRecordBuffer(const uint8_t* RecordBuffer, uint8_t* KeyBuffer) const;
  // 20170 when the record cannot be read.
  void MakeFullKeyFromReference(const uint8_t* Reference, uint8_t* KeyBuffer, int SessionID) const;
  int CompareShortKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2, bool MayUseFullKeys, int SessionID,
                       const uint8_t* Reference1, const uint8_t* Reference2) override;
  int CompareFullKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2) override;
  // A prefix search compares string parts only as far as the record's values reach.
  void SetPartialCompare(const uint8_t* RecordBuffer, bool PartialCompare);

  const uint8_t* LRecordBuffer = nullptr;  // the record of the last short key made (borrowed)
  TVelqorimTableData* LTableData = nullptr;
  std::vector<int32_t> FCompareLengths;  // -1: whole value

 private:
  void MakeKey(const uint8_t* RecordBuffer, uint8_t* KeyBuffer, bool Full) const;
  int ComparePart(int Index, const uint8_t* Value1, const uint8_t* Value2, bool Null1, bool Null2,
                  int Limit) const;
};

// Keys of one signed 32-bit page number; each leaf entry carries a 16-bit count.
class TVelqorimPageKeyRef : public TVelqorimBTreeKeyRef {
 public:
  TVelqorimPageKeyRef();
  int CompareShortKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2, bool, int, const uint8_t*,
                       const uint8_t*) override {
    return CompareFullKeys(KeyBuffer1, KeyBuffer2);
  }
  int CompareFullKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2) override;
};

enum TVelqorimKeyPathPosition : uint8_t { kppUnknown, kppOnKey, kppBeforeKey, kppAfterKey, kppBOF, kppEOF };

struct TVelqorimKeyPathItem {
  int32_t PageNo = -1;
  int32_t EntryNo = 0;
  int32_t EntryCount = 0;
};

// A position in a tree: (page, entry, entries of the page) from the root down.
class TVelqorimKeyPath : public TObject {
 public:
  static constexpr int MaxLevels = 32;

  void Clear() { Count = ItemNo = 0; }
  void Assign(const TVelqorimKeyPath& Source);
  // 20281 past the deepest supported level.
  void AddItem(int32_t aPageNo, int32_t aEntryNo, int32_t aEntryCount);
  void DeleteLastItem() { --Count, --ItemNo; }
  void IncLevel() { ++ItemNo; }
  void DecLevel() { --ItemNo; }
  bool PageExists(int32_t aPageNo) const;
  // Order of two positions of one tree; 20051 / 20052 when they cannot be compared.
  int Compare(const TVelqorimKeyPath& aKeyPath) const;
  double GetApproxRecNoInPercents() const;
  int64_t GetBitmapRecNoByIndexPosition(int MaxEntriesPerPage) const;
  void FillItemsByBitmapRecNo(int32_t RecordNo, int MaxEntriesPerPage);
  int32_t CurrentPageNo() const { return Items[ItemNo].PageNo; }
  void SetCurrentPageNo(int32_t Value) { Items[ItemNo].PageNo = Value; }

  std::array<TVelqorimKeyPathItem, MaxLevels> Items{};
  int32_t Count = 0;
  int32_t ItemNo = 0;
  TVelqorimKeyPathPosition PositionType = kppUnknown;
  int32_t IndexState = 0;
};

// A view of one index page for the length of an operation; puts the page
// back to its manager when destroyed. Leaf and node pages share it: each
// operation branches on IsLeaf.
class TVelqorimBTreePage : public TVelqorimPageController {
 public:
  static constexpr int HeaderSize = 18;
  static constexpr int SuffixPtrSize = 6;

  TVelqorimBTreePage(TVelqorimPageManager* PageManager, TVelqorimBTreeKeyRef* KeyRef)
      : LPageManager(PageManager), LKeyRef(KeyRef) {}
  ~TVelqorimBTreePage() override;
  TVelqorimBTreePage(const TVelqorimBTreePage&) = delete;
  TVelqorimBTreePage& operator=(const TVelqorimBTreePage&) = delete;

  std::unique_ptr<TVelqorimBTreePage> AddIndexPage(int SessionID) const;
  std::unique_ptr<TVelqorimBTreePage> GetIndexPage(int SessionID, int32_t aPageNo) const;
  void RemoveIndexPage(int SessionID, int32_t aPageNo) const { LPageManager->RemovePage(SessionID, aPageNo); }
  // One step of a position along its leaf level; false off either end.
  // EmptyPathCode for an empty path, NoNeighbourCode when a link is missing.
  bool StepPath(int SessionID, TVelqorimKeyPath& Path, bool Forward, int EmptyPathCode, int NoNeighbourCode) const;

  void Init();
  void InitAsRoot();

  bool IsRoot() const { return PageData()[0] != 0; }
  void SetIsRoot(bool V) { PageData()[0] = V; }
  bool IsLeaf() const { return PageData()[1] != 0; }
  void SetIsLeaf(bool V) { PageData()[1] = V; }
  int32_t LeftPageNo() const { return Get32(2); }
  void SetLeftPageNo(int32_t V) { Set32(2, V); }
  int32_t RightPageNo() const { return Get32(6); }
  void SetRightPageNo(int32_t V) { Set32(6, V); }
  bool HasSuffixes() const { return PageData()[11] != 0; }
  int KeyPrefixSize() const { return Get16(12); }
  int EntryCount() const { return Get16(14); }
  void SetEntryCount(int V) { Set16(14, static_cast<uint16_t>(V)); }
  int PagePrefixSize() const { return Get16(16); }
  int ReferenceSize() const { return IsLeaf() ? LKeyRef->ReferenceSize : 4; }
  int EntrySize() const { return KeyPrefixSize() + ReferenceSize() + (HasSuffixes() ? SuffixPtrSize : 0); }
  int EntriesOffset() const { return PagePrefixSize() + HeaderSize; }
  TVelqorimBTreeKeyRef* KeyRef() const { return LKeyRef; }
  uint8_t* GetPKey(int Position) const { return PageData() + EntriesOffset() + Position * EntrySize(); }
  uint8_t* GetPReference(int Position) const { return GetPKey(Position) + KeyPrefixSize(); }
  int32_t ChildPageNo(int Position) const;

  void CopyFrom(const TVelqorimBTreePage& Source, int StartNo, int Count);
  void AppendFrom(const TVelqorimBTreePage& Source, int StartNo, int Count);
  void InsertFrom(const TVelqorimBTreePage& Source, int StartNo, int Count);
  void UpdateKey(int Position, const uint8_t* Key);
  void UpdateReference(int Position, const uint8_t* Reference);

  // Tree operations from this page down. Positions and paths gain one item
  // (page, entry, entries) per level visited.
  void InsertLeafEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference, TVelqorimKeyPath& KeyPath);
  bool DeleteLeafEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference, TVelqorimKeyPath& KeyPath);
  // Depth counts the levels above; a tree deeper than a path can hold is damaged (20028).
  void FreeAllPages(int SessionID, bool KeepRootPage, int Depth = 0);
  // Raises 20028..20034 / 20194 where order or links are broken.
  void CheckIntegrity(int SessionID, TVelqorimKeyPath& KeyPath);
  bool FindEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference, TVelqorimKeyPath& Position);
  bool GetFirstPosition(int SessionID, TVelqorimKeyPath& Position);
  bool GetLastPosition(int SessionID, TVelqorimKeyPath& Position);
  bool FindByCondition(int SessionID, bool First, const uint8_t* Key, TABSSearchCondition Operator,
                       TVelqorimKeyPath& Position);
  void CheckDescent(int Depth) const;
  void GetFirstEntry(int SessionID, uint8_t* Key, uint8_t* Reference, int Depth = 0);
  void GetLastEntry(int SessionID, uint8_t* Key, uint8_t* Reference, int Depth = 0);
  void InsertNodeEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference, TVelqorimKeyPath& KeyPath);
  void DeleteNodeEntry(int SessionID, TVelqorimKeyPath& KeyPath, bool MergeWithLeft, const uint8_t* MovedFirstKey);

  TVelqorimPageManager* LPageManager;
  TVelqorimBTreeKeyRef* LKeyRef;

 private:
  int32_t Get32(int Offset) const;
  void Set32(int Offset, int32_t Value);
  uint16_t Get16(int Offset) const;
  void Set16(int Offset, uint16_t Value);
  bool HasRoom() const;
  bool Overflow() const;
  bool Underflow() const;
  bool CanMergeInto(const TVelqorimBTreePage& P) const;
  void InsertEntry(int Position, const uint8_t* Key, const uint8_t* Reference);
  void DeleteEntry(int Position);
  int FindEntryPosition(bool MayUseFullKeys, int SessionID, const uint8_t* Key, const uint8_t* Reference,
                        int StartNo, TVelqorimKeyPathPosition& Kind, int Mode);
  int CompareEntryReference(bool MayUseFullKeys, int SessionID, int RefPosition, const uint8_t* Reference,
                            const uint8_t* Key);
  int FindEntryByReference(int SessionID, const uint8_t* Key, const uint8_t* Reference);
  bool LeafFindByCondition(bool First, const uint8_t* Key, TABSSearchCondition Operator, int SessionID, int& Entry);
  void GetChildRange(int SessionID, const uint8_t* Key, TABSSearchCondition Operator, int& Q, int& P);
  void Split(int SessionID, TVelqorimKeyPath& KeyPath);
  void SplitRoot(int SessionID);
  void SplitPage(int SessionID, TVelqorimKeyPath& KeyPath);
  bool TryMerge(int SessionID, TVelqorimKeyPath& KeyPath);
  void CollapseRoot(int SessionID);
};

// One index of a table as a B-tree whose leaf entries pair the index key
// with the record id. Holds no page between calls; the root page number
// lives in the definition (-1: no tree).
class TVelqorimBTreeRecordIndex : public TVelqorimIndex {
 public:
  explicit TVelqorimBTreeRecordIndex(TVelqorimBaseIndexManager* aIndexManager);
  ~TVelqorimBTreeRecordIndex() override;

  void CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& aIndexDef) override;
  void DropIndex(int SessionID) override;
  void EmptyIndex(int SessionID) override;
  void OpenIndex(const TVelqorimIndexDef& aIndexDef) override;
  void RebuildTemporaryIndex(TVelqorimCursor* Cursor) override;
  void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo, TABSIndexPositionCache* IndexPositionCache,
                       int TableState) override;
  void GetClosestRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                              TABSIndexPositionCache* IndexPositionCache, int TableState) override;
  TObject* CreateIndexPosition() override { return new TVelqorimKeyPath; }
  void FreeIndexPosition(TObject*& IndexPosition) override;
  bool GetIndexPosition(int SessionID, TABSPageItemID RecordID, const uint8_t* RecordBuffer,
                        TObject* IndexPosition) override;
  int CompareRecordPositionsInIndex(TObject* RecordPosition1, TObject* RecordPosition2) override;
  int64_t GetRecNoByRecordID(int SessionID, TABSPageItemID RecordID, const uint8_t* RecordBuffer) override;
  TABSPageItemID GetRecordIDByRecNo(int SessionID, int64_t RecNo) override;
  void ApplyDistinctToRecordBitmap(int SessionID, TVelqorimRecordBitmap& Bitmap, int DistinctFieldCount) override;
  void* CreateSearchInfo() override;
  void FreeSearchInfo(void* SearchInfo) override;
  std::shared_ptr<void> CreateSharedSearchInfo() override;
  bool FindRecord(int SessionID, bool Restart, bool GoForward, TABSScanSearchCondition* StartScanCondition,
                  TABSScanSearchCondition* EndScanCondition, uint8_t* RecordBuffer, TABSPageItemID& RecordID,
                  void* SearchInfo) override;
  void CheckFoundRecord(int SessionID, void* SearchInfo, const uint8_t* RecordBuffer) override;
  int CompareRecordBuffersByIndex(const uint8_t* Buffer1, const uint8_t* Buffer2, int IndexFieldCount) override;
  int64_t GetApproxRangeRecordCount(int SessionID, int64_t TableRecordCount, TABSScanSearchCondition* RangeCondition1,
                                    TABSScanSearchCondition* RangeCondition2) override;
  bool CanInsertRecord(int SessionID, const uint8_t* RecordBuffer) override;
  bool CanUpdateRecord(int SessionID, const uint8_t* OldRecordBuffer, const uint8_t* NewRecordBuffer) override;
  void InsertRecord(TVelqorimCursor& Cursor) override;
  void DeleteRecord(TVelqorimCursor& Cursor) override;
  void UpdateRecord(TVelqorimCursor& Cursor, bool BeforeNewRecordIsStored) override;
  int GetMaxEntriesPerPage() override;
  void GetRecordIDByIndexPosition(int SessionID, TObject* IndexPos, TABSPageItemID& RecordID) override;

  TVelqorimRecordKeyRef& KeyRef() { return *FKeyRef; }
  // The structure check of the tree (20028..20034, 20194); no operation calls it.
  void CheckIntegrity(int SessionID);

 private:
  std::unique_ptr<TVelqorimBTreePage> Root(int SessionID, int ErrorCode);
  void LayOutKey();
  bool NextPosition(int SessionID, TVelqorimKeyPath& Path, bool Forward);
  TABSPageItemID ReferenceAt(int SessionID, const TVelqorimKeyPath& Path);
  // 20028 unless the record carries the key of the leaf entry at Path.
  void CheckEntryKey(int SessionID, const TVelqorimKeyPath& Path, const uint8_t* RecordBuffer);
  void Deliver(int SessionID, TABSNavigationInfo& NavigationInfo, TABSIndexPositionCache* IndexPositionCache,
               int TableState, const TVelqorimKeyPath& Path);
  void RunOff(TABSNavigationInfo& NavigationInfo);
  bool FindKeyCondition(int SessionID, bool First, const TABSScanSearchCondition& Condition, bool PartialCompare,
                        TVelqorimKeyPath& Path);
  // Whether the leaf entry at Path has the key Condition searches for.
  bool EntryHasKey(int SessionID, const TABSScanSearchCondition& Condition, const TVelqorimKeyPath& Path);
  void InsertEntry(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID);
  bool DeleteEntry(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID);
  static int CursorSession(const TVelqorimCursor* Cursor);

  std::unique_ptr<TVelqorimRecordKeyRef> FKeyRef;
};
