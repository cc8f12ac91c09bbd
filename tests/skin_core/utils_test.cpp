#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/GeneralUtils.h"

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
