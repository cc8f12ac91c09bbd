#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/platform_gdi/GdiTestUtil.h"

namespace {

HFONT MakeFont(int height, const char* face = "DejaVu Sans", int weight = FW_NORMAL, bool italic = false) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

struct FontScope {
  FontScope(HDC dc, HFONT f) : dc(dc), font(f), old(SelectObject(dc, f)) {}
  ~FontScope() {
    SelectObject(dc, old);
    DeleteObject(font);
  }
  HDC dc;
  HFONT font;
  HGDIOBJ old;
};

SIZE Extent(HDC dc, const std::string& s) {
  SIZE sz{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32(dc, s.data(), int(s.size()), &sz));
  return sz;
}

// Faces the window definitions name are drawn with their free stand-ins, faces
// that exist are kept, and anything else is DejaVu Sans on every machine.
TEST(Fonts, NamedFacesGetTheirStandInsAndUnknownOnesDejaVuSans) {
  const std::pair<const char*, const char*> cases[] = {
      {"Tahoma", "Liberation Sans"},          {"tahoma", "Liberation Sans"},
      {"MS Sans Serif", "Liberation Sans"},   {"No Such Face 123", "DejaVu Sans"},
      {"", "DejaVu Sans"},                    {"DejaVu Sans Mono", "DejaVu Sans Mono"},
  };
  for (const auto& [face, family] : cases) {
    HFONT f = MakeFont(-12, face);
    char name[64] = {};
    ASSERT_TRUE(GetFontFamilyName(f, name, sizeof name));
    EXPECT_STREQ(name, family) << face;
    DeleteObject(f);
  }
}

// Relations rather than pinned numbers, so that a new release of the font
// package does not break the test: the cell follows the requested height,
// larger and bolder text is wider, and measuring is additive and repeatable.
TEST(Fonts, ExtentsAndMetricsFollowTheRequestedSize) {
  struct Case {
    int height;
    int weight;
  };
  const Case cases[] = {{-11, FW_NORMAL}, {-16, FW_NORMAL}, {-16, FW_BOLD}};
  const std::string text = "Hello, World";
  Surface s(4, 4);
  std::vector<SIZE> sizes;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.height) + (c.weight == FW_BOLD ? " bold" : ""));
    FontScope font(s.dc, MakeFont(c.height, "Tahoma", c.weight));
    const SIZE sz = Extent(s.dc, text);
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    // A negative height is the character height: the cell adds the internal leading.
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight + c.height);
    EXPECT_GE(tm.tmInternalLeading, 0);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_GT(tm.tmDescent, 0);
    EXPECT_EQ(sz.cy, tm.tmHeight);
    // Latin text is a few tenths of the height wide per character.
    EXPECT_GT(sz.cx, LONG(text.size()) * -c.height * 3 / 10);
    EXPECT_LT(sz.cx, LONG(text.size()) * -c.height * 8 / 10);
    // Widths add up (no kerning between runs) and measuring again gives the same.
    EXPECT_EQ(Extent(s.dc, "Hello,").cx + Extent(s.dc, " World").cx, sz.cx);
    EXPECT_EQ(Extent(s.dc, text).cx, sz.cx);
    EXPECT_GT(Extent(s.dc, "WWW").cx, Extent(s.dc, "iii").cx);
    sizes.push_back(sz);
  }
  // Larger text is taller and wider, in proportion within rounding; bold is wider still.
  EXPECT_GT(sizes[1].cy, sizes[0].cy);
  EXPECT_NEAR(double(sizes[1].cx) / sizes[0].cx, 16.0 / 11.0, 0.15);
  EXPECT_EQ(sizes[2].cy, sizes[1].cy);
  EXPECT_GT(sizes[2].cx, sizes[1].cx);
  // A positive height is the cell height.
  FontScope cell(s.dc, MakeFont(19));
  TEXTMETRIC tm;
  GetTextMetrics(s.dc, &tm);
  EXPECT_NEAR(tm.tmHeight, 19, 1);
}

TEST(Text, TextOutPaintsInsideItsCellOnly) {
  Surface s(80, 30);
  s.Fill(0x00FFFFFF);
  FontScope font(s.dc, MakeFont(-16));
  SetBkMode(s.dc, TRANSPARENT);
  SetTextColor(s.dc, RGB(0, 0, 0));
  ASSERT_TRUE(TextOut(s.dc, 5, 3, "Wg", 2));
  const SIZE sz = Extent(s.dc, "Wg");
  int dark = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x) {
      if (s.At(x, y) == 0x00FFFFFF) continue;
      ++dark;
      EXPECT_TRUE(x >= 5 && x < 5 + sz.cx + 1 && y >= 3 && y < 3 + sz.cy) << x << "," << y;
    }
  EXPECT_GT(dark, 20);

  // Opaque mode fills the whole cell with the background colour first.
  s.Fill(0);
  SetBkMode(s.dc, OPAQUE);
  SetBkColor(s.dc, RGB(0, 0, 255));
  SetTextColor(s.dc, RGB(255, 255, 255));
  TextOut(s.dc, 0, 0, "Wg", 2);
  EXPECT_EQ(s.At(0, sz.cy - 1), 0x000000FFu);
  EXPECT_EQ(s.At(sz.cx, 0), 0u);

  // The same drawing gives the same pixels.
  Surface again(80, 30);
  again.Fill(0);
  FontScope font2(again.dc, MakeFont(-16));
  SetBkColor(again.dc, RGB(0, 0, 255));
  SetTextColor(again.dc, RGB(255, 255, 255));
  TextOut(again.dc, 0, 0, "Wg", 2);
  EXPECT_EQ(std::memcmp(s.bits, again.bits, size_t(80 * 4 * 30)), 0);
}

TEST(DrawText, WordWrapTable) {
  Surface s(400, 200);
  FontScope font(s.dc, MakeFont(-12));
  TEXTMETRIC tm;
  GetTextMetrics(s.dc, &tm);
  const std::string text = "The quick brown fox jumps over the lazy dog";
  const LONG full = Extent(s.dc, text).cx;
  LONG longest = 0;
  for (const char* word : {"The", "quick", "brown", "fox", "jumps", "over", "the", "lazy", "dog"})
    longest = std::max(longest, Extent(s.dc, word).cx);
  struct Case {
    const char* name;
    std::string text;
    int width;
    UINT flags;
    int lines;
    bool fitsWidth;  // the measured width stays within the given one
  };
  const Case cases[] = {
      {"fits on one line", text, full, DT_WORDBREAK, 1, true},
      {"one pixel short", text, full - 1, DT_WORDBREAK, 2, true},
      {"one word per line", text, longest, DT_WORDBREAK, 9, true},
      {"word wider than the line stays whole", text, 10, DT_WORDBREAK, 9, false},
      {"edit control cuts long words", "abcdefghij", Extent(s.dc, "abcde").cx, DT_WORDBREAK | DT_EDITCONTROL, 2, true},
      {"line breaks", "a\nb\r\nc", 400, 0, 3, true},
      {"empty paragraph kept", "a\n\nb", 400, DT_WORDBREAK, 3, true},
      {"single line ignores breaks", "a\nb", 400, DT_SINGLELINE | DT_WORDBREAK, 1, true},
      {"no wrap without the flag", text, 10, 0, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RECT r{10, 20, 10 + c.width, 20};
    const int height = DrawText(s.dc, c.text.c_str(), -1, &r, c.flags | DT_CALCRECT);
    EXPECT_EQ(height, c.lines * tm.tmHeight);
    EXPECT_EQ(r.bottom - r.top, height);
    EXPECT_EQ(r.left, 10);
    if (c.fitsWidth) {
      EXPECT_LE(r.right - r.left, c.width);
    } else {
      EXPECT_GT(r.right - r.left, c.width);
    }
  }
}

TEST(DrawText, EllipsisPrefixAndAlignment) {
  Surface s(300, 60);
  FontScope font(s.dc, MakeFont(-12));
  const std::string text = "C:\\Videos\\A rather long file name.mkv";
  const LONG full = Extent(s.dc, text).cx;
  const LONG dots = Extent(s.dc, "...").cx;
  struct Case {
    int width;
    LONG expectedMax;  // upper bound of the measured width
    bool cut;
  };
  for (const Case& c : {Case{int(full), full, false}, Case{int(full) - 1, full - 1, true}, Case{60, 60, true},
                        Case{dots, dots, true}, Case{2, dots, true}}) {
    SCOPED_TRACE(c.width);
    RECT r{0, 0, c.width, 0};
    DrawText(s.dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_LE(r.right, c.expectedMax);
    if (c.cut) {
      EXPECT_LT(r.right, full);
    }
    EXPECT_GE(r.right, c.cut ? dots : full);
  }

  // "&" marks a prefix unless DT_NOPREFIX; "&&" is one "&".
  auto width = [&](const char* t, UINT f) {
    RECT r{0, 0, 300, 0};
    DrawText(s.dc, t, -1, &r, f | DT_CALCRECT | DT_SINGLELINE);
    return r.right;
  };
  EXPECT_EQ(width("&File", 0), Extent(s.dc, "File").cx);
  EXPECT_EQ(width("&File", DT_NOPREFIX), Extent(s.dc, "&File").cx);
  EXPECT_EQ(width("A&&B", 0), Extent(s.dc, "A&B").cx);

  // Alignment: right-aligned text ends at the right edge, centred text is balanced.
  const LONG w = Extent(s.dc, "Mid").cx;
  for (UINT align : {DT_LEFT, DT_CENTER, DT_RIGHT}) {
    s.Fill(0x00FFFFFF);
    SetBkMode(s.dc, TRANSPARENT);
    RECT r{0, 0, 300, 60};
    DrawText(s.dc, "Mid", 3, &r, align | DT_SINGLELINE | DT_VCENTER);
    int minX = 300, maxX = -1, minY = 60, maxY = -1;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 300; ++x)
        if (s.At(x, y) != 0x00FFFFFF) {
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
          minY = std::min(minY, y);
          maxY = std::max(maxY, y);
        }
    const int start = align == DT_LEFT ? 0 : align == DT_CENTER ? (300 - w) / 2 : 300 - w;
    EXPECT_GE(minX, start - 1) << align;
    EXPECT_LE(maxX, start + w) << align;
    EXPECT_GT(minY, 15);  // vertically centred
    EXPECT_LT(maxY, 45);
  }

  // Clipped to the rectangle unless DT_NOCLIP.
  s.Fill(0x00FFFFFF);
  RECT narrow{0, 0, 5, 60};
  DrawText(s.dc, "WWWW", -1, &narrow, DT_SINGLELINE);
  for (int y = 0; y < 60; ++y)
    for (int x = 5; x < 300; ++x) ASSERT_EQ(s.At(x, y), 0x00FFFFFFu);
}

// Faces are found once and shared: a font made while another of its face
// lives, or again after all were freed, measures exactly as the first did.
TEST(Fonts, TheSameFontMadeAgainMeasuresTheSame) {
  HDC dc = CreateCompatibleDC(nullptr);
  for (int height : {-13, 0, 16}) {
    for (const char* face : {"DejaVu Sans", "No Such Face 123"}) {
      SIZE first, shared, again;
      {
        FontScope a(dc, MakeFont(height, face, FW_BOLD));
        first = Extent(dc, "Menu item");
        HFONT other = MakeFont(height, face, FW_BOLD);
        FontScope b(dc, other);
        shared = Extent(dc, "Menu item");
      }
      {
        FontScope c(dc, MakeFont(height, face, FW_BOLD));
        again = Extent(dc, "Menu item");
      }
      EXPECT_EQ(shared.cx, first.cx) << face << " " << height;
      EXPECT_EQ(again.cx, first.cx) << face << " " << height;
      EXPECT_EQ(again.cy, first.cy) << face << " " << height;
    }
  }
  DeleteDC(dc);
}

}  // namespace
