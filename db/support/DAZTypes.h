#pragma once
// Shared types of the database engine: storage and declared types, the SQL
// type table, value sizes, the engine's date encoding and SQL date literals.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/rtl/SysUtils.h"

// Days since 1899-12-30 with the time of day as the fraction.
using TDateTime = double;
// 8-bit text in the engine's code page (Windows-1252), as stored in records.
using AnsiString = std::string;

// Storage type of a value in records, keys and typed values (one byte, stored).
enum TABSBaseFieldType : uint8_t {
  bftUnknown, bftChar, bftWideChar, bftVarchar, bftWideVarchar,
  bftSignedInt8, bftSignedInt16, bftSignedInt32, bftSignedInt64,
  bftUnsignedInt8, bftUnsignedInt16, bftUnsignedInt32,
  bftSingle, bftDouble, bftExtended,
  bftDate, bftTime, bftDateTime,
  bftBlob, bftClob, bftWideClob,
  bftLogical, bftCurrency, bftBytes, bftVarBytes, bftBFile
};
constexpr int ABSBaseFieldTypeCount = 26;

// Declared column type of table definitions and SQL (one byte, stored).
enum TABSAdvancedFieldType : uint8_t {
  aftUnknown, aftChar, aftString, aftWideChar, aftWideString,
  aftShortint, aftSmallint, aftInteger, aftLargeint, aftByte, aftWord, aftCardinal,
  aftAutoInc, aftAutoIncShortint, aftAutoIncSmallint, aftAutoIncInteger, aftAutoIncLargeint,
  aftAutoIncByte, aftAutoIncWord, aftAutoIncCardinal,
  aftSingle, aftDouble, aftExtended, aftBoolean, aftCurrency,
  aftDate, aftTime, aftDateTime, aftTimeStamp,
  aftBytes, aftVarBytes, aftBlob, aftGraphic, aftMemo, aftFormattedMemo, aftWideMemo, aftGuid
};
constexpr int ABSAdvancedFieldTypeCount = 37;

// The data-set framework's field types, with the framework's ordinals (the
// engine reports unknown ones by number).
enum TFieldType : uint8_t {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
  ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT,
  ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid,
  ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo
};

enum TABSCompareResult : uint8_t { cmprEqual, cmprLower, cmprGreater, cmprLeftNull, cmprRightNull, cmprBothNull };
enum TABSSearchCondition : uint8_t { scNone, scEqual, scLower, scGreater, scLowerEqual, scGreaterEqual };

#pragma pack(push, 1)
// A record or item of a table: page and item within it; (-1, 0) is none.
struct TABSPageItemID {
  int32_t PageNo;
  uint16_t PageItemNo;
};
#pragma pack(pop)
static_assert(sizeof(TABSPageItemID) == 6);

// The engine's date-time: day number (0001-01-01 is day 1; TDateTime day + 693594)
// and milliseconds since midnight.
struct TABSDateTime {
  int32_t Date;
  int32_t Time;
};
constexpr int32_t ABSDateDelta = 693594;
constexpr int32_t ABSMissingDate = INT32_MIN;  // a date-time with no date part
constexpr int32_t ABSMSecsPerDay = 86400000;

struct TSQLFieldType {
  const char* SqlName;
  TABSAdvancedFieldType AdvancedFieldType;
  TABSBaseFieldType BaseFieldType;
  TFieldType FieldType;
};
constexpr int SQLFieldTypeCount = 62;
extern const TSQLFieldType SQLFieldTypes[SQLFieldTypeCount];

// Raised where sizes or day numbers would leave 32 bits.
class EABSIntOverflow : public Exception {
 public:
  EABSIntOverflow() : Exception("Integer overflow") {}
};

// Narrowing of floating values that saturates to infinity instead of leaving
// the target's range (which the language leaves undefined).
template <class T>
T NarrowFloat(long double Value) {
  if (std::isfinite(Value) && std::fabs(Value) > std::numeric_limits<T>::max())
    return Value < 0 ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
  return static_cast<T>(Value);
}

// Bytes of a stored value; Size is characters for text, bytes for the byte
// types. 30050 for bftUnknown/bftBFile, EABSIntOverflow for a huge or negative Size.
int GetBaseFieldTypeDataSize(TABSBaseFieldType DataType, int Size);

TABSBaseFieldType AdvancedFieldTypeToBaseFieldType(TABSAdvancedFieldType AdvancedFieldType);
TABSAdvancedFieldType BaseFieldTypeToAdvancedFieldType(TABSBaseFieldType BaseFieldType);
TABSAdvancedFieldType FieldTypeToAdvancedFieldType(TFieldType FieldType);  // 30289 when none
TFieldType AdvancedFieldTypeToFieldType(TABSAdvancedFieldType AdvancedFieldType);
String AdvancedFieldTypeToSQLName(TABSAdvancedFieldType AdvancedFieldType);
String BaseFieldTypeToSQLName(TABSBaseFieldType BaseFieldType);

bool IsStringBaseFieldType(TABSBaseFieldType t);
bool IsWideStringBaseFieldType(TABSBaseFieldType t);
bool IsBlobBaseFieldType(TABSBaseFieldType t);
bool IsNumericBaseFieldType(TABSBaseFieldType t);
bool IsIntegerBaseFieldType(TABSBaseFieldType t);
bool IsFloatBaseFieldType(TABSBaseFieldType t);
bool IsDateTimeBaseFieldType(TABSBaseFieldType t);
bool IsStringAdvancedFieldType(TABSAdvancedFieldType t);
bool IsWideStringAdvancedFieldType(TABSAdvancedFieldType t);
bool IsBlobAdvancedFieldType(TABSAdvancedFieldType t);
bool IsBytesAdvancedFieldType(TABSAdvancedFieldType t);
bool IsAutoincAdvancedFieldType(TABSAdvancedFieldType t);
bool IsNumericAdvancedFieldType(TABSAdvancedFieldType t);
bool IsDateTimeAdvancedFieldType(TABSAdvancedFieldType t);
bool AdvancedFieldTypeHasSize(TABSAdvancedFieldType t);
bool IsConvertibleAdvancedFieldType(TABSAdvancedFieldType t);

// Calendar helpers on TDateTime (proleptic Gregorian, years 1 .. 9999).
// The encoders raise EConvertError for an impossible date or time.
TDateTime ABSEncodeDate(int Year, int Month, int Day);
TDateTime ABSEncodeTime(int Hour, int Minute, int Second, int MilliSecond);
bool ABSTryEncodeDate(int Year, int Month, int Day, TDateTime& Value);
bool ABSTryEncodeTime(int Hour, int Minute, int Second, int MilliSecond, TDateTime& Value);
void ABSDecodeDate(TDateTime Value, int& Year, int& Month, int& Day);  // EConvertError beyond 1e12 days
void ABSDecodeTime(TDateTime Value, int& Hour, int& Minute, int& Second, int& MilliSecond);
// A date plus a time of day; before 1899-12-30 the time is subtracted (the
// fraction always counts from that day's midnight).
TDateTime ABSComposeDateTime(TDateTime Date, TDateTime Time);
int ABSDayOfWeek(TDateTime Value);  // 1 Monday .. 7 Sunday
bool ABSIsLeapYear(int Year);
int ABSDaysInMonth(int Year, int Month);

// The engine's date numbers. The date conversions raise EABSIntOverflow for
// the missing-date marker and values outside 32 bits.
TDateTime DAZDateToTDate(int32_t Date);
int32_t TDateToDAZDate(TDateTime Value);
TDateTime DAZTimeToTTime(int32_t Time);
int32_t TTimeToDAZTime(TDateTime Value);
TDateTime DAZDateTimeToTDateTime(TABSDateTime Value);
TABSDateTime TDateTimeToDAZDateTime(TDateTime Value);

// SQL literals: digit groups 4-2-2 (date), 2-2-2 (time), 4-2-2 2-2-2 (date-time),
// each ended by one character of any kind or by the end; a time may end in a
// group of 3 digits of milliseconds ("13:05:09.250"). False for another
// shape; an impossible date or time in a well-formed text raises EConvertError.
bool TryStrToSQLDate(std::string_view Text, TDateTime& Value);
bool TryStrToSQLTime(std::string_view Text, TDateTime& Value);
bool TryStrToSQLDateTime(std::string_view Text, TDateTime& Value);
