#pragma once
// Small files inside a database file (page-files) and the system catalogue
// built on them: the system directory at page 2, the table list and the
// session slots.
//
// Page-file layout: a chain of pages of one type linked by NextPageNo (-1 on
// the last). Their data areas form one stream; its first 10 bytes are the
// page-file header, then the content:
//   0 u8 header length (10) | 1 i32 Size | 5 i32 DecompressedSize | 9 u8 algorithm
// A transacted page-file goes through the page cache and commits with its
// session; a direct-access one is read, written and byte-locked in place, so
// that processes can lock its bytes. The first byte of a page-file's first
// page is its own lock byte and is never read or written.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/VelqorimDiskPageManager.h"
#include "db/support/DAZCompression.h"
#include "platform/rtl/Classes.h"

constexpr int VelqorimPageFileHeaderSize = 10;
constexpr int VelqorimSystemSessionID = -2;  // the session of catalogue changes
constexpr int32_t VelqorimSystemDirectoryPageNo = 2;
constexpr int VelqorimDefaultMaxSessionCount = 500;

class TVelqorimInternalDBTransactedAccessFile : public TObject {
 public:
  TVelqorimInternalDBTransactedAccessFile(TVelqorimDiskPageManager* PageManager, uint16_t PageTypeID)
      : LPageManager(PageManager), FPageTypeID(PageTypeID) {}

  // 30383 when open already.
  void CreateFile(int SessionID);
  void DeleteFile(int SessionID, int32_t StartPageNo = -1);
  void OpenFile(int32_t StartPageNo) {
    if (StartPageNo != -1) FStartPageNo = StartPageNo;
  }
  void InitFileHeader(int SessionID);
  void SetFileSize(int SessionID, int32_t NewSize, int32_t DecompressedSize,
                   TABSCompressionAlgorithm Algorithm);
  // FileWasChanged: the first page was read from the file in this call.
  void GetFileSize(int SessionID, int32_t& Size, int32_t& DecompressedSize,
                   TABSCompressionAlgorithm& Algorithm, bool& FileWasChanged, bool SynchronizeAllowed);
  int32_t GetSize(int SessionID);
  // The first Count bytes of the content (30387 beyond it, 30388 when the chain ends early).
  void ReadFile(int SessionID, void* Buffer, int32_t Count, bool SynchronizeAllowed);
  // Replaces the content; compressed unless acaNone (20187 when that fails).
  void WriteFile(int SessionID, const void* Buffer, int32_t Count, TABSCompressionAlgorithm Algorithm,
                 int CompressionMode);
  bool LockFile();
  bool UnlockFile();

  TVelqorimDiskPageManager* PageManager() const { return LPageManager; }
  int32_t StartPageNo() const { return FStartPageNo; }

 private:
  void CheckOpened(const char* Operation) const;
  // Page index Index of the chain, pinned (20300 when the chain is shorter).
  TVelqorimPage* ChainPage(int SessionID, int Index, bool SynchronizeAllowed);

  TVelqorimDiskPageManager* LPageManager;
  int32_t FStartPageNo = -1;
  uint16_t FPageTypeID;
};

class TVelqorimInternalDBDirectAccessFile : public TObject {
 public:
  TVelqorimInternalDBDirectAccessFile(TVelqorimDiskPageManager* PageManager, uint16_t PageTypeID)
      : LPageManager(PageManager), FPageTypeID(PageTypeID) {}

  // Pages added in the system session, written plain when it commits. 20157 when open.
  void CreateFile(int32_t Size);
  void DeleteFile(int32_t StartPageNo = -1);
  // Walks the file's page chain; returns its stored size.
  int32_t OpenFile(int32_t StartPageNo);
  void CloseFile() {
    FStartPageNo = -1;
    FFilePages.clear();
  }
  int32_t GetSize();
  // 20159 past the usable size.
  void ReadBuffer(void* Buffer, int32_t Count, int32_t Position);
  // 20158 past the stored size.
  void WriteBuffer(const void* Buffer, int32_t Count, int32_t Position);
  bool LockFile();
  bool UnlockFile();
  bool LockByte(int32_t ByteNo);
  bool UnlockByte(int32_t ByteNo);
  bool IsByteLocked(int32_t ByteNo);
  bool IsRegionLocked(int32_t ByteNo, int32_t ByteCount);

  int32_t StartPageNo() const { return FStartPageNo; }
  int32_t FileSize() const { return FFileSize; }
  bool IsOpen() const { return FStartPageNo != -1; }

 private:
  void CheckOpened(const char* Operation) const;
  // The page and page offset of content byte Position.
  void Locate(int32_t Position, int& Index, int& Offset) const;
  // The header of a chain page, read past its lock byte, with its type checked (20155).
  TVelqorimDiskPageHeader ReadChainHeader(int32_t PageNo);
  template <class Transfer>
  void Walk(int32_t Count, int32_t Position, Transfer&& Step);

  TVelqorimDiskPageManager* LPageManager;
  int32_t FStartPageNo = -1;
  uint16_t FPageTypeID;
  int32_t FFileSize = 0;
  std::vector<int32_t> FFilePages;
};

enum TVelqorimDBFileType : uint8_t { dbftUnknown, dbftTablesList, dbftActiveSessionsList };

#pragma pack(push, 1)
struct TVelqorimSystemDirectoryListItem {
  uint8_t FileID;
  int32_t FirstPageNo;
};
struct TVelqorimTableListItem {
  uint8_t TableName[256];  // length byte, then up to 255 8-bit characters
  int32_t TableID;
  int32_t MetaDataFilePageNo;
  int32_t MostUpdatedFilePageNo;
  int32_t LocksFilePageNo;
};
#pragma pack(pop)
static_assert(sizeof(TVelqorimSystemDirectoryListItem) == 5);
static_assert(sizeof(TVelqorimTableListItem) == 272);

class TVelqorimSystemDirectory : public TObject {
 public:
  explicit TVelqorimSystemDirectory(TVelqorimDiskPageManager* PageManager)
      : LPageManager(PageManager), FHandle(PageManager, ptFileSystemDirectory) {}

  // 30392 unless the directory lands on page 2.
  void CreateDirectory();
  void LoadDirectory();
  void SaveDirectory();
  void CreateFile(TVelqorimDBFileType FileType, int32_t FirstPageNo) {
    FFileList.push_back({static_cast<uint8_t>(FileType), FirstPageNo});
  }
  // -1 when there is none.
  int32_t GetFileFirstPageNo(TVelqorimDBFileType FileType) const;

 private:
  TVelqorimDiskPageManager* LPageManager;
  TVelqorimInternalDBTransactedAccessFile FHandle;
  std::vector<TVelqorimSystemDirectoryListItem> FFileList;
};

class TVelqorimTableListFile : public TObject {
 public:
  explicit TVelqorimTableListFile(TVelqorimDiskPageManager* PageManager) : LPageManager(PageManager) {}

  int32_t CreateFile();
  // 30393 when open already.
  void OpenFile(int32_t aStartPageNo);
  void CloseFile() { FHandle.reset(); }
  void Load();
  void Save();
  // In memory only; the caller saves. 30395 for a name in use.
  void AddTable(int32_t TableID, const AnsiString& TableName, int32_t MetadataFilePageNo,
                int32_t MostUpdatedFilePageNo, int32_t LocksFilePageNo);
  // 30396 for an unknown name.
  void OpenTable(const AnsiString& TableName, int32_t& TableID, int32_t& MetadataFilePageNo,
                 int32_t& MostUpdatedFilePageNo, int32_t& LocksFilePageNo) const;
  void RemoveTable(const AnsiString& TableName);                                  // 30405
  void RenameTable(const AnsiString& TableName, const AnsiString& NewTableName);  // 30397
  bool TableExists(const AnsiString& TableName) const { return Find(TableName) >= 0; }
  void GetTablesList(TStrings& List);

  int32_t StartPageNo() const { return FHandle ? FHandle->StartPageNo() : -1; }
  int Count() const { return static_cast<int>(FTableList.size()); }

 private:
  int Find(const AnsiString& TableName) const;

  TVelqorimDiskPageManager* LPageManager;
  std::unique_ptr<TVelqorimInternalDBTransactedAccessFile> FHandle;
  std::vector<TVelqorimTableListItem> FTableList;
};

// One byte per connection slot; a multi-user connection holds its slot
// byte's lock, a single-user one holds them all.
class TVelqorimActiveSessionsFile : public TObject {
 public:
  explicit TVelqorimActiveSessionsFile(TVelqorimDiskPageManager* PageManager) : LPageManager(PageManager) {}

  int32_t CreateFile(int32_t aMaxSessionCount);
  void OpenFile(int32_t aStartPageNo);
  void CloseFile() { FHandle.reset(); }
  // The free slot taken (its number is the session id); 20094 when none.
  int MultiUserConnect();
  void MultiUserDisconnect(int SessionID);
  // False while any slot is held.
  bool SingleUserConnect();
  void SingleUserDisconnect();
  // Held slots, this process's included.
  int GetDBFileConnectionsCount();

  int32_t MaxSessionCount() const { return FMaxSessionCount; }
  int32_t StartPageNo() const { return FHandle ? FHandle->StartPageNo() : -1; }

 private:
  // Runs Operation under the file's own lock (taken if it can be); an
  // unlock failure raises UnlockErrorCode, also on the error path.
  template <class Operation>
  auto Locked(int UnlockErrorCode, Operation&& Op);

  TVelqorimDiskPageManager* LPageManager;
  std::unique_ptr<TVelqorimInternalDBDirectAccessFile> FHandle;
  int32_t FMaxSessionCount = 0;
};
