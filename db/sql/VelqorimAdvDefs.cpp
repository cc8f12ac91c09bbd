#include "db/sql/VelqorimAdvDefs.h"

#include "db/sql/VelqorimExpressions.h"
#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"

namespace {

// Index columns default to this many indexed characters.
constexpr int DefaultMaxIndexedSize = 20;

String JoinNames(const std::vector<String>& Names) {
  String Result;
  for (const String& Name : Names) {
    if (!Result.empty()) Result += ';';
    Result += Name;
  }
  return Result;
}

bool ListHasName(const TStrings& List, const String& Name) {
  for (int i = 0; i < List.Count(); ++i)
    if (SameDefName(List[i], Name)) return true;
  return false;
}

// The position of the table column with that object id, or -1.
int FieldNoByObjectId(const TVelqorimFieldDefs& Defs, int ObjectID) {
  for (int i = 0; i < Defs.Count(); ++i)
    if (Defs[i]->ObjectID == ObjectID) return i;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Definition lists

template <class TDef>
void TVelqorimAdvDefList<TDef>::DeleteDef(const String& Name, int NotFoundCode, const char* NotFoundText) {
  const int i = IndexOf(Name);
  if (i < 0) throw EABSException(NotFoundCode, NotFoundText, {Name});
  FDefsList.erase(FDefsList.begin() + i);
}

template class TVelqorimAdvDefList<TVelqorimAdvFieldDef>;
template class TVelqorimAdvDefList<TVelqorimAdvIndexDef>;

// ---------------------------------------------------------------------------
// Field definitions

void TVelqorimAdvFieldDef::Assign(const TVelqorimAdvFieldDef& Source) {
  Name = Source.Name;
  ObjectID = Source.ObjectID;
  DataType = Source.DataType;
  Required = Source.Required;
  Size = Source.Size;
  DefaultValue.Assign(Source.DefaultValue);
  MinValue.Assign(Source.MinValue);
  MaxValue.Assign(Source.MaxValue);
  AutoincIncrement = Source.AutoincIncrement;
  AutoincInitialValue = Source.AutoincInitialValue;
  AutoincMinValue = Source.AutoincMinValue;
  AutoincMaxValue = Source.AutoincMaxValue;
  AutoincCycled = Source.AutoincCycled;
  BLOBCompressionAlgorithm = Source.BLOBCompressionAlgorithm;
  BLOBCompressionMode = Source.BLOBCompressionMode;
  BLOBBlockSize = Source.BLOBBlockSize;
}

TVelqorimAdvFieldDef* TVelqorimAdvFieldDefs::Add(const String& Name, TABSAdvancedFieldType DataType, int Size,
                                                 bool Required, TABSCompressionAlgorithm BLOBCompressionAlgorithm,
                                                 uint8_t BLOBCompressionMode) {
  TVelqorimAdvFieldDef* Def = AddFieldDef();
  Def->Name = Name;
  Def->DataType = DataType;
  Def->Size = Size;
  Def->Required = Required;
  Def->BLOBCompressionAlgorithm = BLOBCompressionAlgorithm;
  Def->BLOBCompressionMode = BLOBCompressionMode;
  return Def;
}

void TVelqorimAdvFieldDefs::Assign(const TVelqorimAdvFieldDefs& Source) {
  if (&Source == this) return;
  Clear();
  for (const auto& Def : Source.FDefsList) AddDef()->Assign(*Def);
}

// ---------------------------------------------------------------------------
// Index definitions

void TVelqorimAdvIndexDef::Assign(const TVelqorimAdvIndexDef& ASource) {
  Name = ASource.Name;
  Fields = ASource.Fields;
  DescFields = ASource.DescFields;
  CaseInsFields = ASource.CaseInsFields;
  Options = ASource.Options;
  MaxIndexedSizes = ASource.MaxIndexedSizes;
  Temporary = ASource.Temporary;
}

TVelqorimAdvIndexDef* TVelqorimAdvIndexDefs::Add(const String& Name, const String& Fields, TIndexOptions Options,
                                                 bool Temporary, const String& DescFields,
                                                 const String& CaseInsFields, const String& MaxIndexedSizes) {
  TVelqorimAdvIndexDef* Def = AddIndexDef();
  Def->Name = Name;
  Def->Fields = Fields;
  Def->Options = Options;
  Def->Temporary = Temporary;
  Def->DescFields = DescFields;
  Def->CaseInsFields = CaseInsFields;
  Def->MaxIndexedSizes = MaxIndexedSizes;
  return Def;
}

void TVelqorimAdvIndexDefs::Assign(const TVelqorimAdvIndexDefs& Source, bool SkipTemporaryIndexes) {
  if (&Source == this) return;
  Clear();
  for (const auto& Def : Source.FDefsList) {
    if (SkipTemporaryIndexes &&
        (Def->Temporary || AnsiUpperCase(Def->Name).find("TEMPORARY") != String::npos))
      continue;
    AddDef()->Assign(*Def);
  }
}

void TVelqorimAdvIndexDefs::Update() {
  if (auto* Services = dynamic_cast<IVelqorimDataSetServices*>(FDataset)) Services->UpdateAdvIndexDefs();
}

// ---------------------------------------------------------------------------
// BLOB stream

TVelqorimBLOBStream::TVelqorimBLOBStream(TBlobField* Field, TBlobStreamMode Mode) {
  TDataSet* DataSet = Field->DataSet();
  FServices = dynamic_cast<IVelqorimDataSetServices*>(DataSet);
  if (Mode != bmRead && FServices != nullptr && FServices->IsReadOnlyDataSet())
    throw EABSException(10106, "Dataset is in read only mode");
  // The caller's field may be a stale copy; the dataset's own field of that name counts.
  auto* Current = dynamic_cast<TBlobField*>(DataSet->FieldByName(Field->FieldName));
  if (Current != nullptr) Field = Current;
  if (FServices != nullptr) FBLOBStream = FServices->CreateEngineBlobStream(Field, Mode);
  if (FBLOBStream == nullptr) return;
  SetBlockSize(FBLOBStream->BlockSize());
  if (auto* Local = dynamic_cast<TVelqorimLocalBLOBStream*>(FBLOBStream)) Local->UserBLOBStream = this;
  FField = Field;
  FDataSet = DataSet;
  if (Mode == bmWrite) Truncate();
}

TVelqorimBLOBStream::~TVelqorimBLOBStream() {
  if (FBLOBStream == nullptr) return;
  SetModified(FBLOBStream->Modified());
  if (auto* Local = dynamic_cast<TVelqorimLocalBLOBStream*>(FBLOBStream)) Local->UserBLOBStream = nullptr;
  try {
    FServices->CloseEngineBlob(FField);
    if (Modified()) {
      FField->Modified = true;
      FDataSet->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(FField));
    }
  } catch (...) {
    FServices->HandleDataSetException();
  }
}

int64_t TVelqorimBLOBStream::Read(void* Buffer, int64_t Count) {
  return FBLOBStream == nullptr ? 0 : FBLOBStream->Read(Buffer, Count);
}

int64_t TVelqorimBLOBStream::Write(const void* Buffer, int64_t Count) {
  if (FBLOBStream == nullptr) return 0;
  const int64_t Written = FBLOBStream->Write(Buffer, Count);
  if (Count > 0) FBLOBStream->SetModified(true);
  return Written;
}

int64_t TVelqorimBLOBStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  return FBLOBStream == nullptr ? 0 : FBLOBStream->Seek(Offset, Origin);
}

int64_t TVelqorimBLOBStream::Size() { return FBLOBStream == nullptr ? 0 : FBLOBStream->Size(); }

void TVelqorimBLOBStream::SetSize(int64_t NewSize) {
  if (FBLOBStream == nullptr) return;
  FBLOBStream->SetSize(NewSize);
  if (FBLOBStream->Size() == NewSize) FBLOBStream->SetModified(true);
}

void TVelqorimBLOBStream::Truncate() { SetSize(Position()); }

int64_t TVelqorimBLOBStream::CompressedSize() {
  auto* Local = dynamic_cast<TVelqorimLocalBLOBStream*>(FBLOBStream);
  return Local == nullptr ? 0 : Local->Compressed().CompressedSize();
}

// ---------------------------------------------------------------------------
// Field definition conversions

void FieldDefsToEngineFieldDefs(const TFieldDefs& FieldDefs, TVelqorimFieldDefs& EngineFieldDefs) {
  EngineFieldDefs.Clear();
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TFieldDef& Source = *FieldDefs[i];
    TVelqorimFieldDef* Def = EngineFieldDefs.AddCreated();
    Def->Name = CutDefName(Source.Name);
    Def->SetFieldDefDataType(FieldTypeToAdvancedFieldType(Source.DataType), Source.Size);
  }
}

void FieldDefsToAdvFieldDefs(const TFieldDefs& FieldDefs, TVelqorimAdvFieldDefs& AdvFieldDefs) {
  AdvFieldDefs.Clear();
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TFieldDef& Source = *FieldDefs[i];
    AdvFieldDefs.Add(Source.Name, FieldTypeToAdvancedFieldType(Source.DataType), Source.Size, Source.GetRequired());
  }
}

void AdvFieldDefsToFieldDefs(const TVelqorimAdvFieldDefs& AdvFieldDefs, TFieldDefs& FieldDefs) {
  FieldDefs.Clear();
  for (int i = 0; i < AdvFieldDefs.Count(); ++i) {
    const TVelqorimAdvFieldDef& Source = *AdvFieldDefs[i];
    FieldDefs.Add(Source.Name, AdvancedFieldTypeToFieldType(Source.DataType), Source.Size, Source.Required);
  }
}

void AdvFieldDefsToEngineFieldDefs(const TVelqorimAdvFieldDefs& AdvFieldDefs, const TVelqorimIndexDefs& EngineIndexDefs,
                                   TVelqorimFieldDefs& EngineFieldDefs, TVelqorimConstraintDefs& ConstraintDefs,
                                   bool SkipColumnConstraints) {
  EngineFieldDefs.Clear();
  ConstraintDefs.Clear();
  for (int i = 0; i < AdvFieldDefs.Count(); ++i) {
    const TVelqorimAdvFieldDef& Source = *AdvFieldDefs[i];
    TVelqorimFieldDef* Def = EngineFieldDefs.AddCreated();
    Def->Name = CutDefName(Source.Name);
    Def->SetFieldDefDataType(Source.DataType, Source.Size);
    Def->BLOBCompressionAlgorithm = Source.BLOBCompressionAlgorithm;
    Def->BLOBCompressionMode = Source.BLOBCompressionMode;
    Def->BLOBBlockSize = Source.BLOBBlockSize > 0 ? Source.BLOBBlockSize : ABSDefaultStreamBlockSize;
    Def->AutoincIncrement = Source.AutoincIncrement;
    Def->AutoincInitialValue = Source.AutoincInitialValue;
    Def->AutoincMinValue = Source.AutoincMinValue;
    Def->AutoincMaxValue = Source.AutoincMaxValue;
    Def->AutoincCycled = Source.AutoincCycled;
    Def->DefaultValue.Assign(Source.DefaultValue);
    Def->UpdateDefaultValueExpr();
    if (SkipColumnConstraints) continue;
    if (Source.Required) ConstraintDefs.AddNotNull()->ColumnName = Def->Name;
    if (!Source.MinValue.IsNull() || !Source.MaxValue.IsNull()) {
      TVelqorimConstraintDefCheck* Check = ConstraintDefs.AddCheck();
      Check->ColumnName = Def->Name;
      Check->MinValue.Assign(Source.MinValue);
      Check->MaxValue.Assign(Source.MaxValue);
    }
  }
  for (int i = 0; i < EngineIndexDefs.Count(); ++i) AddConstraintDefFromIndexDef(*EngineIndexDefs[i], ConstraintDefs);
}

void EngineFieldDefsToAdvFieldDefs(const TVelqorimFieldDefs& EngineFieldDefs, const TVelqorimFieldDefs& TableFieldDefs,
                                   const TVelqorimConstraintDefs& ConstraintDefs, TVelqorimAdvFieldDefs& AdvFieldDefs) {
  AdvFieldDefs.Clear();
  for (int i = 0; i < EngineFieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& Source = *EngineFieldDefs[i];
    TVelqorimAdvFieldDef* Def = AdvFieldDefs.AddFieldDef();
    Def->Name = Source.Name;
    Def->ObjectID = Source.ObjectID;
    Def->DataType = Source.AdvancedFieldType;
    Def->Size = Source.AdvancedFieldType == aftGuid ? 0 : Source.FieldSize;
    Def->AutoincIncrement = Source.AutoincIncrement;
    Def->AutoincInitialValue = Source.AutoincInitialValue;
    Def->AutoincMinValue = Source.AutoincMinValue;
    Def->AutoincMaxValue = Source.AutoincMaxValue;
    Def->AutoincCycled = Source.AutoincCycled;
    Def->BLOBCompressionAlgorithm = ToCompressionAlgorithm(Source.BLOBCompressionAlgorithm);
    Def->BLOBCompressionMode = Source.BLOBCompressionMode;
    Def->BLOBBlockSize = Source.BLOBBlockSize;
    Def->DefaultValue.Assign(Source.DefaultValue);
  }
  for (int c = 0; c < ConstraintDefs.Count(); ++c) {
    const TVelqorimConstraintDef& Constraint = *ConstraintDefs[c];
    if (Constraint.ConstraintType == ctPK || Constraint.ConstraintType == ctUnique) continue;
    if (Constraint.ConstraintType != ctNotNull && Constraint.ConstraintType != ctCheck)
      throw EABSException(30039, "Not implemented yet");
    const bool IsCheck = Constraint.ConstraintType == ctCheck;
    const auto& Column = static_cast<const TVelqorimConstraintDefNotNull&>(Constraint);
    const int TableFieldNo = FieldNoByObjectId(TableFieldDefs, Column.ColumnObjectID);
    if (TableFieldNo < 0)
      throw EABSException(IsCheck ? 30031 : 30032, "Field #%d not found", {Column.ColumnObjectID});
    for (int i = 0; i < EngineFieldDefs.Count(); ++i) {
      if (EngineFieldDefs[i]->FieldNoReference != TableFieldNo) continue;
      TVelqorimAdvFieldDef& Def = *AdvFieldDefs[i];
      if (!IsCheck) {
        Def.Required = true;
        continue;
      }
      const auto& Check = static_cast<const TVelqorimConstraintDefCheck&>(Constraint);
      Def.MinValue.Assign(Check.MinValue);
      Def.MaxValue.Assign(Check.MaxValue);
    }
  }
}

void EngineFieldDefsToFieldDefs(const TVelqorimFieldDefs& EngineFieldDefs, const TVelqorimConstraintDefs& ConstraintDefs,
                                TFieldDefs& FieldDefs) {
  FieldDefs.Clear();
  for (int i = 0; i < EngineFieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& Source = *EngineFieldDefs[i];
    const TFieldType Type = AdvancedFieldTypeToFieldType(Source.AdvancedFieldType);
    const bool HasSize = AdvancedFieldTypeHasSize(Source.AdvancedFieldType) && Type != ftGuid;
    FieldDefs.Add(Source.Name, Type, HasSize ? Source.FieldSize : 0, false);
  }
  for (int c = 0; c < ConstraintDefs.Count(); ++c) {
    if (ConstraintDefs[c]->ConstraintType != ctNotNull) continue;
    const auto& NotNull = static_cast<const TVelqorimConstraintDefNotNull&>(*ConstraintDefs[c]);
    const int i = EngineFieldDefs.GetDefNumberByObjectId(NotNull.ColumnObjectID);
    if (i >= 0 && FieldDefs[i]->DataType != ftAutoInc) FieldDefs[i]->SetRequired(true);
  }
}

// ---------------------------------------------------------------------------
// Index definition conversions

void FillEngineIndexDef(TVelqorimIndexDef& IndexDef, const String& Name, const String& Fields,
                        const TFieldDefs& FieldDefs, const String& MaxIndexedSizes, const String& CaseInsFields,
                        const String& DescFields, bool Temporary, TIndexOptions Options) {
  if (Name.empty()) throw EABSException(20048, "Invalid index name '%s'", {Name});
  if (Trim(Fields).empty()) throw EABSException(20049, "Cannot find index field '%s'", {Fields});
  IndexDef.Name = Name;
  IndexDef.IndexType = itBTree;
  IndexDef.Unique = (Options & ixUnique) != 0;
  IndexDef.Primary = (Options & ixPrimary) != 0;
  IndexDef.Temporary = Temporary;
  TStringList FieldList, SizeList, CaseInsList, DescList;
  SplitFieldList(FieldList, Fields);
  SplitFieldList(SizeList, MaxIndexedSizes);
  SplitFieldList(CaseInsList, CaseInsFields);
  SplitFieldList(DescList, DescFields);
  IndexDef.SetColumnCount(FieldList.Count());
  for (int i = 0; i < FieldList.Count(); ++i) {
    const String Field = FieldList[i];
    if (!FieldDefsHasField(FieldDefs, Field)) throw EABSException(20050, "Cannot find index field '%s'", {Field});
    TVelqorimIndexColumn& Column = IndexDef.GetIndexColumn(i);
    Column.FieldName = Field;
    Column.Descending = ListHasName(DescList, Field) || ((Options & ixDescending) != 0 && DescList.Count() == 0);
    Column.CaseInsensitive =
        ListHasName(CaseInsList, Field) || ((Options & ixCaseInsensitive) != 0 && CaseInsList.Count() == 0);
    Column.MaxIndexedSize = i < SizeList.Count() && !SizeList[i].empty()
                                ? StrToIntDef(SizeList[i], DefaultMaxIndexedSize)
                                : DefaultMaxIndexedSize;
  }
}

void AdvIndexDefToEngineIndexDef(const TVelqorimAdvIndexDef& AdvIndexDef, TVelqorimIndexDef& IndexDef,
                                 const TFieldDefs& FieldDefs) {
  FillEngineIndexDef(IndexDef, AdvIndexDef.Name, AdvIndexDef.Fields, FieldDefs, AdvIndexDef.MaxIndexedSizes,
                     AdvIndexDef.CaseInsFields, AdvIndexDef.DescFields, AdvIndexDef.Temporary, AdvIndexDef.Options);
}

void AdvIndexDefsToEngineIndexDefs(const TVelqorimAdvIndexDefs& AdvIndexDefs, TVelqorimIndexDefs& IndexDefs,
                                   const TFieldDefs& FieldDefs) {
  IndexDefs.Clear();
  for (int i = 0; i < AdvIndexDefs.Count(); ++i)
    AdvIndexDefToEngineIndexDef(*AdvIndexDefs[i], *IndexDefs.AddCreated(), FieldDefs);
}

void EngineIndexDefToAdvIndexDef(const TVelqorimIndexDef& IndexDef, TVelqorimAdvIndexDef& AdvIndexDef) {
  std::vector<String> Fields, Desc, CaseIns, Sizes;
  for (int i = 0; i < IndexDef.ColumnCount(); ++i) {
    const TVelqorimIndexColumn& Column = IndexDef.GetIndexColumn(i);
    Fields.push_back(Column.FieldName);
    if (Column.Descending) Desc.push_back(Column.FieldName);
    if (Column.CaseInsensitive) CaseIns.push_back(Column.FieldName);
    Sizes.push_back(IntToStr(Column.MaxIndexedSize));
  }
  AdvIndexDef.Name = IndexDef.Name;
  AdvIndexDef.Fields = JoinNames(Fields);
  AdvIndexDef.DescFields = JoinNames(Desc);
  AdvIndexDef.CaseInsFields = JoinNames(CaseIns);
  AdvIndexDef.MaxIndexedSizes = JoinNames(Sizes);
  AdvIndexDef.Options = (IndexDef.Unique ? ixUnique : 0u) | (IndexDef.Primary ? ixPrimary : 0u);
  AdvIndexDef.Temporary = IndexDef.Temporary;
}

void EngineIndexDefsToAdvIndexDefs(const TVelqorimIndexDefs& IndexDefs, TVelqorimAdvIndexDefs& AdvIndexDefs) {
  AdvIndexDefs.Clear();
  for (int i = 0; i < IndexDefs.Count(); ++i) EngineIndexDefToAdvIndexDef(*IndexDefs[i], *AdvIndexDefs.AddIndexDef());
}

void NormalizeAdvFieldDefs(TVelqorimAdvFieldDefs& AdvFieldDefs) {
  auto isEmptyText = [](const TABSVariant& v) { return !v.IsNull() && v.GetAsWideString().empty(); };
  for (int i = 0; i < AdvFieldDefs.Count(); ++i) {
    TVelqorimAdvFieldDef& def = *AdvFieldDefs[i];
    const TABSBaseFieldType t = AdvancedFieldTypeToBaseFieldType(def.DataType);
    // No value converts into BLOB and byte types: their defaults stay as
    // given (a BLOB default is written as text into each new record).
    const bool castable = !IsBlobBaseFieldType(t) && t != bftBytes && t != bftVarBytes;
    if (isEmptyText(def.DefaultValue)) {
      def.DefaultValue.SetNull(t);
    } else if (castable) {
      // A test that cannot decide leaves the cast to say what is wrong.
      try {
        if (!IsDefaultValueExpression(def.DefaultValue)) def.DefaultValue.Cast(t);
      } catch (const Exception&) {
        def.DefaultValue.Cast(t);
      }
    }
    for (TABSVariant* bound : {&def.MinValue, &def.MaxValue}) {
      if (isEmptyText(*bound)) bound->SetNull(t);
      else if (castable) bound->Cast(t);
    }
    if (def.Size != 0 && !IsStringBaseFieldType(t) && t != bftBytes && t != bftVarBytes) def.Size = 0;
    if (def.DataType == aftGuid) def.Size = 38;
  }
}

void AdjustIndexColumnSizes(TVelqorimAdvIndexDefs& AdvIndexDefs, const TVelqorimAdvFieldDefs& AdvFieldDefs,
                            const TFieldDefs& FieldDefs) {
  auto takesLength = [&](const String& FieldName) {
    const TVelqorimAdvFieldDef* f = AdvFieldDefs.Find(FieldName);
    if (f == nullptr) return false;
    const TABSAdvancedFieldType t = f->DataType;
    return t == aftChar || t == aftString || t == aftWideChar || t == aftWideString || t == aftBytes ||
           t == aftVarBytes;
  };
  for (int i = 0; i < AdvIndexDefs.Count(); ++i) {
    TVelqorimIndexDef scratch;
    AdvIndexDefToEngineIndexDef(*AdvIndexDefs[i], scratch, FieldDefs);
    bool changed = false;
    for (int c = 0; c < scratch.ColumnCount(); ++c) {
      TVelqorimIndexColumn& column = scratch.GetIndexColumn(c);
      if (column.MaxIndexedSize > 0 && takesLength(column.FieldName)) continue;
      if (column.MaxIndexedSize != DefaultMaxIndexedSize) {
        column.MaxIndexedSize = DefaultMaxIndexedSize;
        changed = true;
      }
    }
    if (changed) EngineIndexDefToAdvIndexDef(scratch, *AdvIndexDefs[i]);
  }
}

void AdvIndexDefsToIndexDefs(const TVelqorimAdvIndexDefs& AdvIndexDefs, TIndexDefs& IndexDefs) {
  IndexDefs.Clear();
  for (int i = 0; i < AdvIndexDefs.Count(); ++i) {
    const TVelqorimAdvIndexDef& Source = *AdvIndexDefs[i];
    TIndexDef* Def = IndexDefs.AddIndexDef();
    Def->Name = Source.Name;
    Def->Fields = Source.Fields;
    Def->DescFields = Source.DescFields;
    Def->CaseInsFields = Source.CaseInsFields;
    Def->Options = Source.Options;
    // Both sides upper-cased: the engine keeps column names as declared.
    const String AllFields = AnsiUpperCase(Trim(Source.Fields));
    if (!AllFields.empty() && AllFields == AnsiUpperCase(Trim(Source.DescFields))) Def->Options |= ixDescending;
    if (!AllFields.empty() && AllFields == AnsiUpperCase(Trim(Source.CaseInsFields)))
      Def->Options |= ixCaseInsensitive;
  }
}

void IndexDefsToAdvIndexDefs(const TIndexDefs& IndexDefs, TVelqorimAdvIndexDefs& AdvIndexDefs) {
  AdvIndexDefs.Clear();
  for (int i = 0; i < IndexDefs.Count(); ++i) {
    const TIndexDef& Source = *IndexDefs[i];
    AdvIndexDefs.Add(Source.Name, Source.Fields, Source.Options, false, Source.DescFields, Source.CaseInsFields);
  }
}

// ---------------------------------------------------------------------------
// Other routines

TVelqorimConstraintDef* AddConstraintDefFromIndexDef(const TVelqorimIndexDef& IndexDef,
                                                     TVelqorimConstraintDefs& ConstraintDefs) {
  TVelqorimConstraintDefUnique* Constraint;
  String Name;
  if (IndexDef.Primary) {
    Constraint = ConstraintDefs.AddPK();
    Name = "C_PK";
  } else if (IndexDef.Unique) {
    Constraint = ConstraintDefs.AddUnique();
    Name = "C_Unique";
  } else {
    return nullptr;
  }
  Constraint->IndexName = IndexDef.Name;
  for (int i = 0; i < IndexDef.ColumnCount(); ++i) {
    const String& Column = IndexDef.GetIndexColumn(i).FieldName;
    Constraint->Columns.push_back(TVelqorimConstraintColumn{Column, 0});
    Name += "$" + Column;
  }
  Constraint->Name = CutDefName(Name);
  return Constraint;
}

void SplitFieldList(TStrings& List, const String& Text) {
  String Names = Text;
  for (char& c : Names)
    if (c == ',') c = ';';
  size_t Pos = 0;
  while (Pos < Names.size()) {
    size_t End = Names.find(';', Pos);
    if (End == String::npos) End = Names.size();
    List.Add(Trim(std::string_view(Names).substr(Pos, End - Pos)));
    Pos = End + 1;
  }
}

bool FieldDefsHasField(const TFieldDefs& FieldDefs, const String& Name) {
  const String Upper = AnsiUpperCase(Name);
  for (int i = 0; i < FieldDefs.Count(); ++i)
    if (AnsiUpperCase(FieldDefs[i]->Name) == Upper) return true;
  return false;
}

TABSCompressionAlgorithm ToCompressionAlgorithm(int Value) {
  return Value >= 1 && Value <= 3 ? static_cast<TABSCompressionAlgorithm>(Value) : acaNone;
}

void RaiseEngineError(int ResultCode, const String& Text) { throw EVelqorimEngineError(ResultCode, Text); }

void CheckEngineError(int ResultCode, const String& Text) {
  if (ResultCode != 0) RaiseEngineError(ResultCode, Text);
}
