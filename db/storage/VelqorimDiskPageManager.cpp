#include "db/storage/VelqorimDiskPageManager.h"

#include <unistd.h>

#include <cstring>
#include <random>

#include "db/storage/VelqorimDiskLocks.h"
#include "db/support/DAZCipher.h"
#include "db/support/DAZCompression.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"

namespace {
constexpr uint8_t PlainPage = 0xFF;  // Cipherype of a page written without enciphering
constexpr int MinPageSize = 128;

[[noreturn]] void NotOpened(int Code) { throw EABSException(Code, "Error - database file is not opened."); }
}  // namespace

TVelqorimDiskPageManager::TVelqorimDiskPageManager()
    : FTablePagesCacheManager(std::make_unique<TVelqorimDiskTablePagesCacheManager>()) {
  PageHeaderSize = sizeof(TVelqorimDiskPageHeader);
  InitDBHeader();
}

TVelqorimDiskPageManager::~TVelqorimDiskPageManager() {
  try {
    CloseDatabase();
  } catch (...) {
    // A destructor must not raise.
  }
}

void TVelqorimDiskPageManager::InitDBHeader() {
  FDBHeader = {};
  std::memcpy(FDBHeader.Signature, VelqorimSignature, VelqorimSignatureSize);
  FDBHeader.HeaderSize = sizeof(TVelqorimDBHeader);
  FDBHeader.Version = VelqorimFormatVersion;
  FDBHeader.TotalPageCount = 0;
  FDBHeader.LastUsedPageNo = -1;
  FDBHeader.WriteChangesState = VelqorimChangesWritten;
  FCryptoHeader = {};
  FCryptoHeader.CryptoHeaderSize = sizeof(TVelqorimCryptoHeader);
  FOffsetToDBHeader = 0;
  FOffsetToCryptoHeader = VelqorimCryptoHeaderOffset;
  FOffsetToLockedBytes = VelqorimLockedBytesOffset;
  FOffsetToLastObjectID = VelqorimLastObjectIDOffset;
  FOffsetToFirstPage = VelqorimFirstPageOffset;
  FLockDBHeaderCount = 0;
  FReadOnlyObjectID = -1;
}

void TVelqorimDiskPageManager::ReadDBHeaderFromFile() {
  if (!FDatabaseFile.IsOpened()) NotOpened(10459);
  FDBHeader = {};
  FDatabaseFile.ReadBuffer(&FDBHeader, sizeof FDBHeader, FOffsetToDBHeader, 10464);
}

void TVelqorimDiskPageManager::WriteDBHeaderToFile() {
  if (!FDatabaseFile.IsOpened()) NotOpened(10460);
  FDatabaseFile.WriteBuffer(&FDBHeader, sizeof FDBHeader, FOffsetToDBHeader, 10462);
}

void TVelqorimDiskPageManager::CreateAndOpenDatabase(const String& DatabaseFileName, const TABSPassword& aPassword,
                                                     uint16_t aPageSize, uint16_t ExtentPageCount) {
  if (FDatabaseFile.IsOpened())
    throw EABSException(10461, "Error - database file %s is in use.", {DatabaseFileName});
  if (aPageSize < MinPageSize || ExtentPageCount == 0) throw EABSException(20237, "Invalid database format");
  InitDBHeader();
  TVelqorimPageManager::PageSize = aPageSize;
  FPassword = aPassword;
  FDatabaseFile.CreateAndOpenFile(DatabaseFileName);
  FDBHeader.Encrypted = aPassword.Password.empty() ? 0 : 0xFF;
  FDBHeader.PageSize = aPageSize;
  FDBHeader.PageCountInExtent = ExtentPageCount;
  if (Encrypted()) {
    FCryptoHeader.CryptoAlgorithm = static_cast<uint8_t>(aPassword.CryptoAlgorithm);
    for (uint8_t& b : FCryptoHeader.ControlBlock) b = static_cast<uint8_t>(ABSRandom(255));
    FCryptoHeader.ControlBlockCRC = CalcCRC32(0, FCryptoHeader.ControlBlock, sizeof FCryptoHeader.ControlBlock);
    CipherEncodeBuffer(aPassword.CryptoAlgorithm, FCryptoHeader.ControlBlock, sizeof FCryptoHeader.ControlBlock,
                       aPassword.Password);
  }
  WriteDBHeaderToFile();
  FDatabaseFile.WriteBuffer(&FCryptoHeader, sizeof FCryptoHeader, FOffsetToCryptoHeader, 30438);
  TVelqorimLockedBytes locked{};
  locked.LockedByteSize = sizeof locked;
  FDatabaseFile.WriteBuffer(&locked, sizeof locked, FOffsetToLockedBytes, 30444);
  InitObjectID();
  FFreeSpaceManager = std::make_unique<TVelqorimDatabaseFreeSpaceManager>(*this);
}

// The fixed fields of a header must hold before anything is derived from it,
// so that bytes that merely start with the signature are not taken for one.
void TVelqorimDiskPageManager::CheckHeader(int64_t FileSize) const {
  const int16_t headerSize = FDBHeader.HeaderSize;
  const double version = FDBHeader.Version;
  const int pageSize = FDBHeader.PageSize, extent = FDBHeader.PageCountInExtent;
  const int32_t total = FDBHeader.TotalPageCount, lastUsed = FDBHeader.LastUsedPageNo;
  const uint8_t state = FDBHeader.WriteChangesState;
  const bool fields = headerSize == static_cast<int16_t>(sizeof(TVelqorimDBHeader)) && version > 0 &&
                      version < 1000 && pageSize >= MinPageSize && extent > 0 && total >= 0 && lastUsed >= -1 &&
                      lastUsed < std::max(total, 1) &&
                      (state == VelqorimChangesWritten || state == VelqorimCommitWriting);
  if (!fields) throw EABSException(20237, "Invalid database format");
  // A file shorter than its pages was cut.
  if (FileSize < FOffsetToFirstPage + int64_t{total} * pageSize)
    throw EABSException(20237, "Invalid database format");
}

void TVelqorimDiskPageManager::OpenDatabase(const String& DatabaseFileName, const TABSPassword& aPassword,
                                           bool& ReadOnly, bool& RepairNeeded, bool Exclusive, bool& aMultiUser) {
  if (FDatabaseFile.IsOpened())
    throw EABSException(10462, "Error - database file %s is in use.", {DatabaseFileName});
  InitDBHeader();
  FPassword = aPassword;
  if (!ReadOnly && ::access(DatabaseFileName.c_str(), F_OK) == 0 && ::access(DatabaseFileName.c_str(), W_OK) != 0) {
    ReadOnly = true;
    aMultiUser = false;
  }
  MultiUser = aMultiUser;
  FExclusive = Exclusive;
  if (ReadOnly) {
    FDatabaseFile.OpenFile(DatabaseFileName, amReadOnly, smShareDenyNone);
  } else {
    if (Exclusive) MultiUser = aMultiUser = false;
    FDatabaseFile.OpenFile(DatabaseFileName, amReadWrite, Exclusive ? smExclusive : smShareDenyNone);
  }
  if (!RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                      [this] { return LockDBHeader(); }))
    throw EABSException(20230, "Database is locked");
  try {
    int64_t offset = 0;
    if (!FDatabaseFile.FindSignature(offset)) offset = 0;
    FOffsetToDBHeader = offset;
    ReadDBHeaderFromFile();
  } catch (...) {
    UnlockDBHeader();
    throw;
  }
  UnlockDBHeader();
  if (std::memcmp(FDBHeader.Signature, VelqorimSignature, VelqorimSignatureSize) != 0)
    throw EABSException(10470, "Invalid file format. Found signature: '%s', expected: '%s'",
                        {String(FDBHeader.Signature, VelqorimSignatureSize), String(VelqorimSignature)});
  FOffsetToCryptoHeader = FOffsetToDBHeader + FDBHeader.HeaderSize;
  FOffsetToLockedBytes = FOffsetToCryptoHeader + sizeof(TVelqorimCryptoHeader);
  FOffsetToLastObjectID = FOffsetToLockedBytes + sizeof(TVelqorimLockedBytes);
  FOffsetToFirstPage = FOffsetToLastObjectID + 4;
  CheckHeader(FDatabaseFile.GetSize());
  RepairNeeded = FDBHeader.WriteChangesState != VelqorimChangesWritten || FDBHeader.Version < VelqorimMinimalVersion;
  TVelqorimPageManager::PageSize = FDBHeader.PageSize;
  FDatabaseFile.ReadBuffer(&FCryptoHeader, sizeof FCryptoHeader, FOffsetToCryptoHeader, 30439);
  if (FCryptoHeader.CryptoHeaderSize != static_cast<int16_t>(sizeof(TVelqorimCryptoHeader)))
    throw EABSException(20237, "Invalid database format");
  if (Encrypted()) {
    if (FCryptoHeader.CryptoAlgorithm > craSquare) throw EABSException(20237, "Invalid database format");
    FPassword.CryptoAlgorithm = static_cast<TABSCryptoAlgorithm>(FCryptoHeader.CryptoAlgorithm);
    bool deciphered = false;
    try {
      deciphered = !FPassword.Password.empty() &&
                   CipherDecodeBuffer(FPassword.CryptoAlgorithm, FCryptoHeader.ControlBlock,
                                      sizeof FCryptoHeader.ControlBlock, FPassword.Password);
    } catch (const std::exception&) {
      deciphered = false;
    }
    if (!deciphered ||
        CalcCRC32(0, FCryptoHeader.ControlBlock, sizeof FCryptoHeader.ControlBlock) != FCryptoHeader.ControlBlockCRC)
      throw EABSException(30445, "Cannot open database - incorrect password");
  }
  int16_t lockedSize = 0;
  FDatabaseFile.ReadBuffer(&lockedSize, 2, FOffsetToLockedBytes, 30442);
  if (lockedSize != static_cast<int16_t>(sizeof(TVelqorimLockedBytes)))
    throw EABSException(20237, "Invalid database format");
  FFreeSpaceManager = std::make_unique<TVelqorimDatabaseFreeSpaceManager>(*this);
}

void TVelqorimDiskPageManager::CloseDatabase() {
  if (FDatabaseFile.IsOpened()) {
    try {
      FDatabaseFile.CloseFile();
    } catch (...) {
      // Closed either way.
    }
  }
  FFreeSpaceManager.reset();
}

int64_t TVelqorimDiskPageManager::PageOffset(int32_t PageNo) const {
  if (PageNo < 0) throw EABSException(10471, "Invalid PageNo = %d", {PageNo});
  return FOffsetToFirstPage + int64_t{PageNo} * TVelqorimPageManager::PageSize;
}

bool TVelqorimDiskPageManager::LockDBHeader() {
  if (FLockDBHeaderCount == 0 && !FDatabaseFile.LockByte(FOffsetToLockedBytes + 4, 1)) return false;
  ++FLockDBHeaderCount;
  return true;
}

void TVelqorimDiskPageManager::UnlockDBHeader() {
  if (FLockDBHeaderCount == 0) return;
  if (--FLockDBHeaderCount == 0) FDatabaseFile.UnlockByte(FOffsetToLockedBytes + 4, 1);
}

void TVelqorimDiskPageManager::ReadDBHeader(TVelqorimDBHeader& Header) {
  ReadDBHeaderFromFile();
  Header = FDBHeader;
}

void TVelqorimDiskPageManager::WriteDBHeader(const TVelqorimDBHeader& Header) {
  FDBHeader = Header;
  WriteDBHeaderToFile();
}

// The file grows first, then the header counts the new pages.
void TVelqorimDiskPageManager::ExtendFile(int32_t PageCount) {
  if (PageCount < 1) return;
  FDatabaseFile.SetSize(FDatabaseFile.GetSize() + int64_t{PageCount} * TVelqorimPageManager::PageSize);
  FDBHeader.TotalPageCount += PageCount;
  WriteDBHeaderToFile();
}

// The header stops counting the pages first, then the file is cut.
void TVelqorimDiskPageManager::TruncateFile(int32_t PageCount) {
  if (PageCount < 1 || FDBHeader.TotalPageCount - PageCount < 0) return;
  FDBHeader.TotalPageCount -= PageCount;
  WriteDBHeaderToFile();
  FDatabaseFile.SetSize(FDatabaseFile.GetSize() - int64_t{PageCount} * TVelqorimPageManager::PageSize);
}

void TVelqorimDiskPageManager::TruncateDatabase() {
  const int32_t tail = FDBHeader.TotalPageCount - 1 - FDBHeader.LastUsedPageNo;
  if (tail > 0) TruncateFile(tail);
}

void TVelqorimDiskPageManager::ReadPageDirect(int32_t PageNo, uint8_t* Buffer) {
  FDatabaseFile.ReadBuffer(Buffer, TVelqorimPageManager::PageSize, PageOffset(PageNo), 10474);
}

void TVelqorimDiskPageManager::WritePageDirect(int32_t PageNo, const uint8_t* Buffer) {
  FDatabaseFile.WriteBuffer(Buffer, TVelqorimPageManager::PageSize, PageOffset(PageNo), 10475);
}

void TVelqorimDiskPageManager::ReadPageRegion(void* Buffer, int32_t PageNo, uint16_t Offset, uint16_t Count) {
  if (Offset + Count > TVelqorimPageManager::PageSize)
    throw EABSException(10476, "Error - invalid page offset = %d, page size = %d",
                        {Offset + Count, int{TVelqorimPageManager::PageSize}});
  FDatabaseFile.ReadBuffer(Buffer, Count, PageOffset(PageNo) + Offset, 10474);
}

void TVelqorimDiskPageManager::WritePageRegion(const void* Buffer, int32_t PageNo, uint16_t Offset, uint16_t Count) {
  if (Offset + Count > TVelqorimPageManager::PageSize)
    throw EABSException(10477, "Error - invalid page offset = %d, page size = %d",
                        {Offset + Count, int{TVelqorimPageManager::PageSize}});
  FDatabaseFile.WriteBuffer(Buffer, Count, PageOffset(PageNo) + Offset, 10475);
}

bool TVelqorimDiskPageManager::ReadPageState(int32_t PageNo, int32_t& State) {
  State = VelqorimFreedPageState;
  return FDatabaseFile.ReadBuffer(&State, 4, PageOffset(PageNo) + 4);
}

// A cached page is current when the session works on a table that cannot
// change under it (it holds ltS or ltRW) and the page carries the table state
// the session loaded. A single-user reader among writers always checks.
bool TVelqorimDiskPageManager::IsPageTableStateCurrent(int SessionID, TVelqorimPage& aPage) {
  if (!MultiUser) return !ValidateCachedPages;
  int32_t work = -1, stamped = -1;
  return FTablePagesCacheManager->GetWorkTableState(SessionID, work) && aPage.GetTableState(SessionID, stamped) &&
         stamped == work;
}

void TVelqorimDiskPageManager::UpdatePageTableState(int SessionID, TVelqorimPage& aPage) {
  int32_t work = -1;
  if (MultiUser && FTablePagesCacheManager->GetWorkTableState(SessionID, work)) aPage.SetTableState(SessionID, work);
}

int32_t TVelqorimDiskPageManager::GetNextObjectID() {
  if (!FDatabaseFile.IsOpened()) NotOpened(30399);
  if (!RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                      [this] { return FDatabaseFile.LockByte(FOffsetToLastObjectID, 1); }))
    throw EABSException(30401, "Cannot get NextObjectID. File area is Locked.");
  int32_t id = 0;
  try {
    FDatabaseFile.ReadBuffer(&id, 4, FOffsetToLastObjectID, 30400);
    if (FDatabaseFile.AccessMode() == amReadWrite) {
      ++id;
      FDatabaseFile.WriteBuffer(&id, 4, FOffsetToLastObjectID, 30404);
    } else {
      // Nothing can be stored: count on from the stored value, never at random.
      FReadOnlyObjectID = std::max(FReadOnlyObjectID, id) + 1;
      id = FReadOnlyObjectID;
    }
  } catch (...) {
    FDatabaseFile.UnlockByte(FOffsetToLastObjectID, 1);
    throw;
  }
  FDatabaseFile.UnlockByte(FOffsetToLastObjectID, 1);
  return id;
}

void TVelqorimDiskPageManager::InitObjectID() {
  if (!RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                      [this] { return FDatabaseFile.LockByte(FOffsetToLastObjectID, 1); }))
    return;
  try {
    if (FDatabaseFile.AccessMode() == amReadWrite) {
      const int32_t zero = 0;
      FDatabaseFile.WriteBuffer(&zero, 4, FOffsetToLastObjectID, 30406);
    }
  } catch (...) {
    FDatabaseFile.UnlockByte(FOffsetToLastObjectID, 1);
    throw;
  }
  FDatabaseFile.UnlockByte(FOffsetToLastObjectID, 1);
}

int TVelqorimDiskPageManager::GetPageCount() {
  if (!LockDBHeader()) throw EABSException(20236, "Database is locked");
  int32_t total = 0;
  try {
    ReadDBHeaderFromFile();
    total = FDBHeader.TotalPageCount;
  } catch (...) {
    UnlockDBHeader();
    throw;
  }
  UnlockDBHeader();
  return total;
}

void TVelqorimDiskPageManager::Encipher(TVelqorimPage& aPage, bool Encode) {
  TVelqorimDiskPageHeader& h = *aPage.PageHeader();
  const auto algorithm = static_cast<TABSCryptoAlgorithm>(h.Cipherype);
  if (Encode)
    CipherEncodeBuffer(algorithm, aPage.PageData(), aPage.PageDataSize(), FPassword.Password);
  else
    CipherDecodeBuffer(algorithm, aPage.PageData(), aPage.PageDataSize(), FPassword.Password);
}

void TVelqorimDiskPageManager::InternalAddPage(TVelqorimPage& aPage) {
  if (!FFreeSpaceManager) NotOpened(10460);
  aPage.PageNo = FFreeSpaceManager->GetPage();
  aPage.AllocPageBuffer();
}

void TVelqorimDiskPageManager::InternalRemovePage(int32_t PageNo) {
  const int32_t freed = VelqorimFreedPageState;
  FDatabaseFile.WriteBuffer(&freed, 4, PageOffset(PageNo) + 4, 20198);
  FFreeSpaceManager->FreePage(PageNo);
}

bool TVelqorimDiskPageManager::InternalReadPage(TVelqorimPage& aPage) {
  if (aPage.PageBuffer == nullptr || !aPage.OwnBuffer) aPage.AllocPageBuffer();
  aPage.Reloaded = true;
  if (!FDatabaseFile.ReadBuffer(aPage.PageBuffer, TVelqorimPageManager::PageSize, PageOffset(aPage.PageNo))) {
    aPage.PageHeader()->State = VelqorimFreedPageState;
    return false;
  }
  if (!Encrypted() || FFreeSpaceManager->IsSystemPage(aPage.PageNo)) return true;
  const uint8_t cipher = aPage.PageHeader()->Cipherype;
  if (cipher == PlainPage) return true;
  const uint32_t stored = aPage.PageHeader()->CRC32;
  bool ok = cipher <= craSquare;
  if (ok) {
    try {
      Encipher(aPage, false);
    } catch (const std::exception&) {
      ok = false;
    }
  }
  if (!IgnoreCRCErrors && (!ok || CalcCRC32(0, aPage.PageData(), aPage.PageDataSize()) != stored))
    throw EABSException(30446, "Decrypt page error. Check CRC failed. PageNo: %d", {aPage.PageNo});
  return true;
}

void TVelqorimDiskPageManager::InternalWritePage(TVelqorimPage& aPage) {
  TVelqorimDiskPageHeader& h = *aPage.PageHeader();
  h.State = h.State + 1 >= 0x7FFFFFFD || h.State < 0 ? 0 : h.State + 1;
  const bool encipher = Encrypted() && !FFreeSpaceManager->IsSystemPage(aPage.PageNo) && aPage.EncryptionEnabled;
  if (Encrypted()) h.Cipherype = encipher ? static_cast<uint8_t>(FPassword.CryptoAlgorithm) : PlainPage;
  if (encipher) {
    h.CRC32 = CalcCRC32(0, aPage.PageData(), aPage.PageDataSize());
    Encipher(aPage, true);
  }
  try {
    FDatabaseFile.WriteBuffer(aPage.PageBuffer, TVelqorimPageManager::PageSize, PageOffset(aPage.PageNo), 10469);
  } catch (...) {
    if (encipher) Encipher(aPage, false);
    throw;
  }
  // The cached copy stays plain.
  if (encipher) Encipher(aPage, false);
}

void TVelqorimDiskPageManager::RemovePage(int SessionID, int32_t PageNo) {
  if (FFreeSpaceManager) FFreeSpaceManager->CheckPageNoForSystemPages(PageNo);
  TVelqorimPageManager::RemovePage(SessionID, PageNo);
}

TVelqorimPage* TVelqorimDiskPageManager::GetPage(int SessionID, int32_t PageNo, uint16_t PageType,
                                                 bool SynchronizeAllowed) {
  if (FFreeSpaceManager) FFreeSpaceManager->CheckPageNoForSystemPages(PageNo);
  return TVelqorimPageManager::GetPage(SessionID, PageNo, PageType, SynchronizeAllowed);
}

void TVelqorimDiskPageManager::ApplyChanges(int SessionID) {
  TVelqorimSessionPageInfo* session = FindSession(SessionID);
  if (session == nullptr || (session->DirtyPages->Count() == 0 && session->AddedPageNumbers->ItemCount == 0 &&
                             session->RemovedPageNumbers->ItemCount == 0))
    return;
  if (!RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                      [this] { return LockDBHeader(); }))
    throw EABSException(20213, "Database is locked");
  try {
    ReadDBHeaderFromFile();
    FDBHeader.WriteChangesState = VelqorimCommitWriting;
    WriteDBHeaderToFile();
    if (SyncOnCommit) FDatabaseFile.FlushFileBuffers();
    TVelqorimPageManager::ApplyChanges(SessionID);
    if (SyncOnCommit) FDatabaseFile.FlushFileBuffers();
    ReadDBHeaderFromFile();  // the free-space map may have changed the counts
    FDBHeader.State = FDBHeader.State + 1;
    FDBHeader.WriteChangesState = VelqorimChangesWritten;
    WriteDBHeaderToFile();
    if (SyncOnCommit) FDatabaseFile.FlushFileBuffers();
  } catch (...) {
    UnlockDBHeader();
    throw;
  }
  UnlockDBHeader();
}
