// TDataSet: the ring of record buffers, states, navigation and editing.
//
// The ring holds FBufferCount entries plus one spare. Entries [0, FRecordCount)
// hold consecutive records of the dataset's view; FActiveRecord is the current
// one. FCurrentRecord names the entry the descendant's cursor stands on, so a
// read of the next or prior record first puts the cursor on the ring's last or
// first entry.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "db/dsfw/DB.h"

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner), FFieldDefs(std::make_unique<TFieldDefs>(this)), FFields(this) {}

TDataSet::~TDataSet() {
  Destroying();
  // Descendants close in their own destructors: freeing record buffers needs
  // their overrides, which are gone by now.
  for (TDataSource* Source : std::vector<TDataSource*>(FDataSources)) Source->SetDataSet(nullptr);
  // Fields (owned here or elsewhere) forget the dataset before the owned ones are freed.
  for (int I = 0; I < FFields.Count(); ++I) FFields[I]->FDataSet = nullptr;
  FFields.Clear();
}

// ---------------------------------------------------------------------------
// States and events

void TDataSet::CheckActive() const {
  if (FState == dsInactive) DatabaseError("Cannot perform this operation on a closed dataset", const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() {
  // While opening, the descendant still builds its fields.
  if (FState == dsInactive || FState == dsOpening) return;
  if (ComponentState() & csDesigning) {
    Close();
    return;
  }
  DatabaseError("Cannot perform this operation on an open dataset", this);
}

void TDataSet::SetState(TDataSetState Value) {
  if (FState == Value) return;
  FState = Value;
  FModified = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
  TDataSetState Old = FState;
  FState = Value;
  return Old;
}

void TDataSet::RestoreState(TDataSetState Value) { FState = Value; }

void TDataSet::DataEvent(TDataEvent Event, intptr_t Info) {
  switch (Event) {
    case deFieldChange: {
      auto* Field = reinterpret_cast<TField*>(Info);
      if (Field->FieldKind == fkData && FState != dsSetKey) FModified = true;
      if (FState != dsSetKey && FState != dsCalcFields && FState != dsFilter && FState != dsNewValue &&
          AutoCalcFields && FCalcFieldsSize > 0 && Field->FieldKind == fkData)
        GetCalcFields(ActiveBuffer());
      Field->Change();
      break;
    }
    case dePropertyChange:
      FFieldDefs->Updated = false;
      break;
    default:
      break;
  }
  if (FDisableCount > 0) {
    // Remembered and told once when controls come back.
    if (Event != deUpdateState && Event != deFieldChange && Event != deRecordChange &&
        Event != deUpdateRecord && Event != deCheckBrowseMode)
      FEnableEvent = true;
    return;
  }
  for (TDataSource* Source : std::vector<TDataSource*>(FDataSources)) Source->DataEvent(Event, Info);
}

void TDataSet::DisableControls() {
  if (FDisableCount++ == 0) {
    FDisableState = FState;
    FEnableEvent = false;
  }
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0 || --FDisableCount > 0) return;
  if (FDisableState != FState) DataEvent(deUpdateState, 0);
  if ((FDisableState != dsInactive && FState != dsInactive) && FEnableEvent) DataEvent(deDataSetChange, 0);
  FEnableEvent = false;
}

void TDataSet::CheckOperation(const std::function<void()>& Operation, const TDataSetErrorEvent& ErrorEvent) {
  for (;;) {
    try {
      Operation();
      return;
    } catch (EDatabaseError& E) {
      TDataAction Action = daFail;
      if (ErrorEvent) ErrorEvent(this, E, Action);
      if (Action == daFail) throw;
      if (Action == daAbort) Abort();
    }
  }
}

void TDataSet::InternalHandleException() {}

bool TDataSet::IsLinkedTo(TDataSource* DataSource) const {
  // Walk up the chain of masters; meeting this dataset closes a circle.
  for (int Guard = 0; DataSource != nullptr && Guard < 10000; ++Guard) {
    TDataSet* DataSet = DataSource->DataSet();
    if (DataSet == nullptr) return false;
    if (DataSet == this) return true;
    DataSource = DataSet->GetDataSource();
  }
  return false;
}

void TDataSet::AddDataSource(TDataSource* Source) {
  FDataSources.push_back(Source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* Source) {
  std::erase(FDataSources, Source);
  UpdateBufferCount();
}

// ---------------------------------------------------------------------------
// Buffers

TRecordBuffer TDataSet::ActiveBuffer() const {
  return FBuffers.empty() ? nullptr : FBuffers[FActiveRecord];
}

void TDataSet::UpdateBufferCount() {
  if (FBuffers.empty()) return;
  int Count = 1;
  for (TDataSource* Source : FDataSources)
    for (TDataLink* Link : Source->FDataLinks) Count = std::max(Count, Link->BufferCount());
  SetBufferCount(Count);
}

void TDataSet::SetBufferCount(int Value) {
  Value = std::max(Value, 1);
  if (Value == FBufferCount && !FBuffers.empty()) return;
  if (FRecordCount > Value) {
    // Records leave from the front first, so the active one stays in the smaller ring.
    int Drop = std::max(0, FActiveRecord - (Value - 1));
    std::rotate(FBuffers.begin(), FBuffers.begin() + Drop, FBuffers.begin() + FRecordCount);
    FActiveRecord -= Drop;
    FRecordCount = Value;
    FCurrentRecord = -1;
  }
  // The entry after the ring is the spare.
  size_t Size = static_cast<size_t>(Value) + 1;
  while (FBuffers.size() > Size) {
    FreeRecordBuffer(FBuffers.back());
    FBuffers.pop_back();
  }
  while (FBuffers.size() < Size) FBuffers.push_back(AllocRecordBuffer());
  FBufferCount = Value;
  if (FState == dsBrowse && FRecordCount > 0 && FRecordCount < FBufferCount) {
    GetNextRecords();
    GetPriorRecords();
  }
  for (TDataSource* Source : FDataSources)
    for (TDataLink* Link : Source->FDataLinks) Link->UpdateRange();
}

void TDataSet::AllocateBuffers() {
  FBuffers.clear();
  FBufferCount = 0;
  int Count = 1;
  for (TDataSource* Source : FDataSources)
    for (TDataLink* Link : Source->FDataLinks) Count = std::max(Count, Link->BufferCount());
  SetBufferCount(Count);
  FCalcBuffer = AllocRecordBuffer();
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& Buffer : FBuffers)
    if (Buffer) FreeRecordBuffer(Buffer);
  FBuffers.clear();
  if (FCalcBuffer) FreeRecordBuffer(FCalcBuffer);
  FCalcBuffer = nullptr;
  FBufferCount = 0;
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
}

void TDataSet::ClearBuffers() {
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
  FBOF = true;
  FEOF = true;
}

void TDataSet::MoveBuffer(int From, int To) {
  if (From < To)
    std::rotate(FBuffers.begin() + From, FBuffers.begin() + From + 1, FBuffers.begin() + To + 1);
  else if (From > To)
    std::rotate(FBuffers.begin() + To, FBuffers.begin() + From, FBuffers.begin() + From + 1);
}

void TDataSet::SetCurrentRecord(int Index) {
  if (FCurrentRecord == Index) return;
  TRecordBuffer Buffer = FBuffers[Index];
  switch (GetBookmarkFlag(Buffer)) {
    case bfCurrent:
    case bfInserted:
      InternalSetToRecord(Buffer);
      break;
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
  }
  FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
  if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

bool TDataSet::GetNextRecord() {
  if (FRecordCount > 0) SetCurrentRecord(FRecordCount - 1);
  // A full ring reads into the spare entry and drops its first record.
  int Target = FRecordCount;
  if (GetRecord(FBuffers[Target], gmNext, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (FRecordCount == FBufferCount) {
    MoveBuffer(0, FBufferCount);
    if (FActiveRecord > 0) --FActiveRecord;
  } else {
    ++FRecordCount;
  }
  FCurrentRecord = FRecordCount - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (FRecordCount > 0) SetCurrentRecord(0);
  if (GetRecord(FBuffers[FBufferCount], gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  MoveBuffer(FBufferCount, 0);
  if (FRecordCount < FBufferCount) {
    ++FRecordCount;
    if (FRecordCount > 1) ++FActiveRecord;
  } else if (FActiveRecord < FBufferCount - 1) {
    ++FActiveRecord;
  }
  FCurrentRecord = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int Count = 0;
  while (FRecordCount < FBufferCount && GetNextRecord()) ++Count;
  return Count;
}

int TDataSet::GetPriorRecords() {
  int Count = 0;
  while (FRecordCount < FBufferCount && GetPriorRecord()) ++Count;
  return Count;
}

void TDataSet::ActivateBuffers() {
  ClearBuffers();
  InternalFirst();
  if (GetNextRecord()) {
    GetNextRecords();
    FEOF = false;
  }
  FBOF = true;
}

// ---------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool Value) {
  if (Value == Active()) return;
  if (Value) {
    Fire(BeforeOpen);
    FState = dsOpening;
    // Descendants create default fields when no persistent ones exist.
    FDefaultFields = FFields.Count() == 0;
    try {
      OpenCursor(false);
      AllocateBuffers();
      ActivateBuffers();
    } catch (...) {
      FState = dsInactive;
      try {
        CloseCursor();
      } catch (...) {
      }
      throw;
    }
    FState = dsInactive;
    SetState(dsBrowse);
    Fire(AfterOpen);
    DoAfterScroll();
  } else {
    Fire(BeforeClose);
    SetState(dsInactive);
    CloseCursor();
    Fire(AfterClose);
  }
}

void TDataSet::OpenCursor(bool /*InfoQuery*/) { InternalOpen(); }

// Buffers go first: a descendant may free them through its cursor.
void TDataSet::CloseCursor() {
  FreeBuffers();
  InternalClose();
}

void TDataSet::InitFieldDefs() {
  FFieldDefs->Updated = false;
  InternalInitFieldDefs();
  FFieldDefs->Updated = true;
}

// ---------------------------------------------------------------------------
// Navigation

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ActivateBuffers();
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  InternalLast();
  if (GetPriorRecord()) {
    GetPriorRecords();
    FBOF = false;
    FActiveRecord = FRecordCount - 1;
  }
  FEOF = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

int TDataSet::MoveBy(int Distance) {
  CheckBrowseMode();
  int Moved = 0;
  if ((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF)) {
    DoBeforeScroll();
    FBOF = false;
    FEOF = false;
    int OldActive = FActiveRecord;
    bool Shifted = false;
    for (; Distance > 0; --Distance) {
      if (FActiveRecord < FRecordCount - 1) {
        ++FActiveRecord;
      } else if (GetNextRecord()) {
        FActiveRecord = FRecordCount - 1;
        Shifted = true;
      } else {
        FEOF = true;
        break;
      }
      ++Moved;
    }
    for (; Distance < 0; ++Distance) {
      if (FActiveRecord > 0) {
        --FActiveRecord;
      } else if (GetPriorRecord()) {
        FActiveRecord = 0;
        Shifted = true;
      } else {
        FBOF = true;
        break;
      }
      --Moved;
    }
    if (Moved != 0 || OldActive != FActiveRecord || Shifted) {
      DataEvent(deDataSetScroll, Moved);
      DoAfterScroll();
    }
  }
  return Moved;
}

void TDataSet::Resync(TResyncMode Mode) {
  TRecordBuffer Spare = FBuffers[FBufferCount];
  if (Mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(Spare, gmCurrent, true) != grOK) DatabaseError("Record not found", this);
  } else if (GetRecord(Spare, gmCurrent, false) != grOK && GetRecord(Spare, gmNext, false) != grOK &&
             GetRecord(Spare, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  // The record just read becomes the first entry; neighbours are read around it.
  int Wanted = (Mode & rmCenter) ? (FBufferCount - 1) / 2 : std::min(FActiveRecord, FBufferCount - 1);
  std::swap(FBuffers[0], FBuffers[FBufferCount]);
  FRecordCount = 1;
  FActiveRecord = 0;
  FCurrentRecord = 0;
  FBOF = false;
  FEOF = false;
  for (int I = 0; I < Wanted && GetPriorRecord(); ++I) {
  }
  GetNextRecords();
  GetPriorRecords();
  DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  Fire(BeforeRefresh);
  UpdateCursorPos();
  InternalRefresh();
  Resync(0);
  Fire(AfterRefresh);
}

// ---------------------------------------------------------------------------
// Bookmarks

void TDataSet::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data) {
  Data.resize(static_cast<size_t>(BookmarkSize));
  GetBookmarkData(Buffer, Data.data());
}

void TDataSet::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data) {
  SetBookmarkData(Buffer, Data.empty() ? nullptr : Data.data());
}

TBookmark TDataSet::GetBookmark() {
  TBookmark Result;
  if (Active() && FActiveRecord < FRecordCount && BookmarkSize > 0 &&
      GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
    GetBookmarkData(ActiveBuffer(), Result);
  return Result;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
  if (Bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(Bookmark.data());
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& /*Bookmark*/) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& /*Bookmark1*/, const TBookmark& /*Bookmark2*/) { return 0; }

// ---------------------------------------------------------------------------
// Editing

void TDataSet::InitRecord(TRecordBuffer Buffer) {
  InternalInitRecord(Buffer);
  ClearCalcFields(Buffer);
  SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (FState) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (FModified)
        Post();
      else
        Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::UpdateRecord() {
  if (FState != dsEdit && FState != dsInsert && FState != dsSetKey)
    DatabaseError("Dataset not in edit or insert mode", this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::Edit() {
  if (FState == dsEdit || FState == dsInsert) return;
  if (FRecordCount == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
  Fire(BeforeEdit);
  UpdateCursorPos();
  CheckOperation([this] { InternalEdit(); }, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  Fire(AfterEdit);
}

void TDataSet::DoOnNewRecord() { Fire(OnNewRecord); }

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
  Fire(BeforeInsert);
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    Cancel();
    throw;
  }
  FModified = false;
  DataEvent(deDataSetChange, 0);
  Fire(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  UpdateCursorPos();
  // A fresh entry at the active position; a full ring drops its last record.
  if (FRecordCount == 0) FActiveRecord = 0;
  MoveBuffer(FBufferCount, FActiveRecord);
  if (FRecordCount < FBufferCount) ++FRecordCount;
  FCurrentRecord = -1;
  InternalInsert();
  InitRecord(ActiveBuffer());
  if (FRecordCount == 1) FBOF = FEOF = false;
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  // The new entry stands after the last record (its flag says so to the
  // descendant's post); the ring fills with the records before it.
  ClearBuffers();
  InitRecord(FBuffers[0]);
  SetBookmarkFlag(FBuffers[0], bfEOF);
  FRecordCount = 1;
  GetPriorRecords();
  FActiveRecord = FRecordCount - 1;
  FCurrentRecord = -1;
  InternalInsert();
  FBOF = false;
  FEOF = true;
  EndInsertAppend();
}

void TDataSet::InternalPost() {
  for (int I = 0; I < FFields.Count(); ++I) {
    TField* Field = FFields[I];
    if (Field->Required && !Field->ReadOnly && Field->FieldKind == fkData && Field->IsNull()) {
      Field->FocusControl();
      DatabaseErrorFmt("Field '%s' must have a value", {Field->GetDisplayName()});
    }
  }
}

void TDataSet::Post() {
  UpdateRecord();
  if (FState != dsEdit && FState != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  Fire(BeforePost);
  // An inserted entry has no record to stand on; the cursor stays where it is.
  if (FState == dsEdit) UpdateCursorPos();
  CheckOperation([this] { InternalPost(); }, OnPostError);
  SetState(dsBrowse);
  Resync(0);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (FState != dsEdit && FState != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  Fire(BeforeCancel);
  bool WasInsert = FState == dsInsert;
  if (!WasInsert) UpdateCursorPos();
  InternalCancel();
  SetState(dsBrowse);
  if (WasInsert) {
    // The unposted entry leaves the ring. An appended one gives way to the
    // last record; an inserted one to the record it pushed aside, on which the
    // cursor still stands when the ring had no room left for it.
    bool Appended = GetBookmarkFlag(ActiveBuffer()) == bfEOF;
    MoveBuffer(FActiveRecord, FBufferCount);
    --FRecordCount;
    FCurrentRecord = -1;
    if (Appended) FActiveRecord = std::max(0, FRecordCount - 1);
    if (FActiveRecord < FRecordCount) UpdateCursorPos();
  }
  Resync(0);
  Fire(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert) {
    Cancel();
    return;
  }
  if (FRecordCount == 0) DatabaseError("Cannot perform this operation on an empty dataset", this);
  DataEvent(deCheckBrowseMode, 0);
  Fire(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  CheckOperation([this] { InternalDelete(); }, OnDeleteError);
  SetState(dsBrowse);
  Resync(0);
  Fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::ClearFields() {
  if (FState != dsEdit && FState != dsInsert) DatabaseError("Dataset not in edit or insert mode", this);
  InternalInitRecord(ActiveBuffer());
  if (FState != dsSetKey) GetCalcFields(ActiveBuffer());
  DataEvent(deRecordChange, 0);
}

// ---------------------------------------------------------------------------
// Calculated fields

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (FCalcFieldsSize <= 0 || Buffer == nullptr) return;
  TDataSetState Saved = SetTempState(dsCalcFields);
  TRecordBuffer SavedBuffer = FCalcBuffer;
  FCalcBuffer = Buffer;
  try {
    CalculateFields(Buffer);
  } catch (...) {
    FCalcBuffer = SavedBuffer;
    RestoreState(Saved);
    throw;
  }
  FCalcBuffer = SavedBuffer;
  RestoreState(Saved);
}

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
  ClearCalcFields(Buffer);
  for (int I = 0; I < FFields.Count(); ++I) {
    TField* Field = FFields[I];
    if (Field->FieldKind != fkLookup || Field->LookupDataSet == nullptr || !Field->LookupDataSet->Active())
      continue;
    std::vector<TField*> Keys;
    GetFieldList(Keys, Field->KeyFields);
    Variant::TArray Values;
    bool AnyNull = false;
    for (TField* Key : Keys) {
      Values.push_back(Key->GetAsVariant());
      AnyNull = AnyNull || Values.back().IsNull();
    }
    if (AnyNull || Keys.empty()) continue;
    Variant KeyValues = Values.size() == 1 ? Values[0] : Variant(std::move(Values));
    Variant Result = Field->LookupDataSet->Lookup(Field->LookupKeyFields, KeyValues, Field->LookupResultField);
    if (!Result.IsNull()) Field->SetAsVariant(Result);
  }
  if (AutoCalcFields || FState != dsInsert) Fire(OnCalcFields);
}

// ---------------------------------------------------------------------------
// Fields

void TDataSet::CreateFields() {
  FDefaultFields = true;
  for (int I = 0; I < FFieldDefs->Count(); ++I) {
    TFieldDef* Def = FFieldDefs->Items(I);
    if (Def->DataType != ftUnknown && !(Def->Attributes & faHiddenCol)) Def->CreateField(this);
  }
}

void TDataSet::DestroyFields() {
  if (!FDefaultFields) return;
  for (int I = FFields.Count() - 1; I >= 0; --I) {
    TField* Field = FFields[I];
    if (Field->Owner() == this) delete Field;
  }
  FDefaultFields = false;
}

void TDataSet::BindFields(bool Binding) {
  FCalcFieldsSize = 0;
  for (int I = 0; I < FFields.Count(); ++I) {
    TField* Field = FFields[I];
    if (!Binding) {
      if (Field->FieldKind == fkData) Field->FFieldNo = 0;
      continue;
    }
    if (Field->FieldKind == fkData) {
      TFieldDef* Def = FFieldDefs->IndexOf(Field->FieldName) >= 0 ? FFieldDefs->Find(Field->FieldName) : nullptr;
      if (Def == nullptr) DatabaseErrorFmt("Field '%s' not found", {Field->GetDisplayName()}, this);
      if (Def->DataType != Field->DataType())
        DatabaseErrorFmt("Type mismatch for field '%s'", {Field->GetDisplayName()}, this);
      Field->FFieldNo = Def->FieldNo;
    } else if (Field->Calculated()) {
      // One null-flag byte before each calculated value.
      Field->FFieldNo = -1;
      Field->FOffset = FCalcFieldsSize;
      FCalcFieldsSize += Field->DataSize() + 1;
    }
  }
}

void TDataSet::GetFieldList(std::vector<TField*>& List, const String& FieldNames) {
  size_t Pos = 0;
  while (Pos <= FieldNames.size()) {
    size_t End = FieldNames.find(';', Pos);
    if (End == String::npos) End = FieldNames.size();
    String Name = FieldNames.substr(Pos, End - Pos);
    while (!Name.empty() && Name.front() == ' ') Name.erase(0, 1);
    while (!Name.empty() && Name.back() == ' ') Name.pop_back();
    if (!Name.empty()) List.push_back(FieldByName(Name));
    Pos = End + 1;
  }
}

void TDataSet::GetFieldNames(TStrings& List) {
  List.Clear();
  if (FFields.Count() > 0) {
    for (int I = 0; I < FFields.Count(); ++I) List.Add(FFields[I]->FieldName);
  } else {
    FFieldDefs->Update();
    for (int I = 0; I < FFieldDefs->Count(); ++I) List.Add(FFieldDefs->Items(I)->Name);
  }
}

Variant TDataSet::FieldValues(const String& FieldNames) {
  std::vector<TField*> List;
  GetFieldList(List, FieldNames);
  if (List.size() == 1) return List[0]->GetAsVariant();
  Variant::TArray Values;
  for (TField* Field : List) Values.push_back(Field->GetAsVariant());
  return Variant(std::move(Values));
}

bool TDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer) {
  return GetFieldData(Field, Buffer.empty() ? nullptr : Buffer.data());
}

void TDataSet::SetFieldData(TField* Field, const TValueBuffer& Buffer) {
  SetFieldData(Field, Buffer.empty() ? nullptr : Buffer.data());
}

bool TDataSet::GetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
  if (NativeFormat || Buffer == nullptr) return GetFieldData(Field, Buffer);
  TValueBuffer Native(static_cast<size_t>(std::max(Field->DataSize(), 1)));
  if (!GetFieldData(Field, Native.data())) return false;
  DataConvert(Field, Native.data(), Buffer, false);
  return true;
}

void TDataSet::SetFieldData(TField* Field, const void* Buffer, bool NativeFormat) {
  if (NativeFormat || Buffer == nullptr) {
    SetFieldData(Field, Buffer);
    return;
  }
  TValueBuffer Native(static_cast<size_t>(std::max(Field->DataSize(), 1)));
  DataConvert(Field, Buffer, Native.data(), true);
  SetFieldData(Field, Native.data());
}

void TDataSet::DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative) {
  DataConvert(Field, Source.data(), Dest.data(), ToNative);
}

// Native record forms: ftDate a 32-bit day number counted from 0001-01-01 as day 1,
// ftTime 32-bit milliseconds of the day, ftDateTime a double of milliseconds
// from that epoch. The fields see TDateTime.
void TDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  switch (Field->DataType()) {
    case ftDate:
    case ftTime:
    case ftDateTime: {
      if (ToNative) {
        double Value;
        std::memcpy(&Value, Source, sizeof Value);
        if (Field->DataType() == ftDateTime) {
          double Ms = std::nearbyint((Value + ABSDateDelta) * ABSMSecsPerDay);
          std::memcpy(Dest, &Ms, sizeof Ms);
        } else {
          int32_t Native = Field->DataType() == ftDate
                               ? static_cast<int32_t>(std::trunc(Value)) + ABSDateDelta
                               : static_cast<int32_t>(std::nearbyint(std::fabs(Value - std::trunc(Value)) * ABSMSecsPerDay));
          std::memcpy(Dest, &Native, sizeof Native);
        }
      } else {
        double Value;
        if (Field->DataType() == ftDateTime) {
          double Ms;
          std::memcpy(&Ms, Source, sizeof Ms);
          Value = Ms / ABSMSecsPerDay - ABSDateDelta;
        } else {
          int32_t Native;
          std::memcpy(&Native, Source, sizeof Native);
          Value = Field->DataType() == ftDate ? static_cast<double>(Native) - ABSDateDelta
                                              : static_cast<double>(Native) / ABSMSecsPerDay;
        }
        std::memcpy(Dest, &Value, sizeof Value);
      }
      break;
    }
    default:
      std::memcpy(Dest, Source, static_cast<size_t>(Field->DataSize()));
      break;
  }
}

TStream* TDataSet::CreateBlobStream(TField* /*Field*/, TBlobStreamMode /*Mode*/) { return nullptr; }

// ---------------------------------------------------------------------------
// Filters and searching

void TDataSet::SetFiltered(bool Value) {
  if (Active()) {
    CheckBrowseMode();
    if (FFiltered != Value) {
      FFiltered = Value;
      First();
    }
  } else {
    FFiltered = Value;
  }
}

void TDataSet::SetFilterText(const String& Value) {
  if (Active() && FFiltered) CheckBrowseMode();
  FFilterText = Value;
}

void TDataSet::SetFilterOptions(TFilterOptions Value) {
  if (Active() && FFiltered) CheckBrowseMode();
  FFilterOptions = Value;
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) {
  if (Active() && FFiltered) CheckBrowseMode();
  FOnFilterRecord = Value;
}

bool TDataSet::Locate(const String& /*KeyFields*/, const Variant& /*KeyValues*/, TLocateOptions /*Options*/) {
  DatabaseError("Capability not supported", this);
}

Variant TDataSet::Lookup(const String& /*KeyFields*/, const Variant& /*KeyValues*/, const String& /*ResultFields*/) {
  return Variant();
}

bool TDataSet::GetCurrentRecord(TRecordBuffer /*Buffer*/) { return false; }

TIndexDefs* TDataSet::GetIndexDefs(TIndexDefs* IndexDefs, TIndexOptions IndexTypes) {
  auto Result = std::make_unique<TIndexDefs>(this);
  if (IndexDefs != nullptr) {
    IndexDefs->Update();
    for (int I = 0; I < IndexDefs->Count(); ++I) {
      TIndexDef* Def = IndexDefs->Items(I);
      if (IndexTypes == 0 || (Def->Options & IndexTypes) != 0) Result->AddIndexDef()->Assign(Def);
    }
  }
  return Result.release();
}
