#pragma once
// BLOB values of disk tables. A value is stored as the bytes of its
// compressed BLOB stream (headers and blocks as the compressed stream writes
// them), unchanged; small values share BLOB pages (type 11), large ones take
// pages of their own.
//
// The disk record keeps a 6-byte location per BLOB field: page number (i32)
// and item number (u16). Page number 0 or -1: no stored value; a freed value
// leaves (-1, -1). Item 65535 marks a large value; any other item is the
// entry id of a small value on a shared page. The memory record's 10-byte
// slot adds a 4-byte handle of the field's cache (0: none) into this
// manager's table, never an address.
//
// With D data bytes a page, a value of S stored bytes is small when S + 24 < D.
//
// Shared page, data area:
//   0   2   entry count (u16)
//   2   ... entries packed in the order they were added, each:
//           0 id (u16) | 2 block count (i32) | 6 S (i64) | 14 uncompressed size (i64) | 22 S bytes
//
// Large value, first page data area:
//   0 unused (0) | 2 block count (i32) | 6 S (i64) | 14 uncompressed size (i64) |
//   22 first page of the page list (i32) | 26 offset of the list there (u16) |
//   28 entries in the list (i32) | 32 the first D - 32 stored bytes
// Further data pages hold D bytes each from offset 0 (the last one the rest).
// The page list (i32 page numbers: every data page in data order, the first
// one included) starts right after the data on the last data page when it
// has room, else at offset 0 of a page of its own, and goes on at offset 0 of
// pages chained through the page header's NextPageNo.
//
// Entry id 255 is never handed out: a location (page, 255) cannot be told
// from a large value by its item number alone. Older files may hold it; it is
// read by looking at the page (see ReadStoredBlob).
//
// Every size, count and offset read from a page is checked against the page
// and the file before it is used: a damaged page is an engine error, never a
// large allocation or a read beyond a buffer.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimDiskIndex.h"
#include "db/storage/VelqorimDiskPageManager.h"
#include "db/storage/VelqorimHandleTable.h"
#include "db/support/DAZCompressedBLOB.h"

// A field's cached value: the stored bytes with their block count and size.
struct TVelqorimDiskBlobCache {
  int32_t NumBlocks = 0;
  int64_t UncompressedSize = 0;
  bool Modified = false;
  std::vector<uint8_t> BlobData;  // the stored bytes (S of them)
};

constexpr uint16_t VelqorimLargeBlobItemNo = 65535;
constexpr uint16_t VelqorimAmbiguousBlobItemNo = 255;

// A view of one shared BLOB page for the length of an operation (the page is borrowed).
class TVelqorimSmallBlobPage {
 public:
  static constexpr int EntryHeadSize = 22;

  explicit TVelqorimSmallBlobPage(TVelqorimPage* Page) : LPage(Page) {}

  int BlobCount() const;
  // Appends an entry with a new id; the caller guarantees room. PageItemID
  // names it. 20172 when no id is left.
  void AddBlob(const TVelqorimDiskBlobCache& BlobCache, TABSPageItemID& PageItemID);
  // Removes the entry (20171 when the page has none with that id); the
  // following entries move down. BlobSize: the bytes the entry took.
  void DeleteBlob(TABSPageItemID PageItemID, int& BlobSize);
  // Fills the cache from the entry; false (cache untouched) when there is none.
  bool ReadBlob(TVelqorimDiskBlobCache& BlobCache, TABSPageItemID PageItemID) const;
  // From the entry count on, the first id no entry uses; never 255 or 65535,
  // going on at 0 after 65534. 20172 when none is free.
  int GetNewBlobID() const;
  // The offset after the last entry.
  int EntriesEnd() const;

 private:
  // The offset of the entry with that id, -1 when none; walks the entries
  // with their sizes checked (20294 for a damaged page).
  int FindEntry(int ID) const;
  template <class Visit>
  void WalkEntries(Visit&& Fn) const;
  int DataSize() const { return LPage->PageDataSize(); }

  TVelqorimPage* LPage;
};

// The BLOB values of one disk table. The table holds its lock around every call.
class TVelqorimDiskBlobManager {
 public:
  // All three are borrowed; the record manager is walked by Empty.
  TVelqorimDiskBlobManager(TVelqorimDiskPageManager* PageManager, TVelqorimBaseFieldManager* FieldManager,
                           TVelqorimBaseRecordManager* RecordManager);
  // Frees any caches left (callers check CheckCachesReleased first).
  ~TVelqorimDiskBlobManager();
  TVelqorimDiskBlobManager(const TVelqorimDiskBlobManager&) = delete;
  TVelqorimDiskBlobManager& operator=(const TVelqorimDiskBlobManager&) = delete;

  // 20150 while any cache this manager made is alive.
  void CheckCachesReleased() const;
  int CacheCount() const { return FBlobCacheList.LiveCount(); }

  // The BLOB page tree's root page number, 4 bytes.
  void LoadMetadata(TStream& Stream);
  void SaveMetadata(TStream& Stream) const;
  // The BLOB page tree of a new table, made in the engine's own session (-2).
  void CreateBlobPageIndex();
  // Frees every stored value of every record, then empties the BLOB page tree.
  void Empty(int SessionID);
  // Empty, then drops the BLOB page tree.
  void Delete(int SessionID);

  // Gives a field with a stored value and no cache a cache holding the value.
  void ReadBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo);
  // When the field's cache is modified: frees the old stored value, stores
  // the cache (unless empty), writes the new location into the record buffer
  // and frees the cache.
  void WriteBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo);
  void WriteBlobs(int SessionID, uint8_t* RecordBuffer);
  // Frees the field's stored value (the buffer keeps its location); a cache
  // loses its modified mark.
  void DeleteBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo);
  void DeleteBlobs(int SessionID, uint8_t* RecordBuffer);

  // The stored bytes into Stream, with the descriptor's block count and
  // uncompressed size (0 and nothing written for NULL). 20162 when the value
  // cannot be read.
  void CopyBlobFromRecordBufferToStream(int SessionID, uint8_t* RecordBuffer, int FieldNo,
                                        TABSBLOBDescriptor& BLOBDescriptor, TStream& Stream);
  // A modified dataset BLOB stream becomes the field's new (modified) cache;
  // the field is NULL when the stream is empty.
  void CopyBlobFromStreamToRecordBuffer(uint8_t* RecordBuffer, int FieldNo, TABSStream& Stream);
  // Frees the field's cache; a modified one only with ForceClear.
  void ClearBlobInRecordBuffer(uint8_t* RecordBuffer, int FieldNo, bool ForceClear);
  // The stored bytes without decompressing: pBlobData points into the
  // field's cache and lives as long as it. 20291 when the value cannot be read.
  void GetDirectBlobInfoFromRecordBuffer(int SessionID, uint8_t* RecordBuffer, int FieldNo,
                                         TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                         uint8_t*& pBlobData);
  // A new modified cache with a copy of CompressedSize bytes from pBlobData.
  void SetDirectBlobInfoFromRecordBuffer(int SessionID, uint8_t* RecordBuffer, int FieldNo,
                                         const TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                         const uint8_t* pBlobData);

  // The location in a record buffer's slot, and the field's cache (nullptr
  // when the slot names none of this manager's live caches).
  TABSPageItemID Location(const uint8_t* RecordBuffer, int FieldNo) const;
  TVelqorimDiskBlobCache* Cache(const uint8_t* RecordBuffer, int FieldNo);
  TVelqorimBTreeBlobPageIndex& BlobPageIndex() { return *FBlobPageIndex; }
  bool IsSmallBlob(int64_t StoredSize) const { return StoredSize + 24 < LPageManager->PageDataSize(); }

 private:
  bool HasStoredValue(TABSPageItemID Location) const { return Location.PageNo != 0 && Location.PageNo != -1; }
  void SetLocation(uint8_t* RecordBuffer, int FieldNo, TABSPageItemID Location) const;
  void SetCacheHandle(uint8_t* RecordBuffer, int FieldNo, uint32_t Handle) const;
  TVelqorimDiskBlobCache& CreateBlobCache(uint8_t* RecordBuffer, int FieldNo);
  void FreeBlobCache(uint8_t* RecordBuffer, int FieldNo, bool ForceClear);
  bool IsNull(const uint8_t* RecordBuffer, int FieldNo) const;
  bool IsBlobField(int FieldNo) const;

  TABSPageItemID WriteStoredBlob(int SessionID, const TVelqorimDiskBlobCache& Cache);
  TABSPageItemID WriteSmallBlob(int SessionID, const TVelqorimDiskBlobCache& Cache);
  TABSPageItemID WriteLargeBlob(int SessionID, const TVelqorimDiskBlobCache& Cache);
  void ReadStoredBlob(int SessionID, TABSPageItemID Location, TVelqorimDiskBlobCache& Cache);
  void ReadSmallBlob(int SessionID, TABSPageItemID Location, TVelqorimDiskBlobCache& Cache);
  void ReadLargeBlob(int SessionID, int32_t FirstPageNo, TVelqorimDiskBlobCache& Cache);
  void DeleteStoredBlob(int SessionID, TABSPageItemID& Location);
  void DeleteSmallBlob(int SessionID, TABSPageItemID Location);
  void DeleteLargeBlob(int SessionID, int32_t FirstPageNo);
  // Item 255: whether the first page's head describes a large value.
  bool LooksLikeLargeBlob(int SessionID, int32_t PageNo);
  // The head of a large value with its page list (data pages in order) and
  // the pages holding the list; 20294 when the head or list is damaged.
  struct TLargeBlobHead;
  TLargeBlobHead ReadLargeHead(int SessionID, int32_t FirstPageNo);
  void ReadPageList(int SessionID, TLargeBlobHead& Head);

  TVelqorimDiskPageManager* LPageManager;
  TVelqorimBaseFieldManager* LFieldManager;
  TVelqorimBaseRecordManager* LRecordManager;
  // Caches by 32-bit handle: 20 bits of index, 12 of generation.
  TVelqorimHandleTable<TVelqorimDiskBlobCache, 20, 12> FBlobCacheList;
  std::unique_ptr<TVelqorimBTreeBlobPageIndex> FBlobPageIndex;
};
