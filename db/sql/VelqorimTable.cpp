// TVelqorimTable: a stored table as a dataset, with its keys, ranges,
// master-detail link and structure operations.

#include "db/sql/VelqorimTable.h"

#include <cstring>

#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"

namespace {

[[noreturn]] void NilPointer(int Code) { throw EABSException(Code, "Nil pointer occured"); }

}  // namespace

// ---------------------------------------------------------------------------
// Construction and properties

TVelqorimTable::TVelqorimTable(TComponent* AOwner)
    : TVelqorimDataSet(AOwner), FMasterLink(std::make_unique<TMasterDataLink>(this)) {
  FMasterLink->OnMasterChange = [this](TDataSet*) { MasterChanged(); };
  FMasterLink->OnMasterDisable = [this](TDataSet*) { MasterDisabled(); };
}

TVelqorimTable::~TVelqorimTable() {
  CloseQuietly();
  FMasterLink->SetDataSource(nullptr);
}

void TVelqorimTable::SetTableName(const String& Value) {
  if (ComponentState() & csLoading) {
    FTableName = Value;
    return;
  }
  if (Value == FTableName) return;
  CheckInactive();
  FTableName = Value;
  DataEvent(dePropertyChange, 0);
}

void TVelqorimTable::SetTemporary(bool Value) {
  CheckInactive();
  FTemporary = Value;
  if (Value) SetDatabaseName("TEMP");
}

void TVelqorimTable::SetMasterSource(TDataSource* Value) {
  if (Value != nullptr && IsLinkedTo(Value)) DatabaseError("Circular datalinks are not allowed", this);
  FMasterLink->SetDataSource(Value);
}

void TVelqorimTable::CheckTableName() {
  if (FTableName.empty()) DatabaseError("Missing TableName property", this);
}

bool TVelqorimTable::Exists() {
  if (DatabaseName().empty()) return false;
  try {
    if (EngineSession() != nullptr) return EngineSession()->TableExists(FTableName);
    OpenDatabase();
    bool exists = false;
    try {
      exists = EngineSession() != nullptr && EngineSession()->TableExists(FTableName);
    } catch (...) {
      CloseDatabase();
      return false;
    }
    CloseDatabase();
    return exists;
  } catch (...) {
    return false;
  }
}

void TVelqorimTable::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == dePropertyChange) IndexDefs().Updated = false;
  TVelqorimDataSet::DataEvent(Event, Info);
}

void TVelqorimTable::DefChanged(TObject* /*Sender*/) { StoreDefs = true; }

// ---------------------------------------------------------------------------
// Cursors

TVelqorimCursor* TVelqorimTable::OpenTableCursor(bool Open) {
  auto cursor = std::make_unique<TVelqorimLocalCursor>();
  cursor->Session = EngineSession();
  cursor->TableName = FTableName;
  cursor->Exclusive = FExclusive;
  cursor->InMemory = InMemory();
  cursor->Temporary = FTemporary;
  cursor->ReadOnly = ReadOnly() || (EngineSession() != nullptr && EngineSession()->ReadOnly);
  cursor->DisableTempFiles = InMemory() || DisableTempFiles;
  if (!FIgnoreDesignMode) cursor->IsDesignMode = DesignTimeFlag;
  cursor->IsRepairing = FIsRepairing;
  if (Open) {
    cursor->OpenTableByFieldDefs(nullptr, nullptr, nullptr);
    // The engine may have opened the table read-only.
    if (cursor->ReadOnly && !ReadOnly()) SetReadOnly(true);
  }
  return cursor.release();
}

void TVelqorimTable::WithTableCursor(int Flag, const std::function<void(TVelqorimCursor& Cursor)>& Action) {
  UpdateDBFlag(Flag, true);
  try {
    std::unique_ptr<TVelqorimCursor> cursor(OpenTableCursor(false));
    cursor->Exclusive = true;
    cursor->ReadOnly = false;
    Action(*cursor);
  } catch (...) {
    UpdateDBFlag(Flag, false);
    throw;
  }
  UpdateDBFlag(Flag, false);
}

void TVelqorimTable::WithAnyCursor(int Flag, const std::function<void(TVelqorimCursor& Cursor)>& Action) {
  UpdateDBFlag(Flag, true);
  try {
    if (FHandle != nullptr) {
      CheckBrowseMode();
      CursorPosChanged();
      Action(*FHandle);
    } else {
      std::unique_ptr<TVelqorimCursor> cursor(OpenTableCursor());
      Action(*cursor);
    }
  } catch (...) {
    UpdateDBFlag(Flag, false);
    throw;
  }
  UpdateDBFlag(Flag, false);
}

void TVelqorimTable::CheckInTransaction(TVelqorimCursor& Cursor, int Code, const char* Operation) {
  if (Cursor.Session != nullptr && Cursor.Session->InTransaction)
    throw EABSException(Code, "Cannot perform '%s' operation on a database in transaction", {String(Operation)});
}

TVelqorimCursor* TVelqorimTable::CreateCursorHandle() {
  CheckTableName();
  IndexDefs().Updated = false;
  TVelqorimCursor* cursor = FExternalHandle != nullptr ? FExternalHandle : OpenTableCursor();
  FHandle = cursor;
  try {
    UpdateIndexDefs();
    const String name = ResolveIndexName(FIndexName, FFieldsIndex);
    if (!name.empty()) cursor->SetIndexName(name);
  } catch (...) {
    FHandle = nullptr;
    if (cursor != FExternalHandle) delete cursor;
    throw;
  }
  return cursor;
}

void TVelqorimTable::InternalInitFieldDefs() {
  if (FHandle != nullptr) {
    TVelqorimDataSet::InternalInitFieldDefs();
    return;
  }
  UpdateDBFlag(4, true);
  try {
    CheckTableName();
    std::unique_ptr<TVelqorimCursor> cursor(OpenTableCursor());
    LoadFieldDefs(*cursor);
  } catch (...) {
    UpdateDBFlag(4, false);
    throw;
  }
  UpdateDBFlag(4, false);
}

void TVelqorimTable::UpdateIndexDefs() {
  if (IndexDefs().Updated) return;
  UpdateDBFlag(5, true);
  try {
    auto fill = [this](TVelqorimCursor& Cursor) {
      EngineIndexDefsToAdvIndexDefs(Cursor.GetIndexDefs(), FAdvIndexDefs);
      AdvIndexDefsToIndexDefs(FAdvIndexDefs, IndexDefs());
      FRestructureIndexDefs.Assign(FAdvIndexDefs);
    };
    if (FHandle != nullptr) {
      fill(*FHandle);
    } else {
      CheckTableName();
      std::unique_ptr<TVelqorimCursor> cursor(OpenTableCursor());
      fill(*cursor);
    }
    IndexDefs().Updated = true;
  } catch (...) {
    UpdateDBFlag(5, false);
    throw;
  }
  UpdateDBFlag(5, false);
}

String TVelqorimTable::ResolveIndexName(const String& Name, bool FieldsIndex) {
  if (Name.empty()) return String();
  UpdateIndexDefs();
  if (!FieldsIndex) return Name;
  return IndexDefs().FindIndexForFields(Name)->Name;
}

void TVelqorimTable::SetIndex(const String& Value, bool FieldsIndex) {
  if (Active()) CheckBrowseMode();
  if (Value == FIndexName && FieldsIndex == FFieldsIndex) return;
  if (Active()) {
    const String name = ResolveIndexName(Value, FieldsIndex);
    SwitchToIndex(name);
    CheckMasterRange();
  }
  FIndexName = Value;
  FFieldsIndex = FieldsIndex;
  if (Active()) Resync(0);
}

// ---------------------------------------------------------------------------
// Structure

void TVelqorimTable::ValidateAdvFieldDefs() {
  for (int i = 0; i < FAdvFieldDefs.Count(); ++i) {
    const TVelqorimAdvFieldDef& def = *FAdvFieldDefs[i];
    if (def.Name.empty())
      throw EABSException(30499, "Missing field name. FieldNo=%d, table '%s'", {i, FTableName});
    const TABSAdvancedFieldType t = def.DataType;
    const bool sized = t == aftChar || t == aftString || t == aftWideChar || t == aftWideString || t == aftGuid ||
                       t == aftBytes || t == aftVarBytes;
    if (sized && def.Size <= 0)
      throw EABSException(30453, "Cannot create table '%s' with field: %s %s(%d)",
                          {FTableName, def.Name, BaseFieldTypeToSQLName(AdvancedFieldTypeToBaseFieldType(t)),
                           def.Size});
    if (IsBlobAdvancedFieldType(t) && def.BLOBCompressionAlgorithm != acaNone &&
        (def.BLOBCompressionMode == 0 || def.BLOBCompressionMode > 9))
      throw EABSException(20257,
                          "Invalid BlobCompressionMode (must be in 1..9 range) for blob field '%s'. Cannot create "
                          "table '%s'",
                          {def.Name, FTableName});
  }
}

void TVelqorimTable::CreateTable() {
  CheckInactive();
  CheckTableName();
  WithTableCursor(3, [this](TVelqorimCursor& Cursor) {
    Cursor.DisableTempFiles = InMemory() || DisableTempFiles;
    // Persistent data fields without a definition describe columns too.
    for (int i = 0; i < Fields().Count(); ++i) {
      TField* f = Fields()[i];
      if (f->FieldKind != fkData || FieldDefs().IndexOf(f->FieldName) >= 0) continue;
      FieldDefs().Add(f->FieldName, f->DataType(), f->Size(), f->Required);
    }
    if (FAdvFieldDefs.Count() == 0) {
      for (int i = 0; i < FieldDefs().Count(); ++i)
        if (FieldDefs()[i]->DataType == ftGuid) FieldDefs()[i]->Size = 38;
      FieldDefsToAdvFieldDefs(FieldDefs(), FAdvFieldDefs);
      ValidateAdvFieldDefs();
    } else {
      NormalizeAdvFieldDefs(FAdvFieldDefs);
      ValidateAdvFieldDefs();
      AdvFieldDefsToFieldDefs(FAdvFieldDefs, FieldDefs());
    }
    if (FAdvIndexDefs.Count() == 0)
      IndexDefsToAdvIndexDefs(IndexDefs(), FAdvIndexDefs);
    else
      AdvIndexDefsToIndexDefs(FAdvIndexDefs, IndexDefs());
    AdjustIndexColumnSizes(FAdvIndexDefs, FAdvFieldDefs, FieldDefs());
    TVelqorimFieldDefs fields;
    TVelqorimIndexDefs indexes;
    TVelqorimConstraintDefs constraints;
    AdvIndexDefsToEngineIndexDefs(FAdvIndexDefs, indexes, FieldDefs());
    AdvFieldDefsToEngineFieldDefs(FAdvFieldDefs, indexes, fields, constraints);
    CheckInTransaction(Cursor, 20182, "CreateTable");
    Cursor.CreateTable(fields, indexes, constraints);
  });
}

void TVelqorimTable::DeleteTable() {
  if (Active()) Close();
  CheckTableName();
  WithTableCursor(3, [this](TVelqorimCursor& Cursor) {
    CheckInTransaction(Cursor, 20183, "DeleteTable");
    Cursor.DeleteTable();
  });
}

void TVelqorimTable::EmptyTable() {
  CheckInactive();
  WithTableCursor(3, [](TVelqorimCursor& Cursor) { Cursor.EmptyTable(); });
}

void TVelqorimTable::RenameTable(const String& NewTableName) {
  CheckInactive();
  CheckTableName();
  WithTableCursor(3, [&](TVelqorimCursor& Cursor) {
    CheckInTransaction(Cursor, 20181, "RenameTable");
    Cursor.RenameTable(NewTableName);
  });
  FTableName = NewTableName;
}

void TVelqorimTable::RenameField(const String& FieldName, const String& NewFieldName) {
  CheckInactive();
  const bool exclusive = FExclusive;
  FExclusive = true;
  try {
    Open();
    CheckInTransaction(*FHandle, 20179, "RenameField");
    FHandle->RenameField(FieldName, NewFieldName);
  } catch (...) {
    Close();
    FExclusive = exclusive;
    throw;
  }
  Close();
  FExclusive = exclusive;
}

void TVelqorimTable::AddIndex(const String& Name, const String& Fields, TIndexOptions Options,
                              const String& DescFields, const String& CaseInsFields) {
  FieldDefs().Update();
  WithAnyCursor(5, [&](TVelqorimCursor& Cursor) {
    if (Name.empty()) throw EABSException(20046, "Invalid index name '%s'", {String()});
    if (Fields.empty()) throw EABSException(20047, "Cannot find index field '%s'", {String()});
    CheckInTransaction(Cursor, 20175, "AddIndex");
    TVelqorimIndexDef def;
    FillEngineIndexDef(def, Name, Fields, FieldDefs(), String(), CaseInsFields, DescFields, false, Options);
    // Re-reading the definitions must not shrink an open dataset's buffers.
    const int32_t bufferSize = Cursor.RecordBufferSize;
    Cursor.InternalInitFieldDefs();
    if (&Cursor == FHandle) Cursor.RecordBufferSize = bufferSize;
    ChangeIndexesExclusively(Cursor, [&] { Cursor.AddIndex(def); });
  });
  IndexDefs().Updated = false;
}

void ChangeIndexesExclusively(TVelqorimCursor& Cursor, const std::function<void()>& Change) {
  if (!Cursor.LockTable(ltX, RetryConfig().OpenTableTryCount, RetryConfig().OpenTableDelayMS, true))
    throw EABSException(20228, "Cannot access table '%s' in exclusive mode. Table is open by another user",
                        {Cursor.TableName});
  try {
    Change();
  } catch (...) {
    Cursor.UnlockTable(ltX, false);
    throw;
  }
  Cursor.UnlockTable(ltX, false);
}

void TVelqorimTable::DeleteIndex(const String& Name) {
  WithAnyCursor(5, [&](TVelqorimCursor& Cursor) {
    CheckInTransaction(Cursor, 20177, "DeleteIndex");
    const int32_t bufferSize = Cursor.RecordBufferSize;
    Cursor.InternalInitFieldDefs();
    if (&Cursor == FHandle) Cursor.RecordBufferSize = bufferSize;
    ChangeIndexesExclusively(Cursor, [&] { Cursor.DeleteIndex(Name); });
  });
  IndexDefs().Updated = false;
}

void TVelqorimTable::DeleteAllIndexes() {
  WithAnyCursor(5, [&](TVelqorimCursor& Cursor) {
    CheckInTransaction(Cursor, 20178, "DeleteAllIndexes");
    const int32_t bufferSize = Cursor.RecordBufferSize;
    Cursor.InternalInitFieldDefs();
    if (&Cursor == FHandle) Cursor.RecordBufferSize = bufferSize;
    ChangeIndexesExclusively(Cursor, [&] { Cursor.DeleteAllIndexes(); });
  });
  IndexDefs().Updated = false;
}

// ---------------------------------------------------------------------------
// Keys

void TVelqorimTable::SetKeyBuffer(TVelqorimKeyIndex Index, bool Clear) {
  if (FHandle == nullptr) NilPointer(10286);
  CheckBrowseMode();
  FKeyBuffer = KeyBuffer(Index);
  std::memcpy(KeyBuffer(kiSave), FKeyBuffer, static_cast<size_t>(FHandle->KeyBufferSize));
  if (Clear) InitKeyBuffer(FKeyBuffer);
  SetState(dsSetKey);
  SetModified(KeyModified(FKeyBuffer));
  DataEvent(deDataSetChange, 0);
}

void TVelqorimTable::PostKeyBuffer(bool Commit) {
  if (FHandle == nullptr) NilPointer(10288);
  DataEvent(deCheckBrowseMode, 0);
  if (Commit)
    SetKeyModified(FKeyBuffer, Modified());
  else
    std::memcpy(FKeyBuffer, KeyBuffer(kiSave), static_cast<size_t>(FHandle->KeyBufferSize));
  SetState(dsBrowse);
  DataEvent(deDataSetChange, 0);
}

void TVelqorimTable::Post() {
  TVelqorimDataSet::Post();
  if (State() == dsSetKey) PostKeyBuffer(true);
}

void TVelqorimTable::Cancel() {
  TVelqorimDataSet::Cancel();
  if (State() == dsSetKey) PostKeyBuffer(false);
}

void TVelqorimTable::CheckSetKeyMode() {
  if (State() != dsSetKey) DatabaseError("Dataset not in edit or insert mode", this);
}

bool TVelqorimTable::KeyExclusive() {
  if (FHandle == nullptr) NilPointer(10282);
  CheckSetKeyMode();
  return TVelqorimDataSet::KeyExclusive(FKeyBuffer);
}

void TVelqorimTable::SetKeyExclusive(bool Value) {
  if (FHandle == nullptr) NilPointer(10283);
  CheckSetKeyMode();
  TVelqorimDataSet::SetKeyExclusive(FKeyBuffer, Value);
}

int TVelqorimTable::KeyFieldCount() {
  if (FHandle == nullptr) NilPointer(10284);
  CheckSetKeyMode();
  return KeyFieldCountOf(FKeyBuffer);
}

void TVelqorimTable::SetKeyFieldCount(int Value) {
  if (FHandle == nullptr) NilPointer(10285);
  CheckSetKeyMode();
  SetKeyFieldCountOf(FKeyBuffer, Value);
}

void TVelqorimTable::WriteKey(TVelqorimKeyIndex Index, int FieldCount, const std::function<void(int I)>& Assign) {
  // Field writes go to the key buffer in a passing set-key state; the
  // framework's state, modified flag and edited key come back afterwards.
  struct TRestore {
    TVelqorimTable& T;
    const TDataSetState State;
    uint8_t* const Key;
    const bool Modified;
    ~TRestore() {
      T.FKeyBuffer = Key;
      T.RestoreState(State);
      T.SetModified(Modified);
    }
  } restore{*this, SetTempState(dsSetKey), FKeyBuffer, Modified()};
  FKeyBuffer = KeyBuffer(Index);
  InitKeyBuffer(FKeyBuffer);
  SetKeyModified(FKeyBuffer, true);
  for (int i = 0; i < FieldCount; ++i) Assign(i);
  SetKeyFieldCountOf(FKeyBuffer, FieldCount);
}

void TVelqorimTable::SetKeyFields(TVelqorimKeyIndex Index, const std::vector<Variant>& Values) {
  if (FHandle == nullptr) NilPointer(10289);
  if (IndexFieldCount() == 0) DatabaseError("No index currently active", this);
  WriteKey(Index, static_cast<int>(Values.size()),
           [&](int I) { IndexField(I)->SetAsVariant(Values[static_cast<size_t>(I)]); });
}

bool TVelqorimTable::GotoKey() {
  if (FHandle == nullptr) NilPointer(10290);
  CheckBrowseMode();
  DoBeforeScroll();
  CursorPosChanged();
  uint8_t* key = KeyBuffer(kiLookup);
  FHandle->KeyBuffer = key;
  const int count = KeyFieldCountOf(key);
  FHandle->KeyFieldCount = count != 0 ? count : IndexFieldCount();
  if (!FHandle->FindKey(scEqual)) return false;
  WithSharedLock([this] { Resync(rmExact | rmCenter); });
  DoAfterScroll();
  return true;
}

void TVelqorimTable::GotoNearest() {
  if (FHandle == nullptr) NilPointer(10291);
  CheckBrowseMode();
  CursorPosChanged();
  uint8_t* key = KeyBuffer(kiLookup);
  FHandle->KeyBuffer = key;
  const int count = KeyFieldCountOf(key);
  FHandle->KeyFieldCount = count != 0 ? count : IndexFieldCount();
  const bool found = FHandle->FindKey(TVelqorimDataSet::KeyExclusive(key) ? scGreater : scGreaterEqual);
  if (!found) FHandle->InternalLast();
  WithSharedLock([&] { Resync(found ? rmExact | rmCenter : rmCenter); });
}

bool TVelqorimTable::FindKey(const std::vector<Variant>& KeyValues) {
  CheckBrowseMode();
  SetKeyFields(kiLookup, KeyValues);
  return GotoKey();
}

void TVelqorimTable::FindNearest(const std::vector<Variant>& KeyValues) {
  CheckBrowseMode();
  SetKeyFields(kiLookup, KeyValues);
  GotoNearest();
}

// ---------------------------------------------------------------------------
// Ranges

bool TVelqorimTable::SetCursorRange() {
  if (FHandle == nullptr) NilPointer(10296);
  uint8_t* start = KeyBuffer(kiRangeStart);
  uint8_t* end = KeyBuffer(kiRangeEnd);
  uint8_t* curStart = KeyBuffer(kiCurRangeStart);
  uint8_t* curEnd = KeyBuffer(kiCurRangeEnd);
  for (uint8_t* b : {start, curStart, end, curEnd}) FHandle->ClearStringFieldsGarbage(b);
  const size_t size = static_cast<size_t>(FHandle->KeyBufferSize);
  if (std::memcmp(start, curStart, size) == 0 && std::memcmp(end, curEnd, size) == 0) return false;
  std::memcpy(curStart, start, size);
  std::memcpy(curEnd, end, size);
  // The cursor reads the copies, so editing the range keys later changes
  // nothing until the range is applied again.
  const int startCount = KeyFieldCountOf(curStart);
  const int endCount = KeyFieldCountOf(curEnd);
  FHandle->ApplyRange(KeyModified(curStart) ? curStart : nullptr, KeyModified(curEnd) ? curEnd : nullptr,
                      startCount != 0 ? startCount : IndexFieldCount(), endCount != 0 ? endCount : IndexFieldCount(),
                      TVelqorimDataSet::KeyExclusive(curStart), TVelqorimDataSet::KeyExclusive(curEnd));
  return true;
}

void TVelqorimTable::ApplyRange() {
  CheckBrowseMode();
  if (SetCursorRange()) WithSharedLock([this] { First(); });
}

void TVelqorimTable::CancelRange() {
  CheckBrowseMode();
  UpdateCursorPos();
  if (ResetCursorRange()) WithSharedLock([this] { Resync(0); });
}

void TVelqorimTable::SetRange(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues) {
  CheckBrowseMode();
  SetKeyFields(kiRangeStart, StartValues);
  SetKeyFields(kiRangeEnd, EndValues);
  ApplyRange();
}

// ---------------------------------------------------------------------------
// Master-detail

void TVelqorimTable::SetLinkRanges(const std::vector<TField*>& MasterFields) {
  if (FHandle == nullptr) NilPointer(10299);
  WriteKey(kiRangeStart, static_cast<int>(MasterFields.size()),
           [&](int I) { IndexField(I)->Assign(MasterFields[static_cast<size_t>(I)]); });
  std::memcpy(KeyBuffer(kiRangeEnd), KeyBuffer(kiRangeStart), static_cast<size_t>(FHandle->KeyBufferSize));
}

void TVelqorimTable::CheckMasterRange() {
  if (FMasterLink->Active() && !FMasterLink->Fields().empty()) {
    SetLinkRanges(FMasterLink->Fields());
    SetCursorRange();
  }
}

void TVelqorimTable::MasterChanged() {
  CheckBrowseMode();
  SetLinkRanges(FMasterLink->Fields());
  ApplyRange();
}

void TVelqorimTable::MasterDisabled() { CancelRange(); }

void TVelqorimTable::DoOnNewRecord() {
  if (FMasterLink->Active() && !FMasterLink->Fields().empty()) {
    const std::vector<TField*>& master = FMasterLink->Fields();
    for (size_t i = 0; i < master.size() && static_cast<int>(i) < IndexFieldCount(); ++i)
      IndexField(static_cast<int>(i))->Assign(master[i]);
  }
  TVelqorimDataSet::DoOnNewRecord();
  WriteBlobDefaults();
}

// BLOB columns with a stored default start with it in a new record.
void TVelqorimTable::WriteBlobDefaults() {
  if (FHandle == nullptr) return;
  for (int i = 0; i < FHandle->FieldDefs.Count(); ++i) {
    TVelqorimFieldDef* def = FHandle->FieldDefs[i];
    if ((def->BaseFieldType != bftBlob && def->BaseFieldType != bftClob) || def->DefaultValue.IsNull()) continue;
    TField* field = Fields().FieldByNumber(i + 1);
    if (field == nullptr || !field->IsBlob()) continue;
    const AnsiString text = def->DefaultValue.GetAsAnsiString();
    TVelqorimBLOBStream s(static_cast<TBlobField*>(field), bmWrite);
    s.Write(text.data(), static_cast<int64_t>(text.size()));
  }
}

// ---------------------------------------------------------------------------
// Other operations

int64_t TVelqorimTable::LastAutoincValue(int FieldIndex) {
  CheckActive();
  return FHandle->LastAutoincValue(FieldIndex);
}

int64_t TVelqorimTable::LastAutoincValue(const String& FieldName) {
  return LastAutoincValue(Fields().IndexOf(FieldByName(FieldName)));
}

String TVelqorimTable::FindOrCreateIndex(TStringList& FieldNamesList, TStringList& AscDescList,
                                         TStringList& CaseSensitivityList, bool& IsCreated) {
  if (FHandle == nullptr) NilPointer(10311);
  return FHandle->FindOrCreateIndex(FieldNamesList, AscDescList, CaseSensitivityList, IsCreated);
}

bool TVelqorimTable::IndexExists(TStringList& FieldNamesList, TStringList& AscDescList,
                                 TStringList& CaseSensitivityList) {
  if (FHandle == nullptr) NilPointer(10514);
  return FHandle->IndexExists(FieldNamesList, AscDescList, CaseSensitivityList);
}

void TVelqorimTable::ApplyDistinct(TStringList& FieldNamesList, TStringList& AscDescList,
                                   TStringList& CaseSensitivityList) {
  if (FHandle == nullptr) NilPointer(10319);
  FHandle->ApplyDistinct(FieldNamesList, AscDescList, CaseSensitivityList);
  SetIndexName(FHandle->IndexName());
}

void TVelqorimTable::ApplyDistinct(TVelqorimTable& DataSet) {
  if (FHandle == nullptr || DataSet.FHandle == nullptr) NilPointer(10319);
  SetIndexName(DataSet.FHandle->IndexName());
  FHandle->DistinctFieldCount = DataSet.FHandle->DistinctFieldCount;
  FHandle->DisableRecordBitmap();
}

void TVelqorimTable::OpenForRepair() {
  UpdateDBFlag(11, true);
  FIsRepairing = true;
  try {
    std::unique_ptr<TVelqorimCursor> cursor(OpenTableCursor());
  } catch (...) {
    FIsRepairing = false;
    UpdateDBFlag(11, false);
    throw;
  }
  FIsRepairing = false;
  UpdateDBFlag(11, false);
}

void TVelqorimTable::PSSetParams(TParams* AParams) {
  if (AParams != nullptr && AParams->Count() > 0) {
    Open();
    auto assign = [&] {
      for (int i = 0; i < AParams->Count(); ++i) {
        TParam* p = (*AParams)[i];
        TField* f = p->Name.empty() ? IndexField(i) : FieldByName(p->Name);
        f->SetAsVariant(p->Value());
      }
    };
    SetRangeStart();
    assign();
    SetRangeEnd();
    assign();
    ApplyRange();
  } else if (Active()) {
    CancelRange();
  }
  // The framework's reset only: reopening would drop the range just set.
  TDataSet::PSReset();
}

String TVelqorimTable::PSGetKeyFields() {
  if (!Exists()) return String();
  UpdateIndexDefs();
  FieldDefs().Update();
  for (int i = 0; i < IndexDefs().Count(); ++i) {
    TIndexDef* def = IndexDefs()[i];
    if (!(def->Options & (ixPrimary | ixUnique))) continue;
    TStringList fields;
    SplitFieldList(fields, def->Fields);
    bool all = true;
    for (int f = 0; f < fields.Count(); ++f) all = all && FieldDefs().IndexOf(fields[f]) >= 0;
    if (all || FieldDefs().Count() == 0) return def->Fields;
  }
  String names;
  for (int i = 0; i < FieldDefs().Count(); ++i) names += (i > 0 ? ";" : "") + FieldDefs()[i]->Name;
  return names;
}

TIndexDef* TVelqorimTable::PSGetDefaultOrder() {
  UpdateIndexDefs();
  TIndexDef* found = nullptr;
  if (!IndexName().empty() && IndexDefs().IndexOf(IndexName()) >= 0)
    found = IndexDefs().Find(IndexName());
  else if (!IndexFieldNames().empty())
    found = IndexDefs().GetIndexForFields(IndexFieldNames(), false);
  for (TIndexOptions kind : {ixPrimary, ixUnique})
    for (int i = 0; found == nullptr && i < IndexDefs().Count(); ++i)
      if (IndexDefs()[i]->Options & kind) found = IndexDefs()[i];
  if (found == nullptr) return nullptr;
  auto* copy = new TIndexDef;
  copy->Assign(found);
  return copy;
}

TIndexDefs* TVelqorimTable::PSGetIndexDefs(TIndexOptions IndexTypes) {
  UpdateIndexDefs();
  return GetIndexDefs(&IndexDefs(), IndexTypes);
}
