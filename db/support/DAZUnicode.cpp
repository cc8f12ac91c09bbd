#include "db/support/DAZUnicode.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Code-page tables, built once from ICU's Windows-1252 converter. Bytes that
// the code page leaves undefined map to the C1 control of the same number,
// so every stored byte survives a round trip through 16-bit text.
struct CodePage {
  std::array<char16_t, 256> toWide{};
  std::vector<int16_t> fromWide = std::vector<int16_t>(65536, -1);

  CodePage() {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("windows-1252", &err);
    for (int b = 0; b < 256; ++b) {
      char16_t wide = static_cast<char16_t>(b);
      if (cnv != nullptr && b >= 0x80) {
        const char byte = static_cast<char>(b);
        UChar out[4];
        UErrorCode e = U_ZERO_ERROR;
        ucnv_reset(cnv);
        const int32_t n = ucnv_toUChars(cnv, out, 4, &byte, 1, &e);
        if (U_SUCCESS(e) && n == 1 && out[0] != 0xFFFD && out[0] != 0x1A) wide = out[0];
      }
      toWide[b] = wide;
      fromWide[wide] = static_cast<int16_t>(b);
    }
    if (cnv != nullptr) ucnv_close(cnv);
  }
};

const CodePage& Cp() {
  static const CodePage cp;
  return cp;
}

struct Collators {
  UCollator* sensitive = nullptr;
  UCollator* insensitive = nullptr;
  Collators() {
    UErrorCode err = U_ZERO_ERROR;
    sensitive = ucol_open("", &err);
    err = U_ZERO_ERROR;
    insensitive = ucol_open("", &err);
    if (sensitive) ucol_setStrength(sensitive, UCOL_TERTIARY);
    if (insensitive) ucol_setStrength(insensitive, UCOL_SECONDARY);
  }
};

const UCollator* CollatorFor(bool caseInsensitive) {
  static const Collators c;
  return caseInsensitive ? c.insensitive : c.sensitive;
}

template <class Map>
WideString MapCase(const WideString& text, Map map) {
  WideString out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t u = out[i];
    if (U16_IS_LEAD(u) && i + 1 < out.size() && U16_IS_TRAIL(out[i + 1])) {
      const UChar32 mapped = map(U16_GET_SUPPLEMENTARY(u, out[i + 1]));
      if (mapped > 0xFFFF) {
        out[i] = U16_LEAD(mapped);
        out[i + 1] = U16_TRAIL(mapped);
      }
      ++i;
    } else {
      const UChar32 mapped = map(u);
      if (mapped <= 0xFFFF) out[i] = static_cast<char16_t>(mapped);
    }
  }
  return out;
}

size_t WideLength(const char16_t* p) {
  size_t n = 0;
  while (p[n] != 0) ++n;
  return n;
}

// Equal under CompareWideText: identical, or when case is ignored, the same
// upper case.
bool SameChar(char16_t a, char16_t b, bool caseInsensitive) {
  if (a == b) return true;
  if (!caseInsensitive || u_toupper(a) != u_toupper(b)) return false;
  return ucol_strcoll(CollatorFor(true), reinterpret_cast<const UChar*>(&a), 1, reinterpret_cast<const UChar*>(&b),
                      1) == UCOL_EQUAL;
}

// Code point order (surrogate pairs after every other 16-bit unit): <0, 0 or >0.
int CompareCodePoints(std::u16string_view a, std::u16string_view b) {
  return u_strCompare(reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
                      reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()), true);
}

}  // namespace

WideString AnsiToWide(std::string_view Text) {
  const auto& cp = Cp();
  WideString out(Text.size(), u'\0');
  for (size_t i = 0; i < Text.size(); ++i) out[i] = cp.toWide[static_cast<uint8_t>(Text[i])];
  return out;
}

AnsiString WideToAnsi(std::u16string_view Text) {
  const auto& cp = Cp();
  AnsiString out(Text.size(), '\0');
  for (size_t i = 0; i < Text.size(); ++i) {
    const int16_t b = cp.fromWide[Text[i]];
    out[i] = b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

bool IsAnsiRepresentable(std::u16string_view Text) {
  const auto& cp = Cp();
  for (char16_t c : Text)
    if (cp.fromWide[c] < 0) return false;
  return true;
}

AnsiString UTF8ToAnsi(std::string_view Text) { return WideToAnsi(UTF8ToUTF16(Text)); }
String AnsiToUTF8(std::string_view Text) { return UTF16ToUTF8(AnsiToWide(Text)); }

WideString UnicodeUpperCase(const WideString& Text) {
  if (Text.empty()) return Text;
  return MapCase(Text, [](UChar32 c) { return u_toupper(c); });
}

WideString UnicodeLowerCase(const WideString& Text) {
  if (Text.empty()) return Text;
  return MapCase(Text, [](UChar32 c) { return u_tolower(c); });
}

AnsiString AnsiUpperCaseText(std::string_view Text) { return WideToAnsi(UnicodeUpperCase(AnsiToWide(Text))); }
AnsiString AnsiLowerCaseText(std::string_view Text) { return WideToAnsi(UnicodeLowerCase(AnsiToWide(Text))); }

int CompareWideText(std::u16string_view Left, std::u16string_view Right, bool CaseInsensitive) {
  const UCollationResult r =
      ucol_strcoll(CollatorFor(CaseInsensitive), reinterpret_cast<const UChar*>(Left.data()),
                   static_cast<int32_t>(Left.size()), reinterpret_cast<const UChar*>(Right.data()),
                   static_cast<int32_t>(Right.size()));
  if (r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  // The collation ignores some characters (controls among them) and calls
  // canonically equivalent texts equal; a unique key must still tell distinct
  // texts apart, so ties go to code point order (of the upper case when case
  // is ignored).
  const int c = CaseInsensitive ? CompareCodePoints(UnicodeUpperCase(WideString(Left)), UnicodeUpperCase(WideString(Right)))
                                : CompareCodePoints(Left, Right);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

namespace {
bool IsAscii(std::string_view Text) {
  for (char c : Text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char AsciiUpper(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C; }

// Letters and digits to their lower case; 0 for every other byte.
constexpr std::array<char, 256> AlnumFold = [] {
  std::array<char, 256> t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = t[c - 'a' + 'A'] = static_cast<char>(c);
  return t;
}();

// The collation's answer for texts of ASCII letters and digits only, which
// need no collation tables: each character is one element, digits come
// before letters and letters go alphabetically ignoring case (a shorter text
// first when one is the start of the other); then, unless case is ignored,
// the first difference in case decides, lower case first. False for any
// other text.
bool CompareAsciiAlnum(std::string_view Left, std::string_view Right, bool CaseInsensitive, int& Result) {
  const size_t n = std::min(Left.size(), Right.size());
  int primary = 0, tertiary = 0;
  for (size_t i = 0; i < n; ++i) {
    const char a = AlnumFold[static_cast<unsigned char>(Left[i])], b = AlnumFold[static_cast<unsigned char>(Right[i])];
    if (a == 0 || b == 0) return false;
    if (primary == 0 && a != b) primary = a < b ? -1 : 1;
    if (tertiary == 0 && Left[i] != Right[i]) tertiary = Left[i] >= 'a' ? -1 : 1;
  }
  const std::string_view rest = Left.size() > n ? Left.substr(n) : Right.substr(n);
  for (char c : rest)
    if (AlnumFold[static_cast<unsigned char>(c)] == 0) return false;
  if (primary == 0 && Left.size() != Right.size()) primary = Left.size() < Right.size() ? -1 : 1;
  Result = primary != 0 ? primary : CaseInsensitive ? 0 : tertiary;
  return true;
}
}  // namespace

int CompareAnsiText(std::string_view Left, std::string_view Right, bool CaseInsensitive) {
  // Index searches compare mostly ASCII keys, often letters and digits only.
  // ASCII bytes are their own code points in the code page, so they go to the
  // collation as they are, without 16-bit copies; the answers are the same.
  int alnum = 0;
  if (CompareAsciiAlnum(Left, Right, CaseInsensitive, alnum)) return alnum;
  if (IsAscii(Left) && IsAscii(Right)) {
    if (Left == Right) return 0;
    UErrorCode err = U_ZERO_ERROR;
    const UCollationResult r =
        ucol_strcollUTF8(CollatorFor(CaseInsensitive), Left.data(), static_cast<int32_t>(Left.size()), Right.data(),
                         static_cast<int32_t>(Right.size()), &err);
    if (U_SUCCESS(err)) {
      if (r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
      // The same tie-break as CompareWideText: code points, upper case when
      // case is ignored (ASCII upper-cases only a-z).
      const size_t n = std::min(Left.size(), Right.size());
      for (size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(CaseInsensitive ? AsciiUpper(Left[i]) : Left[i]);
        const auto b = static_cast<unsigned char>(CaseInsensitive ? AsciiUpper(Right[i]) : Right[i]);
        if (a != b) return a < b ? -1 : 1;
      }
      return Left.size() < Right.size() ? -1 : Left.size() > Right.size() ? 1 : 0;
    }
  }
  return CompareWideText(AnsiToWide(Left), AnsiToWide(Right), CaseInsensitive);
}

bool WideStrLike(const char16_t* Text, const char16_t* Pattern, bool UseEscape, char16_t EscapeChar,
                 bool CaseInsensitive) {
  // The pattern as items: -1 any run, -2 any one character, -3 never matches
  // (an escape with nothing after it), else a literal character.
  std::vector<int32_t> items;
  for (const char16_t* p = Pattern; *p != 0; ++p) {
    // "%" and "_" are wildcards even when chosen as the escape character.
    if (*p == u'%') {
      if (items.empty() || items.back() != -1) items.push_back(-1);
    } else if (*p == u'_') {
      items.push_back(-2);
    } else if (UseEscape && *p == EscapeChar) {
      ++p;
      if (*p == 0) {
        items.push_back(-3);
        break;
      }
      items.push_back(*p);
    } else {
      items.push_back(*p);
    }
  }
  const size_t n = WideLength(Text);
  const size_t m = items.size();
  // Greedy match that returns to the last "%" on a mismatch: each text
  // position is retried at most once per "%", so the work is O(n x m).
  size_t ti = 0, pi = 0, starItem = SIZE_MAX, starText = 0;
  while (ti < n) {
    if (pi < m && (items[pi] == -2 || (items[pi] >= 0 && SameChar(static_cast<char16_t>(items[pi]), Text[ti],
                                                                  CaseInsensitive)))) {
      ++ti;
      ++pi;
    } else if (pi < m && items[pi] == -1) {
      starItem = pi++;
      starText = ti;
    } else if (starItem != SIZE_MAX) {
      pi = starItem + 1;
      ti = ++starText;
    } else {
      return false;
    }
  }
  while (pi < m && items[pi] == -1) ++pi;
  return pi == m;
}

bool AnsiStrLike(const char* Text, const char* Pattern, bool UseEscape, char EscapeChar, bool CaseInsensitive) {
  const WideString text = AnsiToWide(Text);
  const WideString pattern = AnsiToWide(Pattern);
  const char16_t escape = AnsiToWide(std::string_view(&EscapeChar, 1))[0];
  return WideStrLike(text.c_str(), pattern.c_str(), UseEscape, escape, CaseInsensitive);
}
