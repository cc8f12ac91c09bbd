// Panels, size grips and transparent panels: the section a panel takes from
// its bevels, its caption (or none for a silent panel), and the parent's
// skinned background showing through a grip and a transparent panel.

#include <gtest/gtest.h>

#include "platform/vcl/ExtCtrls.h"
#include "platform/win/Controls.h"
#include "skin/controls/acContainerWnd.h"
#include "tests/skin_controls/ButtonSkin.h"

namespace {

constexpr TColor kPanel = 0x305070, kGrip = 0x10E010;
constexpr int kGripSize = 6;

// The button skin with a coloured panel, a see-through TRANSPARENT section and a grip image.
struct PanelSkin : ButtonSkin {
  PanelSkin() {
    for (auto& st : s.gd[size_t(s.GetSkinIndex("PANEL"))].Props) st.Color = kPanel;
    for (auto& st : s.gd[size_t(s.GetSkinIndex("TRANSPARENT"))].Props) st.Transparency = 100;
    s.MasterBitmap = std::make_unique<TBitmap>();
    s.MasterBitmap->SetPixelFormat(pf32bit);
    s.MasterBitmap->SetSize(kGripSize, kGripSize);
    s.MasterBitmap->Canvas()->Brush()->SetColor(kGrip);
    s.MasterBitmap->Canvas()->FillRect(TRect(0, 0, kGripSize, kGripSize));
    const int g = s.MakeNewItem(-1, "GRIPIMAGE", "GLOBALINFO", itisaGlyph, TRect(0, 0, kGripSize, kGripSize), 1, 0, 0);
    s.ma[size_t(g)].Width = kGripSize;
    s.ma[size_t(g)].Height = kGripSize;
    s.ConstData.GripRightBottom = g;
  }
};

class PanelHandlerTest : public WindowTest {
 protected:
  COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
  void Repaint(HWND w) {
    RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
  }
  TPanel* MakePanel(TForm& form) {
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds(20, 20, 200, 100);
    p->SetCaption("Wg Wg Wg");
    return p;
  }
  TacHandlerPtr<TacPanelWnd> Skin(TPanel* p, PanelSkin& k) {
    TacSkinParams params;
    params.Control = p;
    return CreateWndHandler<TacPanelWnd>(p->Handle(), nullptr, &k.s, params, true);
  }
  // Pixels of the 200 x 100 panel in the caption's colour, every second one of every second row.
  static int TextPixels(HWND w) {
    TBitmap b;
    GetWindowSurfaceBitmap(w, b);
    const POINT o = GetWindowSurfaceOffset(w);
    int n = 0;
    for (int y = 0; y < 100; y += 2) {
      const auto* row = static_cast<const uint8_t*>(b.ScanLine(o.y + y));
      for (int x = 0; x < 200; x += 2) n += row[(o.x + x) * 4 + 2] > 0xB0 && row[(o.x + x) * 4 + 1] < 0x60;
    }
    return n;
  }
};

}  // namespace

TEST_F(PanelHandlerTest, SectionFollowsBevelsAndBorderStyle) {
  PanelSkin k;
  FakeManager m(&k.s);
  struct Case {
    TBevelCut outer, inner;
    TFormBorderStyle border;
    const char* section;
  } cases[] = {
      {bvLowered, bvRaised, bsNone, "GROUPBOX"}, {bvLowered, bvNone, bsNone, "PANEL_LOW"},
      {bvRaised, bvLowered, bsNone, "GROUPBOX"}, {bvRaised, bvNone, bsNone, "PANEL"},
      {bvNone, bvNone, bsSingle, "PANEL_LOW"},   {bvNone, bvRaised, bsNone, "TRANSPARENT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    TForm form(nullptr);
    TPanel* p = MakePanel(form);
    p->SetBevelOuter(c.outer);
    p->SetBevelInner(c.inner);
    p->SetBorderStyle(c.border);
    ShowForm(form);
    auto h = Skin(p, k);
    EXPECT_EQ(h->SkinData->SkinSection(), c.section);
    EXPECT_EQ(h->Panel, p);
    ReleaseWndHandler(p->Handle(), true, false, h);
  }
}

TEST_F(PanelHandlerTest, PaintsTheSectionWithTheCaptionUnlessSilent) {
  PanelSkin k;
  FakeManager m(&k.s);
  for (intptr_t tag : {intptr_t(0), kSilentPanelTag}) {
    SCOPED_TRACE(tag);
    TForm form(nullptr);
    TPanel* p = MakePanel(form);
    p->Tag = tag;
    ShowForm(form);
    auto h = Skin(p, k);
    HWND w = p->Handle();
    Repaint(w);
    EXPECT_EQ(At(w, 3, 3), COLORREF(kPanel));
    EXPECT_EQ(At(w, 196, 96), COLORREF(kPanel));
    if (tag == kSilentPanelTag)
      EXPECT_EQ(TextPixels(w), 0);
    else
      EXPECT_GT(TextPixels(w), 5);
    // The caption stands on one line in the middle: nothing near the top or bottom edge.
    for (int x = 0; x < 200; x += 20) {
      EXPECT_EQ(At(w, x, 10), COLORREF(kPanel));
      EXPECT_EQ(At(w, x, 90), COLORREF(kPanel));
    }
    ReleaseWndHandler(w, true, false, h);
  }
}

TEST_F(PanelHandlerTest, GripAndTransparentPanelShowTheParentsSkinnedBackground) {
  PanelSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  TPanel* p = MakePanel(form);
  p->SetCaption("");
  ShowForm(form);
  auto panel = Skin(p, k);
  HWND grip = CreateWindowExW(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP, 180, 80, 20, 20, p->Handle(),
                              nullptr, nullptr, nullptr);
  HWND trans = CreateWindowExW(0, "STATIC", "own text", WS_CHILD | WS_VISIBLE, 10, 10, 60, 30, p->Handle(), nullptr,
                               nullptr, nullptr);
  auto g = CreateWndHandler<TacSizerWnd>(grip, nullptr, &k.s, TacSkinParams(), true);
  auto t = CreateWndHandler<TacTransPanelWnd>(trans, nullptr, &k.s, TacSkinParams(), true);
  Repaint(p->Handle());

  EXPECT_EQ(At(grip, 2, 2), COLORREF(kPanel)) << "the panel behind the grip";
  EXPECT_EQ(At(grip, 19 - kGripSize, 19 - kGripSize), COLORREF(kPanel));
  EXPECT_EQ(At(grip, 20 - kGripSize, 20 - kGripSize), COLORREF(kGrip)) << "the grip in the corner";
  EXPECT_EQ(At(grip, 19, 19), COLORREF(kGrip));
  for (POINT pt : {POINT{181, 81}, POINT{190, 90}, POINT{199, 99}}) {
    ClientToScreen(p->Handle(), &pt);
    EXPECT_EQ(SendMessageW(grip, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)), HTBOTTOMRIGHT);
  }
  for (POINT pt : {POINT{0, 0}, POINT{30, 15}, POINT{59, 29}})
    EXPECT_EQ(At(trans, pt.x, pt.y), COLORREF(kPanel)) << "the transparent panel shows the panel, not its text";
  // A skin without a grip image: the grip still shows the panel, not what its surface held.
  k.s.ConstData.GripRightBottom = -1;
  Repaint(p->Handle());
  EXPECT_EQ(At(grip, 19, 19), COLORREF(kPanel));

  ReleaseWndHandler(grip, true, false, g);
  ReleaseWndHandler(trans, true, false, t);
  ReleaseWndHandler(p->Handle(), true, false, panel);
}
