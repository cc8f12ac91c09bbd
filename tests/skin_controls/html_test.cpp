// The HTML caption renderer: what each tag and reference shows, fonts,
// links with their bounds and colours, rows and wrapping, and drawing into
// plain and alpha bitmaps, checked at labelled places.

#include <gtest/gtest.h>

#include "skin/controls/sHtml.h"
#include "skin/core/AlphaBitmaps.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

std::unique_ptr<TBitmap> WhiteBitmap(int w, int h) {
  auto b = NewBitmap32(w, h);
  FillRect32(b.get(), TRect(0, 0, w, h), 0xFFFFFF, 255);
  b->Canvas()->Font()->SetColor(clBlack);
  return b;
}

// A calculation pass over Caption with wrapping off.
struct Measured {
  TRect R;
  TacLinks Links;
};
Measured Measure(const String& Caption, TBitmap* Bmp, int HotLink = -1) {
  TsHtml h;
  h.Init(Bmp, Caption, TRect(0, 0, 0, 0), HotLink, -1);
  Measured m;
  m.R = h.HTMLText(m.Links, true);
  return m;
}

// Channel values of a 0xAARRGGBB pixel.
int Red(uint32_t p) { return int((p >> 16) & 0xFF); }
int Blue(uint32_t p) { return int(p & 0xFF); }

TEST(HtmlText, EachTagAndReferenceShowsWhatItShould) {
  struct Case {
    const char* caption;
    const char* shows;  // the plain text the caption lays out as
    size_t links;
  };
  const Case cases[] = {
      {"a&&b", "a&b", 0},
      {"a<<b", "a<b", 0},
      {"a&b", "a&b", 0},
      {"x &nope; y", "x &nope; y", 0},
      {"&amp;", "&", 0},
      {"1&#8211;2", "1\u20132", 0},
      {"&Auml;&auml;", "\u00C4\u00E4", 0},
      {"&39;&trade;", "'\u2122", 0},
      {"a<b", "ab", 0},                               // never closed: the "<" is dropped
      {"one<X>two", "one<X>two", 0},                  // not ours: shown once, literally
      {"one<TABLE>two", "one<TABLE>two", 0},          // holds an A, opens no link
      {"<P ALIGN=LEFT>para", "<P ALIGN=LEFT>para", 0},  // likewise
      {"<FONTS>x", "<FONTS>x", 0},
      {"x</ABBR>y", "x</ABBR>y", 0},
      {"a<BR />b", "a<BR />b", 0},                    // a blank before the slash: not a break
      {"</B>plain", "plain", 0},                      // a close without an open
      {"</A>plain", "plain", 0},
      {"<U>under</U>", "under", 0},
      {"<A HREF=\"x\">go</A> on", "go on", 1},
      {"<a href='y'>one</a><A>two</A>", "onetwo", 2},
      {"<FONT SIZE=+X>t</FONT>", "t", 0},              // a malformed size changes nothing
  };
  auto bmp = WhiteBitmap(8, 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    const Measured m = Measure(c.caption, bmp.get());
    EXPECT_EQ(m.Links.size(), c.links);
    // Link colours and underline do not change widths.
    EXPECT_EQ(m.R.Right, bmp->Canvas()->TextWidth(c.shows));
    EXPECT_EQ(m.R.Bottom, bmp->Canvas()->TextHeight("X"));
  }
}

TEST(HtmlText, FontAttributesTakeEffectInOrderAndBadValuesChangeNothing) {
  struct Case {
    const char* tag;
    int size;
    TColor color;
    const char* face;
  };
  // Starting from 10 points, black, "BASE".
  const Case cases[] = {
      {"<FONT COLOR=RED SIZE=20>", 10, 0x0000FF, "BASE"},  // a named colour ends the tag
      {"<FONT SIZE=20 COLOR=RED>", 20, 0x0000FF, "BASE"},
      {"<FONT COLOR=#FF0000>", 10, 0x0000FF, "BASE"},
      {"<FONT COLOR=00FF00>", 10, 0x00FF00, "BASE"},
      {"<FONT COLOR=#ZZZ>", 10, 0, "BASE"},
      {"<FONT SIZE=+4>", 14, 0, "BASE"},
      {"<FONT SIZE=-3>", 7, 0, "BASE"},
      {"<FONT SIZE=+>", 10, 0, "BASE"},
      {"<FONT SIZE=-X>", 10, 0, "BASE"},
      {"<FONT SIZE=BIG>", 8, 0, "BASE"},
      {"<FONT SIZE=99999999>", 400, 0, "BASE"},
      {"<FONT SIZE=-50>", 1, 0, "BASE"},
      {"<FONT SIZE>", 10, 0, "BASE"},
      {"<FONT FACE=\"DEJAVU SANS\" SIZE=12>", 12, 0, "DEJAVU SANS"},
      {"<FONT FACE=SERIF>", 10, 0, "BASE"},
      {"<FONT FACE=\"\">", 10, 0, "BASE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    TFont f;
    f.SetSize(10);
    f.SetColor(0);
    f.SetName("BASE");
    ApplyFontAttributes(&f, c.tag);
    EXPECT_EQ(f.Size(), c.size);
    EXPECT_EQ(f.Color(), c.color);
    EXPECT_EQ(f.Name(), c.face);
  }
}

TEST(HtmlText, TagNamesMatchExactlyAndLinkTargetsComeFromHref) {
  EXPECT_TRUE(IsOpenTag("<A HREF=X>", "A"));
  EXPECT_TRUE(IsOpenTag("<A>", "A"));
  EXPECT_FALSE(IsOpenTag("<TABLE>", "A"));
  EXPECT_FALSE(IsOpenTag("<P ALIGN=LEFT>", "A"));
  EXPECT_FALSE(IsOpenTag("<P ALIGN=LEFT>", "P"));
  EXPECT_TRUE(IsOpenTag("<FONT\nSIZE=2>", "FONT"));
  EXPECT_FALSE(IsOpenTag("<BASEFONT SIZE=2>", "FONT"));
  EXPECT_TRUE(IsOpenTag("<BR/>", "BR/"));
  EXPECT_FALSE(IsOpenTag("<BR/>", "BR"));
  EXPECT_TRUE(IsCloseTag("</A>", "A"));
  EXPECT_FALSE(IsCloseTag("</ABBR>", "A"));
  EXPECT_FALSE(IsCloseTag("</BR>", "B"));
  EXPECT_EQ(ExtractTag("AB<C>D", 2), "<C>");
  EXPECT_EQ(ExtractTag("AB<C", 2), "");
  EXPECT_EQ(ExtractHref("<a href=\"http://x/y\">"), "http://x/y");
  EXPECT_EQ(ExtractHref("<A HREF = 'z'>"), "z");
  EXPECT_EQ(ExtractHref("<A HREF=plain>"), "plain");
  EXPECT_EQ(ExtractHref("<A NAME=x>"), "");
}

TEST(HtmlText, RowsBreakAndWrapInsideTheArea) {
  auto bmp = WhiteBitmap(8, 8);
  TCanvas* c = bmp->Canvas();
  const int row = c->TextHeight("X");
  // A break starts a row 2 pixels below the current one; so does a bare P.
  for (const char* caption : {"ab<BR>cd", "ab<BR/>cd", "ab<P>cd"}) {
    SCOPED_TRACE(caption);
    const Measured m = Measure(caption, bmp.get());
    EXPECT_EQ(m.R.Bottom, 2 * row + 2);
    EXPECT_EQ(m.R.Right, std::max(c->TextWidth("ab"), c->TextWidth("cd")));
  }
  // An empty caption: nothing wide, the area's top.
  {
    TsHtml h;
    TacLinks links;
    h.Init(bmp.get(), "", TRect(0, 5, 0, 0), -1, -1);
    EXPECT_EQ(h.HTMLText(links, true), TRect(0, 0, 0, 5));
  }
  // Wrapping: each word on its row when the area holds one word; a word wider
  // than the area stands alone on its row.
  const int word = c->TextWidth("word");
  TsHtml h;
  TacLinks links;
  h.Init(bmp.get(), "word word enormousword word", TRect(0, 0, word + 2, 0), -1, -1);
  const TRect r = h.HTMLText(links, true);
  EXPECT_EQ(r.Bottom, 4 * row);
  EXPECT_EQ(r.Right, c->TextWidth("enormousword"));
  // Wrapping off: one row.
  EXPECT_EQ(Measure("word word enormousword word", bmp.get()).R.Bottom, row);
}

TEST(HtmlText, LinksRecordTheirBoundsAndDrawInLinkColours) {
  const String caption = "<A HREF=\"x\">link</A> plain";
  // Hot link: underlined blue; without skin colours.
  auto bmp = WhiteBitmap(200, 40);
  TCanvas* c = bmp->Canvas();
  const int row = c->TextHeight("X");
  TsHtml h;
  TacLinks links;
  h.Init(bmp.get(), caption, TRect(0, 0, 0, 0), 0, -1);
  const TRect r = h.HTMLText(links, false);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].URL, "x");
  EXPECT_EQ(links[0].Bounds, TRect(0, 0, c->TextWidth("link"), row));
  EXPECT_EQ(r.Right, c->TextWidth("link plain"));
  // The fonts the link pushed are back: the rest is black and not underlined.
  EXPECT_EQ(c->Font()->Color(), clBlack);
  EXPECT_FALSE(c->Font()->Style().Contains(fsUnderline));
  // Inside the link only blue ink; after it only black; nothing below the row.
  int blueInk = 0, blackInk = 0, belowInk = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      const uint32_t p = GetPixel32(bmp.get(), x, y);
      if ((p | 0xFF000000u) == kWhite) continue;
      if (y >= row) ++belowInk;
      else if (x < links[0].Bounds.Right) blueInk += Blue(p) > Red(p) ? 1 : -1000;
      else blackInk += (Red(p) == Blue(p)) ? 1 : -1000;
    }
  EXPECT_GT(blueInk, 0);
  EXPECT_GT(blackInk, 0);
  EXPECT_EQ(belowInk, 0);
  // The underline: a full blue line across the link near the row's bottom.
  bool underline = false;
  for (int y = row / 2; y < row && !underline; ++y) {
    int n = 0;
    for (int x = 1; x < links[0].Bounds.Right - 1; ++x) n += Blue(GetPixel32(bmp.get(), x, y)) > Red(GetPixel32(bmp.get(), x, y)) + 64;
    underline = n == links[0].Bounds.Right - 2;
  }
  EXPECT_TRUE(underline);

  // With a skin's palette, the hot link takes its hot web colour.
  TacPaletteArray palette{};
  palette[pcWebText] = 0x00FF00;
  palette[pcWebTextHot] = 0x0000FF;
  auto skinned = WhiteBitmap(200, 40);
  TsHtml hs;
  hs.SkinPalette = &palette;
  hs.Init(skinned.get(), caption, TRect(0, 0, 0, 0), 0, -1);
  hs.HTMLText(links, false);
  int red = 0;
  for (int y = 0; y < row; ++y)
    for (int x = 0; x < links[0].Bounds.Right; ++x) {
      const uint32_t p = GetPixel32(skinned.get(), x, y);
      red += Red(p) > 200 && Blue(p) < 100;
    }
  EXPECT_GT(red, 0);
}

TEST(HtmlText, AlphaTargetsGetInkOnlyWhereTextIs) {
  auto bmp = NewBitmap32(120, 30);  // transparent black
  bmp->Canvas()->Font()->SetColor(clWhite);
  TsHtml h;
  h.AlphaChannel = true;
  TacLinks links;
  h.Init(bmp.get(), "<B>Bold</B> &amp; more", TRect(0, 0, 0, 0), -1, -1);
  const TRect r = h.HTMLText(links, false);
  int inside = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool ink = (GetPixel32(bmp.get(), x, y) >> 24) != 0;
      (x < r.Right && y < r.Bottom ? inside : outside) += ink;
    }
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
}

}  // namespace
