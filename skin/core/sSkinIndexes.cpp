#include "skin/core/sSkinIndexes.h"

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"

using namespace skin_detail;

namespace {

constexpr char kGlobalInfo[] = "GLOBALINFO";

int GlobalMask(const TacSkinRecords& S, const String& Name) {
  return S.GetMaskIndex(S.ConstData.IndexGLobalInfo, kGlobalInfo, Name);
}

int GlobalScaledMask(const TacSkinRecords& S, const String& Name) {
  const String suffix = ScaleSuffix(S.ScaleStep);
  const int i = GlobalMask(S, Name + suffix);
  return i < 0 && !suffix.empty() ? GlobalMask(S, Name) : i;
}

int Lookup(const TacSkinRecords& S, const String& Name, int SkinIndex) {
  return SkinIndex < 0 ? GlobalMask(S, Name) : S.GetMaskIndex(SkinIndex, Name);
}

void InitElementData(TacSkinRecords& S, TacConstElementData& E, const String& Name, const String& AltName,
                     bool ScaledGlyph, const String& AltName2 = String()) {
  E.SkinSection = Name;
  E.SkinIndex = S.GetSkinIndex(Name);
  if (E.SkinIndex < 0) {
    E.SkinSection = AltName;
    E.SkinIndex = S.GetSkinIndex(AltName);
  }
  if (E.SkinIndex < 0) {
    E.SkinSection = AltName2;
    E.SkinIndex = S.GetSkinIndex(AltName2);
  }
  E.MaskIndex = S.GetMaskIndex(E.SkinIndex, E.SkinSection, "BORDERSMASK");
  E.GlyphIndex = ScaledGlyph ? ScaledMaskIndex(S, "GLYPHMASK", E.SkinIndex, false) : S.GetMaskIndex(E.SkinIndex, "GLYPHMASK");
  E.BGIndex[0] = S.GetMaskIndex(E.SkinIndex, E.SkinSection, "PATTERN");
  E.BGIndex[1] = S.GetMaskIndex(E.SkinIndex, E.SkinSection, "HOTPATTERN");
}

void InitTrackBarData(TacSkinRecords& S, TacTrackBarData& T, bool Horizontal) {
  T.SkinIndex = S.GetSkinIndex("TRACKBAR");
  T.MaskIndex = S.GetMaskIndex(T.SkinIndex, "BORDERSMASK");
  T.ProgressIndex = S.GetMaskIndex(T.SkinIndex, Horizontal ? "PROGHORZ" : "PROGVERT");
  T.TickIndex = ScaledMaskIndex(S, Horizontal ? "TICKHORZ" : "TICKVERT", T.SkinIndex, false);
  T.ChannelIndex = S.GetMaskIndex(T.SkinIndex, "SLIDERCHANNEL");
  T.SliderIndex = Horizontal ? -1 : ScaledMaskIndex(S, "SLIDERVMASK", T.SkinIndex, false);
  if (T.SliderIndex < 0) T.SliderIndex = ScaledMaskIndex(S, "SLIDERMASK", T.SkinIndex, false);
  T.BGIndex = S.GetMaskIndex(T.SkinIndex, "PATTERN");
  T.HotBGIndex = S.GetMaskIndex(T.SkinIndex, "HOTPATTERN");
}

// A 32-bit copy of W x H pixels of Src from (X, Y).
std::unique_ptr<TBitmap> CopyOut(TBitmap* Src, int X, int Y, int W, int H) {
  auto b = NewBitmap32(W, H);
  if (Src && !Src->Empty())
    BitBlt(b->Canvas()->Handle(), 0, 0, W, H, Src->Canvas()->Handle(), X, Y, SRCCOPY);
  return b;
}

}  // namespace

int ScaledMaskIndex(TacSkinRecords& S, const String& Name, int SkinIndex, bool IsGlow) {
  const String suffix = ScaleSuffix(S.ScaleStep);
  int i = Lookup(S, Name + suffix, SkinIndex);
  if (i >= 0 || suffix.empty()) return i;
  i = Lookup(S, Name, SkinIndex);
  if (i < 0) return -1;
  TsMaskData& M = S.ma[size_t(i)];
  const int w = M.R.Width(), h = M.R.Height(), n = std::max<int>(M.ImageCount, 1);
  // A rectangle that leaves its bitmap (or a skin without the bitmap) keeps the
  // mask unscaled: the copy is only as large as pixels that exist.
  TBitmap* from = M.Bmp ? M.Bmp.get() : S.MasterBitmap.get();
  if (w <= 0 || h <= 0 || !from || M.R.Left < 0 || M.R.Top < 0 || M.R.Right > from->Width() ||
      M.R.Bottom > from->Height())
    return i;
  // The source is always a copy: an own bitmap may be shared with other masks.
  std::unique_ptr<TBitmap> src;
  int newH = 0;
  if (IsGlow) {
    if (!M.Bmp) return i;  // a glow inside the master bitmap stays unscaled
    src = CopyOut(M.Bmp.get(), M.R.Left, M.R.Top, w, h);
    newH = S.ScaleInt(h);
  } else {
    if (M.MaskType != 0) {
      src = CopyOut(from, M.R.Left, M.R.Top, w, h);
    } else {
      src = NewBitmap32(w, 2 * h);
      FillRect32(src.get(), TRect(0, h, w, 2 * h), 0, 0);
      BitBlt(src->Canvas()->Handle(), 0, 0, w, h, from->Canvas()->Handle(), M.R.Left, M.R.Top, SRCCOPY);
    }
    // Key pixels become transparent through the mask half.
    const PixelRows P = Rows32(src.get());
    const int half = P.height / 2;
    const uint32_t clear = SwapRedBlue(uint32_t(S.Palette[pcMainColor])) & 0x00FFFFFF;
    for (int y = 0; P && y < half; ++y)
      for (int x = 0; x < P.width; ++x)
        if (P.At(x, y) == kKeyPixel) {
          P.At(x, y) = clear;
          P.At(x, y + half) = 0x00FFFFFF;
        }
    newH = 2 * S.ScaleInt((M.MaskType == 0 ? 2 : 1) * h / 2);
  }
  auto scaled = NewBitmap32(S.ScaleInt(w / n) * n, newH);
  ResampleBitmap32(src.get(), scaled.get(), scaled->Width(), scaled->Height(), 6);
  M.Bmp = std::shared_ptr<TBitmap>(std::move(scaled));
  M.MaskType = 1;
  M.R = TRect(0, 0, M.Bmp->Width(), M.Bmp->Height());
  return i;
}

void InitMaskIndexes(TacSkinRecords& S) {
  for (int i = 0; i < int(S.gd.size()); ++i) {
    if (i == S.ConstData.IndexGLobalInfo) continue;
    TsGeneralData& g = S.gd[size_t(i)];
    g.BorderIndex = S.GetMaskIndex(i, "BORDERSMASK");
    g.OuterMask = S.GetMaskIndex(i, "OUTERMASK");
    g.ImgTL = S.GetMaskIndex(i, "IMGTOPLEFT");
    g.ImgTR = S.GetMaskIndex(i, "IMGTOPRIGHT");
    g.ImgBL = S.GetMaskIndex(i, "IMGBTMLEFT");
    g.ImgBR = S.GetMaskIndex(i, "IMGBTMRIGHT");
    g.Props[0].TextureIndex = S.GetTextureIndex(i, g.ClassName, "PATTERN");
    if (g.States > 1) g.Props[1].TextureIndex = S.GetTextureIndex(i, g.ClassName, "HOTPATTERN");
    g.Props[2].TextureIndex =
        g.States > 2 && g.UseState2 ? S.GetTextureIndex(i, g.ClassName, "PATTERN2") : g.Props[1].TextureIndex;
    if (g.BorderIndex < 0) {
      g.ScrollBorderOffset = -2;
    } else {
      const TsMaskData& b = S.ma[size_t(g.BorderIndex)];
      g.ScrollBorderOffset = (g.ClassName == "EDIT" || g.ClassName == "ALPHAEDIT") && b.WL == 1 && b.WT == 1 &&
                                     b.WR == 1 && b.WB == 1
                                 ? -1
                                 : 0;
    }
  }
  for (TsMaskData& m : S.ma) {
    m.Width = m.ImageCount != 0 ? m.R.Width() / m.ImageCount : 0;
    switch (m.MaskType) {
      case -1: m.Height = 0; break;
      case 0: m.Height = m.R.Height(); break;
      case 1: m.Height = m.R.Height() / 2; break;
      default: m.Height = m.R.Height() / (m.MaskType + 1);
    }
    if (m.ImageCount == 0) {
      for (int16_t* w : {&m.WT, &m.WB})
        if (*w <= 0) *w = int16_t(m.BorderWidth > 0 ? m.BorderWidth : m.Height);
      for (int16_t* w : {&m.WL, &m.WR})
        if (*w <= 0) *w = int16_t(m.BorderWidth > 0 ? m.BorderWidth : m.Width);
      m.ImageCount = 1;
    }
  }
}

void CheckShadows(TacSkinRecords& S, bool ExtendedBorders) {
  if (!S.CommonSkinData.Active && !ExtendedBorders) {
    S.FormShadowSize = TRect();
    return;
  }
  if (!ExtendedBorders) {
    S.FormShadowSize = TRect();
    return;
  }
  S.ShdaTemplate = std::make_unique<TBitmap>();
  S.ShdiTemplate = std::make_unique<TBitmap>();
  const int e = S.ConstData.ExBorder;
  if (e < 0) return;
  const TsMaskData& m = S.ma[size_t(e)];
  const TsSkinData& c = S.CommonSkinData;
  const int o = c.ExContentOffs;
  S.FormShadowSize = c.ExDrawMode != 0 ? TRect(o, o, o, o) : TRect(m.WL - o, m.WT - o, m.WR - o, m.WB - o);
  // An EXBORDER image inside the master bitmap is copied from there.
  TBitmap* src = m.Bmp ? m.Bmp.get() : S.MasterBitmap.get();
  const int x0 = m.Bmp ? 0 : m.R.Left, y0 = m.Bmp ? 0 : m.R.Top;
  S.ShdiTemplate = CopyOut(src, x0, y0, m.Width, m.Height);
  S.ShdaTemplate = m.ImageCount > 1 ? CopyOut(src, x0 + m.Width, y0, m.Width, m.Height)
                                    : CopyOut(src, x0, y0, m.Width, m.Height);
}

void InitConstantIndexes(TacSkinRecords& S, bool ExtendedBorders) {
  TConstantSkinData& C = S.ConstData;
  const auto glows = C.TitleGlows;
  const auto margins = C.GlowMargins;
  C = TConstantSkinData();
  C.TitleGlows = glows;
  C.GlowMargins = margins;
  C.IndexGLobalInfo = S.GetSkinIndex(kGlobalInfo);
  static const char* const kBox[3] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED"};
  static const char* const kSmall[3] = {"SMALLUNCHECKED", "SMALLCHECKED", "SMALLGRAYED"};
  static const char* const kRadio[2] = {"RADIOUNCHECKED", "RADIOCHECKED"};
  for (int i = 0; i < 3; ++i) {
    C.CheckBox[size_t(i)] = ScaledMaskIndex(S, kBox[i], -1, false);
    C.SmallCheckBox[size_t(i)] = ScaledMaskIndex(S, kSmall[i], -1, false);
    if (i < 2) C.RadioButton[size_t(i)] = ScaledMaskIndex(S, kRadio[i], -1, false);
  }
  C.ExBorder = GlobalScaledMask(S, "EXBORDER");
  C.GripRightBottom = ScaledMaskIndex(S, "GRIPIMAGE", -1, false);
  C.GripHorizontal = GlobalMask(S, "GRIPHORZ");
  C.GripVertical = GlobalMask(S, "GRIPVERT");
  InitElementData(S, C.MenuItem, "MENUITEM", "", true);
  InitElementData(S, C.ComboBtn, "COMBOBTN", "", true);
  C.ComboBtn.GlyphIndex = S.GetMaskIndex("COMBOBOX", "GLYPHMASK");
  static const char* const kTabs[4][4] = {{"TABLEFTFIRST", "TABTOPFIRST", "TABRIGHTFIRST", "TABBOTTOMFIRST"},
                                          {"TABLEFTLAST", "TABTOPLAST", "TABRIGHTLAST", "TABBOTTOMLAST"},
                                          {"TABLEFTMIDDLE", "TABTOPMIDDLE", "TABRIGHTMIDDLE", "TABBOTTOMMIDDLE"},
                                          {"TABLEFT", "TABTOP", "TABRIGHT", "TABBOTTOM"}};
  for (int l = 0; l < 4; ++l)
    for (int s = 0; s < 4; ++s) InitElementData(S, C.Tabs[l][s], kTabs[l][s], "", true);
  static const char* const kThumbs[2] = {"SCROLLSLIDERH", "SCROLLSLIDERV"};
  for (int b = 0; b < 2; ++b) {
    InitElementData(S, C.Sliders[b], kThumbs[b], "", true);
    InitTrackBarData(S, C.TrackBar[b], b != 0);
  }
  static const char* const kScrollBtns[4] = {"SCROLLBTNLEFT", "SCROLLBTNTOP", "SCROLLBTNRIGHT", "SCROLLBTNBOTTOM"};
  static const char* const kTracks[4] = {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"};
  static const char* const kUpDown[4] = {"UPDOWNBTN_LEFT", "UPDOWNBTN_TOP", "UPDOWNBTNRIGHT", "UPDOWNBTN_BOTTOM"};
  for (int s = 0; s < 4; ++s) {
    InitElementData(S, C.ScrollBtns[s], kScrollBtns[s], "", false);
    InitElementData(S, C.Scrolls[s], kTracks[s], "", false);
    InitElementData(S, C.UpDownBtns[s], kUpDown[s], "UPDOWNBTN", false, "BUTTON");
  }
  static const char* const kTitle[13] = {"BICLOSEALONE", "BICONCLOSE", "BICONMAX", "BICONMIN", "BICONNORM",
                                         "BICONHELP",    "SICONCLOSE", "SICONMAX", "SICONMIN", "SICONNORM",
                                         "SICONHELP",    "TITLEBUTTON", ""};
  for (int l = 0; l < 13; ++l) C.TitleGlyphs[size_t(l)] = ScaledMaskIndex(S, kTitle[l], -1, false);
  if (C.TitleGlyphs[0] < 0) C.TitleGlyphs[0] = C.TitleGlyphs[1];
  for (int l = 6; l <= 10; ++l)
    if (C.TitleGlyphs[size_t(l)] < 0) C.TitleGlyphs[size_t(l)] = C.TitleGlyphs[size_t(l - 5)];
  for (int l = 0; l < 5; ++l)
    for (size_t j = 0; j < C.TitleGlows[size_t(l)].size(); ++j)
      C.TitleGlows[size_t(l)][j] =
          ScaledMaskIndex(S, String(kTitle[l]) + "GLOW" + std::to_string(j), C.IndexGLobalInfo, true);
  if (C.TitleGlyphs[0] == C.TitleGlyphs[1]) {
    C.GlowMargins[0] = C.GlowMargins[1];
    const size_t n = C.TitleGlows[1].size();
    C.TitleGlows[0].assign(n, n ? C.TitleGlows[1][0] : -1);
  }
  for (int s = 0; s < kSectionCount; ++s) C.Sections[size_t(s)] = S.GetSkinIndex(acSectionNames[s]);
  InitMaskIndexes(S);
  struct Fallback {
    TacSection Section, From;
  };
  static constexpr Fallback kFallbacks[] = {
      {ssMenuCaption, ssToolBar},  {ssDialogTitle, ssFormTitle}, {ssMenuButton, ssSpeedButton},
      {ssMenuLine, ssMenuLine},    {ssFormHeader, ssFormHeader}, {ssTBBtn, ssToolButton},
      {ssTBMenuBtn, ssTBMenuBtn},  {ssTBTab, ssTabTop},          {ssColHeader, ssButton},
      {ssColHeaderA, ssColHeader}, {ssColHeaderL, ssColHeader},  {ssColHeaderR, ssColHeader},
      {ssSlider_Off, ssPanelLow},  {ssSlider_On, ssPanelLow}};
  for (const Fallback& f : kFallbacks) {
    if (C.Sections[f.Section] >= 0) continue;
    C.Sections[f.Section] = C.Sections[f.From];
    if (f.From != f.Section) S.AddNewSection(acSectionNames[f.Section], C.Sections[f.From], -1, -1, -1, -1);
  }
  CheckShadows(S, ExtendedBorders);
}
