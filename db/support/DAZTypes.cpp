#include "db/support/DAZTypes.h"

#include <cmath>
#include <limits>

#include "db/support/DAZExcept.h"

// Row order decides every lookup: the first matching row wins.
const TSQLFieldType SQLFieldTypes[SQLFieldTypeCount] = {
    {"CHAR", aftChar, bftChar, ftFixedChar},
    {"FIXEDCHAR", aftChar, bftChar, ftFixedChar},
    {"STRING", aftString, bftVarchar, ftString},
    {"VARCHAR", aftString, bftVarchar, ftString},
    {"VARCHAR2", aftString, bftVarchar, ftString},
    {"WIDECHAR", aftWideChar, bftWideChar, ftWideString},
    {"FIXEDWIDECHAR", aftWideChar, bftWideChar, ftWideString},
    {"WIDESTRING", aftWideString, bftWideVarchar, ftWideString},
    {"WIDEVARCHAR", aftWideString, bftWideVarchar, ftWideString},
    {"SMALLINT", aftSmallint, bftSignedInt16, ftSmallint},
    {"SIGNEDINT16", aftSmallint, bftSignedInt16, ftSmallint},
    {"SHORTINT", aftShortint, bftSignedInt8, ftSmallint},
    {"SIGNEDINT8", aftShortint, bftSignedInt8, ftSmallint},
    {"INTEGER", aftInteger, bftSignedInt32, ftInteger},
    {"SIGNEDINT32", aftInteger, bftSignedInt32, ftInteger},
    {"LARGEINT", aftLargeint, bftSignedInt64, ftLargeint},
    {"INT64", aftLargeint, bftSignedInt64, ftLargeint},
    {"SIGNEDINT64", aftLargeint, bftSignedInt64, ftLargeint},
    {"WORD", aftWord, bftUnsignedInt16, ftWord},
    {"UNSIGNEDINT16", aftWord, bftUnsignedInt16, ftWord},
    {"BYTE", aftByte, bftUnsignedInt8, ftWord},
    {"UNSIGNEDINT8", aftByte, bftUnsignedInt8, ftWord},
    {"CARDINAL", aftCardinal, bftUnsignedInt32, ftLargeint},
    {"UNSIGNEDINT32", aftCardinal, bftUnsignedInt32, ftLargeint},
    {"AUTOINC", aftAutoInc, bftSignedInt32, ftAutoInc},
    {"AUTOINCSHORTINT", aftAutoIncShortint, bftSignedInt8, ftAutoInc},
    {"AUTOINCSMALLINT", aftAutoIncSmallint, bftSignedInt16, ftAutoInc},
    {"AUTOINCINTEGER", aftAutoIncInteger, bftSignedInt32, ftAutoInc},
    {"AUTOINCLARGEINT", aftAutoIncLargeint, bftSignedInt64, ftLargeint},
    {"AUTOINCBYTE", aftAutoIncByte, bftUnsignedInt8, ftAutoInc},
    {"AUTOINCWORD", aftAutoIncWord, bftUnsignedInt16, ftAutoInc},
    {"AUTOINCCARDINAL", aftAutoIncCardinal, bftUnsignedInt32, ftAutoInc},
    {"FLOAT", aftDouble, bftDouble, ftFloat},
    {"FLOAT", aftDouble, bftDouble, ftBCD},
    {"SINGLE", aftSingle, bftSingle, ftFloat},
    {"DOUBLE", aftDouble, bftDouble, ftFloat},
    {"EXTENDED", aftExtended, bftExtended, ftFloat},
    {"LOGICAL", aftBoolean, bftLogical, ftBoolean},
    {"BOOLEAN", aftBoolean, bftLogical, ftBoolean},
    {"BOOL", aftBoolean, bftLogical, ftBoolean},
    {"BIT", aftBoolean, bftLogical, ftBoolean},
    {"CURRENCY", aftCurrency, bftCurrency, ftCurrency},
    {"MONEY", aftCurrency, bftCurrency, ftCurrency},
    {"DATE", aftDate, bftDate, ftDate},
    {"TIME", aftTime, bftTime, ftTime},
    {"DATETIME", aftDateTime, bftDateTime, ftDateTime},
    {"TIMESTAMP", aftTimeStamp, bftDateTime, ftTimeStamp},
    {"BYTES", aftBytes, bftBytes, ftBytes},
    {"VARBYTES", aftVarBytes, bftVarBytes, ftVarBytes},
    {"BLOB", aftBlob, bftBlob, ftBlob},
    {"BLOB", aftBlob, bftBlob, ftParadoxOle},
    {"BLOB", aftBlob, bftBlob, ftTypedBinary},
    {"BLOB", aftBlob, bftBlob, ftDBaseOle},
    {"BLOB", aftBlob, bftBlob, ftOraBlob},
    {"BLOB", aftBlob, bftBlob, ftOraClob},
    {"GRAPHIC", aftGraphic, bftBlob, ftGraphic},
    {"MEMO", aftMemo, bftClob, ftMemo},
    {"CLOB", aftMemo, bftClob, ftMemo},
    {"FORMATTEDMEMO", aftFormattedMemo, bftClob, ftFmtMemo},
    {"WIDEMEMO", aftWideMemo, bftWideClob, ftWideMemo},
    {"WIDECLOB", aftWideMemo, bftWideClob, ftWideMemo},
    {"GUID", aftGuid, bftChar, ftGuid},
};

namespace {

template <class Pred>
const TSQLFieldType* FindRow(Pred pred) {
  for (const auto& row : SQLFieldTypes)
    if (pred(row)) return &row;
  return nullptr;
}

int32_t CheckedInt32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) throw EABSIntOverflow();
  return static_cast<int32_t>(v);
}

constexpr int kCumulativeDays[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                        {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

}  // namespace

int GetBaseFieldTypeDataSize(TABSBaseFieldType DataType, int Size) {
  const int64_t n = Size;
  switch (DataType) {
    case bftChar: case bftVarchar: case bftBytes: case bftVarBytes:
      if (n < 0) throw EABSIntOverflow();
      return CheckedInt32(n + 1);
    case bftWideChar: case bftWideVarchar:
      if (n < 0) throw EABSIntOverflow();
      return CheckedInt32((n + 1) * 2);
    case bftSignedInt8: case bftUnsignedInt8: return 1;
    case bftSignedInt16: case bftUnsignedInt16: case bftLogical: return 2;
    case bftSignedInt32: case bftUnsignedInt32: case bftSingle: case bftDate: case bftTime: return 4;
    case bftSignedInt64: case bftDouble: case bftDateTime: case bftCurrency: return 8;
    case bftExtended: case bftBlob: case bftClob: case bftWideClob: return 10;
    default:
      throw EABSException(30050, "Unknown DataType: '%s'", {BaseFieldTypeToSQLName(DataType)});
  }
}

TABSBaseFieldType AdvancedFieldTypeToBaseFieldType(TABSAdvancedFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.AdvancedFieldType == t; });
  return row ? row->BaseFieldType : bftUnknown;
}

TABSAdvancedFieldType BaseFieldTypeToAdvancedFieldType(TABSBaseFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.BaseFieldType == t; });
  return row ? row->AdvancedFieldType : aftUnknown;
}

TABSAdvancedFieldType FieldTypeToAdvancedFieldType(TFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.FieldType == t; });
  if (!row) throw EABSException(30289, "Unknown DataType: '%s'", {std::to_string(static_cast<int>(t))});
  return row->AdvancedFieldType;
}

TFieldType AdvancedFieldTypeToFieldType(TABSAdvancedFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.AdvancedFieldType == t; });
  return row ? row->FieldType : ftUnknown;
}

String AdvancedFieldTypeToSQLName(TABSAdvancedFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.AdvancedFieldType == t; });
  return row ? row->SqlName : "Unknown";
}

String BaseFieldTypeToSQLName(TABSBaseFieldType t) {
  auto* row = FindRow([t](const TSQLFieldType& r) { return r.BaseFieldType == t; });
  return row ? row->SqlName : "Unknown";
}

bool IsStringBaseFieldType(TABSBaseFieldType t) {
  return t == bftChar || t == bftWideChar || t == bftVarchar || t == bftWideVarchar;
}
bool IsWideStringBaseFieldType(TABSBaseFieldType t) { return t == bftWideChar || t == bftWideVarchar; }
bool IsBlobBaseFieldType(TABSBaseFieldType t) { return t == bftBlob || t == bftClob || t == bftWideClob; }
bool IsIntegerBaseFieldType(TABSBaseFieldType t) { return t >= bftSignedInt8 && t <= bftUnsignedInt32; }
bool IsFloatBaseFieldType(TABSBaseFieldType t) { return t >= bftSingle && t <= bftExtended; }
bool IsNumericBaseFieldType(TABSBaseFieldType t) { return (t >= bftSignedInt8 && t <= bftExtended) || t == bftCurrency; }
bool IsDateTimeBaseFieldType(TABSBaseFieldType t) { return t == bftDate || t == bftTime || t == bftDateTime; }

bool IsStringAdvancedFieldType(TABSAdvancedFieldType t) {
  return t == aftChar || t == aftString || t == aftWideChar || t == aftWideString || t == aftGuid;
}
bool IsWideStringAdvancedFieldType(TABSAdvancedFieldType t) { return t == aftWideChar || t == aftWideString; }
bool IsBlobAdvancedFieldType(TABSAdvancedFieldType t) { return t >= aftBlob && t <= aftWideMemo; }
bool IsBytesAdvancedFieldType(TABSAdvancedFieldType t) { return t == aftBytes || t == aftVarBytes; }
bool IsAutoincAdvancedFieldType(TABSAdvancedFieldType t) { return t >= aftAutoInc && t <= aftAutoIncCardinal; }
bool IsNumericAdvancedFieldType(TABSAdvancedFieldType t) {
  return IsNumericBaseFieldType(AdvancedFieldTypeToBaseFieldType(t));
}
bool IsDateTimeAdvancedFieldType(TABSAdvancedFieldType t) {
  return IsDateTimeBaseFieldType(AdvancedFieldTypeToBaseFieldType(t));
}
bool AdvancedFieldTypeHasSize(TABSAdvancedFieldType t) {
  return t == aftChar || t == aftString || t == aftWideChar || t == aftWideString || t == aftBytes ||
         t == aftVarBytes;
}
bool IsConvertibleAdvancedFieldType(TABSAdvancedFieldType t) {
  return (t >= aftChar && t <= aftTimeStamp) || t == aftMemo || t == aftFormattedMemo || t == aftWideMemo;
}

// ---- calendar ----

bool ABSIsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

int ABSDaysInMonth(int Year, int Month) {
  const int leap = ABSIsLeapYear(Year) ? 1 : 0;
  return kCumulativeDays[leap][Month] - kCumulativeDays[leap][Month - 1];
}

bool ABSTryEncodeDate(int Year, int Month, int Day, TDateTime& Value) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > ABSDaysInMonth(Year, Month))
    return false;
  const int64_t y = Year - 1;
  const int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + kCumulativeDays[ABSIsLeapYear(Year) ? 1 : 0][Month - 1] +
                       Day;  // 0001-01-01 is day 1
  Value = static_cast<double>(days - ABSDateDelta);
  return true;
}

bool ABSTryEncodeTime(int Hour, int Minute, int Second, int MilliSecond, TDateTime& Value) {
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || MilliSecond < 0 ||
      MilliSecond > 999)
    return false;
  Value = (((Hour * 60.0 + Minute) * 60.0 + Second) * 1000.0 + MilliSecond) / ABSMSecsPerDay;
  return true;
}

TDateTime ABSEncodeDate(int Year, int Month, int Day) {
  TDateTime v;
  if (!ABSTryEncodeDate(Year, Month, Day, v)) throw EConvertError("Invalid argument to date encode");
  return v;
}

TDateTime ABSEncodeTime(int Hour, int Minute, int Second, int MilliSecond) {
  TDateTime v;
  if (!ABSTryEncodeTime(Hour, Minute, Second, MilliSecond, v)) throw EConvertError("Invalid argument to time encode");
  return v;
}

void ABSDecodeDate(TDateTime Value, int& Year, int& Month, int& Day) {
  if (!(std::fabs(Value) < 1e12)) throw EConvertError("Invalid date value");
  // Civil date from a day count (days since 1970-01-01), valid far beyond 1..9999.
  int64_t z = static_cast<int64_t>(std::trunc(Value)) + ABSDateDelta - 1 - 719162;
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  Year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  Month = static_cast<int>(m);
  Day = static_cast<int>(d);
}

void ABSDecodeTime(TDateTime Value, int& Hour, int& Minute, int& Second, int& MilliSecond) {
  double frac = std::fabs(Value - std::trunc(Value));
  int64_t ms = static_cast<int64_t>(std::llround(frac * ABSMSecsPerDay));
  if (ms >= ABSMSecsPerDay) ms = ABSMSecsPerDay - 1;
  Hour = static_cast<int>(ms / 3600000);
  Minute = static_cast<int>(ms / 60000 % 60);
  Second = static_cast<int>(ms / 1000 % 60);
  MilliSecond = static_cast<int>(ms % 1000);
}

int ABSDayOfWeek(TDateTime Value) {
  // 1899-12-30 was a Saturday.
  double w = std::fmod(std::trunc(Value) + 5, 7.0);  // 0 Monday
  if (w < 0) w += 7;
  return std::isfinite(w) ? static_cast<int>(w) + 1 : 1;
}

// ---- engine date numbers ----

TDateTime DAZDateToTDate(int32_t Date) { return static_cast<double>(CheckedInt32(int64_t{Date} - ABSDateDelta)); }

int32_t TDateToDAZDate(TDateTime Value) {
  const double t = std::trunc(Value);
  if (!(t > -4e9 && t < 4e9)) throw EABSIntOverflow();
  return CheckedInt32(static_cast<int64_t>(t) + ABSDateDelta);
}

TDateTime DAZTimeToTTime(int32_t Time) {
  const double v = static_cast<double>(Time) / ABSMSecsPerDay;
  return v - std::trunc(v);
}

// The time keeps the fraction's sign: before 1899-12-30 (-1.25 is 1899-12-29
// 06:00) it is stored negative, so that date plus time gives the value back
// and (date, time) pairs order as the values do.
int32_t TTimeToDAZTime(TDateTime Value) {
  const double frac = Value - std::trunc(Value);
  return static_cast<int32_t>(std::nearbyint(frac * ABSMSecsPerDay));  // default rounding: ties to even
}

TDateTime ABSComposeDateTime(TDateTime Date, TDateTime Time) { return Date >= 0 ? Date + Time : Date - Time; }

TDateTime DAZDateTimeToTDateTime(TABSDateTime Value) {
  return DAZDateToTDate(Value.Date) + DAZTimeToTTime(Value.Time);
}

TABSDateTime TDateTimeToDAZDateTime(TDateTime Value) { return {TDateToDAZDate(Value), TTimeToDAZTime(Value)}; }

// ---- SQL literals ----

namespace {

class DigitGroups {
 public:
  explicit DigitGroups(std::string_view text) : text_(text) {}
  // Reads exactly n digits ended by one character of any kind or the end.
  bool Next(int n, int& value) {
    int count = 0;
    value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (count < 9) value = value * 10 + (text_[pos_] - '0');
      ++count;
      ++pos_;
    }
    ++pos_;  // the separator (or past the end)
    return count == n;
  }
  bool UsedUp() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

bool TryStrToSQLDate(std::string_view Text, TDateTime& Value) {
  DigitGroups g(Text);
  int y, m, d;
  if (!g.Next(4, y) || !g.Next(2, m) || !g.Next(2, d) || !g.UsedUp()) return false;
  Value = ABSEncodeDate(y, m, d);
  return true;
}

namespace {

// Hours, minutes and seconds, then optionally three digits of milliseconds, to the end.
bool ReadSQLTime(DigitGroups& g, TDateTime& Time) {
  int h, n, s, ms = 0;
  if (!g.Next(2, h) || !g.Next(2, n) || !g.Next(2, s)) return false;
  if (!g.UsedUp() && !g.Next(3, ms)) return false;
  if (!g.UsedUp()) return false;
  Time = ABSEncodeTime(h, n, s, ms);
  return true;
}

}  // namespace

bool TryStrToSQLTime(std::string_view Text, TDateTime& Value) {
  DigitGroups g(Text);
  return ReadSQLTime(g, Value);
}

bool TryStrToSQLDateTime(std::string_view Text, TDateTime& Value) {
  DigitGroups g(Text);
  int y, m, d;
  TDateTime time;
  if (!g.Next(4, y) || !g.Next(2, m) || !g.Next(2, d) || !ReadSQLTime(g, time)) return false;
  Value = ABSComposeDateTime(ABSEncodeDate(y, m, d), time);
  return true;
}
