#include <gtest/gtest.h>

#include "media/FFmpegOptParser.h"

namespace {

struct SplitCase {
  const char* text;
  std::vector<String> words;
};

TEST(SplitCommandLine, Table) {
  const SplitCase cases[] = {
      {"", {}},
      {" \t ", {}},
      {"-vf scale=640:480,hflip", {"-vf", "scale=640:480,hflip"}},
      {"  -an\t\t-sn  ", {"-an", "-sn"}},
      {"-vf \"scale=640:480, hflip\"", {"-vf", "scale=640:480, hflip"}},
      {"-metadata \"title=a \\\"b\\\" c\"", {"-metadata", "title=a \"b\" c"}},
      {"a\"b c\"d", {"ab cd"}},
      // Backslashes: only those before a quote are halved.
      {"a\\\\b", {"a\\\\b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"C:\\dir\\ x", {"C:\\dir\\", "x"}},
      {"end\\", {"end\\"}},
      {"end\\\\", {"end\\\\"}},
      // A doubled quote inside quotes is one quote and closes the stretch.
      {"\"a\"\"b\"", {"a\"b"}},
      {"\"a\"\"b c\"", {"a\"b", "c"}},
      {"\"\"\"\"", {"\""}},
      // Empty words.
      {"\"\"", {""}},
      {"-metadata \"\" -y", {"-metadata", "", "-y"}},
      {"\"", {""}},
      // An open quote runs to the end.
      {"\"a b", {"a b"}},
      // Line breaks are not separators.
      {"a\nb", {"a\nb"}},
      // UTF-8 bytes pass untouched, inside and outside quotes.
      {"-metadata title=\xC3\xA9t\xC3\xA9 \"\xE6\x97\xA5 \xE6\x9C\xAC\"",
       {"-metadata", "title=\xC3\xA9t\xC3\xA9", "\xE6\x97\xA5 \xE6\x9C\xAC"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.words) << "text: " << c.text;
}

TEST(SplitCommandLine, EndsAtZeroByte) {
  const std::string text("-an\0-vn", 7);
  EXPECT_EQ(SplitCommandLine(text), std::vector<String>{"-an"});
}

}  // namespace
