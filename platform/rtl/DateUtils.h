#pragma once
// Dates and times as a day count: the integer part counts days since
// 1899-12-30, the fraction is the time of day. Before that day the integer
// part is negative and the fraction still counts forward from midnight
// (-1.25 is 1899-12-29 06:00).

#include <cstdint>

#include "platform/rtl/SysUtils.h"

using TDateTime = double;

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = 24 * 60;
constexpr int SecsPerDay = MinsPerDay * 60;
constexpr int MSecsPerDay = SecsPerDay * 1000;
constexpr double UnixDateDelta = 25569;  // 1970-01-01 as a day count

// Local time.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Years 1..9999. EncodeDate/EncodeTime raise EConvertError on invalid parts.
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);
TDateTime EncodeDate(Word Year, Word Month, Word Day);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
TDateTime EncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec);
// Values are rounded to the millisecond first, so 23:59:59.9999 is the next day.
void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec);
void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min, Word& Sec,
                    Word& MSec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime Date);

bool IsLeapYear(Word Year);
Word DaysInAMonth(Word Year, Word Month);
Word DaysInMonth(TDateTime Value);

// Whole seconds; the day count is taken as UTC.
int64_t DateTimeToUnix(TDateTime Value);
TDateTime UnixToDateTime(int64_t Value);

TDateTime IncMilliSecond(TDateTime Value, int64_t Count = 1);
TDateTime IncSecond(TDateTime Value, int64_t Count = 1);
TDateTime IncDay(TDateTime Value, int Count = 1);
int64_t MilliSecondsBetween(TDateTime A, TDateTime B);
int64_t SecondsBetween(TDateTime A, TDateTime B);

// Pattern letters (any case): d dd ddd dddd ddddd (short date) dddddd (long date),
// m mm mmm mmmm (minutes right after an hour), yy yyyy, h hh, n nn, s ss, z zzz,
// t (short time) tt (long time), c (date and time), am/pm a/p ampm (12-hour clock),
// '/' and ':' for the date and time separators, "..." and '...' literals.
String FormatDateTime(std::string_view Format, TDateTime Value);
String FormatDateTime(std::string_view Format, TDateTime Value, const TFormatSettings& Settings);
String DateTimeToStr(TDateTime Value);
String DateToStr(TDateTime Value);
String TimeToStr(TDateTime Value);
