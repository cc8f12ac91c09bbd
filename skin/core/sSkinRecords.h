#pragma once
// The records of one loaded skin: sections with their three states, images and
// masks, outer effects, external images, palette, skin-wide values and the
// constant indexes painters look up by position. A skin manager keeps one
// TacSkinRecords; the loader fills a fresh one and the manager takes it only
// when the whole load succeeded.
//
// Colours are TColor (0x00BBGGRR); -1 means none where a field says so and
// clFuchsia is the key colour of transparent pixels. Names compare exactly.

#include <array>
#include <memory>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "skin/core/sGradient.h"

// ---- Sections ----

struct TsFontColor {
  TColor Color = 0;
  // Copies of the text drawn one pixel to that side first; -1: none.
  TColor Left = -1, Top = -1, Right = -1, Bottom = -1;
};

// One section in one state.
struct TsGenState {
  int GlowSize = 0;
  int ImagePercent = 0;
  int TextureIndex = -1;
  int Transparency = 0;  // 0 opaque .. 100 only the parent shows
  int GradientPercent = 0;
  TColor Color = 0xFFFFFF;
  TColor GlowColor = 0xFFFFFF;
  TsFontColor FontColor;
  TsGradArray GradientArray;
};
using TsProps = std::array<TsGenState, 3>;  // normal, hot, pressed

struct TsGeneralData {
  String ParentClass;
  String ClassName;
  TsProps Props;
  bool UseState2 = false;
  bool GiveOwnFont = false;
  bool ReservedBoolean = false;
  int States = 0;
  int ScrollBorderOffset = 0;
  int GlowCount = 0;
  int GlowMargin = 0;
  int GlowSize = 0;
  int HotGlowSize = 0;
  int BorderIndex = -1;
  int ImgTL = -1, ImgTR = -1, ImgBL = -1, ImgBR = -1;
  TColor HotGlowColor = 0;
  TColor GlowColor = 0;
  int OuterMode = 0;
  int OuterMask = -1;
  int OuterOpacity = 0;
  TRect OuterOffset;
};
using TsGeneralDataArray = std::vector<TsGeneralData>;

// ---- Images and masks ----

enum TacImgType { itisaBorder, itisaTexture, itisaGlyph, itisaGlow, itisaPngGlyph };

class TacSkinRecords;

struct TsMaskData {
  // The image's own bitmap, shared with the external image that holds it;
  // null: the pixels lie in the master bitmap at R.
  std::shared_ptr<TBitmap> Bmp;
  String ClassName;
  String PropertyName;
  TRect R;  // every state frame, mask part included
  int16_t ImageCount = 0;
  // 0 key colour; 1 lower half is a grey mask; n > 1 the picture is the upper 1/(n+1); -1 no height.
  int16_t MaskType = 0;
  int16_t BorderWidth = 0;
  int16_t DrawMode = 0;
  TacImgType ImgType = itisaBorder;
  const TacSkinRecords* Manager = nullptr;  // borrowed; null: not paintable
  int16_t WL = 0, WT = 0, WR = 0, WB = 0;
  int CornerType = 0;
  int SkinIndex = 0;
  int Width = 0;   // one state frame
  int Height = 0;  // one frame's picture
};
using TsMaskArray = std::vector<TsMaskData>;

// An effect drawn around forms: [0] the light outline, [1] the shadow.
struct TacOutEffData {
  TColor ColorL = 0, ColorT = 0, ColorR = 0, ColorB = 0;
  int OffsetL = 0, OffsetT = 0, OffsetR = 0, OffsetB = 0;
  int WidthL = 0, WidthT = 0, WidthR = 0, WidthB = 0;
  int Mask = -1;
  int Source = 0;  // 0 none, 1 a global mask, 2 the built-in blurred shadow
  int Opacity = 0;
};

struct TacExtFileData {
  std::shared_ptr<TBitmap> Bmp;
  String FileName;  // as the option value gives it
  int MaskType = 0;
  bool FromPng = false;  // brightness premultiplies only pictures that came as PNG
};

// ---- Standard sections, palette and constant indexes ----

enum TacSection {
  ssMenuItem, ssCheckBox, ssSpeedButton, ssSpeedButton_Small, ssToolButton, ssTransparent, ssGroupBox, ssDivider,
  ssWebBtn, ssButton, ssComboNoEdit, ssButtonHuge, ssToolBar, ssEdit, ssGauge, ssSelection, ssStatusBar, ssPanel,
  ssPanelLow, ssTrackBar, ssProgressV, ssDragBar, ssGripH, ssGripV, ssProgressH, ssTabSheet, ssUpDown, ssComboBox,
  ssCaption, ssMainMenu, ssSplitter, ssComboBtn, ssFormTitle, ssHint, ssDividerV, ssPageControl, ssTabTop,
  ssBarPanel, ssBarTitle, ssMenuCaption, ssDialogTitle, ssMenuButton, ssMenuLine, ssFormHeader, ssTBBtn,
  ssTBMenuBtn, ssTBTab, ssColHeader, ssColHeaderA, ssColHeaderL, ssColHeaderR, ssSlider_Off, ssSlider_On
};
constexpr int kSectionCount = ssSlider_On + 1;
extern const char* const acSectionNames[kSectionCount];

enum TacPaletteColors {
  pcMainColor, pcLabelText, pcWebText, pcWebTextHot, pcEditText, pcEditBG, pcSelectionBG, pcSelectionText,
  pcSelectionBG_Focused, pcSelectionText_Focused, pcEditBG_Inverted, pcEditText_Inverted, pcEditBG_OddRow,
  pcEditBG_EvenRow, pcEditText_Ok, pcEditText_Warning, pcEditText_Alert, pcEditText_Caution, pcEditText_Bypassed,
  pcEditBG_Ok, pcEditBG_Warning, pcEditBG_Alert, pcEditBG_Caution, pcEditBG_Bypassed, pcEditText_Highlight1,
  pcEditText_Highlight2, pcEditText_Highlight3, pcBtnColor1Active, pcBtnColor2Active, pcBtnBorderActive,
  pcBtnFontActive, pcBtnColor1Normal, pcBtnColor2Normal, pcBtnBorderNormal, pcBtnFontNormal, pcBtnColor1Pressed,
  pcBtnColor2Pressed, pcBtnBorderPressed, pcBtnFontPressed, pcBorder, pcGrid, pcHintBG, pcHintText
};
constexpr int kPaletteCount = pcHintText + 1;
using TacPaletteArray = std::array<TColor, kPaletteCount>;

enum TacTabLayout { tlFirst, tlLast, tlMiddle, tlSingle };
enum TacSide { asLeft, asTop, asRight, asBottom };

struct TacConstElementData {
  int SkinIndex = -1;
  int MaskIndex = -1;
  int GlyphIndex = -1;
  std::array<int, 3> BGIndex{-1, -1, -1};
  String SkinSection;
};

struct TacTrackBarData {
  int SkinIndex = -1, MaskIndex = -1, SliderIndex = -1, BGIndex = -1, HotBGIndex = -1;
  int Reserved = -1;  // neither filled nor read here
  int TickIndex = -1, ProgressIndex = -1, ChannelIndex = -1;
};

struct TConstantSkinData {
  int IndexGLobalInfo = -1;
  std::array<int, kSectionCount> Sections;
  TacConstElementData Tabs[4][4];  // [TacTabLayout][TacSide]
  TacConstElementData Scrolls[4], ScrollBtns[4], UpDownBtns[4];
  TacConstElementData Sliders[2];  // [false] horizontal, [true] vertical
  TacConstElementData MenuItem, ComboBtn;
  std::array<std::vector<int>, 7> TitleGlows;
  std::array<int, 7> GlowMargins{};
  std::array<int, 13> TitleGlyphs;
  std::array<int, 2> RadioButton;
  std::array<int, 3> CheckBox, SmallCheckBox;
  TacTrackBarData TrackBar[2];  // [false] vertical, [true] horizontal
  int ExBorder = -1, GripRightBottom = -1, GripHorizontal = -1, GripVertical = -1;
  TConstantSkinData() {
    Sections.fill(-1);
    TitleGlyphs.fill(-1);
    RadioButton.fill(-1);
    CheckBox.fill(-1);
    SmallCheckBox.fill(-1);
  }
};

// Skin-wide values of GLOBALINFO.
struct TsSkinData {
  bool Active = false;
  bool UseAeroBluring = false;
  String Author;
  String SkinPath;  // with a trailing delimiter; "" for an internal skin
  String Description;
  int Shadow1Offset = 0, Shadow1Blur = 0, Shadow1Transparency = 0;
  int ExBorderWidth = 0, ExTitleHeight = 0, ExMaxHeight = 0, ExContentOffs = 0, ExCenterOffs = 0, ExDrawMode = 0;
  int ExShadowOffs = 0, ExShadowOffsR = 0, ExShadowOffsT = 0, ExShadowOffsB = 0;
  int BISpacing = 0, BIVAlign = 0, BIRightMargin = 0, BILeftMargin = 0, BITopMargin = 0, BIKeepHUE = 0;
  int ComboBoxMargin = 0, SliderMargin = 0;
  int BrightMin = 0, BrightMax = 0;
  TacArrowsStyle ArrowStyle = arsSolid1;
  uint8_t TabsCovering = 0, RibbonCovering = 0;
  TColor FXColor = 0;
  TColor Shadow1Color = 0;
  TColor SysInactiveBorderColor = 0;
  double Version = 0;
};

// ---- The loaded skin ----

class TacSkinRecords {
 public:
  TacSkinRecords();
  ~TacSkinRecords();
  TacSkinRecords(const TacSkinRecords&) = delete;
  TacSkinRecords& operator=(const TacSkinRecords&) = delete;

  TsMaskArray ma;
  TsGeneralDataArray gd;
  std::vector<TacOutEffData> oe;
  std::vector<TacExtFileData> ExtArray;
  std::unique_ptr<TBitmap> MasterBitmap;
  std::unique_ptr<TBitmap> ShdaTemplate, ShdiTemplate;
  TacPaletteArray Palette{};
  std::array<HBRUSH, 6> Brushes{};  // solid brushes of Palette[0..5], owned
  TConstantSkinData ConstData;
  TRect FormShadowSize;
  TsSkinData CommonSkinData;
  bool SkinIsPacked = false;
  // Scale step of the user interface (0..3: 100, 125, 150, 200 percent).
  int ScaleStep = 0;

  // ---- Lookups: -1 (or false) for unknown names and bad indexes ----
  int GetSkinIndex(const String& SkinSection) const;
  int GetMaskIndex(int SkinIndex, const String& SkinSection, const String& Mask) const;
  int GetMaskIndex(int SkinIndex, const String& Mask) const;
  // By section and key name only, without inheritance.
  int GetMaskIndex(const String& SkinSection, const String& Mask) const;
  int GetTextureIndex(int SkinIndex, const String& SkinSection, const String& PropName) const;
  int GetTextureIndex(int SkinIndex, const String& PropName) const;
  bool IsValidSkinIndex(int SkinIndex) const { return SkinIndex >= 0 && SkinIndex < int(gd.size()); }
  bool IsValidImgIndex(int ImageIndex) const { return ImageIndex >= 0 && ImageIndex < int(ma.size()); }
  TColor GetGlobalColor() const { return Palette[pcMainColor]; }
  TColor GetGlobalFontColor() const { return Palette[pcLabelText]; }
  TColor GetActiveEditColor() const { return Palette[pcEditBG]; }
  TColor GetActiveEditFontColor() const { return Palette[pcEditText]; }
  TColor GetHighLightColor(bool Focused) const {
    return Palette[Focused ? pcSelectionBG_Focused : pcSelectionBG];
  }
  TColor GetHighLightFontColor(bool Focused) const {
    return Palette[Focused ? pcSelectionText_Focused : pcSelectionText];
  }
  // The bitmap a mask's pixels lie in: its own or the master bitmap.
  TBitmap* MaskBitmap(int MaskIndex) const;

  // ---- Builders ----
  // A new section: a copy of AParentSection (>= 0) renamed, or a blank one
  // with the given values in all three states.
  int AddNewSection(const String& AName, int AParentSection, int AStates, int ATransparency, TColor AColor,
                    TColor AFontColor);
  int MakeNewItem(int SkinIndex, const String& PropertyName, const String& AClassName, TacImgType ImgType,
                  const TRect& R, int Count, int DrawMode, int16_t MaskType);
  // Value scaled by the skin's scale step (step 1: + Value div 4, 2: + Value div 2, 3: twice).
  int ScaleInt(int Value) const;
  // Recreates the six solid brushes of Palette[0..5].
  void UpdateBrushes();
  // Takes the whole skin of From (which receives this one's, to be freed
  // with it), so that these records, and pointers to them, stay the ones
  // painters use. Active, the system's inactive border colour and the
  // scale step stay this one's.
  void TakeSkin(TacSkinRecords& From);

 private:
  // The section named by a section's PARENTCLASS, or -1.
  int ParentIndex(int SkinIndex) const;
  // The same for the searches that carry a section name: -1 also where the
  // parent's name equals Section, which then becomes the parent's name.
  int NamedParent(int SkinIndex, String& Section) const;
};

bool IsStdSection(const std::array<int, kSectionCount>& Sections, int SkinIndex, int From, int To);
// Percent of the scale steps 0..3.
int ScalePercent(int Step);
// Suffix of scaled option keys at a step: "", "*125", "*150", "*200".
String ScaleSuffix(int Step);
