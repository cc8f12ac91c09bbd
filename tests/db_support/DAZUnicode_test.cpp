#include "db/support/DAZUnicode.h"

#include <gtest/gtest.h>

#include <chrono>

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

}  // namespace
