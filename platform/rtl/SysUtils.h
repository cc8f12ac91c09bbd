#pragma once
// Strings, exceptions and formatting shared by every subsystem.
//
// String is UTF-8 in a std::string everywhere. Where a stored format counts
// 16-bit units, convert at that boundary with the helpers below.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

using String = std::string;
using WideString = std::u16string;
using Word = uint16_t;

// The root of every exception the system raises.
class Exception : public std::exception {
 public:
  explicit Exception(String message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  String Message;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// The silent exception: unwinds an operation without an error being shown.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};
[[noreturn]] void Abort();

// One argument of Format: integers of any width, floating point, text, pointers.
class TVarRec {
 public:
  using Value = std::variant<int64_t, uint64_t, double, std::string_view, const void*>;

  TVarRec(int v) : value_(int64_t{v}) {}
  TVarRec(long v) : value_(int64_t{v}) {}
  TVarRec(long long v) : value_(int64_t{v}) {}
  TVarRec(unsigned v) : value_(uint64_t{v}) {}
  TVarRec(unsigned long v) : value_(uint64_t{v}) {}
  TVarRec(unsigned long long v) : value_(uint64_t{v}) {}
  TVarRec(double v) : value_(v) {}
  TVarRec(float v) : value_(double{v}) {}
  TVarRec(const char* v) : value_(std::string_view(v ? v : "")) {}
  TVarRec(const String& v) : value_(std::string_view(v)) {}
  TVarRec(std::string_view v) : value_(v) {}
  TVarRec(const void* v) : value_(v) {}

  const Value& value() const { return value_; }

 private:
  Value value_;
};

// Locale-dependent separators for numbers shown to the user. Numbers in option
// text and anything handed to a library always use a point instead.
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  // Dates and times (FormatDateTime): '/' and ':' in a pattern print these.
  char DateSeparator = '/';
  char TimeSeparator = ':';
  String ShortDateFormat = "dd/mm/yyyy";
  String LongDateFormat = "dddd, mmmm d, yyyy";
  String ShortTimeFormat = "hh:nn";
  String LongTimeFormat = "hh:nn:ss";
  String TimeAMString = "AM";
  String TimePMString = "PM";
};

// The user's settings, read once from the environment's locale (LC_ALL,
// LC_NUMERIC, LANG) without ever calling setlocale. Tests may assign to it.
TFormatSettings& FormatSettings();
// What the environment's locale asks for, read afresh (defaults where the
// locale is C, POSIX or not installed).
TFormatSettings LocaleFormatSettings();

// The run-time library's formatting: %d and %u take 32- and 64-bit
// integers, %x/%X, %s, %f, %e, %g, %n (thousands), %p, %%, with "-", width,
// ".precision" and "*". Floating point uses FormatSettings().DecimalSeparator.
// A conversion that does not fit its argument raises EConvertError.
String Format(std::string_view fmt, std::initializer_list<TVarRec> args = {});
// The same with explicit settings (pass TFormatSettings{} for point-only output).
String Format(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& settings);

String IntToStr(int64_t value);
String IntToHex(uint64_t value, int digits);
int64_t StrToInt64(std::string_view text);  // EConvertError on bad text
int StrToInt(std::string_view text);        // EConvertError on bad text or overflow
bool TryStrToInt64(std::string_view text, int64_t& value);
bool TryStrToInt(std::string_view text, int& value);
int StrToIntDef(std::string_view text, int fallback);

// Display form with the user's decimal separator (shortest form that round-trips, up to 15 digits).
String FloatToStr(double value);
// Point-only text for option strings and libraries.
String FloatToStrPoint(double value);
// FloatToStrF formats: digits = decimals for ffFixed/ffNumber,
// minimum exponent digits for ffExponent; precision = significant digits.
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber };
String FloatToStrF(double value, TFloatFormat format, int precision, int digits);
String FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& settings);
// Picture formatting: "0" digit, "#" optional digit, "." decimal point, "," thousands,
// "E+"/"E-" exponent, quoted literals, up to three ';' sections (positive;negative;zero).
String FormatFloat(std::string_view format, double value);
String FormatFloat(std::string_view format, double value, const TFormatSettings& settings);
// Reads a point or the user's separator; EConvertError on bad text.
double StrToFloat(std::string_view text);
bool TryStrToFloat(std::string_view text, double& value);
double StrToFloatDef(std::string_view text, double fallback);
// Point-only reading, for text written by FloatToStrPoint or by libraries.
bool TryStrToFloatPoint(std::string_view text, double& value);

// UTF-8 <-> UTF-16; invalid sequences become U+FFFD.
WideString UTF8ToUTF16(std::string_view text);
String UTF16ToUTF8(std::u16string_view text);

// ASCII-only case mapping and comparison (fast; for masks, extensions, keywords).
String UpperCase(std::string_view text);
String LowerCase(std::string_view text);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Unicode-aware case mapping and comparison of UTF-8 text.
String AnsiUpperCase(std::string_view text);
String AnsiLowerCase(std::string_view text);
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

String Trim(std::string_view text);
String TrimLeft(std::string_view text);
String TrimRight(std::string_view text);
// Replaces every occurrence (or only the first), optionally ignoring ASCII case.
String StringReplace(std::string_view text, std::string_view from, std::string_view to, bool all = true,
                     bool ignoreCase = false);
// 1-based position of sub in text, 0 when absent.
int Pos(std::string_view sub, std::string_view text);
String QuotedStr(std::string_view text);
