#pragma once
// The free-space map of a database file: which page a new page gets, taking
// freed pages back, growing and shrinking the file. Its bookkeeping lives in
// the file itself, read and written directly (never cached, never in a
// transaction) under the file-header lock, so every process sees one map.
//
// With D = PageSize - 40 data bytes per page and E pages per extent:
//   PFS page k is page k * D * 8: one bit per page of the D * 8 pages from
//     there (bit 0 = lowest; 1 = in use). Page type 3.
//   EAM page k is page k * D * 4 * E, or the page after it when that is a PFS
//     page: two bits per extent of the D * 4 extents from k * D * 4 (the first
//     extent in the lowest bits of a byte): 3 every page in use, 1 counted with
//     room, 0 never counted; the upper bit alone means full. Page type 2.
// Both open with the ordinary 40-byte page header; a new one has data byte 0 = 1.
// These system pages are never handed out and never enciphered.

#include <cstdint>
#include <vector>

#include "db/storage/VelqorimDiskEngine.h"

// What the disk page manager gives the map.
class TVelqorimFreeSpaceHost {
 public:
  virtual ~TVelqorimFreeSpaceHost() = default;
  // One try of the file-header lock (nested holds are counted by the host).
  virtual bool LockDBHeader() = 0;
  virtual void UnlockDBHeader() = 0;
  // The file header as the file holds it now, and back.
  virtual void ReadDBHeader(TVelqorimDBHeader& Header) = 0;
  virtual void WriteDBHeader(const TVelqorimDBHeader& Header) = 0;
  // Grows or shrinks the file by PageCount pages, header TotalPageCount with it.
  virtual void ExtendFile(int32_t PageCount) = 0;
  virtual void TruncateFile(int32_t PageCount) = 0;
  // A whole page, header included, straight from and to the file.
  virtual void ReadPageDirect(int32_t PageNo, uint8_t* Buffer) = 0;
  virtual void WritePageDirect(int32_t PageNo, const uint8_t* Buffer) = 0;
  virtual int PageSize() const = 0;
};

class TVelqorimDatabaseFreeSpaceManager {
 public:
  // Geometry from the header the host reads now.
  explicit TVelqorimDatabaseFreeSpaceManager(TVelqorimFreeSpaceHost& aHost);

  // A page taken for use (never a system page); 20231 when the header lock
  // cannot be had.
  int32_t GetPage();
  // Releases a page; 30427 when it is free, 20232 without the header lock.
  void FreePage(int32_t PageNo);
  bool GetPageUsageFromPFS(int32_t PageNo);
  // 30434 for a PFS or EAM page.
  void CheckPageNoForSystemPages(int32_t PageNo) const;
  bool IsSystemPage(int32_t PageNo) const;
  int32_t PFSPageNo(int Index) const { return Index * FPFSPage_PagesAddressed; }
  int32_t EAMPageNo(int Index) const;
  int32_t AddPagesStep() const;
  int32_t DelPagesStep() const { return AddPagesStep(); }

  bool SuppressDBHeaderErrors = false;
  // Tries of the header lock and the sleep between them.
  int LockTryCount = 4500;
  int LockDelayMS = 20;

 private:
  class TMapPage;
  template <class Work>
  auto InHeaderBracket(int LockErrorCode, Work&& Body);
  bool FindFreePage(int32_t& PageNo);
  bool FindInEAMPage(int Index, int32_t& PageNo);
  int32_t AddPages();
  void SetPFSUsage(int32_t PageNo, bool Used);
  void SetEAMUsage(int32_t PageNo);
  void SetUsage(int32_t PageNo, bool Used) {
    SetPFSUsage(PageNo, Used);
    SetEAMUsage(PageNo);
  }
  int32_t FindLastUsedPage();
  int LastIndex(int32_t PagesAddressed) const {
    return FTotalPageCount <= 1 ? 0 : (FTotalPageCount - 1) / PagesAddressed;
  }

  TVelqorimFreeSpaceHost& FHost;
  int32_t FDataSize;
  int32_t FPageCountInExtent;
  int32_t FPFSPage_PagesAddressed;
  int32_t FEAMPage_ExtentsAddressed;
  int32_t FEAMPage_PagesAddressed;
  int32_t FLastUsedPageNo = -1;
  int32_t FTotalPageCount = 0;
};
