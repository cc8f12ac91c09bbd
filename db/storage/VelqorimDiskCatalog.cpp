#include "db/storage/VelqorimDiskCatalog.h"

#include <algorithm>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"

namespace {

// The page-file header as stored at the start of the first page's data.
struct TPageFileHeader {
  int32_t Size = 0;
  int32_t DecompressedSize = 0;
  uint8_t Algorithm = 0;

  static TPageFileHeader DecodeFrom(const uint8_t* Src) {
    TPageFileHeader h;
    std::memcpy(&h.Size, Src + 1, 4);
    std::memcpy(&h.DecompressedSize, Src + 5, 4);
    h.Algorithm = Src[9];
    return h;
  }
  void EncodeTo(uint8_t* Dst) const {
    Dst[0] = VelqorimPageFileHeaderSize;
    std::memcpy(Dst + 1, &Size, 4);
    std::memcpy(Dst + 5, &DecompressedSize, 4);
    Dst[9] = Algorithm;
  }
};

// Pages of a page-file holding Size content bytes.
int PagesFor(int64_t Size, int DataSize) {
  return static_cast<int>((Size + VelqorimPageFileHeaderSize + DataSize - 1) / DataSize);
}

constexpr uint16_t PageHeaderBytes = sizeof(TVelqorimDiskPageHeader);

// The content size of a catalogue page-file. The catalogue is always stored
// plain, so compressed content is a damaged file and is never sized by its
// claimed decompressed length.
int32_t PlainContentSize(TVelqorimInternalDBTransactedAccessFile& File) {
  int32_t size = 0, decompressed = 0;
  TABSCompressionAlgorithm algorithm = acaNone;
  bool changed = false;
  File.GetFileSize(VelqorimSystemSessionID, size, decompressed, algorithm, changed, true);
  if (algorithm != acaNone) throw EABSException(20237, "Invalid database format");
  return decompressed;
}

}  // namespace

// ---------------------------------------------------------------------------
// Transacted page-file

void TVelqorimInternalDBTransactedAccessFile::CheckOpened(const char* Operation) const {
  if (FStartPageNo == -1)
    throw EABSException(30389, "Cannot perform this operation (%s) on closed internal file",
                        {String(Operation)});
}

void TVelqorimInternalDBTransactedAccessFile::CreateFile(int SessionID) {
  if (FStartPageNo != -1)
    throw EABSException(30383, "Cannot create Internal file. File already exists. StartPageNo=%d",
                        {FStartPageNo});
  TVelqorimPage* page = LPageManager->AddPage(SessionID, FPageTypeID);
  TVelqorimPageHolder hold(*LPageManager, page);
  TPageFileHeader{}.EncodeTo(page->PageData());
  FStartPageNo = page->PageNo;
}

void TVelqorimInternalDBTransactedAccessFile::DeleteFile(int SessionID, int32_t StartPageNo) {
  if (StartPageNo != -1) FStartPageNo = StartPageNo;
  int32_t pageNo = FStartPageNo;
  for (int64_t left = int64_t{LPageManager->GetPageCount()} + 1; pageNo != -1; --left) {
    // A chain that loops back is a damaged file, not a reason to run forever.
    if (left <= 0)
      throw EABSException(20300, "Error getting %d-th table file page. Probably database is corrupted and needs repair.",
                          {static_cast<int>(LPageManager->GetPageCount())});
    int32_t next = -1;
    {
      TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, pageNo, FPageTypeID));
      next = page->PageHeader()->NextPageNo;
    }
    LPageManager->RemovePage(SessionID, pageNo);
    pageNo = next;
  }
  FStartPageNo = -1;
}

void TVelqorimInternalDBTransactedAccessFile::InitFileHeader(int SessionID) {
  if (FStartPageNo == -1) throw EABSException(20301, "Invalid page number");
  const bool ignore = LPageManager->IgnoreCRCErrors;
  LPageManager->IgnoreCRCErrors = true;
  try {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, FStartPageNo, 255));
    page->InitHeader();
    page->PageHeader()->PageType = FPageTypeID;
    TPageFileHeader h = TPageFileHeader::DecodeFrom(page->PageData());
    h.Size = 0;
    h.Algorithm = acaNone;
    h.EncodeTo(page->PageData());
    page->IsDirty = true;
  } catch (...) {
    LPageManager->IgnoreCRCErrors = ignore;
    throw;
  }
  LPageManager->IgnoreCRCErrors = ignore;
}

TVelqorimPage* TVelqorimInternalDBTransactedAccessFile::ChainPage(int SessionID, int Index,
                                                                  bool SynchronizeAllowed) {
  int32_t pageNo = FStartPageNo;
  for (int link = 0; link < Index; ++link) {
    TVelqorimPageHolder page(*LPageManager,
                             LPageManager->GetPage(SessionID, pageNo, FPageTypeID, SynchronizeAllowed));
    pageNo = page->PageHeader()->NextPageNo;
    if (pageNo == -1)
      throw EABSException(
          20300, "Error getting %d-th table file page. Probably database is corrupted and needs repair.",
          {link + 1});
  }
  return LPageManager->GetPage(SessionID, pageNo, FPageTypeID, SynchronizeAllowed);
}

void TVelqorimInternalDBTransactedAccessFile::GetFileSize(int SessionID, int32_t& Size,
                                                          int32_t& DecompressedSize,
                                                          TABSCompressionAlgorithm& Algorithm,
                                                          bool& FileWasChanged, bool SynchronizeAllowed) {
  CheckOpened("GetSize");
  TVelqorimPageHolder page(*LPageManager,
                           LPageManager->GetPage(SessionID, FStartPageNo, FPageTypeID, SynchronizeAllowed));
  const TPageFileHeader h = TPageFileHeader::DecodeFrom(page->PageData());
  // A header that cannot be true is a damaged file, never a size to allocate
  // or a chain to follow: plain content is as long as it was before
  // compression, and no content is longer than the file's pages hold.
  const int64_t needed = LPageManager->PageOffset(0) +
                         (int64_t{std::max(h.Size, 0)} + LPageManager->PageDataSize() - 1) /
                             LPageManager->PageDataSize() * LPageManager->PageSize();
  const int64_t pages = (LPageManager->DatabaseFile().SizeAtLeast(needed) - LPageManager->PageOffset(0)) /
                        LPageManager->PageSize();
  if (h.Size < 0 || h.DecompressedSize < 0 || h.Algorithm > acaPPM ||
      (h.Algorithm == acaNone && h.Size != h.DecompressedSize) ||
      h.Size > pages * LPageManager->PageDataSize())
    throw EABSException(20189, "Table file decompression error. Possible table corruption (%s)",
                        {String("invalid page-file header")});
  Size = h.Size;
  DecompressedSize = h.DecompressedSize;
  Algorithm = static_cast<TABSCompressionAlgorithm>(h.Algorithm);
  FileWasChanged = page->Reloaded;
}

int32_t TVelqorimInternalDBTransactedAccessFile::GetSize(int SessionID) {
  int32_t size = 0, decompressed = 0;
  TABSCompressionAlgorithm algorithm = acaNone;
  bool changed = false;
  GetFileSize(SessionID, size, decompressed, algorithm, changed, true);
  return decompressed;
}

void TVelqorimInternalDBTransactedAccessFile::SetFileSize(int SessionID, int32_t NewSize,
                                                          int32_t DecompressedSize,
                                                          TABSCompressionAlgorithm Algorithm) {
  CheckOpened("SetSize");
  if (NewSize < 0) throw EABSException(20300, "Invalid table file size %d", {NewSize});
  const int dataSize = LPageManager->PageDataSize();
  int32_t stored = 0;
  {
    TVelqorimPageHolder first(*LPageManager, LPageManager->GetPage(SessionID, FStartPageNo, FPageTypeID));
    stored = TPageFileHeader::DecodeFrom(first->PageData()).Size;
  }
  const int oldCount = PagesFor(stored < 0 ? NewSize : stored, dataSize);
  const int newCount = PagesFor(NewSize, dataSize);
  if (newCount > oldCount) {
    TVelqorimPage* last = ChainPage(SessionID, oldCount - 1, true);
    for (int i = oldCount; i < newCount; ++i) {
      TVelqorimPage* added = nullptr;
      try {
        added = LPageManager->AddPage(SessionID, FPageTypeID);
      } catch (...) {
        LPageManager->PutPage(last);
        throw;
      }
      last->PageHeader()->NextPageNo = added->PageNo;
      last->IsDirty = true;
      LPageManager->PutPage(last);
      last = added;
    }
    LPageManager->PutPage(last);
  } else if (newCount < oldCount) {
    // The tail is cut off and its pages given back, so a shrunk file keeps no
    // orphans that a later growth would skip over.
    int32_t next = -1;
    {
      TVelqorimPageHolder last(*LPageManager, ChainPage(SessionID, newCount - 1, true));
      next = last->PageHeader()->NextPageNo;
      last->PageHeader()->NextPageNo = -1;
      last->IsDirty = true;
    }
    for (int i = newCount; i < oldCount && next != -1; ++i) {
      int32_t after = -1;
      {
        TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, next, FPageTypeID));
        after = page->PageHeader()->NextPageNo;
      }
      LPageManager->RemovePage(SessionID, next);
      next = after;
    }
  }
  TVelqorimPageHolder first(*LPageManager, LPageManager->GetPage(SessionID, FStartPageNo, FPageTypeID));
  TPageFileHeader{NewSize, DecompressedSize, static_cast<uint8_t>(Algorithm)}.EncodeTo(first->PageData());
  first->IsDirty = true;
}

void TVelqorimInternalDBTransactedAccessFile::WriteFile(int SessionID, const void* Buffer, int32_t Count,
                                                        TABSCompressionAlgorithm Algorithm,
                                                        int CompressionMode) {
  CheckOpened("WriteFile");
  std::vector<uint8_t> compressed;
  const uint8_t* content = static_cast<const uint8_t*>(Buffer);
  int32_t size = Count;
  if (Algorithm != acaNone) {
    if (!CompressBuffer(Algorithm, static_cast<uint8_t>(CompressionMode), Buffer, Count, compressed, size))
      throw EABSException(20187, "Table file compression error");
    content = compressed.data();
  }
  SetFileSize(SessionID, size, Count, Algorithm);
  const int dataSize = LPageManager->PageDataSize();
  int32_t done = 0;
  int offset = VelqorimPageFileHeaderSize;
  int32_t pageNo = FStartPageNo;
  while (done < size && pageNo != -1) {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, pageNo, FPageTypeID));
    const int32_t part = std::min(size - done, dataSize - offset);
    std::memcpy(page->PageData() + offset, content + done, static_cast<size_t>(part));
    page->IsDirty = true;
    done += part;
    offset = 0;
    pageNo = page->PageHeader()->NextPageNo;
  }
  if (done < size)
    throw EABSException(
        20300, "Error getting %d-th table file page. Probably database is corrupted and needs repair.",
        {PagesFor(done, dataSize)});
}

void TVelqorimInternalDBTransactedAccessFile::ReadFile(int SessionID, void* Buffer, int32_t Count,
                                                       bool SynchronizeAllowed) {
  CheckOpened("ReadFile");
  int32_t size = 0, decompressed = 0;
  TABSCompressionAlgorithm algorithm = acaNone;
  bool changed = false;
  GetFileSize(SessionID, size, decompressed, algorithm, changed, SynchronizeAllowed);
  if (decompressed < Count || Count < 0)
    throw EABSException(30387, "Cannot Read internal file. FileSize=%d. ReadSize=%d", {decompressed, Count});
  if (algorithm > acaPPM || size < 0)
    throw EABSException(20189, "Table file decompression error. Possible table corruption (%s)",
                        {String("unknown compression")});
  const bool plain = algorithm == acaNone;
  std::vector<uint8_t> work;
  uint8_t* target = static_cast<uint8_t*>(Buffer);
  const int32_t wanted = plain ? Count : size;
  if (!plain) {
    work.resize(static_cast<size_t>(size));
    target = work.data();
  }
  const int dataSize = LPageManager->PageDataSize();
  int32_t done = 0;
  int offset = VelqorimPageFileHeaderSize;
  int32_t pageNo = FStartPageNo;
  while (done < wanted && pageNo != -1) {
    TVelqorimPageHolder page(*LPageManager,
                             LPageManager->GetPage(SessionID, pageNo, FPageTypeID, SynchronizeAllowed));
    const int32_t part = std::min(wanted - done, dataSize - offset);
    std::memcpy(target + done, page->PageData() + offset, static_cast<size_t>(part));
    done += part;
    offset = 0;
    pageNo = page->PageHeader()->NextPageNo;
  }
  if (done < wanted)
    throw EABSException(30388, "Cannot Read % bytes from internal file. FileSize=%d. ReadSize=%d, Count=%d",
                        {wanted, done, wanted});
  if (plain) return;
  std::vector<uint8_t> out;
  int32_t outSize = decompressed;
  ClearLastCompressionError();
  if (!DecompressBuffer(algorithm, work.data(), size, out, outSize, decompressed) || outSize != decompressed)
    throw EABSException(20189, "Table file decompression error. Possible table corruption (%s)",
                        {GetLastCompressionError()});
  std::memcpy(Buffer, out.data(), static_cast<size_t>(Count));
}

bool TVelqorimInternalDBTransactedAccessFile::LockFile() {
  CheckOpened("LockFile");
  return LPageManager->LockPageByte(FStartPageNo, 0);
}

bool TVelqorimInternalDBTransactedAccessFile::UnlockFile() {
  CheckOpened("UnlockFile");
  return LPageManager->UnlockPageByte(FStartPageNo, 0);
}

// ---------------------------------------------------------------------------
// Direct-access page-file

void TVelqorimInternalDBDirectAccessFile::CheckOpened(const char* Operation) const {
  if (FStartPageNo == -1)
    throw EABSException(20156, "Cannot perform this operation (%s) on closed internal file",
                        {String(Operation)});
}

void TVelqorimInternalDBDirectAccessFile::CreateFile(int32_t Size) {
  if (FStartPageNo != -1)
    throw EABSException(20157, "Cannot create Internal file. File already exists. StartPageNo=%d",
                        {FStartPageNo});
  const int count = PagesFor(Size, LPageManager->PageDataSize());
  TVelqorimPage* first = LPageManager->AddPage(VelqorimSystemSessionID, FPageTypeID);
  first->EncryptionEnabled = false;
  TPageFileHeader{Size, 0, 0}.EncodeTo(first->PageData());
  FStartPageNo = first->PageNo;
  TVelqorimPage* last = first;
  try {
    for (int i = 1; i < count; ++i) {
      TVelqorimPage* added = LPageManager->AddPage(VelqorimSystemSessionID, FPageTypeID);
      added->EncryptionEnabled = false;
      last->PageHeader()->NextPageNo = added->PageNo;
      LPageManager->PutPage(last);
      last = added;
    }
  } catch (...) {
    LPageManager->PutPage(last);
    throw;
  }
  LPageManager->PutPage(last);
  FFileSize = Size;
}

TVelqorimDiskPageHeader TVelqorimInternalDBDirectAccessFile::ReadChainHeader(int32_t PageNo) {
  TVelqorimDiskPageHeader h{};
  // From the second byte: the first is the page-file's lock byte.
  LPageManager->ReadPageRegion(reinterpret_cast<uint8_t*>(&h) + 1, PageNo, 1, PageHeaderBytes - 1);
  if (h.PageType != FPageTypeID)
    throw EABSException(20155, "Invalid PageType found: %d but expecting: %d",
                        {int{h.PageType}, int{FPageTypeID}});
  return h;
}

int32_t TVelqorimInternalDBDirectAccessFile::OpenFile(int32_t StartPageNo) {
  if (StartPageNo != -1) FStartPageNo = StartPageNo;
  FFilePages.clear();
  const int32_t size = GetSize();
  const int dataSize = LPageManager->PageDataSize();
  if (size < 0)
    throw EABSException(20159, "Seek position bigger then file size. FileSize=%d. Position=%d", {size, 0});
  const int count = PagesFor(size, dataSize);
  int32_t pageNo = FStartPageNo;
  for (int i = 0; i < count && pageNo != -1; ++i) {
    // A chain that loops back is a damaged file, not a reason to run forever.
    if (std::find(FFilePages.begin(), FFilePages.end(), pageNo) != FFilePages.end())
      throw EABSException(
          20300, "Error getting %d-th table file page. Probably database is corrupted and needs repair.",
          {i});
    const TVelqorimDiskPageHeader h = ReadChainHeader(pageNo);
    FFilePages.push_back(pageNo);
    pageNo = h.NextPageNo;
  }
  if (static_cast<int>(FFilePages.size()) < count)
    throw EABSException(
        20300, "Error getting %d-th table file page. Probably database is corrupted and needs repair.",
        {static_cast<int>(FFilePages.size())});
  FFileSize = count == 1 ? dataSize - VelqorimPageFileHeaderSize : size;
  return size;
}

int32_t TVelqorimInternalDBDirectAccessFile::GetSize() {
  CheckOpened("GetSize");
  int32_t size = 0;
  LPageManager->ReadPageRegion(&size, FStartPageNo, PageHeaderBytes + 1, 4);
  return size;
}

void TVelqorimInternalDBDirectAccessFile::DeleteFile(int32_t StartPageNo) {
  if (StartPageNo != -1) FStartPageNo = StartPageNo;
  int32_t pageNo = FStartPageNo;
  std::vector<int32_t> seen;
  while (pageNo != -1 && std::find(seen.begin(), seen.end(), pageNo) == seen.end()) {
    const TVelqorimDiskPageHeader h = ReadChainHeader(pageNo);
    LPageManager->RemovePage(VelqorimSystemSessionID, pageNo);
    seen.push_back(pageNo);
    pageNo = h.NextPageNo;
  }
  CloseFile();
}

void TVelqorimInternalDBDirectAccessFile::Locate(int32_t Position, int& Index, int& Offset) const {
  if (Position > FFileSize || Position < 0)
    throw EABSException(20159, "Seek position bigger then file size. FileSize=%d. Position=%d",
                        {FFileSize, Position});
  const int dataSize = LPageManager->PageDataSize();
  Index = (Position + VelqorimPageFileHeaderSize) / dataSize;
  Offset = PageHeaderBytes + (Position + VelqorimPageFileHeaderSize) % dataSize;
  // The page list comes with OpenFile; a file only just created has none yet.
  if (Index >= static_cast<int>(FFilePages.size()))
    throw EABSException(20159, "Seek position bigger then file size. FileSize=%d. Position=%d",
                        {FFileSize, Position});
}

template <class Transfer>
void TVelqorimInternalDBDirectAccessFile::Walk(int32_t Count, int32_t Position, Transfer&& Step) {
  int index = 0, offset = 0;
  Locate(Position, index, offset);
  int32_t done = 0;
  const int pageSize = LPageManager->PageSize();
  while (done < Count && index < static_cast<int>(FFilePages.size())) {
    const int32_t part = std::min(Count - done, pageSize - offset);
    Step(FFilePages[static_cast<size_t>(index)], static_cast<uint16_t>(offset), static_cast<uint16_t>(part),
         done);
    done += part;
    ++index;
    offset = PageHeaderBytes;
  }
}

void TVelqorimInternalDBDirectAccessFile::ReadBuffer(void* Buffer, int32_t Count, int32_t Position) {
  CheckOpened("DirectReadBuffer");
  auto* out = static_cast<uint8_t*>(Buffer);
  Walk(Count, Position, [&](int32_t PageNo, uint16_t Offset, uint16_t Part, int32_t Done) {
    LPageManager->ReadPageRegion(out + Done, PageNo, Offset, Part);
  });
}

void TVelqorimInternalDBDirectAccessFile::WriteBuffer(const void* Buffer, int32_t Count, int32_t Position) {
  CheckOpened("DirectWriteBuffer");
  const int32_t stored = GetSize();
  if (int64_t{Position} + Count > stored)
    throw EABSException(20158, "Cannot write after end of file. FileSize=%d. Position=%d, Count=%d",
                        {stored, Position, Count});
  const auto* in = static_cast<const uint8_t*>(Buffer);
  Walk(Count, Position, [&](int32_t PageNo, uint16_t Offset, uint16_t Part, int32_t Done) {
    LPageManager->WritePageRegion(in + Done, PageNo, Offset, Part);
  });
}

bool TVelqorimInternalDBDirectAccessFile::LockFile() {
  CheckOpened("LockFile");
  return LPageManager->LockPageByte(FStartPageNo, 0);
}

bool TVelqorimInternalDBDirectAccessFile::UnlockFile() {
  CheckOpened("UnlockFile");
  return LPageManager->UnlockPageByte(FStartPageNo, 0);
}

bool TVelqorimInternalDBDirectAccessFile::LockByte(int32_t ByteNo) {
  CheckOpened("LockByte");
  int index = 0, offset = 0;
  Locate(ByteNo, index, offset);
  return LPageManager->LockPageByte(FFilePages[static_cast<size_t>(index)], static_cast<uint16_t>(offset));
}

bool TVelqorimInternalDBDirectAccessFile::UnlockByte(int32_t ByteNo) {
  CheckOpened("UnlockByte");
  int index = 0, offset = 0;
  Locate(ByteNo, index, offset);
  return LPageManager->UnlockPageByte(FFilePages[static_cast<size_t>(index)], static_cast<uint16_t>(offset));
}

bool TVelqorimInternalDBDirectAccessFile::IsByteLocked(int32_t ByteNo) {
  CheckOpened("IsByteLocked");
  int index = 0, offset = 0;
  Locate(ByteNo, index, offset);
  return LPageManager->IsPageByteLocked(FFilePages[static_cast<size_t>(index)],
                                        static_cast<uint16_t>(offset));
}

bool TVelqorimInternalDBDirectAccessFile::IsRegionLocked(int32_t ByteNo, int32_t ByteCount) {
  CheckOpened("IsRegionLocked");
  if (ByteCount <= 0) return false;
  bool locked = false;
  Walk(ByteCount, ByteNo, [&](int32_t PageNo, uint16_t Offset, uint16_t Part, int32_t) {
    locked = locked || LPageManager->IsPageRegionLocked(PageNo, Offset, Part);
  });
  return locked;
}

// ---------------------------------------------------------------------------
// System directory

void TVelqorimSystemDirectory::CreateDirectory() {
  FHandle.CreateFile(VelqorimSystemSessionID);
  if (FHandle.StartPageNo() != VelqorimSystemDirectoryPageNo)
    throw EABSException(30392, "Error Creating SystemDirectory. SystemDirectoryPageNo=%d. Real PageNo=%d.",
                        {FHandle.StartPageNo(), VelqorimSystemDirectoryPageNo});
}

void TVelqorimSystemDirectory::LoadDirectory() {
  FHandle.OpenFile(VelqorimSystemDirectoryPageNo);
  const int32_t size = PlainContentSize(FHandle);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  FHandle.ReadFile(VelqorimSystemSessionID, bytes.data(), size, true);
  FFileList.resize(static_cast<size_t>(size) / sizeof(TVelqorimSystemDirectoryListItem));
  if (!FFileList.empty())
    std::memcpy(FFileList.data(), bytes.data(), FFileList.size() * sizeof(TVelqorimSystemDirectoryListItem));
}

void TVelqorimSystemDirectory::SaveDirectory() {
  FHandle.WriteFile(VelqorimSystemSessionID, FFileList.data(),
                    static_cast<int32_t>(FFileList.size() * sizeof(TVelqorimSystemDirectoryListItem)),
                    acaNone, 0);
}

int32_t TVelqorimSystemDirectory::GetFileFirstPageNo(TVelqorimDBFileType FileType) const {
  for (const TVelqorimSystemDirectoryListItem& item : FFileList)
    if (item.FileID == FileType) return item.FirstPageNo;
  return -1;
}

// ---------------------------------------------------------------------------
// Table list

namespace {
AnsiString ItemName(const TVelqorimTableListItem& Item) {
  return AnsiString(reinterpret_cast<const char*>(Item.TableName) + 1, Item.TableName[0]);
}
void SetItemName(TVelqorimTableListItem& Item, const AnsiString& Name) {
  const size_t length = std::min<size_t>(Name.size(), 255);
  Item.TableName[0] = static_cast<uint8_t>(length);
  std::memcpy(Item.TableName + 1, Name.data(), length);
}
}  // namespace

int32_t TVelqorimTableListFile::CreateFile() {
  TVelqorimInternalDBTransactedAccessFile file(LPageManager, ptTableList);
  file.CreateFile(VelqorimSystemSessionID);
  return file.StartPageNo();
}

void TVelqorimTableListFile::OpenFile(int32_t aStartPageNo) {
  if (FHandle) throw EABSException(30393, "Table list file already opened.");
  FHandle = std::make_unique<TVelqorimInternalDBTransactedAccessFile>(LPageManager, ptTableList);
  FHandle->OpenFile(aStartPageNo);
}

void TVelqorimTableListFile::Load() {
  if (!FHandle)
    throw EABSException(30389, "Cannot perform this operation (%s) on closed internal file", {"ReadFile"});
  const int32_t size = PlainContentSize(*FHandle);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  FHandle->ReadFile(VelqorimSystemSessionID, bytes.data(), size, true);
  FTableList.resize(static_cast<size_t>(size) / sizeof(TVelqorimTableListItem));
  if (!FTableList.empty())
    std::memcpy(FTableList.data(), bytes.data(), FTableList.size() * sizeof(TVelqorimTableListItem));
}

void TVelqorimTableListFile::Save() {
  if (!FHandle)
    throw EABSException(30389, "Cannot perform this operation (%s) on closed internal file", {"WriteFile"});
  FHandle->WriteFile(VelqorimSystemSessionID, FTableList.data(),
                     static_cast<int32_t>(FTableList.size() * sizeof(TVelqorimTableListItem)), acaNone, 0);
}

int TVelqorimTableListFile::Find(const AnsiString& TableName) const {
  const AnsiString wanted = AnsiUpperCaseText(TableName.substr(0, 255));
  for (size_t i = 0; i < FTableList.size(); ++i)
    if (AnsiUpperCaseText(ItemName(FTableList[i])) == wanted) return static_cast<int>(i);
  return -1;
}

void TVelqorimTableListFile::AddTable(int32_t TableID, const AnsiString& TableName,
                                      int32_t MetadataFilePageNo, int32_t MostUpdatedFilePageNo,
                                      int32_t LocksFilePageNo) {
  if (Find(TableName) >= 0)
    throw EABSException(30395, "Cannot create table. Table '%s' already exists", {AnsiToUTF8(TableName)});
  TVelqorimTableListItem item{};
  SetItemName(item, TableName);
  item.TableID = TableID;
  item.MetaDataFilePageNo = MetadataFilePageNo;
  item.MostUpdatedFilePageNo = MostUpdatedFilePageNo;
  item.LocksFilePageNo = LocksFilePageNo;
  FTableList.push_back(item);
}

void TVelqorimTableListFile::OpenTable(const AnsiString& TableName, int32_t& TableID,
                                       int32_t& MetadataFilePageNo, int32_t& MostUpdatedFilePageNo,
                                       int32_t& LocksFilePageNo) const {
  const int i = Find(TableName);
  if (i < 0) throw EABSException(30396, "Table '%s' not exists.", {AnsiToUTF8(TableName)});
  const TVelqorimTableListItem& item = FTableList[static_cast<size_t>(i)];
  TableID = item.TableID;
  MetadataFilePageNo = item.MetaDataFilePageNo;
  MostUpdatedFilePageNo = item.MostUpdatedFilePageNo;
  LocksFilePageNo = item.LocksFilePageNo;
}

void TVelqorimTableListFile::RemoveTable(const AnsiString& TableName) {
  const int i = Find(TableName);
  if (i < 0) throw EABSException(30405, "Table '%s' not exists.", {AnsiToUTF8(TableName)});
  FTableList.erase(FTableList.begin() + i);
}

void TVelqorimTableListFile::RenameTable(const AnsiString& TableName, const AnsiString& NewTableName) {
  const int i = Find(TableName);
  if (i < 0) throw EABSException(30397, "Table '%s' not exists.", {AnsiToUTF8(TableName)});
  SetItemName(FTableList[static_cast<size_t>(i)], NewTableName);
}

void TVelqorimTableListFile::GetTablesList(TStrings& List) {
  Load();
  List.Clear();
  for (const TVelqorimTableListItem& item : FTableList) List.Add(AnsiToUTF8(ItemName(item)));
}

// ---------------------------------------------------------------------------
// Session slots

template <class Operation>
auto TVelqorimActiveSessionsFile::Locked(int UnlockErrorCode, Operation&& Op) {
  if (!FHandle)
    throw EABSException(20156, "Cannot perform this operation (%s) on closed internal file", {"LockFile"});
  const bool locked = RetryOperation(RetryConfig().ShortLockTryCount, RetryConfig().ShortLockDelayMS,
                                     [this] { return FHandle->LockFile(); });
  auto unlock = [&] {
    if (locked && !FHandle->UnlockFile()) throw EABSException(UnlockErrorCode, "Cannot unlock sessions file");
  };
  try {
    auto result = Op();
    unlock();
    return result;
  } catch (...) {
    unlock();
    throw;
  }
}

int32_t TVelqorimActiveSessionsFile::CreateFile(int32_t aMaxSessionCount) {
  TVelqorimInternalDBDirectAccessFile file(LPageManager, ptActiveSessionList);
  file.CreateFile(aMaxSessionCount);
  return file.StartPageNo();
}

void TVelqorimActiveSessionsFile::OpenFile(int32_t aStartPageNo) {
  FHandle = std::make_unique<TVelqorimInternalDBDirectAccessFile>(LPageManager, ptActiveSessionList);
  FHandle->OpenFile(aStartPageNo);
  FMaxSessionCount = std::min(FHandle->GetSize(), FHandle->FileSize());
  if (FMaxSessionCount <= 0) throw EABSException(20237, "Invalid database format");
}

int TVelqorimActiveSessionsFile::MultiUserConnect() {
  if (!LPageManager->MultiUser) return 0;
  return Locked(20093, [this] {
    for (int slot = 0; slot < FMaxSessionCount; ++slot)
      if (FHandle->LockByte(slot)) return slot;
    throw EABSException(
        20094,
        "Cannot connect session. Maximum connections quantity exceeded or database is open in "
        "single-user mode");
  });
}

void TVelqorimActiveSessionsFile::MultiUserDisconnect(int SessionID) {
  if (!LPageManager->MultiUser) return;
  Locked(20096, [&] {
    if (!FHandle->UnlockByte(SessionID)) throw EABSException(20095, "Cannot disconnect session");
    return true;
  });
}

// All slots or none: a slot another process takes midway gives back those
// taken so far.
bool TVelqorimActiveSessionsFile::SingleUserConnect() {
  return Locked(20240, [this] {
    if (FHandle->IsRegionLocked(0, FMaxSessionCount)) return false;
    for (int slot = 0; slot < FMaxSessionCount; ++slot) {
      if (FHandle->LockByte(slot)) continue;
      for (int taken = 0; taken < slot; ++taken) FHandle->UnlockByte(taken);
      return false;
    }
    return true;
  });
}

void TVelqorimActiveSessionsFile::SingleUserDisconnect() {
  Locked(20241, [this] {
    bool all = true;
    for (int slot = 0; slot < FMaxSessionCount; ++slot) all = FHandle->UnlockByte(slot) && all;
    if (!all) throw EABSException(20241, "Cannot unlock sessions file");
    return true;
  });
}

int TVelqorimActiveSessionsFile::GetDBFileConnectionsCount() {
  return Locked(30484, [this] {
    int count = 0;
    for (int slot = 0; slot < FMaxSessionCount; ++slot) count += FHandle->IsByteLocked(slot) ? 1 : 0;
    return count;
  });
}
