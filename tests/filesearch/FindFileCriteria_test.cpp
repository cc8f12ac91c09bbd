// Criteria, target paths, the wildcard matcher and the content search.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tests/filesearch/FindFileFixture.h"

namespace {

TEST(FindFileCriteria, SplitValuesTrimsAndDropsRepeatsIgnoringCase) {
  EXPECT_EQ(SplitValues("*.avi; *.mp4;;*.AVI"), (std::vector<String>{"*.avi", "*.mp4"}));
  EXPECT_EQ(SplitValues(" ; ;"), std::vector<String>{});
  EXPECT_EQ(SplitValues("/a;/A;/a", ';', true), (std::vector<String>{"/a", "/A"}));
}

TEST(FindFileCriteria, FolderSyntax) {
  struct Case {
    const char* text;
    bool recursive;
    uint16_t minLevel, maxLevel;
  };
  // Defaults going in: recursive, levels 5 and 7.
  const Case cases[] = {
      {"2-3>/data", true, 2, 3},  {"1>/data", true, 0, 1},     {">/data", true, 5, 7},
      {"<  /data", false, 5, 7},  {"/data", true, 5, 7},       {"x-y>/data", true, 5, 7},
      {"2 - >/data", true, 2, 7}, {"70000>/data", true, 0, 7},
  };
  for (const Case& c : cases) {
    bool recursive = true;
    uint16_t minLevel = 5, maxLevel = 7;
    EXPECT_EQ(ParseFolderInfo(c.text, recursive, minLevel, maxLevel), "/data/") << c.text;
    EXPECT_EQ(recursive, c.recursive) << c.text;
    EXPECT_EQ(minLevel, c.minLevel) << c.text;
    EXPECT_EQ(maxLevel, c.maxLevel) << c.text;
  }
  bool recursive = true;
  uint16_t minLevel = 0, maxLevel = 0;
  EXPECT_EQ(ParseFolderInfo("rel/../x", recursive, minLevel, maxLevel), IncludeTrailingPathDelimiter(GetCurrentDir()) + "x/");
}

TEST(FindFileCriteria, TargetPathsFromLocationAndPaths) {
  TFileCriteria files;
  files.SetFileName("*.doc");
  files.SetLocation("/x/A;2>/x/B;/x/a");
  files.Paths().Add("/x/A/*.txt");
  files.Paths().Add("  ");
  TTargetPaths& targets = files.GetTargetPaths();
  ASSERT_EQ(targets.Count(), 3);  // "/x/a" is another folder than "/x/A" here
  EXPECT_EQ(targets.Items(0).Folder(), "/x/A/");
  EXPECT_EQ(targets.Items(0).FileMasks().Text(), "*.doc\n*.txt\n");
  EXPECT_TRUE(targets.Items(1).Recursive);
  EXPECT_EQ(targets.Items(1).MaxLevel, 2);
  EXPECT_EQ(targets.Items(1).MinLevel, 0);
  EXPECT_EQ(targets.Items(2).Folder(), "/x/a/");

  // A change of the settings, or of Paths, drops the cached targets.
  files.SetSubfolders(false);
  EXPECT_FALSE(files.GetTargetPaths().Items(0).Recursive);
  files.Paths().Clear();
  files.SetFileName("");
  EXPECT_EQ(files.GetTargetPaths().Items(0).FileMasks().Text(), "*.*\n");
}

TEST(FindFileCriteria, WildcardMatch) {
  struct Case {
    const char* text;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"clip.AVI", "*.avi", true}, {"a", "a?", true},          {"x.c", "*.??", true},     {"ab", "a?c", false},
      {"abc", "a?c", true},        {"abc", "A?C", true},       {"ab", "a*?b", true},      {"xyz", "a*", false},
      {"ÉTÉ.mkv", "été.*", true},  {"abcd", "a??", false},     {"ab", "a??", true},       {"", "*", true},
      {"/c/temp/a.", "*/temp/*", true},
      // Many stars over a long near-miss: linear with one backtrack point.
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*c", false},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.text, c.mask), c.match) << c.text << " / " << c.mask;
}

TEST(FindFileCriteria, PathFiltersFirstMatchDecides) {
  TFileCriteria files;
  EXPECT_TRUE(files.Matches("/c/temp/", "a.txt"));
  files.Filters().Add("<*/temp/*");
  files.Filters().Add(">*.txt");
  EXPECT_FALSE(files.Matches("/c/temp/", "a.txt"));
  EXPECT_TRUE(files.Matches("/c/other/", "a.doc"));
  files.Filters().Clear();
  files.Filters().Add(">*.txt");
  files.Filters().Add("<*/temp/*");
  EXPECT_TRUE(files.Matches("/c/temp/", "a.txt"));
  EXPECT_FALSE(files.Matches("/c/temp/", "a.doc"));
  files.Filters().Clear();
  files.Filters().Add("<*.");  // a name without extension is filtered as "name."
  EXPECT_FALSE(files.Matches("/c/", "README"));
  EXPECT_TRUE(files.Matches("/c/", "README.md"));
}

TEST(FindFileCriteria, Attributes) {
  TAttributesCriteria a;
  EXPECT_EQ(a.Hidden(), fsUnset);
  EXPECT_EQ(a.System(), fsUnset);
  EXPECT_EQ(a.Directory(), fsUnset);
  EXPECT_EQ(a.Readonly(), fsIgnore);
  EXPECT_TRUE(a.Matches(faArchive | faReadOnly));
  EXPECT_FALSE(a.Matches(faArchive | faHidden));
  EXPECT_FALSE(a.Matches(faDirectory));
  a.Clear();
  EXPECT_TRUE(a.Matches(faDirectory | faHidden | faSysFile));

  a.SetReadonly(fsSet);
  EXPECT_EQ(a.Readonly(), fsSet);
  EXPECT_FALSE(a.Matches(faArchive));
  EXPECT_TRUE(a.Matches(faArchive | faReadOnly));
  a.SetReadonly(fsIgnore);
  EXPECT_EQ(a.OnAttributes(), 0u);

  // "Any" groups: at least one of the marked bits set (or clear).
  a.SetStatus(faHidden, fsAnySet);
  a.SetStatus(faArchive, fsAnySet);
  EXPECT_FALSE(a.Matches(faReadOnly));
  EXPECT_TRUE(a.Matches(faArchive));
  a.Clear();
  a.SetStatus(faHidden, fsAnyUnset);
  a.SetStatus(faArchive, fsAnyUnset);
  EXPECT_FALSE(a.Matches(faHidden | faArchive));
  EXPECT_TRUE(a.Matches(faHidden));
}

TEST(FindFileCriteria, StatusIsNeededOnlyForSizeTimesAndReadOnly) {
  // What the listing tells (the kind of entry, a dot name) never needs it.
  const std::function<void(TSearchCriteria&)> needing[] = {
      [](TSearchCriteria& c) { c.Size().Min = 1; },
      [](TSearchCriteria& c) { c.Size().Max = 10; },
      [](TSearchCriteria& c) { c.TimeStamp().AccessedAfter = 45000; },
      [](TSearchCriteria& c) { c.TimeStamp().CreatedBefore = 45000; },
      [](TSearchCriteria& c) { c.Attributes().SetReadonly(fsUnset); },
      [](TSearchCriteria& c) { c.Attributes().SetReadonly(fsAnySet); },
  };
  const std::function<void(TSearchCriteria&)> notNeeding[] = {
      [](TSearchCriteria&) {},
      [](TSearchCriteria& c) { c.Attributes().Clear(); },
      [](TSearchCriteria& c) { c.Attributes().SetHidden(fsSet); },
      [](TSearchCriteria& c) { c.Attributes().SetArchive(fsSet); },
      [](TSearchCriteria& c) { c.Files().SetFileName("*.mp4"); },
  };
  for (size_t i = 0; i < std::size(needing); ++i) {
    TSearchCriteria c;
    needing[i](c);
    EXPECT_TRUE(c.NeedsStatus()) << i;
  }
  for (size_t i = 0; i < std::size(notNeeding); ++i) {
    TSearchCriteria c;
    notNeeding[i](c);
    EXPECT_FALSE(c.NeedsStatus()) << i;
  }
}

TEST(FindFileCriteria, SizeBounds) {
  struct Case {
    int64_t min, max, size;
    bool match;
  };
  const Case cases[] = {
      {1024, 0, 1023, false}, {1024, 0, 1024, true},  {0, 10, 10, true}, {0, 10, 11, false},
      {0, 0, 1LL << 40, true}, {5, 5, 5, true},       {5, 5, 4, false},
  };
  for (const Case& c : cases) {
    TSizeCriteria s;
    s.Min = c.min;
    s.Max = c.max;
    EXPECT_EQ(s.Matches(c.size), c.match) << c.min << ".." << c.max << " " << c.size;
  }
}

TEST(FindFileCriteria, DateRangesInclusiveWithDateOnlyAndTimeOnlyBounds) {
  struct Case {
    double v, before, after;
    bool match;
  };
  const Case cases[] = {
      {45000.99, 45000.0, 0, true},   // a whole date includes that day
      {45001.0, 45000.0, 0, false},
      {45000.25, 45000.5, 0, true},   // a date and time compares both
      {45000.75, 45000.5, 0, false},
      {45123.75, 0, 0.5, true},       // below 1: time of day on any day
      {45123.25, 0, 0.5, false},
      {45123.25, 0.5, 0, true},
      {44999.99, 0, 45000.0, false},  // a whole After starts at midnight
      {45000.0, 0, 45000.0, true},
      {45000.5, 45000.5, 45000.5, true},
      {12345.0, 0, 0, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsDateTimeInRange(c.v, c.before, c.after), c.match) << c.v << " " << c.before << " " << c.after;

  // The criteria compare local time, converted from the file's UTC time.
  const TDateTime utc = 45000.5;
  const TDateTime local = FileTimeToLocalDateTime(utc);
  TDateTimeCriteria t;
  t.ModifiedBefore = local;
  EXPECT_TRUE(t.Matches(0, utc, 0));
  EXPECT_FALSE(t.Matches(0, utc + 1.0 / 86400, 0));
  t.Clear();
  t.AccessedAfter = local;
  EXPECT_FALSE(t.Matches(0, 0, utc - 1.0 / 86400));
}

// Writes bytes to a file of the tree and searches it.
class ContentSearch : public ::testing::Test {
 protected:
  bool Find(const std::string& bytes, const String& phrase, TContentSearchOptions options = 0) {
    tree.File("content.bin", bytes);
    TContentCriteria c;
    c.SetPhrase(phrase);
    c.Options = options;
    return c.Matches(tree.Root + "content.bin");
  }
  TTempTree tree;
};

std::string Utf16(const std::u16string& s, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : s) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

TEST_F(ContentSearch, EightBitText) {
  struct Case {
    std::string bytes;
    const char* phrase;
    TContentSearchOptions options;
    bool found;
  };
  const Case cases[] = {
      {"aaab", "aab", 0, true},  // restart one after a failed partial match
      {"abababc", "ababc", 0, true},
      {"xx ABC yy", "abc", 0, true},
      {"xx ABC yy", "abc", csoCaseSensitive, false},
      {"x abc.", "abc", csoWholeWord, true},
      {"xabc", "abc", csoWholeWord, false},
      {"abcd abc", "abc", csoWholeWord, true},  // a whole-word failure does not hide the next hit
      {"aabc abc", "abc", csoWholeWord, true},
      {"abc", "abc", csoWholeWord, true},       // file start and end count as delimiters
      {"x abc.", "abc", csoWholeWord | csoNegate, false},
      {"xabc", "abc", csoWholeWord | csoNegate, true},
      {"", "abc", 0, false},
      {"ab", "abc", 0, false},
      {"caf\xC3\xA9 abc", "abc", csoWholeWord, true},
      {"\xC3\xA9" "abc", "abc", csoWholeWord, false},  // a letter before is no delimiter
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.bytes, c.phrase, c.options), c.found) << c.bytes << " / " << c.phrase;
}

TEST_F(ContentSearch, HitsAcrossBlockBoundaries) {
  constexpr size_t kBlock = 61440;
  // A partial match that starts in one block and restarts in the next.
  EXPECT_TRUE(Find(std::string(kBlock - 2, 'x') + "aaab", "aab"));
  // The character after a hit is read from the next block.
  EXPECT_FALSE(Find(std::string(kBlock - 4, 'x') + " abcd", "abc", csoWholeWord));
  EXPECT_TRUE(Find(std::string(kBlock - 4, 'x') + " abc d", "abc", csoWholeWord));
  // The character before a hit lies in the previous block.
  EXPECT_FALSE(Find(std::string(kBlock, 'x') + "abc", "abc", csoWholeWord));
  EXPECT_TRUE(Find(std::string(kBlock * 2 + 7, 'x') + " abc", "abc", csoWholeWord));
  // UTF-16 with its mark: the units shift by one byte against the blocks.
  EXPECT_TRUE(Find(Utf16(std::u16string(kBlock / 2 - 2, u'x') + u" ab", false), "ab", csoWholeWord));
  EXPECT_FALSE(Find(Utf16(std::u16string(kBlock / 2 - 2, u'x') + u" abc", false), "ab", csoWholeWord));
  EXPECT_TRUE(Find(Utf16(std::u16string(kBlock / 2 - 2, u'x') + u"aaab", false), "aab"));
}

TEST_F(ContentSearch, UnicodeFiles) {
  EXPECT_TRUE(Find(Utf16(u"aab", true), "ab"));
  EXPECT_TRUE(Find(Utf16(u"xx abc", false), "ABC"));
  EXPECT_TRUE(Find(Utf16(u"xx abc", true), "ABC"));
  EXPECT_FALSE(Find(Utf16(u"xx abc", true), "ABC", csoCaseSensitive));
  EXPECT_TRUE(Find(Utf16(u"un \u00C9T\u00C9 chaud", false), "\u00E9t\u00E9", csoWholeWord));  // 16-bit case table
  EXPECT_FALSE(Find(Utf16(u"\u00E9abc", false), "abc", csoWholeWord));
  EXPECT_TRUE(Find(Utf16(u"ab", false) + "c", "ab", csoWholeWord));  // odd last byte ignored

  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_TRUE(Find(bom + "\xC3\xA9" "abc", "abc"));
  EXPECT_TRUE(Find(bom + "xx ABC", "abc"));
  EXPECT_FALSE(Find(bom + "\xC3\xA9" "abc", "abc", csoWholeWord));
  EXPECT_TRUE(Find(bom + "\xE2\x80\x94" "abc", "abc", csoWholeWord));  // an em dash delimits
  // A match only starts at a character start.
  EXPECT_FALSE(Find(bom + "\xC3\xA9", "\xA9"));
}

TEST_F(ContentSearch, UnreadableFilesNeverMatch) {
  TContentCriteria c;
  c.SetPhrase("abc");
  EXPECT_FALSE(c.Matches(tree.Root + "missing"));
  c.Options = csoNegate;
  EXPECT_FALSE(c.Matches(tree.Root + "missing"));
  tree.Dir("folder");
  EXPECT_FALSE(c.Matches(tree.Root + "folder"));
  c.SetPhrase("");
  EXPECT_TRUE(c.Matches(tree.Root + "missing"));
  EXPECT_THROW(FileContainsPhrase(tree.Root + "missing", c.PhraseVariants(), 0), Exception);
}

TEST(FindFileCriteria, AssignCopiesEverythingAndClearResets) {
  TSearchCriteria a;
  a.Files().SetFileName("*.mp4");
  a.Files().SetLocation("/v");
  a.Files().Filters().Add("<*/tmp/*");
  a.Attributes().SetReadonly(fsSet);
  a.TimeStamp().CreatedAfter = 3;
  a.Size().Max = 9;
  a.Content().SetPhrase("été");
  a.Content().Options = csoWholeWord;

  TSearchCriteria b;
  b.Assign(a);
  EXPECT_EQ(b.Files().FileName(), "*.mp4");
  EXPECT_EQ(b.Files().Location(), "/v");
  EXPECT_EQ(b.Files().Filters().Count(), 1);
  EXPECT_EQ(b.Attributes().Readonly(), fsSet);
  EXPECT_EQ(b.Attributes().Hidden(), fsUnset);
  EXPECT_EQ(b.TimeStamp().CreatedAfter, 3);
  EXPECT_EQ(b.Size().Max, 9);
  EXPECT_EQ(b.Content().PhraseVariants().Unicode, u"été");
  EXPECT_EQ(b.Content().Options, csoWholeWord);
  EXPECT_EQ(b.Files().GetTargetPaths().Items(0).Folder(), "/v/");

  try {
    b.Files().Assign(a.Size());
    ADD_FAILURE() << "criteria of another class were assigned";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TSizeCriteria to a TFileCriteria");
  }

  b.Clear();
  EXPECT_EQ(b.Files().FileName(), "");
  EXPECT_EQ(b.Files().Filters().Count(), 0);
  EXPECT_EQ(b.Attributes().Hidden(), fsIgnore);
  EXPECT_EQ(b.Size().Max, 0);
  EXPECT_EQ(b.Content().Phrase(), "");
}

}  // namespace
