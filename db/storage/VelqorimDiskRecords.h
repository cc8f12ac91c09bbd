#pragma once
// The records of a disk table: fixed-size slots on record pages (type 10)
// of the database file, found through the table's record-page tree.
//
// Record page data area (after the 40-byte page header, whose ObjectID is
// the table id), with R the disk record size and M the slots a page holds:
//   0        B = ceil(M / 8)  slot bitmap, bit s (least significant first) set
//                             when slot s holds a record
//   B        M * R            the slots; a freed slot keeps its bytes
// M = floor((D - 1) / (R + 1/8)) for D data bytes a page: one bitmap bit a
// slot, one byte kept for the rounding of the bitmap.
//
// A record id is (page number, slot). Physical order is page order, then
// slot order. Slot numbers and counts read from a page are checked against
// the page, so a damaged page gives an engine error, never a read beyond it.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimDiskIndex.h"
#include "db/storage/VelqorimDiskPageManager.h"

// A view of one record page for the length of an operation (the page is borrowed).
class TVelqorimSmallRecordPage {
 public:
  // 20140 when M slots of R bytes and their bitmap do not fit the page.
  TVelqorimSmallRecordPage(TVelqorimPage* Page, int RecordBufferSize, int MaxRecordsOnPage);

  // Into the lowest free slot (20141 none free); the page becomes dirty.
  void AddRecord(const uint8_t* RecordBuffer, TABSPageItemID& RecordID);
  // False when the slot holds no record.
  bool UpdateRecord(const uint8_t* RecordBuffer, TABSPageItemID RecordID);
  bool DeleteRecord(TABSPageItemID RecordID);
  bool GetRecordBuffer(TABSPageItemID RecordID, uint8_t* RecordBuffer) const;
  // Lowest / highest used slot: 20143 / 20144 on a page without records.
  void GetFirstRecordID(TABSPageItemID& RecordID) const;
  void GetLastRecordID(TABSPageItemID& RecordID) const;
  // The next used slot above (below) RecordID's slot; false when none.
  bool GetNextRecordID(TABSPageItemID& RecordID) const;
  bool GetPriorRecordID(TABSPageItemID& RecordID) const;
  // The slot of the RecNoOnPage-th used slot (from 0); 20146 beyond the records.
  void GetRecordID(int RecNoOnPage, TABSPageItemID& RecordID) const;
  // The number of used slots below RecordID's slot.
  void GetRecNoOnPage(TABSPageItemID RecordID, int& RecNoOnPage) const;
  int RecordCount() const;

 private:
  bool SlotUsed(int Slot) const;
  void SetSlotUsed(int Slot, bool Used);
  uint8_t* SlotData(int Slot) const;
  // Scans from Slot in steps of Step for a used (or free) slot; -1 when none.
  int FindSlot(int Slot, int Step, bool Used) const;

  TVelqorimPage* LPage;
  int FRecordBufferSize;
  int FMaxRecordsOnPage;
  int FRecordDataOffset;
};

// The disk engine's record manager. One per open table: Init, then either
// CreateRecordPageIndex (a new table) or LoadMetadata and LoadMostUpdated.
// The caller (the disk table) holds the table lock around every call and
// saves SaveMostUpdated after each change; changes become durable with the
// session's page changes.
class TVelqorimDiskRecordManager : public TVelqorimBaseRecordManager {
 public:
  // PageManager and FieldManager are borrowed; TableID marks the table's pages.
  TVelqorimDiskRecordManager(TVelqorimDiskPageManager* PageManager, TVelqorimBaseFieldManager* FieldManager,
                             int32_t aTableID);
  ~TVelqorimDiskRecordManager() override;
  TVelqorimDiskRecordManager(const TVelqorimDiskRecordManager&) = delete;
  TVelqorimDiskRecordManager& operator=(const TVelqorimDiskRecordManager&) = delete;

  // Memory and disk record sizes; 20174 when not one disk record fits a page.
  void Init(int aRecordBufferSize, int aDiskRecordBufferSize, int FieldCount);
  // TableState (i32) and RecordCount (i32) at Offset, which advances by 8;
  // 20293 when the block does not lie inside the BufSize bytes.
  void LoadMostUpdated(const uint8_t* Buf, int& Offset, int BufSize);
  void SaveMostUpdated(uint8_t* Buf, int& Offset, int BufSize) const;
  static constexpr int MostUpdatedSize = 8;
  // The record-page tree's root page number, 4 bytes.
  void LoadMetadata(TStream& Stream);
  void SaveMetadata(TStream& Stream) const;
  // The record-page tree of a new table, made in the engine's own session (-2).
  void CreateRecordPageIndex();

  void Empty(int SessionID) override;
  // False (nothing raised) when the record cannot be stored.
  bool AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) override;
  bool UpdateRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) override;
  // A page left without records goes back to the page manager.
  bool DeleteRecord(int SessionID, TABSPageItemID& RecordID) override;
  void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo) override;
  int CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) override;
  int64_t GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) override;

  // Empty, then the record-page tree is dropped.
  void Delete(int SessionID);
  // Record numbers from 1 in physical order; 20113 beyond the last.
  void SetRecNo(int SessionID, int64_t RecNo, TABSPageItemID& RecordID);
  void GetRecNo(int SessionID, TABSPageItemID RecordID, int64_t& RecNo);
  // Lists anew every page of the file that holds this table's records and
  // recounts them (the old tree is not walked).
  void RebuildRecordPageIndex(int SessionID);
  // 20292 when the tree's counts do not add up to RecordCount.
  void ValidateRecordPageIndex(int SessionID) { FRecordPageIndex->Validate(SessionID, RecordCount); }

  // Whether a page read for this table can be trusted as one of its record pages.
  bool IsValidRecordPage(const TVelqorimPage& Page) const;
  TVelqorimBTreeRecordPageIndex& RecordPageIndex() { return *FRecordPageIndex; }
  int32_t MaxRecordsOnPage() const { return FMaxRecordsOnPage; }
  int32_t DiskRecordBufferSize() const { return FDiskRecordBufferSize; }
  std::vector<int64_t>& LastAutoIncValues() { return FLastAutoIncValues; }

  int32_t TableID;

 private:
  TVelqorimSmallRecordPage View(TVelqorimPage* Page) const {
    return TVelqorimSmallRecordPage(Page, FDiskRecordBufferSize, FMaxRecordsOnPage);
  }
  // Copies the record in RecordID's slot out in memory form (grrOK); a free
  // slot raises ErrorCode, or with 0 leaves the result as it was.
  void Deliver(const TVelqorimSmallRecordPage& Page, TABSNavigationInfo& NavigationInfo,
               TABSPageItemID RecordID, int ErrorCode);
  // The first (or last) record of the table.
  void ReadEndRecord(int SessionID, TABSNavigationInfo& NavigationInfo, bool First);
  void ReadNeighbourRecord(int SessionID, TABSNavigationInfo& NavigationInfo, bool Forward);
  void ReadCurrentRecord(int SessionID, TABSNavigationInfo& NavigationInfo);

  std::unique_ptr<TVelqorimBTreeRecordPageIndex> FRecordPageIndex;
  TVelqorimDiskPageManager* LPageManager;
  TVelqorimBaseFieldManager* LFieldManager;
  int32_t FMaxRecordsOnPage = 0;
  std::vector<int64_t> FLastAutoIncValues;
  int32_t FDiskRecordBufferSize = 0;
  std::vector<uint8_t> FTempDiskRecordBuffer;  // staging for every read and write
};
