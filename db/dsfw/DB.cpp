// Errors, values, definitions, data sources, links and parameters of the
// data-set framework.

#include "db/dsfw/DB.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/DateUtils.h"

// ---------------------------------------------------------------------------
// Errors

void DatabaseError(const String& Message, TComponent* Component) {
  if (Component != nullptr && !Component->GetName().empty()) {
    String Name = Component->GetName();
    // A component inside another one is known by both names.
    TComponent* Owner = Component->Owner();
    if (Owner != nullptr && !Owner->GetName().empty()) Name = Owner->GetName() + "." + Name;
    throw EDatabaseError(Name + ": " + Message);
  }
  throw EDatabaseError(Message);
}

void DatabaseErrorFmt(std::string_view Message, std::initializer_list<TVarRec> Args, TComponent* Component) {
  DatabaseError(Format(Message, Args), Component);
}

// ---------------------------------------------------------------------------
// Variant

bool Variant::IsNumeric() const {
  return std::holds_alternative<bool>(FValue) || std::holds_alternative<int64_t>(FValue) ||
         std::holds_alternative<double>(FValue);
}

String Variant::AsString() const {
  if (IsNull()) return String();
  if (auto* V = std::get_if<bool>(&FValue)) return *V ? "True" : "False";
  if (auto* V = std::get_if<int64_t>(&FValue)) return std::to_string(*V);
  if (auto* V = std::get_if<double>(&FValue)) return FloatToStr(*V);
  if (auto* V = std::get_if<String>(&FValue)) return *V;
  if (auto* V = std::get_if<TBytes>(&FValue)) return String(V->begin(), V->end());
  throw EConvertError("Could not convert variant array into string");
}

int64_t Variant::AsInt64() const {
  if (auto* V = std::get_if<bool>(&FValue)) return *V ? -1 : 0;
  if (auto* V = std::get_if<int64_t>(&FValue)) return *V;
  if (auto* V = std::get_if<double>(&FValue)) {
    if (!std::isfinite(*V) || std::fabs(*V) >= 9.2e18) throw EConvertError("Integer overflow");
    return static_cast<int64_t>(std::nearbyint(*V));
  }
  if (auto* V = std::get_if<String>(&FValue)) return StrToInt64(*V);
  throw EConvertError("Could not convert variant into integer");
}

double Variant::AsFloat() const {
  if (auto* V = std::get_if<double>(&FValue)) return *V;
  if (auto* V = std::get_if<String>(&FValue)) return StrToFloat(*V);
  if (IsNumeric()) return static_cast<double>(AsInt64());
  throw EConvertError("Could not convert variant into double");
}

bool Variant::AsBoolean() const {
  if (auto* V = std::get_if<bool>(&FValue)) return *V;
  if (auto* V = std::get_if<String>(&FValue)) {
    if (SameText(*V, "True")) return true;
    if (SameText(*V, "False")) return false;
    return Variant(StrToFloat(*V)).AsBoolean();
  }
  if (auto* V = std::get_if<double>(&FValue)) return *V != 0;
  return AsInt64() != 0;
}

Variant::TBytes Variant::AsBytes() const {
  if (auto* V = std::get_if<TBytes>(&FValue)) return *V;
  if (IsNull()) return {};
  String Text = AsString();
  return TBytes(Text.begin(), Text.end());
}

const Variant::TArray& Variant::AsArray() const {
  if (auto* V = std::get_if<TArray>(&FValue)) return *V;
  throw EConvertError("Variant is not an array");
}

const Variant& Variant::Item(int I) const {
  if (!IsArray()) {
    if (I != 0) throw EConvertError("Variant array index out of bounds");
    return *this;
  }
  const TArray& A = AsArray();
  if (I < 0 || I >= static_cast<int>(A.size())) throw EConvertError("Variant array index out of bounds");
  return A[static_cast<size_t>(I)];
}

bool Variant::operator==(const Variant& Other) const {
  if (IsNull() || Other.IsNull()) return IsNull() && Other.IsNull();
  if (IsArray() || Other.IsArray()) {
    if (!IsArray() || !Other.IsArray() || AsArray().size() != Other.AsArray().size()) return false;
    return std::equal(AsArray().begin(), AsArray().end(), Other.AsArray().begin());
  }
  if (IsNumeric() && Other.IsNumeric()) {
    if (std::holds_alternative<double>(FValue) || std::holds_alternative<double>(Other.FValue))
      return AsFloat() == Other.AsFloat();
    return AsInt64() == Other.AsInt64();
  }
  if (IsBytes() || Other.IsBytes()) return AsBytes() == Other.AsBytes();
  return AsString() == Other.AsString();
}

// ---------------------------------------------------------------------------
// Time stamps

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& Value) {
  TDateTime Date = EncodeDate(static_cast<Word>(Value.Year), Value.Month, Value.Day);
  TDateTime Time = EncodeTime(Value.Hour, Value.Minute, Value.Second, static_cast<Word>(Value.Fractions));
  return Date < 0 ? Date - Time : Date + Time;
}

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime Value) {
  Word Y, Mo, D, H, Mi, S, Ms;
  DecodeDateTime(Value, Y, Mo, D, H, Mi, S, Ms);
  return TSQLTimeStamp{static_cast<int16_t>(Y), Mo, D, H, Mi, S, Ms};
}

// ---------------------------------------------------------------------------
// Field definitions

TFieldDef::TFieldDef(TFieldDefs* Owner, const String& AName, TFieldType ADataType, int ASize, bool ARequired,
                     int AFieldNo)
    : Name(AName), DataType(ADataType), Size(ASize), FieldNo(AFieldNo), FOwner(Owner) {
  SetRequired(ARequired);
}

void TFieldDef::SetRequired(bool Value) {
  if (Value)
    Attributes |= faRequired;
  else
    Attributes &= ~static_cast<unsigned>(faRequired);
}

int TFieldDef::Index() const {
  for (int I = 0; I < FOwner->Count(); ++I)
    if (FOwner->Items(I) == this) return I;
  return -1;
}

namespace {

TField* NewFieldOfType(TFieldType DataType, TComponent* Owner) {
  switch (DataType) {
    case ftString:
    case ftFixedChar: {
      auto* Field = new TStringField(Owner);
      Field->FixedChar = DataType == ftFixedChar;
      return Field;
    }
    case ftGuid: return new TGuidField(Owner);
    case ftWideString:
    case ftFixedWideChar: return new TWideStringField(Owner);
    case ftSmallint: return new TSmallintField(Owner);
    case ftInteger: return new TIntegerField(Owner);
    case ftWord: return new TWordField(Owner);
    case ftAutoInc: return new TAutoIncField(Owner);
    case ftLargeint: return new TLargeintField(Owner);
    case ftFloat:
    case ftBCD:
    case ftFMTBcd: return new TFloatField(Owner);
    case ftCurrency: return new TCurrencyField(Owner);
    case ftBoolean: return new TBooleanField(Owner);
    case ftDate: return new TDateField(Owner);
    case ftTime: return new TTimeField(Owner);
    case ftDateTime: return new TDateTimeField(Owner);
    case ftTimeStamp: return new TSQLTimeStampField(Owner);
    case ftBytes: return new TBytesField(Owner);
    case ftVarBytes: return new TVarBytesField(Owner);
    case ftMemo:
    case ftFmtMemo: return new TMemoField(Owner);
    case ftWideMemo: return new TWideMemoField(Owner);
    case ftGraphic: return new TGraphicField(Owner);
    case ftBlob:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftOraBlob:
    case ftOraClob: {
      return new TBlobField(Owner);
    }
    default: return nullptr;
  }
}

}  // namespace

TField* TFieldDef::CreateField(TComponent* Owner) {
  TField* Field = NewFieldOfType(DataType, Owner);
  if (Field == nullptr)
    DatabaseErrorFmt("Field '%s' is of an unsupported type", {Name}, FOwner->DataSet());
  try {
    Field->FDataType = DataType;  // the BLOB kinds share one class
    Field->FieldName = Name;
    Field->FSize = (DataType == ftGuid && Size == 0) ? 38 : Size;
    Field->Required = GetRequired();
    Field->ReadOnly = (Attributes & faReadonly) != 0;
    if (InternalCalcField) Field->FieldKind = fkInternalCalc;
    if (auto* Float = dynamic_cast<TFloatField*>(Field); Float && Precision > 0) Float->Precision = Precision;
    Field->SetDataSet(FOwner->DataSet());
  } catch (...) {
    delete Field;
    throw;
  }
  return Field;
}

void TFieldDef::Assign(TPersistent* Source) {
  auto* Def = dynamic_cast<TFieldDef*>(Source);
  if (Def == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  Name = Def->Name;
  DataType = Def->DataType;
  Size = Def->Size;
  Precision = Def->Precision;
  Attributes = Def->Attributes;
  InternalCalcField = Def->InternalCalcField;
}

TFieldDef* TFieldDefs::Items(int Index) const {
  if (Index < 0 || Index >= Count()) DatabaseError("Field index out of range", FDataSet);
  return FItems[static_cast<size_t>(Index)].get();
}

TFieldDef* TFieldDefs::AddFieldDef() {
  FItems.push_back(std::make_unique<TFieldDef>(this, "", ftUnknown, 0, false, Count() + 1));
  Updated = false;
  if (FDataSet != nullptr) FDataSet->DefChanged(this);
  return FItems.back().get();
}

TFieldDef* TFieldDefs::Add(const String& Name, TFieldType DataType, int Size, bool Required) {
  if (Name.empty()) DatabaseError("Field name missing", FDataSet);
  if (IndexOf(Name) >= 0) DatabaseErrorFmt("Duplicate field name '%s'", {Name}, FDataSet);
  TFieldDef* Def = AddFieldDef();
  Def->Name = Name;
  Def->DataType = DataType;
  Def->Size = Size;
  Def->SetRequired(Required);
  return Def;
}

void TFieldDefs::Clear() {
  FItems.clear();
  Updated = false;
  if (FDataSet != nullptr) FDataSet->DefChanged(this);
}

int TFieldDefs::IndexOf(const String& Name) const {
  for (int I = 0; I < Count(); ++I)
    if (AnsiSameText(FItems[static_cast<size_t>(I)]->Name, Name)) return I;
  return -1;
}

TFieldDef* TFieldDefs::Find(const String& Name) const {
  int I = IndexOf(Name);
  if (I < 0) DatabaseErrorFmt("Field '%s' not found", {Name}, FDataSet);
  return FItems[static_cast<size_t>(I)].get();
}

void TFieldDefs::Update() {
  if (!Updated && FDataSet != nullptr) FDataSet->InitFieldDefs();
}

void TFieldDefs::Assign(TPersistent* Source) {
  auto* Defs = dynamic_cast<TFieldDefs*>(Source);
  if (Defs == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (Defs == this) return;
  Clear();
  for (int I = 0; I < Defs->Count(); ++I) AddFieldDef()->Assign(Defs->Items(I));
}

// ---------------------------------------------------------------------------
// Index definitions

void TIndexDef::Assign(TPersistent* ASource) {
  auto* Def = dynamic_cast<TIndexDef*>(ASource);
  if (Def == nullptr) {
    TPersistent::Assign(ASource);
    return;
  }
  Name = Def->Name;
  Fields = Def->Fields;
  DescFields = Def->DescFields;
  CaseInsFields = Def->CaseInsFields;
  Expression = Def->Expression;
  Source = Def->Source;
  Options = Def->Options;
  GroupingLevel = Def->GroupingLevel;
}

TIndexDef* TIndexDefs::Items(int Index) const {
  if (Index < 0 || Index >= Count()) DatabaseError("Index out of range", FDataSet);
  return FItems[static_cast<size_t>(Index)].get();
}

TIndexDef* TIndexDefs::AddIndexDef() {
  FItems.push_back(std::make_unique<TIndexDef>());
  if (FDataSet != nullptr) FDataSet->DefChanged(this);
  return FItems.back().get();
}

void TIndexDefs::Add(const String& Name, const String& Fields, TIndexOptions Options) {
  if (IndexOf(Name) >= 0) DatabaseErrorFmt("Duplicate index name '%s'", {Name}, FDataSet);
  TIndexDef* Def = AddIndexDef();
  Def->Name = Name;
  Def->Fields = Fields;
  Def->Options = Options;
}

void TIndexDefs::Clear() {
  FItems.clear();
  if (FDataSet != nullptr) FDataSet->DefChanged(this);
}

int TIndexDefs::IndexOf(const String& Name) const {
  for (int I = 0; I < Count(); ++I)
    if (AnsiSameText(FItems[static_cast<size_t>(I)]->Name, Name)) return I;
  return -1;
}

TIndexDef* TIndexDefs::Find(const String& Name) const {
  int I = IndexOf(Name);
  if (I < 0) DatabaseErrorFmt("Index '%s' not found", {Name}, FDataSet);
  return FItems[static_cast<size_t>(I)].get();
}

TIndexDef* TIndexDefs::GetIndexForFields(const String& Fields, bool CaseInsensitive) const {
  // Leading fields match when the index's list starts with the wanted one at a name boundary.
  for (const auto& Def : FItems) {
    if (Def->Options & ixExpression) continue;
    if (CaseInsensitive != ((Def->Options & ixCaseInsensitive) != 0)) continue;
    const String& F = Def->Fields;
    if (F.size() < Fields.size() || !AnsiSameText(F.substr(0, Fields.size()), Fields)) continue;
    if (F.size() == Fields.size() || F[Fields.size()] == ';') return Def.get();
  }
  return nullptr;
}

TIndexDef* TIndexDefs::FindIndexForFields(const String& Fields) const {
  TIndexDef* Def = GetIndexForFields(Fields, false);
  if (Def == nullptr) Def = GetIndexForFields(Fields, true);
  if (Def == nullptr) DatabaseErrorFmt("No index for fields '%s'", {Fields}, FDataSet);
  return Def;
}

void TIndexDefs::Update() {
  if (!Updated && FDataSet != nullptr) {
    FDataSet->UpdateIndexDefs();
    Updated = true;
  }
}

void TIndexDefs::Assign(TPersistent* Source) {
  auto* Defs = dynamic_cast<TIndexDefs*>(Source);
  if (Defs == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (Defs == this) return;
  Clear();
  for (int I = 0; I < Defs->Count(); ++I) AddIndexDef()->Assign(Defs->Items(I));
}

// ---------------------------------------------------------------------------
// Data sources

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  Destroying();
  for (TDataLink* Link : std::vector<TDataLink*>(FDataLinks)) Link->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const {
  // Walk up DataSet's masters; meeting this source closes a circle.
  for (int Guard = 0; DataSet != nullptr && Guard < 10000; ++Guard) {
    TDataSource* Source = DataSet->GetDataSource();
    if (Source == nullptr) return false;
    if (Source == this) return true;
    DataSet = Source->DataSet();
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) return;
  if (IsLinkedTo(Value)) DatabaseError("Circular datalinks are not allowed", this);
  if (FDataSet != nullptr) {
    FDataSet->RemoveFreeNotification(this);
    FDataSet->RemoveDataSource(this);
    // Links let go of the old dataset (its fields among them) before they
    // see the new one, also when both are open.
    FDataSet = nullptr;
    UpdateState();
  }
  FDataSet = Value;
  if (FDataSet != nullptr) {
    FDataSet->FreeNotification(this);
    FDataSet->AddDataSource(this);
  }
  UpdateState();
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataSet) {
    FDataSet = nullptr;
    UpdateState();
  }
}

void TDataSource::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateState();
}

void TDataSource::Edit() {
  if (AutoEdit && FState == dsBrowse) FDataSet->Edit();
}

void TDataSource::AddDataLink(TDataLink* Link) {
  FDataLinks.push_back(Link);
  Link->FDataSource = this;
  if (FDataSet != nullptr) FDataSet->UpdateBufferCount();
  Link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* Link) {
  std::erase(FDataLinks, Link);
  Link->FDataSource = nullptr;
  Link->UpdateState();
  if (FDataSet != nullptr) FDataSet->UpdateBufferCount();
}

void TDataSource::UpdateState() {
  TDataSetState State = (FEnabled && FDataSet != nullptr) ? FDataSet->State() : dsInactive;
  if (State == FState) return;
  bool WasActive = FState != dsInactive;
  FState = State;
  for (TDataLink* Link : std::vector<TDataLink*>(FDataLinks)) Link->UpdateState();
  if (WasActive != (FState != dsInactive)) {
    // Links saw the activity change in UpdateState; the state change is told once.
  }
  if (OnStateChange) OnStateChange(this);
}

void TDataSource::NotifyDataLinks(TDataEvent Event, intptr_t Info) {
  // Links may unlink themselves while told; work on a copy.
  for (TDataLink* Link : std::vector<TDataLink*>(FDataLinks))
    if (std::find(FDataLinks.begin(), FDataLinks.end(), Link) != FDataLinks.end()) Link->DataEvent(Event, Info);
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (FState == dsInactive) return;
  NotifyDataLinks(Event, Info);
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (OnDataChange) OnDataChange(this, Event == deFieldChange ? reinterpret_cast<TField*>(Info) : nullptr);
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Data links

TDataLink::~TDataLink() {
  if (FDataSource != nullptr) FDataSource->RemoveDataLink(this);
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* Value) {
  if (Value == FDataSource) return;
  // A detail dataset may not feed its own master.
  if (TDataSet* Detail = GetDetailDataSet(); Detail != nullptr && Value != nullptr && Detail->IsLinkedTo(Value))
    DatabaseError("Circular datalinks are not allowed", Detail);
  if (FDataSource != nullptr) FDataSource->RemoveDataLink(this);
  if (Value != nullptr) Value->AddDataLink(this);
}

void TDataLink::SetBufferCount(int Value) {
  if (Value < 1) Value = 1;
  if (FBufferCount == Value) return;
  FBufferCount = Value;
  if (TDataSet* DS = DataSet()) DS->UpdateBufferCount();
}

void TDataLink::UpdateRange() {
  TDataSet* DS = DataSet();
  if (DS == nullptr || !FActive) {
    FFirstRecord = 0;
    return;
  }
  int Active = DS->FActiveRecord;
  if (Active < FFirstRecord) FFirstRecord = Active;
  if (Active >= FFirstRecord + FBufferCount) FFirstRecord = Active - FBufferCount + 1;
  FFirstRecord = std::clamp(FFirstRecord, 0, std::max(0, DS->FRecordCount - 1));
}

int TDataLink::ActiveRecord() const {
  TDataSet* DS = DataSet();
  return (DS != nullptr && FActive) ? DS->FActiveRecord - FFirstRecord : 0;
}

int TDataLink::RecordCount() const {
  TDataSet* DS = DataSet();
  if (DS == nullptr || !FActive) return 0;
  return std::min(FBufferCount, std::max(0, DS->FRecordCount - FFirstRecord));
}

bool TDataLink::Edit() {
  if (!ReadOnly && FDataSource != nullptr) FDataSource->Edit();
  return FEditing;
}

void TDataLink::UpdateRecord() {
  FUpdating = true;
  try {
    UpdateData();
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

void TDataLink::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  FFirstRecord = 0;
  if (Value) UpdateRange();
  ActiveChanged();
}

void TDataLink::UpdateState() {
  TDataSetState State = FDataSource ? FDataSource->State() : dsInactive;
  SetActive(State != dsInactive);
  bool Editing = (State == dsEdit || State == dsInsert) && !ReadOnly;
  if (Editing != FEditing) {
    FEditing = Editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent Event, intptr_t Info) {
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (!FUpdating) RecordChanged(Event == deFieldChange ? reinterpret_cast<TField*>(Info) : nullptr);
      break;
    case deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case deDataSetScroll:
      UpdateRange();
      DataSetScrolled(static_cast<int>(Info));
      break;
    case deLayoutChange:
      UpdateRange();
      LayoutChanged();
      break;
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TField*>(Info));
      break;
    default:
      break;
  }
}

void TMasterDataLink::SetFieldNames(const String& Value) {
  if (FFieldNames == Value) return;
  FFieldNames = Value;
  UpdateFields();
}

void TMasterDataLink::UpdateFields() {
  FFields.clear();
  if (Active() && !FFieldNames.empty()) {
    try {
      DataSet()->GetFieldList(FFields, FFieldNames);
    } catch (...) {
      FFields.clear();
      throw;
    }
  }
  if (FDataSet != nullptr && FDataSet->Active()) {
    if (Active() && !FFields.empty()) {
      if (OnMasterChange) OnMasterChange(FDataSet);
    } else if (OnMasterDisable) {
      OnMasterDisable(FDataSet);
    }
  }
}

void TMasterDataLink::ActiveChanged() {
  if (FDataSet == nullptr || (FDataSet->ComponentState() & csDestroying)) return;
  UpdateFields();
}

void TMasterDataLink::LayoutChanged() { UpdateFields(); }

void TMasterDataLink::CheckBrowseMode() {
  if (FDataSet != nullptr && FDataSet->Active()) FDataSet->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* Field) {
  // Only a change of the record, or of one of the linking fields, moves the detail.
  if (FDataSet == nullptr || !FDataSet->Active() || DataSource() == nullptr ||
      DataSource()->State() == dsSetKey || !Active() || FFields.empty())
    return;
  if (Field != nullptr && std::find(FFields.begin(), FFields.end(), Field) == FFields.end()) return;
  if (OnMasterChange) OnMasterChange(FDataSet);
}

// ---------------------------------------------------------------------------
// Parameters

TParam::TParam(TParams* Owner, const String& AName, TFieldType ADataType, TParamType AParamType)
    : Name(AName), DataType(ADataType), ParamType(AParamType), FOwner(Owner) {}

void TParam::SetValue(const Variant& Value) {
  FValue = Value;
  Bound = true;
}

void TParam::SetAsString(const String& V) {
  if (DataType == ftUnknown) DataType = ftString;
  SetValue(V);
}

void TParam::SetAsInteger(int32_t V) {
  if (DataType == ftUnknown) DataType = ftInteger;
  SetValue(int64_t{V});
}

void TParam::SetAsFloat(double V) {
  if (DataType == ftUnknown) DataType = ftFloat;
  SetValue(V);
}

void TParam::SetAsBoolean(bool V) {
  if (DataType == ftUnknown) DataType = ftBoolean;
  SetValue(V);
}

void TParam::SetAsDateTime(TDateTime V) {
  if (DataType == ftUnknown) DataType = ftDateTime;
  SetValue(V);
}

void TParam::AssignField(TField* Field) {
  if (Field == nullptr) return;
  Name = Field->FieldName;
  AssignFieldValue(Field, Field->GetAsVariant());
}

void TParam::AssignFieldValue(TField* Field, const Variant& Value) {
  if (Field == nullptr) return;
  DataType = Field->DataType() == ftAutoInc ? ftInteger : Field->DataType();
  Size = Field->Size();
  SetValue(Value);
}

void TParam::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TParam*>(Source)) {
    Name = P->Name;
    DataType = P->DataType;
    ParamType = P->ParamType;
    Bound = P->Bound;
    Size = P->Size;
    FValue = P->FValue;
  } else if (auto* F = dynamic_cast<TField*>(Source)) {
    AssignField(F);
  } else {
    TPersistent::Assign(Source);
  }
}

TParam* TParams::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)].get();
}

TParam* TParams::CreateParam(TFieldType DataType, const String& Name, TParamType ParamType) {
  FItems.push_back(std::make_unique<TParam>(this, Name, DataType, ParamType));
  return FItems.back().get();
}

void TParams::AddParam(std::unique_ptr<TParam> Param) { FItems.push_back(std::move(Param)); }

void TParams::Delete(int Index) {
  Items(Index);
  FItems.erase(FItems.begin() + Index);
}

TParam* TParams::FindParam(const String& Name) const {
  for (const auto& P : FItems)
    if (AnsiSameText(P->Name, Name)) return P.get();
  return nullptr;
}

TParam* TParams::ParamByName(const String& Name) const {
  TParam* P = FindParam(Name);
  if (P == nullptr) DatabaseErrorFmt("Parameter '%s' not found", {Name}, dynamic_cast<TComponent*>(FOwner));
  return P;
}

bool TParams::IsEqual(const TParams& Other) const {
  if (Count() != Other.Count()) return false;
  for (int I = 0; I < Count(); ++I) {
    TParam* A = Items(I);
    TParam* B = Other.Items(I);
    if (A->Name != B->Name || A->DataType != B->DataType || A->ParamType != B->ParamType ||
        A->Bound != B->Bound || !(A->Value() == B->Value()))
      return false;
  }
  return true;
}

void TParams::Assign(TPersistent* Source) {
  auto* Params = dynamic_cast<TParams*>(Source);
  if (Params == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (Params == this) return;
  Clear();
  for (int I = 0; I < Params->Count(); ++I) {
    TParam* P = CreateParam(ftUnknown, "", DBParam::ptUnknown);
    P->Assign(Params->Items(I));
  }
}
