#pragma once
// State the owner-drawn menu units share between measuring and painting.

#include <memory>
#include <vector>

#include "skin/core/sSkinMenus.h"

namespace skinmenus {

// A caption beginning and ending with this character is a caption item.
constexpr char kCaptionMarker = '-';
// True would replace drawing and measuring handlers the application set itself.
constexpr bool kOverrideEvents = false;
constexpr int kDefaultGlyphSize = 16;

// The handlers installed on items, recognisable when unhooking. Kind 0: popup items, 1: menu-bar items.
struct DrawHook {
  TsSkinableMenus* Owner;
  int Kind;
  void operator()(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State) const {
    if (Kind == 0) Owner->sAdvancedDrawItem(Sender, ACanvas, ARect, State);
    else Owner->sAdvancedDrawLineItem(Sender, ACanvas, ARect, State);
  }
};
struct MeasureHook {
  TsSkinableMenus* Owner;
  int Kind;
  void operator()(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) const {
    if (Kind == 0) Owner->sMeasureItem(Sender, ACanvas, Width, Height);
    else Owner->sMeasureLineItem(Sender, ACanvas, Width, Height);
  }
};

struct ExtraLineData {
  String Section;
  String Caption;
  std::unique_ptr<TBitmap> Glyph;
  bool Guard = false;  // the application's handler runs
};

std::vector<TacMenuInfo>& Cache();
ExtraLineData& ExtraLine();
// Glyph column: its content's width and its own width, set with each background.
extern int GlyphW, IcoW;

void BlitBmp(TBitmap* Dst, int X, int Y, int W, int H, TBitmap* Src, int SX, int SY);

}  // namespace skinmenus
