#pragma once
// A skin made in code for the button handlers: each state of the button
// sections in its own colour, a stand-in for the manager's hot-control
// tracking, and helpers to read a child window's pixels and place the mouse.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "skin/controls/acBtnWnd.h"
#include "skin/core/acGlow.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinIndexes.h"
#include "tests/platform_win/WinTestUtil.h"

namespace buttonskin {

constexpr TColor kNormal = 0x606060, kHot = 0x00C000, kPressed = 0xC00000, kText = 0x0000F0, kHotText = 0x00F0F0;

struct ButtonSkin {
  TacSkinRecords s;
  explicit ButtonSkin(int states = 3) {
    s.CommonSkinData.Active = true;
    for (const char* name : {"BUTTON", "CHECKBOX", "GROUPBOX", "PANEL", "PANEL_LOW", "TRANSPARENT"}) {
      const int i = s.AddNewSection(name, -1, states, 0, kNormal, kText);
      auto& g = s.gd[size_t(i)];
      g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
      g.UseState2 = true;
      g.Props[1].Color = kHot;
      g.Props[1].FontColor.Color = kHotText;
      g.Props[2].Color = kPressed;
    }
    InitConstantIndexes(s, false);
  }
};

// Colour of frame f (0 normal, 1 hot, 2 pressed) of check glyph g (0 unchecked,
// 1 checked, 2 grayed, 3 radio off, 4 radio on).
constexpr TColor GlyphColor(int g, int f) { return TColor(0x900000 | (0x40 + 0x40 * f) << 8 | (0x30 + 0x30 * g)); }
constexpr int kGlyph = 10;

// Five glyphs of three 10 x 10 frames in the master bitmap, one row each.
inline void AddCheckGlyphs(TacSkinRecords& s) {
  s.MasterBitmap = std::make_unique<TBitmap>();
  s.MasterBitmap->SetPixelFormat(pf32bit);
  s.MasterBitmap->SetSize(3 * kGlyph, 5 * kGlyph);
  std::array<int, 5> idx{};
  for (int g = 0; g < 5; ++g) {
    for (int f = 0; f < 3; ++f) {
      s.MasterBitmap->Canvas()->Brush()->SetColor(GlyphColor(g, f));
      s.MasterBitmap->Canvas()->FillRect(TRect(f * kGlyph, g * kGlyph, (f + 1) * kGlyph, (g + 1) * kGlyph));
    }
    idx[size_t(g)] = s.MakeNewItem(-1, "GLYPH" + std::to_string(g), "CHECKBOX", itisaGlyph,
                                   TRect(0, g * kGlyph, 3 * kGlyph, (g + 1) * kGlyph), 3, 0, 0);
    s.ma[size_t(idx[size_t(g)])].Width = kGlyph;
    s.ma[size_t(idx[size_t(g)])].Height = kGlyph;
  }
  s.ConstData.CheckBox = {idx[0], idx[1], idx[2]};
  s.ConstData.RadioButton = {idx[3], idx[4]};
}

// The default manager's hot-control tracking: one active window told when it enters and leaves.
struct FakeManager {
  const TacSkinRecords* skin;
  HWND active = nullptr;
  explicit FakeManager(const TacSkinRecords* k) : skin(k) {
    DefaultManager = k;
    ButtonsOptions = TacButtonsOptions();
    ButtonsOptions.Animated = false;
    EffectsAllowGlowing = false;
    ActiveControlProc = [this] { return active; };
    SetActiveControlProc = [this](HWND w) {
      if (w == active) return;
      HWND old = active;
      active = w;
      if (old && IsWindow(old)) SendSkinCommand(old, SKC_MOUSELEAVE, LPARAM(skin));
      if (w) SendSkinCommand(w, SKC_MOUSEENTER, LPARAM(skin));
    };
  }
  ~FakeManager() {
    DefaultManager = nullptr;
    ActiveControlProc = nullptr;
    SetActiveControlProc = nullptr;
    ButtonsOptions = TacButtonsOptions();
    EffectsAllowGlowing = true;
    NoMouseHover = false;
  }
};

inline COLORREF At(HWND w, int x, int y) {
  const POINT o = GetWindowSurfaceOffset(w);
  return SurfacePixel(w, o.x + x, o.y + y);
}
inline POINT Screen(HWND w, int x, int y) {
  RECT r{};
  GetWindowRect(w, &r);
  return POINT{r.left + x, r.top + y};
}
inline void Repaint(HWND w) { RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
inline void MouseTo(HWND w, int x, int y) {
  const POINT p = Screen(w, x, y);
  InjectMouseMove(p.x, p.y);
  Application->ProcessMessages();
}
inline void Press(HWND w, int x, int y, bool down) {
  const POINT p = Screen(w, x, y);
  InjectMouseButton(TMouseButton::Left, down, p.x, p.y);
  Application->ProcessMessages();
}
// Each channel of c lies between those of a and b (inclusive) and c is neither.
inline bool Between(COLORREF c, COLORREF a, COLORREF b) {
  for (int s : {0, 8, 16}) {
    const int x = int(c >> s & 0xFF), lo = std::min(int(a >> s & 0xFF), int(b >> s & 0xFF)),
              hi = std::max(int(a >> s & 0xFF), int(b >> s & 0xFF));
    if (x < lo || x > hi) return false;
  }
  return c != a && c != b;
}

}  // namespace buttonskin
using namespace buttonskin;
