#include "db/support/DAZDateFormat.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZLocalizer.h"

namespace {

const char* const kWords[] = {"YYYY", "YY",  "YEAR", "Q",  "MONTH", "MON", "MM",   "M",  "RM",
                              "DDD",  "DD",  "DAY",  "DY", "DW",    "D",   "HH12", "HH24", "HH",
                              "H12",  "H24", "H",    "NN", "N",     "SS",  "S",    "AMPM"};
constexpr int kWordCount = 26;
constexpr int kLongestWord = 5;
const char* const kRoman[] = {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"};

String Pad2(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%.2d", v);
  return b;
}

bool MatchNoCase(const String& text, size_t pos, const String& word) {
  if (word.empty() || pos + word.size() > text.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[pos + i])) != std::toupper(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

// The index of the longest name matching at pos (searching both lists), -1 for none.
int MatchName(const String& text, size_t pos, const String* a, const String* b, int count, size_t& length) {
  int best = -1;
  length = 0;
  for (const String* list : {a, b})
    for (int i = 0; i < count; ++i)
      if (list[i].size() > length && MatchNoCase(text, pos, list[i])) {
        best = i;
        length = list[i].size();
      }
  return best;
}

[[noreturn]] void BadText(const String& str) {
  throw EConvertError("'" + str + "' does not match the date format");
}

}  // namespace

const char* DateFormatWord(TDateFormatType Type) { return Type < kWordCount ? kWords[Type] : "Text"; }

TDateFormater::TDateFormater(const String& DateFormat) {
  String pending;
  auto flush = [&] {
    if (!pending.empty()) FDateFormat.push_back({dfText, pending});
    pending.clear();
  };
  size_t i = 0;
  while (i < DateFormat.size()) {
    const char c = DateFormat[i];
    if (c == '\'' || c == '"') {
      const size_t close = DateFormat.find(c, i + 1);
      if (close == String::npos) {  // an unclosed literal: the rest is ordinary text
        pending += DateFormat.substr(i + 1);
        break;
      }
      flush();
      FDateFormat.push_back({dfText, DateFormat.substr(i + 1, close - i - 1)});
      i = close + 1;
      continue;
    }
    bool matched = false;
    for (size_t k = std::min<size_t>(kLongestWord, DateFormat.size() - i); k >= 1 && !matched; --k) {
      const String upper = UpperCase(DateFormat.substr(i, k));
      for (int w = 0; w < kWordCount; ++w) {
        if (upper == kWords[w]) {
          flush();
          FDateFormat.push_back({static_cast<TDateFormatType>(w), DateFormat.substr(i, k)});
          i += k;
          matched = true;
          break;
        }
      }
    }
    if (!matched) pending += DateFormat[i++];
  }
  flush();
}

String TDateFormater::ToString(TDateTime dt) const {
  const TABSFormatSettings& fs = ABSFormatSettings();
  int year, month, day, hour, minute, second, msec;
  ABSDecodeDate(dt, year, month, day);
  ABSDecodeTime(dt, hour, minute, second, msec);
  const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  String out;
  for (const auto& t : FDateFormat) {
    switch (t.TokenType) {
      case dfYYYY: case dfYEAR: {
        char b[16];
        std::snprintf(b, sizeof b, "%.4d", year);
        out += b;
        break;
      }
      case dfYY: out += Pad2(year % 100); break;
      case dfQ: out += std::to_string((month - 1) / 3 + 1); break;
      case dfMONTH: out += fs.LongMonthNames[month - 1]; break;
      case dfMON: out += fs.ShortMonthNames[month - 1]; break;
      case dfMM: out += Pad2(month); break;
      case dfM: out += std::to_string(month); break;
      case dfRM: out += kRoman[month - 1]; break;
      case dfDDD: out += fs.ShortDayNames[ABSDayOfWeek(dt) % 7]; break;
      case dfDD: out += Pad2(day); break;
      case dfDAY: out += fs.LongDayNames[ABSDayOfWeek(dt) % 7]; break;
      case dfDY: out += std::to_string(static_cast<int>(std::trunc(dt) - ABSEncodeDate(year, 1, 1)) + 1); break;
      case dfDW: out += std::to_string(ABSDayOfWeek(dt)); break;
      case dfD: out += std::to_string(day); break;
      case dfHH12: case dfHH: out += Pad2(hour12); break;
      case dfHH24: out += Pad2(hour); break;
      case dfH12: case dfH: out += std::to_string(hour12); break;
      case dfH24: out += std::to_string(hour); break;
      case dfNN: out += Pad2(minute); break;
      case dfN: out += std::to_string(minute); break;
      case dfSS: out += Pad2(second); break;
      case dfS: out += std::to_string(second); break;
      case dfAMPM: out += hour > 11 ? "PM" : "AM"; break;
      case dfText: out += t.Text; break;
      default: throw Exception("Unknown DateFormatType");
    }
  }
  return out;
}

TDateTime TDateFormater::ToDate(const String& str) const {
  const TABSFormatSettings& fs = ABSFormatSettings();
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, dayOfYear = 0;
  bool twelveHour = false, pm = false, ampm = false;
  size_t pos = 0;
  auto readInt = [&](size_t count) {
    const String part = str.substr(std::min(pos, str.size()), count);
    pos += count;
    return StrToInt(part);
  };
  // One or two digits: two when the second character is a digit.
  auto readShort = [&] {
    const bool two = pos + 1 < str.size() && std::isdigit(static_cast<unsigned char>(str[pos + 1]));
    return readInt(two ? 2 : 1);
  };
  for (const auto& t : FDateFormat) {
    switch (t.TokenType) {
      case dfYYYY: case dfYEAR: year = readInt(4); break;
      case dfYY: {
        const int v = readInt(2);
        year = v < 30 ? 2000 + v : 1900 + v;
        break;
      }
      case dfQ: month = (readInt(1) - 1) * 3 + 1; break;
      case dfMM: month = readInt(2); break;
      case dfDD: day = readInt(2); break;
      case dfHH24: hour = readInt(2); break;
      case dfNN: minute = readInt(2); break;
      case dfSS: second = readInt(2); break;
      case dfM: month = readShort(); break;
      case dfD: day = readShort(); break;
      case dfH24: hour = readShort(); break;
      case dfN: minute = readShort(); break;
      case dfS: second = readShort(); break;
      case dfHH12: case dfHH: hour = readInt(2); twelveHour = true; break;
      case dfH12: case dfH: hour = readShort(); twelveHour = true; break;
      case dfAMPM: {
        const String word = UpperCase(str.substr(std::min(pos, str.size()), 2));
        pos += 2;
        if (word != "AM" && word != "PM") throw EABSException(30129, "AM/PM word expected, but '%s' found", {word});
        ampm = true;
        pm = word == "PM";
        break;
      }
      case dfMONTH: case dfMON: {
        size_t length;
        const int m = MatchName(str, pos, fs.LongMonthNames, fs.ShortMonthNames, 12, length);
        if (m < 0) BadText(str);
        month = m + 1;
        pos += length;
        break;
      }
      case dfRM: {
        // The longest numeral that matches (VIII, not V).
        int found = -1;
        size_t best = 0;
        for (int m = 0; m < 12; ++m)
          if (MatchNoCase(str, pos, kRoman[m]) && std::strlen(kRoman[m]) > best) {
            best = std::strlen(kRoman[m]);
            found = m;
          }
        if (found < 0) BadText(str);
        month = found + 1;
        pos += best;
        break;
      }
      case dfDDD: case dfDAY: {
        size_t length;
        if (MatchName(str, pos, fs.LongDayNames, fs.ShortDayNames, 7, length) < 0) BadText(str);
        pos += length;
        break;
      }
      case dfDY: {
        size_t n = 0;
        while (n < 3 && pos + n < str.size() && std::isdigit(static_cast<unsigned char>(str[pos + n]))) ++n;
        dayOfYear = readInt(n == 0 ? 1 : n);
        break;
      }
      case dfDW: {
        const int dw = readInt(1);
        if (dw < 1 || dw > 7) BadText(str);
        break;
      }
      case dfText: pos += t.Text.size(); break;
    }
  }
  if (ampm) {
    if (twelveHour) hour = hour % 12 + (pm ? 12 : 0);
    else if (pm && hour < 12) hour += 12;
  } else if (twelveHour) {
    hour %= 12;
  }
  TDateTime date = 0;
  if (year != 0 && month == 0 && day == 0 && dayOfYear > 0) {
    date = ABSEncodeDate(year, 1, 1) + dayOfYear - 1;
    int y, m, d;
    ABSDecodeDate(date, y, m, d);
    if (y != year) BadText(str);
  } else if (year != 0 && month != 0 && day != 0) {
    date = ABSEncodeDate(year, month, day);
  }
  return ABSComposeDateTime(date, ABSEncodeTime(hour, minute, second, 0));
}

int TDateFormater::GetStringMaxSize() const {
  const TABSFormatSettings& fs = ABSFormatSettings();
  auto longest = [](const String* names, int count, size_t atLeast) {
    for (int i = 0; i < count; ++i) atLeast = std::max(atLeast, names[i].size());
    return static_cast<int>(atLeast);
  };
  int size = 0;
  for (const auto& t : FDateFormat) {
    switch (t.TokenType) {
      case dfYYYY: case dfYEAR: case dfRM: size += 4; break;
      case dfQ: size += 1; break;
      case dfMONTH: size += longest(fs.LongMonthNames, 12, 9); break;
      case dfMON: size += longest(fs.ShortMonthNames, 12, 3); break;
      case dfDDD: size += longest(fs.ShortDayNames, 7, 3); break;
      case dfDY: size += 3; break;
      case dfDAY: size += longest(fs.LongDayNames, 7, 12); break;
      case dfText: size += static_cast<int>(t.Text.size()); break;
      default:
        if (t.TokenType > dfText) throw Exception("Unknown DateFormatType");
        size += 2;
        break;
    }
  }
  return size;
}

TABSAdvancedFieldType TDateFormater::GetDataType() const {
  bool date = false, time = false;
  for (const auto& t : FDateFormat) {
    if (t.TokenType <= dfD) date = true;
    else if (t.TokenType <= dfAMPM) time = true;
  }
  if (date && !time) return aftDate;
  if (time && !date) return aftTime;
  return aftDateTime;
}

String TDateFormater::DebugGetTotenList() const {
  String out;
  int n = 0;
  for (const auto& t : FDateFormat) {
    out += std::to_string(++n);
    out += t.TokenType == dfText ? String(" <dfText> = '") : " <df" + String(DateFormatWord(t.TokenType)) + "> = '";
    out += t.Text + "'\r\n";
  }
  return out;
}
