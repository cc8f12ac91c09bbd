#include "db/storage/VelqorimBaseEngine.h"

#include <algorithm>
#include <cstring>

#include "db/storage/VelqorimBTree.h"
#include "db/storage/VelqorimPage.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZRandom.h"

bool RecordBuffersEqual(const uint8_t* Buffer1, const uint8_t* Buffer2, int Size) {
  if (Buffer1 == nullptr) throw EABSException(10122, "Nil pointer occured");
  if (Buffer2 == nullptr) throw EABSException(10123, "Nil pointer occured");
  return std::memcmp(Buffer1, Buffer2, Size) == 0;
}

// ---------------------------------------------------------------------------
// Index base

void TVelqorimIndex::CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& aIndexDef) {
  (void)Cursor;
  if (IndexDef.get() == &aIndexDef) return;
  auto copy = std::make_unique<TVelqorimIndexDef>();
  copy->Assign(aIndexDef);
  IndexDef = std::move(copy);
}

void TVelqorimIndex::OpenIndex(const TVelqorimIndexDef& aIndexDef) {
  auto copy = std::make_unique<TVelqorimIndexDef>();
  copy->Assign(aIndexDef);
  IndexDef = std::move(copy);
}

int TVelqorimIndex::CompareConditions(const TABSScanSearchCondition& Condition1, const TABSScanSearchCondition&) {
  switch (Condition1.Condition) {
    case scGreater: case scGreaterEqual: return -1;
    case scLower: case scLowerEqual: return 1;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// Record bitmap

TVelqorimRecordBitmap::TVelqorimRecordBitmap(TVelqorimTableData* aTableData) : FTableData(aTableData) {
  if (aTableData == nullptr) throw EABSException(10425, "Nil pointer occured");
}

void TVelqorimRecordBitmap::SetSize(int64_t Value) {
  if (Value < 0 || Value > INT32_MAX) RaiseIntOverflow();
  FBits.SetSize(static_cast<int>(Value));
}

bool TVelqorimRecordBitmap::Outdated() const {
  return FTableData->RecordManager && FTableData->RecordManager->TableState != TableState;
}

int TVelqorimRecordBitmap::BitOf(TABSPageItemID RecordID) const {
  const int64_t b = FTableData->GetBitmapRecNoByRecordID(RecordID);
  if (b < 0 || b > INT32_MAX) RaiseIntOverflow();
  return static_cast<int>(b);
}

int TVelqorimRecordBitmap::BitOf(int IndexID, TObject* IndexPos) const {
  const int64_t b = FTableData->GetBitmapRecNoByIndexPosition(IndexID, IndexPos);
  if (b < 0 || b > INT32_MAX) RaiseIntOverflow();
  return static_cast<int>(b);
}

int64_t TVelqorimRecordBitmap::GetRecNoByRecordID(TABSPageItemID RecordID) const {
  const int b = BitOf(RecordID);
  return b >= FBits.Size() ? -1 : FBits.GetBitPositionByBitNo(b) + 1;
}

int64_t TVelqorimRecordBitmap::GetRecNoByIndexPos(int IndexID, TObject* IndexPos) const {
  const int b = BitOf(IndexID, IndexPos);
  return b >= FBits.Size() ? -1 : FBits.GetBitPositionByBitNo(b) + 1;
}

TABSPageItemID TVelqorimRecordBitmap::GetRecordIDByRecNo(int64_t RecNo) const {
  return FTableData->GetRecordIDByBitmapRecNo(FBits.GetBitNoByBitPosition(static_cast<int>(RecNo - 1)));
}

void TVelqorimRecordBitmap::GetIndexPosByRecNo(int IndexID, int64_t RecNo, TObject* IndexPos) const {
  FTableData->GetIndexPositionByBitmapRecNo(IndexID, FBits.GetBitNoByBitPosition(static_cast<int>(RecNo - 1)),
                                            IndexPos);
}

bool TVelqorimRecordBitmap::IsRecordVisible(TABSPageItemID RecordID) const {
  const int b = BitOf(RecordID);
  return b < FBits.Size() && FBits.GetBit(b);
}

bool TVelqorimRecordBitmap::IsRecordVisible(int IndexID, TObject* IndexPos) const {
  const int b = BitOf(IndexID, IndexPos);
  return b < FBits.Size() && FBits.GetBit(b);
}

void TVelqorimRecordBitmap::SetVisible(int64_t Bit, bool Value) {
  if (Bit >= FBits.Size()) SetSize(Bit + 1);
  FBits.SetBit(static_cast<int>(Bit), Value);
}

void TVelqorimRecordBitmap::ShowRecord(TABSPageItemID RecordID) {
  if (IndexBased) return Clear();
  SetVisible(BitOf(RecordID), true);
}

void TVelqorimRecordBitmap::ShowRecord(int IndexID, TObject* IndexPos) { SetVisible(BitOf(IndexID, IndexPos), true); }

void TVelqorimRecordBitmap::HideRecord(TABSPageItemID RecordID) {
  if (IndexBased) return Clear();
  SetVisible(BitOf(RecordID), false);
}

void TVelqorimRecordBitmap::HideRecord(int IndexID, TObject* IndexPos) {
  SetVisible(BitOf(IndexID, IndexPos), false);
}

void TVelqorimRecordBitmap::Clear() {
  Active = false;
  FBits.SetSize(0);
}

bool TVelqorimRecordBitmap::FindRecord(bool Restart, bool GoForward, TABSPageItemID CurRecordID,
                                       TABSPageItemID& FoundRecordID) const {
  int found = -1;
  if (!FBits.Find(Restart, GoForward, Restart ? 0 : BitOf(CurRecordID), found)) return false;
  FoundRecordID = FTableData->GetRecordIDByBitmapRecNo(found);
  return true;
}

bool TVelqorimRecordBitmap::FindRecord(bool Restart, bool GoForward, TObject* CurIndexPos,
                                       TObject* FoundRecordIndexPos, int IndexID) const {
  int found = -1;
  if (!FBits.Find(Restart, GoForward, Restart ? 0 : BitOf(IndexID, CurIndexPos), found)) return false;
  FTableData->GetIndexPositionByBitmapRecNo(IndexID, found, FoundRecordIndexPos);
  return true;
}

// ---------------------------------------------------------------------------
// Field manager

void TVelqorimBaseFieldManager::InitLastAutoIncValues() {
  LastAutoincValues.assign(FieldDefs.Count(), 0);
  for (int i = 0; i < FieldDefs.Count(); ++i)
    if (IsAutoincAdvancedFieldType(FieldDefs[i]->AdvancedFieldType))
      LastAutoincValues[i] = FieldDefs[i]->AutoincInitialValue;
}

int64_t TVelqorimBaseFieldManager::IncLastAutoinc(int FieldNo) {
  if (FieldNo < 0 || FieldNo >= FieldDefs.Count()) throw EABSException(30402, "Field #%d not found", {FieldNo});
  if (FieldNo >= static_cast<int>(LastAutoincValues.size()))
    throw EABSException(30403, "Field #%d not found", {FieldNo});
  const TVelqorimFieldDef& d = *FieldDefs[FieldNo];
  int64_t& last = LastAutoincValues[FieldNo];
  int64_t next = 0;
  const bool overflow = __builtin_add_overflow(last, d.AutoincIncrement == 0 ? 1 : d.AutoincIncrement, &next);
  if (overflow || (d.AutoincMaxValue != 0 && next > d.AutoincMaxValue)) {
    if (!d.AutoincCycled) throw EABSException(20160, "Autoinc max value exceeded for field '%s'", {d.Name});
    next = d.AutoincMinValue;
  }
  last = next;
  return last;
}

int64_t TVelqorimBaseFieldManager::GetNextAutoinc(TVelqorimBaseSession* Session, int FieldNo) {
  const int64_t v = IncLastAutoinc(FieldNo);
  if (Session != nullptr)
    Session->SetObject(new TVelqorimSessionNamedObjectSequenceValue(FieldDefs[FieldNo]->ObjectID, v));
  return v;
}

int64_t TVelqorimBaseFieldManager::GetLastAutoinc(TVelqorimBaseSession* Session, int FieldNo) {
  const TVelqorimFieldDef& d = *FieldDefs[FieldNo];
  if (Session != nullptr)
    if (auto* o = dynamic_cast<TVelqorimSessionNamedObjectSequenceValue*>(Session->GetObjectByID(d.ObjectID)))
      return o->Value;
  if (Session != nullptr && Session->MultiUser)
    throw EABSException(30012, "No SequenceLastValue in session for sequence '%s'. Call GetNextVal first", {d.Name});
  return IsAutoincAdvancedFieldType(d.AdvancedFieldType) ? LastAutoincValues.at(FieldNo) : 0;
}

void TVelqorimBaseFieldManager::UpdateLastAutoinc(TVelqorimBaseSession* Session, int FieldNo, int64_t InsertedValue) {
  if (InsertedValue <= LastAutoincValues.at(FieldNo)) return;
  LastAutoincValues[FieldNo] = InsertedValue;
  if (Session != nullptr)
    Session->SetObject(new TVelqorimSessionNamedObjectSequenceValue(FieldDefs[FieldNo]->ObjectID, InsertedValue));
}

namespace {
bool IsSignedIntegerType(TABSBaseFieldType t) {
  return t == bftSignedInt8 || t == bftSignedInt16 || t == bftSignedInt32 || t == bftSignedInt64;
}
}  // namespace

void TVelqorimBaseFieldManager::ApplyAutoincsToRecordBuffer(TVelqorimBaseSession* Session, uint8_t* RecordBuffer) {
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    if (!IsAutoincAdvancedFieldType(d.AdvancedFieldType)) continue;
    uint8_t* slot = RecordBuffer + d.MemoryOffset;
    const int size = std::min(d.MemoryDataSize, 8);
    if (GetBitInBuffer(i, RecordBuffer)) {
      const int64_t v = GetNextAutoinc(Session, i);
      std::memcpy(slot, &v, size);  // the low bytes, little-endian
      SetBitInBuffer(false, i, RecordBuffer);
    } else {
      // Signed types learn negative values as negative numbers.
      const bool negative = IsSignedIntegerType(d.BaseFieldType) && (slot[size - 1] & 0x80) != 0;
      int64_t v = negative ? -1 : 0;
      std::memcpy(&v, slot, size);
      UpdateLastAutoinc(Session, i, v);
    }
  }
}

void TVelqorimBaseFieldManager::CheckDefaultValues() const {
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    if (IsBlobBaseFieldType(d.BaseFieldType) || d.DefaultValue.IsNull()) continue;
    TABSVariant v;
    v.Assign(d.DefaultValue);
    v.Cast(d.BaseFieldType);
    if (v.DataSize() > d.MemoryDataSize)
      throw EABSException(30701, "Default value of field '%s' is longer than the field", {d.Name});
  }
}

void TVelqorimBaseFieldManager::ApplyDefaultValuesToRecordBuffer(TVelqorimBaseSession* Session,
                                                                 uint8_t* RecordBuffer) {
  (void)Session;
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    if (IsBlobBaseFieldType(d.BaseFieldType) || d.DefaultValue.IsNull()) continue;
    TABSVariant v;
    if (d.DefaultValueExpr && TVelqorimTableData::EvaluateDefault)
      TVelqorimTableData::EvaluateDefault(d.DefaultValueExpr.get(), v);
    else
      v.Assign(d.DefaultValue);
    // A default never writes past its slot (20056).
    if (!v.IsNull()) StoreFieldValue(v, d, i, RecordBuffer);
  }
}

void TVelqorimBaseFieldManager::LoadMetadata(TStream& Stream) {
  FieldDefs.LoadFromStream(Stream);
  FieldDefs.RecalcFieldOffsets();
  InitLastAutoIncValues();
}

int TVelqorimBaseFieldManager::MostUpdatedSize() const {
  return CheckedAdd(4, CheckedMul(static_cast<int>(LastAutoincValues.size()), 8));
}

void TVelqorimBaseFieldManager::LoadMostUpdated(const uint8_t* Buf, int& Offset, int BufSize) {
  int32_t n = 0;
  if (Offset < 0 || CheckedAdd(Offset, 4) > BufSize) throw EABSException(30702, "Invalid autoincrement block");
  std::memcpy(&n, Buf + Offset, 4);
  if (n < 0 || n > (BufSize - Offset - 4) / 8) throw EABSException(30702, "Invalid autoincrement block");
  LastAutoincValues.assign(n, 0);
  if (n > 0) std::memcpy(LastAutoincValues.data(), Buf + Offset + 4, static_cast<size_t>(n) * 8);
  Offset += 4 + n * 8;
}

void TVelqorimBaseFieldManager::SaveMostUpdated(uint8_t* Buf, int& Offset, int BufSize) const {
  const int32_t n = static_cast<int32_t>(LastAutoincValues.size());
  if (Offset < 0 || CheckedAdd(Offset, MostUpdatedSize()) > BufSize)
    throw EABSException(30702, "Invalid autoincrement block");
  std::memcpy(Buf + Offset, &n, 4);
  if (n > 0) std::memcpy(Buf + Offset + 4, LastAutoincValues.data(), static_cast<size_t>(n) * 8);
  Offset += 4 + n * 8;
}

void TVelqorimBaseFieldManager::DiskRecordBufferToMemRecordBuffer(const uint8_t* DiskRecordBuffer,
                                                                  uint8_t* MemRecordBuffer) const {
  std::memset(MemRecordBuffer, 0, FieldDefs.GetMemoryRecordBufferSize());
  std::memcpy(MemRecordBuffer, DiskRecordBuffer, FieldDefs.NullFlagsSize());
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    std::memcpy(MemRecordBuffer + d.MemoryOffset, DiskRecordBuffer + d.DiskOffset, d.DiskDataSize);
  }
}

void TVelqorimBaseFieldManager::MemRecordBufferToDiskRecordBuffer(const uint8_t* MemRecordBuffer,
                                                                  uint8_t* DiskRecordBuffer) const {
  std::memset(DiskRecordBuffer, 0, FieldDefs.GetDiskRecordBufferSize());
  std::memcpy(DiskRecordBuffer, MemRecordBuffer, FieldDefs.NullFlagsSize());
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    std::memcpy(DiskRecordBuffer + d.DiskOffset, MemRecordBuffer + d.MemoryOffset, d.DiskDataSize);
  }
}

bool TVelqorimBaseFieldManager::CompareRecordBuffers(const uint8_t* RecordBuffer1,
                                                     const uint8_t* RecordBuffer2) const {
  if (std::memcmp(RecordBuffer1, RecordBuffer2, FieldDefs.NullFlagsSize()) != 0) return false;
  // Whole slots: a value that differs only behind a zero byte (binary data,
  // numbers) is a different value.
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& d = *FieldDefs[i];
    if (std::memcmp(RecordBuffer1 + d.MemoryOffset, RecordBuffer2 + d.MemoryOffset, d.DiskDataSize) != 0)
      return false;
  }
  return true;
}

bool TVelqorimBaseFieldManager::BlobFieldsPresent() const {
  for (int i = 0; i < FieldDefs.Count(); ++i)
    if (IsBlobBaseFieldType(FieldDefs[i]->BaseFieldType)) {
      if (FieldDefs[i]->BLOBBlockSize == 0)
        throw EABSException(10421, "BLOB block size should be > 0 for field %s", {FieldDefs[i]->Name});
      return true;
    }
  return false;
}

// ---------------------------------------------------------------------------
// Index manager

TVelqorimBaseIndexManager::TVelqorimBaseIndexManager(TVelqorimTableData* aTableData,
                                                     TVelqorimPageManager* TempPageManager)
    : PageManager(aTableData != nullptr ? aTableData->PageManager : nullptr),
      FTableData(aTableData),
      FTempPageManager(TempPageManager) {}

TVelqorimBaseIndexManager::~TVelqorimBaseIndexManager() = default;

TVelqorimPageManager* TVelqorimBaseIndexManager::GetPageManager(const TVelqorimIndex& Index) const {
  return Index.IndexDef && Index.IndexDef->Temporary ? FTempPageManager : PageManager;
}

std::unique_ptr<TVelqorimIndex> TVelqorimBaseIndexManager::MakeIndex() {
  if (!IndexFactory) return std::make_unique<TVelqorimBTreeRecordIndex>(this);
  return IndexFactory(this);
}

void TVelqorimBaseIndexManager::InternalCreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& IndexDef) {
  auto index = MakeIndex();
  try {
    index->CreateIndex(Cursor, IndexDef);
  } catch (...) {
    // A failed build leaves no definition behind.
    const int n = IndexDefs.GetDefNumberByObjectId(IndexDef.ObjectID);
    if (n >= 0) IndexDefs.Delete(n);
    throw;
  }
  if (TVelqorimMetaObjectDef* d = IndexDefs.GetDefByObjectId(IndexDef.ObjectID)) d->Assign(IndexDef);
}

TVelqorimIndex* TVelqorimBaseIndexManager::InternalOpenIndex(int IndexID) {
  TVelqorimIndexDef* d = IndexDefs.GetIndexDefByObjectId(IndexID);
  if (d == nullptr) throw EABSException(20018, "Index not found");
  auto index = MakeIndex();
  index->OpenIndex(*d);
  FOpenIndexes.push_back(std::move(index));
  return FOpenIndexes.back().get();
}

TVelqorimIndex* TVelqorimBaseIndexManager::FindOpenIndex(int IndexID) const {
  for (const auto& i : FOpenIndexes)
    if (i->IndexDef && i->IndexDef->ObjectID == IndexID) return i.get();
  return nullptr;
}

TVelqorimIndex* TVelqorimBaseIndexManager::OpenIndex(int IndexID) {
  TVelqorimIndex* open = FindOpenIndex(IndexID);
  return open != nullptr ? open : InternalOpenIndex(IndexID);
}

void TVelqorimBaseIndexManager::CloseIndex(int IndexID) {
  std::erase_if(FOpenIndexes, [IndexID](const auto& i) { return i->IndexDef && i->IndexDef->ObjectID == IndexID; });
}

int TVelqorimBaseIndexManager::CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& IndexDef) {
  IndexDef.ObjectID = FTableData->DatabaseData->GetNewObjectId();
  IndexDefs.AddCreated()->Assign(IndexDef);
  InternalCreateIndex(Cursor, IndexDef);
  return IndexDef.ObjectID;
}

void TVelqorimBaseIndexManager::CreateIndexesByIndexDefs(TVelqorimCursor* Cursor) {
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    TVelqorimIndexDef def;
    def.Assign(*IndexDefs[i]);
    InternalCreateIndex(Cursor, def);
  }
}

int TVelqorimBaseIndexManager::CreateTemporaryIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList,
                                                    TStringList& AscDescList, TStringList& CaseSensitivityList) {
  TVelqorimIndexDef def;
  do {
    def.Name = AddGUIDToName("TEMPORARY_INDEX_");
  } while (IndexDefs.GetDefByName(def.Name) != nullptr);
  def.Temporary = true;
  def.IndexType = itBTree;
  def.AssignByNames(FieldNamesList, AscDescList, CaseSensitivityList);
  def.SessionID = Cursor.Session != nullptr ? Cursor.Session->SessionID : -1;
  def.TableState = FTableData->RecordManager ? FTableData->RecordManager->TableState : 0;
  return CreateIndex(&Cursor, def);
}

int TVelqorimBaseIndexManager::FindOrCreateIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList,
                                                 TStringList& AscDescList, TStringList& CaseSensitivityList,
                                                 bool& IsCreated) {
  const int sessionID = Cursor.Session != nullptr ? Cursor.Session->SessionID : -1;
  const int id = FindIndex(FieldNamesList, AscDescList, CaseSensitivityList, sessionID, Cursor.FieldDefs);
  IsCreated = id == -1;
  return IsCreated ? CreateTemporaryIndex(Cursor, FieldNamesList, AscDescList, CaseSensitivityList) : id;
}

void TVelqorimBaseIndexManager::DropIndex(int SessionID, int IndexID) {
  OpenIndex(IndexID)->DropIndex(SessionID);
  CloseIndex(IndexID);
  const int n = IndexDefs.GetDefNumberByObjectId(IndexID);
  if (n >= 0) IndexDefs.Delete(n);
}

void TVelqorimBaseIndexManager::DropAllIndexes(int SessionID) {
  while (IndexDefs.Count() > 0) DropIndex(SessionID, IndexDefs[0]->ObjectID);
}

void TVelqorimBaseIndexManager::DropTemporaryIndexes(int SessionID) {
  for (int i = IndexDefs.Count() - 1; i >= 0; --i)
    if (IndexDefs[i]->Temporary) DropIndex(SessionID, IndexDefs[i]->ObjectID);
}

void TVelqorimBaseIndexManager::EmptyIndex(int SessionID, int IndexID) {
  OpenIndex(IndexID)->EmptyIndex(SessionID);
  CloseIndex(IndexID);
}

void TVelqorimBaseIndexManager::EmptyAllIndexes(int SessionID) {
  for (int i = 0; i < IndexDefs.Count(); ++i) EmptyIndex(SessionID, IndexDefs[i]->ObjectID);
}

void TVelqorimBaseIndexManager::GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                                                TABSIndexPositionCache* IndexPositionCache, int TableState) {
  TVelqorimIndex* index = OpenIndex(NavigationInfo.IndexID);
  if (!NavigationInfo.FirstPosition && !NavigationInfo.LastPosition) {
    TABSNavigationInfo current = NavigationInfo;
    current.GetRecordMode = grmCurrent;
    FTableData->RecordManager->GetRecordBuffer(SessionID, current);
    if (current.GetRecordResult == grrError) {
      index->GetClosestRecordBuffer(SessionID, NavigationInfo, IndexPositionCache, TableState);
      return;
    }
  }
  index->GetRecordBuffer(SessionID, NavigationInfo, IndexPositionCache, TableState);
}

void TVelqorimBaseIndexManager::InsertRecord(TVelqorimCursor& Cursor) {
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    TVelqorimIndexDef& def = *IndexDefs[i];
    TVelqorimIndex* index = OpenIndex(def.ObjectID);
    index->InsertRecord(Cursor);
    ++def.TableState;
    if (index->IndexDef && index->IndexDef->RootPageNo != def.RootPageNo) def.RootPageNo = index->IndexDef->RootPageNo;
  }
}

void TVelqorimBaseIndexManager::UpdateRecord(TVelqorimCursor& Cursor, bool BeforeNewRecordIsStored) {
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    OpenIndex(IndexDefs[i]->ObjectID)->UpdateRecord(Cursor, BeforeNewRecordIsStored);
    if (!BeforeNewRecordIsStored) ++IndexDefs[i]->TableState;
  }
}

void TVelqorimBaseIndexManager::DeleteRecord(TVelqorimCursor& Cursor) {
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmCurrent;
  nav.RecordID = Cursor.CurrentRecordID;
  nav.RecordBuffer = Cursor.CurrentRecordBuffer;
  FTableData->RecordManager->GetRecordBuffer(Cursor.Session != nullptr ? Cursor.Session->SessionID : 0, nav);
  if (nav.GetRecordResult != grrOK) return;  // already gone: the indexes stay as they are
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    OpenIndex(IndexDefs[i]->ObjectID)->DeleteRecord(Cursor);
    ++IndexDefs[i]->TableState;
  }
}

void TVelqorimBaseIndexManager::SynchronizeTemporaryIndexes(TVelqorimCursor& Cursor, bool& IsChanged) {
  IsChanged = false;
  if (FSynchronizing) return;
  FSynchronizing = true;
  struct Reset {
    bool& Flag;
    ~Reset() { Flag = false; }
  } reset{FSynchronizing};
  const int32_t state = FTableData->RecordManager->TableState;
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    TVelqorimIndexDef& def = *IndexDefs[i];
    if (!def.Temporary || def.TableState == state) continue;
    OpenIndex(def.ObjectID)->RebuildTemporaryIndex(&Cursor);
    def.TableState = state;
    IsChanged = true;
  }
}

void TVelqorimBaseIndexManager::RenameField(const String& FieldName, const String& NewFieldName) {
  for (int i = 0; i < IndexDefs.Count(); ++i)
    for (int c = 0; c < IndexDefs[i]->ColumnCount(); ++c)
      if (SameDefName(IndexDefs[i]->GetIndexColumn(c).FieldName, FieldName))
        IndexDefs[i]->GetIndexColumn(c).FieldName = NewFieldName;
}

// ---------------------------------------------------------------------------
// Constraint manager

namespace {
const TVelqorimFieldDef* FieldByObjectId(const TVelqorimFieldDefs& Defs, int ObjectID, int& FieldNo) {
  FieldNo = Defs.GetDefNumberByObjectId(ObjectID);
  return FieldNo < 0 ? nullptr : Defs[FieldNo];
}
}  // namespace

bool TVelqorimBaseConstraintManager::CheckConstraints(int SessionID, const uint8_t* NewRecordBuffer,
                                                      const uint8_t* OldRecordBuffer, bool ToInsert,
                                                      TABSPageItemID CurrentRecordID, bool RaiseException,
                                                      bool CheckUniqueIndexes) {
  const TVelqorimFieldDefs& fields = FTableData->FieldManager->FieldDefs;
  auto violated = [&](int Code, const String& Message, std::initializer_list<TVarRec> Args) {
    if (RaiseException) throw EABSException(Code, Message, Args);
    return false;
  };
  for (int i = 0; i < ConstraintDefs.Count(); ++i) {
    TVelqorimConstraintDef& c = *ConstraintDefs[i];
    int fieldNo = -1;
    switch (c.ConstraintType) {
      case ctPK:
      case ctUnique: {
        if (!CheckUniqueIndexes) break;
        auto& u = static_cast<TVelqorimConstraintDefUnique&>(c);
        if (c.ConstraintType == ctPK) {
          bool allNull = true;
          String names;
          for (const auto& col : u.Columns) {
            const TVelqorimFieldDef* f = FieldByObjectId(fields, col.ColumnObjectID, fieldNo);
            if (f == nullptr) throw EABSException(30329, "Field #%d not found", {col.ColumnObjectID});
            allNull = allNull && GetBitInBuffer(fieldNo, NewRecordBuffer);
            names += (names.empty() ? "" : ",") + f->Name;
          }
          if (allNull)
            return violated(30330, "Constraint '%s' violated. Value in field '%s' cannot be null", {c.Name, names});
        }
        if (FTableData->IsUniqueConstraintFailed(SessionID, u.IndexObjectID, NewRecordBuffer, OldRecordBuffer,
                                                 ToInsert, CurrentRecordID))
          return c.ConstraintType == ctPK
                     ? violated(30319, "Primary Key constraint '%s' violated. Duplicate found.", {c.Name})
                     : violated(30320, "Constraint unique '%s' violated. Duplicate found.", {c.Name});
        break;
      }
      case ctNotNull: {
        auto& n = static_cast<TVelqorimConstraintDefNotNull&>(c);
        const TVelqorimFieldDef* f = FieldByObjectId(fields, n.ColumnObjectID, fieldNo);
        if (f == nullptr) throw EABSException(30024, "Field #%d not found", {n.ColumnObjectID});
        if (GetBitInBuffer(fieldNo, NewRecordBuffer))
          return violated(30026, "Constraint '%s' violated. Value in field '%s' cannot be null", {c.Name, f->Name});
        break;
      }
      case ctCheck: {
        auto& k = static_cast<TVelqorimConstraintDefCheck&>(c);
        const TVelqorimFieldDef* f = FieldByObjectId(fields, k.ColumnObjectID, fieldNo);
        if (f == nullptr) throw EABSException(30028, "Field #%d not found", {k.ColumnObjectID});
        if (GetBitInBuffer(fieldNo, NewRecordBuffer)) break;
        const uint8_t* value = NewRecordBuffer + f->MemoryOffset;
        auto compare = [&](const TABSVariant& Bound) {
          return CompareValueBuffers(Bound.pData(), value, Bound.DataType(), f->BaseFieldType, false, false, -1,
                                     false, 1024);
        };
        if (!k.MinValue.IsNull() && compare(k.MinValue) == cmprGreater)
          return violated(30029, "Constraint '%s' violated. Value in field '%s' cannot be lower than '%s'",
                          {c.Name, f->Name, k.MinValue.GetAsAnsiString()});
        if (!k.MaxValue.IsNull() && compare(k.MaxValue) == cmprLower)
          return violated(30030, "Constraint '%s' violated. Value in field '%s' cannot be greater than '%s'",
                          {c.Name, f->Name, k.MaxValue.GetAsAnsiString()});
        break;
      }
      default:
        throw EABSException(30036, "Not implemented yet");
    }
  }
  return true;
}

void TVelqorimBaseConstraintManager::LinkObjectId(TVelqorimConstraintDef& ConstraintDef) {
  const TVelqorimFieldDefs& fields = FTableData->FieldManager->FieldDefs;
  switch (ConstraintDef.ConstraintType) {
    case ctNotNull:
    case ctCheck: {
      auto& n = static_cast<TVelqorimConstraintDefNotNull&>(ConstraintDef);
      const TVelqorimMetaObjectDef* f = fields.GetDefByName(n.ColumnName);
      if (f == nullptr) throw EABSException(30027, "Field '%s' not found", {n.ColumnName});
      n.ColumnObjectID = f->ObjectID;
      break;
    }
    case ctPK:
    case ctUnique: {
      const bool pk = ConstraintDef.ConstraintType == ctPK;
      auto& u = static_cast<TVelqorimConstraintDefUnique&>(ConstraintDef);
      const TVelqorimMetaObjectDef* index = FTableData->IndexManager->IndexDefs.GetDefByName(u.IndexName);
      if (index == nullptr) throw EABSException(pk ? 30325 : 30326, "Index '%s' not found", {u.IndexName});
      u.IndexObjectID = index->ObjectID;
      for (auto& col : u.Columns) {
        const TVelqorimMetaObjectDef* f = fields.GetDefByName(col.ColumnName);
        if (f == nullptr) throw EABSException(pk ? 30331 : 30332, "Field '%s' not found", {col.ColumnName});
        col.ColumnObjectID = f->ObjectID;
      }
      break;
    }
    default:
      throw EABSException(30037, "Not implemented yet");
  }
}

void TVelqorimBaseConstraintManager::LinkObjectIds() {
  for (int i = 0; i < ConstraintDefs.Count(); ++i) LinkObjectId(*ConstraintDefs[i]);
}

void TVelqorimBaseConstraintManager::FillConstraintAutoNames() {
  for (int i = 0; i < ConstraintDefs.Count(); ++i) {
    TVelqorimConstraintDef& c = *ConstraintDefs[i];
    if (!c.Name.empty()) continue;
    String base;
    if (c.ConstraintType == ctNotNull || c.ConstraintType == ctCheck) {
      auto& n = static_cast<TVelqorimConstraintDefNotNull&>(c);
      base = String("$") + (c.ConstraintType == ctNotNull ? "C_NotNull" : "C_Check") + "$" + n.TableName + "$" +
             n.ColumnName;
    } else {
      throw EABSException(30038, "Not implemented yet");
    }
    String name = base;
    while (ConstraintDefs.GetDefByName(name) != nullptr) name = base + std::to_string(ABSRandom(65535));
    c.Name = CutDefName(name);
  }
}

void TVelqorimBaseConstraintManager::AddConstraintFromIndex(const TVelqorimIndexDef& IndexDef) {
  if (!IndexDef.Primary && !IndexDef.Unique) return;
  TVelqorimConstraintDefUnique* c =
      IndexDef.Primary ? static_cast<TVelqorimConstraintDefUnique*>(ConstraintDefs.AddPK()) : ConstraintDefs.AddUnique();
  c->Name = IndexDef.Name;
  c->TableName = CutDefName(FTableData->TableName);
  c->IndexName = IndexDef.Name;
  for (int i = 0; i < IndexDef.ColumnCount(); ++i) c->Columns.push_back({IndexDef.GetIndexColumn(i).FieldName, 0});
  c->ObjectID = FTableData->DatabaseData->GetNewObjectId();
  LinkObjectId(*c);
}

void TVelqorimBaseConstraintManager::DeleteConstraintForIndexID(int IndexObjectID) {
  for (int i = 0; i < ConstraintDefs.Count(); ++i) {
    const TVelqorimConstraintDef& c = *ConstraintDefs[i];
    if ((c.ConstraintType == ctPK || c.ConstraintType == ctUnique) &&
        static_cast<const TVelqorimConstraintDefUnique&>(c).IndexObjectID == IndexObjectID) {
      ConstraintDefs.Delete(i);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Table data

std::function<bool(TABSBaseExpression*, const uint8_t*, TVelqorimCursor&)> TVelqorimTableData::EvaluateExpression;
std::function<void(TObject*, TABSVariant&)> TVelqorimTableData::EvaluateDefault;

TVelqorimTableData::TVelqorimTableData(TVelqorimDatabaseData* aDatabaseData) : DatabaseData(aDatabaseData) {
  if (DatabaseData != nullptr) PageManager = DatabaseData->PageManager;
}

TVelqorimTableData::~TVelqorimTableData() {
  if (DatabaseData != nullptr) DatabaseData->RemoveTableData(this);
}

void TVelqorimTableData::Lock() { DatabaseData->Lock(); }
void TVelqorimTableData::Unlock() { DatabaseData->Unlock(); }

void TVelqorimTableData::AssignObjectIds(TVelqorimMetaObjectDefs& Defs) {
  for (int i = 0; i < Defs.Count(); ++i) Defs.GetDef(i)->ObjectID = DatabaseData->GetNewObjectId();
}

int TVelqorimTableData::GetRecordSize() const {
  if (FieldManager == nullptr || FieldManager->FieldDefs.Count() == 0) {
    if (DesignTimeFlag) return 0;
    throw EABSException(10131, "Error creating table - no fields were specified");
  }
  return FieldManager->FieldDefs.GetMemoryRecordBufferSize();
}

void TVelqorimTableData::CreateFieldManager(TVelqorimFieldDefs& FieldDefs) {
  AssignObjectIds(FieldDefs);
  FieldManager = std::make_unique<TVelqorimBaseFieldManager>(this);
  FieldManager->FieldDefs.Assign(FieldDefs);
  FieldManager->RecalcFieldOffsets();
  FieldManager->CheckDefaultValues();
  FieldManager->InitLastAutoIncValues();
}

void TVelqorimTableData::CreateIndexManager(TVelqorimIndexDefs& IndexDefs) {
  AssignObjectIds(IndexDefs);
  if (!IndexManager) IndexManager = std::make_unique<TVelqorimBaseIndexManager>(this, PageManager);
  IndexManager->CreateIndexDefs(IndexDefs);
}

void TVelqorimTableData::CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs) {
  AssignObjectIds(ConstraintDefs);
  ConstraintManager = std::make_unique<TVelqorimBaseConstraintManager>(this);
  for (int i = 0; i < ConstraintDefs.Count(); ++i) {
    TVelqorimConstraintDef& c = *ConstraintDefs[i];
    switch (c.ConstraintType) {
      case ctPK: case ctUnique: static_cast<TVelqorimConstraintDefUnique&>(c).TableName = CutDefName(TableName); break;
      case ctNotNull: case ctCheck: static_cast<TVelqorimConstraintDefNotNull&>(c).TableName = CutDefName(TableName); break;
      default: throw EABSException(30058, "Not implemented yet");
    }
  }
  ConstraintManager->ConstraintDefs.Assign(ConstraintDefs);
  ConstraintManager->LinkObjectIds();
  ConstraintManager->FillConstraintAutoNames();
}

void CheckConstraintTypesSupported(const TVelqorimConstraintDefs& ConstraintDefs) {
  for (int i = 0; i < ConstraintDefs.Count(); ++i) {
    const TABSConstraintType t = ConstraintDefs[i]->ConstraintType;
    if (t != ctPK && t != ctUnique && t != ctNotNull && t != ctCheck) throw EABSException(30040, "Not implemented yet");
  }
}

void TVelqorimTableData::MarkInBitmap(TVelqorimCursor& Cursor) {
  TVelqorimRecordBitmap* bitmap = Cursor.RecordBitmap.get();
  if (bitmap == nullptr || !bitmap->Active) return;
  if (IsRecordAccepted(Cursor)) bitmap->ShowRecord(Cursor.CurrentRecordID);
  else bitmap->HideRecord(Cursor.CurrentRecordID);
  bitmap->TableState = RecordManager->TableState;
}

bool TVelqorimTableData::IsBitmapCurrent(const TVelqorimCursor& Cursor) const {
  const TVelqorimRecordBitmap* bitmap = Cursor.RecordBitmap.get();
  return bitmap != nullptr && bitmap->Active && bitmap->TableState == RecordManager->TableState;
}

void TVelqorimTableData::FindNeighbourForDelete(TVelqorimCursor& Cursor, TABSPageItemID& Neighbour,
                                                bool& BeforeFirst) {
  const TABSPageItemID target = Cursor.CurrentRecordID;
  void* saved = Cursor.SavePosition();
  std::vector<uint8_t> current(static_cast<size_t>(Cursor.RecordBufferSize));
  std::memcpy(current.data(), Cursor.CurrentRecordBuffer, current.size());
  Neighbour = {-1, 0};
  BeforeFirst = false;
  auto restore = [&] {
    Cursor.RestorePosition(saved);
    Cursor.FreePosition(saved);
    std::memcpy(Cursor.CurrentRecordBuffer, current.data(), current.size());
    Cursor.CurrentRecordID = target;
  };
  try {
    if (GetRecordBuffer(Cursor, grmNext) == grrOK) {
      Neighbour = Cursor.CurrentRecordID;
    } else {
      Cursor.RestorePosition(saved);
      if (GetRecordBuffer(Cursor, grmPrior) == grrOK) Neighbour = Cursor.CurrentRecordID;
      else BeforeFirst = true;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TVelqorimTableData::LeaveDeletedRecord(TVelqorimCursor& Cursor, TABSPageItemID Target, bool BitmapWasCurrent,
                                            TABSPageItemID Neighbour, bool BeforeFirst) {
  TVelqorimRecordBitmap* bitmap = Cursor.RecordBitmap.get();
  if (bitmap != nullptr && bitmap->Active) {
    bitmap->HideRecord(Target);
    if (BitmapWasCurrent && !Cursor.IsDistinctApplied()) bitmap->TableState = RecordManager->TableState;
  }
  if (BeforeFirst) {
    Cursor.FirstPosition = true;
    Cursor.LastPosition = false;
    Cursor.CurrentRecordID = {-1, 0};
  } else {
    Cursor.FirstPosition = Cursor.LastPosition = false;
    Cursor.CurrentRecordID = Neighbour;
  }
}

void TVelqorimTableData::InitCursorRecordLayout(TVelqorimCursor& Cursor) {
  const TVelqorimFieldDefs& defs = FieldManager->FieldDefs;
  Cursor.FieldValuesOffset = defs.Count() > 0 ? defs[0]->MemoryOffset : 0;
  Cursor.RecordSize = GetRecordSize();
}

void TVelqorimTableData::ApplyChanges(int SessionID, bool InTransaction) {
  if (!InTransaction && PageManager != nullptr) PageManager->ApplyChanges(SessionID);
}

void TVelqorimTableData::CancelChanges(int SessionID, bool InTransaction) {
  if (!InTransaction && PageManager != nullptr) PageManager->CancelChanges(SessionID);
}

void TVelqorimTableData::DeleteTable(TVelqorimCursor* Cursor, bool DesignMode) {
  (void)Cursor;
  if (!DesignMode && !CursorList.empty())
    throw EABSException(20017, "Cannot delete table '%s'. Table is open by another dataset", {TableName});
}

namespace {
int SessionIdOf(const TVelqorimCursor* Cursor) {
  return Cursor != nullptr && Cursor->Session != nullptr ? Cursor->Session->SessionID : -2;
}
}  // namespace

void TVelqorimTableData::EmptyTable(TVelqorimCursor* Cursor) {
  FieldManager->InitLastAutoIncValues();
  EmptyAllIndexes(SessionIdOf(Cursor));
}

void TVelqorimTableData::RenameTable(const String& NewTableName, TVelqorimCursor* Cursor) {
  (void)Cursor;
  if (!CursorList.empty())
    throw EABSException(10150, "Cannot rename table '%s'. Table is open by another dataset", {TableName});
  TableName = NewTableName;
}

void TVelqorimTableData::OpenTable(TVelqorimCursor* Cursor) { CursorList.push_back(Cursor); }

void TVelqorimTableData::CloseTable(TVelqorimCursor* Cursor) { std::erase(CursorList, Cursor); }

void TVelqorimTableData::RenameField(const String& FieldName, const String& NewFieldName) {
  TVelqorimFieldDefs& defs = FieldManager->FieldDefs;
  TVelqorimMetaObjectDef* d = defs.GetDefByName(FieldName);
  if (d == nullptr) throw EABSException(30343, "Field '%s' not found", {FieldName});
  if (defs.GetDefByName(NewFieldName) != nullptr)
    throw EABSException(30344, "Cannot rename field '%s'. Field '%s' already exists", {FieldName, NewFieldName});
  d->Name = CutDefName(NewFieldName);
  if (IndexManager) IndexManager->RenameField(FieldName, d->Name);
}

void TVelqorimTableData::AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor) {
  void* saved = Cursor != nullptr ? Cursor->SavePosition() : nullptr;
  try {
    IndexManager->CreateIndex(Cursor, IndexDef);
    if (!IndexDef.Temporary && (Cursor == nullptr || !Cursor->Temporary))
      ConstraintManager->AddConstraintFromIndex(IndexDef);
  } catch (...) {
    if (saved != nullptr) {
      Cursor->RestorePosition(saved);
      Cursor->FreePosition(saved);
    }
    throw;
  }
  if (saved != nullptr) {
    Cursor->RestorePosition(saved);
    Cursor->FreePosition(saved);
  }
}

void TVelqorimTableData::DeleteIndex(int IndexID, TVelqorimCursor* Cursor) {
  const TVelqorimIndexDef* d = IndexManager->IndexDefs.GetIndexDefByObjectId(IndexID);
  if (Cursor != nullptr && d != nullptr && !d->Temporary && !Cursor->Temporary)
    ConstraintManager->DeleteConstraintForIndexID(IndexID);
  IndexManager->DropIndex(SessionIdOf(Cursor), IndexID);
}

// B-tree positions number by base (entries per page + 1) digits, one per level.
int64_t TVelqorimTableData::GetBitmapRecNoByIndexPosition(int IndexID, TObject* IndexPosition) {
  auto* path = dynamic_cast<TVelqorimKeyPath*>(IndexPosition);
  if (path == nullptr) throw EABSException(20018, "Index not found");
  return path->GetBitmapRecNoByIndexPosition(IndexManager->OpenIndex(IndexID)->GetMaxEntriesPerPage());
}

void TVelqorimTableData::GetIndexPositionByBitmapRecNo(int IndexID, int64_t RecNo, TObject* IndexPosition) {
  auto* path = dynamic_cast<TVelqorimKeyPath*>(IndexPosition);
  if (path == nullptr) throw EABSException(20018, "Index not found");
  // Bitmap numbers carry entry numbers only; the index walks them to pages.
  TVelqorimIndex& index = *IndexManager->OpenIndex(IndexID);
  path->FillItemsByBitmapRecNo(static_cast<int32_t>(RecNo), index.GetMaxEntriesPerPage());
  TABSPageItemID id;
  index.GetRecordIDByIndexPosition(0, path, id);
  std::vector<uint8_t> record(static_cast<size_t>(RecordManager->RecordBufferSize));
  TABSNavigationInfo nav;
  nav.RecordID = id;
  nav.RecordBuffer = record.data();
  RecordManager->GetRecordBuffer(0, nav);
  index.GetIndexPosition(0, id, record.data(), path);
}

void TVelqorimTableData::ClearBLOBFieldsInRecordBuffer(uint8_t* RecordBuffer) {
  if (!FieldManager->BlobFieldsPresent()) return;
  for (int i = 0; i < FieldManager->FieldDefs.Count(); ++i)
    if (IsBlobBaseFieldType(FieldManager->FieldDefs[i]->BaseFieldType)) ClearBLOBFieldInRecordBuffer(RecordBuffer, i);
}

int64_t TVelqorimTableData::LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session) {
  (void)FieldNo, (void)Session;
  return 0;
}

void TVelqorimTableData::EmptyIndex(int IndexID, int SessionID) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  IndexManager->EmptyIndex(SessionID, IndexID);
}

void TVelqorimTableData::DeleteAllIndexes(TVelqorimCursor* Cursor) {
  while (IndexManager->IndexDefs.Count() > 0) DeleteIndex(IndexManager->IndexDefs[0]->ObjectID, Cursor);
}

void TVelqorimTableData::EmptyAllIndexes(int SessionID) {
  if (IndexManager) IndexManager->EmptyAllIndexes(SessionID);
}

String TVelqorimTableData::FindOrCreateIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList,
                                             TStringList& AscDescList, TStringList& CaseSensitivityList,
                                             bool& IsCreated) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  void* saved = Cursor.SavePosition();
  const int sessionID = SessionIdOf(&Cursor);
  const bool inTransaction = Cursor.Session != nullptr && Cursor.Session->InTransaction;
  String name;
  try {
    const int id = IndexManager->FindOrCreateIndex(Cursor, FieldNamesList, AscDescList, CaseSensitivityList, IsCreated);
    const TVelqorimMetaObjectDef* d = IndexManager->IndexDefs.GetDefByObjectId(id);
    if (d == nullptr) throw EABSException(10324, "Cannot find index by ID = %d", {id});
    name = d->Name;
    ApplyChanges(sessionID, inTransaction);
  } catch (...) {
    try {
      CancelChanges(sessionID, inTransaction);
    } catch (...) {
    }
    Cursor.RestorePosition(saved);
    Cursor.FreePosition(saved);
    throw;
  }
  Cursor.RestorePosition(saved);
  Cursor.FreePosition(saved);
  return name;
}

bool TVelqorimTableData::IndexExists(TVelqorimCursor& Cursor, TStringList& FieldNamesList, TStringList& AscDescList,
                                     TStringList& CaseSensitivityList) {
  TVelqorimLockGuard<TVelqorimTableData> lock(*this);
  return IndexManager->IsIndexExists(FieldNamesList, AscDescList, CaseSensitivityList, SessionIdOf(&Cursor),
                                     Cursor.FieldDefs);
}

bool TVelqorimTableData::IsUniqueConstraintFailed(int SessionID, int IndexID, const uint8_t* NewRecordBuffer,
                                                  const uint8_t* OldRecordBuffer, bool ToInsert,
                                                  TABSPageItemID CurrentRecordID) {
  (void)CurrentRecordID;
  if (RecordManager->RecordCount == 0) return false;
  TVelqorimIndex* index = IndexManager->OpenIndex(IndexID);
  return ToInsert ? !index->CanInsertRecord(SessionID, NewRecordBuffer)
                  : !index->CanUpdateRecord(SessionID, OldRecordBuffer, NewRecordBuffer);
}

void TVelqorimTableData::RebuildTemporaryIndexes(int SessionID) {
  if (!IndexManager) return;
  for (TVelqorimCursor* c : CursorList)
    if (c->Session != nullptr && c->Session->SessionID == SessionID) {
      bool changed = false;
      IndexManager->SynchronizeTemporaryIndexes(*c, changed);
    }
}

// ---------------------------------------------------------------------------
// Database data

std::function<void(TVelqorimDatabaseData*)> TVelqorimDatabaseData::OnDestroy;

TVelqorimDatabaseData::TVelqorimDatabaseData() = default;

TVelqorimDatabaseData::~TVelqorimDatabaseData() {
  while (!FTableDataList.empty()) delete FTableDataList.back();  // each leaves the list itself
  if (OnDestroy) OnDestroy(this);
}

void TVelqorimDatabaseData::AddTableData(TVelqorimTableData* TableData) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  FTableDataList.push_back(TableData);
}

void TVelqorimDatabaseData::RemoveTableData(TVelqorimTableData* TableData) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  std::erase(FTableDataList, TableData);
}

void TVelqorimDatabaseData::ConnectSession(TVelqorimBaseSession* Session) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  SessionList.push_back(Session);
  Session->SessionID = 0;
}

void TVelqorimDatabaseData::DisconnectSession(TVelqorimBaseSession* Session) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  std::erase(SessionList, Session);
}

bool TVelqorimDatabaseData::FreeIfNoSessionsConnected() {
  if (!SessionList.empty()) return false;
  delete this;
  return true;
}

void TVelqorimDatabaseData::GetTablesList(TStrings& List) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  for (TVelqorimTableData* t : FTableDataList) List.Add(t->TableName);
}

TVelqorimTableData* TVelqorimDatabaseData::FindTableData(const TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  for (TVelqorimTableData* t : FTableDataList)
    if (SameDefName(t->TableName, Cursor.TableName)) return t;
  return nullptr;
}

TVelqorimTableData* TVelqorimDatabaseData::FindOrCreateTableData(TVelqorimCursor& Cursor) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  TVelqorimTableData* t = FindTableData(Cursor);
  return t != nullptr ? t : CreateTableData(Cursor);
}

void TVelqorimDatabaseData::Commit(int SessionID, bool DoFlushBuffers) {
  (void)DoFlushBuffers;
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (PageManager != nullptr) PageManager->ApplyChanges(SessionID);
}

void TVelqorimDatabaseData::Rollback(int SessionID) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  if (PageManager != nullptr) PageManager->CancelChanges(SessionID);
  for (TVelqorimTableData* t : FTableDataList) t->Rollback(SessionID);
}

bool TVelqorimDatabaseData::TableExists(const String& TableName) {
  TVelqorimLockGuard<TVelqorimDatabaseData> lock(*this);
  TStringList list;
  GetTablesList(list);
  for (int i = 0; i < list.Count(); ++i)
    if (SameDefName(list[i], TableName)) return true;
  return false;
}
