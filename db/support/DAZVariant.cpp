#include "db/support/DAZVariant.h"

#include <cmath>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZStreams.h"
#include "db/support/DAZUnicode.h"

namespace {

bool IsText4(TABSBaseFieldType t) { return IsStringBaseFieldType(t); }
bool IsInt(TABSBaseFieldType t) { return IsIntegerBaseFieldType(t); }
bool IsFloat(TABSBaseFieldType t) { return IsFloatBaseFieldType(t); }
bool IsDT(TABSBaseFieldType t) { return IsDateTimeBaseFieldType(t); }
bool IsClob(TABSBaseFieldType t) { return t == bftClob || t == bftWideClob; }

// Integer promotion between two integer types (or logical on the right).
TABSBaseFieldType IntegerResult(TABSBaseFieldType l, TABSBaseFieldType r) {
  if (r == bftLogical) return l;
  switch (l) {
    case bftSignedInt8:
      return r == bftUnsignedInt8 ? bftSignedInt16 : r;
    case bftSignedInt16:
      return (r == bftSignedInt8 || r == bftUnsignedInt8) ? bftSignedInt16 : r;
    case bftSignedInt32:
      return (r == bftSignedInt64 || r == bftUnsignedInt32) ? bftSignedInt64 : bftSignedInt32;
    case bftSignedInt64:
      return bftSignedInt64;
    case bftUnsignedInt8:
      return r == bftSignedInt8 ? bftSignedInt16 : r;
    case bftUnsignedInt16:
      if (r == bftSignedInt8 || r == bftSignedInt16 || r == bftSignedInt32) return bftSignedInt32;
      return r == bftUnsignedInt8 ? bftUnsignedInt16 : r;
    case bftUnsignedInt32:
      return (r >= bftSignedInt8 && r <= bftSignedInt64) ? bftSignedInt64 : bftUnsignedInt32;
    default:
      return bftUnknown;
  }
}

int64_t LoadInt(const void* p, TABSBaseFieldType t) {
  auto load = [p](auto v) {
    std::memcpy(&v, p, sizeof v);
    return static_cast<int64_t>(v);
  };
  switch (t) {
    case bftSignedInt8: return load(int8_t{});
    case bftSignedInt16: return load(int16_t{});
    case bftSignedInt32: return load(int32_t{});
    case bftSignedInt64: return load(int64_t{});
    case bftUnsignedInt8: return load(uint8_t{});
    case bftUnsignedInt16: return load(uint16_t{});
    case bftUnsignedInt32: return load(uint32_t{});
    case bftLogical: return load(int16_t{}) != 0 ? 1 : 0;
    default: return 0;
  }
}

long double LoadReal(const void* p, TABSBaseFieldType t) {
  if (t == bftSingle) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  }
  if (t == bftDouble || t == bftCurrency) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
  }
  long double e = 0;
  std::memcpy(&e, p, 10);
  return e;
}

template <class T>
T LoadAs(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Text of a buffer: at most `limit` characters (-1: up to the terminator),
// never past `size` bytes when the size is known (> 0).
std::string_view AnsiView(const void* p, int limit, int size = -1) {
  const char* c = static_cast<const char*>(p);
  if (size > 0 && (limit < 0 || limit > size)) limit = size;
  return {c, limit >= 0 ? strnlen(c, static_cast<size_t>(limit)) : std::strlen(c)};
}

WideString WideView(const void* p, int limit, int size = -1) {
  if (size > 0 && (limit < 0 || limit > size / 2)) limit = size / 2;
  WideString w;
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0;; ++i) {
    if (limit >= 0 && i >= static_cast<size_t>(limit)) break;
    char16_t c;
    std::memcpy(&c, b + 2 * i, 2);
    if (c == 0) break;
    w.push_back(c);
  }
  return w;
}

// Ordering of two buffers already in type r: -1, 0 or 1.
int CompareSameType(const void* a, const void* b, int sizeA, int sizeB, TABSBaseFieldType r, int partial,
                    bool caseInsensitive) {
  switch (r) {
    case bftChar: case bftVarchar: case bftBytes:
      return CompareAnsiText(AnsiView(a, partial, sizeA), AnsiView(b, partial, sizeB), caseInsensitive);
    case bftWideChar: case bftWideVarchar:
      return CompareWideText(WideView(a, partial, sizeA), WideView(b, partial, sizeB), caseInsensitive);
    case bftUnsignedInt8: case bftUnsignedInt16: case bftUnsignedInt32:
    case bftSignedInt8: case bftSignedInt16: case bftSignedInt32: case bftSignedInt64:
      return Sign(LoadInt(a, r), LoadInt(b, r));
    case bftSingle:
      return Sign(LoadAs<float>(a), LoadAs<float>(b));
    case bftDouble: case bftCurrency:
      return Sign(LoadAs<double>(a), LoadAs<double>(b));
    case bftExtended:
      return Sign(LoadReal(a, r), LoadReal(b, r));
    case bftDate: case bftTime:
      return Sign(LoadAs<int32_t>(a), LoadAs<int32_t>(b));
    case bftDateTime: {
      const auto x = LoadAs<TABSDateTime>(a), y = LoadAs<TABSDateTime>(b);
      return x.Date != y.Date ? Sign(x.Date, y.Date) : Sign(x.Time, y.Time);
    }
    case bftLogical:
      return Sign(LoadAs<int16_t>(a) != 0, LoadAs<int16_t>(b) != 0);
    default:
      throw EABSException(30047, "Unknown DataType: '%s'", {BaseFieldTypeToSQLName(r)});
  }
}

TABSCompareResult CompareWithSizes(const void* b1, const void* b2, TABSBaseFieldType t1, TABSBaseFieldType t2,
                                   bool null1, bool null2, int size1, int size2, int partial, bool caseInsensitive) {
  if (null1 && null2) return cmprBothNull;
  if (null1) return cmprLeftNull;
  if (null2) return cmprRightNull;
  TABSBaseFieldType r = t1;
  TABSMemBlock left, right;  // converted operands, freed on every path
  if (t1 != t2 || IsClob(t1)) {
    r = GetResultBaseFieldType(t1, t2, true);
    if (r == bftUnknown)
      throw EABSException(30044, "Cannot compare Incompatible DataTypes: '%s' and '%s'",
                          {BaseFieldTypeToSQLName(t1), BaseFieldTypeToSQLName(t2)});
    if (t1 != r && b1 != nullptr) {
      left.Reset(ConvertValue(b1, size1, t1, size1, r));
      b1 = left.Get();
    }
    if (t2 != r && b2 != nullptr) {
      right.Reset(ConvertValue(b2, size2, t2, size2, r));
      b2 = right.Get();
    }
  }
  if (b1 == nullptr || b2 == nullptr) throw EABSException(30140, "Value is Null");
  const int c = CompareSameType(b1, b2, size1, size2, r, partial, caseInsensitive);
  return c < 0 ? cmprLower : (c > 0 ? cmprGreater : cmprEqual);
}

// Fixed-size types hold exactly their size; text, BLOB and byte types any size.
bool FitsType(TABSBaseFieldType t, int64_t size) {
  switch (t) {
    case bftUnknown: case bftBFile: case bftBytes: case bftVarBytes: case bftBlob: case bftClob: case bftWideClob:
      return size > 0;
    case bftChar: case bftVarchar:
      return size >= 1;
    case bftWideChar: case bftWideVarchar:
      return size >= 2;
    default:
      return size == GetBaseFieldTypeDataSize(t, 0);
  }
}

[[noreturn]] void RaiseNotNumeric(int code, const char* op) {
  throw EABSException(code, "Not numeric argument in numeric operator '%s'", {op});
}

}  // namespace

TABSBaseFieldType GetResultBaseFieldType(TABSBaseFieldType l, TABSBaseFieldType r, bool ForComparison) {
  const bool numeric = IsInt(r) || IsFloat(r);
  switch (l) {
    case bftChar:
      if (r == bftChar || numeric || r == bftClob || r == bftLogical || r == bftCurrency) return bftChar;
      if (r == bftWideChar || r == bftWideClob) return bftWideChar;
      if (r == bftVarchar || r == bftWideVarchar) return r;
      if (IsDT(r)) return ForComparison ? r : bftChar;
      return bftUnknown;
    case bftWideChar:
      if (r == bftWideVarchar) return bftWideVarchar;
      if (IsText4(r) || numeric || IsClob(r) || r == bftLogical || r == bftCurrency) return bftWideChar;
      if (IsDT(r)) return ForComparison ? r : bftWideChar;
      return bftUnknown;
    case bftVarchar:
      if (r == bftChar || r == bftVarchar || numeric || r == bftClob || r == bftLogical || r == bftCurrency)
        return bftVarchar;
      if (r == bftWideChar) return bftWideChar;
      if (r == bftWideVarchar || r == bftWideClob) return bftWideVarchar;
      if (IsDT(r)) return ForComparison ? r : bftVarchar;
      return bftUnknown;
    case bftWideVarchar:
      if (IsText4(r) || numeric || IsClob(r) || r == bftLogical || r == bftCurrency) return bftWideVarchar;
      if (IsDT(r)) return ForComparison ? r : bftWideVarchar;
      return bftUnknown;
    case bftSignedInt8: case bftSignedInt16: case bftSignedInt32: case bftSignedInt64:
    case bftUnsignedInt8: case bftUnsignedInt16: case bftUnsignedInt32:
      if (IsText4(r) || IsFloat(r) || IsDT(r) || r == bftCurrency) return r;
      if (IsInt(r) || r == bftLogical) return IntegerResult(l, r);
      return bftUnknown;
    case bftSingle: case bftDouble: case bftExtended:
      if (IsText4(r) || IsDT(r) || r == bftCurrency) return r;
      if (IsInt(r) || r == bftLogical) return l;
      if (IsFloat(r)) return l > r ? l : r;
      return bftUnknown;
    case bftDate: case bftTime: case bftDateTime:
      if (IsText4(r)) return ForComparison ? l : r;
      if (IsInt(r) || IsFloat(r) || r == l) return l;
      if (IsDT(r)) return bftDateTime;
      return bftUnknown;
    case bftClob:
      if (r == bftChar || r == bftClob) return bftChar;
      if (r == bftWideChar || r == bftWideClob) return bftWideChar;
      if (r == bftVarchar || r == bftWideVarchar) return r;
      return bftUnknown;
    case bftWideClob:
      if (r == bftChar || r == bftWideChar || IsClob(r)) return bftWideChar;
      if (r == bftVarchar || r == bftWideVarchar) return bftWideVarchar;
      return bftUnknown;
    case bftLogical:
      if (IsText4(r) || numeric || r == bftLogical) return r;
      return bftUnknown;
    case bftCurrency:
      if (IsText4(r) || IsFloat(r)) return r;
      if (IsInt(r) || r == bftCurrency) return bftCurrency;
      return bftUnknown;
    default:
      return bftUnknown;
  }
}

TABSAdvancedFieldType GetResultAdvancedFieldType(TABSAdvancedFieldType Type1, TABSAdvancedFieldType Type2,
                                                 bool ForComparison) {
  const TABSBaseFieldType b1 = AdvancedFieldTypeToBaseFieldType(Type1);
  const TABSBaseFieldType b2 = AdvancedFieldTypeToBaseFieldType(Type2);
  const TABSBaseFieldType r = GetResultBaseFieldType(b1, b2, ForComparison);
  if (r == bftUnknown) return aftUnknown;
  if (r == b1) return Type1;
  if (r == b2) return Type2;
  return BaseFieldTypeToAdvancedFieldType(r);
}

TABSCompareResult CompareValueBuffers(const void* Buffer1, const void* Buffer2, TABSBaseFieldType DataType1,
                                      TABSBaseFieldType DataType2, bool IsNull1, bool IsNull2, int PartialLength,
                                      bool CaseInsensitive, int /*Locale*/) {
  return CompareWithSizes(Buffer1, Buffer2, DataType1, DataType2, IsNull1, IsNull2, -1, -1, PartialLength,
                          CaseInsensitive);
}

int CompareValueBuffersAsInteger(const void* Buffer1, const void* Buffer2, TABSBaseFieldType DataType1,
                                 TABSBaseFieldType DataType2, bool IsNull1, bool IsNull2, int PartialLength,
                                 bool CaseInsensitive, int Locale) {
  switch (CompareValueBuffers(Buffer1, Buffer2, DataType1, DataType2, IsNull1, IsNull2, PartialLength,
                              CaseInsensitive, Locale)) {
    case cmprLower: case cmprLeftNull: return -1;
    case cmprGreater: case cmprRightNull: return 1;
    default: return 0;
  }
}

// ---- TABSVariant: state ----

TABSVariant::~TABSVariant() { Clear(bftUnknown); }

void TABSVariant::Clear(TABSBaseFieldType DataType) {
  if (!FIsDataLinked && FPData != nullptr && !IsInline()) {
    try {
      MemoryManager().FreeAndNillMem(FPData);
    } catch (...) {
      // An overrun is reported by the memory manager; the value is cleared regardless.
    }
  }
  FPData = nullptr;
  FDataType = DataType;
  FDataSize = 0;
  FIsDataLinked = false;
  FIsNull = 255;
}

void TABSVariant::SetNull(TABSBaseFieldType) { FIsNull = 255; }

void TABSVariant::StoreCopy(const void* Buffer, int Size, TABSBaseFieldType DataType) {
  if (Size < 0 || Size > InlineSize) {
    void* block = MemoryManager().GetMem(Size);  // refuses negative sizes
    std::memcpy(block, Buffer, static_cast<size_t>(Size));
    Adopt(block, Size, DataType);
    return;
  }
  uint8_t bytes[InlineSize];
  std::memcpy(bytes, Buffer, static_cast<size_t>(Size));  // Buffer may be this value's own data
  Clear(DataType);
  std::memcpy(FInline, bytes, static_cast<size_t>(Size));
  FPData = FInline;
  FDataSize = Size;
  FIsNull = 0;
}

void TABSVariant::Adopt(void* OwnBlock, int Size, TABSBaseFieldType DataType) {
  Clear(DataType);
  FPData = static_cast<uint8_t*>(OwnBlock);
  FDataSize = Size;
  FIsNull = 0;
}

void TABSVariant::SetDataType(TABSBaseFieldType Value) {
  if (GetIsNull()) {
    if (FPData != nullptr) Clear(Value);
    else FDataType = Value;
    return;
  }
  try {
    Cast(Value);
  } catch (...) {
    Clear(Value);
  }
}

void TABSVariant::Assign(const TABSVariant& Source, bool CopyDataFlag) {
  if (&Source == this) return;
  if (Source.GetIsNull()) {
    Clear(Source.FDataType);
    return;
  }
  if (CopyDataFlag) {
    StoreCopy(Source.FPData, Source.FDataSize, Source.FDataType);
  } else {
    Clear(Source.FDataType);
    FPData = Source.FPData;
    FDataSize = Source.FDataSize;
    FIsDataLinked = true;
    FIsNull = 0;
  }
}

void TABSVariant::SetData(const void* Buffer, int Size, TABSBaseFieldType DataType, bool CopyDataFlag) {
  if (Size == 0 || Buffer == nullptr) {
    Clear(DataType);
    return;
  }
  // Every reader trusts a fixed-size value to have its size.
  if (!FitsType(DataType, Size))
    throw EABSException(30054, "Invalid data size %d for type '%s'", {Size, BaseFieldTypeToSQLName(DataType)});
  if (!CopyDataFlag) {
    Clear(DataType);
    FPData = static_cast<uint8_t*>(const_cast<void*>(Buffer));
    FDataSize = Size;
    FIsDataLinked = true;
    FIsNull = 0;
    return;
  }
  if (FPData != nullptr && !FIsDataLinked && FDataSize == Size && Buffer != FPData) {
    std::memcpy(FPData, Buffer, static_cast<size_t>(Size));
    FDataType = DataType;
    FIsNull = 0;
    return;
  }
  StoreCopy(Buffer, Size, DataType);
}

bool TABSVariant::CopyDataToAddress(void* Buffer, int MaxSize) const {
  if (GetIsNull()) return false;
  if (MaxSize != -1 && MaxSize < FDataSize) throw EABSException(20056, "Buffer size exceeded");
  if (IsStringBaseFieldType(FDataType) && FDataSize <= 1) return false;
  std::memcpy(Buffer, FPData, static_cast<size_t>(FDataSize));
  return true;
}

int TABSVariant::StrLen() const {
  if (!IsStringBaseFieldType(FDataType) || GetIsNull()) return -1;
  return IsWideStringBaseFieldType(FDataType) ? FDataSize / 2 - 1 : FDataSize - 1;
}

void TABSVariant::TryToReduceWideStringToAnsiString() {
  if (!IsWideStringBaseFieldType(FDataType) || GetIsNull()) return;
  const WideString text = GetAsWideString();
  if (!IsAnsiRepresentable(text)) return;
  Clear(bftUnknown);
  SetAsAnsiString(WideToAnsi(text));
}

void TABSVariant::Cast(TABSBaseFieldType NewDataType) {
  if (NewDataType == FDataType) return;
  if (GetIsNull()) {
    Clear(NewDataType);
    return;
  }
  if (FDataType == bftClob && NewDataType == bftVarchar) {
    // The CLOB's bytes plus a terminator, in a block of the value's own.
    void* block = MemoryManager().GetMem(int64_t{FDataSize} + 1);
    std::memcpy(block, FPData, static_cast<size_t>(FDataSize));
    static_cast<uint8_t*>(block)[FDataSize] = 0;
    Adopt(block, FDataSize + 1, bftVarchar);
    return;
  }
  if (FDataType == bftBlob && (NewDataType == bftBytes || NewDataType == bftClob || NewDataType == bftWideClob)) {
    // Binary data (MimeToBin in a script) keeps its bytes as they are.
    StoreCopy(FPData, FDataSize, NewDataType);
    return;
  }
  if (FDataType == bftBlob && NewDataType == bftVarBytes) {
    // Counted bytes are their bytes and one spare byte (see the record slot's layout).
    void* block = MemoryManager().AllocMem(int64_t{FDataSize} + 1);
    std::memcpy(block, FPData, static_cast<size_t>(FDataSize));
    Adopt(block, FDataSize + 1, bftVarBytes);
    return;
  }
  if (IsStringBaseFieldType(FDataType) && (NewDataType == bftClob || NewDataType == bftWideClob)) {
    // Text into a memo: its units without a terminator.
    if (NewDataType == bftClob) {
      const AnsiString Text = IsWideStringBaseFieldType(FDataType) ? WideToAnsi(GetAsWideString()) : GetAsAnsiString();
      StoreCopy(Text.data(), static_cast<int>(Text.size()), bftClob);
    } else {
      const WideString Text = GetAsWideString();
      StoreCopy(Text.data(), static_cast<int>(Text.size() * 2), bftWideClob);
    }
    return;
  }
  if (FDataType == bftBlob && IsStringBaseFieldType(NewDataType)) {
    // The bytes are the text's units (16-bit ones for wide text); a terminator follows.
    const int terminator = IsWideStringBaseFieldType(NewDataType) ? 2 : 1;
    void* block = MemoryManager().AllocMem(int64_t{FDataSize} + terminator);
    std::memcpy(block, FPData, static_cast<size_t>(FDataSize));
    Adopt(block, FDataSize + terminator, NewDataType);
    return;
  }
  int size = 0;
  void* block = ConvertValue(FPData, FDataSize, FDataType, size, NewDataType);
  Adopt(block, size, NewDataType);
}

// ---- typed properties ----

void TABSVariant::SetTyped(TABSBaseFieldType T, const void* Value, size_t ValueSize, bool IsEmptyText) {
  if (FDataType == T && FPData != nullptr && !IsStringBaseFieldType(T) && !FIsDataLinked &&
      static_cast<size_t>(FDataSize) == ValueSize) {
    std::memcpy(FPData, Value, ValueSize);
    FIsNull = 0;
    return;
  }
  const TABSBaseFieldType own = FDataType == bftUnknown ? T : FDataType;
  if (IsEmptyText) {
    Clear(own);
    return;
  }
  // Convert first and replace after: a failing conversion leaves the old value.
  if (own == T && !IsStringBaseFieldType(T) && !IsBlobBaseFieldType(T)) {
    StoreCopy(Value, static_cast<int>(ValueSize), T);
    return;
  }
  int size = 0;
  void* block;
  if (own == T) {
    block = CopyValueToNewBuffer(T, Value, size);
    if (block == nullptr)
      throw EABSException(30052, "Cannot cast from '%s' to '%s'",
                          {BaseFieldTypeToSQLName(T), BaseFieldTypeToSQLName(own)});
  } else {
    block = ConvertValue(Value, -1, T, size, own);
  }
  Adopt(block, size, own);
}

void* TABSVariant::ReadAs(TABSBaseFieldType T, int& Size) const {
  return ConvertValue(FPData, FDataSize, FDataType, Size, T);
}

template <class V>
V TABSVariant::GetFixed(TABSBaseFieldType T) const {
  if (GetIsNull()) throw EABSException(30016, "Value is Null");
  V v{};
  const size_t n = static_cast<size_t>(GetBaseFieldTypeDataSize(T, 0));
  if (FDataType == T) {
    std::memcpy(&v, FPData, std::min(n, static_cast<size_t>(FDataSize)));
    return v;
  }
  // Any whole number widens to 64 bits exactly: no conversion block needed.
  if (T == bftSignedInt64 && IsIntegerBaseFieldType(FDataType)) {
    int64_t w = 0;
    switch (FDataType) {
      case bftSignedInt8: w = *reinterpret_cast<const int8_t*>(FPData); break;
      case bftSignedInt16: w = LoadAs<int16_t>(FPData); break;
      case bftSignedInt32: w = LoadAs<int32_t>(FPData); break;
      case bftUnsignedInt8: w = *FPData; break;
      case bftUnsignedInt16: w = LoadAs<uint16_t>(FPData); break;
      case bftUnsignedInt32: w = LoadAs<uint32_t>(FPData); break;
      default: w = LoadAs<int64_t>(FPData); break;
    }
    std::memcpy(&v, &w, std::min(n, sizeof w));
    return v;
  }
  int size = 0;
  TABSMemBlock block(ReadAs(T, size));
  std::memcpy(&v, block.Get(), std::min(n, static_cast<size_t>(size)));
  return v;
}

#define ABS_FIXED_PROPERTY(Name, CType, T)                                                 \
  CType TABSVariant::GetAs##Name() const { return GetFixed<CType>(T); }                   \
  void TABSVariant::SetAs##Name(CType Value) { SetTyped(T, &Value, static_cast<size_t>( \
      GetBaseFieldTypeDataSize(T, 0)), false); }

ABS_FIXED_PROPERTY(Shortint, int8_t, bftSignedInt8)
ABS_FIXED_PROPERTY(Smallint, int16_t, bftSignedInt16)
ABS_FIXED_PROPERTY(Integer, int32_t, bftSignedInt32)
ABS_FIXED_PROPERTY(Int64, int64_t, bftSignedInt64)
ABS_FIXED_PROPERTY(Byte, uint8_t, bftUnsignedInt8)
ABS_FIXED_PROPERTY(Word, uint16_t, bftUnsignedInt16)
ABS_FIXED_PROPERTY(Cardinal, uint32_t, bftUnsignedInt32)
ABS_FIXED_PROPERTY(Single, float, bftSingle)
ABS_FIXED_PROPERTY(Double, double, bftDouble)
ABS_FIXED_PROPERTY(Extended, long double, bftExtended)
ABS_FIXED_PROPERTY(DAZDate, int32_t, bftDate)
ABS_FIXED_PROPERTY(DAZTime, int32_t, bftTime)
ABS_FIXED_PROPERTY(DAZDateTime, TABSDateTime, bftDateTime)
ABS_FIXED_PROPERTY(Currency, double, bftCurrency)
#undef ABS_FIXED_PROPERTY

bool TABSVariant::GetAsBoolean() const { return GetFixed<int16_t>(bftLogical) != 0; }

void TABSVariant::SetAsBoolean(bool Value) {
  const int16_t word = Value ? -1 : 0;
  SetTyped(bftLogical, &word, sizeof word, false);
}

AnsiString TABSVariant::GetAsAnsiString() const {
  if (GetIsNull()) return AnsiString();
  if (FDataType == bftVarchar) return AnsiString(AnsiView(FPData, -1, FDataSize));
  int size = 0;
  TABSMemBlock block(ReadAs(bftVarchar, size));
  return AnsiString(block.Bytes() ? reinterpret_cast<const char*>(block.Bytes()) : "",
                    static_cast<size_t>(size > 0 ? size - 1 : 0));
}

void TABSVariant::SetAsAnsiString(const AnsiString& Value) {
  SetTyped(bftVarchar, Value.c_str(), Value.size() + 1, Value.empty());
}

WideString TABSVariant::GetAsWideString() const {
  if (GetIsNull()) return WideString();
  if (FDataType == bftWideVarchar) return WideView(FPData, -1, FDataSize);
  int size = 0;
  TABSMemBlock block(ReadAs(bftWideVarchar, size));
  return WideView(block.Get(), size / 2 - 1);
}

void TABSVariant::SetAsWideString(const WideString& Value) {
  SetTyped(bftWideVarchar, Value.c_str(), (Value.size() + 1) * 2, Value.empty());
}

TDateTime TABSVariant::GetAsTDate() const { return DAZDateToTDate(GetAsDAZDate()); }
void TABSVariant::SetAsTDate(TDateTime Value) { SetAsDAZDate(TDateToDAZDate(Value)); }
TDateTime TABSVariant::GetAsTTime() const { return DAZTimeToTTime(GetAsDAZTime()); }
void TABSVariant::SetAsTTime(TDateTime Value) { SetAsDAZTime(TTimeToDAZTime(Value)); }
TDateTime TABSVariant::GetAsTDateTime() const { return DAZDateTimeToTDateTime(GetAsDAZDateTime()); }
void TABSVariant::SetAsTDateTime(TDateTime Value) { SetAsDAZDateTime(TDateTimeToDAZDateTime(Value)); }

TABSVarData TABSVariant::GetAsVariant() const {
  TABSVarData v;
  if (GetIsNull()) {
    v.VType = varNull;
    return v;
  }
  auto integer = [&v](uint16_t code, int64_t value) {
    v.VType = code;
    v.VInteger = value;
  };
  auto real = [&v](uint16_t code, double value) {
    v.VType = code;
    v.VDouble = value;
  };
  switch (FDataType) {
    case bftChar: case bftVarchar: case bftBlob:  // a BLOB does not convert: 30052
      v.VString = GetAsAnsiString();
      v.VType = varString;
      break;
    case bftWideChar: case bftWideVarchar:
      v.VOleStr = GetAsWideString();
      v.VType = varOleStr;
      break;
    case bftSignedInt8: integer(varShortInt, GetAsShortint()); break;
    case bftSignedInt16: integer(varSmallint, GetAsSmallint()); break;
    case bftSignedInt32: integer(varInteger, GetAsInteger()); break;
    case bftSignedInt64: integer(varInt64, GetAsInt64()); break;
    case bftUnsignedInt8: integer(varByte, GetAsByte()); break;
    case bftUnsignedInt16: integer(varWord, GetAsWord()); break;
    case bftUnsignedInt32: integer(varLongWord, GetAsCardinal()); break;
    case bftSingle: case bftDouble: case bftExtended: case bftCurrency: real(varDouble, GetAsDouble()); break;
    case bftDate: real(varDate, GetAsTDate()); break;
    case bftTime: real(varDate, GetAsTTime()); break;
    case bftDateTime: real(varDate, GetAsTDateTime()); break;
    case bftLogical:
      v.VType = varBoolean;
      v.VBoolean = GetAsBoolean();
      break;
    default:
      throw EABSException(30114, "Unsupported Variant Type %s", {BaseFieldTypeToSQLName(FDataType)});
  }
  return v;
}

void TABSVariant::SetAsVariant(const TABSVarData& Value) {
  switch (Value.VType) {
    case varEmpty: case varNull: SetNull(FDataType); break;
    case varSmallint: SetAsSmallint(static_cast<int16_t>(Value.VInteger)); break;
    case varInteger: SetAsInteger(static_cast<int32_t>(Value.VInteger)); break;
    case varSingle: SetAsSingle(NarrowFloat<float>(Value.VDouble)); break;
    case varDouble: SetAsDouble(Value.VDouble); break;
    case varCurrency: SetAsCurrency(Value.VDouble); break;
    case varDate: SetAsTDateTime(Value.VDouble); break;
    case varOleStr: case varUString: SetAsWideString(Value.VOleStr); break;
    case varBoolean: SetAsBoolean(Value.VBoolean); break;
    case varShortInt: SetAsShortint(static_cast<int8_t>(Value.VInteger)); break;
    case varByte: SetAsByte(static_cast<uint8_t>(Value.VInteger)); break;
    case varWord: SetAsWord(static_cast<uint16_t>(Value.VInteger)); break;
    case varLongWord: SetAsCardinal(static_cast<uint32_t>(Value.VInteger)); break;
    case varInt64: SetAsInt64(Value.VInteger); break;
    default:
      if (Value.VType >= 256 && Value.VType <= 287) {
        SetAsAnsiString(Value.VString);
        break;
      }
      throw EABSException(30113, "Unsupported Variant Type %s", {std::to_string(Value.VType)});
  }
}

// ---- arithmetic ----

void TABSVariant::InvertValue() {
  if (GetIsNull()) return;
  switch (FDataType) {
    case bftSignedInt8: SetAsShortint(static_cast<int8_t>(-static_cast<int>(GetAsShortint()))); break;
    case bftSignedInt16: SetAsSmallint(static_cast<int16_t>(-static_cast<int>(GetAsSmallint()))); break;
    case bftSignedInt32: {
      const int32_t v = GetAsInteger();
      if (v == INT32_MIN) throw EABSIntOverflow();
      SetAsInteger(-v);
      break;
    }
    case bftSignedInt64: {
      const int64_t v = GetAsInt64();
      if (v == INT64_MIN) throw EABSIntOverflow();
      SetAsInt64(-v);
      break;
    }
    case bftUnsignedInt8: SetAsByte(static_cast<uint8_t>(0u - GetAsByte())); break;
    case bftUnsignedInt16: SetAsWord(static_cast<uint16_t>(0u - GetAsWord())); break;
    case bftUnsignedInt32: SetAsCardinal(0u - GetAsCardinal()); break;
    case bftSingle: SetAsSingle(-GetAsSingle()); break;
    case bftDouble: SetAsDouble(-GetAsDouble()); break;
    case bftExtended: SetAsExtended(-GetAsExtended()); break;
    case bftCurrency: SetAsCurrency(-GetAsCurrency()); break;
    case bftDate: {
      const int32_t d = GetAsDAZDate();
      if (d == ABSMissingDate) throw EABSIntOverflow();
      SetAsDAZDate(-d);
      break;
    }
    case bftLogical: SetAsBoolean(!GetAsBoolean()); break;
    default:
      throw EABSException(30123, "Cannot invert value with not numeric type '%s'",
                          {BaseFieldTypeToSQLName(FDataType)});
  }
}

void TABSVariant::Add(const TABSVariant& Value) { Arithmetic(Value, Op::Add); }
void TABSVariant::Sub(const TABSVariant& Value) { Arithmetic(Value, Op::Sub); }
void TABSVariant::Mul(const TABSVariant& Value) { Arithmetic(Value, Op::Mul); }

void TABSVariant::Division(const TABSVariant& Value) {
  try {
    Arithmetic(Value, Op::Div);
  } catch (const EABSException&) {
    throw;
  } catch (const std::exception& e) {
    throw EABSException(30128, "Division error: %s", {String(e.what())});
  }
}

namespace {

class DivisionByZero : public Exception {
 public:
  DivisionByZero() : Exception("Division by zero") {}
};

// Integer arithmetic wraps in 64 bits; the result is cut to the type's width on store.
int64_t IntegerOp(int64_t a, int64_t b, int op) {
  const uint64_t ua = static_cast<uint64_t>(a), ub = static_cast<uint64_t>(b);
  switch (op) {
    case 0: return static_cast<int64_t>(ua + ub);
    case 1: return static_cast<int64_t>(ua - ub);
    case 2: return static_cast<int64_t>(ua * ub);
    default:
      if (b == 0) throw DivisionByZero();
      if (a == INT64_MIN && b == -1) return INT64_MIN;
      return a / b;
  }
}

int32_t Int32Op(int32_t a, int32_t b, int op) { return static_cast<int32_t>(IntegerOp(a, b, op)); }

long double RealOp(long double a, long double b, int op) {
  switch (op) {
    case 0: return a + b;
    case 1: return a - b;
    case 2: return a * b;
    default:
      if (b == 0) throw DivisionByZero();
      return a / b;
  }
}

}  // namespace

void TABSVariant::Arithmetic(const TABSVariant& Value, Op Operation) {
  static const char* const kOps[] = {"+", "-", "*", "/"};
  const int op = static_cast<int>(Operation);
  if (Operation == Op::Add) {
    if (Value.GetIsNull()) {
      if (!IsStringBaseFieldType(FDataType)) SetNull(FDataType);
      return;
    }
    if (GetIsNull()) {
      if (IsStringBaseFieldType(FDataType)) Assign(Value, true);
      return;
    }
  } else if (Value.GetIsNull() || GetIsNull()) {
    SetNull(FDataType);
    return;
  }

  const TABSBaseFieldType r = GetResultBaseFieldType(FDataType, Value.FDataType, false);
  Cast(r);  // 30052 naming "Unknown" when the two do not combine
  // The right operand in the common type: its own bytes or a converted copy.
  TABSMemBlock converted;
  const void* right = Value.FPData;
  int rightSize = Value.FDataSize;
  if (Value.FDataType != r) {
    converted.Reset(Value.ReadAs(r, rightSize));
    right = converted.Get();
  }

  if (IsStringBaseFieldType(r)) {
    if (Operation != Op::Add) RaiseNotNumeric(30124 + op, kOps[op]);
    if (IsWideStringBaseFieldType(r)) SetAsWideString(GetAsWideString() + WideView(right, -1, rightSize));
    else SetAsAnsiString(GetAsAnsiString() + AnsiString(AnsiView(right, -1, rightSize)));
    return;
  }
  if (IsInt(r)) {
    const int64_t v = IntegerOp(LoadInt(FPData, r), LoadInt(right, r), op);
    SetData(&v, GetBaseFieldTypeDataSize(r, 0), r);  // the low bytes: the result cut to width
    return;
  }
  if (IsFloat(r) || r == bftCurrency) {
    const long double v = RealOp(LoadReal(FPData, r), LoadReal(right, r), op);
    switch (r) {
      case bftSingle: SetAsSingle(NarrowFloat<float>(v)); break;
      case bftExtended: SetAsExtended(v); break;
      case bftCurrency: SetAsCurrency(NarrowFloat<double>(v)); break;
      default: SetAsDouble(NarrowFloat<double>(v)); break;
    }
    return;
  }
  if (r == bftDate || r == bftTime) {
    const int32_t a = LoadAs<int32_t>(FPData), b = LoadAs<int32_t>(right);
    // A missing date has no day to compute with: the result is NULL, not a wrapped day.
    if (r == bftDate && (a == ABSMissingDate || b == ABSMissingDate)) {
      SetNull(r);
      return;
    }
    const int32_t v = Int32Op(a, b, op);
    SetData(&v, 4, r);
    return;
  }
  if (r == bftDateTime) {
    const TABSDateTime a = LoadAs<TABSDateTime>(FPData), b = LoadAs<TABSDateTime>(right);
    if (a.Date == ABSMissingDate || b.Date == ABSMissingDate) {
      SetNull(r);
      return;
    }
    TABSDateTime v{Int32Op(a.Date, b.Date, op), Int32Op(a.Time, b.Time, op)};
    if (v.Time > ABSMSecsPerDay - 1) {
      v.Date = static_cast<int32_t>(static_cast<uint32_t>(v.Date) + static_cast<uint32_t>(v.Time / ABSMSecsPerDay));
      v.Time %= ABSMSecsPerDay;
    }
    SetAsDAZDateTime(v);
    return;
  }
  if (r == bftLogical) {
    SetAsBoolean(LoadAs<int16_t>(FPData) != 0 || LoadAs<int16_t>(right) != 0);
    return;
  }
  RaiseNotNumeric(30124 + op, kOps[op]);
}

TABSCompareResult TABSVariant::Compare(const TABSVariant& Value, bool TrueFalseNullLogic, bool CaseInsensitive,
                                       bool PartialKey) const {
  const TABSCompareResult r =
      CompareWithSizes(FPData, Value.FPData, FDataType, Value.FDataType, GetIsNull(), Value.GetIsNull(), FDataSize,
                       Value.FDataSize, PartialKey ? Value.StrLen() : -1, CaseInsensitive);
  if (TrueFalseNullLogic) return r;
  switch (r) {
    case cmprLeftNull: return cmprLower;
    case cmprRightNull: return cmprGreater;
    case cmprBothNull: return cmprEqual;
    default: return r;
  }
}

// ---- stream form ----

void TABSVariant::SaveToStream(TStream& Stream) const {
  const uint8_t type = FDataType;
  const uint8_t flag = GetIsNull() ? 255 : 0;
  WriteToStreamChecked(&type, 1, Stream, 10179);
  WriteToStreamChecked(&flag, 1, Stream, 10180);
  if (flag != 0) return;
  const int32_t size = FDataSize;  // little-endian on this platform
  WriteToStreamChecked(&size, 4, Stream, 10181);
  WriteToStreamChecked(FPData, FDataSize, Stream, 10182);
}

void TABSVariant::LoadFromStream(TStream& Stream) {
  Clear(bftUnknown);
  uint8_t type = 0, flag = 0;
  ReadFromStreamChecked(&type, 1, Stream, 10183);
  if (type >= ABSBaseFieldTypeCount) throw EABSException(10183, "Invalid data type %d", {int{type}});
  ReadFromStreamChecked(&flag, 1, Stream, 10184);
  if (flag != 0) {
    Clear(static_cast<TABSBaseFieldType>(type));
    return;
  }
  int32_t size = 0;
  ReadFromStreamChecked(&size, 4, Stream, 10185);
  const int64_t rest = Stream.Size() - Stream.Position();
  if (size <= 0 || size > rest || !FitsType(static_cast<TABSBaseFieldType>(type), size))
    throw EABSException(10185, "Invalid value size %d", {size});
  TABSMemBlock block(MemoryManager().GetMem(size));
  ReadFromStreamChecked(block.Get(), size, Stream, 10186);
  Adopt(block.Release(), size, static_cast<TABSBaseFieldType>(type));
}
