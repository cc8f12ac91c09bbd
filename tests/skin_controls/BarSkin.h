#pragma once
// A skin made in code for the bar handlers (track bars, status bars, tool
// bars, tabs and pages, speed buttons): every section and state in its own
// colour and the masks they use drawn in a master bitmap, so that a probe of
// one pixel tells which piece painted it.

#include <functional>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sSkinIndexes.h"
#include "skin/core/sSkinRecords.h"
#include "tests/skin_controls/ButtonSkin.h"

namespace barskin {

// Sections: normal, hot and pressed colours.
constexpr TColor kTrack = 0x303030, kTrackHot = 0x383838;
constexpr TColor kStatus = 0x402010, kDivider = 0x10A0A0, kPanelFrame = 0xA01010, kGrip = 0x1010A0;
constexpr TColor kToolBar = 0x204020, kBtn = 0x505050, kBtnHot = 0x00B000, kBtnPressed = 0xB00000;
constexpr TColor kArrowPart = 0x707000, kArrow = 0x00FFFF;
constexpr TColor kPage = 0x603060, kTab = 0x907030, kTabHot = 0x90B030, kTabSel = 0x30B0F0;
constexpr TColor kUpDown = 0x0060C0, kUpDownHot = 0x0080E0;
constexpr TColor kSpeed = 0x606000, kSpeedHot = 0x00A0A0, kSpeedPressed = 0xA000A0;
constexpr TColor kBarText = 0x0000F0, kBarHotText = 0x00F0F0;
// Masks.
constexpr TColor kChannel = 0xC0C0C0, kThumb = 0x20D020, kThumbTip = 0xD02020, kThumbPressed = 0x2020D0,
                 kTick = 0xE0E000;
constexpr int kThumbW = 11, kThumbH = 21, kTipRows = 6;

struct BarSkin {
  TacSkinRecords s;
  int nextY = 0;

  BarSkin() {
    s.CommonSkinData.Active = true;
    s.MasterBitmap = NewBitmap32(200, 200);
    s.MasterBitmap->Canvas()->Brush()->SetColor(clFuchsia);
    s.MasterBitmap->Canvas()->FillRect(TRect(0, 0, 200, 200));
    Section("GLOBALINFO", 0, 0, 0);
    const int track = Section("TRACKBAR", kTrack, kTrackHot, kTrackHot);
    const int status = Section("STATUSBAR", kStatus, kStatus, kStatus);
    const int divider = Section("DIVIDER", kDivider, kDivider, kDivider);
    Section("TOOLBAR", kToolBar, kToolBar, kToolBar);
    Section("TOOLBUTTON", kBtn, kBtnHot, kBtnPressed);
    const int arrow = Section("SCROLLBTNBOTTOM", kArrowPart, kArrowPart, kArrowPart);
    for (const char* p : {"PAGECONTROL", "PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT"})
      Section(p, kPage, kPage, kPage);
    for (const char* t : {"TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"}) Section(t, kTab, kTabHot, kTabSel);
    Section("UPDOWNBTN", kUpDown, kUpDownHot, kUpDownHot);
    Section("TRANSPARENT", kPage, kPage, kPage);
    Section("SPEEDBUTTON", kSpeed, kSpeedHot, kSpeedPressed);

    Mask(track, "TRACKBAR", "SLIDERCHANNEL", 4, 4, 1, [](int, int, int) { return kChannel; }, 5, 1);
    Mask(track, "TRACKBAR", "SLIDERMASK", kThumbW, kThumbH, 2,
         [](int f, int, int y) { return y < kTipRows ? kThumbTip : f ? kThumbPressed : kThumb; });
    Mask(track, "TRACKBAR", "TICKHORZ", 1, 4, 1, [](int, int, int) { return kTick; });
    Mask(track, "TRACKBAR", "TICKVERT", 4, 1, 1, [](int, int, int) { return kTick; });
    // A one-pixel frame around a clear middle.
    Mask(status, "STATUSBAR", "STATUSPANELMASK", 3, 3, 1,
         [](int, int x, int y) { return x == 1 && y == 1 ? clFuchsia : kPanelFrame; }, 0, 1);
    Mask(divider, "DIVIDER", "BORDERSMASK", 2, 4, 1, [](int, int, int) { return kDivider; }, 5, 1);
    Mask(s.GetSkinIndex("GLOBALINFO"), "GLOBALINFO", "GRIPIMAGE", 6, 6, 1, [](int, int, int) { return kGrip; });
    Mask(arrow, "SCROLLBTNBOTTOM", "GLYPHMASK", 5, 3, 3, [](int, int, int) { return kArrow; });
    InitConstantIndexes(s, false);
  }

  int Section(const char* name, TColor normal, TColor hot, TColor pressed) {
    const int i = s.AddNewSection(name, -1, 3, 0, normal, kBarText);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    g.UseState2 = true;
    g.Props[1].Color = hot;
    g.Props[1].FontColor.Color = kBarHotText;
    g.Props[2].Color = pressed;
    g.Props[2].FontColor.Color = kBarHotText;
    return i;
  }

  // Frames of W x H side by side in the master bitmap, each pixel as Color(frame, x, y) says.
  int Mask(int section, const char* cls, const char* prop, int w, int h, int frames,
           const std::function<TColor(int, int, int)>& color, int drawMode = 0, int margin = 0) {
    TCanvas* c = s.MasterBitmap->Canvas();
    for (int f = 0; f < frames; ++f)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c->SetPixels(f * w + x, nextY + y, color(f, x, y));
    const int i = s.MakeNewItem(section, prop, cls, itisaBorder, TRect(0, nextY, frames * w, nextY + h), frames,
                                drawMode, 0);
    auto& m = s.ma[size_t(i)];
    m.WL = m.WT = m.WR = m.WB = int16_t(margin);
    nextY += h + 1;
    return i;
  }
};

// A window's pixels read once, for tests that look at many of them.
struct Shot {
  TBitmap b;
  POINT o;
  explicit Shot(HWND w) : o(GetWindowSurfaceOffset(w)) { GetWindowSurfaceBitmap(w, b); }
  COLORREF At(int x, int y) {
    const auto* row = static_cast<const uint8_t*>(b.ScanLine(o.y + y));
    const int i = (o.x + x) * 4;
    return RGB(row[i + 2], row[i + 1], row[i]);
  }
  // Whether any pixel of R (window coordinates) shows the colour.
  bool Shows(const TRect& r, TColor c) {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(x, y) == COLORREF(c)) return true;
    return false;
  }
};

}  // namespace barskin
using namespace barskin;
