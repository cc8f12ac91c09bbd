// Skinned labels: caption colours with and without a skin, a section painted
// behind the caption, the HTML label's plain caption, and links that open
// through the launcher only when the click handler lets them.

#include <gtest/gtest.h>

#include <vector>

#include "platform/vcl/TypInfo.h"
#include "skin/controls/sLabel.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sSkinIndexes.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

constexpr TColor kSection = 0x208040, kLabelText = 0x0000C0;

struct LabelSkin {
  TacSkinRecords s;
  LabelSkin() {
    s.CommonSkinData.Active = true;
    const int i = s.AddNewSection("LABELBG", -1, 1, 0, kSection, 0x00FF00);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    s.Palette[pcLabelText] = kLabelText;
    s.Palette[pcMainColor] = 0xFFFFFF;
    InitConstantIndexes(s, false);
  }
};

class LabelTest : public WindowTest {
 protected:
  void TearDown() override {
    LabelLinkOpener = nullptr;
    WindowTest::TearDown();
  }
  template <class T>
  T* Make(TForm& form, const char* caption) {
    auto* l = new T(&form);
    l->SetParent(&form);
    l->SetBounds(10, 10, 200, 20);
    l->SetCaption(caption);
    return l;
  }
  static TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
  static void Mouse(TControl* c, UINT msg, TPoint p) { c->Perform(msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(p.X, p.Y)); }
};

}  // namespace

TEST_F(LabelTest, CaptionColoursFollowTheSkinAndTheEnabledState) {
  LabelSkin k;
  TForm form(nullptr);
  form.SetColor(0x808080);
  ShowForm(form);
  auto* plain = Make<TsLabel>(form, "Files");
  plain->Font()->SetColor(0x0000FF);
  EXPECT_EQ(plain->GetCurrentColor(), 0x0000FF) << "no skin: the font's colour";
  plain->SetEnabled(false);
  EXPECT_EQ(plain->GetCurrentColor(), MixColors(0x0000FF, 0x808080, 100)) << "disabled: mixed with the parent";

  auto* skinned = Make<TsCustomLabel>(form, "Files");
  skinned->SetSkinManager(&k.s);
  EXPECT_EQ(skinned->GetCurrentColor(), kLabelText);
  skinned->SetEnabled(false);
  EXPECT_EQ(skinned->GetCurrentColor(), MixColors(kLabelText, 0xFFFFFF, 100));

  // A label over an unskinned form takes the form's font colour; its own section's when it has one.
  auto* own = Make<TsLabel>(form, "Files");
  own->SetSkinManager(&k.s);
  form.Font()->SetColor(0x112233);
  EXPECT_EQ(own->GetCurrentColor(), 0x112233);
  own->SetSkinSection("LABELBG");
  EXPECT_EQ(GetLabelTextColor(own, own->CurrentSkinIndex(), &k.s, 0), 0x00FF00);
  own->UseSkinColor = false;
  own->Font()->SetColor(0x0000FF);
  EXPECT_EQ(own->GetCurrentColor(), 0x0000FF);
}

TEST_F(LabelTest, SectionIsPaintedBehindTheCaption) {
  LabelSkin k;
  TForm form(nullptr);
  ShowForm(form);
  auto* l = Make<TsLabel>(form, "Files");
  l->SetAutoSize(false);
  l->SetBounds(10, 10, 200, 20);
  l->SetSkinManager(&k.s);
  l->SetSkinSection("LABELBG");
  form.Invalidate();
  Application->ProcessMessages();
  TBitmap b;
  GetWindowSurfaceBitmap(form.Handle(), b);
  const POINT o = GetWindowSurfaceOffset(form.Handle());
  const auto at = [&](int x, int y) { return SwapRedBlue(GetPixel32(&b, o.x + x, o.y + y)) & 0xFFFFFF; };
  EXPECT_EQ(at(205, 25), uint32_t(kSection));
  int text = 0;
  for (int x = 10; x < 60; ++x)
    for (int y = 10; y < 30; ++y) text += (at(x, y) & 0xFF00) > 0xC000 && (at(x, y) & 0xFF) < 0x60;
  EXPECT_GT(text, 5) << "the caption in the section's green font colour";
}

TEST_F(LabelTest, PlainCaptionDropsTags) {
  TForm form(nullptr);
  struct Case {
    const char* caption;
    const char* plain;
  } cases[] = {
      {"<b>bold</b> text", "bold text"},
      {"a > b <i>c</i>", "a > b c"},
      {"keep <", "keep <"},
      {"open <b unclosed", "open <b unclosed"},
  };
  for (const Case& c : cases) EXPECT_EQ(Make<TsHTMLLabel>(form, c.caption)->PlainCaption(), c.plain) << c.caption;
}

TEST_F(LabelTest, LinksOpenThroughTheLauncherOnlyWhenAllowed) {
  TForm form(nullptr);
  ShowForm(form);
  auto* l = Make<TsHTMLLabel>(form, "Go <a href=\"one\">first</a> or <a href=\"two\">second</a>");
  form.Invalidate();
  Application->ProcessMessages();
  ASSERT_EQ(l->Links.size(), 2u);
  std::vector<String> opened;
  LabelLinkOpener = [&](const String& url, TsWindowShowMode) { opened.push_back(url); };

  struct Case {
    const char* name;
    std::function<void(String&, bool&)> handler;
    int pressOn, releaseOn;  // link indexes; -1: outside every link
    std::vector<String> expected;
  } cases[] = {
      {"no handler", nullptr, 0, 0, {"one"}},
      {"released over another link", nullptr, 0, 1, {"one"}},
      {"released outside", nullptr, 1, -1, {}},
      {"default action refused", [](String&, bool& d) { d = false; }, 0, 0, {}},
      {"link emptied", [](String& s, bool&) { s.clear(); }, 1, 1, {}},
      {"link changed", [](String& s, bool&) { s = "elsewhere"; }, 1, 1, {"elsewhere"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    opened.clear();
    if (c.handler)
      l->OnLinkClick = [&c](TObject*, String& s, bool& d) { c.handler(s, d); };
    else
      l->OnLinkClick = nullptr;
    const TPoint press = Centre(l->Links[size_t(c.pressOn)].Bounds);
    const TPoint release = c.releaseOn < 0 ? TPoint(1, 1)
                                           : Centre(l->Links[size_t(c.releaseOn)].Bounds);
    Mouse(l, WM_MOUSEMOVE, press);
    EXPECT_TRUE(l->HandCursor);
    Mouse(l, WM_LBUTTONDOWN, press);
    Mouse(l, WM_MOUSEMOVE, release);
    Mouse(l, WM_LBUTTONUP, release);
    EXPECT_EQ(opened, c.expected);
    EXPECT_EQ(l->PressedLink, -1);
    l->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(l->HotLink, -1);
  }
}

TEST_F(LabelTest, HtmlCaptionFollowsTheAlignment) {
  TForm form(nullptr);
  form.SetColor(clWhite);
  ShowForm(form);
  auto* l = Make<TsHTMLLabel>(form, "<b>Wide</b> text");
  l->SetAutoSize(false);
  l->SetBounds(10, 10, 300, 20);
  l->Font()->SetColor(clBlack);
  struct Case {
    TAlignment align;
    int from, to;  // the quarter of the label that holds all the text
  } cases[] = {{taLeftJustify, 0, 75}, {taCenter, 75, 225}, {taRightJustify, 225, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.align);
    l->SetAlignment(c.align);
    form.Invalidate();
    Application->ProcessMessages();
    TBitmap b;
    GetWindowSurfaceBitmap(form.Handle(), b);
    const POINT o = GetWindowSurfaceOffset(form.Handle());
    int inside = 0, outside = 0;
    for (int x = 0; x < 300; ++x)
      for (int y = 0; y < 20; ++y) {
        const bool dark = (GetPixel32(&b, o.x + 10 + x, o.y + 10 + y) & 0xFF) < 0x80;
        (x >= c.from && x < c.to ? inside : outside) += dark;
      }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
  }
}

TEST_F(LabelTest, EditLabelTellsItsOwnerWhenItGoes) {
  struct Owner : TacBoundLabelOwner {
    int gone = 0;
    void LabelDestroyed() override { ++gone; }
  } owner;
  delete new TsEditLabel(nullptr, &owner);
  EXPECT_EQ(owner.gone, 1);
  EXPECT_NE(FindClassInfo("TsEditLabel"), nullptr) << "window definitions know it by name";
}
