#pragma once
// A skin made in code for the list, tree and combo handlers: the scroll
// sections of ScrollSkin, the edit section with its own font colour, and the
// column-header, combo and selection sections with each state in its own colour.

#include <cstdlib>
#include <vector>

#include "tests/skin_controls/ButtonSkin.h"
#include "tests/skin_controls/ScrollSkin.h"

namespace listskin {

constexpr TColor kEditFont = 0x2040C0;
constexpr TColor kColNormal = 0x406080, kColHot = 0x20C020, kColPressed = 0xC02020;
constexpr TColor kColFont = 0x0000FF, kColHotFont = 0x00FFFF;
constexpr TColor kCombo = 0xE0E0D0, kComboFont = 0x102030;
constexpr TColor kBtnNormal = 0x805000, kBtnHot = 0x80A000, kBtnPressed = 0x8000A0, kBtnFont = 0x00FF80;
constexpr TColor kSelection = 0x30A0F0;

struct ListSkin : ScrollSkin {
  explicit ListSkin(bool WithColHeader = true) {
    auto add = [&](const char* name, TColor c0, TColor c1, TColor c2, TColor f0, TColor f1) {
      const int i = s.AddNewSection(name, -1, 3, 0, c0, f0);
      auto& g = s.gd[size_t(i)];
      g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
      g.Props[1].Color = c1;
      g.Props[1].FontColor.Color = f1;
      g.Props[2].Color = c2;
      g.Props[2].FontColor.Color = f1;
    };
    // Drop the blank stand-ins the first index pass made for sections the scroll skin lacks.
    std::erase_if(s.gd, [](const TsGeneralData& g) { return g.States < 0; });
    const int e = s.GetSkinIndex("EDIT");
    for (auto& st : s.gd[size_t(e)].Props) st.FontColor.Color = kEditFont;
    if (WithColHeader) add("COLHEADER", kColNormal, kColHot, kColPressed, kColFont, kColHotFont);
    add("BUTTON", kBtnNormal, kBtnHot, kBtnPressed, kBtnFont, kBtnFont);
    add("COMBOBOX", kCombo, kCombo, kCombo, kComboFont, kComboFont);
    add("COMBOBTN", kBtnNormal, kBtnHot, kBtnPressed, kBtnFont, kBtnFont);
    add("SELECTION", kSelection, kSelection, kSelection, 0xFFFFFF, 0xFFFFFF);
    InitConstantIndexes(s, false);
  }
};

// Whether some pixel of the window in R (window coordinates) has the colour c,
// each channel within Tolerance (smoothed text).
inline bool AnyPixel(HWND w, const RECT& r, COLORREF c, int Tolerance = 0) {
  TBitmap b;
  GetWindowSurfaceBitmap(w, b);
  const POINT o = GetWindowSurfaceOffset(w);
  for (int y = r.top; y < r.bottom; ++y) {
    const auto* row = static_cast<const uint8_t*>(b.ScanLine(o.y + y));
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF p = RGB(row[(o.x + x) * 4 + 2], row[(o.x + x) * 4 + 1], row[(o.x + x) * 4]);
      bool near = true;
      for (int s : {0, 8, 16}) near = near && std::abs(int(p >> s & 0xFF) - int(c >> s & 0xFF)) <= Tolerance;
      if (near) return true;
    }
  }
  return false;
}

}  // namespace listskin
using namespace listskin;
