#include "platform/rtl/DateUtils.h"

#include <time.h>

#include <cctype>
#include <cmath>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

// The first and last day counts of years 1..9999.
constexpr double kMinDate = -693593;   // 0001-01-01
constexpr double kMaxDate = 2958465;   // 9999-12-31
constexpr int64_t kMsPerDay = MSecsPerDay;

// Splits a value into whole days and milliseconds of the day, rounding to the
// millisecond once so that date and time parts agree. False when out of range.
bool SplitMs(TDateTime value, int64_t& days, int64_t& msOfDay) {
  if (!std::isfinite(value) || value < kMinDate - 1 || value > kMaxDate + 1) return false;
  int64_t total = std::llround(value * kMsPerDay);
  days = total / kMsPerDay;  // truncates toward zero, as the day count does
  msOfDay = (total < 0 ? -total : total) % kMsPerDay;
  return true;
}

TDateTime CombineDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

const char* const kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

}  // namespace

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

Word DaysInAMonth(Word Year, Word Month) {
  static const Word days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Month < 1 || Month > 12) return 0;
  return Month == 2 && IsLeapYear(Year) ? 29 : days[Month - 1];
}

Word DaysInMonth(TDateTime Value) {
  Word y, m, d;
  DecodeDate(Value, y, m, d);
  return DaysInAMonth(y, m);
}

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInAMonth(Year, Month)) return false;
  Date = static_cast<double>(DaysFromCivil(Year, Month, Day)) + UnixDateDelta;
  return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
  TDateTime d = 0;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time) {
  if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000) return false;
  Time = (((Hour * 60.0 + Min) * 60.0 + Sec) * 1000.0 + MSec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
  TDateTime t = 0;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

TDateTime EncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec) {
  return CombineDateTime(EncodeDate(Year, Month, Day), EncodeTime(Hour, Min, Sec, MSec));
}

void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day) {
  int64_t days = 0, ms = 0;
  if (!SplitMs(Date, days, ms)) {
    Year = Month = Day = 0;
    return;
  }
  int64_t y, m, d;
  CivilFromDays(days - static_cast<int64_t>(UnixDateDelta), y, m, d);
  Year = static_cast<Word>(y);
  Month = static_cast<Word>(m);
  Day = static_cast<Word>(d);
}

void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
  int64_t days = 0, ms = 0;
  if (!SplitMs(Time, days, ms)) ms = 0;
  MSec = static_cast<Word>(ms % 1000);
  Sec = static_cast<Word>(ms / 1000 % 60);
  Min = static_cast<Word>(ms / 60000 % 60);
  Hour = static_cast<Word>(ms / 3600000);
}

void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min, Word& Sec,
                    Word& MSec) {
  DecodeDate(Value, Year, Month, Day);
  DecodeTime(Value, Hour, Min, Sec, MSec);
}

int DayOfWeek(TDateTime Date) {
  int64_t days = 0, ms = 0;
  if (!SplitMs(Date, days, ms)) return 0;
  // Day 0 (1899-12-30) was a Saturday.
  int64_t dow = ((days + 6) % 7 + 7) % 7;
  return static_cast<int>(dow) + 1;
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return EncodeDateTime(static_cast<Word>(local.tm_year + 1900), static_cast<Word>(local.tm_mon + 1),
                        static_cast<Word>(local.tm_mday), static_cast<Word>(local.tm_hour),
                        static_cast<Word>(local.tm_min), static_cast<Word>(std::min(local.tm_sec, 59)),
                        static_cast<Word>(ts.tv_nsec / 1000000));
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TDateTime now = Now();
  return now - std::trunc(now);
}

namespace {

// A day count as one straight line of milliseconds, so that values before
// 1899-12-30 (whose fraction counts forward from a negative day) add up.
int64_t ToLinearMs(TDateTime v) {
  int64_t days = 0, ms = 0;
  if (!SplitMs(v, days, ms)) return 0;
  return days * kMsPerDay + ms;
}

TDateTime FromLinearMs(int64_t linear) {
  int64_t days = linear / kMsPerDay, ms = linear % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  return CombineDateTime(static_cast<double>(days), static_cast<double>(ms) / kMsPerDay);
}

}  // namespace

int64_t DateTimeToUnix(TDateTime Value) {
  int64_t ms = ToLinearMs(Value) - static_cast<int64_t>(UnixDateDelta) * kMsPerDay;
  // Nearest second, halves away from zero.
  return ms >= 0 ? (ms + 500) / 1000 : -((-ms + 500) / 1000);
}

TDateTime UnixToDateTime(int64_t Value) {
  return FromLinearMs((Value + static_cast<int64_t>(UnixDateDelta) * SecsPerDay) * 1000);
}

TDateTime IncMilliSecond(TDateTime Value, int64_t Count) { return FromLinearMs(ToLinearMs(Value) + Count); }
TDateTime IncSecond(TDateTime Value, int64_t Count) { return IncMilliSecond(Value, Count * 1000); }
TDateTime IncDay(TDateTime Value, int Count) { return IncMilliSecond(Value, int64_t{Count} * kMsPerDay); }

int64_t MilliSecondsBetween(TDateTime A, TDateTime B) {
  int64_t d = ToLinearMs(A) - ToLinearMs(B);
  return d < 0 ? -d : d;
}

int64_t SecondsBetween(TDateTime A, TDateTime B) { return MilliSecondsBetween(A, B) / 1000; }

// ---------------------------------------------------------------------------
// FormatDateTime

namespace {

struct DateParts {
  Word year, month, day, hour, min, sec, msec;
  int dow;
};

String TwoDigits(int v) { return v < 10 ? "0" + std::to_string(v) : std::to_string(v); }

String PadNumber(int v, size_t width) {
  String s = std::to_string(v);
  return s.size() < width ? String(width - s.size(), '0') + s : s;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && SameText(text.substr(at, prefix.size()), prefix);
}

// Whether an am/pm marker follows in the pattern (outside quotes): then hours use a 12-hour clock.
bool TwelveHourAhead(std::string_view f, size_t from) {
  char quote = 0;
  for (size_t i = from; i < f.size(); ++i) {
    if (quote) {
      if (f[i] == quote) quote = 0;
    } else if (f[i] == '"' || f[i] == '\'') {
      quote = f[i];
    } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") || StartsWithNoCase(f, i, "ampm")) {
      return true;
    }
  }
  return false;
}

void AppendFormatted(String& out, std::string_view f, const DateParts& p, const TFormatSettings& fs, int depth) {
  if (depth > 2) return;  // a settings pattern that names itself
  char last = 0;          // the previous date/time letter, for m after h
  bool twelveHour = false;
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < f.size() && std::tolower(static_cast<unsigned char>(f[i + run])) == lc) ++run;
    switch (lc) {
      case '"':
      case '\'': {
        size_t end = f.find(c, i + 1);
        if (end == std::string_view::npos) end = f.size();
        out.append(f.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
      case '/': out += fs.DateSeparator; i += 1; continue;
      case ':': out += fs.TimeSeparator; i += 1; continue;
      case 'c':
        AppendFormatted(out, fs.ShortDateFormat, p, fs, depth + 1);
        if (p.hour || p.min || p.sec) {
          out += ' ';
          AppendFormatted(out, fs.LongTimeFormat, p, fs, depth + 1);
        }
        i += 1;
        continue;
      case 'y':
        out += run <= 2 ? TwoDigits(p.year % 100) : PadNumber(p.year, 4);
        break;
      case 'm':
        if (last == 'h' && run <= 2) {
          out += run == 1 ? std::to_string(p.min) : TwoDigits(p.min);
          lc = 'n';
        } else if (run == 1 || run == 2) {
          out += run == 1 ? std::to_string(p.month) : TwoDigits(p.month);
        } else {
          run = std::min<size_t>(run, 4);
          out += p.month >= 1 ? (run == 3 ? kShortMonthNames : kLongMonthNames)[p.month - 1] : "";
        }
        break;
      case 'd':
        run = std::min<size_t>(run, 6);
        if (run <= 2) {
          out += run == 1 ? std::to_string(p.day) : TwoDigits(p.day);
        } else if (run <= 4) {
          out += p.dow >= 1 ? (run == 3 ? kShortDayNames : kLongDayNames)[p.dow - 1] : "";
        } else {
          AppendFormatted(out, run == 5 ? fs.ShortDateFormat : fs.LongDateFormat, p, fs, depth + 1);
        }
        break;
      case 'h': {
        twelveHour = TwelveHourAhead(f, i + run);
        int h = p.hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        run = std::min<size_t>(run, 2);
        out += run == 1 ? std::to_string(h) : TwoDigits(h);
        break;
      }
      case 'n':
        run = std::min<size_t>(run, 2);
        out += run == 1 ? std::to_string(p.min) : TwoDigits(p.min);
        break;
      case 's':
        run = std::min<size_t>(run, 2);
        out += run == 1 ? std::to_string(p.sec) : TwoDigits(p.sec);
        break;
      case 'z':
        run = std::min<size_t>(run, 3);
        out += run == 1 ? std::to_string(p.msec) : PadNumber(p.msec, 3);
        break;
      case 't':
        run = std::min<size_t>(run, 2);
        AppendFormatted(out, run == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
        break;
      case 'a':
        if (StartsWithNoCase(f, i, "am/pm")) {
          out.append(f.substr(i + (p.hour >= 12 ? 3 : 0), 2));
          i += 5;
        } else if (StartsWithNoCase(f, i, "a/p")) {
          out += f[i + (p.hour >= 12 ? 2 : 0)];
          i += 3;
        } else if (StartsWithNoCase(f, i, "ampm")) {
          out += p.hour >= 12 ? fs.TimePMString : fs.TimeAMString;
          i += 4;
        } else {
          out += c;
          i += 1;
        }
        continue;
      default:
        out += c;
        i += 1;
        continue;
    }
    last = lc;
    i += run;
  }
}

}  // namespace

String FormatDateTime(std::string_view Format, TDateTime Value, const TFormatSettings& Settings) {
  DateParts p{};
  DecodeDateTime(Value, p.year, p.month, p.day, p.hour, p.min, p.sec, p.msec);
  p.dow = DayOfWeek(Value);
  String out;
  AppendFormatted(out, Format.empty() ? std::string_view("c") : Format, p, Settings, 0);
  return out;
}

String FormatDateTime(std::string_view Format, TDateTime Value) {
  return FormatDateTime(Format, Value, FormatSettings());
}

String DateTimeToStr(TDateTime Value) { return FormatDateTime("c", Value); }
String DateToStr(TDateTime Value) { return FormatDateTime(FormatSettings().ShortDateFormat, Value); }
String TimeToStr(TDateTime Value) { return FormatDateTime(FormatSettings().LongTimeFormat, Value); }
