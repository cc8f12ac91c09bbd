#include <algorithm>
#include <cstring>

#include "db/storage/VelqorimBase.h"
#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"

TVelqorimDefaultValueExprFactory DefaultValueExprFactory;

namespace {
constexpr uint8_t VarBytesTagLongGap = 255;  // the length stands in the data area's last four bytes
constexpr int32_t VarBytesShortGaps = 253;   // gaps 0 .. 253 go into the tag as gap + 1
}  // namespace

int32_t GetVarBytesLength(const uint8_t* Slot, int32_t FieldSize) {
  const uint8_t tag = Slot[FieldSize];
  if (tag == VarBytesTagLongGap && FieldSize >= 4) {
    uint32_t length;
    std::memcpy(&length, Slot + FieldSize - 4, 4);
    return static_cast<int32_t>(std::min<uint32_t>(length, static_cast<uint32_t>(FieldSize - 4)));
  }
  if (tag != 0 && tag != VarBytesTagLongGap) return std::max(0, FieldSize - (tag - 1));
  int32_t length = FieldSize;
  while (length > 0 && Slot[length - 1] == 0) --length;
  return length;
}

void SetVarBytesValue(uint8_t* Slot, int32_t FieldSize, const uint8_t* Data, int32_t Length) {
  Length = std::clamp(Length, 0, FieldSize);
  std::memset(Slot, 0, static_cast<size_t>(FieldSize) + 1);
  if (Length > 0) std::memcpy(Slot, Data, static_cast<size_t>(Length));
  if (Length == 0 || Data[Length - 1] != 0) return;  // the last non-zero byte tells
  const int32_t gap = FieldSize - Length;
  if (gap <= VarBytesShortGaps) {
    Slot[FieldSize] = static_cast<uint8_t>(gap + 1);
  } else {
    const uint32_t length = static_cast<uint32_t>(Length);
    std::memcpy(Slot + FieldSize - 4, &length, 4);
    Slot[FieldSize] = VarBytesTagLongGap;
  }
}

bool SameDefName(const String& A, const String& B) {
  // Plain ASCII names (nearly all) compare without building upper-case copies.
  bool ascii = true;
  for (unsigned char c : A) ascii = ascii && c < 0x80;
  for (unsigned char c : B) ascii = ascii && c < 0x80;
  if (ascii) {
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i) {
      char a = A[i], b = B[i];
      if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
      if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
      if (a != b) return false;
    }
    return true;
  }
  return AnsiUpperCase(A) == AnsiUpperCase(B);
}

String CutDefName(const String& Name) {
  AnsiString a = UTF8ToAnsi(Name);
  if (a.size() <= 255) return Name;
  a.resize(255);
  return AnsiToUTF8(a);
}

void WriteShortString(TStream& Stream, const String& Value, int LengthCode, int BytesCode) {
  AnsiString a = UTF8ToAnsi(Value);
  if (a.size() > 255) a.resize(255);
  const uint8_t len = static_cast<uint8_t>(a.size());
  WriteToStreamChecked(&len, 1, Stream, LengthCode);
  if (len > 0) WriteToStreamChecked(a.data(), len, Stream, BytesCode);
}

String ReadShortString(TStream& Stream, int LengthCode, int BytesCode) {
  uint8_t len = 0;
  ReadFromStreamChecked(&len, 1, Stream, LengthCode);
  AnsiString a(len, '\0');
  if (len > 0) ReadFromStreamChecked(a.data(), len, Stream, BytesCode);
  return AnsiToUTF8(a);
}

namespace {

template <class T>
void WriteValue(TStream& Stream, T Value, int Code) {
  WriteToStreamChecked(&Value, sizeof(T), Stream, Code);
}
template <class T>
T ReadValue(TStream& Stream, int Code) {
  T v{};
  ReadFromStreamChecked(&v, sizeof(T), Stream, Code);
  return v;
}
bool ReadBool(TStream& Stream, int Code) { return ReadValue<uint8_t>(Stream, Code) != 0; }
void WriteBool(TStream& Stream, bool Value, int Code) { WriteValue<uint8_t>(Stream, Value ? 1 : 0, Code); }

// A name behind a count that includes the stored length byte (constraints).
template <class TCount>
void WriteCountedName(TStream& Stream, const String& Name, int CountCode, int BytesCode) {
  AnsiString a = UTF8ToAnsi(Name);
  if (a.size() > 255) a.resize(255);
  const TCount k = static_cast<TCount>(a.size() + 1);
  WriteValue<TCount>(Stream, k, CountCode);
  AnsiString bytes(1, static_cast<char>(a.size()));
  bytes += a;
  WriteToStreamChecked(bytes.data(), k, Stream, BytesCode);
}
template <class TCount>
String ReadCountedName(TStream& Stream, int CountCode, int BytesCode) {
  const int64_t k = ReadValue<TCount>(Stream, CountCode);
  // The count covers the length byte; a count that disagrees with it is damage.
  if (k < 1 || k > 256) throw EABSException(BytesCode, "Invalid name length %d", {static_cast<int>(k)});
  AnsiString bytes(static_cast<size_t>(k), '\0');
  ReadFromStreamChecked(bytes.data(), k, Stream, BytesCode);
  if (static_cast<uint8_t>(bytes[0]) != k - 1)
    throw EABSException(BytesCode, "Invalid name length %d", {static_cast<int>(k)});
  return AnsiToUTF8(bytes.substr(1));
}

}  // namespace

// ---------------------------------------------------------------------------

void TVelqorimMetaObjectDef::Assign(const TVelqorimMetaObjectDef& Source) {
  Name = Source.Name;
  ObjectID = Source.ObjectID;
  SchemaName = Source.SchemaName;
  SchemaID = Source.SchemaID;
}

void TVelqorimMetaObjectDef::LoadFromStream(TStream& Stream) {
  Name = ReadShortString(Stream, 10166, 10167);
  ObjectID = ReadValue<int32_t>(Stream, 10169);
}

void TVelqorimMetaObjectDef::SaveToStream(TStream& Stream) const {
  WriteShortString(Stream, Name, 10164, 10165);
  WriteValue<int32_t>(Stream, ObjectID, 10168);
}

// ---------------------------------------------------------------------------

TVelqorimFieldDef::TVelqorimFieldDef() = default;
TVelqorimFieldDef::~TVelqorimFieldDef() = default;

void TVelqorimFieldDef::SetFieldDefDataType(TABSAdvancedFieldType Value, int Size) {
  const TABSBaseFieldType base = AdvancedFieldTypeToBaseFieldType(Value);
  if (base == bftUnknown)
    throw EABSException(30007, "Unsupported data type '%s'", {AdvancedFieldTypeToSQLName(Value)});
  AdvancedFieldType = Value;
  BaseFieldType = base;
  FieldSize = Size;
  UpdateDataSizes();
}

void TVelqorimFieldDef::SetFieldDefDataType(TABSBaseFieldType Value, int Size) {
  const TABSAdvancedFieldType adv = BaseFieldTypeToAdvancedFieldType(Value);
  if (adv == aftUnknown) throw EABSException(30008, "Unsupported data type '%s'", {BaseFieldTypeToSQLName(Value)});
  BaseFieldType = Value;
  AdvancedFieldType = adv;
  FieldSize = Size;
  UpdateDataSizes();
}

void TVelqorimFieldDef::UpdateDataSizes() {
  MemoryDataSize = GetBaseFieldTypeDataSize(BaseFieldType, FieldSize);
  DiskDataSize = IsBlobBaseFieldType(BaseFieldType) ? 6 : MemoryDataSize;
}

void TVelqorimFieldDef::UpdateDefaultValueExpr() {
  DefaultValueExpr.reset();
  if (DefaultValueExprFactory && !DefaultValue.IsNull()) DefaultValueExpr = DefaultValueExprFactory(DefaultValue);
}

void TVelqorimFieldDef::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimMetaObjectDef::Assign(Source);
  const auto* s = dynamic_cast<const TVelqorimFieldDef*>(&Source);
  if (s == nullptr) return;
  BaseFieldType = s->BaseFieldType;
  AdvancedFieldType = s->AdvancedFieldType;
  FieldSize = s->FieldSize;
  DiskDataSize = s->DiskDataSize;
  MemoryDataSize = s->MemoryDataSize;
  DiskOffset = s->DiskOffset;
  MemoryOffset = s->MemoryOffset;
  DefaultValue.Assign(s->DefaultValue);
  UpdateDefaultValueExpr();
  BLOBCompressionAlgorithm = s->BLOBCompressionAlgorithm;
  BLOBCompressionMode = s->BLOBCompressionMode;
  BLOBBlockSize = s->BLOBBlockSize;
  AutoincIncrement = s->AutoincIncrement;
  AutoincInitialValue = s->AutoincInitialValue;
  AutoincMinValue = s->AutoincMinValue;
  AutoincMaxValue = s->AutoincMaxValue;
  AutoincCycled = s->AutoincCycled;
}

void TVelqorimFieldDef::LoadFromStream(TStream& Stream) {
  TVelqorimMetaObjectDef::LoadFromStream(Stream);
  const uint8_t base = ReadValue<uint8_t>(Stream, 10187);
  const uint8_t adv = ReadValue<uint8_t>(Stream, 10188);
  if (base >= ABSBaseFieldTypeCount || adv >= ABSAdvancedFieldTypeCount)
    throw EABSException(10187, "Invalid field type %d / %d", {int{base}, int{adv}});
  BaseFieldType = static_cast<TABSBaseFieldType>(base);
  AdvancedFieldType = static_cast<TABSAdvancedFieldType>(adv);
  FieldSize = ReadValue<int32_t>(Stream, 10189);
  if (IsBlobBaseFieldType(BaseFieldType)) {
    const uint8_t alg = ReadValue<uint8_t>(Stream, 10192);
    if (alg > acaPPM) throw EABSException(10192, "Invalid compression algorithm %d", {int{alg}});
    BLOBCompressionAlgorithm = static_cast<TABSCompressionAlgorithm>(alg);
    BLOBCompressionMode = ReadValue<uint8_t>(Stream, 10193);
    BLOBBlockSize = ReadValue<int32_t>(Stream, 10194);
  }
  AutoincIncrement = ReadValue<int64_t>(Stream, 30407);
  AutoincInitialValue = ReadValue<int64_t>(Stream, 30408);
  AutoincMinValue = ReadValue<int64_t>(Stream, 30409);
  AutoincMaxValue = ReadValue<int64_t>(Stream, 30410);
  AutoincCycled = ReadBool(Stream, 30411);
  DefaultValue.Clear(BaseFieldType);
  DefaultValue.LoadFromStream(Stream);
  UpdateDefaultValueExpr();
  // A size outside what a record can hold is damage (30050 / integer overflow).
  UpdateDataSizes();
}

void TVelqorimFieldDef::SaveToStream(TStream& Stream) const {
  TVelqorimMetaObjectDef::SaveToStream(Stream);
  WriteValue<uint8_t>(Stream, BaseFieldType, 10170);
  WriteValue<uint8_t>(Stream, AdvancedFieldType, 10171);
  WriteValue<int32_t>(Stream, FieldSize, 10172);
  if (IsBlobBaseFieldType(BaseFieldType)) {
    WriteValue<uint8_t>(Stream, BLOBCompressionAlgorithm, 10175);
    WriteValue<uint8_t>(Stream, BLOBCompressionMode, 10176);
    WriteValue<int32_t>(Stream, BLOBBlockSize, 10177);
  }
  WriteValue<int64_t>(Stream, AutoincIncrement, 30412);
  WriteValue<int64_t>(Stream, AutoincInitialValue, 30413);
  WriteValue<int64_t>(Stream, AutoincMinValue, 30414);
  WriteValue<int64_t>(Stream, AutoincMaxValue, 30415);
  WriteBool(Stream, AutoincCycled, 30416);
  DefaultValue.SaveToStream(Stream);
}

// ---------------------------------------------------------------------------

TVelqorimIndexDef::TVelqorimIndexDef() {
  ObjectID = 0;
  SchemaID = 0;
}

void TVelqorimIndexDef::SetColumnCount(int Value) { FColumns.resize(std::max(Value, 0)); }

void TVelqorimIndexDef::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimMetaObjectDef::Assign(Source);
  const auto* s = dynamic_cast<const TVelqorimIndexDef*>(&Source);
  if (s == nullptr || s == this) return;
  IndexType = s->IndexType;
  Unique = s->Unique;
  Primary = s->Primary;
  RootPageNo = s->RootPageNo;
  Temporary = s->Temporary;
  SessionID = s->SessionID;
  TableState = s->TableState;
  NeedRebuild = s->NeedRebuild;
  FColumns = s->FColumns;
}

void TVelqorimIndexDef::AssignByNames(const TStrings& FieldNames, const TStrings& AscDescList,
                                      const TStrings& CaseSensitivityList) {
  if (AscDescList.Count() != FieldNames.Count())
    throw EABSException(10278, "Error - different list lengths. L1 = %d, L2 = %d",
                        {FieldNames.Count(), AscDescList.Count()});
  if (CaseSensitivityList.Count() != FieldNames.Count())
    throw EABSException(10279, "Error - different list lengths. L1 = %d, L2 = %d",
                        {FieldNames.Count(), CaseSensitivityList.Count()});
  SetColumnCount(FieldNames.Count());
  for (int i = 0; i < FieldNames.Count(); ++i) {
    FColumns[i].FieldName = FieldNames[i];
    FColumns[i].Descending = AscDescList[i] == "DESC";
    FColumns[i].CaseInsensitive = CaseSensitivityList[i] == "NO_CASE";
    FColumns[i].MaxIndexedSize = 20;
  }
}

void TVelqorimIndexDef::LoadFromStream(TStream& Stream) {
  TVelqorimMetaObjectDef::LoadFromStream(Stream);
  const uint8_t type = ReadValue<uint8_t>(Stream, 10349);
  if (type > itAnotherOne) throw EABSException(10349, "Invalid index type %d", {int{type}});
  IndexType = static_cast<TVelqorimIndexType>(type);
  Unique = ReadBool(Stream, 10350);
  Primary = ReadBool(Stream, 10351);
  const int32_t count = ReadValue<int32_t>(Stream, 10352);
  // Each column takes at least 7 bytes; refuse counts the stream cannot hold.
  if (count < 0 || count > (Stream.Size() - Stream.Position()) / 7)
    throw EABSException(10352, "Invalid index column count %d", {count});
  RootPageNo = ReadValue<int32_t>(Stream, 10353);
  std::vector<TVelqorimIndexColumn> columns(count);
  for (auto& c : columns) {
    c.FieldName = ReadShortString(Stream, 10358, 10359);
    c.Descending = ReadBool(Stream, 10360);
    c.CaseInsensitive = ReadBool(Stream, 10361);
    c.MaxIndexedSize = ReadValue<int32_t>(Stream, 20168);
  }
  FColumns = std::move(columns);
  Temporary = false;
}

void TVelqorimIndexDef::SaveToStream(TStream& Stream) const {
  TVelqorimMetaObjectDef::SaveToStream(Stream);
  WriteValue<uint8_t>(Stream, IndexType, 10344);
  WriteBool(Stream, Unique, 10345);
  WriteBool(Stream, Primary, 10346);
  WriteValue<int32_t>(Stream, ColumnCount(), 10347);
  WriteValue<int32_t>(Stream, RootPageNo, 10348);
  for (const auto& c : FColumns) {
    WriteShortString(Stream, c.FieldName, 10354, 10355);
    WriteBool(Stream, c.Descending, 10356);
    WriteBool(Stream, c.CaseInsensitive, 10357);
    WriteValue<int32_t>(Stream, c.MaxIndexedSize, 20169);
  }
}

// ---------------------------------------------------------------------------

void TVelqorimConstraintDef::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimMetaObjectDef::Assign(Source);
  if (const auto* s = dynamic_cast<const TVelqorimConstraintDef*>(&Source)) ConstraintType = s->ConstraintType;
}

namespace {
// Read codes: three object ids, then count and bytes of the three names; write likewise.
const int NotNullReadCodes[9] = {10249, 10250, 10251, 10252, 10253, 10254, 10255, 10256, 10257};
const int NotNullWriteCodes[9] = {10240, 10241, 10242, 10243, 10244, 10245, 10246, 10247, 10248};
const int CheckReadCodes[9] = {10230, 10231, 10232, 10233, 10234, 10235, 10236, 10237, 10238};
const int CheckWriteCodes[9] = {10227, 10228, 10229, 10221, 10222, 10223, 10224, 10225, 10226};
}  // namespace

TVelqorimConstraintDefNotNull::TVelqorimConstraintDefNotNull() {
  ObjectID = 0;
  SchemaID = 0;
  ConstraintType = ctNotNull;
}

void TVelqorimConstraintDefNotNull::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimConstraintDef::Assign(Source);
  const auto* s = dynamic_cast<const TVelqorimConstraintDefNotNull*>(&Source);
  if (s == nullptr) return;
  TableSchemaName = s->TableSchemaName;
  TableSchemaObjectID = s->TableSchemaObjectID;
  TableName = s->TableName;
  TableObjectID = s->TableObjectID;
  ColumnName = s->ColumnName;
  ColumnObjectID = s->ColumnObjectID;
}

void TVelqorimConstraintDefNotNull::SetNames(const String& AColumnName, const String& ATableName,
                                             const String& ASchemaName) {
  ColumnName = CutDefName(AColumnName);
  TableName = CutDefName(ATableName);
  SchemaName = CutDefName(ASchemaName);
}

void TVelqorimConstraintDefNotNull::LoadColumnRef(TStream& Stream, const Codes& C) {
  TVelqorimMetaObjectDef::LoadFromStream(Stream);
  TableSchemaObjectID = ReadValue<int32_t>(Stream, C.Read[0]);
  TableObjectID = ReadValue<int32_t>(Stream, C.Read[1]);
  ColumnObjectID = ReadValue<int32_t>(Stream, C.Read[2]);
  TableSchemaName = ReadCountedName<uint8_t>(Stream, C.Read[3], C.Read[4]);
  TableName = ReadCountedName<uint8_t>(Stream, C.Read[5], C.Read[6]);
  ColumnName = ReadCountedName<uint8_t>(Stream, C.Read[7], C.Read[8]);
}

void TVelqorimConstraintDefNotNull::SaveColumnRef(TStream& Stream, const Codes& C) const {
  TVelqorimMetaObjectDef::SaveToStream(Stream);
  WriteValue<int32_t>(Stream, TableSchemaObjectID, C.Write[0]);
  WriteValue<int32_t>(Stream, TableObjectID, C.Write[1]);
  WriteValue<int32_t>(Stream, ColumnObjectID, C.Write[2]);
  WriteCountedName<uint8_t>(Stream, TableSchemaName, C.Write[3], C.Write[4]);
  WriteCountedName<uint8_t>(Stream, TableName, C.Write[5], C.Write[6]);
  WriteCountedName<uint8_t>(Stream, ColumnName, C.Write[7], C.Write[8]);
}

void TVelqorimConstraintDefNotNull::LoadFromStream(TStream& Stream) {
  Codes c;
  std::copy_n(NotNullReadCodes, 9, c.Read);
  std::copy_n(NotNullWriteCodes, 9, c.Write);
  LoadColumnRef(Stream, c);
}

void TVelqorimConstraintDefNotNull::SaveToStream(TStream& Stream) const {
  Codes c;
  std::copy_n(NotNullReadCodes, 9, c.Read);
  std::copy_n(NotNullWriteCodes, 9, c.Write);
  SaveColumnRef(Stream, c);
}

TVelqorimConstraintDefCheck::TVelqorimConstraintDefCheck() { ConstraintType = ctCheck; }

void TVelqorimConstraintDefCheck::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimConstraintDefNotNull::Assign(Source);
  const auto* s = dynamic_cast<const TVelqorimConstraintDefCheck*>(&Source);
  if (s == nullptr) return;
  MinValue.Assign(s->MinValue);
  MaxValue.Assign(s->MaxValue);
}

void TVelqorimConstraintDefCheck::LoadFromStream(TStream& Stream) {
  Codes c;
  std::copy_n(CheckReadCodes, 9, c.Read);
  std::copy_n(CheckWriteCodes, 9, c.Write);
  LoadColumnRef(Stream, c);
  MinValue.LoadFromStream(Stream);
  MaxValue.LoadFromStream(Stream);
}

void TVelqorimConstraintDefCheck::SaveToStream(TStream& Stream) const {
  Codes c;
  std::copy_n(CheckReadCodes, 9, c.Read);
  std::copy_n(CheckWriteCodes, 9, c.Write);
  SaveColumnRef(Stream, c);
  MinValue.SaveToStream(Stream);
  MaxValue.SaveToStream(Stream);
}

TVelqorimConstraintDefUnique::TVelqorimConstraintDefUnique() { ConstraintType = ctUnique; }
TVelqorimConstraintDefPrimary::TVelqorimConstraintDefPrimary() { ConstraintType = ctPK; }

void TVelqorimConstraintDefUnique::Assign(const TVelqorimMetaObjectDef& Source) {
  TVelqorimConstraintDef::Assign(Source);
  const auto* s = dynamic_cast<const TVelqorimConstraintDefUnique*>(&Source);
  if (s == nullptr) return;
  TableSchemaName = s->TableSchemaName;
  TableSchemaObjectID = s->TableSchemaObjectID;
  TableName = s->TableName;
  TableObjectID = s->TableObjectID;
  IndexName = s->IndexName;
  IndexObjectID = s->IndexObjectID;
  Columns = s->Columns;
}

void TVelqorimConstraintDefUnique::LoadFromStream(TStream& Stream) {
  TVelqorimMetaObjectDef::LoadFromStream(Stream);
  TableSchemaObjectID = ReadValue<int32_t>(Stream, 30303);
  TableObjectID = ReadValue<int32_t>(Stream, 30304);
  IndexObjectID = ReadValue<int32_t>(Stream, 30317);
  TableSchemaName = ReadCountedName<int32_t>(Stream, 30305, 30306);
  TableName = ReadCountedName<int32_t>(Stream, 30307, 30308);
  IndexName = ReadCountedName<int32_t>(Stream, 30321, 30322);
  const int32_t n = ReadValue<int32_t>(Stream, 30309);
  // Each column takes at least 9 bytes.
  if (n < 0 || n > (Stream.Size() - Stream.Position()) / 9)
    throw EABSException(30309, "Invalid constraint column count %d", {n});
  std::vector<TVelqorimConstraintColumn> columns(n);
  for (auto& c : columns) {
    c.ColumnObjectID = ReadValue<int32_t>(Stream, 30310);
    c.ColumnName = ReadCountedName<int32_t>(Stream, 30311, 30312);
  }
  Columns = std::move(columns);
}

void TVelqorimConstraintDefUnique::SaveToStream(TStream& Stream) const {
  TVelqorimMetaObjectDef::SaveToStream(Stream);
  WriteValue<int32_t>(Stream, TableSchemaObjectID, 30313);
  WriteValue<int32_t>(Stream, TableObjectID, 30314);
  WriteValue<int32_t>(Stream, IndexObjectID, 30318);
  WriteCountedName<int32_t>(Stream, TableSchemaName, 30315, 30316);
  WriteCountedName<int32_t>(Stream, TableName, 30317, 30318);
  WriteCountedName<int32_t>(Stream, IndexName, 30323, 30324);
  WriteValue<int32_t>(Stream, static_cast<int32_t>(Columns.size()), 30319);
  for (const auto& c : Columns) {
    WriteValue<int32_t>(Stream, c.ColumnObjectID, 30320);
    WriteCountedName<int32_t>(Stream, c.ColumnName, 30321, 30322);
  }
}

// ---------------------------------------------------------------------------

int TVelqorimMetaObjectDefs::AddDef(TVelqorimMetaObjectDef* Def) {
  FDefs.emplace_back(Def);
  return Count() - 1;
}

TVelqorimMetaObjectDef* TVelqorimMetaObjectDefs::InternalAddCreated() {
  throw EABSException(30339, "The method '%s' not overrided in class '%s'",
                      {String("InternalAddCreated"), ClassName()});
}

void TVelqorimMetaObjectDefs::LoadDefs(TStream& Stream, int CountCode) {
  Clear();
  const int32_t count = ReadValue<int32_t>(Stream, 10159);
  (void)CountCode;
  if (count < 0 || count > Stream.Size() - Stream.Position())
    throw EABSException(10159, "Invalid definition count %d", {count});
  for (int i = 0; i < count; ++i) {
    TVelqorimMetaObjectDef* def = InternalAddCreated();
    try {
      def->LoadFromStream(Stream);
    } catch (...) {
      // A definition that was not read completely does not stay.
      FDefs.pop_back();
      throw;
    }
  }
  LoadedItemCount = count;
}

void TVelqorimMetaObjectDefs::SaveDefs(TStream& Stream, int CountCode,
                                       const std::function<bool(const TVelqorimMetaObjectDef&)>& Stored) const {
  int32_t count = 0;
  for (const auto& d : FDefs) count += Stored(*d) ? 1 : 0;
  WriteValue<int32_t>(Stream, count, CountCode);
  for (const auto& d : FDefs)
    if (Stored(*d)) d->SaveToStream(Stream);
}

void TVelqorimMetaObjectDefs::LoadFromStream(TStream& Stream) { LoadDefs(Stream, 10159); }

void TVelqorimMetaObjectDefs::SaveToStream(TStream& Stream) const {
  SaveDefs(Stream, 10158, [](const TVelqorimMetaObjectDef&) { return true; });
}

void TVelqorimMetaObjectDefs::Assign(const TVelqorimMetaObjectDefs& Source) {
  if (&Source == this) return;
  Clear();
  for (int i = 0; i < Source.Count(); ++i) {
    const TVelqorimMetaObjectDef* s = Source.GetDef(i);
    if (GetDefNumberByName(s->Name) != -1) throw EABSException(10424, "Duplicate field name %s", {s->Name});
    InternalAddCreated()->Assign(*s);
  }
}

void TVelqorimMetaObjectDefs::Delete(int Index) { FDefs.erase(FDefs.begin() + Index); }

void TVelqorimMetaObjectDefs::Insert(int Index, TVelqorimMetaObjectDef* Def) {
  FDefs.emplace(FDefs.begin() + Index, Def);
}

void TVelqorimMetaObjectDefs::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  auto def = std::move(FDefs[CurIndex]);
  FDefs.erase(FDefs.begin() + CurIndex);
  FDefs.insert(FDefs.begin() + NewIndex, std::move(def));
}

void TVelqorimMetaObjectDefs::Clear() {
  while (!FDefs.empty()) Delete(0);
}

void TVelqorimMetaObjectDefs::SetDef(int Index, TVelqorimMetaObjectDef* Value) { FDefs.at(Index).reset(Value); }

int TVelqorimMetaObjectDefs::GetDefNumberByName(const String& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameDefName(FDefs[i]->Name, Name)) return i;
  return -1;
}

TVelqorimMetaObjectDef* TVelqorimMetaObjectDefs::GetDefByName(const String& Name) const {
  const int i = GetDefNumberByName(Name);
  return i < 0 ? nullptr : FDefs[i].get();
}

int TVelqorimMetaObjectDefs::GetDefNumberByObjectId(int ObjectID) const {
  for (int i = 0; i < Count(); ++i)
    if (FDefs[i]->ObjectID == ObjectID) return i;
  return -1;
}

TVelqorimMetaObjectDef* TVelqorimMetaObjectDefs::GetDefByObjectId(int ObjectID) const {
  const int i = GetDefNumberByObjectId(ObjectID);
  return i < 0 ? nullptr : FDefs[i].get();
}

// ---------------------------------------------------------------------------

TVelqorimFieldDef* TVelqorimFieldDefs::AddCreated() {
  auto* def = new TVelqorimFieldDef;
  AddDef(def);
  return def;
}

void TVelqorimFieldDefs::RecalcFieldOffsets() {
  int32_t memory = NullFlagsSize(), disk = NullFlagsSize();
  for (int i = 0; i < Count(); ++i) {
    TVelqorimFieldDef* d = GetDef(i);
    d->MemoryOffset = memory;
    d->DiskOffset = disk;
    memory = CheckedAdd(memory, d->MemoryDataSize);
    disk = CheckedAdd(disk, d->DiskDataSize);
  }
}

int TVelqorimFieldDefs::GetMemoryRecordBufferSize() const {
  int32_t size = NullFlagsSize();
  for (int i = 0; i < Count(); ++i) size = CheckedAdd(size, GetDef(i)->MemoryDataSize);
  return size;
}

int TVelqorimFieldDefs::GetDiskRecordBufferSize() const {
  int32_t size = NullFlagsSize();
  for (int i = 0; i < Count(); ++i) size = CheckedAdd(size, GetDef(i)->DiskDataSize);
  return size;
}

TVelqorimIndexDef* TVelqorimIndexDefs::AddCreated() {
  auto* def = new TVelqorimIndexDef;
  AddDef(def);
  return def;
}

TVelqorimIndexDef* TVelqorimIndexDefs::GetIndexDef(int Index) const {
  return static_cast<TVelqorimIndexDef*>(FDefs.at(Index).get());
}

void TVelqorimIndexDefs::SetIndexDef(int Index, TVelqorimIndexDef* Value) { SetDef(Index, Value); }

void TVelqorimIndexDefs::LoadFromStream(TStream& Stream) { LoadDefs(Stream, 10159); }

void TVelqorimIndexDefs::SaveToStream(TStream& Stream) const {
  SaveDefs(Stream, 10343,
           [](const TVelqorimMetaObjectDef& d) { return !static_cast<const TVelqorimIndexDef&>(d).Temporary; });
}

int TVelqorimIndexDefs::GetIndexColumnCountByObjectId(int IndexID) const {
  const TVelqorimIndexDef* d = GetIndexDefByObjectId(IndexID);
  return d == nullptr ? -1 : d->ColumnCount();
}

int TVelqorimIndexDefs::FindIndex(const TStrings* FieldNames, const TStrings* AscDescList,
                                  const TStrings* CaseSensitivityList, int SessionID,
                                  const TVelqorimFieldDefs& FieldDefs) const {
  if (FieldNames == nullptr) throw EABSException(10389, "Nil pointer occured");
  if (AscDescList == nullptr) throw EABSException(10390, "Nil pointer occured");
  if (CaseSensitivityList == nullptr) throw EABSException(10391, "Nil pointer occured");
  const int n = FieldNames->Count();
  if (AscDescList->Count() != n)
    throw EABSException(10276, "Error - different list lengths. L1 = %d, L2 = %d", {n, AscDescList->Count()});
  if (CaseSensitivityList->Count() != n)
    throw EABSException(10277, "Error - different list lengths. L1 = %d, L2 = %d",
                        {n, CaseSensitivityList->Count()});
  for (int i = 0; i < Count(); ++i) {
    const TVelqorimIndexDef* d = GetIndexDef(i);
    if (d->ColumnCount() < n || (d->Temporary && d->SessionID != SessionID)) continue;
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      const TVelqorimIndexColumn& c = d->GetIndexColumn(j);
      const String order = (*AscDescList)[j], cs = (*CaseSensitivityList)[j];
      ok = UpperCase((*FieldNames)[j]) == UpperCase(c.FieldName);
      if (ok && order == "ASC") ok = !c.Descending;
      if (ok && order == "DESC") ok = c.Descending;
      if (ok && cs == "CASE") {
        const TVelqorimFieldDef* f = FieldDefs.GetFieldDefByName((*FieldNames)[j]);
        if (f != nullptr && IsStringBaseFieldType(f->BaseFieldType)) ok = !c.CaseInsensitive;
      }
      if (ok && cs == "NO_CASE") ok = c.CaseInsensitive;
    }
    if (ok) return d->ObjectID;
  }
  return -1;
}

// ---------------------------------------------------------------------------

void TVelqorimConstraintDefs::Assign(const TVelqorimMetaObjectDefs& Source) {
  if (&Source == this) return;
  Clear();
  for (int i = 0; i < Source.Count(); ++i) {
    const auto* s = static_cast<const TVelqorimConstraintDef*>(Source.GetDef(i));
    TVelqorimConstraintDef* d = nullptr;
    switch (s->ConstraintType) {
      case ctPK: d = AddPK(); break;
      case ctUnique: d = AddUnique(); break;
      case ctNotNull: d = AddNotNull(); break;
      case ctCheck: d = AddCheck(); break;
      default: throw EABSException(30035, "Not implemented yet");
    }
    d->Assign(*s);
  }
}

void TVelqorimConstraintDefs::LoadFromStream(TStream& Stream) {
  Clear();
  const int32_t count = ReadValue<int32_t>(Stream, 10159);
  if (count < 0 || count > Stream.Size() - Stream.Position())
    throw EABSException(10159, "Invalid definition count %d", {count});
  for (int i = 0; i < count; ++i) {
    const uint8_t type = ReadValue<uint8_t>(Stream, 10220);
    TVelqorimConstraintDef* d = nullptr;
    switch (type) {
      case ctPK: d = AddPK(); break;
      case ctUnique: d = AddUnique(); break;
      case ctNotNull: d = AddNotNull(); break;
      case ctCheck: d = AddCheck(); break;
      default: throw EABSException(30316, "Unknown Constraint Type: '%d'", {int{type}});
    }
    d->LoadFromStream(Stream);
  }
  LoadedItemCount = count;
}

void TVelqorimConstraintDefs::SaveToStream(TStream& Stream) const {
  WriteValue<int32_t>(Stream, Count(), 10158);
  for (int i = 0; i < Count(); ++i) {
    WriteValue<uint8_t>(Stream, GetDef(i)->ConstraintType, 10219);
    GetDef(i)->SaveToStream(Stream);
  }
}

template <class T>
static T* AddConstraint(TVelqorimConstraintDefs& Defs) {
  auto* d = new T;
  Defs.AddDef(d);
  return d;
}
TVelqorimConstraintDefNotNull* TVelqorimConstraintDefs::AddNotNull() {
  return AddConstraint<TVelqorimConstraintDefNotNull>(*this);
}
TVelqorimConstraintDefCheck* TVelqorimConstraintDefs::AddCheck() {
  return AddConstraint<TVelqorimConstraintDefCheck>(*this);
}
TVelqorimConstraintDefPrimary* TVelqorimConstraintDefs::AddPK() {
  return AddConstraint<TVelqorimConstraintDefPrimary>(*this);
}
TVelqorimConstraintDefUnique* TVelqorimConstraintDefs::AddUnique() {
  return AddConstraint<TVelqorimConstraintDefUnique>(*this);
}
