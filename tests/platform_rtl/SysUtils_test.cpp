#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

// Swaps the process-wide settings for one test and restores them afterwards.
class ScopedSettings {
 public:
  explicit ScopedSettings(char decimal, char thousand) : saved_(FormatSettings()) {
    FormatSettings().DecimalSeparator = decimal;
    FormatSettings().ThousandSeparator = thousand;
  }
  ~ScopedSettings() { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

struct Case {
  String got;
  const char* want;
};

void ExpectTable(const std::vector<Case>& cases) {
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "row " << i;
}

TEST(RtlFormat, Conversions) {
  ScopedSettings point('.', ',');
  int64_t big = std::numeric_limits<int64_t>::max();
  int64_t small = std::numeric_limits<int64_t>::min();
  int x = 0;
  ExpectTable({
      {Format("%d", {42}), "42"},
      {Format("%d", {-42}), "-42"},
      {Format("%d", {big}), "9223372036854775807"},
      {Format("%d", {small}), "-9223372036854775808"},
      {Format("%d", {uint64_t{18446744073709551615ull}}), "18446744073709551615"},
      {Format("[%5d]", {42}), "[   42]"},
      {Format("[%-5d]", {42}), "[42   ]"},
      {Format("%.4d", {42}), "0042"},
      {Format("%.3d", {-7}), "-007"},
      {Format("[%*d]", {4, 7}), "[   7]"},
      {Format("%u", {-1}), "4294967295"},
      {Format("%u", {int64_t{-1} << 40}), "18446742974197923840"},
      {Format("%x", {255}), "FF"},
      {Format("%.4x", {255}), "00FF"},
      {Format("%x", {-1}), "FFFFFFFF"},
      {Format("%s and %s", {"one", String("two")}), "one and two"},
      {Format("[%6s]", {"abc"}), "[   abc]"},
      {Format("[%-6s]", {"abc"}), "[abc   ]"},
      {Format("%.2s", {"abcdef"}), "ab"},
      {Format("[%.2s]", {"\xC3\xA9\xC3\xA8x"}), "[\xC3\xA9\xC3\xA8]"},  // precision counts characters
      {Format("[%3s]", {"\xC3\xA9"}), "[  \xC3\xA9]"},
      {Format("%f", {1.5}), "1.50"},
      {Format("%.2f", {3.14159}), "3.14"},
      {Format("%.0f", {2.5}), "3"},  // ties round away from zero
      {Format("%.2f", {0.125}), "0.13"},
      {Format("%.2f", {1.005}), "1.00"},  // 1.005 is stored just below the tie
      {Format("%.2f", {-0.001}), "0.00"},
      {Format("[%8.3f]", {-1.5}), "[  -1.500]"},
      {Format("%n", {1234567.891}), "1,234,567.89"},
      {Format("%.0n", {999.5}), "1,000"},
      {Format("%e", {1234.5}), "1.23450000000000E+003"},
      {Format("%.3e", {-0.00012345}), "-1.23E-004"},
      {Format("%g", {0.1 + 0.2}), "0.3"},
      {Format("%g", {1e20}), "1E20"},
      {Format("%g", {0.00001}), "0.00001"},
      {Format("%g", {0.000001}), "1E-6"},
      {Format("%g", {0.0001}), "0.0001"},
      {Format("%.3g", {1234.0}), "1.23E3"},
      {Format("100%%", {}), "100%"},
      {Format("%1:s-%0:s-%s", {"a", "b"}), "b-a-b"},
      {Format("%p", {static_cast<const void*>(nullptr)}), "0000000000000000"},
      {Format("%p", {static_cast<const void*>(&x)}).size() == 16 ? String("ok") : String("bad"), "ok"},
  });
}

TEST(RtlFormat, DisplayUsesTheUserSeparators) {
  ScopedSettings comma(',', '.');
  ExpectTable({
      {Format("%.2f", {3.14159}), "3,14"},
      {Format("%n", {1234567.5}), "1.234.567,50"},
      {Format("%g", {2.5}), "2,5"},
      {FloatToStr(0.1), "0,1"},
      {FloatToStrPoint(0.1), "0.1"},
      {Format("%.1f", {2.25}, TFormatSettings{}), "2.3"},
      {FormatFloat("0.00", 1.5), "1,50"},
      {FormatFloat("#,##0.0", 12345.67), "12.345,7"},
  });
  EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
  EXPECT_DOUBLE_EQ(StrToFloat("2.5"), 2.5);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("1.000,5", v));
  EXPECT_TRUE(TryStrToFloatPoint("1e3", v));
  EXPECT_DOUBLE_EQ(v, 1000);
  EXPECT_FALSE(TryStrToFloatPoint("2,5", v));
}

// LocaleFormatSettings under the given environment, run in a child process so
// that the test's own environment and locale stay as they are (and glibc's
// locale-path bookkeeping, which it never frees, dies with the child).
String SettingsInChild(const std::vector<std::pair<const char*, const char*>>& env) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG", "LOCPATH"}) unsetenv(name);
    for (const auto& [name, value] : env) setenv(name, value, 1);
    TFormatSettings fs = LocaleFormatSettings();
    String text = String(1, fs.DecimalSeparator) + fs.ThousandSeparator + fs.DateSeparator + " " + fs.ShortDateFormat +
                  " " + fs.LongTimeFormat + " " + Format("%.1f", {2.5}, fs);
    ssize_t written = write(fds[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  close(fds[1]);
  String out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return out;
}

TEST(RtlFormatSettingsFromLocale, ReadsSeparatorsWithoutTouchingTheProcessLocale) {
  namespace fs = std::filesystem;
  // Not installed: the defaults.
  EXPECT_EQ(SettingsInChild({{"LC_ALL", "xx_NOWHERE.UTF-8"}}), ".,/ dd/mm/yyyy hh:nn:ss 2.5");
  EXPECT_EQ(SettingsInChild({{"LANG", "C.UTF-8"}}), ".,/ dd/mm/yyyy hh:nn:ss 2.5");

  // A real locale with a decimal comma, compiled into a private folder.
  if (!fs::exists("/usr/share/i18n/locales/de_DE")) GTEST_SKIP() << "locale sources not installed";
  String dir = (fs::temp_directory_path() / ("rtl-locale-" + std::to_string(getpid()))).string();
  fs::create_directories(dir);
  String cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
  int rc = std::system(cmd.c_str());
  if (!fs::exists(dir + "/de_DE.UTF-8")) {
    fs::remove_all(dir);
    GTEST_SKIP() << "localedef failed: " << rc;
  }
  String german = SettingsInChild({{"LOCPATH", dir.c_str()}, {"LANG", "de_DE.UTF-8"}});
  String numericOnly = SettingsInChild({{"LOCPATH", dir.c_str()}, {"LC_NUMERIC", "de_DE.UTF-8"}});
  fs::remove_all(dir);
  EXPECT_EQ(german, ",.. dd/mm/yyyy hh:nn:ss 2,5");
  EXPECT_EQ(numericOnly, ",./ dd/mm/yyyy hh:nn:ss 2,5");
}

TEST(RtlFormat, MismatchAndMissingArgumentsRaise) {
  EXPECT_THROW(Format("%d", {1.5}), EConvertError);
  EXPECT_THROW(Format("%f", {1}), EConvertError);
  EXPECT_THROW(Format("%s", {7}), EConvertError);
  EXPECT_THROW(Format("%x", {"ff"}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
  EXPECT_THROW(Format("%5", {1}), EConvertError);
  try {
    Format("value %d", {"text"});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Format '%d' invalid or incompatible with argument");
  }
}

TEST(RtlFloatText, GeneralAndFixedForms) {
  ScopedSettings point('.', ',');
  ExpectTable({
      {FloatToStr(0), "0"},
      {FloatToStr(-2.5), "-2.5"},
      {FloatToStr(1.0 / 3), "0.333333333333333"},
      {FloatToStr(123456789012345.0), "123456789012345"},
      {FloatToStr(1234567890123456.0), "1.23456789012346E15"},
      {FloatToStr(1.5e-7), "1.5E-7"},
      {FloatToStr(100), "100"},
      {FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN"},
      {FloatToStr(-std::numeric_limits<double>::infinity()), "-INF"},
      {FloatToStrF(1234.5678, ffFixed, 15, 2), "1234.57"},
      {FloatToStrF(1234.5678, ffNumber, 15, 1), "1,234.6"},
      {FloatToStrF(1234.5678, ffExponent, 4, 2), "1.235E+03"},
      {FormatFloat("0.00", 0.5), "0.50"},
      {FormatFloat("#.##", 0.5), ".5"},
      {FormatFloat("000", 7), "007"},
      {FormatFloat("0.0 'MB'", 12.34), "12.3 MB"},
      {FormatFloat("0.00;(0.00)", -1.5), "(1.50)"},
      {FormatFloat("0.0;-0.0;'zero'", 0), "zero"},
      {FormatFloat("0.00", -1.5), "-1.50"},
      {FormatFloat("0.00E+00", 12345), "1.23E+04"},
  });
}

TEST(RtlIntegerText, ParsingTable) {
  struct Row {
    const char* text;
    bool ok;
    int64_t value;
  };
  const Row rows[] = {
      {"42", true, 42},          {" -17 ", true, -17},     {"+5", true, 5},
      {"$FF", true, 255},        {"0x10", true, 16},       {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},           {"9223372036854775808", false, 0},
      {"", false, 0},            {"12a", false, 0},        {"1.5", false, 0},
  };
  for (const Row& r : rows) {
    int64_t v = 0;
    EXPECT_EQ(TryStrToInt64(r.text, v), r.ok) << r.text;
    if (r.ok) {
      EXPECT_EQ(v, r.value) << r.text;
    }
  }
  int i = 0;
  EXPECT_FALSE(TryStrToInt("2147483648", i));
  EXPECT_TRUE(TryStrToInt("$FFFFFFFF", i));
  EXPECT_EQ(i, -1);
  EXPECT_EQ(StrToIntDef("x", 9), 9);
  EXPECT_THROW(StrToInt("abc"), EConvertError);
  EXPECT_EQ(IntToHex(0xBEEF, 8), "0000BEEF");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
}

TEST(RtlUnicode, Utf8Utf16RoundTrip) {
  const String text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC z";  // a é € 🎬 z
  WideString wide = UTF8ToUTF16(text);
  ASSERT_EQ(wide.size(), 7u);
  EXPECT_EQ(wide[3], 0xD83C);  // the clapper board takes a surrogate pair
  EXPECT_EQ(wide[4], 0xDFAC);
  EXPECT_EQ(UTF16ToUTF8(wide), text);
  // Malformed input becomes U+FFFD instead of being dropped or passed through.
  EXPECT_EQ(UTF8ToUTF16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(UTF8ToUTF16("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(UTF8ToUTF16("\xC0\xAF"), u"\uFFFD");  // overlong '/'
  EXPECT_EQ(UTF16ToUTF8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(RtlUnicode, CaseMappingAndComparison) {
  EXPECT_EQ(AnsiUpperCase("stra\xC3\x9F" "e"), "STRASSE");
  EXPECT_EQ(AnsiLowerCase("\xC3\x89" "COLE"), "\xC3\xA9" "cole");
  EXPECT_EQ(UpperCase("\xC3\xA9t\xC3\xA9"), "\xC3\xA9T\xC3\xA9");  // ASCII only
  EXPECT_TRUE(AnsiSameText("\xC3\x89" "cole", "\xC3\xA9" "COLE"));
  EXPECT_FALSE(SameText("\xC3\x89", "\xC3\xA9"));
  EXPECT_TRUE(SameText("Clip.MP4", "clip.mp4"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  // Collation puts accented letters beside their base letter, not after 'z'.
  EXPECT_LT(AnsiCompareText("\xC3\xA9t\xC3\xA9", "zoo"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_EQ(AnsiCompareText("Hello", "hELLO"), 0);
  EXPECT_NE(AnsiCompareStr("Hello", "hello"), 0);
  EXPECT_EQ(AnsiCompareStr("x", "x"), 0);
}

TEST(RtlText, TrimReplacePosQuote) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(StringReplace("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(StringReplace("a.b.c", ".", "", false), "ab.c");
  EXPECT_EQ(StringReplace("Foo foo FOO", "foo", "x", true, true), "x x x");
  EXPECT_EQ(StringReplace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(Pos("lo", "hello"), 4);
  EXPECT_EQ(Pos("z", "hello"), 0);
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
}

}  // namespace
