#include "platform/rtl/SysUtils.h"

#include <langinfo.h>
#include <locale.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

void Abort() { throw EAbort("Operation aborted"); }

// ---------------------------------------------------------------------------
// Locale settings

namespace {

// The locale name that governs a category, as the C library would choose it,
// but without touching the process locale.
const char* LocaleNameFor(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return value;
  }
  return nullptr;
}

// "C", "POSIX" and the C locale with a code set ("C.UTF-8") keep our defaults.
bool IsCLocale(const char* name) {
  return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

// A locale's thousands separator as one byte: no-break spaces become a plain space.
char ThousandsByte(const char* sep, char decimal) {
  size_t len = std::strlen(sep);
  if (len == 1) return sep[0];
  if (len > 1) return ' ';  // U+00A0 / U+202F in UTF-8
  return decimal == ',' ? '.' : ',';
}

// Turns a strftime date or time pattern into our pattern letters; false when
// the pattern uses anything else. The first separator found is stored in *sep.
bool TranslateStrftime(const char* pattern, String& out, char& sep) {
  sep = 0;
  out.clear();
  for (const char* p = pattern; *p; ++p) {
    if (*p != '%') {
      if (!sep) sep = *p;
      out += (*p == sep && (sep == '/' || sep == '.' || sep == '-' || sep == ':')) ? '\x01' : *p;
      continue;
    }
    switch (*++p) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "mm"; break;
      case 'Y': out += "yyyy"; break;
      case 'y': out += "yy"; break;
      case 'H': out += "hh"; break;
      case 'I': out += "hh"; break;
      case 'M': out += "nn"; break;
      case 'S': out += "ss"; break;
      case 'p': out += "ampm"; break;
      case 'T':
        if (!sep) sep = ':';
        out += "hh:nn:ss";
        break;
      case 'R':
        if (!sep) sep = ':';
        out += "hh:nn";
        break;
      default: return false;
    }
  }
  return !out.empty();
}

void LoadDateTimeSettings(TFormatSettings& fs) {
  const char* name = LocaleNameFor("LC_TIME");
  if (!name || IsCLocale(name)) return;
  locale_t loc = newlocale(LC_TIME_MASK, name, locale_t(0));
  if (!loc) return;
  String pattern;
  char sep = 0;
  if (TranslateStrftime(nl_langinfo_l(D_FMT, loc), pattern, sep) && sep) {
    std::replace(pattern.begin(), pattern.end(), '\x01', '/');
    fs.ShortDateFormat = pattern;
    fs.DateSeparator = sep;
  }
  if (TranslateStrftime(nl_langinfo_l(T_FMT, loc), pattern, sep) && sep) {
    std::replace(pattern.begin(), pattern.end(), '\x01', ':');
    fs.LongTimeFormat = pattern;
    fs.TimeSeparator = sep;
  }
  const char* am = nl_langinfo_l(AM_STR, loc);
  const char* pm = nl_langinfo_l(PM_STR, loc);
  if (*am && *pm) {
    fs.TimeAMString = am;
    fs.TimePMString = pm;
  }
  freelocale(loc);
}

}  // namespace

TFormatSettings LocaleFormatSettings() {
  TFormatSettings fs;
  if (const char* name = LocaleNameFor("LC_NUMERIC"); name && !IsCLocale(name)) {
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, name, locale_t(0))) {
      const char* radix = nl_langinfo_l(RADIXCHAR, loc);
      if (std::strlen(radix) == 1) fs.DecimalSeparator = radix[0];
      fs.ThousandSeparator = ThousandsByte(nl_langinfo_l(THOUSEP, loc), fs.DecimalSeparator);
      freelocale(loc);
    }
  }
  LoadDateTimeSettings(fs);
  return fs;
}

TFormatSettings& FormatSettings() {
  static TFormatSettings settings = LocaleFormatSettings();
  return settings;
}

// ---------------------------------------------------------------------------
// Floating point text

namespace {

// Decimal digits and exponent of a value rounded to `precision` significant
// digits: value = 0.d1d2d3... * 10^(exponent+1), i.e. d1 sits at 10^exponent.
struct Decimal {
  String digits;  // without trailing zeros; "0" for zero
  int exponent = 0;
  bool negative = false;
};

// Rounds a digit string to `keep` digits, half away from zero as the run-time
// library documents (binary ties such as 2.5 or 0.125 round up). Returns true when the
// carry added a leading digit ("999" -> "1000").
bool RoundDigits(String& digits, size_t keep) {
  if (digits.size() <= keep) return false;
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (!up) return false;
  for (size_t i = keep; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  return true;
}

// Enough extra digits past the rounding place that an exact binary tie and a
// value just below it are told apart.
constexpr int kGuardDigits = 40;

Decimal ToDecimal(double value, int precision) {
  Decimal d;
  d.negative = std::signbit(value) && value != 0;
  value = std::fabs(value);
  if (value == 0) {
    d.digits = "0";
    return d;
  }
  precision = std::clamp(precision, 1, 17);
  char buf[128];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1 + kGuardDigits);
  std::string_view text(buf, res.ptr - buf);
  size_t e = text.find('e');
  for (char c : text.substr(0, e))
    if (c != '.') d.digits += c;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), d.exponent);
  if (RoundDigits(d.digits, precision)) {
    d.digits.pop_back();
    ++d.exponent;
  }
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Digits rounded to `decimals` places after the point, as fixed text without sign.
String FixedDigits(double value, int decimals, char decimalSep, char thousandSep) {
  decimals = std::clamp(decimals, 0, 18);
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, decimals + kGuardDigits);
  String text(buf, res.ptr - buf);
  size_t point = text.find('.');
  String digits = text.substr(0, point) + text.substr(point + 1);
  size_t intLen = point + (RoundDigits(digits, point + decimals) ? 1 : 0);
  String out;
  for (size_t i = 0; i < intLen; ++i) {
    if (thousandSep && i > 0 && (intLen - i) % 3 == 0) out += thousandSep;
    out += digits[i];
  }
  if (decimals > 0) {
    out += decimalSep;
    out += digits.substr(intLen);
  }
  return out;
}

bool IsAllZeroDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c < '1' || c > '9'; });
}

String SpecialValue(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

String ExponentText(int exponent, int minDigits, bool plusSign) {
  String out = "E";
  if (exponent < 0)
    out += '-';
  else if (plusSign)
    out += '+';
  String digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < minDigits) out += String(minDigits - digits.size(), '0');
  return out + digits;
}

String GeneralText(double value, int precision, int expDigits, char decimalSep) {
  if (!std::isfinite(value)) return SpecialValue(value);
  if (precision <= 0 || precision > 15) precision = 15;
  Decimal d = ToDecimal(value, precision);
  String out = d.negative ? "-" : "";
  if (d.exponent >= precision || d.exponent < -5) {
    out += d.digits[0];
    if (d.digits.size() > 1) {
      out += decimalSep;
      out += d.digits.substr(1);
    }
    return out + ExponentText(d.exponent, expDigits, false);
  }
  if (d.exponent < 0) {
    out += '0';
    out += decimalSep;
    out += String(-d.exponent - 1, '0');
    return out + d.digits;
  }
  size_t intLen = d.exponent + 1;
  if (d.digits.size() <= intLen) return out + d.digits + String(intLen - d.digits.size(), '0');
  return out + d.digits.substr(0, intLen) + decimalSep + d.digits.substr(intLen);
}

String ExponentFormText(double value, int precision, int expDigits, char decimalSep) {
  if (!std::isfinite(value)) return SpecialValue(value);
  if (precision <= 0 || precision > 18) precision = 15;
  Decimal d = ToDecimal(value, std::min(precision, 17));
  String digits = d.digits + String(std::max(0, precision - static_cast<int>(d.digits.size())), '0');
  String out = d.negative ? "-" : "";
  out += digits[0];
  if (precision > 1) {
    out += decimalSep;
    out += digits.substr(1);
  }
  return out + ExponentText(d.exponent, expDigits, true);
}

String FixedText(double value, int decimals, char decimalSep, char thousandSep) {
  if (!std::isfinite(value)) return SpecialValue(value);
  String body = FixedDigits(value, decimals, decimalSep, thousandSep);
  // "-0.00" would show a sign for a value that prints as zero.
  bool negative = std::signbit(value) && !IsAllZeroDigits(body);
  return negative ? "-" + body : body;
}

}  // namespace

String FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& settings) {
  switch (format) {
    case ffGeneral: return GeneralText(value, precision, digits, settings.DecimalSeparator);
    case ffExponent: return ExponentFormText(value, precision, digits, settings.DecimalSeparator);
    case ffFixed: return FixedText(value, digits, settings.DecimalSeparator, 0);
    case ffNumber: return FixedText(value, digits, settings.DecimalSeparator, settings.ThousandSeparator);
  }
  return {};
}

String FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings());
}

String FloatToStr(double value) { return GeneralText(value, 15, 0, FormatSettings().DecimalSeparator); }

String FloatToStrPoint(double value) { return GeneralText(value, 15, 0, '.'); }

// ---------------------------------------------------------------------------
// FormatFloat

namespace {

struct FloatPicture {
  int minInt = 0;        // '0' before the point
  int minFrac = 0;       // '0' after the point
  int maxFrac = 0;       // '0' or '#' after the point
  bool point = false;
  bool thousands = false;
  bool exponent = false;
  bool expPlus = false;
  int expDigits = 0;
  // Literal text, keyed by the digit position it precedes; simple model:
  // text before the first digit placeholder and after the last one.
  String prefix, suffix;
};

// Splits a picture into its ';' sections, honouring quotes.
std::vector<std::string_view> PictureSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

FloatPicture ParsePicture(std::string_view section) {
  FloatPicture pic;
  bool seenDigit = false;
  for (size_t i = 0; i < section.size(); ++i) {
    char c = section[i];
    String& literal = seenDigit ? pic.suffix : pic.prefix;
    if (c == '"' || c == '\'') {
      size_t end = section.find(c, i + 1);
      if (end == std::string_view::npos) end = section.size();
      literal += section.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '0' || c == '#') {
      if (pic.exponent) {
        ++pic.expDigits;
      } else if (pic.point) {
        ++pic.maxFrac;
        if (c == '0') pic.minFrac = pic.maxFrac;
      } else if (c == '0') {
        ++pic.minInt;
      }
      seenDigit = true;
    } else if (c == '.' && !pic.point && !pic.exponent) {
      pic.point = true;
      seenDigit = true;
    } else if (c == ',' && !pic.exponent) {
      pic.thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-') &&
               seenDigit) {
      pic.exponent = true;
      pic.expPlus = section[i + 1] == '+';
      ++i;
    } else {
      literal += c;
    }
  }
  return pic;
}

String ApplyPicture(const FloatPicture& pic, double value, const TFormatSettings& settings) {
  String body;
  if (pic.exponent) {
    int intDigits = std::max(1, pic.minInt);
    Decimal d = ToDecimal(value, std::min(17, intDigits + pic.maxFrac));
    int exponent = value == 0 ? 0 : d.exponent - (intDigits - 1);
    String digits = d.digits + String(intDigits + pic.maxFrac, '0');
    body = digits.substr(0, intDigits);
    String frac = digits.substr(intDigits, pic.maxFrac);
    while (static_cast<int>(frac.size()) > pic.minFrac && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) body += settings.DecimalSeparator + frac;
    String exp = ExponentText(exponent, pic.expDigits, pic.expPlus);
    body += exp;
  } else {
    body = FixedDigits(value, pic.maxFrac, settings.DecimalSeparator, pic.thousands ? settings.ThousandSeparator : 0);
    size_t point = body.find(settings.DecimalSeparator);
    if (pic.maxFrac > 0 && point != String::npos) {
      size_t keep = point + 1 + pic.minFrac;
      while (body.size() > keep && body.back() == '0') body.pop_back();
      if (body.size() == point + 1) body.pop_back();
    }
    // Integer part: drop a lone "0" when the picture asks for no integer digits.
    size_t intEnd = body.find(settings.DecimalSeparator);
    if (intEnd == String::npos) intEnd = body.size();
    size_t intDigits = std::count_if(body.begin(), body.begin() + intEnd, [](char c) { return c >= '0' && c <= '9'; });
    if (pic.minInt == 0 && intDigits == 1 && body[0] == '0') {
      body.erase(0, 1);
    } else if (static_cast<int>(intDigits) < pic.minInt) {
      body.insert(0, String(pic.minInt - intDigits, '0'));
    }
  }
  return pic.prefix + body + pic.suffix;
}

}  // namespace

String FormatFloat(std::string_view format, double value, const TFormatSettings& settings) {
  if (!std::isfinite(value)) return SpecialValue(value);
  if (format.empty()) return GeneralText(value, 15, 0, settings.DecimalSeparator);
  std::vector<std::string_view> sections = PictureSections(format);
  std::string_view section = sections[0];
  bool explicitNegative = false;
  if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
    section = sections[1];
    explicitNegative = true;
  }
  FloatPicture pic = ParsePicture(section);
  String text = ApplyPicture(pic, std::fabs(value), settings);
  bool printsZero = IsAllZeroDigits(text) || value == 0;
  if (printsZero && sections.size() > 2 && !sections[2].empty())
    return ApplyPicture(ParsePicture(sections[2]), 0, settings);
  if (value < 0 && !explicitNegative && !IsAllZeroDigits(text)) text.insert(0, "-");
  return text;
}

String FormatFloat(std::string_view format, double value) { return FormatFloat(format, value, FormatSettings()); }

// ---------------------------------------------------------------------------
// Format

namespace {

[[noreturn]] void InvalidFormat(std::string_view fmt) {
  throw EConvertError("Format '" + String(fmt) + "' invalid or incompatible with argument");
}

[[noreturn]] void ArgumentMissing(std::string_view fmt) {
  throw EConvertError("No argument for format '" + String(fmt) + "'");
}

size_t Utf8Length(std::string_view text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

// Byte length of the first `chars` code points.
size_t Utf8Prefix(std::string_view text, size_t chars) {
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == 0) break;
      --chars;
    }
  }
  return i;
}

String HexDigits(uint64_t value) {
  char buf[17];
  auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
  String out(buf, res.ptr);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Negative integers shown unsigned take the width of the type they came from:
// 32 bits when they fit, else 64.
uint64_t AsUnsigned(int64_t v) {
  if (v < 0 && v >= std::numeric_limits<int32_t>::min()) return static_cast<uint32_t>(v);
  return static_cast<uint64_t>(v);
}

String PadDigits(String digits, int precision) {
  if (precision > 0 && static_cast<int>(digits.size()) < precision) digits.insert(0, precision - digits.size(), '0');
  return digits;
}

}  // namespace

String Format(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& settings) {
  String out;
  out.reserve(fmt.size() + 16 * args.size());
  const TVarRec* argv = args.begin();
  size_t argc = args.size();
  size_t next = 0;

  auto takeArg = [&](std::string_view spec) -> const TVarRec::Value& {
    if (next >= argc) ArgumentMissing(spec);
    return argv[next++].value();
  };
  auto takeInt = [&](std::string_view spec) -> int64_t {
    const auto& v = takeArg(spec);
    if (auto* i = std::get_if<int64_t>(&v)) return *i;
    if (auto* u = std::get_if<uint64_t>(&v)) return static_cast<int64_t>(*u);
    InvalidFormat(spec);
  };

  size_t i = 0;
  while (i < fmt.size()) {
    size_t pct = fmt.find('%', i);
    if (pct == std::string_view::npos) {
      out.append(fmt.substr(i));
      break;
    }
    out.append(fmt.substr(i, pct - i));
    i = pct + 1;
    if (i < fmt.size() && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t specStart = pct;
    auto spec = [&]() { return fmt.substr(specStart, std::min(i + 1, fmt.size()) - specStart); };

    // A number or '*', used as index (when ':' follows) or width.
    auto readNumber = [&](int& value) -> bool {
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        // Clamped like written numbers: a stray huge width must not exhaust memory.
        value = static_cast<int>(std::clamp<int64_t>(takeInt(spec()), -(1 << 20), 1 << 20));
        return true;
      }
      size_t start = i;
      value = 0;
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        value = std::min(value * 10 + (fmt[i] - '0'), 1 << 20);
        ++i;
      }
      return i > start;
    };

    int width = -1, precision = -1;
    bool leftAlign = false;
    int number = 0;
    bool haveNumber = readNumber(number);
    if (haveNumber && i < fmt.size() && fmt[i] == ':') {
      if (number < 0 || static_cast<size_t>(number) >= argc) ArgumentMissing(spec());
      next = static_cast<size_t>(number);
      ++i;
      haveNumber = false;
    }
    if (!haveNumber) {
      if (i < fmt.size() && fmt[i] == '-') {
        leftAlign = true;
        ++i;
      }
      haveNumber = readNumber(number);
    }
    if (haveNumber) width = number;
    if (width < 0) {  // "*" with a negative value means left alignment
      if (haveNumber) leftAlign = true;
      width = haveNumber ? -width : -1;
    }
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      if (!readNumber(precision)) precision = 0;
    }
    if (i >= fmt.size()) InvalidFormat(fmt.substr(specStart));
    char type = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
    std::string_view thisSpec = spec();
    ++i;

    String text;
    size_t textChars = 0;  // set for %s, which may hold multi-byte characters
    const TVarRec::Value& v = takeArg(thisSpec);
    const int64_t* si = std::get_if<int64_t>(&v);
    const uint64_t* ui = std::get_if<uint64_t>(&v);
    const double* dv = std::get_if<double>(&v);
    switch (type) {
      case 'd':
        if (si) {
          text = PadDigits(std::to_string(*si < 0 ? 0 - static_cast<uint64_t>(*si) : static_cast<uint64_t>(*si)), precision);
          if (*si < 0) text.insert(0, "-");
        } else if (ui) {
          text = PadDigits(std::to_string(*ui), precision);
        } else {
          InvalidFormat(thisSpec);
        }
        break;
      case 'u':
        if (!si && !ui) InvalidFormat(thisSpec);
        text = PadDigits(std::to_string(si ? AsUnsigned(*si) : *ui), precision);
        break;
      case 'x':
        if (!si && !ui) InvalidFormat(thisSpec);
        text = PadDigits(HexDigits(si ? AsUnsigned(*si) : *ui), precision);
        break;
      case 'p': {
        const void* const* p = std::get_if<const void*>(&v);
        if (!p) InvalidFormat(thisSpec);
        text = PadDigits(HexDigits(reinterpret_cast<uintptr_t>(*p)), sizeof(void*) * 2);
        break;
      }
      case 's': {
        const std::string_view* s = std::get_if<std::string_view>(&v);
        if (!s) InvalidFormat(thisSpec);
        std::string_view sv = *s;
        if (precision >= 0) sv = sv.substr(0, Utf8Prefix(sv, precision));
        text = sv;
        textChars = Utf8Length(sv);
        break;
      }
      case 'f':
      case 'n':
      case 'e':
      case 'g':
      case 'm': {
        if (!dv) InvalidFormat(thisSpec);
        if (type == 'f')
          text = FixedText(*dv, precision < 0 ? 2 : precision, settings.DecimalSeparator, 0);
        else if (type == 'n' || type == 'm')
          text = FixedText(*dv, precision < 0 ? 2 : precision, settings.DecimalSeparator, settings.ThousandSeparator);
        else if (type == 'e')
          text = ExponentFormText(*dv, precision < 0 ? 15 : precision, 3, settings.DecimalSeparator);
        else
          text = GeneralText(*dv, precision < 0 ? 15 : precision, 0, settings.DecimalSeparator);
        break;
      }
      default:
        InvalidFormat(thisSpec);
    }
    if (type != 's') textChars = text.size();
    if (width > 0 && textChars < static_cast<size_t>(width)) {
      String pad(width - textChars, ' ');
      text = leftAlign ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}

String Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, args, FormatSettings());
}

// ---------------------------------------------------------------------------
// Integers

String IntToStr(int64_t value) { return std::to_string(value); }

String IntToHex(uint64_t value, int digits) { return PadDigits(HexDigits(value), digits); }

namespace {

std::string_view TrimView(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return text.substr(b, e - b);
}

}  // namespace

bool TryStrToInt64(std::string_view text, int64_t& value) {
  std::string_view t = TrimView(text);
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (!t.empty() && t[0] == '$') {
    base = 16;
    t.remove_prefix(1);
  } else if (t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return false;
  uint64_t magnitude = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return false;
  if (base == 16 && !negative) {
    // Hex text names a bit pattern: "$FFFFFFFFFFFFFFFF" is -1.
    value = static_cast<int64_t>(magnitude);
    return true;
  }
  uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool TryStrToInt(std::string_view text, int& value) {
  int64_t v = 0;
  if (!TryStrToInt64(text, v)) return false;
  std::string_view t = TrimView(text);
  bool hex = t.find_first_of("$xX") != std::string_view::npos;
  if (hex && v >= 0 && v <= 0xFFFFFFFFll) v = static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(v);
  return true;
}

int64_t StrToInt64(std::string_view text) {
  int64_t v = 0;
  if (!TryStrToInt64(text, v)) throw EConvertError("'" + String(text) + "' is not a valid integer value");
  return v;
}

int StrToInt(std::string_view text) {
  int v = 0;
  if (!TryStrToInt(text, v)) throw EConvertError("'" + String(text) + "' is not a valid integer value");
  return v;
}

int StrToIntDef(std::string_view text, int fallback) {
  int v = 0;
  return TryStrToInt(text, v) ? v : fallback;
}

// ---------------------------------------------------------------------------
// Floats from text

namespace {

bool ParseFloat(std::string_view text, char decimalSep, double& value) {
  std::string_view t = TrimView(text);
  if (t.empty()) return false;
  String buf(t);
  if (decimalSep != '.') {
    // Accept either separator, but not both kinds at once.
    bool hasPoint = buf.find('.') != String::npos;
    size_t sep = buf.find(decimalSep);
    if (sep != String::npos) {
      if (hasPoint) return false;
      buf[sep] = '.';
    }
  }
  const char* first = buf.data();
  if (*first == '+') ++first;
  // from_chars would take "inf"/"nan"; a number here is digits only.
  if (std::isalpha(static_cast<unsigned char>(first[first[0] == '-'])) || buf.find_first_of("xX") != String::npos)
    return false;
  double v = 0;
  auto res = std::from_chars(first, buf.data() + buf.size(), v);
  if (res.ec != std::errc() || res.ptr != buf.data() + buf.size()) return false;
  value = v;
  return true;
}

}  // namespace

bool TryStrToFloat(std::string_view text, double& value) {
  return ParseFloat(text, FormatSettings().DecimalSeparator, value);
}

bool TryStrToFloatPoint(std::string_view text, double& value) { return ParseFloat(text, '.', value); }

double StrToFloat(std::string_view text) {
  double v = 0;
  if (!TryStrToFloat(text, v)) throw EConvertError("'" + String(text) + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(std::string_view text, double fallback) {
  double v = 0;
  return TryStrToFloat(text, v) ? v : fallback;
}

// ---------------------------------------------------------------------------
// UTF-8 / UTF-16

WideString UTF8ToUTF16(std::string_view text) {
  WideString out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    uint32_t cp;
    size_t len;
    uint32_t min;
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, len = 2, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, len = 3, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, len = 4, min = 0x10000;
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j < len && i + j < n && (s[i + j] & 0xC0) == 0x80; ++j) cp = (cp << 6) | (s[i + j] & 0x3F);
    if (j < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // A malformed sequence is replaced by one U+FFFD covering its valid prefix.
      out += u'\uFFFD';
      i += j;
      continue;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

String UTF16ToUTF8(std::u16string_view text) {
  String out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Case

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

icu::UnicodeString ToIcu(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

String FromIcu(const icu::UnicodeString& text) {
  String out;
  text.toUTF8String(out);
  return out;
}

// One collator per thread and strength: collators are cheap to use but not
// to build, and one instance must not be shared between threads.
icu::Collator* ThreadCollator(bool caseSensitive) {
  thread_local std::unique_ptr<icu::Collator> collators[2];
  auto& slot = collators[caseSensitive ? 1 : 0];
  if (!slot) {
    // ICU builds its shared collation data on first use; building one
    // collator at a time keeps that first use ordered between threads.
    static std::mutex creating;
    std::lock_guard<std::mutex> lock(creating);
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !slot) {
      slot.reset();
      return nullptr;
    }
    slot->setStrength(caseSensitive ? icu::Collator::TERTIARY : icu::Collator::SECONDARY);
  }
  return slot.get();
}

int Sign(int v) { return (v > 0) - (v < 0); }

int CollatedCompare(std::string_view a, std::string_view b, bool caseSensitive) {
  icu::Collator* coll = ThreadCollator(caseSensitive);
  int result = 0;
  if (coll) {
    UErrorCode status = U_ZERO_ERROR;
    result = coll->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                               icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) result = 0;
  }
  if (result != 0) return Sign(result);
  // Equal under collation: case-sensitive order must still tell distinct
  // strings apart, case-insensitive order falls back to folded code points.
  if (caseSensitive) return Sign(a.compare(b));
  return Sign(ToIcu(a).caseCompare(ToIcu(b), U_FOLD_CASE_DEFAULT));
}

}  // namespace

String UpperCase(std::string_view text) {
  String out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

String LowerCase(std::string_view text) {
  String out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(AsciiLower(a[i]));
    int cb = static_cast<unsigned char>(AsciiLower(b[i]));
    if (ca != cb) return ca - cb;
  }
  return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

String AnsiUpperCase(std::string_view text) { return FromIcu(ToIcu(text).toUpper(icu::Locale::getRoot())); }

String AnsiLowerCase(std::string_view text) { return FromIcu(ToIcu(text).toLower(icu::Locale::getRoot())); }

int AnsiCompareText(std::string_view a, std::string_view b) { return CollatedCompare(a, b, false); }

int AnsiCompareStr(std::string_view a, std::string_view b) { return CollatedCompare(a, b, true); }

bool AnsiSameText(std::string_view a, std::string_view b) {
  auto ascii = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  if (ascii(a) && ascii(b)) return SameText(a, b);
  return ToIcu(a).caseCompare(ToIcu(b), U_FOLD_CASE_DEFAULT) == 0;
}

// ---------------------------------------------------------------------------
// Trimming, replacing, searching

String Trim(std::string_view text) { return String(TrimView(text)); }

String TrimLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  return String(text.substr(b));
}

String TrimRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return String(text.substr(0, e));
}

String StringReplace(std::string_view text, std::string_view from, std::string_view to, bool all, bool ignoreCase) {
  if (from.empty()) return String(text);
  String haystack = ignoreCase ? UpperCase(text) : String(text);
  String needle = ignoreCase ? UpperCase(from) : String(from);
  String out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t hit = haystack.find(needle, pos);
    if (hit == String::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
    if (!all) break;
  }
  out.append(text.substr(std::min(pos, text.size())));
  return out;
}

int Pos(std::string_view sub, std::string_view text) {
  if (sub.empty()) return 0;
  size_t hit = text.find(sub);
  return hit == std::string_view::npos ? 0 : static_cast<int>(hit) + 1;
}

String QuotedStr(std::string_view text) {
  String out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}
