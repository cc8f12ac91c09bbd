// TVelqorimDataSet: the framework's record operations as cursor operations.

#include "db/sql/VelqorimDataset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "db/sql/VelqorimExpressions.h"
#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

TVelqorimDatabaseHooks VelqorimDatabaseHooks;
std::function<void(TObject* Sender)> VelqorimHandleException;
std::function<int(TVelqorimDataSet& DataSet, const String& SQL, TParams* Params)>
    TVelqorimDataSet::ExecuteStatementHook;

namespace {

[[noreturn]] void NilPointer(int Code) { throw EABSException(Code, "Nil pointer occured"); }

TABSPageItemID ReadRecordID(const uint8_t* Place) {
  TABSPageItemID id{-1, 0};
  std::memcpy(&id.PageNo, Place, 4);
  std::memcpy(&id.PageItemNo, Place + 4, 2);
  return id;
}

void WriteRecordID(uint8_t* Place, TABSPageItemID Id) {
  std::memcpy(Place, &Id.PageNo, 4);
  std::memcpy(Place + 4, &Id.PageItemNo, 2);
}

// Keeps the cursor's position while it visits another record.
class TPositionGuard {
 public:
  explicit TPositionGuard(TVelqorimCursor& Cursor) : FCursor(Cursor), FPos(Cursor.SavePosition()) {}
  ~TPositionGuard() {
    FCursor.RestorePosition(FPos);
    FCursor.FreePosition(FPos);
  }
  TPositionGuard(const TPositionGuard&) = delete;
  TPositionGuard& operator=(const TPositionGuard&) = delete;
  // Stands the cursor on the record whose id the buffer holds.
  void GoTo(const uint8_t* Buffer) {
    FCursor.FirstPosition = false;
    FCursor.LastPosition = false;
    FCursor.CurrentRecordID = ReadRecordID(Buffer + FCursor.BookmarkOffset);
  }

 private:
  TVelqorimCursor& FCursor;
  void* FPos;
};

// Lends the cursor another record buffer and takes its own back.
class TBufferGuard {
 public:
  TBufferGuard(TVelqorimCursor& Cursor, uint8_t* Buffer) : FCursor(Cursor), FSaved(Cursor.CurrentRecordBuffer) {
    Cursor.CurrentRecordBuffer = Buffer;
  }
  ~TBufferGuard() { FCursor.CurrentRecordBuffer = FSaved; }
  TBufferGuard(const TBufferGuard&) = delete;
  TBufferGuard& operator=(const TBufferGuard&) = delete;

 private:
  TVelqorimCursor& FCursor;
  uint8_t* FSaved;
};

// A record buffer of the cursor for the length of a search.
class TScratchRecord {
 public:
  explicit TScratchRecord(TVelqorimCursor& Cursor) : FCursor(Cursor), FBuffer(Cursor.AllocateRecordBuffer()) {}
  ~TScratchRecord() { FCursor.FreeRecordBuffer(FBuffer); }
  TScratchRecord(const TScratchRecord&) = delete;
  TScratchRecord& operator=(const TScratchRecord&) = delete;
  uint8_t* Get() const { return FBuffer; }

 private:
  TVelqorimCursor& FCursor;
  uint8_t* FBuffer;
};

TDateTime EngineDateTimeToDateTime(const TABSDateTime& Value) {
  return static_cast<double>(Value.Date) - ABSDateDelta + static_cast<double>(Value.Time) / ABSMSecsPerDay;
}

TABSDateTime DateTimeToEngineDateTime(TDateTime Value) {
  const double days = std::floor(Value);
  TABSDateTime r;
  int64_t ms = std::llrint((Value - days) * ABSMSecsPerDay);
  int64_t date = static_cast<int64_t>(days) + ABSDateDelta;
  if (ms >= ABSMSecsPerDay) {
    ms -= ABSMSecsPerDay;
    ++date;
  }
  r.Date = static_cast<int32_t>(date);
  r.Time = static_cast<int32_t>(ms);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Conversions

TABSVarData VariantToVarData(const Variant& Value) {
  TABSVarData r;
  if (Value.IsNull()) {
    r.VType = varNull;
  } else if (Value.IsString()) {
    r.VType = varUString;
    r.VOleStr = UTF8ToUTF16(Value.AsString());
  } else if (Value.IsNumeric()) {
    const double d = Value.AsFloat();
    if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
      r.VType = varInt64;
      r.VInteger = Value.AsInt64();
    } else {
      r.VType = varDouble;
      r.VDouble = d;
    }
  } else if (Value.IsBytes()) {
    const auto bytes = Value.AsBytes();
    r.VType = varString;
    r.VString.assign(bytes.begin(), bytes.end());
  } else {
    r.VType = varBoolean;
    r.VBoolean = Value.AsBoolean();
  }
  return r;
}

// ---------------------------------------------------------------------------
// Construction and properties

TVelqorimDataSet::TVelqorimDataSet(TComponent* AOwner)
    : TDataSet(AOwner), FIndexDefs(std::make_unique<TIndexDefs>(this)) {
  // Filters and Locate are parsed by the expression layer.
  InstallVelqorimExpressionHooks();
  if (AOwner != nullptr && (AOwner->ComponentState() & csDesigning)) DesignTimeFlag = true;
}

TVelqorimDataSet::~TVelqorimDataSet() {
  FreeEditBuffer();
  CloseQuietly();
  while (FDBFlags != 0) {
    for (int f = 0; f < 16; ++f)
      if (DBFlag(f)) UpdateDBFlag(f, false);
  }
}

void TVelqorimDataSet::CloseQuietly() {
  try {
    Close();
  } catch (...) {
    // Destructors close without raising; the engine cancel still ran.
    InternalHandleException();
    try {
      TDataSet::SetActive(false);
    } catch (...) {
    }
  }
}

String TVelqorimDataSet::CurrentVersion() { return "7.80 "; }

void TVelqorimDataSet::SetDatabaseName(const String& Value) {
  if (ComponentState() & csLoading) {
    FDatabaseName = Value;
    FInMemory = SameText(Value, "MEMORY");
    return;
  }
  if (Value == FDatabaseName) return;
  CheckInactive();
  if (FDatabase != nullptr || FDBFlags != 0) DatabaseError("Cannot perform this operation on an open database", this);
  FDatabaseName = Value;
  FInMemory = SameText(Value, "MEMORY");
  DataEvent(dePropertyChange, 0);
}

void TVelqorimDataSet::SetSessionName(const String& Value) {
  CheckInactive();
  FSessionName = Value;
  DataEvent(dePropertyChange, 0);
}

void TVelqorimDataSet::SetInMemory(bool Value) {
  CheckInactive();
  FInMemory = Value;
  if (Value) FDatabaseName = "MEMORY";
}

TField* TVelqorimDataSet::IndexField(int Index) {
  if (Index < 0 || Index >= FIndexFieldCount) DatabaseError("Field index out of range", this);
  TField* f = Fields().FieldByNumber(FIndexFieldMap[static_cast<size_t>(Index)]);
  if (f == nullptr) DatabaseErrorFmt("Cannot access index field '%s'", {String()}, this);
  return f;
}

// ---------------------------------------------------------------------------
// The database

void TVelqorimDataSet::UpdateDBFlag(int Flag, bool Value) {
  const uint16_t bit = static_cast<uint16_t>(1u << Flag);
  if (DBFlag(Flag) == Value) return;
  if (Value) {
    if (FDBFlags == 0) OpenDatabase();
    FDBFlags |= bit;
    return;
  }
  FDBFlags &= static_cast<uint16_t>(~bit);
  if (FDBFlags == 0) CloseDatabase();
}

void TVelqorimDataSet::OpenDatabase() {
  if (VelqorimDatabaseHooks.Open) {
    FDatabase = VelqorimDatabaseHooks.Open(*this);
    FEngineSession = VelqorimDatabaseHooks.EngineSession ? VelqorimDatabaseHooks.EngineSession(FDatabase) : nullptr;
    return;
  }
  // An unknown session name is refused as the session list does.
  if (SessionList != nullptr) SessionList->GetSessionByName(FSessionName);
  auto session = std::make_unique<TVelqorimLocalSession>();
  session->DatabaseName = FDatabaseName;
  session->SessionName = FSessionName;
  session->SetConnected(true);
  FOwnSession = std::move(session);
  FEngineSession = FOwnSession.get();
}

void TVelqorimDataSet::CloseDatabase() {
  if (FOwnSession) {
    FOwnSession->SetConnected(false);
    FOwnSession.reset();
  } else if (VelqorimDatabaseHooks.Close) {
    VelqorimDatabaseHooks.Close(*this, FDatabase);
  }
  FDatabase = nullptr;
  FEngineSession = nullptr;
}

// ---------------------------------------------------------------------------
// Opening and closing

void TVelqorimDataSet::SetActive(bool Value) {
  if (!Value && (State() == dsEdit || State() == dsInsert) && FHandle != nullptr) InternalCancel();
  TDataSet::SetActive(Value);
}

void TVelqorimDataSet::OpenCursor(bool InfoQuery) {
  if (FDatabaseName.empty()) DatabaseError("DatabaseName property is blank", this);
  UpdateDBFlag(0, true);
  if (FHandle == nullptr) FHandle = CreateCursorHandle();
  if (FHandle == nullptr) throw EABSException(20001, "Error creating table handle");
  TDataSet::OpenCursor(InfoQuery);
}

void TVelqorimDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  if (FHandle != nullptr) LoadFieldDefs(*FHandle);
}

void TVelqorimDataSet::LoadFieldDefs(TVelqorimCursor& Cursor) {
  FieldDefs().Clear();
  if (!FIgnoreDesignMode) Cursor.IsDesignMode = DesignTimeFlag;
  Cursor.InternalInitFieldDefs();
  FVelqorimFieldDefs.Assign(Cursor.VisibleFieldDefs);
  FVelqorimConstraintDefs.Assign(Cursor.ConstraintDefs);
  EngineFieldDefsToFieldDefs(Cursor.VisibleFieldDefs, Cursor.ConstraintDefs, FieldDefs());
  EngineFieldDefsToAdvFieldDefs(Cursor.VisibleFieldDefs, Cursor.FieldDefs, Cursor.ConstraintDefs, FAdvFieldDefs);
  FRestructureFieldDefs.Assign(FAdvFieldDefs);
}

void TVelqorimDataSet::InternalOpen() {
  if (FHandle == nullptr) return;
  BookmarkSize = 7;
  InitFieldDefs();
  GetIndexInfo();
  FreeEditBuffer();
  for (int i = 0; i < FieldDefs().Count(); ++i)
    if (FieldDefs()[i]->DataType == ftGuid) FieldDefs()[i]->Size = 38;
  if (DefaultFields()) CreateFields();
  BindFields(true);
  FHandle->Dataset = this;
  FHandle->RecordBufferSize += CalcFieldsSize();
  if (Filtered())
    ActivateFilters();
  else
    DeactivateFilters();
  AllocKeyBuffers();
  ResetCursorRange();
  PrepareCursor();
}

void TVelqorimDataSet::InternalClose() {
  if (FHandle != nullptr) {
    FreeEditBuffer();
    FreeKeyBuffers();
  }
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  FVelqorimFieldDefs.Clear();
  FVelqorimIndexDefs.Clear();
  FAdvFieldDefs.Clear();
  FAdvIndexDefs.Clear();
  FIndexFieldCount = 0;
  FIndexFieldMap.clear();
  FKeySize = 0;
}

void TVelqorimDataSet::CloseCursor() {
  try {
    TDataSet::CloseCursor();
  } catch (...) {
    if (FHandle != nullptr) DestroyCursorHandle();
    UpdateDBFlag(0, false);
    throw;
  }
  if (FHandle != nullptr) DestroyCursorHandle();
  UpdateDBFlag(0, false);
}

void TVelqorimDataSet::DestroyCursorHandle() {
  if (FHandle != nullptr && FHandle != FExternalHandle) {
    FHandle->SettingProjection = false;
    delete FHandle;
  }
  FHandle = nullptr;
  FExternalHandle = nullptr;
}

void TVelqorimDataSet::FreeEditBuffer() {
  if (FEditRecordBuffer == nullptr) return;
  if (FHandle != nullptr)
    FHandle->FreeRecordBuffer(FEditRecordBuffer);
  else
    MemoryManager().FreeAndNillMem(FEditRecordBuffer);
  FEditRecordBuffer = nullptr;
}

// ---------------------------------------------------------------------------
// Record buffers

TRecordBuffer TVelqorimDataSet::AllocRecordBuffer() {
  if (FHandle == nullptr) NilPointer(10052);
  return FHandle->AllocateRecordBuffer();
}

void TVelqorimDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  if (FHandle == nullptr) NilPointer(10053);
  FHandle->FreeRecordBuffer(Buffer);
}

int TVelqorimDataSet::GetRecordSize() {
  if (FHandle == nullptr) NilPointer(10055);
  return FHandle->RecordSize - 7;
}

void TVelqorimDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  if (FHandle == nullptr) NilPointer(10054);
  FHandle->InternalInitRecord(Buffer, true);
}

void TVelqorimDataSet::InitRecord(TRecordBuffer Buffer) {
  TDataSet::InitRecord(Buffer);
  WriteRecordID(Buffer + FHandle->BookmarkOffset, {-1, 0xFFFF});
  Buffer[FHandle->BookmarkOffset + 6] = 3;
}

void TVelqorimDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  if (Buffer == nullptr) NilPointer(10039);
  if (FHandle == nullptr) NilPointer(10040);
  if (CalcFieldsSize() > 0)
    std::memset(Buffer + FHandle->CalculatedFieldsOffset, 0, static_cast<size_t>(CalcFieldsSize()));
}

TGetResult TVelqorimDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
  if (FHandle == nullptr) NilPointer(10041);
  FHandle->CurrentRecordBuffer = Buffer;
  const TABSGetRecordMode mode = GetMode == gmCurrent ? grmCurrent : GetMode == gmNext ? grmNext : grmPrior;
  switch (FHandle->GetRecordBuffer(mode)) {
    case grrOK:
      WriteRecordID(Buffer + FHandle->BookmarkOffset, FHandle->CurrentRecordID);
      Buffer[FHandle->BookmarkOffset + 6] = 0;
      ClearCalcFields(Buffer);
      GetCalcFields(Buffer);
      return grOK;
    case grrBOF:
      return grBOF;
    case grrEOF:
      return grEOF;
    default:
      if (DoCheck) throw EABSException(10026, "Cannot retrieve record");
      return grError;
  }
}

bool TVelqorimDataSet::ReadCurrentInto(uint8_t* Buffer) {
  TBufferGuard lend(*FHandle, Buffer);
  return FHandle->GetRecordBuffer(grmCurrent) == grrOK;
}

bool TVelqorimDataSet::GetCurrentRecord(TRecordBuffer Buffer) {
  if (FHandle == nullptr) return false;
  if (ActiveRecordIndex() >= BufferRecordCount() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  UpdateCursorPos();
  return ReadCurrentInto(Buffer);
}

TRecordBuffer TVelqorimDataSet::GetActiveRecordBuffer() {
  switch (State()) {
    case dsBrowse:
      return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
      return ActiveBuffer();
    case dsSetKey:
      return FKeyBuffer;
    case dsCalcFields:
      return CalcBuffer();
    case dsFilter:
      return FFilterBuffer;
    case dsOldValue:
      return FEditRecordBuffer;
    default:
      return nullptr;
  }
}

// ---------------------------------------------------------------------------
// Bookmarks and positioning

void TVelqorimDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) {
  if (Buffer == nullptr || Data == nullptr) NilPointer(Buffer == nullptr ? 10034 : 10035);
  if (FHandle == nullptr) NilPointer(10036);
  std::memcpy(Data, Buffer + FHandle->BookmarkOffset, 6);
}

void TVelqorimDataSet::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data) {
  Data.assign(static_cast<size_t>(BookmarkSize), 0);
  GetBookmarkData(Buffer, Data.data());
}

void TVelqorimDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  if (FHandle == nullptr) NilPointer(10058);
  if (Buffer == nullptr) NilPointer(10061);
  if (Data != nullptr) std::memcpy(Buffer + FHandle->BookmarkOffset, Data, 6);
}

void TVelqorimDataSet::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data) {
  SetBookmarkData(Buffer, Data.empty() ? nullptr : Data.data());
}

TBookmarkFlag TVelqorimDataSet::GetBookmarkFlag(TRecordBuffer Buffer) {
  if (Buffer == nullptr) NilPointer(10059);
  if (FHandle == nullptr) NilPointer(10060);
  switch (Buffer[FHandle->BookmarkOffset + 6]) {
    case 1: return bfBOF;
    case 2: return bfEOF;
    case 3: return bfInserted;
    default: return bfCurrent;
  }
}

void TVelqorimDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  if (FHandle == nullptr || Buffer == nullptr) NilPointer(10057);
  Buffer[FHandle->BookmarkOffset + 6] = static_cast<uint8_t>(Value);
}

void TVelqorimDataSet::InternalGotoBookmark(const void* Bookmark) {
  if (Bookmark == nullptr) NilPointer(10037);
  if (FHandle == nullptr) NilPointer(10038);
  FHandle->CurrentRecordID = ReadRecordID(static_cast<const uint8_t*>(Bookmark));
  FHandle->FirstPosition = false;
  FHandle->LastPosition = false;
}

void TVelqorimDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  if (FHandle == nullptr) NilPointer(10046);
  if (Buffer == nullptr) NilPointer(10047);
  InternalGotoBookmark(Buffer + FHandle->BookmarkOffset);
}

void TVelqorimDataSet::InternalFirst() {
  if (FHandle == nullptr) NilPointer(10044);
  FHandle->InternalFirst();
}

void TVelqorimDataSet::InternalLast() {
  if (FHandle == nullptr) NilPointer(10045);
  FHandle->InternalLast();
}

int TVelqorimDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.empty() && Bookmark2.empty()) return 0;
  if (Bookmark2.empty()) return -1;
  if (Bookmark1.empty()) return 1;
  if (FHandle == nullptr) NilPointer(10063);
  const int c = FHandle->CompareRecordsOrder(ReadRecordID(Bookmark1.data()), ReadRecordID(Bookmark2.data()));
  return (c > 0) - (c < 0);
}

bool TVelqorimDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (FHandle == nullptr || Bookmark.size() < 6) return false;
  CursorPosChanged();
  TScratchRecord buffer(*FHandle);
  TPositionGuard position(*FHandle);
  FHandle->FirstPosition = false;
  FHandle->LastPosition = false;
  FHandle->CurrentRecordID = ReadRecordID(Bookmark.data());
  return ReadCurrentInto(buffer.Get());
}

int TVelqorimDataSet::GetRecordCount() {
  if (!Active()) return 0;
  if (FHandle == nullptr) NilPointer(10056);
  return static_cast<int>(FHandle->GetRecordCount());
}

int TVelqorimDataSet::GetRecNo() {
  if (State() == dsInsert) return -1;
  if (FHandle == nullptr) NilPointer(10043);
  uint8_t* buffer = State() == dsCalcFields ? CalcBuffer() : GetActiveRecordBuffer();
  if (buffer == nullptr) return -1;
  TPositionGuard position(*FHandle);
  position.GoTo(buffer);
  return static_cast<int>(FHandle->GetRecNo());
}

void TVelqorimDataSet::SetRecNo(int Value) {
  CheckBrowseMode();
  if (FHandle == nullptr) NilPointer(10042);
  DoBeforeScroll();
  FHandle->SetRecNo(Value);
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

void TVelqorimDataSet::InternalRefresh() {
  if (Active() && FHandle != nullptr && IsFilterEventActive()) FHandle->DisableRecordBitmap();
}

void TVelqorimDataSet::InternalHandleException() {
  if (VelqorimHandleException) VelqorimHandleException(this);
}

// ---------------------------------------------------------------------------
// Editing

void TVelqorimDataSet::CheckEngineError() {
  if (FHandle != nullptr && FHandle->ErrorCode != 0) throw EVelqorimEngineError(FHandle->ErrorCode, FHandle->ErrorMessage);
}

void TVelqorimDataSet::InternalInsert() {
  if (!FReadOnly && FHandle != nullptr) FHandle->InternalInsert();
}

void TVelqorimDataSet::InternalEdit() {
  if (FReadOnly) return;
  if (FHandle == nullptr) NilPointer(10065);
  uint8_t* active = ActiveBuffer();
  if (active == nullptr) NilPointer(10067);
  FreeEditBuffer();
  FEditRecordBuffer = FHandle->AllocateRecordBuffer();
  std::memcpy(FEditRecordBuffer, active, static_cast<size_t>(FHandle->RecordSize));
  FHandle->CurrentRecordBuffer = active;
  FHandle->InternalEdit();
  if (FHandle->ErrorCode != 0) FreeEditBuffer();
  CheckEngineError();
}

void TVelqorimDataSet::InternalPost() {
  TDataSet::InternalPost();
  if (!Active()) throw EABSException(10029, "Dataset is not opened");
  if (State() != dsEdit && State() != dsInsert) throw EABSException(10030, "Dataset is not in insert or edit mode");
  if (FReadOnly) throw EABSException(10032, "Dataset is in read only mode");
  if (FHandle == nullptr) NilPointer(10048);
  FHandle->CurrentRecordBuffer = ActiveBuffer();
  if (State() == dsEdit) FHandle->EditRecordBuffer = FEditRecordBuffer;
  FHandle->InternalPost(State() == dsInsert);
  // A refused post keeps the starting copy, so a second post compares against it.
  if (State() == dsEdit && FHandle->ErrorCode == 0) {
    FHandle->EditRecordBuffer = nullptr;
    FreeEditBuffer();
  }
  CheckEngineError();
}

void TVelqorimDataSet::InternalCancel() {
  if (FHandle == nullptr) NilPointer(10066);
  FHandle->EditRecordBuffer = nullptr;
  FreeEditBuffer();
  FHandle->CurrentRecordBuffer = ActiveBuffer();
  // A cancel reports only its own outcome, never a refused post before it.
  FHandle->ErrorCode = 0;
  FHandle->ErrorMessage.clear();
  FHandle->InternalCancel(State() == dsInsert);
  CheckEngineError();
}

void TVelqorimDataSet::InternalDelete() {
  if (!Active()) throw EABSException(10068, "Dataset is not opened");
  if (FReadOnly) throw EABSException(10069, "Dataset is in read only mode");
  if (FHandle == nullptr) NilPointer(10070);
  uint8_t* active = ActiveBuffer();
  if (active == nullptr) NilPointer(10071);
  FHandle->CurrentRecordBuffer = active;
  FHandle->InternalDelete();
  CheckEngineError();
}

void TVelqorimDataSet::InternalAddRecord(TRecordBuffer Buffer, bool /*Append*/) {
  if (!Active()) throw EABSException(10075, "Dataset is not opened");
  if (State() != dsInsert) throw EABSException(10076, "Dataset is not in insert or edit mode");
  if (FReadOnly) throw EABSException(10077, "Dataset is in read only mode");
  if (FHandle == nullptr) NilPointer(10078);
  FHandle->CurrentRecordBuffer = Buffer;
  FHandle->InternalPost(true);
  CheckEngineError();
}

// ---------------------------------------------------------------------------
// Index information and key buffers

void TVelqorimDataSet::GetIndexInfo() {
  FIndexFieldMap.clear();
  FIndexFieldCount = 0;
  FKeySize = 0;
  if (FHandle == nullptr || FHandle->IndexName().empty()) return;
  TVelqorimIndexDef* def = FHandle->GetIndexDefs().GetIndexDefByName(FHandle->IndexName());
  if (def == nullptr) throw EABSException(10325, "Cannot find index %s", {FHandle->IndexName()});
  FIndexFieldCount = def->ColumnCount();
  for (int i = 0; i < FIndexFieldCount; ++i) {
    const int n = FHandle->FieldDefs.GetDefNumberByName(def->GetIndexColumn(i).FieldName);
    FIndexFieldMap.push_back(static_cast<uint16_t>(n + 1));
    if (n >= 0) FKeySize += FHandle->FieldDefs[n]->MemoryDataSize;
  }
}

bool TVelqorimDataSet::GetIsIndexField(TField* Field) {
  if (Field == nullptr || Field->FieldNo() <= 0) return false;
  for (uint16_t n : FIndexFieldMap)
    if (n == Field->FieldNo()) return true;
  return false;
}

void TVelqorimDataSet::SwitchToIndex(const String& IndexName) {
  ResetCursorRange();
  UpdateCursorPos();
  FHandle->SetIndexName(IndexName);
  FKeySize = 0;
  FIndexFieldCount = 0;
  GetIndexInfo();
}

void TVelqorimDataSet::InitKeyBuffer(uint8_t* Buffer) {
  if (FHandle == nullptr) NilPointer(10280);
  FHandle->InternalInitKeyBuffer(Buffer);
}

void TVelqorimDataSet::AllocKeyBuffers() {
  if (FHandle == nullptr) NilPointer(10281);
  try {
    for (auto& b : FKeyBuffers) {
      b = FHandle->AllocateKeyRecordBuffer();
      InitKeyBuffer(b);
    }
  } catch (...) {
    FreeKeyBuffers();
    throw;
  }
}

void TVelqorimDataSet::FreeKeyBuffers() {
  for (auto& b : FKeyBuffers)
    if (b != nullptr) MemoryManager().FreeAndNillMem(b);
  FKeyBuffer = nullptr;
}

bool TVelqorimDataSet::ResetCursorRange() {
  if (FHandle == nullptr) NilPointer(10287);
  uint8_t* start = FKeyBuffers[kiCurRangeStart];
  uint8_t* end = FKeyBuffers[kiCurRangeEnd];
  if ((start == nullptr || !KeyModified(start)) && (end == nullptr || !KeyModified(end))) {
    FHandle->ResetRange();
    return false;
  }
  InitKeyBuffer(start);
  InitKeyBuffer(end);
  FHandle->ResetRange();
  return true;
}

bool TVelqorimDataSet::KeyModified(const uint8_t* Buffer) const { return Buffer[FHandle->KeyOffset] != 0; }
void TVelqorimDataSet::SetKeyModified(uint8_t* Buffer, bool Value) { Buffer[FHandle->KeyOffset] = Value ? 1 : 0; }
bool TVelqorimDataSet::KeyExclusive(const uint8_t* Buffer) const { return Buffer[FHandle->KeyOffset + 1] != 0; }
void TVelqorimDataSet::SetKeyExclusive(uint8_t* Buffer, bool Value) { Buffer[FHandle->KeyOffset + 1] = Value ? 1 : 0; }

int TVelqorimDataSet::KeyFieldCountOf(const uint8_t* Buffer) const {
  int32_t n;
  std::memcpy(&n, Buffer + FHandle->KeyOffset + 2, 4);
  return n;
}

void TVelqorimDataSet::SetKeyFieldCountOf(uint8_t* Buffer, int Value) {
  const int32_t n = Value;
  std::memcpy(Buffer + FHandle->KeyOffset + 2, &n, 4);
}

void TVelqorimDataSet::WithSharedLock(const std::function<void()>& Action) {
  const bool locked = FHandle->LockTable(ltS, 900, 100, true);
  try {
    Action();
  } catch (...) {
    if (locked) FHandle->UnlockTable(ltS, false);
    throw;
  }
  if (locked) FHandle->UnlockTable(ltS, false);
}

// ---------------------------------------------------------------------------
// Field data

bool TVelqorimDataSet::GetFieldData(TField* Field, void* Buffer) {
  uint8_t* record = GetActiveRecordBuffer();
  if (!Active() || record == nullptr) return false;
  if (FHandle == nullptr) NilPointer(10050);
  if (Field->Calculated()) {
    const uint8_t* slot = record + FHandle->CalculatedFieldsOffset + Field->Offset();
    if (slot[0] == 0) return false;
    if (Buffer != nullptr) std::memcpy(Buffer, slot + 1, static_cast<size_t>(Field->DataSize()));
    return true;
  }
  if (Field->FieldNo() <= 0) return false;
  if (Buffer != nullptr && (Field->DataType() == ftBytes || Field->DataType() == ftVarBytes))
    return GetBytesData(Field, Buffer, record);
  if (!FHandle->GetFieldData(Field->FieldNo() - 1, Buffer, record)) return false;
  if (Buffer != nullptr && Field->DataType() == ftDateTime) {
    // The engine's (day, milliseconds) pair as the framework's milliseconds.
    TABSDateTime v;
    std::memcpy(&v, Buffer, sizeof v);
    const double ms = static_cast<double>(v.Date) * ABSMSecsPerDay + v.Time;
    std::memcpy(Buffer, &ms, sizeof ms);
  }
  return true;
}

// The engine keeps bytes in a slot one byte longer than the field; counted
// bytes keep their length there (GetVarBytesLength).
bool TVelqorimDataSet::GetBytesData(TField* Field, void* Buffer, const uint8_t* Record) {
  const int no = Field->FieldNo() - 1;
  const TVelqorimFieldDef& def = FHandle->FieldDefOf(no, false, 10000, 10005);
  std::vector<uint8_t> slot(static_cast<size_t>(std::max(def.MemoryDataSize, Field->Size())));
  if (!FHandle->GetFieldData(no, slot.data(), Record)) return false;
  auto* out = static_cast<uint8_t*>(Buffer);
  if (Field->DataType() == ftBytes) {
    std::memcpy(out, slot.data(), static_cast<size_t>(Field->Size()));
    return true;
  }
  const auto length = static_cast<uint16_t>(
      std::min(GetVarBytesLength(slot.data(), def.FieldSize), static_cast<int32_t>(Field->Size())));
  std::memcpy(out, &length, 2);
  std::memcpy(out + 2, slot.data(), length);
  return true;
}

void TVelqorimDataSet::SetBytesData(TField* Field, const void* Buffer, uint8_t* Record) {
  const int no = Field->FieldNo() - 1;
  const TVelqorimFieldDef& def = FHandle->FieldDefOf(no, false, 10004, 10006);
  std::vector<uint8_t> slot(static_cast<size_t>(def.MemoryDataSize), 0);
  const auto* in = static_cast<const uint8_t*>(Buffer);
  if (Field->DataType() == ftVarBytes) {
    uint16_t counted;
    std::memcpy(&counted, in, 2);
    SetVarBytesValue(slot.data(), def.FieldSize, in + 2, std::min<int32_t>(counted, Field->Size()));
  } else {
    std::memcpy(slot.data(), in, std::min(static_cast<size_t>(Field->Size()), slot.size()));
  }
  FHandle->SetFieldData(no, slot.data(), Record);
}

bool TVelqorimDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer) {
  return GetFieldData(Field, Buffer.empty() ? nullptr : Buffer.data());
}

void TVelqorimDataSet::SetFieldData(TField* Field, const void* Buffer) {
  const TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields && state != dsFilter &&
      state != dsNewValue && state != dsInternalCalc)
    throw EABSException(10007, "Dataset not in edit or insert mode");
  if (state == dsSetKey && (Field->FieldNo() < 0 || (FIndexFieldCount > 0 && !Field->IsIndexField())))
    throw EABSException(20019, "Field %s is not in the current index", {Field->GetDisplayName()});
  uint8_t* record = GetActiveRecordBuffer();
  if (FHandle == nullptr) NilPointer(10051);
  if (record == nullptr) return;
  if (Field->Calculated()) {
    uint8_t* slot = record + FHandle->CalculatedFieldsOffset + Field->Offset();
    slot[0] = Buffer != nullptr ? 1 : 0;
    if (Buffer != nullptr) std::memcpy(slot + 1, Buffer, static_cast<size_t>(Field->DataSize()));
  } else {
    Field->Validate(Buffer);
    if (Buffer != nullptr && (Field->DataType() == ftBytes || Field->DataType() == ftVarBytes)) {
      SetBytesData(Field, Buffer, record);
    } else if (Buffer != nullptr && Field->DataType() == ftDateTime) {
      double ms;
      std::memcpy(&ms, Buffer, sizeof ms);
      TABSDateTime v = DateTimeToEngineDateTime(ms / ABSMSecsPerDay - ABSDateDelta);
      FHandle->SetFieldData(Field->FieldNo() - 1, &v, record);
    } else {
      FHandle->SetFieldData(Field->FieldNo() - 1, Buffer, record);
    }
  }
  // A key written in the set-key state counts as set.
  if (state == dsSetKey) SetModified(true);
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

void TVelqorimDataSet::SetFieldData(TField* Field, const TValueBuffer& Buffer) {
  SetFieldData(Field, Buffer.empty() ? nullptr : Buffer.data());
}

// Time stamps stay in the engine's form in the record; the fields see the
// framework's time stamp. Every other type converts as the framework does.
void TVelqorimDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  if (Field->DataType() != ftTimeStamp) {
    TDataSet::DataConvert(Field, Source, Dest, ToNative);
    return;
  }
  if (ToNative) {
    TSQLTimeStamp ts;
    std::memcpy(&ts, Source, sizeof ts);
    const TABSDateTime v = DateTimeToEngineDateTime(SQLTimeStampToDateTime(ts));
    std::memcpy(Dest, &v, sizeof v);
  } else {
    TABSDateTime v;
    std::memcpy(&v, Source, sizeof v);
    const TSQLTimeStamp ts = DateTimeToSQLTimeStamp(EngineDateTimeToDateTime(v));
    std::memcpy(Dest, &ts, sizeof ts);
  }
}

void TVelqorimDataSet::DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative) {
  DataConvert(Field, Source.data(), Dest.data(), ToNative);
}

// ---------------------------------------------------------------------------
// Values for the SQL layer

void TVelqorimDataSet::GetFieldValue(TABSVariant& Value, int FieldNo, bool DirectAccess) {
  if (FHandle == nullptr) NilPointer(10315);
  FHandle->CurrentRecordBuffer = GetActiveRecordBuffer();
  TVelqorimFieldDef& def = FHandle->FieldDefOf(FieldNo, DirectAccess, 10315, 10315);
  if (!IsBlobBaseFieldType(def.BaseFieldType)) {
    FHandle->GetFieldValue(Value, FieldNo, DirectAccess);
    return;
  }
  Value.Clear(def.BaseFieldType);
  if (FHandle->CurrentRecordBuffer == nullptr) return;
  int visibleNo = FieldNo;
  if (DirectAccess)
    for (int i = 0; i < FHandle->VisibleFieldDefs.Count(); ++i)
      if (FHandle->VisibleFieldDefs[i]->FieldNoReference == FieldNo) visibleNo = i;
  auto* field = dynamic_cast<TBlobField*>(Fields().FieldByNumber(visibleNo + 1));
  if (field == nullptr) return;
  TVelqorimBLOBStream s(field, bmRead);
  const int64_t size = s.Size();
  if (size > 0) {
    std::vector<uint8_t> data(static_cast<size_t>(size));
    s.Seek(0, soBeginning);
    s.Read(data.data(), size);
    Value.SetData(data.data(), static_cast<int>(size), def.BaseFieldType);
  }
}

void TVelqorimDataSet::SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess) {
  if (FHandle == nullptr) NilPointer(10316);
  FHandle->CurrentRecordBuffer = GetActiveRecordBuffer();
  TField* field = Fields().FieldByNumber(FieldNo + 1);
  if (field == nullptr || !field->IsBlob() || Value.IsNull()) {
    FHandle->SetFieldValue(Value, FieldNo, DirectAccess);
    return;
  }
  TVelqorimBLOBStream s(static_cast<TBlobField*>(field), bmWrite);
  s.Write(Value.pData(), Value.DataSize());
}

void TVelqorimDataSet::CopyFieldValue(int SrcFieldNo, bool UseDirectFieldAccess, int DestFieldNo,
                                      TVelqorimDataSet* DestDataset) {
  if (FHandle == nullptr) NilPointer(10500);
  if (DestDataset == nullptr) NilPointer(10503);
  if (DestDataset->FHandle == nullptr) NilPointer(10504);
  FHandle->CurrentRecordBuffer = GetActiveRecordBuffer();
  DestDataset->FHandle->CurrentRecordBuffer = DestDataset->GetActiveRecordBuffer();
  FHandle->CopyFieldValue(SrcFieldNo, UseDirectFieldAccess, DestFieldNo, *DestDataset->FHandle);
}

void TVelqorimDataSet::SetSQLFilter(TABSBaseExpression* FilterExpr, TObject* ParentQueryAO,
                                    TVelqorimCursor* ParentCursor) {
  if (FHandle == nullptr) NilPointer(10300);
  FHandle->SetSQLFilter(FilterExpr, ParentQueryAO, ParentCursor);
}

void TVelqorimDataSet::ApplyProjection(const TStrings& FieldNamesList, const TStrings& AliasList) {
  if (FHandle == nullptr) NilPointer(10320);
  TVelqorimCursor* cursor = FHandle;
  cursor->ApplyProjection(FieldNamesList, AliasList);
  cursor->SettingProjection = true;
  cursor->FirstPosition = true;
  // The database and its session stay while the dataset reopens on the same
  // cursor, whose fields now follow the visible list.
  UpdateDBFlag(12, true);
  try {
    FExternalHandle = cursor;
    Close();
    FHandle = cursor;
    FExternalHandle = cursor;
    Open();
  } catch (...) {
    // Reopened without the projection, on a cursor of its own.
    try {
      Close();
    } catch (...) {
    }
    if (FHandle == cursor) FHandle = nullptr;
    FExternalHandle = nullptr;
    cursor->SettingProjection = false;
    delete cursor;
    try {
      Open();
    } catch (...) {
    }
    UpdateDBFlag(12, false);
    throw;
  }
  cursor->SettingProjection = false;
  FExternalHandle = nullptr;
  UpdateDBFlag(12, false);
}

bool TVelqorimDataSet::IsDistinctApplied() const {
  if (FHandle == nullptr) NilPointer(10326);
  return FHandle->IsDistinctApplied();
}

bool TVelqorimDataSet::IsIndexActive() const {
  if (FHandle == nullptr) NilPointer(10381);
  return FHandle->IndexID != -1;
}

// ---------------------------------------------------------------------------
// BLOB streams

TABSStream* TVelqorimDataSet::CreateEngineBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (FHandle == nullptr) NilPointer(10108);
  if (Mode != bmRead && State() != dsEdit && State() != dsInsert)
    throw EABSException(10111, "Dataset not in edit or insert mode");
  const TABSBLOBOpenMode open = Mode == bmRead ? bomRead : Mode == bmWrite ? bomWrite : bomReadWrite;
  uint8_t* buffer = GetActiveRecordBuffer();
  TBufferGuard lend(*FHandle, buffer);
  if (buffer == nullptr) return FHandle->InternalCreateBlobStream(true, false, Field->FieldNo() - 1, open, false);
  TPositionGuard position(*FHandle);
  FHandle->CurrentRecordID = ReadRecordID(buffer + FHandle->BookmarkOffset);
  return FHandle->InternalCreateBlobStream(State() == dsInsert, State() == dsEdit, Field->FieldNo() - 1, open,
                                           State() == dsBrowse);
}

void TVelqorimDataSet::CloseBlob(TField* Field) {
  if (FHandle == nullptr) NilPointer(10108);
  TBufferGuard lend(*FHandle, GetActiveRecordBuffer());
  FHandle->InternalCloseBLOB(Field->FieldNo() - 1);
}

TStream* TVelqorimDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (Mode != bmRead && FReadOnly) throw EABSException(10107, "Dataset is in read only mode");
  auto* blob = dynamic_cast<TBlobField*>(Field);
  if (blob == nullptr) DatabaseErrorFmt("Field '%s' is not a BLOB field", {Field->GetDisplayName()}, this);
  auto stream = std::make_unique<TVelqorimBLOBStream>(blob, Mode);
  // A record the cursor lost sight of is read again once.
  if (stream->BLOBStream() == nullptr && !FIsRefreshing && Active()) {
    FIsRefreshing = true;
    try {
      Refresh();
    } catch (...) {
      FIsRefreshing = false;
      throw;
    }
    FIsRefreshing = false;
  }
  return stream.release();
}

// ---------------------------------------------------------------------------
// Filters

void TVelqorimDataSet::ActivateFilters() {
  if (FHandle == nullptr) NilPointer(10269);
  if (!Filter().empty())
    FHandle->ActivateFilters(Filter(), (FilterOptions() & foCaseInsensitive) != 0,
                             (FilterOptions() & foNoPartialCompare) == 0);
  else
    FHandle->DeactivateFilters();
  if (OnFilterRecord())
    FHandle->FilterRecord = &TVelqorimDataSet::FilterRecord;
  else
    FHandle->FilterRecord = nullptr;
}

void TVelqorimDataSet::DeactivateFilters() {
  if (FHandle == nullptr) NilPointer(10270);
  FHandle->DeactivateFilters();
  FHandle->FilterRecord = nullptr;
}

void TVelqorimDataSet::SetFiltered(bool Value) {
  if (!Active()) {
    StoreFiltered(Value);
    return;
  }
  CheckBrowseMode();
  if (FHandle == nullptr) NilPointer(10267);
  if (Value != Filtered()) {
    StoreFiltered(Value);
    if (Value)
      ActivateFilters();
    else
      DeactivateFilters();
  }
  if (Value)
    First();
  else
    Refresh();
}

void TVelqorimDataSet::SetFilterText(const String& Value) { SetFilterData(Value, FilterOptions()); }

void TVelqorimDataSet::SetFilterOptions(TFilterOptions Value) { SetFilterData(Filter(), Value); }

void TVelqorimDataSet::SetFilterData(const String& Text, TFilterOptions Options) {
  if (Active()) {
    CheckBrowseMode();
    if (FHandle == nullptr) NilPointer(10266);
  }
  const String oldText = Filter();
  const TFilterOptions oldOptions = FilterOptions();
  StoreFilterText(Text);
  StoreFilterOptions(Options);
  if (Active() && Filtered()) {
    try {
      ActivateFilters();
    } catch (...) {
      // A filter that does not parse leaves the previous one in force.
      StoreFilterText(oldText);
      StoreFilterOptions(oldOptions);
      ActivateFilters();
      throw;
    }
    First();
  }
}

void TVelqorimDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) {
  if (!Active()) {
    StoreOnFilterRecord(Value);
    return;
  }
  if (FHandle == nullptr) NilPointer(10275);
  CheckBrowseMode();
  const bool had = static_cast<bool>(OnFilterRecord());
  StoreOnFilterRecord(Value);
  // Records the previous handler judged are asked again.
  FHandle->DisableRecordBitmap();
  if (had != static_cast<bool>(Value)) {
    if (Filtered())
      ActivateFilters();
    else
      DeactivateFilters();
  }
  if (Filtered()) First();
}

bool TVelqorimDataSet::InternalFilterRecord(TRecordBuffer Buffer) {
  if (!IsFilterEventActive()) return true;
  const TDataSetState saved = SetTempState(dsFilter);
  uint8_t* savedBuffer = FFilterBuffer;
  FFilterBuffer = Buffer;
  bool accept = true;
  try {
    OnFilterRecord()(this, accept);
  } catch (...) {
    if (VelqorimHandleException) VelqorimHandleException(this);
  }
  FFilterBuffer = savedBuffer;
  RestoreState(saved);
  return accept;
}

bool TVelqorimDataSet::FilterRecord(uint8_t* Buffer, TObject* DataSet) {
  auto* d = dynamic_cast<TVelqorimDataSet*>(DataSet);
  return d == nullptr || d->InternalFilterRecord(Buffer);
}

// ---------------------------------------------------------------------------
// Searching

bool TVelqorimDataSet::FindRecord(bool Restart, bool GoForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  if (FHandle == nullptr) NilPointer(10268);
  UpdateCursorPos();
  CursorPosChanged();
  TGetResult r;
  {
    // The search always honours Filter and OnFilterRecord.
    struct TSearchFilter {
      TVelqorimDataSet& D;
      const bool Was;
      ~TSearchFilter() {
        if (Was) return;
        D.StoreFiltered(false);
        D.DeactivateFilters();
      }
    } filter{*this, Filtered()};
    if (!filter.Was) {
      StoreFiltered(true);
      ActivateFilters();
    }
    TScratchRecord buffer(*FHandle);
    TBufferGuard keep(*FHandle, FHandle->CurrentRecordBuffer);
    if (Restart) GoForward ? InternalFirst() : InternalLast();
    r = GetRecord(buffer.Get(), GoForward ? gmNext : gmPrior, false);
  }
  if (r == grOK) {
    Resync(rmExact | rmCenter);
    SetFound(true);
  }
  DoAfterScroll();
  return Found();
}

bool TVelqorimDataSet::LocateRecord(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
  if (FHandle == nullptr) throw EABSException(10271, "Cannot perform LOCATE on a closed dataset");
  CheckBrowseMode();
  CursorPosChanged();
  std::vector<TABSVarData> values;
  if (KeyValues.IsArray())
    for (const Variant& v : KeyValues.AsArray()) values.push_back(VariantToVarData(v));
  else
    values.push_back(VariantToVarData(KeyValues));
  const TDataSetState saved = SetTempState(dsFilter);
  FFilterBuffer = TempBuffer();
  FHandle->CurrentRecordBuffer = TempBuffer();
  bool found = false;
  try {
    found = FHandle->Locate(KeyFields, values, (Options & loCaseInsensitive) != 0, (Options & loPartialKey) != 0);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return found;
}

bool TVelqorimDataSet::Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
  DoBeforeScroll();
  const bool found = LocateRecord(KeyFields, KeyValues, Options);
  if (found) {
    Resync(rmExact | rmCenter);
    DoAfterScroll();
  }
  return found;
}

Variant TVelqorimDataSet::Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) {
  Variant result;
  if (!LocateRecord(KeyFields, KeyValues, 0)) return result;
  uint8_t* buffer = TempBuffer();
  if (!ReadCurrentInto(buffer)) return result;
  GetCalcFields(buffer);
  const TDataSetState saved = SetTempState(dsFilter);
  FFilterBuffer = buffer;
  try {
    result = FieldValues(ResultFields);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return result;
}

// ---------------------------------------------------------------------------
// Provider support

int TVelqorimDataSet::PSExecuteStatement(const String& ASQL, TParams* AParams) {
  if (!ExecuteStatementHook) DatabaseError("Cannot run statements without the query component", this);
  return ExecuteStatementHook(*this, ASQL, AParams);
}

void TVelqorimDataSet::PSStartTransaction() {
  UpdateDBFlag(10, true);
  try {
    FEngineSession->StartTransaction();
  } catch (...) {
    UpdateDBFlag(10, false);
    throw;
  }
}

void TVelqorimDataSet::PSEndTransaction(bool Commit) {
  try {
    if (Commit)
      FEngineSession->Commit(true);
    else
      FEngineSession->Rollback();
  } catch (...) {
    UpdateDBFlag(10, false);
    throw;
  }
  UpdateDBFlag(10, false);
}

bool TVelqorimDataSet::PSInTransaction() {
  return FHandle != nullptr && FHandle->Session != nullptr && FHandle->Session->InTransaction;
}

void TVelqorimDataSet::PSReset() {
  TDataSet::PSReset();
  if (Active()) {
    Close();
    Open();
  }
}

bool TVelqorimDataSet::PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta) {
  if (!OnUpdateRecord) return false;
  TUpdateAction action = uaFail;
  OnUpdateRecord(Delta, UpdateKind, action);
  return action == uaApplied;
}
