#include "db/storage/VelqorimTempEngine.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "platform/os/Files.h"

std::function<int64_t()> VelqorimFreeMemorySource;

int64_t VelqorimFreeMemory() {
  const int64_t free = VelqorimFreeMemorySource ? VelqorimFreeMemorySource() : MemoryManager().GetFreeMemorySize();
  return std::clamp<int64_t>(free, 0, INT32_MAX);
}

// ---------------------------------------------------------------------------
// Spill files

std::atomic<int> TVelqorimSpillFile::OpenCount{0};

TVelqorimSpillFile::TVelqorimSpillFile() {
  String dir = GetTempDir();
  if (dir.empty()) dir = P_tmpdir;
  FHandle = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  if (FHandle < 0) {
    String name = dir + "/velqorim-spill-XXXXXX";
    FHandle = ::mkostemp(name.data(), O_CLOEXEC);
    if (FHandle >= 0) ::unlink(name.c_str());
  }
  if (FHandle < 0) throw EABSException(10104, "Cannot create file. FileName = %s", {dir});
  ++OpenCount;
}

TVelqorimSpillFile::~TVelqorimSpillFile() {
  ::close(FHandle);
  --OpenCount;
}

void TVelqorimSpillFile::WriteAt(int64_t Position, const void* Buffer, int64_t Count, int Code) {
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::pwrite(FHandle, static_cast<const uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done),
                               Position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EABSException(Code, "Error writing to stream");
    done += n;
  }
}

void TVelqorimSpillFile::ReadAt(int64_t Position, void* Buffer, int64_t Count, int Code) {
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n =
        ::pread(FHandle, static_cast<uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done), Position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw EABSException(
          Code, "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d",
          {Position, Size(), Count, done});
    done += n;
  }
}

int64_t TVelqorimSpillFile::Size() const {
  const off_t end = ::lseek(FHandle, 0, SEEK_END);
  return end < 0 ? 0 : end;
}

void TVelqorimSpillFile::SetSize(int64_t Value) {
  if (::ftruncate(FHandle, Value) != 0) throw EABSException(10125, "Error writing to stream");
}

// ---------------------------------------------------------------------------
// Record manager

TVelqorimTemporaryRecordManager::TVelqorimTemporaryRecordManager(int aRecordBufferSize, int aRecordsPerPage,
                                                                 int aAllocRecordsBy, bool aDisableTempFiles)
    : RecordsPerPage(std::max(aRecordsPerPage, 1)),
      MaxCachedRecordCount(0),
      AllocRecordsBy(std::max(aAllocRecordsBy, 1)),
      DisableTempFiles(aDisableTempFiles) {
  if (aRecordBufferSize == 0) throw EABSException(10124, "Invalid record size = 0");
  RecordBufferSize = aRecordBufferSize;
  MaxCachedRecordCount = static_cast<int32_t>(VelqorimFreeMemory() / 10 / RecordBufferSize);
  FTempPage.resize(static_cast<size_t>(CheckedMul<int64_t>(RecordsPerPage, RecordBufferSize)));
}

TVelqorimTemporaryRecordManager::~TVelqorimTemporaryRecordManager() { Empty(-2); }

void TVelqorimTemporaryRecordManager::Empty(int SessionID) {
  (void)SessionID;
  MemoryManager().FreeAndNillMem(FCache);
  CachedRecordCount = AllocatedRecordCount = 0;
  FTempPageRecordCount = 0;
  FFile.reset();
  RecordCount = 0;
  ++TableState;
}

int64_t TVelqorimTemporaryRecordManager::OrdinalOf(TABSPageItemID RecordID) {
  return int64_t{static_cast<uint32_t>(RecordID.PageNo)} | (int64_t{RecordID.PageItemNo} << 32);
}

TABSPageItemID TVelqorimTemporaryRecordManager::IdOf(int64_t Ordinal) {
  return {static_cast<int32_t>(static_cast<uint32_t>(Ordinal & 0xFFFFFFFF)),
          static_cast<uint16_t>((Ordinal >> 32) & 0xFFFF)};
}

void TVelqorimTemporaryRecordManager::FlushTempPage() {
  if (FTempPageRecordCount == 0) return;
  if (FTempPageRecordCount > RecordsPerPage)
    throw EABSException(10126, "Invalid record count = %d. Limit is %d", {FTempPageRecordCount, RecordsPerPage});
  const int64_t first = RecordCount - MaxCachedRecordCount - FTempPageRecordCount;
  FFile->WriteAt(first * RecordBufferSize, FTempPage.data(), int64_t{FTempPageRecordCount} * RecordBufferSize,
                 10125);
  FTempPageRecordCount = 0;
}

bool TVelqorimTemporaryRecordManager::AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) {
  (void)SessionID;
  try {
    if (RecordCount >= (int64_t{1} << 48) - 1) return false;
    const bool spillAllowed = !DisableTempFiles;
    if (CachedRecordCount == RecordCount &&
        (CachedRecordCount < AllocatedRecordCount || !spillAllowed || AllocatedRecordCount < MaxCachedRecordCount)) {
      if (CachedRecordCount >= AllocatedRecordCount) {
        int32_t grown = CheckedAdd<int32_t>(AllocatedRecordCount, AllocRecordsBy);
        if (spillAllowed) grown = std::min(grown, MaxCachedRecordCount);
        MemoryManager().ReallocMem(FCache, CheckedMul<int64_t>(grown, RecordBufferSize));
        AllocatedRecordCount = grown;
      }
      std::memcpy(FCache + int64_t{CachedRecordCount} * RecordBufferSize, RecordBuffer,
                  static_cast<size_t>(RecordBufferSize));
      ++CachedRecordCount;
    } else {
      // Records past the cache go through a page of RecordsPerPage to the file.
      if (!FFile) FFile = std::make_unique<TVelqorimSpillFile>();
      if (FTempPageRecordCount == RecordsPerPage) FlushTempPage();
      std::memcpy(FTempPage.data() + int64_t{FTempPageRecordCount} * RecordBufferSize, RecordBuffer,
                  static_cast<size_t>(RecordBufferSize));
      ++FTempPageRecordCount;
    }
    RecordID = IdOf(RecordCount);
    ++RecordCount;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TVelqorimTemporaryRecordManager::ReadRecord(int64_t Ordinal, uint8_t* Buffer) {
  if (Ordinal < CachedRecordCount) {
    if (FCache == nullptr) throw EABSException(10127, "Error retrieving record");
    std::memcpy(Buffer, FCache + Ordinal * RecordBufferSize, static_cast<size_t>(RecordBufferSize));
    return;
  }
  const int64_t inPage = Ordinal - (RecordCount - FTempPageRecordCount);
  if (inPage >= 0) {
    std::memcpy(Buffer, FTempPage.data() + inPage * RecordBufferSize, static_cast<size_t>(RecordBufferSize));
    return;
  }
  FFile->ReadAt((Ordinal - CachedRecordCount) * RecordBufferSize, Buffer, RecordBufferSize, 10130);
}

void TVelqorimTemporaryRecordManager::GetRecordBuffer(int SessionID, TABSNavigationInfo& Nav) {
  (void)SessionID;
  if (RecordCount == 0) {
    Nav.GetRecordResult = grrEOF;
    return;
  }
  const int64_t current = OrdinalOf(Nav.RecordID);
  int64_t ordinal = -1;
  Nav.GetRecordResult = grrError;
  if (Nav.FirstPosition) {
    if (Nav.GetRecordMode == grmNext) ordinal = 0;
    else if (Nav.GetRecordMode == grmPrior) Nav.GetRecordResult = grrBOF;
  } else if (Nav.LastPosition) {
    if (Nav.GetRecordMode == grmPrior) ordinal = RecordCount - 1;
    else if (Nav.GetRecordMode == grmNext) Nav.GetRecordResult = grrEOF;
  } else if (Nav.GetRecordMode == grmCurrent) {
    if (current < RecordCount) ordinal = current;
  } else if (Nav.GetRecordMode == grmNext) {
    if (current >= RecordCount - 1) {
      Nav.GetRecordResult = grrEOF;
      Nav.LastPosition = true;
    } else {
      ordinal = current + 1;
    }
  } else {
    if (current < 1) {
      Nav.GetRecordResult = grrBOF;
      Nav.FirstPosition = true;
    } else {
      ordinal = std::min(current, RecordCount) - 1;
    }
  }
  if (ordinal < 0) return;
  ReadRecord(ordinal, Nav.RecordBuffer);
  Nav.RecordID = IdOf(ordinal);
  Nav.FirstPosition = Nav.LastPosition = false;
  Nav.GetRecordResult = grrOK;
}

int TVelqorimTemporaryRecordManager::CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) {
  const int64_t a = OrdinalOf(RecordID1), b = OrdinalOf(RecordID2);
  return (a > b) - (a < b);
}

int64_t TVelqorimTemporaryRecordManager::GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) {
  (void)SessionID;
  const int64_t ordinal = OrdinalOf(RecordID);
  return ordinal < RecordCount ? ordinal + 1 : -1;
}

// ---------------------------------------------------------------------------
// Page store

TVelqorimTemporaryPageManager::TVelqorimTemporaryPageManager(bool aDisableTempFiles)
    : MaxMemoryPageCount(static_cast<int32_t>(VelqorimFreeMemory() / 10 / 4096)), DisableTempFiles(aDisableTempFiles) {
  PageSize = 4096;
  PageHeaderSize = 0;
}

TVelqorimTemporaryPageManager::~TVelqorimTemporaryPageManager() = default;

int64_t TVelqorimTemporaryPageManager::SpillFileSize() const { return FFile ? FFile->Size() : 0; }

void TVelqorimTemporaryPageManager::InternalAddPage(TVelqorimPage& aPage) {
  if (DisableTempFiles || FMemoryPages.GetPageCount() < MaxMemoryPageCount) {
    FMemoryPages.InternalAddPage(aPage);
    ++FPageCount;
    return;
  }
  if (!FFile) FFile = std::make_unique<TVelqorimSpillFile>();
  int32_t n = -1;
  if (!FFilePageMap.FindBit(false, n)) {
    n = FFilePageMap.Size();
    FFilePageMap.SetSize(CheckedAdd<int32_t>(n, 64));
  }
  FFilePageMap.SetBit(n, true);
  const int32_t no = CheckedAdd<int32_t>(MaxMemoryPageCount, n);
  // The file grows by half again of what it needs, not page by page.
  const int64_t needed = FileOffset(no) + PageSize;
  if (FFile->Size() < needed) FFile->SetSize(needed + needed / 2);
  ++FPageCount;
  if (!aPage.OwnBuffer || aPage.PageBuffer == nullptr) {
    aPage.PageBuffer = nullptr;
    aPage.OwnBuffer = true;
    aPage.PageNo = no;
    aPage.AllocPageBuffer();
  } else {
    aPage.ClearPageBuffer();
  }
  aPage.PageNo = no;
}

void TVelqorimTemporaryPageManager::InternalRemovePage(int32_t PageNo) {
  if (IsFilePage(PageNo)) {
    const int32_t n = PageNo - MaxMemoryPageCount;
    if (n >= FFilePageMap.Size() || !FFilePageMap.GetBit(n)) return;
    FFilePageMap.SetBit(n, false);
    // The last file page gone: the file goes too.
    if (FFilePageMap.NonZeroBitCount() == 0) FFile.reset();
  } else {
    if (!FMemoryPages.IsAllocated(PageNo)) return;
    FMemoryPages.InternalRemovePage(PageNo);
  }
  --FPageCount;
}

bool TVelqorimTemporaryPageManager::InternalReadPage(TVelqorimPage& aPage) {
  if (!IsFilePage(aPage.PageNo)) {
    if (!FMemoryPages.IsAllocated(aPage.PageNo)) throw EABSException(10396, "Page allocation not released");
    return FMemoryPages.InternalReadPage(aPage);
  }
  const int32_t n = aPage.PageNo - MaxMemoryPageCount;
  if (n >= FFilePageMap.Size() || !FFilePageMap.GetBit(n)) throw EABSException(10396, "Page allocation not released");
  if (!FFile) throw EABSException(30482, "Invalid pointer");
  if (!aPage.OwnBuffer || aPage.PageBuffer == nullptr) {
    aPage.PageBuffer = nullptr;
    aPage.OwnBuffer = true;
    aPage.AllocPageBuffer();
  }
  FFile->ReadAt(FileOffset(aPage.PageNo), aPage.PageBuffer, PageSize, 10396);
  return true;
}

void TVelqorimTemporaryPageManager::InternalWritePage(TVelqorimPage& aPage) {
  if (!IsFilePage(aPage.PageNo)) {
    if (!FMemoryPages.IsAllocated(aPage.PageNo)) throw EABSException(10397, "Page allocation not released");
    FMemoryPages.InternalWritePage(aPage);
    return;
  }
  const int32_t n = aPage.PageNo - MaxMemoryPageCount;
  if (n >= FFilePageMap.Size() || !FFilePageMap.GetBit(n)) throw EABSException(10397, "Page allocation not released");
  if (!FFile) FFile = std::make_unique<TVelqorimSpillFile>();
  FFile->WriteAt(FileOffset(aPage.PageNo), aPage.PageBuffer, PageSize, 10397);
}

// ---------------------------------------------------------------------------
// Table data

TVelqorimTemporaryTableData::TVelqorimTemporaryTableData(TVelqorimDatabaseData* aDatabaseData, int aRecordsPerPage,
                                                         int aAllocRecordsBy)
    : TVelqorimImmediateTableData(aDatabaseData), RecordsPerPage(aRecordsPerPage), AllocRecordsBy(aAllocRecordsBy) {
  PageManager = nullptr;
}

TVelqorimTemporaryTableData::~TVelqorimTemporaryTableData() {
  try {
    if (RecordManager) RecordManager->Empty(-2);
    if (IndexManager && FPageManager) {
      IndexManager->DropAllIndexes(-2);
      FPageManager->ApplyChanges(-2);
    }
  } catch (...) {
    // A destructor must not raise; the stores go with this object anyway.
  }
  IndexManager.reset();
}

TVelqorimTemporaryRecordManager& TVelqorimTemporaryTableData::Records() const {
  return static_cast<TVelqorimTemporaryRecordManager&>(*RecordManager);
}

void TVelqorimTemporaryTableData::CreateRecordManager() {
  RecordManager.reset();
  RecordManager = std::make_unique<TVelqorimTemporaryRecordManager>(GetRecordSize(), RecordsPerPage, AllocRecordsBy,
                                                                    DisableTempFiles);
}

void TVelqorimTemporaryTableData::CreateBLOBFile() {
  if (DisableTempFiles) {
    FBLOBFile = std::make_unique<TABSMemoryStream>(nullptr, 0x100000);
  } else {
    FBLOBFile = std::make_unique<TABSTemporaryStream>(false);
  }
}

void TVelqorimTemporaryTableData::CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs,
                                              TVelqorimIndexDefs& IndexDefs, TVelqorimConstraintDefs& ConstraintDefs) {
  if (FieldDefs.Count() == 0) throw EABSException(10132, "Error creating table - no fields were specified");
  if (Cursor != nullptr) {
    TableName = Cursor->TableName;
    DisableTempFiles = Cursor->DisableTempFiles;
  }
  FPageManager = std::make_unique<TVelqorimTemporaryPageManager>(DisableTempFiles);
  PageManager = FPageManager.get();
  CreateFieldManager(FieldDefs);
  CreateIndexManager(IndexDefs);
  CreateConstraintManager(ConstraintDefs);
  CreateRecordManager();
  if (Cursor != nullptr) InitCursorRecordLayout(*Cursor);
  if (FieldManager->BlobFieldsPresent()) CreateBLOBFile();
  IndexManager->CreateIndexesByIndexDefs(Cursor);
  Commit(Cursor);
}

void TVelqorimTemporaryTableData::EmptyTable(TVelqorimCursor* Cursor) {
  (void)Cursor;
  TVelqorimTableData::EmptyTable(nullptr);
  RecordManager->Empty(-2);
  // A fresh BLOB stream, so that the emptied table takes BLOBs again.
  if (FBLOBFile) CreateBLOBFile();
  if (PageManager != nullptr) PageManager->ApplyChanges(-2);
}

int64_t TVelqorimTemporaryTableData::GetBitmapRecNoByRecordID(TABSPageItemID RecordID) {
  return TVelqorimTemporaryRecordManager::OrdinalOf(RecordID);
}

TABSPageItemID TVelqorimTemporaryTableData::GetRecordIDByBitmapRecNo(int64_t RecNo) {
  return TVelqorimTemporaryRecordManager::IdOf(RecNo);
}

int64_t TVelqorimTemporaryTableData::BlobPositionOf(const uint8_t* RecordBuffer, int FieldNo) const {
  int64_t position = 0;
  std::memcpy(&position, RecordBuffer + FieldManager->FieldDefs[FieldNo]->MemoryOffset, sizeof position);
  return position;
}

void TVelqorimTemporaryTableData::SetBlobPosition(uint8_t* RecordBuffer, int FieldNo, int64_t Position) {
  const TVelqorimFieldDef& def = *FieldManager->FieldDefs[FieldNo];
  std::memset(RecordBuffer + def.MemoryOffset, 0, static_cast<size_t>(def.MemoryDataSize));
  std::memcpy(RecordBuffer + def.MemoryOffset, &Position, sizeof Position);
  SetBitInBuffer(false, FieldNo, RecordBuffer);
}

int64_t TVelqorimTemporaryTableData::AppendBlob(const TABSPartialTemporaryBLOBDescriptor& Descriptor, TStream& Bytes,
                                                int64_t From) {
  TABSStream& file = *FBLOBFile;
  const int64_t position = file.Seek(0, soEnd);
  if (position < 0) throw EABSException(10422, "Cannot set stream position to %d", {int64_t{0}});
  if (file.Write(&Descriptor, sizeof Descriptor) != static_cast<int64_t>(sizeof Descriptor))
    throw EABSException(10145,
                        "Cannot write to stream. Position = %d, Stream size = %d, Block size = %d, Bytes Write = %d",
                        {position, file.Size(), int64_t{sizeof Descriptor}, int64_t{0}});
  std::vector<uint8_t> chunk(64 * 1024);
  Bytes.SetPosition(From);
  for (int64_t left = Descriptor.CompressedSize; left > 0;) {
    const int64_t n = Bytes.Read(chunk.data(), std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
    if (n <= 0)
      throw EABSException(10117,
                          "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d",
                          {Bytes.Position(), Bytes.Size(), left, n});
    WriteToStreamChecked(chunk.data(), n, file, 10145);
    left -= n;
  }
  return position;
}

TABSPartialTemporaryBLOBDescriptor TVelqorimTemporaryTableData::ReadBlobDescriptor(int64_t Position, int SeekCode,
                                                                                    int ReadCode) {
  SetStreamPositionChecked(*FBLOBFile, SeekCode, Position);
  TABSPartialTemporaryBLOBDescriptor d{};
  ReadFromStreamChecked(&d, sizeof d, *FBLOBFile, ReadCode);
  if (d.CompressedSize < 0 || d.CompressedSize > FBLOBFile->Size() - FBLOBFile->Position())
    throw EABSException(ReadCode, "Invalid BLOB entry at %d", {Position});
  return d;
}

void TVelqorimTemporaryTableData::WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo,
                                                               TABSStream& BLOBStream) {
  if (!FBLOBFile) throw EABSException(10144, "Nil pointer occured");
  if (!BLOBStream.Modified()) return;
  auto& stream = dynamic_cast<TVelqorimLocalBLOBStream&>(BLOBStream);
  if (stream.Size() == 0) {
    SetBitInBuffer(true, FieldNo, Cursor.CurrentRecordBuffer);
    return;
  }
  TABSPartialTemporaryBLOBDescriptor d{};
  d.NumBlocks = static_cast<int32_t>(stream.Compressed().BLOBDescriptor().NumBlocks);
  d.UncompressedSize = stream.Compressed().Size();
  d.CompressedSize = stream.WorkStream().Size();
  SetBlobPosition(Cursor.CurrentRecordBuffer, FieldNo, AppendBlob(d, stream.WorkStream(), 0));
}

TABSStream* TVelqorimTemporaryTableData::InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                                                  TABSBLOBOpenMode OpenMode) {
  if (!FBLOBFile) throw EABSException(10140, "Nil pointer occured");
  const TVelqorimFieldDef& def = *FieldManager->FieldDefs[FieldNo];
  TABSBLOBDescriptor descriptor;
  descriptor.BlockSize = def.BLOBBlockSize;
  descriptor.CompressionAlgorithm = def.BLOBCompressionAlgorithm;
  descriptor.CompressionMode = def.BLOBCompressionMode;
  auto work = std::make_unique<TABSTemporaryStream>(DisableTempFiles);
  const uint8_t* record = Cursor.CurrentRecordBuffer;
  if (ToInsert || OpenMode == bomWrite || record == nullptr || GetBitInBuffer(FieldNo, record))
    return new TVelqorimLocalBLOBStream(std::move(work), descriptor, true, &Cursor, OpenMode, FieldNo);
  const TABSPartialTemporaryBLOBDescriptor d = ReadBlobDescriptor(BlobPositionOf(record, FieldNo), 10141, 10142);
  work->LoadFromStreamWithPosition(*FBLOBFile, FBLOBFile->Position(), d.CompressedSize);
  descriptor.NumBlocks = d.NumBlocks;
  descriptor.UncompressedSize = d.UncompressedSize;
  return new TVelqorimLocalBLOBStream(std::move(work), descriptor, false, &Cursor, OpenMode, FieldNo);
}

void TVelqorimTemporaryTableData::GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                    TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                    uint8_t*& pBlobData) {
  (void)Cursor;
  BLOBDescriptor = {};
  pBlobData = nullptr;
  if (GetBitInBuffer(FieldNo, RecordBuffer)) return;
  if (!FBLOBFile) throw EABSException(10140, "Nil pointer occured");
  const int64_t previous = FBLOBFile->Position();
  BLOBDescriptor = ReadBlobDescriptor(BlobPositionOf(RecordBuffer, FieldNo), 10509, 10510);
  pBlobData = static_cast<uint8_t*>(MemoryManager().GetMem(std::max(int64_t{BLOBDescriptor.CompressedSize}, int64_t{1})));
  try {
    ReadFromStreamChecked(pBlobData, BLOBDescriptor.CompressedSize, *FBLOBFile, 10510);
  } catch (...) {
    MemoryManager().FreeAndNillMem(pBlobData);
    throw;
  }
  FBLOBFile->SetPosition(previous);
}

void TVelqorimTemporaryTableData::SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                    TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                    uint8_t*& pBlobData) {
  (void)Cursor;
  if (!FBLOBFile) throw EABSException(10506, "Nil pointer occured");
  if (BLOBDescriptor.UncompressedSize == 0) {
    SetBitInBuffer(true, FieldNo, RecordBuffer);
    return;
  }
  TABSMemoryStream bytes;
  bytes.Write(pBlobData, BLOBDescriptor.CompressedSize);
  SetBlobPosition(RecordBuffer, FieldNo, AppendBlob(BLOBDescriptor, bytes, 0));
}

bool TVelqorimTemporaryTableData::InsertRecord(TVelqorimCursor*& Cursor) {
  if (!RecordManager) throw EABSException(10134, "Nil pointer occured");
  if (Cursor->CurrentRecordBuffer == nullptr) throw EABSException(10135, "Nil pointer occured");
  TABSPageItemID id{-1, 0};
  bool ok = false;
  try {
    ok = RecordManager->AddRecord(CursorSessionID(Cursor), Cursor->CurrentRecordBuffer, id);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) return false;
  Cursor->CurrentRecordID = id;
  MarkInBitmap(*Cursor);
  IndexManager->InsertRecord(*Cursor);
  Cursor->FirstPosition = Cursor->LastPosition = false;
  Commit(Cursor);
  return true;
}

void TVelqorimTemporaryTableData::InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) {
  if (!RecordManager) throw EABSException(10136, "Nil pointer occured");
  Cursor.CurrentRecordID = TVelqorimTemporaryRecordManager::IdOf(RecNo < 2 ? 0 : RecNo - 1);
}

int64_t TVelqorimTemporaryTableData::InternalGetRecNo(TVelqorimCursor& Cursor) {
  if (!RecordManager) throw EABSException(10137, "Nil pointer occured");
  return TVelqorimTemporaryRecordManager::OrdinalOf(Cursor.CurrentRecordID) + 1;
}

int64_t TVelqorimTemporaryTableData::InternalGetRecordCount(TVelqorimCursor& Cursor) {
  (void)Cursor;
  if (!RecordManager) throw EABSException(10133, "Nil pointer occured");
  return RecordManager->RecordCount;
}

// ---------------------------------------------------------------------------
// Database data

TVelqorimTemporaryDatabaseData::TVelqorimTemporaryDatabaseData() { DatabaseName = "TEMP"; }

TVelqorimTableData* TVelqorimTemporaryDatabaseData::CreateTableData(TVelqorimCursor& Cursor) {
  auto* t = new TVelqorimTemporaryTableData(this, 10, 1000);
  t->TableName = Cursor.TableName;
  AddTableData(t);
  return t;
}

