#pragma once
// Number and date text of the database engine. All of it reads one explicit
// settings object (English defaults) and never the process's locale or any
// other global state, so engine text is the same on every machine and one
// thread's parse never disturbs another's.

#include <cstdint>
#include <string_view>

#include "db/support/DAZTypes.h"

struct TABSFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  // Patterns: y/m/d/h/n/s/z letters, "AMPM", '/' and ':' print the separators, quoted text as is.
  String ShortDateFormat = "m/d/yyyy";
  String LongTimeFormat = "h:nn:ss AMPM";
  String TimeAMString = "AM";
  String TimePMString = "PM";
  String ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  String LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
  // Sunday first.
  String ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  String LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  String TrueBoolStr = "True";
  String FalseBoolStr = "False";
};

// The engine's settings. Set them up before the engine starts working; they
// are only read afterwards.
TABSFormatSettings& ABSFormatSettings();

// Integers: optional blanks, a sign, decimal digits or "$"/"0x" hexadecimal.
bool ABSTryStrToInt64(std::string_view Text, int64_t& Value);
bool ABSTryStrToInt(std::string_view Text, int32_t& Value);  // false outside 32 bits
// Floating point text with "." as the separator, whatever the settings.
bool ABSTryStrToFloatPoint(std::string_view Text, long double& Value);
// Shortest text of up to 15 significant digits with the settings' separator.
String ABSFloatToStr(long double Value, const TABSFormatSettings& Settings = ABSFormatSettings());
// Currency text: the settings' separator, at most four decimals (rounded half to even).
bool ABSTryStrToCurr(std::string_view Text, double& Value, const TABSFormatSettings& Settings = ABSFormatSettings());
String ABSCurrToStr(double Value, const TABSFormatSettings& Settings = ABSFormatSettings());

// Dates and times as text by a pattern of the settings' kind.
String ABSFormatDateTime(std::string_view Pattern, TDateTime Value,
                         const TABSFormatSettings& Settings = ABSFormatSettings());
String ABSDateToStr(TDateTime Value, const TABSFormatSettings& Settings = ABSFormatSettings());
String ABSTimeToStr(TDateTime Value, const TABSFormatSettings& Settings = ABSFormatSettings());
// The date, and the time when it is not midnight.
String ABSDateTimeToStr(TDateTime Value, const TABSFormatSettings& Settings = ABSFormatSettings());
// Reading text written by the functions above (day, month and year in the
// order of ShortDateFormat; two-digit years 00-49 are 20xx, 50-99 19xx;
// time as h[:n[:s[.z]]] with an optional AM/PM word).
bool ABSTryStrToDate(std::string_view Text, TDateTime& Value, const TABSFormatSettings& Settings = ABSFormatSettings());
bool ABSTryStrToTime(std::string_view Text, TDateTime& Value, const TABSFormatSettings& Settings = ABSFormatSettings());
bool ABSTryStrToDateTime(std::string_view Text, TDateTime& Value,
                         const TABSFormatSettings& Settings = ABSFormatSettings());
