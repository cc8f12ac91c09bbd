// Fields: typed views of a record's bytes, read and written through the dataset.

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "db/dsfw/DB.h"
#include "db/support/DAZLocalizer.h"
#include "platform/rtl/DateUtils.h"

// ---------------------------------------------------------------------------
// TField

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
  Destroying();
  if (FDataSet != nullptr) FDataSet->FFields.Remove(this);
  FDataSet = nullptr;
}

void TField::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) return;
  if (FDataSet != nullptr) FDataSet->CheckInactive();
  if (Value != nullptr) {
    Value->CheckInactive();
    if (!FieldName.empty() && Value->FindField(FieldName) != nullptr)
      DatabaseErrorFmt("Duplicate field name '%s'", {FieldName}, Value);
  }
  if (FDataSet != nullptr) FDataSet->FFields.Remove(this);
  FDataSet = Value;
  if (FDataSet != nullptr) FDataSet->FFields.Add(this);
}

void TField::SetSize(int Value) {
  if (FDataSet != nullptr) FDataSet->CheckInactive();
  FSize = Value;
}

int TField::GetDataSize() const { return 0; }

int TField::Index() const { return FDataSet ? FDataSet->FFields.IndexOf(this) : -1; }

bool TField::IsBlob() const {
  switch (FDataType) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob: case ftOraClob: case ftWideMemo:
      return true;
    default:
      return false;
  }
}

bool TField::GetData(void* Buffer, bool NativeFormat) {
  if (FDataSet == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", {GetDisplayName()});
  if (FValidating) {
    // OnValidate reads the value about to be written.
    if (FValueBuffer == nullptr) return false;
    if (Buffer != nullptr) std::memcpy(Buffer, FValueBuffer, static_cast<size_t>(GetDataSize()));
    return true;
  }
  return FDataSet->GetFieldData(this, Buffer, NativeFormat);
}

void TField::SetData(const void* Buffer, bool NativeFormat) {
  if (FDataSet == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", {GetDisplayName()});
  TDataSetState State = FDataSet->State();
  if (ReadOnly && FieldKind == fkData && State != dsSetKey && State != dsFilter && State != dsCalcFields &&
      State != dsNewValue && State != dsInternalCalc)
    DatabaseErrorFmt("Field '%s' cannot be modified", {GetDisplayName()}, FDataSet);
  FDataSet->SetFieldData(this, Buffer, NativeFormat);
}

bool TField::IsNull() { return !GetData(nullptr); }

bool TField::IsIndexField() { return FDataSet != nullptr && FieldKind == fkData && FDataSet->GetIsIndexField(this); }

void TField::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    Clear();
  } else if (auto* Field = dynamic_cast<TField*>(Source)) {
    if (Field->IsNull())
      Clear();
    else
      SetAsVariant(Field->GetAsVariant());
  } else {
    TPersistent::Assign(Source);
  }
}

void TField::Validate(const void* Buffer) {
  if (!OnValidate) return;
  // The value is native; fields reading through a conversion see it converted.
  FValidating = true;
  FValueBuffer = Buffer;
  try {
    OnValidate(this);
  } catch (...) {
    FValidating = false;
    FValueBuffer = nullptr;
    throw;
  }
  FValidating = false;
  FValueBuffer = nullptr;
}

void TField::Change() {
  if (OnChange) OnChange(this);
}

void TField::FocusControl() {
  if (FDataSet != nullptr) FDataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

Variant TField::GetAsVariant() { TypeError("Variant"); }

void TField::SetAsVariant(const Variant& /*Value*/) { TypeError("Variant"); }

String TField::GetAsString() { return GetAsVariant().AsString(); }

int64_t TField::AsLargeInt() {
  Variant V = GetAsVariant();
  return V.IsNull() ? 0 : V.AsInt64();
}

double TField::AsFloat() {
  Variant V = GetAsVariant();
  return V.IsNull() ? 0 : V.AsFloat();
}

bool TField::AsBoolean() {
  Variant V = GetAsVariant();
  return V.IsNull() ? false : V.AsBoolean();
}

void TField::TypeError(const char* TypeName) {
  DatabaseErrorFmt("Cannot access field '%s' as type %s", {GetDisplayName(), String(TypeName)}, FDataSet);
}

// Empty text counts as null for every type but strings.
bool TField::IsNullValue(const Variant& V) const { return V.IsNull() || (V.IsString() && V.AsString().empty()); }

namespace {

// A value converted for a field, or the field's refusal naming the value.
template <class Convert>
auto Converted(TField* Field, const Variant& Value, const char* Message, Convert Conv) -> decltype(Conv()) {
  try {
    return Conv();
  } catch (EConvertError&) {
    DatabaseErrorFmt(Message, {Value.AsString()}, Field->DataSet());
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Text

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  FDataType = ftString;
  FSize = 20;
}

Variant TStringField::GetAsVariant() {
  std::vector<char> Buffer(static_cast<size_t>(GetDataSize()) + 1, '\0');
  if (!GetData(Buffer.data())) return Variant();
  return String(Buffer.data(), strnlen(Buffer.data(), static_cast<size_t>(GetDataSize())));
}

void TStringField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull()) {
    SetData(nullptr);
    return;
  }
  String Text = Value.AsString();
  if (Text.size() > static_cast<size_t>(FSize)) {
    // Cut at a character boundary of the UTF-8 text.
    size_t Len = static_cast<size_t>(FSize);
    while (Len > 0 && (static_cast<unsigned char>(Text[Len]) & 0xC0) == 0x80) --Len;
    Text.resize(Len);
  }
  std::vector<char> Buffer(static_cast<size_t>(GetDataSize()), '\0');
  std::memcpy(Buffer.data(), Text.data(), Text.size());
  SetData(Buffer.data());
}

TGuidField::TGuidField(TComponent* AOwner) : TStringField(AOwner) {
  FDataType = ftGuid;
  FSize = 38;
}

TWideStringField::TWideStringField(TComponent* AOwner) : TField(AOwner) {
  FDataType = ftWideString;
  FSize = 20;
}

Variant TWideStringField::GetAsVariant() {
  std::vector<char16_t> Buffer(static_cast<size_t>(FSize) + 2, u'\0');
  if (!GetData(Buffer.data())) return Variant();
  size_t Len = 0;
  while (Len <= static_cast<size_t>(FSize) && Buffer[Len] != u'\0') ++Len;
  return UTF16ToUTF8(std::u16string_view(Buffer.data(), std::min(Len, static_cast<size_t>(FSize))));
}

void TWideStringField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull()) {
    SetData(nullptr);
    return;
  }
  WideString Text = UTF8ToUTF16(Value.AsString());
  size_t Len = std::min(Text.size(), static_cast<size_t>(FSize));
  // Never split a surrogate pair.
  if (Len > 0 && Len < Text.size() && Text[Len - 1] >= 0xD800 && Text[Len - 1] <= 0xDBFF) --Len;
  std::vector<char16_t> Buffer(static_cast<size_t>(FSize) + 1, u'\0');
  std::copy_n(Text.begin(), Len, Buffer.begin());
  SetData(Buffer.data());
}

// ---------------------------------------------------------------------------
// Numbers

TIntegerField::TIntegerField(TComponent* AOwner) : TNumericField(AOwner) { FDataType = ftInteger; }
TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner) { FDataType = ftSmallint; }
TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner) { FDataType = ftWord; }
TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner) { FDataType = ftAutoInc; }
TLargeintField::TLargeintField(TComponent* AOwner) : TIntegerField(AOwner) { FDataType = ftLargeint; }

int TIntegerField::GetDataSize() const {
  switch (FDataType) {
    case ftSmallint:
    case ftWord: return 2;
    case ftLargeint: return 8;
    default: return 4;
  }
}

Variant TIntegerField::GetAsVariant() {
  uint8_t Buffer[8] = {};
  if (!GetData(Buffer)) return Variant();
  switch (FDataType) {
    case ftSmallint: { int16_t V; std::memcpy(&V, Buffer, 2); return int64_t{V}; }
    case ftWord: { uint16_t V; std::memcpy(&V, Buffer, 2); return int64_t{V}; }
    case ftLargeint: { int64_t V; std::memcpy(&V, Buffer, 8); return V; }
    default: { int32_t V; std::memcpy(&V, Buffer, 4); return int64_t{V}; }
  }
}

void TIntegerField::SetAsVariant(const Variant& Value) {
  if (IsNullValue(Value)) {
    SetData(nullptr);
    return;
  }
  int64_t V = Converted(this, Value, "'%s' is not a valid integer value", [&] { return Value.AsInt64(); });
  int64_t Lo, Hi;
  switch (FDataType) {
    case ftSmallint: Lo = INT16_MIN; Hi = INT16_MAX; break;
    case ftWord: Lo = 0; Hi = UINT16_MAX; break;
    case ftLargeint: Lo = INT64_MIN; Hi = INT64_MAX; break;
    default: Lo = INT32_MIN; Hi = INT32_MAX; break;
  }
  if (MinValue != 0 || MaxValue != 0) {
    Lo = std::max(Lo, MinValue);
    Hi = std::min(Hi, MaxValue);
  }
  if (V < Lo || V > Hi)
    DatabaseErrorFmt("%d is not a valid value for field '%s'. The allowed range is %d to %d",
                     {V, GetDisplayName(), Lo, Hi}, FDataSet);
  uint8_t Buffer[8] = {};
  switch (GetDataSize()) {
    case 2: { int16_t N = static_cast<int16_t>(static_cast<uint16_t>(V)); std::memcpy(Buffer, &N, 2); break; }
    case 8: std::memcpy(Buffer, &V, 8); break;
    default: { int32_t N = static_cast<int32_t>(V); std::memcpy(Buffer, &N, 4); break; }
  }
  SetData(Buffer);
}

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) { FDataType = ftFloat; }

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner) {
  FDataType = ftCurrency;
  Currency = true;
}

Variant TFloatField::GetAsVariant() {
  double V;
  if (!GetData(&V)) return Variant();
  return V;
}

void TFloatField::SetAsVariant(const Variant& Value) {
  if (IsNullValue(Value)) {
    SetData(nullptr);
    return;
  }
  double V = Converted(this, Value, "'%s' is not a valid floating point value", [&] { return Value.AsFloat(); });
  SetData(&V);
}

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) { FDataType = ftBoolean; }

Variant TBooleanField::GetAsVariant() {
  uint16_t V;
  if (!GetData(&V)) return Variant();
  return V != 0;
}

void TBooleanField::SetAsVariant(const Variant& Value) {
  if (IsNullValue(Value)) {
    SetData(nullptr);
    return;
  }
  uint16_t V = Converted(this, Value, "'%s' is not a valid boolean value", [&] { return Value.AsBoolean(); }) ? 1 : 0;
  SetData(&V);
}

// ---------------------------------------------------------------------------
// Dates and times

TDateTimeField::TDateTimeField(TComponent* AOwner) : TField(AOwner) { FDataType = ftDateTime; }
TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner) { FDataType = ftDate; }
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner) { FDataType = ftTime; }

int TDateTimeField::GetDataSize() const { return FDataType == ftDateTime ? 8 : 4; }

Variant TDateTimeField::GetAsVariant() {
  double V;
  if (!GetData(&V, false)) return Variant();
  return V;
}

// A date, time or date-time value from a variant: numbers as they are, text
// in the SQL forms (2024-02-29, 13:45:07, both together) or as the user's
// settings print dates and times.
static TDateTime DateTimeOfValue(TField* Field, const Variant& Value) {
  if (!Value.IsString())
    return Converted(Field, Value, "'%s' is not a valid date and time", [&] { return Value.AsFloat(); });
  const String Text = Trim(Value.AsString());
  const TFormatSettings& User = FormatSettings();
  TABSFormatSettings Settings;
  Settings.DateSeparator = User.DateSeparator;
  Settings.TimeSeparator = User.TimeSeparator;
  Settings.ShortDateFormat = User.ShortDateFormat;
  Settings.TimeAMString = User.TimeAMString;
  Settings.TimePMString = User.TimePMString;
  TDateTime V = 0;
  bool Ok = false;
  try {
    switch (Field->DataType()) {
      case ftDate:
        Ok = TryStrToSQLDate(Text, V) || ABSTryStrToDate(Text, V, Settings);
        break;
      case ftTime:
        Ok = TryStrToSQLTime(Text, V) || ABSTryStrToTime(Text, V, Settings);
        break;
      default:
        Ok = TryStrToSQLDateTime(Text, V) || TryStrToSQLDate(Text, V) || ABSTryStrToDateTime(Text, V, Settings);
        break;
    }
  } catch (EConvertError&) {
    Ok = false;  // the right shape, but no such day or time
  }
  if (!Ok) DatabaseErrorFmt("'%s' is not a valid date and time", {Text}, Field->DataSet());
  return V;
}

void TDateTimeField::SetAsVariant(const Variant& Value) {
  if (IsNullValue(Value)) {
    SetData(nullptr);
    return;
  }
  double V = DateTimeOfValue(this, Value);
  SetData(&V, false);
}

String TDateTimeField::GetAsString() {
  Variant V = GetAsVariant();
  if (V.IsNull()) return String();
  switch (FDataType) {
    case ftDate: return DateToStr(V.AsFloat());
    case ftTime: return TimeToStr(V.AsFloat());
    default: return DateTimeToStr(V.AsFloat());
  }
}

TSQLTimeStampField::TSQLTimeStampField(TComponent* AOwner) : TField(AOwner) { FDataType = ftTimeStamp; }

Variant TSQLTimeStampField::GetAsVariant() {
  TSQLTimeStamp V;
  if (!GetData(&V, false)) return Variant();
  return SQLTimeStampToDateTime(V);
}

void TSQLTimeStampField::SetAsVariant(const Variant& Value) {
  if (IsNullValue(Value)) {
    SetData(nullptr);
    return;
  }
  TSQLTimeStamp V = DateTimeToSQLTimeStamp(DateTimeOfValue(this, Value));
  SetData(&V, false);
}

String TSQLTimeStampField::GetAsString() {
  Variant V = GetAsVariant();
  return V.IsNull() ? String() : DateTimeToStr(V.AsFloat());
}

// ---------------------------------------------------------------------------
// Bytes

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner) {
  FDataType = ftBytes;
  FSize = 16;
}

TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner) {
  FDataType = ftVarBytes;
  FSize = 16;
}

Variant TBinaryField::GetAsVariant() {
  std::vector<uint8_t> Buffer(static_cast<size_t>(GetDataSize()) + 2, 0);
  if (!GetData(Buffer.data())) return Variant();
  if (FDataType == ftVarBytes) {
    uint16_t Len;
    std::memcpy(&Len, Buffer.data(), 2);
    Len = static_cast<uint16_t>(std::min<int>(Len, FSize));
    return Variant::TBytes(Buffer.begin() + 2, Buffer.begin() + 2 + Len);
  }
  return Variant::TBytes(Buffer.begin(), Buffer.begin() + FSize);
}

void TBinaryField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull()) {
    SetData(nullptr);
    return;
  }
  Variant::TBytes Bytes = Value.AsBytes();
  if (Bytes.size() > static_cast<size_t>(FSize)) Bytes.resize(static_cast<size_t>(FSize));
  std::vector<uint8_t> Buffer(static_cast<size_t>(GetDataSize()), 0);
  if (FDataType == ftVarBytes) {
    auto Len = static_cast<uint16_t>(Bytes.size());
    std::memcpy(Buffer.data(), &Len, 2);
    std::copy(Bytes.begin(), Bytes.end(), Buffer.begin() + 2);
  } else {
    std::copy(Bytes.begin(), Bytes.end(), Buffer.begin());
  }
  SetData(Buffer.data());
}

// ---------------------------------------------------------------------------
// BLOBs

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner) { FDataType = ftBlob; }
TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner) { FDataType = ftMemo; }
TWideMemoField::TWideMemoField(TComponent* AOwner) : TBlobField(AOwner) { FDataType = ftWideMemo; }
TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner) { FDataType = ftGraphic; }

namespace {

std::unique_ptr<TStream> OpenBlob(TField* Field, TBlobStreamMode Mode) {
  if (Field->DataSet() == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", {Field->GetDisplayName()});
  std::unique_ptr<TStream> Stream(Field->DataSet()->CreateBlobStream(Field, Mode));
  if (!Stream) DatabaseErrorFmt("Cannot open BLOB field '%s'", {Field->GetDisplayName()}, Field->DataSet());
  return Stream;
}

}  // namespace

Variant TBlobField::GetAsVariant() {
  if (IsNull()) return Variant();
  std::unique_ptr<TStream> Stream = OpenBlob(this, bmRead);
  Variant::TBytes Bytes(static_cast<size_t>(Stream->Size()));
  Stream->Seek(0, soBeginning);
  if (!Bytes.empty()) Stream->ReadBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  if (FDataType == ftWideMemo) {
    // Wide memos hold 16-bit units.
    std::u16string Text(Bytes.size() / 2, u'\0');
    std::memcpy(Text.data(), Bytes.data(), Text.size() * 2);
    return UTF16ToUTF8(Text);
  }
  if (FDataType == ftMemo || FDataType == ftFmtMemo) return String(Bytes.begin(), Bytes.end());
  return Bytes;
}

void TBlobField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull()) {
    SetData(nullptr);
    return;
  }
  Variant::TBytes Bytes;
  if (FDataType == ftWideMemo) {
    WideString Text = UTF8ToUTF16(Value.AsString());
    Bytes.resize(Text.size() * 2);
    std::memcpy(Bytes.data(), Text.data(), Bytes.size());
  } else {
    Bytes = Value.AsBytes();
  }
  std::unique_ptr<TStream> Stream = OpenBlob(this, bmWrite);
  if (!Bytes.empty()) Stream->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

String TBlobField::GetAsString() {
  Variant V = GetAsVariant();
  return V.AsString();
}

void TBlobField::LoadFromStream(TStream& Stream) {
  std::unique_ptr<TStream> Blob = OpenBlob(this, bmWrite);
  Stream.Seek(0, soBeginning);
  Blob->CopyFrom(Stream, 0);
}

void TBlobField::SaveToStream(TStream& Stream) {
  std::unique_ptr<TStream> Blob = OpenBlob(this, bmRead);
  Blob->Seek(0, soBeginning);
  if (Blob->Size() > 0) Stream.CopyFrom(*Blob, 0);
}

int64_t TBlobField::BlobSize() {
  if (IsNull()) return 0;
  return OpenBlob(this, bmRead)->Size();
}

// ---------------------------------------------------------------------------
// TFields

TField* TFields::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) DatabaseError("Field index out of range", FDataSet);
  return FList[static_cast<size_t>(Index)];
}

TField* TFields::FindField(const String& Name) const {
  for (TField* Field : FList)
    if (AnsiSameText(Field->FieldName, Name)) return Field;
  return nullptr;
}

TField* TFields::FieldByName(const String& Name) const {
  TField* Field = FindField(Name);
  if (Field == nullptr) DatabaseErrorFmt("Field '%s' not found", {Name}, FDataSet);
  return Field;
}

TField* TFields::FieldByNumber(int FieldNo) const {
  for (TField* Field : FList)
    if (Field->FieldNo() == FieldNo) return Field;
  return nullptr;
}

int TFields::IndexOf(const TField* Field) const {
  auto It = std::find(FList.begin(), FList.end(), Field);
  return It == FList.end() ? -1 : static_cast<int>(It - FList.begin());
}

void TFields::Add(TField* Field) { FList.push_back(Field); }

void TFields::Remove(TField* Field) { std::erase(FList, Field); }
