#pragma once
// The "framed" test skin grown into a form skin: its FORM section (a border
// mask of 12 x 12 frames with 2 x 2 fuchsia corners and a 2-pixel border,
// frame 0 grey, frame 1 red) plus a title section and title-button glyphs
// whose every state has a colour of its own, loaded by a real skin manager
// from a folder; and a fixture that makes skinned forms.

#include <gtest/gtest.h>

#include <memory>

#include "skin/forms/sSkinProvider.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFixtures.h"

namespace framedform {

constexpr int kGlyph = 12;                       // title glyphs are kGlyph x kGlyph, three states
constexpr TColor kTitleColor = 0x804020;          // FORMTITLE, both states
constexpr TColor kTitleText = 0xFFFFFF;
constexpr TColor kFormColor = 0xDDDDDD;           // the FORM section
constexpr TColor kBorderActive = 0x0000C0;        // frame 1 of the border mask, inside its corners
constexpr TColor kBorderInactiveEdge = 0x303030;  // frame 0's border lines
// The glyph g (0 close, 1 max, 2 min, 3 normal, 4 help) in state f.
constexpr TColor GlyphColor(int g, int f) { return TColor(0x10A000 + 0x200000 * f + 0x10 * g); }

inline skintest::SkinFiles FramedFormSkin() {
  skintest::SkinFiles s = skintest::FramedSkin();
  auto base = skintest::FramedMaster();
  TBitmap master;
  master.SetPixelFormat(pf24bit);
  master.SetSize(5 * 3 * kGlyph, 40 + kGlyph);
  master.Canvas()->Brush()->SetColor(TColor(0x111111));
  master.Canvas()->FillRect(TRect(0, 0, master.Width(), master.Height()));
  BitBlt(master.Canvas()->Handle(), 0, 0, base->Width(), base->Height(), base->Canvas()->Handle(), 0, 0, SRCCOPY);
  static const char* const kNames[5] = {"BICONCLOSE", "BICONMAX", "BICONMIN", "BICONNORM", "BICONHELP"};
  auto& global = s.options.sections[0].second;
  for (int g = 0; g < 5; ++g) {
    for (int f = 0; f < 3; ++f) {
      master.Canvas()->Brush()->SetColor(GlyphColor(g, f));
      const int x = (g * 3 + f) * kGlyph;
      master.Canvas()->FillRect(TRect(x, 40, x + kGlyph, 40 + kGlyph));
    }
    global.emplace_back(kNames[g], skintest::GlyphValue(TRect(g * 3 * kGlyph, 40, (g + 1) * 3 * kGlyph, 40 + kGlyph), 3, 0));
  }
  s.options.sections[1].second.emplace_back("HOTCOLOR", std::to_string(kFormColor));
  global.emplace_back("BISPACE", "2");
  global.emplace_back("BIRIGHT", "3");
  global.emplace_back("BILEFT", "2");
  s.options.Section("FORMTITLE")
      .Key("COLOR", long(kTitleColor))
      .Key("HOTCOLOR", long(kTitleColor))
      .Key("FONTCOLOR", long(kTitleText))
      .Key("HOTFONTCOLOR", long(kTitleText));
  s.files["parts/master.bmp"] = skintest::BmpBytes(&master);
  return s;
}

// A shown skinned form under a loaded "framed" skin.
class FormSkinTest : public WindowTest {
 protected:
  skintest::TempFolder dir;
  std::unique_ptr<TsSkinManager> manager;
  void SetUp() override {
    WindowTest::SetUp();
    SetUpSkin();
  }
  // Monitors of 1600 x 1000 (work area 960 high) and the skin, once the backend is set.
  void SetUpSkin() {
    Headless().SetMonitors({TMonitorDesc{RECT{0, 0, 1600, 1000}, RECT{0, 0, 1600, 960}, true}});
    FramedFormSkin().WriteFolder(dir.Path() + "Framed");
    manager = std::make_unique<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(dir.Path());
    manager->SetSkinName("Framed");
  }
  void TearDown() override {
    manager.reset();
    WindowTest::TearDown();
  }
  // A form of the given style at (100, 100), shown and active.
  static void Show(TForm& form, TFormBorderStyle style = bsSizeable, int w = 300, int h = 200) {
    form.SetBorderStyle(style);
    form.SetBounds(100, 100, w, h);
    form.SetCaption("Skinned");
    form.Show();
    SetActiveWindow(form.Handle());
    Application->ProcessMessages();
  }
  // The colour of the form window's surface at window coordinates.
  static COLORREF At(TForm& form, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(form.Handle());
    return SurfacePixel(form.Handle(), o.x + x, o.y + y);
  }
  // Rebuilds the painted image and puts it on the window.
  static void Repaint(TsSkinProvider* sp) {
    sp->SetBGChanged(true);
    sp->PaintAll();
    sp->ProcessMessage(WM_NCPAINT);
  }
  static TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
  // The hit code the provider computes for a point in window coordinates.
  static int Hit(TsSkinProvider* sp, TPoint p) {
    RECT wr;
    GetWindowRect(sp->Form->Handle(), &wr);
    TMessage m{};
    m.Msg = WM_NCHITTEST;
    m.LParam = MAKELPARAM(p.X + wr.left, p.Y + wr.top);
    return sp->HitTest(m);
  }
  // The painted image's pixel (RGB as a COLORREF).
  static COLORREF ImageAt(TsSkinProvider& sp, int x, int y) {
    const uint32_t p = GetPixel32(sp.SkinData()->FCacheBmp.get(), x, y);
    return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
  }
};

}  // namespace framedform
using namespace framedform;
