#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"

#include <filesystem>
#include <fstream>

#include "SkinFiles.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/Backend.h"

using skintest::TempFolder;

TEST(SkinUtils, ValuesAndRectangles) {
  EXPECT_TRUE(IsBetween(5, 10, 1, true));
  EXPECT_FALSE(IsBetween(5, 10, 1, false));
  EXPECT_EQ(MakeRect(100, 50, 0, 0), TRect(0, 0, 100, 50));
  EXPECT_EQ(LimitInt(7, 0, 5), 5);
  EXPECT_FALSE(RectOverlaps(TRect(0, 0, 10, 10), TRect(10, 0, 20, 10)));  // touching is outside
  EXPECT_TRUE(RectOverlaps(TRect(0, 0, 10, 10), TRect(9, 9, 20, 20)));
  EXPECT_FALSE(RectOverlaps(TRect(0, 0, 10, 10), TRect(5, 5, 5, 9)));
  EXPECT_TRUE(RectCornersInside(TRect(0, 0, 10, 10), TRect(2, 2, 10, 10), true));
  EXPECT_FALSE(RectCornersInside(TRect(0, 0, 10, 10), TRect(2, 2, 12, 10), true));
  EXPECT_EQ(RectSize(TRect(5, 5, 2, 9)).cx, 0);
}

TEST(SkinUtils, WordsHexAndFolders) {
  const TacCharSet semi = CharSet(";");
  EXPECT_EQ(WordCountBySet(";a;;b;", semi), 2);
  EXPECT_EQ(ExtractWordN(2, ";a;;b;", semi), "b");
  EXPECT_EQ(WordStartPos(2, ";a;;b;", semi), 5);
  EXPECT_EQ(ExtractWordN(3, ";a;;b;", semi), "");
  EXPECT_EQ(HexToInt64("1fH"), 31);
  EXPECT_EQ(HexToInt64("1G"), 0);
  EXPECT_EQ(NormalizeDirName("C"), "C:\\");
  EXPECT_EQ(NormalizeDirName("skins/"), "skins\\");
  EXPECT_EQ(NormalizeDirName("skins"), "skins\\");
  EXPECT_EQ(RemoveChar("a-b-c", '-'), "abc");
}

TEST(SkinUtils, IniSectionsInMemory) {
  TacIniSections s;
  ParseIniSections({"X=dropped", "[A]", "; note", "", "K=0x1F", "N=nope", "[B]", "K=7"}, s);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(ReadIniSectionInteger(s, "A", -1, "K"), 31);
  EXPECT_EQ(ReadIniSectionInteger(s, "A", -1, "N"), -1);
  EXPECT_EQ(ReadIniSectionInteger(s, "B", -1, "K"), 7);
  EXPECT_EQ(ReadIniSectionString(s, "C", "def", "K"), "def");
}

TEST(SkinUtils, TickMarkRingsShrinkTheRectangle) {
  auto b = FilledBitmap(12, 12, 0xFF000000);
  TRect r(0, 0, 10, 10);
  int count = 2;
  DrawTickMark(b->Canvas()->Handle(), r, TColor(0xFFFFFF), count, TColor(0x0000FF));
  EXPECT_EQ(r, TRect(2, 2, 8, 8));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Px(b.get(), 0, 5) & 0xFFFFFF, 0xFFFFFFu);  // outer ring, top-left edge
  EXPECT_EQ(Px(b.get(), 9, 5) & 0xFFFFFF, 0xFF0000u);  // bottom-right edge in the second colour
  EXPECT_EQ(Px(b.get(), 1, 5) & 0xFFFFFF, 0xFFFFFFu);  // inner ring
  EXPECT_EQ(Px(b.get(), 5, 5) & 0xFFFFFF, 0u);
  auto d = FilledBitmap(6, 6, 0xFF000000);
  DrawDottedFocusRect(d->Canvas(), TRect(0, 0, 6, 6), TColor(0xFFFFFF), 0x1FFFFFFF);
  EXPECT_EQ(Px(d.get(), 1, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(Px(d.get(), 2, 0) & 0xFFFFFF, 0u);
}

TEST(SkinUtils, PropertiesByName) {
  EnsureStandardClasses();
  TControl c(nullptr);
  EXPECT_TRUE(HasProperty(&c, "Anchors"));
  EXPECT_FALSE(HasProperty(&c, "NoSuch"));
  EXPECT_FALSE(HasProperty(nullptr, "Anchors"));
  EXPECT_EQ(GetObjectPropByName(&c, "Font"), c.Font());
  EXPECT_EQ(GetObjectPropByName(&c, "NoSuch"), nullptr);
  SetOrdPropByName(&c, "Left", 17);
  SetOrdPropByName(&c, "NoSuch", 17);
  EXPECT_EQ(GetOrdPropByName(&c, "Left"), 17);
  EXPECT_EQ(GetOrdPropByName(&c, "NoSuch"), -1);
  // Sets by element name: anchors start as [akLeft, akTop].
  EXPECT_TRUE(SetPropHasElement(&c, "Anchors", "akTop"));
  EXPECT_FALSE(SetPropHasElement(&c, "Anchors", "akRight"));
  EXPECT_FALSE(SetPropHasElement(&c, "Left", "akTop"));
  ChangeSetPropByName(&c, "Anchors", "akRight", true);
  ChangeSetPropByName(&c, "Anchors", "akLeft", false);
  ChangeSetPropByName(&c, "Anchors", "akNowhere", true);
  ChangeSetPropByName(&c, "NoSuch", "akLeft", true);
  EXPECT_EQ(GetPropValue(&c, "Anchors"), "[akTop, akRight]");
}

TEST(SkinUtils, SystemQueriesWaitsAndBoxes) {
  EXPECT_NE(GetCaptionFontHeight(), 0);
  HFONT f = CreateCaptionFont();
  EXPECT_NE(f, nullptr);
  DeleteObject(f);
  const bool animated = WindowAnimationEnabled();
  SetWindowAnimation(!animated);
  EXPECT_EQ(WindowAnimationEnabled(), !animated);
  SetWindowAnimation(animated);

  // Boxes: OK only, the type's icon and caption.
  THeadlessBackend* backend = HeadlessBackend();
  ASSERT_NE(backend, nullptr);
  backend->ClearMessageBoxes();
  ShowWarningBox("careful");
  ShowErrorBox("broken");
  ASSERT_EQ(backend->MessageBoxes().size(), 2u);
  EXPECT_EQ(backend->MessageBoxes()[0].Text, "careful");
  EXPECT_EQ(backend->MessageBoxes()[0].Caption, "Warning");
  EXPECT_EQ(backend->MessageBoxes()[0].Type, UINT(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(backend->MessageBoxes()[1].Type, UINT(MB_OK | MB_ICONERROR));
  backend->ClearMessageBoxes();

  // Waits count the tick difference modulo 2^32: across a wrap they end on time.
  backend->AdvanceClock((uint64_t(1) << 32) - 10 - GetTickCount());
  const DWORD start = GetTickCount();
  int steps = 0;
  for (int i = 0; i < 40; ++i) backend->QueueInput([&] {
      ++steps;
      backend->AdvanceClock(1);
    });
  WaitProcessingMessages(20);  // passes the wrap of the count
  EXPECT_GE(steps, 20);
  WaitTicks(start, 20);  // already over: returns
  EXPECT_EQ(DWORD(GetTickCount() - start), DWORD(steps));
}

TEST(SkinUtils, DirectoriesAndLinks) {
  TempFolder dir;
  const String d = dir.Path();
  std::filesystem::create_directory(d + "sub");
  std::ofstream(d + "file") << "x";
  std::filesystem::create_directory_symlink(d + "sub", d + "tosub");
  std::filesystem::create_symlink(d + "file", d + "tofile");
  std::filesystem::create_symlink(d + "none", d + "dangling");
  struct Case {
    const char* name;
    bool follow, expected;
  } cases[] = {{"sub", true, true},       {"file", true, false},     {"none", true, false},
               {"tosub", true, true},     {"tosub", false, true},    {"tofile", true, false},
               {"tofile", false, false},  {"dangling", true, false}, {"dangling", false, true}};
  for (const Case& c : cases) EXPECT_EQ(DirectoryExistsEx(d + c.name, c.follow), c.expected) << c.name << c.follow;
  EXPECT_FALSE(DirectoryExistsEx(d + "file/below", true));
}

TEST(SkinUtils, MeasuringTextWithAFont) {
  HFONT f = CreateCaptionFont();
  TSize one{}, wrapped{};
  ASSERT_TRUE(MeasureTextWithFont(f, "word word word", 0, one, 0, false));
  EXPECT_GT(one.cx, 0);
  MeasureTextWithFont(f, "word word word", DT_WORDBREAK, wrapped, one.cx / 2, true);
  EXPECT_LE(wrapped.cx, one.cx / 2);
  EXPECT_GE(wrapped.cy, 2 * one.cy);
  DeleteObject(f);
}

TEST(SkinUtils, SmallValuesTextReplacementAndTheProgramFolder) {
  EXPECT_EQ(IntMax(-3, 2), 2);
  EXPECT_EQ(IntMin(-3, 2), -3);
  EXPECT_EQ(IfThenInt(false, 1, 2), 2);
  EXPECT_EQ(IfThenStr(true, "a", "b"), "a");
  EXPECT_EQ(OffsetRectBoth(TRect(1, 2, 3, 4), 5), TRect(6, 7, 8, 9));
  EXPECT_TRUE(WideCharInByteSet(U';', CharSet(";,")));
  EXPECT_FALSE(WideCharInByteSet(U'\u013B', CharSet(";")));  // 0x13B would be ';' in its low byte
  struct Case {
    const char *text, *old, *repl, *expected;
  } cases[] = {
      {"a-b-c", "-", "+-", "a+-b+-c"},  // the replacement is not searched again
      {"aaa", "aa", "b", "ba"},
      {"Abc", "a", "x", "Abc"},         // exact case
      {"abc", "", "x", "abc"},
  };
  for (const Case& c : cases) {
    String out = ">";
    ReplaceAllStr(c.text, c.old, c.repl, out);
    EXPECT_EQ(out, String(">") + c.expected) << c.text;  // appended to what was there
  }
  const String dir = AppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(DirectoryExistsEx(dir, true));
}
