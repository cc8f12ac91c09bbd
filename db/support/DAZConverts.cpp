#include "db/support/DAZConverts.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "db/support/DAZExcept.h"
#include "db/support/DAZLocalizer.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZUnicode.h"

namespace {

bool IsTextSource(TABSBaseFieldType t) { return IsStringBaseFieldType(t) || t == bftClob || t == bftWideClob; }
bool IsWideText(TABSBaseFieldType t) { return t == bftWideChar || t == bftWideVarchar || t == bftWideClob; }
bool IsNumber(TABSBaseFieldType t) { return IsIntegerBaseFieldType(t) || IsFloatBaseFieldType(t); }

// Result block under construction; freed unless handed out.
struct Result {
  TABSMemBlock block;
  int size = 0;

  uint8_t* Make(int n) {
    block.Reset(MemoryManager().GetMem(n));
    size = n;
    return block.Bytes();
  }
  void Ansi(const AnsiString& text) {
    std::memcpy(Make(static_cast<int>(text.size()) + 1), text.c_str(), text.size() + 1);
  }
  void Wide(const WideString& text) {
    std::memcpy(Make(static_cast<int>(text.size() + 1) * 2), text.c_str(), (text.size() + 1) * 2);
  }
  // UTF-8 text made by the engine's formatting, into the target's text type.
  void Text(TABSBaseFieldType dest, const String& utf8) {
    if (IsWideStringBaseFieldType(dest)) Wide(UTF8ToUTF16(utf8));
    else Ansi(UTF8ToAnsi(utf8));
  }
  template <class T>
  void Raw(T v) {
    std::memcpy(Make(sizeof(T)), &v, sizeof(T));
  }
  // Integers are cut to the target's width (two's complement).
  void Integer(TABSBaseFieldType dest, int64_t v) {
    const int n = GetBaseFieldTypeDataSize(dest, 0);
    std::memcpy(Make(n), &v, static_cast<size_t>(n));  // little-endian: the low bytes
  }
  void Float(TABSBaseFieldType dest, long double v) {
    if (dest == bftSingle) Raw(NarrowFloat<float>(v));
    else if (dest == bftDouble) Raw(NarrowFloat<double>(v));
    else std::memcpy(Make(10), &v, 10);  // the x87 80-bit value
  }
  void Logical(bool v) { Raw(static_cast<int16_t>(v ? -1 : 0)); }
  void DateTime(int32_t date, int32_t time) { Raw(TABSDateTime{date, time}); }
};

template <class T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

int64_t LoadInteger(const void* p, TABSBaseFieldType t) {
  switch (t) {
    case bftSignedInt8: return Load<int8_t>(p);
    case bftSignedInt16: return Load<int16_t>(p);
    case bftSignedInt32: return Load<int32_t>(p);
    case bftSignedInt64: return Load<int64_t>(p);
    case bftUnsignedInt8: return Load<uint8_t>(p);
    case bftUnsignedInt16: return Load<uint16_t>(p);
    default: return Load<uint32_t>(p);
  }
}

long double LoadFloat(const void* p, TABSBaseFieldType t) {
  if (t == bftSingle) return Load<float>(p);
  if (t == bftDouble || t == bftCurrency) return Load<double>(p);
  long double v = 0;
  std::memcpy(&v, p, 10);
  return v;
}

// Truncation toward zero of a floating value that must fit 64 bits.
int64_t TruncToInt64(long double v) {
  const long double t = std::trunc(v);
  if (!(t >= -9223372036854775808.0L && t < 9223372036854775808.0L)) throw EABSIntOverflow();
  return static_cast<int64_t>(t);
}

int32_t ToInt32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) throw EABSIntOverflow();
  return static_cast<int32_t>(v);
}

// The text of a text source, 8-bit or 16-bit, bounded by the known size.
AnsiString LoadAnsi(const void* p, int size, TABSBaseFieldType t) {
  const char* c = static_cast<const char*>(p);
  if (t == bftClob && size > 0) return AnsiString(c, static_cast<size_t>(size));
  size_t n = 0;
  while ((size <= 0 || n < static_cast<size_t>(size)) && c[n] != 0) ++n;
  return AnsiString(c, n);
}

WideString LoadWide(const void* p, int size, TABSBaseFieldType t) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  const size_t limit = size > 0 ? static_cast<size_t>(size) / 2 : SIZE_MAX;
  WideString out;
  for (size_t i = 0; i < limit; ++i) {
    char16_t c;
    std::memcpy(&c, b + i * 2, 2);
    if (c == 0 && !(t == bftWideClob && size > 0)) break;
    out.push_back(c);
  }
  return out;
}

[[noreturn]] void ThrowConvert() { throw EConvertError("invalid value"); }

void FromText(const void* src, int size, TABSBaseFieldType st, TABSBaseFieldType dt, Result& r) {
  const bool wide = IsWideText(st);
  const AnsiString ansi = wide ? AnsiString() : LoadAnsi(src, size, st);
  const WideString wtext = wide ? LoadWide(src, size, st) : WideString();
  if (IsStringBaseFieldType(dt)) {
    if (IsWideStringBaseFieldType(dt)) r.Wide(wide ? wtext : AnsiToWide(ansi));
    else r.Ansi(wide ? WideToAnsi(wtext) : ansi);
    return;
  }
  if (dt == bftBlob) {
    if (wide) r.Wide(wtext);
    else r.Ansi(ansi);
    return;
  }
  const String text = wide ? UTF16ToUTF8(wtext) : AnsiToUTF8(ansi);
  const bool sqlForms = st == bftChar || st == bftVarchar;
  if (IsIntegerBaseFieldType(dt)) {
    int64_t v;
    // The 64-bit reader also serves CARDINAL, whose upper half no 32-bit
    // reader accepts; what fits neither its range nor a 32-bit one is refused
    // rather than wrapped.
    if (dt == bftUnsignedInt32) {
      if (!ABSTryStrToInt64(text, v) || v < std::numeric_limits<int32_t>::min() ||
          v > std::numeric_limits<uint32_t>::max())
        ThrowConvert();
    } else if (dt == bftSignedInt64 && IsStringBaseFieldType(st)) {
      if (!ABSTryStrToInt64(text, v)) ThrowConvert();
    } else {
      int32_t v32;
      if (!ABSTryStrToInt(text, v32)) ThrowConvert();
      v = v32;
    }
    r.Integer(dt, v);
  } else if (IsFloatBaseFieldType(dt)) {
    long double v;
    if (!ABSTryStrToFloatPoint(text, v)) ThrowConvert();
    r.Float(dt, v);
  } else if (dt == bftCurrency) {
    double v;
    if (!ABSTryStrToCurr(text, v)) ThrowConvert();
    r.Raw(v);
  } else if (dt == bftDate) {
    TDateTime v;
    if (!(sqlForms && (TryStrToSQLDateTime(text, v) || TryStrToSQLDate(text, v))) && !ABSTryStrToDate(text, v))
      ThrowConvert();
    r.Raw(TDateToDAZDate(v));
  } else if (dt == bftTime) {
    TDateTime v;
    if (!(sqlForms && TryStrToSQLTime(text, v)) && !ABSTryStrToTime(text, v)) ThrowConvert();
    r.Raw(TTimeToDAZTime(v));
  } else if (dt == bftDateTime) {
    TDateTime v;
    if (!(sqlForms && (TryStrToSQLDateTime(text, v) || TryStrToSQLDate(text, v))) &&
        !ABSTryStrToDateTime(text, v))
      ThrowConvert();
    const TABSDateTime d = TDateTimeToDAZDateTime(v);
    r.DateTime(d.Date, d.Time);
  } else if (dt == bftLogical) {
    const String upper = UpperCase(text);
    r.Logical(upper == "1" || upper == "TRUE");
  }
}

// Integer, floating, date, time, date-time, logical and currency sources.
void FromScalar(const void* src, TABSBaseFieldType st, TABSBaseFieldType dt, Result& r) {
  const auto& settings = ABSFormatSettings();
  // Each source reduced to what its conversions need.
  int64_t asInt = 0;       // value for integer targets
  long double asFloat = 0;  // value for floating and currency targets
  bool truth = false;
  String text;
  int32_t toDate = 0, toTime = 0;     // values for bftDate and bftTime targets
  TABSDateTime toDateTime{0, 0};      // value for bftDateTime targets
  if (IsIntegerBaseFieldType(st)) {
    const int64_t v = LoadInteger(src, st);
    asInt = v;
    asFloat = static_cast<long double>(v);
    truth = v != 0;
    text = std::to_string(v);
    toDate = toTime = static_cast<int32_t>(v);  // the low 32 bits
    toDateTime = {toDate, 0};
  } else if (IsFloatBaseFieldType(st) || st == bftCurrency) {
    const long double v = LoadFloat(src, st);
    asFloat = v;
    truth = v != 0;
    if (IsIntegerBaseFieldType(dt)) asInt = TruncToInt64(v);
    if (IsStringBaseFieldType(dt)) text = st == bftCurrency ? ABSCurrToStr(static_cast<double>(v)) : ABSFloatToStr(v);
    if (IsDateTimeBaseFieldType(dt)) {
      const int64_t whole = TruncToInt64(v);
      // A time only keeps the remainder: large values are no reason to fail.
      toTime = static_cast<int32_t>(whole % ABSMSecsPerDay);
      if (dt != bftTime) toDate = ToInt32(whole);
      if (dt == bftDateTime)
        toDateTime = {toDate, static_cast<int32_t>(TruncToInt64((v - std::trunc(v)) * ABSMSecsPerDay))};
    }
  } else if (st == bftDate) {
    const int32_t d = Load<int32_t>(src);
    asInt = d;
    asFloat = d;
    truth = d != ABSMissingDate;
    if (IsStringBaseFieldType(dt) && truth) text = ABSDateToStr(DAZDateToTDate(d));
    toDate = d;
    toTime = d % ABSMSecsPerDay;
    toDateTime = {d, 0};
  } else if (st == bftTime) {
    const int32_t t = Load<int32_t>(src);
    asInt = t;
    asFloat = t;
    truth = t != 0;
    if (IsStringBaseFieldType(dt) && truth) text = ABSTimeToStr(DAZTimeToTTime(t));
    toDate = toTime = t;
    toDateTime = {ABSMissingDate, t};
  } else if (st == bftDateTime) {
    const TABSDateTime v = Load<TABSDateTime>(src);
    asInt = v.Date;
    asFloat = (v.Date == ABSMissingDate ? 0 : v.Date) + (v.Time != 0 ? v.Time / static_cast<long double>(ABSMSecsPerDay) : 0);
    truth = v.Date != ABSMissingDate || v.Time != 0;
    if (IsStringBaseFieldType(dt)) {
      // Empty only when both parts are; a time without its date has no
      // date-time text (the date conversion refuses the marker).
      if (v.Date != ABSMissingDate || v.Time != 0) text = ABSDateTimeToStr(DAZDateTimeToTDateTime(v));
    }
    if (dt == bftCurrency && !(std::fabs(asFloat) <= 922337203685477.0L)) throw EABSIntOverflow();
    toDate = v.Date;
    toTime = v.Time;
    toDateTime = v;
  } else if (st == bftLogical) {
    truth = Load<int16_t>(src) != 0;
    asInt = truth ? 1 : 0;
    asFloat = asInt;
    if (IsStringBaseFieldType(dt))
      text = IsWideStringBaseFieldType(dt) ? (truth ? settings.TrueBoolStr : settings.FalseBoolStr)
                                           : (truth ? "True" : "False");
    if (dt == bftLogical) {
      r.Raw(Load<int16_t>(src));  // the word as stored
      return;
    }
  }

  if (IsStringBaseFieldType(dt)) r.Text(dt, text);
  else if (IsIntegerBaseFieldType(dt)) r.Integer(dt, asInt);
  else if (IsFloatBaseFieldType(dt)) r.Float(dt, asFloat);
  else if (dt == bftCurrency) r.Raw(NarrowFloat<double>(asFloat));
  else if (dt == bftLogical) r.Logical(truth);
  else if (dt == bftDate) r.Raw(toDate);
  else if (dt == bftTime) r.Raw(toTime);
  else if (dt == bftDateTime) r.DateTime(toDateTime.Date, toDateTime.Time);
}

}  // namespace

bool IsConversionSupported(TABSBaseFieldType st, TABSBaseFieldType dt) {
  const bool toCommon = IsStringBaseFieldType(dt) || IsNumber(dt);
  if (IsTextSource(st))
    return toCommon || IsDateTimeBaseFieldType(dt) || dt == bftBlob || dt == bftLogical || dt == bftCurrency;
  if (IsNumber(st) || IsDateTimeBaseFieldType(st))
    return toCommon || IsDateTimeBaseFieldType(dt) || dt == bftLogical || dt == bftCurrency;
  if (st == bftLogical) return toCommon || dt == bftLogical;
  if (st == bftCurrency) return toCommon || dt == bftLogical || dt == bftCurrency;
  return false;
}

void* ConvertValue(const void* Source, int SourceSize, TABSBaseFieldType SourceType, int& DestSize,
                   TABSBaseFieldType DestType) {
  if (!IsConversionSupported(SourceType, DestType))
    throw EABSException(30052, "Cannot cast from '%s' to '%s'",
                        {BaseFieldTypeToSQLName(SourceType), BaseFieldTypeToSQLName(DestType)});
  Result r;
  try {
    // A fixed-size value shorter than its type is refused, never read past.
    if (!IsTextSource(SourceType) && SourceSize > 0 && SourceSize < GetBaseFieldTypeDataSize(SourceType, 0))
      ThrowConvert();
    if (IsTextSource(SourceType)) FromText(Source, SourceSize, SourceType, DestType, r);
    else FromScalar(Source, SourceType, DestType, r);
  } catch (...) {
    throw EABSException(30051, "Cannot cast from '%s' to '%s'",
                        {BaseFieldTypeToSQLName(SourceType), BaseFieldTypeToSQLName(DestType)});
  }
  DestSize = r.size;
  return r.block.Release();
}

void* CopyValueToNewBuffer(TABSBaseFieldType DataType, const void* Value, int& Size) {
  Size = 0;
  int n = 0;
  size_t chars = 0;
  try {
    if (IsWideStringBaseFieldType(DataType)) {
      chars = LoadWide(Value, 0, DataType).size();
    } else if (IsStringBaseFieldType(DataType)) {
      chars = std::strlen(static_cast<const char*>(Value));
    }
    if (chars > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
    n = GetBaseFieldTypeDataSize(DataType, static_cast<int>(chars));
  } catch (...) {
    return nullptr;  // no size for this type: the caller reports the failed conversion
  }
  void* block = nullptr;
  try {
    block = MemoryManager().GetMem(n);
  } catch (...) {
    return nullptr;
  }
  std::memcpy(block, Value, static_cast<size_t>(n));  // for text: the characters and the terminator
  Size = n;
  return block;
}
