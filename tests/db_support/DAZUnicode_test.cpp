#include "db/support/DAZUnicode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace {

struct LikeCase {
  const char* text;
  const char* pattern;
  bool caseInsensitive;
  bool matches;
};

const LikeCase kLikeCases[] = {
    {"", "%", false, true},       {"anything", "%", false, true},  {"a", "a%", false, true},
    {"abc", "a%", false, true},   {"b", "a%", false, false},       {"abc", "%c", false, true},
    {"abc", "_b%", false, true},  {"b", "_b%", false, false},      {"abc", "ABC", true, true},
    {"abc", "ABC", false, false}, {"abc", "ab", false, false},     {"ab", "abc", false, false},
    {"a", "a%%", false, true},    {"", "%%", false, true},         {"a", "%%", false, true},
    {"abcabd", "%ab_", false, true}, {"xaYbz", "%A%B%", true, true}, {"xaYbz", "%A%B%", false, false},
    {"\xC9t\xE9", "\xE9T\xC9", true, true},  // accented letters fold case in the 8-bit code page too
    {"resume", "r\xE9sum\xE9", true, false},  // accents still count
};

TEST(Like, PatternTable) {
  for (const auto& c : kLikeCases) {
    EXPECT_EQ(AnsiStrLike(c.text, c.pattern, false, '\\', c.caseInsensitive), c.matches)
        << c.text << " LIKE " << c.pattern;
    const WideString text = AnsiToWide(c.text), pattern = AnsiToWide(c.pattern);
    EXPECT_EQ(WideStrLike(text.c_str(), pattern.c_str(), false, u'\\', c.caseInsensitive), c.matches)
        << c.text << " LIKE " << c.pattern << " (16-bit)";
  }
}

TEST(Like, Escapes) {
  EXPECT_TRUE(AnsiStrLike("a%b", "a\\%b", true, '\\', false));
  EXPECT_FALSE(AnsiStrLike("axb", "a\\%b", true, '\\', false));
  EXPECT_FALSE(AnsiStrLike("axb", "a\\%b", false, '\\', false));  // without escape: "\" is literal
  EXPECT_TRUE(AnsiStrLike("a_b", "a!_b", true, '!', false));
  EXPECT_FALSE(AnsiStrLike("acb", "a!_b", true, '!', false));
  EXPECT_FALSE(AnsiStrLike("a!", "a!", true, '!', false));  // a trailing escape matches nothing
  EXPECT_TRUE(WideStrLike(u"50%", u"%0#%", true, u'#', false));
  EXPECT_TRUE(WideStrLike(u"\u0436\u0416", u"\u0416_", true, u'#', true));
  // "%" and "_" are wildcards first, even when named as the escape character.
  EXPECT_TRUE(AnsiStrLike("abc", "a%", true, '%', false));
  EXPECT_TRUE(AnsiStrLike("abc", "a_c", true, '_', false));
  EXPECT_TRUE(AnsiStrLike("a_c", "a__", true, '_', false));
}

TEST(Like, ManyPercentSignsFinishQuickly) {
  const std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 60; ++i) pattern += "%a";
  pattern += "%b";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(AnsiStrLike(text.c_str(), pattern.c_str(), false, '\\', true));
  EXPECT_TRUE(AnsiStrLike((text + "b").c_str(), pattern.c_str(), false, '\\', true));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(TextServices, CodePageCaseAndCollation) {
  EXPECT_EQ(AnsiToWide("\x80\x81\xFF"), u"\u20AC\u0081\u00FF");  // euro, an unassigned byte, y-diaeresis
  EXPECT_EQ(WideToAnsi(u"\u20AC\u0416x"), "\x80?x");
  EXPECT_FALSE(IsAnsiRepresentable(u"\u0416"));
  EXPECT_EQ(AnsiToUTF8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(UnicodeUpperCase(u"stra\u00DFe \u0436"), u"STRA\u00DFE \u0416");  // length kept
  EXPECT_EQ(UnicodeUpperCase(u""), u"");
  EXPECT_EQ(AnsiUpperCaseText("\xE9t\xE9"), "\xC9T\xC9");
  EXPECT_EQ(CompareAnsiText("abc", "ABC", true), 0);
  EXPECT_NE(CompareAnsiText("abc", "ABC", false), 0);
  EXPECT_LT(CompareAnsiText("apple", "Banana", false), 0);  // dictionary order, not byte order
  EXPECT_LT(CompareWideText(u"\u00E9a", u"eb", true), 0);    // accents are a second-level difference
  EXPECT_NE(CompareWideText(u"\u00E9", u"e", true), 0);
}

TEST(TextServices, OnlyIdenticalTextsCompareEqual) {
  // The collation alone ignores controls and calls canonical equivalents equal;
  // distinct texts still differ, in one consistent order either way round.
  const std::u16string pairs[][2] = {{u"a\u0001b", u"ab"}, {u"a\u0001", u"a\u0002"}, {u"\u212B", u"\u00C5"},
                                     {u"A\u0001", u"a"},    {u"x\U0001F600", u"x\uFFFD"}};
  for (const auto& p : pairs) {
    for (const bool ci : {false, true}) {
      const int ab = CompareWideText(p[0], p[1], ci), ba = CompareWideText(p[1], p[0], ci);
      EXPECT_NE(ab, 0) << ci;
      EXPECT_EQ(ab, -ba) << ci;
    }
  }
  // Ignoring case still makes case the only difference allowed.
  EXPECT_EQ(CompareWideText(u"Stra\u00DFe \u0416", u"STRA\u00DFE \u0436", true), 0);
  EXPECT_FALSE(WideStrLike(u"\u0001", u"\u0002", false, u'\\', false));
  EXPECT_FALSE(AnsiStrLike("a\x01", "a\x02", false, '\\', true));
}

TEST(TextServices, AsciiTextComparesAsItsWideForm) {
  // 8-bit ASCII text skips the 16-bit copy (and letters and digits the
  // collation tables): the answers must not change, either way round.
  std::mt19937 rnd(7);
  const std::string alnum = "0123456789aAbBkKyYzZ", mixed = alnum + " -_.,'\x01\x7F~";
  auto text = [&](const std::string& from) {
    std::string t(rnd() % 6, ' ');
    for (char& c : t) c = from[rnd() % from.size()];
    return t;
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (int i = 0; i < 20000; ++i) {
    const std::string& from = i % 2 ? alnum : mixed;
    const std::string a = text(from), b = i % 5 ? text(from) : a + text(from);
    for (const bool ci : {false, true}) {
      const int expected = sign(CompareWideText(AnsiToWide(a), AnsiToWide(b), ci));
      ASSERT_EQ(CompareAnsiText(a, b, ci), expected) << '"' << a << "\" \"" << b << '"' << ci;
      ASSERT_EQ(CompareAnsiText(b, a, ci), -expected) << '"' << a << "\" \"" << b << '"' << ci;
    }
  }
}

// The matching rules as plainly as they can be written: "%" any run (also
// empty), "_" one character, the escape character makes the next one literal
// ("%" and "_" stay wildcards even as the escape), a trailing escape matches
// nothing; letters compare ignoring ASCII case when asked.
bool ModelLike(const std::string& text, size_t t, const std::string& pattern, size_t p, bool useEscape, char escape,
               bool ci) {
  if (p == pattern.size()) return t == text.size();
  const char c = pattern[p];
  if (c == '%') {
    for (size_t i = t; i <= text.size(); ++i)
      if (ModelLike(text, i, pattern, p + 1, useEscape, escape, ci)) return true;
    return false;
  }
  if (t == text.size()) return false;
  if (c == '_') return ModelLike(text, t + 1, pattern, p + 1, useEscape, escape, ci);
  char literal = c;
  if (useEscape && c == escape) {
    if (p + 1 == pattern.size()) return false;
    literal = pattern[++p];
  }
  const auto fold = [ci](char x) { return ci ? static_cast<char>(std::tolower(static_cast<unsigned char>(x))) : x; };
  return fold(literal) == fold(text[t]) && ModelLike(text, t + 1, pattern, p + 1, useEscape, escape, ci);
}

TEST(Like, AgreesWithAPlainModelOnRandomPatterns) {
  std::mt19937 gen(18081);
  const char alphabet[] = "aAb%_\\!";
  std::uniform_int_distribution<int> letter(0, 6), length(0, 7), coin(0, 1);
  const auto word = [&](bool pattern) {
    std::string w;
    for (int n = length(gen); n > 0; --n) {
      const char c = alphabet[letter(gen)];
      w += pattern || (c != '%' && c != '_') ? c : 'b';
    }
    return w;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string text = word(false), pattern = word(true);
    const bool useEscape = coin(gen), ci = coin(gen);
    const char escape = std::string("\\!%_")[static_cast<size_t>(letter(gen) % 4)];
    const bool expected = ModelLike(text, 0, pattern, 0, useEscape, escape, ci);
    ASSERT_EQ(AnsiStrLike(text.c_str(), pattern.c_str(), useEscape, escape, ci), expected)
        << "'" << text << "' LIKE '" << pattern << "' escape " << (useEscape ? escape : ' ') << " ci " << ci;
    const WideString wtext(text.begin(), text.end()), wpattern(pattern.begin(), pattern.end());
    ASSERT_EQ(WideStrLike(wtext.c_str(), wpattern.c_str(), useEscape, static_cast<char16_t>(escape), ci), expected)
        << "'" << text << "' LIKE '" << pattern << "' (wide)";
  }
}

}  // namespace
