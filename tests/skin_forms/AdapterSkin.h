#pragma once
// A skin manager whose records are made in code: a section in its own colour
// for each kind of control a form's adapter skins, active at once.

#include <memory>

#include "skin/core/sSkinIndexes.h"
#include "skin/core/sSkinManager.h"
#include "tests/platform_win/WinTestUtil.h"

namespace adapterskin {

inline void AddFlatSection(TacSkinRecords& s, const char* name, TColor c) {
  const int i = s.AddNewSection(name, -1, 3, 0, c, 0);
  auto& g = s.gd[size_t(i)];
  g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
}

// The manager holds its skin from the start; it is the default manager while it lives.
inline std::unique_ptr<TsSkinManager> MakeFormSkinManager() {
  auto m = std::make_unique<TsSkinManager>(nullptr);
  TacSkinRecords& s = *m;
  TColor c = 0x101010;
  for (const char* name : {"FORM", "BUTTON", "CHECKBOX", "GROUPBOX", "EDIT", "PANEL", "TRANSPARENT", "SCROLLBAR1V",
                           "SCROLLBAR2V", "SCROLLBAR1H", "SCROLLBAR2H", "SCROLLBTNTOP", "SCROLLBTNBOTTOM",
                           "SCROLLBTNLEFT", "SCROLLBTNRIGHT", "SCROLLSLIDERV", "SCROLLSLIDERH", "LABEL"}) {
    AddFlatSection(s, name, c);
    c = TColor(int(c) + 0x080808);
  }
  InitConstantIndexes(s, false);
  s.CommonSkinData.Active = true;
  return m;
}

}  // namespace adapterskin
