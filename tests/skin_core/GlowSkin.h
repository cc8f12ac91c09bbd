#pragma once
// A skin made in code whose section "TPANEL" has a glow picture: 20 x 20,
// opaque yellow, borders 10 (left, right) and 8 (top, bottom), margin 2.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sSkinRecords.h"

struct GlowSkin {
  TacSkinRecords s;
  int sec = -1;
  int glow = -1;
  GlowSkin() {
    s.CommonSkinData.Active = true;
    sec = s.AddNewSection("TPANEL", -1, 3, 0, 0x808080, 0);
    s.gd[size_t(sec)].GlowCount = 1;
    s.gd[size_t(sec)].GlowMargin = 2;
    s.AddNewSection("BARE", -1, 3, 0, 0x808080, 0);
    s.MasterBitmap = NewBitmap32(20, 20);
    FillRect32(s.MasterBitmap.get(), TRect(0, 0, 20, 20), 0x00FFFF, 0xFF);
    glow = s.MakeNewItem(sec, "GLOW0", "TPANEL", itisaGlow, TRect(0, 0, 20, 20), 1, 0, 0);
    TsMaskData& m = s.ma[size_t(glow)];
    m.WL = m.WR = 10;
    m.WT = m.WB = 8;
    m.Width = m.Height = 20;
  }
};
