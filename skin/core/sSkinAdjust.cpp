#include "skin/core/sSkinAdjust.h"

#include <algorithm>
#include <set>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"

using namespace skin_detail;

namespace {

// Fn over the seven state colours that are set and every gradient point's colour.
template <class Fn>
void ForEachStateColor(TacSkinRecords& S, Fn&& fn, bool OnlyShownGradients) {
  for (TsGeneralData& g : S.gd)
    for (TsGenState& st : g.Props) {
      for (TColor* c : {&st.Color, &st.GlowColor, &st.FontColor.Color, &st.FontColor.Left, &st.FontColor.Top,
                        &st.FontColor.Right, &st.FontColor.Bottom})
        if (*c != -1) *c = fn(*c);
      if (!OnlyShownGradients || st.GradientPercent > 0)
        for (TsGradPoint& p : st.GradientArray) p.Color.C = fn(p.Color.C);
    }
}

constexpr TacPaletteColors kAdjusted[] = {
    pcMainColor, pcLabelText, pcWebText, pcEditText, pcEditBG, pcSelectionBG, pcSelectionText, pcSelectionBG_Focused,
    pcSelectionText_Focused, pcEditBG_Inverted, pcEditText_Inverted, pcEditBG_OddRow, pcEditBG_EvenRow,
    pcBtnColor1Active, pcBtnColor2Active, pcBtnBorderActive, pcBtnFontActive, pcBtnColor1Normal, pcBtnColor2Normal,
    pcBtnBorderNormal, pcBtnFontNormal, pcBtnColor1Pressed, pcBtnColor2Pressed, pcBtnBorderPressed, pcBtnFontPressed,
    pcBorder, pcGrid, pcHintBG, pcHintText};

template <class Fn>
void AdjustPalette(TacSkinRecords& S, Fn&& fn) {
  S.CommonSkinData.Shadow1Color = fn(S.CommonSkinData.Shadow1Color);
  for (TacPaletteColors c : kAdjusted) S.Palette[c] = fn(S.Palette[c]);
  S.UpdateBrushes();
}

}  // namespace

void ApplyHueOffset(TacSkinRecords& S, int Degrees) {
  if (Degrees == 0) return;
  const int keep = S.CommonSkinData.BIKeepHUE;
  // Title glyphs that keep their hue: areas of the master bitmap and own bitmaps.
  std::vector<TRect> keptAreas;
  std::set<const TBitmap*> keptBitmaps;
  if (keep >= 1) {
    std::vector<String> names = {"BICONCLOSE", "BICLOSEALONE", "SICONCLOSE"};
    if (keep == 1)
      for (const char* n : {"BICONMAX", "BICONMIN", "BICONNORM", "BICONHELP", "SICONMAX", "SICONMIN", "SICONNORM"})
        names.push_back(n);
    for (const String& n : names) {
      const int m = S.GetMaskIndex("GLOBALINFO", n);
      if (m >= 0) {
        if (S.ma[size_t(m)].Bmp)
          keptBitmaps.insert(S.ma[size_t(m)].Bmp.get());
        else
          keptAreas.push_back(S.ma[size_t(m)].R);
      }
      const int glow = S.GetMaskIndex("GLOBALINFO", n + "GLOW0");
      if (glow >= 0 && S.ma[size_t(glow)].Bmp) keptBitmaps.insert(S.ma[size_t(glow)].Bmp.get());
    }
  }
  if (TBitmap* master = S.MasterBitmap.get(); Rows32(master)) {
    TBitmap original;
    if (!keptAreas.empty()) CopyBitmapFrom(&original, master);
    ApplyPixelFilter(master, HueProc, Degrees, clFuchsia);
    for (const TRect& r : keptAreas) {
      const TRect c = ClipToBitmap(r, master->Width(), master->Height());
      if (c.Right > c.Left && c.Bottom > c.Top)
        BitBlt(master->Canvas()->Handle(), c.Left, c.Top, c.Width(), c.Height(), original.Canvas()->Handle(), c.Left,
               c.Top, SRCCOPY);
    }
  }
  for (TacExtFileData& e : S.ExtArray)
    if (!keptBitmaps.count(e.Bmp.get())) ApplyPixelFilter(e.Bmp.get(), HueProc, Degrees, clFuchsia);
  auto shift = [Degrees](TColor c) { return HueShiftColor(Degrees, c); };
  ForEachStateColor(S, shift, true);
  AdjustPalette(S, shift);
}

void ApplySaturation(TacSkinRecords& S, int Percent) {
  if (Percent == 0) return;
  const int a = std::clamp(Percent * 255 / 100, -255, 255);
  ApplyPixelFilter(S.MasterBitmap.get(), SaturationProc, a, clFuchsia);
  for (TacExtFileData& e : S.ExtArray) ApplyPixelFilter(e.Bmp.get(), SaturationProc, a, clFuchsia);
  auto sat = [a](TColor c) { return SaturateColor(c, a); };
  ForEachStateColor(S, sat, false);
  AdjustPalette(S, sat);
}

void ApplyBrightness(TacSkinRecords& S, int Value) {
  if (Value == 0) return;
  TBitmap* master = S.MasterBitmap.get();
  if (Rows32(master)) {
    TBitmap kept;
    CopyBitmapFrom(&kept, master);
    ApplyPixelFilter(master, BrightnessProc, Value, clFuchsia);
    // Masks in the master bitmap keep their transparency: their lower halves come back.
    for (const TsMaskData& m : S.ma) {
      if (m.Bmp || m.MaskType != 1) continue;
      const int h = m.R.Height() / 2;
      const TRect c = ClipToBitmap(TRect(m.R.Left, m.R.Top + h, m.R.Right, m.R.Top + 2 * h), master->Width(),
                                   master->Height());
      if (c.Right > c.Left && c.Bottom > c.Top)
        BitBlt(master->Canvas()->Handle(), c.Left, c.Top, c.Width(), c.Height(), kept.Canvas()->Handle(), c.Left,
               c.Top, SRCCOPY);
    }
  }
  for (TacExtFileData& e : S.ExtArray) {
    ApplyPixelFilter(e.Bmp.get(), BrightnessProc, Value, clFuchsia);
    // Pictures with their own alpha are made ready for blending; a keyed BMP stays keyed.
    if (Value > 0 && e.FromPng) {
      if (S.CommonSkinData.Version < 7.45)
        ClearWhitePixels32(e.Bmp.get());
      else
        PremultiplyRect(e.Bmp.get(), TRect(0, 0, e.Bmp->Width(), e.Bmp->Height()));
    }
  }
  ForEachStateColor(S, [Value](TColor c) { return TColor(BrightenPixel(uint32_t(c), Value)); }, false);
}
