#pragma once
// The engine's typed, nullable value, with conversion between storage types,
// a stream form, type promotion, arithmetic and comparison.

#include <cstdint>

#include "db/support/DAZConverts.h"
#include "db/support/DAZTypes.h"
#include "platform/rtl/Classes.h"

// The common storage type of two operands (bftUnknown: they do not combine).
// ForComparison lets a date or time type win over a text type.
TABSBaseFieldType GetResultBaseFieldType(TABSBaseFieldType Type1, TABSBaseFieldType Type2, bool ForComparison);
TABSAdvancedFieldType GetResultAdvancedFieldType(TABSAdvancedFieldType Type1, TABSAdvancedFieldType Type2,
                                                 bool ForComparison);

// Compares two values in their stored layout. NULLs first (both, left,
// right); then both are converted to their common comparison type. Text
// compares by the engine's fixed collation, PartialLength characters (-1:
// all). Locale is accepted for callers' sake; the collation never depends on it.
// 30044 incompatible types, 30047 a type without order, 30140 a missing buffer.
TABSCompareResult CompareValueBuffers(const void* Buffer1, const void* Buffer2, TABSBaseFieldType DataType1,
                                      TABSBaseFieldType DataType2, bool IsNull1, bool IsNull2, int PartialLength,
                                      bool CaseInsensitive, int Locale = 1024);
// The same folded to -1/0/1 with NULL before every value and two NULLs equal.
int CompareValueBuffersAsInteger(const void* Buffer1, const void* Buffer2, TABSBaseFieldType DataType1,
                                 TABSBaseFieldType DataType2, bool IsNull1, bool IsNull2, int PartialLength,
                                 bool CaseInsensitive, int Locale = 1024);

// A value of the data-set framework's variant kind, as the typed value
// exchanges it with parameters and fields: the framework's type code and the
// one payload member that code uses.
enum : uint16_t {
  varEmpty = 0, varNull = 1, varSmallint = 2, varInteger = 3, varSingle = 4, varDouble = 5, varCurrency = 6,
  varDate = 7, varOleStr = 8, varBoolean = 11, varShortInt = 16, varByte = 17, varWord = 18, varLongWord = 19,
  varInt64 = 20, varString = 256, varUString = 258
};
struct TABSVarData {
  uint16_t VType = varEmpty;
  int64_t VInteger = 0;  // the integer codes
  double VDouble = 0;    // single, double, currency, date
  bool VBoolean = false;
  AnsiString VString;    // varString and the other 8-bit string codes
  WideString VOleStr;    // varOleStr, varUString
};

class TABSVariant {
 public:
  explicit TABSVariant(TABSBaseFieldType DataType = bftUnknown) : FDataType(DataType) {}
  ~TABSVariant();
  TABSVariant(const TABSVariant&) = delete;
  TABSVariant& operator=(const TABSVariant&) = delete;

  // Releases an own buffer; null of DataType afterwards.
  void Clear(TABSBaseFieldType DataType = bftUnknown);
  // Marks the value null; type and buffer stay.
  void SetNull(TABSBaseFieldType DataType = bftUnknown);

  TABSBaseFieldType DataType() const { return FDataType; }
  // A null value only changes type; a non-null one is cast, or becomes null
  // of the new type when the cast fails (nothing is raised).
  void SetDataType(TABSBaseFieldType Value);
  int DataSize() const { return FDataSize; }
  char* pData() const { return reinterpret_cast<char*>(FPData); }
  bool IsDataLinked() const { return FIsDataLinked; }
  bool GetIsNull() const { return FIsNull != 0 || FPData == nullptr; }
  bool IsNull() const { return GetIsNull(); }

  // Copies type, null state and data; without CopyDataFlag the value points
  // at Source's buffer, which must outlive it.
  void Assign(const TABSVariant& Source, bool CopyDataFlag = true);
  // Takes Size bytes as a value of DataType (Size 0 gives a null value).
  void SetData(const void* Buffer, int Size, TABSBaseFieldType DataType, bool CopyDataFlag = true);
  // Copies the bytes; false for null or empty text; 20056 when MaxSize (not -1) is too small.
  bool CopyDataToAddress(void* Buffer, int MaxSize = -1) const;

  bool IsNumericDataType() const { return IsNumericBaseFieldType(FDataType); }
  bool IsStringDataType() const { return IsStringBaseFieldType(FDataType); }
  bool IsWideStringDataType() const { return IsWideStringBaseFieldType(FDataType); }
  bool IsBlobDataType() const { return IsBlobBaseFieldType(FDataType); }
  bool IsDateTimeDataType() const { return IsDateTimeBaseFieldType(FDataType); }
  // Characters of a text value from its size; -1 for null or other types.
  int StrLen() const;
  // A 16-bit text that the 8-bit code page holds becomes bftVarchar.
  void TryToReduceWideStringToAnsiString();
  // Converts in place (30051/30052 when impossible; the value is then unchanged).
  void Cast(TABSBaseFieldType NewDataType);

  // Typed properties. A getter of a non-text type raises 30016 on null; text
  // getters give "" for null. A setter converts into the value's own type
  // (an untyped value adopts the setter's), and only replaces the value once
  // the conversion succeeded; an empty text makes the value null.
  int8_t GetAsShortint() const;
  void SetAsShortint(int8_t Value);
  int16_t GetAsSmallint() const;
  void SetAsSmallint(int16_t Value);
  int32_t GetAsInteger() const;
  void SetAsInteger(int32_t Value);
  int64_t GetAsInt64() const;
  void SetAsInt64(int64_t Value);
  uint8_t GetAsByte() const;
  void SetAsByte(uint8_t Value);
  uint16_t GetAsWord() const;
  void SetAsWord(uint16_t Value);
  uint32_t GetAsCardinal() const;
  void SetAsCardinal(uint32_t Value);
  uint32_t GetAsLongWord() const { return GetAsCardinal(); }
  void SetAsLongWord(uint32_t Value) { SetAsCardinal(Value); }
  float GetAsSingle() const;
  void SetAsSingle(float Value);
  double GetAsDouble() const;
  void SetAsDouble(double Value);
  long double GetAsExtended() const;
  void SetAsExtended(long double Value);
  AnsiString GetAsAnsiString() const;
  void SetAsAnsiString(const AnsiString& Value);
  WideString GetAsWideString() const;
  void SetAsWideString(const WideString& Value);
  int32_t GetAsDAZDate() const;
  void SetAsDAZDate(int32_t Value);
  int32_t GetAsDAZTime() const;
  void SetAsDAZTime(int32_t Value);
  TABSDateTime GetAsDAZDateTime() const;
  void SetAsDAZDateTime(TABSDateTime Value);
  TDateTime GetAsTDate() const;
  void SetAsTDate(TDateTime Value);
  TDateTime GetAsTTime() const;
  void SetAsTTime(TDateTime Value);
  TDateTime GetAsTDateTime() const;
  void SetAsTDateTime(TDateTime Value);
  bool GetAsBoolean() const;
  void SetAsBoolean(bool Value);
  bool GetAsLogical() const { return GetAsBoolean(); }
  void SetAsLogical(bool Value) { SetAsBoolean(Value); }
  double GetAsCurrency() const;
  void SetAsCurrency(double Value);
  // Null gives varNull; otherwise the variant kind of the storage type
  // (30114 for types without one). Writing varEmpty or varNull only marks
  // the value null; 30113 for codes without a storage type.
  TABSVarData GetAsVariant() const;
  void SetAsVariant(const TABSVarData& Value);

  // Unary minus in the value's own type (30123 for types without one).
  void InvertValue();
  // Arithmetic in the common type of both operands, written back into this
  // value. See the NULL rules in DAZVariant.cpp; 30124-30127 for text
  // operands of -, *, /; 30128 for a division error.
  void Add(const TABSVariant& Value);
  void Sub(const TABSVariant& Value);
  void Mul(const TABSVariant& Value);
  void Division(const TABSVariant& Value);
  // With TrueFalseNullLogic off the NULL outcomes read as lower, greater and equal.
  TABSCompareResult Compare(const TABSVariant& Value, bool TrueFalseNullLogic = true, bool CaseInsensitive = false,
                            bool PartialKey = false) const;

  // Stream form: type (1 byte), null flag (1 byte, 255 = null), then for a
  // value its size (4 bytes, little-endian) and its bytes.
  void SaveToStream(TStream& Stream) const;
  // A size that is not positive or longer than the rest of the stream is
  // refused (10185) before anything is allocated.
  void LoadFromStream(TStream& Stream);

 private:
  enum class Op { Add, Sub, Mul, Div };
  void Arithmetic(const TABSVariant& Value, Op Operation);
  // Stores Size bytes of Source as the new own buffer of DataType (copy first, release after).
  void Adopt(void* OwnBlock, int Size, TABSBaseFieldType DataType);
  void SetTyped(TABSBaseFieldType T, const void* Value, size_t ValueSize, bool IsEmptyText);
  // A new block holding this value as T (the caller frees it).
  void* ReadAs(TABSBaseFieldType T, int& Size) const;
  template <class V>
  V GetFixed(TABSBaseFieldType T) const;

  // Small values (numbers, dates, short texts) live in FInline: no block of the
  // memory manager per value. A variant never moves (no copy, no move), so
  // FPData may point into itself.
  static constexpr int InlineSize = 16;
  bool IsInline() const { return FPData == FInline; }
  // Stores Size bytes of Buffer as the value's own data of DataType.
  void StoreCopy(const void* Buffer, int Size, TABSBaseFieldType DataType);

  TABSBaseFieldType FDataType;
  int FDataSize = 0;
  uint8_t* FPData = nullptr;
  bool FIsDataLinked = false;
  uint8_t FIsNull = 255;
  alignas(16) uint8_t FInline[InlineSize];
};
