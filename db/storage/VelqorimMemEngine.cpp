#include "db/storage/VelqorimMemEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

int CursorSessionID(const TVelqorimCursor* Cursor) {
  return Cursor != nullptr && Cursor->Session != nullptr ? Cursor->Session->SessionID : -2;
}

bool CursorInTransaction(const TVelqorimCursor* Cursor) {
  return Cursor != nullptr && Cursor->Session != nullptr && Cursor->Session->InTransaction;
}

// ---------------------------------------------------------------------------
// Record manager

TVelqorimMemoryRecordManager::TVelqorimMemoryRecordManager(int aRecordBufferSize, int aAllocRecordsBy)
    : AllocRecordsBy(std::max(aAllocRecordsBy, 1)) {
  if (aRecordBufferSize == 0 && !DesignTimeFlag) throw EABSException(10011, "Invalid record size = 0");
  RecordBufferSize = aRecordBufferSize;
  for (int b = 0; b < 256; ++b) FBitsTable[b] = static_cast<uint8_t>(8 - __builtin_popcount(static_cast<unsigned>(b)));
}

TVelqorimMemoryRecordManager::~TVelqorimMemoryRecordManager() { Empty(-2); }

void TVelqorimMemoryRecordManager::Empty(int SessionID) {
  (void)SessionID;
  MemoryManager().FreeAndNillMem(FRecordBuffer);
  MemoryManager().FreeAndNillMem(FDeleteFlagBuffer);
  RecordCount = 0;
  AllocatedRecordCount = 0;
  FirstRecordID = LastRecordID = 0;
  FFreeSearchStart = 0;
  ++TableState;
}

bool TVelqorimMemoryRecordManager::IsLive(int32_t Slot) const {
  return Slot >= 0 && Slot < AllocatedRecordCount && (FDeleteFlagBuffer[Slot >> 3] & (1u << (Slot & 7))) == 0;
}

const uint8_t* TVelqorimMemoryRecordManager::StoredRecord(int32_t Slot) const {
  return IsLive(Slot) ? FRecordBuffer + int64_t{Slot} * RecordBufferSize : nullptr;
}

void TVelqorimMemoryRecordManager::SetDeleted(int32_t Slot, bool Value) {
  const uint8_t bit = static_cast<uint8_t>(1u << (Slot & 7));
  if (Value) FDeleteFlagBuffer[Slot >> 3] |= bit;
  else FDeleteFlagBuffer[Slot >> 3] &= static_cast<uint8_t>(~bit);
}

// Grows by the table's step, or by a quarter of what it holds when that is
// more, so that copying the slots stays linear in the records added.
void TVelqorimMemoryRecordManager::Grow() {
  const int32_t count = CheckedAdd<int32_t>(AllocatedRecordCount, std::max(AllocRecordsBy, AllocatedRecordCount / 4));
  const int64_t bytes = CheckedMul<int64_t>(count, RecordBufferSize);
  const int32_t oldFlagBytes = (AllocatedRecordCount + 7) / 8, flagBytes = (count + 7) / 8;
  MemoryManager().ReallocMem(FRecordBuffer, std::max<int64_t>(bytes, 1));
  MemoryManager().ReallocMem(FDeleteFlagBuffer, flagBytes);
  // Slots never used count as free.
  std::memset(FDeleteFlagBuffer + oldFlagBytes, 0xFF, static_cast<size_t>(flagBytes - oldFlagBytes));
  for (int32_t s = AllocatedRecordCount; s < std::min(count, oldFlagBytes * 8); ++s) SetDeleted(s, true);
  AllocatedRecordCount = count;
}

int32_t TVelqorimMemoryRecordManager::FindFreeSlot() {
  const int32_t bytes = (AllocatedRecordCount + 7) / 8;
  for (int32_t n = 0; n < bytes; ++n) {
    const int32_t b = (FFreeSearchStart + n) % bytes;
    const uint8_t flags = FDeleteFlagBuffer[b];
    if (flags == 0) continue;
    const int32_t slot = b * 8 + __builtin_ctz(flags);
    if (slot >= AllocatedRecordCount) continue;
    FFreeSearchStart = b;
    return slot;
  }
  return -1;
}

bool TVelqorimMemoryRecordManager::AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) {
  (void)SessionID;
  try {
    int32_t slot = RecordCount == 0 ? 0 : LastRecordID + 1;
    if (slot >= AllocatedRecordCount) {
      // Reuse a free slot before growing; one exists whenever live records leave room.
      const int32_t free = RecordCount < AllocatedRecordCount ? FindFreeSlot() : -1;
      if (free >= 0) slot = free;
      else Grow();
    }
    std::memcpy(FRecordBuffer + int64_t{slot} * RecordBufferSize, RecordBuffer, static_cast<size_t>(RecordBufferSize));
    SetDeleted(slot, false);
    if (RecordCount == 0) {
      FirstRecordID = LastRecordID = slot;
    } else {
      FirstRecordID = std::min(FirstRecordID, slot);
      LastRecordID = std::max(LastRecordID, slot);
    }
    ++RecordCount;
    ++TableState;
    RecordID = {slot, 0};
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TVelqorimMemoryRecordManager::UpdateRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) {
  (void)SessionID;
  if (!IsLive(RecordID.PageNo) || RecordID.PageNo < FirstRecordID || RecordID.PageNo > LastRecordID) return false;
  std::memcpy(FRecordBuffer + int64_t{RecordID.PageNo} * RecordBufferSize, RecordBuffer,
              static_cast<size_t>(RecordBufferSize));
  ++TableState;
  return true;
}

int32_t TVelqorimMemoryRecordManager::NextLive(int32_t From) const {
  int32_t s = From + 1;
  while (s <= LastRecordID) {
    const uint8_t flags = FDeleteFlagBuffer[s >> 3];
    if ((s & 7) == 0 && flags == 0xFF) {
      s += 8;
      continue;
    }
    if ((flags & (1u << (s & 7))) == 0) return s;
    ++s;
  }
  return -1;
}

int32_t TVelqorimMemoryRecordManager::PriorLive(int32_t From) const {
  int32_t s = From - 1;
  while (s >= FirstRecordID && s >= 0) {
    const uint8_t flags = FDeleteFlagBuffer[s >> 3];
    if ((s & 7) == 7 && flags == 0xFF) {
      s -= 8;
      continue;
    }
    if ((flags & (1u << (s & 7))) == 0) return s;
    --s;
  }
  return -1;
}

bool TVelqorimMemoryRecordManager::DeleteRecord(int SessionID, TABSPageItemID& RecordID) {
  (void)SessionID;
  RecordID.PageItemNo = 0;
  const int32_t slot = RecordID.PageNo;
  if (RecordCount == 0 || slot < FirstRecordID || slot > LastRecordID || !IsLive(slot)) return false;
  SetDeleted(slot, true);
  --RecordCount;
  NoRecordsDeleted = false;
  if (RecordCount == 0) {
    FirstRecordID = LastRecordID = 0;
  } else {
    if (slot == FirstRecordID) FirstRecordID = NextLive(slot);
    if (slot == LastRecordID) {
      LastRecordID = PriorLive(slot);
      RecordID.PageNo = LastRecordID;
    }
  }
  ++TableState;
  return true;
}

void TVelqorimMemoryRecordManager::GetRecordBuffer(int SessionID, TABSNavigationInfo& Nav) {
  (void)SessionID;
  if (RecordCount == 0) {
    Nav.GetRecordResult = grrEOF;
    return;
  }
  int32_t slot = -1;
  const int32_t current = Nav.RecordID.PageNo;
  if (Nav.FirstPosition) {
    if (Nav.GetRecordMode == grmNext) slot = FirstRecordID;
    else Nav.GetRecordResult = Nav.GetRecordMode == grmPrior ? grrBOF : grrError;
  } else if (Nav.LastPosition) {
    if (Nav.GetRecordMode == grmPrior) slot = LastRecordID;
    else Nav.GetRecordResult = Nav.GetRecordMode == grmNext ? grrEOF : grrError;
  } else if (Nav.GetRecordMode == grmCurrent) {
    if (IsLive(current) && current >= FirstRecordID && current <= LastRecordID) slot = current;
    else Nav.GetRecordResult = grrError;
  } else if (Nav.GetRecordMode == grmNext) {
    slot = current >= AllocatedRecordCount - 1 ? -1 : current < FirstRecordID ? FirstRecordID : NextLive(current);
    if (slot < 0) {
      Nav.GetRecordResult = grrEOF;
      Nav.LastPosition = true;
    }
  } else {
    slot = current < 1 ? -1 : current > LastRecordID ? LastRecordID : PriorLive(current);
    if (slot < 0) {
      Nav.GetRecordResult = grrBOF;
      Nav.FirstPosition = true;
    }
  }
  if (slot < 0) return;
  if (Nav.RecordBuffer == nullptr) throw EABSException(10019, "Error retrieving record");
  std::memcpy(Nav.RecordBuffer, FRecordBuffer + int64_t{slot} * RecordBufferSize, static_cast<size_t>(RecordBufferSize));
  Nav.RecordID = {slot, 0};
  Nav.FirstPosition = Nav.LastPosition = false;
  Nav.GetRecordResult = grrOK;
}

int TVelqorimMemoryRecordManager::CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) {
  return (RecordID1.PageNo > RecordID2.PageNo) - (RecordID1.PageNo < RecordID2.PageNo);
}

int64_t TVelqorimMemoryRecordManager::GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) {
  (void)SessionID;
  const int32_t slot = RecordID.PageNo;
  if (RecordCount == 0 || slot < FirstRecordID || slot > LastRecordID) return -1;
  if (RecordCount == 1) return 1;
  const double part = static_cast<double>(slot - FirstRecordID) / static_cast<double>(RecordCount);
  return static_cast<int64_t>(std::round(part * (LastRecordID - FirstRecordID))) + 1;
}

int64_t TVelqorimMemoryRecordManager::RecNoOfSlot(int32_t Slot) const {
  if (Slot < 0 || Slot >= AllocatedRecordCount) return -1;
  if (NoRecordsDeleted) return int64_t{Slot} + 1;
  int64_t n = 0;
  const int32_t wholeBytes = (Slot + 1) / 8;
  for (int32_t b = 0; b < wholeBytes; ++b) n += FBitsTable[FDeleteFlagBuffer[b]];
  for (int32_t s = wholeBytes * 8; s <= Slot; ++s) n += IsLive(s);
  return n;
}

int32_t TVelqorimMemoryRecordManager::SlotOfRecNo(int64_t RecNo) const {
  if (RecNo < 1 || RecNo > RecordCount) return -1;
  if (NoRecordsDeleted) return static_cast<int32_t>(RecNo - 1);
  int64_t n = 0;
  const int32_t bytes = (AllocatedRecordCount + 7) / 8;
  for (int32_t b = 0; b < bytes; ++b) {
    const int live = FBitsTable[FDeleteFlagBuffer[b]];
    if (n + live < RecNo) {
      n += live;
      continue;
    }
    for (int32_t s = b * 8; s < b * 8 + 8; ++s)
      if (IsLive(s) && ++n == RecNo) return s;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Page store

namespace {
constexpr int MemoryPageSize = 4096;
}

TVelqorimMemoryPageManager::TVelqorimMemoryPageManager() {
  PageSize = MemoryPageSize;
  PageHeaderSize = 0;
}

TVelqorimMemoryPageManager::~TVelqorimMemoryPageManager() { FreeBuffers(); }

void TVelqorimMemoryPageManager::FreeBuffers() {
  for (uint8_t*& p : FDataPtrs) MemoryManager().FreeAndNillMem(p);
  FDataPtrs.clear();
}

bool TVelqorimMemoryPageManager::IsAllocated(int32_t PageNo) const {
  return PageNo >= 0 && PageNo < FAllocatedPageMap.Size() && FAllocatedPageMap.GetBit(PageNo);
}

void TVelqorimMemoryPageManager::InternalAddPage(TVelqorimPage& aPage) {
  int32_t no = -1;
  if (!FAllocatedPageMap.FindBit(false, no) || no > FLastAllocatedPageNo + 1) no = FLastAllocatedPageNo + 1;
  if (no >= FAllocatedPageCount) {
    FAllocatedPageCount = CheckedAdd<int32_t>(FAllocatedPageCount, FAllocateBy);
    FAllocatedPageMap.SetSize(FAllocatedPageCount);
  }
  if (no < FPageCount - 1 && FAllocatedPageMap.GetBit(no))
    throw EABSException(20037, "Page allocation not released");
  ++FPageCount;
  FAllocatedPageMap.SetBit(no, true);
  if (no >= static_cast<int32_t>(FDataPtrs.size())) {
    const size_t size = std::max(FDataPtrs.size() + 50, static_cast<size_t>(no) + 1);
    while (FDataPtrs.size() < size)
      FDataPtrs.push_back(static_cast<uint8_t*>(MemoryManager().AllocMem(MemoryPageSize)));
  } else {
    std::memset(FDataPtrs[no], 0, MemoryPageSize);  // a reused number starts clean
  }
  FLastAllocatedPageNo = std::max(FLastAllocatedPageNo, no);
  if (aPage.OwnBuffer) aPage.FreeAndNilPageBuffer();
  aPage.PageNo = no;
  aPage.OwnBuffer = false;
  aPage.PageBuffer = FDataPtrs[no];
}

void TVelqorimMemoryPageManager::InternalRemovePage(int32_t PageNo) {
  if (!IsAllocated(PageNo)) return;
  --FPageCount;
  FAllocatedPageMap.SetBit(PageNo, false);
}

bool TVelqorimMemoryPageManager::InternalReadPage(TVelqorimPage& aPage) {
  if (!IsAllocated(aPage.PageNo)) throw EABSException(10392, "Page allocation not released");
  if (aPage.OwnBuffer) aPage.FreeAndNilPageBuffer();
  aPage.OwnBuffer = false;
  aPage.PageBuffer = FDataPtrs[aPage.PageNo];
  return true;
}

void TVelqorimMemoryPageManager::InternalWritePage(TVelqorimPage& aPage) {
  if (!IsAllocated(aPage.PageNo)) throw EABSException(10393, "Page allocation not released");
  if (aPage.OwnBuffer && aPage.PageBuffer != nullptr)
    std::memcpy(FDataPtrs[aPage.PageNo], aPage.PageBuffer, MemoryPageSize);
}

void TVelqorimMemoryPageManager::SaveToStream(TStream& Stream) {
  const uint16_t pageSize = PageSize, headerSize = PageHeaderSize;
  WriteToStreamChecked(&FAllocatedPageCount, 4, Stream, 10362);
  WriteToStreamChecked(&FLastAllocatedPageNo, 4, Stream, 10363);
  WriteToStreamChecked(&FAllocateBy, 4, Stream, 10364);
  WriteToStreamChecked(&pageSize, 2, Stream, 10365);
  WriteToStreamChecked(&headerSize, 2, Stream, 10366);
  WriteToStreamChecked(&FPageCount, 4, Stream, 10367);
  FAllocatedPageMap.SaveToStream(Stream);
  for (int32_t n = 0; n < FAllocatedPageCount; ++n) {
    static const uint8_t zeros[MemoryPageSize] = {};
    const uint8_t* page = n < static_cast<int32_t>(FDataPtrs.size()) ? FDataPtrs[n] : zeros;
    WriteToStreamChecked(page, MemoryPageSize, Stream, 10368);
  }
}

void TVelqorimMemoryPageManager::LoadFromStream(TStream& Stream) {
  int32_t allocated = 0, last = -1, by = 0, count = 0;
  uint16_t pageSize = 0, headerSize = 0;
  ReadFromStreamChecked(&allocated, 4, Stream, 10369);
  ReadFromStreamChecked(&last, 4, Stream, 10370);
  ReadFromStreamChecked(&by, 4, Stream, 10371);
  ReadFromStreamChecked(&pageSize, 2, Stream, 10372);
  ReadFromStreamChecked(&headerSize, 2, Stream, 10373);
  ReadFromStreamChecked(&count, 4, Stream, 10374);
  if (allocated < 0 || pageSize != MemoryPageSize || headerSize != 0 || last >= allocated || count > allocated ||
      CheckedMul<int64_t>(allocated, MemoryPageSize) > Stream.Size() - Stream.Position())
    throw EABSException(10375, "Invalid page store stream");
  FAllocatedPageMap.LoadFromStream(Stream);
  if (FAllocatedPageMap.Size() != allocated) throw EABSException(10375, "Invalid page store stream");
  FreeBuffers();
  for (int32_t n = 0; n < allocated; ++n) {
    FDataPtrs.push_back(static_cast<uint8_t*>(MemoryManager().AllocMem(MemoryPageSize)));
    ReadFromStreamChecked(FDataPtrs.back(), MemoryPageSize, Stream, 10375);
  }
  FAllocatedPageCount = allocated;
  FLastAllocatedPageNo = last;
  FAllocateBy = by > 0 ? by : 50;
  FPageCount = count;
}

// ---------------------------------------------------------------------------
// BLOB blocks

// ---------------------------------------------------------------------------
// Table data

TVelqorimMemoryTableData::TVelqorimMemoryTableData(TVelqorimDatabaseData* aDatabaseData, int aAllocRecordsBy)
    : TVelqorimImmediateTableData(aDatabaseData),
      AllocRecordsBy(aAllocRecordsBy),
      FPageManager(std::make_unique<TVelqorimMemoryPageManager>()) {
  PageManager = FPageManager.get();
  DisableTempFiles = true;
}

TVelqorimMemoryTableData::~TVelqorimMemoryTableData() {
  try {
    if (RecordManager && FieldManager) EmptyTable(nullptr);
    if (IndexManager) {
      IndexManager->DropAllIndexes(-2);
      FPageManager->ApplyChanges(-2);
    }
  } catch (...) {
    // A destructor must not raise; the stores go with this object anyway.
  }
  IndexManager.reset();
}

TVelqorimMemoryRecordManager& TVelqorimMemoryTableData::Records() const {
  return static_cast<TVelqorimMemoryRecordManager&>(*RecordManager);
}

void TVelqorimMemoryTableData::CreateRecordManager() {
  RecordManager.reset();
  RecordManager = std::make_unique<TVelqorimMemoryRecordManager>(GetRecordSize(), AllocRecordsBy);
}

void TVelqorimMemoryTableData::CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs) {
  CheckConstraintTypesSupported(ConstraintDefs);
  TVelqorimTableData::CreateConstraintManager(ConstraintDefs);
}

void TVelqorimMemoryTableData::CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs,
                                           TVelqorimIndexDefs& IndexDefs, TVelqorimConstraintDefs& ConstraintDefs) {
  if (FieldDefs.Count() == 0 && !DesignTimeFlag)
    throw EABSException(10025, "Error creating table - no fields were specified");
  if (Cursor != nullptr) TableName = Cursor->TableName;
  CreateFieldManager(FieldDefs);
  CreateIndexManager(IndexDefs);
  CreateConstraintManager(ConstraintDefs);
  CreateRecordManager();
  if (Cursor != nullptr) InitCursorRecordLayout(*Cursor);
  IndexManager->CreateIndexesByIndexDefs(Cursor);
  Commit(Cursor);
}

void TVelqorimMemoryTableData::EmptyTable(TVelqorimCursor* Cursor) {
  (void)Cursor;
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimTableData::EmptyTable(nullptr);
  if (FieldManager->BlobFieldsPresent() && RecordManager->RecordCount > 0) {
    TVelqorimMemoryRecordManager& records = Records();
    std::vector<uint8_t> buffer(static_cast<size_t>(records.RecordBufferSize));
    for (int32_t s = records.FirstRecordID; s <= records.LastRecordID; ++s)
      if (const uint8_t* stored = records.StoredRecord(s)) {
        std::memcpy(buffer.data(), stored, buffer.size());
        ClearBLOBFieldsInRecordBuffer(buffer.data());
      }
  }
  RecordManager->Empty(-2);
  PageManager->ApplyChanges(-2);
}

uint64_t TVelqorimMemoryTableData::BlobHandleOf(const uint8_t* RecordBuffer, int FieldNo) const {
  if (GetBitInBuffer(FieldNo, RecordBuffer)) return 0;
  uint64_t handle = 0;
  std::memcpy(&handle, RecordBuffer + FieldManager->FieldDefs[FieldNo]->MemoryOffset, sizeof handle);
  return handle;
}

void TVelqorimMemoryTableData::SetBlobHandle(uint8_t* RecordBuffer, int FieldNo, uint64_t Handle) {
  const TVelqorimFieldDef& def = *FieldManager->FieldDefs[FieldNo];
  std::memset(RecordBuffer + def.MemoryOffset, 0, static_cast<size_t>(def.MemoryDataSize));
  std::memcpy(RecordBuffer + def.MemoryOffset, &Handle, sizeof Handle);
  SetBitInBuffer(Handle == 0, FieldNo, RecordBuffer);
}

void TVelqorimMemoryTableData::WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo,
                                                            TABSStream& BLOBStream) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!BLOBStream.Modified()) return;
  auto& stream = dynamic_cast<TVelqorimLocalBLOBStream&>(BLOBStream);
  uint8_t* record = Cursor.CurrentRecordBuffer;
  // A block written earlier in this edit is replaced; the stored record's
  // block stays until the record itself is updated or deleted, so a cancelled
  // edit leaves the stored value readable.
  const uint64_t old = BlobHandleOf(record, FieldNo);
  const uint8_t* stored = Records().StoredRecord(Cursor.CurrentRecordID.PageNo);
  if (old != 0 && (stored == nullptr || BlobHandleOf(stored, FieldNo) != old)) FBlobs.Release(old);
  if (stream.Size() == 0) {
    SetBlobHandle(record, FieldNo, 0);
    return;
  }
  TABSStream& work = stream.WorkStream();
  TVelqorimMemoryBlobTable::Block block;
  block.NumBlocks = static_cast<int32_t>(stream.Compressed().BLOBDescriptor().NumBlocks);
  block.UncompressedSize = stream.Compressed().Size();
  const int64_t size = work.Size();
  block.Bytes.resize(static_cast<size_t>(size));
  work.SetPosition(0);
  const int64_t read = work.Read(block.Bytes.data(), size);
  if (read != size)
    throw EABSException(10117,
                        "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d",
                        {int64_t{0}, size, size, read});
  SetBlobHandle(record, FieldNo, FBlobs.Add(std::move(block)));
}

void TVelqorimMemoryTableData::ClearBLOBFieldInRecordBuffer(uint8_t* RecordBuffer, int FieldNo) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!FieldManager->BlobFieldsPresent() || GetBitInBuffer(FieldNo, RecordBuffer)) return;
  FBlobs.Release(BlobHandleOf(RecordBuffer, FieldNo));
  SetBlobHandle(RecordBuffer, FieldNo, 0);
}

TABSStream* TVelqorimMemoryTableData::InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                                               TABSBLOBOpenMode OpenMode) {
  (void)ToInsert;
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  const TVelqorimFieldDef& def = *FieldManager->FieldDefs[FieldNo];
  if (def.BLOBBlockSize == 0) throw EABSException(10420, "Stream block size = 0 is not allowed");
  TABSBLOBDescriptor descriptor;
  descriptor.BlockSize = def.BLOBBlockSize;
  descriptor.CompressionAlgorithm = def.BLOBCompressionAlgorithm;
  descriptor.CompressionMode = def.BLOBCompressionMode;
  auto work = std::make_unique<TABSMemoryStream>();
  const uint8_t* record = Cursor.CurrentRecordBuffer;
  if (OpenMode == bomWrite || record == nullptr || GetBitInBuffer(FieldNo, record))
    return new TVelqorimLocalBLOBStream(std::move(work), descriptor, true, &Cursor, OpenMode, FieldNo);
  const TVelqorimMemoryBlobTable::Block* block = FBlobs.Find(BlobHandleOf(record, FieldNo));
  if (block == nullptr) throw EABSException(10112, "Nil pointer occured");
  if (!block->Bytes.empty()) work->Write(block->Bytes.data(), static_cast<int64_t>(block->Bytes.size()));
  descriptor.NumBlocks = block->NumBlocks;
  descriptor.UncompressedSize = block->UncompressedSize;
  return new TVelqorimLocalBLOBStream(std::move(work), descriptor, false, &Cursor, OpenMode, FieldNo);
}

void TVelqorimMemoryTableData::GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                 TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                 uint8_t*& pBlobData) {
  (void)Cursor;
  BLOBDescriptor = {};
  pBlobData = nullptr;
  if (GetBitInBuffer(FieldNo, RecordBuffer)) return;
  const TVelqorimMemoryBlobTable::Block* block = FBlobs.Find(BlobHandleOf(RecordBuffer, FieldNo));
  if (block == nullptr) throw EABSException(10511, "Nil pointer occured");
  BLOBDescriptor.NumBlocks = block->NumBlocks;
  BLOBDescriptor.UncompressedSize = block->UncompressedSize;
  BLOBDescriptor.CompressedSize = static_cast<int64_t>(block->Bytes.size());
  pBlobData = static_cast<uint8_t*>(MemoryManager().GetMem(std::max(int64_t{BLOBDescriptor.CompressedSize}, int64_t{1})));
  if (!block->Bytes.empty()) std::memcpy(pBlobData, block->Bytes.data(), block->Bytes.size());
}

void TVelqorimMemoryTableData::SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                 TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                 uint8_t*& pBlobData) {
  (void)Cursor;
  const uint64_t old = BlobHandleOf(RecordBuffer, FieldNo);
  if (old != 0) FBlobs.Release(old);
  if (BLOBDescriptor.CompressedSize == 0) {
    SetBlobHandle(RecordBuffer, FieldNo, 0);
    return;
  }
  TVelqorimMemoryBlobTable::Block block;
  block.NumBlocks = BLOBDescriptor.NumBlocks;
  block.UncompressedSize = BLOBDescriptor.UncompressedSize;
  block.Bytes.assign(pBlobData, pBlobData + BLOBDescriptor.CompressedSize);
  SetBlobHandle(RecordBuffer, FieldNo, FBlobs.Add(std::move(block)));
}

bool TVelqorimMemoryTableData::InsertRecord(TVelqorimCursor*& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10010, "Nil pointer occured");
  if (Cursor->CurrentRecordBuffer == nullptr) throw EABSException(10018, "Nil pointer occured");
  if (!RecordManager->AddRecord(CursorSessionID(Cursor), Cursor->CurrentRecordBuffer, Cursor->CurrentRecordID))
    return false;
  MarkInBitmap(*Cursor);
  IndexManager->InsertRecord(*Cursor);
  Cursor->FirstPosition = Cursor->LastPosition = false;
  Commit(Cursor);
  return true;
}

bool TVelqorimMemoryTableData::DeleteRecord(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10013, "Nil pointer occured");
  const int session = CursorSessionID(&Cursor);
  const TABSPageItemID target = Cursor.CurrentRecordID;
  TABSPageItemID neighbour;
  bool beforeFirst = false;
  FindNeighbourForDelete(Cursor, neighbour, beforeFirst);
  IndexManager->DeleteRecord(Cursor);
  const bool bitmapCurrent = IsBitmapCurrent(Cursor);
  // The stored record's blocks go with it.
  std::vector<uint8_t> stored;
  if (const uint8_t* s = Records().StoredRecord(target.PageNo)) stored.assign(s, s + RecordManager->RecordBufferSize);
  TABSPageItemID id = target;
  if (!RecordManager->DeleteRecord(session, id)) {
    Commit(&Cursor);
    return false;
  }
  if (!stored.empty() && FieldManager->BlobFieldsPresent()) ClearBLOBFieldsInRecordBuffer(stored.data());
  LeaveDeletedRecord(Cursor, target, bitmapCurrent, neighbour, beforeFirst);
  Commit(&Cursor);
  return true;
}

bool TVelqorimMemoryTableData::UpdateRecord(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10014, "Nil pointer occured");
  if (Cursor.CurrentRecordBuffer == nullptr) throw EABSException(10017, "Nil pointer occured");
  std::vector<uint8_t> stored;
  if (const uint8_t* s = Records().StoredRecord(Cursor.CurrentRecordID.PageNo))
    stored.assign(s, s + RecordManager->RecordBufferSize);
  IndexManager->UpdateRecord(Cursor, true);
  const bool ok =
      RecordManager->UpdateRecord(CursorSessionID(&Cursor), Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID);
  IndexManager->UpdateRecord(Cursor, false);
  if (ok) {
    // A BLOB the new record no longer refers to is released.
    if (!stored.empty() && FieldManager->BlobFieldsPresent())
      for (int f = 0; f < FieldManager->FieldDefs.Count(); ++f)
        if (IsBlobBaseFieldType(FieldManager->FieldDefs[f]->BaseFieldType)) {
          const uint64_t before = BlobHandleOf(stored.data(), f);
          if (before != 0 && before != BlobHandleOf(Cursor.CurrentRecordBuffer, f)) FBlobs.Release(before);
        }
    MarkInBitmap(Cursor);
  }
  Commit(&Cursor);
  return ok;
}

void TVelqorimMemoryTableData::InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10074, "Nil pointer occured");
  if (RecNo < 1) return;
  const int32_t slot = Records().SlotOfRecNo(RecNo);
  if (slot >= 0) Cursor.CurrentRecordID = {slot, 0};
}

int64_t TVelqorimMemoryTableData::InternalGetRecNo(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10033, "Nil pointer occured");
  return Records().RecNoOfSlot(Cursor.CurrentRecordID.PageNo);
}

int64_t TVelqorimMemoryTableData::InternalGetRecordCount(TVelqorimCursor& Cursor) {
  (void)Cursor;
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!RecordManager) throw EABSException(10009, "Nil pointer occured");
  return RecordManager->RecordCount;
}

void TVelqorimMemoryTableData::DiscardUnstoredBlobs(uint8_t* Buffer, TABSPageItemID Id) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  if (!FieldManager->BlobFieldsPresent()) return;
  const uint8_t* stored = Records().StoredRecord(Id.PageNo);
  for (int f = 0; f < FieldManager->FieldDefs.Count(); ++f) {
    if (!IsBlobBaseFieldType(FieldManager->FieldDefs[f]->BaseFieldType)) continue;
    const uint64_t handle = BlobHandleOf(Buffer, f);
    if (handle == 0 || (stored != nullptr && BlobHandleOf(stored, f) == handle)) continue;
    FBlobs.Release(handle);
    if (stored != nullptr) {
      // The buffer shows the stored value again.
      const TVelqorimFieldDef& def = *FieldManager->FieldDefs[f];
      std::memcpy(Buffer + def.MemoryOffset, stored + def.MemoryOffset, static_cast<size_t>(def.MemoryDataSize));
      SetBitInBuffer(GetBitInBuffer(f, stored), f, Buffer);
    } else {
      SetBlobHandle(Buffer, f, 0);
    }
  }
}

// ---------------------------------------------------------------------------
// Tables and databases of the process-wide engines

void TVelqorimImmediateTableData::CreateIndexManager(TVelqorimIndexDefs& IndexDefs) {
  IndexManager = std::make_unique<TVelqorimBaseIndexManager>(this, PageManager);
  IndexManager->PageManager = PageManager;
  TVelqorimTableData::CreateIndexManager(IndexDefs);
}

void TVelqorimImmediateTableData::Commit(const TVelqorimCursor* Cursor) {
  if (PageManager != nullptr && !CursorInTransaction(Cursor))
    PageManager->ApplyChanges(Cursor != nullptr ? CursorSessionID(Cursor) : -2);
}

void TVelqorimImmediateTableData::DeleteTable(TVelqorimCursor* Cursor, bool DesignMode) {
  TVelqorimTableData::DeleteTable(Cursor, DesignMode);
  if (!(DesignMode && !CursorList.empty())) delete this;
}

void TVelqorimImmediateTableData::OpenTable(TVelqorimCursor* Cursor) {
  TableName = Cursor->TableName;
  TVelqorimTableData::OpenTable(Cursor);
}

void TVelqorimImmediateTableData::AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimTableData::AddIndex(IndexDef, Cursor);
  Commit(Cursor);
}

void TVelqorimImmediateTableData::DeleteIndex(int IndexID, TVelqorimCursor* Cursor) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  TVelqorimTableData::DeleteIndex(IndexID, Cursor);
  Commit(Cursor);
}

int64_t TVelqorimImmediateTableData::GetMaxBitmapRecNo(int SessionID) {
  (void)SessionID;
  return RecordManager ? RecordManager->RecordCount : 0;
}

int64_t TVelqorimImmediateTableData::LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session) {
  return FieldManager->GetLastAutoinc(Session, FieldNo);
}

void TVelqorimImmediateTableData::FreeDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                                     TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
                                                     uint8_t*& pBlobData) {
  (void)Cursor, (void)FieldNo, (void)RecordBuffer, (void)BLOBDescriptor;
  MemoryManager().FreeAndNillMem(pBlobData);
}

TVelqorimImmediateDatabaseData::~TVelqorimImmediateDatabaseData() {
  while (!FTableDataList.empty()) {
    TVelqorimTableData* t = FTableDataList.front();
    t->CursorList.clear();
    t->DeleteTable(nullptr, false);
  }
}

int TVelqorimImmediateDatabaseData::GetNewObjectId() {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  return ++LastObjectID;
}

// ---------------------------------------------------------------------------
// Database data

TVelqorimMemoryDatabaseData::TVelqorimMemoryDatabaseData() { DatabaseName = "MEMORY"; }

void TVelqorimMemoryDatabaseData::ConnectSession(TVelqorimBaseSession* Session) {
  Session->SessionID = 0;
  TVelqorimDatabaseData::ConnectSession(Session);
}

TVelqorimTableData* TVelqorimMemoryDatabaseData::CreateTableData(TVelqorimCursor& Cursor) {
  auto* t = new TVelqorimMemoryTableData(this, 1000);
  t->TableName = Cursor.TableName;
  AddTableData(t);
  return t;
}

