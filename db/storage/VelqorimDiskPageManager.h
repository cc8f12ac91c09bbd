#pragma once
// The page manager of a database file: creating and opening the file, its
// header, crypto header and lock bytes, pages read and written with CRC and
// enciphering, allocation through the free-space map, object ids, and the
// commit of a session's pages under the file-header lock.
//
// A commit marks the header "writing" (WriteChangesState 1), writes the new
// page images, frees removed pages, then marks it done (2) with the commit
// counter raised; a file left at 1 opens with RepairNeeded. With
// SyncOnCommit each of the three steps reaches stable storage before the next.

#include <cstdint>
#include <memory>

#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimFreeSpace.h"
#include "db/storage/VelqorimPage.h"
#include "db/support/DAZEngineTypes.h"

class TVelqorimDiskTablePagesCacheManager;

class TVelqorimDiskPageManager : public TVelqorimPageManager, public TVelqorimFreeSpaceHost {
 public:
  TVelqorimDiskPageManager();
  ~TVelqorimDiskPageManager() override;

  // 10461 when open already. The new file has the header blocks only.
  void CreateAndOpenDatabase(const String& DatabaseFileName, const TABSPassword& aPassword, uint16_t aPageSize,
                             uint16_t ExtentPageCount);
  // 10462 open already; 20230 header lock; 10470 no signature; 20237 a header
  // whose fixed fields or size do not fit; 30445 wrong password.
  void OpenDatabase(const String& DatabaseFileName, const TABSPassword& aPassword, bool& ReadOnly,
                    bool& RepairNeeded, bool Exclusive, bool& aMultiUser);
  void CloseDatabase();
  bool IsOpened() const { return FDatabaseFile.IsOpened(); }
  bool Encrypted() const { return FDBHeader.Encrypted != 0; }

  // Next object id under its lock (30401 when locked); read-only files count
  // on in memory from the stored value and store nothing.
  int32_t GetNextObjectID();
  void InitObjectID();

  int GetPageCount() override;
  void InternalAddPage(TVelqorimPage& aPage) override;
  void InternalRemovePage(int32_t PageNo) override;
  // A page that cannot be read whole answers false (its State marked freed).
  bool InternalReadPage(TVelqorimPage& aPage) override;
  void InternalWritePage(TVelqorimPage& aPage) override;
  void RemovePage(int SessionID, int32_t PageNo) override;
  TVelqorimPage* GetPage(int SessionID, int32_t PageNo, uint16_t PageType, bool SynchronizeAllowed = true) override;
  void ApplyChanges(int SessionID) override;
  void FlushBuffers() { FDatabaseFile.FlushFileBuffers(); }
  void TruncateDatabase();

  // The free-space map's side.
  bool LockDBHeader() override;
  void UnlockDBHeader() override;
  void ReadDBHeader(TVelqorimDBHeader& Header) override;
  void WriteDBHeader(const TVelqorimDBHeader& Header) override;
  void ExtendFile(int32_t PageCount) override;
  void TruncateFile(int32_t PageCount) override;
  void ReadPageDirect(int32_t PageNo, uint8_t* Buffer) override;
  void WritePageDirect(int32_t PageNo, const uint8_t* Buffer) override;
  int PageSize() const override { return TVelqorimPageManager::PageSize; }

  bool LockTables() { return FDatabaseFile.LockByte(FOffsetToLockedBytes + 3, 1); }
  bool UnlockTables() { return FDatabaseFile.UnlockByte(FOffsetToLockedBytes + 3, 1); }
  bool LockPageByte(int32_t PageNo, uint16_t Offset) { return FDatabaseFile.LockByte(PageOffset(PageNo) + Offset, 1); }
  bool UnlockPageByte(int32_t PageNo, uint16_t Offset) {
    return FDatabaseFile.UnlockByte(PageOffset(PageNo) + Offset, 1);
  }

  // Raw bytes of a page, never enciphered (10476 / 10477 beyond the page).
  void ReadPageRegion(void* Buffer, int32_t PageNo, uint16_t Offset, uint16_t Count);
  void WritePageRegion(const void* Buffer, int32_t PageNo, uint16_t Offset, uint16_t Count);
  bool IsPageByteLocked(int32_t PageNo, uint16_t Offset) {
    return FDatabaseFile.IsByteLocked(PageOffset(PageNo) + Offset);
  }
  bool IsPageRegionLocked(int32_t PageNo, uint16_t Offset, uint16_t Count) {
    return FDatabaseFile.IsRegionLocked(PageOffset(PageNo) + Offset, Count);
  }
  // The stamp of a page in the file; VelqorimFreedPageState when it cannot be read.
  bool ReadPageState(int32_t PageNo, int32_t& State) override;
  bool IsMultiUserDiskStore() const override { return MultiUser || ValidateCachedPages; }
  bool IsPageTableStateCurrent(int SessionID, TVelqorimPage& aPage) override;
  void UpdatePageTableState(int SessionID, TVelqorimPage& aPage) override;
  TVelqorimDiskTablePagesCacheManager& TablePagesCacheManager() { return *FTablePagesCacheManager; }
  bool Exclusive() const { return FExclusive; }
  // After opening, the cipher is the file's.
  const TABSPassword& Password() const { return FPassword; }
  // Set for a single-user reader that shares the file with writers: every
  // cached page is checked against its stamp in the file before use.
  bool ValidateCachedPages = false;

  int64_t PageOffset(int32_t PageNo) const;
  const TVelqorimDBHeader& DBHeader() const { return FDBHeader; }
  TVelqorimDatabaseFreeSpaceManager* FreeSpaceManager() const { return FFreeSpaceManager.get(); }
  TVelqorimDatabaseFile& DatabaseFile() { return FDatabaseFile; }

  bool SyncOnCommit = false;

 private:
  void InitDBHeader();
  void ReadDBHeaderFromFile();
  void WriteDBHeaderToFile();
  void CheckHeader(int64_t FileSize) const;
  void Encipher(TVelqorimPage& aPage, bool Encode);

  TVelqorimDatabaseFile FDatabaseFile;
  std::unique_ptr<TVelqorimDiskTablePagesCacheManager> FTablePagesCacheManager;
  std::unique_ptr<TVelqorimDatabaseFreeSpaceManager> FFreeSpaceManager;
  TVelqorimDBHeader FDBHeader{};
  TVelqorimCryptoHeader FCryptoHeader{};
  TABSPassword FPassword;
  int32_t FLockDBHeaderCount = 0;
  int32_t FReadOnlyObjectID = -1;  // the counter of a read-only file, -1 before its first id
  bool FExclusive = false;
  int64_t FOffsetToDBHeader = 0;
  int64_t FOffsetToCryptoHeader = VelqorimCryptoHeaderOffset;
  int64_t FOffsetToLockedBytes = VelqorimLockedBytesOffset;
  int64_t FOffsetToLastObjectID = VelqorimLastObjectIDOffset;
  int64_t FOffsetToFirstPage = VelqorimFirstPageOffset;
};
