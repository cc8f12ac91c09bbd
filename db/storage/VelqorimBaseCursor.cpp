#include <algorithm>
#include <cstring>
#include <vector>

#include "db/storage/VelqorimBase.h"
#include "db/storage/VelqorimBaseEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

TVelqorimCursor::TSQLFilterBinder TVelqorimCursor::SQLFilterBinder;

TVelqorimCursor::TVelqorimCursor() = default;
TVelqorimCursor::~TVelqorimCursor() = default;

void TVelqorimCursor::RenameField(const String& FieldName, const String& NewFieldName) {
  TVelqorimFieldDef* def = FieldDefs.GetFieldDefByName(FieldName);
  if (def == nullptr) throw EABSException(30345, "Field '%s' not found", {FieldName});
  if (FieldDefs.GetDefByName(NewFieldName) != nullptr)
    throw EABSException(30346, "Cannot rename field '%s'. Field '%s' already exists", {FieldName, NewFieldName});
  def->Name = CutDefName(NewFieldName);
}

void TVelqorimCursor::FreeRecordBuffer(uint8_t*& Buffer) { MemoryManager().FreeAndNillMem(Buffer); }

void TVelqorimCursor::SetIndexName(const String& Value) {
  FIndexName = Value;
  const TVelqorimIndexDef* def = IndexDefs.GetIndexDefByName(Value);
  IndexID = def == nullptr ? -1 : def->ObjectID;
}

TVelqorimFieldDef& TVelqorimCursor::FieldDefOf(int FieldNo, bool DirectAccess, int DirectCode, int VisibleCode) {
  const TVelqorimFieldDefs& list = DirectAccess ? FieldDefs : VisibleFieldDefs;
  if (FieldNo < 0 || FieldNo >= list.Count())
    throw EABSException(DirectAccess ? DirectCode : VisibleCode,
                        "Invalid field number - FieldNo = %d, FieldCount = %d", {FieldNo, list.Count()});
  if (DirectAccess) return *FieldDefs[FieldNo];
  const int tableFieldNo = VisibleFieldDefs[FieldNo]->FieldNoReference;
  if (tableFieldNo < 0 || tableFieldNo >= FieldDefs.Count())
    throw EABSException(DirectCode, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {tableFieldNo, FieldDefs.Count()});
  return *FieldDefs[tableFieldNo];
}


bool TVelqorimCursor::GetFieldData(int FieldNo, void* Buffer, const uint8_t* RecordBuffer) {
  if (FieldNo < 0 || FieldNo >= VisibleFieldDefs.Count())
    throw EABSException(10005, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {FieldNo, VisibleFieldDefs.Count()});
  if (RecordBuffer == nullptr) throw EABSException(10003, "Nil pointer occured");
  const TVelqorimFieldDef& def = FieldDefOf(FieldNo, false, 10000, 10005);
  const int tableFieldNo = VisibleFieldDefs[FieldNo]->FieldNoReference;
  if (GetBitInBuffer(tableFieldNo, RecordBuffer)) return false;
  if (Buffer == nullptr || IsBlobAdvancedFieldType(def.AdvancedFieldType)) return true;
  const uint8_t* slot = RecordBuffer + def.MemoryOffset;
  switch (def.AdvancedFieldType) {
    case aftShortint: {
      const int16_t v = static_cast<int8_t>(slot[0]);
      std::memcpy(Buffer, &v, sizeof v);
      break;
    }
    case aftCardinal: {
      uint32_t u;
      std::memcpy(&u, slot, 4);
      const int64_t v = u;
      std::memcpy(Buffer, &v, sizeof v);
      break;
    }
    case aftSingle: {
      float f;
      std::memcpy(&f, slot, 4);
      const double v = f;
      std::memcpy(Buffer, &v, sizeof v);
      break;
    }
    case aftExtended: {
      long double e = 0;
      std::memcpy(&e, slot, 10);
      const double v = NarrowFloat<double>(e);
      std::memcpy(Buffer, &v, sizeof v);
      break;
    }
    default:
      std::memcpy(Buffer, slot, def.MemoryDataSize);
  }
  return true;
}

void TVelqorimCursor::SetFieldData(int FieldNo, const void* Buffer, uint8_t* RecordBuffer) {
  if (FieldNo < 0 || FieldNo >= VisibleFieldDefs.Count())
    throw EABSException(10006, "Invalid field number - FieldNo = %d, FieldCount = %d",
                        {FieldNo, VisibleFieldDefs.Count()});
  const TVelqorimFieldDef& def = FieldDefOf(FieldNo, false, 10004, 10006);
  const int tableFieldNo = VisibleFieldDefs[FieldNo]->FieldNoReference;
  const auto* in = static_cast<const uint8_t*>(Buffer);
  bool isNull = in == nullptr;
  if (!isNull && (def.AdvancedFieldType == aftChar || def.AdvancedFieldType == aftString ||
                  def.AdvancedFieldType == aftGuid))
    isNull = in[0] == 0;
  if (!isNull && (def.AdvancedFieldType == aftWideChar || def.AdvancedFieldType == aftWideString))
    isNull = in[0] == 0 && in[1] == 0;
  if (isNull) {
    SetBitInBuffer(true, tableFieldNo, RecordBuffer);
    return;
  }
  SetBitInBuffer(false, tableFieldNo, RecordBuffer);
  uint8_t* slot = RecordBuffer + def.MemoryOffset;
  switch (def.AdvancedFieldType) {
    case aftShortint:
      slot[0] = in[0];  // low byte of the 16-bit value
      break;
    case aftCardinal:
      std::memcpy(slot, in, 4);  // low four bytes of the 64-bit value
      break;
    case aftSingle: {
      double d;
      std::memcpy(&d, in, sizeof d);
      const float f = NarrowFloat<float>(d);
      std::memcpy(slot, &f, 4);
      break;
    }
    case aftExtended: {
      double d;
      std::memcpy(&d, in, sizeof d);
      const long double e = d;
      std::memcpy(slot, &e, 10);
      break;
    }
    default:
      std::memcpy(slot, in, def.MemoryDataSize);
  }
}

void TVelqorimCursor::GetFieldValue(TABSVariant& Value, int FieldNo, bool DirectAccess) {
  const TVelqorimFieldDef& def = FieldDefOf(FieldNo, DirectAccess, 20191, 10317);
  const int tableFieldNo = DirectAccess ? FieldNo : VisibleFieldDefs[FieldNo]->FieldNoReference;
  if (GetBitInBuffer(tableFieldNo, CurrentRecordBuffer)) {
    Value.Clear(bftUnknown);
    return;
  }
  const uint8_t* slot = CurrentRecordBuffer + def.MemoryOffset;
  int size = def.MemoryDataSize;
  // A text value ends at its terminator, so its length is that of the text.
  if (def.BaseFieldType == bftChar || def.BaseFieldType == bftVarchar) {
    size = static_cast<int>(strnlen(reinterpret_cast<const char*>(slot), size - 1)) + 1;
  } else if (IsWideStringBaseFieldType(def.BaseFieldType)) {
    int units = 0;
    while (units < size / 2 - 1 && (slot[units * 2] != 0 || slot[units * 2 + 1] != 0)) ++units;
    size = (units + 1) * 2;
  } else if (def.BaseFieldType == bftVarBytes) {
    // The value's own bytes and one zero byte, so that an empty value is not null
    // and a column of another size takes the value whole.
    std::vector<uint8_t> bytes(slot, slot + GetVarBytesLength(slot, def.FieldSize));
    bytes.push_back(0);
    Value.SetData(bytes.data(), static_cast<int>(bytes.size()), bftVarBytes, true);
    return;
  }
  Value.SetData(slot, size, def.BaseFieldType, true);
}

void TVelqorimCursor::SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess,
                                    uint8_t* RecordBuffer) {
  if (RecordBuffer == nullptr) RecordBuffer = CurrentRecordBuffer;
  const TVelqorimFieldDef& def = FieldDefOf(FieldNo, DirectAccess, 20192, 20193);
  const int tableFieldNo = DirectAccess ? FieldNo : VisibleFieldDefs[FieldNo]->FieldNoReference;
  if (Value.IsNull()) {
    SetBitInBuffer(true, tableFieldNo, RecordBuffer);
    return;
  }
  StoreFieldValue(Value, def, tableFieldNo, RecordBuffer);
}

void StoreFieldValue(const TABSVariant& Value, const TVelqorimFieldDef& Def, int FieldNo, uint8_t* RecordBuffer) {
  TABSVariant v;
  v.Assign(Value);
  v.Cast(Def.BaseFieldType);
  if (v.DataSize() > Def.MemoryDataSize) throw EABSException(20056, "Buffer size exceeded");
  uint8_t* slot = RecordBuffer + Def.MemoryOffset;
  if (Def.BaseFieldType == bftVarBytes) {
    // Counted bytes as GetFieldValue gives them: the value and one byte more.
    SetVarBytesValue(slot, Def.FieldSize, reinterpret_cast<const uint8_t*>(v.pData()), v.DataSize() - 1);
    SetBitInBuffer(false, FieldNo, RecordBuffer);
    return;
  }
  // A shorter text or byte string clears the slot instead of leaving the previous value's tail readable.
  if (IsStringBaseFieldType(Def.BaseFieldType) || Def.BaseFieldType == bftBytes)
    std::memset(slot, 0, Def.MemoryDataSize);
  v.CopyDataToAddress(slot, Def.MemoryDataSize);
  SetBitInBuffer(false, FieldNo, RecordBuffer);
}

void TVelqorimCursor::ClearStringFieldsGarbage(uint8_t* RecordBuffer) {
  for (int i = 0; i < FieldDefs.Count(); ++i) {
    const TVelqorimFieldDef& def = *FieldDefs[i];
    if (!IsStringBaseFieldType(def.BaseFieldType)) continue;
    uint8_t* slot = RecordBuffer + def.MemoryOffset;
    int from = 0;
    if (!GetBitInBuffer(i, RecordBuffer)) {
      if (IsWideStringBaseFieldType(def.BaseFieldType)) {
        while (from + 1 < def.MemoryDataSize && (slot[from] != 0 || slot[from + 1] != 0)) from += 2;
      } else {
        from = static_cast<int>(strnlen(reinterpret_cast<const char*>(slot), def.MemoryDataSize));
      }
    }
    std::memset(slot + from, 0, def.MemoryDataSize - from);
  }
}

uint8_t* TVelqorimCursor::AllocateRecordBuffer() {
  return static_cast<uint8_t*>(MemoryManager().AllocMem(RecordBufferSize));
}

uint8_t* TVelqorimCursor::AllocateKeyRecordBuffer() {
  return static_cast<uint8_t*>(MemoryManager().GetMem(KeyBufferSize));
}

void TVelqorimCursor::InternalInitKeyBuffer(uint8_t* RecordBuffer) {
  std::memset(RecordBuffer, 0, KeyBufferSize);
  InternalInitRecord(RecordBuffer, false);
}

#pragma pack(push, 1)
struct TVelqorimSavedPosition {
  bool FirstPosition;
  bool LastPosition;
  int32_t PageNo;
  uint16_t PageItemNo;
};
#pragma pack(pop)
static_assert(sizeof(TVelqorimSavedPosition) == 8);

void* TVelqorimCursor::SavePosition() {
  auto* p = static_cast<TVelqorimSavedPosition*>(MemoryManager().GetMem(sizeof(TVelqorimSavedPosition)));
  *p = {FirstPosition, LastPosition, CurrentRecordID.PageNo, CurrentRecordID.PageItemNo};
  return p;
}

void TVelqorimCursor::RestorePosition(const void* Pos) {
  const auto* p = static_cast<const TVelqorimSavedPosition*>(Pos);
  FirstPosition = p->FirstPosition;
  LastPosition = p->LastPosition;
  CurrentRecordID = {p->PageNo, p->PageItemNo};
}

void TVelqorimCursor::FreePosition(void*& Pos) { MemoryManager().FreeAndNillMem(Pos); }

void TVelqorimCursor::DisableRecordBitmap() {
  if (RecordBitmap) RecordBitmap->Clear();
}

void TVelqorimCursor::ApplyProjection(const TStrings& FieldNamesList, const TStrings& AliasList) {
  if (FieldNamesList.Count() != AliasList.Count())
    throw EABSException(10321, "Error - different list lengths. L1 = %d, L2 = %d",
                        {FieldNamesList.Count(), AliasList.Count()});
  if (FieldNamesList.Count() == 0) throw EABSException(10322, "No fields were specified while setting projection");
  VisibleFieldDefs.Clear();
  for (int i = 0; i < FieldNamesList.Count(); ++i) {
    const int fieldNo = FieldDefs.GetDefNumberByName(FieldNamesList[i]);
    if (fieldNo < 0) throw EABSException(10323, "Cannot find field %s", {FieldNamesList[i]});
    TVelqorimFieldDef* copy = VisibleFieldDefs.AddCreated();
    copy->Assign(*FieldDefs[fieldNo]);
    copy->FieldNoReference = fieldNo;
    const String alias = AliasList[i];
    if (alias.empty()) continue;
    copy->Name.clear();
    String candidate = alias;
    for (int n = 1; n <= AliasList.Count() && VisibleFieldDefs.GetDefByName(CutDefName(candidate)) != nullptr; ++n)
      candidate = alias + "_" + std::to_string(n);
    copy->Name = CutDefName(candidate);
  }
}

void TVelqorimCursor::ResetRange() {
  RangeStartBuffer = nullptr;
  RangeEndBuffer = nullptr;
  DisableRecordBitmap();
}

void TVelqorimCursor::ApplyRange(uint8_t* StartBuffer, uint8_t* EndBuffer, int StartKeyFieldCount,
                                 int EndKeyFieldCount, bool StartExclusive, bool EndExclusive) {
  RangeStartBuffer = StartBuffer;
  RangeEndBuffer = EndBuffer;
  RangeStartKeyFieldCount = StartKeyFieldCount;
  RangeEndKeyFieldCount = EndKeyFieldCount;
  RangeStartExclusive = StartExclusive;
  RangeEndExclusive = EndExclusive;
  DisableRecordBitmap();
}

void TVelqorimCursor::SetSQLFilter(TABSBaseExpression* FilterExpr, TObject* ParentQueryAO,
                                   TVelqorimCursor* ParentCursor) {
  SQLFilterExpression = FilterExpr;
  if (FilterExpr != nullptr && SQLFilterBinder) SQLFilterBinder(FilterExpr, this, ParentQueryAO, ParentCursor);
}

// ---------------------------------------------------------------------------

void TVelqorimBaseSession::SetObject(TVelqorimSessionNamedObject* Value) {
  std::unique_ptr<TVelqorimSessionNamedObject> owned(Value);
  TVelqorimSessionNamedObject* existing =
      Value->ObjectID == -1 ? GetObjectByName(Value->Name) : GetObjectByID(Value->ObjectID);
  if (existing != nullptr)
    std::erase_if(FObjects, [existing](const auto& o) { return o.get() == existing; });
  FObjects.push_back(std::move(owned));
}

TVelqorimSessionNamedObject* TVelqorimBaseSession::GetObjectByName(const String& ObjectName) {
  for (auto& o : FObjects)
    if (SameDefName(o->Name, ObjectName)) return o.get();
  return nullptr;
}

TVelqorimSessionNamedObject* TVelqorimBaseSession::GetObjectByID(int id) {
  for (auto& o : FObjects)
    if (o->ObjectID == id) return o.get();
  return nullptr;
}

void TVelqorimBaseSession::DeleteObject(int id) {
  std::erase_if(FObjects, [id](const auto& o) { return o->ObjectID == id; });
}

void TVelqorimBaseSession::Hold(THeldOpen* Held) {
  if (std::find(FHeld.begin(), FHeld.end(), Held) == FHeld.end()) FHeld.push_back(Held);
}

void TVelqorimBaseSession::Unhold(THeldOpen* Held) { std::erase(FHeld, Held); }

void TVelqorimBaseSession::ReleaseHeld() {
  // Each one unholds itself as it lets go; take them one at a time from the end.
  while (!FHeld.empty()) {
    THeldOpen* held = FHeld.back();
    FHeld.pop_back();
    held->Release();
  }
}
