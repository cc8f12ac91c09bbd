#include "db/support/DAZLocalizer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

std::string_view TrimBlanks(std::string_view t) {
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
  return t;
}

bool StartsWithNoCase(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i)
    if (StartsWithNoCase(text.substr(i), word)) return true;
  return false;
}

String TwoDigits(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

}  // namespace

TABSFormatSettings& ABSFormatSettings() {
  static TABSFormatSettings settings;
  return settings;
}

// ---- numbers ----

bool ABSTryStrToInt64(std::string_view Text, int64_t& Value) {
  while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
  bool negative = false;
  if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) {
    negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  int base = 10;
  if (!Text.empty() && Text.front() == '$') {
    base = 16;
    Text.remove_prefix(1);
  } else if (Text.size() > 1 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
    base = 16;
    Text.remove_prefix(2);
  }
  if (Text.empty()) return false;
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), magnitude, base);
  if (ec != std::errc() || end != Text.data() + Text.size()) return false;
  if (base == 16) {  // hexadecimal text gives the bit pattern
    Value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
  }
  if (negative) {
    if (magnitude > uint64_t{1} << 63) return false;
    Value = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
    Value = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool ABSTryStrToInt(std::string_view Text, int32_t& Value) {
  int64_t v;
  if (!ABSTryStrToInt64(Text, v)) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    // Hexadecimal up to 8 digits is a 32-bit pattern.
    if (v >= 0 && v <= 0xFFFFFFFFLL && Text.find_first_of("$xX") != std::string_view::npos) {
      Value = static_cast<int32_t>(static_cast<uint32_t>(v));
      return true;
    }
    return false;
  }
  Value = static_cast<int32_t>(v);
  return true;
}

bool ABSTryStrToFloatPoint(std::string_view Text, long double& Value) {
  Text = TrimBlanks(Text);
  if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
  if (Text.empty()) return false;
  for (char c : Text)
    if (std::isalpha(static_cast<unsigned char>(c)) && c != 'e' && c != 'E') return false;
  auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, std::chars_format::general);
  return ec == std::errc() && end == Text.data() + Text.size();
}

String ABSFloatToStr(long double Value, const TABSFormatSettings& Settings) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15Lg", Value);
  String text;
  for (const char* p = buf; *p; ++p) {
    if (*p == '.') {
      text += Settings.DecimalSeparator;
    } else if (*p == 'e') {
      // 1e+20 -> 1E20, 1e-05 -> 1E-5
      text += 'E';
      ++p;
      if (*p == '-') text += '-';
      if (*p == '-' || *p == '+') ++p;
      while (*p == '0' && p[1] != '\0') ++p;
      text += p;
      break;
    } else {
      text += *p;
    }
  }
  return text;
}

bool ABSTryStrToCurr(std::string_view Text, double& Value, const TABSFormatSettings& Settings) {
  String point(TrimBlanks(Text));
  for (char& c : point) {
    if (c == '.' && Settings.DecimalSeparator != '.') return false;
    if (c == Settings.DecimalSeparator) c = '.';
  }
  long double v;
  if (!ABSTryStrToFloatPoint(point, v)) return false;
  const long double units = std::nearbyint(v * 10000.0L);
  if (!(std::fabs(units) <= 9.2233720368547758e18L)) return false;
  Value = static_cast<double>(units / 10000.0L);
  return true;
}

String ABSCurrToStr(double Value, const TABSFormatSettings& Settings) {
  const long double units = std::nearbyint(static_cast<long double>(Value) * 10000.0L);
  if (!(std::fabs(units) < 9.2233720368547758e18L)) return ABSFloatToStr(Value, Settings);
  const int64_t u = static_cast<int64_t>(units);
  const uint64_t mag = u < 0 ? 0 - static_cast<uint64_t>(u) : static_cast<uint64_t>(u);
  String text = (u < 0 ? "-" : "") + std::to_string(mag / 10000);
  String frac = std::to_string(mag % 10000);
  frac.insert(0, 4 - frac.size(), '0');
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  if (!frac.empty()) text += Settings.DecimalSeparator + frac;
  return text;
}

// ---- dates ----

String ABSFormatDateTime(std::string_view Pattern, TDateTime Value, const TABSFormatSettings& Settings) {
  int year, month, day, hour, minute, second, msec;
  ABSDecodeDate(Value, year, month, day);
  ABSDecodeTime(Value, hour, minute, second, msec);
  const bool twelveHour = ContainsNoCase(Pattern, "AMPM") || ContainsNoCase(Pattern, "AM/PM");
  String out;
  size_t i = 0;
  while (i < Pattern.size()) {
    const char c = Pattern[i];
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < Pattern.size() && std::toupper(static_cast<unsigned char>(Pattern[i + run])) == u) ++run;
    if (c == '"' || c == '\'') {
      const size_t close = Pattern.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? Pattern.size() : close;
      out.append(Pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (StartsWithNoCase(Pattern.substr(i), "AMPM")) {
      out += hour < 12 ? Settings.TimeAMString : Settings.TimePMString;
      i += 4;
      continue;
    }
    if (StartsWithNoCase(Pattern.substr(i), "AM/PM")) {
      out += hour < 12 ? "AM" : "PM";
      i += 5;
      continue;
    }
    switch (u) {
      case 'Y': {
        char b[16];
        if (run <= 2) std::snprintf(b, sizeof b, "%02d", year % 100);
        else std::snprintf(b, sizeof b, "%04d", year);
        out += b;
        break;
      }
      case 'M':
        if (run == 1) out += std::to_string(month);
        else if (run == 2) out += TwoDigits(month);
        else if (run == 3) out += Settings.ShortMonthNames[month - 1];
        else out += Settings.LongMonthNames[month - 1];
        break;
      case 'D': {
        const int dow = ABSDayOfWeek(Value) % 7;  // 0 Sunday
        if (run == 1) out += std::to_string(day);
        else if (run == 2) out += TwoDigits(day);
        else if (run == 3) out += Settings.ShortDayNames[dow];
        else out += Settings.LongDayNames[dow];
        break;
      }
      case 'H': {
        int h = hour;
        if (twelveHour) h = hour % 12 == 0 ? 12 : hour % 12;
        out += run == 1 ? std::to_string(h) : TwoDigits(h);
        break;
      }
      case 'N': out += run == 1 ? std::to_string(minute) : TwoDigits(minute); break;
      case 'S': out += run == 1 ? std::to_string(second) : TwoDigits(second); break;
      case 'Z': {
        char b[16];
        std::snprintf(b, sizeof b, run >= 3 ? "%03d" : "%d", msec);
        out += b;
        break;
      }
      case 'C':
        out += ABSDateTimeToStr(Value, Settings);
        break;
      case '/': out.append(run, Settings.DateSeparator); break;
      case ':': out.append(run, Settings.TimeSeparator); break;
      default: out.append(run, c); break;
    }
    i += run;
  }
  return out;
}

String ABSDateToStr(TDateTime Value, const TABSFormatSettings& Settings) {
  return ABSFormatDateTime(Settings.ShortDateFormat, Value, Settings);
}

String ABSTimeToStr(TDateTime Value, const TABSFormatSettings& Settings) {
  return ABSFormatDateTime(Settings.LongTimeFormat, Value, Settings);
}

String ABSDateTimeToStr(TDateTime Value, const TABSFormatSettings& Settings) {
  String text = ABSDateToStr(Value, Settings);
  if (TTimeToDAZTime(Value) != 0) text += " " + ABSTimeToStr(Value, Settings);
  return text;
}

bool ABSTryStrToDate(std::string_view Text, TDateTime& Value, const TABSFormatSettings& Settings) {
  Text = TrimBlanks(Text);
  int numbers[3];
  int digits[3];
  int count = 0;
  size_t i = 0;
  while (i < Text.size()) {
    if (count == 3) return false;
    size_t start = i;
    int v = 0;
    while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i])) && i - start < 9)
      v = v * 10 + (Text[i++] - '0');
    if (i == start) return false;
    numbers[count] = v;
    digits[count++] = static_cast<int>(i - start);
    while (i < Text.size() && Text[i] == ' ') ++i;
    if (i < Text.size()) {
      if (Text[i] != Settings.DateSeparator) return false;
      ++i;
      while (i < Text.size() && Text[i] == ' ') ++i;
      if (i == Text.size()) return false;
    }
  }
  if (count != 3) return false;
  // The order of day, month and year is that of the short date pattern.
  int yearAt = 2, monthAt = 0, dayAt = 1, seen = 0;
  bool y = false, m = false, d = false;
  for (char c : Settings.ShortDateFormat) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == 'Y' && !y) y = true, yearAt = seen++;
    else if (u == 'M' && !m) m = true, monthAt = seen++;
    else if (u == 'D' && !d) d = true, dayAt = seen++;
  }
  if (seen != 3) yearAt = 2, monthAt = 0, dayAt = 1;
  int year = numbers[yearAt];
  if (digits[yearAt] <= 2) year += year < 50 ? 2000 : 1900;
  return ABSTryEncodeDate(year, numbers[monthAt], numbers[dayAt], Value);
}

bool ABSTryStrToTime(std::string_view Text, TDateTime& Value, const TABSFormatSettings& Settings) {
  Text = TrimBlanks(Text);
  int parts[4] = {0, 0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (count < 4) {
    size_t start = i;
    int v = 0;
    while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i])) && i - start < 9)
      v = v * 10 + (Text[i++] - '0');
    if (i == start) return false;
    parts[count++] = v;
    if (i < Text.size() && count < 3 && Text[i] == Settings.TimeSeparator) {
      ++i;
    } else if (i < Text.size() && count == 3 && Text[i] == Settings.DecimalSeparator) {
      ++i;
    } else {
      break;
    }
  }
  std::string_view rest = TrimBlanks(Text.substr(i));
  int hour = parts[0];
  if (!rest.empty()) {
    bool pm;
    if (StartsWithNoCase(rest, Settings.TimeAMString) && rest.size() == Settings.TimeAMString.size()) pm = false;
    else if (StartsWithNoCase(rest, Settings.TimePMString) && rest.size() == Settings.TimePMString.size()) pm = true;
    else if (rest.size() == 2 && StartsWithNoCase(rest, "AM")) pm = false;
    else if (rest.size() == 2 && StartsWithNoCase(rest, "PM")) pm = true;
    else return false;
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (pm ? 12 : 0);
  }
  return ABSTryEncodeTime(hour, parts[1], parts[2], parts[3], Value);
}

bool ABSTryStrToDateTime(std::string_view Text, TDateTime& Value, const TABSFormatSettings& Settings) {
  Text = TrimBlanks(Text);
  const size_t blank = Text.find(' ');
  TDateTime date, time = 0;
  if (blank == std::string_view::npos) {
    if (ABSTryStrToDate(Text, date, Settings)) {
      Value = date;
      return true;
    }
    if (ABSTryStrToTime(Text, time, Settings)) {
      Value = time;
      return true;
    }
    return false;
  }
  if (!ABSTryStrToDate(Text.substr(0, blank), date, Settings)) {
    if (!ABSTryStrToTime(Text, time, Settings)) return false;
    Value = time;
    return true;
  }
  if (!ABSTryStrToTime(Text.substr(blank + 1), time, Settings)) return false;
  Value = ABSComposeDateTime(date, time);
  return true;
}
